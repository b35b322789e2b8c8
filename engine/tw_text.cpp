// Text helpers: hexadecimal text to bytes and back, and one line of the
// viewer's hexadecimal dump.
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

i64 hexa_str_to_bytes_array(const char* text, std::uint8_t* bytes, u64* count, i64* err_pos,
                            i64 wildcard) {
    *count = 0;
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
    u64 written = 0;
    for (i64 i = 0; text[i] != '\0'; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (is_blank(c)) continue;
        if (is_wildcard(c)) {
            // A wildcard stands for a whole byte, so only at a byte boundary.
            if (pending) {
                *err_pos = i;
                return -1;
            }
            bytes[written++] = c;
            continue;
        }
        const auto value = static_cast<unsigned>(digit_value(c));
        if (pending) {
            bytes[written++] = static_cast<std::uint8_t>((high << 4) | value);
            pending = false;
        } else {
            high = value;
            pending = true;
        }
    }
    *count = written;
    return 0;
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
