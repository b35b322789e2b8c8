// The Adobe Symbol table: its Greek letters and mathematical signs both
// ways, the bytes it leaves undefined, and the characters it lacks.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "encoding/string_encoding.h"
#include "test_bytes.h"

namespace tw::encoding {
namespace {

using testing::hex;

// Byte -> character pairs of the public Adobe Symbol mapping.
const std::pair<unsigned char, char16_t> kKnown[] = {
    {0x41, u'\u0391'},  // Alpha
    {0x42, u'\u0392'},  // Beta
    {0x44, u'\u0394'},  // Delta
    {0x47, u'\u0393'},  // Gamma
    {0x4A, u'\u03D1'},  // theta symbol
    {0x50, u'\u03A0'},  // Pi
    {0x53, u'\u03A3'},  // Sigma
    {0x57, u'\u03A9'},  // Omega
    {0x61, u'\u03B1'},  // alpha
    {0x62, u'\u03B2'},  // beta
    {0x64, u'\u03B4'},  // delta
    {0x6C, u'\u03BB'},  // lambda
    {0x6D, u'\u03BC'},  // mu
    {0x70, u'\u03C0'},  // pi
    {0x73, u'\u03C3'},  // sigma
    {0x56, u'\u03C2'},  // final sigma
    {0x77, u'\u03C9'},  // omega
    {0x22, u'\u2200'},  // for all
    {0x24, u'\u2203'},  // there exists
    {0x2D, u'\u2212'},  // minus sign
    {0xA5, u'\u221E'},  // infinity
    {0xB9, u'\u2260'},  // not equal
    {0xD6, u'\u221A'},  // square root
    {0xE5, u'\u2211'},  // summation
    {0xF2, u'\u222B'},  // integral
    {0xC6, u'\u2205'},  // empty set
    {0xAE, u'\u2192'},  // arrow right
    {0x30, u'0'},
    {0x20, u' '},
};

TEST(SymbolTable, GreekLettersAndSignsBothWays) {
  for (auto [byte, unit] : kKnown) {
    SCOPED_TRACE(::testing::Message() << "byte " << std::hex << unsigned(byte));
    const std::string one(1, static_cast<char>(byte));
    Result<std::u16string> text = to_text(one, kSymbol);
    ASSERT_TRUE(text.ok());
    EXPECT_EQ(hex(*text.value), hex(std::u16string(1, unit)));
    Result<std::string> back = to_bytes(std::u16string(1, unit), kSymbol);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(hex(*back.value), hex(one));
  }
}

TEST(SymbolTable, EveryDefinedByteRoundTripsAndTheRestAreInvalid) {
  int defined = 0;
  for (unsigned b = 0; b < 256; ++b) {
    SCOPED_TRACE(b);
    const std::string one(1, static_cast<char>(b));
    Result<std::u16string> text = to_text(one, kSymbol);
    const bool undefined = (b >= 0x80 && b <= 0x9F) || b == 0xF0 || b == 0xFF;
    if (undefined) {
      ASSERT_FALSE(text.ok());
      EXPECT_EQ(text.error, ErrorKind::InvalidBytes);
      continue;
    }
    ++defined;
    ASSERT_TRUE(text.ok());
    ASSERT_EQ(text.value->size(), 1u);
    Result<std::string> back = to_bytes(*text.value, kSymbol);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(*back.value, one);  // no two bytes share a character
  }
  EXPECT_EQ(defined, 222);
}

TEST(SymbolTable, SecondUnicodeSpellingsGoToTheSameByte) {
  EXPECT_EQ(hex(*to_bytes(u"\u2126", kSymbol).value), "57");  // ohm sign
  EXPECT_EQ(hex(*to_bytes(u"\u00B5", kSymbol).value), "6D");  // micro sign
  EXPECT_EQ(hex(*to_bytes(u"\u2206", kSymbol).value), "44");  // increment
  // ... but reading the byte gives the Greek letter.
  EXPECT_EQ(hex(*to_text("\x57", kSymbol).value), "03A9");
}

TEST(SymbolTable, LatinAndCyrillicLettersAreNotInIt) {
  for (std::u16string_view text : {u"a", u"\u03b1b", u"\u043f", u"\u00e9"}) {
    Result<std::string> r = to_bytes(text, kSymbol);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error, ErrorKind::Unrepresentable);
    EXPECT_EQ(r.error_offset, text.size() - 1);
  }
  // Outside the Basic Multilingual Plane: nothing in Symbol.
  EXPECT_FALSE(can_encode(u"\U0001D6FC", kSymbol));
}

TEST(SymbolTable, InvalidByteIsReportedWhereItIs) {
  Result<std::u16string> r = to_text(std::string("\x61\x62\x80\x63", 4), kSymbol);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error, ErrorKind::InvalidBytes);
  EXPECT_EQ(r.error_offset, 2u);
}

TEST(SymbolTable, ControlsAndNulPassThrough) {
  const std::u16string text(u"\u03b1\0\t\n", 4);
  Result<std::string> encoded = to_bytes(text, kSymbol);
  ASSERT_TRUE(encoded.ok());
  EXPECT_EQ(hex(*encoded.value), "61 00 09 0A");
  EXPECT_EQ(hex(*to_text(*encoded.value, kSymbol).value), hex(text));
}

}  // namespace
}  // namespace tw::encoding
