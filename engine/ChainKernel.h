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

// What each channel's shaper saw in the latest frame it mapped (one not
// silent): |v|, whose curve index is ShaperIndex::indexOf(level + 1). Kept
// through silence and while the shaper is off; the index is found only when
// someone asks for it.
struct LastLevels
{
    float left, right;
};

// [audio thread] Runs a block; filters are pre-left, pre-right, post-left,
// post-right. Each frame's inputs are read before its outputs are written,
// so the block may be processed in place.
using RunBlock = void (*)(const Settings&, const ShaperTable&, DovanSVF* filters, LastLevels&, const Block&);

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
void runFilteredSse2(const Settings&, const ShaperTable&, DovanSVF* filters, LastLevels&, const Block&);
// The routes without filters, outputs only (the caller finds the last
// indices): each kernel hands blocks shorter than its vector to the next
// narrower one.
void runBlockSse2(const Settings&, const ShaperTable&, const Block&);
void runBlockAvx2(const Settings&, const ShaperTable&, const Block&);
#endif

// The shaper index without a table lookup, for vector code: a = 635 log10(s)
// by a degree-6 polynomial in x = s - 1, evaluated in float by Horner's rule
// (mul, then add) from c6 down, lies within 3.7e-5 of the exact value for
// every float s in [1, 1 + kDomain]. So trunc(a) is the index wherever a lies
// at least kMargin from an integer; a lane nearer a step (about one in four
// thousand) takes exactIndex. x is limited to kDomain and a to kCeiling, both
// beyond index 127. The shaper tests check every float s.
struct IndexPolynomial
{
    static constexpr float kDomain = 0.5949f;
    static constexpr float kMargin = 0x1p-13f;
    static constexpr float kCeiling = 127.5f;
    static constexpr float c0 = 0x1.cf35fcp-16f;
    static constexpr float c1 = 0x1.13c5bep+8f;
    static constexpr float c2 = -0x1.138648p+7f;
    static constexpr float c3 = 0x1.6a561ep+6f;
    static constexpr float c4 = -0x1.eef954p+5f;
    static constexpr float c5 = 0x1.13e6dap+5f;
    static constexpr float c6 = -0x1.4ac5a2p+3f;
};

// The index of s (1 <= s < 2) as ShaperIndex finds it; not inline, so wider
// kernels may call it.
int32_t exactIndex(float s);

// [audio thread] For code that shapes several frames at once: the levels of
// the latest frame in the block whose pre-gained, clipped input is not
// silent. Leaves `last` as it is when every frame is silent.
void findLastLevels(const Settings&, const Block&, LastLevels& last);

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
