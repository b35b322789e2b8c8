// How trawlex-cli writes a path so that no name can forge a record: the
// escaped form of the tab-separated output and the JSON forms.
#pragma once

#include <string>
#include <string_view>

namespace tw::cli {

// `path` with tab, newline, carriage return and backslash written as \t,
// \n, \r and \\; every other byte as it is. One output line is then always
// one record, and the true name is had back by undoing the four escapes.
void append_escaped(std::string& out, std::string_view path);

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool is_utf8(std::string_view bytes);

// `text` (valid UTF-8) as a JSON string with its quotes: ", \ and the
// control characters escaped.
void append_json_string(std::string& out, std::string_view text);

// `bytes` in standard base64 with padding.
void append_base64(std::string& out, std::string_view bytes);

// The JSON value of a path: {"text":"..."} when it is UTF-8, else
// {"bytes":"BASE64"} with its raw bytes.
void append_json_path(std::string& out, std::string_view path);

}  // namespace tw::cli
