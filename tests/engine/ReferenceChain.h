// A plain, literal model of the effect's signal chain, kept apart from the
// engine so that the engine's faster code can be checked against it bit for bit.
#pragma once

#include <cmath>
#include <cstdint>

namespace reference {

struct Svf
{
    float low = 0, band = 0, high = 0, notch = 0;
    float freq = 0, damp = 0, drive = 0.15f;

    void run(float v)
    {
        float x = v;
        if (v > 0.9999f)
            x = 0.9999f;
        else if (v < -0.9999f)
            x = -0.9999f;
        for (int pass = 0; pass < 2; pass++)
        {
            notch = x - damp * band;
            low = freq * band + low;
            high = notch - low;
            float cube = drive * band;
            cube = cube * band;
            cube = cube * band;
            band = high * freq + band - cube;
            double up = (double)band + 1e-18;
            band = (float)up;
            double down = (double)band - 1e-18;
            band = (float)down;
            if (band > 1.0f)
                band = 1.0f;
            if (band < -1.0f)
                band = -1.0f;
        }
    }
};

struct Chain
{
    float p[9] = {0.5f, 0.5f, 0.5f, 1.0f, 1.0f, 0.0f, 0.5f, 0.0f, 0.5f};
    int64_t curve[128];
    Svf f[4];
    int32_t lastL = 0, lastR = 0;
    float sampleRate = 44100.0f;

    Chain()
    {
        for (int i = 0; i < 128; i++)
            curve[i] = 128 - i;
        cutoffs();
    }

    static float mapCutoff(float position)
    {
        float lo = 21.533201f, hi = 14700.0f;
        float logMin = std::log(lo), logMax = std::log(hi);
        float cur = std::exp(position * (logMax - logMin) + logMin);
        if (lo > cur)
            return lo;
        return std::fmin(hi, cur);
    }

    static void coefficients(Svf& s, float hz, float rate)
    {
        float fc = hz;
        if (fc > 0.25f * rate)
            fc = 0.25f * rate;
        if (fc < 31.0f)
            fc = 31.0f;
        float w = fc / (2.0f * rate);
        float x = w > 0.25f ? 0.7853981f : w * 3.1415925f;
        s.freq = ((x * x * 0.00761f - 0.16605f) * x * x + 1.0f) * x * 2.0f;
        double r = std::pow((double)0.15f, 0.25);
        float d = (float)(1.0 - r) * 2.0f;
        d = std::fmin(d, 2.0f);
        d = std::fmin(d, 2.0f / s.freq - 0.5f * s.freq);
        s.damp = d;
    }

    void cutoffs()
    {
        float pre = mapCutoff(p[6]), post = mapCutoff(p[8]);
        coefficients(f[0], pre, sampleRate);
        coefficients(f[1], pre, sampleRate);
        coefficients(f[2], post, sampleRate);
        coefficients(f[3], post, sampleRate);
    }

    static int type(float v) { return (int)(v * 3.0f + 0.5f); }

    void set(int index, float v)
    {
        if (index == 3 && v > 1.0f)
            v = 1.0f;
        p[index] = v;
        if (index >= 5)
            cutoffs();
    }

    void filterPair(int first, int t, float& l, float& r)
    {
        f[first].run(l);
        f[first + 1].run(r);
        if (t == 3)
        {
            l = f[first].high;
            r = f[first + 1].high;
        }
        else if (t == 2)
        {
            l = f[first].band;
            r = f[first + 1].band;
        }
        else if (t == 0 || t == 1)
        {
            l = f[first].low;
            r = f[first + 1].low;
        }
    }

    float shape(float v, int32_t& last)
    {
        float s = std::fabs(v) + 1.0f;
        int32_t index = (int32_t)(635.0 * std::log10((double)s));
        if (index > 127)
            index = 127;
        if (index < 0)
            index = 0;
        last = index;
        float out = (float)(128 - curve[index]) * 0.0078125f;
        return v < 0 ? -out : out;
    }

    void frame(float& l, float& r)
    {
        const float halfPi = 1.5707964f;
        float g = p[0], pan = p[1];
        l = l * (4.0f * g * g * std::cos((1.0f - pan) * halfPi - halfPi));
        r = r * (4.0f * g * g * std::cos(pan * halfPi - halfPi));
        l = std::fmax(-1.0f, std::fmin(1.0f, l));
        r = std::fmax(-1.0f, std::fmin(1.0f, r));
        if (type(p[5]) != 0)
            filterPair(0, type(p[5]), l, r);
        if (p[3] == 1.0f)
        {
            if ((double)std::fabs(l) <= 1e-18 && (double)std::fabs(r) <= 1e-18)
            {
                l = 0.0f;
                r = 0.0f;
            }
            else
            {
                l = shape(l, lastL);
                r = shape(r, lastR);
            }
        }
        if (type(p[7]) != 0)
            filterPair(2, type(p[7]), l, r);
        l = l * p[2];
        r = r * p[2];
    }

    void block(const float* inL, const float* inR, float* outL, float* outR, int frames)
    {
        float dry = 1.0f - p[4];
        for (int i = 0; i < frames; i++)
        {
            float l = inL[i], r = inR[i];
            frame(l, r);
            if (p[4] != 1.0f)
            {
                l = l * p[4] + inL[i] * dry;
                r = r * p[4] + inR[i] * dry;
            }
            outL[i] = l;
            outR[i] = r;
        }
    }
};

} // namespace reference
