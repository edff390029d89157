#include "uHSLUtil.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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

// What the conversion to RGB takes from saturation and lightness alone. For a
// grey (S = 0) the terms are both L, which the ramps turn into L's byte.
struct TSLTerms {
    double m1 = 0, m2 = 0;
    bool Grey = false;
    uint8_t GreyByte = 0;
};

inline TSLTerms SLTermsOf(double S, double L)
{
    TSLTerms t;
    t.m2 = L <= 0.5 ? L * (1 + S) : L + S - L * S;
    t.m1 = 2 * L - t.m2;
    if (S == 0) {
        t.Grey = true;
        t.GreyByte = UnitToByte(L);
    }
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

// NaN gives Min.
inline float Clamp(float Value, float Min, float Max)
{
    if (!(Value >= Min))
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

namespace {

// Index of the pair of largest and smallest byte (Mn <= Mx) in the table of
// terms: row Mx holds Mx + 1 entries.
inline int PairIndex(int Mx, int Mn)
{
    return Mx * (Mx + 1) / 2 + Mn;
}

// Four lanes of the same conversions, each lane computed with the same
// operations in the same order as ShiftPixel, so that the bytes are the same;
// the terms m1 and m2 come from the shifter's table, as they depend on the
// largest and smallest byte alone.
using TV4d = double __attribute__((vector_size(32)));
using TV4f = float __attribute__((vector_size(16)));
using TV4i = int32_t __attribute__((vector_size(16)));

// Four pixels; false (and nothing written) when a lane's hue needs more than
// two turns to come back into 0..1, which ShiftPixel then handles. Only for
// processors with AVX2 (without, pixel by pixel is faster). Vectors go to the
// lambdas by reference only: passing a vector by value depends on the
// instruction set.
__attribute__((target("avx2")))
bool ShiftFourPixels(uint8_t* P, const THSLShifter::TTerms* Terms, float dH)
{
    const auto HueToBytes = [](const TV4d& m1, const TV4d& m2, const TV4d& Hue, TV4i& Bytes) {
        constexpr double cRoundBias = 6755399441055744.0;
        const TV4d h = Hue < 0 ? Hue + 1 : (Hue > 1 ? Hue - 1 : Hue);
        const TV4d rising = m1 + (m2 - m1) * 6 * h;
        const TV4d falling = m1 + (m2 - m1) * (2.0 / 3 - h) * 6;
        TV4d v = 3 * h < 2 ? falling : m1;
        v = 2 * h < 1 ? m2 : v;
        v = 6 * h < 1 ? rising : v;
        // UnitToByte
        TV4d x = 255 * v;
        x = 0.0 < x ? x : TV4d{} + 0.0;        // std::max(0.0, x)
        x = 255.0 < x ? TV4d{} + 255.0 : x;    // std::min(x, 255.0)
        Bytes = __builtin_convertvector((x + cRoundBias) - cRoundBias, TV4i);
    };

    TV4d r, g, b, m1, m2;
    for (int i = 0; i < 4; ++i) {
        const uint8_t B = P[4 * i], G = P[4 * i + 1], R = P[4 * i + 2];
        r[i] = cUnit.v[R];
        g[i] = cUnit.v[G];
        b[i] = cUnit.v[B];
        const THSLShifter::TTerms& t = Terms[PairIndex(std::max({R, G, B}), std::min({R, G, B}))];
        m1[i] = t.m1;
        m2[i] = t.m2;
    }
    const TV4d mx = r > g ? (r > b ? r : b) : (g > b ? g : b);
    const TV4d mn = r < g ? (r < b ? r : b) : (g < b ? g : b);
    const auto grey = mx == mn;
    const TV4d d = mx - mn;
    const auto redMax = r == mx;
    const auto greenMax = ~redMax & (g == mx);
    const TV4d num = redMax ? g - b : (greenMax ? b - r : r - g);
    const TV4d q = num / (grey ? TV4d{} + 1 : d);
    TV4d H = (redMax ? q : (greenMax ? 2 + q : 4 + q)) / 6;
    H = H < 0 ? H + 1 : H;
    H = grey ? TV4d{} : H;

    TV4f h = __builtin_convertvector(H + dH, TV4f);
    // WrapUnit: the two loops of WrapFar, each step at most twice.
    const auto near = (h >= -2.0f) & (h < 3.0f);
    for (int i = 0; i < 4; ++i)
        if (!near[i])
            return false;
    h = h < 0.0f ? h + 1.0f : h;
    h = h < 0.0f ? h + 1.0f : h;
    h = h >= 1.0f ? h - 1.0f : h;
    h = h >= 1.0f ? h - 1.0f : h;
    const TV4d hue = __builtin_convertvector(h, TV4d);

    TV4i red, green, blue;
    HueToBytes(m1, m2, hue + 1.0 / 3, red);
    HueToBytes(m1, m2, hue, green);
    HueToBytes(m1, m2, hue - 1.0 / 3, blue);
    // Alpha kept, the colour bytes (each 0..255) put in.
    TV4i pixels;
    std::memcpy(&pixels, P, sizeof pixels);
    pixels = (pixels & int32_t(0xFF000000u)) | (red << 16) | (green << 8) | blue;
    std::memcpy(P, &pixels, sizeof pixels);
    return true;
}

}  // namespace

THSLShifter::THSLShifter(float dH, float dS, float dL)
    : FdH(dH), FdS(dS), FdL(dL), FTerms(size_t(PairIndex(255, 255) + 1))
{
    for (int mx = 0; mx < 256; ++mx)
        for (int mn = 0; mn <= mx; ++mn) {
            double d, s, l;
            SaturationLightnessOf(uint8_t(mx), uint8_t(mn), d, s, l);
            const TSLTerms t = ShiftedSLTerms(s, l, dS, dL);
            FTerms[size_t(PairIndex(mx, mn))] = {t.m1, t.m2};
        }
}

void THSLShifter::ApplyRow(uint8_t* Pixels, int Count) const
{
    static const bool fourAtATime = __builtin_cpu_supports("avx2");
    int i = 0;
    for (; fourAtATime && i + 4 <= Count; i += 4, Pixels += 16)
        if (!ShiftFourPixels(Pixels, FTerms.data(), FdH))
            for (int k = 0; k < 4; ++k)
                ShiftPixel(Pixels[4 * k + 2], Pixels[4 * k + 1], Pixels[4 * k], FdH, FdS, FdL);
    for (; i < Count; ++i, Pixels += 4)
        ShiftPixel(Pixels[2], Pixels[1], Pixels[0], FdH, FdS, FdL);
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
