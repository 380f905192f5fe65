// The filter-type switch: three click segments (positions 1, 2, 3) over a
// four-state image (off, 1, 2, 3). Pressing the segment already selected
// switches off; the value is position / 3.
#pragma once

#include "gui/CHorizontalSwitch.h"

#include <cstdint>

class CMuteableHorizontalSwitch : public CHorizontalSwitch
{
public:
    // [UI thread] Highest position 3, one state a quarter of the image high,
    // default value 0.
    CMuteableHorizontalSwitch(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background,
                              const CPoint& offset = CPoint(0, 0));

    void draw(CDrawContext* context) override;
    // One press is one whole gesture; no move or release events are wanted.
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;

    // The image state shown for a value: the filter type the effect derives
    // from it, value x 3 + 0.5 truncated.
    int32_t stateOf(float val) const;
    // The position a press at window x selects (0 at the very left edge).
    int32_t positionAt(double x) const;

private:
    double segmentWidth = 0.0;
    int64_t highestPosition = 3;
    double imageHeight = 0.0;
};
