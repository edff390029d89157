// Formatting passes: the update after a change, the whole layout, breaking
// every paragraph that needs it (with progress), the header and footer texts,
// the page layout with its height bookkeeping, and the length limits.
#include "RtRtfTxtPaint.h"

#include "RtHeaderFooter.h"
#include "RtList.h"
#include "SysUtils.h"

#include <QScopedValueRollback>

#include <algorithm>

namespace {

int32_t ParHeight(const TParagraph* P)
{
    int32_t h = 0;
    for (const TLine* l = P->Lines; l; l = l->Next)
        h += l->Height;
    return h;
}

bool CellFollowedByCell(const TParagraph* P) { return (P->Flags & parfTableCell) && (P->Flags & parfNotLastCell); }

}  // namespace

int32_t TRtRTFTextPaint::ScreenHeightOf(int32_t Height) const
{
    // Fixed-resolution heights are twips.
    return FixedResMode ? MulDiv(Height, ScreenResolution, 1440) : Height;
}

void TRtRTFTextPaint::UpdateAfterChange(bool Remeasure)
{
    EditBoxCheckRequested = true;
    if (!CursorPar && FirstPar) {
        CursorPar = FirstPar;
        CursorLine = FirstPar->Lines;
        CursorPos = 0;
    }
    if (FormatLock || !referenceCanvas_ || Suspended() || PaintLocked)
        return;
    UpdateCharWidths(&CurrentAttr);
    if (!PassRunning) {
        // Painting waits while the paragraphs are broken and laid out again.
        const QScopedValueRollback<bool> busy(LayoutBusy, true);
        const int32_t zoom = Zooming;
        const bool atZoom100 = FixedResMode && FormatAtZoom100 && Zooming != 100;
        if (atZoom100) {
            Zooming = 100;
            UpdateResolution();
        }
        PassRunning = true;
        if (WrapAtWindow && !(EngineOptions & eoKeepHorzOffset))
            LeftX = 0;
        UpdatePageMetrics(false);
        Header()->SortTabs();
        FormatHeadersFooters();
        FormatAll(Remeasure);
        UpdateNumbering();
        if (atZoom100) {
            Zooming = zoom;
            UpdateResolution();
        }
        PassRunning = false;
    }
    if (!EditBoxModes.Empty()) {
        EditBoxCheckRequested = true;
        ReformatAll();
        if (EditBoxCheckRequested)
            CheckEditBox();
    }
    if (OnTextChange)
        OnTextChange(this);
    if (OnVertScrolled)
        OnVertScrolled(this);
    Refresh();
}

void TRtRTFTextPaint::UpdateLayout()
{
    if (FormatLock || FormatLock2)
        return;
    if (DeferLayout && !MarginsChanging) {
        DeferPending = true;
        return;
    }
    const bool wasUpdating = LayoutUpdating;
    LayoutUpdating = true;
    UpdateLayoutUnlocked();
    LayoutUpdating = wasUpdating;
    // The window painted from another text (the body, or a header or footer edited in its place)
    // shows the one laid out now.
    if (!wasUpdating && Displays() && PaintedTextId != EditedHeaderFooterId())
        Refresh();
}

void TRtRTFTextPaint::UpdateLayoutUnlocked()
{
    {
        // Painting waits while the paragraphs are measured and broken again; the page layout
        // below then tells the owner of the new height.
        const QScopedValueRollback<bool> busy(LayoutBusy, true);
        ComputeHiddenStyleMask();
        DeferPending = false;
        if (!MarginsChanging)
            ObjRefList()->ResetPlaced();
        FormatHeadersFooters();
        if (Suspended() || PaintLocked || InFormatting || PassRunning || !referenceCanvas_)
            return;
        UpdateCharWidths(&CurrentAttr);
        LastLayoutWidth = WrapWidth;
        PassRunning = true;
        Header()->RescaleTabs();
        if (WrapAtWindow)
            Header()->PixTextWidth = Header()->LayoutTextWidth = std::max(1, WrapWidth);
        int32_t y = 0;
        for (TParagraph* p = FirstPar; p; p = p->Next) {
            p->Flags |= parfReformat;
            MeasureParagraph(p);
            BreakParagraph(p, false);
            if (ScreenLayout) {
                int32_t ly = y;
                for (TLine* l = p->Lines; l; l = l->Next) {
                    l->Top = ly;
                    ly += l->Height;
                }
                if (!CellFollowedByCell(p)) {
                    y = ly;
                    if (y > 4 * VisibleHeight)
                        break;
                }
            }
        }
    }
    ReformatText(nullptr);
    if (OnTextChange)
        OnTextChange(this);
    // The caret follows its line to where the new layout put it.
    UpdateCaretMetrics();
    if (OnCaretMoved)
        OnCaretMoved(this);
    NotifyChange(rtchCharAttr);
    PassRunning = false;
}

void TRtRTFTextPaint::FormatAll(bool Remeasure)
{
    if (FormatAllRunning || Suspended() || PaintLocked)
        return;
    FormatAllRunning = true;
    ComputeHiddenStyleMask();
    const int32_t n = CountPars();
    int32_t rx = 0, li = 0;
    const bool floating = ObjRefList()->Count() > 0 && FirstPar &&
                          GetObjectWrapSpace(FirstPar, 0, rx, li, FirstPar->Lines ? FirstPar->Lines->Height : 0);
    InFormatting = true;
    const bool wasLocked = UpdatesLocked;
    UpdatesLocked = true;
    const bool progress = n > 100;
    if (progress)
        BeginProgress(n);
    bool second = false;
    for (int32_t pass = 0; pass < 2; ++pass) {
        if (pass == 1 && !second)
            break;
        int32_t y = 0, number = 0;
        for (TParagraph* p = FirstPar; p; p = p->Next) {
            ++number;
            if (progress)
                StepProgress(number);
            if (floating && p->Lines)
                p->Lines->Top = y;
            const bool below = ScreenLayout && y + ParHeight(p) >= TopY;
            if ((p->Flags & parfReformat) || pass == 1 || below) {
                if (Remeasure)
                    MeasureParagraph(p);
                BreakParagraph(p, false);
            }
            if (!SpellCheckPaused)
                SpellCheckParagraph(p, true);
            if (WrapAtWindow || ScreenLayout || floating) {
                int32_t ly = y;
                for (TLine* l = p->Lines; l; l = l->Next) {
                    CalcLineHeight(p, l);
                    l->Top = ly;
                    ly += l->Height;
                }
                if (!CellFollowedByCell(p))
                    y = ly;
            }
            if (ScreenLayout && y > VisibleHeight + VisibleHeight / 3)
                break;
            if (pass == 0 && WrapAtWindow && OnVertScrolled) {
                TextHeight = y;
                ScreenTextHeight = ScreenHeightOf(y);
                if (OnVertScrolled(this)) {
                    second = true;
                    break;
                }
            }
        }
    }
    if (Remeasure && floating) {
        InFormatting = false;
        ReformatText(nullptr);
        InFormatting = true;
        for (TParagraph* p = FirstPar; p; p = p->Next)
            p->Flags |= parfReformat;
        FormatAllRunning = false;
        FormatAll(false);
        FormatAllRunning = true;
    }
    if (progress)
        EndProgress();
    InFormatting = false;
    ReformatText(nullptr);
    UpdatesLocked = wasLocked;
    FormatAllRunning = false;
    if (!wasLocked) {
        ShowCursor();
        if (OnCaretMoved)
            OnCaretMoved(this);
        NotifyChange(rtchCharAttr | rtchParAttr);
        Refresh();
    }
    if (!EditBoxModes.Empty()) {
        EditBoxCheckRequested = true;
        ReformatAll();
        CheckEditBox();
    }
}

void TRtRTFTextPaint::ReformatAll()
{
    UpdateResolution();
    Header()->Changed();
    const bool was = InFormatting;
    InFormatting = false;
    for (int32_t i = 0; i < HeaderFooters()->Count(); ++i)
        if (TParagraph* first = HeaderFooters()->GetItem(i)->Paragraphs())
            ReformatText(first);
    ReformatText(nullptr);
    InFormatting = was;
}

int32_t TRtRTFTextPaint::ReformatText(TParagraph* Chain)
{
    if (FormatLock || InFormatting || Suspended() || PaintLocked)
        return 0;
    const int32_t h = TRtRTFTextIo::ReformatText(Chain);
    if (!Chain) {
        TextHeight = h;
        ScreenTextHeight = ScreenHeightOf(h);
    }
    if (!Chain && !(EngineOptions & eoNoScrolling)) {
        if (OnVertScrolled)
            OnVertScrolled(this);
        if (OnHorzScrolled)
            OnHorzScrolled(this);
    }
    return h;
}

void TRtRTFTextPaint::FormatHeadersFooters()
{
    for (int32_t i = 0; i < HeaderFooters()->Count(); ++i) {
        TRtSpecialTextProperty* item = HeaderFooters()->GetItem(i);
        HeaderFooterPass = item->Kind == rtIsHeader ? 1 : 2;
        FormatParagraphChain(item->Paragraphs());
    }
    HeaderFooterPass = 0;
}

int32_t TRtRTFTextPaint::FormatParagraphChain(TParagraph* First)
{
    if (FormatLock || !First)
        return 0;
    ChainFormatting = true;
    TParagraph* last = First;
    for (TParagraph* p = First; p; p = p->Next) {
        MeasureParagraph(p);
        BreakParagraph(p, false);
        last = p;
    }
    ReformatText(First);
    ChainFormatting = false;
    const TLine* l = GetLastLine(last);
    return l ? l->Top + l->Height : 0;
}

void TRtRTFTextPaint::InvalidateVisibleParagraphs()
{
    for (TParagraph* p = FirstPar; p; p = p->Next) {
        if (!p->Lines)
            continue;
        const int32_t top = p->Lines->Top;
        const TLine* last = GetLastLine(p);
        const int32_t bottom = last->Top + last->Height;
        if (bottom >= TopY && top <= TopY + VisibleHeight)
            p->Flags |= parfReformat;
    }
    UpdateAfterChange(false);
}

bool TRtRTFTextPaint::CheckMaxLength(int32_t Key, int32_t Count)
{
    if (EngineOptions & eoNoLengthCheck)
        return true;
    const bool newPar = Key == 12 || Key == 13;
    if (MaxParLength > 0 && Key != 8 && !newPar && CursorPar && GetParLength(CursorPar) >= MaxParLength - Count)
        return false;
    if (MaxTextLength > 0 && Key != 8) {
        int64_t sum = 0;
        for (const TParagraph* p = FirstPar; p; p = p->Next)
            sum += GetParLength(p) + 2;
        if (newPar)
            sum += 2;
        if (sum >= int64_t(MaxTextLength) - Count)
            return false;
    }
    return true;
}
