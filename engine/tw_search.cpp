// The search driver: the whole search over the current target, the folder
// walk, the item files, and the piece-by-piece scan of one file.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <thread>

#include "engine/tw.h"
#include "engine/tw_fd.h"
#include "engine/tw_parallel.h"
#include "engine/tw_result_files.h"
#include "engine/tw_scan.h"

namespace tw {

void Engine::search_in_target() {
    const auto started = std::chrono::steady_clock::now();
    const u64 start_time = static_cast<u64>(std::time(nullptr));
    fatal_err_index = 0;
    record_failure(std::string());
    stopped_at_unreadable_ = false;

    // The walk never enters the application's own folder nor the result
    // folder it is writing; the rest of the resource folder is searched.
    excluded_roots_.clear();
    const std::string found_dir = resource_dir_pathname_ptr.empty() ? std::string()
                                                                    : resource_path(TW_FOUND_DIR);
    for (const std::string& root : {bundle_dir_pathname_ptr, found_dir}) {
        if (root.empty()) continue;
        excluded_roots_.push_back(root);
        if (char* real = ::realpath(root.c_str(), nullptr)) {
            excluded_roots_.emplace_back(real);
            std::free(real);
        }
    }

    const auto elapsed = [&] {
        return static_cast<u64>(std::chrono::duration_cast<std::chrono::microseconds>(
                                    std::chrono::steady_clock::now() - started)
                                    .count());
    };
    const auto status_of = [&](u64 code) {
        return code != 0 ? RESULT_ERROR
               : need_stop_searching.load(std::memory_order_relaxed) != 0 ? RESULT_STOPPED
                                                                          : RESULT_FINISHED;
    };
    const auto publish = [&](u64 code) {
        last_search_status_ = status_of(code);
        fatal_err_index = code;
        ellipsed_time = elapsed();
        // The stop the search asked for itself ends with it.
        if (stopped_at_unreadable_) need_stop_searching.store(0, std::memory_order_relaxed);
        // Publishes fatal_err_index, ellipsed_time and the counters.
        searching_now.store(0, std::memory_order_release);
    };
    if (!write_result_files) {
        // The sinks are the whole output: no folder, no lock, no files.
        u64 code = set_search_param_from_target();
        if (code == 0) code = run_search(sinks);
        publish(code);
        return;
    }

    // One writer per result folder: from before the files are truncated
    // until the description is written.
    const bool own_lock = !(found_lock_.held() && found_lock_.exclusive());
    bool busy = false;
    u64 code = own_lock ? lock_result(true, true, &busy) : 0;
    if (busy) {
        // A stop was asked for while waiting: nothing was written.
        last_search_status_ = RESULT_STOPPED;
        searching_now.store(0, std::memory_order_release);
        return;
    }
    // A pattern the search refuses leaves the last result as it was: it is
    // checked before the result files are emptied.
    if (code == 0) code = set_search_param_from_target();
    if (code == 0) code = open_found_file("w");
    if (code == 0) {
        code = write_result_info(RESULT_RUNNING, 0, start_time, 0);
        ResultFileSink result_files(wf[WF_FOUND_HEADER], wf[WF_FOUND_PATH], wf[WF_FOUND_OFFSET],
                                    resource_path(TW_FOUND_DIR),
                                    [this](const std::string& path, int err) { record_failure(path, err); },
                                    sr.MULTI != 0 ? &wf[WF_FOUND_FORM] : nullptr);
        if (code == 0) {
            std::vector<ResultSink*> chain{&result_files};
            chain.insert(chain.end(), sinks.begin(), sinks.end());
            code = run_search(std::move(chain));
        }
        const u64 closed = close_found_file();
        if (code == 0) code = closed;
        const u64 described = write_result_info(status_of(code), code, start_time, elapsed());
        if (code == 0) code = described;
    }
    if (own_lock) unlock_result();
    publish(code);
}

u64 Engine::run_search(std::vector<ResultSink*> chain) {
    u64 code = 0;
    searching_now.store(1, std::memory_order_relaxed);
    output_.begin(std::move(chain), [this](const std::string& path, int err) {
        record_failure(path, err);
        // A target that does not go on after errors ends the whole
        // search at its first unreadable item, unless a stop was
        // already asked for.
        if (tr.skip_error == 0 &&
            need_stop_searching.exchange(1, std::memory_order_relaxed) == 0)
            stopped_at_unreadable_ = true;
    }, sr.MULTI != 0);
    // Files of folders are scanned by several threads when asked
    // for, except when the first unreadable item ends its folder:
    // which files that search reads depends on each result before.
    // The threads start with the first item that needs them: a folder, or
    // a file item of more than a piece once its first text buffer is read. A search of a few small files (a
    // command line on one file) runs on this thread alone, as fast to
    // start as it can be.
    std::unique_ptr<ParallelSearch> parallel;
    const unsigned threads = effective_thread_count();
    bool may_start = threads > 1 && tr.skip_error != 0;
    const auto start_threads = [&] {
        if (!may_start) return;
        may_start = false;
        try {
            parallel = std::make_unique<ParallelSearch>(
                output_, sr, need_stop_searching,
                ParallelSearch::Settings{threads, piece_bytes, map_min_bytes});
        } catch (const std::bad_alloc&) {
        }
        if (parallel && !parallel->start()) parallel.reset();
        par_ = parallel.get();
    };
    par_ = nullptr;
    for (tr.item_index = 0;
         tr.item_index < tr.item_nb && need_stop_searching.load(std::memory_order_relaxed) == 0;
         ++tr.item_index) {
        const ItemRecord& item = tr.items[tr.item_index];
        const char* path = tr.path_pool + item.path_offset;
        bool large = false;
        if (may_start) {
            struct stat st{};
            if (item.item_type != 0) start_threads();
            else
                large = ::stat(path, &st) == 0 && S_ISREG(st.st_mode) &&
                        static_cast<u64>(st.st_size) > piece_bytes;
        }
        if (item.item_type != 0) {
            code = copy_dir_name(path);
            if (code != 0) break;
            code = search_in_dir(path, tr.not_inside != 0, tr.skip_error != 0, 0);
            if (par_ != nullptr) {
                // The item's result is known once its files are written.
                par_->drain();
                if (par_->write_failed()) code = ERR_WRITE_FILE;
            }
        } else if (par_ != nullptr) {
            // A file item is searched in its place, once the files
            // before it are written: a regular one in pieces by the
            // scanning threads, anything else here.
            par_->drain();
            code = search_file_item_in_pieces(path);
        } else if (large) {
            // The threads start only when its first text buffer did not
            // end the search or the file.
            const std::function<bool()> start = [&] {
                start_threads();
                return par_ != nullptr;
            };
            code = search_in_file(path, &start);
        } else {
            code = search_in_file(path);
        }
        if (code == ERR_WRITE_FILE || code == ERR_MEMORY) break;
    }
    if (parallel) parallel->finish();
    par_ = nullptr;
    // The last batch: every sink publishes what it holds.
    const u64 ended = output_.end();
    // A file or folder that could not be read, the last item
    // included, is no error of the whole search: it was named to the
    // sinks and counted, and either skipped or, without
    // skip_error, where the search stopped with what it had found.
    if (code == ERR_OPEN_FILE || code == ERR_READ_FILE || code == ERR_ACCESS_DIR ||
        code == ERR_OPEN_DIR)
        code = 0;
    if (code == 0) code = ended;
    return code;
}

unsigned Engine::effective_thread_count() const {
    if (thread_count != 0) return thread_count;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores != 0 ? cores : 1;
}

u64 Engine::search_file_item_in_pieces(const char* path) {
    if (need_stop_searching.load(std::memory_order_relaxed) != 0) return 0;
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr) return search_in_file(path);
    const std::string folder(path, static_cast<std::size_t>(slash - path));
    UniqueFd dir_fd(::open(folder.empty() ? "/" : folder.c_str(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat st{};
    if (!dir_fd || ::fstatat(dir_fd.get(), slash + 1, &st, 0) != 0 || !S_ISREG(st.st_mode)) {
        // Failures and files that are not regular take the usual way.
        dir_fd.reset();
        return search_in_file(path);
    }
    if (copy_dir_name(folder.c_str()) != 0 || copy_file_name(slash + 1) != 0) {
        output_.other_failed();
        return ERR_MEMORY;
    }
    u64 r = par_->submit_file(dir_fd.get(), folder, slash + 1, true);
    dir_fd.reset();
    par_->drain();
    if (r == 0) r = par_->write_failed() ? ERR_WRITE_FILE : par_->item_result();
    return r;
}

u64 Engine::search_in_file(const char* path, const std::function<bool()>* start_threads) {
    if (need_stop_searching.load(std::memory_order_relaxed) != 0) return 0;
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr) {
        output_.other_failed();
        return ERR_INVALID_NAME;
    }
    const std::string folder(path, static_cast<std::size_t>(slash - path));
    if (copy_dir_name(folder.c_str()) != 0 || copy_file_name(slash + 1) != 0) {
        output_.other_failed();
        return ERR_MEMORY;
    }
    // A file right under "/" has an empty folder part: its folder is "/".
    UniqueFd dir_fd(::open(folder.empty() ? "/" : folder.c_str(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat st{};
    if (!dir_fd || ::fstatat(dir_fd.get(), slash + 1, &st, 0) != 0) {
        const int err = errno;
        dir_fd.reset();
        item_failed(path, err);
        output_.folder_failed();
        return ERR_ACCESS_DIR;
    }
    WorkFile& w = wf[WF_SEARCHED];
    w.dir_path = br.dir_name;
    w.name = br.file_name;
    u64 r = 0;
    bool counted = false;
    if (stream_item_type(st.st_mode)) {
        // A pipe, socket or device named as an item is read as a stream.
        dir_fd.reset();
        r = search_in_stream(path);
    } else {
        search_dir_fd_ = dir_fd.get();
        r = tw_search(start_threads, &counted);
        dir_fd.reset();
        search_dir_fd_ = -1;
    }
    if (!counted) output_.count_file(r, false);
    return r;
}

u64 Engine::tw_search(const std::function<bool()>* start_threads, bool* counted,
                      OpenedFile* opened) {
    const WorkFile& w = wf[WF_SEARCHED];
    // Opened without blocking, so an entry that became a pipe since it was
    // listed cannot hang the search; it is refused as not a regular file.
    struct stat st{};
    int err = 0;
    UniqueFd fd = take_or_open_regular(opened, search_dir_fd_, w.name, &err, &st);
    if (!fd) {
        item_failed(std::string(w.dir_path) + "/" + w.name, err);
        return ERR_OPEN_FILE;
    }
    // Bytes added after this point are not searched.
    const u64 size = static_cast<u64>(st.st_size);
    output_.file_size(size);
    if (size > sr.TEXT_BUF_SIZE) ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    sr.LINE_COUNT = 0;
    FileOut out(output_, record_len(), w.dir_path, w.name);
    const bool split = start_threads != nullptr && size > sr.TEXT_BUF_SIZE;
    PieceScan scan = scan_read(sr, fd.get(), size, 0, split ? 1 : ~u64{0}, out,
                               need_stop_searching, ir.total_bytes);
    if (split && out.code == 0 && scan.result == 0 && !scan.ended && !scan.refused &&
        need_stop_searching.load(std::memory_order_relaxed) == 0) {
        // The file goes on past its first text buffer: the rest is
        // scanned by the threads, or here when they cannot start.
        if ((*start_threads)()) {
            *counted = true;
            const u64 lines = (sr.SEARCH_KIND & KIND_LINE_NB) != 0 ? sr.LINE_COUNT : 0;
            return par_->continue_item(std::move(fd), w.dir_path, w.name, size, 1, lines);
        }
        scan = scan_read(sr, fd.get(), size, sr.TEXT_BUF_SIZE - (sr.STR_END - sr.STR_START) + 1,
                         ~u64{0}, out, need_stop_searching, ir.total_bytes);
    }
    u64 result = out.code != 0 ? out.code : scan.result;
    if (scan.result == ERR_READ_FILE)
        item_failed(std::string(w.dir_path) + "/" + w.name, scan.read_err);
    if (fd.close() != 0 && result == 0) result = ERR_CLOSE_FILE;
    return output_.end_file(w.dir_path, w.name, result);
}

}  // namespace tw
