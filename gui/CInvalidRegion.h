// The parts of the window to draw again at the next redraw: a few rectangles,
// merged where they overlap or touch, and all merged into one when there are
// more than it holds. Fixed capacity: collecting it never allocates.
#pragma once

#include "gui/CRect.h"

#include <cstddef>

class CInvalidRegion
{
public:
    static constexpr size_t kCapacity = 16;

    void add(const CRect& r)
    {
        if (r.isEmpty())
            return;
        for (size_t i = 0; i < count; ++i)
            if (touches(rects[i], r))
            {
                rects[i].unite(r);
                return;
            }
        if (count == kCapacity)
        {
            rects[0] = bounds();
            count = 1;
            rects[0].unite(r);
            return;
        }
        rects[count++] = r;
    }
    void clear() { count = 0; }
    bool isEmpty() const { return count == 0; }
    size_t size() const { return count; }
    const CRect& operator[](size_t i) const { return rects[i]; }
    const CRect* begin() const { return rects; }
    const CRect* end() const { return rects + count; }
    CRect bounds() const
    {
        CRect all;
        for (size_t i = 0; i < count; ++i)
            all.unite(rects[i]);
        return all;
    }

private:
    static bool touches(const CRect& a, const CRect& b)
    {
        return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
    }

    CRect rects[kCapacity];
    size_t count = 0;
};
