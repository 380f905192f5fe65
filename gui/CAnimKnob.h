// A knob drawn from a strip of sub-images stacked vertically, one per step.
// How a drag turns into a value follows the editor binding's knob mode; with
// Shift held the drag moves ten times more finely, from where the value is.
#pragma once

#include "gui/CControl.h"

class CAnimKnob : public CControl
{
public:
    // [UI thread]
    CAnimKnob(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps, double heightOfOneImage,
              CBitmap* background, const CPoint& offset = CPoint(0, 0));

    int32_t getNumSubPixmaps() const { return subPixmaps; }
    double getHeightOfOneImage() const { return heightOfOneImage; }
    // The sub-image shown for a value.
    int32_t frameIndex(float val) const;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    bool onWheel(const CPoint& where, float distance, const CButtonState& buttons) override;

    // The knob turns over 270 degrees, from the lower left (value min)
    // clockwise to the lower right (value max).
    float valueFromAngle(const CPoint& where) const;
    // Pixels of vertical drag for the whole range in linear mode.
    static constexpr double kLinearRange = 200.0;

private:
    double angleOf(const CPoint& where) const;

    int32_t subPixmaps;
    double heightOfOneImage;
    CPoint offset;
    int32_t mode = 0;
    CPoint firstPoint;
    float startValue = 0.0f;
    double startAngle = 0.0;
    // Shift has been used in this drag: the value follows the pointer's
    // movement from firstPoint / startAngle, set anew whenever Shift changes.
    bool relativeDrag = false;
    bool fineDrag = false;
};
