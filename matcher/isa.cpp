// Selection of the instruction set: the widest the processor supports, chosen
// once at first use, unless TRAWLEX_ISA asks for a narrower one.
#include "matcher/isa.h"

#include <atomic>
#include <cstdlib>

#if defined(__x86_64__)
#include <cpuid.h>
#endif

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

#if defined(__x86_64__)
// What the variants need, asked of the processor once. GCC's own
// __builtin_cpu_supports would link its start-up probe of every feature
// leaf, which costs a fifth of a millisecond in a virtual machine (each
// cpuid traps) on every run of a short command.
struct CpuFeatures {
    bool sse2 = false;
    bool avx2 = false;  // with POPCNT and BMI1, and the AVX state enabled by the system
};

CpuFeatures probe_cpu() {
    CpuFeatures f;
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0) return f;
    f.sse2 = (d & bit_SSE2) != 0;
    const bool popcnt = (c & bit_POPCNT) != 0;
    bool os_avx = false;
    if ((c & bit_OSXSAVE) != 0) {
        unsigned lo = 0, hi = 0;
        __asm__("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
        os_avx = (lo & 6u) == 6u;  // XMM and YMM state
    }
    if (__get_cpuid_count(7, 0, &a, &b, &c, &d) == 0) return f;
    f.avx2 = popcnt && os_avx && (b & bit_AVX2) != 0 && (b & bit_BMI) != 0;
    return f;
}

const CpuFeatures& cpu() {
    static const CpuFeatures features = probe_cpu();
    return features;
}
#endif

}  // namespace

bool matcher_isa_supported(Isa isa) {
    switch (isa) {
        case Isa::Scalar:
            return true;
#if defined(__x86_64__)
        case Isa::Sse2:
            return cpu().sse2;
        case Isa::Avx2:
            return cpu().avx2;
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
