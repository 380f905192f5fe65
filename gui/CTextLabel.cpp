#include "gui/CTextLabel.h"

#include "gui/CDrawContext.h"
#include "gui/CairoHandles.h"

#include <cmath>
#include <cstring>
#include <numbers>

CTextLabel::CTextLabel(const CRect& size) : CView(size)
{
}

void CTextLabel::setText(const char* newText)
{
    const char* t = newText ? newText : "";
    if (std::strncmp(t, text.data(), kMaxLength) == 0)
        return;
    std::strncpy(text.data(), t, kMaxLength);
    text[kMaxLength] = '\0';
    setDirty(true);
}

void CTextLabel::draw(CDrawContext* context)
{
    setDirty(false);
    if (text[0] == '\0')
        return;
    cairo_t* cr = context->getCairo();
    CairoStateGuard guard(cr);
    // The plate: a rectangle with corners of radius 3, inset half a pixel.
    const double r = 3.0;
    const double x = size.left + 0.5, y = size.top + 0.5, w = size.getWidth() - 1.0, h = size.getHeight() - 1.0;
    const double quarter = std::numbers::pi / 2;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -quarter, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, quarter);
    cairo_arc(cr, x + r, y + h - r, r, quarter, 2 * quarter);
    cairo_arc(cr, x + r, y + r, r, 2 * quarter, 3 * quarter);
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, backColour.red / 255.0, backColour.green / 255.0, backColour.blue / 255.0,
                          backColour.alpha / 255.0);
    cairo_fill(cr);

    // The text centred, its baseline on a whole pixel of the window.
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, fontSize);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.data(), &extents);
    double tx = size.left + (size.getWidth() - extents.x_advance) / 2.0;
    double ty = size.top + (size.getHeight() + fontSize * 0.7) / 2.0;
    cairo_user_to_device(cr, &tx, &ty);
    tx = std::round(tx);
    ty = std::round(ty);
    cairo_device_to_user(cr, &tx, &ty);
    cairo_set_source_rgba(cr, textColour.red / 255.0, textColour.green / 255.0, textColour.blue / 255.0,
                          textColour.alpha / 255.0);
    cairo_move_to(cr, tx, ty);
    cairo_show_text(cr, text.data());
}

bool CTextLabel::isTypeOf(const char* s) const
{
    return (s && std::strcmp(s, "CTextLabel") == 0) || CView::isTypeOf(s);
}
