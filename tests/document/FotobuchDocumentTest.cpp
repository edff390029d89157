#include "../common/PlaceElement.h"
#include "FBPictureElement.h"
#include "uFotobuchDocument.h"

#include "FotobuchTestUtil.h"
#include "SysUtils.h"
#include "uDataFile.h"
#include "uFotobuchBildManager.h"
#include "uKalenderPainter.h"
#include "uRTFDrawer.h"
#include "uTransformation.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace fbtest;

namespace {

struct TExpected {
    const char* Section;
    const char* Key;
    std::vector<uint8_t> Data;
};

void ExpectRecords(const TMemoryStream& Stream, const std::vector<TExpected>& Expected)
{
    const std::vector<TRawRecord> got = RawRecords(Stream);
    ASSERT_EQ(got.size(), Expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "record " << i << ": " << Expected[i].Section << " / "
                                        << Expected[i].Key);
        EXPECT_EQ(got[i].Marker, 1);
        EXPECT_EQ(got[i].Section, Expected[i].Section);
        EXPECT_EQ(got[i].Key, Expected[i].Key);
        EXPECT_EQ(got[i].Data, Expected[i].Data);
    }
}

// A document in a given screen mode with Count pages told apart by their colour.
void AddPages(TFBDocument& Doc, int Count)
{
    for (int i = 0; i < Count; ++i) {
        auto p = std::make_unique<TFBPage>(&Doc);
        p->PageColor = i;
        Doc.Pages.Add(std::move(p));
    }
}

std::vector<int> PageColors(const TFBDocument& Doc)
{
    std::vector<int> out;
    for (int i = 0; i < Doc.Pages.Count(); ++i)
        out.push_back(Doc.Pages.GetPage(i)->PageColor);
    return out;
}


} // namespace

TEST(FotobuchDocument, SavesOnePageDocumentRecordByRecord)
{
    TFBDocument doc;
    doc.Dokumentname = "Fotobuch Gr\xF6\xDF" "e";  // Windows-1252 bytes
    doc.Layouttypen = LayoutTypSet(ltPhotoBook86) | LayoutTypSet(ltDINA4);
    doc.PageWidth = 148.5f;
    doc.ScreenQuerformatWinkel = 0.1f;
    auto page = std::make_unique<TFBPage>(&doc);
    page->Orientation = 1;
    page->PageColor = 0x00FF00;
    PlaceElement<TFBPictureElement>(page->Pictures, page.get(), 74.25f, 0.1f, 100, 50, 12.5f);
    doc.Pages.Add(std::move(page));

    TMemoryStream stream;
    TMemoryDataFile file(stream);
    doc.SaveToDataFile(file);

    const AnsiString pic = "Doc/Pages/Page0/Piclist/Pic0";
    ExpectRecords(stream, {
        {"Doc", "DocVersion", I32(4)},
        {"Doc", "PageWidth", F64(148.5f)},
        {"Doc", "PageHeight", F64(297)},
        {"Doc", "Stegbreite", F64(2)},
        {"Doc", "Umschlagbreite", F64(4)},
        {"Doc", "PrintPaperName", Str("ID_DINA4")},
        {"Doc", "PrintPaperSize", I32(9)},
        {"Doc", "PrintPaperWidth", F64(210)},
        {"Doc", "PrintPaperHeight", F64(297)},
        {"Doc", "PrintPaperType", Str("ID_Photopapier_gl\xE4nzend")},
        {"Doc", "Dokumentname", Str("Fotobuch Gr\xF6\xDF" "e")},
        {"Doc", "PicturesHaveShadows", Bool(true)},
        {"Doc", "PrintBorderless", Bool(false)},
        {"Doc", "PictureShadowsAllowed", Bool(true)},
        {"Doc", "ScreenMode", I32(0)},
        {"Doc", "DocType", I32(0)},
        {"Doc", "PrintSetting", I32(0)},
        {"Doc", "Layouttypen", Str("[ltPhotoBook86,ltDINA4]")},
        {"Doc", "LayoutSubTyp", Str("")},
        {"Doc", "LayoutStil", I32(0)},
        {"Doc", "ScreenQuerformatWinkel", F64(0.1f)},
        {"Doc/Pages", "Anzahl", I32(1)},
        {"Doc/Pages/Page0", "Seitenausrichtung", I32(1)},
        {"Doc/Pages/Page0", "Seitenfarbe", I32(0x00FF00)},
        {"Doc/Pages/Page0/Piclist", "Anzahl", I32(1)},
        {pic.c_str(), "Classname", Str("TFBPictureElement")},
        {pic.c_str(), "CenterX", F64(74.25f)},
        {pic.c_str(), "CenterY", F64(0.1f)},
        {pic.c_str(), "Width", F64(100)},
        {pic.c_str(), "Height", F64(50)},
        {pic.c_str(), "Angle", F64(12.5f)},
        {pic.c_str(), "CanZoomAndTrack", Bool(false)},
        {pic.c_str(), "Zoom", F64(1)},
        {pic.c_str(), "OffsetX", F64(0.5f)},
        {pic.c_str(), "OffsetY", F64(0.5f)},
        {pic.c_str(), "RefIndex", I32(-1)},
        {pic.c_str(), "BorderWidth", F64(0)},
        {pic.c_str(), "BorderColor", I32(0)},
        {"Doc/Pages/Page0/Kalenderlist", "Anzahl", I32(0)},
        {"Doc/Pages/Page0/Elementlist", "Anzahl", I32(0)},
        {"Doc/PictureLinkList", "Anzahl", I32(0)},
        {"BildManager", "Anzahl", I32(0)},
        {"Feiertage", "Anzahl", I32(0)},
        {"Geburtstage", "Anzahl", I32(0)},
    });
    EXPECT_FALSE(doc.Modified);
}

TEST(FotobuchDocument, SinglesAreStoredAsTheDoubleOfTheWidenedFloat)
{
    // 0.1f widened is 0.100000001490116..., not the double 0.1.
    EXPECT_EQ(F64(0.1f), (std::vector<uint8_t>{0x00, 0x00, 0x00, 0xA0, 0x99, 0x99, 0xB9, 0x3F}));

    TMemoryStream stream;
    TMemoryDataFile file(stream);
    TFBElement e(nullptr);
    e.CenterX = 0.1f;
    e.CenterY = 1e-3f;
    e.Width = 123.456f;
    e.SaveToDataFile(file, "E");
    const std::vector<TRawRecord> recs = RawRecords(stream);
    ASSERT_EQ(recs.size(), 6u);
    EXPECT_EQ(recs[1].Data, (std::vector<uint8_t>{0x00, 0x00, 0x00, 0xA0, 0x99, 0x99, 0xB9, 0x3F}));
    EXPECT_EQ(recs[3].Data, F64(123.456f));

    // A double written by another program is rounded to the nearest single.
    file.WriteFloat("F", "CenterX", 0.1);
    file.WriteFloat("F", "Width", 1.0 + 1e-12);
    TFBElement r(nullptr);
    r.LoadFromDataFile(file, "E");
    EXPECT_EQ(r.CenterX, 0.1f);
    EXPECT_EQ(r.CenterY, 1e-3f);
    EXPECT_EQ(r.Width, 123.456f);
    r.LoadFromDataFile(file, "F");
    EXPECT_EQ(r.CenterX, 0.1f);
    EXPECT_EQ(r.Width, 1.0f);
    EXPECT_EQ(r.CenterY, 10.0f);  // missing: the default
    EXPECT_EQ(r.Angle, 0.0f);
}

TEST(FotobuchDocument, LoadsFileWithOnlyDocVersionWithReadDefaults)
{
    TMemoryStream stream;
    {
        TMemoryDataFile file(stream);
        file.WriteInteger("Doc", "DocVersion", 4);
    }
    ASSERT_EQ(stream.Size(), 20 + 168 + 4);

    TFBDocument doc;
    doc.Dokumentname = "bleibt nicht";
    doc.Modified = true;
    TMemoryDataFile file(stream);
    doc.LoadFromDataFile(file);

    EXPECT_EQ(doc.DocVersion, 4);
    EXPECT_EQ(doc.PageWidth, 148.5f);  // A5, not the A4 of a new document
    EXPECT_EQ(doc.PageHeight, 210.0f);
    EXPECT_EQ(doc.Stegbreite, 2.0f);
    EXPECT_EQ(doc.Umschlagbreite, 4.0f);
    EXPECT_EQ(doc.PrintPaperName, "ID_DINA4");
    EXPECT_EQ(doc.PrintPaperSize, 9);
    EXPECT_EQ(doc.PrintPaperWidth, 210.0f);
    EXPECT_EQ(doc.PrintPaperHeight, 297.0f);
    EXPECT_EQ(doc.PrintPaperType, "Photopapier gl\xE4nzend");  // the localized text
    EXPECT_EQ(doc.Dokumentname, "");
    EXPECT_TRUE(doc.PicturesHaveShadows);
    EXPECT_FALSE(doc.PrintBorderless);
    EXPECT_TRUE(doc.PictureShadowsAllowed);
    EXPECT_EQ(doc.ScreenMode, 1);
    EXPECT_EQ(doc.DocType, 1);
    EXPECT_EQ(doc.PrintSetting, 0);
    EXPECT_EQ(doc.Layouttypen, AllLayoutTypen);
    EXPECT_EQ(doc.LayoutSubTyp, "");
    EXPECT_EQ(doc.LayoutStil, 0);
    EXPECT_EQ(doc.ScreenQuerformatWinkel, 90.0f);
    EXPECT_FALSE(doc.Modified);
    // Without "Doc/Pages" there is one page, empty and white.
    ASSERT_EQ(doc.Pages.Count(), 1);
    const TFBPage* p = doc.Pages.GetPage(0);
    EXPECT_EQ(p->PageColor, 0xFFFFFF);
    EXPECT_EQ(p->Orientation, 0);
    EXPECT_EQ(p->Pictures.Count() + p->Calendars.Count() + p->Elements.Count(), 0);
    EXPECT_EQ(doc.PictureLinkCount(), 0);
    EXPECT_EQ(BildManager().Count(), 0);
}

TEST(FotobuchDocument, OlderVersionsAreUpgraded)
{
    struct {
        int Version;
        const char* Name;
        int StoredSetting;
        const char* SubTyp;
        int StoredStil;
        int Setting;
        int Stil;
    } cases[] = {
        {1, "Photobook 8x6", 9, "", 0, 2, 0},
        {1, "PocketBooklet", 0, "", 0, 1, 0},
        {1, "Photobook und PocketBooklet", 0, "", 0, 2, 0},
        {1, "Abz\xFCge 10x15", 0, "", 0, 3, 0},
        {1, "photobook", 5, "", 0, 5, 0},  // case matters
        {2, "Photobook", 5, "Horizon R", 0, 5, 2},  // "Horizon" comes first
        {2, "", 0, "Stil OrvaneExtra", 0, 0, 9},
        {2, "", 0, "Keiner", 4, 0, 4},
        {0, "", 0, "Verticon R", 0, 0, 3},
        {3, "Photobook", 7, "Horizon", 0, 7, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Version << " " << c.Name << " " << c.SubTyp);
        TMemoryStream stream;
        TMemoryDataFile file(stream);
        file.WriteInteger("Doc", "DocVersion", c.Version);
        file.WriteString("Doc", "Dokumentname", c.Name);
        file.WriteInteger("Doc", "PrintSetting", c.StoredSetting);
        file.WriteString("Doc", "LayoutSubTyp", c.SubTyp);
        file.WriteInteger("Doc", "LayoutStil", c.StoredStil);
        TFBDocument doc;
        doc.LoadFromDataFile(file);
        EXPECT_EQ(doc.PrintSetting, c.Setting);
        EXPECT_EQ(doc.LayoutStil, c.Stil);
        EXPECT_EQ(doc.DocVersion, 4);
    }
}

TEST(FotobuchDocument, RoundTripOfEveryElementKindCalendarsAndSpecialDays)
{
    QTemporaryDir dir;
    const QString photo = SavePicture(dir, "foto.jpg", 640, 480);
    const QString clip = SavePicture(dir, "clip.png", 200, 100, true);
    TMemoryStream first;
    {
        TFBDocument doc;
        doc.ScreenMode = 1;
        doc.DocType = 1;
        doc.PrintSetting = 7;
        doc.Dokumentname = "Kalender A4";
        doc.LayoutSubTyp = "Horizon";
        doc.LayoutStil = 2;
        doc.Layouttypen = LayoutTypSet(ltPhotoBookProRandlos);
        doc.PrintBorderless = true;
        doc.SetPictureShadows(false);
        doc.PrintPaperName = "Eigenes Papier";
        AddPages(doc, 3);
        TFBPage* p0 = doc.Pages.GetPage(0);
        TFBPage* p1 = doc.Pages.GetPage(1);
        TFBPage* p2 = doc.Pages.GetPage(2);
        p1->Orientation = 1;

        auto* a = PlaceElement<TFBPictureElement>(p1->Pictures, p1, 105, 100, 210, 150);
        auto* b = PlaceElement<TFBPictureElement>(p2->Pictures, p2, 105, 100, 210, 150);
        PlaceElement<TFBPictureElement>(p2->Pictures, p2, 50, 250, 40, 30, 90);  // stays empty
        auto* colour = PlaceElement<TFBPictureElement>(p0->Pictures, p0, 20, 20, 10, 10);
        colour->FillWithColor(0x3366CC);
        colour->SetBorderWidth(1.5f);
        colour->SetBorderColor(0x0000FF);
        TFBPictureLink* link = doc.AddPictureLink();
        link->AddElement(a);
        link->AddElement(b);
        a->LoadPictureFromFile(photo);
        a->SetZoom(2.5f);
        a->SetOffsetX(0.25f);

        auto* text = PlaceElement<TFBTextElement>(p1->Elements, p1, 60, 40, 80, 20, -90);
        text->Drawer->SetRTFText("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 Gr\\'fc\\'dfe\\par}");
        text->SetHasShadow(true);
        text->SetHorzAlign(1);
        text->SetVertAlign(2);
        auto* art = PlaceElement<TFBClipartElement>(p2->Elements, p2, 0, 0, 0, 0, 30);
        art->LoadFromFile(clip);
        art->CenterX = 70;
        art->CenterY = 80;
        PlaceElement<TFBSizeableElement>(p2->Elements, p2, 1, 2, 3, 4);

        auto* cal = PlaceElement<TFBKalenderElement>(p0->Calendars, p0, 105, 250, 200, 80);
        cal->KalenderData->Typ = 2;
        cal->KalenderData->SetMonat(2);
        cal->KalenderData->SetJahr(2012);
        cal->KalenderData->ShowSondertage = true;
        cal->KalenderData->Color = 0x123456;
        cal->KalenderData->Font.SetName("Liberation Serif");
        cal->KalenderData->CellPadding.SetValues(1, 2, 3, 4);
        PlaceElement<TFBKalenderElement>(p2->Calendars, p2, 10, 20, 30, 40);

        doc.Holidays.AddDay("Neujahr", ", ", EncodeDate(2012, 1, 1));
        doc.Holidays.AddDay("Rosenmontag", ", ", EncodeDate(2012, 2, 20));
        doc.Birthdays.AddDay("J\xFCrgen", ", ", EncodeDate(2012, 2, 20));

        TMemoryDataFile file(first);
        doc.SaveToDataFile(file);
    }
    ASSERT_EQ(BildManager().Count(), 0);  // every reference was released

    TFBDocument doc;
    TMemoryDataFile in(first);
    doc.LoadFromDataFile(in);

    // Saving the loaded document gives the same bytes.
    TMemoryStream second;
    {
        TMemoryDataFile out(second);
        doc.SaveToDataFile(out);
    }
    EXPECT_EQ(second.Bytes(), first.Bytes());

    EXPECT_EQ(doc.ScreenMode, 1);
    EXPECT_EQ(doc.PrintSetting, 7);
    EXPECT_EQ(doc.Dokumentname, "Kalender A4");
    EXPECT_EQ(doc.Layouttypen, LayoutTypSet(ltPhotoBookProRandlos));
    EXPECT_FALSE(doc.PicturesHaveShadows);
    EXPECT_FALSE(doc.PictureShadowsAllowed);
    EXPECT_TRUE(doc.PrintBorderless);
    EXPECT_EQ(doc.GetPrintPaperCaption(), "Eigenes Papier");
    ASSERT_EQ(doc.Pages.Count(), 3);
    const TFBPage* p0 = doc.Pages.GetPage(0);
    const TFBPage* p1 = doc.Pages.GetPage(1);
    const TFBPage* p2 = doc.Pages.GetPage(2);
    EXPECT_EQ(p1->Orientation, 1);
    EXPECT_EQ(PageColors(doc), (std::vector<int>{0, 1, 2}));

    auto* a = dynamic_cast<TFBPictureElement*>(p1->Pictures.GetItem(0));
    auto* b = dynamic_cast<TFBPictureElement*>(p2->Pictures.GetItem(0));
    auto* empty = dynamic_cast<TFBPictureElement*>(p2->Pictures.GetItem(1));
    auto* colour = dynamic_cast<TFBPictureElement*>(p0->Pictures.GetItem(0));
    ASSERT_TRUE(a && b && empty && colour);
    EXPECT_EQ(a->Zoom, 2.5f);
    EXPECT_EQ(b->Zoom, 2.5f);
    EXPECT_EQ(b->OffsetX, 0.25f);
    EXPECT_TRUE(a->CanZoomAndTrack);
    EXPECT_EQ(a->RefIndex, b->RefIndex);
    ASSERT_EQ(doc.PictureLinkCount(), 1);
    EXPECT_EQ(a->Link, doc.GetPictureLink(0));
    EXPECT_EQ(b->Link, a->Link);
    EXPECT_FALSE(empty->HasPicture());
    EXPECT_EQ(empty->Angle, 90.0f);
    EXPECT_FALSE(colour->CanZoomAndTrack);
    EXPECT_EQ(colour->BorderWidth, 1.5f);
    EXPECT_EQ(colour->BorderColor, 0x0000FF);
    ASSERT_EQ(BildManager().Count(), 3);
    EXPECT_EQ(BildManager().FindItem(a->RefIndex)->RefCount, 2);
    EXPECT_EQ(BildManager().FindItem(a->RefIndex)->FileName, photo);
    ASSERT_NE(a->GetBitmap(), nullptr);
    EXPECT_EQ(a->GetBitmap()->size(), QSize(640, 480));
    const QImage* fill = colour->GetBitmap();
    ASSERT_NE(fill, nullptr);
    EXPECT_EQ(fill->size(), QSize(48, 48));

    ASSERT_EQ(p1->Elements.Count(), 1);
    auto* text = dynamic_cast<TFBTextElement*>(p1->Elements.GetItem(0));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->Drawer->RTFText(), "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 Gr\\'fc\\'dfe\\par}");
    EXPECT_TRUE(text->HasShadow());
    EXPECT_NE(text->Shadow, nullptr);
    EXPECT_TRUE(text->ShadowDirty);
    EXPECT_EQ(text->HorzAlign, 1);
    EXPECT_EQ(text->VertAlign, 2);
    EXPECT_EQ(text->Angle, -90.0f);
    ASSERT_EQ(p2->Elements.Count(), 2);
    auto* art = dynamic_cast<TFBClipartElement*>(p2->Elements.GetItem(0));
    ASSERT_NE(art, nullptr);
    EXPECT_EQ(art->CenterX, 70.0f);
    EXPECT_EQ(art->Width, 105.0f);
    EXPECT_EQ(art->Height, 52.5f);
    EXPECT_EQ(art->Angle, 30.0f);
    EXPECT_EQ(BildManager().FindItem(art->RefIndex)->RefCount, 1);
    EXPECT_STREQ(p2->Elements.GetItem(1)->ClassName(), "TFBSizeableElement");

    ASSERT_EQ(p0->Calendars.Count(), 1);
    auto* cal = dynamic_cast<TFBKalenderElement*>(p0->Calendars.GetItem(0));
    ASSERT_NE(cal, nullptr);
    EXPECT_EQ(cal->Width, 200.0f);
    EXPECT_EQ(cal->KalenderData->Typ, 2);
    EXPECT_EQ(cal->KalenderData->Monat(), 2);
    EXPECT_EQ(cal->KalenderData->Jahr(), 2012);
    EXPECT_TRUE(cal->KalenderData->ShowSondertage);
    EXPECT_EQ(cal->KalenderData->Color, 0x123456);
    EXPECT_EQ(cal->KalenderData->Font.Name(), "Liberation Serif");
    EXPECT_EQ(cal->KalenderData->CellPadding.Bottom, 4.0f);
    EXPECT_EQ(p2->Calendars.Count(), 1);

    ASSERT_EQ(doc.Holidays.GetCount(), 2);
    EXPECT_EQ(doc.Holidays.GetItem(1)->Text, "Rosenmontag");
    EXPECT_EQ(doc.Holidays.GetItem(1)->Datum, EncodeDate(2012, 2, 20));
    ASSERT_EQ(doc.Birthdays.GetCount(), 1);
    EXPECT_EQ(doc.Birthdays.GetItem(0)->Text, "J\xFCrgen");
    // The calendar product names its screen by the month of its calendar.
    doc.ScreenMode = 0;
    EXPECT_EQ(doc.GetScreenCaption(0), GetMonthName(2));
    // A page without a calendar, or no page, by the screen's own month.
    EXPECT_EQ(doc.GetScreenCaption(1), GetMonthName(2));
    EXPECT_EQ(doc.GetScreenCaption(5), GetMonthName(6));
}

TEST(FotobuchDocument, ScreenArithmeticByMode)
{
    struct {
        int Mode, Pages, Screens;
        float W, H;
        std::vector<int> Left, Right;   // per screen
        std::vector<int> ScreenOfPage;  // per page
        std::vector<bool> LeftPage;     // per page
    } cases[] = {
        {0, 3, 3, 148.5f, 210, {0, 1, 2}, {0, 1, 2}, {0, 1, 2}, {false, false, false}},
        {1, 4, 3, 2 * 148.5f + 2 + 8, 218, {-1, 1, 3}, {0, 2, 4}, {0, 1, 1, 2}, {false, true, false, true}},
        {1, 0, 1, 2 * 148.5f + 2 + 8, 218, {-1}, {0}, {}, {}},
        {2, 5, 2, 297, 210, {0, 2}, {1, 3}, {0, 0, 1, 1, 2}, {true, false, true, false, true}},
        {3, 4, 0, 10, 10, {}, {}, {0, 0, 0, 0}, {false, false, false, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.Mode << ", " << c.Pages << " pages");
        TFBDocument doc;
        doc.ScreenMode = uint8_t(c.Mode);
        doc.PageWidth = 148.5f;
        doc.PageHeight = 210;
        AddPages(doc, c.Pages);
        EXPECT_EQ(doc.GetScreenCount(), c.Screens);
        float w, h;
        doc.GetScreenSize(w, h);
        EXPECT_EQ(w, c.W);
        EXPECT_EQ(h, c.H);
        for (size_t s = 0; s < c.Left.size(); ++s) {
            EXPECT_EQ(doc.GetLeftPageIndex(int(s)), c.Left[s]);
            EXPECT_EQ(doc.GetRightPageIndex(int(s)), c.Right[s]);
            const int l = c.Left[s], r = c.Right[s];
            EXPECT_EQ(doc.GetLeftPage(int(s)), l >= 0 && l < c.Pages ? doc.Pages.GetPage(l) : nullptr);
            EXPECT_EQ(doc.GetRightPage(int(s)), r < c.Pages ? doc.Pages.GetPage(r) : nullptr);
        }
        for (int i = 0; i < c.Pages; ++i) {
            EXPECT_EQ(doc.ScreenIndexOfPage(i), c.ScreenOfPage[size_t(i)]);
            EXPECT_EQ(doc.Pages.GetPage(i)->GetScreenIndex(), c.ScreenOfPage[size_t(i)]);
            EXPECT_EQ(doc.Pages.GetPage(i)->IsLeftPage(), c.LeftPage[size_t(i)]);
        }
    }
}

TEST(FotobuchDocument, TranslateToPagePlacesPagesOnTheirScreen)
{
    TFBDocument doc;
    doc.PageWidth = 100;
    doc.Stegbreite = 2;
    doc.Umschlagbreite = 4;
    AddPages(doc, 3);
    TFBPage detached(&doc);
    struct {
        int Mode;
        const TFBPage* Page;
        float X, Y;  // where the page origin lands
    } cases[] = {
        {0, doc.Pages.GetPage(1), 0, 0},
        {1, doc.Pages.GetPage(0), 106, 4},  // cover: right page
        {1, doc.Pages.GetPage(1), 4, 4},
        {1, doc.Pages.GetPage(2), 106, 4},
        {1, &detached, 106, 4},  // not in the list: not a left page
        {1, nullptr, 0, 0},
        {2, doc.Pages.GetPage(0), 0, 0},
        {2, doc.Pages.GetPage(1), 100, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.Mode << " page " << (c.Page ? c.Page->GetIndex() : -9));
        doc.ScreenMode = uint8_t(c.Mode);
        TTransformation t;
        doc.TranslateToPage(t, c.Page);
        float x, y;
        t.Transform(0, 0, x, y);
        EXPECT_FLOAT_EQ(x, c.X);
        EXPECT_FLOAT_EQ(y, c.Y);
    }
}

TEST(FotobuchDocument, ScreenCaptionsAndPaperCaptions)
{
    TFBDocument doc;
    doc.ScreenMode = 1;
    AddPages(doc, 1);
    EXPECT_EQ(doc.GetScreenCaption(0), "Seite 1");
    AddPages(doc, 3);
    EXPECT_EQ(doc.GetScreenCaption(1), "Seite 2 - 3");
    EXPECT_EQ(doc.GetScreenCaption(2), "Seite 4");
    doc.ScreenMode = 2;
    EXPECT_EQ(doc.GetScreenCaption(0), "Seite 1 - 2");
    doc.ScreenMode = 0;
    EXPECT_EQ(doc.GetScreenCaption(3), "Seite 4");

    EXPECT_EQ(doc.GetPrintPaperCaption(), "DIN A4");
    EXPECT_EQ(doc.GetPrintPaperTypeCaption(), "Photopapier gl\xE4nzend");
    doc.PrintPaperType = "Matt";
    EXPECT_EQ(doc.GetPrintPaperTypeCaption(), "Matt");

    EXPECT_EQ(GetPrintSettingName(0), "");
    EXPECT_EQ(GetPrintSettingName(7), "KalenderA4Randlos");
    EXPECT_EQ(GetPrintSettingName(14), "PhotobookProRandlos");
    EXPECT_EQ(GetPrintSettingName(15), "");
    EXPECT_EQ(GetLayoutStilName(5), "Tradition R");
    EXPECT_EQ(GetLayoutStilName(10), "");
}

TEST(FotobuchDocument, LayoutTypesAsSetText)
{
    EXPECT_EQ(LayoutTypenToString(0), "[]");
    EXPECT_EQ(LayoutTypenToString(AllLayoutTypen),
              "[ltPhotoBook86,ltPhotoBook85,ltPhotoBook46,ltPhotoBooklet43,ltSingles10x15,"
              "ltPhotoBook88,ltPhotoBook85Randlos,ltDINA4,ltDINA4Randlos,ltSingles13x18,"
              "ltPhotoBookPro,ltPhotoBookProRandlos]");
    EXPECT_EQ(StringToLayoutTypen("[ltSingles13x18,ltPhotoBook86]"),
              LayoutTypSet(ltSingles13x18) | LayoutTypSet(ltPhotoBook86));
    EXPECT_EQ(StringToLayoutTypen(LayoutTypenToString(0x0A5A)), 0x0A5A);

    // A stored set replaces the default; an empty text keeps all twelve.
    for (const auto& [text, expected] : {std::pair<const char*, int>{"[ltDINA4]", 1 << 7},
                                         {"[]", 0}, {"", AllLayoutTypen}}) {
        TMemoryStream stream;
        TMemoryDataFile file(stream);
        file.WriteString("Doc", "Layouttypen", text);
        TFBDocument doc;
        doc.LoadFromDataFile(file);
        EXPECT_EQ(doc.Layouttypen, expected) << text;
    }
}

TEST(FotobuchDocument, InsertDeleteAndMoveScreens)
{
    TFBDocument doc;
    doc.ScreenMode = 1;
    AddPages(doc, 6);  // screens: [-,0] [1,2] [3,4] [5,-]
    TFBPage* like = doc.Pages.GetPage(2);
    like->Orientation = 1;
    PlaceElement<TFBPictureElement>(like->Pictures, like, 10, 20, 30, 40, 15)->FillWithColor(0xFF);
    PlaceElement<TFBTextElement>(like->Elements, like, 1, 1, 1, 1);

    EXPECT_FALSE(doc.CanInsertScreen(0));
    EXPECT_TRUE(doc.CanInsertScreen(1));
    EXPECT_TRUE(doc.CanInsertScreen(2));
    EXPECT_FALSE(doc.CanInsertScreen(3));
    EXPECT_FALSE(doc.CanDeleteScreen(0));
    EXPECT_TRUE(doc.CanDeleteScreen(2));
    EXPECT_FALSE(doc.CanDeleteScreen(3));

    doc.InsertScreen(2, 1);  // two pages like screen 1 before pages 3 and 4
    ASSERT_EQ(doc.Pages.Count(), 8);
    TFBPage* newLeft = doc.Pages.GetPage(3);
    TFBPage* newRight = doc.Pages.GetPage(4);
    EXPECT_EQ(newLeft->PageColor, 0xFFFFFF);
    EXPECT_EQ(newLeft->Orientation, 0);
    EXPECT_EQ(newRight->Orientation, 1);
    ASSERT_EQ(newRight->Pictures.Count(), 1);
    const TFBElement* frame = newRight->Pictures.GetItem(0);
    EXPECT_EQ(frame->Width, 30.0f);
    EXPECT_EQ(frame->Angle, 0.0f);
    EXPECT_FALSE(static_cast<const TFBPictureElement*>(frame)->HasPicture());
    EXPECT_EQ(newRight->Elements.Count(), 0);
    newLeft->PageColor = 10;
    newRight->PageColor = 11;
    EXPECT_EQ(PageColors(doc), (std::vector<int>{0, 1, 2, 10, 11, 3, 4, 5}));

    doc.MoveScreen(2, 1);
    EXPECT_EQ(PageColors(doc), (std::vector<int>{0, 10, 11, 1, 2, 3, 4, 5}));
    doc.MoveScreen(1, 3);
    EXPECT_EQ(PageColors(doc), (std::vector<int>{0, 1, 2, 3, 4, 10, 11, 5}));

    doc.Modified = false;
    doc.DeleteScreen(3);
    EXPECT_EQ(PageColors(doc), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_TRUE(doc.Modified);

    // Single pages: one page like another, and never the last page deleted.
    doc.ScreenMode = 0;
    doc.InsertScreen(0, 2);
    EXPECT_EQ(doc.Pages.GetPage(0)->Orientation, 1);
    EXPECT_EQ(doc.Pages.GetPage(0)->Pictures.Count(), 1);
    doc.MoveScreen(0, 6);
    EXPECT_EQ(doc.Pages.GetPage(6)->Pictures.Count(), 1);
    EXPECT_TRUE(doc.CanInsertScreen(0));
    EXPECT_TRUE(doc.CanDeleteScreen(0));
    while (doc.Pages.Count() > 1)
        doc.DeleteScreen(0);
    EXPECT_FALSE(doc.CanDeleteScreen(0));

    // Calendar products keep their pages.
    for (uint8_t setting : {7, 8}) {
        doc.PrintSetting = setting;
        AddPages(doc, 2);
        EXPECT_FALSE(doc.CanInsertScreen(1));
        EXPECT_FALSE(doc.CanDeleteScreen(1));
    }
}

TEST(FotobuchDocument, ScreenOrientationContentAndFrameCopies)
{
    TFBDocument doc;
    doc.ScreenMode = 1;
    AddPages(doc, 4);
    EXPECT_EQ(doc.GetLastUsedPageIndex(), -1);
    doc.SetScreenOrientation(1, 1);
    EXPECT_EQ(doc.Pages.GetPage(1)->Orientation, 1);
    EXPECT_EQ(doc.Pages.GetPage(2)->Orientation, 1);
    EXPECT_EQ(doc.GetScreenOrientation(1), 1);
    doc.Pages.GetPage(0)->Orientation = 1;
    EXPECT_EQ(doc.GetScreenOrientation(0), 1);  // the right page when there is no left one
    EXPECT_EQ(doc.GetScreenOrientation(9), 0);

    TFBPage* src = doc.Pages.GetPage(1);
    PlaceElement<TFBPictureElement>(src->Pictures, src, 1, 2, 3, 4, 45);  // empty: no content
    EXPECT_FALSE(src->HasContent());
    PlaceElement<TFBKalenderElement>(src->Calendars, src, 5, 6, 7, 8);
    PlaceElement<TFBKalenderElement>(src->Calendars, src, 9, 10, 11, 12);
    EXPECT_TRUE(src->HasContent());
    EXPECT_EQ(doc.GetLastUsedPageIndex(), 1);
    TFBPage* p3 = doc.Pages.GetPage(3);
    PlaceElement<TFBPictureElement>(p3->Pictures, p3, 1, 1, 1, 1)->FillWithColor(0);
    EXPECT_EQ(doc.GetLastUsedPageIndex(), 3);

    static_cast<TFBKalenderElement*>(src->Calendars.GetItem(1))->KalenderData->Typ = 1;
    TFBPage copy(&doc);
    PlaceElement<TFBTextElement>(copy.Elements, &copy, 0, 0, 5, 5);
    copy.CopyFramesFrom(*src);
    ASSERT_EQ(copy.Pictures.Count(), 1);
    ASSERT_EQ(copy.Calendars.Count(), 2);
    EXPECT_EQ(copy.Elements.Count(), 0);
    EXPECT_EQ(copy.Calendars.GetItem(1)->CenterX, 9.0f);
    EXPECT_EQ(copy.Calendars.GetItem(1)->Height, 12.0f);
    EXPECT_EQ(static_cast<TFBKalenderElement*>(copy.Calendars.GetItem(1))->KalenderData->Typ, 0);
    EXPECT_EQ(copy.Pictures.GetItem(0)->Angle, 0.0f);
    EXPECT_EQ(copy.Pictures.GetItem(0)->Page, &copy);
}

TEST(FotobuchDocument, CalendarYearAndSettingsForAllCalendars)
{
    TFBDocument doc;
    AddPages(doc, 2);
    std::vector<TFBKalenderElement*> cals;
    for (int m = 1; m <= 3; ++m) {
        TFBPage* p = doc.Pages.GetPage(m % 2);
        cals.push_back(PlaceElement<TFBKalenderElement>(p->Calendars, p, 0, 0, 10, 10));
        cals.back()->KalenderData->SetMonat(m);
    }
    doc.SetKalenderJahr(2015);
    doc.SetKalenderJahr(3000);  // clamped by the settings
    TKalenderData look;
    look.SetMonat(11);
    look.SetJahr(1999);
    look.Typ = 1;
    look.Color = 0x00AA00;
    look.WochentagFont.SetName("Liberation Mono");
    doc.AssignKalenderDataToAll(look);
    for (int m = 1; m <= 3; ++m) {
        const TKalenderData& d = *cals[size_t(m - 1)]->KalenderData;
        EXPECT_EQ(d.Monat(), m);
        EXPECT_EQ(d.Jahr(), 2500);
        EXPECT_EQ(d.Typ, 1);
        EXPECT_EQ(d.Color, 0x00AA00);
        EXPECT_EQ(d.WochentagFont.Name(), "Liberation Mono");
    }
}

TEST(FotobuchDocument, MoveElementToPageTakesTheListOfItsKind)
{
    TFBDocument doc;
    AddPages(doc, 2);
    TFBPage* from = doc.Pages.GetPage(0);
    TFBPage* to = doc.Pages.GetPage(1);
    auto* pic = PlaceElement<TFBPictureElement>(from->Pictures, from, 0, 0, 1, 1);
    auto* cal = PlaceElement<TFBKalenderElement>(from->Calendars, from, 0, 0, 1, 1);
    auto* art = PlaceElement<TFBClipartElement>(from->Elements, from, 0, 0, 1, 1);
    PlaceElement<TFBTextElement>(to->Elements, to, 0, 0, 1, 1);
    for (TFBElement* e : std::initializer_list<TFBElement*>{pic, cal, art})
        doc.MoveElementToPage(e, to);
    EXPECT_TRUE(doc.Modified);
    EXPECT_EQ(from->Pictures.Count() + from->Calendars.Count() + from->Elements.Count(), 0);
    EXPECT_EQ(to->Pictures.GetItem(0), pic);
    EXPECT_EQ(to->Calendars.GetItem(0), cal);
    EXPECT_EQ(to->Elements.GetItem(1), art);
    EXPECT_EQ(art->Page, to);
    EXPECT_EQ(art->IndexInPage(), 1);
    EXPECT_EQ(cal->IndexInPage(), 0);

    auto* plain = PlaceElement<TFBElement>(from->Elements, from, 0, 0, 1, 1);
    EXPECT_EQ(plain->IndexInPage(), -1);
    try {
        doc.MoveElementToPage(plain, to);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "MoveElementToPage: el ist nicht zuordbar");
    }
    EXPECT_EQ(from->Elements.Count(), 1);
}

TEST(FotobuchPage, FindElementAtSearchesElementsCalendarsThenPicturesTopmostFirst)
{
    TFBDocument doc;
    AddPages(doc, 1);
    TFBPage* p = doc.Pages.GetPage(0);
    auto* under = PlaceElement<TFBPictureElement>(p->Pictures, p, 50, 50, 100, 100);
    auto* over = PlaceElement<TFBPictureElement>(p->Pictures, p, 50, 50, 20, 20);
    auto* cal = PlaceElement<TFBKalenderElement>(p->Calendars, p, 80, 80, 20, 20);
    // A long thin element turned by 90 degrees: hit along y, missed along x.
    auto* bar = PlaceElement<TFBTextElement>(p->Elements, p, 20, 50, 60, 4, 90);

    EXPECT_EQ(p->FindElementAt(50, 50, 7), over);
    EXPECT_EQ(p->FindElementAt(30, 30, 7), under);
    EXPECT_EQ(p->FindElementAt(80, 80, 7), cal);
    EXPECT_EQ(p->FindElementAt(80, 80, feaPictures), under);
    EXPECT_EQ(p->FindElementAt(20, 25, 7), bar);
    EXPECT_EQ(p->FindElementAt(20, 25, feaPictures | feaCalendars), under);
    EXPECT_EQ(p->FindElementAt(45, 50, 7), over);  // outside the turned bar
    EXPECT_EQ(p->FindElementAt(150, 50, 7), nullptr);
    EXPECT_EQ(p->FindElementAt(50, 50, 0), nullptr);
}

TEST(FotobuchPage, LoadKeepsOnlyElementsOfTheListsKind)
{
    TMemoryStream stream;
    TMemoryDataFile file(stream);
    const AnsiString p = "Doc/Pages/Page0";
    file.WriteInteger("Doc/Pages", "Anzahl", 1);
    file.WriteInteger(p + "/Piclist", "Anzahl", 3);
    file.WriteString(p + "/Piclist/Pic0", "Classname", "TFBTextElement");
    file.WriteString(p + "/Piclist/Pic1", "Classname", "TFBPictureElement");
    file.WriteInteger(p + "/Piclist/Pic1", "RefIndex", 7);
    file.WriteString(p + "/Piclist/Pic2", "Classname", "tfbpictureelement");
    file.WriteInteger(p + "/Kalenderlist", "Anzahl", 2);
    file.WriteString(p + "/Kalenderlist/Kalender0", "Classname", "TFBPictureElement");
    file.WriteInteger(p + "/Kalenderlist/Kalender0", "RefIndex", 7);
    file.WriteString(p + "/Kalenderlist/Kalender1", "Classname", "TFBKalenderElement");
    file.WriteInteger(p + "/Elementlist", "Anzahl", 5);
    file.WriteString(p + "/Elementlist/Element0", "Classname", "TFBElement");
    file.WriteString(p + "/Elementlist/Element1", "Classname", "TFBKalenderElement");
    file.WriteString(p + "/Elementlist/Element2", "Classname", "TFBClipartElement");
    file.WriteInteger(p + "/Elementlist/Element2", "RefIndex", 7);
    // Element3 has no class name; Element4 names no element class.
    file.WriteString(p + "/Elementlist/Element4", "Classname", "TFBPage");
    // One picture, held by the two elements that keep it.
    file.WriteInteger("BildManager", "Anzahl", 1);
    file.WriteInteger("BildManager/Bild0", "RefIndex", 7);
    file.WriteInteger("BildManager/Bild0", "RefCount", 2);

    TFBDocument doc;
    doc.LoadFromDataFile(file);
    const TFBPage* page = doc.Pages.GetPage(0);
    ASSERT_EQ(page->Pictures.Count(), 1);
    EXPECT_EQ(static_cast<TFBPictureElement*>(page->Pictures.GetItem(0))->RefIndex, 7);
    ASSERT_EQ(page->Calendars.Count(), 1);
    EXPECT_STREQ(page->Calendars.GetItem(0)->ClassName(), "TFBKalenderElement");
    ASSERT_EQ(page->Elements.Count(), 1);
    EXPECT_STREQ(page->Elements.GetItem(0)->ClassName(), "TFBClipartElement");
    // Dropped elements released nothing.
    ASSERT_NE(BildManager().FindItem(7), nullptr);
    EXPECT_EQ(BildManager().FindItem(7)->RefCount, 2);

    // LoadElement itself creates whatever the section names.
    TFBPage other(&doc);
    EXPECT_STREQ(other.LoadElement(file, p + "/Kalenderlist/Kalender0")->ClassName(), "TFBPictureElement");
    EXPECT_EQ(other.LoadElement(file, p + "/Elementlist/Element3"), nullptr);
}

TEST(FotobuchPage, LinkEntriesThatPointNowhereAreDropped)
{
    // Link entries that point nowhere are dropped.
    TMemoryStream stream;
    TMemoryDataFile file(stream);
    file.WriteInteger("Doc/Pages", "Anzahl", 2);
    for (int i = 0; i < 2; ++i) {
        file.WriteInteger("Doc/Pages/Page" + IntToStr(i), "Seitenfarbe", 0xFFFFFF);
        const AnsiString s = "Doc/Pages/Page" + IntToStr(i) + "/Piclist";
        file.WriteInteger(s, "Anzahl", 1);
        file.WriteString(s + "/Pic0", "Classname", "TFBPictureElement");
    }
    file.WriteInteger("Doc/PictureLinkList", "Anzahl", 1);
    const int entries[][2] = {{0, 0}, {1, 0}, {2, 0}, {1, 1}, {-1, 0}, {-5, 0}, {0, -2}, {1, 0}};
    file.WriteInteger("Doc/PictureLinkList/Link0/List", "Anzahl", int(std::size(entries)));
    for (size_t i = 0; i < std::size(entries); ++i) {
        const AnsiString s = "Doc/PictureLinkList/Link0/List/Pic" + IntToStr(int(i));
        file.WriteInteger(s, "PageIndex", entries[i][0]);
        file.WriteInteger(s, "PicIndex", entries[i][1]);
    }
    TFBDocument doc;
    doc.LoadFromDataFile(file);
    ASSERT_EQ(doc.PictureLinkCount(), 1);
    const TFBPictureLink* link = doc.GetPictureLink(0);
    ASSERT_EQ(link->Count(), 2);
    EXPECT_EQ(link->GetItem(0), doc.Pages.GetPage(0)->Pictures.GetItem(0));
    EXPECT_EQ(link->GetItem(1), doc.Pages.GetPage(1)->Pictures.GetItem(0));
}

// Every page up to the stored count is read: one whose section is missing
// opens empty, and the pages, elements and links after it are kept.
TEST(FotobuchDocument, EntriesAfterAMissingOneAreKept)
{
    TMemoryStream stream;
    TMemoryDataFile file(stream);
    file.WriteInteger("Doc/Pages", "Anzahl", 3);
    file.WriteInteger("Doc/Pages/Page0", "Seitenfarbe", 0x0000FF);
    file.WriteInteger("Doc/Pages/Page0/Piclist", "Anzahl", 1);
    file.WriteString("Doc/Pages/Page0/Piclist/Pic0", "Classname", "TFBPictureElement");
    // Page1 is missing; so is the first picture of Page2.
    file.WriteInteger("Doc/Pages/Page2", "Seitenfarbe", 0xFF0000);
    file.WriteInteger("Doc/Pages/Page2/Piclist", "Anzahl", 2);
    file.WriteString("Doc/Pages/Page2/Piclist/Pic1", "Classname", "TFBPictureElement");
    file.WriteFloat("Doc/Pages/Page2/Piclist/Pic1", "CenterX", 42);
    // Link0 is missing, and the first entry of Link1.
    file.WriteInteger("Doc/PictureLinkList", "Anzahl", 2);
    file.WriteInteger("Doc/PictureLinkList/Link1/List", "Anzahl", 3);
    for (int i = 1; i <= 2; ++i) {
        const AnsiString s = "Doc/PictureLinkList/Link1/List/Pic" + IntToStr(i);
        file.WriteInteger(s, "PageIndex", i == 1 ? 0 : 2);
        file.WriteInteger(s, "PicIndex", 0);
    }

    TFBDocument doc;
    doc.LoadFromDataFile(file);
    ASSERT_EQ(doc.Pages.Count(), 3);
    EXPECT_EQ(PageColors(doc), std::vector<int>({0x0000FF, 0xFFFFFF, 0xFF0000}));
    const TFBPage* missing = doc.Pages.GetPage(1);
    EXPECT_EQ(missing->Pictures.Count() + missing->Calendars.Count() + missing->Elements.Count(), 0);
    const TFBPage* last = doc.Pages.GetPage(2);
    ASSERT_EQ(last->Pictures.Count(), 1);
    EXPECT_EQ(last->Pictures.GetItem(0)->CenterX, 42.0f);
    ASSERT_EQ(doc.PictureLinkCount(), 1);
    const TFBPictureLink* link = doc.GetPictureLink(0);
    ASSERT_EQ(link->Count(), 2);
    EXPECT_EQ(link->GetItem(0), doc.Pages.GetPage(0)->Pictures.GetItem(0));
    EXPECT_EQ(link->GetItem(1), last->Pictures.GetItem(0));
}

TEST(FotobuchElement, FactoryAndGeometry)
{
    TFBDocument doc;
    AddPages(doc, 1);
    TFBPage* p = doc.Pages.GetPage(0);
    for (const char* name : {"TFBElement", "TFBPictureElement", "TFBSizeableElement",
                             "TFBKalenderElement", "TFBTextElement", "TFBClipartElement"}) {
        std::unique_ptr<TFBElement> e = CreateElementByClassName(name, p);
        ASSERT_NE(e, nullptr) << name;
        EXPECT_STREQ(e->ClassName(), name);
        EXPECT_EQ(e->Page, p);
        EXPECT_EQ(e->GetDocument(), &doc);
    }
    for (const char* name : {"TFBTEXTELEMENT", "TFBPage", "", "##gg##"})
        EXPECT_EQ(CreateElementByClassName(name, p), nullptr) << name;

    TFBElement e(nullptr);
    e.CenterX = 10;
    e.CenterY = 20;
    e.Width = 8;
    e.Height = 4;
    EXPECT_EQ(e.GetLeft(), 6.0f);
    EXPECT_EQ(e.GetBottom(), 22.0f);
    EXPECT_EQ(e.GetDocument(), nullptr);
    struct {
        float Angle, L, T, R, B;
    } cases[] = {
        {0, 6, 18, 14, 22},
        {180, 6, 18, 14, 22},
        {90, 8, 16, 12, 24},
        {-90, 8, 16, 12, 24},
        {45, 10 - 4.2426405f, 20 - 4.2426405f, 10 + 4.2426405f, 20 + 4.2426405f},
    };
    for (const auto& c : cases) {
        e.Angle = c.Angle;
        const TRectF r = e.GetBoundingRect();
        EXPECT_NEAR(r.Left, c.L, 1e-4) << c.Angle;
        EXPECT_NEAR(r.Top, c.T, 1e-4) << c.Angle;
        EXPECT_NEAR(r.Right, c.R, 1e-4) << c.Angle;
        EXPECT_NEAR(r.Bottom, c.B, 1e-4) << c.Angle;
        float w, h;
        e.GetBoundingSize(w, h);
        EXPECT_NEAR(w, c.R - c.L, 1e-4);
        EXPECT_NEAR(h, c.B - c.T, 1e-4);
    }
    EXPECT_TRUE(e.ContainsPoint(4, -2));
    EXPECT_FALSE(e.ContainsPoint(4.01f, 0));
    EXPECT_FALSE(e.HasShadow());
}
