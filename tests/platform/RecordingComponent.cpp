// A component for the platform tests: it records every parameter block it
// receives into its instance storage and answers a few selectors, so tests
// can check what the library's calls hand to a component.
#include "RecordingComponent.h"

#include <CoreServices/CoreServices.h>

#include <cstring>

extern "C" __attribute__((visibility("default"))) ComponentResult RecordingEntry(ComponentParameters* params,
                                                                                 Handle storage)
{
    auto instance = reinterpret_cast<ComponentInstance>(params->params[0]);
    if (params->what == kComponentOpenSelect)
    {
        Handle h = NewHandle(sizeof(RecordedCalls));
        if (!h)
            return memFullErr;
        SetComponentInstanceStorage(instance, h);
        storage = h;
    }
    if (!storage)
        return badComponentSelector;
    auto* calls = reinterpret_cast<RecordedCalls*>(*storage);
    RecordedBlock& b = calls->blocks[calls->count % kMaxRecordedBlocks];
    ++calls->count;
    b.what = params->what;
    b.paramSize = params->paramSize;
    const int slots = params->paramSize / 8 + 1;
    std::memcpy(b.params, params->params, sizeof(long) * static_cast<size_t>(slots > 9 ? 9 : slots));
    switch (params->what)
    {
    case kComponentCloseSelect:
        SetComponentInstanceStorage(instance, nullptr);
        DisposeHandle(storage);
        return noErr;
    case kComponentVersionSelect:
        return 0x00020003;
    case kComponentCanDoSelect:
    {
        SInt16 selector;
        std::memcpy(&selector, &params->params[1], sizeof selector);
        return selector == 6 || selector == kComponentCanDoSelect;
    }
    case 6: // get parameter: ID, scope, element, out value
    {
        UInt32 id, scope, element;
        std::memcpy(&id, &params->params[1], 4);
        std::memcpy(&scope, &params->params[2], 4);
        std::memcpy(&element, &params->params[3], 4);
        auto* out = reinterpret_cast<float*>(params->params[4]);
        if (out)
            *out = static_cast<float>(id) * 10.0f + static_cast<float>(scope) + static_cast<float>(element) / 10.0f;
        return noErr;
    }
    case 7: // set parameter: the value comes back as the result, to check it arrived as a float
    {
        float value;
        std::memcpy(&value, &params->params[4], sizeof value);
        return static_cast<ComponentResult>(value * 100.0f);
    }
    default:
        return noErr;
    }
}

// A component whose open fails: the library must close it and hand out nothing.
extern "C" __attribute__((visibility("default"))) ComponentResult FailingEntry(ComponentParameters* params, Handle)
{
    return params->what == kComponentOpenSelect ? -32767 : noErr;
}
