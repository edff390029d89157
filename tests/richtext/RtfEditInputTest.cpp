// Keys, characters, the input method and the mouse of the edit control,
// driven with QTest on the offscreen platform.
#include "RtControlTestSupport.h"

#include "RtUndo.h"

#include <QInputMethodEvent>

namespace {

using RtfEditInput = RtControlTest;

TEST_F(RtfEditInput, TypesUmlautsAndTheEuroSignAndUndoesAndRedoesThem)
{
    Type(QString::fromUtf8("Grüße €5"));
    EXPECT_EQ(Text(), "Grüße €5");
    Key(Qt::Key_Return);
    Type("ab");
    EXPECT_EQ(Text(), "Grüße €5\nab");
    Key(Qt::Key_Backspace);
    EXPECT_EQ(Text(), "Grüße €5\na");
    // A character Windows-1252 cannot hold is refused, not mangled.
    Type(QString::fromUtf8("Ж"));
    EXPECT_EQ(Text(), "Grüße €5\na");
    for (int i = 0; i < 20 && !Text().empty(); ++i)
        Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Text(), "");
    // Redo needs the redo recording and its hot key.
    Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Text(), "");
    Rtf->SetEditOptions(E()->EditOptions | TRtEditOptions{rtActivateRedo, rtActivateRedoHotkey});
    Type(QString::fromUtf8("Grüße"));
    Key(Qt::Key_Return);
    Type("a");
    for (int i = 0; i < 20 && !Text().empty(); ++i)
        Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Text(), "");
    for (int i = 0; i < 20; ++i)
        Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Text(), "Grüße\na");
    // Alt+Backspace undoes too.
    Key(Qt::Key_Backspace, Qt::AltModifier);
    EXPECT_NE(Text(), "Grüße\na");
}

TEST_F(RtfEditInput, DeadKeysArriveThroughTheInputMethod)
{
    Type("caf");
    QInputMethodEvent preedit(QString::fromUtf8("´"), {});
    QApplication::sendEvent(Rtf.get(), &preedit);
    EXPECT_EQ(Text(), "caf");
    QInputMethodEvent commit;
    commit.setCommitString(QString::fromUtf8("é"));
    QApplication::sendEvent(Rtf.get(), &commit);
    EXPECT_EQ(Text(), "café");
    // The input method is told where the caret is.
    const QRect caret = Rtf->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    EXPECT_GT(caret.height(), 4);
    EXPECT_GT(caret.x(), PointOf(0).x());
}

TEST_F(RtfEditInput, ShiftReturnBreaksTheLineAndCtrlShortcutsNeedShiftUp)
{
    Type("ab");
    QTest::keyClick(Rtf.get(), Qt::Key_Return, Qt::ShiftModifier);
    Type("c");
    ASSERT_NE(E()->FirstPar, nullptr);
    EXPECT_EQ(E()->FirstPar->Next, nullptr);
    EXPECT_EQ(Text(), "ab\nc");   // one paragraph holding a line feed
    // Ctrl+A selects everything; Shift+Ctrl+A does not.
    Key(Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Selection().second, 0);
    Key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Selection(), std::make_pair(0, 4));
    // Escape drops the selection.
    Key(Qt::Key_Escape);
    EXPECT_EQ(Selection().second, 0);
}

TEST_F(RtfEditInput, KeysMoveAndSelect)
{
    Type("one two three");
    Key(Qt::Key_Home);
    EXPECT_EQ(E()->GetCursorCharPos(), 0);
    Key(Qt::Key_Right, Qt::ShiftModifier);
    Key(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(Selection(), std::make_pair(0, 2));
    Key(Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Selection().first, 0);
    EXPECT_EQ(Selection().second, 4);
    Key(Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(Selection(), std::make_pair(0, 13));
    // A move without Shift drops the selection.
    Key(Qt::Key_Left);
    EXPECT_EQ(Selection().second, 0);
    // Ctrl+Backspace deletes the word before the cursor.
    Key(Qt::Key_End);
    Key(Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(Text(), "one two ");
    // Typing over a selection replaces it.
    Key(Qt::Key_Home);
    Key(Qt::Key_End, Qt::ShiftModifier);
    Type("x");
    EXPECT_EQ(Text(), "x");
}

TEST_F(RtfEditInput, TabMovesBetweenCellsAndAutoInsertsARow)
{
    Rtf->InsertTable(2, 1, true);
    SCOPED_TRACE(Text());
    Type("a");
    Key(Qt::Key_Tab);
    Type("b");
    TParagraph* first = E()->FirstPar;
    ASSERT_TRUE(first->Flags & parfTableCell);
    EXPECT_EQ(first->Lines->Chars[0], 'a');
    ASSERT_TRUE(first->Next && (first->Next->Flags & parfTableCell));
    EXPECT_EQ(first->Next->Lines->Chars[0], 'b');
    Key(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(E()->CursorPos, 0);
    EXPECT_EQ(E()->CursorLine->Chars[0], 'a');
    int32_t cells = 0;
    for (TParagraph* p = E()->FirstPar; p; p = p->Next)
        cells += (p->Flags & parfTableCell) ? 1 : 0;
    EXPECT_EQ(cells, 2);
    Rtf->SetEditOptions(E()->EditOptions | TRtEditOptions{rtAutoInsertRow});
    Key(Qt::Key_Tab);
    Key(Qt::Key_Tab);
    cells = 0;
    for (TParagraph* p = E()->FirstPar; p; p = p->Next)
        cells += (p->Flags & parfTableCell) ? 1 : 0;
    EXPECT_EQ(cells, 4);
}

TEST_F(RtfEditInput, MouseClickDoubleClickAndShiftClickSelect)
{
    Type("alpha beta gamma");
    QTest::mouseClick(Rtf->viewport(), Qt::LeftButton, {}, PointOf(7));
    EXPECT_EQ(E()->GetCursorCharPos(), 7);
    EXPECT_EQ(Selection().second, 0);
    QTest::mouseClick(Rtf->viewport(), Qt::LeftButton, Qt::ShiftModifier, PointOf(14));
    EXPECT_EQ(Selection(), std::make_pair(7, 7));
    QTest::mouseDClick(Rtf->viewport(), Qt::LeftButton, {}, PointOf(12));
    EXPECT_EQ(Selection(), std::make_pair(11, 5));   // "gamma"
    // Dragging with the button down selects from the press point.
    QTest::mouseClick(Rtf->viewport(), Qt::LeftButton, {}, PointOf(0));
    QTest::mousePress(Rtf->viewport(), Qt::LeftButton, {}, PointOf(1));
    QMouseEvent move(QEvent::MouseMove, PointOf(5), Rtf->viewport()->mapToGlobal(PointOf(5)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Rtf->viewport(), &move);
    QTest::mouseRelease(Rtf->viewport(), Qt::LeftButton, {}, PointOf(5));
    EXPECT_EQ(Selection(), std::make_pair(1, 4));
}

TEST_F(RtfEditInput, DraggedTextMovesWithinTheControl)
{
    Type("one two three");
    E()->SetSelection(3, 4);   // " two"
    const QPoint end = PointOf(13);
    EXPECT_TRUE(Rtf->MoveSelectionTo(E()->ScreenToDoc(end.x() + 2), E()->ScreenToDoc(end.y())));
    EXPECT_EQ(Text(), "one three two");
    // Dropped in front of a word, a space keeps the two apart.
    E()->SetSelection(9, 4);   // " two"
    const QPoint start = PointOf(0);
    EXPECT_TRUE(Rtf->MoveSelectionTo(E()->ScreenToDoc(start.x()), E()->ScreenToDoc(start.y())));
    EXPECT_EQ(Text(), " two one three");
    // A drop inside the selection does nothing.
    E()->SetSelection(1, 3);
    const QPoint inside = PointOf(2);
    EXPECT_FALSE(Rtf->MoveSelectionTo(E()->ScreenToDoc(inside.x()), E()->ScreenToDoc(inside.y())));
    EXPECT_EQ(Text(), " two one three");
    // Undo takes the moves back.
    for (int i = 0; i < 6 && Text() != "one two three"; ++i)
        Rtf->Undo();
    EXPECT_EQ(Text(), "one two three");
}

TEST_F(RtfEditInput, ReadOnlyTextTakesNoKeysAndAPaintLockDrawsNothing)
{
    Type("ab");
    Rtf->ReadOnly = true;
    Type("cd");
    Key(Qt::Key_Backspace);
    EXPECT_EQ(Text(), "ab");
    Rtf->ReadOnly = false;
    const QImage before = Rtf->viewport()->grab().toImage();
    Rtf->PaintLock = 1;
    Type("X");
    QApplication::processEvents();
    EXPECT_EQ(Text(), "abX");
    Rtf->PaintLock = 0;
    EXPECT_NE(Rtf->viewport()->grab().toImage(), before);
}

TEST_F(RtfEditInput, LimitedTextHeightRefusesFurtherChanges)
{
    E()->EditBoxModes.Include(rtemLimitTextHeight);
    for (int i = 0; i < 40; ++i)
        Key(Qt::Key_Return);
    const std::string full = Text();
    EXPECT_LT(std::count(full.begin(), full.end(), '\n'), 40);
    Type("x");
    EXPECT_EQ(Text(), full);
}

}  // namespace
