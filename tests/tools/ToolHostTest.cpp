#include "FakeEffect.h"
#include "auadapter/VSTPlugIn.h"
#include "tools/Renderer.h"
#include "tools/SoundFile.h"
#include "tools/TestSignal.h"
#include "tools/ToolHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace
{

TEST(ToolHost, CanDoAnswersExactlyItsCapabilities)
{
    ToolHost host;
    VSTPlugIn* none = nullptr;
    for (const char* yes : {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo", "reportConnectionChanges", "sizeWindow", "supplyIdle"})
        EXPECT_TRUE(host.canDo(*none, yes)) << yes;
    for (const char* no : {"SizeWindow", "sizewindow", "sizeWindow ", "receiveVstEvents", "", "offline"})
        EXPECT_FALSE(host.canDo(*none, no)) << no;
}

// Effect whose output is 1.0 at every frame where it received an event, and
// that notes the events it got.
struct EventProbe
{
    AEffect record{};
    std::vector<int32_t> pending;
    std::vector<std::vector<int32_t>> received; // per block: deltaFrames
    std::vector<std::string> data;

    static VstIntPtr dispatcher(AEffect* e, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
    {
        auto* self = static_cast<EventProbe*>(e->object);
        if (opcode == effProcessEvents)
        {
            const VstEvents* events = static_cast<const VstEvents*>(ptr);
            for (int32_t i = 0; i < events->numEvents; ++i)
            {
                const auto* m = reinterpret_cast<const VstMidiEvent*>(events->events[i]);
                self->pending.push_back(m->deltaFrames);
                char text[16];
                std::snprintf(text, sizeof(text), "%02X %d %d", static_cast<unsigned char>(m->midiData[0]), m->midiData[1], m->midiData[2]);
                self->data.push_back(text);
            }
        }
        return 0;
    }
    static void process(AEffect* e, float** in, float** out, VstInt32 frames)
    {
        auto* self = static_cast<EventProbe*>(e->object);
        for (int32_t i = 0; i < frames; ++i)
            out[0][i] = in[0][i];
        for (int32_t d : self->pending)
            out[0][d] = 1.0f;
        self->received.push_back(self->pending);
        self->pending.clear();
    }
};

EventProbe* gProbe = nullptr;
AEffect* probeEntry(audioMasterCallback)
{
    return &gProbe->record;
}

TEST(Renderer, DeliversControlChangesAtTheirFramesAndRendersTheTail)
{
    EventProbe probe;
    probe.record.magic = kEffectMagic;
    probe.record.dispatcher = &EventProbe::dispatcher;
    probe.record.processReplacing = &EventProbe::process;
    probe.record.numInputs = 1;
    probe.record.numOutputs = 1;
    probe.record.flags = effFlagsCanReplacing;
    probe.record.object = &probe;
    gProbe = &probe;
    ToolHost host;
    CodeBundle* bundle = InProcessBundle::create({{"VSTPluginMain", reinterpret_cast<void*>(&probeEntry)}});
    VSTPlugIn plugIn(host, bundle, 1000.0f, 4);
    bundle->release();
    plugIn.open();

    AudioBuffer input;
    input.sampleRate = 1000.0;
    input.channels = 1;
    input.samples.assign(10, 0.25f);
    Renderer renderer(plugIn, host, 4);
    std::vector<double> progress;
    const AudioBuffer out = renderer.render(input, {{0.009, 72, 5, 2}, {0.001, 70, 127, 1}, {0.0055, 71, 64, 1}}, 0.002,
                                            [&](double done) { progress.push_back(done); });
    ASSERT_EQ(out.frames(), 12u);
    EXPECT_EQ(out.samples, (std::vector<float>{0.25f, 1.0f, 0.25f, 0.25f, 0.25f, 0.25f, 1.0f, 0.25f, 0.25f, 1.0f, 0.0f, 0.0f}));
    EXPECT_EQ(probe.received, (std::vector<std::vector<int32_t>>{{1}, {2}, {1}}));
    EXPECT_EQ(probe.data, (std::vector<std::string>{"B0 70 127", "B0 71 64", "B1 72 5"}));
    EXPECT_EQ(progress, (std::vector<double>{4.0 / 12, 8.0 / 12, 1.0}));
    gProbe = nullptr;
}

TEST(TestSignal, KindsHaveTheirLevels)
{
    const AudioBuffer sine = generateSignal("sine", 1.0, 2, 48000.0);
    EXPECT_EQ(sine.frames(), 48000u);
    EXPECT_NEAR(sine.peak(), 0.5f, 1e-3);
    EXPECT_NEAR(sine.rms(), 0.5 / std::sqrt(2.0), 1e-3);
    EXPECT_EQ(sine.samples[2 * 100], sine.samples[2 * 100 + 1]);
    EXPECT_LE(generateSignal("noise", 0.1, 1, 8000.0).peak(), 0.25f);
    EXPECT_NEAR(generateSignal("sweep", 1.0, 1, 44100.0).peak(), 0.5f, 1e-3);
    EXPECT_EQ(toDecibels(0.0), -std::numeric_limits<double>::infinity());
    EXPECT_NEAR(toDecibels(0.5), -6.0206, 1e-4);
}

class SoundFileFormat : public ::testing::TestWithParam<const char*>
{
};

TEST_P(SoundFileFormat, WritesAndReadsBack)
{
    const auto path = std::filesystem::temp_directory_path() / (std::string("vsthost-test") + GetParam());
    AudioBuffer audio = generateSignal("sine", 0.05, 2, 44100.0);
    SoundFile::write(path, audio);
    const AudioBuffer back = SoundFile::read(path);
    std::filesystem::remove(path);
    EXPECT_EQ(back.sampleRate, 44100.0);
    EXPECT_EQ(back.channels, 2);
    ASSERT_EQ(back.samples.size(), audio.samples.size());
    for (size_t i = 0; i < audio.samples.size(); ++i)
        ASSERT_NEAR(back.samples[i], audio.samples[i], 1e-6) << i;
}

INSTANTIATE_TEST_SUITE_P(Formats, SoundFileFormat, ::testing::Values(".wav", ".flac", ".aiff", ".AIF"));

TEST(SoundFile, ReportsUnreadableAndUnknownFiles)
{
    EXPECT_THROW(SoundFile::read("/nonexistent/file.wav"), SoundFileError);
    EXPECT_THROW(SoundFile::write("/tmp/out.mp3", generateSignal("sine", 0.01, 1, 8000.0)), SoundFileError);
    EXPECT_FALSE(SoundFile::isWritableName("x.ogg"));
}

} // namespace
