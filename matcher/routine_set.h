// Internal: the per-instruction-set implementations of the scanning routines
// and of the lower-casing, and the pointer to the set in use.
#pragma once

#include <array>
#include <cstdint>

#include "matcher/isa.h"
#include "matcher/search_param.h"

namespace tw::detail {

struct RoutineSet {
    Isa isa;
    ScanRoutine s01, s02, s03;
    ScanRoutine s05, s06, s07;
    ScanRoutine s0D, s0E, s0F;
    ScanRoutine s19, s1A, s1B;
    ScanRoutine s1D, s1E, s1F;
    void (*lower_case)(std::uint64_t length, std::uint8_t* start);
    // The routines that fold the text by FOLD_MASK, by ROUTINE_INDEX; null
    // in the slots that the selection never yields.
    std::array<ScanRoutine, 32> folding;
};

extern const RoutineSet kScalarRoutines;
#if defined(__x86_64__)
extern const RoutineSet kSse2Routines;
extern const RoutineSet kAvx2Routines;
#endif

// The set in use, selected at first call.
const RoutineSet& active_routines();

}  // namespace tw::detail
