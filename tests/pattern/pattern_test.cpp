// The pattern compiler: typed text in several encodings and hexadecimal
// text, with and without the wildcard and case folding, gives its bytes and
// the wildcard to store, or its one refusal with the details the front ends
// word their messages from.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>

#include "pattern/pattern_compiler.h"

namespace tw::pattern {
namespace {

namespace enc = tw::encoding;

std::u16string utf16(const std::string& utf8) { return *enc::to_text(utf8, enc::kUtf8).value; }

struct Case {
    std::string typed;  // UTF-8
    bool hex;
    enc::EncodingId encoding;
    std::optional<std::uint8_t> symbol;
    bool fold;
    Refusal refusal;
    std::string bytes;                     // expected when accepted or the wildcard refused
    std::optional<std::uint8_t> wildcard;  // expected wildcard to store
    std::size_t position = 0;              // UTF-16 position of a refused character
    std::string refused = {};              // the refused character, UTF-8
};

// Every punctuation character that may replace a wildcard, as hexadecimal
// digits: a pattern holding them all leaves none for the wildcard.
std::string all_punctuation_hex() {
    std::string hex;
    for (const char c : std::string("?*#%@&!$+=~^_|:;.,-/\\<>'\"`()[]{}")) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X ", static_cast<unsigned char>(c));
        hex += pair;
    }
    return hex;
}

TEST(PatternCompiler, TypedPatternsGiveTheirBytesOrTheirRefusal) {
    const std::optional<std::uint8_t> none;
    const Case cases[] = {
        {"h\xC3\xA9llo", false, enc::kLatin1, none, false, Refusal::None, "h\xE9llo", none},
        {"h\xC3\xA9", false, enc::kUtf16, none, false, Refusal::None, std::string("h\0\xE9\0", 4), none},
        {"h\xC3\xA9", false, enc::kUtf8, none, false, Refusal::None, "h\xC3\xA9", none},
        {"\xE6\x97\xA5", false, enc::kShiftJis, none, false, Refusal::None, "\x93\xFA", none},
        // The preferences' user-defined encoding: a registry number (ISO Latin 9).
        {"\xE2\x82\xAC", false, enc::stored_from_registry(0x020F), none, false, Refusal::None, "\xA4", none},
        {"a\xC3\xA9", false, enc::kAscii, none, false, Refusal::NotEncodable, "", none, 1, "\xC3\xA9"},
        {"a\xF0\x9F\x98\x80", false, enc::kLatin1, none, false, Refusal::NotEncodable, "", none, 1,
         "\xF0\x9F\x98\x80"},
        {"x", false, enc::kRegistryFlag | 0x7FFF, none, false, Refusal::CannotConvert, "", none},
        {"", false, enc::kUtf8, none, false, Refusal::Empty, "", none},
        {"h?llo", false, enc::kUtf8, '?', false, Refusal::None, "h?llo", '?'},
        {"?ab", false, enc::kUtf8, '?', false, Refusal::WildcardAtEnd, "?ab", '?'},
        {"ab?", false, enc::kUtf8, '?', true, Refusal::WildcardAtEnd, "ab?", '?'},
        // A letter wildcard under case folding, in either case of either.
        {"xZy", false, enc::kUtf8, 'Z', true, Refusal::WildcardFoldedWithLetter, "xZy", none},
        {"xzy", false, enc::kUtf8, 'Z', true, Refusal::WildcardFoldedWithLetter, "xzy", none},
        {"aHb", false, enc::kUtf8, 'h', true, Refusal::WildcardFoldedWithLetter, "aHb", none},
        {"xZy", false, enc::kUtf8, 'Z', false, Refusal::None, "xZy", 'Z'},
        {"abc", false, enc::kUtf8, 'Z', true, Refusal::None, "abc", 'Z'},
        // Hexadecimal: a digit pair is always its byte.
        {"41 ? 42", true, 0, '?', false, Refusal::None, "A?B", '?'},
        {"4142 43", true, 0, none, false, Refusal::None, "ABC", none},
        {"3F 68 ? 6C", true, 0, '?', false, Refusal::None, "?h*l", '*'},
        {"48 Z 4C", true, 0, 'Z', true, Refusal::None, "H?L", '?'},
        {"41 z 42", true, 0, 'z', true, Refusal::None, "AzB", 'z'},
        {"41 7A z 42", true, 0, 'z', true, Refusal::None, "Az?B", '?'},
        {"? 41", true, 0, '?', false, Refusal::WildcardAtEnd, "?A", '?'},
        {"68 6G", true, 0, none, false, Refusal::InvalidHexDigit, "", none, 4, "G"},
        {"6?8", true, 0, '?', false, Refusal::InvalidHexDigit, "", none, 1, "?"},
        {"41 \xC3\xA9", true, 0, none, false, Refusal::InvalidHexDigit, "", none, 3, "\xC3\xA9"},
        {"  ", true, 0, none, false, Refusal::Empty, "", none},
        {"41 0 42", true, 0, '0', false, Refusal::WildcardHiddenInHex, "", none},
        {all_punctuation_hex() + "41 ? 42", true, 0, '?', false, Refusal::NoWildcardLeft, "", none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        const Options options{c.hex, c.encoding, c.symbol, c.fold};
        const Compiled got = compile(utf16(c.typed), options);
        EXPECT_EQ(got.refusal, c.refusal);
        EXPECT_EQ(got.bytes, c.bytes);
        if (c.refusal == Refusal::None || c.refusal == Refusal::WildcardAtEnd) {
            EXPECT_EQ(got.wildcard, c.wildcard);
            EXPECT_EQ(got.wildcard_moved, c.wildcard != c.symbol);
        }
        if (!c.refused.empty()) {
            EXPECT_EQ(got.position, c.position);
            EXPECT_EQ(got.refused, utf16(c.refused));
        }
        if (c.refusal == Refusal::WildcardFoldedWithLetter) {
            EXPECT_EQ(got.letter, c.symbol.value() | 0x20);
        }
        // The same text as UTF-8 compiles alike.
        const Compiled from_utf8 = compile_utf8(c.typed, options);
        EXPECT_EQ(from_utf8.refusal, got.refusal);
        EXPECT_EQ(from_utf8.bytes, got.bytes);
        EXPECT_EQ(from_utf8.wildcard, got.wildcard);
    }
    EXPECT_EQ(compile_utf8("\xFF", {}).refusal, Refusal::NotUtf8);
}

// What the matcher makes of the bytes: the wildcard counts only where the
// matcher, which lowers a folded pattern first, takes a byte for it.
TEST(PatternCompiler, TheWildcardIsHeldOnlyWhereTheMatcherSeesIt) {
    EXPECT_TRUE(compile(u"a?b", {false, enc::kUtf8, '?', false}).holds_wildcard);
    EXPECT_FALSE(compile(u"abc", {false, enc::kUtf8, '?', false}).holds_wildcard);
    EXPECT_FALSE(compile(u"41 3F 42", {true, 0, '?', false}).holds_wildcard);
    EXPECT_TRUE(compile(u"41 z 42", {true, 0, 'z', true}).holds_wildcard);
    // Stored bytes, as a saved target holds them, follow the same rules.
    EXPECT_EQ(check_stored("xZy", {false, enc::kUtf8, 'Z', true}).refusal, Refusal::WildcardFoldedWithLetter);
    EXPECT_EQ(check_stored("xZy", {true, enc::kUtf8, 'Z', true}).refusal, Refusal::None);
    EXPECT_EQ(check_stored("?ab", {false, enc::kUtf8, '?', false}).refusal, Refusal::WildcardAtEnd);
}

// While typed, only the characters count: pairing and the wildcard's place
// wait for the compilation.
TEST(PatternCompiler, TheTypingCheckLooksAtCharactersOnly) {
    const struct {
        std::string typed;
        Options options;
        Refusal refusal;
        std::string refused;
    } cases[] = {
        {"", {false, enc::kAscii, std::nullopt, false}, Refusal::None, ""},
        {"?ab", {false, enc::kAscii, '?', false}, Refusal::None, ""},
        {"ab\xC3\xA9z", {false, enc::kAscii, std::nullopt, false}, Refusal::NotEncodable, "\xC3\xA9"},
        {"4?", {true, 0, '?', false}, Refusal::None, ""},
        {"41 G", {true, 0, std::nullopt, false}, Refusal::InvalidHexDigit, "G"},
        {"41 ?", {true, 0, std::nullopt, false}, Refusal::InvalidHexDigit, "?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        const Compiled got = check_characters(utf16(c.typed), c.options);
        EXPECT_EQ(got.refusal, c.refusal);
        EXPECT_EQ(got.refused, utf16(c.refused));
    }
    EXPECT_EQ(result_code(Refusal::InvalidHexDigit), 13u);
    EXPECT_EQ(result_code(Refusal::WildcardAtEnd), 10u);
    EXPECT_EQ(result_code(Refusal::WildcardFoldedWithLetter), 9u);
}

}  // namespace
}  // namespace tw::pattern
