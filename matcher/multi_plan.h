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
};

using MultiScanFn = MultiScanResult (*)(const MultiPlan&, const std::uint8_t* data, std::size_t size,
                                        std::size_t begin, std::size_t end, std::uint64_t offset,
                                        MultiOccurrence* out, std::size_t capacity);

extern const MultiScanFn kMultiScanScalar;
#if defined(__x86_64__)
extern const MultiScanFn kMultiScanSse2;
extern const MultiScanFn kMultiScanAvx2;
#endif

}  // namespace tw::detail
