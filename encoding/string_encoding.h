// Encoding service: the one place that knows the stored encoding numbers.
//
// A search string is stored as bytes together with the number of the
// encoding it was typed in. Those numbers are the other platform's string
// encoding numbers (NSStringEncoding values), kept as stored values so that
// target files stay exchangeable. This library maps each number to a
// converter (ICU, or our own Adobe Symbol table) and converts between text
// (UTF-16, as the user interface holds it) and bytes, refusing anything that
// cannot be converted exactly: no substitution characters, ever.
//
// Qt-free. Text is taken as std::u16string_view, so both a std::u16string and
// a (const char16_t*, length) pair can be passed; bytes are std::string /
// std::string_view used as raw byte containers. Embedded NULs are ordinary
// characters and bytes in both directions.
//
// All functions are thread-safe: every conversion opens its own converter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tw::encoding {

// A stored encoding number (the other platform's NSStringEncoding value).
using EncodingId = std::uint32_t;

// The 15 fixed encodings of the encoding pull-down, by stored number.
inline constexpr EncodingId kAscii = 1;
inline constexpr EncodingId kEucJp = 3;
inline constexpr EncodingId kUtf8 = 4;
inline constexpr EncodingId kLatin1 = 5;       // ISO 8859-1
inline constexpr EncodingId kSymbol = 6;       // Adobe Symbol
inline constexpr EncodingId kShiftJis = 8;
inline constexpr EncodingId kLatin2 = 9;       // ISO 8859-2
inline constexpr EncodingId kUtf16 = 10;       // little-endian, no byte-order mark
inline constexpr EncodingId kWindows1251 = 11;
inline constexpr EncodingId kWindows1252 = 12;
inline constexpr EncodingId kWindows1253 = 13;
inline constexpr EncodingId kWindows1254 = 14;
inline constexpr EncodingId kWindows1250 = 15;
inline constexpr EncodingId kIso2022Jp = 21;
inline constexpr EncodingId kMacRoman = 30;

// Stored numbers with this bit set carry a registry (CFStringEncoding)
// number in their low 31 bits.
inline constexpr EncodingId kRegistryFlag = 0x80000000u;

enum class Language : std::uint8_t { English = 0, French = 1 };

// One row of the encoding pull-down. Titles are UTF-8.
struct FixedEncoding {
  EncodingId id;
  std::string_view title_en;
  std::string_view title_fr;
  std::string_view short_name;  // the preferred command-line name

  std::string_view title(Language language) const noexcept {
    return language == Language::French ? title_fr : title_en;
  }
};

// The 15 fixed encodings in pull-down order (rows 1 to 15).
std::span<const FixedEncoding> fixed_encodings() noexcept;

// Index (0..14) of a stored number in fixed_encodings(); nullopt when the
// number is none of them (the pull-down then marks "User defined").
std::optional<std::size_t> fixed_index(EncodingId id) noexcept;

// The other titles of the pull-down (UTF-8).
std::string_view popup_title(Language language) noexcept;         // item 0
std::string_view user_defined_title(Language language) noexcept;  // row 16
std::string_view separator_title(Language language) noexcept;     // row 17, dashes
std::string_view hexadecimal_title(Language language) noexcept;   // row 18

// Stored number for a command-line name ("utf-8", "utf8", "latin1",
// "sjis", ...), compared without regard to ASCII case.
std::optional<EncodingId> encoding_from_short_name(std::string_view name) noexcept;

// Why a conversion failed.
enum class ErrorKind : std::uint8_t {
  UnsupportedEncoding,  // the number names no converter here (never guessed)
  Unrepresentable,      // text -> bytes: a character has no form in the encoding
  InvalidBytes,         // bytes -> text: invalid, truncated or unmappable bytes
  OutOfMemory,
  ConverterFailure,     // any other converter error
};

// The value of a conversion, or why there is none. When value is empty,
// error says why and error_offset is the position in the input (UTF-16 code
// units for text, bytes for bytes) where the conversion stopped; it is 0 for
// UnsupportedEncoding and OutOfMemory.
template <typename T>
struct Result {
  std::optional<T> value;
  ErrorKind error = ErrorKind::ConverterFailure;
  std::size_t error_offset = 0;

  bool ok() const noexcept { return value.has_value(); }
  explicit operator bool() const noexcept { return value.has_value(); }
};

// True when the stored number maps to a converter that can be opened.
bool is_supported(EncodingId id) noexcept;

// Name of the converter behind a stored number (an ICU converter name, or
// "Adobe-Symbol" for our own table); nullopt when the number is unknown.
std::optional<std::string_view> converter_name(EncodingId id) noexcept;

// Text to bytes. Fails with Unrepresentable on the first character the
// encoding cannot hold exactly (unpaired surrogates included).
Result<std::string> to_bytes(std::u16string_view text, EncodingId id);

// Bytes to text. Reads exactly bytes.size() bytes; fails with InvalidBytes
// on the first invalid, unmappable or truncated sequence. A caller that
// wants C-string semantics cuts the bytes at the first zero itself.
Result<std::u16string> to_text(std::string_view bytes, EncodingId id);

// True when to_bytes(text, id) would succeed (an empty text converts).
bool can_encode(std::u16string_view text, EncodingId id) noexcept;

// Number of bytes to_bytes(text, id) would give, without keeping them.
Result<std::size_t> encoded_length(std::u16string_view text, EncodingId id) noexcept;

// Which bytes of `bytes` (text encoded in `id`, from its start) ignoring
// case may fold: 0x20 at each byte that is an ASCII letter as a character
// of the encoding, 0 at every other byte (a byte inside a multibyte
// character or an escape sequence, a letter byte of a UTF-16 unit whose
// other byte is not 0). All 0 for an encoding whose ASCII letters are not
// bytes of their own (EBCDIC, Symbol) or that has no converter here.
std::string case_fold_mask(std::string_view bytes, EncodingId id);

// --- The other platform's encoding registry (CFStringEncoding numbers) ---

// One documented registry number that this library can convert, or that
// the other platform maps to one of its own named encodings.
struct RegistryEncoding {
  std::uint32_t number;   // CFStringEncoding value
  std::string_view name;  // registry name without its prefix, e.g. "WindowsLatin1"
  EncodingId stored;      // what stored_from_registry(number) gives
};

// The registry numbers known here, in ascending order of number.
std::span<const RegistryEncoding> registry_encodings() noexcept;

// The stored number for a registry number, as the other platform's
// CFStringConvertEncodingToNSStringEncoding gives it: the platform's own
// number for the registry entries it names (e.g. WindowsLatin1 0x0500 -> 12,
// MacRoman 0 -> 30), otherwise kRegistryFlag | number. Only documented
// numbers are matched, and exactly; an unknown number yields
// kRegistryFlag | number, for which is_supported() is false.
EncodingId stored_from_registry(std::uint32_t number) noexcept;

}  // namespace tw::encoding
