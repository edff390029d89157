// Edit-box modes and spell checking as you type of the input engine.
#include "RtRtfTxtInput.h"

#include <algorithm>

namespace {

// The format text flows between boxes in: RTF when its writer is linked.
AnsiString FlowFormat()
{
    return FindRtClass(RtDefaultReaderWriter.RTFWriter) && FindRtClass(RtDefaultReaderWriter.RTFReader)
               ? AnsiString("RTF")
               : AnsiString("ANSI");
}

TParagraph* LastPar(TParagraph* P)
{
    while (P && P->Next)
        P = P->Next;
    return P;
}

// The layout width of the widest paragraph, its lines laid end to end.
int32_t WidestParagraph(TRtRTFTextInput& E)
{
    int32_t widest = 0;
    for (TParagraph* p = E.FirstPar; p; p = p->Next) {
        int32_t sum = 0;
        for (TLine* l = p->Lines; l; l = l->Next)
            sum += E.GetLineTextWidth(p, l);
        widest = std::max(widest, sum);
    }
    return widest;
}

// Asks the owner about a new box size (the event may change it); True when the box is to change.
bool AskBoxSize(const TRtChangeBoxEvent& Event, TObject* Owner, int32_t& NewWidth, int32_t& NewHeight)
{
    bool change = true;
    if (Event)
        Event(Owner, NewWidth, NewHeight, change);
    return change;
}

} // namespace

// ---- spell checking as you type ------------------------------------------------------------------------

bool TRtRTFTextInput::SpellCheckParagraph(TParagraph* Par, bool Force)
{
    if (SpellCheckPaused || Suspended() || PaintLocked || !Par || !Par->Lines || !Par->Lines->Attrs ||
        SpellChecking)
        return false;
    if (OnSpellCheckPar) {
        OnSpellCheckPar(OwnerControl, Par);
        return false;
    }
    if (!OnSpellCheckWord)
        return false;
    SpellChecking = true;
    TRtSpellSetup setup;
    setup.Sender = OwnerControl;
    setup.OnSpellCheckWord = OnSpellCheckWord;
    setup.SkipWordAtCursor = SkipWordAtCursor;
    setup.CheckHyperlinkWords = CheckHyperlinkWords;
    bool pending = CursorWordPending;
    const bool changed = RtSpellCheckWords(*this, Par, Force, setup, pending);
    CursorWordPending = pending;
    SpellChecking = false;
    return changed;
}

void TRtRTFTextInput::RecheckCursorWord(bool Force)
{
    if (Force && CursorLine && CursorLine->Attrs) {
        if (CursorPos > 0 && CursorPos - 1 < CursorLine->Length)
            CursorLine->Attrs[CursorPos - 1].Style.Exclude(afsWasChecked);
        if (CursorPos < CursorLine->Length)
            CursorLine->Attrs[CursorPos].Style.Exclude(afsWasChecked);
        CursorWordPending = true;
    }
    if (!CursorWordPending || SpellChecking)
        return;
    SkipWordAtCursor = false;
    if (SpellCheckParagraph(CursorPar, true)) {
        if (OnHideCaret)
            OnHideCaret(this);
        for (TLine* l = CursorPar->Lines; l; l = l->Next)
            RepaintLine(CursorPar, l);
    }
    CursorWordPending = false;
}

// ---- edit-box modes --------------------------------------------------------------------------------------

void TRtRTFTextInput::UpdateEditBoxMode()
{
    const TRtEditBoxModes m = EditBoxModes;
    const bool limits = MaxTextLength > 0 || MaxParLength > 0;
    const bool onlyWidth = m == TRtEditBoxModes{rtemLimitTextWidth};
    const bool onlyCursor = m == TRtEditBoxModes{rtemCheckCursorMovement};
    if (((!m.Empty() && !onlyWidth) || limits) && !onlyCursor) {
        if (!EditBoxStore)
            EditBoxStore = std::make_unique<TRtRTFTextIo>();
        EditBoxStoreActive = true;
        SaveEditBoxState();
        EditBoxCheckRequested = true;
        CheckEditBox();
        EditBoxCheckRequested = false;
    } else {
        EditBoxStore.reset();
        EditBoxStoreActive = false;
        EditBoxCheckRequested = false;
    }
}

void TRtRTFTextInput::SaveEditBoxState()
{
    if (!EditBoxStoreActive || !EditBoxStore)
        return;
    EditBoxStore->Assign(*this);
    EditBoxStore->SetCursorCharPos(GetCursorAbsPos());
    EditBoxAttr = CurrentAttr;
}

bool TRtRTFTextInput::EditBoxTooBig()
{
    if (!(EngineOptions & eoNoLengthCheck))
        return ScreenTextHeight > VisibleHeightPx;
    const bool severalLines = FirstPar && (FirstPar->Next || (FirstPar->Lines && FirstPar->Lines->Next));
    const TLine* first = FirstPar ? FirstPar->Lines : nullptr;
    if (severalLines)
        return true;
    if (MaxTextLength > 0 && first && first->Length > MaxTextLength)
        return true;
    constexpr uint32_t eoWidthLimit = 1u << 21;
    return (EngineOptions & eoWidthLimit) && first && GetLineTextWidth(FirstPar, FirstPar->Lines) > VisibleWidth;
}

int32_t TRtRTFTextInput::CountFittingChars()
{
    int32_t count = 0;
    for (TParagraph* p = FirstPar; p; p = p->Next) {
        for (TLine* l = p->Lines; l; l = l->Next) {
            if (DocToScreen(l->Top + l->Height) > VisibleHeightPx)
                return count;
            count += l->Length;
        }
        ++count;
    }
    return count;
}

void TRtRTFTextInput::TakeEditBack()
{
    if (!EditBoxStore)
        return;
    const bool locked = RepaintLocked;
    RepaintLocked = true;
    const int32_t cursor = EditBoxStore->GetCursorAbsPos();
    TRtRTFTextIo::Assign(*EditBoxStore);
    CurrentAttr = EditBoxAttr;
    SetCursorCharPos(cursor);
    for (TParagraph* p = FirstPar; p; p = p->Next)
        p->Flags |= parfReformat;
    FormatAll(false);
    RepaintLocked = locked;
    if (OnCaretMoved)
        OnCaretMoved(this);
    NotifyChange(rtchAll);
}

int32_t TRtRTFTextInput::HandOverText(int32_t Free, TStream* Stream)
{
    if (!Stream || Free <= 0 || !FirstPar)
        return 0;
    // Whole paragraphs from the start that fit into Free pixels; never the last one.
    TParagraph* last = nullptr;
    int32_t height = 0;
    for (TParagraph* p = FirstPar; p && p->Next; p = p->Next) {
        height += DocToScreen(ParHeight(p));
        if (height > Free)
            break;
        last = p;
    }
    if (!last)
        return 0;
    const int64_t before = Stream->Position();
    WriteWithFormat(FlowFormat(), FirstPar, last, Stream);
    TParagraph* stop = last->Next;
    for (TParagraph* p = FirstPar; p != stop;) {
        ReleaseParRefs(p);
        DeletePar(p);
    }
    RenumberFrom(FirstPar);
    CursorPar = FirstPar;
    CursorLine = FirstPar->Lines;
    CursorPos = 0;
    ClearSelection(false);
    UpdateAfterChange(false);
    return int32_t(Stream->Position() - before);
}

void TRtRTFTextInput::CheckEditBox()
{
    // Never while a reader builds the text: its paragraphs are not complete yet.
    if (editBoxChecking_ || !EditBoxCheckRequested || !EditBoxStore || EditBoxResizing || Loading)
        return;
    EditBoxCheckRequested = false;
    editBoxChecking_ = true;
    const bool updates = UpdatesLocked;
    struct TGuard {
        TRtRTFTextInput& E;
        bool Updates;
        ~TGuard()
        {
            E.UpdatesLocked = Updates;
            E.editBoxChecking_ = false;
        }
    } guard{*this, updates};

    if (OwnerControl && AutoSizeEditBox())
        return;
    UpdatesLocked = true;
    bool tooBig = EditBoxTooBig();
    TRtRTFTextInput* source = nullptr;
    if ((tooBig || TextFlowPending) && EditBoxModes.Has(rtemCheckTextFlow) && OwnerControl &&
        OnEditBoxTextFlowsIn)
        source = TakeTextFlowingIn(tooBig);
    if (tooBig && !TextFlowPending) {
        if (EditBoxModes.Has(rtemCheckTextFlow) && OwnerControl)
            FlowTextOut(updates);
        else if (EditBoxModes.Has(rtemLimitTextHeight))
            TakeEditBack();
    }
    if (source && source != this)
        source->Refresh();
}

void TRtRTFTextInput::ResizeEditBox(int32_t Width, int32_t Height)
{
    EditBoxResizing = true;
    BoxWidth = Width;
    BoxHeight = Height;
    if (OnSetBoxSize)
        OnSetBoxSize(Width, Height);
    EditBoxResizing = false;
}

void TRtRTFTextInput::UpdateAfterChangeUnlocked()
{
    UpdatesLocked = false;
    UpdateAfterChange(true);
    UpdatesLocked = true;
}

bool TRtRTFTextInput::AutoSizeEditBox()
{
    const int32_t w = BoxWidth, h = BoxHeight;
    if (EditBoxModes.Has(rtemAutoSizeWidth)) {
        int32_t newW = DocToScreen(WidestParagraph(*this)) + 16;
        int32_t newH = h;
        if (newW != w && AskBoxSize(OnEditBoxChangeWidth, OwnerControl, newW, newH) && !BoxDesigning) {
            ResizeEditBox(newW, h);
            return true;
        }
    }
    if (EditBoxModes.Has(rtemAutoSizeHeight)) {
        const int32_t needed = DocToScreen(ScreenTextHeight) + 4;
        int32_t newW = w;
        int32_t newH = needed;
        if (newH != h) {
            const bool change = AskBoxSize(OnEditBoxChangeHeight, OwnerControl, newW, newH);
            if (newH < needed && EditBoxModes.Has(rtemLimitTextHeight)) {
                TakeEditBack();
                return true;
            }
            if (change && !BoxDesigning) {
                ResizeEditBox(w, newH);
                return true;
            }
        }
    }
    return false;
}

TRtRTFTextInput* TRtRTFTextInput::TakeTextFlowingIn(bool& TooBig)
{
    TRtRTFTextInput* source = nullptr;
    const int32_t free = VisibleHeightPx - ScreenTextHeight;
    OnEditBoxTextFlowsIn(OwnerControl, source);
    if (!source || source == this)
        return source;
    TMemoryStream stream;
    source->HandOverText(free, &stream);
    if (stream.Size() > 1) {
        const int32_t cursor = GetCursorAbsPos();
        ClearSelection(false);
        stream.SetPosition(0);
        TParagraph* last = LastPar(FirstPar);
        CursorPar = last;
        CursorLine = GetLastLine(last);
        CursorPos = CursorLine->Length;
        InsertFromStream(-1, true, &stream);
        UpdateAfterChangeUnlocked();
        SetCursorCharPos(cursor);
        TextFlowPending = false;
        TooBig = EditBoxTooBig();
    }
    return source;
}

void TRtRTFTextInput::FlowTextOut(bool Updates)
{
    const int32_t fit = CountFittingChars();
    const int32_t cursor = GetCursorAbsPos();
    const bool oldFlow = RtTextFlowInProgress;
    RtTextFlowInProgress = true;
    if (OnEditBoxTextFlowsOut)
        PassTextOnFrom(fit);
    SetCursorCharPos(std::min(cursor, fit));
    TopY = 0;
    UpdateAfterChangeUnlocked();
    if (EditBoxModes.Has(rtemAutoSizeHeight)) {
        int32_t newW = BoxWidth;
        int32_t newH = DocToScreen(ScreenTextHeight) + 4;
        if (newH < BoxHeight && AskBoxSize(OnEditBoxChangeHeight, OwnerControl, newW, newH) && !BoxDesigning)
            ResizeEditBox(BoxWidth, newH);
    }
    UpdatesLocked = Updates;
    Refresh();
    UpdatesLocked = true;
    // A cursor at or after the first character that left went with it.
    const bool cursorLeft =
        cursor >= fit || (CursorLine && CursorLine->Top + CursorLine->Height > VisibleHeight);
    if (cursorLeft && EditBoxModes.Has(rtemCheckCursorMovement) && OnEditBoxCursorLeaves && !oldFlow) {
        TRtRTFTextInput* next = nullptr;
        OnEditBoxCursorLeaves(OwnerControl, false, next, 0);
        if (next)
            next->ActivateAsNextBox(this, 0);
    }
    RtTextFlowInProgress = oldFlow;
}

void TRtRTFTextInput::PassTextOnFrom(int32_t AbsPos)
{
    TParagraph* fromPar = nullptr;
    TLine* fromLine = nullptr;
    int32_t fromPos = 0;
    FindAbsPos(AbsPos, 0, fromPos, fromLine, fromPar);
    if (!fromPar || !fromLine)
        return;
    TMemoryStream stream;
    TParagraph* last = LastPar(FirstPar);
    TLine* lastLine = GetLastLine(last);
    WriteWithFormat(FlowFormat(), fromPar, last, &stream, fromLine, fromPos, lastLine, lastLine->Length);
    stream.SetPosition(0);
    OnEditBoxTextFlowsOut(OwnerControl, &stream);
    // The text that left ends with the box's last paragraph mark.
    if (fromPar->Prior && fromPos == 0 && fromLine == fromPar->Lines) {
        TParagraph* prev = fromPar->Prior;
        TLine* prevLast = GetLastLine(prev);
        DeleteTextRange(prev, last, lastLine->Length, prevLast->Length, prevLast, lastLine);
    } else {
        DeleteTextRange(fromPar, last, lastLine->Length, fromPos, fromLine, lastLine);
    }
    ClearSelection(false);
}
