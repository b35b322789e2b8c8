// Fixed encodings, stored-number resolution and the conversions themselves.
#include "encoding/string_encoding.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "encoding/encoding_internal.h"
#include "encoding/icu_api.h"

namespace tw::encoding {

namespace {

// UTF-16 (stored number 10) is read and written in the byte order of the
// stored bytes as this machine writes them: little-endian, without a
// byte-order mark. A leading FF FE is therefore an ordinary U+FEFF.
constexpr const char* kUtf16Converter = "UTF-16LE";

// Name reported for the Adobe Symbol table, which is not an ICU converter.
constexpr std::string_view kSymbolConverterName = "Adobe-Symbol";

struct FixedRow {
  FixedEncoding row;
  const char* icu_name;  // nullptr for Adobe Symbol
};

// The pull-down rows 1 to 15, in order.
constexpr FixedRow kFixed[] = {
    {{kAscii, "Plain (ascII) text", "Texte (ascII)", "ascii"}, "US-ASCII"},
    {{kUtf8, "UTF8", "UTF8", "utf-8"}, "UTF-8"},
    {{kUtf16, "Unicode", "Unicode", "utf-16"}, kUtf16Converter},
    {{kMacRoman, "Mac (Classic)", "Mac (Classique)", "macroman"}, "macos-0_2-10.2"},
    {{kSymbol, "Symbol", "Symbol", "symbol"}, nullptr},
    {{kLatin1, "Latin 1", "Latin 1", "latin1"}, "ISO-8859-1"},
    {{kLatin2, "Latin 2", "Latin 2", "latin2"}, "ISO-8859-2"},
    {{kWindows1253, "Greek", "Grec", "cp1253"}, "windows-1253"},
    {{kIso2022Jp, "Japan (mail)", "Japon (pour courrier)", "iso-2022-jp"}, "ISO-2022-JP"},
    {{kEucJp, "Japan (text)", "Japon (texte)", "euc-jp"}, "EUC-JP"},
    {{kShiftJis, "Japan (JIS)", "Japon (JIS)", "shift_jis"}, "windows-31j"},
    {{kWindows1251, "Cyrillic", "Cyrillique", "cp1251"}, "windows-1251"},
    {{kWindows1254, "Turkish", "Turc", "cp1254"}, "windows-1254"},
    {{kWindows1252, "MS Latin 1", "MS Latin 1", "cp1252"}, "windows-1252"},
    {{kWindows1250, "MS Latin 2", "MS Latin 2", "cp1250"}, "windows-1250"},
};

constexpr auto kFixedRows = [] {
  std::array<FixedEncoding, std::size(kFixed)> rows{};
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = kFixed[i].row;
  return rows;
}();
static_assert(kFixedRows.size() == 15);

// Command-line names, lower case.
struct ShortName {
  std::string_view name;
  EncodingId id;
};
constexpr ShortName kShortNames[] = {
    {"ascii", kAscii},         {"us-ascii", kAscii},
    {"utf-8", kUtf8},          {"utf8", kUtf8},
    {"utf-16", kUtf16},        {"utf16", kUtf16},
    {"utf-16le", kUtf16},      {"unicode", kUtf16},
    {"macroman", kMacRoman},   {"mac-roman", kMacRoman},
    {"mac", kMacRoman},        {"macintosh", kMacRoman},
    {"symbol", kSymbol},       {"adobe-symbol", kSymbol},
    {"latin1", kLatin1},       {"latin-1", kLatin1},
    {"iso-8859-1", kLatin1},   {"iso8859-1", kLatin1},
    {"latin2", kLatin2},       {"latin-2", kLatin2},
    {"iso-8859-2", kLatin2},   {"iso8859-2", kLatin2},
    {"cp1253", kWindows1253},  {"windows-1253", kWindows1253},
    {"iso-2022-jp", kIso2022Jp},
    {"euc-jp", kEucJp},        {"eucjp", kEucJp},
    {"shift_jis", kShiftJis},  {"shift-jis", kShiftJis},
    {"sjis", kShiftJis},
    {"cp1251", kWindows1251},  {"windows-1251", kWindows1251},
    {"cp1254", kWindows1254},  {"windows-1254", kWindows1254},
    {"cp1252", kWindows1252},  {"windows-1252", kWindows1252},
    {"cp1250", kWindows1250},  {"windows-1250", kWindows1250},
};

// Corrections made on top of an ICU table (see the Japanese tables below).
enum class Fixup : std::uint8_t {
  None,
  Cp932,          // Shift_JIS: three control bytes, JIS X 0208 standard code points
  Jis0208Euc,     // EUC-JP: JIS X 0208 standard code points
  Jis0208Iso2022  // ISO-2022-JP: JIS X 0208 standard code points
};

// How a stored number is converted.
struct Converter {
  enum class Kind { Icu, Symbol } kind;
  const char* icu_name;  // for Kind::Icu
  Fixup fixup = Fixup::None;
};

// --- Japanese tables -------------------------------------------------------
//
// ICU's code page 932 table (ibm-943_P15A-2003, which "windows-31j", "cp932"
// and "Shift_JIS" all open) follows IBM's PC layout for three control bytes:
// 0x1A <-> U+001C, 0x1C <-> U+007F, 0x7F <-> U+001A. In code page 932 every
// byte 0x00..0x7F is the character of the same number, so these three are
// converted here, one byte for one character, around ICU. None of them is
// ever part of a two-byte Shift_JIS character (lead bytes 0x81..0x9F and
// 0xE0..0xFC, trail bytes 0x40..0x7E and 0x80..0xFC), so the bytes can be
// split there.
//
// Six JIS X 0208 characters have two Unicode spellings: the standard one
// (the JIS X 0208 mapping) and Microsoft's code page 932 one. ICU's EUC-JP
// (euc-jp-2007), ISO-2022-JP and code page 932 tables hold only Microsoft's,
// and no ICU table holds both. Text to bytes, both spellings are accepted:
// the standard one is handed to ICU as Microsoft's, giving the same JIS
// bytes. Bytes to text, EUC-JP and ISO-2022-JP give the standard spelling
// for exactly these JIS X 0208 codes (other bytes ICU maps to the same
// Microsoft character, such as JIS X 0212's tilde 8F A2 B7 or the IBM
// extension FC FB, keep ICU's character); Shift_JIS keeps code page 932's
// Microsoft spelling, which is that code page's published table.
struct JisPair {
  char16_t standard;
  char16_t microsoft;
  std::uint16_t jis;  // JIS X 0208 row and cell bytes (ISO-2022-JP bytes)
};
constexpr JisPair kJisPairs[] = {
    {u'\u301C', u'\uFF5E', 0x2141},  // WAVE DASH / FULLWIDTH TILDE
    {u'\u2016', u'\u2225', 0x2142},  // DOUBLE VERTICAL LINE / PARALLEL TO
    {u'\u2212', u'\uFF0D', 0x215D},  // MINUS SIGN / FULLWIDTH HYPHEN-MINUS
    {u'\u00A2', u'\uFFE0', 0x2171},  // CENT SIGN / FULLWIDTH CENT SIGN
    {u'\u00A3', u'\uFFE1', 0x2172},  // POUND SIGN / FULLWIDTH POUND SIGN
    {u'\u00AC', u'\uFFE2', 0x224C},  // NOT SIGN / FULLWIDTH NOT SIGN
};

constexpr bool is_cp932_direct_control(char16_t unit) noexcept {
  return unit == 0x1A || unit == 0x1C || unit == 0x7F;
}

// Which fix-up an ICU converter name needs. The stored Shift_JIS number uses
// "windows-31j"; the registry's ShiftJIS uses "Shift_JIS", the same ICU table.
Fixup fixup_for(const char* icu_name) noexcept {
  const std::string_view name(icu_name);
  if (name == "windows-31j" || name == "Shift_JIS") return Fixup::Cp932;
  if (name == "EUC-JP") return Fixup::Jis0208Euc;
  if (name == "ISO-2022-JP") return Fixup::Jis0208Iso2022;
  return Fixup::None;
}

// The text with each standard spelling replaced by Microsoft's, one code
// unit for one, so error offsets stay those of the original text. Returns
// false (leaving out untouched) when there is nothing to replace.
bool fold_to_microsoft(std::u16string_view text, std::u16string& out) {
  auto standard_of = [](char16_t unit) -> const JisPair* {
    for (const JisPair& p : kJisPairs) {
      if (p.standard == unit) return &p;
    }
    return nullptr;
  };
  auto first = std::find_if(text.begin(), text.end(),
                            [&](char16_t unit) { return standard_of(unit) != nullptr; });
  if (first == text.end()) return false;
  out.assign(text);
  for (auto it = out.begin() + (first - text.begin()); it != out.end(); ++it) {
    if (const JisPair* p = standard_of(*it)) *it = p->microsoft;
  }
  return true;
}

constexpr std::size_t kUnknownOffset = std::numeric_limits<std::size_t>::max();

// After ICU decoded EUC-JP or ISO-2022-JP: a Microsoft spelling whose bytes
// are the JIS X 0208 code of the character becomes the standard spelling.
// offsets[i] is the position in bytes of the character behind text[i].
void unfold_jis0208(std::u16string& text, const std::vector<std::size_t>& offsets,
                    std::string_view bytes, Fixup fixup) {
  const std::uint16_t high_bits = fixup == Fixup::Jis0208Euc ? 0x8080 : 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    for (const JisPair& p : kJisPairs) {
      if (text[i] != p.microsoft) continue;
      const std::size_t at = offsets[i];
      if (at == kUnknownOffset || at + 2 > bytes.size()) break;
      const auto code = static_cast<std::uint16_t>(
          static_cast<unsigned char>(bytes[at]) << 8 | static_cast<unsigned char>(bytes[at + 1]));
      if (code == (p.jis | high_bits)) text[i] = p.standard;
      break;
    }
  }
}

// The Windows code pages 1250..1258 leave a few bytes of 0x80..0x9F
// undefined; ICU maps those bytes to the C1 control characters U+0080..U+009F
// so that they survive a round trip. The published code page tables define
// no C1 control at all, so here such a byte is invalid and such a character
// unrepresentable. The code pages are single-byte: character index == byte
// index.
bool is_windows_code_page(const Converter& conv) noexcept {
  return conv.kind == Converter::Kind::Icu &&
         std::string_view(conv.icu_name).starts_with("windows-125");
}

constexpr bool is_c1_control(char16_t unit) noexcept { return unit >= 0x80 && unit <= 0x9F; }

std::optional<std::size_t> find_c1_control(std::u16string_view text) noexcept {
  auto it = std::find_if(text.begin(), text.end(), is_c1_control);
  if (it == text.end()) return std::nullopt;
  return static_cast<std::size_t>(it - text.begin());
}

std::optional<Converter> fixed_converter(EncodingId id) noexcept {
  for (const FixedRow& f : kFixed) {
    if (f.row.id == id) {
      if (f.icu_name == nullptr) return Converter{Converter::Kind::Symbol, nullptr};
      return Converter{Converter::Kind::Icu, f.icu_name, fixup_for(f.icu_name)};
    }
  }
  return std::nullopt;
}

// Fixed numbers go to their converter; a number with kRegistryFlag goes
// through the registry entry of its low bits. Anything else is unknown.
std::optional<Converter> resolve(EncodingId id) noexcept {
  if (auto fixed = fixed_converter(id)) return fixed;
  if ((id & kRegistryFlag) == 0) return std::nullopt;
  const detail::RegistryEntry* entry = detail::find_registry_entry(id & ~kRegistryFlag);
  if (entry == nullptr) return std::nullopt;
  if (entry->icu_name != nullptr) {
    return Converter{Converter::Kind::Icu, entry->icu_name, fixup_for(entry->icu_name)};
  }
  if (entry->platform_id != 0) return fixed_converter(entry->platform_id);
  return std::nullopt;
}

// Capacity for the invalid input ICU keeps after an error (its own error
// buffer holds at most 32 units).
constexpr int8_t kInvalidBufferLength = 32;

// Text of ASCII characters only is its own bytes in UTF-8 and US-ASCII, as
// ICU converts it: converted here, it needs no converter, and a search of
// typed ASCII never loads ICU.
bool ascii_is_identity(const Converter& converter) noexcept {
  const std::string_view name(converter.icu_name);
  return name == "UTF-8" || name == "US-ASCII";
}

struct UConverterCloser {
  // A converter exists only once ICU is loaded.
  void operator()(UConverter* c) const noexcept { icu::api()->close(c); }
};
using UConverterPtr = std::unique_ptr<UConverter, UConverterCloser>;

// ICU's own stop callback lets unmappable default-ignorable characters
// (U+FEFF, U+200B, the soft hyphen...) through as nothing, so a pattern
// typed with one would silently lose it. This one stops on every character
// the encoding lacks: the error ICU passes in stays set.
void stop_on_every_unmappable(const void*, UConverterFromUnicodeArgs*, const UChar*, int32_t,
                              UChar32, UConverterCallbackReason, UErrorCode*) noexcept {}

// Opens an ICU converter that stops at the first unmappable or invalid
// input instead of substituting. Sets error on failure.
UConverterPtr open_strict(const char* name, ErrorKind& error) noexcept {
  const icu::Api* icu = icu::api();
  if (icu == nullptr) {
    // Without ICU on this system, only the tables of our own serve.
    error = ErrorKind::UnsupportedEncoding;
    return nullptr;
  }
  UErrorCode status = U_ZERO_ERROR;
  UConverterPtr conv(icu->open(name, &status));
  if (U_FAILURE(status) || !conv) {
    error = status == U_MEMORY_ALLOCATION_ERROR ? ErrorKind::OutOfMemory
                                                 : ErrorKind::UnsupportedEncoding;
    return nullptr;
  }
  icu->set_from_u_callback(conv.get(), stop_on_every_unmappable, nullptr, nullptr, nullptr, &status);
  icu->set_to_u_callback(conv.get(), icu->to_u_callback_stop, nullptr, nullptr, nullptr, &status);
  icu->set_fallback(conv.get(), false);
  if (U_FAILURE(status)) {
    error = ErrorKind::ConverterFailure;
    return nullptr;
  }
  return conv;
}

bool is_conversion_error(UErrorCode status) noexcept {
  return status == U_INVALID_CHAR_FOUND || status == U_ILLEGAL_CHAR_FOUND ||
         status == U_TRUNCATED_CHAR_FOUND || status == U_ILLEGAL_ESCAPE_SEQUENCE ||
         status == U_UNSUPPORTED_ESCAPE_SEQUENCE;
}

template <typename T>
Result<T> failure(ErrorKind kind, std::size_t offset = 0) {
  return Result<T>{std::nullopt, kind, offset};
}

// Text -> bytes through an open ICU converter, which is left reset. Each
// produced chunk is handed to sink(data, size); the sink may throw
// std::bad_alloc. Error offsets are indexes in text.
template <typename Sink>
Result<std::size_t> icu_encode(UConverter* conv, std::u16string_view text, Sink&& sink) {
  // An empty view may have no data pointer at all; there is nothing to convert.
  if (text.empty()) return Result<std::size_t>{0, {}, 0};

  std::array<char, 4096> chunk;
  const UChar* const begin = text.data();
  const UChar* source = begin;
  const UChar* const source_end = begin + text.size();
  std::size_t total = 0;
  for (;;) {
    UErrorCode status = U_ZERO_ERROR;
    char* target = chunk.data();
    icu::api()->from_unicode(conv, &target, chunk.data() + chunk.size(), &source, source_end, nullptr,
                     /*flush=*/true, &status);
    const auto produced = static_cast<std::size_t>(target - chunk.data());
    if (status == U_BUFFER_OVERFLOW_ERROR || U_SUCCESS(status)) {
      sink(chunk.data(), produced);
      total += produced;
      if (U_SUCCESS(status)) return Result<std::size_t>{total, {}, 0};
      continue;
    }
    // source is past the offending character; step back over it.
    std::size_t offset = static_cast<std::size_t>(source - begin);
    UChar bad[kInvalidBufferLength];
    int8_t bad_len = kInvalidBufferLength;
    UErrorCode ignored = U_ZERO_ERROR;
    icu::api()->get_invalid_uchars(conv, bad, &bad_len, &ignored);
    if (U_SUCCESS(ignored)) offset -= std::min<std::size_t>(offset, static_cast<std::size_t>(bad_len));
    icu::api()->reset_from_unicode(conv);
    if (is_conversion_error(status)) return failure<std::size_t>(ErrorKind::Unrepresentable, offset);
    return failure<std::size_t>(status == U_MEMORY_ALLOCATION_ERROR ? ErrorKind::OutOfMemory
                                                                    : ErrorKind::ConverterFailure);
  }
}

// Code page 932: the three moved control characters become their own byte
// here; the text between them goes through ICU.
template <typename Sink>
Result<std::size_t> cp932_encode(UConverter* conv, std::u16string_view text, Sink&& sink) {
  std::size_t total = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && !is_cp932_direct_control(text[i])) continue;
    Result<std::size_t> part = icu_encode(conv, text.substr(start, i - start), sink);
    if (!part) {
      const bool positioned = part.error == ErrorKind::Unrepresentable;
      return failure<std::size_t>(part.error, part.error_offset + (positioned ? start : 0));
    }
    total += *part.value;
    if (i < text.size()) {
      const char byte = static_cast<char>(text[i]);
      sink(&byte, 1);
      ++total;
    }
    start = i + 1;
  }
  return Result<std::size_t>{total, {}, 0};
}

// Text -> bytes through the ICU converter name, with its fix-up.
template <typename Sink>
Result<std::size_t> icu_from_text(const Converter& converter, std::u16string_view text,
                                  Sink&& sink) {
  if (ascii_is_identity(converter) &&
      std::all_of(text.begin(), text.end(), [](char16_t u) { return u < 0x80; })) {
    if (text.empty()) return Result<std::size_t>{0, {}, 0};
    const std::string bytes(text.begin(), text.end());
    sink(bytes.data(), bytes.size());
    return Result<std::size_t>{bytes.size(), {}, 0};
  }
  ErrorKind open_error{};
  UConverterPtr conv = open_strict(converter.icu_name, open_error);
  if (!conv) return failure<std::size_t>(open_error);
  if (converter.fixup == Fixup::None) return icu_encode(conv.get(), text, sink);

  std::u16string folded;
  if (fold_to_microsoft(text, folded)) text = folded;
  if (converter.fixup == Fixup::Cp932) return cp932_encode(conv.get(), text, sink);
  return icu_encode(conv.get(), text, sink);
}

// Bytes -> text through an open ICU converter, which is left reset: appends
// to text and, when offsets is given, the position in bytes of the character
// behind each appended unit (kUnknownOffset when ICU does not say). Error
// offsets are positions in bytes.
Result<std::size_t> icu_decode(UConverter* conv, std::string_view bytes, std::u16string& text,
                               std::vector<std::size_t>* offsets) {
  if (bytes.empty()) return Result<std::size_t>{0, {}, 0};

  std::array<UChar, 2048> chunk;
  std::array<int32_t, 2048> chunk_offsets;
  const char* const begin = bytes.data();
  const char* source = begin;
  const char* const source_end = begin + bytes.size();
  const std::size_t before = text.size();
  for (;;) {
    UErrorCode status = U_ZERO_ERROR;
    UChar* target = chunk.data();
    // ICU's offsets count from where this call starts reading.
    const auto call_start = static_cast<std::size_t>(source - begin);
    icu::api()->to_unicode(conv, &target, chunk.data() + chunk.size(), &source, source_end,
                   offsets ? chunk_offsets.data() : nullptr, /*flush=*/true, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR || U_SUCCESS(status)) {
      const auto produced = static_cast<std::size_t>(target - chunk.data());
      text.append(chunk.data(), produced);
      if (offsets) {
        for (std::size_t i = 0; i < produced; ++i) {
          const int32_t at = chunk_offsets[i];
          offsets->push_back(at < 0 ? kUnknownOffset : call_start + static_cast<std::size_t>(at));
        }
      }
      if (U_SUCCESS(status)) return Result<std::size_t>{text.size() - before, {}, 0};
      continue;
    }
    std::size_t offset = static_cast<std::size_t>(source - begin);
    char bad[kInvalidBufferLength];
    int8_t bad_len = kInvalidBufferLength;
    UErrorCode ignored = U_ZERO_ERROR;
    icu::api()->get_invalid_chars(conv, bad, &bad_len, &ignored);
    if (U_SUCCESS(ignored)) offset -= std::min<std::size_t>(offset, static_cast<std::size_t>(bad_len));
    icu::api()->reset_to_unicode(conv);
    if (is_conversion_error(status)) return failure<std::size_t>(ErrorKind::InvalidBytes, offset);
    return failure<std::size_t>(status == U_MEMORY_ALLOCATION_ERROR ? ErrorKind::OutOfMemory
                                                                    : ErrorKind::ConverterFailure);
  }
}

// Code page 932: the bytes of the three moved control characters become
// their own character here; the bytes between them go through ICU.
Result<std::size_t> cp932_decode(UConverter* conv, std::string_view bytes, std::u16string& text) {
  std::size_t total = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= bytes.size(); ++i) {
    if (i < bytes.size() && !is_cp932_direct_control(static_cast<unsigned char>(bytes[i]))) continue;
    Result<std::size_t> part = icu_decode(conv, bytes.substr(start, i - start), text, nullptr);
    if (!part) {
      const bool positioned = part.error == ErrorKind::InvalidBytes;
      return failure<std::size_t>(part.error, part.error_offset + (positioned ? start : 0));
    }
    total += *part.value;
    if (i < bytes.size()) {
      text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i])));
      ++total;
    }
    start = i + 1;
  }
  return Result<std::size_t>{total, {}, 0};
}

// The index of the first character of text that the converter cannot write,
// if any.
std::optional<std::size_t> first_unwritable(const Converter& converter, std::u16string_view text) {
  Result<std::size_t> r = icu_from_text(converter, text, [](const char*, std::size_t) {});
  if (r || r.error != ErrorKind::Unrepresentable) return std::nullopt;
  return r.error_offset;
}

// Bytes -> text through the ICU converter name, with its fix-up.
Result<std::u16string> icu_to_text(const Converter& converter, std::string_view bytes) {
  if (ascii_is_identity(converter) &&
      std::all_of(bytes.begin(), bytes.end(), [](char b) { return static_cast<unsigned char>(b) < 0x80; }))
    return Result<std::u16string>{std::u16string(bytes.begin(), bytes.end()), {}, 0};
  ErrorKind open_error{};
  UConverterPtr conv = open_strict(converter.icu_name, open_error);
  if (!conv) return failure<std::u16string>(open_error);

  std::u16string text;
  std::vector<std::size_t> offsets;
  Result<std::size_t> r;
  switch (converter.fixup) {
    case Fixup::Cp932:
      r = cp932_decode(conv.get(), bytes, text);
      break;
    case Fixup::Jis0208Euc:
    case Fixup::Jis0208Iso2022:
      r = icu_decode(conv.get(), bytes, text, &offsets);
      if (r) unfold_jis0208(text, offsets, bytes, converter.fixup);
      break;
    case Fixup::None:
      r = icu_decode(conv.get(), bytes, text, &offsets);
      break;
  }
  if (!r) return failure<std::u16string>(r.error, r.error_offset);
  // ICU's tables read some bytes one way only: ISO-2022-JP's JIS row 90
  // (IBM's extension, not JIS X 0208) reads as a kanji that ISO-2022-JP
  // cannot write. Such bytes are not text of this encoding: a text shown for
  // them could never be searched or saved as the same encoding again.
  if (auto bad = first_unwritable(converter, text)) {
    std::size_t at = *bad < offsets.size() ? offsets[*bad] : kUnknownOffset;
    if (at == kUnknownOffset) {
      // Stateless code page 932: the bytes before it are the prefix's bytes.
      at = *icu_from_text(converter, std::u16string_view(text).substr(0, *bad),
                          [](const char*, std::size_t) {}).value;
    }
    return failure<std::u16string>(ErrorKind::InvalidBytes, std::min(at, bytes.size()));
  }
  return Result<std::u16string>{std::move(text), {}, 0};
}

template <typename Sink>
Result<std::size_t> symbol_from_text(std::u16string_view text, Sink&& sink) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::optional<unsigned char> byte = detail::symbol_from_unicode(text[i]);
    if (!byte) return failure<std::size_t>(ErrorKind::Unrepresentable, i);
    const char c = static_cast<char>(*byte);
    sink(&c, 1);
  }
  return Result<std::size_t>{text.size(), {}, 0};
}

Result<std::u16string> symbol_to_text(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char16_t unit = detail::kSymbolToUnicode[static_cast<unsigned char>(bytes[i])];
    if (unit == detail::kSymbolUndefined) return failure<std::u16string>(ErrorKind::InvalidBytes, i);
    text.push_back(unit);
  }
  return Result<std::u16string>{std::move(text), {}, 0};
}

// Runs text -> bytes for a stored number, feeding sink.
template <typename Sink>
Result<std::size_t> convert_from_text(std::u16string_view text, EncodingId id, Sink&& sink) {
  std::optional<Converter> conv = resolve(id);
  if (!conv) return failure<std::size_t>(ErrorKind::UnsupportedEncoding);
  if (conv->kind == Converter::Kind::Symbol) return symbol_from_text(text, sink);
  if (is_windows_code_page(*conv)) {
    if (auto at = find_c1_control(text)) {
      // Characters before it may still be unrepresentable: report the first.
      Result<std::size_t> prefix =
          icu_from_text(*conv, text.substr(0, *at), [](const char*, std::size_t) {});
      if (!prefix) return prefix;
      return failure<std::size_t>(ErrorKind::Unrepresentable, *at);
    }
  }
  return icu_from_text(*conv, text, sink);
}

}  // namespace

std::span<const FixedEncoding> fixed_encodings() noexcept { return kFixedRows; }

std::optional<std::size_t> fixed_index(EncodingId id) noexcept {
  for (std::size_t i = 0; i < kFixedRows.size(); ++i) {
    if (kFixedRows[i].id == id) return i;
  }
  return std::nullopt;
}

std::string_view popup_title(Language language) noexcept {
  return language == Language::French ? "Encodage" : "Encoding";
}

std::string_view user_defined_title(Language language) noexcept {
  return language == Language::French ? "D\u00e9fini par l'usager" : "User defined";
}

std::string_view separator_title(Language language) noexcept {
  return language == Language::French ? "-----------------" : "----------------";
}

std::string_view hexadecimal_title(Language language) noexcept {
  return language == Language::French ? "Hexad\u00e9cimale" : "Hexadecimal";
}

std::optional<EncodingId> encoding_from_short_name(std::string_view name) noexcept {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (const ShortName& entry : kShortNames) {
    if (entry.name.size() == name.size() &&
        std::equal(name.begin(), name.end(), entry.name.begin(),
                   [&](char a, char b) { return lower(a) == b; })) {
      return entry.id;
    }
  }
  return std::nullopt;
}

bool is_supported(EncodingId id) noexcept {
  std::optional<Converter> conv = resolve(id);
  if (!conv) return false;
  if (conv->kind == Converter::Kind::Symbol) return true;
  ErrorKind error{};
  return open_strict(conv->icu_name, error) != nullptr;
}

std::optional<std::string_view> converter_name(EncodingId id) noexcept {
  std::optional<Converter> conv = resolve(id);
  if (!conv) return std::nullopt;
  if (conv->kind == Converter::Kind::Symbol) return kSymbolConverterName;
  return std::string_view(conv->icu_name);
}

Result<std::string> to_bytes(std::u16string_view text, EncodingId id) {
  try {
    std::string bytes;
    Result<std::size_t> r =
        convert_from_text(text, id, [&](const char* data, std::size_t size) { bytes.append(data, size); });
    if (!r) return failure<std::string>(r.error, r.error_offset);
    return Result<std::string>{std::move(bytes), {}, 0};
  } catch (const std::bad_alloc&) {
    return failure<std::string>(ErrorKind::OutOfMemory);
  }
}

Result<std::u16string> to_text(std::string_view bytes, EncodingId id) {
  try {
    std::optional<Converter> conv = resolve(id);
    if (!conv) return failure<std::u16string>(ErrorKind::UnsupportedEncoding);
    if (conv->kind == Converter::Kind::Symbol) return symbol_to_text(bytes);
    Result<std::u16string> text = icu_to_text(*conv, bytes);
    if (text && is_windows_code_page(*conv)) {
      if (auto at = find_c1_control(*text.value)) {
        return failure<std::u16string>(ErrorKind::InvalidBytes, *at);
      }
    }
    return text;
  } catch (const std::bad_alloc&) {
    return failure<std::u16string>(ErrorKind::OutOfMemory);
  }
}

Result<std::size_t> encoded_length(std::u16string_view text, EncodingId id) noexcept {
  // The sink only counts; only the Japanese fix-ups copy the text.
  try {
    return convert_from_text(text, id, [](const char*, std::size_t) noexcept {});
  } catch (const std::bad_alloc&) {
    return failure<std::size_t>(ErrorKind::OutOfMemory);
  }
}

bool can_encode(std::u16string_view text, EncodingId id) noexcept {
  return encoded_length(text, id).ok();
}

}  // namespace tw::encoding
