#include "gui/COnOffButton.h"

#include "gui/CBitmap.h"

COnOffButton::COnOffButton(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background,
                           int32_t style)
    : CControl(size, listener, tag, background), style(style)
{
}

void COnOffButton::draw(CDrawContext* context)
{
    setDirty(false);
    const double off = getValue() >= vmax ? size.getHeight() : 0.0;
    if (background)
        background->draw(context, size, CPoint(0, off));
}

CMouseEventResult COnOffButton::onMouseDown(CPoint& /*where*/, const CButtonState& buttons)
{
    if (!buttons.isLeftButton())
        return kMouseEventNotHandled;
    beginEdit();
    setValue(static_cast<int32_t>(getValue()) ? vmin : vmax);
    valueChanged();
    endEdit();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}
