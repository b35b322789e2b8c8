// Derivation of CHAR_1, CHAR_2, NB_WILD_SEQ and ROUTINE_INDEX from the pattern
// and the options, once per search.
#include <cstdint>

#include "matcher/search_param.h"

namespace tw {
namespace {

// ROUTINE_INDEX bits.
constexpr std::uint64_t kIndexLf = 1;         // counts LF rather than CR
constexpr std::uint64_t kIndexLineNb = 2;     // line numbers wanted
constexpr std::uint64_t kIndexCompare = 4;    // bytes after the two significant ones
constexpr std::uint64_t kIndexWildcard = 8;   // the pattern holds the wildcard
constexpr std::uint64_t kIndexRun = 16;       // the wildcard run follows the first byte

constexpr std::uint64_t kInvalidPattern = 10;

}  // namespace

void fold_every_letter(const std::uint8_t* pattern, std::uint64_t m, std::uint8_t* mask) {
    for (std::uint64_t i = 0; i < m; ++i)
        mask[i] = static_cast<std::uint8_t>((pattern[i] | 0x20) - 'a') < 26 ? 0x20 : 0;
}

std::uint64_t init_tw_search(SearchParam& sr) {
    if (sr.STR_END <= sr.STR_START) return kInvalidPattern;
    const std::uint64_t m = sr.STR_END - sr.STR_START;
    auto* p = reinterpret_cast<std::uint8_t*>(sr.STR_START);

    std::uint64_t index = (sr.SEARCH_KIND & KIND_LINE_NB) != 0 ? kIndexLineNb : 0;
    if (sr.EOL_CHAR == 10) index |= kIndexLf;

    // Lowered before the wildcard analysis: a capital wildcard character then
    // no longer occurs in the pattern.
    if ((sr.SEARCH_KIND & KIND_CASE_INSENSITIVE) != 0) {
        if (sr.FOLD_MASK == 0) {
            make_lower_case_asm(m, p);
        } else {
            // Only the letters that the mask marks; a mark on any other
            // byte would let the text's byte | 0x20 stand for it.
            auto* mask = reinterpret_cast<std::uint8_t*>(sr.FOLD_MASK);
            for (std::uint64_t i = 0; i < m; ++i) {
                const bool letter = static_cast<std::uint8_t>((p[i] | 0x20) - 'a') < 26;
                mask[i] = mask[i] != 0 && letter ? 0x20 : 0;
                p[i] = static_cast<std::uint8_t>(p[i] | mask[i]);
            }
        }
    }

    const auto wild = static_cast<std::uint8_t>(sr.WILD_CHAR);
    bool has_wild = false;
    if ((sr.SEARCH_KIND & KIND_WILDCARD) != 0) {
        for (std::uint64_t i = 0; i < m && !has_wild; ++i) has_wild = p[i] == wild;
    }

    if (has_wild) {
        index |= kIndexWildcard;
        sr.ROUTINE_INDEX = index;
        if (p[0] == wild || p[m - 1] == wild) return kInvalidPattern;
        sr.CHAR_1 = p[0];
        sr.NB_WILD_SEQ = 0;
        if (p[1] != wild) {
            sr.CHAR_2 = p[1];
            if (m > 2) index |= kIndexCompare;
            sr.ROUTINE_INDEX = index;
            return 0;
        }
        index |= kIndexRun;
        std::uint64_t run = 0;
        while (p[1 + run] == wild) ++run;  // stops before p[m - 1], which is not the wildcard
        sr.NB_WILD_SEQ = run;
        sr.CHAR_2 = p[1 + run];
        if (2 + run < m) index |= kIndexCompare;
        sr.ROUTINE_INDEX = index;
        return 0;
    }

    sr.CHAR_1 = p[0];
    if (m >= 2) sr.CHAR_2 = p[1];
    if (m >= 3) index |= kIndexCompare;
    sr.ROUTINE_INDEX = index;
    return 0;
}

}  // namespace tw
