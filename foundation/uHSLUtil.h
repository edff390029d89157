#pragma once
// RGB <-> HSL conversion and the colour object of the colour panel.
// H, S and L are fractions 0..1 (hue as a fraction of the full circle).
#include "Graphics.h"
#include "Object.h"

#include <cstdint>
#include <vector>

void RGBToHSL(TColor Color, double& H, double& S, double& L);
TColor HSLToRGB(double H, double S, double L);

// Value limited to Min..Max; NaN (a damaged file) gives Min.
float ClampSingle(float Value, float Min, float Max);
// Value brought into Min <= v < Max by whole periods of Max - Min.
float WrapSingle(float Value, float Min, float Max);

// The pixel moved in HSL space: hue wraps, saturation and lightness are clamped.
void AdjustPixelHSL(uint8_t& R, uint8_t& G, uint8_t& B, float dH, float dS, float dL);
TColor ShiftColorHSL(TColor Color, float dH, float dS, float dL);

// One shift of hue, saturation and lightness for many pixels: AdjustPixelHSL,
// four pixels at a time where the processor allows.
class THSLShifter {
public:
    THSLShifter(float dH, float dS, float dL);
    // Count pixels of 4 bytes (blue, green, red, alpha; alpha is kept).
    void ApplyRow(uint8_t* Pixels, int Count) const;

    // What the conversion back takes from the shifted saturation and lightness.
    struct TTerms {
        double m1, m2;
    };

private:
    float FdH, FdS, FdL;
    // For every largest and smallest byte of a pixel (the only bytes
    // saturation and lightness depend on).
    std::vector<TTerms> FTerms;
};

// A colour held both as bytes and as hue, saturation and lightness.
class TRGBHSL : public TObject {
public:
    LUMI_CLASSNAME(TRGBHSL)
    explicit TRGBHSL(TColor Color);

    TColor GetColor() const { return RGB(Red, Green, Blue); }
    void SetColor(TColor Color);
    void SetRed(uint8_t Value);
    void SetGreen(uint8_t Value);
    void SetBlue(uint8_t Value);
    void SetLightness(double Value);

    uint8_t GetRed() const { return Red; }
    uint8_t GetGreen() const { return Green; }
    uint8_t GetBlue() const { return Blue; }
    double GetHue() const { return Hue; }
    double GetSaturation() const { return Saturation; }
    double GetLightness() const { return Lightness; }

    void UpdateHSL();
    void UpdateRGB();

private:
    uint8_t Blue = 0;
    uint8_t Red = 0;
    uint8_t Green = 0;
    double Lightness = 0;
    double Hue = 0;
    double Saturation = 0;
};
