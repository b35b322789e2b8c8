#include "cli/output_text.h"

#include <cstdint>

namespace tw::cli {

void append_escaped(std::string& out, std::string_view path) {
    for (const char c : path) {
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        default: out.push_back(c);
        }
    }
}

bool is_utf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len = 0;
        unsigned lo = 0x80, hi = 0xBF;  // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) len = 2;
        else if (c == 0xE0) len = 3, lo = 0xA0;
        else if (c == 0xED) len = 3, hi = 0x9F;
        else if (c >= 0xE1 && c <= 0xEF) len = 3;
        else if (c == 0xF0) len = 4, lo = 0x90;
        else if (c == 0xF4) len = 4, hi = 0x8F;
        else if (c >= 0xF1 && c <= 0xF3) len = 4;
        else return false;
        if (n - i < len || p[i + 1] < lo || p[i + 1] > hi) return false;
        for (std::size_t k = 2; k < len; ++k)
            if (p[i + k] < 0x80 || p[i + k] > 0xBF) return false;
        i += len;
    }
    return true;
}

void append_json_string(std::string& out, std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    out.push_back('"');
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                out += "\\u00";
                out.push_back(kHex[c >> 4]);
                out.push_back(kHex[c & 15]);
            } else {
                out.push_back(ch);
            }
        }
    }
    out.push_back('"');
}

void append_base64(std::string& out, std::string_view bytes) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t v = (p[i] << 16) | (p[i + 1] << 8) | p[i + 2];
        out.push_back(kDigits[v >> 18]);
        out.push_back(kDigits[(v >> 12) & 63]);
        out.push_back(kDigits[(v >> 6) & 63]);
        out.push_back(kDigits[v & 63]);
    }
    const std::size_t rest = bytes.size() - i;
    if (rest == 0) return;
    const std::uint32_t v = (p[i] << 16) | (rest == 2 ? p[i + 1] << 8 : 0);
    out.push_back(kDigits[v >> 18]);
    out.push_back(kDigits[(v >> 12) & 63]);
    out.push_back(rest == 2 ? kDigits[(v >> 6) & 63] : '=');
    out.push_back('=');
}

void append_json_path(std::string& out, std::string_view path) {
    if (is_utf8(path)) {
        out += "{\"text\":";
        append_json_string(out, path);
    } else {
        out += "{\"bytes\":\"";
        append_base64(out, path);
        out.push_back('"');
    }
    out.push_back('}');
}

}  // namespace tw::cli
