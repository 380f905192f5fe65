// Parameters, displays, programs and MIDI as a host sees them.
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

class Parameters : public ::testing::Test
{
protected:
    dc::TestHost host{dc::TestHost::pluginPath()};

    std::string display(int i) { return host.text(effGetParamDisplay, i); }
    std::string label(int i) { return host.text(effGetParamLabel, i); }
    std::string name(int i) { return host.text(effGetParamName, i); }
    float point(int i)
    {
        host.setParameter(10, (float)i);
        return host.getParameter(11);
    }
};

TEST_F(Parameters, FreshInstanceNamesLabelsAndDisplays)
{
    const char* names[] = {"PreGain", "PrePan", "PostGain", "ShaperSw", "Wet Dry", "Pre FlTy", "Pre Cut", "PostFlTy", "Post Cut"};
    const char* labels[] = {"amt", "amt", "amt", " ", " % ", "", "", "", ""};
    const char* displays[] = {"      0", "      0", "      0", "on", "    100", " off", "    562", " off", "    562"};
    const float defaults[] = {0.5f, 0.5f, 0.5f, 1.0f, 1.0f, 0.0f, 0.5f, 0.0f, 0.5f};
    for (int i = 0; i < 9; ++i)
    {
        EXPECT_EQ(name(i), names[i]) << i;
        EXPECT_EQ(label(i), labels[i]) << i;
        EXPECT_EQ(display(i), displays[i]) << i;
        EXPECT_EQ(host.getParameter(i), defaults[i]) << i;
    }
    for (int i : {9, 10, 12, 13, 14, -1})
    {
        EXPECT_EQ(name(i), "") << i;
        EXPECT_EQ(display(i), "") << i;
        EXPECT_EQ(host.getParameter(i), 0.0f) << i;
    }
}

TEST_F(Parameters, DisplayTextsFollowValues)
{
    host.setParameter(0, 1.0f);
    EXPECT_EQ(display(0), "     50");
    host.setParameter(1, 0.0f);
    EXPECT_EQ(display(1), "    -50");
    host.setParameter(4, 0.37f);
    EXPECT_EQ(display(4), "     37");
    host.setParameter(3, 0.99f);
    EXPECT_EQ(display(3), "off");
    host.setParameter(3, 2.0f);
    EXPECT_EQ(host.getParameter(3), 1.0f);
    EXPECT_EQ(display(3), "on");
    host.setParameter(6, 0.0f);
    EXPECT_EQ(display(6), "     21");
    host.setParameter(8, 1.0f);
    EXPECT_EQ(display(8), "  14700"); // the mapper's Hz, above the filter's own limit
}

TEST_F(Parameters, FilterTypeDisplays)
{
    const std::pair<float, const char*> cases[] = {{0.1667f, " LOWPASS"}, {0.5f, " BANDPASS"}, {1.0f, " HIPASS"},
                                                   {0.16f, " off"},       {7.0f / 6.0f, " HIPASS"}, {-0.5f, " off"}};
    for (auto [value, text] : cases)
    {
        host.setParameter(5, value);
        host.setParameter(7, value);
        EXPECT_EQ(display(5), text) << value;
        EXPECT_EQ(display(7), text) << value;
    }
}

TEST_F(Parameters, CurvePointChannel)
{
    for (int i : {0, 1, 64, 127})
        EXPECT_EQ(point(i), (float)(128 - i));
    host.setParameter(10, 5.9f); // truncated to 5
    host.setParameter(11, 17.7f);
    EXPECT_EQ(point(5), 17.0f);
    // An out-of-range selection reads and writes point 0 and resets to 0.
    host.setParameter(10, 200.0f);
    EXPECT_EQ(host.getParameter(11), 128.0f);
    host.setParameter(11, 5.0f);
    EXPECT_EQ(point(0), 5.0f);
    host.setParameter(11, 6.0f);
    EXPECT_EQ(point(0), 6.0f);
    // Reading the selection itself gives 0.
    EXPECT_EQ(host.getParameter(10), 0.0f);
}

TEST_F(Parameters, OutOfRangeValuesAreClampedAndNonFiniteOnesIgnored)
{
    for (int i = 0; i < 9; ++i)
    {
        host.setParameter(i, 0.25f);
        for (float v : {std::nanf(""), INFINITY, -INFINITY})
        {
            host.setParameter(i, v);
            EXPECT_EQ(host.getParameter(i), 0.25f) << i << " " << v;
        }
        for (float v : {1e30f, 3.4e38f, 1.0000001f, 2.0f})
        {
            host.setParameter(i, v);
            EXPECT_EQ(host.getParameter(i), 1.0f) << i << " " << v;
        }
        for (float v : {-4.0f, -1e30f, -1e-30f})
        {
            host.setParameter(i, v);
            EXPECT_EQ(host.getParameter(i), 0.0f) << i << " " << v;
        }
    }
    // What the chunk saves is what the effect holds.
    host.setParameter(2, -4.0f);
    const auto chunk = host.chunk();
    float saved;
    std::memcpy(&saved, chunk.data() + 12, 4);
    EXPECT_EQ(saved, 0.0f);
}

TEST_F(Parameters, HugePostGainCannotRaiseTheOutputBeyondFullScale)
{
    host.setParameter(2, 1e30f);
    host.setParameter(0, 1e30f);
    float l[64], r[64];
    for (int k = 0; k < 64; ++k)
        l[k] = r[k] = 0.5f * std::sin(k * 0.3f);
    float* io[2] = {l, r};
    host.processReplacing(io, io, 64);
    for (int k = 0; k < 64; ++k)
    {
        EXPECT_LE(std::fabs(l[k]), 1.0f) << k;
        EXPECT_LE(std::fabs(r[k]), 1.0f) << k;
    }
}

TEST_F(Parameters, EveryTextQueryWritesATerminatedTextWhateverTheValue)
{
    const float values[] = {std::nanf(""), INFINITY, -INFINITY, 3.4e38f, -3.4e38f, 2.0f, -0.5f, 7.0f / 6.0f, 0.5f};
    for (float v : values)
        for (int i = -2; i <= 15; ++i)
        {
            host.setParameter(i, v);
            for (VstInt32 opcode : {effGetParamDisplay, effGetParamName, effGetParamLabel})
            {
                char text[64];
                std::memset(text, 'X', sizeof text);
                host.dispatch(opcode, i, 0, text);
                const void* end = std::memchr(text, 0, sizeof text);
                ASSERT_NE(end, nullptr) << "opcode " << opcode << " index " << i << " value " << v;
                EXPECT_LE(static_cast<const char*>(end) - text, 9) << "opcode " << opcode << " index " << i;
            }
        }
}

TEST_F(Parameters, ProgramNamesAndSelection)
{
    EXPECT_EQ(host.text(effGetProgramName), "Init 1");
    char indexed[64] = {};
    EXPECT_EQ(host.dispatch(effGetProgramNameIndexed, 0, 7, indexed), 1);
    EXPECT_STREQ(indexed, "Init");
    EXPECT_EQ(host.dispatch(effGetProgramNameIndexed, 1, 0, indexed), 0);
    char name[] = "A name longer than twenty-three characters";
    host.dispatch(effSetProgramName, 0, 0, name);
    EXPECT_EQ(host.text(effGetProgramName), "A name longer than twen");
    host.dispatch(effSetProgram, 0, 1);
    host.dispatch(effSetProgram, 0, -1);
    EXPECT_EQ(host.dispatch(effGetProgram), 0);
}

TEST_F(Parameters, MidiControllersDrivePreGainPanAndPostGain)
{
    EXPECT_EQ(host.sendControlChange(3, 71, 127), 1);
    EXPECT_EQ(host.getParameter(1), 1.0f);
    host.sendControlChange(0, 70, 0);
    EXPECT_EQ(host.getParameter(0), 0.0f);
    host.sendControlChange(15, 72, 64);
    EXPECT_EQ(host.getParameter(2), (float)(64 / 127.0));
    host.sendControlChange(0, 73, 0);
    EXPECT_EQ(host.getParameter(2), (float)(64 / 127.0));
    // A note-on with the same data bytes changes nothing.
    VstMidiEvent note{};
    note.type = kVstMidiType;
    note.midiData[0] = (char)0x90;
    note.midiData[1] = 70;
    note.midiData[2] = 100;
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&note);
    host.dispatch(effProcessEvents, 0, 0, &events);
    EXPECT_EQ(host.getParameter(0), 0.0f);
    // MIDI changes are not reported to the host as automation.
    EXPECT_TRUE(host.requests(audioMasterAutomate).empty());
}

TEST_F(Parameters, PanToTheLeftSilencesTheRightInput)
{
    host.setParameter(0, 1.0f);
    host.setParameter(1, 0.0f);
    float l[1] = {0.1f}, r[1] = {0.9f};
    float* io[2] = {l, r};
    host.processReplacing(io, io, 1);
    EXPECT_EQ(r[0], 0.0f);
    EXPECT_NE(l[0], 0.0f);
}

} // namespace
