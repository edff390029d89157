// The paint window's scroll arithmetic: the maximum is the virtual extent,
// the page the client extent; updates centre the view; lines move 10 pixels,
// page clicks 50, and every move is clamped to 0 .. maximum - page.
#include "uPaintWindow.h"

#include "Application.h"
#include "SysUtils.h"
#include "../common/ShownMessages.h"

#include <QCoreApplication>
#include <QScrollBar>
#include <gtest/gtest.h>

namespace {

struct Window {
    TPaintWindow W;
    int Scrolls = 0;
    int Paints = 0;
    Window(int Width, int Height)
    {
        W.OnScroll = [this](TObject*) { ++Scrolls; };
        W.OnPaint = [this](TObject*) { ++Paints; };
        W.resize(Width, Height);
        W.show();
        QCoreApplication::processEvents();
    }
};

}  // namespace

TEST(PaintWindow, SmallDrawingAreaHasNoBars)
{
    Window w(300, 200);
    w.W.SetVirtualSize(120, 80);
    EXPECT_FALSE(w.W.HorzScrollBar()->isVisible());
    EXPECT_FALSE(w.W.VertScrollBar()->isVisible());
    EXPECT_EQ(w.W.ClientWidth(), 300);
    EXPECT_EQ(w.W.ClientHeight(), 200);
    EXPECT_EQ(w.W.GetScrollMaxX(), 0);
    EXPECT_EQ(w.W.GetScrollMaxY(), 0);
    w.W.SetScrollPosX(40);
    EXPECT_EQ(w.W.GetScrollPosX(), 0);
    EXPECT_EQ(w.W.GetScrollPosY(), 0);
}

TEST(PaintWindow, LargeDrawingAreaIsCentredAndClamped)
{
    Window w(300, 200);
    w.W.SetVirtualSize(1000, 800);
    ASSERT_TRUE(w.W.HorzScrollBar()->isVisible());
    ASSERT_TRUE(w.W.VertScrollBar()->isVisible());
    const int cw = w.W.ClientWidth(), ch = w.W.ClientHeight();
    EXPECT_LT(cw, 300);
    EXPECT_LT(ch, 200);
    EXPECT_EQ(w.W.GetScrollMaxX(), 1000);
    EXPECT_EQ(w.W.GetScrollMaxY(), 800);
    EXPECT_EQ(w.W.GetScrollPosX(), (1000 - cw) / 2);
    EXPECT_EQ(w.W.GetScrollPosY(), (800 - ch) / 2);
    // Positions run from 0 to maximum - page.
    w.W.SetScrollPosX(-5);
    EXPECT_EQ(w.W.GetScrollPosX(), 0);
    w.W.SetScrollPosX(99999);
    EXPECT_EQ(w.W.GetScrollPosX(), 1000 - cw);
    w.W.SetScrollPosY(123);
    EXPECT_EQ(w.W.GetScrollPosY(), 123);
    EXPECT_EQ(w.Scrolls, 0);  // setting a position is no scroll message
}

TEST(PaintWindow, ResizeRecentresTheView)
{
    Window w(300, 200);
    w.W.SetVirtualSize(1000, 800);
    w.W.SetScrollPosX(0);
    w.W.SetScrollPosY(0);
    w.W.resize(420, 260);
    EXPECT_EQ(w.W.GetScrollPosX(), (1000 - w.W.ClientWidth()) / 2);
    EXPECT_EQ(w.W.GetScrollPosY(), (800 - w.W.ClientHeight()) / 2);
    // Grown beyond the drawing area: both bars vanish and read 0.
    w.W.resize(1200, 900);
    EXPECT_FALSE(w.W.HorzScrollBar()->isVisible());
    EXPECT_EQ(w.W.GetScrollMaxX(), 0);
    EXPECT_EQ(w.W.GetScrollPosX(), 0);
    EXPECT_EQ(w.W.GetScrollPosY(), 0);
}

TEST(PaintWindow, ScrollMessagesMoveByTheirSteps)
{
    Window w(300, 200);
    w.W.SetVirtualSize(1000, 800);
    QScrollBar* bar = w.W.HorzScrollBar();
    const int end = 1000 - w.W.ClientWidth();
    struct Step {
        QAbstractSlider::SliderAction Action;
        int From, To;
    };
    const Step steps[] = {
        {QAbstractSlider::SliderSingleStepAdd, 100, 110},
        {QAbstractSlider::SliderSingleStepSub, 100, 90},
        {QAbstractSlider::SliderPageStepAdd, 100, 150},
        {QAbstractSlider::SliderPageStepSub, 100, 50},
        {QAbstractSlider::SliderPageStepSub, 30, 0},
        {QAbstractSlider::SliderSingleStepAdd, end, end},  // stays at the end
        {QAbstractSlider::SliderPageStepAdd, end - 20, end},
        {QAbstractSlider::SliderToMinimum, 100, 0},
        {QAbstractSlider::SliderToMaximum, 100, end},
    };
    int scrolls = 0;
    for (const Step& s : steps) {
        w.W.SetScrollPosX(s.From);
        bar->triggerAction(s.Action);
        EXPECT_EQ(w.W.GetScrollPosX(), s.To) << s.Action << " from " << s.From;
        EXPECT_EQ(w.Scrolls, ++scrolls);
    }
    // The thumb track goes where the thumb is.
    w.W.SetScrollPosY(0);
    QScrollBar* vbar = w.W.VertScrollBar();
    vbar->setSliderDown(true);
    vbar->setSliderPosition(77);
    EXPECT_EQ(w.W.GetScrollPosY(), 77);
    vbar->setSliderDown(false);
}

TEST(PaintWindow, DisableNoScrollKeepsBarsShownButDisabled)
{
    Window w(300, 200);
    w.W.SetDisableNoScroll(true);
    w.W.SetVirtualSize(100, 100);
    EXPECT_TRUE(w.W.HorzScrollBar()->isVisible());
    EXPECT_FALSE(w.W.HorzScrollBar()->isEnabled());
    EXPECT_EQ(w.W.GetScrollMaxX(), 0);
    w.W.SetVirtualSize(1000, 100);
    EXPECT_TRUE(w.W.HorzScrollBar()->isEnabled());
    EXPECT_FALSE(w.W.VertScrollBar()->isEnabled());
}

TEST(PaintWindow, PaintCallsOnPaintWithTheUpdateRectangle)
{
    Window w(300, 200);
    TRect seen;
    bool canvas = false;
    w.W.OnPaint = [&](TObject*) {
        seen = w.W.UpdateRect;
        canvas = w.W.PaintCanvas() != nullptr;
    };
    w.W.InvalidateRect(Rect(10, 20, 60, 70));
    w.W.repaint(10, 20, 50, 50);
    EXPECT_EQ(seen, Rect(10, 20, 60, 70));
    EXPECT_TRUE(canvas);
    EXPECT_EQ(w.W.UpdateRect, PaintWindowWholePlane);
    EXPECT_EQ(w.W.PaintCanvas(), nullptr);
}

TEST(PaintWindow, AFailedPaintIsReportedOnceAfterThePaint)
{
    Window w(300, 200);
    bool fail = true;
    w.W.OnPaint = [&](TObject*) {
        if (fail)
            throw Exception("page broken");
    };
    QStringList shown;
    QStringList shownWhilePainting;
    const ShownMessages messages([&](const QString& m) { (w.W.PaintCanvas() ? shownWhilePainting : shown) << m; });
    for (int i = 0; i < 3; ++i) {
        w.W.repaint();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(shown, QStringList({"page broken."}));
    EXPECT_EQ(w.W.PaintCanvas(), nullptr);
    // After a good paint the same failure is news again.
    fail = false;
    w.W.repaint();
    fail = true;
    w.W.repaint();
    QCoreApplication::processEvents();
    EXPECT_EQ(shown, QStringList({"page broken.", "page broken."}));
    EXPECT_TRUE(shownWhilePainting.isEmpty());
}
