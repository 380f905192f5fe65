#include "engine/SharedState.h"

#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

inline void spinPause()
{
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#endif
}

} // namespace

SharedState::SharedState(const EffectState& initial)
{
    for (int i = 0; i < kNumParams; ++i)
        params[i].store(initial.params[i], std::memory_order_relaxed);
    for (int i = 0; i < Parameters::kCurvePoints; ++i)
        curve[i].store(initial.curve[i], std::memory_order_relaxed);
}

void SharedState::setPoint(int index, int32_t value)
{
    if (curve[index].load(std::memory_order_relaxed) == value)
        return;
    curve[index].store(value, std::memory_order_relaxed);
    // Release: whoever sees the new count sees the point.
    curveChanges.fetch_add(1, std::memory_order_release);
}

uint32_t SharedState::beginWrite()
{
    uint32_t s = sequence.load(std::memory_order_relaxed);
    for (int spins = 0;; ++spins)
    {
        if (!(s & 1u) && sequence.compare_exchange_weak(s, s + 1u, std::memory_order_acquire, std::memory_order_relaxed))
            break;
        if (spins < 64)
            spinPause();
        else
            std::this_thread::yield();
        s = sequence.load(std::memory_order_relaxed);
    }
    // The odd sequence is seen before any of the words that follow.
    std::atomic_thread_fence(std::memory_order_release);
    return s;
}

void SharedState::endWrite(uint32_t sequenceAtBegin, bool paramsWritten, bool curveChanged)
{
    if (paramsWritten)
        paramChanges.fetch_add(1, std::memory_order_release);
    if (curveChanged)
        curveChanges.fetch_add(1, std::memory_order_release);
    sequence.store(sequenceAtBegin + 2u, std::memory_order_release);
}

void SharedState::write(const EffectState& state, bool withCurve)
{
    const uint32_t s = beginWrite();
    for (int i = 0; i < kNumParams; ++i)
        params[i].store(state.params[i], std::memory_order_relaxed);
    bool curveChanged = false;
    if (withCurve)
        for (int i = 0; i < Parameters::kCurvePoints; ++i)
            if (curve[i].load(std::memory_order_relaxed) != state.curve[i])
            {
                curve[i].store(state.curve[i], std::memory_order_relaxed);
                curveChanged = true;
            }
    endWrite(s, true, curveChanged);
}

void SharedState::writeCurve(const int32_t* points)
{
    storeCurve(beginWrite(), points);
}

bool SharedState::tryWriteCurve(const int32_t* points)
{
    uint32_t s = sequence.load(std::memory_order_relaxed);
    if ((s & 1u) || !sequence.compare_exchange_strong(s, s + 1u, std::memory_order_acquire, std::memory_order_relaxed))
        return false;
    std::atomic_thread_fence(std::memory_order_release);
    storeCurve(s, points);
    return true;
}

void SharedState::storeCurve(uint32_t s, const int32_t* points)
{
    bool curveChanged = false;
    for (int i = 0; i < Parameters::kCurvePoints; ++i)
        if (curve[i].load(std::memory_order_relaxed) != points[i])
        {
            curve[i].store(points[i], std::memory_order_relaxed);
            curveChanged = true;
        }
    endWrite(s, false, curveChanged);
}

EffectState SharedState::read() const
{
    EffectState state;
    for (;;)
    {
        const uint32_t s = sequence.load(std::memory_order_acquire);
        if (!(s & 1u))
        {
            for (int i = 0; i < kNumParams; ++i)
                state.params[i] = params[i].load(std::memory_order_relaxed);
            for (int i = 0; i < Parameters::kCurvePoints; ++i)
                state.curve[i] = curve[i].load(std::memory_order_relaxed);
            if (unchangedSince(s))
                return state;
        }
        std::this_thread::yield();
    }
}

bool SharedState::tryRead(float (&paramsOut)[kNumParams], int32_t (&curveOut)[Parameters::kCurvePoints]) const
{
    const uint32_t s = sequence.load(std::memory_order_acquire);
    for (int i = 0; i < kNumParams; ++i)
        paramsOut[i] = params[i].load(std::memory_order_relaxed);
    for (int i = 0; i < Parameters::kCurvePoints; ++i)
        curveOut[i] = curve[i].load(std::memory_order_relaxed);
    return unchangedSince(s);
}
