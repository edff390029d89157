// The text's undo records: recording, merging, applying and redoing, and a
// seeded random edit sequence that undoes back to the first text and redoes
// to the last, byte for byte with the attributes.
#include "RtHeaderFooter.h"
#include "RtRtfTxtIo.h"
#include "RtStoreUndo.h"
#include "RtTestSupport.h"
#include "RtUndo.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

// Characters and their attribute entries, paragraph by paragraph.
struct TSnapshot {
    std::vector<std::string> Chars;
    std::vector<std::vector<TAttr>> Attrs;
    bool operator==(const TSnapshot&) const = default;
};

void PrintTo(const TSnapshot& S, std::ostream* Os)
{
    for (const std::string& c : S.Chars)
        *Os << "[" << c << "]";
}

TSnapshot Snap(const TRtRTFText& T)
{
    TSnapshot s;
    for (const TParagraph* p = T.FirstPar; p; p = p->Next) {
        s.Chars.push_back(ParString(p));
        std::vector<TAttr> a;
        for (const TLine* l = p->Lines; l; l = l->Next)
            for (int i = 0; i < l->Length; ++i)
                a.push_back(l->Attrs[i]);
        s.Attrs.push_back(a);
    }
    return s;
}

class TUndoText : public TRtRTFTextIo {
public:
    TUndoText()
    {
        TestPlatform();
        EditOptions = TRtEditOptions{rtActivateUndo, rtActivateRedo};
    }
};

// One random edit, recorded for undo as the input layer records it.
class TUndoRun {
public:
    TUndoRun(TUndoText& T, uint32_t Seed) : t_(T), rng_(Seed) {}

    void Step()
    {
        t_.ForceNewUndoLevel();
        t_.BeginUndoGroup();
        switch (Pick(10)) {
        case 0:
        case 1:
            InsertChar();
            break;
        case 2:
            DeleteChar();
            break;
        case 3:
            Split();
            break;
        case 4:
            DeleteRange();
            break;
        case 5:
            ChangeAttr();
            break;
        case 6:
            Paste();
            break;
        case 8:
            t_.SplitCell(t_.GetParByIndex(Pick(Count())), Pick(2) == 0);
            break;
        case 9:
            t_.CombineCell(t_.GetParByIndex(Pick(Count())));
            break;
        default:
            Props();
            break;
        }
        t_.EndUndoGroup();
    }

private:
    int Pick(int N) { return int(rng_() % uint32_t(N)); }
    int Count() const { return t_.CountPars(); }
    // Joins, splits and ranges of the text layer leave table cells to the table operations.
    static bool InTable(const TParagraph* P) { return P && (P->Flags & parfTableCell); }
    int Len(int P) const { return TRtRTFText::GetParLength(t_.GetParByIndex(P)); }

    void InsertChar()
    {
        const int p = Pick(Count());
        TParagraph* par = t_.GetParByIndex(p);
        t_.SaveUndo(par, 1, ulInput);
        const TAttr a = AttrOf(Pick(8));
        t_.InsertChar(par, nullptr, &a, uint8_t('a' + Pick(26)), Pick(Len(p) + 1));
    }

    // A character, or the paragraph end that joins the next paragraph.
    void DeleteChar()
    {
        const int p = Pick(Count());
        TParagraph* par = t_.GetParByIndex(p);
        const int pos = Pick(Len(p) + 1);
        if (pos == Len(p) && (Len(p) == 0 || !par->Next || InTable(par) || InTable(par->Next)))
            return;
        t_.SaveUndo(par, 1, ulDeletion);
        if (pos == Len(p))
            t_.SaveUndo(par->Next, 10, ulDeletion);
        int32_t off = pos;
        TLine* l = TRtRTFText::LineAtParPos(par, off);
        if (pos == Len(p)) {
            l = TRtRTFText::GetLastLine(par);
            off = l->Length;
        }
        t_.DeleteChar(par, l, off);
    }

    void Split()
    {
        const int p = Pick(Count());
        TParagraph* par = t_.GetParByIndex(p);
        if (InTable(par))
            return;
        t_.SaveUndo(par, 1, ulInput);
        int32_t off = Pick(Len(p) + 1);
        TLine* l = TRtRTFText::LineAtParPos(par, off);
        t_.SplitPar(par, l, off);
        t_.SaveUndo(par->Next, 9, ulInput);
    }

    void DeleteRange()
    {
        const int p1 = Pick(Count());
        const int p2 = std::min(Count() - 1, p1 + Pick(3));
        TParagraph* from = t_.GetParByIndex(p1);
        TParagraph* to = t_.GetParByIndex(p2);
        int32_t a = Pick(Len(p1) + 1), b = Pick(Len(p2) + 1);
        if (p1 == p2 && b < a)
            std::swap(a, b);
        for (TParagraph* q = from; q; q = q->Next) {
            if (InTable(q) && p1 != p2)
                return;
            if (q == to)
                break;
        }
        // The removed paragraphs last to first, then the one that stays.
        for (TParagraph* q = to; q != from; q = q->Prior)
            t_.SaveUndo(q, 10, ulSelection);
        t_.SaveUndo(from, 1, ulSelection);
        if (p1 == p2) {
            t_.DeleteTextAt(from, a, b - a);
            return;
        }
        TLine* la = TRtRTFText::LineAtParPos(from, a);
        TLine* lb = TRtRTFText::LineAtParPos(to, b);
        t_.DeleteTextRange(from, to, b, a, la, lb);
    }

    void ChangeAttr()
    {
        const int p = Pick(Count());
        if (Len(p) == 0)
            return;
        TParagraph* par = t_.GetParByIndex(p);
        t_.SaveUndo(par, 1, ulAttributes);
        int32_t off = Pick(Len(p));
        TLine* l = TRtRTFText::LineAtParPos(par, off);
        if (off >= l->Length)
            return;
        l->Attrs[off] = AttrOf(Pick(8));
    }

    void Paste()
    {
        TRtRTFText source;
        const TAttr a = AttrOf(Pick(8));
        TParagraph* last = source.FirstPar;
        const int n = 1 + Pick(3);
        for (int i = 0; i < n; ++i) {
            if (i > 0)
                source.InsertPar(last, 8);
            const std::string s(size_t(Pick(5)), char('A' + Pick(26)));
            source.AddParText(i, reinterpret_cast<const uint8_t*>(s.data()), &a, int32_t(s.size()));
        }
        const int p = Pick(Count());
        TParagraph* par = t_.GetParByIndex(p);
        if (InTable(par))
            return;
        TParagraph* chain = source.FirstPar;
        source.FirstPar = nullptr;
        TParagraph* after = par->Next;
        t_.SaveUndo(par, 1, ulPaste);
        int32_t off = Pick(Len(p) + 1);
        TLine* line = TRtRTFText::LineAtParPos(par, off);
        TParagraph* at = par;
        t_.InsertParagraphs(at, line, off, chain);
        for (TParagraph* q = par->Next; q && q != after; q = q->Next)
            t_.SaveUndo(q, 9, ulPaste);
    }

    void Props()
    {
        TParagraph* par = t_.GetParByIndex(Pick(Count()));
        const int kind = 3 + Pick(6);
        t_.SaveUndo(par, kind, TRtUndoLevel(kind + 2));
        par->IndentLeft = int16_t(Pick(1000));
        par->SpaceAfter = int16_t(Pick(200));
        par->Align = uint8_t(Pick(4));
        par->Tabs = uint64_t(Pick(16));
        par->BrdLines = uint16_t(Pick(2) ? brdPresent | brdBox : 0);
    }

    TUndoText& t_;
    std::mt19937 rng_;
};

} // namespace

TEST(RtStoreUndo, RandomEditsUndoToTheFirstTextAndRedoToTheLast)
{
    for (uint32_t seed : {7u, 8u, 9u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TUndoText t;
        t.UndoMaxCount = 0;
        FillText(t, {"alpha", "beta gamma", "", "delta"});
        const TSnapshot first = Snap(t);
        TUndoRun run(t, seed);
        for (int i = 0; i < 1500; ++i)
            run.Step();
        const TSnapshot last = Snap(t);
        ASSERT_NE(first, last);
        int guard = 0;
        while (t.GetUndoStack()->CanUndo() && ++guard < 10000)
            t.Undo();
        EXPECT_EQ(Snap(t), first);
        while (t.GetUndoStack()->CanRedo() && ++guard < 20000)
            t.Redo();
        EXPECT_EQ(Snap(t), last);
    }
}

TEST(RtStoreUndo, PositionsKeepTheirCharactersOnRestoredLines)
{
    // "hello world" on two lines ("hello " and "world") is edited, undone and
    // redone; a kept position stays on its character, or goes behind what comes
    // in when its character goes with it, as with any edit.
    struct TEdit {
        const char* Name;
        int32_t At, Count;   // paragraph offset and length of the replaced characters
        std::string New;
        int32_t Edited, Undone, Redone;   // the position's offset after each step
    };
    const TEdit edits[] = {
        {"typed before it", 0, 0, "XXX ", 12, 8, 12},
        {"deleted before it", 0, 6, "", 2, 8, 2},
        {"typed there", 6, 0, "big ", 7, 6, 10},
        {"replaced there", 7, 2, "_", 7, 9, 8},
    };
    for (const TEdit& edit : edits) {
        SCOPED_TRACE(edit.Name);
        TUndoText t;
        FillText(t, {"hello world", "after"});
        TParagraph* par = t.FirstPar;
        t.SplitLineAt(par->Lines, 6);
        TTestPosition own;
        t.Positions().Add(own.Par, own.Line, own.Pos);
        const TPositionFields holders[] = {
            {"body cursor", t.BodyCursorPar, t.BodyCursorLine, t.BodyCursorPos},
            {"registered", own.Par, own.Line, own.Pos},
        };
        t.ForceNewUndoLevel();
        t.SaveUndo(par, ukLines, ulInput);
        int32_t at = edit.At;
        TLine* line = TRtRTFText::LineAtParPos(par, at);
        t.ReplaceChars(par, line, nullptr, int32_t(edit.New.size()),
                       reinterpret_cast<const uint8_t*>(edit.New.data()), edit.Count, at);
        for (const TPositionFields& h : holders) {
            int32_t pos = edit.Edited;
            h.Line = TRtRTFText::LineAtParPos(par, pos);
            h.Par = par;
            h.Pos = pos;
        }
        auto expectAt = [&](int32_t Offset, const char* Step) {
            for (const TPositionFields& h : holders) {
                EXPECT_EQ(OffsetInPar(par, h), Offset) << h.Name << " " << Step;
                ASSERT_NE(h.Line, nullptr) << h.Name << " " << Step;
                EXPECT_LE(h.Pos, h.Line->Length) << h.Name << " " << Step;
            }
        };
        t.Undo();
        ASSERT_EQ(ParString(par), "hello world");
        expectAt(edit.Undone, "undone");
        t.Redo();
        expectAt(edit.Redone, "redone");
        t.Positions().Remove(&own, sizeof(own));
    }
}

TEST(RtStoreUndo, EachStepRestoresTheTextItWasRecordedIn)
{
    // "X" typed into the body, then "hdr" into a header, the header edited through its layer or
    // through its own item: undo takes each step back in its own text.
    for (const bool throughItem : {true, false}) {
        SCOPED_TRACE(throughItem ? "edited through the item" : "edited through the layer");
        TUndoText t;
        FillText(t, {"body"});
        TRtSpecialTextProperty* header = t.GetOrAddHeaderFooter(rtraOnAllPages, rtIsHeader);
        auto type = [&](const std::string& Chars) {
            t.ForceNewUndoLevel();
            t.SaveUndo(t.CursorPar, ukLines, ulInput);
            for (const char c : Chars)
                if (t.InsertChar(t.CursorPar, t.CursorLine, nullptr, uint8_t(c), t.CursorPos))
                    ++t.CursorPos;
        };
        auto headerText = [&] {
            return ParString(header->Editing() || t.Layer == 1 ? t.FirstPar : header->Paragraphs());
        };
        auto bodyText = [&] {
            return ParString(header->Editing() ? header->SavedFirstPar() : t.Layer == 1 ? t.BodyFirstPar : t.FirstPar);
        };
        t.CursorPar = t.FirstPar;
        t.CursorLine = t.FirstPar->Lines;
        t.CursorPos = 0;
        type("X");
        if (throughItem) {
            header->SetEditing(true);
        } else {
            t.HeaderFooterRange = rtraOnAllPages;
            t.SetLayer(1);
        }
        type("hdr");
        ASSERT_EQ(headerText(), "hdr");
        ASSERT_EQ(bodyText(), "Xbody");
        t.Undo();
        EXPECT_EQ(headerText(), "");
        EXPECT_EQ(bodyText(), "Xbody");
        t.Undo();
        EXPECT_EQ(headerText(), "");
        EXPECT_EQ(bodyText(), "body");
        t.Redo();
        t.Redo();
        EXPECT_EQ(headerText(), "hdr");
        EXPECT_EQ(bodyText(), "Xbody");
        if (header->Editing())
            header->SetEditing(false);
        t.SetLayer(0);
    }
}

TEST(RtStoreUndo, PositionsInHeaderAndFooterTextsStayInTheirOwnTextWhenAStepChangesTheItems)
{
    // A whole-text step recorded while the header was still empty: undone, the header item goes
    // (an empty one is no part of the snapshot) and the footer comes back as a new item; redone,
    // the header comes back before it. The footer's kept position stays in the footer's text
    // through both, the header's goes with its text.
    TUndoText t;
    t.EditOptions.Include(rtStreamUndoOperation);
    FillText(t, {"body"});
    auto chainOf = [&](const char* Text) {
        TParagraph* p = nullptr;
        t.InsertPar(p, 8);
        t.ReplaceChars(p, p->Lines, nullptr, int32_t(std::strlen(Text)), reinterpret_cast<const uint8_t*>(Text), 0,
                       0);
        return p;
    };
    TRtSpecialTextProperty* header = t.GetOrAddHeaderFooter(rtraOnAllPages, rtIsHeader);
    t.GetOrAddHeaderFooter(rtraOnAllPages, rtIsFooter)->SetParagraphs(chainOf("foot"));
    t.ForceNewUndoLevel();
    t.SaveUndo(t.FirstPar, ukParagraph, ulInput);
    header->SetParagraphs(chainOf("head"));
    TTestPosition inHeader, inFooter;
    t.Positions().Add(inHeader.Par, inHeader.Line, inHeader.Pos);
    t.Positions().Add(inFooter.Par, inFooter.Line, inFooter.Pos);
    inHeader = {header->Paragraphs(), header->Paragraphs()->Lines, 2};
    TParagraph* foot = t.FindHeaderFooter(rtraOnAllPages, rtIsFooter)->Paragraphs();
    inFooter = {foot, foot->Lines, 3};
    auto expectInFooter = [&](const char* Step) {
        const TRtSpecialTextProperty* footer = t.FindHeaderFooter(rtraOnAllPages, rtIsFooter);
        ASSERT_NE(footer, nullptr) << Step;
        EXPECT_EQ(inFooter.Par, footer->Paragraphs()) << Step;
        EXPECT_EQ(inFooter.Line, footer->Paragraphs()->Lines) << Step;
        EXPECT_EQ(inFooter.Pos, 3) << Step;
    };
    t.Undo();
    ASSERT_EQ(t.FindHeaderFooter(rtraOnAllPages, rtIsHeader), nullptr);
    expectInFooter("undone");
    EXPECT_EQ(inHeader.Par, nullptr);
    t.Redo();
    ASSERT_NE(t.FindHeaderFooter(rtraOnAllPages, rtIsHeader), nullptr);
    EXPECT_EQ(ParString(t.FindHeaderFooter(rtraOnAllPages, rtIsHeader)->Paragraphs()), "head");
    expectInFooter("redone");
    t.Positions().Remove(&inHeader, sizeof(inHeader));
    t.Positions().Remove(&inFooter, sizeof(inFooter));
}

TEST(RtStoreUndo, AFooterStepAcrossWholeTextStepsChangesTheFooterOrNothing)
{
    // Whole-text steps in the body before and after "foot" is typed into a new footer. Undone,
    // the later one reads the footer back as a new item: the footer's step still undoes in it.
    // Redone, the earlier one brings back a text without the footer (an empty one is no part of
    // a snapshot): the footer's step then changes nothing, never the body in its place.
    TUndoText t;
    t.EditOptions.Include(rtStreamUndoOperation);
    FillText(t, {"body"});
    auto type = [&](const char* Chars) {
        t.ForceNewUndoLevel();
        t.SaveUndo(t.FirstPar, ukLines, ulInput);
        t.ReplaceChars(t.FirstPar, t.FirstPar->Lines, nullptr, int32_t(std::strlen(Chars)),
                       reinterpret_cast<const uint8_t*>(Chars), 0, 0);
    };
    auto wholeTextStep = [&](const char* Chars) {
        t.ForceNewUndoLevel();
        t.SaveUndo(t.FirstPar, ukParagraph, ulInput);
        t.ReplaceChars(t.FirstPar, t.FirstPar->Lines, nullptr, 1, reinterpret_cast<const uint8_t*>(Chars), 0, 0);
    };
    // A step of the footer leaves the footer's layer in the editor.
    auto body = [&] { return t.Layer == 2 ? t.BodyFirstPar : t.FirstPar; };
    auto footerText = [&] {
        const TRtSpecialTextProperty* f = t.FindHeaderFooter(rtraOnAllPages, rtIsFooter);
        return !f ? std::string("(none)") : ParString(t.Layer == 2 ? t.FirstPar : f->Paragraphs());
    };
    wholeTextStep("X");
    TRtSpecialTextProperty* footer = t.GetOrAddHeaderFooter(rtraOnAllPages, rtIsFooter);
    footer->SetEditing(true);
    type("foot");
    footer->SetEditing(false);
    wholeTextStep("Y");
    ASSERT_EQ(ParString(t.FirstPar), "YXbody");
    const struct {
        bool Redo;
        std::string Body, Footer;
    } steps[] = {
        {false, "Xbody", "foot"}, {false, "Xbody", ""},    {false, "body", "(none)"},
        {true, "Xbody", "(none)"}, {true, "Xbody", "(none)"}, {true, "YXbody", "foot"},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        if (steps[i].Redo)
            t.Redo();
        else
            t.Undo();
        EXPECT_EQ(ParString(body()), steps[i].Body);
        EXPECT_EQ(body()->Next, nullptr);
        EXPECT_EQ(footerText(), steps[i].Footer);
    }
}

TEST(RtStoreUndo, APositionNeverStandsInsideARestoredDoubleByteCharacter)
{
    // Two double-byte characters, the first lead byte and the last trail byte unchanged, are
    // replaced and restored: the changed middle lies between them, and a position on it goes
    // behind what came back, which is no trail byte but the second character's start.
    TUndoText t;
    FillText(t, {"\x93\xfa\x96\x7b"});
    TParagraph* par = t.FirstPar;
    TLine* line = par->Lines;
    for (int32_t i = 0; i < 4; ++i)
        line->Attrs[i].Style.Include(i % 2 ? afsDBCSTwo : afsDBCSOne);
    TTestPosition own;
    t.Positions().Add(own.Par, own.Line, own.Pos);
    own = {par, line, 2};
    t.ForceNewUndoLevel();
    t.SaveUndo(par, ukLines, ulInput);
    t.ReplaceChars(par, line, nullptr, 4, reinterpret_cast<const uint8_t*>("\x93\x40\x97\x7b"), 4, 0);
    ASSERT_EQ(own.Pos, 2);
    t.Undo();
    ASSERT_EQ(ParString(par), "\x93\xfa\x96\x7b");
    ASSERT_EQ(own.Par, par);
    EXPECT_EQ(own.Pos, 2);
    t.Positions().Remove(&own, sizeof(own));
}

TEST(RtStoreUndo, PropertyChangesOfOneKindAndParagraphMerge)
{
    TUndoText t;
    FillText(t, {"a", "b"});
    TParagraph* p0 = t.FirstPar;
    TRtUndoStack* stack = t.GetUndoStack();
    t.SaveUndo(p0, 3, ulIndent);
    p0->IndentLeft = 100;
    t.SaveUndo(p0, 3, ulIndent);
    p0->IndentLeft = 200;
    EXPECT_EQ(stack->UndoCount(), 1);
    t.SaveUndo(p0->Next, 3, ulIndent);
    EXPECT_EQ(stack->UndoCount(), 2);
    // Deletions never merge.
    t.SaveUndo(p0->Next, 10, ulDeletion);
    t.SaveUndo(p0->Next, 10, ulDeletion);
    EXPECT_EQ(stack->UndoCount(), 4);
    stack->Clear();
    t.SaveUndo(p0->Next, 3, ulIndent);
    t.Undo();
    t.Undo();
    EXPECT_EQ(p0->IndentLeft, 200);
    t.SaveUndo(p0, 3, ulIndent);
    p0->IndentLeft = 300;
    t.Undo();
    EXPECT_EQ(p0->IndentLeft, 200);
    t.Redo();
    EXPECT_EQ(p0->IndentLeft, 300);
}

TEST(RtStoreUndo, SnapshotsMergeWithinTheirWindowOnly)
{
    TUndoText t;
    t.EditOptions.Include(rtStreamUndoOperation);
    FillText(t, {"a", "b"});
    TRtUndoStack* stack = t.GetUndoStack();
    t.SaveUndo(t.FirstPar, 1, ulInput);
    t.SaveUndo(t.FirstPar->Next, 9, ulInput);
    t.SaveUndo(t.FirstPar, 6, ulAlignment);
    ASSERT_EQ(stack->UndoCount(), 1);
    EXPECT_EQ(static_cast<TRtStoreUndoObject*>(stack->UndoItem(0))->UndoKind, 14);
    // After a forced new group an alignment change stays a paragraph step.
    t.ForceNewUndoLevel();
    t.SaveUndo(t.FirstPar, 6, ulAlignment);
    ASSERT_EQ(stack->UndoCount(), 2);
    EXPECT_EQ(static_cast<TRtStoreUndoObject*>(stack->UndoItem(1))->UndoKind, 6);
    t.SaveUndo(t.FirstPar, 1, ulInput);
    EXPECT_EQ(stack->UndoCount(), 3);
    // A snapshot older than the window starts a new step.
    static_cast<TRtStoreUndoObject*>(stack->UndoItem(2))->Created -= 501;
    t.SaveUndo(t.FirstPar->Next, 1, ulInput);
    EXPECT_EQ(stack->UndoCount(), 4);
    // Without the option whole-text steps are not recorded.
    t.EditOptions.Exclude(rtStreamUndoOperation);
    t.ForceNewUndoLevel();
    t.SaveUndo(t.FirstPar, 14, ulAny);
    EXPECT_EQ(stack->UndoCount(), 4);
}

TEST(RtStoreUndo, StepsOfVanishedParagraphsChangeNothingAndNamesComeFromTheLevel)
{
    TUndoText t;
    FillText(t, {"one", "two", "three"});
    t.SaveUndo(t.GetParByIndex(2), 3, ulIndent);
    t.GetParByIndex(2)->IndentLeft = 99;
    TParagraph* p = t.GetParByIndex(1);
    t.DeletePar(p);
    p = t.GetParByIndex(1);
    t.DeletePar(p);
    const TSnapshot before = Snap(t);
    t.Undo();
    EXPECT_EQ(Snap(t), before);
    auto obj = std::make_unique<TRtStoreUndoObject>(&t);
    obj->Level = 16;
    AnsiString name;
    obj->GetKindName(name);
    EXPECT_EQ(name, GetUndoKindText(16));
}

TEST(RtStoreUndo, NothingIsRecordedWithoutUndoOrWhileSuspended)
{
    TUndoText t;
    FillText(t, {"x"});
    t.UndoSuspended = 1;
    t.SaveUndo(t.FirstPar, 1, ulInput);
    t.UndoSuspended = 0;
    t.SaveUndo(nullptr, 1, ulInput);
    t.SaveUndo(t.FirstPar, 0, ulInput);
    t.EditOptions.Exclude(rtActivateUndo);
    t.SaveUndo(t.FirstPar, 1, ulInput);
    EXPECT_EQ(t.GetUndoStack()->UndoCount(), 0);
}

TEST(RtStoreUndo, TableOperationsUndoAndRedo)
{
    TUndoText t;
    FillText(t, {"before", "cell", "after"});
    const TSnapshot first = Snap(t);
    TParagraph* cell = t.GetParByIndex(1);
    t.BeginUndoGroup();
    TParagraph* second = t.SplitCell(cell, false);
    t.EndUndoGroup();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(t.CountPars(), 4);
    EXPECT_EQ(cell->Cell->Width + second->Cell->Width, 255);
    t.ForceNewUndoLevel();
    t.BeginUndoGroup();
    t.CombineCell(cell);
    t.EndUndoGroup();
    EXPECT_EQ(t.CountPars(), 3);
    t.Undo();
    ASSERT_EQ(t.CountPars(), 4);
    EXPECT_EQ(t.GetParByIndex(1)->Cell->Width, 127);
    EXPECT_TRUE(t.GetParByIndex(2)->Flags & parfNotFirstCell);
    t.Undo();
    EXPECT_EQ(Snap(t), first);
    EXPECT_FALSE(t.GetParByIndex(1)->Flags & parfTableCell);
    EXPECT_EQ(t.GetParByIndex(1)->Cell, nullptr);
    t.Redo();
    EXPECT_EQ(t.CountPars(), 4);
    t.Redo();
    EXPECT_EQ(t.CountPars(), 3);
}

TEST(RtStoreUndo, APartnerMarkerPurgedInAnotherParagraphComesBack)
{
    TUndoText t;
    t.EditOptions.Include(rtObjectDeletion);
    FillText(t, {"a<b", "c>d"});
    TParagraph* p0 = t.FirstPar;
    TParagraph* p1 = p0->Next;
    p0->Lines->Chars[1] = 2;
    p1->Lines->Chars[1] = 3;
    for (TParagraph* p : {p0, p1}) {
        p->Lines->Attrs[1].Style.Include(afsIsObject);
        p->Lines->Attrs[1].Tag = 5;
    }
    const TSnapshot first = Snap(t);
    t.BeginUndoGroup();
    t.SaveUndo(p0, 1, ulDeletion);
    t.DeleteChar(p0, p0->Lines, 1);
    t.EndUndoGroup();
    EXPECT_EQ(Pars(t), (std::vector<std::string>{"ab", "cd"}));
    const TSnapshot last = Snap(t);
    t.Undo();
    EXPECT_EQ(Snap(t), first);
    t.Redo();
    EXPECT_EQ(Snap(t), last);
}

TEST(RtStoreUndo, CellsPastedIntoATableComeBack)
{
    TUndoText t;
    FillText(t, {"a1", "a2"});
    TParagraph* a = t.FirstPar;
    for (TParagraph* p = a; p; p = p->Next)
        p->Flags |= parfTableCell;
    a->Flags |= parfNotLastCell;
    a->Next->Flags |= parfNotFirstCell;
    a->Next->IndentLeft = 40;
    const TSnapshot first = Snap(t);
    TRtRTFText source;
    FillText(source, {"X", "Y"});
    TParagraph* chain = source.FirstPar;
    source.FirstPar = nullptr;
    chain->Flags |= parfTableCell | parfNotLastCell;
    chain->Next->Flags |= parfTableCell | parfNotFirstCell;
    TLine* line = a->Lines;
    int32_t pos = 0;
    t.BeginUndoGroup();
    t.InsertParagraphs(a, line, pos, chain);
    t.EndUndoGroup();
    ASSERT_EQ(Pars(t), (std::vector<std::string>{"X", "Y"}));
    EXPECT_EQ(t.GetParByIndex(1)->IndentLeft, 0);
    t.Undo();
    EXPECT_EQ(Snap(t), first);
    EXPECT_EQ(t.GetParByIndex(1)->IndentLeft, 40);
}

TEST(RtStoreUndo, ATextLeavingASharedStackTakesOnlyItsOwnStepsAlong)
{
    TRtUndoStack shared;
    {
        // The snapshot hook a text sets on a stack goes with that text.
        TUndoText first;
        first.SetUndoStack(&shared);
        EXPECT_TRUE(shared.OnTakeSnapshot);
    }
    EXPECT_FALSE(shared.OnTakeSnapshot);
    TUndoText kept;
    FillText(kept, {"kept"});
    kept.SetUndoStack(&shared);
    kept.SaveUndo(kept.FirstPar, 1, ulInput);
    const auto step = [&shared](TUndoText& T) {
        T.SetUndoStack(&shared);
        T.ForceNewUndoLevel();
        T.SaveUndo(T.FirstPar, 1, ulInput);
        EXPECT_EQ(shared.UndoCount(), 2);
    };
    {
        TUndoText freed;
        FillText(freed, {"freed"});
        step(freed);
    }
    // The other text's step stays; none is left that points into the freed text.
    EXPECT_EQ(shared.UndoCount(), 1);
    TUndoText moved;
    FillText(moved, {"moved"});
    step(moved);
    moved.SetUndoStack(nullptr);
    EXPECT_EQ(shared.UndoCount(), 1);
    kept.FirstPar->Lines->Chars[0] = 'K';
    shared.Undo();
    EXPECT_EQ(Pars(kept), (std::vector<std::string>{"kept"}));
    EXPECT_FALSE(shared.CanUndo());
}
