// Text helpers: hexadecimal text to bytes and back (with the wildcard byte
// of a search pattern), and one line of the viewer's hexadecimal dump.
#include <vector>

#include "engine/tw.h"

namespace tw {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool is_blank(unsigned char c) { return c == 9 || c == 10 || c == 13 || c == 32; }

// Value 0 to 15 of a hexadecimal digit, -1 for any other character.
int digit_value(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

char* put_hex(char* out, u64 value, int digits) {
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = kHexDigits[value & 15];
        value >>= 4;
    }
    return out + digits;
}

}  // namespace

namespace {

// The conversion of a hexadecimal text: `put` receives each byte in order
// and whether it stands for the wildcard. -1 with *err_pos set on a refused
// character (nothing is put then) or on a misplaced wildcard (the bytes
// before it are put), else 0.
template <typename Put>
i64 decode_hexa(const char* text, i64 wildcard, i64* err_pos, Put put) {
    *err_pos = -1;
    // A wildcard outside the byte range can never match a character.
    const bool has_wildcard = wildcard >= 0 && wildcard <= 255;
    auto is_wildcard = [&](unsigned char c) { return has_wildcard && c == wildcard; };

    // First pass: validate and count the digits. The wildcard character is
    // tested before the digits, so a wildcard that is itself a digit counts
    // as the wildcard in both passes.
    u64 digits = 0;
    for (i64 i = 0; text[i] != '\0'; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (is_blank(c) || is_wildcard(c)) continue;
        if (digit_value(c) < 0) {
            *err_pos = i;
            return -1;
        }
        ++digits;
    }

    // With an odd count the first digit stands alone, as if a 0 preceded it:
    // start as though a high digit 0 were already pending.
    bool pending = (digits & 1) != 0;
    unsigned high = 0;
    for (i64 i = 0; text[i] != '\0'; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (is_blank(c)) continue;
        if (is_wildcard(c)) {
            // A wildcard stands for a whole byte, so only at a byte boundary.
            if (pending) {
                *err_pos = i;
                return -1;
            }
            put(c, true);
            continue;
        }
        const auto value = static_cast<unsigned>(digit_value(c));
        if (pending) {
            put(static_cast<std::uint8_t>((high << 4) | value), false);
            pending = false;
        } else {
            high = value;
            pending = true;
        }
    }
    return 0;
}

std::uint8_t lowered(std::uint8_t c) {
    return c >= 'A' && c <= 'Z' ? static_cast<std::uint8_t>(c | 0x20) : c;
}

// The characters that may stand for the wildcard when the typed one cannot:
// every printable ASCII punctuation character (never a digit, a letter or a
// blank, which a hexadecimal text would read otherwise, nor a character that
// case folding changes), the usual wildcards first.
constexpr char kWildcardChoices[] = "?*#%@&!$+=~^_|:;.,-/\\<>'\"`()[]{}";
static_assert(sizeof kWildcardChoices - 1 == 32);

}  // namespace

i64 hexa_str_to_bytes_array(const char* text, std::uint8_t* bytes, u64* count, i64* err_pos,
                            i64 wildcard) {
    *count = 0;
    u64 written = 0;
    if (decode_hexa(text, wildcard, err_pos,
                    [&](std::uint8_t b, bool) { bytes[written++] = b; }) != 0)
        return -1;
    *count = written;
    return 0;
}

bool acts_as_wildcard(std::uint8_t byte, std::uint8_t wildcard, bool case_insensitive) {
    return (case_insensitive ? lowered(byte) : byte) == wildcard;
}

u64 hexa_text_to_pattern(const char* text, i64 symbol, bool case_insensitive, HexaPattern* out) {
    *out = HexaPattern{};
    std::vector<bool> is_wild;
    if (decode_hexa(text, symbol, &out->err_pos, [&](std::uint8_t b, bool wild) {
            out->bytes.push_back(b);
            is_wild.push_back(wild);
        }) != 0) {
        out->bytes.clear();
        return ERR_INVALID_DIGIT;
    }
    if (symbol < 0 || symbol > 255) return 0;

    // The characters that a literal byte is taken for by the matcher.
    bool taken[256] = {};
    for (std::size_t i = 0; i < out->bytes.size(); ++i)
        if (!is_wild[i]) taken[case_insensitive ? lowered(out->bytes[i]) : out->bytes[i]] = true;
    auto usable = [&](std::uint8_t c) {
        return !taken[c] && !(case_insensitive && lowered(c) != c);
    };

    auto wildcard = static_cast<std::uint8_t>(symbol);
    if (!usable(wildcard)) {
        for (std::size_t i = 0; i < out->bytes.size(); ++i) {
            if (!is_wild[i] && acts_as_wildcard(out->bytes[i], wildcard, case_insensitive)) {
                out->clashing_byte = out->bytes[i];
                break;
            }
        }
        const char* choice = kWildcardChoices;
        while (*choice != '\0' && !usable(static_cast<std::uint8_t>(*choice))) ++choice;
        if (*choice == '\0') {
            out->bytes.clear();
            return ERR_CORRUPTED;
        }
        wildcard = static_cast<std::uint8_t>(*choice);
        out->wildcard_changed = true;
    }
    out->wildcard = wildcard;
    for (std::size_t i = 0; i < out->bytes.size(); ++i)
        if (is_wild[i]) out->bytes[i] = wildcard;
    return 0;
}

std::string hexa_pattern_text(const std::uint8_t* bytes, u64 count, i64 wildcard,
                              bool case_insensitive) {
    const bool has_wildcard = wildcard >= 0 && wildcard <= 255;
    std::string text;
    text.reserve(static_cast<std::size_t>(count) * 3);
    char digits[2];
    for (u64 i = 0; i < count; ++i) {
        if (has_wildcard &&
            acts_as_wildcard(bytes[i], static_cast<std::uint8_t>(wildcard), case_insensitive)) {
            text.push_back(static_cast<char>(wildcard));
        } else {
            put_hex(digits, bytes[i], 2);
            text.append(digits, 2);
        }
        text.push_back(' ');
    }
    return text;
}

u64 bytes_array_to_hexa_str(char* text, const std::uint8_t* bytes, u64 count, u64 wildcard) {
    char* out = text;
    for (u64 i = 0; i < count; ++i) {
        if (wildcard != ~u64{0} && bytes[i] == wildcard) {
            *out++ = static_cast<char>(bytes[i]);
        } else {
            out = put_hex(out, bytes[i], 2);
        }
        *out++ = ' ';
    }
    *out = '\0';
    return static_cast<u64>(out - text);
}

u64 build_dump_line(char* line, u64 count, const std::uint8_t* bytes, u64 offset) {
    char* out = put_hex(line, offset, 16);
    *out++ = ' ';
    *out++ = ' ';
    for (u64 i = 0; i < count; ++i) {
        out = put_hex(out, bytes[i], 2);
        *out++ = ' ';
    }
    *out++ = ' ';
    for (u64 i = 0; i < count; ++i)
        *out++ = bytes[i] >= 32 && bytes[i] <= 126 ? static_cast<char>(bytes[i]) : '.';
    return static_cast<u64>(out - line);
}

}  // namespace tw
