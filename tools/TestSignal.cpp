#include "tools/TestSignal.h"

#include <cmath>
#include <numbers>
#include <random>

AudioBuffer generateSignal(const std::string& kind, double seconds, int32_t channels, double sampleRate)
{
    AudioBuffer audio;
    audio.sampleRate = sampleRate;
    audio.channels = channels;
    const size_t frames = static_cast<size_t>(seconds * sampleRate);
    audio.samples.resize(frames * static_cast<size_t>(channels));
    std::mt19937 random(20240229);
    std::uniform_real_distribution<float> noise(-0.25f, 0.25f);
    const double twoPi = 2.0 * std::numbers::pi;
    const double low = 20.0, high = std::min(20000.0, sampleRate * 0.45);
    const double rate = std::log(high / low) / std::max(seconds, 1e-9);
    for (size_t i = 0; i < frames; ++i)
    {
        const double t = static_cast<double>(i) / sampleRate;
        float s = 0.0f;
        if (kind == "sine")
            s = static_cast<float>(0.5 * std::sin(twoPi * 220.0 * t));
        else if (kind == "noise")
            s = noise(random);
        else // sweep: the phase is the integral of the exponential frequency
            s = static_cast<float>(0.5 * std::sin(twoPi * low * (std::exp(rate * t) - 1.0) / rate));
        for (int32_t c = 0; c < channels; ++c)
            audio.samples[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] = s;
    }
    return audio;
}
