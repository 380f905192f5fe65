#include "tools/kit/TestSignal.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace
{
constexpr double kLowest = 20.0;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

double highestSweepFrequency(int32_t rate)
{
    return std::min(20000.0, rate * 0.45);
}
} // namespace

bool TestSignal::isKind(const std::string& kind)
{
    return kind == "sine" || kind == "noise" || kind == "sweep";
}

TestSignal::TestSignal(const std::string& name, double seconds, int32_t channels, int32_t sampleRate)
    : kind(name == "sine" ? Kind::sine : name == "noise" ? Kind::noise : Kind::sweep), channelCount(channels), rate(sampleRate),
      frameCount(static_cast<uint64_t>(seconds * sampleRate)),
      sweepRate(std::log(highestSweepFrequency(sampleRate) / kLowest) / std::max(seconds, 1e-9))
{
}

size_t TestSignal::read(float* interleaved, size_t frames)
{
    const size_t count = static_cast<size_t>(std::min<uint64_t>(frames, frameCount - position));
    for (size_t i = 0; i < count; ++i)
    {
        const double t = static_cast<double>(position + i) / rate;
        float s = 0.0f;
        if (kind == Kind::sine)
            s = static_cast<float>(0.5 * std::sin(kTwoPi * 220.0 * t));
        else if (kind == Kind::noise)
            s = noise(random);
        else // the phase is the integral of the exponential frequency
            s = static_cast<float>(0.5 * std::sin(kTwoPi * kLowest * (std::exp(sweepRate * t) - 1.0) / sweepRate));
        std::fill_n(interleaved + i * static_cast<size_t>(channelCount), channelCount, s);
    }
    position += count;
    return count;
}

AudioBuffer generateSignal(const std::string& kind, double seconds, int32_t channels, double sampleRate)
{
    TestSignal signal(kind, seconds, channels, static_cast<int32_t>(sampleRate));
    AudioBuffer audio;
    audio.sampleRate = sampleRate;
    audio.channels = channels;
    audio.samples.resize(static_cast<size_t>(signal.frames()) * static_cast<size_t>(channels));
    signal.read(audio.samples.data(), static_cast<size_t>(signal.frames()));
    return audio;
}
