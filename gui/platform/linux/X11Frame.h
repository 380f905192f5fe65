// The frame's window on X11: its own display connection and a child window of
// the host's window. Input is read without blocking when the frame idles.
#pragma once

#include "gui/CairoHandles.h"
#include "gui/platform/IPlatformFrame.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <memory>

struct DisplayDeleter
{
    void operator()(Display* d) const { XCloseDisplay(d); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayDeleter>;

class X11Frame : public IPlatformFrame
{
public:
    // [UI thread] Null when there is no display or `parent` is no window.
    static std::unique_ptr<IPlatformFrame> create(void* parent, const CRect& size, IPlatformFrameCallback* callback);
    ~X11Frame() override;

    void processEvents() override;
    void present(cairo_surface_t* backBuffer, const CRect& area) override;
    void flush() override;
    void* getNativeHandle() const override { return reinterpret_cast<void*>(static_cast<uintptr_t>(window)); }

    // Modifier and button bits of an X event state as widget button bits.
    static int32_t translateState(unsigned int state);
    // A key (its unshifted key symbol) and the X event state as a VST key
    // code: printable keys as their character, modifiers as VST modifier bits.
    static VstKeyCode translateKey(unsigned long keySymbol, unsigned int state);
    Window getWindow() const { return window; }
    // The frame's own connection (XNextRequest on it counts what it sent).
    Display* getDisplay() const { return display.get(); }

private:
    X11Frame(DisplayPtr display, Window window, Window parent, const CRect& size, IPlatformFrameCallback* callback);
    void handle(XEvent& event);
    void handleKey(XKeyEvent& event);

    DisplayPtr display;
    Window window;
    Window parent;
    CRect size;
    IPlatformFrameCallback* callback;
    // Visuals with 8-bit red, green and blue in the back buffer's layout take
    // the back buffer as it is; others go through cairo's Xlib surface.
    bool directCopy = false;
    bool windowGone = false;
    int depth = 0;
    Visual* visual = nullptr;
    GC gc = nullptr;
    CairoSurfacePtr windowSurface;
    // Double-click detection: the previous press.
    Time lastPressTime = 0;
    unsigned int lastPressButton = 0;
    int lastPressX = -1000;
    int lastPressY = -1000;
};
