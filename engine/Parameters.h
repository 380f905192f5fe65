// The effect's parameter indices, defaults and the bounds every value is
// kept within, and the whole state they make up with the curve.
#pragma once

#include "frame/VstRecords.h"

#include <cmath>
#include <cstdint>
#include <limits>

enum VivuzudidParameter : VstInt32
{
    kPreGain = 0,
    kPrePan,
    kPostGain,
    kShaperSw,
    kWetDry,
    kPreFilterType,
    kPreCutoff,
    kPostFilterType,
    kPostCutoff,
    kNumParams,
    kCurvePointSelect = 10,
    kCurvePointValue = 11,
    kEditorRefresh = 13,
};

namespace Parameters {

constexpr int kCurvePoints = 128;
// A curve point c gives the output magnitude (128 - c) / 128: 0 is full
// scale, 128 silence. The editor draws 0..127.
constexpr int32_t kPointMax = 128;

constexpr float kDefaults[kNumParams] = {0.5f, 0.5f, 0.5f, 1.0f, 1.0f, 0.0f, 0.5f, 0.0f, 0.5f};

// Every parameter value lies in 0..1; a finite value outside is clamped.
// (Non-finite values are refused by the callers: they keep the previous value.)
constexpr float bounded(float v)
{
    return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

constexpr int32_t boundedPoint(int64_t v)
{
    return v < 0 ? 0 : (v > kPointMax ? kPointMax : static_cast<int32_t>(v));
}

// Truncation toward zero that is defined for every value: NaN gives 0 and
// values beyond the int32 range saturate.
inline int32_t truncToInt32(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

// Filter type of a filter-type value: 0 off, 1 low-pass, 2 band-pass, 3 high-pass.
inline int32_t filterType(float value)
{
    return truncToInt32(value * 3.0f + 0.5f);
}

} // namespace Parameters

// A whole state of the effect: the nine parameters and the curve.
struct EffectState
{
    float params[kNumParams];
    int32_t curve[Parameters::kCurvePoints];
};
