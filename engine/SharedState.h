// The effect's state as words that every thread may write and the audio
// thread reads: one relaxed atomic per parameter and per curve point, counts
// of parameter and curve changes, and a sequence word around writes of a
// whole state.
//
// A single parameter or point is one word: a reader sees the old value or the
// new one, and a count that moved tells it to look. A whole state (a chunk,
// the defaults, a curve) is written with the sequence word odd; the audio
// thread copies the words between two reads of the sequence and keeps its
// previous copy if a whole write was under way, so it hears the old state or
// the new one and never a mixture.
#pragma once

#include "engine/Parameters.h"

#include <atomic>
#include <bit>
#include <cstdint>

class SharedState
{
public:
    explicit SharedState(const EffectState& initial);

    // [any thread] One value; the callers bound it first.
    void setParameter(int index, float value)
    {
        if (std::bit_cast<uint32_t>(params[index].load(std::memory_order_relaxed)) == std::bit_cast<uint32_t>(value))
            return;
        params[index].store(value, std::memory_order_relaxed);
        // Release: whoever sees the new count sees the value.
        paramChanges.fetch_add(1, std::memory_order_release);
    }
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
    // [audio thread] writeCurve without waiting: false, with nothing written,
    // when another whole write is under way.
    bool tryWriteCurve(const int32_t* points);
    // [any thread] A consistent copy of the whole state.
    EffectState read() const;

    struct Versions
    {
        uint32_t params, curve;
        bool operator==(const Versions&) const = default;
    };
    // [audio thread] The change counts: a reader that copied at these counts
    // has nothing new to copy while they stay.
    Versions versions() const
    {
        return {paramChanges.load(std::memory_order_acquire), curveChanges.load(std::memory_order_acquire)};
    }

    // [audio thread] Copies the parameters (and the curve), at least as new as
    // the counts read before. False, with the destinations unspecified, when
    // a whole write was under way.
    // This one also gives a bit per parameter whose bits differ from `known`.
    bool tryRead(float (&paramsOut)[kNumParams], const float (&known)[kNumParams], uint32_t& differing) const
    {
        const uint32_t s = sequence.load(std::memory_order_acquire);
        uint32_t d = 0;
        for (int i = 0; i < kNumParams; ++i)
        {
            const float v = params[i].load(std::memory_order_relaxed);
            d |= std::bit_cast<uint32_t>(v) != std::bit_cast<uint32_t>(known[i]) ? 1u << i : 0u;
            paramsOut[i] = v;
        }
        differing = d;
        return unchangedSince(s);
    }
    bool tryRead(float (&paramsOut)[kNumParams], int32_t (&curveOut)[Parameters::kCurvePoints]) const;

private:
    // No whole write began before `s` was read or since (the reads between
    // come before the sequence is read again).
    bool unchangedSince(uint32_t s) const
    {
        std::atomic_thread_fence(std::memory_order_acquire);
        return !(s & 1u) && sequence.load(std::memory_order_relaxed) == s;
    }

    // Begins a whole write: takes the sequence from even to odd.
    uint32_t beginWrite();
    // The curve's words and their count, inside a whole write begun at `s`.
    void storeCurve(uint32_t s, const int32_t* points);
    void endWrite(uint32_t sequenceAtBegin, bool paramsWritten, bool curveChanged);

    std::atomic<float> params[kNumParams];
    std::atomic<int32_t> curve[Parameters::kCurvePoints];
    std::atomic<uint32_t> paramChanges{0};
    std::atomic<uint32_t> curveChanges{0};
    std::atomic<uint32_t> sequence{0};
};
