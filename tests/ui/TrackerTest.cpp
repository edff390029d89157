// The selection frame's arithmetic: handle positions, hit tests, resizing by
// each handle, rotation snapping and the cursors over the handles.
#include "uCursors.h"
#include "uTracker.h"
#include "uTransformation.h"

#include <gtest/gtest.h>
#include <cmath>

namespace {

// A view transformation of 2 pixels per millimetre with the page at (100, 50).
struct TrackerSetup {
    TTransformation T;
    TTracker Tracker;
    explicit TrackerSetup(float Angle = 0, float Scale = 2)
    {
        T.Translate(100, 50);
        T.ScaleUniform(Scale);
        Tracker.CenterX = 20;
        Tracker.CenterY = 30;
        Tracker.Width = 40;
        Tracker.Height = 20;
        Tracker.Angle = Angle;
        Tracker.Shown = true;
    }
    void ExpectNear(TPointF P, float X, float Y, int Code)
    {
        EXPECT_NEAR(P.X, X, 0.01f) << "handle " << Code;
        EXPECT_NEAR(P.Y, Y, 0.01f) << "handle " << Code;
    }
};

struct HandleCase {
    int Code;
    float X0, Y0;    // device point at angle 0 (frame origin at (140, 110))
    float X90, Y90;  // at angle 90
};

}  // namespace

TEST(Tracker, HandlePositionsAtBothAngles)
{
    const HandleCase cases[] = {
        {1, 100, 90, 160, 70},   {2, 140, 90, 160, 110},  {3, 180, 90, 160, 150},
        {4, 180, 110, 140, 150}, {5, 180, 130, 120, 150}, {6, 140, 130, 120, 110},
        {7, 100, 130, 120, 70},  {8, 100, 110, 140, 70},  {9, 192, 110, 140, 162},
    };
    TrackerSetup straight(0), turned(90);
    for (const HandleCase& c : cases) {
        straight.ExpectNear(straight.Tracker.HandlePoint(straight.T, c.Code), c.X0, c.Y0, c.Code);
        turned.ExpectNear(turned.Tracker.HandlePoint(turned.T, c.Code), c.X90, c.Y90, c.Code);
    }
    // The caller's transformation is left as it was.
    EXPECT_EQ(straight.T.StackCount(), 0);
}

TEST(Tracker, RotationHandleStaysTwelvePixelsOutAtEveryZoom)
{
    for (float scale : {0.5f, 2.0f, 10.0f, 40.0f}) {
        TrackerSetup s(30, scale);
        const TPointF edge = s.Tracker.HandlePoint(s.T, 4);
        const TPointF rot = s.Tracker.HandlePoint(s.T, 9);
        EXPECT_NEAR(std::hypot(rot.X - edge.X, rot.Y - edge.Y), 12.0f, 0.01f) << scale;
    }
}

TEST(Tracker, HitTestWithinFourPixelsLowerCodeWins)
{
    TrackerSetup s;
    EXPECT_EQ(s.Tracker.HitTest(s.T, 184, 114), 4);  // corner of the 4-pixel box
    EXPECT_EQ(s.Tracker.HitTest(s.T, 185, 110), 0);
    EXPECT_EQ(s.Tracker.HitTest(s.T, 176, 106), 4);
    EXPECT_EQ(s.Tracker.HitTest(s.T, 192, 107), 9);
    EXPECT_EQ(s.Tracker.HitTest(s.T, 140, 110), 0);  // the middle is no handle
    // A tiny element: every resize handle lies within reach of its centre.
    s.Tracker.Width = 2;
    s.Tracker.Height = 2;
    EXPECT_EQ(s.Tracker.HitTest(s.T, 140, 110), 1);
    EXPECT_EQ(s.Tracker.HitTest(s.T, 145, 110), 3);  // right on handle 4, but 3 comes first
}

TEST(Tracker, BeginDragOnlyOnAHandle)
{
    TrackerSetup s;
    EXPECT_FALSE(s.Tracker.BeginDrag(s.T, 140, 110));
    EXPECT_EQ(s.Tracker.DragHandle, 0);
    EXPECT_EQ(s.Tracker.DragTo(s.T, 150, 120), 0);
    EXPECT_FLOAT_EQ(s.Tracker.Width, 40);  // no drag, nothing changes
    EXPECT_TRUE(s.Tracker.BeginDrag(s.T, 101, 91));
    EXPECT_EQ(s.Tracker.DragHandle, 1);
    EXPECT_EQ(s.Tracker.LastMouse, Point(101, 91));
}

TEST(Tracker, ResizeByEachHandleKeepsTheOppositeEdges)
{
    struct Case {
        int Code;
        float W, H, CX, CY;
    };
    // Each handle dragged by (10, 6) pixels = (5, 3) mm.
    const Case cases[] = {
        {1, 35, 17, 22.5f, 31.5f}, {2, 40, 17, 20, 31.5f},    {3, 45, 17, 22.5f, 31.5f},
        {4, 45, 20, 22.5f, 30},    {5, 45, 23, 22.5f, 31.5f}, {6, 40, 23, 20, 31.5f},
        {7, 35, 23, 22.5f, 31.5f}, {8, 35, 20, 22.5f, 30},
    };
    for (const Case& c : cases) {
        TrackerSetup s;
        const TPointF h = s.Tracker.HandlePoint(s.T, c.Code);
        const int x = int(std::lround(h.X)), y = int(std::lround(h.Y));
        ASSERT_TRUE(s.Tracker.BeginDrag(s.T, x, y)) << c.Code;
        EXPECT_EQ(s.Tracker.DragTo(s.T, x + 10, y + 6), 0);
        EXPECT_NEAR(s.Tracker.Width, c.W, 1e-4) << c.Code;
        EXPECT_NEAR(s.Tracker.Height, c.H, 1e-4) << c.Code;
        EXPECT_NEAR(s.Tracker.CenterX, c.CX, 1e-4) << c.Code;
        EXPECT_NEAR(s.Tracker.CenterY, c.CY, 1e-4) << c.Code;
        EXPECT_EQ(s.Tracker.LastMouse, Point(x + 10, y + 6));
    }
}

TEST(Tracker, ResizeThroughZeroGivesNegativeSizeThenMirroredFrame)
{
    TrackerSetup s;
    ASSERT_TRUE(s.Tracker.BeginDrag(s.T, 100, 110));  // left edge
    s.Tracker.DragTo(s.T, 200, 110);                  // 50 mm to the right
    EXPECT_NEAR(s.Tracker.Width, -10, 1e-4);
    EXPECT_NEAR(s.Tracker.CenterX, 45, 1e-4);
    // Once applied as |Width| the frame spans 40..50: the old right edge stays.
    EXPECT_NEAR(s.Tracker.CenterX - std::fabs(s.Tracker.Width) / 2, 40, 1e-4);
    // Dragging on keeps working from the last point.
    s.Tracker.DragTo(s.T, 180, 110);
    EXPECT_NEAR(s.Tracker.Width, 0, 1e-4);
}

TEST(Tracker, ResizeOfATurnedFrameFollowsItsAxes)
{
    TrackerSetup s(90);
    // Handle 4 lies below the centre on screen; dragging it 10 pixels down
    // lengthens the frame by 5 mm along its own x axis (page y).
    ASSERT_TRUE(s.Tracker.BeginDrag(s.T, 140, 150));
    s.Tracker.DragTo(s.T, 140, 160);
    EXPECT_NEAR(s.Tracker.Width, 45, 1e-4);
    EXPECT_NEAR(s.Tracker.Height, 20, 1e-4);
    EXPECT_NEAR(s.Tracker.CenterX, 20, 1e-4);
    EXPECT_NEAR(s.Tracker.CenterY, 32.5f, 1e-4);
}

TEST(Tracker, RotationSnapsByDistanceWithItsCursor)
{
    struct Case {
        int K;  // the mouse at (4k, 3k) pixels from the centre: 36.87 degrees, 5k away
        float Angle;
        int Cursor;
    };
    const Case cases[] = {
        {8, 30, crRotate15},          // 40 px
        {10, 40, crRotate10},         // 50 px
        {12, 40, crRotate10},         // 60 px
        {20, 35, crRotate5},          // 100 px
        {40, 37, crRotate1},          // 200 px
        {60, 36.8699f, crRotate},     // 300 px: free
    };
    for (const Case& c : cases) {
        TrackerSetup s;
        ASSERT_TRUE(s.Tracker.BeginDrag(s.T, 192, 110));
        EXPECT_EQ(s.Tracker.DragTo(s.T, 140 + 4 * c.K, 110 + 3 * c.K), c.Cursor) << c.K;
        EXPECT_NEAR(s.Tracker.Angle, c.Angle, 1e-3) << c.K;
        EXPECT_FLOAT_EQ(s.Tracker.Width, 40);
    }
    // Turning on from a turned frame adds the angle seen in the frame.
    TrackerSetup s(30);
    const TPointF h = s.Tracker.HandlePoint(s.T, 9);
    ASSERT_TRUE(s.Tracker.BeginDrag(s.T, int(std::lround(h.X)), int(std::lround(h.Y))));
    EXPECT_EQ(s.Tracker.DragTo(s.T, 140, 150), crRotate15);  // straight down, 40 px
    EXPECT_NEAR(s.Tracker.Angle, 90, 1e-3);
}

TEST(Tracker, CursorOverEachHandleFollowsTheScreenDirection)
{
    struct Case {
        int Code, At0, At90;
    };
    const Case cases[] = {
        {1, crSizeNWSE, crSizeNESW}, {2, crSizeNS, crSizeWE},   {3, crSizeNESW, crSizeNWSE},
        {4, crSizeWE, crSizeNS},     {5, crSizeNWSE, crSizeNESW}, {6, crSizeNS, crSizeWE},
        {7, crSizeNESW, crSizeNWSE}, {8, crSizeWE, crSizeNS},   {9, crRotate, crRotate},
    };
    TrackerSetup straight(0), turned(90);
    for (const Case& c : cases) {
        for (auto [s, expected] : {std::pair{&straight, c.At0}, std::pair{&turned, c.At90}}) {
            const TPointF h = s->Tracker.HandlePoint(s->T, c.Code);
            int cursor = -1;
            EXPECT_TRUE(s->Tracker.GetCursor(s->T, int(std::lround(h.X)), int(std::lround(h.Y)), cursor));
            EXPECT_EQ(cursor, expected) << "handle " << c.Code;
        }
    }
    int cursor = 77;
    EXPECT_FALSE(straight.Tracker.GetCursor(straight.T, 140, 110, cursor));
    EXPECT_EQ(cursor, 77);
}

TEST(Tracker, CursorsComeFromTheProgramsResources)
{
    for (int n : {crRotate, crRotate15, crRotate10, crRotate5, crRotate1, crSizeNS, crSizeNWSE,
                  crSizeWE, crSizeNESW}) {
        const QCursor c = ScreenCursor(n);
        EXPECT_EQ(c.shape(), Qt::BitmapCursor) << n;
        EXPECT_EQ(c.pixmap().size(), QSize(32, 32)) << n;
    }
    // Distinct pictures for the snapping steps.
    EXPECT_NE(ScreenCursor(crRotate15).pixmap().toImage(), ScreenCursor(crRotate10).pixmap().toImage());
    EXPECT_EQ(ScreenCursor(0).shape(), Qt::ArrowCursor);
    EXPECT_EQ(ScreenCursor(12345).shape(), Qt::ArrowCursor);
}
