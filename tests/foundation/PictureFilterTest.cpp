#include "SysUtils.h"
#include "uPictureFilter.h"

#include <gtest/gtest.h>

#include <QImage>
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
