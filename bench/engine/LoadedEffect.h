// A VST 2.4 effect loaded the way a host loads it: dlopen, the entry point,
// open, rate, block size and resume through its record, then parameters and
// processReplacing through the record's entries.
#pragma once

#include "frame/VstRecords.h"

#include <dlfcn.h>

#include <cmath>
#include <cstdint>
#include <ctime>
#include <vector>

namespace bench {

constexpr float kRate = 44100.0f;

inline VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    switch (opcode)
    {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(kRate);
    case audioMasterGetBlockSize:
        return 4096;
    default:
        return 0;
    }
}

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
        dispatch(effSetBlockSize, 0, 4096);
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
inline std::vector<float> whiteNoise(size_t frames, uint32_t seed)
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

// CPU time of the calling thread: other processes sharing the machine do not count.
inline double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

} // namespace bench
