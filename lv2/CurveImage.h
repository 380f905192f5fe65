// The inline display's picture of the curve: the 128 points as the editor
// draws them (output level falling from the top), with the points the shaper
// used last on the left and right channel marked. Drawn into plain ARGB32
// pixels owned here, without a graphics library.
#pragma once

#include "lv2/InlineDisplay.h"

#include <cstdint>
#include <vector>

namespace DitherCrunchLv2 {

class CurveImage
{
public:
    static constexpr uint32_t kBackground = 0xFF1C1C1C;
    static constexpr uint32_t kGrid = 0xFF343434;
    static constexpr uint32_t kCurve = 0xFFE90000;
    static constexpr uint32_t kLeft = 0xFF4060FF;
    static constexpr uint32_t kRight = 0xFF00FF00;
    static constexpr uint32_t kLeftColumn = 0xFF26367A;
    static constexpr uint32_t kRightColumn = 0xFF1E5C1E;
    // Larger requests are drawn at this size.
    static constexpr uint32_t kMaxSide = 1024;

    // [UI thread] Draws `curve` (128 points; 0 is full level, 128 silence)
    // with the left and right marks into an image `width` wide and at most
    // `maxHeight` tall (square when there is room). Null for an empty size.
    // The image stays valid until the next call.
    const LV2_Inline_Display_Image_Surface* render(const int32_t* curve, int32_t left, int32_t right, uint32_t width,
                                                   uint32_t maxHeight);

    // The row of a point's value in an image `height` tall.
    static int rowOf(int32_t value, int height);
    // The first column of point `index` in an image `width` wide.
    static int columnOf(int index, int width) { return index * width / 128; }

private:
    void fill(int x0, int x1, int y0, int y1, uint32_t colour);

    std::vector<uint32_t> pixels;
    LV2_Inline_Display_Image_Surface surface{};
};

} // namespace DitherCrunchLv2
