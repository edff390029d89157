#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstdlib>

#include "../common/KeptPicture.h"
#include "Canvas.h"
#include "uBitmapDrawContext.h"
#include "uShadowBitmap.h"

namespace {

// A colourful picture whose alpha falls off from the centre to the corners.
QImage TestPicture(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double dx = (x - w / 2.0) / (w / 2.0);
            const double dy = (y - h / 2.0) / (h / 2.0);
            const double r = std::sqrt(dx * dx + dy * dy);
            const int a = r < 0.6 ? 255 : std::max(0, int(255 * (1.3 - r) / 0.7));
            img.setPixel(x, y, qRgba(x * 255 / w, y * 255 / h, 160, a));
        }
    return img;
}

// The page: shadowed rectangles, a turned picture with alpha, turned text,
// wrapped text in a box and a blurred shadow mask, at 2 pixels per millimetre.
QImage RenderPage()
{
    TBitmap bmp;
    bmp.SetSize(480, 360);
    bmp.Image().fill(0xFFFFFFFFu);
    TBitmapDrawContext dc(bmp);
    dc.Transformation->ScaleUniform(2);

    // Shadowed, turned rectangle.
    dc.DrawShadowRect(62, 52, 70, 40, 10, 4);
    dc.SetPenColor(RGB(0, 0, 128));
    dc.SetPenWidth(0.5f);
    dc.GetBrush().SetColor(RGB(170, 200, 255));
    dc.RotatedRectangle(58, 48, 70, 40, 10);

    // Turned picture with alpha, once by nearest neighbour, once bilinear.
    const QImage picture = TestPicture(120, 80);
    dc.DrawImageGDIPlus(picture, 170, 55, 70, 46, -20, 0, 0, 120, 80);
    QImage copy = picture;
    BitmapData data;
    LockBits(copy, data);
    dc.Transformation->Push();
    dc.Transformation->Translate(190, 125);
    dc.Transformation->Rotate(15);
    dc.DrawImageAlpha(data, -30, -20, 60, 40, 0, 0, 120, 80);
    dc.Transformation->Pop();

    // Turned text.
    TFont font;
    font.SetName("Arial");
    font.SetSize(18);
    font.SetStyle(fsBold);
    font.SetColor(RGB(150, 0, 0));
    dc.SetFont(font);
    dc.Transformation->Push();
    dc.Transformation->Translate(20, 150);
    dc.Transformation->Rotate(-30);
    dc.TextOut("Lumiseite \xC4rger", 0, 0, 0);
    dc.Transformation->Pop();

    // Wrapped, centred text in a box.
    font.SetSize(10);
    font.SetStyle(0);
    font.SetColor(clBlack);
    dc.SetFont(font);
    dc.SetPenWidth(0.3f);
    dc.SetPenColor(clGray);
    dc.GetBrush().SetStyle(bsClear);
    dc.Rectangle(95, 95, 155, 170);
    dc.DrawText("Fotob\xFC" "cher, Kalender und Etiketten werden Seite f\xFCr Seite in Millimetern gezeichnet.",
                DT_WORDWRAP | DT_HCENTER | DT_VCENTER, 95, 95, 155, 170);

    // A shadow mask: an ellipse drawn grey, blurred, then drawn with its alpha.
    TShadowBitmap mask;
    mask.SetSize(120, 60);
    mask.Clear();
    mask.SetTransparency(30);
    mask.Canvas().Ellipse(20, 10, 100, 50);
    mask.Blur(RGB(0, 90, 0), 5);
    BitmapData maskData;
    TDrawContext::GetBitmapData(mask, maskData);
    dc.DrawImageAlpha(maskData, 10, 10, 60, 30, 0, 0, 120, 60);
    dc.GetBrush().SetStyle(bsSolid);
    dc.GetBrush().SetColor(RGB(255, 220, 0));
    dc.SetPenStyle(psClear);
    dc.Ellipse(38, 23, 36, 16);
    return bmp.Image().copy();
}

}  // namespace

TEST(DrawContextPage, MatchesReference)
{
    const QImage page = RenderPage();
    ASSERT_EQ(page.size(), QSize(480, 360));
    QImage ref(QStringLiteral(LUMI_TEST_DATA "/DrawContextPage.png"));
    ASSERT_FALSE(ref.isNull()) << "missing reference picture";
    ref = ref.convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(ref.size(), page.size());
    int64_t sum = 0;
    int off = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QRgb a = page.pixel(x, y);
            const QRgb b = ref.pixel(x, y);
            const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                    std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
            sum += d;
            off += d > 24;
        }
    const int pixels = page.width() * page.height();
    EXPECT_LE(off, pixels / 1000) << "pixels off by more than 24; this run's picture: "
                                  << KeepPicture(page, "DrawContextPage.png");
    EXPECT_LE(double(sum) / pixels, 0.25) << "this run's picture: " << KeepPicture(page, "DrawContextPage.png");
}
