#include "FBPictureElement.h"
#include "uFotobuchSetup.h"

#include "uFotobuchDocument.h"
#include "uFotobuchPageTemplate.h"
#include "uFotobuchPresets.h"
#include "SysUtils.h"
#include "uKalender.h"

#include <QFontDatabase>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

struct TRectSpec {
    float Left, Top, Width, Height;
};

// A document that holds something of an earlier product.
std::unique_ptr<TFBDocument> UsedDocument()
{
    auto doc = std::make_unique<TFBDocument>();
    doc->Dokumentname = "alt";
    doc->PrintBorderless = true;
    doc->SetPictureShadows(false);
    doc->ScreenQuerformatWinkel = 45;
    doc->LayoutSubTyp = "alt";
    doc->LayoutStil = 8;
    for (int i = 0; i < 3; ++i)
        doc->Pages.Add(std::make_unique<TFBPage>(doc.get()));
    return doc;
}

void ExpectFrames(const TFBPage* Page, const std::vector<TRectSpec>& Frames)
{
    ASSERT_EQ(Page->Pictures.Count(), int(Frames.size()));
    for (size_t i = 0; i < Frames.size(); ++i) {
        const TFBElement* e = Page->Pictures.GetItem(int(i));
        EXPECT_EQ(e->ClassName(), std::string("TFBPictureElement"));
        EXPECT_NEAR(e->GetLeft(), Frames[i].Left, 1e-3) << "frame " << i;
        EXPECT_NEAR(e->GetTop(), Frames[i].Top, 1e-3) << "frame " << i;
        EXPECT_NEAR(e->Width, Frames[i].Width, 1e-3) << "frame " << i;
        EXPECT_NEAR(e->Height, Frames[i].Height, 1e-3) << "frame " << i;
        EXPECT_EQ(e->Angle, 0.0f);
        EXPECT_FALSE(static_cast<const TFBPictureElement*>(e)->HasPicture());
    }
}

// The frames of a built-in template as they land on a page of the given size
// (without the shift of left pages).
std::vector<TRectSpec> TemplateFrames(const char* Key, float PageW, float PageH)
{
    const TFBPageTemplate* t = FindPageTemplate(Key);
    EXPECT_NE(t, nullptr) << Key;
    std::vector<TRectSpec> frames;
    if (!t)
        return frames;
    const float sx = PageW / t->TemplateWidth, sy = PageH / t->TemplateHeight;
    for (int i = 0; i < t->Frames.Count(); ++i) {
        const TFBElement* f = t->Frames.GetItem(i);
        frames.push_back({f->GetLeft() * sx, f->GetTop() * sy, f->Width * sx, f->Height * sy});
    }
    return frames;
}

constexpr TFBLayoutTypen lt(TFBLayoutTyp T) { return LayoutTypSet(T); }

struct TProductCase {
    const char* Routine;
    std::function<void(TFBDocument*, int)> Setup;
    int Count;  // the count the new-document wizard passes
    const char* Dokumentname;
    float PageWidth, PageHeight;
    const char* PaperName;
    int32_t PaperSize;
    float PaperWidth, PaperHeight;
    uint8_t PrintSetting;
    TFBLayoutTypen Layouttypen;
    uint8_t ScreenMode, DocType;
    bool Borderless, Shadows;
    uint8_t Orientation;
    const char* SubTyp;
    uint8_t Stil;
    // Either the frames of every page, or the templates of page 0 and the others.
    std::vector<TRectSpec> Frames;
    const char* FirstTemplate;
    const char* OtherTemplate;
};

} // namespace

TEST(ProductCatalogue, EveryProductBuildsItsDocument)
{
    const std::vector<TProductCase> cases = {
        {"SetupPocketBookletFullsize", SetupPocketBookletFullsize, 32, "PocketBooklet", 76.2f, 101.6f, "ID_10x15", -1, 101.6f, 152.4f, 1, lt(ltPhotoBooklet43), 1, 1, true, false, 0, "", 0, {{0, 0, 76.2f, 101.6f}}, nullptr, nullptr},
        {"SetupPocketBookletBorder", SetupPocketBookletBorder, 32, "PocketBooklet", 76.2f, 101.6f, "ID_10x15", -1, 101.6f, 152.4f, 1, lt(ltPhotoBooklet43), 1, 1, true, true, 0, "", 0, {}, "BorderBooklet1", "BorderBooklet1"},
        {"SetupPhotobook86Tradition", SetupPhotobook86Tradition, 24, "Photobook 8:6 - Tradition", 162.5f, 210, "ID_Legal", 5, 210, 325, 2, lt(ltPhotoBook86), 1, 1, false, true, 0, "Tradition", 1, {}, "Tradition2", "Tradition1"},
        {"SetupPhotobook86Horizon", SetupPhotobook86Horizon, 24, "Photobook 8:6 - Horizon", 162.5f, 210, "ID_Legal", 5, 210, 325, 2, lt(ltPhotoBook86), 1, 1, false, true, 0, "Horizon", 2, {}, "Horizon1", "Horizon2"},
        {"SetupPhotobook86Verticon", SetupPhotobook86Verticon, 24, "Photobook 8:6 - Verticon", 162.5f, 210, "ID_Legal", 5, 210, 325, 2, lt(ltPhotoBook86), 1, 1, false, true, 0, "Verticon", 3, {}, "Verticon1", "Verticon2"},
        {"SetupPhotobook46", SetupPhotobook46, 32, "Photobook 4:6", 101.6f, 163, "ID_10x15", -1, 101.6f, 152.4f, 4, lt(ltPhotoBook46), 0, 0, true, false, 1, "", 0, {{0, 10.6f, 101.6f, 152.4f}}, nullptr, nullptr},
        {"SetupSingles10x15", SetupSingles10x15, 50, "10x15 Singles", 101.6f, 152.4f, "ID_10x15", -1, 101.6f, 152.4f, 3, lt(ltSingles10x15), 0, 0, true, false, 1, "", 0, {{0, 0, 101.6f, 152.4f}}, nullptr, nullptr},
        {"SetupSingles13x18", SetupSingles13x18, 50, "13x18 Singles", 130, 180, "13x18 cm", -2, 130, 180, 11, lt(ltSingles13x18), 0, 0, true, false, 1, "", 0, {{0, 0, 130, 180}}, nullptr, nullptr},
        {"SetupPhotobinding10x15", SetupPhotobinding10x15, 30, "Photobuch 10x15", 101.6f, 152.4f, "ID_10x15", -1, 101.6f, 152.4f, 12, lt(ltSingles10x15), 0, 0, true, false, 1, "", 0, {{0, 0, 101.6f, 152.4f}}, nullptr, nullptr},
        {"SetupPhotobook85Tradition", SetupPhotobook85Tradition, 24, "Photobook 8:5 - Tradition", 148.5f, 210, "ID_DINA4", 9, 210, 297, 6, lt(ltPhotoBook85), 1, 1, false, true, 0, "Tradition", 1, {}, "Tradition2", "Tradition1"},
        {"SetupPhotobook85Horizon", SetupPhotobook85Horizon, 24, "Photobook 8:5 - Horizon", 148.5f, 210, "ID_DINA4", 9, 210, 297, 6, lt(ltPhotoBook85), 1, 1, false, true, 0, "Horizon", 2, {}, "Horizon1", "Horizon2"},
        {"SetupPhotobook85Verticon", SetupPhotobook85Verticon, 24, "Photobook 8:5 - Verticon", 148.5f, 210, "ID_DINA4", 9, 210, 297, 6, lt(ltPhotoBook85), 1, 1, false, true, 0, "Verticon", 3, {}, "Verticon1", "Verticon2"},
        {"SetupPhotobook85RandlosTradition", SetupPhotobook85RandlosTradition, 24, "Photobook 8:5 - Tradition", 148.5f, 210, "ID_DINA4", 9, 210, 297, 5, lt(ltPhotoBook85Randlos), 1, 1, true, false, 0, "Tradition", 5, {}, "TraditionR2", "TraditionR1"},
        {"SetupPhotobook85RandlosHorizon", SetupPhotobook85RandlosHorizon, 24, "Photobook 8:5 - Horizon", 148.5f, 210, "ID_DINA4", 9, 210, 297, 5, lt(ltPhotoBook85Randlos), 1, 1, true, false, 0, "Horizon", 6, {}, "HorizonR1", "HorizonR2"},
        {"SetupPhotobook85RandlosVerticon", SetupPhotobook85RandlosVerticon, 24, "Photobook 8:5 - Verticon", 148.5f, 210, "ID_DINA4", 9, 210, 297, 5, lt(ltPhotoBook85Randlos), 1, 1, true, false, 0, "Verticon", 7, {}, "VerticonR1", "VerticonR2"},
        {"SetupPhotobook85RandlosFullpage", SetupPhotobook85RandlosFullpage, 24, "Photobook 8:5 - Vollfl\xE4" "che", 148.5f, 210, "ID_DINA4", 9, 210, 297, 5, lt(ltPhotoBook85Randlos), 1, 1, true, false, 0, "Fullpage", 4, {}, "FullSize1", "FullSize3"},
        {"SetupPhotobookProHorizon", SetupPhotobookProHorizon, 40, "Photobook Pro", 210, 210, "DIN A3", 8, 297, 420, 13, lt(ltPhotoBookPro), 1, 1, false, true, 0, "Horizon", 2, {}, "ProBorderLayout1", "ProBorderLayout1"},
        {"SetupPhotobookProRandlosHorizon", SetupPhotobookProRandlosHorizon, 40, "Photobook Pro", 210, 210, "DIN A3", 8, 297, 420, 14, lt(ltPhotoBookProRandlos), 1, 1, true, false, 0, "Horizon", 2, {}, "ProFullLayout1", "ProFullLayout1"},
        {"SetupDINA4", SetupDINA4, 30, "DIN A4", 210, 297, "ID_DINA4", 9, 210, 297, 9, lt(ltDINA4), 0, 0, false, true, 0, "", 0, {{10, 10, 190, 277}}, nullptr, nullptr},
        {"SetupDINA4Randlos", SetupDINA4Randlos, 30, "DIN A4 Randlos", 210, 297, "ID_DINA4", 9, 210, 297, 10, lt(ltDINA4Randlos), 0, 0, true, false, 0, "", 0, {{0, 0, 210, 297}}, nullptr, nullptr},
        {"SetupLabels3C10x15", SetupLabels3C10x15, 20, "3C 10x15", 210, 297, "ID_DINA4", 9, 210, 297, 9, 0, 0, 0, false, false, 0, "", 0, {{29, 23.25f, 152, 102}, {29, 171.75f, 152, 102}}, nullptr, nullptr},
        {"SetupLabels3C9x13", SetupLabels3C9x13, 20, "3C 9x13", 210, 297, "ID_DINA4", 9, 210, 297, 9, 0, 0, 0, false, false, 0, "", 0, {{9, 14, 92, 132}, {109, 14, 92, 132}, {9, 151, 92, 132}, {109, 151, 92, 132}}, nullptr, nullptr},
        {"SetupOrvaneFlaschenetikett", SetupOrvaneFlaschenetikett, 20, "Orvane Flaschenetikett", 210, 297, "ID_DINA4", 9, 210, 297, 9, 0, 0, 0, false, false, 0, "", 0, {{14, 19, 82, 122}, {114, 19, 82, 122}, {14, 156, 82, 122}, {114, 156, 82, 122}}, nullptr, nullptr},
    };

    for (const TProductCase& c : cases) {
        SCOPED_TRACE(c.Routine);
        auto doc = UsedDocument();
        c.Setup(doc.get(), c.Count);

        EXPECT_EQ(doc->Pages.Count(), c.Count);
        EXPECT_EQ(doc->Dokumentname, c.Dokumentname);
        EXPECT_EQ(doc->PageWidth, c.PageWidth);
        EXPECT_EQ(doc->PageHeight, c.PageHeight);
        EXPECT_EQ(doc->PrintPaperName, c.PaperName);
        EXPECT_EQ(doc->PrintPaperSize, c.PaperSize);
        EXPECT_EQ(doc->PrintPaperWidth, c.PaperWidth);
        EXPECT_EQ(doc->PrintPaperHeight, c.PaperHeight);
        EXPECT_EQ(doc->PrintSetting, c.PrintSetting);
        EXPECT_EQ(doc->Layouttypen, c.Layouttypen);
        EXPECT_EQ(doc->ScreenMode, c.ScreenMode);
        EXPECT_EQ(doc->DocType, c.DocType);
        EXPECT_EQ(doc->PrintBorderless, c.Borderless);
        EXPECT_EQ(doc->PicturesHaveShadows, c.Shadows);
        EXPECT_EQ(doc->PictureShadowsAllowed, c.Shadows);
        // Clear resets what the builder does not name; only the name survives it.
        EXPECT_EQ(doc->LayoutSubTyp, c.SubTyp);
        EXPECT_EQ(doc->LayoutStil, c.Stil);
        EXPECT_EQ(doc->ScreenQuerformatWinkel, c.PrintSetting == 4 ? -90.0f : 90.0f);
        EXPECT_EQ(doc->PictureLinkCount(), 0);

        for (int i = 0; i < doc->Pages.Count(); ++i) {
            SCOPED_TRACE(i);
            const TFBPage* page = doc->Pages.GetPage(i);
            EXPECT_EQ(page->Orientation, c.Orientation);
            EXPECT_EQ(page->Calendars.Count(), 0);
            if (c.FirstTemplate) {
                // Sizes scale; left pages are shifted, so compare sizes and rows.
                const auto expected = TemplateFrames(i == 0 ? c.FirstTemplate : c.OtherTemplate,
                                                     c.PageWidth, c.PageHeight);
                ASSERT_EQ(page->Pictures.Count(), int(expected.size()));
                for (size_t k = 0; k < expected.size(); ++k) {
                    const TFBElement* e = page->Pictures.GetItem(int(k));
                    EXPECT_NEAR(e->Width, expected[k].Width, 1e-3);
                    EXPECT_NEAR(e->Height, expected[k].Height, 1e-3);
                    EXPECT_NEAR(e->GetTop(), expected[k].Top, 1e-3);
                    if (!page->IsLeftPage()) {
                        EXPECT_NEAR(e->GetLeft(), expected[k].Left, 1e-3);
                    }
                }
            } else {
                ExpectFrames(page, c.Frames);
            }
        }
    }
}

TEST(ProductCatalogue, TemplatesLandOnTheRightPages)
{
    auto doc = std::make_unique<TFBDocument>();
    SetupPhotobook85RandlosFullpage(doc.get(), 3);
    // Page 0: "Fullsize B", one frame over the whole page; then the first
    // "FullSize3", "Fullsize A" with two frames.
    ExpectFrames(doc->Pages.GetPage(0), {{0, 0, 148.5f, 210}});
    ExpectFrames(doc->Pages.GetPage(1), {{0, 0, 148.5f, 103.5f}, {0, 106.5f, 148.5f, 103.5f}});
    ExpectFrames(doc->Pages.GetPage(2), {{0, 0, 148.5f, 103.5f}, {0, 106.5f, 148.5f, 103.5f}});

    // Left pages get the right-page layout shifted: "Tradition1" (margins
    // 12.75 and 5.5 on 163.5 mm) scaled to 148.5 mm swaps its margins.
    SetupPhotobook85Tradition(doc.get(), 3);
    const float s = 148.5f / 163.5f;
    ExpectFrames(doc->Pages.GetPage(1), {{5.5f * s, 6.5f, 145.25f * s, 96.5f}, {5.5f * s, 107, 145.25f * s, 96.5f}});
    ExpectFrames(doc->Pages.GetPage(2), {{12.75f * s, 6.5f, 145.25f * s, 96.5f}, {12.75f * s, 107, 145.25f * s, 96.5f}});

    // One page: only the first-page template; none: no pages at all.
    SetupPhotobook85Horizon(doc.get(), 1);
    ASSERT_EQ(doc->Pages.Count(), 1);
    EXPECT_EQ(doc->Pages.GetPage(0)->Pictures.Count(), 1);
    SetupPhotobook85Horizon(doc.get(), 0);
    EXPECT_EQ(doc->Pages.Count(), 0);
    EXPECT_EQ(doc->LayoutStil, 2);
    SetupSingles10x15(doc.get(), -3);
    EXPECT_EQ(doc->Pages.Count(), 0);
}

TEST(ProductCatalogue, DefaultDocumentIsAnUnnamedPhotoBook)
{
    TFBDocument doc;
    doc.Dokumentname = "alt";
    SetupDefaultDocument(&doc);
    EXPECT_EQ(doc.Pages.Count(), 32);
    EXPECT_EQ(doc.Dokumentname, "");
    EXPECT_EQ(doc.PrintSetting, 6);
    EXPECT_EQ(doc.LayoutSubTyp, "Tradition");
    EXPECT_EQ(doc.Pages.GetPage(0)->Pictures.Count(), 1);
    EXPECT_EQ(doc.Pages.GetPage(31)->Pictures.Count(), 2);

    // The bases name nothing but the product.
    SetupPhotobook86(&doc, 2);
    EXPECT_EQ(doc.Dokumentname, "");
    EXPECT_EQ(doc.Pages.GetPage(1)->Pictures.Count(), 0);
}

TEST(ProductCatalogue, CalendarsHaveTwelveMonthsWithTheirStyle)
{
    struct Case {
        const char* Routine;
        void (*Setup)(TFBDocument*, int);
        float PageHeight;
        uint8_t PrintSetting;
        TRectSpec Kalender;
        uint8_t Typ;
        float FontHeight;  // tells the style apart
        std::vector<TRectSpec> Frames;
    } cases[] = {
        {"SetupKalenderA4PictureBottom", SetupKalenderA4PictureBottom, 297, 7, {25, 25, 160, 170}, 0, 37, {{0, 209, 210, 88}}},
        {"SetupKalenderA4PictureTop", SetupKalenderA4PictureTop, 297, 7, {11, 210, 188, 70}, 0, 70, {{11, 20, 188, 186}}},
        {"SetupKalenderA4StripBottom", SetupKalenderA4StripBottom, 297, 7, {8, 272, 194, 20}, 1, 45, {{0, 0, 210, 263}}},
        {"SetupKalenderA4StripRight", SetupKalenderA4StripRight, 297, 7, {164, 0, 46, 297}, 2, 60, {{0, 0, 164, 297}}},
        {"SetupKalenderA5PictureLeft", SetupKalenderA5PictureLeft, 148.5f, 8, {139, 14.5f, 60, 123}, 0, 70, {{10.5f, 14.5f, 123, 123}}},
        {"SetupKalenderA5SevenPictures", SetupKalenderA5SevenPictures, 148.5f, 8, {0, 7.5f, 210, 105}, 0, 47,
         {{0, 118.5f, 30, 30}, {30, 118.5f, 30, 30}, {60, 118.5f, 30, 30}, {90, 118.5f, 30, 30},
          {120, 118.5f, 30, 30}, {150, 118.5f, 30, 30}, {180, 118.5f, 30, 30}}},
        {"SetupKalenderA5StripBottom", SetupKalenderA5StripBottom, 148.5f, 8, {10, 123, 190, 20}, 1, 40, {{0, 19, 210, 98}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Routine);
        auto doc = UsedDocument();
        c.Setup(doc.get(), 2027);
        EXPECT_EQ(doc->Dokumentname, "Kalender");
        EXPECT_EQ(doc->PageWidth, 210.0f);
        EXPECT_EQ(doc->PageHeight, c.PageHeight);
        EXPECT_EQ(doc->PrintPaperName, "ID_DINA4");
        EXPECT_EQ(doc->PrintPaperSize, 9);
        EXPECT_EQ(doc->PrintSetting, c.PrintSetting);
        EXPECT_TRUE(doc->PrintBorderless);
        EXPECT_FALSE(doc->PicturesHaveShadows);
        EXPECT_EQ(doc->Layouttypen, 0);
        EXPECT_EQ(doc->ScreenMode, 0);
        EXPECT_EQ(doc->DocType, 0);
        ASSERT_EQ(doc->Pages.Count(), 12);
        for (int m = 1; m <= 12; ++m) {
            const TFBPage* page = doc->Pages.GetPage(m - 1);
            ASSERT_EQ(page->Calendars.Count(), 1);
            const auto* cal = static_cast<const TFBKalenderElement*>(page->Calendars.GetItem(0));
            EXPECT_EQ(cal->KalenderData->Monat(), m);
            EXPECT_EQ(cal->KalenderData->Jahr(), 2027);
            EXPECT_EQ(cal->KalenderData->Typ, c.Typ);
            EXPECT_EQ(cal->KalenderData->FontHeight, c.FontHeight);
            EXPECT_NEAR(cal->GetLeft(), c.Kalender.Left, 1e-3);
            EXPECT_NEAR(cal->GetTop(), c.Kalender.Top, 1e-3);
            EXPECT_EQ(cal->Width, c.Kalender.Width);
            EXPECT_EQ(cal->Height, c.Kalender.Height);
            EXPECT_EQ(page->Elements.Count(), 0);
            ExpectFrames(page, c.Frames);
        }
    }

    // The bases alone build no pages.
    auto doc = UsedDocument();
    SetupKalenderA5(doc.get());
    EXPECT_EQ(doc->Pages.Count(), 0);
    EXPECT_EQ(doc->PageHeight, 148.5f);
    EXPECT_EQ(doc->PrintSetting, 8);
}

TEST(ProductCatalogue, CalendarStylesSetTheirValues)
{
    // The font of every style part is "Trebuchet MS" where installed.
    TFont probe;
    SetFontNameInstalled(probe, "Trebuchet MS");
    const AnsiString ts = probe.Name();
    EXPECT_TRUE(ts == "Trebuchet MS" || ts == "Arial");

    struct Case {
        void (*Style)(TKalenderData&);
        TFontStyles FontStyle;
        int32_t FTextAlign;
        bool ShowWochentage;
        float WochentagFontHeight;
        TColor WochentagColorZeile;
        TFontStyles MonatJahrStyle;
        TColor MonatJahrColor;
        float MonatJahrSize, MonatJahrFontHeight;
        int32_t MonatJahrTextAlign;
        bool OnBottom, Zweizeilig;
        TPaddingData RowSpacing, MonatJahrRowSpacing;
    } cases[] = {
        {StyleKalenderA4PictureBottom, 0, 9, true, 33, 0xDDDDDD, fsItalic, 0x333333, 15, 40, 5, false, false, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {StyleKalenderA4PictureTop, 0, 5, true, 47, 0xD0D0D0, fsItalic, 0x333333, 20, 45, 5, true, false, {0, 10, 0, 10}, {0, 0, 0, 0}},
        {StyleKalenderA4StripBottom, 0, 5, false, 50, KalenderNoColor, fsItalic, 0x333333, 55, 80, 6, false, false, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {StyleKalenderA4StripRight, fsBold, 6, false, 50, KalenderNoColor, fsItalic, 0xFFFFFF, 6.7f, 35, 6, true, true, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {StyleKalenderA5PictureLeft, 0, 5, true, 47, 0xD0D0D0, fsItalic, 0xFFFFFF, 20, 45, 5, true, true, {0, 32, 0, 32}, {0, 30, 0, 0}},
        {StyleKalenderA5SevenPictures, 0, 5, true, 45, 0x808080, fsItalic, clBlack, 15, 60, 5, false, false, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {StyleKalenderA5StripBottom, 0, 5, false, 50, KalenderNoColor, fsItalic, 0x333333, 50, 70, 6, false, false, {0, 0, 0, 0}, {0, 0, 0.8f, 0}},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(index++);
        TKalenderData d;
        d.SetMonat(7);
        d.SetJahr(2030);
        d.Typ = 2;
        d.FontHeight = 999;  // replaced by the defaults or the style
        c.Style(d);
        EXPECT_EQ(d.Monat(), 7);
        EXPECT_EQ(d.Jahr(), 2030);
        EXPECT_EQ(d.Typ, 2);
        EXPECT_EQ(d.Font.Name(), ts);
        EXPECT_EQ(d.Font.Style(), c.FontStyle);
        EXPECT_EQ(d.FTextAlign, c.FTextAlign);
        EXPECT_EQ(d.ShowWochentage, c.ShowWochentage);
        EXPECT_EQ(d.WochentagFontHeight, c.WochentagFontHeight);
        EXPECT_EQ(d.WochentagColorZeile, c.WochentagColorZeile);
        EXPECT_EQ(d.MonatJahrFont.Name(), ts);
        EXPECT_EQ(d.MonatJahrFont.Style(), c.MonatJahrStyle);
        EXPECT_EQ(d.MonatJahrFont.Color(), c.MonatJahrColor);
        EXPECT_EQ(d.MonatJahrSize, c.MonatJahrSize);
        EXPECT_EQ(d.MonatJahrFontHeight, c.MonatJahrFontHeight);
        EXPECT_EQ(d.MonatJahrTextAlign, c.MonatJahrTextAlign);
        EXPECT_EQ(d.ShowMonatJahrOnBottom, c.OnBottom);
        EXPECT_EQ(d.MonatJahrZweizeilig, c.Zweizeilig);
        const auto pad = [](const TPaddingData& p) { return std::vector<float>{p.Left, p.Top, p.Right, p.Bottom}; };
        EXPECT_EQ(pad(d.RowSpacing), pad(c.RowSpacing));
        EXPECT_EQ(pad(d.MonatJahrRowSpacing), pad(c.MonatJahrRowSpacing));
    }

    // Weekday fonts: bold; white on the grey row of the seven-pictures style.
    TKalenderData d;
    StyleKalenderA5SevenPictures(d);
    EXPECT_EQ(d.WochentagFont.Style(), fsBold);
    EXPECT_EQ(d.WochentagFont.Color(), 0xFFFFFF);
    StyleKalenderA4PictureBottom(d);
    EXPECT_EQ(d.WochentagFont.Style(), fsBold);
    EXPECT_EQ(d.WochentagFont.Color(), clBlack);
    EXPECT_EQ(d.ColorZellen, 0xDDDDDD);
    EXPECT_EQ(d.CellSpacing.Left, 7.0f);
    EXPECT_EQ(d.CellPadding.Bottom, 7.0f);
}

TEST(ProductCatalogue, FontNamesFallBackToArial)
{
    const QStringList families = QFontDatabase::families();
    ASSERT_FALSE(families.isEmpty());
    const AnsiString installed = toAnsi(families.front());

    TFont font;
    SetFontNameFirstInstalled(font, {"No Such Font 123", installed});
    EXPECT_EQ(font.Name(), installed);
    SetFontNameFirstInstalled(font, {AnsiLowerCase(installed)});
    EXPECT_EQ(font.Name(), AnsiLowerCase(installed));
    SetFontNameFirstInstalled(font, {"No Such Font 123"});
    EXPECT_EQ(font.Name(), "Arial");
    font.SetName("x");
    SetFontNameFirstInstalled(font, {});
    EXPECT_EQ(font.Name(), "Arial");
}

TEST(ProductCatalogue, EveryPaperOfTheProductsHasACaption)
{
    const struct {
        void (*Setup)(TFBDocument*, int);
        const char* Caption;
    } cases[] = {
        {SetupPocketBookletFullsize, "10x15 cm (4x6 Zoll)"},
        {SetupSingles10x15, "10x15 cm (4x6 Zoll)"},
        {SetupPhotobook86, "Legal"},
        {SetupDINA4, "DIN A4"},
    };
    for (const auto& c : cases) {
        TFBDocument doc;
        c.Setup(&doc, 2);
        EXPECT_EQ(doc.GetPrintPaperCaption(), c.Caption);
    }
}
