// Page layout and line metrics with a measuring hook of fixed sizes: every
// character 10 pixels wide, 20 high with a base line of 16, at 1440 dots per
// inch so that one twip is one pixel.
#include "RtHeaderFooter.h"
#include "RtList.h"
#include "RtRtfTxtIo.h"
#include "RtTestSupport.h"

#include <gtest/gtest.h>

namespace {

class TLayoutText : public TRtRTFTextIo {
public:
    TLayoutText()
    {
        TestPlatform();
        TTextHeader* h = Header();
        h->XRes = h->YRes = 1440;
        h->RoundTabs = false;
        h->UpdatePixelSizes();
        h->RescaleTabs();
    }
    void GetFontMetrics(int32_t& H, int32_t& B) override
    {
        H = 20;
        B = 16;
    }
    // Paragraphs, each a list of lines.
    void Build(const std::vector<std::vector<std::string>>& Pars)
    {
        Clear();
        TParagraph* p = FirstPar;
        for (size_t i = 0; i < Pars.size(); ++i) {
            if (i > 0)
                InsertPar(p, 8);
            TLine* line = p->Lines;
            for (size_t k = 0; k < Pars[i].size(); ++k) {
                if (k > 0)
                    InsertLine(line, 8);
                SetLineText(line, Pars[i][k]);
            }
        }
        Measure();
    }
    void SetLineText(TLine* L, const std::string& S)
    {
        if (L->Capacity <= S.size())
            ResizeLine(L, int32_t(S.size()) + 1);
        for (size_t i = 0; i < S.size(); ++i) {
            L->Chars[i] = uint8_t(S[i]);
            L->Attrs[i] = CurrentAttr;
        }
        L->Length = uint16_t(S.size());
        L->Chars[S.size()] = 0;
        L->Attrs[S.size()] = CurrentAttr;
    }
    void Measure()
    {
        for (TParagraph* p = FirstPar; p; p = p->Next)
            for (TLine* l = p->Lines; l; l = l->Next) {
                for (int i = 0; i <= l->Length; ++i) {
                    l->Attrs[i].Width = 10;
                    l->Attrs[i].Height = 20;
                    l->Attrs[i].Base = 16;
                }
            }
        Heights();
    }
    void Heights()
    {
        for (TParagraph* p = FirstPar; p; p = p->Next)
            for (TLine* l = p->Lines; l; l = l->Next)
                CalcLineHeight(p, l);
    }
    // Pages of 100 pixels.
    void SmallPages()
    {
        OnMeasurePage = [](TObject*, int32_t, int32_t& H, int32_t& T, int32_t& B) { H = T + B + 100; };
    }
    TLine* Line(int P, int L)
    {
        TLine* l = GetParByIndex(P)->Lines;
        while (L-- > 0)
            l = l->Next;
        return l;
    }
    bool StartsPage(int P, int L) { return Line(P, L)->Flags & linfPageStart; }
};

std::vector<std::string> Lines(int N, const std::string& S = "ab")
{
    return std::vector<std::string>(size_t(N), S);
}

} // namespace

TEST(RtLayout, LineHeightsFollowCharactersSpacingAndBorders)
{
    TLayoutText t;
    t.Build({{"abc"}, {"abc"}, {"abc", "def"}, {""}});
    EXPECT_EQ(t.Line(0, 0)->Height, 20);
    EXPECT_EQ(t.Line(0, 0)->Base, 16);
    // Exactly 300 twips, even with larger characters.
    TParagraph* p = t.GetParByIndex(1);
    p->SpaceBetween = -300;
    t.Line(1, 0)->Attrs[0].Height = 400;
    t.Line(1, 0)->Attrs[0].Base = 350;
    t.CalcLineHeight(p, p->Lines);
    EXPECT_EQ(p->Lines->Height, 300);
    // Double spacing, space before the first and after the last line.
    p = t.GetParByIndex(2);
    p->Flags |= parfMultSpaceBetween;
    p->SpaceBetween = 480;
    p->SpaceBefore = 100;
    p->SpaceAfter = 50;
    t.Heights();
    EXPECT_EQ(t.Line(2, 0)->Height, 140);
    EXPECT_EQ(t.Line(2, 0)->Base, 116);
    EXPECT_EQ(t.Line(2, 1)->Height, 90);
    // A multiple below one line counts as one.
    p->SpaceBetween = 100;
    t.CalcLineHeight(p, t.Line(2, 1));
    EXPECT_EQ(p->SpaceBetween, 240);
    // A box border with distance adds above and below, unless a neighbour has the same border.
    TParagraph* q = t.GetParByIndex(0);
    q->BrdLines = brdPresent | brdBox;
    q->BrdSpace = 1;
    t.CalcLineHeight(q, q->Lines);
    EXPECT_EQ(q->Lines->Height, 20 + 72 + 72);
    EXPECT_EQ(q->Lines->Base, 16 + 72);
    TParagraph* r = t.GetParByIndex(1);
    r->SpaceBetween = 0;
    r->BrdLines = brdPresent | brdBox;
    r->BrdSpace = 1;
    t.Measure();
    EXPECT_EQ(t.Line(0, 0)->Height, 20 + 72);
    EXPECT_EQ(t.Line(1, 0)->Height, 20 + 72);
    // Skipped paragraphs take no height; empty lines the font's.
    EXPECT_EQ(t.Line(3, 0)->Height, 20);
    t.GetParByIndex(3)->Flags |= parfSkip2;
    EXPECT_TRUE(t.CalcLineHeight(t.GetParByIndex(3), t.Line(3, 0)));
    EXPECT_EQ(t.Line(3, 0)->Height, 0);
}

TEST(RtLayout, TabStopsOfEveryKind)
{
    TLayoutText t;
    TTextHeader* h = t.Header();
    h->DecimalTabChar = '.'; // whatever the locale's decimal separator
    struct TCase {
        int Kind;
        const char* Text;
        int Expected;  // the x where the tab ends, starting at 0
    };
    const TCase cases[] = {
        {0, "\t12.5", 3000},
        {1, "\t12.5", 2960},
        {3, "\t12.5", 2980},
        {2, "\t12.5", 2980},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Kind);
        h->ClearTabs();
        const int32_t index = h->AddTab(3000, c.Kind);
        t.Build({{c.Text}});
        t.FirstPar->Tabs = uint64_t(1) << index;
        EXPECT_EQ(t.GetTabWidth(t.FirstPar, t.FirstPar->Lines, 0, 0), c.Expected);
        t.AlignLines(t.FirstPar);
        EXPECT_EQ(t.FirstPar->Lines->Attrs[0].Width, c.Expected);
    }
    // Text that does not fit before a right stop, or twice the room before a
    // centre stop, starts where the tab starts: the tab gets no width.
    struct TTooWide {
        int Kind;
        int Stop;
        const char* Text;
        int Tab;  // index of the tab; the characters before it are 10 wide each
    };
    for (const TTooWide& c : {TTooWide{1, 30, "\t12.5", 0}, TTooWide{2, 38, "abc\t12.5", 3}}) {
        SCOPED_TRACE(c.Kind);
        h->ClearTabs();
        const int32_t index = h->AddTab(c.Stop, c.Kind);
        t.Build({{c.Text}});
        t.FirstPar->Tabs = uint64_t(1) << index;
        EXPECT_EQ(t.GetTabWidth(t.FirstPar, t.FirstPar->Lines, c.Tab, c.Tab * 10), c.Tab * 10);
        t.AlignLines(t.FirstPar);
        EXPECT_EQ(t.FirstPar->Lines->Attrs[c.Tab].Width, 0);
    }
    // No stop: the default grid of 720.
    t.FirstPar->Tabs = 0;
    EXPECT_EQ(t.GetTabWidth(t.FirstPar, t.FirstPar->Lines, 0, 100), 720);
    EXPECT_EQ(t.GetTabWidth(t.FirstPar, t.FirstPar->Lines, 0, 720), 1440);
    // A hanging indent is the first stop of the first line.
    t.FirstPar->IndentLeft = 500;
    t.FirstPar->IndentFirst = -500;
    EXPECT_EQ(t.GetTabWidth(t.FirstPar, t.FirstPar->Lines, 0, 100), 500);
    // A stop beyond the right edge gives no width.
    h->ClearTabs();
    const int32_t far = h->AddTab(9000, 0);
    t.FirstPar->IndentFirst = 0;
    t.FirstPar->Tabs = uint64_t(1) << far;
    EXPECT_EQ(t.GetTabWidth(t.FirstPar, t.FirstPar->Lines, 0, 100), 100);
}

TEST(RtLayout, JustificationSpreadsTheCountedBlanks)
{
    TLayoutText t;
    t.Build({{"aa bb cc ", "x"}, {"aa bb", "x"}});
    TParagraph* p = t.FirstPar;
    p->Align = paralBlock;
    t.AlignLines(p);
    // Available 8480, text 90 with the trailing blank, two counted blanks of 20.
    EXPECT_EQ(p->Lines->JustifyFrom, 0);
    EXPECT_EQ(p->Lines->JustifyExtra, (20 + 8480 - 90) / 2);
    EXPECT_EQ(p->Lines->JustifyRest, (20 + 8480 - 90) % 2);
    // The last line only with the flag.
    EXPECT_EQ(p->Lines->Next->JustifyExtra, 0);
    TParagraph* q = p->Next;
    q->Align = paralBlock;
    t.AlignLines(q);
    EXPECT_EQ(q->Lines->JustifyExtra, 0);
    // An indent narrows the line.
    p->IndentLeft = 480;
    t.AlignLines(p);
    EXPECT_EQ(p->Lines->JustifyExtra, (20 + 8000 - 90) / 2);
    EXPECT_EQ(p->Lines->JustifyRest, (20 + 8000 - 90) % 2);
}

TEST(RtLayout, LinesBreakIntoPages)
{
    TLayoutText t;
    t.SmallPages();
    t.Build({Lines(7)});
    EXPECT_EQ(t.ReformatText(nullptr), 140);
    EXPECT_TRUE(t.StartsPage(0, 5));
    EXPECT_EQ(t.PageCount, 2);
    EXPECT_EQ(t.Line(0, 6)->PageNr, 1);
    EXPECT_EQ(t.Line(0, 6)->Top, 120);
    TParagraph* par = nullptr;
    TLine* line = nullptr;
    int32_t pos = 0;
    EXPECT_EQ(t.FindPageStart(1, par, pos, line), 5);
    EXPECT_EQ(line, t.Line(0, 5));
    EXPECT_EQ(pos, 10);
    t.CursorPar = t.FirstPar;
    t.CursorLine = t.Line(0, 6);
    EXPECT_EQ(t.GetCursorPageNr(), 1);
}

TEST(RtLayout, KeepTogetherAndKeepWithNextMoveWholeParagraphs)
{
    TLayoutText t;
    t.SmallPages();
    t.Build({Lines(3), Lines(4)});
    t.GetParByIndex(1)->Flags |= parfKeepTogether;
    t.ReformatText(nullptr);
    EXPECT_TRUE(t.StartsPage(1, 0));
    EXPECT_FALSE(t.StartsPage(1, 2));
    // A keep-together paragraph that starts the page breaks where it must.
    t.Build({Lines(7)});
    t.FirstPar->Flags |= parfKeepTogether;
    t.ReformatText(nullptr);
    EXPECT_TRUE(t.StartsPage(0, 5));
    // Without widow control a keep-with-next chain moves whole.
    t.Build({Lines(2), Lines(1), Lines(3)});
    t.GetParByIndex(1)->Flags |= parfKeepWithNext;
    t.ReformatText(nullptr);
    EXPECT_TRUE(t.StartsPage(1, 0));
    EXPECT_FALSE(t.StartsPage(2, 2));
    // With widow control the chain breaks so that W lines go on.
    t.WidowLines = 2;
    t.Build({Lines(1), Lines(3), Lines(3)});
    t.GetParByIndex(1)->Flags |= parfKeepWithNext;
    t.ReformatText(nullptr);
    EXPECT_TRUE(t.StartsPage(2, 1));
    EXPECT_FALSE(t.StartsPage(1, 0));
}

TEST(RtLayout, TheWidowRuleCountsTheChainUpToTheSecondParagraphThatDoesNotKeepWithNext)
{
    // Pages of 5 lines: a keep-with-next line, then a paragraph of 3 whose last line overflows.
    // The chain also counts the 3 lines after it: 7 units, 4 up to the overflow, so 3 are left
    // after it and the page breaks before the overflowing line itself.
    TLayoutText t;
    t.SmallPages();
    t.WidowLines = 2;
    t.Build({Lines(2), Lines(1), Lines(3), Lines(3)});
    t.GetParByIndex(1)->Flags |= parfKeepWithNext;
    t.ReformatText(nullptr);
    EXPECT_TRUE(t.StartsPage(2, 2));
    EXPECT_FALSE(t.StartsPage(2, 1));
    // Where the text ends after the paragraph, 2 of its lines go on together.
    t.Build({Lines(2), Lines(1), Lines(3)});
    t.GetParByIndex(1)->Flags |= parfKeepWithNext;
    t.ReformatText(nullptr);
    EXPECT_TRUE(t.StartsPage(2, 1));
}

TEST(RtLayout, NewPageFlagsAndPageMarksCount)
{
    TLayoutText t;
    t.Build({Lines(1), Lines(2), Lines(1)});
    t.FirstPar->Flags |= parfNewPage;
    t.GetParByIndex(1)->Flags |= parfNewPage;
    t.FrozenPageBreaks = true;
    t.Line(1, 1)->Flags |= linfPageStart;
    t.ReformatText(nullptr);
    EXPECT_FALSE(t.FirstPar->Flags & parfNewPage);
    EXPECT_EQ(t.PageCount, 3);
    EXPECT_EQ(t.Line(2, 0)->PageNr, 2);
    EXPECT_EQ(t.GetParByIndex(2)->Index, 2);
    EXPECT_EQ(t.GetParByIndex(2)->LinesBefore, 3);
}

TEST(RtLayout, PageViewSpacingAndHeaders)
{
    TLayoutText t;
    t.SmallPages();
    t.LayoutFlags = rtlmPageView | rtlmPageEnds;
    t.Build({Lines(7)});
    TTextHeader* h = t.Header();
    const int32_t half = 141;  // half of the 282 twips page gap
    t.ReformatText(nullptr);
    EXPECT_EQ(t.Line(0, 0)->SpaceAbove, half + h->PixTopMargin);
    EXPECT_EQ(t.Line(0, 0)->Top, half + h->PixTopMargin);
    // The first page's last line carries the rest of the page, the gap and the bottom margin.
    EXPECT_EQ(t.Line(0, 4)->SpaceBelow, 0 + half + h->BottomMargin());
    EXPECT_EQ(t.Line(0, 5)->SpaceAbove, half + h->PixTopMargin);
    EXPECT_EQ(t.Line(0, 6)->SpaceBelow, 60 + half + h->BottomMargin());
    // A header takes its height off every page and pushes the text down.
    TRtSpecialTextProperty* header = t.GetOrAddHeaderFooter(rtraOnAllPages, rtIsHeader);
    TParagraph* hp = nullptr;
    t.InsertPar(hp, 8);
    t.SetLineText(hp->Lines, "H");
    hp->Lines->Height = 20;
    header->SetParagraphs(hp);
    h->PrintHeaderFooterInPageMargins = false;
    h->SetMarginHeader(300);
    t.OnMeasurePage = [](TObject*, int32_t, int32_t& H, int32_t& T, int32_t& B) { H = T + B + 100 + 320; };
    t.ReformatText(nullptr);
    EXPECT_EQ(t.Line(0, 0)->SpaceAbove, half + h->PixTopMargin + 320);
    EXPECT_TRUE(t.StartsPage(0, 5));
    EXPECT_EQ(t.PageCount, 2);
    EXPECT_EQ(t.Line(0, 5)->SpaceAbove, half + h->PixTopMargin + 320);
    // Not on the first page: the first page has room for more lines.
    t.PrintHeaderFooter = rtrNotOnFirstPage;
    t.ReformatText(nullptr);
    EXPECT_EQ(t.Line(0, 0)->SpaceAbove, half + h->PixTopMargin);
    EXPECT_EQ(t.PageCount, 1);
}

TEST(RtLayout, RowsEndTogetherAndAlignTheirCells)
{
    TLayoutText t;
    t.Build({{"a"}, {"b", "c", "d"}, {"after"}});
    TParagraph* a = t.FirstPar;
    TParagraph* b = a->Next;
    a->Flags |= parfTableCell | parfNotLastCell;
    b->Flags |= parfTableCell | parfNotFirstCell;
    t.GetParCell(a)->Width = 127;
    t.GetParCell(b)->Left = 127;
    t.GetParCell(b)->Width = 128;
    a->Flags |= parfCellVBottom;
    t.ReformatText(nullptr);
    // The first cell's free space is 40 twips; its line grows to the row bottom. The
    // layout keeps it in its own fields: the cells' spacing stays as it was.
    EXPECT_EQ(b->CellFree, 0);
    EXPECT_EQ(a->Lines->Top, 0);
    EXPECT_EQ(a->Lines->Height, 60);
    EXPECT_EQ(a->Lines->Base, 16 + 40);
    EXPECT_EQ(a->CellSpaceAbove, 0);
    EXPECT_EQ(a->CellFree, 40);
    for (const TParagraph* p : {a, b})
        EXPECT_TRUE(p->SpaceBefore == 0 && p->SpaceAfter == 0);
    EXPECT_EQ(t.Line(2, 0)->Top, 60);
    // Cell geometry: halves of the text width.
    int32_t x = 0, w = 0;
    t.GetCellPosition(b, x, w);
    EXPECT_EQ(x, t.Header()->PixLeftMargin + 8480 * 127 / 255);
    EXPECT_EQ(x + w, t.Header()->PixLeftMargin + 8480);
    EXPECT_EQ(t.GetParRightPix(b, false), x + w - 25);
    EXPECT_EQ(t.GetParRightPix(b, true), x + w);
}

TEST(RtLayout, ARowThatDoesNotFitMovesToTheNextPage)
{
    TLayoutText t;
    t.SmallPages();
    t.Build({Lines(4), {"a"}, {"b", "c"}});
    TParagraph* a = t.GetParByIndex(1);
    TParagraph* b = a->Next;
    a->Flags |= parfTableCell | parfNotLastCell;
    b->Flags |= parfTableCell | parfNotFirstCell;
    t.ReformatText(nullptr);
    EXPECT_TRUE(t.StartsPage(1, 0));
    EXPECT_EQ(t.PageCount, 2);
}

TEST(RtLayout, ShadedColoursAndGeometry)
{
    TLayoutText t;
    // Red (index 1) at 50 percent.
    EXPECT_EQ(t.GetShadedColor(1, 50), TColor(0x7F7FFF));
    EXPECT_EQ(t.GetShadedColor(1, 100), TColor(0x0000FF));
    t.Build({{"x"}});
    TParagraph* p = t.FirstPar;
    p->IndentLeft = 100;
    p->IndentFirst = 50;
    p->IndentRight = -5;
    EXPECT_EQ(t.GetIndentLeftPix(p, p->Lines), 150);
    EXPECT_EQ(t.GetIndentRightPix(p), 0);
    EXPECT_EQ(p->IndentRight, 0);
    EXPECT_EQ(t.GetParLeftPix(p, false), t.Header()->PixLeftMargin);
    p->BrdLines = brdPresent | brdBox;
    p->BrdSpace = 2;
    EXPECT_EQ(t.GetParLeftPix(p, false), t.Header()->PixLeftMargin + 144);
    EXPECT_EQ(t.GetParLeftPix(p, true), t.Header()->PixLeftMargin);
    t.InfiniteWidth = true;
    EXPECT_EQ(t.GetParRightPix(p, false), 2147483647);
    EXPECT_EQ(t.GetTextHeight(), 20);
}
