// The saved state survives a session: a ClassInfo written to a file by
// `auhost save` in one process and restored in another gives the same
// parameters, the same chunk bytes and the same audio, bit for bit.
#include "ComponentHarness.h"
#include "RoundTripAudio.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <cstring>

namespace fs = std::filesystem;

namespace
{

constexpr VstInt32 kCurvePointSelect = 10;
constexpr VstInt32 kCurvePointValue = 11;

void putBig(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(value >> (24 - 8 * i)));
}

// A program chunk record ("FPCh") of Dithercrunch around `chunk`.
std::vector<uint8_t> programChunkRecord(const std::vector<unsigned char>& chunk, const char* name)
{
    std::vector<uint8_t> r;
    putBig(r, 0x43636E4B); // CcnK
    putBig(r, static_cast<uint32_t>(52 + chunk.size()));
    putBig(r, 0x46504368); // FPCh
    putBig(r, 1);
    putBig(r, 0x4B77517A); // KwQz
    putBig(r, 1000);
    putBig(r, 9);
    std::vector<uint8_t> field(28, 0);
    std::memcpy(field.data(), name, std::strlen(name));
    r.insert(r.end(), field.begin(), field.end());
    putBig(r, static_cast<uint32_t>(chunk.size()));
    r.insert(r.end(), chunk.begin(), chunk.end());
    return r;
}

// A document holding a hand-drawn curve, made with the effect's VST form.
void writeDrawnCurveDocument(const fs::path& file)
{
    dc::TestHost vst(dc::TestHost::pluginPath());
    for (int point = 0; point < 128; ++point)
    {
        vst.setParameter(kCurvePointSelect, static_cast<float>(point));
        vst.setParameter(kCurvePointValue, static_cast<float>((point * 53 + 17) % 129));
    }
    const std::vector<uint8_t> record = programChunkRecord(vst.chunk(), "Drawn");
    CFMutableDictionaryRef document =
        CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    auto number = [&](const char* key, int32_t value) {
        CFNumberRef n = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value);
        CFDictionarySetValue(document, __CFStringMakeConstantString(key), n);
        CFRelease(n);
    };
    number("version", 1);
    number("type", 0x61756D66);
    number("subtype", 0x4B77517A);
    number("manufacturer", 0x54726E62);
    CFDictionarySetValue(document, CFSTR("name"), CFSTR("Drawn"));
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, record.data(), static_cast<CFIndex>(record.size()));
    CFDictionarySetValue(document, CFSTR("vstdata"), data);
    CFRelease(data);
    CFDataRef xml = CFPropertyListCreateXMLData(kCFAllocatorDefault, document);
    ASSERT_TRUE(xml);
    writeBytes(file, std::vector<uint8_t>(CFDataGetBytePtr(xml), CFDataGetBytePtr(xml) + CFDataGetLength(xml)));
    CFRelease(xml);
    CFRelease(document);
}

std::vector<AudioUnitParameterValue> parameterValues(AudioUnit unit)
{
    std::vector<AudioUnitParameterValue> values;
    for (AudioUnitParameterID id = 0; id < 9; ++id)
    {
        AudioUnitParameterValue v = -1;
        EXPECT_EQ(AudioUnitGetParameter(unit, id, kAudioUnitScope_Global, 0, &v), noErr);
        values.push_back(v);
    }
    return values;
}

struct Feed
{
    const std::vector<float>* interleaved;
    size_t position;
};

OSStatus provideInput(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                      AudioBufferList* data)
{
    auto* feed = static_cast<Feed*>(refCon);
    for (UInt32 channel = 0; channel < data->mNumberBuffers && channel < 2; ++channel)
    {
        auto* out = static_cast<float*>(data->mBuffers[channel].mData);
        for (UInt32 i = 0; i < frames; ++i)
            out[i] = (*feed->interleaved)[2 * (feed->position + i) + channel];
    }
    return noErr;
}

// Renders interleaved stereo through the unit at 48 kHz, 512 frames a slice.
std::vector<float> renderUnit(AudioUnit unit, const std::vector<float>& input)
{
    const Float64 rate = 48000.0;
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Input, 0, &rate, sizeof(rate)), noErr);
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, 0, &rate, sizeof(rate)), noErr);
    Feed feed{&input, 0};
    AURenderCallbackStruct callback{provideInput, &feed};
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &callback,
                                   sizeof(callback)),
              noErr);
    EXPECT_EQ(AudioUnitInitialize(unit), noErr);
    const size_t frames = input.size() / 2;
    std::vector<float> output(input.size());
    std::vector<float> left(512), right(512);
    std::vector<uint8_t> listBytes(offsetof(AudioBufferList, mBuffers) + 2 * sizeof(AudioBuffer));
    auto* list = reinterpret_cast<AudioBufferList*>(listBytes.data());
    while (feed.position < frames)
    {
        const UInt32 n = static_cast<UInt32>(std::min<size_t>(512, frames - feed.position));
        list->mNumberBuffers = 2;
        list->mBuffers[0] = {1, n * 4, left.data()};
        list->mBuffers[1] = {1, n * 4, right.data()};
        AudioTimeStamp stamp{};
        stamp.mSampleTime = static_cast<Float64>(feed.position);
        stamp.mFlags = kAudioTimeStampSampleTimeValid;
        AudioUnitRenderActionFlags flags = 0;
        EXPECT_EQ(AudioUnitRender(unit, &flags, &stamp, 0, n, list), noErr);
        const auto* l = static_cast<const float*>(list->mBuffers[0].mData);
        const auto* r = static_cast<const float*>(list->mBuffers[1].mData);
        for (UInt32 i = 0; i < n; ++i)
        {
            output[2 * (feed.position + i)] = l[i];
            output[2 * (feed.position + i) + 1] = r[i];
        }
        feed.position += n;
    }
    return output;
}

std::string quoted(const fs::path& p)
{
    return "'" + p.string() + "'";
}

class StateRoundTrip : public ::testing::TestWithParam<bool>
{
};

TEST_P(StateRoundTrip, AuhostSaveRestoresInAFreshProcessBitForBit)
{
    const bool bank = GetParam();
    ComponentHarness harness({.presetIsFXB = bank});
    const fs::path folder = harness.home();
    const fs::path drawn = folder / "drawn.aupreset", saved = folder / "saved.aupreset", rendered = folder / "rendered.wav";
    writeDrawnCurveDocument(drawn);
    const std::string settings = " --set 0=0.8 --set PrePan=0.25 --set 6=0.3 --set 8=0.6 --set 4=0.9";

    std::string output;
    ASSERT_EQ(run(quoted(ComponentHarness::auhost()) + " save " + quoted(harness.bundle()) + " -o " + quoted(saved) +
                      " --state " + quoted(drawn) + settings,
                  output),
              0)
        << output;

    // The file is an XML property list that libplist's own tool reads.
    const std::vector<uint8_t> bytes = readBytes(saved);
    ASSERT_GT(bytes.size(), 5u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 5), "<?xml");
    ASSERT_EQ(run("plistutil -i " + quoted(saved) + " -f xml", output), 0) << output;
    for (const char* key : {"<key>version</key>", "<key>type</key>", "<key>subtype</key>", "<key>manufacturer</key>",
                            "<key>name</key>", "<key>vstdata</key>", "<key>ProgramNumber</key>"})
        EXPECT_NE(output.find(key), std::string::npos) << key;
    CFPropertyListRef file = readPropertyListFile(saved);
    ASSERT_TRUE(file && CFGetTypeID(file) == CFDictionaryGetTypeID());
    auto document = static_cast<CFDictionaryRef>(file);
    for (const char* key : {"version", "type", "subtype", "manufacturer", "ProgramNumber"})
        EXPECT_EQ(CFGetTypeID(CFDictionaryGetValue(document, __CFStringMakeConstantString(key))), CFNumberGetTypeID()) << key;
    EXPECT_EQ(stringValue(CFDictionaryGetValue(document, CFSTR("name"))), "Drawn");
    const std::vector<uint8_t> record = dataBytes(document, "vstdata");
    ASSERT_GE(record.size(), 160u);
    EXPECT_EQ(std::string(record.begin() + 8, record.begin() + 12), bank ? "FBCh" : "FPCh");

    // The same state made here: the drawn curve, then the same settings.
    AudioUnit original = harness.open();
    ASSERT_TRUE(original);
    CFPropertyListRef drawnDocument = readPropertyListFile(drawn);
    ASSERT_EQ(setClassInfo(original, drawnDocument), noErr);
    CFRelease(drawnDocument);
    for (auto [id, value] : std::vector<std::pair<AudioUnitParameterID, float>>{{0, 0.8f}, {1, 0.25f}, {6, 0.3f}, {8, 0.6f}, {4, 0.9f}})
        ASSERT_EQ(AudioUnitSetParameter(original, id, kAudioUnitScope_Global, 0, value, 0), noErr);
    CFDictionaryRef here = classInfo(original);
    EXPECT_EQ(dataBytes(here, "vstdata"), record) << "the record byte for byte";
    CFRelease(here);

    // A fresh instance, restored before Initialize, matches it.
    AudioUnit restored = harness.open();
    ASSERT_TRUE(restored);
    ASSERT_EQ(setClassInfo(restored, file), noErr);
    EXPECT_EQ(parameterValues(restored), parameterValues(original));
    CFDictionaryRef again = classInfo(restored);
    EXPECT_EQ(dataBytes(again, "vstdata"), record);
    CFRelease(again);
    CFRelease(file);

    // And a fresh process renders what this one renders.
    ASSERT_EQ(run(quoted(ComponentHarness::auhost()) + " render " + quoted(harness.bundle()) +
                      " --generate noise --seconds 0.5 --quiet --state " + quoted(saved) + " -o " + quoted(rendered),
                  output),
              0)
        << output;
    const std::vector<float> input = generatedNoise(0.5);
    const std::vector<float> expected = renderUnit(original, input);
    const std::vector<float> elsewhere = readSoundFile(rendered);
    ASSERT_EQ(elsewhere.size(), expected.size());
    EXPECT_EQ(std::memcmp(elsewhere.data(), expected.data(), expected.size() * sizeof(float)), 0);
    EXPECT_NE(expected, input) << "the state shapes the sound";
    EXPECT_EQ(renderUnit(restored, input), expected);
}

INSTANTIATE_TEST_SUITE_P(Forms, StateRoundTrip, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Bank" : "Program"; });

TEST(StateCommands, SaveNeverLeavesAPartialFileAndReportsBadInput)
{
    ComponentHarness harness;
    const fs::path target = harness.home() / "keep.aupreset";
    writeBytes(target, {'o', 'l', 'd'});
    const fs::path junk = harness.home() / "junk.aupreset";
    writeBytes(junk, {'j', 'u', 'n', 'k'});
    std::string output;
    const std::string auhost = quoted(ComponentHarness::auhost());
    EXPECT_EQ(run(auhost + " save " + quoted(harness.bundle()) + " -o " + quoted(target) + " --state " + quoted(junk), output), 1)
        << output;
    EXPECT_NE(output.find("not a property list"), std::string::npos) << output;
    EXPECT_EQ(readBytes(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(run(auhost + " save " + quoted(harness.bundle()) + " -o " + quoted(target) + " --preset 5", output), 1) << output;
    EXPECT_NE(output.find("no factory preset 5"), std::string::npos) << output;
    EXPECT_EQ(run(auhost + " save " + quoted(harness.bundle()), output), 2) << output;
    EXPECT_EQ(run(auhost + " presets " + quoted(harness.bundle()) + " --bogus", output), 2) << output;
    EXPECT_EQ(readBytes(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(harness.home()), fs::directory_iterator()), 3) << "no partial files";
}

TEST(StateCommands, PresetsAndConvertReport)
{
    ComponentHarness harness;
    fs::create_directories(harness.userPresets());
    AudioUnit unit = harness.open();
    ASSERT_TRUE(unit);
    CFDictionaryRef state = classInfo(unit);
    writeBytes(harness.userPresets() / "Warm.fxp", dataBytes(state, "vstdata")); // a program of this effect
    CFRelease(state);
    harness.close(unit);
    writeBytes(harness.userPresets() / ".Hidden.fxp", {'x'});
    std::string output;
    const std::string auhost = quoted(ComponentHarness::auhost());
    ASSERT_EQ(run(auhost + " presets " + quoted(harness.bundle()), output), 0) << output;
    EXPECT_NE(output.find("1 factory preset:"), std::string::npos) << output;
    EXPECT_NE(output.find("    0  "), std::string::npos) << output;
    // Opening the unit converted already; a fresh home shows convert at work.
    fs::remove(harness.userPresets() / "Warm.aupreset");
    ASSERT_EQ(run(auhost + " convert " + quoted(harness.bundle()), output), 0) << output;
    EXPECT_NE(output.find("wrote    Warm.aupreset"), std::string::npos) << output;
    EXPECT_NE(output.find("skipped  .Hidden.fxp: invisible"), std::string::npos) << output;
    ASSERT_EQ(run(auhost + " convert " + quoted(harness.bundle()), output), 0) << output;
    EXPECT_NE(output.find("skipped  Warm.fxp: the .aupreset exists"), std::string::npos) << output;
    EXPECT_NE(output.find("0 written, 2 skipped"), std::string::npos) << output;
}

} // namespace
