// Real effects, loaded from their code and driven only through their
// records: Debian's DPF effects and, when built, Dithercrunch itself.
#include "RecordingHost.h"
#include "auadapter/FormatException.h"
#include "auadapter/VSTPlugIn.h"
#include "platform/SharedLibraryBundle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <random>

namespace
{

struct RealEffect
{
    std::string name;
    std::string path;
};

void PrintTo(const RealEffect& effect, std::ostream* os)
{
    *os << effect.name;
}

std::vector<RealEffect> realEffects()
{
    std::vector<RealEffect> effects;
#ifdef DC_PLUGIN_PATH
    effects.push_back({"DitherCrunch", DC_PLUGIN_PATH});
#endif
    for (const char* name : {"3BandEQ", "MVerb", "PingPongPan", "MaBitcrush", "SoulForce"})
        effects.push_back({name, std::string("/usr/lib/vst/") + name + "-vst.so"});
    effects.push_back({"ProM", "/usr/lib/vst/ProM.vst"});
    return effects;
}

class RealEffectTest : public ::testing::TestWithParam<RealEffect>
{
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(GetParam().path))
            GTEST_SKIP() << GetParam().path << " is not installed";
    }

    std::unique_ptr<VSTPlugIn> load()
    {
        SharedLibraryBundle* bundle = SharedLibraryBundle::create(GetParam().path);
        EXPECT_NE(bundle, nullptr);
        if (!bundle)
            return nullptr;
        auto plugIn = std::make_unique<VSTPlugIn>(host, bundle, 48000.0f, kBlock);
        bundle->release();
        plugIn->open();
        plugIn->setSampleRate(48000.0f);
        plugIn->setBlockSize(kBlock);
        return plugIn;
    }

    // Renders the same noise through each plug-in, block by block.
    std::vector<std::vector<float>> render(VSTPlugIn& plugIn)
    {
        std::mt19937 random(7);
        std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
        const int32_t ins = std::max(plugIn.getInputCount(), 1), outs = plugIn.getOutputCount();
        std::vector<std::vector<float>> in(static_cast<size_t>(ins), std::vector<float>(kBlock));
        std::vector<std::vector<float>> out(static_cast<size_t>(outs), std::vector<float>(kBlock));
        std::vector<std::vector<float>> all(static_cast<size_t>(outs));
        std::vector<float*> inPointers, outPointers;
        for (auto& c : in)
            inPointers.push_back(c.data());
        for (auto& c : out)
            outPointers.push_back(c.data());
        for (int block = 0; block < 8; ++block)
        {
            for (auto& c : in)
                for (float& s : c)
                    s = noise(random);
            plugIn.processReplacing(inPointers.data(), outPointers.data(), kBlock);
            for (int32_t c = 0; c < outs; ++c)
                all[static_cast<size_t>(c)].insert(all[static_cast<size_t>(c)].end(), out[static_cast<size_t>(c)].begin(), out[static_cast<size_t>(c)].end());
        }
        return all;
    }

    static constexpr int32_t kBlock = 256;
    RecordingHost host;
};

TEST_P(RealEffectTest, OpensAndRendersFiniteAudio)
{
    auto plugIn = load();
    ASSERT_TRUE(plugIn && plugIn->isOpen());
    EXPECT_EQ(plugIn->getEffect()->magic, kEffectMagic);
    EXPECT_TRUE(plugIn->canProcessReplacing());
    EXPECT_GT(plugIn->getOutputCount(), 0);
    char name[25];
    for (int32_t i = 0; i < plugIn->getParameterCount(); ++i)
        plugIn->getParameterName(i, name);
    plugIn->resume();
    const auto out = render(*plugIn);
    for (const auto& channel : out)
        for (float s : channel)
            ASSERT_TRUE(std::isfinite(s));
    plugIn->suspend();
}

TEST_P(RealEffectTest, ProgramAndBankRecordsReloadIntoFreshInstancesWithIdenticalAudio)
{
    auto source = load();
    ASSERT_TRUE(source);
    // Move every parameter off its default.
    for (int32_t i = 0; i < source->getParameterCount(); ++i)
        source->setParameter(i, std::fmod(0.3f + 0.37f * static_cast<float>(i), 1.0f));
    size_t fxpLength = 0, fxbLength = 0;
    auto fxp = source->createFXP(fxpLength);
    auto fxb = source->createFXB(fxbLength);
    const char* form = source->hasProgramChunks() ? "FPCh" : "FxCk";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(fxp.get() + 8), 4), form);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(fxb.get() + 8), 4), source->hasProgramChunks() ? "FBCh" : "FxBk");

    auto fromProgram = load();
    auto fromBank = load();
    ASSERT_TRUE(fromProgram && fromBank);
    EXPECT_TRUE(fromProgram->loadFXPOrFXB(fxpLength, fxp.get()));
    EXPECT_TRUE(fromBank->loadFXPOrFXB(fxbLength, fxb.get()));
    for (int32_t i = 0; i < source->getParameterCount(); ++i)
    {
        EXPECT_EQ(fromProgram->getParameter(i), source->getParameter(i)) << "parameter " << i;
        EXPECT_EQ(fromBank->getParameter(i), source->getParameter(i)) << "parameter " << i;
    }

    // The records a loaded instance writes are the ones it was given.
    size_t againLength = 0;
    auto again = fromBank->createFXB(againLength);
    EXPECT_EQ(std::vector<uint8_t>(again.get(), again.get() + againLength), std::vector<uint8_t>(fxb.get(), fxb.get() + fxbLength));

    source->resume();
    fromProgram->resume();
    fromBank->resume();
    const auto expected = render(*source);
    EXPECT_EQ(render(*fromProgram), expected);
    EXPECT_EQ(render(*fromBank), expected);
}

TEST_P(RealEffectTest, RecordOfAnotherEffectIsRejected)
{
    auto plugIn = load();
    ASSERT_TRUE(plugIn);
    size_t length = 0;
    auto fxp = plugIn->createFXP(length);
    fxp[16] ^= 0x20; // another plug-in ID
    EXPECT_THROW(plugIn->loadFXPOrFXB(length, fxp.get()), FormatException);
}

INSTANTIATE_TEST_SUITE_P(Effects, RealEffectTest, ::testing::ValuesIn(realEffects()),
                         [](const auto& info) { return info.param.name; });

} // namespace

#ifdef DC_TEST_MODULE
TEST(LoadedModule, EntryMainMachoWinsOverVSTPluginMain)
{
    RecordingHost host;
    SharedLibraryBundle* bundle = SharedLibraryBundle::create(DC_TEST_MODULE);
    ASSERT_NE(bundle, nullptr);
    {
        VSTPlugIn plugIn(host, bundle, 44100.0f, 64);
        plugIn.open();
        EXPECT_EQ(plugIn.getEffect()->uniqueID, CCONST('M', 'a', 'c', 'h'));
        EXPECT_EQ(bundle->getRetainCount(), 2);
        bundle->retain(); // keep it to look at after the plug-in is gone
    }
    EXPECT_TRUE(bundle->isExecutableLoaded()) << "another owner still holds the bundle";
    EXPECT_EQ(bundle->getRetainCount(), 2);
    bundle->release();
    bundle->release();
}
#endif
