#include "tests/lv2/ui/UiTestHost.h"

#include <lv2/atom/util.h>

#include <cmath>
#include <cstring>
#include <limits>

using namespace DitherCrunchLv2;

float UiEvent::value() const
{
    float v = std::numeric_limits<float>::quiet_NaN();
    if (kind == Kind::write && protocol == 0 && bytes.size() == sizeof v)
        std::memcpy(&v, bytes.data(), sizeof v);
    return v;
}

UiTestHost::UiTestHost()
{
    uridMap.handle = this;
    uridMap.map = [](LV2_URID_Map_Handle h, const char* uri) { return static_cast<UiTestHost*>(h)->map(uri); };
    touchData.handle = this;
    touchData.touch = [](LV2UI_Feature_Handle h, uint32_t port, bool grabbed) {
        UiEvent e{};
        e.kind = UiEvent::Kind::touch;
        e.port = port;
        e.grabbed = grabbed;
        static_cast<UiTestHost*>(h)->log.push_back(e);
    };
    resizeData.handle = this;
    resizeData.ui_resize = [](LV2UI_Feature_Handle h, int width, int height) {
        UiEvent e{};
        e.kind = UiEvent::Kind::resize;
        e.width = width;
        e.height = height;
        static_cast<UiTestHost*>(h)->log.push_back(e);
        return 0;
    };
    ids.map(&uridMap);
}

LV2_URID UiTestHost::map(const char* uri)
{
    return uris.emplace(uri, static_cast<LV2_URID>(uris.size() + 1)).first->second;
}

const LV2_Feature* const* UiTestHost::features(void* parent, bool withTouch, bool withResize, float scale)
{
    scaleFactor = scale;
    options[0] = {LV2_OPTIONS_INSTANCE, 0, map(LV2_UI__scaleFactor), sizeof(float), map(LV2_ATOM__Float), &scaleFactor};
    options[1] = {};
    optionsFeature = {LV2_OPTIONS__options, options};
    mapFeature = {LV2_URID__map, &uridMap};
    parentFeature = {LV2_UI__parent, parent};
    touchFeature = {LV2_UI__touch, &touchData};
    resizeFeature = {LV2_UI__resize, &resizeData};
    int n = 0;
    list[n++] = &mapFeature;
    list[n++] = &parentFeature;
    if (withTouch)
        list[n++] = &touchFeature;
    if (withResize)
        list[n++] = &resizeFeature;
    if (scale > 0.0f)
        list[n++] = &optionsFeature;
    list[n] = nullptr;
    return list;
}

void UiTestHost::write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol,
                       const void* buffer)
{
    UiEvent e{};
        e.kind = UiEvent::Kind::write;
    e.port = port;
    e.protocol = protocol;
    const auto* b = static_cast<const uint8_t*>(buffer);
    e.bytes.assign(b, b + size);
    static_cast<UiTestHost*>(controller)->log.push_back(std::move(e));
}

CurveMessage UiTestHost::message(const UiEvent& e) const
{
    if (e.kind != UiEvent::Kind::write || e.port != kPortControl || e.protocol != ids.atomEventTransfer)
        return {};
    // Copied to an aligned buffer: the log's bytes need not be.
    std::vector<uint64_t> aligned((e.bytes.size() + 7) / 8);
    std::memcpy(aligned.data(), e.bytes.data(), e.bytes.size());
    return readCurveMessage(ids, reinterpret_cast<const LV2_Atom*>(aligned.data()),
                            static_cast<uint32_t>(e.bytes.size()));
}

std::vector<CurveMessage> UiTestHost::messages(CurveMessage::Kind kind) const
{
    std::vector<CurveMessage> out;
    for (const auto& e : log)
        if (const CurveMessage m = message(e); m.kind == kind)
            out.push_back(m);
    return out;
}

size_t UiTestHost::count(UiEvent::Kind kind) const
{
    size_t n = 0;
    for (const auto& e : log)
        n += e.kind == kind;
    return n;
}

std::vector<uint8_t> UiTestHost::forged(bool (*forge)(LV2_Atom_Forge&, const Urids&, const void*), const void* arg)
{
    alignas(8) uint8_t buffer[1024];
    LV2_Atom_Forge f;
    lv2_atom_forge_init(&f, &uridMap);
    lv2_atom_forge_set_buffer(&f, buffer, sizeof buffer);
    if (!forge(f, ids, arg))
        return {};
    const auto* atom = reinterpret_cast<const LV2_Atom*>(buffer);
    return std::vector<uint8_t>(buffer, buffer + lv2_atom_total_size(atom));
}

std::vector<uint8_t> UiTestHost::curveSet(const int32_t* points)
{
    return forged([](LV2_Atom_Forge& f, const Urids& u, const void* p) {
        return forgeCurveSet(f, u, static_cast<const int32_t*>(p));
    }, points);
}

std::vector<uint8_t> UiTestHost::lastIndexSet(int32_t left, int32_t right)
{
    const int32_t pair[2] = {left, right};
    return forged([](LV2_Atom_Forge& f, const Urids& u, const void* p) {
        const auto* v = static_cast<const int32_t*>(p);
        return forgeLastIndexSet(f, u, v[0], v[1]);
    }, pair);
}
