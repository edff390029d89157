#include "FBPictureElement.h"
#include "uFotobuchPageTemplate.h"

#include "Canvas.h"
#include "uFotobuchBildManager.h"
#include "uFotobuchDocument.h"
#include "uQwRegistry.h"

#include <QApplication>
#include <QColorDialog>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <vector>

namespace {

std::vector<uint8_t> Bytes(const TMemoryStream& S) { return {S.Bytes().begin(), S.Bytes().end()}; }

TMemoryStream StreamOf(const std::vector<uint8_t>& Bytes)
{
    TMemoryStream s;
    if (!Bytes.empty())
        s.WriteBuffer(Bytes.data(), int32_t(Bytes.size()));
    s.SetPosition(0);
    return s;
}

TFBPictureElement* Pic(TFBPage* Page, int Index)
{
    return static_cast<TFBPictureElement*>(Page->Pictures.GetItem(Index));
}

// A document of PageCount empty pages.
std::unique_ptr<TFBDocument> NewDocument(float W, float H, uint8_t ScreenMode, int PageCount)
{
    auto doc = std::make_unique<TFBDocument>();
    doc->PageWidth = W;
    doc->PageHeight = H;
    doc->ScreenMode = ScreenMode;
    for (int i = 0; i < PageCount; ++i)
        doc->Pages.Add(std::make_unique<TFBPage>(doc.get()));
    return doc;
}

// Closes the next colour dialog once it is shown, choosing Choice on accept.
void FinishColorDialog(bool Accept, QColor Choice = QColor())
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, Accept, Choice] {
        auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        if (Accept) {
            dialog->setCurrentColor(Choice);
            QColorDialog::setCustomColor(0, QColor(0x12, 0x34, 0x56));
            dialog->accept();
        } else {
            dialog->reject();
        }
        timer->deleteLater();
    });
    timer->start();
}

} // namespace

// ---- stream routines -----------------------------------------------------------------

TEST(PageTemplateStream, WritesLittleEndianFields)
{
    TMemoryStream s;
    WriteByteToStream(s, 0xAB);
    WriteIntToStream(s, -2);
    WriteSingleToStream(s, 1.5f);
    WriteStringToStream(s, "Hi\xE4");
    WriteStringToStream(s, "");
    EXPECT_EQ(Bytes(s), (std::vector<uint8_t>{0xAB, 0xFE, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xC0, 0x3F,
                                              3, 0, 0, 0, 'H', 'i', 0xE4, 0, 0, 0, 0}));
    s.SetPosition(0);
    EXPECT_EQ(ReadByteFromStream(s), 0xAB);
    EXPECT_EQ(ReadIntFromStream(s), -2);
    EXPECT_EQ(ReadSingleFromStream(s), 1.5f);
    EXPECT_EQ(ReadStringFromStream(s), "Hi\xE4");
    EXPECT_EQ(ReadStringFromStream(s), "");
}

TEST(PageTemplateStream, ShortReadsGiveZerosAndLengthsAreBoundedByTheBytesLeft)
{
    TMemoryStream empty;
    EXPECT_EQ(ReadByteFromStream(empty), 0);
    EXPECT_EQ(ReadIntFromStream(empty), 0);
    EXPECT_EQ(ReadSingleFromStream(empty), 0.0f);
    EXPECT_EQ(ReadStringFromStream(empty), "");

    TMemoryStream twoBytes = StreamOf({0x34, 0x12});
    EXPECT_EQ(ReadIntFromStream(twoBytes), 0x1234);

    // A length far beyond the stream takes only the bytes that are there.
    TMemoryStream huge = StreamOf({0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b', 'c'});
    EXPECT_EQ(ReadStringFromStream(huge), "abc");
    TMemoryStream negative = StreamOf({0xFE, 0xFF, 0xFF, 0xFF, 'a'});
    EXPECT_EQ(ReadStringFromStream(negative), "");
    EXPECT_EQ(negative.Position(), 4);
}

// ---- colour presets ------------------------------------------------------------------

TEST(FBColor, StreamIsNameThenColour)
{
    TMemoryStream s;
    TFBColor("rosa", 0xCBC7FF).SaveToStream(s);
    EXPECT_EQ(Bytes(s), (std::vector<uint8_t>{4, 0, 0, 0, 'r', 'o', 's', 'a', 0xFF, 0xC7, 0xCB, 0}));
    s.SetPosition(0);
    TFBColor c;
    c.LoadFromStream(s);
    EXPECT_EQ(c.Name, "rosa");
    EXPECT_EQ(c.Color, 0xCBC7FF);
}

TEST(FBColor, GetColorAsksOnlyForTheUsersOwnColour)
{
    TColor value = 0x123456;
    EXPECT_TRUE(TFBColor("grau", 0xB1B1B1).GetColor(value));
    EXPECT_EQ(value, 0xB1B1B1);

    // Cancelled: the caller's colour stays and the answer says so.
    const TFBColor own("Eigene Farbe", -1);
    FinishColorDialog(false);
    value = 0x123456;
    EXPECT_FALSE(own.GetColor(value));
    EXPECT_EQ(value, 0x123456);

    // Confirmed: the choice, and the custom colours kept in the settings.
    FinishColorDialog(true, QColor(0x10, 0x20, 0x30));
    EXPECT_TRUE(own.GetColor(value));
    EXPECT_EQ(value, 0x302010);
    EXPECT_NE(TQwRegIniFile::Instance().ReadString("CustomColors", "Colors", "").find("563412"),
              AnsiString::npos);
}

// ---- page template -------------------------------------------------------------------

TEST(FBPageTemplate, StreamLayoutByteForByte)
{
    TFBPageTemplate t;
    t.TemplateWidth = 2;
    t.TemplateHeight = 4;
    t.Name = "P";
    t.IsDoublePage = true;
    t.LayoutTypes = LayoutTypSet(ltPhotoBook85);
    t.Stil = 3;
    t.AddFrame(0, 1, 2, 2);  // centre (1, 2)
    TMemoryStream s;
    t.SaveToStream(s);

    std::vector<uint8_t> expected = {0, 0, 0, 0x40, 0, 0, 0x80, 0x40, 1, 0, 0, 0, 'P', 1, 15, 0, 0, 0};
    const AnsiString types = "[ltPhotoBook85]";
    expected.insert(expected.end(), types.begin(), types.end());
    expected.insert(expected.end(), {3, 0, 0, 0, 1, 0, 0, 0,                      // style, one frame
                                     0, 0, 0x80, 0x3F, 0, 0, 0, 0x40,             // centre 1, 2
                                     0, 0, 0, 0x40, 0, 0, 0, 0x40, 0, 0, 0, 0,    // 2 x 2, angle 0
                                     0, 0, 0, 0});                                // no left frames
    EXPECT_EQ(Bytes(s), expected);
}

TEST(FBPageTemplate, StreamRoundTripKeepsBothFrameLists)
{
    TFBPageTemplate t;
    t.TemplateWidth = 163.5f;
    t.TemplateHeight = 210;
    t.Name = "Tradition C";
    t.LayoutTypes = LayoutTypSet(ltPhotoBook86) | LayoutTypSet(ltDINA4);
    t.Stil = 9;
    t.AddFrame(12.75f, 6.5f, 69.5f, 96.5f);
    t.AddFrame(88.5f, 6.5f, 69.5f, 96.5f);
    TMemoryStream s;
    t.SaveToStream(s);
    s.SetPosition(0);

    TFBPageTemplate r;
    r.AddFrame(1, 1, 1, 1);  // replaced by what is read
    r.LoadFromStream(s);
    EXPECT_EQ(s.Position(), s.Size());
    EXPECT_EQ(r.TemplateWidth, 163.5f);
    EXPECT_EQ(r.TemplateHeight, 210.0f);
    EXPECT_EQ(r.Name, "Tradition C");
    EXPECT_FALSE(r.IsDoublePage);
    EXPECT_EQ(r.LayoutTypes, t.LayoutTypes);
    EXPECT_EQ(r.Stil, 9);
    EXPECT_EQ(r.LeftFrames.Count(), 0);
    ASSERT_EQ(r.Frames.Count(), 2);
    EXPECT_EQ(r.Frames.GetItem(1)->CenterX, 88.5f + 69.5f / 2);
    EXPECT_EQ(r.Frames.GetItem(1)->Height, 96.5f);

    // Left frames, and an empty layout set read back as empty.
    t.LeftFrames.Add(std::make_unique<TFBPictureElement>(nullptr));
    t.LeftFrames.GetItem(0)->Angle = 12;
    t.LayoutTypes = 0;
    TMemoryStream s2;
    t.SaveToStream(s2);
    s2.SetPosition(0);
    r.LoadFromStream(s2);
    EXPECT_EQ(r.LayoutTypes, 0);
    ASSERT_EQ(r.LeftFrames.Count(), 1);
    EXPECT_EQ(r.LeftFrames.GetItem(0)->Angle, 12.0f);
}

TEST(FBPageTemplate, DamagedStreamsGiveBoundedResults)
{
    // Width, height, empty name, flag, empty set, style, then a frame count of
    // 2^31-1 with only one frame's worth of bytes.
    std::vector<uint8_t> bytes(8 + 4 + 1 + 4 + 4, 0);
    bytes.insert(bytes.end(), {0xFF, 0xFF, 0xFF, 0x7F});
    bytes.insert(bytes.end(), 20, 0);
    TMemoryStream s = StreamOf(bytes);
    TFBPageTemplate t;
    t.LoadFromStream(s);
    EXPECT_EQ(t.Frames.Count(), 1);
    EXPECT_EQ(t.LeftFrames.Count(), 0);

    // Four bytes more: a second frame begins and reads zeros where it is cut off.
    bytes.insert(bytes.end(), {0, 0, 0x80, 0x3F});
    TMemoryStream s2 = StreamOf(bytes);
    t.LoadFromStream(s2);
    ASSERT_EQ(t.Frames.Count(), 2);
    EXPECT_EQ(t.Frames.GetItem(1)->CenterX, 1.0f);
    EXPECT_EQ(t.Frames.GetItem(1)->Width, 0.0f);

    // Truncated in the middle: what is missing reads as zero.
    TFBPageTemplate full;
    full.TemplateWidth = 10;
    full.TemplateHeight = 20;
    full.Name = "Name";
    TMemoryStream whole;
    full.SaveToStream(whole);
    TMemoryStream cut = StreamOf(std::vector<uint8_t>(whole.Bytes().begin(), whole.Bytes().begin() + 10));
    TFBPageTemplate r;
    r.LoadFromStream(cut);
    EXPECT_EQ(r.TemplateWidth, 10.0f);
    EXPECT_EQ(r.TemplateHeight, 20.0f);
    EXPECT_EQ(r.Name, "");
    EXPECT_EQ(r.Frames.Count(), 0);

    // Floats that are not finite or beyond any page: a size reads as none, a
    // frame's values as 0 or kept within a page, its angle within a turn.
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float Size, Value, Angle;
        float ExpectedSize, ExpectedPosition, ExpectedExtent, ExpectedAngle;
    } cases[] = {
        {nan, nan, nan, 0, 0, 0, 0},
        {inf, -inf, inf, 0, 0, 0, 0},
        {1e-30f, 1e20f, 3e38f, 0, MaxStoredMM, MaxStoredMM, std::fmod(3e38f, 360.0f)},
        {3e38f, -1e31f, -725, 0, -MaxStoredMM, 0, -5},
        {210, 40, 30, 210, 40, 40, 30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Value);
        TMemoryStream d;
        WriteSingleToStream(d, c.Size);
        WriteSingleToStream(d, c.Size);
        WriteStringToStream(d, "");
        WriteByteToStream(d, 0);
        WriteStringToStream(d, "");
        WriteIntToStream(d, 0);
        WriteIntToStream(d, 1);
        for (int i = 0; i < 4; ++i)
            WriteSingleToStream(d, c.Value);
        WriteSingleToStream(d, c.Angle);
        d.SetPosition(0);
        TFBPageTemplate u;
        u.LoadFromStream(d);
        EXPECT_EQ(u.TemplateWidth, c.ExpectedSize);
        EXPECT_EQ(u.TemplateHeight, c.ExpectedSize);
        ASSERT_EQ(u.Frames.Count(), 1);
        const TFBElement* f = u.Frames.GetItem(0);
        EXPECT_EQ(f->CenterX, c.ExpectedPosition);
        EXPECT_EQ(f->CenterY, c.ExpectedPosition);
        EXPECT_EQ(f->Width, c.ExpectedExtent);
        EXPECT_EQ(f->Height, c.ExpectedExtent);
        EXPECT_EQ(f->Angle, c.ExpectedAngle);
    }
}

TEST(FBPageTemplate, ApplyScalesTheFramesToThePage)
{
    auto doc = NewDocument(148.5f, 210, 0, 1);
    TFBPageTemplate t;
    t.TemplateWidth = 210;
    t.TemplateHeight = 297;
    t.AddFrame(10, 20, 100, 50);
    t.Frames.GetItem(0)->Angle = 30;
    TFBPage* page = doc->Pages.GetPage(0);
    t.ApplyToPage(page);

    ASSERT_EQ(page->Pictures.Count(), 1);
    const TFBElement* e = page->Pictures.GetItem(0);
    EXPECT_NEAR(e->CenterX, 60 * 0.70714f, 1e-3);
    EXPECT_NEAR(e->CenterY, 45 * 0.70707f, 1e-3);
    EXPECT_NEAR(e->Width, 100 * 0.70714f, 1e-3);
    EXPECT_NEAR(e->Height, 50 * 0.70707f, 1e-3);
    EXPECT_EQ(e->Angle, 30.0f);
    EXPECT_EQ(e->Page, page);
}

TEST(FBPageTemplate, ApplyKeepsThePicturesInPageOrder)
{
    auto doc = NewDocument(100, 100, 0, 1);
    TFBPage* page = doc->Pages.GetPage(0);
    // Five pictures with an empty frame between the second and the third.
    const TColor colors[5] = {0x01, 0x02, 0x03, 0x04, 0x05};
    for (int i = 0; i < 5; ++i) {
        if (i == 2)
            page->Pictures.Add(std::make_unique<TFBPictureElement>(page));
        auto pic = std::make_unique<TFBPictureElement>(page);
        pic->FillWithColor(colors[i]);
        page->Pictures.Add(std::move(pic));
    }
    std::vector<int32_t> refs;
    for (int i = 0; i < 6; ++i)
        refs.push_back(Pic(page, i)->RefIndex);

    TFBPageTemplate t;
    t.TemplateWidth = 100;
    t.TemplateHeight = 100;
    for (int i = 0; i < 3; ++i)
        t.AddFrame(10.0f * i, 0, 10, 10);
    t.ApplyToPage(page);

    ASSERT_EQ(page->Pictures.Count(), 3);
    EXPECT_EQ(Pic(page, 0)->RefIndex, refs[0]);
    EXPECT_EQ(Pic(page, 1)->RefIndex, refs[1]);
    EXPECT_EQ(Pic(page, 2)->RefIndex, refs[3]);
    EXPECT_EQ(Pic(page, 2)->CenterX, 25.0f);

    // More frames than pictures: new empty frames are appended.
    for (int i = 3; i < 5; ++i)
        t.AddFrame(10.0f * i, 0, 10, 10);
    t.ApplyToPage(page);
    ASSERT_EQ(page->Pictures.Count(), 5);
    EXPECT_EQ(Pic(page, 2)->RefIndex, refs[3]);
    EXPECT_FALSE(Pic(page, 4)->HasPicture());
    EXPECT_EQ(Pic(page, 4)->CenterX, 45.0f);
}

TEST(FBPageTemplate, RightPageLayoutIsShiftedOnLeftPages)
{
    // Spreads with cover: page 1 is a left page, page 2 a right page.
    auto doc = NewDocument(163.5f, 210, 1, 3);
    TFBPageTemplate t;
    t.TemplateWidth = 163.5f;
    t.TemplateHeight = 210;
    t.AddFrame(12.75f, 6.5f, 69.5f, 96.5f);   // left margin 12.75
    t.AddFrame(88.5f, 107, 69.5f, 96.5f);     // right margin 5.5
    t.ApplyToPage(doc->Pages.GetPage(1));
    t.ApplyToPage(doc->Pages.GetPage(2));

    TFBPage* left = doc->Pages.GetPage(1);
    TFBPage* right = doc->Pages.GetPage(2);
    // A shift, not a reflection: the order and the gaps stay, the margins swap.
    EXPECT_FLOAT_EQ(Pic(left, 0)->GetLeft(), 5.5f);
    EXPECT_FLOAT_EQ(Pic(left, 1)->GetLeft(), 88.5f - 7.25f);
    EXPECT_FLOAT_EQ(163.5f - Pic(left, 1)->GetRight(), 12.75f);
    EXPECT_FLOAT_EQ(Pic(right, 0)->GetLeft(), 12.75f);

    // A template with its own left-page frames is not shifted.
    TFBPageTemplate d;
    d.TemplateWidth = 163.5f;
    d.TemplateHeight = 210;
    d.IsDoublePage = true;
    d.AddFrame(0, 0, 100, 100);
    d.LeftFrames.Add(std::make_unique<TFBPictureElement>(nullptr));
    TFBElement* lf = d.LeftFrames.GetItem(0);
    lf->CenterX = 20;
    lf->CenterY = 30;
    lf->Width = 10;
    lf->Height = 10;
    d.ApplyToPage(right);
    ASSERT_EQ(left->Pictures.Count(), 1);
    EXPECT_FLOAT_EQ(Pic(left, 0)->CenterX, 20.0f);
    EXPECT_FLOAT_EQ(Pic(right, 0)->CenterX, 50.0f);
}

TEST(FBPageTemplate, SpreadTemplateLinksBothPagesAndSingleTemplatesDissolveTheLink)
{
    auto doc = NewDocument(100, 100, 1, 3);
    TFBPage* cover = doc->Pages.GetPage(0);
    TFBPage* left = doc->Pages.GetPage(1);
    TFBPage* right = doc->Pages.GetPage(2);
    auto pic = std::make_unique<TFBPictureElement>(left);
    pic->FillWithColor(0x00FF00);
    left->Pictures.Add(std::move(pic));

    TFBPageTemplate pano;
    pano.TemplateWidth = 100;
    pano.TemplateHeight = 100;
    pano.IsDoublePage = true;
    pano.AddFrame(0, 10, 100, 80);
    pano.ApplyToPage(right);

    ASSERT_EQ(left->Pictures.Count(), 1);
    ASSERT_EQ(right->Pictures.Count(), 1);
    ASSERT_EQ(doc->PictureLinkCount(), 1);
    TFBPictureLink* link = doc->GetPictureLink(0);
    EXPECT_EQ(link->Count(), 2);
    EXPECT_EQ(Pic(left, 0)->Link, link);
    EXPECT_EQ(Pic(right, 0)->Link, link);
    // The right frame shows the left one's picture.
    EXPECT_TRUE(Pic(right, 0)->HasPicture());
    EXPECT_EQ(Pic(right, 0)->RefIndex, Pic(left, 0)->RefIndex);

    // The cover has no partner: it gets the frames as a single page.
    pano.ApplyToPage(cover);
    EXPECT_EQ(cover->Pictures.Count(), 1);
    EXPECT_EQ(doc->PictureLinkCount(), 1);

    // A single-page template on a linked page dissolves the link.
    TFBPageTemplate single;
    single.TemplateWidth = 100;
    single.TemplateHeight = 100;
    single.AddFrame(0, 0, 50, 50);
    single.ApplyToPage(left);
    EXPECT_EQ(doc->PictureLinkCount(), 0);
    EXPECT_EQ(Pic(right, 0)->Link, nullptr);
}

TEST(FBPageTemplate, SpreadWithoutFramesOnOnePageAddsNoLink)
{
    auto doc = NewDocument(100, 100, 2, 2);
    TFBPageTemplate t;
    t.TemplateWidth = 100;
    t.TemplateHeight = 100;
    t.IsDoublePage = true;
    t.LeftFrames.Add(std::make_unique<TFBPictureElement>(nullptr));
    t.ApplyToPage(doc->Pages.GetPage(0));
    EXPECT_EQ(doc->Pages.GetPage(0)->Pictures.Count(), 1);
    EXPECT_EQ(doc->Pages.GetPage(1)->Pictures.Count(), 0);
    EXPECT_EQ(doc->PictureLinkCount(), 0);
}

TEST(FBPageTemplate, PreviewIsCentredAndMirrorsTheLeftPage)
{
    // A 100 x 100 spread page with one frame at the left edge of the right page.
    TFBPageTemplate t;
    t.TemplateWidth = 100;
    t.TemplateHeight = 100;
    t.IsDoublePage = true;
    t.AddFrame(10, 40, 20, 20);

    TBitmap bmp;
    bmp.SetSize(220, 220);
    bmp.Canvas().Brush().SetColor(0x0000FF);
    bmp.Canvas().FillRect(Rect(0, 0, 220, 220));
    t.DrawPreview(bmp, Rect(10, 10, 210, 210));  // fitted 200 x 100, centred at y 60..160
    const QImage& img = bmp.Image();
    const auto rgb = [&](int x, int y) { return img.pixel(x, y) & 0xFFFFFF; };

    EXPECT_EQ(rgb(110, 40), 0xFF0000u);   // above the pages: untouched (red in QRgb)
    EXPECT_EQ(rgb(60, 80), 0xFFFFFFu);    // inside the left page
    EXPECT_EQ(rgb(160, 140), 0xFFFFFFu);  // inside the right page
    // Right page frame: 10..30 mm -> x 120..140, y 100..120; filled white.
    EXPECT_EQ(rgb(130, 100), 0x808080u);
    EXPECT_EQ(rgb(120, 110), 0x808080u);
    EXPECT_EQ(rgb(130, 110), 0xFFFFFFu);
    // Mirrored on the left page: 70..90 mm -> x 80..100, not at 10..30 mm.
    EXPECT_EQ(rgb(90, 100), 0x808080u);
    EXPECT_EQ(rgb(100, 110), 0x808080u);
    EXPECT_EQ(rgb(20, 110), 0xFFFFFFu);
}
