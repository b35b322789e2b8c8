// The pattern compiler's own cases: positions of refused characters, the
// refusals no front end's table reaches, the user-defined encoding, stored
// bytes and the typing check. The window and trawlex-cli are compared on
// common patterns in the search window's test.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "pattern/pattern_compiler.h"
#include "pattern/target_forms.h"

namespace tw::pattern {
namespace {

namespace enc = tw::encoding;

std::u16string utf16(const std::string& utf8) { return *enc::to_text(utf8, enc::kUtf8).value; }

TEST(PatternCompiler, TypedPatternsGiveTheirBytesOrTheirRefusal) {
    const std::optional<std::uint8_t> none;
    const struct {
        std::string typed;  // UTF-8
        Options options;
        Refusal refusal;
        std::string bytes;
        std::optional<std::uint8_t> wildcard;
        std::size_t position = 0;  // UTF-16 position of the refused character
        std::string refused = {};
    } cases[] = {
        {"\xE2\x82\xAC", {false, enc::stored_from_registry(0x020F), none, false}, Refusal::None, "\xA4", none},
        {"a\xC3\xA9", {false, enc::kAscii, none, false}, Refusal::NotEncodable, "", none, 1, "\xC3\xA9"},
        {"a\xF0\x9F\x98\x80", {false, enc::kLatin1, none, false}, Refusal::NotEncodable, "", none, 1,
         "\xF0\x9F\x98\x80"},
        {"x", {false, enc::kRegistryFlag | 0x7FFF, none, false}, Refusal::CannotConvert, "", none, 0, "x"},
        {"xzy", {false, enc::kUtf8, 'Z', true}, Refusal::WildcardFoldedWithLetter, "xzy", 'Z'},
        {"41 7A z 42", {true, 0, 'z', true}, Refusal::None, "Az?B", '?'},
        {"? 41", {true, 0, '?', false}, Refusal::WildcardAtEnd, "?A", '?'},
        {"41 \xC3\xA9", {true, 0, none, false}, Refusal::InvalidHexDigit, "", none, 3, "\xC3\xA9"},
        {"41 0 42", {true, 0, '0', false}, Refusal::WildcardHiddenInHex, "", none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        const Compiled got = compile(utf16(c.typed), c.options);
        EXPECT_EQ(std::tie(got.refusal, got.bytes, got.wildcard, got.position, got.refused),
                  std::tuple(c.refusal, c.bytes, c.wildcard, c.position, utf16(c.refused)));
        // The same text as UTF-8 compiles alike.
        const Compiled from_utf8 = compile_utf8(c.typed, c.options);
        EXPECT_EQ(std::tie(from_utf8.refusal, from_utf8.bytes), std::tie(got.refusal, got.bytes));
    }
    EXPECT_EQ(compile_utf8("\xFF", {}).refusal, Refusal::NotUtf8);
}

// What the matcher makes of the bytes, also of bytes stored earlier: the
// wildcard counts only where the matcher, which lowers a folded pattern
// first, takes a byte for it.
TEST(PatternCompiler, StoredBytesFollowTheSameRules) {
    EXPECT_TRUE(compile(u"41 z 42", {true, 0, 'z', true}).holds_wildcard);
    EXPECT_FALSE(compile(u"41 3F 42", {true, 0, '?', false}).holds_wildcard);
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
        {"?ab", {false, enc::kAscii, '?', false}, Refusal::None, ""},
        {"ab\xC3\xA9z", {false, enc::kAscii, std::nullopt, false}, Refusal::NotEncodable, "\xC3\xA9"},
        {"4?", {true, 0, '?', false}, Refusal::None, ""},
        {"41 ?", {true, 0, std::nullopt, false}, Refusal::InvalidHexDigit, "?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        const Compiled got = check_characters(utf16(c.typed), c.options);
        EXPECT_EQ(std::tie(got.refusal, got.refused), std::tuple(c.refusal, utf16(c.refused)));
    }
}


// A user-defined encoding number is accepted when text can be compiled in
// it, and only then: every text in it compiles, or every one is refused.
TEST(PatternCompiler, AnEncodingIsUsableWhenTextCompilesInIt) {
    for (const std::uint32_t number : {0u, 0x0201u, 0x0500u, 0x0600u, 0x7FFFu, 0xFFFFFFFFu}) {
        const enc::EncodingId id = enc::stored_from_registry(number);
        SCOPED_TRACE(number);
        const Compiled c = compile(u"a", {false, id, std::nullopt, false});
        EXPECT_EQ(encoding_usable(id), c.ok());
        if (!c.ok()) {
            EXPECT_EQ(c.refusal, Refusal::CannotConvert);
        }
    }
    EXPECT_TRUE(encoding_usable(enc::kUtf8));
}

// The windows' forms: the typed text in each further encoding, further
// texts in the target's encoding too, byte orders swapped, repeats and the
// search string's own bytes left out; a further text no encoding gives, and
// a 64th form, refused.
TEST(TargetForms, TextsInEveryEncodingOnceEach) {
    FormsRequest r;
    r.first_bytes = "Key";
    r.typed = "Key";
    r.options.encoding = enc::kUtf8;
    r.encodings = common_form_encodings();
    r.more_texts = {"\u00e9t\u00e9"};
    const FormsBuilt b = build_target_forms(r);
    ASSERT_TRUE(b.ok());
    std::vector<std::string> bytes;
    for (const TargetForm& f : b.forms) bytes.push_back(f.bytes);
    EXPECT_EQ(bytes, (std::vector<std::string>{std::string("K\0e\0y\0", 6), std::string("\0K\0e\0y", 6),
                                               "\xC3\xA9t\xC3\xA9", std::string("\xE9\0t\0\xE9\0", 6),
                                               std::string("\0\xE9\0t\0\xE9", 6)}));
    EXPECT_TRUE(b.forms[1].big_endian && !b.forms[0].big_endian);
    EXPECT_EQ(b.forms[2].text, "\u00e9t\u00e9");

    r.encodings = {{enc::kAscii, false}};
    r.options.encoding = enc::kAscii;
    const FormsBuilt refused = build_target_forms(r);
    EXPECT_EQ(refused.refusal.refusal, Refusal::NotEncodable);
    EXPECT_EQ(refused.refused_text, "\u00e9t\u00e9");

    r.more_texts.clear();
    for (int i = 0; i < 64; ++i) r.more_texts.push_back("k" + std::to_string(i));
    EXPECT_TRUE(build_target_forms(r).too_many);
}

}  // namespace
}  // namespace tw::pattern
