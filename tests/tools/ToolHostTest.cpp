#include "FakeEffect.h"
#include "auadapter/FxPreset.h"
#include "tools/kit/SoundFile.h"
#include "tools/kit/SoundFileReader.h"
#include "tools/kit/SoundFileWriter.h"
#include "tools/kit/TestSignal.h"
#include "tools/kit/ToolMain.h"
#include "tools/vsthost/PresetDiagnosis.h"
#include "tools/vsthost/Renderer.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace
{

// Audio from and to memory, in blocks of whatever size the renderer asks.
class MemorySource final : public AudioSource
{
public:
    explicit MemorySource(AudioBuffer audio) : buffer(std::move(audio)) {}
    int32_t channels() const override { return buffer.channels; }
    int32_t sampleRate() const override { return static_cast<int32_t>(buffer.sampleRate); }
    uint64_t frames() const override { return buffer.frames(); }
    size_t read(float* out, size_t frames) override
    {
        const size_t count = std::min(frames, buffer.frames() - position);
        std::copy_n(buffer.samples.begin() + static_cast<std::ptrdiff_t>(position * buffer.channels), count * buffer.channels, out);
        position += count;
        return count;
    }

private:
    AudioBuffer buffer;
    size_t position = 0;
};

struct MemorySink final : AudioSink
{
    void write(const float* in, size_t frames) override
    {
        samples.insert(samples.end(), in, in + frames * channels);
        blocks.push_back(frames);
    }
    size_t channels = 1;
    std::vector<float> samples;
    std::vector<size_t> blocks;
};

TEST(ToolHost, CanDoAnswersExactlyItsCapabilities)
{
    ToolHost host;
    VSTPlugIn unopened(host, nullptr, 44100.0f, 64);
    for (const char* yes : {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo", "reportConnectionChanges", "sizeWindow", "supplyIdle"})
        EXPECT_TRUE(host.canDo(unopened, yes)) << yes;
    for (const char* no : {"SizeWindow", "sizeWindow ", "receiveVstEvents", ""})
        EXPECT_FALSE(host.canDo(unopened, no)) << no;
}

TEST(Renderer, StreamsBlocksDeliversControlChangesAtTheirFramesAndRendersTheTail)
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

    MemorySource source(AudioBuffer{1000.0, 1, std::vector<float>(10, 0.25f)});
    MemorySink sink;
    Renderer renderer(plugIn, host, 4);
    std::vector<double> progress;
    const Renderer::Result result =
        renderer.render(source, sink, {{0.009, 72, 5, 2}, {0.001, 70, 127, 1}, {0.0055, 71, 64, 1}, {0.012, 73, 1, 1}}, 2,
                        [&](double done) { progress.push_back(done); });
    std::vector<float> expected(12, 0.5f);
    expected[10] = expected[11] = 0.0f;
    EXPECT_EQ(sink.samples, expected);
    EXPECT_EQ(sink.blocks, (std::vector<size_t>{4, 4, 4})) << "the tail fills the block the input ends in";
    // Frames 1, 6 and 9 in blocks of four, sorted by time; frame 12 is past the end.
    EXPECT_EQ(fake.midi, (std::vector<std::string>{"1 176 70 127", "2 176 71 64", "1 177 72 5"}));
    EXPECT_EQ(progress, (std::vector<double>{4.0 / 12, 8.0 / 12, 1.0}));
    EXPECT_EQ(result.inputFrames * 100 + result.outputFrames, 1012u);
    EXPECT_EQ(result.input.peak(), 0.25f);
    EXPECT_DOUBLE_EQ(result.output.rms(), std::sqrt(10 * 0.25 / 12));
    gEntryScript = EntryScript{};
}

TEST(TestSignal, KindsHaveTheirLevelsAndStreamLikeAWhole)
{
    const AudioBuffer sine = generateSignal("sine", 1.0, 2, 48000.0);
    EXPECT_EQ(sine.frames(), 48000u);
    EXPECT_NEAR(sine.peak(), 0.5f, 1e-3);
    EXPECT_NEAR(sine.rms(), 0.5 / std::sqrt(2.0), 1e-3);
    EXPECT_LE(generateSignal("noise", 0.1, 1, 8000.0).peak(), 0.25f);
    EXPECT_NEAR(generateSignal("sweep", 1.0, 1, 44100.0).peak(), 0.5f, 1e-3);
    EXPECT_NEAR(toDecibels(0.5), -6.0206, 1e-4);
    for (const char* kind : {"sine", "noise", "sweep"})
    {
        TestSignal blocks(kind, 0.01, 2, 8000);
        std::vector<float> streamed(160);
        for (size_t at = 0, got; (got = blocks.read(streamed.data() + at * 2, 7)) > 0;)
            at += got;
        EXPECT_EQ(streamed, generateSignal(kind, 0.01, 2, 8000.0).samples) << kind;
    }
}

TEST(SoundFile, DefaultFormatKeepsTheInputsWhereTheContainerHoldsIt)
{
    using F = SampleFormat;
    EXPECT_EQ(defaultSampleFormat(Container::wav, std::nullopt), F::float32);
    EXPECT_EQ(defaultSampleFormat(Container::aiff, F::pcm16), F::pcm16);
    EXPECT_EQ(defaultSampleFormat(Container::flac, std::nullopt), F::pcm24);
    EXPECT_EQ(defaultSampleFormat(Container::flac, F::pcm16), F::pcm16);
    EXPECT_EQ(defaultSampleFormat(Container::wav, F::pcm24), F::pcm24);
    EXPECT_FALSE(canHold(Container::flac, F::float32));
    EXPECT_EQ(containerFor("a.AIF"), Container::aiff);
    EXPECT_EQ(containerFor("a.mp3"), std::nullopt);
}

struct FormatCase
{
    const char* extension;
    SampleFormat format;
    int libsndfileFormat;
    const char* formType; // bytes 8 to 11 for AIFF files
    double tolerance;
};

class SoundFileFormat : public ::testing::TestWithParam<FormatCase>
{
};

TEST_P(SoundFileFormat, WritesTheChosenSampleFormatClipsIntegersAndReadsBack)
{
    const FormatCase c = GetParam();
    const auto path = std::filesystem::temp_directory_path() / ("vsthost-test-" + std::to_string(getpid()) + c.extension);
    AudioBuffer audio = generateSignal("sine", 0.05, 2, 44100.0);
    audio.samples[10] = 1.5f;
    audio.samples[11] = -3.0f;
    {
        SoundFileWriter writer(path, *containerFor(path), c.format, 2, 44100);
        writer.write(audio.samples.data(), audio.frames());
        writer.finish();
        EXPECT_EQ(writer.clippedSamples(), c.format == SampleFormat::float32 ? 0u : 2u);
    }
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    sf_close(file);
    EXPECT_EQ(info.format, c.libsndfileFormat);
    if (c.formType)
    {
        char header[12] = {};
        std::ifstream(path, std::ios::binary).read(header, 12);
        EXPECT_EQ(std::string(header + 8, 4), c.formType);
    }
    const AudioBuffer back = SoundFile::read(path);
    std::filesystem::remove(path);
    EXPECT_EQ(back.sampleRate * 10 + back.channels, 441002.0);
    ASSERT_EQ(back.samples.size(), audio.samples.size());
    if (c.format != SampleFormat::float32)
    {
        audio.samples[10] = 1.0f;
        audio.samples[11] = -1.0f;
    }
    for (size_t i = 0; i < audio.samples.size(); ++i)
        ASSERT_NEAR(back.samples[i], audio.samples[i], c.tolerance) << i;
}

INSTANTIATE_TEST_SUITE_P(Formats, SoundFileFormat,
                         ::testing::Values(FormatCase{".wav", SampleFormat::float32, SF_FORMAT_WAV | SF_FORMAT_FLOAT, nullptr, 0.0},
                                           FormatCase{".wav", SampleFormat::pcm16, SF_FORMAT_WAV | SF_FORMAT_PCM_16, nullptr, 1.0 / 32000},
                                           FormatCase{".flac", SampleFormat::pcm24, SF_FORMAT_FLAC | SF_FORMAT_PCM_24, nullptr, 1e-6},
                                           FormatCase{".flac", SampleFormat::pcm16, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, nullptr, 1.0 / 32000},
                                           FormatCase{".aiff", SampleFormat::pcm24, SF_FORMAT_AIFF | SF_FORMAT_PCM_24, "AIFF", 1e-6},
                                           FormatCase{".AIF", SampleFormat::float32, SF_FORMAT_AIFF | SF_FORMAT_FLOAT, "AIFC", 0.0}));

TEST(SoundFileWriter, AnUnfinishedFileLeavesTheOldOneAndNoTrace)
{
    const auto dir = std::filesystem::temp_directory_path() / ("vsthost-writer-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "out.wav") << "old";
    {
        SoundFileWriter writer(dir / "out.wav", Container::wav, SampleFormat::pcm16, 1, 8000);
        const float block[4] = {};
        writer.write(block, 4);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
    std::ifstream in(dir / "out.wav");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");
    EXPECT_THROW(SoundFileWriter(dir / "none" / "x.wav", Container::wav, SampleFormat::pcm16, 1, 8000), FileError);
    EXPECT_THROW(SoundFileWriter(dir / "x.flac", Container::flac, SampleFormat::pcm16, 9, 8000), FileError) << "FLAC takes 8 channels";
    std::filesystem::remove_all(dir);
}

// A valid program record (FxCk, 2 values) for the ID 'KwQz'.
std::vector<uint8_t> programRecord()
{
    std::vector<uint8_t> r(kFxProgramHeaderSize + 8);
    uint8_t* out = writeBigInt32(r.data(), kFxChunkMagic);
    out = writeBigInt32(out, static_cast<int32_t>(r.size() - 8));
    out = writeBigInt32(out, kFxProgramParams);
    out = writeBigInt32(out, 1);
    out = writeBigInt32(out, CCONST('K', 'w', 'Q', 'z'));
    out = writeBigInt32(out, 1);
    writeBigInt32(out, 2);
    return r;
}

struct Damage
{
    const char* what;
    size_t keep; // bytes kept (0: all)
    std::vector<std::pair<size_t, int32_t>> changes; // integers written at offsets
    const char* diagnosis;                           // substring; "" for none
};

class PresetDiagnosisTest : public ::testing::TestWithParam<Damage>
{
};

TEST_P(PresetDiagnosisTest, NamesTheCause)
{
    const Damage d = GetParam();
    std::vector<uint8_t> data = programRecord();
    for (const auto& [at, value] : d.changes)
        writeBigInt32(data.data() + at, value);
    if (d.keep)
        data.resize(d.keep);
    const std::string got = diagnosePreset(data.data(), data.size(), CCONST('K', 'w', 'Q', 'z'));
    if (*d.diagnosis == '\0')
        EXPECT_EQ(got, "") << d.what;
    else
        EXPECT_NE(got.find(d.diagnosis), std::string::npos) << d.what << ": " << got;
}

INSTANTIATE_TEST_SUITE_P(
    Files, PresetDiagnosisTest,
    ::testing::Values(Damage{"intact", 0, {}, ""}, Damage{"cut in the values", 60, {}, "truncated: expected 64 bytes, the file has 60"},
                      Damage{"cut in the header", 10, {}, "truncated: expected 64 bytes, the file has 10"},
                      Damage{"three bytes", 3, {}, "truncated: expected 24 bytes, the file has 3"},
                      Damage{"not a record", 0, {{0, CCONST('R', 'I', 'F', 'F')}}, "does not start with \"CcnK\""},
                      Damage{"another plug-in", 0, {{16, CCONST('M', 'V', 'r', 'b')}},
                             "for the plug-in with ID 'MVrb' (0x4D567262), the effect has ID 'KwQz' (0x4B77517A)"},
                      Damage{"version 2", 0, {{12, 2}}, "format version 2"},
                      Damage{"more values than bytes", 0, {{24, 3}}, "truncated: expected 68 bytes, the file has 64"},
                      Damage{"size field too large", 0, {{4, 1000}}, "truncated: expected 1008 bytes, the file has 64"},
                      Damage{"size field too small", 0, {{4, 20}}, "its size field says 28 bytes, its content needs 64"},
                      Damage{"unknown record", 0, {{8, CCONST('X', 'y', 'z', 'w')}}, "record type 'Xyzw'"},
                      Damage{"program chunk cut", 0, {{8, kFxProgramChunk}, {56, 10}}, "truncated: expected 70 bytes, the file has 64"},
                      Damage{"negative chunk", 0, {{8, kFxProgramChunk}, {56, -1}}, "chunk length is negative"},
                      Damage{"bank chunk cut", 0, {{8, kFxBankChunk}}, "truncated: expected 160 bytes"},
                      Damage{"bank of two programs cut", 0, {{8, kFxBankParams}}, "truncated: expected 268 bytes, the file has 64"}));

} // namespace
