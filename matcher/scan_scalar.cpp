// The plain byte-by-byte instantiation of the kernels: the reference.
#include "matcher/routine_set.h"

#define TW_KERNEL_TARGET
#include "matcher/scan_kernel.h"

namespace tw::detail {

constinit const RoutineSet kScalarRoutines = make_routine_set<ScalarTraits>(Isa::Scalar);

}  // namespace tw::detail
