#include "RtRtfTxtInput.h"

#include "RtFont.h"
#include "RtObjectEnv.h"

#include <algorithm>

bool RtTextFlowInProgress = false;

namespace {

bool IsBlank(uint8_t Ch) { return Ch == ' ' || Ch == '\t'; }

} // namespace

TRtRTFTextInput::TRtRTFTextInput(bool AllocFlag) : TRtRTFTextPaint(AllocFlag)
{
    PlainFont = std::make_unique<TRtFont>();
    Positions().Add(DropEntry);
    Positions().Add(LastCursorParagraph);
    Positions().Add(HotPar);
    Positions().Add(FieldReturn.Par, FieldReturn.Line, FieldReturn.Pos);
}

TRtRTFTextInput::~TRtRTFTextInput()
{
    Positions().Remove(this, sizeof(*this));
    PlainFont.reset();
}

// ---- overridden operations ------------------------------------------------------------------------

void TRtRTFTextInput::Assign(TRtRTFTextIo& Source)
{
    TRtRTFTextIo::Assign(Source);
    ShowCursor();
    Refresh();
}

void TRtRTFTextInput::Clear()
{
    TRtRTFTextPaint::Clear();
    SelStartPar = SelEndPar = nullptr;
    SelStartLine = SelEndLine = nullptr;
    SelStartPos = SelEndPos = 0;
    Selecting = false;
    TopY = 0;
    CursorPar = FirstPar;
    CursorLine = FirstPar ? FirstPar->Lines : nullptr;
    CursorPos = 0;
    ApplyFontToAttr(*PlainFont);
    if (CursorPar && CursorPar->StyleIndex > 0)
        CurrentAttr = CursorPar->ParAttr;
    UpdateCaretMetrics();
}

void TRtRTFTextInput::LoadWithReader(TStream* Stream, TRtCustomTextReader* Reader)
{
    TRtRTFTextPaint::LoadWithReader(Stream, Reader);
    NotifyCursorMove();
}

void TRtRTFTextInput::SetCursorAbsPos(int32_t AbsPos, int32_t LineNr, int32_t Column0, int32_t ParNr)
{
    TRtRTFTextPaint::SetCursorAbsPos(AbsPos, LineNr, Column0, ParNr);
    if (CursorLine && CursorLine->Next && CursorPos >= CursorLine->Length) {
        CursorLine = CursorLine->Next;
        CursorPos = 0;
    }
    if (Loading || UpdatesLocked)
        return;
    NotifyCursorMove();
    if (OnPositionChanged)
        OnPositionChanged(OwnerControl);
    NotifyChange(rtchCursor);
}

void TRtRTFTextInput::ShowObjectFrame(TTextObj* Entry)
{
    if (!ObjectEnv)
        return;
    if (!Entry)
        ObjectEnv->HideFrame();
    else
        ObjectEnv->SelectObject(Entry);
}

void TRtRTFTextInput::ScrollObjectFrame(int32_t Dx, int32_t Dy)
{
    if (ObjectEnv)
        ObjectEnv->ScrollFrame(Dy, Dx);
}

// ---- cursor helpers ---------------------------------------------------------------------------------

bool TRtRTFTextInput::ParHidden(const TParagraph* Par)
{
    return Par && (Par->Flags & (parfSkip1 | parfSkip2)) != 0;
}

TLine* TRtRTFTextInput::LastTextLine() const
{
    TParagraph* p = FirstPar;
    while (p && p->Next)
        p = p->Next;
    return p ? GetLastLine(p) : nullptr;
}

bool TRtRTFTextInput::AtTextStart() const
{
    return CursorPar == FirstPar && CursorLine == (FirstPar ? FirstPar->Lines : nullptr);
}

bool TRtRTFTextInput::AtTextEnd() const { return CursorPar && !CursorPar->Next && CursorLine && !CursorLine->Next; }

bool TRtRTFTextInput::IsDBCSTwo(const TLine* Line, int32_t Pos) const
{
    return DBCSMode.Has(rtdb_Enabled) && Line && Line->Attrs && Pos >= 0 && Pos < Line->Length &&
           Line->Attrs[Pos].Style.Has(afsDBCSTwo);
}

void TRtRTFTextInput::NotifyCursorMove()
{
    if (IsEmpty() || Suspended() || InsertBusy)
        return;
    if (OnCursorMove)
        OnCursorMove(this);
}

void TRtRTFTextInput::FlushPendingReformat()
{
    if (!PendingReformat || !CursorPar)
        return;
    PendingReformat = false;
    BreakParagraph(CursorPar, true);
    ReformatText(nullptr);
}

void TRtRTFTextInput::ClearSelection(bool Repaint)
{
    bool changed = false;
    for (TParagraph* p = FirstPar; p; p = p->Next)
        for (TLine* l = p->Lines; l; l = l->Next)
            if (l->Flags & (linfSelected | linfSelBoundary)) {
                l->Flags = uint16_t((l->Flags & ~(linfSelected | linfSelBoundary)) | linfChanged);
                changed = true;
            }
    if (MarkedCells > 0) {
        ClearCellMarks();
        changed = true;
    }
    const bool had = SelEndPar != nullptr;
    SelStartPar = SelEndPar = nullptr;
    SelStartLine = SelEndLine = nullptr;
    SelStartPos = SelEndPos = 0;
    SelReversed = false;
    if (had)
        SelectionChanged = true;
    if (changed && Repaint && !UpdatesLocked)
        Refresh();
}

void TRtRTFTextInput::PrepareSelection(bool Select)
{
    if (!Select) {
        Selecting = false;
        if (SelEndPar)
            ClearSelection(true);
        return;
    }
    if (SelEndPar == CursorPar && SelEndLine == CursorLine && SelEndPos == CursorPos)
        Selecting = true;
    if (!Selecting) {
        SetSelectionPoint(CursorPar, CursorLine, CursorPos, false, true);
        Selecting = true;
    }
}

// The finishing steps of the codes that do not use a move operation.
void TRtRTFTextInput::FinishMove(bool Select)
{
    NotifyCursorMove();
    if (Select)
        SetSelectionPoint(CursorPar, CursorLine, CursorPos, true, true);
    ShowCursor();
    UpdateCaret();
}

// A right move past a line's end: on to the start of the line below.
void TRtRTFTextInput::StepDownToLineStart(bool Select, bool Repaint)
{
    MoveDown(1, Select, Repaint, false);
    CursorPos = 0;
    if (Select)
        SetSelectionPoint(CursorPar, CursorLine, CursorPos, true, true);
    Moving = false;
    UpdateCaretMetrics();
}

bool TRtRTFTextInput::BeginStep()
{
    if ((EngineOptions & eoNoCursorMoves) || !CursorLine)
        return false;
    Moving = true;
    return true;
}

void TRtRTFTextInput::EndStep(bool Select, bool Repaint, bool CheckField)
{
    Moving = false;
    if (CheckField && !CheckFieldPosition())
        return;
    if (Select)
        SetSelectionPoint(CursorPar, CursorLine, CursorPos, true, true);
    NotifyCursorMove();
    UpdateCaretMetrics();
    if (Repaint)
        ShowCursor();
    else if (OnCaretPosition)
        OnCaretPosition(OwnerControl);
}

void TRtRTFTextInput::StepToNextLineStart(TParagraph*& Par, TLine*& Line, int32_t& Pos)
{
    if (Line->Next) {
        Line = Line->Next;
    } else {
        Par = Par->Next;
        Line = Par ? Par->Lines : nullptr;
    }
    Pos = 0;
}

bool TRtRTFTextInput::StepToPriorLine()
{
    if (CursorLine->Prior) {
        CursorLine = CursorLine->Prior;
        return true;
    }
    TParagraph* p = CursorPar->Prior;
    while (p && ParHidden(p))
        p = p->Prior;
    if (!p)
        return false;
    CursorPar = p;
    CursorLine = GetLastLine(p);
    return true;
}

bool TRtRTFTextInput::StepToNextLine()
{
    if (CursorLine->Next) {
        CursorLine = CursorLine->Next;
        return true;
    }
    TParagraph* p = CursorPar->Next;
    while (p && ParHidden(p))
        p = p->Next;
    if (!p || !p->Lines)
        return false;
    CursorPar = p;
    CursorLine = p->Lines;
    return true;
}

bool TRtRTFTextInput::AskNextBox(bool Up, uint8_t Ch)
{
    if (!EditBoxModes.Has(rtemCheckCursorMovement) || !OnEditBoxCursorLeaves)
        return false;
    TRtRTFTextInput* next = nullptr;
    OnEditBoxCursorLeaves(OwnerControl, Up, next, Ch);
    if (!next)
        return false;
    next->ActivateAsNextBox(this, 0);
    return true;
}

void TRtRTFTextInput::ActivateAsNextBox(TRtRTFTextInput* /*From*/, int32_t /*Mode*/)
{
    CursorPar = FirstPar;
    CursorLine = FirstPar ? FirstPar->Lines : nullptr;
    CursorPos = 0;
    if (OnActivate)
        OnActivate(this);
    UpdateCaret();
}

// ---- the command dispatcher ------------------------------------------------------------------------------

void TRtRTFTextInput::MoveCursor(uint8_t Code, bool Select)
{
    MoveCursorCommand(Code, Select);
    // The word the cursor left gets its spell check now.
    if (Code != ccSelectionEnd && Code != ccSelectionStart)
        RecheckCursorWord(false);
}

void TRtRTFTextInput::MoveCursorCommand(uint8_t Code, bool Select)
{
    if (!CursorPar || !CursorLine || Code > ccFieldEnd || (EngineOptions & eoNoCursorMoves))
        return;
    if (Code == ccSelectionEnd || Code == ccSelectionStart) {
        if (!HasCompleteSelection())
            return;
        const bool toAnchor = (Code == ccSelectionEnd) == SelReversed;
        CursorPar = toAnchor ? SelStartPar : SelEndPar;
        CursorLine = toAnchor ? SelStartLine : SelEndLine;
        CursorPos = toAnchor ? SelStartPos : SelEndPos;
        return;
    }
    PendingScroll = false;
    FlushPendingReformat();
    const bool fieldMode = ProtectOptions.Has(ppAllExceptForEditFields);
    switch (Code) {
    case ccLeft: MoveLeft(1, Select, true); return;
    case ccRight: MoveRight(1, Select, true); return;
    case ccUp: MoveUp(1, Select, true, true); return;
    case ccDown: MoveDown(1, Select, true, true); return;
    case ccWordLeft: MoveWordLeft(1, Select, true); return;
    case ccWordRight: MoveWordRight(1, Select, true); return;
    case ccPageUp: PageMove(true, Select); return;
    case ccPageDown: PageMove(false, Select); return;
    default: break;
    }
    PrepareSelection(Select);
    switch (Code) {
    case ccLineStart:
        if (fieldMode) {
            FieldMove(true, Select);
            return;
        }
        CursorPos = 0;
        CaretX = 0;
        break;
    case ccLineEnd: {
        if (fieldMode) {
            FieldMove(false, Select);
            return;
        }
        const int32_t n = CursorLine->Length;
        CursorPos = n > 0 && CursorLine->Chars[n - 1] == 10 ? n - 1 : n;
        CaretX = RtCaretXEnd;
        break;
    }
    case ccTextStart:
        CursorPar = FirstPar;
        CursorLine = FirstPar->Lines;
        CursorPos = 0;
        CaretX = 0;
        break;
    case ccTextEnd: {
        TLine* last = LastTextLine();
        TParagraph* p = FirstPar;
        while (p->Next)
            p = p->Next;
        CursorPar = p;
        CursorLine = last;
        CursorPos = last->Length;
        CaretX = 9999;
        break;
    }
    case ccWindowTop:
    case ccWindowBottom:
        WindowEdgeMove(Code == ccWindowTop, Select);
        break;
    case ccFieldStart:
    case ccFieldEnd:
        FieldMove(Code == ccFieldStart, Select);
        return;
    default: break;
    }
    FinishMove(Select);
}

void TRtRTFTextInput::WindowEdgeMove(bool Top, bool /*Select*/)
{
    TParagraph* bestPar = nullptr;
    TLine* bestLine = nullptr;
    for (TParagraph* p = FirstPar; p; p = p->Next) {
        if (ParHidden(p))
            continue;
        for (TLine* l = p->Lines; l; l = l->Next) {
            if (Top) {
                if (l->Top >= TopY - 1) {
                    bestPar = p;
                    bestLine = l;
                    p = nullptr;
                    break;
                }
            } else if (l->Top - TopY + l->Height <= VisibleHeight) {
                bestPar = p;
                bestLine = l;
            }
        }
        if (!p)
            break;
    }
    if (!bestLine)
        return;
    if (Top ? AtTextStart() : AtTextEnd())
        return;
    CursorPar = bestPar;
    CursorLine = bestLine;
    CursorPos = std::clamp<int32_t>(CursorPos, 0, bestLine->Length);
}

// ---- the move operations -------------------------------------------------------------------------------

void TRtRTFTextInput::MoveLeft(int32_t Count, bool Select, bool Repaint)
{
    if (!BeginStep())
        return;
    SaveFieldReturn(false, true);
    int32_t counted = 0;
    while (counted < Count) {
        if (CursorPos <= 0) {
            const bool hasPrior = CursorLine->Prior || CursorPar->Prior;
            if (hasPrior) {
                const bool cell = (CursorPar->Flags & parfTableCell) != 0;
                if (!cell) {
                    CaretX = RtCaretXEnd;
                    MoveUp(1, Select, Repaint, false);
                } else if (CursorLine == CursorPar->Lines && CursorPar->Prior) {
                    PrepareSelection(Select);
                    CursorPar = CursorPar->Prior;
                    CursorLine = GetLastLine(CursorPar);
                    CursorPos = CursorLine->Length;
                    if (Select)
                        SetSelectionPoint(CursorPar, CursorLine, CursorPos, true, true);
                    NotifyCursorMove();
                    ShowCursor();
                } else {
                    MoveUp(1, Select, Repaint, false);
                }
                if (IsDBCSTwo(CursorLine, CursorPos))
                    --CursorPos;
            } else {
                // The very start: only hidden characters are passed.
                while (CursorLine->Attrs && CursorPos < CursorLine->Length && CursorLine->Attrs[CursorPos].Width == 0)
                    ++CursorPos;
            }
            Moving = false;
            return;
        }
        PrepareSelection(Select);
        --CursorPos;
        const bool visible = InsertHidden || !CursorLine->Attrs || CursorLine->Attrs[CursorPos].Width > 0;
        if (visible && !IsDBCSTwo(CursorLine, CursorPos))
            ++counted;
    }
    EndStep(Select, Repaint, true);
}

void TRtRTFTextInput::MoveRight(int32_t Count, bool Select, bool Repaint)
{
    if (!BeginStep())
        return;
    SaveFieldReturn(true, true);
    const bool fieldMode = ProtectOptions.Has(ppAllExceptForEditFields);
    int32_t counted = 0;
    while (counted < Count) {
        const int32_t length = CursorLine->Length;
        const int32_t e = CursorLine->Next ? 1 : 0;
        const bool lastOfText = AtTextEnd();
        if (CursorPos == length - e && e == 1 && (CursorLine->Flags & linfHyphenated)) {
            PrepareSelection(Select);
            CursorPos = length;
        } else if (CursorPos < length - e || lastOfText) {
            if (lastOfText && CursorPos >= length)
                break;
            PrepareSelection(Select);
            CursorPos = std::min(CursorPos + 1, length);
        } else {
            // The line's end: on to the start of the next line.
            if (!CursorLine->Next && CursorPar->Next) {
                const bool cellFollowed = (CursorPar->Flags & parfNotLastCell) != 0;
                if (!cellFollowed)
                    CaretX = 0;
            } else {
                CaretX = 0;
            }
            StepDownToLineStart(Select, Repaint);
            return;
        }
        const TLine* l = CursorLine;
        const bool atEnd = CursorPos >= l->Length;
        const bool visible = InsertHidden || atEnd || !l->Attrs || l->Attrs[CursorPos].Width > 0 ||
                             (fieldMode && l->Attrs[CursorPos].Style.Has(afsIsInsertpoint));
        if (visible && !IsDBCSTwo(l, CursorPos))
            ++counted;
    }
    EndStep(Select, Repaint, true);
}

void TRtRTFTextInput::MoveWordLeft(int32_t Count, bool Select, bool Repaint)
{
    if (!BeginStep())
        return;
    for (int32_t n = 0; n < Count; ++n) {
        if (CursorPos <= 0) {
            if (!CursorLine->Prior && !CursorPar->Prior)
                break;
            CaretX = RtCaretXEnd;
            MoveUp(1, Select, Repaint, false);
            continue;
        }
        PrepareSelection(Select);
        const uint8_t* c = CursorLine->Chars;
        int32_t pos = std::min<int32_t>(CursorPos, CursorLine->Length) - 1;
        while (pos > 0 && IsBlank(c[pos]))
            --pos;
        const uint8_t cls = RtWordClass[c[pos]];
        while (pos > 0 && RtWordClass[c[pos]] == cls)
            --pos;
        if (RtWordClass[c[pos]] != cls)
            ++pos;
        CursorPos = pos;
    }
    EndStep(Select, Repaint, false);
}

void TRtRTFTextInput::MoveWordRight(int32_t Count, bool Select, bool Repaint)
{
    if (!BeginStep())
        return;
    for (int32_t n = 0; n < Count; ++n) {
        const int32_t length = CursorLine->Length;
        if (CursorPos >= length) {
            if (!CursorLine->Next && !CursorPar->Next)
                break;
            PrepareSelection(Select);
            CursorPos = 0;
            CaretX = 0;
            StepDownToLineStart(Select, Repaint);
            return;
        }
        PrepareSelection(Select);
        const uint8_t* c = CursorLine->Chars;
        int32_t pos = CursorPos;
        while (pos < length && IsBlank(c[pos]))
            ++pos;
        if (pos < length) {
            const uint8_t cls = RtWordClass[c[pos]];
            while (pos < length && RtWordClass[c[pos]] == cls && !IsBlank(c[pos]))
                ++pos;
        }
        while (pos < length && IsBlank(c[pos]))
            ++pos;
        CursorPos = pos;
    }
    EndStep(Select, Repaint, false);
}

void TRtRTFTextInput::MoveUp(int32_t Count, bool Select, bool Repaint, bool CellMove)
{
    MoveVert(true, Count, Select, Repaint, CellMove);
}

void TRtRTFTextInput::MoveDown(int32_t Count, bool Select, bool Repaint, bool CellMove)
{
    MoveVert(false, Count, Select, Repaint, CellMove);
}

void TRtRTFTextInput::MoveVert(bool Up, int32_t Count, bool Select, bool Repaint, bool CellMove)
{
    if ((EngineOptions & eoNoCursorMoves) || !CursorLine)
        return;
    SaveFieldReturn(!Up, true);
    PrepareSelection(Select);
    const TLine* old = CursorLine;
    const bool oldVisible = old->Top >= TopY && old->Top + old->Height <= TopY + VisibleHeight;
    for (int32_t n = 0; n < Count; ++n) {
        if ((Up ? AtTextStart() : AtTextEnd()) && AskNextBox(Up, 0))
            return;
        bool cellMoved = false;
        if (EditOptions.Has(rtSpreadsheetCursorMovement) && CellMove && (CursorPar->Flags & parfTableCell) &&
            (Up ? CursorLine == CursorPar->Lines : !CursorLine->Next))
            cellMoved = MoveToCellVert(Up);
        if (!cellMoved) {
            if (!(Up ? StepToPriorLine() : StepToNextLine()))
                break;
            CursorPos = GetCharIndexAtX(CursorPar, CursorLine, CaretX);
            if (IsDBCSTwo(CursorLine, CursorPos))
                --CursorPos;
        }
    }
    if (!CheckFieldPosition())
        return;
    if (Select)
        SetSelectionPoint(CursorPar, CursorLine, CursorPos, Selecting, true);
    NotifyCursorMove();
    if (Repaint) {
        // Down from a visible line keeps the new line in view.
        const int32_t below = CursorLine->Top + CursorLine->Height - (TopY + VisibleHeight);
        if (!Up && oldVisible && below > 0)
            ScrollDown(DocToScreen(below));
        ShowCursor();
    } else {
        UpdateCaretMetrics();
        if (OnCaretPosition)
            OnCaretPosition(OwnerControl);
    }
    if (OnPositionChanged)
        OnPositionChanged(OwnerControl);
    NotifyChange(rtchCursor);
}

void TRtRTFTextInput::PageMove(bool Up, bool Select)
{
    if (!EditOptions.Has(rtMoveCPOnPageUpDown)) {
        if (Up) {
            if (TopY > 0)
                ScrollUp(DocToScreen(std::min(VisibleHeight, TopY)));
        } else if (TopY + VisibleHeight < TextHeight) {
            ScrollDown(VisibleHeightPx);
        }
        UpdateCaret();
        return;
    }
    SaveFieldReturn(!Up, true);
    const int32_t oldY = CursorLine->Top;
    PrepareSelection(Select);
    if (CursorPar->Flags & parfTableCell) {
        while (std::abs(CursorLine->Top - oldY) < VisibleHeight && MoveToCellVert(Up)) {
        }
    } else {
        int32_t sum = 0;
        while (true) {
            TParagraph* p = CursorPar;
            TLine* l = CursorLine;
            if (!(Up ? StepToPriorLine() : StepToNextLine())) {
                if (Up)
                    CursorPos = 0;
                break;
            }
            if (sum + CursorLine->Height > VisibleHeight ||
                (Up ? (l->Flags & linfPageStart) : (CursorLine->Flags & linfPageStart))) {
                if (sum > 0 || (Up ? (l->Flags & linfPageStart) : (CursorLine->Flags & linfPageStart))) {
                    CursorPar = p;
                    CursorLine = l;
                    break;
                }
            }
            sum += CursorLine->Height;
        }
        CursorPos = std::clamp<int32_t>(CursorPos, 0, CursorLine->Length);
        if (!Up && AtTextEnd() && CursorLine->Top + CursorLine->Height - oldY < VisibleHeight)
            CursorPos = CursorLine->Length;
    }
    if (!CheckFieldPosition())
        return;
    NotifyCursorMove();
    if (Select)
        SetSelectionPoint(CursorPar, CursorLine, CursorPos, true, true);
    const int32_t moved = CursorLine->Top - oldY;
    if (moved < 0)
        ScrollUp(DocToScreen(-moved));
    else if (moved > 0)
        ScrollDown(DocToScreen(moved));
    ShowCursor();
    UpdateCaret();
}

// ---- selection --------------------------------------------------------------------------------------------

bool TRtRTFTextInput::PositionBefore(TParagraph* PA, TLine* LA, int32_t A, TParagraph* PB, TLine* LB,
                                     int32_t B) const
{
    return CharPosOf(PA, LA, A) < CharPosOf(PB, LB, B);
}

void TRtRTFTextInput::MarkSelectedLines(bool Repaint)
{
    TParagraph* fromPar = SelStartPar;
    TLine* fromLine = SelStartLine;
    TParagraph* toPar = SelEndPar;
    TLine* toLine = SelEndLine;
    if (SelReversed) {
        std::swap(fromPar, toPar);
        std::swap(fromLine, toLine);
    }
    bool inside = false;
    bool changed = false;
    for (TParagraph* p = FirstPar; p; p = p->Next)
        for (TLine* l = p->Lines; l; l = l->Next) {
            if (l == fromLine)
                inside = true;
            const bool boundary = l == fromLine || l == toLine;
            const uint16_t want = uint16_t((inside && toLine ? linfSelected : 0) | (inside && boundary ? linfSelBoundary : 0));
            if ((l->Flags & (linfSelected | linfSelBoundary)) != want) {
                l->Flags = uint16_t((l->Flags & ~(linfSelected | linfSelBoundary)) | want | linfChanged);
                changed = true;
            }
            if (l == toLine)
                inside = false;
        }
    if (changed && Repaint && !UpdatesLocked)
        Refresh();
}

void TRtRTFTextInput::SetSelectionPoint(TParagraph* Par, TLine* Line, int32_t Pos, bool Extend, bool Repaint)
{
    if (SelectionLocked && Par)
        return;
    SelectionChanged = true;
    SelChangePending = true;
    SelectionPointSet = true;
    if (OnBeforeChange)
        OnBeforeChange(OwnerControl);
    if (!Par || !Line) {
        ClearSelection(Repaint);
        return;
    }
    Pos = std::clamp<int32_t>(Pos, 0, Line->Length);
    if (!Extend || !SelStartPar) {
        ClearSelection(Repaint);
        SelStartPar = Par;
        SelStartLine = Line;
        SelStartPos = Pos;
        return;
    }
    if (SelEndPar == Par && SelEndLine == Line && SelEndPos == Pos)
        return;
    // The lines where the moving end was and is now change their highlight
    // even when their selection flags stay as they are.
    TParagraph* oldPar = SelEndPar ? SelEndPar : SelStartPar;
    TLine* oldLine = SelEndPar ? SelEndLine : SelStartLine;
    SelEndPar = Par;
    SelEndLine = Line;
    SelEndPos = Pos;
    SelReversed = PositionBefore(Par, Line, Pos, SelStartPar, SelStartLine, SelStartPos);
    const bool cells = SelStartPar != SelEndPar && (SelStartPar->Flags & parfTableCell) &&
                       (SelEndPar->Flags & parfTableCell) && SelStartPar->Cell && SelEndPar->Cell &&
                       SelStartPar->Cell->TableId == SelEndPar->Cell->TableId;
    if (cells) {
        ClearCellMarks();
        MarkCellBlock(SelStartPar, SelEndPar);
        MarkSelectedLines(false);
        if (Repaint && !UpdatesLocked)
            Refresh();
        return;
    }
    if (MarkedCells > 0)
        ClearCellMarks();
    MarkSelectedLines(Repaint);
    if (Repaint && !UpdatesLocked) {
        RepaintLine(oldPar, oldLine);
        if (Line != oldLine)
            RepaintLine(Par, Line);
    }
}

// ---- edit-field mode -----------------------------------------------------------------------------------------

void TRtRTFTextInput::SaveFieldReturn(bool Forward, bool SearchOnFail)
{
    FieldReturn.Par = CursorPar;
    FieldReturn.Line = CursorLine;
    FieldReturn.Pos = CursorPos;
    FieldReturn.Forward = Forward;
    FieldReturn.SearchOnFail = SearchOnFail;
}

int32_t TRtRTFTextInput::GetMarkerStateAt(TParagraph* Par, TLine* Line, int32_t Pos)
{
    if (!Par || !Line)
        return 0;
    Pos = std::clamp<int32_t>(Pos, 0, Line->Length);
    auto isMarker = [](const TLine* L, int32_t P, uint8_t M) {
        return P >= 0 && P < L->Length && L->Chars[P] == M && L->Attrs && L->Attrs[P].Style.Has(afsIsInsertpoint);
    };
    if (Line->Attrs && Pos < Line->Length)
        CurrentFieldTag = Line->Attrs[Pos].Tag;
    if (isMarker(Line, Pos, RtFieldStart))
        return 0;
    if (isMarker(Line, Pos, RtFieldEnd)) {
        return 2;
    }
    if (isMarker(Line, Pos - 1, RtFieldStart))
        return 1;
    // Back through the paragraph: a start marker before any end marker.
    const TLine* l = Line;
    int32_t p = Pos - 1;
    while (l) {
        for (; p >= 0; --p) {
            if (isMarker(l, p, RtFieldEnd))
                return 0;
            if (isMarker(l, p, RtFieldStart))
                return 4;
        }
        l = l->Prior;
        p = l ? l->Length - 1 : -1;
    }
    return 0;
}

bool TRtRTFTextInput::IsInEditField()
{
    return GetMarkerStateAt(CursorPar, CursorLine, CursorPos) != 0;
}

// The whole way from the anchor to the cursor lies in one field.
bool TRtRTFTextInput::FieldRangeIsOne()
{
    if (!SelStartPar || SelStartPar != CursorPar)
        return false;
    if (GetMarkerStateAt(SelStartPar, SelStartLine, SelStartPos) == 0)
        return false;
    int32_t from = CharPosOf(SelStartPar, SelStartLine, SelStartPos);
    int32_t to = CharPosOf(CursorPar, CursorLine, CursorPos);
    if (from > to)
        std::swap(from, to);
    const int32_t parStart = CharPosOf(CursorPar, CursorPar->Lines, 0);
    int32_t offset = 0;
    for (const TLine* l = CursorPar->Lines; l; l = l->Next)
        for (int32_t i = 0; i < l->Length; ++i, ++offset) {
            const int32_t abs = parStart + offset;
            if (abs >= from && abs < to && l->Attrs && l->Attrs[i].Style.Has(afsIsInsertpoint) &&
                (l->Chars[i] == RtFieldStart || l->Chars[i] == RtFieldEnd))
                return false;
        }
    return true;
}

bool TRtRTFTextInput::CheckFieldPosition()
{
    if (!ProtectOptions.Has(ppAllExceptForEditFields))
        return true;
    if (Selecting ? FieldRangeIsOne() : GetMarkerStateAt(CursorPar, CursorLine, CursorPos) != 0)
        return true;
    if (FieldReturn.SearchOnFail && FieldReturn.Par) {
        // The next field from the saved point in the saved direction.
        TParagraph* p = FieldReturn.Par;
        TLine* l = FieldReturn.Line;
        int32_t pos = FieldReturn.Pos;
        const bool forward = FieldReturn.Forward;
        bool passed = false;
        while (p && l) {
            if (forward) {
                if (pos < l->Length) {
                    const bool marker = l->Attrs && l->Attrs[pos].Style.Has(afsIsInsertpoint);
                    if (marker && l->Chars[pos] == RtFieldEnd)
                        passed = true;
                    else if (marker && l->Chars[pos] == RtFieldStart && (passed || pos != FieldReturn.Pos)) {
                        CursorPar = p;
                        CursorLine = l;
                        CursorPos = pos + 1;
                        ShowCursor();
                        return false;
                    }
                    ++pos;
                    continue;
                }
                StepToNextLineStart(p, l, pos);
            } else {
                if (pos > 0) {
                    --pos;
                    const bool marker = l->Attrs && l->Attrs[pos].Style.Has(afsIsInsertpoint);
                    if (marker && l->Chars[pos] == RtFieldStart)
                        passed = true;
                    else if (marker && l->Chars[pos] == RtFieldEnd && passed) {
                        CursorPar = p;
                        CursorLine = l;
                        CursorPos = pos;
                        ShowCursor();
                        return false;
                    }
                    continue;
                }
                if (l->Prior) {
                    l = l->Prior;
                } else {
                    p = p->Prior;
                    l = p ? GetLastLine(p) : nullptr;
                }
                pos = l ? l->Length : 0;
            }
        }
    }
    CursorPar = FieldReturn.Par;
    CursorLine = FieldReturn.Line;
    CursorPos = FieldReturn.Pos;
    return false;
}

void TRtRTFTextInput::FieldMove(bool ToStart, bool Select)
{
    // Within the line's paragraph: back to the start marker (one step after
    // it) or forward to the end marker.
    TParagraph* p = CursorPar;
    TLine* l = CursorLine;
    int32_t pos = CursorPos;
    auto marker = [](const TLine* L, int32_t P, uint8_t M) {
        return P >= 0 && P < L->Length && L->Chars[P] == M && L->Attrs && L->Attrs[P].Style.Has(afsIsInsertpoint);
    };
    if (ToStart) {
        while (l) {
            for (int32_t i = std::min<int32_t>(pos, l->Length) - 1; i >= 0; --i)
                if (marker(l, i, RtFieldStart)) {
                    CursorPar = p;
                    CursorLine = l;
                    CursorPos = i + 1;
                    FinishMove(Select);
                    return;
                }
            if (l->Prior) {
                l = l->Prior;
            } else {
                p = p->Prior;
                l = p ? GetLastLine(p) : nullptr;
            }
            pos = l ? l->Length : 0;
        }
    } else {
        while (l) {
            for (int32_t i = pos; i < l->Length; ++i)
                if (marker(l, i, RtFieldEnd)) {
                    CursorPar = p;
                    CursorLine = l;
                    CursorPos = i;
                    FinishMove(Select);
                    return;
                }
            StepToNextLineStart(p, l, pos);
        }
    }
    FinishMove(Select);
}

// ---- hot style ----------------------------------------------------------------------------------------------

void TRtRTFTextInput::UpdateHotStyle(TParagraph* Par, TLine* Line, int32_t Pos)
{
    auto clearHot = [&] {
        if (!HotPar)
            return;
        for (TLine* l = HotPar->Lines; l; l = l->Next) {
            bool changed = false;
            for (int32_t i = 0; l->Attrs && i < l->Length; ++i)
                if (l->Attrs[i].Style.Has(afsHotStyle)) {
                    l->Attrs[i].Style.Exclude(afsHotStyle);
                    changed = true;
                }
            if (changed)
                l->Flags |= linfHotStyle | linfChanged;
        }
        HotPar = nullptr;
        HotParagraph = nullptr;
        HotTag = 0;
        HotStyleIndex = -1;
    };
    if (!Par || !Line || !Line->Attrs) {
        if (HotPar) {
            clearHot();
            Refresh();
            if (OnHotStyle)
                OnHotStyle(OwnerControl, nullptr, -1);
        }
        return;
    }
    Pos = std::clamp<int32_t>(Pos, 0, std::max<int32_t>(Line->Length - 1, 0));
    if (Line->Length == 0) {
        UpdateHotStyle(nullptr, nullptr, 0);
        return;
    }
    const TAttr& at = Line->Attrs[Pos];
    const uint8_t ch = Line->Chars[Pos];
    const bool object = at.Style.Has(afsIsObject) && ch >= 1 && ch <= 3 && at.Tag != 0;
    if (object) {
        if (TTextObj* ref = ObjRefList()->GetTextObj(int32_t(at.Tag))) {
            ref->AnchorPar = Par;
            ref->AnchorLine = Line;
            ref->AnchorPos = Pos;
            if (auto* o = dynamic_cast<TRtObject*>(ref->Object))
                o->SetActive(!o->GetActive());
        }
    }
    if (!object && !at.Style.Has(afsHyperLink)) {
        UpdateHotStyle(nullptr, nullptr, 0);
        return;
    }
    // The span of neighbouring characters with the same style bit and tag.
    const TOneWrtStyle bit = object ? afsIsObject : afsHyperLink;
    int32_t offset = 0;
    for (const TLine* l = Par->Lines; l && l != Line; l = l->Next)
        offset += l->Length;
    const int32_t at0 = offset + Pos;
    std::vector<std::pair<TLine*, int32_t>> chars;
    for (TLine* l = Par->Lines; l; l = l->Next)
        for (int32_t i = 0; i < l->Length; ++i)
            chars.emplace_back(l, i);
    auto same = [&](int32_t k) {
        const TAttr& a = chars[size_t(k)].first->Attrs[chars[size_t(k)].second];
        return a.Style.Has(bit) && a.Tag == at.Tag;
    };
    int32_t from = at0, to = at0 + 1;
    if (!object) {
        while (from > 0 && same(from - 1))
            --from;
        while (to < int32_t(chars.size()) && same(to))
            ++to;
    }
    if (HotPar == Par && HotFrom == from && HotTo == to && HotTag == at.Tag)
        return;
    clearHot();
    for (int32_t k = from; k < to; ++k) {
        auto [l, i] = chars[size_t(k)];
        l->Attrs[i].Style.Include(afsHotStyle);
        l->Flags |= linfHotStyle | linfChanged;
    }
    HotPar = Par;
    HotParagraph = Par;
    HotFrom = from;
    HotTo = to;
    HotTag = at.Tag;
    HotStyleIndex = int32_t(at.StyleNr);
    Refresh();
    if (OnHotStyle)
        OnHotStyle(OwnerControl, Par, HotStyleIndex);
}

// ---- engine properties ----------------------------------------------------------------------------------------

void TRtRTFTextInput::SetVisibleHeightUnits(int32_t Value)
{
    if (Value == VisibleHeight)
        return;
    VisibleHeight = Value;
    VisibleHeightPx = DocToScreen(Value);
}

int32_t TRtRTFTextInput::SetVisibleHeight(int32_t Pixels)
{
    if (Pixels != VisibleHeightPx) {
        VisibleHeightPx = Pixels;
        VisibleHeight = ScreenToDoc(Pixels);
    }
    return VisibleHeight;
}

void TRtRTFTextInput::SetVisibleWidthUnits(int32_t Value)
{
    const bool widthDiffers = WrapAtWindow && LastLayoutWidth != Value;
    if (Value == VisibleWidth && !widthDiffers)
        return;
    VisibleWidth = Value;
    VisibleWidthPx = DocToScreen(Value);
    if (WrapAtWindow)
        UpdatePageMetrics(false);
    else
        ReformatText(nullptr);
    if (LeftX < 0 && VisibleWidth >= WrapWidth + ScreenToDoc(LeftScreenOffset + RightScreenOffset))
        LeftX = 0;
}

void TRtRTFTextInput::SetVisibleWidth(int32_t Pixels)
{
    SetVisibleWidthUnits(ScreenToDoc(Pixels));
    VisibleWidthPx = Pixels;
    Refresh();
}

void TRtRTFTextInput::SetResizing(int32_t Value)
{
    if (Value < 1 || Value == Resizing)
        return;
    Resizing = Value;
    InvalidateWidthTables();
    UpdateLayout();
    Refresh();
}

void TRtRTFTextInput::SetWordWrap(bool Value)
{
    if (Value == WrapAtWindow)
        return;
    WrapAtWindow = Value;
    if (!(EngineOptions & eoKeepHorzOffset))
        LeftX = 0;
    UpdatePageMetrics(false);
    UpdateLayout();
}

void TRtRTFTextInput::SetZooming(int32_t Value)
{
    if (Value < 1 || Value == Zooming)
        return;
    const bool rebuild = RebuildLock;
    RebuildLock = true;
    Zooming = Value;
    UpdateResolution();
    InvalidateWidthTables();
    if (!Suspended())
        UpdateLayout();
    RebuildLock = rebuild;
    Refresh();
}

void TRtRTFTextInput::SetScreenResMode(TRtScreenResMode Mode)
{
    if (Mode == ScreenResMode)
        return;
    TRtRTFText::SetScreenResMode(Mode);
    UpdateResolution();
    InvalidateWidthTables();
    UpdateLayout();
    Refresh();
}

void TRtRTFTextInput::SetEngineOptions(uint32_t Value)
{
    if (Value == EngineOptions)
        return;
    const uint32_t old = EngineOptions;
    EngineOptions = Value;
    if ((old & eoSuspended) && !(Value & eoSuspended)) {
        for (TParagraph* p = FirstPar; p; p = p->Next)
            p->Flags |= parfReformat;
        UpdateLayout();
    } else if (!(old & eoNoZoomScaling) && (Value & eoNoZoomScaling) && Zooming != 100) {
        UpdateResolution();
        UpdateLayout();
    }
    if (!(Value & eoSuspended))
        Refresh();
}
