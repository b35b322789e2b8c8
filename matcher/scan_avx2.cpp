// The AVX2 instantiation of the kernels (32-byte vectors). Only the functions
// of this file carry the AVX2 target; they run only after the processor has
// been found to support it (matcher/isa.cpp).
#include "matcher/routine_set.h"

#if defined(__x86_64__)

#include "matcher/vector_traits.h"
#define TW_KERNEL_TARGET TW_AVX2_TARGET
#include "matcher/scan_kernel.h"

namespace tw::detail {

constinit const RoutineSet kAvx2Routines = make_routine_set<Avx2Traits>(Isa::Avx2);

}  // namespace tw::detail

#endif
