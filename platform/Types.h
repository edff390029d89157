#pragma once
// Integer points, sizes and rectangles of the class library, with the
// rectangle helpers of the platform (right and bottom edges are exclusive).
#include <algorithm>
#include <cstdint>

struct TPoint {
    int32_t X = 0;
    int32_t Y = 0;
    bool operator==(const TPoint&) const = default;
};

struct TSize {
    int32_t cx = 0;
    int32_t cy = 0;
    bool operator==(const TSize&) const = default;
};

struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    int32_t Width() const { return Right - Left; }
    int32_t Height() const { return Bottom - Top; }
    bool operator==(const TRect&) const = default;
};

inline TPoint Point(int32_t x, int32_t y) { return TPoint{x, y}; }
inline TRect Rect(int32_t l, int32_t t, int32_t r, int32_t b) { return TRect{l, t, r, b}; }

// True when the rectangle has no area.
inline bool IsRectEmpty(const TRect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }

// The common part of a and b; an empty result is (0, 0, 0, 0). Returns
// whether the result is non-empty.
inline bool IntersectRect(TRect& dst, const TRect& a, const TRect& b)
{
    TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom)};
    if (IsRectEmpty(r)) {
        dst = TRect{};
        return false;
    }
    dst = r;
    return true;
}

// The smallest rectangle holding both; an empty operand is ignored.
inline bool UnionRect(TRect& dst, const TRect& a, const TRect& b)
{
    if (IsRectEmpty(a))
        dst = b;
    else if (IsRectEmpty(b))
        dst = a;
    else
        dst = TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
                    std::max(a.Bottom, b.Bottom)};
    return !IsRectEmpty(dst);
}

inline void OffsetRect(TRect& r, int32_t dx, int32_t dy)
{
    r.Left += dx;
    r.Right += dx;
    r.Top += dy;
    r.Bottom += dy;
}

inline void InflateRect(TRect& r, int32_t dx, int32_t dy)
{
    r.Left -= dx;
    r.Right += dx;
    r.Top -= dy;
    r.Bottom += dy;
}

inline bool PtInRect(const TRect& r, const TPoint& p)
{
    return p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom;
}
