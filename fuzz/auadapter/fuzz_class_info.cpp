// Sets random and mutated documents as the ClassInfo of a live component.
// The first byte chooses how the rest is used:
//   even: the bytes are a property list (XML or binary), set as it is;
//   odd:  the bytes are the "vstdata" record of an otherwise valid document.
// Any result code is fine; a crash or a sanitizer report is not. After each
// input the unit must still answer its state and its current preset.
#include "FuzzComponent.h"

#include <cstdlib>

namespace
{

AudioUnit unit = nullptr;

CFNumberRef number(int32_t value)
{
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value);
}

CFPropertyListRef documentAround(const uint8_t* record, size_t length)
{
    CFMutableDictionaryRef document =
        CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    const int32_t values[] = {1, 0x61756D66, 0x4B77517A, 0x54726E62};
    const char* keys[] = {"version", "type", "subtype", "manufacturer"};
    for (int i = 0; i < 4; ++i)
    {
        CFNumberRef n = number(values[i]);
        CFDictionarySetValue(document, __CFStringMakeConstantString(keys[i]), n);
        CFRelease(n);
    }
    CFDictionarySetValue(document, CFSTR("name"), CFSTR("Fuzz"));
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, record, static_cast<CFIndex>(length));
    CFDictionarySetValue(document, CFSTR("vstdata"), data);
    CFRelease(data);
    return document;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (OpenAComponent(FuzzComponent::instance().component, &unit) != noErr)
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    CFPropertyListRef document = nullptr;
    if (data[0] & 1)
        document = documentAround(data + 1, size - 1);
    else
    {
        CFDataRef bytes = CFDataCreate(kCFAllocatorDefault, data + 1, static_cast<CFIndex>(size - 1));
        document = CFPropertyListCreateFromXMLData(kCFAllocatorDefault, bytes, kCFPropertyListImmutable, nullptr);
        CFRelease(bytes);
    }
    AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &document, sizeof(document));
    if (document)
        CFRelease(document);

    CFPropertyListRef state = nullptr;
    UInt32 stateSize = sizeof(state);
    if (AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state, &stateSize) != noErr ||
        !state)
        std::abort();
    CFRelease(state);
    AUPreset preset{};
    UInt32 presetSize = sizeof(preset);
    if (AudioUnitGetProperty(unit, kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &preset, &presetSize) !=
            noErr ||
        !preset.presetName)
        std::abort();
    CFRelease(preset.presetName);
    return 0;
}
