// What the peer comparisons share: the two effects loaded through their
// records, the kernel the engine is told to use, the test signals, and the
// counters that report ns per stereo frame of each and their ratio.
#pragma once

#include "bench/engine/BenchSignal.h"
#include "bench/engine/LoadedEffect.h"
#include "bench/engine/TurnTiming.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace bench {

inline const char* const kPeerPath = "/usr/lib/vst/MaBitcrush-vst.so";
constexpr float kRate = 44100.0f;
// Frames each effect processes per turn; a multiple of every block size.
constexpr size_t kTurnFrames = 32768;

enum Signal
{
    kWhiteNoise = 0,
    kMusicLike = 1,
};

// The engine's kernel by the name DITHERCRUNCH_KERNEL takes; "default" leaves
// the choice to the module (and is the only one an older module knows).
inline const char* const kKernelNames[] = {"default", "sse2", "avx2", "avx512"};

inline bool cpuRuns(const std::string& kernel)
{
#if defined(__x86_64__) || defined(__i386__)
    if (kernel == "avx2")
        return __builtin_cpu_supports("avx2");
    if (kernel == "avx512")
        return __builtin_cpu_supports("avx512f");
    return true;
#else
    return kernel == "default";
#endif
}

inline const char* signalName(int signal)
{
    return signal == kWhiteNoise ? "white noise -10 dBFS" : "music-like";
}

// Both effects loaded, ours with the kernel asked for; null after SkipWithError.
struct PeerPair
{
    std::unique_ptr<LoadedEffect> ours, peer;
    std::vector<float> left, right;

    // `block`: the largest block the effects are told they will get.
    PeerPair(benchmark::State& state, int signal, const std::string& kernel, VstInt32 block)
    {
        if (!std::filesystem::exists(kPeerPath))
        {
            state.SkipWithError((std::string("skipped: peer effect not installed: ") + kPeerPath +
                                 " (Debian package dpf-plugins-vst)").c_str());
            return;
        }
        if (!cpuRuns(kernel))
        {
            state.SkipWithError(("skipped: this CPU does not run the " + kernel + " kernel").c_str());
            return;
        }
        // The engine reads DITHERCRUNCH_KERNEL when an effect is created.
        if (kernel == "default")
            unsetenv("DITHERCRUNCH_KERNEL");
        else
            setenv("DITHERCRUNCH_KERNEL", kernel.c_str(), 1);
        // DC_BENCH_PLUGIN names another build of the module to compare (e.g. an older one).
        const char* ourPath = std::getenv("DC_BENCH_PLUGIN");
        ours = std::make_unique<LoadedEffect>(ourPath && *ourPath ? ourPath : DC_PLUGIN_PATH, kRate, block);
        unsetenv("DITHERCRUNCH_KERNEL");
        peer = std::make_unique<LoadedEffect>(kPeerPath, kRate, block);
        if (!ours->ok() || !peer->ok())
        {
            state.SkipWithError("an effect could not be loaded");
            ours.reset();
            return;
        }
        left = signal == kWhiteNoise ? whiteNoise(kTurnFrames, 1) : musicLikeSignal(kTurnFrames, 1);
        right = signal == kWhiteNoise ? whiteNoise(kTurnFrames, 2) : musicLikeSignal(kTurnFrames, 2);
    }
    explicit operator bool() const { return ours != nullptr; }
};

// The signal from `first`, as a host's input channel pointers.
struct Channels
{
    float* in[2];
    Channels(std::vector<float>& l, std::vector<float>& r, size_t first) : in{l.data() + first, r.data() + first} {}
};

} // namespace bench
