// The host side of an LV2 UI for tests: a URID map, the features a host
// offers (ui:parent, ui:touch, ui:resize) and one ordered log of what the UI
// sends back through write_function, ui:touch and ui:resize.
#pragma once

#include "lv2/CurveMessages.h"

#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct UiEvent
{
    enum class Kind
    {
        write,
        touch,
        resize,
    };
    Kind kind;
    uint32_t port = 0;
    uint32_t protocol = 0;
    bool grabbed = false;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bytes;

    // A control write's float; NaN for anything else.
    float value() const;
};

class UiTestHost
{
public:
    UiTestHost();
    UiTestHost(const UiTestHost&) = delete;
    UiTestHost& operator=(const UiTestHost&) = delete;

    // The features, null-terminated; touch and resize only when asked for,
    // options with ui:scaleFactor when `scale` is above 0.
    const LV2_Feature* const* features(void* parent, bool withTouch = true, bool withResize = true,
                                       float scale = 0.0f);
    static void write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol,
                      const void* buffer);
    LV2UI_Controller controller() { return this; }

    const std::vector<UiEvent>& events() const { return log; }
    void clear() { log.clear(); }
    // The curve-channel message of a write on `control`; Kind::none otherwise.
    DitherCrunchLv2::CurveMessage message(const UiEvent& e) const;
    // The messages on `control` of one kind, in order.
    std::vector<DitherCrunchLv2::CurveMessage> messages(DitherCrunchLv2::CurveMessage::Kind kind) const;
    size_t count(UiEvent::Kind kind) const;

    // What the plug-in sends on `notify`, as port_event's buffer.
    std::vector<uint8_t> curveSet(const int32_t* points);
    std::vector<uint8_t> lastIndexSet(int32_t left, int32_t right);

    LV2_URID map(const char* uri);
    const DitherCrunchLv2::Urids& urids() const { return ids; }

private:
    std::vector<uint8_t> forged(bool (*forge)(LV2_Atom_Forge&, const DitherCrunchLv2::Urids&, const void*),
                                const void* arg);

    std::map<std::string, LV2_URID> uris;
    LV2_URID_Map uridMap{};
    LV2UI_Touch touchData{};
    LV2UI_Resize resizeData{};
    LV2_Feature mapFeature{};
    LV2_Feature parentFeature{};
    LV2_Feature touchFeature{};
    LV2_Feature resizeFeature{};
    float scaleFactor = 0.0f;
    LV2_Options_Option options[2] = {};
    LV2_Feature optionsFeature{};
    const LV2_Feature* list[6] = {};
    DitherCrunchLv2::Urids ids;
    std::vector<UiEvent> log;
};
