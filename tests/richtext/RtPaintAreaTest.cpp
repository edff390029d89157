#include "RtInputTestSupport.h"

#include "RtObject.h"

#include <QBuffer>
#include <QPainter>
#include <QWidget>

namespace {

class PaintArea : public RtInputTest {
protected:
    void SetUp() override
    {
        RtInputTest::SetUp();
        Layout({"abc", "def"}, 200, 300, 200);
        E->PaperColor = 0x00FF00;
        E->DefaultTextColor = clBlack;
    }
    // The surface pixel as a colour value (0x00BBGGRR).
    TColor At(int X, int Y) const
    {
        const QRgb c = E->Surface().pixel(X, Y);
        return TColor(qRed(c) | (qGreen(c) << 8) | (qBlue(c) << 16));
    }
    // A red picture of Size x Size pixels in the text's object list.
    TTextObj* AddRedPicture(int Size)
    {
        auto obj = std::make_unique<TRtOImageObject>();
        QImage red(Size, Size, QImage::Format_RGB32);
        red.fill(Qt::red);
        QByteArray bytes;
        QBuffer b(&bytes);
        b.open(QIODevice::WriteOnly);
        red.save(&b, "PNG");
        obj->SetPicture(bytes, "PNG");
        return E->ObjRefList()->AddObject(obj.release());
    }
    // Lines of 22 pixels: the text ends at y 44, starting at x 96.
};

TEST_F(PaintArea, TheFreeAreaBelowTheTextTakesThePaperOrTheDesktopColour)
{
    E->Surface().fill(Qt::black);
    E->Refresh();
    EXPECT_EQ(At(150, 100), 0x00FF00);
    EXPECT_EQ(At(5, 30), 0x00FF00);
    // The page-layout view fills it with the desktop colour.
    E->LayoutFlags = lfPageLayoutView;
    E->GapColor = 0x0000FF;
    E->Refresh();
    EXPECT_EQ(At(150, 100), 0x0000FF);
    // Nothing is painted while updates are locked.
    E->LayoutFlags = 0;
    E->UpdatesLocked = true;
    E->Refresh();
    EXPECT_EQ(At(150, 100), 0x0000FF);
}

TEST_F(PaintArea, BackgroundTilesRepeatFromTheScrolledOrigin)
{
    // A tile of 10 x 10: red above, blue below.
    QImage tile(10, 10, QImage::Format_RGB32);
    tile.fill(Qt::blue);
    QPainter(&tile).fillRect(0, 0, 10, 5, Qt::red);
    E->BackgroundPicture = tile;
    TCanvas c(&E->Surface());
    E->Surface().fill(Qt::black);
    EXPECT_TRUE(E->PaintBackground(&c, TRect{0, 25, 40, 45}, nullptr, 0, 0, 0));
    c.Flush();
    // At 2.5 tile heights the lower half of a tile comes first; columns repeat.
    EXPECT_EQ(At(3, 25), 0xFF0000);
    EXPECT_EQ(At(33, 25), 0xFF0000);
    EXPECT_EQ(At(3, 30), 0x0000FF);
    EXPECT_EQ(At(3, 24), 0x000000);   // outside the rectangle
    // Scrolled by 5, the tile rows move with the text.
    E->TopY = 5;
    E->PaintBackground(&c, TRect{0, 25, 40, 45}, nullptr, 0, 0, 0);
    c.Flush();
    EXPECT_EQ(At(3, 25), 0x0000FF);
    // A tile of no size paints nothing; the engine's no-background option reports success.
    E->BackgroundPicture = QImage();
    EXPECT_FALSE(E->PaintBackground(&c, TRect{0, 0, 10, 10}, nullptr, 0, 0, 0));
    E->EngineOptions |= eoNoBackground;
    EXPECT_TRUE(E->PaintBackground(&c, TRect{0, 0, 10, 10}, nullptr, 0, 0, 0));
}

TEST_F(PaintArea, ZoomDrawsTheLayoutLarger)
{
    E->Refresh();
    // At 100 the second line's text starts at x 96, y 22.
    const QImage at100 = E->Surface().copy();
    E->SetZooming(200);
    E->Refresh();
    // The first line's band is twice as high: its paper shows at y 30 beside the letters.
    int dark100 = 0, dark200 = 0;
    for (int y = 0; y < 44; ++y)
        for (int x = 96; x < 126; ++x)
            dark100 += qGray(at100.pixel(x, y)) < 100;
    for (int y = 0; y < 88; ++y)
        for (int x = 192; x < 252; ++x)
            dark200 += qGray(E->Surface().pixel(x, y)) < 100;
    EXPECT_GT(dark100, 0);
    EXPECT_GT(dark200, 3 * dark100);
}

TEST_F(PaintArea, AFloatingObjectCoversTheTextUnderIt)
{
    TTextObj* ref = AddRedPicture(20);
    ref->Kind = 1;
    ref->X = 96 * 15;
    ref->Y = 0;
    ref->Width = ref->Height = 20 * 15;
    ref->AnchorPar = Par(0);
    ref->AnchorLine = Par(0)->Lines;
    E->ObjectsToPlace.push_back(ref);
    TTestOwnerControl owner;
    E->OwnerControl = &owner;
    E->Refresh();
    // The object sits over the first letters; the line beside it is painted.
    EXPECT_EQ(At(100, 10), 0x0000FF);
    EXPECT_EQ(At(115, 18), 0x0000FF);
    EXPECT_TRUE(ref->Placed);
    EXPECT_EQ(ref->ScreenX, 96);
    EXPECT_TRUE(E->ObjectsPainted);
    E->OwnerControl = nullptr;
}

class Borders : public PaintArea {};

TEST_F(Borders, BoxedParagraphsDrawTwoFramesMergedOnesOne)
{
    for (TParagraph* p = E->FirstPar; p; p = p->Next) {
        p->BrdLines = brdPresent | brdBox;
        p->BrdWidth = 30;   // one pixel
    }
    E->UpdateLayout();
    E->Refresh();
    // The first paragraph's bottom edge and the second's top edge, both drawn.
    const int mid = 150;
    EXPECT_EQ(At(mid, 21), 0x000000);
    EXPECT_EQ(At(mid, 22), 0x000000);
    // With the four side flags instead of the box the two frames merge.
    for (TParagraph* p = E->FirstPar; p; p = p->Next)
        p->BrdLines = brdPresent | brdTop | brdBottom | brdLeft | brdRight;
    E->Refresh();
    EXPECT_NE(At(mid, 21), 0x000000);
    EXPECT_NE(At(mid, 22), 0x000000);
    EXPECT_EQ(At(mid, 0), 0x000000);   // the top of the merged frame
    // The left edge runs down both paragraphs.
    const int left = E->GetParLeftPix(Par(0), false);
    EXPECT_EQ(At(left, 5), 0x000000);
    EXPECT_EQ(At(left, 30), 0x000000);
}

TEST_F(Borders, GridLinesShowOnScreenOnly)
{
    Layout({""}, 200, 300, 200);
    E->PaperColor = 0xFFFFFF;
    std::vector<TRtCellDescriptor> cells(2);
    cells[0].Text = "a";
    cells[1].Text = "b";
    TParagraph* p = Par(0);
    E->ApplyParProps(p, 2, cells.data());
    E->UpdateLayout();
    E->ViewOptions.Include(rtShowGridlines);
    E->Refresh();
    const int left = E->GetParLeftPix(Par(0), false);
    const TColor face = RtPlatform().SysColor(clBtnFace);
    EXPECT_EQ(At(left, 10), face);
    // Not for the printer (an engine that does not display).
    E->Surface().fill(Qt::white);
    E->EngineOptions |= eoNoDisplay;
    TCanvas c(&E->Surface());
    E->EngineOptions |= eoPaintAllLines;
    E->PaintingCanvas = &c;
    for (TParagraph* q = E->FirstPar; q; q = q->Next)
        for (TLine* l = q->Lines; l; l = l->Next)
            E->PaintLine(l, q);
    E->PaintingCanvas = nullptr;
    c.Flush();
    EXPECT_EQ(At(left, 10), 0xFFFFFF);
}

} // namespace

#include "RtHeaderFooter.h"

namespace {

class HeaderFooterInGap : public PaintArea {};

TEST_F(HeaderFooterInGap, NotOnTheFirstPage)
{
    E->PaperColor = 0xFFFFFF;
    TRtSpecialTextProperty* header = E->GetOrAddHeaderFooter(rtraOnAllPages, rtIsHeader);
    TParagraph* hp = nullptr;
    E->InsertPar(hp, 40);
    header->SetParagraphs(hp);
    hp->Owner = header;
    E->InsertTextAt(hp, 0, nullptr, "Head");
    E->FormatParagraphChain(hp);
    E->PrintHeaderFooter = rtrNotOnFirstPage;
    TLine* body = Par(0)->Lines;
    body->Top = 60;   // the header's 22 pixels end where the line starts
    auto greyPixels = [&](uint16_t Page) {
        body->PageNr = Page;
        E->Surface().fill(Qt::white);
        TCanvas c(&E->Surface());
        E->PaintingCanvas = &c;
        E->Canvas = &c;
        TRtLinePaintRecord rec;
        rec.Par = Par(0);
        rec.Line = body;
        E->PaintHeaderFooter(body, rec, true);
        E->PaintingCanvas = nullptr;
        E->Canvas = nullptr;
        c.Flush();
        int n = 0;
        for (int y = 38; y < 60; ++y)
            for (int x = 0; x < 300; ++x) {
                const int g = qGray(E->Surface().pixel(x, y));
                n += g > 60 && g < 200;
            }
        return n;
    };
    EXPECT_EQ(greyPixels(0), 0);
    EXPECT_GT(greyPixels(1), 10);
    E->PrintHeaderFooter = rtrOnlyOnFirstPage;
    EXPECT_GT(greyPixels(0), 10);
    EXPECT_EQ(greyPixels(1), 0);
    E->PrintHeaderFooter = rtrNever;
    EXPECT_EQ(greyPixels(1), 0);
}

} // namespace

namespace {

TEST_F(PaintArea, AParagraphObjectPaintsItselfInPlaceOfTheText)
{
    TTextObj* ref = AddRedPicture(8);
    auto* po = new TRtParObject;
    po->RefId = E->ObjRefList()->IndexOfObject(ref);
    Par(1)->Objects = po;
    Par(1)->Flags |= parfObjectPar;
    E->Refresh();
    // The second line's text area shows the picture stretched over it, not the letters.
    EXPECT_EQ(At(100, 30), 0x0000FF);
    EXPECT_EQ(At(180, 35), 0x0000FF);
    EXPECT_NE(At(100, 10), 0x0000FF);
}

} // namespace

namespace {

// An object that counts how often it is painted.
class TCountingObject : public TRtObject {
public:
    void PaintTo(TCanvas*, const TRect&) override { ++Paints; }
    int Paints = 0;
};

TEST_F(PaintArea, TransparentObjectsBehindTheTextArePaintedBeforeAndOverIt)
{
    auto add = [&](bool Transparent) {
        auto* obj = new TCountingObject;
        if (Transparent)
            obj->Color = clNone;
        TTextObj* ref = E->ObjRefList()->AddObject(obj);
        ref->Kind = 1;
        ref->PlaceMode = Transparent ? 3 : 0;
        ref->Width = ref->Height = 150;
        ref->AnchorPar = Par(0);
        ref->AnchorLine = Par(0)->Lines;
        E->ObjectsToPlace.push_back(ref);
        return obj;
    };
    TCountingObject* opaque = add(false);
    TCountingObject* transparent = add(true);
    TTestOwnerControl owner;
    E->OwnerControl = &owner;
    E->NeedsObjectPass = true;
    TCanvas c(&E->Surface());
    E->PaintRect(&c, 0, 0, 300, 200);
    c.Flush();
    EXPECT_EQ(opaque->Paints, 1);
    EXPECT_EQ(transparent->Paints, 2);
    // Without an owner control there is one pass over the text.
    E->OwnerControl = nullptr;
    E->PaintRect(&c, 0, 0, 300, 200);
    c.Flush();
    EXPECT_EQ(opaque->Paints, 2);
    EXPECT_EQ(transparent->Paints, 3);
}

// An object with a window control of its own that counts its placements.
class TControlObject : public TRtObject {
public:
    QWidget* GetControl() override { return &Control; }
    void PlaceControl(TTextObj* Ref, TCanvas* Canvas) override
    {
        Places.push_back(Ref);
        TRtObject::PlaceControl(Ref, Canvas);
    }
    QWidget Control;
    std::vector<TTextObj*> Places;
};

TEST_F(PaintArea, AVerticalScrollPlacesTheVisibleControlsOfEmbeddedObjects)
{
    Layout(std::vector<std::string>(30, "line"), 200, 300, 200);
    auto add = [&](int32_t Y) {
        auto* obj = new TControlObject;
        TTextObj* ref = E->ObjRefList()->AddObject(obj);
        ref->Kind = 1;
        ref->X = 96 * 15;
        ref->Y = Y * 15;
        ref->Width = 40 * 15;
        ref->Height = 20 * 15;
        ref->AnchorPar = Par(0);
        ref->AnchorLine = Par(0)->Lines;
        return std::pair{obj, ref};
    };
    auto [shown, shownRef] = add(30);
    auto [hidden, hiddenRef] = add(60);
    shown->Control.show();
    // A small scroll (band repaint) and a large one (whole window) each place the shown control once.
    E->ScrollDown(10);
    ASSERT_EQ(shown->Places, std::vector<TTextObj*>{shownRef});
    EXPECT_EQ(shown->Control.geometry(), QRect(96, 30 - 10, 40, 20));
    E->ScrollDown(400);
    EXPECT_EQ(shown->Places.size(), 2u);
    EXPECT_EQ(shown->Control.geometry().top(), 30 - E->DocToScreen(E->TopY));
    E->ScrollUp(E->DocToScreen(E->TopY));
    EXPECT_EQ(shown->Places.size(), 3u);
    EXPECT_EQ(shown->Control.geometry(), QRect(96, 30, 40, 20));
    EXPECT_TRUE(hidden->Places.empty());
    // Objects without a control are passed over.
    AddRedPicture(8);
    E->UpdateEmbeddedControls();
    EXPECT_EQ(shown->Places.size(), 4u);
}

} // namespace

TEST_F(PaintArea, PageBuffersAreTheBackgroundAtEveryZoom)
{
    // A page buffer red in its top left part, light yellow elsewhere; black
    // and white when monochrome.
    E->ViewOptions.Include(rtUseWatermark);
    E->PageView = true;
    E->UpdatePageMetrics(false);
    E->OnPaintPage = [](TObject*, TCanvas* C, const TRect& R, int32_t, int32_t, int32_t, TParagraph*, TLine*,
                        TRtPageBackgroundBuffer*) {
        C->Brush().SetStyle(bsSolid);
        C->Brush().SetColor(0x80FFFF);
        C->FillRect(R);
        C->Brush().SetColor(0x0000FF);
        C->FillRect(TRect{0, 0, 60, 70});
    };
    const QPoint points[] = {{40, 60}, {80, 60}, {40, 90}, {80, 90}, {140, 50}};
    for (const bool mono : {false, true}) {
        SCOPED_TRACE(mono);
        E->MonochromePageBuffers = mono;
        E->FreePageBuffers();
        E->SetZooming(100);
        E->Refresh();
        std::vector<TColor> at100;
        for (QPoint pt : points)
            at100.push_back(At(pt.x(), pt.y()));
        // The buffer reaches the window: both of its colours show, the paper does not.
        EXPECT_NE(std::find(at100.begin(), at100.end(), mono ? 0x000000 : 0x0000FF), at100.end());
        EXPECT_NE(std::find(at100.begin(), at100.end(), mono ? 0xFFFFFF : 0x80FFFF), at100.end());
        EXPECT_EQ(std::find(at100.begin(), at100.end(), 0x00FF00), at100.end());
        // At 200 the same page pixel shows twice as far out.
        E->SetZooming(200);
        E->Refresh();
        for (size_t i = 0; i < std::size(points); ++i)
            EXPECT_EQ(At(points[i].x() * 2, points[i].y() * 2), at100[i]) << i;
        // A black and white buffer stays black and white when stretched.
        if (mono)
            for (int y = 100; y < 200; ++y)
                for (int x = 0; x < 300; ++x) {
                    const TColor c = At(x, y);
                    ASSERT_TRUE(c == 0 || c == 0xFFFFFF) << x << "," << y;
                }
    }
}
