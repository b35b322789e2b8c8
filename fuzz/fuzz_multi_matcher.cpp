// The multi-pattern matcher against a plain loop: for any patterns (with
// their wildcards and fold masks), text, piece size and output capacity,
// every instruction-set variant scanning the text piece by piece (carrying
// the longest pattern's length less one byte) reports exactly the
// occurrences that comparing every pattern at every position finds, in
// offset order and then pattern order, each once, and never reads or
// writes outside its buffers.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "matcher/matcher_test_support.h"
#include "matcher/multi_match.h"

using namespace tw;
using namespace tw::test;

namespace {

bool letter(std::uint8_t b) { return (b | 0x20) >= 'a' && (b | 0x20) <= 'z'; }

bool matches_at(const MultiPattern& p, const std::uint8_t* text, std::size_t n, std::size_t at) {
    if (p.bytes.size() > n - at) return false;
    for (std::size_t j = 0; j < p.bytes.size(); ++j) {
        const std::uint8_t b = p.bytes[j], t = text[at + j];
        if (p.wildcard && b == p.wild) continue;
        const bool folds = !p.fold.empty() && p.fold[j] == 0x20 && letter(b);
        if (folds ? (t | 0x20) != (b | 0x20) : t != b) return false;
    }
    return true;
}

}  // namespace

// Input: pattern count, piece size, capacity extra, wildcard byte; then per
// pattern a length byte, a flag byte (wildcard, fold, fold positions) and
// its bytes; the rest is the text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const std::size_t count = 1 + data[0] % kMaxMultiPatterns;
    const std::size_t piece = 1 + data[1] % 200;
    const std::size_t extra = data[2] % 8;
    const std::uint8_t wild = data[3];
    std::size_t at = 4;
    std::vector<MultiPattern> patterns;
    for (std::size_t k = 0; k < count; ++k) {
        if (at + 2 > size) return 0;
        const std::size_t m = 1 + data[at] % 40;
        const std::uint8_t flags = data[at + 1];
        at += 2;
        if (at + m > size) return 0;
        MultiPattern p;
        p.bytes.assign(data + at, data + at + m);
        at += m;
        p.wildcard = (flags & 1) != 0;
        p.wild = wild;
        if ((flags & 2) != 0) {
            p.fold.resize(m);
            for (std::size_t j = 0; j < m; ++j) p.fold[j] = ((flags >> (2 + j % 6)) & 1) != 0 ? 0x20 : 0;
        }
        patterns.push_back(std::move(p));
    }
    const std::uint8_t* text = data + at;
    const std::size_t n = size - at;

    std::vector<MultiOccurrence> want;
    for (std::size_t pos = 0; pos < n; ++pos)
        for (std::size_t k = 0; k < patterns.size(); ++k)
            if (matches_at(patterns[k], text, n, pos)) want.push_back({pos, static_cast<std::uint32_t>(k)});

    for (Isa isa : supported_isas()) {
        IsaScope scope(isa);
        MultiMatcher matcher;
        if (matcher.set_patterns(patterns) != MultiError::None) return 0;
        const std::size_t carry = matcher.max_length() - 1;
        const std::size_t capacity = matcher.pattern_count() + extra;
        std::vector<MultiOccurrence> got;
        // Piece by piece: the start positions [base, base + piece), in a
        // buffer holding the bytes an occurrence there may reach.
        for (std::size_t base = 0; base < n; base += piece) {
            const std::size_t len = std::min(n - base, piece + carry);
            ExactBytes buffer(text + base, len);
            ExactBytes out(capacity * sizeof(MultiOccurrence));
            auto* found = reinterpret_cast<MultiOccurrence*>(out.data());
            const std::size_t end = std::min(piece, len);
            for (std::size_t from = 0; from < end;) {
                const MultiScanResult r = matcher.scan(buffer.data(), len, from, end, base, found, capacity);
                if (r.count > capacity || r.next > end || (r.count == 0 && r.next <= from)) std::abort();
                got.insert(got.end(), found, found + r.count);
                from = r.next;
            }
        }
        if (got != want) std::abort();
    }
    return 0;
}
