// Filter coefficients and the cutoff mapper, on the engine directly.
#include "engine/CExpMapper.h"
#include "engine/Vivuzudid.h"
#include "tests/engine/ExhaustiveStride.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

namespace {

struct Coefficients
{
    float cutoff, freq, damp;
};

// The coefficients the next block runs with.
Coefficients of(Vivuzudid& e, int which)
{
    float l = 0.0f, r = 0.0f;
    float* io[2] = {&l, &r};
    e.processReplacing(io, io, 1);
    const DovanSVF& f = e.filter(which);
    return {f.cutoff, f.freq, f.damp};
}

TEST(Filters, CoefficientsAtTheDocumentedCutoffs)
{
    Vivuzudid e(nullptr);
    struct Case
    {
        float position, cutoff, freq;
    };
    const Case cases[] = {{0.5f, 562.617f, 0.040077f}, {1.0f, 11025.0f, 0.765429f}, {0.0f, 31.0f, 0.0022084f}};
    for (const auto& c : cases)
    {
        e.setParameter(kPreCutoff, c.position);
        e.setParameter(kPostCutoff, c.position);
        for (int which = 0; which < 4; ++which)
        {
            const auto k = of(e, which);
            EXPECT_NEAR(k.cutoff, c.cutoff, c.cutoff * 2e-6) << c.position;
            EXPECT_NEAR(k.freq, c.freq, c.freq * 2e-5) << c.position;
            EXPECT_NEAR(k.damp, 0.755334f, 1e-6) << c.position;
        }
    }
}

TEST(Filters, HostSampleRateChangesDoNotReachTheFilters)
{
    Vivuzudid e(nullptr);
    e.setSampleRate(96000.0f);
    e.setParameter(kPreCutoff, 1.0f);
    EXPECT_EQ(e.getFilterSampleRate(), 44100.0f);
    EXPECT_EQ(of(e, 0).cutoff, 11025.0f);
}

TEST(Filters, PreAndPostPairsFollowTheirOwnCutoff)
{
    Vivuzudid e(nullptr);
    e.setParameter(kPreCutoff, 0.0f);
    e.setParameter(kPostCutoff, 1.0f);
    EXPECT_EQ(of(e, 0).cutoff, 31.0f);
    EXPECT_EQ(of(e, 1).cutoff, 31.0f);
    EXPECT_EQ(of(e, 2).cutoff, 11025.0f);
    EXPECT_EQ(of(e, 3).cutoff, 11025.0f);
}

TEST(CutoffMapper, MapsPositionsExponentially)
{
    Quillfen::Utility::CExpMapper m(21.533201f, 14700.0f, 0.9166667f);
    m.setRange(21.533201f, 14700.0f);
    EXPECT_NEAR(m.setAndGetValue(0.0f), 21.533201f, 1e-4);
    EXPECT_EQ(m.setAndGetValue(1.0f), 14700.0f); // just above before clamping
    EXPECT_NEAR(m.setAndGetValue(0.5f), 562.617f, 0.01);
    EXPECT_EQ(m.getValue(), m.setAndGetValue(0.5f));
    // Out-of-range and NaN positions stay within the range.
    EXPECT_EQ(m.setAndGetValue(-3.0f), 21.533201f);
    EXPECT_EQ(m.setAndGetValue(7.0f), 14700.0f);
    EXPECT_EQ(m.setAndGetValue(std::nanf("")), 14700.0f);
}

TEST(CutoffMapper, MinimumOfZeroUsesOne)
{
    Quillfen::Utility::CExpMapper m(0.0f, 100.0f, 0.0f);
    EXPECT_EQ(m.getMin(), 1.0f);
    EXPECT_NEAR(m.getValue(), 1.0f, 1e-6);
    EXPECT_NEAR(m.setAndGetValue(0.5f), 10.0f, 1e-4);
}

TEST(Engine, WithoutAHostKeepsTheFrameDefaults)
{
    Vivuzudid e(nullptr);
    EXPECT_EQ(e.getAeffect()->numInputs, 1);
    EXPECT_EQ(e.getAeffect()->uniqueID, CCONST('N', 'o', 'E', 'f'));
    EXPECT_EQ(e.getAeffect()->flags, effFlagsCanReplacing | effFlagsProgramChunks);
    EXPECT_EQ(e.getMasterVersion(), 1);
    char name[64] = {};
    e.getEffectName(name);
    EXPECT_STREQ(name, "Dithercrunch");
}

} // namespace

namespace {

// The filter's fast path skips the nudge where 2^-35 < |band| <= 1: there it
// must return every float unchanged; +2^-35 itself is not (the bound is tight).
TEST(BandNudge, IsTheIdentityForEveryFloatInTheFastRange)
{
    const float bound = DovanSVF::kNudgeIdentityAbove;
    const uint32_t first = std::bit_cast<uint32_t>(bound) + 1u, last = std::bit_cast<uint32_t>(1.0f);
    uint32_t changed = 0;
    for (uint32_t u = first; u <= last; u += exhaustive::kStride)
        for (const uint32_t sign : {0u, 0x80000000u})
        {
            const float b = std::bit_cast<float>(u | sign);
            changed += std::bit_cast<uint32_t>(DovanSVF::nudge(b)) != (u | sign) ? 1u : 0u;
        }
    EXPECT_EQ(changed, 0u);
    EXPECT_NE(DovanSVF::nudge(bound), bound);
    EXPECT_NE(DovanSVF::nudge(0.0f), 0.0f);
}

} // namespace
