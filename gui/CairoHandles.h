// Owning handles for cairo objects.
#pragma once

#include <cairo.h>

#include <memory>

struct CairoSurfaceDeleter
{
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct CairoContextDeleter
{
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using CairoSurfacePtr = std::unique_ptr<cairo_surface_t, CairoSurfaceDeleter>;
using CairoContextPtr = std::unique_ptr<cairo_t, CairoContextDeleter>;

// Saves the cairo state and restores it when leaving the scope.
class CairoStateGuard
{
public:
    explicit CairoStateGuard(cairo_t* cr) : cr(cr) { cairo_save(cr); }
    ~CairoStateGuard() { cairo_restore(cr); }
    CairoStateGuard(const CairoStateGuard&) = delete;
    CairoStateGuard& operator=(const CairoStateGuard&) = delete;

private:
    cairo_t* cr;
};
