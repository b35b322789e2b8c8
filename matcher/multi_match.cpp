// Preparation of a multi-pattern search: the patterns as (byte, mask) pairs
// and the prefilter's buckets; the scan runs the kernel of the instruction
// set the single-pattern matcher uses.
#include "matcher/multi_match.h"

#include <utility>

#include "matcher/byte_ranks.h"
#include "matcher/isa.h"
#include "matcher/multi_plan.h"

namespace tw {

MultiMatcher::MultiMatcher() = default;
MultiMatcher::~MultiMatcher() = default;
MultiMatcher::MultiMatcher(MultiMatcher&&) noexcept = default;
MultiMatcher& MultiMatcher::operator=(MultiMatcher&&) noexcept = default;

MultiError MultiMatcher::set_patterns(const std::vector<MultiPattern>& patterns) {
    plan_.reset();
    if (patterns.empty()) return MultiError::NoPattern;
    if (patterns.size() > kMaxMultiPatterns) return MultiError::TooMany;
    auto plan = std::make_unique<detail::MultiPlan>();
    std::vector<detail::MultiPlan::Bucket> pending;  // one per pattern
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        const MultiPattern& pat = patterns[i];
        const std::size_t m = pat.bytes.size();
        if (m == 0) return MultiError::EmptyPattern;
        if (!pat.fold.empty() && pat.fold.size() != m) return MultiError::FoldSize;
        const auto start = static_cast<std::uint32_t>(plan->bytes.size());
        // The two rarest significant positions, rarest first, ties to the earliest.
        std::size_t key[2] = {m, m};
        for (std::size_t j = 0; j < m; ++j) {
            std::uint8_t b = pat.bytes[j];
            std::uint8_t f = 0;
            if (pat.wildcard && b == pat.wild) {
                b = 0xFF;
                f = 0xFF;
            } else if (!pat.fold.empty() && pat.fold[j] != 0 && static_cast<std::uint8_t>((b | 0x20) - 'a') < 26) {
                f = 0x20;
                b |= 0x20;
            }
            plan->bytes.push_back(b);
            plan->masks.push_back(f);
            if (f == 0xFF) continue;
            const auto rank = [&](std::size_t at) { return detail::kByteRanks.rank[plan->bytes[start + at]]; };
            if (key[0] == m || rank(j) > rank(key[0])) {
                key[1] = key[0];
                key[0] = j;
            } else if (key[1] == m || rank(j) > rank(key[1])) {
                key[1] = j;
            }
        }
        if (key[0] == m) return MultiError::OnlyWildcard;
        if (key[1] == m) key[1] = key[0];
        plan->start.push_back(start);
        plan->length.push_back(static_cast<std::uint32_t>(m));
        if (m > plan->max_length) plan->max_length = m;

        detail::MultiPlan::Bucket b{};
        b.a_at = static_cast<std::uint32_t>(key[0]);
        b.b_at = static_cast<std::uint32_t>(key[1]);
        b.a_byte = plan->bytes[start + key[0]];
        b.a_mask = plan->masks[start + key[0]];
        b.b_byte = plan->bytes[start + key[1]];
        b.b_mask = plan->masks[start + key[1]];
        b.reach = 1 + (b.a_at > b.b_at ? b.a_at : b.b_at);
        b.members = std::uint64_t{1} << i;
        pending.push_back(b);
    }
    // The patterns the prefix table takes, when there are enough of them.
    std::uint64_t in_table = 0;
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        const std::uint8_t* f = plan->masks.data() + plan->start[i];
        if (plan->length[i] >= 3 && f[0] != 0xFF && f[1] != 0xFF && f[2] != 0xFF) in_table |= std::uint64_t{1} << i;
    }
    if (static_cast<std::size_t>(__builtin_popcountll(in_table)) < detail::kPrefixTableFrom) in_table = 0;
    if (in_table != 0) {
        plan->prefix_bits.assign(65536 / 64, 0);
        plan->prefix_members.assign(65536, 0);
    }
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        const std::uint64_t bit = std::uint64_t{1} << i;
        if ((in_table & bit) != 0) {
            // Every case variant of a folded letter among the first three bytes.
            const std::uint8_t* p = plan->bytes.data() + plan->start[i];
            const std::uint8_t* f = plan->masks.data() + plan->start[i];
            for (unsigned v = 0; v < 8; ++v) {
                std::uint8_t w[3];
                for (unsigned j = 0; j < 3; ++j) w[j] = (v >> j) & 1 ? static_cast<std::uint8_t>(p[j] & ~f[j]) : p[j];
                const std::uint32_t h = detail::prefix_hash(w);
                plan->prefix_bits[h >> 6] |= std::uint64_t{1} << (h & 63);
                plan->prefix_members[h] |= bit;
            }
            continue;
        }
        const detail::MultiPlan::Bucket& b = pending[i];
        bool merged = false;
        for (detail::MultiPlan::Bucket& o : plan->buckets) {
            if (o.a_at == b.a_at && o.b_at == b.b_at && o.a_byte == b.a_byte && o.a_mask == b.a_mask &&
                o.b_byte == b.b_byte && o.b_mask == b.b_mask) {
                o.members |= b.members;
                merged = true;
                break;
            }
        }
        if (!merged) plan->buckets.push_back(b);
    }
    plan_ = std::move(plan);
    return MultiError::None;
}

std::size_t MultiMatcher::pattern_count() const {
    return plan_ ? plan_->length.size() : 0;
}

std::size_t MultiMatcher::max_length() const {
    return plan_ ? plan_->max_length : 0;
}

MultiScanResult MultiMatcher::scan(const std::uint8_t* data, std::size_t size, std::size_t begin, std::size_t end,
                                   std::uint64_t offset, MultiOccurrence* out, std::size_t capacity) const {
    if (!plan_ || capacity < plan_->length.size()) return {0, begin};
    detail::MultiScanFn fn = detail::kMultiScanScalar;
#if defined(__x86_64__)
    switch (matcher_isa()) {
        case Isa::Avx2:
            fn = detail::kMultiScanAvx2;
            break;
        case Isa::Sse2:
            fn = detail::kMultiScanSse2;
            break;
        default:
            break;
    }
#endif
    return fn(*plan_, data, size, begin, end, offset, out, capacity);
}

}  // namespace tw
