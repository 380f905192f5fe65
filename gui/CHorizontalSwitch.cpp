#include "gui/CHorizontalSwitch.h"

#include "gui/CBitmap.h"

#include <algorithm>
#include <cmath>

CHorizontalSwitch::CHorizontalSwitch(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background,
                                     const CPoint& offset)
    : CControl(size, listener, tag, background), offset(offset), heightOfOneImage(size.getHeight()), positions(1)
{
    if (background && heightOfOneImage > 0.0)
        positions = std::max(1, static_cast<int32_t>(background->getHeight() / heightOfOneImage));
}

float CHorizontalSwitch::valueAt(double x) const
{
    if (positions <= 1 || size.getWidth() <= 0.0)
        return vmin;
    const double segment = size.getWidth() / positions;
    const double pos = std::clamp(std::floor((x - size.left) / segment), 0.0, positions - 1.0);
    return static_cast<float>(vmin + pos / (positions - 1) * (vmax - vmin));
}

void CHorizontalSwitch::draw(CDrawContext* context)
{
    setDirty(false);
    if (!background)
        return;
    const double norm = vmax > vmin ? (getValue() - vmin) / (vmax - vmin) : 0.0;
    const auto state = static_cast<int32_t>(norm * (positions - 1) + 0.5);
    background->draw(context, size, CPoint(offset.x, offset.y + heightOfOneImage * state));
}

CMouseEventResult CHorizontalSwitch::onMouseDown(CPoint& where, const CButtonState& buttons)
{
    if (!buttons.isLeftButton())
        return kMouseEventNotHandled;
    if (startGesture(buttons))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    dragging = true;
    return onMouseMoved(where, buttons);
}

CMouseEventResult CHorizontalSwitch::onMouseMoved(CPoint& where, const CButtonState& buttons)
{
    if (!dragging || !buttons.isLeftButton())
        return kMouseEventHandled;
    changeValue(valueAt(where.x));
    return kMouseEventHandled;
}

CMouseEventResult CHorizontalSwitch::onMouseUp(CPoint& /*where*/, const CButtonState& /*buttons*/)
{
    endDrag();
    return kMouseEventHandled;
}
