// Selection of the instruction set: the widest the processor supports, chosen
// once at first use, unless TRAWLEX_ISA asks for a narrower one.
#include "matcher/isa.h"

#include <atomic>
#include <cstdlib>

#include "matcher/routine_set.h"

namespace tw {
namespace {

std::atomic<const detail::RoutineSet*> g_active{nullptr};

const detail::RoutineSet* routines_of(Isa isa) {
    switch (isa) {
#if defined(__x86_64__)
        case Isa::Avx2:
            return &detail::kAvx2Routines;
        case Isa::Sse2:
            return &detail::kSse2Routines;
#endif
        default:
            return &detail::kScalarRoutines;
    }
}

const detail::RoutineSet* select_at_first_use() {
    Isa isa = matcher_best_isa();
    Isa wanted;
    const char* env = std::getenv("TRAWLEX_ISA");
    // A request for a variant the processor lacks falls back to the best below it.
    if (env != nullptr && parse_matcher_isa(env, &wanted) && static_cast<int>(wanted) < static_cast<int>(isa)) {
        isa = wanted;
    }
    return routines_of(isa);
}

}  // namespace

bool matcher_isa_supported(Isa isa) {
    switch (isa) {
        case Isa::Scalar:
            return true;
#if defined(__x86_64__)
        case Isa::Sse2:
            __builtin_cpu_init();
            return __builtin_cpu_supports("sse2");
        case Isa::Avx2:
            __builtin_cpu_init();
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") &&
                   __builtin_cpu_supports("bmi");
#endif
        default:
            return false;
    }
}

Isa matcher_best_isa() {
    if (matcher_isa_supported(Isa::Avx2)) return Isa::Avx2;
    if (matcher_isa_supported(Isa::Sse2)) return Isa::Sse2;
    return Isa::Scalar;
}

Isa matcher_isa() {
    return detail::active_routines().isa;
}

bool set_matcher_isa(Isa isa) {
    if (!matcher_isa_supported(isa)) return false;
    g_active.store(routines_of(isa), std::memory_order_release);
    return true;
}

void reset_matcher_isa() {
    g_active.store(select_at_first_use(), std::memory_order_release);
}

const char* matcher_isa_name(Isa isa) {
    switch (isa) {
        case Isa::Scalar:
            return "scalar";
        case Isa::Sse2:
            return "sse2";
        case Isa::Avx2:
            return "avx2";
    }
    return "?";
}

bool parse_matcher_isa(const char* name, Isa* out) {
    if (name == nullptr) return false;
    for (Isa isa : {Isa::Scalar, Isa::Sse2, Isa::Avx2}) {
        const char* a = matcher_isa_name(isa);
        const char* b = name;
        while (*a != '\0' && (*b | 0x20) == *a) {
            ++a;
            ++b;
        }
        if (*a == '\0' && *b == '\0') {
            *out = isa;
            return true;
        }
    }
    return false;
}

namespace detail {

const RoutineSet& active_routines() {
    const RoutineSet* set = g_active.load(std::memory_order_acquire);
    if (set == nullptr) {
        const RoutineSet* chosen = select_at_first_use();
        // Keep a choice forced meanwhile by another thread.
        if (g_active.compare_exchange_strong(set, chosen, std::memory_order_acq_rel)) set = chosen;
    }
    return *set;
}

}  // namespace detail
}  // namespace tw
