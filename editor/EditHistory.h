// The editor's undo history: every gesture the user makes in the window is
// one step (a control's value before and after, or the curve points a curve
// gesture changed), at most kDepth of them, the oldest dropped first. Undo
// and redo move through the steps; a new step drops the ones undone.
// [UI thread] throughout; the history never touches the effect itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

class EditHistory
{
public:
    static constexpr size_t kDepth = 100;
    // The step's target when it is the curve rather than a parameter.
    static constexpr int32_t kCurve = -1;

    struct PointChange
    {
        int32_t index;
        int32_t before;
        int32_t after;
    };
    struct Step
    {
        int32_t target = kCurve; // parameter index 0..8, or kCurve
        float before = 0.0f;
        float after = 0.0f;
        std::vector<PointChange> points; // curve steps only
    };

    void push(Step step);
    // The step to take back (its `before` values apply), or null.
    const Step* undo();
    // The step to do again (its `after` values apply), or null.
    const Step* redo();
    void clear();

    size_t undoable() const { return applied; }
    size_t redoable() const { return steps.size() - applied; }

private:
    std::deque<Step> steps;
    size_t applied = 0; // steps[0 .. applied) are in effect
};
