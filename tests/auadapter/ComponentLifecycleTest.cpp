// Selectors, life cycle, idle timer, MIDI queue, notifications and bad input,
// as a host sees them, with the recording test effect behind the adapter.
#include "ComponentTestSupport.h"

#include <Carbon/Carbon.h>
#include <gtest/gtest.h>
#include <limits>

#include <cmath>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include <unistd.h>

using namespace ComponentTest;

namespace
{

class Lifecycle : public ::testing::Test
{
protected:
    void SetUp() override
    {
        effect().reset();
        prepare(effect());
        bundle = makeRecordingBundle();
        unit = open(bundle);
        ASSERT_NE(unit, nullptr);
        effect().calls.clear();
    }
    void TearDown() override
    {
        if (unit)
            CloseComponent(unit);
    }
    virtual void prepare(RecordingEffectControl&) {}
    static RecordingEffectControl& effect() { return recordingEffect(); }
    // Values of effMainsChanged calls since the last clear.
    static std::vector<VstIntPtr> mains()
    {
        std::vector<VstIntPtr> values;
        for (const auto& c : effect().calls)
            if (c.opcode == effMainsChanged)
                values.push_back(c.value);
        return values;
    }
    OSStatus render(Float64 time, UInt32 frames = 64)
    {
        StereoList list(nullptr, nullptr, frames);
        return renderCycle(unit, time, frames, list.list());
    }

    Bundle bundle;
    AudioUnit unit = nullptr;
};

TEST_F(Lifecycle, CanDoAnswersExactlyTheHandledSelectors)
{
    const SInt16 handled[] = {-4, -3, -2, -1, 1, 2, 3, 4, 5, 6, 7, 9, 10, 14, 15, 16, 17, 18, 257};
    for (SInt16 selector = -12; selector <= 300; ++selector)
    {
        const bool expected = std::find(std::begin(handled), std::end(handled), selector) != std::end(handled);
        EXPECT_EQ(ComponentFunctionImplemented(unit, selector), expected ? 1 : 0) << selector;
    }
    EXPECT_EQ(ComponentFunctionImplemented(unit, 32767), 0);
    EXPECT_EQ(ComponentFunctionImplemented(unit, -32768), 0);
}

TEST_F(Lifecycle, UnhandledSelectorsAreBadComponentSelector)
{
    EXPECT_EQ(AudioUnitRemovePropertyListener(unit, kAudioUnitProperty_Latency, nullptr), static_cast<OSStatus>(badComponentSelector));
    for (SInt16 selector : {8, 11, 12, 13, 19, 256, 258, 1000, -5})
        EXPECT_EQ(callEntry(bundle, unit, selector, {0, 0, 0, 0, 0, 0}), static_cast<ComponentResult>(badComponentSelector)) << selector;
    // Without instance storage.
    EXPECT_EQ(callEntry(bundle, nullptr, kAudioUnitInitializeSelect, {}), static_cast<ComponentResult>(badComponentSelector));
}

TEST_F(Lifecycle, VersionIsTheRegisteredOne)
{
    EXPECT_EQ(GetComponentVersion(unit), 0x10000);
}

TEST_F(Lifecycle, InitialiseTwiceResumesOnceAndUninitialiseOnlyWhenResumed)
{
    EXPECT_EQ(AudioUnitUninitialize(unit), noErr);
    EXPECT_EQ(mains(), std::vector<VstIntPtr>{});
    EXPECT_EQ(AudioUnitInitialize(unit), noErr);
    EXPECT_EQ(AudioUnitInitialize(unit), noErr);
    EXPECT_EQ(mains(), std::vector<VstIntPtr>{1});
    EXPECT_EQ(AudioUnitUninitialize(unit), noErr);
    EXPECT_EQ(AudioUnitUninitialize(unit), noErr);
    EXPECT_EQ(mains(), (std::vector<VstIntPtr>{1, 0}));
}

TEST_F(Lifecycle, ResetInEachState)
{
    ASSERT_EQ(render(0), noErr);
    ASSERT_EQ(render(0), noErr);
    EXPECT_EQ(effect().processCalls, 1); // one processing per time stamp

    EXPECT_EQ(AudioUnitReset(unit, kAudioUnitScope_Input, 0), kAudioUnitErr_InvalidScope);
    ASSERT_EQ(render(0), noErr);
    EXPECT_EQ(effect().processCalls, 1); // the last render time stays

    EXPECT_EQ(AudioUnitReset(unit, kAudioUnitScope_Global, 0), noErr); // suspended: no effect calls
    EXPECT_EQ(mains(), std::vector<VstIntPtr>{});
    ASSERT_EQ(render(0), noErr);
    EXPECT_EQ(effect().processCalls, 2);

    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
    effect().calls.clear();
    EXPECT_EQ(AudioUnitReset(unit, kAudioUnitScope_Global, 0), noErr);
    EXPECT_EQ(mains(), (std::vector<VstIntPtr>{0, 1}));
    ASSERT_EQ(render(0), noErr);
    EXPECT_EQ(effect().processCalls, 3);
}

TEST_F(Lifecycle, IdleTimerSendsEffIdleEvery25Milliseconds)
{
    RunCurrentEventLoop(0.01); // anything already due
    effect().calls.clear();
    RunCurrentEventLoop(0.26);
    const int idles = effect().count(effIdle);
    EXPECT_GE(idles, 8);
    EXPECT_LE(idles, 11);
    EXPECT_EQ(effect().count(effEditIdle), 0);
    // Nothing fires outside the pump.
    effect().calls.clear();
    usleep(60000);
    EXPECT_EQ(effect().count(effIdle), 0);
}

TEST_F(Lifecycle, ListenerAndNotificationTablesAreFixed)
{
    auto proc = [](void*, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement) {};
    for (int i = 0; i < 1024; ++i)
        ASSERT_EQ(AudioUnitAddPropertyListener(unit, kAudioUnitProperty_Latency, proc, reinterpret_cast<void*>(static_cast<intptr_t>(i))), noErr);
    EXPECT_EQ(AudioUnitAddPropertyListener(unit, kAudioUnitProperty_Latency, proc, nullptr), memFullErr);
    auto notify = [](void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32, AudioBufferList*) -> OSStatus {
        return noErr;
    };
    for (int i = 0; i < 128; ++i)
        ASSERT_EQ(AudioUnitAddRenderNotify(unit, notify, reinterpret_cast<void*>(static_cast<intptr_t>(i))), noErr);
    EXPECT_EQ(AudioUnitAddRenderNotify(unit, notify, nullptr), memFullErr);
    EXPECT_EQ(render(0), noErr);
    // Closing with listeners registered is fine (TearDown).
}

struct NotifyLog
{
    std::vector<std::string> entries;
};

OSStatus logNotify(void* refCon, AudioUnitRenderActionFlags* flags, const AudioTimeStamp*, UInt32, UInt32, AudioBufferList*)
{
    auto* log = static_cast<NotifyLog*>(refCon);
    log->entries.push_back((*flags & kAudioUnitRenderAction_PreRender) ? "pre" : (*flags & kAudioUnitRenderAction_PostRender) ? "post" : "?");
    return noErr;
}

OSStatus logNotifyB(void* refCon, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* t, UInt32 b, UInt32 n, AudioBufferList* l)
{
    logNotify(refCon, flags, t, b, n, l);
    static_cast<NotifyLog*>(refCon)->entries.back() += "B";
    return noErr;
}

TEST_F(Lifecycle, RenderNotificationsRunLastFirstAroundTheCycle)
{
    NotifyLog log;
    ASSERT_EQ(AudioUnitAddRenderNotify(unit, logNotify, &log), noErr);
    ASSERT_EQ(AudioUnitAddRenderNotify(unit, logNotifyB, &log), noErr);
    ASSERT_EQ(AudioUnitAddRenderNotify(unit, logNotify, &log), noErr);
    ASSERT_EQ(render(0), noErr);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"pre", "preB", "pre", "post", "postB", "post"}));
    // Removing removes every identical registration at once.
    log.entries.clear();
    ASSERT_EQ(AudioUnitRemoveRenderNotify(unit, logNotify, &log), noErr);
    ASSERT_EQ(AudioUnitRemoveRenderNotify(unit, logNotify, &log), noErr); // no match is no error
    ASSERT_EQ(render(64), noErr);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"preB", "postB"}));
}

TEST_F(Lifecycle, MidiIsQueuedWithItsOffsetAndDeliveredOnce)
{
    ASSERT_EQ(MusicDeviceMIDIEvent(unit, 0x1B0, 0x146, 0x17F, 33), noErr);
    ASSERT_EQ(render(0), noErr);
    ASSERT_EQ(effect().midi.size(), 1u);
    EXPECT_EQ(effect().midi[0].deltaFrames, 33);
    EXPECT_EQ(effect().midi[0].status, 0xB0); // low 8 bits
    EXPECT_EQ(effect().midi[0].data1, 0x46);
    EXPECT_EQ(effect().midi[0].data2, 0x7F);
    EXPECT_EQ(effect().midi[0].byteSize, 24);
    ASSERT_EQ(render(64), noErr);
    EXPECT_EQ(effect().midi.size(), 1u);

    for (int i = 0; i < 1024; ++i)
        ASSERT_EQ(MusicDeviceMIDIEvent(unit, 0xB0, 70, static_cast<UInt32>(i & 127), 0), noErr);
    EXPECT_EQ(MusicDeviceMIDIEvent(unit, 0xB0, 70, 1, 0), memFullErr);
    ASSERT_EQ(render(128), noErr);
    EXPECT_EQ(effect().midi.size(), 1025u);
}

class WithoutMidi : public Lifecycle
{
    void prepare(RecordingEffectControl& c) override { c.wantsMidi = false; }
};

TEST_F(WithoutMidi, EventsAreAcceptedAndNeverDelivered)
{
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(MusicDeviceMIDIEvent(unit, 0xB0, 70, 1, 0), noErr);
    ASSERT_EQ(render(0), noErr);
    EXPECT_EQ(effect().count(effProcessEvents), 0);
}

class WithExtensions : public Lifecycle
{
    void prepare(RecordingEffectControl& c) override
    {
        c.helloAnswer = 1;
        c.outputSilentAnswer = 1;
    }
};

TEST_F(WithExtensions, SilenceIsReportedBothWays)
{
    AudioUnitRenderActionFlags flags = 0;
    StereoList list(nullptr, nullptr, 64);
    ASSERT_EQ(renderCycle(unit, 0, 64, list.list(), &flags), noErr);
    EXPECT_NE(flags & kAudioUnitRenderAction_OutputIsSilence, 0u);
    bool sentSilentInput = false;
    for (const auto& c : effect().calls)
        if (c.opcode == effVendorSpecific && c.index == CCONST('s', 'I', '0', '0'))
            sentSilentInput = c.value == 1;
    EXPECT_TRUE(sentSilentInput);
}

// Host time from the host's callbacks.
struct HostTime
{
    static OSStatus beat(void*, Float64* beat, Float64* tempo)
    {
        *beat = 12.5;
        *tempo = 96.0;
        return noErr;
    }
    static OSStatus musical(void*, UInt32*, Float32* numerator, UInt32* denominator, Float64* downBeat)
    {
        *numerator = 7.9f;
        *denominator = 8;
        *downBeat = 8.0;
        return noErr;
    }
    static OSStatus failing(void*, Boolean*, Boolean*, Float64*, Boolean*, Float64*, Float64*) { return -1; }
};

TEST_F(Lifecycle, TimeInformationComesFromTheHostCallbacks)
{
    HostCallbackInfo callbacks{};
    callbacks.beatAndTempoProc = &HostTime::beat;
    callbacks.musicalTimeLocationProc = &HostTime::musical;
    callbacks.transportStateProc = &HostTime::failing;
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, &callbacks, sizeof(callbacks)), noErr);
    ASSERT_EQ(render(4410), noErr);
    const auto* time = reinterpret_cast<const VstTimeInfo*>(effect().master(effect().effect, audioMasterGetTime, 0, 0, nullptr, 0.0f));
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->samplePos, 4410.0);
    EXPECT_EQ(time->sampleRate, 44100.0);
    EXPECT_EQ(time->ppqPos, 12.5);
    EXPECT_EQ(time->tempo, 96.0);
    EXPECT_EQ(time->timeSigNumerator, 7);
    EXPECT_EQ(time->timeSigDenominator, 8);
    EXPECT_EQ(time->barStartPos, 8.0);
    EXPECT_EQ(time->flags, kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid);

    // Reading the record back: the first min(size, 32) bytes.
    HostCallbackInfo back{};
    UInt32 size = 12;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, &back, &size), noErr);
    EXPECT_EQ(size, 12u);
    size = 0;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, nullptr, &size), noErr);
    EXPECT_EQ(size, 0u);
}

// Notifications as a host sees them.
struct Heard
{
    std::vector<std::string> events;
};

void onEvent(void* refCon, void*, const AudioUnitEvent* event, UInt64, AudioUnitParameterValue value)
{
    char text[96];
    if (event->mEventType == kAudioUnitEvent_PropertyChange)
        std::snprintf(text, sizeof(text), "property %u/%u/%u", event->mArgument.mProperty.mPropertyID, event->mArgument.mProperty.mScope,
                      event->mArgument.mProperty.mElement);
    else
        std::snprintf(text, sizeof(text), "event %u param %u value %g", event->mEventType, event->mArgument.mParameter.mParameterID,
                      value);
    static_cast<Heard*>(refCon)->events.push_back(text);
}

void onParameter(void* refCon, void*, const AudioUnitParameter* parameter, AudioUnitParameterValue value)
{
    char text[64];
    std::snprintf(text, sizeof(text), "listener param %u value %g", parameter->mParameterID, value);
    static_cast<Heard*>(refCon)->events.push_back(text);
}

void onProperty(void* refCon, AudioUnit, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element)
{
    char text[64];
    std::snprintf(text, sizeof(text), "component-listener %u/%u/%u", id, scope, element);
    static_cast<Heard*>(refCon)->events.push_back(text);
}

class Notifications : public Lifecycle
{
protected:
    void SetUp() override
    {
        Lifecycle::SetUp();
        ASSERT_EQ(AUEventListenerCreate(&onEvent, &heard, nullptr, nullptr, 0.0f, 0.0f, &events), noErr);
        ASSERT_EQ(AUListenerCreate(&onParameter, &heard, nullptr, nullptr, 0.0f, &parameters), noErr);
        AudioUnitParameter p{unit, 1, kAudioUnitScope_Global, 0};
        ASSERT_EQ(AUListenerAddParameter(parameters, nullptr, &p), noErr);
        for (AudioUnitEventType type : {kAudioUnitEvent_ParameterValueChange, kAudioUnitEvent_BeginParameterChangeGesture,
                                        kAudioUnitEvent_EndParameterChangeGesture})
        {
            AudioUnitEvent e{};
            e.mEventType = type;
            e.mArgument.mParameter = p;
            ASSERT_EQ(AUEventListenerAddEventType(events, nullptr, &e), noErr);
        }
        for (AudioUnitPropertyID id : {kAudioUnitProperty_SampleRate, kAudioUnitProperty_StreamFormat,
                                       kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitProperty_Latency})
            for (AudioUnitScope scope : {kAudioUnitScope_Global, kAudioUnitScope_Input, kAudioUnitScope_Output})
            {
                AudioUnitEvent e{};
                e.mEventType = kAudioUnitEvent_PropertyChange;
                e.mArgument.mProperty = AudioUnitProperty{unit, id, scope, 0};
                ASSERT_EQ(AUEventListenerAddEventType(events, nullptr, &e), noErr);
            }
    }
    void TearDown() override
    {
        AUListenerDispose(events);
        AUListenerDispose(parameters);
        Lifecycle::TearDown();
    }
    // What the effect's editor does for one gesture on parameter 1.
    void gesture(float value)
    {
        effect().master(effect().effect, audioMasterBeginEdit, 1, 0, nullptr, 0.0f);
        effect().values[1] = value;
        effect().master(effect().effect, audioMasterAutomate, 1, 0, nullptr, value);
        effect().master(effect().effect, audioMasterEndEdit, 1, 0, nullptr, 0.0f);
    }
    Heard heard;
    AUEventListenerRef events = nullptr;
    AUParameterListenerRef parameters = nullptr;
};

TEST_F(Notifications, EditorGesturesReachBothListenerKinds)
{
    gesture(0.75f);
    // Parameter 1 maps linearly from -24 to 24 (its display), so 0.75 reads 12.
    // The value change goes out twice (as a parameter notification and as an
    // event), each reaching both registrations, in registration order.
    EXPECT_EQ(heard.events, (std::vector<std::string>{"event 1 param 1 value 0", "listener param 1 value 12",
                                                      "event 0 param 1 value 12", "listener param 1 value 12",
                                                      "event 0 param 1 value 12", "event 2 param 1 value 0"}));
}

TEST_F(Notifications, PropertyChangesAreBroadcastWhileNoListenerIsRegistered)
{
    AudioStreamBasicDescription format = floatFormat(48000.0, 2);
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &format, sizeof(format)), noErr);
    UInt32 frames = 1024;
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &frames, 4), noErr);
    // Setting the same values again announces nothing.
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &format, sizeof(format)), noErr);
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &frames, 4), noErr);
    EXPECT_EQ(heard.events, (std::vector<std::string>{"property 8/1/0", "property 2/1/0", "property 8/2/0", "property 2/2/0",
                                                      "property 14/0/0"}));
    EXPECT_EQ(effect().count(effSetSampleRate), 1);
    EXPECT_EQ(effect().count(effSetBlockSize), 1);
}

class NotificationsWithLatency : public Notifications
{
    void prepare(RecordingEffectControl& c) override { c.initialDelay = 441; }
};

TEST_F(NotificationsWithLatency, LatencyFollowsTheSampleRate)
{
    Float64 latency = 0;
    UInt32 size = sizeof(latency);
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0, &latency, &size), noErr);
    EXPECT_EQ(latency, 0.01);
    Float64 rate = 88200.0;
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, 0, &rate, sizeof(rate)), noErr);
    ASSERT_FALSE(heard.events.empty());
    EXPECT_EQ(heard.events.back(), "property 12/0/0");
}

TEST_F(Notifications, AComponentListenerTakesOverFromTheBroadcast)
{
    Heard own;
    ASSERT_EQ(AudioUnitAddPropertyListener(unit, kAudioUnitProperty_MaximumFramesPerSlice, &onProperty, &own), noErr);
    ASSERT_EQ(AudioUnitAddPropertyListener(unit, kAudioUnitProperty_MaximumFramesPerSlice, &onProperty, &own), noErr);
    Float64 rate = 96000.0;
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, &rate, sizeof(rate)), noErr);
    UInt32 frames = 256;
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &frames, 4), noErr);
    // Sample rate: nobody (a listener exists, for another property); slice: the listener, twice.
    EXPECT_TRUE(heard.events.empty());
    EXPECT_EQ(own.events, (std::vector<std::string>{"component-listener 14/0/0", "component-listener 14/0/0"}));

    ASSERT_EQ(AudioUnitRemovePropertyListenerWithUserData(unit, kAudioUnitProperty_MaximumFramesPerSlice, &onProperty, &own), noErr);
    frames = 512;
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &frames, 4), noErr);
    EXPECT_EQ(own.events.size(), 2u);
    EXPECT_EQ(heard.events, std::vector<std::string>{"property 14/0/0"});
}

// Bad input never crashes or overreads.
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

TEST(ComponentOpen, FailuresReachTheHostAsResultCodes)
{
    recordingEffect().reset();
    struct Case
    {
        BundleOptions options;
        OSStatus expected;
    };
    std::vector<Case> cases;
    cases.push_back({BundleOptions{"<key>TWConfig</key><dict/>", {}, {}}, -32767});
    cases.push_back({BundleOptions{"<key>Other</key><true/>", {}, {}}, -32767});
    cases.push_back({BundleOptions{{}, {}, {{"TWParameters.txt", ""}}}, eofErr});
    for (Case& c : cases)
    {
        c.options.links.emplace_back("Recording.vst", recordingEffectPath());
        OSStatus status = noErr;
        AudioUnit unit = open(makeBundle(c.options), status);
        EXPECT_EQ(status, c.expected);
        EXPECT_EQ(unit, nullptr);
    }
    BundleOptions two;
    two.links = {{"A.vst", recordingEffectPath()}, {"B.vst", recordingEffectPath()}};
    OSStatus status = noErr;
    open(makeBundle(two), status);
    EXPECT_EQ(status, -32767);
    recordingEffect().inputs = 33;
    open(makeRecordingBundle(), status);
    EXPECT_EQ(status, -32767);
    recordingEffect().reset();
    recordingEffect().canReplacing = false;
    open(makeRecordingBundle(), status);
    EXPECT_EQ(status, -32767);
    recordingEffect().reset();

    // An Info.plist broken after registration.
    Bundle broken = makeRecordingBundle();
    FSRef ref{};
    ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(broken.path.c_str()), &ref, nullptr), noErr);
    ASSERT_EQ(RegisterComponentFileRef(&ref, 0), noErr);
    std::ofstream(broken.path / "Contents" / "Info.plist", std::ios::trunc) << "<plist><dict><key>";
    open(broken, status);
    EXPECT_EQ(status, -32767);
}

TEST(ComponentOpen, AnExistingMappingFileIsNeverReplaced)
{
    recordingEffect().reset();
    const std::string mapping = "header\r1\tOnly\t0\t10\t=\t-\t5\r";
    Bundle bundle = makeRecordingBundle(BundleOptions{{}, {}, {{"TWParameters.txt", mapping}}});
    AudioUnit unit = open(bundle);
    ASSERT_NE(unit, nullptr);
    AudioUnitParameterID ids[4]{};
    UInt32 size = sizeof(ids);
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, ids, &size), noErr);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(ids[0], 1u);
    size = sizeof(ids);
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Input, 0, ids, &size), noErr);
    EXPECT_EQ(size, 0u);
    CloseComponent(unit);
    std::ifstream file(bundle.resources() / "TWParameters.txt", std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>()), mapping);
}

} // namespace

namespace
{

struct HostRow
{
    const char* identifier;
    const char* version; // null: none; "#" + digits: an integer
    const char* expected;
};

class HostIdentification : public ::testing::TestWithParam<HostRow>
{
};

TEST_P(HostIdentification, FollowsTheMainBundle)
{
    const HostRow& row = GetParam();
    recordingEffect().reset();
    Bundle bundle = makeRecordingBundle();
    static int counter = 0;
    const std::filesystem::path app = scratch() / ("Host" + std::to_string(++counter) + ".app");
    std::filesystem::create_directories(app / "Contents" / "x86_64-linux");
    std::filesystem::copy_file(DC_HOST_PROBE, app / "Contents" / "x86_64-linux" / "probe");
    std::filesystem::permissions(app / "Contents" / "x86_64-linux" / "probe", std::filesystem::perms::owner_all);
    std::string info = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                       "<key>CFBundleExecutable</key><string>probe</string>";
    if (row.identifier)
        info += std::string("<key>CFBundleIdentifier</key><string>") + row.identifier + "</string>";
    if (row.version && row.version[0] == '#')
        info += std::string("<key>CFBundleShortVersionString</key><integer>") + (row.version + 1) + "</integer>";
    else if (row.version)
        info += std::string("<key>CFBundleShortVersionString</key><string>") + row.version + "</string>";
    std::ofstream(app / "Contents" / "Info.plist") << info << "</dict></plist>\n";

    const std::string command = (app / "Contents" / "x86_64-linux" / "probe").string() + " " + bundle.path.string() + " " +
                                recordingEffectPath().string() + " " + std::to_string(bundle.subtype);
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[128] = {};
    const bool read = std::fgets(line, sizeof(line), pipe) != nullptr;
    EXPECT_EQ(pclose(pipe), 0);
    ASSERT_TRUE(read);
    std::string text(line);
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    EXPECT_EQ(text, row.expected);
}

INSTANTIATE_TEST_SUITE_P(All, HostIdentification,
                         ::testing::Values(HostRow{"com.apple.logic.pro", "8.0.1", "0 Twinfold"},
                                           HostRow{"com.apple.logic.pro", "8.0.0", "0 Twinfold"},
                                           HostRow{"com.apple.logic.pro", "8.1", "3 logic"},
                                           HostRow{"com.apple.logic.pro", "10.0", "3 logic"},
                                           HostRow{"com.apple.logic.pro", "7.2", "1 Twinfold"},
                                           HostRow{"com.apple.logic.express", "7.9.9", "1 Twinfold"},
                                           HostRow{"com.apple.logic.express", "8.0.2", "3 logic"},
                                           HostRow{"com.apple.garageband", "4.1.9", "2 Twinfold"},
                                           HostRow{"com.apple.garageband", "4.2", "0 Twinfold"},
                                           HostRow{"com.apple.Logic.pro", "8.1", "0 Twinfold"},
                                           HostRow{"com.apple.logic.pro", nullptr, "0 Twinfold"},
                                           HostRow{"com.apple.logic.pro", "#9", "0 Twinfold"},
                                           HostRow{nullptr, "8.1", "0 Twinfold"}));

} // namespace

namespace
{

TEST_F(Lifecycle, TheEffectSeesTheAdaptersHostAnswers)
{
    RecordingEffectControl& e = effect();
    auto ask = [&](VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr) {
        return e.master(e.effect, opcode, index, value, ptr, 0.0f);
    };
    char text[256] = {};
    EXPECT_EQ(ask(audioMasterGetVendorString, 0, 0, text), 1);
    EXPECT_STREQ(text, "Velmora Development");
    EXPECT_EQ(ask(audioMasterGetProductString, 0, 0, text), 1);
    EXPECT_STREQ(text, "Twinfold"); // not running inside Logic
    EXPECT_EQ(ask(audioMasterGetVendorVersion), 0x10000);
    for (const char* yes : {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo", "reportConnectionChanges", "sizeWindow", "supplyIdle"})
        EXPECT_EQ(ask(audioMasterCanDo, 0, 0, const_cast<char*>(yes)), 1) << yes;
    for (const char* no : {"SizeWindow", "receiveVstEvents", "sizeWindow ", ""})
        EXPECT_EQ(ask(audioMasterCanDo, 0, 0, const_cast<char*>(no)), 0) << no;
    EXPECT_EQ(ask(audioMasterPinConnected, 5, 1), 0);
    EXPECT_EQ(ask(audioMasterGetSampleRate), 44100);
    EXPECT_EQ(ask(audioMasterGetBlockSize), 4096);
    // No view: resizing answers 1 and does nothing; a display update posts nothing.
    EXPECT_EQ(ask(audioMasterSizeWindow, 300, 200), 1);
    EXPECT_EQ(ask(audioMasterUpdateDisplay), 1);
}

TEST(DitherCrunchMapping, FirstOpenWritesEveryParameterAndReadsItBack)
{
    Bundle bundle = makeBundle();
    ASSERT_FALSE(std::filesystem::exists(bundle.resources() / "TWParameters.txt"));
    AudioUnit unit = open(bundle);
    ASSERT_NE(unit, nullptr);
    std::ifstream file(bundle.resources() / "TWParameters.txt", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "vst param #\tname\tmin\tmax\tdisplay\tunit\tdefault\r"
                    "0\tPreGain\t-50\t50\t=\tamt\t0\r"
                    "1\tPrePan\t-50\t50\t=\tamt\t0\r"
                    "2\tPostGain\t-50\t50\t=\tamt\t0\r"
                    "3\tShaperSw\t0\t1\t=\t-\t1\r"
                    "4\tWet Dry\t0\t100\t=\t% \t100\r"
                    "5\tPre FlTy\t0\t1\t=\t-\t0\r"
                    "6\tPre Cut\t0\t1\t=\t-\t0.5\r"
                    "7\tPostFlTy\t0\t1\t=\t-\t0\r"
                    "8\tPost Cut\t0\t1\t=\t-\t0.5\r");
    AudioUnitParameterID ids[16]{};
    UInt32 size = sizeof(ids);
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, ids, &size), noErr);
    ASSERT_EQ(size, 9u * 4u);
    for (UInt32 i = 0; i < 9; ++i)
        EXPECT_EQ(ids[i], i);
    // The probing put every value back.
    AudioUnitParameterValue value = 0;
    ASSERT_EQ(AudioUnitGetParameter(unit, 6, kAudioUnitScope_Global, 0, &value), noErr);
    EXPECT_EQ(value, 0.5f);
    ASSERT_EQ(AudioUnitGetParameter(unit, 4, kAudioUnitScope_Global, 0, &value), noErr);
    EXPECT_EQ(value, 100.0f);
    AudioUnitParameterInfo info{};
    size = sizeof(info);
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, 9, &info, &size),
              kAudioUnitErr_InvalidElement);
    CFArrayRef strings = nullptr;
    size = sizeof(strings);
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterValueStrings, kAudioUnitScope_Global, 5, &strings, &size),
              kAudioUnitErr_InvalidParameter);
    CloseComponent(unit);
}

TEST(DitherCrunchMapping, ValueStringsOfAnIndexedParameterAreRetainedForTheCaller)
{
    Bundle bundle = makeBundle(BundleOptions{{}, {}, {{"TWParameters.txt", "h\r5\tPre FlTy\t0\t3\toff|LP|BP|HP\t-\t0\r"}}});
    AudioUnit unit = open(bundle);
    ASSERT_NE(unit, nullptr);
    CFArrayRef strings = nullptr;
    UInt32 size = sizeof(strings);
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterValueStrings, kAudioUnitScope_Global, 5, &strings, &size), noErr);
    ASSERT_NE(strings, nullptr);
    EXPECT_EQ(CFArrayGetCount(strings), 4);
    const CFIndex retained = CFGetRetainCount(strings);
    CloseComponent(unit);
    EXPECT_EQ(CFGetRetainCount(strings), retained - 1); // the caller's reference outlives the unit
    CFRelease(strings);
}

} // namespace

namespace
{

TEST_F(Lifecycle, AHostKeepingTheDefaultsNeverSendsRateOrBlockSize)
{
    Float64 rate = 44100.0;
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, &rate, sizeof(rate)), noErr);
    UInt32 frames = 4096;
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &frames, 4), noErr);
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
    ASSERT_EQ(render(0), noErr);
    EXPECT_EQ(effect().count(effSetSampleRate), 0);
    EXPECT_EQ(effect().count(effSetBlockSize), 0);
}

TEST_F(Notifications, ConnectionsAndCallbacksReplaceEachOther)
{
    Heard own;
    for (AudioUnitPropertyID id : {kAudioUnitProperty_MakeConnection, kAudioUnitProperty_SetRenderCallback})
        ASSERT_EQ(AudioUnitAddPropertyListener(unit, id, &onProperty, &own), noErr);
    Bundle sourceBundle = makeBundle();
    AudioUnit source = open(sourceBundle);
    ASSERT_NE(source, nullptr);
    Signal signal{noise(2, 64, 1)};
    setInputCallback(unit, &feedSignal, &signal);
    UInt32 size = 0;
    Boolean writable = false;
    ASSERT_EQ(AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Input, 0, &size, &writable), noErr);
    EXPECT_TRUE(writable);

    AudioUnitConnection connection{source, 0, 0};
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, &connection, sizeof(connection)),
              noErr);
    for (AudioUnitPropertyID id : {kAudioUnitProperty_SampleRate, kAudioUnitProperty_StreamFormat})
    {
        ASSERT_EQ(AudioUnitGetPropertyInfo(unit, id, kAudioUnitScope_Input, 0, &size, &writable), noErr);
        EXPECT_FALSE(writable);
    }
    EXPECT_EQ(render(0), noErr); // pulls from the source unit

    AURenderCallbackStruct callback{&feedSignal, &signal};
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &callback, sizeof(callback)), noErr);
    // Callback set; connection made (the callback dropped); callback set again (the connection dropped first).
    EXPECT_EQ(own.events, (std::vector<std::string>{"component-listener 23/1/0", "component-listener 1/1/0", "component-listener 23/1/0",
                                                    "component-listener 1/1/0", "component-listener 23/1/0"}));
    ASSERT_EQ(AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &size, &writable), noErr);
    EXPECT_TRUE(writable);
    CloseComponent(source);
}

} // namespace

namespace
{

TEST_F(Notifications, DisplayUpdatesAnnounceOnlyAChangedPreset)
{
    Heard own;
    for (AudioUnitPropertyID id : {kAudioUnitProperty_CurrentPreset, kAudioUnitProperty_PresentPreset})
        ASSERT_EQ(AudioUnitAddPropertyListener(unit, id, &onProperty, &own), noErr);
    EXPECT_EQ(effect().master(effect().effect, audioMasterUpdateDisplay, 0, 0, nullptr, 0.0f), 1);
    EXPECT_TRUE(own.events.empty()); // the program is the one the component saw at open
    std::strcpy(effect().programName, "Crunchier");
    EXPECT_EQ(effect().master(effect().effect, audioMasterUpdateDisplay, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(own.events, (std::vector<std::string>{"component-listener 28/0/0", "component-listener 36/0/0"}));
    EXPECT_TRUE(heard.events.empty()); // parameter values are not announced here
}

} // namespace
