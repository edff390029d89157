#include "Graphics.h"
#include "SysUtils.h"

#include <QGuiApplication>
#include <QPalette>

namespace {

// The classic Windows scheme, for system colours without a running GUI.
constexpr TColor kClassic[25] = {
    0xC8D0D4, 0xA56E3A, 0x6A240A, 0x808080, 0xC8D0D4, 0xFFFFFF, 0x000000, 0x000000,
    0x000000, 0xFFFFFF, 0xC8D0D4, 0xC8D0D4, 0x808080, 0x6A240A, 0xFFFFFF, 0xC8D0D4,
    0x808080, 0x808080, 0x000000, 0xC8D0D4, 0xFFFFFF, 0x404040, 0xC8D0D4, 0x000000,
    0xE1FFFF,
};

QColor PaletteColor(int index)
{
    const QPalette p = QGuiApplication::palette();
    switch (index) {
    case 0: return p.color(QPalette::Button);
    case 1: return p.color(QPalette::Window);
    case 2: return p.color(QPalette::Highlight);
    case 3: return p.color(QPalette::Mid);
    case 4: return p.color(QPalette::Window);
    case 5: return p.color(QPalette::Base);
    case 6: return p.color(QPalette::Shadow);
    case 7: return p.color(QPalette::WindowText);
    case 8: return p.color(QPalette::Text);
    case 9: return p.color(QPalette::HighlightedText);
    case 10:
    case 11: return p.color(QPalette::Window);
    case 12: return p.color(QPalette::Dark);
    case 13: return p.color(QPalette::Highlight);
    case 14: return p.color(QPalette::HighlightedText);
    case 15: return p.color(QPalette::Button);
    case 16: return p.color(QPalette::Dark);
    case 17: return p.color(QPalette::Disabled, QPalette::Text);
    case 18: return p.color(QPalette::ButtonText);
    case 19: return p.color(QPalette::Disabled, QPalette::WindowText);
    case 20: return p.color(QPalette::Light);
    case 21: return p.color(QPalette::Shadow);
    case 22: return p.color(QPalette::Midlight);
    case 23: return p.color(QPalette::ToolTipText);
    case 24: return p.color(QPalette::ToolTipBase);
    default: return QColor(Qt::black);
    }
}

} // namespace

TColor ColorToRGB(TColor c)
{
    if (c == clNone || c == clDefault)
        return c;
    if (c < 0) {
        const int index = int(uint32_t(c) & 0xFF);
        if (qGuiApp && index < 25)
            return fromQColor(PaletteColor(index));
        return index < 25 ? kClassic[index] : clBlack;
    }
    return c & 0xFFFFFF;
}

QColor toQColor(TColor c)
{
    if (c == clNone)
        return QColor(Qt::transparent);
    const TColor rgb = ColorToRGB(c == clDefault ? clWindowText : c);
    return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

TColor fromQColor(const QColor& c)
{
    const QColor rgb = c.toRgb();
    return RGB(uint8_t(rgb.red()), uint8_t(rgb.green()), uint8_t(rgb.blue()));
}

void TGraphicsObject::Changed()
{
    if (OnChange)
        OnChange(this);
}

// ---- TFont ---------------------------------------------------------------------------

TFont::TFont() = default;

TFont::TFont(const TFont& other) : TGraphicsObject()
{
    Assign(other);
}

void TFont::Assign(const TFont& other)
{
    if (&other == this)
        return;
    name_ = other.name_;
    pixelsPerInch_ = other.pixelsPerInch_;
    height_ = other.height_;
    color_ = other.color_;
    style_ = other.style_;
    pitch_ = other.pitch_;
    charset_ = other.charset_;
    Changed();
}

void TFont::SetName(const AnsiString& v)
{
    if (v.empty() || v == name_)
        return;
    name_ = v;
    Changed();
}

int TFont::Size() const
{
    return -MulDiv(height_, 72, pixelsPerInch_);
}

void TFont::SetSize(int points)
{
    SetHeight(-MulDiv(points, pixelsPerInch_, 72));
}

void TFont::SetHeight(int v)
{
    if (v == height_)
        return;
    height_ = v;
    Changed();
}

void TFont::SetColor(TColor v)
{
    if (v == color_)
        return;
    color_ = v;
    Changed();
}

void TFont::SetStyle(TFontStyles v)
{
    v &= 0x0F;
    if (v == style_)
        return;
    style_ = v;
    Changed();
}

void TFont::SetPitch(TFontPitch v)
{
    if (v == pitch_)
        return;
    pitch_ = v;
    Changed();
}

void TFont::SetCharset(TFontCharset v)
{
    if (v == charset_)
        return;
    charset_ = v;
    Changed();
}

void TFont::SetPixelsPerInch(int v)
{
    if (v <= 0 || v == pixelsPerInch_)
        return;
    const int size = Size();
    pixelsPerInch_ = v;
    height_ = -MulDiv(size, pixelsPerInch_, 72);
    Changed();
}

bool TFont::operator==(const TFont& o) const
{
    return name_ == o.name_ && height_ == o.height_ && color_ == o.color_ && style_ == o.style_
           && pitch_ == o.pitch_ && charset_ == o.charset_ && pixelsPerInch_ == o.pixelsPerInch_;
}

// ---- TPen / TBrush --------------------------------------------------------------------

void TPen::Assign(const TPen& other)
{
    if (&other == this)
        return;
    color_ = other.color_;
    width_ = other.width_;
    style_ = other.style_;
    mode_ = other.mode_;
    Changed();
}

void TPen::SetColor(TColor v)
{
    if (v == color_)
        return;
    color_ = v;
    Changed();
}

void TPen::SetWidth(int v)
{
    if (v < 0 || v == width_)
        return;
    width_ = v;
    Changed();
}

void TPen::SetStyle(TPenStyle v)
{
    if (v == style_)
        return;
    style_ = v;
    Changed();
}

void TPen::SetMode(TPenMode v)
{
    if (v == mode_)
        return;
    mode_ = v;
    Changed();
}

void TBrush::Assign(const TBrush& other)
{
    if (&other == this)
        return;
    color_ = other.color_;
    style_ = other.style_;
    Changed();
}

void TBrush::SetColor(TColor v)
{
    if (v == color_ && style_ != bsClear)
        return;
    color_ = v;
    if (style_ == bsClear)
        style_ = bsSolid;
    Changed();
}

void TBrush::SetStyle(TBrushStyle v)
{
    if (v == style_)
        return;
    style_ = v;
    Changed();
}
