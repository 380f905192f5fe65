// State through lilv: what one instance saves, a fresh instance (in this
// process or in a fresh one) restores to the same ports, curve and sound;
// a state without a curve keeps the curve; a damaged curve is refused.
#include "tests/lv2/Lv2TestSupport.h"

#include <gtest/gtest.h>

#include <lv2/state/state.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/wait.h>

namespace dc::lv2test {
namespace {

using Kind = DitherCrunchLv2::CurveMessage::Kind;

// A changed instance: every port and the curve away from their defaults.
// lilv writes port values with eight decimal places: values with fewer come
// back exactly.
void change(Instance& lv2, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> value(0, 10000);
    for (uint32_t i = 0; i < DitherCrunchLv2::kNumParameterPorts; ++i)
        lv2.control(i) = static_cast<float>(value(rng)) / 10000.0f;
    Curve c{};
    for (auto& p : c)
        p = std::uniform_int_distribution<int32_t>(0, 128)(rng);
    lv2.curve(c);
    lv2.run(0);
}

std::string temporaryFolder(const char* name)
{
    const auto folder = std::filesystem::temp_directory_path() / (std::string(name) + "." + std::to_string(getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder.string();
}

TEST(Lv2State, RestoresPortsCurveAndSoundInAFreshInstance)
{
    Instance saved(48000.0);
    change(saved, 11);
    const Curve curve = curveOf(saved);
    LilvState* state = saved.save();
    ASSERT_NE(state, nullptr);

    Instance fresh(48000.0);
    fresh.run(0);
    fresh.restore(state);
    for (uint32_t i = 0; i < DitherCrunchLv2::kNumParameterPorts; ++i)
        EXPECT_EQ(fresh.control(i), saved.control(i)) << "port " << i;
    // The restored curve is told on notify at the next run.
    fresh.run(0);
    ASSERT_EQ(fresh.notifications().size(), 1u);
    EXPECT_EQ(fresh.notifications()[0].points, curve);
    EXPECT_EQ(renderSines(fresh), renderSines(saved));
    lilv_state_free(state);
}

// lv2_state_probe restores a saved state bundle in its own process and
// writes the ports, the curve and a render; they must be this process's.
TEST(Lv2State, RestoresIdenticallyInAFreshProcess)
{
    Bundle& b = Bundle::get();
    Instance saved(44100.0);
    change(saved, 12);
    const Curve curve = curveOf(saved);
    LilvState* state = saved.save();
    ASSERT_NE(state, nullptr);
    const std::string folder = temporaryFolder("dc-lv2-state");
    ASSERT_EQ(0, lilv_state_save(b.world, &b.urids.mapFeature, &b.urids.unmapFeature, state, nullptr, folder.c_str(),
                                 "state.ttl"));
    lilv_state_free(state);

    const std::string out = folder + "/probe.bin";
    const std::string command = std::string("DC_LV2_BUNDLE='") + Bundle::path() + "' '" + DC_LV2_STATE_PROBE + "' '" +
                                folder + "/state.ttl' '" + out + "'";
    ASSERT_EQ(0, std::system(command.c_str()));
    std::ifstream file(out, std::ios::binary);
    std::vector<float> ports(DitherCrunchLv2::kNumParameterPorts);
    Curve probeCurve{};
    std::vector<float> audio(4096);
    file.read(reinterpret_cast<char*>(ports.data()), static_cast<std::streamsize>(ports.size() * sizeof(float)));
    file.read(reinterpret_cast<char*>(probeCurve.data()), sizeof probeCurve);
    file.read(reinterpret_cast<char*>(audio.data()), static_cast<std::streamsize>(audio.size() * sizeof(float)));
    ASSERT_TRUE(file);
    for (uint32_t i = 0; i < DitherCrunchLv2::kNumParameterPorts; ++i)
        EXPECT_EQ(ports[i], saved.control(i)) << "port " << i;
    EXPECT_EQ(probeCurve, curve);
    EXPECT_EQ(audio, renderSines(saved));
    std::filesystem::remove_all(folder);
}

// The plug-in's own restore, fed directly.
struct Stored
{
    LV2_URID key, type;
    std::vector<uint8_t> value;
};

const void* retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags)
{
    const auto* stored = static_cast<const Stored*>(handle);
    if (!stored || key != stored->key)
        return nullptr;
    *size = stored->value.size();
    *type = stored->type;
    *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    return stored->value.data();
}

TEST(Lv2State, MissingOrDamagedCurveKeepsTheCurve)
{
    Bundle& b = Bundle::get();
    Instance lv2(44100.0);
    const auto* iface =
        static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(lv2.lilv(), LV2_STATE__interface));
    ASSERT_NE(iface, nullptr);
    LV2_Handle handle = lilv_instance_get_handle(lv2.lilv());

    // No curve in the state: nothing changes.
    EXPECT_EQ(iface->restore(handle, retrieve, nullptr, 0, nullptr), LV2_STATE_SUCCESS);

    // A vector body of the right type but the wrong length, element type or
    // element size; and another atom type altogether.
    auto vectorOf = [&](uint32_t childSize, LV2_URID childType, size_t bytes) {
        Stored s{b.names.curve, b.names.atomVector, std::vector<uint8_t>(8 + bytes)};
        std::memcpy(s.value.data(), &childSize, 4);
        std::memcpy(s.value.data() + 4, &childType, 4);
        return s;
    };
    for (const Stored& damaged :
         {vectorOf(4, b.names.atomInt, 127 * 4), vectorOf(4, b.names.atomInt, 129 * 4),
          vectorOf(4, b.urids.map(LV2_ATOM__Float), 128 * 4), vectorOf(2, b.names.atomInt, 128 * 4),
          Stored{b.names.curve, b.names.atomInt, std::vector<uint8_t>(8 + 512)}})
        EXPECT_EQ(iface->restore(handle, retrieve, const_cast<Stored*>(&damaged), 0, nullptr),
                  LV2_STATE_ERR_BAD_TYPE);
    EXPECT_EQ(curveOf(lv2), initialCurve());

    // The well-formed vector applies, its points kept within 0 to 128.
    Stored good = vectorOf(4, b.names.atomInt, 128 * 4);
    const int32_t extremes[2] = {-5, 1000};
    std::memcpy(good.value.data() + 8, extremes, sizeof extremes);
    EXPECT_EQ(iface->restore(handle, retrieve, &good, 0, nullptr), LV2_STATE_SUCCESS);
    const Curve restored = curveOf(lv2);
    EXPECT_EQ(restored[0], 0);
    EXPECT_EQ(restored[1], 128);
    EXPECT_EQ(restored[2], 0);
}

TEST(Lv2State, DefaultStateIsTheInitialCurve)
{
    Bundle& b = Bundle::get();
    // The plug-in's description is read when it is instantiated.
    Instance lv2(44100.0);
    LilvNode* uri = lilv_new_uri(b.world, DitherCrunchLv2::kPluginUri);
    LilvState* state = lilv_state_new_from_world(b.world, &b.urids.mapFeature, uri);
    lilv_node_free(uri);
    ASSERT_NE(state, nullptr);
    Curve other = initialCurve();
    other[0] = 3;
    lv2.curve(other);
    lv2.run(0);
    lv2.restore(state);
    EXPECT_EQ(curveOf(lv2), initialCurve());
    lilv_state_free(state);
}

} // namespace
} // namespace dc::lv2test
