#include "tests/editor/EditorWindowFixture.h"

#include "tests/support/WindowPixels.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <thread>

void EditorWindow::SetUp()
{
    if (std::getenv("DC_XVFB_UNAVAILABLE"))
        GTEST_SKIP() << "Xvfb is not installed";
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "no X display; run through run-under-xvfb.sh";
    setServerDpi(0);
    parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 300, 320, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
    createEffect();
}

void EditorWindow::TearDown()
{
    if (host && host->effect())
        host->dispatch(effEditClose);
    host.reset();
    if (display)
    {
        setServerDpi(0);
        if (parent)
            XDestroyWindow(display, parent);
        XCloseDisplay(display);
    }
}

void EditorWindow::setServerDpi(int dpi)
{
    const Atom resources = XInternAtom(display, "RESOURCE_MANAGER", False);
    if (dpi <= 0)
        XDeleteProperty(display, DefaultRootWindow(display), resources);
    else
    {
        const std::string text = "Xft.antialias:\t1\nXft.dpi:\t" + std::to_string(dpi) + "\n";
        XChangeProperty(display, DefaultRootWindow(display), resources, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(text.c_str()), static_cast<int>(text.size()));
    }
    XSync(display, False);
}

void EditorWindow::createEffect()
{
    if (host && host->effect())
        host->dispatch(effEditClose);
    host.reset();
    host = std::make_unique<dc::TestHost>(dc::TestHost::pluginPath());
    ASSERT_NE(host->effect(), nullptr);
    ERect* rect = nullptr;
    ASSERT_EQ(host->dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    width = rect->right - rect->left;
    height = rect->bottom - rect->top;
    scale = width / 300.0;
    XResizeWindow(display, parent, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(display, False);
}

bool EditorWindow::openEditor()
{
    return host->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent)) == 1;
}

void EditorWindow::pump(int milliseconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end)
    {
        host->dispatch(effEditIdle);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void EditorWindow::xdotool(const std::string& args)
{
    const std::string command = "xdotool " + args;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// Window coordinates equal screen coordinates: the parent sits at 0,0. A
// synchronous move waits for the pointer to move, so it never goes to where
// the pointer already is: the first move of each command goes without.
void EditorWindow::drag(int x0, int y0, std::initializer_list<std::pair<int, int>> path, const std::string& keys)
{
    std::string a = "mousemove " + std::to_string(px(x0)) + " " + std::to_string(px(y0));
    if (!keys.empty())
        a += " keydown " + keys;
    a += " mousedown 1";
    for (auto [x, y] : path)
        a += " mousemove --sync " + std::to_string(px(x)) + " " + std::to_string(px(y));
    a += " mouseup 1";
    if (!keys.empty())
        a += " keyup " + keys;
    xdotool(a);
    pump(150);
}

void EditorWindow::click(int x, int y, const std::string& keys)
{
    std::string a = "mousemove " + std::to_string(px(x)) + " " + std::to_string(px(y));
    a += keys.empty() ? " click 1" : " keydown " + keys + " click 1 keyup " + keys;
    xdotool(a);
    pump(100);
}

void EditorWindow::hover(int x, int y)
{
    xdotool("mousemove " + std::to_string(px(x)) + " " + std::to_string(px(y)));
    pump(100);
}

std::vector<uint32_t> EditorWindow::grab()
{
    return grabWindowPixels(display, parent, width, height);
}

std::vector<uint32_t> EditorWindow::screenshot(const std::string& name)
{
    const std::vector<uint32_t> pixels = grab();
    const std::string path = std::string(DC_ARTIFACT_DIR) + "/" + name;
    if (pixels.size() == static_cast<size_t>(width * height))
    {
        EXPECT_TRUE(savePixelsAsPng(pixels, width, height, path)) << path;
    }
    return pixels;
}

int EditorWindow::countInCurveArea(const std::vector<uint32_t>& pixels, uint32_t colour) const
{
    int n = 0;
    const auto edge = [this](int v) { return static_cast<int>(v * scale); };
    for (int y = edge(kCurveTop); y < edge(kCurveTop + 128); ++y)
        for (int x = edge(kCurveLeft); x < edge(kCurveLeft + 128); ++x)
            n += pixels[static_cast<size_t>(y * width + x)] == colour;
    return n;
}

int EditorWindow::countRequests(VstInt32 opcode, VstInt32 index) const
{
    int n = 0;
    for (const auto& r : host->requests(opcode))
        n += r.index == index;
    return n;
}
