#include "uFontcache.h"

#include <QString>

#include "AnsiString.h"
#include "Application.h"
#include "SysUtils.h"

TFontCache FontCache;

TFontInfo::TFontInfo(const TFont& AFont)
{
    Font.Assign(AFont);
    LoadMetrics();
}

void TFontInfo::LoadMetrics()
{
    // The face at its em square: advances come out in design units.
    const QRawFont face = RawFontFor(Font.Name(), Font.Style(), 0);
    if (!face.isValid()) {
        EmSquare = 2048;
        return;
    }
    EmSquare = face.unitsPerEm() > 0 ? int32_t(face.unitsPerEm()) : 2048;
    QString codes;
    for (int c = 0; c < 256; ++c)
        codes.append(QChar(AnsiCharToUnicode(uint8_t(c))));
    const QList<quint32> glyphs = face.glyphIndexesForString(codes);
    const QList<QPointF> adv = face.advancesForGlyphIndexes(glyphs);
    const double scale = double(EmSquare) / face.pixelSize();
    for (int c = 0; c < 256 && c < adv.size(); ++c)
        Widths[size_t(c)] = int32_t(Round(adv[c].x() * scale));
    TextMetric = TextMetricFor(face, EmSquare);
}

float TFontInfo::CharWidth(uint8_t Ch, float Size) const
{
    return float(double(Widths[Ch]) / EmSquare * Size);
}

TFontInfo& TFontCache::GetFontInfo(const TFont& Font)
{
    static const TStaticCleanup cleanup([] { FontCache.List.clear(); });
    for (auto& info : List)
        if (info->Font.Name() == Font.Name() && info->Font.Style() == Font.Style())
            return *info;
    List.insert(List.begin(), std::make_unique<TFontInfo>(Font));
    return *List.front();
}
