// The page view: its transformation, hit tests, painting and the input of
// mouse, keys and wheel, driven by synthetic events on the offscreen platform.
#include "Application.h"
#include "FBPictureElement.h"
#include "PageViewFixture.h"
#include "uCursors.h"
#include "uFotobuchMainview.h"
#include "uMulticaster.h"
#include "uTransformation.h"
#include "uUndo.h"
#include "uUndoItems.h"
#include "../common/ShownMessages.h"

#include <QCoreApplication>
#include <QImage>
#include <gtest/gtest.h>
#include <cmath>

using namespace pvtest;

namespace {

// A page view of 800 x 600 pixels on a document, shown offscreen. The undo
// manager records the view's focus state while it lives.
struct ViewFixture {
    TFBDocument Doc;
    std::unique_ptr<TFBMainView> View;
    int FocusChanges = 0;
    int ZoomChanges = 0;
    std::vector<TObject*> NoticeSenders;

    ViewFixture(uint8_t Mode, int Pages)
    {
        MakeDocument(Doc, Mode, Pages);
        GetUndoManager().Clear();
        GetMulticaster().OnContentChanged = [this](TMulticaster*, TObject* s, TFBPage*, TFBElement*) {
            NoticeSenders.push_back(s);
        };
    }
    ~ViewFixture()
    {
        GetMulticaster().OnContentChanged = nullptr;
        GetUndoManager().Clear();
        View.reset();
    }
    TFBMainView& Show(int W = 800, int H = 600)
    {
        View = std::make_unique<TFBMainView>(nullptr, &Doc);
        View->OnFocusChanged = [this](TObject*) { ++FocusChanges; };
        View->OnZoomChanged = [this](TObject*) { ++ZoomChanges; };
        View->resize(W, H);
        View->show();
        QCoreApplication::processEvents();
        GetUndoManager().SetUIStateHost(View.get());
        return *View;
    }
    // The client pixel of a page point.
    QPoint Px(const TFBPage* Page, float X, float Y) { return PagePixel(*View, Doc, Page, X, Y); }
    TFBPage* Page(int I) { return Doc.Pages.GetPage(I); }
};

TPointF DeviceOf(TFBMainView& V, float X, float Y)
{
    V.SetupTransformation();
    TPointF p;
    V.Transformation().Transform(X, Y, p.X, p.Y);
    return p;
}

}  // namespace

// ---- transformation -------------------------------------------------------------------------

TEST(MainView, TransformationFitsAndCentresTheScreen)
{
    struct Case {
        const char* Name;
        uint8_t Mode;
        uint8_t Orientation;
        float Angle;
        float Fit;            // pixels per millimetre
        TPointF Origin;       // the screen's (0, 0) in pixels
    };
    // Client 800 x 600: virtual 799 x 599 with its centre at (399.5, 299.5).
    const Case cases[] = {
        {"single page", 0, 0, 90, 3.6f, {399.5f - 360, 299.5f - 270}},
        {"spread", 2, 0, 90, 1.85f, {399.5f - 370, 299.5f - 138.75f}},
        {"spread with cover", 1, 0, 90, 740.0f / 410, {399.5f - 370, 299.5f - 79 * 740.0f / 410}},
        {"landscape page", 0, 1, 90, 2.7f, {399.5f + 202.5f, 299.5f - 270}},
        {"landscape page turned back", 0, 1, -90, 2.7f, {399.5f - 202.5f, 299.5f + 270}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        ViewFixture f(c.Mode, 4);
        f.Doc.ScreenQuerformatWinkel = c.Angle;
        for (int i = 0; i < 4; ++i)
            f.Page(i)->Orientation = c.Orientation;
        TFBMainView& v = f.Show();
        v.SetScreen(c.Mode == 0 ? 0 : 1);
        EXPECT_EQ(v.ClientWidth(), 800);
        EXPECT_EQ(v.VirtualWidth(), 799);
        const TPointF o = DeviceOf(v, 0, 0);
        EXPECT_NEAR(o.X, c.Origin.X, 0.01f);
        EXPECT_NEAR(o.Y, c.Origin.Y, 0.01f);
        const TPointF x10 = DeviceOf(v, 10, 0);
        EXPECT_NEAR(std::hypot(x10.X - o.X, x10.Y - o.Y), 10 * c.Fit, 0.01f);
    }
}

TEST(MainView, DegenerateSizesUseTheirMinimumScale)
{
    ViewFixture f(0, 1);
    f.Doc.PageWidth = 0;  // taken as 1 mm
    TFBMainView& v = f.Show();
    const TPointF o = DeviceOf(v, 0, 0), p = DeviceOf(v, 1, 0);
    EXPECT_NEAR(p.X - o.X, 540.0f / 150, 0.001f);  // limited by the height
    f.Doc.PageWidth = 200;
    v.resize(50, 40);  // client below the margins: fit factor 0.1
    const TPointF a = DeviceOf(v, 0, 0), b = DeviceOf(v, 100, 0);
    EXPECT_NEAR(b.X - a.X, 10.0f, 0.001f);
}

TEST(MainView, ZoomAtKeepsThePointUnderTheMouse)
{
    ViewFixture f(2, 4);
    TFBMainView& v = f.Show();
    v.SetScreen(1);
    const QPoint points[] = {{400, 300}, {40, 170}, {760, 430}, {120, 420}};
    for (QPoint pt : points) {
        v.ZoomAt(400, 300, 1.0f);
        for (float zoom : {1.5f, 2.5f, 6.0f}) {
            v.SetupTransformation();
            float bx, by, ax, ay;
            v.Transformation().InverseTransform(float(pt.x()), float(pt.y()), bx, by);
            v.ZoomAt(pt.x(), pt.y(), zoom);
            EXPECT_FLOAT_EQ(v.Zoom(), zoom);
            EXPECT_GT(v.GetScrollMaxX(), 0);
            v.SetupTransformation();
            v.Transformation().InverseTransform(float(pt.x()), float(pt.y()), ax, ay);
            const float tolerance = 0.6f / (1.85f * zoom);  // half a pixel of scroll
            EXPECT_NEAR(ax, bx, tolerance) << pt.x() << "," << pt.y() << " zoom " << zoom;
            EXPECT_NEAR(ay, by, tolerance) << pt.x() << "," << pt.y() << " zoom " << zoom;
        }
    }
    const int changes = f.ZoomChanges;
    v.ZoomAt(10, 10, 20);
    EXPECT_FLOAT_EQ(v.Zoom(), 8);
    v.ZoomAt(10, 10, 0.2f);
    EXPECT_FLOAT_EQ(v.Zoom(), 1);
    EXPECT_EQ(f.ZoomChanges, changes + 2);
    v.SetZoom(1);
    EXPECT_EQ(f.ZoomChanges, changes + 2);  // no change, no event
    EXPECT_EQ(v.GetScrollMaxX(), 0);
}

// ---- hit tests -----------------------------------------------------------------------------

TEST(MainView, ElementAtAndPageAt)
{
    ViewFixture f(2, 4);
    TFBPictureElement* under = AddFrame(f.Page(2), 60, 75, 100, 80);
    TFBPictureElement* over = AddFrame(f.Page(2), 90, 75, 60, 60);  // later in the list: on top
    TFBTextElement* text = AddText(f.Page(2), 60, 75, 40, 20);
    TFBPictureElement* right = AddFrame(f.Page(3), 100, 75, 50, 50);
    TFBKalenderElement* cal = AddCalendar(f.Page(3), 100, 130, 120, 30);
    TFBMainView& v = f.Show();
    v.SetScreen(1);
    struct Case {
        const char* Name;
        QPoint P;
        int Flags;
        TFBElement* Element;
        TFBPage* Page;
    };
    const Case cases[] = {
        {"text over picture", f.Px(f.Page(2), 50, 75), eaAll, text, f.Page(2)},
        {"picture under text", f.Px(f.Page(2), 50, 75), eaPictures, under, f.Page(2)},
        {"later picture wins", f.Px(f.Page(2), 85, 75), eaAll, over, f.Page(2)},
        {"earlier picture alone", f.Px(f.Page(2), 20, 75), eaAll, under, f.Page(2)},
        {"right page", f.Px(f.Page(3), 100, 75), eaAll, right, f.Page(3)},
        {"calendar", f.Px(f.Page(3), 100, 130), eaAll, cal, f.Page(3)},
        {"calendar not asked for", f.Px(f.Page(3), 100, 130), eaPictures | eaElements, nullptr, f.Page(3)},
        {"empty page area", f.Px(f.Page(3), 20, 20), eaAll, nullptr, f.Page(3)},
        {"outside the screen", QPoint(5, 5), eaAll, nullptr, nullptr},
        {"below the screen", f.Px(f.Page(3), 100, 155), eaAll, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(v.ElementAt(c.P.x(), c.P.y(), c.Flags), c.Element);
        EXPECT_EQ(v.PageAt(c.P.x(), c.P.y()), c.Page);
    }
}

TEST(MainView, HitTestsOnASpreadWithCover)
{
    ViewFixture f(1, 4);  // screens: (-, 0), (1, 2), (3, -)
    TFBTextElement* left = AddText(f.Page(1), 195, 75, 12, 10);  // reaches over the spine
    TFBPictureElement* right = AddFrame(f.Page(2), 5, 75, 10, 10);
    TFBMainView& v = f.Show();
    v.SetScreen(1);
    // The cover flap (within the screen, outside both pages) holds no page.
    const QPoint flap = f.Px(f.Page(1), -2, 75);
    EXPECT_EQ(v.PageAt(flap.x(), flap.y()), nullptr);
    EXPECT_EQ(v.ElementAt(flap.x(), flap.y(), eaAll), nullptr);
    // The left page's elements count up to the middle of the spine only.
    const QPoint inGutter = f.Px(f.Page(1), 200.6f, 75);
    EXPECT_EQ(v.ElementAt(inGutter.x(), inGutter.y(), eaAll), nullptr);
    const QPoint onLeft = f.Px(f.Page(1), 197, 75);
    EXPECT_EQ(v.ElementAt(onLeft.x(), onLeft.y(), eaAll), left);
    const QPoint onRight = f.Px(f.Page(2), 5, 75);
    EXPECT_EQ(v.ElementAt(onRight.x(), onRight.y(), eaAll), right);
    EXPECT_EQ(v.PageAt(onRight.x(), onRight.y()), f.Page(2));
    // Screen 0 has only its right page.
    v.SetScreen(0);
    const QPoint first = f.Px(f.Page(0), 100, 75);
    EXPECT_EQ(v.PageAt(first.x(), first.y()), f.Page(0));
}

// ---- mouse ------------------------------------------------------------------------------------

TEST(MainView, ClickSelectsAndDragMovesWithUndo)
{
    ViewFixture f(0, 1);
    TFBPictureElement* pic = AddFrame(f.Page(0), 100, 75, 180, 130);
    TFBTextElement* text = AddText(f.Page(0), 100, 40, 80, 20);
    TFBMainView& v = f.Show();
    const std::vector<uint8_t> before = SavedBytes(f.Doc);
    const QPoint start = f.Px(f.Page(0), 100, 40);
    Drag(v, start, start + QPoint(36, 18));  // 3.6 pixels per mm
    EXPECT_EQ(v.FocusedElement(), text);
    EXPECT_EQ(f.FocusChanges, 1);
    EXPECT_NEAR(text->CenterX, 110, 0.01f);
    EXPECT_NEAR(text->CenterY, 45, 0.01f);
    EXPECT_TRUE(v.Tracker().Shown);
    EXPECT_NEAR(v.Tracker().CenterX, 110, 0.01f);
    EXPECT_TRUE(f.Doc.Modified);
    ASSERT_FALSE(f.NoticeSenders.empty());
    EXPECT_EQ(f.NoticeSenders.back(), static_cast<TObject*>(&v));
    ASSERT_EQ(GetUndoManager().Count(), 1);
    EXPECT_STREQ(GetUndoManager().Last()->ClassName(), "TUndoElementSizePos");
    // A click elsewhere focuses the picture; an empty picture frame records nothing.
    Drag(v, f.Px(f.Page(0), 30, 120), f.Px(f.Page(0), 40, 120));
    EXPECT_EQ(v.FocusedElement(), pic);
    EXPECT_FALSE(v.Tracker().Shown);
    EXPECT_EQ(GetUndoManager().Count(), 1);
    GetUndoManager().Undo(f.Doc);
    EXPECT_SAME_DOCUMENT(SavedBytes(f.Doc), before);
    EXPECT_EQ(v.FocusedElement(), text);  // the focus state came back with the undo
    // A click on no element clears the focus.
    Press(v, QPoint(3, 3));
    Release(v, QPoint(3, 3));
    EXPECT_EQ(v.FocusedElement(), nullptr);
}

TEST(MainView, ClickWithoutMovingChangesNothing)
{
    ViewFixture f(0, 1);
    TFBPictureElement* pic = AddFrame(f.Page(0), 60, 75, 80, 80);
    GivePicture(pic);
    TFBTextElement* text = AddText(f.Page(0), 150, 40, 60, 20);
    TFBMainView& v = f.Show();
    const std::vector<uint8_t> before = SavedBytes(f.Doc);
    const QPoint onPicture = f.Px(f.Page(0), 60, 75);
    const QPoint onText = f.Px(f.Page(0), 150, 40);
    const QPoint onHandle = f.Px(f.Page(0), 180, 40);  // right edge handle once focused
    for (const QPoint p : {onPicture, onText, onHandle}) {
        Drag(v, p, p);  // pressed, moved on the spot, released
        EXPECT_EQ(GetUndoManager().Count(), 0) << p.x();
        EXPECT_TRUE(f.NoticeSenders.empty()) << p.x();
        EXPECT_FALSE(f.Doc.Modified) << p.x();
    }
    EXPECT_EQ(v.FocusedElement(), text);
    EXPECT_TRUE(v.Tracker().Shown);
    EXPECT_SAME_DOCUMENT(SavedBytes(f.Doc), before);
    // The first real step records the one undo item of the drag.
    Drag(v, onPicture, onPicture + QPoint(-20, 0));
    ASSERT_EQ(GetUndoManager().Count(), 1);
    EXPECT_STREQ(GetUndoManager().Last()->ClassName(), "TUndoBildZoomPan");
    GetUndoManager().Undo(f.Doc);
    EXPECT_SAME_DOCUMENT(SavedBytes(f.Doc), before);
}

TEST(MainView, DragAcrossTheSpineMovesToTheFacingPageAndUndoesBack)
{
    ViewFixture f(2, 4);
    TFBTextElement* first = AddText(f.Page(2), 150, 75, 40, 20);
    AddText(f.Page(2), 50, 20, 30, 10);
    TFBMainView& v = f.Show();
    v.SetScreen(1);
    const std::vector<uint8_t> before = SavedBytes(f.Doc);
    const QPoint start = f.Px(f.Page(2), 150, 75);
    const QPoint end = f.Px(f.Page(3), 30, 80);
    Drag(v, start, end, 8);
    ASSERT_EQ(first->Page, f.Page(3));
    EXPECT_EQ(f.Page(2)->Elements.Count(), 1);
    EXPECT_EQ(f.Page(3)->Elements.IndexOf(first), 0);
    // Still under the mouse, in the right page's millimetres.
    EXPECT_NEAR(first->CenterX, 30, 0.6f);
    EXPECT_NEAR(first->CenterY, 80, 0.6f);
    GetUndoManager().Undo(f.Doc);
    EXPECT_EQ(first->Page, f.Page(2));
    EXPECT_EQ(f.Page(2)->Elements.IndexOf(first), 0);
    EXPECT_SAME_DOCUMENT(SavedBytes(f.Doc), before);
}

TEST(MainView, DragOverTheSpineAndBackUndoesOnlyTheDraggedElement)
{
    ViewFixture f(2, 4);
    TFBTextElement* first = AddText(f.Page(2), 150, 75, 40, 20);
    TFBTextElement* second = AddText(f.Page(2), 50, 20, 30, 10);
    TFBMainView& v = f.Show();
    v.SetScreen(1);
    const std::vector<uint8_t> before = SavedBytes(f.Doc);
    const QPoint start = f.Px(f.Page(2), 150, 75);
    Press(v, start);
    MoveTo(v, f.Px(f.Page(3), 30, 80));
    ASSERT_EQ(first->Page, f.Page(3));
    MoveTo(v, f.Px(f.Page(2), 120, 90));
    Release(v, f.Px(f.Page(2), 120, 90));
    // Back on its own page, but now behind the other element.
    ASSERT_EQ(first->Page, f.Page(2));
    EXPECT_EQ(f.Page(2)->Elements.IndexOf(first), 1);
    GetUndoManager().Undo(f.Doc);
    EXPECT_EQ(f.Page(2)->Elements.IndexOf(first), 0);
    EXPECT_FLOAT_EQ(first->CenterX, 150);
    EXPECT_FLOAT_EQ(second->CenterX, 50);
    EXPECT_FLOAT_EQ(second->Width, 30);
    EXPECT_SAME_DOCUMENT(SavedBytes(f.Doc), before);
}

TEST(MainView, UndoDuringADragEndsTheDrag)
{
    ViewFixture f(0, 1);
    TFBTextElement* text = AddText(f.Page(0), 100, 40, 80, 20);
    TFBMainView& v = f.Show();
    const QPoint start = f.Px(f.Page(0), 100, 40);
    Press(v, start);
    MoveTo(v, start + QPoint(36, 0));
    ASSERT_NEAR(text->CenterX, 110, 0.01f);
    // The edit menu's undo while the button is still held.
    v.SetFocusedElement(nullptr);
    GetUndoManager().Undo(f.Doc);
    EXPECT_EQ(v.FocusedElement(), text);
    MoveTo(v, start + QPoint(72, 0));
    Release(v, start + QPoint(72, 0));
    EXPECT_FLOAT_EQ(text->CenterX, 100);  // no change without its undo item
    EXPECT_EQ(GetUndoManager().Count(), 0);
}

TEST(MainView, TrackerResizesAndRotatesTheFocusedElement)
{
    ViewFixture f(0, 1);
    TFBTextElement* text = AddText(f.Page(0), 100, 75, 60, 20);
    TFBMainView& v = f.Show();
    v.SetFocusedElement(text);
    ASSERT_TRUE(v.Tracker().Shown);
    const std::vector<uint8_t> before = SavedBytes(f.Doc);
    // Right edge handle 36 pixels to the right: 10 mm wider, the left edge stays.
    const QPoint edge = f.Px(f.Page(0), 130, 75);
    Drag(v, edge, edge + QPoint(36, 0));
    EXPECT_NEAR(text->Width, 70, 0.01f);
    EXPECT_NEAR(text->CenterX, 105, 0.01f);
    EXPECT_TRUE(v.Tracker().Shown);
    // Left edge dragged across the right one: a positive, mirrored width.
    const QPoint left = f.Px(f.Page(0), 70, 75);
    Drag(v, left, left + QPoint(324, 0));  // 90 mm
    EXPECT_NEAR(text->Width, 20, 0.01f);
    EXPECT_NEAR(text->CenterX, 150, 0.01f);
    EXPECT_GT(v.Tracker().Width, 0);
    // The rotation handle 12 pixels beyond the right edge; turned 40 pixels
    // below the centre it snaps to 90 degrees with its cursor.
    const TTracker& t = v.Tracker();
    const QPoint centre = f.Px(f.Page(0), t.CenterX, t.CenterY);
    const QPoint handle = f.Px(f.Page(0), t.CenterX + t.Width / 2, t.CenterY) + QPoint(12, 0);
    Press(v, handle);
    MoveTo(v, centre + QPoint(1, 40));
    EXPECT_EQ(v.CurrentCursor(), crRotate15);
    Release(v, centre + QPoint(1, 40));
    EXPECT_NEAR(text->Angle, 90, 0.001f);
    ASSERT_EQ(GetUndoManager().Count(), 3);
    for (int i = 0; i < 3; ++i)
        GetUndoManager().Undo(f.Doc);
    EXPECT_SAME_DOCUMENT(SavedBytes(f.Doc), before);
}

TEST(MainView, HoverCursorsByWhatLiesUnderTheMouse)
{
    ViewFixture f(0, 1);
    TFBPictureElement* pic = AddFrame(f.Page(0), 50, 75, 60, 60);
    GivePicture(pic);
    TFBPictureElement* colour = AddFrame(f.Page(0), 150, 40, 40, 30);
    colour->FillWithColor(clRed);
    TFBTextElement* text = AddText(f.Page(0), 150, 110, 40, 20);
    TFBMainView& v = f.Show();
    auto cursorAt = [&](QPoint p, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        MoveTo(v, p, Qt::NoButton, mods);
        return v.CurrentCursor();
    };
    EXPECT_EQ(cursorAt(f.Px(f.Page(0), 50, 75)), crPicturePan);
    EXPECT_EQ(cursorAt(f.Px(f.Page(0), 150, 40)), 0);  // a colour area does not pan
    EXPECT_EQ(cursorAt(f.Px(f.Page(0), 150, 110)), crDrag);
    EXPECT_EQ(cursorAt(QPoint(3, 3)), 0);
    EXPECT_EQ(cursorAt(f.Px(f.Page(0), 150, 110), Qt::ShiftModifier), crDrag);  // nothing to pan
    v.SetFocusedElement(text);
    EXPECT_EQ(cursorAt(f.Px(f.Page(0), 170, 110)), crSizeWE);
    EXPECT_EQ(cursorAt(f.Px(f.Page(0), 150, 100)), crSizeNS);
    EXPECT_EQ(cursorAt(f.Px(f.Page(0), 170, 110) + QPoint(12, 0)), crRotate);
    v.SetZoom(2);
    EXPECT_EQ(cursorAt(QPoint(400, 300), Qt::ShiftModifier), crViewPan);
    EXPECT_EQ(v.cursor().shape(), Qt::BitmapCursor);
}

TEST(MainView, ShiftDragPansTheViewOnlyWhenItCanScroll)
{
    ViewFixture f(0, 1);
    TFBTextElement* text = AddText(f.Page(0), 100, 75, 60, 20);
    TFBMainView& v = f.Show();
    // The view fits the window: Shift+click focuses the element under the mouse.
    const QPoint p = f.Px(f.Page(0), 100, 75);
    Press(v, p, Qt::LeftButton, Qt::ShiftModifier);
    Release(v, p);
    EXPECT_EQ(v.FocusedElement(), text);
    v.SetFocusedElement(nullptr);
    v.SetZoom(3);
    const int x0 = v.GetScrollPosX(), y0 = v.GetScrollPosY();
    Press(v, QPoint(400, 300), Qt::LeftButton, Qt::ShiftModifier);
    MoveTo(v, QPoint(350, 330), Qt::LeftButton, Qt::ShiftModifier);
    Release(v, QPoint(350, 330));
    EXPECT_EQ(v.GetScrollPosX(), x0 + 50);
    EXPECT_EQ(v.GetScrollPosY(), y0 - 30);
    EXPECT_EQ(v.FocusedElement(), nullptr);
    // The middle button pans without Shift, and stops at the range's ends.
    Press(v, QPoint(400, 300), Qt::MiddleButton);
    MoveTo(v, QPoint(5000, 5000), Qt::MiddleButton);
    Release(v, QPoint(5000, 5000), Qt::MiddleButton);
    EXPECT_EQ(v.GetScrollPosX(), 0);
    EXPECT_EQ(v.GetScrollPosY(), 0);
    EXPECT_EQ(GetUndoManager().Count(), 0);  // neither the click nor the panning changed the album
}

TEST(MainView, DraggingAPicturePansItInsideItsFrame)
{
    ViewFixture f(0, 1);
    TFBPictureElement* pic = AddFrame(f.Page(0), 100, 75, 100, 100);
    GivePicture(pic, 0, 400, 200);  // twice as wide as high: 200 x 100 mm in the frame
    TFBMainView& v = f.Show();
    const QPoint p = f.Px(f.Page(0), 100, 75);
    Drag(v, p, p + QPoint(-90, 0));  // 25 mm to the left: offset 0.5 + 25/100
    EXPECT_NEAR(pic->OffsetX, 0.75f, 0.002f);
    EXPECT_FLOAT_EQ(pic->OffsetY, 0.5f);  // no room vertically
    Drag(v, p, p + QPoint(-900, 0));
    EXPECT_FLOAT_EQ(pic->OffsetX, 1.0f);
    ASSERT_EQ(GetUndoManager().Count(), 2);
    GetUndoManager().Undo(f.Doc);
    GetUndoManager().Undo(f.Doc);
    EXPECT_FLOAT_EQ(pic->OffsetX, 0.5f);
}

TEST(MainView, RightClickFocusesAndAsksForTheContextMenu)
{
    ViewFixture f(2, 4);
    TFBTextElement* text = AddText(f.Page(3), 100, 75, 40, 20);
    TFBMainView& v = f.Show();
    v.SetScreen(1);
    TFBPage* page = nullptr;
    TFBElement* element = nullptr;
    int calls = 0;
    v.OnContextMenu = [&](TFBPage* p, TFBElement* e, const QPoint&) {
        page = p;
        element = e;
        ++calls;
    };
    Press(v, f.Px(f.Page(3), 100, 75), Qt::RightButton);
    Release(v, f.Px(f.Page(3), 100, 75), Qt::RightButton);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(page, f.Page(3));
    EXPECT_EQ(element, text);
    EXPECT_EQ(v.FocusedElement(), text);
    Press(v, f.Px(f.Page(2), 10, 10), Qt::RightButton);
    EXPECT_EQ(page, f.Page(2));
    EXPECT_EQ(element, nullptr);
    EXPECT_EQ(v.FocusedElement(), nullptr);
    EXPECT_EQ(GetUndoManager().Count(), 0);
}

TEST(MainView, ExceptionsStayInsideTheView)
{
    ViewFixture f(0, 1);
    AddText(f.Page(0), 100, 75, 40, 20);
    TFBMainView& v = f.Show();
    ShownMessages shown;
    v.OnFocusChanged = [](TObject*) { throw Exception("Fokus kaputt"); };
    Press(v, f.Px(f.Page(0), 100, 75));
    Release(v, f.Px(f.Page(0), 100, 75));
    EXPECT_EQ(shown.Texts, QStringList({"Fokus kaputt."}));
}

// ---- keys ---------------------------------------------------------------------------------------

TEST(MainView, ArrowKeysMoveInScreenDirections)
{
    struct Case {
        const char* Name;
        uint8_t Orientation;
        float Angle;
        int Key;
        float DX, DY;  // in page millimetres
    };
    const Case cases[] = {
        {"right", 0, 90, Qt::Key_Right, 1, 0},      {"left", 0, 90, Qt::Key_Left, -1, 0},
        {"up", 0, 90, Qt::Key_Up, 0, -1},           {"down", 0, 90, Qt::Key_Down, 0, 1},
        {"turned right", 1, 90, Qt::Key_Right, 0, -1}, {"turned up", 1, 90, Qt::Key_Up, -1, 0},
        {"turned back right", 1, -90, Qt::Key_Right, 0, 1},
        {"turned back up", 1, -90, Qt::Key_Up, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        ViewFixture f(0, 1);
        f.Doc.ScreenQuerformatWinkel = c.Angle;
        f.Page(0)->Orientation = c.Orientation;
        TFBTextElement* text = AddText(f.Page(0), 100, 75, 40, 20);
        TFBMainView& v = f.Show();
        v.SetFocusedElement(text);
        const QPoint before = f.Px(f.Page(0), text->CenterX, text->CenterY);
        Key(v, c.Key);
        EXPECT_NEAR(text->CenterX, 100 + c.DX, 1e-4);
        EXPECT_NEAR(text->CenterY, 75 + c.DY, 1e-4);
        // On screen the element went the way of the arrow.
        const QPoint after = f.Px(f.Page(0), text->CenterX, text->CenterY);
        const QPoint d = after - before;
        if (c.Key == Qt::Key_Right) {
            EXPECT_GE(d.x(), 2);
        }
        if (c.Key == Qt::Key_Left) {
            EXPECT_LE(d.x(), -2);
        }
        if (c.Key == Qt::Key_Up) {
            EXPECT_LE(d.y(), -2);
        }
        if (c.Key == Qt::Key_Down) {
            EXPECT_GE(d.y(), 2);
        }
        EXPECT_LE(std::abs(c.Key == Qt::Key_Right || c.Key == Qt::Key_Left ? d.y() : d.x()), 1);
        EXPECT_NEAR(v.Tracker().CenterX, text->CenterX, 1e-4);
        EXPECT_EQ(GetUndoManager().Count(), 1);
        GetUndoManager().Undo(f.Doc);
        EXPECT_FLOAT_EQ(text->CenterX, 100);
        EXPECT_FLOAT_EQ(text->CenterY, 75);
    }
}

TEST(MainView, ArrowKeysCrossTheSpineOfAnInnerSpread)
{
    ViewFixture f(1, 6);  // screens (-,0) (1,2) (3,4) (5,-)
    TFBTextElement* text = AddText(f.Page(1), 201, 75, 10, 10);
    TFBMainView& v = f.Show();
    v.SetScreen(1);
    v.SetFocusedElement(text);
    Key(v, Qt::Key_Right);  // 202: not beyond page width + gutter
    EXPECT_EQ(text->Page, f.Page(1));
    Key(v, Qt::Key_Right);  // 203 > 202: over to the right page
    ASSERT_EQ(text->Page, f.Page(2));
    EXPECT_NEAR(text->CenterX, 1, 1e-4);
    EXPECT_EQ(v.FocusedElement(), text);
    EXPECT_NEAR(v.Tracker().CenterX, 1, 1e-4);
    Key(v, Qt::Key_Left);
    Key(v, Qt::Key_Left);
    Key(v, Qt::Key_Left);  // -2: not below minus the gutter
    EXPECT_EQ(text->Page, f.Page(2));
    Key(v, Qt::Key_Left);  // back over the spine
    ASSERT_EQ(text->Page, f.Page(1));
    EXPECT_NEAR(text->CenterX, 199, 1e-4);
    for (int i = 0; i < 6; ++i)
        GetUndoManager().Undo(f.Doc);
    EXPECT_EQ(text->Page, f.Page(1));
    EXPECT_NEAR(text->CenterX, 201, 1e-4);
    // The cover screens keep their elements.
    TFBTextElement* onCover = AddText(f.Page(0), 1, 75, 10, 10);
    v.SetScreen(0);
    v.SetFocusedElement(onCover);
    for (int i = 0; i < 5; ++i)
        Key(v, Qt::Key_Left);
    EXPECT_EQ(onCover->Page, f.Page(0));
    EXPECT_NEAR(onCover->CenterX, -4, 1e-4);
}

TEST(MainView, DeleteKeyByElementKind)
{
    ViewFixture f(0, 1);
    TFBPictureElement* pic = AddFrame(f.Page(0), 50, 75, 60, 60);
    GivePicture(pic);
    TFBTextElement* text = AddText(f.Page(0), 150, 110, 40, 20);
    TFBKalenderElement* cal = AddCalendar(f.Page(0), 150, 40, 60, 30);
    TFBMainView& v = f.Show();
    const std::vector<uint8_t> before = SavedBytes(f.Doc);
    v.SetFocusedElement(cal);
    Key(v, Qt::Key_Delete);
    EXPECT_EQ(f.Page(0)->Calendars.Count(), 1);
    EXPECT_EQ(GetUndoManager().Count(), 0);
    v.SetFocusedElement(pic);
    Key(v, Qt::Key_Delete);
    EXPECT_FALSE(pic->HasPicture());
    EXPECT_EQ(v.FocusedElement(), pic);  // the empty frame stays focused
    Key(v, Qt::Key_Delete);             // nothing left to record
    EXPECT_EQ(GetUndoManager().Count(), 1);
    v.SetFocusedElement(text);
    Key(v, Qt::Key_Delete);
    EXPECT_EQ(f.Page(0)->Elements.Count(), 0);
    EXPECT_EQ(v.FocusedElement(), nullptr);
    EXPECT_TRUE(f.Doc.Modified);
    GetUndoManager().Undo(f.Doc);
    GetUndoManager().Undo(f.Doc);
    EXPECT_SAME_DOCUMENT(SavedBytes(f.Doc), before);
    EXPECT_EQ(v.FocusedElement(), pic);  // focus state of the first item
}

// ---- wheel ----------------------------------------------------------------------------------------

TEST(MainView, WheelZoomsThePictureAsOneUndoStep)
{
    ViewFixture f(0, 1);
    TFBPictureElement* pic = AddFrame(f.Page(0), 50, 75, 60, 60);
    GivePicture(pic);
    TFBPictureElement* empty = AddFrame(f.Page(0), 150, 75, 60, 60);
    TFBMainView& v = f.Show();
    const QPoint p = f.Px(f.Page(0), 50, 75);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(Wheel(v, p, -120));
    EXPECT_NEAR(pic->Zoom, 1.09f, 1e-5);
    EXPECT_EQ(v.FocusedElement(), pic);
    EXPECT_TRUE(Wheel(v, p, 240));
    EXPECT_NEAR(pic->Zoom, 1.03f, 1e-5);
    EXPECT_EQ(GetUndoManager().Count(), 1);
    // No turn, an empty frame, or empty page: nothing happens.
    EXPECT_FALSE(Wheel(v, p, 0));
    EXPECT_FALSE(Wheel(v, f.Px(f.Page(0), 150, 75), -120));
    EXPECT_FLOAT_EQ(empty->Zoom, 1);
    EXPECT_FALSE(Wheel(v, QPoint(3, 3), -120));
    EXPECT_NEAR(pic->Zoom, 1.03f, 1e-5);
    EXPECT_EQ(GetUndoManager().Count(), 1);
    GetUndoManager().Undo(f.Doc);
    EXPECT_FLOAT_EQ(pic->Zoom, 1);
}

TEST(MainView, CtrlWheelZoomsTheViewAtTheMouse)
{
    ViewFixture f(0, 1);
    TFBPictureElement* pic = AddFrame(f.Page(0), 50, 75, 60, 60);
    GivePicture(pic);
    TFBMainView& v = f.Show();
    const QPoint p = f.Px(f.Page(0), 50, 75);
    EXPECT_TRUE(Wheel(v, p, 120, Qt::ControlModifier));  // zooming out below 1 stays at 1
    EXPECT_FLOAT_EQ(v.Zoom(), 1);
    float bx, by;
    v.SetupTransformation();
    v.Transformation().InverseTransform(float(p.x()), float(p.y()), bx, by);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(Wheel(v, p, -120, Qt::ControlModifier));
    EXPECT_NEAR(v.Zoom(), std::pow(1.05f, 4), 1e-4);
    float ax, ay;
    v.SetupTransformation();
    v.Transformation().InverseTransform(float(p.x()), float(p.y()), ax, ay);
    EXPECT_NEAR(ax, bx, 0.3f);
    EXPECT_NEAR(ay, by, 0.3f);
    EXPECT_FALSE(Wheel(v, p, 0, Qt::ControlModifier));
    EXPECT_NEAR(v.Zoom(), std::pow(1.05f, 4), 1e-4);
    EXPECT_FLOAT_EQ(pic->Zoom, 1);  // the picture kept its zoom
    EXPECT_EQ(GetUndoManager().Count(), 0);
}

// ---- screens and focus state ------------------------------------------------------------------

TEST(MainView, ScreenIndexNeverPassesTheEnd)
{
    ViewFixture f(2, 6);
    TFBTextElement* text = AddText(f.Page(5), 100, 75, 40, 20);
    TFBMainView& v = f.Show();
    v.SetScreen(99);
    EXPECT_EQ(v.ScreenIndex(), 2);
    v.SetScreen(-3);
    EXPECT_EQ(v.ScreenIndex(), 0);
    // Deleting the last screen while it is shown, with an element focused on it.
    v.SetScreen(2);
    v.SetFocusedElement(text);
    f.Doc.DeleteScreen(2);
    v.ContentChanged(f.Page(0), nullptr);
    EXPECT_EQ(v.ScreenIndex(), 1);
    EXPECT_EQ(v.FocusedElement(), nullptr);
    (void)v.grab();  // paints without touching the deleted element
    // Undoing the insertion of a last screen while it is shown.
    GetUndoManager().AddSeiteEinfuegen(2);
    f.Doc.InsertScreen(2, 1);
    v.SetScreen(2);
    EXPECT_EQ(v.ScreenIndex(), 2);
    GetUndoManager().Undo(f.Doc);
    EXPECT_EQ(f.Doc.GetScreenCount(), 2);
    EXPECT_EQ(v.ScreenIndex(), 1);
}

TEST(MainView, UndoRemovingTheFocusedElementDropsTheFocus)
{
    ViewFixture f(0, 2);
    TFBMainView& v = f.Show();
    v.SetScreen(1);
    TFBTextElement* text = AddText(f.Page(1), 100, 75, 40, 20);
    GetUndoManager().AddElementEinfuegen(text);  // recorded with the view on screen 1
    v.SetFocusedElement(text);
    const int changes = f.FocusChanges;
    GetUndoManager().Undo(f.Doc);  // frees the focused element
    EXPECT_EQ(f.Page(1)->Elements.Count(), 0);
    EXPECT_EQ(v.FocusedElement(), nullptr);
    EXPECT_FALSE(v.Tracker().Shown);
    EXPECT_GT(f.FocusChanges, changes);
    (void)v.grab();
    Key(v, Qt::Key_Delete);  // nothing focused: nothing happens
    EXPECT_EQ(GetUndoManager().Count(), 0);
}

TEST(MainView, FocusStateTravelsWithTheUndoItem)
{
    ViewFixture f(2, 4);
    TFBTextElement* text = AddText(f.Page(3), 100, 75, 40, 20);
    TFBPictureElement* pic = AddFrame(f.Page(0), 100, 75, 40, 20);
    TFBMainView& v = f.Show();
    int pageNotices = 0;
    GetMulticaster().OnCurrentPageChanged = [&](TMulticaster*, TObject* s, int i) {
        EXPECT_EQ(s, static_cast<TObject*>(&v));
        EXPECT_EQ(i, 1);
        ++pageNotices;
    };
    v.SetScreen(1);
    v.SetFocusedElement(text);
    GetUndoManager().AddSeitenhintergrund(f.Page(0));
    TCustomDataFile& data = GetUndoManager().Last()->Data();
    EXPECT_EQ(data.ReadInteger("UIState", "ViewIndex", -1), 1);
    EXPECT_TRUE(data.ReadBool("UIState", "HasFocusedElement", false));
    EXPECT_EQ(data.ReadString("UIState", "Focustyp", ""), "Sizeable");
    EXPECT_EQ(data.ReadInteger("UIState", "PageIndex", -1), 3);
    EXPECT_EQ(data.ReadInteger("UIState", "ElementIndex", -1), 0);
    v.SetScreen(0);
    v.SetFocusedElement(pic);
    GetUndoManager().Undo(f.Doc);
    EXPECT_EQ(v.ScreenIndex(), 1);
    EXPECT_EQ(v.FocusedElement(), text);
    EXPECT_EQ(pageNotices, 1);
    GetMulticaster().OnCurrentPageChanged = nullptr;
    // A page view made while no other records the focus state takes that
    // part by itself, and gives it up when it goes.
    GetUndoManager().SetUIStateHost(nullptr);
    {
        TFBMainView second(nullptr, &f.Doc);
        EXPECT_EQ(GetUndoManager().UIStateHost(), static_cast<TUndoUIStateHost*>(&second));
        TFBMainView third(nullptr, &f.Doc);
        EXPECT_EQ(GetUndoManager().UIStateHost(), static_cast<TUndoUIStateHost*>(&second));
    }
    EXPECT_EQ(GetUndoManager().UIStateHost(), nullptr);
    GetUndoManager().SetUIStateHost(&v);
    // A state without a focused element leaves none focused.
    TUndoItem item;
    item.Data().WriteInteger("UIState", "ViewIndex", 0);
    v.RestoreUIState(item.Data(), "UIState");
    EXPECT_EQ(v.ScreenIndex(), 0);
    EXPECT_EQ(v.FocusedElement(), nullptr);
    // No state at all changes nothing.
    v.SetFocusedElement(pic);
    TUndoItem none;
    v.RestoreUIState(none.Data(), "UIState");
    EXPECT_EQ(v.FocusedElement(), pic);
}
