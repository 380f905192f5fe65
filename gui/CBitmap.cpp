#include "gui/CBitmap.h"

#include "gui/CDrawContext.h"
#include "gui/EmbeddedResource.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

std::atomic<int64_t> CBitmap::decodeCount{0};

namespace
{
struct PngReader
{
    const unsigned char* data;
    size_t size;
    size_t pos;
};

cairo_status_t readPng(void* closure, unsigned char* out, unsigned int length)
{
    auto* r = static_cast<PngReader*>(closure);
    if (length > r->size - r->pos)
        return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, r->data + r->pos, length);
    r->pos += length;
    return CAIRO_STATUS_SUCCESS;
}

// The first resource of the number among the extensions tried, if it is a
// PNG image (the only kind decoded).
const EmbeddedResource* findPng(int32_t resourceNumber)
{
    static const char* const extensions[] = {"png", "bmp", "jpg", "pict"};
    for (const char* ext : extensions)
    {
        char name[32];
        std::snprintf(name, sizeof name, "bmp%05d.%s", static_cast<int>(resourceNumber), ext);
        if (const EmbeddedResource* res = findEmbeddedResource(name))
            return std::strcmp(ext, "png") == 0 ? res : nullptr;
    }
    return nullptr;
}

uint32_t readBigEndian32(const unsigned char* p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}
}

CBitmap::CBitmap(int32_t resourceNumber) : resourceNumber(resourceNumber)
{
    const EmbeddedResource* res = findPng(resourceNumber);
    if (!res)
        return;
    PngReader reader{res->data, res->size, 0};
    CairoSurfacePtr s(cairo_image_surface_create_from_png_stream(readPng, &reader));
    decodeCount.fetch_add(1, std::memory_order_relaxed);
    if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS)
        return;
    width = cairo_image_surface_get_width(s.get());
    height = cairo_image_surface_get_height(s.get());
    surface = std::move(s);
}

CPoint CBitmap::imageSize(int32_t resourceNumber)
{
    // Signature, then the IHDR chunk: length, type, width, height (big-endian).
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    const EmbeddedResource* res = findPng(resourceNumber);
    if (!res || res->size < 24 || std::memcmp(res->data, signature, 8) != 0 ||
        std::memcmp(res->data + 12, "IHDR", 4) != 0)
        return CPoint(0, 0);
    const uint32_t w = readBigEndian32(res->data + 16);
    const uint32_t h = readBigEndian32(res->data + 20);
    // A PNG's dimensions are at most 2^31 - 1; anything larger is damage.
    if (w > 0x7fffffffu || h > 0x7fffffffu)
        return CPoint(0, 0);
    return CPoint(w, h);
}

void CBitmap::draw(CDrawContext* context, const CRect& dest, const CPoint& offset, float alpha)
{
    if (!surface || !context || dest.isEmpty())
        return;
    cairo_t* cr = context->getCairo();
    CairoStateGuard guard(cr);
    cairo_rectangle(cr, dest.left, dest.top, dest.getWidth(), dest.getHeight());
    cairo_clip(cr);
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    if (m.xx == 1.0 && m.yy == 1.0 && m.xy == 0.0 && m.yx == 0.0)
    {
        cairo_set_source_surface(cr, surface.get(), dest.left - offset.x, dest.top - offset.y);
        // Whole-pixel placement: no filtering between neighbouring frames of a strip.
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    }
    else
    {
        // Scaled: smoothly, from the shown part alone (one frame of a strip),
        // its edge pixels repeated outwards, so no neighbouring frame bleeds in.
        const double x = std::clamp(offset.x, 0.0, width);
        const double y = std::clamp(offset.y, 0.0, height);
        const double w = std::min(dest.getWidth(), width - x);
        const double h = std::min(dest.getHeight(), height - y);
        if (w <= 0.0 || h <= 0.0)
            return;
        CairoSurfacePtr part(cairo_surface_create_for_rectangle(surface.get(), x, y, w, h));
        cairo_set_source_surface(cr, part.get(), dest.left, dest.top);
        cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    }
    if (alpha >= 1.0f)
        cairo_paint(cr);
    else
        cairo_paint_with_alpha(cr, alpha);
}
