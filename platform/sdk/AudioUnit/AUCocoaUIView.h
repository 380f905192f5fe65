// The editor view factory: without a class runtime, a factory class is the
// exported symbol of that name in the view bundle's executable, a record of
// three functions.
#pragma once

#include <AppKit/NSView.h>
#include <AudioUnit/AUComponent.h>
#include <CoreFoundation/CoreFoundation.h>

DC_EXTERN_C_BEGIN

struct AUCocoaViewFactory
{
    UInt32 (*interfaceVersion)(void); // [UI thread]
    // Get rule: the caller does not own the string.
    CFStringRef (*description)(void); // [UI thread]
    // Create rule: the caller owns the view (CFRelease closes it). Null when
    // no view can be made (no X display, no editor).
    NSView* (*uiViewForAudioUnit)(AudioUnit inAudioUnit, double width, double height); // [UI thread]
};
typedef struct AUCocoaViewFactory AUCocoaViewFactory;

DC_EXTERN_C_END
