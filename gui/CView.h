// A rectangle of the window that draws itself and takes mouse events.
#pragma once

#include "gui/CBaseObject.h"
#include "gui/CButtonState.h"
#include "gui/CInvalidRegion.h"
#include "gui/CPoint.h"
#include "gui/CRect.h"
#include "frame/VstRecords.h"

class CDrawContext;
class CFrame;

enum CMouseEventResult : int32_t
{
    kMouseEventNotImplemented = 0,
    kMouseEventHandled = 1,
    kMouseEventNotHandled = 2,
    kMouseDownEventHandledButDontNeedMovedOrUpEvents = 3,
};

class CView : public CBaseObject
{
public:
    explicit CView(const CRect& size) : size(size) {}

    // [UI thread] Draws in window coordinates; the frame clips to the view and
    // repaints the background under it first.
    virtual void draw(CDrawContext* /*context*/) {}

    // [UI thread] Positions are window coordinates. A view that answers a press
    // with kMouseEventHandled gets the following moves and the release, also
    // outside its rectangle.
    virtual CMouseEventResult onMouseDown(CPoint& /*where*/, const CButtonState& /*buttons*/) { return kMouseEventNotImplemented; }
    virtual CMouseEventResult onMouseUp(CPoint& /*where*/, const CButtonState& /*buttons*/) { return kMouseEventNotImplemented; }
    virtual CMouseEventResult onMouseMoved(CPoint& /*where*/, const CButtonState& /*buttons*/) { return kMouseEventNotImplemented; }
    // [UI thread] Keys for the view pressed last; -1 leaves the key to the host.
    virtual int32_t onKeyDown(VstKeyCode& /*keyCode*/) { return -1; }
    virtual int32_t onKeyUp(VstKeyCode& /*keyCode*/) { return -1; }
    // Wheel distance in steps, positive away from the user.
    virtual bool onWheel(const CPoint& /*where*/, float /*distance*/, const CButtonState& /*buttons*/) { return false; }

    // Dirty: the whole view is drawn again at the next redraw.
    virtual void setDirty(bool val = true) { dirty = val; }
    virtual bool isDirty() const { return dirty; }
    // [UI thread] Adds what must be drawn again to `region`; by default the
    // whole view while it is dirty. A view that knows which of its parts
    // changed adds only those.
    virtual void collectInvalid(CInvalidRegion& region)
    {
        if (isDirty())
            region.add(size);
    }

    const CRect& getViewSize() const { return size; }
    void setViewSize(const CRect& r) { size = r; }
    double getWidth() const { return size.getWidth(); }
    double getHeight() const { return size.getHeight(); }

    // Set by the frame when the view is added and removed.
    CFrame* getFrame() const { return frame; }
    void setFrame(CFrame* f) { frame = f; }

    bool isTypeOf(const char* s) const override;

protected:
    CRect size;
    bool dirty = true;
    CFrame* frame = nullptr;
};
