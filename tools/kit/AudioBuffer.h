// Interleaved 32-bit float audio held whole in memory, with its rate and its
// loudness figures (small files and tests; renders stream instead).
#pragma once

#include "tools/kit/LevelMeter.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct AudioBuffer
{
    double sampleRate = 48000.0;
    int32_t channels = 0;
    std::vector<float> samples; // interleaved

    size_t frames() const { return channels > 0 ? samples.size() / static_cast<size_t>(channels) : 0; }
    // Largest magnitude over all channels.
    float peak() const;
    // Root mean square over all channels.
    double rms() const;
};
