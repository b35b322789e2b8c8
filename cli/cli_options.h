// Command-line options of trawlex-cli and the conversion of the typed
// pattern into the bytes that are searched.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/name_filter.h"
#include "pattern/pattern_compiler.h"

namespace tw::cli {

// One encoding a text pattern is searched in: a stored encoding, or UTF-16
// with its bytes swapped (big-endian, which no target stores).
struct EncodingChoice {
    std::string name;
    std::uint32_t id = 4;
    bool big_endian = false;
};

struct Options {
    bool hex = false;
    // The first of `encodings`.
    std::string encoding_name = "UTF-8";
    std::uint32_t encoding = 4;  // stored number of UTF-8
    // -E LIST: every text pattern is searched in each (UTF-8 alone by default).
    std::vector<EncodingChoice> encodings;
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
    bool version = false;
    bool null_separated = false;   // -0: PATH NUL ... instead of PATH TAB
    bool json = false;
    bool files_with_matches = false;
    bool quiet = false;
    bool no_messages = false;
    // -H or -h; by default, as grep: the path is printed unless one file
    // alone (or standard input) is searched.
    std::optional<bool> with_path;
    bool files_without_match = false;  // -L
    std::uint64_t before = 0, after = 0;  // -B, -A (-C sets both)
    enum class Color { Auto, Never, Always } color = Color::Auto;
    NameFilter names;  // -g, --include, --exclude, --exclude-dir
    std::uint64_t max_count = UINT64_MAX;
    unsigned threads = 0;  // scanning threads; 0 for one per core
    std::optional<std::string> report;
    std::optional<std::string> target;
    std::optional<std::string> resource_dir;
    std::string pattern;  // the first of `patterns`
    std::vector<std::string> patterns;  // each -e, or the PATTERN argument
    std::vector<std::string> paths;
    // Options given that only make sense with a typed pattern, for the
    // message when they are combined with --target.
    std::vector<std::string> pattern_options;
};

// Parses argv. On a usage error returns nullopt and sets `error` to a
// one-line explanation. A PATTERN without PATH reads standard input ("-")
// unless `stdin_is_terminal`.
std::optional<Options> parse_options(int argc, char** argv, std::string& error,
                                     bool stdin_is_terminal = true);

// The text of --version.
std::string version_text();

// A stored target named by --target: by number for decimal digits, by name
// otherwise; "name:" before the name makes it a name whatever it holds.
struct TargetChoice {
    bool by_number = false;
    std::uint64_t number = 0;
    std::string name;
};
TargetChoice parse_target_choice(const std::string& which);

// The text of --help, in the run's language.
std::string usage_text();

// The bytes to search for and, with -w, the byte that stands for the
// wildcard in them.
struct Pattern {
    std::string bytes;
    std::optional<unsigned char> wildcard;
};

// The pattern typed in UTF-8, compiled as the windows compile theirs
// (tw::pattern::compile_utf8): converted to the chosen encoding, or read as
// hexadecimal digits, where a digit pair always means its byte: when one
// would be taken for the wildcard, another character stands for it. On
// failure returns nullopt and sets `error`.
std::optional<Pattern> pattern_bytes(const Options& options, std::string& error);
// How the pattern compiler reads a pattern of these options in encoding `id`.
pattern::Options pattern_options(const Options& options, std::uint32_t id);
// Why `compiled`, the pattern `text` compiled in the encoding named
// `encoding_name`, cannot be searched.
std::string refusal_text(const Options& options, const pattern::Compiled& compiled, const std::string& text,
                         const std::string& encoding_name);
// The same for `text` in encoding `id`, named `encoding_name` in messages.
std::optional<Pattern> pattern_bytes(const Options& options, const std::string& text, std::uint32_t id,
                                     const std::string& encoding_name, std::string& error);

// Splits -E's LIST (names separated by commas; "common" for ASCII, UTF-8
// and UTF-16 in both byte orders). False, with `bad` the unknown name, when
// a name is no encoding.
bool parse_encoding_list(const std::string& list, std::vector<EncodingChoice>& out, std::string& bad);

}  // namespace tw::cli
