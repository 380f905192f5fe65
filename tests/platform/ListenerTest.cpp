// Parameter and event listeners: who is told, in which order, with which
// object and value.
#include "PlatformTestSupport.h"

#include <AudioToolbox/AudioToolbox.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

using namespace platformtest;

namespace
{

struct Heard
{
    std::string who;
    void* object;
    AudioUnitEventType type;
    AudioUnitParameterID id;
    float value;
};

std::vector<Heard> heard;

struct Name
{
    const char* text;
};

void onParameter(void* refCon, void* object, const AudioUnitParameter* p, AudioUnitParameterValue value)
{
    heard.push_back({static_cast<Name*>(refCon)->text, object, kAudioUnitEvent_ParameterValueChange,
                     p->mParameterID, value});
}

void onEvent(void* refCon, void* object, const AudioUnitEvent* e, UInt64, AudioUnitParameterValue value)
{
    const AudioUnitParameterID id =
        e->mEventType == kAudioUnitEvent_PropertyChange ? e->mArgument.mProperty.mPropertyID
                                                        : e->mArgument.mParameter.mParameterID;
    heard.push_back({static_cast<Name*>(refCon)->text, object, e->mEventType, id, value});
}

class ListenerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        heard.clear();
        Registration r;
        r.subtype = "Lstn";
        ASSERT_EQ(registerBundle(makeBundle(folder, "Listen.component", r)), noErr);
        ComponentDescription d{0, code("Lstn"), 0, 0, 0};
        ASSERT_EQ(OpenAComponent(FindNextComponent(nullptr, &d), &unit), noErr);
    }
    void TearDown() override
    {
        for (AUParameterListenerRef l : created)
            AUListenerDispose(l);
        CloseComponent(unit);
        std::filesystem::remove_all(folder);
    }
    AUParameterListenerRef parameterListener(Name* name)
    {
        AUParameterListenerRef l = nullptr;
        EXPECT_EQ(AUListenerCreate(onParameter, name, nullptr, nullptr, 0.0f, &l), noErr);
        created.push_back(l);
        return l;
    }
    AUEventListenerRef eventListener(Name* name)
    {
        AUEventListenerRef l = nullptr;
        EXPECT_EQ(AUEventListenerCreate(onEvent, name, nullptr, nullptr, 0.0f, 0.0f, &l), noErr);
        created.push_back(l);
        return l;
    }
    AudioUnitParameter parameter(AudioUnitParameterID id, AudioUnitScope scope = 0, AudioUnitElement element = 0)
    {
        return AudioUnitParameter{unit, id, scope, element};
    }
    AudioUnitEvent event(AudioUnitEventType type, AudioUnitParameterID id)
    {
        AudioUnitEvent e{};
        e.mEventType = type;
        e.mArgument.mParameter = parameter(id);
        return e;
    }

    const std::filesystem::path folder = tempFolder("listeners");
    AudioUnit unit = nullptr;
    std::vector<AUParameterListenerRef> created;
    Name a{"A"}, b{"B"}, c{"C"};
    int objectA = 0, objectB = 0;
};

TEST_F(ListenerTest, MatchingListenersHearInRegistrationOrderWithTheirObjects)
{
    AUEventListenerRef second = eventListener(&b);
    AUParameterListenerRef first = parameterListener(&a);
    AUEventListenerRef any = eventListener(&c);
    const AudioUnitParameter p3 = parameter(3);
    ASSERT_EQ(AUListenerAddParameter(first, &objectA, &p3), noErr);
    const AudioUnitEvent change3 = event(kAudioUnitEvent_ParameterValueChange, 3);
    ASSERT_EQ(AUEventListenerAddEventType(second, &objectB, &change3), noErr);
    const AudioUnitEvent changeAny =
        event(kAudioUnitEvent_ParameterValueChange, static_cast<AudioUnitParameterID>(kAUParameterListener_AnyParameter));
    ASSERT_EQ(AUEventListenerAddEventType(any, nullptr, &changeAny), noErr);
    // Registrations that must not match: another parameter, scope, element, unit or event type.
    const AudioUnitParameter p4 = parameter(4), inputScope = parameter(3, 1), element1 = parameter(3, 0, 1);
    AUListenerAddParameter(first, nullptr, &p4);
    AUListenerAddParameter(first, nullptr, &inputScope);
    AUListenerAddParameter(first, nullptr, &element1);
    AudioUnitParameter otherUnit = p3;
    otherUnit.mAudioUnit = reinterpret_cast<AudioUnit>(&objectA);
    AUListenerAddParameter(first, nullptr, &otherUnit);
    const AudioUnitEvent begin3 = event(kAudioUnitEvent_BeginParameterChangeGesture, 3);
    AUEventListenerAddEventType(second, nullptr, &begin3);

    // Both kinds of notification are value changes: each reaches all three.
    ASSERT_EQ(AUParameterListenerNotify(nullptr, nullptr, &p3), noErr);
    ASSERT_EQ(AUEventListenerNotify(nullptr, nullptr, &change3), noErr);
    ASSERT_EQ(heard.size(), 6u);
    const char* order[] = {"A", "B", "C", "A", "B", "C"};
    for (size_t i = 0; i < heard.size(); ++i)
    {
        EXPECT_EQ(heard[i].who, order[i]) << i;
        EXPECT_EQ(heard[i].id, 3u);
        EXPECT_FLOAT_EQ(heard[i].value, 30.0f) << "read back with AudioUnitGetParameter";
        EXPECT_EQ(heard[i].type, kAudioUnitEvent_ParameterValueChange);
    }
    EXPECT_EQ(heard[0].object, &objectA);
    EXPECT_EQ(heard[1].object, &objectB);

    // A gesture reaches only its registration, with value 0.
    heard.clear();
    AUEventListenerNotify(nullptr, nullptr, &begin3);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].who, "B");
    EXPECT_EQ(heard[0].type, kAudioUnitEvent_BeginParameterChangeGesture);
    EXPECT_EQ(heard[0].value, 0.0f);

    // The any-parameter registration hears other parameters too.
    heard.clear();
    const AudioUnitParameter p7 = parameter(7);
    AUParameterListenerNotify(nullptr, nullptr, &p7);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].who, "C");
    EXPECT_FLOAT_EQ(heard[0].value, 70.0f);
}

TEST_F(ListenerTest, TheSendingListenerIsSkippedAndRemovedRegistrationsAreSilent)
{
    AUParameterListenerRef first = parameterListener(&a);
    AUParameterListenerRef second = parameterListener(&b);
    const AudioUnitParameter p1 = parameter(1);
    AUListenerAddParameter(first, nullptr, &p1);
    AUListenerAddParameter(second, nullptr, &p1);
    AUParameterListenerNotify(first, nullptr, &p1);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].who, "B");

    heard.clear();
    ASSERT_EQ(AUListenerRemoveParameter(second, nullptr, &p1), noErr);
    AUParameterListenerNotify(nullptr, nullptr, &p1);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].who, "A");
}

TEST_F(ListenerTest, PropertyChangesMatchIDScopeAndElement)
{
    AUEventListenerRef l = eventListener(&a);
    AudioUnitEvent registered{};
    registered.mEventType = kAudioUnitEvent_PropertyChange;
    registered.mArgument.mProperty = AudioUnitProperty{unit, 8, 1, 0};
    ASSERT_EQ(AUEventListenerAddEventType(l, nullptr, &registered), noErr);
    AudioUnitEvent sent = registered;
    AUEventListenerNotify(nullptr, nullptr, &sent);
    sent.mArgument.mProperty.mScope = 2;
    AUEventListenerNotify(nullptr, nullptr, &sent);
    sent.mArgument.mProperty.mScope = 1;
    sent.mArgument.mProperty.mPropertyID = 2;
    AUEventListenerNotify(nullptr, nullptr, &sent);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].type, kAudioUnitEvent_PropertyChange);
    EXPECT_EQ(heard[0].id, 8u);
    EXPECT_EQ(heard[0].value, 0.0f);
}

TEST_F(ListenerTest, RunLoopsAndBadArgumentsAreRefused)
{
    AUParameterListenerRef l = nullptr;
    EXPECT_EQ(AUListenerCreate(onParameter, &a, reinterpret_cast<CFRunLoopRef>(&objectA), nullptr, 0, &l), paramErr);
    EXPECT_EQ(AUListenerCreate(nullptr, &a, nullptr, nullptr, 0, &l), paramErr);
    EXPECT_EQ(AUParameterListenerNotify(nullptr, nullptr, nullptr), paramErr);
    EXPECT_EQ(AUEventListenerNotify(nullptr, nullptr, nullptr), paramErr);
    AUParameterListenerRef p = parameterListener(&a);
    const AudioUnitEvent gesture = event(kAudioUnitEvent_EndParameterChangeGesture, 1);
    EXPECT_EQ(AUEventListenerAddEventType(p, nullptr, &gesture), paramErr) << "parameter listeners hear values only";
}

// A listener that disposes another one while being notified: the disposed
// one is not called, nothing is freed under the notifier's feet.
AUParameterListenerRef victim = nullptr;
void disposeVictim(void*, void*, const AudioUnitParameter*, AudioUnitParameterValue)
{
    if (victim)
        AUListenerDispose(victim);
    victim = nullptr;
    heard.push_back({"disposer", nullptr, 0, 0, 0});
}

TEST_F(ListenerTest, DisposingDuringANotificationIsSafe)
{
    AUParameterListenerRef disposer = nullptr;
    ASSERT_EQ(AUListenerCreate(disposeVictim, nullptr, nullptr, nullptr, 0, &disposer), noErr);
    created.push_back(disposer);
    ASSERT_EQ(AUListenerCreate(onParameter, &b, nullptr, nullptr, 0, &victim), noErr);
    const AudioUnitParameter p1 = parameter(1);
    AUListenerAddParameter(disposer, nullptr, &p1);
    AUListenerAddParameter(victim, nullptr, &p1);
    AUParameterListenerNotify(nullptr, nullptr, &p1);
    ASSERT_EQ(heard.size(), 1u) << "a listener disposed mid-notification is not called";
    EXPECT_EQ(heard[0].who, "disposer");
    heard.clear();
    AUParameterListenerNotify(nullptr, nullptr, &p1);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].who, "disposer");
}

std::atomic<int> calls{0};
void countCall(void*, void*, const AudioUnitParameter*, AudioUnitParameterValue)
{
    calls.fetch_add(1, std::memory_order_relaxed);
}

// A render thread notifies without pause while the UI thread registers,
// removes and disposes listeners: nothing is read after it is freed (the
// sanitizer build checks), and a registration that stays is always heard.
TEST_F(ListenerTest, NotifyingFromAnotherThreadWhileRegistrationsChangeIsSafe)
{
    AUParameterListenerRef steady = nullptr;
    ASSERT_EQ(AUListenerCreate(countCall, nullptr, nullptr, nullptr, 0, &steady), noErr);
    created.push_back(steady);
    const AudioUnitParameter p1 = parameter(1);
    AUListenerAddParameter(steady, nullptr, &p1);
    std::atomic<bool> done{false};
    std::thread render([&] {
        while (!done.load())
            AUParameterListenerNotify(nullptr, nullptr, &p1);
    });
    for (int i = 0; i < 300; ++i)
    {
        AUParameterListenerRef l = nullptr;
        AUListenerCreate(countCall, nullptr, nullptr, nullptr, 0, &l);
        AUListenerAddParameter(l, nullptr, &p1);
        if (i % 2)
            AUListenerRemoveParameter(l, nullptr, &p1);
        AUListenerDispose(l);
    }
    const int before = calls.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    done = true;
    render.join();
    EXPECT_GT(calls.load(), before) << "the steady listener keeps hearing";
}

} // namespace
