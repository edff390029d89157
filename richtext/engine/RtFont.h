#pragma once
// TRtFont: a font description with name, size, style and colours. Standalone
// it stores the values; bound to an engine it reads the engine's current
// writing attribute and applies every change to it (and with it to the
// selection), one property at a time.
#include "AnsiString.h"
#include "Graphics.h"
#include "Object.h"
#include "RtDefs.h"

class TRtRTFTextPaint;

class TRtFont : public TObject {
public:
    LUMI_CLASSNAME(TRtFont)
    explicit TRtFont(TRtRTFTextPaint* Engine = nullptr) : Engine(Engine) { Init(); }

    void Init();
    void AssignTo(TRtFont& Dest) const;
    void AssignTo(TFont& Dest) const;
    void Assign(const TRtFont& Source) { Source.AssignTo(*this); }
    void Assign(const TFont& Source);

    TColor Color() const;
    void SetColor(TColor Value);
    TColor BKColor() const;
    void SetBKColor(TColor Value);
    int32_t Size() const;
    void SetSize(int32_t Value);
    AnsiString Name() const;
    void SetName(const AnsiString& Value);
    WrtStyle Style() const;
    void SetStyle(WrtStyle Value);

    bool UseBKColor = false;
    TRtRTFTextPaint* Engine;
    int32_t Charset = -1;

private:
    // The engine's current attribute with one field changed, applied with Mask.
    void Apply(const TAttr& Attr, uint32_t Mask);

    mutable TColor color_ = clNone;
    mutable TColor bkColor_ = clNone;
    mutable int32_t size_ = 11;
    mutable AnsiString name_ = "Arial";
    mutable WrtStyle style_;
};
