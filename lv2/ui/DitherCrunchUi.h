// One instance of the LV2 UI: the editor embedded in the host's window,
// driven by the host's idle calls, talking to the plug-in only through ports:
// control values out as floats (bracketed by ui:touch when the host offers
// it), the curve as patch:Set messages on `control`; control values, the
// curve and the last curve indices in through port_event.
#pragma once

#include "lv2/DitherCrunchLv2.h"
#include "lv2/ui/RemoteEffect.h"

#include <lv2/atom/forge.h>
#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include <chrono>
#include <cstdint>
#include <memory>

class DitherCrunchUi : private RemoteEffect::Link
{
public:
    using Clock = std::chrono::steady_clock;
    // While the pen moves, the curve goes out at most this often, so the
    // sound follows the drawing without flooding the host's message queue.
    static constexpr std::chrono::milliseconds kCurveSendInterval{30};
    // The plug-in's echoes of sent curves arrive within a few blocks; a curve
    // reported after this long is news even when it was sent before.
    static constexpr std::chrono::milliseconds kEchoTime{1000};
    // Until the plug-in's curve arrives, the request is repeated this often,
    // a few times, in case the host dropped a message sent so early.
    static constexpr std::chrono::milliseconds kCurveRequestInterval{500};
    static constexpr int kCurveRequests = 4;

    // [UI thread] Null when urid:map or ui:parent is missing, or no window
    // can be made inside the parent.
    static std::unique_ptr<DitherCrunchUi> create(LV2UI_Write_Function write, LV2UI_Controller controller,
                                                  const LV2_Feature* const* features);
    ~DitherCrunchUi() override;
    DitherCrunchUi(const DitherCrunchUi&) = delete;
    DitherCrunchUi& operator=(const DitherCrunchUi&) = delete;

    // The editor's X11 window, a child of ui:parent.
    LV2UI_Widget widget() const { return window; }
    // [UI thread] A port's news from the host: a control value (float
    // protocol) or a message of `notify` (atom:eventTransfer).
    void portEvent(uint32_t port, uint32_t size, uint32_t protocol, const void* buffer);
    // [UI thread] Input, timers and drawing, then the curve's way out; 0: the UI stays open.
    int idle() { return idle(Clock::now()); }
    int idle(Clock::time_point now);

    RemoteEffect& effect() { return *remote; }

private:
    DitherCrunchUi(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2_URID_Map* map,
                   const DitherCrunchLv2::Urids& urids);
    bool open(void* parent);

    void automate(VstInt32 index, float value) override;
    void touch(VstInt32 index, bool grabbed) override;
    void curveEdited() override;
    bool resize(VstInt32 width, VstInt32 height) override;

    void sendCurveEdit(Clock::time_point now);
    void requestCurve(Clock::time_point now);
    void writeMessage();
    // Tells the host and the window's size hints the editor's size when it changed.
    void announceSize();

    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    DitherCrunchLv2::Urids urids;
    LV2_URID atomTransfer = 0;
    LV2_Atom_Forge forge{};
    alignas(LV2_Atom) uint8_t message[1024] = {};
    const LV2UI_Touch* touchFeature = nullptr;
    const LV2UI_Resize* resizeFeature = nullptr;
    std::unique_ptr<RemoteEffect> remote;
    LV2UI_Widget window = nullptr;
    int width = 0;
    int height = 0;

    bool curveReceived = false;
    int curveRequestsLeft = kCurveRequests;
    Clock::time_point lastCurveRequest{};
    Clock::time_point lastCurveSent{};
};
