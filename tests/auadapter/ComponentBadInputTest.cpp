// Bad requests a host may make, and parameter values beyond their range,
// as a host sees the answers.
#include "LifecycleFixture.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

using namespace ComponentTest;

namespace
{

TEST_F(Lifecycle, BadRenderRequestsAreRefused)
{
    AudioTimeStamp stamp{};
    StereoList list(nullptr, nullptr, 64);
    EXPECT_EQ(AudioUnitRender(unit, nullptr, nullptr, 0, 64, list.list()), paramErr);
    EXPECT_EQ(AudioUnitRender(unit, nullptr, &stamp, 0, 64, nullptr), paramErr);
    EXPECT_EQ(AudioUnitRender(unit, nullptr, &stamp, 1, 64, list.list()), paramErr);
    EXPECT_EQ(AudioUnitRender(unit, nullptr, &stamp, 0, 0xFFFFFFFFu, list.list()), paramErr);
    EXPECT_EQ(AudioUnitRender(unit, nullptr, &stamp, 0, 0, list.list()), noErr); // null flags, zero frames
    // More buffers than the bus has channels.
    struct
    {
        UInt32 count = 3;
        AudioBuffer buffers[3]{};
    } three;
    EXPECT_EQ(AudioUnitRender(unit, nullptr, &stamp, 0, 64, reinterpret_cast<AudioBufferList*>(&three)), paramErr);
    EXPECT_EQ(effect().processCalls, 1);
    stamp.mSampleTime = std::nan("");
    EXPECT_EQ(AudioUnitRender(unit, nullptr, &stamp, 0, 64, list.list()), noErr);
}

TEST_F(Lifecycle, BadPropertyRequestsAreRefused)
{
    UInt32 size = 0;
    Boolean writable = true;
    EXPECT_EQ(AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_StreamFormat, 7, 0, &size, &writable), kAudioUnitErr_InvalidScope);
    EXPECT_EQ(size, 0u);
    EXPECT_FALSE(writable);
    EXPECT_EQ(AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 1, nullptr, nullptr),
              kAudioUnitErr_InvalidElement);
    EXPECT_EQ(AudioUnitGetPropertyInfo(unit, 9999, kAudioUnitScope_Global, 0, nullptr, nullptr), kAudioUnitErr_InvalidProperty);
    AudioStreamBasicDescription format{};
    size = 39;
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &format, &size),
              kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &format, nullptr), paramErr);
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, nullptr, 40), paramErr);
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &format, 8),
              kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_ElementCount, kAudioUnitScope_Input, 0, &size, 4),
              kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, &format, &size),
              kAudioUnitErr_InvalidProperty);
    // Formats: 3 input channels, 1 output channel, interleaved, 16-bit.
    for (auto [scope, channels] : {std::pair<AudioUnitScope, UInt32>{kAudioUnitScope_Input, 3}, {kAudioUnitScope_Output, 1}})
    {
        format = floatFormat(44100.0, channels);
        EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, scope, 0, &format, sizeof(format)),
                  kAudioUnitErr_FormatNotSupported);
    }
    format = floatFormat(44100.0, 2);
    format.mFormatFlags &= ~kAudioFormatFlagIsNonInterleaved;
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &format, sizeof(format)),
              kAudioUnitErr_FormatNotSupported);
    format = floatFormat(44100.0, 2);
    format.mBitsPerChannel = 16;
    format.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsNonInterleaved;
    format.mBytesPerFrame = format.mBytesPerPacket = 2;
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &format, sizeof(format)),
              kAudioUnitErr_FormatNotSupported);
    // Rates and slices that cannot work.
    for (Float64 rate : {0.0, -44100.0, std::nan(""), static_cast<double>(INFINITY)})
        EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, &rate, sizeof(rate)),
                  kAudioUnitErr_InvalidPropertyValue);
    for (UInt32 frames : {0u, 0xFFFFFFFFu})
        EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &frames, 4),
                  kAudioUnitErr_InvalidPropertyValue);
    // A unit connected to itself.
    AudioUnitConnection self{unit, 0, 0};
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, &self, sizeof(self)),
              kAudioUnitErr_InvalidPropertyValue);
    AudioUnitConnection wrongInput{nullptr, 0, 1};
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, &wrongInput, sizeof(wrongInput)),
              kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(render(0), noErr);
}

TEST_F(Lifecycle, BadParameterRequestsAreRefused)
{
    AudioUnitParameterValue value = 0;
    EXPECT_EQ(AudioUnitGetParameter(unit, 4, kAudioUnitScope_Global, 0, &value), kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(AudioUnitGetParameter(unit, 0xFFFFFFFFu, kAudioUnitScope_Global, 0, &value), kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(AudioUnitGetParameter(unit, 0, kAudioUnitScope_Input, 0, &value), kAudioUnitErr_InvalidScope);
    EXPECT_EQ(AudioUnitGetParameter(unit, 0, kAudioUnitScope_Global, 0, nullptr), paramErr);
    EXPECT_EQ(AudioUnitSetParameter(unit, 4, kAudioUnitScope_Global, 0, 1.0f, 0), kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(AudioUnitScheduleParameters(unit, nullptr, 3), paramErr);
    AudioUnitParameterEvent events[3]{};
    events[0].scope = kAudioUnitScope_Global;
    events[0].parameter = 0;
    events[0].eventType = kParameterEvent_Ramped;
    events[0].eventValues.ramp.endValue = 24.0f;
    events[1].scope = kAudioUnitScope_Global;
    events[1].parameter = 0;
    events[1].eventType = kParameterEvent_Immediate;
    events[1].eventValues.immediate.value = 12.0f;
    events[2].scope = kAudioUnitScope_Global;
    events[2].parameter = 9;
    events[2].eventType = kParameterEvent_Immediate;
    EXPECT_EQ(AudioUnitScheduleParameters(unit, events, 3), kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(effect().values[0], 0.75f); // only the immediate event before the bad one
}

TEST_F(Lifecycle, ParameterScalingFollowsTheMapping)
{
    // The recording effect's parameters display -24 .. 24 dB linearly.
    AudioUnitParameterValue value = 0;
    effect().values[2] = 0.25f;
    ASSERT_EQ(AudioUnitGetParameter(unit, 2, kAudioUnitScope_Global, 0, &value), noErr);
    EXPECT_EQ(value, -12.0f);
    ASSERT_EQ(AudioUnitSetParameter(unit, 2, kAudioUnitScope_Global, 0, 48.0f, 0), noErr);
    EXPECT_EQ(effect().values[2], 1.0f); // held to the maximum
    std::ifstream file(bundle.resources() / "TWParameters.txt", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "vst param #\tname\tmin\tmax\tdisplay\tunit\tdefault\r"
                    "0\tParam 0\t-24\t24\t=\tdB\t-24\r1\tParam 1\t-24\t24\t=\tdB\t-24\r"
                    "2\tParam 2\t-24\t24\t=\tdB\t-24\r3\tParam 3\t-24\t24\t=\tdB\t-24\r");
}

TEST_F(Lifecycle, HostValuesReachTheEffectWithinTheDeclaredRange)
{
    // Parameter 2 is declared -24 .. 24: values beyond are held to the ends,
    // values that are no number are refused and change nothing.
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const struct
    {
        AudioUnitParameterValue value;
        OSStatus status;
        float reaches;
    } cases[] = {{24.0f, noErr, 1.0f},   {1e38f, noErr, 1.0f},  {-63.0f, noErr, 0.0f},
                 {-1e38f, noErr, 0.0f},  {0.0f, noErr, 0.5f},   {inf, kAudioUnitErr_InvalidParameterValue, 0.5f},
                 {-inf, kAudioUnitErr_InvalidParameterValue, 0.5f}, {nan, kAudioUnitErr_InvalidParameterValue, 0.5f}};
    for (const auto& c : cases)
    {
        effect().values[2] = 0.5f;
        EXPECT_EQ(AudioUnitSetParameter(unit, 2, kAudioUnitScope_Global, 0, c.value, 0), c.status) << c.value;
        EXPECT_EQ(effect().values[2], c.reaches) << c.value;
        AudioUnitParameterEvent event{};
        event.scope = kAudioUnitScope_Global;
        event.parameter = 2;
        event.eventType = kParameterEvent_Immediate;
        event.eventValues.immediate.value = c.value;
        effect().values[2] = 0.5f;
        EXPECT_EQ(AudioUnitScheduleParameters(unit, &event, 1), c.status) << c.value;
        EXPECT_EQ(effect().values[2], c.reaches) << c.value;
    }
}

} // namespace
