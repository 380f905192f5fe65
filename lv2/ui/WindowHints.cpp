#include "lv2/ui/WindowHints.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace
{
struct DisplayCloser
{
    void operator()(Display* d) const { XCloseDisplay(d); }
};

int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}
}

void setFixedSizeHints(void* window, int width, int height)
{
    const char* name = std::getenv("DISPLAY");
    if (!window || !name || !*name || width < 1 || height < 1)
        return;
    // A connection of its own: the frame's is private to it, and this runs
    // only when the size changes.
    std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
    if (!display)
        return;
    XSizeHints hints{};
    // No PSize: that field is obsolete; base, minimum and maximum say it all.
    hints.flags = PMinSize | PMaxSize | PBaseSize;
    hints.min_width = hints.max_width = hints.base_width = width;
    hints.min_height = hints.max_height = hints.base_height = height;
    // A window the host already destroyed must not end the process through
    // Xlib's default error handler.
    XSync(display.get(), False);
    auto* previous = XSetErrorHandler(ignoreErrors);
    XSetWMNormalHints(display.get(), static_cast<Window>(reinterpret_cast<uintptr_t>(window)), &hints);
    XSync(display.get(), False);
    XSetErrorHandler(previous);
}
