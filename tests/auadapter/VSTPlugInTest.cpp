#include "FakeEffect.h"
#include "RecordingHost.h"
#include "auadapter/TwinfoldException.h"
#include "auadapter/VSTPlugIn.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>

namespace
{

class VSTPlugInTest : public ::testing::Test
{
protected:
    void SetUp() override { gEntryScript = EntryScript{&fake}; }
    void TearDown() override { gEntryScript = EntryScript{}; }

    std::unique_ptr<VSTPlugIn> makePlugIn(std::map<std::string, void*> functions = fakeEntryTable(), bool loadable = true)
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
    static std::string failureOfOpen(VSTPlugIn& plugIn)
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

TEST_F(VSTPlugInTest, OpenLinksTheRecordAndSendsOnlyOpen)
{
    auto plugIn = makePlugIn();
    EXPECT_EQ(plugIn->getParameterCount(), 0);
    plugIn->open();
    EXPECT_TRUE(plugIn->isOpen());
    EXPECT_EQ(fake.record.resvd1, reinterpret_cast<VstIntPtr>(plugIn.get()));
    EXPECT_EQ(fake.opcodes, std::vector<int32_t>{effOpen});
    EXPECT_EQ(gEntryScript.versionAnswer, 2300);
    EXPECT_EQ(plugIn->getProgramCount() * 10 + plugIn->getParameterCount(), 23);
    EXPECT_TRUE(plugIn->canProcessReplacing());
    EXPECT_FALSE(plugIn->hasProgramChunks() || plugIn->hasEditor() || plugIn->dontProcessSilence());
}

TEST_F(VSTPlugInTest, PrefersMainMachoAndSeesTheRecordDuringTheEntryPoint)
{
    gEntryScript.askIdDuringEntry = true;
    auto plugIn = makePlugIn({{"VSTPluginMain", reinterpret_cast<void*>(&fakeEntryPoint)},
                              {"main_macho", reinterpret_cast<void*>(&fakeOtherEntryPoint)}});
    plugIn->open();
    EXPECT_EQ(plugIn->getEffect()->uniqueID, CCONST('M', 'a', 'c', 'h'));
    EXPECT_EQ(gEntryScript.idAnswer, CCONST('F', 'a', 'k', 'e')) << "the ID as set while the entry point ran";
}

TEST_F(VSTPlugInTest, OpenFailuresRaiseTheirMessages)
{
    EXPECT_EQ(failureOfOpen(*makePlugIn({}, false)), "Could not load VST bundle executable");
    EXPECT_EQ(failureOfOpen(*makePlugIn({{"other", nullptr}})),
              "Could not locate function in bundle executable (\"main_macho\" or \"VSTPluginMain\")");
    const std::string noRecord = "VST main() doesn't return object AEffect*";
    gEntryScript.effect = nullptr;
    EXPECT_EQ(failureOfOpen(*makePlugIn()), noRecord);
    gEntryScript = EntryScript{&fake, true};
    fake.record.magic = 0x12345678;
    auto wrongMagic = makePlugIn();
    EXPECT_EQ(failureOfOpen(*wrongMagic), noRecord);
    EXPECT_EQ(wrongMagic->getEffect(), nullptr);
    EXPECT_FALSE(wrongMagic->isOpen());
    gEntryScript.throwInEntry = true;
    EXPECT_EQ(failureOfOpen(*makePlugIn()), noRecord);
    // No plug-in is left behind as the one running its entry point.
    EXPECT_EQ(VSTPlugIn::staticAudioMasterCallback(nullptr, audioMasterGetBlockSize, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(VSTPlugIn::staticAudioMasterCallback(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f), 2300);
}

struct Request
{
    const char* what;
    int32_t opcode, index;
    VstIntPtr value, answer;
    const char* hostCall; // empty: the host is not asked
};

class HostRequest : public VSTPlugInTest, public ::testing::WithParamInterface<Request>
{
};

TEST_P(HostRequest, IsAnsweredAsTabled)
{
    auto plugIn = openPlugIn();
    char text[64] = "sizeWindow";
    const Request r = GetParam();
    const bool textual = r.opcode == audioMasterCanDo || r.opcode == audioMasterGetVendorString || r.opcode == audioMasterGetProductString;
    EXPECT_EQ(ask(r.opcode, r.index, r.value, textual ? text : nullptr, 0.25f), r.answer);
    EXPECT_EQ(host.calls, *r.hostCall ? std::vector<std::string>{r.hostCall} : std::vector<std::string>{});
    if (r.opcode == audioMasterGetVendorString)
    {
        EXPECT_STREQ(text, "Test Vendor");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Opcodes, HostRequest,
    ::testing::Values(Request{"Automate", audioMasterAutomate, 2, 0, 0, "automate 2 0.250000"}, Request{"Version", audioMasterVersion, 0, 0, 2300, ""},
                      Request{"CurrentId", audioMasterCurrentId, 0, 0, CCONST('F', 'a', 'k', 'e'), ""},
                      Request{"Idle", audioMasterIdle, 0, 0, 0, "idle"}, Request{"InputPin", audioMasterPinConnected, 1, 0, 0, "in 1"},
                      Request{"OutputPin", audioMasterPinConnected, 7, 1, 0, "out 7"}, Request{"WantMidi", audioMasterWantMidi, 0, 1, 1, ""},
                      Request{"Quantization", audioMasterGetParameterQuantization, 0, 0, 1, ""},
                      Request{"NeedIdle", audioMasterNeedIdle, 0, 0, 1, ""}, Request{"SizeWindow", audioMasterSizeWindow, 640, 480, 1, "resize 640x480"},
                      Request{"BlockSize", audioMasterGetBlockSize, 0, 0, 512, ""}, Request{"Vendor", audioMasterGetVendorString, 0, 0, 1, ""},
                      Request{"Product", audioMasterGetProductString, 0, 0, 1, ""}, Request{"VendorVersion", audioMasterGetVendorVersion, 0, 0, 4242, ""},
                      Request{"CanDo", audioMasterCanDo, 0, 0, 1, "canDo sizeWindow"}, Request{"Language", audioMasterGetLanguage, 0, 0, 1, ""},
                      Request{"UpdateDisplay", audioMasterUpdateDisplay, 0, 0, 1, "display"},
                      Request{"BeginEdit", audioMasterBeginEdit, 3, 0, 1, "begin 3"}, Request{"EndEdit", audioMasterEndEdit, 3, 0, 1, "end 3"},
                      Request{"IOChanged", audioMasterIOChanged, 1, 1, 0, ""}, Request{"ProcessEvents", audioMasterProcessEvents, 1, 1, 0, ""},
                      Request{"ProcessLevel", audioMasterGetCurrentProcessLevel, 0, 0, 0, ""}, Request{"Unknown", 1000, 0, 0, 0, ""}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(VSTPlugInTest, RequestsBeyondTheTableAreSafe)
{
    auto plugIn = openPlugIn();
    EXPECT_EQ(ask(audioMasterGetTime, 0, kVstTempoValid), reinterpret_cast<VstIntPtr>(&host.timeInfo));
    EXPECT_EQ(ask(audioMasterGetVendorString), 0) << "no buffer, nothing written";
    EXPECT_EQ(ask(audioMasterCanDo), 0);
    char capital[] = "SizeWindow";
    EXPECT_EQ(ask(audioMasterCanDo, 0, 0, capital), 0);
    host.pinsConnected = false;
    EXPECT_EQ(ask(audioMasterPinConnected), 1);
    host.throwOnAutomate = true;
    EXPECT_EQ(ask(audioMasterAutomate), 0) << "a host exception answers 0";
    EXPECT_FALSE(plugIn->wantsMidi());
    ask(audioMasterWantMidi);
    EXPECT_TRUE(plugIn->wantsMidi());
}

TEST_F(VSTPlugInTest, SampleRateIsAnsweredRoundedAndSentOnlyOnceOpen)
{
    auto plugIn = makePlugIn();
    plugIn->setSampleRate(44099.6f);
    plugIn->setBlockSize(64);
    plugIn->open();
    EXPECT_EQ(fake.count(effSetSampleRate) + fake.count(effSetBlockSize), 0);
    EXPECT_EQ(ask(audioMasterGetSampleRate), 44100);
    EXPECT_EQ(ask(audioMasterGetBlockSize), 64);
    for (auto [rate, answer] : std::vector<std::pair<float, VstIntPtr>>{{44100.4f, 44100}, {22050.5f, 22051}, {0.4f, 0}, {-5.0f, 0},
                                                                        {std::numeric_limits<float>::quiet_NaN(), 0}})
    {
        plugIn->setSampleRate(rate);
        EXPECT_EQ(ask(audioMasterGetSampleRate), answer) << rate;
    }
    EXPECT_EQ(fake.count(effSetSampleRate), 5);
}

TEST_F(VSTPlugInTest, TextsFollowTheTextRule)
{
    auto plugIn = openPlugIn();
    fake.parameterName = "abcdefghijklmnopqrstuvwxyz0123";
    char text[25];
    plugIn->getParameterName(0, text);
    EXPECT_STREQ(text, "abcdefghijklmnopqrstuvwx");
    plugIn->getParameterLabel(0, text);
    EXPECT_STREQ(text, "dB");
    plugIn->getParameterDisplay(2, text);
    EXPECT_STREQ(text, "2");
    plugIn->getCurrentProgramName(text);
    EXPECT_STREQ(text, "Program 0");
    ASSERT_TRUE(plugIn->getProgramName(1, text));
    EXPECT_STREQ(text, "Program 1");
    EXPECT_FALSE(plugIn->getProgramName(5, text)) << "rejected index";
    EXPECT_STREQ(text, "Program 1");
}

TEST_F(VSTPlugInTest, ForwardsCallsAndKeepsTheCurrentProgramInRange)
{
    auto plugIn = openPlugIn();
    plugIn->setParameter(1, 0.75f);
    EXPECT_FLOAT_EQ(plugIn->getParameter(1), 0.75f);
    plugIn->resume();
    EXPECT_TRUE(plugIn->isResumed());
    plugIn->suspend();
    EXPECT_FALSE(plugIn->isResumed());
    plugIn->setCurrentProgram(1);
    EXPECT_EQ(plugIn->getCurrentProgram(), 1);
    fake.reportedProgram = 9;
    EXPECT_EQ(plugIn->getCurrentProgram(), 1);
    EXPECT_EQ(plugIn->getVersion() + plugIn->getTailSize(), 2400 + 77);
    EXPECT_TRUE(plugIn->setBypass(true));
    int32_t width = 0, height = 0;
    plugIn->getEditorDimensions(width, height);
    EXPECT_EQ(width * 1000 + height, 300100);
    float in[2] = {1, -2}, out[2], *inputs[] = {in, in}, *outputs[] = {out, out};
    fake.values[1][0] = 1.0f;
    plugIn->processReplacing(inputs, outputs, 2);
    EXPECT_EQ(out[1], -4.0f);
}

TEST_F(VSTPlugInTest, ExceptionsFromTheEffectCountAsZero)
{
    auto plugIn = openPlugIn();
    fake.throwEverywhere = true;
    EXPECT_EQ(plugIn->dispatch(effGetVstVersion, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(plugIn->getParameter(0), 0.0f);
    EXPECT_NO_THROW(plugIn->setParameter(0, 1.0f));
    EXPECT_FALSE(plugIn->setBypass(true));
    char text[25] = "x";
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
    EXPECT_THROW(plugIn->openEditor(nullptr), TwinfoldException);
    EXPECT_FALSE(plugIn->isEditorOpen());
    plugIn->idle();
    EXPECT_EQ(fake.count(effEditIdle), 0);
    fake.editOpenAnswer = 1;
    plugIn->openEditor(nullptr);
    plugIn->idle();
    EXPECT_EQ(fake.count(effIdle) * 10 + fake.count(effEditIdle), 21);
}

TEST_F(VSTPlugInTest, DestructionClosesEditorThenEffectAndOnlyTheLastOwnerUnloads)
{
    int unloads = 0;
    for (bool lastOwner : {false, true})
    {
        auto plugIn = openPlugIn();
        bundle->unloads = &unloads;
        plugIn->resume();
        plugIn->openEditor(nullptr);
        fake.opcodes.clear();
        if (!lastOwner)
            bundle->retain();
        plugIn.reset();
        EXPECT_EQ(fake.opcodes, (std::vector<int32_t>{effEditClose, effClose})) << "not suspended first";
        EXPECT_EQ(unloads, lastOwner ? 1 : 0);
        if (!lastOwner)
            bundle->release();
    }
}

} // namespace
