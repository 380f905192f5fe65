// The table lookup gives the logarithm formula's index for every float s = |v| + 1.
#include "engine/ShaperIndex.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

namespace {

int32_t limitedLiteral(float s)
{
    const int32_t i = ShaperIndex::literalIndex(s);
    return i > 127 ? 127 : (i < 0 ? 0 : i);
}

TEST(ShaperIndex, EqualsTheFormulaForEveryFloatFromOneToTwo)
{
    const uint32_t first = std::bit_cast<uint32_t>(1.0f), last = std::bit_cast<uint32_t>(2.0f);
    uint32_t mismatches = 0;
    for (uint32_t u = first; u <= last; ++u)
    {
        const float s = std::bit_cast<float>(u);
        if (ShaperIndex::indexOf(s) != limitedLiteral(s))
            ++mismatches;
    }
    EXPECT_EQ(mismatches, 0u);
}

TEST(ShaperIndex, EveryFloatAboveTwoUsesTheLastPoint)
{
    // The formula already reaches 127 below 2 and stays there; check every
    // 61st float up to the largest, then the extremes.
    const uint32_t first = std::bit_cast<uint32_t>(2.0f), last = std::bit_cast<uint32_t>(std::numeric_limits<float>::max());
    for (uint32_t u = first; u <= last - 61; u += 61)
    {
        const float s = std::bit_cast<float>(u);
        ASSERT_EQ(limitedLiteral(s), 127) << s;
        ASSERT_EQ(ShaperIndex::indexOf(s), 127) << s;
    }
    EXPECT_EQ(ShaperIndex::indexOf(std::numeric_limits<float>::max()), 127);
    EXPECT_EQ(ShaperIndex::indexOf(INFINITY), 127);
}

TEST(ShaperIndex, KnownPointsAndNaN)
{
    EXPECT_EQ(ShaperIndex::indexOf(1.0f), 0);
    EXPECT_EQ(ShaperIndex::indexOf(std::fabs(0.5f * 0.70710677f) + 1.0f), 83);
    EXPECT_EQ(ShaperIndex::indexOf(1.584f), 126);
    EXPECT_EQ(ShaperIndex::indexOf(1.5910f), 127);
    EXPECT_EQ(ShaperIndex::indexOf(std::nanf("")), 0);
}

} // namespace
