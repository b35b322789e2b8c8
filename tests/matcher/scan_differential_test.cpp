// Randomized comparison of the vector variants with the scalar reference, call
// by call, and of the scalar reference with a naive oracle. Every case derives
// from a fixed seed printed on failure, so a failure replays.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "matcher/search_param.h"
#include "matcher_test_support.h"

namespace tw::test {
namespace {

enum class Form { OneByte, TwoBytes, Literal, WildTail, RunOnly, RunThenMore };
constexpr Form kForms[] = {Form::OneByte, Form::TwoBytes, Form::Literal,
                           Form::WildTail, Form::RunOnly, Form::RunThenMore};
constexpr const char* kFormNames[] = {"one-byte", "two-bytes", "literal", "wild-tail", "run-only", "run-then-more"};

// Base ROUTINE_INDEX of each form (line bits added separately).
constexpr std::uint64_t kFormIndex[] = {0, 0, 4, 12, 24, 28};

// Line modes: {line numbers, EOL_CHAR}; together with the forms they cover
// every index that the selection yields.
struct LineMode {
    bool line_nb;
    std::uint8_t eol;
};
constexpr LineMode kLineModes[] = {{false, 13}, {false, 10}, {true, 13}, {true, 10}};

struct Case {
    std::uint64_t seed;
    Form form;
    Options opt;
    std::vector<std::uint8_t> text;
    std::vector<std::uint8_t> pattern;  // as given, before lowering
    std::size_t from;                    // TEXT_PTR - TEXT_START
    std::size_t capacity;                // records in the occurrence buffer
    std::uint64_t text_offset;
    std::uint64_t line0;
    std::size_t misalign;  // TEXT_START - start of the allocation, 0..15

    std::string describe() const {
        std::ostringstream s;
        s << "seed " << seed << " form " << kFormNames[static_cast<int>(form)] << " line_nb " << opt.line_nb
          << " eol " << int(opt.eol) << " ci " << opt.case_insensitive << " wildcard " << opt.wildcard << " wild 0x"
          << std::hex << int(opt.wild) << std::dec << " text " << text.size() << " from " << from << " capacity "
          << capacity << " misalign " << misalign << " pattern";
        for (std::uint8_t b : pattern) {
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02x", b);
            s << hex;
        }
        return s.str();
    }
};

Case make_case(std::uint64_t seed, Form form, LineMode lm) {
    std::mt19937_64 rng(seed);
    auto pick = [&](std::uint64_t n) { return static_cast<std::size_t>(rng() % n); };
    Case c{};
    c.seed = seed;
    c.form = form;
    c.opt.line_nb = lm.line_nb;
    c.opt.eol = lm.eol;
    c.opt.case_insensitive = pick(3) == 0;
    // Never a letter: lowering must not turn pattern bytes into the wildcard.
    const std::uint8_t wilds[] = {'?', '\n', 0x00, 0x80, 0xFF};
    c.opt.wild = wilds[pick(5)];
    const bool needs_wild = form == Form::WildTail || form == Form::RunOnly || form == Form::RunThenMore;
    c.opt.wildcard = needs_wild || pick(2) == 0;

    // A small alphabet so that partial matches abound; 'a' and 'b' weigh more.
    static const std::uint8_t alphabet[] = {'a', 'a', 'a', 'b', 'b', 'A', '?', '\n', '\r', 0x00, 0x80, 0xFF};
    const std::size_t sizes[] = {pick(71), 71 + pick(200), 300 + pick(4000)};
    const std::size_t r = pick(10);
    const std::size_t n = sizes[r < 7 ? 0 : (r < 9 ? 1 : 2)];
    c.text.resize(n);
    const std::size_t letters = pick(2) == 0 ? 3 : sizeof alphabet;  // sometimes only "aab"
    for (auto& b : c.text) b = alphabet[pick(letters)];

    // Pattern layout: which indexes are wildcards.
    std::size_t m = 0;
    std::vector<bool> wild_at;
    switch (form) {
        case Form::OneByte: m = 1; break;
        case Form::TwoBytes: m = 2; break;
        case Form::Literal: m = pick(2) ? 3 + pick(4) : 3 + pick(38); break;
        case Form::WildTail: m = pick(2) ? 4 + pick(4) : 4 + pick(37); break;
        case Form::RunOnly: m = 2 + (pick(2) ? 1 + pick(3) : 1 + pick(38)); break;
        case Form::RunThenMore: m = pick(2) ? 4 + pick(4) : 4 + pick(37); break;
    }
    wild_at.assign(m, false);
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

    // Significant bytes: from the text at some position half of the time, so
    // that the pattern occurs, else from the alphabet; never the wildcard
    // byte when the wildcard option is on.
    const bool copy = n >= m && pick(2) == 0;
    const std::size_t at = copy ? pick(n - m + 1) : 0;
    c.pattern.resize(m);
    for (std::size_t j = 0; j < m; ++j) {
        if (wild_at[j]) {
            c.pattern[j] = c.opt.wild;
            continue;
        }
        std::uint8_t b = copy ? c.text[at + j] : alphabet[pick(sizeof alphabet)];
        while (c.opt.wildcard && b == c.opt.wild) b = alphabet[pick(sizeof alphabet)];
        c.pattern[j] = b;
    }

    c.from = n == 0 ? 0 : (pick(3) == 0 ? pick(n + 1) : 0);
    const std::size_t caps[] = {1, 1 + pick(4), 1 + pick(64), 100000};
    c.capacity = caps[pick(4)];
    c.text_offset = pick(2) ? 0 : rng() >> 8;
    c.line0 = pick(2) ? 0 : pick(1000);
    c.misalign = pick(2) ? 0 : pick(16);
    return c;
}

// What one call leaves behind.
struct Outcome {
    std::uint64_t text_ptr;  // relative to TEXT_START
    std::uint64_t occ_used;  // bytes written
    std::uint64_t line_count;
    std::uint64_t result;
    std::vector<std::uint8_t> occ;  // the filled part of the occurrence buffer
    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
    return os << "{text_ptr +" << o.text_ptr << " occ_used " << o.occ_used << " line_count " << o.line_count
              << " result " << o.result << "}";
}

struct Prepared {
    std::vector<std::uint8_t> pattern;  // lowered by init_tw_search when case-insensitive
    std::unique_ptr<ExactBytes> text;
    std::uint8_t* start = nullptr;      // the text, lowered when case-insensitive
    SearchParam sr{};
};

void prepare_case(const Case& c, Prepared& p) {
    IsaScope scalar(Isa::Scalar);
    p.pattern = c.pattern;
    ASSERT_EQ(prepare(p.sr, p.pattern, c.opt), 0u);
    const std::uint64_t line_bits = (c.opt.line_nb ? 2 : 0) + (c.opt.eol == 10 ? 1 : 0);
    ASSERT_EQ(p.sr.ROUTINE_INDEX, kFormIndex[static_cast<int>(c.form)] + line_bits);
    // The text ends where its allocation ends, whatever its start alignment.
    p.text = std::make_unique<ExactBytes>(c.misalign + c.text.size());
    p.start = p.text->data() + c.misalign;
    if (!c.text.empty()) std::memcpy(p.start, c.text.data(), c.text.size());
    if (c.opt.case_insensitive) make_lower_case_asm(c.text.size(), p.start);
    set_text(p.sr, p.start, c.text.size(), c.text_offset);
    p.sr.TEXT_PTR = p.sr.TEXT_START + c.from;
    p.sr.LINE_COUNT = c.line0;
}

// Scans the whole buffer with variant `isa`, emptying the occurrence buffer
// (allocated with exactly its size) after each TW_END_OCC.
std::vector<Outcome> run(const Case& c, const Prepared& p, Isa isa) {
    IsaScope scope(isa);
    const std::size_t rec = c.opt.line_nb ? 16 : 8;
    ExactBytes occ(c.capacity * rec);
    SearchParam sr = p.sr;
    sr.OCC_START = addr(occ.data());
    sr.OCC_BUF_SIZE = occ.size();
    sr.OCC_END = sr.OCC_START + occ.size();
    sr.OCC_PTR = sr.OCC_START;
    std::vector<Outcome> trace;
    for (std::size_t calls = 0; calls <= c.text.size() + 1; ++calls) {
        search_asm(&sr);
        Outcome o{sr.TEXT_PTR - sr.TEXT_START, sr.OCC_PTR - sr.OCC_START, sr.LINE_COUNT, sr.SEARCH_RESULT, {}};
        if (o.occ_used > occ.size()) {
            ADD_FAILURE() << "OCC_PTR beyond OCC_END";
            return trace;
        }
        o.occ.assign(occ.data(), occ.data() + o.occ_used);
        trace.push_back(std::move(o));
        if (sr.SEARCH_RESULT != TW_END_OCC) break;
        sr.OCC_PTR = sr.OCC_START;
    }
    return trace;
}

// The records of a trace, in order.
std::vector<Record> trace_records(const std::vector<Outcome>& trace, bool line_nb) {
    std::vector<Record> out;
    for (const Outcome& o : trace) {
        for (std::size_t i = 0; i < o.occ.size(); i += line_nb ? 16 : 8) {
            Record r{};
            std::memcpy(&r.offset, &o.occ[i], 8);
            if (line_nb) std::memcpy(&r.line, &o.occ[i + 8], 8);
            out.push_back(r);
        }
    }
    return out;
}

void check_against_oracle(const Case& c, const Prepared& p, const std::vector<Outcome>& trace) {
    const bool wild_active = (p.sr.ROUTINE_INDEX & 8) != 0;
    OracleResult want = oracle(p.start, c.text.size(), c.from, p.pattern, wild_active ? c.opt.wild : -1,
                               c.opt.line_nb ? c.opt.eol : -1, c.line0);
    for (Record& r : want.records) {
        r.offset += c.text_offset;
        if (!c.opt.line_nb) r.line = 0;
    }
    EXPECT_EQ(trace_records(trace, c.opt.line_nb), want.records);
    ASSERT_FALSE(trace.empty());
    const Outcome& last = trace.back();
    EXPECT_EQ(last.line_count, c.opt.line_nb ? want.line_count : c.line0);
    const std::size_t m = c.pattern.size();
    const std::size_t n = c.text.size();
    if (last.result == TW_END_TEXT) {
        // One past the first position beyond L = n - m.
        const std::size_t first_beyond = std::max<std::size_t>(c.from, n + 1 >= m ? n + 1 - m : 0);
        EXPECT_EQ(last.text_ptr, first_beyond + 1);
        EXPECT_LT(last.occ_used, c.capacity * (c.opt.line_nb ? 16 : 8));
    } else {
        ASSERT_EQ(last.result, TW_END_BOTH);
        EXPECT_EQ(last.text_ptr, n - m + 1);  // the last occurrence sat at L
    }
    for (std::size_t i = 0; i + 1 < trace.size(); ++i) EXPECT_EQ(trace[i].result, TW_END_OCC);
}

class Differential : public ::testing::TestWithParam<int> {};

TEST_P(Differential, VariantsMatchScalarAndScalarMatchesOracle) {
    const Form form = kForms[GetParam()];
    const std::vector<Isa> isas = supported_isas();
    constexpr int kCasesPerMode = 800;
    for (const LineMode& lm : kLineModes) {
        for (int i = 0; i < kCasesPerMode; ++i) {
            const std::uint64_t seed = 1000003ULL * (GetParam() + 1) + 7919ULL * (lm.line_nb * 2 + (lm.eol == 10)) + i;
            const Case c = make_case(seed, form, lm);
            SCOPED_TRACE(c.describe());
            Prepared p;
            prepare_case(c, p);
            if (::testing::Test::HasFatalFailure()) return;
            const std::vector<Outcome> ref = run(c, p, Isa::Scalar);
            check_against_oracle(c, p, ref);
            for (Isa isa : isas) {
                if (isa == Isa::Scalar) continue;
                const std::vector<Outcome> got = run(c, p, isa);
                ASSERT_EQ(got.size(), ref.size()) << matcher_isa_name(isa);
                for (std::size_t k = 0; k < ref.size(); ++k) {
                    ASSERT_EQ(got[k], ref[k]) << matcher_isa_name(isa) << " call " << k;
                }
            }
            if (::testing::Test::HasFailure()) return;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllForms, Differential, ::testing::Range(0, 6),
                         [](const ::testing::TestParamInfo<int>& info) {
                             std::string name = kFormNames[info.param];
                             for (char& ch : name) {
                                 if (ch == '-') ch = '_';
                             }
                             return name;
                         });

// Text and occurrence buffers that end at an inaccessible page: any read at or
// beyond TEXT_END, or write beyond OCC_END, faults. Every length from 0 to 160
// and every variant; the last bytes are the pattern's, so the final vector
// block and the byte step meet the end of the buffer.
TEST(GuardPage, NoAccessBeyondEitherBuffer) {
    const char* patterns[] = {"z", "yz", "xyz", "x?z", "w??z", "wx?z", "v?x?z", "vwxyz"};
    for (Isa isa : supported_isas()) {
        IsaScope scope(isa);
        for (const char* pat : patterns) {
            for (bool line_nb : {false, true}) {
                Options o;
                o.wildcard = true;
                o.line_nb = line_nb;
                std::vector<std::uint8_t> pattern = bytes(pat);
                SearchParam sr{};
                ASSERT_EQ(prepare(sr, pattern, o), 0u);
                for (std::size_t n = 0; n <= 160; ++n) {
                    GuardedBytes text(n);
                    GuardedBytes occ(64);  // room for 4 or 8 records
                    ASSERT_TRUE(text.ok() && occ.ok());
                    for (std::size_t i = 0; i < n; ++i) text.data()[i] = "vwxyz\n"[(i * 7 + n) % 6];
                    const std::size_t m = pattern.size();
                    const char* bare = "vwxyz";
                    if (n >= m) std::memcpy(text.data() + n - m, bare + 5 - m, m);
                    set_text(sr, text.data(), n);
                    sr.OCC_START = addr(occ.data());
                    sr.OCC_END = sr.OCC_START + 64;
                    sr.OCC_PTR = sr.OCC_START;
                    sr.LINE_COUNT = 0;
                    std::vector<Record> got = scan_all(sr);
                    const OracleResult want = oracle(text.data(), n, 0, pattern, '?', line_nb ? 10 : -1, 0);
                    std::vector<Record> expect = want.records;
                    if (!line_nb) {
                        for (Record& r : expect) r.line = 0;
                    }
                    ASSERT_EQ(got, expect) << matcher_isa_name(isa) << " " << pat << " n " << n;
                }
            }
        }
    }
}

}  // namespace
}  // namespace tw::test
