#include "editor/MyCKickShaper.h"

#include "gui/AEffGUIEditor.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

#include <algorithm>
#include <cmath>
#include <cstring>

MyCKickShaper::MyCKickShaper(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background)
    : CControl(size, listener, tag, background)
{
    for (int32_t i = 0; i < kNumPoints; ++i)
    {
        points[i].store(128 - i, std::memory_order_relaxed);
        drawn[i] = {128 - i, colourOf(i)};
    }
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

CRect MyCKickShaper::columnRect(int32_t index) const
{
    return CRect(size.left + index, size.top, size.left + index + 1, size.bottom);
}

bool MyCKickShaper::isDirty() const
{
    if (CControl::isDirty())
        return true;
    for (int32_t i = 0; i < kNumPoints; ++i)
        if (drawn[i].value != getfexi(i) || !(drawn[i].colour == colourOf(i)))
            return true;
    return false;
}

void MyCKickShaper::collectInvalid(CInvalidRegion& region)
{
    const bool whole = CControl::isDirty();
    if (whole)
        region.add(size);
    for (int32_t i = 0; i < kNumPoints; ++i)
    {
        const Drawn now{getfexi(i), colourOf(i)};
        if (now.value == drawn[i].value && now.colour == drawn[i].colour)
            continue;
        drawn[i] = now;
        if (!whole)
            region.add(columnRect(i));
    }
}

void MyCKickShaper::draw(CDrawContext* context)
{
    context->setDrawMode(kAliasing);
    context->setLineWidth(2);
    const double x0 = size.left;
    const double y0 = size.top;
    // The columns under the clip; a dash covers its own column only.
    double clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;
    cairo_clip_extents(context->getCairo(), &clipLeft, &clipTop, &clipRight, &clipBottom);
    const auto first = static_cast<int32_t>(std::clamp(std::floor(clipLeft - x0) - 1.0, 0.0, kNumPoints - 1.0));
    const auto last = static_cast<int32_t>(std::clamp(std::ceil(clipRight - x0), 0.0, kNumPoints - 1.0));
    for (int32_t i = first; i <= last; ++i)
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
                valueChanged(); // the columns it changes redraw at the next idle
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
