#include "uKalender.h"

#include "SysUtils.h"
#include "uDataFile.h"

#include <gtest/gtest.h>

TEST(KalenderTageListe, AddDayJoinsTextsOfOneDate)
{
    TKalenderTageListe l;
    const TDateTime ny = EncodeDate(2009, 1, 1);
    l.AddDay("Neujahr", ", ", ny);
    l.AddDay("Neujahr", ", ", ny);
    l.AddDay("Geburtstag", ", ", ny + 0.5);  // a time of day is another date
    ASSERT_EQ(l.GetCount(), 2);
    EXPECT_EQ(l.GetItem(0)->Text, "Neujahr, Neujahr");
    EXPECT_EQ(l.IndexOfDate(ny), 0);
    EXPECT_EQ(l.IndexOfDate(ny + 1), -1);
    AnsiString t;
    EXPECT_TRUE(l.FindText(ny, t));
    EXPECT_FALSE(l.ContainsDate(ny + 2));
    EXPECT_THROW(l.GetItem(2), EListError);
}

TEST(KalenderTageListe, MonthTextIsSortedAndUsesTheLocaleSeparator)
{
    TKalenderTageListe l;
    l.AddDay("2. Weihnachtstag", ", ", EncodeDate(2009, 12, 26));
    l.AddDay("Hl. Abend", ", ", EncodeDate(2009, 12, 24));
    l.AddDay("Silvester", ", ", EncodeDate(2010, 12, 31));
    AnsiString text;
    l.GetMonthText(2009, 12, " | ", text);
    EXPECT_EQ(text, "24.12. Hl. Abend | 26.12. 2. Weihnachtstag");
    l.GetMonthText(2009, 11, " | ", text);
    EXPECT_EQ(text, "");
    // Day and month always take two digits.
    l.AddDay("Tag der Arbeit", ", ", EncodeDate(2009, 5, 1));
    l.GetMonthText(2009, 5, " | ", text);
    EXPECT_EQ(text, "01.05. Tag der Arbeit");
}

TEST(KalenderTageListe, DeleteYearKeepsOtherYears)
{
    TKalenderTageListe l;
    for (int y : {2010, 2009, 2008, 2009})
        l.AddDay(IntToStr(y), ", ", EncodeDate(y, 3, y % 28 + 1));
    l.DeleteYear(2009);
    ASSERT_EQ(l.GetCount(), 2);
    EXPECT_EQ(l.GetItem(0)->Text, "2008");
    EXPECT_EQ(l.GetItem(1)->Text, "2010");
}

TEST(KalenderTageListe, StoresCountAndItemsAndAppendsOnLoad)
{
    TMemoryStream s;
    {
        TMemoryDataFile f(s);
        TKalenderTageListe l;
        l.AddDay("A", ", ", EncodeDate(2020, 5, 1));
        l.AddDay("B", ", ", EncodeDate(2020, 5, 2));
        l.SaveToDataFile(f, "Feiertage");
        TKalenderTageListe empty;
        empty.SaveToDataFile(f, "Leer");
    }
    s.SetPosition(0);
    TMemoryDataFile f(s);
    EXPECT_EQ(f.ReadInteger("Feiertage", "Anzahl", -1), 2);
    EXPECT_EQ(f.ReadString("Feiertage/Item1", "Text", ""), "B");
    TKalenderTageListe l;
    l.AddDay("old", ", ", 1);
    l.LoadFromDataFile(f, "Feiertage");
    l.LoadFromDataFile(f, "Leer");
    l.LoadFromDataFile(f, "Fehlt");
    ASSERT_EQ(l.GetCount(), 3);
    EXPECT_EQ(l.GetItem(2)->Datum, EncodeDate(2020, 5, 2));
}

// An item that is not stored does not end the list: it is read with the
// defaults (today, no text), and the items after it follow.
TEST(KalenderTageListe, ReadsEveryItemUpToTheCountAcrossAMissingOne)
{
    TMemoryStream s;
    {
        TMemoryDataFile f(s);
        f.WriteInteger("Feiertage", "Anzahl", 3);
        f.WriteDateTime("Feiertage/Item0", "Datum", EncodeDate(2021, 1, 1));
        f.WriteString("Feiertage/Item0", "Text", "Neujahr");
        f.WriteDateTime("Feiertage/Item2", "Datum", EncodeDate(2021, 12, 31));
        f.WriteString("Feiertage/Item2", "Text", "Silvester");
    }
    s.SetPosition(0);
    TMemoryDataFile f(s);
    TKalenderTageListe l;
    const TDateTime before = Date();
    l.LoadFromDataFile(f, "Feiertage");
    const TDateTime after = Date();
    ASSERT_EQ(l.GetCount(), 3);
    EXPECT_EQ(l.GetItem(0)->Text, "Neujahr");
    EXPECT_TRUE(l.GetItem(1)->Datum == before || l.GetItem(1)->Datum == after) << l.GetItem(1)->Datum;
    EXPECT_EQ(l.GetItem(1)->Text, "");
    EXPECT_EQ(l.GetItem(2)->Datum, EncodeDate(2021, 12, 31));
    EXPECT_EQ(l.GetItem(2)->Text, "Silvester");
}

TEST(KalenderData, PaddingShrinksTheRectAndReportsCrossedEdges)
{
    TPaddingData p;
    p.SetValues(10, 20, 30, 40);
    float r[4] = {0, 0, 200, 100};
    EXPECT_TRUE(p.ApplyToRect(r));
    EXPECT_FLOAT_EQ(r[0], 20);
    EXPECT_FLOAT_EQ(r[1], 20);
    EXPECT_FLOAT_EQ(r[2], 140);
    EXPECT_FLOAT_EQ(r[3], 60);
    p.SetValues(60, 0, 50, 0);
    float q[4] = {0, 0, 100, 100};
    EXPECT_FALSE(p.ApplyToRect(q));
}

TEST(KalenderData, ClampsMonthAndYearAndCountsWeekRows)
{
    TKalenderData d;
    d.SetJahr(1600);
    EXPECT_EQ(d.Jahr(), 1700);
    d.SetJahr(3000);
    EXPECT_EQ(d.Jahr(), 2500);
    d.SetMonat(13);
    EXPECT_EQ(d.Monat(), 12);
    d.SetMonat(0);
    EXPECT_EQ(d.Monat(), 1);
    const struct { int y, m, rows; } cases[] = {
        {2010, 2, 4},   // 1 Feb 2010 is a Monday, 28 days
        {2009, 3, 6},   // 1 Mar 2009 is a Sunday, 31 days
        {2026, 12, 5},  // Tuesday start
        {2015, 2, 5},   // Sunday start, 28 days: rows from 26 Jan
    };
    for (const auto& c : cases) {
        d.SetJahr(c.y);
        d.SetMonat(c.m);
        EXPECT_EQ(d.GetWeekRows(), c.rows) << c.y << "-" << c.m;
    }
    d.SetJahr(2024);
    d.SetMonat(2);
    EXPECT_EQ(d.GetFirstDay(), EncodeDate(2024, 2, 1));
    EXPECT_EQ(d.GetLastDay(), EncodeDate(2024, 2, 29));
}

TEST(KalenderData, DefaultsAndNames)
{
    TKalenderData d;
    EXPECT_EQ(d.Font.Name(), "Arial");
    EXPECT_EQ(d.TextColorSonntag, 255);
    EXPECT_EQ(d.Color, KalenderNoColor);
    EXPECT_FLOAT_EQ(d.WochentagSize, 15);
    EXPECT_EQ(d.FTextAlign, kaCenterHorz | kaCenterVert);
    EXPECT_EQ(d.MonatJahrFont.Name(), "Arial");
    EXPECT_FALSE(d.ShowSondertage);
    EXPECT_EQ(GetDayName(1), "Mo");
    EXPECT_EQ(GetDayName(7), "So");
    EXPECT_EQ(GetDayName(8), "");
    EXPECT_EQ(GetMonthName(3), "M\xE4rz");
    EXPECT_EQ(GetMonthName(0), "");
}

TEST(KalenderData, SavesEveryKeyInOrderAndLoadsBack)
{
    TMemoryStream s;
    TKalenderData d;
    d.Typ = 2;
    d.SetMonat(7);
    d.SetJahr(2011);
    d.Font.SetStyle(fsBold);
    d.FontHeight = 33.3f;
    d.CellPadding.SetValues(1, 2, 3, 4);
    d.ShowSondertage = true;
    d.SondertagSize = 12.5f;
    d.SondertagFont.SetName("Courier New");
    {
        TMemoryDataFile f(s);
        d.SaveToDataFile(f, "P/K");
    }
    // The first records: Typ, Monat, Jahr, Font in that order.
    const auto& b = s.Bytes();
    auto keyAt = [&](size_t pos) { return std::string(reinterpret_cast<const char*>(&b[pos + 132])); };
    EXPECT_EQ(keyAt(20), "Typ");
    EXPECT_EQ(keyAt(20 + 172), "Monat");
    EXPECT_EQ(keyAt(20 + 2 * 172), "Jahr");
    EXPECT_EQ(keyAt(20 + 3 * 172), "Font");

    s.SetPosition(0);
    TMemoryDataFile f(s);
    EXPECT_DOUBLE_EQ(f.ReadFloat("P/K", "FontHeight", 0), double(33.3f));
    EXPECT_FLOAT_EQ(float(f.ReadFloat("P/KCellPadding", "Bottom", 0)), 4);
    TKalenderData e;
    e.SetMonat(3);
    e.LoadFromDataFile(f, "P/K");
    EXPECT_EQ(e.Typ, 2);
    EXPECT_EQ(e.Monat(), 7);
    EXPECT_EQ(e.Jahr(), 2011);
    EXPECT_EQ(e.Font.Style(), fsBold);
    EXPECT_EQ(e.FontHeight, 33.3f);
    EXPECT_EQ(e.CellPadding.Right, 3);
    EXPECT_TRUE(e.ShowSondertage);
    EXPECT_EQ(e.SondertagSize, 12.5f);
    EXPECT_EQ(e.SondertagFont.Name(), "Courier New");

    // A section without keys: defaults, Typ 0, month and year kept.
    TKalenderData g;
    g.Typ = 1;
    g.SetMonat(4);
    g.SetJahr(2030);
    g.FontHeight = 1;
    g.LoadFromDataFile(f, "Nichts");
    EXPECT_EQ(g.Typ, 0);
    EXPECT_EQ(g.Monat(), 4);
    EXPECT_EQ(g.Jahr(), 2030);
    EXPECT_FLOAT_EQ(g.FontHeight, 50);
}

TEST(KalenderData, StoredMonthAndYearAreClampedOnLoad)
{
    TMemoryStream s;
    {
        TMemoryDataFile f(s);
        f.WriteInteger("K", "Monat", 99);
        f.WriteInteger("K", "Jahr", -5);
    }
    s.SetPosition(0);
    TMemoryDataFile f(s);
    TKalenderData d;
    d.LoadFromDataFile(f, "K");
    EXPECT_EQ(d.Monat(), 12);
    EXPECT_EQ(d.Jahr(), 1700);
}

TEST(KalenderData, AssignCopiesEverything)
{
    TKalenderData a, b;
    a.Typ = 1;
    a.SetMonat(2);
    a.WochentagFont.SetName("Times New Roman");
    a.RowSpacing.SetValues(5, 6, 7, 8);
    a.MonatJahrZweizeilig = true;
    b.Assign(a);
    EXPECT_EQ(b.Typ, 1);
    EXPECT_EQ(b.Monat(), 2);
    EXPECT_EQ(b.WochentagFont.Name(), "Times New Roman");
    EXPECT_EQ(b.RowSpacing.Bottom, 8);
    EXPECT_TRUE(b.MonatJahrZweizeilig);
}
