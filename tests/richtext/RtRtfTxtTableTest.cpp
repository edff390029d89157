// Table cells and rows, outline collapse, paragraph numbers and header and
// footer texts of the text store.
#include "RtHeaderFooter.h"
#include "RtList.h"
#include "RtNumbering.h"
#include "RtRtfTxtIo.h"
#include "RtTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::vector<int> MarkedIndices(TRtRTFText& T)
{
    std::vector<int> v;
    int i = 0;
    for (TParagraph* p = T.FirstPar; p; p = p->Next, ++i)
        if (p->Flags & parfMarked)
            v.push_back(i);
    return v;
}

// A table of Rows x Cols cells of text "rc" after an opening paragraph.
void BuildGrid(TRtRTFTextIo& T, int Rows, int Cols)
{
    FillText(T, {"top"});
    TParagraph* at = T.FirstPar;
    for (int r = 0; r < Rows; ++r) {
        std::vector<TRtCellDescriptor> cells{size_t(Cols)};
        for (int c = 0; c < Cols; ++c)
            cells[size_t(c)].Text = std::to_string(r) + std::to_string(c);
        T.ApplyParProps(at, Cols, cells.data());
    }
}

} // namespace

TEST(RtTable, RowsAreBuiltWithEvenShares)
{
    TestPlatform();
    TRtRTFTextIo t;
    BuildGrid(t, 2, 3);
    EXPECT_EQ(Pars(t), (std::vector<std::string>{"top", "00", "01", "02", "10", "11", "12"}));
    TParagraph* c0 = t.GetParByIndex(1);
    EXPECT_EQ(c0->Cell->Width, 85);
    EXPECT_EQ(t.GetParByIndex(3)->Cell->Left, 170);
    EXPECT_EQ(t.GetParByIndex(3)->Cell->Width, 85);
    EXPECT_FALSE(c0->Flags & parfNotFirstCell);
    EXPECT_TRUE(t.GetParByIndex(3)->Flags & parfNotFirstCell);
    EXPECT_FALSE(t.GetParByIndex(3)->Flags & parfNotLastCell);
    // An empty row text becomes one blank; an empty paragraph is reused for the first cell.
    FillText(t, {""});
    TParagraph* at = t.FirstPar;
    TRtCellDescriptor two[2];
    two[0].Width = 100;
    t.ApplyParProps(at, 2, two);
    EXPECT_EQ(Pars(t), (std::vector<std::string>{" ", " "}));
    EXPECT_EQ(t.FirstPar->Cell->Width, 100);
    EXPECT_EQ(t.FirstPar->Next->Cell->Width, 155);
}

TEST(RtTable, MarksSplitsCombinesAndDeletesCells)
{
    TestPlatform();
    TRtRTFTextIo t;
    BuildGrid(t, 2, 3);
    // A block from the second cell of the first row to the third of the second.
    EXPECT_TRUE(t.MarkCellBlock(t.GetParByIndex(2), t.GetParByIndex(6)));
    EXPECT_EQ(MarkedIndices(t), (std::vector<int>{2, 3, 5, 6}));
    EXPECT_EQ(t.MarkedCells, 4);
    EXPECT_FALSE(t.MarkCellBlock(t.FirstPar, t.GetParByIndex(2)));
    EXPECT_TRUE(MarkedIndices(t).empty());
    // Combining the marked cells of each row.
    t.MarkCellBlock(t.GetParByIndex(2), t.GetParByIndex(6));
    t.CombineMarkedCells();
    EXPECT_EQ(Pars(t), (std::vector<std::string>{"top", "00", "0102", "10", "1112"}));
    EXPECT_EQ(t.GetParByIndex(2)->Cell->Width, 170);
    EXPECT_EQ(t.GetParByIndex(2)->Cell->Combine & 0x0F, 1);
    EXPECT_FALSE(t.GetParByIndex(2)->Flags & parfNotLastCell);
    // Splitting halves the width again.
    TParagraph* n = t.SplitCell(t.GetParByIndex(2), false);
    EXPECT_EQ(t.GetParByIndex(2)->Cell->Width, 85);
    EXPECT_EQ(n->Cell->Width, 85);
    EXPECT_EQ(n->Cell->Left, t.GetParByIndex(2)->Cell->Left + 85);
    EXPECT_TRUE(n->Flags & parfNotFirstCell);
    EXPECT_EQ(ParString(n), "");
    // Deleting a cell empties it and joins it to its neighbour.
    t.GetParByIndex(4)->Flags |= parfMarked;
    t.DeleteMarkedCells();
    EXPECT_EQ(Pars(t), (std::vector<std::string>{"top", "00", "0102", "", "1112"}));
}

TEST(RtTable, OutlineCollapseHidesDeeperParagraphs)
{
    TestPlatform();
    TRtRTFTextIo t;
    FillText(t, {"h1", "h2", "h3", "h2b", "h1b"});
    const uint8_t levels[] = {0, 1, 2, 1, 0};
    int i = 0;
    for (TParagraph* p = t.FirstPar; p; p = p->Next)
        p->OutlineLevel = levels[i++];
    t.FirstPar->Flags |= parfCollapsed;
    t.UpdateOutlineVisibility();
    std::vector<bool> hidden;
    for (TParagraph* p = t.FirstPar; p; p = p->Next)
        hidden.push_back(p->Flags & parfSkip2);
    EXPECT_EQ(hidden, (std::vector<bool>{false, true, true, true, false}));
    // A collapsed second level hides only its own deeper paragraphs.
    t.FirstPar->Flags &= ~parfCollapsed;
    t.GetParByIndex(1)->Flags |= parfCollapsed;
    t.UpdateOutlineVisibility();
    hidden.clear();
    for (TParagraph* p = t.FirstPar; p; p = p->Next)
        hidden.push_back(p->Flags & parfSkip2);
    EXPECT_EQ(hidden, (std::vector<bool>{false, false, true, false, false}));
    // Raising a level stops at the top.
    t.CursorPar = t.GetParByIndex(2);
    t.IncOutlineLevel();
    EXPECT_EQ(t.GetParByIndex(2)->OutlineLevel, 1);
    t.IncOutlineLevel();
    t.IncOutlineLevel();
    EXPECT_EQ(t.GetParByIndex(2)->OutlineLevel, 0);
    t.DecOutlineLevel();
    EXPECT_EQ(t.GetParByIndex(2)->OutlineLevel, 1);
}

TEST(RtTable, ParagraphNumbersForEveryStyle)
{
    TestPlatform();
    TRtRTFTextIo t;
    FillText(t, {"a", "b", "", "c", "plain", "d"});
    TRtRTFNumberingStyleCollection& styles = *t.NumberingStyles();
    struct TCase {
        int32_t Style;
        std::vector<std::string> Texts;
    };
    // Empty paragraphs do not count; a paragraph without number restarts the count.
    for (int32_t number = 1; number <= 6; ++number) {
        TRtRTFNumberingStyle* st = styles.FindStyle(number, 0);
        ASSERT_NE(st, nullptr) << number;
        int k = 0;
        for (TParagraph* p = t.FirstPar; p; p = p->Next, ++k)
            p->Number = int16_t(k == 4 ? 0 : number);
        t.UpdateNumbering();
        std::vector<std::string> texts;
        for (TParagraph* p = t.FirstPar; p; p = p->Next) {
            TRtRTFNumberingStyle* used = nullptr;
            AnsiString text;
            t.GetParNumberText(p, used, text);
            texts.push_back(p->Lines->Length ? text : "-");
        }
        const std::vector<std::string> expected = {
            st->NumberText(1), st->NumberText(2), "-", st->NumberText(3), "", st->NumberText(1)};
        EXPECT_EQ(texts, expected) << number;
    }
    // Outline levels continue the numbers of the levels above.
    TRtRTFNumberingStyle* l1 = styles.FindStyle(-1, 1);
    ASSERT_NE(l1, nullptr);
    TRtRTFNumberingStyle* l2 = styles.FindStyle(l1->Number, 2);
    ASSERT_NE(l2, nullptr);
    l2->UsePrev = true;
    const int levels[] = {1, 2, 2, 1, 2, 0};
    int k = 0;
    for (TParagraph* p = t.FirstPar; p; p = p->Next, ++k) {
        p->NumLevel = uint8_t(levels[k]);
        p->Number = int16_t(levels[k] == 1 ? l1->Number : levels[k] == 2 ? l2->Number : 0);
    }
    t.UpdateNumbering();
    AnsiString text;
    TRtRTFNumberingStyle* used = nullptr;
    t.GetParNumberText(t.GetParByIndex(2), used, text);
    EXPECT_EQ(used, l2);
    EXPECT_EQ(text, l1->NumberText(1) + l2->NumberText(2));
    t.GetParNumberText(t.GetParByIndex(4), used, text);
    EXPECT_EQ(text, l1->NumberText(2) + l2->NumberText(1));
}

TEST(RtTable, HeadersAndFootersAreChosenByPage)
{
    TestPlatform();
    TRtRTFTextIo t;
    FillText(t, {"a", "b", "c"});
    t.GetParByIndex(1)->Flags |= parfNewPage;
    t.GetParByIndex(2)->Flags |= parfNewPage;
    TRtSpecialTextProperty* all = t.GetOrAddHeaderFooter(rtraOnAllPages, rtIsHeader);
    EXPECT_EQ(t.GetHeaderFooterForPage(0, rtIsHeader, false), all);
    EXPECT_EQ(t.GetHeaderFooterForPage(1, rtIsFooter, false), nullptr);
    TRtSpecialTextProperty* first = t.GetOrAddHeaderFooter(rtraOnFirstPage, rtIsHeader);
    TRtSpecialTextProperty* even = t.GetOrAddHeaderFooter(rtraOnEvenPages, rtIsHeader);
    EXPECT_EQ(t.GetHeaderFooterForPage(0, rtIsHeader, false), first);
    EXPECT_EQ(t.GetHeaderFooterForPage(1, rtIsHeader, false), even);
    EXPECT_EQ(t.GetHeaderFooterForPage(2, rtIsHeader, false), all);
    TRtSpecialTextProperty* last = t.GetOrAddHeaderFooter(rtraOnLastPage, rtIsHeader);
    EXPECT_EQ(t.GetHeaderFooterForPage(2, rtIsHeader, true), last);
    EXPECT_EQ(t.GetOrAddHeaderFooter(rtraOnAllPages, rtIsHeader), all);
    EXPECT_FALSE(t.HasHeaderFooter());

    // One page with a last-page footer: the first-page items come first, then those of all pages.
    TRtRTFTextIo one;
    FillText(one, {"a"});
    TRtSpecialTextProperty* header = one.GetOrAddHeaderFooter(rtraOnAllPages, rtIsHeader);
    TRtSpecialTextProperty* footer = one.GetOrAddHeaderFooter(rtraOnAllPages, rtIsFooter);
    one.GetOrAddHeaderFooter(rtraOnLastPage, rtIsFooter);
    ASSERT_EQ(one.CountPages(), 1);
    EXPECT_EQ(one.GetHeaderFooterForPage(0, rtIsHeader, true), header);
    EXPECT_EQ(one.GetHeaderFooterForPage(0, rtIsFooter, true), footer);
    TRtSpecialTextProperty* firstFooter = one.GetOrAddHeaderFooter(rtraOnFirstPage, rtIsFooter);
    EXPECT_EQ(one.GetHeaderFooterForPage(0, rtIsFooter, true), firstFooter);
}

TEST(RtTable, EditingAHeaderParksTheBodyAndUndoFindsIt)
{
    TestPlatform();
    TRtRTFTextIo t;
    t.EditOptions = TRtEditOptions{rtActivateUndo, rtActivateRedo};
    FillText(t, {"body"});
    TParagraph* body = t.FirstPar;
    t.HeaderFooterRange = rtraOnAllPages;
    t.SetLayer(1);
    ASSERT_NE(t.FirstPar, body);
    EXPECT_EQ(t.BodyFirstPar, body);
    const uint32_t id = t.EditedHeaderFooterId();
    EXPECT_NE(id, 0u);
    t.SaveUndo(t.FirstPar, 1, ulInput);
    const uint8_t ch = 'H';
    t.ReplaceChars(t.FirstPar, t.FirstPar->Lines, nullptr, 1, &ch, 0, 0);
    t.SetLayer(0);
    EXPECT_EQ(t.FirstPar, body);
    TRtSpecialTextProperty* header = t.FindHeaderFooter(rtraOnAllPages, rtIsHeader);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(ParString(header->Paragraphs()), "H");
    EXPECT_TRUE(t.HasHeaderFooter());
    // Undoing the header change selects the header first.
    t.Undo();
    EXPECT_EQ(t.EditedHeaderFooterId(), id);
    EXPECT_EQ(ParString(t.FirstPar), "");
    EXPECT_TRUE(t.SelectHeaderFooterById(0));
    EXPECT_EQ(Pars(t), (std::vector<std::string>{"body"}));
}

TEST(RtTable, StylesFlagParagraphsAndUnusedTabsGo)
{
    TestPlatform();
    TRtRTFTextIo t;
    FillText(t, {"a", "b"});
    for (TParagraph* p = t.FirstPar; p; p = p->Next)
        p->Flags &= ~parfReformat;
    t.GetParByIndex(1)->Lines->Attrs[0].Style.Include(afsHidden);
    EXPECT_FALSE(t.MarkParsWithStyles(WrtStyle{afsBold}));
    EXPECT_TRUE(t.MarkParsWithStyles(WrtStyle{afsHidden}));
    EXPECT_FALSE(t.FirstPar->Flags & parfReformat);
    EXPECT_TRUE(t.GetParByIndex(1)->Flags & parfReformat);
    TTextHeader* h = t.Header();
    const int32_t used = h->AddTab(1440, 3);
    const int32_t unused = h->AddTab(2880, 0);
    t.FirstPar->Tabs = uint64_t(1) << used;
    EXPECT_TRUE(t.HasSingleKind3Tab(t.FirstPar, t.FirstPar->Lines));
    t.PurgeUnusedTabs();
    EXPECT_NE(h->Tabs[size_t(used)].Pos, 0);
    EXPECT_EQ(h->Tabs[size_t(unused)].Pos, 0);
}

TEST(RtTable, HeaderItemsTakeTheEditorOneAtATime)
{
    TestPlatform();
    TRtRTFTextIo t;
    FillText(t, {"body"});
    TParagraph* body = t.FirstPar;
    TRtSpecialTextProperty* header = t.GetOrAddHeaderFooter(rtraOnAllPages, rtIsHeader);
    TRtSpecialTextProperty* footer = t.GetOrAddHeaderFooter(rtraOnAllPages, rtIsFooter);
    EXPECT_TRUE(header->IsEmpty());
    EXPECT_EQ(header->CalcHeight(), 0);
    header->SetEditing(true);
    EXPECT_NE(t.FirstPar, body);
    EXPECT_EQ(t.CursorPar, t.FirstPar);
    try {
        footer->SetEditing(true);
        FAIL();
    } catch (const ERtEngineModeError& e) {
        EXPECT_EQ(AnsiString(e.what()), "Editor is already locked!");
    }
    const uint8_t ch = 'h';
    t.ReplaceChars(t.FirstPar, t.FirstPar->Lines, nullptr, 1, &ch, 0, 0);
    t.FirstPar->Lines->Height = 17;
    EXPECT_FALSE(header->IsEmpty());
    header->SetEditing(false);
    EXPECT_EQ(t.FirstPar, body);
    EXPECT_EQ(ParString(header->Paragraphs()), "h");
    EXPECT_EQ(header->CalcHeight(), 17);
    footer->SetEditing(true);
    footer->SetEditing(false);
    EXPECT_TRUE(footer->IsEmpty());
}

TEST(RtSpecialTextProperty, AnItemEditedInPlaceHandsOverAndReplacesTheTextsCurrentChain)
{
    // While the header is edited in the text's place a new first paragraph comes before the one
    // editing began with: taking, replacing and clearing the item's text work on the chain as it
    // is now, and the text goes on editing what the item then holds.
    enum TOp { Take, Replace, Clear };
    for (const TOp op : {Take, Replace, Clear}) {
        SCOPED_TRACE(int(op));
        TestPlatform();
        TRtRTFTextIo t;
        FillText(t, {"body"});
        auto chainOf = [&](const char* Text) {
            TParagraph* p = nullptr;
            t.InsertPar(p, 8);
            t.ReplaceChars(p, p->Lines, nullptr, int32_t(std::strlen(Text)), reinterpret_cast<const uint8_t*>(Text),
                           0, 0);
            return p;
        };
        TRtSpecialTextProperty* header = t.GetOrAddHeaderFooter(rtraOnAllPages, rtIsHeader);
        header->SetParagraphs(chainOf("hdr"));
        header->SetEditing(true);
        t.InsertParText(0, reinterpret_cast<const uint8_t*>("neu"), nullptr, 3);
        TParagraph* current = t.FirstPar;
        ASSERT_EQ(ParString(current), "neu");
        ASSERT_EQ(ParString(current->Next), "hdr");
        TParagraph* other = op == Replace ? chainOf("andere") : nullptr;
        if (op == Take) {
            TParagraph* taken = header->TakeParagraphs();
            EXPECT_EQ(taken, current);
            t.FreeParChain(taken);
        } else if (op == Replace) {
            header->SetParagraphs(other);
        } else {
            header->ClearText();
        }
        EXPECT_EQ(t.FirstPar, header->Paragraphs());
        EXPECT_EQ(t.CursorPar, t.FirstPar);
        EXPECT_EQ(ParString(t.FirstPar), op == Replace ? "andere" : "");
        EXPECT_EQ(t.FirstPar->Next, nullptr);
        header->SetEditing(false);
        EXPECT_EQ(ParString(t.FirstPar), "body");
        EXPECT_EQ(header->IsEmpty(), op != Replace);
        if (op == Replace) {
            EXPECT_EQ(header->Paragraphs(), other);
        }
    }
}

TEST(RtTable, AFullTabTableFreesStopsNoChainUses)
{
    TestPlatform();
    TRtRTFTextIo t;
    FillText(t, {"body"});
    TTextHeader* h = t.Header();
    h->RoundTabs = false;
    for (size_t i = 0; i < h->Tabs.size(); ++i) {
        h->Tabs[i].Pos = int32_t(100 + 10 * i);
        h->Tabs[i].Kind = 0;
    }
    // Stop 0 serves the body, stop 1 a footer, stop 2 the header being edited.
    t.FirstPar->Tabs = uint64_t(1) << 0;
    TRtSpecialTextProperty* footer = t.GetOrAddHeaderFooter(rtraOnAllPages, rtIsFooter);
    TParagraph* fp = nullptr;
    t.InsertPar(fp, 8);  // a chain of its own
    fp->Tabs = uint64_t(1) << 1;
    footer->SetParagraphs(fp);
    t.HeaderFooterRange = rtraOnAllPages;
    t.SetLayer(1);
    t.FirstPar->Tabs = uint64_t(1) << 2;
    const int32_t added = h->AddTab(5000, 0);
    ASSERT_GE(added, 3);
    EXPECT_EQ(h->Tabs[size_t(added)].Pos, 5000);
    for (size_t i : {0u, 1u, 2u})
        EXPECT_EQ(h->Tabs[i].Pos, int32_t(100 + 10 * i)) << "stop " << i;
    size_t freed = 0;
    for (const TRtTabEntry& e : h->Tabs)
        freed += e.Pos == 0;
    EXPECT_EQ(freed, h->Tabs.size() - 4);
    // A stop just collected for a paragraph is in no chain yet, and stays.
    for (size_t i = 0; i < h->Tabs.size(); ++i)
        if (h->Tabs[i].Pos == 0)
            h->Tabs[i].Pos = int32_t(9000 + 10 * i);
    h->Tabs[10].Pos = 0;
    const int32_t first = h->AddTab(20000, 0);
    ASSERT_EQ(first, 10);
    const int32_t second = h->AddTabTo(21000, 0);
    ASSERT_GE(second, 0);
    EXPECT_EQ(h->Tabs[10].Pos, 20000);
    EXPECT_EQ(h->Tabs[size_t(second)].Pos, 21000);
    EXPECT_EQ(h->CurrentTabs, (uint64_t(1) << 10) | (uint64_t(1) << second));
}

TEST(RtTable, TheCursorStaysWithItsLinesWhenCellsSplitOrCombine)
{
    TestPlatform();
    TRtRTFTextIo t;
    BuildGrid(t, 1, 2);
    TParagraph* first = t.GetParByIndex(1);
    // Splitting with the text moving: the cursor and every kept position go into the
    // new cell with their line.
    t.CursorPar = first;
    t.CursorLine = first->Lines;
    t.CursorPos = 1;
    TTestPosition kept{first, first->Lines, 2};
    t.Positions().Add(kept.Par, kept.Line, kept.Pos);
    TParagraph* moved = t.SplitCell(first, true);
    EXPECT_EQ(ParString(moved), "00");
    EXPECT_EQ(t.CursorPar, moved);
    EXPECT_EQ(t.CursorLine, moved->Lines);
    EXPECT_EQ(t.GetCursorCharPos(), 4 + 1 + 1);
    EXPECT_EQ(kept.Par, moved);
    EXPECT_EQ(kept.Line, moved->Lines);
    t.Positions().Remove(&kept, sizeof(kept));
    // A last cell whose predecessor does not continue into it has nothing to
    // combine with: the cursor stays in it.
    TParagraph* last = t.GetParByIndex(3);
    ASSERT_EQ(ParString(last), "01");
    moved->Flags &= ~parfNotLastCell;
    t.CursorPar = last;
    t.CursorLine = last->Lines;
    t.CursorPos = 2;
    t.CombineCell(last);
    EXPECT_EQ(Pars(t), (std::vector<std::string>{"top", "", "00", "01"}));
    EXPECT_EQ(t.CursorPar, last);
    EXPECT_EQ(t.CursorLine, last->Lines);
}

TEST(RtTable, CellsPastedOverCellsTakeEveryKeptPositionToTheCellStart)
{
    TestPlatform();
    TRtRTFTextIo t;
    BuildGrid(t, 1, 2);
    TParagraph* cell = t.GetParByIndex(1);
    TTestPosition kept{cell, cell->Lines, 1};
    t.Positions().Add(kept.Par, kept.Line, kept.Pos);
    t.BodyCursorPar = cell;
    t.BodyCursorLine = cell->Lines;
    t.BodyCursorPos = 2;
    TRtRTFTextIo source;
    FillText(source, {"top"});
    std::vector<TRtCellDescriptor> cells{2};
    cells[0].Text = "ab";
    cells[1].Text = "cd";
    TParagraph* at = source.FirstPar;
    source.ApplyParProps(at, 2, cells.data());
    ASSERT_EQ(Pars(source), (std::vector<std::string>{"top", "ab", "cd"}));
    TParagraph* chain = source.FirstPar->Next;
    source.FirstPar->Next = nullptr;
    chain->Prior = nullptr;
    TLine* line = cell->Lines;
    int32_t pos = 1;
    t.InsertParagraphs(cell, line, pos, chain);
    ASSERT_EQ(ParString(cell), "ab");
    ASSERT_EQ(ParString(cell->Next), "cd");
    for (const TPositionFields& h : {TPositionFields{"registered", kept.Par, kept.Line, kept.Pos},
                                     TPositionFields{"body cursor", t.BodyCursorPar, t.BodyCursorLine,
                                                     t.BodyCursorPos}})
        EXPECT_EQ(OffsetInPar(cell, h), 0) << h.Name;
    t.Positions().Remove(&kept, sizeof(kept));
}

TEST(RtTable, MarkedCellOperationsLeaveMarkedParagraphsOutsideTables)
{
    TestPlatform();
    TRtRTFTextIo t;
    BuildGrid(t, 1, 2);
    TParagraph* top = t.FirstPar;
    TParagraph* cell = t.GetParByIndex(1);
    // A whole paragraph marked beside a marked cell: only the cell is emptied.
    top->Flags |= parfMarked;
    t.GetParByIndex(2)->Flags |= parfMarked;
    t.DeleteMarkedCells();
    EXPECT_EQ(Pars(t), (std::vector<std::string>{"top", "00"}));
    EXPECT_TRUE(top->Flags & parfMarked);
    // A cell that claims a next cell before a marked plain paragraph combines nothing and ends.
    TParagraph* plain = t.FirstPar;
    t.InsertPar(cell, 8);
    cell = t.GetParByIndex(1);
    cell->Flags |= parfMarked | parfNotLastCell;
    cell->Next->Flags &= ~(parfTableCell | parfNotFirstCell);
    cell->Next->Flags |= parfMarked;
    t.CombineMarkedCells();
    EXPECT_EQ(t.CountPars(), 3);
    EXPECT_EQ(plain, t.FirstPar);
}

TEST(RtSpecialTextProperty, ALayerChosenWhileAnItemIsEditedInPlaceKeepsTheBody)
{
    TestPlatform();
    TRtRTFTextIo t;
    FillText(t, {"body"});
    TRtSpecialTextProperty* header = t.GetOrAddHeaderFooter(rtraOnAllPages, rtIsHeader);
    header->SetEditing(true);
    t.InsertParText(0, reinterpret_cast<const uint8_t*>("hdr"), nullptr, 3);
    t.SetLayer(2);
    EXPECT_EQ(t.EditedSpecialText, nullptr);
    t.SetLayer(0);
    EXPECT_EQ(ParString(t.FirstPar), "body");
    EXPECT_EQ(ParString(header->Paragraphs()), "hdr");
}
