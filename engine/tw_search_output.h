// The one way a running search reports: its counters, the files and folders
// it could not read, and what it found, handed to the chain of sinks. The
// single-threaded search and the committer of the parallel one both report
// through it, from one thread at a time; the counters are atomics that the
// progress display reads from another thread.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/tw_records.h"
#include "engine/tw_scan.h"
#include "engine/tw_sink.h"

namespace tw {

class SearchOutput {
public:
    // Told about each unreadable item before the sinks are (the engine keeps
    // its name for the error text and applies its stop rule).
    using FailureHook = std::function<void(const std::string& path, int err)>;
    // How often, at most, the sinks are asked to publish what they hold.
    static constexpr std::chrono::milliseconds kBatchPeriod{100};

    explicit SearchOutput(InfoRecord& counters) : counters_(counters) {}

    // Before a search: the sinks in order (the result files first) and the
    // failure hook; the counters and the found-file count start at 0.
    // With `several_forms`, every record the scan hands on ends with a
    // word holding its form's index: the sinks get the records without it,
    // and the indexes through ResultSink::forms.
    void begin(std::vector<ResultSink*> sinks, FailureHook on_failure, bool several_forms = false);
    // After it: the last batch. 0, or a sink's error.
    u64 end();

    void file_size(u64 bytes) { counters_.cur_file_size.store(bytes, std::memory_order_relaxed); }
    // Scanning threads add the bytes they read here.
    std::atomic<u64>& bytes_counter() { return counters_.total_bytes; }
    void folder_searched() { counters_.dir_nb.fetch_add(1, std::memory_order_relaxed); }
    void folder_failed() { counters_.dir_err_nb.fetch_add(1, std::memory_order_relaxed); }
    void other_failed() { counters_.other_err_nb.fetch_add(1, std::memory_order_relaxed); }

    // Records of the file being searched, `record_len` bytes each. 0, or
    // the first sink's error.
    u64 occurrences(std::string_view dir, std::string_view name, const std::uint8_t* records,
                    std::size_t bytes, u64 record_len);
    // Every sink has the records it needs of the file being searched.
    bool file_enough() const;
    // The most records of one file that any sink needs (set by begin()).
    u64 file_records_wanted() const { return records_wanted_; }
    // Ends the file being searched, whose scan gave `result`: with 0 and
    // records handed on, it is the next found file; with an error, its
    // records are dropped. Returns `result`, or a sink's error.
    u64 end_file(std::string_view dir, std::string_view name, u64 result);
    // Counts a searched file by the result end_file returned: an unreadable
    // one is also counted as searched when `searched_on_error` (a file of a
    // folder whose search goes on after errors).
    void count_file(u64 result, bool searched_on_error);
    void item_failed(const std::string& path, int err);
    // Asks the sinks to publish when the last batch is kBatchPeriod old.
    u64 batch_end_if_due();

    u64 found_files() const { return found_files_; }

private:
    u64 batch_end();
    u64 hand_on(std::string_view dir, std::string_view name, const std::uint8_t* records,
                std::size_t bytes, u64 record_len);

    InfoRecord& counters_;
    bool several_forms_ = false;
    std::vector<std::uint8_t> plain_;  // records without their form word
    std::vector<std::uint8_t> forms_;  // and their forms
    std::vector<ResultSink*> sinks_;
    FailureHook on_failure_;
    u64 found_files_ = 0;
    u64 file_records_ = 0;     // records of the file being searched
    u64 records_wanted_ = ~u64{0};
    bool unpublished_ = false;  // found files or failures since the last batch
    std::chrono::steady_clock::time_point last_batch_{};
};

// What the search thread's own scan of a file finds goes straight to the
// output; periodically, the sinks publish what they hold.
class FileOut final : public OccurrenceOut {
public:
    FileOut(SearchOutput& output, u64 record_len, std::string_view dir, std::string_view name)
        : output_(output), record_len_(record_len), dir_(dir), name_(name) {
        records_wanted = output.file_records_wanted();
    }
    bool take(const std::uint8_t* records, std::size_t bytes) override {
        code = output_.occurrences(dir_, name_, records, bytes, record_len_);
        return code == 0 && !output_.file_enough();
    }
    void buffer_scanned() override {
        if (code == 0) code = output_.batch_end_if_due();
    }
    u64 code = 0;  // the first error of the output

private:
    SearchOutput& output_;
    u64 record_len_;
    std::string_view dir_, name_;
};

}  // namespace tw
