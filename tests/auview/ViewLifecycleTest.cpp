// The editor view with the view test effect behind the component: what the
// CocoaUI property names, the view's window, the editor calls the effect
// sees while a host holds, resizes and releases the view.
#include "ViewTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace ViewTest;

namespace
{

class ViewLifecycle : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (std::getenv("DC_XVFB_UNAVAILABLE"))
            GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_NE(display(), nullptr) << "no X display; run through run-under-xvfb.sh";
        effect().reset();
        bundle = makeViewTestBundle();
        unit = ComponentTest::open(bundle);
        ASSERT_TRUE(unit);
        factory = factoryOf(unit);
        ASSERT_TRUE(factory);
    }
    void TearDown() override
    {
        if (unit)
            CloseComponent(unit);
    }

    ComponentTest::Bundle bundle;
    AudioUnit unit = nullptr;
    const AUCocoaViewFactory* factory = nullptr;
};

TEST_F(ViewLifecycle, CocoaUINamesTheBundleAndTheFactoryClass)
{
    UInt32 size = 0;
    Boolean writable = true;
    ASSERT_EQ(AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &size, &writable),
              noErr);
    EXPECT_EQ(size, 16u);
    EXPECT_FALSE(writable);
    EXPECT_EQ(AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Input, 0, &size, &writable),
              kAudioUnitErr_InvalidScope);

    AudioUnitCocoaViewInfo info{};
    size = sizeof info;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &info, &size), noErr);
    EXPECT_EQ(CFGetRetainCount(info.mCocoaAUViewBundleLocation), 1) << "the caller owns the URL";
    EXPECT_EQ(CFGetRetainCount(info.mCocoaAUViewClass[0]), 1) << "and the class name";
    UInt8 path[1024];
    ASSERT_TRUE(CFURLGetFileSystemRepresentation(info.mCocoaAUViewBundleLocation, true, path, sizeof path));
    EXPECT_EQ(std::filesystem::path(reinterpret_cast<char*>(path)), std::filesystem::canonical(bundle.path));
    char name[64];
    ASSERT_TRUE(CFStringGetCString(info.mCocoaAUViewClass[0], name, sizeof name, kCFStringEncodingUTF8));
    EXPECT_STREQ(name, "Twinfold20010220_CocoaViewFactory");
    CFRelease(info.mCocoaAUViewBundleLocation);
    CFRelease(info.mCocoaAUViewClass[0]);

    EXPECT_EQ(factory->interfaceVersion(), 0u);
    char description[64];
    ASSERT_TRUE(CFStringGetCString(factory->description(), description, sizeof description, kCFStringEncodingUTF8));
    EXPECT_STREQ(description, "Twinfold Cocoa View");
}

TEST_F(ViewLifecycle, ReleasingTheViewClosesTheEditorOnceAndIdleStops)
{
    NSView* view = factory->uiViewForAudioUnit(unit, 0, 0);
    ASSERT_TRUE(view);
    EXPECT_EQ(CFGetRetainCount(view), 1);
    const unsigned long window = NSViewGetXWindow(view);
    ASSERT_NE(window, 0u);
    EXPECT_EQ(windowSize(window), std::make_pair(330, 120)) << "the editor's rectangle";
    EXPECT_FALSE(isMapped(window)) << "the host maps it";
    double w = 0, h = 0;
    NSViewGetFrameSize(view, &w, &h);
    EXPECT_EQ(w, 330);
    EXPECT_EQ(h, 120);
    EXPECT_EQ(effect().opens, 1);
    EXPECT_EQ(reinterpret_cast<unsigned long>(effect().openedIn), window) << "the editor opens inside the view";

    pump(0.1);
    EXPECT_GE(effect().idles, 2) << "the idle timer sends editor idle while the editor is open";

    // A host's own reference, then its last release.
    CFRetain(view);
    CFRelease(view);
    EXPECT_EQ(effect().closes, 0);
    CFRelease(view);
    EXPECT_EQ(effect().closes, 1);
    EXPECT_EQ(windowSize(window).first, -1) << "the window is gone";
    const int idles = effect().idles;
    pump(0.06);
    EXPECT_EQ(effect().idles, idles) << "no editor idle once the view is released";
    EXPECT_EQ(effect().closes, 1);
}

TEST_F(ViewLifecycle, AResizeRequestFromTheEffectResizesTheViewsWindow)
{
    NSView* view = factory->uiViewForAudioUnit(unit, 0, 0);
    ASSERT_TRUE(view);
    ViewTestEffectControl& e = effect();
    EXPECT_EQ(e.master(e.effect, audioMasterSizeWindow, 500, 200, nullptr, 0.0f), 1);
    double w = 0, h = 0;
    NSViewGetFrameSize(view, &w, &h);
    EXPECT_EQ(w, 500);
    EXPECT_EQ(h, 200);
    EXPECT_EQ(windowSize(NSViewGetXWindow(view)), std::make_pair(500, 200));
    CFRelease(view);
    EXPECT_EQ(e.master(e.effect, audioMasterSizeWindow, 10, 10, nullptr, 0.0f), 1) << "no view: nothing happens";
}

TEST_F(ViewLifecycle, ClosingTheComponentWithTheViewHeldIsSafe)
{
    NSView* view = factory->uiViewForAudioUnit(unit, 0, 0);
    ASSERT_TRUE(view);
    const unsigned long window = NSViewGetXWindow(view);
    ASSERT_EQ(CloseComponent(unit), noErr);
    unit = nullptr;
    EXPECT_EQ(effect().closes, 1) << "closing the component closes its editor";
    EXPECT_NE(windowSize(window).first, -1) << "the host's view keeps its window";
    NSViewSetFrameSize(view, 50, 60);
    EXPECT_EQ(windowSize(window), std::make_pair(50, 60));
    CFRelease(view);
    EXPECT_EQ(effect().closes, 1) << "the released view never calls into the closed component";
    EXPECT_EQ(windowSize(window).first, -1);
}

TEST_F(ViewLifecycle, WithoutARectangleTheViewHasTheDefaultSize)
{
    effect().giveRect = false;
    NSView* view = factory->uiViewForAudioUnit(unit, 0, 0);
    ASSERT_TRUE(view);
    EXPECT_EQ(windowSize(NSViewGetXWindow(view)), std::make_pair(400, 300));
    CFRelease(view);
}

TEST_F(ViewLifecycle, ARefusedEditorLeavesNoView)
{
    effect().openAnswer = 0;
    EXPECT_EQ(factory->uiViewForAudioUnit(unit, 0, 0), nullptr);
    EXPECT_EQ(effect().opens, 1);
    pump(0.06);
    EXPECT_EQ(effect().idles, 0) << "a refused editor is not open";
    effect().openAnswer = 1;
    NSView* view = factory->uiViewForAudioUnit(unit, 0, 0);
    ASSERT_TRUE(view) << "the next request works";
    CFRelease(view);
    EXPECT_EQ(effect().closes, 1) << "only the editor that opened is closed";
}

TEST_F(ViewLifecycle, ASecondViewTakesTheEditorFromTheFirst)
{
    NSView* first = factory->uiViewForAudioUnit(unit, 0, 0);
    NSView* second = factory->uiViewForAudioUnit(unit, 0, 0);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(effect().opens, 2);
    EXPECT_EQ(effect().closes, 1);
    CFRelease(first);
    EXPECT_EQ(effect().closes, 1) << "the first view no longer holds the editor";
    CFRelease(second);
    EXPECT_EQ(effect().closes, 2);
}

TEST_F(ViewLifecycle, WithoutADisplayThereIsNoView)
{
    const std::string saved = std::getenv("DISPLAY");
    unsetenv("DISPLAY");
    EXPECT_EQ(factory->uiViewForAudioUnit(unit, 0, 0), nullptr);
    setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_EQ(effect().opens, 0);
}

} // namespace

namespace
{

// An effect without an editor offers no view: CocoaUI is no property of it.
TEST(ViewWithoutEditor, CocoaUIIsRefused)
{
    ComponentTest::recordingEffect().reset();
    const ComponentTest::Bundle bundle = ComponentTest::makeRecordingBundle();
    AudioUnit unit = ComponentTest::open(bundle);
    ASSERT_TRUE(unit);
    UInt32 size = 0;
    EXPECT_EQ(AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &size, nullptr),
              kAudioUnitErr_InvalidProperty);
    AudioUnitCocoaViewInfo info{};
    size = sizeof info;
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &info, &size),
              kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(info.mCocoaAUViewBundleLocation, nullptr);
    CloseComponent(unit);
}

} // namespace
