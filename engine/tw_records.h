// The engine's records. Their fields keep the order and widths of the
// on-disk layouts (64-bit little-endian words, show options single bytes).
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tw {

using u64 = std::uint64_t;
using i64 = std::int64_t;

// Error codes: 0 is success, 1 to 15 index why_err_str.
inline constexpr u64 ERR_OPEN_FILE = 1;
inline constexpr u64 ERR_READ_FILE = 2;
inline constexpr u64 ERR_WRITE_FILE = 3;
inline constexpr u64 ERR_CLOSE_FILE = 4;
inline constexpr u64 ERR_ACCESS_DIR = 5;
inline constexpr u64 ERR_OPEN_DIR = 6;
inline constexpr u64 ERR_DELETE_FILE = 7;
inline constexpr u64 ERR_MEMORY = 8;
inline constexpr u64 ERR_CORRUPTED = 9;
inline constexpr u64 ERR_INVALID_NAME = 10;
inline constexpr u64 ERR_MISSING_FILE = 11;
inline constexpr u64 ERR_BAD_INDEX = 12;
inline constexpr u64 ERR_INVALID_DIGIT = 13;
inline constexpr u64 ERR_ACCESS_DENIED = 14;
inline constexpr u64 ERR_UNDEFINED = 15;


inline constexpr int TW_ERR_TEXT_NB = 16;
extern const char* const why_err_str[TW_ERR_TEXT_NB];

// One item of a target: a folder (item_type non-zero) or a file (0).
struct ItemRecord {
    u64 item_type;
    u64 path_size;    // bytes of the path including its NUL
    u64 path_offset;  // offset of the path in path_pool
};
static_assert(sizeof(ItemRecord) == 24);

inline constexpr u64 TW_ITEM_FOLDER = ~u64{0};
inline constexpr u64 TW_ITEM_FILE = 0;

// A target: the saved search. Buffers are owned through the engine's allocator.
// A form of a target after its first (its search string): what the user
// typed and the bytes it gives. The wildcard and the case option are the
// target's. Stored beside the target file (engine/tw_target_forms.cpp).
struct TargetForm {
    bool hexadecimal = false;
    // UTF-16 with its two bytes swapped (big-endian); `encoding` is then
    // the little-endian UTF-16 number.
    bool big_endian = false;
    std::uint32_t encoding = 4;
    std::string text;   // as typed, UTF-8 (hexadecimal digits for a hexadecimal form)
    std::string bytes;  // the bytes searched, never empty
    // The target's own search text in another encoding (built again from
    // it when it changes), rather than a search string of its own.
    bool search_text = false;
};

struct TargetRecord {
    u64 eol_char;
    u64 wildcard_char;
    u64 use_wildcard;
    u64 add_line_nb;
    u64 case_insensitive;
    u64 skip_error;
    u64 not_inside;
    u64 is_hexa;
    u64 encoding;
    u64 search_str_len;
    std::uint8_t* search_str;  // search_str_len bytes and one NUL
    u64 item_nb;
    ItemRecord* items;
    char* target_name;  // UTF-8, NUL-terminated
    char* path_pool;    // the item paths, each NUL-terminated, back to back
    u64 item_index;     // run-time only
    // The forms searched with the search string in the same pass; none for
    // a target of one form. At most kMaxTargetForms.
    std::vector<TargetForm> forms;
};

// The buffers of the engine. Name and list buffers grow, never shrink.
struct BufferRecord {
    std::uint8_t* str_buf;
    u64 str_buf_size;
    std::uint8_t* text_buf;
    u64 text_buf_size;
    std::uint8_t* occ_buf;
    u64 occ_buf_size;
    char* file_name;
    u64 file_name_size;
    char* dir_name;
    u64 dir_name_size;
    char* target_list;
    u64 target_list_size;
    u64 target_list_len;
    char* launcher_list;
    u64 launcher_list_size;
    u64 launcher_list_len;
};

// Work-file slots: every file the engine opens lives in one of them.
enum WorkFileSlot : int {
    WF_SEARCHED = 0,      // the file being searched or shown
    WF_FOUND_HEADER = 1,  // TW_found_header
    WF_FOUND_OFFSET = 2,  // TW_found_offset
    WF_FOUND_PATH = 3,    // TW_found_path
    WF_PREFERENCE = 4,    // TW_preference
    WF_TARGET = 5,        // a target file
    WF_LAUNCHER = 6,      // TW_launcher
    WF_FOUND_FORM = 7,    // TW_found_form, with several forms only
    WF_SLOT_NB = 8,
};

struct WorkFile {
    const char* dir_path;
    const char* name;
    u64 position;
    u64 transferred;
    u64 size;
    std::FILE* stream;  // buffered stream, none when closed
    int fd;             // the searched file is read by descriptor; -1 when closed
};

// Live counters of a search, written by the search thread only.
struct InfoRecord {
    std::atomic<u64> cur_file_size{0};
    std::atomic<u64> found_nb{0};
    std::atomic<u64> total_bytes{0};
    std::atomic<u64> file_nb{0};
    std::atomic<u64> dir_nb{0};
    std::atomic<u64> file_err_nb{0};
    std::atomic<u64> dir_err_nb{0};
    std::atomic<u64> other_err_nb{0};
};

inline constexpr int TW_LONG_TEXT_SIZE = 73;
inline constexpr int TW_SHORT_TEXT_SIZE = 33;

// Progress texts shown by the search window, with their changed flags and
// the show options that decide which texts are kept up to date.
struct ShowInfoRecord {
    u64 last_file_size;
    u64 last_found_nb;
    u64 last_file_nb;
    u64 last_total_bytes;
    u64 last_err_nb;
    char target_text[TW_LONG_TEXT_SIZE];
    char file_text[TW_LONG_TEXT_SIZE];
    char folder_text[TW_LONG_TEXT_SIZE];
    char file_size_text[TW_SHORT_TEXT_SIZE];
    char found_text[TW_SHORT_TEXT_SIZE];
    char files_text[TW_SHORT_TEXT_SIZE];
    char bytes_text[TW_SHORT_TEXT_SIZE];
    char errors_text[TW_SHORT_TEXT_SIZE];
    std::uint8_t target_changed;
    std::uint8_t file_changed;
    std::uint8_t folder_changed;
    std::uint8_t found_changed;
    std::uint8_t files_changed;
    std::uint8_t bytes_changed;
    std::uint8_t errors_changed;
    std::uint8_t show_file_name;
    std::uint8_t show_folder_name;
    std::uint8_t show_found_occ_nb;
    std::uint8_t show_found_file_nb;
    std::uint8_t show_total_bytes;
    std::uint8_t show_access_err_nb;
};

// One record of TW_found_header (48 bytes, the same in memory and on disk).
struct FoundFileHeader {
    u64 dir_name_pos;
    u64 dir_name_len;
    u64 file_name_pos;
    u64 file_name_len;
    u64 occ_nb;
    u64 occ_pos;
};
static_assert(sizeof(FoundFileHeader) == 48);

inline constexpr int TW_EXCERPT_SIZE = 2000;
inline constexpr int TW_SHOWN_NAME_SIZE = 65;

// One found file and occurrence with the excerpt around it, for the viewer.
struct SummaryRecord {
    u64 occ_offset;
    // The occurrence's form, from 1, in a result of several forms; 0 for a
    // result of one form or when its forms file cannot be read.
    u64 occ_form;
    u64 occ_index;
    u64 occ_nb;
    u64 file_index;
    u64 file_nb;
    u64 occ_line;
    u64 has_line;
    u64 summary_status;
    u64 excerpt_occ_pos;
    u64 excerpt_mark_len;
    u64 excerpt_len;
    u64 excerpt_file_offset;
    std::uint8_t excerpt[TW_EXCERPT_SIZE + 1];
    char file_name_shown[TW_SHOWN_NAME_SIZE];
    char dir_name_shown[TW_SHOWN_NAME_SIZE];
    const char* file_name_ptr;
    const char* dir_name_ptr;
    // The found file's names, as the result files give them.
    std::string file_name;
    std::string dir_name;
};

// The preference record: 56 bytes, the first part of TW_preference.
struct PreferenceRecord {
    u64 str_mem_size;
    u64 text_mem_size;
    u64 occ_mem_size;
    u64 show_info_every;
    u64 user_defined_encoding;
    i64 saved_target_index;
    std::uint8_t return_key_is_search;
    std::uint8_t reserved;
    std::uint8_t padding[6];
};
static_assert(sizeof(PreferenceRecord) == 56);

inline constexpr u64 TW_DEFAULT_STR_MEM_SIZE = 1600;
inline constexpr u64 TW_DEFAULT_TEXT_MEM_SIZE = 1280000;
inline constexpr u64 TW_DEFAULT_OCC_MEM_SIZE = 16000;
inline constexpr u64 TW_MIN_SHOW_INFO_EVERY = 15000;

}  // namespace tw
