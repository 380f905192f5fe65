// The curve channel on the control and notify ports: patch:Set applies and is
// echoed, patch:Get answers, the last indices and the inline display follow
// the audio at most every 30 ms, and malformed input changes nothing.
#include "lv2/CurveImage.h"
#include "tests/lv2/Lv2TestSupport.h"

#include <gtest/gtest.h>

#include <lv2/atom/util.h>
#include <lv2/patch/patch.h>

#include <algorithm>
#include <cstring>

namespace dc::lv2test {
namespace {

using Kind = DitherCrunchLv2::CurveMessage::Kind;

int count(const Instance& instance, Kind kind)
{
    const auto& n = instance.notifications();
    return static_cast<int>(std::count_if(n.begin(), n.end(), [kind](const Notification& x) { return x.kind == kind; }));
}

const Notification* find(const Instance& instance, Kind kind)
{
    for (const Notification& n : instance.notifications())
        if (n.kind == kind)
            return &n;
    return nullptr;
}

Curve rampCurve()
{
    Curve c{};
    for (int i = 0; i < 128; ++i)
        c[static_cast<size_t>(i)] = (i * 5) % 129;
    return c;
}

TEST(Lv2CurveChannel, FirstRunTellsTheCurveThenOnlyChanges)
{
    Instance lv2(48000.0);
    lv2.run(0);
    const Notification* first = find(lv2, Kind::setCurve);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->points, initialCurve());
    lv2.run(64);
    EXPECT_EQ(count(lv2, Kind::setCurve), 0);

    // A set is applied in its run and told back, with the host told that
    // its session changed.
    lv2.curve(rampCurve());
    lv2.run(64);
    ASSERT_EQ(count(lv2, Kind::setCurve), 1);
    EXPECT_EQ(find(lv2, Kind::setCurve)->points, rampCurve());
    EXPECT_TRUE(std::any_of(lv2.notifications().begin(), lv2.notifications().end(),
                            [](const Notification& n) { return n.stateChanged; }));
    lv2.run(64);
    EXPECT_TRUE(lv2.notifications().empty());
}

TEST(Lv2CurveChannel, GetAnswersWithOrWithoutProperty)
{
    Instance lv2(44100.0);
    lv2.run(0);
    lv2.getCurve(5);
    lv2.run(16);
    ASSERT_EQ(count(lv2, Kind::setCurve), 1);
    EXPECT_EQ(find(lv2, Kind::setCurve)->points, initialCurve());

    ASSERT_TRUE(DitherCrunchLv2::forgeGet(lv2.eventForge(0), Bundle::get().names, 0));
    lv2.run(16);
    EXPECT_EQ(count(lv2, Kind::setCurve), 1);
    // A get of the last indices is not a get of the curve.
    ASSERT_TRUE(DitherCrunchLv2::forgeGet(lv2.eventForge(0), Bundle::get().names, Bundle::get().names.lastIndex));
    lv2.run(16);
    EXPECT_EQ(count(lv2, Kind::setCurve), 0);
}

TEST(Lv2CurveChannel, CurveWaitsForRoomOnNotify)
{
    Instance lv2(44100.0);
    lv2.setNotifyCapacity(200);
    lv2.curve(rampCurve());
    lv2.run(32);
    EXPECT_EQ(count(lv2, Kind::setCurve), 0) << "a curve message needs more than 200 bytes";
    lv2.setNotifyCapacity(4096);
    lv2.run(32);
    ASSERT_EQ(count(lv2, Kind::setCurve), 1);
    EXPECT_EQ(find(lv2, Kind::setCurve)->points, rampCurve());
}

// Malformed input of every kind leaves curve and sound as they were and
// brings no echo. The reference instance gets no events at all.
TEST(Lv2CurveChannel, MalformedInputIsIgnored)
{
    Bundle& b = Bundle::get();
    const auto& names = b.names;
    Instance lv2(44100.0), reference(44100.0);
    lv2.run(0);
    reference.run(0);

    auto vectorSet = [&](Instance& target, LV2_URID property, uint32_t childSize, LV2_URID childType, uint32_t n) {
        static const int64_t zeros[256] = {};
        LV2_Atom_Forge& f = target.eventForge(0);
        LV2_Atom_Forge_Frame frame;
        lv2_atom_forge_object(&f, &frame, 0, names.patchSet);
        lv2_atom_forge_key(&f, names.patchProperty);
        lv2_atom_forge_urid(&f, property);
        lv2_atom_forge_key(&f, names.patchValue);
        lv2_atom_forge_vector(&f, childSize, childType, n, zeros);
        lv2_atom_forge_pop(&f, &frame);
    };
    vectorSet(lv2, names.curve, 4, names.atomInt, 127);
    vectorSet(lv2, names.curve, 4, names.atomInt, 129);
    vectorSet(lv2, names.curve, 4, b.urids.map(LV2_ATOM__Float), 128);
    vectorSet(lv2, names.curve, 8, b.urids.map(LV2_ATOM__Long), 128);
    vectorSet(lv2, b.urids.map("urn:example:other"), 4, names.atomInt, 128);
    // A set without a value, a set of a string, a number instead of an object.
    {
        LV2_Atom_Forge& f = lv2.eventForge(0);
        LV2_Atom_Forge_Frame frame;
        lv2_atom_forge_object(&f, &frame, 0, names.patchSet);
        lv2_atom_forge_key(&f, names.patchProperty);
        lv2_atom_forge_urid(&f, names.curve);
        lv2_atom_forge_pop(&f, &frame);
        lv2_atom_forge_int(&lv2.eventForge(0), 7);
        lv2_atom_forge_string(&lv2.eventForge(0), "curve", 5);
    }
    // MIDI too short for a control change.
    const uint8_t shortCc[2] = {0xB0, 70};
    lv2.rawEvent(0, names.midiEvent, 2, shortCc, 2);
    lv2.rawEvent(0, names.midiEvent, 0, shortCc, 0);
    // Last, an event whose size claims more than the sequence holds.
    const uint8_t body[16] = {};
    lv2.rawEvent(0, names.atomObject, 4000, body, sizeof body);

    std::vector<float> in(256, 0.4f), outL(256), outR(256), refL(256), refR(256);
    lv2.run(in.data(), in.data(), outL.data(), outR.data(), 256);
    reference.run(in.data(), in.data(), refL.data(), refR.data(), 256);
    EXPECT_EQ(count(lv2, Kind::setCurve), 0);
    EXPECT_EQ(outL, refL);
    EXPECT_EQ(outR, refR);
    EXPECT_EQ(curveOf(lv2), initialCurve());
}

TEST(Lv2CurveChannel, ControlPortNotASequenceIsIgnored)
{
    Instance lv2(44100.0);
    lv2.curve(rampCurve());
    // The host's buffer claims another type: nothing in it is read.
    lv2.controlAtom()->type = Bundle::get().urids.map(LV2_ATOM__Chunk);
    lv2.run(0);
    EXPECT_EQ(curveOf(lv2), initialCurve());
}

// The indices the shaper used last reach notify when they change, at most
// every 30 ms of audio; so do the inline display's redraw requests.
TEST(Lv2CurveChannel, LastIndicesAndRedrawsAtMostEvery30ms)
{
    const double rate = 44100.0;
    const uint32_t throttle = static_cast<uint32_t>(rate * 0.030);
    Instance lv2(rate, true);
    std::vector<float> left(64, 0.5f), right(64, 1.0f);
    lv2.run(left.data(), right.data(), nullptr, nullptr, 64);
    const Notification* first = find(lv2, Kind::setLastIndex);
    ASSERT_NE(first, nullptr);
    // 0.5 and 1.0 after the default pre-gain of 0.7071: points 83 and 127.
    EXPECT_EQ(first->points[0], 83);
    EXPECT_EQ(first->points[1], 127);
    EXPECT_EQ(lv2.queuedDraws(), 1);

    uint32_t since = 0;
    std::fill(right.begin(), right.end(), 0.5f);
    int told = 0;
    uint32_t toldAfter = 0;
    while (since < 3 * throttle && told == 0)
    {
        lv2.run(left.data(), right.data(), nullptr, nullptr, 64);
        since += 64;
        if (const Notification* n = find(lv2, Kind::setLastIndex))
        {
            ++told;
            toldAfter = since;
            EXPECT_EQ(n->points[0], 83);
            EXPECT_EQ(n->points[1], 83);
        }
    }
    ASSERT_EQ(told, 1);
    EXPECT_GE(toldAfter, throttle);
    EXPECT_LT(toldAfter, throttle + 64);
    EXPECT_EQ(lv2.queuedDraws(), 2);

    // Unchanged indices: nothing more, however long.
    for (int i = 0; i < 100; ++i)
    {
        lv2.run(left.data(), right.data(), nullptr, nullptr, 64);
        EXPECT_EQ(count(lv2, Kind::setLastIndex), 0);
    }
    EXPECT_EQ(lv2.queuedDraws(), 2);
    // A new curve asks for a redraw too.
    lv2.curve(rampCurve());
    lv2.run(64);
    EXPECT_EQ(lv2.queuedDraws(), 3);
}

TEST(Lv2CurveChannel, InlineDisplayRendersTheCurrentCurve)
{
    Instance lv2(44100.0, true);
    const LV2_Inline_Display_Interface* display = lv2.display();
    ASSERT_NE(display, nullptr);
    ASSERT_NE(display->render, nullptr);
    LV2_Handle handle = lilv_instance_get_handle(lv2.lilv());
    EXPECT_EQ(display->render(handle, 0, 50), nullptr);
    EXPECT_EQ(display->render(handle, 80, 0), nullptr);

    lv2.curve(rampCurve());
    lv2.run(1);
    const LV2_Inline_Display_Image_Surface* image = display->render(handle, 128, 300);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 128);
    EXPECT_EQ(image->height, 128);
    EXPECT_EQ(image->stride, 128 * 4);
    // Point 10 of the ramp is 50: its line starts at row 50 * 127 / 128.
    const auto* pixels = reinterpret_cast<const uint32_t*>(image->data);
    EXPECT_EQ(pixels[49 * 128 + 10], DitherCrunchLv2::CurveImage::kCurve);
}

} // namespace
} // namespace dc::lv2test
