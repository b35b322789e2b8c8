// Randomized comparison of every vector variant with the scalar reference,
// call by call, and of the scalar reference with a naive oracle; then every
// variant near the end of buffers followed by an inaccessible page. Every
// random case derives from a seed printed on failure, so a failure replays.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "matcher_test_support.h"

namespace tw::test {
namespace {

enum class Form { OneByte, TwoBytes, Literal, WildTail, RunOnly, RunThenMore };
// ROUTINE_INDEX of each form without the line bits.
constexpr std::uint64_t kFormIndex[] = {0, 0, 4, 12, 24, 28};

struct Case {
    Options opt;
    std::vector<std::uint8_t> text;
    std::vector<std::uint8_t> pattern;  // as given, before lowering
    std::vector<std::uint8_t> fold;     // case-insensitive: which positions fold
    std::size_t from = 0;                // TEXT_PTR - TEXT_START
    std::size_t capacity = 0;            // records in the occurrence buffer
    std::uint64_t text_offset = 0;
    std::uint64_t line0 = 0;
};

// A small alphabet so that partial matches abound; 'a' and 'b' weigh more.
const std::uint8_t kAlphabet[] = {'a', 'a', 'a', 'b', 'b', 'A', '?', '\n', '\r', 0x00, 0x80, 0xFF};

Case make_case(std::uint64_t seed, Form form, bool line_nb, std::uint8_t eol) {
    std::mt19937_64 rng(seed);
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    Case c;
    c.opt.line_nb = line_nb;
    c.opt.eol = eol;
    c.opt.case_insensitive = pick(3) == 0;
    // Never a letter: lowering must not turn pattern bytes into the wildcard.
    const std::uint8_t wilds[] = {'?', '\n', 0x00, 0x80, 0xFF};
    c.opt.wild = wilds[pick(5)];
    const bool needs_wild = form == Form::WildTail || form == Form::RunOnly || form == Form::RunThenMore;
    c.opt.wildcard = needs_wild || pick(2) == 0;

    // Mostly short texts (the vector tails), some over several 64-byte blocks.
    const std::size_t r = pick(10);
    const std::size_t n = r < 7 ? pick(71) : (r < 9 ? 71 + pick(200) : 300 + pick(4000));
    const std::size_t letters = pick(2) == 0 ? 3 : sizeof kAlphabet;  // sometimes only "aab"
    c.text.resize(n);
    for (auto& b : c.text) b = kAlphabet[pick(letters)];

    // Pattern length, short or long, and which of its bytes are the wildcard.
    auto length = [&](std::size_t min) { return min + (pick(2) ? pick(4) : pick(38)); };
    const std::size_t m = form == Form::OneByte ? 1 : form == Form::TwoBytes ? 2 : length(form == Form::Literal ? 3 : 4);
    std::vector<bool> wild_at(m, false);
    if (form == Form::WildTail) {
        wild_at[2 + pick(m - 3)] = true;
        for (std::size_t j = 2; j + 1 < m; ++j) wild_at[j] = wild_at[j] || pick(4) == 0;
    } else if (form == Form::RunOnly) {
        for (std::size_t j = 1; j + 1 < m; ++j) wild_at[j] = true;
    } else if (form == Form::RunThenMore) {
        const std::size_t k = 1 + pick(m - 3);  // leaves CHAR_2 and at least one more byte
        for (std::size_t j = 1; j <= k; ++j) wild_at[j] = true;
        for (std::size_t j = k + 2; j + 1 < m; ++j) wild_at[j] = pick(4) == 0;
    }
    // Significant bytes copied from the text half of the time, so that the
    // pattern occurs; never the wildcard byte when the option is on.
    const bool copy = n >= m && pick(2) == 0;
    const std::size_t at = copy ? pick(n - m + 1) : 0;
    c.pattern.resize(m);
    for (std::size_t j = 0; j < m; ++j) {
        std::uint8_t b = wild_at[j] ? c.opt.wild : copy ? c.text[at + j] : kAlphabet[pick(sizeof kAlphabet)];
        while (!wild_at[j] && c.opt.wildcard && b == c.opt.wild) b = kAlphabet[pick(sizeof kAlphabet)];
        c.pattern[j] = b;
    }
    // Some letter positions fold and some do not, as in a multibyte encoding;
    // a mark on a byte that is no letter must be ignored.
    if (c.opt.case_insensitive) {
        c.fold.resize(m);
        for (auto& f : c.fold) f = pick(4) == 0 ? 0 : 0x20;
    }
    c.from = n != 0 && pick(3) == 0 ? pick(n + 1) : 0;
    const std::size_t caps[] = {1, 1 + pick(4), 1 + pick(64), 100000};
    c.capacity = caps[pick(4)];
    c.text_offset = pick(2) ? 0 : rng() >> 8;
    c.line0 = pick(2) ? 0 : pick(1000);
    return c;
}

// What one call leaves behind: TEXT_PTR (relative), LINE_COUNT, the result
// and the records written.
struct Outcome {
    std::uint64_t text_ptr, line_count, result;
    std::vector<Record> records;
    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
    os << "{text_ptr +" << o.text_ptr << " line_count " << o.line_count << " result " << o.result << " records";
    for (const Record& r : o.records) os << " " << r;
    return os << "}";
}

// Scans the whole text with variant `isa`, text and occurrence buffer each
// ending at an inaccessible page, emptying the occurrence buffer after each
// TW_END_OCC. The matcher folds the text itself (FOLD_MASK).
std::vector<Outcome> run(const Case& c, const SearchParam& prepared, Isa isa) {
    IsaScope scope(isa);
    const std::size_t record_size = c.opt.line_nb ? 16 : 8;
    GuardedBytes text(c.text.size());
    GuardedBytes occ(c.capacity * record_size);
    std::copy(c.text.begin(), c.text.end(), text.data());
    SearchParam sr = prepared;
    set_text(sr, text.data(), c.text.size(), c.text_offset);
    sr.TEXT_PTR += c.from;
    sr.LINE_COUNT = c.line0;
    set_occ(sr, occ.data(), c.capacity * record_size);
    std::vector<Outcome> trace;
    do {
        sr.OCC_PTR = sr.OCC_START;
        search_asm(&sr);
        trace.push_back({sr.TEXT_PTR - sr.TEXT_START, sr.LINE_COUNT, sr.SEARCH_RESULT, records(sr)});
    } while (sr.SEARCH_RESULT == TW_END_OCC && trace.size() <= c.text.size());
    return trace;
}

// The scalar trace against the oracle: the records, the final line count,
// TEXT_PTR and the last result.
void check_against_oracle(const Case& c, const std::vector<std::uint8_t>& lowered, const SearchParam& sr,
                          const std::vector<Outcome>& trace) {
    const bool wild_active = (sr.ROUTINE_INDEX & 8) != 0;
    OracleResult want = oracle(c.text.data(), c.text.size(), c.from, lowered, wild_active ? c.opt.wild : -1,
                               c.opt.line_nb ? c.opt.eol : -1, c.line0,
                               reinterpret_cast<const std::uint8_t*>(sr.FOLD_MASK));
    for (Record& r : want.records) r.offset += c.text_offset;
    std::vector<Record> got;
    for (const Outcome& o : trace) got.insert(got.end(), o.records.begin(), o.records.end());
    EXPECT_EQ(got, want.records);
    const Outcome& last = trace.back();
    EXPECT_EQ(last.line_count, c.opt.line_nb ? want.line_count : c.line0);
    const std::size_t m = c.pattern.size(), n = c.text.size();
    if (last.result == TW_END_TEXT) {
        // One past the first position beyond the last start position n - m.
        EXPECT_EQ(last.text_ptr, std::max(c.from, n + 1 >= m ? n + 1 - m : 0) + 1);
        EXPECT_LT(last.records.size(), c.capacity);
    } else {
        EXPECT_EQ(last.result, TW_END_BOTH);
        EXPECT_EQ(last.text_ptr, n - m + 1);  // the last occurrence sat at n - m
    }
}

// Every line mode: with or without line numbers, CR or LF.
void compare_variants(Form form) {
    const int f = static_cast<int>(form);
    for (int mode = 0; mode < 4; ++mode) {
        const bool line_nb = mode >= 2;
        const std::uint8_t eol = mode % 2 == 0 ? 13 : 10;
        for (int i = 0; i < 800 && !::testing::Test::HasFailure(); ++i) {
            const std::uint64_t seed = 1000003ULL * (f + 1) + 7919ULL * mode + i;
            SCOPED_TRACE(::testing::Message() << "seed " << seed << " line_nb " << line_nb << " eol " << int(eol));
            const Case c = make_case(seed, form, line_nb, eol);
            std::vector<std::uint8_t> lowered = c.pattern, fold = c.fold;
            SearchParam sr{};
            ASSERT_EQ(prepare(sr, lowered, c.opt, fold.empty() ? nullptr : fold.data()), 0u);
            // The line bits: 2 for line numbers, 1 for LF.
            ASSERT_EQ(sr.ROUTINE_INDEX, kFormIndex[f] + (line_nb ? 2 : 0) + (eol == 10 ? 1 : 0));
            const std::vector<Outcome> ref = run(c, sr, Isa::Scalar);
            check_against_oracle(c, lowered, sr, ref);
            for (Isa isa : supported_isas()) {
                if (isa != Isa::Scalar) {
                    EXPECT_EQ(run(c, sr, isa), ref) << matcher_isa_name(isa);
                }
            }
        }
    }
}

TEST(Differential, OneBytePatterns) { compare_variants(Form::OneByte); }
TEST(Differential, TwoBytePatterns) { compare_variants(Form::TwoBytes); }
TEST(Differential, LiteralPatterns) { compare_variants(Form::Literal); }
TEST(Differential, WildcardsAfterTheSecondByte) { compare_variants(Form::WildTail); }
TEST(Differential, WildcardRunThenOneByte) { compare_variants(Form::RunOnly); }
TEST(Differential, WildcardRunThenMoreBytes) { compare_variants(Form::RunThenMore); }

// Every text length from 0 to 160 ending with the pattern, so that the last
// vector block, the single vectors and the byte step each meet the
// inaccessible page after the text; the occurrence buffer ends at one too.
TEST(GuardPage, NoAccessBeyondEitherBuffer) {
    for (Isa isa : supported_isas()) {
        SCOPED_TRACE(matcher_isa_name(isa));
        IsaScope scope(isa);
        for (std::string pat : {"z", "yz", "xyz", "x?z", "w??z", "wx?z", "v?x?z", "vwxyz"}) {
            for (bool line_nb : {false, true}) {
                std::vector<std::uint8_t> pattern = bytes(pat);
                SearchParam sr{};
                ASSERT_EQ(prepare(sr, pattern, {.line_nb = line_nb, .wildcard = true}), 0u);
                for (std::size_t n = 0; n <= 160; ++n) {
                    GuardedBytes text(n);
                    GuardedBytes occ(64);  // room for 4 or 8 records
                    for (std::size_t i = 0; i < n; ++i) text.data()[i] = "vwxyz\n"[(i * 7 + n) % 6];
                    const std::size_t m = pattern.size();
                    const char* bare = "vwxyz";
                    if (n >= m) std::memcpy(text.data() + n - m, bare + 5 - m, m);
                    set_text(sr, text.data(), n);
                    set_occ(sr, occ.data(), 64);
                    sr.LINE_COUNT = 0;
                    const OracleResult want = oracle(text.data(), n, 0, pattern, '?', line_nb ? 10 : -1);
                    ASSERT_EQ(scan_all(sr), want.records) << pat << " n " << n;
                }
            }
        }
    }
}

}  // namespace
}  // namespace tw::test
