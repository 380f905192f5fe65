// The plug-in's one exported entry point, lv2_descriptor, and the C callbacks
// of its descriptor and extension data.
#include "lv2/DitherCrunchPlugin.h"

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>

#include <cstring>

using DitherCrunchLv2::DitherCrunchPlugin;

namespace {

DitherCrunchPlugin* self(LV2_Handle instance)
{
    return static_cast<DitherCrunchPlugin*>(instance);
}

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features)
{
    return DitherCrunchPlugin::create(rate, features);
}

void connectPort(LV2_Handle instance, uint32_t port, void* data)
{
    self(instance)->connectPort(port, data);
}

void activate(LV2_Handle instance)
{
    self(instance)->activate();
}

void run(LV2_Handle instance, uint32_t frames)
{
    self(instance)->run(frames);
}

void cleanup(LV2_Handle instance)
{
    delete self(instance);
}

LV2_State_Status save(LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle, uint32_t,
                      const LV2_Feature* const*)
{
    return self(instance)->save(store, handle);
}

LV2_State_Status restore(LV2_Handle instance, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                         uint32_t, const LV2_Feature* const*)
{
    return self(instance)->restore(retrieve, handle);
}

LV2_Inline_Display_Image_Surface* render(LV2_Handle instance, uint32_t width, uint32_t maxHeight)
{
    return const_cast<LV2_Inline_Display_Image_Surface*>(self(instance)->render(width, maxHeight));
}

const void* extensionData(const char* uri)
{
    static const LV2_State_Interface state{save, restore};
    static const LV2_Inline_Display_Interface display{render};
    if (!uri)
        return nullptr;
    if (std::strcmp(uri, LV2_STATE__interface) == 0)
        return &state;
    if (std::strcmp(uri, LV2_INLINEDISPLAY__interface) == 0)
        return &display;
    return nullptr;
}

const LV2_Descriptor descriptor = {
    DitherCrunchLv2::kPluginUri, instantiate, connectPort, activate, run, nullptr, cleanup, extensionData,
};

} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return index == 0 ? &descriptor : nullptr;
}
