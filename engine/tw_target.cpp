// The target store: target files, the target list, deletion and renumbering.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/tw.h"
#include "engine/tw_file_util.h"
#include "engine/tw_le.h"

namespace tw {

namespace {

constexpr u64 kHeaderSize = 96;  // fields 1 to 9, item_nb, name size, search_str_len
constexpr u64 kItemSize = sizeof(ItemRecord);

// Closes a stream held by a work-file slot; false when the close failed.
bool close_slot(WorkFile& w) {
    if (w.stream == nullptr) return true;
    const bool ok = std::fclose(w.stream) == 0;
    w.stream = nullptr;
    return ok;
}

// Takes the size of an open target file and reads its fixed header.
u64 read_target_header(std::FILE* stream, u64* size, std::uint8_t (&header)[kHeaderSize]) {
    struct stat st{};
    if (::fstat(::fileno(stream), &st) != 0) return ERR_READ_FILE;
    *size = static_cast<u64>(st.st_size);
    if (*size < kHeaderSize || !read_all(stream, header, kHeaderSize)) return ERR_READ_FILE;
    return 0;
}

// Opens a target file into its work-file slot and reads its fixed header;
// on failure the slot is closed again.
u64 open_target_header(const std::string& path, WorkFile& w, u64* size,
                       std::uint8_t (&header)[kHeaderSize]) {
    // Without blocking: a FIFO in place of a target file is refused.
    w.stream = open_regular_stream(path, nullptr);
    if (w.stream == nullptr) return ERR_OPEN_FILE;
    if (const u64 code = read_target_header(w.stream, size, header); code != 0) {
        close_slot(w);
        return code;
    }
    return 0;
}

}  // namespace

std::string numbered_file_name(const char* prefix, u64 number) {
    char name[48];
    std::snprintf(name, sizeof name, "%s%.3llu", prefix, static_cast<unsigned long long>(number));
    return name;
}

std::string target_file_name(u64 number) { return numbered_file_name(TW_TARGET_PREFIX, number); }

u64 target_posfix_index_from_filename(const char* file_name, u64* number) {
    const std::size_t prefix = std::strlen(TW_TARGET_PREFIX);
    if (std::strncmp(file_name, TW_TARGET_PREFIX, prefix) != 0) return ERR_BAD_INDEX;
    const char* digits = file_name + prefix;
    const std::size_t n = std::strlen(digits);
    if (n < 1 || n > 9) return ERR_BAD_INDEX;
    u64 value = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (digits[i] < '0' || digits[i] > '9') return ERR_BAD_INDEX;
        value = value * 10 + static_cast<u64>(digits[i] - '0');
    }
    *number = value;
    return 0;
}

u64 get_type(const char* path) {
    struct stat st{};
    if (::stat(path, &st) != 0) return TW_TYPE_OTHER;
    if (S_ISDIR(st.st_mode)) return TW_TYPE_FOLDER;
    if (S_ISREG(st.st_mode)) return TW_TYPE_FILE;
    return TW_TYPE_OTHER;
}

void Engine::init_target(TargetRecord& t) {
    t.eol_char = 10;
    t.wildcard_char = 63;
    t.use_wildcard = 1;
    t.add_line_nb = 1;
    t.case_insensitive = 1;
    t.skip_error = 1;
    t.not_inside = 1;
    t.is_hexa = 0;
    t.encoding = 1;
    t.search_str_len = 0;
    t.search_str = nullptr;
    t.item_nb = 0;
    t.items = nullptr;
    t.target_name = nullptr;
    t.path_pool = nullptr;
    t.forms.clear();
}

void Engine::clear_target_buffer(TargetRecord& t) {
    alloc_.release(t.items);
    alloc_.release(t.target_name);
    alloc_.release(t.path_pool);
    alloc_.release(t.search_str);
    t.items = nullptr;
    t.target_name = nullptr;
    t.path_pool = nullptr;
    t.search_str = nullptr;
    t.search_str_len = 0;
    t.item_nb = 0;
    t.forms.clear();
}

// Reads a target file. Every count, size and offset is checked against the
// others and against the file's size before anything is allocated, so a
// corrupt file gives 9 and never an absurd allocation.
u64 Engine::load_target_file(u64 number, TargetRecord& t) {
    const std::string dir = resource_path(TW_TARGET_DIR);
    if (!is_directory(dir)) {
        record_failure(dir);
        return ERR_ACCESS_DIR;
    }
    const std::string name = target_file_name(number);
    const std::string path = dir + "/" + name;
    WorkFile& w = wf[WF_TARGET];
    w.dir_path = nullptr;
    w.name = nullptr;
    u64 size = 0;
    std::uint8_t header[kHeaderSize];
    if (const u64 code = open_target_header(path, w, &size, header); code != 0) {
        record_failure(path);
        return code;
    }
    auto finish = [&](u64 code) {
        if (!close_slot(w) && code == 0) code = ERR_CLOSE_FILE;
        if (code != 0) record_failure(path);
        return code;
    };
    u64* fields[] = {&t.eol_char,         &t.wildcard_char, &t.use_wildcard,
                     &t.add_line_nb,      &t.case_insensitive, &t.skip_error,
                     &t.not_inside,       &t.is_hexa,       &t.encoding};
    for (int i = 0; i < 9; ++i) *fields[i] = load_le64(header + 8 * i);
    const u64 item_nb = load_le64(header + 72);
    const u64 name_size = load_le64(header + 80);
    const u64 str_len = load_le64(header + 88);

    u64 remaining = size - kHeaderSize;
    if (item_nb > remaining / kItemSize) return finish(ERR_CORRUPTED);
    remaining -= item_nb * kItemSize;
    if (name_size < 1 || name_size > remaining) return finish(ERR_CORRUPTED);
    remaining -= name_size;
    if (str_len > remaining) return finish(ERR_CORRUPTED);
    remaining -= str_len;

    if (item_nb > 0) {
        t.items = static_cast<ItemRecord*>(alloc_.allocate(item_nb * kItemSize));
        if (t.items == nullptr) return finish(ERR_MEMORY);
    }
    u64 pool_size = 0;
    for (u64 i = 0; i < item_nb; ++i) {
        std::uint8_t raw[kItemSize];
        if (!read_all(w.stream, raw, kItemSize)) return finish(ERR_READ_FILE);
        ItemRecord& item = t.items[i];
        item.item_type = load_le64(raw);
        item.path_size = load_le64(raw + 8);
        item.path_offset = load_le64(raw + 16);
        t.item_nb = i + 1;
        // The paths lie in the pool in item order without gaps.
        if (item.path_size < 1 || item.path_offset != pool_size ||
            item.path_size > remaining - pool_size)
            return finish(ERR_CORRUPTED);
        pool_size += item.path_size;
    }

    t.target_name = static_cast<char*>(alloc_.allocate(name_size));
    if (t.target_name == nullptr) return finish(ERR_MEMORY);
    if (!read_all(w.stream, t.target_name, name_size)) return finish(ERR_READ_FILE);
    if (t.target_name[name_size - 1] != '\0') return finish(ERR_CORRUPTED);

    t.search_str = static_cast<std::uint8_t*>(alloc_.allocate(str_len + 1));
    if (t.search_str == nullptr) return finish(ERR_MEMORY);
    t.search_str[str_len] = 0;
    if (!read_all(w.stream, t.search_str, str_len)) return finish(ERR_READ_FILE);
    t.search_str_len = str_len;

    if (pool_size > 0) {
        t.path_pool = static_cast<char*>(alloc_.allocate(pool_size));
        if (t.path_pool == nullptr) return finish(ERR_MEMORY);
        if (!read_all(w.stream, t.path_pool, pool_size)) return finish(ERR_READ_FILE);
        for (u64 i = 0; i < t.item_nb; ++i) {
            const ItemRecord& item = t.items[i];
            if (t.path_pool[item.path_offset + item.path_size - 1] != '\0')
                return finish(ERR_CORRUPTED);
        }
    }
    const u64 code = finish(0);
    if (code == 0) load_target_forms(dir, number, t);
    return code;
}

u64 Engine::save_target_file(u64 number, const TargetRecord& t, bool replace) {
    const std::string dir = resource_path(TW_TARGET_DIR);
    if (!is_directory(dir)) {
        record_failure(dir);
        return ERR_ACCESS_DIR;
    }
    const std::string path = dir + "/" + target_file_name(number);
    AtomicFileWriter out(path);
    if (out.open() != 0) {
        record_failure(out.failure());
        return ERR_OPEN_FILE;
    }
    std::FILE* f = out.stream();
    const char* name = t.target_name != nullptr ? t.target_name : "";
    const u64 name_size = std::strlen(name) + 1;

    std::uint8_t header[kHeaderSize];
    const u64 fields[] = {t.eol_char,   t.wildcard_char, t.use_wildcard,
                          t.add_line_nb, t.case_insensitive, t.skip_error,
                          t.not_inside, t.is_hexa,       t.encoding,
                          t.item_nb,    name_size,       t.search_str_len};
    for (int i = 0; i < 12; ++i) store_le64(header + 8 * i, fields[i]);
    bool ok = write_all(f, header, kHeaderSize);
    u64 pool_size = 0;
    for (u64 i = 0; ok && i < t.item_nb; ++i) {
        std::uint8_t raw[kItemSize];
        store_le64(raw, t.items[i].item_type);
        store_le64(raw + 8, t.items[i].path_size);
        store_le64(raw + 16, t.items[i].path_offset);
        ok = write_all(f, raw, kItemSize);
        pool_size += t.items[i].path_size;
    }
    ok = ok && write_all(f, name, name_size);
    ok = ok && write_all(f, t.search_str, t.search_str_len);
    ok = ok && write_all(f, t.path_pool, pool_size);
    const u64 code = ok ? out.commit(replace) : out.write_failed();
    if (code != 0) {
        record_failure(out.failure());
        return code;
    }
    // The forms after the first go beside it; a target of one form has
    // none, and a forms file left from an earlier save goes.
    return save_target_forms(dir, number, t);
}

u64 Engine::make_target_current(u64 number) {
    clear_target_buffer(tr);
    const u64 code = load_target_file(number, tr);
    if (code != 0) {
        cur_target_index = -1;
        return code;
    }
    cur_target_index = static_cast<i64>(number);
    set_show_info(0);
    return 0;
}

u64 Engine::set_target_search_str(TargetRecord& t, const std::uint8_t* bytes, u64 length) {
    if (length >= SIZE_MAX) return ERR_MEMORY;
    auto* fresh = static_cast<std::uint8_t*>(alloc_.allocate(static_cast<std::size_t>(length) + 1));
    if (fresh == nullptr) return ERR_MEMORY;
    if (length != 0) std::memcpy(fresh, bytes, static_cast<std::size_t>(length));
    fresh[length] = 0;
    alloc_.release(t.search_str);
    t.search_str = fresh;
    t.search_str_len = length;
    return 0;
}

u64 Engine::build_target_list() {
    const std::string dir = resource_path(TW_TARGET_DIR);
    if (!is_directory(dir)) {
        record_failure(dir);
        return ERR_ACCESS_DIR;
    }
    br.target_list_len = 0;
    damaged_targets.clear();
    for (u64 k = 0;; ++k) {
        const std::string name = target_file_name(k);
        struct stat st{};
        if (::stat((dir + "/" + name).c_str(), &st) != 0) return 0;
        if (!S_ISREG(st.st_mode)) continue;
        const u64 code = put_target_name_into_target_list(name.c_str());
        if (code == ERR_MEMORY) return code;
        if (code != 0) {
            // A damaged file is named and listed under a placeholder, so the
            // positions of the list keep matching the file numbers.
            damaged_targets.push_back(resource_path(TW_TARGET_DIR, name.c_str()));
            if (append_to_target_list((name + " (damaged)").c_str()) != 0) return ERR_MEMORY;
        }
    }
}

u64 Engine::put_target_name_into_target_list(const char* file_name) {
    const std::string path = resource_path(TW_TARGET_DIR, file_name);
    WorkFile& w = wf[WF_TARGET];
    u64 size = 0;
    std::uint8_t header[kHeaderSize];
    if (const u64 code = open_target_header(path, w, &size, header); code != 0) {
        record_failure(path);
        return code;
    }
    char* name = nullptr;
    auto finish = [&](u64 code) {
        alloc_.release(name);
        if (!close_slot(w) && code == 0) code = ERR_CLOSE_FILE;
        if (code != 0) record_failure(path);
        return code;
    };
    const u64 item_nb = load_le64(header + 72);
    const u64 name_size = load_le64(header + 80);
    const u64 remaining = size - kHeaderSize;
    if (item_nb > remaining / kItemSize || name_size < 1 ||
        name_size > remaining - item_nb * kItemSize)
        return finish(ERR_CORRUPTED);
    name = static_cast<char*>(alloc_.allocate(name_size));
    if (name == nullptr) return finish(ERR_MEMORY);
    if (std::fseek(w.stream, static_cast<long>(kHeaderSize + item_nb * kItemSize), SEEK_SET) != 0 ||
        !read_all(w.stream, name, name_size))
        return finish(ERR_READ_FILE);
    if (name[name_size - 1] != '\0') return finish(ERR_CORRUPTED);
    return finish(append_to_target_list(name));
}

u64 Engine::append_to_target_list(const char* name) {
    const u64 n = std::strlen(name) + 1;
    if (grow_buffer(br.target_list, br.target_list_size, br.target_list_len + n) != 0)
        return ERR_MEMORY;
    std::memcpy(br.target_list + br.target_list_len, name, n);
    br.target_list_len += n;
    return 0;
}

u64 Engine::nb_of_target_from_target_list() const {
    if (br.target_list == nullptr) return 0;
    return static_cast<u64>(std::count(br.target_list, br.target_list + br.target_list_len, '\0'));
}

u64 Engine::delete_target_file(u64 number) {
    const std::string dir = resource_path(TW_TARGET_DIR);
    if (!is_directory(dir)) {
        record_failure(dir);
        return ERR_ACCESS_DIR;
    }
    const std::string path = dir + "/" + target_file_name(number);
    if (::unlink(path.c_str()) != 0) {
        record_failure(path);
        return ERR_DELETE_FILE;
    }
    const std::string forms = dir + "/" + target_forms_file_name(number);
    if (::unlink(forms.c_str()) != 0 && errno != ENOENT) {
        record_failure(forms, errno);
        return ERR_DELETE_FILE;
    }
    return 0;
}

namespace {

// Renames within one folder without ever replacing an existing file.
bool rename_no_replace(int dir_fd, const char* from, const char* to) {
    if (::renameat2(dir_fd, from, dir_fd, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without the no-replace flag: test, then rename.
    struct stat st{};
    if (::fstatat(dir_fd, to, &st, AT_SYMLINK_NOFOLLOW) == 0) return false;
    return ::renameat(dir_fd, from, dir_fd, to) == 0;
}

}  // namespace

u64 Engine::decrease_target_files_postfix_index_from(u64 number) {
    if (!is_directory(resource_dir_pathname_ptr)) {
        record_failure(resource_dir_pathname_ptr);
        return ERR_ACCESS_DIR;
    }
    const std::string dir = resource_path(TW_TARGET_DIR);
    DIR* listing = ::opendir(dir.c_str());
    if (listing == nullptr) {
        record_failure(dir);
        return ERR_OPEN_DIR;
    }
    const int dir_fd = ::dirfd(listing);
    std::vector<u64> numbers;
    while (const dirent* entry = ::readdir(listing)) {
        u64 k = 0;
        if (target_posfix_index_from_filename(entry->d_name, &k) != 0 || k < number) continue;
        struct stat st{};
        if (::fstatat(dir_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        numbers.push_back(k);
    }
    std::sort(numbers.begin(), numbers.end());
    u64 code = 0;
    for (const u64 k : numbers) {
        // A file that would take number -1, or a rename onto an existing
        // file, means the numbering is not what it should be: stop rather
        // than lose a target.
        const std::string from = target_file_name(k);
        if (k == 0 || !rename_no_replace(dir_fd, from.c_str(), target_file_name(k - 1).c_str())) {
            record_failure(dir + "/" + from);
            code = ERR_ACCESS_DENIED;
            break;
        }
        // Its forms file follows it. A forms file already under the new
        // number is one whose target went (the one deleted, or a target
        // moved down without one): it belongs to no target now.
        const std::string forms = target_forms_file_name(k);
        const std::string forms_to = target_forms_file_name(k - 1);
        if (::unlinkat(dir_fd, forms_to.c_str(), 0) != 0 && errno != ENOENT) {
            record_failure(dir + "/" + forms_to, errno);
            code = ERR_ACCESS_DENIED;
            break;
        }
        struct stat st{};
        if (::fstatat(dir_fd, forms.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            !rename_no_replace(dir_fd, forms.c_str(), forms_to.c_str())) {
            record_failure(dir + "/" + forms);
            code = ERR_ACCESS_DENIED;
            break;
        }
    }
    ::closedir(listing);
    return code;
}

}  // namespace tw
