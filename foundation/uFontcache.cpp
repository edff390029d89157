#include "uFontcache.h"

#include <QString>

#include "AnsiString.h"
#include "Application.h"
#include "Charsets.h"
#include "SysUtils.h"

// Never destroyed: its fonts hold Qt font engines, which must not outlive Qt
// at exit. The application empties it while Qt lives (see GetFontInfo).
TFontCache& FontCache = *new TFontCache;

TFontInfo::TFontInfo(const TFont& AFont)
{
    Font.Assign(AFont);
    LoadMetrics();
}

void TFontInfo::LoadMetrics()
{
    // The face at its em square: advances come out in design units.
    face_ = RawFontFor(Font.Name(), Font.Style(), 0);
    if (!face_.isValid()) {
        EmSquare = 2048;
        return;
    }
    EmSquare = face_.unitsPerEm() > 0 ? int32_t(face_.unitsPerEm()) : 2048;
    const double scale = double(EmSquare) / face_.pixelSize();
    for (int c = 0; c < 256; ++c) {
        const char32_t u = c < 32 ? char32_t(c) : CharsetCharToUnicode(Font.Charset(), uint8_t(c));
        Widths[size_t(c)] = int32_t(Round(CharAdvance(face_, u ? u : U' ', Font.Charset()) * scale));
    }
    TextMetric = TextMetricFor(face_, EmSquare);
}

float TFontInfo::CharWidth(uint8_t Ch, float Size) const
{
    return float(double(Widths[Ch]) / EmSquare * Size);
}

std::vector<int32_t> TFontInfo::TextWidths(std::string_view Text) const
{
    std::vector<int32_t> widths(Text.size());
    const std::u32string chars = CharsetCharsPerByte(Font.Charset(), Text);
    for (size_t i = 0; i < Text.size(); ++i) {
        if (chars[i] == 0)
            continue;
        // One-byte characters from the table; pairs and composed letters measured once.
        const bool single = i + 1 == Text.size() || chars[i + 1] != 0;
        if (single && CharsetCharToUnicode(Font.Charset(), uint8_t(Text[i])) == chars[i]) {
            widths[i] = Widths[uint8_t(Text[i])];
            continue;
        }
        auto it = charWidths_.find(chars[i]);
        if (it == charWidths_.end()) {
            const double advance =
                face_.isValid() ? CharAdvance(face_, chars[i], Font.Charset()) * EmSquare / face_.pixelSize() : 0;
            it = charWidths_.emplace(chars[i], int32_t(Round(advance))).first;
        }
        widths[i] = it->second;
    }
    return widths;
}

TFontInfo& TFontCache::GetFontInfo(const TFont& Font)
{
    static const TStaticCleanup cleanup([] { FontCache.List.clear(); });
    for (auto& info : List)
        if (info->Font.Name() == Font.Name() && info->Font.Style() == Font.Style() &&
            info->Font.Charset() == Font.Charset())
            return *info;
    List.insert(List.begin(), std::make_unique<TFontInfo>(Font));
    return *List.front();
}
