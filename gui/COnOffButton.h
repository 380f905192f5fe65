// A two-state button: a left press toggles between min and max. The image
// holds the off state above the on state.
#pragma once

#include "gui/CControl.h"

class COnOffButton : public CControl
{
public:
    // [UI thread]
    COnOffButton(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background, int32_t style = 0);

    int32_t getStyle() const { return style; }
    void draw(CDrawContext* context) override;
    // Toggles inside one gesture; the default-value click is an ordinary press.
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;

private:
    int32_t style;
};
