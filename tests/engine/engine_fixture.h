// An engine started on its own temporary resource folder.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>

#include "engine/tw.h"
#include "support/temp_dir.h"

namespace tw_test {

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::mkdir((dir / "TW_target").c_str(), 0755);
        ::mkdir((dir / "TW_found").c_str(), 0755);
        engine = std::make_unique<tw::Engine>(allocator());
        engine->resource_dir_pathname_ptr = dir.path();
        engine->bundle_dir_pathname_ptr = dir / "bundle";
        if (start_engine()) {
            ASSERT_EQ(engine->initialize_and_load_tw_parameter(), 0u);
        }
    }

    virtual tw::Allocator allocator() { return tw::Allocator::system(); }
    virtual bool start_engine() { return true; }

    std::string target_path(std::uint64_t n) const {
        return dir / ("TW_target/" + tw::target_file_name(n));
    }

    TempDir dir;
    std::unique_ptr<tw::Engine> engine;
};

}  // namespace tw_test
