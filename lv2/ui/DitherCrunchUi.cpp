#include "lv2/ui/DitherCrunchUi.h"

#include "editor/ADEditor.h"
#include "gui/CFrame.h"
#include "lv2/CurveMessages.h"
#include "gui/platform/linux/X11ScaleFactor.h"
#include "lv2/ui/WindowHints.h"

#include <lv2/atom/util.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cstring>

using namespace DitherCrunchLv2;

namespace
{
const void* findFeature(const LV2_Feature* const* features, const char* uri)
{
    if (!features)
        return nullptr;
    for (; *features; ++features)
        if ((*features)->URI && std::strcmp((*features)->URI, uri) == 0)
            return (*features)->data;
    return nullptr;
}

// The host's ui:scaleFactor: the scale of every editor window this module
// opens (a host has one scale for all its windows), else the screen's.
double hostScale = 0.0;

double hostOrScreenScale()
{
    return hostScale > 0.0 ? snapScaleFactor(hostScale) : queryNativeScaleFactor();
}

// ui:scaleFactor among the host's options (a float); 0 without one.
float findScaleFactor(const LV2_Feature* const* features, const LV2_URID_Map* map)
{
    const auto* options = static_cast<const LV2_Options_Option*>(findFeature(features, LV2_OPTIONS__options));
    if (!options)
        return 0.0f;
    const LV2_URID key = map->map(map->handle, LV2_UI__scaleFactor);
    const LV2_URID atomFloat = map->map(map->handle, LV2_ATOM__Float);
    for (const LV2_Options_Option* o = options; o->key || o->value; ++o)
        if (o->key == key && o->type == atomFloat && o->size == sizeof(float) && o->value)
        {
            float scale;
            std::memcpy(&scale, o->value, sizeof scale);
            return scale > 0.0f && scale < 16.0f ? scale : 0.0f;
        }
    return 0.0f;
}
}

std::unique_ptr<DitherCrunchUi> DitherCrunchUi::create(LV2UI_Write_Function write, LV2UI_Controller controller,
                                                       const LV2_Feature* const* features)
{
    const auto* map = static_cast<const LV2_URID_Map*>(findFeature(features, LV2_URID__map));
    Urids urids;
    // ui:parent carries the host's window id as its data; 0 is no window.
    void* parent = const_cast<void*>(findFeature(features, LV2_UI__parent));
    if (!write || !urids.map(map) || !parent)
        return nullptr;
    std::unique_ptr<DitherCrunchUi> ui(new DitherCrunchUi(write, controller, map, urids));
    ui->touchFeature = static_cast<const LV2UI_Touch*>(findFeature(features, LV2_UI__touch));
    if (ui->touchFeature && !ui->touchFeature->touch)
        ui->touchFeature = nullptr;
    ui->resizeFeature = static_cast<const LV2UI_Resize*>(findFeature(features, LV2_UI__resize));
    if (ui->resizeFeature && !ui->resizeFeature->ui_resize)
        ui->resizeFeature = nullptr;
    if (const float scale = findScaleFactor(features, map); scale > 0.0f)
    {
        hostScale = scale;
        CFrame::setScaleQuery(&hostOrScreenScale);
    }
    if (!ui->open(parent))
        return nullptr;
    return ui;
}

DitherCrunchUi::DitherCrunchUi(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2_URID_Map* map,
                               const Urids& urids)
    : write(write), controller(controller), urids(urids)
{
    atomTransfer = map->map(map->handle, LV2_ATOM__atomTransfer);
    lv2_atom_forge_init(&forge, const_cast<LV2_URID_Map*>(map));
}

DitherCrunchUi::~DitherCrunchUi()
{
    // Closing ends a gesture still open (the host's touch is released) while
    // this link still answers; the effect then deletes the editor.
    remote.reset();
}

bool DitherCrunchUi::open(void* parent)
{
    remote = std::make_unique<RemoteEffect>(static_cast<RemoteEffect::Link&>(*this));
    ADEditor* editor = remote->getEditorWindow();
    if (!editor->open(parent))
        return false;
    window = editor->getFrame() ? editor->getFrame()->getPlatformHandle() : nullptr;
    if (!window)
        return false;
    announceSize();
    requestCurve(Clock::now());
    return true;
}

void DitherCrunchUi::portEvent(uint32_t port, uint32_t size, uint32_t protocol, const void* buffer)
{
    if (!buffer)
        return;
    if (port < kNumParameterPorts)
    {
        if (protocol != 0 || size != sizeof(float))
            return;
        float value;
        std::memcpy(&value, buffer, sizeof value);
        remote->showParameter(static_cast<VstInt32>(port), value);
        return;
    }
    if (port != kPortNotify || (protocol != urids.atomEventTransfer && protocol != atomTransfer))
        return;
    const CurveMessage m = readCurveMessage(urids, static_cast<const LV2_Atom*>(buffer), size);
    switch (m.kind)
    {
    case CurveMessage::Kind::setCurve:
        curveReceived = true;
        remote->showCurve(m.points);
        break;
    case CurveMessage::Kind::setLastIndex:
        remote->showLastIndices(m.points[0], m.points[1]);
        break;
    default:
        break;
    }
}

int DitherCrunchUi::idle(Clock::time_point now)
{
    remote->getEditorWindow()->idle();
    // Outside a gesture (an undo, say) an edit goes out at once.
    if (!remote->isCurveGestureActive() || now - lastCurveSent >= kCurveSendInterval)
        sendCurveEdit(now);
    if (now - lastCurveSent >= kEchoTime)
        remote->forgetSentCurves();
    if (!curveReceived && curveRequestsLeft > 0 && now - lastCurveRequest >= kCurveRequestInterval)
        requestCurve(now);
    announceSize();
    return 0;
}

void DitherCrunchUi::automate(VstInt32 index, float value)
{
    write(controller, static_cast<uint32_t>(index), sizeof(float), 0, &value);
}

void DitherCrunchUi::touch(VstInt32 index, bool grabbed)
{
    if (touchFeature)
        touchFeature->touch(touchFeature->handle, static_cast<uint32_t>(index), grabbed);
}

void DitherCrunchUi::curveEdited()
{
    sendCurveEdit(Clock::now());
}

bool DitherCrunchUi::resize(VstInt32 /*width*/, VstInt32 /*height*/)
{
    // The editor's rectangle holds the new size; the host hears it from there.
    announceSize();
    return resizeFeature != nullptr;
}

void DitherCrunchUi::sendCurveEdit(Clock::time_point now)
{
    int32_t points[kCurvePoints];
    if (!remote->takeCurveEdit(points))
        return;
    lv2_atom_forge_set_buffer(&forge, message, sizeof message);
    if (forgeCurveSet(forge, urids, points))
        writeMessage();
    lastCurveSent = now;
}

void DitherCrunchUi::requestCurve(Clock::time_point now)
{
    lv2_atom_forge_set_buffer(&forge, message, sizeof message);
    if (forgeGet(forge, urids, urids.curve))
        writeMessage();
    lastCurveRequest = now;
    --curveRequestsLeft;
}

void DitherCrunchUi::writeMessage()
{
    const auto* atom = reinterpret_cast<const LV2_Atom*>(message);
    write(controller, kPortControl, lv2_atom_total_size(atom), urids.atomEventTransfer, atom);
}

void DitherCrunchUi::announceSize()
{
    ERect* rect = nullptr;
    ADEditor* editor = remote->getEditorWindow();
    if (!editor->getRect(&rect) || !rect)
        return;
    const int w = rect->right - rect->left;
    const int h = rect->bottom - rect->top;
    if (w == width && h == height)
        return;
    width = w;
    height = h;
    setFixedSizeHints(window, w, h);
    if (resizeFeature)
        resizeFeature->ui_resize(resizeFeature->handle, w, h);
}
