#include "editor/CMuteableHorizontalSwitch.h"

#include "gui/CBitmap.h"

#include <cmath>

CMuteableHorizontalSwitch::CMuteableHorizontalSwitch(const CRect& size, CControlListener* listener, int32_t tag,
                                                     CBitmap* background, const CPoint& offset)
    : CHorizontalSwitch(size, listener, tag, background, offset)
{
    highestPosition = 3;
    imageHeight = background ? background->getHeight() / 4 : 0.0;
    setDefaultValue(0.0f);
}

int32_t CMuteableHorizontalSwitch::stateOf(float val) const
{
    // The effect's own rule, in float32 as it computes it, so that the picture
    // and a press read the filter the effect runs (0.5 is band-pass).
    return static_cast<int32_t>(static_cast<float>(highestPosition) * val + 0.5f);
}

int32_t CMuteableHorizontalSwitch::positionAt(double x) const
{
    if (!(segmentWidth > 0.0))
        return 0; // no image, no segments
    double pos = std::ceil((x - size.left) / segmentWidth);
    if (pos > static_cast<double>(highestPosition))
        pos = static_cast<double>(highestPosition);
    if (pos < 0.0)
        pos = 0.0;
    return static_cast<int32_t>(pos);
}

void CMuteableHorizontalSwitch::draw(CDrawContext* context)
{
    setDirty(false);
    if (background)
        background->draw(context, size, CPoint(0, imageHeight * stateOf(getValue())));
}

CMouseEventResult CMuteableHorizontalSwitch::onMouseDown(CPoint& where, const CButtonState& buttons)
{
    if (!buttons.isLeftButton())
        return kMouseEventNotHandled;
    segmentWidth = background ? background->getWidth() / 3 : 0.0;
    beginEdit();
    const int32_t position = positionAt(where.x);
    const int32_t current = stateOf(getValue());
    if (current == position)
        setValue(0.0f);
    else
        setValue(static_cast<float>(position / static_cast<double>(highestPosition)));
    valueChanged();
    endEdit();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

CMouseEventResult CMuteableHorizontalSwitch::onMouseUp(CPoint& /*where*/, const CButtonState& /*buttons*/)
{
    return kMouseEventHandled;
}

CMouseEventResult CMuteableHorizontalSwitch::onMouseMoved(CPoint& /*where*/, const CButtonState& /*buttons*/)
{
    return kMouseEventHandled;
}
