// The pattern compiler: what the user typed for a search (text in a stored
// encoding, or hexadecimal digits), with the wildcard symbol and the case
// option, turned into the bytes to search, the wildcard byte to store with
// them, and what the matcher will make of them; or the one reason why such
// a pattern cannot be searched. The search window, the target editor and
// trawlex-cli all compile their patterns here, so that the same input gives
// the same bytes or the same refusal everywhere. Each front end words the
// refusal itself from its code and details.
//
// Qt-free (standard library, the encoding service and the engine's
// hexadecimal reader).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "encoding/string_encoding.h"

namespace tw::pattern {

enum class Refusal : std::uint8_t {
    None = 0,
    Empty,            // no text, or a hexadecimal text of blanks only
    NotUtf8,          // the typed UTF-8 is invalid (position: its byte offset)
    NotEncodable,     // `refused` has no form in the encoding (at `position`)
    CannotConvert,    // the encoding number names no usable converter
    InvalidHexDigit,  // `refused` is no hexadecimal digit, blank or wildcard here
    WildcardHiddenInHex,       // the wildcard is a hexadecimal digit or a blank
    WildcardFoldedWithLetter,  // case folding makes the letter `letter` the wildcard's twin
    WildcardAtEnd,    // the bytes (given) begin or end with the wildcard
    NoWildcardLeft,   // every punctuation character is a literal byte of the pattern
    OutOfMemory,
};

// How the typed text is read.
struct Options {
    bool hexadecimal = false;
    encoding::EncodingId encoding = encoding::kUtf8;  // ignored in hexadecimal
    std::optional<std::uint8_t> wildcard;             // the symbol, when the wildcard is on
    bool ignore_case = false;
};

struct Compiled {
    Refusal refusal = Refusal::None;
    // The search bytes; also given with the refusals of the wildcard's
    // place and case (WildcardAtEnd, WildcardFoldedWithLetter), which a
    // change of encoding or of the wildcard can mend.
    std::string bytes;
    // The wildcard byte to store with the bytes: the symbol, or in
    // hexadecimal the punctuation character that replaces it when a typed
    // byte would be taken for the symbol. None when the wildcard is off.
    std::optional<std::uint8_t> wildcard;
    bool wildcard_moved = false;
    // Why it moved: the first typed byte taken for the symbol, or none when
    // the symbol is a capital letter under case folding.
    std::optional<std::uint8_t> clashing_byte;
    // Whether the matcher takes at least one byte of the pattern for the
    // wildcard (it lowers the pattern first when the case is ignored).
    bool holds_wildcard = false;

    // Details of a refusal. `position`: where in the typed text (UTF-16
    // code units, or bytes for compile_utf8); `refused`: the character
    // there (a surrogate pair stays whole); `letter`: the small letter that
    // the wildcard is folded together with.
    std::size_t position = 0;
    std::u16string refused;
    std::uint8_t letter = 0;

    bool ok() const noexcept { return refusal == Refusal::None; }
};

// The typed text as the user interface holds it.
Compiled compile(std::u16string_view typed, const Options& options);
// The typed text as UTF-8 (a command line); in hexadecimal the bytes are
// read as they are, so `position` is a byte offset.
Compiled compile_utf8(std::string_view typed, const Options& options);

// The rules on the wildcard applied to bytes already compiled and stored (a
// saved target, perhaps from an earlier version): Empty,
// WildcardFoldedWithLetter, WildcardAtEnd or None, with holds_wildcard.
Compiled check_stored(std::string_view bytes, const Options& options);

// The check of a text while it is typed: only whether each character fits
// (Empty, NotEncodable, CannotConvert, InvalidHexDigit or None); an empty
// text fits. The pairing of digits and the place of the wildcard are left
// to compile.
Compiled check_characters(std::u16string_view typed, const Options& options);

// Whether a text can be compiled in `encoding` at all: an encoding without
// a usable converter refuses every text (CannotConvert). The preferences
// accept a user-defined encoding number only when it is.
bool encoding_usable(encoding::EncodingId encoding);

// A character that a hexadecimal text would read as a digit or skip as a
// blank, and so cannot be the wildcard there.
bool hides_in_hexadecimal(std::uint8_t c) noexcept;

// The engine's result code of a refusal, as the windows report it: 0, 8
// (memory), 10 (the wildcard at an end), 13 (invalid hexadecimal) or 9.
std::uint64_t result_code(Refusal refusal) noexcept;

}  // namespace tw::pattern
