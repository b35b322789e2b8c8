// An engine started on its own temporary resource folder, with a second
// folder for the trees it searches (a search never enters TW_found).
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>

#include "engine/tw.h"
#include "search_support.h"
#include "support/temp_dir.h"

namespace tw_test {

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::mkdir((dir / "TW_target").c_str(), 0755);
        ::mkdir((dir / "TW_found").c_str(), 0755);
        engine = std::make_unique<tw::Engine>();
        engine->resource_dir_pathname_ptr = dir.path();
        engine->bundle_dir_pathname_ptr = dir / "bundle";
        ASSERT_EQ(engine->initialize_and_load_tw_parameter(), 0u);
    }

    std::string target_path(std::uint64_t n) const {
        return dir / ("TW_target/" + tw::target_file_name(n));
    }
    std::string found() const { return dir / "TW_found"; }
    std::string at(const std::string& rel) const { return data / rel; }
    void make_dir(const std::string& rel) const { ::mkdir(at(rel).c_str(), 0755); }
    void make_file(const std::string& rel, const std::string& content) const { write_file(at(rel), content); }

    // Smaller buffers, so that files come in many pieces (of two text
    // buffers each with `two_buffer_pieces`).
    void use_buffers(std::uint64_t text, std::uint64_t occ = 16000, bool two_buffer_pieces = false) {
        engine->pr.text_mem_size = text;
        engine->pr.occ_mem_size = occ;
        if (two_buffer_pieces) engine->piece_bytes = 2 * text;
        ASSERT_EQ(engine->initialize_tw_buffer(), 0u);
    }
    void search() {
        engine->search_in_target();
        ASSERT_EQ(engine->searching_now.load(), 0);
    }
    // A search whose found files go to `sinks` alone.
    void search_with(std::vector<tw::ResultSink*> sinks) {
        engine->sinks = std::move(sinks);
        search();
        engine->sinks.clear();
    }
    std::vector<ResultRow> results() const { return read_results(found(), engine->tr.add_line_nb != 0); }
    std::vector<std::string> result_paths() const {
        std::vector<std::string> paths;
        for (const ResultRow& f : results()) paths.push_back(f.path());
        return paths;
    }
    // The bytes of the result files, of its description too unless told.
    std::vector<Bytes> result_files(bool with_description = true) const {
        std::vector<Bytes> files;
        for (const char* name : {"TW_found_header", "TW_found_offset", "TW_found_path", "TW_found_info"})
            if (with_description || std::string_view(name) != "TW_found_info")
                files.push_back(read_file(found() + "/" + name));
        return files;
    }

    TempDir dir, data;
    std::unique_ptr<tw::Engine> engine;
};

}  // namespace tw_test
