#include "engine/CExpMapper.h"

#include <cmath>

namespace Quillfen::Utility {

CExpMapper::CExpMapper(float min, float max, float initialPosition)
{
    float minimum = min;
    span = max - min;
    if (!(min > 0.0f))
    {
        minimum = 1.0f;
        span = max - 1.0f;
    }
    this->min = minimum;
    this->max = max;
    logMin = std::log(minimum);
    logMax = std::log(max);
    logSpan = logMax - logMin;
    const float cl = logSpan * initialPosition + logMin;
    const float cur = std::exp(cl);
    currentLog.store(cl, std::memory_order_relaxed);
    current.store(cur, std::memory_order_relaxed);
    float v = cur < minimum ? minimum : cur;
    v = v > max ? max : v;
    value.store(v, std::memory_order_relaxed);
}

void CExpMapper::setRange(float min, float max)
{
    this->min = min;
    this->max = max;
    span = max - min;
    logMin = std::log(min);
    logMax = std::log(max);
    logSpan = logMax - logMin;
}

namespace {

struct Mapped
{
    float currentLog, current, value;
};

inline Mapped map(float position, float logSpan, float logMin, float min, float max)
{
    const float cl = position * logSpan + logMin;
    const float cur = std::exp(cl);
    // A NaN position yields max: neither comparison holds for NaN.
    return {cl, cur, (min > cur) ? min : (cur < max ? cur : max)};
}

} // namespace

float CExpMapper::compute(float position)
{
    const Mapped m = map(position, logSpan, logMin, min, max);
    currentLog.store(m.currentLog, std::memory_order_relaxed);
    current.store(m.current, std::memory_order_relaxed);
    value.store(m.value, std::memory_order_relaxed);
    return m.value;
}

float CExpMapper::valueAt(float position) const
{
    return map(position, logSpan, logMin, min, max).value;
}

void CExpMapper::setValue(float position)
{
    compute(position);
}

float CExpMapper::setAndGetValue(float position)
{
    return compute(position);
}

} // namespace Quillfen::Utility
