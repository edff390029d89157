#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>

#include "Canvas.h"
#include "SysUtils.h"

namespace {

QRect Ink(const QImage& img, QRgb background = 0xFFFFFFFFu)
{
    QRect r;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != background)
                r |= QRect(x, y, 1, 1);
    return r;
}

}  // namespace

TEST(Canvas, FontsResolveToMetricTwins)
{
    EXPECT_TRUE(IsFontInstalled("Arial"));
    EXPECT_TRUE(IsFontInstalled("Times New Roman"));
    EXPECT_TRUE(IsFontInstalled("Liberation Sans"));
    EXPECT_FALSE(IsFontInstalled("No Such Font Lumi"));
    EXPECT_FALSE(IsFontInstalled(""));
    const QRawFont arial = RawFontFor("Arial", 0, 0);
    ASSERT_TRUE(arial.isValid());
    EXPECT_EQ(arial.unitsPerEm(), 2048);
    EXPECT_EQ(arial.pixelSize(), 2048);
    EXPECT_EQ(RawFontFor("Arial", fsBold, 20).pixelSize(), 20);
}

TEST(Canvas, TextExtentFromDesignWidths)
{
    TCanvas c;
    c.Font().SetName("Arial");
    c.Font().SetHeight(-100);  // em 100 pixels
    // Per character: A 66.7 -> 67, space 27.8 -> 28; height = ascent 91 + descent 21.
    EXPECT_EQ(c.TextExtent("A A"), (TSize{67 + 28 + 67, 112}));
    const TTextMetric tm = c.GetTextMetrics();
    EXPECT_EQ(tm.tmAscent, 91);
    EXPECT_EQ(tm.tmInternalLeading, 12);
    // A positive height is the cell height.
    c.Font().SetHeight(112);
    EXPECT_EQ(c.TextWidth("A"), 67);
}

TEST(Canvas, ExtTextOutTopOfCellEscapementAndBackground)
{
    QImage img(200, 200, QImage::Format_ARGB32);
    img.fill(0xFFFFFFFFu);
    {
        TCanvas c(&img);
        c.Font().SetName("Arial");
        c.Font().SetHeight(-40);
        c.Font().SetColor(clBlack);
        c.Brush().SetStyle(bsClear);
        const int dx[2] = {30, 30};
        c.ExtTextOut(20, 20, "HH", dx);
        c.Flush();
        const QRect ink = Ink(img);
        // Cap height 1409/2048 of the em below the ascent 36: "H" starts near y 20 + 8.
        EXPECT_NEAR(ink.top(), 28, 1);
        EXPECT_NEAR(ink.bottom() + 1, 20 + 36, 1);
        // The second H starts 30 pixels after the first.
        EXPECT_NEAR(ink.right() + 1, 20 + 30 + 1479 * 40 / 2048 - 3, 3);

        // Turned 90 degrees counter-clockwise: the text runs upward from the point.
        img.fill(0xFFFFFFFFu);
        c.SetFontEscapement(900);
        c.ExtTextOut(100, 150, "HH", dx);
        c.Flush();
        const QRect up = Ink(img);
        EXPECT_GE(up.left(), 100);
        EXPECT_LE(up.right(), 100 + 46);
        EXPECT_LE(up.bottom(), 150);
        EXPECT_NEAR(up.top(), 150 - 60 + 2, 4);

        // A brush that is not clear fills the cell.
        img.fill(0xFFFFFFFFu);
        c.SetFontEscapement(0);
        c.Brush().SetColor(clYellow);
        c.Brush().SetStyle(bsSolid);
        c.TextOut(10, 10, "H");
        c.Flush();
        EXPECT_EQ(img.pixel(11, 11), 0xFFFFFF00u);
        EXPECT_EQ(c.PenPos(), (TPoint{10 + 29, 10}));
    }
}

TEST(Canvas, CombineRegionModes)
{
    const QRegion a(0, 0, 10, 10), b(5, 0, 10, 10);
    EXPECT_EQ(TCanvas::CombineRegion(a, b, RGN_AND), QRegion(5, 0, 5, 10));
    EXPECT_EQ(TCanvas::CombineRegion(a, b, RGN_OR), QRegion(0, 0, 15, 10));
    EXPECT_EQ(TCanvas::CombineRegion(a, b, RGN_XOR), QRegion(0, 0, 5, 10).united(QRegion(10, 0, 5, 10)));
    EXPECT_EQ(TCanvas::CombineRegion(a, b, RGN_DIFF), QRegion(0, 0, 5, 10));
    EXPECT_EQ(TCanvas::CombineRegion(a, b, RGN_COPY), b);

    // Without a clip region the device surface is the base.
    QImage img(20, 20, QImage::Format_ARGB32);
    TCanvas c(&img);
    c.ExtSelectClipRegion(QRegion(0, 0, 5, 20), RGN_DIFF);
    EXPECT_EQ(c.ClipRegion(), QRegion(5, 0, 15, 20));
    c.SelectClipRegion(nullptr);
    EXPECT_FALSE(c.HasClipRegion());
}

TEST(Canvas, BitmapPixelsAndScanLines)
{
    TBitmap bmp;
    EXPECT_EQ(bmp.PixelFormat(), pf32bit);
    bmp.SetSize(4, 3);
    EXPECT_EQ(bmp.Image().format(), QImage::Format_ARGB32);
    EXPECT_EQ(bmp.Image().pixel(3, 2), 0xFFFFFFFFu);
    bmp.Canvas().Brush().SetColor(RGB(1, 2, 3));
    bmp.Canvas().FillRect(TRect{0, 0, 2, 2});
    // Drawing is finished before the scan line is read: blue, green, red, alpha.
    const uint8_t* row = bmp.ScanLine(1);
    EXPECT_EQ(row[4], 3);
    EXPECT_EQ(row[5], 2);
    EXPECT_EQ(row[6], 1);
    EXPECT_EQ(row[7], 255);
    EXPECT_EQ(bmp.Canvas().Pixel(1, 1), RGB(1, 2, 3));
    EXPECT_THROW(bmp.ScanLine(3), EInvalidOperation);
    EXPECT_THROW(bmp.ScanLine(-1), EInvalidOperation);

    // Growing keeps the pixels, new ones are white.
    bmp.SetSize(6, 4);
    EXPECT_EQ(bmp.Canvas().Pixel(0, 0), RGB(1, 2, 3));
    EXPECT_EQ(bmp.Canvas().Pixel(5, 3), clWhite);

    bmp.SetPixelFormat(pf24bit);
    EXPECT_EQ(bmp.Image().format(), QImage::Format_BGR888);
    EXPECT_EQ(bmp.ScanLine(0)[0], 3);
    EXPECT_EQ(bmp.ScanLine(0)[2], 1);

    // StretchDIBits replaces target pixels, alpha included.
    TBitmap target;
    target.SetSize(4, 4);
    QImage src(2, 2, QImage::Format_ARGB32);
    src.fill(0x40102030u);
    target.Canvas().StretchDIBits(TRect{0, 0, 4, 4}, src);
    EXPECT_EQ(target.Image().pixel(3, 3), 0x40102030u);

    BitmapData data;
    EXPECT_TRUE(LockBits(target.Image(), data));
    EXPECT_EQ(data.Width, 4);
    EXPECT_EQ(data.Stride, 16);
    EXPECT_EQ(data.PixelFormat, PixelFormat32bppARGB);
    EXPECT_FALSE(LockBits(bmp.Image(), data));
    EXPECT_EQ(data.Scan0, nullptr);
}

TEST(Canvas, UnderlineAndStrikeOutStayWithTheText)
{
    for (TFontStyles style : {TFontStyles(fsUnderline), TFontStyles(fsStrikeOut)}) {
        QImage img(300, 300, QImage::Format_ARGB32);
        img.fill(0xFFFFFFFFu);
        {
            TCanvas c(&img);
            c.Font().SetName("Arial");
            c.Font().SetHeight(-40);
            c.Font().SetColor(clBlack);
            c.Font().SetStyle(style);
            c.Brush().SetStyle(bsClear);
            c.TextOut(100, 120, "....");  // dots leave the decoration as the only wide ink
        }
        const QRect ink = Ink(img);
        // Everything lies within the text cell at (100,120), 46 pixels high.
        EXPECT_GE(ink.top(), 120) << int(style);
        EXPECT_LE(ink.bottom(), 120 + 46) << int(style);
        EXPECT_GE(ink.left(), 100) << int(style);
        // The decoration is one unbroken line across the dots.
        int longest = 0;
        for (int y = ink.top(); y <= ink.bottom(); ++y) {
            int run = 0;
            for (int x = ink.left(); x <= ink.right(); ++x) {
                run = qRed(img.pixel(x, y)) < 128 ? run + 1 : 0;
                longest = std::max(longest, run);
            }
        }
        EXPECT_GT(longest, 40) << int(style);
    }
}

TEST(Canvas, StretchDIBitsIgnoresAlphaOnOtherDevices)
{
    QImage src(2, 2, QImage::Format_ARGB32);
    src.fill(qRgba(0, 0, 255, 0x40));  // blue with a stray alpha byte
    QPixmap device(4, 4);
    device.fill(Qt::red);
    {
        TCanvas c(&device);
        c.StretchDIBits(TRect{0, 0, 4, 4}, src, TRect{});
    }
    const QImage out = device.toImage();
    EXPECT_EQ(out.pixel(1, 1) & 0xFFFFFFu, 0x0000FFu);  // not mixed with the red beneath
}

// Bytes are read by the font's charset; characters the face lacks come from a
// face that has them, and a double-byte pair is one glyph with its advance on
// the lead byte.
TEST(Canvas, TextOfTheFontsCharset)
{
    TCanvas c;
    c.Font().SetName("Arial");
    c.Font().SetHeight(-100);
    c.Font().SetCharset(204);
    const int zhe = c.TextWidth("\xc6");  // Cyrillic Zhe, not the Latin AE of Windows-1252
    c.Font().SetCharset(ANSI_CHARSET);
    EXPECT_NE(zhe, c.TextWidth("\xc6"));
    const QRawFont arial = RawFontFor("Arial", 0, 100);
    const std::vector<int> adv = CharsetAdvances(RawFontFor("Arial", 0, 0), 100, 128, "\x93\xfa" "A");
    ASSERT_EQ(adv.size(), 3u);
    EXPECT_EQ(adv[0], 100);  // an ideograph is one em wide
    EXPECT_EQ(adv[1], 0);
    EXPECT_EQ(adv[2], 67);
    const QList<QGlyphRun> runs = CharsetGlyphRuns(arial, 128, "\x93\xfa" "A", adv.data(), 0, 80);
    ASSERT_EQ(runs.size(), 2);
    EXPECT_TRUE(runs[0].rawFont().familyName().startsWith("Noto Sans CJK")) << runs[0].rawFont().familyName().toStdString();
    EXPECT_NE(runs[0].glyphIndexes().value(0), 0u);
    EXPECT_EQ(runs[1].rawFont().familyName(), arial.familyName());
    EXPECT_EQ(runs[1].positions().value(0), QPointF(100, 80));

    QImage img(300, 150, QImage::Format_ARGB32);
    img.fill(Qt::white);
    {
        TCanvas canvas(&img);
        canvas.Font().SetName("Arial");
        canvas.Font().SetHeight(-100);
        canvas.Font().SetCharset(128);
        canvas.Brush().SetStyle(bsClear);
        canvas.TextOut(10, 10, "\x93\xfa");
    }
    const QRect ink = Ink(img);
    EXPECT_GT(ink.width(), 60);  // the ideograph, drawn from the fallback face
    EXPECT_GT(ink.height(), 60);
}
