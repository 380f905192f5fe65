#include "engine/ChainState.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace {

constexpr float kHalfPi = 1.5707964f;

Chain::FilterOutput outputOf(int32_t type)
{
    switch (type)
    {
    case 3:
        return Chain::FilterOutput::high;
    case 2:
        return Chain::FilterOutput::band;
    case 0:
    case 1:
        return Chain::FilterOutput::low;
    default:
        return Chain::FilterOutput::none;
    }
}

} // namespace

ChainState::ChainState(float filterSampleRate, const Quillfen::Utility::CExpMapper& cutoffMapper)
    : filterSampleRate(filterSampleRate), mapper(cutoffMapper)
{
    // No value matches a NaN's bits, so the first update derives everything.
    for (float& p : params)
        p = std::bit_cast<float>(0xFFFFFFFFu);
    for (int32_t& c : curve)
        c = 0;
}

void ChainState::refresh(const SharedState& shared, const Chain::Kernel& kernel, SharedState::Versions now)
{
    if (!primed || now.curve != seen.curve)
        refreshWithCurve(shared, kernel, now);
    else if (now.params != seen.params)
    {
        float next[kNumParams];
        uint32_t changed = 0;
        if (!shared.tryRead(next, params, changed))
            return;
        if (changed)
            apply(next, changed);
        seen = now;
    }
    if (kernel.needsEntries && !entriesBuilt)
    {
        table.build(curve, true);
        entriesBuilt = true;
    }
}

void ChainState::refreshWithCurve(const SharedState& shared, const Chain::Kernel& kernel, SharedState::Versions now)
{
    float next[kNumParams];
    int32_t nextCurve[Parameters::kCurvePoints];
    if (!shared.tryRead(next, nextCurve))
        return;
    // Element by element: each word was just stored on its own, and a wider
    // load across two of them would wait for both stores.
    uint32_t changed = 0;
    for (int i = 0; i < kNumParams; ++i)
        changed |= std::bit_cast<uint32_t>(next[i]) != std::bit_cast<uint32_t>(params[i]) ? 1u << i : 0u;
    if (changed)
        apply(next, changed);
    std::memcpy(curve, nextCurve, sizeof curve);
    table.build(curve, kernel.needsEntries);
    entriesBuilt = kernel.needsEntries;
    seen = now;
    primed = true;
}

void ChainState::apply(const float (&next)[kNumParams], uint32_t changed)
{
    bool gainChanged = false;
    for (; changed; changed &= changed - 1)
    {
        const int i = std::countr_zero(changed);
        const float v = next[i];
        params[i] = v;
        switch (i)
        {
        case kPreGain:
            gainChanged = true;
            break;
        case kPrePan:
            // 4 G^2 cos((1 - P) pi/2 - pi/2) and 4 G^2 cos(P pi/2 - pi/2).
            panCosL = std::cos((1.0f - v) * kHalfPi - kHalfPi);
            panCosR = std::cos(v * kHalfPi - kHalfPi);
            gainChanged = true;
            break;
        case kPostGain:
            current.postGain = v;
            break;
        case kShaperSw:
            current.shaperOn = v == 1.0f;
            break;
        case kWetDry:
            current.wet = v;
            current.dry = 1.0f - v;
            current.mix = v != 1.0f;
            break;
        case kPreFilterType:
            setFilterType(0, v);
            break;
        case kPostFilterType:
            setFilterType(1, v);
            break;
        case kPreCutoff:
            setFilterCutoff(0, v);
            break;
        case kPostCutoff:
            setFilterCutoff(1, v);
            break;
        default:
            break;
        }
    }
    if (gainChanged)
        setPreGain();
}

void ChainState::setPreGain()
{
    const float g = params[kPreGain];
    const float amp = 4.0f * (g * g);
    current.gainL = amp * panCosL;
    current.gainR = amp * panCosR;
}

void ChainState::setFilterType(int pair, float value)
{
    const int32_t type = Parameters::filterType(value);
    (pair == 0 ? current.preOn : current.postOn) = type != 0;
    (pair == 0 ? current.preOutput : current.postOutput) = outputOf(type);
}

void ChainState::setFilterCutoff(int pair, float value)
{
    DovanSVF& left = filterBank[2 * pair];
    DovanSVF& right = filterBank[2 * pair + 1];
    left.setCutoff(mapper.valueAt(value), filterSampleRate);
    // Both filters of a pair share the cutoff and the oversampling, so the
    // right one's coefficients are the left one's.
    right.cutoff = left.cutoff;
    right.freq = left.freq;
    right.damp = left.damp;
}
