// The effect as the UI process sees it: the editor-less engine holding the
// values the plug-in reported, so that the editor reads its values, curve and
// display texts from the effect's own code, with the editor attached. What
// the editor asks of its host (automation, gestures, the end of a curve edit,
// a new window size) goes to a Link; values the plug-in reports are shown
// and never sent back.
#pragma once

#include "engine/Vivuzudid.h"

#include <array>
#include <cstdint>

class ADEditor;

class RemoteEffect : public Vivuzudid
{
public:
    // Where the editor's requests go: the plug-in's ports and the host.
    class Link
    {
    public:
        virtual ~Link() = default;
        // [UI thread] The user set parameter 0..8 to `value`.
        virtual void automate(VstInt32 index, float value) = 0;
        // [UI thread] The user grabbed (true) or released (false) the control of parameter 0..8.
        virtual void touch(VstInt32 index, bool grabbed) = 0;
        // [UI thread] A curve gesture that wrote points has ended: the curve
        // should reach the plug-in now rather than at the next idle.
        virtual void curveEdited() = 0;
        // [UI thread] The editor asks for a window of this size.
        virtual bool resize(VstInt32 width, VstInt32 height) = 0;
    };

    // [UI thread] Creates the editor too; `link` must outlive the effect.
    explicit RemoteEffect(Link& link);
    ~RemoteEffect() override;
    RemoteEffect(const RemoteEffect&) = delete;
    RemoteEffect& operator=(const RemoteEffect&) = delete;

    ADEditor* getEditorWindow() const { return guiEditor; }

    // [UI thread] A value the plug-in reports for parameter 0..8. Ignored for
    // a control the user is holding: the host echoes the user's own values
    // with a delay, and an older one would pull the control back.
    void showParameter(VstInt32 index, float value);
    // [UI thread] The curve the plug-in reports, unless it is the one shown
    // or one recently sent (an echo). During a curve gesture it is kept back
    // and applied at the gesture's end unless the gesture drew.
    void showCurve(const int32_t* points);
    // [UI thread] The curve indices the plug-in's shaper used last.
    void showLastIndices(int32_t left, int32_t right);

    // [UI thread] True, with the points, when the curve here differs from the
    // one the plug-in last reported or was last sent: an edit to send.
    bool takeCurveEdit(int32_t* points);
    // [UI thread] Echoes of the curves sent so far have all arrived: a
    // report equal to one of them is news again.
    void forgetSentCurves();
    bool isCurveGestureActive() const { return curveGesture; }

    // Passes every index on to the editor, as the effect of the VST form does.
    void setParameter(VstInt32 index, float value) override;
    VstInt32 getLastCurveIndex(VstInt32 channel) const override;

private:
    using Curve = std::array<int32_t, kCurvePoints>;
    // The curves sent last, newest at sentNext - 1: about half a second of drawing.
    static constexpr int kSentCurves = 16;

    static VstIntPtr hostCallback(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    VstIntPtr onHostRequest(VstInt32 opcode, VstInt32 index, VstIntPtr value, float opt);
    void applyCurve(const int32_t* points);

    Link& link;
    ADEditor* guiEditor = nullptr;
    // Open gestures per parameter control.
    std::array<int32_t, kNumParams> held{};
    bool curveGesture = false;
    uint32_t curveChangesAtGesture = 0;
    bool curvePending = false;
    Curve pendingCurve{};
    std::array<Curve, kSentCurves> sentCurves{};
    int sentCount = 0;
    int sentNext = 0;
    // The curve as last reported by the plug-in or sent to it, and the
    // change count it was taken at.
    Curve knownCurve{};
    uint32_t reportedCurveChanges = 0;
    int32_t remoteIndexL = 0;
    int32_t remoteIndexR = 0;
};
