// Two processors timed against each other in one run: each iteration runs
// the same few blocks through the first and then through the second, so both
// see the same machine state. Time is the thread's CPU time, so other
// processes sharing the machine do not count; the iteration time reported is
// the first's.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <ctime>

namespace bench {

inline double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct TurnTimes
{
    double first = 0.0;  // seconds in the first processor
    double second = 0.0; // seconds in the second
};

// process(processor, block) runs signal block `block` (0 to signalBlocks - 1)
// through the processor; turns of turnBlocks blocks walk the signal on.
template <typename First, typename Second, typename Process>
TurnTimes timeInTurns(benchmark::State& state, First& first, Second& second, size_t turnBlocks, size_t signalBlocks,
                      Process&& process)
{
    TurnTimes times;
    size_t start = 0;
    auto turn = [&](auto& processor) {
        for (size_t b = 0; b < turnBlocks; ++b)
        {
            process(processor, (start + b) % signalBlocks);
            benchmark::ClobberMemory();
        }
    };
    for (auto _ : state)
    {
        const double t0 = threadSeconds();
        turn(first);
        const double t1 = threadSeconds();
        turn(second);
        const double t2 = threadSeconds();
        start = (start + turnBlocks) % signalBlocks;
        times.first += t1 - t0;
        times.second += t2 - t1;
        state.SetIterationTime(t1 - t0);
    }
    return times;
}

} // namespace bench
