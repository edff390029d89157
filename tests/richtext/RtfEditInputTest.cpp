// Keys, characters, the input method and the mouse of the edit control,
// driven with QTest on the offscreen platform.
#include "RtControlTestSupport.h"

#include "RtHeaderFooter.h"
#include "RtObject.h"
#include "RtUndo.h"

#include <QClipboard>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <tuple>

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
    // A character no Windows charset holds is refused with a beep, not mangled.
    const int beeps = TestPlatform().Beeps;
    QKeyEvent emoji(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("😀"));
    QApplication::sendEvent(Rtf.get(), &emoji);
    EXPECT_EQ(Text(), "Grüße €5\na");
    EXPECT_EQ(TestPlatform().Beeps, beeps + 1);
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
    // Shift+Up on the text's first line and Shift+Down on its last extend to the text's ends.
    Key(Qt::Key_Left);
    Key(Qt::Key_Left);
    Key(Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(Selection(), std::make_pair(0, 6));
    Key(Qt::Key_Right);
    Key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(Selection(), std::make_pair(1, 7));
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

TEST_F(RtfEditInput, UndoTakesEachStepBackInTheTextItWasTypedIn)
{
    // The header is edited through its own item: undo leaves it for the body's steps.
    Type("body");
    Type("X");
    TRtSpecialTextProperty* header = E()->GetOrAddHeaderFooter(rtraOnAllPages, rtIsHeader);
    header->SetEditing(true);
    Type("hdr");
    // A new first paragraph and the old one joined away: the item gives the chain as it is.
    Key(Qt::Key_Home);
    Key(Qt::Key_Return);
    Key(Qt::Key_Up);
    Key(Qt::Key_Delete);
    EXPECT_EQ(header->Paragraphs(), E()->FirstPar);
    Rtf->viewport()->repaint();
    QApplication::processEvents();
    ASSERT_EQ(Text(), "hdr");
    for (int i = 0; i < 5; ++i)
        Key(Qt::Key_Z, Qt::ControlModifier);
    if (header->Editing())
        header->SetEditing(false);
    EXPECT_EQ(Text(), "");
    EXPECT_TRUE(header->IsEmpty()) << ParString(header->Paragraphs());
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

TEST_F(RtfEditInput, TableOnlyEditingLeavesTextOutsideTablesAlone)
{
    Type("abc def");
    Rtf->SetEditOptions(E()->EditOptions | TRtEditOptions{rtNoEditOutsideTable});
    E()->SetSelection(0, 3);
    Key(Qt::Key_Backspace);
    E()->SetSelection(0, 3);
    Key(Qt::Key_Delete);
    Key(Qt::Key_End);
    Key(Qt::Key_Backspace, Qt::ControlModifier);
    Key(Qt::Key_Home);
    Key(Qt::Key_Delete, Qt::ControlModifier);
    Type("x");
    EXPECT_EQ(Text(), "abc def");
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

namespace {

TEST_F(RtfEditInput, DraggingATableBorderResizesTheColumn)
{
    Rtf->InsertTable(2, 2, true);
    QApplication::processEvents();
    TParagraph* cell = E()->FirstPar;
    while (cell && !(cell->Flags & parfTableCell))
        cell = cell->Next;
    ASSERT_NE(cell, nullptr);
    const int32_t width = cell->Cell->Width;
    int32_t left = 0, w = 0;
    E()->GetCellPosition(cell, left, w);
    const int32_t x = E()->DocToScreen(left + w + E()->LeftX) + 1;
    const int32_t y = E()->DocToScreen(cell->Lines->Top - E()->TopY + 5);
    int moves = 0;
    Rtf->OnMouseMove = [&](TObject*, Qt::MouseButton, Qt::KeyboardModifiers, int32_t, int32_t) { ++moves; };
    QMouseEvent hover(QEvent::MouseMove, QPointF(x, y), Rtf->viewport()->mapToGlobal(QPointF(x, y)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(Rtf->viewport(), &hover);
    EXPECT_EQ(Rtf->viewport()->cursor().shape(), Qt::SplitHCursor);
    QTest::mousePress(Rtf->viewport(), Qt::LeftButton, {}, QPoint(x, y));
    QMouseEvent drag(QEvent::MouseMove, QPointF(x + 60, y), Rtf->viewport()->mapToGlobal(QPointF(x + 60, y)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Rtf->viewport(), &drag);
    QTest::mouseRelease(Rtf->viewport(), Qt::LeftButton, {}, QPoint(x + 60, y));
    EXPECT_GT(int32_t(cell->Cell->Width), width);
    EXPECT_TRUE(Rtf->TableLayoutChanged);
    EXPECT_EQ(moves, 0);   // no OnMouseMove while over or dragging a border
    // Both rows' cells moved together.
    TParagraph* below = cell->Next->Next;
    ASSERT_TRUE(below && below->Cell);
    EXPECT_EQ(below->Cell->Width, cell->Cell->Width);
    // One undo step takes the drag back (the cells are restored as new records).
    Rtf->Undo();
    cell = E()->FirstPar;
    while (cell && !(cell->Flags & parfTableCell))
        cell = cell->Next;
    ASSERT_TRUE(cell && cell->Cell);
    EXPECT_EQ(int32_t(cell->Cell->Width), width);
}

TEST_F(RtfEditInput, RightButtonHandsTheWordToItsHandler)
{
    Type("one speling two");
    Rtf->OnMouseDownRight = [](TObject*, Qt::MouseButton, Qt::KeyboardModifiers, int32_t, int32_t, int32_t Pos,
                               int32_t Len, AnsiString& Text, TAttr& Attr) {
        EXPECT_EQ(Pos, 4);
        EXPECT_EQ(Len, 7);
        EXPECT_EQ(Text, "speling");
        Text = "spelling";
        Attr.Style.Include(afsBold);
    };
    QTest::mouseClick(Rtf->viewport(), Qt::RightButton, {}, PointOf(6));
    EXPECT_EQ(Text(), "one spelling two");
    TParagraph* par = nullptr;
    TLine* line = nullptr;
    int32_t col = 0;
    E()->FindAbsPos(6, 0, col, line, par);
    EXPECT_TRUE(line->Attrs[col].Style.Has(afsBold));
    EXPECT_FALSE(line->Attrs[1].Style.Has(afsBold));
}

TEST_F(RtfEditInput, ClickOnAnEmbeddedObjectGoesToItsEvents)
{
    QImage img(40, 40, QImage::Format_RGB32);
    img.fill(Qt::blue);
    QTemporaryDir dir;
    ASSERT_TRUE(img.save(dir.filePath("p.png")));
    Type("ab");
    ASSERT_TRUE(Rtf->InsertFile(dir.filePath("p.png")));
    Type("cd");
    QApplication::processEvents();
    int downs = 0, objectDowns = 0, clicks = 0, selects = 0;
    Rtf->OnMouseDown = [&](TObject*, Qt::MouseButton, Qt::KeyboardModifiers, int32_t, int32_t) { ++downs; };
    Rtf->OnTextObjectMouseDown = [&](TObject*, TTextObj* Entry, TRtObjectBase* Obj, Qt::MouseButton,
                                     Qt::KeyboardModifiers, int32_t, int32_t) {
        EXPECT_EQ(Entry->Object, Obj);
        ++objectDowns;
    };
    Rtf->OnTextObjectClick = [&](TObject*, TTextObj*, TRtObjectBase*, bool&) { ++clicks; };
    Rtf->OnTextObjectSelect = [&](TObject*, TTextObj*, TRtObjectBase*, bool) { ++selects; };
    const QPoint at = PointOf(2);
    const QPoint inside(at.x() + E()->DocToScreen(10), at.y());
    ASSERT_NE(Rtf->FindTextObjectAt(inside.x(), inside.y()), nullptr);
    const int32_t cursor = E()->GetCursorCharPos();
    QTest::mouseClick(Rtf->viewport(), Qt::LeftButton, {}, inside);
    EXPECT_EQ(objectDowns, 1);
    EXPECT_EQ(downs, 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(selects, 1);
    EXPECT_EQ(E()->GetCursorCharPos(), cursor);   // no cursor placement
    // The selected object copies as its picture and cuts away.
    ASSERT_NE(E()->SelectedObject, nullptr);
    Rtf->CopyToClipboard();
    const QImage copied = qvariant_cast<QImage>(QGuiApplication::clipboard()->mimeData()->imageData());
    ASSERT_FALSE(copied.isNull());
    EXPECT_EQ(copied.pixelColor(copied.width() / 2, copied.height() / 2), QColor(Qt::blue));
    Rtf->CutToClipboard();
    EXPECT_EQ(Text(), "abcd");
    Rtf->Undo();
    EXPECT_EQ(Text().size(), 5u);
    // Without object selecting the click places the cursor.
    Rtf->SetEditOptions(E()->EditOptions - TRtEditOptions{rtObjectSelecting});
    QTest::mouseClick(Rtf->viewport(), Qt::LeftButton, {}, PointOf(1));
    EXPECT_EQ(downs, 1);
    EXPECT_EQ(objectDowns, 1);
}

}  // namespace

namespace {

// Counts the control's posted automatic-zoom messages.
struct TZoomCounter : QObject {
    bool eventFilter(QObject*, QEvent* Event) override
    {
        if (Event->type() == QEvent::Type(QEvent::User + RtEventAutoZoom))
            ++Count;
        return false;
    }
    int Count = 0;
};

TEST_F(RtfEditInput, ObjectMouseMovesCarryTheButtonOfTheLastMouseDown)
{
    QImage img(40, 40, QImage::Format_RGB32);
    img.fill(Qt::green);
    Type("ab");
    ASSERT_TRUE(Rtf->InsertPicture(img));
    QApplication::processEvents();
    const QPoint at = PointOf(2);
    const QPoint inside(at.x() + E()->DocToScreen(10), at.y());
    ASSERT_NE(Rtf->FindTextObjectAt(inside.x(), inside.y()), nullptr);
    std::vector<Qt::MouseButton> moves;
    Rtf->OnTextObjectMouseMove = [&](TObject*, TTextObj*, TRtObjectBase*, Qt::MouseButton Button,
                                     Qt::KeyboardModifiers, int32_t, int32_t) { moves.push_back(Button); };
    auto moveOver = [&] {
        QMouseEvent move(QEvent::MouseMove, inside, Rtf->viewport()->mapToGlobal(inside), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(Rtf->viewport(), &move);
    };
    for (Qt::MouseButton button : {Qt::RightButton, Qt::LeftButton}) {
        QTest::mouseClick(Rtf->viewport(), button, {}, inside);
        moveOver();
    }
    EXPECT_EQ(moves, (std::vector<Qt::MouseButton>{Qt::RightButton, Qt::LeftButton}));
}

TEST_F(RtfEditInput, ResizesWithAutomaticZoomPostOneZoom)
{
    Rtf->SetWordWrap(false);
    Rtf->SetAutoZoom(rtAutoZoomWidth);
    const int32_t first = Rtf->Zooming();
    TZoomCounter counter;
    Rtf->installEventFilter(&counter);
    for (int w = 300; w <= 700; w += 100)
        Rtf->resize(w, 300);
    QApplication::processEvents();
    EXPECT_EQ(counter.Count, 1);
    EXPECT_GT(Rtf->Zooming(), first);
    // The page width fills the client width: zoom = width x 100 / (page pixels + 10).
    const TTextHeader* h = E()->Header();
    const int32_t page = (h->PageWidth() - h->LeftMargin() - h->RightMargin()) * 96 / 1440;
    EXPECT_EQ(Rtf->Zooming(), std::clamp(Rtf->viewport()->width() * 100 / (page + 10), 10, 1000));
    Rtf->removeEventFilter(&counter);
}

TEST_F(RtfEditInput, AssignCopiesTheWholeText)
{
    Type(QString::fromUtf8("Grüße"));
    uint8_t state = rtcmdClick;
    E()->SetSelection(0, 2);
    Rtf->Execute(256, 2, state);
    TRtRichText copy;
    copy.Assign(*Rtf);
    TRtRTFTextInput* c = copy.RtfText();
    ASSERT_NE(c->FirstPar, nullptr);
    EXPECT_EQ(fromAnsi(AnsiString(reinterpret_cast<const char*>(c->FirstPar->Lines->Chars), c->FirstPar->Lines->Length)),
              QString::fromUtf8("Grüße"));
    EXPECT_TRUE(c->FirstPar->Lines->Attrs[0].Style.Has(afsBold));
    EXPECT_FALSE(c->FirstPar->Lines->Attrs[3].Style.Has(afsBold));
}

}  // namespace

namespace {

TEST_F(RtfEditInput, TheKeyPressHookMayReplaceTheTypedCharacter)
{
    Rtf->OnKeyPress = [](TObject*, char32_t& Key) {
        if (Key == U'a')
            Key = U'b';
    };
    Type("xa");
    Type("aa");
    EXPECT_EQ(Text(), "xbbb");
}

TEST_F(RtfEditInput, MaximumLengthStopsTyping)
{
    Rtf->SetMaxLength(8);
    Type("abcdefghijk");
    const std::string typed = Text();
    EXPECT_LT(typed.size(), 8u);
    EXPECT_GT(typed.size(), 3u);
    Rtf->SelectAll();
    Key(Qt::Key_Delete);
    Rtf->InsertString("0123456789");
    // A string takes as much room as typing it would.
    EXPECT_EQ(Text(), std::string("0123456789").substr(0, typed.size()));
    Rtf->SetMaxLength(0);
    Type("xyz");
    EXPECT_EQ(Text().size(), typed.size() + 3);
}

}  // namespace

namespace {

TEST_F(RtfEditInput, ClaimsItsOwnShortcutsOnly)
{
    auto claims = [](int Key, Qt::KeyboardModifiers Mods) {
        QKeyEvent e(QEvent::ShortcutOverride, Key, Mods);
        return TRtCustomRtfEdit::ClaimsShortcut(e);
    };
    for (int key : {Qt::Key_Z, Qt::Key_Y, Qt::Key_C, Qt::Key_V, Qt::Key_X, Qt::Key_A, Qt::Key_Left})
        EXPECT_TRUE(claims(key, Qt::ControlModifier)) << key;
    EXPECT_TRUE(claims(Qt::Key_A, Qt::NoModifier));
    EXPECT_TRUE(claims(Qt::Key_Delete, Qt::ShiftModifier));
    EXPECT_TRUE(claims(Qt::Key_Backspace, Qt::AltModifier));
    EXPECT_FALSE(claims(Qt::Key_S, Qt::ControlModifier));
    EXPECT_FALSE(claims(Qt::Key_P, Qt::ControlModifier));
    EXPECT_FALSE(claims(Qt::Key_F5, Qt::NoModifier));
    EXPECT_FALSE(claims(Qt::Key_F, Qt::AltModifier));
    // A window shortcut on Ctrl+Z does not fire while the editor has the focus; Ctrl+S does.
    QWidget window;
    auto* edit = new TRtRichText(&window);
    int undoShortcut = 0, saveShortcut = 0;
    auto* undo = new QAction(&window);
    undo->setShortcut(QKeySequence("Ctrl+Z"));
    QObject::connect(undo, &QAction::triggered, [&] { ++undoShortcut; });
    auto* save = new QAction(&window);
    save->setShortcut(QKeySequence("Ctrl+S"));
    QObject::connect(save, &QAction::triggered, [&] { ++saveShortcut; });
    window.addAction(undo);
    window.addAction(save);
    window.show();
    QApplication::setActiveWindow(&window);
    edit->setFocus();
    QApplication::processEvents();
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(undoShortcut, 0);
    EXPECT_EQ(saveShortcut, 1);
}

}  // namespace

namespace {

TEST_F(RtfEditInput, AClickInsideTheSelectionWaitsForADrag)
{
    Type("alpha beta gamma");
    E()->SetSelection(6, 4);
    E()->Refresh();
    std::vector<std::string> events;
    Rtf->OnMouseDown = [&](TObject*, Qt::MouseButton, Qt::KeyboardModifiers, int32_t, int32_t) {
        events.push_back("down");
    };
    Rtf->OnMouseUp = [&](TObject*, Qt::MouseButton, Qt::KeyboardModifiers, int32_t, int32_t) {
        events.push_back("up");
    };
    const QPoint p = PointOf(7);
    QTest::mousePress(Rtf->viewport(), Qt::LeftButton, {}, p);
    EXPECT_EQ(events, std::vector<std::string>{"down"});
    EXPECT_EQ(Selection(), std::make_pair(6, 4));   // still selected: a drag may follow
    // Three pixels right and three down are 6 units: no drag starts.
    QMouseEvent move(QEvent::MouseMove, QPointF(p.x() + 3, p.y() + 3), Rtf->viewport()->mapToGlobal(QPointF(p + QPoint(3, 3))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Rtf->viewport(), &move);
    QTest::mouseRelease(Rtf->viewport(), Qt::LeftButton, {}, p + QPoint(3, 3));
    EXPECT_EQ(events, (std::vector<std::string>{"down", "down", "up"}));
    EXPECT_EQ(Selection().second, 0);   // the click placed the cursor after all
}

}  // namespace

namespace {

using RtfEditCharsets = RtControlTest;

// A typed character the current font's charset cannot hold switches to the
// font's entry of a charset that can; the text goes on in that entry.
TEST_F(RtfEditCharsets, TypedLettersSwitchToTheFontsEntryOfTheirCharset)
{
    Type(QString::fromUtf8("Łódź Ωμέγα Жук"));
    EXPECT_EQ(Text(), "Łódź Ωμέγα Жук");
    TTextHeader* h = E()->Header();
    const TLine* l = E()->FirstPar->Lines;
    const int32_t charsets[] = {238, 238, 238, 238, 238, 161, 161, 161, 161, 161, 161, 204, 204, 204};
    for (int i = 0; i < l->Length; ++i) {
        EXPECT_EQ(h->FontCharset(l->Attrs[i].Font), charsets[i]) << i;
        EXPECT_EQ(h->GetFontName(l->Attrs[i].Font), "Liberation Sans") << i;
    }
    // Switched off: the character is refused with a beep.
    Rtf->SetEditOptions(E()->EditOptions | TRtEditOptions{rtDeactivateCharsetSwitching});
    Key(Qt::Key_End);
    Type(" ");
    const int beeps = TestPlatform().Beeps;
    Type(QString::fromUtf8("ß"));
    EXPECT_EQ(Text(), "Łódź Ωμέγα Жук ");
    EXPECT_EQ(TestPlatform().Beeps, beeps + 1);
}

// Words of the input method in a double-byte charset: each character is a
// lead and a trail byte, measured and stepped over as one.
TEST_F(RtfEditCharsets, InputMethodTextOfDoubleByteCharsets)
{
    QInputMethodEvent preedit(QString::fromUtf8("にほんご"), {});
    QApplication::sendEvent(Rtf.get(), &preedit);
    QInputMethodEvent commit;
    commit.setCommitString(QString::fromUtf8("日本語"));
    QApplication::sendEvent(Rtf.get(), &commit);
    QApplication::processEvents();
    EXPECT_EQ(Text(), "日本語");
    const TLine* l = E()->FirstPar->Lines;
    ASSERT_EQ(l->Length, 6);
    EXPECT_EQ(E()->Header()->FontCharset(l->Attrs[0].Font), 128);
    for (int i = 0; i < 6; i += 2) {
        EXPECT_TRUE(l->Attrs[i].Style.Has(afsDBCSOne)) << i;
        EXPECT_TRUE(l->Attrs[i + 1].Style.Has(afsDBCSTwo)) << i;
        EXPECT_GT(l->Attrs[i].Width, 5) << i;  // the pair's width but one unit
        EXPECT_EQ(l->Attrs[i + 1].Width, 1) << i;
    }
    Key(Qt::Key_Home);
    Key(Qt::Key_Right);
    EXPECT_EQ(E()->CursorPos, 2);
    Key(Qt::Key_Backspace);
    EXPECT_EQ(Text(), "本語");
    // Korean goes into its own entry; the Japanese one stays for the Japanese text.
    Key(Qt::Key_End);
    QInputMethodEvent korean;
    korean.setCommitString(QString::fromUtf8("한국"));
    QApplication::sendEvent(Rtf.get(), &korean);
    EXPECT_EQ(Text(), "本語한국");
    EXPECT_EQ(E()->Header()->FontCharset(E()->FirstPar->Lines->Attrs[4].Font), 129);
}

// A font chosen for mixed Latin-1 and double-byte text: each character keeps its charset, the
// pairs keep their lead and trail marks, and a position on a Latin letter stays on it.
TEST_F(RtfEditCharsets, AFontChosenForMixedTextKeepsTheDoubleBytePairs)
{
    Type(QString::fromUtf8("üß日本"));
    ASSERT_EQ(Text(), "üß日本");
    TTestPosition kept;
    E()->Positions().Add(kept.Par, kept.Line, kept.Pos);
    kept = {E()->FirstPar, E()->FirstPar->Lines, 1};
    // Selected from the start, the cursor after the double-byte text; then from the end, the cursor
    // before the Latin letters.
    for (const char* font : {"DejaVu Sans", "Liberation Serif"}) {
        SCOPED_TRACE(font);
        const bool fromStart = std::string(font) == "DejaVu Sans";
        Key(fromStart ? Qt::Key_Home : Qt::Key_End);
        Key(fromStart ? Qt::Key_End : Qt::Key_Home, Qt::ShiftModifier);
        ASSERT_EQ(Selection().second, 6);
        Rtf->ExecuteValue(11 * 256, 1, 0, font);
        EXPECT_EQ(Text(), "üß日本");
        const TLine* l = E()->FirstPar->Lines;
        ASSERT_EQ(l->Length, 6);
        TTextHeader* h = E()->Header();
        for (int i = 0; i < l->Length; ++i) {
            EXPECT_EQ(h->GetFontName(l->Attrs[i].Font), font) << i;
            EXPECT_EQ(h->FontCharset(l->Attrs[i].Font), i < 2 ? 0 : 128) << i;
            EXPECT_EQ(l->Attrs[i].Style.Has(afsDBCSOne), i >= 2 && i % 2 == 0) << i;
            EXPECT_EQ(l->Attrs[i].Style.Has(afsDBCSTwo), i >= 2 && i % 2 == 1) << i;
        }
        EXPECT_EQ(kept.Line, l);
        EXPECT_EQ(kept.Pos, 1);  // on "ß"
    }
    E()->Positions().Remove(&kept, sizeof(kept));
}

TEST_F(RtfEditInput, AShiftArrowSelectionIsPaintedOverAllItsCharacters)
{
    E()->HighlightColor = 0x00FF00;
    // The painted width of the highlight, in pixel columns.
    auto highlighted = [&] {
        Rtf->viewport()->repaint();
        const QImage shot = Rtf->viewport()->grab().toImage();
        int columns = 0;
        for (int x = 0; x < shot.width(); ++x)
            for (int y = 0; y < shot.height(); ++y)
                if (shot.pixelColor(x, y) == QColor(0, 255, 0)) {
                    ++columns;
                    break;
                }
        return columns;
    };
    Type("abcdefgh");
    E()->SetSelection(1, 4);
    const int expected = highlighted();
    ASSERT_GT(expected, 20);
    Key(Qt::Key_Home);
    Key(Qt::Key_Right);
    for (int i = 0; i < 5; ++i)
        Key(Qt::Key_Right, Qt::ShiftModifier);
    Key(Qt::Key_Left, Qt::ShiftModifier);
    ASSERT_EQ(Selection(), std::make_pair(1, 4));
    EXPECT_EQ(highlighted(), expected);
}

// Keys waiting in the queue while the control is busy.
void QueueKeys(QWidget* Target, const QString& Keys)
{
    for (QChar c : Keys) {
        const int key = c == QChar(0x2190) ? int(Qt::Key_Left) : int(c.toUpper().unicode());
        const QString text = c == QChar(0x2190) ? QString() : QString(c);
        QCoreApplication::postEvent(Target, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
        QCoreApplication::postEvent(Target, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, text));
    }
}

// The queue worked off, with what its events post in turn.
void Settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

TEST_F(RtfEditInput, TypeAheadReplaysWaitingKeysInOrder)
{
    int changes = 0;
    Rtf->OnChange = [&](TObject*) { ++changes; };
    // Off by default: every key is inserted as it arrives.
    EXPECT_FALSE(Rtf->TypeAhead);
    QueueKeys(Rtf.get(), "abc");
    Settle();
    EXPECT_EQ(Text(), "abc");
    EXPECT_EQ(changes, 3);
    // On: the waiting keys go in together, in order; a cursor key between
    // them first puts in what came before it.
    Rtf->TypeAhead = true;
    changes = 0;
    QueueKeys(Rtf.get(), QString("def") + QChar(0x2190) + "gh");
    Settle();
    EXPECT_EQ(Text(), "abcdeghf");
    EXPECT_EQ(changes, 2);
    // At most ten wait; a word's end is in place before hyperlink detection runs.
    Rtf->SetEditOptions(E()->EditOptions | TRtEditOptions{rtAutoDetectHyperlinks, rtActivateUndo});
    changes = 0;
    int saves = 0;
    Rtf->SaveForUNDO = [&](TObject*) { ++saves; };
    Key(Qt::Key_End);
    QueueKeys(Rtf.get(), " www.example.org more");
    Settle();
    EXPECT_EQ(Text(), "abcdeghf www.example.org more");
    EXPECT_GE(changes, 3);
    EXPECT_EQ(saves, changes);  // every change begun is ended
    Rtf->SaveForUNDO = nullptr;
    EXPECT_TRUE(AttrAt(12)->Style.Has(afsHyperLink));
    // A click puts the waiting characters in first.
    Type("!");
    QTest::mouseClick(Rtf->viewport(), Qt::LeftButton, {}, PointOf(0));
    EXPECT_EQ(Text(), "abcdeghf www.example.org more!");
    // Letters of another charset wait too and keep their font entry.
    Key(Qt::Key_End);
    QueueKeys(Rtf.get(), QString::fromUtf8(" Łódź"));
    Settle();
    EXPECT_EQ(Text(), "abcdeghf www.example.org more! Łódź");
    EXPECT_EQ(E()->Header()->FontCharset(AttrAt(31)->Font), EASTEUROPE_CHARSET);
}

TEST_F(RtfEditInput, KeysTypedAheadGoWithTheTextTheyWereTypedInto)
{
    // Keys wait; the text is then set, cleared or loaded: they do not land in the next text.
    Rtf->TypeAhead = true;
    const std::function<void()> replacements[] = {
        [&] { Rtf->SetText("{\\rtf1 other}"); },
        [&] { Rtf->Clear(); },
        [&] { Rtf->SetText(""); },
        [&] {
            TMemoryStream stream;
            const std::string rtf = "{\\rtf1 other}";
            stream.WriteBuffer(rtf.data(), int32_t(rtf.size()));
            stream.SetPosition(0);
            Rtf->LoadFromStream(&stream, "RTF");
        },
    };
    const char* const texts[] = {"other", "", "", "other"};
    for (size_t i = 0; i < std::size(replacements); ++i) {
        Rtf->SetText("{\\rtf1 first}");
        Key(Qt::Key_End);
        Type("abc");
        replacements[i]();
        Settle();
        EXPECT_EQ(Text(), texts[i]) << i;
    }
}

} // namespace

namespace {

TEST_F(RtfEditInput, ObjectsLiveInTheControlsWindowAndShowTheMouse)
{
    Type("a");
    QImage picture(40, 40, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(Rtf->InsertPicture(picture));
    Type("b");
    ASSERT_EQ(E()->Objects().size(), 1u);
    auto* obj = dynamic_cast<TRtObject*>(E()->Objects()[0]);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->ParentWindow(), Rtf->viewport());
    // A loaded text's objects too.
    E()->TextSaveFormat = "RTF";
    TRtRichText other;
    other.SetText(Rtf->GetTextAsString());
    ASSERT_EQ(other.RtfText()->Objects().size(), 1u);
    EXPECT_EQ(dynamic_cast<TRtObject*>(other.RtfText()->Objects()[0])->ParentWindow(), other.viewport());
    // The object under the mouse is hot until the mouse leaves it.
    E()->UpdateLayout();
    const QPoint over = PointOf(1) + QPoint(10, 0);
    QMouseEvent move(QEvent::MouseMove, over, Rtf->viewport()->mapToGlobal(over), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(Rtf->viewport(), &move);
    EXPECT_TRUE(obj->HotFlag());
    const QPoint away = PointOf(0);
    QMouseEvent leave(QEvent::MouseMove, away, Rtf->viewport()->mapToGlobal(away), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(Rtf->viewport(), &leave);
    EXPECT_FALSE(obj->HotFlag());
    // A frame that moves its object reaches the control's event once, with the control as sender.
    std::vector<std::tuple<TObject*, TTextObj*, int32_t, int32_t>> moves;
    Rtf->OnTextObjectMove = [&](TObject* Sender, TTextObj* Entry, int32_t X, int32_t Y) {
        moves.emplace_back(Sender, Entry, X, Y);
    };
    ASSERT_TRUE(E()->OnObjectMove);
    E()->OnObjectMove(E()->OwnerControl, nullptr, 30, 40);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(std::get<0>(moves[0]), Rtf.get());
    EXPECT_EQ(std::get<2>(moves[0]), 30);
    EXPECT_EQ(std::get<3>(moves[0]), 40);
}

} // namespace
