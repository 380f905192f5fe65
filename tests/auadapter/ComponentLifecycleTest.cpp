// Selectors, life cycle, idle timer, MIDI queue and notifications, as a host
// sees them, with the recording test effect behind the adapter.
#include "LifecycleFixture.h"

#include <Carbon/Carbon.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include <unistd.h>

using namespace ComponentTest;

namespace
{

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
