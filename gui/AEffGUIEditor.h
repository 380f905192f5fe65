// The VST 2.4 editor binding: answers the host's editor requests with a CFrame
// and passes the controls' gesture brackets to the effect.
#pragma once

#include "frame/AEffEditor.h"
#include "frame/VstRecords.h"

#include <atomic>
#include <chrono>

class AudioEffect;
class CFrame;

enum CKnobMode : VstInt32
{
    kCircularMode = 0,
    kRelativCircularMode = 1,
    kLinearMode = 2,
};

// Modifier bits of a key code, as VST 2.4 hosts send them.
enum VstModifierKey : unsigned char
{
    MODIFIER_SHIFT = 1 << 0,
    MODIFIER_ALTERNATE = 1 << 1,
    // Command on macOS.
    MODIFIER_COMMAND = 1 << 2,
    // The Control key on Linux and Windows.
    MODIFIER_CONTROL = 1 << 3,
};

class AEffGUIEditor : public AEffEditor
{
public:
    // [UI thread] Registers itself as the effect's editor.
    explicit AEffGUIEditor(AudioEffect* effect);
    // Closes a window that is still open.
    ~AEffGUIEditor() override;

    // [UI thread]
    bool getRect(ERect** ppRect) override;
    bool open(void* ptr) override;
    void close() override;
    // Handles the window's pending input and redraws what changed; does
    // nothing when called from inside its own idle processing.
    void idle() override;
    void draw(ERect* rect) override;
    bool onKeyDown(VstKeyCode& keyCode) override;
    bool onKeyUp(VstKeyCode& keyCode) override;
    // Sent to the view under the last known mouse position.
    bool onWheel(float distance) override;
    // Shared by all editors of the module; knobs read it at each press.
    bool setKnobMode(VstInt32 val) override;
    static VstInt32 getKnobMode() { return knobMode.load(std::memory_order_relaxed); }

    // [any thread] A parameter of the effect changed; the editor decides what to show.
    virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}

    // [UI thread] Gesture brackets of the control tagged `index`.
    virtual void beginEdit(VstInt32 index);
    virtual void endEdit(VstInt32 index);

    // [UI thread] Lets timers and the host's idle run during a long mouse
    // drag; calls closer than 50 ms to the previous one do nothing.
    void doIdleStuff();

    CFrame* getFrame() const { return frame; }

protected:
    ERect rect{};
    CFrame* frame = nullptr;

private:
    bool inIdle = false;
    std::chrono::steady_clock::time_point lastIdleStuff{};
    static std::atomic<VstInt32> knobMode;
};
