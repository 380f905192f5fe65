// Dithercrunch against a trivial peer effect, Debian's DPF MaBitcrush, both
// loaded as a host loads them. Each iteration runs the same 32768 frames,
// in blocks of the size under test, through one effect and then the other,
// so both see the same machine state; time is the thread's CPU time. The
// counters give ns per stereo frame of each and their ratio, by block size
// and by the engine's kernel.
#include "bench/engine/PeerRun.h"

namespace {

enum Setting
{
    kDefaults = 0,
    kBothFilters = 1,
};

// Arguments: signal, setting, block size, kernel (index into kKernelNames).
void BM_PeerComparison(benchmark::State& state)
{
    const auto signal = static_cast<int>(state.range(0));
    const auto setting = static_cast<Setting>(state.range(1));
    const auto block = static_cast<VstInt32>(state.range(2));
    const std::string kernel = bench::kKernelNames[state.range(3)];
    bench::PeerPair pair(state, signal, kernel, block);
    if (!pair)
        return;
    if (setting == kBothFilters)
    {
        pair.ours->setParameter(5, 0.5f); // pre: band-pass
        pair.ours->setParameter(6, 0.6f);
        pair.ours->setParameter(7, 1.0f); // post: high-pass
        pair.ours->setParameter(8, 0.3f);
    }
    std::vector<float> outL(static_cast<size_t>(block)), outR(static_cast<size_t>(block));
    float* out[2] = {outL.data(), outR.data()};
    // Each turn walks the whole signal, block by block.
    const size_t blocks = bench::kTurnFrames / static_cast<size_t>(block);
    const bench::TurnTimes times =
        bench::timeInTurns(state, *pair.ours, *pair.peer, blocks, blocks, [&](bench::LoadedEffect& effect, size_t b) {
            bench::Channels c(pair.left, pair.right, b * static_cast<size_t>(block));
            effect.process(c.in, out, block);
        });
    const double oursTime = times.first, peerTime = times.second;
    const double frames = static_cast<double>(state.iterations()) * bench::kTurnFrames;
    const double oursNs = oursTime * 1e9 / frames;
    const double peerNs = peerTime * 1e9 / frames;
    state.counters["dc_ns_per_frame"] = oursNs;
    state.counters["peer_ns_per_frame"] = peerNs;
    state.counters["ratio"] = peerNs > 0.0 ? oursNs / peerNs : 0.0;
    state.SetItemsProcessed(static_cast<int64_t>(frames));
    state.SetLabel(std::string(bench::signalName(signal)) + ", " +
                   (setting == kDefaults ? "defaults" : "band-pass pre, high-pass post") + ", block " +
                   std::to_string(block) + ", kernel " + kernel);
}

} // namespace

BENCHMARK(BM_PeerComparison)
    ->ArgNames({"signal", "setting", "block", "kernel"})
    ->ArgsProduct({{bench::kWhiteNoise, bench::kMusicLike}, {kDefaults, kBothFilters}, {16, 32, 64, 256, 512, 4096}, {0, 1, 2, 3}})
    ->UseManualTime();
