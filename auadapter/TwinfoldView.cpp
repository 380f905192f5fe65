// The editor view: a factory record the host finds by its class name in the
// bundle's executable, and views that stand for an X11 window on the
// component's own X connection, in which the effect's editor opens.
//
// A view lives as long as the host holds it. Its last release closes the
// editor (once) and destroys the window; a view that outlives its component
// only destroys the window.
#include "auadapter/MacOSException.h"
#include "auadapter/TwinfoldComponent.h"
#include "auadapter/TwinfoldException.h"
#include "auadapter/VSTPlugIn.h"

#include <AppKit/NSView.h>
#include <AudioUnit/AUCocoaUIView.h>
#include "platform/CodeBundle.h"

#include <X11/Xlib.h>
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace
{

// What a view knows of its window and its component.
struct TwinfoldViewState
{
    Display* display = nullptr; // the view's own connection
    Window window = 0;
    NSView* view = nullptr;
    TwinfoldComponent* twinfold = nullptr; // null once the component has let go
    bool windowGone = false;
};

// X errors on the view's connection (a window the host destroyed with its
// own, say) are caught instead of ending the host through the default handler.
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

void resizeViewWindow(void* info, double width, double height) // [UI thread]
{
    auto* state = static_cast<TwinfoldViewState*>(info);
    if (state->windowGone)
        return;
    const unsigned w = width >= 1 ? static_cast<unsigned>(width) : 1u;
    const unsigned h = height >= 1 ? static_cast<unsigned>(height) : 1u;
    ErrorTrap trap;
    XResizeWindow(state->display, state->window, w, h);
    XSync(state->display, False);
}

void deallocView(void* info) // [UI thread]
{
    auto* state = static_cast<TwinfoldViewState*>(info);
    if (state->twinfold && state->twinfold->view == state->view)
        state->twinfold->dropView();
    {
        ErrorTrap trap;
        XDestroyWindow(state->display, state->window);
        XSync(state->display, False);
    }
    XCloseDisplay(state->display);
    delete state;
}

const _NSViewCallbacks kViewCallbacks = {resizeViewWindow, deallocView};

// A view's callbacks are this code: once a view exists, the code stays
// loaded for the life of the process, even when the host closes the last
// instance (and the Component Manager lets go of the code) before it
// releases the view.
void keepCodeLoaded()
{
    static const bool pinned = [] {
        Dl_info info{};
        if (dladdr(reinterpret_cast<void*>(&deallocView), &info) && info.dli_fname)
            return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
        return false;
    }();
    (void)pinned;
}

UInt32 factoryInterfaceVersion()
{
    return 0;
}

CFStringRef factoryDescription()
{
    return CFSTR("Twinfold Cocoa View");
}

NSView* factoryViewForAudioUnit(AudioUnit unit, double, double)
{
    // A C boundary: nothing thrown gets through; a failure is no view.
    try
    {
        auto* twinfold = reinterpret_cast<TwinfoldComponent*>(GetComponentInstanceStorage(unit));
        return twinfold ? twinfold->createView() : nullptr;
    }
    catch (...)
    {
        return nullptr;
    }
}

} // namespace

extern "C" __attribute__((visibility("default"))) const AUCocoaViewFactory Twinfold20010220_CocoaViewFactory = {
    factoryInterfaceVersion, factoryDescription, factoryViewForAudioUnit};

NSView* TwinfoldComponent::createView()
{
    const char* displayName = std::getenv("DISPLAY");
    if (!displayName || !*displayName || !plugIn || !plugIn->hasEditor())
        return nullptr;
    // One view at a time: a second request takes the editor from the first.
    if (view)
        dropView();

    int32_t width = 0, height = 0;
    plugIn->getEditorDimensions(width, height);
    if (width <= 0 || height <= 0)
    {
        width = kDefaultViewWidth;
        height = kDefaultViewHeight;
    }

    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    Window window = 0;
    {
        ErrorTrap trap;
        // Unmapped: the host puts it into one of its windows and maps it.
        window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(width),
                                     static_cast<unsigned>(height), 0, 0, BlackPixel(display, DefaultScreen(display)));
        XSync(display, False);
        if (trap.failed() || !window)
        {
            XCloseDisplay(display);
            return nullptr;
        }
    }
    keepCodeLoaded();
    auto* state = new TwinfoldViewState{display, window, nullptr, this, false};
    NSView* created = _NSViewCreate(window, width, height, &kViewCallbacks, state);
    state->view = created;
    view = created;
    try
    {
        plugIn->openEditor(reinterpret_cast<void*>(window));
    }
    catch (...)
    {
        // A refused editor: the view goes at once instead of lingering as the
        // component's view with nobody holding it.
        view = nullptr;
        state->twinfold = nullptr;
        CFRelease(created);
        throw;
    }
    return created;
}

void TwinfoldComponent::dropView()
{
    if (!view)
        return;
    NSView* dropped = view;
    view = nullptr;
    if (plugIn && plugIn->isEditorOpen())
        plugIn->closeEditor();
    // The view may outlive this component: from now on it only owns its window.
    if (auto* state = static_cast<TwinfoldViewState*>(_NSViewGetInfo(dropped)))
        state->twinfold = nullptr;
}

void TwinfoldComponent::getCocoaUIPropertyInfo(AudioUnitScope scope, bool& readable, bool& writable,
                                               UInt32& minimumSize, UInt32& size)
{
    if (scope != kAudioUnitScope_Global)
        throw MacOSException(kAudioUnitErr_InvalidScope);
    if (!plugIn || !plugIn->hasEditor())
        throw MacOSException(kAudioUnitErr_InvalidProperty);
    readable = true;
    writable = false;
    minimumSize = size = sizeof(AudioUnitCocoaViewInfo);
}

void TwinfoldComponent::getCocoaUIProperty(void* data)
{
    const std::string folder = bundle->getBundlePath().string();
    CFURLRef location = CFURLCreateFromFileSystemRepresentation(
        nullptr, reinterpret_cast<const UInt8*>(folder.c_str()), static_cast<CFIndex>(folder.size()), true);
    CFStringRef className = CFStringCreateWithCString(nullptr, "Twinfold20010220_CocoaViewFactory",
                                                      kCFStringEncodingUTF8);
    if (!location || !className)
    {
        if (location)
            CFRelease(location);
        if (className)
            CFRelease(className);
        throw MacOSException(memFullErr);
    }
    // Both owned by the caller.
    AudioUnitCocoaViewInfo info{location, {className}};
    std::memcpy(data, &info, sizeof info);
}
