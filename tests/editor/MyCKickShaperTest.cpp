// Drawing the curve with the mouse: rows, columns, edges, Shift, Alt, Command,
// double-click, release repeat, and the dashes and highlight it draws.
#include "tests/editor/EditorTestSupport.h"

#include "editor/MyCKickShaper.h"

namespace
{
class Curve : public EditorFixture
{
protected:
    void SetUp() override
    {
        EditorFixture::SetUp();
        openEditor();
        curve = editor->getCurveControl();
        effect->clearCalls();
    }
    // Both copies of the curve agree on point i.
    int32_t point(int32_t i)
    {
        EXPECT_EQ(curve->getfexi(i), effectPoint(i)) << "point " << i;
        return curve->getfexi(i);
    }
    bool isDiagonal()
    {
        for (int32_t i = 0; i < 128; ++i)
            if (effectPoint(i) != 128 - i || curve->getfexi(i) != 128 - i)
                return false;
        return true;
    }
    void scramble()
    {
        for (int32_t i = 0; i < 128; ++i)
        {
            setEffectPoint(i, 5);
            curve->setfexi(i, 5);
        }
    }
    MyCKickShaper* curve = nullptr;
};

TEST_F(Curve, NewControlHoldsTheDiagonal)
{
    MyCKickShaper fresh(CRect(70, 103, 198, 231), nullptr, 10);
    for (int32_t i = 0; i < 128; ++i)
        ASSERT_EQ(fresh.getfexi(i), 128 - i);
    EXPECT_TRUE(fresh.isTypeOf("MyCKickShaper") && fresh.isTypeOf("CControl") && fresh.isTypeOf("CView") &&
                fresh.isTypeOf("CBaseObject"));
    EXPECT_FALSE(fresh.isTypeOf("CSlider"));
}

struct MoveCase
{
    const char* name;
    double x, y;
    int32_t state;
    int32_t column, row;
};

class CurveMove : public Curve, public ::testing::WithParamInterface<MoveCase>
{
};

// A press inside at (100, 150), then one move with the case's buttons.
TEST_P(CurveMove, WritesThePointUnderThePointer)
{
    const MoveCase& c = GetParam();
    ASSERT_EQ(press(100, 150, kLButton), kMouseEventHandled);
    EXPECT_EQ(move(c.x, c.y, c.state), kMouseEventHandled);
    EXPECT_EQ(point(c.column), c.row);
    release(c.x, c.y);
    EXPECT_EQ(point(c.column), c.row) << "the release repeats the last write";
}

INSTANTIATE_TEST_SUITE_P(
    Edges, CurveMove,
    ::testing::Values(MoveCase{"LeftColumn", 70, 150, kLButton, 0, 47},
                      MoveCase{"RightEdgeIsColumn127", 198, 150, kLButton, 127, 47},
                      MoveCase{"BottomEdgeIsRow127", 100, 231, kLButton, 30, 127},
                      MoveCase{"TopEdgeIsRow0", 100, 103, kLButton, 30, 0},
                      MoveCase{"ShiftPutsThePointOnTheDiagonal", 80, 200, kLButton | kShift, 10, 118},
                      MoveCase{"ShiftAtColumn0IsLimitedTo127", 70, 200, kLButton | kShift, 0, 127},
                      MoveCase{"ShiftAtTheRightEdgeUsesTheUnlimitedColumn", 198, 200, kLButton | kShift, 127, 0},
                      MoveCase{"AltShiftDrawsAnOrdinaryPoint", 80, 200, kLButton | kAlt | kShift, 10, 97},
                      MoveCase{"ControlShiftDrawsAnOrdinaryPoint", 80, 200, kLButton | kControl | kShift, 10, 97},
                      MoveCase{"RightButtonTooStillDraws", 80, 200, kLButton | kRButton, 10, 97}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Curve, PressAloneWritesThePressedRowInItsColumn)
{
    EXPECT_EQ(press(70, 160, kLButton), kMouseEventHandled);
    EXPECT_EQ(point(0), 57);
    EXPECT_EQ(point(1), 127) << "neighbours stay";
}

TEST_F(Curve, AltResetsAtPressEveryMoveAndRelease)
{
    scramble();
    press(100, 150, kLButton | kAlt);
    EXPECT_TRUE(isDiagonal());
    scramble();
    move(110, 160, kLButton | kAlt);
    EXPECT_TRUE(isDiagonal());
    scramble();
    release(110, 160);
    EXPECT_TRUE(isDiagonal()) << "the release repeats the recorded Alt state";
}

TEST_F(Curve, DoubleClickWithAltResetsLikeASingleClick)
{
    scramble();
    press(100, 150, kLButton | kAlt | kDoubleClick);
    EXPECT_EQ(curve->getRecordedButtonState(), kLButton | kAlt);
    EXPECT_TRUE(isDiagonal());
}

TEST_F(Curve, FastDragChangesOnlyTheColumnsUnderEvents)
{
    press(80, 110, kLButton);
    move(95, 110, kLButton);
    move(120, 110, kLButton);
    release(120, 110);
    for (int32_t i = 10; i <= 50; ++i)
    {
        const bool touched = i == 10 || i == 25 || i == 50;
        EXPECT_EQ(point(i), touched ? 7 : 128 - i) << i;
    }
}

TEST_F(Curve, ReleaseOutsideRepeatsTheLastPositionInside)
{
    press(100, 150, kLButton);
    move(100, 160, kLButton);
    move(250, 300, kLButton); // outside: ignored
    EXPECT_EQ(point(30), 57);
    setEffectPoint(30, 1);
    release(250, 300);
    EXPECT_EQ(effectPoint(30), 57);
    EXPECT_EQ(point(127), 1) << "nothing written where the pointer left";
}

TEST_F(Curve, CommandClickWritesNothingAtTheClick)
{
    press(100, 150, kLButton);
    release(100, 150);
    effect->clearCalls();
    EXPECT_EQ(press(90, 120, kLButton | kControl), kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    EXPECT_EQ(point(20), 108);
    EXPECT_EQ(point(30), 47) << "the default gesture repeats the last drawn point";
    EXPECT_EQ(count(audioMasterBeginEdit, 10), 1);
    EXPECT_EQ(count(audioMasterEndEdit, 10), 1);
}

TEST_F(Curve, DragsThatNoControlTookWriteNoPoint)
{
    // A Control-press ends its gesture at once: the drag after it goes nowhere.
    press(175, 150, kLButton | kControl);
    for (double x : {176.0, 177.0, 178.0})
        EXPECT_EQ(move(x, 160, kLButton | kControl), kMouseEventNotHandled);
    release(178, 160, kLButton | kControl);
    // A press outside every control, dragged across the curve.
    press(5, 5, kLButton);
    for (double x : {80.0, 120.0, 160.0})
        move(x, 150, kLButton);
    release(160, 150);
    EXPECT_TRUE(isDiagonal());
    EXPECT_EQ(count(audioMasterEndEdit, 10), 1) << "only the Control-press opened a gesture";
}

TEST_F(Curve, GestureThatWroteTellsTheHostTheStateChanged)
{
    press(100, 150, kLButton);
    move(110, 140, kLButton);
    EXPECT_EQ(count(audioMasterUpdateDisplay, 0), 0) << "not before the gesture ends";
    release(110, 140);
    EXPECT_EQ(count(audioMasterUpdateDisplay, 0), 1);
    // Alt reset and Control repeat write points too; a press of another
    // button opens no gesture and says nothing.
    press(100, 150, kLButton | kAlt);
    release(100, 150, kLButton | kAlt);
    press(100, 150, kLButton | kControl);
    press(100, 150, kRButton);
    EXPECT_EQ(count(audioMasterUpdateDisplay, 0), 3);
}

TEST_F(Curve, CommandClickBeforeAnyDrawingLeavesTheCurveAlone)
{
    press(90, 120, kLButton | kControl);
    EXPECT_TRUE(isDiagonal());
    EXPECT_EQ(count(audioMasterUpdateDisplay, 0), 0) << "nothing was written";
}

TEST_F(Curve, GestureIsBracketedWithTag10AndNeverAutomated)
{
    press(100, 150, kLButton);
    move(101, 151, kLButton);
    EXPECT_EQ(count(audioMasterBeginEdit, 10), 1);
    EXPECT_EQ(count(audioMasterEndEdit, 10), 0);
    release(101, 151);
    EXPECT_EQ(count(audioMasterEndEdit, 10), 1);
    EXPECT_TRUE(effect->calls(audioMasterAutomate).empty());
    EXPECT_FLOAT_EQ(curve->getValue(), 0.0f);
}

TEST_F(Curve, OtherButtonsAloneAreNotHandled)
{
    for (int32_t state : {int32_t(kRButton), int32_t(kMButton), kRButton | kAlt})
        EXPECT_EQ(press(100, 150, state), kMouseEventNotHandled);
    EXPECT_EQ(count(audioMasterBeginEdit, 10), 0);
    EXPECT_TRUE(isDiagonal());
}

TEST_F(Curve, LongDragLetsTheHostIdleAtMostEvery50Ms)
{
    press(100, 150, kLButton);
    for (int i = 0; i < 200; ++i)
        move(100 + i % 20, 150, kLButton);
    release(100, 150);
    const auto idles = effect->calls(audioMasterIdle).size();
    EXPECT_GE(idles, 1u);
    EXPECT_LE(idles, 3u);
}

TEST_F(Curve, DrawsTwoPixelDashesAndHighlightsTheSignalsPoints)
{
    effect->setLastCurveIndices(20, 20);
    timerTick(); // copies the highlight
    frame()->redrawAll();
    // Point i at row 103 + v covers rows 102 + v and 103 + v of column 70 + i.
    EXPECT_EQ(pixel(70 + 5, 103 + 123), 0xe90000u);
    EXPECT_EQ(pixel(70 + 5, 102 + 123), 0xe90000u);
    EXPECT_NE(pixel(70 + 5, 104 + 123), 0xe90000u);
    EXPECT_EQ(pixel(70 + 20, 103 + 108), 0x0000ffu) << "left and right equal: blue";
    effect->setLastCurveIndices(20, 21);
    timerTick();
    frame()->redrawAll();
    EXPECT_EQ(pixel(70 + 21, 103 + 107), 0x00ff00u);
    EXPECT_EQ(pixel(70 + 20, 103 + 108), 0x0000ffu);
    EXPECT_EQ(curve->colourOf(22), MyCKickShaper::kCurveColor);
}

}

namespace
{
using CurveRedraw = Curve;

TEST_F(CurveRedraw, OnlyChangedColumnsAreDrawnAndShown)
{
    editor->idle();
    presented.clear();
    const uint64_t draws = frame()->getDrawCount();
    for (int i = 0; i < 5; ++i)
        editor->idle();
    EXPECT_TRUE(presented.empty()) << "nothing changed, nothing shown";
    EXPECT_EQ(frame()->getDrawCount(), draws);

    // The highlight moves from column 0 to 40 (left) and 90 (right).
    effect->setLastCurveIndices(40, 90);
    editor->idle();
    EXPECT_TRUE(presented.empty()) << "the highlight follows the timer, not every host idle";
    timerTick();
    EXPECT_EQ(presented, (std::vector<CRect>{{70, 103, 71, 231}, {110, 103, 111, 231}, {160, 103, 161, 231}}));
    presented.clear();
    timerTick();
    EXPECT_TRUE(presented.empty()) << "a highlight that stays is not drawn again";

    // A loaded state that changes one point redraws that column alone.
    setEffectPoint(64, 3);
    editor->setParameter(ADEditor::kEditorRefresh, 1.0f);
    editor->idle();
    EXPECT_EQ(presented, (std::vector<CRect>{{134, 103, 135, 231}}));
    EXPECT_EQ(pixel(134, 103 + 3), 0xe90000u);
}

TEST_F(CurveRedraw, DrawingADragShowsTheColumnsItWrote)
{
    editor->idle();
    presented.clear();
    press(80, 150, kLButton);
    move(81, 160, kLButton);
    move(90, 110, kLButton);
    editor->idle();
    EXPECT_EQ(presented, (std::vector<CRect>{{80, 103, 82, 231}, {90, 103, 91, 231}, {154, 243, 282, 262}}))
        << "the columns written, and the readout of the point";
    EXPECT_EQ(pixel(81, 160), 0xe90000u);
    EXPECT_EQ(pixel(90, 110), 0xe90000u);
    release(90, 110);
}
}
