// The filter-type switch: segment presses, muting by pressing the selected
// segment, the left edge, drawing states and the gesture around each press.
#include "tests/editor/EditorTestSupport.h"

#include "editor/CMuteableHorizontalSwitch.h"

#include <cmath>
#include <string>
#include <vector>

namespace
{
// The Pre FlTy switch sits at 6,153 and is 60 x 16: thirds of 20 pixels.
constexpr double kLeft = 6;
constexpr double kY = 160;

struct PressCase
{
    const char* name;
    float before;
    double x; // relative to the switch's left edge
    float after;
};

class SwitchPress : public EditorFixture, public ::testing::WithParamInterface<PressCase>
{
};

TEST_P(SwitchPress, SelectsOrMutesAndTellsTheHost)
{
    const PressCase& c = GetParam();
    effect->setParameter(5, c.before);
    openEditor();
    effect->clearCalls();
    EXPECT_EQ(press(kLeft + c.x, kY, kLButton), kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    EXPECT_FLOAT_EQ(editor->getParameterControl(5)->getValue(), c.after);
    EXPECT_FLOAT_EQ(effect->getParameter(5), c.after);
    EXPECT_EQ(count(audioMasterBeginEdit, 5), 1);
    EXPECT_EQ(count(audioMasterEndEdit, 5), 1);
    const auto automated = effect->calls(audioMasterAutomate);
    ASSERT_EQ(automated.size(), 1u);
    EXPECT_FLOAT_EQ(automated[0].opt, c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Presses, SwitchPress,
    ::testing::Values(PressCase{"OffThenMiddleSelectsBandPass", 0.0f, 30, 2.0f / 3.0f},
                      PressCase{"MiddleAgainMutes", 2.0f / 3.0f, 30, 0.0f},
                      PressCase{"OffThenRightSelectsHighPass", 0.0f, 50, 1.0f},
                      PressCase{"LowPassThenLeftMutes", 1.0f / 3.0f, 10, 0.0f},
                      PressCase{"LowPassThenRightSelectsHighPass", 1.0f / 3.0f, 50, 1.0f},
                      PressCase{"LeftEdgeIsPositionZero", 1.0f / 3.0f, 0, 0.0f},
                      PressCase{"LeftEdgeWhenOffStaysOff", 0.0f, 0, 0.0f},
                      PressCase{"BoundaryBelongsToTheLeftSegment", 0.0f, 20, 1.0f / 3.0f},
                      PressCase{"HalfReadsAsBandPassSoLeftSelectsLowPass", 0.5f, 10, 1.0f / 3.0f},
                      PressCase{"HalfReadsAsBandPassSoMiddleMutes", 0.5f, 30, 0.0f},
                      PressCase{"JustBelowASixthReadsOffSoLeftSelectsLowPass", 0.1666f, 10, 1.0f / 3.0f},
                      PressCase{"RightmostPixelIsHighPass", 0.0f, 59.9, 1.0f}),
    [](const auto& info) { return std::string(info.param.name); });

using Switch = EditorFixture;

// The filter type in the effect's display text: 0 off, 1 low, 2 band, 3 high.
int displayedType(AudioEffect* effect, VstInt32 index)
{
    char text[64] = {};
    effect->getParameterDisplay(index, text);
    const std::string s = text;
    if (s == " off")
        return 0;
    if (s == " LOWPASS")
        return 1;
    if (s == " BANDPASS")
        return 2;
    return s == " HIPASS" ? 3 : -1;
}

TEST_F(Switch, ShowsTheFilterTheEffectRunsForEveryValueOfAFineSweep)
{
    openEditor();
    for (VstInt32 index : {5, 7})
    {
        auto* sw = dynamic_cast<CMuteableHorizontalSwitch*>(editor->getParameterControl(index));
        ASSERT_NE(sw, nullptr);
        std::vector<float> values;
        for (int i = 0; i <= 3000; ++i)
            values.push_back(static_cast<float>(i) / 3000.0f);
        // Both sides of every boundary, at the float's own resolution.
        for (float boundary : {1.0f / 6.0f, 0.5f, 5.0f / 6.0f})
        {
            float below = boundary, above = boundary;
            for (int step = 0; step < 4; ++step)
            {
                values.insert(values.end(), {below, above});
                below = std::nextafter(below, 0.0f);
                above = std::nextafter(above, 1.0f);
            }
        }
        for (float v : values)
        {
            effect->setParameter(index, v);
            ASSERT_EQ(sw->stateOf(sw->getValue()), displayedType(effect, index)) << "value " << v;
        }
    }
}

TEST_F(Switch, HalfDrawsTheBandPassPicture)
{
    openEditor();
    // The artwork lights one segment per state: left, middle, right.
    auto litPixel = [&](float value, int segment) {
        editor->setParameter(5, value);
        frame()->redrawAll();
        return pixel(6 + 10 + 20 * segment, 153 + 4);
    };
    const uint32_t middleLit = litPixel(2.0f / 3.0f, 1);
    const uint32_t middleDark = litPixel(0.0f, 1);
    ASSERT_NE(middleLit, middleDark);
    EXPECT_EQ(litPixel(0.5f, 1), middleLit);
    EXPECT_EQ(litPixel(0.5f, 0), litPixel(0.0f, 0)) << "the low-pass segment stays dark";
}

TEST_F(Switch, RightButtonDragAndCommandClick)
{
    openEditor();
    effect->clearCalls();
    EXPECT_EQ(press(kLeft + 30, kY, kRButton), kMouseEventNotHandled);
    EXPECT_EQ(count(audioMasterBeginEdit, 5), 0);
    EXPECT_FLOAT_EQ(effect->getParameter(5), 0.0f);

    // The default-value click is an ordinary press here.
    press(kLeft + 30, kY, kLButton | kControl);
    EXPECT_FLOAT_EQ(effect->getParameter(5), 2.0f / 3.0f);

    // Moves and releases after a press change nothing.
    press(kLeft + 50, kY, kLButton);
    move(kLeft + 10, kY, kLButton);
    release(kLeft + 10, kY);
    EXPECT_FLOAT_EQ(effect->getParameter(5), 1.0f);
}
}
