// Deterministic test signals for the benchmarks.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace bench {

// Three partials under a slow envelope plus a little noise, peaking near 0.9.
inline std::vector<float> musicLikeSignal(size_t frames, uint32_t seed)
{
    std::vector<float> out(frames);
    uint32_t noise = seed;
    const double rate = 44100.0;
    const double twoPi = 6.283185307179586;
    for (size_t i = 0; i < frames; ++i)
    {
        const double t = static_cast<double>(i) / rate;
        const double envelope = 0.55 + 0.45 * std::sin(twoPi * 0.7 * t);
        noise = noise * 1664525u + 1013904223u;
        const double n = (static_cast<double>(noise >> 8) / 16777216.0 - 0.5) * 0.02;
        const double v = envelope * (0.5 * std::sin(twoPi * 110.0 * t) + 0.25 * std::sin(twoPi * 440.0 * t + 0.3) +
                                     0.12 * std::sin(twoPi * 1234.0 * t + 1.1)) +
                         n;
        out[i] = static_cast<float>(v);
    }
    return out;
}

// Uniform white noise with an RMS level of -10 dBFS (peak 0.5477).
inline std::vector<float> whiteNoise(size_t frames, uint32_t seed)
{
    const double peak = std::pow(10.0, -10.0 / 20.0) * std::sqrt(3.0);
    std::vector<float> out(frames);
    uint32_t state = seed;
    for (auto& v : out)
    {
        state = state * 1664525u + 1013904223u;
        v = static_cast<float>((static_cast<double>(state >> 8) / 8388608.0 - 1.0) * peak);
    }
    return out;
}

} // namespace bench
