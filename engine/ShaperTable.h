// The shaper's lookup for one curve: the output of each curve point, and per
// bucket of s = |v| + 1 (see ShaperIndex) the outputs below and above the
// bucket's step with the step itself, for code that cannot gather.
#pragma once

#include "engine/Parameters.h"
#include "engine/ShaperIndex.h"

#include <cstdint>

struct ShaperTable
{
    struct alignas(16) Entry
    {
        float below;
        float above;
        // The bits of s minus one from which `above` applies.
        int32_t stepMinus1;
        // (16 bytes, so that an entry loads as one vector.)
    };
    static constexpr int kEntries = 1 << ShaperIndex::Table::kBucketBits;

    // (128 - point) / 128 for each curve point.
    alignas(64) float outputs[Parameters::kCurvePoints];
    // ShaperIndex's packed buckets, for code that gathers.
    const int32_t* packed = ShaperIndex::table().packed;
    // Filled only when built with entries.
    Entry entries[kEntries];

    void build(const int32_t* curve, bool withEntries);
};
