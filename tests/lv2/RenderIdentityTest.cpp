// The LV2 form renders bit for bit what the VST form renders through
// VSTPluginMain, for the same parameter values, curve, MIDI and input:
// every block length from 0 to the maximum, in place, at several rates,
// with NaN, infinities and denormals in the input, ports changed between
// blocks and control changes at frame offsets.
#include "tests/lv2/Lv2TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>

namespace dc::lv2test {
namespace {

constexpr uint32_t kMaxBlock = 4096;
constexpr uint32_t kBlockLengths[] = {0, 1, 2, 3, 37, 64, 511, 512, 4096, 1, 1023, 0, 333, 4096, 7, 2048};

struct Case
{
    const char* name;
    double rate;
    bool randomSettings; // random ports and curve at the start
    bool changes;        // ports, curve and control changes between blocks
    bool specials;       // NaN, infinities, denormals in the input
    bool inPlace;        // the LV2 instance's outputs are its inputs
    uint32_t seed;
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name << " at " << c.rate;
}

class RenderIdentity : public ::testing::TestWithParam<Case>
{
protected:
    float randomValue()
    {
        // Mostly in range; now and then beyond it, as hosts may send.
        std::uniform_real_distribution<float> inRange(0.0f, 1.0f), wide(-0.5f, 1.5f);
        return std::uniform_int_distribution<int>(0, 9)(rng) == 0 ? wide(rng) : inRange(rng);
    }
    Curve randomCurve()
    {
        Curve c{};
        for (auto& p : c)
            p = std::uniform_int_distribution<int32_t>(0, 128)(rng);
        return c;
    }
    void fillInput(std::vector<float>& v, bool specials)
    {
        std::uniform_real_distribution<float> noise(-1.5f, 1.5f);
        static constexpr float kSpecial[] = {std::numeric_limits<float>::quiet_NaN(),
                                             std::numeric_limits<float>::infinity(),
                                             -std::numeric_limits<float>::infinity(),
                                             1e-40f,
                                             -1e-41f,
                                             0.0f,
                                             -0.0f,
                                             1e30f,
                                             std::numeric_limits<float>::denorm_min()};
        for (auto& s : v)
        {
            s = noise(rng);
            if (specials && std::uniform_int_distribution<int>(0, 63)(rng) == 0)
                s = kSpecial[std::uniform_int_distribution<size_t>(0, std::size(kSpecial) - 1)(rng)];
        }
    }
    void setPort(Instance& lv2, VstTwin& vst, uint32_t port, float value)
    {
        lv2.control(port) = value;
        vst.setParameter(static_cast<int32_t>(port), value);
    }

    std::mt19937 rng;
};

TEST_P(RenderIdentity, MatchesVstFormBitForBit)
{
    const Case& c = GetParam();
    rng.seed(c.seed);
    Instance lv2(c.rate);
    VstTwin vst(c.rate, kMaxBlock);
    if (c.randomSettings)
    {
        for (uint32_t i = 0; i < DitherCrunchLv2::kNumParameterPorts; ++i)
            setPort(lv2, vst, i, randomValue());
        const Curve curve = randomCurve();
        lv2.curve(curve);
        vst.setCurve(curve);
    }

    std::vector<float> inL(kMaxBlock), inR(kMaxBlock), lv2L(kMaxBlock), lv2R(kMaxBlock), vstL(kMaxBlock),
        vstR(kMaxBlock);
    int block = 0;
    for (int round = 0; round < 3; ++round)
        for (uint32_t frames : kBlockLengths)
        {
            ++block;
            if (c.changes)
            {
                for (int n = std::uniform_int_distribution<int>(0, 3)(rng); n > 0; --n)
                    setPort(lv2, vst, std::uniform_int_distribution<uint32_t>(0, 8)(rng), randomValue());
                if (block % 7 == 0)
                {
                    const Curve curve = randomCurve();
                    lv2.curve(curve);
                    vst.setCurve(curve);
                }
                // Control changes at frame offsets: the block's events apply
                // before it, in order, in both forms. 73 and notes are ignored.
                for (int n = std::uniform_int_distribution<int>(0, 3)(rng); n > 0; --n)
                {
                    static constexpr uint8_t kControllers[] = {70, 71, 72, 73};
                    const uint8_t status = (std::uniform_int_distribution<int>(0, 5)(rng) == 0 ? 0x90 : 0xB0) |
                                           std::uniform_int_distribution<uint8_t>(0, 15)(rng);
                    const uint8_t controller = kControllers[std::uniform_int_distribution<int>(0, 3)(rng)];
                    const uint8_t value = std::uniform_int_distribution<uint8_t>(0, 127)(rng);
                    const uint32_t offset = frames ? std::uniform_int_distribution<uint32_t>(0, frames - 1)(rng) : 0;
                    lv2.midi(offset, status, controller, value);
                    vst.controlChange(status, controller, value);
                }
            }
            fillInput(inL, c.specials);
            fillInput(inR, c.specials);
            if (c.inPlace)
            {
                std::copy(inL.begin(), inL.begin() + frames, lv2L.begin());
                std::copy(inR.begin(), inR.begin() + frames, lv2R.begin());
                lv2.run(lv2L.data(), lv2R.data(), lv2L.data(), lv2R.data(), frames);
            }
            else
                lv2.run(inL.data(), inR.data(), lv2L.data(), lv2R.data(), frames);
            vst.process(inL.data(), inR.data(), vstL.data(), vstR.data(), frames);
            for (uint32_t i = 0; i < frames; ++i)
            {
                ASSERT_EQ(0, std::memcmp(&lv2L[i], &vstL[i], sizeof(float)))
                    << "block " << block << " (" << frames << " frames), left frame " << i << ": " << lv2L[i]
                    << " against " << vstL[i];
                ASSERT_EQ(0, std::memcmp(&lv2R[i], &vstR[i], sizeof(float)))
                    << "block " << block << " (" << frames << " frames), right frame " << i << ": " << lv2R[i]
                    << " against " << vstR[i];
            }
        }
    EXPECT_EQ(curveOf(lv2), vst.curve());
}

const Case kCases[] = {
    {"defaults", 44100.0, false, false, false, false, 1},
    {"defaults", 96000.0, false, false, false, true, 2},
    {"random", 44100.0, true, false, false, false, 3},
    {"random_changes_midi", 44100.0, true, true, false, false, 4},
    {"random_changes_midi", 48000.0, true, true, true, false, 5},
    {"random_changes_midi_in_place", 48000.0, true, true, true, true, 6},
    {"random_changes_midi_in_place", 96000.0, true, true, true, true, 7},
    {"random_specials", 96000.0, true, false, true, false, 8},
};

INSTANTIATE_TEST_SUITE_P(Lv2, RenderIdentity, ::testing::ValuesIn(kCases), [](const auto& info) {
    return std::string(info.param.name) + "_" + std::to_string(static_cast<int>(info.param.rate));
});

} // namespace
} // namespace dc::lv2test
