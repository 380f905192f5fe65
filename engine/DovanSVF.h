// A state-variable filter run twice per sample with the input held, giving
// low-pass, band-pass, high-pass and notch outputs at once.
#pragma once

#include <atomic>

class DovanSVF
{
public:
    // Both arguments are accepted for compatibility and ignored.
    DovanSVF(float = 0.0f, int = 0) {}

    // [audio thread] Two passes on input v; low, band and high then hold the outputs.
    inline void step(float v)
    {
        const float x = v > 0.9999f ? 0.9999f : (v < -0.9999f ? -0.9999f : v);
        const float f = freq.load(std::memory_order_relaxed);
        const float d = damp.load(std::memory_order_relaxed);
        float lo = low, bp = band, hp = 0.0f, no = 0.0f;
        for (int pass = 0; pass < 2; ++pass)
        {
            no = x - d * bp;
            lo = f * bp + lo;
            hp = no - lo;
            bp = hp * f + bp - drive * bp * bp * bp;
            bp = nudge(bp);
            bp = bp > 1.0f ? 1.0f : (bp < -1.0f ? -1.0f : bp);
        }
        low = lo;
        band = bp;
        high = hp;
        notch = no;
    }

    // Adds 1e-18 to the band state and takes it away again, each in double
    // precision rounded back to float: keeps the state away from denormals on
    // silent input.
    static float nudge(float band)
    {
        band = static_cast<float>(static_cast<double>(band) + 1e-18);
        return static_cast<float>(static_cast<double>(band) - 1e-18);
    }
    // For every float of magnitude above this (2^-35) the nudge returns its
    // input unchanged; the filter test checks every such float.
    static constexpr float kNudgeIdentityAbove = 0x1p-35f;

    // Audio-thread state.
    float low = 0.0f;
    float band = 0.0f;
    float high = 0.0f;
    float notch = 0.0f;
    // Coefficients, written by the thread that changes a cutoff.
    std::atomic<float> freq{4422.0f};
    std::atomic<float> cutoff{50.0f};
    float drive = 0.15f;
    std::atomic<float> damp{0.01f};
    float oversampling = 2.0f;
};
