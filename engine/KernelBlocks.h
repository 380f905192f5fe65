// The routes without filters, for every vector kernel: each frame depends on
// its own input alone, so a block of at least one vector runs as whole
// vectors of frames, the last vector overlapping the one before. That last
// vector is computed first: in place, the frames it shares with the one
// before would already hold outputs when it came to them.
//
// A kernel describes its vectors with a traits class V:
//   Vec, kWidth; load, store, set1, mul, add;
//   clip(v): v limited to +-1, NaN to 0;
//   Shaper, built from the ShaperTable, and shapeBoth(shaper, l, r): both
//   channels' curve outputs (their sign kept), 0 in frames where both are
//   silent. The clip to +-1 changes neither sign, silence nor index, so the
//   shaper takes the pre-gained input unclipped.
//
// Each kernel source includes this with its own instruction set, so all of
// it has internal linkage.
#pragma once

#include "engine/ChainKernel.h"

namespace Chain {
namespace {

template <class V, bool kShaper, bool kMix>
struct Frames
{
    using Vec = typename V::Vec;
    typename V::Shaper shaper;
    Vec gainL, gainR, postGain, wet, dry;

    struct Result
    {
        Vec l, r;
    };

    Frames(const Settings& s, const ShaperTable& t)
        : shaper(t), gainL(V::set1(s.gainL)), gainR(V::set1(s.gainR)), postGain(V::set1(s.postGain)), wet(V::set1(s.wet)),
          dry(V::set1(s.dry))
    {
    }

    [[gnu::always_inline]] Result compute(const float* in0, const float* in1) const
    {
        const Vec inL = V::load(in0), inR = V::load(in1);
        Vec l = V::mul(inL, gainL), r = V::mul(inR, gainR);
        if constexpr (kShaper)
            V::shapeBoth(shaper, l, r);
        else
        {
            l = V::clip(l);
            r = V::clip(r);
        }
        l = V::mul(l, postGain);
        r = V::mul(r, postGain);
        if constexpr (kMix)
        {
            l = V::add(V::mul(l, wet), V::mul(inL, dry));
            r = V::add(V::mul(r, wet), V::mul(inR, dry));
        }
        return {l, r};
    }

    static void store(const Result& v, float* out0, float* out1)
    {
        V::store(out0, v.l);
        V::store(out1, v.r);
    }
};

// Needs b.frames >= V::kWidth.
template <class V, bool kShaper, bool kMix>
inline void runOverlapped(const Settings& s, const ShaperTable& t, const Block& b)
{
    constexpr int32_t kWidth = V::kWidth;
    const Frames<V, kShaper, kMix> frames(s, t);
    const int32_t lastStart = b.frames - kWidth;
    const auto final = frames.compute(b.in0 + lastStart, b.in1 + lastStart);
    for (int32_t i = 0; i < lastStart; i += kWidth)
        frames.store(frames.compute(b.in0 + i, b.in1 + i), b.out0 + i, b.out1 + i);
    frames.store(final, b.out0 + lastStart, b.out1 + lastStart);
}

template <class V>
inline void runFrames(const Settings& s, const ShaperTable& t, const Block& b)
{
    if (s.shaperOn)
        s.mix ? runOverlapped<V, true, true>(s, t, b) : runOverlapped<V, true, false>(s, t, b);
    else
        s.mix ? runOverlapped<V, false, true>(s, t, b) : runOverlapped<V, false, false>(s, t, b);
}

// A kernel's entry: the SSE2 routes when a filter is on; otherwise the last
// levels (found before any output is written, since the buffers may be
// shared) and the kernel's own block code.
template <void (*kRunBlock)(const Settings&, const ShaperTable&, const Block&)>
void runKernel(const Settings& s, const ShaperTable& t, DovanSVF* filters, LastLevels& last, const Block& b)
{
    if (s.preOn || s.postOn)
    {
        runFilteredSse2(s, t, filters, last, b);
        return;
    }
    if (s.shaperOn)
        findLastLevels(s, b, last);
    kRunBlock(s, t, b);
}

} // namespace
} // namespace Chain
