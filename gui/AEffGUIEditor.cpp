#include "gui/AEffGUIEditor.h"

#include "frame/AudioEffectX.h"
#include "gui/CFrame.h"
#include "gui/CVSTGUITimer.h"

std::atomic<VstInt32> AEffGUIEditor::knobMode{kCircularMode};

AEffGUIEditor::AEffGUIEditor(AudioEffect* effect) : AEffEditor(effect)
{
    if (effect)
        effect->setEditor(this);
}

AEffGUIEditor::~AEffGUIEditor()
{
    if (frame)
        AEffGUIEditor::close();
}

bool AEffGUIEditor::getRect(ERect** ppRect)
{
    if (!ppRect)
        return false;
    *ppRect = &rect;
    return true;
}

bool AEffGUIEditor::open(void* ptr)
{
    AEffEditor::open(ptr);
    return true;
}

void AEffGUIEditor::close()
{
    if (frame)
    {
        // A window closed mid-drag still closes the host's gesture.
        frame->endPendingEdits();
        CFrame* f = frame;
        frame = nullptr;
        f->forget();
    }
    AEffEditor::close();
}

void AEffGUIEditor::idle()
{
    if (inIdle)
        return;
    inIdle = true;
    CVSTGUITimer::fireDueTimers();
    if (frame)
        frame->idle();
    inIdle = false;
}

void AEffGUIEditor::draw(ERect* /*rect*/)
{
    if (frame)
        frame->redrawAll();
}

bool AEffGUIEditor::onKeyDown(VstKeyCode& keyCode)
{
    return frame && frame->onKeyDown(keyCode) != -1;
}

bool AEffGUIEditor::onKeyUp(VstKeyCode& keyCode)
{
    return frame && frame->onKeyUp(keyCode) != -1;
}

bool AEffGUIEditor::onWheel(float distance)
{
    if (!frame)
        return false;
    return frame->onWheel(frame->getLastMousePosition(), distance, CButtonState(0));
}

bool AEffGUIEditor::setKnobMode(VstInt32 val)
{
    knobMode.store(val, std::memory_order_relaxed);
    return true;
}

void AEffGUIEditor::beginEdit(VstInt32 index)
{
    // Null while the effect is being destroyed: nobody is left to tell.
    if (auto* fx = dynamic_cast<AudioEffectX*>(effect))
        fx->beginEdit(index);
}

void AEffGUIEditor::endEdit(VstInt32 index)
{
    if (auto* fx = dynamic_cast<AudioEffectX*>(effect))
        fx->endEdit(index);
}

void AEffGUIEditor::doIdleStuff()
{
    const auto now = std::chrono::steady_clock::now();
    if (now - lastIdleStuff < std::chrono::milliseconds(50))
        return;
    lastIdleStuff = now;
    CVSTGUITimer::fireDueTimers(now);
    if (effect)
        effect->masterIdle();
}
