// Preparation of a multi-pattern search: the patterns as (byte, mask) pairs
// and the prefilter's buckets; the scan runs the kernel of the instruction
// set the single-pattern matcher uses.
#include "matcher/multi_match.h"

#include <algorithm>
#include <utility>

#include "matcher/byte_ranks.h"
#include "matcher/isa.h"
#include "matcher/multi_plan.h"

namespace tw {
namespace {

// Each pattern's window: K bytes `step` apart (places beyond a short
// pattern pass any byte), the window whose bytes' ranks add up highest,
// starting below 64; the step, 1 to 4, the one with the highest sum over
// all patterns (2 keeps the zero bytes of UTF-16 forms out of the windows).
// Then the classes, each pattern joining the one whose set of passing byte
// strings grows least (an empty class grows by the pattern's own strings, so
// the first eight distinct windows get a class each and equal windows share
// one). Returns false when a class had to take a second distinct window,
// which lets byte strings of neither pass.
bool plan_shuffle_filter(detail::MultiPlan& plan, unsigned K) {
    using Plan = detail::MultiPlan;
    const std::size_t count = plan.length.size();
    std::uint16_t low[8][Plan::kMaxWindow] = {}, high[8][Plan::kMaxWindow] = {};  // nibble sets per class and place
    bool exact = true;
    plan.window_size = K;
    for (unsigned c = 0; c < 8; ++c) plan.class_members[c] = 0;
    for (unsigned k = 0; k < Plan::kMaxWindow; ++k) {
        for (unsigned v = 0; v < 16; ++v) plan.window_low[k][v] = plan.window_high[k][v] = 0;
    }
    const auto size_of = [K](const std::uint16_t* lo, const std::uint16_t* hi) {
        std::uint64_t n = 1;
        for (unsigned k = 0; k < K; ++k) n *= static_cast<std::uint64_t>(__builtin_popcount(lo[k]) * __builtin_popcount(hi[k]));
        return n;
    };
    // The best window of pattern i with that step: its score, and where.
    const auto best_window = [&](std::size_t i, std::uint32_t step, std::uint32_t& where) {
        const std::uint8_t* p = plan.bytes.data() + plan.start[i];
        const std::uint8_t* f = plan.masks.data() + plan.start[i];
        const std::uint32_t m = plan.length[i], span = (K - 1) * step + 1;
        const std::uint32_t last = m > span ? std::min<std::uint32_t>(m - span, 63) : 0;
        unsigned best = 0;
        for (std::uint32_t at = 0; at <= last; ++at) {
            unsigned score = 0;
            for (std::uint32_t j = at; j < at + span && j < m; j += step) score += f[j] == 0xFF ? 0 : detail::kByteRanks.rank[p[j]];
            if (at == 0 || score > best) {
                best = score;
                where = at;
            }
        }
        return best;
    };
    std::uint64_t best_total = 0;
    for (std::uint32_t step = 1; step <= 4; ++step) {
        std::uint64_t total = 0;
        std::uint32_t where = 0;
        for (std::size_t i = 0; i < count; ++i) total += best_window(i, step, where);
        if (step == 1 || total > best_total) {
            best_total = total;
            plan.window_step = step;
        }
    }
    plan.window_at.assign(count, 0);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = plan.bytes.data() + plan.start[i];
        const std::uint8_t* f = plan.masks.data() + plan.start[i];
        const std::uint32_t m = plan.length[i];
        best_window(i, plan.window_step, plan.window_at[i]);
        // The nibbles that pass at each place: a folded letter either case,
        // a wildcard or a place beyond the pattern any byte.
        std::uint16_t lo[Plan::kMaxWindow], hi[Plan::kMaxWindow];
        for (unsigned k = 0; k < K; ++k) {
            const std::uint32_t j = plan.window_at[i] + k * plan.window_step;
            if (j >= m || f[j] == 0xFF) {
                lo[k] = hi[k] = 0xFFFF;
                continue;
            }
            lo[k] = static_cast<std::uint16_t>(1u << (p[j] & 15));
            hi[k] = static_cast<std::uint16_t>(1u << (p[j] >> 4) | 1u << ((p[j] & ~f[j] & 0xFF) >> 4));
        }
        unsigned pick = 0;
        std::uint64_t least = ~std::uint64_t{0};
        for (unsigned c = 0; c < 8; ++c) {
            std::uint16_t l2[Plan::kMaxWindow], h2[Plan::kMaxWindow];
            for (unsigned k = 0; k < K; ++k) {
                l2[k] = low[c][k] | lo[k];
                h2[k] = high[c][k] | hi[k];
            }
            const std::uint64_t before = plan.class_members[c] ? size_of(low[c], high[c]) : 0;
            // Ties go to an empty class.
            const std::uint64_t growth = (size_of(l2, h2) - before) * 2 + (plan.class_members[c] != 0);
            if (growth < least) {
                least = growth;
                pick = c;
            }
        }
        if (plan.class_members[pick] != 0 && least > 1) exact = false;  // joined a class of other strings
        for (unsigned k = 0; k < K; ++k) {
            low[pick][k] |= lo[k];
            high[pick][k] |= hi[k];
        }
        plan.class_members[pick] |= std::uint64_t{1} << i;
    }
    for (unsigned c = 0; c < 8; ++c) {
        for (unsigned k = 0; k < K; ++k) {
            for (unsigned v = 0; v < 16; ++v) {
                if ((low[c][k] >> v) & 1) plan.window_low[k][v] |= static_cast<std::uint8_t>(1u << c);
                if ((high[c][k] >> v) & 1) plan.window_high[k][v] |= static_cast<std::uint8_t>(1u << c);
            }
        }
    }
    const std::uint32_t reach = *std::max_element(plan.window_at.begin(), plan.window_at.end());
    plan.window_carry = (std::uint64_t{1} << reach) - 1;  // reach is below 64
    plan.shuffle_filter = true;
    return exact;
}

}  // namespace

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
    if (in_table == 0 && patterns.size() >= detail::kShuffleFilterFrom) {
        // Two-byte windows while each class holds one window, else three.
        if (!plan_shuffle_filter(*plan, 2)) plan_shuffle_filter(*plan, 3);
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
