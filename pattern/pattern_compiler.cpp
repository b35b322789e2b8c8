#include "pattern/pattern_compiler.h"

#include <new>

#include "engine/tw.h"

namespace tw::pattern {
namespace {

namespace enc = tw::encoding;

bool is_blank(char32_t c) { return c == 9 || c == 10 || c == 13 || c == 32; }

bool is_hex_digit(char32_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool is_letter(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::uint8_t lowered(std::uint8_t c) { return is_letter(c) ? static_cast<std::uint8_t>(c | 0x20) : c; }

// The character of `text` at `at`, a surrogate pair kept whole.
std::u16string character_at(std::u16string_view text, std::size_t at) {
    if (at >= text.size()) return {};
    const bool pair = text[at] >= 0xD800 && text[at] <= 0xDBFF && at + 1 < text.size() &&
                      text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF;
    return std::u16string(text.substr(at, pair ? 2 : 1));
}

Compiled refused(Refusal why, std::size_t position = 0, std::u16string character = {}) {
    Compiled c;
    c.refusal = why;
    c.position = position;
    c.refused = std::move(character);
    return c;
}

Refusal conversion_refusal(enc::ErrorKind kind) {
    switch (kind) {
    case enc::ErrorKind::Unrepresentable: return Refusal::NotEncodable;
    case enc::ErrorKind::OutOfMemory: return Refusal::OutOfMemory;
    default: return Refusal::CannotConvert;
    }
}

// The rules on the wildcard that both kinds of text share, once the bytes
// and the wildcard to store are known.
void settle(Compiled& c, const Options& o, bool hexadecimal) {
    if (c.bytes.empty()) {
        c = refused(Refusal::Empty);
        return;
    }
    if (!c.wildcard) return;
    const std::uint8_t wild = *c.wildcard;
    // The matcher lowers the pattern before it looks for the wildcard: a
    // letter wildcard would then stand for both cases of its letter, and a
    // capital one for none. In a hexadecimal text the typed bytes are
    // digits, and the wildcard has already moved wherever the matcher would
    // take a typed byte for it or miss a typed wildcard.
    if (!hexadecimal && o.ignore_case && is_letter(wild)) {
        for (const char b : c.bytes) {
            if (lowered(static_cast<std::uint8_t>(b)) == lowered(wild)) {
                c.refusal = Refusal::WildcardFoldedWithLetter;
                c.letter = lowered(wild);
                return;
            }
        }
    }
    for (const char b : c.bytes)
        if (acts_as_wildcard(static_cast<std::uint8_t>(b), wild, o.ignore_case)) c.holds_wildcard = true;
    if (static_cast<std::uint8_t>(c.bytes.front()) == wild ||
        static_cast<std::uint8_t>(c.bytes.back()) == wild)
        c.refusal = Refusal::WildcardAtEnd;
}

// A hexadecimal text as bytes (ASCII; any byte outside it is refused).
Compiled compile_hexadecimal(std::string_view ascii, const Options& o) {
    if (o.wildcard && hides_in_hexadecimal(*o.wildcard)) return refused(Refusal::WildcardHiddenInHex);
    for (std::size_t i = 0; i < ascii.size(); ++i) {
        const auto b = static_cast<unsigned char>(ascii[i]);
        if (b == 0 || b >= 128) return refused(Refusal::InvalidHexDigit, i, {static_cast<char16_t>(b)});
    }
    HexaPattern p;
    const std::string text(ascii);
    const u64 code = hexa_text_to_pattern(text.c_str(), o.wildcard ? static_cast<i64>(*o.wildcard) : -1,
                                          o.ignore_case, &p);
    if (code == ERR_INVALID_DIGIT) {
        const auto at = static_cast<std::size_t>(p.err_pos);
        return refused(Refusal::InvalidHexDigit, at, {static_cast<char16_t>(ascii[at])});
    }
    if (code != 0) return refused(Refusal::NoWildcardLeft);
    Compiled c;
    c.bytes.assign(reinterpret_cast<const char*>(p.bytes.data()), p.bytes.size());
    if (o.wildcard) {
        c.wildcard = p.wildcard;
        c.wildcard_moved = p.wildcard_changed;
        c.clashing_byte = p.clashing_byte;
    }
    settle(c, o, true);
    return c;
}

}  // namespace

bool hides_in_hexadecimal(std::uint8_t c) noexcept { return is_hex_digit(c) || is_blank(c); }

std::uint64_t result_code(Refusal refusal) noexcept {
    switch (refusal) {
    case Refusal::None: return 0;
    case Refusal::OutOfMemory: return ERR_MEMORY;
    case Refusal::WildcardAtEnd: return ERR_INVALID_NAME;
    case Refusal::InvalidHexDigit: return ERR_INVALID_DIGIT;
    default: return ERR_CORRUPTED;
    }
}

Compiled check_stored(std::string_view bytes, const Options& o) {
    try {
        Compiled c;
        c.bytes.assign(bytes);
        c.wildcard = o.wildcard;
        settle(c, o, o.hexadecimal);
        return c;
    } catch (const std::bad_alloc&) {
        return refused(Refusal::OutOfMemory);
    }
}

Compiled check_characters(std::u16string_view typed, const Options& o) {
    if (typed.empty()) return {};
    if (o.hexadecimal) {
        for (std::size_t i = 0; i < typed.size(); ++i) {
            const char16_t c = typed[i];
            if (is_hex_digit(c) || is_blank(c) || (o.wildcard && c == *o.wildcard)) continue;
            return refused(Refusal::InvalidHexDigit, i, character_at(typed, i));
        }
        return {};
    }
    const auto length = enc::encoded_length(typed, o.encoding);
    if (!length)
        return refused(conversion_refusal(length.error), length.error_offset,
                       character_at(typed, length.error_offset));
    if (*length.value == 0) return refused(Refusal::Empty);
    return {};
}

Compiled compile(std::u16string_view typed, const Options& o) {
    try {
        if (typed.empty()) return refused(Refusal::Empty);
        if (o.hexadecimal) {
            std::string ascii;
            ascii.reserve(typed.size());
            for (std::size_t i = 0; i < typed.size(); ++i) {
                if (typed[i] >= 128) return refused(Refusal::InvalidHexDigit, i, character_at(typed, i));
                ascii.push_back(static_cast<char>(typed[i]));
            }
            return compile_hexadecimal(ascii, o);
        }
        auto encoded = enc::to_bytes(typed, o.encoding);
        if (!encoded)
            return refused(conversion_refusal(encoded.error), encoded.error_offset,
                           character_at(typed, encoded.error_offset));
        Compiled c;
        c.bytes = std::move(*encoded.value);
        c.wildcard = o.wildcard;
        settle(c, o, false);
        return c;
    } catch (const std::bad_alloc&) {
        return refused(Refusal::OutOfMemory);
    }
}

Compiled compile_utf8(std::string_view typed, const Options& o) {
    try {
        if (typed.empty()) return refused(Refusal::Empty);
        if (o.hexadecimal) return compile_hexadecimal(typed, o);
        const auto text = enc::to_text(typed, enc::kUtf8);
        if (!text) {
            if (text.error == enc::ErrorKind::OutOfMemory) return refused(Refusal::OutOfMemory);
            return refused(Refusal::NotUtf8, text.error_offset);
        }
        return compile(*text.value, o);
    } catch (const std::bad_alloc&) {
        return refused(Refusal::OutOfMemory);
    }
}

bool encoding_usable(encoding::EncodingId encoding) { return encoding::is_supported(encoding); }

}  // namespace tw::pattern
