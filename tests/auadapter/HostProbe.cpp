// A host program the identification test places inside .app folders: it
// opens the component bundle given on the command line and prints the host
// code the component decided on and the product string the effect was told.
#include "RecordingEffect.h"
#include "auadapter/TwinfoldComponent.h"

#include <AudioUnit/AudioUnit.h>
#include <CoreServices/CoreServices.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace
{

// The component's state is read through its instance storage; the class's
// type information lives in the component, so the sanitizer's type check is
// left out here.
__attribute__((no_sanitize("vptr"))) int hostCodeOf(AudioUnit unit)
{
    return reinterpret_cast<const TwinfoldComponent*>(GetComponentInstanceStorage(unit))->hostApplication;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    void* module = dlopen(argv[2], RTLD_NOW);
    if (!module)
        return 3;
    RecordingEffectControl* control = reinterpret_cast<RecordingEffectControlFunction>(dlsym(module, "recordingEffectControl"))();
    FSRef ref{};
    if (FSPathMakeRef(reinterpret_cast<const UInt8*>(argv[1]), &ref, nullptr) != noErr || RegisterComponentFileRef(&ref, 0) != noErr)
        return 4;
    const auto subtype = static_cast<OSType>(std::strtoul(argv[3], nullptr, 10));
    ComponentDescription looking{kAudioUnitType_MusicEffect, subtype, 0, 0, 0};
    AudioUnit unit = nullptr;
    Component component = FindNextComponent(nullptr, &looking);
    if (!component || OpenAComponent(component, &unit) != noErr)
        return 5;
    std::printf("%d %s\n", hostCodeOf(unit), control->product);
    CloseComponent(unit);
    return 0;
}
