// The Dithercrunch editor window: four sliders, two knobs, two filter-type
// switches, the shaper button and the curve area. Control changes become
// automated parameter changes of the effect (curve edits plain writes through
// the curve-point indices); parameter changes of the effect move the controls.
#pragma once

#include "editor/EditHistory.h"
#include "gui/AEffGUIEditor.h"
#include "gui/CBaseObject.h"
#include "gui/CColor.h"
#include "gui/CControlListener.h"
#include "gui/IMouseObserver.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

class AudioEffect;
class CAnimKnob;
class CBitmap;
class EditorImages;
class CControl;
class CHorizontalSlider;
class CMuteableHorizontalSwitch;
class COnOffButton;
class CTextLabel;
class CVSTGUITimer;
class MyCKickShaper;

class ADEditor : public AEffGUIEditor, public CControlListener, public CBaseObject, public IMouseObserver
{
public:
    // Indices shared with the effect.
    static constexpr VstInt32 kNumParameters = 9;
    static constexpr VstInt32 kCurvePointSelect = 10;
    static constexpr VstInt32 kCurvePointValue = 11;
    static constexpr VstInt32 kEditorRefresh = 13;
    static constexpr int32_t kCurveTag = 10;
    // Timer intervals in ms: before the first open, while open, after close.
    static constexpr uint32_t kCreatedInterval = 240;
    static constexpr uint32_t kOpenInterval = 40;
    static constexpr uint32_t kClosedInterval = 950;

    // [UI thread] Registers with the effect and starts the timer; decodes no
    // image (see EditorImages).
    explicit ADEditor(AudioEffect* effect);
    ~ADEditor() override;

    // [UI thread] The window's size in pixels: the artwork's size times the
    // screen's scale (1, 1.5 or 2), asked once before each window opens and
    // kept until it closes.
    bool getRect(ERect** ppRect) override;
    // [UI thread] Builds the window inside the host's window `ptr`; false when
    // no window can be made there (no display, no parent).
    bool open(void* ptr) override;
    void close() override;
    void idle() override;
    // [any thread] Shows a parameter change of the effect; index 13 re-reads
    // every parameter and the curve. Stores values only: drawing follows at idle.
    void setParameter(VstInt32 index, float value) override;
    // [UI thread]
    void valueChanged(CControl* control) override;
    // [UI thread] Gesture brackets; the end of a curve gesture that wrote
    // points also tells the host that the effect's state changed, since the
    // curve never travels as an automated parameter.
    void beginEdit(VstInt32 index) override;
    void endEdit(VstInt32 index) override;
    CMessageResult notify(CBaseObject* sender, const char* message) override;

    // [UI thread] Keys from the host (effEditKeyDown) and from the window's
    // own keyboard input: Ctrl+Z undoes, Ctrl+Shift+Z and Ctrl+Y redo; the
    // rest goes to the controls.
    bool onKeyDown(VstKeyCode& keyCode) override;
    bool onKeyUp(VstKeyCode& keyCode) override;
    // [UI thread] Takes back, or does again, the user's last gesture in the
    // window: a control's change goes to the host as an automated change
    // inside an edit bracket, as the gesture did; a curve's points go to the
    // effect through the curve channel and the host hears updateDisplay.
    // False when there is nothing to take back or do again, or no window.
    bool undo();
    bool redo();
    size_t getUndoSteps();
    size_t getRedoSteps();

    // [UI thread] The readout: the name and display text (with its unit) of
    // the control under the pointer or being dragged, or the curve point
    // under the pointer and its value; empty when there is none.
    void onMouseEntered(CView* view, CFrame* frame) override;
    void onMouseExited(CView* view, CFrame* frame) override;
    void onMouseMoved(CFrame* frame, const CPoint& where, const CButtonState& buttons) override;
    const char* getReadoutText() const;
    // Where the readout sits: beside the shaper button, clear of every control;
    // the artwork's label grey on a plate like the curve's well.
    static constexpr double kReadoutLeft = 154, kReadoutTop = 243, kReadoutRight = 282, kReadoutBottom = 262;
    static constexpr CColor kReadoutText{184, 189, 196, 255};
    static constexpr CColor kReadoutPlate{13, 15, 18, 230};

    bool isEditorOpen() const { return openFlag.load(); }
    // The scale the window is (or will be) drawn at.
    double getScale() const { return scale; }
    CVSTGUITimer* getTimer() const { return timer; }
    MyCKickShaper* getCurveControl() const { return curve; }
    // The control of parameter 0..8 while the window is open, else null.
    CControl* getParameterControl(VstInt32 index) const;

private:
    // Asks the screen's scale when none is known yet and sizes the rectangle for it.
    void updateScale();
    void loadCurve();
    void curveEdit();
    // Undo history (ADEditorHistory.cpp).
    void gestureBegan(VstInt32 index);
    void gestureEnded(VstInt32 index);
    bool moveInHistory(bool forward);
    void applyStep(const EditHistory::Step& step, bool forward);
    // Clears the history if a loaded state asked for it since.
    void takeHistoryReset();
    // Readout (ADEditorReadout.cpp): what to show now, and its text.
    void updateReadout();
    void parameterText(VstInt32 index, char* text, size_t size);
    // The curve column under the pointer, or -1 when it is not over the curve.
    int32_t columnAt(const CPoint& where) const;

    CHorizontalSlider* preGainSlider = nullptr;
    CHorizontalSlider* prePanSlider = nullptr;
    COnOffButton* shaperButton = nullptr;
    CHorizontalSlider* postGainSlider = nullptr;
    CHorizontalSlider* wetDrySlider = nullptr;
    CAnimKnob* preCutKnob = nullptr;
    CAnimKnob* postCutKnob = nullptr;
    CMuteableHorizontalSwitch* preTypeSwitch = nullptr;
    CMuteableHorizontalSwitch* postTypeSwitch = nullptr;
    MyCKickShaper* curve = nullptr;
    CTextLabel* readout = nullptr;

    // The process's shared images, held while the window is open.
    std::shared_ptr<const EditorImages> images;

    CVSTGUITimer* timer = nullptr;
    std::atomic<bool> openFlag{false};
    // Calls of setParameter touching the controls right now; close waits for
    // them before the controls go away.
    std::atomic<int32_t> parameterUsers{0};
    // The screen's scale for the next or the open window; 0 while unknown.
    double scale = 0.0;
    // The timer fired since the highlight was last read.
    bool highlightDue = true;
    // The curve gesture in progress has written points.
    bool curveWritten = false;

    // The user's gestures, for undo; cleared when a state is loaded (which
    // may happen on another thread, hence the flag taken on the UI thread).
    EditHistory history;
    std::atomic<bool> historyResetPending{false};
    uint32_t historyGeneration = 0;
    struct OpenGesture
    {
        int32_t depth = 0;
        uint32_t generation = 0;
        float before = 0.0f;
    };
    std::array<OpenGesture, kNumParameters> controlGestures{};
    OpenGesture curveGesture;
    std::array<int32_t, 128> curveBefore{};
    // Undo or redo is sending its changes: they are not new steps.
    bool replaying = false;

    // The tags of the control under the pointer and of the control in a
    // gesture (-1 for none), the curve column under the pointer, and what
    // the readout shows now (to notice changes made elsewhere).
    int32_t hoverTag = -1;
    int32_t gestureTag = -1;
    int32_t pointerColumn = -1;
    int32_t shownTag = -1;
    float shownValue = 0.0f;
    int32_t shownColumn = -1;
    int32_t shownPoint = 0;
};
