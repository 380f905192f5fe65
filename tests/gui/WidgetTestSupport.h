// A headless frame bound to an effect that records its gesture brackets, and
// a listener that records value changes: for driving widgets with synthetic
// mouse events.
#pragma once

#include "frame/AudioEffectX.h"
#include "gui/AEffGUIEditor.h"
#include "gui/CControl.h"
#include "gui/CControlListener.h"
#include "gui/CFrame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class BracketRecorder : public AudioEffectX
{
public:
    BracketRecorder() : AudioEffectX(nullptr, 1, 1) {}
    bool beginEdit(VstInt32 index) override
    {
        log.push_back("begin " + std::to_string(index));
        return true;
    }
    bool endEdit(VstInt32 index) override
    {
        log.push_back("end " + std::to_string(index));
        return true;
    }
    std::vector<std::string> log;
};

class ChangeRecorder : public CControlListener
{
public:
    explicit ChangeRecorder(std::vector<std::string>& log) : log(log) {}
    void valueChanged(CControl* control) override
    {
        log.push_back("change " + std::to_string(control->getTag()) + " " + std::to_string(control->getValue()));
    }
    std::vector<std::string>& log;
};

class WidgetFixture : public ::testing::Test
{
protected:
    WidgetFixture() : binding(new AEffGUIEditor(&effect)), listener(effect.log)
    {
        frame = new CFrame(CRect(0, 0, 300, 320), nullptr, binding);
    }
    ~WidgetFixture() override
    {
        frame->forget();
        effect.setEditor(nullptr);
        delete binding;
    }
    // Adds a control; the frame owns it.
    template <typename T>
    T* add(T* control)
    {
        frame->addView(control);
        return control;
    }
    CMouseEventResult press(double x, double y, int32_t state = kLButton)
    {
        CPoint p(x, y);
        return frame->onMouseDown(p, CButtonState(state));
    }
    CMouseEventResult move(double x, double y, int32_t state = kLButton)
    {
        CPoint p(x, y);
        return frame->onMouseMoved(p, CButtonState(state));
    }
    CMouseEventResult release(double x, double y, int32_t state = kLButton)
    {
        CPoint p(x, y);
        return frame->onMouseUp(p, CButtonState(state));
    }
    std::vector<std::string>& log() { return effect.log; }

    BracketRecorder effect;
    AEffGUIEditor* binding;
    ChangeRecorder listener;
    CFrame* frame;
};
