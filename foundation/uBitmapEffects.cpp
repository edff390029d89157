#include "uBitmapEffects.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <vector>

#include "SysUtils.h"

TGaussKernel GaussKernel;

void NormalizeKernel(int32_t From, int32_t To)
{
    double sum = 0;
    for (int j = From; j <= To; ++j)
        sum += GaussKernel.W(j);
    if (sum <= 0)
        return;
    for (int j = From; j <= To; ++j)
        GaussKernel.Weights[size_t(j + 100)] /= sum;
}

void BuildGaussKernel()
{
    TGaussKernel& k = GaussKernel;
    if (k.Radius == k.BuiltRadius)
        return;
    const double r = k.Radius;
    // A radius of zero or less (or not a number) blurs nothing: all weight in the centre.
    const bool none = !(r > 0);
    for (int j = -100; j <= 100; ++j)
        k.Weights[size_t(j + 100)] = none ? (j == 0 ? 1.0 : 0.0) : std::exp(-(j / r) * (j / r) / 2);
    NormalizeKernel(-100, 100);
    // Drop tails while what is dropped stays below 1/256.
    double dropped = 0;
    k.Size = 100;
    while (k.Size >= 2 && dropped + 2 * k.W(k.Size) < 1.0 / 256) {
        dropped += 2 * k.W(k.Size);
        --k.Size;
    }
    NormalizeKernel(-k.Size, k.Size);
    k.IntWeights.fill(0);
    int32_t sum = 0;
    for (int j = -k.Size; j <= k.Size; ++j) {
        k.IntWeights[size_t(j + 100)] = int32_t(Round(k.W(j) * 256));
        sum += k.K(j);
    }
    // The rounded weights total 256 only by chance. The difference goes one
    // unit at a time to the weights rounding moved furthest the other way, in
    // pairs that keep the kernel symmetric (an odd unit to the centre, the
    // largest weight), so that no weight turns negative and none stands out.
    int32_t diff = 256 - sum;
    const int32_t step = diff > 0 ? 1 : -1;
    if (diff % 2 != 0) {
        k.IntWeights[100] += step;
        diff -= step;
    }
    std::vector<int> pairs(size_t(k.Size));
    std::iota(pairs.begin(), pairs.end(), 1);
    std::stable_sort(pairs.begin(), pairs.end(), [&](int a, int b) {
        return (k.W(a) * 256 - k.K(a)) * step > (k.W(b) * 256 - k.K(b)) * step;
    });
    for (int i = 0; i < std::abs(diff) / 2; ++i) {
        k.IntWeights[size_t(100 + pairs[size_t(i)])] += step;
        k.IntWeights[size_t(100 - pairs[size_t(i)])] += step;
    }
    k.BuiltRadius = r;
}

int32_t GaussKernelRadius()
{
    BuildGaussKernel();
    return GaussKernel.Size;
}

void BlurLine(const uint32_t* Src, uint32_t* Dst, int32_t Count)
{
    const TGaussKernel& k = GaussKernel;
    for (int32_t i = 0; i < Count; ++i) {
        int32_t s = 0;
        for (int j = -k.Size; j <= k.Size; ++j) {
            const int32_t at = std::clamp(i + j, 0, Count - 1);
            s += k.K(j) * int32_t((Src[at] >> 16) & 0xFF);
        }
        const uint32_t v = uint32_t(std::min(255, s >> 8));
        Dst[i] = (Dst[i] & 0x0000FFFFu) | (v << 16) | (v << 24);
    }
}

void GaussianBlurToAlpha(TBitmap& Bitmap, TColor Color, double Radius)
{
    if (Bitmap.PixelFormat() != pf32bit || Bitmap.Width() == 0 || Bitmap.Height() == 0)
        return;
    GaussKernel.Radius = Radius;
    BuildGaussKernel();
    QImage& img = Bitmap.Image();
    const int w = img.width();
    const int h = img.height();
    std::vector<uint32_t> buf(size_t(std::max(w, h)));
    std::vector<uint32_t> line(size_t(std::max(w, h)));
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(img.scanLine(y));
        std::copy(row, row + w, buf.begin());
        BlurLine(row, buf.data(), w);
        std::copy(buf.begin(), buf.begin() + w, row);
    }
    std::vector<uint32_t*> rows(static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
        rows[size_t(y)] = reinterpret_cast<uint32_t*>(img.scanLine(y));
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y)
            line[size_t(y)] = rows[size_t(y)][x];
        std::copy(line.begin(), line.begin() + h, buf.begin());
        BlurLine(line.data(), buf.data(), h);
        for (int y = 0; y < h; ++y)
            rows[size_t(y)][x] = buf[size_t(y)];
    }
    const TColor c = ColorToRGB(Color);
    const uint32_t rgb = (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            rows[size_t(y)][x] = (rows[size_t(y)][x] & 0xFF000000u) | rgb;
}
