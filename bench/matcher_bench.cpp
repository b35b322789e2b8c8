// Speed of the matcher alone: one 1,280,000-byte buffer in cache, scanned as
// the search driver scans a buffer (calling again after each full occurrence
// buffer), for each instruction-set variant, next to glibc memchr over the
// same buffer. Case-insensitive runs include the lower-casing of the buffer.
//
// Buffers: "text" is readable text files under /usr/share/doc concatenated
// (in path order, cut at 1,280,000 bytes); "random" is bytes from a fixed seed.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "bench/english_text.h"
#include "matcher/isa.h"
#include "matcher/search_param.h"

namespace {

constexpr std::size_t kBufferSize = 1'280'000;
constexpr std::size_t kOccBytes = 64 * 1024;

std::vector<std::uint8_t> english_text() { return bench_text::english_text(kBufferSize); }

std::vector<std::uint8_t> random_bytes() {
    std::mt19937_64 rng(20240601);
    std::vector<std::uint8_t> out(kBufferSize);
    for (auto& b : out) b = static_cast<std::uint8_t>(rng());
    return out;
}

// A 16-byte-aligned copy, as the driver's buffers are.
struct Aligned {
    explicit Aligned(const std::vector<std::uint8_t>& src)
        : bytes(new (std::align_val_t{64}) std::uint8_t[src.size()]), size(src.size()) {
        std::memcpy(bytes, src.data(), size);
    }
    ~Aligned() { operator delete[](bytes, std::align_val_t{64}); }
    Aligned(const Aligned&) = delete;
    Aligned& operator=(const Aligned&) = delete;
    std::uint8_t* bytes;
    std::size_t size;
};

Aligned& buffer(bool random, bool lowered_copy) {
    static const std::vector<std::uint8_t> text = english_text();
    static const std::vector<std::uint8_t> rnd = random_bytes();
    static Aligned text_cs(text), text_ci(text), rnd_cs(rnd), rnd_ci(rnd);
    if (random) return lowered_copy ? rnd_ci : rnd_cs;
    return lowered_copy ? text_ci : text_cs;
}

struct Variant {
    const char* name;
    std::string pattern;
    bool line_nb;
    bool case_insensitive;
    bool random;
};

void bm_matcher(benchmark::State& state, Variant v, tw::Isa isa) {
    if (!tw::set_matcher_isa(isa)) {
        state.SkipWithError("variant not supported");
        return;
    }
    Aligned& text = buffer(v.random, false);
    alignas(16) std::uint8_t pattern[64];
    std::memcpy(pattern, v.pattern.data(), v.pattern.size());
    // Case-insensitive runs fold every letter of the pattern (a pattern in
    // ASCII or UTF-8); the matcher folds the text as it compares.
    std::uint8_t fold[64];
    tw::fold_every_letter(pattern, v.pattern.size(), fold);
    static std::vector<std::uint64_t> occ(kOccBytes / 8);

    tw::SearchParam sr{};
    sr.STR_START = reinterpret_cast<std::uint64_t>(pattern);
    sr.STR_END = sr.STR_START + v.pattern.size();
    sr.EOL_CHAR = 10;
    sr.WILD_CHAR = '?';
    sr.SEARCH_KIND = (v.line_nb ? tw::KIND_LINE_NB : 0) | (v.case_insensitive ? tw::KIND_CASE_INSENSITIVE : 0) |
                     tw::KIND_WILDCARD;
    sr.FOLD_MASK = v.case_insensitive ? reinterpret_cast<std::uint64_t>(fold) : 0;
    if (tw::init_tw_search(sr) != 0) {
        state.SkipWithError("pattern refused");
        return;
    }
    sr.TEXT_START = reinterpret_cast<std::uint64_t>(text.bytes);
    sr.TEXT_END = sr.TEXT_START + text.size;
    sr.OCC_START = reinterpret_cast<std::uint64_t>(occ.data());
    sr.OCC_END = sr.OCC_START + kOccBytes;
    const std::uint64_t rec = v.line_nb ? 16 : 8;

    std::uint64_t found = 0;
    for (auto _ : state) {
        sr.TEXT_PTR = sr.TEXT_START;
        sr.LINE_COUNT = 0;
        sr.OCC_PTR = sr.OCC_START;
        found = 0;
        do {
            tw::search_asm(&sr);
            found += (sr.OCC_PTR - sr.OCC_START) / rec;
            sr.OCC_PTR = sr.OCC_START;
        } while (sr.SEARCH_RESULT == tw::TW_END_OCC);
        benchmark::DoNotOptimize(found);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size));
    state.counters["occurrences"] = static_cast<double>(found);
    tw::reset_matcher_isa();
}

// glibc memchr over the same buffer, finding every occurrence of one byte.
void bm_memchr(benchmark::State& state, bool random, unsigned char byte) {
    Aligned& text = buffer(random, false);
    std::uint64_t found = 0;
    for (auto _ : state) {
        found = 0;
        const std::uint8_t* p = text.bytes;
        const std::uint8_t* end = text.bytes + text.size;
        while (p < end) {
            const void* hit = std::memchr(p, byte, static_cast<std::size_t>(end - p));
            if (hit == nullptr) break;
            ++found;
            p = static_cast<const std::uint8_t*>(hit) + 1;
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size));
    state.counters["occurrences"] = static_cast<double>(found);
}

void register_all() {
    // name, pattern: rare first byte, common first byte, one byte, two wildcard shapes, ...
    const std::pair<const char*, const char*> patterns[] = {
        {"rare5", "Query"}, {"the", "the"}, {"e", "e"}, {"a?c", "a?c"}, {"ab??ef", "ab??ef"},
        // rare, but beginning with a common letter; 40 bytes of text
        {"common_first", "exceptionally"}, {"long40", "the output of the command is written to "}};
    std::vector<Variant> variants;
    for (const auto& [name, pat] : patterns) {
        for (bool ci : {false, true}) {
            for (bool ln : {false, true}) variants.push_back({name, pat, ln, ci, false});
        }
    }
    for (bool ln : {false, true}) {
        variants.push_back({"rare5", "Query", ln, false, true});
        variants.push_back({"the", "the", ln, false, true});
    }
    for (const Variant& v : variants) {
        for (tw::Isa isa : {tw::Isa::Scalar, tw::Isa::Sse2, tw::Isa::Avx2}) {
            if (!tw::matcher_isa_supported(isa)) continue;
            const std::string name = std::string("match/") + (v.random ? "random/" : "text/") + v.name +
                                     (v.line_nb ? "/ln" : "/noln") + (v.case_insensitive ? "/ci" : "/cs") + "/" +
                                     tw::matcher_isa_name(isa);
            benchmark::RegisterBenchmark(name.c_str(), bm_matcher, v, isa);
        }
    }
    benchmark::RegisterBenchmark("memchr/text/Q", bm_memchr, false, static_cast<unsigned char>('Q'));
    benchmark::RegisterBenchmark("memchr/text/absent", bm_memchr, false, static_cast<unsigned char>(0x01));
    benchmark::RegisterBenchmark("memchr/random/Q", bm_memchr, true, static_cast<unsigned char>('Q'));
}

}  // namespace

int main(int argc, char** argv) {
    register_all();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
