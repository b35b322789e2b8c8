// Internal: the multi-pattern scanning kernel, written once over a
// vector-traits type V (matcher/vector_traits.h) and instantiated by
// multi_scalar.cpp, multi_sse2.cpp and multi_avx2.cpp, which define
// TW_KERNEL_TARGET first, as for scan_kernel.h.
//
// Each bucket of the plan is a pair of (position, byte, mask) tests. The
// vector variants take blocks of 64 start positions: for every bucket, the
// two tests over the block's vectors, ANDed, give a 64-bit candidate mask.
// The union of the buckets' masks is walked lowest bit first; at each
// candidate position the members of the buckets whose bit is set form a
// 64-bit set of patterns, each verified fully in pattern order. Blocks run
// only while every pattern fits after the block's last position, so every
// load lies inside the buffer; the positions left go through the byte step,
// which makes the same tests one position at a time and is the whole scan
// of the scalar variant. With the prefix table (many patterns), each
// position's three bytes are hashed and looked up as well, and the table's
// patterns join the candidates of that position.
#ifndef TW_KERNEL_TARGET
#error "define TW_KERNEL_TARGET before including matcher/multi_kernel.h"
#endif

#include <cstdint>

#include "matcher/multi_plan.h"
#include "matcher/vector_traits.h"

namespace tw::detail {
namespace {

// True when pattern i occurs at position y of data[0 .. size).
TW_KERNEL_TARGET inline bool multi_matches(const MultiPlan& plan, std::uint32_t i, const std::uint8_t* data,
                                           std::size_t size, std::size_t y) {
    const std::uint32_t m = plan.length[i];
    if (size - y < m) return false;
    const std::uint8_t* p = plan.bytes.data() + plan.start[i];
    const std::uint8_t* f = plan.masks.data() + plan.start[i];
    const std::uint8_t* t = data + y;
    for (std::uint32_t j = 0; j < m; ++j) {
        if (static_cast<std::uint8_t>(t[j] | f[j]) != p[j]) return false;
    }
    return true;
}

// Verifies the candidate patterns at y and writes the occurrences. Returns
// false, writing nothing, when they do not all fit: the stop depends on the
// occurrences only, not on the candidates, so every variant stops alike
// whatever its filter passes.
TW_KERNEL_TARGET inline bool multi_emit(const MultiPlan& plan, const std::uint8_t* data, std::size_t size,
                                        std::size_t y, std::uint64_t offset, std::uint64_t patterns,
                                        MultiOccurrence* out, std::size_t capacity, std::size_t& n) {
    std::uint64_t found = 0;
    while (patterns != 0) {
        const auto i = static_cast<std::uint32_t>(__builtin_ctzll(patterns));
        patterns &= patterns - 1;
        if (multi_matches(plan, i, data, size, y)) found |= std::uint64_t{1} << i;
    }
    if (capacity - n < static_cast<std::size_t>(__builtin_popcountll(found))) return false;
    for (; found != 0; found &= found - 1) out[n++] = {offset + y, static_cast<std::uint32_t>(__builtin_ctzll(found))};
    return true;
}

// The shuffle filter at the 64 window positions from t: r[v] holds, for
// the v-th vector's positions, the classes that pass there; returns true
// when any position has one.
template <class V, unsigned K>
TW_KERNEL_TARGET inline bool shuffle_classes(const typename V::Table* low, const typename V::Table* high,
                                             const std::uint8_t* t, std::size_t step, typename V::Reg* r) {
    constexpr unsigned W = V::kWidth;
    typename V::Reg all = V::load(t);
    for (unsigned v = 0; v < 64 / W; ++v) {
        typename V::Reg c = V::and_(V::shuffle(low[0], V::low_nibbles(V::load(t + v * W))),
                                    V::shuffle(high[0], V::high_nibbles(V::load(t + v * W))));
        for (unsigned k = 1; k < K; ++k) {
            const typename V::Reg d = V::load(t + v * W + k * step);
            c = V::and_(c, V::and_(V::shuffle(low[k], V::low_nibbles(d)), V::shuffle(high[k], V::high_nibbles(d))));
        }
        r[v] = c;
        all = v == 0 ? c : V::or_(all, c);
    }
    return V::nonzero(all) != 0;
}

// The classes of the 64 positions into out[0 .. 64), and a bit per position
// with any class.
template <class V>
TW_KERNEL_TARGET inline std::uint64_t class_bytes(const typename V::Reg* r, std::uint8_t* out) {
    constexpr unsigned W = V::kWidth;
    std::uint64_t any = 0;
    for (unsigned v = 0; v < 64 / W; ++v) {
        V::store_aligned(out + v * W, r[v]);
        any |= V::nonzero(r[v]) << (v * W);
    }
    return any;
}

// Blocks of 64 start positions through the shuffle filter: the block's
// window positions and the next block's (a pattern's window lies up to 63
// bytes after its start), each block's classes computed once. Returns false
// when the occurrence buffer filled, x then being the position to resume at.
template <class V, unsigned K>
TW_KERNEL_TARGET bool shuffle_blocks(const MultiPlan& plan, const std::uint8_t* data, std::size_t size,
                                     std::size_t& x, std::size_t end, std::uint64_t offset, MultiOccurrence* out,
                                     std::size_t capacity, std::size_t& n) {
    constexpr unsigned N = 64 / V::kWidth;
    const std::size_t step = plan.window_step;
    const std::size_t room = 128 + (K - 1) * step;  // bytes the two blocks' windows read from x on
    if (end - x < 64 || size - x < room) return true;
    typename V::Table low[K], high[K];
    for (unsigned k = 0; k < K; ++k) {
        low[k] = V::table(plan.window_low[k]);
        high[k] = V::table(plan.window_high[k]);
    }
    typename V::Reg here_regs[N], next_regs[N];
    bool here = shuffle_classes<V, K>(low, high, data + x, step, here_regs);
    const std::uint32_t* window_at = plan.window_at.data();
    while (end - x >= 64 && size - x >= room) {
        const bool next = shuffle_classes<V, K>(low, high, data + x + 64, step, next_regs);
        if (here || (next && plan.window_carry != 0)) {
            // The candidate patterns of each start position of the block.
            alignas(32) std::uint8_t classes[2][64];
            const std::uint64_t here_bits = class_bytes<V>(here_regs, classes[0]);
            const std::uint64_t carried = class_bytes<V>(next_regs, classes[1]) & plan.window_carry;
            std::uint64_t starts = 0, at[64];
            for (unsigned half = 0; half < 2; ++half) {
                std::uint64_t bits = half == 0 ? here_bits : carried;
                while (bits != 0) {
                    const unsigned j = static_cast<unsigned>(__builtin_ctzll(bits));
                    bits &= bits - 1;
                    for (unsigned c = classes[half][j]; c != 0; c &= c - 1) {
                        for (std::uint64_t m = plan.class_members[__builtin_ctz(c)]; m != 0; m &= m - 1) {
                            const unsigned i = static_cast<unsigned>(__builtin_ctzll(m));
                            const unsigned q = j + 64 * half;  // window position from x
                            if (q < window_at[i] || q - window_at[i] >= 64) continue;
                            const unsigned s = q - window_at[i];
                            if (((starts >> s) & 1) == 0) at[s] = 0;
                            starts |= std::uint64_t{1} << s;
                            at[s] |= std::uint64_t{1} << i;
                        }
                    }
                }
            }
            while (starts != 0) {
                const unsigned s = static_cast<unsigned>(__builtin_ctzll(starts));
                starts &= starts - 1;
                if (!multi_emit(plan, data, size, x + s, offset, at[s], out, capacity, n)) {
                    x += s;
                    return false;
                }
            }
        }
        here = next;
        for (unsigned v = 0; v < N; ++v) here_regs[v] = next_regs[v];
        x += 64;
    }
    return true;
}

template <class V>
TW_KERNEL_TARGET MultiScanResult multi_scan(const MultiPlan& plan, const std::uint8_t* data, std::size_t size,
                                            std::size_t begin, std::size_t end, std::uint64_t offset,
                                            MultiOccurrence* out, std::size_t capacity) {
    std::size_t n = 0;
    std::size_t x = begin;
    if (end > size) end = size;
    if (x >= end) return {0, x};
    const std::size_t nb = plan.buckets.size();
    const MultiPlan::Bucket* buckets = plan.buckets.data();
    const std::uint64_t* table = plan.prefix_bits.empty() ? nullptr : plan.prefix_bits.data();
    if constexpr (V::kHasShuffle) {
        if (plan.shuffle_filter &&
            !(plan.window_size == 2 ? shuffle_blocks<V, 2>(plan, data, size, x, end, offset, out, capacity, n)
                                    : shuffle_blocks<V, MultiPlan::kMaxWindow>(plan, data, size, x, end, offset, out,
                                                                               capacity, n)))
            return {n, x};
    }
#if defined(__x86_64__)
    if constexpr (V::kWidth > 1) {
        using Reg = typename V::Reg;
        constexpr unsigned W = V::kWidth;
        constexpr unsigned N = 64 / W;
        Reg a_byte[kMaxMultiPatterns], a_mask[kMaxMultiPatterns];
        Reg b_byte[kMaxMultiPatterns], b_mask[kMaxMultiPatterns];
        for (std::size_t k = 0; k < nb; ++k) {
            a_byte[k] = V::splat(buckets[k].a_byte);
            a_mask[k] = V::splat(buckets[k].a_mask);
            b_byte[k] = V::splat(buckets[k].b_byte);
            b_mask[k] = V::splat(buckets[k].b_mask);
        }
        std::uint64_t hits[kMaxMultiPatterns];
        const std::size_t room = plan.max_length + 63 + (table ? 1 : 0);  // bytes a block reads from x on
        while (end - x >= 64 && size - x >= room) {
            const std::uint8_t* t = data + x;
            std::uint64_t any = 0;
            for (std::size_t k = 0; k < nb; ++k) {
                const std::uint8_t* ta = t + buckets[k].a_at;
                const std::uint8_t* tb = t + buckets[k].b_at;
                std::uint64_t h = 0;
                for (unsigned v = 0; v < N; ++v) {
                    const Reg ea = V::cmpeq(V::or_(V::load(ta + v * W), a_mask[k]), a_byte[k]);
                    const Reg eb = V::cmpeq(V::or_(V::load(tb + v * W), b_mask[k]), b_byte[k]);
                    h |= V::mask(V::and_(ea, eb)) << (v * W);
                }
                hits[k] = h;
                any |= h;
            }
            std::uint64_t table_hits = 0;
            if (table) {
                for (unsigned i = 0; i < 64; ++i) {
                    std::uint32_t w;  // four bytes: the block's room holds one more when the table is on
                    __builtin_memcpy(&w, t + i, 4);
                    const std::uint32_t h = prefix_hash_word(w);
                    table_hits |= ((table[h >> 6] >> (h & 63)) & 1) << i;
                }
                any |= table_hits;
            }
            while (any != 0) {
                const unsigned i = static_cast<unsigned>(__builtin_ctzll(any));
                any &= any - 1;
                std::uint64_t patterns = (table_hits >> i) & 1 ? plan.prefix_members[prefix_hash(t + i)] : 0;
                for (std::size_t k = 0; k < nb; ++k) {
                    if ((hits[k] >> i) & 1) patterns |= buckets[k].members;
                }
                if (!multi_emit(plan, data, size, x + i, offset, patterns, out, capacity, n)) return {n, x + i};
            }
            x += 64;
        }
    }
#endif
    for (; x < end; ++x) {
        std::uint64_t patterns = table && size - x >= 3 ? plan.prefix_members[prefix_hash(data + x)] : 0;
        for (std::size_t k = 0; k < nb; ++k) {
            const MultiPlan::Bucket& b = buckets[k];
            if (size - x < b.reach) continue;
            if (static_cast<std::uint8_t>(data[x + b.a_at] | b.a_mask) != b.a_byte) continue;
            if (static_cast<std::uint8_t>(data[x + b.b_at] | b.b_mask) != b.b_byte) continue;
            patterns |= b.members;
        }
        if (patterns != 0 && !multi_emit(plan, data, size, x, offset, patterns, out, capacity, n)) return {n, x};
    }
    return {n, end};
}

}  // namespace
}  // namespace tw::detail
