#pragma once
// The class library's canvas and bitmap over QPainter and QImage.
//
// A canvas draws in device pixels with its pen, brush and font; it listens to
// their OnChange and applies a change before the next drawing call. Paths are
// recorded between BeginPath and EndPath. Clipping is a region (pixel set)
// combined by the platform's modes. Text is laid out glyph by glyph from the
// font's design advances (no hinting) and placed by the top of its cell, as
// the platform does; the escapement turns it counter-clockwise.
#include <QGlyphRun>
#include <QImage>
#include <QPainterPath>
#include <QRawFont>
#include <QRegion>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "AnsiString.h"
#include "Graphics.h"
#include "Object.h"
#include "Types.h"

class QPaintDevice;
class QPainter;

// Region combine modes.
constexpr int RGN_AND = 1;
constexpr int RGN_OR = 2;
constexpr int RGN_XOR = 3;
constexpr int RGN_DIFF = 4;
constexpr int RGN_COPY = 5;

// Text metrics of a realised font, in device pixels.
struct TTextMetric {
    int32_t tmHeight = 0;   // ascent + descent
    int32_t tmAscent = 0;
    int32_t tmDescent = 0;
    int32_t tmInternalLeading = 0;  // tmHeight minus the em height
    int32_t tmExternalLeading = 0;
    int32_t tmAveCharWidth = 0;
    int32_t tmMaxCharWidth = 0;
};

// The outline face of a font name and style; "Arial" and the other metric
// twins resolve through the font configuration. Pixel size = em height.
QRawFont RawFontFor(const AnsiString& Name, TFontStyles Style, double PixelSize);
// True when the name resolves to a font of its own rather than the fallback.
bool IsFontInstalled(const AnsiString& Name);
// Metrics of a face at an em height of PixelSize pixels.
TTextMetric TextMetricFor(const QRawFont& Face, double PixelSize);

// A face of the size of Face that has the character: Face itself, or a
// fallback face (the charset's script first); Face when none has it.
QRawFont FaceForChar(const QRawFont& Face, char32_t Ch, int32_t Charset);
// Advance of a character in pixels of Face's size, from the face that draws it.
double CharAdvance(const QRawFont& Face, char32_t Ch, int32_t Charset);
// Integer advances per byte of 8-bit text of a charset at an em of Em pixels,
// measured with the design widths of EmFace (a face at its em square).
std::vector<int> CharsetAdvances(const QRawFont& EmFace, double Em, int32_t Charset, std::string_view Text);
// The glyph runs that draw 8-bit text of a charset with Face, the first
// character's origin at (X, Baseline), each byte advancing by its Dx entry.
QList<QGlyphRun> CharsetGlyphRuns(const QRawFont& Face, int32_t Charset, std::string_view Text, const int* Dx,
                                  double X, double Baseline);

// Locked 32-bit pixels: bytes blue, green, red, alpha; row y at Scan0 + y * Stride.
constexpr int32_t PixelFormat32bppARGB = 0x26200A;
struct BitmapData {
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Stride = 0;
    int32_t PixelFormat = 0;
    uint8_t* Scan0 = nullptr;
    uintptr_t Reserved = 0;
    const uint32_t* Row(int32_t y) const
    {
        return reinterpret_cast<const uint32_t*>(Scan0 + intptr_t(y) * Stride);
    }
    uint32_t* Row(int32_t y) { return reinterpret_cast<uint32_t*>(Scan0 + intptr_t(y) * Stride); }
};
// Describes a Format_ARGB32 image; false (and Data cleared) for any other format.
bool LockBits(QImage& Image, BitmapData& Data);

class TCanvas : public TObject {
public:
    LUMI_CLASSNAME(TCanvas)
    // Without a device the canvas only measures text.
    TCanvas();
    explicit TCanvas(QPaintDevice* Device);  // not owned
    ~TCanvas() override;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    void SetDevice(QPaintDevice* Device);
    QPaintDevice* Device() const { return device_; }
    // Ends painting so the device's pixels can be changed directly; the next
    // drawing call starts again with the canvas's state.
    void Flush();
    // The active painter with pen, brush and clip applied (null without device).
    QPainter* Painter();

    TPen& Pen() { return pen_; }
    TBrush& Brush() { return brush_; }
    TFont& Font() { return font_; }
    // Escapement (= orientation) of the text in tenths of a degree, counter-clockwise.
    int FontEscapement() const { return escapement_; }
    void SetFontEscapement(int Tenths);

    // Device resolution; a canvas on an image or without a device has the
    // screen's 96 unless set.
    int PixelsPerInchX() const { return ppiX_; }
    int PixelsPerInchY() const { return ppiY_; }
    void SetPixelsPerInch(int X, int Y);

    // Lines and shapes (device pixels). Inside a path they add to the path.
    TPoint PenPos() const { return penPos_; }
    void MoveTo(int X, int Y);
    void LineTo(int X, int Y);
    void Polyline(const std::vector<TPoint>& Points);
    void Polygon(const std::vector<TPoint>& Points);
    // 3n+1 points: start, then control, control, end per segment.
    void PolyBezier(const std::vector<TPoint>& Points);
    // 3n points from the pen position; the pen ends at the last point.
    void PolyBezierTo(const std::vector<TPoint>& Points);
    void Rectangle(int Left, int Top, int Right, int Bottom);
    void Ellipse(int Left, int Top, int Right, int Bottom);
    void FillRect(const TRect& R);  // brush only, right and bottom excluded

    // Paths.
    void BeginPath();
    void EndPath();
    void AbortPath();
    void CloseFigure();
    bool InPath() const { return recording_; }
    const QPainterPath& Path() const { return path_; }
    void StrokePath();
    void FillPath();
    void StrokeAndFillPath();
    // The ended path becomes the clip region combined by Mode; the path is used up.
    bool SelectClipPath(int Mode);

    // Clipping.
    bool HasClipRegion() const { return hasClip_; }
    const QRegion& ClipRegion() const { return clip_; }
    // Null switches clipping off.
    void SelectClipRegion(const QRegion* Region);
    // Combines Region with the clip region by Mode (no clip region counts as
    // the whole device surface).
    void ExtSelectClipRegion(const QRegion& Region, int Mode);
    static QRegion CombineRegion(const QRegion& A, const QRegion& B, int Mode);
    // The surface of the device (a large rectangle without device).
    QRegion DeviceRegion() const;

    // Text in the canvas font: the font's Height is the em height in pixels
    // when negative, the cell height when positive.
    TTextMetric GetTextMetrics();
    TSize TextExtent(const AnsiString& Text);
    int TextWidth(const AnsiString& Text) { return TextExtent(Text).cx; }
    int TextHeight(const AnsiString& Text) { return TextExtent(Text).cy; }
    void TextOut(int X, int Y, const AnsiString& Text);
    // (X, Y) is the top-left of the text cell; Dx holds the advance of each
    // character in device pixels (null: the font's own advances). A brush
    // that is not clear fills the cell first.
    void ExtTextOut(int X, int Y, const AnsiString& Text, const int* Dx);

    // Pixels and images.
    TColor Pixel(int X, int Y);
    void SetPixel(int X, int Y, TColor Color);
    // Copies Source (part Src, whole image when empty) into Dest, nearest
    // neighbour, replacing the target pixels.
    void StretchDIBits(const TRect& Dest, const QImage& Source, const TRect& Src = TRect{});
    // Draws Src of Image onto the parallelogram with corners P0 (top-left),
    // P1 (top-right) and P2 (bottom-left), filtered and alpha-blended.
    void DrawImageParallelogram(const QImage& Image, const QPointF& P0, const QPointF& P1,
                                const QPointF& P2, const QRectF& Src);
    // Copies an image to (X, Y) at its size, blended by its alpha.
    void Draw(int X, int Y, const QImage& Image);

    // The face realised for the current font.
    const QRawFont& RawFont();
    double FontEmPixels();

private:
    void Begin();
    void ApplyState();
    void AddToPathOrDraw(const QPainterPath& P, bool Closed);
    void StateChanged(TObject*);

    QPaintDevice* device_ = nullptr;
    std::unique_ptr<QPainter> painter_;
    bool stateDirty_ = true;
    TPen pen_;
    TBrush brush_;
    TFont font_;
    int escapement_ = 0;
    int ppiX_ = 96;
    int ppiY_ = 96;
    TPoint penPos_;
    bool recording_ = false;
    bool pathReady_ = false;
    QPainterPath path_;
    bool hasClip_ = false;
    QRegion clip_;
    // realised font
    bool fontDirty_ = true;
    QRawFont raw_;
    double rawEm_ = 0;
};

enum TPixelFormat : uint8_t { pf24bit, pf32bit };

// A bitmap with a canvas: pf32bit is QImage::Format_ARGB32 (bytes blue,
// green, red, alpha), pf24bit Format_BGR888. Rows run top-down.
class TBitmap : public TObject {
public:
    LUMI_CLASSNAME(TBitmap)
    TBitmap();
    ~TBitmap() override;
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }
    // Keeps the pixels that stay; new pixels are white.
    void SetSize(int Width, int Height);
    void SetWidth(int Width) { SetSize(Width, Height()); }
    void SetHeight(int Height) { SetSize(Width(), Height); }
    TPixelFormat PixelFormat() const { return format_; }
    void SetPixelFormat(TPixelFormat Format);

    TCanvas& Canvas();
    // Row y of the pixels; finishes pending drawing first.
    uint8_t* ScanLine(int Y);
    // The pixels; finishes pending drawing first.
    QImage& Image();
    void Assign(const TBitmap& Source);

private:
    TPixelFormat format_ = pf32bit;
    QImage image_;
    std::unique_ptr<TCanvas> canvas_;
};
