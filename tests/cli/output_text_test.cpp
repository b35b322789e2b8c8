// The path forms of trawlex-cli's output: escapes, UTF-8 check, base64
// and JSON strings, against fixed vectors (RFC 4648 for base64).
#include <gtest/gtest.h>

#include <string>

#include "cli/output_text.h"

namespace {

using namespace tw::cli;

TEST(OutputText, EscapesTheFourSeparatorsOnly) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"/a/b", "/a/b"},
        {"q\n/etc/passwd", "q\\n/etc/passwd"},
        {"a\tb\rc\\d", "a\\tb\\rc\\\\d"},
        {"\\n", "\\\\n"},
        {std::string("x\0y\x01\xff", 5), std::string("x\0y\x01\xff", 5)},
    };
    for (const Case& c : cases) {
        std::string out;
        append_escaped(out, c.in);
        EXPECT_EQ(out, c.out);
    }
}

TEST(OutputText, Utf8IsCheckedStrictly) {
    struct Case {
        std::string bytes;
        bool valid;
    } cases[] = {
        {"", true},
        {"plain", true},
        {"\xE2\x82\xAC", true},
        {"\xF0\x9F\x98\x80", true},
        {"\xC3\xA9t\xC3\xA9", true},
        {"\x80", false},
        {"\xC0\x80", false},          // overlong NUL
        {"\xE0\x80\xAF", false},      // overlong slash
        {"\xED\xA0\x80", false},      // surrogate
        {"\xF4\x90\x80\x80", false},  // above U+10FFFF
        {"\xE2\x82", false},          // cut short
        {"\xFF", false},
    };
    for (const Case& c : cases) EXPECT_EQ(is_utf8(c.bytes), c.valid) << c.bytes;
}

TEST(OutputText, Base64AndJsonForms) {
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},          {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"\xff\xfe", "//4="},
    };
    for (const auto& [in, want] : vectors) {
        std::string out;
        append_base64(out, in);
        EXPECT_EQ(out, want);
    }
    std::string json;
    append_json_path(json, "a\"b\\c\n\x01");
    EXPECT_EQ(json, "{\"text\":\"a\\\"b\\\\c\\n\\u0001\"}");
    json.clear();
    append_json_path(json, "/x\xff");
    EXPECT_EQ(json, "{\"bytes\":\"L3j/\"}");
}

}  // namespace
