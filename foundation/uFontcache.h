#pragma once
// Advance widths of fonts in design units, so that text lays out the same at
// any resolution. One global cache, keyed by font name, style and charset.
#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>
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
    // Advances of the bytes of 8-bit text in the font's charset in design
    // units: a double-byte character's on its lead byte, 0 on its trail byte.
    std::vector<int32_t> TextWidths(std::string_view Text) const;

    TFont Font;
    int32_t EmSquare = 2048;
    std::array<int32_t, 256> Widths{};  // of the charset's one-byte characters
    TTextMetric TextMetric;  // at em height

private:
    void LoadMetrics();
    QRawFont face_;
    mutable std::unordered_map<char32_t, int32_t> charWidths_;  // characters of two bytes
};

class TFontCache : public TObject {
public:
    LUMI_CLASSNAME(TFontCache)
    // The entry of the font's name (exact), style and charset; made and put first when missing.
    TFontInfo& GetFontInfo(const TFont& Font);
    int Count() const { return int(List.size()); }

private:
    std::vector<std::unique_ptr<TFontInfo>> List;  // newest first
};

extern TFontCache& FontCache;
