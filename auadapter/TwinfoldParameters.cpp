// Parameter values and gestures across the adapter: the AudioUnit parameter
// selectors scaled through the mapping, and the effect's automation,
// gestures and display updates turned into AudioUnit notifications.
#include "auadapter/MacOSException.h"
#include "auadapter/ParameterMapping.h"
#include "auadapter/TwinfoldComponent.h"
#include "auadapter/VSTPlugIn.h"

#include <AppKit/NSView.h>

#include <algorithm>
#include <cmath>

namespace
{

AudioUnitParameter parameterOf(AudioUnit unit, int32_t index)
{
    AudioUnitParameter parameter{};
    parameter.mAudioUnit = unit;
    parameter.mParameterID = static_cast<AudioUnitParameterID>(index);
    parameter.mScope = kAudioUnitScope_Global;
    parameter.mElement = 0;
    return parameter;
}

} // namespace

AudioUnitParameterValue TwinfoldComponent::scaleToAUParameter(AudioUnitParameterID id, float value) const
{
    return ::scaleToAUParameter(parameterInfos[id], value);
}

float TwinfoldComponent::scaleFromAUParameter(AudioUnitParameterID id, AudioUnitParameterValue value) const
{
    return ::scaleFromAUParameter(parameterInfos[id], value);
}

float TwinfoldComponent::effectValueFromHost(AudioUnitParameterID id, AudioUnitParameterValue value) const
{
    if (!std::isfinite(value))
        throw MacOSException(kAudioUnitErr_InvalidParameterValue);
    const AudioUnitParameterInfo& info = parameterInfos[id];
    return scaleFromAUParameter(id, std::clamp(value, info.minValue, std::max(info.minValue, info.maxValue)));
}

AudioUnitParameterValue TwinfoldComponent::getAUParameter(AudioUnitParameterID id, AudioUnitScope scope)
{
    if (scope != kAudioUnitScope_Global)
        throw MacOSException(kAudioUnitErr_InvalidScope);
    if (id >= static_cast<AudioUnitParameterID>(parameterTableSize))
        throw MacOSException(kAudioUnitErr_InvalidParameter);
    return scaleToAUParameter(id, plugIn->getParameter(static_cast<int32_t>(id)));
}

void TwinfoldComponent::setAUParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitParameterValue value)
{
    if (scope != kAudioUnitScope_Global)
        throw MacOSException(kAudioUnitErr_InvalidScope);
    if (id >= static_cast<AudioUnitParameterID>(parameterTableSize))
        throw MacOSException(kAudioUnitErr_InvalidParameter);
    plugIn->setParameter(static_cast<int32_t>(id), effectValueFromHost(id, value));
}

void TwinfoldComponent::scheduleParameters(const AudioUnitParameterEvent* events, UInt32 count)
{
    if (!events && count > 0)
        throw MacOSException(paramErr);
    for (UInt32 i = 0; i < count; ++i)
    {
        const AudioUnitParameterEvent& event = events[i];
        if (event.scope != kAudioUnitScope_Global)
            throw MacOSException(kAudioUnitErr_InvalidScope);
        if (event.parameter >= static_cast<AudioUnitParameterID>(parameterTableSize))
            throw MacOSException(kAudioUnitErr_InvalidParameter);
        if (event.eventType == kParameterEvent_Immediate)
            plugIn->setParameter(static_cast<int32_t>(event.parameter),
                                 effectValueFromHost(event.parameter, event.eventValues.immediate.value));
    }
}

void TwinfoldComponent::postParameterEvent(AudioUnitEventType type, int32_t index)
{
    AudioUnitEvent event{};
    event.mEventType = type;
    event.mArgument.mParameter = parameterOf(componentInstance, index);
    AUEventListenerNotify(nullptr, nullptr, &event);
}

void TwinfoldComponent::automate(VSTPlugIn&, int32_t index, float)
{
    const AudioUnitParameter parameter = parameterOf(componentInstance, index);
    const OSStatus status = AUParameterListenerNotify(nullptr, nullptr, &parameter);
    if (status != noErr)
        throw MacOSException(status);
    postParameterEvent(kAudioUnitEvent_ParameterValueChange, index);
}

void TwinfoldComponent::beginEdit(VSTPlugIn&, int32_t index)
{
    postParameterEvent(kAudioUnitEvent_BeginParameterChangeGesture, index);
}

void TwinfoldComponent::endEdit(VSTPlugIn&, int32_t index)
{
    postParameterEvent(kAudioUnitEvent_EndParameterChangeGesture, index);
}

void TwinfoldComponent::updateDisplay(VSTPlugIn&)
{
    if (updateCurrentAUPreset())
    {
        propertyChanged(kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0);
        propertyChanged(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0);
    }
}

void TwinfoldComponent::resizeWindow(VSTPlugIn&, int32_t width, int32_t height)
{
    if (view)
        NSViewSetFrameSize(view, width, height);
}
