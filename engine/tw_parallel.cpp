// The parallel search: the walk queues files, scanning threads read and scan
// them, and one committer writes the result files in the walk's order.
#include "engine/tw_parallel.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

#include "engine/tw.h"
#include "engine/tw_fd.h"
#include "engine/tw_le.h"
#include "engine/tw_parallel_jobs.h"
#include "engine/tw_scan.h"

namespace tw {

namespace {


// A pointer to the first byte at or after `p` on a 64-byte boundary.
std::uint8_t* align64(std::uint8_t* p) {
    const auto a = reinterpret_cast<std::uintptr_t>(p);
    return reinterpret_cast<std::uint8_t*>((a + 63) & ~std::uintptr_t{63});
}

}  // namespace

// What a scanner finds in a job goes to the job.
class ParallelSearch::JobOut final : public OccurrenceOut {
public:
    // A piece that has the records the sinks need of a whole file need not
    // go on: the file's first ones are among the earlier pieces' and its own.
    JobOut(ParallelSearch& search, Job& job) : search_(search), job_(job) {
        records_wanted = search.out_.file_records_wanted();
    }
    bool take(const std::uint8_t* records, std::size_t bytes) override {
        return search_.hand_over(job_, records, bytes) &&
               !job_.file->enough.load(std::memory_order_relaxed);
    }

private:
    ParallelSearch& search_;
    Job& job_;
};

ParallelSearch::ParallelSearch(SearchOutput& output, const SearchParam& base,
                               const std::atomic<std::uint8_t>& stop, Settings settings)
    : out_(output),
      base_(base),
      stop_(stop),
      settings_(settings),
      scanner_nb_(std::clamp(settings.scanners, 1u, kMaxScanners)) {}

ParallelSearch::~ParallelSearch() {
    if (started_) finish();
}

bool ParallelSearch::stopping() const {
    return stop_.load(std::memory_order_relaxed) != 0;
}

bool ParallelSearch::write_failed() const { return write_failed_.load(std::memory_order_relaxed); }

bool ParallelSearch::start() {
    const SearchParam& base = base_;
    pattern_len_ = scan_span(base);
    const u64 text = base.TEXT_BUF_SIZE;
    if (pattern_len_ == 0 || text < pattern_len_) return false;
    stride_ = text - pattern_len_ + 1;
    piece_chunks_ = std::max<u64>(1, settings_.piece_bytes / text);
    room_ = kJobsPerThread * scanner_nb_ + 2;
    with_lines_ = (base.SEARCH_KIND & KIND_LINE_NB) != 0;
    try {
        for (unsigned i = 0; i <= scanner_nb_; ++i) {
            auto s = std::make_unique<Scanner>();
            s->sp = base;
            s->text_raw.reset(new std::uint8_t[text + 64]);
            s->occ_raw.reset(new std::uint8_t[base.OCC_BUF_SIZE + 64]);
            s->sp.TEXT_START = reinterpret_cast<u64>(align64(s->text_raw.get()));
            s->sp.TEXT_BUF_SIZE = text;
            s->sp.OCC_START = reinterpret_cast<u64>(align64(s->occ_raw.get()));
            s->sp.OCC_BUF_SIZE = base.OCC_BUF_SIZE;
            s->sp.OCC_END = s->sp.OCC_START + base.OCC_BUF_SIZE;
            s->sp.OCC_PTR = s->sp.OCC_START;
            if (i == scanner_nb_) walk_scanner_ = std::move(s);
            else scanners_.push_back(std::move(s));
        }
        committer_ = std::thread([this] { committer_loop(); });
        started_ = true;
        for (auto& s : scanners_) {
            Scanner* raw = s.get();
            s->thread = std::thread([this, raw] { scanner_loop(*raw); });
        }
    } catch (const std::bad_alloc&) {
    } catch (const std::system_error&) {
    }
    if (!started_) {
        scanners_.clear();
        walk_scanner_.reset();
        return false;
    }
    for (auto& s : scanners_) {
        if (!s->thread.joinable()) {
            // Fewer threads than asked for: the started ones do the work;
            // a search needs at least one.
            if (s.get() == scanners_.front().get()) {
                finish();
                return false;
            }
        }
    }
    return true;
}

bool ParallelSearch::ready(const Job& job) const {
    if (job.done || job.kind != Job::Kind::Batch) return job.done;
    return job.held > 0 || job.committed < job.scanned.load(std::memory_order_acquire);
}

void ParallelSearch::wake_committer(bool now) {
    if (!committer_waiting_ || window_.empty() || !ready(*window_.front())) return;
    if (now) {
        cv_commit_.notify_one();
        return;
    }
    // A batch of jobs ready from the head of the queue: one wake-up for them
    // all (the committer also looks by itself every kPoll).
    std::size_t n = 1;
    while (n < kCommitBatch && n < window_.size() && window_[n]->done) ++n;
    if (n >= kCommitBatch) cv_commit_.notify_one();
}

bool ParallelSearch::help_scan(std::unique_lock<std::mutex>& lock) {
    if (to_scan_.empty() || stopping() || committer_exited_) return false;
    Job* job = to_scan_.front();
    to_scan_.pop_front();
    lock.unlock();
    if (job->kind == Job::Kind::Batch) scan_batch(*walk_scanner_, *job);
    else scan(*walk_scanner_, *job);
    lock.lock();
    job->done = true;
    wake_committer(false);
    return true;
}

ParallelSearch::Job* ParallelSearch::push(std::unique_ptr<Job> job, bool on_walk) {
    std::unique_lock lock(mu_);
    while (window_.size() >= room_ && !committer_exited_ && !stopping()) {
        // The walk is ahead: rather than wait, it scans a queued job.
        if (help_scan(lock)) continue;
        wake_committer(true);
        walk_waiting_ = true;
        cv_room_.wait_for(lock, kPoll);
        walk_waiting_ = false;
    }
    // After a stop or a failed write nothing more is committed; the job is
    // dropped (its file is closed with its last piece).
    if (committer_exited_ || stopping()) return nullptr;
    Job* raw = job.get();
    window_.push_back(std::move(job));
    if (on_walk) return raw;
    if ((raw->kind == Job::Kind::Piece && raw->chunks > 0) || raw->kind == Job::Kind::Batch) {
        to_scan_.push_back(raw);
        if (idle_scanners_ > 0) cv_work_.notify_one();
    } else {
        raw->done = true;
        wake_committer(false);
    }
    return raw;
}

void ParallelSearch::report_failure(std::string path, int err) {
    flush_batch();
    auto job = std::make_unique<Job>();
    job->kind = Job::Kind::Failure;
    job->path = std::move(path);
    job->err = err;
    push(std::move(job));
}

u64 ParallelSearch::item_result() const {
    std::lock_guard lock(mu_);
    return item_result_;
}

u64 ParallelSearch::submit_file(int dir_fd, std::string_view dir, const char* name, bool item,
                                OpenedFile* opened) {
    if (write_failed()) return ERR_WRITE_FILE;
    if (!item) {
        // A file of a folder joins the batch being gathered, which takes a
        // descriptor of each folder it reaches: the walk may have moved on
        // when the batch is scanned.
        if (pending_ && pending_->folders.back().dir != dir &&
            pending_->folders.size() >= kBatchFolders)
            flush_batch();
        if (!pending_ || pending_->folders.back().dir != dir) {
            UniqueFd folder(::fcntl(dir_fd, F_DUPFD_CLOEXEC, 0));
            if (folder) {
                if (!pending_) {
                    pending_ = std::make_unique<Job>();
                    pending_->kind = Job::Kind::Batch;
                }
                pending_->folders.push_back({std::move(folder), std::string(dir)});
            }
        }
        if (pending_ && pending_->folders.back().dir == dir) {
            pending_->files.push_back(BatchFile{});
            pending_->files.back().name = name;
            pending_->files.back().folder = pending_->folders.size() - 1;
            if (opened != nullptr) {
                BatchFile& file = pending_->files.back();
                file.opened = true;
                file.fd = std::move(opened->fd);
                file.size = static_cast<u64>(opened->st.st_size);
                file.err = opened->err;
            }
            if (pending_->files.size() >= kBatchFiles) flush_batch();
            return 0;
        }
        // Without a descriptor of its own for the folder, the file is
        // opened here as an item's is, after the files before it.
    }
    flush_batch();
    if (item) {
        // A stop before the item is committed leaves it at 0, as the
        // single-threaded scan gives for a stopped file.
        std::lock_guard lock(mu_);
        item_result_ = 0;
    }
    // The same checks as the single-threaded scan: non-blocking, so an
    // entry that became a pipe cannot hang the walk, and regular only.
    struct stat st{};
    int err = 0;
    UniqueFd fd = take_or_open_regular(opened, dir_fd, name, &err, &st);
    if (!fd) {
        auto job = std::make_unique<Job>();
        job->kind = Job::Kind::OpenFailed;
        job->item = item;
        job->path = std::string(dir) + "/" + name;
        job->err = err;
        push(std::move(job));
        return 0;
    }
    auto file = std::make_shared<FileState>();
    file->fd = std::move(fd);
    file->size = static_cast<u64>(st.st_size);
    file->dir.assign(dir);
    file->name = name;
    file->item = item;
    out_.file_size(file->size);
    if (file->size > base_.TEXT_BUF_SIZE)
        ::posix_fadvise(file->fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    // The text buffers of the single-threaded scan start every stride_
    // bytes while at least a pattern's length remains; a piece is a run of
    // them, so every start position is examined once, in one piece.
    // A file whose size reads 0 may still hold bytes: one job reads it to
    // its end.
    // (A file shorter than the longest of several forms may hold a
    // shorter one: one buffer.)
    const u64 chunks = file->size == 0                ? 1
                       : file->size < scan_least(base_) ? 0
                       : file->size < pattern_len_      ? 1
                                                        : (file->size - pattern_len_) / stride_ + 1;
    if (chunks <= 1) {
        // One text buffer at most: scanned here, since handing a small file
        // to another thread costs more than its scan.
        auto job = std::make_unique<Job>();
        job->file = std::move(file);
        job->chunks = chunks;
        bool alone = false;
        {
            std::lock_guard lock(mu_);
            alone = window_.empty() && !committer_exited_ && !stopping();
        }
        // With nothing queued the committer is idle until the next push:
        // the walk writes the file's result itself, as the single-threaded
        // scan does.
        if (alone) return scan_direct(*job);
        // Otherwise the file is committed in its turn.
        Job* raw = push(std::move(job), true);
        if (raw == nullptr) return 0;
        scan(*walk_scanner_, *raw);
        std::lock_guard lock(mu_);
        raw->done = true;
        wake_committer(false);
        return 0;
    }
    queue_pieces(file, 0, chunks);
    return 0;
}

void ParallelSearch::queue_pieces(const std::shared_ptr<FileState>& file, u64 first, u64 chunks) {
    do {
        // Once the sinks have what they need of the file, its last job
        // reads nothing and only ends it.
        const bool enough = file->enough.load(std::memory_order_relaxed);
        const u64 n = enough ? 0 : std::min(piece_chunks_, chunks - first);
        auto job = std::make_unique<Job>();
        job->file = file;
        job->first_pos = first * stride_;
        job->chunks = n;
        job->last = enough || first + n >= chunks;
        push(std::move(job));
        first += n;
        if (enough) break;
    } while (first < chunks && !stopping());
}

u64 ParallelSearch::continue_item(UniqueFd fd, std::string_view dir, std::string_view name,
                                  u64 size, u64 first_chunk, u64 line_base) {
    flush_batch();
    auto file = std::make_shared<FileState>();
    file->fd = std::move(fd);
    file->size = size;
    file->dir.assign(dir);
    file->name.assign(name);
    file->item = true;
    file->line_base = line_base;
    const u64 chunks = size < pattern_len_ ? 0 : (size - pattern_len_) / stride_ + 1;
    bool queued = false;
    {
        std::lock_guard lock(mu_);
        item_result_ = 0;
        if (window_.empty() && !committer_exited_ && !stopping() && first_chunk < chunks) {
            // Its first records are written: from now on the committer
            // holds the file, and a stop ends it with what it has, as a
            // stop inside a committed file does.
            current_ = file;
            queued = true;
        }
    }
    if (!queued) {
        // Stopped already (or nothing left): the file ends here, as the
        // single-threaded scan ends a stopped file.
        u64 r = file->fd.close() != 0 ? ERR_CLOSE_FILE : 0;
        r = out_.end_file(file->dir, file->name, r);
        count_result(r, true);
        if (r == ERR_WRITE_FILE) write_failed_ = true;
        return r;
    }
    queue_pieces(file, first_chunk, chunks);
    drain();
    return write_failed() ? ERR_WRITE_FILE : item_result();
}

void ParallelSearch::drain() {
    flush_batch();
    std::unique_lock lock(mu_);
    while (!window_.empty() && !committer_exited_) {
        if (help_scan(lock)) continue;
        wake_committer(true);
        walk_waiting_ = true;
        cv_room_.wait_for(lock, kPoll);
        walk_waiting_ = false;
    }
}

void ParallelSearch::finish() {
    if (!started_) return;
    drain();
    {
        std::lock_guard lock(mu_);
        closing_ = true;
    }
    cv_work_.notify_all();
    cv_commit_.notify_all();
    cv_space_.notify_all();
    for (auto& s : scanners_)
        if (s->thread.joinable()) s->thread.join();
    if (committer_.joinable()) committer_.join();
    window_.clear();
    to_scan_.clear();
    started_ = false;
}

void ParallelSearch::scanner_loop(Scanner& s) {
    std::unique_lock lock(mu_);
    for (;;) {
        if (stopping() || committer_exited_) return;
        if (to_scan_.empty()) {
            if (closing_) return;
            ++idle_scanners_;
            starved_.fetch_add(1, std::memory_order_relaxed);
            cv_work_.wait_for(lock, kPoll);
            --idle_scanners_;
            continue;
        }
        Job* job = to_scan_.front();
        to_scan_.pop_front();
        lock.unlock();
        if (job->kind == Job::Kind::Batch) scan_batch(s, *job);
        else scan(s, *job);
        lock.lock();
        job->done = true;
        wake_committer(false);
    }
}

u64 ParallelSearch::scan_direct(Job& job) {
    FileState& file = *job.file;
    job.direct = true;
    scan(*walk_scanner_, job);
    // As finalize does for the last piece of a file.
    u64 r = job.direct_code != 0 ? job.direct_code : job.result;
    if (job.result == ERR_READ_FILE) out_.item_failed(file.path(), job.read_err);
    if (file.fd.close() != 0 && r == 0) r = ERR_CLOSE_FILE;
    r = out_.end_file(file.dir, file.name, r);
    count_result(r, file.item);
    if (r != ERR_WRITE_FILE) return 0;
    std::lock_guard lock(mu_);
    write_failed_ = true;
    return ERR_WRITE_FILE;
}

bool ParallelSearch::hand_over(Job& job, const std::uint8_t* data, std::size_t bytes) {
    if (job.direct) {
        if (job.direct_code == 0)
            job.direct_code =
                out_.occurrences(job.file->dir, job.file->name, data, bytes, record_len());
        return job.direct_code == 0 && !out_.file_enough();
    }
    std::unique_lock lock(mu_);
    // The committer takes the records of the oldest job as they come; the
    // others wait here once they hold their share.
    while (!job.records.empty() && job.records.size() + bytes > kJobRecordBytes &&
           !committer_exited_ && !stopping()) {
        wake_committer(true);
        cv_space_.wait_for(lock, kPoll);
    }
    job.records.insert(job.records.end(), data, data + bytes);
    if (committer_waiting_ && !window_.empty() && window_.front().get() == &job)
        cv_commit_.notify_one();
    return true;
}

void ParallelSearch::scan(Scanner& s, Job& job) {
    const FileState& file = *job.file;
    // The sinks have what they need of the file: its later pieces are not read.
    if (file.enough.load(std::memory_order_relaxed)) return;
    SearchParam& sp = s.sp;
    sp.LINE_COUNT = 0;
    JobOut out(*this, job);
    std::atomic<u64>& bytes_read = out_.bytes_counter();
    std::optional<PieceScan> scan;
    if (file.size >= settings_.map_min_bytes)
        scan = scan_mapped(sp, file.fd.get(), file.size, job.first_pos, job.chunks, out, stop_,
                           bytes_read);
    if (!scan)
        scan = scan_read(sp, file.fd.get(), file.size, job.first_pos, job.chunks, out,
                         stop_, bytes_read);
    std::lock_guard lock(mu_);
    job.eol = with_lines_ ? sp.LINE_COUNT : 0;
    job.result = scan->result;
    job.read_err = scan->read_err;
    job.ended = scan->ended;
}

u64 ParallelSearch::count_result(u64 r, bool item) {
    // As the walk counts a file when unreadable files are skipped, or as
    // search_in_file counts a file item.
    out_.count_file(r, !item);
    if (item) {
        std::lock_guard lock(mu_);
        item_result_ = r;
    }
    return r;
}

bool ParallelSearch::commit_records(Job& job, std::vector<std::uint8_t>& records) {
    FileState& file = *job.file;
    if (file.failed != 0 || file.ended || records.empty() ||
        file.enough.load(std::memory_order_relaxed))
        return true;
    if (with_lines_ && file.line_base != 0) {
        for (std::size_t at = 8; at + 8 <= records.size(); at += record_len())
            store_le64(records.data() + at, load_le64(records.data() + at) + file.line_base);
    }
    if (out_.occurrences(file.dir, file.name, records.data(), records.size(), record_len()) != 0)
        return false;
    if (out_.file_enough()) file.enough.store(true, std::memory_order_relaxed);
    return true;
}

void ParallelSearch::finalize(Job& job) {
    if (job.kind == Job::Kind::Batch) return;  // its files were finalized one by one
    if (job.kind == Job::Kind::Failure) {
        out_.item_failed(job.path, job.err);
        return;
    }
    if (job.kind == Job::Kind::OpenFailed) {
        out_.item_failed(job.path, job.err);
        count_result(ERR_OPEN_FILE, job.item);
        return;
    }
    FileState& file = *job.file;
    if (file.failed == 0 && !file.ended) {
        if (job.result != 0) {
            file.failed = job.result;
            out_.item_failed(file.path(), job.read_err);
        } else if (job.ended) {
            file.ended = true;
        }
        file.line_base += job.eol;
    }
    if (!job.last) return;
    u64 r = file.failed;
    if (file.fd.close() != 0 && r == 0) r = ERR_CLOSE_FILE;
    r = out_.end_file(file.dir, file.name, r);
    count_result(r, file.item);
    if (r == ERR_WRITE_FILE) {
        std::lock_guard lock(mu_);
        write_failed_ = true;
    }
    current_ = nullptr;
}

void ParallelSearch::close_partial_on_stop() {
    // As the single-threaded scan when stopped inside a file: the records
    // written so far get their header, and the file counts as searched.
    if (batch_partial_) {
        count_result(out_.end_file(batch_partial_->first, batch_partial_->second, 0), false);
        batch_partial_.reset();
    }
    if (current_ == nullptr) return;
    count_result(out_.end_file(current_->dir, current_->name, 0), current_->item);
    current_ = nullptr;
}

void ParallelSearch::committer_loop() {
    std::unique_lock lock(mu_);
    for (;;) {
        if (stopping()) {
            lock.unlock();
            close_partial_on_stop();
            lock.lock();
            break;
        }
        if (write_failed_) break;
        if (window_.empty()) {
            if (closing_) break;
            committer_waiting_ = true;
            cv_commit_.wait_for(lock, kPoll);
            committer_waiting_ = false;
            continue;
        }
        Job& job = *window_.front();
        if (job.kind == Job::Kind::Batch && job.committed < job.files.size() &&
            commit_batch(lock, job))
            continue;
        if (job.kind == Job::Kind::Piece && current_ != job.file) {
            // The first piece of a file.
            current_ = job.file;
        }
        if (!job.records.empty()) {
            std::vector<std::uint8_t> records;
            records.swap(job.records);
            cv_space_.notify_all();
            lock.unlock();
            const bool ok = commit_records(job, records);
            if (!ok) {
                count_result(ERR_WRITE_FILE, job.file->item);
                current_ = nullptr;
            }
            lock.lock();
            if (!ok) write_failed_ = true;
            continue;
        }
        if (!job.done) {
            committer_waiting_ = true;
            cv_commit_.wait_for(lock, kPoll);
            committer_waiting_ = false;
            // While a large file is scanned, what was found before it is
            // published. The queue is not empty, so the walk is not
            // reporting itself meanwhile.
            lock.unlock();
            const bool ok = out_.batch_end_if_due() == 0;
            lock.lock();
            if (!ok) write_failed_ = true;
            continue;
        }
        lock.unlock();
        finalize(job);
        lock.lock();
        window_.pop_front();
        // The walk waits for room (woken once half the queue is free, so
        // that it queues several files per wake-up) or for an empty queue.
        if (walk_waiting_ && window_.size() <= room_ / 2) cv_room_.notify_all();
    }
    committer_exited_ = true;
    cv_room_.notify_all();
    cv_space_.notify_all();
    cv_work_.notify_all();
}

}  // namespace tw
