// The filter-type switch: segment presses, muting by pressing the selected
// segment, the left edge, drawing states and the gesture around each press.
#include "tests/editor/EditorTestSupport.h"

#include "editor/CMuteableHorizontalSwitch.h"

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
                      PressCase{"HalfReadsAsLowPassSoLeftMutes", 0.5f, 10, 0.0f},
                      PressCase{"RightmostPixelIsHighPass", 0.0f, 59.9, 1.0f}),
    [](const auto& info) { return std::string(info.param.name); });

using Switch = EditorFixture;

TEST_F(Switch, DrawnStateTruncatesThreeTimesTheValue)
{
    openEditor();
    auto* sw = dynamic_cast<CMuteableHorizontalSwitch*>(editor->getParameterControl(5));
    ASSERT_NE(sw, nullptr);
    EXPECT_EQ(sw->stateOf(0.0f), 0);
    EXPECT_EQ(sw->stateOf(1.0f / 3.0f), 1);
    EXPECT_EQ(sw->stateOf(2.0f / 3.0f), 2);
    EXPECT_EQ(sw->stateOf(1.0f), 3);
    EXPECT_EQ(sw->stateOf(0.5f), 1);
    // State 1 lights the left segment of the artwork; state 0 lights none.
    editor->setParameter(5, 0.5f);
    frame()->redrawAll();
    const uint32_t lit = pixel(6 + 4, 153 + 8);
    editor->setParameter(5, 0.0f);
    frame()->redrawAll();
    EXPECT_NE(pixel(6 + 4, 153 + 8), lit);
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
