#include "../common/PlaceElement.h"
#include "FBPictureElement.h"
#include "uModalDialog.h"
#include "uFotobuchDocument.h"

#include "Canvas.h"
#include "FotobuchTestUtil.h"
#include "SysUtils.h"
#include "uBitmapDrawContext.h"
#include "uDataFile.h"
#include "uFotobuchBildManager.h"
#include "uKalenderPainter.h"
#include "uRTFDrawer.h"
#include "uShadowBitmap.h"

#include <QDialog>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>

#include <cstdio>
#include <string>

using namespace fbtest;

namespace {

// A draw context that records the image and shadow operations it is asked for.
class TRecorder : public TDrawContext {
public:
    explicit TRecorder(TBitmap& B) : TDrawContext(&B.Canvas()) {}

    void DrawImageGDIPlus(const QImage& Image, float CX, float CY, float W, float H, float Angle,
                          int32_t SrcX, int32_t SrcY, int32_t SrcW, int32_t SrcH) override
    {
        Calls.push_back(Text("image %dx%d at %g,%g %gx%g %g from %d,%d %dx%d", Image.width(),
                             Image.height(), CX, CY, W, H, Angle, SrcX, SrcY, SrcW, SrcH));
    }
    void DrawShadowRect(float CX, float CY, float W, float H, float Angle, float Blur) override
    {
        Calls.push_back(Text("shadow at %g,%g %gx%g %g blur %g", CX, CY, W, H, Angle, Blur));
    }

    std::vector<std::string> Calls;

private:
    template <class... A>
    static std::string Text(const char* Fmt, A... Args)
    {
        char buf[200];
        std::snprintf(buf, sizeof buf, Fmt, Args...);
        return buf;
    }
};

// A document of Count pages of W x H mm.
struct TDoc {
    explicit TDoc(int Count, float W = 210, float H = 297, uint8_t Mode = 0)
    {
        doc.PageWidth = W;
        doc.PageHeight = H;
        doc.ScreenMode = Mode;
        for (int i = 0; i < Count; ++i)
            doc.Pages.Add(std::make_unique<TFBPage>(&doc));
    }
    TFBPage* Page(int i) { return doc.Pages.GetPage(i); }
    TFBDocument doc;
};


int32_t AddPicture(int W, int H)
{
    auto img = std::make_unique<QImage>(W, H, QImage::Format_RGB32);
    img->fill(Qt::gray);
    return BildManager().AddBitmap(std::move(img));
}

int RefCountOf(int32_t RefIndex)
{
    const TBildManagerListItem* it = BildManager().FindItem(RefIndex);
    return it ? it->RefCount : 0;
}

std::vector<int> RectOf(const TFBPictureElement& E, uint8_t Mode = 0)
{
    TRect r;
    E.GetSourceRect(Mode, r);
    return {r.Left, r.Top, r.Right, r.Bottom};
}

bool HasRecord(TMemoryStream& Stream, const AnsiString& Key)
{
    for (const TRawRecord& r : RawRecords(Stream))
        if (r.Key == Key)
            return true;
    return false;
}

bool IsRed(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
}

} // namespace

// ---- picture frames ------------------------------------------------------------------

TEST(FotobuchPictureElement, SourceRectAndResolution)
{
    TDoc d(1);
    TFBPage* p = d.Page(0);
    auto* e = PlaceElement<TFBPictureElement>(p->Pictures, p, 100, 100, 50, 50);
    EXPECT_EQ(RectOf(*e), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(e->GetResolutionDpi(), 0);
    EXPECT_EQ(e->GetBitmap(), nullptr);
    e->SetRefIndex(AddPicture(4000, 3000));
    BildManager().Release(e->RefIndex);  // the element's reference is the only one
    ASSERT_EQ(RefCountOf(e->RefIndex), 1);

    struct {
        float W, H, Zoom, OffX, OffY;
        std::vector<int> Rect;
    } cases[] = {
        {50, 50, 1, 0.5f, 0.5f, {500, 0, 3500, 3000}},
        {50, 50, 2, 0.5f, 0.5f, {1250, 750, 2750, 2250}},
        {50, 50, 1, 0, 0.5f, {0, 0, 3000, 3000}},
        {50, 50, 1, 1, 0.5f, {1000, 0, 4000, 3000}},
        {100, 25, 1, 0.5f, 0, {0, 0, 4000, 1000}},
        {100, 25, 1, 0.5f, 0.5f, {0, 1000, 4000, 2000}},
        {100, 25, 4, 0.25f, 1, {750, 2750, 1750, 3000}},
        {0, 25, 1, 0.5f, 0.5f, {0, 0, 0, 0}},  // no division by a zero size
        {50, 0, 1, 0.5f, 0.5f, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.W << "x" << c.H << " zoom " << c.Zoom << " offsets "
                                        << c.OffX << "," << c.OffY);
        e->Width = c.W;
        e->Height = c.H;
        e->SetZoom(c.Zoom);
        e->SetOffsetX(c.OffX);
        e->SetOffsetY(c.OffY);
        EXPECT_EQ(RectOf(*e), c.Rect);
    }
    // The preview (192 x 144) in mode 1.
    e->Width = 50;
    e->Height = 50;
    e->SetZoom(1);
    e->SetOffsetX(0.5f);
    e->SetOffsetY(0.5f);
    EXPECT_EQ(RectOf(*e, 1), (std::vector<int>{24, 0, 168, 144}));

    // Dots per inch across the longer side of the frame.
    e->Width = 254;
    e->Height = 127;
    EXPECT_EQ(e->GetResolutionDpi(), 400);
    e->Width = 50;
    e->Height = 100;
    EXPECT_EQ(e->GetResolutionDpi(), 762);
    e->Width = 0;
    EXPECT_EQ(e->GetResolutionDpi(), 0);
    ASSERT_NE(e->GetBitmap(), nullptr);
    EXPECT_EQ(e->GetBitmap()->size(), QSize(4000, 3000));
}

TEST(FotobuchPictureElement, SettersAndLoadingKeepZoomAndOffsetsInRange)
{
    TFBPictureElement e(nullptr);
    e.SetZoom(0.5f);
    EXPECT_EQ(e.Zoom, 1.0f);
    e.SetZoom(9);
    EXPECT_EQ(e.Zoom, 4.0f);
    e.SetOffsetX(-3);
    EXPECT_EQ(e.OffsetX, 0.0f);
    e.SetOffsetY(2);
    EXPECT_EQ(e.OffsetY, 1.0f);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    e.SetZoom(nan);
    EXPECT_EQ(e.Zoom, 1.0f);
    e.SetOffsetY(nan);
    EXPECT_EQ(e.OffsetY, 0.0f);

    TMemoryStream stream;
    TMemoryDataFile file(stream);
    file.WriteFloat("P", "Zoom", 7);
    file.WriteFloat("P", "OffsetX", -1);
    file.WriteFloat("P", "OffsetY", 0.75);
    TFBPictureElement r(nullptr);
    r.LoadFromDataFile(file, "P");
    EXPECT_EQ(r.Zoom, 4.0f);
    EXPECT_EQ(r.OffsetX, 0.0f);
    EXPECT_EQ(r.OffsetY, 0.75f);
    // A damaged file's NaN does not get through either: it gives the default.
    file.WriteFloat("Q", "Zoom", double(nan));
    file.WriteFloat("Q", "OffsetX", double(nan));
    TFBPictureElement q(nullptr);
    q.LoadFromDataFile(file, "Q");
    EXPECT_EQ(q.Zoom, 1.0f);
    EXPECT_EQ(q.OffsetX, 0.5f);
    EXPECT_TRUE(r.CanZoomAndTrack);  // read default, unlike a new frame
    EXPECT_FALSE(TFBPictureElement(nullptr).CanZoomAndTrack);
    EXPECT_EQ(r.RefIndex, -1);
    EXPECT_EQ(r.CenterX, 10.0f);
}

TEST(FotobuchPictureElement, PictureOperationsCountReferences)
{
    QTemporaryDir dir;
    const QString file = SavePicture(dir, "bild.jpg", 300, 200);
    TDoc d(1);
    TFBPage* p = d.Page(0);
    auto* a = PlaceElement<TFBPictureElement>(p->Pictures, p, 50, 50, 40, 40);
    auto* b = PlaceElement<TFBPictureElement>(p->Pictures, p, 50, 50, 40, 40);
    auto* c = PlaceElement<TFBPictureElement>(p->Pictures, p, 50, 50, 40, 40);

    a->SetZoom(3);
    a->LoadPictureFromFile(file);
    EXPECT_EQ(a->Zoom, 1.0f);
    EXPECT_TRUE(a->CanZoomAndTrack);
    b->LoadPictureFromFile(file);
    EXPECT_EQ(a->RefIndex, b->RefIndex);
    EXPECT_EQ(BildManager().Count(), 1);
    EXPECT_EQ(RefCountOf(a->RefIndex), 2);
    const int32_t pic = a->RefIndex;

    a->SetOffsetX(0.2f);
    c->AssignPicture(*a);
    EXPECT_EQ(c->RefIndex, pic);
    EXPECT_EQ(c->OffsetX, 0.2f);
    EXPECT_EQ(RefCountOf(pic), 3);

    c->FillWithColor(0x0000FF);
    EXPECT_FALSE(c->CanZoomAndTrack);
    EXPECT_EQ(RefCountOf(pic), 2);
    ASSERT_NE(c->GetBitmap(), nullptr);
    EXPECT_EQ(c->GetBitmap()->size(), QSize(48, 48));
    EXPECT_EQ(c->GetBitmap()->pixel(10, 10), qRgb(255, 0, 0));
    const int32_t fill = c->RefIndex;
    EXPECT_EQ(RefCountOf(fill), 1);

    b->SwapPicture(*c);  // references move, counts stay
    EXPECT_EQ(b->RefIndex, fill);
    EXPECT_EQ(c->RefIndex, pic);
    EXPECT_FALSE(b->CanZoomAndTrack);
    EXPECT_EQ(RefCountOf(pic), 2);
    EXPECT_EQ(RefCountOf(fill), 1);

    // Rotating a shared picture gives the frame its own copy.
    c->RotatePicture(0);
    EXPECT_NE(c->RefIndex, pic);
    EXPECT_EQ(RefCountOf(pic), 1);
    EXPECT_EQ(BildManager().FindItem(c->RefIndex)->FileName, "Clone " + file);
    EXPECT_EQ(c->GetBitmap()->size(), QSize(200, 300));

    c->ClearPicture();
    EXPECT_FALSE(c->HasPicture());
    EXPECT_TRUE(c->CanZoomAndTrack);
    c->RotatePicture(0);  // nothing to turn
    EXPECT_FALSE(c->HasPicture());

    p->Pictures.Remove(b);
    EXPECT_EQ(BildManager().FindItem(fill), nullptr);
    p->Pictures.Remove(a);
    EXPECT_EQ(BildManager().Count(), 0);
}

TEST(FotobuchPictureElement, NextPictureAndPictureAngle)
{
    TDoc d(4);
    auto* a = PlaceElement<TFBPictureElement>(d.Page(0)->Pictures, d.Page(0), 1, 1, 1, 1);
    auto* b = PlaceElement<TFBPictureElement>(d.Page(0)->Pictures, d.Page(0), 1, 1, 1, 1);
    auto* c = PlaceElement<TFBPictureElement>(d.Page(2)->Pictures, d.Page(2), 1, 1, 1, 1);
    EXPECT_EQ(a->GetNextPictureElement(), b);
    EXPECT_EQ(b->GetNextPictureElement(), c);  // page 1 has no frames
    EXPECT_EQ(c->GetNextPictureElement(), nullptr);
    EXPECT_EQ(TFBPictureElement(nullptr).GetNextPictureElement(), nullptr);

    EXPECT_EQ(c->GetPictureAngle(), 0);
    d.Page(2)->SetOrientation(1);
    for (const auto& [angle, expected] : {std::pair{90.0f, 90}, {270.5f, 270}, {271.5f, 272}}) {
        d.doc.ScreenQuerformatWinkel = angle;
        EXPECT_EQ(c->GetPictureAngle(), expected) << angle;
    }
}

TEST(FotobuchPictureLink, FramesAcrossASpreadShareOnePicture)
{
    QTemporaryDir dir;
    const QString file = SavePicture(dir, "panorama.png", 422, 297);
    TDoc d(3, 210, 297, 1);  // page 1 left, page 2 right
    auto* left = PlaceElement<TFBPictureElement>(d.Page(1)->Pictures, d.Page(1), 105, 148.5f, 210, 297);
    auto* right = PlaceElement<TFBPictureElement>(d.Page(2)->Pictures, d.Page(2), 105, 148.5f, 210, 297);
    TFBPictureLink* link = d.doc.AddPictureLink();
    link->AddElement(left);
    link->AddElement(right);
    link->AddElement(right);
    EXPECT_EQ(link->Count(), 2);

    TRectF r;
    link->GetLinkedRect(left, r);
    EXPECT_EQ(r, (TRectF{0, 0, 422, 297}));
    link->GetLinkedRect(right, r);
    EXPECT_EQ(r, (TRectF{-212, 0, 210, 297}));

    left->LoadPictureFromFile(file);
    EXPECT_EQ(right->RefIndex, left->RefIndex);
    EXPECT_EQ(RefCountOf(left->RefIndex), 2);
    // The gutter's width of the picture lies between the two halves.
    EXPECT_EQ(RectOf(*left), (std::vector<int>{0, 0, 210, 297}));
    EXPECT_EQ(RectOf(*right), (std::vector<int>{212, 0, 422, 297}));

    right->SetZoom(2);
    right->SetBorderWidth(1);
    EXPECT_EQ(left->Zoom, 2.0f);
    EXPECT_EQ(left->BorderWidth, 1.0f);
    EXPECT_EQ(RectOf(*left), (std::vector<int>{106, 74, 210, 223}));
    EXPECT_EQ(RectOf(*right), (std::vector<int>{212, 74, 316, 223}));

    // SetRefIndex alone does not reach the linked frame.
    const int32_t shared = left->RefIndex;
    const int32_t other = AddPicture(10, 10);
    right->SetRefIndex(other);
    EXPECT_EQ(left->RefIndex, shared);

    // Removing a member dissolves the link.
    d.Page(1)->Pictures.Remove(left);
    EXPECT_EQ(d.doc.PictureLinkCount(), 0);
    EXPECT_EQ(right->Link, nullptr);

    // A frame joins one link at most.
    auto* x = PlaceElement<TFBPictureElement>(d.Page(0)->Pictures, d.Page(0), 1, 1, 1, 1);
    TFBPictureLink* l1 = d.doc.AddPictureLink();
    TFBPictureLink* l2 = d.doc.AddPictureLink();
    l1->AddElement(x);
    l2->AddElement(x);
    EXPECT_EQ(l1->Count(), 0);
    EXPECT_EQ(x->Link, l2);

    // Stored by page and picture index.
    l2->AddElement(right);
    TMemoryStream stream;
    TMemoryDataFile f(stream);
    l2->SaveToDataFile(f, "L");
    EXPECT_EQ(f.ReadInteger("L/List", "Anzahl", 0), 2);
    EXPECT_EQ(f.ReadInteger("L/List/Pic1", "PageIndex", -1), 2);
    EXPECT_EQ(f.ReadInteger("L/List/Pic1", "PicIndex", -1), 0);
}

TEST(FotobuchPictureElement, ClipboardCopyReusesAHeldPicture)
{
    QTemporaryDir dir;
    const QString file = SavePicture(dir, "bild.jpg", 64, 48);
    TDoc d(1);
    TFBPage* p = d.Page(0);
    auto* a = PlaceElement<TFBPictureElement>(p->Pictures, p, 50, 50, 40, 30);
    a->LoadPictureFromFile(file);
    a->SetZoom(1.5f);
    a->SetBorderWidth(2);
    a->SetBorderColor(0x123456);
    auto* empty = PlaceElement<TFBPictureElement>(p->Pictures, p, 5, 5, 4, 3);

    TMemoryStream clip;
    TMemoryDataFile cf(clip);
    a->SaveClipboardData(cf, "Clipboard");
    EXPECT_FALSE(HasRecord(clip, "CenterX"));  // no geometry
    EXPECT_TRUE(HasRecord(clip, "File"));
    TMemoryStream emptyClip;
    TMemoryDataFile ef(emptyClip);
    empty->SaveClipboardData(ef, "Clipboard");
    EXPECT_FALSE(HasRecord(emptyClip, "FileName"));

    auto* b = PlaceElement<TFBPictureElement>(p->Pictures, p, 150, 60, 80, 20);
    b->FillWithColor(0xFF0000);
    b->LoadClipboardData(cf, "Clipboard");
    EXPECT_EQ(BildManager().Count(), 1);  // the colour is released, the picture re-used
    EXPECT_EQ(b->RefIndex, a->RefIndex);
    EXPECT_EQ(RefCountOf(a->RefIndex), 2);
    EXPECT_EQ(b->CenterX, 150.0f);
    EXPECT_EQ(b->Width, 80.0f);
    EXPECT_EQ(b->Zoom, 1.5f);
    EXPECT_EQ(b->BorderColor, 0x123456);
    EXPECT_TRUE(b->CanZoomAndTrack);

    // An empty frame's copy leaves the target empty and adds nothing.
    b->LoadClipboardData(ef, "Clipboard");
    EXPECT_FALSE(b->HasPicture());
    EXPECT_EQ(BildManager().Count(), 1);
    EXPECT_EQ(RefCountOf(a->RefIndex), 1);

    // A picture that is not held is added.
    p->Pictures.Remove(a);
    EXPECT_EQ(BildManager().Count(), 0);
    b->LoadClipboardData(cf, "Clipboard");
    EXPECT_EQ(BildManager().Count(), 1);
    EXPECT_EQ(RefCountOf(b->RefIndex), 1);
    ASSERT_NE(b->GetBitmap(), nullptr);
    EXPECT_EQ(b->GetBitmap()->size(), QSize(64, 48));
}

TEST(FotobuchPictureElement, DrawsShadowUnlessItCoversThePage)
{
    TBitmap bmp;
    bmp.SetSize(50, 50);
    TDoc d(1, 100, 80);
    TFBPage* p = d.Page(0);
    auto* e = PlaceElement<TFBPictureElement>(p->Pictures, p, 50, 40, 100, 80);
    {
        TRecorder dc(bmp);
        e->Draw(dc, 0);  // an empty frame draws nothing
        EXPECT_TRUE(dc.Calls.empty());
    }
    e->SetRefIndex(AddPicture(200, 100));
    BildManager().Release(e->RefIndex);
    struct {
        float CX, W, Angle;
        bool Shadows;
        uint8_t Mode;
        std::vector<std::string> Calls;
    } cases[] = {
        {50, 100, 0, true, 0, {"image 200x100 at 50,40 100x80 0 from 38,0 125x100"}},
        {50, 100, 10, true, 0, {"image 200x100 at 50,40 100x80 10 from 38,0 125x100"}},
        {49, 100, 10, true, 0,
         {"shadow at 50.5,41.5 100x80 10 blur 1.5", "image 200x100 at 49,40 100x80 10 from 38,0 125x100"}},
        {50, 99, 0, true, 1,
         {"shadow at 51.5,41.5 99x80 0 blur 1.5", "image 192x96 at 50,40 99x80 0 from 37,0 119x96"}},
        {49, 100, 10, false, 0, {"image 200x100 at 49,40 100x80 10 from 38,0 125x100"}},
    };
    for (const auto& c : cases) {
        e->CenterX = c.CX;
        e->Width = c.W;
        e->Angle = c.Angle;
        d.doc.PicturesHaveShadows = c.Shadows;
        TRecorder dc(bmp);
        e->Draw(dc, c.Mode);
        EXPECT_EQ(dc.Calls, c.Calls);
        EXPECT_TRUE(dc.ClipStack.empty());
    }
}

TEST(FotobuchPictureElement, LinkedBorderStaysOpenTowardsTheGutter)
{
    TDoc d(3, 100, 50, 1);
    d.doc.PicturesHaveShadows = false;
    auto* left = PlaceElement<TFBPictureElement>(d.Page(1)->Pictures, d.Page(1), 80, 25, 40, 20);
    auto* right = PlaceElement<TFBPictureElement>(d.Page(2)->Pictures, d.Page(2), 20, 25, 40, 20);
    auto* single = PlaceElement<TFBPictureElement>(d.Page(1)->Pictures, d.Page(1), 30, 25, 20, 20);
    for (TFBPictureElement* e : {left, right, single}) {
        e->FillWithColor(0xFFFFFF);
        e->SetBorderWidth(2);
        e->SetBorderColor(0x0000FF);  // red
    }
    TFBPictureLink* link = d.doc.AddPictureLink();
    link->AddElement(left);
    link->AddElement(right);

    auto render = [](TFBPictureElement* e) {
        auto bmp = std::make_unique<TBitmap>();
        bmp->SetSize(220, 100);
        TBitmapDrawContext dc(*bmp);
        dc.Transformation->ScaleUniform(2);
        e->Draw(dc, 0);
        return bmp;
    };
    auto l = render(left);  // frame from 60 to 100 mm: pixels 120 to 200
    EXPECT_TRUE(IsRed(l->Image().pixel(120, 50)));
    EXPECT_TRUE(IsRed(l->Image().pixel(160, 30)));
    EXPECT_FALSE(IsRed(l->Image().pixel(200, 50)));
    auto r = render(right);  // frame from 0 to 40 mm
    EXPECT_FALSE(IsRed(r->Image().pixel(0, 50)));
    EXPECT_FALSE(IsRed(r->Image().pixel(1, 50)));
    EXPECT_TRUE(IsRed(r->Image().pixel(80, 50)));
    EXPECT_TRUE(IsRed(r->Image().pixel(40, 70)));
    auto s = render(single);  // 20 to 40 mm, closed
    EXPECT_TRUE(IsRed(s->Image().pixel(40, 50)));
    EXPECT_TRUE(IsRed(s->Image().pixel(80, 50)));
    EXPECT_FALSE(IsRed(s->Image().pixel(60, 50)));
}

// ---- text ----------------------------------------------------------------------------

namespace {

const char* const kRtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Sans;}}\\f0\\fs40 Hallo Welt\\par}";

} // namespace

TEST(FotobuchTextElement, ShadowIsMadeAgainOnlyWhenItChanges)
{
    TDoc d(1);
    auto* t = PlaceElement<TFBTextElement>(d.Page(0)->Elements, d.Page(0), 60, 40, 50, 20);
    t->Drawer->SetRTFText(kRtf);
    EXPECT_EQ(t->Shadow, nullptr);
    t->SetHasShadow(true);
    ASSERT_NE(t->Shadow, nullptr);
    EXPECT_TRUE(t->HasShadow());

    TBitmap page;
    page.SetSize(200, 150);
    auto draw = [&] {
        TBitmapDrawContext dc(page);
        dc.Transformation->ScaleUniform(2);
        t->Draw(dc, 0);
        EXPECT_EQ(dc.Transformation->StackCount(), 0);
    };
    draw();
    EXPECT_FALSE(t->ShadowDirty);
    EXPECT_EQ(t->Shadow->Width(), 307);  // 52 mm at 150 dpi
    EXPECT_EQ(t->Shadow->Height(), 130);
    EXPECT_EQ(t->ShadowAreaWidth, 52.0f);

    const QRgb mark = 0x12345678;
    auto marked = [&] { return t->Shadow->Image().pixel(0, 0) == mark; };
    t->Shadow->Image().setPixel(0, 0, mark);
    t->CenterX = 80;
    t->Angle = 30;
    draw();
    EXPECT_TRUE(marked());  // moved and turned: the same shadow

    t->Width = 60;
    draw();
    EXPECT_FALSE(marked());
    EXPECT_EQ(t->Shadow->Width(), 366);
    EXPECT_EQ(t->ShadowWidth, 60.0f);

    struct {
        const char* What;
        std::function<void()> Change;
    } changes[] = {
        {"text", [&] { t->Drawer->SetRTFText(kRtf); }},
        {"horizontal alignment", [&] { t->SetHorzAlign(2); }},
        {"vertical alignment", [&] { t->SetVertAlign(1); }},
        {"shadow switch", [&] { t->SetHasShadow(true); }},
    };
    for (const auto& c : changes) {
        t->Shadow->Image().setPixel(0, 0, mark);
        c.Change();
        EXPECT_TRUE(t->ShadowDirty) << c.What;
        draw();
        EXPECT_FALSE(marked()) << c.What;
    }

    t->SetHasShadow(false);
    EXPECT_EQ(t->Shadow, nullptr);
    EXPECT_FALSE(t->HasShadow());
    draw();  // no shadow to make or draw
}

TEST(FotobuchTextElement, TextIsDrawnInsideItsBoxOnly)
{
    TDoc d(1);
    auto* t = PlaceElement<TFBTextElement>(d.Page(0)->Elements, d.Page(0), 50, 25, 30, 6);
    t->Drawer->SetRTFText(
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Sans;}}\\f0\\fs72 WWWWWWWWWWWWWWWWWWWW WWWW\\par}");
    TBitmap page;
    page.SetSize(400, 200);
    page.Canvas().Brush().SetColor(clWhite);
    page.Canvas().FillRect(TRect{0, 0, 400, 200});
    {
        TBitmapDrawContext dc(page);
        dc.Transformation->ScaleUniform(4);
        t->Draw(dc, 0);
        EXPECT_TRUE(dc.ClipStack.empty());
        EXPECT_EQ(dc.GetBrush().Style(), bsSolid);
    }
    // The box is 35..65 x 22..28 mm, pixels 140..260 x 88..112.
    int inside = 0, outside = 0;
    const QImage& img = page.Image();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            if (qGray(img.pixel(x, y)) > 128)
                continue;
            if (x >= 139 && x <= 261 && y >= 87 && y <= 113)
                ++inside;
            else
                ++outside;
        }
    EXPECT_GT(inside, 500);
    EXPECT_EQ(outside, 0);
}

TEST(FotobuchTextElement, ShadowOnAContextWithoutPixelAccessDrawsAndLeavesTheStackBalanced)
{
    TFBTextElement t(nullptr);
    t.Width = 20;
    t.Height = 10;
    t.SetHasShadow(true);
    TBitmap bmp;
    bmp.SetSize(10, 10);
    TDrawContext dc(&bmp.Canvas());
    EXPECT_NO_THROW(t.Draw(dc, 0));
    EXPECT_EQ(dc.Transformation->StackCount(), 0);
}

TEST(FotobuchTextElement, KeysAndClipboardCopy)
{
    TDoc d(3, 210, 297, 1);
    auto* t = PlaceElement<TFBTextElement>(d.Page(1)->Elements, d.Page(1), 60, 40, 50, 20, 15);
    t->Drawer->SetRTFText(kRtf);
    t->SetHasShadow(true);
    t->SetHorzAlign(3);
    t->SetVertAlign(1);
    t->NewText = true;

    TMemoryStream clip;
    TMemoryDataFile cf(clip);
    t->SaveClipboardData(cf, "Clipboard");
    std::vector<std::pair<AnsiString, std::vector<uint8_t>>> keys;
    for (const TRawRecord& r : RawRecords(clip))
        keys.emplace_back(r.Key, r.Data);
    ASSERT_EQ(keys.size(), 11u);
    EXPECT_EQ(keys[0], (std::pair<AnsiString, std::vector<uint8_t>>{"Classname", Str("TFBTextElement")}));
    EXPECT_EQ(keys[5].first, "Angle");
    EXPECT_EQ(keys[6], (std::pair<AnsiString, std::vector<uint8_t>>{"IsLeftPage", Bool(true)}));
    EXPECT_EQ(keys[7], (std::pair<AnsiString, std::vector<uint8_t>>{"RTF", Str(kRtf)}));
    EXPECT_EQ(keys[8], (std::pair<AnsiString, std::vector<uint8_t>>{"HasShadow", Bool(true)}));
    EXPECT_EQ(keys[9], (std::pair<AnsiString, std::vector<uint8_t>>{"HorzAlign", I32(3)}));
    EXPECT_EQ(keys[10], (std::pair<AnsiString, std::vector<uint8_t>>{"VertAlign", I32(1)}));

    auto* u = PlaceElement<TFBTextElement>(d.Page(2)->Elements, d.Page(2), 1, 1, 1, 1);
    u->LoadClipboardData(cf, "Clipboard");
    EXPECT_EQ(u->CenterX, 60.0f);
    EXPECT_EQ(u->Angle, 15.0f);
    EXPECT_EQ(u->Drawer->RTFText(), kRtf);
    EXPECT_TRUE(u->HasShadow());
    EXPECT_TRUE(u->ShadowDirty);
    EXPECT_EQ(u->HorzAlign, 3);
    EXPECT_EQ(u->VertAlign, 1);
    EXPECT_FALSE(u->NewText);

    TMemoryStream right;
    TMemoryDataFile rf(right);
    u->SaveClipboardData(rf, "Clipboard");
    EXPECT_FALSE(rf.ReadBool("Clipboard", "IsLeftPage", true));
}

// ---- clip-art ------------------------------------------------------------------------

TEST(FotobuchClipartElement, LoadFromFileFitsHalfThePage)
{
    QTemporaryDir dir;
    TDoc d(1);
    TFBPage* p = d.Page(0);
    struct {
        int W, H;
        float Width, Height;
    } cases[] = {
        {1200, 600, 105, 52.5f},
        {600, 1200, 74.25f, 148.5f},
        {300, 300, 105, 105},
    };
    for (const auto& c : cases) {
        auto* e = PlaceElement<TFBClipartElement>(p->Elements, p, 0, 0, 0, 0);
        e->LoadFromFile(SavePicture(dir, QString("c%1x%2.png").arg(c.W).arg(c.H), c.W, c.H));
        EXPECT_EQ(e->Width, c.Width) << c.W << "x" << c.H;
        EXPECT_EQ(e->Height, c.Height) << c.W << "x" << c.H;
        EXPECT_EQ(RefCountOf(e->RefIndex), 1);
    }
    // Without a picture size the element keeps its size.
    auto* missing = PlaceElement<TFBClipartElement>(p->Elements, p, 0, 0, 7, 8);
    missing->LoadFromFile(dir.filePath("fehlt.png"));
    EXPECT_EQ(missing->Width, 7.0f);
    EXPECT_EQ(missing->Height, 8.0f);

    const int before = BildManager().Count();
    p->Elements.Delete(0);
    EXPECT_EQ(BildManager().Count(), before - 1);
}

TEST(FotobuchClipartElement, HitOnlyOnOpaquePixels)
{
    QTemporaryDir dir;
    TDoc d(1);
    TFBPage* p = d.Page(0);
    auto* under = PlaceElement<TFBPictureElement>(p->Pictures, p, 50, 25, 100, 50);
    auto* art = PlaceElement<TFBClipartElement>(p->Elements, p, 50, 25, 0, 0);
    art->LoadFromFile(SavePicture(dir, "halb.png", 40, 20, true));
    art->Width = 100;
    art->Height = 50;

    EXPECT_FALSE(art->ContainsPoint(-25, 0));
    EXPECT_TRUE(art->ContainsPoint(25, 0));
    EXPECT_TRUE(art->ContainsPoint(50, 25));  // the far corner addresses the last pixel
    EXPECT_FALSE(art->ContainsPoint(-50, -25));
    EXPECT_FALSE(art->ContainsPoint(50.1f, 0));
    EXPECT_EQ(p->FindElementAt(25, 25, 7), under);  // through the transparent half
    EXPECT_EQ(p->FindElementAt(75, 25, 7), art);

    art->Width = 0;  // no division by a zero size
    EXPECT_TRUE(art->ContainsPoint(0, 0));
    EXPECT_FALSE(art->ContainsPoint(1, 0));

    // Without alpha the box alone decides.
    auto* opaque = PlaceElement<TFBClipartElement>(p->Elements, p, 50, 25, 0, 0);
    opaque->LoadFromFile(SavePicture(dir, "voll.jpg", 40, 20));
    opaque->Width = 100;
    opaque->Height = 50;
    EXPECT_TRUE(opaque->ContainsPoint(-25, 0));
    EXPECT_TRUE(opaque->HasShadow());

    TBitmap bmp;
    bmp.SetSize(10, 10);
    TRecorder dc(bmp);
    opaque->Angle = 5;
    opaque->Draw(dc, 1);
    TFBClipartElement(nullptr).Draw(dc, 0);
    EXPECT_EQ(dc.Calls, (std::vector<std::string>{"image 40x20 at 50,25 100x50 5 from 0,0 40x20"}));
}

TEST(FotobuchClipartElement, ClipboardCopy)
{
    QTemporaryDir dir;
    TDoc d(1);
    TFBPage* p = d.Page(0);
    auto* a = PlaceElement<TFBClipartElement>(p->Elements, p, 0, 0, 0, 0);
    a->LoadFromFile(SavePicture(dir, "c.png", 30, 30, true));
    a->CenterX = 33;
    TMemoryStream clip;
    TMemoryDataFile cf(clip);
    a->SaveClipboardData(cf, "Clipboard");
    EXPECT_TRUE(HasRecord(clip, "IsLeftPage"));
    EXPECT_FALSE(HasRecord(clip, "RefIndex"));

    auto* b = PlaceElement<TFBClipartElement>(p->Elements, p, 0, 0, 0, 0);
    b->LoadClipboardData(cf, "Clipboard");
    EXPECT_EQ(b->RefIndex, a->RefIndex);
    EXPECT_EQ(b->CenterX, 33.0f);
    EXPECT_EQ(BildManager().Count(), 1);
    EXPECT_EQ(RefCountOf(a->RefIndex), 2);
}

// ---- calendars -----------------------------------------------------------------------

TEST(FotobuchKalenderElement, PainterFollowsTheTypeAtEachDraw)
{
    TDoc d(1);
    auto* k = PlaceElement<TFBKalenderElement>(d.Page(0)->Calendars, d.Page(0), 50, 40, 80, 60, 30);
    ASSERT_NE(k->Painter, nullptr);
    EXPECT_NE(dynamic_cast<TKalenderPainter4x7*>(k->Painter.get()), nullptr);
    EXPECT_EQ(&k->Painter->Holidays, &d.doc.Holidays);
    EXPECT_EQ(&k->Painter->Birthdays, &d.doc.Birthdays);
    EXPECT_EQ(&k->Painter->Data, k->KalenderData.get());

    TBitmap bmp;
    bmp.SetSize(200, 200);
    TBitmapDrawContext dc(bmp);
    k->KalenderData->Typ = 1;
    k->Draw(dc, 0);
    EXPECT_NE(dynamic_cast<TKalenderPainterHorizontal*>(k->Painter.get()), nullptr);
    k->KalenderData->Typ = 2;
    k->Draw(dc, 0);
    EXPECT_NE(dynamic_cast<TKalenderPainterVertical*>(k->Painter.get()), nullptr);
    k->KalenderData->Typ = 9;
    k->Draw(dc, 0);
    EXPECT_EQ(dynamic_cast<TKalenderPainterHorizontal*>(k->Painter.get()), nullptr);
    EXPECT_EQ(dynamic_cast<TKalenderPainterVertical*>(k->Painter.get()), nullptr);
    EXPECT_NE(dynamic_cast<TKalenderPainter4x7*>(k->Painter.get()), nullptr);

    TFBKalenderElement loose(nullptr);
    EXPECT_EQ(loose.Painter, nullptr);
    loose.Draw(dc, 0);  // nothing to paint with
}

TEST(FotobuchKalenderElement, ClipboardCarriesSettingsNotGeometry)
{
    TDoc d(1);
    auto* a = PlaceElement<TFBKalenderElement>(d.Page(0)->Calendars, d.Page(0), 50, 40, 80, 60);
    a->KalenderData->SetMonat(5);
    a->KalenderData->SetJahr(2020);
    a->KalenderData->ColorZellen = 0x00FF00;
    TMemoryStream clip;
    TMemoryDataFile cf(clip);
    a->SaveClipboardData(cf, "Clipboard");
    const std::vector<TRawRecord> recs = RawRecords(clip);
    ASSERT_GT(recs.size(), 3u);
    EXPECT_EQ(recs[0].Key, "Classname");
    EXPECT_EQ(recs[1].Section, "Clipboard/KalenderData");
    EXPECT_FALSE(HasRecord(clip, "CenterX"));

    auto* b = PlaceElement<TFBKalenderElement>(d.Page(0)->Calendars, d.Page(0), 10, 20, 30, 40);
    b->LoadClipboardData(cf, "Clipboard");
    EXPECT_EQ(b->CenterX, 10.0f);
    EXPECT_EQ(b->KalenderData->Monat(), 5);
    EXPECT_EQ(b->KalenderData->Jahr(), 2020);
    EXPECT_EQ(b->KalenderData->ColorZellen, 0x00FF00);
}

TEST(FotobuchPictureElement, FilterDialogsWorkOnTheFramesOwnCopy)
{
    QTemporaryDir dir;
    const QString file = SavePicture(dir, "bild.jpg", 40, 30);
    TDoc d(1);
    TFBPage* p = d.Page(0);
    p->SetOrientation(1);
    d.doc.ScreenQuerformatWinkel = 270;
    auto* a = PlaceElement<TFBPictureElement>(p->Pictures, p, 50, 50, 40, 30);
    auto* b = PlaceElement<TFBPictureElement>(p->Pictures, p, 50, 50, 40, 30);
    auto* empty = PlaceElement<TFBPictureElement>(p->Pictures, p, 50, 50, 40, 30);
    a->LoadPictureFromFile(file);
    b->AssignPicture(*a);
    const int32_t shared = a->RefIndex;

    struct TRestore {
        ~TRestore() { ShowModalHook = Saved; }
        decltype(ShowModalHook) Saved = ShowModalHook;
    } restore;
    std::vector<QString> shown;
    bool accept = false;
    ShowModalHook = [&](QDialog& dlg) {
        shown.push_back(QString::fromLatin1(dynamic_cast<TObject&>(dlg).ClassName()));
        return int(accept ? QDialog::Accepted : QDialog::Rejected);
    };

    EXPECT_FALSE(empty->ShowHSLDlg());
    EXPECT_TRUE(shown.empty());

    EXPECT_FALSE(a->ShowHSLDlg());  // cancelled: the picture stays shared, no copy
    EXPECT_EQ(a->RefIndex, shared);
    EXPECT_EQ(RefCountOf(shared), 2);
    EXPECT_EQ(BildManager().Count(), 1);

    accept = true;
    EXPECT_TRUE(a->ShowHKIGDlg());  // applied: the frame gets its own filtered copy
    EXPECT_NE(a->RefIndex, shared);
    EXPECT_EQ(b->RefIndex, shared);
    EXPECT_EQ(RefCountOf(shared), 1);
    EXPECT_EQ(BildManager().FindItem(a->RefIndex)->FileName, "A Clone " + file);
    EXPECT_EQ(BildManager().FindItem(shared)->FileName, file);
    EXPECT_TRUE(b->ShowSWColDlg());
    EXPECT_EQ(b->RefIndex, shared);  // the only reference: no copy
    EXPECT_EQ(BildManager().FindItem(shared)->FileName, "C " + file);
    EXPECT_TRUE(b->ShowRedEyeDlg());
    EXPECT_EQ(shown, (std::vector<QString>{"TDlgFilterHSL", "TDlgFilterHKIG", "TDlgFilterSWCol",
                                           "TDlgRoteAugen"}));
    EXPECT_EQ(BildManager().Count(), 2);
}
