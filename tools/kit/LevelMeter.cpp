#include "tools/kit/LevelMeter.h"

#include <algorithm>
#include <cmath>
#include <limits>

void LevelMeter::add(const float* samples, size_t n)
{
    // Eight running sums let the additions of a block overlap; a block that
    // holds a NaN is measured again, sample by sample, without it.
    constexpr size_t kLanes = 8;
    double lanes[kLanes] = {};
    float peak = largest;
    size_t i = 0;
    for (; i + kLanes <= n; i += kLanes)
        for (size_t k = 0; k < kLanes; ++k)
        {
            const float s = samples[i + k];
            peak = std::max(peak, std::fabs(s));
            lanes[k] += static_cast<double>(s) * s;
        }
    for (; i < n; ++i)
    {
        peak = std::max(peak, std::fabs(samples[i]));
        lanes[0] += static_cast<double>(samples[i]) * samples[i];
    }
    double sum = 0.0;
    for (double lane : lanes)
        sum += lane;
    if (std::isnan(sum))
    {
        sum = 0.0;
        for (i = 0; i < n; ++i)
        {
            const float s = samples[i];
            if (std::isnan(s))
                ++nanCount;
            else
                sum += static_cast<double>(s) * s;
        }
    }
    largest = peak;
    sumOfSquares += sum;
    count += n;
}

double LevelMeter::rms() const
{
    return count > nanCount ? std::sqrt(sumOfSquares / static_cast<double>(count - nanCount)) : 0.0;
}

double toDecibels(double level)
{
    return level > 0.0 ? 20.0 * std::log10(level) : -std::numeric_limits<double>::infinity();
}
