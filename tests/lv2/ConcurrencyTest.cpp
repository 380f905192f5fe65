// The plug-in's calls from other threads beside run: restore (the plug-in
// declares thread-safe restore), save and the inline display's render, as
// Ardour makes them from its GUI thread while audio runs. Also built with
// ThreadSanitizer by scripts/lv2-check.sh.
#include "tests/lv2/Lv2TestSupport.h"

#include <gtest/gtest.h>

#include <lv2/state/state.h>

#include <atomic>
#include <cstring>
#include <random>
#include <thread>

namespace dc::lv2test {
namespace {

struct CurveState
{
    LV2_URID key, vector;
    int32_t body[2 + DitherCrunchLv2::kCurvePoints];
};

const void* retrieveCurve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags)
{
    const auto* s = static_cast<const CurveState*>(handle);
    if (key != s->key)
        return nullptr;
    *size = sizeof s->body;
    *type = s->vector;
    *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    return s->body;
}

LV2_State_Status storeAnything(LV2_State_Handle handle, uint32_t, const void* value, size_t size, uint32_t, uint32_t)
{
    auto* sum = static_cast<int64_t*>(handle);
    const auto* bytes = static_cast<const uint8_t*>(value);
    for (size_t i = 0; i < size; ++i)
        *sum += bytes[i];
    return LV2_STATE_SUCCESS;
}

TEST(Lv2Concurrency, RestoreSaveAndRenderBesideRun)
{
    Instance lv2(48000.0, true);
    lv2.run(0);
    Bundle& b = Bundle::get();
    LV2_Handle handle = lilv_instance_get_handle(lv2.lilv());
    const auto* state =
        static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(lv2.lilv(), LV2_STATE__interface));
    const LV2_Inline_Display_Interface* display = lv2.display();
    ASSERT_TRUE(state && display);

    std::atomic<bool> audioDone{false};
    std::thread ui([&] {
        CurveState curve{b.names.curve, b.names.atomVector, {}};
        curve.body[0] = sizeof(int32_t);
        curve.body[1] = static_cast<int32_t>(b.names.atomInt);
        int64_t saved = 0;
        for (int round = 0; !audioDone.load(); ++round)
        {
            for (int i = 0; i < DitherCrunchLv2::kCurvePoints; ++i)
                curve.body[2 + i] = (i + round) % 129;
            EXPECT_EQ(state->restore(handle, retrieveCurve, &curve, 0, nullptr), LV2_STATE_SUCCESS);
            EXPECT_EQ(state->save(handle, storeAnything, &saved, 0, nullptr), LV2_STATE_SUCCESS);
            EXPECT_NE(display->render(handle, 64, 48), nullptr);
        }
    });

    std::mt19937 rng(3);
    std::vector<float> l(256), r(256);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    for (int call = 0; call < 3000; ++call)
    {
        for (size_t i = 0; i < l.size(); ++i)
        {
            l[i] = noise(rng);
            r[i] = noise(rng);
        }
        if (call % 5 == 0)
        {
            Curve c{};
            c.fill(call % 129);
            lv2.curve(c);
        }
        if (call % 7 == 0)
            lv2.midi(3, 0xB0, 70, static_cast<uint8_t>(call % 128));
        lv2.run(l.data(), r.data(), l.data(), r.data(), 256);
    }
    audioDone.store(true);
    ui.join();
    // The audio thread's messages went on being told throughout.
    EXPECT_FALSE(curveOf(lv2) == Curve{});
}

} // namespace
} // namespace dc::lv2test
