#include "editor/MyCKickShaper.h"

#include "gui/AEffGUIEditor.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

#include <cstring>

MyCKickShaper::MyCKickShaper(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background)
    : CControl(size, listener, tag, background)
{
    for (int32_t i = 0; i < kNumPoints; ++i)
        points[i].store(128 - i, std::memory_order_relaxed);
}

bool MyCKickShaper::isTypeOf(const char* s) const
{
    return (s && std::strcmp(s, "MyCKickShaper") == 0) || CControl::isTypeOf(s);
}

CBaseObject* MyCKickShaper::newCopy() const
{
    auto* copy = new MyCKickShaper(size, listener, tag, background);
    copy->setValue(getValue());
    copy->setDefaultValue(defaultValue);
    copy->recordedState = recordedState;
    copy->lastPosition = lastPosition;
    copy->positionAccepted = positionAccepted;
    copy->leftHighlight = leftHighlight;
    copy->rightHighlight = rightHighlight;
    for (int32_t i = 0; i < kNumPoints; ++i)
        copy->points[i].store(getfexi(i), std::memory_order_relaxed);
    return copy;
}

void MyCKickShaper::setfexi(int32_t index, int32_t value)
{
    if (index >= 0 && index < kNumPoints)
        points[index].store(value, std::memory_order_relaxed);
}

int32_t MyCKickShaper::getfexi(int32_t index) const
{
    return index >= 0 && index < kNumPoints ? points[index].load(std::memory_order_relaxed) : 0;
}

CColor MyCKickShaper::colourOf(int32_t index) const
{
    if (index == leftHighlight)
        return kBlueCColor;
    if (index == rightHighlight)
        return kGreenCColor;
    return kCurveColor;
}

void MyCKickShaper::draw(CDrawContext* context)
{
    context->setDrawMode(kAliasing);
    context->setLineWidth(2);
    const double x0 = size.left;
    const double y0 = size.top;
    for (int32_t i = 0; i < kNumPoints; ++i)
    {
        context->setFrameColor(colourOf(i));
        const double y = y0 + getfexi(i);
        context->moveTo(CPoint(x0 + i, y));
        context->lineTo(CPoint(x0 + i + 1, y));
    }
    setDirty(false);
}

CMouseEventResult MyCKickShaper::onMouseDown(CPoint& where, const CButtonState& buttons)
{
    if (!buttons.isLeftButton())
        return kMouseEventNotHandled;
    if (startGesture(buttons))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    return onMouseMoved(where, buttons);
}

CMouseEventResult MyCKickShaper::onMouseMoved(CPoint& where, const CButtonState& buttons)
{
    recordedState = buttons() & ~kDoubleClick;
    if (buttons.isLeftButton())
    {
        // All four edges count as inside here.
        if (where.x >= size.left && where.x <= size.right && where.y >= size.top && where.y <= size.bottom)
        {
            lastPosition = where;
            positionAccepted = true;
            if (listener)
                valueChanged();
            setDirty(true);
        }
        if (frame && frame->getEditor())
            frame->getEditor()->doIdleStuff();
    }
    return kMouseEventHandled;
}

CMouseEventResult MyCKickShaper::onMouseUp(CPoint& /*where*/, const CButtonState& /*buttons*/)
{
    endEdit();
    setValue(0.0f);
    if (listener)
        valueChanged();
    return kMouseEventHandled;
}
