#pragma once
// Calendar data: the special-day lists of a document, the settings of one
// calendar element and the month functions.
#include "AnsiString.h"
#include "Classes.h"
#include "DateTime.h"
#include "Graphics.h"

#include <memory>
#include <vector>

class TCustomDataFile;

// ---- reading stored values ----------------------------------------------------------
// Values from files, streams and the clipboard are checked where they are read.

// A stored number of entries (key "Anzahl" of Section; Default when missing).
// Every stored entry takes at least one record, so the count is kept within
// the records the file holds (a file cut short keeps what it has); negative
// counts give 0. With Budget, the lists read through it share those records:
// the count is also kept within *Budget, which it is reduced by.
int32_t ReadStoredCount(TCustomDataFile& DataFile, const AnsiString& Section, int32_t Default,
                        int64_t* Budget = nullptr);
// True when the file holds a record of Section. A stored list ends at the
// first entry without a section of its own.
bool StoredSectionExists(TCustomDataFile& DataFile, const AnsiString& Section);

// Millimetres beyond any page, spread or paper of the products (the largest
// sheet is DIN A3), yet small enough that positions, sizes and their sums stay well
// within integer pixels at print resolution and zoom, and that what is drawn
// for one element (a text's shadow) stays a bitmap of bounded size.
constexpr float MaxStoredMM = 1000.0f;
// Percentages of the calendar's settings (insets, font heights, row sizes).
constexpr float MaxStoredPercent = 1000.0f;
// A stored number: Default when it is not finite, else kept within Low..High.
float CheckedSingle(double Value, float Default, float Low, float High);
// A stored angle in degrees: Default when not finite, else brought into -360..360.
float CheckedAngle(double Value, float Default);
float ReadCheckedSingle(TCustomDataFile& DataFile, const AnsiString& Section, const AnsiString& Key,
                        float Default, float Low, float High);

// ---- special days ------------------------------------------------------------------

class TKalendertagSpezial {
public:
    TDateTime Datum = 0;  // whole days
    AnsiString Text;
};

class TKalenderTageListe {
public:
    TKalenderTageListe() = default;
    TKalenderTageListe(const TKalenderTageListe&) = delete;
    TKalenderTageListe& operator=(const TKalenderTageListe&) = delete;

    // Joins Text to the entry of exactly that date (old + Separator + Text) or appends one.
    void AddDay(const AnsiString& Text, const AnsiString& Separator, TDateTime Date);
    void Clear();
    int GetCount() const { return int(items_.size()); }
    TKalendertagSpezial* GetItem(int Index) const;
    void Sort();
    void DeleteYear(int Year);
    int IndexOfDate(TDateTime Date) const;
    bool FindText(TDateTime Date, AnsiString& Text) const;
    bool ContainsDate(TDateTime Date) const { return IndexOfDate(Date) >= 0; }
    // Appends "dd.mm. Text" (the locale's date separator) for each entry of the month.
    void GetMonthEntries(int Year, int Month, TStringList& Strings);
    void GetMonthText(int Year, int Month, const AnsiString& Separator, AnsiString& Text);
    // Appends the stored entries; the list is not emptied first.
    void LoadFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section);
    void SaveToDataFile(TCustomDataFile& DataFile, const AnsiString& Section) const;

private:
    std::vector<std::unique_ptr<TKalendertagSpezial>> items_;
};

// ---- calendar settings -------------------------------------------------------------

// Insets in percent of a rectangle's width (left, right) or height (top, bottom).
class TPaddingData {
public:
    float Left = 0, Top = 0, Right = 0, Bottom = 0;

    // Rect is left, top, right, bottom; true while the edges have not crossed.
    bool ApplyToRect(float (&Rect)[4]) const;
    void SetValues(float ALeft, float ATop, float ARight, float ABottom);
    void Clear() { SetValues(0, 0, 0, 0); }
    void LoadFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section);
    void SaveToDataFile(TCustomDataFile& DataFile, const AnsiString& Section) const;
};

// Colour value meaning "no colour: the area is not filled".
constexpr TColor KalenderNoColor = 0x7FFFFFFF;

// Text alignment bits of the calendar parts (none: left and top).
enum : int32_t {
    kaCenterHorz = 1,
    kaRight = 2,
    kaCenterVert = 4,
    kaBottom = 8,
};

class TKalenderData {
public:
    TKalenderData();
    TKalenderData(const TKalenderData&) = delete;
    TKalenderData& operator=(const TKalenderData&) = delete;
    // Copies every setting, month and year included.
    void Assign(const TKalenderData& Source);

    void SetDefaults();
    int Monat() const { return monat_; }
    int Jahr() const { return jahr_; }
    void SetMonat(int Month);  // clamped to 1..12
    void SetJahr(int Year);    // clamped to 1700..2500

    void LoadFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section);
    void SaveToDataFile(TCustomDataFile& DataFile, const AnsiString& Section) const;

    TDateTime GetFirstDay() const;
    TDateTime GetLastDay() const;
    int GetWeekRows() const;

    uint8_t Typ = 0;  // 0 grid of weekday rows, 1 horizontal strip, 2 vertical strip
    TFont Font;
    TColor TextColorSamstag = 0, TextColorSonntag = 0, TextColorFeiertag = 0,
           TextColorGeburtstag = 0;
    TColor Color = KalenderNoColor, ColorZeilen = KalenderNoColor, ColorZellen = KalenderNoColor;
    float FontHeight = 0;
    int32_t FTextAlign = 0;
    TPaddingData CellPadding, RowPadding, CellSpacing, RowSpacing;

    bool ShowWochentage = true;
    TFont WochentagFont;
    float WochentagSize = 0, WochentagFontHeight = 0;
    TColor WochentagColorZeile = KalenderNoColor, WochentagColorZelle = KalenderNoColor;
    int32_t WochentagTextAlign = 0;
    TPaddingData WochentagCellPadding, WochentagRowPadding, WochentagCellSpacing,
        WochentagRowSpacing;

    bool ShowMonatJahr = true;
    bool ShowMonatJahrOnBottom = false;
    int32_t MonatJahrTextAlign = 0;
    float MonatJahrFontHeight = 0, MonatJahrSize = 0;
    TColor MonatJahrColorZeile = KalenderNoColor;
    bool MonatJahrZweizeilig = false;
    TFont MonatJahrFont;
    TPaddingData MonatJahrRowPadding, MonatJahrRowSpacing;

    bool ShowSondertage = false;
    TFont SondertagFont;
    float SondertagFontHeight = 0, SondertagSize = 0;
    TColor SondertagColorZeile = KalenderNoColor;
    int32_t SonderTagTextAlign = 0;
    TPaddingData SondertagRowSpacing, SondertagRowPadding;

private:
    int monat_ = 1;
    int jahr_ = 2000;
};

// 1..7 = Monday..Sunday, localised short names; other numbers give "".
AnsiString GetDayName(int Day);
// 1..12, localised month names; other numbers give "".
AnsiString GetMonthName(int Month);
