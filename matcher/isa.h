// Choice of the instruction set used by the scanning routines and the
// lower-casing. The widest one the processor has is chosen at first use;
// the environment variable TRAWLEX_ISA (scalar, sse2 or avx2) read at that
// moment forces a narrower one. Tests and benchmarks may switch at run time.
#pragma once

namespace tw {

enum class Isa {
    Scalar,  // plain byte-by-byte code, the reference
    Sse2,    // 16-byte vectors (x86-64 only)
    Avx2,    // 32-byte vectors (x86-64 with AVX2, POPCNT and BMI1)
};

// True when this build and this processor can run the variant.
bool matcher_isa_supported(Isa isa);

// The widest supported variant.
Isa matcher_best_isa();

// The variant in use; selects it (processor, then TRAWLEX_ISA) on first call.
Isa matcher_isa();

// Forces a variant. Returns false and changes nothing when it is not supported.
bool set_matcher_isa(Isa isa);

// Forgets a forced variant and selects again as at first use.
void reset_matcher_isa();

// "scalar", "sse2" or "avx2".
const char* matcher_isa_name(Isa isa);

// Parses one of the names above (case-insensitive). Returns false for others.
bool parse_matcher_isa(const char* name, Isa* out);

}  // namespace tw
