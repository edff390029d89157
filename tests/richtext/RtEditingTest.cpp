#include "RtInputTestSupport.h"
#include "RtfTestSupport.h"

#include "RtNumbering.h"
#include "RtUndo.h"
#include "RtFont.h"

namespace {

using TPos = std::tuple<int32_t, int32_t, int32_t>;
using TPars = std::vector<std::string>;

class Editing : public RtInputTest {
protected:
    void SetUp() override
    {
        RtInputTest::SetUp();
        Layout({""}, 400);
        E->EditOptions.Include(rtActivateUndo);
        E->EditOptions.Include(rtActivateRedo);
    }
    void Select(int32_t From, int32_t To)
    {
        E->SetCursorCharPos(From);
        E->SetSelectionPoint(E->CursorPar, E->CursorLine, E->CursorPos, false, false);
        E->SetCursorCharPos(To);
        E->SetSelectionPoint(E->CursorPar, E->CursorLine, E->CursorPos, true, false);
    }
};

TEST_F(Editing, KeySequencesUndoAndRedoStepByStep)
{
    // Typing, splitting, deleting and joining, each key one undo group.
    const std::string keys = std::string("hello") + "\r" + "world" + "\b\b" + "\x7f" + "\b\b\b\b" + "\b" + "xy";
    std::vector<TPars> states{Pars(*E)};
    for (char k : keys) {
        Type(std::string(1, k));
        if (states.back() != Pars(*E))
            states.push_back(Pars(*E));
    }
    EXPECT_EQ(Pars(*E), (TPars{"hellxy"}));
    EXPECT_EQ(Cursor(), TPos(0, 0, 6));

    // Every undo step goes back to an earlier state, the last one to the empty text.
    size_t at = states.size() - 1;
    int32_t steps = 0;
    while (E->GetUndoStack()->CanUndo() && steps < 100) {
        E->Undo();
        ++steps;
        const TPars now = Pars(*E);
        size_t k = at;
        while (k > 0 && states[k] != now)
            --k;
        ASSERT_EQ(states[k], now) << "undo step " << steps;
        // Typing in one paragraph merges into one step; a step never goes forwards.
        EXPECT_LE(k, at);
        at = k;
    }
    EXPECT_EQ(Pars(*E), (TPars{""}));
    EXPECT_GT(steps, 3);

    // Redoing everything gives the last text again, step by step forwards.
    while (E->GetUndoStack()->CanRedo() && steps-- > 0)
        E->Redo();
    EXPECT_EQ(Pars(*E), (TPars{"hellxy"}));
}

TEST_F(Editing, ThreeLettersInOneCallBreakTheParagraphOnce)
{
    int32_t breaks = 0;
    E->OnSpellCheckPar = [&](TObject*, TParagraph*) { ++breaks; };
    E->InsertText("abc");
    EXPECT_EQ(breaks, 1);
    EXPECT_EQ(Pars(*E), (TPars{"abc"}));
    EXPECT_EQ(Cursor(), TPos(0, 0, 3));
}

TEST_F(Editing, ARefusedLastCharacterLeavesTheRunMeasured)
{
    // Everything from offset 2 on is protected: "c" is refused, "ab" goes in.
    E->OnIsProtected = [](TRtRTFText*, TParagraph*, TLine*, int32_t Pos) { return Pos >= 2; };
    E->InsertText("abc");
    E->OnIsProtected = nullptr;
    EXPECT_EQ(Pars(*E), (TPars{"ab"}));
    const TLine* line = Par(0)->Lines;
    ASSERT_TRUE(line->Attrs);
    EXPECT_GT(line->Attrs[0].Width, 0);
    EXPECT_GT(line->Attrs[1].Width, 0);
}

TEST_F(Editing, BackspaceJoinsParagraphsButNeverBeforeTheText)
{
    FillText(*E, {"ab", "cd"});
    E->UpdateLayout();
    PutCursor(0, 0, 0);
    Type("\b");
    EXPECT_EQ(Pars(*E), (TPars{"ab", "cd"}));
    PutCursor(1, 0, 0);
    Type("\b");
    EXPECT_EQ(Pars(*E), (TPars{"abcd"}));
    EXPECT_EQ(Cursor(), TPos(0, 0, 2));
    // Delete at the end of a paragraph joins the next one; at the text's end nothing happens.
    Type("\r");
    EXPECT_EQ(Pars(*E), (TPars{"ab", "cd"}));
    PutCursor(0, 0, 2);
    Type("\x7f");
    EXPECT_EQ(Pars(*E), (TPars{"abcd"}));
    PutCursor(0, 0, 4);
    Type("\x7f");
    EXPECT_EQ(Pars(*E), (TPars{"abcd"}));
}

TEST_F(Editing, BackspaceInAnEmptyNumberedLastLineRemovesTheNumbering)
{
    FillText(*E, {"item", ""});
    TRtRTFNumberingStyle* st = E->NumberingStyles()->Add();
    st->Indent = 360;
    for (TParagraph* p = E->FirstPar; p; p = p->Next) {
        p->Number = int16_t(st->Number);
        p->IndentLeft = 360;
        p->IndentFirst = -360;
    }
    E->UpdateLayout();
    int32_t notices = 0;
    E->OnParagraphChanged = [&](TObject*, TParagraph*) { ++notices; };
    PutCursor(1, 0, 0);
    Type("\b");
    EXPECT_EQ(Pars(*E), (TPars{"item", ""}));
    EXPECT_EQ(Par(1)->Number, 0);
    EXPECT_EQ(Par(1)->IndentLeft, 0);
    EXPECT_EQ(Par(1)->IndentFirst, 0);
    EXPECT_EQ(notices, 1);
    // The next backspace joins.
    Type("\b");
    EXPECT_EQ(Pars(*E), (TPars{"item"}));
}

TEST_F(Editing, DeletingASelectionJoinsAndKeepsTheLastParagraphsProperties)
{
    FillText(*E, {"first", "second"});
    Par(0)->Align = paralLeft;
    Par(1)->Align = paralRight;
    Par(1)->IndentLeft = 720;
    E->UpdateLayout();
    Select(0, 6);   // from the start of one paragraph to the start of the next
    EXPECT_TRUE(E->DeleteSelection(false));
    EXPECT_EQ(Pars(*E), (TPars{"second"}));
    EXPECT_EQ(Par(0)->Align, paralRight);
    EXPECT_EQ(Par(0)->IndentLeft, 720);
    EXPECT_EQ(Selection().first, -1);

    // Over three paragraphs, from the middle of one to the middle of another.
    FillText(*E, {"abc", "def", "ghi"});
    E->UpdateLayout();
    Select(1, 9);
    E->DeleteSelection(false);
    EXPECT_EQ(Pars(*E), (TPars{"ahi"}));
    EXPECT_EQ(Cursor(), TPos(0, 0, 1));
    E->Undo();
    EXPECT_EQ(Pars(*E), (TPars{"abc", "def", "ghi"}));

    // With DeleteExtraSpace the blank after the selection goes too; a reversed selection is the same.
    FillText(*E, {"foo bar baz"});
    E->UpdateLayout();
    Select(7, 4);
    E->DeleteSelection(true);
    EXPECT_EQ(Pars(*E), (TPars{"foo baz"}));
    // A typed key replaces the selection.
    Select(0, 3);
    Type("X");
    EXPECT_EQ(Pars(*E), (TPars{"X baz"}));
}

TEST_F(Editing, DeletingABookmarkStartUnmarksTheParagraphsItOpened)
{
    TMemoryStream rtf = RtfStreamOf("{\\rtf1 a{\\*\\bkmkstart m}b\\par c\\par d{\\*\\bkmkend m}e}");
    E->LoadFromStream(&rtf, "RTF");
    ASSERT_EQ(Pars(*E), (TPars{"a\x02" "b", "c", "d\x03" "e"}));
    EXPECT_TRUE(Par(1)->Lines->Attrs[0].Style.Has(afsBookmark));
    E->EditOptions.Include(rtObjectDeletion);
    PutCursor(0, 0, 2);
    Type("\b");
    // The bookmark's end goes with its start.
    ASSERT_EQ(Pars(*E), (TPars{"ab", "c", "de"}));
    for (int32_t p = 0; p < 3; ++p)
        for (int32_t i = 0; i < Par(p)->Lines->Length; ++i)
            EXPECT_FALSE(Par(p)->Lines->Attrs[i].Style.Has(afsBookmark)) << p << "," << i;
    EXPECT_EQ(Par(1)->OpenBookmarks, 0);
}

TEST_F(Editing, BothHalvesOfABrokenParagraphKeepItsShading)
{
    Layout({"abcd"}, 400);
    Par(0)->Shading = 50;
    Par(0)->Color = 2;
    Par(0)->PatColor = 3;
    PutCursor(0, 0, 2);
    Type("\r");
    ASSERT_EQ(Pars(*E), (TPars{"ab", "cd"}));
    for (int32_t p = 0; p < 2; ++p) {
        EXPECT_EQ(Par(p)->Shading, 50);
        EXPECT_EQ(Par(p)->Color, 2);
        EXPECT_EQ(Par(p)->PatColor, 3);
    }
}

TEST_F(Editing, ProtectedTextRefusesKeysWithoutMovingTheCursor)
{
    FillText(*E, {"abcd"});
    E->ProtectOptions.Include(ppProtected);
    for (int i = 0; i < 4; ++i)
        Par(0)->Lines->Attrs[i].Style.Include(afsProtected);
    E->UpdateLayout();
    PutCursor(0, 0, 2);
    Type("x");
    EXPECT_EQ(Pars(*E), (TPars{"abcd"}));
    EXPECT_EQ(Cursor(), TPos(0, 0, 2));
    Select(1, 3);
    EXPECT_FALSE(E->DeleteSelection(false));
    EXPECT_EQ(Pars(*E), (TPars{"abcd"}));
}

TEST_F(Editing, LineFeedsPageBreaksAndInsertPoints)
{
    E->InsertText("a\r\nb");
    EXPECT_EQ(Pars(*E), (TPars{"a", "b"}));
    E->SkipLineFeedAfterCR = false;
    E->InsertText("\r\nc");
    EXPECT_EQ(Pars(*E), (TPars{"a", "b", "\nc"}));

    FillText(*E, {"ab"});
    E->UpdateLayout();
    int32_t pageBreaks = 0;
    E->OnPageBreak = [&](TObject*) { ++pageBreaks; };
    PutCursor(0, 0, 1);
    Type("\f");
    EXPECT_EQ(Pars(*E), (TPars{"a", "b"}));
    EXPECT_TRUE(Par(1)->Flags & parfNewPage);
    EXPECT_EQ(pageBreaks, 1);
    // At the start of the first paragraph a blank stays before the break.
    PutCursor(0, 0, 0);
    Type("\f");
    EXPECT_EQ(Pars(*E), (TPars{" ", "a", "b"}));

    EXPECT_THROW(E->InsertInsertpoint(0xAB, "", "", 0, "", ""), ERtEngineError);
    PutCursor(0, 0, 1);
    const int32_t id = E->InsertInsertpoint(0xAB, "text", "name", 1, "", "");
    EXPECT_GT(id, 0);
    EXPECT_EQ(ParString(Par(0)), " \xABtext");
    const TAttr& marker = Par(0)->Lines->Attrs[1];
    EXPECT_TRUE(marker.Style.Has(afsIsInsertpoint));
    EXPECT_EQ(int32_t(marker.Tag), id);
    EXPECT_TRUE(Par(0)->Lines->Attrs[2].Style.Has(afsAutomatic));
    EXPECT_FALSE(E->CurrentAttr.Style.Has(afsIsInsertpoint));
}

TEST_F(Editing, ABreakOverASelectionFallsWhereTheDeletionLeavesTheCursor)
{
    // "a", a row of the cells "x", "y" and "w", "z": a Return in a cell breaks its line, elsewhere
    // its paragraph (no Return character outside a cell, no cell split off its row); a page break
    // in a cell marks the row. Whichever end of the selection the cursor was at; one undo gives
    // the text back.
    struct TCase {
        int32_t From, To;
        const char* Key;
        TPars Pars;
        std::vector<bool> Cells;
        bool RowOnNewPage;
    };
    const TCase cases[] = {
        {0, 3, "\r", {"", "", "", "y", "w", "z"}, {false, false, true, true, true, false}, false},  // "a" into "x"
        {3, 0, "\r", {"", "", "", "y", "w", "z"}, {false, false, true, true, true, false}, false},
        {5, 9, "\r", {"a", "x", "y\r", "", ""}, {false, true, true, true, false}, false},  // "y" to "z"
        {9, 5, "\r", {"a", "x", "y\r", "", ""}, {false, true, true, true, false}, false},
        {5, 9, "\f", {"a", "x", "y", "", ""}, {false, true, true, true, false}, true},
        {9, 5, "\f", {"a", "x", "y", "", ""}, {false, true, true, true, false}, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.From << ".." << c.To << " " << int(c.Key[0]));
        ReadRtf(*E, "{\\rtf1 a\\par\\trowd\\cellx2000\\cellx4000\\cellx6000\\intbl x\\cell y\\cell w\\cell\\row z}");
        E->UpdateLayout();
        E->GetUndoStack()->Clear();
        const std::string first = DumpText(*E);
        ASSERT_EQ(Pars(*E), (TPars{"a", "x", "y", "w", "z"}));
        Select(c.From, c.To);
        Type(c.Key);
        EXPECT_EQ(Pars(*E), c.Pars);
        std::vector<bool> cells;
        for (TParagraph* p = E->FirstPar; p; p = p->Next)
            cells.push_back(p->Flags & parfTableCell);
        EXPECT_EQ(cells, c.Cells);
        EXPECT_EQ(bool(Par(1)->Flags & parfNewPage), c.RowOnNewPage);
        E->Undo();
        E->UpdateLayout();
        EXPECT_EQ(DumpText(*E), first);
    }
}

TEST_F(Editing, ParagraphAttributesOfTheSelectedParagraphs)
{
    FillText(*E, {"one", "two", "three"});
    E->UpdateLayout();
    Select(1, 4);   // ends at the start of the second paragraph
    TRtParAttrValues v;
    v.IndentLeft = 567;
    v.Alignment = paralCenter;
    EXPECT_TRUE(E->ChangeSelParAttr(v, nullptr, pamIndentLeft | pamAlignment));
    EXPECT_EQ(Par(0)->IndentLeft, 567);
    EXPECT_EQ(Par(0)->Align, paralCenter);
    EXPECT_EQ(Par(1)->IndentLeft, 0);
    EXPECT_EQ(Par(1)->Align, paralLeft);
    EXPECT_TRUE(Par(0)->ChangeMask & pamIndentLeft);
    E->Undo();
    EXPECT_EQ(Par(0)->IndentLeft, 0);

    // Numbering: a style with an indent gives a hanging indent; removing it folds it back.
    TRtRTFNumberingStyle* st = E->NumberingStyles()->Add();
    st->Indent = 360;
    Select(4, 8);   // the second paragraph only
    v.NumberStyle = st->Number;
    E->ChangeSelParAttr(v, nullptr, pamNumberStyle);
    EXPECT_EQ(Par(1)->Number, st->Number);
    EXPECT_EQ(Par(1)->IndentLeft, 360);
    EXPECT_EQ(Par(1)->IndentFirst, -360);
    EXPECT_EQ(Par(2)->Number, 0);
    v.NumberStyle = 0;
    E->ChangeSelParAttr(v, nullptr, pamNumberStyle);
    EXPECT_EQ(Par(1)->IndentLeft, 0);
    EXPECT_EQ(Par(1)->IndentFirst, 0);

    // Tabs of the selected paragraphs.
    const uint64_t a = uint64_t(1) << E->Header()->AddTab(720, 0);
    const uint64_t b = uint64_t(1) << E->Header()->AddTab(1440, 0);
    Select(4, 9);
    E->ChangeParTabMask(a | b, false);
    EXPECT_EQ(Par(1)->Tabs, a | b);
    EXPECT_EQ(Par(2)->Tabs, a | b);
    E->ChangeParTabMask(a, true);
    EXPECT_EQ(Par(1)->Tabs, b);
    EXPECT_TRUE(Par(1)->ChangeMask & 0x2000);
}

TEST_F(Editing, PageLayoutLeavesValuesOfMinus1000)
{
    TTextHeader* h = E->Header();
    int32_t changes = 0;
    auto old = h->OnChange;
    h->OnChange = [&](bool B) {
        ++changes;
        if (old)
            old(B);
    };
    const int32_t w = h->PageWidth(), l = h->LeftMargin();
    E->SetPageLayout(-1000, -1000, -1000, -1000, -1000, -1000);
    EXPECT_EQ(h->PageWidth(), w);
    EXPECT_EQ(h->LeftMargin(), l);
    EXPECT_EQ(changes, 1);
    E->SetPageLayout(1000, -1000, -1000, -1000, 12000, -1000);
    EXPECT_EQ(h->LeftMargin(), 1000);
    EXPECT_EQ(h->PageWidth(), 12000);
}

} // namespace

namespace {

// Random keys and cursor moves: undoing everything gives the first text back,
// redoing everything the last one.
TEST_F(Editing, RandomKeySequencesUndoToTheStartAndRedoToTheEnd)
{
    uint32_t seed = 7;
    auto next = [&](uint32_t N) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % N;
    };
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        FillText(*E, {"alpha beta", "gamma", "delta epsilon zeta"});
        E->GetUndoStack()->Clear();
        E->UpdateLayout();
        PutCursor(0, 0, 0);
        const TPars first = Pars(*E);
        for (int k = 0; k < 60; ++k) {
            const uint32_t r = next(20);
            if (r < 9)
                Type(std::string(1, char('a' + next(26))));
            else if (r < 11)
                Type("\r");
            else if (r < 13)
                Type("\b");
            else if (r < 15)
                Type("\x7f");
            else if (r < 16)
                Type(" ");
            else
                E->MoveCursor(uint8_t(std::array<uint8_t, 4>{ccLeft, ccRight, ccUp, ccDown}[next(4)]), false);
        }
        const TPars last = Pars(*E);
        for (int guard = 0; E->GetUndoStack()->CanUndo() && guard < 500; ++guard)
            E->Undo();
        EXPECT_EQ(Pars(*E), first);
        for (int guard = 0; E->GetUndoStack()->CanRedo() && guard < 500; ++guard)
            E->Redo();
        EXPECT_EQ(Pars(*E), last);
    }
}

} // namespace

namespace {

TEST_F(Editing, CharacterAttributesOfTheSelectionUndoAsOneStep)
{
    FillText(*E, {"plain text", "more"});
    E->UpdateLayout();
    E->GetUndoStack()->Clear();
    Select(6, 13);
    TAttr bold;
    bold.Style.Include(afsBold);
    EXPECT_TRUE(E->ChangeSelCharAttr(bold, 64));   // add the style bits
    auto boldAt = [&](int32_t P, int32_t I) { return Par(P)->Lines->Attrs[I].Style.Has(afsBold); };
    EXPECT_FALSE(boldAt(0, 5));
    EXPECT_TRUE(boldAt(0, 6));
    EXPECT_TRUE(boldAt(1, 1));
    EXPECT_FALSE(boldAt(1, 2));
    E->Undo();
    EXPECT_FALSE(boldAt(0, 6));
    EXPECT_FALSE(boldAt(1, 1));

    // The plain font description goes into the current attribute.
    TRtFont font;
    font.SetName("Liberation Serif");
    font.SetSize(14);
    font.SetStyle(WrtStyle{afsItalic});
    E->ApplyFontToAttr(font);
    EXPECT_EQ(E->Header()->GetFontName(E->CurrentAttr.Font), "Liberation Serif");
    EXPECT_EQ(E->CurrentAttr.Size, 14);
    EXPECT_TRUE(E->CurrentAttr.Style.Has(afsItalic));
}

TEST_F(Editing, CellPropertiesGoToTheSelectedCellsOnly)
{
    FillText(*E, {""});
    std::vector<TRtCellDescriptor> cells(2);
    cells[0].Text = "x";
    cells[1].Text = "y";
    TParagraph* p = Par(0);
    E->ApplyParProps(p, 2, cells.data());
    TParagraph* last = Par(1);
    E->InsertPar(last, 8);   // a paragraph after the row
    E->InsertTextAt(last, 0, nullptr, "z");
    E->UpdateLayout();
    ASSERT_TRUE(Par(0)->Flags & parfTableCell);
    ASSERT_TRUE(Par(1)->Flags & parfTableCell);
    ASSERT_FALSE(Par(2)->Flags & parfTableCell);
    TRtCellValues v;
    v.Name = "Total";
    v.FormatNr = 3;
    // From the second cell to the paragraph after the row: the paragraph is no cell and is skipped.
    Select(2, 5);
    E->SetCellProperties(v, 1 | 4);
    EXPECT_EQ(E->GetParCell(Par(1))->Name, "Total");
    EXPECT_EQ(E->GetParCell(Par(1))->FormatNr, 3);
    EXPECT_EQ(E->GetParCell(Par(1))->Command, "");
    EXPECT_EQ(Par(2)->Cell, nullptr);
    EXPECT_EQ(E->GetParCell(Par(0))->Name, "");
    // Without a selection: the cursor's cell.
    E->ClearSelection(false);
    PutCursor(0, 0, 0);
    v.Command = "SUM";
    E->SetCellProperties(v, 2);
    EXPECT_EQ(E->GetParCell(Par(0))->Command, "SUM");
    EXPECT_EQ(E->GetParCell(Par(0))->Name, "");
}

} // namespace
