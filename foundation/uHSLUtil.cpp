#include "uHSLUtil.h"

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

// Hue of a colour whose largest and smallest components are Mx and Mn, with
// D = Mx - Mn > 0; the components are compared as bytes, which orders them
// as their fractions do.
inline double HueOf(uint8_t R, uint8_t G, uint8_t B, uint8_t Mx, double D)
{
    double h;
    if (R == Mx)
        h = (cUnit.v[G] - cUnit.v[B]) / D;
    else if (G == Mx)
        h = 2 + (cUnit.v[B] - cUnit.v[R]) / D;
    else
        h = 4 + (cUnit.v[R] - cUnit.v[G]) / D;
    h = h / 6;
    if (h < 0)
        h = h + 1;
    return h;
}

// Saturation and lightness of a colour with the largest and smallest
// components Mx and Mn; D as above (0 for a grey).
inline void SaturationLightnessOf(uint8_t Mx, uint8_t Mn, double& D, double& S, double& L)
{
    const double mx = cUnit.v[Mx];
    const double mn = cUnit.v[Mn];
    L = (mx + mn) / 2;
    D = mx - mn;
    if (Mx == Mn)
        S = 0;
    else
        S = L < 0.5 ? D / (mx + mn) : D / (2 - mx - mn);
}

inline void BytesToHSL(uint8_t R, uint8_t G, uint8_t B, double& H, double& S, double& L)
{
    const uint8_t mx = std::max({R, G, B});
    const uint8_t mn = std::min({R, G, B});
    double d;
    SaturationLightnessOf(mx, mn, d, S, L);
    H = mx == mn ? 0 : HueOf(R, G, B, mx, d);
}

// 255 v rounded half to even and limited to a byte. Adding and taking away
// 1.5 x 2^52 rounds to an integer in the default rounding mode (ties to even)
// without a library call.
inline uint8_t UnitToByte(double v)
{
    constexpr double cRoundBias = 6755399441055744.0;
    const double x = std::min(std::max(0.0, 255 * v), 255.0);
    return uint8_t(int((x + cRoundBias) - cRoundBias));
}

// What the conversion to RGB takes from saturation and lightness alone.
struct TSLTerms {
    double m1 = 0, m2 = 0;
    bool Grey = false;
    uint8_t GreyByte = 0;
};

inline TSLTerms SLTermsOf(double S, double L)
{
    TSLTerms t;
    if (S == 0) {
        t.Grey = true;
        t.GreyByte = UnitToByte(L);
        return t;
    }
    t.m2 = L <= 0.5 ? L * (1 + S) : L + S - L * S;
    t.m1 = 2 * L - t.m2;
    return t;
}

// One channel: the piecewise-linear ramp of the hue H (within one turn of
// 0..1). Every piece is worked out and one taken, so that no branch depends
// on the pixel.
inline uint8_t HueToByte(double m1, double m2, double h)
{
    h = h < 0 ? h + 1 : h > 1 ? h - 1 : h;
    const double rising = m1 + (m2 - m1) * 6 * h;
    const double falling = m1 + (m2 - m1) * (2.0 / 3 - h) * 6;
    double v = 3 * h < 2 ? falling : m1;
    v = 2 * h < 1 ? m2 : v;
    v = 6 * h < 1 ? rising : v;
    return UnitToByte(v);
}

inline TColor HSLTermsToBytes(double H, const TSLTerms& T)
{
    if (T.Grey)
        return RGB(T.GreyByte, T.GreyByte, T.GreyByte);
    return RGB(HueToByte(T.m1, T.m2, H + 1.0 / 3), HueToByte(T.m1, T.m2, H),
               HueToByte(T.m1, T.m2, H - 1.0 / 3));
}

inline float Clamp(float Value, float Min, float Max)
{
    if (Value < Min)
        return Min;
    if (Value > Max)
        return Max;
    return Value;
}

// Min <= v < Max by whole periods; far away values step by many periods at
// once (fmod is exact, so this equals stepping one period at a time).
float WrapFar(float Value, float Min, float Max)
{
    const float range = Max - Min;
    if (!(range > 0) || !std::isfinite(Value))
        return Min;
    float v = Value;
    if (std::fabs(v - Min) > 64 * range)
        v = Min + float(std::fmod(double(Value) - Min, double(range)));
    while (v < Min)
        v += range;
    while (v >= Max)
        v -= range;
    return v;
}

// A hue already in 0..1 stays as it is; anything else goes through WrapFar.
inline float WrapUnit(float Value)
{
    return Value >= 0 && Value < 1 ? Value : WrapFar(Value, 0, 1);
}

// The shifted saturation and lightness of a colour, as the conversion to RGB
// takes them.
inline TSLTerms ShiftedSLTerms(double S, double L, float dS, float dL)
{
    return SLTermsOf(Clamp(float(S + dS), 0, 1), Clamp(float(L + dL), 0, 1));
}

inline void ShiftPixel(uint8_t& R, uint8_t& G, uint8_t& B, float dH, float dS, float dL)
{
    double h, s, l;
    BytesToHSL(R, G, B, h, s, l);
    const TColor c = HSLTermsToBytes(WrapUnit(float(h + dH)), ShiftedSLTerms(s, l, dS, dL));
    R = GetRValue(c);
    G = GetGValue(c);
    B = GetBValue(c);
}

}  // namespace

void RGBToHSL(TColor Color, double& H, double& S, double& L)
{
    BytesToHSL(GetRValue(Color), GetGValue(Color), GetBValue(Color), H, S, L);
}

TColor HSLToRGB(double H, double S, double L)
{
    return HSLTermsToBytes(H, SLTermsOf(S, L));
}

float ClampSingle(float Value, float Min, float Max)
{
    return Clamp(Value, Min, Max);
}

float WrapSingle(float Value, float Min, float Max)
{
    return WrapFar(Value, Min, Max);
}

void AdjustPixelHSL(uint8_t& R, uint8_t& G, uint8_t& B, float dH, float dS, float dL)
{
    ShiftPixel(R, G, B, dH, dS, dL);
}

TColor ShiftColorHSL(TColor Color, float dH, float dS, float dL)
{
    uint8_t r = GetRValue(Color), g = GetGValue(Color), b = GetBValue(Color);
    ShiftPixel(r, g, b, dH, dS, dL);
    return RGB(r, g, b);
}

// The terms of every pair of largest and smallest component, made once: a
// picture has far more pixels than there are pairs.
struct THSLShifter::TPair {
    double D = 0;
    TSLTerms Terms;
};

THSLShifter::THSLShifter(float dH, float dS, float dL)
    : FdH(dH), FPairs(std::make_unique<TPair[]>(256 * 257 / 2))
{
    for (int mx = 0; mx < 256; ++mx)
        for (int mn = 0; mn <= mx; ++mn) {
            TPair& p = FPairs[size_t(mx * (mx + 1) / 2 + mn)];
            double s, l;
            SaturationLightnessOf(uint8_t(mx), uint8_t(mn), p.D, s, l);
            p.Terms = ShiftedSLTerms(s, l, dS, dL);
        }
}

THSLShifter::~THSLShifter() = default;

void THSLShifter::ApplyRow(uint8_t* Pixels, int Count) const
{
    for (int i = 0; i < Count; ++i, Pixels += 4) {
        const uint8_t r = Pixels[2], g = Pixels[1], b = Pixels[0];
        const uint8_t mx = std::max({r, g, b});
        const uint8_t mn = std::min({r, g, b});
        const TPair& p = FPairs[size_t(mx * (mx + 1) / 2 + mn)];
        const double h = mx == mn ? 0 : HueOf(r, g, b, mx, p.D);
        const TColor c = HSLTermsToBytes(WrapUnit(float(h + FdH)), p.Terms);
        Pixels[2] = GetRValue(c);
        Pixels[1] = GetGValue(c);
        Pixels[0] = GetBValue(c);
    }
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
