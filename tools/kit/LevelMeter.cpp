#include "tools/kit/LevelMeter.h"

#include <cmath>
#include <limits>

void LevelMeter::add(const float* samples, size_t n)
{
    for (size_t i = 0; i < n; ++i)
    {
        const float s = samples[i];
        if (std::isnan(s))
        {
            ++nanCount;
            continue;
        }
        largest = std::max(largest, std::fabs(s));
        sumOfSquares += static_cast<double>(s) * s;
    }
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
