// The engine's view state: scrolling by scroll-bar codes and pixel amounts,
// keeping the cursor in view, the caret's metrics, the cursor at a point, the
// selection by absolute positions, attribute changes of the selection and the
// change notification to the owner control.
#include "RtRtfTxtPaint.h"

#include "RtList.h"
#include "RtObject.h"
#include "SysUtils.h"

#include <QWidget>

#include <algorithm>
#include <vector>

// ---- change notification -------------------------------------------------------------------------

void TRtRTFTextPaint::NotifyChange(uint32_t Flags)
{
    if (!Displays())
        return;
    if (SelChangePending) {
        SelChangePending = false;
        if (OnChangeSelection)
            OnChangeSelection(OwnerControl);
    }
    const bool post = PostEveryChange || ChangeFlags == 0 || PostPending;
    ChangeFlags |= Flags;
    if (!post)
        return;
    if (OwnerControl && OnPostChange) {
        OnPostChange();
        PostPending = false;
    } else {
        PostPending = true;
    }
}

// ---- scrolling -----------------------------------------------------------------------------------------

bool TRtRTFTextPaint::ScrollDCAllowed() const
{
    return !(EngineOptions & eoNoScrollDC) && !HasBackground && !RepaintLocked && !UpdatesLocked;
}

// Shows a vertical scroll by Dy pixels: moves the surface and paints the strip
// it uncovers where it can, else repaints everything; then the caret again.
void TRtRTFTextPaint::ShowVertScroll(int32_t Dy, bool Down)
{
    if (OnHideCaret)
        OnHideCaret(this);
    if (Dy < VisibleHeightPx && Dy > 0 && ScrollDCAllowed()) {
        ResetMapMode(referenceCanvas_);
        ScrollSurface(0, Down ? -Dy : Dy, TRect{0, 0, surface_.width(), surface_.height()});
        UpdateEmbeddedControls();
        PaintRect(Down ? TRect{0, VisibleHeightPx - Dy, VisibleWidthPx, VisibleHeightPx}
                       : TRect{0, 0, VisibleWidthPx, Dy});
    } else {
        UpdateEmbeddedControls();
        Refresh();
    }
    if (OnVertScrolled)
        OnVertScrolled(this);
    if (OnShowCaret)
        OnShowCaret(this);
    ScrollBusy = false;
    UpdateCaret();
    ScrollingVertically = false;
}

void TRtRTFTextPaint::ScrollDown(int32_t Dy)
{
    if ((EngineOptions & eoNoScrolling) || NoVertScroll || EditBoxModes.Has(rtemLimitTextHeight) ||
        EditBoxModes.Has(rtemCheckTextFlow))
        return;
    const bool inRefresh = InRefresh;
    InRefresh = true;
    ScrollBusy = true;
    ScrollingVertically = true;
    RefreshPending = true;
    if (Dy < 0 && TopY + ScreenToDoc(Dy) < 0)
        Dy = -DocToScreen(TopY);
    ScrollObjectFrame(0, Dy);
    TopY = std::max(0, TopY + ScreenToDoc(Dy));
    if (Dy > VisibleHeightPx) {
        TParagraph* p = nullptr;
        TLine* l = nullptr;
        FindLineAtPosition(p, l, 0, TopY + 1);
        if (l && !l->Next && !(p && p->Next))
            TopY = std::max(0, l->Top - l->SpaceAbove - 2 * (VisibleHeight / 3));
        else if (l)
            TopY = l->Top;
    }
    ShowVertScroll(Dy, true);
    InRefresh = inRefresh;
}

void TRtRTFTextPaint::ScrollUp(int32_t Dy)
{
    if (TopY < 1 || (EngineOptions & eoNoScrolling) || NoVertScroll || EditBoxModes.Has(rtemLimitTextHeight) ||
        EditBoxModes.Has(rtemCheckTextFlow))
        return;
    const bool inRefresh = InRefresh;
    InRefresh = true;
    ScrollBusy = true;
    ScrollingVertically = true;
    RefreshPending = true;
    ScrollObjectFrame(0, -Dy);
    TopY -= ScreenToDoc(Dy);
    if (TopY < 0) {
        Dy += DocToScreen(TopY);
        TopY = 0;
    }
    ShowVertScroll(Dy, false);
    InRefresh = inRefresh;
}

void TRtRTFTextPaint::UpdateEmbeddedControls()
{
    // The references first: finding an object's place moves the list's current item.
    TRtObjReferenceList* refs = ObjRefList();
    std::vector<int32_t> ids;
    for (TRtListItem* it = refs->FirstItem(); it; it = it->Next)
        ids.push_back(it->Id);
    for (const int32_t id : ids) {
        TTextObj* ref = refs->GetTextObj(id);
        auto* obj = ref ? dynamic_cast<TRtObject*>(ref->Object) : nullptr;
        QWidget* control = obj ? obj->GetControl() : nullptr;
        if (!control || !control->isVisible())
            continue;
        CalcObjectScreenRect(obj);
        obj->PlaceControl(ref, PaintCanvas());
    }
}

void TRtRTFTextPaint::ScrollRight(int32_t Dx)
{
    if ((EngineOptions & eoNoScrolling) || NoHorzScroll || EditBoxModes.Has(rtemLimitTextWidth))
        return;
    if (OnHideCaret)
        OnHideCaret(this);
    int32_t d = ScreenToDoc(Dx);
    d = std::min(d, LeftX + Header()->LayoutTextWidth + ScreenToDoc(RightScreenOffset) - VisibleWidth);
    if (d > 0) {
        ScrollObjectFrame(-DocToScreen(d), 0);
        LeftX -= d;
        if (d < VisibleWidth && ScrollDCAllowed()) {
            const int32_t px = DocToScreen(d);
            ScrollSurface(-px, 0, TRect{0, 0, surface_.width(), surface_.height()});
            SelectMapMode(true);
            PaintRect(TRect{VisibleWidthPx - px, 0, VisibleWidthPx, VisibleHeightPx});
        } else {
            Refresh();
        }
    }
    if (OnShowCaret)
        OnShowCaret(this);
    if (OnHorzScrolled)
        OnHorzScrolled(this);
    NotifyChange(rtchHorzScroll);
    UpdateCaret();
}

void TRtRTFTextPaint::ScrollLeft(int32_t Dx)
{
    if ((EngineOptions & eoNoScrolling) || NoHorzScroll || EditBoxModes.Has(rtemLimitTextWidth))
        return;
    int32_t d = ScreenToDoc(Dx);
    if (LeftX + d > 0)
        d = -LeftX;
    if (d < 1)
        return;
    ScrollObjectFrame(DocToScreen(d), 0);
    LeftX += d;
    if (OnHideCaret)
        OnHideCaret(this);
    if (d >= ScreenToDoc(RightScreenOffset) + VisibleWidth || !ScrollDCAllowed()) {
        Refresh();
    } else {
        const int32_t px = DocToScreen(d);
        ScrollSurface(px, 0, TRect{0, 0, surface_.width(), surface_.height()});
        PaintRect(TRect{0, 0, px, VisibleHeightPx});
    }
    if (OnShowCaret)
        OnShowCaret(this);
    if (OnHorzScrolled)
        OnHorzScrolled(this);
    NotifyChange(rtchHorzScroll);
    UpdateCaret();
}

void TRtRTFTextPaint::VScroll(int32_t Code, int32_t Pos)
{
    if (!Displays() || Code < 0 || Code > 7)
        return;
    const bool more = TopY + VisibleHeight < TextHeight;
    switch (Code) {
    case SB_LINEUP:
        ScrollUp(16);
        break;
    case SB_LINEDOWN:
        if (more)
            ScrollDown(16);
        break;
    case SB_PAGEUP:
        ScrollUp(VisibleHeightPx);
        break;
    case SB_PAGEDOWN:
        if (more)
            ScrollDown(VisibleHeightPx);
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        if (Pos < TopY)
            ScrollUp(DocToScreen(TopY - Pos));
        else if (Pos > TopY)
            ScrollDown(DocToScreen(Pos - TopY));
        break;
    case SB_TOP:
        ScrollUp(DocToScreen(TopY));
        break;
    case SB_BOTTOM:
        ScrollDown(16777215);
        break;
    }
}

void TRtRTFTextPaint::HScroll(int32_t Code, int32_t Pos)
{
    if (!Displays() || Code < 0 || Code > 7)
        return;
    const int32_t w = VisibleWidthPx;
    const int32_t p = -LeftX;
    switch (Code) {
    case SB_LINELEFT:
        ScrollLeft(16);
        break;
    case SB_LINERIGHT:
        ScrollRight(16);
        break;
    case SB_PAGELEFT:
        ScrollLeft(w - w / 4);
        break;
    case SB_PAGERIGHT:
        ScrollRight(w - w / 4);
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        if (Pos < p)
            ScrollLeft(DocToScreen(p - Pos));
        else if (Pos > p)
            ScrollRight(DocToScreen(Pos - p));
        break;
    case SB_LEFT:
        ScrollLeft(DocToScreen(-LeftX));
        break;
    case SB_RIGHT:
        ScrollRight(16777215);
        break;
    }
}

// ---- cursor and caret -------------------------------------------------------------------------------

void TRtRTFTextPaint::ShowCursor()
{
    if (!Displays() || UpdatesLocked || RepaintLocked || Suspended() || PaintLocked || !CursorLine)
        return;
    TLine* l = CursorLine;
    const bool canScroll = !(EngineOptions & eoNoScrolling) && !NoVertScroll &&
                           !EditBoxModes.Has(rtemLimitTextHeight) && !EditBoxModes.Has(rtemCheckTextFlow);
    const bool tall = l->Height + l->SpaceAbove >= VisibleHeight;
    if ((canScroll && tall) || CursorLineToTop) {
        const int32_t top = l->Top - (CursorLineToTop ? l->SpaceAbove : 0);
        if (top != TopY) {
            TopY = std::max(0, top);
            Refresh();
        }
        CursorLineToTop = false;
    } else if (canScroll) {
        const int32_t top = l->Top - l->SpaceAbove;
        if (top < TopY) {
            const int32_t d = TopY - top;
            if (d >= VisibleHeight) {
                TopY = std::max(0, TopY - d);
                Refresh();
            } else if (d >= 1) {
                ScrollUp(DocToScreen(d));
            }
        } else if (l->Top + l->Height > TopY + VisibleHeight) {
            const int32_t d = l->Top + 2 * l->Height - TopY - (VisibleHeight - 2) + DocToScreen(4);
            if (d >= VisibleHeight) {
                TopY += d;
                Refresh();
            } else if (d >= 1) {
                ScrollDown(DocToScreen(d));
            }
        }
    }
    UpdateCaretMetrics();
    const int32_t s = CaretX + LeftX;
    if (s < 0)
        ScrollLeft(DocToScreen(VisibleWidth / 3 - s));
    else if (s > VisibleWidth - 4 && !WrapAtWindow)
        ScrollRight(DocToScreen(VisibleWidth / 3 + s - VisibleWidth));
    if (OnCaretMoved)
        OnCaretMoved(this);
    if (OnHorzScrolled)
        OnHorzScrolled(this);
    if (OnVertScrolled)
        OnVertScrolled(this);
    NotifyChange(rtchCharAttr | rtchParAttr);
    ReportCaretPosition();
}

void TRtRTFTextPaint::ReportCaretPosition()
{
    if (FormatLock)
        return;
    if (OnYPosChanged && CaretY != LastYPos) {
        OnYPosChanged(OwnerControl);
        LastYPos = CaretY;
    }
    if (OnXPosChanged && CaretX != LastXPos) {
        OnXPosChanged(OwnerControl);
        LastXPos = CaretX;
    }
}

void TRtRTFTextPaint::UpdateCaretMetrics()
{
    if (RepaintLocked || !CursorPar || !CursorLine)
        return;
    TLine* l = CursorLine;
    CaretX = GetCharX(CursorPar, l, CursorPos);
    const int32_t setWidth = CaretWidthSetting > 0 ? ScreenToDoc(CaretWidthSetting) : 1;
    const bool onChar = l->Attrs && CursorPos < l->Length && l->Attrs[CursorPos].Width > 0;
    if (!onChar) {
        UpdateCharWidths(&CurrentAttr);
        CaretHeight = currentTable_ ? currentTable_->LineHeight : l->Height;
        if (l->Base != 0 && l->Base < CaretHeight)
            CaretHeight = l->Base;
        CaretWidth = setWidth;
    } else {
        const TAttr& a = l->Attrs[CursorPos];
        if (a.Style.Has(afsIsObject) && l->Chars[CursorPos] >= 1 && l->Chars[CursorPos] <= 3) {
            CaretHeight = a.Base;
            CaretWidth = 2;
            CaretX -= ScreenToDoc(1);
        } else {
            CaretHeight = std::min<int32_t>(MulDiv(a.Size, Header()->LayoutYRes, 100) + a.Base, a.Height);
            CaretWidth = Inserting ? setWidth : a.Width;
        }
    }
    if ((CursorPar->ExtFlags & parxDrawnWhole) && !(CursorPar->ExtFlags & parxNotFormatted)) {
        CaretWidth = VisibleWidth;
        CaretX = ScreenToDoc(LeftScreenOffset + GapWidth);
        CaretY = l->Top;
        CaretHeight = l->Height;
        return;
    }
    CaretY = std::max(l->Top, l->Top + l->Base - CaretHeight);
}

void TRtRTFTextPaint::UpdateCaret()
{
    if (FormatLock || RepaintLocked || !Displays() || Suspended() || PaintLocked || !CursorLine)
        return;
    UpdateCaretMetrics();
    const TLine* l = CursorLine;
    const bool visible = CaretY + l->Height >= TopY && l->Top <= TopY + VisibleHeight && CaretX >= -LeftX &&
                         CaretX + LeftX <= VisibleWidth + 4;
    if (visible) {
        if (OnCaretMoved)
            OnCaretMoved(this);
        if (OnShowCaret)
            OnShowCaret(this);
    } else if (OnHideCaret) {
        OnHideCaret(this);
    }
}

bool TRtRTFTextPaint::MoveCursorToPoint(int32_t X, int32_t Y, bool KeepVisible, bool DeselectObject)
{
    if (DeselectObject)
        SelectObject(nullptr);
    if (!Displays())
        return false;
    if (EngineOptions & eoNoCursorMoves)
        return true;
    const bool wasVisible = CursorLine && CursorLine->Top >= TopY && CursorLine->Top <= TopY + VisibleHeight;
    TParagraph* p = nullptr;
    TLine* l = nullptr;
    // Window pixels become layout units before the scroll offsets apply.
    const int32_t x = ScreenToDoc(X) - LeftX;
    FindLineAtPosition(p, l, x, ScreenToDoc(Y) + TopY);
    if (!p || !l)
        return false;
    CursorPar = p;
    CursorLine = l;
    CursorPos = GetCharIndexAtX(p, l, x);
    if (l->Attrs && CursorPos < l->Length && l->Attrs[CursorPos].Style.Has(afsDBCSTwo)) {
        if (Selecting && SelReversed && CursorPos >= 1)
            --CursorPos;
        else
            ++CursorPos;
    }
    if (KeepVisible && wasVisible) {
        const int32_t bottom = l->Top + l->Height;
        if (bottom > TopY + VisibleHeight)
            ScrollDown(DocToScreen(bottom - TopY - VisibleHeight));
    }
    return true;
}

void TRtRTFTextPaint::SetCaretRect(TParagraph* Par, TLine* Line, int32_t Kind, int32_t Pos)
{
    if (!Par || !Line) {
        CaretRectValid = false;
        return;
    }
    const int32_t x = GetCharX(Par, Line, Pos) + LeftX;
    const int32_t y = Line->Top - TopY;
    CaretRect = TRect{x, y, x + ScreenToDoc(2), y + Line->Height};
    CaretRectValid = true;
    CaretRectKind = Kind;
}

void TRtRTFTextPaint::SkipHiddenAtCursor()
{
    if (!CursorLine || !CursorLine->Attrs)
        return;
    while (CursorPos < CursorLine->Length && CursorLine->Attrs[CursorPos].Width == 0)
        ++CursorPos;
}

// ---- selection by position ------------------------------------------------------------------------

bool TRtRTFTextPaint::GetSelection(int32_t& Start, int32_t& Length)
{
    if (!SelStartPar || !SelEndPar)
        return false;
    const int32_t s = CharPosOf(SelStartPar, SelStartLine, SelStartPos);
    const int32_t e = CharPosOf(SelEndPar, SelEndLine, SelEndPos);
    if (SelReversed) {
        Start = e;
        Length = s - e;
    } else {
        Start = s;
        Length = e - s;
    }
    return true;
}

void TRtRTFTextPaint::SetSelStart(int32_t Start)
{
    SelStartValue = Start;
    SelStartGiven = true;
    if (SelLengthGiven)
        SetSelection(SelStartValue, SelLengthValue);
    if (SelStartPar && SelStartLine) {
        SelStartPos = std::clamp<int32_t>(SelStartPos, 0, SelStartLine->Length);
        if (SelStartLine->Attrs && SelStartPos < SelStartLine->Length)
            CurrentAttr = SelStartLine->Attrs[SelStartPos];
    }
}

void TRtRTFTextPaint::SetSelLength(int32_t Length)
{
    SelLengthValue = Length;
    SelLengthGiven = true;
    if (SelStartGiven)
        SetSelection(SelStartValue, SelLengthValue);
}

void TRtRTFTextPaint::SetSelection(int32_t Start, int32_t Length)
{
    SelReversed = false;
    for (TParagraph* p = FirstPar; p; p = p->Next)
        for (TLine* l = p->Lines; l; l = l->Next)
            l->Flags &= ~(linfSelected | linfSelBoundary);
    SelStartPar = SelEndPar = nullptr;
    SelStartLine = SelEndLine = nullptr;
    SelStartPos = SelEndPos = 0;
    if (Length == 0 || !FirstPar)
        return;
    if (Length < 0) {
        Start += Length;
        Length = -Length;
    }
    // Positions past the end of the text are clamped to it.
    int32_t textEnd = -1;
    for (const TParagraph* p = FirstPar; p; p = p->Next)
        textEnd += GetParLength(p) + 1;
    Start = std::clamp(Start, 0, textEnd);
    const int32_t end = std::clamp(Start + Length, Start, textEnd);
    if (end == Start)
        return;

    int32_t count = 0;
    bool started = false;
    for (TParagraph* p = FirstPar; p; p = p->Next) {
        for (TLine* l = p->Lines; l; l = l->Next) {
            if (!started && Start <= count + l->Length) {
                started = true;
                SelStartPar = p;
                SelStartLine = l;
                SelStartPos = Start - count;
                if (SelStartPos == l->Length && l->Next) {
                    SelStartLine = l->Next;
                    SelStartPos = 0;
                }
            }
            if (started) {
                l->Flags |= linfSelected;
                if (end <= count + l->Length) {
                    SelEndPar = p;
                    SelEndLine = l;
                    SelEndPos = end - count;
                    CursorPar = p;
                    CursorLine = l;
                    CursorPos = SelEndPos;
                    if (SelStartPar == SelEndPar) {
                        for (TLine* m = p->Lines; m; m = m->Next)
                            m->Flags |= linfChanged;
                        Refresh();
                    }
                    NotifySelectionChange();
                    return;
                }
            }
            count += l->Length;
        }
        ++count;
    }
}

// ---- attribute changes --------------------------------------------------------------------------------

void TRtRTFTextPaint::ApplyAttrToLine(TLine* Line, int32_t From, int32_t To, const TAttr& Attr, uint32_t Mask)
{
    if (!Line->Attrs)
        return;
    From = std::clamp<int32_t>(From, 0, Line->Length);
    To = std::clamp<int32_t>(To, 0, Line->Length);
    for (int32_t i = From; i < To; ++i) {
        TAttr a = Line->Attrs[i];
        ModifyAttr(Line, a, Mask, Attr, -1);
        SetCharAttr(Line, i, a);
    }
    // A font or charset change makes or undoes pairs; positions placed before the next
    // measuring must see them.
    if (Mask & 1)
        MarkDBCSPairs(Line);
}

void TRtRTFTextPaint::SetCurrentAttr(const TAttr& Attr, uint32_t Mask)
{
    auto finish = [this](bool ModifyCurrent, const TAttr& A, uint32_t M) {
        if (ModifyCurrent)
            ModifyAttr(nullptr, CurrentAttr, M, A, -1);
        UpdateAfterChange(true);
        Refresh();
        UpdateCaret();
        ShowCursor();
    };
    if (MarkedCells > 0) {
        for (TParagraph* p = FirstPar; p; p = p->Next) {
            if (!(p->Flags & parfMarked) || (p->ExtFlags & parxOneAttr))
                continue;
            p->Flags |= parfReformat;
            if (GetParLength(p) == 0)
                ModifyAttr(nullptr, p->ParAttr, Mask, Attr, -1);
            for (TLine* l = p->Lines; l; l = l->Next)
                ApplyAttrToLine(l, 0, l->Length, Attr, Mask);
        }
        finish(true, Attr, Mask);
        return;
    }
    if (SelStartPar && SelEndPar && SelStartLine && SelEndLine) {
        TParagraph* fp = SelStartPar;
        TLine* fl = SelStartLine;
        int32_t fpos = SelStartPos;
        TParagraph* lp = SelEndPar;
        TLine* ll = SelEndLine;
        int32_t lpos = SelEndPos;
        if (CharPosOf(fp, fl, fpos) > CharPosOf(lp, ll, lpos)) {
            std::swap(fp, lp);
            std::swap(fl, ll);
            std::swap(fpos, lpos);
        }
        for (TParagraph* p = fp; p; p = p->Next) {
            if (!(p->ExtFlags & parxOneAttr)) {
                p->Flags |= parfReformat;
                bool inside = p != fp;
                for (TLine* l = p->Lines; l; l = l->Next) {
                    if (l == fl && p == fp)
                        inside = true;
                    if (!inside)
                        continue;
                    const int32_t from = (p == fp && l == fl) ? fpos : 0;
                    const int32_t to = (p == lp && l == ll) ? lpos : l->Length;
                    ApplyAttrToLine(l, from, to, Attr, Mask);
                    if (p == lp && l == ll)
                        break;
                }
            }
            if (p == lp)
                break;
        }
        finish(true, Attr, Mask);
        return;
    }
    ModifyAttr(nullptr, CurrentAttr, Mask, Attr, -1);
    if (CursorPar && GetParLength(CursorPar) == 0)
        CursorPar->ParAttr = CurrentAttr;
    CheckEditBox();
    if (Suspended() || PaintLocked)
        return;
    SkipHiddenAtCursor();
    UpdateCharWidths(&CurrentAttr);
    if (RichText())
        UpdateLayout();
    NotifyChange(rtchCharAttr);
    if (RichText())
        Refresh();
}

void TRtRTFTextPaint::ChangeStyle(WrtStyle Style, int32_t Mode)
{
    if (AttrChangesLocked)
        return;
    if (CursorPar != LastStyleParagraph && OnParagraphStyle) {
        OnParagraphStyle(OwnerControl, CursorPar);
        LastStyleParagraph = CursorPar;
    }
    TAttr a;
    a.Style = Style;
    const uint32_t mask = Style.Empty() ? 128 : Mode == 1 ? 64 : 0x400;
    SetCurrentAttr(a, mask);
    ReformatText(nullptr);
    if (CursorPar)
        UpdateCaretMetrics();
    Refresh();
    ShowCursor();
}
