// Editing at the cursor: typing, control characters, deleting the selection
// and the attribute changes of the selection. Every edit is recorded on the
// text's undo stack inside an undo group, so that one key undoes as one step.
#include "RtRtfTxtInput.h"

#include "RtFont.h"
#include "RtHeaderFooter.h"
#include "RtNumbering.h"
#include "RtObjectEnv.h"

#include <algorithm>

namespace {

bool ParEmpty(const TParagraph* Par)
{
    return Par && Par->Lines && !Par->Lines->Next && Par->Lines->Length == 0;
}

bool Numbered(const TParagraph* Par) { return Par->Number != 0 || Par->NumLevel != 0; }

} // namespace

// ---- helpers --------------------------------------------------------------------------------------------

int32_t TRtRTFTextInput::ParHeight(const TParagraph* Par) const
{
    int32_t h = 0;
    for (const TLine* l = Par ? Par->Lines : nullptr; l; l = l->Next)
        h += l->Height;
    return h;
}

// Measures and re-breaks Par; with Reformat the page layout follows. So it does when the
// paragraph's height changed, or when a header or footer edited in the body's place was emptied
// or filled again: its copies in the page gaps take room only while it has text.
TRtEditResult TRtRTFTextInput::Rebreak(TParagraph* Par, bool Reformat)
{
    if (!Par)
        return erNothing;
    const int32_t before = ParHeight(Par);
    MeasureParagraph(Par);
    const int32_t r = BreakParagraph(Par, true);
    const bool roomChanged = EditedSpecialText && EditedSpecialText->IsEmpty() != EditedSpecialTextWasEmpty;
    if (Reformat || r >= 3 || ParHeight(Par) != before || roomChanged) {
        ReformatText(nullptr);
        return erLayout;
    }
    return r == 2 ? erParagraph : erLines;
}

void TRtRTFTextInput::RemoveNumbering(TParagraph* Par)
{
    SaveUndo(Par, ukParagraph, ulIndent);
    Par->Number = 0;
    Par->NumLevel = 0;
    if (!EditOptions.Has(rtNoAutomaticHangingBulletsAndNumbers) && Par->IndentFirst < 0) {
        Par->IndentLeft = int16_t(std::max(0, Par->IndentLeft + Par->IndentFirst));
        Par->IndentFirst = 0;
    }
    Par->Flags |= parfReformat;
    RenumberPending = true;
    if (OnParagraphChanged)
        OnParagraphChanged(OwnerControl, Par);
}

bool TRtRTFTextInput::FieldAllowsChar()
{
    return GetMarkerStateAt(CursorPar, CursorLine, CursorPos) != 0;
}

void TRtRTFTextInput::RepaintCursorLines(TRtEditResult Result)
{
    if (Suspended() || !CursorPar)
        return;
    // The window painted from another text is painted anew as a whole.
    if (Result == erLayout || FullRepaintRequested || PaintedTextId != EditedHeaderFooterId()) {
        FullRepaintRequested = false;
        Refresh();
        return;
    }
    if (Result == erNothing)
        return;
    for (TLine* l = CursorPar->Lines; l; l = l->Next)
        if (Result == erParagraph || (l->Flags & linfChanged)) {
            RepaintLine(CursorPar, l);
            l->Flags &= uint16_t(~linfChanged);
        }
    // A header or footer edited in the body's place shows in the page gaps too.
    RepaintEditedSpecialCopies();
}

// ---- inserting -------------------------------------------------------------------------------------------

void TRtRTFTextInput::InsertText(const AnsiString& Text)
{
    InsertTextAndPaint(Text, Text.size() < 2);
}

void TRtRTFTextInput::InsertTextAndPaint(const AnsiString& Text, bool Repaint)
{
    if (FormatLock || InsertBusy)
        return;
    InsertBusy = true;
    if (OnBeforeChange)
        OnBeforeChange(OwnerControl);
    TRtEditResult r = erNothing;
    if (FirstPar && CursorPar)
        r = InsertCharsAtCursor(Text);
    if (Repaint && !Suspended()) {
        RepaintCursorLines(r);
        ShowCursor();
    }
    NotifyCursorMove();
    if (OnAfterChange)
        OnAfterChange(OwnerControl);
    InsertBusy = false;
}

TRtEditResult TRtRTFTextInput::InsertCharsAtCursor(const AnsiString& Text)
{
    if (!CursorPar || !CursorLine)
        return erNothing;
    const char* s = Text.c_str();
    PrepareCharsAtCursor(uint8_t(s[0]) == 1);
    const bool fieldMode = ProtectOptions.Has(ppAllExceptForEditFields);
    TRtEditResult result = erNothing;
    bool pageBreak = false;
    uint8_t prev = 0;
    // In double-byte mode a lead byte forces insert mode for the byte after it.
    const bool dbcs = DBCSMode.Has(rtdb_Enabled);
    bool afterLead = false;
    for (size_t i = 0; s[i]; ++i) {
        const uint8_t ch = uint8_t(s[i]);
        if (ch == 10 && (SkipLineFeeds || (SkipLineFeedAfterCR && prev == 13))) {
            prev = ch;
            continue;
        }
        prev = ch;
        const uint8_t next = uint8_t(s[i + 1]);
        const bool lastOfRun = next == 0 || next == 13 || next == 12 || next == 8 || next == 127;
        const bool insertMode = InsertMode;
        if (afterLead)
            InsertMode = true;
        const TRtEditResult r = fieldMode && ch != 8 && ch != 127 ? InsertFieldChar(ch, lastOfRun)
                                                                  : InsertCharOrControl(ch, lastOfRun, pageBreak);
        InsertMode = insertMode;
        afterLead = dbcs && !afterLead && IsLeadByte(ch, &CurrentAttr);
        result = std::max(result, r);
    }
    result = std::max(result, FinishCharsAtCursor(pageBreak));
    EndUndoGroup();
    return result;
}

void TRtRTFTextInput::PrepareCharsAtCursor(bool ObjectChar)
{
    if (!ObjectChar && ObjectEnv)
        ObjectEnv->HideFrame();
    SaveEditBoxState();
    BeginUndoGroup();
    // An object's reference character keeps the object bits it is inserted with.
    if (!Loading && !ObjectChar) {
        CurrentAttr.Style.Exclude(afsIsInsertpoint);
        CurrentAttr.Style.Exclude(afsIsObject);
    }
    if (CursorLine->Attrs) {
        if (CursorPos > 0 && CursorPos - 1 < CursorLine->Length)
            CursorLine->Attrs[CursorPos - 1].Style.Exclude(afsWasChecked);
        if (CursorPos < CursorLine->Length)
            CursorLine->Attrs[CursorPos].Style.Exclude(afsWasChecked);
    }
}

TRtEditResult TRtRTFTextInput::InsertFieldChar(uint8_t Ch, bool LastOfRun)
{
    // Only text inside a field can be typed, never its markers.
    if (Ch == RtFieldStart || Ch == RtFieldEnd || !FieldAllowsChar())
        return LastOfRun ? EndRefusedRun() : erNothing;
    const TAttr saved = CurrentAttr;
    CurrentAttr.Style.Include(afsAutomatic);
    CurrentAttr.Tag = CurrentFieldTag;
    const TRtEditResult r = InsertOneChar(Ch, LastOfRun);
    CurrentAttr = saved;
    return r;
}

TRtEditResult TRtRTFTextInput::InsertCharOrControl(uint8_t Ch, bool LastOfRun, bool& PageBreakMade)
{
    switch (Ch) {
    case 8: return Backspace();
    case 127: return DeleteAtCursor();
    case 12:
    case 13: {
        // A break takes the selection's place first: the paragraph the deletion leaves the cursor
        // in decides whether the break falls in a table cell.
        const TRtEditResult deleted = HasCompleteSelection() && DeleteSelection(false) ? erLayout : erNothing;
        if (Ch == 12) {
            PageBreakMade = true;
            return std::max(deleted, PageBreak());
        }
        if (CursorPar->Flags & parfTableCell)
            return std::max(deleted, InsertOneChar(Ch, LastOfRun));
        return std::max(deleted, BreakParagraphAt(false));
    }
    default: return InsertOneChar(Ch, LastOfRun);
    }
}

TRtEditResult TRtRTFTextInput::FinishCharsAtCursor(bool PageBreakMade)
{
    TRtEditResult result = erLines;
    if (PageBreakMade) {
        ReformatText(nullptr);
        ShowCursor();
        if (OnPageBreak)
            OnPageBreak(OwnerControl);
        result = erLayout;
    }
    if (RenumberPending) {
        RenumberPending = false;
        UpdateNumbering();
    }
    if (!EditBoxModes.Empty() && CursorPar)
        for (TLine* l = CursorPar->Lines; l; l = l->Next)
            if (l->Flags & linfPageStart) {
                ReformatText(nullptr);
                break;
            }
    if (CursorLine)
        CursorLine->Flags |= linfChanged;
    if (ObjRefList()->BookmarksChanged && !Loading) {
        ObjRefList()->BookmarksChanged = false;
        MarkBookmarkRanges(FirstPar, 0);
    }
    PendingScroll = false;
    // The edit-box modes check the text as it is now (and may take the edit back).
    if (EditBoxStoreActive) {
        EditBoxCheckRequested = true;
        CheckEditBox();
    }
    return result;
}

TRtEditResult TRtRTFTextInput::InsertOneChar(uint8_t Ch, bool LastOfRun)
{
    TRtEditResult result = erNothing;
    if (OnCursorParagraph && (HasCompleteSelection() || CursorPar != LastCursorParagraph))
        OnCursorParagraph(OwnerControl, CursorPar);
    LastCursorParagraph = CursorPar;
    SaveUndo(CursorPar, ukLines, ulInput);
    if (HasCompleteSelection() && DeleteSelection(false))
        result = erLayout;
    CursorPos = std::clamp<int32_t>(CursorPos, 0, CursorLine->Length);
    auto refused = [&] { return LastOfRun ? std::max(result, EndRefusedRun()) : result; };
    if (CurrentAttr.Style.Has(afsHidden) && !Loading && !InsertHidden)
        return refused();
    // A full line is broken first, so that its characters go on in a new line.
    if (CursorLine->Length >= RtMaxLineCapacity - 2)
        Rebreak(CursorPar, false);
    MarkChanged(CursorPar);
    if (!InsertChar(CursorPar, CursorLine, &CurrentAttr, Ch, CursorPos))
        return refused();  // the cursor stays
    if (Ch > 32 && !RtWordDelimiter[Ch])
        SkipWordAtCursor = true;
    if (!LastOfRun) {
        ++CursorPos;
        PendingReformat = true;
        return std::max(result, erLines);
    }
    PendingReformat = false;
    ++CursorPos;
    return std::max(result, Rebreak(CursorPar, Ch == 10));
}

TRtEditResult TRtRTFTextInput::EndRefusedRun()
{
    if (!PendingReformat)
        return erNothing;
    PendingReformat = false;
    return Rebreak(CursorPar, false);
}

// ---- control characters ------------------------------------------------------------------------------------

TRtEditResult TRtRTFTextInput::PageBreak()
{
    if (CursorPos == 0 && CursorLine == CursorPar->Lines &&
        ((CursorPar->Flags & parfNewPage) || CursorPar == FirstPar)) {
        TAttr blank = CurrentAttr;
        blank.Style = WrtStyle();
        blank.TextColor = 0;
        blank.BGColor = 0;
        SaveUndo(CursorPar, ukLines, ulInput);
        if (InsertChar(CursorPar, CursorLine, &blank, ' ', 0))
            CursorPos = 1;
    }
    if (CursorPar->Flags & parfTableCell) {
        TParagraph* p = CursorPar;
        while (p->Prior && (p->Flags & parfNotFirstCell))
            p = p->Prior;
        SaveUndo(p, ukProperties, ulInput);
        p->Flags ^= parfNewPage;
        MarkChanged(p);
        Refresh();
        return erLayout;
    }
    return BreakParagraphAt(true);
}

TRtEditResult TRtRTFTextInput::BreakParagraphAt(bool PageBreak)
{
    if (OnCursorParagraph)
        OnCursorParagraph(OwnerControl, CursorPar);
    if (CursorPar == FirstPar && CursorLine == FirstPar->Lines && CursorPos == 0 && !PageBreak) {
        // A new empty paragraph before the first one.
        if (IsProtected(CursorPar, CursorLine, 0))
            return erNothing;
        TParagraph* old = FirstPar;
        TParagraph* n = nullptr;
        InsertPar(n, 8);
        if (n != FirstPar) {
            n->Next = FirstPar;
            FirstPar->Prior = n;
            FirstPar = n;
        }
        n->IndentFirst = old->IndentFirst;
        n->IndentLeft = old->IndentLeft;
        n->IndentRight = old->IndentRight;
        n->SpaceBefore = old->SpaceBefore;
        n->SpaceAfter = old->SpaceAfter;
        n->SpaceBetween = old->SpaceBetween;
        n->Align = old->Align;
        n->ParAttr = CurrentAttr;
        if (n->Lines && n->Lines->Attrs)
            n->Lines->Attrs[0] = CurrentAttr;
        RenumberFrom(FirstPar);
        SaveUndo(n, ukInserted, ulInput);
        Rebreak(n, false);
        ReformatText(nullptr);
        return erLayout;
    }
    TParagraph* par = CursorPar;
    SaveUndo(par, ukParagraph, ulInput);
    if (!SplitPar(par, CursorLine, CursorPos))
        return erNothing;
    TParagraph* n = par->Next;
    RenumberFrom(par);
    // Undoing the split removes the new paragraph again.
    SaveUndo(n, ukInserted, ulInput);
    CursorPar = n;
    CursorLine = n->Lines;
    CursorPos = 0;
    n->Flags &= ~parfNewPage;
    if (PageBreak)
        n->Flags |= parfNewPage;
    if (ParEmpty(n)) {
        n->ParAttr = CurrentAttr;
        if (n->Lines->Attrs)
            n->Lines->Attrs[0] = CurrentAttr;
    }
    if (Numbered(n))
        RenumberPending = true;
    Rebreak(par, false);
    Rebreak(n, true);
    return erLayout;
}

TRtEditResult TRtRTFTextInput::Backspace()
{
    if (HasCompleteSelection() && DeleteSelection(false))
        return erLayout;
    if (ProtectOptions.Has(ppAllExceptForEditFields) && CursorPos > 0 && CursorLine->Attrs &&
        CursorLine->Chars[CursorPos - 1] == RtFieldStart &&
        CursorLine->Attrs[CursorPos - 1].Style.Has(afsIsInsertpoint))
        return erNothing;
    if (CursorPos > 0) {
        --CursorPos;
        if (IsDBCSTwo(CursorLine, CursorPos) && CursorPos > 0)
            --CursorPos;
        return DeleteAtCursor();
    }
    TRtEditResult result = erNothing;
    if (CursorLine->Attrs && CursorLine->Length > 0 && CursorLine->Attrs[0].Style.Has(afsHyphen)) {
        CursorLine->Attrs[0].Style.Exclude(afsHyphen);
        result = Rebreak(CursorPar, false);
    }
    if (AtTextStart() && AskNextBox(true, 8))
        return result;
    const bool emptyLast = CursorLine->Length == 0 && !CursorLine->Next;
    if (emptyLast && Numbered(CursorPar) &&
        (!CursorPar->Prior || !CursorPar->Prior->Lines || CursorPar->Prior->Lines->Length != 0)) {
        RemoveNumbering(CursorPar);
        return std::max(result, Rebreak(CursorPar, true));
    }
    if (CursorLine == CursorPar->Lines) {
        if (CursorPar == FirstPar || (CursorPar->Flags & parfTableCell)) {
            if (!CursorPar->Prior && (CursorPar->Flags & parfNewPage)) {
                SaveUndo(CursorPar, ukProperties, ulDeletion);
                CursorPar->Flags &= ~parfNewPage;
                CursorLine->Flags |= linfChanged;
                return std::max(result, Rebreak(CursorPar, true));
            }
            return result;
        }
        // Join with the previous visible paragraph.
        TParagraph* p = CursorPar->Prior;
        while (p && ParHidden(p) && p->Prior)
            p = p->Prior;
        if (!p)
            return result;
        CursorPar = p;
        CursorLine = GetLastLine(p);
        CursorPos = CursorLine->Length;
        return std::max(result, DeleteAtCursor());
    }
    // A wrapped line: the last character of the previous line goes.
    TLine* prevLine = CursorLine->Prior;
    if (prevLine->Length == 0 || IsProtected(CursorPar, prevLine, prevLine->Length - 1))
        return result;
    SaveUndo(CursorPar, ukLines, ulDeletion);
    int32_t pos = prevLine->Length - 1;
    if (IsDBCSTwo(prevLine, pos) && pos > 0)
        --pos;
    CursorLine = prevLine;
    CursorPos = pos;
    DeleteChar(CursorPar, prevLine, pos);
    Rebreak(CursorPar, true);
    return erLayout;
}

void TRtRTFTextInput::ResetLastParagraph()
{
    TParagraph* p = CursorPar;
    SaveUndo(p, ukParagraph, ulDeletion);
    for (TLine* l = p->Lines ? p->Lines->Next : nullptr; l;) {
        TLine* n = l->Next;
        DeleteLine(p, l);
        l = n;
    }
    ReleaseParRefs(p);
    p->Flags &= parfTableCell | parfNotFirstCell | parfNotLastCell;
    p->Flags |= parfReformat;
    CursorLine = p->Lines;
    CursorPos = 0;
    if (Numbered(p))
        RemoveNumbering(p);
    else if (OnParagraphChanged)
        OnParagraphChanged(OwnerControl, p);
}

TRtEditResult TRtRTFTextInput::DeleteAtCursor()
{
    if (HasCompleteSelection() && DeleteSelection(false))
        return erLayout;
    if (ProtectOptions.Has(ppAllExceptForEditFields) && CursorPos < CursorLine->Length && CursorLine->Attrs &&
        CursorLine->Chars[CursorPos] == RtFieldEnd && CursorLine->Attrs[CursorPos].Style.Has(afsIsInsertpoint))
        return erNothing;
    CursorPos = std::clamp<int32_t>(CursorPos, 0, CursorLine->Length);
    const bool parEnd = CursorPos >= CursorLine->Length && !CursorLine->Next;
    if (parEnd) {
        if (!CursorPar->Next) {
            if (CursorLine->Length == 0 && CursorLine == CursorPar->Lines &&
                (Numbered(CursorPar) || CursorPar->Prior)) {
                ResetLastParagraph();
                return Rebreak(CursorPar, true);
            }
            return erNothing;
        }
        TParagraph* next = CursorPar->Next;
        while (next && ParHidden(next) && next->Next)
            next = next->Next;
        if (next != CursorPar->Next)
            return erNothing;  // hidden paragraphs are never joined through
        if (!next->Lines || IsProtected(next, next->Lines, 0))
            return erNothing;
        if (EditOptions.Has(rtDontJoinParsWithDifferentStyles) && next->StyleIndex != CursorPar->StyleIndex)
            return erNothing;
        if ((next->Flags & parfTableCell) && !(CursorPar->Flags & parfTableCell)) {
            CursorPar = next;
            CursorLine = next->Lines;
            CursorPos = 0;
            return DeleteAtCursor();
        }
        if (CursorPar->Flags & parfTableCell)
            return erNothing;  // a cell is never joined with what follows
        const bool pageBreakNext = (next->Flags & parfNewPage) != 0;
        SaveUndo(CursorPar, ukParagraph, ulDeletion);
        SaveUndo(next, ukDeleted, ulDeletion);
        DeleteChars(1);
        RenumberFrom(CursorPar);
        if (ParEmpty(CursorPar))
            CursorPar->ParAttr = CurrentAttr;
        RenumberPending = RenumberPending || Numbered(CursorPar);
        Rebreak(CursorPar, true);
        if (pageBreakNext) {
            ShowCursor();
            if (OnPageBreak)
                OnPageBreak(OwnerControl);
        }
        return erLayout;
    }
    if (IsProtected(CursorPar, CursorLine, CursorPos))
        return erNothing;
    const uint16_t height = CursorLine->Height;
    SaveUndo(CursorPar, ukLines, ulDeletion);
    DeleteChars(1);
    if (ParEmpty(CursorPar))
        CursorPar->ParAttr = CurrentAttr;
    TRtEditResult r = Rebreak(CursorPar, false);
    if (CursorLine && CursorLine->Height != height)
        r = erLayout;
    return r;
}

bool TRtRTFTextInput::DeleteChars(int32_t Count)
{
    bool first = true;
    bool result = false;
    for (int32_t i = 0; i < Count; ++i) {
        const bool two = IsDBCSTwo(CursorLine, CursorPos + 1);
        const bool r = DeleteChar(CursorPar, CursorLine, CursorPos);
        if (two)
            DeleteChar(CursorPar, CursorLine, CursorPos);
        if (first)
            result = r;
        first = false;
    }
    return result;
}

// ---- deleting the selection --------------------------------------------------------------------------------

bool TRtRTFTextInput::DeleteSelection(bool DeleteExtraSpace)
{
    if (DeletionRunning)
        return false;
    if (MarkedCells > 0 && !SuppressCellEvent) {
        NewUndoLevel();
        if (OnMarkedCellsDelete)
            OnMarkedCellsDelete(OwnerControl);
        return true;
    }
    if (!HasCompleteSelection() || !SelStartLine || !SelEndLine)
        return false;
    SelStartPos = std::max(SelStartPos, 0);
    SelEndPos = std::max(SelEndPos, 0);
    if (SelReversed) {
        std::swap(SelStartPar, SelEndPar);
        std::swap(SelStartLine, SelEndLine);
        std::swap(SelStartPos, SelEndPos);
        SelReversed = false;
    }
    TParagraph* fromPar = SelStartPar;
    TLine* fromLine = SelStartLine;
    int32_t fromPos = std::min<int32_t>(SelStartPos, fromLine->Length);
    TParagraph* toPar = SelEndPar;
    TLine* toLine = SelEndLine;
    int32_t toPos = std::min<int32_t>(SelEndPos, toLine->Length);
    if (CharPosOf(fromPar, fromLine, fromPos) >= CharPosOf(toPar, toLine, toPos)) {
        ClearSelection(true);
        return false;
    }
    if (DeleteExtraSpace && !EditOptions.Has(rtDontDeleteExtraSpace) && toPos < toLine->Length &&
        toLine->Chars[toPos] == ' ')
        ++toPos;

    if (SelectionProtected(fromPar, fromLine, fromPos, toPar, toLine, toPos))
        return false;

    DeletionRunning = true;
    NewUndoLevel();
    BeginUndoGroup();
    CursorPar = fromPar;
    CursorLine = fromLine;
    CursorPos = fromPos;
    const bool wholeText = fromPar == FirstPar && fromLine == fromPar->Lines && fromPos == 0 && !toPar->Next &&
                           !toLine->Next && toPos == toLine->Length;
    const bool wholeCell = fromPar == toPar && (fromPar->Flags & parfTableCell) && fromPar->Lines == fromLine &&
                           !fromLine->Next && fromLine == toLine && fromPos == 0 && toPos == toLine->Length &&
                           !(fromPar->Flags & (parfNotFirstCell | parfNotLastCell)) && fromPar->Next;
    if (wholeCell) {
        TParagraph* next = fromPar->Next;
        SaveUndo(fromPar, ukDeleted, ulSelection);
        ReleaseParRefs(fromPar);
        TParagraph* p = fromPar;
        DeletePar(p);
        RenumberFrom(FirstPar);
        CursorPar = next;
        CursorLine = next->Lines;
        CursorPos = 0;
    } else if (fromLine == toLine) {
        SaveUndo(fromPar, ukLines, ulSelection);
        PairedDeleteGuard = true;
        for (int32_t i = fromPos; i < toPos; ++i)
            DeleteChar(fromPar, fromLine, fromPos);
        PairedDeleteGuard = false;
    } else if (fromPar == toPar) {
        SaveUndo(fromPar, ukLines, ulSelection);
        DeleteTextRange(fromPar, toPar, toPos, fromPos, fromLine, toLine);
    } else {
        bool cells = false;
        for (TParagraph* p = fromPar; p; p = p->Next) {
            cells = cells || (p->Flags & parfTableCell);
            if (p == toPar)
                break;
        }
        // Cells of a partly selected table keep their paragraphs; the whole text goes whole.
        if (cells && !wholeText)
            DeleteTextOfCells(fromPar, fromLine, fromPos, toPar, toLine, toPos);
        else
            DeleteParagraphRange(fromPar, fromLine, fromPos, toPar, toLine, toPos);
    }
    // An empty text holds no table, nor the borders its cell drew.
    if (wholeText && (CursorPar->Flags & parfTableCell)) {
        SaveUndo(CursorPar, ukProperties, ulSelection);
        CursorPar->Flags &= ~(parfTableCell | parfNotFirstCell | parfNotLastCell);
        CursorPar->BrdLines = 0;
        FreeParCell(CursorPar);
    }
    ClearSelection(false);
    if (CursorPar)
        MarkChanged(CursorPar);
    if (OnCaretPosition)
        OnCaretPosition(OwnerControl);
    FormatAll(false);
    EndUndoGroup();
    FlushPendingReformat();
    NotifySelectionChange();
    DeletionRunning = false;
    CheckEditBox();
    return true;
}

// Protection: the ends, or with ppProtectSelectedTextToo every character; the cursor goes to
// the protected place.
bool TRtRTFTextInput::SelectionProtected(TParagraph* fromPar, TLine* fromLine, int32_t fromPos, TParagraph* toPar,
                                         TLine* toLine, int32_t toPos)
{
    auto protectedAt = [&](TParagraph* P, TLine* L, int32_t Pos) { return IsProtected(P, L, Pos); };
    bool blocked = protectedAt(fromPar, fromLine, fromPos) ||
                   (toPos > 0 && protectedAt(toPar, toLine, toPos - 1));
    if (!blocked && ProtectOptions.Has(ppProtectSelectedTextToo)) {
        TParagraph* p = fromPar;
        TLine* l = fromLine;
        int32_t pos = fromPos;
        while (p && !blocked) {
            if (l == toLine && pos >= toPos)
                break;
            if (pos < l->Length) {
                if (protectedAt(p, l, pos)) {
                    blocked = true;
                    CursorPar = p;
                    CursorLine = l;
                    CursorPos = pos;
                }
                ++pos;
                continue;
            }
            StepToNextLineStart(p, l, pos);
            if (!l)
                break;
        }
    } else if (blocked) {
        CursorPar = fromPar;
        CursorLine = fromLine;
        CursorPos = fromPos;
    }
    return blocked;
}

// Cells are never joined: their text is removed, the paragraphs stay.
void TRtRTFTextInput::DeleteTextOfCells(TParagraph* fromPar, TLine* fromLine, int32_t fromPos, TParagraph* toPar,
                                        TLine* toLine, int32_t toPos)
{
    for (TParagraph* p = fromPar; p; p = p->Next) {
        SaveUndo(p, ukLines, ulSelection);
        if (p == toPar)
            break;
    }
    for (TParagraph* p = fromPar; p; p = p->Next) {
        TLine* first = p == fromPar ? fromLine : p->Lines;
        const int32_t start = p == fromPar ? fromPos : 0;
        if (p == toPar) {
            DeleteTextRange(p, p, toPos, 0, p->Lines, toLine);
            break;
        }
        TLine* last = GetLastLine(p);
        DeleteTextRange(p, p, last->Length, start, first, last);
        MarkChanged(p);
    }
    CursorPar = fromPar;
    CursorLine = fromLine;
    CursorPos = std::min<int32_t>(fromPos, fromLine->Length);
}

// Joins the first and last paragraph of the range, the ones between go.
void TRtRTFTextInput::DeleteParagraphRange(TParagraph* fromPar, TLine* fromLine, int32_t fromPos, TParagraph* toPar,
                                           TLine* toLine, int32_t toPos)
{
    // Deleted paragraphs are recorded last first, so that undo puts them back in order.
    SaveUndo(fromPar, ukParagraph, ulSelection);
    std::vector<TParagraph*> gone;
    for (TParagraph* p = fromPar->Next; p; p = p->Next) {
        gone.push_back(p);
        if (p == toPar)
            break;
    }
    for (auto it = gone.rbegin(); it != gone.rend(); ++it)
        SaveUndo(*it, ukDeleted, ulSelection);
    if (fromPos == 0 && fromLine == fromPar->Lines && toPos == 0 && toLine == toPar->Lines) {
        fromPar->IndentFirst = toPar->IndentFirst;
        fromPar->IndentLeft = toPar->IndentLeft;
        fromPar->IndentRight = toPar->IndentRight;
        fromPar->SpaceBefore = toPar->SpaceBefore;
        fromPar->SpaceAfter = toPar->SpaceAfter;
        fromPar->SpaceBetween = toPar->SpaceBetween;
        fromPar->Align = toPar->Align;
        fromPar->Number = toPar->Number;
        fromPar->NumberExtra = toPar->NumberExtra;
        fromPar->NumLevel = toPar->NumLevel;
        fromPar->StyleIndex = toPar->StyleIndex;
        fromPar->StyleFields = toPar->StyleFields;
        fromPar->ParAttr = toPar->ParAttr;
    }
    DeleteTextRange(fromPar, toPar, toPos, fromPos, fromLine, toLine);
    RenumberFrom(FirstPar);
    CursorPar = fromPar;
    CursorLine = fromLine;
    CursorPos = std::min<int32_t>(fromPos, fromLine->Length);
}

// ---- attributes ---------------------------------------------------------------------------------------------

void TRtRTFTextInput::ApplyFontToAttr(const TRtFont& Font)
{
    TTextHeader* h = Header();
    CurrentAttr.Font = uint16_t(std::max(0, h->GetTextFontIndex(Font.Name(), Font.Charset)));
    CurrentAttr.Size = uint16_t(std::max(0, Font.Size()));
    CurrentAttr.Style = Font.Style();
    auto index = [&](TColor C) {
        int32_t i = 0;
        if (C == clNone || !h->GetColorIndex(C, Use256Colors, i) || i < 0)
            return 0;
        return i;
    };
    const int32_t text = index(Font.Color());
    const int32_t back = Font.UseBKColor ? index(Font.BKColor()) : 0;
    if (Use256Colors) {
        CurrentAttr.TextColor = uint8_t(text);
        if (Font.UseBKColor)
            CurrentAttr.BGColor = uint8_t(back);
    } else {
        CurrentAttr.TextColor = uint8_t((text & 0x0F) | (Font.UseBKColor ? (back & 0x0F) << 4 : CurrentAttr.TextColor & 0xF0));
    }
}

bool TRtRTFTextInput::ChangeSelCharAttr(const TAttr& Attr, uint32_t Mask)
{
    BeginUndoGroup();
    ForEachSelectedPar([&](TParagraph* P) { SaveUndo(P, ukLines, ulAttributes); });
    SetCurrentAttr(Attr, Mask);
    EndUndoGroup();
    return true;
}

// Calls Fn for the marked cells, the paragraphs of the selection or the cursor paragraph.
void TRtRTFTextInput::ForEachSelectedPar(const std::function<void(TParagraph*)>& Fn)
{
    if (MarkedCells > 0) {
        for (TParagraph* p = FirstPar; p; p = p->Next)
            if (p->Flags & parfMarked)
                Fn(p);
        return;
    }
    if (!HasCompleteSelection()) {
        if (CursorPar)
            Fn(CursorPar);
        return;
    }
    TParagraph* from = SelReversed ? SelEndPar : SelStartPar;
    TParagraph* to = SelReversed ? SelStartPar : SelEndPar;
    TLine* toLine = SelReversed ? SelStartLine : SelEndLine;
    const int32_t toPos = SelReversed ? SelStartPos : SelEndPos;
    for (TParagraph* p = from; p; p = p->Next) {
        // A selection that ends at the very start of a paragraph leaves it out.
        if (p == to && p != from && toPos == 0 && toLine == p->Lines)
            break;
        Fn(p);
        if (p == to)
            break;
    }
}

void TRtRTFTextInput::ApplyNumberIndent(TParagraph* Par)
{
    TRtRTFNumberingStyle* style = nullptr;
    if (Numbered(Par) && NumberingStyles())
        style = NumberingStyles()->FindStyle(Par->Number, Par->NumLevel);
    if (style && (style->IndentLeft != 0 || style->IndentFirst != 0)) {
        Par->IndentLeft = int16_t(style->IndentLeft);
        Par->IndentFirst = int16_t(style->IndentFirst);
        return;
    }
    if (EditOptions.Has(rtNoAutomaticHangingBulletsAndNumbers))
        return;
    if (style && style->Indent > 0) {
        Par->IndentLeft = int16_t(style->Indent);
        Par->IndentFirst = int16_t(-style->Indent);
    } else if (!Numbered(Par) && Par->IndentFirst < 0) {
        Par->IndentLeft = int16_t(std::max(0, Par->IndentLeft + Par->IndentFirst));
        Par->IndentFirst = 0;
    }
}

bool TRtRTFTextInput::ChangeSelParAttr(const TRtParAttrValues& V, const uint64_t* Tabs, uint32_t Mask)
{
    if (FormatLock || InsertBusy)
        return false;
    BeginUndoGroup();
    const uint32_t numberBits = pamNumberStyle | pamNumberLevel | pamNextLevel | pamPriorLevel;
    ForEachSelectedPar([&](TParagraph* p) {
        SaveUndo(p, ukProperties, ulAttributes);
        ApplyParLayoutValues(p, V, Tabs, Mask);
        ApplyParNumberValues(p, V, Mask);
        if (Mask & numberBits)
            ApplyNumberIndent(p);
        p->Flags |= parfReformat;
    });
    if (Mask & numberBits)
        UpdateNumbering();
    EndUndoGroup();
    UpdateAfterChange(false);
    NotifyChange(rtchParAttr);
    return true;
}

// ChangeSelParAttr's changes of one paragraph: indents, spacing, flags,
// alignment, tabs, colour, shading, id and outline level.
void TRtRTFTextInput::ApplyParLayoutValues(TParagraph* Par, const TRtParAttrValues& V, const uint64_t* Tabs,
                                           uint32_t Mask)
{
    auto copy16 = [&](uint32_t Bit, int16_t& Field, int32_t Value) {
        if (Mask & Bit) {
            Field = int16_t(std::clamp(Value, -32768, 32767));
            Par->ChangeMask |= Bit;
        }
    };
    copy16(pamIndentLeft, Par->IndentLeft, V.IndentLeft);
    copy16(pamIndentRight, Par->IndentRight, V.IndentRight);
    copy16(pamIndentFirst, Par->IndentFirst, V.IndentFirst);
    copy16(pamSpaceBefore, Par->SpaceBefore, V.SpaceBefore);
    copy16(pamSpaceBetween, Par->SpaceBetween, V.SpaceBetween);
    copy16(pamSpaceAfter, Par->SpaceAfter, V.SpaceAfter);
    auto flag = [&](uint32_t Bit, uint32_t Flag, bool On) {
        if (Mask & Bit) {
            Par->Flags = On ? Par->Flags | Flag : Par->Flags & ~Flag;
            Par->ChangeMask |= Bit;
        }
    };
    flag(pamMultSpaceBetween, parfMultSpaceBetween, V.MultSpaceBetween);
    flag(pamParKeep, parfKeepTogether, V.ParKeep);
    flag(pamParKeepNext, parfKeepWithNext, V.ParKeepNext);
    flag(pamParProtect, parfProtected, V.ParProtect);
    if (Mask & pamAlignment)
        Par->Align = V.Alignment;
    if (Mask & pamVertAlignment) {
        Par->Flags &= ~(parfCellVCenter | parfCellVBottom);
        if (V.VertAlignment == paralVertCenter)
            Par->Flags |= parfCellVCenter;
        else if (V.VertAlignment == paralVertBottom)
            Par->Flags |= parfCellVBottom;
    }
    if ((Mask & pamTabStops) && Tabs) {
        Par->Tabs = *Tabs;
        Par->ChangeMask |= 0x2000;
    }
    if (Mask & pamParColor) {
        Par->Color = V.ParColor;
        if (Par->Shading == 0)
            Par->Shading = 100;
    }
    if (Mask & pamParShading)
        Par->Shading = V.ParShading;
    if (Mask & pamParId)
        Par->ParId = V.ParId;
    if (Mask & pamOutlineUp)
        Par->OutlineLevel = uint8_t(std::max(0, Par->OutlineLevel - 1));
    if (Mask & pamOutlineDown)
        Par->OutlineLevel = uint8_t(std::min(8, Par->OutlineLevel + 1));
}

// ChangeSelParAttr's changes of one paragraph: its style and its numbering.
void TRtRTFTextInput::ApplyParNumberValues(TParagraph* Par, const TRtParAttrValues& V, uint32_t Mask)
{
    if (Mask & pamStyleName) {
        Par->StyleIndex = int16_t(V.StyleIndex);
        if (Numbered(Par)) {
            Par->Number = 0;
            Par->NumLevel = 0;
        }
    }
    if (Mask & pamNumberStyle) {
        Par->Number = int16_t(V.NumberStyle);
        if (V.NumberStyle == 0)
            Par->NumLevel = 0;
    }
    if (Mask & pamNumberLevel) {
        TRtRTFNumberingStyleCollection* styles = NumberingStyles();
        TRtRTFNumberingStyle* own = styles ? styles->FindForPar(Par) : nullptr;
        Par->NumLevel = uint8_t(((V.NumberLevel % 9) + 9) % 9);
        // The numbering style of the paragraph's outline group at that level.
        if (styles) {
            if (own && own->Group > 0 && styles->SelectGroup(own->Group) > 0)
                if (TRtRTFNumberingStyle* level = styles->LevelSlot(Par->NumLevel + 1))
                    Par->Number = int16_t(level->Number);
        }
    }
    if (Mask & pamNextLevel)
        Par->NumLevel = uint8_t(std::min(8, Par->NumLevel + 1));
    if (Mask & pamPriorLevel)
        Par->NumLevel = uint8_t(std::max(0, Par->NumLevel - 1));
}

void TRtRTFTextInput::SetCellProperties(const TRtCellValues& Values, uint32_t Mask)
{
    BeginUndoGroup();
    ForEachSelectedPar([&](TParagraph* p) {
        if (!(p->Flags & parfTableCell))
            return;
        TRtCell* c = GetParCell(p);
        if (!c)
            return;
        SaveUndo(p, ukProperties, ulAttributes);
        if (Mask & 1)
            c->Name = Values.Name;
        if (Mask & 2)
            c->Command = Values.Command;
        if (Mask & 4)
            c->FormatNr = Values.FormatNr;
    });
    EndUndoGroup();
}

void TRtRTFTextInput::ApplyParStyle(const TRtParStyle& Style)
{
    if (FormatLock || InsertBusy)
        return;
    const TParagraph& s = Style.Par;
    const uint32_t m = Style.ParMask;
    // The character attributes the style sets, its own marks of difference cleared.
    auto applyAttr = [&](TAttr& A) {
        if (Style.CharMask & TRtParStyle::scFont)
            A.Font = Style.Attr.Font;
        if (Style.CharMask & TRtParStyle::scSize)
            A.Size = Style.Attr.Size;
        if (Style.CharMask & TRtParStyle::scColor)
            A.TextColor = Style.Attr.TextColor;
        if (Style.CharMask & TRtParStyle::scBGColor)
            A.BGColor = Style.Attr.BGColor;
        for (TOneWrtStyle bit : {afsBold, afsItalic, afsUnderline})
            if (Style.StyleBits.Has(bit)) {
                if (Style.Attr.Style.Has(bit))
                    A.Style.Include(bit);
                else
                    A.Style.Exclude(bit);
            }
        for (TOneWrtStyle mark : {afsParStyleBold, afsParStyleItalic, afsParStyleUnderline, afsParStyleFont,
                                  afsParStyleSize, afsParStyleColor, afsParStyleBGColor})
            A.Style.Exclude(mark);
    };
    BeginUndoGroup();
    ForEachSelectedPar([&](TParagraph* p) {
        SaveUndo(p, ukParagraph, ulAttributes);
        auto flags = [&](uint32_t Flags) { p->Flags = (p->Flags & ~Flags) | (s.Flags & Flags); };
        if (m & TRtParStyle::spIndentLeft)
            p->IndentLeft = s.IndentLeft;
        if (m & TRtParStyle::spIndentRight)
            p->IndentRight = s.IndentRight;
        if (m & TRtParStyle::spIndentFirst)
            p->IndentFirst = s.IndentFirst;
        if (m & TRtParStyle::spSpaceBefore)
            p->SpaceBefore = s.SpaceBefore;
        if (m & TRtParStyle::spSpaceAfter)
            p->SpaceAfter = s.SpaceAfter;
        if (m & TRtParStyle::spSpaceBetween) {
            p->SpaceBetween = s.SpaceBetween;
            flags(parfMultSpaceBetween);
        }
        if (m & TRtParStyle::spAlign)
            p->Align = s.Align;
        if (m & TRtParStyle::spShading) {
            p->Color = s.Color;
            p->Shading = s.Shading;
        }
        if (m & TRtParStyle::spTabs)
            p->Tabs = s.Tabs;
        if (m & TRtParStyle::spKeep)
            flags(parfKeepTogether | parfKeepWithNext);
        if (m & TRtParStyle::spBorders) {
            p->BrdLines = s.BrdLines;
            p->BrdWidth = s.BrdWidth;
            p->BrdColor = s.BrdColor;
            p->BrdSpace = s.BrdSpace;
        }
        applyAttr(p->ParAttr);
        for (TLine* l = p->Lines; l; l = l->Next)
            for (int32_t i = 0; l->Attrs && i < l->Length; ++i)
                if (!l->Attrs[i].Style.Has(afsIsObject))
                    applyAttr(l->Attrs[i]);
        p->ChangeMask |= pamStyleName;
        p->Flags |= parfReformat;
        MarkChanged(p);
    });
    EndUndoGroup();
    UpdateAfterChange(false);
    NotifyChange(rtchParAttr | rtchCharAttr);
}

void TRtRTFTextInput::SetNumberStart(int32_t Value)
{
    TParagraph* p = CursorPar;
    if (!p || FormatLock || InsertBusy)
        return;
    const uint16_t start = uint16_t(std::clamp(Value, 0, 65535));
    if (p->NumberExtra == start)
        return;
    BeginUndoGroup();
    SaveUndo(p, ukProperties, ulAttributes);
    p->NumberExtra = start;
    MarkChanged(p);
    EndUndoGroup();
    UpdateNumbering();
    UpdateAfterChange(false);
    NotifyChange(rtchParAttr);
}

void TRtRTFTextInput::ChangeParTabMask(uint64_t Mask, bool ClearTabs)
{
    BeginUndoGroup();
    ForEachSelectedPar([&](TParagraph* p) {
        SaveUndo(p, ukTabs, ulTabs);
        p->Tabs = ClearTabs ? p->Tabs & ~Mask : p->Tabs | Mask;
        p->ChangeMask |= 0x2000;
        MarkChanged(p);
        BreakParagraph(p, true);
    });
    EndUndoGroup();
    if (CursorPar)
        Header()->CurrentTabs = CursorPar->Tabs;
    ReformatText(nullptr);
    Refresh();
}

void TRtRTFTextInput::SetPageLayout(int32_t LeftMargin, int32_t RightMargin, int32_t TopMargin,
                                    int32_t BottomMargin, int32_t PageWidth, int32_t PageHeight)
{
    TTextHeader* h = Header();
    h->BeginUpdate();
    if (PageWidth != -1000)
        h->SetPageWidth(PageWidth);
    if (PageHeight != -1000)
        h->SetPageHeight(PageHeight);
    if (LeftMargin != -1000)
        h->SetLeftMargin(LeftMargin);
    if (RightMargin != -1000)
        h->SetRightMargin(RightMargin);
    if (TopMargin != -1000)
        h->SetTopMargin(TopMargin);
    if (BottomMargin != -1000)
        h->SetBottomMargin(BottomMargin);
    h->EndUpdate();
}

int32_t TRtRTFTextInput::InsertInsertpoint(uint8_t MarkerChar, const AnsiString& Text, const AnsiString& Name,
                                           int32_t Kind, const AnsiString& Str1, const AnsiString& Str2)
{
    if (!CursorPar || IsProtected(CursorPar, CursorLine, CursorPos))
        return -1;
    if (Name.empty())
        throw ERtEngineError(GetRtUIString(meUndefinedInsertpoint));
    TRtInsertpointList* list = InsertpointList();
    int32_t index = -1;
    for (TRtListItem* it = list->First(); it; it = list->Next()) {
        const auto* ip = static_cast<const TRtInsertpointItem*>(it);
        if (ip->Name == Name && ip->Value == Kind && ip->Str1 == Str1 && ip->Str2 == Str2) {
            index = ip->Id;
            break;
        }
    }
    if (index < 0)
        index = list->AddInsertpoint(Name, Str1, Kind, Str2);
    const TAttr saved = CurrentAttr;
    BeginUndoGroup();
    SaveUndo(CursorPar, ukLines, ulInput);
    CurrentAttr.Tag = uint32_t(index);
    CurrentAttr.Style.Include(afsIsInsertpoint);
    CurrentAttr.Style.Exclude(afsAutomatic);
    if (InsertChar(CursorPar, CursorLine, &CurrentAttr, MarkerChar, CursorPos))
        ++CursorPos;
    MarkChanged(CursorPar);
    if (!Text.empty()) {
        CurrentAttr.Style.Exclude(afsIsInsertpoint);
        CurrentAttr.Style.Include(afsAutomatic);
        for (char c : Text)
            if (c && InsertChar(CursorPar, CursorLine, &CurrentAttr, uint8_t(c), CursorPos))
                ++CursorPos;
        CursorLine->Flags |= linfChanged;
    }
    EndUndoGroup();
    CurrentAttr.Tag = saved.Tag;
    CurrentAttr.Style = saved.Style;
    Rebreak(CursorPar, true);
    if (!UpdatesLocked)
        Refresh();
    return index;
}

// ---- the cursor at a point ---------------------------------------------------------------------------------

bool TRtRTFTextInput::MoveCursorToPoint(int32_t X, int32_t Y, bool Select, bool Repaint)
{
    if (EngineOptions & eoNoCursorMoves)
        return false;
    SaveFieldReturn(true, false);
    if (!Select)
        Selecting = false;
    else if (!Selecting) {
        if (!SelStartPar)
            SetSelectionPoint(CursorPar, CursorLine, CursorPos, false, false);
        Selecting = true;
    }
    const bool hit = TRtRTFTextPaint::MoveCursorToPoint(X, Y, Repaint, false);
    if (ProtectOptions.Has(ppAllExceptForEditFields) && !FieldAllowsChar() && CursorLine && CursorLine->Attrs) {
        for (int32_t i = 0; i < CursorLine->Length; ++i)
            if (CursorLine->Chars[i] == RtFieldStart && CursorLine->Attrs[i].Style.Has(afsIsInsertpoint)) {
                CursorPos = i + 1;
                break;
            }
    }
    if (!CheckFieldPosition())
        return false;
    if (Select)
        SetSelectionPoint(CursorPar, CursorLine, CursorPos, true, Repaint);
    else if (HasCompleteSelection())
        ClearSelection(Repaint);
    NotifyCursorMove();
    RecheckCursorWord(false);
    UpdateCaret();
    ReportCaretPosition();
    if (OnPositionChanged)
        OnPositionChanged(OwnerControl);
    NotifyChange(rtchCursor);
    return hit;
}
