// What one instance costs a host that never opens its editor: the time of
// VSTPluginMain + effOpen + effClose, and the heap one live instance holds
// (mallinfo2, over a batch of instances kept open together). Dithercrunch is
// measured in the same run as Debian's DPF MaBitcrush and SoulForce, all
// loaded the way a host loads them.
#include "frame/VstRecords.h"

#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <malloc.h>

#include <array>
#include <cstddef>

namespace
{

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    switch (opcode)
    {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetSampleRate:
        return 48000;
    case audioMasterGetBlockSize:
        return 512;
    default:
        return 0;
    }
}

using Entry = AEffect* (*)(audioMasterCallback);

// One module, loaded once for the whole run as a host keeps it loaded.
class Module
{
public:
    explicit Module(const char* path)
    {
        handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return;
        void* symbol = dlsym(handle, "VSTPluginMain");
        if (!symbol)
            symbol = dlsym(handle, "main"); // the older name, all Debian's DPF records export
        entry = reinterpret_cast<Entry>(symbol);
    }
    ~Module()
    {
        if (handle)
            dlclose(handle);
    }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    AEffect* create() const
    {
        AEffect* effect = entry ? entry(&hostCallback) : nullptr;
        if (effect)
            effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
        return effect;
    }
    static void destroy(AEffect* effect) { effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f); }
    bool ok() const { return entry != nullptr; }

private:
    void* handle = nullptr;
    Entry entry = nullptr;
};

const char* path(int which)
{
    switch (which)
    {
    case 0: return DC_PLUGIN_PATH;
    case 1: return "/usr/lib/vst/MaBitcrush-vst.so";
    default: return "/usr/lib/vst/SoulForce-vst.so";
    }
}

const char* const kNames[] = {"DitherCrunch", "MaBitcrush", "SoulForce"};

// Heap bytes one live instance holds: a batch of instances created together,
// divided by their number, after a first instance has set up whatever the
// module keeps for the whole process.
double heapPerInstance(const Module& module)
{
    constexpr size_t kBatch = 32;
    Module::destroy(module.create());
    std::array<AEffect*, kBatch> batch{};
    const size_t before = mallinfo2().uordblks;
    for (auto& effect : batch)
        effect = module.create();
    const size_t after = mallinfo2().uordblks;
    for (AEffect* effect : batch)
        if (effect)
            Module::destroy(effect);
    return after > before ? static_cast<double>(after - before) / kBatch : 0.0;
}

void BM_CreateAndClose(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    state.SetLabel(kNames[which]);
    Module module(path(which));
    if (!module.ok())
    {
        state.SkipWithError("module not found");
        return;
    }
    for (auto _ : state)
    {
        AEffect* effect = module.create();
        benchmark::DoNotOptimize(effect);
        if (effect)
            Module::destroy(effect);
    }
    state.counters["heap_kB"] = heapPerInstance(module) / 1024.0;
}
BENCHMARK(BM_CreateAndClose)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->MinTime(0.5);

} // namespace
