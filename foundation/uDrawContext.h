#pragma once
// Drawing in page units (millimetres) on a canvas through a transformation:
// lines, shapes, paths, clipping, text placed from the font cache's design
// widths, and six virtual image and shadow operations for subclasses.
#include <QImage>
#include <QRegion>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "AnsiString.h"
#include "Canvas.h"
#include "Classes.h"
#include "Graphics.h"
#include "Object.h"
#include "Types.h"
#include "uTransformation.h"
#include "uVectorLib.h"

// DrawText flags.
constexpr uint32_t DT_HCENTER = 1;
constexpr uint32_t DT_HRIGHT = 2;
constexpr uint32_t DT_VCENTER = 4;
constexpr uint32_t DT_VBOTTOM = 8;
constexpr uint32_t DT_WORDWRAP = 16;
constexpr uint32_t DT_MEASUREONLY = 0x400;

// The picture as 32-bit ARGB pixels. An RGB32 picture (alpha always 255) is
// viewed in place without a copy; other formats are converted. The result may
// share Image's pixels: use it only while Image lives.
QImage AsARGB32(const QImage& Image);

// Called with each text a draw context writes, when set (tests read what a
// picture says through it).
extern std::function<void(const AnsiString& Text)> DrawTextHook;

class TDrawContext : public TObject {
public:
    LUMI_CLASSNAME(TDrawContext)
    explicit TDrawContext(TCanvas* ACanvas);
    ~TDrawContext() override;
    TDrawContext(const TDrawContext&) = delete;
    TDrawContext& operator=(const TDrawContext&) = delete;

    // Coordinates.
    TPoint PageToDevice(float X, float Y);
    TPoint VectorToDevice(float DX, float DY);
    TPointArray PointsToDevice(const TPointFArray& Points);
    TPointF DeviceToPage(int32_t X, int32_t Y);
    TPointF DeviceVectorToPage(int32_t DX, int32_t DY);

    // Pen and brush.
    void SetPenColor(TColor Color);
    void SetPenStyle(TPenStyle Style);
    TBrush& GetBrush();
    void SetPenWidth(float W);
    void SetPenWidthPixels(int32_t N);

    // Font.
    void SetFont(const TFont& AFont);
    void PrepareFont();
    void GetTextMetrics(TTextMetric& TM);

    // Lines and shapes.
    void MoveTo(float X, float Y);
    void LineTo(float X, float Y);
    void Line(float X1, float Y1, float X2, float Y2);
    void Polyline(const TPointFArray& Points);
    void BezierTo(const TPointF& P1, const TPointF& P2, const TPointF& P3);
    void Rectangle(float Left, float Top, float Right, float Bottom);
    void RectangleRect(const TRectF& R);
    void RectangleCentered(float CX, float CY, float W, float H);
    void RotatedRectangle(float CX, float CY, float W, float H, float Angle);
    void Ellipse(float CX, float CY, float W, float H);

    // Paths and clipping (modes: 1 and, 2 or, 3 xor, 4 diff, 5 copy).
    void BeginPath();
    void EndPath();
    void CloseFigure();
    void StrokePath();
    void StrokeAndFillPath();
    void SelectClipPath(int Mode);
    void RestoreClip();
    void ClipRect(float Left, float Top, float Right, float Bottom, int Mode);
    void ClipRotatedRect(float CX, float CY, float W, float H, float Angle, int Mode);

    // Text (page units; flags see DT_*).
    void TextOut(const AnsiString& Text, int Align, float X, float Y);
    float DrawText(const AnsiString& Text, uint32_t Flags, float Left, float Top, float Right,
                   float Bottom);
    float DrawTextRect(const TRectF& R, const AnsiString& Text, uint32_t Flags);
    // Lines of Text for Width; each line's object is 1 for a hard, 0 for a soft end.
    void WrapText(const AnsiString& Text, TStringList& Lines, float Width);
    float TextWidth(const AnsiString& Text);
    float TextHeight(const AnsiString& Text);
    // Bracket measuring on MeasureCanvas (kept for callers; no device is needed).
    void BeginMeasure();
    void EndMeasure();

    static void GetBitmapData(TBitmap& Bitmap, BitmapData& Data);

    // Image and shadow operations. Page units; source rectangles in source pixels.
    virtual void DrawImageOrthogonalBlt(const QImage& Image, float X, float Y, float W, float H);
    virtual void DrawBitmapDataOrthogonalBlt(const BitmapData& Data, float X, float Y, float W,
                                             float H, int32_t SrcX, int32_t SrcY, int32_t SrcW,
                                             int32_t SrcH);
    virtual void DrawImageGDIPlus(const QImage& Image, float CX, float CY, float W, float H,
                                  float Angle, int32_t SrcX, int32_t SrcY, int32_t SrcW,
                                  int32_t SrcH);
    virtual void DrawBitmapData(const BitmapData& Data, float X, float Y, float W, float H,
                                int32_t SrcX, int32_t SrcY, int32_t SrcW, int32_t SrcH);
    virtual void DrawImageAlpha(const BitmapData& Data, float X, float Y, float W, float H,
                                int32_t SrcX, int32_t SrcY, int32_t SrcW, int32_t SrcH);
    // The base draws no shadow; the bitmap draw context paints it.
    virtual void DrawShadowRect(float cxDest, float cyDest, float wDest, float hDest, float angle,
                                float BlurWidth);

    float FontPixelHeight = 0;  // em height in device pixels of the prepared font
    float PenWidth = 0;         // page units
    std::unique_ptr<TFont> Font;
    std::unique_ptr<TCanvas> MeasureCanvas;
    TRect DeviceBounds{-32000, -32000, 32000, 32000};
    TRect ClipBounds{-32000, -32000, 32000, 32000};
    TCanvas* Canvas;
    std::unique_ptr<TTransformation> Transformation;
    std::vector<QRegion> ClipStack;

protected:
    // Smallest n >= 1 with the vertical resolution / n at most 360 dpi
    // (integer or exact division).
    int ReductionFactor(bool ExactDivision) const;

private:
    void PrepareMeasureFont();
    // Src of Image onto the page rectangle (X, Y, W, H) under the transformation.
    void DrawImageOnCanvas(const QImage& Image, float X, float Y, float W, float H, const QRectF& Src);
    void RenderOrthogonal(const BitmapData& Src, const TRect& Area, float X, float Y, float W,
                          float H, float ScaleW, float ScaleH, const TRect& SrcRect,
                          uint32_t Fill);
};
