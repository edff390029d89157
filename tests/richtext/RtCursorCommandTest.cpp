#include "RtInputTestSupport.h"

namespace {

using TPos = std::tuple<int32_t, int32_t, int32_t>;

struct TMove {
    uint8_t Code;
    TPos From;
    TPos To;
};

class CursorCommands : public RtInputTest {
protected:
    // "hello " / "world foo" | "ab" | "foo.bar" | "abc\n" / "def"
    void SetUp() override
    {
        RtInputTest::SetUp();
        Layout({"hello world foo", "ab", "foo.bar", "abc\ndef"});
    }
    int32_t Abs(const TPos& P)
    {
        TParagraph* p = Par(std::get<0>(P));
        TLine* l = p->Lines;
        for (int32_t i = 0; i < std::get<1>(P); ++i)
            l = l->Next;
        return E->CharPosOf(p, l, std::get<2>(P));
    }
    // A row "a1" | "b1" and a row "a2" | "b2", one cell paragraph each.
    void LayoutTable()
    {
        Layout({""}, 400);
        std::vector<TRtCellDescriptor> cells(2);
        cells[0].Text = "a1";
        cells[1].Text = "b1";
        TParagraph* p = Par(0);
        E->ApplyParProps(p, 2, cells.data());
        cells[0].Text = "a2";
        cells[1].Text = "b2";
        TParagraph* q = Par(1);
        E->ApplyParProps(q, 2, cells.data());
        E->UpdateLayout();
    }
    void Put(const TPos& P) { PutCursor(std::get<0>(P), std::get<1>(P), std::get<2>(P)); }
    // Each move from its start without and with Select: the cursor's target and the selection.
    template <size_t N>
    void CheckMoves(const TMove (&Moves)[N])
    {
        for (const TMove& m : Moves) {
            SCOPED_TRACE(testing::Message() << "code " << int(m.Code) << " from " << std::get<0>(m.From) << ","
                                            << std::get<1>(m.From) << "," << std::get<2>(m.From));
            E->ClearSelection(false);
            E->Selecting = false;
            Put(m.From);
            E->MoveCursor(m.Code, false);
            EXPECT_EQ(Cursor(), m.To);
            EXPECT_EQ(Selection().first, -1);

            // The same move extends a selection from where it started.
            Put(m.From);
            E->MoveCursor(m.Code, true);
            EXPECT_EQ(Cursor(), m.To);
            const int32_t a = Abs(m.From), b = Abs(m.To);
            const auto sel = Selection();
            if (a == b) {
                EXPECT_EQ(sel.second, 0);
            } else {
                EXPECT_EQ(sel, std::make_pair(std::min(a, b), std::abs(b - a)));
                EXPECT_EQ(E->SelReversed, b < a);
            }
            // A move without Select ends it.
            E->MoveCursor(ccLineStart, false);
            EXPECT_EQ(Selection().first, -1);
            EXPECT_EQ(E->MarkedCells, 0);
        }
    }
};

TEST_F(CursorCommands, EveryCodeMovesAndExtendsTheSelection)
{
    const TMove moves[] = {
        {ccLineStart, {0, 1, 4}, {0, 1, 0}},
        {ccLineEnd, {0, 1, 4}, {0, 1, 9}},
        {ccLineEnd, {3, 0, 1}, {3, 0, 3}},   // before the line feed
        {ccTextStart, {2, 0, 3}, {0, 0, 0}},
        {ccTextEnd, {0, 0, 0}, {3, 1, 3}},
        {ccLeft, {1, 0, 0}, {0, 1, 9}},      // end of the previous paragraph
        {ccLeft, {0, 1, 0}, {0, 0, 5}},      // before the last character of a wrapped line
        {ccLeft, {2, 0, 4}, {2, 0, 3}},
        {ccRight, {0, 0, 5}, {0, 1, 0}},
        {ccRight, {0, 1, 9}, {1, 0, 0}},
        {ccRight, {2, 0, 1}, {2, 0, 2}},
        {ccUp, {1, 0, 1}, {0, 1, 1}},
        {ccUp, {2, 0, 7}, {1, 0, 2}},        // the end of a shorter line
        {ccDown, {0, 1, 3}, {1, 0, 2}},
        {ccDown, {1, 0, 1}, {2, 0, 1}},
        {ccWordLeft, {2, 0, 7}, {2, 0, 4}},
        {ccWordLeft, {2, 0, 4}, {2, 0, 3}},
        {ccWordLeft, {2, 0, 3}, {2, 0, 0}},
        {ccWordRight, {0, 1, 0}, {0, 1, 6}},
        {ccWordRight, {0, 1, 9}, {1, 0, 0}},
        {ccWindowTop, {3, 1, 2}, {0, 0, 2}},
        {ccWindowBottom, {0, 0, 2}, {3, 1, 2}},
        // At the ends of the text nothing moves.
        {ccLeft, {0, 0, 0}, {0, 0, 0}},
        {ccRight, {3, 1, 3}, {3, 1, 3}},
        {ccUp, {0, 0, 2}, {0, 0, 2}},
        {ccDown, {3, 1, 1}, {3, 1, 1}},
    };
    CheckMoves(moves);
}

TEST_F(CursorCommands, SelectionEndsAndRepeatedMoves)
{
    // Codes 14 and 15 without a selection leave the cursor.
    Put({2, 0, 2});
    E->MoveCursor(ccSelectionEnd, false);
    E->MoveCursor(ccSelectionStart, false);
    EXPECT_EQ(Cursor(), TPos(2, 0, 2));

    // A backwards selection: its earlier end is the moving end.
    Put({2, 0, 5});
    E->MoveCursor(ccUp, true);
    E->MoveCursor(ccUp, true);
    EXPECT_TRUE(E->SelReversed);
    E->MoveCursor(ccSelectionEnd, true);
    EXPECT_EQ(Cursor(), TPos(2, 0, 5));
    E->MoveCursor(ccSelectionStart, true);
    EXPECT_EQ(Cursor(), TPos(0, 1, 2));
    EXPECT_EQ(Selection(), std::make_pair(Abs({0, 1, 2}), Abs({2, 0, 5}) - Abs({0, 1, 2})));

    // Up twice from a long line: the second Up uses the x of the shorter line's end.
    E->MoveCursor(ccLineStart, false);
    Put({2, 0, 7});
    E->MoveCursor(ccUp, false);
    E->MoveCursor(ccUp, false);
    EXPECT_EQ(Cursor(), TPos(0, 1, 2));

    // Word right passes trailing blanks: foo, two blanks, bar.
    FillText(*E, {"foo  bar"});
    E->UpdateLayout();
    PutCursor(0, 0, 0);
    E->MoveCursor(ccWordRight, false);
    EXPECT_EQ(Cursor(), TPos(0, 0, 5));
}

TEST_F(CursorCommands, PagesMoveTheCursorOnlyWhenAsked)
{
    std::vector<std::string> pars(30, "line");   // one page
    Layout(pars, 100, 400, 110);   // five lines of 22 a window
    PutCursor(10, 0, 2);
    E->MoveCursor(ccPageDown, false);
    EXPECT_EQ(Cursor(), TPos(10, 0, 2));
    EXPECT_EQ(E->TopY, 110);
    E->MoveCursor(ccPageUp, false);
    EXPECT_EQ(E->TopY, 0);

    E->EditOptions.Include(rtMoveCPOnPageUpDown);
    E->MoveCursor(ccPageDown, true);
    EXPECT_EQ(Cursor(), TPos(15, 0, 2));
    EXPECT_EQ(Selection().second, 5 * 5);
    E->MoveCursor(ccPageUp, false);
    EXPECT_EQ(Cursor(), TPos(10, 0, 2));
    PutCursor(28, 0, 2);
    E->MoveCursor(ccPageDown, false);
    EXPECT_EQ(Cursor(), TPos(29, 0, 4));   // the text's last line: its end
    PutCursor(2, 0, 1);
    E->MoveCursor(ccPageUp, false);
    EXPECT_EQ(Cursor(), TPos(0, 0, 0));    // ran out of paragraphs: the text's start

    // Window top and bottom after scrolling.
    E->TopY = 220;
    PutCursor(20, 0, 3);
    E->MoveCursor(ccWindowTop, false);
    EXPECT_EQ(Cursor(), TPos(10, 0, 3));
    E->MoveCursor(ccWindowBottom, false);
    EXPECT_EQ(Cursor(), TPos(14, 0, 3));
}

TEST_F(CursorCommands, EditFieldModeKeepsTheCursorInFields)
{
    // x [ab] y [cd] z, with insert-point markers around the fields.
    const std::string text = std::string("x \xAB") + "ab\xBB y \xAB" + "cd\xBB z";
    Layout({text}, 400);
    TLine* l = Par(0)->Lines;
    for (int32_t i = 0; i < l->Length; ++i)
        if (l->Chars[i] == 0xAB || l->Chars[i] == 0xBB)
            l->Attrs[i].Style.Include(afsIsInsertpoint);
    E->ProtectOptions.Include(ppAllExceptForEditFields);
    PutCursor(0, 0, 4);
    E->MoveCursor(ccFieldStart, false);
    EXPECT_EQ(Cursor(), TPos(0, 0, 3));
    E->MoveCursor(ccFieldEnd, false);
    EXPECT_EQ(Cursor(), TPos(0, 0, 5));
    E->MoveCursor(ccLineStart, false);
    EXPECT_EQ(Cursor(), TPos(0, 0, 3));
    E->MoveCursor(ccLineEnd, false);
    EXPECT_EQ(Cursor(), TPos(0, 0, 5));
    // Right out of the field goes on into the next one.
    E->MoveCursor(ccRight, false);
    EXPECT_EQ(Cursor(), TPos(0, 0, 10));
    // Left out of it returns to the previous field's end, then goes on inside it.
    E->MoveCursor(ccLeft, false);
    EXPECT_EQ(Cursor(), TPos(0, 0, 5));
    E->MoveCursor(ccLeft, false);
    EXPECT_EQ(Cursor(), TPos(0, 0, 4));
    // Field states: start marker 0, end marker 2, right after the start 1, inside 4.
    EXPECT_EQ(E->GetMarkerStateAt(Par(0), l, 2), 0);
    EXPECT_EQ(E->GetMarkerStateAt(Par(0), l, 5), 2);
    EXPECT_EQ(E->GetMarkerStateAt(Par(0), l, 3), 1);
    EXPECT_EQ(E->GetMarkerStateAt(Par(0), l, 4), 4);
    EXPECT_EQ(E->GetMarkerStateAt(Par(0), l, 7), 0);
}

TEST_F(CursorCommands, EveryCodeInATable)
{
    LayoutTable();
    const TMove moves[] = {
        {ccLineStart, {1, 0, 1}, {1, 0, 0}},
        {ccLineEnd, {1, 0, 0}, {1, 0, 2}},
        {ccTextStart, {3, 0, 1}, {0, 0, 0}},
        {ccTextEnd, {0, 0, 1}, {3, 0, 2}},
        {ccLeft, {2, 0, 0}, {1, 0, 2}},      // the end of the cell before
        {ccLeft, {1, 0, 2}, {1, 0, 1}},
        {ccRight, {1, 0, 2}, {2, 0, 0}},     // the start of the next cell
        {ccUp, {2, 0, 1}, {1, 0, 0}},        // the paragraph before: the row's last cell
        {ccDown, {1, 0, 1}, {2, 0, 2}},
        {ccWordLeft, {3, 0, 2}, {3, 0, 0}},
        {ccWordRight, {0, 0, 0}, {0, 0, 2}},
        {ccWindowTop, {3, 0, 1}, {0, 0, 1}},
        {ccWindowBottom, {0, 0, 1}, {3, 0, 1}},
    };
    CheckMoves(moves);
    // Page moves scroll only; selection ends without a selection stay.
    Put({2, 0, 1});
    E->MoveCursor(ccPageDown, false);
    E->MoveCursor(ccPageUp, false);
    E->MoveCursor(ccSelectionEnd, false);
    E->MoveCursor(ccSelectionStart, false);
    EXPECT_EQ(Cursor(), TPos(2, 0, 1));
}

TEST_F(CursorCommands, CommandsInTableCells)
{
    LayoutTable();
    ASSERT_TRUE(Par(2)->Flags & parfTableCell);
    // Right at a cell's end goes to the next cell, Left at its start back.
    PutCursor(0, 0, 2);
    E->MoveCursor(ccRight, false);
    EXPECT_EQ(Cursor(), TPos(1, 0, 0));
    E->MoveCursor(ccLeft, false);
    EXPECT_EQ(Cursor(), TPos(0, 0, 2));
    E->MoveCursor(ccLineStart, false);
    E->MoveCursor(ccLineEnd, true);
    EXPECT_EQ(Selection(), std::make_pair(0, 2));
    // With spreadsheet movement Up and Down go to the cell above and below.
    E->EditOptions.Include(rtSpreadsheetCursorMovement);
    PutCursor(1, 0, 1);
    E->MoveCursor(ccDown, false);
    EXPECT_EQ(std::get<0>(Cursor()), 3);
    E->MoveCursor(ccUp, false);
    EXPECT_EQ(std::get<0>(Cursor()), 1);
    // A selection over cells marks the block of cells.
    PutCursor(0, 0, 1);
    E->MoveCursor(ccDown, true);
    E->MoveCursor(ccRight, true);
    E->MoveCursor(ccRight, true);
    E->MoveCursor(ccRight, true);
    EXPECT_EQ(E->MarkedCells, 4);
    E->MoveCursor(ccTextStart, false);
    EXPECT_EQ(E->MarkedCells, 0);
}

TEST_F(CursorCommands, UpAtTheTopAsksTheOwnerForTheNextBox)
{
    TRtRTFTextInput next;
    int32_t asked = 0;
    E->EditBoxModes.Include(rtemCheckCursorMovement);
    E->OnEditBoxCursorLeaves = [&](TObject*, bool Up, TRtRTFTextInput*& Next, uint8_t) {
        ++asked;
        EXPECT_TRUE(Up);
        Next = &next;
    };
    int32_t activated = 0;
    next.OnActivate = [&](TObject*) { ++activated; };
    PutCursor(0, 0, 3);
    E->MoveCursor(ccUp, false);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(activated, 1);
    EXPECT_EQ(Cursor(), TPos(0, 0, 3));
}

TEST_F(CursorCommands, HotStyleSpansTheLinkUnderTheMouse)
{
    Layout({"see the link here"}, 400);
    TLine* l = Par(0)->Lines;
    for (int32_t i = 8; i < 12; ++i) {
        l->Attrs[i].Style.Include(afsHyperLink);
        l->Attrs[i].Tag = 3;
    }
    int32_t events = 0;
    E->OnHotStyle = [&](TObject*, TParagraph*, int32_t) { ++events; };
    E->UpdateHotStyle(Par(0), l, 9);
    for (int32_t i = 0; i < l->Length; ++i)
        EXPECT_EQ(l->Attrs[i].Style.Has(afsHotStyle), i >= 8 && i < 12) << i;
    EXPECT_EQ(events, 1);
    // The same span again changes nothing; leaving it clears it.
    E->UpdateHotStyle(Par(0), l, 11);
    EXPECT_EQ(events, 1);
    E->UpdateHotStyle(nullptr, nullptr, 0);
    EXPECT_FALSE(l->Attrs[9].Style.Has(afsHotStyle));
    EXPECT_EQ(events, 2);
}

} // namespace

namespace {

class EngineSetters : public RtInputTest {};

TEST_F(EngineSetters, ZoomResizingAndVisibleSizes)
{
    Layout({"hello world foo"}, 100);
    E->SetZooming(0);
    EXPECT_EQ(E->Zooming, 100);
    E->SetZooming(200);
    EXPECT_EQ(E->Zooming, 200);
    EXPECT_EQ(E->ScreenToDoc(400), 200);
    E->SetZooming(100);
    E->SetResizing(0);
    EXPECT_EQ(E->Resizing, 100);
    EXPECT_EQ(E->SetVisibleHeight(150), 150);
    EXPECT_EQ(E->VisibleHeightPx, 150);
    // Wrapping at the window: a narrower window re-breaks the text.
    E->SetWordWrap(true);
    E->SetVisibleWidth(60);
    EXPECT_EQ(E->VisibleWidthPx, 60);
    EXPECT_GT(LinesOf(Par(0)).size(), 2u);
    // Suspending and resuming formatting re-measures every paragraph.
    E->SetEngineOptions(E->EngineOptions | eoSuspended);
    Par(0)->Lines->Attrs[0].Width = 0;
    E->SetEngineOptions(E->EngineOptions & ~eoSuspended);
    EXPECT_EQ(Par(0)->Lines->Attrs[0].Width, 10);
}

} // namespace
