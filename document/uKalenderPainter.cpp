#include "uKalenderPainter.h"

#include <algorithm>

#include "Canvas.h"
#include "DateTime.h"
#include "SysUtils.h"
#include "uDrawContext.h"

namespace {

// Applies the insets to R; true while its edges have not crossed.
bool Inset(TRectF& R, const TPaddingData& Padding)
{
    float r[4] = {R.Left, R.Top, R.Right, R.Bottom};
    const bool ok = Padding.ApplyToRect(r);
    R = TRectF{r[0], r[1], r[2], r[3]};
    return ok;
}

// The cell after Padding, or the cell itself when the padding leaves nothing.
TRectF TextRect(const TRectF& Cell, const TPaddingData& Padding)
{
    TRectF r = Cell;
    return Inset(r, Padding) ? r : Cell;
}

// Column c of R split into seven equal columns.
TRectF Column7(const TRectF& R, int c)
{
    const float w = (R.Right - R.Left) / 7;
    return TRectF{R.Left + c * w, R.Top, R.Left + (c + 1) * w, R.Bottom};
}

// 1 = Monday .. 7 = Sunday.
int MondayBasedDay(TDateTime Date)
{
    return (DayOfWeek(Date) + 5) % 7 + 1;
}

float Height(const TRectF& R) { return R.Bottom - R.Top; }

}  // namespace

// ---- base --------------------------------------------------------------------------

TKalenderPainter::TKalenderPainter(TKalenderData& AData, TKalenderTageListe& AHolidays,
                                   TKalenderTageListe& ABirthdays)
    : Data(AData), Holidays(AHolidays), Birthdays(ABirthdays)
{
}

TKalenderPainter::~TKalenderPainter() = default;

void TKalenderPainter::Paint(TDrawContext&, float, float, float, float) {}

void TKalenderPainter::FillCell(TDrawContext& DC, const TRectF& R, TColor Color)
{
    if (Color == KalenderNoColor)
        return;
    DC.GetBrush().SetStyle(bsSolid);
    DC.GetBrush().SetColor(Color);
    DC.RectangleRect(R);
}

TColor TKalenderPainter::GetDayTextColor(TDateTime Date) const
{
    TColor c = Data.Font.Color();
    if (Birthdays.ContainsDate(Date))
        c = Data.TextColorGeburtstag;
    const int day = MondayBasedDay(Date);
    if (day == 6)
        c = Data.TextColorSamstag;
    if (day == 7)
        c = Data.TextColorSonntag;
    if (Holidays.ContainsDate(Date))
        c = Data.TextColorFeiertag;
    return c;
}

void TKalenderPainter::SelectFont(TDrawContext& DC, const TFont& Font, float Percent, float Height)
{
    DC.SetFont(Font);
    if (Percent > 0)
        DC.Font->SetSize(Round32(double(std::max(Height, 0.0f)) * Percent / 100 / 25.4 * 72));
}

// ---- grid ----------------------------------------------------------------------------

void TKalenderPainter4x7::PaintTitleAndSondertage(TDrawContext& DC, float Left, float Top,
                                                  float Width, float Height, float& Y, float& Rest,
                                                  bool WochentagRow)
{
    DC.SetPenStyle(psClear);
    FillCell(DC, TRectF{Left, Top, Left + Width, Top + Height}, Data.Color);
    Y = Top;
    Rest = Height;
    if (Data.ShowMonatJahr) {
        const float t = Height * Data.MonatJahrSize / 100;
        Rest -= t;
        if (!Data.ShowMonatJahrOnBottom) {
            DrawMonatJahr(DC, Left, Y, Width, t);
            Y += t;
        } else
            DrawMonatJahr(DC, Left, Top + Height - t, Width, t);
    }
    if (WochentagRow && Data.ShowWochentage) {
        const float w = Height * Data.WochentagSize / 100;
        DrawWochentage(DC, Left, Y, Width, w);
        Y += w;
        Rest -= w;
    }
    if (Data.ShowSondertage) {
        const float s = Height * Data.SondertagSize / 100;
        Rest -= s;
        DrawSondertage(DC, Left, Y + Rest, Width, s);
    }
}

void TKalenderPainter4x7::Paint(TDrawContext& DC, float Left, float Top, float Width, float Height)
{
    float y, r;
    PaintTitleAndSondertage(DC, Left, Top, Width, Height, y, r, true);
    DrawTage(DC, Left, y, Width, r);
    DC.SetPenStyle(psSolid);
}

void TKalenderPainter4x7::DrawMonatJahr(TDrawContext& DC, float Left, float Top, float Width,
                                        float Height)
{
    TRectF R{Left, Top, Left + Width, Top + Height};
    Inset(R, Data.MonatJahrRowSpacing);
    FillCell(DC, R, Data.MonatJahrColorZeile);
    Inset(R, Data.MonatJahrRowPadding);
    SelectFont(DC, Data.MonatJahrFont, Data.MonatJahrFontHeight, ::Height(R));
    const AnsiString month = GetMonthName(Data.Monat());
    const int32_t align = Data.MonatJahrTextAlign;
    if (!Data.MonatJahrZweizeilig) {
        DC.DrawTextRect(R, Format("%s %d", {month, Data.Jahr()}), uint32_t(align));
        return;
    }
    const AnsiString year = IntToStr(Data.Jahr());
    const int h0 = DC.Font->Height();
    const int h1 = Round32(h0 * 0.66);
    const float monthW = DC.TextWidth(month), monthH = DC.TextHeight(month);
    DC.Font->SetHeight(h1);
    const float yearW = DC.TextWidth(year), yearH = DC.TextHeight(year);
    auto lineX = [&](float w) {
        if (align & kaCenterHorz)
            return (R.Left + R.Right - w) / 2;
        if (align & kaRight)
            return R.Right - w;
        return R.Left;
    };
    float y = R.Top;
    if (align & kaCenterVert)
        y = (R.Top + R.Bottom - (monthH + yearH)) / 2;
    else if (align & kaBottom)
        y = R.Bottom - (monthH + yearH);
    DC.Font->SetHeight(h0);
    DC.TextOut(month, 0, lineX(monthW), y);
    DC.Font->SetHeight(h1);
    DC.TextOut(year, 0, lineX(yearW), y + monthH);
}

void TKalenderPainter4x7::DrawWochentage(TDrawContext& DC, float Left, float Top, float Width,
                                         float Height)
{
    TRectF R{Left, Top, Left + Width, Top + Height};
    Inset(R, Data.WochentagRowSpacing);
    FillCell(DC, R, Data.WochentagColorZeile);
    TRectF row = R;
    Inset(row, Data.WochentagRowPadding);
    auto cell = [&](int c) {
        TRectF r = Column7(row, c);
        Inset(r, Data.WochentagCellSpacing);
        return r;
    };
    TRectF first = cell(0);
    Inset(first, Data.WochentagCellPadding);
    SelectFont(DC, Data.WochentagFont, Data.WochentagFontHeight, ::Height(first));
    for (int c = 0; c < 7; ++c) {
        TRectF r = cell(c);
        FillCell(DC, r, Data.WochentagColorZelle);
        Inset(r, Data.WochentagCellPadding);
        DC.DrawTextRect(r, GetDayName(c + 1), uint32_t(Data.WochentagTextAlign));
    }
}

void TKalenderPainter4x7::DrawTage(TDrawContext& DC, float Left, float Top, float Width,
                                   float Height)
{
    const int rows = Data.GetWeekRows();
    auto row = [&](int k) {
        TRectF r{Left, Top + k * Height / rows, Left + Width, Top + (k + 1) * Height / rows};
        Inset(r, Data.RowSpacing);
        return r;
    };
    if (Data.ColorZeilen != KalenderNoColor)
        for (int k = 0; k < rows; ++k)
            FillCell(DC, row(k), Data.ColorZeilen);
    DC.SetFont(Data.Font);
    const TDateTime first = Data.GetFirstDay();
    const int last = DaysInAMonth(Data.Jahr(), Data.Monat());
    int c = MondayBasedDay(first) - 1;
    int k = 0;
    for (int d = 1; d <= last; ++d) {
        TRectF r = row(k);
        Inset(r, Data.RowPadding);
        TRectF cell = Column7(r, c);
        Inset(cell, Data.CellSpacing);
        const TRectF text = TextRect(cell, Data.CellPadding);
        SelectFont(DC, Data.Font, Data.FontHeight, ::Height(text));
        DC.Font->SetColor(GetDayTextColor(first + d - 1));
        FillCell(DC, cell, Data.ColorZellen);
        DC.DrawTextRect(text, IntToStr(d), uint32_t(Data.FTextAlign));
        if (++c == 7) {
            c = 0;
            ++k;
        }
    }
}

void TKalenderPainter4x7::DrawSondertage(TDrawContext& DC, float Left, float Top, float Width,
                                         float Height)
{
    AnsiString holidays, birthdays;
    Holidays.GetMonthText(Data.Jahr(), Data.Monat(), ", ", holidays);
    Birthdays.GetMonthText(Data.Jahr(), Data.Monat(), ", ", birthdays);
    TRectF R{Left, Top, Left + Width, Top + Height};
    Inset(R, Data.SondertagRowSpacing);
    FillCell(DC, R, Data.SondertagColorZeile);
    Inset(R, Data.SondertagRowPadding);
    SelectFont(DC, Data.SondertagFont, Data.SondertagFontHeight, ::Height(R));
    auto measure = [&](const AnsiString& Text) {
        return Text.empty() ? 0.0f
                            : DC.DrawTextRect(R, Text, DT_WORDWRAP | DT_MEASUREONLY);
    };
    const float holidayHeight = measure(holidays);
    const float b = holidayHeight + measure(birthdays);
    const int32_t align = Data.SonderTagTextAlign;
    float top = R.Top;
    if (align & kaCenterVert)
        top = R.Top + (::Height(R) - b) / 2;
    else if (align & kaBottom)
        top = R.Bottom - b;
    top = std::max(top, R.Top);
    const uint32_t flags = uint32_t(align & (kaCenterHorz | kaRight)) | DT_WORDWRAP;
    if (!holidays.empty()) {
        DC.Font->SetColor(Data.TextColorFeiertag);
        DC.DrawText(holidays, flags, R.Left, top, R.Right, R.Bottom);
    }
    if (!birthdays.empty()) {
        DC.Font->SetColor(Data.TextColorGeburtstag);
        DC.DrawText(birthdays, flags, R.Left, top + holidayHeight, R.Right, R.Bottom);
    }
}

void TKalenderPainter4x7::DrawStrip(TDrawContext& DC, const TRectF& Rect, bool Horizontal,
                                    const TStripStyle& Style)
{
    const TDateTime first = Data.GetFirstDay();
    const int n = DaysInAMonth(Data.Jahr(), Data.Monat());
    TRectF R = Rect;
    Inset(R, *Style.OuterSpacing);
    FillCell(DC, R, Style.StripColor);
    Inset(R, *Style.OuterPadding);
    const float step = Horizontal ? (R.Right - R.Left) / n : (R.Bottom - R.Top) / n;
    for (int i = 0; i < n; ++i) {
        TRectF cell = Horizontal ? TRectF{R.Left + i * step, R.Top, R.Left + (i + 1) * step, R.Bottom}
                                 : TRectF{R.Left, R.Top + i * step, R.Right, R.Top + (i + 1) * step};
        Inset(cell, *Style.CellSpacing);
        FillCell(DC, cell, Style.CellColor);
        const TRectF text = TextRect(cell, *Style.CellPadding);
        SelectFont(DC, *Style.Font, Style.FontHeight, ::Height(text));
        const TDateTime date = first + i;
        const int day = MondayBasedDay(date);
        if (!Style.Weekdays)
            DC.Font->SetColor(GetDayTextColor(date));
        else if (Style.WeekendColours && day == 6)
            DC.Font->SetColor(Data.TextColorSamstag);
        else if (Style.WeekendColours && day == 7)
            DC.Font->SetColor(Data.TextColorSonntag);
        DC.DrawTextRect(text, Style.Weekdays ? GetDayName(day) : IntToStr(i + 1),
                        uint32_t(Style.Align));
    }
}

TKalenderPainter4x7::TStripStyle TKalenderPainter4x7::DayStripStyle(bool Vertical) const
{
    const TKalenderData& d = Data;
    return TStripStyle{Vertical ? &d.RowSpacing : &d.CellSpacing,
                       d.ColorZeilen,
                       Vertical ? &d.RowPadding : &d.CellPadding,
                       &d.CellSpacing,
                       d.ColorZellen,
                       &d.CellPadding,
                       &d.Font,
                       d.FontHeight,
                       d.FTextAlign,
                       false,
                       false};
}

TKalenderPainter4x7::TStripStyle TKalenderPainter4x7::WeekdayStripStyle(bool Vertical) const
{
    const TKalenderData& d = Data;
    // The horizontal strip aligns names like the numbers below them.
    return TStripStyle{Vertical ? &d.WochentagRowSpacing : &d.WochentagCellSpacing,
                       d.WochentagColorZeile,
                       Vertical ? &d.WochentagRowPadding : &d.WochentagCellPadding,
                       &d.WochentagCellSpacing,
                       d.WochentagColorZelle,
                       &d.WochentagCellPadding,
                       &d.WochentagFont,
                       d.WochentagFontHeight,
                       Vertical ? d.WochentagTextAlign : d.FTextAlign,
                       true,
                       Vertical};
}

// ---- horizontal strip -------------------------------------------------------------------

void TKalenderPainterHorizontal::DrawWochentage(TDrawContext& DC, float Left, float Top,
                                                float Width, float Height)
{
    DrawStrip(DC, TRectF{Left, Top, Left + Width, Top + Height}, true, WeekdayStripStyle(false));
}

void TKalenderPainterHorizontal::DrawTage(TDrawContext& DC, float Left, float Top, float Width,
                                          float Height)
{
    DrawStrip(DC, TRectF{Left, Top, Left + Width, Top + Height}, true, DayStripStyle(false));
}

// ---- vertical strip -------------------------------------------------------------------

void TKalenderPainterVertical::Paint(TDrawContext& DC, float Left, float Top, float Width,
                                     float Height)
{
    float y, r;
    PaintTitleAndSondertage(DC, Left, Top, Width, Height, y, r, false);
    float x = Left;
    float w = Width;
    if (Data.ShowWochentage) {
        const float ww = Width * Data.WochentagSize / 100;
        DrawWochentage(DC, Left, y, ww, r);
        x += ww;
        w -= ww;
    }
    DrawTage(DC, x, y, w, r);
    DC.SetPenStyle(psSolid);
}

void TKalenderPainterVertical::DrawWochentage(TDrawContext& DC, float Left, float Top, float Width,
                                              float Height)
{
    DrawStrip(DC, TRectF{Left, Top, Left + Width, Top + Height}, false, WeekdayStripStyle(true));
}

void TKalenderPainterVertical::DrawTage(TDrawContext& DC, float Left, float Top, float Width,
                                        float Height)
{
    DrawStrip(DC, TRectF{Left, Top, Left + Width, Top + Height}, false, DayStripStyle(true));
}

// ---- factory ---------------------------------------------------------------------------

std::unique_ptr<TKalenderPainter> CreateKalenderPainter(uint8_t Typ, TKalenderData& Data,
                                                        TKalenderTageListe& Holidays,
                                                        TKalenderTageListe& Birthdays)
{
    switch (Typ) {
    case 1:
        return std::make_unique<TKalenderPainterHorizontal>(Data, Holidays, Birthdays);
    case 2:
        return std::make_unique<TKalenderPainterVertical>(Data, Holidays, Birthdays);
    default:
        return std::make_unique<TKalenderPainter4x7>(Data, Holidays, Birthdays);
    }
}
