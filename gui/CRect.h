// A rectangle in window coordinates; right and bottom lie just outside it.
#pragma once

#include "gui/CPoint.h"

#include <algorithm>

struct CRect
{
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;

    CRect() = default;
    CRect(double left, double top, double right, double bottom) : left(left), top(top), right(right), bottom(bottom) {}

    double getWidth() const { return right - left; }
    double getHeight() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    // Left and top edges inside, right and bottom edges outside.
    bool pointInside(const CPoint& p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    bool rectOverlap(const CRect& r) const { return r.left < right && r.right > left && r.top < bottom && r.bottom > top; }
    CRect& offset(double dx, double dy)
    {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
        return *this;
    }
    // The smallest rectangle holding both; an empty rectangle adds nothing.
    CRect& unite(const CRect& r)
    {
        if (r.isEmpty())
            return *this;
        if (isEmpty())
            return *this = r;
        left = std::min(left, r.left);
        top = std::min(top, r.top);
        right = std::max(right, r.right);
        bottom = std::max(bottom, r.bottom);
        return *this;
    }
    CRect& bound(const CRect& r)
    {
        left = std::max(left, r.left);
        top = std::max(top, r.top);
        right = std::max(left, std::min(right, r.right));
        bottom = std::max(top, std::min(bottom, r.bottom));
        return *this;
    }
    bool operator==(const CRect&) const = default;
};
