// Seeded random host-operation runs: each sequence is drawn from its own
// seed, so a failure names the seed that reproduces it. A run lasts a few
// seconds unless told otherwise:
//   DC_HOSTOPS_SECONDS=600  run longer (sequences keep coming until then)
//   DC_HOSTOPS_SEED=1234    run that one sequence only
#pragma once

#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace dc::random
{

using Rng = std::mt19937_64;

inline int between(Rng& rng, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(rng);
}

inline bool chance(Rng& rng, int percent)
{
    return between(rng, 0, 99) < percent;
}

// Plain values of the usual range most of the time; else edges, huge and
// tiny values, infinities, NaN or any bit pattern.
inline float anyFloat(Rng& rng)
{
    static constexpr float kSpecial[] = {0.0f, -0.0f, 1.0f, 0.5f, -1.0f, 2.0f, -4.0f, 1.1666666f, 127.0f, 128.0f,
                                         1e30f, -1e30f, 1e38f, -63.0f, 2147483648.0f,
                                         std::numeric_limits<float>::max(), std::numeric_limits<float>::denorm_min(),
                                         std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                                         std::numeric_limits<float>::quiet_NaN()};
    const int kind = between(rng, 0, 9);
    if (kind < 6)
        return std::uniform_real_distribution<float>(0.0f, 1.0f)(rng);
    if (kind < 9)
        return kSpecial[between(rng, 0, static_cast<int>(std::size(kSpecial)) - 1)];
    return std::bit_cast<float>(static_cast<uint32_t>(rng()));
}

// What a sequence has done so far, named when it breaks a promise.
struct SequenceLog
{
    explicit SequenceLog(uint64_t seed) : seed(seed) {}

    // Reports `what` with the steps before it and the seed that repeats
    // them; returns false.
    bool fail(const std::string& what) const
    {
        ADD_FAILURE() << "seed " << seed << ", step " << step << " (" << done.str() << "): " << what
                      << "\nrepeat with DC_HOSTOPS_SEED=" << seed;
        return false;
    }

    uint64_t seed;
    int step = 0;
    std::ostringstream done;
};

// Runs `sequence` for one seed after another until the time is up (or once
// for DC_HOSTOPS_SEED); returns how many ran. `sequence` reports a failure
// through the test framework and returns false to stop.
inline long runSequences(double defaultSeconds, uint64_t firstSeed, const std::function<bool(uint64_t seed)>& sequence)
{
    if (const char* seed = std::getenv("DC_HOSTOPS_SEED"))
    {
        sequence(std::strtoull(seed, nullptr, 10));
        return 1;
    }
    double seconds = defaultSeconds;
    if (const char* text = std::getenv("DC_HOSTOPS_SECONDS"))
        seconds = std::strtod(text, nullptr);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    long count = 0;
    for (uint64_t seed = firstSeed; count == 0 || std::chrono::steady_clock::now() < end; ++seed)
    {
        ++count;
        if (!sequence(seed))
            break;
    }
    return count;
}

} // namespace dc::random
