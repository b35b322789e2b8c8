// The other platform's encoding registry (CFStringEncoding numbers, as its
// public headers document them) and its conversion to stored numbers
// (CFStringConvertEncodingToNSStringEncoding).
//
// The platform names its own encoding for a few registry numbers (the table's
// platform_id column: ASCII, the Windows and ISO Latin code pages it has
// constants for, MacRoman, MacSymbol, EUC-JP, ISO-2022-JP, DOSJapanese, UTF-8,
// UTF-16, NeXTSTEP, non-lossy ASCII); every other registry number N becomes
// the stored number 0x80000000 | N. Note that the platform's Shift_JIS
// constant (8) comes from DOSJapanese (0x0420, code page 932), not from
// ShiftJIS (0x0A01), which stays 0x80000A01.
//
// Only registry numbers whose character set ICU converts (each name was
// checked to open with ucnv_open) or that the platform maps to one of its own
// numbers are listed; a number missing here cannot be converted.
#include <algorithm>

#include "encoding/encoding_internal.h"

namespace tw::encoding::detail {

namespace {

// Sorted by number (checked at compile time below).
constexpr RegistryEntry kRegistry[] = {
    // Mac script encodings
    {0x0000, "MacRoman", kMacRoman, nullptr},
    {0x0006, "MacGreek", 0, "x-mac-greek"},
    {0x0007, "MacCyrillic", 0, "x-mac-cyrillic"},
    {0x001D, "MacCentralEurRoman", 0, "x-mac-centraleurroman"},
    {0x0021, "MacSymbol", kSymbol, nullptr},
    {0x0023, "MacTurkish", 0, "x-mac-turkish"},
    // Unicode
    {0x0100, "UTF16", kUtf16, nullptr},
    // ISO 8859
    {0x0201, "ISOLatin1", kLatin1, nullptr},
    {0x0202, "ISOLatin2", kLatin2, nullptr},
    {0x0203, "ISOLatin3", 0, "ISO-8859-3"},
    {0x0204, "ISOLatin4", 0, "ISO-8859-4"},
    {0x0205, "ISOLatinCyrillic", 0, "ISO-8859-5"},
    {0x0206, "ISOLatinArabic", 0, "ISO-8859-6"},
    {0x0207, "ISOLatinGreek", 0, "ISO-8859-7"},
    {0x0208, "ISOLatinHebrew", 0, "ISO-8859-8"},
    {0x0209, "ISOLatin5", 0, "ISO-8859-9"},
    {0x020A, "ISOLatin6", 0, "ISO-8859-10"},
    {0x020B, "ISOLatinThai", 0, "ISO-8859-11"},
    {0x020D, "ISOLatin7", 0, "ISO-8859-13"},
    {0x020E, "ISOLatin8", 0, "ISO-8859-14"},
    {0x020F, "ISOLatin9", 0, "ISO-8859-15"},
    // DOS code pages (the Asian ones are also the Windows code pages)
    {0x0400, "DOSLatinUS", 0, "ibm-437"},
    {0x0405, "DOSGreek", 0, "ibm-737"},
    {0x0406, "DOSBalticRim", 0, "ibm-775"},
    {0x0410, "DOSLatin1", 0, "ibm-850"},
    {0x0411, "DOSGreek1", 0, "ibm-851"},
    {0x0412, "DOSLatin2", 0, "ibm-852"},
    {0x0413, "DOSCyrillic", 0, "ibm-855"},
    {0x0414, "DOSTurkish", 0, "ibm-857"},
    {0x0415, "DOSPortuguese", 0, "ibm-860"},
    {0x0416, "DOSIcelandic", 0, "ibm-861"},
    {0x0417, "DOSHebrew", 0, "ibm-862"},
    {0x0418, "DOSCanadianFrench", 0, "ibm-863"},
    {0x0419, "DOSArabic", 0, "ibm-864"},
    {0x041A, "DOSNordic", 0, "ibm-865"},
    {0x041B, "DOSRussian", 0, "ibm-866"},
    {0x041C, "DOSGreek2", 0, "ibm-869"},
    {0x041D, "DOSThai", 0, "windows-874"},
    {0x0420, "DOSJapanese", kShiftJis, nullptr},
    {0x0421, "DOSChineseSimplif", 0, "windows-936"},
    {0x0422, "DOSKorean", 0, "windows-949"},
    {0x0423, "DOSChineseTrad", 0, "windows-950"},
    // Windows code pages
    {0x0500, "WindowsLatin1", kWindows1252, nullptr},
    {0x0501, "WindowsLatin2", kWindows1250, nullptr},
    {0x0502, "WindowsCyrillic", kWindows1251, nullptr},
    {0x0503, "WindowsGreek", kWindows1253, nullptr},
    {0x0504, "WindowsLatin5", kWindows1254, nullptr},
    {0x0505, "WindowsHebrew", 0, "windows-1255"},
    {0x0506, "WindowsArabic", 0, "windows-1256"},
    {0x0507, "WindowsBalticRim", 0, "windows-1257"},
    {0x0508, "WindowsVietnamese", 0, "windows-1258"},
    // National standards
    {0x0600, "ASCII", kAscii, nullptr},
    {0x0631, "GBK_95", 0, "GBK"},
    {0x0632, "GB_18030_2000", 0, "GB18030"},
    // ISO 2022
    {0x0820, "ISO_2022_JP", kIso2022Jp, nullptr},
    {0x0821, "ISO_2022_JP_2", 0, "ISO-2022-JP-2"},
    {0x0822, "ISO_2022_JP_1", 0, "ISO-2022-JP-1"},
    {0x0830, "ISO_2022_CN", 0, "ISO-2022-CN"},
    {0x0831, "ISO_2022_CN_EXT", 0, "ISO-2022-CN-EXT"},
    {0x0840, "ISO_2022_KR", 0, "ISO-2022-KR"},
    // EUC
    {0x0920, "EUC_JP", kEucJp, nullptr},
    {0x0930, "EUC_CN", 0, "GB2312"},
    {0x0931, "EUC_TW", 0, "EUC-TW"},
    {0x0940, "EUC_KR", 0, "EUC-KR"},
    // Other multi-byte and Cyrillic sets
    {0x0A01, "ShiftJIS", 0, "Shift_JIS"},
    {0x0A02, "KOI8_R", 0, "KOI8-R"},
    {0x0A03, "Big5", 0, "Big5"},
    {0x0A05, "HZ_GB_2312", 0, "HZ-GB-2312"},
    {0x0A06, "Big5_HKSCS_1999", 0, "Big5-HKSCS"},
    {0x0A08, "KOI8_U", 0, "KOI8-U"},
    {0x0A10, "UTF7_IMAP", 0, "IMAP-mailbox-name"},
    // NeXTSTEP and non-lossy ASCII have platform numbers but no converter
    {0x0B01, "NextStepLatin", 2, nullptr},
    {0x0BFF, "NonLossyASCII", 7, nullptr},
    // EBCDIC
    {0x0C02, "EBCDIC_CP037", 0, "ibm-37"},
    // Unicode transformation formats. UTF-32 without a byte order follows
    // the choice made for UTF-16: this machine's order (little-endian) and
    // no byte-order mark.
    {0x04000100, "UTF7", 0, "UTF-7"},
    {0x08000100, "UTF8", kUtf8, nullptr},
    {0x0C000100, "UTF32", 0, "UTF-32LE"},
    {0x10000100, "UTF16BE", 0, "UTF-16BE"},
    {0x14000100, "UTF16LE", 0, "UTF-16LE"},
    {0x18000100, "UTF32BE", 0, "UTF-32BE"},
    {0x1C000100, "UTF32LE", 0, "UTF-32LE"},
};

constexpr bool registry_is_sorted() {
  for (std::size_t i = 1; i < std::size(kRegistry); ++i) {
    if (kRegistry[i - 1].number >= kRegistry[i].number) return false;
  }
  return true;
}
static_assert(registry_is_sorted(), "registry entries must be sorted and unique");

}  // namespace

const RegistryEntry* find_registry_entry(std::uint32_t number) noexcept {
  auto it = std::lower_bound(std::begin(kRegistry), std::end(kRegistry), number,
                             [](const RegistryEntry& e, std::uint32_t key) { return e.number < key; });
  if (it == std::end(kRegistry) || it->number != number) return nullptr;
  return &*it;
}

std::span<const RegistryEntry> registry_entries() noexcept { return kRegistry; }

}  // namespace tw::encoding::detail

namespace tw::encoding {

EncodingId stored_from_registry(std::uint32_t number) noexcept {
  const detail::RegistryEntry* entry = detail::find_registry_entry(number);
  if (entry != nullptr && entry->platform_id != 0) return entry->platform_id;
  return kRegistryFlag | number;
}

std::span<const RegistryEncoding> registry_encodings() noexcept {
  static constexpr auto kPublic = [] {
    std::array<RegistryEncoding, std::size(detail::kRegistry)> out{};
    for (std::size_t i = 0; i < out.size(); ++i) {
      const detail::RegistryEntry& e = detail::kRegistry[i];
      out[i] = {e.number, e.name, e.platform_id != 0 ? e.platform_id : kRegistryFlag | e.number};
    }
    return out;
  }();
  return kPublic;
}

}  // namespace tw::encoding
