// The factory presets: each LV2 preset in the bundle restores every port and
// the curve of its table entry, and renders exactly like its FXP twin loaded
// into the VST form the way vsthost --preset loads it. The README lists them.
#include "resources/presets/FactoryPresets.h"
#include "tests/lv2/Lv2TestSupport.h"
#include "tools/vsthost/EffectSession.h"

#include <gtest/gtest.h>

#include <lv2/presets/presets.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

namespace dc::lv2test {
namespace {

std::string fxpFolder()
{
    const char* installed = std::getenv("DC_PRESETS_DIR");
    return installed && *installed ? installed : DC_PRESETS_DIR;
}

LilvState* presetState(const std::string& name)
{
    Bundle& b = Bundle::get();
    LilvNode* uri =
        lilv_new_uri(b.world, (DitherCrunchLv2::kPresetUriPrefix + FactoryPresets::slug(name)).c_str());
    lilv_world_load_resource(b.world, uri);
    LilvState* state = lilv_state_new_from_world(b.world, &b.urids.mapFeature, uri);
    lilv_node_free(uri);
    return state;
}

class Lv2Preset : public ::testing::TestWithParam<FactoryPresets::Preset>
{
};

TEST_P(Lv2Preset, RestoresEveryPortAndTheCurve)
{
    const FactoryPresets::Preset& preset = GetParam();
    LilvState* state = presetState(preset.name);
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(std::string(lilv_state_get_label(state)), preset.name);
    Instance lv2(44100.0);
    // Start away from the preset: it must set everything itself.
    for (uint32_t i = 0; i < DitherCrunchLv2::kNumParameterPorts; ++i)
        lv2.control(i) = 0.123f;
    Curve other{};
    lv2.curve(other);
    lv2.run(0);
    lv2.restore(state);
    lilv_state_free(state);
    for (uint32_t i = 0; i < DitherCrunchLv2::kNumParameterPorts; ++i)
        EXPECT_EQ(lv2.control(i), preset.parameters[i]) << "port " << i;
    const Curve curve = curveOf(lv2);
    EXPECT_TRUE(std::equal(curve.begin(), curve.end(), preset.curve.begin()));
}

TEST_P(Lv2Preset, RendersLikeItsFxpTwin)
{
    const FactoryPresets::Preset& preset = GetParam();
    EffectSession vst(TestHost::pluginPath(), 44100.0, 2048);
    EXPECT_TRUE(vst.loadPreset(fxpFolder() + "/" + preset.name + ".fxp")) << "applied with adjustments";
    char name[kVstMaxProgNameLen + 1] = {};
    vst.plugIn().dispatch(effGetProgramName, 0, 0, name, 0.0f);
    EXPECT_EQ(std::string(name), preset.name == "Init" ? "Init 1" : preset.name);

    LilvState* state = presetState(preset.name);
    ASSERT_NE(state, nullptr);
    Instance lv2(44100.0);
    lv2.run(0);
    lv2.restore(state);
    lilv_state_free(state);
    const std::vector<float> lv2Out = renderSines(lv2);

    std::vector<float> l(2048), r(2048), vstOut(4096);
    for (size_t i = 0; i < l.size(); ++i)
    {
        l[i] = std::sin(0.01f * static_cast<float>(i));
        r[i] = 0.8f * std::sin(0.013f * static_cast<float>(i));
    }
    float* in[2] = {l.data(), r.data()};
    float* out[2] = {vstOut.data(), vstOut.data() + 2048};
    vst.plugIn().processReplacing(in, out, 2048);
    EXPECT_EQ(0, std::memcmp(lv2Out.data(), vstOut.data(), vstOut.size() * sizeof(float)));
    // A preset is heard: not silence, and within full scale.
    float peak = 0.0f;
    for (float v : lv2Out)
        peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.01f);
    EXPECT_LE(peak, 1.0f);
}

INSTANTIATE_TEST_SUITE_P(Factory, Lv2Preset, ::testing::ValuesIn(FactoryPresets::all()),
                         [](const auto& info) {
                             std::string s = FactoryPresets::slug(info.param.name);
                             for (char& c : s)
                                 c = c == '-' ? '_' : c;
                             return s;
                         });

TEST(Lv2FactoryPresets, BundleListsEachOnceAndTheReadmeNamesThem)
{
    Bundle& b = Bundle::get();
    LilvNode* presetClass = lilv_new_uri(b.world, LV2_PRESETS__Preset);
    LilvNodes* listed = lilv_plugin_get_related(b.plugin, presetClass);
    lilv_node_free(presetClass);
    std::set<std::string> uris;
    LILV_FOREACH (nodes, i, listed)
        uris.insert(lilv_node_as_uri(lilv_nodes_get(listed, i)));
    lilv_nodes_free(listed);
    const auto& all = FactoryPresets::all();
    ASSERT_GE(all.size(), 9u) << "Init and at least eight designed curves";
    EXPECT_EQ(all.front().name, "Init");
    EXPECT_EQ(uris.size(), all.size());
    for (const auto& preset : all)
        EXPECT_EQ(uris.count(DitherCrunchLv2::kPresetUriPrefix + FactoryPresets::slug(preset.name)), 1u)
            << preset.name;

    std::ifstream readme(DC_SOURCE_DIR "/README.md");
    std::stringstream text;
    text << readme.rdbuf();
    for (const auto& preset : all)
        EXPECT_NE(text.str().find("**" + preset.name + "**"), std::string::npos)
            << preset.name << " is not in the README's preset list";
}

TEST(Lv2FactoryPresets, InitIsTheFreshEffect)
{
    const FactoryPresets::Preset& init = FactoryPresets::all().front();
    EXPECT_EQ(init.curve, initialCurve());
    VstTwin fresh(44100.0, 512);
    for (int i = 0; i < FactoryPresets::kParameters; ++i)
        EXPECT_EQ(init.parameters[static_cast<size_t>(i)], fresh.getParameter(i)) << "parameter " << i;
}

} // namespace
} // namespace dc::lv2test
