// The plain byte-by-byte instantiation of the multi-pattern kernel.
#define TW_KERNEL_TARGET
#include "matcher/multi_kernel.h"

namespace tw::detail {

constinit const MultiScanFn kMultiScanScalar = &multi_scan<ScalarTraits>;

}  // namespace tw::detail
