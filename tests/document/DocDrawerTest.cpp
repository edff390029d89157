#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <memory>
#include <vector>

#include "Canvas.h"
#include "FBPictureElement.h"
#include "SysUtils.h"
#include "uBitmapDrawContext.h"
#include "uDocDrawer.h"
#include "uFotobuchDocument.h"

namespace {

constexpr float kScale = 2;  // pixels per millimetre
constexpr QRgb kBackground = 0xFF000000u;

QRgb Rgb(TColor C) { return qRgb(C & 0xFF, (C >> 8) & 0xFF, (C >> 16) & 0xFF); }

// An element that fills its rectangle, notes the modes it was drawn with and
// can throw instead.
class TProbeElement : public TFBElement {
public:
    TProbeElement(TFBPage* APage, TColor AColor) : TFBElement(APage), Color(AColor) {}
    void Draw(TDrawContext& DC, uint8_t Mode) override
    {
        Modes.push_back(Mode);
        if (Throws)
            throw Exception("probe failed");
        DC.SetPenStyle(psClear);
        DC.GetBrush().SetStyle(bsSolid);
        DC.GetBrush().SetColor(Color);
        DC.RectangleCentered(CenterX, CenterY, Width, Height);
        DC.SetPenStyle(psSolid);
    }
    TColor Color;
    bool Throws = false;
    std::vector<uint8_t> Modes;
};

template <class T>
T* Place(TFBElementList& List, std::unique_ptr<T> E, float CX, float CY, float W, float H)
{
    E->CenterX = CX;
    E->CenterY = CY;
    E->Width = W;
    E->Height = H;
    T* raw = E.get();
    List.Add(std::move(E));
    return raw;
}

// A document of Count pages of 100 x 50 mm, page i coloured PageColour(i).
TColor PageColour(int I) { return RGB(40 + 50 * I, 200 - 40 * I, 90); }

std::unique_ptr<TFBDocument> MakeDocument(int Count)
{
    auto doc = std::make_unique<TFBDocument>();
    doc->PageWidth = 100;
    doc->PageHeight = 50;
    doc->Stegbreite = 2;
    doc->Umschlagbreite = 4;
    doc->PicturesHaveShadows = false;
    for (int i = 0; i < Count; ++i) {
        auto page = std::make_unique<TFBPage>(doc.get());
        page->PageColor = PageColour(i);
        doc->Pages.Add(std::move(page));
    }
    return doc;
}

struct Surface {
    TBitmap Bitmap;
    std::unique_ptr<TBitmapDrawContext> DC;
    Surface(float W, float H)
    {
        Bitmap.SetSize(int(W * kScale), int(H * kScale));
        Bitmap.Image().fill(kBackground);
        DC = std::make_unique<TBitmapDrawContext>(Bitmap);
        DC->Transformation->ScaleUniform(kScale);
    }
    QRgb At(float X, float Y) { return Bitmap.Image().pixel(int(X * kScale), int(Y * kScale)) | 0xFF000000u; }
    // Whether a pixel within R pixels of (X, Y) mm has colour C.
    bool Near(float X, float Y, QRgb C, int R = 2)
    {
        const QImage& img = Bitmap.Image();
        for (int y = int(Y * kScale) - R; y <= int(Y * kScale) + R; ++y)
            for (int x = int(X * kScale) - R; x <= int(X * kScale) + R; ++x)
                if (img.valid(x, y) && (img.pixel(x, y) | 0xFF000000u) == C)
                    return true;
        return false;
    }
};

}  // namespace

// Background and outline, then pictures, calendars and free elements in that
// order, all clipped to the page.
TEST(DocumentDrawer, PageDrawsListsInOrderInsideThePage)
{
    auto doc = MakeDocument(1);
    TFBPage* page = doc->Pages.GetPage(0);
    auto* picture = Place(page->Pictures, std::make_unique<TFBPictureElement>(page), 30, 25, 40, 30);
    picture->FillWithColor(RGB(255, 0, 0));
    auto* calendar = Place(page->Calendars, std::make_unique<TFBKalenderElement>(page), 50, 25, 30, 20);
    calendar->KalenderData->SetJahr(2021);
    calendar->KalenderData->SetMonat(2);
    calendar->KalenderData->ShowMonatJahr = false;
    calendar->KalenderData->ShowWochentage = false;
    calendar->KalenderData->Color = RGB(0, 255, 0);
    auto* probe = Place(page->Elements, std::make_unique<TProbeElement>(page, RGB(0, 0, 255)), 62, 25, 20, 10);
    Place(page->Elements, std::make_unique<TProbeElement>(page, RGB(255, 0, 255)), 100, 40, 20, 10);

    Surface s(120, 70);
    s.DC->Transformation->Translate(10, 10);
    DocumentDrawer().DrawPage(*page, *s.DC, 1, false);

    const QRgb paper = Rgb(PageColour(0));
    auto at = [&](float X, float Y) { return s.At(X + 10, Y + 10); };
    EXPECT_EQ(at(80, 10), paper);
    EXPECT_EQ(at(15, 25), qRgb(255, 0, 0));   // picture alone
    EXPECT_EQ(at(35.5f, 15.5f), qRgb(0, 255, 0));  // calendar over the picture
    EXPECT_EQ(at(64.6f, 15.3f), qRgb(0, 255, 0));
    EXPECT_EQ(at(60, 25), qRgb(0, 0, 255));   // free element over the calendar
    EXPECT_EQ(at(95, 40), qRgb(255, 0, 255));
    EXPECT_EQ(at(105, 40), kBackground);      // cut at the page edge
    EXPECT_EQ(at(-5, 25), kBackground);
    EXPECT_TRUE(s.Near(10, 30, qRgb(0xD0, 0xD0, 0xD0)));  // page outline
    EXPECT_EQ(probe->Modes, std::vector<uint8_t>{1});
    EXPECT_FALSE(s.DC->Canvas->HasClipRegion());
    EXPECT_TRUE(s.DC->ClipStack.empty());
}

TEST(DocumentDrawer, EmptyFramesOutlinedOnlyWhenNotBare)
{
    for (bool bare : {false, true}) {
        SCOPED_TRACE(bare);
        auto doc = MakeDocument(1);
        TFBPage* page = doc->Pages.GetPage(0);
        Place(page->Pictures, std::make_unique<TFBPictureElement>(page), 50, 25, 40, 20);
        auto* turned = Place(page->Pictures, std::make_unique<TFBPictureElement>(page), 85, 25, 10, 30);
        turned->Angle = 90;  // lies across: 30 x 10 mm
        Surface s(100, 50);
        s.DC->SetPenStyle(psClear);  // as a caller may leave it
        DocumentDrawer().DrawPage(*page, *s.DC, 0, bare);
        const QRgb grey = qRgb(0xC0, 0xC0, 0xC0);
        EXPECT_EQ(s.Near(30, 25, grey), !bare);
        EXPECT_EQ(s.Near(50, 15, grey), !bare);
        EXPECT_EQ(s.Near(85, 20, grey), !bare);
        EXPECT_FALSE(s.Near(85, 10.5f, grey));  // not upright
        // no fill inside the frame; the bare page has no background either
        EXPECT_EQ(s.At(50, 25), bare ? kBackground : Rgb(PageColour(0)));
        EXPECT_EQ(s.DC->GetBrush().Style(), bsSolid);
    }
}

// A failing element leaves the clip as it was before the page.
TEST(DocumentDrawer, ClipRestoredWhenAnElementThrows)
{
    auto doc = MakeDocument(1);
    TFBPage* page = doc->Pages.GetPage(0);
    auto* probe = Place(page->Elements, std::make_unique<TProbeElement>(page, 0), 50, 25, 20, 10);
    probe->Throws = true;
    Surface s(100, 50);
    s.DC->ClipRect(10, 10, 60, 40, RGN_COPY);
    const QRegion before = s.DC->Canvas->ClipRegion();
    EXPECT_THROW(DocumentDrawer().DrawPage(*page, *s.DC, 0, true), Exception);
    EXPECT_TRUE(s.DC->Canvas->HasClipRegion());
    EXPECT_EQ(s.DC->Canvas->ClipRegion(), before);
    EXPECT_TRUE(s.DC->ClipStack.empty());
}

// Which pages a screen shows and where, by the document's screen mode.
TEST(DocumentDrawer, SpreadPlacesThePagesOfTheScreen)
{
    const QRgb cover = qRgb(0xF0, 0xF0, 0xF0);
    const QRgb backdrop = qRgb(60, 60, 60);
    struct Probe {
        float X, Y;
        QRgb Expected;
    };
    struct Case {
        const char* Name;
        uint8_t ScreenMode;
        int Pages;
        int Screen;
        std::vector<Probe> Probes;
    };
    const Case cases[] = {
        {"cover screen 0: only page 0, on the right", 1, 4, 0,
         {{50, 25, cover}, {156, 29, Rgb(PageColour(0))}, {105, 29, cover}, {211.5f, 30, backdrop},
          {1.5f, 59, kBackground}, {209, 1.5f, cover}}},
        {"cover screen 1: pages 1 and 2", 1, 4, 1,
         {{54, 29, Rgb(PageColour(1))}, {156, 29, Rgb(PageColour(2))}, {105, 29, cover}, {2, 2, cover},
          {2, 29, cover}, {103, 29, Rgb(PageColour(1))}, {54, 2.5f, cover}, {54, 53, Rgb(PageColour(1))},
          {203, 53, Rgb(PageColour(2))}, {207, 29, cover}}},
        {"cover, last screen: page 3 on the left", 1, 4, 2,
         {{54, 29, Rgb(PageColour(3))}, {156, 29, cover}}},
        {"spread: pages 2 and 3", 2, 4, 1,
         {{50, 25, Rgb(PageColour(2))}, {150, 25, Rgb(PageColour(3))}, {150, 55, kBackground}}},
        {"spread whose right page is missing", 2, 3, 1,
         {{50, 25, Rgb(PageColour(2))}, {150, 25, kBackground}}},
        {"single pages", 0, 3, 1, {{50, 25, Rgb(PageColour(1))}, {150, 25, kBackground}}},
        {"single page beyond the list", 0, 3, 3, {{50, 25, kBackground}}},
        {"unknown screen mode draws nothing", 5, 3, 0, {{50, 25, kBackground}, {2, 2, kBackground}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        auto doc = MakeDocument(c.Pages);
        doc->ScreenMode = c.ScreenMode;
        Surface s(220, 70);
        s.DC->GetBrush().SetColor(RGB(60, 60, 60));
        DocumentDrawer().DrawSpread(*doc, *s.DC, c.Screen, 0);
        for (const Probe& p : c.Probes)
            EXPECT_EQ(s.At(p.X, p.Y), p.Expected) << p.X << "," << p.Y;
        EXPECT_EQ(s.DC->Transformation->StackCount(), 0);
    }
}
