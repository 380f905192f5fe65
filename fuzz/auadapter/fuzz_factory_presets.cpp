// Feeds the factory preset list file and its documents to a component as it
// opens. The input is split at the first two 0xFF bytes: the list file, then
// a document written as "A.aupreset", then one written as "B.aupreset" (the
// seeds name them in their lists). Open may fail with any result code; a
// unit that opens must answer FactoryPresets and select each preset without
// crashing.
#include "FuzzComponent.h"

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

namespace
{

void write(const fs::path& file, const uint8_t* begin, const uint8_t* end)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(begin), static_cast<std::streamsize>(end - begin));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzComponent& component = FuzzComponent::instance();
    const uint8_t* end = data + size;
    const uint8_t* parts[4] = {data, end, end, end};
    int found = 1;
    for (const uint8_t* p = data; p < end && found < 3; ++p)
        if (*p == 0xFF)
            parts[found++] = p;
    write(component.resources() / "TWFactoryPresets.txt", parts[0], parts[1]);
    write(component.resources() / "A.aupreset", parts[1] == end ? end : parts[1] + 1, parts[2]);
    write(component.resources() / "B.aupreset", parts[2] == end ? end : parts[2] + 1, end);

    AudioUnit unit = nullptr;
    if (OpenAComponent(component.component, &unit) != noErr)
        return 0;
    CFArrayRef presets = nullptr;
    UInt32 presetsSize = sizeof(presets);
    if (AudioUnitGetProperty(unit, kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, &presets, &presetsSize) ==
        noErr)
    {
        const CFIndex count = CFArrayGetCount(presets);
        if (count < 1 || count > 128)
            std::abort();
        for (SInt32 i = 0; i < count; ++i)
        {
            AUPreset preset{i, nullptr};
            AudioUnitSetProperty(unit, kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0, &preset, sizeof(SInt32));
        }
        CFRelease(presets);
    }
    CloseComponent(unit);
    return 0;
}
