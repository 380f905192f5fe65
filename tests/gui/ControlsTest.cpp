// The standard controls driven by synthetic mouse events in a headless frame.
#include "tests/gui/WidgetTestSupport.h"

#include "gui/CAnimKnob.h"
#include "gui/CBitmap.h"
#include "gui/CHorizontalSlider.h"
#include "gui/COnOffButton.h"

#include <cmath>

namespace
{
using Strings = std::vector<std::string>;

class Controls : public WidgetFixture
{
protected:
    Controls() : track(new CBitmap(129)), handle(new CBitmap(130)), knobStrip(new CBitmap(133)), button(new CBitmap(131))
    {
    }
    ~Controls() override
    {
        for (CBitmap* b : {track, handle, knobStrip, button})
            b->forget();
    }
    // A 250-pixel track at 25,18 with a 12-pixel handle: 238 pixels of travel.
    CHorizontalSlider* slider(int32_t style = kLeft, bool freeClick = true)
    {
        auto* s = add(new CHorizontalSlider(CRect(25, 18, 275, 32), &listener, 0, CPoint(0, 0), 250, handle, track,
                                            CPoint(0, 0), style));
        s->setFreeClick(freeClick);
        return s;
    }
    CAnimKnob* knob()
    {
        return add(new CAnimKnob(CRect(16, 173, 60, 217), &listener, 6, 120, 44, knobStrip));
    }
    CBitmap* track;
    CBitmap* handle;
    CBitmap* knobStrip;
    CBitmap* button;
};

TEST_F(Controls, FreeClickSliderJumpsToThePointerAndDragsInsideOneGesture)
{
    CHorizontalSlider* s = slider();
    s->setValue(0.0f);
    EXPECT_EQ(press(25 + 6 + 119, 25), kMouseEventHandled); // the handle's centre at half travel
    EXPECT_FLOAT_EQ(s->getValue(), 0.5f);
    move(400, 25);
    EXPECT_FLOAT_EQ(s->getValue(), 1.0f);
    release(400, 25);
    EXPECT_EQ(log(), (Strings{"begin 0", "change 0 0.500000", "change 0 1.000000", "end 0"}));
}

TEST_F(Controls, ShiftDragsASliderTenTimesMoreFinelyWithoutAJump)
{
    CHorizontalSlider* s = slider();
    // 119 pixels are half the travel; the handle's centre sits at 25 + 6 + 119 v.
    const auto dragBy = [&](float from, double pixels, int32_t state) {
        s->setValue(from);
        const double x = 25 + 6 + 119 * 2 * from;
        press(x, 25, state);
        move(x + pixels, 25, state);
        release(x + pixels, 25, state);
        return s->getValue() - from;
    };
    const float coarse = dragBy(0.2f, 100, kLButton);
    const float fine = dragBy(0.2f, 100, kLButton | kShift);
    EXPECT_NEAR(coarse, 100.0f / 238.0f, 1e-6f);
    EXPECT_NEAR(fine, coarse / 10.0f, 1e-6f);
    EXPECT_NEAR(dragBy(0.5f, -238, kLButton | kShift), -0.1f, 1e-6f);

    // Shift on and off in the middle of a drag: the value never jumps.
    s->setValue(0.5f);
    press(150, 25, kLButton);
    move(160, 25, kLButton);
    const float before = s->getValue();
    move(160, 25, kLButton | kShift);
    EXPECT_FLOAT_EQ(s->getValue(), before);
    move(183.8, 25, kLButton | kShift);
    EXPECT_NEAR(s->getValue(), before + 0.01f, 1e-6f);
    move(183.8, 25, kLButton);
    EXPECT_NEAR(s->getValue(), before + 0.01f, 1e-6f) << "letting go of Shift keeps the value";
    move(207.6, 25, kLButton);
    EXPECT_NEAR(s->getValue(), before + 0.11f, 1e-6f) << "then coarse again, from there";
    release(207.6, 25);

    // A Shift press away from the handle moves nothing.
    s->setValue(0.5f);
    press(30, 25, kLButton | kShift);
    EXPECT_FLOAT_EQ(s->getValue(), 0.5f);
    release(30, 25, kLButton | kShift);
}

TEST_F(Controls, ShiftTurnsAKnobTenTimesMoreFinely)
{
    CAnimKnob* k = knob();
    binding->setKnobMode(kLinearMode);
    k->setValue(0.2f);
    press(38, 195, kLButton | kShift);
    move(38, 195 - CAnimKnob::kLinearRange / 2, kLButton | kShift);
    EXPECT_FLOAT_EQ(k->getValue(), 0.25f);
    release(38, 100, kLButton | kShift);
    binding->setKnobMode(kCircularMode);

    // Circular: a Shift press does not jump to the pointer's angle; a quarter
    // turn then moves a tenth of 90/270.
    k->setValue(0.5f);
    press(38, 180, kLButton | kShift); // the top of the knob
    EXPECT_FLOAT_EQ(k->getValue(), 0.5f);
    move(60, 195, kLButton | kShift);  // 3 o'clock
    EXPECT_NEAR(k->getValue(), 0.5f + 0.1f * 90.0f / 270.0f, 1e-5f);
    release(60, 195, kLButton | kShift);
}

TEST_F(Controls, DefaultValueNeedsExactlyLeftAndControl)
{
    CHorizontalSlider* s = slider();
    s->setDefaultValue(0.25f);
    s->setValue(1.0f);
    press(100, 25, kLButton | kControl | kShift); // not the gesture: an ordinary drag
    release(100, 25);
    EXPECT_NE(s->getValue(), 0.25f);
    log().clear();
    EXPECT_EQ(press(100, 25, kLButton | kControl), kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    EXPECT_FLOAT_EQ(s->getValue(), 0.25f);
    EXPECT_EQ(log(), (Strings{"begin 0", "change 0 0.250000", "end 0"}));
}

TEST_F(Controls, RightButtonIsNotHandledByAnyControl)
{
    slider();
    knob();
    add(new COnOffButton(CRect(88, 242, 148, 262), &listener, 3, button));
    for (auto [x, y] : {std::pair{100.0, 25.0}, {38.0, 195.0}, {100.0, 250.0}})
        EXPECT_EQ(press(x, y, kRButton), kMouseEventNotHandled);
    EXPECT_TRUE(log().empty());
}

struct AngleCase
{
    double x, y;
    float value;
};

class KnobAngle : public Controls, public ::testing::WithParamInterface<AngleCase>
{
};

// Circular mode: the value follows the pointer's angle around the centre 38,195.
TEST_P(KnobAngle, CircularPressSetsTheValueOfTheAngle)
{
    CAnimKnob* k = knob();
    binding->setKnobMode(kCircularMode);
    press(GetParam().x, GetParam().y);
    EXPECT_NEAR(k->getValue(), GetParam().value, 1e-4);
    release(GetParam().x, GetParam().y);
}

INSTANTIATE_TEST_SUITE_P(Angles, KnobAngle,
                         ::testing::Values(AngleCase{38, 180, 0.5f}, AngleCase{20, 195, 45.0f / 270.0f},
                                           AngleCase{56, 195, 225.0f / 270.0f}, AngleCase{28, 205, 0.0f},
                                           AngleCase{48, 205, 1.0f}, AngleCase{37, 210, 0.0f},
                                           AngleCase{39, 210, 1.0f}));

TEST_F(Controls, LinearKnobFollowsVerticalDragAndTheModeIsShared)
{
    CAnimKnob* k = knob();
    k->setValue(0.2f);
    AEffGUIEditor other(nullptr);
    other.setKnobMode(kLinearMode); // any editor sets it for all
    EXPECT_EQ(AEffGUIEditor::getKnobMode(), kLinearMode);
    press(38, 195);
    EXPECT_FLOAT_EQ(k->getValue(), 0.2f) << "no jump at the press";
    move(38, 195 - CAnimKnob::kLinearRange / 2);
    EXPECT_FLOAT_EQ(k->getValue(), 0.7f);
    release(38, 100);
    binding->setKnobMode(kCircularMode);
}

TEST_F(Controls, KnobShowsOneOf120FramesAndWheelIsOneGesture)
{
    CAnimKnob* k = knob();
    EXPECT_EQ(k->frameIndex(0.0f), 0);
    EXPECT_EQ(k->frameIndex(1.0f), 119);
    EXPECT_EQ(k->frameIndex(0.5f), 60);
    k->setValue(0.5f);
    EXPECT_TRUE(frame->onWheel(CPoint(38, 195), 1.0f, CButtonState()));
    EXPECT_FLOAT_EQ(k->getValue(), 0.6f);
    EXPECT_EQ(log(), (Strings{"begin 6", "change 6 0.600000", "end 6"}));
}

TEST_F(Controls, OnOffButtonTogglesEachPressAndIgnoresTheDefaultGesture)
{
    auto* b = add(new COnOffButton(CRect(88, 242, 148, 262), &listener, 3, button));
    b->setDefaultValue(1.0f);
    b->setValue(1.0f);
    EXPECT_EQ(press(100, 250), kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    EXPECT_FLOAT_EQ(b->getValue(), 0.0f);
    press(100, 250, kLButton | kControl);
    EXPECT_FLOAT_EQ(b->getValue(), 1.0f);
    b->setValue(0.7f); // from the host: drawn off, so a press turns it on
    press(100, 250);
    EXPECT_FLOAT_EQ(b->getValue(), 1.0f);
    EXPECT_EQ(log().front(), "begin 3");
    EXPECT_EQ(log().back(), "end 3");
}

}
