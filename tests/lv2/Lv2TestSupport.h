// Hosting the built LV2 bundle through lilv, and the VST form beside it, for
// tests that compare the two or look at the plug-in's messages and state.
#pragma once

#include "lv2/CurveMessages.h"
#include "lv2/DitherCrunchLv2.h"
#include "lv2/InlineDisplay.h"
#include "tests/support/TestHost.h"

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/urid/urid.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace dc::lv2test {

using Curve = std::array<int32_t, DitherCrunchLv2::kCurvePoints>;

// A URID map and unmap, as a host keeps one per process.
class UridTable
{
public:
    UridTable();
    LV2_URID map(const char* uri);
    const char* unmap(LV2_URID urid) const;
    LV2_URID_Map mapFeature;
    LV2_URID_Unmap unmapFeature;

private:
    std::unordered_map<std::string, LV2_URID> ids;
    std::vector<std::string> uris;
};

// The bundle under test, loaded once per process: the build tree's, or the
// one named by DC_LV2_BUNDLE (an installed copy).
class Bundle
{
public:
    static Bundle& get();
    static std::string path();
    LilvWorld* world = nullptr;
    const LilvPlugin* plugin = nullptr;
    UridTable urids;
    DitherCrunchLv2::Urids names;

private:
    Bundle();
};

// A notification the plug-in wrote on notify.
struct Notification
{
    DitherCrunchLv2::CurveMessage::Kind kind;
    Curve points{};
    bool stateChanged = false;
};

// One instance through lilv, with buffers for every port.
class Instance
{
public:
    explicit Instance(double rate, bool withInlineDisplay = false);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    float& control(uint32_t port) { return controls[port]; }
    // Events for the next run, at frame offsets in increasing order.
    void midi(uint32_t frame, uint8_t status, uint8_t data1, uint8_t data2);
    void curve(const Curve& points, uint32_t frame = 0);
    void getCurve(uint32_t frame = 0);
    // Appends raw bytes as one event body of the given type and size
    // (the size may claim more than the bytes given).
    void rawEvent(uint32_t frame, LV2_URID type, uint32_t size, const void* body, uint32_t bytes);
    LV2_Atom_Forge& eventForge(uint32_t frame);
    // Runs `frames` frames; null audio pointers use silence and scratch.
    void run(const float* inL, const float* inR, float* outL, float* outR, uint32_t frames);
    void run(uint32_t frames);
    // Called right before and after the plug-in's run, nothing else between.
    void bracketRun(void (*enter)(), void (*leave)())
    {
        enterRun = enter;
        leaveRun = leave;
    }
    // The room the host gives notify, in bytes after the atom header.
    void setNotifyCapacity(uint32_t bytes) { notifyCapacity = bytes; }
    void activate();
    void deactivate();

    // What notify held after the last run, checked to be a well-formed sequence.
    const std::vector<Notification>& notifications() const { return notified; }
    int queuedDraws() const { return draws; }

    LilvInstance* lilv() { return instance; }
    // The control port's buffer as the next run will see it.
    LV2_Atom* controlAtom() { return reinterpret_cast<LV2_Atom*>(controlBuffer.data()); }
    const LV2_Inline_Display_Interface* display() const;
    // A lilv snapshot of ports and state, and restoring one.
    LilvState* save();
    void restore(const LilvState* state);

private:
    void resetControl();
    void readNotify();

    Bundle& bundle;
    LilvInstance* instance = nullptr;
    std::array<float, DitherCrunchLv2::kNumParameterPorts> controls{};
    alignas(16) std::array<uint8_t, 16384> controlBuffer{};
    alignas(16) std::array<uint8_t, 16384> notifyBuffer{};
    std::vector<float> silence, scratch;
    LV2_Atom_Forge forge;
    LV2_Atom_Forge_Frame sequenceFrame;
    std::vector<Notification> notified;
    int draws = 0;
    uint32_t notifyCapacity = 16384 - sizeof(LV2_Atom);
    void (*enterRun)() = nullptr;
    void (*leaveRun)() = nullptr;
    LV2_Inline_Display displayFeature;
    bool active = false;
};

// The VST form through VSTPluginMain, opened as a host opens it.
class VstTwin
{
public:
    VstTwin(double rate, int32_t maxBlock);
    void setParameter(int32_t index, float value) { host.setParameter(index, value); }
    float getParameter(int32_t index) { return host.getParameter(index); }
    void setCurve(const Curve& points);
    Curve curve();
    void controlChange(uint8_t status, uint8_t controller, uint8_t value);
    void process(const float* inL, const float* inR, float* outL, float* outR, uint32_t frames);
    TestHost host;
};

// The instance's curve, read through a patch:Get.
Curve curveOf(Instance& instance);
// The initial curve: point i = 128 - i.
Curve initialCurve();
// Two sines through the instance: 2048 frames, the left output then the right.
std::vector<float> renderSines(Instance& instance);

} // namespace dc::lv2test
