#pragma once
// A 32-bit bitmap for drawing a shadow mask: pen, brush and font colours are
// forced to one grey level, and the blur turns the mask into alpha.
#include <cstdint>

#include "Canvas.h"
#include "Graphics.h"
#include "uTransformation.h"

#include <QImage>

class TDrawContext;

class TShadowBitmap : public TBitmap {
public:
    LUMI_CLASSNAME(TShadowBitmap)
    TShadowBitmap();
    ~TShadowBitmap() override;

    // Fills black (no shadow).
    void Clear();
    // Grey level := (100 - Percent) / 100 * 255.
    void SetTransparency(float Percent);
    void Blur(TColor Color, float Radius);

    // Draws the whole shadow into the page rectangle (X, Y, W, H) as
    // DC.DrawImageAlpha does. On a bitmap draw context the samples for its
    // device pixels are made once and kept while the shadow, the rectangle
    // and the context's transformation and size stay the same; Clear and
    // Blur (which end and begin every new shadow) drop them.
    void Draw(TDrawContext& DC, float X, float Y, float W, float H);

    uint8_t GrayLevel() const { return Gray; }
    bool ForcePen = true;
    bool ForceBrush = true;
    bool ForceFont = true;

private:
    void ForceColors();
    void PenChanged(TObject* Sender);
    void BrushChanged(TObject* Sender);
    void FontChanged(TObject* Sender);

    TNotifyEvent OldBrushChange;
    TNotifyEvent OldFontChange;
    TNotifyEvent OldPenChange;
    uint8_t Gray = 128;
    bool InHook = false;

    // The kept samples and what they were made for.
    QImage Samples;
    TRect SamplesArea{};
    TMatrix SamplesMatrix{};
    float SamplesRect[4] = {};

};
