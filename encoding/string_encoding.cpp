// Fixed encodings, stored-number resolution and the conversions themselves.
#include "encoding/string_encoding.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <algorithm>
#include <array>
#include <memory>
#include <new>

#include "encoding/encoding_internal.h"

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
    {{kShiftJis, "Japan (JIS)", "Japon (JIS)", "shift_jis"}, "Shift_JIS"},
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

// How a stored number is converted.
struct Converter {
  enum class Kind { Icu, Symbol } kind;
  const char* icu_name;  // for Kind::Icu
};

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
      return Converter{Converter::Kind::Icu, f.icu_name};
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
  if (entry->icu_name != nullptr) return Converter{Converter::Kind::Icu, entry->icu_name};
  if (entry->platform_id != 0) return fixed_converter(entry->platform_id);
  return std::nullopt;
}

// Capacity for the invalid input ICU keeps after an error (its own error
// buffer holds at most 32 units).
constexpr int8_t kInvalidBufferLength = 32;

struct UConverterCloser {
  void operator()(UConverter* c) const noexcept { ucnv_close(c); }
};
using UConverterPtr = std::unique_ptr<UConverter, UConverterCloser>;

// Opens an ICU converter that stops at the first unmappable or invalid
// input instead of substituting. Sets error on failure.
UConverterPtr open_strict(const char* name, ErrorKind& error) noexcept {
  UErrorCode status = U_ZERO_ERROR;
  UConverterPtr conv(ucnv_open(name, &status));
  if (U_FAILURE(status) || !conv) {
    error = status == U_MEMORY_ALLOCATION_ERROR ? ErrorKind::OutOfMemory
                                                 : ErrorKind::UnsupportedEncoding;
    return nullptr;
  }
  ucnv_setFromUCallBack(conv.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  ucnv_setToUCallBack(conv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  ucnv_setFallback(conv.get(), false);
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

// Text -> bytes through ICU. Each produced chunk is handed to sink(data,
// size); the sink may throw std::bad_alloc.
template <typename Sink>
Result<std::size_t> icu_from_text(const char* name, std::u16string_view text, Sink&& sink) {
  ErrorKind open_error{};
  UConverterPtr conv = open_strict(name, open_error);
  if (!conv) return failure<std::size_t>(open_error);
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
    ucnv_fromUnicode(conv.get(), &target, chunk.data() + chunk.size(), &source, source_end,
                     nullptr, /*flush=*/true, &status);
    const auto produced = static_cast<std::size_t>(target - chunk.data());
    if (status == U_BUFFER_OVERFLOW_ERROR || U_SUCCESS(status)) {
      sink(chunk.data(), produced);
      total += produced;
      if (U_SUCCESS(status)) return Result<std::size_t>{total, {}, 0};
      continue;
    }
    if (is_conversion_error(status)) {
      // source is past the offending character; step back over it.
      UChar bad[kInvalidBufferLength];
      int8_t bad_len = kInvalidBufferLength;
      UErrorCode ignored = U_ZERO_ERROR;
      ucnv_getInvalidUChars(conv.get(), bad, &bad_len, &ignored);
      std::size_t offset = static_cast<std::size_t>(source - begin);
      if (U_SUCCESS(ignored)) offset -= std::min<std::size_t>(offset, static_cast<std::size_t>(bad_len));
      return failure<std::size_t>(ErrorKind::Unrepresentable, offset);
    }
    return failure<std::size_t>(status == U_MEMORY_ALLOCATION_ERROR ? ErrorKind::OutOfMemory
                                                                    : ErrorKind::ConverterFailure);
  }
}

Result<std::u16string> icu_to_text(const char* name, std::string_view bytes) {
  ErrorKind open_error{};
  UConverterPtr conv = open_strict(name, open_error);
  if (!conv) return failure<std::u16string>(open_error);
  if (bytes.empty()) return Result<std::u16string>{std::u16string(), {}, 0};

  std::u16string text;
  std::array<UChar, 2048> chunk;
  const char* const begin = bytes.data();
  const char* source = begin;
  const char* const source_end = begin + bytes.size();
  for (;;) {
    UErrorCode status = U_ZERO_ERROR;
    UChar* target = chunk.data();
    ucnv_toUnicode(conv.get(), &target, chunk.data() + chunk.size(), &source, source_end, nullptr,
                   /*flush=*/true, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR || U_SUCCESS(status)) {
      text.append(chunk.data(), static_cast<std::size_t>(target - chunk.data()));
      if (U_SUCCESS(status)) return Result<std::u16string>{std::move(text), {}, 0};
      continue;
    }
    if (is_conversion_error(status)) {
      char bad[kInvalidBufferLength];
      int8_t bad_len = kInvalidBufferLength;
      UErrorCode ignored = U_ZERO_ERROR;
      ucnv_getInvalidChars(conv.get(), bad, &bad_len, &ignored);
      std::size_t offset = static_cast<std::size_t>(source - begin);
      if (U_SUCCESS(ignored)) offset -= std::min<std::size_t>(offset, static_cast<std::size_t>(bad_len));
      return failure<std::u16string>(ErrorKind::InvalidBytes, offset);
    }
    return failure<std::u16string>(status == U_MEMORY_ALLOCATION_ERROR ? ErrorKind::OutOfMemory
                                                                       : ErrorKind::ConverterFailure);
  }
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
          icu_from_text(conv->icu_name, text.substr(0, *at), [](const char*, std::size_t) {});
      if (!prefix) return prefix;
      return failure<std::size_t>(ErrorKind::Unrepresentable, *at);
    }
  }
  return icu_from_text(conv->icu_name, text, sink);
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
    Result<std::u16string> text = icu_to_text(conv->icu_name, bytes);
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
  // The sink only counts, so nothing here allocates beyond ICU's converter.
  return convert_from_text(text, id, [](const char*, std::size_t) noexcept {});
}

bool can_encode(std::u16string_view text, EncodingId id) noexcept {
  return encoded_length(text, id).ok();
}

}  // namespace tw::encoding
