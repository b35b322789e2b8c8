// The multi-pattern benchmarks' common start: the instruction set chosen
// and the patterns given to a matcher, or the benchmark skipped with why.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "matcher/isa.h"
#include "matcher/multi_match.h"

inline bool prepare_multi(benchmark::State& state, const std::vector<std::vector<std::uint8_t>>& pats, tw::Isa isa,
                          tw::MultiMatcher& mm) {
    if (!tw::set_matcher_isa(isa)) {
        state.SkipWithError("variant not supported");
        return false;
    }
    std::vector<tw::MultiPattern> list;
    for (const auto& p : pats) list.push_back({p, {}, false, '?'});
    if (mm.set_patterns(list) != tw::MultiError::None) {
        state.SkipWithError("patterns refused");
        return false;
    }
    return true;
}
