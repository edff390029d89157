#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <numeric>

#include "Canvas.h"
#include "uAlphablend.h"
#include "uBitmapDrawContext.h"
#include "uBitmapEffects.h"
#include "uShadowBitmap.h"

namespace {

constexpr uint32_t White = 0xFFFFFFFFu;

struct Target {
    TBitmap bmp;
    std::unique_ptr<TBitmapDrawContext> dc;
    explicit Target(int w, int h = 0)
    {
        bmp.SetSize(w, h ? h : w);
        bmp.Image().fill(White);
        dc = std::make_unique<TBitmapDrawContext>(bmp);
    }
    uint32_t At(int x, int y) { return bmp.Image().pixel(x, y); }
};

}  // namespace

TEST(Alphablend, ConstantAlphaFormula)
{
    const struct {
        uint32_t src, dst;
        uint8_t alpha;
        uint32_t result;
    } cases[] = {
        {0x00000000u, 0xFFFFFFFFu, 128, 0x7F7F7F7Fu},
        {0x10204080u, 0x80402010u, 77, 0x3129355Du},
        {0x10204080u, 0x80402010u, 0, 0x10204080u},    // alpha 0 copies the source
        {0x10204080u, 0x80402010u, 255, 0x7F3F1F0Fu},  // 255 keeps the target one step darker
        {0x00000000u, 0x00000000u, 255, 0x00000000u},
        {0x12345678u, 0x12345678u, 100, 0x12345678u},  // identical pixels stay untouched
    };
    for (const auto& c : cases) {
        uint32_t d = c.dst;
        BlendLineConstAlpha(&c.src, &d, 1, c.alpha);
        EXPECT_EQ(d, c.result) << std::hex << c.src << " " << c.dst << " " << std::dec << int(c.alpha);
    }
}

TEST(Alphablend, PixelAlphaFormula)
{
    const struct {
        uint32_t src, dst, result;
    } cases[] = {
        {0x80FF0000u, 0xFF0000FFu, 0xBF7F007Fu},
        {0xC0606060u, 0xFFFFFFFFu, 0xCF878787u},
        {0x00FFFFFFu, 0x12345678u, 0x12345678u},  // transparent source: target unchanged
        {0xFFC8C8C8u, 0xFF0A0A0Au, 0xFFC6C6C6u},  // opaque: the source within two steps
    };
    for (const auto& c : cases) {
        uint32_t d = c.dst;
        BlendLinePixelAlpha(&c.src, &d, 1);
        EXPECT_EQ(d, c.result) << std::hex << c.src << " " << c.dst;
    }
    // A row is blended pixel by pixel.
    const uint32_t src[3] = {0x00000000u, 0x80FF0000u, 0xC0606060u};
    uint32_t dst[3] = {0x11111111u, 0xFF0000FFu, 0xFFFFFFFFu};
    BlendLinePixelAlpha(src, dst, 3);
    EXPECT_EQ(dst[0], 0x11111111u);
    EXPECT_EQ(dst[1], 0xBF7F007Fu);
    EXPECT_EQ(dst[2], 0xCF878787u);
}

TEST(Alphablend, AlphaBlendBitmapClipsBothWays)
{
    TBitmap src, dst;
    src.SetSize(10, 2);
    dst.SetSize(8, 3);
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 2; ++y)
            src.Image().setPixel(x, y, 0xFF000000u | uint32_t(x * 16 + y));
    dst.Image().fill(White);
    // At X = -5 the first five source columns are skipped; alpha 0 copies.
    AlphaBlendBitmap(dst, -5, 1, 0, src);
    const QImage& d = dst.Image();
    EXPECT_EQ(d.pixel(0, 1), 0xFF000050u);
    EXPECT_EQ(d.pixel(4, 2), 0xFF000091u);
    EXPECT_EQ(d.pixel(5, 1), White);
    EXPECT_EQ(d.pixel(0, 0), White);

    // Cut at the right and bottom edge of the target.
    dst.Image().fill(White);
    AlphaBlendBitmap(dst, 6, 2, 0, src);
    EXPECT_EQ(dst.Image().pixel(7, 2), 0xFF000010u);
    EXPECT_EQ(dst.Image().pixel(5, 2), White);

    // Entirely outside: nothing.
    dst.Image().fill(White);
    AlphaBlendBitmap(dst, -20, 0, 0, src);
    AlphaBlendBitmap(dst, 8, 0, 0, src);
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(dst.Image().pixel(x, 0), White);
}

TEST(BitmapDrawContext, SampleBilinear)
{
    // Blue channel: upper 0, 200, 50; lower 100, 40, 60; alpha 255 throughout.
    QImage img(3, 2, QImage::Format_ARGB32);
    const uint32_t blue[2][3] = {{0, 200, 50}, {100, 40, 60}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            img.setPixel(x, y, 0xFF000000u | blue[y][x]);
    BitmapData data;
    ASSERT_TRUE(LockBits(img, data));
    const struct {
        int32_t fx, fy;
        uint32_t blue;
    } cases[] = {
        {0x08000, 0x4000, 92},   // rows 100 and 69 mixed by 191/256
        {0x00000, 0x0000, 0},    // weights 255: nearly the upper left
        {0x18000, 0x0000, 123},  // between 200 and 50, mixed with the lower row
        // Last column and row: the block moves left/up, the weights stay.
        {0x20000, 0x0000, 198},
        {0x10000, 0x10000, 198},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SampleBilinear(data, c.fx, c.fy), 0xFF000000u | c.blue) << c.fx << "," << c.fy;

    // One pixel high: unfiltered.
    QImage line(4, 1, QImage::Format_ARGB32);
    for (int x = 0; x < 4; ++x)
        line.setPixel(x, 0, 0x80000000u | uint32_t(x * 50));
    ASSERT_TRUE(LockBits(line, data));
    EXPECT_EQ(SampleBilinear(data, 0x28000, 0x8000), 0x80000064u);
}

TEST(BitmapDrawContext, DrawBitmapDataNearestTruncated)
{
    QImage src(2, 2, QImage::Format_ARGB32);
    src.setPixel(0, 0, 0xFF0000FFu);
    src.setPixel(1, 0, 0x00FF0000u);  // alpha is ignored: copied as it is
    src.setPixel(0, 1, 0xFF00FF00u);
    src.setPixel(1, 1, 0xFF000000u);
    BitmapData data;
    ASSERT_TRUE(LockBits(src, data));
    Target t(10);
    t.dc->Transformation->Translate(1, 1);
    t.dc->DrawBitmapData(data, 1, 1, 4, 4, 0, 0, 2, 2);
    // Device (2..6) x (2..6): two pixels per source pixel, the row and column
    // one past the end pull in onto the last.
    const uint32_t expect[] = {0xFF0000FFu, 0xFF0000FFu, 0x00FF0000u, 0x00FF0000u, 0x00FF0000u};
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(t.At(2 + x, 2), expect[x]) << x;
    EXPECT_EQ(t.At(6, 6), 0xFF000000u);
    EXPECT_EQ(t.At(2, 5), 0xFF00FF00u);
    EXPECT_EQ(t.At(1, 2), White);
    EXPECT_EQ(t.At(7, 2), White);

    // A source rectangle reaching past the data draws nothing.
    Target u(10);
    u.dc->DrawBitmapData(data, 0, 0, 4, 4, 1, 0, 2, 2);
    u.dc->DrawBitmapData(data, 0, 0, 4, 4, -1, 0, 1, 1);
    EXPECT_EQ(u.At(1, 1), White);
}

TEST(BitmapDrawContext, DrawImageGDIPlusCopiesBlendsAndSkips)
{
    QImage img(3, 1, QImage::Format_ARGB32);
    img.setPixel(0, 0, 0xFFFF0000u);  // opaque red
    img.setPixel(1, 0, 0x80FF0000u);  // half red
    img.setPixel(2, 0, 0x000000FFu);  // transparent
    Target t(8);
    t.dc->DrawImageGDIPlus(img, 3.5f, 2, 3, 1, 0, 0, 0, 3, 1);
    // Rectangle (2, 1.5)-(5, 2.5) -> rows 1..2 (inflated), columns 1..5.
    EXPECT_EQ(t.At(2, 1), 0xFFFF0000u);
    EXPECT_EQ(t.At(1, 2), 0xFFFF0000u);  // one column before pulls in
    EXPECT_EQ(t.At(3, 2), 0xBFFF7F7Fu);  // blended half
    EXPECT_EQ(t.At(4, 2), White);        // transparent leaves the target
    EXPECT_EQ(t.At(5, 2), White);
    EXPECT_EQ(t.At(2, 0), White);
    EXPECT_EQ(t.At(2, 3), White);

    // Turned by 90 degrees clockwise: the left end goes up.
    Target r(8);
    r.dc->DrawImageGDIPlus(img, 4, 4, 3, 1, 90, 0, 0, 3, 1);
    EXPECT_EQ(r.At(4, 3), 0xFFFF0000u);
    EXPECT_EQ(r.At(4, 4), 0xBFFF7F7Fu);
    EXPECT_EQ(r.At(4, 5), White);

    // Clip region of the canvas is honoured; source outside draws nothing.
    Target c(8);
    c.dc->ClipRect(0, 0, 3, 8, RGN_COPY);
    c.dc->DrawImageGDIPlus(img, 3.5f, 2, 3, 1, 0, 0, 0, 3, 1);
    EXPECT_EQ(c.At(2, 1), 0xFFFF0000u);
    EXPECT_EQ(c.At(3, 2), White);
    c.dc->RestoreClip();
    c.dc->DrawImageGDIPlus(img, 3.5f, 5, 3, 1, 0, 1, 0, 3, 1);
    EXPECT_EQ(c.At(2, 5), White);
}

TEST(BitmapDrawContext, DrawImageAlphaSamplesBilinear)
{
    // Two identical rows, blue 0 and 200, opaque; drawn 4 x 2 (scale 2).
    QImage img(2, 2, QImage::Format_ARGB32);
    for (int y = 0; y < 2; ++y) {
        img.setPixel(0, y, 0xFF000000u);
        img.setPixel(1, y, 0xFF0000C8u);
    }
    BitmapData data;
    ASSERT_TRUE(LockBits(img, data));
    Target t(6);
    t.dc->DrawImageAlpha(data, 1, 1, 4, 2, 0, 0, 2, 2);
    // Pixel corners map to 0, 0.5, 1.0, 1.5: at the last column the block
    // moves left with the same weights.
    const uint32_t blue[] = {0, 100, 0, 100};
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(t.At(1 + x, 1), 0xFF000000u | blue[x]) << x;
    EXPECT_EQ(t.At(5, 1), White);
    EXPECT_EQ(t.At(1, 3), White);

    // Semi-transparent source blends; a source beyond the data draws nothing.
    QImage half(2, 2, QImage::Format_ARGB32);
    half.fill(0x80000000u);
    ASSERT_TRUE(LockBits(half, data));
    Target h(4);
    h.dc->DrawImageAlpha(data, 0, 0, 2, 2, 0, 0, 2, 2);
    EXPECT_EQ(h.At(0, 0), 0xBF7F7F7Fu);
    h.dc->DrawImageAlpha(data, 2, 2, 2, 2, 1, 0, 2, 2);
    h.dc->DrawImageAlpha(data, 2, 2, 2, 2, 0, 0, 3, 2);
    EXPECT_EQ(h.At(3, 3), White);

    // Source pixels are addressed in 16.16 fixed point: a part of a picture
    // beyond 32767 pixels draws nothing instead of overflowing.
    QImage wide(40000, 1, QImage::Format_ARGB32);
    wide.fill(0xFF0000C8u);
    ASSERT_TRUE(LockBits(wide, data));
    Target w(4);
    w.dc->DrawImageAlpha(data, 0, 0, 2, 2, 39000, 0, 2, 1);
    w.dc->DrawBitmapData(data, 0, 0, 2, 2, 39000, 0, 2, 1);
    EXPECT_EQ(w.At(0, 0), White);
    w.dc->DrawImageAlpha(data, 0, 0, 2, 2, 100, 0, 2, 1);
    EXPECT_EQ(w.At(0, 0), 0xFF0000C8u);
}

TEST(BitmapDrawContext, ShadowRectPixels)
{
    Target t(40);
    t.dc->DrawShadowRect(20, 20, 20, 20, 0, 4);
    // Local x = device x - 10; the outer 4 pixels fade, alpha = 192 - fade.
    const struct {
        int x, y;
        uint32_t px;
    } cases[] = {
        {20, 20, 0xCF878787u},                                      // inside: alpha 192
        {10, 20, White},                                            // edge: fade 192
        {11, 20, 0xD8E1E1E1u},                                      // alpha 48
        {12, 20, 0xC3C3C3C3u},                                      // alpha 96
        {12, 12, 0xD3DCDCDCu},                                      // corner: round, alpha 56
        {29, 20, 0xD8E1E1E1u}, {30, 20, 0xD8E1E1E1u},              // last column and the one pulled in
        {31, 20, White},       {9, 20, White},   {20, 31, White},
        {20, 11, 0xD8E1E1E1u},
    };
    for (const auto& c : cases)
        EXPECT_EQ(t.At(c.x, c.y), c.px) << c.x << "," << c.y;

    // Only the clip region is painted.
    Target clipped(40);
    clipped.dc->ClipRect(0, 0, 20, 40, RGN_COPY);
    clipped.dc->DrawShadowRect(20, 20, 20, 20, 0, 4);
    EXPECT_EQ(clipped.At(19, 20), 0xCF878787u);
    EXPECT_EQ(clipped.At(20, 20), White);
    clipped.dc->RestoreClip();

    // Scaled: lengths are device pixels; a zero-size rectangle draws nothing.
    Target scaled(40);
    scaled.dc->Transformation->ScaleUniform(2);
    scaled.dc->DrawShadowRect(10, 10, 10, 10, 0, 2);
    EXPECT_EQ(scaled.At(20, 20), 0xCF878787u);
    EXPECT_EQ(scaled.At(11, 20), 0xD8E1E1E1u);
    scaled.dc->DrawShadowRect(5, 5, 0, 10, 0, 2);
    EXPECT_EQ(scaled.At(10, 10), White);
}

TEST(BitmapEffects, GaussKernelWeights)
{
    const struct {
        double radius;
        int size;
        std::vector<int> weights;
    } cases[] = {
        {2.0, 6, {1, 2, 7, 17, 31, 45, 50, 45, 31, 17, 7, 2, 1}},
        {1.0, 3, {1, 14, 62, 102, 62, 14, 1}},
        {0.5, 1, {27, 202, 27}},
    };
    for (const auto& c : cases) {
        GaussKernel.Radius = c.radius;
        ASSERT_EQ(GaussKernelRadius(), c.size) << c.radius;
        std::vector<int> w;
        for (int j = -c.size; j <= c.size; ++j)
            w.push_back(GaussKernel.K(j));
        EXPECT_EQ(w, c.weights) << c.radius;
        EXPECT_NEAR(GaussKernel.W(0), c.weights[size_t(c.size)] / 256.0, 0.01);
    }
    // A wide radius keeps all 100.
    GaussKernel.Radius = 1000;
    EXPECT_EQ(GaussKernelRadius(), 100);
    // No radius: the kernel keeps each pixel as it is.
    for (const double radius : {0.0, -3.0, std::nan("")}) {
        GaussKernel.Radius = radius;
        ASSERT_EQ(GaussKernelRadius(), 1) << radius;
        EXPECT_EQ(std::vector<int>({GaussKernel.K(-1), GaussKernel.K(0), GaussKernel.K(1)}),
                  std::vector<int>({0, 256, 0}))
            << radius;
    }
}

// Whatever the radius, the integer weights total 256, none is negative, and
// they fall from the centre outwards on both sides alike; rounding alone once
// left the centre the difference (negative from 51.5 to 82, a spike at 100).
TEST(BitmapEffects, GaussKernelStaysAGaussianAtEveryRadius)
{
    for (const double radius : {0.3, 0.5, 1.0, 2.0, 3.7, 5.0, 10.0, 25.0, 30.0, 50.0, 51.0, 51.5, 55.0, 60.0,
                                70.0, 82.0, 83.0, 100.0, 250.0, 1000.0}) {
        SCOPED_TRACE(radius);
        GaussKernel.Radius = radius;
        const int size = GaussKernelRadius();
        int sum = 0;
        for (int j = -size; j <= size; ++j) {
            sum += GaussKernel.K(j);
            EXPECT_GE(GaussKernel.K(j), 0) << j;
            EXPECT_EQ(GaussKernel.K(j), GaussKernel.K(-j)) << j;
            if (j > 0) {
                EXPECT_LE(GaussKernel.K(j), GaussKernel.K(j - 1)) << j;
            }
            // Each weight stays near the exact one.
            EXPECT_NEAR(GaussKernel.K(j), GaussKernel.W(j) * 256, 1.5) << j;
        }
        EXPECT_EQ(sum, 256);
    }
}

// One white pixel blurred at radius 60 spreads to nearly nothing: no pixel
// becomes opaque, and a broad white band keeps a soft, bounded edge.
TEST(BitmapEffects, WideBlurOfOnePixelLeavesNoOpaqueCentre)
{
    TBitmap dot;
    dot.SetSize(121, 121);
    dot.Image().fill(0xFF000000u);
    dot.Image().setPixel(60, 60, 0xFFFFFFFFu);
    GaussianBlurToAlpha(dot, RGB(0, 0, 0), 60.0);
    for (int y = 0; y < 121; ++y)
        for (int x = 0; x < 121; ++x)
            ASSERT_LE(dot.Image().pixel(x, y) >> 24, 1u) << x << ", " << y;

    // A white band 60 pixels wide in the middle of 241: full strength nowhere
    // near, half of it about at its edges, and rising towards the middle.
    GaussKernel.Radius = 60.0;
    BuildGaussKernel();
    std::vector<uint32_t> src(241, 0), dst(241, 0);
    for (int i = 90; i < 150; ++i)
        src[size_t(i)] = 0x00FF0000u;
    BlurLine(src.data(), dst.data(), 241);
    const auto alpha = [&](int i) { return int(dst[size_t(i)] >> 24); };
    EXPECT_GT(alpha(120), 80);
    EXPECT_LT(alpha(120), 120);
    for (int i = 1; i <= 120; ++i)
        EXPECT_GE(alpha(i), alpha(i - 1)) << i;
}

TEST(BitmapEffects, BlurLineAndBlurToAlpha)
{
    GaussKernel.Radius = 1.0;
    BuildGaussKernel();
    uint32_t src[8], dst[8];
    for (int i = 0; i < 8; ++i) {
        src[i] = i < 4 ? 0x00000000u : 0x00FF0000u;
        dst[i] = 0x00001234u;
    }
    BlurLine(src, dst, 8);
    const uint32_t v[] = {0, 0, 14, 76, 178, 240, 254, 255};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(dst[i], (v[i] << 24) | (v[i] << 16) | 0x1234u) << i;

    // A grey mask on black becomes alpha; colour fills blue, green and red.
    TBitmap bmp;
    bmp.SetSize(9, 9);
    bmp.Image().fill(0xFF000000u);
    bmp.Image().setPixel(4, 4, 0xFFFFFFFFu);
    GaussianBlurToAlpha(bmp, RGB(10, 20, 30), 1.0);
    const QImage& img = bmp.Image();
    EXPECT_EQ(img.pixel(4, 4), (uint32_t((255 * 102 >> 8) * 102 >> 8) << 24) | 0x0A141Eu);
    EXPECT_EQ(img.pixel(0, 0), 0x000A141Eu);
    EXPECT_EQ(img.pixel(4, 3) >> 24, img.pixel(3, 4) >> 24);  // symmetric
    EXPECT_LT(img.pixel(4, 3) >> 24, img.pixel(4, 4) >> 24);
}

TEST(ShadowBitmap, ForcesGreyAndBlursIntoAlpha)
{
    TShadowBitmap sb;
    sb.SetSize(20, 20);
    sb.Clear();
    EXPECT_EQ(sb.Image().pixel(5, 5), 0xFF000000u);
    sb.SetTransparency(60);  // grey 102
    EXPECT_EQ(sb.GrayLevel(), 102);
    TCanvas& c = sb.Canvas();
    EXPECT_EQ(c.Pen().Color(), RGB(102, 102, 102));
    c.Brush().SetColor(clRed);  // forced back to grey
    EXPECT_EQ(c.Brush().Color(), RGB(102, 102, 102));
    c.Font().SetColor(clBlue);
    EXPECT_EQ(c.Font().Color(), RGB(102, 102, 102));
    sb.ForceBrush = false;
    c.Brush().SetColor(clRed);
    EXPECT_EQ(c.Brush().Color(), clRed);
    sb.ForceBrush = true;
    c.Brush().SetStyle(bsClear);  // a clear brush is left alone
    EXPECT_EQ(c.Brush().Color(), clRed);
    c.Brush().SetStyle(bsSolid);
    EXPECT_EQ(c.Brush().Color(), RGB(102, 102, 102));
    c.Pen().SetStyle(psClear);
    c.FillRect(TRect{5, 5, 15, 15});
    EXPECT_EQ(sb.Image().pixel(10, 10), 0xFF666666u);
    sb.SetTransparency(150);  // clamped: grey 0
    EXPECT_EQ(sb.GrayLevel(), 0);
    sb.SetTransparency(-5);
    EXPECT_EQ(sb.GrayLevel(), 255);

    sb.Blur(RGB(0, 0, 255), 1.0f);
    EXPECT_EQ(sb.Image().pixel(10, 10), 0x660000FFu);  // inside: alpha 102, colour blue
    EXPECT_EQ(sb.Image().pixel(0, 0), 0x000000FFu);
    EXPECT_GT(sb.Image().pixel(4, 10) >> 24, 0u);  // the blur spreads past the edge
    EXPECT_LT(sb.Image().pixel(5, 10) >> 24, 102u);
}

TEST(BitmapDrawContext, OpaquePicturesDrawAlikeInBothFormats)
{
    QImage rgb(5, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            rgb.setPixel(x, y, qRgb(40 * x, 60 * y, 200));
    const QImage view = AsARGB32(rgb);
    EXPECT_EQ(view.constBits(), rgb.constBits());  // no copy
    EXPECT_EQ(view.pixel(4, 3), rgb.pixel(4, 3));
    Target a(12), b(12);
    a.dc->DrawImageGDIPlus(rgb, 6, 6, 9, 7, 30, 0, 0, 5, 4);
    b.dc->DrawImageGDIPlus(rgb.convertToFormat(QImage::Format_ARGB32), 6, 6, 9, 7, 30, 0, 0, 5, 4);
    EXPECT_EQ(a.bmp.Image(), b.bmp.Image());
    EXPECT_NE(a.At(6, 6), White);
}

namespace {

// A blurred shadow of a rectangle and a second one of a disc.
void PaintShadow(TShadowBitmap& S, bool Disc)
{
    S.SetSize(60, 40);
    S.Clear();
    S.SetTransparency(30);
    S.Canvas().Brush().SetStyle(bsSolid);
    if (Disc)
        S.Canvas().Ellipse(10, 5, 50, 35);
    else
        S.Canvas().FillRect(TRect{8, 6, 52, 30});
    S.Blur(0, 2);
}

// The page as DrawImageAlpha of the whole shadow draws it.
QImage DrawnDirectly(TShadowBitmap& S, const TMatrix& M, const TRect* Clip)
{
    Target t(160, 120);
    t.dc->Transformation->SetMatrix(M);
    if (Clip)
        t.dc->ClipRect(Clip->Left, Clip->Top, Clip->Right, Clip->Bottom, 5);
    BitmapData data;
    TDrawContext::GetBitmapData(S, data);
    t.dc->DrawImageAlpha(data, 10, 8, 30, 20, 0, 0, data.Width, data.Height);
    return t.bmp.Image().copy();
}

QImage DrawnByShadow(TShadowBitmap& S, const TMatrix& M, const TRect* Clip)
{
    Target t(160, 120);
    t.dc->Transformation->SetMatrix(M);
    if (Clip)
        t.dc->ClipRect(Clip->Left, Clip->Top, Clip->Right, Clip->Bottom, 5);
    S.Draw(*t.dc, 10, 8, 30, 20);
    return t.bmp.Image().copy();
}

}  // namespace

TEST(ShadowBitmap, DrawsAsDrawImageAlphaAndKeepsItsSamplesOnlyWhileValid)
{
    TShadowBitmap shadow;
    PaintShadow(shadow, false);
    TTransformation turned;
    turned.ScaleUniform(3);
    turned.RotateAt(25, 18, 12);
    const TMatrix m1 = turned.Matrix();
    TTransformation plain;
    plain.ScaleUniform(2.5f);
    plain.Translate(3, 1);
    const TMatrix m2 = plain.Matrix();
    const TRect clip{15, 10, 30, 25};

    const QImage first = DrawnByShadow(shadow, m1, nullptr);
    EXPECT_EQ(first, DrawnDirectly(shadow, m1, nullptr));
    EXPECT_NE(first, QImage(first.size(), first.format()));
    // Drawn again from the kept samples, also clipped and in another matrix.
    EXPECT_EQ(DrawnByShadow(shadow, m1, nullptr), first);
    EXPECT_EQ(DrawnByShadow(shadow, m1, &clip), DrawnDirectly(shadow, m1, &clip));
    EXPECT_EQ(DrawnByShadow(shadow, m2, nullptr), DrawnDirectly(shadow, m2, nullptr));
    // A new shadow (cleared and blurred again) is drawn, not the kept one.
    PaintShadow(shadow, true);
    const QImage disc = DrawnByShadow(shadow, m2, nullptr);
    EXPECT_EQ(disc, DrawnDirectly(shadow, m2, nullptr));
    PaintShadow(shadow, false);
    EXPECT_NE(DrawnByShadow(shadow, m2, nullptr), disc);
}
