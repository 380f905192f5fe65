#include "gui/platform/linux/X11Frame.h"

#include "gui/AEffGUIEditor.h"

#include <X11/Xutil.h>
#include <cairo-xlib.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <mutex>

namespace
{
constexpr Time kDoubleClickTime = 400; // ms
constexpr int kDoubleClickDistance = 4; // pixels
constexpr int kMaxEventsPerIdle = 512;

// X errors on the frame's own connection (a bad parent id, a window the host
// destroyed first) are caught while the frame talks to the server, instead of
// ending the host process through the default handler.
std::recursive_mutex errorTrapMutex;
bool trappedError = false;
int trapErrors(Display*, XErrorEvent*)
{
    trappedError = true;
    return 0;
}

class ErrorTrap
{
public:
    ErrorTrap() : lock(errorTrapMutex)
    {
        trappedError = false;
        previous = XSetErrorHandler(trapErrors);
    }
    ~ErrorTrap() { XSetErrorHandler(previous); }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    bool failed() const { return trappedError; }

private:
    std::lock_guard<std::recursive_mutex> lock;
    int (*previous)(Display*, XErrorEvent*) = nullptr;
};
}

std::unique_ptr<IPlatformFrame> createNativePlatformFrame(void* parent, const CRect& size, IPlatformFrameCallback* callback)
{
    return X11Frame::create(parent, size, callback);
}

std::unique_ptr<IPlatformFrame> X11Frame::create(void* parent, const CRect& size, IPlatformFrameCallback* callback)
{
    const char* displayName = std::getenv("DISPLAY");
    if (!parent || !displayName || !*displayName)
        return nullptr;
    DisplayPtr display(XOpenDisplay(nullptr));
    if (!display)
        return nullptr;
    const auto parentWindow = static_cast<Window>(reinterpret_cast<uintptr_t>(parent));
    const unsigned w = size.getWidth() >= 1 ? static_cast<unsigned>(size.getWidth()) : 1u;
    const unsigned h = size.getHeight() >= 1 ? static_cast<unsigned>(size.getHeight()) : 1u;

    XSync(display.get(), False);
    ErrorTrap trap;
    XSetWindowAttributes attributes{};
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            LeaveWindowMask | StructureNotifyMask | KeyPressMask | KeyReleaseMask;
    attributes.background_pixmap = None;
    Window window = XCreateWindow(display.get(), parentWindow, 0, 0, w, h, 0, CopyFromParent, InputOutput,
                                  CopyFromParent, CWEventMask | CWBackPixmap, &attributes);
    XSync(display.get(), False);
    XWindowAttributes info{};
    const bool ok = !trap.failed() && window != 0 && XGetWindowAttributes(display.get(), window, &info) != 0;
    XSync(display.get(), False);
    if (!ok || trap.failed())
        return nullptr; // the window dies with the connection
    XMapWindow(display.get(), window);
    // Mapped before the first picture is copied in: in a visible parent the
    // window shows at once, even before the host's first idle call.
    XSync(display.get(), False);
    auto frame = std::unique_ptr<X11Frame>(new X11Frame(std::move(display), window, parentWindow, size, callback));
    frame->visual = info.visual;
    frame->depth = info.depth;
    frame->directCopy = (info.depth == 24 || info.depth == 32) && info.visual->red_mask == 0xff0000 &&
                        info.visual->green_mask == 0x00ff00 && info.visual->blue_mask == 0x0000ff;
    if (frame->directCopy)
        frame->gc = XCreateGC(frame->display.get(), window, 0, nullptr);
    else
        frame->windowSurface.reset(cairo_xlib_surface_create(frame->display.get(), window, info.visual,
                                                             static_cast<int>(w), static_cast<int>(h)));
    return frame;
}

X11Frame::X11Frame(DisplayPtr display, Window window, Window parent, const CRect& size,
                   IPlatformFrameCallback* callback)
    : display(std::move(display)), window(window), parent(parent), size(size), callback(callback)
{
}

X11Frame::~X11Frame()
{
    // cairo keeps per-connection state until its device is finished.
    if (windowSurface)
    {
        cairo_device_t* device = cairo_device_reference(cairo_surface_get_device(windowSurface.get()));
        windowSurface.reset();
        if (device)
        {
            cairo_device_finish(device);
            cairo_device_destroy(device);
        }
    }
    ErrorTrap trap;
    if (gc)
        XFreeGC(display.get(), gc);
    if (!windowGone)
        XDestroyWindow(display.get(), window);
    XSync(display.get(), False);
}

int32_t X11Frame::translateState(unsigned int state)
{
    int32_t s = 0;
    if (state & Button1Mask)
        s |= kLButton;
    if (state & Button2Mask)
        s |= kMButton;
    if (state & Button3Mask)
        s |= kRButton;
    if (state & ShiftMask)
        s |= kShift;
    if (state & ControlMask)
        s |= kControl;
    if (state & Mod1Mask)
        s |= kAlt;
    return s;
}

VstKeyCode X11Frame::translateKey(unsigned long keySymbol, unsigned int state)
{
    VstKeyCode key{};
    // Latin-1 key symbols are their characters.
    if (keySymbol >= 0x20 && keySymbol <= 0x7e)
        key.character = static_cast<VstInt32>(keySymbol);
    if (state & ShiftMask)
        key.modifier |= MODIFIER_SHIFT;
    if (state & ControlMask)
        key.modifier |= MODIFIER_CONTROL;
    if (state & Mod1Mask)
        key.modifier |= MODIFIER_ALTERNATE;
    return key;
}

void X11Frame::handleKey(XKeyEvent& event)
{
    VstKeyCode key = translateKey(XLookupKeysym(&event, 0), event.state);
    const bool taken = event.type == KeyPress ? callback->platformOnKeyDown(key) : callback->platformOnKeyUp(key);
    if (taken || parent == 0)
        return;
    // Keys the editor does not use stay the host's: its shortcuts keep
    // working while the pointer is over the editor.
    event.window = parent;
    XSendEvent(display.get(), parent, True, event.type == KeyPress ? KeyPressMask : KeyReleaseMask,
               reinterpret_cast<XEvent*>(&event));
}

namespace
{
int32_t buttonBit(unsigned int button)
{
    switch (button)
    {
    case Button1: return kLButton;
    case Button2: return kMButton;
    case Button3: return kRButton;
    default: return 0;
    }
}
}

void X11Frame::processEvents()
{
    ErrorTrap trap;
    for (int n = 0; n < kMaxEventsPerIdle && XPending(display.get()) > 0; ++n)
    {
        XEvent event;
        XNextEvent(display.get(), &event);
        handle(event);
    }
}

void X11Frame::handle(XEvent& event)
{
    switch (event.type)
    {
    case DestroyNotify:
        // The host destroyed its window, and ours with it.
        if (event.xdestroywindow.window == window)
            windowGone = true;
        break;
    case Expose:
    {
        const XExposeEvent& e = event.xexpose;
        callback->platformOnExpose(CRect(e.x, e.y, e.x + e.width, e.y + e.height));
        break;
    }
    case ButtonPress:
    {
        const XButtonEvent& e = event.xbutton;
        const CPoint where(e.x, e.y);
        if (e.button == Button4 || e.button == Button5)
        {
            callback->platformOnWheel(where, e.button == Button4 ? 1.0f : -1.0f, CButtonState(translateState(e.state)));
            break;
        }
        const int32_t bit = buttonBit(e.button);
        if (!bit)
            break;
        // The event state holds the buttons before this press.
        int32_t state = (translateState(e.state) & ~(kLButton | kMButton | kRButton)) | bit;
        const bool doubleClick = e.button == lastPressButton && e.time - lastPressTime <= kDoubleClickTime &&
                                 std::abs(e.x - lastPressX) <= kDoubleClickDistance &&
                                 std::abs(e.y - lastPressY) <= kDoubleClickDistance;
        if (doubleClick)
        {
            state |= kDoubleClick;
            lastPressButton = 0; // a third press starts over
        }
        else
        {
            lastPressButton = e.button;
            lastPressTime = e.time;
            lastPressX = e.x;
            lastPressY = e.y;
        }
        callback->platformOnMouseDown(where, CButtonState(state));
        break;
    }
    case ButtonRelease:
    {
        const XButtonEvent& e = event.xbutton;
        const int32_t bit = buttonBit(e.button);
        if (!bit)
            break;
        const int32_t state = (translateState(e.state) & ~(kLButton | kMButton | kRButton)) | bit;
        callback->platformOnMouseUp(CPoint(e.x, e.y), CButtonState(state));
        break;
    }
    case LeaveNotify:
        // Into a window of ours never happens (no children); grabs aside.
        if (event.xcrossing.mode == NotifyNormal)
            callback->platformOnMouseExited();
        break;
    case KeyPress:
    case KeyRelease:
        handleKey(event.xkey);
        break;
    case MotionNotify:
    {
        const XMotionEvent& e = event.xmotion;
        callback->platformOnMouseMoved(CPoint(e.x, e.y), CButtonState(translateState(e.state)));
        break;
    }
    default:
        break;
    }
}

void X11Frame::present(cairo_surface_t* backBuffer, const CRect& area)
{
    if (area.isEmpty() || windowGone)
        return;
    if (directCopy)
    {
        // The back buffer is RGB24: 32 bits per pixel, native byte order.
        const int w = cairo_image_surface_get_width(backBuffer);
        const int h = cairo_image_surface_get_height(backBuffer);
        XImage* image = XCreateImage(display.get(), visual, static_cast<unsigned>(depth), ZPixmap, 0,
                                     reinterpret_cast<char*>(cairo_image_surface_get_data(backBuffer)),
                                     static_cast<unsigned>(w), static_cast<unsigned>(h), 32,
                                     cairo_image_surface_get_stride(backBuffer));
        if (!image)
            return;
        // The buffer is in the machine's byte order; Xlib converts for the server.
        image->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
        const int x = std::max(0, static_cast<int>(area.left));
        const int y = std::max(0, static_cast<int>(area.top));
        const int right = std::min(w, static_cast<int>(std::ceil(area.right)));
        const int bottom = std::min(h, static_cast<int>(std::ceil(area.bottom)));
        if (right > x && bottom > y)
            XPutImage(display.get(), window, gc, image, x, y, x, y, static_cast<unsigned>(right - x),
                      static_cast<unsigned>(bottom - y));
        image->data = nullptr; // owned by the back buffer
        XDestroyImage(image);
        return;
    }
    if (!windowSurface)
        return;
    CairoContextPtr cr(cairo_create(windowSurface.get()));
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr.get(), backBuffer, 0, 0);
    cairo_rectangle(cr.get(), area.left, area.top, area.getWidth(), area.getHeight());
    cairo_fill(cr.get());
    cr.reset();
    cairo_surface_flush(windowSurface.get());
}

void X11Frame::flush()
{
    if (!windowGone)
        XFlush(display.get());
}
