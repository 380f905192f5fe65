// A position in window coordinates.
#pragma once

struct CPoint
{
    double x = 0.0;
    double y = 0.0;

    CPoint() = default;
    CPoint(double x, double y) : x(x), y(y) {}
    bool operator==(const CPoint&) const = default;
};
