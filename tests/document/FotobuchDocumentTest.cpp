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

template <class T>
T* AddTo(TFBElementList& List, TFBPage* Page, float CX, float CY, float W, float H, float Angle = 0)
{
    auto e = std::make_unique<T>(Page);
    e->CenterX = CX;
    e->CenterY = CY;
    e->Width = W;
    e->Height = H;
    e->Angle = Angle;
    T* raw = e.get();
    List.Add(std::move(e));
    return raw;
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
    AddTo<TFBPictureElement>(page->Pictures, page.get(), 74.25f, 0.1f, 100, 50, 12.5f);
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

        auto* a = AddTo<TFBPictureElement>(p1->Pictures, p1, 105, 100, 210, 150);
        auto* b = AddTo<TFBPictureElement>(p2->Pictures, p2, 105, 100, 210, 150);
        AddTo<TFBPictureElement>(p2->Pictures, p2, 50, 250, 40, 30, 90);  // stays empty
        auto* colour = AddTo<TFBPictureElement>(p0->Pictures, p0, 20, 20, 10, 10);
        colour->FillWithColor(0x3366CC);
        colour->SetBorderWidth(1.5f);
        colour->SetBorderColor(0x0000FF);
        TFBPictureLink* link = doc.AddPictureLink();
        link->AddElement(a);
        link->AddElement(b);
        a->LoadPictureFromFile(photo);
        a->SetZoom(2.5f);
        a->SetOffsetX(0.25f);

        auto* text = AddTo<TFBTextElement>(p1->Elements, p1, 60, 40, 80, 20, -90);
        text->Drawer->SetRTFText("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 Gr\\'fc\\'dfe\\par}");
        text->SetHasShadow(true);
        text->SetHorzAlign(1);
        text->SetVertAlign(2);
        auto* art = AddTo<TFBClipartElement>(p2->Elements, p2, 0, 0, 0, 0, 30);
        art->LoadFromFile(clip);
        art->CenterX = 70;
        art->CenterY = 80;
        AddTo<TFBSizeableElement>(p2->Elements, p2, 1, 2, 3, 4);

        auto* cal = AddTo<TFBKalenderElement>(p0->Calendars, p0, 105, 250, 200, 80);
        cal->KalenderData->Typ = 2;
        cal->KalenderData->SetMonat(2);
        cal->KalenderData->SetJahr(2012);
        cal->KalenderData->ShowSondertage = true;
        cal->KalenderData->Color = 0x123456;
        cal->KalenderData->Font.SetName("Liberation Serif");
        cal->KalenderData->CellPadding.SetValues(1, 2, 3, 4);
        AddTo<TFBKalenderElement>(p2->Calendars, p2, 10, 20, 30, 40);

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
