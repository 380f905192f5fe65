// An image decoded once from the module's embedded resources ("bmp%05d" with
// the extensions png, bmp, jpg and pict tried in that order; PNG is decoded).
// A resource that is missing or cannot be decoded gives a 0 x 0 image that
// draws nothing.
#pragma once

#include "gui/CBaseObject.h"
#include "gui/CairoHandles.h"
#include "gui/CPoint.h"
#include "gui/CRect.h"

#include <atomic>
#include <cstdint>

class CDrawContext;

class CBitmap : public CBaseObject
{
public:
    // [UI thread]
    explicit CBitmap(int32_t resourceNumber);

    double getWidth() const { return width; }
    double getHeight() const { return height; }
    bool isLoaded() const { return surface != nullptr; }
    int32_t getResourceNumber() const { return resourceNumber; }

    // Draws the part of the image that starts at `offset` into `dest`.
    void draw(CDrawContext* context, const CRect& dest, const CPoint& offset = CPoint(0, 0), float alpha = 1.0f);

    // [any thread] A resource's image size from its header, without decoding
    // it; 0 x 0 when the resource is missing or no PNG image.
    static CPoint imageSize(int32_t resourceNumber);

    // How many images have been decoded in this module so far.
    static int64_t getDecodeCount() { return decodeCount.load(std::memory_order_relaxed); }

private:
    int32_t resourceNumber;
    CairoSurfacePtr surface;
    double width = 0.0;
    double height = 0.0;
    static std::atomic<int64_t> decodeCount;
};
