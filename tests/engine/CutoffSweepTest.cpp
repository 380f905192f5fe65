// Every cutoff position of a 16-bit grid, and out-of-range ones (which the
// effect clamps), for both filter slots and the three filter types, on every
// kernel: coefficients and audio against the literal model, bit for bit.
#include "engine/Vivuzudid.h"
#include "tests/engine/ExactChainKernels.h"
#include "tests/engine/ReferenceChain.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <vector>

namespace {

struct Slot
{
    const char* name;
    VstInt32 typeIndex, cutIndex, otherTypeIndex;
    int firstFilter;
};

void PrintTo(const Slot& s, std::ostream* os)
{
    *os << s.name;
}

const Slot kSlots[] = {{"pre", kPreFilterType, kPreCutoff, kPostFilterType, 0},
                       {"post", kPostFilterType, kPostCutoff, kPreFilterType, 2}};

struct FilterType
{
    const char* name;
    float value;
};

void PrintTo(const FilterType& t, std::ostream* os)
{
    *os << t.name;
}

const FilterType kTypes[] = {{"low-pass", 1.0f / 3.0f}, {"band-pass", 2.0f / 3.0f}, {"high-pass", 1.0f}};

std::vector<float> positions()
{
    std::vector<float> out;
    for (int k = 0; k <= 65536; ++k)
        out.push_back(static_cast<float>(k) / 65536.0f);
    for (float v : {-0.0f, std::bit_cast<float>(1u), 1e-40f, -1e-40f, FLT_MIN, 1e30f, -1e30f, FLT_MAX, -FLT_MAX, 1.01f,
                    2.0f, 10.0f, -1.0f})
        out.push_back(v);
    return out;
}

class CutoffSweep : public ::testing::TestWithParam<std::tuple<const Chain::Kernel*, Slot, FilterType>>
{
};

TEST_P(CutoffSweep, CoefficientsAndAudioMatchTheFormulasAtEveryPosition)
{
    const auto [kernel, slot, type] = GetParam();
    Vivuzudid engine(nullptr);
    engine.setKernel(*kernel);
    reference::Chain model;
    // The effect holds positions within 0..1.
    auto set = [&](VstInt32 index, float v) {
        engine.setParameter(index, v);
        model.set(index, v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v));
    };
    // Shaper off, so the filter output reaches the output unquantised.
    set(kShaperSw, 0.0f);
    set(slot.otherTypeIndex, 0.0f);
    set(slot.typeIndex, type.value);

    const float input[2][4] = {{0.3f, -0.7f, 0.9f, 1e-3f}, {-0.05f, 0.6f, -1.0f, 0.25f}};
    for (float position : positions())
    {
        set(slot.cutIndex, position);
        float l[4], r[4], expL[4], expR[4];
        std::copy(input[0], input[0] + 4, l);
        std::copy(input[1], input[1] + 4, r);
        float* io[2] = {l, r};
        engine.processReplacing(io, io, 4);
        model.block(input[0], input[1], expL, expR, 4);
        // The block ran with the coefficients of this position.
        for (int which = slot.firstFilter; which < slot.firstFilter + 2; ++which)
        {
            const DovanSVF& f = engine.filter(which);
            ASSERT_EQ(std::bit_cast<uint32_t>(f.freq), std::bit_cast<uint32_t>(model.f[which].freq))
                << "freq at position " << position;
            ASSERT_EQ(std::bit_cast<uint32_t>(f.damp), std::bit_cast<uint32_t>(model.f[which].damp))
                << "damp at position " << position;
            ASSERT_EQ(f.cutoff, model.f[which].cutoff) << "cutoff at position " << position;
        }
        for (int i = 0; i < 4; ++i)
        {
            ASSERT_EQ(std::bit_cast<uint32_t>(l[i]), std::bit_cast<uint32_t>(expL[i])) << "left at position " << position;
            ASSERT_EQ(std::bit_cast<uint32_t>(r[i]), std::bit_cast<uint32_t>(expR[i])) << "right at position " << position;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, CutoffSweep,
                         ::testing::Combine(::testing::ValuesIn(exact::kernels()), ::testing::ValuesIn(kSlots), ::testing::ValuesIn(kTypes)),
                         [](const auto& info) {
                             std::string name = std::string(std::get<0>(info.param)->name) + "_" + std::get<1>(info.param).name +
                                                "_" + std::get<2>(info.param).name;
                             for (auto& c : name)
                                 if (c == '-')
                                     c = '_';
                             return name;
                         });

// At 38438/65536 (fc 989.512146 Hz) x² taken as one product and as x * x differ by an ulp.
TEST(CutoffCoefficient, KnownPositionGivesTheOneProductCoefficient)
{
    Vivuzudid engine(nullptr);
    reference::Chain model;
    engine.setParameter(kPreCutoff, 38438.0f / 65536.0f);
    model.set(kPreCutoff, 38438.0f / 65536.0f);
    float l = 0.0f, r = 0.0f;
    float* io[2] = {&l, &r};
    engine.processReplacing(io, io, 1);
    EXPECT_NEAR(engine.filter(0).cutoff, 989.512146f, 1e-3f);
    EXPECT_EQ(std::bit_cast<uint32_t>(engine.filter(0).freq), std::bit_cast<uint32_t>(model.f[0].freq));
}

} // namespace
