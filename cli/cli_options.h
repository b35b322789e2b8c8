// Command-line options of trawlex-cli and the conversion of the typed
// pattern into the bytes that are searched.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tw::cli {

struct Options {
    bool hex = false;
    std::string encoding_name = "UTF-8";
    std::uint32_t encoding = 4;  // stored number of UTF-8
    std::optional<unsigned char> wildcard;
    bool ignore_case = false;
    bool line_numbers = false;
    unsigned char eol = '\n';
    bool hidden = false;
    bool stop_on_error = false;
    bool count = false;
    bool stats = false;
    bool no_wait = false;
    bool help = false;
    unsigned threads = 0;  // scanning threads; 0 for one per core
    std::optional<std::string> report;
    std::optional<std::string> target;
    std::optional<std::string> resource_dir;
    std::string pattern;
    std::vector<std::string> paths;
    // Options given that only make sense with a typed pattern, for the
    // message when they are combined with --target.
    std::vector<std::string> pattern_options;
};

// Parses argv. On a usage error returns nullopt and sets `error` to a
// one-line explanation.
std::optional<Options> parse_options(int argc, char** argv, std::string& error);

// The text of --help.
std::string usage_text();

// The bytes to search for: the pattern typed in UTF-8, converted to the
// chosen encoding, or read as hexadecimal digits. On failure returns nullopt
// and sets `error`.
std::optional<std::string> pattern_bytes(const Options& options, std::string& error);

}  // namespace tw::cli
