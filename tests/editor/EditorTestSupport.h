// A shaper effect with the editor attached, as the plug-in builds it, whose
// host records every request; and a window stand-in so the editor opens
// without a display.
#pragma once

#include "editor/ADEditor.h"
#include "engine/Vivuzudid.h"
#include "gui/CFrame.h"
#include "gui/CVSTGUITimer.h"

#include <gtest/gtest.h>

#include <mutex>
#include <ostream>
#include <vector>

// Rectangles print as their edges in test failures.
inline void PrintTo(const CRect& r, std::ostream* os)
{
    *os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

struct HostCall
{
    VstInt32 opcode;
    VstInt32 index;
    float opt;
};

class EditedEffect : public Vivuzudid
{
public:
    EditedEffect();
    // Passes every index on to the editor, as the plug-in's effect does.
    void setParameter(VstInt32 index, float value) override;
    void setLastCurveIndices(VstInt32 left, VstInt32 right);
    ADEditor* guiEditor() const { return static_cast<ADEditor*>(editor); }

    std::vector<HostCall> calls(VstInt32 opcode) const;
    // Every request, in order.
    std::vector<HostCall> calls() const;
    void clearCalls();

private:
    static VstIntPtr host(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    mutable std::mutex mutex;
    std::vector<HostCall> log;
};

// Opens windows on a stand-in platform for the fixture's lifetime.
class EditorFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    void openEditor() { ASSERT_TRUE(editor->open(reinterpret_cast<void*>(1))); }
    // One firing of the editor's timer: the highlight follows, then a redraw.
    void timerTick() { editor->notify(editor->getTimer(), CVSTGUITimer::kMsgTimer); }
    CFrame* frame() const { return editor->getFrame(); }
    // Mouse events through the frame, as the window delivers them.
    CMouseEventResult press(double x, double y, int32_t state);
    CMouseEventResult move(double x, double y, int32_t state);
    CMouseEventResult release(double x, double y, int32_t state = kLButton);
    // The effect's curve point, read through the hidden indices.
    int32_t effectPoint(int32_t i);
    void setEffectPoint(int32_t i, int32_t v);
    int count(VstInt32 opcode, VstInt32 index) const;
    // The back-buffer pixel as 0xRRGGBB.
    uint32_t pixel(int x, int y) const;

    EditedEffect* effect = nullptr;
    ADEditor* editor = nullptr;

public:
    // The window areas the stand-in window was asked to show, in order.
    static std::vector<CRect> presented;
    // The scale the stand-in screen asks for; 1 unless a test sets it.
    static double screenScale;
};
