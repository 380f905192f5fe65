// The shaper's curve index from s = |v| + 1: the table lookup the chain uses
// against the literal trunc(635 * log10(s)), on the same inputs.
#include "bench/engine/BenchSignal.h"
#include "engine/ShaperIndex.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>

namespace {

// What the shaper sees at the defaults: pre-gain 0.7071, clipped to +-1.
const std::vector<float>& inputs()
{
    static const std::vector<float> s = [] {
        std::vector<float> v = bench::musicLikeSignal(4096, 3);
        for (float& x : v)
            x = std::fabs(std::clamp(x * 0.70710677f, -1.0f, 1.0f)) + 1.0f;
        return v;
    }();
    return s;
}

inline int32_t literal(float s)
{
    const auto i = static_cast<int32_t>(635.0 * std::log10(static_cast<double>(s)));
    return i > 127 ? 127 : (i < 0 ? 0 : i);
}

void BM_ShaperIndex_Table(benchmark::State& state)
{
    const auto& s = inputs();
    for (auto _ : state)
        for (float v : s)
        {
            int32_t i = ShaperIndex::indexOf(v);
            benchmark::DoNotOptimize(i);
        }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(s.size()));
}

void BM_ShaperIndex_Literal(benchmark::State& state)
{
    const auto& s = inputs();
    for (auto _ : state)
        for (float v : s)
        {
            int32_t i = literal(v);
            benchmark::DoNotOptimize(i);
        }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(s.size()));
}

} // namespace

BENCHMARK(BM_ShaperIndex_Table);
BENCHMARK(BM_ShaperIndex_Literal);
