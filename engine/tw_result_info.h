// The description of a search that the search writes beside its three
// result files (TW_found_info): how its occurrence records are laid out and
// what was searched, when, for how long, and how the search ended. Readers
// take the record length from it instead of from the current target.
//
// Layout, 64-bit little-endian words:
//   0  "TWRESULT" (8 bytes)   64 status
//   8  record length (8|16)   72 error code
//  16  end-of-line byte       80 search string length (whole)
//  24  encoding               88 stored search string bytes s (<= 64 KiB)
//  32  hexadecimal flag       96 target name bytes n (<= 64 KiB)
//  40  case-insensitive flag 104 the s string bytes, then the n name bytes
//  48  start time (seconds since 1970)
//  56  elapsed time (microseconds)
// A search of several forms adds 16 bytes after the name: the key
// "FORMS\0\0\0" and the number of forms (2 to 64), whose indexes
// TW_found_form holds. A one-form search writes no such key.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/tw_found_forms.h"
#include "engine/tw_records.h"

namespace tw {

inline constexpr const char* TW_FOUND_INFO = "TW_found_info";

enum ResultStatus : u64 {
    RESULT_FINISHED = 0,
    RESULT_STOPPED = 1,
    RESULT_ERROR = 2,
    RESULT_RUNNING = 3,  // written at the start; left so by a search that died
};

struct ResultInfo {
    bool present = false;  // false: no description (an older result)
    u64 record_len = 8;
    u64 form_nb = 1;  // forms searched; from 2, TW_found_form was written
    u64 eol_char = '\n';
    u64 encoding = 0;
    u64 is_hexa = 0;
    u64 case_insensitive = 0;
    u64 start_time = 0;
    u64 elapsed = 0;
    u64 status = RESULT_FINISHED;
    u64 error_code = 0;
    u64 search_str_len = 0;
    std::string search_str;   // at most kResultInfoMaxText bytes of it
    std::string target_name;  // at most kResultInfoMaxText bytes of it
    // With several forms: each form's description, read from TW_found_forms
    // (not part of this file's bytes); empty when it is missing or damaged,
    // and the forms are then known by their numbers only.
    std::vector<FoundForm> forms;
};

inline constexpr std::size_t kResultInfoFixed = 104;
inline constexpr std::size_t kResultInfoMaxText = std::size_t{64} << 10;
inline constexpr std::size_t kResultInfoFormsKey = 16;
inline constexpr std::size_t kResultInfoMaxSize =
    kResultInfoFixed + 2 * kResultInfoMaxText + kResultInfoFormsKey;

std::vector<std::uint8_t> encode_result_info(const ResultInfo& info);

// Decodes a whole description; false when it is not one (wrong size, magic,
// record length, status, or lengths that do not add up).
bool decode_result_info(const std::uint8_t* data, std::size_t size, ResultInfo& info);

}  // namespace tw
