// State that reaches the unit damaged, in every form the AudioUnit side
// carries it: a chunk whose curve points are INT32_MIN, or whose parameters
// are out of range or no number, in a program or bank record set as ClassInfo,
// in an .aupreset converted from a VST preset file, and as a factory preset.
// What comes out stays bounded. And a state set again and again while
// another thread renders is heard as one state, never the defaults between.
#include "ComponentHarness.h"
#include "tests/support/StateChunks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <thread>

namespace fs = std::filesystem;

namespace
{

constexpr UInt32 kFrames = 512;
constexpr float kBound = 8.0f; // 8.4e6 before loaded state was bounded

OSStatus feedSine(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp* stamp, UInt32, UInt32 frames, AudioBufferList* list)
{
    for (UInt32 c = 0; c < list->mNumberBuffers; ++c)
        for (UInt32 i = 0; i < frames; ++i)
            static_cast<float*>(list->mBuffers[c].mData)[i] = 0.5f * static_cast<float>(std::sin(0.05 * (stamp->mSampleTime + i)));
    return noErr;
}

// A planar stereo block the unit fills from its own buffers.
struct Block
{
    UInt32 count = 2;
    AudioBuffer buffers[2] = {{1, kFrames * 4, nullptr}, {1, kFrames * 4, nullptr}};
    AudioBufferList* list() { return reinterpret_cast<AudioBufferList*>(this); }
};

void prepare(AudioUnit unit)
{
    AURenderCallbackStruct input{&feedSine, nullptr};
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &input, sizeof(input)),
              noErr);
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
}

// The largest magnitude of 16 blocks of a 0.5 sine; infinity for a NaN.
float peakOf(AudioUnit unit)
{
    float peak = 0.0f;
    for (int b = 0; b < 16; ++b)
    {
        Block block;
        AudioTimeStamp stamp{};
        stamp.mFlags = kAudioTimeStampSampleTimeValid;
        stamp.mSampleTime = b * static_cast<Float64>(kFrames);
        AudioUnitRenderActionFlags flags = 0;
        EXPECT_EQ(AudioUnitRender(unit, &flags, &stamp, 0, kFrames, block.list()), noErr);
        for (const AudioBuffer& buffer : block.buffers)
            for (UInt32 i = 0; i < kFrames; ++i)
            {
                const float v = static_cast<const float*>(buffer.mData)[i];
                peak = std::isnan(v) ? std::numeric_limits<float>::infinity() : std::max(peak, std::fabs(v));
            }
    }
    return peak;
}

// The unit's own state document with `record` as its "vstdata".
CFMutableDictionaryRef documentWith(AudioUnit unit, const std::vector<uint8_t>& record)
{
    CFDictionaryRef own = classInfo(unit);
    CFMutableDictionaryRef document = mutableCopy(own, {"vstdata"});
    CFRelease(own);
    CFDataRef data = CFDataCreate(nullptr, record.data(), static_cast<CFIndex>(record.size()));
    CFDictionarySetValue(document, CFSTR("vstdata"), data);
    CFRelease(data);
    return document;
}

struct Damage
{
    const char* name;
    std::vector<uint8_t> chunk;
};

std::vector<Damage> damages()
{
    using namespace dc::chunks;
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    std::vector<uint8_t> wild = defaultChunk();
    const float values[9] = {-4.0f, 7.0f, 1e30f, inf, nan, 2.0f, -1.0f, 1e9f, -1e9f};
    for (int i = 0; i < 9; ++i)
        wild = withParameter(wild, i, values[i]);
    return {{"CurvePointsAtInt32Min", withCurve(defaultChunk(), INT32_MIN)},
            {"CurvePointsAtInt32MaxLoud", withParameter(withCurve(defaultChunk(), INT32_MAX), 2, 1.0f)},
            {"ParametersOutOfRange", wild}};
}

// How the damaged chunk reaches the unit.
enum class Route
{
    ProgramRecordAsClassInfo,
    BankRecordAsClassInfo,
    ConvertedProgramFile,
    ConvertedBankFile,
    FactoryPreset,
};

struct Case
{
    Route route;
    Damage damage;
};

std::string nameOf(const Case& c)
{
    static const char* const routes[] = {"ProgramRecordAsClassInfo", "BankRecordAsClassInfo", "ConvertedProgramFile",
                                         "ConvertedBankFile", "FactoryPreset"};
    return std::string(routes[static_cast<int>(c.route)]) + "_" + c.damage.name;
}

void PrintTo(const Case& c, std::ostream* out)
{
    *out << nameOf(c);
}

class DamagedState : public ::testing::TestWithParam<Case>
{
};

TEST_P(DamagedState, PlaysBounded)
{
    const Case& c = GetParam();
    const bool bank = c.route == Route::BankRecordAsClassInfo || c.route == Route::ConvertedBankFile;
    ComponentHarness harness({.presetIsFXB = bank});
    const std::vector<uint8_t> record = dc::chunks::chunkRecord(c.damage.chunk, bank, "Damaged");
    if (c.route == Route::ConvertedProgramFile || c.route == Route::ConvertedBankFile)
    {
        writeBytes(harness.userPresets() / (bank ? "Damaged.fxb" : "Damaged.fxp"), record);
    }
    if (c.route == Route::FactoryPreset)
    {
        AudioUnit writer = harness.open();
        ASSERT_TRUE(writer);
        CFMutableDictionaryRef document = documentWith(writer, record);
        harness.close(writer);
        CFDataRef xml = CFPropertyListCreateXMLData(nullptr, document);
        writeBytes(harness.resources() / "Damaged.aupreset",
                   std::vector<uint8_t>(CFDataGetBytePtr(xml), CFDataGetBytePtr(xml) + CFDataGetLength(xml)));
        const std::string list = "Damaged.aupreset\r";
        writeBytes(harness.resources() / "TWFactoryPresets.txt", std::vector<uint8_t>(list.begin(), list.end()));
        CFRelease(xml);
        CFRelease(document);
    }
    AudioUnit unit = harness.open();
    ASSERT_TRUE(unit);
    prepare(unit);
    switch (c.route)
    {
    case Route::ProgramRecordAsClassInfo:
    case Route::BankRecordAsClassInfo:
    {
        CFMutableDictionaryRef document = documentWith(unit, record);
        EXPECT_EQ(setClassInfo(unit, document), noErr);
        CFRelease(document);
        break;
    }
    case Route::ConvertedProgramFile:
    case Route::ConvertedBankFile:
    {
        // The .aupreset a host finds beside the VST preset, restored as the
        // unit's state.
        CFPropertyListRef document = readPropertyListFile(harness.userPresets() / "Damaged.aupreset");
        ASSERT_TRUE(document) << "the record is converted: its fields are all where they belong";
        EXPECT_EQ(setClassInfo(unit, document), noErr);
        CFRelease(document);
        break;
    }
    case Route::FactoryPreset:
    {
        AUPreset preset{0, nullptr};
        EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &preset, sizeof(preset)),
                  noErr);
        break;
    }
    }
    const float peak = peakOf(unit);
    EXPECT_LE(peak, kBound);

    // What the unit saves of it again is in range.
    CFDictionaryRef saved = classInfo(unit);
    const std::vector<uint8_t> again = dataBytes(saved, "vstdata");
    CFRelease(saved);
    const size_t chunkAt = bank ? 160 : 60;
    ASSERT_EQ(again.size(), chunkAt + dc::chunks::kChunkSize);
    int parametersOut = 0, pointsOut = 0;
    for (size_t offset : dc::chunks::kParameterOffsets)
    {
        float value;
        std::memcpy(&value, again.data() + chunkAt + offset, 4);
        parametersOut += !(value >= 0.0f && value <= 1.0f);
    }
    for (int i = 0; i < 128; ++i)
    {
        int32_t point;
        std::memcpy(&point, again.data() + chunkAt + dc::chunks::kCurveOffset + 4 * i, 4);
        pointsOut += point < 0 || point > 128;
    }
    EXPECT_EQ(parametersOut, 0) << "parameters saved outside 0..1";
    EXPECT_EQ(pointsOut, 0) << "curve points saved outside 0..128";
}

std::vector<Case> cases()
{
    std::vector<Case> all;
    for (Route route : {Route::ProgramRecordAsClassInfo, Route::BankRecordAsClassInfo, Route::ConvertedProgramFile,
                        Route::ConvertedBankFile, Route::FactoryPreset})
        for (const Damage& damage : damages())
            all.push_back({route, damage});
    return all;
}

INSTANTIATE_TEST_SUITE_P(Routes, DamagedState, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return nameOf(info.param); });

// A level that the defaults do not give: PreGain 0.7, PostGain 0.3, no
// filters (so that every block of the same input is the same block), a
// curve of its own.
std::vector<uint8_t> distinctChunk()
{
    using namespace dc::chunks;
    std::vector<uint8_t> chunk = withParameter(withParameter(defaultChunk(), 0, 0.7f), 2, 0.3f);
    for (int32_t i = 0; i < 128; ++i)
    {
        const int32_t point = (i * 37) % 129;
        std::memcpy(chunk.data() + kCurveOffset + 4 * i, &point, 4);
    }
    return chunk;
}

OSStatus feedSameBlock(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames, AudioBufferList* list)
{
    for (UInt32 c = 0; c < list->mNumberBuffers; ++c)
        for (UInt32 i = 0; i < frames; ++i)
            static_cast<float*>(list->mBuffers[c].mData)[i] = 0.9f * static_cast<float>(std::sin(0.2 * i + c));
    return noErr;
}

TEST(StateReload, TheSameClassInfoSetWhileRenderingNeverChangesABlock)
{
    constexpr int kBlocks = 20000;
    constexpr UInt32 kBlockFrames = 64;
    ComponentHarness harness;
    AudioUnit unit = harness.open();
    ASSERT_TRUE(unit);
    CFMutableDictionaryRef document = documentWith(unit, dc::chunks::chunkRecord(distinctChunk(), false));
    ASSERT_EQ(setClassInfo(unit, document), noErr);
    AURenderCallbackStruct input{&feedSameBlock, nullptr};
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &input, sizeof(input)),
              noErr);
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);

    std::vector<float> reference;
    auto renderBlock = [&](int b, std::vector<float>& out) {
        Block block;
        block.buffers[0].mDataByteSize = block.buffers[1].mDataByteSize = kBlockFrames * 4;
        AudioTimeStamp stamp{};
        stamp.mFlags = kAudioTimeStampSampleTimeValid;
        stamp.mSampleTime = b * static_cast<Float64>(kBlockFrames);
        AudioUnitRenderActionFlags flags = 0;
        const OSStatus status = AudioUnitRender(unit, &flags, &stamp, 0, kBlockFrames, block.list());
        out.clear();
        for (const AudioBuffer& buffer : block.buffers)
            out.insert(out.end(), static_cast<const float*>(buffer.mData), static_cast<const float*>(buffer.mData) + kBlockFrames);
        return status;
    };
    ASSERT_EQ(renderBlock(0, reference), noErr);

    std::atomic<bool> done{false};
    std::atomic<long> reloads{0};
    std::thread loader([&] {
        while (!done.load())
        {
            if (setClassInfo(unit, document) == noErr)
                ++reloads;
        }
    });
    int differing = 0;
    float lowestPeak = std::numeric_limits<float>::infinity();
    std::vector<float> out;
    while (reloads.load() == 0)
        std::this_thread::yield();
    for (int b = 1; b <= kBlocks; ++b)
    {
        if (renderBlock(b, out) != noErr)
            ADD_FAILURE() << "block " << b << " failed";
        if (out != reference)
        {
            ++differing;
            float peak = 0.0f;
            for (float v : out)
                peak = std::max(peak, std::fabs(v));
            lowestPeak = std::min(lowestPeak, peak);
        }
    }
    done = true;
    loader.join();
    CFRelease(document);
    EXPECT_EQ(differing, 0) << "of " << kBlocks << " blocks, while the state was set " << reloads.load()
                            << " times; the quietest differing block peaked at " << lowestPeak;
    EXPECT_GT(reloads.load(), 0);
    std::printf("%d blocks rendered while the state was set %ld times\n", kBlocks, reloads.load());
}

} // namespace
