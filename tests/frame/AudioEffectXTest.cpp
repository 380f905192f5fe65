#include "FrameTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace
{

struct Route
{
    VstInt32 opcode, index;
    VstIntPtr value;
    float opt;
    const char* log;
    VstIntPtr result;
};

void PrintTo(const Route& r, std::ostream* os) { *os << "opcode " << r.opcode << " value " << r.value; }

class AudioEffectXDispatcher : public ::testing::TestWithParam<Route>
{
protected:
    TestEffect fx;
    char buffer[128] = {};
    void SetUp() override { fx.mark = buffer; }
};

TEST_P(AudioEffectXDispatcher, RoutesOpcodeWithUnpackedArguments)
{
    const Route& r = GetParam();
    // Opcode 42 carries its input arrangement in value: pass the marked pointer.
    const VstIntPtr value = r.opcode == effSetSpeakerArrangement ? reinterpret_cast<VstIntPtr>(buffer) : r.value;
    EXPECT_EQ(fx.dispatcher(r.opcode, r.index, value, buffer, r.opt), r.result);
    EXPECT_EQ(fx.log, r.log);
}
INSTANTIATE_TEST_SUITE_P(ExtendedOpcodes, AudioEffectXDispatcher, ::testing::Values(
    Route{effProcessEvents, 0, 0, 0, "processEvents(P);", 1},
    Route{effString2Parameter, 3, 0, 0, "string2parameter(3,P);", 1},
    Route{effGetProgramNameIndexed, 4, 7, 0, "getProgramNameIndexed(7,4,P);", 1},
    Route{effConnectInput, 1, 5, 0, "inputConnected(1,1);", 1},
    Route{effConnectInput, 1, 0, 0, "inputConnected(1,0);", 1},
    Route{effGetOutputProperties, 1, 0, 0, "getOutputProperties(1,P);", 1},
    Route{effOfflineNotify, 2, 3, 0, "offlineNotify(P,3,1);", 1},
    Route{effSetSpeakerArrangement, 0, 0, 0, "setSpeakerArrangement(P,P);", 1},
    Route{effSetBypass, 0, 9, 0, "setBypass(1);", 1},
    Route{effGetEffectName, 0, 0, 0, "getEffectName(P);", 1},
    Route{effVendorSpecific, 5, 6, 7.0f, "vendorSpecific(5,6,P,7);", 99},
    Route{effCanDo, 0, 0, 0, "canDo();", -1},
    Route{effSetViewPosition, 10, 20, 0, "setViewPosition(10,20);", 1},
    Route{effSetPanLaw, 0, 2, 3.0f, "setPanLaw(2,3);", 1},
    Route{effSetProcessPrecision, 0, 1, 0, "setProcessPrecision(1);", 1},
    Route{effGetParamName, 2, 0, 0, "getParameterName(2,P);", 0}));

struct Default
{
    VstInt32 opcode;
    VstIntPtr value;
    VstIntPtr result;
};
void PrintTo(const Default& d, std::ostream* os) { *os << "opcode " << d.opcode; }
class AudioEffectXDefaults : public ::testing::TestWithParam<Default>
{
};

TEST_P(AudioEffectXDefaults, PlainEffectAnswersFrameDefault)
{
    PlainEffect fx(nullptr, 1, 1);
    char buffer[256] = {};
    EXPECT_EQ(fx.dispatcher(GetParam().opcode, 0, GetParam().value, buffer, 0), GetParam().result);
}
INSTANTIATE_TEST_SUITE_P(ExtendedDefaults, AudioEffectXDefaults, ::testing::Values(
    Default{effCanBeAutomated, 0, 1}, Default{effString2Parameter, 0, 0}, Default{effGetNumProgramCategories, 0, 1},
    Default{effCopyProgram, 0, 0}, Default{effConnectInput, 0, 1}, Default{effConnectOutput, 0, 1},
    Default{effGetInputProperties, 0, 0}, Default{effGetPlugCategory, 0, kPlugCategUnknown},
    Default{effGetCurrentPosition, 0, 0}, Default{effGetDestinationBuffer, 0, 0}, Default{effProcessVarIo, 0, 0},
    Default{effSetBlockSizeAndSampleRate, 512, 1}, Default{effSetBypass, 1, 0}, Default{effGetErrorText, 0, 0},
    Default{effGetVendorVersion, 0, 0}, Default{effCanDo, 0, 0}, Default{effGetTailSize, 0, 1}, Default{effIdle, 0, 0},
    Default{effGetIcon, 0, 0}, Default{effGetParameterProperties, 0, 0}, Default{effKeysRequired, 0, 1},
    Default{effGetVstVersion, 0, 2400}, Default{effEditKeyDown, 0, 0}, Default{effGetCurrentMidiProgram, 0, -1},
    Default{effHasMidiProgramsChanged, 0, 0}, Default{effBeginSetProgram, 0, 0}, Default{effShellGetNextPlugin, 0, 0},
    Default{effStartProcess, 0, 0}, Default{effSetTotalSampleToProcess, 4096, 4096}, Default{effBeginLoadBank, 0, 0},
    Default{effGetNumMidiInputChannels, 0, 0}, Default{effGetNumMidiOutputChannels, 0, 0},
    Default{80, 0, 0}, Default{-7, 0, 0}));

TEST(AudioEffectXDefaultsExtra, BlockSizeAndRateAreStoredAndSpeakerArrangementIsTwoNulls)
{
    PlainEffect fx(nullptr, 1, 1);
    fx.dispatcher(effSetBlockSizeAndSampleRate, 0, 256, nullptr, 96000.0f);
    EXPECT_EQ(fx.getBlockSize(), 256);
    EXPECT_EQ(fx.getSampleRate(), 96000.0f);
    auto* sentinel = reinterpret_cast<VstSpeakerArrangement*>(&fx);
    VstSpeakerArrangement *in = sentinel, *out = sentinel;
    EXPECT_EQ(fx.dispatcher(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out, 0), 0);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(fx.dispatcher(effGetSpeakerArrangement, 0, 0, nullptr, 0), 0);
}

struct KeyCase
{
    VstIntPtr value;
    float opt;
    unsigned char virt, modifier;
};
class AudioEffectXKeyCode : public ::testing::TestWithParam<KeyCase>
{
};
TEST_P(AudioEffectXKeyCode, BuildsKeyCodeWithByteSizedVirtualKeyAndModifiers)
{
    PlainEffect fx(nullptr, 1, 1);
    auto* editor = new FakeEditor(&fx);
    fx.setEditor(editor);
    EXPECT_EQ(fx.dispatcher(effEditKeyDown, 'a', GetParam().value, nullptr, GetParam().opt), 1);
    EXPECT_EQ(editor->lastKey.character, 'a');
    EXPECT_EQ(editor->lastKey.virt, GetParam().virt);
    EXPECT_EQ(editor->lastKey.modifier, GetParam().modifier);
}
INSTANTIATE_TEST_SUITE_P(Options, AudioEffectXKeyCode, ::testing::Values(
    KeyCase{3, 2.9f, 3, 2}, KeyCase{0x1FF, 0.0f, 0xFF, 0}, KeyCase{-1, std::nanf(""), 0xFF, 0},
    KeyCase{0, 1e9f, 0, 255}, KeyCase{0, -3.0f, 0, 0}));

TEST(AudioEffectXResume, AsksForMidiOnlyForSynthsOrMidiReceivers)
{
    RecordingHost::reset(1);
    PlainEffect plain(RecordingHost::callback, 1, 1);
    plain.resume();
    EXPECT_TRUE(RecordingHost::calls.empty());
    plain.isSynth();
    EXPECT_EQ(plain.dispatcher(effGetPlugCategory, 0, 0, nullptr, 0), kPlugCategSynth);
    plain.resume();
    TestEffect midi(RecordingHost::callback);
    midi.canDoAnswer = 1;
    midi.resume();
    ASSERT_EQ(RecordingHost::calls.size(), 2u);
    for (const HostCall& c : RecordingHost::calls)
        EXPECT_TRUE(c.opcode == audioMasterWantMidi && c.value == 1);
}

// ---- Host requests ----

char token[8];
struct Wrapper
{
    const char* name;
    std::function<VstIntPtr(AudioEffectX&)> call;
    VstInt32 opcode, index;
    VstIntPtr value;
    bool sendsToken;
    float opt;
    VstIntPtr withHost, withoutHost; // the host answers 1
};
void PrintTo(const Wrapper& w, std::ostream* os) { *os << w.name; }

class HostRequests : public ::testing::TestWithParam<Wrapper>
{
protected:
    void SetUp() override { RecordingHost::reset(1); }
};

TEST_P(HostRequests, SendTabledRequestAndAnswerDefaultWithoutHost)
{
    const Wrapper& w = GetParam();
    PlainEffect hosted(RecordingHost::callback, 1, 1);
    EXPECT_EQ(w.call(hosted), w.withHost);
    ASSERT_EQ(RecordingHost::calls.size(), 1u);
    const HostCall& c = RecordingHost::calls[0];
    EXPECT_EQ(c.effect, hosted.getAeffect());
    EXPECT_EQ(c.opcode, w.opcode);
    EXPECT_EQ(c.index, w.index);
    EXPECT_EQ(c.value, w.value);
    EXPECT_EQ(c.ptr, w.sendsToken ? static_cast<void*>(token) : nullptr);
    EXPECT_EQ(c.opt, w.opt);
    PlainEffect alone(nullptr, 1, 1);
    EXPECT_EQ(w.call(alone), w.withoutHost);
}

#define W(name, expr, ...) Wrapper{name, [](AudioEffectX& fx) -> VstIntPtr { return (VstIntPtr)(expr); }, __VA_ARGS__}
#define V(name, stmt, ...) Wrapper{name, [](AudioEffectX& fx) -> VstIntPtr { stmt; return 0; }, __VA_ARGS__}
auto* tok() { return token; }
INSTANTIATE_TEST_SUITE_P(Wrappers, HostRequests, ::testing::Values(
    V("setParameterAutomated", fx.setParameterAutomated(3, 0.25f), 0, 3, 0, false, 0.25f, 0, 0),
    W("getMasterVersion", fx.getMasterVersion(), 1, 0, 0, false, 0.0f, 1, 1),
    W("getCurrentUniqueId", fx.getCurrentUniqueId(), 2, 0, 0, false, 0.0f, 1, 0),
    V("masterIdle", fx.masterIdle(), 3, 0, 0, false, 0.0f, 0, 0),
    W("isInputConnected", fx.isInputConnected(4), 4, 4, 0, false, 0.0f, 0, 1),
    W("isOutputConnected", fx.isOutputConnected(5), 4, 5, 1, false, 0.0f, 0, 1),
    V("wantEvents", fx.wantEvents(1), 6, 0, 1, false, 0.0f, 0, 0),
    W("getTimeInfo", fx.getTimeInfo(0x200), 7, 0, 0x200, false, 0.0f, 1, 0),
    W("sendVstEventsToHost", fx.sendVstEventsToHost((VstEvents*)tok()), 8, 0, 0, true, 0.0f, 1, 0),
    W("tempoAt", fx.tempoAt(77), 10, 0, 77, false, 0.0f, 1, 0),
    W("getNumAutomatableParameters", fx.getNumAutomatableParameters(), 11, 0, 0, false, 0.0f, 1, 0),
    W("getParameterQuantization", fx.getParameterQuantization(), 12, 0, 0, false, 0.0f, 1, 0),
    W("ioChanged", fx.ioChanged(), 13, 0, 0, false, 0.0f, 1, 0),
    W("needIdle", fx.needIdle(), 14, 0, 0, false, 0.0f, 1, 0),
    W("sizeWindow", fx.sizeWindow(300, 200), 15, 300, 200, false, 0.0f, 1, 0),
    W("updateSampleRate", fx.updateSampleRate(), 16, 0, 0, false, 0.0f, 1, 44100),
    W("updateBlockSize", fx.updateBlockSize(), 17, 0, 0, false, 0.0f, 1, 1024),
    W("getInputLatency", fx.getInputLatency(), 18, 0, 0, false, 0.0f, 1, 0),
    W("getOutputLatency", fx.getOutputLatency(), 19, 0, 0, false, 0.0f, 1, 0),
    W("getPreviousPlug", fx.getPreviousPlug(3), 20, 0, 0, false, 0.0f, 1, 0),
    W("getNextPlug", fx.getNextPlug(3), 21, 0, 0, false, 0.0f, 1, 0),
    W("willProcessReplacing", fx.willProcessReplacing(), 22, 0, 0, false, 0.0f, 1, 0),
    W("getCurrentProcessLevel", fx.getCurrentProcessLevel(), 23, 0, 0, false, 0.0f, 1, 0),
    W("getAutomationState", fx.getAutomationState(), 24, 0, 0, false, 0.0f, 1, 0),
    W("offlineStart", fx.offlineStart((VstAudioFile*)tok(), 2, 3), 25, 3, 2, true, 0.0f, 1, 0),
    W("offlineRead", fx.offlineRead((VstOfflineTask*)tok(), 4, true), 26, 1, 4, true, 0.0f, 1, 0),
    W("offlineWrite", fx.offlineWrite((VstOfflineTask*)tok(), 5), 27, 0, 5, true, 0.0f, 1, 0),
    W("offlineGetCurrentPass", fx.offlineGetCurrentPass(), 28, 0, 0, false, 0.0f, 1, 0),
    W("offlineGetCurrentMetaPass", fx.offlineGetCurrentMetaPass(), 29, 0, 0, false, 0.0f, 1, 0),
    W("setOutputSamplerate", fx.setOutputSamplerate(48000.0f), 30, 0, 0, false, 48000.0f, 1, 0),
    W("getOutputSpeakerArrangement", fx.getOutputSpeakerArrangement(), 31, 0, 0, false, 0.0f, 1, 0),
    W("getHostVendorString", fx.getHostVendorString(tok()), 32, 0, 0, true, 0.0f, 1, 0),
    W("getHostProductString", fx.getHostProductString(tok()), 33, 0, 0, true, 0.0f, 1, 0),
    W("getHostVendorVersion", fx.getHostVendorVersion(), 34, 0, 0, false, 0.0f, 1, 0),
    W("hostVendorSpecific", fx.hostVendorSpecific(1, 2, tok(), 3.5f), 35, 1, 2, true, 3.5f, 1, 0),
    W("canHostDo", fx.canHostDo(tok()), 37, 0, 0, true, 0.0f, 1, 0),
    W("getHostLanguage", fx.getHostLanguage(), 38, 0, 0, false, 0.0f, 1, 0),
    W("openWindow", fx.openWindow(tok()), 39, 0, 0, true, 0.0f, 1, 0),
    W("closeWindow", fx.closeWindow(tok()), 40, 0, 0, true, 0.0f, 1, 0),
    W("getDirectory", fx.getDirectory(), 41, 0, 0, false, 0.0f, 1, 0),
    W("updateDisplay", fx.updateDisplay(), 42, 0, 0, false, 0.0f, 1, 0),
    W("beginEdit", fx.beginEdit(5), 43, 5, 0, false, 0.0f, 1, 0),
    W("endEdit", fx.endEdit(5), 44, 5, 0, false, 0.0f, 1, 0),
    W("openFileSelector", fx.openFileSelector((VstFileSelect*)tok()), 45, 0, 0, true, 0.0f, 1, 0),
    W("closeFileSelector", fx.closeFileSelector((VstFileSelect*)tok()), 46, 0, 0, true, 0.0f, 1, 0),
    W("getChunkFile", fx.getChunkFile(tok()), 48, 0, 0, true, 0.0f, 1, 0),
    W("getInputSpeakerArrangement", fx.getInputSpeakerArrangement(), 49, 0, 0, false, 0.0f, 1, 0)),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HostRequestsEdge, NullPointersAreNotSentAndAnswerFalse)
{
    RecordingHost::reset(1);
    PlainEffect fx(RecordingHost::callback, 1, 1);
    EXPECT_FALSE(fx.openFileSelector(nullptr) || fx.closeFileSelector(nullptr) || fx.getChunkFile(nullptr) ||
                 fx.getHostVendorString(nullptr) || fx.getHostProductString(nullptr) || fx.canHostDo(nullptr) ||
                 fx.sendVstEventsToHost(nullptr));
    EXPECT_TRUE(RecordingHost::calls.empty());
}

TEST(HostRequestsEdge, ZeroOrMissingAnswersKeepStoredValuesAndVersionOne)
{
    RecordingHost::reset(0);
    PlainEffect fx(RecordingHost::callback, 1, 1);
    EXPECT_EQ(fx.getMasterVersion(), 1);
    EXPECT_EQ(fx.updateSampleRate(), 44100.0);
    EXPECT_EQ(fx.updateBlockSize(), 1024);
    EXPECT_TRUE(fx.isInputConnected(0));
    RecordingHost::reset(VstIntPtr(1) << 40);
    EXPECT_EQ(fx.updateBlockSize(), 1024);
    RecordingHost::reset(48000);
    EXPECT_EQ(fx.updateSampleRate(), 48000.0);
    EXPECT_EQ(fx.getSampleRate(), 48000.0f);
}

TEST(HostRequestsEdge, AutomationAppliesValueBeforeReportingIt)
{
    RecordingHost::reset(0);
    TestEffect fx(RecordingHost::callback);
    fx.setParameterAutomated(1, 0.5f);
    EXPECT_EQ(fx.log, "setParameter(1,0.500000);");
    TestEffect alone;
    alone.setParameterAutomated(2, 1.0f);
    EXPECT_EQ(alone.log, "setParameter(2,1.000000);");
}

// ---- Speaker arrangements ----

class SpeakerArrangements : public ::testing::Test
{
protected:
    PlainEffect fx{nullptr, 1, 1};
    VstSpeakerArrangement* a = nullptr;
    VstSpeakerArrangement* b = nullptr;
    void TearDown() override
    {
        fx.deallocateArrangement(&a);
        fx.deallocateArrangement(&b);
    }
};

TEST_F(SpeakerArrangements, AllocateZeroFillsAndReallocateReleasesThePrevious)
{
    ASSERT_TRUE(fx.allocateArrangement(&a, 3));
    EXPECT_EQ(a->numChannels, 3);
    EXPECT_EQ(a->speakers[2].type, 0);
    EXPECT_EQ(a->speakers[2].name[0], 0);
    ASSERT_TRUE(fx.allocateArrangement(&a, 1)); // the leak checker catches a lost block
    EXPECT_FALSE(fx.allocateArrangement(&a, -1));
    EXPECT_EQ(a, nullptr);
    EXPECT_FALSE(fx.allocateArrangement(nullptr, 2));
    EXPECT_TRUE(fx.deallocateArrangement(&a));
    EXPECT_FALSE(fx.deallocateArrangement(nullptr));
}

TEST_F(SpeakerArrangements, MatchCopiesTypeAndEverySpeakerWithBoundedNames)
{
    ASSERT_TRUE(fx.allocateArrangement(&a, 2));
    a->type = 1;
    for (int i = 0; i < 2; ++i)
    {
        a->speakers[i].azimuth = 0.5f * float(i);
        a->speakers[i].type = 10 + i;
        std::memset(a->speakers[i].name, 'A' + i, sizeof(a->speakers[i].name)); // unterminated
        a->speakers[i].future[27] = 9;
    }
    ASSERT_TRUE(fx.matchArrangement(&b, a));
    EXPECT_EQ(b->type, 1);
    EXPECT_EQ(b->numChannels, 2);
    EXPECT_EQ(b->speakers[1].azimuth, 0.5f);
    EXPECT_EQ(b->speakers[1].type, 11);
    EXPECT_EQ(b->speakers[1].future[27], 9);
    EXPECT_EQ(std::string(b->speakers[1].name), std::string(63, 'B'));
    EXPECT_TRUE(fx.matchArrangement(&a, a)); // matching to itself must not free the source
    EXPECT_EQ(a->speakers[0].type, 10);
    EXPECT_FALSE(fx.matchArrangement(&b, nullptr));
    EXPECT_FALSE(fx.copySpeaker(nullptr, &a->speakers[0]));
    EXPECT_FALSE(fx.copySpeaker(&a->speakers[0], nullptr));
}

} // namespace
