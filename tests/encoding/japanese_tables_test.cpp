// Shift_JIS, EUC-JP and ISO-2022-JP against byte sequences computed outside
// ICU: the control characters that ICU's code page 932 table moves, and the
// six JIS X 0208 characters that have a standard and a Microsoft spelling.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "encoding/string_encoding.h"
#include "test_bytes.h"

namespace tw::encoding {
namespace {

using testing::bytes;
using testing::hex;

// Expected bytes and decoded characters computed with Python 3.11's codecs
// cp932 (for Shift_JIS), euc_jp and iso2022_jp, for example
//   python3 -c "print('\u301c'.encode('euc_jp').hex(), b'\xa1\xc1'.decode('euc_jp'))"
// cp932 gives the same bytes for both spellings and decodes them to the
// Microsoft one; euc_jp and iso2022_jp encode only the standard spelling
// (both spellings must give its bytes here) and decode to it.
struct JisCharacter {
  const char* name;
  char16_t standard;
  char16_t microsoft;
  std::string cp932;
  std::string euc_jp;
  std::string iso2022_jp;
};

const JisCharacter kJisCharacters[] = {
    {"wave dash", u'\u301C', u'\uFF5E', bytes({0x81, 0x60}), bytes({0xA1, 0xC1}),
     bytes({0x1B, 0x24, 0x42, 0x21, 0x41, 0x1B, 0x28, 0x42})},
    {"double vertical line", u'\u2016', u'\u2225', bytes({0x81, 0x61}), bytes({0xA1, 0xC2}),
     bytes({0x1B, 0x24, 0x42, 0x21, 0x42, 0x1B, 0x28, 0x42})},
    {"minus sign", u'\u2212', u'\uFF0D', bytes({0x81, 0x7C}), bytes({0xA1, 0xDD}),
     bytes({0x1B, 0x24, 0x42, 0x21, 0x5D, 0x1B, 0x28, 0x42})},
    {"cent sign", u'\u00A2', u'\uFFE0', bytes({0x81, 0x91}), bytes({0xA1, 0xF1}),
     bytes({0x1B, 0x24, 0x42, 0x21, 0x71, 0x1B, 0x28, 0x42})},
    {"pound sign", u'\u00A3', u'\uFFE1', bytes({0x81, 0x92}), bytes({0xA1, 0xF2}),
     bytes({0x1B, 0x24, 0x42, 0x21, 0x72, 0x1B, 0x28, 0x42})},
    {"not sign", u'\u00AC', u'\uFFE2', bytes({0x81, 0xCA}), bytes({0xA2, 0xCC}),
     bytes({0x1B, 0x24, 0x42, 0x22, 0x4C, 0x1B, 0x28, 0x42})},
};

void expect_encodes(std::u16string text, EncodingId id, const std::string& expected) {
  Result<std::string> encoded = to_bytes(text, id);
  ASSERT_TRUE(encoded.ok()) << "refused at " << encoded.error_offset;
  EXPECT_EQ(hex(*encoded.value), hex(expected));
  EXPECT_TRUE(can_encode(text, id));
  EXPECT_EQ(encoded_length(text, id).value, expected.size());
}

void expect_decodes(const std::string& data, EncodingId id, std::u16string expected) {
  Result<std::u16string> decoded = to_text(data, id);
  ASSERT_TRUE(decoded.ok()) << "stopped at " << decoded.error_offset;
  EXPECT_EQ(hex(*decoded.value), hex(expected));
}

TEST(JisCharacters, BothSpellingsGiveTheJisBytesAndDecodeAsTheReference) {
  for (const JisCharacter& c : kJisCharacters) {
    SCOPED_TRACE(c.name);
    for (char16_t spelling : {c.standard, c.microsoft}) {
      SCOPED_TRACE(::testing::Message() << "U+" << std::hex << static_cast<unsigned>(spelling));
      expect_encodes(std::u16string(1, spelling), kShiftJis, c.cp932);
      expect_encodes(std::u16string(1, spelling), kEucJp, c.euc_jp);
      expect_encodes(std::u16string(1, spelling), kIso2022Jp, c.iso2022_jp);
    }
    expect_decodes(c.cp932, kShiftJis, std::u16string(1, c.microsoft));
    expect_decodes(c.euc_jp, kEucJp, std::u16string(1, c.standard));
    expect_decodes(c.iso2022_jp, kIso2022Jp, std::u16string(1, c.standard));
  }
}

TEST(ShiftJis, ControlCharactersAreTheirOwnBytes) {
  // python3: all(chr(c).encode('cp932') == bytes([c]) for c in range(128))
  const struct {
    char16_t character;
    unsigned byte;
  } moved_by_icu[] = {{u'\u001A', 0x1A}, {u'\u001C', 0x1C}, {u'\u007F', 0x7F}};
  for (const auto& c : moved_by_icu) {
    SCOPED_TRACE(c.byte);
    expect_encodes(std::u16string(1, c.character), kShiftJis, bytes({c.byte}));
    expect_decodes(bytes({c.byte}), kShiftJis, std::u16string(1, c.character));
    // Between two-byte characters too: 日 is 93 FA.
    expect_encodes(std::u16string{c.character, u'\u65e5', c.character}, kShiftJis,
                   bytes({c.byte, 0x93, 0xFA, c.byte}));
    expect_decodes(bytes({0x93, 0xFA, c.byte, 0x93, 0xFA}), kShiftJis,
                   std::u16string{u'\u65e5', c.character, u'\u65e5'});
  }
  std::u16string ascii;
  std::string ascii_bytes;
  for (char16_t u = 0; u < 0x80; ++u) {
    ascii.push_back(u);
    ascii_bytes.push_back(static_cast<char>(u));
  }
  expect_encodes(ascii, kShiftJis, ascii_bytes);
  expect_decodes(ascii_bytes, kShiftJis, ascii);
  // The registry's ShiftJIS uses the same table and the same correction.
  expect_encodes(u"\u001A\u001C\u007F", stored_from_registry(0x0A01), bytes({0x1A, 0x1C, 0x7F}));
}

TEST(ShiftJis, ErrorsAroundControlCharactersKeepTheirPositions) {
  Result<std::string> refused = to_bytes(u"\u001Aa\ud55c\u007F", kShiftJis);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error, ErrorKind::Unrepresentable);
  EXPECT_EQ(refused.error_offset, 2u);
  // A lead byte cut short by a control byte.
  Result<std::u16string> invalid = to_text(bytes({0x41, 0x7F, 0x93, 0x1A}), kShiftJis);
  ASSERT_FALSE(invalid.ok());
  EXPECT_EQ(invalid.error, ErrorKind::InvalidBytes);
  EXPECT_EQ(invalid.error_offset, 2u);
}

TEST(JisCharacters, MixedSpellingsInOneText) {
  expect_encodes(u"a\u301C\uFF5Eb", kIso2022Jp,
                 bytes({0x61, 0x1B, 0x24, 0x42, 0x21, 0x41, 0x21, 0x41, 0x1B, 0x28, 0x42, 0x62}));
  expect_decodes(bytes({0x61, 0x1B, 0x24, 0x42, 0x21, 0x41, 0x21, 0x41, 0x1B, 0x28, 0x42, 0x62}),
                 kIso2022Jp, u"a\u301C\u301Cb");
  expect_encodes(u"\u00A2\uFFE0\u65e5", kEucJp, bytes({0xA1, 0xF1, 0xA1, 0xF1, 0xC6, 0xFC}));
  // The first character the encoding lacks is still reported where it is.
  Result<std::string> refused = to_bytes(u"\u301C\u2016\ud55c", kEucJp);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error_offset, 2u);
}

TEST(JisCharacters, OnlyTheJisX0208CodesDecodeToTheStandardSpelling) {
  // JIS X 0212's tilde (8F A2 B7) and the IBM extension FC FB are other
  // codes that ICU reads as U+FF5E and U+FFE2: they keep ICU's character.
  expect_decodes(bytes({0xA1, 0xC1, 0x8F, 0xA2, 0xB7, 0xFC, 0xFB, 0xA2, 0xCC}), kEucJp,
                 u"\u301C\uFF5E\uFFE2\u00AC");
}

TEST(JisCharacters, LongTextDecodesEveryCode) {
  // More than one internal chunk of output.
  std::string data;
  std::u16string expected;
  for (int i = 0; i < 3000; ++i) {
    data += bytes({0xA1, 0xC1, 0x78});
    expected += u"\u301Cx";
  }
  Result<std::u16string> decoded = to_text(data, kEucJp);
  ASSERT_TRUE(decoded.ok());
  EXPECT_TRUE(*decoded.value == expected);
}

}  // namespace
}  // namespace tw::encoding
