// What a host sees of the loaded module: entry, record, identity and opcodes.
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Entry, HostAnsweringVersionZeroGetsNoEffect)
{
    dc::TestHost host(dc::TestHost::pluginPath(), 0);
    EXPECT_EQ(host.effect(), nullptr);
}

TEST(Entry, AsksForTheHostVersionFirstWithoutARecordThenForMidi)
{
    dc::TestHost host(dc::TestHost::pluginPath());
    const auto log = host.requests();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0].opcode, audioMasterVersion);
    EXPECT_FALSE(log[0].withEffect);
    // The constructor's resume asks for MIDI events.
    EXPECT_EQ(host.requests(audioMasterWantMidi).size(), 1u);
    EXPECT_EQ(host.requests(audioMasterWantMidi)[0].value, 1);
}

TEST(Entry, RecordReadsAsPublished)
{
    dc::TestHost host(dc::TestHost::pluginPath());
    const AEffect* e = host.effect();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, 0x56737450);
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_EQ(e->numParams, 9);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->uniqueID, CCONST('K', 'w', 'Q', 'z'));
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_NE(e->processReplacing, nullptr);
    EXPECT_EQ(e->flags, 0x31); // has editor, can replace, programs are chunks
    const char zeros[56] = {};
    EXPECT_EQ(std::memcmp(e->future, zeros, sizeof zeros), 0);
}

TEST(Entry, AnswersIdentityAndCapabilityOpcodes)
{
    dc::TestHost host(dc::TestHost::pluginPath());
    EXPECT_EQ(host.dispatch(effIdentify, 5, 6, nullptr, 7.0f), 0x4E764566);
    EXPECT_EQ(host.dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(host.dispatch(effGetTailSize), 1);
    EXPECT_EQ(host.dispatch(effGetPlugCategory), kPlugCategEffect);
    EXPECT_EQ(host.dispatch(effKeysRequired), 1);
    EXPECT_EQ(host.dispatch(effGetVendorVersion), 1000);
    EXPECT_EQ(host.dispatch(effGetVu), 0);
    EXPECT_EQ(host.text(effGetEffectName), "DitherCrunch");
    EXPECT_EQ(host.text(effGetProductString), "DitherCrunch");
    EXPECT_EQ(host.text(effGetVendorString), "Tarnby Audio");
    for (const char* yes : {"receiveVstEvents", "receiveVstMidiEvent", "plugAsChannelInsert", "2in2out", "1in2out"})
        EXPECT_EQ(host.dispatch(effCanDo, 0, 0, const_cast<char*>(yes)), 1) << yes;
    for (const char* no : {"2In2Out", "receiveVstTimeInfo", "", "2in2out "})
        EXPECT_EQ(host.dispatch(effCanDo, 0, 0, const_cast<char*>(no)), -1) << no;
    EXPECT_EQ(host.dispatch(effConnectInput, 7, 0), 1);
    EXPECT_EQ(host.dispatch(80), 0);
    EXPECT_EQ(host.dispatch(-1), 0);
}

TEST(Entry, OutputPinsAreNamedAndInputPinsUnanswered)
{
    dc::TestHost host(dc::TestHost::pluginPath());
    for (int pin : {0, 1})
    {
        VstPinProperties p{};
        std::strcpy(p.shortLabel, "keep");
        EXPECT_EQ(host.dispatch(effGetOutputProperties, pin, 0, &p), 1);
        EXPECT_STREQ(p.label, pin == 0 ? "Devo 1" : "Devo 2");
        EXPECT_EQ(p.flags, 3);
        EXPECT_STREQ(p.shortLabel, "keep");
    }
    VstPinProperties p{};
    EXPECT_EQ(host.dispatch(effGetOutputProperties, 2, 0, &p), 0);
    EXPECT_EQ(host.dispatch(effGetInputProperties, 0, 0, &p), 0);
    EXPECT_EQ(host.dispatch(effGetOutputProperties, 0, 0, nullptr), 0);
}

TEST(Entry, CloseDestroysTheEffect)
{
    dc::TestHost host(dc::TestHost::pluginPath());
    AEffect* e = host.effect();
    EXPECT_EQ(e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(host.dispatch(effMainsChanged, 0, 1), 0);
    EXPECT_EQ(host.dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f), 0);
    EXPECT_EQ(host.dispatch(effSetBlockSize, 0, 64), 0);
    // The close thunk answers 1 and frees the object (ASan would see a leak otherwise).
    EXPECT_EQ(host.close(), 1);
}

} // namespace
