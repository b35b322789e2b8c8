// The AVX2 instantiation of the multi-pattern kernel.
#if defined(__x86_64__)

#include "matcher/vector_traits.h"
#define TW_KERNEL_TARGET TW_AVX2_TARGET
#include "matcher/multi_kernel.h"

namespace tw::detail {

constinit const MultiScanFn kMultiScanAvx2 = &multi_scan<Avx2Traits>;

}  // namespace tw::detail

#endif
