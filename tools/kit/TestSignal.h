// Signals generated for renders without an input file, produced block by
// block. "sine": 220 Hz at half scale; "noise": white noise at quarter scale
// from a fixed seed; "sweep": a logarithmic sweep from 20 Hz to 20 kHz (at
// most 0.45 of the rate) at half scale. Every channel gets the same signal.
#pragma once

#include "tools/kit/AudioBuffer.h"
#include "tools/kit/AudioStream.h"

#include <random>
#include <string>

class TestSignal final : public AudioSource
{
public:
    // True for "sine", "noise" and "sweep".
    static bool isKind(const std::string& kind);

    // `kind` must pass isKind(); `seconds` * `sampleRate` frames, truncated.
    TestSignal(const std::string& kind, double seconds, int32_t channels, int32_t sampleRate);

    int32_t channels() const override { return channelCount; }
    int32_t sampleRate() const override { return rate; }
    uint64_t frames() const override { return frameCount; }
    size_t read(float* interleaved, size_t frames) override;

private:
    enum class Kind
    {
        sine,
        noise,
        sweep
    };
    Kind kind;
    int32_t channelCount;
    int32_t rate;
    uint64_t frameCount;
    uint64_t position = 0;
    double sweepRate;
    std::mt19937 random{20240229};
    std::uniform_real_distribution<float> noise{-0.25f, 0.25f};
};

// The whole signal in memory (short signals, tests).
AudioBuffer generateSignal(const std::string& kind, double seconds, int32_t channels, double sampleRate);
