// The editor in a real X window at 1x: curve drawing, the controls, the
// picture, and the window's life with the host.
#include "tests/editor/EditorWindowFixture.h"

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

namespace
{
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

    const std::vector<uint32_t> pixels = screenshot("editor.png");
    ASSERT_EQ(pixels.size(), static_cast<size_t>(width * height));
    const int red = countInCurveArea(pixels, 0xe90000);
    const int blue = countInCurveArea(pixels, 0x0000ff);
    const int green = countInCurveArea(pixels, 0x00ff00);
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
