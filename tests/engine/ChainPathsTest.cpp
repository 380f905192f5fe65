// The chain's kernels take different routes by setting (several frames of a
// channel at once without filters, left and right side by side with one
// filter pair, both pairs pipelined): every kernel on every route against the
// literal model, including the last curve indices and the filters' rare
// exact paths.
#include "engine/ShaperIndex.h"
#include "engine/Vivuzudid.h"
#include "tests/engine/ExactChainKernels.h"
#include "tests/engine/ExhaustiveStride.h"
#include "tests/engine/KernelHarness.h"
#include "tests/engine/ReferenceChain.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

uint32_t bits(float f)
{
    return std::bit_cast<uint32_t>(f);
}

// Filter-type values: off, low, band, high.
constexpr float kOff = 0.0f, kLow = 1.0f / 3.0f, kBand = 2.0f / 3.0f, kHigh = 1.0f;

struct Route
{
    const char* name;
    float pre, post;
};

void PrintTo(const Route& r, std::ostream* os)
{
    *os << r.name;
}

// A random stereo block of 1 to 53 frames (around every vector width, a
// single frame included), some of it beyond full scale.
struct RandomBlock
{
    std::vector<float> l, r;
    explicit RandomBlock(std::mt19937& rng)
    {
        const int frames = 1 + static_cast<int>(rng() % 53);
        for (int i = 0; i < frames; ++i)
        {
            l.push_back(std::uniform_real_distribution<float>(-1.2f, 1.2f)(rng));
            r.push_back(std::uniform_real_distribution<float>(-1.2f, 1.2f)(rng));
        }
    }
};

template <typename Param>
std::string caseName(const ::testing::TestParamInfo<Param>& info)
{
    return std::string(std::get<0>(info.param)->name) + "_" + std::get<1>(info.param).name;
}

// The effect with a kernel, beside the model.
class EngineAndModel
{
public:
    explicit EngineAndModel(const Chain::Kernel& kernel) { engine.setKernel(kernel); }

    Vivuzudid engine{nullptr};
    reference::Chain model;

    void set(VstInt32 index, float v)
    {
        engine.setParameter(index, v);
        model.set(index, v);
    }

    void setPoint(int i, int32_t v)
    {
        engine.setParameter(kCurvePointSelect, static_cast<float>(i));
        engine.setParameter(kCurvePointValue, static_cast<float>(v));
        model.curve[i] = v;
    }

    // One block through both (in place for the engine); every output bit and
    // the last curve indices must agree.
    void compare(const std::vector<float>& left, const std::vector<float>& right)
    {
        const int frames = static_cast<int>(left.size());
        std::vector<float> l = left, r = right, expL(left.size()), expR(right.size());
        model.block(left.data(), right.data(), expL.data(), expR.data(), frames);
        float* io[2] = {l.data(), r.data()};
        engine.processReplacing(io, io, frames);
        for (int i = 0; i < frames; ++i)
        {
            ASSERT_EQ(bits(expL[i]), bits(l[i])) << "left frame " << i << " of " << frames;
            ASSERT_EQ(bits(expR[i]), bits(r[i])) << "right frame " << i << " of " << frames;
        }
        ASSERT_EQ(engine.getLastCurveIndex(0), model.lastL) << frames << " frames";
        ASSERT_EQ(engine.getLastCurveIndex(1), model.lastR) << frames << " frames";
    }
};

const Route kRoutes[] = {
    {"no_filters", kOff, kOff},           {"pre_low", kLow, kOff},            {"post_band", kOff, kBand},
    {"pre_band_post_high", kBand, kHigh}, {"pre_high_post_low", kHigh, kLow},
};

class Routes : public ::testing::TestWithParam<std::tuple<const Chain::Kernel*, Route>>
{
};

TEST_P(Routes, RandomBlocksMatchTheModelWithAndWithoutShaper)
{
    const auto [kernel, route] = GetParam();
    EngineAndModel e(*kernel);
    std::mt19937 rng(7);
    auto uniform = [&](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
    e.set(kPreFilterType, route.pre);
    e.set(kPostFilterType, route.post);
    for (int round = 0; round < 60; ++round)
    {
        e.set(kShaperSw, round % 4 == 3 ? 0.5f : 1.0f);
        e.set(kWetDry, round % 3 == 2 ? uniform(0.0f, 1.0f) : 1.0f);
        e.set(kPreCutoff, uniform(0.0f, 1.0f));
        e.set(kPostCutoff, uniform(0.0f, 1.0f));
        e.set(kPreGain, uniform(0.2f, 1.0f));
        e.setPoint(static_cast<int>(rng() % 128), static_cast<int32_t>(rng() % 129));
        RandomBlock block(rng);
        auto& l = block.l;
        auto& r = block.r;
        const int frames = static_cast<int>(l.size());
        // Some blocks end in silence, some are silent throughout: the last
        // indices must stay those of the latest frame that was not.
        const int quiet = round % 5 == 0 ? frames : (round % 5 == 1 ? static_cast<int>(rng() % (frames + 1)) : 0);
        for (int i = frames - quiet; i < frames; ++i)
            l[i] = r[i] = (i % 2) ? 1e-19f : -0.0f;
        e.compare(l, r);
    }
}

TEST_P(Routes, DecayIntoSilenceTakesTheNudgeExactly)
{
    // After a burst the band state decays below 2^-35, where the nudge changes it.
    const auto [kernel, route] = GetParam();
    EngineAndModel e(*kernel);
    e.set(kPreFilterType, route.pre);
    e.set(kPostFilterType, route.post);
    e.set(kPreCutoff, 0.9f);
    e.set(kPostCutoff, 0.8f);
    std::vector<float> l(64), r(64);
    for (int i = 0; i < 64; ++i)
    {
        l[i] = std::sin(0.3f * static_cast<float>(i));
        r[i] = std::cos(0.7f * static_cast<float>(i));
    }
    e.compare(l, r);
    const std::vector<float> zeros(4096, 0.0f);
    for (int block = 0; block < 8; ++block)
        e.compare(zeros, zeros);
}

INSTANTIATE_TEST_SUITE_P(Kernels, Routes, ::testing::Combine(::testing::ValuesIn(exact::kernels()), ::testing::ValuesIn(kRoutes)),
                         caseName<Routes::ParamType>);

// Routes only a kernel driven directly reaches: filter type 4 (the filters
// run, their output is not selected) and curve points beyond 0..128.
struct KernelRoute
{
    const char* name;
    int32_t pre, post;
};

void PrintTo(const KernelRoute& r, std::ostream* os)
{
    *os << r.name;
}

constexpr int32_t kUnselected = 4;
const KernelRoute kKernelRoutes[] = {{"frames_at_once", 0, 0},
                                     {"side_by_side", 0, kUnselected},
                                     {"side_by_side_pre", kUnselected, 0},
                                     {"pipelined", kUnselected, kUnselected},
                                     {"pre_unselected_post_band", kUnselected, 2},
                                     {"pre_high_post_low", 3, 1}};

class KernelRoutes : public ::testing::TestWithParam<std::tuple<const Chain::Kernel*, KernelRoute>>
{
protected:
    KernelHarness h{*std::get<0>(GetParam())};
    void SetUp() override
    {
        h.setType(0, std::get<1>(GetParam()).pre);
        h.setType(1, std::get<1>(GetParam()).post);
    }
};

TEST_P(KernelRoutes, RandomBlocksMatchTheModel)
{
    std::mt19937 rng(3);
    auto uniform = [&](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
    for (int round = 0; round < 30; ++round)
    {
        h.set(kShaperSw, round % 4 == 3 ? 0.5f : 1.0f);
        h.set(kWetDry, round % 3 == 2 ? uniform(0.0f, 1.0f) : 1.0f);
        h.set(kPreGain, uniform(0.2f, 1.0f));
        h.setPoint(static_cast<int>(rng() % 128), static_cast<int32_t>(rng() % 129));
        const RandomBlock block(rng);
        h.compare(block.l, block.r);
    }
}

TEST_P(KernelRoutes, LoudCurveDrivesTheBandStateIntoItsLimit)
{
    // Points below 0 give shaper outputs above 1.
    h.set(kPreCutoff, 0.2f);
    h.set(kPostCutoff, 0.1f);
    h.set(kPreGain, 1.0f);
    for (int i = 0; i < 128; ++i)
        h.setPoint(i, -1000 - i);
    std::vector<float> l(1000), r(1000);
    for (int i = 0; i < 1000; ++i)
    {
        l[i] = (i / 50) % 2 ? 0.9f : -0.9f;
        r[i] = (i / 23) % 2 ? 0.8f : -0.7f;
    }
    h.compare(l, r);
}

TEST_P(KernelRoutes, ExtremeInputsMapLikeTheModel)
{
    h.set(kPrePan, 0.0f);
    h.setPoint(0, 100); // index 0 gives 28/128, so its sign shows
    const float nan = std::nanf(""), payload = std::bit_cast<float>(0xFF812345u);
    h.compare({nan, INFINITY, -INFINITY, 3.0f, -2.0f, 1.0f, -1.0f, 1e-18f, -1e-18f, 1e-30f, -0.0f, 0.0f, FLT_MAX, -FLT_MAX,
               -nan, payload, nan, -0.0f, 1e-19f},
              {0.0f, 0.0f, 0.5f, 1e-20f, -0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1e-19f, 0.0f, 0.0f, 0.5f, -0.7f,
               payload, 0.9f, -0.9f});
}

INSTANTIATE_TEST_SUITE_P(Kernels, KernelRoutes,
                         ::testing::Combine(::testing::ValuesIn(exact::kernels()), ::testing::ValuesIn(kKernelRoutes)),
                         caseName<KernelRoutes::ParamType>);

// Every float s = |v| + 1 from 1 to 2, both signs, through the shaper of each
// kernel without filters, and through the pair shaper of the routes with
// filters (unselected filters pass the shaper's input and output through
// unchanged), which the portable kernel has and SSE2 shares with the wider
// kernels.
class ShaperRoutes : public ::testing::TestWithParam<std::tuple<const Chain::Kernel*, KernelRoute>>
{
};

TEST_P(ShaperRoutes, EveryShaperArgumentGivesTheFormulasCurvePoint)
{
    const auto [kernel, route] = GetParam();
    KernelHarness h(*kernel);
    h.set(kPostGain, 1.0f);
    h.setType(0, route.pre);
    h.setType(1, route.post);
    h.setGains(1.0f, 1.0f);
    constexpr int kBlock = 4096;
    std::vector<float> l(kBlock), r(kBlock, 0.0f), expected(kBlock);
    const uint32_t first = bits(1.0f), last = bits(2.0f);
    uint32_t mismatches = 0;
    for (uint32_t u = first; u < last;)
    {
        int n = 0;
        for (; n + 2 <= kBlock && u < last; u += exhaustive::kStride)
        {
            const float s = std::bit_cast<float>(u);
            for (const float v : {s - 1.0f, -(s - 1.0f)})
            {
                l[n] = v;
                r[n] = 0.0f;
                const int32_t index = ShaperIndex::indexOf(std::fabs(v) + 1.0f);
                const float out = static_cast<float>(index) * 0.0078125f; // initial curve: 128 - point = index
                expected[n] = (static_cast<double>(std::fabs(v)) <= 1e-18) ? 0.0f : (v < 0.0f ? -out : out);
                ++n;
            }
        }
        h.run(l.data(), r.data(), n);
        for (int i = 0; i < n; ++i)
            mismatches += bits(l[i]) != bits(expected[i]) ? 1u : 0u;
    }
    EXPECT_EQ(mismatches, 0u);
}

INSTANTIATE_TEST_SUITE_P(Kernels, ShaperRoutes,
                         ::testing::Combine(::testing::ValuesIn(exact::kernels()), ::testing::Values(kKernelRoutes[0])),
                         caseName<ShaperRoutes::ParamType>);

std::vector<const Chain::Kernel*> filterRouteKernels()
{
    std::vector<const Chain::Kernel*> kernels{&Chain::portableKernel()};
#if defined(__x86_64__)
    kernels.push_back(&Chain::sse2Kernel());
#endif
    return kernels;
}

INSTANTIATE_TEST_SUITE_P(FilterRoutes, ShaperRoutes,
                         ::testing::Combine(::testing::ValuesIn(filterRouteKernels()),
                                            ::testing::Values(kKernelRoutes[1], kKernelRoutes[3])),
                         caseName<ShaperRoutes::ParamType>);

} // namespace
