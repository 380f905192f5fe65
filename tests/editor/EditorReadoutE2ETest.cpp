// The readout in a real X window: the pointer over each control shows its
// value beside the shaper button and leaves every control as it was drawn.
#include "tests/editor/EditorWindowFixture.h"

#include <cairo.h>

#include <string>

namespace
{
struct Spot
{
    const char* name;
    int x, y;
};
const Spot kSpots[] = {{"pregain", 100, 25},  {"prepan", 100, 55},    {"postgain", 100, 85},
                       {"shaper", 110, 250},  {"wetdry", 100, 287},   {"prefilter", 36, 160},
                       {"precut", 38, 195},   {"postfilter", 250, 160}, {"postcut", 252, 195},
                       {"curve", 120, 160}};
// The readout's place in the artwork.
constexpr int kLeft = 154, kTop = 243, kRight = 282, kBottom = 262;

class EditorReadout : public EditorWindow
{
protected:
    // The window's pixels inside an artwork rectangle, row by row.
    std::vector<uint32_t> area(const std::vector<uint32_t>& pixels, int l, int t, int r, int b) const
    {
        std::vector<uint32_t> out;
        for (int y = static_cast<int>(t * scale); y < static_cast<int>(b * scale); ++y)
            for (int x = static_cast<int>(l * scale); x < static_cast<int>(r * scale); ++x)
                out.push_back(pixels[static_cast<size_t>(y * width + x)]);
        return out;
    }
    void saveReadout(const std::vector<uint32_t>& pixels, const std::string& name) const
    {
        const int w = static_cast<int>((kRight - kLeft) * scale), h = static_cast<int>((kBottom - kTop) * scale);
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
        auto* data = cairo_image_surface_get_data(s);
        const std::vector<uint32_t> part = area(pixels, kLeft, kTop, kRight, kBottom);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                reinterpret_cast<uint32_t*>(data + y * cairo_image_surface_get_stride(s))[x] =
                    part[static_cast<size_t>(y * w + x)];
        cairo_surface_mark_dirty(s);
        cairo_surface_write_to_png(s, (std::string(DC_ARTIFACT_DIR) + "/" + name).c_str());
        cairo_surface_destroy(s);
    }
};

TEST_F(EditorReadout, EachControlShowsItsValueWithoutBeingCovered)
{
    for (int dpi : {96, 192})
    {
        setServerDpi(dpi);
        createEffect();
        ASSERT_TRUE(openEditor());
        pump(100);
        hover(150, 5);
        const std::vector<uint32_t> empty = grab();
        for (const Spot& spot : kSpots)
        {
            SCOPED_TRACE(spot.name);
            hover(spot.x, spot.y);
            const std::vector<uint32_t> shown = grab();
            ASSERT_EQ(shown.size(), empty.size());
            EXPECT_NE(area(shown, kLeft, kTop, kRight, kBottom), area(empty, kLeft, kTop, kRight, kBottom));
            // Everything outside the readout is as it was.
            int changedElsewhere = 0;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                {
                    const bool inReadout = x >= kLeft * scale && x < kRight * scale && y >= kTop * scale &&
                                           y < kBottom * scale;
                    const size_t i = static_cast<size_t>(y * width + x);
                    changedElsewhere += !inReadout && shown[i] != empty[i];
                }
            EXPECT_EQ(changedElsewhere, 0);
            saveReadout(shown, "readout-" + std::string(spot.name) + (dpi == 96 ? "-1x.png" : "-2x.png"));
        }
        // Dragging a knob, the whole window at this scale.
        xdotool("mousemove " + std::to_string(px(38)) + " " + std::to_string(px(180)) + " mousedown 1 mousemove " +
                std::to_string(px(56)) + " " + std::to_string(px(195)));
        pump(100);
        screenshot(dpi == 96 ? "editor-readout-1x.png" : "editor-readout-2x.png");
        xdotool("mouseup 1");
        pump(50);
        hover(150, 5);
        EXPECT_EQ(grab() == empty, false) << "the knob moved";
        host->dispatch(effEditClose);
    }
}
}
