#include "uBitmapDrawContext.h"

#include <QImage>
#include <QRegion>

#include <algorithm>
#include <cmath>

#include "ParallelRows.h"
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

// Rows of a walk are shared out over the cores from this many pixels on.
constexpr int32_t cParallelPixels = 65536;

// Calls Row(y, Left, Right) for every row of Rects, the rows of a large
// rectangle spread over the cores (each row on one thread).
template <class F>
void ForEachRow(const std::vector<TRect>& Rects, F Row)
{
    for (const TRect& r : Rects) {
        const int32_t w = r.Width();
        if (w <= 0 || r.Height() <= 0)
            continue;
        ParallelRows(r.Height(), std::max<int32_t>(1, cParallelPixels / w), [&](int First, int Last) {
            for (int32_t y = r.Top + First; y < r.Top + Last; ++y)
                Row(y, r.Left, r.Right);
        });
    }
}

// Walks the device pixels of Rects, mapping each back with the truncated 20.12
// inverse of T (stepped along the row); Visit(dst, sx, sy) per pixel.
template <class F>
void WalkFixed12(const std::vector<TRect>& Rects, const TTransformation& T, QImage& Target, F Visit)
{
    const auto i = T.Inverse12();
    uint8_t* const bits = Target.bits();
    const qsizetype stride = Target.bytesPerLine();
    ForEachRow(Rects, [&](int32_t y, int32_t Left, int32_t Right) {
        // Locals: the stores to the row cannot change them.
        const uint32_t i0 = uint32_t(i[0]), i3 = uint32_t(i[3]);
        auto* row = reinterpret_cast<uint32_t*>(bits + y * stride);
        uint32_t ax = uint32_t(Left) * i0 + uint32_t(y) * uint32_t(i[1]) + uint32_t(i[2]);
        uint32_t ay = uint32_t(Left) * i3 + uint32_t(y) * uint32_t(i[4]) + uint32_t(i[5]);
        for (int32_t x = Left; x < Right; ++x, ax += i0, ay += i3)
            Visit(row[x], int32_t(ax) >> 12, int32_t(ay) >> 12);
    });
}

// Source pixels for the device pixels of Rects, nearest neighbour through
// T's truncated 20.12 inverse, as WalkFixed12 with PullIn at the edges of the
// source rectangle [X0, X1) x [Y0, Y1) of the rows at Bits: Put(dst, src) for
// each device pixel whose source pixel lies inside. A row that stays on one
// source row (no turn) reads that row straight.
template <class FPut>
void MapNearest(const std::vector<TRect>& Rects, const TTransformation& T, QImage& Target,
                const uint8_t* Bits, qsizetype Stride, int32_t X0, int32_t Y0, int32_t X1, int32_t Y1,
                FPut Put)
{
    const auto i = T.Inverse12();
    uint8_t* const bits = Target.bits();
    const qsizetype stride = Target.bytesPerLine();
    ForEachRow(Rects, [&](int32_t y, int32_t Left, int32_t Right) {
        const uint32_t i0 = uint32_t(i[0]), i3 = uint32_t(i[3]);
        const int32_t x0 = X0, y0 = Y0, x1 = X1, y1 = Y1;
        const uint8_t* const src = Bits;
        const qsizetype srcStride = Stride;
        auto* row = reinterpret_cast<uint32_t*>(bits + y * stride);
        uint32_t ax = uint32_t(Left) * i0 + uint32_t(y) * uint32_t(i[1]) + uint32_t(i[2]);
        uint32_t ay = uint32_t(Left) * i3 + uint32_t(y) * uint32_t(i[4]) + uint32_t(i[5]);
        if (i3 == 0) {
            const int32_t sy = PullIn(int32_t(ay) >> 12, y0, y1);
            if (sy < y0 || sy >= y1)
                return;
            const auto* line = reinterpret_cast<const uint32_t*>(src + sy * srcStride);
            for (int32_t x = Left; x < Right; ++x, ax += i0) {
                const int32_t sx = PullIn(int32_t(ax) >> 12, x0, x1);
                if (sx >= x0 && sx < x1)
                    Put(row[x], line[sx]);
            }
            return;
        }
        for (int32_t x = Left; x < Right; ++x, ax += i0, ay += i3) {
            const int32_t sx = PullIn(int32_t(ax) >> 12, x0, x1);
            const int32_t sy = PullIn(int32_t(ay) >> 12, y0, y1);
            if (sx >= x0 && sx < x1 && sy >= y0 && sy < y1)
                Put(row[x], reinterpret_cast<const uint32_t*>(src + sy * srcStride)[sx]);
        }
    });
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

// The bilinear sample of SampleBilinear, inlined into the walks.
inline uint32_t Bilinear(const BitmapData& Data, int32_t FX, int32_t FY)
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
    MapNearest({r}, t, Bitmap.Image(), Data.Scan0, Data.Stride, SrcX, SrcY, SrcX + SrcW, SrcY + SrcH,
               [](uint32_t& Dst, uint32_t Src) { Dst = Src; });
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
    if (Image.hasAlphaChannel())
        MapNearest(rects, t, Bitmap.Image(), img.constBits(), img.bytesPerLine(), SrcX, SrcY, x1, y1,
                   [](uint32_t& Dst, uint32_t Src) { PutAlpha(Dst, Src); });
    else  // every pixel opaque: copied
        MapNearest(rects, t, Bitmap.Image(), img.constBits(), img.bytesPerLine(), SrcX, SrcY, x1, y1,
                   [](uint32_t& Dst, uint32_t Src) { Dst = Src; });
}

uint32_t SampleBilinear(const BitmapData& Data, int32_t FX, int32_t FY)
{
    return Bilinear(Data, FX, FY);
}

namespace {

// The bilinear samples of the source rectangle for the device pixels of
// Rects: the 16.16 inverse of a pixel's top-left corner, (x, y) x 65536, is
// exactly x j0 + y j1 + j2 (modulo 2^32), so it is stepped along the row.
// Put(row of Target at y - OriginY, x - OriginX, sample) for each pixel the
// source reaches.
template <class FPut>
void SampleBilinearRows(const std::vector<TRect>& Rects, const TTransformation& T, const BitmapData& Data,
                        int32_t SrcX, int32_t SrcY, int32_t SrcW, int32_t SrcH, QImage& Target,
                        int32_t OriginX, int32_t OriginY, FPut Put)
{
    const int32_t x0 = SrcX * 65536, x1 = (SrcX + SrcW) * 65536;
    const int32_t y0 = SrcY * 65536, y1 = (SrcY + SrcH) * 65536;
    const auto j = T.Inverse16();
    uint8_t* const bits = Target.bits();
    const qsizetype stride = Target.bytesPerLine();
    ForEachRow(Rects, [&](int32_t y, int32_t Left, int32_t Right) {
        const uint32_t j0 = uint32_t(j[0]), j3 = uint32_t(j[3]);
        auto* row = reinterpret_cast<uint32_t*>(bits + (y - OriginY) * stride) - OriginX;
        uint32_t ax = uint32_t(Left) * j0 + uint32_t(y) * uint32_t(j[1]) + uint32_t(j[2]);
        uint32_t ay = uint32_t(Left) * j3 + uint32_t(y) * uint32_t(j[4]) + uint32_t(j[5]);
        for (int32_t x = Left; x < Right; ++x, ax += j0, ay += j3) {
            const int32_t fx = PullIn(int32_t(ax), x0, x1);
            const int32_t fy = PullIn(int32_t(ay), y0, y1);
            if (fx >= x0 && fx < x1 && fy >= y0 && fy < y1)
                Put(row[x], Bilinear(Data, fx, fy));
        }
    });
}

}  // namespace

void TBitmapDrawContext::AlphaTransformation(TTransformation& T, float X, float Y, float W, float H,
                                             int32_t SrcX, int32_t SrcY, int32_t SrcW, int32_t SrcH) const
{
    T.Assign(*Transformation);
    T.Translate(X, Y);
    T.Scale(W / float(SrcW), H / float(SrcH));
    T.Translate(float(-SrcX), float(-SrcY));
    T.UpdateCache();
}

void TBitmapDrawContext::DrawImageAlpha(const BitmapData& Data, float X, float Y, float W, float H,
                                        int32_t SrcX, int32_t SrcY, int32_t SrcW, int32_t SrcH)
{
    if (!SourceInside(Data.Width, Data.Height, SrcX, SrcY, SrcW, SrcH) || Bitmap.PixelFormat() != pf32bit)
        return;
    DeviceBounds = TRect{0, 0, Bitmap.Width(), Bitmap.Height()};
    const TRect r = Clip3(Transformation->TransformBounds(X, Y, X + W, Y + H), DeviceBounds, ClipBounds);
    TTransformation t;
    AlphaTransformation(t, X, Y, W, H, SrcX, SrcY, SrcW, SrcH);
    SampleBilinearRows(WalkRects(r), t, Data, SrcX, SrcY, SrcW, SrcH, Bitmap.Image(), 0, 0,
                       [](uint32_t& Dst, uint32_t Sample) { PutAlpha(Dst, Sample); });
}

QImage TBitmapDrawContext::SampleImageAlpha(const BitmapData& Data, float X, float Y, float W, float H,
                                            int32_t SrcX, int32_t SrcY, int32_t SrcW, int32_t SrcH,
                                            const TRect& Area)
{
    if (IsRectEmpty(Area) || !SourceInside(Data.Width, Data.Height, SrcX, SrcY, SrcW, SrcH))
        return QImage();
    QImage samples(Area.Width(), Area.Height(), QImage::Format_ARGB32);
    if (samples.isNull())
        return samples;
    samples.fill(0);
    TTransformation t;
    AlphaTransformation(t, X, Y, W, H, SrcX, SrcY, SrcW, SrcH);
    SampleBilinearRows({Area}, t, Data, SrcX, SrcY, SrcW, SrcH, samples, Area.Left, Area.Top,
                       [](uint32_t& Dst, uint32_t Sample) { Dst = Sample; });
    return samples;
}

void TBitmapDrawContext::PutSamples(const QImage& Samples, int32_t Left, int32_t Top)
{
    if (Samples.format() != QImage::Format_ARGB32 || Bitmap.PixelFormat() != pf32bit)
        return;
    DeviceBounds = TRect{0, 0, Bitmap.Width(), Bitmap.Height()};
    const TRect area{Left, Top, Left + Samples.width(), Top + Samples.height()};
    const uint8_t* const from = Samples.constBits();
    const qsizetype fromStride = Samples.bytesPerLine();
    QImage& target = Bitmap.Image();
    uint8_t* const bits = target.bits();
    const qsizetype stride = target.bytesPerLine();
    ForEachRow(WalkRects(Clip3(area, DeviceBounds, ClipBounds)), [&](int32_t y, int32_t L, int32_t R) {
        auto* row = reinterpret_cast<uint32_t*>(bits + y * stride);
        const auto* sample = reinterpret_cast<const uint32_t*>(from + (y - Top) * fromStride) - Left;
        for (int32_t x = L; x < R; ++x)
            PutAlpha(row[x], sample[x]);
    });
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
