// What the page view paints: backdrop, pages, the focus frame of a picture,
// the selection frame's handles, text box marks; and a screenshot of a
// photo-book spread with a selected, turned picture.
#include "Application.h"
#include "FBPictureElement.h"
#include "PageViewFixture.h"
#include "SysUtils.h"
#include "uFotobuchMainview.h"
#include "uRTFDrawer.h"
#include "uTransformation.h"
#include "uUndo.h"
#include "../common/ShownMessages.h"

#include <QCoreApplication>
#include <QImage>
#include <gtest/gtest.h>
#include <cmath>

using namespace pvtest;

namespace {

// A photo-book spread with cover: three framed photos on each inner page, a
// text box, and the second picture of the left page turned by 8 degrees.
struct Spread {
    TFBDocument Doc;
    TFBPictureElement* Turned = nullptr;
    TFBTextElement* Text = nullptr;
    Spread()
    {
        MakeDocument(Doc, 1, 4);
        int seed = 0;
        for (int p : {1, 2}) {
            TFBPage* page = Doc.Pages.GetPage(p);
            GivePicture(AddFrame(page, 100, 45, 170, 70), seed++, 800, 500);
            TFBPictureElement* a = AddFrame(page, 55, 110, 80, 50);
            TFBPictureElement* b = AddFrame(page, 145, 110, 80, 50);
            GivePicture(a, seed++, 600, 450);
            GivePicture(b, seed++, 600, 400);
            if (p == 1)
                Turned = b;
        }
        Turned->Angle = 8;
        Text = AddText(Doc.Pages.GetPage(2), 100, 143, 120, 10);
        Text->Drawer->SetRTFText("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs40 Sommer am See\\par}");
        Doc.Pages.GetPage(2)->PageColor = RGB(255, 250, 235);
    }
};

QRgb PixelAt(const QImage& Img, QPointF P)
{
    return Img.pixel(int(std::floor(P.x())), int(std::floor(P.y())));
}

// Whether a neutral grey line (not white, not the backdrop) passes within a
// pixel of P.
bool GreyNear(const QImage& Img, QPointF P)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const QColor c(Img.pixel(int(std::floor(P.x())) + dx, int(std::floor(P.y())) + dy));
            if (c.red() == c.green() && c.green() == c.blue() && c.red() < 240)
                return true;
        }
    return false;
}

QPointF Device(TFBMainView& V, TFBDocument& Doc, TFBPage* Page, float X, float Y)
{
    V.SetupTransformation();
    TTransformation& T = V.Transformation();
    T.Push();
    Doc.TranslateToPage(T, Page);
    float dx, dy;
    T.Transform(X, Y, dx, dy);
    T.Pop();
    return QPointF(dx, dy);
}

// Pixels of the red a test fills the image with before rendering: left
// wherever the view painted nothing.
int RedPixels(const QImage& Img)
{
    int red = 0;
    for (int y = 0; y < Img.height(); ++y)
        for (int x = 0; x < Img.width(); ++x) {
            const QColor c(Img.pixel(x, y));
            red += c.red() > c.green() + 30 && c.red() > c.blue() + 30;
        }
    return red;
}

}  // namespace

TEST(MainViewPaint, SpreadWithSelectedTurnedPicture)
{
    Spread s;
    TFBMainView view(nullptr, &s.Doc);
    view.resize(1000, 520);
    view.show();
    QCoreApplication::processEvents();
    view.SetScreen(1);
    view.SetFocusedElement(s.Turned);
    const QImage img = view.grab().toImage();
    ASSERT_EQ(img.size(), QSize(1000, 520));

    // The backdrop gradient in the top-left corner.
    const QColor corner(img.pixel(1, 1));
    EXPECT_NEAR(corner.red(), 252, 2);
    EXPECT_NEAR(corner.blue(), 254, 2);
    // The cover's grey outside the pages.
    TFBPage* left = s.Doc.Pages.GetPage(1);
    EXPECT_EQ(QColor(PixelAt(img, Device(view, s.Doc, left, -2, 75))), QColor(240, 240, 240));
    // The right page's own colour between its pictures.
    TFBPage* right = s.Doc.Pages.GetPage(2);
    EXPECT_EQ(QColor(PixelAt(img, Device(view, s.Doc, right, 100, 84))), QColor(255, 250, 235));
    // The blue focus frame along the turned picture's outline: the middle of
    // its top edge, turned with the frame.
    const float a = 8 * float(M_PI) / 180;
    const float ex = 145 + 25 * std::sin(a), ey = 110 - 25 * std::cos(a);
    bool blue = false;
    const QPointF edge = Device(view, s.Doc, left, ex, ey);
    for (int dy = -2; dy <= 2 && !blue; ++dy)
        for (int dx = -2; dx <= 2 && !blue; ++dx) {
            const QColor c(img.pixel(int(edge.x()) + dx, int(edge.y()) + dy));
            blue = c.blue() > 200 && c.red() < 60 && c.green() < 60;
        }
    EXPECT_TRUE(blue);
    // A picture that is not focused has no blue frame.
    const QPointF other = Device(view, s.Doc, left, 55, 110 - 25);
    const QColor o(PixelAt(img, other));
    EXPECT_FALSE(o.blue() > 200 && o.red() < 60 && o.green() < 60);
}

TEST(MainViewPaint, EveryPixelIsReplacedNotMixedWithTheOldContent)
{
    // Shadows blend into the bitmap; what lay in the window before (here red,
    // as a hidden progress panel leaves it) must not shine through them.
    TFBDocument doc;
    MakeDocument(doc, 1, 4);
    doc.PicturesHaveShadows = true;
    for (int p : {1, 2})
        AddFrame(doc.Pages.GetPage(p), 100, 75, 150, 100)->FillWithColor(RGB(0, 128, 255));
    TFBMainView view(nullptr, &doc);
    view.resize(800, 420);
    view.show();
    QCoreApplication::processEvents();
    view.SetScreen(1);
    QImage img(view.size(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::red);
    view.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_EQ(RedPixels(img), 0);
}

TEST(MainViewPaint, SelectionFrameHandlesAndTextMarks)
{
    Spread s;
    TFBMainView view(nullptr, &s.Doc);
    view.resize(1000, 520);
    view.show();
    QCoreApplication::processEvents();
    view.SetScreen(1);
    TFBPage* page = s.Doc.Pages.GetPage(2);
    const QImage plain = view.grab().toImage();
    // Not focused: corner marks only, 2 mm along each edge.
    EXPECT_TRUE(GreyNear(plain, Device(view, s.Doc, page, 41, 138)));
    EXPECT_TRUE(GreyNear(plain, Device(view, s.Doc, page, 40, 139)));
    EXPECT_FALSE(GreyNear(plain, Device(view, s.Doc, page, 100, 138)));
    view.SetFocusedElement(s.Text);
    const QImage img = view.grab().toImage();
    for (int code = 1; code <= 8; ++code) {
        view.SetupTransformation();
        TTransformation& T = view.Transformation();
        T.Push();
        s.Doc.TranslateToPage(T, page);
        const TPointF h = view.Tracker().HandlePoint(T, code);
        T.Pop();
        EXPECT_EQ(QColor(img.pixel(int(h.X), int(h.Y))), QColor(0, 255, 0)) << "handle " << code;
    }
    view.SetupTransformation();
    TTransformation& T = view.Transformation();
    T.Push();
    s.Doc.TranslateToPage(T, page);
    const TPointF r = view.Tracker().HandlePoint(T, 9);
    T.Pop();
    EXPECT_EQ(QColor(img.pixel(int(r.X), int(r.Y))), QColor(255, 0, 0));
}

TEST(MainViewPaint, PunchedPagesAndMarkedArea)
{
    TFBDocument doc;
    MakeDocument(doc, 0, 1);
    doc.PrintSetting = 4;  // pages with three punched notches
    TFBMainView view(nullptr, &doc);
    view.resize(800, 600);
    view.show();
    QCoreApplication::processEvents();
    const QImage img = view.grab().toImage();
    TFBPage* page = doc.Pages.GetPage(0);
    // Inside the hole of the middle notch lies the backdrop, beside it the page.
    const QColor hole(PixelAt(img, Device(view, doc, page, 100, 5.5f)));
    const QColor paper(PixelAt(img, Device(view, doc, page, 90, 5.5f)));
    EXPECT_EQ(paper, QColor(255, 255, 255));
    EXPECT_NE(hole, QColor(255, 255, 255));
    EXPECT_GT(hole.red(), 230);
    // Print setting 12 marks an area on the first screen with a dotted grey line.
    doc.PrintSetting = 12;
    const QImage marked = view.grab().toImage();
    int grey = 0, white = 0;
    const QPointF top = Device(view, doc, page, 19, 45);
    const QPointF end = Device(view, doc, page, 73, 45);
    for (int x = int(top.x()) + 2; x < int(end.x()) - 2; ++x) {
        const QColor c(marked.pixel(x, int(std::lround(top.y()))));
        grey += c.red() == c.blue() && c.red() < 240;
        white += c == QColor(255, 255, 255);
    }
    EXPECT_GT(grey, 10);
    EXPECT_GT(white, 10);  // dotted, not solid
}

// The picture's frame ("Rahmen") in the view: a 5 mm black band along the
// picture's outline, half outside and half inside it, as the page drawer
// draws it for the overview and the printer; on single pages and on spreads,
// zoomed, after paging, and with picture shadows off.
TEST(MainViewPaint, PictureFrameIsDrawnAsThePageDrawerDrawsIt)
{
    for (const uint8_t mode : {uint8_t(0), uint8_t(1)}) {
        TFBDocument doc;
        MakeDocument(doc, mode, 4);
        TFBPage* page = doc.Pages.GetPage(1);
        TFBPictureElement* pic = AddFrame(page, 100, 75, 120, 90);
        GivePicture(pic, 2);
        pic->SetBorderWidth(5);
        pic->SetBorderColor(0);
        TFBMainView view(nullptr, &doc);
        view.resize(900, 600);
        view.show();
        QCoreApplication::processEvents();
        view.SetScreen(page->GetScreenIndex());
        auto blackAt = [&](float X, float Y) {
            return QColor(PixelAt(view.grab().toImage(), Device(view, doc, page, X, Y))) == QColor(0, 0, 0);
        };
        auto frameShown = [&] {
            // On the left edge, 1.5 mm outside and inside; on the bottom edge;
            // the picture's middle and the page beside the frame stay as they were.
            return blackAt(40 - 1.5f, 75) && blackAt(40 + 1.5f, 75) && blackAt(50, 120 + 1.5f) &&
                   !blackAt(100, 75) && !blackAt(40 - 4, 75);
        };
        EXPECT_TRUE(frameShown()) << "screen mode " << int(mode);
        const QPointF edge = Device(view, doc, page, 40, 75);
        view.ZoomAt(int(edge.x()), int(edge.y()), 1.5f);
        EXPECT_TRUE(frameShown()) << "zoomed, screen mode " << int(mode);
        view.SetZoom(1);
        view.SetScreen(page->GetScreenIndex() + 1);
        view.SetScreen(page->GetScreenIndex());
        EXPECT_TRUE(frameShown()) << "after paging, screen mode " << int(mode);
        doc.SetPictureShadows(false);
        EXPECT_TRUE(frameShown()) << "without shadows, screen mode " << int(mode);
    }
}

namespace {
// A frame whose drawing fails, as a damaged element's would.
class TBrokenFrame : public TFBPictureElement {
public:
    using TFBPictureElement::TFBPictureElement;
    void Draw(TDrawContext&, uint8_t) override { throw Exception("frame broken"); }
};
}  // namespace

TEST(MainViewPaint, AFailingElementLeavesTheRestDrawnAndIsReportedOnceAfterwards)
{
    TFBDocument doc;
    MakeDocument(doc, 1, 4);
    GivePicture(PlaceElement<TBrokenFrame>(doc.Pages.GetPage(1)->Pictures, doc.Pages.GetPage(1), 100, 75, 50, 40));
    TFBMainView view(nullptr, &doc);
    view.resize(800, 420);
    QStringList shown;
    QStringList shownWhilePainting;
    const ShownMessages messages([&](const QString& m) { (view.PaintCanvas() ? shownWhilePainting : shown) << m; });
    view.show();
    QCoreApplication::processEvents();
    view.SetScreen(1);
    QImage img(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (int i = 0; i < 2; ++i) {
        img.fill(Qt::red);
        view.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(shownWhilePainting.isEmpty());
    EXPECT_EQ(shown, QStringList({"frame broken."}));
    // The backdrop and the pages drawn before the failure reach the window.
    EXPECT_EQ(RedPixels(img), 0);
}

// Paging through a book with more pictures than the picture manager keeps
// decoded: after every screen the decoded pictures are within its bound, and
// those of the screen shown are among them.
TEST(MainViewPaint, PagingKeepsTheDecodedPicturesWithinTheManagersBound)
{
    TFBDocument doc;
    MakeDocument(doc, 1, 12);
    int seed = 0;
    for (int p = 0; p < doc.Pages.Count(); ++p) {
        GivePicture(AddFrame(doc.Pages.GetPage(p), 100, 40, 150, 60), seed++, 400, 300);
        GivePicture(AddFrame(doc.Pages.GetPage(p), 100, 110, 150, 60), seed++, 400, 300);
    }
    TBildmanager& m = BildManager();
    struct TRestore {
        TBildmanager& M;
        uint64_t Bytes = M.MaxBytesInMemory;
        ~TRestore() { M.MaxBytesInMemory = Bytes; }
    } restore{m};
    m.MaxBytesInMemory = 5 * 400 * 300 * 4;  // a spread of four pictures, and one more
    TFBMainView v(nullptr, &doc);
    v.resize(600, 400);
    v.show();
    QCoreApplication::processEvents();
    for (int s = 0; s < doc.GetScreenCount(); ++s) {
        v.SetScreen(s);
        v.repaint();
        uint64_t bytes = 0;
        int decoded = 0;
        for (const auto& it : m.Items)
            if (it->FullBitmap) {
                bytes += uint64_t(it->FullBitmap->sizeInBytes());
                ++decoded;
            }
        EXPECT_LE(bytes, m.MaxBytesInMemory) << s;
        EXPECT_LE(decoded, m.MaxInMemory) << s;
        for (TFBPage* page : {doc.GetLeftPage(s), doc.GetRightPage(s)})
            for (int i = 0; page && i < page->Pictures.Count(); ++i)
                EXPECT_NE(m.FindItem(static_cast<TFBPictureElement*>(page->Pictures.GetItem(i))->RefIndex)->FullBitmap,
                          nullptr)
                    << s;
    }
    doc.Clear();
}
