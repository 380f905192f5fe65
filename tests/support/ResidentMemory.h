// The memory a test process holds in RAM, for tests that count growth.
#pragma once

#include "tests/support/Sanitizers.h"

#include <unistd.h>

#include <fstream>

namespace dc
{

inline long residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// The sanitizers keep their own records of every load: growth means nothing there.
#if defined(DC_UNDER_ASAN) || defined(DC_UNDER_TSAN)
constexpr bool kCountsGrowth = false;
#else
constexpr bool kCountsGrowth = true;
#endif

} // namespace dc
