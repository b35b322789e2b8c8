// Registry (CFStringEncoding) numbers: their stored numbers as the other
// platform's conversion gives them, and conversions through them.
#include <gtest/gtest.h>

#include <string>

#include "encoding/string_encoding.h"
#include "test_bytes.h"

namespace tw::encoding {
namespace {

using testing::bytes;
using testing::hex;

TEST(Registry, NumbersThePlatformNamesGetItsNumber) {
  EXPECT_EQ(stored_from_registry(0x0000), 30u);        // MacRoman
  EXPECT_EQ(stored_from_registry(0x0021), 6u);         // MacSymbol
  EXPECT_EQ(stored_from_registry(0x0100), 10u);        // UTF-16
  EXPECT_EQ(stored_from_registry(0x0201), 5u);         // ISO Latin 1
  EXPECT_EQ(stored_from_registry(0x0202), 9u);         // ISO Latin 2
  EXPECT_EQ(stored_from_registry(0x0420), 8u);         // DOS Japanese (code page 932)
  EXPECT_EQ(stored_from_registry(0x0500), 12u);        // Windows Latin 1
  EXPECT_EQ(stored_from_registry(0x0501), 15u);        // Windows Latin 2
  EXPECT_EQ(stored_from_registry(0x0502), 11u);        // Windows Cyrillic
  EXPECT_EQ(stored_from_registry(0x0503), 13u);        // Windows Greek
  EXPECT_EQ(stored_from_registry(0x0504), 14u);        // Windows Latin 5
  EXPECT_EQ(stored_from_registry(0x0600), 1u);         // ASCII
  EXPECT_EQ(stored_from_registry(0x0820), 21u);        // ISO-2022-JP
  EXPECT_EQ(stored_from_registry(0x0920), 3u);         // EUC-JP
  EXPECT_EQ(stored_from_registry(0x08000100), 4u);     // UTF-8
}

TEST(Registry, OtherNumbersGetTheHighBit) {
  EXPECT_EQ(stored_from_registry(0x0A02), 0x80000A02u);  // KOI8-R
  EXPECT_EQ(stored_from_registry(0x0A01), 0x80000A01u);  // ShiftJIS (not the DOS code page)
  EXPECT_EQ(stored_from_registry(0x0505), 0x80000505u);  // Windows Hebrew
  EXPECT_EQ(stored_from_registry(0x10000100), 0x90000100u);  // UTF-16BE
  EXPECT_EQ(stored_from_registry(0x0C000100), 0x8C000100u);  // UTF-32
  EXPECT_EQ(stored_from_registry(0x7777), 0x80007777u);  // undocumented
}

struct RegistryCase {
  std::uint32_t registry;
  std::u16string_view text;
  std::string expected;
};

TEST(Registry, ConvertsThroughTheRegisteredCharacterSet) {
  const RegistryCase cases[] = {
      {0x0A02, u"\u043f\u0440\u0438\u0432\u0435\u0442", bytes({0xD0, 0xD2, 0xC9, 0xD7, 0xC5, 0xD4})},
      {0x0505, u"\u05e9\u05dc\u05d5\u05dd", bytes({0xF9, 0xEC, 0xE5, 0xED})},
      {0x0930, u"\u4e2d\u6587", bytes({0xD6, 0xD0, 0xCE, 0xC4})},
      {0x0631, u"\u4e2d\u6587", bytes({0xD6, 0xD0, 0xCE, 0xC4})},
      {0x0A03, u"\u4e2d\u6587", bytes({0xA4, 0xA4, 0xA4, 0xE5})},
      {0x0940, u"\ud55c\uad6d", bytes({0xC7, 0xD1, 0xB1, 0xB9})},
      {0x0203, u"\u0127", bytes({0xB1})},                       // ISO 8859-3 h with stroke
      {0x020F, u"\u20ac", bytes({0xA4})},                       // ISO 8859-15 euro
      {0x0400, u"\u00e9", bytes({0x82})},                       // code page 437
      {0x041B, u"\u043f", bytes({0xAF})},                       // code page 866
      {0x0A01, u"\u65e5\u672c", bytes({0x93, 0xFA, 0x96, 0x7B})},
      {0x0007, u"\u0430\u044f", bytes({0xE0, 0xDF})},           // Mac Cyrillic
      {0x10000100, u"A", bytes({0x00, 0x41})},
      {0x14000100, u"A", bytes({0x41, 0x00})},
      {0x0C000100, u"A", bytes({0x41, 0x00, 0x00, 0x00})},
      {0x18000100, u"A", bytes({0x00, 0x00, 0x00, 0x41})},
      {0x1C000100, u"A", bytes({0x41, 0x00, 0x00, 0x00})},
      {0x0500, u"\u20ac", bytes({0x80})},
      {0x0000, u"\u00e9", bytes({0x8E})},
  };
  for (const RegistryCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "registry 0x" << std::hex << c.registry);
    const EncodingId id = stored_from_registry(c.registry);
    ASSERT_TRUE(is_supported(id));
    Result<std::string> encoded = to_bytes(c.text, id);
    ASSERT_TRUE(encoded.ok());
    EXPECT_EQ(hex(*encoded.value), hex(c.expected));
    Result<std::u16string> decoded = to_text(c.expected, id);
    ASSERT_TRUE(decoded.ok());
    EXPECT_EQ(hex(*decoded.value), hex(std::u16string(c.text)));
  }
}

TEST(Registry, KoiRRefusesWhatItLacks) {
  const EncodingId koi8r = stored_from_registry(0x0A02);
  Result<std::string> r = to_bytes(u"\u043f\u00e9", koi8r);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error, ErrorKind::Unrepresentable);
  EXPECT_EQ(r.error_offset, 1u);
}

TEST(Registry, FlaggedNumberOfANamedEncodingUsesThatEncoding) {
  // The platform never produces 0x80000500, but it names Windows Latin 1.
  Result<std::string> r = to_bytes(u"\u20ac", kRegistryFlag | 0x0500);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(hex(*r.value), "80");
}

TEST(Registry, UnknownOrUnconvertibleNumbersCannotConvert) {
  // 0x7777 is no registry number; MacJapanese (1), MacArabic (4) and
  // WindowsKoreanJohab (0x0510) are, but have no converter here; NeXTSTEP
  // Latin and non-lossy ASCII get platform numbers without a converter.
  for (std::uint32_t registry : {0x7777u, 0x0001u, 0x0004u, 0x0510u, 0x0B01u, 0x0BFFu}) {
    SCOPED_TRACE(registry);
    const EncodingId id = stored_from_registry(registry);
    EXPECT_FALSE(is_supported(id));
    Result<std::string> r = to_bytes(u"a", id);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error, ErrorKind::UnsupportedEncoding);
  }
}

TEST(Registry, EveryListedNumberOpensExceptThoseWithoutAConverter) {
  ASSERT_GE(registry_encodings().size(), 60u);
  for (const RegistryEncoding& e : registry_encodings()) {
    SCOPED_TRACE(std::string(e.name));
    EXPECT_EQ(e.stored, stored_from_registry(e.number));
    const bool no_converter = e.stored == 2 || e.stored == 7;  // NeXTSTEP, non-lossy ASCII
    EXPECT_EQ(is_supported(e.stored), !no_converter);
    EXPECT_EQ(is_supported(kRegistryFlag | e.number), !no_converter);
  }
}

}  // namespace
}  // namespace tw::encoding
