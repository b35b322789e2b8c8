// The folder walk of the search driver. It keeps its own stack of folders
// instead of recursing, so the depth of a tree is bounded by memory and not
// by the thread's stack. Only kMaxOpenLevels levels, the top one and the
// deepest, keep a descriptor and a 32 KiB getdents64 buffer holding the
// rest of their listing, so a folder is listed once however many
// sub-folders interrupt it: seeking a folder to list it again is costly (on
// ext4 the next getdents64 rebuilds the hashed listing) and made a folder
// of many sub-folders cost quadratic time. A deeper level costs a few dozen
// bytes: its descriptor and buffer are given up, it is opened again through
// ".." of its child when the walk climbs back, checked to be the same
// folder, and its listing resumes from the position of its next entry.
// Order of entries, counters and results are those of a walk that recurses
// once per level.
//
// During a parallel search, helper threads open and list ahead the
// sub-folders named in the deepest level's listing (see tw_walk_ahead.h);
// the walk takes each in its turn, so the order stays the same.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "engine/tw.h"
#include "engine/tw_fd.h"
#include "engine/tw_parallel.h"
#include "engine/tw_walk_ahead.h"

namespace tw {

namespace {

constexpr std::size_t kListingBytes = std::size_t{32} << 10;
constexpr std::size_t kMaxOpenLevels = 16;
constexpr std::size_t npos = static_cast<std::size_t>(-1);

// Offsets in a getdents64 record: ino (8), off (8), reclen (2), type (1), name.
constexpr std::size_t kOffOffset = 8;
constexpr std::size_t kReclenOffset = 16;
constexpr std::size_t kTypeOffset = 18;
constexpr std::size_t kNameOffset = 19;

struct Level {
    int fd = -1;
    std::unique_ptr<char[]> listing;  // unread entries at pos .. end, while open
    std::size_t pos = 0, end = 0;
    // Bytes of `listing`: less than kListingBytes for the first bytes a
    // helper read, which are not kept for another level.
    std::size_t cap = 0;
    u64 seq = 0;  // entries of the listing taken so far
    // Sub-folders asked for ahead, in listing order, from ahead_head (a
    // vector: an empty one costs no allocation, unlike a deque); the
    // records at ahead_pos (rank ahead_seq) and after are not looked at yet.
    std::vector<std::shared_ptr<WalkAhead::Listing>> ahead;
    std::size_t ahead_head = 0;
    std::size_t ahead_pos = 0;
    u64 ahead_seq = 0;
    std::shared_ptr<UniqueFd> shared_fd;  // the helpers' copy of fd
    bool listed_out = false;  // the listing's end was reached by a helper
    std::size_t dir_len = 0;  // length of dir_name while this level is listed
    off_t resume = 0;         // listing position of the next entry
    bool reseek = false;      // the descriptor was given up: seek to resume
    // An entry was reached through the folder, so it can be entered; until
    // then a folder that can be listed may still refuse its entries.
    bool entered = false;
    bool done = false;
    u64 ended_by = 0;
    dev_t dev = 0;  // set when the descriptor is given up
    ino_t ino = 0;
};

void add(std::atomic<u64>& counter) { counter.fetch_add(1, std::memory_order_relaxed); }

bool is_dot_or_dot_dot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

}  // namespace

u64 Engine::search_in_dir(const char* path, bool skip_dot_names, bool skip_errors, u64 depth) {
    return walk_tree(path, skip_dot_names, skip_errors, depth);
}

void Engine::walk_failed(const std::string& path, int err) {
    if (par_ != nullptr) par_->report_failure(path, err);
    else item_failed(path, err);
}

std::size_t Engine::cut_dir_name_at(std::size_t len) {
    std::lock_guard lock(names_mutex_);
    auto* slash = static_cast<char*>(::memrchr(br.dir_name, '/', len));
    if (slash == nullptr) return npos;
    // The root folder keeps its "/".
    if (slash == br.dir_name) {
        slash[1] = '\0';
        return 1;
    }
    *slash = '\0';
    return static_cast<std::size_t>(slash - br.dir_name);
}

std::size_t Engine::append_dir_name_at(std::size_t len, const char* name) {
    std::lock_guard lock(names_mutex_);
    const std::size_t add_len = std::strlen(name);
    if (grow_buffer(br.dir_name, br.dir_name_size, len + add_len + 2) != 0) return npos;
    // A folder that already ends with "/" takes no second one.
    const std::size_t at = len > 0 && br.dir_name[len - 1] == '/' ? len : len + 1;
    br.dir_name[at - 1] = '/';
    std::memcpy(br.dir_name + at, name, add_len + 1);
    return at + add_len;
}

// True when dir_name (len bytes) is an excluded folder or lies below one,
// comparing whole components: /opt/app contains /opt/app/x, not /opt/apps.
bool Engine::path_is_excluded(std::size_t len) const {
    for (const std::string& root : excluded_roots_) {
        std::size_t n = root.size();
        while (n > 1 && root[n - 1] == '/') --n;
        if (n == 0 || len < n || std::memcmp(br.dir_name, root.data(), n) != 0) continue;
        if (len == n || br.dir_name[n] == '/' || (n == 1 && root[0] == '/')) return true;
    }
    return false;
}

u64 Engine::walk_tree(const char* path, bool skip_dot_names, bool skip_errors, u64 base_depth) {
    // Below the top level the entry was seen as a folder; refusing links
    // there keeps a folder swapped for a link from leading the walk astray.
    constexpr int kSubFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW;
    // Helpers list sub-folders ahead while the scanning threads run.
    std::unique_ptr<WalkAhead> ahead;
    if (par_ != nullptr && walk_ahead != kAheadNever) {
        const unsigned helpers = std::max(1u, effective_thread_count() / 2);
        ahead.reset(new (std::nothrow)
                        WalkAhead(helpers, kListingBytes, kSubFolderFlags, need_stop_searching));
    }
    std::vector<Level> stack;
    // Buffers of levels that gave theirs up, for the next level to list.
    std::vector<std::unique_ptr<char[]>> spare;
    auto release = [&](Level& level) {
        if (level.listing && level.cap == kListingBytes) spare.push_back(std::move(level.listing));
        level.listing.reset();
        level.pos = level.end = 0;
        level.listed_out = false;  // listed again from its next entry
        level.ahead_pos = 0;
        for (std::size_t i = level.ahead_head; i < level.ahead.size(); ++i) ahead->drop(*level.ahead[i]);
        level.ahead.clear();
        level.ahead_head = 0;
        level.shared_fd.reset();
    };
    // Asks the helpers for the sub-folders named in the level's listing
    // beyond those asked for already, while there is room.
    auto look_ahead = [&](Level& level) {
        if (level.ahead_pos < level.pos) {
            level.ahead_pos = level.pos;
            level.ahead_seq = level.seq;
        }
        std::size_t at = level.ahead_pos;
        u64 seq = level.ahead_seq;
        while (at < level.end && ahead->has_room()) {
            const char* record = level.listing.get() + at;
            unsigned short reclen = 0;
            std::memcpy(&reclen, record + kReclenOffset, sizeof reclen);
            const char* name = record + kNameOffset;
            const bool folder = static_cast<unsigned char>(record[kTypeOffset]) == DT_DIR;
            at += reclen;
            const u64 rank = seq++;
            if (!folder || (name[0] == '.' && (is_dot_or_dot_dot(name) || skip_dot_names))) continue;
            if (!level.shared_fd) {
                UniqueFd copy(::fcntl(level.fd, F_DUPFD_CLOEXEC, 0));
                if (!copy) {
                    at = level.end;
                    break;
                }
                level.shared_fd = std::make_shared<UniqueFd>(std::move(copy));
            }
            level.ahead.push_back(ahead->ask(level.shared_fd, name, rank));
        }
        level.ahead_pos = at;
        level.ahead_seq = seq;
        ahead->hand_over();
    };
    std::size_t open_levels = 0;
    std::size_t first_open = 1;  // levels 1 .. first_open-1 have no descriptor

    // A folder that can be listed but not entered is one failure, named
    // before anything of it: whether it can be entered is asked only when
    // reaching its first entry failed with EACCES, or when none was reached
    // (an empty folder), never of every folder. True when it refuses: the
    // level then ends as one that could not be opened.
    auto refuses_entry = [&](Level& level) {
        if (::faccessat(level.fd, ".", X_OK, AT_EACCESS) == 0) {
            level.entered = true;
            return false;
        }
        const int err = errno;
        walk_failed(std::string(br.dir_name, level.dir_len), err);
        add(ir.dir_err_nb);
        level.ended_by = ERR_ACCESS_DIR;
        level.done = true;
        return true;
    };

    // Enters the folder `name` (relative to parent_fd, the folder of level
    // `parent` if any) whose path dir_name holds with `len` bytes: pushes a
    // level, or gives the level's result at once when it is not to be
    // walked or cannot be opened.
    auto enter = [&](int parent_fd, Level* parent, const char* name, u64 depth, std::size_t len,
                     WalkAhead::Listing* pre) -> std::optional<u64> {
        if (need_stop_searching.load(std::memory_order_relaxed) != 0 || path_is_excluded(len)) {
            if (pre != nullptr) ahead->drop(*pre);
            if (depth > 0 && cut_dir_name_at(len) == npos) {
                add(ir.other_err_nb);
                return ERR_INVALID_NAME;
            }
            return 0;
        }
        // What a helper opened is taken when the entry is still that
        // folder, unchanged; a folder it could not open is opened here, so
        // its failure is met in its turn.
        bool prepared = pre != nullptr && ahead->take(*pre);
        if (prepared) {
            struct stat now{};
            if (::fstatat(parent_fd, name, &now, AT_SYMLINK_NOFOLLOW) != 0 ||
                !WalkAhead::same(pre->st, now)) {
                pre->fd.reset();
                prepared = false;
            }
        }
        const int fd = prepared ? pre->fd.release()
                                : ::openat(parent_fd, name,
                                           depth > 0 ? kSubFolderFlags : kSubFolderFlags & ~O_NOFOLLOW);
        const int err = errno;
        if (parent != nullptr && !parent->entered) {
            if (fd < 0 && err == EACCES) {
                // The parent itself may refuse its entries: then it is the
                // failure, not this folder, and its level ends.
                if (refuses_entry(*parent)) {
                    cut_dir_name_at(len);
                    return std::nullopt;
                }
            } else {
                parent->entered = true;
            }
        }
        const u64 failed = fd < 0 ? ERR_OPEN_DIR : 0;
        if (failed != 0) {
            walk_failed(br.dir_name, err);
            if (depth > 0 && cut_dir_name_at(len) == npos) {
                add(ir.other_err_nb);
                return ERR_INVALID_NAME;
            }
            add(ir.dir_err_nb);
            return failed;
        }
        Level level;
        level.fd = fd;
        level.dir_len = len;
        if (prepared) {
            level.listing = std::move(pre->data);
            level.cap = level.end = pre->bytes;
            level.listed_out = pre->listed_out;
        }
        stack.push_back(std::move(level));
        if (++open_levels > kMaxOpenLevels) {
            // Close the shallowest open level below the top one; the open
            // levels are always the top level and a run ending at the deepest.
            // Its identity, to know it again when the walk climbs back, is
            // taken now: most folders never give their descriptor up.
            Level& closed = stack[first_open];
            struct stat st{};
            if (::fstat(closed.fd, &st) == 0) {
                closed.dev = st.st_dev;
                closed.ino = st.st_ino;
            }
            ::close(closed.fd);
            closed.fd = -1;
            release(closed);
            closed.reseek = true;
            ++first_open;
            --open_levels;
        }
        return std::nullopt;
    };

    if (auto r = enter(AT_FDCWD, nullptr, path, base_depth, std::strlen(br.dir_name), nullptr))
        return *r;

    u64 child_result = 0;
    bool have_child = false;
    for (;;) {
        const std::size_t index = stack.size() - 1;
        const u64 depth = base_depth + index;
        if (have_child) {
            have_child = false;
            Level& level = stack[index];
            if (child_result == 0) {
                add(ir.dir_nb);
            } else if (child_result == ERR_WRITE_FILE || child_result == ERR_MEMORY) {
                level.ended_by = child_result;
                level.done = true;
            } else if (!skip_errors) {
                level.done = true;
            }
        }

        if (!stack[index].done) {
            Level& level = stack[index];
            if (need_stop_searching.load(std::memory_order_relaxed) != 0) {
                level.done = true;
                continue;
            }
            if (level.reseek) {
                level.reseek = false;
                if (::lseek(level.fd, level.resume, SEEK_SET) < 0) {
                    level.done = true;
                    continue;
                }
            }
            if (level.pos >= level.end) {
                if (level.listed_out) {
                    if (!level.entered) refuses_entry(level);
                    level.done = true;
                    continue;
                }
                if (level.cap != kListingBytes) level.listing.reset();
                if (!level.listing) {
                    if (spare.empty()) {
                        level.listing.reset(new char[kListingBytes]);
                    } else {
                        level.listing = std::move(spare.back());
                        spare.pop_back();
                    }
                    level.cap = kListingBytes;
                }
                const ssize_t n = retry_on_eintr(
                    [&] { return ::getdents64(level.fd, level.listing.get(), kListingBytes); });
                if (n <= 0) {
                    if (!level.entered) refuses_entry(level);
                    level.done = true;
                    continue;
                }
                level.pos = 0;
                level.end = static_cast<std::size_t>(n);
                level.ahead_pos = 0;
                level.ahead_seq = level.seq;
            }
            if (ahead && level.ahead_pos < level.end && ahead->has_room() &&
                (walk_ahead == kAheadAlways || par_->scanners_waited()))
                look_ahead(level);
            const char* record = level.listing.get() + level.pos;
            unsigned short reclen = 0;
            std::memcpy(&reclen, record + kReclenOffset, sizeof reclen);
            std::memcpy(&level.resume, record + kOffOffset, sizeof level.resume);
            unsigned char type = static_cast<unsigned char>(record[kTypeOffset]);
            const char* name = record + kNameOffset;
            level.pos += reclen;
            const u64 rank = level.seq++;

            if (name[0] == '.' && (is_dot_or_dot_dot(name) || skip_dot_names)) continue;
            if (type == DT_UNKNOWN) {
                struct stat st{};
                if (::fstatat(level.fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                    const int err = errno;
                    if (err == EACCES && !level.entered && refuses_entry(level)) continue;
                    walk_failed(std::string(br.dir_name, level.dir_len) + "/" + name, err);
                    add(ir.file_err_nb);
                    continue;
                }
                level.entered = true;
                type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_LNK;
            }
            if ((type == DT_DIR || type == DT_REG) && walk_filter &&
                !walk_filter(std::string_view(br.dir_name, level.dir_len), name, type == DT_DIR))
                continue;
            if (type == DT_DIR) {
                const std::size_t len = append_dir_name_at(level.dir_len, name);
                if (len == npos) {
                    add(ir.other_err_nb);
                    level.ended_by = ERR_MEMORY;
                    level.done = true;
                    continue;
                }
                // What was asked for this entry; those before it were left.
                std::shared_ptr<WalkAhead::Listing> pre;
                while (level.ahead_head < level.ahead.size() &&
                       level.ahead[level.ahead_head]->seq <= rank) {
                    std::shared_ptr<WalkAhead::Listing> front = std::move(level.ahead[level.ahead_head++]);
                    if (front->seq == rank) {
                        pre = std::move(front);
                        break;
                    }
                    ahead->drop(*front);
                }
                if (level.ahead_head == level.ahead.size()) {
                    level.ahead.clear();
                    level.ahead_head = 0;
                    // Nothing more to ask from this listing's bytes: the
                    // helpers' descriptor of the folder goes.
                    if (level.ahead_pos >= level.end) level.shared_fd.reset();
                }
                if (auto r = enter(level.fd, &level, name, depth + 1, len, pre.get())) {
                    child_result = *r;
                    have_child = true;
                }
                continue;  // `level` may have moved with the stack
            }
            if (type == DT_REG) {
                if (copy_file_name(name) != 0) {
                    add(ir.other_err_nb);
                    level.ended_by = ERR_MEMORY;
                    level.done = true;
                    continue;
                }
                // The first file reached in a folder is opened here: that
                // open tells whether the folder can be entered.
                std::optional<OpenedFile> first;
                if (!level.entered) {
                    first.emplace();
                    first->fd.reset(open_regular_at(level.fd, name, &first->err, &first->st));
                    if (!first->fd && first->err == EACCES && refuses_entry(level)) continue;
                    level.entered = true;
                }
                OpenedFile* opened = first ? &*first : nullptr;
                if (par_ != nullptr) {
                    // Scanned and counted by the parallel search; only a
                    // failed write of the result ends the walk.
                    if (par_->submit_file(level.fd, std::string_view(br.dir_name, level.dir_len),
                                          name, false, opened) == ERR_WRITE_FILE) {
                        level.ended_by = ERR_WRITE_FILE;
                        level.done = true;
                    }
                    continue;
                }
                WorkFile& w = wf[WF_SEARCHED];
                w.dir_path = br.dir_name;
                w.name = name;
                search_dir_fd_ = level.fd;
                const u64 r = tw_search(nullptr, nullptr, opened);
                output_.count_file(r, skip_errors);
                if (r == ERR_WRITE_FILE) {
                    level.ended_by = r;
                    level.done = true;
                } else if (r != 0 && !skip_errors) {
                    level.done = true;
                }
            }
            // Links, devices, pipes and sockets are ignored.
            continue;
        }

        // The level is over: give dir_name back to the parent's path.
        Level level = std::move(stack[index]);
        release(level);
        search_dir_fd_ = -1;
        u64 result = level.ended_by;
        std::size_t parent_len = npos;
        if (depth > 0) {
            parent_len = cut_dir_name_at(level.dir_len);
            if (parent_len == npos) {
                add(ir.other_err_nb);
                result = ERR_INVALID_NAME;
            }
        }
        if (index == 0) {
            ::close(level.fd);
            return result;
        }
        Level& parent = stack[index - 1];
        if (parent_len != npos) parent.dir_len = parent_len;
        if (parent.fd < 0) {
            // Climb back through ".." (or, for a level whose own folder was
            // lost, by the parent's path), which must be the folder left.
            const int fd = level.fd >= 0
                               ? ::openat(level.fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                               : ::open(br.dir_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            struct stat st{};
            const bool same = fd >= 0 && ::fstat(fd, &st) == 0 && st.st_dev == parent.dev &&
                              st.st_ino == parent.ino;
            if (same) {
                parent.fd = fd;
                ++open_levels;
            } else {
                const int err = fd < 0 ? errno : ESTALE;
                if (fd >= 0) ::close(fd);
                walk_failed(br.dir_name, err);
                add(ir.dir_err_nb);
                result = ERR_ACCESS_DIR;
                // Without its folder the parent cannot be listed further.
                parent.done = true;
            }
            first_open = index - 1;
        }
        if (level.fd >= 0) {
            ::close(level.fd);
            --open_levels;
        }
        stack.pop_back();
        child_result = result;
        have_child = true;
    }
}

}  // namespace tw
