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

void ChainState::update(const SharedState& shared, const Chain::Kernel& kernel)
{
    float next[kNumParams];
    int32_t nextCurve[Parameters::kCurvePoints];
    uint32_t count = curveCount;
    bool curveRead = false;
    if (!shared.tryRead(next, nextCurve, count, !curveKnown, curveRead))
        return;
    if (std::memcmp(next, params, sizeof params) != 0)
        apply(next);
    if (curveRead)
    {
        std::memcpy(curve, nextCurve, sizeof curve);
        curveKnown = true;
        table.build(curve, kernel.needsEntries);
        entriesBuilt = kernel.needsEntries;
    }
    else if (kernel.needsEntries && !entriesBuilt)
    {
        table.build(curve, true);
        entriesBuilt = true;
    }
    curveCount = count;
}

void ChainState::apply(const float (&next)[kNumParams])
{
    bool gainChanged = false;
    for (int i = 0; i < kNumParams; ++i)
    {
        if (std::bit_cast<uint32_t>(next[i]) == std::bit_cast<uint32_t>(params[i]))
            continue;
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
