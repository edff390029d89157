#include "uBitmapDrawContext.h"

#include <QImage>
#include <QRegion>

#include <algorithm>
#include <cmath>

#include "SysUtils.h"
#include "uAlphablend.h"

namespace {

TRect Clip3(const TRect& R, const TRect& A, const TRect& B)
{
    TRect r;
    IntersectRect(r, R, A);
    IntersectRect(r, r, B);
    return r;
}

// Source sizes below 1 become 1; the rectangle must lie inside the data.
bool SourceInside(int32_t Width, int32_t Height, int32_t SrcX, int32_t SrcY, int32_t& SrcW, int32_t& SrcH)
{
    SrcW = std::max(SrcW, 1);
    SrcH = std::max(SrcH, 1);
    // Source pixels are addressed in 16.16 fixed point: a part beyond 32767
    // pixels cannot be drawn.
    constexpr int64_t kFixedLimit = 32767;
    return SrcX >= 0 && SrcY >= 0 && int64_t(SrcX) + SrcW <= std::min<int64_t>(Width, kFixedLimit) &&
           int64_t(SrcY) + SrcH <= std::min<int64_t>(Height, kFixedLimit);
}

// A position one step outside [Lo, Hi) is moved onto the nearest edge.
inline int32_t PullIn(int32_t v, int32_t Lo, int32_t Hi)
{
    if (v == Lo - 1)
        return Lo;
    if (v == Hi)
        return Hi - 1;
    return v;
}

// Walks the device pixels of Rects, mapping each back with the truncated 20.12
// inverse of T (stepped along the row); Visit(x, y, sx, sy, row) per pixel.
template <class F>
void WalkFixed12(const std::vector<TRect>& Rects, const TTransformation& T, QImage& Target, F Visit)
{
    const auto& i = T.Inverse12();
    for (const TRect& r : Rects)
        for (int32_t y = r.Top; y < r.Bottom; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(Target.scanLine(y));
            uint32_t ax = uint32_t(r.Left) * uint32_t(i[0]) + uint32_t(y) * uint32_t(i[1]) + uint32_t(i[2]);
            uint32_t ay = uint32_t(r.Left) * uint32_t(i[3]) + uint32_t(y) * uint32_t(i[4]) + uint32_t(i[5]);
            for (int32_t x = r.Left; x < r.Right; ++x, ax += uint32_t(i[0]), ay += uint32_t(i[3]))
                Visit(row[x], int32_t(ax) >> 12, int32_t(ay) >> 12);
        }
}

// Copies opaque, skips transparent and blends the rest.
inline void PutAlpha(uint32_t& Dst, uint32_t Px)
{
    const uint32_t a = Px >> 24;
    if (a == 255)
        Dst = Px;
    else if (a != 0)
        BlendLinePixelAlpha(&Px, &Dst, 1);
}

}  // namespace

TBitmapDrawContext::TBitmapDrawContext(TBitmap& ABitmap) : TDrawContext(&ABitmap.Canvas()), Bitmap(ABitmap)
{
    DeviceBounds = TRect{0, 0, Bitmap.Width(), Bitmap.Height()};
}

std::vector<TRect> TBitmapDrawContext::WalkRects(const TRect& Area)
{
    std::vector<TRect> rects;
    if (IsRectEmpty(Area))
        return rects;
    if (!Canvas->HasClipRegion()) {
        rects.push_back(Area);
        return rects;
    }
    const QRegion r = Canvas->ClipRegion().intersected(QRect(Area.Left, Area.Top, Area.Width(), Area.Height()));
    for (const QRect& q : r)
        rects.push_back(TRect{q.left(), q.top(), q.right() + 1, q.bottom() + 1});
    return rects;
}

void TBitmapDrawContext::DrawBitmapData(const BitmapData& Data, float X, float Y, float W, float H,
                                        int32_t SrcX, int32_t SrcY, int32_t SrcW, int32_t SrcH)
{
    if (!SourceInside(Data.Width, Data.Height, SrcX, SrcY, SrcW, SrcH) || Bitmap.PixelFormat() != pf32bit)
        return;
    TRect r = Transformation->TransformBounds(X, Y, X + W, Y + H);
    ++r.Right;
    ++r.Bottom;
    DeviceBounds = TRect{0, 0, Bitmap.Width(), Bitmap.Height()};
    r = Clip3(r, DeviceBounds, ClipBounds);
    if (IsRectEmpty(r))
        return;
    TTransformation t;
    t.Assign(*Transformation);
    t.Translate(X, Y);
    t.Scale(W / float(SrcW), H / float(SrcH));
    t.Translate(float(-SrcX), float(-SrcY));
    t.UpdateCache();
    const int32_t x1 = SrcX + SrcW, y1 = SrcY + SrcH;
    WalkFixed12({r}, t, Bitmap.Image(), [&](uint32_t& dst, int32_t sx, int32_t sy) {
        sx = PullIn(sx, SrcX, x1);
        sy = PullIn(sy, SrcY, y1);
        if (sx >= SrcX && sx < x1 && sy >= SrcY && sy < y1)
            dst = Data.Row(sy)[sx];
    });
}

void TBitmapDrawContext::DrawImageGDIPlus(const QImage& Image, float CX, float CY, float W, float H,
                                          float Angle, int32_t SrcX, int32_t SrcY, int32_t SrcW, int32_t SrcH)
{
    if (!SourceInside(Image.width(), Image.height(), SrcX, SrcY, SrcW, SrcH) || Bitmap.PixelFormat() != pf32bit)
        return;
    Transformation->Push();
    Transformation->RotateAt(CX, CY, Angle);
    TRect r = Transformation->TransformBounds(CX - W / 2, CY - H / 2, CX + W / 2, CY + H / 2);
    Transformation->Pop();
    InflateRect(r, 1, 1);
    DeviceBounds = TRect{0, 0, Bitmap.Width(), Bitmap.Height()};
    const std::vector<TRect> rects = WalkRects(Clip3(r, DeviceBounds, ClipBounds));
    if (rects.empty())
        return;
    const QImage img = AsARGB32(Image);
    if (img.isNull())
        return;
    TTransformation t;
    t.Assign(*Transformation);
    t.RotateAt(CX, CY, Angle);
    t.Translate(CX - W / 2, CY - H / 2);
    t.Scale(W / float(SrcW), H / float(SrcH));
    t.Translate(float(-SrcX), float(-SrcY));
    t.UpdateCache();
    const int32_t x1 = SrcX + SrcW, y1 = SrcY + SrcH;
    WalkFixed12(rects, t, Bitmap.Image(), [&](uint32_t& dst, int32_t sx, int32_t sy) {
        sx = PullIn(sx, SrcX, x1);
        sy = PullIn(sy, SrcY, y1);
        if (sx >= SrcX && sx < x1 && sy >= SrcY && sy < y1)
            PutAlpha(dst, reinterpret_cast<const uint32_t*>(img.constScanLine(sy))[sx]);
    });
}

uint32_t SampleBilinear(const BitmapData& Data, int32_t FX, int32_t FY)
{
    int32_t x = std::clamp(FX >> 16, 0, std::max(Data.Width - 1, 0));
    int32_t y = std::clamp(FY >> 16, 0, std::max(Data.Height - 1, 0));
    if (Data.Width == 1 || Data.Height == 1)
        return Data.Row(y)[x];
    if (x == Data.Width - 1)
        --x;
    if (y == Data.Height - 1)
        --y;
    const int32_t wx = 255 - ((FX & 0xFFFF) >> 8);
    const int32_t wy = 255 - ((FY & 0xFFFF) >> 8);
    const uint32_t* upper = Data.Row(y) + x;
    const uint32_t* lower = Data.Row(y + 1) + x;
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        auto ch = [shift](uint32_t p) { return int32_t((p >> shift) & 0xFF); };
        const int32_t top = ch(upper[1]) + (((ch(upper[0]) - ch(upper[1])) * wx) >> 8);
        const int32_t bottom = ch(lower[1]) + (((ch(lower[0]) - ch(lower[1])) * wx) >> 8);
        const int32_t v = std::min(255, bottom + (((top - bottom) * wy) >> 8));
        result |= uint32_t(std::max(v, 0)) << shift;
    }
    return result;
}

void TBitmapDrawContext::DrawImageAlpha(const BitmapData& Data, float X, float Y, float W, float H,
                                        int32_t SrcX, int32_t SrcY, int32_t SrcW, int32_t SrcH)
{
    if (!SourceInside(Data.Width, Data.Height, SrcX, SrcY, SrcW, SrcH) || Bitmap.PixelFormat() != pf32bit)
        return;
    DeviceBounds = TRect{0, 0, Bitmap.Width(), Bitmap.Height()};
    const TRect r = Clip3(Transformation->TransformBounds(X, Y, X + W, Y + H), DeviceBounds, ClipBounds);
    TTransformation t;
    t.Assign(*Transformation);
    t.Translate(X, Y);
    t.Scale(W / float(SrcW), H / float(SrcH));
    t.Translate(float(-SrcX), float(-SrcY));
    t.UpdateCache();
    const int32_t x0 = SrcX * 65536, x1 = (SrcX + SrcW) * 65536;
    const int32_t y0 = SrcY * 65536, y1 = (SrcY + SrcH) * 65536;
    QImage& target = Bitmap.Image();
    for (const TRect& rect : WalkRects(r))
        for (int32_t y = rect.Top; y < rect.Bottom; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(target.scanLine(y));
            for (int32_t x = rect.Left; x < rect.Right; ++x) {
                int32_t fx, fy;
                // The pixel's top-left corner.
                t.InverseTransformFixed16(x * 65536, y * 65536, fx, fy);
                fx = PullIn(fx, x0, x1);
                fy = PullIn(fy, y0, y1);
                if (fx >= x0 && fx < x1 && fy >= y0 && fy < y1)
                    PutAlpha(row[x], SampleBilinear(Data, fx, fy));
            }
        }
}

void TBitmapDrawContext::DrawShadowRect(float cxDest, float cyDest, float wDest, float hDest, float angle,
                                        float BlurWidth)
{
    if (Bitmap.PixelFormat() != pf32bit)
        return;
    Transformation->Push();
    Transformation->RotateAt(cxDest, cyDest, angle);
    TRect r = Transformation->TransformBounds(cxDest - wDest / 2, cyDest - hDest / 2, cxDest + wDest / 2,
                                              cyDest + hDest / 2);
    Transformation->Pop();
    ++r.Right;
    ++r.Bottom;
    DeviceBounds = TRect{0, 0, Bitmap.Width(), Bitmap.Height()};
    r = Clip3(r, DeviceBounds, ClipBounds);
    if (IsRectEmpty(r))
        return;
    auto deviceLength = [this](float dx, float dy) {
        float vx, vy;
        Transformation->TransformVector(dx, dy, vx, vy);
        return int32_t(Round(std::sqrt(double(vx) * vx + double(vy) * vy)));
    };
    const int32_t wp = deviceLength(wDest, 0);
    const int32_t hp = deviceLength(0, hDest);
    const int32_t b = std::max(1, deviceLength(BlurWidth, 0));
    if (wp < 1 || hp < 1)
        return;
    TTransformation t;
    t.Assign(*Transformation);
    t.RotateAt(cxDest, cyDest, angle);
    t.Translate(cxDest - wDest / 2, cyDest - hDest / 2);
    t.Scale(wDest / float(wp), hDest / float(hp));
    t.UpdateCache();
    auto edge = [b](int32_t l, int32_t size) {
        if (l < b)
            return b - l;
        if (l > size - b)
            return l - (size - b);
        return 0;
    };
    WalkFixed12(WalkRects(r), t, Bitmap.Image(), [&](uint32_t& dst, int32_t lx, int32_t ly) {
        lx = PullIn(lx, 0, wp);
        ly = PullIn(ly, 0, hp);
        if (lx < 0 || lx >= wp || ly < 0 || ly >= hp)
            return;
        const int32_t dx = edge(lx, wp);
        const int32_t dy = edge(ly, hp);
        int32_t fade = 0;
        if (dx != 0 || dy != 0) {
            const double d = (dx != 0 && dy != 0) ? std::sqrt(double(dx) * dx + double(dy) * dy) : double(dx + dy);
            fade = int32_t(std::clamp<int64_t>(Round(d / b * 192), 0, 192));
        }
        const uint32_t alpha = uint32_t(192 - fade);
        if (alpha == 0)
            return;
        uint32_t px = (alpha << 24) | 0x606060u;
        BlendLinePixelAlpha(&px, &dst, 1);
    });
}
