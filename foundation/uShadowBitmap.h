#pragma once
// A 32-bit bitmap for drawing a shadow mask: pen, brush and font colours are
// forced to one grey level, and the blur turns the mask into alpha.
#include <cstdint>

#include "Canvas.h"
#include "Graphics.h"

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
};
