// Drawing at the screen's scale: the factor from the X resources and
// GDK_SCALE, the frame's window pixels and pointer positions, and images
// drawn smoothly while lines stay sharp.
#include "tests/gui/WidgetTestSupport.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/platform/linux/X11ScaleFactor.h"

#include <cmath>
#include <memory>

namespace
{
struct SettingsCase
{
    const char* name;
    const char* resources;
    const char* gdkScale;
    double scale;
};

class ScaleSettings : public ::testing::TestWithParam<SettingsCase>
{
};

TEST_P(ScaleSettings, PicksOneOfThreeScales)
{
    const SettingsCase& c = GetParam();
    EXPECT_EQ(scaleFactorFromSettings(c.resources, c.gdkScale), c.scale);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, ScaleSettings,
    ::testing::Values(SettingsCase{"NoResources", nullptr, nullptr, 1.0},
                      SettingsCase{"At96", "Xft.dpi:\t96\n", nullptr, 1.0},
                      SettingsCase{"Below96", "Xft.dpi:\t72\n", nullptr, 1.0},
                      SettingsCase{"SlightlyAbove96", "Xft.dpi:\t110\n", nullptr, 1.0},
                      SettingsCase{"At120", "Xft.dpi:\t120\n", nullptr, 1.5},
                      SettingsCase{"At144AmongOtherLines", "Xft.antialias:\t1\nXft.dpi:\t144\nXft.hinting:\t1\n",
                                   nullptr, 1.5},
                      SettingsCase{"At192WithoutNewline", "Xft.dpi: 192", nullptr, 2.0},
                      SettingsCase{"At288IsAtMostTwice", "Xft.dpi:\t288\n", nullptr, 2.0},
                      SettingsCase{"UnreadableDpi", "Xft.dpi:\thigh\n", nullptr, 1.0},
                      SettingsCase{"OtherResourceNamedAlike", "Xft.dpix:\t192\n", nullptr, 1.0},
                      SettingsCase{"GdkScaleOverridesUp", "Xft.dpi:\t96\n", "2", 2.0},
                      SettingsCase{"GdkScaleOverridesDown", "Xft.dpi:\t192\n", "1", 1.0},
                      SettingsCase{"GdkScaleFraction", nullptr, "1.5", 1.5},
                      SettingsCase{"GdkScaleUnreadable", "Xft.dpi:\t192\n", "big", 2.0},
                      SettingsCase{"GdkScaleEmpty", "Xft.dpi:\t144\n", "", 1.5}),
    [](const auto& info) { return std::string(info.param.name); });

// A frame without a window, at twice the size.
class ScaledFrame : public WidgetFixture
{
protected:
    ScaledFrame()
    {
        frame->forget();
        frame = new CFrame(CRect(0, 0, 300, 320), nullptr, binding, 2.0);
    }
    uint32_t pixel(int x, int y) const
    {
        cairo_surface_t* s = frame->getBackBuffer();
        cairo_surface_flush(s);
        const unsigned char* row = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
        return reinterpret_cast<const uint32_t*>(row)[x] & 0xffffff;
    }
};

TEST_F(ScaledFrame, BackBufferAndWindowPixelsAreScaled)
{
    EXPECT_EQ(cairo_image_surface_get_width(frame->getBackBuffer()), 600);
    EXPECT_EQ(cairo_image_surface_get_height(frame->getBackBuffer()), 640);
    EXPECT_EQ(frame->toWindowPixels(CRect(70, 103, 71, 231)), CRect(140, 206, 142, 462));
    CFrame oneAndAHalf(CRect(0, 0, 300, 320), nullptr, binding, 1.5);
    EXPECT_EQ(oneAndAHalf.toWindowPixels(CRect(71, 103, 72, 231)), CRect(106, 154, 108, 347)) << "rounded outwards";
}

TEST_F(ScaledFrame, PicturesAreSmoothAndLinesSharp)
{
    auto* background = new CBitmap(128);
    frame->setBackground(background);
    background->forget();
    frame->redrawAll();
    // The background's grain changes from row to row: smoothly scaled, the
    // two window rows of one image row differ; repeated, they would not.
    int rowPairsDiffering = 0;
    for (int y = 0; y < 40; ++y)
        rowPairsDiffering += pixel(4, 2 * y) != pixel(4, 2 * y + 1);
    EXPECT_GT(rowPairsDiffering, 30);

    // An aliased two-pixel dash at 2x: 2 x 4 window pixels of exactly its colour.
    CairoContextPtr cr(cairo_create(frame->getBackBuffer()));
    cairo_scale(cr.get(), 2.0, 2.0);
    CDrawContext context(cr.get());
    context.setDrawMode(kAliasing);
    context.setLineWidth(2);
    context.setFrameColor(kRedCColor);
    context.moveTo(CPoint(100, 150));
    context.lineTo(CPoint(101, 150));
    cr.reset();
    int red = 0;
    for (int y = 290; y < 310; ++y)
        for (int x = 190; x < 210; ++x)
            red += pixel(x, y) == 0xff0000;
    EXPECT_EQ(red, 8);
}
}
