// A state-variable filter run twice per sample with the input held, giving
// low-pass, band-pass, high-pass and notch outputs at once.
#pragma once

class DovanSVF
{
public:
    // Both arguments are accepted for compatibility and ignored.
    DovanSVF(float = 0.0f, int = 0) {}

    // The coefficient rule: the cutoff limited to at most a quarter of the
    // sample rate and then to at least 31 Hz, freq and damp from it.
    void setCutoff(float hz, float sampleRate);

    // Two passes on input v; low, band and high then hold the outputs.
    inline void step(float v)
    {
        const float x = v > 0.9999f ? 0.9999f : (v < -0.9999f ? -0.9999f : v);
        float lo = low, bp = band, hp = 0.0f, no = 0.0f;
        for (int pass = 0; pass < 2; ++pass)
        {
            no = x - damp * bp;
            lo = freq * bp + lo;
            hp = no - lo;
            bp = hp * freq + bp - drive * bp * bp * bp;
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

    // State and outputs.
    float low = 0.0f;
    float band = 0.0f;
    float high = 0.0f;
    float notch = 0.0f;
    // Coefficients.
    float freq = 4422.0f;
    float cutoff = 50.0f;
    float drive = 0.15f;
    float damp = 0.01f;
    float oversampling = 2.0f;
};
