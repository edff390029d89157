// Positions kept across calls (the engine's, the finder's, the frame's, the
// body's while a header is edited, object anchors, the selected object) are
// moved or cleared by the edits that free or move what they point at. Run
// under AddressSanitizer (LUMI_SANITIZE) a holder left behind is a report.
#include "RtControlTestSupport.h"

#include "RtFrameObject.h"
#include "RtObjectEnv.h"
#include "RtTextFinder.h"

#include <QClipboard>
#include <QTemporaryDir>

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
