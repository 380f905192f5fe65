// The effect's state as words that every thread may write and the audio
// thread reads: one relaxed atomic per parameter and per curve point, a count
// of curve changes, and a sequence word around writes of a whole state.
//
// A single parameter or point is one word: a reader sees the old value or the
// new one. A whole state (a chunk, the defaults, a curve) is written with the
// sequence word odd; the audio thread copies the words between two reads of
// the sequence and keeps its previous copy if a whole write was under way, so
// it hears the old state or the new one and never a mixture.
#pragma once

#include "engine/Parameters.h"

#include <atomic>
#include <cstdint>

class SharedState
{
public:
    explicit SharedState(const EffectState& initial);

    // [any thread] One value; the callers bound it first.
    void setParameter(int index, float value) { params[index].store(value, std::memory_order_relaxed); }
    float parameter(int index) const { return params[index].load(std::memory_order_relaxed); }
    void setPoint(int index, int32_t value);
    int32_t point(int index) const { return curve[index].load(std::memory_order_relaxed); }
    // [any thread] Grows with every change of the curve.
    uint32_t curveChangeCount() const { return curveChanges.load(std::memory_order_acquire); }

    // [any thread] Writes the parameters, and the curve if `withCurve`, as one
    // change. Waits (without a lock) only while another whole write is under
    // way, which hosts do not do from the audio thread.
    void write(const EffectState& state, bool withCurve);
    void writeCurve(const int32_t* points);
    // [any thread] A consistent copy of the whole state.
    EffectState read() const;

    // [audio thread] Copies the parameters, and the curve when `wantCurve` or
    // when the change count differs from `curveCount` (then updated; curveRead
    // tells). False, with the destinations unspecified, when a whole write was
    // under way.
    bool tryRead(float (&paramsOut)[kNumParams], int32_t (&curveOut)[Parameters::kCurvePoints], uint32_t& curveCount,
                 bool wantCurve, bool& curveRead) const;

private:
    // Begins a whole write: takes the sequence from even to odd.
    uint32_t beginWrite();
    void endWrite(uint32_t sequenceAtBegin, bool curveChanged);

    std::atomic<float> params[kNumParams];
    std::atomic<int32_t> curve[Parameters::kCurvePoints];
    std::atomic<uint32_t> curveChanges{0};
    std::atomic<uint32_t> sequence{0};
};
