// ADEditor's undo history: each gesture becomes a step when it ends; undo and
// redo send the step's values back the way the gesture sent them.
#include "editor/ADEditor.h"

#include "editor/MyCKickShaper.h"
#include "frame/AudioEffectX.h"

namespace
{
enum class KeyCommand
{
    None,
    Undo,
    Redo,
};

// Ctrl+Z, Ctrl+Shift+Z, Ctrl+Y (Command on macOS hosts); hosts send the
// letter in either case, or its control character.
KeyCommand keyCommandOf(const VstKeyCode& key)
{
    const int control = key.modifier & (MODIFIER_CONTROL | MODIFIER_COMMAND);
    if (!control || (key.modifier & MODIFIER_ALTERNATE) || key.virt != 0)
        return KeyCommand::None;
    const bool shift = (key.modifier & MODIFIER_SHIFT) != 0;
    switch (key.character)
    {
    case 'z':
    case 'Z':
    case 0x1a:
        return shift ? KeyCommand::Redo : KeyCommand::Undo;
    case 'y':
    case 'Y':
    case 0x19:
        return shift ? KeyCommand::None : KeyCommand::Redo;
    default:
        return KeyCommand::None;
    }
}
}

bool ADEditor::onKeyDown(VstKeyCode& keyCode)
{
    const KeyCommand command = keyCommandOf(keyCode);
    if (command == KeyCommand::None || !frame)
        return AEffGUIEditor::onKeyDown(keyCode);
    if (command == KeyCommand::Undo)
        undo();
    else
        redo();
    return true;
}

bool ADEditor::onKeyUp(VstKeyCode& keyCode)
{
    if (keyCommandOf(keyCode) != KeyCommand::None && frame)
        return true; // the release of a key taken above
    return AEffGUIEditor::onKeyUp(keyCode);
}

void ADEditor::takeHistoryReset()
{
    if (!historyResetPending.exchange(false))
        return;
    history.clear();
    ++historyGeneration; // gestures open across the load make no step
}

size_t ADEditor::getUndoSteps()
{
    takeHistoryReset();
    return history.undoable();
}

size_t ADEditor::getRedoSteps()
{
    takeHistoryReset();
    return history.redoable();
}

void ADEditor::gestureBegan(VstInt32 index)
{
    takeHistoryReset();
    OpenGesture* gesture = index >= 0 && index < kNumParameters ? &controlGestures[static_cast<size_t>(index)]
                           : index == kCurveTag && curve        ? &curveGesture
                                                                : nullptr;
    if (!gesture || gesture->depth++ > 0)
        return; // nested brackets belong to the outer gesture
    gesture->generation = historyGeneration;
    if (gesture == &curveGesture)
        for (int32_t i = 0; i < MyCKickShaper::kNumPoints; ++i)
            curveBefore[static_cast<size_t>(i)] = curve->getfexi(i);
    else
        gesture->before = effect->getParameter(index);
}

void ADEditor::gestureEnded(VstInt32 index)
{
    takeHistoryReset();
    OpenGesture* gesture = index >= 0 && index < kNumParameters ? &controlGestures[static_cast<size_t>(index)]
                           : index == kCurveTag                  ? &curveGesture
                                                                 : nullptr;
    if (!gesture || gesture->depth == 0 || --gesture->depth > 0 || gesture->generation != historyGeneration)
        return;
    EditHistory::Step step;
    if (gesture == &curveGesture)
    {
        if (!curve)
            return;
        for (int32_t i = 0; i < MyCKickShaper::kNumPoints; ++i)
        {
            const int32_t before = curveBefore[static_cast<size_t>(i)];
            const int32_t after = curve->getfexi(i);
            if (before != after)
                step.points.push_back({i, before, after});
        }
        if (step.points.empty())
            return;
    }
    else
    {
        step.target = index;
        step.before = gesture->before;
        step.after = effect->getParameter(index);
        if (step.after == step.before)
            return;
    }
    history.push(std::move(step));
}

bool ADEditor::undo()
{
    return moveInHistory(false);
}

bool ADEditor::redo()
{
    return moveInHistory(true);
}

bool ADEditor::moveInHistory(bool forward)
{
    takeHistoryReset();
    if (!frame || !openFlag.load())
        return false;
    const EditHistory::Step* step = forward ? history.redo() : history.undo();
    if (step)
        applyStep(*step, forward);
    return step != nullptr;
}

void ADEditor::applyStep(const EditHistory::Step& step, bool forward)
{
    replaying = true;
    if (step.target == EditHistory::kCurve)
    {
        AEffGUIEditor::beginEdit(kCurveTag);
        for (const EditHistory::PointChange& p : step.points)
        {
            const int32_t value = forward ? p.after : p.before;
            effect->setParameter(kCurvePointSelect, static_cast<float>(p.index));
            effect->setParameter(kCurvePointValue, static_cast<float>(value));
            if (curve)
                curve->setfexi(p.index, value);
        }
        AEffGUIEditor::endEdit(kCurveTag);
        if (auto* fx = dynamic_cast<AudioEffectX*>(effect))
            fx->updateDisplay();
    }
    else
    {
        // The effect echoes the value to the control.
        AEffGUIEditor::beginEdit(step.target);
        effect->setParameterAutomated(step.target, forward ? step.after : step.before);
        AEffGUIEditor::endEdit(step.target);
    }
    replaying = false;
}
