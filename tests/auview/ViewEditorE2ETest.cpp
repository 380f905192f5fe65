// Dithercrunch's own editor in an AudioUnit host's window: the view found
// through CocoaUI and the factory, embedded into the test's window, real
// pointer events from xdotool, and what the host hears through an
// AUEventListener registered for every listed parameter.
#include "ViewTestSupport.h"

#include "engine/StateChunk.h"

#include <AudioToolbox/AudioToolbox.h>

#include <gtest/gtest.h>
// After gtest: Xlib's macros clash with its names.
#include <X11/Xlib.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace ViewTest;

namespace
{

constexpr int kCurveLeft = 70;
constexpr int kCurveTop = 103;
constexpr size_t kChunkInProgram = 60; // FXP program header and chunk size

struct Heard
{
    AudioUnitEventType type;
    AudioUnitParameterID id;
};

void hear(void* refCon, void*, const AudioUnitEvent* event, UInt64, AudioUnitParameterValue)
{
    static_cast<std::vector<Heard>*>(refCon)->push_back({event->mEventType, event->mArgument.mParameter.mParameterID});
}

class ViewEditorE2E : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (std::getenv("DC_XVFB_UNAVAILABLE"))
            GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_NE(display(), nullptr) << "no X display; run through run-under-xvfb.sh";
        bundle = ComponentTest::makeBundle();
        unit = ComponentTest::open(bundle);
        ASSERT_TRUE(unit);
        factory = factoryOf(unit);
        ASSERT_TRUE(factory);
        ASSERT_EQ(AUEventListenerCreate(hear, &heard, nullptr, nullptr, 0.0f, 0.0f, &listener), noErr);
        UInt32 size = 0;
        ASSERT_EQ(AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, &size,
                                           nullptr),
                  noErr);
        listed.resize(size / 4);
        ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0,
                                       listed.data(), &size),
                  noErr);
        ASSERT_EQ(listed.size(), 9u);
        for (AudioUnitParameterID id : listed)
            for (AudioUnitEventType type : {kAudioUnitEvent_ParameterValueChange,
                                            kAudioUnitEvent_BeginParameterChangeGesture,
                                            kAudioUnitEvent_EndParameterChangeGesture})
            {
                AudioUnitEvent e{};
                e.mEventType = type;
                e.mArgument.mParameter = {unit, id, kAudioUnitScope_Global, 0};
                ASSERT_EQ(AUEventListenerAddEventType(listener, nullptr, &e), noErr);
            }
    }

    void TearDown() override
    {
        closeView();
        if (listener)
            AUListenerDispose(listener);
        if (unit)
            CloseComponent(unit);
    }

    // As a host does: the view's window goes into a window of ours and is mapped.
    void openView(double settle = 0.2)
    {
        view = factory->uiViewForAudioUnit(unit, 0, 0);
        ASSERT_TRUE(view);
        double w = 0, h = 0;
        NSViewGetFrameSize(view, &w, &h);
        Display* d = display();
        host = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), 0,
                                   0, 0);
        XMapWindow(d, host);
        XReparentWindow(d, NSViewGetXWindow(view), host, 0, 0);
        XMapWindow(d, NSViewGetXWindow(view));
        XSync(d, False);
        pump(settle);
    }

    void closeView()
    {
        if (view)
            CFRelease(view);
        view = nullptr;
        if (host)
        {
            XDestroyWindow(display(), host);
            XSync(display(), False);
        }
        host = 0;
    }

    static void xdotool(const std::string& args)
    {
        const std::string command = "xdotool " + args;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    void drag(int x0, int y0, std::initializer_list<std::pair<int, int>> path)
    {
        std::string a = "mousemove --sync " + std::to_string(x0) + " " + std::to_string(y0) + " mousedown 1";
        for (auto [x, y] : path)
            a += " mousemove --sync " + std::to_string(x) + " " + std::to_string(y);
        a += " mouseup 1";
        xdotool(a);
        pump(0.2);
    }

    float parameter(AudioUnitParameterID id)
    {
        AudioUnitParameterValue value = -1;
        EXPECT_EQ(AudioUnitGetParameter(unit, id, kAudioUnitScope_Global, 0, &value), noErr);
        return value;
    }

    // Curve point i of the saved state.
    int32_t curvePoint(int i)
    {
        CFPropertyListRef state = nullptr;
        UInt32 size = sizeof state;
        EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state, &size),
                  noErr);
        int32_t point = -1;
        if (!state)
            return point;
        const void* data = CFDictionaryGetValue(static_cast<CFDictionaryRef>(state), CFSTR("vstdata"));
        const size_t at = kChunkInProgram + StateChunk::kCurve + 4 * static_cast<size_t>(i);
        if (data && CFGetTypeID(data) == CFDataGetTypeID() &&
            static_cast<size_t>(CFDataGetLength(static_cast<CFDataRef>(data))) >= at + 4)
            std::memcpy(&point, CFDataGetBytePtr(static_cast<CFDataRef>(data)) + at, 4);
        CFRelease(state);
        return point;
    }

    std::vector<Heard> heardFor(AudioUnitParameterID id) const
    {
        std::vector<Heard> out;
        for (const Heard& h : heard)
            if (h.id == id)
                out.push_back(h);
        return out;
    }

    // Begin first, end last, value changes between: one whole gesture.
    void expectGesture(AudioUnitParameterID id)
    {
        const std::vector<Heard> events = heardFor(id);
        ASSERT_GE(events.size(), 3u) << "parameter " << id;
        EXPECT_EQ(events.front().type, kAudioUnitEvent_BeginParameterChangeGesture) << "parameter " << id;
        EXPECT_EQ(events.back().type, kAudioUnitEvent_EndParameterChangeGesture) << "parameter " << id;
        for (size_t i = 1; i + 1 < events.size(); ++i)
            EXPECT_EQ(events[i].type, kAudioUnitEvent_ParameterValueChange) << "parameter " << id;
        EXPECT_EQ(events.size(), heard.size()) << "nothing for other parameters";
    }

    ComponentTest::Bundle bundle;
    AudioUnit unit = nullptr;
    const AUCocoaViewFactory* factory = nullptr;
    AUEventListenerRef listener = nullptr;
    std::vector<AudioUnitParameterID> listed;
    std::vector<Heard> heard;
    NSView* view = nullptr;
    unsigned long host = 0;
};

TEST_F(ViewEditorE2E, CurveSliderAndSwitchReachTheEffectAndTheHostHearsTheGestures)
{
    openView();
    // The curve: points change, and the host hears nothing.
    drag(kCurveLeft + 10, kCurveTop + 40, {{kCurveLeft + 20, kCurveTop + 50}, {kCurveLeft + 30, kCurveTop + 60}});
    EXPECT_EQ(curvePoint(10), 40);
    EXPECT_EQ(curvePoint(20), 50);
    EXPECT_EQ(curvePoint(30), 60);
    EXPECT_TRUE(heard.empty()) << heard.size() << " events for a curve edit";

    // PreGain slider at 25,18: a free click at the far left, then a drag right.
    const float before = parameter(0);
    drag(26, 25, {{100, 25}, {290, 25}});
    EXPECT_GT(parameter(0), before);
    expectGesture(0);

    // Pre FlTy switch at 6,153, 60 x 16: the middle third.
    heard.clear();
    const float type = parameter(5);
    xdotool("mousemove --sync 36 160 click 1");
    pump(0.2);
    EXPECT_NE(parameter(5), type);
    expectGesture(5);
}

TEST_F(ViewEditorE2E, ReleasingTheViewMidDragEndsTheGesture)
{
    openView();
    xdotool("mousemove --sync 26 25 mousedown 1 mousemove --sync 120 25");
    pump(0.2);
    ASSERT_FALSE(heardFor(0).empty());
    EXPECT_EQ(heardFor(0).front().type, kAudioUnitEvent_BeginParameterChangeGesture);
    EXPECT_NE(heardFor(0).back().type, kAudioUnitEvent_EndParameterChangeGesture) << "the button is still down";
    closeView();
    xdotool("mouseup 1");
    ASSERT_FALSE(heardFor(0).empty());
    EXPECT_EQ(heardFor(0).back().type, kAudioUnitEvent_EndParameterChangeGesture);
    int begins = 0, ends = 0;
    for (const Heard& h : heard)
    {
        begins += h.type == kAudioUnitEvent_BeginParameterChangeGesture;
        ends += h.type == kAudioUnitEvent_EndParameterChangeGesture;
    }
    EXPECT_EQ(begins, 1);
    EXPECT_EQ(ends, 1);
}

TEST_F(ViewEditorE2E, OpensClosesAndReopensFortyTimes)
{
    for (int i = 0; i < 40; ++i)
    {
        openView(0.03);
        ASSERT_FALSE(HasFatalFailure());
        closeView();
    }
    // Still working afterwards.
    openView();
    const float type = parameter(7);
    xdotool("mousemove --sync 275 160 click 1");
    pump(0.2);
    EXPECT_NE(parameter(7), type);
}

} // namespace
