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

// The bucket lookup, its packed form for vector code, and the first float of
// each index, against the formula for every float s = |v| + 1 from 1 to 2.
TEST(ShaperIndex, EqualsTheFormulaForEveryFloatFromOneToTwo)
{
    using Table = ShaperIndex::Table;
    const Table& t = ShaperIndex::table();
    const uint32_t first = std::bit_cast<uint32_t>(1.0f), last = std::bit_cast<uint32_t>(2.0f);
    uint32_t mismatches = 0, packedMismatches = 0, firstMismatches = 0;
    int32_t previous = -1;
    for (uint32_t u = first; u < last; ++u)
    {
        const float s = std::bit_cast<float>(u);
        const int32_t expected = limitedLiteral(s);
        mismatches += ShaperIndex::indexOf(s) != expected ? 1u : 0u;
        const int32_t e = t.packed[(u >> Table::kShift) & ((1u << Table::kBucketBits) - 1u)];
        const int32_t packed = (e >> 16) + (static_cast<int32_t>(u & Table::kLowMask) > (e & 0xFFFF) ? 1 : 0);
        packedMismatches += packed != expected ? 1u : 0u;
        if (expected != previous)
            firstMismatches += ShaperIndex::firstArgumentOf(expected) != s ? 1u : 0u;
        previous = expected;
    }
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(packedMismatches, 0u);
    EXPECT_EQ(firstMismatches, 0u);
    EXPECT_EQ(ShaperIndex::indexOf(2.0f), 127);
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
