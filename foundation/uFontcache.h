#pragma once
// Advance widths of fonts in design units, so that text lays out the same at
// any resolution. One global cache, keyed by font name and style.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "Canvas.h"
#include "Graphics.h"
#include "Object.h"

class TFontInfo : public TObject {
public:
    LUMI_CLASSNAME(TFontInfo)
    explicit TFontInfo(const TFont& AFont);
    // Advance of character code Ch in pixels for an em of Size pixels.
    float CharWidth(uint8_t Ch, float Size) const;

    TFont Font;
    int32_t EmSquare = 2048;
    std::array<int32_t, 256> Widths{};
    TTextMetric TextMetric;  // at em height

private:
    void LoadMetrics();
};

class TFontCache : public TObject {
public:
    LUMI_CLASSNAME(TFontCache)
    // The entry of the font's name (exact) and style; made and put first when missing.
    TFontInfo& GetFontInfo(const TFont& Font);
    int Count() const { return int(List.size()); }

private:
    std::vector<std::unique_ptr<TFontInfo>> List;  // newest first
};

extern TFontCache FontCache;
