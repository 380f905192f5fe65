// Dithercrunch against a trivial peer effect, Debian's DPF MaBitcrush, both
// loaded as a host loads them (dlopen, entry, open, processReplacing through
// the effect record). Each iteration runs one 512-frame block through each
// effect in turn, so both see the same machine state; the counters give ns
// per stereo frame of each and their ratio.
#include "bench/engine/BenchSignal.h"
#include "frame/VstRecords.h"

#include <benchmark/benchmark.h>

#include <dlfcn.h>

#include <chrono>
#include <cmath>
#include <cstdint>
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

double seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Arguments: signal, setting.
void BM_PeerComparison(benchmark::State& state)
{
    if (!std::filesystem::exists(kPeerPath))
    {
        state.SkipWithError((std::string("skipped: peer effect not installed: ") + kPeerPath + " (Debian package dpf-plugins-vst)").c_str());
        return;
    }
    LoadedEffect ours(DC_PLUGIN_PATH);
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

    const size_t frames = kSignalBlocks * kBlock;
    const std::vector<float> left = signal == kWhiteNoise ? whiteNoise(frames, 1) : bench::musicLikeSignal(frames, 1);
    const std::vector<float> right = signal == kWhiteNoise ? whiteNoise(frames, 2) : bench::musicLikeSignal(frames, 2);
    std::vector<float> outL(kBlock), outR(kBlock);
    float* out[2] = {outL.data(), outR.data()};

    using Clock = std::chrono::steady_clock;
    Clock::duration oursTime{}, peerTime{};
    size_t block = 0;
    for (auto _ : state)
    {
        float* in[2] = {const_cast<float*>(left.data()) + block * kBlock, const_cast<float*>(right.data()) + block * kBlock};
        block = (block + 1) % kSignalBlocks;
        const auto t0 = Clock::now();
        ours.process(in, out, kBlock);
        benchmark::ClobberMemory();
        const auto t1 = Clock::now();
        peer.process(in, out, kBlock);
        benchmark::ClobberMemory();
        const auto t2 = Clock::now();
        oursTime += t1 - t0;
        peerTime += t2 - t1;
        state.SetIterationTime(seconds(t1 - t0));
    }
    const double blocks = static_cast<double>(state.iterations());
    const double oursNs = seconds(oursTime) * 1e9 / (blocks * kBlock);
    const double peerNs = seconds(peerTime) * 1e9 / (blocks * kBlock);
    state.counters["dc_ns_per_frame"] = oursNs;
    state.counters["peer_ns_per_frame"] = peerNs;
    state.counters["ratio"] = peerNs > 0.0 ? oursNs / peerNs : 0.0;
    state.SetItemsProcessed(state.iterations() * kBlock);
    state.SetLabel(std::string(signal == kWhiteNoise ? "white noise -10 dBFS" : "music-like") + ", " +
                   (setting == kDefaults ? "defaults" : "band-pass pre, high-pass post"));
}

} // namespace

BENCHMARK(BM_PeerComparison)->ArgsProduct({{kWhiteNoise, kMusicLike}, {kDefaults, kBothFilters}})->UseManualTime();
