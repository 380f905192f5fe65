// The block loop of the routes without filters, for every vector kernel:
// each frame depends on its own input alone, so a block of at least one
// vector runs as whole vectors, the last one overlapping the one before.
// That last vector is computed first: in place, the frames it shares with
// the one before would already hold outputs when it came to them.
//
// Each kernel source includes this with its own instruction set, so all of
// it has internal linkage.
#pragma once

#include "engine/ChainKernel.h"

namespace Chain {
namespace {

// Frames: compute(in0, in1) gives kWidth frames of both channels, and
// store(result, out0, out1) writes them. Needs b.frames >= kWidth.
template <int kWidth, typename Frames>
inline void runOverlapped(const Frames& frames, const Block& b)
{
    const int32_t lastStart = b.frames - kWidth;
    const auto final = frames.compute(b.in0 + lastStart, b.in1 + lastStart);
    for (int32_t i = 0; i < lastStart; i += kWidth)
        frames.store(frames.compute(b.in0 + i, b.in1 + i), b.out0 + i, b.out1 + i);
    frames.store(final, b.out0 + lastStart, b.out1 + lastStart);
}

// Runs Frames<kShaper, kMix> as the settings ask.
template <int kWidth, template <bool, bool> class Frames>
inline void runBlockOf(const Settings& s, const ShaperTable& t, const Block& b)
{
    if (s.shaperOn)
        s.mix ? runOverlapped<kWidth>(Frames<true, true>(s, t), b) : runOverlapped<kWidth>(Frames<true, false>(s, t), b);
    else
        s.mix ? runOverlapped<kWidth>(Frames<false, true>(s, t), b) : runOverlapped<kWidth>(Frames<false, false>(s, t), b);
}

} // namespace
} // namespace Chain
