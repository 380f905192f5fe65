// What the frame needs from a windowing system: a child window of the host's
// window that shows a back buffer, and its input events. The widgets never see
// the platform; each platform implements this in its own folder.
#pragma once

#include "gui/CButtonState.h"
#include "gui/CPoint.h"
#include "gui/CRect.h"
#include "frame/VstRecords.h"

#include <cairo.h>

#include <memory>

class IPlatformFrameCallback
{
public:
    virtual ~IPlatformFrameCallback() = default;
    virtual void platformOnMouseDown(CPoint where, CButtonState buttons) = 0;
    virtual void platformOnMouseMoved(CPoint where, CButtonState buttons) = 0;
    virtual void platformOnMouseUp(CPoint where, CButtonState buttons) = 0;
    virtual void platformOnWheel(CPoint where, float distance, CButtonState buttons) = 0;
    // A key pressed or released while the window has the keyboard; false
    // when the editor does not take it (the platform then hands it to the
    // host's window).
    virtual bool platformOnKeyDown(VstKeyCode& key) = 0;
    virtual bool platformOnKeyUp(VstKeyCode& key) = 0;
    // The pointer left the window.
    virtual void platformOnMouseExited() = 0;
    // Part of the window must be shown again from the back buffer.
    virtual void platformOnExpose(const CRect& area) = 0;
};

class IPlatformFrame
{
public:
    virtual ~IPlatformFrame() = default;
    // [UI thread] Handles the pending input without blocking.
    virtual void processEvents() = 0;
    // [UI thread] Copies `area` of the back buffer (window sized) to the
    // window; what was copied may wait in the connection until flush.
    virtual void present(cairo_surface_t* backBuffer, const CRect& area) = 0;
    // [UI thread] Sends what present left waiting: one flush per redraw.
    virtual void flush() {}
    // The window as the platform names it (an X11 Window id), for hosts that
    // embed it by handle; null when there is none.
    virtual void* getNativeHandle() const { return nullptr; }
};

// Creates the window as a child of `parent` (a native window handle), or
// returns null when that is impossible (no display, bad parent).
using PlatformFrameFactory = std::unique_ptr<IPlatformFrame> (*)(void* parent, const CRect& size,
                                                                   IPlatformFrameCallback* callback);

// The factory of the platform this module was built for.
std::unique_ptr<IPlatformFrame> createNativePlatformFrame(void* parent, const CRect& size, IPlatformFrameCallback* callback);

// [UI thread] The scale at which editors should draw on this system's screen
// (1, 1.5 or 2), asked from the window system each time.
double queryNativeScaleFactor();
