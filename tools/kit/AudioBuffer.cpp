#include "tools/kit/AudioBuffer.h"

float AudioBuffer::peak() const
{
    LevelMeter meter;
    meter.add(samples.data(), samples.size());
    return meter.peak();
}

double AudioBuffer::rms() const
{
    LevelMeter meter;
    meter.add(samples.data(), samples.size());
    return meter.rms();
}
