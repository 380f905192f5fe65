// The inline display's image: its size within what the host allows, the
// curve's rows, the marked columns, and values outside 0 to 128 drawn at the
// edges without a write outside the image.
#include "lv2/CurveImage.h"
#include "lv2/DitherCrunchLv2.h"

#include <gtest/gtest.h>

#include <array>

namespace DitherCrunchLv2 {
namespace {

using Image = LV2_Inline_Display_Image_Surface;

uint32_t at(const Image* image, int x, int y)
{
    return reinterpret_cast<const uint32_t*>(image->data)[y * image->stride / 4 + x];
}

std::array<int32_t, kCurvePoints> flat(int32_t value)
{
    std::array<int32_t, kCurvePoints> c{};
    c.fill(value);
    return c;
}

TEST(CurveImage, SquareWithinTheHostsLimits)
{
    CurveImage image;
    const auto curve = flat(64);
    struct Size
    {
        uint32_t width, maxHeight;
        int expectedWidth, expectedHeight;
    };
    for (const Size s : {Size{128, 300, 128, 128}, Size{90, 50, 90, 50}, Size{20, 200, 20, 20},
                         Size{5000, 5000, 1024, 1024}, Size{1, 1, 1, 1}})
    {
        const Image* i = image.render(curve.data(), -1, -1, s.width, s.maxHeight);
        ASSERT_NE(i, nullptr);
        EXPECT_EQ(i->width, s.expectedWidth);
        EXPECT_EQ(i->height, s.expectedHeight);
        EXPECT_EQ(i->stride, s.expectedWidth * 4);
    }
    EXPECT_EQ(image.render(nullptr, 0, 0, 100, 100), nullptr);
}

TEST(CurveImage, CurveRowsAndMarkedColumns)
{
    CurveImage image;
    std::array<int32_t, kCurvePoints> curve{};
    for (int i = 0; i < kCurvePoints; ++i)
        curve[static_cast<size_t>(i)] = 128 - i;
    const Image* i = image.render(curve.data(), 40, 90, 256, 129);
    ASSERT_NE(i, nullptr);
    ASSERT_EQ(i->height, 129);
    // Point p spans columns 2p and 2p + 1; its value v is drawn at row v and v + 1.
    for (int p : {0, 10, 64, 127})
    {
        const int row = CurveImage::rowOf(128 - p, 129);
        const uint32_t colour = p == 40 ? CurveImage::kLeft : (p == 90 ? CurveImage::kRight : CurveImage::kCurve);
        EXPECT_EQ(at(i, 2 * p + 1, row), colour) << "point " << p;
        EXPECT_EQ(at(i, 2 * p + 1, std::min(row + 1, 128)), colour) << "point " << p;
    }
    EXPECT_EQ(at(i, 2 * 40, 0), CurveImage::kLeftColumn);
    EXPECT_EQ(at(i, 2 * 90, 0), CurveImage::kRightColumn);
    EXPECT_EQ(at(i, 2 * 50, 0), CurveImage::kBackground);

    // One point used by both channels: both colours in alternate rows.
    i = image.render(curve.data(), 20, 20, 256, 129);
    EXPECT_EQ(at(i, 40, 0), CurveImage::kLeftColumn);
    EXPECT_EQ(at(i, 40, 1), CurveImage::kRightColumn);
}

TEST(CurveImage, ValuesBeyondTheRangeStayInside)
{
    CurveImage image;
    auto curve = flat(-1000);
    curve[5] = 1 << 30;
    curve[6] = -(1 << 30);
    const Image* i = image.render(curve.data(), 500, -3, 64, 64);
    ASSERT_NE(i, nullptr);
    EXPECT_EQ(at(i, 0, 0), CurveImage::kCurve) << "below 0 is drawn as full level";
    EXPECT_EQ(at(i, CurveImage::columnOf(5, 64), 62), CurveImage::kCurve) << "above 128 as silence";
}

} // namespace
} // namespace DitherCrunchLv2
