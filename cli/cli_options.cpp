#include "cli/cli_options.h"

#include <fcntl.h>
#include <getopt.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <vector>

#include "cli/cli_messages.h"
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
    kHelp,
    kHex,
    kWildcard,
    kInclude,
    kExclude,
    kExcludeDir,
    kColor,
};

const option kLongOptions[] = {
    {"regexp", required_argument, nullptr, 'e'},
    {"file", required_argument, nullptr, 'f'},
    {"hex", no_argument, nullptr, kHex},
    {"encoding", required_argument, nullptr, 'E'},
    {"encodings", required_argument, nullptr, 'E'},
    {"wildcard", required_argument, nullptr, kWildcard},
    {"ignore-case", no_argument, nullptr, 'i'},
    {"line-number", no_argument, nullptr, 'n'},
    {"count", no_argument, nullptr, 'c'},
    {"help", no_argument, nullptr, kHelp},
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
    {"files-without-match", no_argument, nullptr, 'L'},
    {"quiet", no_argument, nullptr, 'q'},
    {"max-count", required_argument, nullptr, 'm'},
    {"no-messages", no_argument, nullptr, kNoMessages},
    {"version", no_argument, nullptr, kVersion},
    {"with-filename", no_argument, nullptr, 'H'},
    {"no-filename", no_argument, nullptr, 'h'},
    {"byte-offset", no_argument, nullptr, 'b'},
    {"only-matching", no_argument, nullptr, 'o'},
    {"fixed-strings", no_argument, nullptr, 'F'},
    {"text", no_argument, nullptr, 'a'},
    {"recursive", no_argument, nullptr, 'r'},
    {"dereference-recursive", no_argument, nullptr, 'R'},
    {"after-context", required_argument, nullptr, 'A'},
    {"before-context", required_argument, nullptr, 'B'},
    {"context", required_argument, nullptr, 'C'},
    {"glob", required_argument, nullptr, 'g'},
    {"include", required_argument, nullptr, kInclude},
    {"exclude", required_argument, nullptr, kExclude},
    {"exclude-dir", required_argument, nullptr, kExcludeDir},
    {"color", optional_argument, nullptr, kColor},
    {"colour", optional_argument, nullptr, kColor},
    {nullptr, 0, nullptr, 0},
};

const char* const wildcard_hidden_s[2] = {
    "with --hex the wildcard cannot be a hexadecimal digit or a blank",
    "avec --hex le joker ne peut être ni un chiffre hexadécimal ni un blanc"};
const char* const unknown_encoding_s[2] = {"unknown encoding '%1' (see --help)",
                                           "codage inconnu « %1 » (voir --help)"};
const char* const one_byte_wildcard_s[2] = {"the wildcard must be one byte, not '%1'",
                                            "le joker doit être un seul octet, pas « %1 »"};
const char* const max_count_s[2] = {"--max-count takes a number of occurrences, not '%1'",
                                    "--max-count demande un nombre d'occurrences, pas « %1 »"};
const char* const context_s[2] = {"%1 takes a number of lines, not '%2'",
                                  "%1 demande un nombre de lignes, pas « %2 »"};
const char* const threads_s[2] = {"--threads takes a number from 0 to 1024, not '%1'",
                                  "--threads demande un nombre de 0 à 1024, pas « %1 »"};
const char* const eol_s[2] = {"--eol takes cr or lf, not '%1'", "--eol demande cr ou lf, pas « %1 »"};
const char* const color_s[2] = {"--color takes auto, never or always, not '%1'",
                                "--color demande auto, never ou always, pas « %1 »"};
const char* const needs_value_s[2] = {"option %1 needs a value", "l'option %1 demande une valeur"};
const char* const unknown_option_s[2] = {"unknown option %1", "option inconnue %1"};
const char* const not_combined_s[2] = {"%1 and %2 cannot be combined",
                                       "%1 et %2 ne peuvent pas aller ensemble"};
const char* const not_with_target_s[2] = {"%1 cannot be combined with --target",
                                          "%1 ne peut pas aller avec --target"};
const char* const target_alone_s[2] = {"--target takes no PATTERN or PATH",
                                       "--target ne prend ni MOTIF ni CHEMIN"};
const char* const missing_all_s[2] = {"missing PATTERN and PATH", "MOTIF et CHEMIN manquants"};
const char* const missing_path_s[2] = {
    "missing PATH to search (standard input is a terminal)",
    "CHEMIN à chercher manquant (l'entrée standard est un terminal)"};
const char* const too_many_forms_s[2] = {
    "at most %1 patterns and encodings together can be searched at once",
    "au plus %1 motifs et codages ensemble peuvent être cherchés à la fois"};
const char* const old_x_s[2] = {
    "-x no longer means --hex: use --hex (grep's -x, whole-line matching, is not supported)",
    "-x ne veut plus dire --hex : employez --hex (le -x de grep, la ligne entière, n'existe pas ici)"};
const char* const old_w_s[2] = {
    "-w no longer means --wildcard: use --wildcard C (grep's -w, whole-word matching, is not "
    "supported)",
    "-w ne veut plus dire --wildcard : employez --wildcard C (le -w de grep, le mot entier, "
    "n'existe pas ici)"};

const char* const pattern_file_s[2] = {"cannot read the pattern file '%1': %2",
                                       "impossible de lire le fichier de motifs « %1 » : %2"};
const char* const pattern_file_size_s[2] = {
    "the pattern file '%1' is larger than %2 bytes",
    "le fichier de motifs « %1 » dépasse %2 octets"};

// The patterns of -f FILE ("-": standard input), one per line as grep reads
// them: a last line without its line feed counts, the line feed after it
// does not add an empty one. The file may hold no pattern.
bool read_pattern_file(const char* path, std::vector<std::string>& patterns, std::string& error) {
    // A bound on what is read, far beyond what the text buffers can hold.
    constexpr std::size_t kMaxBytes = std::size_t{64} << 20;
    const bool standard_input = std::strcmp(path, "-") == 0;
    const int fd = standard_input ? STDIN_FILENO : ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = text(pattern_file_s, {path, std::strerror(errno)});
        return false;
    }
    std::string bytes;
    char block[65536];
    ssize_t got = 0;
    while ((got = ::read(fd, block, sizeof block)) != 0) {
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 || bytes.size() + static_cast<std::size_t>(got) > kMaxBytes) break;
        bytes.append(block, static_cast<std::size_t>(got));
    }
    const int read_errno = errno;
    if (!standard_input) ::close(fd);
    if (got < 0) {
        error = text(pattern_file_s, {path, std::strerror(read_errno)});
        return false;
    }
    if (got > 0) {
        error = text(pattern_file_size_s, {path, std::to_string(kMaxBytes)});
        return false;
    }
    for (std::size_t from = 0; from < bytes.size();) {
        const std::size_t end = std::min(bytes.find('\n', from), bytes.size());
        patterns.emplace_back(bytes, from, end - from);
        from = end + 1;
    }
    return true;
}

// A count of lines or occurrences: decimal digits only, at most 18 of them.
std::optional<std::uint64_t> count_value(const char* text) {
    const std::string value = text;
    if (value.empty() || value.size() > 18 || value.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::strtoull(value.c_str(), nullptr, 10);
}

}  // namespace

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
    bool pattern_by_e = false;
    for (;;) {
        int index = 0;
        const int c = ::getopt_long(argc, argv, ":e:f:E:inclLqm:0j:HhboFarRxwA:B:C:g:", kLongOptions, &index);
        if (c == -1) break;
        switch (c) {
        case 'e':
            // As grep: each -e adds a pattern.
            if (o.patterns.empty()) o.pattern = optarg;
            pattern_by_e = true;
            o.patterns.emplace_back(optarg);
            if (o.patterns.size() > kMaxMultiPatterns) {
                error = text(too_many_forms_s, {std::to_string(kMaxMultiPatterns)});
                return std::nullopt;
            }
            o.pattern_options.emplace_back("-e");
            break;
        case 'f':
            pattern_by_e = true;
            if (!read_pattern_file(optarg, o.patterns, error)) return std::nullopt;
            if (o.patterns.size() > kMaxMultiPatterns) {
                error = text(too_many_forms_s, {std::to_string(kMaxMultiPatterns)});
                return std::nullopt;
            }
            if (!o.patterns.empty()) o.pattern = o.patterns.front();
            o.pattern_options.emplace_back("-f");
            break;
        case 'x': error = text(old_x_s); return std::nullopt;
        case 'w': error = text(old_w_s); return std::nullopt;
        case kHex:
            o.hex = true;
            o.pattern_options.emplace_back("--hex");
            break;
        case 'E': {
            std::vector<EncodingChoice> list;
            std::string bad;
            if (!parse_encoding_list(optarg, list, bad)) {
                error = text(unknown_encoding_s, {bad});
                return std::nullopt;
            }
            o.encodings = std::move(list);
            o.encoding = o.encodings.front().id;
            o.encoding_name = o.encodings.front().name;
            o.pattern_options.emplace_back("--encoding");
            break;
        }
        case kWildcard:
            if (std::strlen(optarg) != 1) {
                error = text(one_byte_wildcard_s, {optarg});
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
        case kHelp: o.help = true; break;
        case 'l': o.files_with_matches = true; break;
        case 'L': o.files_without_match = true; break;
        case 'q': o.quiet = true; break;
        case '0': o.null_separated = true; break;
        case 'H': o.with_path = true; break;
        case 'h': o.with_path = false; break;
        // Offsets are always printed, each occurrence alone, of fixed
        // bytes, in every file whatever it holds, and folders are always
        // searched.
        case 'b': case 'o': case 'F': case 'a': case 'r': case 'R': break;
        case 'm': {
            const auto n = count_value(optarg);
            if (!n) {
                error = text(max_count_s, {optarg});
                return std::nullopt;
            }
            o.max_count = *n;
            break;
        }
        case 'A': case 'B': case 'C': {
            const auto n = count_value(optarg);
            if (!n || *n > 1000000) {
                error = text(context_s, {std::string("-") + static_cast<char>(c), optarg});
                return std::nullopt;
            }
            if (c != 'A') o.before = *n;
            if (c != 'B') o.after = *n;
            break;
        }
        case 'g': o.names.add_glob(optarg); break;
        case kInclude: o.names.add_include(optarg); break;
        case kExclude: o.names.add_exclude(optarg); break;
        case kExcludeDir: o.names.add_exclude_dir(optarg); break;
        case kColor:
            if (optarg == nullptr || std::strcmp(optarg, "auto") == 0) {
                o.color = Options::Color::Auto;
            } else if (std::strcmp(optarg, "never") == 0) {
                o.color = Options::Color::Never;
            } else if (std::strcmp(optarg, "always") == 0) {
                o.color = Options::Color::Always;
            } else {
                error = text(color_s, {optarg});
                return std::nullopt;
            }
            break;
        case kJson: o.json = true; break;
        case kNoMessages: o.no_messages = true; break;
        case kVersion: o.version = true; break;
        case 'j': {
            char* end = nullptr;
            errno = 0;
            const unsigned long n = std::strtoul(optarg, &end, 10);
            if (optarg[0] < '0' || optarg[0] > '9' || *end != '\0' || errno != 0 || n > 1024) {
                error = text(threads_s, {optarg});
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
                error = text(eol_s, {optarg});
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
            error = text(needs_value_s, {argv[optind - 1]});
            return std::nullopt;
        default:
            if (optopt != 0)
                error = text(unknown_option_s, {std::string("-") + static_cast<char>(optopt)});
            else
                error = text(unknown_option_s, {argv[optind - 1]});
            return std::nullopt;
        }
    }
    if (o.help || o.version) return o;
    const struct {
        bool a, b;
        const char *a_name, *b_name;
    } clashes[] = {
        {o.json, o.null_separated, "--json", "--null"},
        {o.count, o.files_with_matches, "--count", "--files-with-matches"},
        {o.count, o.files_without_match, "--count", "--files-without-match"},
        {o.files_with_matches, o.files_without_match, "--files-with-matches", "--files-without-match"},
    };
    for (const auto& clash : clashes) {
        if (clash.a && clash.b) {
            error = text(not_combined_s, {clash.a_name, clash.b_name});
            return std::nullopt;
        }
    }

    std::vector<std::string> rest(argv + optind, argv + argc);
    if (o.target) {
        if (!o.pattern_options.empty()) {
            error = text(not_with_target_s, {o.pattern_options.front()});
            return std::nullopt;
        }
        if (!rest.empty()) {
            error = text(target_alone_s);
            return std::nullopt;
        }
        return o;
    }
    // With -e every other argument is a PATH.
    if (!pattern_by_e) {
        if (rest.empty()) {
            error = text(missing_all_s);
            return std::nullopt;
        }
        o.pattern = rest.front();
        o.patterns.assign(1, rest.front());
        rest.erase(rest.begin());
    }
    if (o.encodings.empty()) o.encodings.push_back({o.encoding_name, o.encoding, false});
    // Hexadecimal patterns have no encoding: each is one form.
    const std::size_t forms = o.patterns.size() * (o.hex ? 1 : o.encodings.size());
    if (forms > kMaxMultiPatterns) {
        error = text(too_many_forms_s, {std::to_string(kMaxMultiPatterns)});
        return std::nullopt;
    }
    if (rest.empty() && stdin_is_terminal) {
        error = text(missing_path_s);
        return std::nullopt;
    }
    o.paths = std::move(rest);
    if (o.paths.empty()) o.paths.emplace_back("-");
    if (o.hex && o.wildcard && pattern::hides_in_hexadecimal(*o.wildcard)) {
        error = text(wildcard_hidden_s);
        return std::nullopt;
    }
    return o;
}

bool parse_encoding_list(const std::string& list, std::vector<EncodingChoice>& out, std::string& bad) {
    out.clear();
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = std::min(list.find(',', from), list.size());
        const std::string name = list.substr(from, comma - from);
        std::string lower = name;
        for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower == "all") {
            for (const encoding::FixedEncoding& f : encoding::fixed_encodings())
                out.push_back({std::string(f.short_name), f.id, false});
            out.push_back({"utf-16be", encoding::kUtf16, true});
        } else if (lower == "common") {
            for (const char* n : {"ascii", "utf-8", "utf-16le", "utf-16be"})
                out.push_back({n, *encoding::encoding_from_short_name(n == std::string("utf-16be") ? "utf-16le" : n),
                               n == std::string("utf-16be")});
        } else if (lower == "utf-16be" || lower == "utf16be") {
            out.push_back({name, *encoding::encoding_from_short_name("utf-16le"), true});
        } else if (const auto id = encoding::encoding_from_short_name(name)) {
            out.push_back({name, *id, false});
        } else {
            bad = name;
            return false;
        }
        if (comma >= list.size()) break;
        from = comma + 1;
    }
    return true;
}

std::optional<Pattern> pattern_bytes(const Options& o, std::string& error) {
    return pattern_bytes(o, o.pattern, o.encoding, o.encoding_name, error);
}

std::string refusal_text(const Options& o, const pattern::Compiled& c, const std::string& typed,
                         const std::string& encoding_name) {
    static const char* const bad_hex_s[2] = {
        "invalid hexadecimal character '%1' at position %2 of the pattern",
        "caractère hexadécimal « %1 » invalide à la position %2 du motif"};
    static const char* const no_wildcard_left_s[2] = {
        "no punctuation character is left to stand for the wildcard: the pattern holds them all",
        "aucun signe de ponctuation ne reste pour tenir lieu de joker : le motif les contient tous"};
    static const char* const not_utf8_s[2] = {
        "the pattern is not valid UTF-8 (use --hex for raw bytes)",
        "le motif n'est pas de l'UTF-8 valide (employez --hex pour des octets bruts)"};
    static const char* const not_encodable_s[2] = {
        "the pattern has a character that %1 cannot represent",
        "le motif contient un caractère que %1 ne peut pas représenter"};
    static const char* const empty_s[2] = {"the pattern is empty", "le motif est vide"};
    static const char* const folded_s[2] = {
        "with --ignore-case the wildcard '%1' is folded together with the letter '%2'/'%3' of the "
        "pattern; choose a wildcard that is not a letter",
        "avec --ignore-case le joker « %1 » se confond avec la lettre « %2 »/« %3 » du motif ; "
        "choisissez un joker qui ne soit pas une lettre"};
    static const char* const wildcard_at_end_s[2] = {
        "the pattern must not begin or end with the wildcard",
        "le motif ne doit ni commencer ni finir par le joker"};
    static const char* const memory_s[2] = {"not enough memory for the pattern",
                                            "pas assez de mémoire pour le motif"};
    static const char* const cannot_convert_s[2] = {"the pattern cannot be converted to %1",
                                                    "le motif ne peut pas être converti en %1"};
    std::string error;
    switch (c.refusal) {
    case pattern::Refusal::None: break;
    case pattern::Refusal::InvalidHexDigit:
        error = text(bad_hex_s, {typed.substr(c.position, 1), std::to_string(c.position + 1)});
        break;
    case pattern::Refusal::NoWildcardLeft: error = text(no_wildcard_left_s); break;
    case pattern::Refusal::NotUtf8: error = text(not_utf8_s); break;
    case pattern::Refusal::NotEncodable: error = text(not_encodable_s, {encoding_name}); break;
    case pattern::Refusal::Empty: error = text(empty_s); break;
    case pattern::Refusal::WildcardHiddenInHex: error = text(wildcard_hidden_s); break;
    case pattern::Refusal::WildcardFoldedWithLetter: {
        const char lower = static_cast<char>(c.letter);
        const char upper = static_cast<char>(c.letter & ~0x20);
        error = text(folded_s, {std::string(1, static_cast<char>(*o.wildcard)), std::string(1, upper),
                                std::string(1, lower)});
        break;
    }
    case pattern::Refusal::WildcardAtEnd: error = text(wildcard_at_end_s); break;
    case pattern::Refusal::OutOfMemory: error = text(memory_s); break;
    case pattern::Refusal::CannotConvert: error = text(cannot_convert_s, {encoding_name}); break;
    }
    return error;
}

pattern::Options pattern_options(const Options& o, std::uint32_t id) {
    pattern::Options options;
    options.hexadecimal = o.hex;
    options.encoding = id;
    options.wildcard = o.wildcard;
    options.ignore_case = o.ignore_case;
    return options;
}

std::optional<Pattern> pattern_bytes(const Options& o, const std::string& typed, std::uint32_t id,
                                     const std::string& encoding_name, std::string& error) {
    pattern::Compiled c = pattern::compile_utf8(typed, pattern_options(o, id));
    if (c.ok()) return Pattern{std::move(c.bytes), c.wildcard};
    error = refusal_text(o, c, typed, encoding_name);
    return std::nullopt;
}

}  // namespace tw::cli
