// The editor window: a child window of the host's window with a background
// image and views on it. It owns its views and draws them into a back buffer,
// which the platform window shows. Input reaches the views during idle.
// Views live in the frame's own coordinates; the window and back buffer may
// be larger by a scale factor (1.5 or 2 on screens of high resolution): the
// frame scales all drawing and divides the pointer positions it hands on.
#pragma once

#include "gui/CBaseObject.h"
#include "gui/CairoHandles.h"
#include "gui/CButtonState.h"
#include "gui/CInvalidRegion.h"
#include "gui/CRect.h"
#include "gui/CView.h"
#include "gui/IMouseObserver.h"
#include "gui/platform/IPlatformFrame.h"

#include <cstdint>
#include <memory>
#include <vector>

class AEffGUIEditor;
class CBitmap;

class CFrame : public CBaseObject, private IPlatformFrameCallback
{
public:
    // [UI thread] Opens the window inside `systemWindow`, `scale` times `size`;
    // see isValid.
    CFrame(const CRect& size, void* systemWindow, AEffGUIEditor* editor, double scale = 1.0);
    ~CFrame() override;

    // False when no window could be made (no display, no parent window).
    bool isValid() const { return platform != nullptr; }
    // The platform's handle of the window (an X11 Window id); null without one.
    void* getPlatformHandle() const { return platform ? platform->getNativeHandle() : nullptr; }
    AEffGUIEditor* getEditor() const { return editor; }
    const CRect& getViewSize() const { return size; }
    double getScale() const { return scale; }
    // A rectangle in the frame's coordinates as whole window pixels, rounded outwards.
    CRect toWindowPixels(const CRect& r) const;

    // Takes a reference to the image.
    void setBackground(CBitmap* bitmap);
    CBitmap* getBackground() const { return background; }

    // Takes over the caller's reference; the view is drawn after those added before.
    bool addView(CView* view);
    size_t getNbViews() const { return views.size(); }
    CView* getView(size_t index) const { return index < views.size() ? views[index] : nullptr; }

    // [UI thread] Handles pending input, then redraws what changed.
    void idle();
    // [UI thread] Draws what changed (the dirty views, or the parts of them
    // they name, and the rectangles marked invalid) into the back buffer and
    // shows those parts. With nothing changed it draws nothing and sends the
    // window system nothing.
    void redrawDirty();
    // [UI thread] Draws everything into the back buffer and shows it.
    void redrawAll();
    // [UI thread] Draws this part of the window again at the next redraw.
    void invalidRect(const CRect& r);

    // Drawing statistics: view draw calls and rectangles shown since the frame opened.
    uint64_t getDrawCount() const { return drawCount; }
    uint64_t getPresentCount() const { return presentCount; }
    IPlatformFrame* getPlatformFrame() const { return platform.get(); }

    // [UI thread] Mouse input in window coordinates, as from the platform.
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons);
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons);
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons);
    bool onWheel(const CPoint& where, float distance, const CButtonState& buttons);
    const CPoint& getLastMousePosition() const { return lastMouse; }
    // Keys go to the view pressed last; -1 when it does not take them.
    int32_t onKeyDown(VstKeyCode& keyCode);
    int32_t onKeyUp(VstKeyCode& keyCode);
    CView* getMouseCaptureView() const { return mouseCapture; }
    // The view under the pointer (or the one being dragged); null when the
    // pointer is over no view or outside the window.
    CView* getHoverView() const { return hoverView; }
    // One observer of the pointer (null for none); not owned.
    void setMouseObserver(IMouseObserver* observer) { mouseObserver = observer; }

    // Gesture brackets of the controls, passed to the editor binding.
    void beginEdit(int32_t tag);
    void endEdit(int32_t tag);
    // Closes the gestures still open, for a window that goes away mid-drag.
    void endPendingEdits();

    cairo_surface_t* getBackBuffer() const { return backBuffer.get(); }

    // Replaces the window factory (tests run the frame without a display);
    // null restores the native one.
    static void setPlatformFactory(PlatformFrameFactory factory);
    // [UI thread] The scale the window system asks for (1, 1.5 or 2); the
    // query can be replaced like the factory.
    static double queryScale();
    static void setScaleQuery(double (*query)());

private:
    void platformOnMouseDown(CPoint where, CButtonState buttons) override;
    void platformOnMouseMoved(CPoint where, CButtonState buttons) override;
    void platformOnMouseUp(CPoint where, CButtonState buttons) override;
    void platformOnWheel(CPoint where, float distance, CButtonState buttons) override;
    void platformOnExpose(const CRect& area) override;
    void platformOnMouseExited() override;
    bool platformOnKeyDown(VstKeyCode& key) override;
    bool platformOnKeyUp(VstKeyCode& key) override;

    CView* viewAt(const CPoint& where) const;
    // Tells the observer when the view under the pointer changes.
    void setHoverView(CView* view);
    // Paints the background and every view that overlaps `area`, clipped to it.
    void drawArea(cairo_t* cr, const CRect& area);
    void present(const CRect& area);

    CRect size;
    AEffGUIEditor* editor;
    double scale;
    CBitmap* background = nullptr;
    std::vector<CView*> views;
    CView* mouseCapture = nullptr;
    CView* focusView = nullptr;
    CView* hoverView = nullptr;
    IMouseObserver* mouseObserver = nullptr;
    CPoint lastMouse;
    CairoSurfacePtr backBuffer;
    bool needsFullRedraw = true;
    CInvalidRegion pendingInvalid;
    uint64_t drawCount = 0;
    uint64_t presentCount = 0;
    std::unique_ptr<IPlatformFrame> platform;
};
