// The font facade of the editor engine.
#include "RtFont.h"

#include "RtRtfTxtPaint.h"

void TRtFont::Init()
{
    Charset = -1;
    name_ = "Arial";
    size_ = 11;
    bkColor_ = clNone;
    color_ = clNone;
    style_ = WrtStyle{};
}

void TRtFont::Apply(const TAttr& Attr, uint32_t Mask) { Engine->SetCurrentAttr(Attr, Mask); }

AnsiString TRtFont::Name() const
{
    if (Engine)
        name_ = Engine->Header()->GetFontName(Engine->CurrentAttr.Font);
    return name_;
}

void TRtFont::SetName(const AnsiString& Value)
{
    name_ = Value;
    if (!Engine || Value.empty())
        return;
    TAttr a = Engine->CurrentAttr;
    a.Font = uint16_t(Engine->Header()->GetTextFontIndex(Value, Charset));
    Apply(a, 1);
}

int32_t TRtFont::Size() const
{
    if (Engine)
        size_ = Engine->CurrentAttr.Size;
    return size_;
}

void TRtFont::SetSize(int32_t Value)
{
    size_ = Value;
    if (!Engine || Value < 1)
        return;
    TAttr a = Engine->CurrentAttr;
    a.Size = uint16_t(std::min(Value, 65535));
    Apply(a, 2);
}

WrtStyle TRtFont::Style() const
{
    if (Engine)
        style_ = Engine->CurrentAttr.Style;
    return style_;
}

void TRtFont::SetStyle(WrtStyle Value)
{
    style_ = Value;
    if (!Engine)
        return;
    TAttr a = Engine->CurrentAttr;
    a.Style = Value;
    Apply(a, 128);
}

TColor TRtFont::Color() const
{
    if (Engine) {
        const TAttr& a = Engine->CurrentAttr;
        const int32_t index = !Engine->Header()->Colors16 ? a.TextColor : (a.TextColor & 15);
        color_ = Engine->GetColorEntry(index);
    }
    return color_;
}

void TRtFont::SetColor(TColor Value)
{
    color_ = Value;
    if (!Engine || Value == clNone)
        return;
    int32_t index = 0;
    if (!Engine->Header()->GetColorIndex(Value, Engine->Use256Colors, index))
        index = 0;
    TAttr a = Engine->CurrentAttr;
    if (!Engine->Header()->Colors16)
        a.TextColor = uint8_t(index);
    else
        a.TextColor = uint8_t((a.TextColor & 0xF0) | (index & 15));
    Apply(a, 16);
}

TColor TRtFont::BKColor() const
{
    if (Engine && !UseBKColor) {
        bkColor_ = clNone;
        return bkColor_;
    }
    if (Engine) {
        const TAttr& a = Engine->CurrentAttr;
        const int32_t index = !Engine->Header()->Colors16 ? a.BGColor : (a.TextColor >> 4);
        bkColor_ = Engine->GetColorEntry(index);
    }
    return bkColor_;
}

void TRtFont::SetBKColor(TColor Value)
{
    bkColor_ = Value;
    if (!Engine || Value == clNone)
        return;
    int32_t index = 0;
    if (!Engine->Header()->GetColorIndex(Value, Engine->Use256Colors, index))
        return;
    TAttr a = Engine->CurrentAttr;
    if (!Engine->Header()->Colors16)
        a.BGColor = uint8_t(index);
    else
        a.TextColor = uint8_t((a.TextColor & 0x0F) | ((index & 15) << 4));
    Apply(a, 32);
}

void TRtFont::Assign(const TFont& Source)
{
    SetBKColor(clNone);
    SetColor(Source.Color());
    SetName(Source.Name());
    SetSize(Source.Size());
    WrtStyle s;
    s.Set(afsBold, Source.Style() & fsBold);
    s.Set(afsItalic, Source.Style() & fsItalic);
    s.Set(afsUnderline, Source.Style() & fsUnderline);
    s.Set(afsStrikeOut, Source.Style() & fsStrikeOut);
    SetStyle(s);
}

void TRtFont::AssignTo(TRtFont& Dest) const
{
    Dest.SetStyle(Style());
    Dest.SetSize(Size());
    Dest.SetName(Name());
    Dest.SetColor(Color());
    Dest.SetBKColor(BKColor());
}

void TRtFont::AssignTo(TFont& Dest) const
{
    Dest.SetName(Name());
    Dest.SetColor(Color());
    Dest.SetSize(Size());
    const WrtStyle s = Style();
    Dest.SetStyle(TFontStyles((s.Has(afsBold) ? fsBold : 0) | (s.Has(afsItalic) ? fsItalic : 0) |
                              (s.Has(afsUnderline) ? fsUnderline : 0) | (s.Has(afsStrikeOut) ? fsStrikeOut : 0)));
}
