// The caret, absolute positions, table navigation, marked paragraphs and cells,
// object selection and attribute changes.
#include "RtCaret.h"
#include "RtList.h"
#include "RtObject.h"
#include "RtRtfTxtIo.h"
#include "RtTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace {

// Rows of cells: each row a list of cell texts; "-" is a normal paragraph.
void BuildTable(TRtRTFTextIo& T, const std::vector<std::vector<std::string>>& Rows)
{
    std::vector<std::string> pars;
    for (const auto& row : Rows)
        for (const auto& c : row)
            pars.push_back(c);
    FillText(T, pars);
    TParagraph* p = T.FirstPar;
    for (const auto& row : Rows) {
        const bool table = !(row.size() == 1 && row[0] == "-");
        for (size_t i = 0; i < row.size(); ++i, p = p->Next) {
            if (!table)
                continue;
            p->Flags |= parfTableCell;
            if (i > 0)
                p->Flags |= parfNotFirstCell;
            if (i + 1 < row.size())
                p->Flags |= parfNotLastCell;
            TRtCell* c = T.GetParCell(p);
            c->Width = uint8_t(255 / row.size());
            c->Left = uint8_t(i * (255 / row.size()));
        }
    }
}

} // namespace

TEST(RtCaret, FollowsTheCursorAndShowsOnlyWithFocus)
{
    TestPlatform();
    TTestOwnerControl edit;
    TRtRTFTextIo t;
    TCaret caret(&edit, &t);
    EXPECT_EQ(caret.Width, 3);
    EXPECT_EQ(caret.Height, 16);
    EXPECT_FALSE(caret.GetShown());
    caret.SetVisible(true);
    EXPECT_FALSE(caret.GetShown());  // not active yet
    caret.SetActive(true);
    caret.SetVisible(true);
    EXPECT_TRUE(caret.GetShown());
    EXPECT_TRUE(caret.BlinkOn());
    // A caret that changes height while shown is at least 4 high.
    t.CaretX = 40;
    t.CaretY = 70;
    t.TopY = 20;
    t.CaretHeight = 2;
    t.CaretWidth = 0;
    caret.UpdatePosition();
    EXPECT_EQ(caret.Height, 4);
    EXPECT_EQ(caret.Width, 1);
    EXPECT_EQ(caret.X, 40);
    EXPECT_EQ(caret.Y, 50);
    EXPECT_TRUE(caret.GetShown());
    caret.SetVisible(false);
    EXPECT_FALSE(caret.GetShown());
    edit.Focus = false;
    caret.SetVisible(true);
    EXPECT_FALSE(caret.GetShown());
    edit.Focus = true;
    caret.SetDisabled(true);
    caret.SetVisible(true);
    EXPECT_FALSE(caret.GetShown());
    EXPECT_FALSE(caret.Created);
}

TEST(RtCaret, BlinksWhileShown)
{
    TestPlatform();
    TTestOwnerControl edit;
    TRtRTFTextIo t;
    TCaret caret(&edit, &t);
    caret.SetActive(true);
    caret.SetVisible(true);
    ASSERT_TRUE(caret.BlinkOn());
    const int before = edit.Invalidated;
    QElapsedTimer clock;
    clock.start();
    while (caret.BlinkOn() && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_FALSE(caret.BlinkOn());
    EXPECT_GT(edit.Invalidated, before);
}

TEST(RtPositions, AbsolutePositionsCountParagraphEndsAsOne)
{
    TestPlatform();
    TRtRTFTextIo t;
    FillText(t, {"hello", "wide", "end"});
    t.CursorPar = t.GetParByIndex(1);
    t.CursorLine = t.CursorPar->Lines;
    t.CursorPos = 0;
    int32_t abs = 0, lines = 0, inPar = 0, nr = 0;
    t.GetCursorPositionCounts(abs, lines, inPar, nr);
    EXPECT_EQ(abs, 6);
    EXPECT_EQ(lines, 1);
    EXPECT_EQ(nr, 1);
    EXPECT_EQ(t.GetCursorAbsPos(), 6);
    t.SetCursorAbsPos(13);
    EXPECT_EQ(t.CursorPar, t.GetParByIndex(2));
    EXPECT_EQ(t.CursorPos, 2);
    // Past the end: the last line and its length.
    int32_t col = 0;
    TLine* line = nullptr;
    TParagraph* par = nullptr;
    EXPECT_FALSE(t.FindAbsPos(99, 0, col, line, par));
    EXPECT_EQ(par, t.GetParByIndex(2));
    EXPECT_EQ(col, 3);
    // By line number, and by paragraph and column.
    EXPECT_TRUE(t.FindAbsPos(0, 2, col, line, par));
    EXPECT_EQ(par, t.GetParByIndex(2));
    EXPECT_TRUE(t.FindAbsPos(0, 0, col, line, par, 50, 1));
    EXPECT_EQ(par, t.GetParByIndex(1));
    EXPECT_EQ(col, 4);
}

TEST(RtPositions, TableNavigation)
{
    TestPlatform();
    TRtRTFTextIo t;
    BuildTable(t, {{"-"}, {"a", "b", "c"}, {"d", "e", "f"}, {"-"}});
    TParagraph* before = t.FirstPar;
    TParagraph* a = before->Next;
    TParagraph* c = a->Next->Next;
    TParagraph* d = c->Next;
    TParagraph* e = d->Next;
    TParagraph* after = e->Next->Next;
    EXPECT_EQ(t.GetCellIndex(c), 2);
    EXPECT_EQ(t.GetCellIndex(before), -1);
    EXPECT_EQ(t.GetPrevRow(e), a);
    EXPECT_EQ(t.GetPrevRow(a), nullptr);
    EXPECT_EQ(t.GetNextRow(a), d);
    EXPECT_EQ(t.GetNextRow(d), nullptr);
    EXPECT_EQ(t.GetCellInRow(e, 2), e->Next);
    EXPECT_EQ(t.GetCellInRow(e, 3), nullptr);
    EXPECT_EQ(t.GetTableRow(e, 0), a);
    EXPECT_EQ(t.GetTableRow(a, 1), d);
    // Moving up from the first row leaves the table.
    t.CursorPar = a->Next;
    t.CursorLine = t.CursorPar->Lines;
    t.CursorPos = 1;
    EXPECT_TRUE(t.MoveToCellVert(true));
    EXPECT_EQ(t.CursorPar, before);
    EXPECT_EQ(t.CursorPos, 1);
    // Down into the cell below by its left position.
    t.CursorPar = a->Next;
    t.CursorLine = t.CursorPar->Lines;
    EXPECT_TRUE(t.MoveToCellVert(false));
    EXPECT_EQ(t.CursorPar, e);
    EXPECT_TRUE(t.MoveToCellVert(false));
    EXPECT_EQ(t.CursorPar, after);
    // From below the table up into its last row's first cell.
    EXPECT_TRUE(t.MoveToCellVert(true));
    EXPECT_EQ(t.CursorPar, d);
}

TEST(RtPositions, InsertingACopyOfARowAndUndoingIt)
{
    TestPlatform();
    TRtRTFTextIo t;
    t.EditOptions = TRtEditOptions{rtActivateUndo, rtActivateRedo};
    BuildTable(t, {{"a", "b"}, {"-"}});
    TParagraph* a = t.FirstPar;
    a->IndentLeft = 120;
    a->Next->BrdLines = brdPresent | brdBox;
    t.CursorPar = a->Next;
    t.CursorLine = a->Next->Lines;
    EXPECT_EQ(t.InsertRowCopy(a), 2);
    ASSERT_EQ(t.CountPars(), 5);
    TParagraph* n1 = t.GetParByIndex(2);
    TParagraph* n2 = n1->Next;
    EXPECT_EQ(t.CursorPar, n1);
    EXPECT_TRUE(n1->Flags & parfTableCell);
    EXPECT_FALSE(n1->Flags & parfNotFirstCell);
    EXPECT_TRUE(n1->Flags & parfNotLastCell);
    EXPECT_TRUE(n2->Flags & parfNotFirstCell);
    EXPECT_FALSE(n2->Flags & parfNotLastCell);
    EXPECT_EQ(n1->IndentLeft, 120);
    EXPECT_EQ(n2->BrdLines, brdPresent | brdBox);
    EXPECT_EQ(n1->Cell->Width, a->Cell->Width);
    EXPECT_EQ(n2->Cell->Left, a->Next->Cell->Left);
    t.Undo();
    EXPECT_EQ(Pars(t), (std::vector<std::string>{"a", "b", "-"}));
    EXPECT_EQ(t.InsertRowCopy(t.GetParByIndex(2)), 0);
}

TEST(RtPositions, MarkedParagraphsAndCells)
{
    TestPlatform();
    TRtRTFTextIo t;
    t.EditOptions = TRtEditOptions{rtActivateUndo, rtActivateRedo};
    BuildTable(t, {{"a", "b"}, {"c", "d"}, {"-"}});
    EXPECT_FALSE(t.UnmarkParagraphs());
    for (TParagraph* p = t.FirstPar; p != t.GetParByIndex(4); p = p->Next)
        p->Flags |= parfMarked;
    // Outer edges set, inner edges cleared.
    t.SetMarkedCellBorders(1, 1, 1, 1, 2);
    EXPECT_EQ(t.GetParByIndex(0)->BrdLines, brdPresent | brdLeft | brdTop);
    EXPECT_EQ(t.GetParByIndex(1)->BrdLines, brdPresent | brdRight | brdTop);
    EXPECT_EQ(t.GetParByIndex(3)->BrdLines, brdPresent | brdRight | brdBottom);
    // Clearing every edge leaves no border.
    t.SetMarkedCellBorders(2, 2, 2, 2, 2);
    EXPECT_EQ(t.GetParByIndex(0)->BrdLines, 0);
    t.Undo();
    EXPECT_EQ(t.GetParByIndex(0)->BrdLines, brdPresent | brdLeft | brdTop);
    // Undoing removed the marks.
    EXPECT_FALSE(t.FirstPar->Flags & parfMarked);
    for (TParagraph* p = t.FirstPar; p != t.GetParByIndex(4); p = p->Next)
        p->Flags |= parfMarked;
    t.GetParByIndex(0)->Lines->Attrs[0].Style.Include(afsHyperLink);
    t.ForceNewUndoLevel();
    t.ClearMarkedParagraphs();
    EXPECT_EQ(Pars(t), (std::vector<std::string>{"", "", "", "", "-"}));
    EXPECT_FALSE(t.GetParByIndex(0)->Lines->Attrs[0].Style.Has(afsHyperLink));
    EXPECT_TRUE(t.UnmarkParagraphs());
    EXPECT_FALSE(t.FirstPar->Flags & parfMarked);
    t.Undo();
    EXPECT_EQ(Pars(t), (std::vector<std::string>{"a", "b", "c", "d", "-"}));
}

TEST(RtPositions, SelectingObjectsMarksTheirCharacters)
{
    TestPlatform();
    struct TMarkText : TRtRTFTextIo {
        void SetObjectMark(TLine*, int32_t Pos, bool On) override { Marks.emplace_back(Pos, On); }
        std::vector<std::pair<int32_t, bool>> Marks;
    } t;
    FillText(t, {"ab"});
    auto* obj = new TRtObject;
    obj->Owner = &t;
    t.ObjRefList()->AddObject(obj);
    TAttr a = t.CurrentAttr;
    a.Style.Include(afsIsObject);
    a.Tag = uint32_t(t.ObjRefList()->CurrentId);
    const uint8_t code = 1;
    t.ReplaceChars(t.FirstPar, t.FirstPar->Lines, &a, 1, &code, 0, 1);
    std::vector<bool> events;
    t.OnObjectSelect = [&](TObject*, TRtObjectBase* O, bool Selected) {
        EXPECT_EQ(O, obj);
        events.push_back(Selected);
    };
    obj->Select(true);
    EXPECT_EQ(t.SelectedObject, obj);
    EXPECT_TRUE(t.HasSelection());
    EXPECT_EQ(t.Marks, (std::vector<std::pair<int32_t, bool>>{{1, true}, {2, true}}));
    obj->Select(false);
    EXPECT_EQ(t.SelectedObject, nullptr);
    EXPECT_FALSE(t.HasSelection());
    EXPECT_EQ(events, (std::vector<bool>{true, false}));
}

TEST(RtPositions, ModifyAttrChangesOneEntry)
{
    TestPlatform();
    TRtRTFTextIo t;
    TAttr a;
    a.Size = 10;
    a.Style = WrtStyle{afsSub, afsHidden};
    TAttr src;
    src.Size = 12;
    t.ModifyAttr(nullptr, a, 8, src, -1);
    EXPECT_EQ(a.Size, 1);
    EXPECT_TRUE(a.Style.Has(afsParStyleSize));
    src.Size = 3;
    t.ModifyAttr(nullptr, a, 4, src, -1);
    EXPECT_EQ(a.Size, 4);
    // Superscript clears subscript.
    src.Style = WrtStyle{afsSuper, afsBold};
    t.ModifyAttr(nullptr, a, 64, src, -1);
    EXPECT_TRUE(a.Style.Has(afsSuper));
    EXPECT_FALSE(a.Style.Has(afsSub));
    EXPECT_TRUE(a.Style.Has(afsParStyleBold));
    // The group from the source, keeping hidden text.
    src.Style = WrtStyle{afsItalic};
    t.ModifyAttr(nullptr, a, 256, src, -1);
    EXPECT_TRUE(a.Style.Has(afsItalic));
    EXPECT_FALSE(a.Style.Has(afsBold));
    EXPECT_TRUE(a.Style.Has(afsHidden));
    t.ModifyAttr(nullptr, a, 128, src, -1);
    EXPECT_FALSE(a.Style.Has(afsHidden));
    src.Style = WrtStyle{afsItalic};
    t.ModifyAttr(nullptr, a, 1024, src, -1);
    EXPECT_FALSE(a.Style.Has(afsItalic));
    // Colours, font and tags.
    src.Font = 3;
    src.TextColor = 5;
    src.BGColor = 6;
    src.Tag = 9;
    t.ModifyAttr(nullptr, a, 1 | 16 | 32, src, -1);
    EXPECT_EQ(a.Font, 3);
    EXPECT_EQ(a.TextColor, 5);
    EXPECT_EQ(a.BGColor, 6);
    EXPECT_EQ(a.Tag, 9u);
    a.Style.Include(afsHyperLink);
    src.Tag = 11;
    t.ModifyAttr(nullptr, a, 0, src, -1);
    EXPECT_EQ(a.Tag, 9u);
}
