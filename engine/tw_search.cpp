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

#include "engine/tw.h"

namespace tw {

namespace {

// Driver states of one file, beside the matcher's three results.
constexpr u64 TW_READ_FIRST = 7006;
constexpr u64 TW_END_FILE = 7007;

// True when `path` is `root` or lies below it, comparing whole components:
// /opt/app contains /opt/app/x but not /opt/application.
bool path_within(const std::string& path, const std::string& root) {
    std::size_t n = root.size();
    while (n > 1 && root[n - 1] == '/') --n;
    if (n == 0 || path.compare(0, n, root, 0, n) != 0) return false;
    return path.size() == n || path[n] == '/' || (n == 1 && root[0] == '/');
}

void add(std::atomic<u64>& counter) { counter.fetch_add(1, std::memory_order_relaxed); }

}  // namespace

void Engine::search_in_target() {
    const auto started = std::chrono::steady_clock::now();
    fatal_err_index = 0;
    failure_detail_.clear();

    // The walk never enters the application's own folder nor the resource
    // folder whose result files it is writing.
    excluded_roots_.clear();
    for (const std::string& root : {bundle_dir_pathname_ptr, resource_dir_pathname_ptr}) {
        if (root.empty()) continue;
        excluded_roots_.push_back(root);
        if (char* real = ::realpath(root.c_str(), nullptr)) {
            excluded_roots_.emplace_back(real);
            std::free(real);
        }
    }

    u64 code = open_found_file("w");
    if (code == 0) {
        code = set_search_param_from_target();
        if (code == 0) {
            searching_now.store(1, std::memory_order_relaxed);
            for (std::atomic<u64>* c : {&ir.cur_file_size, &ir.found_nb, &ir.total_bytes, &ir.file_nb,
                                        &ir.dir_nb, &ir.file_err_nb, &ir.dir_err_nb, &ir.other_err_nb})
                c->store(0, std::memory_order_relaxed);
            for (tr.item_index = 0;
                 tr.item_index < tr.item_nb && need_stop_searching.load(std::memory_order_relaxed) == 0;
                 ++tr.item_index) {
                const ItemRecord& item = tr.items[tr.item_index];
                const char* path = tr.path_pool + item.path_offset;
                if (item.item_type != 0) {
                    code = copy_dir_name(path);
                    if (code != 0) break;
                    code = search_in_dir(path, tr.not_inside != 0, tr.skip_error != 0, 0);
                } else {
                    code = search_in_file(path);
                }
                if (code == ERR_WRITE_FILE || code == ERR_MEMORY) break;
            }
        }
        const u64 closed = close_found_file();
        if (code == 0) code = closed;
    }
    fatal_err_index = code;
    ellipsed_time = static_cast<u64>(std::chrono::duration_cast<std::chrono::microseconds>(
                                         std::chrono::steady_clock::now() - started)
                                         .count());
    // Publishes fatal_err_index, ellipsed_time and the counters.
    searching_now.store(0, std::memory_order_release);
}

u64 Engine::search_in_dir(const char* path, bool skip_dot_names, bool skip_errors, u64 depth) {
    return walk_folder(AT_FDCWD, path, skip_dot_names, skip_errors, depth);
}

bool Engine::cut_dir_name() {
    std::lock_guard lock(names_mutex_);
    char* slash = std::strrchr(br.dir_name, '/');
    if (slash == nullptr) return false;
    // The root folder keeps its "/".
    if (slash == br.dir_name) slash[1] = '\0';
    else *slash = '\0';
    return true;
}

bool Engine::dir_name_is_excluded() const {
    const std::string path = br.dir_name;
    for (const std::string& root : excluded_roots_)
        if (path_within(path, root)) return true;
    return false;
}

u64 Engine::walk_folder(int parent_fd, const char* name, bool skip_dot_names, bool skip_errors,
                        u64 depth) {
    if (need_stop_searching.load(std::memory_order_relaxed) != 0 || dir_name_is_excluded()) {
        // The caller extended dir_name for this level: give the component back.
        if (depth > 0 && !cut_dir_name()) {
            add(ir.other_err_nb);
            return ERR_INVALID_NAME;
        }
        return 0;
    }

    // Below the top level the entry was seen as a folder; refusing links
    // here keeps a folder swapped for a link from leading the walk astray.
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (depth > 0 ? O_NOFOLLOW : 0);
    const int fd = ::openat(parent_fd, name, flags);
    DIR* listing = nullptr;
    u64 failed = 0;
    if (fd < 0) {
        failed = ERR_OPEN_DIR;
    } else if (::faccessat(fd, ".", X_OK, AT_EACCESS) != 0) {
        // Listable but not enterable: its entries cannot be reached.
        ::close(fd);
        failed = ERR_ACCESS_DIR;
    } else if ((listing = ::fdopendir(fd)) == nullptr) {
        ::close(fd);
        failed = ERR_OPEN_DIR;
    }
    if (failed != 0) {
        record_failure(br.dir_name);
        if (depth > 0 && !cut_dir_name()) {
            add(ir.other_err_nb);
            return ERR_INVALID_NAME;
        }
        add(ir.dir_err_nb);
        return failed;
    }

    u64 ended_by = 0;
    while (const dirent* entry = ::readdir(listing)) {
        if (need_stop_searching.load(std::memory_order_relaxed) != 0) break;
        const char* entry_name = entry->d_name;
        if (entry_name[0] == '.') {
            if (entry_name[1] == '\0' || (entry_name[1] == '.' && entry_name[2] == '\0')) continue;
            if (skip_dot_names) continue;
        }
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st{};
            if (::fstatat(fd, entry_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                add(ir.file_err_nb);
                continue;
            }
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_LNK;
        }
        if (type == DT_DIR) {
            if (append_to_dir_name(entry_name) != 0) {
                add(ir.other_err_nb);
                ended_by = ERR_MEMORY;
                break;
            }
            const u64 r = walk_folder(fd, entry_name, skip_dot_names, skip_errors, depth + 1);
            if (r == 0) {
                add(ir.dir_nb);
            } else if (r == ERR_WRITE_FILE || r == ERR_MEMORY) {
                ended_by = r;
                break;
            } else if (!skip_errors) {
                break;
            }
        } else if (type == DT_REG) {
            if (copy_file_name(entry_name) != 0) {
                add(ir.other_err_nb);
                ended_by = ERR_MEMORY;
                break;
            }
            WorkFile& w = wf[WF_SEARCHED];
            w.dir_path = br.dir_name;
            w.name = entry_name;
            w.position = 0;
            search_dir_fd_ = fd;
            const u64 r = tw_search();
            if (r == 0) {
                add(ir.file_nb);
            } else if (r == ERR_WRITE_FILE) {
                add(ir.other_err_nb);
                ended_by = r;
                break;
            } else {
                add(ir.file_err_nb);
                if (!skip_errors) break;
                add(ir.file_nb);
            }
        }
        // Links, devices, pipes and sockets are ignored.
    }
    ::closedir(listing);
    search_dir_fd_ = -1;

    if (depth > 0 && !cut_dir_name()) {
        add(ir.other_err_nb);
        return ERR_INVALID_NAME;
    }
    return ended_by;
}

u64 Engine::search_in_file(const char* path) {
    if (need_stop_searching.load(std::memory_order_relaxed) != 0) return 0;
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr) {
        add(ir.other_err_nb);
        return ERR_INVALID_NAME;
    }
    const std::string folder(path, static_cast<std::size_t>(slash - path));
    if (copy_dir_name(folder.c_str()) != 0 || copy_file_name(slash + 1) != 0) {
        add(ir.other_err_nb);
        return ERR_MEMORY;
    }
    // A file right under "/" has an empty folder part: its folder is "/".
    const int dir_fd = ::open(folder.empty() ? "/" : folder.c_str(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st{};
    if (dir_fd < 0 || ::fstatat(dir_fd, slash + 1, &st, 0) != 0) {
        if (dir_fd >= 0) ::close(dir_fd);
        record_failure(path);
        add(ir.dir_err_nb);
        return ERR_ACCESS_DIR;
    }
    WorkFile& w = wf[WF_SEARCHED];
    w.dir_path = br.dir_name;
    w.name = br.file_name;
    w.position = 0;
    search_dir_fd_ = dir_fd;
    const u64 r = tw_search();
    ::close(dir_fd);
    search_dir_fd_ = -1;
    if (r == 0) add(ir.file_nb);
    else if (r == ERR_WRITE_FILE || r == ERR_MEMORY) add(ir.other_err_nb);
    else add(ir.file_err_nb);
    return r;
}

u64 Engine::read_piece(int fd, u64 offset, u64 limit, u64* got) {
    auto* dest = reinterpret_cast<std::uint8_t*>(sr.TEXT_START);
    u64 done = 0;
    while (done < limit) {
        const ssize_t n = ::pread(fd, dest + done, limit - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return ERR_READ_FILE;
        }
        if (n == 0) break;
        done += static_cast<u64>(n);
    }
    *got = done;
    return 0;
}

u64 Engine::write_occurrences() {
    WorkFile& out = wf[WF_FOUND_OFFSET];
    const u64 bytes = sr.OCC_PTR - sr.OCC_START;
    if (std::fwrite(reinterpret_cast<const void*>(sr.OCC_START), 1, bytes, out.stream) != bytes ||
        std::ferror(out.stream) != 0) {
        record_failure(resource_path(TW_FOUND_DIR, TW_FOUND_OFFSET));
        return ERR_WRITE_FILE;
    }
    if (!occ_written_) {
        ffh.occ_pos = out.position;
        occ_written_ = true;
    }
    out.position += bytes;
    sr.OCC_PTR = sr.OCC_START;
    const u64 records = bytes / ((sr.SEARCH_KIND & KIND_LINE_NB) != 0 ? 16 : 8);
    ffh.occ_nb += records;
    ir.found_nb.fetch_add(records, std::memory_order_relaxed);
    return 0;
}

u64 Engine::tw_search() {
    WorkFile& w = wf[WF_SEARCHED];
    // Non-blocking, so an entry that became a pipe since it was listed
    // cannot hang the search; it is refused below as not a regular file.
    const int fd = ::openat(search_dir_fd_, w.name, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat st{};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0) ::close(fd);
        record_failure(std::string(w.dir_path) + "/" + w.name);
        return ERR_OPEN_FILE;
    }
    w.fd = fd;
    // Bytes added after this point are not searched.
    w.size = static_cast<u64>(st.st_size);
    ir.cur_file_size.store(w.size, std::memory_order_relaxed);
    if (w.size > sr.TEXT_BUF_SIZE) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    const u64 m = sr.STR_END - sr.STR_START;
    const bool lower = (sr.SEARCH_KIND & KIND_CASE_INSENSITIVE) != 0;
    sr.TEXT_OFFSET = 0;
    sr.LINE_COUNT = 0;
    w.position = 0;
    ffh.occ_nb = 0;
    sr.OCC_PTR = sr.OCC_START;
    occ_written_ = false;
    u64 state = TW_READ_FIRST;
    u64 result = 0;
    for (;;) {
        if (need_stop_searching.load(std::memory_order_relaxed) != 0) break;
        if ((state == TW_END_OCC || state == TW_END_BOTH || state == TW_END_FILE) &&
            sr.OCC_PTR != sr.OCC_START) {
            result = write_occurrences();
            if (result != 0) break;
        }
        if (state == TW_END_FILE) break;
        if (state == TW_END_TEXT || state == TW_END_BOTH || state == TW_READ_FIRST) {
            if (w.size < w.position || w.size - w.position < m) {
                state = TW_END_FILE;
                continue;
            }
            const u64 limit = std::min<u64>(sr.TEXT_BUF_SIZE, w.size - w.position);
            u64 n = 0;
            result = read_piece(fd, w.position, limit, &n);
            if (result != 0) {
                record_failure(std::string(w.dir_path) + "/" + w.name);
                break;
            }
            w.transferred = n;
            ir.total_bytes.fetch_add(n, std::memory_order_relaxed);
            // A file that shrank since its size was noted ends here rather
            // than reading the same offset again.
            if (n < m) {
                state = TW_END_FILE;
                continue;
            }
            sr.TEXT_OFFSET = w.position;
            sr.TEXT_PTR = sr.TEXT_START;
            sr.TEXT_END = sr.TEXT_START + n;
            w.position = w.position + n - m + 1;
            if (lower) make_lower_case_asm(n, reinterpret_cast<std::uint8_t*>(sr.TEXT_START));
        }
        search_asm(&sr);
        state = sr.SEARCH_RESULT;
    }
    w.fd = -1;
    if (::close(fd) != 0 && result == 0) result = ERR_CLOSE_FILE;
    if (result == 0 && occ_written_) return write_path_and_ffh();
    return result;
}

}  // namespace tw
