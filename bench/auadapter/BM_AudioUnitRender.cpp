// Cost of the AudioUnit form: AudioUnitRender of the component (input pulled
// through a render callback, output handed out as the component's buffers)
// against calling the same effect's processReplacing directly, in one run.
#include <AudioUnit/AudioUnit.h>
#include <CoreServices/CoreServices.h>

#include "frame/VstRecords.h"

#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

namespace fs = std::filesystem;

namespace
{

constexpr double kRate = 48000.0;

std::vector<float> noise(size_t frames)
{
    std::mt19937 random(3);
    std::uniform_real_distribution<float> value(-0.5f, 0.5f);
    std::vector<float> out(frames);
    for (float& s : out)
        s = value(random);
    return out;
}

VstIntPtr master(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : opcode == audioMasterGetSampleRate ? 48000 : 0;
}

// The VST form, loaded on its own.
struct Direct
{
    AEffect* effect = nullptr;
    std::vector<float> left, right, outLeft, outRight;
    explicit Direct(size_t frames) : left(noise(frames)), right(noise(frames)), outLeft(frames), outRight(frames)
    {
        void* module = dlopen(DC_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        auto entry = module ? reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(module, "VSTPluginMain")) : nullptr;
        if (!entry)
            std::abort();
        effect = entry(&master);
        effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
        effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
        effect->dispatcher(effect, effSetBlockSize, 0, static_cast<VstIntPtr>(frames), nullptr, 0.0f);
        effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    }
    void process(VstInt32 frames)
    {
        float* in[2] = {left.data(), right.data()};
        float* out[2] = {outLeft.data(), outRight.data()};
        effect->processReplacing(effect, in, out, frames);
    }
};

struct Input
{
    std::vector<float> left, right;
};

OSStatus provide(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames, AudioBufferList* list)
{
    const auto* input = static_cast<const Input*>(refCon);
    std::memcpy(list->mBuffers[0].mData, input->left.data(), frames * sizeof(float));
    std::memcpy(list->mBuffers[1].mData, input->right.data(), frames * sizeof(float));
    return noErr;
}

// The AudioUnit form: a copy of the built bundle, opened through the platform.
struct Component
{
    AudioUnit unit = nullptr;
    Input input;
    Float64 time = 0.0;
    explicit Component(UInt32 frames) : input{noise(frames), noise(frames)}
    {
        static const fs::path home = [] {
            char pattern[] = "/tmp/dc-bench-XXXXXX";
            const fs::path folder = mkdtemp(pattern);
            setenv("HOME", folder.c_str(), 1);
            fs::copy(DC_AU_BUNDLE, folder / "DitherCrunch.component", fs::copy_options::recursive);
            return folder;
        }();
        const fs::path bundle = home / "DitherCrunch.component";
        FSRef ref{};
        FSPathMakeRef(reinterpret_cast<const UInt8*>(bundle.c_str()), &ref, nullptr);
        RegisterComponentFileRef(&ref, 0);
        ComponentDescription looking{kAudioUnitType_MusicEffect, 0, 0, 0, 0};
        ::Component found = FindNextComponent(nullptr, &looking);
        if (!found || OpenAComponent(found, &unit) != noErr)
            std::abort();
        AudioStreamBasicDescription format{kRate, kAudioFormatLinearPCM,
                                           kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved,
                                           4, 1, 4, 2, 32, 0};
        AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &format, sizeof(format));
        AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &format, sizeof(format));
        AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &frames, sizeof(frames));
        AURenderCallbackStruct callback{&provide, &input};
        AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &callback, sizeof(callback));
        AudioUnitInitialize(unit);
    }
    ~Component() { CloseComponent(unit); }
    void render(UInt32 frames)
    {
        struct
        {
            UInt32 count;
            AudioBuffer buffers[2];
        } list{2, {{1, frames * 4, nullptr}, {1, frames * 4, nullptr}}};
        AudioTimeStamp stamp{};
        stamp.mSampleTime = time;
        stamp.mFlags = kAudioTimeStampSampleTimeValid;
        time += frames;
        AudioUnitRenderActionFlags flags = 0;
        AudioUnitRender(unit, &flags, &stamp, 0, frames, reinterpret_cast<AudioBufferList*>(&list));
        benchmark::DoNotOptimize(list.buffers[0].mData);
    }
};

void BM_ProcessReplacingDirect(benchmark::State& state)
{
    const auto frames = static_cast<VstInt32>(state.range(0));
    Direct direct(static_cast<size_t>(frames));
    for (auto _ : state)
    {
        direct.process(frames);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * frames);
}

void BM_AudioUnitRender(benchmark::State& state)
{
    const auto frames = static_cast<UInt32>(state.range(0));
    Component component(frames);
    for (auto _ : state)
    {
        component.render(frames);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * frames);
}

BENCHMARK(BM_ProcessReplacingDirect)->Arg(64)->Arg(512)->Arg(4096)->MinTime(1.0)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_AudioUnitRender)->Arg(64)->Arg(512)->Arg(4096)->MinTime(1.0)->Repetitions(3)->ReportAggregatesOnly(true);

} // namespace
