// Maps a 0..1 position onto an exponential range, e.g. a cutoff in Hz.
#pragma once

#include <atomic>

namespace Quillfen::Utility {

class CExpMapper
{
public:
    // A minimum of 0 or less is replaced by 1.0, since ln(0) has no value.
    CExpMapper(float min, float max, float initialPosition);
    virtual ~CExpMapper() = default;

    // No guard against min <= 0 here: callers pass a positive range.
    void setRange(float min, float max);
    // [any thread] Each call computes its result locally and returns it, so two
    // threads using the same mapper never mix positions in one result.
    void setValue(float position);
    float setAndGetValue(float position);
    float getValue() const { return value.load(std::memory_order_relaxed); }
    // [any thread] The value for a position, as setAndGetValue gives it,
    // without touching the mapper's fields.
    float valueAt(float position) const;

    float getMin() const { return min; }
    float getMax() const { return max; }

private:
    float compute(float position);

    std::atomic<float> value;
    float min;
    float max;
    float span;
    std::atomic<float> current;
    float logMin;
    float logMax;
    std::atomic<float> currentLog;
    float logSpan;
};

} // namespace Quillfen::Utility
