#include "uTracker.h"

#include "SysUtils.h"
#include "uCursors.h"
#include "uDrawContext.h"
#include "uPaintWindow.h"
#include "uTransformation.h"

#include <cmath>

namespace {

constexpr int HandleCount = 9;
constexpr float HandlePixels = 6.0f;
constexpr float HitPixels = 4.0f;

// Sets the transformation to the frame's own coordinates for a scope.
class TFrameScope {
public:
    TFrameScope(TTransformation& T, const TTracker& Tracker) : t_(T)
    {
        t_.Push();
        t_.Translate(Tracker.CenterX, Tracker.CenterY);
        t_.Rotate(Tracker.Angle);
    }
    ~TFrameScope() { t_.Pop(); }
    TFrameScope(const TFrameScope&) = delete;
    TFrameScope& operator=(const TFrameScope&) = delete;

private:
    TTransformation& t_;
};

TPointF Map(TTransformation& T, const TPointF& P)
{
    TPointF r;
    T.Transform(P.X, P.Y, r.X, r.Y);
    return r;
}

}  // namespace

TPointF TTracker::HandleLocal(int Code, float S) const
{
    const float w = Width / 2;
    const float h = Height / 2;
    switch (Code) {
    case 1: return {-w, -h};
    case 2: return {0, -h};
    case 3: return {w, -h};
    case 4: return {w, 0};
    case 5: return {w, h};
    case 6: return {0, h};
    case 7: return {-w, h};
    case 8: return {-w, 0};
    case 9: return {w + 4 * S, 0};
    default: return {0, 0};
    }
}

float TTracker::HalfHandle(TTransformation& T) const
{
    TPointF v;
    T.InverseTransformVector(HandlePixels, 0, v.X, v.Y);
    return VectorLength(v) / 2;
}

TPointF TTracker::HandlePoint(TTransformation& T, int Code)
{
    TFrameScope scope(T, *this);
    return Map(T, HandleLocal(Code, HalfHandle(T)));
}

void TTracker::Draw(TDrawContext& DC)
{
    TTransformation& T = *DC.Transformation;
    TPointF points[HandleCount];
    for (int code = 1; code <= HandleCount; ++code)
        points[code - 1] = HandlePoint(T, code);
    T.Push();
    T.SetIdentity();
    DC.SetPenColor(clBlack);
    DC.SetPenStyle(psSolid);
    DC.SetPenWidthPixels(1);
    DC.GetBrush().SetStyle(bsSolid);
    DC.GetBrush().SetColor(RGB(0, 255, 0));
    for (int i = 0; i < 8; ++i)
        DC.RectangleCentered(points[i].X, points[i].Y, HandlePixels, HandlePixels);
    DC.GetBrush().SetColor(RGB(255, 0, 0));
    DC.Ellipse(points[8].X, points[8].Y, HandlePixels, HandlePixels);
    T.Pop();
}

void TTracker::InvalidateHandles(TPaintWindow* Window, TTransformation& T)
{
    if (!Window)
        return;
    for (int code = 1; code <= HandleCount; ++code) {
        const TPointF p = HandlePoint(T, code);
        TRect r{int32_t(Round(p.X - 4)), int32_t(Round(p.Y - 4)), int32_t(Round(p.X + 4)),
                int32_t(Round(p.Y + 4))};
        InflateRect(r, 2, 2);
        Window->InvalidateRect(r);
    }
}

int TTracker::HitTest(TTransformation& T, int X, int Y)
{
    for (int code = 1; code <= HandleCount; ++code) {
        const TPointF p = HandlePoint(T, code);
        if (std::fabs(float(X) - p.X) <= HitPixels && std::fabs(float(Y) - p.Y) <= HitPixels)
            return code;
    }
    return 0;
}

bool TTracker::BeginDrag(TTransformation& T, int X, int Y)
{
    DragHandle = uint8_t(HitTest(T, X, Y));
    if (DragHandle == 0)
        return false;
    LastMouse = Point(X, Y);
    return true;
}

int TTracker::DragTo(TTransformation& T, int X, int Y)
{
    if (DragHandle == 0)
        return 0;
    int cursor = 0;
    {
        TFrameScope scope(T, *this);
        float lx, ly, cx, cy, ox, oy;
        T.InverseTransform(float(LastMouse.X), float(LastMouse.Y), lx, ly);
        T.InverseTransform(float(X), float(Y), cx, cy);
        T.Transform(0, 0, ox, oy);
        if (DragHandle <= 8) {
            const float dx = cx - lx;
            const float dy = cy - ly;
            float left = -Width / 2, top = -Height / 2, right = Width / 2, bottom = Height / 2;
            switch (DragHandle) {
            case 1: left += dx; top += dy; break;
            case 2: top += dy; break;
            case 3: right += dx; top += dy; break;
            case 4: right += dx; break;
            case 5: right += dx; bottom += dy; break;
            case 6: bottom += dy; break;
            case 7: left += dx; bottom += dy; break;
            case 8: left += dx; break;
            }
            Width = right - left;
            Height = bottom - top;
            TTransformation turn;
            turn.Rotate(Angle);
            float mx, my;
            turn.Transform((left + right) / 2, (top + bottom) / 2, mx, my);
            CenterX += mx;
            CenterY += my;
        } else {
            Angle += VectorAngle(cx, cy);
            const float d = std::hypot(float(X) - ox, float(Y) - oy);
            float step = 0;
            if (d < 50) {
                step = 15;
                cursor = crRotate15;
            } else if (d < 75) {
                step = 10;
                cursor = crRotate10;
            } else if (d < 150) {
                step = 5;
                cursor = crRotate5;
            } else if (d < 225) {
                step = 1;
                cursor = crRotate1;
            } else {
                cursor = crRotate;
            }
            if (step > 0)
                Angle = RoundToStep(Angle, step);
        }
    }
    LastMouse = Point(X, Y);
    return cursor;
}

bool TTracker::GetCursor(TTransformation& T, int X, int Y, int& Cursor)
{
    const int code = HitTest(T, X, Y);
    if (code == 0)
        return false;
    if (code == 9) {
        Cursor = crRotate;
        return true;
    }
    float a;
    {
        TFrameScope scope(T, *this);
        float ox, oy, ex, ey;
        T.Transform(0, 0, ox, oy);
        T.Transform(Width / 2, 0, ex, ey);
        a = VectorAngle(ex - ox, ey - oy);
    }
    if (code == 1 || code == 5)
        a += 45;
    else if (code == 2 || code == 6)
        a += 90;
    else if (code == 3 || code == 7)
        a += 135;
    while (a >= 180)
        a -= 180;
    while (a < 0)
        a += 180;
    if (a < 22.5f)
        Cursor = crSizeWE;
    else if (a < 67.5f)
        Cursor = crSizeNWSE;
    else if (a < 112.5f)
        Cursor = crSizeNS;
    else if (a < 157.5f)
        Cursor = crSizeNESW;
    else
        Cursor = crSizeWE;
    return true;
}
