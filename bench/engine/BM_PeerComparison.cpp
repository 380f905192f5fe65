// Dithercrunch against a trivial peer effect, Debian's DPF MaBitcrush, both
// loaded as a host loads them (dlopen, entry, open, processReplacing through
// the effect record). Each iteration runs eight 512-frame blocks through one
// effect and then the same eight through the other, so both see the same
// machine state; time is the thread's CPU time, so other processes sharing
// the machine do not count. The counters give ns per stereo frame of each and
// their ratio.
#include "bench/engine/BenchSignal.h"
#include "frame/VstRecords.h"

#include <benchmark/benchmark.h>

#include <dlfcn.h>

#include <ctime>
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

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    switch (opcode)
    {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(kRate);
    case audioMasterGetBlockSize:
        return kBlock;
    default:
        return 0;
    }
}

// One effect module loaded and opened through its record.
class LoadedEffect
{
public:
    explicit LoadedEffect(const char* path)
    {
        module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (!module)
            return;
        using Entry = AEffect* (*)(audioMasterCallback);
        void* symbol = dlsym(module, "VSTPluginMain");
        if (!symbol)
            symbol = dlsym(module, "main");
        if (!symbol)
            return;
        effect = reinterpret_cast<Entry>(symbol)(&hostCallback);
        if (!effect)
            return;
        dispatch(effOpen);
        dispatch(effSetSampleRate, 0, 0, nullptr, kRate);
        dispatch(effSetBlockSize, 0, kBlock);
        dispatch(effMainsChanged, 0, 1);
    }
    ~LoadedEffect()
    {
        if (effect)
        {
            dispatch(effMainsChanged, 0, 0);
            dispatch(effClose);
        }
        if (module)
            dlclose(module);
    }
    LoadedEffect(const LoadedEffect&) = delete;
    LoadedEffect& operator=(const LoadedEffect&) = delete;

    bool ok() const { return effect != nullptr && effect->processReplacing != nullptr; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f)
    {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
    void setParameter(VstInt32 index, float value) { effect->setParameter(effect, index, value); }
    void process(float** in, float** out, VstInt32 frames) { effect->processReplacing(effect, in, out, frames); }

private:
    void* module = nullptr;
    AEffect* effect = nullptr;
};

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

double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

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
    LoadedEffect ours(ourPath && *ourPath ? ourPath : DC_PLUGIN_PATH);
    LoadedEffect peer(kPeerPath);
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

    double oursTime = 0.0, peerTime = 0.0;
    size_t first = 0;
    auto turn = [&](LoadedEffect& effect) {
        for (size_t b = 0; b < kTurnBlocks; ++b)
        {
            const size_t block = (first + b) % kSignalBlocks;
            float* in[2] = {const_cast<float*>(left.data()) + block * kBlock, const_cast<float*>(right.data()) + block * kBlock};
            effect.process(in, out, kBlock);
            benchmark::ClobberMemory();
        }
    };
    for (auto _ : state)
    {
        const double t0 = threadSeconds();
        turn(ours);
        const double t1 = threadSeconds();
        turn(peer);
        const double t2 = threadSeconds();
        first = (first + kTurnBlocks) % kSignalBlocks;
        oursTime += t1 - t0;
        peerTime += t2 - t1;
        state.SetIterationTime(t1 - t0);
    }
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
