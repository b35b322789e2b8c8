// The multi-pattern matcher: up to 64 byte patterns, each with its own
// optional wildcard byte and case-fold mask, found in one pass over a buffer.
// Every occurrence of every pattern is reported, overlapping ones included,
// in offset order and, at one offset, in pattern order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace tw {

inline constexpr std::size_t kMaxMultiPatterns = 64;

struct MultiPattern {
    std::vector<std::uint8_t> bytes;
    // Empty, or one byte per pattern byte: 0x20 where that byte folds (an
    // ASCII letter as a character of the pattern's encoding), 0 elsewhere.
    // A folded position matches the text byte ORed with 0x20 against the
    // lowered pattern byte; a mark on a byte that is no letter is ignored.
    std::vector<std::uint8_t> fold;
    // When set, every pattern byte equal to `wild` (as given, before any
    // folding) matches any text byte.
    bool wildcard = false;
    std::uint8_t wild = '?';
};

struct MultiOccurrence {
    std::uint64_t offset;   // file offset of the occurrence's first byte
    std::uint32_t pattern;  // index of the pattern in the list given
    bool operator==(const MultiOccurrence&) const = default;
};

struct MultiScanResult {
    std::size_t count;  // occurrences written
    std::size_t next;   // first start position not examined (end when done)
};

enum class MultiError {
    None,
    NoPattern,     // the list is empty
    TooMany,       // more than kMaxMultiPatterns patterns
    EmptyPattern,  // a pattern without bytes
    OnlyWildcard,  // a pattern whose every byte is the wildcard
    FoldSize,      // a fold mask neither empty nor as long as its pattern
};

namespace detail {
struct MultiPlan;
}

class MultiMatcher {
public:
    MultiMatcher();
    ~MultiMatcher();
    MultiMatcher(MultiMatcher&&) noexcept;
    MultiMatcher& operator=(MultiMatcher&&) noexcept;

    // Prepares the patterns. On an error the matcher keeps no pattern.
    MultiError set_patterns(const std::vector<MultiPattern>& patterns);

    std::size_t pattern_count() const;
    // The longest pattern's length: a caller scanning piece by piece
    // carries the last max_length() - 1 bytes of a piece over to the next.
    std::size_t max_length() const;

    // Scans data[0 .. size), whose first byte is at file offset `offset`,
    // for occurrences that start at a position in [begin, end) and lie
    // wholly inside the buffer; writes them to out[0 ..) in order. The scan
    // stops before a position whose occurrences do not all fit in what
    // is left of `capacity`, which must be at least pattern_count(): call
    // again with begin = next. Uses the instruction set of the
    // single-pattern matcher (matcher_isa()).
    MultiScanResult scan(const std::uint8_t* data, std::size_t size, std::size_t begin, std::size_t end,
                         std::uint64_t offset, MultiOccurrence* out, std::size_t capacity) const;

private:
    std::unique_ptr<detail::MultiPlan> plan_;
};

}  // namespace tw
