// The view stand-in: a CF object naming an X11 window, its frame size and
// the creator's callbacks. The library itself talks to no X server.
#include "CFRuntime.h"

#include <AppKit/NSView.h>

struct NSView final : cf::CFObject
{
    NSView() : CFObject(cf::kViewTypeID) {}
    void finalize() override
    {
        // The dealloc callback runs once, before the object goes.
        if (callbacks.dealloc)
            callbacks.dealloc(info);
        delete this;
    }
    unsigned long window = 0;
    double width = 0;
    double height = 0;
    _NSViewCallbacks callbacks{};
    void* info = nullptr;
};

namespace
{

NSView* viewOf(NSView* v)
{
    return cf::as<NSView>(v, cf::kViewTypeID);
}

} // namespace

extern "C" {

NSView* _NSViewCreate(unsigned long xWindow, double width, double height, const _NSViewCallbacks* callbacks, void* info)
{
    auto* view = new NSView();
    view->window = xWindow;
    view->width = width;
    view->height = height;
    if (callbacks)
        view->callbacks = *callbacks;
    view->info = info;
    return view;
}

CFTypeID _NSViewGetTypeID(void)
{
    return cf::kViewTypeID;
}

void* _NSViewGetInfo(NSView* view)
{
    const NSView* v = viewOf(view);
    return v ? v->info : nullptr;
}

unsigned long NSViewGetXWindow(NSView* view)
{
    const NSView* v = viewOf(view);
    return v ? v->window : 0;
}

void NSViewGetFrameSize(NSView* view, double* width, double* height)
{
    const NSView* v = viewOf(view);
    if (width)
        *width = v ? v->width : 0;
    if (height)
        *height = v ? v->height : 0;
}

void NSViewSetFrameSize(NSView* view, double width, double height)
{
    NSView* v = viewOf(view);
    if (!v || !(width >= 0) || !(height >= 0))
        return;
    v->width = width;
    v->height = height;
    if (v->callbacks.setFrameSize)
        v->callbacks.setFrameSize(v->info, width, height);
}

} // extern "C"
