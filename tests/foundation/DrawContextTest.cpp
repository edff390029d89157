#include <gtest/gtest.h>

#include <QImage>

#include "Canvas.h"
#include "Classes.h"
#include "Dialogs.h"
#include "uBitmapDrawContext.h"
#include "uDrawContext.h"
#include "uFontcache.h"

namespace {

// A white 32-bit bitmap with a draw context of Scale pixels per millimetre.
struct Page {
    TBitmap bmp;
    std::unique_ptr<TBitmapDrawContext> dc;
    Page(int w, int h, float scale = 1)
    {
        bmp.SetSize(w, h);
        bmp.Image().fill(0xFFFFFFFFu);
        dc = std::make_unique<TBitmapDrawContext>(bmp);
        dc->Transformation->ScaleUniform(scale);
        TFont f;
        f.SetName("Arial");
        f.SetSize(10);
        f.SetColor(clBlack);
        dc->SetFont(f);
    }
    // Bounding box of the pixels that are not white; empty when none.
    QRect Ink()
    {
        const QImage& img = bmp.Image();
        QRect r;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if ((img.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF)
                    r |= QRect(x, y, 1, 1);
        return r;
    }
};

// Millimetres of a width in pixels at 720 dpi.
float Mm720(int px) { return float(px / 720.0 * 25.4); }

}  // namespace

TEST(FontCache, DesignWidthsOfArial)
{
    TFont f;
    f.SetName("Arial");
    f.SetSize(30);
    TFontInfo& info = FontCache.GetFontInfo(f);
    EXPECT_EQ(info.EmSquare, 2048);
    EXPECT_EQ(info.Widths[' '], 569);
    EXPECT_EQ(info.Widths['A'], 1366);
    EXPECT_EQ(info.Widths['a'], 1139);
    EXPECT_EQ(info.Widths['i'], 455);
    EXPECT_EQ(info.Widths[0xE4], 1139);  // a umlaut through the code page
    EXPECT_EQ(info.Widths[0x80], 1139);  // euro sign
    EXPECT_FLOAT_EQ(info.CharWidth('A', 2048), 1366);
    EXPECT_FLOAT_EQ(info.CharWidth(' ', 100), 569 / 2048.0f * 100);

    // Size and colour are not part of the key; name and style are.
    const int count = FontCache.Count();
    TFont other = f;
    other.SetSize(8);
    other.SetColor(clRed);
    EXPECT_EQ(&FontCache.GetFontInfo(other), &info);
    other.SetStyle(fsBold | fsStrikeOut);
    TFontInfo& bold = FontCache.GetFontInfo(other);
    EXPECT_NE(&bold, &info);
    EXPECT_EQ(FontCache.Count(), count + 1);
    EXPECT_EQ(&FontCache.GetFontInfo(other), &bold);
    EXPECT_EQ(FontCache.Count(), count + 1);
    EXPECT_EQ(bold.Widths['a'], 1139);
    EXPECT_EQ(bold.Widths['b'], 1251);
}

TEST(DrawContext, PageToDeviceSnapsThenRoundsHalfToEven)
{
    TCanvas canvas;
    TDrawContext dc(&canvas);
    const struct {
        float page;
        int32_t device;
    } cases[] = {{2.49996f, 2}, {3.49996f, 4}, {2.50004f, 2}, {-2.50004f, -2},
                 {1.2f, 1},     {0.49996f, 0}, {-1.5f, -1},   {2.6f, 3}};  // negative halves snap toward zero
    for (const auto& c : cases) {
        EXPECT_EQ(dc.PageToDevice(c.page, 0).X, c.device) << c.page;
        EXPECT_EQ(dc.PageToDevice(0, c.page).Y, c.device) << c.page;
    }
    dc.Transformation->Translate(10, 20);
    dc.Transformation->ScaleUniform(4);
    EXPECT_EQ(dc.PageToDevice(0.625f, 0.375f), (TPoint{12, 22}));
    EXPECT_EQ(dc.VectorToDevice(0.625f, 0.375f), (TPoint{2, 2}));
    EXPECT_EQ(dc.PointsToDevice({{1, 1}, {-1, 0}}), (TPointArray{{14, 24}, {6, 20}}));
    const TPointF p = dc.DeviceToPage(14, 26);
    EXPECT_FLOAT_EQ(p.X, 1);
    EXPECT_FLOAT_EQ(p.Y, 1.5f);
    const TPointF v = dc.DeviceVectorToPage(8, -4);
    EXPECT_FLOAT_EQ(v.X, 2);
    EXPECT_FLOAT_EQ(v.Y, -1);
}

TEST(DrawContext, PenWidths)
{
    TCanvas canvas;
    TDrawContext dc(&canvas);
    dc.Transformation->ScaleUniform(4);
    const struct {
        float mm;
        int px;
    } cases[] = {{0, 1}, {0.5f, 2}, {0.3f, 1}, {0.625f, 2}, {0.875f, 4}, {0.1f, 0}};
    for (const auto& c : cases) {
        dc.SetPenWidth(c.mm);
        EXPECT_EQ(canvas.Pen().Width(), c.px) << c.mm;
        EXPECT_FLOAT_EQ(dc.PenWidth, c.mm);
    }
    // The device vector is rounded before its length is taken.
    dc.Transformation->Rotate(45);
    dc.SetPenWidth(1);  // (2.83, 2.83) -> (3, 3) -> 4.24
    EXPECT_EQ(canvas.Pen().Width(), 4);
    dc.SetPenWidth(0.75f);  // (2.12, 2.12) -> (2, 2) -> 2.83
    EXPECT_EQ(canvas.Pen().Width(), 3);

    dc.SetPenWidthPixels(3);
    EXPECT_EQ(canvas.Pen().Width(), 3);
    EXPECT_NEAR(dc.PenWidth, 0.75f, 1e-6);
}

TEST(DrawContext, PrepareFontFollowsTheCoordinateSystem)
{
    TCanvas canvas;
    TDrawContext dc(&canvas);
    TFont f;
    f.SetName("Arial");
    f.SetSize(72);  // 25.4 mm
    dc.SetFont(f);
    dc.Transformation->ScaleUniform(2);
    dc.PrepareFont();
    EXPECT_FLOAT_EQ(dc.FontPixelHeight, 50.8f);
    EXPECT_EQ(canvas.Font().Height(), -51);
    EXPECT_EQ(canvas.FontEscapement(), 0);
    EXPECT_EQ(canvas.Font().Name(), "Arial");

    dc.Transformation->Rotate(90);  // clockwise on screen = 270 counter-clockwise
    dc.PrepareFont();
    EXPECT_EQ(canvas.FontEscapement(), 2700);
    dc.Transformation->Rotate(-120);
    dc.PrepareFont();
    EXPECT_EQ(canvas.FontEscapement(), 300);

    f.SetSize(0);
    dc.SetFont(f);
    dc.PrepareFont();
    EXPECT_EQ(canvas.Font().Height(), -1);

    // Text metrics of the prepared font: Liberation Sans, em 51 pixels.
    f.SetSize(72);
    dc.SetFont(f);
    TTextMetric tm;
    dc.GetTextMetrics(tm);
    EXPECT_EQ(tm.tmAscent, 46);  // 1854 / 2048 * 51
    EXPECT_EQ(tm.tmDescent, 11);  // 434 / 2048 * 51
    EXPECT_EQ(tm.tmHeight, 57);
}

TEST(DrawContext, MeasuresAt720Dpi)
{
    TCanvas canvas;
    TDrawContext dc(&canvas);
    TFont f;
    f.SetName("Arial");
    f.SetSize(10);  // em 100 pixels at 720 dpi
    dc.SetFont(f);
    // Advances are rounded per character: A 66.7 -> 67, a 55.6 -> 56, space 27.8 -> 28.
    EXPECT_FLOAT_EQ(dc.TextWidth("A"), Mm720(67));
    EXPECT_FLOAT_EQ(dc.TextWidth("Aa a"), Mm720(67 + 56 + 28 + 56));
    EXPECT_FLOAT_EQ(dc.TextWidth(""), 0);
    // Ascent 91 + descent 21.
    EXPECT_FLOAT_EQ(dc.TextHeight("Xy"), Mm720(112));
    // The context is unchanged by measuring at any scale.
    dc.Transformation->ScaleUniform(10);
    EXPECT_FLOAT_EQ(dc.TextWidth("A"), Mm720(67));
}

TEST(DrawContext, WrapTextLines)
{
    TCanvas canvas;
    TDrawContext dc(&canvas);
    TFont f;
    f.SetName("Arial");
    f.SetSize(10);
    dc.SetFont(f);
    // At 720 dpi: a, b 56 pixels, c 50, space 28. "aaa bbb" = 364.
    const float fits7 = Mm720(364);

    auto wrap = [&](const AnsiString& text, float width) {
        TStringList lines;
        dc.WrapText(text, lines, width);
        std::vector<std::pair<AnsiString, intptr_t>> result;
        for (int i = 0; i < lines.Count(); ++i)
            result.emplace_back(lines[i], reinterpret_cast<intptr_t>(lines.Objects(i)));
        return result;
    };
    using R = std::vector<std::pair<AnsiString, intptr_t>>;
    // Exactly fitting line, then a soft break at the last space.
    EXPECT_EQ(wrap("aaa bbb ccc", fits7), (R{{"aaa bbb", 0}, {"ccc", 1}}));
    EXPECT_EQ(wrap("aaa bbb ccc", fits7 - Mm720(1)), (R{{"aaa", 0}, {"bbb ccc", 1}}));
    EXPECT_EQ(wrap("aaa bbb", 100), (R{{"aaa bbb", 1}}));
    // Hard line ends: CR LF, and a lone CR that keeps the next character.
    EXPECT_EQ(wrap("ab\r\ncd", 100), (R{{"ab", 1}, {"cd", 1}}));
    EXPECT_EQ(wrap("ab\rcd", 100), (R{{"ab", 1}, {"cd", 1}}));
    EXPECT_EQ(wrap("ab\r\n\r\ncd", 100), (R{{"ab", 1}, {"", 1}, {"cd", 1}}));
    // A word wider than the line breaks inside; nothing fits: one character per line.
    EXPECT_EQ(wrap("aaaaaaa", Mm720(56 * 3)), (R{{"aaa", 0}, {"aaa", 0}, {"a", 1}}));
    EXPECT_EQ(wrap("abc", 0), (R{{"a", 0}, {"b", 0}, {"c", 1}}));
    EXPECT_EQ(wrap("aa bbbbbbb", Mm720(56 * 3)), (R{{"aa", 0}, {"bbb", 0}, {"bbb", 0}, {"b", 1}}));
    EXPECT_TRUE(wrap("", 100).empty());
}

TEST(DrawContext, DrawTextFlags)
{
    Page page(400, 200, 4);
    TDrawContext& dc = *page.dc;
    const float lineH = Mm720(112);  // "Xy" at 10 pt

    // Measure only: the height is returned, nothing is drawn.
    EXPECT_FLOAT_EQ(dc.DrawText("aaa bbb ccc", DT_WORDWRAP | DT_MEASUREONLY, 0, 0, Mm720(364), 50),
                    2 * lineH);
    EXPECT_FLOAT_EQ(dc.DrawText("Xy", DT_MEASUREONLY, 0, 0, 100, 50), lineH);
    EXPECT_TRUE(page.Ink().isNull());
    EXPECT_FLOAT_EQ(dc.DrawText("", DT_WORDWRAP, 0, 0, 10, 10), 0);

    // Centred horizontally and bottom-aligned in (10, 10)-(90, 40) mm.
    const float h = dc.DrawText("Hello", DT_HCENTER | DT_VBOTTOM, 10, 10, 90, 40);
    EXPECT_FLOAT_EQ(h, lineH);
    const QRect ink = page.Ink();
    ASSERT_FALSE(ink.isNull());
    const float w = dc.TextWidth("Hello");
    EXPECT_NEAR(ink.left(), (50 - w / 2) * 4, 2);
    EXPECT_NEAR(ink.right() + 1, (50 + w / 2) * 4, 3);
    // Baseline at bottom - descent: the letters end there (no descenders in "Hello").
    EXPECT_NEAR(ink.bottom() + 1, (40 - Mm720(21)) * 4, 1.5);
}

TEST(DrawContext, DrawTextWrapsAndStartsAtTopWhenTooTall)
{
    Page page(400, 400, 4);
    TDrawContext& dc = *page.dc;
    const float lineH = Mm720(112);
    // A word wider than the box breaks inside the word; right-aligned lines.
    const float h = dc.DrawText("aaaaaaa", DT_WORDWRAP | DT_HRIGHT, 10, 10, 10 + Mm720(56 * 3), 90);
    EXPECT_FLOAT_EQ(h, 3 * lineH);
    QRect ink = page.Ink();
    EXPECT_NEAR(ink.right() + 1, (10 + Mm720(56 * 3)) * 4, 2);
    EXPECT_LT(ink.bottom(), (10 + 3 * lineH) * 4);
    EXPECT_GT(ink.bottom(), (10 + 2 * lineH) * 4);

    // Vertically centred text taller than the box starts at its top.
    Page tall(400, 400, 4);
    tall.dc->DrawText("aaa bbb ccc ddd", DT_WORDWRAP | DT_VCENTER, 10, 20, 10 + Mm720(200), 22);
    ink = tall.Ink();
    EXPECT_GE(ink.top(), 20 * 4);
    EXPECT_LT(ink.top(), 20 * 4 + lineH * 4);
}

TEST(DrawContext, TextOutPlacesTopOfCellAndRightEnd)
{
    Page page(400, 100, 4);
    TDrawContext& dc = *page.dc;
    dc.TextOut("H", 0, 10, 5);
    QRect ink = page.Ink();
    // The cell's top is at 5 mm; "H" rises to the cap height below the ascent.
    const TFontInfo& info = FontCache.GetFontInfo(*dc.Font);
    EXPECT_GE(ink.top(), 20);
    EXPECT_LE(ink.top(), 20 + info.TextMetric.tmAscent * dc.FontPixelHeight / info.EmSquare);
    EXPECT_NEAR(ink.left(), 40, 3);

    // Align 2 ends the text at X.
    Page right(400, 100, 4);
    right.dc->TextOut("HH", 2, 60, 5);
    ink = right.Ink();
    EXPECT_NEAR(ink.right() + 1, 240, 3);
    EXPECT_GT(ink.left(), 200);
}

TEST(DrawContext, TextOutHasNoLengthLimit)
{
    Page page(2300, 20, 1);
    TFont f;
    f.SetName("Arial");
    f.SetSize(24);  // em 8.47 pixels; "i" about 1.9 pixels
    f.SetColor(clBlack);
    page.dc->SetFont(f);
    page.dc->TextOut(AnsiString(1100, 'i'), 0, 0, 0);
    const QRect ink = page.Ink();
    const float expected = 1100 * 455 / 2048.0f * page.dc->FontPixelHeight;
    EXPECT_NEAR(ink.right(), expected, 3);
    EXPECT_GT(ink.right(), 2000);
}

TEST(DrawContext, ClipStack)
{
    Page page(100, 100, 1);
    TDrawContext& dc = *page.dc;
    TCanvas& c = *dc.Canvas;
    dc.RestoreClip();  // nothing saved: clipping off
    EXPECT_FALSE(c.HasClipRegion());

    dc.ClipRect(10, 10, 50, 50, RGN_COPY);
    EXPECT_EQ(c.ClipRegion(), QRegion(10, 10, 40, 40));
    EXPECT_TRUE(dc.ClipStack.empty());
    dc.ClipRect(30, 30, 70, 70, RGN_OR);
    EXPECT_EQ(c.ClipRegion(), QRegion(10, 10, 40, 40).united(QRegion(30, 30, 40, 40)));
    dc.ClipRect(30, 30, 70, 70, RGN_XOR);
    EXPECT_EQ(c.ClipRegion(), QRegion(10, 10, 40, 40).subtracted(QRegion(30, 30, 40, 40)));
    dc.ClipRect(0, 0, 20, 100, RGN_DIFF);
    EXPECT_EQ(c.ClipRegion(), QRegion(20, 10, 30, 40).subtracted(QRegion(30, 30, 20, 20)));
    dc.ClipRect(0, 0, 25, 100, RGN_AND);
    EXPECT_EQ(c.ClipRegion(), QRegion(20, 10, 5, 40));
    EXPECT_EQ(dc.ClipStack.size(), 4u);

    // Drawing honours the clip.
    dc.GetBrush().SetColor(clBlack);
    dc.SetPenStyle(psClear);
    dc.Rectangle(0, 0, 100, 100);
    EXPECT_EQ(page.Ink(), QRect(20, 10, 5, 40));

    dc.RestoreClip();
    EXPECT_EQ(c.ClipRegion(), QRegion(20, 10, 30, 40).subtracted(QRegion(30, 30, 20, 20)));
    for (int i = 0; i < 3; ++i)
        dc.RestoreClip();
    EXPECT_EQ(c.ClipRegion(), QRegion(10, 10, 40, 40));
    dc.RestoreClip();
    EXPECT_FALSE(c.HasClipRegion());

    // A turned rectangle: its centre is inside, the corners of its bounds are not.
    dc.ClipRotatedRect(50, 50, 40, 40, 45, RGN_COPY);
    EXPECT_TRUE(c.ClipRegion().contains(QPoint(50, 50)));
    EXPECT_TRUE(c.ClipRegion().contains(QPoint(50, 23)));
    EXPECT_FALSE(c.ClipRegion().contains(QPoint(32, 32)));
    EXPECT_EQ(dc.Transformation->StackCount(), 0);
    dc.RestoreClip();
}

TEST(DrawContext, ShapesGoThroughTheTransformation)
{
    Page page(100, 100, 2);
    TDrawContext& dc = *page.dc;
    dc.GetBrush().SetColor(clBlack);
    dc.SetPenColor(clBlack);
    dc.RectangleCentered(20, 20, 10, 6);
    // (15, 17)-(25, 23) mm at 2 px/mm, outline included.
    EXPECT_EQ(page.Ink(), QRect(30, 34, 21, 13));

    Page ell(100, 100, 2);
    ell.dc->GetBrush().SetColor(clBlack);
    ell.dc->SetPenStyle(psClear);
    ell.dc->Ellipse(25, 25, 40, 20);
    const QRect ink = ell.Ink();
    EXPECT_NEAR(ink.left(), 10, 1);
    EXPECT_NEAR(ink.right() + 1, 90, 1);
    EXPECT_NEAR(ink.top(), 30, 1);
    EXPECT_NEAR(ink.bottom() + 1, 70, 1);
    // A point just inside the bounding box corner is outside the ellipse.
    EXPECT_EQ(ell.bmp.Image().pixel(14, 33), 0xFFFFFFFFu);
    EXPECT_NE(ell.bmp.Image().pixel(50, 50), 0xFFFFFFFFu);

    // A closed path with a Bezier, filled.
    Page path(100, 100, 1);
    path.dc->GetBrush().SetColor(clBlack);
    path.dc->SetPenStyle(psClear);
    path.dc->BeginPath();
    path.dc->MoveTo(10, 10);
    path.dc->LineTo(60, 10);
    path.dc->BezierTo(PointF(60, 40), PointF(60, 40), PointF(10, 40));
    path.dc->CloseFigure();
    path.dc->EndPath();
    path.dc->StrokeAndFillPath();
    EXPECT_EQ(path.Ink().top(), 10);
    EXPECT_EQ(path.Ink().left(), 10);
    EXPECT_NEAR(path.Ink().right(), 59, 1);
    EXPECT_NEAR(path.Ink().bottom(), 39, 1);
}

TEST(DrawContext, BaseImageOperations)
{
    // A one-pixel source fills the whole rectangle (no division by zero).
    TBitmap target;
    target.SetSize(20, 20);
    target.Image().fill(0xFFFFFFFFu);
    TDrawContext dc(&target.Canvas());
    QImage src(3, 3, QImage::Format_ARGB32);
    src.fill(0xFF0000FFu);
    src.setPixel(1, 1, 0xFFFF0000u);
    BitmapData data;
    ASSERT_TRUE(LockBits(src, data));
    dc.DrawBitmapDataOrthogonalBlt(data, 5, 5, 10, 10, 1, 1, 1, 1);
    const QImage& img = target.Image();
    for (int y = 5; y < 15; ++y)
        for (int x = 5; x < 15; ++x)
            ASSERT_EQ(img.pixel(x, y), 0xFFFF0000u) << x << "," << y;
    EXPECT_EQ(img.pixel(4, 4), 0xFFFFFFFFu);

    // Source rectangles reaching outside the data draw nothing.
    target.Image().fill(0xFFFFFFFFu);
    dc.DrawBitmapDataOrthogonalBlt(data, 0, 0, 10, 10, 2, 0, 2, 3);
    dc.DrawBitmapData(data, 0, 0, 10, 10, 0, -1, 3, 3);
    dc.DrawImageGDIPlus(src, 5, 5, 10, 10, 30, 0, 2, 3, 2);
    TDrawContext turned(&target.Canvas());
    turned.Transformation->Rotate(30);
    turned.DrawBitmapData(data, 0, 0, 10, 10, 1, 1, 3, 1);
    EXPECT_EQ(target.Image().pixel(2, 2), 0xFFFFFFFFu);
    EXPECT_EQ(target.Image().pixel(8, 8), 0xFFFFFFFFu);

    // The whole picture into an axis-parallel rectangle; a turned one through runs.
    // Source pixels are 9 / (3 + 1) pixels apart, mapped to the nearest.
    dc.DrawImageOrthogonalBlt(src, 0, 0, 9, 9);
    EXPECT_EQ(target.Image().pixel(2, 2), 0xFFFF0000u);
    EXPECT_EQ(target.Image().pixel(1, 1), 0xFF0000FFu);
    EXPECT_EQ(target.Image().pixel(4, 1), 0xFF0000FFu);
    target.Image().fill(0xFFFFFFFFu);
    turned.DrawBitmapData(data, 10, 0, 9, 9, 0, 0, 3, 3);
    int red = 0, blue = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            red += target.Image().pixel(x, y) == 0xFFFF0000u;
            blue += target.Image().pixel(x, y) == 0xFF0000FFu;
        }
    EXPECT_GT(red, 0);
    EXPECT_GT(blue, 4 * red);
    // Red sits where the turned source pixel (1, 1) lands: page (12.25, 2.25) turned by 30.
    EXPECT_EQ(target.Image().pixel(9, 8), 0xFFFF0000u);

    // A huge rectangle is rendered only where the device is.
    target.Image().fill(0xFFFFFFFFu);
    dc.DrawBitmapDataOrthogonalBlt(data, -1e6f, -1e6f, 3e6f, 3e6f, 0, 0, 3, 3);
    turned.DrawBitmapData(data, -1e6f, -1e6f, 3e6f, 3e6f, 0, 0, 3, 3);
    EXPECT_EQ(target.Image().pixel(10, 10), 0xFFFF0000u);

    // Pictures with alpha go through the canvas: opaque pixels cover the
    // target, transparent ones leave it.
    QImage half(2, 1, QImage::Format_ARGB32);
    half.setPixel(0, 0, 0xFF00FF00u);
    half.setPixel(1, 0, 0x00000000u);
    BitmapData halfData;
    ASSERT_TRUE(LockBits(half, halfData));
    target.Image().fill(0xFFFFFFFFu);
    dc.DrawImageAlpha(halfData, 0, 0, 20, 10, 0, 0, 2, 1);
    EXPECT_EQ(target.Image().pixel(3, 5), 0xFF00FF00u);
    EXPECT_EQ(target.Image().pixel(16, 5), 0xFFFFFFFFu);
    EXPECT_EQ(target.Image().pixel(10, 15), 0xFFFFFFFFu);
    dc.DrawImageAlpha(halfData, 0, 0, 20, 10, 1, 0, 2, 1);  // outside the data: nothing
    // The base paints no shadow, and never a message from inside a paint.
    QString shown;
    ShowMessageHandler = [&](const QString& t) { shown = t; };
    target.Image().fill(0xFFFFFFFFu);
    dc.DrawShadowRect(5, 5, 4, 4, 0, 1);
    ShowMessageHandler = nullptr;
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(target.Image().pixel(5, 5), 0xFFFFFFFFu);
}
