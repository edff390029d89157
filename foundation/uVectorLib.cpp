#include "uVectorLib.h"

#include <algorithm>
#include <cmath>

#include "SysUtils.h"

bool IsNearlyZero(double V) { return std::fabs(V) < 1e-6; }

void FitSizeInt(int32_t& Width, int32_t& Height, int32_t MaxWidth, int32_t MaxHeight)
{
    int32_t h = MulDiv(Height, MaxWidth, Width);
    int32_t w = MaxWidth;
    if (h > MaxHeight) {
        w = MulDiv(Width, MaxHeight, Height);
        h = MaxHeight;
    }
    Width = w;
    Height = h;
}

void FitSizeFloat(float& Width, float& Height, float MaxWidth, float MaxHeight)
{
    float h = Height * MaxWidth / Width;
    float w = MaxWidth;
    if (h > MaxHeight) {
        w = Width * MaxHeight / Height;
        h = MaxHeight;
    }
    Width = w;
    Height = h;
}

float VectorLength(const TPointF& P) { return float(std::sqrt(double(P.X) * P.X + double(P.Y) * P.Y)); }

float VectorAngle(float DX, float DY)
{
    if (DX == 0)
        return DY > 0 ? 90.0f : 270.0f;
    double a = std::atan2(double(DY), double(DX)) * 180.0 / M_PI;
    while (a < 0)
        a += 360;
    while (a >= 360)
        a -= 360;
    const float r = float(a);
    return r >= 360 ? 0.0f : r;  // just below 360 may round up in single precision
}

float RoundToStep(float Value, float Step)
{
    if (IsNearlyZero(Step))
        return Value;
    return float(double(Round(double(Value) / Step)) * Step);
}

TRectF UnionRectF(const TRectF& A, const TRectF& B)
{
    return TRectF{std::min(A.Left, B.Left), std::min(A.Top, B.Top), std::max(A.Right, B.Right),
                  std::max(A.Bottom, B.Bottom)};
}

TRectF OffsetRectF(const TRectF& R, float DX, float DY)
{
    return TRectF{R.Left + DX, R.Top + DY, R.Right + DX, R.Bottom + DY};
}

TRectF CenterRectF(float CX, float CY, float W, float H)
{
    return TRectF{CX - W / 2, CY - H / 2, CX + W / 2, CY + H / 2};
}
