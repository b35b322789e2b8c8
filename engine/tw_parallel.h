// Internal: the parallel search. The walk (the search thread) opens each
// regular file it meets and queues it, cut into pieces when it is large;
// scanning threads read and scan the pieces with their own buffers; one
// committer thread writes each file's records, names and header to the
// result files in the order of the queue, which is the order in which the
// single-threaded walk would have written them. Failures met by the walk
// go through the same queue, so the sinks hear everything in order.
//
// The files of a folder are queued in batches of up to kBatchFiles names: a
// scanning thread opens, reads, scans and closes each in turn, so that on a
// tree of small files the walk thread only lists folders, and the opens and
// reads, most of the work there, run on every core. A file item of the
// target is opened by the walk and, when it is large, cut into pieces that
// several threads scan; one of one text buffer or less is scanned by the
// walk itself, and while nothing is queued (the committer idle) the walk
// also writes its result, exactly as the single-threaded scan does.
//
// Memory stays bounded: at most kJobsPerThread jobs per scanning thread are
// queued at once (the walk waits for room), and a job holds at most
// kJobRecordBytes of records that the committer has not taken (its scanner
// waits until the committer, reaching the job, takes them).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/tw_fd.h"
#include "engine/tw_records.h"
#include "engine/tw_scan.h"
#include "engine/tw_search_output.h"
#include "matcher/search_param.h"

namespace tw {

class ParallelSearch {
public:
    static constexpr std::size_t kJobsPerThread = 16;
    // Scanning threads at most, whatever is asked: each has its own text
    // and occurrence buffers.
    static constexpr unsigned kMaxScanners = 64;
    static constexpr std::size_t kJobRecordBytes = std::size_t{256} << 10;
    // Jobs queued before a waiting committer is woken for jobs the walk
    // finished itself: one wake-up for a batch of small files.
    static constexpr std::size_t kCommitBatch = 8;
    // How long a waiting thread sleeps before it looks at the stop flag.
    static constexpr std::chrono::milliseconds kPoll{20};
    // Names of one folder queued together.
    static constexpr std::size_t kBatchFiles = 16;
    // Folders at most in one batch: each holds a descriptor while queued.
    static constexpr std::size_t kBatchFolders = 4;

    struct Settings {
        unsigned scanners = 2;
        // Bytes of a large file one scanning thread takes at a time,
        // rounded down to whole text buffers (one at least).
        u64 piece_bytes = u64{4} << 20;
        // Files of at least this many bytes are scanned from a mapping
        // (not with case folding, which writes the text).
        u64 map_min_bytes = u64{4} << 20;
    };

    // Scans with copies of `base` (pattern and buffer sizes), reports
    // through `output` and stops when `stop` is raised.
    ParallelSearch(SearchOutput& output, const SearchParam& base,
                   const std::atomic<std::uint8_t>& stop, Settings settings);
    ~ParallelSearch();
    ParallelSearch(const ParallelSearch&) = delete;
    ParallelSearch& operator=(const ParallelSearch&) = delete;

    // Allocates the buffers and starts the threads; false when that fails
    // (the search then runs on one thread).
    bool start();
    // Queues regular file `name` of folder `dir` (open as dir_fd); 0, or
    // ERR_WRITE_FILE once writing the result has failed. `item`: a file
    // item of the target, counted as such (see item_result).
    // `opened`: the file as the walk already opened it.
    u64 submit_file(int dir_fd, std::string_view dir, const char* name, bool item = false,
                    OpenedFile* opened = nullptr);
    // Goes on with a file item whose first text buffers the caller has
    // scanned and handed to the output itself (`line_base` the end-of-line
    // bytes they hold): the rest, from text buffer `first_chunk`, is
    // scanned in pieces and the file ends in its turn. Waits until it is
    // committed; then as search_in_file gives it.
    u64 continue_item(UniqueFd fd, std::string_view dir, std::string_view name, u64 size,
                      u64 first_chunk, u64 line_base);
    // The result of the last file item committed, as search_in_file gives it.
    u64 item_result() const;
    // Queues the failure of a file or folder met by the walk.
    void report_failure(std::string path, int err);
    // Waits until every queued job is committed, or the search stops.
    void drain();
    // Drains, then ends and joins the threads.
    void finish();
    bool write_failed() const;
    // Walk only: whether a scanning thread found no work since the last
    // call, the walk being behind the scanners.
    bool scanners_waited() {
        const u64 n = starved_.load(std::memory_order_relaxed);
        const bool waited = n != starved_seen_;
        starved_seen_ = n;
        return waited;
    }

private:
    struct FileState;
    struct Job;
    struct BatchFile;
    class JobOut;
    class BatchOut;
    struct Scanner {
        SearchParam sp{};
        std::unique_ptr<std::uint8_t[]> text_raw;
        std::unique_ptr<std::uint8_t[]> occ_raw;
        std::thread thread;
    };

    bool stopping() const;
    // Queues `job`; nullptr when it was dropped (after a stop or a failed
    // write). A piece `on_walk` is scanned by the caller, not a scanner.
    Job* push(std::unique_ptr<Job> job, bool on_walk = false);
    // Wakes the committer when it waits and enough done jobs are queued,
    // or `now`. Under mu_.
    void wake_committer(bool now);
    // Queues the pieces of `file` from text buffer `first` of its `chunks`.
    void queue_pieces(const std::shared_ptr<FileState>& file, u64 first, u64 chunks);
    // Queues the files of a folder gathered so far (walk only).
    void flush_batch();
    // Opens, reads and scans each file of a batch job in turn.
    void scan_batch(Scanner& s, Job& job);
    // Gives records of file `index` of a batch job to the committer; false
    // when the scan of that file may stop.
    bool hand_over_batch(Job& job, std::size_t index, const std::uint8_t* data, std::size_t bytes);
    // The committer's turn at the head batch job: commits what its next file
    // has; false when that file has nothing yet. Under mu_, which it may
    // release meanwhile.
    bool commit_batch(std::unique_lock<std::mutex>& lock, Job& job);
    void finalize_batch_file(Job& job, BatchFile& file);
    // Whether the committer has work at `job`, the head of the queue.
    bool ready(const Job& job) const;
    // The walk scans the oldest queued job itself (with its own buffers)
    // instead of waiting; false when there is none. Under mu_, released
    // meanwhile.
    bool help_scan(std::unique_lock<std::mutex>& lock);
    void scanner_loop(Scanner& s);
    void scan(Scanner& s, Job& job);
    // Gives a job's records to the committer; a job the walk scans alone
    // hands them to the output itself. False when they could not be kept.
    bool hand_over(Job& job, const std::uint8_t* data, std::size_t bytes);
    // Scans a one-buffer file on the walk while nothing is queued and
    // writes its result there; 0, or ERR_WRITE_FILE.
    u64 scan_direct(Job& job);
    void committer_loop();
    // Writes records of the head job's file; false when the write failed.
    bool commit_records(Job& job, std::vector<std::uint8_t>& records);
    void finalize(Job& job);
    void close_partial_on_stop();
    u64 count_result(u64 r, bool item);
    u64 record_len() const { return scan_record_len(base_); }

    SearchOutput& out_;
    const SearchParam& base_;
    const std::atomic<std::uint8_t>& stop_;
    const Settings settings_;
    const unsigned scanner_nb_;
    std::vector<std::unique_ptr<Scanner>> scanners_;
    // Buffers of the walk thread, which scans files of one text buffer
    // itself: handing such a file to another thread costs more than its scan.
    std::unique_ptr<Scanner> walk_scanner_;
    std::thread committer_;
    bool started_ = false;

    u64 pattern_len_ = 0;
    u64 stride_ = 0;          // text buffer size less pattern length plus one
    u64 piece_chunks_ = 1;    // text buffers per piece
    bool with_lines_ = false;

    mutable std::mutex mu_;
    std::condition_variable cv_room_;     // the walk waits for room, drain for empty
    std::condition_variable cv_work_;     // scanners wait for a job
    std::condition_variable cv_commit_;   // the committer waits for records or a done job
    std::condition_variable cv_space_;    // scanners wait for their records to be taken
    std::deque<std::unique_ptr<Job>> window_;  // queued jobs, in commit order
    std::deque<Job*> to_scan_;                 // jobs no scanner has taken yet
    std::size_t room_ = 0;                     // jobs queued at most
    // Who waits, so that a thread is woken only when it has something to
    // do: each wake-up costs more than the scan of a small file.
    unsigned idle_scanners_ = 0;
    std::atomic<u64> starved_{0};  // times a scanner found no job
    u64 starved_seen_ = 0;         // walk only
    bool committer_waiting_ = false;
    bool walk_waiting_ = false;
    bool closing_ = false;
    bool committer_exited_ = false;
    // Read by the walk at each file without the lock.
    std::atomic<bool> write_failed_{false};

    // Committer-only state of the file being committed. Held, not only
    // pointed to: after a stop its later pieces may never have been queued.
    std::shared_ptr<FileState> current_;
    // Committer-only: the batch file whose records are partly committed.
    std::optional<std::pair<std::string, std::string>> batch_partial_;
    // Walk-only: the files of a folder not queued yet.
    std::unique_ptr<Job> pending_;
    u64 item_result_ = 0;  // under mu_
};

}  // namespace tw
