// The property surface: getPropertyInfo decides scope, element, access and
// sizes; getProperty and setProperty check the caller's buffer against it and
// then read or change the component. Change notifications go to the
// registered listeners, or out as a broadcast when none is registered.
#include "auadapter/MacOSException.h"
#include "auadapter/PropertyValues.h"
#include "auadapter/TwinfoldComponent.h"
#include "auadapter/VSTPlugIn.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{

// Slices above this many frames are refused: the buffers would take gigabytes.
constexpr UInt32 kMaxSliceFrames = 1u << 20;

using PropertyValues::read;
using PropertyValues::requireGlobal;
using PropertyValues::write;

} // namespace

void TwinfoldComponent::checkBusScopeAndElement(AudioUnitScope scope, AudioUnitElement element) const
{
    if (scope == kAudioUnitScope_Global || scope == kAudioUnitScope_Output)
    {
        if (element >= static_cast<AudioUnitElement>(outputBusCount))
            throw MacOSException(kAudioUnitErr_InvalidElement);
    }
    else if (scope == kAudioUnitScope_Input)
    {
        if (element >= static_cast<AudioUnitElement>(inputBusCount))
            throw MacOSException(kAudioUnitErr_InvalidElement);
    }
    else
        throw MacOSException(kAudioUnitErr_InvalidScope);
}

void TwinfoldComponent::checkInputElement(AudioUnitScope scope, AudioUnitElement element) const
{
    if (scope != kAudioUnitScope_Input)
        throw MacOSException(kAudioUnitErr_InvalidScope);
    if (element >= static_cast<AudioUnitElement>(inputBusCount))
        throw MacOSException(kAudioUnitErr_InvalidElement);
}

void TwinfoldComponent::getPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                        bool& readable, bool& writable, UInt32& minimumSize, UInt32& size)
{
    readable = true;
    writable = false;
    auto sizes = [&](UInt32 minimum, UInt32 reported) {
        minimumSize = minimum;
        size = reported;
    };
    switch (id)
    {
    case kAudioUnitProperty_CocoaUI:
        getCocoaUIPropertyInfo(scope, readable, writable, minimumSize, size);
        return;
    case kAudioUnitProperty_MakeConnection:
        checkInputElement(scope, element);
        readable = false;
        writable = true;
        sizes(sizeof(AudioUnitConnection), sizeof(AudioUnitConnection));
        return;
    case kAudioUnitProperty_SampleRate:
    case kAudioUnitProperty_StreamFormat:
        checkBusScopeAndElement(scope, element);
        writable = !(scope == kAudioUnitScope_Input && inputConnections[element].sourceAudioUnit);
        if (id == kAudioUnitProperty_SampleRate)
            sizes(sizeof(Float64), sizeof(Float64));
        else
            sizes(sizeof(AudioStreamBasicDescription), sizeof(AudioStreamBasicDescription));
        return;
    case kAudioUnitProperty_ParameterList:
    {
        const UInt32 bytes = scope == kAudioUnitScope_Global ? 4u * static_cast<UInt32>(auParameterCount) : 0u;
        sizes(bytes, bytes);
        return;
    }
    case kAudioUnitProperty_ParameterInfo:
        requireGlobal(scope);
        if (element >= static_cast<AudioUnitElement>(parameterTableSize))
            throw MacOSException(kAudioUnitErr_InvalidElement);
        sizes(sizeof(AudioUnitParameterInfo), sizeof(AudioUnitParameterInfo));
        return;
    case kAudioUnitProperty_ElementCount:
        sizes(sizeof(UInt32), sizeof(UInt32));
        return;
    case kAudioUnitProperty_Latency:
        requireGlobal(scope);
        sizes(sizeof(Float64), sizeof(Float64));
        return;
    case kAudioUnitProperty_MaximumFramesPerSlice:
        requireGlobal(scope);
        writable = true;
        sizes(sizeof(UInt32), sizeof(UInt32));
        return;
    case kAudioUnitProperty_ParameterValueStrings:
        requireGlobal(scope);
        if (element >= static_cast<AudioUnitElement>(parameterTableSize))
            throw MacOSException(kAudioUnitErr_InvalidElement);
        if (!parameterValueStrings[element])
            throw MacOSException(kAudioUnitErr_InvalidParameter);
        sizes(sizeof(CFArrayRef), sizeof(CFArrayRef));
        return;
    case kAudioUnitProperty_TailTime:
        requireGlobal(scope);
        if (!hasTail)
            throw MacOSException(kAudioUnitErr_InvalidProperty);
        sizes(sizeof(Float64), sizeof(Float64));
        return;
    case kAudioUnitProperty_SetRenderCallback:
        checkInputElement(scope, element);
        readable = false;
        writable = true;
        sizes(sizeof(AURenderCallbackStruct), sizeof(AURenderCallbackStruct));
        return;
    case kAudioUnitProperty_HostCallbacks:
        requireGlobal(scope);
        writable = true;
        sizes(0, sizeof(HostCallbackInfo));
        return;
    default:
        if (getStatePropertyInfo(id, scope, element, readable, writable, minimumSize, size))
            return;
        throw MacOSException(kAudioUnitErr_InvalidProperty);
    }
}

void TwinfoldComponent::getProperty(UInt32* ioSize, void* data, AudioUnitElement element, AudioUnitScope scope,
                                    AudioUnitPropertyID id)
{
    bool readable = false, writable = false;
    UInt32 minimumSize = 0, size = 0;
    getPropertyInfo(id, scope, element, readable, writable, minimumSize, size);
    if (!readable)
        throw MacOSException(kAudioUnitErr_InvalidProperty);
    // Without a size the caller's buffer cannot be checked.
    if (!ioSize)
        throw MacOSException(paramErr);
    const UInt32 given = *ioSize;
    *ioSize = minimumSize;
    if (!data)
        return;
    if (given < minimumSize)
        throw MacOSException(kAudioUnitErr_InvalidPropertyValue);

    switch (id)
    {
    case kAudioUnitProperty_CocoaUI:
        getCocoaUIProperty(data);
        return;
    case kAudioUnitProperty_SampleRate:
        write(data, streamFormat.mSampleRate);
        return;
    case kAudioUnitProperty_StreamFormat:
        streamFormat.mChannelsPerFrame = static_cast<UInt32>(
            scope == kAudioUnitScope_Input ? getInputBusChannelCount(channelConfigIndex, static_cast<int32_t>(element))
                                           : getOutputBusChannelCount(channelConfigIndex, static_cast<int32_t>(element)));
        write(data, streamFormat);
        return;
    case kAudioUnitProperty_ParameterList:
        if (scope == kAudioUnitScope_Global)
            std::memcpy(data, auParameterList, 4u * static_cast<size_t>(auParameterCount));
        return;
    case kAudioUnitProperty_ParameterInfo:
        write(data, parameterInfos[element]);
        return;
    case kAudioUnitProperty_ElementCount:
    {
        const UInt32 count = scope == kAudioUnitScope_Input    ? static_cast<UInt32>(inputBusCount)
                             : scope == kAudioUnitScope_Output ? static_cast<UInt32>(outputBusCount)
                                                               : 0u;
        write(data, count);
        return;
    }
    case kAudioUnitProperty_Latency:
        latencySeconds = plugIn->getInitialDelay() / streamFormat.mSampleRate;
        write(data, latencySeconds);
        return;
    case kAudioUnitProperty_MaximumFramesPerSlice:
        write(data, static_cast<UInt32>(maxFramesPerSlice));
        return;
    case kAudioUnitProperty_ParameterValueStrings:
        CFRetain(parameterValueStrings[element]);
        write(data, parameterValueStrings[element]);
        return;
    case kAudioUnitProperty_TailTime:
        tailSeconds = static_cast<Float64>(plugIn->getTailSize()) / streamFormat.mSampleRate;
        write(data, tailSeconds);
        return;
    case kAudioUnitProperty_HostCallbacks:
    {
        const UInt32 count = std::min<UInt32>(given, sizeof(HostCallbackInfo));
        std::memcpy(data, &hostCallbacks, count);
        *ioSize = count;
        return;
    }
    default:
        if (getStateProperty(id, scope, element, given, ioSize, data))
            return;
        throw MacOSException(kAudioUnitErr_InvalidProperty);
    }
}

void TwinfoldComponent::setProperty(UInt32 size, const void* data, AudioUnitElement element, AudioUnitScope scope,
                                    AudioUnitPropertyID id)
{
    bool readable = false, writable = false;
    UInt32 minimumSize = 0, reported = 0;
    getPropertyInfo(id, scope, element, readable, writable, minimumSize, reported);
    if (!writable)
        throw MacOSException(kAudioUnitErr_InvalidProperty);
    if (size < minimumSize)
        throw MacOSException(kAudioUnitErr_InvalidPropertyValue);
    if (!data && (size > 0 || minimumSize > 0))
        throw MacOSException(paramErr);

    switch (id)
    {
    case kAudioUnitProperty_SampleRate:
    {
        const auto rate = read<Float64>(data);
        if (!(rate > 0.0) || !std::isfinite(rate))
            throw MacOSException(kAudioUnitErr_InvalidPropertyValue);
        updateSampleRate(rate);
        return;
    }
    case kAudioUnitProperty_StreamFormat:
        updateFormat(scope, element, read<AudioStreamBasicDescription>(data));
        return;
    case kAudioUnitProperty_MaximumFramesPerSlice:
    {
        const auto frames = read<UInt32>(data);
        if (frames == 0 || frames > kMaxSliceFrames)
            throw MacOSException(kAudioUnitErr_InvalidPropertyValue);
        updateMaxFramesPerSlice(frames);
        return;
    }
    case kAudioUnitProperty_MakeConnection:
        setConnection(element, read<AudioUnitConnection>(data));
        return;
    case kAudioUnitProperty_SetRenderCallback:
        setRenderCallback(element, read<AURenderCallbackStruct>(data));
        return;
    case kAudioUnitProperty_HostCallbacks:
    {
        HostCallbackInfo callbacks{};
        if (size > 0)
            std::memcpy(&callbacks, data, std::min<size_t>(size, sizeof(HostCallbackInfo)));
        if (std::memcmp(&callbacks, &hostCallbacks, sizeof(HostCallbackInfo)) == 0)
            return;
        hostCallbacks = callbacks;
        propertyChanged(kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0);
        return;
    }
    default:
        if (setStateProperty(id, scope, element, size, data))
            return;
        throw MacOSException(kAudioUnitErr_InvalidProperty);
    }
}

void TwinfoldComponent::setConnection(AudioUnitElement element, const AudioUnitConnection& connection)
{
    if (connection.destInputNumber != element)
        throw MacOSException(kAudioUnitErr_InvalidPropertyValue);
    // A unit feeding itself would pull its own input forever.
    if (connection.sourceAudioUnit && connection.sourceAudioUnit == componentInstance)
        throw MacOSException(kAudioUnitErr_InvalidPropertyValue);
    if (connection.sourceAudioUnit)
    {
        AudioStreamBasicDescription format{};
        UInt32 size = sizeof(format);
        const OSStatus status = AudioUnitGetProperty(connection.sourceAudioUnit, kAudioUnitProperty_StreamFormat,
                                                     kAudioUnitScope_Output, connection.sourceOutputNumber, &format, &size);
        if (status != noErr)
            throw MacOSException(status);
        updateFormat(kAudioUnitScope_Input, element, format);
    }
    AudioUnitConnection& stored = inputConnections[element];
    bool connectionChanged = false, callbackChanged = false;
    if (stored.sourceAudioUnit != connection.sourceAudioUnit || stored.sourceOutputNumber != connection.sourceOutputNumber)
    {
        stored = connection;
        connectionChanged = true;
    }
    AURenderCallbackStruct& callback = inputCallbacks[element];
    if (callback.inputProc)
    {
        callback = AURenderCallbackStruct{};
        callbackChanged = true;
    }
    if (connectionChanged)
        propertyChanged(kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, element);
    if (callbackChanged)
        propertyChanged(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, element);
}

void TwinfoldComponent::setRenderCallback(AudioUnitElement element, const AURenderCallbackStruct& callback)
{
    AURenderCallbackStruct& stored = inputCallbacks[element];
    bool changed = false;
    if (stored.inputProc != callback.inputProc || stored.inputProcRefCon != callback.inputProcRefCon)
    {
        stored = callback;
        changed = true;
    }
    AudioUnitConnection& connection = inputConnections[element];
    if (connection.sourceAudioUnit)
    {
        connection.sourceAudioUnit = nullptr;
        connection.sourceOutputNumber = 0;
        propertyChanged(kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, element);
    }
    if (changed)
        propertyChanged(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, element);
}

void TwinfoldComponent::propertyChanged(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element)
{
    if (propertyListenerCount == 0)
    {
        AudioUnitEvent event{};
        event.mEventType = kAudioUnitEvent_PropertyChange;
        event.mArgument.mProperty.mAudioUnit = componentInstance;
        event.mArgument.mProperty.mPropertyID = id;
        event.mArgument.mProperty.mScope = scope;
        event.mArgument.mProperty.mElement = element;
        AUEventListenerNotify(nullptr, nullptr, &event);
        return;
    }
    // A listener may add or remove listeners: the count is read afresh each time.
    for (int32_t i = 0; i < propertyListenerCount; ++i)
    {
        const AUPropertyListener listener = propertyListeners[i];
        if (listener.fPropertyID == id && listener.fListenerProc)
            listener.fListenerProc(listener.fListenerRefCon, componentInstance, id, scope, element);
    }
}
