// The editor in a real X window: a parent window on a private Xvfb display,
// the module loaded through its entry point, real pointer and key events
// from xdotool, and the effect's state read back through the host.
#include "engine/StateChunk.h"
#include "tests/support/TestHost.h"

#include <cairo.h>
#include <gtest/gtest.h>
// After gtest: Xlib's macros clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace
{
constexpr int kCurveLeft = 70;
constexpr int kCurveTop = 103;

class EditorWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (std::getenv("DC_XVFB_UNAVAILABLE"))
            GTEST_SKIP() << "Xvfb is not installed";
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr) << "no X display; run through run-under-xvfb.sh";
        host = std::make_unique<dc::TestHost>(dc::TestHost::pluginPath());
        ASSERT_NE(host->effect(), nullptr);
        ERect* rect = nullptr;
        ASSERT_EQ(host->dispatch(effEditGetRect, 0, 0, &rect), 1);
        ASSERT_NE(rect, nullptr);
        width = rect->right - rect->left;
        height = rect->bottom - rect->top;
        parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, width, height, 0, 0, 0);
        XMapWindow(display, parent);
        XSync(display, False);
    }

    void TearDown() override
    {
        if (host && host->effect())
            host->dispatch(effEditClose);
        host.reset();
        if (display)
        {
            if (parent)
                XDestroyWindow(display, parent);
            XCloseDisplay(display);
        }
    }

    bool openEditor()
    {
        return host->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent)) == 1;
    }

    // Sends editor idle as a host does, about every 10 ms.
    void pump(int milliseconds)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end)
        {
            host->dispatch(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    static void xdotool(const std::string& args)
    {
        const std::string command = "xdotool " + args;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    // Window coordinates equal screen coordinates: the parent sits at 0,0.
    void drag(int x0, int y0, std::initializer_list<std::pair<int, int>> path, const std::string& keys = "")
    {
        std::string a = "mousemove --sync " + std::to_string(x0) + " " + std::to_string(y0);
        if (!keys.empty())
            a += " keydown " + keys;
        a += " mousedown 1";
        for (auto [x, y] : path)
            a += " mousemove --sync " + std::to_string(x) + " " + std::to_string(y);
        a += " mouseup 1";
        if (!keys.empty())
            a += " keyup " + keys;
        xdotool(a);
        pump(150);
    }

    int32_t chunkCurvePoint(const std::vector<unsigned char>& chunk, int i)
    {
        return StateChunk::read<int32_t>(chunk.data(), StateChunk::kCurve + 4 * i);
    }

    // The parent window's pixels as 0xRRGGBB, row by row.
    std::vector<uint32_t> grab()
    {
        std::vector<uint32_t> pixels;
        XImage* image = XGetImage(display, parent, 0, 0, width, height, AllPlanes, ZPixmap);
        if (!image)
            return pixels;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels.push_back(static_cast<uint32_t>(XGetPixel(image, x, y) & 0xffffff));
        XDestroyImage(image);
        return pixels;
    }

    int countInCurveArea(const std::vector<uint32_t>& pixels, uint32_t colour)
    {
        int n = 0;
        for (int y = kCurveTop; y < kCurveTop + 128; ++y)
            for (int x = kCurveLeft; x < kCurveLeft + 128; ++x)
                n += pixels[static_cast<size_t>(y * width + x)] == colour;
        return n;
    }

    int countRequests(VstInt32 opcode, VstInt32 index)
    {
        int n = 0;
        for (const auto& r : host->requests(opcode))
            n += r.index == index;
        return n;
    }

    Display* display = nullptr;
    Window parent = 0;
    int width = 0;
    int height = 0;
    std::unique_ptr<dc::TestHost> host;
};

TEST_F(EditorWindow, DragAcrossCurveWritesPointsIntoTheStateChunk)
{
    ASSERT_TRUE(openEditor());
    pump(100);
    host->clearRequests();
    drag(kCurveLeft + 10, kCurveTop + 40, {{kCurveLeft + 20, kCurveTop + 50}, {kCurveLeft + 30, kCurveTop + 60}});
    const auto chunk = host->chunk();
    ASSERT_EQ(chunk.size(), StateChunk::kSize);
    EXPECT_EQ(chunkCurvePoint(chunk, 10), 40);
    EXPECT_EQ(chunkCurvePoint(chunk, 20), 50);
    EXPECT_EQ(chunkCurvePoint(chunk, 30), 60);
    EXPECT_EQ(chunkCurvePoint(chunk, 15), 128 - 15) << "skipped columns stay";
    EXPECT_EQ(countRequests(audioMasterBeginEdit, 10), 1);
    EXPECT_EQ(countRequests(audioMasterEndEdit, 10), 1);
    EXPECT_TRUE(host->requests(audioMasterAutomate).empty()) << "curve edits are never automated";
}

TEST_F(EditorWindow, DragsNoControlTookWriteNoPoint)
{
    ASSERT_TRUE(openEditor());
    pump(100);
    host->clearRequests();
    // Control-press on the curve: the default gesture, then nothing until release.
    drag(kCurveLeft + 105, kCurveTop + 40, {{kCurveLeft + 106, kCurveTop + 50}, {kCurveLeft + 107, kCurveTop + 60}},
         "ctrl");
    // A drag that starts outside every control and crosses the curve.
    drag(5, 5, {{kCurveLeft + 20, kCurveTop + 30}, {kCurveLeft + 40, kCurveTop + 50}});
    const auto chunk = host->chunk();
    for (int i = 0; i < 128; ++i)
        ASSERT_EQ(chunkCurvePoint(chunk, i), 128 - i) << "point " << i;
    EXPECT_TRUE(host->requests(audioMasterUpdateDisplay).empty()) << "no point was written";
}

TEST_F(EditorWindow, CurveGestureEndTellsTheHostTheStateChanged)
{
    ASSERT_TRUE(openEditor());
    pump(100);
    host->clearRequests();
    drag(kCurveLeft + 10, kCurveTop + 40, {{kCurveLeft + 20, kCurveTop + 50}});
    EXPECT_EQ(host->requests(audioMasterUpdateDisplay).size(), 1u);
}

TEST_F(EditorWindow, AltClickResetsTheWholeCurve)
{
    ASSERT_TRUE(openEditor());
    pump(100);
    drag(kCurveLeft + 5, kCurveTop + 5, {{kCurveLeft + 100, kCurveTop + 5}});
    ASSERT_NE(chunkCurvePoint(host->chunk(), 5), 128 - 5);
    drag(kCurveLeft + 64, kCurveTop + 64, {}, "alt");
    const auto chunk = host->chunk();
    for (int i = 0; i < 128; ++i)
        ASSERT_EQ(chunkCurvePoint(chunk, i), 128 - i) << "point " << i;
}

TEST_F(EditorWindow, SwitchClicksSelectAndMuteTheFilterType)
{
    ASSERT_TRUE(openEditor());
    pump(100);
    host->clearRequests();
    // Pre FlTy switch at 6,153, 60 x 16: middle third, then the same again.
    xdotool("mousemove --sync 36 160 click 1");
    pump(100);
    EXPECT_FLOAT_EQ(host->getParameter(5), 2.0f / 3.0f);
    xdotool("click 1");
    pump(100);
    EXPECT_FLOAT_EQ(host->getParameter(5), 0.0f);
    // PostFlTy at 222,153: right third.
    xdotool("mousemove --sync 275 160 click 1");
    pump(100);
    EXPECT_FLOAT_EQ(host->getParameter(7), 1.0f);
    EXPECT_EQ(countRequests(audioMasterBeginEdit, 5), 2);
    EXPECT_EQ(countRequests(audioMasterEndEdit, 5), 2);
    EXPECT_EQ(countRequests(audioMasterAutomate, 7), 1);
}

TEST_F(EditorWindow, SliderAndKnobDragsAreAutomatedInsideEditBrackets)
{
    ASSERT_TRUE(openEditor());
    pump(100);
    host->clearRequests();
    // PreGain slider at 25,18: free click at the far left, then drag right.
    drag(26, 25, {{100, 25}, {290, 25}});
    EXPECT_FLOAT_EQ(host->getParameter(0), 1.0f);
    EXPECT_EQ(countRequests(audioMasterBeginEdit, 0), 1);
    EXPECT_EQ(countRequests(audioMasterEndEdit, 0), 1);
    const auto automated = host->requests(audioMasterAutomate);
    ASSERT_FALSE(automated.empty());
    EXPECT_EQ(automated.back().index, 0);
    EXPECT_FLOAT_EQ(automated.back().opt, 1.0f);
    const auto all = host->requests();
    EXPECT_EQ(all.front().opcode, audioMasterBeginEdit) << "the bracket opens before the first change";

    // Pre Cut knob at 16,173 (44 x 44), circular: from the top to 3 o'clock.
    host->clearRequests();
    drag(38, 180, {{60, 195}});
    EXPECT_NEAR(host->getParameter(6), 225.0f / 270.0f, 0.02f);
    EXPECT_EQ(countRequests(audioMasterBeginEdit, 6), 1);
    EXPECT_EQ(countRequests(audioMasterEndEdit, 6), 1);

    // ShaperSw button: one click toggles it off.
    xdotool("mousemove --sync 110 250 click 1");
    pump(100);
    EXPECT_FLOAT_EQ(host->getParameter(3), 0.0f);
}

TEST_F(EditorWindow, ScreenshotShowsArtworkCurveAndSignalHighlight)
{
    ASSERT_TRUE(openEditor());
    // Some signal so that the highlight sits on two different points.
    std::vector<float> l(256, 0.5f), r(256, 0.05f), ol(256), orr(256);
    float* in[] = {l.data(), r.data()};
    float* out[] = {ol.data(), orr.data()};
    host->processReplacing(in, out, 256);
    // A soft-knee curve drawn across most columns, and a low-pass pre filter.
    std::initializer_list<std::pair<int, int>> knee = {
        {kCurveLeft + 12, kCurveTop + 110}, {kCurveLeft + 20, kCurveTop + 90},  {kCurveLeft + 28, kCurveTop + 72},
        {kCurveLeft + 36, kCurveTop + 58},  {kCurveLeft + 44, kCurveTop + 47},  {kCurveLeft + 52, kCurveTop + 39},
        {kCurveLeft + 60, kCurveTop + 33},  {kCurveLeft + 68, kCurveTop + 29},  {kCurveLeft + 76, kCurveTop + 26}};
    drag(kCurveLeft + 5, kCurveTop + 124, knee);
    xdotool("mousemove --sync 16 160 click 1");
    pump(200);

    const std::vector<uint32_t> pixels = grab();
    ASSERT_EQ(pixels.size(), static_cast<size_t>(width * height));
    cairo_surface_t* shot = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    auto* data = cairo_image_surface_get_data(shot);
    const int stride = cairo_image_surface_get_stride(shot);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            reinterpret_cast<uint32_t*>(data + y * stride)[x] = pixels[static_cast<size_t>(y * width + x)];
    const int red = countInCurveArea(pixels, 0xe90000);
    const int blue = countInCurveArea(pixels, 0x0000ff);
    const int green = countInCurveArea(pixels, 0x00ff00);
    cairo_surface_mark_dirty(shot);
    const std::string path = std::string(DC_ARTIFACT_DIR) + "/editor.png";
    EXPECT_EQ(cairo_surface_write_to_png(shot, path.c_str()), CAIRO_STATUS_SUCCESS) << path;
    cairo_surface_destroy(shot);
    // Two pixels per column but for the highlighted two and the bottom half
    // of point 0, whose value 128 lies one row below the area.
    EXPECT_EQ(red, 126 * 2 - 1);
    EXPECT_EQ(blue, 2) << "the left channel's point";
    EXPECT_EQ(green, 2) << "the right channel's point";
}

TEST_F(EditorWindow, OpensAndClosesManyTimes)
{
    for (int i = 0; i < 40; ++i)
    {
        ASSERT_TRUE(openEditor()) << "round " << i;
        host->dispatch(effEditIdle);
        host->dispatch(effEditClose);
    }
    ASSERT_TRUE(openEditor());
    pump(50);
    drag(kCurveLeft + 1, kCurveTop + 7, {});
    EXPECT_EQ(chunkCurvePoint(host->chunk(), 1), 7) << "the last window still works";
}

TEST_F(EditorWindow, ClosingDuringADragStillEndsTheGesture)
{
    ASSERT_TRUE(openEditor());
    pump(100);
    host->clearRequests();
    xdotool("mousemove --sync 120 150 mousedown 1 mousemove --sync 125 155");
    pump(100);
    EXPECT_EQ(countRequests(audioMasterBeginEdit, 10), 1);
    host->dispatch(effEditClose);
    EXPECT_EQ(countRequests(audioMasterEndEdit, 10), 1);
    xdotool("mouseup 1");
}

TEST_F(EditorWindow, DestroyingTheEffectWithTheWindowOpenIsSafe)
{
    ASSERT_TRUE(openEditor());
    xdotool("mousemove --sync 120 150 mousedown 1");
    pump(100);
    host->close();
    xdotool("mouseup 1");
    XSync(display, False);
}

TEST_F(EditorWindow, HostDestroyingItsWindowBeforeClosingTheEditorIsSurvived)
{
    for (bool idleInBetween : {true, false})
    {
        ASSERT_TRUE(openEditor());
        pump(50);
        XDestroyWindow(display, parent);
        XSync(display, False);
        host->setParameter(0, idleInBetween ? 0.1f : 0.2f); // something to redraw into the dead window
        if (idleInBetween)
            pump(50);
        host->dispatch(effEditClose);
        parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, width, height, 0, 0, 0);
        XMapWindow(display, parent);
        XSync(display, False);
    }
    EXPECT_TRUE(openEditor()) << "the editor opens again in a new window";
}

TEST_F(EditorWindow, HostThatNeverIdlesSeesThePictureButNoInput)
{
    ASSERT_TRUE(openEditor());
    XSync(display, False);
    // Columns 1 to 127 red; column 0 carries the highlight, which starts at 0.
    EXPECT_EQ(countInCurveArea(grab(), 0xe90000), 127 * 2) << "drawn at open, before any idle";
    xdotool("mousemove --sync 100 150 click 1");
    EXPECT_EQ(chunkCurvePoint(host->chunk(), 30), 128 - 30) << "input waits for idle";
    host->dispatch(effEditClose);
    EXPECT_EQ(chunkCurvePoint(host->chunk(), 30), 128 - 30);
}

TEST_F(EditorWindow, ParameterChangesFromAnotherThreadWhileDrawing)
{
    std::atomic<bool> stop{false};
    std::thread automation([&] {
        float v = 0.0f;
        while (!stop.load())
        {
            for (VstInt32 i = 0; i < 9; ++i)
                host->setParameter(i, v);
            v = v >= 1.0f ? 0.0f : v + 0.01f;
        }
    });
    for (int round = 0; round < 10; ++round)
    {
        ASSERT_TRUE(openEditor());
        pump(40);
        host->dispatch(effEditClose);
    }
    stop.store(true);
    automation.join();
}

TEST_F(EditorWindow, MissingDisplayMakesOpenFail)
{
    const std::string saved = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    unsetenv("DISPLAY");
    EXPECT_FALSE(openEditor());
    host->dispatch(effEditIdle);
    host->dispatch(effEditClose);
    setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_TRUE(openEditor()) << "a later open with a display works";
}
}
