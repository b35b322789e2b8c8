// The parallel search's batches: the files of a folder, queued together by
// the walk, each opened, read and scanned in turn by one scanning thread,
// and committed one after the other in the walk's order.
#include <fcntl.h>
#include <sys/stat.h>

#include "engine/tw.h"
#include "engine/tw_parallel.h"
#include "engine/tw_parallel_jobs.h"
#include "engine/tw_scan.h"

namespace tw {

// What a scanner finds in a batch file goes to that file.
class ParallelSearch::BatchOut final : public OccurrenceOut {
public:
    BatchOut(ParallelSearch& search, Job& job, std::size_t index)
        : search_(search), job_(job), index_(index) {
        records_wanted = search.out_.file_records_wanted();
    }
    bool take(const std::uint8_t* records, std::size_t bytes) override {
        return search_.hand_over_batch(job_, index_, records, bytes);
    }

private:
    ParallelSearch& search_;
    Job& job_;
    std::size_t index_;
};

void ParallelSearch::flush_batch() {
    if (pending_) push(std::move(pending_));
}

void ParallelSearch::scan_batch(Scanner& s, Job& job) {
    for (std::size_t i = 0; i < job.files.size() && !stopping(); ++i) {
        BatchFile& file = job.files[i];
        // The same checks as the single-threaded scan: non-blocking, so an
        // entry that became a pipe cannot hang the scan, and regular only.
        struct stat st{};
        int err = 0;
        UniqueFd fd;
        if (file.opened) {
            fd = std::move(file.fd);
            st.st_size = static_cast<off_t>(file.size);
            err = file.err;
        } else {
            fd.reset(open_regular_at(job.folders[file.folder].fd.get(), file.name.c_str(), &err, &st));
        }
        const bool opened = static_cast<bool>(fd);
        u64 result = 0;
        if (opened) {
            const u64 size = static_cast<u64>(st.st_size);
            out_.file_size(size);
            if (size > base_.TEXT_BUF_SIZE) ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
            // The whole file, from its first line.
            s.sp.LINE_COUNT = 0;
            BatchOut out(*this, job, i);
            std::optional<PieceScan> scan;
            if (size >= settings_.map_min_bytes)
                scan = scan_mapped(s.sp, fd.get(), size, 0, ~u64{0}, out, stop_,
                                   out_.bytes_counter());
            if (!scan)
                scan = scan_read(s.sp, fd.get(), size, 0, ~u64{0}, out, stop_,
                                 out_.bytes_counter());
            result = scan->result;
            err = scan->read_err;
            if (fd.close() != 0 && result == 0) result = ERR_CLOSE_FILE;
        }
        file.open_failed = !opened;
        file.result = result;
        file.err = err;
        job.scanned.store(i + 1, std::memory_order_release);
        // The committer hears of the whole batch once it is scanned (or
        // looks by itself, kPoll at the latest): a wake-up per file would
        // cost more than the file.
    }
}

bool ParallelSearch::hand_over_batch(Job& job, std::size_t index, const std::uint8_t* data,
                                     std::size_t bytes) {
    std::unique_lock lock(mu_);
    // A job holds at most kJobRecordBytes that the committer has not taken,
    // whichever of its files they belong to; it reaches the head of the
    // queue in time, and the committer takes them there.
    while (job.held > 0 && job.held + bytes > kJobRecordBytes && !committer_exited_ &&
           !stopping()) {
        wake_committer(true);
        cv_space_.wait_for(lock, kPoll);
    }
    BatchFile& file = job.files[index];
    if (file.enough) return false;
    file.records.insert(file.records.end(), data, data + bytes);
    job.held += bytes;
    if (job.held >= kJobRecordBytes / 2 && committer_waiting_ && window_.front().get() == &job)
        cv_commit_.notify_one();
    return true;
}

bool ParallelSearch::commit_batch(std::unique_lock<std::mutex>& lock, Job& job) {
    const std::size_t from = job.committed;
    // Files counted as scanned have handed all their records over (under
    // mu_, held now) before.
    const std::size_t upto = job.scanned.load(std::memory_order_acquire);
    if (upto <= from) {
        // The file being scanned: its records so far, as they come.
        BatchFile& file = job.files[from];
        if (file.records.empty()) return false;
        std::vector<std::uint8_t> records;
        records.swap(file.records);
        job.held -= records.size();
        cv_space_.notify_all();
        lock.unlock();
        const std::string& dir = job.folders[file.folder].dir;
        batch_partial_.emplace(dir, file.name);
        const bool ok =
            out_.occurrences(dir, file.name, records.data(), records.size(), record_len()) == 0;
        const bool enough = ok && out_.file_enough();
        if (!ok) {
            count_result(ERR_WRITE_FILE, false);
            batch_partial_.reset();
            write_failed_ = true;
        }
        lock.lock();
        if (enough) file.enough = true;
        return true;
    }
    // Every scanned file at once: one turn of the lock for them all.
    std::vector<std::vector<std::uint8_t>> taken(upto - from);
    for (std::size_t i = from; i < upto; ++i) {
        job.held -= job.files[i].records.size();
        taken[i - from].swap(job.files[i].records);
    }
    cv_space_.notify_all();
    lock.unlock();
    for (std::size_t i = from; i < upto && !write_failed_ && !stopping(); ++i) {
        BatchFile& file = job.files[i];
        std::vector<std::uint8_t>& records = taken[i - from];
        if (!records.empty() && out_.occurrences(job.folders[file.folder].dir, file.name,
                                                 records.data(), records.size(), record_len()) != 0) {
            count_result(ERR_WRITE_FILE, false);
            batch_partial_.reset();
            write_failed_ = true;
            break;
        }
        finalize_batch_file(job, file);
    }
    lock.lock();
    job.committed = upto;
    return true;
}

void ParallelSearch::finalize_batch_file(Job& job, BatchFile& file) {
    // As finalize does for a file of pieces, and in the same order.
    batch_partial_.reset();
    const std::string& dir = job.folders[file.folder].dir;
    const std::string path = dir + "/" + file.name;
    if (file.open_failed) {
        out_.item_failed(path, file.err);
        count_result(ERR_OPEN_FILE, false);
        return;
    }
    u64 r = file.result;
    if (r == ERR_READ_FILE) out_.item_failed(path, file.err);
    r = out_.end_file(dir, file.name, r);
    count_result(r, false);
    if (r == ERR_WRITE_FILE) write_failed_ = true;
}

}  // namespace tw
