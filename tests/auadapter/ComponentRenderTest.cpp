// Audio through AudioUnitRender against the same effect driven directly
// through VSTPluginMain: bit for bit.
#include "ComponentTestSupport.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

using namespace ComponentTest;

namespace
{

constexpr UInt32 kBlock = 512;
constexpr int kBlocks = 8;
constexpr Float64 kRate = 48000.0;
using Planar = std::vector<std::vector<float>>;

// The VST form, prepared the way the adapter prepares its effect.
struct Reference
{
    dc::TestHost host{dc::TestHost::pluginPath()};
    Reference()
    {
        host.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
        host.dispatch(effSetBlockSize, 0, kBlock);
        host.dispatch(effMainsChanged, 0, 1);
    }
    // Separate input and output buffers, `frames` at a time.
    Planar run(const Planar& in, UInt32 frames = kBlock)
    {
        Planar out(2, std::vector<float>(in[0].size()));
        std::vector<float> a(frames), b(frames), l(frames), r(frames);
        for (size_t start = 0; start < in[0].size(); start += frames)
        {
            std::copy_n(in[0].begin() + static_cast<long>(start), frames, a.begin());
            std::copy_n(in[1].begin() + static_cast<long>(start), frames, b.begin());
            float* ins[2] = {a.data(), b.data()};
            float* outs[2] = {l.data(), r.data()};
            before(start);
            host.processReplacing(ins, outs, static_cast<VstInt32>(frames));
            std::copy_n(l.begin(), frames, out[0].begin() + static_cast<long>(start));
            std::copy_n(r.begin(), frames, out[1].begin() + static_cast<long>(start));
        }
        return out;
    }
    std::function<void(size_t)> before = [](size_t) {};
};

class ComponentRender : public ::testing::Test
{
protected:
    void SetUp() override
    {
        unit = open(bundle);
        ASSERT_NE(unit, nullptr);
        setFormats(unit, 2);
        UInt32 frames = kBlock;
        ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &frames, 4), noErr);
    }
    void TearDown() override
    {
        if (unit)
            CloseComponent(unit);
    }
    static void setFormats(AudioUnit u, UInt32 inputChannels)
    {
        AudioStreamBasicDescription in = floatFormat(kRate, inputChannels), out = floatFormat(kRate, 2);
        ASSERT_EQ(AudioUnitSetProperty(u, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &in, sizeof(in)), noErr);
        ASSERT_EQ(AudioUnitSetProperty(u, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &out, sizeof(out)), noErr);
    }
    // Renders `blocks` cycles from `u`, the host handing null data pointers
    // (or its own buffers with `ownBuffers`).
    static Planar pull(AudioUnit u, int blocks, bool ownBuffers = false, std::function<void(int)> before = [](int) {})
    {
        Planar out(2);
        std::vector<float> l(kBlock), r(kBlock);
        for (int b = 0; b < blocks; ++b)
        {
            before(b);
            StereoList list(ownBuffers ? l.data() : nullptr, ownBuffers ? r.data() : nullptr, kBlock);
            EXPECT_EQ(renderCycle(u, b * static_cast<Float64>(kBlock), kBlock, list.list()), noErr);
            for (int c = 0; c < 2; ++c)
            {
                const auto* data = static_cast<const float*>(list.mBuffers[c].mData);
                out[static_cast<size_t>(c)].insert(out[static_cast<size_t>(c)].end(), data, data + kBlock);
            }
        }
        return out;
    }
    Planar input = noise(2, kBlock * kBlocks, 11);
    Bundle bundle = makeBundle();
    AudioUnit unit = nullptr;
};

TEST_F(ComponentRender, DefaultsMatchTheVSTForm)
{
    Signal signal{input};
    setInputCallback(unit, &feedSignal, &signal);
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
    Reference reference;
    EXPECT_EQ(pull(unit, kBlocks), reference.run(input));
}

TEST_F(ComponentRender, HostBuffersGetTheSameSamples)
{
    Signal signal{input};
    setInputCallback(unit, &feedSignal, &signal);
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
    Reference reference;
    EXPECT_EQ(pull(unit, kBlocks, true), reference.run(input));
}

TEST_F(ComponentRender, ParametersSetInAudioUnitUnitsMatch)
{
    // AudioUnit values and the normalised values the mapping turns them into.
    struct Setting
    {
        AudioUnitParameterID id;
        AudioUnitParameterValue value;
    };
    const Setting settings[] = {{0, 30.0f}, {2, -12.5f}, {4, 60.0f}, {5, 0.4f}, {6, 0.3f}, {7, 0.9f}, {8, 0.7f}};
    Reference reference;
    for (const Setting& s : settings)
    {
        ASSERT_EQ(AudioUnitSetParameter(unit, s.id, kAudioUnitScope_Global, 0, s.value, 0), noErr);
        AudioUnitParameterInfo info{};
        UInt32 size = sizeof(info);
        ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, s.id, &info, &size), noErr);
        reference.host.setParameter(static_cast<VstInt32>(s.id), (s.value - info.minValue) / (info.maxValue - info.minValue));
    }
    Signal signal{input};
    setInputCallback(unit, &feedSignal, &signal);
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
    EXPECT_EQ(pull(unit, kBlocks), reference.run(input));
}

TEST_F(ComponentRender, ControlChangesAtFrameOffsetsMatch)
{
    struct Change
    {
        int block;
        UInt32 controller, value, offset;
    };
    const Change changes[] = {{1, 70, 100, 17}, {2, 71, 20, 0}, {2, 72, 127, 300}, {5, 70, 5, 511}, {6, 71, 64, 1}};
    Signal signal{input};
    setInputCallback(unit, &feedSignal, &signal);
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
    const Planar got = pull(unit, kBlocks, false, [&](int block) {
        for (const Change& c : changes)
        {
            if (c.block == block)
            {
                ASSERT_EQ(MusicDeviceMIDIEvent(unit, 0xB3, c.controller, c.value, c.offset), noErr);
            }
        }
    });

    Reference reference;
    reference.before = [&](size_t start) {
        std::vector<VstMidiEvent> events;
        for (const Change& c : changes)
        {
            if (static_cast<size_t>(c.block) * kBlock != start)
                continue;
            {
                VstMidiEvent e{};
                e.type = kVstMidiType;
                e.byteSize = sizeof(VstMidiEvent);
                e.deltaFrames = static_cast<VstInt32>(c.offset);
                e.midiData[0] = static_cast<char>(0xB3);
                e.midiData[1] = static_cast<char>(c.controller);
                e.midiData[2] = static_cast<char>(c.value);
                events.push_back(e);
            }
        }
        if (events.empty())
            return;
        std::vector<VstIntPtr> storage(2 + events.size() + 2, 0);
        auto* list = reinterpret_cast<VstEvents*>(storage.data());
        list->numEvents = static_cast<VstInt32>(events.size());
        for (size_t i = 0; i < events.size(); ++i)
            eventSlots(list)[i] = reinterpret_cast<VstEvent*>(&events[i]);
        reference.host.dispatch(effProcessEvents, 0, 0, list);
    };
    EXPECT_EQ(got, reference.run(input));
}

TEST_F(ComponentRender, MonoInputSelectsTheSecondRowAndMatches)
{
    setFormats(unit, 1);
    AudioStreamBasicDescription format{};
    UInt32 size = sizeof(format);
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &format, &size), noErr);
    EXPECT_EQ(format.mChannelsPerFrame, 1u);
    Signal signal{Planar{input[0]}};
    setInputCallback(unit, &feedSignal, &signal);
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
    const Planar got = pull(unit, kBlocks);

    // The effect's second input is its own second output buffer, in place.
    Reference reference;
    std::vector<float> left(kBlock), right(kBlock);
    Planar expected(2);
    for (int b = 0; b < kBlocks; ++b)
    {
        std::copy_n(input[0].begin() + b * static_cast<long>(kBlock), kBlock, left.begin());
        float* channels[2] = {left.data(), right.data()};
        reference.host.processReplacing(channels, channels, kBlock);
        expected[0].insert(expected[0].end(), left.begin(), left.end());
        expected[1].insert(expected[1].end(), right.begin(), right.end());
    }
    EXPECT_EQ(got, expected);
}

TEST_F(ComponentRender, NoInputSourceFeedsSilence)
{
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
    Reference reference;
    EXPECT_EQ(pull(unit, 2), reference.run(Planar(2, std::vector<float>(2 * kBlock, 0.0f))));
}

TEST_F(ComponentRender, TwoInstancesChainedMatchTheVSTRunTwice)
{
    Bundle second = makeBundle();
    AudioUnit downstream = open(second);
    ASSERT_NE(downstream, nullptr);
    setFormats(downstream, 2);
    UInt32 frames = kBlock;
    ASSERT_EQ(AudioUnitSetProperty(downstream, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &frames, 4), noErr);
    ASSERT_EQ(AudioUnitSetParameter(downstream, 2, kAudioUnitScope_Global, 0, -20.0f, 0), noErr);
    Signal signal{input};
    setInputCallback(unit, &feedSignal, &signal);
    AudioUnitConnection connection{unit, 0, 0};
    ASSERT_EQ(AudioUnitSetProperty(downstream, kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, &connection,
                                   sizeof(connection)),
              noErr);
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
    ASSERT_EQ(AudioUnitInitialize(downstream), noErr);
    const Planar got = pull(downstream, kBlocks);
    CloseComponent(downstream);

    Reference first, next;
    next.host.setParameter(2, 0.3f);
    EXPECT_EQ(got, next.run(first.run(input)));
}

TEST_F(ComponentRender, SliceLimitIsMaximumFramesPerSlice)
{
    UInt32 frames = 4096;
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &frames, 4), noErr);
    Planar big = noise(2, 4096, 3);
    Signal signal{big};
    setInputCallback(unit, &feedSignal, &signal);
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
    StereoList list(nullptr, nullptr, 4096);
    ASSERT_EQ(renderCycle(unit, 0, 4096, list.list()), noErr);
    Planar got(2);
    for (int c = 0; c < 2; ++c)
        got[static_cast<size_t>(c)].assign(static_cast<float*>(list.mBuffers[c].mData), static_cast<float*>(list.mBuffers[c].mData) + 4096);
    Reference reference;
    EXPECT_EQ(got, reference.run(big, 4096));

    StereoList tooMany(nullptr, nullptr, 4097);
    EXPECT_EQ(renderCycle(unit, 4096, 4097, tooMany.list()), paramErr);
}

OSStatus countNotify(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32, AudioBufferList*)
{
    ++*static_cast<int*>(refCon);
    return noErr;
}

// Hands back 64-sample buffers of its own, whatever was asked.
OSStatus shortInput(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32, AudioBufferList* list)
{
    auto* own = static_cast<std::vector<float>*>(refCon);
    for (UInt32 c = 0; c < list->mNumberBuffers; ++c)
    {
        list->mBuffers[c].mData = own->data();
        list->mBuffers[c].mDataByteSize = static_cast<UInt32>(own->size() * sizeof(float));
    }
    return noErr;
}

TEST_F(ComponentRender, BuffersShorterThanTheFramesAreRefusedBeforeAnythingRuns)
{
    // 256-byte heap buffers for 512 frames: a copy of the frames would
    // write 1792 bytes past each (ASan reports it as a heap overflow).
    Signal signal{input};
    setInputCallback(unit, &feedSignal, &signal);
    int notified = 0;
    ASSERT_EQ(AudioUnitAddRenderNotify(unit, &countNotify, &notified), noErr);
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
    auto small = std::make_unique<float[]>(64), smallRight = std::make_unique<float[]>(64);
    std::vector<float> full(kBlock, 7.0f);
    std::fill_n(small.get(), 64, 7.0f);
    std::fill_n(smallRight.get(), 64, 7.0f);
    const struct
    {
        float* left;
        float* right;
    } lists[] = {{small.get(), smallRight.get()}, {full.data(), smallRight.get()}, {small.get(), nullptr}};
    for (const auto& l : lists)
    {
        StereoList list(l.left, l.right, kBlock);
        for (AudioBuffer& buffer : list.mBuffers)
            if (buffer.mData != full.data())
                buffer.mDataByteSize = 256;
        EXPECT_EQ(renderCycle(unit, 0, kBlock, list.list()), paramErr);
        EXPECT_EQ(list.mBuffers[1].mData, l.right) << "a refused list is handed nothing";
    }
    EXPECT_EQ(notified, 0) << "no render notification for a refused request";
    EXPECT_EQ(signal.position, 0u) << "no input pulled";
    EXPECT_TRUE(std::all_of(small.get(), small.get() + 64, [](float v) { return v == 7.0f; }));
    EXPECT_TRUE(std::all_of(full.begin(), full.end(), [](float v) { return v == 7.0f; }));

    // A buffer of exactly the frames takes them; the first cycle is the
    // first the effect hears.
    StereoList exact(full.data(), nullptr, kBlock);
    ASSERT_EQ(renderCycle(unit, 0, kBlock, exact.list()), noErr);
    Reference reference;
    const Planar expected = reference.run(Planar{{input[0].begin(), input[0].begin() + kBlock}, {input[1].begin(), input[1].begin() + kBlock}});
    EXPECT_EQ(full, expected[0]);

    // The unit's own buffers, handed back whatever size they claim, are
    // written in place.
    StereoList handed(nullptr, nullptr, kBlock);
    ASSERT_EQ(renderCycle(unit, kBlock, kBlock, handed.list()), noErr);
    for (AudioBuffer& buffer : handed.mBuffers)
        buffer.mDataByteSize = 0;
    EXPECT_EQ(renderCycle(unit, 2 * kBlock, kBlock, handed.list()), noErr);
}

TEST_F(ComponentRender, AnInputShorterThanTheFramesFailsTheCycle)
{
    std::vector<float> own(64, 0.25f);
    setInputCallback(unit, &shortInput, &own);
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
    StereoList list(nullptr, nullptr, kBlock);
    EXPECT_EQ(renderCycle(unit, 0, kBlock, list.list()), paramErr);
    StereoList fits(nullptr, nullptr, 64);
    EXPECT_EQ(renderCycle(unit, 512, 64, fits.list()), noErr);
}

} // namespace
