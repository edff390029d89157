#include "RtEngineTestSupport.h"
#include "Charsets.h"

namespace {

class RtWidthTables : public RtEngineTest {
protected:
    TAttr AttrOf(const char* Font, uint16_t Size, WrtStyle Style = {})
    {
        TAttr a;
        a.Font = uint16_t(E->Header()->GetFontIndex(Font));
        a.Size = Size;
        a.Style = Style;
        return a;
    }
};

}  // namespace

TEST_F(RtWidthTables, LiberationSansAt96DpiMeasuresItsOwnAdvances)
{
    Attach();
    const TAttr a = AttrOf("Liberation Sans", 11);   // em 15 pixels
    E->UpdateCharWidths(&a);
    const TRtWidthTable* t = E->CurrentWidths();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->FontHeight, 15);
    EXPECT_EQ(t->Widths['A'], 10);
    EXPECT_EQ(t->Widths[' '], 4);
    EXPECT_EQ(t->Widths['W'], 14);
    EXPECT_EQ(t->Widths['i'], 3);
    EXPECT_EQ(t->Widths['m'], 12);
    EXPECT_EQ(t->Widths[160], t->Widths[32]);
    EXPECT_EQ(t->Widths[128], t->Widths['C']);
    EXPECT_GT(t->LineHeight, 15);
    EXPECT_GT(t->Ascent, 10);
    EXPECT_LT(t->Ascent, t->LineHeight);
}

TEST_F(RtWidthTables, LiberationSansLinesBreakAfterTheLastFittingWord)
{
    Attach();
    FillText(*E, {"Wim Wim Wim Wim"});
    const TAttr a = AttrOf("Liberation Sans", 11);
    E->CurrentAttr = a;
    SetTextWidth(100);
    for (int i = 0; i < Line(0, 0)->Length; ++i)
        Line(0, 0)->Attrs[i] = a;
    E->UpdateLayout();
    // "Wim " is 14 + 3 + 12 + 4 = 33: three fit into 100 with the last blank hanging.
    EXPECT_EQ(LinesOf(Par(0)), (std::vector<std::string>{"Wim Wim Wim ", "Wim"}));
    EXPECT_EQ(E->GetLineTextWidth(Par(0), Line(0, 0)), 95);
}

TEST_F(RtWidthTables, CacheFindsLooksAgainAndReplacesTheLeastRecentlyUsed)
{
    Attach();
    E->MaxWidthTables = 3;
    const TAttr a = AttrOf("Liberation Sans", 10), b = AttrOf("Liberation Sans", 12),
                c = AttrOf("Liberation Serif", 10), d = AttrOf("Liberation Sans", 10, {afsBold});
    const int32_t before = E->WidthTablesBuilt;
    E->UpdateCharWidths(&a);
    E->UpdateCharWidths(&b);
    E->UpdateCharWidths(&c);
    EXPECT_EQ(E->WidthTablesBuilt - before, 3);
    E->UpdateCharWidths(&a);   // found: no device query
    E->UpdateCharWidths(&b);
    EXPECT_EQ(E->WidthTablesBuilt - before, 3);
    EXPECT_EQ(E->CurrentWidths()->Size, 12);
    E->UpdateCharWidths(&d);   // full: c was used longest ago
    EXPECT_EQ(E->WidthTablesBuilt - before, 4);
    EXPECT_EQ(E->WidthTableCount(), 3);
    E->UpdateCharWidths(&a);
    E->UpdateCharWidths(&b);
    EXPECT_EQ(E->WidthTablesBuilt - before, 4);
    // The replaced look is measured anew and takes the place of d, now the oldest.
    E->UpdateCharWidths(&c);
    EXPECT_EQ(E->WidthTablesBuilt - before, 5);
    EXPECT_EQ(E->WidthTableCount(), 3);
    EXPECT_EQ(E->CurrentWidths()->FontName, "Liberation Serif");
    E->UpdateCharWidths(&a);
    E->UpdateCharWidths(&b);
    EXPECT_EQ(E->WidthTablesBuilt - before, 5);
    E->UpdateCharWidths(&d);
    EXPECT_EQ(E->WidthTablesBuilt - before, 6);
    // A change of the device measures again.
    E->InvalidateWidthTables();
    E->UpdateCharWidths(&d);
    EXPECT_EQ(E->WidthTablesBuilt - before, 7);
    // Bold is wider than plain.
    const int32_t boldM = E->CurrentWidths()->Widths['m'];
    E->UpdateCharWidths(&a);
    EXPECT_GT(boldM, E->CurrentWidths()->Widths['m']);
}

// A measure hook that looks up other looks while its own is built, in a cache of one.
TEST_F(RtWidthTables, AMeasureHookMayLookUpOtherLooksWhileItsOwnIsBuilt)
{
    Attach();
    E->MaxWidthTables = 1;
    const TAttr a = AttrOf("Liberation Sans", 10), b = AttrOf("Liberation Serif", 12),
                c = AttrOf("Liberation Mono", 14);
    int depth = 0;
    E->OnMeasureChar = [&](TRtRTFTextPaint* Sender, const TAttr& Attr, int32_t&, int32_t&, int32_t&,
                           std::array<int32_t, 256>& Widths) {
        if (Attr.Size == 10 && depth == 0) {
            ++depth;
            Sender->UpdateCharWidths(&b);
            --depth;
        } else if (Attr.Size == 12) {
            Sender->UpdateCharWidths(&c);
        }
        Widths['x'] = Attr.Size;   // written after the nested look-ups
    };
    E->UpdateCharWidths(&a);
    ASSERT_NE(E->CurrentWidths(), nullptr);
    EXPECT_EQ(E->CurrentWidths()->Size, 10);
    EXPECT_EQ(E->CurrentWidths()->Widths['x'], 10);
    // Once the hook is done, the cache is back to its size with the next new look.
    E->OnMeasureChar = nullptr;
    const TAttr d = AttrOf("Liberation Sans", 16);
    E->UpdateCharWidths(&d);
    EXPECT_EQ(E->WidthTableCount(), 1);
    EXPECT_EQ(E->CurrentWidths()->Size, 16);
}

TEST_F(RtWidthTables, TheDefaultCacheMeasuresEveryLookOfATextOnce)
{
    Attach();
    std::vector<TAttr> looks;
    for (const char* font : {"Liberation Sans", "Liberation Serif", "Liberation Mono"})
        for (uint16_t size = 6; size < 30; ++size)
            for (WrtStyle style : {WrtStyle{}, WrtStyle{afsBold}, WrtStyle{afsItalic}})
                looks.push_back(AttrOf(font, size, style));
    const int32_t before = E->WidthTablesBuilt;
    for (int pass = 0; pass < 2; ++pass)
        for (const TAttr& a : looks)
            E->UpdateCharWidths(&a);
    EXPECT_EQ(E->WidthTablesBuilt - before, int32_t(looks.size()));
    EXPECT_GE(E->WidthTableCount(), int32_t(looks.size()));
}

TEST_F(RtWidthTables, ATableIsNeverCurrentWithoutItsWidths)
{
    Attach();
    // A font entry without a known charset: the first lookup still measures.
    TAttr a = AttrOf("Liberation Serif", 12);
    E->Header()->Fonts[a.Font].Charset = -1;
    E->UpdateCharWidths(&a);
    EXPECT_GT(E->CurrentWidths()->Widths['x'], 0);
    EXPECT_EQ(E->Header()->Fonts[a.Font].Charset, ANSI_CHARSET);
    // A symbol font measures its bullets through the symbol table.
    TAttr s = AttrOf("WingDings", 12);
    E->Header()->Fonts[s.Font].Charset = -1;
    E->UpdateCharWidths(&s);
    EXPECT_EQ(E->Header()->Fonts[s.Font].Charset, SYMBOL_CHARSET);
    EXPECT_GT(E->CurrentWidths()->Widths['l'], 0);
}

TEST_F(RtWidthTables, SizeZeroUsesTheDefaultSize)
{
    Attach();
    TAttr zero = AttrOf("Liberation Sans", 0);
    E->UpdateCharWidths(&zero);
    const int32_t w = E->CurrentWidths()->Widths['M'];
    TAttr def = AttrOf("Liberation Sans", uint16_t(RtDefaultFontSize));
    E->UpdateCharWidths(&def);
    EXPECT_EQ(E->CurrentWidths()->Widths['M'], w);
    EXPECT_EQ(E->CurrentWidths()->FontHeight, MulDiv(RtDefaultFontSize, 96, 72));
}

TEST_F(RtWidthTables, SelectCharFontAppliesStylesColoursAndAttributeSets)
{
    Attach();
    TAttr a = AttrOf("Liberation Sans", 12, {afsSub, afsHidden, afsBold, afsUnderline});
    E->HiddenTextAttr()->SetSuperScript(tsTRUE);
    E->SelectCharFont(&a, nullptr, nullptr, 0);
    EXPECT_TRUE(E->FontSuper);
    EXPECT_FALSE(E->FontSub);
    EXPECT_TRUE(E->FontUnderline);
    EXPECT_EQ(E->FontHeightPx, MulDiv(12, 96, 72) * 2 / 3);
    EXPECT_EQ(Canvas.Font().Height(), -E->FontHeightPx);
    EXPECT_EQ(Canvas.Font().Style(), fsBold);   // the canvas font is never underlined
    EXPECT_EQ(Canvas.Font().Name(), "Liberation Sans");

    int32_t red = 0;
    ASSERT_TRUE(E->Header()->GetColorIndex(clRed, true, red));
    TAttr c = AttrOf("Liberation Serif", 10);
    c.TextColor = uint8_t(red);
    E->SelectCharFont(&c, nullptr, nullptr, 0);
    EXPECT_EQ(Canvas.Font().Color(), clRed);
    EXPECT_EQ(Canvas.Brush().Style(), bsSolid);
    E->HyperlinkTextAttr()->SetUseTextColor(true);
    E->HyperlinkTextAttr()->SetTextColor(clBlue);
    c.Style.Include(afsHyperLink);
    E->SelectCharFont(&c, nullptr, nullptr, 0);
    EXPECT_EQ(Canvas.Font().Color(), clBlue);
    // Not displaying: a clear brush for characters without a background colour.
    E->EngineOptions |= eoNoDisplay;
    E->SelectCharFont(&c, nullptr, nullptr, 0);
    EXPECT_EQ(Canvas.Brush().Style(), bsClear);
}

namespace {

// Sets the reference printer for one test and restores it afterwards.
struct TReferencePrinterScope {
    explicit TReferencePrinterScope(int32_t Res) : Saved(RtRefPrinter)
    {
        RtRefPrinter.HasContext = true;
        RtRefPrinter.XRes = RtRefPrinter.YRes = Res;
    }
    ~TReferencePrinterScope() { RtRefPrinter = Saved; }
    TRtReferencePrinter Saved;
};

}  // namespace

TEST_F(RtWidthTables, ReferencePrinterWidthsAreMeasuredAtItsResolutionAndScaled)
{
    Attach();
    const TAttr a = AttrOf("Liberation Sans", 9);
    E->UpdateCharWidths(&a);
    const TRtWidthTable direct = *E->CurrentWidths();

    TReferencePrinterScope printer(300);
    E->UseReferencePrinter = true;
    E->UpdateCharWidths(&a);
    const TRtWidthTable* t = E->CurrentWidths();
    EXPECT_EQ(t->RefResolution, 300);
    // Whole printer pixels of the 38-pixel em (9 pt at 300 dpi), scaled to 96 dpi.
    const QRawFont face = RawFontFor("Liberation Sans", 0, 0);
    const double em = MulDiv(9, 300, 72);
    int32_t differing = 0;
    for (char32_t ch = 33; ch < 127; ++ch) {
        const quint32 glyph = face.glyphIndexesForString(QString(QChar(char16_t(ch)))).value(0);
        const double advance = face.advancesForGlyphIndexes(QList<quint32>{glyph}).value(0).x();
        const int32_t expected = MulDiv(int32_t(Round(advance * em / face.unitsPerEm())), 96, 300);
        EXPECT_EQ(t->Widths[ch], expected) << char(ch);
        differing += t->Widths[ch] != direct.Widths[ch];
    }
    EXPECT_GT(differing, 0);   // the printer's rounding shows
    const TTextMetric tm = TextMetricFor(face, em);
    EXPECT_EQ(t->LineHeight, MulDiv(tm.tmHeight + tm.tmExternalLeading, 96, 300));

    // Without a printer context, or with a font mapper attached, the layout measures itself.
    RtRefPrinter.HasContext = false;
    E->UpdateCharWidths(&a);
    EXPECT_EQ(E->CurrentWidths()->RefResolution, 0);
    EXPECT_EQ(E->CurrentWidths()->Widths, direct.Widths);
    RtRefPrinter.HasContext = true;
    TObject mapper;
    E->FontMapper = &mapper;
    E->InvalidateWidthTables();
    E->UpdateCharWidths(&a);
    EXPECT_EQ(E->CurrentWidths()->Widths, direct.Widths);
}

TEST_F(RtWidthTables, DoubleBytePairsMeasureAsTheCanvasDrawsThem)
{
    Attach();
    struct {
        const char* Font;
        int32_t Charset;
        const char* Pairs;   // two characters
    } const cases[] = {
        {"MS Mincho", SHIFTJIS_CHARSET, "\x93\xfa\x96\x7b"},
        {"SimSun", GB2312_CHARSET, "\xd6\xd0\xce\xc4"},
        {"MingLiU", CHINESEBIG5_CHARSET, "\xa4\xa4\xa4\xe5"},
        {"Batang", HANGEUL_CHARSET, "\xc7\xd1\xb1\xdb"},
    };
    auto measure = [&](const char* Font, int32_t Charset, const char* Pairs) {
        FillText(*E, {Pairs});
        TAttr a;
        a.Font = uint16_t(E->Header()->GetFontIndexCharset(Font, Charset));
        a.Size = 11;
        for (int i = 0; i < 4; ++i)
            Line(0, 0)->Attrs[i] = a;
        SetTextWidth(400);
        E->UpdateLayout();
        return Line(0, 0)->Attrs;
    };
    for (const auto& c : cases) {
        const TAttr* at = measure(c.Font, c.Charset, c.Pairs);
        for (int i : {0, 2}) {
            E->SelectCharFont(&at[i], nullptr, nullptr, 0);
            const int32_t extent = Canvas.TextWidth(AnsiString(c.Pairs + i, 2));
            EXPECT_GE(extent, 14) << c.Font << i;   // about the 15-pixel em
            EXPECT_TRUE(at[i].Style.Has(afsDBCSOne)) << c.Font << i;
            EXPECT_EQ(at[i].Width, extent - 1) << c.Font << i;
            EXPECT_EQ(at[i + 1].Width, 1) << c.Font << i;
        }
    }

    // With the reference printer a pair is measured at its resolution and scaled, as single bytes are.
    TReferencePrinterScope printer(300);
    E->UseReferencePrinter = true;
    const TAttr* at = measure("MS Mincho", SHIFTJIS_CHARSET, "\x93\xfa\x96\x7b");
    const QRawFont face = RawFontFor("MS Mincho", 0, 0);
    const double advance = CharAdvance(face, U'\u65E5', SHIFTJIS_CHARSET);
    ASSERT_GT(advance, 0);
    EXPECT_EQ(at[0].Width + at[1].Width,
              MulDiv(int32_t(Round(advance * MulDiv(11, 300, 72) / face.unitsPerEm())), 96, 300));
}

TEST_F(RtWidthTables, FontMapperFactorAndLineHeightScaling)
{
    Attach();
    const TAttr a = AttrOf("Liberation Sans", 11);
    E->UpdateCharWidths(&a);
    const TRtWidthTable direct = *E->CurrentWidths();
    ASSERT_EQ(direct.Widths['i'], 3);

    // The factor alone changes nothing; with a mapper every width is scaled, rounded half to even.
    E->WidthFactor = 1.5f;
    E->InvalidateWidthTables();
    E->UpdateCharWidths(&a);
    EXPECT_EQ(E->CurrentWidths()->Widths, direct.Widths);
    TObject mapper;
    E->FontMapper = &mapper;
    E->InvalidateWidthTables();
    E->UpdateCharWidths(&a);
    EXPECT_EQ(E->CurrentWidths()->Widths['A'], 15);
    EXPECT_EQ(E->CurrentWidths()->Widths['i'], 4);   // 4.5
    EXPECT_EQ(E->CurrentWidths()->Widths[160], E->CurrentWidths()->Widths[32]);
    EXPECT_EQ(E->CurrentWidths()->LineHeight, direct.LineHeight);

    E->FontMapper = nullptr;
    E->ScaleLineHeights = true;
    E->LineHeightFactor = 1.5f;
    E->InvalidateWidthTables();
    E->UpdateCharWidths(&a);
    const int32_t height = int32_t(Round(direct.LineHeight * 1.5));
    EXPECT_EQ(E->CurrentWidths()->LineHeight, height);
    EXPECT_EQ(E->CurrentWidths()->Ascent, MulDiv(direct.Ascent, height, direct.LineHeight));
    EXPECT_EQ(E->CurrentWidths()->Widths, direct.Widths);
}

TEST_F(RtWidthTables, DBCSBytesTakeTheirMarkColoursWhileCodesAreShown)
{
    Attach();
    TAttr lead = AttrOf("Liberation Sans", 10, {afsDBCSOne});
    TAttr trail = AttrOf("Liberation Sans", 10, {afsDBCSTwo});
    E->SelectCharFont(&lead, nullptr, nullptr, 0);
    EXPECT_EQ(Canvas.Font().Color(), E->DefaultTextColor);
    for (TRtViewOption mode : {rtShowEmbeddedCodes, rtShowBookmarkCodes}) {
        E->ViewOptions = TRtViewOptions{mode};
        E->SelectCharFont(&lead, nullptr, nullptr, 0);
        EXPECT_EQ(Canvas.Font().Color(), E->DBCSLeadColor);
        E->SelectCharFont(&trail, nullptr, nullptr, 0);
        EXPECT_EQ(Canvas.Font().Color(), E->DBCSTrailColor);
    }
}
