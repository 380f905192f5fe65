#include "tools/auhost/AUEdit.h"

#include "tools/auhost/AUCommandLine.h"
#include "tools/auhost/AUSession.h"
#include "tools/auhost/AUState.h"
#include "tools/auhost/AUViewHost.h"
#include "tools/kit/EditorGestures.h"
#include "tools/kit/EditorWindow.h"
#include "tools/kit/Interruption.h"

#include <AudioToolbox/AudioToolbox.h>
#include <Carbon/Carbon.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace
{

constexpr Float64 kSampleRate = 48000.0;
constexpr UInt32 kBlock = 512;
constexpr double kTick = 0.01; // seconds between pumps of the event loop

// The unit's input: a 220 Hz sine at half scale, so the editor shows the
// curve in use.
struct Sine
{
    double phase = 0.0;
    static OSStatus provide(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                            AudioBufferList* list)
    {
        auto* sine = static_cast<Sine*>(refCon);
        const double step = 2.0 * M_PI * 220.0 / kSampleRate;
        double phase = sine->phase;
        for (UInt32 i = 0; i < frames; ++i)
        {
            const float v = static_cast<float>(0.5 * std::sin(phase));
            for (UInt32 c = 0; c < list->mNumberBuffers; ++c)
                if (list->mBuffers[c].mData)
                    static_cast<float*>(list->mBuffers[c].mData)[i] = v;
            phase = std::fmod(phase + step, 2.0 * M_PI);
        }
        sine->phase = phase;
        return noErr;
    }
};

// Prints what the host hears about the listed parameters.
// Each change reaches the listener twice (the component sends it as a
// parameter notification and as a value-change event); it is printed once.
struct Printer
{
    std::map<AudioUnitParameterID, AUParameter> parameters;
    UInt32 subtype = 0; // the wrapped effect's ID, by the registration's convention
    bool quiet = false;
    AudioUnitEventType lastType = kAudioUnitEvent_PropertyChange;
    AudioUnitParameterID lastID = 0;
    AudioUnitParameterValue lastValue = 0;

    static void heard(void* refCon, void*, const AudioUnitEvent* event, UInt64, AudioUnitParameterValue value)
    {
        auto* printer = static_cast<Printer*>(refCon);
        if (printer->quiet)
            return;
        const AudioUnitParameterID id = event->mArgument.mParameter.mParameterID;
        const bool repeated = event->mEventType == kAudioUnitEvent_ParameterValueChange &&
                              printer->lastType == event->mEventType && printer->lastID == id && printer->lastValue == value;
        printer->lastType = event->mEventType;
        printer->lastID = id;
        printer->lastValue = value;
        if (repeated)
            return;
        const auto found = printer->parameters.find(id);
        const std::string name = found != printer->parameters.end() ? found->second.name : gestureName(printer->subtype, id);
        switch (event->mEventType)
        {
        case kAudioUnitEvent_ParameterValueChange:
        {
            std::string unit = found != printer->parameters.end() ? found->second.unitName : std::string();
            if (found != printer->parameters.end() && !found->second.valueStrings.empty())
            {
                const long index = std::lround(value - found->second.info.minValue);
                if (index >= 0 && index < static_cast<long>(found->second.valueStrings.size()))
                    unit = "(" + found->second.valueStrings[static_cast<size_t>(index)] + ")";
            }
            std::printf("%s = %g%s%s\n", name.c_str(), value, unit.empty() ? "" : " ", unit.c_str());
            break;
        }
        case kAudioUnitEvent_BeginParameterChangeGesture:
            std::printf("%s: begin\n", name.c_str());
            break;
        case kAudioUnitEvent_EndParameterChangeGesture:
            std::printf("%s: end\n", name.c_str());
            break;
        default:
            return;
        }
        std::fflush(stdout);
    }
};

// The AudioBufferList of a stereo output bus, buffers handed out by the unit.
struct StereoOutput
{
    UInt32 mNumberBuffers = 2;
    AudioBuffer mBuffers[2]{};
    AudioBufferList* list(UInt32 frames)
    {
        for (AudioBuffer& b : mBuffers)
            b = AudioBuffer{1, frames * static_cast<UInt32>(sizeof(float)), nullptr};
        return reinterpret_cast<AudioBufferList*>(this);
    }
};

} // namespace

int runAUEdit(const AUCommandLine& request)
{
    const char* displayName = std::getenv("DISPLAY");
    if (!displayName || !*displayName)
        throw EditorWindowError("no X display: DISPLAY is not set (the editor needs a graphical session)");

    AUSession session(request.bundle);
    AudioUnit unit = session.unit();
    // The state first: a file that does not load ends here, before any window.
    prepareUnit(session, request);
    session.setFormat(kSampleRate, 2);
    session.setMaximumFrames(kBlock);
    Sine sine;
    AURenderCallbackStruct input{&Sine::provide, &sine};
    check(AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &input, sizeof input),
          "setting the input callback");
    check(AudioUnitInitialize(unit), "initialising the unit");

    // Listen to every listed parameter, as a host recording automation does.
    Printer printer;
    printer.quiet = request.quiet;
    printer.subtype = session.description().componentSubType;
    AUEventListenerRef listener = nullptr;
    check(AUEventListenerCreate(&Printer::heard, &printer, nullptr, nullptr, 0.0f, 0.0f, &listener), "creating a listener");
    auto listen = [&](AudioUnitEventType type, AudioUnitParameterID id) {
        AudioUnitEvent event{};
        event.mEventType = type;
        event.mArgument.mParameter = {unit, id, kAudioUnitScope_Global, 0};
        AUEventListenerAddEventType(listener, nullptr, &event);
    };
    // Gestures of every kind, the curve's too; values of the listed parameters.
    listen(kAudioUnitEvent_BeginParameterChangeGesture, kAUParameterListener_AnyParameter);
    listen(kAudioUnitEvent_EndParameterChangeGesture, kAUParameterListener_AnyParameter);
    for (AUParameter& p : session.parameters())
    {
        listen(kAudioUnitEvent_ParameterValueChange, p.id);
        printer.parameters.emplace(p.id, std::move(p));
    }

    std::string error;
    const AUCocoaViewFactory* factory = findViewFactory(unit, error);
    NSView* view = factory ? factory->uiViewForAudioUnit(unit, 0, 0) : nullptr;
    if (!view)
    {
        AUListenerDispose(listener);
        AudioUnitUninitialize(unit);
        throw AUError(factory ? "the unit could not open its editor view" : error);
    }
    double width = 0, height = 0;
    NSViewGetFrameSize(view, &width, &height);
    EditorWindow window("auhost: " + session.name(), static_cast<int>(width), static_cast<int>(height));
    window.embed(NSViewGetXWindow(view));
    window.show();
    if (!request.quiet)
    {
        std::printf("editing %s (%g x %g); close the window to finish\n", request.bundle.c_str(), width, height);
        std::fflush(stdout);
    }

    // Ctrl-C and SIGTERM close the window as the window manager would.
    const InterruptionGuard guard;
    const auto framesPerTick = static_cast<UInt32>(kSampleRate * kTick);
    StereoOutput output;
    AudioTimeStamp time{};
    time.mFlags = kAudioTimeStampSampleTimeValid;
    bool stop = false;
    OSStatus renderStatus = noErr;
    window.run(kTick, [&] {
        if (interruptionRequested())
            stop = true;
        // The component's idle timer (editor idle) runs inside the pump.
        RunCurrentEventLoop(0);
        AudioUnitRenderActionFlags flags = 0;
        const OSStatus status = AudioUnitRender(unit, &flags, &time, 0, framesPerTick, output.list(framesPerTick));
        if (status != noErr && renderStatus == noErr)
            renderStatus = status;
        time.mSampleTime += framesPerTick;
        // The view's size follows the editor's resize requests; the window follows the view.
        double w = 0, h = 0;
        NSViewGetFrameSize(view, &w, &h);
        if (w != width || h != height)
        {
            width = w;
            height = h;
            window.resize(static_cast<int>(w), static_cast<int>(h));
        }
    }, &stop);

    // The last release closes the editor (and any gesture still open).
    CFRelease(view);
    AUListenerDispose(listener);
    AudioUnitUninitialize(unit);
    if (renderStatus != noErr && !request.quiet)
        std::fprintf(stderr, "auhost: warning: rendering failed: %s\n", describeStatus(renderStatus).c_str());
    if (!request.saveOnClose.empty())
    {
        writeFileSafely(request.saveOnClose, stateDocumentBytes(session));
        if (!request.quiet)
            std::printf("wrote %s\n", request.saveOnClose.c_str());
    }
    return 0;
}
