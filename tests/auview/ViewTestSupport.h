// What the view tests share: a connection of the test's own to the private
// Xvfb display, window queries that survive windows that are gone, and the
// view test effect behind a component bundle.
#pragma once

#include "ComponentTestSupport.h"
#include "ViewTestEffect.h"

#include <AppKit/NSView.h>
#include <AudioUnit/AUCocoaUIView.h>

#include <string>

struct _XDisplay;

namespace ViewTest
{

// The test's display connection (null without DISPLAY).
::_XDisplay* display();
// Width and height of a window, or -1, -1 when it does not exist.
std::pair<int, int> windowSize(unsigned long window);
bool isMapped(unsigned long window);

// The view test effect's control block, shared with the component's copy.
ViewTestEffectControl& effect();
ComponentTest::Bundle makeViewTestBundle();

// The factory the unit's CocoaUI property names, found as a host finds it.
const AUCocoaViewFactory* factoryOf(AudioUnit unit);

// Pumps the main event loop for `seconds` (the component's idle timer).
void pump(double seconds);

} // namespace ViewTest
