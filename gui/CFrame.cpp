#include "gui/CFrame.h"

#include "gui/AEffGUIEditor.h"
#include "gui/CBitmap.h"
#include "gui/CControl.h"
#include "gui/CDrawContext.h"

#include <algorithm>
#include <cmath>

namespace
{
PlatformFrameFactory platformFactory = nullptr;
double (*scaleQuery)() = nullptr;
}

void CFrame::setPlatformFactory(PlatformFrameFactory factory)
{
    platformFactory = factory;
}

double CFrame::queryScale()
{
    return (scaleQuery ? scaleQuery : queryNativeScaleFactor)();
}

void CFrame::setScaleQuery(double (*query)())
{
    scaleQuery = query;
}

CFrame::CFrame(const CRect& size, void* systemWindow, AEffGUIEditor* editor, double scale)
    : size(size), editor(editor), scale(scale > 0.0 ? scale : 1.0)
{
    const CRect pixels = toWindowPixels(CRect(0, 0, size.getWidth(), size.getHeight()));
    const int w = std::max(1, static_cast<int>(pixels.getWidth()));
    const int h = std::max(1, static_cast<int>(pixels.getHeight()));
    backBuffer.reset(cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h));
    if (systemWindow)
        platform = (platformFactory ? platformFactory : createNativePlatformFrame)(systemWindow, CRect(0, 0, w, h),
                                                                                   this);
}

CRect CFrame::toWindowPixels(const CRect& r) const
{
    return CRect(std::floor(r.left * scale), std::floor(r.top * scale), std::ceil(r.right * scale),
                 std::ceil(r.bottom * scale));
}

CFrame::~CFrame()
{
    // The window goes first so that no event reaches a half-destroyed frame.
    platform.reset();
    mouseCapture = nullptr;
    focusView = nullptr;
    hoverView = nullptr;
    mouseObserver = nullptr;
    for (CView* view : views)
    {
        view->setFrame(nullptr);
        view->forget();
    }
    views.clear();
    if (background)
        background->forget();
}

void CFrame::setBackground(CBitmap* bitmap)
{
    if (bitmap)
        bitmap->remember();
    if (background)
        background->forget();
    background = bitmap;
    needsFullRedraw = true;
}

bool CFrame::addView(CView* view)
{
    if (!view)
        return false;
    view->setFrame(this);
    view->setDirty(true);
    views.push_back(view);
    return true;
}

void CFrame::idle()
{
    if (platform)
        platform->processEvents();
    redrawDirty();
}

void CFrame::invalidRect(const CRect& r)
{
    pendingInvalid.add(r);
}

void CFrame::drawArea(cairo_t* cr, const CRect& area)
{
    CairoStateGuard guard(cr);
    // Whole window pixels: clipped there first, then drawn in frame coordinates.
    const CRect pixels = toWindowPixels(area);
    cairo_rectangle(cr, pixels.left, pixels.top, pixels.getWidth(), pixels.getHeight());
    cairo_clip(cr);
    cairo_scale(cr, scale, scale);
    const CRect covered(pixels.left / scale, pixels.top / scale, pixels.right / scale, pixels.bottom / scale);
    CDrawContext context(cr);
    // The whole image, of which the clip keeps the area: a scaled picture is
    // then the same in a partial redraw as in a whole one.
    if (background)
        background->draw(&context, CRect(0, 0, size.getWidth(), size.getHeight()));
    for (CView* view : views)
    {
        CRect part = view->getViewSize();
        part.bound(covered);
        if (part.isEmpty())
            continue;
        CairoStateGuard viewGuard(cr);
        CDrawContext viewContext(cr);
        viewContext.setClipRect(part);
        // Clean before drawing: a change that arrives while it draws makes it
        // dirty again instead of being lost.
        view->setDirty(false);
        view->draw(&viewContext);
        ++drawCount;
    }
}

void CFrame::redrawDirty()
{
    if (needsFullRedraw)
    {
        redrawAll();
        return;
    }
    CInvalidRegion region = pendingInvalid;
    pendingInvalid.clear();
    for (CView* view : views)
        view->collectInvalid(region);
    const CRect whole(0, 0, size.getWidth(), size.getHeight());
    CInvalidRegion visible;
    for (CRect r : region)
        visible.add(r.bound(whole));
    if (visible.isEmpty())
        return;
    CairoContextPtr cr(cairo_create(backBuffer.get()));
    for (const CRect& r : visible)
        drawArea(cr.get(), r);
    cr.reset();
    for (const CRect& r : visible)
        present(r);
    if (platform)
        platform->flush();
}

void CFrame::redrawAll()
{
    needsFullRedraw = false;
    pendingInvalid.clear();
    // Everything is drawn now: what the views had to report is done with.
    CInvalidRegion drawnAnyway;
    for (CView* view : views)
        view->collectInvalid(drawnAnyway);
    CairoContextPtr cr(cairo_create(backBuffer.get()));
    {
        CairoStateGuard guard(cr.get());
        cairo_set_source_rgb(cr.get(), 0, 0, 0);
        cairo_paint(cr.get());
    }
    const CRect whole(0, 0, size.getWidth(), size.getHeight());
    drawArea(cr.get(), whole);
    cr.reset();
    present(whole);
    if (platform)
        platform->flush();
}

void CFrame::present(const CRect& area)
{
    ++presentCount;
    cairo_surface_flush(backBuffer.get());
    if (platform)
        platform->present(backBuffer.get(), toWindowPixels(area));
}

CView* CFrame::viewAt(const CPoint& where) const
{
    for (auto it = views.rbegin(); it != views.rend(); ++it)
        if ((*it)->getViewSize().pointInside(where))
            return *it;
    return nullptr;
}

void CFrame::setHoverView(CView* view)
{
    if (view == hoverView)
        return;
    CView* left = hoverView;
    hoverView = view;
    if (!mouseObserver)
        return;
    if (left)
        mouseObserver->onMouseExited(left, this);
    if (view)
        mouseObserver->onMouseEntered(view, this);
}

CMouseEventResult CFrame::onMouseDown(CPoint& where, const CButtonState& buttons)
{
    lastMouse = where;
    if (mouseCapture)
        return kMouseEventHandled; // a second button during a drag changes nothing
    CView* view = viewAt(where);
    setHoverView(view);
    if (!view)
        return kMouseEventNotHandled;
    focusView = view;
    const CMouseEventResult result = view->onMouseDown(where, buttons);
    if (result == kMouseEventHandled)
        mouseCapture = view;
    return result;
}

CMouseEventResult CFrame::onMouseMoved(CPoint& where, const CButtonState& buttons)
{
    lastMouse = where;
    // Only the view that took the press sees the moves that follow it; a
    // drag nobody took, or a hover, reaches no view.
    CMouseEventResult result = kMouseEventNotHandled;
    if (mouseCapture)
        result = mouseCapture->onMouseMoved(where, buttons);
    else
        setHoverView(viewAt(where));
    if (mouseObserver)
        mouseObserver->onMouseMoved(this, where, buttons);
    return result;
}

CMouseEventResult CFrame::onMouseUp(CPoint& where, const CButtonState& buttons)
{
    lastMouse = where;
    CView* view = mouseCapture;
    mouseCapture = nullptr;
    const CMouseEventResult result = view ? view->onMouseUp(where, buttons) : kMouseEventNotHandled;
    setHoverView(viewAt(where));
    return result;
}

bool CFrame::onWheel(const CPoint& where, float distance, const CButtonState& buttons)
{
    if (mouseCapture)
        return false;
    if (CView* view = viewAt(where))
        return view->onWheel(where, distance, buttons);
    return false;
}

int32_t CFrame::onKeyDown(VstKeyCode& keyCode)
{
    return focusView ? focusView->onKeyDown(keyCode) : -1;
}

int32_t CFrame::onKeyUp(VstKeyCode& keyCode)
{
    return focusView ? focusView->onKeyUp(keyCode) : -1;
}

void CFrame::beginEdit(int32_t tag)
{
    if (editor)
        editor->beginEdit(tag);
}

void CFrame::endEdit(int32_t tag)
{
    if (editor)
        editor->endEdit(tag);
}

void CFrame::endPendingEdits()
{
    mouseCapture = nullptr;
    for (CView* view : views)
    {
        if (!view->isTypeOf("CControl"))
            continue;
        auto* control = static_cast<CControl*>(view);
        while (control->isEditing())
            control->endEdit();
    }
}

// The platform speaks in window pixels, the views in frame coordinates.
void CFrame::platformOnMouseDown(CPoint where, CButtonState buttons)
{
    CPoint p(where.x / scale, where.y / scale);
    onMouseDown(p, buttons);
}

void CFrame::platformOnMouseMoved(CPoint where, CButtonState buttons)
{
    CPoint p(where.x / scale, where.y / scale);
    onMouseMoved(p, buttons);
}

void CFrame::platformOnMouseUp(CPoint where, CButtonState buttons)
{
    CPoint p(where.x / scale, where.y / scale);
    onMouseUp(p, buttons);
}

void CFrame::platformOnWheel(CPoint where, float distance, CButtonState buttons)
{
    lastMouse = CPoint(where.x / scale, where.y / scale);
    onWheel(lastMouse, distance, buttons);
}

void CFrame::platformOnExpose(const CRect& area)
{
    if (needsFullRedraw)
        redrawAll();
    else if (platform)
    {
        ++presentCount;
        cairo_surface_flush(backBuffer.get());
        platform->present(backBuffer.get(), area);
        platform->flush();
    }
}

void CFrame::platformOnMouseExited()
{
    if (!mouseCapture)
        setHoverView(nullptr);
}

// The window's own keys take the host's road: through the editor binding.
bool CFrame::platformOnKeyDown(VstKeyCode& key)
{
    return editor && editor->onKeyDown(key);
}

bool CFrame::platformOnKeyUp(VstKeyCode& key)
{
    return editor && editor->onKeyUp(key);
}
