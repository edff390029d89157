#include "uShadowBitmap.h"

#include <algorithm>

#include "SysUtils.h"
#include "uBitmapEffects.h"

TShadowBitmap::TShadowBitmap()
{
    SetPixelFormat(pf32bit);
    TCanvas& c = Canvas();
    OldBrushChange = c.Brush().OnChange;
    OldFontChange = c.Font().OnChange;
    OldPenChange = c.Pen().OnChange;
    c.Brush().OnChange = [this](TObject* s) { BrushChanged(s); };
    c.Font().OnChange = [this](TObject* s) { FontChanged(s); };
    c.Pen().OnChange = [this](TObject* s) { PenChanged(s); };
}

TShadowBitmap::~TShadowBitmap()
{
    TCanvas& c = Canvas();
    c.Brush().OnChange = OldBrushChange;
    c.Font().OnChange = OldFontChange;
    c.Pen().OnChange = OldPenChange;
}

void TShadowBitmap::Clear()
{
    ForceBrush = false;
    TCanvas& c = Canvas();
    c.Brush().SetColor(clBlack);
    c.Brush().SetStyle(bsSolid);
    c.FillRect(TRect{0, 0, Width(), Height()});
    ForceBrush = true;
}

void TShadowBitmap::SetTransparency(float Percent)
{
    const double p = std::clamp(double(Percent), 0.0, 100.0);
    Gray = uint8_t(Round((100 - p) / 100 * 255));
    ForceColors();
}

void TShadowBitmap::ForceColors()
{
    TCanvas& c = Canvas();
    const TColor g = RGB(Gray, Gray, Gray);
    if (ForcePen)
        c.Pen().SetColor(g);
    if (ForceBrush)
        c.Brush().SetColor(g);
    if (ForceFont)
        c.Font().SetColor(g);
}

void TShadowBitmap::Blur(TColor Color, float Radius) { GaussianBlurToAlpha(*this, Color, Radius); }

void TShadowBitmap::PenChanged(TObject* Sender)
{
    if (!InHook && ForcePen) {
        InHook = true;
        Canvas().Pen().SetColor(RGB(Gray, Gray, Gray));
        InHook = false;
    }
    if (OldPenChange)
        OldPenChange(Sender);
}

void TShadowBitmap::BrushChanged(TObject* Sender)
{
    if (!InHook && ForceBrush && Canvas().Brush().Style() != bsClear) {
        InHook = true;
        Canvas().Brush().SetColor(RGB(Gray, Gray, Gray));
        InHook = false;
    }
    if (OldBrushChange)
        OldBrushChange(Sender);
}

void TShadowBitmap::FontChanged(TObject* Sender)
{
    if (!InHook && ForceFont) {
        InHook = true;
        Canvas().Font().SetColor(RGB(Gray, Gray, Gray));
        InHook = false;
    }
    if (OldFontChange)
        OldFontChange(Sender);
}
