#include "engine/ChainKernel.h"

#include "engine/ShaperIndex.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace Chain {

namespace {

inline float clipInput(float v)
{
    return v > 1.0f ? 1.0f : (v < -1.0f ? -1.0f : (v == v ? v : 0.0f));
}

bool cpuRuns(const Kernel& kernel)
{
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (&kernel == &avx2Kernel())
        return __builtin_cpu_supports("avx2");
    if (&kernel == &avx512Kernel())
        return __builtin_cpu_supports("avx512f");
#endif
    (void)kernel;
    return true;
}

// The kernels built in, portable first and widest last.
int builtIn(const Kernel* (&kernels)[kMaxKernels])
{
    int n = 0;
    kernels[n++] = &portableKernel();
#if defined(__x86_64__)
    kernels[n++] = &sse2Kernel();
    kernels[n++] = &avx2Kernel();
    kernels[n++] = &avx512Kernel();
#endif
    return n;
}

const Kernel& findBest()
{
    const Kernel* kernels[kMaxKernels];
    return *kernels[runnableKernels(kernels) - 1];
}

// Chosen when the library loads, before any effect exists.
[[maybe_unused]] const Kernel& chosenAtLoad = bestKernel();

} // namespace

int32_t exactIndex(float s)
{
    return ShaperIndex::indexOf(s);
}

void findLastLevels(const Settings& s, const Block& b, LastLevels& last)
{
    for (int32_t i = b.frames - 1; i >= 0; --i)
    {
        const float l = std::fabs(clipInput(b.in0[i] * s.gainL)), r = std::fabs(clipInput(b.in1[i] * s.gainR));
        if (l > kSilenceLimit || r > kSilenceLimit)
        {
            last = {l, r};
            return;
        }
    }
}

int runnableKernels(const Kernel* (&kernels)[kMaxKernels])
{
    const Kernel* all[kMaxKernels];
    const int count = builtIn(all);
    int n = 0;
    for (int i = 0; i < count; ++i)
        if (cpuRuns(*all[i]))
            kernels[n++] = all[i];
    return n;
}

const Kernel& bestKernel()
{
    static const Kernel& best = findBest();
    return best;
}

const Kernel* runnableKernel(const char* name)
{
    if (!name)
        return nullptr;
    const Kernel* kernels[kMaxKernels];
    const int count = runnableKernels(kernels);
    for (int i = 0; i < count; ++i)
        if (std::strcmp(kernels[i]->name, name) == 0)
            return kernels[i];
    return nullptr;
}

const Kernel& kernelForNewEffect()
{
    const Kernel* forced = runnableKernel(std::getenv("DITHERCRUNCH_KERNEL"));
    return forced ? *forced : bestKernel();
}

} // namespace Chain
