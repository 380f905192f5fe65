// The UI module as an LV2 host loads it: dlopen, the descriptor, a parent
// window on a private Xvfb display, idle about every 10 ms, real pointer
// events from xdotool, and everything the UI writes recorded. The VST form's
// editor, opened beside it with the same state, is the picture to match.
#include "lv2/DitherCrunchLv2.h"
#include "tests/lv2/ui/UiTestHost.h"
#include "tests/support/TestHost.h"
#include "tests/support/WindowPixels.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
// After gtest: Xlib's macros clash with its names.
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

using namespace DitherCrunchLv2;
using Kind = CurveMessage::Kind;

namespace
{
constexpr int kWidth = 300;
constexpr int kHeight = 320;
constexpr int kCurveLeft = 70;
constexpr int kCurveTop = 103;

class UiWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (std::getenv("DC_XVFB_UNAVAILABLE"))
            GTEST_SKIP() << "Xvfb is not installed";
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr) << "no X display; run through run-under-xvfb.sh";
        parent = makeWindow(0);
        module = dlopen(DC_LV2UI_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
        auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(module, "lv2ui_descriptor"));
        ASSERT_NE(entry, nullptr);
        descriptor = entry(0);
        ASSERT_NE(descriptor, nullptr);
        EXPECT_EQ(entry(1), nullptr);
        idleInterface = static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
        ASSERT_NE(idleInterface, nullptr);
    }

    void TearDown() override
    {
        closeUi();
        if (module)
            dlclose(module);
        if (display)
        {
            XDestroyWindow(display, parent);
            XCloseDisplay(display);
        }
    }

    Window makeWindow(int x)
    {
        Window w = XCreateSimpleWindow(display, DefaultRootWindow(display), x, 0, kWidth, kHeight, 0, 0, 0);
        XMapWindow(display, w);
        XSync(display, False);
        return w;
    }

    void openUi()
    {
        ui = descriptor->instantiate(descriptor, kPluginUri, "/nonexistent/", &UiTestHost::write, host.controller(),
                                     &widget, host.features(reinterpret_cast<void*>(parent)));
        ASSERT_NE(ui, nullptr);
    }

    void closeUi()
    {
        if (ui)
            descriptor->cleanup(ui);
        ui = nullptr;
    }

    void pump(int milliseconds)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end)
        {
            EXPECT_EQ(idleInterface->idle(ui), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    void notify(const std::vector<uint8_t>& atom)
    {
        descriptor->port_event(ui, kPortNotify, static_cast<uint32_t>(atom.size()), host.urids().atomEventTransfer,
                               atom.data());
    }

    void control(uint32_t port, float value) { descriptor->port_event(ui, port, sizeof value, 0, &value); }

    // A left-button drag through the points, window coordinates (= screen).
    void drag(std::initializer_list<std::pair<int, int>> path)
    {
        std::string a;
        bool first = true;
        for (auto [x, y] : path)
        {
            a += " mousemove --sync " + std::to_string(x) + " " + std::to_string(y);
            if (first)
                a += " mousedown 1";
            first = false;
        }
        a += " mouseup 1";
        const std::string command = "xdotool" + a;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        pump(150);
    }

    std::vector<uint32_t> grab(Window w) { return grabWindowPixels(display, w, kWidth, kHeight); }

    static void save(const std::vector<uint32_t>& pixels, const std::string& name)
    {
        const std::string path = std::string(DC_ARTIFACT_DIR) + "/" + name;
        EXPECT_TRUE(savePixelsAsPng(pixels, kWidth, kHeight, path)) << path;
    }

    static int openDescriptors()
    {
        int n = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
            ++n;
        return n;
    }

    std::vector<Window> children()
    {
        Window root = 0;
        Window up = 0;
        Window* list = nullptr;
        unsigned n = 0;
        XQueryTree(display, parent, &root, &up, &list, &n);
        std::vector<Window> out(list, list + n);
        if (list)
            XFree(list);
        return out;
    }

    Display* display = nullptr;
    Window parent = 0;
    void* module = nullptr;
    const LV2UI_Descriptor* descriptor = nullptr;
    const LV2UI_Idle_Interface* idleInterface = nullptr;
    UiTestHost host;
    LV2UI_Handle ui = nullptr;
    LV2UI_Widget widget = nullptr;
};

TEST_F(UiWindow, AsksForTheCurveThenShowsWhatThePlugInReportsAsTheVstEditorDoes)
{
    openUi();
    ASSERT_EQ(children().size(), 1u);
    EXPECT_EQ(reinterpret_cast<Window>(widget), children()[0]) << "the widget is the editor's window";
    ASSERT_FALSE(host.messages(Kind::getCurve).empty());
    EXPECT_EQ(host.message(host.events()[1]).kind, Kind::getCurve) << "after the size, first thing";

    const float values[kNumParameterPorts] = {1.0f, 0.2f, 0.7f, 0.0f, 0.35f, 1.0f / 3.0f, 0.8f, 1.0f, 0.15f};
    int32_t stairs[kCurvePoints];
    for (int i = 0; i < kCurvePoints; ++i)
        stairs[i] = 120 - (i / 16) * 15;
    for (uint32_t p = 0; p < kNumParameterPorts; ++p)
        control(p, values[p]);
    notify(host.curveSet(stairs));
    notify(host.lastIndexSet(0, 0));
    pump(150);
    save(grab(parent), "lv2ui-reported.png");

    // The VST form's editor beside it with the same values and curve: the
    // same picture, also with the readout of a hovered knob and curve point.
    dc::TestHost vst(dc::TestHost::pluginPath());
    for (uint32_t p = 0; p < kNumParameterPorts; ++p)
        vst.setParameter(static_cast<VstInt32>(p), values[p]);
    for (int i = 0; i < kCurvePoints; ++i)
    {
        vst.setParameter(10, static_cast<float>(i));
        vst.setParameter(11, static_cast<float>(stairs[i]));
    }
    constexpr int kVstLeft = kWidth + 20;
    const Window vstParent = makeWindow(kVstLeft);
    ASSERT_EQ(vst.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(vstParent)), 1);
    auto pumpBoth = [&] {
        for (int i = 0; i < 15; ++i)
        {
            idleInterface->idle(ui);
            vst.dispatch(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    };
    for (const auto& point : {std::pair{kWidth - 5, 5}, {16 + 22, 173 + 22}, {kCurveLeft + 30, kCurveTop + 5}})
    {
        const int x = point.first, y = point.second;
        const auto hover = [&](int left) {
            const std::string command = "xdotool mousemove --sync " + std::to_string(left + x) + " " + std::to_string(y);
            ASSERT_EQ(std::system(command.c_str()), 0);
            pumpBoth();
        };
        hover(0);
        const auto lv2 = grab(parent);
        hover(kVstLeft);
        const auto reference = grab(vstParent);
        ASSERT_EQ(lv2.size(), reference.size());
        size_t differing = 0;
        for (size_t i = 0; i < lv2.size(); ++i)
            differing += lv2[i] != reference[i];
        EXPECT_EQ(differing, 0u) << "pixels unlike the VST editor's, pointer at " << x << "," << y;
        save(lv2, "lv2ui-reported-" + std::to_string(x) + "-" + std::to_string(y) + ".png");
    }
    vst.dispatch(effEditClose);
    XDestroyWindow(display, vstParent);
    EXPECT_TRUE(host.messages(Kind::setCurve).empty()) << "nothing reported goes back";
    EXPECT_EQ(host.count(UiEvent::Kind::touch), 0u);
}

TEST_F(UiWindow, DragOnTheCurveSendsItAsPatchSet)
{
    openUi();
    pump(100);
    host.clear();
    drag({{kCurveLeft + 10, kCurveTop + 40}, {kCurveLeft + 20, kCurveTop + 50}, {kCurveLeft + 30, kCurveTop + 60}});
    const auto sets = host.messages(Kind::setCurve);
    ASSERT_FALSE(sets.empty());
    EXPECT_EQ(sets.back().points[10], 40);
    EXPECT_EQ(sets.back().points[20], 50);
    EXPECT_EQ(sets.back().points[30], 60);
    EXPECT_EQ(sets.back().points[15], 128 - 15);
    for (const auto& e : host.events())
        EXPECT_TRUE(e.kind == UiEvent::Kind::write && e.port == kPortControl) << "only the curve channel";
    save(grab(parent), "lv2ui-drawn.png");
}

TEST_F(UiWindow, SliderDragSendsPortValuesInsideTouch)
{
    openUi();
    pump(100);
    host.clear();
    // The Wet/Dry slider: 25,280, 250 x 14.
    drag({{60, 287}, {100, 287}, {160, 287}});
    const auto& log = host.events();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log.front().kind, UiEvent::Kind::touch);
    EXPECT_EQ(log.front().port, kPortWetDry);
    EXPECT_TRUE(log.front().grabbed);
    EXPECT_EQ(log.back().kind, UiEvent::Kind::touch);
    EXPECT_FALSE(log.back().grabbed);
    for (size_t i = 1; i + 1 < log.size(); ++i)
    {
        EXPECT_EQ(log[i].kind, UiEvent::Kind::write);
        EXPECT_EQ(log[i].port, kPortWetDry);
        EXPECT_EQ(log[i].protocol, 0u);
    }
    EXPECT_GT(log[log.size() - 2].value(), log[1].value());
}

TEST_F(UiWindow, UndoFromTheKeyboardGoesOutAsTheEditsDid)
{
    openUi();
    int32_t diagonal[kCurvePoints];
    for (int i = 0; i < kCurvePoints; ++i)
        diagonal[i] = 128 - i;
    notify(host.curveSet(diagonal)); // the plug-in's answer: no more requests
    pump(100);
    drag({{kCurveLeft + 10, kCurveTop + 40}, {kCurveLeft + 20, kCurveTop + 50}});
    drag({{60, 287}, {160, 287}}); // Wet/Dry, from 1
    host.clear();
    // The keys go to the window under the pointer (there is no window manager).
    ASSERT_EQ(std::system("xdotool mousemove --sync 150 5"), 0);
    auto key = [&](const char* keys) {
        const std::string command = std::string("xdotool key ") + keys;
        ASSERT_EQ(std::system(command.c_str()), 0);
        pump(150);
    };
    key("ctrl+z");
    const auto& log = host.events();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_TRUE(log[0].kind == UiEvent::Kind::touch && log[0].port == kPortWetDry && log[0].grabbed);
    EXPECT_EQ(log[1].port, kPortWetDry);
    EXPECT_EQ(log[1].value(), 1.0f);
    EXPECT_TRUE(log[2].kind == UiEvent::Kind::touch && !log[2].grabbed);
    host.clear();
    key("ctrl+z");
    auto sets = host.messages(Kind::setCurve);
    ASSERT_EQ(sets.size(), 1u);
    for (int i = 0; i < kCurvePoints; ++i)
        ASSERT_EQ(sets[0].points[i], 128 - i) << i;
    // The plug-in's echo of the undone curve keeps the history: redo works.
    notify(host.curveSet(sets[0].points));
    host.clear();
    key("ctrl+shift+z");
    sets = host.messages(Kind::setCurve);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].points[10], 40);
}

TEST_F(UiWindow, HostsScaleFactorScalesTheWindowAndItsHitTests)
{
    ui = descriptor->instantiate(descriptor, kPluginUri, "/nonexistent/", &UiTestHost::write, host.controller(),
                                 &widget, host.features(reinterpret_cast<void*>(parent), true, true, 2.0f));
    ASSERT_NE(ui, nullptr);
    XWindowAttributes window{};
    XGetWindowAttributes(display, reinterpret_cast<Window>(widget), &window);
    EXPECT_EQ(window.width, 2 * kWidth);
    EXPECT_EQ(window.height, 2 * kHeight);
    EXPECT_EQ(host.events()[0].width, 2 * kWidth);
    pump(100);
    host.clear();
    drag({{2 * (kCurveLeft + 10), 2 * (kCurveTop + 40)}, {2 * (kCurveLeft + 20), 2 * (kCurveTop + 50)}});
    const auto sets = host.messages(Kind::setCurve);
    ASSERT_FALSE(sets.empty());
    EXPECT_EQ(sets.back().points[10], 40);
    EXPECT_EQ(sets.back().points[20], 50);
}

TEST_F(UiWindow, TwoInstancesKeepTheirOwnCurveAndHost)
{
    openUi();
    const Window otherParent = makeWindow(kWidth + 20);
    UiTestHost otherHost;
    LV2UI_Widget otherWidget = nullptr;
    LV2UI_Handle other = descriptor->instantiate(descriptor, kPluginUri, "/nonexistent/", &UiTestHost::write,
                                                 otherHost.controller(), &otherWidget,
                                                 otherHost.features(reinterpret_cast<void*>(otherParent)));
    ASSERT_NE(other, nullptr);
    int32_t flat[kCurvePoints];
    std::fill(flat, flat + kCurvePoints, 64);
    const auto message = otherHost.curveSet(flat);
    descriptor->port_event(other, kPortNotify, static_cast<uint32_t>(message.size()),
                           otherHost.urids().atomEventTransfer, message.data());
    pump(100);
    idleInterface->idle(other);
    host.clear();
    otherHost.clear();
    drag({{kCurveLeft + 10, kCurveTop + 40}, {kCurveLeft + 11, kCurveTop + 41}});
    idleInterface->idle(other);
    EXPECT_FALSE(host.messages(Kind::setCurve).empty());
    EXPECT_TRUE(otherHost.events().empty()) << "the other instance wrote";
    const auto pixels = grab(otherParent);
    int dashes = 0;
    for (int x = kCurveLeft + 1; x < kCurveLeft + kCurvePoints; ++x) // column 0 carries the highlight
        dashes += pixels[static_cast<size_t>((kCurveTop + 64) * kWidth + x)] == 0xe90000;
    EXPECT_EQ(dashes, kCurvePoints - 1) << "the other instance shows its own flat curve";
    descriptor->cleanup(other);
    XDestroyWindow(display, otherParent);
}

TEST_F(UiWindow, TwentyOpenCloseCyclesLeaveNoWindowOrConnectionBehind)
{
    openUi();
    pump(50);
    closeUi();
    XSync(display, False);
    const int descriptors = openDescriptors();
    for (int cycle = 0; cycle < 20; ++cycle)
    {
        openUi();
        control(kPortPreGain, cycle / 20.0f);
        pump(30);
        closeUi();
        XSync(display, False);
        ASSERT_TRUE(children().empty()) << "cycle " << cycle;
    }
    EXPECT_EQ(openDescriptors(), descriptors);
}
}
