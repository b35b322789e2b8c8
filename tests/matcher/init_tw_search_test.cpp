// Routine selection by init_tw_search, the routine table and the empty routines.
#include <gtest/gtest.h>

#include <cstring>

#include "matcher/search_param.h"
#include "matcher_test_support.h"

namespace tw::test {
namespace {

struct Selection {
    std::uint64_t result;
    SearchParam sr;
    std::vector<std::uint8_t> pattern;  // as left by init_tw_search
};

Selection select(const std::string& pattern, Options o) {
    Selection s{};
    s.pattern = bytes(pattern);
    s.result = prepare(s.sr, s.pattern, o);
    return s;
}

Options wild_on(bool line_nb = false, std::uint8_t eol = 13) {
    Options o;
    o.wildcard = true;
    o.line_nb = line_nb;
    o.eol = eol;
    return o;
}

TEST(InitTwSearch, EmptyPatternAndWildcardAtAnEndAreRefused) {
    EXPECT_EQ(select("", Options{}).result, 10u);
    EXPECT_EQ(select("?ab", wild_on()).result, 10u);
    EXPECT_EQ(select("ab?", wild_on()).result, 10u);
    EXPECT_EQ(select("?", wild_on()).result, 10u);
    // With the option off the same patterns are plain bytes.
    Selection lead = select("?ab", Options{});
    EXPECT_EQ(lead.result, 0u);
    EXPECT_EQ(lead.sr.ROUTINE_INDEX, 5u);  // EOL_CHAR 10 adds 1
    EXPECT_EQ(lead.sr.CHAR_1, '?');
    EXPECT_EQ(lead.sr.CHAR_2, 'a');
    EXPECT_EQ(select("ab?", Options{}).sr.ROUTINE_INDEX, 5u);
}

TEST(InitTwSearch, ShapesSelectTheirIndexes) {
    Selection one = select("x", wild_on());
    EXPECT_EQ(one.result, 0u);
    EXPECT_EQ(one.sr.ROUTINE_INDEX, 0u);
    EXPECT_EQ(one.sr.CHAR_1, 'x');

    Selection run1 = select("a?b", wild_on());
    EXPECT_EQ(run1.sr.ROUTINE_INDEX, 24u);
    EXPECT_EQ(run1.sr.NB_WILD_SEQ, 1u);
    EXPECT_EQ(run1.sr.CHAR_1, 'a');
    EXPECT_EQ(run1.sr.CHAR_2, 'b');

    Selection run2 = select("a??bc", wild_on());
    EXPECT_EQ(run2.sr.ROUTINE_INDEX, 28u);
    EXPECT_EQ(run2.sr.NB_WILD_SEQ, 2u);
    EXPECT_EQ(run2.sr.CHAR_2, 'b');

    Selection tail = select("ab?c", wild_on());
    EXPECT_EQ(tail.sr.ROUTINE_INDEX, 12u);
    EXPECT_EQ(tail.sr.NB_WILD_SEQ, 0u);
    EXPECT_EQ(tail.sr.CHAR_2, 'b');

    Selection multi = select("a?c?e", wild_on());
    EXPECT_EQ(multi.sr.ROUTINE_INDEX, 28u);
    EXPECT_EQ(multi.sr.NB_WILD_SEQ, 1u);
    EXPECT_EQ(multi.sr.CHAR_2, 'c');

    EXPECT_EQ(select("ab", wild_on()).sr.ROUTINE_INDEX, 0u);
    EXPECT_EQ(select("abc", wild_on()).sr.ROUTINE_INDEX, 4u);
}

TEST(InitTwSearch, LineNumberAndEndOfLineBits) {
    const char* patterns[] = {"ab", "abc", "ab?c", "a?b", "a??bc"};
    const std::uint64_t base[] = {0, 4, 12, 24, 28};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(patterns[i]);
        EXPECT_EQ(select(patterns[i], wild_on(true, 13)).sr.ROUTINE_INDEX, base[i] + 2);
        EXPECT_EQ(select(patterns[i], wild_on(true, 10)).sr.ROUTINE_INDEX, base[i] + 3);
        EXPECT_EQ(select(patterns[i], wild_on(false, 13)).sr.ROUTINE_INDEX, base[i]);
        EXPECT_EQ(select(patterns[i], wild_on(false, 10)).sr.ROUTINE_INDEX, base[i] + 1);
    }
}

TEST(InitTwSearch, OneBytePatternLeavesCharTwo) {
    Options o;
    SearchParam sr{};
    std::vector<std::uint8_t> p = bytes("z");
    sr.STR_START = addr(p.data());
    sr.STR_END = sr.STR_START + 1;
    sr.CHAR_2 = 0x1234;
    sr.NB_WILD_SEQ = 77;
    ASSERT_EQ(init_tw_search(sr), 0u);
    EXPECT_EQ(sr.CHAR_2, 0x1234u);
    EXPECT_EQ(sr.NB_WILD_SEQ, 77u);  // only wildcard patterns set it
    (void)o;
}

TEST(InitTwSearch, CaseInsensitiveLowersPatternBeforeWildcardAnalysis) {
    Options o = wild_on();
    o.case_insensitive = true;
    o.wild = 'Q';
    // 'Q' lowered to 'q' is no longer the wildcard: a plain 4-byte pattern.
    Selection s = select("aQBc", o);
    EXPECT_EQ(s.result, 0u);
    EXPECT_EQ(s.sr.ROUTINE_INDEX, 4u);
    EXPECT_EQ(s.pattern, bytes("aqbc"));
    EXPECT_EQ(s.sr.CHAR_2, 'q');
    // A small-letter wildcard still works after lowering.
    o.wild = 'q';
    Selection w = select("AQBC", o);
    EXPECT_EQ(w.sr.ROUTINE_INDEX, 28u);
    EXPECT_EQ(w.sr.CHAR_1, 'a');
    EXPECT_EQ(w.sr.CHAR_2, 'b');
    // Case-sensitive: the pattern stays as given.
    Selection cs = select("AbC", Options{});
    EXPECT_EQ(cs.pattern, bytes("AbC"));
}

TEST(InitTwSearch, HighBytesCompareUnsigned) {
    Selection s = select("\xC3\xA9t\xE9", Options{});
    EXPECT_EQ(s.sr.CHAR_1, 0xC3u);
    EXPECT_EQ(s.sr.CHAR_2, 0xA9u);
    Options o = wild_on();
    o.wild = 0xFF;
    Selection w = select("\x80\xFF\xFF\x81", o);
    EXPECT_EQ(w.sr.ROUTINE_INDEX, 24u);
    EXPECT_EQ(w.sr.NB_WILD_SEQ, 2u);
    EXPECT_EQ(w.sr.CHAR_2, 0x81u);
}

TEST(RoutineTable, MapsEveryIndex) {
    const ScanRoutine expected[32] = {s01, s01, s02, s03, s05, s05, s06, s07, s08, s08, s08,
                                      s08, s0D, s0D, s0E, s0F, s10, s10, s10, s10, s10, s10,
                                      s10, s10, s19, s19, s1A, s1B, s1D, s1D, s1E, s1F};
    for (int i = 0; i < 32; ++i) EXPECT_EQ(offset_to_S[i], expected[i]) << "index " << i;
}

TEST(RoutineTable, EmptyRoutinesChangeNothing) {
    std::uint8_t text[8] = {'a', 'b', 'a', 'b', 'a', 'b', 'a', 'b'};
    std::uint64_t occ[4] = {};
    std::vector<std::uint8_t> p = bytes("ab");
    SearchParam sr{};
    prepare(sr, p, Options{});
    set_text(sr, text, sizeof text);
    set_occ(sr, occ, 4);
    sr.SEARCH_RESULT = 12345;
    sr.LINE_COUNT = 9;
    for (std::uint64_t index : {8u, 9u, 10u, 11u, 16u, 17u, 20u, 23u}) {
        SearchParam copy = sr;
        copy.ROUTINE_INDEX = index;
        SearchParam before = copy;
        search_asm(&copy);
        EXPECT_EQ(std::memcmp(&copy, &before, sizeof copy), 0) << "index " << index;
    }
    for (std::uint64_t w : occ) EXPECT_EQ(w, 0u);
}

}  // namespace
}  // namespace tw::test
