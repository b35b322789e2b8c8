// The 15 fixed encodings: round trips with known byte sequences, refusal of
// characters they cannot hold, refusal of invalid bytes, UTF-16 byte order,
// byte lengths, pull-down rows and command-line names.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "encoding/string_encoding.h"
#include "test_bytes.h"

namespace tw::encoding {
namespace {

using testing::bytes;
using testing::hex;

struct FixedCase {
  const char* label;
  EncodingId id;
  std::u16string_view sample;      // text the encoding can hold
  std::string expected;            // its bytes, from the published code charts
  std::u16string_view refused;     // text with one character the encoding lacks
  std::size_t refused_at;          // index of that character
  std::string invalid;             // bytes that are no text in it ("" = every byte is valid)
  std::size_t invalid_at;          // where the invalid sequence starts
};

std::ostream& operator<<(std::ostream& os, const FixedCase& c) { return os << c.label; }

const FixedCase kCases[] = {
    {"ascii", kAscii, u"Hello,\tworld!", "Hello,\tworld!", u"caf\u00e9", 3, bytes({0x41, 0x80}), 1},
    {"utf8", kUtf8, u"h\u00e9\u4e2d\U0001F600",
     bytes({0x68, 0xC3, 0xA9, 0xE4, 0xB8, 0xAD, 0xF0, 0x9F, 0x98, 0x80}),
     std::u16string_view(u"a\xD800z", 3), 1, bytes({0x61, 0x62, 0xFF}), 2},
    {"utf16", kUtf16, u"A\u00e9\U0001F600", bytes({0x41, 0x00, 0xE9, 0x00, 0x3D, 0xD8, 0x00, 0xDE}),
     std::u16string_view(u"x\xDC00", 2), 1, bytes({0x41, 0x00, 0x42}), 2},
    {"macroman", kMacRoman, u"\u00e9\u00fc\u2122", bytes({0x8E, 0x9F, 0xAA}), u"\u4e2d", 0, "", 0},
    {"symbol", kSymbol, u"\u03b1\u03b2\u03c0 \u221e", bytes({0x61, 0x62, 0x70, 0x20, 0xA5}),
     u"\u03b1\u043f", 1, bytes({0x61, 0x80}), 1},
    {"latin1", kLatin1, u"\u00e9\u00fc\u00ff", bytes({0xE9, 0xFC, 0xFF}), u"a\u4e2d", 1, "", 0},
    {"latin2", kLatin2, u"\u010d\u0159\u017e\u0141", bytes({0xE8, 0xF8, 0xBE, 0xA3}), u"\u00e0", 0, "", 0},
    {"cp1253", kWindows1253, u"\u0391\u03b8\u03ae\u03bd\u03b1", bytes({0xC1, 0xE8, 0xDE, 0xED, 0xE1}),
     u"\u03b1\u4e2d", 1, bytes({0xE1, 0xD2}), 1},
    {"iso2022jp", kIso2022Jp, u"\u65e5\u672c",
     bytes({0x1B, 0x24, 0x42, 0x46, 0x7C, 0x4B, 0x5C, 0x1B, 0x28, 0x42}), u"\u65e5\ud55c", 1,
     bytes({0x41, 0x80}), 1},
    {"eucjp", kEucJp, u"\u65e5\u672c", bytes({0xC6, 0xFC, 0xCB, 0xDC}), u"\ud55c", 0,
     bytes({0xC6, 0xFC, 0xCB}), 2},
    {"shiftjis", kShiftJis, u"\u65e5\u672c\u8a9e", bytes({0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA}),
     u"\u65e5\ud55c", 1, bytes({0x93, 0xFA, 0x96}), 2},
    {"cp1251", kWindows1251, u"\u043f\u0440\u0438\u0432\u0435\u0442",
     bytes({0xEF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2}), u"\u043f\u03b1", 1, bytes({0xEF, 0x98}), 1},
    {"cp1254", kWindows1254, u"\u011f\u0131\u015f\u0130", bytes({0xF0, 0xFD, 0xFE, 0xDD}),
     u"\u011f\u043f", 1, bytes({0xF0, 0x81}), 1},
    {"cp1252", kWindows1252, u"\u00e9\u00fc\u20ac", bytes({0xE9, 0xFC, 0x80}), u"\u00e9\u043f", 1,
     bytes({0x41, 0x81}), 1},
    {"cp1250", kWindows1250, u"\u010d\u0159\u017e\u0141", bytes({0xE8, 0xF8, 0x9E, 0xA3}), u"\u4e2d", 0,
     bytes({0xE8, 0x81}), 1},
};

class FixedEncodingTest : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FixedEncodingTest, SampleGivesTheChartBytesAndComesBack) {
  const FixedCase& c = GetParam();
  Result<std::string> encoded = to_bytes(c.sample, c.id);
  ASSERT_TRUE(encoded.ok()) << "error kind " << static_cast<int>(encoded.error);
  EXPECT_EQ(hex(*encoded.value), hex(c.expected));

  Result<std::u16string> decoded = to_text(c.expected, c.id);
  ASSERT_TRUE(decoded.ok()) << "error kind " << static_cast<int>(decoded.error);
  EXPECT_EQ(hex(*decoded.value), hex(std::u16string(c.sample)));

  EXPECT_TRUE(can_encode(c.sample, c.id));
  Result<std::size_t> length = encoded_length(c.sample, c.id);
  ASSERT_TRUE(length.ok());
  EXPECT_EQ(*length.value, c.expected.size());
}

TEST_P(FixedEncodingTest, RefusesACharacterItCannotHold) {
  const FixedCase& c = GetParam();
  Result<std::string> encoded = to_bytes(c.refused, c.id);
  ASSERT_FALSE(encoded.ok()) << "gave " << hex(*encoded.value);
  EXPECT_EQ(encoded.error, ErrorKind::Unrepresentable);
  EXPECT_EQ(encoded.error_offset, c.refused_at);

  EXPECT_FALSE(can_encode(c.refused, c.id));
  Result<std::size_t> length = encoded_length(c.refused, c.id);
  EXPECT_FALSE(length.ok());
  EXPECT_EQ(length.error, ErrorKind::Unrepresentable);
}

TEST_P(FixedEncodingTest, RefusesInvalidBytes) {
  const FixedCase& c = GetParam();
  if (c.invalid.empty()) {
    // Every byte value is a character here: all 256 decode, one for one.
    std::string all;
    for (unsigned b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    Result<std::u16string> decoded = to_text(all, c.id);
    ASSERT_TRUE(decoded.ok()) << "stopped at " << decoded.error_offset;
    EXPECT_EQ(decoded.value->size(), 256u);
    Result<std::string> back = to_bytes(*decoded.value, c.id);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(*back.value, all);
    return;
  }
  Result<std::u16string> decoded = to_text(c.invalid, c.id);
  ASSERT_FALSE(decoded.ok()) << "gave " << hex(*decoded.value);
  EXPECT_EQ(decoded.error, ErrorKind::InvalidBytes);
  EXPECT_EQ(decoded.error_offset, c.invalid_at);
}

TEST_P(FixedEncodingTest, EmbeddedNulIsAnOrdinaryCharacter) {
  const FixedCase& c = GetParam();
  std::u16string text(c.sample);
  text += u'\0';
  text += c.sample;
  const std::string nul = c.id == kUtf16 ? std::string(2, '\0') : std::string(1, '\0');
  Result<std::string> encoded = to_bytes(text, c.id);
  ASSERT_TRUE(encoded.ok());
  EXPECT_EQ(hex(*encoded.value), hex(c.expected + nul + c.expected));
  Result<std::u16string> decoded = to_text(*encoded.value, c.id);
  ASSERT_TRUE(decoded.ok());
  EXPECT_EQ(hex(*decoded.value), hex(text));
}

TEST_P(FixedEncodingTest, EmptyTextIsEmptyBytes) {
  const FixedCase& c = GetParam();
  EXPECT_TRUE(can_encode(u"", c.id));
  Result<std::size_t> length = encoded_length(u"", c.id);
  ASSERT_TRUE(length.ok());
  EXPECT_EQ(*length.value, 0u);
  Result<std::u16string> decoded = to_text("", c.id);
  ASSERT_TRUE(decoded.ok());
  EXPECT_TRUE(decoded.value->empty());
  // Default-constructed views carry no data pointer.
  EXPECT_TRUE(to_bytes(std::u16string_view(), c.id).ok());
  EXPECT_TRUE(to_text(std::string_view(), c.id).ok());
}

INSTANTIATE_TEST_SUITE_P(AllFifteen, FixedEncodingTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FixedCase>& info) {
                           return std::string(info.param.label);
                         });

TEST(FixedEncodings, CasesCoverEveryRowOfThePullDown) {
  ASSERT_EQ(fixed_encodings().size(), std::size(kCases));
  for (const FixedEncoding& row : fixed_encodings()) {
    bool covered = false;
    for (const FixedCase& c : kCases) covered = covered || c.id == row.id;
    EXPECT_TRUE(covered) << row.id;
  }
}

TEST(Utf16, LittleEndianWithoutByteOrderMark) {
  Result<std::string> a = to_bytes(u"A", kUtf16);
  ASSERT_TRUE(a.ok());
  EXPECT_EQ(hex(*a.value), "41 00");

  // A leading FF FE is not taken as a byte-order mark: it is U+FEFF, kept.
  Result<std::u16string> with_mark = to_text(bytes({0xFF, 0xFE, 0x41, 0x00}), kUtf16);
  ASSERT_TRUE(with_mark.ok());
  EXPECT_EQ(hex(*with_mark.value), "FEFF 0041");

  // Big-endian bytes are read as little-endian: 00 41 is U+4100.
  Result<std::u16string> swapped = to_text(bytes({0x00, 0x41}), kUtf16);
  ASSERT_TRUE(swapped.ok());
  EXPECT_EQ(hex(*swapped.value), "4100");
}

TEST(Utf16, UnpairedSurrogateBytesAreInvalid) {
  Result<std::u16string> lone = to_text(bytes({0x41, 0x00, 0x00, 0xD8, 0x42, 0x00}), kUtf16);
  ASSERT_FALSE(lone.ok());
  EXPECT_EQ(lone.error, ErrorKind::InvalidBytes);
}

TEST(WindowsCodePages, UndefinedBytesAndC1ControlsAreRefused) {
  // 0x81 is undefined in code pages 1250, 1252, 1253 and 1254, 0x98 in 1251.
  for (EncodingId id : {kWindows1250, kWindows1252, kWindows1253, kWindows1254}) {
    SCOPED_TRACE(id);
    Result<std::u16string> text = to_text(bytes({0x41, 0x42, 0x81}), id);
    ASSERT_FALSE(text.ok());
    EXPECT_EQ(text.error, ErrorKind::InvalidBytes);
    EXPECT_EQ(text.error_offset, 2u);
    Result<std::string> encoded = to_bytes(u"ab\u0081", id);
    ASSERT_FALSE(encoded.ok());
    EXPECT_EQ(encoded.error, ErrorKind::Unrepresentable);
    EXPECT_EQ(encoded.error_offset, 2u);
  }
  // The first unrepresentable character is reported, whatever its kind.
  Result<std::string> both = to_bytes(u"a\u4e2d\u0081", kWindows1252);
  ASSERT_FALSE(both.ok());
  EXPECT_EQ(both.error_offset, 1u);
  // Code page 1252's defined bytes of 0x80..0x9F still convert.
  Result<std::u16string> quotes = to_text(bytes({0x93, 0x94, 0x85}), kWindows1252);
  ASSERT_TRUE(quotes.ok());
  EXPECT_EQ(hex(*quotes.value), "201C 201D 2026");
  // ISO 8859-1 does include the C1 controls.
  EXPECT_EQ(hex(*to_bytes(u"\u0081", kLatin1).value), "81");
}

TEST(ByteLength, CountsBytesNotCharacters) {
  const std::u16string_view nihon = u"\u65e5\u672c";
  EXPECT_EQ(*encoded_length(nihon, kUtf8).value, 6u);
  EXPECT_EQ(*encoded_length(nihon, kUtf16).value, 4u);
  EXPECT_EQ(*encoded_length(nihon, kShiftJis).value, 4u);
  EXPECT_EQ(*encoded_length(nihon, kEucJp).value, 4u);
  // Escape into JIS X 0208 and back to ASCII: 3 + 4 + 3.
  EXPECT_EQ(*encoded_length(nihon, kIso2022Jp).value, 10u);
  EXPECT_EQ(*encoded_length(u"\U0001F600", kUtf16).value, 4u);
}

TEST(ByteLength, LongTextMatchesItsConversion) {
  // Longer than any internal chunk, so the conversion runs in several steps.
  std::u16string text;
  for (int i = 0; i < 5000; ++i) text += u"\u00e9\u65e5x";
  Result<std::size_t> length = encoded_length(text, kUtf8);
  ASSERT_TRUE(length.ok());
  EXPECT_EQ(*length.value, 5000u * (2 + 3 + 1));

  Result<std::string> encoded = to_bytes(text, kUtf8);
  ASSERT_TRUE(encoded.ok());
  EXPECT_EQ(encoded.value->size(), *length.value);
  Result<std::u16string> decoded = to_text(*encoded.value, kUtf8);
  ASSERT_TRUE(decoded.ok());
  EXPECT_TRUE(*decoded.value == text);

  // A character the encoding lacks, far into the text, is found where it is.
  std::u16string latin(9000, u'\u00e9');
  latin[8500] = u'\u4e2d';
  Result<std::string> refused = to_bytes(latin, kLatin1);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error_offset, 8500u);
}

TEST(UnknownStoredNumber, CannotConvertAndIsNotGuessed) {
  for (EncodingId id : {0u, 2u, 7u, 16u, 22u, 0x80007777u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(id);
    EXPECT_FALSE(is_supported(id));
    EXPECT_FALSE(converter_name(id).has_value());
    EXPECT_FALSE(can_encode(u"a", id));
    Result<std::string> encoded = to_bytes(u"a", id);
    ASSERT_FALSE(encoded.ok());
    EXPECT_EQ(encoded.error, ErrorKind::UnsupportedEncoding);
    Result<std::u16string> decoded = to_text("a", id);
    ASSERT_FALSE(decoded.ok());
    EXPECT_EQ(decoded.error, ErrorKind::UnsupportedEncoding);
    EXPECT_EQ(encoded_length(u"a", id).error, ErrorKind::UnsupportedEncoding);
  }
}

TEST(PullDown, RowsInTableOrderWithBothLanguages) {
  const EncodingId order[] = {1, 4, 10, 30, 6, 5, 9, 13, 21, 3, 8, 11, 14, 12, 15};
  auto rows = fixed_encodings();
  ASSERT_EQ(rows.size(), std::size(order));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].id, order[i]) << "row " << i + 1;
    EXPECT_EQ(fixed_index(order[i]), i);
    EXPECT_TRUE(is_supported(order[i])) << order[i];
  }
  EXPECT_EQ(rows[0].title(Language::English), "Plain (ascII) text");
  EXPECT_EQ(rows[0].title(Language::French), "Texte (ascII)");
  EXPECT_EQ(rows[8].title(Language::French), "Japon (pour courrier)");
  EXPECT_EQ(rows[12].title(Language::French), "Turc");
  EXPECT_EQ(user_defined_title(Language::French), "D\xC3\xA9" "fini par l'usager");
  EXPECT_EQ(hexadecimal_title(Language::French), "Hexad\xC3\xA9" "cimale");
  EXPECT_EQ(popup_title(Language::English), "Encoding");
  EXPECT_EQ(separator_title(Language::English).size(), 16u);
  EXPECT_EQ(separator_title(Language::French).size(), 17u);
  EXPECT_FALSE(fixed_index(kRegistryFlag | 0x0A02).has_value());
}

TEST(ShortNames, FindTheStoredNumber) {
  EXPECT_EQ(encoding_from_short_name("utf-8"), kUtf8);
  EXPECT_EQ(encoding_from_short_name("UTF8"), kUtf8);
  EXPECT_EQ(encoding_from_short_name("utf-16"), kUtf16);
  EXPECT_EQ(encoding_from_short_name("MacRoman"), kMacRoman);
  EXPECT_EQ(encoding_from_short_name("Latin1"), kLatin1);
  EXPECT_EQ(encoding_from_short_name("iso-8859-1"), kLatin1);
  EXPECT_EQ(encoding_from_short_name("latin2"), kLatin2);
  EXPECT_EQ(encoding_from_short_name("sjis"), kShiftJis);
  EXPECT_EQ(encoding_from_short_name("Shift_JIS"), kShiftJis);
  EXPECT_EQ(encoding_from_short_name("cp1250"), kWindows1250);
  EXPECT_FALSE(encoding_from_short_name("").has_value());
  EXPECT_FALSE(encoding_from_short_name("utf-8 ").has_value());
  EXPECT_FALSE(encoding_from_short_name("koi8-r").has_value());
  // Every row's own short name leads back to it.
  for (const FixedEncoding& row : fixed_encodings()) {
    EXPECT_EQ(encoding_from_short_name(row.short_name), row.id) << row.short_name;
  }
}

}  // namespace
}  // namespace tw::encoding
