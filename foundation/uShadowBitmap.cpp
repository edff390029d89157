#include "uShadowBitmap.h"

#include <algorithm>

#include "SysUtils.h"
#include "uBitmapDrawContext.h"
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
    Samples = QImage();
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

void TShadowBitmap::Blur(TColor Color, float Radius)
{
    Samples = QImage();
    GaussianBlurToAlpha(*this, Color, Radius);
}

void TShadowBitmap::Draw(TDrawContext& DC, float X, float Y, float W, float H)
{
    // Larger than this, the samples are not worth their memory: drawn directly.
    constexpr int64_t cMaxSamples = 4 << 20;
    BitmapData data;
    auto* bitmapDC = dynamic_cast<TBitmapDrawContext*>(&DC);
    TRect area{};
    if (bitmapDC)
        IntersectRect(area, DC.Transformation->TransformBounds(X, Y, X + W, Y + H),
                      TRect{0, 0, bitmapDC->Bitmap.Width(), bitmapDC->Bitmap.Height()});
    if (!bitmapDC || int64_t(area.Width()) * area.Height() > cMaxSamples) {
        TDrawContext::GetBitmapData(*this, data);
        DC.DrawImageAlpha(data, X, Y, W, H, 0, 0, data.Width, data.Height);
        return;
    }
    const float rect[4] = {X, Y, W, H};
    if (Samples.isNull() || area != SamplesArea || DC.Transformation->Matrix() != SamplesMatrix
        || !std::equal(rect, rect + 4, SamplesRect)) {
        TDrawContext::GetBitmapData(*this, data);
        Samples = bitmapDC->SampleImageAlpha(data, X, Y, W, H, 0, 0, data.Width, data.Height, area);
        SamplesArea = area;
        SamplesMatrix = DC.Transformation->Matrix();
        std::copy(rect, rect + 4, SamplesRect);
    }
    bitmapDC->PutSamples(Samples, area.Left, area.Top);
}

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
