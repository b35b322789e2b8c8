// The multi-pattern matcher: every variant, piece by piece and call by call,
// against the scalar variant, and the scalar variant against the obvious
// loop, over seeded random pattern sets and texts; then the refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "matcher/multi_match.h"
#include "matcher_test_support.h"

namespace tw {
inline std::ostream& operator<<(std::ostream& os, const MultiOccurrence& o) {
    return os << "{" << o.offset << ", pattern " << o.pattern << "}";
}
}  // namespace tw

namespace tw::test {
namespace {

// Every occurrence, position by position, pattern by pattern.
std::vector<MultiOccurrence> reference(const std::vector<MultiPattern>& pats, const std::vector<std::uint8_t>& t) {
    std::vector<MultiOccurrence> out;
    for (std::size_t x = 0; x < t.size(); ++x) {
        for (std::uint32_t i = 0; i < pats.size(); ++i) {
            const MultiPattern& p = pats[i];
            bool match = x + p.bytes.size() <= t.size();
            for (std::size_t j = 0; j < p.bytes.size() && match; ++j) {
                const std::uint8_t b = p.bytes[j];
                const bool letter = static_cast<std::uint8_t>((b | 0x20) - 'a') < 26;
                if (p.wildcard && b == p.wild) continue;
                match = !p.fold.empty() && p.fold[j] != 0 && letter ? (t[x + j] | 0x20) == (b | 0x20) : t[x + j] == b;
            }
            if (match) out.push_back({x, i});
        }
    }
    return out;
}

const std::uint8_t kAlphabet[] = {'a', 'a', 'b', 'B', 'c', '?', 0x00, 0x20, 0x80, 0xFF};

struct Case {
    std::vector<MultiPattern> pats;
    std::vector<std::uint8_t> text;
};

Case make_case(std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    Case c;
    const std::size_t count = pick(4) == 0 ? 1 + pick(64) : 1 + pick(6);
    const std::size_t letters = pick(2) == 0 ? 3 : sizeof kAlphabet;
    while (c.pats.size() < count) {
        MultiPattern p;
        if (!c.pats.empty() && pick(3) == 0) {
            p = c.pats[pick(c.pats.size())];  // a duplicate, a prefix or an extension of another
            p.bytes.resize(std::max<std::size_t>(1, pick(2) ? pick(p.bytes.size() + 1) : p.bytes.size() + pick(5)),
                           kAlphabet[pick(letters)]);
            if (!p.fold.empty()) p.fold.resize(p.bytes.size(), 0x20);
        } else {
            p.bytes.resize(1 + (pick(2) ? pick(4) : pick(pick(4) ? 40 : 90)));
            for (auto& b : p.bytes) b = kAlphabet[pick(letters)];
            p.wildcard = pick(2) == 0;
            p.wild = pick(2) ? '?' : 0x00;
            if (pick(2) == 0) {
                p.fold.resize(p.bytes.size());
                for (auto& f : p.fold) f = pick(4) == 0 ? 0 : 0x20;
            }
        }
        if (!p.wildcard || std::any_of(p.bytes.begin(), p.bytes.end(), [&](std::uint8_t b) { return b != p.wild; }))
            c.pats.push_back(p);
    }
    c.text.resize(pick(3) == 0 ? pick(80) : pick(3000));
    for (auto& b : c.text) b = kAlphabet[pick(letters)];
    // Planted occurrences: any byte under a wildcard, capitals where folded.
    for (std::size_t k = pick(20); k > 0; --k) {
        const MultiPattern& p = c.pats[pick(c.pats.size())];
        if (p.bytes.size() > c.text.size()) continue;
        const std::size_t at = pick(c.text.size() - p.bytes.size() + 1);
        for (std::size_t j = 0; j < p.bytes.size(); ++j) {
            std::uint8_t b = p.bytes[j];
            if (p.wildcard && b == p.wild) b = static_cast<std::uint8_t>(rng());
            const bool letter = static_cast<std::uint8_t>((b | 0x20) - 'a') < 26;
            if (!p.fold.empty() && p.fold[j] != 0 && letter && pick(2)) b ^= 0x20;
            c.text[at + j] = b;
        }
    }
    return c;
}

struct Call {
    std::size_t count, next;
    std::vector<MultiOccurrence> found;
    bool operator==(const Call&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Call& c) {
    os << "{count " << c.count << " next " << c.next;
    for (const MultiOccurrence& o : c.found) os << " " << o;
    return os << "}";
}

// Scans the text in pieces of random sizes, carrying max_length() - 1 bytes
// over, each piece ending at an inaccessible page, with a small occurrence
// buffer now and then; `all` gathers the occurrences.
std::vector<Call> run(const MultiMatcher& mm, const Case& c, std::uint64_t seed, Isa isa,
                      std::vector<MultiOccurrence>& all) {
    IsaScope scope(isa);
    std::mt19937_64 rng(seed);
    const std::size_t keep = mm.max_length() - 1;
    const std::size_t capacity = mm.pattern_count() + (rng() % 2 ? rng() % 4 : 10000);
    std::vector<MultiOccurrence> out(capacity);
    std::vector<Call> calls;
    std::size_t pos = 0, base = 0;  // bytes read so far; file offset of the buffer's first byte
    do {
        const std::size_t piece = rng() % 3 == 0 ? c.text.size() : 1 + rng() % 300;
        pos = std::min(c.text.size(), pos + piece);
        const std::size_t size = pos - base;
        GuardedBytes buf(size);
        std::copy(c.text.begin() + static_cast<std::ptrdiff_t>(base), c.text.begin() + static_cast<std::ptrdiff_t>(pos),
                  buf.data());
        const std::size_t end = pos == c.text.size() ? size : size - std::min(size, keep);
        for (std::size_t begin = 0;;) {
            const MultiScanResult r = mm.scan(buf.data(), size, begin, end, base, out.data(), capacity);
            calls.push_back({r.count, r.next, {out.begin(), out.begin() + static_cast<std::ptrdiff_t>(r.count)}});
            all.insert(all.end(), out.begin(), out.begin() + static_cast<std::ptrdiff_t>(r.count));
            if (r.next >= end || calls.size() > 100000) break;
            begin = r.next;
        }
        base += end;
    } while (pos < c.text.size());
    return calls;
}

TEST(MultiMatch, EveryVariantAgainstTheReference) {
    for (std::uint64_t seed = 1; seed <= 1500 && !::testing::Test::HasFailure(); ++seed) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        const Case c = make_case(seed);
        MultiMatcher mm;
        ASSERT_EQ(mm.set_patterns(c.pats), MultiError::None);
        std::vector<MultiOccurrence> found;
        const std::vector<Call> ref = run(mm, c, seed, Isa::Scalar, found);
        EXPECT_EQ(found, reference(c.pats, c.text));
        for (Isa isa : supported_isas()) {
            std::vector<MultiOccurrence> ignored;
            if (isa != Isa::Scalar) {
                EXPECT_EQ(run(mm, c, seed, isa, ignored), ref) << matcher_isa_name(isa);
            }
        }
    }
}

// Pattern sets over every text length up to 300 ending at an inaccessible
// page: many three-byte patterns (the hashed prefix table) and one byte; a
// few patterns whose rarest bytes lie at their start, their end and 63 bytes
// in, and bytes 4 apart (the shuffle filter's windows, read up to the next
// block's end).
TEST(MultiMatch, NoAccessBeyondTheBuffer) {
    std::vector<MultiPattern> table{{{'c'}, {}, false, '?'}};
    for (std::uint8_t i = 0; i < 27; ++i) {
        table.push_back({{std::uint8_t('a' + i % 3), std::uint8_t('a' + i / 3 % 3), std::uint8_t('a' + i / 9)}, {}, false, '?'});
    }
    std::vector<std::uint8_t> late(70, 'a');
    late[63] = 'd';
    late[64] = 'c';
    const std::vector<MultiPattern> windows{
        {{'d', 'c'}, {}, false, '?'}, {{'a', 'b', 'd'}, {}, false, '?'}, {late, {}, false, '?'}, {{'c'}, {}, false, '?'}};
    const std::vector<MultiPattern> spaced{{{'d', 0, 0, 0, 'c'}, {}, false, '?'}, {{'b', 0, 0, 0, 'd'}, {}, false, '?'}};
    for (const auto& pats : {table, windows, spaced}) {
        MultiMatcher mm;
        ASSERT_EQ(mm.set_patterns(pats), MultiError::None);
        std::vector<MultiOccurrence> out(4096);
        for (Isa isa : supported_isas()) {
            IsaScope scope(isa);
            for (std::size_t n = 0; n <= 300; ++n) {
                std::vector<std::uint8_t> t(n);
                for (std::size_t i = 0; i < n; ++i) t[i] = static_cast<std::uint8_t>('a' + (i * 7 + n) % 4);
                GuardedBytes buf(n);
                std::copy(t.begin(), t.end(), buf.data());
                const MultiScanResult r = mm.scan(buf.data(), n, 0, n, 0, out.data(), out.size());
                EXPECT_EQ(std::vector<MultiOccurrence>(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(r.count)),
                          reference(pats, t)) << matcher_isa_name(isa) << " n " << n << " patterns " << pats.size();
            }
        }
    }
}

TEST(MultiMatch, RefusesBadPatternLists) {
    const MultiPattern ok{{'a', 'b'}, {}, false, '?'};
    const struct {
        std::vector<MultiPattern> pats;
        MultiError want;
    } rows[] = {
        {{}, MultiError::NoPattern},
        {std::vector<MultiPattern>(65, ok), MultiError::TooMany},
        {{ok, MultiPattern{{}, {}, false, '?'}}, MultiError::EmptyPattern},
        {{MultiPattern{{'?', '?'}, {}, true, '?'}}, MultiError::OnlyWildcard},
        {{MultiPattern{{'a', 'b'}, {0x20}, false, '?'}}, MultiError::FoldSize},
        {std::vector<MultiPattern>(64, MultiPattern{{'?', 'x', '?'}, {}, true, '?'}), MultiError::None},
    };
    for (const auto& row : rows) {
        MultiMatcher mm;
        EXPECT_EQ(mm.set_patterns(row.pats), row.want) << row.pats.size();
        EXPECT_EQ(mm.pattern_count(), row.want == MultiError::None ? row.pats.size() : 0);
    }
}

}  // namespace
}  // namespace tw::test
