// Internal: the small vector types over which the scanning and lower-casing
// kernels are written once. Each type gives its width in bytes and, for the
// vector ones, loads, stores, byte compares, logic and a mask of the byte
// lanes. The AVX2 type carries the AVX2 target on every member, so no file
// needs a global -mavx2 and the program runs on any x86-64.
#pragma once

#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tw::detail {

// Plain byte-by-byte code: the kernels run their byte step, and the
// multi-pattern kernel's shuffle filter one byte at a time (a "register" of
// one byte, the shuffle a lookup in the table's sixteen bytes).
struct ScalarTraits {
    using Reg = std::uint8_t;
    static constexpr unsigned kWidth = 1;
    static constexpr bool kHasShuffle = true;

    static Reg load(const std::uint8_t* p) { return *p; }
    static void store_aligned(std::uint8_t* p, Reg v) { *p = v; }
    using Table = const std::uint8_t*;
    static Table table(const std::uint8_t* p) { return p; }
    static Reg and_(Reg a, Reg b) { return a & b; }
    static Reg or_(Reg a, Reg b) { return a | b; }
    static Reg low_nibbles(Reg v) { return v & 0x0F; }
    static Reg high_nibbles(Reg v) { return v >> 4; }
    // table[idx] for each byte lane (idx below 16); the table is its
    // address, since a one-byte register cannot hold it.
    static Reg shuffle(Table t, Reg idx) { return t[idx]; }
    static std::uint64_t nonzero(Reg v) { return v != 0; }
};

#if defined(__x86_64__)

#define TW_AVX2_TARGET __attribute__((target("avx2,popcnt,bmi")))

struct Sse2Traits {
    using Reg = __m128i;
    static constexpr unsigned kWidth = 16;
    // Baseline x86-64 has no byte shuffle (PSHUFB is SSSE3): the
    // multi-pattern kernel keeps its byte-pair filter here.
    static constexpr bool kHasShuffle = false;

    static Reg load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static Reg load_aligned(const std::uint8_t* p) { return _mm_load_si128(reinterpret_cast<const __m128i*>(p)); }
    static void store_aligned(std::uint8_t* p, Reg v) { _mm_store_si128(reinterpret_cast<__m128i*>(p), v); }
    static Reg splat(std::uint8_t b) { return _mm_set1_epi8(static_cast<char>(b)); }
    // Sixteen bytes repeated over the register.
    static Reg broadcast16(const std::uint8_t* p) { return load_aligned(p); }
    static Reg cmpeq(Reg a, Reg b) { return _mm_cmpeq_epi8(a, b); }
    // Lanes where a > b, comparing bytes as signed values.
    static Reg cmpgt_signed(Reg a, Reg b) { return _mm_cmpgt_epi8(a, b); }
    static Reg and_(Reg a, Reg b) { return _mm_and_si128(a, b); }
    static Reg or_(Reg a, Reg b) { return _mm_or_si128(a, b); }
    static std::uint64_t mask(Reg v) { return static_cast<std::uint32_t>(_mm_movemask_epi8(v)); }
    // True when any lane is non-zero.
    static bool any(Reg v) { return _mm_movemask_epi8(v) != 0; }
    // Baseline x86-64 has no POPCNT instruction: count bits arithmetically.
    static constexpr bool kFastPopcount = false;
    static unsigned popcount(std::uint64_t m) {
        m = m - ((m >> 1) & 0x5555555555555555ULL);
        m = (m & 0x3333333333333333ULL) + ((m >> 2) & 0x3333333333333333ULL);
        m = (m + (m >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
        return static_cast<unsigned>((m * 0x0101010101010101ULL) >> 56);
    }
};

struct Avx2Traits {
    using Reg = __m256i;
    static constexpr unsigned kWidth = 32;
    static constexpr bool kHasShuffle = true;

    TW_AVX2_TARGET static Reg load(const std::uint8_t* p) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
    TW_AVX2_TARGET static Reg load_aligned(const std::uint8_t* p) {
        return _mm256_load_si256(reinterpret_cast<const __m256i*>(p));
    }
    TW_AVX2_TARGET static void store_aligned(std::uint8_t* p, Reg v) {
        _mm256_store_si256(reinterpret_cast<__m256i*>(p), v);
    }
    TW_AVX2_TARGET static Reg splat(std::uint8_t b) { return _mm256_set1_epi8(static_cast<char>(b)); }
    TW_AVX2_TARGET static Reg broadcast16(const std::uint8_t* p) {
        return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(p)));
    }
    TW_AVX2_TARGET static Reg cmpeq(Reg a, Reg b) { return _mm256_cmpeq_epi8(a, b); }
    TW_AVX2_TARGET static Reg cmpgt_signed(Reg a, Reg b) { return _mm256_cmpgt_epi8(a, b); }
    TW_AVX2_TARGET static Reg and_(Reg a, Reg b) { return _mm256_and_si256(a, b); }
    TW_AVX2_TARGET static Reg or_(Reg a, Reg b) { return _mm256_or_si256(a, b); }
    TW_AVX2_TARGET static std::uint64_t mask(Reg v) {
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(v));
    }
    TW_AVX2_TARGET static bool any(Reg v) { return !_mm256_testz_si256(v, v); }
    TW_AVX2_TARGET static Reg low_nibbles(Reg v) { return _mm256_and_si256(v, _mm256_set1_epi8(0x0F)); }
    TW_AVX2_TARGET static Reg high_nibbles(Reg v) {
        return _mm256_and_si256(_mm256_srli_epi16(v, 4), _mm256_set1_epi8(0x0F));
    }
    // In each 16-byte half, byte i becomes table[idx[i]] (idx below 16): the
    // table register holds the same sixteen bytes in both halves.
    using Table = Reg;
    TW_AVX2_TARGET static Table table(const std::uint8_t* p) { return broadcast16(p); }
    TW_AVX2_TARGET static Reg shuffle(Table t, Reg idx) { return _mm256_shuffle_epi8(t, idx); }
    // One bit per non-zero byte lane.
    TW_AVX2_TARGET static std::uint64_t nonzero(Reg v) {
        return ~static_cast<std::uint64_t>(static_cast<std::uint32_t>(
                   _mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_setzero_si256())))) &
               0xFFFFFFFFULL;
    }
    static constexpr bool kFastPopcount = true;
    TW_AVX2_TARGET static unsigned popcount(std::uint64_t m) {
        return static_cast<unsigned>(_mm_popcnt_u64(m));
    }
};

#endif  // __x86_64__

}  // namespace tw::detail
