// Told of the pointer's travels over a frame: which view it is over, and
// every move, whether a view takes the move or not. For what the window
// shows about the control under the pointer (a readout, a highlight).
#pragma once

#include "gui/CButtonState.h"
#include "gui/CPoint.h"

class CFrame;
class CView;

class IMouseObserver
{
public:
    virtual ~IMouseObserver() = default;
    // [UI thread] The pointer came over `view` / left it. While a view holds
    // the pointer for a drag, the view under the pointer counts as the one
    // being dragged, until the release.
    virtual void onMouseEntered(CView* view, CFrame* frame) = 0;
    virtual void onMouseExited(CView* view, CFrame* frame) = 0;
    // [UI thread] After the frame has handled a move (frame coordinates).
    virtual void onMouseMoved(CFrame* frame, const CPoint& where, const CButtonState& buttons) = 0;
};
