#include "engine/tw_found_list.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <numeric>
#include <unordered_map>

#include "engine/tw.h"
#include "engine/tw_fd.h"
#include "engine/tw_file_util.h"
#include "engine/tw_found_lock.h"
#include "engine/tw_le.h"

namespace tw {

namespace {

constexpr u64 kRecord = sizeof(FoundFileHeader);

// A result file mapped read-only for the time of a load.
class Mapped {
public:
    ~Mapped() {
        if (data_ != nullptr) ::munmap(const_cast<std::uint8_t*>(data_), size_);
        if (fd_ >= 0) ::close(fd_);
    }
    // False with errno when the file cannot be opened, is not a regular
    // file (EINVAL) or cannot be mapped. Without `map` the file is only
    // opened, to be read piece by piece.
    bool open(const std::string& path, bool map = true) {
        // Without blocking: a FIFO in place of a result file must not hang.
        int err = 0;
        fd_ = open_regular_at(AT_FDCWD, path.c_str(), &err, &st_);
        if (fd_ < 0) {
            errno = err;
            return false;
        }
        size_ = static_cast<std::size_t>(st_.st_size);
        if (size_ == 0 || !map) return true;
        void* p = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd_, 0);
        if (p == MAP_FAILED) return false;
        ::madvise(p, size_, MADV_SEQUENTIAL);
        data_ = static_cast<const std::uint8_t*>(p);
        return true;
    }
    const std::uint8_t* data() const { return data_; }
    int fd() const { return fd_; }
    u64 size() const { return size_; }
    const struct stat& status() const { return st_; }

private:
    int fd_ = -1;
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    struct stat st_{};
};

FoundList::Stamp stamp_from(const struct stat& st) {
    FoundList::Stamp s;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtime_ns = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return s;
}

// Checks the name at pos/len of the path file; on success `name` is its
// text up to its NUL.
FoundList::Damage check_name(const Mapped& paths, u64 pos, u64 len, u64 max,
                             std::string_view& name) {
    using Damage = FoundList::Damage;
    const u64 size = paths.size();
    if (len == 0 || pos > size || len > size - pos) return Damage::NameOutside;
    if (len > max) return Damage::NameTooLong;
    const char* p = reinterpret_cast<const char*>(paths.data() + pos);
    if (p[len - 1] != '\0') return Damage::NameUnterminated;
    name = std::string_view(p, ::strnlen(p, static_cast<std::size_t>(len)));
    return Damage::None;
}

char lower_ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

FoundList::Stamp FoundList::stamp_of(const std::string& found_dir) {
    struct stat st{};
    if (::stat((found_dir + "/" + TW_FOUND_HEADER).c_str(), &st) != 0) return {};
    return stamp_from(st);
}

void FoundList::clear() {
    // Swapped out so the memory goes back at once.
    std::vector<Row>().swap(rows_);
    std::vector<Dir>().swap(dirs_);
    std::string().swap(names_);
    damaged_ = 0;
    partial_record_ = false;
    stamp_ = {};
    form_nb_ = 1;
    std::vector<std::uint32_t>().swap(form_counts_);
}

bool FoundList::count_forms(int fd, u64 row, u64 first, u64 nb) {
    std::uint8_t block[4096];
    std::uint32_t* counts = form_counts_.data() + row * form_nb_;
    for (u64 done = 0; done < nb;) {
        const u64 want = std::min<u64>(nb - done, sizeof block);
        int err = 0;
        if (pread_full(fd, block, want, static_cast<off_t>(first + done), &err) != want) return false;
        for (u64 i = 0; i < want; ++i) {
            if (block[i] >= form_nb_) return false;
            ++counts[block[i]];
        }
        done += want;
    }
    return true;
}

u64 FoundList::load(const std::string& found_dir, u64 record_len, std::string* why, u64 form_nb) {
    clear();
    if (record_len != 8 && record_len != 16) record_len = 8;
    auto fail = [&](u64 code, const std::string& text) {
        clear();
        if (why != nullptr) *why = text;
        return code;
    };
    // Shared: searches of this or another program wait until the copy
    // below is made, and no search is halfway through the files now.
    FoundLock lock;
    std::string lock_why;
    const FoundLock::Result taken = lock.try_take(found_dir, false, &lock_why);
    if (taken == FoundLock::Result::Busy)
        return fail(ERR_OPEN_FILE, found_dir + ": another search is writing this result");
    if (taken == FoundLock::Result::Failed) return fail(ERR_OPEN_FILE, lock_why);

    Mapped headers, paths;
    const std::string header_path = found_dir + "/" + TW_FOUND_HEADER;
    const std::string path_path = found_dir + "/" + TW_FOUND_PATH;
    if (!headers.open(header_path, false)) return fail(ERR_OPEN_FILE, describe_failure(header_path, errno));
    if (!paths.open(path_path)) return fail(ERR_OPEN_FILE, describe_failure(path_path, errno));
    // Only the offset file's size is needed, to check the counts.
    u64 offset_size = 0;
    {
        struct stat st{};
        const std::string offset_path = found_dir + "/" + TW_FOUND_OFFSET;
        if (::stat(offset_path.c_str(), &st) != 0)
            return fail(ERR_OPEN_FILE, describe_failure(offset_path, errno));
        if (S_ISREG(st.st_mode)) offset_size = static_cast<u64>(st.st_size);
    }

    const u64 count = headers.size() / kRecord;
    partial_record_ = headers.size() % kRecord != 0;
    if (count > TW_FOUND_LIST_MAX_ROWS)
        return fail(ERR_CORRUPTED, header_path + ": more found files than a list can hold");
    // Each found file wrote at least one occurrence record and two names
    // of at least one byte and a NUL, a folder's possibly empty: a header
    // that counts more is damaged (a sparse file, say), and is refused
    // before anything is read or allocated for it.
    if (count > offset_size / record_len || count > paths.size() / 3)
        return fail(ERR_CORRUPTED, header_path + ": more found files than " + TW_FOUND_PATH +
                                       " and " + TW_FOUND_OFFSET + " can hold");
    stamp_ = stamp_from(headers.status());
    rows_.resize(static_cast<std::size_t>(count));
    // The forms file, when it holds one byte per occurrence record.
    UniqueFd forms_fd;
    if (form_nb > 1 && form_nb <= 256 && count <= TW_FOUND_LIST_MAX_COUNTS / form_nb) {
        const std::string form_path = found_dir + "/" + TW_FOUND_FORM;
        forms_fd = UniqueFd(::open(form_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        struct stat st{};
        if (forms_fd.get() >= 0 && ::fstat(forms_fd.get(), &st) == 0 && S_ISREG(st.st_mode) &&
            static_cast<u64>(st.st_size) == offset_size / record_len) {
            form_nb_ = form_nb;
            form_counts_.assign(static_cast<std::size_t>(count * form_nb), 0);
        } else {
            forms_fd = UniqueFd();
        }
    }

    // Folder names are kept once each: the files of a folder share it.
    std::unordered_map<std::string_view, std::uint32_t> dir_ids;
    std::string_view last_dir;
    std::uint32_t last_id = 0;
    bool have_last = false;
    // The headers are read a block at a time, never held whole.
    constexpr u64 kBlockRecords = 1365;
    std::vector<std::uint8_t> block(kBlockRecords * kRecord);
    for (u64 i = 0; i < count; ++i) {
        if (i % kBlockRecords == 0) {
            const u64 want = std::min(count - i, kBlockRecords) * kRecord;
            int err = 0;
            if (pread_full(headers.fd(), block.data(), want, static_cast<off_t>(i * kRecord), &err) != want)
                return fail(ERR_READ_FILE, describe_failure(header_path, err != 0 ? err : EIO));
        }
        const std::uint8_t* r = block.data() + (i % kBlockRecords) * kRecord;
        const u64 dir_pos = load_le64(r), dir_len = load_le64(r + 8);
        const u64 file_pos = load_le64(r + 16), file_len = load_le64(r + 24);
        const u64 occ_nb = load_le64(r + 32), occ_pos = load_le64(r + 40);
        Row& row = rows_[i];
        std::string_view dir, file;
        Damage d = check_name(paths, dir_pos, dir_len, TW_FOUND_LIST_MAX_DIR, dir);
        if (d == Damage::None) d = check_name(paths, file_pos, file_len, TW_FOUND_LIST_MAX_FILE, file);
        if (d == Damage::None &&
            (occ_nb == 0 || occ_pos > offset_size || occ_nb > (offset_size - occ_pos) / record_len))
            d = Damage::CountOutside;
        row.occ_nb = occ_nb;
        if (d != Damage::None) {
            row.damage = d;
            ++damaged_;
            continue;
        }
        if (!have_last || dir != last_dir) {
            auto [at, added] = dir_ids.try_emplace(dir, static_cast<std::uint32_t>(dirs_.size()));
            if (added) {
                dirs_.push_back({names_.size(), dir.size()});
                names_.append(dir);
            }
            last_dir = dir;
            last_id = at->second;
            have_last = true;
        }
        if (!form_counts_.empty() && !count_forms(forms_fd.get(), i, occ_pos / record_len, occ_nb)) {
            std::vector<std::uint32_t>().swap(form_counts_);
            form_nb_ = 1;
        }
        row.dir = last_id;
        row.file_pos = names_.size();
        row.file_len = static_cast<std::uint16_t>(file.size());
        names_.append(file);
    }
    return 0;
}

void FoundList::append(std::string_view dir, std::string_view file, u64 occ_nb) {
    Row row;
    row.occ_nb = occ_nb;
    if (dir.size() >= TW_FOUND_LIST_MAX_DIR || file.size() >= TW_FOUND_LIST_MAX_FILE) {
        row.damage = Damage::NameTooLong;
        ++damaged_;
        rows_.push_back(row);
        return;
    }
    // The files of a folder come one after the other: they share its name.
    if (dirs_.empty() || std::string_view(names_).substr(dirs_.back().pos, dirs_.back().len) != dir) {
        dirs_.push_back({names_.size(), dir.size()});
        names_.append(dir);
    }
    row.dir = static_cast<std::uint32_t>(dirs_.size() - 1);
    row.file_pos = names_.size();
    row.file_len = static_cast<std::uint16_t>(file.size());
    names_.append(file);
    rows_.push_back(row);
}

std::string_view FoundList::dir(u64 row) const {
    const Row& r = rows_[row];
    if (r.damage != Damage::None) return {};
    const Dir& d = dirs_[r.dir];
    return std::string_view(names_).substr(d.pos, d.len);
}

std::string_view FoundList::file(u64 row) const {
    const Row& r = rows_[row];
    if (r.damage != Damage::None) return {};
    return std::string_view(names_).substr(r.file_pos, r.file_len);
}

std::string FoundList::path(u64 row) const {
    if (rows_[row].damage != Damage::None) return {};
    std::string p(dir(row));
    p += '/';
    p += file(row);
    return p;
}

std::vector<std::uint32_t> FoundList::order(Key key, bool descending) const {
    std::vector<std::uint32_t> rows(rows_.size());
    std::iota(rows.begin(), rows.end(), 0u);
    if (key == Key::Found) {
        if (descending) std::reverse(rows.begin(), rows.end());
        return rows;
    }
    if (key == Key::Count) {
        std::stable_sort(rows.begin(), rows.end(), [&](std::uint32_t a, std::uint32_t b) {
            const u64 x = rows_[a].occ_nb, y = rows_[b].occ_nb;
            return descending ? x > y : x < y;
        });
        return rows;
    }
    // Path: the folders are ranked once, then the rows by folder rank and
    // file name. Damaged rows come before every path.
    std::vector<std::uint32_t> by_name(dirs_.size());
    std::iota(by_name.begin(), by_name.end(), 0u);
    const std::string_view names(names_);
    std::sort(by_name.begin(), by_name.end(), [&](std::uint32_t a, std::uint32_t b) {
        return names.substr(dirs_[a].pos, dirs_[a].len) < names.substr(dirs_[b].pos, dirs_[b].len);
    });
    std::vector<std::uint32_t> rank(dirs_.size());
    for (std::uint32_t i = 0; i < by_name.size(); ++i) rank[by_name[i]] = i + 1;
    auto key_of = [&](std::uint32_t r) {
        return rows_[r].damage != Damage::None ? 0u : rank[rows_[r].dir];
    };
    std::stable_sort(rows.begin(), rows.end(), [&](std::uint32_t a, std::uint32_t b) {
        const std::uint32_t ra = key_of(a), rb = key_of(b);
        if (ra != rb) return descending ? ra > rb : ra < rb;
        const std::string_view fa = file(a), fb = file(b);
        return descending ? fa > fb : fa < fb;
    });
    return rows;
}

std::vector<std::uint32_t> FoundList::order_by(const std::vector<std::int64_t>& values,
                                               bool descending) {
    std::vector<std::uint32_t> rows(values.size());
    std::iota(rows.begin(), rows.end(), 0u);
    std::stable_sort(rows.begin(), rows.end(), [&](std::uint32_t a, std::uint32_t b) {
        return descending ? values[a] > values[b] : values[a] < values[b];
    });
    return rows;
}

std::vector<std::uint32_t> FoundList::filter(const std::vector<std::uint32_t>& order,
                                             std::string_view needle) const {
    if (needle.empty()) return order;
    std::string wanted(needle);
    for (char& c : wanted) c = lower_ascii(c);
    const auto hash = [](char c) { return std::hash<char>()(lower_ascii(c)); };
    const std::boyer_moore_horspool_searcher searcher(wanted.begin(), wanted.end(), hash,
                                                      [](char a, char b) {
                                                          return lower_ascii(a) == lower_ascii(b);
                                                      });
    std::vector<std::uint32_t> kept;
    std::string joined;
    for (const std::uint32_t r : order) {
        if (rows_[r].damage != Damage::None) continue;
        const std::string_view d = dir(r), f = file(r);
        joined.assign(d);
        joined += '/';
        joined.append(f);
        if (std::search(joined.begin(), joined.end(), searcher) != joined.end()) kept.push_back(r);
    }
    return kept;
}

}  // namespace tw
