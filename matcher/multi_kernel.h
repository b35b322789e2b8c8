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
// false, writing nothing, when they might not all fit.
TW_KERNEL_TARGET inline bool multi_emit(const MultiPlan& plan, const std::uint8_t* data, std::size_t size,
                                        std::size_t y, std::uint64_t offset, std::uint64_t patterns,
                                        MultiOccurrence* out, std::size_t capacity, std::size_t& n) {
    if (capacity - n < static_cast<std::size_t>(__builtin_popcountll(patterns))) return false;
    while (patterns != 0) {
        const auto i = static_cast<std::uint32_t>(__builtin_ctzll(patterns));
        patterns &= patterns - 1;
        if (multi_matches(plan, i, data, size, y)) out[n++] = {offset + y, i};
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
