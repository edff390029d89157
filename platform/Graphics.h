#pragma once
// Colours, fonts, pens and brushes of the class library. Each graphics object
// fires OnChange after every change; a canvas and the data file's font reader
// rely on that.
#include "AnsiString.h"
#include "Object.h"

#include <QColor>
#include <cstdint>

using TColor = int32_t;  // 0x00BBGGRR; system colours negative (0x80000000 | index)

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

constexpr TColor SystemColor(int index) { return TColor(0x80000000u | uint32_t(index)); }
constexpr TColor clScrollBar = SystemColor(0);
constexpr TColor clBackground = SystemColor(1);
constexpr TColor clActiveCaption = SystemColor(2);
constexpr TColor clInactiveCaption = SystemColor(3);
constexpr TColor clMenu = SystemColor(4);
constexpr TColor clWindow = SystemColor(5);
constexpr TColor clWindowFrame = SystemColor(6);
constexpr TColor clMenuText = SystemColor(7);
constexpr TColor clWindowText = SystemColor(8);
constexpr TColor clCaptionText = SystemColor(9);
constexpr TColor clActiveBorder = SystemColor(10);
constexpr TColor clInactiveBorder = SystemColor(11);
constexpr TColor clAppWorkSpace = SystemColor(12);
constexpr TColor clHighlight = SystemColor(13);
constexpr TColor clHighlightText = SystemColor(14);
constexpr TColor clBtnFace = SystemColor(15);
constexpr TColor clBtnShadow = SystemColor(16);
constexpr TColor clGrayText = SystemColor(17);
constexpr TColor clBtnText = SystemColor(18);
constexpr TColor clInactiveCaptionText = SystemColor(19);
constexpr TColor clBtnHighlight = SystemColor(20);
constexpr TColor cl3DDkShadow = SystemColor(21);
constexpr TColor cl3DLight = SystemColor(22);
constexpr TColor clInfoText = SystemColor(23);
constexpr TColor clInfoBk = SystemColor(24);

constexpr TColor RGB(uint8_t r, uint8_t g, uint8_t b) { return TColor(r | (g << 8) | (b << 16)); }
constexpr uint8_t GetRValue(TColor c) { return uint8_t(c & 0xFF); }
constexpr uint8_t GetGValue(TColor c) { return uint8_t((c >> 8) & 0xFF); }
constexpr uint8_t GetBValue(TColor c) { return uint8_t((c >> 16) & 0xFF); }

// A system colour becomes the current palette's colour (needs a QGuiApplication),
// clNone and clDefault stay as they are, any other value keeps its low 24 bits.
TColor ColorToRGB(TColor c);
QColor toQColor(TColor c);
TColor fromQColor(const QColor& c);

// Font style bits (the set's bit order: 1 bold, 2 italic, 4 underline, 8 strike-out).
enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = uint8_t;
enum TFontPitch : uint8_t { fpDefault = 0, fpVariable = 1, fpFixed = 2 };
using TFontCharset = uint8_t;
constexpr TFontCharset ANSI_CHARSET = 0;
constexpr TFontCharset DEFAULT_CHARSET = 1;
constexpr TFontCharset SYMBOL_CHARSET = 2;

// Base of fonts, pens and brushes: a change notification that can be detached.
class TGraphicsObject : public TObject {
public:
    LUMI_CLASSNAME(TGraphicsObject)
    TNotifyEvent OnChange;
protected:
    void Changed();
};

class TFont : public TGraphicsObject {
public:
    LUMI_CLASSNAME(TFont)
    TFont();
    TFont(const TFont& other);
    TFont& operator=(const TFont& other) { Assign(other); return *this; }
    void Assign(const TFont& other);  // copies every property, fires OnChange once

    const AnsiString& Name() const { return name_; }
    void SetName(const AnsiString& v);
    // Points; the height is -Size*PixelsPerInch/72 (MulDiv) and follows it.
    int Size() const;
    void SetSize(int points);
    // Pixels; negative is the character height, positive the cell height.
    int Height() const { return height_; }
    void SetHeight(int v);
    TColor Color() const { return color_; }
    void SetColor(TColor v);
    TFontStyles Style() const { return style_; }
    void SetStyle(TFontStyles v);
    TFontPitch Pitch() const { return pitch_; }
    void SetPitch(TFontPitch v);
    TFontCharset Charset() const { return charset_; }
    void SetCharset(TFontCharset v);
    int PixelsPerInch() const { return pixelsPerInch_; }
    void SetPixelsPerInch(int v);  // keeps the size in points

    bool operator==(const TFont& o) const;

private:
    AnsiString name_ = "MS Sans Serif";
    int height_ = -11;
    TColor color_ = clWindowText;
    TFontStyles style_ = 0;
    TFontPitch pitch_ = fpDefault;
    TFontCharset charset_ = DEFAULT_CHARSET;
    int pixelsPerInch_ = 96;
};

enum TPenStyle : uint8_t { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode : uint8_t { pmCopy, pmNot, pmXor, pmNotXor };

class TPen : public TGraphicsObject {
public:
    LUMI_CLASSNAME(TPen)
    TPen() = default;
    TPen(const TPen& other) : TGraphicsObject() { Assign(other); }
    TPen& operator=(const TPen& other) { Assign(other); return *this; }
    void Assign(const TPen& other);
    TColor Color() const { return color_; }
    void SetColor(TColor v);
    int Width() const { return width_; }
    void SetWidth(int v);
    TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle v);
    TPenMode Mode() const { return mode_; }
    void SetMode(TPenMode v);
private:
    TColor color_ = clBlack;
    int width_ = 1;
    TPenStyle style_ = psSolid;
    TPenMode mode_ = pmCopy;
};

enum TBrushStyle : uint8_t {
    bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross
};

class TBrush : public TGraphicsObject {
public:
    LUMI_CLASSNAME(TBrush)
    TBrush() = default;
    TBrush(const TBrush& other) : TGraphicsObject() { Assign(other); }
    TBrush& operator=(const TBrush& other) { Assign(other); return *this; }
    void Assign(const TBrush& other);
    TColor Color() const { return color_; }
    void SetColor(TColor v);
    TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle v);
private:
    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
};
