// The shaper's curve index of a sample: trunc(635 * log10(|v| + 1)) limited to
// 0..127, found without logarithms. Thresholds on s = |v| + 1 are computed once
// with the logarithm itself, so the result is the same for every float.
#pragma once

#include <bit>
#include <cstdint>

namespace ShaperIndex {

// The formula itself, in double precision as the shaper defines it (no limiting).
int32_t literalIndex(float s);

// Per bucket of the top mantissa bits of s in [1, 2): the index at the bucket's
// first float and the bits of the first float in it with the next index.
struct Table
{
    static constexpr int kBucketBits = 10;
    static constexpr int kShift = 23 - kBucketBits;
    static constexpr uint32_t kLowMask = (1u << kShift) - 1u;
    uint8_t base[1 << kBucketBits];
    uint32_t step[1 << kBucketBits];
    // The same in one word for vector code: base << 16 | (the step's low
    // kShift bits - 1), or kLowMask when the bucket has no step, so that
    // index = base + ((bits & kLowMask) > (packed & 0xFFFF)).
    int32_t packed[1 << kBucketBits];
    // The smallest s of each index.
    float first[128];
};

// Built when the library loads, before any audio can run.
extern const Table builtTable;
inline const Table& table()
{
    return builtTable;
}

// The smallest s with this index (0..127): indexOf(s) gives it back.
inline float firstArgumentOf(int32_t index)
{
    return table().first[index < 0 ? 0 : (index > 127 ? 127 : index)];
}

// [audio thread] Index for s = |v| + 1 (s >= 1), limited to 0..127. NaN maps to 0.
inline int32_t indexOf(float s)
{
    const uint32_t u = std::bit_cast<uint32_t>(s);
    if (u >= 0x40000000u)                 // s >= 2 (and inf, NaN): beyond point 127
        return u > 0x7F800000u ? 0 : 127;
    if (u < 0x3F800000u)                  // s < 1 never comes from |v| + 1
        return 0;
    const Table& t = table();
    const uint32_t b = (u >> Table::kShift) & ((1u << Table::kBucketBits) - 1u);
    return t.base[b] + (u >= t.step[b] ? 1 : 0);
}

} // namespace ShaperIndex
