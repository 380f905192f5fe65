#include "gui/CHorizontalSlider.h"

#include "gui/CBitmap.h"

#include <algorithm>

CHorizontalSlider::CHorizontalSlider(const CRect& size, CControlListener* listener, int32_t tag,
                                     const CPoint& offsetHandle, int32_t rangeHandle, CBitmap* handle,
                                     CBitmap* background, const CPoint& offset, int32_t style)
    : CControl(size, listener, tag, background), handle(handle), offsetHandle(offsetHandle), rangeHandle(rangeHandle),
      offset(offset), style(style)
{
    if (handle)
        handle->remember();
}

CHorizontalSlider::~CHorizontalSlider()
{
    if (handle)
        handle->forget();
}

double CHorizontalSlider::travel() const
{
    const double handleWidth = handle ? handle->getWidth() : 0.0;
    return std::max(1.0, rangeHandle - handleWidth);
}

double CHorizontalSlider::handlePosition(float val) const
{
    const double norm = vmax > vmin ? (val - vmin) / (vmax - vmin) : 0.0;
    const double pos = (style & kRight) ? 1.0 - norm : norm;
    return size.left + offsetHandle.x + pos * travel();
}

float CHorizontalSlider::valueAt(double x) const
{
    double pos = (x - grabOffset - size.left - offsetHandle.x) / travel();
    pos = std::clamp(pos, 0.0, 1.0);
    if (style & kRight)
        pos = 1.0 - pos;
    return static_cast<float>(vmin + pos * (vmax - vmin));
}

void CHorizontalSlider::draw(CDrawContext* context)
{
    setDirty(false);
    const float v = getValue();
    if (background)
        background->draw(context, size, offset);
    if (handle)
    {
        const double x = handlePosition(v);
        const double y = size.top + offsetHandle.y;
        handle->draw(context, CRect(x, y, x + handle->getWidth(), y + handle->getHeight()));
    }
}

CMouseEventResult CHorizontalSlider::onMouseDown(CPoint& where, const CButtonState& buttons)
{
    if (!buttons.isLeftButton())
        return kMouseEventNotHandled;
    if (startGesture(buttons))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    relativeDrag = false;
    if (buttons() & kShift)
    {
        // A fine drag from where the value is, wherever the press.
        dragging = true;
        return onMouseMoved(where, buttons);
    }
    const double handleWidth = handle ? handle->getWidth() : 0.0;
    const double handleLeft = handlePosition(getValue());
    if (where.x >= handleLeft && where.x < handleLeft + handleWidth)
        grabOffset = where.x - handleLeft; // keep the handle where it was grabbed
    else if (freeClick)
        grabOffset = handleWidth / 2.0; // centre the handle under the pointer
    else
    {
        endEdit();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    dragging = true;
    return onMouseMoved(where, buttons);
}

CMouseEventResult CHorizontalSlider::onMouseMoved(CPoint& where, const CButtonState& buttons)
{
    if (!dragging || !buttons.isLeftButton())
        return kMouseEventHandled;
    const bool fine = (buttons() & kShift) != 0;
    if (!relativeDrag && !fine)
    {
        changeValue(valueAt(where.x));
        return kMouseEventHandled;
    }
    if (!relativeDrag || fine != fineDrag)
    {
        relativeDrag = true;
        fineDrag = fine;
        anchorX = where.x;
        anchorValue = getValue();
    }
    double moved = (where.x - anchorX) / travel() * (fine ? kFineFactor : 1.0);
    if (style & kRight)
        moved = -moved;
    changeValue(static_cast<float>(anchorValue + moved * (vmax - vmin)));
    return kMouseEventHandled;
}

CMouseEventResult CHorizontalSlider::onMouseUp(CPoint& /*where*/, const CButtonState& /*buttons*/)
{
    endDrag();
    return kMouseEventHandled;
}

bool CHorizontalSlider::onWheel(const CPoint& /*where*/, float distance, const CButtonState& buttons)
{
    return wheelGesture(distance, buttons);
}
