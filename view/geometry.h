#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// Client pixel coordinates: x to the right, y downward. A rectangle excludes
// its right and bottom edges.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct Point {
    int x = 0;
    int y = 0;

    friend bool operator==(Point, Point) = default;
};

inline bool contains(const Rect& r, int x, int y)
{
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

inline bool isEmpty(const Rect& r) { return r.right <= r.left || r.bottom <= r.top; }

// The smallest rectangle holding both; an empty one adds nothing.
inline Rect united(const Rect& a, const Rect& b)
{
    if (isEmpty(a))
        return b;
    if (isEmpty(b))
        return a;
    return {a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top, a.right > b.right ? a.right : b.right,
            a.bottom > b.bottom ? a.bottom : b.bottom};
}

// The one conversion of a real value to a pixel coordinate: truncation toward
// zero, 0 for a value that is not finite, and the int range for values beyond
// it (a plain cast of those is undefined behaviour).
inline int toPixel(double value)
{
    if (!std::isfinite(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<int>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

// Narrows a sum of pixel coordinates, computed in 64 bits so that it cannot
// overflow, back to a coordinate; sums beyond the int range saturate.
inline int narrowPixel(std::int64_t value)
{
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}
