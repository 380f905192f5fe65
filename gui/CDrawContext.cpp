#include "gui/CDrawContext.h"

CDrawContext::CDrawContext(cairo_t* cr) : cr(cr)
{
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
}

void CDrawContext::setDrawMode(CDrawMode mode)
{
    drawMode = mode;
    cairo_set_antialias(cr, mode == kAliasing ? CAIRO_ANTIALIAS_NONE : CAIRO_ANTIALIAS_DEFAULT);
}

void CDrawContext::applyColor(const CColor& c)
{
    cairo_set_source_rgba(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
}

void CDrawContext::lineTo(const CPoint& p)
{
    applyColor(frameColor);
    cairo_set_line_width(cr, lineWidth);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_move_to(cr, penPosition.x, penPosition.y);
    cairo_line_to(cr, p.x, p.y);
    cairo_stroke(cr);
    penPosition = p;
}

void CDrawContext::fillRect(const CRect& r)
{
    applyColor(fillColor);
    cairo_rectangle(cr, r.left, r.top, r.getWidth(), r.getHeight());
    cairo_fill(cr);
}

void CDrawContext::setClipRect(const CRect& r)
{
    cairo_reset_clip(cr);
    cairo_rectangle(cr, r.left, r.top, r.getWidth(), r.getHeight());
    cairo_clip(cr);
}

void CDrawContext::resetClipRect()
{
    cairo_reset_clip(cr);
}
