// Hand-made cases of the routine selection, the scanning routines and the
// lower-casing (the last two for every variant this processor supports), and
// the choice of the variant.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "matcher_test_support.h"

// The block filter's choice of bytes is internal to the kernel.
#include "matcher/routine_set.h"
#define TW_KERNEL_TARGET
#include "matcher/scan_kernel.h"

namespace tw::test {
namespace {

// Pattern shapes and line modes are covered by the randomized comparison;
// here the refusals, the bytes picked and the lowering (a case-insensitive
// search lowers the pattern in place before looking for the wildcard).
struct SelectionCase {
    std::string pattern;
    Options opt;
    std::uint64_t result, index, char_1, char_2, nb_wild_seq;
};

const Options kWild{.wildcard = true};

const SelectionCase kSelections[] = {
    {"", {}, 10, 0, 0, 0, 0},
    {"?ab", kWild, 10, 0, 0, 0, 0},
    {"ab?", kWild, 10, 0, 0, 0, 0},
    {"?ab", {}, 0, 5, '?', 'a', 0},  // the option off: plain bytes
    {"a?c?e", kWild, 0, 29, 'a', 'c', 1},
    {"\x80\xFF\xFF\x81", {.wildcard = true, .eol = 13, .wild = 0xFF}, 0, 24, 0x80, 0x81, 2},
    // Lowered before the wildcard analysis: 'Q' lowered is no longer the
    // wildcard, a small-letter wildcard still is.
    {"aQBc", {.case_insensitive = true, .wildcard = true, .wild = 'Q'}, 0, 5, 'a', 'q', 0},
    {"AQBC", {.case_insensitive = true, .wildcard = true, .wild = 'q'}, 0, 29, 'a', 'b', 1},
    {"AbC", {.line_nb = true}, 0, 7, 'A', 'b', 0},
};

TEST(InitTwSearch, RefusesOrPicksTheBytesOfThePattern) {
    for (const SelectionCase& c : kSelections) {
        SCOPED_TRACE(c.pattern);
        std::vector<std::uint8_t> p = bytes(c.pattern);
        SearchParam sr{};
        EXPECT_EQ(prepare(sr, p, c.opt), c.result);
        if (c.result != 0) continue;
        EXPECT_EQ((std::vector<std::uint64_t>{sr.ROUTINE_INDEX, sr.CHAR_1, sr.CHAR_2, sr.NB_WILD_SEQ}),
                  (std::vector<std::uint64_t>{c.index, c.char_1, c.char_2, c.nb_wild_seq}));
    }
}

using Records = std::vector<Record>;
using Results = std::vector<std::uint64_t>;

struct ScanCase {
    const char* name;
    std::string pattern, text;
    Options opt;
    std::size_t capacity;  // records
    Records want;          // line 0 without line numbers
    Results results;       // SEARCH_RESULT of each call
    std::uint64_t text_ptr, line_count;  // relative TEXT_PTR and LINE_COUNT at the end
};

const Options kLf{.line_nb = true};
const Options kCr{.line_nb = true, .eol = 13};
const std::uint64_t T = TW_END_TEXT, O = TW_END_OCC, B = TW_END_BOTH;

const ScanCase kScans[] = {
    {"overlapping", "aa", "aaaa", {}, 64, {{0, 0}, {1, 0}, {2, 0}}, {T}, 4, 0},
    {"one byte at the end", "z", std::string(65, '.') + "z", {}, 64, {{65, 0}}, {T}, 67, 0},
    {"lf lines", "ab", "a\nb\nab", kLf, 64, {{4, 2}}, {T}, 6, 2},
    {"pattern starting with eol", "\nx", "x\nx\nx", kLf, 64, {{1, 1}, {3, 2}}, {T}, 5, 2},
    {"eol inside an occurrence", "a\n\nb", "a\n\nb a\n\nb", kLf, 64, {{0, 0}, {5, 2}}, {T}, 7, 2},
    {"cr lines", "x", "\n\r\nx\r\rx", kCr, 64, {{3, 1}, {6, 3}}, {T}, 8, 3},
    {"lf lines ignore cr", "x", "\n\r\nx\r\rx", kLf, 64, {{3, 2}, {6, 2}}, {T}, 8, 2},
    {"eol after the last start position", "abc", "\nabc\n\n", kLf, 64, {{1, 1}}, {T}, 5, 1},
    {"wildcard run", "a??d", "a??d a\r\nd axyd ad axd", kWild, 64, {{0, 0}, {5, 0}, {10, 0}}, {T}, 19, 0},
    {"wildcards after the run", "a?c?e", "abcde a?c?e axcxf abcd", kWild, 64, {{0, 0}, {6, 0}}, {T}, 19, 0},
    {"wildcard after two bytes", "ab?d", "abxd ab?d abd", kWild, 64, {{0, 0}, {5, 0}}, {T}, 11, 0},
    {"wildcard option off", "a?b", "a?b axb ab", {}, 64, {{0, 0}}, {T}, 9, 0},
    {"case-insensitive", "The", "the THE tHe Th\xC9", {.case_insensitive = true}, 64, {{0, 0}, {4, 0}, {8, 0}}, {T},
     14, 0},
    {"high bytes", "\xC3\xA9", std::string("\xC3\xA9t\xC3\xA9\0\xC3\xA9", 8), {}, 64, {{0, 0}, {3, 0}, {6, 0}}, {T},
     8, 0},
    {"nul", std::string("\0\xC3", 2), std::string("\xC3\xA9t\xC3\xA9\0\xC3\xA9", 8), {}, 64, {{5, 0}}, {T}, 8, 0},
    {"one record at a time", "ab", "ab\nab\nxab", kLf, 1, {{0, 0}, {3, 1}, {7, 2}}, {O, O, B}, 8, 2},
    {"full before the end", "ab", "abab..", {}, 2, {{0, 0}, {2, 0}}, {O, T}, 6, 0},
    {"full in a long text", "ab", std::string(40, '\n') + "ab" + std::string(40, '\n') + "ab..", kLf, 1,
     {{40, 40}, {82, 80}}, {O, O, T}, 86, 80},
    {"text shorter than pattern", "\n\n\n\n\n", "\n\n\n\n", kLf, 64, {}, {T}, 1, 0},
};

// The vector block filter tests the rarest significant bytes, never a
// wildcard position (even a rare one), never a 0 of a UTF-16 word while
// another byte serves; the pattern was checked in full unless covered.
template <class S>
std::pair<std::vector<std::uint64_t>, bool> filter_of(const std::string& p, std::uint64_t k, std::uint8_t wild) {
    detail::Inputs in{};
    in.pattern = reinterpret_cast<const std::uint8_t*>(p.data());
    in.m = p.size();
    in.k = k;
    in.wild = wild;
    detail::filter_bytes<S>(in);
    const unsigned n = S::kCompare ? 3 : S::kSecond ? 2 : 1;
    return {std::vector<std::uint64_t>(in.filter_at, in.filter_at + n), in.covered};
}

TEST(BlockFilter, PicksTheRarestSignificantBytes) {
    using Choice = std::pair<std::vector<std::uint64_t>, bool>;
    const std::string utf16("E\0n\0g\0", 6);
    const struct {
        Choice got, want;
    } cases[] = {
        {filter_of<detail::Literal>(utf16, 0, '?'), {{0, 4, 2}, false}},
        {filter_of<detail::Literal>(std::string("\0\0x", 3), 0, '?'), {{2, 0, 1}, true}},
        {filter_of<detail::Literal>("the", 0, '?'), {{1, 0, 2}, true}},
        {filter_of<detail::Literal>(std::string(55, 'e') + "q", 0, '?'), {{55, 0, 1}, false}},
        {filter_of<detail::TwoBytes>("eZ", 0, '?'), {{1, 0}, true}},
        {filter_of<detail::OneByte>("e", 0, '?'), {{0}, true}},
        {filter_of<detail::RunOnly>("e??z", 2, '?'), {{3, 0}, true}},
        {filter_of<detail::WildTail>("ea?ze", 0, '?'), {{3, 1, 0}, false}},
        {filter_of<detail::WildTail>("ab\x80\x80" "c", 0, 0x80), {{1, 4, 0}, true}},
        {filter_of<detail::RunThenMore>("e\x80\x80" "ex\x80" "n", 2, 0x80), {{4, 6, 0}, false}},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(ScanCases, RecordsResultsAndFinalStateInEveryVariant) {
    for (Isa isa : supported_isas()) {
        SCOPED_TRACE(matcher_isa_name(isa));
        IsaScope scope(isa);
        for (const ScanCase& c : kScans) {
            SCOPED_TRACE(c.name);
            std::vector<std::uint8_t> pattern = bytes(c.pattern);
            SearchParam sr{};
            ASSERT_EQ(prepare(sr, pattern, c.opt), 0u);
            GuardedBytes text(c.text.size());
            std::copy(c.text.begin(), c.text.end(), text.data());
            if (c.opt.case_insensitive) make_lower_case_asm(c.text.size(), text.data());
            std::vector<std::uint64_t> occ(c.capacity * 2);
            set_text(sr, text.data(), c.text.size());
            set_occ(sr, occ.data(), c.capacity * (c.opt.line_nb ? 16 : 8));
            Results results;
            EXPECT_EQ(scan_all(sr, &results), c.want);
            EXPECT_EQ(std::tuple(results, sr.TEXT_PTR - sr.TEXT_START, sr.LINE_COUNT),
                      std::tuple(c.results, c.text_ptr, c.line_count));
        }
    }
}

std::uint8_t lowered(std::uint8_t b) {
    return b >= 'A' && b <= 'Z' ? static_cast<std::uint8_t>(b | 0x20) : b;
}

// Every byte value passes through every lane: the range holds the 256 values
// rotated by `shift`, at start alignment 0..15 and length 0..48; the 16
// capitals on each side must stay.
TEST(LowerCase, OnlyCapitalsChangeAtEveryAlignmentAndLength) {
    for (Isa isa : supported_isas()) {
        SCOPED_TRACE(matcher_isa_name(isa));
        IsaScope scope(isa);
        alignas(64) std::uint8_t buf[16 + 16 + 48 + 16];
        for (std::size_t align = 0; align < 16; ++align) {
            for (std::size_t len = 0; len <= 48; ++len) {
                for (std::size_t shift = 0; shift < 256; shift += len == 0 ? 256 : len) {
                    std::memset(buf, 'Q', sizeof buf);
                    std::uint8_t* start = buf + 16 + align;
                    for (std::size_t i = 0; i < len; ++i) start[i] = static_cast<std::uint8_t>(shift + i);
                    make_lower_case_asm(len, start);
                    for (std::size_t i = 0; i < sizeof buf; ++i) {
                        const bool inside = buf + i >= start && buf + i < start + len;
                        const auto value = static_cast<std::uint8_t>(shift + (buf + i - start));
                        ASSERT_EQ(buf[i], inside ? lowered(value) : 'Q')
                            << "align " << align << " len " << len << " shift " << shift << " index " << i;
                    }
                }
            }
        }
    }
}

// Long ranges ending at an inaccessible page.
TEST(LowerCase, LongRangesStopAtTheirEnd) {
    for (Isa isa : supported_isas()) {
        SCOPED_TRACE(matcher_isa_name(isa));
        IsaScope scope(isa);
        for (std::size_t len : {1u, 15u, 17u, 31u, 33u, 63u, 65u, 1000u, 4097u}) {
            GuardedBytes g(len);
            for (std::size_t i = 0; i < len; ++i) g.data()[i] = static_cast<std::uint8_t>(i * 37 + len);
            make_lower_case_asm(len, g.data());
            for (std::size_t i = 0; i < len; ++i) {
                ASSERT_EQ(g.data()[i], lowered(static_cast<std::uint8_t>(i * 37 + len))) << "len " << len << " at " << i;
            }
        }
    }
}

// Each variant can be forced; TRAWLEX_ISA, read at selection and parsed in
// any case, forces one, and an unknown name or a variant the processor lacks
// leaves the best one.
TEST(MatcherIsa, ForcingAndEnvironment) {
    for (Isa isa : supported_isas()) {
        ASSERT_TRUE(set_matcher_isa(isa));
        EXPECT_EQ(matcher_isa(), isa);
    }
    const Isa best = matcher_best_isa();
    const Isa sse2 = matcher_isa_supported(Isa::Sse2) ? Isa::Sse2 : best;
    const Isa avx2 = matcher_isa_supported(Isa::Avx2) ? Isa::Avx2 : best;
    const std::pair<const char*, Isa> env_cases[] = {
        {"scalar", Isa::Scalar}, {"Sse2", sse2}, {"AVX2", avx2}, {"avx22", best}, {"", best}};
    for (const auto& [value, want] : env_cases) {
        setenv("TRAWLEX_ISA", value, 1);
        reset_matcher_isa();
        EXPECT_EQ(matcher_isa(), want) << value;
    }
    unsetenv("TRAWLEX_ISA");
    reset_matcher_isa();
}

}  // namespace
}  // namespace tw::test
