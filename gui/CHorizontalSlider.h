// A horizontal slider: a track image with a handle image moving along it.
#pragma once

#include "gui/CControl.h"

enum CSliderStyle : int32_t
{
    // The value grows from left to right.
    kLeft = 1 << 3,
    // The value grows from right to left.
    kRight = 1 << 4,
};

class CHorizontalSlider : public CControl
{
public:
    // [UI thread] The handle moves over `rangeHandle` pixels from `offsetHandle`
    // (relative to the control); the track image is drawn from `offset`.
    CHorizontalSlider(const CRect& size, CControlListener* listener, int32_t tag, const CPoint& offsetHandle,
                      int32_t rangeHandle, CBitmap* handle, CBitmap* background, const CPoint& offset = CPoint(0, 0),
                      int32_t style = kLeft);
    ~CHorizontalSlider() override;

    // A press anywhere on the track moves the handle under the pointer; without
    // it only a press on the handle starts a drag. With Shift held, a press
    // moves nothing and a drag moves the value ten times more finely, from
    // where it is: Shift pressed or let go during a drag never makes it jump.
    void setFreeClick(bool val) { freeClick = val; }
    bool getFreeClick() const { return freeClick; }
    int32_t getStyle() const { return style; }

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    bool onWheel(const CPoint& where, float distance, const CButtonState& buttons) override;

    // Window x of the handle's left edge for a value.
    double handlePosition(float val) const;

private:
    double travel() const;
    float valueAt(double x) const;

    CBitmap* handle;
    CPoint offsetHandle;
    int32_t rangeHandle;
    CPoint offset;
    int32_t style;
    bool freeClick = false;
    double grabOffset = 0.0; // pointer x minus handle left edge during a drag
    // Once Shift has been used in a drag, the value follows the pointer's
    // movement from an anchor, set anew whenever Shift changes.
    bool relativeDrag = false;
    bool fineDrag = false;
    double anchorX = 0.0;
    float anchorValue = 0.0f;
};
