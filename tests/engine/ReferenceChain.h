// A literal model of the effect's arithmetic, written from its formulas one
// operation at a time (each line one rounding, in the type the formula names),
// kept apart from the engine so that the engine's faster code can be checked
// against it bit for bit.
#pragma once

#include <cmath>
#include <cstdint>

namespace reference {

// Truncation toward zero; NaN gives 0 and values beyond int32 saturate (the
// engine's behaviour for values the formulas leave undefined).
inline int32_t truncate(double v)
{
    if (v != v)
        return 0;
    if (v >= 2147483647.0)
        return 2147483647;
    if (v <= -2147483648.0)
        return -2147483647 - 1;
    return (int32_t)v;
}

// The library's single-precision ln and exp, called at run time (a literal
// argument could otherwise be folded by the compiler with another rounding).
inline float lnf(float v)
{
    volatile float in = v;
    return logf(in);
}
inline float expf32(float v)
{
    volatile float in = v;
    return expf(in);
}

// The exponential value mapper.
struct Mapper
{
    float value, min, max, span, current, logMin, logMax, currentLog, logSpan;

    Mapper(float lo, float hi, float initialPosition)
    {
        float minimum = lo;
        span = hi - lo;
        if (!(lo > 0.0f))
        {
            minimum = 1.0f;
            span = hi - 1.0f;
        }
        min = minimum;
        max = hi;
        logMin = lnf(minimum);
        logMax = lnf(hi);
        logSpan = logMax - logMin;
        currentLog = logSpan * initialPosition;
        currentLog = currentLog + logMin;
        current = expf32(currentLog);
        value = current;
        if (value < minimum)
            value = minimum;
        if (value > max)
            value = max;
    }

    void setRange(float lo, float hi)
    {
        min = lo;
        max = hi;
        span = hi - lo;
        logMin = lnf(lo);
        logMax = lnf(hi);
        logSpan = logMax - logMin;
    }

    float setAndGetValue(float position)
    {
        float product = position * logSpan;
        currentLog = product + logMin;
        current = expf32(currentLog);
        if (min > current)
            value = min;
        else if (max < current)
            value = max;
        else
            value = current;
        return value;
    }
};

struct Svf
{
    float low = 0, band = 0, high = 0, notch = 0;
    float freq = 4422.0f, cutoff = 50.0f, drive = 0.15f, damp = 0.01f, oversampling = 2.0f;

    // Two passes on the input held; the outputs are those of the second pass.
    void run(float v)
    {
        float x = v;
        if (v > 0.9999f)
            x = 0.9999f;
        else if (v < -0.9999f)
            x = -0.9999f;
        for (int pass = 0; pass < 2; pass++)
        {
            float dampBand = damp * band;
            notch = x - dampBand;
            float freqBand = freq * band;
            low = freqBand + low;
            high = notch - low;
            float highFreq = high * freq;
            float sum = highFreq + band;
            float cube = drive * band;
            cube = cube * band;
            cube = cube * band;
            band = sum - cube;
            double up = (double)band + 1e-18;
            band = (float)up;
            double down = (double)band - 1e-18;
            band = (float)down;
            if (band > 1.0f)
                band = 1.0f;
            else if (band < -1.0f)
                band = -1.0f;
        }
    }

    // The coefficient rule for a cutoff fc already limited by the caller.
    void coefficients(float fc, float sampleRate)
    {
        double r = std::pow((double)0.15f, 0.25);
        cutoff = fc;
        float rate = oversampling * sampleRate;
        float w = fc / rate;
        float x;
        if (w > 0.25f)
            x = 0.7853981f;
        else
            x = w * 3.1415925f;
        float x2 = x * x;
        float inner = x2 * 0.00761f;
        inner = inner - 0.16605f;
        float poly = inner * x2;
        poly = poly + 1.0f;
        poly = poly * x;
        freq = poly * 2.0f;
        double oneMinusR = 1.0 - r;
        float fromR = (float)oneMinusR;
        fromR = fromR * 2.0f;
        float twoOverFreq = 2.0f / freq;
        float halfFreq = 0.5f * freq;
        float fromFreq = twoOverFreq - halfFreq;
        float smallest = fromR;
        if (2.0f < smallest)
            smallest = 2.0f;
        if (fromFreq < smallest)
            smallest = fromFreq;
        damp = smallest;
    }
};

struct Chain
{
    // PreGain, PrePan, PostGain, ShaperSw, Wet Dry, Pre FlTy, Pre Cut, PostFlTy, Post Cut.
    float p[9] = {0.5f, 0.5f, 0.5f, 1.0f, 1.0f, 0.0f, 0.5f, 0.0f, 0.5f};
    int64_t curve[128];
    Svf f[4]; // pre-left, pre-right, post-left, post-right
    int32_t lastL = 0, lastR = 0;
    float sampleRate = 44100.0f;
    Mapper mapper{21.533201f, 14700.0f, 0.9166667f};
    float gainL = 0, gainR = 0;
    int32_t preType = 0, postType = 0;

    Chain()
    {
        for (int i = 0; i < 128; i++)
            curve[i] = 128 - i;
        mapper.setRange(21.533201f, 14700.0f);
        preGain();
        preType = type(p[5]);
        postType = type(p[7]);
        cutoffs();
    }

    static int32_t type(float v)
    {
        float scaled = v * 3.0f;
        scaled = scaled + 0.5f;
        return truncate(scaled);
    }

    void preGain()
    {
        const float halfPi = 1.5707964f;
        float g = p[0], pan = p[1];
        float g2 = g * g;
        float amp = 4.0f * g2;
        float leftAngle = 1.0f - pan;
        leftAngle = leftAngle * halfPi;
        leftAngle = leftAngle - halfPi;
        gainL = amp * cosf(leftAngle);
        float rightAngle = pan * halfPi;
        rightAngle = rightAngle - halfPi;
        gainR = amp * cosf(rightAngle);
    }

    // Limits a cutoff: upper limit first, then 31 Hz.
    float limit(float hz) const
    {
        float upper = 0.25f * sampleRate;
        float fc = hz;
        if (fc > upper)
            fc = upper;
        if (fc < 31.0f)
            fc = 31.0f;
        return fc;
    }

    void cutoffs()
    {
        float pre = limit(mapper.setAndGetValue(p[6]));
        f[0].coefficients(pre, sampleRate);
        f[1].coefficients(pre, sampleRate);
        float post = limit(mapper.setAndGetValue(p[8]));
        f[2].coefficients(post, sampleRate);
        f[3].coefficients(post, sampleRate);
    }

    void set(int index, float v)
    {
        if (index == 3 && v > 1.0f)
            v = 1.0f;
        p[index] = v;
        if (index <= 1)
            preGain();
        if (index == 5)
            preType = type(v);
        if (index == 7)
            postType = type(v);
        if (index >= 5)
            cutoffs();
    }

    static void filterPair(Svf& a, Svf& b, int32_t t, float& l, float& r)
    {
        a.run(l);
        b.run(r);
        if (t == 3)
        {
            l = a.high;
            r = b.high;
        }
        else if (t == 2)
        {
            l = a.band;
            r = b.band;
        }
        else if (t == 0 || t == 1)
        {
            l = a.low;
            r = b.low;
        }
    }

    float shape(float v, int32_t& last) const
    {
        float s = std::fabs(v) + 1.0f;
        double logarithm = std::log10((double)s);
        int32_t index = truncate(635.0 * logarithm);
        if (index > 127)
            index = 127;
        if (index < 0)
            index = 0;
        last = index;
        int64_t difference = 128 - curve[index];
        float result = (float)difference * 0.0078125f;
        if (v < 0.0f)
            result = -result;
        return result;
    }

    void frame(float& l, float& r)
    {
        l = l * gainL;
        r = r * gainR;
        // Above 1 becomes 1, below -1 becomes -1; NaN becomes 0.
        if (l > 1.0f)
            l = 1.0f;
        else if (l < -1.0f)
            l = -1.0f;
        else if (l != l)
            l = 0.0f;
        if (r > 1.0f)
            r = 1.0f;
        else if (r < -1.0f)
            r = -1.0f;
        else if (r != r)
            r = 0.0f;
        if (preType != 0)
            filterPair(f[0], f[1], preType, l, r);
        if (p[3] == 1.0f)
        {
            float outL = 0.0f, outR = 0.0f;
            bool silent = (double)std::fabs(l) <= 1e-18 && (double)std::fabs(r) <= 1e-18;
            if (!silent)
            {
                outL = shape(l, lastL);
                outR = shape(r, lastR);
            }
            l = outL;
            r = outR;
        }
        if (postType != 0)
            filterPair(f[2], f[3], postType, l, r);
        l = l * p[2];
        r = r * p[2];
    }

    // In place is allowed: each frame's inputs are read before its outputs are written.
    void block(const float* inL, const float* inR, float* outL, float* outR, int frames)
    {
        float dry = 1.0f - p[4];
        for (int i = 0; i < frames; i++)
        {
            float l = inL[i], r = inR[i];
            frame(l, r);
            float w = p[4];
            if (w != 1.0f)
            {
                float wetL = l * w;
                float dryL = inL[i] * dry;
                l = wetL + dryL;
                float wetR = r * w;
                float dryR = inR[i] * dry;
                r = wetR + dryR;
            }
            outL[i] = l;
            outR[i] = r;
        }
    }
};

} // namespace reference
