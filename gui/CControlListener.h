// Receives the value changes of controls.
#pragma once

class CControl;

class CControlListener
{
public:
    virtual ~CControlListener() = default;
    // [UI thread]
    virtual void valueChanged(CControl* control) = 0;
};
