// The editor at the scales a screen's resolution asks for: Xft.dpi loaded
// into the X server's resources, the window and its rectangle scaled, every
// hit test following, the curve's lines sharp; screenshots at 1x, 1.5x, 2x.
#include "tests/editor/EditorWindowFixture.h"

#include <cmath>
#include <string>

namespace
{
struct ScaleCase
{
    int dpi;
    double scale;
    const char* name;
};

class ScaledEditor : public EditorWindow, public ::testing::WithParamInterface<ScaleCase>
{
protected:
    void SetUp() override
    {
        EditorWindow::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        setServerDpi(GetParam().dpi);
        createEffect();
    }
};

TEST_P(ScaledEditor, RectangleHitTestsAndSharpLinesFollowTheScreensResolution)
{
    const double s = GetParam().scale;
    ASSERT_EQ(scale, s);
    EXPECT_EQ(width, static_cast<int>(std::ceil(300 * s)));
    EXPECT_EQ(height, static_cast<int>(std::ceil(320 * s)));
    ASSERT_TRUE(openEditor());
    pump(100);

    // The switch's middle third, the slider's far right, three curve points.
    click(36, 160);
    EXPECT_FLOAT_EQ(host->getParameter(5), 2.0f / 3.0f);
    drag(26, 25, {{150, 25}, {290, 25}});
    EXPECT_FLOAT_EQ(host->getParameter(0), 1.0f);
    drag(kCurveLeft + 10, kCurveTop + 40, {{kCurveLeft + 20, kCurveTop + 50}, {kCurveLeft + 127, kCurveTop + 127}});
    const auto chunk = host->chunk();
    EXPECT_EQ(chunkCurvePoint(chunk, 10), 40);
    EXPECT_EQ(chunkCurvePoint(chunk, 20), 50);
    EXPECT_EQ(chunkCurvePoint(chunk, 127), 127);
    hover(150, 5); // the pointer off the controls for the picture
    pump(100);

    const auto pixels = screenshot(std::string("editor-") + GetParam().name + ".png");
    ASSERT_EQ(pixels.size(), static_cast<size_t>(width * height));
    // Dashes are drawn without smoothing: a pixel of the curve area is the
    // curve's red or something that is not red at all.
    int red = 0, blurred = 0;
    for (int y = static_cast<int>(kCurveTop * s); y < static_cast<int>((kCurveTop + 128) * s); ++y)
        for (int x = static_cast<int>(kCurveLeft * s); x < static_cast<int>((kCurveLeft + 128) * s); ++x)
        {
            const uint32_t p = pixels[static_cast<size_t>(y * width + x)];
            const uint32_t r = p >> 16, g = (p >> 8) & 0xff, b = p & 0xff;
            red += p == 0xe90000;
            blurred += p != 0xe90000 && r > 0x50 && g < 0x40 && b < 0x40;
        }
    EXPECT_EQ(blurred, 0);
    // At least two rows per column, times the scale in both directions.
    EXPECT_GE(red, static_cast<int>(124 * 2 * s * s));
}

INSTANTIATE_TEST_SUITE_P(Resolutions, ScaledEditor,
                         ::testing::Values(ScaleCase{96, 1.0, "1x"}, ScaleCase{144, 1.5, "1.5x"},
                                           ScaleCase{192, 2.0, "2x"}),
                         [](const auto& info) { return std::to_string(info.param.dpi) + "dpi"; });

TEST_F(EditorWindow, TwiceTheResolutionGivesExactlyTwiceTheRectangle)
{
    const int w1 = width, h1 = height;
    setServerDpi(192);
    createEffect();
    EXPECT_EQ(width, 2 * w1);
    EXPECT_EQ(height, 2 * h1);
    // A window that is open keeps its size; the next one asks again.
    ASSERT_TRUE(openEditor());
    setServerDpi(96);
    ERect* rect = nullptr;
    host->dispatch(effEditGetRect, 0, 0, &rect);
    EXPECT_EQ(rect->right, 2 * w1);
    host->dispatch(effEditClose);
    host->dispatch(effEditGetRect, 0, 0, &rect);
    EXPECT_EQ(rect->right, w1);
}
}
