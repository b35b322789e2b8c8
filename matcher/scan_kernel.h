// Internal: the scanning kernel and the lower-casing kernel, written once over
// a vector-traits type V (matcher/vector_traits.h) and instantiated by
// scan_scalar.cpp, scan_sse2.cpp and scan_avx2.cpp. The including file defines
// TW_KERNEL_TARGET (empty, or the target attribute its traits need) and
// includes this header once; everything here has internal linkage, so the
// instantiations of different files never mix.
//
// The scan examines start positions x = TEXT_PTR, TEXT_PTR + 1, ... up to the
// last start position L = TEXT_END - m. The byte step (scan_bytes) does it one
// position at a time: count the end-of-line byte at x, test the first and the
// second significant byte, compare the rest of the pattern, write a record.
// That is the whole scan of the scalar instantiation and the reference. The
// vector instantiations first run blocks of 64 positions (scan_blocks): a
// compare of the rarest significant pattern byte over the block, and only
// where it occurs, compares of the next two rarest, whose lanes ANDed give a
// candidate mask verified lowest bit first; a compare with the end-of-line
// byte gives a mask whose popcount, up to and including a candidate's bit,
// is that candidate's line count. Rarest is by a fixed table of byte
// frequencies (filter_bytes): testing CHAR_1 first, as the byte step does,
// would send most blocks to the slow path for a pattern that starts with a
// common letter, or a UTF-16 word whose every other byte is 0. A wildcard
// position is never tested. A block runs only while its last position
// is <= L, so every load ends at or before L + m - 1 < TEXT_END. The positions
// left go through single vectors, then the byte step.
#ifndef TW_KERNEL_TARGET
#error "define TW_KERNEL_TARGET before including matcher/scan_kernel.h"
#endif

#include <cstdint>
#include <type_traits>

#include "matcher/byte_ranks.h"
#include "matcher/search_param.h"
#include "matcher/vector_traits.h"

namespace tw::detail {
namespace {

// End-of-line byte counted by a routine; None for routines without line numbers.
enum class Eol : std::uint8_t { None = 0, LF = 10, CR = 13 };

// Pattern shape, fixed at compile time.
//   Second:   CHAR_2 is tested (every shape but the one-byte pattern)
//   Run:      CHAR_2 sits after the wildcard run of NB_WILD_SEQ bytes
//   Compare:  pattern bytes from 2 + k on are compared one by one
//   SkipWild: pattern bytes equal to WILD_CHAR match any text byte
//   Fold:     the text byte at pattern position j is ORed with FOLD_MASK[j]
//             before the compare (the case of letter characters is ignored)
template <bool Second, bool Run, bool Compare, bool SkipWild>
struct Shape {
    static constexpr bool kSecond = Second;
    static constexpr bool kRun = Run;
    static constexpr bool kCompare = Compare;
    static constexpr bool kSkipWild = SkipWild;
    static constexpr bool kFold = false;
};

// The same shape, comparing folded text bytes where the mask says so.
template <class S>
struct Folding : S {
    static constexpr bool kFold = true;
};

using OneByte = Shape<false, false, false, false>;
using TwoBytes = Shape<true, false, false, false>;
using Literal = Shape<true, false, true, false>;
using WildTail = Shape<true, false, true, true>;
using RunOnly = Shape<true, true, false, false>;
using RunThenMore = Shape<true, true, true, true>;

// Inputs loaded once at entry.
struct Inputs {
    const std::uint8_t* pattern;
    std::uint64_t m;           // pattern length
    std::uint64_t k;           // wildcard run length (0 unless the shape has a run)
    std::uint64_t text_start;  // address of TEXT_START
    std::uint64_t text_offset;
    std::uint64_t occ_end;
    std::uint8_t c1, c2, wild;
    // Folding shapes: the case bit (0x20) or 0 per pattern position, and
    // those of CHAR_1 and CHAR_2.
    const std::uint8_t* fold = nullptr;
    std::uint8_t f1 = 0, f2 = 0;
    // The vector block filter: as many significant pattern positions as the
    // shape tests (one, two, or three), rarest first; `covered` when they
    // are all the significant positions, so that the filter alone decides.
    std::uint64_t filter_at[3] = {};
    std::uint8_t filter_byte[3] = {};
    std::uint8_t filter_fold[3] = {};
    bool covered = false;
};

// The text byte b, at pattern position j, as a folding shape compares it.
template <class S>
inline std::uint8_t folded(const Inputs& in, std::uint8_t b, std::uint64_t j) {
    if constexpr (S::kFold) return static_cast<std::uint8_t>(b | in.fold[j]);
    (void)in;
    (void)j;
    return b;
}


inline const std::uint8_t* at(std::uint64_t address) {
    return reinterpret_cast<const std::uint8_t*>(address);
}

// Compares pattern bytes 2 + k .. end - 1 with the text at start position y
// (end is m, or m - 1 when the last byte has already been compared).
template <class S>
TW_KERNEL_TARGET inline bool rest_matches(const Inputs& in, std::uint64_t y, std::uint64_t end) {
    const std::uint8_t* t = at(y);
    for (std::uint64_t j = 2 + in.k; j < end; ++j) {
        const std::uint8_t pj = in.pattern[j];
        if constexpr (S::kSkipWild) {
            if (pj == in.wild) continue;
        }
        if (pj != folded<S>(in, t[j], j)) return false;
    }
    return true;
}

// Compares every significant pattern byte with the text at start position y:
// the candidates of the block filter, which tests other bytes than CHAR_1.
// CHAR_1 and CHAR_2 (at 1 + k, past a wildcard run) are never the wildcard.
template <class S>
TW_KERNEL_TARGET inline bool all_matches(const Inputs& in, std::uint64_t y) {
    const std::uint8_t* t = at(y);
    if (folded<S>(in, t[0], 0) != in.pattern[0]) return false;
    if (in.m > 1 + in.k && folded<S>(in, t[1 + in.k], 1 + in.k) != in.pattern[1 + in.k]) return false;
    return rest_matches<S>(in, y, in.m);
}

// Chooses the block filter's positions: the rarest significant pattern
// bytes, ties to the earliest.
template <class S>
inline void filter_bytes(Inputs& in) {
    constexpr unsigned kWanted = S::kCompare ? 3 : S::kSecond ? 2 : 1;
    unsigned kept = 0;
    std::uint64_t significant = 0;
    for (std::uint64_t j = 0; j < in.m; ++j) {
        if (S::kRun && j == 1) j += in.k;
        const std::uint8_t b = in.pattern[j];
        if (S::kSkipWild && b == in.wild) continue;
        ++significant;
        // Insertion among the positions kept so far, rarest first.
        unsigned slot = kept < kWanted ? kept++ : kWanted;
        while (slot > 0 && kByteRanks.rank[in.filter_byte[slot - 1]] < kByteRanks.rank[b]) {
            if (slot < kWanted) {
                in.filter_at[slot] = in.filter_at[slot - 1];
                in.filter_byte[slot] = in.filter_byte[slot - 1];
            }
            --slot;
        }
        if (slot < kWanted) {
            in.filter_at[slot] = j;
            in.filter_byte[slot] = b;
        }
    }
    for (unsigned i = kept; i < 3; ++i) {
        in.filter_at[i] = in.filter_at[0];
        in.filter_byte[i] = in.filter_byte[0];
    }
    if constexpr (S::kFold) {
        for (unsigned i = 0; i < 3; ++i) in.filter_fold[i] = in.fold[in.filter_at[i]];
    }
    in.covered = significant <= kWanted;
}

// Writes the record of the occurrence at y and returns the next slot.
template <Eol E>
TW_KERNEL_TARGET inline std::uint64_t put_record(const Inputs& in, std::uint64_t out, std::uint64_t y,
                                                 std::uint64_t n) {
    const std::uint64_t offset = in.text_offset + (y - in.text_start);
    auto* slot = reinterpret_cast<unsigned char*>(out);
    __builtin_memcpy(slot, &offset, 8);
    if constexpr (E != Eol::None) {
        __builtin_memcpy(slot + 8, &n, 8);
        return out + 16;
    } else {
        (void)n;
        return out + 8;
    }
}

// The byte step from x while x <= last. Returns true when a record filled the
// occurrence buffer: x is then that occurrence's position and n its count.
// Otherwise x ends as the first position past last.
template <class S, Eol E>
TW_KERNEL_TARGET inline bool scan_bytes(const Inputs& in, std::uint64_t last, std::uint64_t& x, std::uint64_t& n,
                                        std::uint64_t& out) {
    for (; x <= last; ++x) {
        const std::uint8_t b = *at(x);
        if constexpr (E != Eol::None) {
            if (b == static_cast<std::uint8_t>(E)) ++n;
        }
        if constexpr (S::kFold) {
            if ((b | in.f1) != in.c1) continue;
        } else {
            if (b != in.c1) continue;
        }
        if constexpr (S::kSecond) {
            if constexpr (S::kFold) {
                if ((*at(x + 1 + in.k) | in.f2) != in.c2) continue;
            } else {
                if (*at(x + 1 + in.k) != in.c2) continue;
            }
        }
        if constexpr (S::kCompare) {
            if (!rest_matches<S>(in, x, in.m)) continue;
        }
        out = put_record<E>(in, out, x, n);
        if (out >= in.occ_end) return true;
    }
    return false;
}

#if defined(__x86_64__)

// A vector of text bytes, ORed with a filter position's case bit in
// folding shapes.
template <class V, class S>
TW_KERNEL_TARGET inline typename V::Reg load_folded(const std::uint8_t* p, typename V::Reg fold) {
    if constexpr (S::kFold) return V::or_(V::load(p), fold);
    (void)fold;
    return V::load(p);
}

// Vector blocks of N vectors (N * W <= 64 positions, one bit each) from x
// while the whole block lies at or below last. Same result convention as
// scan_bytes, except that x ends at the first position not yet examined.
//
// A block without the rarest pattern byte (filter_at[0]) costs one compare
// per vector and one test of the ORed lanes (plus the end-of-line count).
// Otherwise its lanes are ANDed with the compares of the second and, for
// shapes with a byte-by-byte compare, the third filter byte: a lane that
// fails either cannot start an occurrence, so this only thins out the
// candidates that all_matches checks in increasing order (unless the filter
// covers every significant byte). Every filter position is below m, so all
// these loads end at or before last + m - 1, inside the text.
template <class V, class S, Eol E, unsigned N, bool kPairs>
TW_KERNEL_TARGET inline bool scan_blocks(const Inputs& in, std::uint64_t last, std::uint64_t& x, std::uint64_t& n,
                                         std::uint64_t& out) {
    using Reg = typename V::Reg;
    constexpr unsigned W = V::kWidth;
    constexpr std::uint64_t kSpan = std::uint64_t{N} * W;
    static_assert(kSpan <= 64);
    const Reg v1 = V::splat(in.filter_byte[0]);
    const Reg v2 = V::splat(in.filter_byte[1]);
    const Reg v3 = V::splat(in.filter_byte[2]);
    const Reg veol = V::splat(static_cast<std::uint8_t>(E));
    // Folding shapes OR each filter lane with its position's case bit.
    const Reg fold1 = V::splat(in.filter_fold[0]);
    const Reg fold2 = V::splat(in.filter_fold[1]);
    const Reg fold3 = V::splat(in.filter_fold[2]);

    const std::uint64_t lead = in.filter_at[0];
    const std::uint64_t second = in.filter_at[1];
    const std::uint64_t final_at = in.filter_at[2];
    constexpr std::uint64_t kRecord = E != Eol::None ? 16 : 8;
    // Share of recent blocks that held an occurrence, in 1/256 (each block
    // keeps 7/8 of it and adds 32 when it held one). Blocks with and without
    // occurrences alternating at random defeat branch prediction; a dense
    // share selects the branch-free pairs below, a sparse one the plain loop,
    // and the share itself changes too slowly to be mispredicted.
    constexpr unsigned kDense = 48;
    unsigned density = 0;
    while (x <= last && last - x >= kSpan - 1) {
        const std::uint8_t* t = at(x);
        Reg first[N];
        Reg any_first;
        std::uint64_t eol = 0;
        for (unsigned v = 0; v < N; ++v) {
            first[v] = V::cmpeq(load_folded<V, S>(t + lead + v * W, fold1), v1);
            any_first = v == 0 ? first[v] : V::or_(any_first, first[v]);
            if constexpr (E != Eol::None) eol |= V::mask(V::cmpeq(V::load(t + v * W), veol)) << (v * W);
        }
        if (V::any(any_first)) {
            std::uint64_t cand = 0;
            for (unsigned v = 0; v < N; ++v) {
                Reg h = first[v];
                if constexpr (S::kSecond) h = V::and_(h, V::cmpeq(load_folded<V, S>(t + second + v * W, fold2), v2));
                if constexpr (S::kCompare) h = V::and_(h, V::cmpeq(load_folded<V, S>(t + final_at + v * W, fold3), v3));
                cand |= V::mask(h) << (v * W);
            }
            // Every candidate is an occurrence and the buffer cannot fill in
            // this block: write records two at a time without testing for
            // the end of the candidates, so that the usual zero, one or two
            // occurrences per block take no unpredictable branch. The pairs
            // write up to two slots past the last candidate (two when there
            // is none); with room for two more records than candidates those
            // slots lie inside the buffer and beyond OCC_PTR, so they are
            // scratch. Their bit index is 63 (the sentinel), which keeps the
            // arithmetic defined.
            if constexpr (kPairs) density = density - (density >> 3) + (cand != 0 ? 32 : 0);
            if (kPairs && density >= kDense) {
                const std::uint64_t count = V::popcount(cand);
                if ((in.occ_end - out) / kRecord >= count + 2) {
                    constexpr std::uint64_t kSentinel = std::uint64_t{1} << 63;
                    std::uint64_t slot = out;
                    do {
                        for (unsigned pair = 0; pair < 2; ++pair) {
                            const unsigned i = static_cast<unsigned>(__builtin_ctzll(cand | kSentinel));
                            cand &= cand - 1;
                            std::uint64_t ny = n;
                            if constexpr (E != Eol::None) {
                                ny += V::popcount(eol & (~std::uint64_t{0} >> (63 - i)));
                            }
                            slot = put_record<E>(in, slot, x + i, ny);
                        }
                    } while (cand != 0);
                    out += count * kRecord;
                    if constexpr (E != Eol::None) n += V::popcount(eol);
                    x += kSpan;
                    continue;
                }
            }
            while (cand != 0) {
                const unsigned i = static_cast<unsigned>(__builtin_ctzll(cand));
                cand &= cand - 1;
                const std::uint64_t y = x + i;
                if constexpr (S::kCompare) {
                    if (!in.covered && !all_matches<S>(in, y)) continue;
                }
                std::uint64_t ny = n;
                // End-of-line bytes at positions x .. y, y included.
                if constexpr (E != Eol::None) ny += V::popcount(eol & (~std::uint64_t{0} >> (63 - i)));
                out = put_record<E>(in, out, y, ny);
                if (out >= in.occ_end) {
                    x = y;
                    n = ny;
                    return true;
                }
            }
        }
        if constexpr (E != Eol::None) n += V::popcount(eol);
        x += kSpan;
    }
    return false;
}

#endif  // __x86_64__

// One routine: shape S, end-of-line byte E, instruction set V.
template <class V, class S, Eol E>
TW_KERNEL_TARGET void scan(SearchParam* sr) {
    Inputs in;
    in.pattern = at(sr->STR_START);
    in.m = sr->STR_END - sr->STR_START;
    in.k = S::kRun ? sr->NB_WILD_SEQ : 0;
    in.text_start = sr->TEXT_START;
    in.text_offset = sr->TEXT_OFFSET;
    in.occ_end = sr->OCC_END;
    in.c1 = static_cast<std::uint8_t>(sr->CHAR_1);
    in.c2 = S::kSecond ? static_cast<std::uint8_t>(sr->CHAR_2) : 0;
    in.wild = static_cast<std::uint8_t>(sr->WILD_CHAR);
    if constexpr (S::kFold) {
        in.fold = at(sr->FOLD_MASK);
        in.f1 = in.fold[0];
        in.f2 = S::kSecond ? in.fold[1 + in.k] : 0;
    }

    const std::uint64_t last = sr->TEXT_END - in.m;
    std::uint64_t x = sr->TEXT_PTR;
    std::uint64_t n = E != Eol::None ? sr->LINE_COUNT : 0;
    std::uint64_t out = sr->OCC_PTR;

    bool full = false;
#if defined(__x86_64__)
    if constexpr (V::kWidth > 1) {
        // Pairs of records need the vector filter to decide alone (no pattern
        // byte left to compare) and cheap popcounts for the line counts.
        constexpr bool kPairsPossible = E == Eol::None || V::kFastPopcount;
        filter_bytes<S>(in);
        // The byte step up to the first position whose rarest byte lies on a
        // vector boundary, so that the blocks' every load of it is aligned
        // (a load across two cache lines costs as much as two).
        constexpr std::uint64_t W = V::kWidth;
        const std::uint64_t head = (W - ((x + in.filter_at[0]) & (W - 1))) & (W - 1);
        if (head != 0 && x <= last) {
            full = scan_bytes<S, E>(in, x + head - 1 < last ? x + head - 1 : last, x, n, out);
        }
        if (full) {
            // The occurrence buffer filled before the blocks.
        } else if (kPairsPossible && in.covered) {
            full = scan_blocks<V, S, E, 64 / V::kWidth, kPairsPossible>(in, last, x, n, out);
        } else {
            full = scan_blocks<V, S, E, 64 / V::kWidth, false>(in, last, x, n, out);
        }
        if (!full && V::kWidth < 64) full = scan_blocks<V, S, E, 1, false>(in, last, x, n, out);
    }
#endif
    if (!full) full = scan_bytes<S, E>(in, last, x, n, out);

    if (full) {
        sr->SEARCH_RESULT = x + 1 > last ? TW_END_BOTH : TW_END_OCC;
    } else {
        sr->SEARCH_RESULT = out >= in.occ_end ? TW_END_BOTH : TW_END_TEXT;
    }
    sr->TEXT_PTR = x + 1;
    sr->OCC_PTR = out;
    if constexpr (E != Eol::None) sr->LINE_COUNT = n;
}

// The routines for one or two bytes test CHAR_2 only when there is a second byte.
template <class V, Eol E, bool F = false>
TW_KERNEL_TARGET void scan_short(SearchParam* sr) {
    using One = std::conditional_t<F, Folding<OneByte>, OneByte>;
    using Two = std::conditional_t<F, Folding<TwoBytes>, TwoBytes>;
    if (sr->STR_END - sr->STR_START == 1) {
        scan<V, One, E>(sr);
    } else {
        scan<V, Two, E>(sr);
    }
}

inline bool is_capital(std::uint8_t b) {
    return static_cast<std::uint8_t>(b - 0x41) < 26;
}

#if defined(__x86_64__)
// Lowers one aligned vector of bytes. Signed compares: bytes 0x80..0xFF are
// negative, so neither they nor 0x40 and 0x5B qualify.
template <class V>
TW_KERNEL_TARGET inline void lower_block(std::uint8_t* p, typename V::Reg below_a, typename V::Reg above_z,
                                         typename V::Reg case_bit) {
    const typename V::Reg a = V::load_aligned(p);
    const typename V::Reg capital = V::and_(V::cmpgt_signed(a, below_a), V::cmpgt_signed(above_z, a));
    V::store_aligned(p, V::or_(a, V::and_(capital, case_bit)));
}
#endif

// Lowers start[0 .. length): bytes up to the first W-byte boundary one at a
// time, then aligned blocks of W bytes, then the rest one at a time.
template <class V>
TW_KERNEL_TARGET void lower_case(std::uint64_t length, std::uint8_t* start) {
    std::uint8_t* p = start;
    std::uint64_t rest = length;
#if defined(__x86_64__)
    if constexpr (V::kWidth > 1) {
        constexpr std::uint64_t W = V::kWidth;
        std::uint64_t head = (W - (reinterpret_cast<std::uint64_t>(p) & (W - 1))) & (W - 1);
        if (head > rest) head = rest;
        for (std::uint64_t i = 0; i < head; ++i) {
            if (is_capital(p[i])) p[i] |= 0x20;
        }
        p += head;
        rest -= head;
        const typename V::Reg below_a = V::broadcast16(ascii_A1_8);
        const typename V::Reg above_z = V::broadcast16(ascii_Z1_8);
        const typename V::Reg case_bit = V::broadcast16(ascii_case_bit);
        const std::uint64_t blocks = rest & ~(W - 1);
        std::uint64_t i = 0;
        // Four vectors per step, then single vectors.
        for (; i + 4 * W <= blocks; i += 4 * W) {
            lower_block<V>(p + i, below_a, above_z, case_bit);
            lower_block<V>(p + i + W, below_a, above_z, case_bit);
            lower_block<V>(p + i + 2 * W, below_a, above_z, case_bit);
            lower_block<V>(p + i + 3 * W, below_a, above_z, case_bit);
        }
        for (; i < blocks; i += W) lower_block<V>(p + i, below_a, above_z, case_bit);
        p += blocks;
        rest -= blocks;
    }
#endif
    for (std::uint64_t i = 0; i < rest; ++i) {
        if (is_capital(p[i])) p[i] |= 0x20;
    }
}

// The routine set of instruction set V.
template <class V>
constexpr RoutineSet make_routine_set(Isa isa) {
    return RoutineSet{
        isa,
        &scan_short<V, Eol::None>, &scan_short<V, Eol::CR>, &scan_short<V, Eol::LF>,
        &scan<V, Literal, Eol::None>, &scan<V, Literal, Eol::CR>, &scan<V, Literal, Eol::LF>,
        &scan<V, WildTail, Eol::None>, &scan<V, WildTail, Eol::CR>, &scan<V, WildTail, Eol::LF>,
        &scan<V, RunOnly, Eol::None>, &scan<V, RunOnly, Eol::CR>, &scan<V, RunOnly, Eol::LF>,
        &scan<V, RunThenMore, Eol::None>, &scan<V, RunThenMore, Eol::CR>, &scan<V, RunThenMore, Eol::LF>,
        &lower_case<V>,
        // ROUTINE_INDEX -> the folding routine; none in the slots never selected.
        {{
            &scan_short<V, Eol::None, true>, &scan_short<V, Eol::None, true>,
            &scan_short<V, Eol::CR, true>, &scan_short<V, Eol::LF, true>,
            &scan<V, Folding<Literal>, Eol::None>, &scan<V, Folding<Literal>, Eol::None>,
            &scan<V, Folding<Literal>, Eol::CR>, &scan<V, Folding<Literal>, Eol::LF>,
            nullptr, nullptr, nullptr, nullptr,
            &scan<V, Folding<WildTail>, Eol::None>, &scan<V, Folding<WildTail>, Eol::None>,
            &scan<V, Folding<WildTail>, Eol::CR>, &scan<V, Folding<WildTail>, Eol::LF>,
            nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
            &scan<V, Folding<RunOnly>, Eol::None>, &scan<V, Folding<RunOnly>, Eol::None>,
            &scan<V, Folding<RunOnly>, Eol::CR>, &scan<V, Folding<RunOnly>, Eol::LF>,
            &scan<V, Folding<RunThenMore>, Eol::None>, &scan<V, Folding<RunThenMore>, Eol::None>,
            &scan<V, Folding<RunThenMore>, Eol::CR>, &scan<V, Folding<RunThenMore>, Eol::LF>,
        }},
    };
}

}  // namespace
}  // namespace tw::detail
