#include "ViewTestSupport.h"

#include "tools/auhost/AUViewHost.h"

#include <Carbon/Carbon.h>

#include <gtest/gtest.h>
// After gtest: Xlib's macros clash with its names.
#include <X11/Xlib.h>

#include <cstdlib>
#include <dlfcn.h>

namespace ViewTest
{

namespace
{
int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}
} // namespace

Display* display()
{
    static Display* d = [] {
        Display* opened = std::getenv("DISPLAY") ? XOpenDisplay(nullptr) : nullptr;
        return opened;
    }();
    return d;
}

std::pair<int, int> windowSize(unsigned long window)
{
    Display* d = display();
    if (!d || !window)
        return {-1, -1};
    XSync(d, False);
    auto previous = XSetErrorHandler(ignoreErrors);
    XWindowAttributes attributes{};
    const Status ok = XGetWindowAttributes(d, window, &attributes);
    XSync(d, False);
    XSetErrorHandler(previous);
    if (!ok)
        return {-1, -1};
    return {attributes.width, attributes.height};
}

bool isMapped(unsigned long window)
{
    Display* d = display();
    auto previous = XSetErrorHandler(ignoreErrors);
    XWindowAttributes attributes{};
    const Status ok = XGetWindowAttributes(d, window, &attributes);
    XSetErrorHandler(previous);
    return ok && attributes.map_state != IsUnmapped;
}

ViewTestEffectControl& effect()
{
    static void* module = dlopen(DC_VIEW_TEST_EFFECT, RTLD_NOW);
    static ViewTestEffectControl* control =
        module ? reinterpret_cast<ViewTestEffectControlFunction>(dlsym(module, "viewTestEffectControl"))() : nullptr;
    if (!control)
        std::abort();
    return *control;
}

ComponentTest::Bundle makeViewTestBundle()
{
    effect();
    ComponentTest::BundleOptions options;
    options.links.emplace_back("ViewTest.vst", DC_VIEW_TEST_EFFECT);
    return ComponentTest::makeBundle(options);
}

const AUCocoaViewFactory* factoryOf(AudioUnit unit)
{
    std::string error;
    const AUCocoaViewFactory* factory = findViewFactory(unit, error);
    EXPECT_NE(factory, nullptr) << error;
    return factory;
}

void pump(double seconds)
{
    RunCurrentEventLoop(seconds);
}

} // namespace ViewTest
