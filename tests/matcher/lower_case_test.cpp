// Lower-casing: the byte rule on every byte value, at every alignment and
// short length, for every variant; nothing outside the range is touched.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "matcher/search_param.h"
#include "matcher_test_support.h"

namespace tw::test {
namespace {

std::uint8_t rule(std::uint8_t b) {
    return (b >= 0x41 && b <= 0x5A) ? static_cast<std::uint8_t>(b | 0x20) : b;
}

class LowerCase : public ::testing::TestWithParam<Isa> {
protected:
    void SetUp() override {
        scope_ = std::make_unique<IsaScope>(GetParam());
        ASSERT_TRUE(scope_->ok());
    }
    void TearDown() override { scope_.reset(); }
    std::unique_ptr<IsaScope> scope_;
};

// Every byte value passes through every lane position: the range holds the
// 256 values rotated by `shift`, at start alignment 0..15 and length 0..48;
// 16 sentinel bytes of capitals on each side must stay.
TEST_P(LowerCase, AllByteValuesEveryAlignmentAndLength) {
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
                    const std::uint8_t want = inside ? rule(static_cast<std::uint8_t>(shift + (buf + i - start))) : 'Q';
                    ASSERT_EQ(buf[i], want) << "align " << align << " len " << len << " shift " << shift
                                            << " index " << i;
                }
            }
        }
    }
}

TEST_P(LowerCase, NeighboursOfTheLetterRangesStay) {
    alignas(16) std::uint8_t b[16] = {0x40, 0x41, 0x5A, 0x5B, 0x60, 0x61, 0x7A, 0x7B,
                                      0x80, 0xC9, 0xFF, 0x00, 0xC1, 0xDA, 0x20, 0x4D};
    const std::uint8_t want[16] = {0x40, 0x61, 0x7A, 0x5B, 0x60, 0x61, 0x7A, 0x7B,
                                   0x80, 0xC9, 0xFF, 0x00, 0xC1, 0xDA, 0x20, 0x6D};
    make_lower_case_asm(16, b);
    EXPECT_EQ(std::memcmp(b, want, 16), 0);
}

TEST_P(LowerCase, TwoBytesBeforeABoundary) {
    alignas(16) std::uint8_t b[32];
    std::memset(b, 'A', sizeof b);
    make_lower_case_asm(2, b + 13);
    for (std::size_t i = 0; i < 32; ++i) EXPECT_EQ(b[i], (i == 13 || i == 14) ? 'a' : 'A') << i;
}

// Long ranges with the end at an inaccessible page (and, under the sanitizer,
// exactly sized allocations) for starts at several alignments.
TEST_P(LowerCase, LongRangesEndingAtTheEndOfMemory) {
    for (std::size_t len : {1u, 15u, 16u, 17u, 31u, 32u, 33u, 63u, 64u, 65u, 1000u, 4097u}) {
        std::vector<std::uint8_t> src(len);
        for (std::size_t i = 0; i < len; ++i) src[i] = static_cast<std::uint8_t>(i * 37 + len);
        GuardedBytes g(len);
        ASSERT_TRUE(g.ok());
        std::memcpy(g.data(), src.data(), len);
        make_lower_case_asm(len, g.data());
        ExactBytes e(src.data(), len);
        make_lower_case_asm(len, e.data());
        for (std::size_t i = 0; i < len; ++i) {
            ASSERT_EQ(g.data()[i], rule(src[i])) << "len " << len << " index " << i;
            ASSERT_EQ(e.data()[i], rule(src[i])) << "len " << len << " index " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllIsas, LowerCase, ::testing::ValuesIn(supported_isas()),
                         [](const ::testing::TestParamInfo<Isa>& info) { return matcher_isa_name(info.param); });

}  // namespace
}  // namespace tw::test
