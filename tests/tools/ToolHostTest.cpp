#include "FakeEffect.h"
#include "tools/Renderer.h"
#include "tools/SoundFile.h"
#include "tools/TestSignal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace
{

TEST(ToolHost, CanDoAnswersExactlyItsCapabilities)
{
    ToolHost host;
    VSTPlugIn unopened(host, nullptr, 44100.0f, 64);
    for (const char* yes : {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo", "reportConnectionChanges", "sizeWindow", "supplyIdle"})
        EXPECT_TRUE(host.canDo(unopened, yes)) << yes;
    for (const char* no : {"SizeWindow", "sizeWindow ", "receiveVstEvents", ""})
        EXPECT_FALSE(host.canDo(unopened, no)) << no;
}

TEST(Renderer, DeliversControlChangesAtTheirFramesAndRendersTheTail)
{
    FakeEffect fake{1, 1, false};
    fake.record.numInputs = fake.record.numOutputs = 1;
    fake.values[0][0] = 1.0f; // output = 2 x input
    gEntryScript = EntryScript{&fake};
    ToolHost host;
    CodeBundle* bundle = InProcessBundle::create(fakeEntryTable());
    VSTPlugIn plugIn(host, bundle, 1000.0f, 4);
    bundle->release();
    plugIn.open();

    AudioBuffer input{1000.0, 1, std::vector<float>(10, 0.25f)};
    Renderer renderer(plugIn, host, 4);
    std::vector<double> progress;
    const AudioBuffer out = renderer.render(input, {{0.009, 72, 5, 2}, {0.001, 70, 127, 1}, {0.0055, 71, 64, 1}}, 0.002,
                                            [&](double done) { progress.push_back(done); });
    std::vector<float> expected(12, 0.5f);
    expected[10] = expected[11] = 0.0f;
    EXPECT_EQ(out.samples, expected);
    // Frames 1, 6 and 9 in blocks of four; the list is sorted by time.
    EXPECT_EQ(fake.midi, (std::vector<std::string>{"1 176 70 127", "2 176 71 64", "1 177 72 5"}));
    EXPECT_EQ(progress, (std::vector<double>{4.0 / 12, 8.0 / 12, 1.0}));
    gEntryScript = EntryScript{};
}

TEST(TestSignal, KindsHaveTheirLevels)
{
    const AudioBuffer sine = generateSignal("sine", 1.0, 2, 48000.0);
    EXPECT_EQ(sine.frames(), 48000u);
    EXPECT_NEAR(sine.peak(), 0.5f, 1e-3);
    EXPECT_NEAR(sine.rms(), 0.5 / std::sqrt(2.0), 1e-3);
    EXPECT_LE(generateSignal("noise", 0.1, 1, 8000.0).peak(), 0.25f);
    EXPECT_NEAR(generateSignal("sweep", 1.0, 1, 44100.0).peak(), 0.5f, 1e-3);
    EXPECT_NEAR(toDecibels(0.5), -6.0206, 1e-4);
}

class SoundFileFormat : public ::testing::TestWithParam<const char*>
{
};

TEST_P(SoundFileFormat, WritesAndReadsBack)
{
    const auto path = std::filesystem::temp_directory_path() / (std::string("vsthost-test") + GetParam());
    const AudioBuffer audio = generateSignal("sine", 0.05, 2, 44100.0);
    SoundFile::write(path, audio);
    const AudioBuffer back = SoundFile::read(path);
    std::filesystem::remove(path);
    EXPECT_EQ(back.sampleRate * 10 + back.channels, 441002.0);
    ASSERT_EQ(back.samples.size(), audio.samples.size());
    for (size_t i = 0; i < audio.samples.size(); ++i)
        ASSERT_NEAR(back.samples[i], audio.samples[i], 1e-6) << i;
}

INSTANTIATE_TEST_SUITE_P(Formats, SoundFileFormat, ::testing::Values(".wav", ".flac", ".aiff", ".AIF"));

} // namespace
