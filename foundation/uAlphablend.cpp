#include "uAlphablend.h"

#include <algorithm>

#include "SysUtils.h"

namespace {

inline uint32_t Sat(int32_t v) { return uint32_t(std::clamp(v, 0, 255)); }

}  // namespace

void BlendLineConstAlpha(const uint32_t* Src, uint32_t* Dst, int32_t Count, uint8_t Alpha)
{
    const int32_t a = int32_t(Round(Alpha * 128.0 / 255.0));
    for (int32_t i = 0; i < Count; ++i) {
        const uint32_t s = Src[i];
        const uint32_t d = Dst[i];
        if (s == d)
            continue;
        uint32_t r = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            const int32_t S = int32_t((s >> shift) & 0xFF);
            const int32_t D = int32_t((d >> shift) & 0xFF);
            r |= Sat(S + ((((D - S + 255) * a) & 0xFFFF) >> 7) - 2 * a) << shift;
        }
        Dst[i] = r;
    }
}

void BlendLinePixelAlpha(const uint32_t* Src, uint32_t* Dst, int32_t Count)
{
    for (int32_t i = 0; i < Count; ++i) {
        const uint32_t s = Src[i];
        const uint32_t d = Dst[i];
        const int32_t a = int32_t(s >> 24) >> 1;
        uint32_t r = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            const int32_t S = int32_t((s >> shift) & 0xFF);
            const int32_t D = int32_t((d >> shift) & 0xFF);
            r |= Sat(D + ((((S - D + 256) * a) & 0xFFFF) >> 7) - 2 * a) << shift;
        }
        Dst[i] = r;
    }
}

void AlphaBlendBitmap(TBitmap& Dest, int32_t X, int32_t Y, uint8_t Alpha, TBitmap& Source)
{
    if (Dest.PixelFormat() != pf32bit || Source.PixelFormat() != pf32bit)
        return;
    int32_t sx = 0, sy = 0;
    int32_t w = Source.Width(), h = Source.Height();
    if (X < 0) {
        sx = -X;
        w += X;
        X = 0;
    }
    if (Y < 0) {
        sy = -Y;
        h += Y;
        Y = 0;
    }
    w = std::min(w, Dest.Width() - X);
    h = std::min(h, Dest.Height() - Y);
    if (w <= 0 || h <= 0)
        return;
    QImage& src = Source.Image();
    QImage& dst = Dest.Image();
    for (int32_t row = 0; row < h; ++row)
        BlendLineConstAlpha(reinterpret_cast<const uint32_t*>(src.constScanLine(sy + row)) + sx,
                            reinterpret_cast<uint32_t*>(dst.scanLine(Y + row)) + X, w, Alpha);
}
