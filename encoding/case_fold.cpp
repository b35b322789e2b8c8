// Which bytes of an encoded pattern are ASCII letters as characters of its
// encoding, so that ignoring case folds them and nothing else: never a byte
// inside a multibyte character, nor one of an escape sequence.
#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

#include "encoding/string_encoding.h"

namespace tw::encoding {
namespace {

enum class Layout : std::uint8_t {
  None,        // no ASCII letter is a byte of its own (EBCDIC, Symbol, unknown)
  Bytes,       // every letter byte is a letter (ASCII-compatible, UTF-8, EUC)
  Units,       // fixed-width units: UTF-16 and UTF-32, either byte order
  LeadTrail,   // a lead byte from 0x81 starts a two-byte character
  Iso2022,     // escape sequences and shifts select the character sets
  Hz,          // "~{" and "~}" around two-byte text
  Base64Runs,  // UTF-7 and IMAP names: letters inside a base64 run are data
};

struct Family {
  Layout layout = Layout::None;
  unsigned unit = 1;         // Units: bytes per unit
  unsigned letter_at = 0;    // Units: the byte that holds the letter
  std::uint8_t lead_end = 0; // LeadTrail: last lead byte (0x81 ..)
  std::uint8_t lead_gap_from = 0, lead_gap_to = 0;  // LeadTrail: bytes in that range lead nothing
  char run_open = '+';       // Base64Runs
};

bool is_letter(std::uint8_t b) { return static_cast<std::uint8_t>((b | 0x20) - 'a') < 26; }

bool same_name(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

bool starts_with(std::string_view name, std::string_view prefix) {
  return name.size() >= prefix.size() && same_name(name.substr(0, prefix.size()), prefix);
}

Family family_of(EncodingId id) {
  Family f;
  const auto found = converter_name(id);
  if (!found) return f;
  const std::string_view name = *found;
  const struct { std::string_view name; unsigned unit, letter_at; } units[] = {
      {"UTF-16LE", 2, 0}, {"UTF-16BE", 2, 1}, {"UTF-32LE", 4, 0}, {"UTF-32BE", 4, 3}};
  for (const auto& u : units) {
    if (same_name(name, u.name)) {
      f.layout = Layout::Units;
      f.unit = u.unit;
      f.letter_at = u.letter_at;
      return f;
    }
  }
  if (same_name(name, "windows-31j") || same_name(name, "Shift_JIS")) {
    // Lead bytes 0x81..0x9F and 0xE0..0xFC; 0xA0..0xDF are single
    // half-width katakana.
    f.layout = Layout::LeadTrail;
    f.lead_end = 0xFC;
    f.lead_gap_from = 0xA0;
    f.lead_gap_to = 0xDF;
    return f;
  }
  for (std::string_view dbcs : {"GBK", "GB18030", "windows-936", "windows-949", "windows-950", "Big5",
                                "Big5-HKSCS"}) {
    if (same_name(name, dbcs)) {
      f.layout = Layout::LeadTrail;
      f.lead_end = 0xFE;
      return f;
    }
  }
  if (starts_with(name, "ISO-2022")) {
    f.layout = Layout::Iso2022;
    return f;
  }
  if (same_name(name, "HZ-GB-2312")) {
    f.layout = Layout::Hz;
    return f;
  }
  if (same_name(name, "UTF-7") || same_name(name, "IMAP-mailbox-name")) {
    f.layout = Layout::Base64Runs;
    f.run_open = same_name(name, "UTF-7") ? '+' : '&';
    return f;
  }
  // Any other encoding folds its letter bytes only when each ASCII letter
  // is that very byte in it.
  const std::u16string letters = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  const auto bytes = to_bytes(letters, id);
  if (bytes && *bytes.value == "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")
    f.layout = Layout::Bytes;
  return f;
}

void mark_iso2022(std::string_view bytes, std::string& mask) {
  // Single-byte ASCII (or JIS-Roman) text until an escape or a shift says
  // otherwise; ESC N and ESC O take the next character from another set.
  bool ascii = true, shifted_out = false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<std::uint8_t>(bytes[i]);
    if (b == 0x1B) {
      std::size_t j = i + 1;
      while (j < bytes.size() && static_cast<std::uint8_t>(bytes[j]) >= 0x20 &&
             static_cast<std::uint8_t>(bytes[j]) <= 0x2F)
        ++j;
      if (j >= bytes.size()) break;
      const std::string_view inter = bytes.substr(i + 1, j - i - 1);
      const char final_byte = bytes[j];
      if (inter == "(") ascii = final_byte == 'B' || final_byte == 'J';
      else if (!inter.empty() && inter[0] == '$' && (inter.size() == 1 || inter[1] == '('))
        ascii = false;
      else if (inter.empty() && (final_byte == 'N' || final_byte == 'O'))
        ++j;  // a single shift: the next byte belongs to the other set
      i = j;
      continue;
    }
    if (b == 0x0E) shifted_out = true;
    else if (b == 0x0F) shifted_out = false;
    else if (ascii && !shifted_out && is_letter(b)) mask[i] = 0x20;
  }
}

}  // namespace

std::string case_fold_mask(std::string_view bytes, EncodingId id) {
  std::string mask(bytes.size(), '\0');
  const Family f = family_of(id);
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
  switch (f.layout) {
  case Layout::None: break;
  case Layout::Bytes:
    for (std::size_t i = 0; i < bytes.size(); ++i)
      if (is_letter(byte(i))) mask[i] = 0x20;
    break;
  case Layout::Units:
    for (std::size_t u = 0; u + f.unit <= bytes.size(); u += f.unit) {
      bool ascii = is_letter(byte(u + f.letter_at));
      for (unsigned k = 0; k < f.unit && ascii; ++k) ascii = k == f.letter_at || byte(u + k) == 0;
      if (ascii) mask[u + f.letter_at] = 0x20;
    }
    break;
  case Layout::LeadTrail:
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const std::uint8_t b = byte(i);
      if (b >= 0x81 && b <= f.lead_end && !(b >= f.lead_gap_from && b <= f.lead_gap_to)) ++i;
      else if (is_letter(b)) mask[i] = 0x20;
    }
    break;
  case Layout::Iso2022: mark_iso2022(bytes, mask); break;
  case Layout::Hz: {
    bool two_byte = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] == '~' && i + 1 < bytes.size()) {
        if (bytes[i + 1] == '{') two_byte = true;
        else if (bytes[i + 1] == '}') two_byte = false;
        ++i;
      } else if (!two_byte && is_letter(byte(i))) {
        mask[i] = 0x20;
      }
    }
    break;
  }
  case Layout::Base64Runs: {
    bool run = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const char c = bytes[i];
      if (!run && c == f.run_open) run = true;
      else if (run && (c == '-' || !(std::isalnum(static_cast<unsigned char>(c)) || c == '+' ||
                                     c == '/' || c == ',')))
        run = false;
      else if (!run && is_letter(byte(i))) mask[i] = 0x20;
    }
    break;
  }
  }
  return mask;
}

}  // namespace tw::encoding
