#include "engine/DovanSVF.h"

#include <cmath>

namespace {

// 2 * (1 - 0.15^0.25): the root and the difference in double precision, the
// difference rounded to float, then doubled.
const float kDamping = static_cast<float>(1.0 - std::pow(static_cast<double>(0.15f), 0.25)) * 2.0f;

} // namespace

void DovanSVF::setCutoff(float hz, float sampleRate)
{
    const float upper = 0.25f * sampleRate;
    float fc = hz > upper ? upper : hz;
    fc = fc < 31.0f ? 31.0f : fc;
    cutoff = fc;
    const float w = fc / (oversampling * sampleRate);
    const float x = w > 0.25f ? 0.7853981f : w * 3.1415925f;
    // 2 sin(x), approximated.
    const float x2 = x * x;
    freq = ((x2 * 0.00761f - 0.16605f) * x2 + 1.0f) * x * 2.0f;
    const float d = kDamping < 2.0f ? kDamping : 2.0f;
    // The third candidate, 2 / freq - freq / 2, falls as freq grows and is
    // still 1.5 at freq 1, above d (0.755334): below 1 it cannot be the
    // smallest, so its division is skipped. (With the cutoff limited to a
    // quarter of the sample rate freq stays below 0.77.)
    if (freq < 1.0f)
    {
        damp = d;
        return;
    }
    const float alt = 2.0f / freq - 0.5f * freq;
    damp = d < alt ? d : alt;
}
