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

    // The samples DrawImageAlpha takes for the device pixels of Area, the
    // clip aside: an ARGB32 image of Area's size, transparent where the source
    // does not reach (null when Area is empty or the source rectangle bad).
    QImage SampleImageAlpha(const BitmapData& Data, float X, float Y, float W, float H, int32_t SrcX,
                            int32_t SrcY, int32_t SrcW, int32_t SrcH, const TRect& Area);
    // Puts such samples, their top-left one at device pixel (Left, Top), as
    // DrawImageAlpha puts its own: within the bitmap, ClipBounds and the clip.
    void PutSamples(const QImage& Samples, int32_t Left, int32_t Top);

    TBitmap& Bitmap;

private:
    // Source pixels to device pixels for DrawImageAlpha.
    void AlphaTransformation(TTransformation& T, float X, float Y, float W, float H, int32_t SrcX,
                             int32_t SrcY, int32_t SrcW, int32_t SrcH) const;
    // The device rectangles to walk: Area, intersected with the canvas clip
    // region when there is one.
    std::vector<TRect> WalkRects(const TRect& Area);
};

// Bilinear sample of 32-bit data at a 16.16 position.
uint32_t SampleBilinear(const BitmapData& Data, int32_t FX, int32_t FY);
