// Engine state: buffers, names, error texts, start-up and shut-down.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "engine/tw.h"
#include "engine/tw_file_util.h"
#include "engine/tw_limits.h"

namespace tw {

const char* const why_err_str[TW_ERR_TEXT_NB] = {
    "???",
    "cannot open file:",
    "cannot read file:",
    "cannot write file: ",
    "cannot close file: ",
    "access denied or invalid directory: ",
    "cannot open directory:",
    "cannot delete file",
    "not enough memory",
    "file data corrupted",
    "invalid name error",
    "missing file",
    "bad index",
    "invalid digit",
    "file -> access denied",
    "undefined error",
};

Allocator Allocator::system() {
    return Allocator{&std::malloc, &std::realloc, &std::free};
}

namespace {

// Copies text into a fixed 256-byte field, cut to 255 characters.
void copy_clamped(char (&field)[256], const char* text) {
    std::size_t n = std::strlen(text);
    if (n > sizeof field - 1) n = sizeof field - 1;
    std::memcpy(field, text, n);
    field[n] = '\0';
}

u64 align16(u64 address) { return (address + 15) & BITS_CLR_0_3; }

// Buffer sizes from a damaged or hand-edited preference file outside the
// accepted ranges fall back to their defaults before anything is allocated.
void repair_buffer_sizes(PreferenceRecord& p) {
    p.str_mem_size = bounded(TW_STR_MEM_LIMITS, p.str_mem_size);
    p.text_mem_size = bounded(TW_TEXT_MEM_LIMITS, p.text_mem_size);
    p.occ_mem_size = bounded(TW_OCC_MEM_LIMITS, p.occ_mem_size);
}

}  // namespace

Engine::Engine(Allocator allocator) : alloc_(allocator) { reset_defaults(); }

Engine::~Engine() {
    stop_and_join_search();
    finalize_tw_buffer();
    clear_target_buffer(tr);
    clear_target_buffer(tr_temp);
}

void Engine::reset_defaults() {
    pr = PreferenceRecord{};
    pr.saved_target_index = -1;
    pr.str_mem_size = TW_DEFAULT_STR_MEM_SIZE;
    pr.text_mem_size = TW_DEFAULT_TEXT_MEM_SIZE;
    pr.occ_mem_size = TW_DEFAULT_OCC_MEM_SIZE;
    pr.show_info_every = TW_MIN_SHOW_INFO_EVERY;
    pr.user_defined_encoding = 0;
    pr.reserved = 0;
    cur_target_index = -1;
    need_stop_searching.store(0);
}

std::string Engine::resource_path(const char* sub) const {
    return resource_dir_pathname_ptr + "/" + sub;
}

std::string Engine::resource_path(const char* sub, const char* name) const {
    return resource_dir_pathname_ptr + "/" + sub + "/" + name;
}

void Engine::record_failure(const std::string& path) {
    std::lock_guard lock(failure_mutex_);
    failure_detail_ = path;
}

std::string Engine::failure_detail() const {
    std::lock_guard lock(failure_mutex_);
    return failure_detail_;
}

void Engine::record_failure(const std::string& path, int err) {
    std::string detail = describe_failure(path, err);
    std::lock_guard lock(failure_mutex_);
    failure_detail_ = std::move(detail);
}

void Engine::item_failed(const std::string& path, int err) {
    // The output records it and applies the stop rule (see search_in_target).
    output_.item_failed(path, err);
}

std::string Engine::error_text(u64 code) const {
    std::string text = why_err_str[code >= ERR_UNDEFINED ? ERR_UNDEFINED : code];
    if (const std::string detail = failure_detail(); !detail.empty()) {
        if (text.back() != ' ') text += ' ';
        text += detail;
    }
    return text;
}

u64 Engine::allocate_search_buffer(std::uint8_t*& raw, u64& raw_size, u64 size, u64& start,
                                   u64& usable) {
    auto* block = static_cast<std::uint8_t*>(alloc_.allocate(size));
    if (block == nullptr) return ERR_MEMORY;
    raw = block;
    raw_size = size;
    const u64 base = reinterpret_cast<u64>(block);
    const u64 aligned = align16(base);
    const u64 skipped = aligned - base;
    start = aligned;
    usable = size > skipped ? (size - skipped) & BITS_CLR_0_3 : 0;
    return 0;
}

u64 Engine::initialize_tw_buffer() {
    finalize_tw_buffer();
    if (allocate_search_buffer(br.str_buf, br.str_buf_size, pr.str_mem_size, sr.STR_START,
                               sr.STR_BUF_SIZE) != 0)
        return ERR_MEMORY;
    sr.STR_END = 0;
    if (allocate_search_buffer(br.text_buf, br.text_buf_size, pr.text_mem_size, sr.TEXT_START,
                               sr.TEXT_BUF_SIZE) != 0)
        return ERR_MEMORY;
    sr.TEXT_PTR = sr.TEXT_START;
    sr.TEXT_END = 0;
    if (allocate_search_buffer(br.occ_buf, br.occ_buf_size, pr.occ_mem_size, sr.OCC_START,
                               sr.OCC_BUF_SIZE) != 0)
        return ERR_MEMORY;
    sr.OCC_PTR = sr.OCC_START;
    sr.OCC_END = sr.OCC_START + sr.OCC_BUF_SIZE;

    struct Text {
        char*& buffer;
        u64& size;
        u64 capacity;
    };
    Text texts[] = {{br.file_name, br.file_name_size, 256},
                    {br.dir_name, br.dir_name_size, 1000},
                    {br.target_list, br.target_list_size, 1000},
                    {br.launcher_list, br.launcher_list_size, 1000}};
    for (Text& t : texts) {
        t.buffer = static_cast<char*>(alloc_.allocate(t.capacity));
        if (t.buffer == nullptr) return ERR_MEMORY;
        t.buffer[0] = '\0';
        t.size = t.capacity;
    }
    br.target_list_len = 0;
    br.launcher_list_len = 0;
    return 0;
}

void Engine::finalize_tw_buffer() {
    std::uint8_t** raws[] = {&br.str_buf, &br.text_buf, &br.occ_buf};
    for (std::uint8_t** raw : raws) {
        alloc_.release(*raw);
        *raw = nullptr;
    }
    char** texts[] = {&br.file_name, &br.dir_name, &br.target_list, &br.launcher_list};
    for (char** text : texts) {
        alloc_.release(*text);
        *text = nullptr;
    }
    br.str_buf_size = br.text_buf_size = br.occ_buf_size = 0;
    br.file_name_size = br.dir_name_size = 0;
    br.target_list_size = br.target_list_len = 0;
    br.launcher_list_size = br.launcher_list_len = 0;
    sr.STR_START = sr.STR_END = sr.STR_BUF_SIZE = 0;
    sr.TEXT_START = sr.TEXT_END = sr.TEXT_BUF_SIZE = 0;
    sr.OCC_START = sr.OCC_END = sr.OCC_BUF_SIZE = 0;
}

u64 Engine::set_str_buf(u64 size) {
    if (sr.STR_BUF_SIZE >= size) return 0;
    if (size > SIZE_MAX - 32) return ERR_MEMORY;
    std::uint8_t* raw = nullptr;
    u64 raw_size = 0, start = 0, usable = 0;
    // The old buffer is released only once the new one exists, so a failure
    // leaves a buffer that still matches STR_START and STR_BUF_SIZE.
    if (allocate_search_buffer(raw, raw_size, size + 32, start, usable) != 0) return ERR_MEMORY;
    alloc_.release(br.str_buf);
    br.str_buf = raw;
    br.str_buf_size = raw_size;
    sr.STR_START = start;
    sr.STR_BUF_SIZE = usable;
    sr.STR_END = 0;
    return 0;
}

u64 Engine::grow_buffer(char*& buffer, u64& capacity, u64 needed) {
    if (needed <= capacity) return 0;
    auto* grown = static_cast<char*>(alloc_.reallocate(buffer, needed));
    if (grown == nullptr) return ERR_MEMORY;
    buffer = grown;
    capacity = needed;
    return 0;
}

u64 Engine::copy_file_name(const char* name) {
    const std::size_t n = std::strlen(name);
    std::lock_guard lock(names_mutex_);
    if (grow_buffer(br.file_name, br.file_name_size, n + 1) != 0) return ERR_MEMORY;
    std::memcpy(br.file_name, name, n + 1);
    return 0;
}

void Engine::set_dir_name_locked(const char* path, std::size_t length) {
    std::memmove(br.dir_name, path, length);
    br.dir_name[length] = '\0';
}

u64 Engine::copy_dir_name(const char* path) {
    const std::size_t n = std::strlen(path);
    std::lock_guard lock(names_mutex_);
    if (grow_buffer(br.dir_name, br.dir_name_size, n + 1) != 0) return ERR_MEMORY;
    set_dir_name_locked(path, n);
    return 0;
}

u64 Engine::append_to_dir_name(const char* name) {
    std::lock_guard lock(names_mutex_);
    const std::size_t have = std::strlen(br.dir_name);
    const std::size_t add = std::strlen(name);
    if (grow_buffer(br.dir_name, br.dir_name_size, have + add + 2) != 0) return ERR_MEMORY;
    // A folder that already ends with "/" (the root folder, or an item typed
    // with a final slash) takes no second one.
    const std::size_t at = have > 0 && br.dir_name[have - 1] == '/' ? have : have + 1;
    br.dir_name[at - 1] = '/';
    std::memcpy(br.dir_name + at, name, add + 1);
    return 0;
}

u64 Engine::open_file_with_dir_path(int slot, const char* mode) {
    WorkFile& w = wf[slot];
    std::string path;
    try {
        path = std::string(w.dir_path) + "/" + w.name;
    } catch (const std::bad_alloc&) {
        return ERR_MEMORY;
    }
    w.stream = std::fopen(path.c_str(), mode);
    if (w.stream == nullptr) {
        record_failure(path, errno);
        return ERR_OPEN_FILE;
    }
    return 0;
}

const char* Engine::build_str_err(u64 code) {
    copy_clamped(err_str, why_err_str[code >= ERR_UNDEFINED ? ERR_UNDEFINED : code]);
    return err_str;
}

const char* Engine::build_fatal_str_err() {
    if (fatal_err_index > ERR_UNDEFINED) fatal_err_index = ERR_UNDEFINED;
    std::string text = why_err_str[fatal_err_index];
    const std::string detail = failure_detail();
    if (((fatal_err_index >= ERR_OPEN_FILE && fatal_err_index <= ERR_OPEN_DIR) ||
         fatal_err_index == ERR_CORRUPTED) &&
        !detail.empty()) {
        if (text.back() != ' ') text += ' ';
        text += detail;
    }
    copy_clamped(fatal_err_str, text.c_str());
    return fatal_err_str;
}

u64 Engine::initialize_and_load_tw_parameter() {
    reset_defaults();
    sir = ShowInfoRecord{};
    clear_target_buffer(tr);
    init_target(tr);
    err_str[sizeof err_str - 1] = '\0';
    fatal_err_str[sizeof fatal_err_str - 1] = '\0';
    load_pref_file();
    repair_buffer_sizes(pr);
    if (pr.show_info_every < TW_SHOW_INFO_EVERY_LIMITS.min)
        pr.show_info_every = TW_SHOW_INFO_EVERY_LIMITS.min;
    else if (pr.show_info_every > TW_SHOW_INFO_EVERY_LIMITS.max)
        pr.show_info_every = TW_SHOW_INFO_EVERY_LIMITS.max;
    sur.file_name_shown[TW_SHOWN_NAME_SIZE - 1] = '\0';
    sur.dir_name_shown[TW_SHOWN_NAME_SIZE - 1] = '\0';
    sur.occ_index = 0;
    sur.file_index = 0;
    if (initialize_tw_buffer() != 0) {
        // Sizes that pass the checks above may still be more than this
        // machine can give: start with the defaults rather than not at all.
        pr.str_mem_size = TW_DEFAULT_STR_MEM_SIZE;
        pr.text_mem_size = TW_DEFAULT_TEXT_MEM_SIZE;
        pr.occ_mem_size = TW_DEFAULT_OCC_MEM_SIZE;
        if (const u64 code = initialize_tw_buffer(); code != 0) return code;
    }
    load_launcher_file();
    cur_target_index = pr.saved_target_index;
    settings_in_use_as_read();
    return 0;
}

void Engine::finalize_and_save_tw_parameter() {
    stop_and_join_search();
    pr.saved_target_index = cur_target_index;
    save_pref_file();
    save_launcher_file();
    finalize_tw_buffer();
    clear_target_buffer(tr);
}

}  // namespace tw
