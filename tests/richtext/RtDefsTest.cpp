#include "RtDefs.h"
#include "RtTestSupport.h"

#include <gtest/gtest.h>

namespace {

class TextHeader : public ::testing::Test, protected TUseTestPlatform {
protected:
    TTextHeader H;
};

}  // namespace

TEST(RtDefs, UnitConversionsRoundHalfToEven)
{
    EXPECT_EQ(CentimetersToTwips(1.0), 567);
    EXPECT_EQ(CentimetersToTwips(21.0), 11906);
    EXPECT_EQ(CentimetersToTwips(29.7), 16838);
    EXPECT_EQ(InchesToTwips(8.5), 12240);
    EXPECT_EQ(InchesToTwips(1.0 / 2880), 0);     // 0.5 rounds to 0
    EXPECT_EQ(InchesToTwips(3.0 / 2880), 2);     // 1.5 rounds to 2
    EXPECT_NEAR(TwipsToCentimeters(567), 1.00012, 1e-5);
}

TEST(RtDefs, PageDefinitionsInTwips)
{
    const std::pair<TRtPageSettings, std::pair<int, int>> rows[] = {
        {rt_Custom, {11906, 16441}}, {rt_Letter, {12240, 15840}}, {rt_Legal, {12240, 20160}},
        {rt_Executive, {10440, 15120}}, {rt_DinA3, {16838, 23811}}, {rt_DinA4, {11906, 16838}},
        {rt_DinA5, {8391, 11906}}, {rt_DinA6, {5953, 8391}}};
    for (const auto& [row, size] : rows) {
        EXPECT_EQ(PageDefWidthTwips(row), size.first) << RtPageDefs[row].Name;
        EXPECT_EQ(PageDefHeightTwips(row), size.second) << RtPageDefs[row].Name;
    }
}

TEST(RtDefs, FindPaperSizeMatchesWithinThirtyTwips)
{
    int32_t index = -1;
    EXPECT_EQ(FindPaperSize(11906 + 29, 16838 - 29, index), 9);
    EXPECT_EQ(index, rt_DinA4);
    // 29.6 cm counts as 29.7 cm.
    EXPECT_EQ(FindPaperSize(11906, CentimetersToTwips(29.6), index), 9);
    EXPECT_EQ(FindPaperSize(12240, 15840, index), 1);
    EXPECT_EQ(index, rt_Letter);
    EXPECT_EQ(FindPaperSize(11906 + 30, 16838, index), -1);
    EXPECT_EQ(index, rt_Custom);
}

TEST(RtDefs, CopyParPropsNumLevelZeroClearsNumber)
{
    TParagraph src, dest;
    src.Number = 3;
    src.NumLevel = 0;
    dest.Number = 5;
    dest.NumLevel = 2;
    CopyParProps(dest, 0, src, false, 1u << ppiNumLevel);
    EXPECT_EQ(dest.Number, 0);
    EXPECT_EQ(dest.NumLevel, 0);
}

TEST(RtDefs, CopyParPropsCopiesClearsAndExcludes)
{
    TParagraph src, dest;
    src.IndentLeft = 100;
    src.Color = 4;
    src.Shading = 0;
    src.Flags = parfKeepTogether | parfMultSpaceBetween;
    src.BrdSpace = 7;
    dest.IndentRight = 50;
    dest.SpaceAfter = 20;
    dest.Shading = 30;
    dest.BrdSpace = 9;
    CopyParProps(dest, 1u << ppiSpaceAfter, src, true,
                 (1u << ppiIndentLeft) | (1u << ppiColor) | (1u << ppiKeepTogther));
    EXPECT_EQ(dest.IndentLeft, 100);
    EXPECT_EQ(dest.IndentRight, 0);         // cleared
    EXPECT_EQ(dest.SpaceAfter, 20);         // excluded
    EXPECT_EQ(dest.Color, 4);
    EXPECT_EQ(dest.Shading, 100);           // a shading of 0 copies as full colour
    EXPECT_EQ(dest.BrdSpace, 9);            // never cleared
    EXPECT_TRUE(dest.Flags & parfKeepTogether);
    EXPECT_FALSE(dest.Flags & parfMultSpaceBetween);
}

TEST(RtDefs, CopyCharAttrHonoursStyleExclusions)
{
    TAttr src, dest;
    src.Style = WrtStyle{afsBold, afsItalic};
    src.Font = 3;
    src.TextColor = 5;
    dest.Style = WrtStyle{afsUnderline};
    dest.Font = 1;
    dest.Size = 12;
    dest.TextColor = 7;
    dest.BGColor = 2;
    CopyCharAttr(dest, WrtStyle{afsParStyleItalic}, src, true, (1u << cpiBold) | (1u << cpiItalic) | (1u << cpiFont));
    EXPECT_TRUE(dest.Style.Has(afsBold));
    EXPECT_FALSE(dest.Style.Has(afsItalic));     // excluded by its mark
    EXPECT_FALSE(dest.Style.Has(afsUnderline));  // cleared
    EXPECT_EQ(dest.Font, 3);
    EXPECT_EQ(dest.Size, 12);                    // never cleared
    EXPECT_EQ(dest.TextColor, 0);
    EXPECT_EQ(dest.BGColor, 0);
}

TEST(RtDefs, VisibleParExistsSkipsHiddenParagraphs)
{
    TParagraph a, b, c;
    a.Next = &b;
    b.Next = &c;
    b.Prior = &a;
    c.Prior = &b;
    b.Flags = parfSkip1;
    c.Flags = parfSkip2;
    EXPECT_FALSE(VisibleParExists(&b, true));
    EXPECT_TRUE(VisibleParExists(&b, false));
}

TEST_F(TextHeader, DefaultsAfterCreate)
{
    EXPECT_EQ(H.PageWidth(), 12240);
    EXPECT_EQ(H.PageHeight(), 15840);
    EXPECT_EQ(H.LeftMargin(), 1880);
    EXPECT_EQ(H.DefaultTabstop(), 720);
    // Tabs have their width before anything rescales them.
    EXPECT_EQ(H.PixDefaultTab, 720 * H.XRes / 1440);
    EXPECT_EQ(H.FormatName, "AUTO");
    EXPECT_EQ(H.PixPageWidth, 816);
    EXPECT_EQ(H.PixTextWidth, 816 - 2 * 125);
    EXPECT_EQ(H.GetColor(1), 0x0000FF);
    EXPECT_EQ(H.GetColor(13), 0xC0C0C0);
    EXPECT_TRUE(H.StoreOptions.Has(soWordHyperLinkFormat));
    EXPECT_TRUE(H.LoadOptions.Has(loOverwriteParagraphStyleAttr));
}

TEST_F(TextHeader, SymbolFontsGetSymbolCharset)
{
    EXPECT_EQ(H.GetFontIndexCharset("SyMbOl", 0), 0);
    EXPECT_EQ(H.Fonts[0].Charset, SYMBOL_CHARSET);
    EXPECT_EQ(H.GetFontIndexCharset("Arial", 0), 1);
    EXPECT_EQ(H.GetFontIndexCharset("arial", -1), 1);
    EXPECT_EQ(H.GetFontIndexCharset("Arial", 238), 2);   // another charset, another entry
    EXPECT_EQ(H.GetFontIndex("WINGDINGS"), 3);
    EXPECT_EQ(H.Fonts[3].Charset, SYMBOL_CHARSET);
    EXPECT_EQ(H.GetFontIndexCharset("webdings", 0), 4);
    EXPECT_EQ(H.Fonts[4].Charset, SYMBOL_CHARSET);
    // Only those three names: other fonts with marks keep the charset they are given.
    for (const char* name : {"Wingdings 2", "Marlett"}) {
        const int32_t i = H.GetFontIndexCharset(name, 0);
        EXPECT_EQ(H.Fonts[size_t(i)].Charset, 0) << name;
    }
}

TEST_F(TextHeader, ACharsetSwitchFromTheUnnamedDefaultFontLeavesSlotZeroItsText)
{
    // Slot 0 without a name is the default font of the text written in it.
    uint16_t font = 0;
    std::string bytes;
    ASSERT_TRUE(H.UnicodeToFontChars(U"Ł", font, bytes));
    EXPECT_NE(font, 0);
    EXPECT_EQ(H.GetFontName(0), RtDefaultFontName);
    EXPECT_EQ(H.FontCharset(0), ANSI_CHARSET);
    EXPECT_EQ(H.GetFontName(font), RtDefaultFontName);
    EXPECT_EQ(H.FontCharset(font), EASTEUROPE_CHARSET);
}

TEST_F(TextHeader, FullFontTableGivesIndexZero)
{
    for (int i = 0; i < 255; ++i)
        ASSERT_EQ(H.GetFontIndex("F" + std::to_string(i)), i);
    EXPECT_EQ(H.GetFontIndex("Another"), 0);
}

TEST_F(TextHeader, RoundTabSnapsToGridAndRightEdge)
{
    H.UsedUnit = UnitIn;
    H.SetLeftMargin(1000);
    H.SetRightMargin(12240 - 1000 - 9000);  // text width 9000
    const std::pair<int, int> cases[] = {{3, 0}, {50, 90}, {100, 90}, {8960, 9000}, {8900, 9000}, {8800, 8820}};
    for (const auto& [pos, expected] : cases)
        EXPECT_EQ(H.RoundTab(pos), expected) << pos;
    H.RoundTabsDivForInch = 0;
    H.RoundTabsDivForCm = 144;
    EXPECT_EQ(H.RoundTab(100), 100);
}

TEST_F(TextHeader, FindTabAnyKindAndRounding)
{
    H.RoundTabs = false;
    EXPECT_EQ(H.AddTab(1440, 1), 0);
    int32_t pos = 1440;
    EXPECT_EQ(H.FindTab(pos, 4), 0);
    pos = 1440;
    EXPECT_EQ(H.FindTab(pos, 0), -1);
    H.RoundTabs = true;
    pos = 1400;  // rounds onto the 144 grid: 1440
    EXPECT_EQ(H.FindTab(pos, 1), 0);
    EXPECT_EQ(pos, 1440);
    EXPECT_EQ(H.CurrentTabs, 1u);
    EXPECT_EQ(H.AddTabTo(0, 0), -1);
}

TEST_F(TextHeader, FullTabTableAsksOnceThenGivesMinusOne)
{
    H.RoundTabs = false;
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(H.AddTabTo(100 * (64 - i), 0), i);
    EXPECT_EQ(H.Tabs[H.TabOrder[0]].Pos, 100);  // sorted by position
    int asked = 0;
    H.OnTabsFull = [&](TTextHeader*) { ++asked; };
    EXPECT_EQ(H.AddTabTo(50, 0), -1);
    EXPECT_EQ(asked, 1);
}

TEST_F(TextHeader, LandscapeSwapsPixelsButNotPageSize)
{
    const int32_t pixHeight = H.PixPageHeight;
    H.SetLandscape(true);
    EXPECT_EQ(H.PageWidth(), 12240);
    EXPECT_EQ(H.PageHeight(), 15840);
    EXPECT_EQ(H.PixPageWidth, pixHeight);
}

TEST_F(TextHeader, PageWidthSetterMakesDefaultPageSizeCustom)
{
    H.SetPageSize(rt_DinA4);
    H.SetDefaultPageSize(rt_DinA5);
    EXPECT_EQ(H.PageWidth(), 11906);
    EXPECT_EQ(H.DefaultPageWidth, 8391);
    H.SetPageWidth(10000);
    EXPECT_EQ(H.DefaultPageSize(), rt_Custom);
    EXPECT_EQ(H.PageSize(), rt_DinA4);
}

TEST_F(TextHeader, MarginHeaderRaisedAtNextChange)
{
    H.SetMarginHeader(100);
    EXPECT_EQ(H.MarginHeader(), 100);
    int changes = 0;
    H.OnChange = [&](bool) { ++changes; };
    H.BeginUpdate();
    H.SetLeftMargin(500);
    EXPECT_EQ(changes, 0);
    H.EndUpdate();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(H.MarginHeader(), 254);
}

TEST_F(TextHeader, ColorIndexNearestAndNew)
{
    int32_t index = -1;
    EXPECT_TRUE(H.GetColorIndex(RGB(250, 10, 0), false, index));
    EXPECT_EQ(index, 1);
    EXPECT_TRUE(H.GetColorIndex(0, true, index));
    EXPECT_EQ(index, 0);
    // A new colour takes the first free slot from 17 in 256-colour mode.
    EXPECT_TRUE(H.GetColorIndex(RGB(10, 200, 100), true, index));
    EXPECT_EQ(index, 17);
    EXPECT_TRUE(H.GetColorIndex(RGB(10, 200, 100), true, index));
    EXPECT_EQ(index, 17);
}

TEST_F(TextHeader, FullColourTableAnswersTheNearestColour)
{
    int32_t index = -1;
    // Slots 1..15 all hold the standard colours: the nearest one answers.
    EXPECT_TRUE(H.GetColorIndex(RGB(10, 200, 100), false, index));
    EXPECT_EQ(index, 10);  // teal
    // Slot 16 is never handed out, so it does not count as free either.
    for (int i = 17; i <= 255; ++i)
        H.Colors[size_t(i)] = TRtColorEntry{255, 255, 255, 1};
    index = -1;
    EXPECT_TRUE(H.GetColorIndex(RGB(10, 200, 100), true, index));
    EXPECT_EQ(index, 10);
    EXPECT_FALSE(H.Colors[16].Used);
}

TEST_F(TextHeader, AssignCopiesPageFontsAndTabs)
{
    TTextHeader src;
    src.SetLeftMargin(700);
    src.GetFontIndex("Arial");
    src.RoundTabs = false;
    src.AddTab(2000, 2);
    src.SetLandscape(true);
    H.Assign(src);
    EXPECT_EQ(H.LeftMargin(), 700);
    EXPECT_EQ(H.Fonts[0].Name, "Arial");
    EXPECT_EQ(H.Tabs[0].Pos, 2000);
    EXPECT_EQ(H.Tabs[0].Kind, 2);
    EXPECT_TRUE(H.Landscape());
    EXPECT_THROW(H.Assign(TObject()), EConvertError);
}

TEST(RtDefs, MessageTextsAreCorrected)
{
    EXPECT_EQ(GetRtUIString(meTkCenter), "Center");
    EXPECT_EQ(GetRtUIString(meTkRight), "Right");
    EXPECT_EQ(GetRtUIString(meutChangeAlignment), "Alignment Modification");
    EXPECT_EQ(GetRtUIString(meWrongScreenmode), "Wrong ScreenResMode in object ");
    EXPECT_EQ(GetRtUIString(meReaderClassNotFound), "Text-Reader class not found ");
    EXPECT_EQ(GetRtUIString(meReportTemplateErr), "Error in Report Template!");
    EXPECT_STREQ(RtUIStringName(meReady), "meReady");
}

TEST(RtDefs, UndoKindTexts)
{
    EXPECT_EQ(GetUndoKindText(18), "Changes");
    EXPECT_EQ(GetUndoKindText(40), "Changes");
    EXPECT_EQ(GetUndoKindText(2), "Input");
    EXPECT_EQ(GetUndoKindText(0x80 | 12), "Paste");
    EXPECT_EQ(GetUndoKindText(16), "Change Table");
    EXPECT_EQ(GetUndoKindText(0), "");
    // Every level by number, as stored in undo steps.
    const TRtUIString byLevel[] = {
        meutNone, meutAny, meutInput, meutDeleteText, meutChangeAttributes, meutChangeIndent, meutChangeSpacing,
        meutChangeAlignment, meutChangeTabs, meutChangeBorder, meutDeleteSelection, meutDragAndDrop, meutPaste,
        meutChangeGraphic, meutChangeGraphic, meutChangeGraphic, meutChangeTable, meutUpdateStyle, meutAny, meutAny};
    for (int32_t level = 0; level < int32_t(std::size(byLevel)); ++level)
        EXPECT_EQ(GetUndoKindText(level), GetRtUIString(byLevel[level])) << level;
}

TEST(RtDefs, LocalisationChainReplacesTextsAndUnit)
{
    std::map<AnsiString, AnsiString> saved;
    RtWriteTextCallback = [&](const AnsiString& k, const AnsiString& t) { saved[k] = t; };
    RtSaveTexts();
    EXPECT_EQ(saved["RtString/meReady"], "Ready");
    RtReadTextCallback = [](const AnsiString& k, AnsiString& t) {
        if (k == "RtString/meDefaultUnit_INCH_or_CM") {
            t = "cm";
            return true;
        }
        return false;
    };
    RtLoadTexts();
    EXPECT_EQ(RtDefaultUnitFlag, 2);
    EXPECT_EQ(GetRtUIString(meDefaultUnit_INCH_or_CM), "cm");
    RtReadTextCallback = [](const AnsiString& k, AnsiString& t) {
        t = "INCH";
        return k == "RtString/meDefaultUnit_INCH_or_CM";
    };
    RtLoadTexts();
    EXPECT_EQ(RtDefaultUnitFlag, 1);
    RtReadTextCallback = nullptr;
    RtWriteTextCallback = nullptr;
}

TEST(RtDefs, WriterOutputRoutines)
{
    char buf[16] = {};
    char* p = buf;
    TRtCustomTextWriter::PutDecimal(p, 0);
    *p++ = ' ';
    TRtCustomTextWriter::PutDecimal(p, 100000);
    *p++ = ' ';
    TRtCustomTextWriter::PutHexByte(p, 0x1AF);
    EXPECT_STREQ(buf, "0 100000 af");

    TMemoryStream stream;
    TRtCustomTextWriter writer;
    writer.Stream = &stream;
    const uint8_t data[2] = {0x0A, 0xFF};
    EXPECT_EQ(writer.WriteHexData(data, 2), 0);
    EXPECT_EQ(std::string(stream.Bytes().begin(), stream.Bytes().end()), "0aff");
    EXPECT_EQ(writer.WriteHexData(data, 0), 0);
    EXPECT_EQ(stream.Size(), 4);
}

TEST(RtDefs, CharacterAttrEvents)
{
    TCharacterAttr a(afsHyperLink);
    std::vector<std::pair<uint32_t, bool>> events;
    a.OnChange = [&](WrtStyle s, bool layout) { events.emplace_back(s.Bits, layout); };
    a.SetDoubleUnderline(true);
    EXPECT_EQ(a.Underline(), tsTRUE);
    a.SetBold(tsTRUE);
    a.SetBold(tsTRUE);  // no change, no event
    a.SetTextColor(0x00FF00);
    EXPECT_TRUE(a.UseTextColor());
    a.SetHotTextColor(0x123456);
    EXPECT_TRUE(a.HotStyleIsActive);
    a.SetHotEffect(rteffOutline);
    EXPECT_EQ(a.HotEffectColor, 0x00FFFF);
    const uint32_t bit = WrtStyle{afsHyperLink}.Bits;
    const std::vector<std::pair<uint32_t, bool>> expected = {{bit, false}, {bit, true}, {bit, false}};
    EXPECT_EQ(events, expected);

    TCharacterAttr b(afsHidden);
    b.Assign(a);
    EXPECT_EQ(b.Decorates(), afsHidden);
    EXPECT_EQ(b.Bold(), tsTRUE);
    EXPECT_FALSE(b.OnChange);
}

TEST(RtDefs, CharactersOfCharsetsAsUnicode)
{
    EXPECT_EQ(RtCharToUnicode(0x80, ANSI_CHARSET, "Arial"), U'\u20AC');
    EXPECT_EQ(RtCharToUnicode('l', SYMBOL_CHARSET, "WingDings"), U'\u25CF');
    EXPECT_EQ(RtCharToUnicode('n', SYMBOL_CHARSET, "Wingdings"), U'\u25A0');
    EXPECT_EQ(RtCharToUnicode('v', SYMBOL_CHARSET, "Wingdings"), U'\u2756');
    EXPECT_EQ(RtCharToUnicode('a', SYMBOL_CHARSET, "Symbol"), U'\u03B1');
    EXPECT_EQ(RtCharToUnicode(0xC0, 204, "Arial"), U'\u0410');   // Cyrillic A
    EXPECT_EQ(RtCharToUnicode(0xA5, 238, "Arial"), U'\u0104');   // A with ogonek
}

TEST(RtDefs, StartUpTables)
{
    EXPECT_TRUE(RtWordDelimiter[' ']);
    EXPECT_FALSE(RtWordDelimiter['5']);
    EXPECT_FALSE(RtWordDelimiter['A']);
    EXPECT_EQ(RtHexValue['f'], 15);
    EXPECT_EQ(RtHexValue['G'], -1);
    EXPECT_EQ(RtBitMask[31], 0x80000000u);
    EXPECT_EQ(RtFieldStart, 171);
    EXPECT_EQ(RtFieldEnd, 187);
}

TEST(RtDefs, ClassRegistryCreatesByName)
{
    RegisterRtClasses({{"TRtTestWriterA", [] { return static_cast<TObject*>(new TRtCustomTextWriter); }}});
    RegisterRtClass({"TRtTestWriterA", [] { return static_cast<TObject*>(nullptr); }});  // first one stays
    const TRtClassFactory* f = FindRtClass("TRtTestWriterA");
    ASSERT_NE(f, nullptr);
    std::unique_ptr<TObject> obj((*f)());
    EXPECT_STREQ(obj->ClassName(), "TRtCustomTextWriter");
    EXPECT_EQ(FindRtClass("TRtNoSuchClass"), nullptr);
}
