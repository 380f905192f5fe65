#include "gui/CAnimKnob.h"

#include "gui/AEffGUIEditor.h"
#include "gui/CBitmap.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace
{
constexpr double kStartAngle = 225.0; // degrees, counter-clockwise from 3 o'clock
constexpr double kRangeAngle = 270.0;
}

CAnimKnob::CAnimKnob(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
                     double heightOfOneImage, CBitmap* background, const CPoint& offset)
    : CControl(size, listener, tag, background), subPixmaps(subPixmaps), heightOfOneImage(heightOfOneImage),
      offset(offset)
{
}

int32_t CAnimKnob::frameIndex(float val) const
{
    if (subPixmaps <= 1 || vmax <= vmin)
        return 0;
    const double norm = std::clamp((val - vmin) / static_cast<double>(vmax - vmin), 0.0, 1.0);
    return static_cast<int32_t>(norm * (subPixmaps - 1) + 0.5);
}

void CAnimKnob::draw(CDrawContext* context)
{
    setDirty(false);
    if (background)
        background->draw(context, size, CPoint(offset.x, offset.y + heightOfOneImage * frameIndex(getValue())));
}

double CAnimKnob::angleOf(const CPoint& where) const
{
    const double cx = (size.left + size.right) / 2.0;
    const double cy = (size.top + size.bottom) / 2.0;
    // Screen y grows downwards; angles grow counter-clockwise.
    double a = std::atan2(cy - where.y, where.x - cx) * 180.0 / std::numbers::pi;
    if (a < 0.0)
        a += 360.0;
    return a;
}

float CAnimKnob::valueFromAngle(const CPoint& where) const
{
    // Degrees turned clockwise from the start angle, in [0, 360).
    double turned = std::fmod(kStartAngle - angleOf(where) + 720.0, 360.0);
    if (turned > kRangeAngle)
        turned = turned - kRangeAngle < (360.0 - kRangeAngle) / 2.0 ? kRangeAngle : 0.0; // dead zone at the bottom
    return static_cast<float>(vmin + (turned / kRangeAngle) * (vmax - vmin));
}

CMouseEventResult CAnimKnob::onMouseDown(CPoint& where, const CButtonState& buttons)
{
    if (!buttons.isLeftButton())
        return kMouseEventNotHandled;
    if (startGesture(buttons))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    dragging = true;
    mode = AEffGUIEditor::getKnobMode();
    firstPoint = where;
    startValue = getValue();
    startAngle = angleOf(where);
    fineDrag = (buttons() & kShift) != 0;
    relativeDrag = fineDrag;
    if (mode == kCircularMode && !fineDrag)
        return onMouseMoved(where, buttons);
    return kMouseEventHandled;
}

CMouseEventResult CAnimKnob::onMouseMoved(CPoint& where, const CButtonState& buttons)
{
    if (!dragging || !buttons.isLeftButton())
        return kMouseEventHandled;
    const bool fine = (buttons() & kShift) != 0;
    if (fine != fineDrag)
    {
        // Shift pressed or let go: go on from here, relative.
        relativeDrag = true;
        fineDrag = fine;
        firstPoint = where;
        startValue = getValue();
        startAngle = angleOf(where);
    }
    const double factor = fine ? kFineFactor : 1.0;
    float v;
    if (mode == kLinearMode)
    {
        const double diff = (firstPoint.y - where.y) + (where.x - firstPoint.x);
        v = static_cast<float>(startValue + diff / kLinearRange * factor * (vmax - vmin));
    }
    else if (mode == kRelativCircularMode || relativeDrag)
    {
        double turned = startAngle - angleOf(where); // clockwise positive
        if (turned > 180.0)
            turned -= 360.0;
        else if (turned < -180.0)
            turned += 360.0;
        v = static_cast<float>(startValue + turned / kRangeAngle * factor * (vmax - vmin));
    }
    else
        v = valueFromAngle(where);
    changeValue(v);
    return kMouseEventHandled;
}

CMouseEventResult CAnimKnob::onMouseUp(CPoint& /*where*/, const CButtonState& /*buttons*/)
{
    endDrag();
    return kMouseEventHandled;
}

bool CAnimKnob::onWheel(const CPoint& /*where*/, float distance, const CButtonState& buttons)
{
    return wheelGesture(distance, buttons);
}
