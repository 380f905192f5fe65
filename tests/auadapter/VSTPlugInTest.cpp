#include "FakeEffect.h"
#include "RecordingHost.h"
#include "auadapter/TwinfoldException.h"
#include "auadapter/VSTPlugIn.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace
{

class VSTPlugInTest : public ::testing::Test
{
protected:
    void SetUp() override { gEntryScript = EntryScript{&fake}; }
    void TearDown() override { gEntryScript = EntryScript{}; }

    std::unique_ptr<VSTPlugIn> makePlugIn(std::map<std::string, void*> functions = {{"VSTPluginMain", reinterpret_cast<void*>(&fakeEntryPoint)}},
                                          bool loadable = true)
    {
        bundle = InProcessBundle::create(std::move(functions), loadable);
        auto plugIn = std::make_unique<VSTPlugIn>(host, bundle, 44100.0f, 512);
        bundle->release(); // the plug-in holds the only reference now
        return plugIn;
    }

    std::unique_ptr<VSTPlugIn> openPlugIn()
    {
        auto plugIn = makePlugIn();
        plugIn->open();
        return plugIn;
    }

    VstIntPtr ask(int32_t opcode, int32_t index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f)
    {
        return fake.master(&fake.record, opcode, index, value, ptr, opt);
    }

    std::string failureOfOpen(VSTPlugIn& plugIn)
    {
        try
        {
            plugIn.open();
        }
        catch (const TwinfoldException& e)
        {
            return e.what();
        }
        return "";
    }

    FakeEffect fake{2, 3, false};
    RecordingHost host;
    InProcessBundle* bundle = nullptr;
};

TEST_F(VSTPlugInTest, OpenLoadsTheCodeLinksTheRecordAndSendsOnlyOpen)
{
    auto plugIn = makePlugIn();
    EXPECT_FALSE(plugIn->isOpen());
    EXPECT_EQ(plugIn->getParameterCount(), 0);
    plugIn->open();
    EXPECT_TRUE(plugIn->isOpen());
    EXPECT_EQ(bundle->loads, 1);
    EXPECT_EQ(plugIn->getEffect(), &fake.record);
    EXPECT_EQ(fake.record.resvd1, reinterpret_cast<VstIntPtr>(plugIn.get()));
    EXPECT_EQ(fake.opcodes, std::vector<int32_t>{effOpen});
    EXPECT_EQ(gEntryScript.versionAnswer, 2300);
    EXPECT_EQ(plugIn->getProgramCount(), 2);
    EXPECT_EQ(plugIn->getParameterCount(), 3);
    EXPECT_EQ(plugIn->getInputCount(), 2);
    EXPECT_TRUE(plugIn->canProcessReplacing());
    EXPECT_FALSE(plugIn->hasProgramChunks());
    EXPECT_FALSE(plugIn->hasEditor());
    EXPECT_FALSE(plugIn->dontProcessSilence());
}

TEST_F(VSTPlugInTest, PrefersMainMachoOverVSTPluginMain)
{
    auto plugIn = makePlugIn({{"VSTPluginMain", reinterpret_cast<void*>(&fakeEntryPoint)},
                              {"main_macho", reinterpret_cast<void*>(&fakeOtherEntryPoint)}});
    plugIn->open();
    EXPECT_EQ(plugIn->getEffect()->uniqueID, CCONST('M', 'a', 'c', 'h'));
}

TEST_F(VSTPlugInTest, EntryPointAskingForItsIDSeesTheRecordAlready)
{
    gEntryScript.askIdDuringEntry = true;
    fake.record.uniqueID = CCONST('K', 'w', 'Q', 'z');
    auto plugIn = openPlugIn();
    EXPECT_EQ(gEntryScript.idAnswer, CCONST('K', 'w', 'Q', 'z'));
}

TEST_F(VSTPlugInTest, OpenFailuresRaiseTheirMessages)
{
    {
        auto plugIn = makePlugIn({}, false);
        EXPECT_EQ(failureOfOpen(*plugIn), "Could not load VST bundle executable");
    }
    {
        auto plugIn = makePlugIn({{"other", reinterpret_cast<void*>(&fakeEntryPoint)}});
        EXPECT_EQ(failureOfOpen(*plugIn), "Could not locate function in bundle executable (\"main_macho\" or \"VSTPluginMain\")");
    }
    const std::string noRecord = "VST main() doesn't return object AEffect*";
    {
        gEntryScript.effect = nullptr;
        auto plugIn = makePlugIn();
        EXPECT_EQ(failureOfOpen(*plugIn), noRecord);
        EXPECT_FALSE(plugIn->isOpen());
    }
    {
        gEntryScript.effect = &fake;
        gEntryScript.askIdDuringEntry = true;
        fake.record.magic = 0x12345678;
        auto plugIn = makePlugIn();
        EXPECT_EQ(failureOfOpen(*plugIn), noRecord);
        EXPECT_EQ(plugIn->getEffect(), nullptr);
        fake.record.magic = kEffectMagic;
    }
    {
        gEntryScript.throwInEntry = true;
        auto plugIn = makePlugIn();
        EXPECT_EQ(failureOfOpen(*plugIn), noRecord);
    }
    // No plug-in is left behind as the one running its entry point.
    EXPECT_EQ(VSTPlugIn::staticAudioMasterCallback(nullptr, audioMasterGetBlockSize, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(VSTPlugIn::staticAudioMasterCallback(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f), 2300);
}

TEST_F(VSTPlugInTest, AnswersHostRequestsAsTabled)
{
    auto plugIn = openPlugIn();
    EXPECT_EQ(ask(audioMasterAutomate, 2, 0, nullptr, 0.25f), 0);
    EXPECT_EQ(ask(audioMasterVersion), 2300);
    EXPECT_EQ(ask(audioMasterCurrentId), CCONST('F', 'a', 'k', 'e'));
    EXPECT_EQ(ask(audioMasterIdle), 0);
    EXPECT_EQ(ask(audioMasterGetParameterQuantization), 1);
    EXPECT_EQ(ask(audioMasterNeedIdle), 1);
    EXPECT_EQ(ask(audioMasterSizeWindow, 640, 480), 1);
    EXPECT_EQ(ask(audioMasterGetBlockSize), 512);
    EXPECT_EQ(ask(audioMasterGetVendorVersion), 4242);
    EXPECT_EQ(ask(audioMasterGetLanguage), 1);
    EXPECT_EQ(ask(audioMasterUpdateDisplay), 1);
    EXPECT_EQ(ask(audioMasterBeginEdit, 1), 1);
    EXPECT_EQ(ask(audioMasterEndEdit, 1), 1);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"automate 2 0.250000", "idle", "resize 640x480", "display", "begin 1", "end 1"}));

    EXPECT_EQ(ask(audioMasterGetTime, 0, kVstTempoValid), reinterpret_cast<VstIntPtr>(&host.timeInfo));
    EXPECT_EQ(host.timeFlags, kVstTempoValid);

    char text[64] = {};
    EXPECT_EQ(ask(audioMasterGetVendorString, 0, 0, text), 1);
    EXPECT_STREQ(text, "Test Vendor");
    EXPECT_EQ(ask(audioMasterGetProductString, 0, 0, text), 1);
    EXPECT_STREQ(text, "Test Product");
    EXPECT_EQ(ask(audioMasterGetVendorString), 0) << "no buffer, nothing written";

    EXPECT_FALSE(plugIn->wantsMidi());
    EXPECT_EQ(ask(audioMasterWantMidi, 0, 1), 1);
    EXPECT_TRUE(plugIn->wantsMidi());
}

TEST_F(VSTPlugInTest, UnlistedRequestsAnswerZeroAndChangeNothing)
{
    auto plugIn = openPlugIn();
    for (int32_t opcode : {int32_t(audioMasterIOChanged), int32_t(audioMasterProcessEvents), int32_t(audioMasterGetCurrentProcessLevel),
                           int32_t(audioMasterTempoAt), int32_t(audioMasterGetDirectory), 5, 50, 1000, -1})
        EXPECT_EQ(ask(opcode, 1, 1), 0) << opcode;
    EXPECT_TRUE(host.calls.empty());
    EXPECT_FALSE(plugIn->wantsMidi());
}

TEST_F(VSTPlugInTest, PinsReportConnectedForEveryPinAndDirection)
{
    auto plugIn = openPlugIn();
    for (int32_t pin : {0, 1, 7})
        for (VstIntPtr output : {0, 1})
            EXPECT_EQ(ask(audioMasterPinConnected, pin, output), 0);
    EXPECT_EQ(host.calls.front(), "in 0");
    EXPECT_EQ(host.calls[1], "out 0");
    host.pinsConnected = false;
    EXPECT_EQ(ask(audioMasterPinConnected, 0, 0), 1);
}

TEST_F(VSTPlugInTest, CanDoIsAskedOfTheHostWithTheExactText)
{
    auto plugIn = openPlugIn();
    char sizeWindow[] = "sizeWindow";
    char capital[] = "SizeWindow";
    EXPECT_EQ(ask(audioMasterCanDo, 0, 0, sizeWindow), 1);
    EXPECT_EQ(ask(audioMasterCanDo, 0, 0, capital), 0);
    EXPECT_EQ(ask(audioMasterCanDo), 0);
    EXPECT_EQ(host.queries, (std::vector<std::string>{"sizeWindow", "SizeWindow"}));
}

TEST_F(VSTPlugInTest, HostExceptionsAnswerZero)
{
    auto plugIn = openPlugIn();
    host.throwOnAutomate = true;
    EXPECT_EQ(VSTPlugIn::staticAudioMasterCallback(&fake.record, audioMasterAutomate, 0, 0, nullptr, 1.0f), 0);
}

struct RateCase
{
    float rate;
    VstIntPtr answer;
};

class SampleRateAnswer : public VSTPlugInTest, public ::testing::WithParamInterface<RateCase>
{
};

TEST_P(SampleRateAnswer, IsTheStoredRateRoundedToAnInteger)
{
    auto plugIn = openPlugIn();
    plugIn->setSampleRate(GetParam().rate);
    EXPECT_EQ(ask(audioMasterGetSampleRate), GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(Rates, SampleRateAnswer,
                         ::testing::Values(RateCase{44099.6f, 44100}, RateCase{44100.4f, 44100}, RateCase{48000.0f, 48000},
                                           RateCase{22050.5f, 22051}, RateCase{0.4f, 0}, RateCase{-5.0f, 0},
                                           RateCase{std::numeric_limits<float>::quiet_NaN(), 0},
                                           RateCase{std::numeric_limits<float>::infinity(), 0}));

TEST_F(VSTPlugInTest, RateAndBlockSizeReachTheEffectOnlyOnceOpen)
{
    auto plugIn = makePlugIn();
    plugIn->setSampleRate(96000.0f);
    plugIn->setBlockSize(64);
    plugIn->open();
    EXPECT_EQ(fake.count(effSetSampleRate), 0);
    EXPECT_EQ(ask(audioMasterGetBlockSize), 64);
    plugIn->setSampleRate(48000.0f);
    plugIn->setBlockSize(128);
    EXPECT_EQ(fake.count(effSetSampleRate), 1);
    EXPECT_EQ(fake.count(effSetBlockSize), 1);
}

TEST_F(VSTPlugInTest, TextsAreCutTo24Characters)
{
    auto plugIn = openPlugIn();
    fake.parameterName = "abcdefghijklmnopqrstuvwxyz0123"; // 30 characters
    char text[25];
    std::memset(text, '#', sizeof(text));
    plugIn->getParameterName(0, text);
    EXPECT_STREQ(text, "abcdefghijklmnopqrstuvwx");
    plugIn->getParameterLabel(0, text);
    EXPECT_STREQ(text, "dB");
    plugIn->getParameterDisplay(2, text);
    EXPECT_STREQ(text, "2");
    fake.programNames[1] = std::string(24, 'p');
    ASSERT_TRUE(plugIn->getProgramName(1, text));
    EXPECT_EQ(std::string(text), std::string(24, 'p'));
    plugIn->getCurrentProgramName(text);
    EXPECT_STREQ(text, "Program 0");
}

TEST_F(VSTPlugInTest, ProgramNameOfARejectedIndexLeavesTheTextAlone)
{
    auto plugIn = openPlugIn();
    char text[25] = "unchanged";
    EXPECT_FALSE(plugIn->getProgramName(5, text));
    EXPECT_STREQ(text, "unchanged");
}

TEST_F(VSTPlugInTest, ForwardsCallsToTheEffect)
{
    auto plugIn = openPlugIn();
    plugIn->setParameter(1, 0.75f);
    EXPECT_FLOAT_EQ(plugIn->getParameter(1), 0.75f);
    plugIn->resume();
    EXPECT_TRUE(plugIn->isResumed());
    plugIn->suspend();
    EXPECT_FALSE(plugIn->isResumed());
    EXPECT_EQ(fake.count(effMainsChanged), 2);
    plugIn->setCurrentProgram(1);
    EXPECT_EQ(plugIn->getCurrentProgram(), 1);
    EXPECT_EQ(plugIn->getVersion(), 2400);
    EXPECT_EQ(plugIn->getTailSize(), 77);
    EXPECT_TRUE(plugIn->setBypass(true));
    EXPECT_FALSE(plugIn->setBypass(false));
    int32_t width = 0, height = 0;
    plugIn->getEditorDimensions(width, height);
    EXPECT_EQ(width, 300);
    EXPECT_EQ(height, 100);

    float left[4] = {1, 2, 3, 4}, right[4] = {-1, -2, -3, -4}, outLeft[4], outRight[4];
    float* inputs[] = {left, right};
    float* outputs[] = {outLeft, outRight};
    fake.values[1][0] = 1.0f;
    plugIn->processReplacing(inputs, outputs, 4);
    EXPECT_EQ(outLeft[3], 8.0f);
    EXPECT_EQ(outRight[0], -2.0f);
}

TEST_F(VSTPlugInTest, CurrentProgramStaysWithinTheProgramCount)
{
    auto plugIn = openPlugIn();
    fake.reportedProgram = 9;
    EXPECT_EQ(plugIn->getCurrentProgram(), 1);
}

TEST_F(VSTPlugInTest, ExceptionsFromTheEffectCountAsZero)
{
    auto plugIn = openPlugIn();
    fake.throwEverywhere = true;
    EXPECT_EQ(plugIn->dispatch(effGetVstVersion, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(plugIn->getParameter(0), 0.0f);
    EXPECT_NO_THROW(plugIn->setParameter(0, 1.0f));
    EXPECT_EQ(plugIn->getCurrentProgram(), 0);
    EXPECT_FALSE(plugIn->setBypass(true));
    char text[25] = "x";
    EXPECT_FALSE(plugIn->getProgramName(0, text));
    plugIn->getParameterName(0, text);
    EXPECT_STREQ(text, "");
    float buffer[2] = {}, *channels[] = {buffer, buffer};
    EXPECT_NO_THROW(plugIn->processReplacing(channels, channels, 2));
    plugIn->resume();
    EXPECT_TRUE(plugIn->isResumed()) << "the step after a failing call still runs";
}

TEST_F(VSTPlugInTest, RefusedEditorRaisesAndIsNotOpen)
{
    auto plugIn = openPlugIn();
    fake.editOpenAnswer = 0;
    try
    {
        plugIn->openEditor(nullptr);
        FAIL() << "no exception";
    }
    catch (const TwinfoldException& e)
    {
        EXPECT_STREQ(e.what(), "VST could not open editor");
    }
    EXPECT_FALSE(plugIn->isEditorOpen());
    plugIn->idle();
    EXPECT_EQ(fake.count(effEditIdle), 0);
    fake.editOpenAnswer = 1;
    plugIn->openEditor(nullptr);
    EXPECT_TRUE(plugIn->isEditorOpen());
    plugIn->idle();
    EXPECT_EQ(fake.count(effIdle), 2);
    EXPECT_EQ(fake.count(effEditIdle), 1);
}

TEST_F(VSTPlugInTest, DestructionClosesEditorThenEffectThenUnloadsTheLastReference)
{
    auto plugIn = openPlugIn();
    plugIn->resume();
    plugIn->openEditor(nullptr);
    fake.opcodes.clear();
    bundle->retain(); // a second owner keeps the code loaded
    plugIn.reset();
    EXPECT_EQ(fake.opcodes, (std::vector<int32_t>{effEditClose, effClose})) << "not suspended first";
    EXPECT_EQ(bundle->unloads, 0);
    EXPECT_EQ(bundle->getRetainCount(), 1);

    bundle->release();
}

TEST_F(VSTPlugInTest, LastOwnerUnloadsTheCode)
{
    auto plugIn = openPlugIn();
    int unloads = 0;
    bundle->unloadsAfterDestruction = &unloads;
    plugIn.reset();
    EXPECT_EQ(unloads, 1);
    EXPECT_TRUE(fake.closed);
}

} // namespace
