// The selector dispatcher, the property-listener and render-notification
// tables it keeps, and the idle timer.
#include "auadapter/TwinfoldComponent.h"

#include "auadapter/MacOSException.h"
#include "auadapter/VSTPlugIn.h"

#include <cstring>

namespace
{

template <typename T> T argument(const ComponentParameters* parameters, int slot)
{
    T value;
    std::memcpy(&value, &parameters->params[slot], sizeof(T));
    return value;
}

} // namespace

void TwinfoldComponent::dispatch(ComponentParameters* p)
{
    switch (p->what)
    {
    case kAudioUnitInitializeSelect:
        if (!plugIn->isResumed())
        {
            plugIn->resume();
            updateInitialDelayAndTailTimes();
        }
        return;
    case kAudioUnitUninitializeSelect:
        if (plugIn->isResumed())
            plugIn->suspend();
        return;
    case kAudioUnitGetPropertyInfoSelect:
    {
        auto* outSize = argument<UInt32*>(p, 4);
        auto* outWritable = argument<Boolean*>(p, 5);
        if (outSize)
            *outSize = 0;
        if (outWritable)
            *outWritable = false;
        bool readable = false, writable = false;
        UInt32 minimumSize = 0, size = 0;
        getPropertyInfo(argument<AudioUnitPropertyID>(p, 1), argument<AudioUnitScope>(p, 2), argument<AudioUnitElement>(p, 3),
                        readable, writable, minimumSize, size);
        if (outSize)
            *outSize = size;
        if (outWritable)
            *outWritable = writable;
        return;
    }
    case kAudioUnitGetPropertySelect:
        getProperty(argument<UInt32*>(p, 5), argument<void*>(p, 4), argument<AudioUnitElement>(p, 3),
                    argument<AudioUnitScope>(p, 2), argument<AudioUnitPropertyID>(p, 1));
        return;
    case kAudioUnitSetPropertySelect:
        setProperty(argument<UInt32>(p, 5), argument<const void*>(p, 4), argument<AudioUnitElement>(p, 3),
                    argument<AudioUnitScope>(p, 2), argument<AudioUnitPropertyID>(p, 1));
        return;
    case kAudioUnitGetParameterSelect:
    {
        auto* out = argument<AudioUnitParameterValue*>(p, 4);
        const AudioUnitParameterValue value = getAUParameter(argument<AudioUnitParameterID>(p, 1), argument<AudioUnitScope>(p, 2));
        if (!out)
            throw MacOSException(paramErr);
        *out = value;
        return;
    }
    case kAudioUnitSetParameterSelect:
        setAUParameter(argument<AudioUnitParameterID>(p, 1), argument<AudioUnitScope>(p, 2),
                       argument<AudioUnitParameterValue>(p, 4));
        return;
    case kAudioUnitResetSelect:
        if (argument<AudioUnitScope>(p, 1) != kAudioUnitScope_Global)
            throw MacOSException(kAudioUnitErr_InvalidScope);
        if (plugIn->isResumed())
        {
            plugIn->suspend();
            plugIn->resume();
            updateInitialDelayAndTailTimes();
        }
        lastRenderSampleTime = kNoRenderTime;
        return;
    case kAudioUnitAddPropertyListenerSelect:
        addPropertyListener(argument<AudioUnitPropertyID>(p, 1), argument<AudioUnitPropertyListenerProc>(p, 2),
                            argument<void*>(p, 3));
        return;
    case kAudioUnitRenderSelect:
        render(argument<AudioUnitRenderActionFlags*>(p, 1), argument<const AudioTimeStamp*>(p, 2), argument<UInt32>(p, 3),
               argument<UInt32>(p, 4), argument<AudioBufferList*>(p, 5));
        return;
    case kAudioUnitAddRenderNotifySelect:
        addRenderNotify(argument<AURenderCallback>(p, 1), argument<void*>(p, 2));
        return;
    case kAudioUnitRemoveRenderNotifySelect:
        removeRenderNotify(argument<AURenderCallback>(p, 1), argument<void*>(p, 2));
        return;
    case kAudioUnitScheduleParametersSelect:
        scheduleParameters(argument<const AudioUnitParameterEvent*>(p, 1), argument<UInt32>(p, 2));
        return;
    case kAudioUnitRemovePropertyListenerWithUserDataSelect:
        removePropertyListener(argument<AudioUnitPropertyID>(p, 1), argument<AudioUnitPropertyListenerProc>(p, 2),
                               argument<void*>(p, 3));
        return;
    case kMusicDeviceMIDIEventSelect:
        queueMIDIEvent(argument<UInt32>(p, 1), argument<UInt32>(p, 2), argument<UInt32>(p, 3), argument<UInt32>(p, 4));
        return;
    default:
        throw MacOSException(badComponentSelector);
    }
}

void TwinfoldComponent::addPropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc, void* refCon)
{
    if (propertyListenerCount >= kMaxPropertyListeners)
        throw MacOSException(memFullErr);
    propertyListeners[propertyListenerCount++] = AUPropertyListener{id, proc, refCon};
}

void TwinfoldComponent::removePropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc, void* refCon)
{
    int32_t kept = 0;
    for (int32_t i = 0; i < propertyListenerCount; ++i)
    {
        const AUPropertyListener& l = propertyListeners[i];
        if (l.fPropertyID == id && l.fListenerProc == proc && l.fListenerRefCon == refCon)
            continue;
        propertyListeners[kept++] = l;
    }
    for (int32_t i = kept; i < propertyListenerCount; ++i)
        propertyListeners[i] = AUPropertyListener{};
    propertyListenerCount = kept;
}

void TwinfoldComponent::addRenderNotify(AURenderCallback proc, void* refCon)
{
    if (renderNotifyCount >= kMaxRenderNotifies)
        throw MacOSException(memFullErr);
    renderNotifies[renderNotifyCount++] = AURenderCallbackStruct{proc, refCon};
}

void TwinfoldComponent::removeRenderNotify(AURenderCallback proc, void* refCon)
{
    int32_t kept = 0;
    for (int32_t i = 0; i < renderNotifyCount; ++i)
    {
        const AURenderCallbackStruct& n = renderNotifies[i];
        if (n.inputProc == proc && n.inputProcRefCon == refCon)
            continue;
        renderNotifies[kept++] = n;
    }
    for (int32_t i = kept; i < renderNotifyCount; ++i)
        renderNotifies[i] = AURenderCallbackStruct{};
    renderNotifyCount = kept;
}

void TwinfoldComponent::idleTimerProc(EventLoopTimerRef, void* userData)
{
    auto* component = static_cast<TwinfoldComponent*>(userData);
    if (component && component->plugIn)
        component->plugIn->idle();
}
