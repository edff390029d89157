#include "uHSLUtil.h"

#include "SysUtils.h"

#include <algorithm>
#include <cmath>

namespace {

// Byte / 255, computed once for every byte.
struct TUnitTable {
    double v[256];
    TUnitTable()
    {
        for (int i = 0; i < 256; ++i)
            v[i] = i / 255.0;
    }
};
const TUnitTable cUnit;

}  // namespace

void RGBToHSL(TColor Color, double& H, double& S, double& L)
{
    const double r = cUnit.v[GetRValue(Color)];
    const double g = cUnit.v[GetGValue(Color)];
    const double b = cUnit.v[GetBValue(Color)];
    const double mx = std::max({r, g, b});
    const double mn = std::min({r, g, b});
    L = (mx + mn) / 2;
    if (mx == mn) {
        H = 0;
        S = 0;
        return;
    }
    const double d = mx - mn;
    S = L < 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
    if (r == mx)
        H = (g - b) / d;
    else if (g == mx)
        H = 2 + (b - r) / d;
    else
        H = 4 + (r - g) / d;
    H = H / 6;
    if (H < 0)
        H = H + 1;
}

static uint8_t UnitToByte(double v)
{
    return uint8_t(std::clamp<int64_t>(Round(255 * v), 0, 255));
}

TColor HSLToRGB(double H, double S, double L)
{
    if (S == 0) {
        const uint8_t v = UnitToByte(L);
        return RGB(v, v, v);
    }
    const double m2 = L <= 0.5 ? L * (1 + S) : L + S - L * S;
    const double m1 = 2 * L - m2;
    auto HueToRGB = [m1, m2](double h) {
        if (h < 0)
            h = h + 1;
        else if (h > 1)
            h = h - 1;
        double v;
        if (6 * h < 1)
            v = m1 + (m2 - m1) * 6 * h;
        else if (2 * h < 1)
            v = m2;
        else if (3 * h < 2)
            v = m1 + (m2 - m1) * (2.0 / 3 - h) * 6;
        else
            v = m1;
        return UnitToByte(v);
    };
    return RGB(HueToRGB(H + 1.0 / 3), HueToRGB(H), HueToRGB(H - 1.0 / 3));
}

float ClampSingle(float Value, float Min, float Max)
{
    if (Value < Min)
        return Min;
    if (Value > Max)
        return Max;
    return Value;
}

float WrapSingle(float Value, float Min, float Max)
{
    const float range = Max - Min;
    if (!(range > 0) || !std::isfinite(Value))
        return Min;
    float v = Value;
    // Far away, step by many periods at once: fmod is exact, so this equals
    // stepping one period at a time; the loops below settle the rest.
    if (std::fabs(v - Min) > 64 * range)
        v = Min + float(std::fmod(double(Value) - Min, double(range)));
    while (v < Min)
        v += range;
    while (v >= Max)
        v -= range;
    return v;
}

void AdjustPixelHSL(uint8_t& R, uint8_t& G, uint8_t& B, float dH, float dS, float dL)
{
    double h, s, l;
    RGBToHSL(RGB(R, G, B), h, s, l);
    const float H = WrapSingle(float(h + dH), 0, 1);
    const float S = ClampSingle(float(s + dS), 0, 1);
    const float L = ClampSingle(float(l + dL), 0, 1);
    const TColor c = HSLToRGB(H, S, L);
    R = GetRValue(c);
    G = GetGValue(c);
    B = GetBValue(c);
}

TColor ShiftColorHSL(TColor Color, float dH, float dS, float dL)
{
    uint8_t r = GetRValue(Color), g = GetGValue(Color), b = GetBValue(Color);
    AdjustPixelHSL(r, g, b, dH, dS, dL);
    return RGB(r, g, b);
}

TRGBHSL::TRGBHSL(TColor Color)
    : Blue(GetBValue(Color)), Red(GetRValue(Color)), Green(GetGValue(Color))
{
    UpdateHSL();
}

void TRGBHSL::SetColor(TColor Color)
{
    if (Color == GetColor())
        return;
    Red = GetRValue(Color);
    Green = GetGValue(Color);
    Blue = GetBValue(Color);
    UpdateHSL();
}

void TRGBHSL::SetRed(uint8_t Value)
{
    Red = Value;
    UpdateHSL();
}

void TRGBHSL::SetGreen(uint8_t Value)
{
    Green = Value;
    UpdateHSL();
}

void TRGBHSL::SetBlue(uint8_t Value)
{
    Blue = Value;
    UpdateHSL();
}

void TRGBHSL::SetLightness(double Value)
{
    Lightness = Value;
    UpdateRGB();
}

void TRGBHSL::UpdateHSL()
{
    RGBToHSL(GetColor(), Hue, Saturation, Lightness);
}

void TRGBHSL::UpdateRGB()
{
    const TColor c = HSLToRGB(Hue, Saturation, Lightness);
    Red = GetRValue(c);
    Green = GetGValue(c);
    Blue = GetBValue(c);
}
