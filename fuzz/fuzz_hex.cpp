// The hexadecimal helpers: any text converts or reports a position inside
// it; converted bytes turn back into text that converts to the same bytes;
// a dump line has its fixed length.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/tw.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the wildcard (or none), the rest is the text.
    const tw::i64 wildcard = data[0] < 128 ? static_cast<tw::i64>(data[0]) : -1;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const char* c_text = text.c_str();  // stops at the first NUL, as the callers' texts do
    const std::size_t length = std::strlen(c_text);
    std::vector<std::uint8_t> bytes(length + 1);
    tw::u64 count = 0;
    tw::i64 err_pos = 0;
    const tw::i64 r = tw::hexa_str_to_bytes_array(c_text, bytes.data(), &count, &err_pos, wildcard);
    if (r != 0) {
        if (err_pos < 0 || static_cast<std::size_t>(err_pos) >= length) std::abort();
    } else if (err_pos != -1 || count > length) {
        std::abort();
    } else if (wildcard < 0 || (wildcard > 0 && std::strchr("0123456789abcdefABCDEF \t\r\n",
                                                          static_cast<int>(wildcard)) == nullptr)) {
        // The way back holds for the wildcards the callers allow: not a
        // digit nor a blank, which the conversion would read as such.
        std::vector<char> back(3 * count + 1);
        const tw::u64 n = tw::bytes_array_to_hexa_str(
            back.data(), bytes.data(), count,
            wildcard >= 0 ? static_cast<tw::u64>(wildcard) : ~tw::u64{0});
        if (n != std::strlen(back.data())) std::abort();
        std::vector<std::uint8_t> again(n + 1);
        tw::u64 count2 = 0;
        if (tw::hexa_str_to_bytes_array(back.data(), again.data(), &count2, &err_pos, wildcard) != 0 ||
            count2 != count || std::memcmp(again.data(), bytes.data(), count) != 0)
            std::abort();
    }
    const tw::u64 dump_count = std::min<std::size_t>(size - 1, 16);
    char line[19 + 4 * 16 + 1];
    if (tw::build_dump_line(line, dump_count, data + 1, static_cast<tw::u64>(size) * 4099) !=
        19 + 4 * dump_count)
        std::abort();
    return 0;
}
