#include "lv2/CurveImage.h"

#include "lv2/DitherCrunchLv2.h"

#include <algorithm>

namespace DitherCrunchLv2 {

int CurveImage::rowOf(int32_t value, int height)
{
    const int32_t v = std::clamp<int32_t>(value, 0, 128);
    return static_cast<int>(static_cast<int64_t>(v) * (height - 1) / 128);
}

void CurveImage::fill(int x0, int x1, int y0, int y1, uint32_t colour)
{
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, surface.width);
    y1 = std::min(y1, surface.height);
    for (int y = y0; y < y1; ++y)
        std::fill(pixels.begin() + y * surface.width + x0, pixels.begin() + y * surface.width + std::max(x0, x1), colour);
}

const LV2_Inline_Display_Image_Surface* CurveImage::render(const int32_t* curve, int32_t left, int32_t right,
                                                           uint32_t width, uint32_t maxHeight)
{
    if (!curve || width == 0 || maxHeight == 0)
        return nullptr;
    const int w = static_cast<int>(std::min(width, kMaxSide));
    const int h = static_cast<int>(std::min({maxHeight, width, kMaxSide}));
    pixels.assign(static_cast<size_t>(w) * h, kBackground);
    surface.width = w;
    surface.height = h;
    surface.stride = w * 4;
    surface.data = reinterpret_cast<unsigned char*>(pixels.data());

    // Quarter-level guides.
    for (int q = 1; q < 4; ++q)
        fill(0, w, rowOf(32 * q, h), rowOf(32 * q, h) + 1, kGrid);

    auto column = [w](int i) { return std::pair{columnOf(i, w), std::max(columnOf(i + 1, w), columnOf(i, w) + 1)}; };
    // The columns of the marked points, full height; one shared column
    // shows both colours in alternate rows.
    const bool leftShown = left >= 0 && left < kCurvePoints;
    const bool rightShown = right >= 0 && right < kCurvePoints;
    if (leftShown)
        fill(column(left).first, column(left).second, 0, h, kLeftColumn);
    if (rightShown)
    {
        const auto [x0, x1] = column(right);
        for (int y = (leftShown && left == right) ? 1 : 0; y < h; y += (leftShown && left == right) ? 2 : 1)
            fill(x0, x1, y, y + 1, kRightColumn);
    }

    // Each point a level line two pixels thick, joined to the previous one.
    int previous = rowOf(curve[0], h);
    for (int i = 0; i < kCurvePoints; ++i)
    {
        const auto [x0, x1] = column(i);
        const int y = std::min(rowOf(curve[i], h), h - 2 >= 0 ? h - 2 : 0);
        const uint32_t colour = (leftShown && i == left) ? kLeft : ((rightShown && i == right) ? kRight : kCurve);
        fill(x0, x0 + 1, std::min(previous, y), std::max(previous, y) + 2, kCurve);
        fill(x0, x1, y, y + 2, colour);
        previous = y;
    }
    return &surface;
}

} // namespace DitherCrunchLv2
