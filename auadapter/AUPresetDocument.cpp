#include "auadapter/AUPresetDocument.h"

#include "auadapter/CFHolder.h"
#include "auadapter/FormatException.h"
#include "auadapter/MacOSException.h"
#include "auadapter/TwinfoldException.h"
#include "platform/Files.h"

#include <cstdio>
#include <limits>
#include <new>
#include <string>
#include <vector>

namespace
{

// Keys are interned constant strings, as CFSTR makes them.
CFStringRef keyString(const char* key)
{
    return __CFStringMakeConstantString(key);
}

} // namespace

CFTypeRef getDictionaryValue(CFDictionaryRef dictionary, const char* key, CFTypeID type)
{
    CFTypeRef value = CFDictionaryGetValue(dictionary, keyString(key));
    if (!value)
        throw TwinfoldException("Missing key in dictionary");
    if (CFGetTypeID(value) != type)
        throw FormatException("Value in dictionary is not of expected type");
    return value;
}

void checkDictionaryInt32(CFDictionaryRef dictionary, const char* key, int32_t expected)
{
    auto number = static_cast<CFNumberRef>(getDictionaryValue(dictionary, key, CFNumberGetTypeID()));
    int32_t value = 0;
    if (!CFNumberGetValue(number, kCFNumberSInt32Type, &value) || value != expected)
        throw FormatException("Data in dictionary is not of expected value");
}

void setDictionaryInt32(CFMutableDictionaryRef dictionary, const char* key, int32_t value)
{
    CFHolder<CFNumberRef> number(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value));
    if (!number)
        throw std::bad_alloc();
    CFDictionarySetValue(dictionary, keyString(key), number.get());
}

CFMutableDictionaryRef createAUPresetDocument(const ComponentDescription& description, size_t length,
                                              const uint8_t* bytes, CFStringRef name)
{
    if (length > static_cast<size_t>(std::numeric_limits<CFIndex>::max()) || (!bytes && length > 0) || !name)
        throw TwinfoldException("Invalid AUPreset contents");
    CFHolder<CFMutableDictionaryRef> document(CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    if (!document)
        throw std::bad_alloc();
    setDictionaryInt32(document.get(), kAUPresetVersionKey, kAUPresetVersion);
    setDictionaryInt32(document.get(), kAUPresetTypeKey, static_cast<int32_t>(description.componentType));
    setDictionaryInt32(document.get(), kAUPresetSubtypeKey, static_cast<int32_t>(description.componentSubType));
    setDictionaryInt32(document.get(), kAUPresetManufacturerKey,
                       static_cast<int32_t>(description.componentManufacturer));
    CFDictionarySetValue(document.get(), keyString(kAUPresetNameKey), name);
    CFHolder<CFDataRef> data(CFDataCreate(kCFAllocatorDefault, bytes, static_cast<CFIndex>(length)));
    if (!data)
        throw std::bad_alloc();
    CFDictionarySetValue(document.get(), keyString(kAUPresetVSTDataKey), data.get());
    return document.release();
}

void saveProperties(CFPropertyListRef list, const FSRef& file)
{
    CFHolder<CFDataRef> xml(CFPropertyListCreateXMLData(kCFAllocatorDefault, list));
    if (!xml)
        throw TwinfoldException("Could not create XML data from property list");
    Files::WriteFork fork;
    if (OSStatus status = fork.open(file))
        throw MacOSException(status);
    const CFIndex length = CFDataGetLength(xml.get());
    if (length > 0)
    {
        if (OSStatus status = fork.write(CFDataGetBytePtr(xml.get()), static_cast<size_t>(length)))
            throw MacOSException(status);
    }
    if (OSStatus status = fork.close())
        throw MacOSException(status);
}

void descendOrCreateFolder(const FSRef& folder, size_t length, const char* name, FSRef& out)
{
    std::u16string wide;
    wide.reserve(length);
    for (size_t i = 0; i < length; ++i)
        wide += static_cast<char16_t>(static_cast<unsigned char>(name[i]));
    OSStatus status = Files::makeRef(folder, wide, out);
    if (status == fnfErr)
        status = Files::createFolder(folder, wide, &out);
    if (status != noErr)
        throw MacOSException(status);
}

CFPropertyListRef createPropertyListFromBytes(const uint8_t* bytes, size_t length)
{
    if (length > static_cast<size_t>(std::numeric_limits<CFIndex>::max()))
        throw TwinfoldException("Could not create property list from XML data");
    CFHolder<CFDataRef> data(CFDataCreate(kCFAllocatorDefault, bytes, static_cast<CFIndex>(length)));
    if (!data)
        throw std::bad_alloc();
    CFStringRef error = nullptr;
    CFPropertyListRef list =
        CFPropertyListCreateFromXMLData(kCFAllocatorDefault, data.get(), kCFPropertyListImmutable, &error);
    if (list)
    {
        if (error)
            CFRelease(error);
        return list;
    }
    CFHolder<CFStringRef> errorText(error);
    char text[200] = {};
    if (errorText && CFStringGetCString(errorText.get(), text, sizeof(text), kCFStringEncodingUTF8) && text[0])
    {
        char message[256];
        std::snprintf(message, sizeof(message), "Could not create property list from XML data (%s)", text);
        throw TwinfoldException(message);
    }
    throw TwinfoldException("Could not create property list from XML data");
}

std::string macRomanString(CFStringRef text, size_t maxLength)
{
    const CFIndex length = CFStringGetLength(text);
    std::vector<char> whole(static_cast<size_t>(length) + 1);
    std::string out;
    if (CFStringGetCString(text, whole.data(), static_cast<CFIndex>(whole.size()), kCFStringEncodingMacRoman))
        out = whole.data();
    else
    {
        for (CFIndex i = 0; i < length && out.size() < maxLength; ++i)
        {
            UniChar c = 0;
            CFStringGetCharacters(text, CFRangeMake(i, 1), &c);
            CFHolder<CFStringRef> one(CFStringCreateWithCharacters(kCFAllocatorDefault, &c, 1));
            char converted[8] = {};
            if (one && CFStringGetCString(one.get(), converted, sizeof(converted), kCFStringEncodingMacRoman) &&
                converted[0] != '\0')
                out += converted[0];
            else
                out += '?';
        }
    }
    if (out.size() > maxLength)
        out.resize(maxLength);
    return out;
}
