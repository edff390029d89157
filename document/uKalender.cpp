#include "uKalender.h"

#include "SysUtils.h"
#include "uDataFile.h"
#include "ulocalize.h"

#include <algorithm>
#include <cmath>
#include <variant>

int32_t ReadStoredCount(TCustomDataFile& DataFile, const AnsiString& Section, int32_t Default,
                        int64_t* Budget)
{
    int64_t n = std::max(DataFile.ReadInteger(Section, "Anzahl", Default), 0);
    if (n > Default)
        n = std::min(n, DataFile.RecordCount());
    if (Budget) {
        n = std::min(n, std::max<int64_t>(*Budget, 0));
        *Budget -= n;
    }
    return int32_t(n);
}

bool StoredSectionExists(TCustomDataFile& DataFile, const AnsiString& Section)
{
    TDataFileHeader header;
    return DataFile.FindEntry(Section, "$$test", header);
}

float CheckedSingle(double Value, float Default, float Low, float High)
{
    if (!std::isfinite(Value))
        return Default;
    return float(std::clamp(Value, double(Low), double(High)));
}

float CheckedAngle(double Value, float Default)
{
    return std::isfinite(Value) ? float(std::fmod(Value, 360.0)) : Default;
}

float ReadCheckedSingle(TCustomDataFile& DataFile, const AnsiString& Section, const AnsiString& Key,
                        float Default, float Low, float High)
{
    return CheckedSingle(DataFile.ReadFloat(Section, Key, Default), Default, Low, High);
}

// ---- special days ------------------------------------------------------------------

void TKalenderTageListe::AddDay(const AnsiString& Text, const AnsiString& Separator, TDateTime Date)
{
    const int i = IndexOfDate(Date);
    if (i >= 0) {
        items_[size_t(i)]->Text += Separator + Text;
        return;
    }
    auto day = std::make_unique<TKalendertagSpezial>();
    day->Datum = Date;
    day->Text = Text;
    items_.push_back(std::move(day));
}

void TKalenderTageListe::Clear()
{
    items_.clear();
}

TKalendertagSpezial* TKalenderTageListe::GetItem(int Index) const
{
    if (Index < 0 || Index >= GetCount())
        throw EListError(Format("List index out of bounds (%d)", {Index}));
    return items_[size_t(Index)].get();
}

void TKalenderTageListe::Sort()
{
    std::stable_sort(items_.begin(), items_.end(),
                     [](const auto& a, const auto& b) { return a->Datum < b->Datum; });
}

void TKalenderTageListe::DeleteYear(int Year)
{
    Sort();
    std::erase_if(items_, [Year](const auto& d) {
        int y, m, dd;
        DecodeDate(d->Datum, y, m, dd);
        return y == Year;
    });
}

int TKalenderTageListe::IndexOfDate(TDateTime Date) const
{
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i]->Datum == Date)
            return int(i);
    return -1;
}

bool TKalenderTageListe::FindText(TDateTime Date, AnsiString& Text) const
{
    const int i = IndexOfDate(Date);
    if (i < 0)
        return false;
    Text = items_[size_t(i)]->Text;
    return true;
}

void TKalenderTageListe::GetMonthEntries(int Year, int Month, TStringList& Strings)
{
    Sort();
    const char sep = FormatSettings().DateSeparator;
    for (const auto& d : items_) {
        int y, m, day;
        DecodeDate(d->Datum, y, m, day);
        if (y != Year || m != Month)
            continue;
        Strings.Add(Format("%.2d%s%.2d%s %s", {day, AnsiString(1, sep), m, AnsiString(1, sep), d->Text}));
    }
}

void TKalenderTageListe::GetMonthText(int Year, int Month, const AnsiString& Separator,
                                      AnsiString& Text)
{
    TStringList lines;
    GetMonthEntries(Year, Month, lines);
    Text.clear();
    for (int i = 0; i < lines.Count(); ++i) {
        if (i > 0)
            Text += Separator;
        Text += lines[i];
    }
}

void TKalenderTageListe::LoadFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section)
{
    const int count = ReadStoredCount(DataFile, Section, 0);
    for (int i = 0; i < count; ++i) {
        // An item that is not stored is read with the defaults, as every other.
        const AnsiString s = Section + "/Item" + IntToStr(i);
        auto day = std::make_unique<TKalendertagSpezial>();
        day->Datum = DataFile.ReadDateTime(s, "Datum", Date());
        day->Text = DataFile.ReadString(s, "Text", "");
        items_.push_back(std::move(day));
    }
}

void TKalenderTageListe::SaveToDataFile(TCustomDataFile& DataFile, const AnsiString& Section) const
{
    DataFile.WriteInteger(Section, "Anzahl", GetCount());
    for (int i = 0; i < GetCount(); ++i) {
        const AnsiString s = Section + "/Item" + IntToStr(i);
        DataFile.WriteDateTime(s, "Datum", items_[size_t(i)]->Datum);
        DataFile.WriteString(s, "Text", items_[size_t(i)]->Text);
    }
}

// ---- insets ----------------------------------------------------------------------------

bool TPaddingData::ApplyToRect(float (&Rect)[4]) const
{
    const float w = Rect[2] - Rect[0];
    const float h = Rect[3] - Rect[1];
    Rect[0] += w * Left / 100.0f;
    Rect[1] += h * Top / 100.0f;
    Rect[2] -= w * Right / 100.0f;
    Rect[3] -= h * Bottom / 100.0f;
    return Rect[2] >= Rect[0] && Rect[3] >= Rect[1];
}

void TPaddingData::SetValues(float ALeft, float ATop, float ARight, float ABottom)
{
    Left = ALeft;
    Top = ATop;
    Right = ARight;
    Bottom = ABottom;
}

void TPaddingData::LoadFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section)
{
    Left = ReadCheckedSingle(DataFile, Section, "Left", 0, -MaxStoredPercent, MaxStoredPercent);
    Top = ReadCheckedSingle(DataFile, Section, "Top", 0, -MaxStoredPercent, MaxStoredPercent);
    Right = ReadCheckedSingle(DataFile, Section, "Right", 0, -MaxStoredPercent, MaxStoredPercent);
    Bottom = ReadCheckedSingle(DataFile, Section, "Bottom", 0, -MaxStoredPercent, MaxStoredPercent);
}

void TPaddingData::SaveToDataFile(TCustomDataFile& DataFile, const AnsiString& Section) const
{
    DataFile.WriteFloat(Section, "Left", Left);
    DataFile.WriteFloat(Section, "Top", Top);
    DataFile.WriteFloat(Section, "Right", Right);
    DataFile.WriteFloat(Section, "Bottom", Bottom);
}

// ---- calendar settings ----------------------------------------------------------

namespace {

// The stored keys after "Typ", "Monat" and "Jahr", in file order.
struct KalenderField {
    const char* key;
    std::variant<TColor TKalenderData::*, float TKalenderData::*, bool TKalenderData::*,
                 TFont TKalenderData::*, TPaddingData TKalenderData::*>
        member;
};

using KD = TKalenderData;
const KalenderField kFields[] = {
    {"Font", &KD::Font},
    {"TextColorSamstag", &KD::TextColorSamstag},
    {"TextColorSonntag", &KD::TextColorSonntag},
    {"TextColorFeiertag", &KD::TextColorFeiertag},
    {"TextColorGeburtstag", &KD::TextColorGeburtstag},
    {"Color", &KD::Color},
    {"ColorZeilen", &KD::ColorZeilen},
    {"ColorZellen", &KD::ColorZellen},
    {"FontHeight", &KD::FontHeight},
    {"FTextAlign", &KD::FTextAlign},
    {"CellPadding", &KD::CellPadding},
    {"RowPadding", &KD::RowPadding},
    {"CellSpacing", &KD::CellSpacing},
    {"RowSpacing", &KD::RowSpacing},
    {"ShowWochentage", &KD::ShowWochentage},
    {"WochentagFont", &KD::WochentagFont},
    {"WochentagSize", &KD::WochentagSize},
    {"WochentagFontHeight", &KD::WochentagFontHeight},
    {"WochentagColorZeile", &KD::WochentagColorZeile},
    {"WochentagColorZelle", &KD::WochentagColorZelle},
    {"WochentagTextAlign", &KD::WochentagTextAlign},
    {"WochentagCellPadding", &KD::WochentagCellPadding},
    {"WochentagRowPadding", &KD::WochentagRowPadding},
    {"WochentagCellSpacing", &KD::WochentagCellSpacing},
    {"WochentagRowSpacing", &KD::WochentagRowSpacing},
    {"ShowMonatJahr", &KD::ShowMonatJahr},
    {"ShowMonatJahrOnBottom", &KD::ShowMonatJahrOnBottom},
    {"MonatJahrTextAlign", &KD::MonatJahrTextAlign},
    {"MonatJahrFontHeight", &KD::MonatJahrFontHeight},
    {"MonatJahrSize", &KD::MonatJahrSize},
    {"MonatJahrColorZeile", &KD::MonatJahrColorZeile},
    {"MonatJahrZweizeilig", &KD::MonatJahrZweizeilig},
    {"MonatJahrFont", &KD::MonatJahrFont},
    {"MonatJahrRowPadding", &KD::MonatJahrRowPadding},
    {"MonatJahrRowSpacing", &KD::MonatJahrRowSpacing},
    {"ShowSondertage", &KD::ShowSondertage},
    {"SondertagFont", &KD::SondertagFont},
    {"SondertagFontHeight", &KD::SondertagFontHeight},
    {"SondertagSize", &KD::SondertagSize},
    {"SondertagColorZeile", &KD::SondertagColorZeile},
    {"SonderTagTextAlign", &KD::SonderTagTextAlign},
    {"SondertagRowSpacing", &KD::SondertagRowSpacing},
    {"SondertagRowPadding", &KD::SondertagRowPadding},
};

template <class... F>
struct Overload : F... {
    using F::operator()...;
};
template <class... F>
Overload(F...) -> Overload<F...>;

} // namespace

TKalenderData::TKalenderData()
{
    int y, m, d;
    DecodeDate(Date(), y, m, d);
    SetMonat(m);
    SetJahr(y);
    Font.SetName("Arial");
    SetDefaults();
}

void TKalenderData::SetDefaults()
{
    Font.SetName("Arial");
    Font.SetStyle(0);
    Font.SetColor(clBlack);
    TextColorSamstag = 0x808080;
    TextColorSonntag = 255;
    TextColorFeiertag = 255;
    TextColorGeburtstag = 0x800000;
    Color = ColorZeilen = ColorZellen = KalenderNoColor;
    FontHeight = 50;
    FTextAlign = 5;
    for (TPaddingData* p : {&CellPadding, &RowPadding, &CellSpacing, &RowSpacing,
                            &WochentagCellPadding, &WochentagRowPadding, &WochentagCellSpacing,
                            &WochentagRowSpacing, &MonatJahrRowPadding, &MonatJahrRowSpacing,
                            &SondertagRowSpacing, &SondertagRowPadding})
        p->Clear();
    ShowWochentage = true;
    WochentagFont.Assign(Font);
    WochentagSize = 15;
    WochentagFontHeight = 50;
    WochentagColorZeile = WochentagColorZelle = KalenderNoColor;
    WochentagTextAlign = 5;
    ShowMonatJahr = true;
    MonatJahrTextAlign = 5;
    MonatJahrFontHeight = 50;
    MonatJahrSize = 15;
    MonatJahrColorZeile = KalenderNoColor;
    MonatJahrFont.Assign(Font);
    SondertagColorZeile = KalenderNoColor;
}

void TKalenderData::Assign(const TKalenderData& Source)
{
    if (&Source == this)
        return;
    Typ = Source.Typ;
    monat_ = Source.monat_;
    jahr_ = Source.jahr_;
    for (const auto& f : kFields)
        std::visit(Overload{
                       [&](TFont KD::*m) { (this->*m).Assign(Source.*m); },
                       [&](auto m) { this->*m = Source.*m; },
                   },
                   f.member);
}

void TKalenderData::SetMonat(int Month)
{
    monat_ = std::clamp(Month, 1, 12);
}

void TKalenderData::SetJahr(int Year)
{
    jahr_ = std::clamp(Year, 1700, 2500);
}

void TKalenderData::LoadFromDataFile(TCustomDataFile& DataFile, const AnsiString& Section)
{
    SetDefaults();
    Typ = uint8_t(DataFile.ReadInteger(Section, "Typ", 0));
    SetMonat(DataFile.ReadInteger(Section, "Monat", monat_));
    SetJahr(DataFile.ReadInteger(Section, "Jahr", jahr_));
    for (const auto& f : kFields)
        std::visit(Overload{
                       [&](TColor KD::*m) { this->*m = DataFile.ReadInteger(Section, f.key, this->*m); },
                       [&](float KD::*m) {
                           this->*m = ReadCheckedSingle(DataFile, Section, f.key, this->*m, 0,
                                                        MaxStoredPercent);
                       },
                       [&](bool KD::*m) { this->*m = DataFile.ReadBool(Section, f.key, this->*m); },
                       [&](TFont KD::*m) { DataFile.ReadFont(Section, f.key, this->*m); },
                       [&](TPaddingData KD::*m) { (this->*m).LoadFromDataFile(DataFile, Section + f.key); },
                   },
                   f.member);
}

void TKalenderData::SaveToDataFile(TCustomDataFile& DataFile, const AnsiString& Section) const
{
    DataFile.WriteInteger(Section, "Typ", Typ);
    DataFile.WriteInteger(Section, "Monat", monat_);
    DataFile.WriteInteger(Section, "Jahr", jahr_);
    for (const auto& f : kFields)
        std::visit(Overload{
                       [&](TColor KD::*m) { DataFile.WriteInteger(Section, f.key, this->*m); },
                       [&](float KD::*m) { DataFile.WriteFloat(Section, f.key, this->*m); },
                       [&](bool KD::*m) { DataFile.WriteBool(Section, f.key, this->*m); },
                       [&](TFont KD::*m) { DataFile.WriteFont(Section, f.key, this->*m); },
                       [&](TPaddingData KD::*m) { (this->*m).SaveToDataFile(DataFile, Section + f.key); },
                   },
                   f.member);
}

TDateTime TKalenderData::GetFirstDay() const
{
    return EncodeDate(jahr_, monat_, 1);
}

TDateTime TKalenderData::GetLastDay() const
{
    return EncodeDate(jahr_, monat_, DaysInAMonth(jahr_, monat_));
}

int TKalenderData::GetWeekRows() const
{
    const TDateTime first = GetFirstDay();
    // Days back from day 1 to the Monday on or before it (DayOfWeek: 1 = Sunday).
    const int back = (DayOfWeek(first) + 5) % 7;
    const int days = back + DaysInAMonth(jahr_, monat_);
    return (days + 6) / 7;
}

// ---- names --------------------------------------------------------------------------

namespace {

const char* const kDayNames[7] = {"Mo", "Di", "Mi", "Do", "Fr", "Sa", "So"};
const char* const kMonthNames[12] = {"Januar", "Februar", "M\xE4rz", "April", "Mai", "Juni",
                                     "Juli", "August", "September", "Oktober", "November",
                                     "Dezember"};

const bool kNamesRegistered = [] {
    for (const char* n : kDayNames)
        RegisterDefaultString(fromAnsi(n));
    for (const char* n : kMonthNames)
        RegisterDefaultString(fromAnsi(n));
    return true;
}();

} // namespace

AnsiString GetDayName(int Day)
{
    if (Day < 1 || Day > 7)
        return AnsiString();
    return toAnsi(LocalizedDefaultString(fromAnsi(kDayNames[Day - 1])));
}

AnsiString GetMonthName(int Month)
{
    if (Month < 1 || Month > 12)
        return AnsiString();
    return toAnsi(LocalizedDefaultString(fromAnsi(kMonthNames[Month - 1])));
}
