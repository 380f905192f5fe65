// Peak and RMS of audio measured as it passes, block by block.
#pragma once

#include <cstddef>
#include <cstdint>

class LevelMeter
{
public:
    void add(const float* samples, size_t count);
    // Largest magnitude so far (NaN samples are left out and counted).
    float peak() const { return largest; }
    // Root mean square over every sample so far; 0 before any.
    double rms() const;
    uint64_t samples() const { return count; }
    uint64_t notANumber() const { return nanCount; }

private:
    float largest = 0.0f;
    double sumOfSquares = 0.0;
    uint64_t count = 0;
    uint64_t nanCount = 0;
};

// Level in dB relative to full scale; -inf for silence.
double toDecibels(double level);
