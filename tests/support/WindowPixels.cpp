#include "tests/support/WindowPixels.h"

#include <cairo.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

std::vector<uint32_t> grabWindowPixels(Display* display, unsigned long window, int width, int height)
{
    std::vector<uint32_t> pixels;
    if (!display || width < 1 || height < 1)
        return pixels;
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (!image)
        return pixels;
    pixels.reserve(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(static_cast<uint32_t>(XGetPixel(image, x, y) & 0xffffff));
    XDestroyImage(image);
    return pixels;
}

bool savePixelsAsPng(const std::vector<uint32_t>& pixels, int width, int height, const std::string& path)
{
    if (width < 1 || height < 1 || pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height))
        return false;
    cairo_surface_t* shot = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    auto* data = cairo_image_surface_get_data(shot);
    const int stride = cairo_image_surface_get_stride(shot);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            reinterpret_cast<uint32_t*>(data + y * stride)[x] = pixels[static_cast<size_t>(y * width + x)];
    cairo_surface_mark_dirty(shot);
    const bool ok = cairo_surface_write_to_png(shot, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(shot);
    return ok;
}
