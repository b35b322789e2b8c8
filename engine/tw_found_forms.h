// What a search of several forms says about each form, for the viewer and
// the report: its byte length, the encoding its text view is read in and a
// short name ("UTF-16BE", "hex 2"). Written beside the result files, in
// TW_found_forms, only by a search of several forms, so that the files of a
// one-form search and the description TW_found_info stay as they were.
//
// Layout, little-endian:
//   "TWFORMS\x01" (a name and version 1), u32 count (2 to 64), u32 0,
//   then per form: u32 byte length (1 to 65,536), u32 encoding number,
//   u8 kind (0 text, 1 hexadecimal), u8 name bytes (at most 64), u16 0,
//   and the name (UTF-8).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/tw_records.h"

namespace tw {

struct TargetForm;

inline constexpr const char* TW_FOUND_FORMS = "TW_found_forms";

struct FoundForm {
    std::uint32_t length = 0;    // bytes of the form, its occurrences' length
    std::uint32_t encoding = 4;  // stored encoding number its text is read in
    bool hexadecimal = false;
    std::string name;  // at most kFoundFormNameMax bytes
    bool operator==(const FoundForm&) const = default;
};

inline constexpr std::size_t kFoundFormNameMax = 64;
inline constexpr std::size_t kFoundFormsMaxSize = 16 + 64 * (12 + kFoundFormNameMax);

// The encoding number that reads UTF-16 big-endian (a registry number).
std::uint32_t utf16be_encoding();

// A short name for a form: "hex N" (N its number from 1) for a hexadecimal
// one, else the encoding's ("UTF-8", "UTF-16LE", "UTF-16BE", "LATIN1"),
// prefixed by "T:" when the search holds several texts (T the text's
// number from 1).
std::string found_form_name(std::uint32_t encoding, bool hexadecimal, std::size_t form_index,
                            std::size_t text_number);

std::string encode_found_forms(const std::vector<FoundForm>& forms);

// Decodes a whole file that should describe `count` forms. false with
// `why` saying what is wrong when it is not one (too large, wrong name or
// version, another count, a length or name out of bounds, bytes left over).
bool decode_found_forms(std::string_view data, std::size_t count, std::vector<FoundForm>& out,
                        std::string* why);

// Reads `path` (a regular file, its size capped before reading) that should
// describe `count` forms. 0; ERR_OPEN_FILE or ERR_READ_FILE; ERR_CORRUPTED
// when it is damaged. `why` says "PATH: reason".
u64 read_found_forms(const std::string& path, std::size_t count, std::vector<FoundForm>& out,
                     std::string* why);

}  // namespace tw
