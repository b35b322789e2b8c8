// The routine table and the scanning entry point. Each named routine runs the
// kernel of its shape in the instruction set chosen at first use.
#include "matcher/routine_set.h"
#include "matcher/search_param.h"

namespace tw {

void s01(SearchParam* sr) { detail::active_routines().s01(sr); }
void s02(SearchParam* sr) { detail::active_routines().s02(sr); }
void s03(SearchParam* sr) { detail::active_routines().s03(sr); }
void s05(SearchParam* sr) { detail::active_routines().s05(sr); }
void s06(SearchParam* sr) { detail::active_routines().s06(sr); }
void s07(SearchParam* sr) { detail::active_routines().s07(sr); }
void s0D(SearchParam* sr) { detail::active_routines().s0D(sr); }
void s0E(SearchParam* sr) { detail::active_routines().s0E(sr); }
void s0F(SearchParam* sr) { detail::active_routines().s0F(sr); }
void s19(SearchParam* sr) { detail::active_routines().s19(sr); }
void s1A(SearchParam* sr) { detail::active_routines().s1A(sr); }
void s1B(SearchParam* sr) { detail::active_routines().s1B(sr); }
void s1D(SearchParam* sr) { detail::active_routines().s1D(sr); }
void s1E(SearchParam* sr) { detail::active_routines().s1E(sr); }
void s1F(SearchParam* sr) { detail::active_routines().s1F(sr); }

// Slots the routine selection never yields: return at once, change nothing.
void s08(SearchParam*) {}
void s10(SearchParam*) {}

const ScanRoutine offset_to_S[32] = {
    s01, s01, s02, s03,                  // 0-3: one or two bytes
    s05, s05, s06, s07,                  // 4-7: three bytes or more
    s08, s08, s08, s08,                  // 8-11: never selected
    s0D, s0D, s0E, s0F,                  // 12-15: wildcards from the third byte on
    s10, s10, s10, s10,                  // 16-23: never selected
    s10, s10, s10, s10,                  //
    s19, s19, s1A, s1B,                  // 24-27: first byte, wildcard run, last byte
    s1D, s1D, s1E, s1F,                  // 28-31: first byte, wildcard run, more bytes
};

void search_asm(SearchParam* sr) {
    // A case-insensitive search with a fold mask folds the text as it
    // compares; without one the caller has lowered the text.
    if ((sr->SEARCH_KIND & KIND_CASE_INSENSITIVE) != 0 && sr->FOLD_MASK != 0) {
        if (const ScanRoutine r = detail::active_routines().folding[sr->ROUTINE_INDEX & 31]) r(sr);
        return;
    }
    offset_to_S[sr->ROUTINE_INDEX & 31](sr);
}

}  // namespace tw
