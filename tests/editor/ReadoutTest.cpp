// The readout: the control under the pointer or being dragged, with the
// effect's own name, display text and unit; the curve point under the pointer.
#include "tests/editor/EditorTestSupport.h"

#include <string>

namespace
{
class Readout : public EditorFixture
{
protected:
    void SetUp() override
    {
        EditorFixture::SetUp();
        openEditor();
    }
    std::string text() const { return editor->getReadoutText(); }
    void hover(double x, double y) { move(x, y, 0); }
};

struct ControlCase
{
    const char* name;
    VstInt32 index;
    double x, y; // a point on the control
    const char* atDefault;
};

class ReadoutOfControl : public Readout, public ::testing::WithParamInterface<ControlCase>
{
};

TEST_P(ReadoutOfControl, ShowsTheEffectsNameDisplayTextAndUnit)
{
    const ControlCase& c = GetParam();
    hover(c.x, c.y);
    EXPECT_EQ(text(), c.atDefault);
    // Another value from the host: the readout follows at the next idle,
    // always with the effect's own display text.
    effect->setParameter(c.index, 0.73f);
    editor->idle();
    char display[64] = {};
    effect->getParameterDisplay(c.index, display);
    std::string shown = display;
    shown.erase(0, shown.find_first_not_of(' '));
    EXPECT_NE(text().find("  " + shown), std::string::npos) << text() << " / " << display;
    hover(150, 5); // no control there
    EXPECT_EQ(text(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Controls, ReadoutOfControl,
    ::testing::Values(ControlCase{"PreGain", 0, 100, 25, "PreGain  0 amt"},
                      ControlCase{"PrePan", 1, 100, 55, "PrePan  0 amt"},
                      ControlCase{"PostGain", 2, 100, 85, "PostGain  0 amt"},
                      ControlCase{"ShaperSw", 3, 110, 250, "ShaperSw  on"},
                      ControlCase{"WetDry", 4, 100, 287, "Wet Dry  100 %"},
                      ControlCase{"PreFilterType", 5, 36, 160, "Pre FlTy  off"},
                      ControlCase{"PreCutoff", 6, 38, 195, "Pre Cut  562 Hz"},
                      ControlCase{"PostFilterType", 7, 250, 160, "PostFlTy  off"},
                      ControlCase{"PostCutoff", 8, 252, 195, "Post Cut  562 Hz"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Readout, FollowsADragBeyondTheControlUntilTheRelease)
{
    press(26, 25, kLButton);
    EXPECT_EQ(text(), "PreGain  -50 amt");
    move(190, 120, kLButton); // over the curve, still dragging the slider
    EXPECT_EQ(text(), "PreGain  16 amt");
    release(190, 120);
    EXPECT_EQ(text(), "Point 120 = 8  (out 0.938)") << "now the curve is under the pointer";
    hover(5, 5);
    EXPECT_EQ(text(), "");
}

TEST_F(Readout, ShowsThePointUnderThePointerAndThePointBeingDrawn)
{
    hover(100, 200);
    EXPECT_EQ(text(), "Point 30 = 98  (out 0.234)");
    press(100, 200, kLButton);
    move(101, 120, kLButton);
    EXPECT_EQ(text(), "Point 31 = 17  (out 0.867)");
    move(101, 300, kLButton); // below the area: nothing written, the last point stays
    EXPECT_EQ(text(), "Point 31 = 17  (out 0.867)");
    release(101, 300);
    EXPECT_EQ(text(), "");
}
}
