// The matcher against its naive reference: for any pattern, options, text
// and occurrence-buffer size, every instruction-set variant finds exactly
// the occurrences (and line numbers) that comparing at each position finds,
// and never reads or writes outside its buffers.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "matcher/matcher_test_support.h"

using namespace tw;
using namespace tw::test;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    Options o;
    o.line_nb = (data[0] & 1) != 0;
    o.case_insensitive = (data[0] & 2) != 0;
    o.wildcard = (data[0] & 4) != 0;
    o.eol = (data[0] & 8) != 0 ? 13 : 10;
    o.wild = data[1];
    const std::size_t m = 1 + data[2] % 64;
    const std::size_t capacity = 1 + data[3] % 16;
    if (size < 4 + m) return 0;
    const std::vector<std::uint8_t> pattern_in(data + 4, data + 4 + m);
    const std::size_t n = size - 4 - m;

    std::vector<Record> reference;
    bool have_reference = false;
    for (Isa isa : supported_isas()) {
        IsaScope scope(isa);
        std::vector<std::uint8_t> pattern = pattern_in;
        // Case-insensitive: the positions that fold follow the high bits of
        // data[3], as a multibyte encoding's letters would.
        std::vector<std::uint8_t> fold(m);
        for (std::size_t j = 0; j < m; ++j) fold[j] = ((data[3] >> (4 + j % 4)) & 1) != 0 ? 0x20 : 0;
        SearchParam sr{};
        if (prepare(sr, pattern, o, o.case_insensitive ? fold.data() : nullptr) != 0) return 0;
        ExactBytes text(data + 4 + m, n);
        set_text(sr, text.data(), n);
        ExactBytes occ(capacity * (o.line_nb ? 16 : 8));
        sr.OCC_START = addr(occ.data());
        sr.OCC_BUF_SIZE = occ.size();
        sr.OCC_END = sr.OCC_START + occ.size();
        sr.OCC_PTR = sr.OCC_START;
        std::vector<Record> got;
        for (std::size_t calls = 0;; ++calls) {
            if (calls > n + 2) std::abort();  // the scan must progress
            search_asm(&sr);
            if (sr.OCC_PTR > sr.OCC_END) std::abort();
            for (const Record& r : records(sr)) got.push_back(r);
            sr.OCC_PTR = sr.OCC_START;
            if (sr.SEARCH_RESULT != TW_END_OCC) break;
        }
        if (!have_reference) {
            const bool wild_active = (sr.ROUTINE_INDEX & 8) != 0;
            OracleResult want = oracle(text.data(), n, 0, pattern, wild_active ? o.wild : -1,
                                       o.line_nb ? o.eol : -1, 0,
                                       o.case_insensitive ? fold.data() : nullptr);
            for (Record& r : want.records)
                if (!o.line_nb) r.line = 0;
            reference = want.records;
            have_reference = true;
        }
        if (got != reference) std::abort();
    }
    return 0;
}
