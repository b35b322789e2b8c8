// Hexadecimal text to bytes and back, and the viewer's dump lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/tw.h"

using namespace tw;

namespace {

constexpr i64 kNoWildcard = -1;

struct Converted {
    i64 result;
    std::vector<std::uint8_t> bytes;
    i64 err_pos;
};

Converted convert(const std::string& text, i64 wildcard = kNoWildcard) {
    // Sentinel bytes after the room the caller must provide show any
    // write past it.
    std::vector<std::uint8_t> out(text.size() + 1 + 8, 0xEE);
    u64 count = 12345;
    i64 err = 12345;
    const i64 r = hexa_str_to_bytes_array(text.c_str(), out.data(), &count, &err, wildcard);
    for (std::size_t i = text.size() + 1; i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << text;
    if (r != 0) count = 0;
    return {r, std::vector<std::uint8_t>(out.begin(), out.begin() + static_cast<long>(count)), err};
}

using B = std::vector<std::uint8_t>;

TEST(HexaToBytes, BlanksAreIgnoredAndNeverSeparateBytes) {
    for (const char* text : {"41 42", "4142", "41 4 2", "\t41\r\n42 ", " 4 1 4 2 "}) {
        const Converted c = convert(text);
        EXPECT_EQ(c.result, 0) << text;
        EXPECT_EQ(c.bytes, (B{0x41, 0x42})) << text;
        EXPECT_EQ(c.err_pos, -1) << text;
    }
}

TEST(HexaToBytes, OddDigitCountGivesTheFirstDigitItsOwnByte) {
    EXPECT_EQ(convert("F").bytes, (B{0x0F}));
    EXPECT_EQ(convert("ABC").bytes, (B{0x0A, 0xBC}));
    EXPECT_EQ(convert("12 3").bytes, (B{0x01, 0x23}));
    EXPECT_EQ(convert("abcdef").bytes, (B{0xAB, 0xCD, 0xEF}));
}

TEST(HexaToBytes, EmptyOrBlankTextGivesNoBytes) {
    for (const char* text : {"", "   ", "\n"}) {
        const Converted c = convert(text);
        EXPECT_EQ(c.result, 0);
        EXPECT_TRUE(c.bytes.empty());
        EXPECT_EQ(c.err_pos, -1);
    }
}

TEST(HexaToBytes, InvalidCharacterGivesItsIndex) {
    Converted c = convert("4G");
    EXPECT_EQ(c.result, -1);
    EXPECT_EQ(c.err_pos, 1);
    c = convert("41 42 x");
    EXPECT_EQ(c.result, -1);
    EXPECT_EQ(c.err_pos, 6);
    // Without a wildcard, "?" is an ordinary invalid character.
    c = convert("41?42");
    EXPECT_EQ(c.result, -1);
    EXPECT_EQ(c.err_pos, 2);
    // The first pass finds a bad character even after a misplaced wildcard.
    c = convert("4?1 Z", 63);
    EXPECT_EQ(c.err_pos, 4);
}

TEST(HexaToBytes, WildcardIsOneByteAtAByteBoundary) {
    Converted c = convert("41?42", 63);
    EXPECT_EQ(c.result, 0);
    EXPECT_EQ(c.bytes, (B{0x41, 0x3F, 0x42}));
    c = convert("?41", 63);
    EXPECT_EQ(c.result, 0);
    EXPECT_EQ(c.bytes, (B{0x3F, 0x41}));
    c = convert("41 ?? 42", 63);
    EXPECT_EQ(c.bytes, (B{0x41, 0x3F, 0x3F, 0x42}));
    c = convert("41*42", '*');
    EXPECT_EQ(c.bytes, (B{0x41, 0x2A, 0x42}));
}

TEST(HexaToBytes, WildcardInsideAByteIsRefusedWithItsIndex) {
    Converted c = convert("4?1", 63);
    EXPECT_EQ(c.result, -1);
    EXPECT_EQ(c.err_pos, 1);
    // Odd count: the first digit stands alone, so a wildcard before it
    // falls inside that byte.
    c = convert("?123", 63);
    EXPECT_EQ(c.result, -1);
    EXPECT_EQ(c.err_pos, 0);
    c = convert("1 ?23", 63);
    EXPECT_EQ(c.result, 0);
    EXPECT_EQ(c.bytes, (B{0x01, 0x3F, 0x23}));
}

std::string to_hexa(const B& bytes, u64 wildcard = ~u64{0}) {
    std::string text(3 * bytes.size() + 1, '#');
    const u64 n = bytes_array_to_hexa_str(text.data(), bytes.data(), bytes.size(), wildcard);
    EXPECT_EQ(text[n], '\0');
    return text.substr(0, n);
}

TEST(BytesToHexa, CapitalDigitsEachFollowedByASpace) {
    EXPECT_EQ(to_hexa({0x00, 0x0a, 0xff, 0x41}), "00 0A FF 41 ");
    EXPECT_EQ(to_hexa({}), "");
    // Without a wildcard 0x3F is written as digits.
    EXPECT_EQ(to_hexa({0x41, 0x3F, 0xFF}), "41 3F FF ");
}

TEST(BytesToHexa, WildcardByteIsWrittenAsItself) {
    const std::string text = to_hexa({0x41, 0x3F, 0xFF}, 63);
    EXPECT_EQ(text, "41 ? FF ");
    EXPECT_EQ(text.size(), 8u);
}

TEST(BytesToHexa, RoundTripsThroughHexaToBytes) {
    B all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<std::uint8_t>(i));
    const Converted back = convert(to_hexa(all));
    EXPECT_EQ(back.result, 0);
    EXPECT_EQ(back.bytes, all);
}

std::string dump(const B& bytes, u64 offset) {
    std::string line(19 + 4 * bytes.size() + 8, '#');
    const u64 n = build_dump_line(line.data(), bytes.size(), bytes.data(), offset);
    // The line has no NUL of its own: what follows is untouched.
    EXPECT_EQ(line[n], '#');
    return line.substr(0, n);
}

TEST(DumpLine, ShortLine) {
    const std::string line = dump({'H', 'i', '!'}, 255);
    EXPECT_EQ(line, "00000000000000FF  48 69 21  Hi!");
    EXPECT_EQ(line.size(), 31u);
}

TEST(DumpLine, SixteenBytesWithNonPrintables) {
    B bytes = {0x00, 0x1F, ' ', 'A', '~', 0x7F, 0x80, 0xFF, 'z', '0', '\n', '\t', 'a', 'b', 'c', 'd'};
    const std::string line = dump(bytes, 0x123456789ABCDEF0ull);
    EXPECT_EQ(line.size(), 83u);
    EXPECT_EQ(line,
              "123456789ABCDEF0  00 1F 20 41 7E 7F 80 FF 7A 30 0A 09 61 62 63 64  "
              ".. A~...z0..abcd");
}

TEST(DumpLine, NoBytesIsTheOffsetAndThreeSpaces) {
    EXPECT_EQ(dump({}, 0), "0000000000000000   ");
}

}  // namespace
