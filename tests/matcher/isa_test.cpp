// The instruction-set choice: names, forcing, and the TRAWLEX_ISA variable.
#include <gtest/gtest.h>

#include <cstdlib>

#include "matcher/isa.h"
#include "matcher_test_support.h"

namespace tw::test {
namespace {

TEST(MatcherIsa, NamesRoundTrip) {
    for (Isa isa : {Isa::Scalar, Isa::Sse2, Isa::Avx2}) {
        Isa parsed;
        ASSERT_TRUE(parse_matcher_isa(matcher_isa_name(isa), &parsed));
        EXPECT_EQ(parsed, isa);
    }
    Isa parsed;
    EXPECT_TRUE(parse_matcher_isa("AVX2", &parsed));
    EXPECT_EQ(parsed, Isa::Avx2);
    EXPECT_FALSE(parse_matcher_isa("avx", &parsed));
    EXPECT_FALSE(parse_matcher_isa("avx22", &parsed));
    EXPECT_FALSE(parse_matcher_isa("", &parsed));
    EXPECT_FALSE(parse_matcher_isa(nullptr, &parsed));
}

TEST(MatcherIsa, ForcingAndEnvironment) {
    EXPECT_TRUE(matcher_isa_supported(Isa::Scalar));
    const Isa best = matcher_best_isa();
    ASSERT_TRUE(set_matcher_isa(Isa::Scalar));
    EXPECT_EQ(matcher_isa(), Isa::Scalar);

    const char* saved = std::getenv("TRAWLEX_ISA");
    const std::string saved_value = saved ? saved : "";
    setenv("TRAWLEX_ISA", "scalar", 1);
    reset_matcher_isa();
    EXPECT_EQ(matcher_isa(), Isa::Scalar);
    setenv("TRAWLEX_ISA", "nonsense", 1);
    reset_matcher_isa();
    EXPECT_EQ(matcher_isa(), best);
    // A variant the processor lacks falls back to the best it has.
    setenv("TRAWLEX_ISA", "avx2", 1);
    reset_matcher_isa();
    EXPECT_EQ(matcher_isa(), matcher_isa_supported(Isa::Avx2) ? Isa::Avx2 : best);
    if (saved) {
        setenv("TRAWLEX_ISA", saved_value.c_str(), 1);
    } else {
        unsetenv("TRAWLEX_ISA");
    }
    reset_matcher_isa();
}

}  // namespace
}  // namespace tw::test
