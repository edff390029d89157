// Positions kept across calls (the engine's, the finder's, the frame's, the
// body's while a header is edited, object anchors, the selected object) are
// moved or cleared by the edits that free or move what they point at. Run
// under AddressSanitizer (LUMI_SANITIZE) a holder left behind is a report.
#include "RtControlTestSupport.h"

#include "RtFrameObject.h"
#include "RtObject.h"
#include "RtObjectEnv.h"
#include "RtTextFinder.h"

#include <QClipboard>
#include <QTemporaryDir>

#include <cstring>

namespace {

using RtLivePositions = RtControlTest;

bool LivePar(TRtRTFText* Text, const TParagraph* Par)
{
    for (TParagraph* p = Text->FirstPar; p; p = p->Next)
        if (p == Par)
            return true;
    return false;
}

// Null, or a paragraph of the text with Line one of its lines and Pos inside it.
::testing::AssertionResult LivePosition(TRtRTFText* Text, const TParagraph* Par, const TLine* Line, int32_t Pos)
{
    if (!Par)
        return ::testing::AssertionSuccess();
    if (!LivePar(Text, Par))
        return ::testing::AssertionFailure() << "paragraph no longer in the text";
    if (!Line)
        return ::testing::AssertionSuccess();
    for (const TLine* l = Par->Lines; l; l = l->Next)
        if (l == Line)
            return Pos >= 0 && Pos <= l->Length ? ::testing::AssertionSuccess()
                                                : ::testing::AssertionFailure() << "offset " << Pos << " beyond the line";
    return ::testing::AssertionFailure() << "line no longer in the paragraph";
}

// The text's characters, paragraphs ended by "\n" but the last.
std::string TextBytes(TRtRTFText* Text)
{
    std::string s;
    for (const TParagraph* p = Text->FirstPar; p; p = p->Next)
        s += ParString(p) + (p->Next ? "\n" : "");
    return s;
}

TEST_F(RtLivePositions, KeptPositionsFollowTypingAndDeletingInTheirLine)
{
    // A kept position stays on its character whatever is typed or deleted before it; one in a
    // deleted range goes to the range's start, also when the range is the whole line.
    const std::string latin = "{\\rtf1 abcdef}";
    const std::string cjk = "{\\rtf1{\\fonttbl{\\f1\\fcharset128 MS Gothic;}}\\f1 \\'93\\'fa\\'96\\'7bab}";
    struct TCase {
        const char* Name;
        const std::string& Rtf;
        int32_t Kept, Start, Length;
        std::function<void()> Edit;
        int32_t Offset;
        std::string Text;
    };
    const TCase cases[] = {
        {"typed before", latin, 4, 1, 0, [&] { Type("x"); }, 5, "axbcdef"},
        {"typed where it is", latin, 4, 4, 0, [&] { Type("x"); }, 5, "abcdxef"},
        {"typed behind", latin, 4, 5, 0, [&] { Type("x"); }, 4, "abcdexf"},
        {"Delete before", latin, 4, 1, 0, [&] { Key(Qt::Key_Delete); }, 3, "acdef"},
        {"Backspace before", latin, 4, 2, 0, [&] { Key(Qt::Key_Backspace); }, 3, "acdef"},
        {"Backspace before the line's end", latin, 6, 2, 0, [&] { Key(Qt::Key_Backspace); }, 5, "acdef"},
        {"selection before deleted", latin, 4, 0, 2, [&] { Key(Qt::Key_Delete); }, 2, "cdef"},
        {"selection over it deleted", latin, 4, 3, 2, [&] { Key(Qt::Key_Delete); }, 3, "abcf"},
        {"selection typed over", latin, 4, 1, 2, [&] { Type("xyz"); }, 5, "axyzdef"},
        {"whole line deleted", latin, 3, 0, 6, [&] { Key(Qt::Key_Delete); }, 0, ""},
        {"whole line cut", latin, 1, 0, 6, [&] { Key(Qt::Key_X, Qt::ControlModifier); }, 0, ""},
        {"whole line replaced by Return", latin, 3, 0, 6, [&] { Key(Qt::Key_Return); }, 1, "\n"},
        {"double-byte typed before", cjk, 4, 2, 0, [&] { Type(QString::fromUtf8("日")); }, 6,
         "\x93\xfa\x93\xfa\x96\x7b" "ab"},
        {"double-byte deleted before", cjk, 4, 4, 0, [&] { Key(Qt::Key_Backspace); }, 2, "\x93\xfa" "ab"},
        {"double-byte selection deleted", cjk, 4, 0, 2, [&] { Key(Qt::Key_Delete); }, 2, "\x96\x7b" "ab"},
    };
    TRtRTFTextInput* e = E();
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Rtf->SetText(c.Rtf);
        e->FieldReturn = {e->FirstPar, e->FirstPar->Lines, c.Kept};
        if (c.Length > 0)
            e->SetSelection(c.Start, c.Length);
        else
            e->SetCursorCharPos(c.Start);
        c.Edit();
        ASSERT_EQ(TextBytes(e), c.Text);
        // Layout only observes: a repaint leaves the position where the edit put it.
        for (int pass = 0; pass < 2; ++pass) {
            const TRtFieldReturn& f = e->FieldReturn;
            EXPECT_TRUE(LivePosition(e, f.Par, f.Line, f.Pos)) << "pass " << pass;
            EXPECT_EQ(TextOffset(e, f.Par, f.Line, f.Pos), c.Offset) << "pass " << pass;
            Rtf->repaint();
        }
        e->FieldReturn = {};
    }
}

TEST_F(RtLivePositions, StoreEditsOfALineMoveItsPositions)
{
    // "abcdefgh" with a kept position on "f": each edit of the store that changes the line's
    // characters takes it along.
    struct TCase {
        const char* Name;
        std::function<void(TParagraph* Par)> Edit;
        int32_t Offset;
        std::string Text;
    };
    TRtRTFTextInput* e = E();
    auto chars = [](const char* S) { return reinterpret_cast<const uint8_t*>(S); };
    const TCase cases[] = {
        {"replaced by fewer", [&](TParagraph* P) { e->ReplaceChars(P, P->Lines, nullptr, 1, chars("X"), 3, 1); }, 3,
         "aXefgh"},
        {"replaced by more", [&](TParagraph* P) { e->ReplaceChars(P, P->Lines, nullptr, 4, chars("WXYZ"), 1, 1); }, 8,
         "aWXYZcdefgh"},
        {"replaced over it", [&](TParagraph* P) { e->ReplaceChars(P, P->Lines, nullptr, 1, chars("X"), 4, 3); }, 4,
         "abcXh"},
        {"inserted there", [&](TParagraph* P) { e->InsertChar(P, P->Lines, nullptr, 'X', 5); }, 6, "abcdeXfgh"},
        {"deleted before", [&](TParagraph* P) { e->DeleteTextAt(P, 1, 2); }, 3, "adefgh"},
        {"marked ones purged",
         [&](TParagraph* P) {
             for (int32_t i : {1, 2, 4, 7})
                 P->Lines->Attrs[i].Style.Include(afsDelete);
             e->PurgeDeletedChars(P);
         },
         2, "adfg"},
        {"purged with it", [&](TParagraph* P) {
             for (int32_t i : {4, 5, 6})
                 P->Lines->Attrs[i].Style.Include(afsDelete);
             e->PurgeDeletedChars(P);
         },
         4, "abcdh"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Rtf->SetText("{\\rtf1 abcdefgh}");
        TParagraph* par = e->FirstPar;
        e->FieldReturn = {par, par->Lines, 5};
        c.Edit(par);
        ASSERT_EQ(ParString(par), c.Text);
        const TRtFieldReturn& f = e->FieldReturn;
        EXPECT_TRUE(LivePosition(e, f.Par, f.Line, f.Pos));
        EXPECT_EQ(TextOffset(e, f.Par, f.Line, f.Pos), c.Offset);
        e->FieldReturn = {};
    }
}

TEST_F(RtLivePositions, OffsetsGoBackToTheirOwnHoldersWhenAnchorsComeAndGo)
{
    // Between taking the offsets of a paragraph and placing them on its new lines, an anchor
    // before the others goes and a new one comes (where the old one was): each remaining holder
    // gets its own offset.
    Rtf->SetText("{\\rtf1 abcdefgh}");
    TRtRTFTextInput* e = E();
    TParagraph* par = e->FirstPar;
    TRtObjReferenceList* refs = e->ObjRefList();
    TTextObj* first = refs->AddObject(nullptr);
    TTextObj* second = refs->AddObject(nullptr);
    const int32_t firstId = refs->IndexOfObject(first);
    first->AnchorPar = par;
    first->AnchorLine = par->Lines;
    first->AnchorPos = 1;
    second->AnchorPar = par;
    second->AnchorLine = par->Lines;
    second->AnchorPos = 6;
    e->FieldReturn = {par, par->Lines, 3};
    const auto kept = e->Positions().OffsetsIn(par);
    refs->DeleteItem(refs->FindItem(firstId));
    TTextObj* third = refs->AddObject(nullptr);
    third->AnchorPar = par;
    third->AnchorLine = par->Lines;
    third->AnchorPos = 7;
    // The lines are built anew: "abcd" and "efgh".
    TLine* newFirst = TRtRTFText::NewLineRecord();
    e->AllocLineText(newFirst, 10);
    e->AllocLineAttrs(newFirst, 10);
    std::memcpy(newFirst->Chars, par->Lines->Chars, 9);
    newFirst->Length = 8;
    TLine* rest = e->SplitLineAt(newFirst, 4);
    ASSERT_EQ(rest, newFirst->Next);
    e->Positions().PlaceOffsets(par, newFirst, kept);
    TLine* old = par->Lines;
    par->Lines = newFirst;
    TRtRTFText::FreeLines(old);
    EXPECT_EQ(TextOffset(e, second->AnchorPar, second->AnchorLine, second->AnchorPos), 6);
    EXPECT_EQ(second->AnchorLine, rest);
    EXPECT_EQ(TextOffset(e, e->FieldReturn.Par, e->FieldReturn.Line, e->FieldReturn.Pos), 3);
    // One that came in between is at the paragraph's start, on a line of the paragraph.
    EXPECT_EQ(third->AnchorLine, newFirst);
    EXPECT_EQ(third->AnchorPos, 0);
    e->FieldReturn = {};
    refs->Clear();
}

TEST_F(RtLivePositions, CombinedCellsKeepThePositionsOfTheirText)
{
    Rtf->SetText("{\\rtf1\\trowd\\cellx2000\\cellx4000\\cellx6000 ab\\cell cdef\\cell gh\\cell\\row}");
    TRtRTFTextInput* e = E();
    TParagraph* cell = e->FirstPar;
    ASSERT_EQ(ParString(cell->Next), "cdef");
    // A position on "e" of the second cell, combined into the first.
    e->FieldReturn = {cell->Next, cell->Next->Lines, 2};
    e->CombineCell(cell);
    ASSERT_EQ(ParString(cell), "abcdef");
    EXPECT_EQ(e->FieldReturn.Par, cell);
    EXPECT_TRUE(LivePosition(e, e->FieldReturn.Par, e->FieldReturn.Line, e->FieldReturn.Pos));
    EXPECT_EQ(TextOffset(e, e->FieldReturn.Par, e->FieldReturn.Line, e->FieldReturn.Pos), 4);
    // The last cell goes into the one before: a position on "h" too.
    TParagraph* last = cell->Next;
    ASSERT_EQ(ParString(last), "gh");
    e->FieldReturn = {last, last->Lines, 1};
    e->CombineCell(last);
    ASSERT_EQ(ParString(cell), "abcdefgh");
    EXPECT_EQ(TextOffset(e, e->FieldReturn.Par, e->FieldReturn.Line, e->FieldReturn.Pos), 7);
    e->FieldReturn = {};
    Rtf->repaint();
}

TEST_F(RtLivePositions, AnObjectForgetsTheReferenceThatGoes)
{
    // An object kept alive by its owner caches the reference it was selected through; the
    // reference goes with the text.
    QImage img(20, 20, QImage::Format_RGB32);
    img.fill(Qt::red);
    QTemporaryDir dir;
    ASSERT_TRUE(img.save(dir.filePath("p.png")));
    Rtf->SetText("{\\rtf1 ab}");
    E()->SetCursorCharPos(1);
    ASSERT_TRUE(Rtf->InsertFile(dir.filePath("p.png")));
    TTextObj* ref = E()->ObjRefList()->GetTextObj(1);
    ASSERT_NE(ref, nullptr);
    TRtObjectBase* obj = ref->Object;
    ASSERT_NE(obj, nullptr);
    obj->Select(true);
    ASSERT_EQ(obj->SelectedRef, ref);
    obj->Select(false);
    bool asked = false;
    obj->OnDestroyQuery = [&](TRtObjectBase*) {
        asked = true;
        return false;
    };
    Rtf->SetText("{\\rtf1 neu}");
    ASSERT_TRUE(asked);
    EXPECT_EQ(obj->SelectedRef, nullptr);
    delete obj;
}

TEST_F(RtLivePositions, HoldersOnADeletedParagraphMoveOrLetGo)
{
    TRtTextFinder finder;
    finder.SetText(E());
    TRtFrameObject* frame = Rtf->ObjectEnv()->Frame.get();
    struct THolder {
        const char* Name;
        TParagraph*& Par;
        TLine** Line;
        int32_t* Pos;
    };
    TRtRTFTextInput* e = E();
    const THolder holders[] = {
        {"HotParagraph", e->HotParagraph, nullptr, nullptr},
        {"LastStyleParagraph", e->LastStyleParagraph, nullptr, nullptr},
        {"HotPar", e->HotPar, nullptr, nullptr},
        {"LastCursorParagraph", e->LastCursorParagraph, nullptr, nullptr},
        {"PendingInputPar", e->PendingInputPar, nullptr, nullptr},
        {"FieldReturn", e->FieldReturn.Par, &e->FieldReturn.Line, &e->FieldReturn.Pos},
        {"BodyCursor", e->BodyCursorPar, &e->BodyCursorLine, &e->BodyCursorPos},
        {"finder", finder.CurrentPar, nullptr, nullptr},
        {"frame's drop", frame->DropPar, nullptr, nullptr},
    };
    // Each edit frees the middle paragraph ("zwei ..."): deleting it whole,
    // joining it to the one before, and loading another text.
    const std::function<void()> edits[] = {
        [&] {
            e->SetSelection(5, 36);
            Key(Qt::Key_Delete);
        },
        [&] {
            e->SetCursorCharPos(5);
            Key(Qt::Key_Backspace);
        },
        [&] { Rtf->SetText("{\\rtf1 neu}"); },
    };
    for (size_t i = 0; i < std::size(edits); ++i) {
        Rtf->SetText("{\\rtf1 eins\\par zwei zwei zwei zwei zwei zwei zwei zwei\\par drei}");
        TParagraph* second = e->FirstPar->Next;
        ASSERT_NE(second, nullptr);
        for (const THolder& h : holders) {
            h.Par = second;
            if (h.Line) {
                *h.Line = second->Lines;
                *h.Pos = 3;
            }
        }
        edits[i]();
        Rtf->repaint();
        for (const THolder& h : holders)
            EXPECT_TRUE(LivePosition(e, h.Par, h.Line ? *h.Line : nullptr, h.Pos ? *h.Pos : 0))
                << h.Name << " after edit " << i;
        for (const THolder& h : holders)
            h.Par = nullptr;
    }
}

TEST_F(RtLivePositions, PositionsKeepTheirOffsetWhenLinesAreBuiltAnew)
{
    // A paragraph of several lines is broken anew by typing and by undo: a kept
    // position stays on one of its lines, at the character it was at.
    Rtf->SetWordWrap(true);
    Rtf->resize(160, 300);
    Rtf->SetText("{\\rtf1 eins zwei drei vier fuenf sechs sieben acht neun zehn elf zwoelf}");
    QApplication::processEvents();
    TRtRTFTextInput* e = E();
    TParagraph* par = e->FirstPar;
    ASSERT_NE(par->Lines->Next, nullptr);
    TLine* second = par->Lines->Next;
    const int32_t offset = par->Lines->Length + 2;
    e->FieldReturn = {par, second, 2};
    e->SetCursorCharPos(0);
    const QString typed = QStringLiteral("Sehr lange Woerter vorne ");
    Type(typed);
    Rtf->repaint();
    EXPECT_TRUE(LivePosition(e, e->FieldReturn.Par, e->FieldReturn.Line, e->FieldReturn.Pos));
    int32_t before = 0;
    for (TLine* l = par->Lines; l && l != e->FieldReturn.Line; l = l->Next)
        before += l->Length;
    EXPECT_EQ(before + e->FieldReturn.Pos, offset + typed.size());
    for (int i = 0; i < 30; ++i)
        Key(Qt::Key_Z, Qt::ControlModifier);
    Rtf->repaint();
    EXPECT_TRUE(LivePosition(e, e->FieldReturn.Par, e->FieldReturn.Line, e->FieldReturn.Pos));
    // A paragraph break before it moves its line into the new paragraph.
    par = e->FirstPar;
    ASSERT_NE(par->Lines->Next, nullptr);
    e->FieldReturn = {par, par->Lines->Next, 1};
    e->SetCursorCharPos(2);
    Key(Qt::Key_Return);
    Type("x");
    Rtf->repaint();
    EXPECT_TRUE(LivePosition(e, e->FieldReturn.Par, e->FieldReturn.Line, e->FieldReturn.Pos));
    e->FieldReturn = {};
}

TEST_F(RtLivePositions, AnEditWhereAWrappedLineEndsMovesAKeptPositionThereWhicheverLineHoldsIt)
{
    // The end of a wrapped line and the next line's start are one offset: a kept position there
    // goes behind what is typed, broken or pasted there, and the edit is the same, whether the
    // position or the caret stands on the one line or the other. (Pasted text is kept apart
    // from the word that follows by a blank behind the caret.)
    struct TEdit {
        const char* Name;
        std::function<void()> Run;
        std::string Text;
        int32_t Kept, Caret;  // offsets from the line's end after the edit
    };
    const TEdit edits[] = {
        {"typed", [&] { Type("ab"); }, "eins zwei drei vier fuenf absechs sieben acht neun zehn", 2, 2},
        {"Return", [&] { Key(Qt::Key_Return); }, "eins zwei drei vier fuenf \nsechs sieben acht neun zehn", 1, 1},
        {"paragraphs pasted",
         [&] {
             QGuiApplication::clipboard()->setText("xy\nz");
             Key(Qt::Key_V, Qt::ControlModifier);
         },
         "eins zwei drei vier fuenf xy\nz sechs sieben acht neun zehn", 5, 4},
    };
    Rtf->SetWordWrap(true);
    Rtf->resize(160, 300);
    TRtRTFTextInput* e = E();
    for (const TEdit& edit : edits)
        for (const bool keptAtEnd : {true, false})
            for (const bool caretAtEnd : {true, false}) {
                SCOPED_TRACE(testing::Message() << edit.Name << ", kept at the line's end " << keptAtEnd
                                                << ", caret at the line's end " << caretAtEnd);
                Rtf->SetText("{\\rtf1 eins zwei drei vier fuenf sechs sieben acht neun zehn}");
                QApplication::processEvents();
                TParagraph* par = e->FirstPar;
                TLine* first = par->Lines;
                ASSERT_NE(first->Next, nullptr);
                const int32_t end = first->Length;
                e->FieldReturn = keptAtEnd ? TRtFieldReturn{par, first, end} : TRtFieldReturn{par, first->Next, 0};
                e->CursorPar = par;
                e->CursorLine = caretAtEnd ? first : first->Next;
                e->CursorPos = caretAtEnd ? end : 0;
                edit.Run();
                Rtf->repaint();
                const TRtFieldReturn& f = e->FieldReturn;
                EXPECT_TRUE(LivePosition(e, f.Par, f.Line, f.Pos));
                EXPECT_EQ(TextBytes(e), edit.Text);
                EXPECT_EQ(TextOffset(e, f.Par, f.Line, f.Pos), end + edit.Kept);
                EXPECT_EQ(TextOffset(e, e->CursorPar, e->CursorLine, e->CursorPos), end + edit.Caret);
                e->FieldReturn = {};
            }
}

TEST_F(RtLivePositions, ObjectAnchorsFollowTheirParagraph)
{
    QImage img(20, 20, QImage::Format_RGB32);
    img.fill(Qt::red);
    QTemporaryDir dir;
    ASSERT_TRUE(img.save(dir.filePath("p.png")));
    Rtf->SetText("{\\rtf1 eins\\par zwei\\par drei}");
    E()->SetCursorCharPos(1);
    ASSERT_TRUE(Rtf->InsertFile(dir.filePath("p.png")));
    TTextObj* entry = E()->ObjRefList()->GetTextObj(1);
    ASSERT_NE(entry, nullptr);
    TParagraph* second = E()->FirstPar->Next;
    entry->AnchorPar = second;
    entry->AnchorLine = second->Lines;
    entry->AnchorPos = 2;
    E()->SetSelection(6, 6);
    Key(Qt::Key_Delete);
    Rtf->repaint();
    EXPECT_TRUE(LivePosition(E(), entry->AnchorPar, entry->AnchorLine, entry->AnchorPos));
}

TEST_F(RtLivePositions, ASelectedPictureGoesWithItsText)
{
    QImage img(40, 40, QImage::Format_RGB32);
    img.fill(Qt::blue);
    QTemporaryDir dir;
    ASSERT_TRUE(img.save(dir.filePath("p.png")));
    // Clearing, loading another text (binding another box) and setting the text.
    const std::function<void()> replacements[] = {
        [&] { Rtf->Clear(); },
        [&] {
            TMemoryStream stream;
            const std::string rtf = "{\\rtf1 anderer Text}";
            stream.WriteBuffer(rtf.data(), int32_t(rtf.size()));
            stream.SetPosition(0);
            Rtf->Clear();
            Rtf->LoadFromStream(&stream, "AUTO");
        },
        [&] { Rtf->SetText("{\\rtf1 neu}"); },
    };
    for (size_t i = 0; i < std::size(replacements); ++i) {
        Rtf->SetText("{\\rtf1 ab}");
        E()->SetCursorCharPos(1);
        ASSERT_TRUE(Rtf->InsertFile(dir.filePath("p.png")));
        QApplication::processEvents();
        const QPoint at = PointOf(1);
        QTest::mouseClick(Rtf->viewport(), Qt::LeftButton, {}, QPoint(at.x() + E()->DocToScreen(10), at.y()));
        ASSERT_NE(E()->SelectedObject, nullptr);
        TRtFrameObject* frame = Rtf->ObjectEnv()->Frame.get();
        ASSERT_NE(frame->Obj, nullptr);
        E()->DropEntry = E()->SelectedObj;
        replacements[i]();
        EXPECT_EQ(E()->DropEntry, nullptr) << i;
        EXPECT_EQ(E()->SelectedObject, nullptr) << i;
        EXPECT_EQ(E()->SelectedObj, nullptr) << i;
        EXPECT_EQ(E()->FrameObject, nullptr) << i;
        EXPECT_EQ(frame->Obj, nullptr) << i;
        EXPECT_EQ(frame->Entry, nullptr) << i;
        EXPECT_FALSE(frame->isVisible()) << i;
        frame->repaint();
        Rtf->repaint();
        Key(Qt::Key_C, Qt::ControlModifier);
    }
}

} // namespace
