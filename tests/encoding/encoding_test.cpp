// Conversions between text and bytes: the 15 fixed encodings (chart bytes
// both ways, refusal of characters they cannot hold and of invalid bytes
// where they are, UTF-16 byte order, the Windows code pages' undefined bytes,
// byte lengths, the pull-down rows and the command-line names), and the
// tables outside ICU or corrected around it: Adobe Symbol, the Japanese
// encodings (control bytes that ICU's code page 932 moves, the six JIS X 0208
// characters with two Unicode spellings) and the registry numbers.
#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#include "encoding/string_encoding.h"

namespace tw::encoding {
namespace {

// Bytes from a list of values, so expected bytes read as in a hex dump.
inline std::string bytes(std::initializer_list<unsigned> values) {
  std::string out;
  for (unsigned v : values) out.push_back(static_cast<char>(v));
  return out;
}

// "41 00 E9" for bytes, "0041 00E9" for UTF-16 text: readable failure messages.
template <typename String>
std::string hex(const String& data) {
  std::string out;
  char buf[8];
  for (auto c : data) {
    const unsigned value = sizeof c == 1 ? static_cast<unsigned char>(c) : static_cast<unsigned>(c);
    std::snprintf(buf, sizeof buf, sizeof c == 1 ? "%02X " : "%04X ", value);
    out += buf;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

// Text -> bytes, with can_encode and encoded_length agreeing.
inline void expect_encodes(std::u16string_view text, EncodingId id, const std::string& expected) {
  Result<std::string> encoded = to_bytes(text, id);
  ASSERT_TRUE(encoded.ok()) << "refused at " << encoded.error_offset;
  EXPECT_EQ(hex(*encoded.value), hex(expected));
  EXPECT_TRUE(can_encode(text, id));
  EXPECT_EQ(encoded_length(text, id).value, expected.size());
}

inline void expect_decodes(const std::string& data, EncodingId id, std::u16string_view expected) {
  Result<std::u16string> decoded = to_text(data, id);
  ASSERT_TRUE(decoded.ok()) << "stopped at " << decoded.error_offset;
  EXPECT_EQ(hex(*decoded.value), hex(expected));
}

// A refusal: its kind and where it stands.
template <typename T>
std::pair<ErrorKind, std::size_t> failure(const Result<T>& r) {
  return {r.error, r.error_offset};
}

struct FixedCase {
  const char* label;
  EncodingId id;
  std::u16string_view sample;   // text the encoding can hold
  std::string expected;         // its bytes, from the published code charts
  std::u16string_view refused;  // text with one character the encoding lacks
  std::size_t refused_at;       // index of that character
  std::string invalid;          // bytes that are no text in it ("" = every byte is valid)
  std::size_t invalid_at;       // where the invalid sequence starts
};

const FixedCase kCases[] = {
    {"ascii", kAscii, u"Hello,\tworld!", "Hello,\tworld!", u"caf\u00e9", 3, bytes({0x41, 0x80}), 1},
    {"utf8", kUtf8, u"h\u00e9\u4e2d\U0001F600", bytes({0x68, 0xC3, 0xA9, 0xE4, 0xB8, 0xAD, 0xF0, 0x9F, 0x98, 0x80}),
     std::u16string_view(u"a\xD800z", 3), 1, bytes({0x61, 0x62, 0xFF}), 2},
    {"utf16", kUtf16, u"A\u00e9\U0001F600", bytes({0x41, 0x00, 0xE9, 0x00, 0x3D, 0xD8, 0x00, 0xDE}),
     std::u16string_view(u"x\xDC00", 2), 1, bytes({0x41, 0x00, 0x42}), 2},
    {"macroman", kMacRoman, u"\u00e9\u00fc\u2122", bytes({0x8E, 0x9F, 0xAA}), u"\u4e2d", 0, "", 0},
    {"symbol", kSymbol, u"\u03b1\u03b2\u03c0 \u221e", bytes({0x61, 0x62, 0x70, 0x20, 0xA5}), u"\u03b1\u043f", 1,
     bytes({0x61, 0x62, 0x80, 0x63}), 2},
    {"latin1", kLatin1, u"\u00e9\u00fc\u00ff\u0081", bytes({0xE9, 0xFC, 0xFF, 0x81}), u"a\u4e2d", 1, "", 0},
    {"latin2", kLatin2, u"\u010d\u0159\u017e\u0141", bytes({0xE8, 0xF8, 0xBE, 0xA3}), u"\u00e0", 0, "", 0},
    {"cp1253", kWindows1253, u"\u0391\u03b8\u03ae\u03bd\u03b1", bytes({0xC1, 0xE8, 0xDE, 0xED, 0xE1}),
     u"\u03b1\u4e2d", 1, bytes({0xE1, 0xD2}), 1},
    {"iso2022jp", kIso2022Jp, u"\u65e5\u672c", bytes({0x1B, 0x24, 0x42, 0x46, 0x7C, 0x4B, 0x5C, 0x1B, 0x28, 0x42}),
     u"\u65e5\ud55c", 1, bytes({0x41, 0x80}), 1},
    {"eucjp", kEucJp, u"\u65e5\u672c", bytes({0xC6, 0xFC, 0xCB, 0xDC}), u"\ud55c", 0, bytes({0xC6, 0xFC, 0xCB}), 2},
    {"shiftjis", kShiftJis, u"\u65e5\u672c\u8a9e", bytes({0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA}), u"\u65e5\ud55c", 1,
     bytes({0x93, 0xFA, 0x96}), 2},
    {"cp1251", kWindows1251, u"\u043f\u0440\u0438\u0432\u0435\u0442", bytes({0xEF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2}),
     u"\u043f\u03b1", 1, bytes({0xEF, 0x98}), 1},
    {"cp1254", kWindows1254, u"\u011f\u0131\u015f\u0130", bytes({0xF0, 0xFD, 0xFE, 0xDD}), u"\u011f\u043f", 1,
     bytes({0xF0, 0x81}), 1},
    {"cp1252", kWindows1252, u"\u00e9\u00fc\u20ac\u201c\u2026", bytes({0xE9, 0xFC, 0x80, 0x93, 0x85}),
     u"\u00e9\u043f", 1, bytes({0x41, 0x81}), 1},
    {"cp1250", kWindows1250, u"\u010d\u0159\u017e\u0141", bytes({0xE8, 0xF8, 0x9E, 0xA3}), u"\u4e2d", 0,
     bytes({0xE8, 0x81}), 1},
};

// The sample alone, twice around a NUL, and empty, converts both ways, with
// the length of its bytes.
TEST(FixedEncodings, SampleGivesTheChartBytesAndComesBack) {
  for (const FixedCase& c : kCases) {
    SCOPED_TRACE(c.label);
    const std::string nul(c.id == kUtf16 ? 2 : 1, '\0');
    const std::u16string doubled = std::u16string(c.sample) + u'\0' + std::u16string(c.sample);
    const std::pair<std::u16string, std::string> pairs[] = {
        {std::u16string(c.sample), c.expected}, {doubled, c.expected + nul + c.expected}, {u"", ""}};
    for (const auto& [text, data] : pairs) {
      expect_encodes(text, c.id, data);
      expect_decodes(data, c.id, text);
    }
    // Default-constructed views carry no data pointer.
    EXPECT_TRUE(to_bytes(std::u16string_view(), c.id).ok());
    EXPECT_TRUE(to_text(std::string_view(), c.id).ok());
  }
}

TEST(FixedEncodings, RefusesWhatTheyCannotHoldWhereItIs) {
  for (const FixedCase& c : kCases) {
    SCOPED_TRACE(c.label);
    Result<std::string> encoded = to_bytes(c.refused, c.id);
    ASSERT_FALSE(encoded.ok()) << "gave " << hex(*encoded.value);
    EXPECT_EQ(failure(encoded), std::pair(ErrorKind::Unrepresentable, c.refused_at));
    EXPECT_FALSE(can_encode(c.refused, c.id));
    EXPECT_EQ(encoded_length(c.refused, c.id).error, ErrorKind::Unrepresentable);
    if (!c.invalid.empty()) {
      Result<std::u16string> decoded = to_text(c.invalid, c.id);
      ASSERT_FALSE(decoded.ok()) << "gave " << hex(*decoded.value);
      EXPECT_EQ(failure(decoded), std::pair(ErrorKind::InvalidBytes, c.invalid_at));
      continue;
    }
    // Every byte value is a character here: all 256 decode one for one and come back.
    std::string all;
    for (unsigned b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    Result<std::u16string> decoded = to_text(all, c.id);
    ASSERT_TRUE(decoded.ok()) << "stopped at " << decoded.error_offset;
    EXPECT_EQ(decoded.value->size(), 256u);
    EXPECT_EQ(to_bytes(*decoded.value, c.id).value, all);
  }
}

TEST(Utf16, LittleEndianAndALeadingFffeIsACharacter) {
  const std::pair<std::string, std::u16string_view> cases[] = {
      {bytes({0xFF, 0xFE, 0x41, 0x00}), u"\uFEFF\u0041"},  // no byte-order mark taken off
      {bytes({0x00, 0x41}), u"\u4100"},                    // big-endian bytes read little-endian
  };
  for (const auto& [data, text] : cases) {
    EXPECT_EQ(hex(*to_text(data, kUtf16).value), hex(std::u16string(text)));
    EXPECT_EQ(hex(*to_bytes(text, kUtf16).value), hex(data));
  }
}

// Characters Unicode calls default-ignorable (a byte-order mark, a zero-width
// space, a soft hyphen) are refused like any other where the encoding lacks
// them, never dropped from the pattern.
TEST(Unrepresentable, IgnorableCharactersAreNotDropped) {
  const std::tuple<EncodingId, std::u16string_view, std::size_t> rows[] = {
      {kAscii, u"a\uFEFFb", 1}, {kAscii, u"ab\u200B", 2}, {kMacRoman, u"\u200Ba", 0},
      {kShiftJis, u"x\uFEFF", 1}, {stored_from_registry(0x0840), u"a\uFEFF", 1},
  };
  for (const auto& [id, text, at] : rows)
    EXPECT_EQ(failure(to_bytes(text, id)), std::pair(ErrorKind::Unrepresentable, at))
        << id << " " << hex(std::u16string(text));
  // Where the encoding has the character, it is written.
  expect_encodes(u"a\u00ADb", kLatin1, bytes({'a', 0xAD, 'b'}));
}

// ICU maps the bytes that code pages 1250..1258 leave undefined to C1
// controls; the published tables define no C1 control at all.
TEST(WindowsCodePages, UndefinedBytesAndC1ControlsAreRefused) {
  for (EncodingId id : {kWindows1250, kWindows1252, kWindows1253, kWindows1254}) {
    EXPECT_EQ(to_text(bytes({0x41, 0x42, 0x81}), id).error, ErrorKind::InvalidBytes) << id;
    EXPECT_EQ(failure(to_bytes(u"ab\u0081", id)), std::pair(ErrorKind::Unrepresentable, std::size_t{2})) << id;
  }
  // The first unrepresentable character is reported, whatever its kind.
  EXPECT_EQ(to_bytes(u"a\u4e2d\u0081", kWindows1252).error_offset, 1u);
}

TEST(ByteLength, LongTextConvertsInSeveralChunks) {
  std::u16string text;
  for (int i = 0; i < 5000; ++i) text += u"\u00e9\u65e5x";
  EXPECT_EQ(encoded_length(text, kUtf8).value, 5000u * (2 + 3 + 1));
  const std::string encoded = to_bytes(text, kUtf8).value.value_or("");
  EXPECT_EQ(encoded.size(), 30000u);
  EXPECT_TRUE(to_text(encoded, kUtf8).value == text);
  // A character the encoding lacks, far into the text, is found where it is.
  std::u16string latin(9000, u'\u00e9');
  latin[8500] = u'\u4e2d';
  EXPECT_EQ(to_bytes(latin, kLatin1).error_offset, 8500u);
}

TEST(PullDown, RowsTitlesAndShortNames) {
  const EncodingId order[] = {1, 4, 10, 30, 6, 5, 9, 13, 21, 3, 8, 11, 14, 12, 15};
  auto rows = fixed_encodings();
  ASSERT_EQ(rows.size(), std::size(order));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].id, order[i]) << "row " << i + 1;
    EXPECT_EQ(fixed_index(order[i]), i);
    EXPECT_EQ(encoding_from_short_name(rows[i].short_name), rows[i].id) << rows[i].short_name;
  }
  EXPECT_FALSE(fixed_index(kRegistryFlag | 0x0A02).has_value());
  EXPECT_EQ(rows[8].title(Language::French), "Japon (pour courrier)");
  EXPECT_EQ(user_defined_title(Language::French), "D\xC3\xA9" "fini par l'usager");
  EXPECT_EQ(hexadecimal_title(Language::French), "Hexad\xC3\xA9" "cimale");
  EXPECT_EQ(separator_title(Language::English).size(), 16u);
  EXPECT_EQ(separator_title(Language::French).size(), 17u);
  const std::pair<const char*, EncodingId> names[] = {
      {"UTF8", kUtf8}, {"MacRoman", kMacRoman}, {"iso-8859-1", kLatin1}, {"sjis", kShiftJis}, {"Shift_JIS", kShiftJis}};
  for (const auto& [name, id] : names) EXPECT_EQ(encoding_from_short_name(name), id) << name;
  for (const char* name : {"", "utf-8 ", "koi8-r"}) EXPECT_FALSE(encoding_from_short_name(name).has_value()) << name;
}

TEST(SymbolTable, GreekLettersSignsAndSecondSpellings) {
  // Byte -> character pairs of the public Adobe Symbol mapping.
  const std::pair<unsigned, char16_t> known[] = {
      {0x41, u'\u0391'}, {0x47, u'\u0393'}, {0x4A, u'\u03D1'}, {0x53, u'\u03A3'}, {0x56, u'\u03C2'},
      {0x57, u'\u03A9'}, {0x6A, u'\u03D5'}, {0x6D, u'\u03BC'}, {0x77, u'\u03C9'}, {0x22, u'\u2200'},
      {0x2D, u'\u2212'}, {0xA0, u'\u20AC'}, {0xB9, u'\u2260'}, {0xC6, u'\u2205'}, {0xD6, u'\u221A'},
      {0xE5, u'\u2211'}, {0xF2, u'\u222B'}, {0x09, u'\t'},
  };
  for (auto [byte, unit] : known) {
    SCOPED_TRACE(byte);
    expect_encodes(std::u16string(1, unit), kSymbol, bytes({byte}));
    expect_decodes(bytes({byte}), kSymbol, std::u16string(1, unit));
  }
  // Ohm, micro and increment signs go to the Greek letters' bytes.
  expect_encodes(u"\u2126\u00B5\u2206", kSymbol, bytes({0x57, 0x6D, 0x44}));
}

TEST(SymbolTable, EveryDefinedByteRoundTripsAndTheRestAreInvalid) {
  for (unsigned b = 0; b < 256; ++b) {
    SCOPED_TRACE(b);
    const std::string one(1, static_cast<char>(b));
    Result<std::u16string> text = to_text(one, kSymbol);
    if ((b >= 0x80 && b <= 0x9F) || b == 0xF0 || b == 0xFF) {
      EXPECT_EQ(text.error, ErrorKind::InvalidBytes);
      continue;
    }
    ASSERT_TRUE(text.ok());
    ASSERT_EQ(text.value->size(), 1u);
    EXPECT_EQ(to_bytes(*text.value, kSymbol).value, one);  // no two bytes share a character
  }
  // Latin and Cyrillic letters, and nothing outside the Basic Multilingual Plane.
  for (std::u16string_view text : {u"a", u"\u03b1b", u"\u043f", u"\u00e9", u"\u03b1\U0001D6FC"}) {
    EXPECT_EQ(to_bytes(text, kSymbol).error_offset, text[0] == u'\u03b1' ? 1u : 0u) << hex(text);
  }
}

// Expected bytes computed with Python 3's codecs cp932 (for Shift_JIS),
// euc_jp and iso2022_jp. cp932 gives the same bytes for both spellings and
// decodes them to the Microsoft one; euc_jp and iso2022_jp decode to the
// standard one, and both spellings must give its bytes here.
struct JisCharacter {
  char16_t standard, microsoft;
  std::string cp932, euc_jp, iso2022_jp;
};

std::string jis(unsigned row, unsigned cell) {
  return bytes({0x1B, 0x24, 0x42, row, cell, 0x1B, 0x28, 0x42});
}

TEST(JisCharacters, BothSpellingsGiveTheJisBytesAndDecodeAsTheReference) {
  const JisCharacter characters[] = {
      {u'\u301C', u'\uFF5E', bytes({0x81, 0x60}), bytes({0xA1, 0xC1}), jis(0x21, 0x41)},  // wave dash
      {u'\u2016', u'\u2225', bytes({0x81, 0x61}), bytes({0xA1, 0xC2}), jis(0x21, 0x42)},  // double vertical line
      {u'\u2212', u'\uFF0D', bytes({0x81, 0x7C}), bytes({0xA1, 0xDD}), jis(0x21, 0x5D)},  // minus sign
      {u'\u00A2', u'\uFFE0', bytes({0x81, 0x91}), bytes({0xA1, 0xF1}), jis(0x21, 0x71)},  // cent sign
      {u'\u00A3', u'\uFFE1', bytes({0x81, 0x92}), bytes({0xA1, 0xF2}), jis(0x21, 0x72)},  // pound sign
      {u'\u00AC', u'\uFFE2', bytes({0x81, 0xCA}), bytes({0xA2, 0xCC}), jis(0x22, 0x4C)},  // not sign
  };
  for (const JisCharacter& c : characters) {
    SCOPED_TRACE(hex(std::u16string(1, c.standard)));
    const std::tuple<EncodingId, std::string, char16_t> forms[] = {
        {kShiftJis, c.cp932, c.microsoft}, {kEucJp, c.euc_jp, c.standard}, {kIso2022Jp, c.iso2022_jp, c.standard}};
    for (const auto& [id, data, decoded] : forms) {
      for (char16_t spelling : {c.standard, c.microsoft}) expect_encodes(std::u16string(1, spelling), id, data);
      expect_decodes(data, id, std::u16string(1, decoded));
    }
  }
}

TEST(JisCharacters, MixedSpellingsOtherCodesAndLongText) {
  const std::string wave_twice = bytes({0x61, 0x1B, 0x24, 0x42, 0x21, 0x41, 0x21, 0x41, 0x1B, 0x28, 0x42, 0x62});
  expect_encodes(u"a\u301C\uFF5Eb", kIso2022Jp, wave_twice);
  expect_decodes(wave_twice, kIso2022Jp, u"a\u301C\u301Cb");
  // The first character the encoding lacks is still reported where it is.
  EXPECT_EQ(to_bytes(u"\u301C\u2016\ud55c", kEucJp).error_offset, 2u);
  // JIS X 0212's tilde (8F A2 B7) and the IBM extension FC FB are other
  // codes that ICU reads as U+FF5E and U+FFE2: they keep ICU's character.
  expect_decodes(bytes({0xA1, 0xC1, 0x8F, 0xA2, 0xB7, 0xFC, 0xFB, 0xA2, 0xCC}), kEucJp, u"\u301C\uFF5E\uFFE2\u00AC");
  // ICU reads ISO-2022-JP's row 90 (IBM's extension, 7A 26 is U+60D5) but
  // cannot write it back: those bytes are invalid, where they stand.
  EXPECT_EQ(failure(to_text(bytes({'C', 0x1B, 0x24, 0x42, 0x7A, 0x26, 0x1B, 0x28, 0x42}), kIso2022Jp)),
            std::pair(ErrorKind::InvalidBytes, std::size_t{4}));
  // More than one internal chunk of output.
  std::string data;
  std::u16string expected;
  for (int i = 0; i < 3000; ++i) {
    data += bytes({0xA1, 0xC1, 0x78});
    expected += u"\u301Cx";
  }
  expect_decodes(data, kEucJp, expected);
}

// In code page 932 every byte 0x00..0x7F is the character of the same number
// (python3: all(chr(c).encode('cp932') == bytes([c]) for c in range(128))).
TEST(ShiftJis, ControlCharactersAreTheirOwnBytes) {
  std::u16string ascii;
  std::string ascii_bytes;
  for (char16_t u = 0; u < 0x80; ++u) {
    ascii.push_back(u);
    ascii_bytes.push_back(static_cast<char>(u));
  }
  expect_encodes(ascii, kShiftJis, ascii_bytes);
  expect_decodes(ascii_bytes, kShiftJis, ascii);
  // Between two-byte characters too (日 is 93 FA), and through the registry's ShiftJIS.
  const std::string mixed = bytes({0x1A, 0x93, 0xFA, 0x1C, 0x93, 0xFA, 0x7F});
  expect_encodes(u"\u001A\u65e5\u001C\u65e5\u007F", kShiftJis, mixed);
  expect_decodes(mixed, kShiftJis, u"\u001A\u65e5\u001C\u65e5\u007F");
  expect_encodes(u"\u001A\u001C\u007F", stored_from_registry(0x0A01), bytes({0x1A, 0x1C, 0x7F}));
  // Errors keep their positions around the control characters; a lead byte
  // cut short by one is invalid.
  EXPECT_EQ(to_bytes(u"\u001Aa\ud55c\u007F", kShiftJis).error_offset, 2u);
  EXPECT_EQ(failure(to_text(bytes({0x41, 0x7F, 0x93, 0x1A}), kShiftJis)),
            std::pair(ErrorKind::InvalidBytes, std::size_t{2}));
}

TEST(Registry, StoredNumbersAsThePlatformGivesThem) {
  const std::pair<std::uint32_t, EncodingId> cases[] = {
      {0x0000, 30}, {0x0021, 6}, {0x0100, 10}, {0x0201, 5}, {0x0202, 9}, {0x0420, 8},  // 0x0420: code page 932
      {0x0500, 12}, {0x0501, 15}, {0x0502, 11}, {0x0503, 13}, {0x0504, 14}, {0x0600, 1},
      {0x0820, 21}, {0x0920, 3}, {0x08000100, 4},
      // Numbers the platform has no constant for keep the high bit.
      {0x0A02, 0x80000A02}, {0x0A01, 0x80000A01}, {0x0505, 0x80000505}, {0x10000100, 0x90000100},
      {0x0C000100, 0x8C000100}, {0x7777, 0x80007777},
  };
  for (const auto& [registry, stored] : cases) EXPECT_EQ(stored_from_registry(registry), stored) << registry;
}

TEST(Registry, ConvertsThroughTheRegisteredCharacterSet) {
  const std::tuple<std::uint32_t, std::u16string_view, std::string> cases[] = {
      {0x0A02, u"\u043f\u0440\u0438\u0432\u0435\u0442", bytes({0xD0, 0xD2, 0xC9, 0xD7, 0xC5, 0xD4})},  // KOI8-R
      {0x0505, u"\u05e9\u05dc\u05d5\u05dd", bytes({0xF9, 0xEC, 0xE5, 0xED})},  // Windows Hebrew
      {0x0930, u"\u4e2d\u6587", bytes({0xD6, 0xD0, 0xCE, 0xC4})},              // EUC-CN
      {0x0A03, u"\u4e2d\u6587", bytes({0xA4, 0xA4, 0xA4, 0xE5})},              // Big5
      {0x0940, u"\ud55c\uad6d", bytes({0xC7, 0xD1, 0xB1, 0xB9})},              // EUC-KR
      {0x020F, u"\u20ac", bytes({0xA4})},                                      // ISO 8859-15
      {0x0400, u"\u00e9", bytes({0x82})},                                      // code page 437
      {0x0A01, u"\u65e5\u672c", bytes({0x93, 0xFA, 0x96, 0x7B})},              // ShiftJIS
      {0x0007, u"\u0430\u044f", bytes({0xE0, 0xDF})},                          // Mac Cyrillic
      {0x10000100, u"A", bytes({0x00, 0x41})},
      {0x14000100, u"A", bytes({0x41, 0x00})},
      {0x0C000100, u"A", bytes({0x41, 0x00, 0x00, 0x00})},  // UTF-32 in this machine's order
      {0x18000100, u"A", bytes({0x00, 0x00, 0x00, 0x41})},
      {0x1C000100, u"A", bytes({0x41, 0x00, 0x00, 0x00})},
  };
  for (const auto& [registry, text, data] : cases) {
    SCOPED_TRACE(::testing::Message() << "registry 0x" << std::hex << registry);
    expect_encodes(text, stored_from_registry(registry), data);
    expect_decodes(data, stored_from_registry(registry), text);
  }
  EXPECT_EQ(to_bytes(u"\u043f\u00e9", stored_from_registry(0x0A02)).error_offset, 1u);
  // The platform never produces 0x80000500, but it names Windows Latin 1.
  expect_encodes(u"\u20ac", kRegistryFlag | 0x0500, bytes({0x80}));
}

TEST(Registry, EveryListedNumberOpensAndNoOtherNumberIsGuessed) {
  ASSERT_GE(registry_encodings().size(), 60u);
  for (const RegistryEncoding& e : registry_encodings()) {
    SCOPED_TRACE(std::string(e.name));
    EXPECT_EQ(e.stored, stored_from_registry(e.number));
    const bool no_converter = e.stored == 2 || e.stored == 7;  // NeXTSTEP, non-lossy ASCII
    EXPECT_EQ(is_supported(e.stored), !no_converter);
    EXPECT_EQ(is_supported(kRegistryFlag | e.number), !no_converter);
  }
  // Unknown stored numbers; not a registry number; MacJapanese, MacArabic and
  // WindowsKoreanJohab, which have no converter here: nothing is guessed.
  for (EncodingId id : {0u, 2u, 7u, 16u, 22u, 0xFFFFFFFFu, stored_from_registry(0x7777), stored_from_registry(0x0001),
                        stored_from_registry(0x0004), stored_from_registry(0x0510)}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(std::tuple(is_supported(id), converter_name(id).has_value(), can_encode(u"a", id), to_bytes(u"a", id).error,
                         to_text("a", id).error),
              std::tuple(false, false, false, ErrorKind::UnsupportedEncoding, ErrorKind::UnsupportedEncoding));
  }
}

}  // namespace
}  // namespace tw::encoding

namespace tw::encoding {
namespace {

// Which bytes ignoring case folds, in the layouts the Japanese search test
// does not reach: letters of their own fold; letters inside a character, an
// escape sequence, a two-byte run or a base64 run do not; an encoding whose
// ASCII letters are other bytes folds nothing.
TEST(CaseFoldMask, OnlyLettersThatAreCharactersOfTheirOwn) {
  const auto reg = [](std::uint32_t n) { return stored_from_registry(n); };
  const std::tuple<const char*, EncodingId, std::string, std::string> rows[] = {
      {"UTF-8", kUtf8, "a\xC3\xA9Z", bytes({0x20, 0, 0, 0x20})},
      {"UTF-16BE", reg(0x10000100), bytes({0, 'a', 'A', 'B', 'b', 0}), bytes({0, 0x20, 0, 0, 0, 0})},
      {"UTF-32LE", reg(0x0C000100), bytes({'a', 0, 0, 0, 'b', 'c', 0, 0}), bytes({0x20, 0, 0, 0, 0, 0, 0, 0})},
      {"GBK", reg(0x0631), bytes({0x81, 'A', 'A'}), bytes({0, 0, 0x20})},
      {"ISO-2022-KR", reg(0x0840), bytes({0x1B, '$', ')', 'C', 'a', 0x0E, 'a', 'b', 0x0F, 'b'}),
       bytes({0, 0, 0, 0, 0x20, 0, 0, 0, 0, 0x20})},
      {"HZ", reg(0x0A05), "a~{Ab~}c", bytes({0x20, 0, 0, 0, 0, 0, 0, 0x20})},
      {"UTF-7", reg(0x04000100), "a+AOk-b", bytes({0x20, 0, 0, 0, 0, 0, 0x20})},
      {"EBCDIC", reg(0x0C02), "AZ", bytes({0, 0})},
      {"Symbol", kSymbol, "Aa", bytes({0, 0})},
  };
  for (const auto& [name, id, input, mask] : rows) EXPECT_EQ(hex(case_fold_mask(input, id)), hex(mask)) << name;
}

}  // namespace
}  // namespace tw::encoding
