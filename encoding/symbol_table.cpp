// Adobe Symbol encoding: a single-byte character set of Greek letters and
// mathematical symbols that ICU does not carry. The table follows the public
// Adobe Symbol mapping to Unicode, including its private-use code points
// (U+F6D9..U+F6DB, U+F8E5..U+F8FE) for the glyph pieces that Unicode does not
// encode and the euro sign at 0xA0. The control bytes 0x00..0x1F and 0x7F map
// to the same control characters, so that tabs and line breaks of a search
// string survive. 0x80..0x9F, 0xF0 and 0xFF are undefined.
#include <algorithm>
#include <cstddef>
#include <iterator>
#include <utility>

#include "encoding/encoding_internal.h"

namespace tw::encoding::detail {

namespace {
constexpr char16_t U = kSymbolUndefined;
}  // namespace

// clang-format off
constexpr std::array<char16_t, 256> kSymbolToUnicode = {
  // 0x00..0x1F: control characters, unchanged
  0x0000, 0x0001, 0x0002, 0x0003, 0x0004, 0x0005, 0x0006, 0x0007,
  0x0008, 0x0009, 0x000A, 0x000B, 0x000C, 0x000D, 0x000E, 0x000F,
  0x0010, 0x0011, 0x0012, 0x0013, 0x0014, 0x0015, 0x0016, 0x0017,
  0x0018, 0x0019, 0x001A, 0x001B, 0x001C, 0x001D, 0x001E, 0x001F,
  // 0x20: space ! forall # exists % & suchthat ( ) asteriskmath + , minus . /
  0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B,
  0x0028, 0x0029, 0x2217, 0x002B, 0x002C, 0x2212, 0x002E, 0x002F,
  // 0x30: digits : ; < = > ?
  0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
  0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
  // 0x40: congruent Alpha Beta Chi Delta Epsilon Phi Gamma
  //       Eta Iota theta1 Kappa Lambda Mu Nu Omicron
  0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393,
  0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,
  // 0x50: Pi Theta Rho Sigma Tau Upsilon sigma1 Omega
  //       Xi Psi Zeta [ therefore ] perpendicular _
  0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9,
  0x039E, 0x03A8, 0x0396, 0x005B, 0x2234, 0x005D, 0x22A5, 0x005F,
  // 0x60: radicalex alpha beta chi delta epsilon phi gamma
  //       eta iota phi1 kappa lambda mu nu omicron
  0xF8E5, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3,
  0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF,
  // 0x70: pi theta rho sigma tau upsilon omega1 omega
  //       xi psi zeta { | } similar (0x7F control)
  0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9,
  0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0x007F,
  // 0x80..0x9F: undefined
  U, U, U, U, U, U, U, U, U, U, U, U, U, U, U, U,
  U, U, U, U, U, U, U, U, U, U, U, U, U, U, U, U,
  // 0xA0: Euro Upsilon1 minute lessequal fraction infinity florin club
  //       diamond heart spade arrowboth arrowleft arrowup arrowright arrowdown
  0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663,
  0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193,
  // 0xB0: degree plusminus second greaterequal multiply proportional
  //       partialdiff bullet divide notequal equivalence approxequal
  //       ellipsis arrowvertex arrowhorizex carriagereturn
  0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022,
  0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0xF8E6, 0xF8E7, 0x21B5,
  // 0xC0: aleph Ifraktur Rfraktur weierstrass circlemultiply circleplus
  //       emptyset intersection union propersuperset reflexsuperset
  //       notsubset propersubset reflexsubset element notelement
  0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229,
  0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209,
  // 0xD0: angle gradient registerserif copyrightserif trademarkserif
  //       product radical dotmath logicalnot logicaland logicalor
  //       arrowdblboth arrowdblleft arrowdblup arrowdblright arrowdbldown
  0x2220, 0x2207, 0xF6DA, 0xF6D9, 0xF6DB, 0x220F, 0x221A, 0x22C5,
  0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3,
  // 0xE0: lozenge angleleft registersans copyrightsans trademarksans
  //       summation parenlefttp parenleftex parenleftbt bracketlefttp
  //       bracketleftex bracketleftbt bracelefttp braceleftmid
  //       braceleftbt braceex
  0x25CA, 0x2329, 0xF8E8, 0xF8E9, 0xF8EA, 0x2211, 0xF8EB, 0xF8EC,
  0xF8ED, 0xF8EE, 0xF8EF, 0xF8F0, 0xF8F1, 0xF8F2, 0xF8F3, 0xF8F4,
  // 0xF0: (undefined) angleright integral integraltp integralex
  //       integralbt parenrighttp parenrightex parenrightbt
  //       bracketrighttp bracketrightex bracketrightbt bracerighttp
  //       bracerightmid bracerightbt (undefined)
  U,      0x232A, 0x222B, 0x2320, 0xF8F5, 0x2321, 0xF8F6, 0xF8F7,
  0xF8F8, 0xF8F9, 0xF8FA, 0xF8FB, 0xF8FC, 0xF8FD, 0xF8FE, U,
};
// clang-format on

namespace {

// Second Unicode spellings that the Adobe mapping also sends to a byte
// (text -> bytes only; bytes -> text gives the table's character).
constexpr std::pair<char16_t, unsigned char> kSymbolAliases[] = {
    {0x00A0, 0x20},  // no-break space -> space
    {0x00B5, 0x6D},  // micro sign -> mu
    {0x2126, 0x57},  // ohm sign -> Omega
    {0x2206, 0x44},  // increment -> Delta
    {0x2215, 0xA4},  // division slash -> fraction
};

constexpr std::size_t count_defined() {
  std::size_t n = 0;
  for (char16_t unit : kSymbolToUnicode) n += unit != kSymbolUndefined ? 1 : 0;
  return n;
}
// 256 bytes less 0x80..0x9F, 0xF0 and 0xFF.
static_assert(count_defined() == 222, "the Symbol table lost or gained an entry");

using ReverseEntry = std::pair<char16_t, unsigned char>;
using ReverseMap = std::array<ReverseEntry, count_defined() + std::size(kSymbolAliases)>;

// Unicode -> byte, sorted by code unit; built at compile time.
constexpr ReverseMap build_reverse_map() {
  ReverseMap map{};
  std::size_t n = 0;
  for (unsigned byte = 0; byte < 256; ++byte) {
    if (kSymbolToUnicode[byte] != kSymbolUndefined) {
      map[n++] = {kSymbolToUnicode[byte], static_cast<unsigned char>(byte)};
    }
  }
  for (const auto& alias : kSymbolAliases) map[n++] = alias;
  std::sort(map.begin(), map.end());
  return map;
}

constexpr ReverseMap kReverse = build_reverse_map();

constexpr bool units_are_unique() {
  for (std::size_t i = 1; i < kReverse.size(); ++i) {
    if (kReverse[i - 1].first == kReverse[i].first) return false;
  }
  return true;
}
static_assert(units_are_unique(), "a Unicode character maps to two Symbol bytes");

}  // namespace

std::optional<unsigned char> symbol_from_unicode(char16_t unit) noexcept {
  auto it = std::lower_bound(kReverse.begin(), kReverse.end(), unit,
                             [](const auto& entry, char16_t key) { return entry.first < key; });
  if (it == kReverse.end() || it->first != unit) return std::nullopt;
  return it->second;
}

}  // namespace tw::encoding::detail
