// The view stand-in: a CoreFoundation object (CFRetain/CFRelease) standing
// for an X11 window. The last release runs the view's dealloc callback.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

DC_EXTERN_C_BEGIN

typedef struct NSView NSView;

// The window's XID (0 for a null view).
DC_PLATFORM_EXPORT unsigned long NSViewGetXWindow(NSView* view); // [UI thread]
DC_PLATFORM_EXPORT void NSViewGetFrameSize(NSView* view, double* width, double* height); // [UI thread]
// Stores the size and asks the view's owner to resize the window.
DC_PLATFORM_EXPORT void NSViewSetFrameSize(NSView* view, double width, double height); // [UI thread]

// Private: what the view's creator does on resize and on the last release.
typedef struct _NSViewCallbacks
{
    void (*setFrameSize)(void* info, double width, double height); // [UI thread]
    void (*dealloc)(void* info); // [UI thread]
} _NSViewCallbacks;

// Private: a view for an existing window, retain count 1 (the caller owns
// it). The callbacks are copied; either may be null.
DC_PLATFORM_EXPORT NSView* _NSViewCreate(unsigned long xWindow, double width, double height,
                                         const _NSViewCallbacks* callbacks, void* info); // [UI thread]
DC_PLATFORM_EXPORT CFTypeID _NSViewGetTypeID(void); // [any thread]
// Private: the info given to _NSViewCreate (null for a null view).
DC_PLATFORM_EXPORT void* _NSViewGetInfo(NSView* view); // [UI thread]

DC_EXTERN_C_END
