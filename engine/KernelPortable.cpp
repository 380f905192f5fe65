// The chain frame by frame in plain float arithmetic, as the formulas read:
// the kernel of CPUs without a vector kernel, and the yardstick the others
// are tested against.
#include "engine/ChainKernel.h"

#include "engine/ShaperIndex.h"

#include <cmath>

namespace Chain {

namespace {

// Clip to +-1; a NaN (from NaN input, or inf times a zero pan factor) becomes
// silence so that it can never lodge in the filters' state.
inline float clipInput(float v)
{
    return v > 1.0f ? 1.0f : (v < -1.0f ? -1.0f : (v == v ? v : 0.0f));
}

inline void filterPair(DovanSVF& fl, DovanSVF& fr, FilterOutput output, float& l, float& r)
{
    fl.step(l);
    fr.step(r);
    switch (output)
    {
    case FilterOutput::high:
        l = fl.high;
        r = fr.high;
        break;
    case FilterOutput::band:
        l = fl.band;
        r = fr.band;
        break;
    case FilterOutput::low:
        l = fl.low;
        r = fr.low;
        break;
    case FilterOutput::none:
        break;
    }
}

// One frame: pre-gain, clip, pre filter, shaper, post filter, post gain.
inline void doProcess(const Settings& s, const ShaperTable& table, DovanSVF* f, LastLevels& last, float& l, float& r)
{
    l = clipInput(l * s.gainL);
    r = clipInput(r * s.gainR);
    if (s.preOn)
        filterPair(f[0], f[1], s.preOutput, l, r);
    if (s.shaperOn)
    {
        float outL = 0.0f, outR = 0.0f;
        if (static_cast<double>(std::fabs(l)) > 1e-18 || static_cast<double>(std::fabs(r)) > 1e-18)
        {
            last = {std::fabs(l), std::fabs(r)};
            outL = table.outputs[ShaperIndex::indexOf(last.left + 1.0f)];
            outR = table.outputs[ShaperIndex::indexOf(last.right + 1.0f)];
            if (l < 0.0f)
                outL = -outL;
            if (r < 0.0f)
                outR = -outR;
        }
        l = outL;
        r = outR;
    }
    if (s.postOn)
        filterPair(f[2], f[3], s.postOutput, l, r);
    l *= s.postGain;
    r *= s.postGain;
}

void run(const Settings& s, const ShaperTable& table, DovanSVF* filters, LastLevels& last, const Block& b)
{
    for (int32_t i = 0; i < b.frames; ++i)
    {
        const float inL = b.in0[i], inR = b.in1[i];
        float l = inL, r = inR;
        doProcess(s, table, filters, last, l, r);
        if (s.mix)
        {
            l = l * s.wet + inL * s.dry;
            r = r * s.wet + inR * s.dry;
        }
        b.out0[i] = l;
        b.out1[i] = r;
    }
}

constexpr Kernel kPortable{"portable", false, &run};

} // namespace

const Kernel& portableKernel()
{
    return kPortable;
}

} // namespace Chain
