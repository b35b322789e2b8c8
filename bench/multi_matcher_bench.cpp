// Speed of the multi-pattern matcher over a 64 MiB text in memory, against
// the baseline of one single-pattern scan per pattern over the same text,
// for each instruction-set variant.
//
// Text: readable files under /usr/share/doc concatenated in path order
// (repeated if short) up to 64 MiB. Pattern sets:
//   1, 2, 4: forms of one word: ASCII (accents dropped), UTF-8, UTF-16LE,
//            UTF-16BE, the first 1, 2 or 4 of them; "rare" is résumé, "common"
//            is thé (the ASCII form "the" is the commonest English word);
//   16, 64:  the text's own words: "common" the most frequent words of three
//            letters or more, "rare" words of seven letters or more seen
//            between 2 and 20 times.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "bench/english_text.h"
#include "bench/multi_bench_setup.h"
#include "matcher/isa.h"
#include "matcher/multi_match.h"
#include "matcher/search_param.h"

namespace {

constexpr std::size_t kTextSize = 64u << 20;

const std::vector<std::uint8_t>& text() {
    static const std::vector<std::uint8_t> out = bench_text::english_text(kTextSize);
    return out;
}

using Bytes = std::vector<std::uint8_t>;

Bytes utf16(const std::u16string& s, bool big_endian) {
    Bytes out;
    for (char16_t c : s) {
        const auto lo = static_cast<std::uint8_t>(c), hi = static_cast<std::uint8_t>(c >> 8);
        out.push_back(big_endian ? hi : lo);
        out.push_back(big_endian ? lo : hi);
    }
    return out;
}

std::vector<Bytes> forms(const char* ascii, const char* utf8, const std::u16string& u16) {
    return {Bytes(ascii, ascii + std::strlen(ascii)), Bytes(utf8, utf8 + std::strlen(utf8)), utf16(u16, false),
            utf16(u16, true)};
}

// The text's words: the n commonest of three letters or more, or n of
// seven letters or more seen 2 to 20 times.
std::vector<Bytes> words(std::size_t n, bool common) {
    const std::vector<std::uint8_t>& t = text();
    std::map<std::string, std::size_t> count;
    std::string w;
    for (std::size_t i = 0; i < (8u << 20); ++i) {
        const auto b = t[i];
        if ((b | 0x20) >= 'a' && (b | 0x20) <= 'z') {
            w.push_back(static_cast<char>(b));
        } else if (!w.empty()) {
            ++count[w];
            w.clear();
        }
    }
    std::vector<std::pair<std::size_t, std::string>> ranked;
    for (const auto& [word, c] : count) {
        if (common ? word.size() >= 3 : (word.size() >= 7 && c >= 2 && c <= 20)) ranked.push_back({c, word});
    }
    std::sort(ranked.rbegin(), ranked.rend());
    std::vector<Bytes> out;
    for (std::size_t i = 0; i < ranked.size() && out.size() < n; ++i) {
        out.emplace_back(ranked[i].second.begin(), ranked[i].second.end());
    }
    return out;
}

void bm_multi(benchmark::State& state, std::vector<Bytes> pats, tw::Isa isa) {
    tw::MultiMatcher mm;
    if (!prepare_multi(state, pats, isa, mm)) return;
    const std::vector<std::uint8_t>& t = text();
    std::vector<tw::MultiOccurrence> out(8192);
    std::uint64_t found = 0;
    for (auto _ : state) {
        found = 0;
        for (std::size_t begin = 0; begin < t.size();) {
            const tw::MultiScanResult r = mm.scan(t.data(), t.size(), begin, t.size(), 0, out.data(), out.size());
            found += r.count;
            begin = r.next;
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(t.size()));
    state.counters["occurrences"] = static_cast<double>(found);
    tw::reset_matcher_isa();
}

// The single-pattern matcher once per pattern over the whole text.
void bm_baseline(benchmark::State& state, std::vector<Bytes> pats, tw::Isa isa) {
    if (!tw::set_matcher_isa(isa)) {
        state.SkipWithError("variant not supported");
        return;
    }
    const std::vector<std::uint8_t>& t = text();
    std::vector<std::vector<std::uint8_t>> stored(pats.begin(), pats.end());
    std::vector<tw::SearchParam> blocks(pats.size());
    static std::vector<std::uint64_t> occ(8192);
    for (std::size_t i = 0; i < pats.size(); ++i) {
        tw::SearchParam& sr = blocks[i];
        sr.STR_START = reinterpret_cast<std::uint64_t>(stored[i].data());
        sr.STR_END = sr.STR_START + stored[i].size();
        sr.EOL_CHAR = 10;
        if (tw::init_tw_search(sr) != 0) {
            state.SkipWithError("pattern refused");
            return;
        }
        sr.TEXT_START = reinterpret_cast<std::uint64_t>(t.data());
        sr.TEXT_END = sr.TEXT_START + t.size();
        sr.OCC_START = reinterpret_cast<std::uint64_t>(occ.data());
        sr.OCC_END = sr.OCC_START + occ.size() * 8;
    }
    std::uint64_t found = 0;
    for (auto _ : state) {
        found = 0;
        for (tw::SearchParam& sr : blocks) {
            sr.TEXT_PTR = sr.TEXT_START;
            do {
                sr.OCC_PTR = sr.OCC_START;
                tw::search_asm(&sr);
                found += (sr.OCC_PTR - sr.OCC_START) / 8;
            } while (sr.SEARCH_RESULT == tw::TW_END_OCC);
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(t.size()));
    state.counters["occurrences"] = static_cast<double>(found);
    tw::reset_matcher_isa();
}

void register_all() {
    const std::vector<Bytes> rare4 = forms("resume", "r\xc3\xa9sum\xc3\xa9", u"r\u00e9sum\u00e9");
    const std::vector<Bytes> common4 = forms("the", "th\xc3\xa9", u"th\u00e9");
    struct Set {
        std::string name;
        std::vector<Bytes> pats;
    };
    std::vector<Set> sets;
    for (std::size_t n : {1, 2, 4}) {
        sets.push_back({std::to_string(n) + "/rare", {rare4.begin(), rare4.begin() + static_cast<long>(n)}});
        sets.push_back({std::to_string(n) + "/common", {common4.begin(), common4.begin() + static_cast<long>(n)}});
    }
    for (std::size_t n : {16, 64}) {
        sets.push_back({std::to_string(n) + "/rare", words(n, false)});
        sets.push_back({std::to_string(n) + "/common", words(n, true)});
    }
    for (const Set& s : sets) {
        for (tw::Isa isa : {tw::Isa::Scalar, tw::Isa::Sse2, tw::Isa::Avx2}) {
            if (!tw::matcher_isa_supported(isa) || (isa == tw::Isa::Scalar && s.pats.size() > 4)) continue;
            const std::string suffix = s.name + "/" + tw::matcher_isa_name(isa);
            benchmark::RegisterBenchmark(("multi/" + suffix).c_str(), bm_multi, s.pats, isa)->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("baseline/" + suffix).c_str(), bm_baseline, s.pats, isa)
                ->Unit(benchmark::kMillisecond);
        }
    }
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
