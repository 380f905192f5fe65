// The LV2 form's run against the VST form's processReplacing, both from the
// built binaries as hosts load them: the bundle through lilv, the VST module
// through VSTPluginMain and its record. Each iteration runs eight blocks
// through one and then the same eight through the other, so both see the
// same machine state; time is the thread's CPU time. The counters give ns
// per stereo frame of each and their ratio (LV2 over VST).
#include "bench/engine/BenchSignal.h"
#include "bench/engine/LoadedEffect.h"
#include "bench/engine/TurnTiming.h"
#include "frame/VstRecords.h"
#include "lv2/DitherCrunchLv2.h"

#include <benchmark/benchmark.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

constexpr double kRate = 44100.0;
constexpr size_t kSignalBlocks = 64;
constexpr size_t kTurnBlocks = 8;

class Lv2Effect
{
public:
    Lv2Effect()
    {
        map = {this, [](LV2_URID_Map_Handle h, const char* uri) {
                   auto& ids = static_cast<Lv2Effect*>(h)->ids;
                   return ids.emplace(uri, static_cast<LV2_URID>(ids.size() + 1)).first->second;
               }};
        world = lilv_world_new();
        LilvNode* bundle = lilv_new_file_uri(world, nullptr, DC_LV2_BUNDLE_DIR "/");
        lilv_world_load_bundle(world, bundle);
        lilv_node_free(bundle);
        LilvNode* uri = lilv_new_uri(world, DitherCrunchLv2::kPluginUri);
        const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
        lilv_node_free(uri);
        const LV2_Feature mapFeature{LV2_URID__map, &map};
        const LV2_Feature* features[] = {&mapFeature, nullptr};
        instance = plugin ? lilv_plugin_instantiate(plugin, kRate, features) : nullptr;
        if (!instance)
            return;
        lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, controls);
        for (uint32_t i = 0; i < DitherCrunchLv2::kNumParameterPorts; ++i)
            lilv_instance_connect_port(instance, i, &controls[i]);
        control.atom = {sizeof(LV2_Atom_Sequence_Body), map.map(map.handle, LV2_ATOM__Sequence)};
        lilv_instance_connect_port(instance, DitherCrunchLv2::kPortControl, &control);
        lilv_instance_connect_port(instance, DitherCrunchLv2::kPortNotify, notify.data());
        lilv_instance_activate(instance);
    }
    ~Lv2Effect()
    {
        if (instance)
        {
            lilv_instance_deactivate(instance);
            lilv_instance_free(instance);
        }
        lilv_world_free(world);
    }
    bool ok() const { return instance != nullptr; }
    float& port(uint32_t i) { return controls[i]; }
    void process(float** in, float** out, uint32_t frames)
    {
        lilv_instance_connect_port(instance, DitherCrunchLv2::kPortInL, in[0]);
        lilv_instance_connect_port(instance, DitherCrunchLv2::kPortInR, in[1]);
        lilv_instance_connect_port(instance, DitherCrunchLv2::kPortOutL, out[0]);
        lilv_instance_connect_port(instance, DitherCrunchLv2::kPortOutR, out[1]);
        reinterpret_cast<LV2_Atom*>(notify.data())->size = static_cast<uint32_t>(notify.size() - sizeof(LV2_Atom));
        lilv_instance_run(instance, frames);
    }

private:
    std::unordered_map<std::string, LV2_URID> ids;
    LV2_URID_Map map;
    LilvWorld* world = nullptr;
    LilvInstance* instance = nullptr;
    float controls[DitherCrunchLv2::kNumPorts] = {};
    LV2_Atom_Sequence control{};
    alignas(8) std::vector<uint8_t> notify = std::vector<uint8_t>(8192);
};

std::vector<float> noise(size_t frames, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-0.5477f, 0.5477f); // -10 dBFS RMS
    std::vector<float> v(frames);
    for (auto& s : v)
        s = d(rng);
    return v;
}

// Arguments: signal (0 white noise, 1 music-like), setting (0 defaults, 1 both
// filters), block length.
void BM_Lv2RunAgainstVst(benchmark::State& state)
{
    const auto block = static_cast<uint32_t>(state.range(2));
    Lv2Effect lv2;
    bench::LoadedEffect vst(DC_PLUGIN_PATH, static_cast<float>(kRate), static_cast<VstInt32>(block));
    if (!lv2.ok() || !vst.ok())
    {
        state.SkipWithError("a form could not be loaded");
        return;
    }
    if (state.range(1) == 1)
        for (auto [index, value] : {std::pair{5, 0.5f}, std::pair{6, 0.6f}, std::pair{7, 1.0f}, std::pair{8, 0.3f}})
        {
            lv2.port(static_cast<uint32_t>(index)) = value;
            vst.setParameter(index, value);
        }
    const size_t frames = kSignalBlocks * block;
    const std::vector<float> left = state.range(0) == 0 ? noise(frames, 1) : bench::musicLikeSignal(frames, 1);
    const std::vector<float> right = state.range(0) == 0 ? noise(frames, 2) : bench::musicLikeSignal(frames, 2);
    std::vector<float> outL(block), outR(block);
    float* out[2] = {outL.data(), outR.data()};

    const bench::TurnTimes times =
        bench::timeInTurns(state, lv2, vst, kTurnBlocks, kSignalBlocks, [&](auto& effect, size_t index) {
            const size_t at = index * block;
            float* in[2] = {const_cast<float*>(left.data()) + at, const_cast<float*>(right.data()) + at};
            effect.process(in, out, block);
        });
    const double lv2Time = times.first;
    const double vstTime = times.second;
    const double total = static_cast<double>(state.iterations()) * kTurnBlocks * block;
    state.counters["lv2_ns_per_frame"] = lv2Time * 1e9 / total;
    state.counters["vst_ns_per_frame"] = vstTime * 1e9 / total;
    state.counters["ratio"] = vstTime > 0.0 ? lv2Time / vstTime : 0.0;
    state.SetLabel(std::string(state.range(0) == 0 ? "white noise" : "music-like") + ", " +
                   (state.range(1) == 0 ? "defaults" : "both filters") + ", " + std::to_string(block) + " frames");
}

} // namespace

BENCHMARK(BM_Lv2RunAgainstVst)->ArgsProduct({{0, 1}, {0, 1}, {64, 512, 2048}})->UseManualTime();

namespace {

// What a run costs beyond the audio: a block of 0 frames through each form
// (the LV2 one with the host's port connections and notify reset).
void BM_EmptyBlock(benchmark::State& state)
{
    Lv2Effect lv2;
    bench::LoadedEffect vst(DC_PLUGIN_PATH, static_cast<float>(kRate), 512);
    if (!lv2.ok() || !vst.ok())
    {
        state.SkipWithError("a form could not be loaded");
        return;
    }
    std::vector<float> buffers(4 * 512);
    float* in[2] = {buffers.data(), buffers.data() + 512};
    float* out[2] = {buffers.data() + 1024, buffers.data() + 1536};
    const bool lv2Form = state.range(0) == 0;
    for (auto _ : state)
    {
        if (lv2Form)
            lv2.process(in, out, 0);
        else
            vst.process(in, out, 0);
    }
    state.SetLabel(lv2Form ? "LV2 run" : "VST processReplacing");
}

} // namespace

BENCHMARK(BM_EmptyBlock)->Arg(0)->Arg(1);
