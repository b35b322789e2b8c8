// Internal: how common each byte is, for the kernels that test the rarest
// pattern bytes first (the single-pattern scan and the multi-pattern filter).
#pragma once

#include <cstdint>

namespace tw::detail {

// How common each byte is in files of all kinds, from 0 (the most common)
// up: 0 and the spaces and letters of text first, then digits, punctuation,
// capitals; other control bytes, then bytes above 0x7F (0xFF excepted), last.
struct ByteRanks {
    std::uint8_t rank[256];
    constexpr ByteRanks() : rank{} {
        const char common[] =
            "\0 etaoinsrhldcum\nfpgwyb,.vk\xff_01();=\"-/\t*2ETSAICRNOLDPM\r3456789x{}<>:'#jqz"
            "BFGHUWYVKJQXZ[]&|!+@$%^~`?\\";
        for (int b = 0; b < 256; ++b) rank[b] = b >= 0x80 ? 250 : 200;
        for (unsigned i = 0; i + 1 < sizeof common; ++i) {
            rank[static_cast<std::uint8_t>(common[i])] = static_cast<std::uint8_t>(i);
        }
    }
};
inline constexpr ByteRanks kByteRanks{};

}  // namespace tw::detail
