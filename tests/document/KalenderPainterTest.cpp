#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "../common/KeptPicture.h"
#include "Canvas.h"
#include "DateTime.h"
#include "uBitmapDrawContext.h"
#include "uKalenderPainter.h"

namespace {

constexpr float kScale = 4;  // pixels per millimetre
constexpr QRgb kPaper = 0xFFFFFFFFu;

struct Calendar {
    TKalenderData Data;
    TKalenderTageListe Holidays;
    TKalenderTageListe Birthdays;

    Calendar(int Year, int Month)
    {
        Data.SetJahr(Year);
        Data.SetMonat(Month);
    }
    std::unique_ptr<TKalenderPainter> Painter()
    {
        return CreateKalenderPainter(Data.Typ, Data, Holidays, Birthdays);
    }
};

// Paints the month over a page of W x H millimetres at kScale pixels per millimetre.
QImage Render(Calendar& Cal, float W, float H, QRgb Background = kPaper,
              const std::function<void(TKalenderPainter&, TDrawContext&)>& Draw = {})
{
    TBitmap bmp;
    bmp.SetSize(int(W * kScale), int(H * kScale));
    bmp.Image().fill(Background);
    {
        TBitmapDrawContext dc(bmp);
        dc.Transformation->ScaleUniform(kScale);
        auto painter = Cal.Painter();
        if (Draw)
            Draw(*painter, dc);
        else
            painter->Paint(dc, 0, 0, W, H);
    }
    return bmp.Image().copy();
}

// The colour at page millimetres (X, Y).
QRgb At(const QImage& Img, float X, float Y)
{
    return Img.pixel(int(X * kScale), int(Y * kScale)) | 0xFF000000u;
}

// Number of pixels in the band of rows Y0..Y1 (mm) whose colour is near C.
int CountNear(const QImage& Img, float Y0, float Y1, QRgb C, int Tolerance = 60)
{
    int n = 0;
    for (int y = int(Y0 * kScale); y < int(Y1 * kScale) && y < Img.height(); ++y)
        for (int x = 0; x < Img.width(); ++x) {
            const QRgb p = Img.pixel(x, y);
            if (std::abs(qRed(p) - qRed(C)) + std::abs(qGreen(p) - qGreen(C)) +
                    std::abs(qBlue(p) - qBlue(C)) <= Tolerance)
                ++n;
        }
    return n;
}

// A day grid without title and weekday row, so that the day rows fill the page.
void DaysOnly(TKalenderData& D)
{
    D.ShowMonatJahr = false;
    D.ShowWochentage = false;
}

}  // namespace

// Cells of the grid are filled where the month has a day: the first day's
// column, the rows and the wrap after Sunday follow from the month.
TEST(KalenderPainter, GridPlacesDaysByWeekday)
{
    struct Case {
        int Year, Month, FirstColumn, Rows, Days;
    };
    const Case cases[] = {
        {2025, 6, 6, 6, 30},   // starts on a Sunday: seventh column of row 0
        {2021, 2, 0, 4, 28},   // starts on a Monday, exactly four weeks
        {2024, 2, 3, 5, 29},   // leap day
        {2026, 8, 5, 6, 31},   // starts on a Saturday
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Year << "-" << c.Month);
        Calendar cal(c.Year, c.Month);
        DaysOnly(cal.Data);
        cal.Data.ColorZellen = RGB(0, 0, 255);
        cal.Data.CellSpacing.SetValues(10, 10, 10, 10);
        const float W = 70, H = 10.0f * c.Rows;
        const QImage img = Render(cal, W, H);
        ASSERT_EQ(cal.Data.GetWeekRows(), c.Rows);
        for (int row = 0; row < c.Rows; ++row)
            for (int col = 0; col < 7; ++col) {
                const int day = row * 7 + col - c.FirstColumn + 1;
                const bool filled = day >= 1 && day <= c.Days;
                // the top left corner of the spaced cell: clear of the centred number
                const QRgb p = At(img, col * 10 + 1.5f, row * 10 + 1.5f);
                EXPECT_EQ(p, filled ? 0xFF0000FFu : kPaper) << "row " << row << " column " << col;
                // the spacing between cells keeps the background
                EXPECT_EQ(At(img, col * 10 + 0.4f, row * 10 + 5), kPaper);
            }
    }
}

TEST(KalenderPainter, DayTextColourRulesLaterWins)
{
    Calendar cal(2009, 5);
    TKalenderData& d = cal.Data;
    d.Font.SetColor(RGB(1, 2, 3));
    d.TextColorSamstag = RGB(0, 0, 10);
    d.TextColorSonntag = RGB(0, 0, 20);
    d.TextColorFeiertag = RGB(0, 0, 30);
    d.TextColorGeburtstag = RGB(0, 0, 40);
    // May 2009: the 1st a Friday, 2nd Saturday, 3rd Sunday.
    cal.Holidays.AddDay("Maifeiertag", ", ", EncodeDate(2009, 5, 1));
    cal.Holidays.AddDay("Sa-Feiertag", ", ", EncodeDate(2009, 5, 2));
    cal.Birthdays.AddDay("Anna", ", ", EncodeDate(2009, 5, 3));
    cal.Birthdays.AddDay("Ben", ", ", EncodeDate(2009, 5, 5));
    cal.Birthdays.AddDay("Carla", ", ", EncodeDate(2009, 5, 1));
    const auto painter = cal.Painter();
    struct Case {
        int Day;
        TColor Expected;
    } cases[] = {
        {4, RGB(1, 2, 3)},    // plain Monday
        {9, d.TextColorSamstag},
        {10, d.TextColorSonntag},
        {5, d.TextColorGeburtstag},
        {2, d.TextColorFeiertag},   // holiday on a Saturday
        {3, d.TextColorSonntag},    // birthday on a Sunday
        {1, d.TextColorFeiertag},   // holiday and birthday
    };
    for (const Case& c : cases)
        EXPECT_EQ(painter->GetDayTextColor(EncodeDate(2009, 5, c.Day)), c.Expected) << c.Day;
    // Only whole days count.
    EXPECT_EQ(painter->GetDayTextColor(EncodeDate(2009, 5, 5) + 0.5), RGB(1, 2, 3));
}

// Title at the bottom, weekday row at the top, the special-day strip directly
// above the title, the day rows in between.
TEST(KalenderPainter, StripsStackInTheirOrder)
{
    Calendar cal(2010, 3);
    TKalenderData& d = cal.Data;
    d.ShowMonatJahrOnBottom = true;
    d.ShowSondertage = true;
    d.MonatJahrSize = 10;
    d.WochentagSize = 20;
    d.SondertagSize = 15;
    d.MonatJahrColorZeile = RGB(255, 0, 0);
    d.WochentagColorZeile = RGB(0, 255, 0);
    d.SondertagColorZeile = RGB(0, 0, 255);
    d.ColorZeilen = RGB(255, 255, 0);
    d.Color = RGB(0, 255, 255);
    d.RowSpacing.SetValues(0, 20, 0, 20);
    const QImage img = Render(cal, 70, 100, 0xFF808080u);
    const float x = 0.5f;  // left edge: no text there
    EXPECT_EQ(At(img, x, 1), 0xFF00FF00u);
    EXPECT_EQ(At(img, x, 19), 0xFF00FF00u);
    EXPECT_EQ(At(img, x, 76), 0xFF0000FFu);
    EXPECT_EQ(At(img, x, 89), 0xFF0000FFu);
    EXPECT_EQ(At(img, x, 91), 0xFFFF0000u);
    EXPECT_EQ(At(img, x, 99.5f), 0xFFFF0000u);
    // March 2010 has five week rows over 20..75 mm (11 mm each); the row
    // spacing leaves the element's own colour between them.
    EXPECT_EQ(At(img, x, 20.5f), 0xFF00FFFFu);
    EXPECT_EQ(At(img, x, 25.5f), 0xFFFFFF00u);
    EXPECT_EQ(At(img, x, 31.5f), 0xFF00FFFFu);
}

TEST(KalenderPainter, NoColourLeavesTheBackground)
{
    Calendar cal(2012, 4);
    cal.Data.ShowSondertage = true;
    cal.Data.SondertagSize = 10;
    const QImage img = Render(cal, 70, 70, 0xFF336699u);
    // Corners of every day cell, the strips' edges: no text, no fill.
    for (float y : {0.3f, 16.0f, 30.0f, 62.5f, 69.7f})
        for (float x : {0.3f, 10.2f, 49.8f, 69.7f})
            EXPECT_EQ(At(img, x, y), 0xFF336699u) << x << "," << y;
}

TEST(KalenderPainter, SpecialDayTextsStackHolidaysFirst)
{
    Calendar cal(2009, 12);
    TKalenderData& d = cal.Data;
    DaysOnly(d);
    d.ShowSondertage = true;
    d.SondertagSize = 50;
    d.SondertagFont.SetName("Arial");
    d.SondertagFontHeight = 0;
    d.SondertagFont.SetSize(20);
    d.TextColorFeiertag = RGB(255, 0, 0);
    d.TextColorGeburtstag = RGB(0, 0, 255);
    cal.Holidays.AddDay("Heiligabend", ", ", EncodeDate(2009, 12, 24));
    cal.Birthdays.AddDay("Paul", ", ", EncodeDate(2009, 12, 24));
    cal.Holidays.AddDay("Ostern", ", ", EncodeDate(2010, 4, 4));  // another month
    const QImage img = Render(cal, 100, 60);
    // Strip over 30..60 mm; 20 pt lines are about 8 mm high.
    const int red = CountNear(img, 30, 38, qRgb(255, 0, 0));
    const int blue = CountNear(img, 38, 46, qRgb(0, 0, 255));
    EXPECT_GT(red, 200);
    EXPECT_GT(blue, 100);
    EXPECT_EQ(CountNear(img, 30, 38, qRgb(0, 0, 255)), 0);
    EXPECT_EQ(CountNear(img, 46, 60, qRgb(255, 0, 0)) + CountNear(img, 46, 60, qRgb(0, 0, 255)), 0);

    // Centred vertically, the block moves down; it never starts above the strip.
    d.SonderTagTextAlign = kaCenterVert;
    const QImage centred = Render(cal, 100, 60);
    EXPECT_EQ(CountNear(centred, 30, 36, qRgb(255, 0, 0)), 0);
    EXPECT_GT(CountNear(centred, 36, 46, qRgb(255, 0, 0)), 200);

    // A bottom-aligned block taller than its strip starts at the strip's top.
    d.SonderTagTextAlign = kaBottom;
    const QImage low = Render(cal, 100, 60, kPaper, [](TKalenderPainter& P, TDrawContext& DC) {
        dynamic_cast<TKalenderPainter4x7&>(P).DrawSondertage(DC, 0, 30, 100, 3);
    });
    EXPECT_EQ(CountNear(low, 0, 30, qRgb(255, 0, 0)), 0);
    EXPECT_GT(CountNear(low, 30, 38, qRgb(255, 0, 0)), 200);
}

// Weekday names of the horizontal strip keep their font's colour and align
// like the day numbers; the vertical strip shows weekends in their colours.
TEST(KalenderPainter, StripWeekdayNames)
{
    for (uint8_t typ : {1, 2}) {
        SCOPED_TRACE(int(typ));
        Calendar cal(2026, 11);
        TKalenderData& d = cal.Data;
        d.Typ = typ;
        d.TextColorSamstag = RGB(255, 0, 0);
        d.TextColorSonntag = RGB(255, 0, 0);
        d.WochentagFont.SetColor(clBlack);
        d.FTextAlign = 0;          // top left
        d.WochentagTextAlign = kaRight | kaBottom;
        const bool horizontal = typ == 1;
        const float W = horizontal ? 300 : 20, H = horizontal ? 10 : 300;
        const QImage img = Render(cal, W, H, kPaper, [&](TKalenderPainter& P, TDrawContext& DC) {
            dynamic_cast<TKalenderPainter4x7&>(P).DrawWochentage(DC, 0, 0, W, H);
        });
        EXPECT_EQ(CountNear(img, 0, H, qRgb(255, 0, 0)) > 0, !horizontal);
        // the top left corner of the first cell (1 November, "So", 10 mm high)
        int leftTop = 0;
        for (int y = 0; y < int(5 * kScale); ++y)
            for (int x = 0; x < int(5 * kScale); ++x)
                leftTop += qGray(img.pixel(x, y)) < 160;
        EXPECT_EQ(leftTop > 0, horizontal);
    }
}

// A cell whose padding crosses its edges draws its number in the unpadded cell.
TEST(KalenderPainter, CrossedPaddingDrawsInTheCell)
{
    Calendar cal(2021, 2);  // four rows starting on Monday
    DaysOnly(cal.Data);
    cal.Data.FTextAlign = 0;  // top left
    cal.Data.FontHeight = 50;
    cal.Data.Font.SetColor(clBlack);
    auto darkInFirstCell = [&](float X0, float X1) {
        const QImage img = Render(cal, 140, 80);
        int n = 0;
        for (int y = 0; y < int(20 * kScale); ++y)
            for (int x = int(X0 * kScale); x < int(X1 * kScale); ++x)
                n += qGray(img.pixel(x, y)) < 100;
        return n;
    };
    cal.Data.CellPadding.SetValues(60, 0, 50, 0);
    EXPECT_GT(darkInFirstCell(0, 6), 20);
    cal.Data.CellPadding.SetValues(40, 0, 0, 0);
    EXPECT_EQ(darkInFirstCell(0, 6), 0);
    EXPECT_GT(darkInFirstCell(8, 20), 20);
}

// Font heights in percent of the cell give whole point sizes.
TEST(KalenderPainter, FontHeightFollowsTheCell)
{
    Calendar cal(2021, 2);
    DaysOnly(cal.Data);
    cal.Data.FontHeight = 50;
    cal.Data.CellPadding.SetValues(0, 10, 0, 10);
    int size = 0;
    Render(cal, 70, 100, kPaper, [&](TKalenderPainter& P, TDrawContext& DC) {
        P.Paint(DC, 0, 0, 70, 100);
        size = DC.Font->Size();
    });
    // rows of 25 mm, 20 mm after padding: 20 * 0.5 / 25.4 * 72 = 28.3
    EXPECT_EQ(size, 28);

    cal.Data.FontHeight = 0;
    cal.Data.Font.SetSize(9);
    Render(cal, 70, 100, kPaper, [&](TKalenderPainter& P, TDrawContext& DC) {
        P.Paint(DC, 0, 0, 70, 100);
        size = DC.Font->Size();
    });
    EXPECT_EQ(size, 9);
}

// The vertical painter puts the weekday column left of the days; weekend
// names take the weekend colours.
TEST(KalenderPainter, VerticalStripRows)
{
    Calendar cal(2025, 6);  // 30 days, the 1st a Sunday
    TKalenderData& d = cal.Data;
    d.Typ = 2;
    d.ShowMonatJahr = false;
    d.WochentagSize = 30;
    d.WochentagColorZeile = RGB(0, 255, 0);
    d.ColorZellen = RGB(255, 255, 0);
    d.CellSpacing.SetValues(0, 10, 0, 10);
    d.TextColorSonntag = RGB(255, 0, 0);
    const QImage img = Render(cal, 40, 240);
    EXPECT_EQ(At(img, 0.5f, 120), 0xFF00FF00u);
    EXPECT_EQ(At(img, 39.5f, 4), 0xFFFFFF00u);  // row 0 of 8 mm, spacing 0.8 mm
    EXPECT_EQ(At(img, 39.5f, 8.3f), kPaper);
    EXPECT_EQ(At(img, 39.5f, 236), 0xFFFFFF00u);
    // Sundays (1st, 8th, ...) carry red names and numbers; Mondays none.
    EXPECT_GT(CountNear(img, 0, 8, qRgb(255, 0, 0)), 20);
    EXPECT_EQ(CountNear(img, 8, 16, qRgb(255, 0, 0)), 0);
    EXPECT_GT(CountNear(img, 56, 64, qRgb(255, 0, 0)), 20);
}

TEST(KalenderPainter, FactoryChoosesByType)
{
    Calendar cal(2020, 1);
    for (uint8_t typ : {0, 1, 2, 7}) {
        const auto p = CreateKalenderPainter(typ, cal.Data, cal.Holidays, cal.Birthdays);
        const bool horizontal = dynamic_cast<TKalenderPainterHorizontal*>(p.get()) != nullptr;
        const bool vertical = dynamic_cast<TKalenderPainterVertical*>(p.get()) != nullptr;
        EXPECT_EQ(horizontal, typ == 1);
        EXPECT_EQ(vertical, typ == 2);
        EXPECT_NE(dynamic_cast<TKalenderPainter4x7*>(p.get()), nullptr);
    }
}

// ---- whole months against reference pictures -------------------------------------------

namespace {

// A styled month with holidays, birthdays and the special-day strip.
void Style(Calendar& Cal)
{
    TKalenderData& d = Cal.Data;
    d.Color = RGB(250, 246, 236);
    d.MonatJahrColorZeile = RGB(40, 70, 120);
    d.MonatJahrFont.SetColor(clWhite);
    d.MonatJahrFont.SetStyle(fsBold);
    d.MonatJahrRowPadding.SetValues(3, 5, 3, 5);
    d.WochentagColorZelle = RGB(210, 220, 235);
    d.WochentagCellSpacing.SetValues(3, 8, 3, 8);
    d.ColorZellen = RGB(255, 255, 255);
    d.CellSpacing.SetValues(3, 4, 3, 4);
    d.CellPadding.SetValues(6, 6, 6, 6);
    d.ShowSondertage = true;
    d.SondertagSize = 14;
    d.SondertagFont.SetName("Arial");
    d.SondertagFontHeight = 22;
    d.SondertagColorZeile = RGB(235, 235, 235);
    d.SondertagRowPadding.SetValues(2, 4, 2, 4);
    d.SonderTagTextAlign = kaCenterHorz | kaCenterVert;
    Cal.Holidays.AddDay("Allerheiligen", ", ", EncodeDate(2026, 11, 1));
    Cal.Holidays.AddDay("Bu\xDF- und Bettag", ", ", EncodeDate(2026, 11, 18));
    Cal.Birthdays.AddDay("Oma Grete", ", ", EncodeDate(2026, 11, 18));
    Cal.Birthdays.AddDay("Jonas", ", ", EncodeDate(2026, 11, 7));
}

void ExpectMatchesReference(const QImage& Page, const char* Name)
{
    QImage ref(QStringLiteral(LUMI_TEST_DATA "/") + QString::fromLatin1(Name));
    ASSERT_FALSE(ref.isNull()) << "missing reference; this run's picture: "
                               << KeepPicture(Page, QString::fromLatin1(Name));
    ref = ref.convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(ref.size(), Page.size());
    int off = 0;
    for (int y = 0; y < Page.height(); ++y)
        for (int x = 0; x < Page.width(); ++x) {
            const QRgb a = Page.pixel(x, y), b = ref.pixel(x, y);
            off += std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                             std::abs(qBlue(a) - qBlue(b))}) > 32;
        }
    EXPECT_LE(off, Page.width() * Page.height() / 500)
        << "compare " << KeepPicture(Page, QString::fromLatin1(Name)) << " with the reference";
}

}  // namespace

TEST(KalenderPainter, GridMonthMatchesReference)
{
    Calendar cal(2026, 11);  // starts on a Sunday
    Style(cal);
    cal.Data.MonatJahrSize = 16;
    ExpectMatchesReference(Render(cal, 120, 100), "KalenderPainter4x7.png");
}

TEST(KalenderPainter, HorizontalMonthMatchesReference)
{
    Calendar cal(2026, 11);
    Style(cal);
    cal.Data.Typ = 1;
    cal.Data.MonatJahrSize = 30;
    cal.Data.WochentagSize = 18;
    cal.Data.SondertagSize = 22;
    cal.Data.MonatJahrZweizeilig = true;
    cal.Data.MonatJahrTextAlign = kaRight | kaCenterVert;
    cal.Data.WochentagTextAlign = 0;  // the names follow the numbers' alignment
    cal.Data.FontHeight = 40;
    cal.Data.CellPadding.Clear();
    cal.Data.CellSpacing.SetValues(5, 5, 5, 5);
    cal.Data.WochentagCellSpacing.SetValues(5, 5, 5, 5);
    ExpectMatchesReference(Render(cal, 240, 50), "KalenderPainterHorizontal.png");
}

TEST(KalenderPainter, VerticalMonthMatchesReference)
{
    Calendar cal(2026, 11);
    Style(cal);
    cal.Data.Typ = 2;
    cal.Data.MonatJahrSize = 8;
    cal.Data.WochentagSize = 40;
    cal.Data.SondertagSize = 10;
    cal.Data.ShowMonatJahrOnBottom = true;
    cal.Data.MonatJahrFontHeight = 40;
    cal.Data.CellPadding.Clear();
    cal.Data.CellSpacing.SetValues(2, 5, 2, 5);
    cal.Data.FTextAlign = kaRight | kaCenterVert;
    cal.Data.WochentagTextAlign = kaCenterVert;
    cal.Data.WochentagCellSpacing.SetValues(2, 5, 2, 5);
    ExpectMatchesReference(Render(cal, 60, 200), "KalenderPainterVertical.png");
}
