// Sample-accurate automation as hosts do it: a 512-frame block split into
// sixteen 32-frame calls with a parameter change before each, against the
// same block in one call. MaBitcrush runs the same split (its one parameter
// changing) in the same iterations, so the counters compare the cost of the
// split for both: split ns per frame over unsplit ns per frame.
#include "bench/engine/PeerRun.h"

namespace {

constexpr VstInt32 kBlock = 512;
constexpr VstInt32 kSplit = 32;

enum Automated
{
    kPreGain = 0,
    kPreCut = 6,
};

// Arguments: signal, automated parameter index, kernel (index into kKernelNames).
void BM_SplitAutomation(benchmark::State& state)
{
    const auto signal = static_cast<int>(state.range(0));
    const auto parameter = static_cast<VstInt32>(state.range(1));
    const std::string kernel = bench::kKernelNames[state.range(2)];
    bench::PeerPair pair(state, signal, kernel, kBlock);
    if (!pair)
        return;
    std::vector<float> outL(kBlock), outR(kBlock);
    float* out[2] = {outL.data(), outR.data()};
    // A ramp of values, different in every call.
    uint32_t step = 0;
    auto nextValue = [&] { return 0.3f + 0.4f * static_cast<float>(step++ % 997) / 997.0f; };
    auto whole = [&](bench::LoadedEffect& effect) {
        for (size_t first = 0; first < bench::kTurnFrames; first += kBlock)
        {
            bench::Channels c(pair.left, pair.right, first);
            effect.process(c.in, out, kBlock);
            benchmark::ClobberMemory();
        }
    };
    auto split = [&](bench::LoadedEffect& effect, VstInt32 index) {
        for (size_t first = 0; first < bench::kTurnFrames; first += kBlock)
            for (VstInt32 part = 0; part < kBlock; part += kSplit)
            {
                bench::Channels c(pair.left, pair.right, first + static_cast<size_t>(part));
                float* o[2] = {out[0] + part, out[1] + part};
                effect.setParameter(index, nextValue());
                effect.process(c.in, o, kSplit);
                benchmark::ClobberMemory();
            }
    };

    double times[4] = {};
    for (auto _ : state)
    {
        const double t0 = bench::threadSeconds();
        whole(*pair.ours);
        const double t1 = bench::threadSeconds();
        split(*pair.ours, parameter);
        const double t2 = bench::threadSeconds();
        whole(*pair.peer);
        const double t3 = bench::threadSeconds();
        split(*pair.peer, 0);
        const double t4 = bench::threadSeconds();
        times[0] += t1 - t0;
        times[1] += t2 - t1;
        times[2] += t3 - t2;
        times[3] += t4 - t3;
        state.SetIterationTime(t2 - t1);
    }
    const double frames = static_cast<double>(state.iterations()) * bench::kTurnFrames;
    auto ns = [&](int i) { return times[i] * 1e9 / frames; };
    state.counters["dc_unsplit_ns"] = ns(0);
    state.counters["dc_split_ns"] = ns(1);
    state.counters["dc_split_ratio"] = ns(0) > 0.0 ? ns(1) / ns(0) : 0.0;
    state.counters["peer_unsplit_ns"] = ns(2);
    state.counters["peer_split_ns"] = ns(3);
    state.counters["peer_split_ratio"] = ns(2) > 0.0 ? ns(3) / ns(2) : 0.0;
    state.SetItemsProcessed(static_cast<int64_t>(frames));
    state.SetLabel(std::string(bench::signalName(signal)) + ", defaults, " +
                   (parameter == kPreGain ? "PreGain" : "Pre Cut") + " in every 32-frame call, kernel " + kernel);
}

} // namespace

BENCHMARK(BM_SplitAutomation)
    ->ArgNames({"signal", "param", "kernel"})
    ->ArgsProduct({{bench::kWhiteNoise, bench::kMusicLike}, {kPreGain, kPreCut}, {0, 1, 2, 3}})
    ->UseManualTime();
