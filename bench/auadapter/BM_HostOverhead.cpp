// Cost of hosting: processReplacing through VSTPlugIn against calling the
// effect record directly, and whole renders of a long file by the
// command-line host's pipeline, for Dithercrunch and a DPF effect.
#include "auadapter/VSTPlugIn.h"
#include "platform/SharedLibraryBundle.h"
#include "tools/vsthost/EffectSession.h"
#include "tools/vsthost/Renderer.h"
#include "tools/kit/SoundFile.h"
#include "tools/kit/SoundFileReader.h"
#include "tools/kit/SoundFileWriter.h"
#include "tools/kit/TestSignal.h"
#include "tools/vsthost/ToolHost.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <vector>

namespace
{

const char* const kDPFEffect = "/usr/lib/vst/MVerb-vst.so";

const char* pathOf(int effect)
{
    return effect == 0 ? DC_PLUGIN_PATH : kDPFEffect;
}

struct Loaded
{
    ToolHost host;
    std::unique_ptr<VSTPlugIn> plugIn;
    std::vector<std::vector<float>> in, out;
    std::vector<float*> inPointers, outPointers;

    Loaded(const char* path, int32_t block)
    {
        SharedLibraryBundle* bundle = SharedLibraryBundle::create(path);
        plugIn = std::make_unique<VSTPlugIn>(host, bundle, 48000.0f, block);
        bundle->release();
        plugIn->open();
        plugIn->setSampleRate(48000.0f);
        plugIn->setBlockSize(block);
        plugIn->resume();
        in.assign(static_cast<size_t>(plugIn->getInputCount()), std::vector<float>(static_cast<size_t>(block)));
        out.assign(static_cast<size_t>(plugIn->getOutputCount()), std::vector<float>(static_cast<size_t>(block)));
        const AudioBuffer noise = generateSignal("noise", static_cast<double>(block) / 48000.0, 1, 48000.0);
        for (auto& c : in)
        {
            c.assign(noise.samples.begin(), noise.samples.end());
            inPointers.push_back(c.data());
        }
        for (auto& c : out)
            outPointers.push_back(c.data());
    }
};

void BM_ProcessDirect(benchmark::State& state)
{
    if (!std::filesystem::exists(pathOf(static_cast<int>(state.range(0)))))
        return state.SkipWithError("effect not available");
    const int32_t block = static_cast<int32_t>(state.range(1));
    Loaded loaded(pathOf(static_cast<int>(state.range(0))), block);
    AEffect* effect = loaded.plugIn->getEffect();
    for (auto _ : state)
    {
        effect->processReplacing(effect, loaded.inPointers.data(), loaded.outPointers.data(), block);
        benchmark::DoNotOptimize(loaded.out[0][0]);
    }
    state.SetItemsProcessed(state.iterations() * block);
    state.SetLabel(state.range(0) == 0 ? "DitherCrunch" : "MVerb");
}

void BM_ProcessThroughVSTPlugIn(benchmark::State& state)
{
    if (!std::filesystem::exists(pathOf(static_cast<int>(state.range(0)))))
        return state.SkipWithError("effect not available");
    const int32_t block = static_cast<int32_t>(state.range(1));
    Loaded loaded(pathOf(static_cast<int>(state.range(0))), block);
    for (auto _ : state)
    {
        loaded.plugIn->processReplacing(loaded.inPointers.data(), loaded.outPointers.data(), block);
        benchmark::DoNotOptimize(loaded.out[0][0]);
    }
    state.SetItemsProcessed(state.iterations() * block);
    state.SetLabel(state.range(0) == 0 ? "DitherCrunch" : "MVerb");
}

// Arguments: effect (0 Dithercrunch, 1 MVerb), block size.
#define HOST_ARGS ArgsProduct({{0, 1}, {16, 64, 512}})
BENCHMARK(BM_ProcessDirect)->HOST_ARGS;
BENCHMARK(BM_ProcessThroughVSTPlugIn)->HOST_ARGS;

// The command-line host's whole render of a 60-second stereo file at 48 kHz:
// load the effect, then read, render and write in 512-frame blocks.
void BM_RenderLongFile(benchmark::State& state)
{
    const char* effect = pathOf(static_cast<int>(state.range(0)));
    if (!std::filesystem::exists(effect))
        return state.SkipWithError("effect not available");
    const auto folder = std::filesystem::temp_directory_path();
    const auto input = folder / "bm-render-input.wav";
    const auto output = folder / "bm-render-output.wav";
    constexpr double kSeconds = 60.0;
    if (!std::filesystem::exists(input))
        SoundFile::write(input, generateSignal("sweep", kSeconds, 2, 48000.0));
    for (auto _ : state)
    {
        SoundFileReader in(input);
        EffectSession session(effect, in.sampleRate(), 512);
        session.plugIn().resume();
        SoundFileWriter out(output, Container::wav, SampleFormat::float32, session.plugIn().getOutputCount(), in.sampleRate());
        Renderer renderer(session.plugIn(), session.host(), 512);
        renderer.render(in, out, {}, 0, {});
        out.finish();
    }
    std::filesystem::remove(output);
    state.counters["audio_seconds_per_second"] =
        benchmark::Counter(kSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetLabel(state.range(0) == 0 ? "DitherCrunch" : "MVerb");
}
BENCHMARK(BM_RenderLongFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
