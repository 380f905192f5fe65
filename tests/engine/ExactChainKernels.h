// The chain kernels the exact-chain tests run: every kernel this CPU runs
// and, on x86-64, the AVX-512 kernel built a second time against SIMDe's
// portable intrinsics, so that it is proven here even without AVX-512. Test
// names carry the kernel's name, so the test log says which ran.
#pragma once

#include "engine/ChainKernel.h"

#include <ostream>
#include <string>
#include <vector>

namespace Chain {

#if defined(__x86_64__)
// tests/engine/KernelAvx512Simde.cpp
const Kernel& avx512SimdeKernel();
#endif

inline void PrintTo(const Kernel* kernel, std::ostream* os)
{
    *os << kernel->name;
}

} // namespace Chain

namespace exact {

inline std::vector<const Chain::Kernel*> kernels()
{
    const Chain::Kernel* runnable[Chain::kMaxKernels];
    const int n = Chain::runnableKernels(runnable);
    std::vector<const Chain::Kernel*> out(runnable, runnable + n);
#if defined(__x86_64__)
    out.push_back(&Chain::avx512SimdeKernel());
#endif
    return out;
}

} // namespace exact
