#include "engine/ShaperIndex.h"

#include <cmath>

namespace ShaperIndex {

int32_t literalIndex(float s)
{
    return static_cast<int32_t>(635.0 * std::log10(static_cast<double>(s)));
}

namespace {

int32_t limited(uint32_t bits)
{
    const int32_t i = literalIndex(std::bit_cast<float>(bits));
    return i > 127 ? 127 : (i < 0 ? 0 : i);
}

Table build()
{
    Table t{};
    constexpr uint32_t one = 0x3F800000u;
    constexpr uint32_t width = 1u << Table::kShift;
    for (uint32_t b = 0; b < (1u << Table::kBucketBits); ++b)
    {
        const uint32_t first = one + b * width;
        const uint32_t last = first + width - 1;
        const int32_t lo = limited(first);
        t.base[b] = static_cast<uint8_t>(lo);
        t.step[b] = 0xFFFFFFFFu;
        t.packed[b] = static_cast<int32_t>((static_cast<uint32_t>(lo) << 16) | Table::kLowMask);
        if (limited(last) == lo)
            continue;
        // Smallest float in the bucket whose index is above lo. Each bucket is
        // narrower than one index step, so there is at most one such step.
        uint32_t a = first, z = last;
        while (a < z)
        {
            const uint32_t m = a + (z - a) / 2;
            if (limited(m) > lo)
                z = m;
            else
                a = m + 1;
        }
        t.step[b] = a;
        t.packed[b] = static_cast<int32_t>((static_cast<uint32_t>(lo) << 16) | ((a & Table::kLowMask) - 1u));
    }
    // Buckets are narrower than an index step, so every index begins either
    // at a bucket's first float or at a bucket's step.
    for (int32_t index = 127; index >= 0; --index)
        for (uint32_t b = 0; b < (1u << Table::kBucketBits); ++b)
        {
            if (t.base[b] >= index)
            {
                t.first[index] = std::bit_cast<float>(one + b * width);
                break;
            }
            if (t.base[b] + 1 == index && t.step[b] != 0xFFFFFFFFu)
            {
                t.first[index] = std::bit_cast<float>(t.step[b]);
                break;
            }
        }
    return t;
}

} // namespace

const Table builtTable = build();

} // namespace ShaperIndex
