// The search parameter block shared by the search driver and the matcher,
// the routine selection and the scanning entry point.
#pragma once

#include <cstdint>

namespace tw {

// Results of a scanning routine, left in SEARCH_RESULT.
inline constexpr std::uint64_t TW_END_TEXT = 7000;  // buffer exhausted, occurrence buffer not full
inline constexpr std::uint64_t TW_END_OCC = 7001;   // occurrence buffer full, positions remain
inline constexpr std::uint64_t TW_END_BOTH = 7002;  // occurrence buffer full, no position remains

// Clears the low four bits: rounds a length down to a multiple of 16.
inline constexpr std::uint64_t BITS_CLR_0_3 = ~std::uint64_t{15};

// SEARCH_KIND bits.
inline constexpr std::uint64_t KIND_LINE_NB = 1;
inline constexpr std::uint64_t KIND_CASE_INSENSITIVE = 2;
inline constexpr std::uint64_t KIND_WILDCARD = 4;

// Every field is a 64-bit word; address fields hold byte addresses.
struct SearchParam {
    std::uint64_t STR_START;      // 16-byte-aligned first pattern byte
    std::uint64_t STR_END;        // one past the last pattern byte, 0 while no pattern
    std::uint64_t STR_BUF_SIZE;   // usable bytes of the string buffer
    std::uint64_t TEXT_START;     // 16-byte-aligned start of the text buffer
    std::uint64_t TEXT_PTR;       // next start position to examine
    std::uint64_t TEXT_END;       // one past the last byte read
    std::uint64_t TEXT_BUF_SIZE;  // usable bytes of the text buffer
    std::uint64_t OCC_START;      // 16-byte-aligned start of the occurrence buffer
    std::uint64_t OCC_PTR;        // next free record slot
    std::uint64_t OCC_END;        // OCC_START + OCC_BUF_SIZE
    std::uint64_t OCC_BUF_SIZE;   // usable bytes of the occurrence buffer
    std::uint64_t TEXT_OFFSET;    // file offset of the byte at TEXT_START
    std::uint64_t LINE_COUNT;     // end-of-line bytes met so far in the file
    std::uint64_t EOL_CHAR;       // 10 (LF) or 13 (CR)
    std::uint64_t WILD_CHAR;      // the wildcard byte
    std::uint64_t NB_WILD_SEQ;    // length of the wildcard run after the first byte
    std::uint64_t CHAR_1;         // first pattern byte
    std::uint64_t CHAR_2;         // pattern byte at 1 + NB_WILD_SEQ
    std::uint64_t SEARCH_KIND;    // KIND_* bits
    std::uint64_t ROUTINE_INDEX;  // 0 to 31
    std::uint64_t SEARCH_RESULT;  // TW_END_TEXT, TW_END_OCC or TW_END_BOTH
    // Case-insensitive search: the address of one byte per pattern byte,
    // 0x20 where the pattern's byte is a letter of a character that folds
    // (an ASCII letter as a character of the pattern's encoding), 0
    // elsewhere. The matcher lowers those pattern bytes and compares the
    // text folded there only; the text is left as read. 0 for none: every
    // letter byte of the pattern is lowered and the caller lowers the text.
    std::uint64_t FOLD_MASK;
    // A search of several forms: the address of the engine's ScanForms,
    // whose multi-pattern matcher scans instead of the routine above; 0 for
    // a search of one pattern.
    std::uint64_t MULTI;
};

// Fills mask[0 .. m) for a pattern whose every letter byte folds (a
// hexadecimal pattern, or a text in an encoding where each letter byte is
// a character of its own).
void fold_every_letter(const std::uint8_t* pattern, std::uint64_t m, std::uint8_t* mask);

// Derives CHAR_1, CHAR_2, NB_WILD_SEQ and ROUTINE_INDEX from the pattern
// (STR_START..STR_END) and the options; lowers the pattern in place first when
// the search is case-insensitive (where FOLD_MASK says, when there is one). Returns 0, or 10 for an empty pattern or a
// wildcard pattern that begins or ends with the wildcard.
std::uint64_t init_tw_search(SearchParam& sr);

// Runs the scanning routine selected by ROUTINE_INDEX on the block.
void search_asm(SearchParam* sr);

// Lowers the ASCII capitals of start[0 .. length) in place.
void make_lower_case_asm(std::uint64_t length, std::uint8_t* start);

// The scanning routines, one per pattern shape and line-counting choice.
// Each scans the text block of *sr from TEXT_PTR and stores its state back.
//   s01 s02 s03: one or two bytes, no wildcard (no count, CR, LF)
//   s05 s06 s07: three bytes or more, no wildcard
//   s0D s0E s0F: wildcards only from the third byte on
//   s19 s1A s1B: first byte, wildcard run, one last byte
//   s1D s1E s1F: first byte, wildcard run, then two bytes or more
// s08 and s10 fill the slots that the selection never yields: they return
// at once and change nothing.
void s01(SearchParam* sr);
void s02(SearchParam* sr);
void s03(SearchParam* sr);
void s05(SearchParam* sr);
void s06(SearchParam* sr);
void s07(SearchParam* sr);
void s08(SearchParam* sr);
void s0D(SearchParam* sr);
void s0E(SearchParam* sr);
void s0F(SearchParam* sr);
void s10(SearchParam* sr);
void s19(SearchParam* sr);
void s1A(SearchParam* sr);
void s1B(SearchParam* sr);
void s1D(SearchParam* sr);
void s1E(SearchParam* sr);
void s1F(SearchParam* sr);

using ScanRoutine = void (*)(SearchParam*);

// ROUTINE_INDEX -> routine; search_asm runs offset_to_S[ROUTINE_INDEX].
extern const ScanRoutine offset_to_S[32];

// Block constants of the lower-casing: sixteen bytes 0x40 (the byte below
// 'A'), sixteen bytes 0x5B (the byte above 'Z') and sixteen bytes 0x20 (the
// case bit).
alignas(16) extern const std::uint8_t ascii_A1_8[16];
alignas(16) extern const std::uint8_t ascii_Z1_8[16];
alignas(16) extern const std::uint8_t ascii_case_bit[16];

}  // namespace tw
