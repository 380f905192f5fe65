// An AudioUnit's editor view, found the way a host finds it: the CocoaUI
// property names the view bundle and the factory class, and without a class
// runtime the class is the exported symbol of that name in the bundle's
// executable. Published API only.
#pragma once

#include <AppKit/NSView.h>
#include <AudioUnit/AUCocoaUIView.h>
#include <AudioUnit/AudioUnit.h>

#include <string>

// The factory of the unit's view, or null with `error` saying why.
const AUCocoaViewFactory* findViewFactory(AudioUnit unit, std::string& error); // [UI thread]
