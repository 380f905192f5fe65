// The UI module's entry: the descriptor of the one UI it holds, whose C
// callbacks pass to a DitherCrunchUi and never let an exception out.
#include "lv2/ui/DitherCrunchUi.h"

#include <cstring>

namespace
{
LV2UI_Handle instantiate(const LV2UI_Descriptor* /*descriptor*/, const char* pluginUri, const char* /*bundlePath*/,
                         LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features)
{
    if (!widget || (pluginUri && std::strcmp(pluginUri, DitherCrunchLv2::kPluginUri) != 0))
        return nullptr;
    try
    {
        auto ui = DitherCrunchUi::create(write, controller, features);
        if (!ui)
            return nullptr;
        *widget = ui->widget();
        return ui.release();
    }
    catch (...)
    {
        return nullptr;
    }
}

void cleanup(LV2UI_Handle handle)
{
    try
    {
        delete static_cast<DitherCrunchUi*>(handle);
    }
    catch (...)
    {
    }
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer)
{
    try
    {
        if (handle)
            static_cast<DitherCrunchUi*>(handle)->portEvent(port, size, protocol, buffer);
    }
    catch (...)
    {
    }
}

int idle(LV2UI_Handle handle)
{
    try
    {
        return handle ? static_cast<DitherCrunchUi*>(handle)->idle() : 1;
    }
    catch (...)
    {
        return 0;
    }
}

const LV2UI_Idle_Interface idleInterface = {idle};

const void* extensionData(const char* uri)
{
    if (uri && std::strcmp(uri, LV2_UI__idleInterface) == 0)
        return &idleInterface;
    return nullptr;
}

const LV2UI_Descriptor descriptor = {
    DitherCrunchLv2::kUiUri, instantiate, cleanup, portEvent, extensionData,
};
}

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
    return index == 0 ? &descriptor : nullptr;
}
