// Speed of a search for several forms in one pass against the one-form
// search of today, over two files read into memory (bench/forms_bench.sh
// makes them: 1 GiB of text and 1 GiB of shared libraries back to back).
//
//   forms_bench TEXT_FILE LIBS_FILE [Google Benchmark flags]
//
// Rows, for each file and each vector variant:
//   one-form   the single-pattern matcher, "Connection" in UTF-8;
//   forms/1    the multi-pattern matcher with that one form;
//   forms/3    "Connection" in UTF-8, UTF-16LE and UTF-16BE;
//   forms/16   "Connection", "Password", "Settings" and "Timeout", each in
//              UTF-8, UTF-16LE, UTF-16BE and UTF-32LE.
// Each row reports every occurrence, so the counts of one-form and forms/1
// agree.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/multi_bench_setup.h"
#include "matcher/isa.h"
#include "matcher/multi_match.h"
#include "matcher/search_param.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Mapped {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};

// The whole file, mapped and read in once.
Mapped map_file(const char* path) {
    const int fd = open(path, O_RDONLY);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || st.st_size == 0) {
        if (fd >= 0) close(fd);
        return {};
    }
    void* p = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    close(fd);
    if (p == MAP_FAILED) return {};
    return {static_cast<const std::uint8_t*>(p), static_cast<std::size_t>(st.st_size)};
}

// One encoded form of an ASCII text: code units of `unit` bytes, little- or
// big-endian.
Bytes encode(const std::string& s, unsigned unit, bool big_endian) {
    Bytes out;
    for (char ch : s) {
        for (unsigned k = 0; k < unit; ++k) {
            const bool low = big_endian ? k == unit - 1 : k == 0;
            out.push_back(low ? static_cast<std::uint8_t>(ch) : 0);
        }
    }
    return out;
}

std::vector<Bytes> forms(const std::vector<std::string>& texts, std::size_t per_text) {
    std::vector<Bytes> out;
    for (const std::string& t : texts) {
        const Bytes all[] = {encode(t, 1, false), encode(t, 2, false), encode(t, 2, true), encode(t, 4, false)};
        out.insert(out.end(), all, all + per_text);
    }
    return out;
}

void bm_forms(benchmark::State& state, Mapped file, std::vector<Bytes> pats, tw::Isa isa) {
    tw::MultiMatcher mm;
    if (!prepare_multi(state, pats, isa, mm)) return;
    std::vector<tw::MultiOccurrence> out(8192);
    std::uint64_t found = 0;
    for (auto _ : state) {
        found = 0;
        for (std::size_t begin = 0; begin < file.size;) {
            const tw::MultiScanResult r = mm.scan(file.data, file.size, begin, file.size, 0, out.data(), out.size());
            found += r.count;
            begin = r.next;
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(file.size));
    state.counters["occurrences"] = static_cast<double>(found);
    tw::reset_matcher_isa();
}

void bm_one_form(benchmark::State& state, Mapped file, Bytes pat, tw::Isa isa) {
    if (!tw::set_matcher_isa(isa)) {
        state.SkipWithError("variant not supported");
        return;
    }
    static std::vector<std::uint64_t> occ(8192);
    tw::SearchParam sr{};
    sr.STR_START = reinterpret_cast<std::uint64_t>(pat.data());
    sr.STR_END = sr.STR_START + pat.size();
    sr.EOL_CHAR = 10;
    if (tw::init_tw_search(sr) != 0) {
        state.SkipWithError("pattern refused");
        return;
    }
    sr.TEXT_START = reinterpret_cast<std::uint64_t>(file.data);
    sr.TEXT_END = sr.TEXT_START + file.size;
    sr.OCC_START = reinterpret_cast<std::uint64_t>(occ.data());
    sr.OCC_END = sr.OCC_START + occ.size() * 8;
    std::uint64_t found = 0;
    for (auto _ : state) {
        found = 0;
        sr.TEXT_PTR = sr.TEXT_START;
        do {
            sr.OCC_PTR = sr.OCC_START;
            tw::search_asm(&sr);
            found += (sr.OCC_PTR - sr.OCC_START) / 8;
        } while (sr.SEARCH_RESULT == tw::TW_END_OCC);
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(file.size));
    state.counters["occurrences"] = static_cast<double>(found);
    tw::reset_matcher_isa();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: forms_bench TEXT_FILE LIBS_FILE [benchmark flags]\n");
        return 2;
    }
    const std::pair<const char*, Mapped> files[] = {{"text", map_file(argv[1])}, {"libs", map_file(argv[2])}};
    for (const auto& [name, f] : files) {
        if (f.data == nullptr) {
            std::fprintf(stderr, "forms_bench: cannot read the %s file\n", name);
            return 2;
        }
    }
    argv[2] = argv[0];  // Google Benchmark reads the flags that follow
    argc -= 2;
    argv += 2;
    const std::vector<std::string> texts = {"Connection", "Password", "Settings", "Timeout"};
    for (const auto& [name, f] : files) {
        for (tw::Isa isa : {tw::Isa::Sse2, tw::Isa::Avx2}) {
            if (!tw::matcher_isa_supported(isa)) continue;
            const std::string suffix = std::string("/") + name + "/" + tw::matcher_isa_name(isa);
            benchmark::RegisterBenchmark(("one-form" + suffix).c_str(), bm_one_form, f, encode(texts[0], 1, false), isa)
                ->Unit(benchmark::kMillisecond);
            for (std::size_t n : {1, 3, 16}) {
                auto pats = n == 16 ? forms(texts, 4) : forms({texts[0]}, n);
                benchmark::RegisterBenchmark(("forms/" + std::to_string(n) + suffix).c_str(), bm_forms, f, pats, isa)
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
