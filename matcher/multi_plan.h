// Internal: the prepared form of a multi-pattern search and the scanning
// kernel's instantiations, one per instruction set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "matcher/multi_match.h"

namespace tw::detail {

struct MultiPlan {
    // Every pattern's bytes, then its masks, one after the other. A text
    // byte t matches pattern byte p under mask f when (t | f) == p: f is 0
    // for an exact byte, 0x20 for a folded letter (p lowered), and 0xFF
    // for the wildcard (p is then 0xFF too), so verification never branches.
    std::vector<std::uint8_t> bytes, masks;
    std::vector<std::uint32_t> start, length;
    std::size_t max_length = 0;

    // The prefilter: each pattern's two rarest significant positions a and
    // b (the same one for a pattern with a single significant byte), as a
    // key; patterns with the same key share one bucket.
    struct Bucket {
        std::uint32_t a_at, b_at;
        std::uint8_t a_byte, a_mask, b_byte, b_mask;
        std::uint32_t reach;    // 1 + the larger of a_at and b_at
        std::uint64_t members;  // one bit per pattern
    };
    std::vector<Bucket> buckets;

    // With many patterns the buckets' tests, one set per bucket, would cost
    // more than a scan per pattern: the patterns whose first three bytes are
    // significant go instead to a table indexed by a hash of the text's three
    // bytes at the position (every case variant of the pattern's first three
    // bytes inserted), whose cost does not grow with the number of patterns.
    // Empty when unused; a bit per hash, and the patterns per hash.
    std::vector<std::uint64_t> prefix_bits, prefix_members;

    // The shuffle filter, used instead of the buckets' tests by the variants
    // that have a byte shuffle, when the prefix table is off. Each pattern
    // has a window of window_size bytes window_step apart from window_at[i]
    // (its rarest, below 64); the patterns are spread over eight classes,
    // and the text byte at window place k (position q + k * window_step)
    // passes for the classes whose bits are set in both
    // window_low[k][its low nibble] and window_high[k][its high nibble].
    // Where all the places pass for a class at position q, each member
    // i of the class is a candidate at q - window_at[i].
    static constexpr unsigned kMaxWindow = 3;
    bool shuffle_filter = false;
    unsigned window_size = 2;  // the places of a window, 2 or kMaxWindow
    std::uint32_t window_step = 1;
    alignas(16) std::uint8_t window_low[kMaxWindow][16] = {};
    alignas(16) std::uint8_t window_high[kMaxWindow][16] = {};
    std::uint64_t class_members[8] = {};
    std::vector<std::uint32_t> window_at;
    std::uint64_t window_carry = 0;  // a bit per window position below the largest window_at
};

inline constexpr std::size_t kPrefixTableFrom = 20;  // table-eligible patterns that switch it on
inline constexpr std::size_t kShuffleFilterFrom = 2;  // patterns that switch the shuffle filter on

// The hash of three bytes b0 | b1 << 8 | b2 << 16 (higher bits ignored).
inline std::uint32_t prefix_hash_word(std::uint32_t w) {
    return ((w & 0xFFFFFF) * 0x9E3779B1u) >> 16;
}

inline std::uint32_t prefix_hash(const std::uint8_t* t) {
    return prefix_hash_word(t[0] | std::uint32_t{t[1]} << 8 | std::uint32_t{t[2]} << 16);
}

using MultiScanFn = MultiScanResult (*)(const MultiPlan&, const std::uint8_t* data, std::size_t size,
                                        std::size_t begin, std::size_t end, std::uint64_t offset,
                                        MultiOccurrence* out, std::size_t capacity);

extern const MultiScanFn kMultiScanScalar;
#if defined(__x86_64__)
extern const MultiScanFn kMultiScanSse2;
extern const MultiScanFn kMultiScanAvx2;
#endif

}  // namespace tw::detail
