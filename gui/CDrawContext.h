// Drawing on a cairo context in window coordinates. Lines are drawn as soon
// as lineTo is called, with the current frame colour and line width.
#pragma once

#include "gui/CColor.h"
#include "gui/CPoint.h"
#include "gui/CRect.h"

#include <cairo.h>

enum CDrawMode : int32_t
{
    kAliasing = 0,
    kAntiAliasing = 1,
};

class CDrawContext
{
public:
    // [UI thread] Draws on `cr`, which stays owned by the caller.
    explicit CDrawContext(cairo_t* cr);
    CDrawContext(const CDrawContext&) = delete;
    CDrawContext& operator=(const CDrawContext&) = delete;

    void setDrawMode(CDrawMode mode);
    CDrawMode getDrawMode() const { return drawMode; }
    void setLineWidth(double width) { lineWidth = width; }
    double getLineWidth() const { return lineWidth; }
    void setFrameColor(const CColor& color) { frameColor = color; }
    const CColor& getFrameColor() const { return frameColor; }
    void setFillColor(const CColor& color) { fillColor = color; }
    const CColor& getFillColor() const { return fillColor; }

    void moveTo(const CPoint& p) { penPosition = p; }
    void lineTo(const CPoint& p);
    const CPoint& getPenPosition() const { return penPosition; }
    void fillRect(const CRect& r);

    // Limits drawing to `r` until the clip is reset.
    void setClipRect(const CRect& r);
    void resetClipRect();

    cairo_t* getCairo() const { return cr; }

private:
    void applyColor(const CColor& color);

    cairo_t* cr;
    CDrawMode drawMode = kAntiAliasing;
    double lineWidth = 1.0;
    CColor frameColor = kBlackCColor;
    CColor fillColor = kWhiteCColor;
    CPoint penPosition;
};
