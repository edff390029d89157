#pragma once
// Float points and rectangles in page units (millimetres) and angle helpers.
#include <cstdint>
#include <vector>

#include "Types.h"

struct TPointF {
    float X = 0;
    float Y = 0;
    bool operator==(const TPointF&) const = default;
};

struct TRectF {
    float Left = 0;
    float Top = 0;
    float Right = 0;
    float Bottom = 0;
    bool operator==(const TRectF&) const = default;
};

using TPointFArray = std::vector<TPointF>;
using TPointArray = std::vector<TPoint>;

// True when |V| < 1e-6.
bool IsNearlyZero(double V);
inline TPointF PointF(float X, float Y) { return TPointF{X, Y}; }
inline TRectF RectF(float Left, float Top, float Right, float Bottom) { return TRectF{Left, Top, Right, Bottom}; }

// Scales Width x Height to MaxWidth, then to MaxHeight when that is still too
// tall; the aspect ratio is kept (integer version rounds through MulDiv).
void FitSizeInt(int32_t& Width, int32_t& Height, int32_t MaxWidth, int32_t MaxHeight);
void FitSizeFloat(float& Width, float& Height, float MaxWidth, float MaxHeight);

float VectorLength(const TPointF& P);
// Direction of (DX, DY) in degrees, 0 <= a < 360; DX = 0 gives 90 for DY > 0, else 270.
float VectorAngle(float DX, float DY);
// Value rounded to a multiple of Step (ties to even); unchanged for a step near 0.
float RoundToStep(float Value, float Step);

TRectF UnionRectF(const TRectF& A, const TRectF& B);
TRectF OffsetRectF(const TRectF& R, float DX, float DY);
TRectF CenterRectF(float CX, float CY, float W, float H);
