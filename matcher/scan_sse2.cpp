// The SSE2 instantiation of the kernels (16-byte vectors, baseline x86-64).
#include "matcher/routine_set.h"

#if defined(__x86_64__)

#define TW_KERNEL_TARGET
#include "matcher/scan_kernel.h"

namespace tw::detail {

constinit const RoutineSet kSse2Routines = make_routine_set<Sse2Traits>(Isa::Sse2);

}  // namespace tw::detail

#endif
