// The sink that writes a search's result files: each found file's folder
// and name (with their NULs) to TW_found_path, its occurrence records to
// TW_found_offset, and its 48-byte record to TW_found_header, in the order
// the files are found. The streams are opened (and closed) by the engine;
// each batch of found files leaves in one write per file.
#pragma once

#include <functional>
#include <string>

#include "engine/tw_records.h"
#include "engine/tw_sink.h"

namespace tw {

class ResultFileSink : public ResultSink {
public:
    // Told the failed file's path and errno when a write fails.
    using FailureHook = std::function<void(const std::string& path, int err)>;

    // `found_dir` names the result folder in failures. The streams are
    // empty and open for writing.
    // `forms`, for a search of several forms: TW_found_form, which gets
    // one byte per record written to `offsets`, its form's index.
    ResultFileSink(WorkFile& header, WorkFile& paths, WorkFile& offsets, std::string found_dir,
                   FailureHook on_failure, WorkFile* forms = nullptr);

    u64 occurrences(std::string_view dir, std::string_view name, const std::uint8_t* records,
                    std::size_t bytes) override;
    u64 forms(const std::uint8_t* forms, std::size_t count) override;
    u64 file_found(const FoundFile& file) override;
    void file_dropped() override { file_records_ = false; }
    // Writes out what the stream buffers hold, so that a reader of the
    // files sees every found file handed on so far.
    u64 batch_end() override;

    // The record of the last found file.
    const FoundFileHeader& last_header() const { return header_; }

private:
    u64 failed(const std::string& path);

    WorkFile& header_file_;
    WorkFile& path_file_;
    WorkFile& offset_file_;
    WorkFile* form_file_;
    std::string found_dir_;
    FailureHook on_failure_;
    FoundFileHeader header_{};
    bool file_records_ = false;  // records of the current file were written
    u64 first_record_pos_ = 0;   // where they begin in TW_found_offset
};

}  // namespace tw
