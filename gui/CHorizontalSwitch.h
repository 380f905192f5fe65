// A switch with several positions side by side; the image holds one state per
// position, stacked vertically. The value is position / (positions - 1).
#pragma once

#include "gui/CControl.h"

class CHorizontalSwitch : public CControl
{
public:
    // [UI thread] Each state is as high as the control; the number of
    // positions is the number of states in the image.
    CHorizontalSwitch(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background,
                      const CPoint& offset = CPoint(0, 0));

    int32_t getNumPositions() const { return positions; }
    double getHeightOfOneImage() const { return heightOfOneImage; }

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;

protected:
    float valueAt(double x) const;

    CPoint offset;
    double heightOfOneImage;
    int32_t positions;
};
