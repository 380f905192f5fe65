// The signal chain's kernels: code that runs a block through the chain, one
// per instruction set, each giving the same bits as the formulas. A kernel is
// chosen once when an effect is created: the widest the CPU runs, or the one
// DITHERCRUNCH_KERNEL names ("portable", "sse2", "avx2", "avx512") if the CPU
// runs it.
//
// Kernel sources built with wider instruction sets include only this header
// and intrinsics, and keep their own code in their own namespace: an inline
// function they shared with baseline code could be emitted with the wider
// instructions and picked by the linker for everyone.
#pragma once

#include "engine/DovanSVF.h"
#include "engine/ShaperTable.h"

#include <bit>
#include <cstdint>

namespace Chain {

// The largest float that is at most 1e-18 once widened to double: for floats,
// |v| <= it is the same test as (double)|v| <= 1e-18, the shaper's silence.
constexpr float kSilenceLimit = [] {
    float f = static_cast<float>(1e-18);
    if (static_cast<double>(f) > 1e-18)
        f = std::bit_cast<float>(std::bit_cast<uint32_t>(f) - 1u);
    return f;
}();
static_assert(static_cast<double>(kSilenceLimit) <= 1e-18 &&
              static_cast<double>(std::bit_cast<float>(std::bit_cast<uint32_t>(kSilenceLimit) + 1u)) > 1e-18);

// Which filter output a pair passes on, by filter type.
enum class FilterOutput : int32_t
{
    low,
    band,
    high,
    none,
};

// Everything the chain reads besides the filters and the shaper lookup,
// derived from the parameters when they change.
struct Settings
{
    float gainL, gainR, postGain, wet, dry;
    // wet != 1: the dry input is mixed in.
    bool mix;
    bool preOn, postOn, shaperOn;
    FilterOutput preOutput, postOutput;
};

struct Block
{
    const float* in0;
    const float* in1;
    float* out0;
    float* out1;
    int32_t frames; // at least 1
};

// The curve index each channel's shaper used last; kept through silence and
// while the shaper is off.
struct LastIndices
{
    int32_t left, right;
};

// [audio thread] Runs a block; filters are pre-left, pre-right, post-left,
// post-right. Each frame's inputs are read before its outputs are written,
// so the block may be processed in place.
using RunBlock = void (*)(const Settings&, const ShaperTable&, DovanSVF* filters, LastIndices&, const Block&);

struct Kernel
{
    const char* name;
    // The SSE2 shaper reads ShaperTable::entries; the others need only the outputs.
    bool needsEntries;
    RunBlock run;
};

// The literal chain, frame by frame: every CPU runs it.
const Kernel& portableKernel();
#if defined(__x86_64__)
const Kernel& sse2Kernel();
const Kernel& avx2Kernel();
const Kernel& avx512Kernel();
// The routes with a filter on, which the wider kernels share: the filters'
// recursion runs from frame to frame and gains nothing from wider vectors.
void runFilteredSse2(const Settings&, const ShaperTable&, DovanSVF* filters, LastIndices&, const Block&);
#endif

// [audio thread] For code that shapes several frames at once: the curve
// indices of the latest frame in the block whose pre-gained, clipped input is
// not silent. Leaves `last` as it is when every frame is silent.
void findLastIndices(const Settings&, const Block&, LastIndices& last);

// The kernels this CPU runs, portable first and widest last; returns the count.
constexpr int kMaxKernels = 4;
int runnableKernels(const Kernel* (&kernels)[kMaxKernels]);
// The widest kernel this CPU runs, found when the library loads.
const Kernel& bestKernel();
// The runnable kernel of that name, or null.
const Kernel* runnableKernel(const char* name);
// [UI thread] What a new effect uses: DITHERCRUNCH_KERNEL's kernel if it names
// one this CPU runs, else the best.
const Kernel& kernelForNewEffect();

} // namespace Chain
