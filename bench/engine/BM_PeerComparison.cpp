// Dithercrunch against a trivial peer effect, Debian's DPF MaBitcrush, both
// loaded as a host loads them (dlopen, entry, open, processReplacing through
// the effect record). Each iteration runs eight 512-frame blocks through one
// effect and then the same eight through the other, so both see the same
// machine state; time is the thread's CPU time, so other processes sharing
// the machine do not count. The counters give ns per stereo frame of each and
// their ratio.
#include "bench/engine/BenchSignal.h"
#include "bench/engine/LoadedEffect.h"
#include "bench/engine/TurnTiming.h"
#include "frame/VstRecords.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const char* const kPeerPath = "/usr/lib/vst/MaBitcrush-vst.so";
constexpr VstInt32 kBlock = 512;
constexpr float kRate = 44100.0f;
// Blocks of signal cycled through, so that no block repeats within the
// branch predictor's reach; 64 blocks of stereo floats stay within L2.
constexpr size_t kSignalBlocks = 64;
// Blocks per effect and turn.
constexpr size_t kTurnBlocks = 8;

// Uniform white noise with an RMS level of -10 dBFS (peak 0.5477).
std::vector<float> whiteNoise(size_t frames, uint32_t seed)
{
    const double peak = std::pow(10.0, -10.0 / 20.0) * std::sqrt(3.0);
    std::vector<float> out(frames);
    uint32_t state = seed;
    for (auto& v : out)
    {
        state = state * 1664525u + 1013904223u;
        v = static_cast<float>((static_cast<double>(state >> 8) / 8388608.0 - 1.0) * peak);
    }
    return out;
}

enum Signal
{
    kWhiteNoise = 0,
    kMusicLike = 1,
};
enum Setting
{
    kDefaults = 0,
    kBothFilters = 1,
};

// Arguments: signal, setting.
void BM_PeerComparison(benchmark::State& state)
{
    if (!std::filesystem::exists(kPeerPath))
    {
        state.SkipWithError((std::string("skipped: peer effect not installed: ") + kPeerPath + " (Debian package dpf-plugins-vst)").c_str());
        return;
    }
    // DC_BENCH_PLUGIN names another build of the module to compare (e.g. an older one).
    const char* ourPath = std::getenv("DC_BENCH_PLUGIN");
    bench::LoadedEffect ours(ourPath && *ourPath ? ourPath : DC_PLUGIN_PATH, kRate, kBlock);
    bench::LoadedEffect peer(kPeerPath, kRate, kBlock);
    if (!ours.ok() || !peer.ok())
    {
        state.SkipWithError("an effect could not be loaded");
        return;
    }
    const auto signal = static_cast<Signal>(state.range(0));
    const auto setting = static_cast<Setting>(state.range(1));
    if (setting == kBothFilters)
    {
        ours.setParameter(5, 0.5f); // pre: band-pass
        ours.setParameter(6, 0.6f);
        ours.setParameter(7, 1.0f); // post: high-pass
        ours.setParameter(8, 0.3f);
    }

    const size_t signalFrames = kSignalBlocks * kBlock;
    const std::vector<float> left = signal == kWhiteNoise ? whiteNoise(signalFrames, 1) : bench::musicLikeSignal(signalFrames, 1);
    const std::vector<float> right = signal == kWhiteNoise ? whiteNoise(signalFrames, 2) : bench::musicLikeSignal(signalFrames, 2);
    std::vector<float> outL(kBlock), outR(kBlock);
    float* out[2] = {outL.data(), outR.data()};

    const bench::TurnTimes times =
        bench::timeInTurns(state, ours, peer, kTurnBlocks, kSignalBlocks, [&](bench::LoadedEffect& effect, size_t block) {
            float* in[2] = {const_cast<float*>(left.data()) + block * kBlock, const_cast<float*>(right.data()) + block * kBlock};
            effect.process(in, out, kBlock);
        });
    const double oursTime = times.first;
    const double peerTime = times.second;
    const double frames = static_cast<double>(state.iterations()) * kTurnBlocks * kBlock;
    const double oursNs = oursTime * 1e9 / frames;
    const double peerNs = peerTime * 1e9 / frames;
    state.counters["dc_ns_per_frame"] = oursNs;
    state.counters["peer_ns_per_frame"] = peerNs;
    state.counters["ratio"] = peerNs > 0.0 ? oursNs / peerNs : 0.0;
    state.SetItemsProcessed(static_cast<int64_t>(frames));
    state.SetLabel(std::string(signal == kWhiteNoise ? "white noise -10 dBFS" : "music-like") + ", " +
                   (setting == kDefaults ? "defaults" : "band-pass pre, high-pass post"));
}

} // namespace

BENCHMARK(BM_PeerComparison)->ArgsProduct({{kWhiteNoise, kMusicLike}, {kDefaults, kBothFilters}})->UseManualTime();
