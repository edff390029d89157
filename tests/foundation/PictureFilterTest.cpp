#include "SysUtils.h"
#include "uPictureFilter.h"

#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// One row of 256 pixels: blue = i, green = 255 - i, red = i / 2, alpha 200 - i % 7.
QImage Ramp()
{
    QImage img(256, 1, QImage::Format_ARGB32);
    for (int i = 0; i < 256; ++i)
        img.setPixel(i, 0, qRgba(i / 2, 255 - i, i, 200 - i % 7));
    return img;
}

// The table the filter applied, read back from the blue channel of a ramp.
std::vector<int> TableOf(const QImage& img)
{
    std::vector<int> t;
    for (int i = 0; i < 256; ++i)
        t.push_back(qBlue(img.pixel(i, 0)));
    return t;
}

QImage Filled(int w, int h, QRgb c)
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(c);
    return img;
}

std::string MessageOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Exception& e) {
        return e.Message;
    }
    return "(no exception)";
}

}  // namespace

TEST(PictureFilter, HKIGNeutralLeavesEveryPixelAndAlpha)
{
    const QImage ramp = Ramp();
    QImage img = ramp;
    EXPECT_EQ(HKIGFilter(img, nullptr, 0, 0, 0, 1), GpOk);
    EXPECT_EQ(img, ramp);
}

TEST(PictureFilter, HKIGTables)
{
    struct Case {
        const char* name;
        float b, c, i, g;
        std::vector<std::pair<int, int>> entries;  // index, table value
    } cases[] = {
        {"brightness", 0.5f, 0, 0, 1, {{0, 128}, {100, 228}, {127, 255}, {200, 255}}},
        {"darker", -0.5f, 0, 0, 1, {{0, 0}, {128, 0}, {200, 72}, {255, 127}}},
        {"contrast up", 0, 0.5f, 0, 1, {{0, 0}, {100, 72}, {128, 128}, {140, 152}, {255, 255}}},
        {"contrast down", 0, -0.5f, 0, 1, {{0, 64}, {128, 128}, {255, 192}}},  // 63.5 -> 64
        {"intensity", 0, 0, 0.5f, 1, {{1, 2}, {3, 4}, {5, 8}, {100, 150}, {200, 255}}},  // ties to even
        {"no intensity", 0, 0, -1, 1, {{0, 0}, {255, 0}}},
        {"gamma 2", 0, 0, 0, 2, {{0, 0}, {1, 16}, {64, 128}, {255, 255}}},
        {"gamma 0.5", 0, 0, 0, 0.5f, {{16, 1}, {128, 64}, {255, 255}}},
        {"full contrast", 0, 1, 0, 1, {{127, 0}, {128, 128}, {129, 255}}},
    };
    for (const Case& c : cases) {
        QImage img = Ramp();
        HKIGFilter(img, nullptr, c.b, c.c, c.i, c.g);
        const std::vector<int> t = TableOf(img);
        for (auto [index, value] : c.entries)
            EXPECT_EQ(t[index], value) << c.name << " [" << index << "]";
        // The same table runs through green and red; alpha stays.
        for (int i = 0; i < 256; ++i) {
            const QRgb p = img.pixel(i, 0);
            ASSERT_EQ(qGreen(p), t[255 - i]) << c.name;
            ASSERT_EQ(qRed(p), t[i / 2]) << c.name;
            ASSERT_EQ(qAlpha(p), 200 - i % 7) << c.name;
        }
    }
}

TEST(PictureFilter, HKIGRangeErrorsInOrderBeforeAnyPixelChanges)
{
    const QImage orig = Filled(2, 2, qRgba(10, 20, 30, 255));
    struct Case {
        float b, c, i, g;
        const char* message;
    } cases[] = {
        {1.5f, 0, 0, 0, "prozHelligkeit au\xDF" "erhalb von -1..1"},  // before the gamma check
        {0, -1.01f, 0, 1, "prozKontrast au\xDF" "erhalb von -1..1"},
        {0, 0, 2, 1, "prozIntensitaet au\xDF" "erhalb von -1..1"},
        {0, 0, 0, 0, "gamma au\xDF" "erhalb von 0,0001..100"},
        {0, 0, 0, 100.5f, "gamma au\xDF" "erhalb von 0,0001..100"},
    };
    for (const Case& c : cases) {
        QImage img = orig;
        EXPECT_EQ(MessageOf([&] { HKIGFilter(img, nullptr, c.b, c.c, c.i, c.g); }), c.message);
        EXPECT_EQ(img, orig);
    }
    QImage img = orig;
    EXPECT_NO_THROW(HKIGFilter(img, nullptr, -1, 1, -1, 100));
}

TEST(PictureFilter, DataFiltersRefuseOtherPixelFormats)
{
    uint32_t pixel = 0xFF102030;
    BitmapData data;
    data.Width = data.Height = 1;
    data.Stride = 4;
    data.Scan0 = reinterpret_cast<uint8_t*>(&pixel);
    data.PixelFormat = 0x21808;  // 24 bits per pixel
    const std::string message = "nur 32bit Bilder werden unterst\xFCtzt";
    EXPECT_EQ(MessageOf([&] { HKIGFilterData(data, nullptr, 0, 0, 0, 1); }), message);
    EXPECT_EQ(MessageOf([&] { HSLFilterData(data, nullptr, 0, 0, 0); }), message);
    EXPECT_EQ(MessageOf([&] { SWColFilterData(data, nullptr, 0, 0); }), message);
    EXPECT_EQ(pixel, 0xFF102030u);

    for (int32_t f : {PixelFormat32bppARGB, PixelFormat32bppPARGB, PixelFormat32bppRGB}) {
        data.PixelFormat = f;
        EXPECT_NO_THROW(SWColFilterData(data, nullptr, 0, 0));
    }
    EXPECT_EQ(pixel, 0xFF202020u);  // grey (0x10 + 0x20 + 0x30) div 3
}

TEST(PictureFilter, HSLFilterPixels)
{
    QImage img(3, 1, QImage::Format_ARGB32);
    img.setPixel(0, 0, qRgba(255, 0, 0, 10));
    img.setPixel(1, 0, qRgba(200, 100, 50, 20));
    img.setPixel(2, 0, qRgba(0, 0, 255, 30));
    QImage turned = img;
    HSLFilter(turned, nullptr, 1.0f / 3, 0, 0);
    EXPECT_EQ(turned.pixel(0, 0), qRgba(0, 255, 0, 10));
    EXPECT_EQ(turned.pixel(2, 0), qRgba(255, 0, 0, 30));
    QImage same = img;
    HSLFilter(same, nullptr, 1, 0, 0);
    EXPECT_EQ(same, img);
    QImage grey = img;
    HSLFilter(grey, nullptr, 0, -1, 0);
    EXPECT_EQ(grey.pixel(0, 0), qRgba(128, 128, 128, 10));
    EXPECT_EQ(grey.pixel(1, 0), qRgba(125, 125, 125, 20));  // L = 250/510
    QImage dark = img;
    HSLFilter(dark, nullptr, 0, 0, -0.25f);
    EXPECT_EQ(dark.pixel(0, 0), qRgba(128, 0, 0, 10));
}

TEST(PictureFilter, SWColGreyAndTint)
{
    QImage img(2, 1, QImage::Format_ARGB32);
    img.setPixel(0, 0, qRgba(255, 0, 0, 77));
    img.setPixel(1, 0, qRgba(128, 128, 128, 255));
    QImage grey = img;
    SWColFilter(grey, nullptr, 0.3f, 0);
    EXPECT_EQ(grey.pixel(0, 0), qRgba(85, 85, 85, 77));
    EXPECT_EQ(grey.pixel(1, 0), qRgba(128, 128, 128, 255));
    QImage tint = img;
    SWColFilter(tint, nullptr, 0, 1);
    EXPECT_EQ(tint.pixel(1, 0), qRgba(255, 1, 1, 255));  // L = 128/255 in full red
    EXPECT_EQ(tint.pixel(0, 0), qRgba(170, 0, 0, 77));    // L = 85/255
}

TEST(PictureFilter, ProgressAfterEveryRowAndSingleRowOrColumn)
{
    std::vector<int> seen;
    TFilterProgress progress = [&](int p) { seen.push_back(p); };
    QImage img = Filled(2, 3, qRgba(1, 2, 3, 4));
    HSLFilter(img, progress, 0, 0, 0);
    EXPECT_EQ(seen, (std::vector<int>{0, 50, 100}));

    seen.clear();
    QImage row = Filled(5, 1, qRgba(100, 150, 200, 255));
    HKIGFilter(row, progress, 0, 0, 0.5f, 1);
    EXPECT_EQ(seen, (std::vector<int>{100}));
    EXPECT_EQ(row.pixel(4, 0), qRgba(150, 225, 255, 255));

    seen.clear();
    QImage column = Filled(1, 4, qRgba(255, 0, 0, 255));
    SWColFilter(column, progress, 0, 0);
    EXPECT_EQ(seen, (std::vector<int>{0, 33, 67, 100}));
    EXPECT_EQ(column.pixel(0, 3), qRgba(85, 85, 85, 255));
}

TEST(PictureFilter, PictureFiltersKeepTheFormatAndRefuseNull)
{
    QImage rgb = Filled(2, 2, qRgb(255, 0, 0)).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(SWColFilter(rgb, nullptr, 0, 0), GpOk);
    EXPECT_EQ(rgb.format(), QImage::Format_RGB32);
    EXPECT_EQ(rgb.pixel(1, 1), qRgb(85, 85, 85));

    QImage bgr = Filled(1, 1, qRgb(10, 20, 30)).convertToFormat(QImage::Format_BGR888);
    EXPECT_EQ(HKIGFilter(bgr, nullptr, 0, 0, 0.5f, 1), GpOk);
    EXPECT_EQ(bgr.format(), QImage::Format_BGR888);
    EXPECT_EQ(bgr.pixel(0, 0), qRgb(15, 30, 45));

    QImage none;
    EXPECT_EQ(HSLFilter(none, nullptr, 0, 0, 0), GpInvalidParameter);
}

TEST(PictureFilter, HelpersAndFormats)
{
    EXPECT_TRUE(CheckRange(1, -1, -1));
    EXPECT_TRUE(CheckRange(1, -1, 1));
    EXPECT_FALSE(CheckRange(1, -1, 1.0001));
    EXPECT_EQ(ClipByte(-5), 0);
    EXPECT_EQ(ClipByte(256), 255);
    EXPECT_EQ(ClipByte(77), 77);
    EXPECT_TRUE(Is32BitFormat(0x26200A));
    EXPECT_TRUE(Is32BitFormat(0xE200B));
    EXPECT_TRUE(Is32BitFormat(0x22009));
    EXPECT_FALSE(Is32BitFormat(0x21808));
}

TEST(PictureFilter, CreateCloneCopyTurnsClockwise)
{
    // A B C
    // D E F
    QImage src(3, 2, QImage::Format_ARGB32);
    const QRgb A = 0xFF000001, B = 0xFF000002, C = 0xFF000003, D = 0xFF000004, E = 0xFF000005,
               F = 0xFF000006;
    const QRgb px[2][3] = {{A, B, C}, {D, E, F}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            src.setPixel(x, y, px[y][x]);
    auto rows = [](const QImage& img) {
        std::vector<std::vector<QRgb>> r(img.height());
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                r[y].push_back(img.pixel(x, y));
        return r;
    };
    using R = std::vector<std::vector<QRgb>>;
    EXPECT_EQ(rows(*CreateCloneCopy(&src, 0)), (R{{A, B, C}, {D, E, F}}));
    EXPECT_EQ(rows(*CreateCloneCopy(&src, 90)), (R{{D, A}, {E, B}, {F, C}}));
    EXPECT_EQ(rows(*CreateCloneCopy(&src, 180)), (R{{F, E, D}, {C, B, A}}));
    EXPECT_EQ(rows(*CreateCloneCopy(&src, 270)), (R{{C, F}, {B, E}, {A, D}}));
    EXPECT_EQ(rows(*CreateCloneCopy(&src, -90)), rows(*CreateCloneCopy(&src, 270)));
    EXPECT_EQ(rows(*CreateCloneCopy(&src, 450)), rows(*CreateCloneCopy(&src, 90)));
    EXPECT_EQ(CreateCloneCopy(&src, 90)->format(), QImage::Format_ARGB32);
    EXPECT_EQ(CreateCloneCopy(nullptr, 90), nullptr);
    EXPECT_THROW(CreateCloneCopy(&src, 45), EInvalidArgument);
}

namespace {

// The filter's pixel as it was first written, one conversion after the other
// through the library's rounding: the reference the faster filter must match.
namespace reference {

void RGBToHSL(uint8_t R, uint8_t G, uint8_t B, double& H, double& S, double& L)
{
    const double r = R / 255.0, g = G / 255.0, b = B / 255.0;
    const double mx = std::max({r, g, b});
    const double mn = std::min({r, g, b});
    L = (mx + mn) / 2;
    if (mx == mn) {
        H = 0;
        S = 0;
        return;
    }
    const double d = mx - mn;
    S = L < 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
    if (r == mx)
        H = (g - b) / d;
    else if (g == mx)
        H = 2 + (b - r) / d;
    else
        H = 4 + (r - g) / d;
    H = H / 6;
    if (H < 0)
        H = H + 1;
}

uint8_t UnitToByte(double v)
{
    return uint8_t(std::clamp<int64_t>(Round(255 * v), 0, 255));
}

QRgb HSLToRGB(double H, double S, double L, int Alpha)
{
    if (S == 0) {
        const uint8_t v = UnitToByte(L);
        return qRgba(v, v, v, Alpha);
    }
    const double m2 = L <= 0.5 ? L * (1 + S) : L + S - L * S;
    const double m1 = 2 * L - m2;
    auto HueToRGB = [m1, m2](double h) {
        if (h < 0)
            h = h + 1;
        else if (h > 1)
            h = h - 1;
        double v;
        if (6 * h < 1)
            v = m1 + (m2 - m1) * 6 * h;
        else if (2 * h < 1)
            v = m2;
        else if (3 * h < 2)
            v = m1 + (m2 - m1) * (2.0 / 3 - h) * 6;
        else
            v = m1;
        return UnitToByte(v);
    };
    return qRgba(HueToRGB(H + 1.0 / 3), HueToRGB(H), HueToRGB(H - 1.0 / 3), Alpha);
}

float Wrap(float Value)
{
    if (!std::isfinite(Value))
        return 0;
    float v = Value;
    if (std::fabs(v) > 64)
        v = float(std::fmod(double(Value), 1.0));
    while (v < 0)
        v += 1;
    while (v >= 1)
        v -= 1;
    return v;
}

QRgb Shift(QRgb Pixel, float dH, float dS, float dL)
{
    double h, s, l;
    RGBToHSL(uint8_t(qRed(Pixel)), uint8_t(qGreen(Pixel)), uint8_t(qBlue(Pixel)), h, s, l);
    return HSLToRGB(Wrap(float(h + dH)), std::clamp(float(s + dS), 0.0f, 1.0f),
                    std::clamp(float(l + dL), 0.0f, 1.0f), qAlpha(Pixel));
}

}  // namespace reference

}  // namespace

TEST(PictureFilter, HSLFilterMatchesThePixelByPixelConversion)
{
    // 4 M colours: every grey and every pure and mixed hue at the edges of the
    // cube, the rest scattered over the whole cube; large enough to be shared
    // out over threads, and rows whose width is no multiple of four, so that
    // pixels are also shifted one by one.
    QImage varied(2047, 2048, QImage::Format_ARGB32);
    uint32_t seed = 12345;
    for (int y = 0; y < varied.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(varied.scanLine(y));
        for (int x = 0; x < varied.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int i = y * varied.width() + x;
            const int v = i & 255;
            switch (y) {
            case 0: row[x] = qRgba(v, v, v, 255); break;
            case 1: row[x] = qRgba(255, v, (i >> 8) & 255, 255); break;
            case 2: row[x] = qRgba(v, 0, 255, 128); break;
            default: row[x] = seed;
            }
        }
    }
    struct Case {
        float dH, dS, dL;
    };
    const Case cases[] = {
        {0.25f, -0.2f, 0.1f},   // the benchmark's
        {-0.7f, 0.5f, -0.3f},   // hue wraps below 0
        {0.9f, 1, 1},           // wraps above 1, saturation and lightness clamped
        {0, -1, 0},             // all grey
        {70.3f, 0, 0},          // far outside one turn
        {-1e-9f, 0.01f, -0.01f},
    };
    for (const Case& c : cases) {
        QImage filtered = varied;
        ASSERT_EQ(HSLFilter(filtered, nullptr, c.dH, c.dS, c.dL), GpOk);
        int differing = 0;
        for (int y = 0; y < varied.height(); ++y) {
            const auto* in = reinterpret_cast<const QRgb*>(varied.constScanLine(y));
            const auto* out = reinterpret_cast<const QRgb*>(filtered.constScanLine(y));
            for (int x = 0; x < varied.width(); ++x)
                if (out[x] != reference::Shift(in[x], c.dH, c.dS, c.dL) && ++differing <= 3)
                    ADD_FAILURE() << "shift " << c.dH << " " << c.dS << " " << c.dL << ": pixel "
                                  << x << "," << y << " " << std::hex << in[x] << " gives "
                                  << out[x] << ", expected "
                                  << reference::Shift(in[x], c.dH, c.dS, c.dL);
        }
        EXPECT_EQ(differing, 0);
    }
}

TEST(PictureFilter, LargePictureReportsRisingProgressEndingAt100)
{
    std::vector<int> seen;
    QImage img = Filled(1000, 700, qRgba(10, 200, 30, 255));
    HSLFilter(img, [&](int p) { seen.push_back(p); }, 0.5f, 0, 0);
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), 100);
    EXPECT_EQ(img.pixel(999, 699), reference::Shift(qRgba(10, 200, 30, 255), 0.5f, 0, 0));
}
