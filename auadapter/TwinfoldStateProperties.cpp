// The property rows of the saved state and the presets, and the remaining
// rows of the property table: channel table, bypass, render error, element
// names, value texts and the instrument count.
#include "auadapter/TwinfoldComponent.h"

#include "auadapter/AUPresetDocument.h"
#include "auadapter/MacOSException.h"
#include "auadapter/PropertyValues.h"
#include "auadapter/VSTPlugIn.h"

#include <cstring>
#include <new>
#include <string>

namespace
{

using PropertyValues::read;
using PropertyValues::requireGlobal;
using PropertyValues::write;

// Room the effect may fill when it turns a value into text; only the first
// 24 characters are taken.
constexpr size_t kValueTextBufferSize = 1024;
constexpr size_t kValueTextLength = 24;
constexpr size_t kStringBufferSize = 2048;

} // namespace

bool TwinfoldComponent::getStatePropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
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
    case kAudioUnitProperty_ClassInfo:
        requireGlobal(scope);
        writable = true;
        sizes(sizeof(CFPropertyListRef), sizeof(CFPropertyListRef));
        return true;
    case kAudioUnitProperty_SupportedNumChannels:
        if (!uniformBusWidths)
            throw MacOSException(kAudioUnitErr_InvalidProperty);
        requireGlobal(scope);
        sizes(kChannelConfigCount * sizeof(AUChannelInfo), kChannelConfigCount * sizeof(AUChannelInfo));
        return true;
    case kAudioUnitProperty_BypassEffect:
        requireGlobal(scope);
        if (!canBypass)
            throw MacOSException(kAudioUnitErr_InvalidProperty);
        writable = true;
        sizes(sizeof(UInt32), sizeof(UInt32));
        return true;
    case kAudioUnitProperty_LastRenderError:
        requireGlobal(scope);
        sizes(sizeof(OSStatus), sizeof(OSStatus));
        return true;
    case kAudioUnitProperty_FactoryPresets:
        requireGlobal(scope);
        if (!factoryPresetArray || CFArrayGetCount(factoryPresetArray) < 1)
            throw MacOSException(kAudioUnitErr_InvalidProperty);
        sizes(sizeof(CFArrayRef), sizeof(CFArrayRef));
        return true;
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
        requireGlobal(scope);
        writable = true;
        sizes(sizeof(SInt32), sizeof(AUPreset));
        return true;
    case kAudioUnitProperty_ElementName:
    {
        if (!inputBusNames[channelConfigIndex][0] && !outputBusNames[channelConfigIndex][0])
            throw MacOSException(kAudioUnitErr_InvalidProperty);
        if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output)
            throw MacOSException(kAudioUnitErr_InvalidScope);
        const bool input = scope == kAudioUnitScope_Input;
        const int32_t busCount = input ? inputBusCount : outputBusCount;
        if (element >= static_cast<AudioUnitElement>(busCount) || element >= static_cast<AudioUnitElement>(kMaxBuses) ||
            !(input ? inputBusNames : outputBusNames)[channelConfigIndex][element])
            throw MacOSException(kAudioUnitErr_InvalidElement);
        sizes(sizeof(CFStringRef), sizeof(CFStringRef));
        return true;
    }
    case kAudioUnitProperty_ParameterStringFromValue:
    case kAudioUnitProperty_ParameterValueFromString:
        requireGlobal(scope);
        if (element >= static_cast<AudioUnitElement>(plugIn->getParameterCount()))
            throw MacOSException(kAudioUnitErr_InvalidElement);
        if (!hasExtensions)
            throw MacOSException(kAudioUnitErr_InvalidProperty);
        if (id == kAudioUnitProperty_ParameterStringFromValue)
            sizes(sizeof(AudioUnitParameterStringFromValue), sizeof(AudioUnitParameterStringFromValue));
        else
            sizes(sizeof(AudioUnitParameterValueFromString), sizeof(AudioUnitParameterValueFromString));
        return true;
    case kMusicDeviceProperty_InstrumentCount:
        requireGlobal(scope);
        sizes(sizeof(UInt32), sizeof(UInt32));
        return true;
    default:
        return false;
    }
}

bool TwinfoldComponent::getStateProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                         UInt32 givenSize, UInt32* size, void* data)
{
    switch (id)
    {
    case kAudioUnitProperty_ClassInfo:
        write(data, copyClassInfo());
        return true;
    case kAudioUnitProperty_SupportedNumChannels:
    {
        AUChannelInfo channels[kChannelConfigCount];
        for (int32_t config = 0; config < kChannelConfigCount; ++config)
        {
            channels[config].inChannels =
                static_cast<SInt16>(inputBusCounts[config] > 0 ? getInputBusChannelCount(config, 0) : 0);
            channels[config].outChannels = static_cast<SInt16>(outputBusCounts[config] > 0 ? 2 : 0);
        }
        std::memcpy(data, channels, sizeof(channels));
        return true;
    }
    case kAudioUnitProperty_BypassEffect:
        write(data, static_cast<UInt32>(isBypassed ? 1 : 0));
        return true;
    case kAudioUnitProperty_LastRenderError:
        write(data, static_cast<OSStatus>(noErr));
        return true;
    case kAudioUnitProperty_FactoryPresets:
        CFRetain(factoryPresetArray);
        write(data, factoryPresetArray);
        return true;
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
        getCurrentPreset(givenSize, size, data, id == kAudioUnitProperty_PresentPreset);
        return true;
    case kAudioUnitProperty_ElementName:
    {
        CFStringRef name = (scope == kAudioUnitScope_Input ? inputBusNames : outputBusNames)[channelConfigIndex][element];
        CFRetain(name);
        write(data, name);
        return true;
    }
    case kAudioUnitProperty_ParameterStringFromValue:
    {
        auto request = read<AudioUnitParameterStringFromValue>(data);
        getParameterStringFromValue(request);
        write(data, request);
        return true;
    }
    case kAudioUnitProperty_ParameterValueFromString:
    {
        auto request = read<AudioUnitParameterValueFromString>(data);
        getParameterValueFromString(request);
        write(data, request);
        return true;
    }
    case kMusicDeviceProperty_InstrumentCount:
        write(data, static_cast<UInt32>(0));
        return true;
    default:
        return false;
    }
}

bool TwinfoldComponent::setStateProperty(AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement, UInt32 size,
                                         const void* data)
{
    switch (id)
    {
    case kAudioUnitProperty_ClassInfo:
        restoreClassInfo(read<CFPropertyListRef>(data));
        return true;
    case kAudioUnitProperty_BypassEffect:
        isBypassed = read<UInt32>(data) != 0;
        plugIn->setBypass(isBypassed);
        return true;
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
        setCurrentPreset(size, data);
        return true;
    default:
        return false;
    }
}

void TwinfoldComponent::getParameterStringFromValue(AudioUnitParameterStringFromValue& request)
{
    const int32_t parameter = static_cast<int32_t>(request.inParamID);
    if (request.inParamID >= static_cast<AudioUnitParameterID>(plugIn->getParameterCount()))
        throw MacOSException(kAudioUnitErr_InvalidParameter);
    request.outString = nullptr;
    char text[kValueTextBufferSize] = {};
    if (!request.inValue)
        plugIn->getParameterDisplay(parameter, text);
    else
    {
        const float value = effectValueFromHost(request.inParamID, *request.inValue);
        std::memcpy(text, &value, sizeof(value));
        if (plugIn->vendorSpecific(kExtensionValueToString, parameter, text, 0.0f) == 0)
            throw MacOSException(kAudioUnitErr_InvalidProperty);
    }
    text[kValueTextLength] = '\0';
    const char* start = text;
    while (*start == ' ')
        ++start;
    CFStringRef string = CFStringCreateWithCString(kCFAllocatorDefault, start, kCFStringEncodingMacRoman);
    if (!string)
        throw std::bad_alloc();
    request.outString = string;
}

void TwinfoldComponent::getParameterValueFromString(AudioUnitParameterValueFromString& request)
{
    if (request.inParamID >= static_cast<AudioUnitParameterID>(plugIn->getParameterCount()))
        throw MacOSException(kAudioUnitErr_InvalidParameter);
    request.outValue = 0.0f;
    if (!request.inString || CFGetTypeID(request.inString) != CFStringGetTypeID())
        throw MacOSException(kAudioUnitErr_InvalidPropertyValue);
    char text[kStringBufferSize] = {};
    const std::string converted = macRomanString(request.inString, kStringBufferSize - 1);
    std::memcpy(text, converted.data(), converted.size());
    if (plugIn->vendorSpecific(kExtensionStringToValue, static_cast<int32_t>(request.inParamID), text, 0.0f) == 0)
        throw MacOSException(kAudioUnitErr_InvalidProperty);
    float value = 0.0f;
    std::memcpy(&value, text, sizeof(value));
    request.outValue = scaleToAUParameter(request.inParamID, value);
}
