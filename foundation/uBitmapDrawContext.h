#pragma once
// A draw context on a 32-bit bitmap: pictures are mapped pixel by pixel into
// its scan lines, blended where they carry alpha, and shadows are painted as
// soft grey rectangles.
#include "Canvas.h"
#include "uDrawContext.h"

class TBitmapDrawContext : public TDrawContext {
public:
    LUMI_CLASSNAME(TBitmapDrawContext)
    explicit TBitmapDrawContext(TBitmap& ABitmap);

    void DrawImageGDIPlus(const QImage& Image, float CX, float CY, float W, float H, float Angle,
                          int32_t SrcX, int32_t SrcY, int32_t SrcW, int32_t SrcH) override;
    void DrawBitmapData(const BitmapData& Data, float X, float Y, float W, float H, int32_t SrcX,
                        int32_t SrcY, int32_t SrcW, int32_t SrcH) override;
    void DrawImageAlpha(const BitmapData& Data, float X, float Y, float W, float H, int32_t SrcX,
                        int32_t SrcY, int32_t SrcW, int32_t SrcH) override;
    void DrawShadowRect(float cxDest, float cyDest, float wDest, float hDest, float angle,
                        float BlurWidth) override;

    TBitmap& Bitmap;

private:
    // The device rectangles to walk: Area, intersected with the canvas clip
    // region when there is one.
    std::vector<TRect> WalkRects(const TRect& Area);
};

// Bilinear sample of 32-bit data at a 16.16 position.
uint32_t SampleBilinear(const BitmapData& Data, int32_t FX, int32_t FY);
