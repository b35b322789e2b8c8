// Behaviour of the scanning routines on small, hand-made cases, for every
// instruction-set variant this processor supports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "matcher/search_param.h"
#include "matcher_test_support.h"

namespace tw::test {
namespace {

class ScanCases : public ::testing::TestWithParam<Isa> {
protected:
    void SetUp() override {
        scope_ = std::make_unique<IsaScope>(GetParam());
        ASSERT_TRUE(scope_->ok());
    }
    void TearDown() override { scope_.reset(); }

    // One complete scan of `text` (held in memory of exactly its size) with
    // an occurrence buffer of `capacity` records.
    std::vector<Record> find(const std::string& pattern, const std::string& text, Options o,
                             std::size_t capacity = 64, std::vector<std::uint64_t>* results = nullptr) {
        pattern_ = bytes(pattern);
        EXPECT_EQ(prepare(sr_, pattern_, o), 0u);
        text_ = std::make_unique<ExactBytes>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        if (o.case_insensitive) make_lower_case_asm(text.size(), text_->data());
        occ_.assign(capacity * (o.line_nb ? 2 : 1), 0);
        set_text(sr_, text_->data(), text.size());
        set_occ(sr_, occ_.data(), occ_.size());
        return scan_all(sr_, results);
    }

    static std::vector<std::uint64_t> offsets(const std::vector<Record>& rs) {
        std::vector<std::uint64_t> out;
        for (const Record& r : rs) out.push_back(r.offset);
        return out;
    }

    std::unique_ptr<IsaScope> scope_;
    SearchParam sr_{};
    std::vector<std::uint8_t> pattern_;
    std::unique_ptr<ExactBytes> text_;
    std::vector<std::uint64_t> occ_;
};

using Offsets = std::vector<std::uint64_t>;

TEST_P(ScanCases, OverlappingOccurrencesAreAllFound) {
    EXPECT_EQ(offsets(find("aa", "aaaa", Options{})), (Offsets{0, 1, 2}));
    EXPECT_EQ(offsets(find("aaa", std::string(70, 'a'), Options{})).size(), 68u);
}

TEST_P(ScanCases, OneBytePatternAtLastPosition) {
    for (std::size_t n : {1u, 15u, 16u, 17u, 31u, 32u, 33u, 63u, 64u, 65u, 100u}) {
        std::string text(n, '.');
        text.back() = 'z';
        EXPECT_EQ(offsets(find("z", text, Options{})), (Offsets{n - 1})) << "length " << n;
        EXPECT_EQ(sr_.SEARCH_RESULT, TW_END_TEXT);
    }
}

TEST_P(ScanCases, LineCountsOfLfExample) {
    Options o;
    o.line_nb = true;
    o.eol = 10;
    EXPECT_EQ(find("ab", "a\nb\nab", o), (std::vector<Record>{{4, 2}}));
    EXPECT_EQ(find("ab", "abc\n", o), (std::vector<Record>{{0, 0}}));
    // A pattern that begins with the end-of-line byte counts that byte.
    EXPECT_EQ(find("\nx", "x\nx\nx", o), (std::vector<Record>{{1, 1}, {3, 2}}));
    // End-of-line bytes inside an occurrence count for later occurrences only.
    EXPECT_EQ(find("a\n\nb", "a\n\nb a\n\nb", o), (std::vector<Record>{{0, 0}, {5, 2}}));
}

TEST_P(ScanCases, CountsOnlyTheRoutinesEndOfLineByte) {
    Options o;
    o.line_nb = true;
    o.eol = 13;
    EXPECT_EQ(find("x", "\n\r\nx\r\rx", o), (std::vector<Record>{{3, 1}, {6, 3}}));
    o.eol = 10;
    EXPECT_EQ(find("x", "\n\r\nx\r\rx", o), (std::vector<Record>{{3, 2}, {6, 2}}));
}

TEST_P(ScanCases, EndOfLineBytesOfTheLastPositionsAreLeftForTheNextBuffer) {
    Options o;
    o.line_nb = true;
    o.eol = 10;
    const std::string text = "\nabc\n\n";  // L = 3 for a 3-byte pattern
    EXPECT_EQ(find("abc", text, o), (std::vector<Record>{{1, 1}}));
    EXPECT_EQ(sr_.LINE_COUNT, 1u);
    EXPECT_EQ(sr_.TEXT_PTR, sr_.TEXT_START + 5);  // one past the first position past L
}

TEST_P(ScanCases, WildcardsMatchAnyByte) {
    Options o;
    o.wildcard = true;
    EXPECT_EQ(offsets(find("a??d", "a??d a\r\nd axyd ad axd", o)), (Offsets{0, 5, 10}));
    EXPECT_EQ(offsets(find("a?c?e", "abcde a?c?e axcxf abcd", o)), (Offsets{0, 6}));
    EXPECT_EQ(offsets(find("ab?d", "abxd ab?d abd", o)), (Offsets{0, 5}));
    EXPECT_EQ(offsets(find("a?b", "a?b axb ab", o)), (Offsets{0, 4}));
    // Option off: the question mark is a plain byte.
    EXPECT_EQ(offsets(find("a?b", "a?b axb ab", Options{})), (Offsets{0}));
}

TEST_P(ScanCases, CaseInsensitiveSearchAfterLowering) {
    Options o;
    o.case_insensitive = true;
    EXPECT_EQ(offsets(find("The", "the THE tHe Th\xC9", o)), (Offsets{0, 4, 8}));
    o.wildcard = true;
    o.wild = 'X';  // lowered away from the pattern: matches 'x' and 'X' literally
    EXPECT_EQ(offsets(find("aXb", "axb aXb ayb", o)), (Offsets{0, 4}));
}

TEST_P(ScanCases, HighBytesAndNul) {
    const std::string text("\xC3\xA9t\xC3\xA9\0\xC3\xA9", 8);
    EXPECT_EQ(offsets(find("\xC3\xA9", text, Options{})), (Offsets{0, 3, 6}));
    EXPECT_EQ(offsets(find(std::string("\0\xC3", 2), text, Options{})), (Offsets{5}));
}

TEST_P(ScanCases, OneRecordBufferResumesAfterEachOccurrence) {
    Options o;
    o.line_nb = true;
    std::vector<std::uint64_t> results;
    const auto rs = find("ab", "ab\nab\nxab", o, 1, &results);
    EXPECT_EQ(rs, (std::vector<Record>{{0, 0}, {3, 1}, {7, 2}}));
    // The last occurrence sits at L: no position remains.
    EXPECT_EQ(results, (std::vector<std::uint64_t>{TW_END_OCC, TW_END_OCC, TW_END_BOTH}));
    EXPECT_EQ(sr_.TEXT_PTR, sr_.TEXT_START + 8);
}

TEST_P(ScanCases, FullBufferBeforeLastPositionThenNothingMore) {
    std::vector<std::uint64_t> results;
    find("ab", "abab..", Options{}, 2, &results);
    EXPECT_EQ(results, (std::vector<std::uint64_t>{TW_END_OCC, TW_END_TEXT}));
}

TEST_P(ScanCases, StateAfterOccurrenceBufferFills) {
    Options o;
    o.line_nb = true;
    std::string text = std::string(40, '\n') + "ab" + std::string(40, '\n') + "ab" + std::string(10, '.');
    pattern_ = bytes("ab");
    prepare(sr_, pattern_, o);
    ExactBytes t(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    std::uint64_t occ[2] = {};
    set_text(sr_, t.data(), text.size());
    set_occ(sr_, occ, 2);
    search_asm(&sr_);
    EXPECT_EQ(sr_.SEARCH_RESULT, TW_END_OCC);
    EXPECT_EQ(sr_.TEXT_PTR, sr_.TEXT_START + 41);
    EXPECT_EQ(sr_.LINE_COUNT, 40u);
    EXPECT_EQ(sr_.OCC_PTR, sr_.OCC_END);
    EXPECT_EQ(occ[0], 40u);
    EXPECT_EQ(occ[1], 40u);
    sr_.OCC_PTR = sr_.OCC_START;
    search_asm(&sr_);
    EXPECT_EQ(sr_.SEARCH_RESULT, TW_END_OCC);
    EXPECT_EQ(sr_.TEXT_PTR, sr_.TEXT_START + 83);
    EXPECT_EQ(sr_.LINE_COUNT, 80u);
    EXPECT_EQ(occ[0], 82u);
    sr_.OCC_PTR = sr_.OCC_START;
    search_asm(&sr_);
    EXPECT_EQ(sr_.SEARCH_RESULT, TW_END_TEXT);
    EXPECT_EQ(sr_.OCC_PTR, sr_.OCC_START);
    EXPECT_EQ(sr_.LINE_COUNT, 80u);
}

TEST_P(ScanCases, BufferShorterThanPattern) {
    for (std::size_t n = 0; n < 5; ++n) {
        Options o;
        o.line_nb = true;
        EXPECT_TRUE(find("\n\n\n\n\n", std::string(n, '\n'), o).empty());
        EXPECT_EQ(sr_.SEARCH_RESULT, TW_END_TEXT);
        EXPECT_EQ(sr_.LINE_COUNT, 0u);
        EXPECT_EQ(sr_.OCC_PTR, sr_.OCC_START);
        EXPECT_EQ(sr_.TEXT_PTR, sr_.TEXT_START + 1);
    }
}

TEST_P(ScanCases, RecordsCarryTextOffset) {
    pattern_ = bytes("b");
    prepare(sr_, pattern_, Options{});
    ExactBytes t(reinterpret_cast<const std::uint8_t*>("abcb"), 4);
    std::uint64_t occ[4] = {};
    set_text(sr_, t.data(), 4, 1000);
    sr_.TEXT_PTR = sr_.TEXT_START + 2;  // start positions 2 and 3 only
    set_occ(sr_, occ, 4);
    search_asm(&sr_);
    EXPECT_EQ(sr_.OCC_PTR, sr_.OCC_START + 8);
    EXPECT_EQ(occ[0], 1003u);
}

// A file read in pieces that overlap by m - 1 bytes, as the driver reads it,
// yields the records and line counts of one scan over the whole file.
TEST_P(ScanCases, PiecesOfAFileGiveTheWholeFileAnswer) {
    std::string file;
    for (int i = 0; i < 300; ++i) file += (i % 7 == 0) ? "ab\n" : (i % 5 == 0 ? "xaab\r\n" : "ba");
    const std::vector<std::uint8_t> f(file.begin(), file.end());
    for (std::string pattern : {"ab", "aab", "a?b", "b\na"}) {
        Options o;
        o.line_nb = true;
        o.wildcard = true;
        pattern_ = bytes(pattern);
        prepare(sr_, pattern_, o);
        const std::size_t m = pattern_.size();
        const OracleResult want = oracle(f.data(), f.size(), 0, pattern_, pattern == "a?b" ? '?' : -1, 10, 0);
        for (std::size_t piece : {m, m + 1, std::size_t{16}, std::size_t{33}, std::size_t{100}}) {
            std::vector<Record> got;
            std::uint64_t occ[6] = {};
            set_occ(sr_, occ, 6);
            sr_.LINE_COUNT = 0;
            for (std::size_t off = 0; off + m <= f.size(); off += piece - m + 1) {
                const std::size_t n = std::min(piece, f.size() - off);
                ExactBytes t(f.data() + off, n);
                set_text(sr_, t.data(), n, off);
                for (const Record& r : scan_all(sr_)) got.push_back(r);
            }
            EXPECT_EQ(got, want.records) << pattern << " pieces of " << piece;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllIsas, ScanCases, ::testing::ValuesIn(supported_isas()),
                         [](const ::testing::TestParamInfo<Isa>& info) { return matcher_isa_name(info.param); });

}  // namespace
}  // namespace tw::test
