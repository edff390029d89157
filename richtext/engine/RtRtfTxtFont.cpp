// Character fonts, colours and width tables: selecting an attribute's font,
// brush and pen into the engine's canvas, and the cache of the widths and
// metrics of each font look, measured from the font's own advances per byte
// through its charset.
#include "RtRtfTxtPaint.h"

#include "Charsets.h"
#include "SysUtils.h"

#include <QRawFont>
#include <QString>

#include <algorithm>

namespace {

// One process-wide lookup counter shared by all engines.
uint32_t RtWidthStampCounter = 0;

TFontStyles FontStylesOf(WrtStyle Style, const TCharacterAttr* Set)
{
    bool bold = Style.Has(afsBold), italic = Style.Has(afsItalic), strike = Style.Has(afsStrikeOut);
    if (Set) {
        if (Set->Bold() != tsIgnore)
            bold = Set->Bold() == tsTRUE;
        if (Set->Italic() != tsIgnore)
            italic = Set->Italic() == tsTRUE;
        if (Set->StrikeOut() != tsIgnore)
            strike = Set->StrikeOut() == tsTRUE;
    }
    return TFontStyles((bold ? fsBold : 0) | (italic ? fsItalic : 0) | (strike ? fsStrikeOut : 0));
}

}  // namespace

TCharacterAttr* TRtRTFTextPaint::PickCharAttr(const TAttr& Attr) const
{
    const WrtStyle s = Attr.Style;
    if (s.Has(afsHidden))
        return HiddenTextAttr();
    if (s.Has(afsIsInsertpoint))
        return InsertPointAttr();
    if (s.Has(afsHyperLink))
        return HyperlinkTextAttr();
    if (s.Has(afsAutomatic))
        return AutomaticTextAttr();
    if (s.Has(afsProtected))
        return ProtectedTextAttr();
    if (s.Has(afsBookmark))
        return BookmarkTextAttr();
    return PaintingField ? FieldObjectTextAttr() : nullptr;
}

int32_t TRtRTFTextPaint::FontPixelHeight(const TAttr& Attr, bool ForSubSuper, int32_t Resolution) const
{
    const int32_t size = Attr.Size ? Attr.Size : RtDefaultFontSize;
    int32_t h = MulDiv(size, std::max(1, Resolution > 0 ? Resolution : Header()->LayoutYRes), 72);
    if (ForSubSuper && h > 1)
        h = h * 2 / 3;
    if (Resizing != 100 && Resizing > 0)
        h = MulDiv(h, Resizing, 100);
    return std::max(1, h);
}

void TRtRTFTextPaint::SelectCharFont(const TAttr* Attr, TParagraph* Par, TLine* Line, int32_t Pos)
{
    TCanvas* c = PaintCanvas();
    if (!c)
        return;
    if (FixedResMode)
        SelectMapMode(false);
    const TAttr& a = Attr ? *Attr : CurrentAttr;
    TCharacterAttr* set = PaintingNumber ? nullptr : PickCharAttr(a);
    if (set && !Displays() && !set->AlsoUseForPrintout)
        set = nullptr;
    HotStyleActive = Par && Par == HotParagraph && set && set->HotStyleIsActive && a.Style.Has(afsHotStyle);
    HotEffect = HotStyleActive ? set->HotEffect() : rteffNone;
    HotEffectColor = HotStyleActive ? set->HotEffectColor : 0;

    TColor text = SelectAttrColours(a, set);
    SelectFontFace(a);
    TAttr sized = a;
    const TFontStyles styles = SelectFontEffects(a, Par, set, sized);
    TFont& f = c->Font();
    if (f.Style() != styles)
        f.SetStyle(styles);
    FontHeightPx = FontPixelHeight(sized, FontSub || FontSuper);
    if (f.Height() != -FontHeightPx || ForceFontReset) {
        f.SetHeight(-FontHeightPx);
        ForceFontReset = false;
    }
    if (HighlightedStyleNr >= 0 && a.StyleNr == HighlightedStyleNr)
        text = HighlightColor;
    if (ViewOptions.Has(rtShowEmbeddedCodes) || ViewOptions.Has(rtShowBookmarkCodes)) {
        if (a.Style.Has(afsDBCSOne))
            text = DBCSLeadColor;
        else if (a.Style.Has(afsDBCSTwo))
            text = DBCSTrailColor;
    }
    f.SetColor(text);
    TColor underline = text;
    if (set && HotStyleActive && set->UseHotUnderlineColor)
        underline = set->HotUnderlineColor();
    else if (set && set->UseUnderlineColor())
        underline = set->UnderlineColor();
    c->Pen().SetColor(underline);
    if (OnGetAttrColor && Par && Line && (set ? set->UseOnGetAttrColorEvent : true)) {
        bool background = AttrBackgroundUsed;
        OnGetAttrColor(this, a.Style, c, FontUnderline, FontDoubleUnderline, background, HotStyleActive, Par, Line,
                       Pos);
        AttrBackgroundUsed = background;
    }
    UnderlineColor = c->Pen().Color();
    if (OnFontChanged)
        OnFontChanged(this);
}

TColor TRtRTFTextPaint::SelectAttrColours(const TAttr& Attr, TCharacterAttr* Set)
{
    TTextHeader* h = Header();
    const int32_t textIndex = h->Colors16 ? (Attr.TextColor & 15) : Attr.TextColor;
    const int32_t backIndex = h->Colors16 ? (Attr.TextColor >> 4) : Attr.BGColor;
    TColor text = textIndex == 0 && !PlainColorMode ? DefaultTextColor : GetColorEntry(textIndex);
    h->Colors[size_t(textIndex)].Used = 1;
    if (Set && HotStyleActive && Set->UseHotTextColor)
        text = Set->HotTextColor();
    else if (Set && Set->UseTextColor())
        text = Set->TextColor();
    AttrBackgroundUsed = false;
    TBrush& brush = PaintCanvas()->Brush();
    if (Set && HotStyleActive && Set->UseHotBackgroundColor) {
        brush.SetStyle(bsSolid);
        brush.SetColor(Set->HotBackgroundColor());
        AttrBackgroundUsed = true;
    } else if (Set && Set->UseBackgroundColor()) {
        brush.SetStyle(bsSolid);
        brush.SetColor(Set->BackgroundColor());
        AttrBackgroundUsed = true;
    } else if (backIndex != 0) {
        brush.SetStyle(bsSolid);
        brush.SetColor(GetColorEntry(backIndex));
        h->Colors[size_t(backIndex)].Used = 1;
    } else if (Displays() && !(EngineOptions & eoNoBackground)) {
        brush.SetStyle(bsSolid);
        brush.SetColor((EngineOptions & eoWhiteFills) ? clWhite : FillColor != clNone ? FillColor : GetPaperColor());
    } else {
        brush.SetStyle(bsClear);
    }
    return text;
}

void TRtRTFTextPaint::SelectFontFace(const TAttr& Attr)
{
    TFont& f = PaintCanvas()->Font();
    const TRtFontEntry& entry = Header()->Fonts[size_t(Attr.Font & 255)];
    if (!entry.Name.empty() && CompareText(entry.Name, f.Name()) != 0)
        f.SetName(entry.Name);
    if (entry.Charset >= 0) {
        const TFontCharset cs = entry.Charset < 2 ? DEFAULT_CHARSET : TFontCharset(entry.Charset);
        if (cs != f.Charset())
            f.SetCharset(cs);
    }
}

TFontStyles TRtRTFTextPaint::SelectFontEffects(const TAttr& Attr, const TParagraph* Par, TCharacterAttr* Set,
                                               TAttr& Sized)
{
    if (Par && (Par->ExtFlags & (parxMarker1 | parxMarker2))) {
        FontUnderline = FontDoubleUnderline = FontSub = FontSuper = FontMisSpelled = false;
        Sized.Size = uint16_t(RtDefaultFontSize);
        return 0;
    }
    const bool hiding = Par && (Par->Flags & (parfSkip1 | parfSkip2));
    FontUnderline = Attr.Style.Has(afsUnderline) && !hiding;
    FontDoubleUnderline = false;
    FontSuper = Attr.Style.Has(afsSuper) || Attr.Style.Has(afsIsFootnote);
    FontSub = Attr.Style.Has(afsSub);
    FontMisSpelled = Attr.Style.Has(afsMisSpelled) && Displays() && !PlainColorMode && !hiding;
    if (Set) {
        const TThreeState u = HotStyleActive && Set->HotUnderline != tsIgnore ? Set->HotUnderline : Set->Underline();
        if (u == tsTRUE) {
            FontUnderline = true;
            FontDoubleUnderline = Set->DoubleUnderline();
        } else if (u == tsFALSE) {
            FontUnderline = false;
        }
        if (Set->SuperScript() != tsIgnore)
            FontSuper = Set->SuperScript() == tsTRUE;
        if (Set->SubScript() != tsIgnore)
            FontSub = Set->SubScript() == tsTRUE;
    }
    if (FontSub && FontSuper)
        FontSub = false;
    return FontStylesOf(Attr.Style, Set);
}

void TRtRTFTextPaint::InvalidateWidthTables()
{
    for (auto& [key, t] : widthTables_)
        t.Dirty = true;
}

void TRtRTFTextPaint::UpdateCharWidths(const TAttr* Attr)
{
    if (!Attr) {
        if (currentTable_) {
            TAttr a;
            a.Font = currentTable_->Font;
            a.Size = currentTable_->Size;
            a.Style = WrtStyle::FromBits(currentTable_->Style);
            BuildWidthTable(*currentTable_, a);
        }
        return;
    }
    const uint32_t stamp = ++RtWidthStampCounter;
    const uint8_t font = uint8_t(Attr->Font & 255);
    const uint8_t size = uint8_t(std::min<int32_t>(Attr->Size, 255));
    const uint32_t style = Attr->Style.Bits & RtWidthStyleMask;
    const int32_t res = Header()->LayoutYRes;
    const int32_t refRes = ReferenceResolutionY();
    // A font slot may be named anew (slots are reused after clearing): the name is part of the key.
    const AnsiString& name = Header()->Fonts[font].Name;
    const TRtWidthTable* t = currentTable_;
    if (t && t->Font == font && t->Size == size && t->Style == style && t->Resolution == res &&
        t->RefResolution == refRes && !t->Dirty && t->FontName == name) {
        currentTable_->Stamp = stamp;
        return;
    }
    const TWidthKey key{font, size, style, res, refRes, name};
    auto found = widthTables_.find(key);
    const bool fresh = found == widthTables_.end();
    if (fresh) {
        // The least recently used tables make room (the smallest stamp); one being built
        // stays, so the cache may hold more for as long as a measure hook runs.
        while (widthTables_.size() >= size_t(std::max(1, MaxWidthTables))) {
            auto oldest = widthTables_.end();
            for (auto it = widthTables_.begin(); it != widthTables_.end(); ++it)
                if (!it->second.Measuring && (oldest == widthTables_.end() || it->second.Stamp < oldest->second.Stamp))
                    oldest = it;
            if (oldest == widthTables_.end())
                break;
            if (currentTable_ == &oldest->second)
                currentTable_ = nullptr;
            widthTables_.erase(oldest);
        }
        found = widthTables_.emplace(key, TRtWidthTable{}).first;
        TRtWidthTable& table = found->second;
        table.Font = font;
        table.Size = size;
        table.Style = style;
        table.Resolution = res;
        table.RefResolution = refRes;
        table.FontName = name;
    }
    TRtWidthTable& table = found->second;
    table.Stamp = stamp;
    currentTable_ = &table;
    // A look is measured once, and again after the device changed.
    if (fresh || table.Dirty) {
        table.Measuring = true;
        BuildWidthTable(table, *Attr);
        table.Measuring = false;
        currentTable_ = &table;   // the hook may have looked up another
    }
}

int32_t TRtRTFTextPaint::ReferenceResolutionY() const
{
    // An attached font mapper measures on the canvas.
    return UseReferencePrinter && !FontMapper && RtRefPrinter.HasContext && RtRefPrinter.XRes > 0 &&
                   RtRefPrinter.YRes > 0
               ? RtRefPrinter.YRes
               : 0;
}

void TRtRTFTextPaint::BuildWidthTable(TRtWidthTable& Table, const TAttr& Attr)
{
    ++WidthTablesBuilt;
    TTextHeader* h = Header();
    TRtFontEntry& entry = h->Fonts[size_t(Attr.Font & 255)];
    // A font without a known charset gets it from its kind; the table is built all the same.
    if (entry.Charset < 0 && !entry.Name.empty())
        entry.Charset = IsSymbolFontName(entry.Name) ? SYMBOL_CHARSET : ANSI_CHARSET;
    Table.Charset = entry.Charset < 0 ? ANSI_CHARSET : entry.Charset;
    SelectCharFont(&Attr, nullptr, nullptr, 0);

    const TCharacterAttr* set = PickCharAttr(Attr);
    const bool subSuper = Attr.Style.Has(afsSuper) || Attr.Style.Has(afsSub) || Attr.Style.Has(afsIsFootnote);
    const int32_t em = FontPixelHeight(Attr, subSuper);
    Table.FontHeight = em;
    const AnsiString name = entry.Name.empty() ? AnsiString(RtDefaultFontName) : entry.Name;
    const TFontStyles styles = FontStylesOf(Attr.Style, set);
    // Widths and metrics in whole units of the measuring device: the reference
    // printer, scaled to the layout resolution afterwards, or the layout itself.
    const int32_t refY = ReferenceResolutionY();
    const int32_t refX = refY > 0 ? RtRefPrinter.XRes : 0;
    const int32_t deviceEm = refY > 0 ? FontPixelHeight(Attr, subSuper, refY) : em;
    const QRawFont face = RawFontFor(name, styles, 0);
    Table.Face = face;
    Table.Scale = face.isValid() ? double(deviceEm) / face.unitsPerEm() : 0;
    Table.RefX = refX;
    Table.LayoutX = h->LayoutXRes;
    Table.WidthFactor = refY <= 0 && FontMapper && WidthFactor > 0 ? double(WidthFactor) : 1;
    Table.PairWidths.clear();
    Table.Widths.fill(0);
    if (face.isValid()) {
        QString chars;
        chars.reserve(256);
        for (int ch = 0; ch < 256; ++ch) {
            const char32_t u = RtCharToUnicode(uint8_t(ch), Table.Charset, name);
            // Characters the charset lacks measure like a blank.
            chars.append(QChar(char16_t(u && u < 0x10000 ? u : 0x20)));
        }
        const QList<quint32> glyphs = face.glyphIndexesForString(chars);
        const QList<QPointF> advances = face.advancesForGlyphIndexes(glyphs);
        for (qsizetype i = 0; i < 256 && i < advances.size(); ++i) {
            const char32_t u = chars[i].unicode();
            // Characters the face lacks measure as the fallback face draws them.
            const double advance =
                face.supportsCharacter(uint(u)) ? advances[i].x() : CharAdvance(face, u, Table.Charset);
            Table.Widths[size_t(i)] = Table.LayoutWidth(advance);
        }
        const TTextMetric tm = TextMetricFor(face, deviceEm);
        Table.LineHeight = tm.tmHeight + tm.tmExternalLeading;
        Table.Ascent = tm.tmAscent + tm.tmExternalLeading;
    } else {
        Table.LineHeight = deviceEm;
        Table.Ascent = deviceEm * 4 / 5;
    }
    if (refY > 0) {
        Table.LineHeight = MulDiv(Table.LineHeight, h->LayoutYRes, refY);
        Table.Ascent = MulDiv(Table.Ascent, h->LayoutYRes, refY);
    }
    if (ViewOptions.Has(rtUseAbsoluteFontHeight))
        Table.LineHeight = (Attr.Size ? Attr.Size : RtDefaultFontSize) * 24 * h->LayoutYRes / 1440;
    if (styles & fsItalic)
        Table.Widths[39] = Table.Widths[39] * 5 / 4;
    if (ScaleLineHeights && LineHeightFactor > 0 && Table.LineHeight > 0) {
        // The ascent keeps its share of the line.
        const int32_t height = Round32(Table.LineHeight * double(LineHeightFactor));
        Table.Ascent = MulDiv(Table.Ascent, height, Table.LineHeight);
        Table.LineHeight = height;
    }
    Table.Widths[160] = Table.Widths[32];
    if (!KeepEuroWidth)
        Table.Widths[128] = Table.Widths[67];
    if (OnMeasureChar)
        OnMeasureChar(this, Attr, Table.Charset, Table.LineHeight, Table.Ascent, Table.Widths);
    Table.Dirty = false;
}

int32_t TRtWidthTable::LayoutWidth(double Advance) const
{
    // Whole pixels of the measuring device: the reference printer's, scaled to the layout afterwards.
    const int32_t w = Round32(Advance * Scale);
    if (RefX > 0)
        return MulDiv(w, LayoutX, RefX);
    return WidthFactor != 1 ? Round32(w * WidthFactor) : w;
}

int32_t TRtRTFTextPaint::PairWidth(uint8_t LeadCh, uint8_t TrailCh)
{
    TRtWidthTable& t = *currentTable_;
    const uint16_t code = uint16_t(LeadCh << 8 | TrailCh);
    if (auto it = t.PairWidths.find(code); it != t.PairWidths.end())
        return it->second;
    // Measured as the canvas draws the pair: its character, or each byte's when the charset has no such pair.
    const char pair[2] = {char(LeadCh), char(TrailCh)};
    int32_t w = 0;
    for (const char32_t u : CharsetCharsPerByte(t.Charset, std::string_view(pair, 2)))
        if (u)
            w += t.LayoutWidth(CharAdvance(t.Face, u, t.Charset));
    t.PairWidths.emplace(code, w);
    return w;
}

void TRtRTFTextPaint::GetFontMetrics(int32_t& Height, int32_t& Base)
{
    if (!currentTable_) {
        TRtRTFTextIo::GetFontMetrics(Height, Base);
        return;
    }
    Height = currentTable_->LineHeight;
    Base = currentTable_->Ascent;
}

void TRtRTFTextPaint::MeasureAttr(TAttr& Attr, int32_t Ch)
{
    UpdateCharWidths(&Attr);
    if (!currentTable_)
        return;
    Attr.Base = uint16_t(std::max(1, currentTable_->Ascent));
    Attr.Height = uint16_t(std::max(1, currentTable_->LineHeight));
    if (Ch < 0)
        return;
    if (Attr.Style.Has(afsHidden) && !(EngineOptions & eoHiddenShown) && !ViewOptions.Has(rtShowInvisibleText))
        Attr.Width = 0;
    else if (Ch == 9)
        Attr.Width = uint16_t(std::max(1, currentTable_->Widths[32]));
    else
        Attr.Width = uint16_t(std::max(1, currentTable_->Widths[uint8_t(Ch)]));
}

void TRtRTFTextPaint::SetCharAttr(TLine* Line, int32_t Pos, const TAttr& Attr)
{
    if (!Line)
        return;
    if (!Line->Attrs) {
        CurrentAttr = Attr;
        return;
    }
    if (Pos < 0 || Pos >= Line->Capacity)
        return;
    TAttr& a = Line->Attrs[Pos];
    const bool object = a.Style.Has(afsIsObject);
    const TAttr old = a;
    a = Attr;
    if (object) {
        // An object's metrics are its own.
        a.Width = old.Width;
        a.Height = old.Height;
        a.Base = old.Base;
        a.Tag = old.Tag;
        a.Style.Include(afsIsObject);
        return;
    }
    if (Pos < Line->Length && referenceCanvas_ && !Suspended())
        MeasureAttr(a, Line->Chars[Pos]);
}
