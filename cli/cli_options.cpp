#include "cli/cli_options.h"

#include <getopt.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "encoding/string_encoding.h"
#include "engine/tw.h"
#include "pattern/pattern_compiler.h"

namespace tw::cli {

namespace {

enum LongOnly : int {
    kEol = 1000,
    kHidden,
    kStopOnError,
    kReport,
    kTarget,
    kResourceDir,
    kStats,
    kNoWait,
    kJson,
    kNoMessages,
    kVersion,
};

const option kLongOptions[] = {
    {"hex", no_argument, nullptr, 'x'},
    {"encoding", required_argument, nullptr, 'e'},
    {"wildcard", required_argument, nullptr, 'w'},
    {"ignore-case", no_argument, nullptr, 'i'},
    {"line-number", no_argument, nullptr, 'n'},
    {"count", no_argument, nullptr, 'c'},
    {"help", no_argument, nullptr, 'h'},
    {"threads", required_argument, nullptr, 'j'},
    {"eol", required_argument, nullptr, kEol},
    {"hidden", no_argument, nullptr, kHidden},
    {"stop-on-error", no_argument, nullptr, kStopOnError},
    {"report", required_argument, nullptr, kReport},
    {"target", required_argument, nullptr, kTarget},
    {"resource-dir", required_argument, nullptr, kResourceDir},
    {"stats", no_argument, nullptr, kStats},
    {"no-wait", no_argument, nullptr, kNoWait},
    {"null", no_argument, nullptr, '0'},
    {"json", no_argument, nullptr, kJson},
    {"files-with-matches", no_argument, nullptr, 'l'},
    {"quiet", no_argument, nullptr, 'q'},
    {"max-count", required_argument, nullptr, 'm'},
    {"no-messages", no_argument, nullptr, kNoMessages},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

const char* const kWildcardHiddenInHex =
    "with --hex the wildcard cannot be a hexadecimal digit or a blank";

}  // namespace

std::string usage_text() {
    return R"USAGE(Usage: trawlex-cli [OPTION]... PATTERN [PATH]...
  or:  trawlex-cli [OPTION]... --target NAME|NUMBER
Search the files and folders PATH... for every occurrence of the byte string
PATTERN and print one line per occurrence: PATH<TAB>OFFSET (OFFSET in bytes
from 0), or PATH<TAB>OFFSET<TAB>LINE with -n (LINE from 1). Each found file is
printed as soon as it has been searched, in the order of the search.

A relative PATH is joined to the current folder and printed so; ".." is left
for the system to resolve. A PATH of "-", or no PATH when standard input is not
a terminal, reads standard input, printed as "(standard input)". A pipe, socket
or character device given as PATH is read to its end; a block device (a disk or
a partition) is searched like a file. Inside folders such entries are skipped.

Pattern:
  -x, --hex              PATTERN is hexadecimal digits ("41 42", "4142");
                         blanks are ignored, an odd count gets a leading 0
  -e, --encoding NAME    search PATTERN (typed in UTF-8) as encoded in NAME:
                         ascii, utf-8 (default), utf-16 (little-endian),
                         macroman, symbol, latin1, latin2, cp1250, cp1251,
                         cp1252, cp1253, cp1254, iso-2022-jp, euc-jp, shift_jis
  -w, --wildcard C       the byte C in PATTERN matches any byte (not first
                         or last); with -i it must not be a letter that a
                         text PATTERN holds in either case; with -x only C
                         itself is the wildcard: a digit pair always means
                         its byte
  -i, --ignore-case      ASCII letters match either case

Search:
      --eol cr|lf        end-of-line byte for line numbers (default lf)
      --hidden           also search names that begin with a dot
      --stop-on-error    end the whole search at the first file or folder that
                         cannot be read (by default it is named and skipped)
      --target NAME|NUMBER
                         run a stored target of the resource folder, by its
                         number or its name; name:NAME always means a name
      --resource-dir DIR resource folder whose targets are read and whose
                         TW_found folder receives the result files; without
                         it, a run with --report or --target writes them to
                         a temporary folder removed at exit, any other run
                         writes none, and --target reads the application's
                         targets ($XDG_DATA_HOME/Trawlex or
                         ~/.local/share/Trawlex)
      --no-wait          fail at once (status 2) when another search is
                         writing the same result folder, instead of waiting
  -j, --threads N        scan with N threads (default 0: one per core; 1
                         scans on the search thread alone)

Output:
  -n, --line-number      add the line number of each occurrence
  -c, --count            one line per found file: PATH<TAB>COUNT
  -l, --files-with-matches
                         one line per found file: PATH
  -m, --max-count NUM    print (and count) at most NUM occurrences per file
  -0, --null             write each PATH raw and end it with a NUL instead of
                         the tab (with -l, instead of the newline)
      --json             one JSON object per line: "begin", "match" and "end"
                         records per found file, a "summary" at the end
  -q, --quiet            print nothing; exit 0 at the first found file
      --no-messages      do not name the unreadable files and folders
      --report FILE      also write the text report of the search to FILE
      --stats            print the search summary on stderr
  -h, --help             display this help and exit
      --version          output version information and exit

Without result files to fill (no --resource-dir, --report or --target), -q
and -l read a file only up to its first occurrence and -m NUM up to its
NUM-th: the "matches_found" of a --json "end" record then counts the
occurrences read, not all those of the file.

In the tab-separated output a tab, newline, carriage return or backslash of a
path is written \t, \n, \r or \\, so that one line is always one record. In
--json output a path is {"text":"..."}, or {"bytes":"BASE64"} when it is not
valid UTF-8.

Each file or folder that cannot be read is named on standard error as
"trawlex-cli: PATH: REASON" when it is met, and the search goes on.

Exit status: 0 when something was found, 1 when nothing was, 2 on an error or
when a file or folder could not be read (even if something was found); with
-q, 0 as soon as something is found.

The environment variable TRAWLEX_ISA (scalar, sse2 or avx2) limits the
instruction set of the scanning routines.

Examples:
  trawlex-cli -n 'needle' ~/docs       offsets and lines of needle in a tree
  trawlex-cli -x 'CA FE BA BE' /dev/sdb  the bytes CA FE BA BE on a disk
  trawlex-cli -l0 TODO src | xargs -0 ls -l
)USAGE";
}

std::string version_text() {
    return "trawlex-cli (Trawlex) " TRAWLEX_VERSION "\n"
           "Searches files for every occurrence of a byte string.\n";
}

TargetChoice parse_target_choice(const std::string& which) {
    TargetChoice choice;
    if (which.rfind("name:", 0) == 0) {
        choice.name = which.substr(5);
        return choice;
    }
    choice.by_number = !which.empty() && which.size() <= 9 &&
                       which.find_first_not_of("0123456789") == std::string::npos;
    if (choice.by_number) choice.number = std::strtoull(which.c_str(), nullptr, 10);
    else choice.name = which;
    return choice;
}

std::optional<Options> parse_options(int argc, char** argv, std::string& error,
                                     bool stdin_is_terminal) {
    Options o;
    opterr = 0;  // messages are ours
    optind = 1;
    for (;;) {
        int index = 0;
        const int c = ::getopt_long(argc, argv, ":xe:w:inchlqm:0j:", kLongOptions, &index);
        if (c == -1) break;
        switch (c) {
        case 'x':
            o.hex = true;
            o.pattern_options.emplace_back("--hex");
            break;
        case 'e': {
            const auto id = encoding::encoding_from_short_name(optarg);
            if (!id) {
                error = std::string("unknown encoding '") + optarg + "' (see --help)";
                return std::nullopt;
            }
            o.encoding = *id;
            o.encoding_name = optarg;
            o.pattern_options.emplace_back("--encoding");
            break;
        }
        case 'w':
            if (std::strlen(optarg) != 1) {
                error = std::string("the wildcard must be one byte, not '") + optarg + "'";
                return std::nullopt;
            }
            o.wildcard = static_cast<unsigned char>(optarg[0]);
            o.pattern_options.emplace_back("--wildcard");
            break;
        case 'i':
            o.ignore_case = true;
            o.pattern_options.emplace_back("--ignore-case");
            break;
        case 'n': o.line_numbers = true; break;
        case 'c': o.count = true; break;
        case 'h': o.help = true; break;
        case 'l': o.files_with_matches = true; break;
        case 'q': o.quiet = true; break;
        case '0': o.null_separated = true; break;
        case 'm': {
            const std::string value = optarg;
            errno = 0;
            char* end = nullptr;
            const unsigned long long n = std::strtoull(value.c_str(), &end, 10);
            if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos ||
                errno != 0 || *end != '\0') {
                error = "--max-count takes a number of occurrences, not '" + value + "'";
                return std::nullopt;
            }
            o.max_count = n;
            break;
        }
        case kJson: o.json = true; break;
        case kNoMessages: o.no_messages = true; break;
        case kVersion: o.version = true; break;
        case 'j': {
            char* end = nullptr;
            errno = 0;
            const unsigned long n = std::strtoul(optarg, &end, 10);
            if (optarg[0] < '0' || optarg[0] > '9' || *end != '\0' || errno != 0 || n > 1024) {
                error = std::string("--threads takes a number from 0 to 1024, not '") + optarg + "'";
                return std::nullopt;
            }
            o.threads = static_cast<unsigned>(n);
            break;
        }
        case kEol:
            if (std::strcmp(optarg, "lf") == 0) {
                o.eol = '\n';
            } else if (std::strcmp(optarg, "cr") == 0) {
                o.eol = '\r';
            } else {
                error = std::string("--eol takes cr or lf, not '") + optarg + "'";
                return std::nullopt;
            }
            o.pattern_options.emplace_back("--eol");
            break;
        case kHidden:
            o.hidden = true;
            o.pattern_options.emplace_back("--hidden");
            break;
        case kStopOnError:
            o.stop_on_error = true;
            break;
        case kReport: o.report = optarg; break;
        case kTarget: o.target = optarg; break;
        case kResourceDir: o.resource_dir = optarg; break;
        case kStats: o.stats = true; break;
        case kNoWait: o.no_wait = true; break;
        case ':':
            error = std::string("option ") + argv[optind - 1] + " needs a value";
            return std::nullopt;
        default:
            if (optopt != 0)
                error = std::string("unknown option -") + static_cast<char>(optopt);
            else
                error = std::string("unknown option ") + argv[optind - 1];
            return std::nullopt;
        }
    }
    if (o.help || o.version) return o;
    if (o.json && o.null_separated) {
        error = "--json and --null cannot be combined";
        return std::nullopt;
    }
    if (o.count && o.files_with_matches) {
        error = "--count and --files-with-matches cannot be combined";
        return std::nullopt;
    }

    std::vector<std::string> rest(argv + optind, argv + argc);
    if (o.target) {
        if (!o.pattern_options.empty()) {
            error = o.pattern_options.front() + " cannot be combined with --target";
            return std::nullopt;
        }
        if (!rest.empty()) {
            error = "--target takes no PATTERN or PATH";
            return std::nullopt;
        }
        return o;
    }
    if (rest.empty()) {
        error = "missing PATTERN and PATH";
        return std::nullopt;
    }
    if (rest.size() == 1 && stdin_is_terminal) {
        error = "missing PATH to search (standard input is a terminal)";
        return std::nullopt;
    }
    o.pattern = rest.front();
    o.paths.assign(rest.begin() + 1, rest.end());
    if (o.paths.empty()) o.paths.emplace_back("-");
    if (o.hex && o.wildcard && pattern::hides_in_hexadecimal(*o.wildcard)) {
        error = kWildcardHiddenInHex;
        return std::nullopt;
    }
    return o;
}

std::optional<Pattern> pattern_bytes(const Options& o, std::string& error) {
    pattern::Options options;
    options.hexadecimal = o.hex;
    options.encoding = o.encoding;
    options.wildcard = o.wildcard;
    options.ignore_case = o.ignore_case;
    pattern::Compiled c = pattern::compile_utf8(o.pattern, options);
    switch (c.refusal) {
    case pattern::Refusal::None: return Pattern{std::move(c.bytes), c.wildcard};
    case pattern::Refusal::InvalidHexDigit:
        error = "invalid hexadecimal character '" + o.pattern.substr(c.position, 1) +
                "' at position " + std::to_string(c.position + 1) + " of the pattern";
        break;
    case pattern::Refusal::NoWildcardLeft:
        error = "no punctuation character is left to stand for the wildcard: the pattern "
                "holds them all";
        break;
    case pattern::Refusal::NotUtf8:
        error = "the pattern is not valid UTF-8 (use --hex for raw bytes)";
        break;
    case pattern::Refusal::NotEncodable:
        error = "the pattern has a character that " + o.encoding_name + " cannot represent";
        break;
    case pattern::Refusal::Empty: error = "the pattern is empty"; break;
    case pattern::Refusal::WildcardHiddenInHex: error = kWildcardHiddenInHex; break;
    case pattern::Refusal::WildcardFoldedWithLetter: {
        const char lower = static_cast<char>(c.letter);
        const char upper = static_cast<char>(c.letter & ~0x20);
        error = std::string("with --ignore-case the wildcard '") + static_cast<char>(*o.wildcard) +
                "' is folded together with the letter '" + upper + "'/'" + lower +
                "' of the pattern; choose a wildcard that is not a letter";
        break;
    }
    case pattern::Refusal::WildcardAtEnd:
        error = "the pattern must not begin or end with the wildcard";
        break;
    case pattern::Refusal::OutOfMemory: error = "not enough memory for the pattern"; break;
    case pattern::Refusal::CannotConvert:
        error = "the pattern cannot be converted to " + o.encoding_name;
        break;
    }
    return std::nullopt;
}

}  // namespace tw::cli
