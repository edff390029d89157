#pragma once
// Calendar painters: draw one month of a calendar element into a rectangle of
// a draw context (page millimetres), following its TKalenderData and marking
// the days of the document's holiday and birthday lists.
#include "Graphics.h"
#include "uKalender.h"
#include "uVectorLib.h"

#include <memory>

class TDrawContext;

class TKalenderPainter {
public:
    // Keeps the three references; none is owned.
    TKalenderPainter(TKalenderData& AData, TKalenderTageListe& AHolidays,
                     TKalenderTageListe& ABirthdays);
    virtual ~TKalenderPainter();
    TKalenderPainter(const TKalenderPainter&) = delete;
    TKalenderPainter& operator=(const TKalenderPainter&) = delete;

    // Paints the month into (Left, Top, Width, Height); the base draws nothing.
    virtual void Paint(TDrawContext& DC, float Left, float Top, float Width, float Height);

    // Fills R with a solid brush of Color unless Color is KalenderNoColor.
    void FillCell(TDrawContext& DC, const TRectF& R, TColor Color);
    // Font colour, then birthday, Saturday, Sunday, holiday colours (a later rule wins).
    TColor GetDayTextColor(TDateTime Date) const;

    TKalenderData& Data;
    TKalenderTageListe& Holidays;
    TKalenderTageListe& Birthdays;

protected:
    // DC's font becomes Font; with Percent > 0 its size follows Height (mm).
    static void SelectFont(TDrawContext& DC, const TFont& Font, float Percent, float Height);
};

// Weekday rows of seven columns.
class TKalenderPainter4x7 : public TKalenderPainter {
public:
    using TKalenderPainter::TKalenderPainter;

    void Paint(TDrawContext& DC, float Left, float Top, float Width, float Height) override;
    virtual void DrawWochentage(TDrawContext& DC, float Left, float Top, float Width, float Height);
    virtual void DrawMonatJahr(TDrawContext& DC, float Left, float Top, float Width, float Height);
    virtual void DrawTage(TDrawContext& DC, float Left, float Top, float Width, float Height);
    virtual void DrawSondertage(TDrawContext& DC, float Left, float Top, float Width, float Height);

protected:
    // Pen off, the background, the title, the weekday row (grid and horizontal
    // strip only) and the special-day strip; Y and Rest give the part left.
    void PaintTitleAndSondertage(TDrawContext& DC, float Left, float Top, float Width,
                                 float Height, float& Y, float& Rest, bool WochentagRow);
    // What one cell of a strip of all days of the month shows.
    struct TStripStyle {
        const TPaddingData* OuterSpacing;  // around the whole strip
        TColor StripColor;
        const TPaddingData* OuterPadding;  // inside the whole strip
        const TPaddingData* CellSpacing;
        TColor CellColor;
        const TPaddingData* CellPadding;
        const TFont* Font;
        float FontHeight;
        int32_t Align;
        bool Weekdays;          // weekday names instead of day numbers
        bool WeekendColours;    // weekday names in the Saturday and Sunday colours
    };
    // One strip of all days of the month, side by side or one below the other.
    void DrawStrip(TDrawContext& DC, const TRectF& Rect, bool Horizontal, const TStripStyle& Style);
    TStripStyle DayStripStyle(bool Vertical) const;
    TStripStyle WeekdayStripStyle(bool Vertical) const;
};

// All days of the month in one row.
class TKalenderPainterHorizontal : public TKalenderPainter4x7 {
public:
    using TKalenderPainter4x7::TKalenderPainter4x7;

    void DrawWochentage(TDrawContext& DC, float Left, float Top, float Width, float Height) override;
    void DrawTage(TDrawContext& DC, float Left, float Top, float Width, float Height) override;
};

// All days of the month in one column, the weekday names in a column to the left.
class TKalenderPainterVertical : public TKalenderPainter4x7 {
public:
    using TKalenderPainter4x7::TKalenderPainter4x7;

    void Paint(TDrawContext& DC, float Left, float Top, float Width, float Height) override;
    void DrawWochentage(TDrawContext& DC, float Left, float Top, float Width, float Height) override;
    void DrawTage(TDrawContext& DC, float Left, float Top, float Width, float Height) override;
};

// The painter for a calendar type: 1 horizontal strip, 2 vertical strip, any
// other value the grid.
std::unique_ptr<TKalenderPainter> CreateKalenderPainter(uint8_t Typ, TKalenderData& Data,
                                                        TKalenderTageListe& Holidays,
                                                        TKalenderTageListe& Birthdays);
