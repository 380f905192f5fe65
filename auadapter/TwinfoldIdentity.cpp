// Who the component is and whom it talks to: its configuration keys, its
// registered name and type, the host application, and the answers it gives
// the effect as its VST host.
#include "auadapter/TwinfoldComponent.h"

#include "auadapter/AUPresetDocument.h"
#include "auadapter/MacOSException.h"
#include "auadapter/TwinfoldException.h"
#include "auadapter/VSTPlugIn.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace
{

bool getDictionaryBoolean(CFDictionaryRef dictionary, const char* key)
{
    return CFBooleanGetValue(static_cast<CFBooleanRef>(getDictionaryValue(dictionary, key, CFBooleanGetTypeID())));
}

std::string stringOf(CFStringRef text)
{
    char buffer[1024];
    if (!text || !CFStringGetCString(text, buffer, sizeof(buffer), kCFStringEncodingUTF8))
        return {};
    return buffer;
}

bool versionBelow(CFStringRef version, const char* limit)
{
    CFStringRef other = CFStringCreateWithCString(nullptr, limit, kCFStringEncodingASCII);
    const bool below = CFStringCompare(version, other, kCFCompareCaseInsensitive | kCFCompareNumerically) == kCFCompareLessThan;
    CFRelease(other);
    return below;
}

bool versionAbove(CFStringRef version, const char* limit)
{
    CFStringRef other = CFStringCreateWithCString(nullptr, limit, kCFStringEncodingASCII);
    const bool above = CFStringCompare(version, other, kCFCompareCaseInsensitive | kCFCompareNumerically) == kCFCompareGreaterThan;
    CFRelease(other);
    return above;
}

} // namespace

void TwinfoldComponent::loadConfiguration()
{
    if (!infoDictionary)
        infoDictionary = bundle ? copyInfoDictionary(*bundle) : nullptr;
    if (!infoDictionary)
        throw TwinfoldException("Could not get info dictionary for bundle");
    auto config = static_cast<CFDictionaryRef>(getDictionaryValue(infoDictionary, "TWConfig", CFDictionaryGetTypeID()));
    autoConvertPresets = getDictionaryBoolean(config, "AutoConvertPresets");
    presetIsFXB = getDictionaryBoolean(config, "PresetIsFXB");
    updateNameOnLoad = getDictionaryBoolean(config, "UpdateNameOnLoad");
}

void TwinfoldComponent::tryToIdentifyHostApplication()
{
    hostApplication = kHostUnknown;
    CFBundleRef main = CFBundleGetMainBundle();
    if (!main)
        return;
    CFStringRef identifier = CFBundleGetIdentifier(main);
    CFStringRef versionKey = CFStringCreateWithCString(nullptr, "CFBundleShortVersionString", kCFStringEncodingASCII);
    CFTypeRef version = CFBundleGetValueForInfoDictionaryKey(main, versionKey);
    CFRelease(versionKey);
    if (!identifier || !version || CFGetTypeID(version) != CFStringGetTypeID())
        return;
    const auto versionText = static_cast<CFStringRef>(version);
    const std::string id = stringOf(identifier);
    if (id == "com.apple.logic.pro" || id == "com.apple.logic.express")
    {
        if (versionBelow(versionText, "8.0.0"))
            hostApplication = kHostOldLogic;
        else if (versionAbove(versionText, "8.0.1"))
            hostApplication = kHostLogic8;
    }
    else if (id == "com.apple.garageband")
    {
        if (versionBelow(versionText, "4.2"))
            hostApplication = kHostOldGarageBand;
    }
}

void TwinfoldComponent::getComponentName(char* name)
{
    name[0] = '\0';
    Handle text = NewHandle(256);
    if (!text)
        throw std::bad_alloc();
    ComponentDescription description{};
    const OSErr error = GetComponentInfo(reinterpret_cast<Component>(componentInstance), &description, text, nullptr, nullptr);
    if (error != noErr)
    {
        DisposeHandle(text);
        throw MacOSException(error);
    }
    if (GetHandleSize(text) > 0)
    {
        const auto* pascal = reinterpret_cast<const unsigned char*>(*text);
        const size_t length = std::min<size_t>(pascal[0], std::min<size_t>(255, static_cast<size_t>(GetHandleSize(text)) - 1));
        std::memcpy(name, pascal + 1, length);
        name[length] = '\0';
    }
    DisposeHandle(text);
}

OSType TwinfoldComponent::getComponentType()
{
    ComponentDescription description{};
    const OSErr error = GetComponentInfo(reinterpret_cast<Component>(componentInstance), &description, nullptr, nullptr, nullptr);
    if (error != noErr)
        throw MacOSException(error);
    return description.componentType;
}

// ---- VSTHost ----

void TwinfoldComponent::getVendor(VSTPlugIn&, char* text)
{
    std::strcpy(text, "Velmora Development");
}

void TwinfoldComponent::getProduct(VSTPlugIn&, char* text)
{
    tryToIdentifyHostApplication();
    std::strcpy(text, hostApplication == kHostLogic8 ? "logic" : "Twinfold");
}

int32_t TwinfoldComponent::getVersion(VSTPlugIn&)
{
    return 0x10000;
}

bool TwinfoldComponent::canDo(VSTPlugIn&, const char* query)
{
    static const char* const kAnswered[] = {"sendVstEvents",           "sendVstMidiEvent", "sendVstTimeInfo",
                                            "reportConnectionChanges", "sizeWindow",       "supplyIdle"};
    if (!query)
        return false;
    for (const char* text : kAnswered)
        if (std::strcmp(query, text) == 0)
            return true;
    return false;
}

VstTimeInfo* TwinfoldComponent::getTimeInfo(VSTPlugIn&, int32_t)
{
    return &vstTimeInfo;
}

bool TwinfoldComponent::isIOPinConnected(VSTPlugIn&, bool, int32_t)
{
    return true;
}

void TwinfoldComponent::idle(VSTPlugIn&)
{
}
