// Frames per second of the replacing process entry of the built module, as a
// host calls it: defaults, and with both filters running.
#include "bench/engine/BenchSignal.h"
#include "tests/support/TestHost.h"

#include <benchmark/benchmark.h>

namespace {

void run(benchmark::State& state, bool filtersOn)
{
    const auto frames = static_cast<VstInt32>(state.range(0));
    dc::TestHost host(dc::TestHost::pluginPath());
    if (!host.effect())
    {
        state.SkipWithError("the module created no effect");
        return;
    }
    if (filtersOn)
    {
        host.setParameter(5, 0.5f);  // pre: band-pass
        host.setParameter(6, 0.6f);
        host.setParameter(7, 0.17f); // post: low-pass
        host.setParameter(8, 0.8f);
    }
    std::vector<float> inL = bench::musicLikeSignal(static_cast<size_t>(frames), 1);
    std::vector<float> inR = bench::musicLikeSignal(static_cast<size_t>(frames), 2);
    std::vector<float> outL(inL.size()), outR(inR.size());
    float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {outL.data(), outR.data()};
    for (auto _ : state)
    {
        host.processReplacing(in, out, frames);
        benchmark::DoNotOptimize(outL.data());
        benchmark::DoNotOptimize(outR.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * frames);
}

void BM_ProcessReplacing_Defaults(benchmark::State& state)
{
    run(state, false);
}

void BM_ProcessReplacing_BothFilters(benchmark::State& state)
{
    run(state, true);
}

} // namespace

BENCHMARK(BM_ProcessReplacing_Defaults)->Arg(1)->Arg(16)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(BM_ProcessReplacing_BothFilters)->Arg(64)->Arg(512)->Arg(4096);
