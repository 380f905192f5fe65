#include "tools/kit/EditorWindow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace
{

// X errors (a child window that went away, say) end nothing here.
int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

} // namespace

struct EditorWindow::Impl
{
    Display* display = nullptr;
    Window window = 0;
    Atom deleteWindow = 0;
    bool closed = false;
};

EditorWindow::EditorWindow(const std::string& title, int width, int height) : impl(std::make_unique<Impl>())
{
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name)
        throw EditorWindowError("no X display: DISPLAY is not set (the editor needs a graphical session)");
    impl->display = XOpenDisplay(nullptr);
    if (!impl->display)
        throw EditorWindowError(std::string("cannot open the X display \"") + name + "\"");
    XSetErrorHandler(ignoreErrors);
    Display* d = impl->display;
    impl->window = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, width > 0 ? width : 1, height > 0 ? height : 1, 0,
                                       BlackPixel(d, DefaultScreen(d)), BlackPixel(d, DefaultScreen(d)));
    XSelectInput(d, impl->window, StructureNotifyMask);
    impl->deleteWindow = XInternAtom(d, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(d, impl->window, &impl->deleteWindow, 1);
    XStoreName(d, impl->window, title.c_str());
    XClassHint hint{const_cast<char*>("dithercrunch-editor"), const_cast<char*>("Dithercrunch")};
    XSetClassHint(d, impl->window, &hint);
    XSync(d, False);
}

EditorWindow::~EditorWindow()
{
    if (!impl->closed)
        XDestroyWindow(impl->display, impl->window);
    XSync(impl->display, False);
    XCloseDisplay(impl->display);
}

unsigned long EditorWindow::window() const
{
    return impl->window;
}

void EditorWindow::show()
{
    XMapRaised(impl->display, impl->window);
    XSync(impl->display, False);
}

void EditorWindow::resize(int width, int height)
{
    if (impl->closed || width <= 0 || height <= 0)
        return;
    XResizeWindow(impl->display, impl->window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFlush(impl->display);
}

void EditorWindow::embed(unsigned long child)
{
    XReparentWindow(impl->display, child, impl->window, 0, 0);
    XMapWindow(impl->display, child);
    XSync(impl->display, False);
}

bool EditorWindow::processEvents()
{
    Display* d = impl->display;
    while (!impl->closed && XPending(d) > 0)
    {
        XEvent event;
        XNextEvent(d, &event);
        if (event.type == ClientMessage && event.xclient.window == impl->window &&
            static_cast<Atom>(event.xclient.data.l[0]) == impl->deleteWindow)
            impl->closed = true;
        else if (event.type == DestroyNotify && event.xdestroywindow.window == impl->window)
            impl->closed = true;
    }
    return !impl->closed;
}

void EditorWindow::run(double interval, const std::function<void()>& tick, const bool* stop)
{
    using clock = std::chrono::steady_clock;
    const auto period = std::chrono::duration_cast<clock::duration>(std::chrono::duration<double>(interval));
    auto next = clock::now();
    while (processEvents() && !(stop && *stop))
    {
        tick();
        next += period;
        const auto now = clock::now();
        if (next < now)
            next = now; // fell behind: keep the rate, do not burst
        std::this_thread::sleep_until(next);
    }
}
