// The component's saved state and its current preset: ClassInfo as an
// AudioUnit preset document, CurrentPreset and PresentPreset, and keeping
// the current preset in step with the effect's current program.
#include "auadapter/TwinfoldComponent.h"

#include "auadapter/AUPresetDocument.h"
#include "auadapter/CFHolder.h"
#include "auadapter/EOFException.h"
#include "auadapter/FormatException.h"
#include "auadapter/MacOSException.h"
#include "auadapter/TwinfoldException.h"
#include "auadapter/VSTPlugIn.h"
#include "auadapter/FxPreset.h"

#include <cstring>
#include <new>
#include <string>


bool TwinfoldComponent::updateCurrentAUPreset()
{
    char name[kFxNameMaxLength + 1] = {};
    plugIn->getCurrentProgramName(name);
    CFStringRef fresh = CFStringCreateWithCString(kCFAllocatorDefault, name, kCFStringEncodingMacRoman);
    if (!fresh)
        throw std::bad_alloc();
    if (currentPreset.presetName && CFStringCompare(fresh, currentPreset.presetName, 0) == kCFCompareEqualTo)
    {
        CFRelease(fresh);
        return false;
    }
    if (currentPreset.presetName)
        CFRelease(currentPreset.presetName);
    currentPreset.presetNumber = -1;
    currentPreset.presetName = fresh;
    return true;
}

void TwinfoldComponent::updateCurrentVSTProgramName(CFStringRef name)
{
    const std::string text = macRomanString(name, kFxNameMaxLength);
    plugIn->setCurrentProgramName(text.c_str());
}

CFPropertyListRef TwinfoldComponent::copyClassInfo()
{
    CFHolder<CFMutableDictionaryRef> document(presetIsFXB ? createAUPresetOfCurrentBank(currentPreset.presetName)
                                                          : createAUPresetOfCurrentProgram(currentPreset.presetName));
    setDictionaryInt32(document.get(), kAUPresetProgramNumberKey, plugIn->getCurrentProgram());
    return document.release();
}

void TwinfoldComponent::restoreClassInfo(CFPropertyListRef list)
{
    try
    {
        if (!list || CFGetTypeID(list) != CFDictionaryGetTypeID())
            throw FormatException("Invalid AUPreset format");
        auto document = static_cast<CFDictionaryRef>(list);
        ComponentDescription description{};
        if (OSErr error = GetComponentInfo(reinterpret_cast<Component>(componentInstance), &description, nullptr,
                                           nullptr, nullptr))
            throw MacOSException(error);
        checkDictionaryInt32(document, kAUPresetVersionKey, kAUPresetVersion);
        checkDictionaryInt32(document, kAUPresetTypeKey, static_cast<int32_t>(description.componentType));
        checkDictionaryInt32(document, kAUPresetSubtypeKey, static_cast<int32_t>(description.componentSubType));
        checkDictionaryInt32(document, kAUPresetManufacturerKey,
                             static_cast<int32_t>(description.componentManufacturer));

        int32_t program = 0;
        if (CFTypeRef number = CFDictionaryGetValue(document, CFSTR(kAUPresetProgramNumberKey)))
        {
            if (CFGetTypeID(number) != CFNumberGetTypeID())
                throw FormatException("Value in dictionary is not of expected type");
            int32_t value = 0;
            CFNumberGetValue(static_cast<CFNumberRef>(number), kCFNumberSInt32Type, &value);
            if (value >= 0 && value < plugIn->getProgramCount())
                program = value;
        }
        // The whole document is checked before the effect changes, so that a
        // document without its state does not switch programs.
        auto name = static_cast<CFStringRef>(getDictionaryValue(document, kAUPresetNameKey, CFStringGetTypeID()));
        auto data = static_cast<CFDataRef>(getDictionaryValue(document, kAUPresetVSTDataKey, CFDataGetTypeID()));

        const int32_t remembered = plugIn->getCurrentProgram();
        plugIn->setCurrentProgram(program);
        try
        {
            plugIn->loadFXPOrFXB(static_cast<size_t>(CFDataGetLength(data)), CFDataGetBytePtr(data));
        }
        catch (...)
        {
            plugIn->setCurrentProgram(remembered);
            throw;
        }
        if (updateNameOnLoad)
            updateCurrentVSTProgramName(name);
    }
    catch (const FormatException&)
    {
        throw MacOSException(kAudioUnitErr_InvalidPropertyValue);
    }
    catch (const EOFException&)
    {
        throw MacOSException(kAudioUnitErr_InvalidPropertyValue);
    }
    updateCurrentAUPreset();
    currentPreset.presetNumber = -1;
    propertyChanged(kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0);
    propertyChanged(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0);
}

void TwinfoldComponent::getCurrentPreset(UInt32 givenSize, UInt32* size, void* data, bool retainName)
{
    updateCurrentAUPreset();
    if (givenSize < sizeof(AUPreset))
    {
        std::memcpy(data, &currentPreset.presetNumber, sizeof(currentPreset.presetNumber));
        *size = sizeof(currentPreset.presetNumber);
        return;
    }
    std::memcpy(data, &currentPreset, sizeof(AUPreset));
    *size = sizeof(AUPreset);
    if (retainName && currentPreset.presetName)
        CFRetain(currentPreset.presetName);
}

void TwinfoldComponent::setCurrentPreset(UInt32 size, const void* data)
{
    AUPreset preset{};
    std::memcpy(&preset, data, size < sizeof(AUPreset) ? sizeof(preset.presetNumber) : sizeof(AUPreset));
    CFStringRef name = size >= sizeof(AUPreset) ? preset.presetName : nullptr;
    if (name && CFGetTypeID(name) != CFStringGetTypeID())
        throw MacOSException(kAudioUnitErr_InvalidPropertyValue);

    if (preset.presetNumber >= 0)
    {
        if (!factoryPresetArray || CFArrayGetCount(factoryPresetArray) <= preset.presetNumber)
            throw MacOSException(kAudioUnitErr_InvalidPropertyValue);
        const int32_t index = preset.presetNumber;
        CFDataRef record = factoryPresetData[index];
        plugIn->loadFXPOrFXB(static_cast<size_t>(CFDataGetLength(record)), CFDataGetBytePtr(record));
        CFRetain(factoryPresets[index].presetName);
        if (currentPreset.presetName)
            CFRelease(currentPreset.presetName);
        currentPreset = factoryPresets[index];
    }
    else
    {
        if (name)
            updateCurrentVSTProgramName(name);
        if (!updateCurrentAUPreset() && currentPreset.presetNumber == -1)
            return;
        currentPreset.presetNumber = -1;
    }
    propertyChanged(kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0);
    propertyChanged(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0);
}
