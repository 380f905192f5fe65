// One instance of the LV2 form: the editor-less effect behind the LV2 ports,
// the curve channel on the control and notify ports, state and the inline
// display.
#pragma once

#include "lv2/CurveImage.h"
#include "lv2/CurveMessages.h"
#include "lv2/DitherCrunchLv2.h"
#include "lv2/InlineDisplay.h"
#include "lv2/NotifyWriter.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>

#include <cstdint>
#include <memory>

class Vivuzudid;

namespace DitherCrunchLv2 {

class DitherCrunchPlugin
{
public:
    // [instantiation] Null when the host offers no urid:map.
    static DitherCrunchPlugin* create(double sampleRate, const LV2_Feature* const* features);
    ~DitherCrunchPlugin();
    DitherCrunchPlugin(const DitherCrunchPlugin&) = delete;
    DitherCrunchPlugin& operator=(const DitherCrunchPlugin&) = delete;

    void connectPort(uint32_t port, void* data); // [audio thread]
    // [instantiation] The next run applies every control port again.
    void activate();
    // [audio thread] Control ports, then the control port's events, then
    // the audio, then what notify has to tell. Allocates nothing.
    void run(uint32_t frames);

    // [instantiation] The curve as a vector of 128 atom:Int.
    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle);
    // [any thread] Applies a stored curve; a state without one keeps the curve.
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

    // [UI thread] The inline display's image.
    const LV2_Inline_Display_Image_Surface* render(uint32_t width, uint32_t maxHeight);

    Vivuzudid& effect() { return *dsp; }

private:
    DitherCrunchPlugin(double sampleRate, const Urids& urids, const LV2_Inline_Display* display);

    void applyControlPorts();
    void readControlEvents();
    void handleEvent(const LV2_Atom* atom, uint32_t available);
    void processAudio(uint32_t frames);
    void writeNotifications(uint32_t frames);

    std::unique_ptr<Vivuzudid> dsp;
    const Urids urids;
    const LV2_Inline_Display* display;
    NotifyWriter notify;

    // The host's buffers by port index.
    void* ports[kNumPorts] = {};
    float* buffer(uint32_t port) const { return static_cast<float*>(ports[port]); }

    // The control values applied last, compared bit for bit.
    uint32_t appliedBits[kNumParameterPorts] = {};
    bool applyAll = true;

    // Curve, indices and display: what notify and the host were told last.
    bool firstRun = true;
    bool curveRequested = false;
    bool curveSetByMessage = false;
    // A curve from a message that met a state restore under way on another
    // thread: written at a later run rather than waited for.
    bool curvePending = false;
    int32_t pendingCurve[kCurvePoints] = {};
    uint32_t curveCountSent = 0;
    int32_t indicesSent[2] = {-1, -1};
    int32_t indicesDrawn[2] = {-1, -1};
    uint32_t curveCountDrawn = 0;
    uint64_t framesSinceIndices = 0;
    uint64_t framesSinceDraw = 0;
    const uint64_t throttleFrames;

    CurveImage image;
};

} // namespace DitherCrunchLv2
