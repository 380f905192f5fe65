// Real effects loaded from their code and driven only through their records:
// Debian's DPF effects and, when built, Dithercrunch itself.
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

using Audio = std::vector<std::vector<float>>;

class RealEffectTest : public ::testing::TestWithParam<std::string>
{
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(GetParam()))
            GTEST_SKIP() << GetParam() << " is not installed";
    }
    std::unique_ptr<VSTPlugIn> load()
    {
        SharedLibraryBundle* bundle = SharedLibraryBundle::create(GetParam());
        auto plugIn = std::make_unique<VSTPlugIn>(host, bundle, 48000.0f, kBlock);
        bundle->release();
        plugIn->open();
        plugIn->setSampleRate(48000.0f);
        plugIn->setBlockSize(kBlock);
        return plugIn;
    }
    // The same noise through every plug-in, eight blocks of it.
    static Audio render(VSTPlugIn& plugIn)
    {
        std::mt19937 random(7);
        std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
        Audio in(static_cast<size_t>(std::max(plugIn.getInputCount(), 1)), std::vector<float>(kBlock));
        Audio out(static_cast<size_t>(plugIn.getOutputCount()), std::vector<float>(kBlock)), all(out.size());
        std::vector<float*> inPointers, outPointers;
        for (auto& c : in)
            inPointers.push_back(c.data());
        for (auto& c : out)
            outPointers.push_back(c.data());
        for (int block = 0; block < 8; ++block)
        {
            for (auto& c : in)
                std::generate(c.begin(), c.end(), [&] { return noise(random); });
            plugIn.processReplacing(inPointers.data(), outPointers.data(), kBlock);
            for (size_t c = 0; c < out.size(); ++c)
                all[c].insert(all[c].end(), out[c].begin(), out[c].end());
        }
        return all;
    }

    static constexpr int32_t kBlock = 256;
    RecordingHost host;
};

TEST_P(RealEffectTest, RecordsReloadIntoFreshInstancesWithIdenticalAudio)
{
    auto source = load();
    ASSERT_TRUE(source->isOpen() && source->canProcessReplacing());
    for (int32_t i = 0; i < source->getParameterCount(); ++i)
        source->setParameter(i, std::fmod(0.3f + 0.37f * static_cast<float>(i), 1.0f));
    size_t fxpLength = 0, fxbLength = 0;
    auto fxp = source->createFXP(fxpLength);
    auto fxb = source->createFXB(fxbLength);
    const bool chunks = source->hasProgramChunks();
    if (source->getEffect()->uniqueID == CCONST('K', 'w', 'Q', 'z')) // Dithercrunch: one program, a 564-byte chunk
    {
        EXPECT_EQ(std::to_string(fxpLength) + " " + std::to_string(fxbLength) + (chunks ? " chunks" : ""), "624 724 chunks");
    }
    EXPECT_EQ(std::string(reinterpret_cast<char*>(fxp.get() + 8), 4), chunks ? "FPCh" : "FxCk");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(fxb.get() + 8), 4), chunks ? "FBCh" : "FxBk");

    auto fromProgram = load();
    auto fromBank = load();
    EXPECT_TRUE(fromProgram->loadFXPOrFXB(fxpLength, fxp.get()));
    EXPECT_TRUE(fromBank->loadFXPOrFXB(fxbLength, fxb.get()));
    for (int32_t i = 0; i < source->getParameterCount(); ++i)
        EXPECT_EQ(fromBank->getParameter(i), source->getParameter(i)) << "parameter " << i;
    size_t againLength = 0;
    auto again = fromProgram->createFXB(againLength);
    EXPECT_EQ(std::vector<uint8_t>(again.get(), again.get() + againLength), std::vector<uint8_t>(fxb.get(), fxb.get() + fxbLength));

    for (VSTPlugIn* p : {source.get(), fromProgram.get(), fromBank.get()})
        p->resume();
    const Audio expected = render(*source);
    for (const auto& channel : expected)
        for (float s : channel)
            ASSERT_TRUE(std::isfinite(s));
    EXPECT_EQ(render(*fromProgram), expected);
    EXPECT_EQ(render(*fromBank), expected);

    fxp[16] ^= 0x20; // another plug-in's ID
    EXPECT_THROW(fromProgram->loadFXPOrFXB(fxpLength, fxp.get()), FormatException);
}

std::vector<std::string> realEffects()
{
    std::vector<std::string> effects;
#ifdef DC_PLUGIN_PATH
    effects.push_back(DC_PLUGIN_PATH);
#endif
    for (const char* name : {"3BandEQ-vst.so", "MVerb-vst.so", "PingPongPan-vst.so", "MaBitcrush-vst.so", "SoulForce-vst.so", "ProM.vst"})
        effects.push_back(std::string("/usr/lib/vst/") + name);
    return effects;
}

INSTANTIATE_TEST_SUITE_P(Effects, RealEffectTest, ::testing::ValuesIn(realEffects()), [](const auto& info) {
    const std::string stem = std::filesystem::path(info.param).stem().string();
    return stem.substr(0, stem.find('-'));
});

TEST(LoadedModule, MainMachoWinsAndAnotherOwnerKeepsTheCodeLoaded)
{
    RecordingHost host;
    SharedLibraryBundle* bundle = SharedLibraryBundle::create(DC_TEST_MODULE);
    ASSERT_NE(bundle, nullptr);
    bundle->retain();
    {
        VSTPlugIn plugIn(host, bundle, 44100.0f, 64);
        plugIn.open();
        EXPECT_EQ(plugIn.getEffect()->uniqueID, CCONST('M', 'a', 'c', 'h'));
    }
    EXPECT_TRUE(bundle->isExecutableLoaded());
    bundle->release();
    bundle->release();
}

} // namespace
