// The text store's protection test, positions, copying out, whole paragraphs
// by index, the memory-format switch, page counting and the merging of a
// detached paragraph chain.
#include "RtRtfTxt.h"

#include <algorithm>
#include <cstring>

// ---- protection --------------------------------------------------------------------------------------

bool TRtRTFText::EntryProtected(TParagraph* Par, TLine* Line, int32_t Pos, bool FireEvent)
{
    if (!Line->Attrs)
        return false;
    const TAttr& a = Line->Attrs[std::clamp<int32_t>(Pos, 0, Line->Capacity - 1)];
    const TProtectProp& pp = ProtectOptions;
    const bool prot = (pp.Has(ppProtected) && a.Style.Has(afsProtected)) ||
                      (pp.Has(ppIsInsertpoint) && a.Style.Has(afsIsInsertpoint) &&
                       !(InsertMode && !InputInsertPointFlag)) ||
                      (pp.Has(ppAutomatic) && a.Style.Has(afsAutomatic)) ||
                      (pp.Has(ppHidden) && a.Style.Has(afsHidden)) ||
                      (pp.Has(ppIsInvisible) && a.Width <= 0) ||
                      (a.Style.Has(afsIsObject) && !EditOptions.Has(rtObjectDeletion));
    if (prot && FireEvent && !SuppressProtectEvents)
        GetAttrRunText(Par, Line, Pos, false);
    return prot;
}

bool TRtRTFText::IsProtected(TParagraph* Par, TLine* Line, int32_t Pos)
{
    if (OnIsProtected)
        return OnIsProtected(this, Par, Line, Pos);
    if (!Par || !Line)
        return false;
    const TProtectProp& pp = ProtectOptions;
    const bool noEditAfter = pp.Has(ppNoEditAfterProtection);
    if (!Line->Next && !Par->Next && Pos >= Line->Length && !(noEditAfter && !pp.Has(ppAllowEditAtTextEnd)))
        return false;
    if (ProtectionOff)
        return false;
    Pos = std::clamp<int32_t>(Pos, 0, Line->Length);
    const bool lineEnd = Pos == Line->Length;
    if (pp.Has(ppInsertBetweenProtectedPar) && lineEnd && !Line->Next)
        return false;
    if (((Par->Flags & parfProtected) && pp.Has(ppParProtected) && !ParProtectionSuspended) ||
        ((Par->Flags & parfSkip1) && !EditingSkipPars) || (Par->Flags & parfSkip2)) {
        GetAttrRunText(Par, Line, Pos, true);
        return true;
    }
    if (!Line->Attrs || ProtectionSuspended)
        return false;
    if (!lineEnd)
        return EntryProtected(Par, Line, Pos, true);
    if (noEditAfter)
        return EntryProtected(Par, Line, std::max(Pos - 1, 0), true);
    if (Line->Next)
        return EntryProtected(Par, Line->Next, 0, true);
    if (Par->Next && Par->Next->Lines)
        return EntryProtected(Par->Next, Par->Next->Lines, 0, true);
    return EntryProtected(Par, Line, Pos, true);
}

void TRtRTFText::GetAttrRunText(TParagraph* Par, TLine* Line, int32_t Pos, bool WholePar)
{
    if (!OnProtectedChange || !Par || !Line)
        return;
    if (WholePar || !Line->Attrs) {
        const TLine* first = Par->Lines;
        OnProtectedChange(this, first ? AnsiString(reinterpret_cast<const char*>(first->Chars), first->Length) : AnsiString(), 0);
        return;
    }
    const WrtStyle ignored{afsBold, afsItalic, afsHyperLink, afsSuper, afsSub, afsUnderline, afsStrikeOut};
    auto key = [&](int32_t i) { return (Line->Attrs[i].Style - ignored).Bits; };
    const int32_t length = Line->Length;
    if (length == 0)
        return;
    int32_t start = std::clamp(Pos, 0, length - 1);
    while (start > 0 && key(start - 1) == key(start))
        --start;
    // Automatic text right after an insert point belongs to the insert point's run.
    if (start > 0 && Line->Attrs[start].Style.Has(afsAutomatic) &&
        Line->Attrs[start - 1].Style.Has(afsIsInsertpoint)) {
        --start;
        while (start > 0 && key(start - 1) == key(start))
            --start;
    }
    const TAttr& first = Line->Attrs[start];
    const bool insertPoint = first.Style.Has(afsIsInsertpoint);
    const int32_t tag = insertPoint || first.Style.Has(afsAutomatic) ? int32_t(first.Tag & 0xFFFF) : 0;
    AnsiString text;
    for (int32_t i = start; i < length && text.size() < 254; ++i) {
        const bool same = key(i) == key(start);
        const bool automaticAfter = insertPoint && Line->Attrs[i].Style.Has(afsAutomatic);
        if (!same && !automaticAfter)
            break;
        text += char(Line->Chars[i]);
    }
    OnProtectedChange(this, text, tag);
}

// ---- counting and reading ------------------------------------------------------------------------------

bool TRtRTFText::IsEmpty() const
{
    return !FirstPar || (!FirstPar->Next && FirstPar->Lines && !FirstPar->Lines->Next && FirstPar->Lines->Length == 0) ||
           (!FirstPar->Next && !FirstPar->Lines);
}

int32_t TRtRTFText::CountPars() const
{
    if (IsEmpty())
        return 0;
    int32_t n = 0;
    for (const TParagraph* p = FirstPar; p; p = p->Next)
        ++n;
    return n;
}

int32_t TRtRTFText::CountParsTo(const TParagraph* First, const TParagraph* Par)
{
    int32_t n = 0;
    for (const TParagraph* p = First; p; p = p->Next) {
        ++n;
        if (p == Par)
            break;
    }
    return n;
}

int32_t TRtRTFText::GetParLength(const TParagraph* Par)
{
    int32_t n = 0;
    for (const TLine* l = Par ? Par->Lines : nullptr; l; l = l->Next)
        n += l->Length;
    return n;
}

TParagraph* TRtRTFText::GetParByIndex(int32_t Index) const
{
    if (Index < 0)
        return nullptr;
    TParagraph* p = FirstPar;
    for (int32_t i = 0; p && i < Index; ++i)
        p = p->Next;
    return p;
}

int32_t TRtRTFText::GetParLengthByIndex(int32_t Index) const { return GetParLength(GetParByIndex(Index)); }

int32_t TRtRTFText::GetParText(int32_t Index, char* Buffer, int32_t Size) const
{
    if (!Buffer || Size < 1)
        return 0;
    int32_t n = 0;
    const TParagraph* p = GetParByIndex(Index);
    for (const TLine* l = p ? p->Lines : nullptr; l && n < Size - 2; l = l->Next) {
        const int32_t c = std::min<int32_t>(l->Length, Size - 2 - n);
        std::memcpy(Buffer + n, l->Chars, size_t(c));
        n += c;
    }
    Buffer[n] = 0;
    return n;
}

int32_t TRtRTFText::CopyParText(TParagraph* Par, int32_t Pos, char* Buffer, int32_t Count) const
{
    if (!Buffer)
        return 0;
    int32_t n = 0;
    TLine* l = LineAtParPos(Par, Pos);
    for (; l && n < Count; l = l->Next, Pos = 0) {
        const int32_t c = std::min<int32_t>(l->Length - Pos, Count - n);
        std::memcpy(Buffer + n, l->Chars + Pos, size_t(c));
        n += c;
    }
    Buffer[n] = 0;
    return n;
}

int32_t TRtRTFText::CopyTextAndAttrs(char* Buffer, TAttr* Attrs, int32_t Count)
{
    if (OwnerControl && OwnerControl->HasWindow())
        for (const TParagraph* p = FirstPar; p; p = p->Next)
            if (p->Flags & parfReformat) {
                UpdateAfterChange(true);
                break;
            }
    const bool unbounded = !Buffer && !Attrs;
    int32_t n = 0;
    auto put = [&](char ch, const TAttr& a) {
        if (!unbounded && n >= Count)
            return false;
        if (Buffer)
            Buffer[n] = ch;
        if (Attrs)
            Attrs[n] = a;
        ++n;
        return true;
    };
    for (const TParagraph* p = FirstPar; p; p = p->Next) {
        const TAttr* last = nullptr;
        for (const TLine* l = p->Lines; l; l = l->Next)
            for (int32_t i = 0; i < l->Length; ++i) {
                const TAttr& a = l->Attrs ? l->Attrs[i] : CurrentAttr;
                if (!put(char(l->Chars[i]), a))
                    goto done;
                last = &a;
            }
        if (p->Next && !(p->Flags & parfSkip1)) {
            const TAttr& a = !RichText() ? CurrentAttr : last ? *last : p->ParAttr;
            if (!put(13, a))
                goto done;
            if (!Attrs && !put(10, a))
                goto done;
        }
    }
done:
    if (Buffer && n < Count)
        Buffer[n] = 0;
    return n;
}

bool TRtRTFText::GetWordAt(TLine* Line, int32_t Pos, AnsiString& Word) const
{
    Word.clear();
    auto boundary = [](uint8_t c) { return c <= 32 || RtWordDelimiter[c]; };
    TLine* l = Line;
    int32_t i = std::max(Pos, 0);
    // Skip to the word.
    while (l) {
        while (i < l->Length && boundary(l->Chars[i]))
            ++i;
        if (i < l->Length)
            break;
        l = l->Next;
        i = 0;
    }
    for (; l; l = l->Next, i = 0) {
        while (i < l->Length && !boundary(l->Chars[i]))
            Word += char(l->Chars[i++]);
        if (i < l->Length)
            break;
    }
    return !Word.empty();
}

// ---- positions -------------------------------------------------------------------------------------------

int32_t TRtRTFText::CharPosOf(const TParagraph* Par, const TLine* Line, int32_t Pos) const
{
    int32_t n = 0;
    const TParagraph* p = FirstPar;
    for (; p && p != Par; p = p->Next)
        n += GetParLength(p) + 1;
    if (!p)
        return n;
    for (const TLine* l = p->Lines; l && l != Line; l = l->Next)
        n += l->Length;
    return n + Pos;
}

int32_t TRtRTFText::GetCursorCharPos() const
{
    return CursorPar ? CharPosOf(CursorPar, CursorLine, CursorPos) : 0;
}

void TRtRTFText::SetCursorCharPos(int32_t Pos)
{
    TParagraph* p = FirstPar;
    if (!p)
        return;
    Pos = std::max(Pos, 0);
    for (;;) {
        const int32_t len = GetParLength(p);
        if (Pos <= len || !p->Next) {
            TLine* l = LineAtParPos(p, Pos);
            CursorPar = p;
            CursorLine = l;
            CursorPos = Pos;
            if (l && Pos >= l->Length && l->Next) {
                CursorLine = l->Next;
                CursorPos = 0;
            }
            return;
        }
        Pos -= len + 1;
        p = p->Next;
    }
}

int32_t TRtRTFText::CountPages()
{
    if (IsEmpty())
        return 0;
    int32_t n = 1;
    for (const TParagraph* p = FirstPar; p; p = p->Next) {
        if (p->Flags & parfNewPage)
            ++n;
        for (const TLine* l = p->Lines; l; l = l->Next)
            if (l->Flags & linfPageStart)
                ++n;
    }
    return n;
}

bool TRtRTFText::IsLastPage(int32_t PageIndex)
{
    if (!pageCountValid_) {
        pageCount_ = CountPages();
        pageCountValid_ = true;
    }
    return PageIndex == pageCount_ - 1;
}

// ---- whole paragraphs by index --------------------------------------------------------------------------------

void TRtRTFText::AddParText(int32_t N, const uint8_t* Chars, const TAttr* Attr, int32_t Count)
{
    TParagraph* p = FirstPar;
    for (int32_t i = 0; p && p->Next && i < N; ++i)
        p = p->Next;
    if (!p || !p->Lines)
        return;
    SetParChars(p, Chars, std::max(Count, 0), Attr);
    UpdateAfterChange(true);
}

void TRtRTFText::InsertParText(int32_t N, const uint8_t* Chars, const TAttr* Attr, int32_t Count)
{
    Count = std::max(Count, 0);
    TParagraph* target;
    if (N <= 0 && !IsEmpty()) {
        TParagraph* p = nullptr;
        TParagraph* oldFirst = FirstPar;
        FirstPar = nullptr;
        InsertPar(p, Count + 4);
        p->Next = oldFirst;
        if (oldFirst)
            oldFirst->Prior = p;
        RenumberFrom(p);
        target = p;
    } else if (IsEmpty()) {
        target = FirstPar;
        if (!target) {
            InsertPar(target, Count + 4);
        }
    } else {
        // The new paragraph becomes paragraph N, after the one before it.
        TParagraph* p = FirstPar;
        for (int32_t i = 1; p->Next && i < N; ++i)
            p = p->Next;
        target = p;
        InsertPar(target, Count + 4);
    }
    SetParChars(target, Chars, Count, Attr);
    UpdateAfterChange(true);
}

void TRtRTFText::DeleteParIndex(int32_t N)
{
    TParagraph* p = GetParByIndex(N);
    if (!p)
        return;
    if (p == CursorPar) {
        if (!p->Prior && !p->Next) {
            for (TLine* l = p->Lines; l; l = l->Next)
                if (l->Chars)
                    DeleteLineChars(l, 0, l->Length);
            MarkChanged(p);
            return;
        }
        MoveCursorOff(p, p->Next ? p->Next : p->Prior);
    }
    // Lines go from the last one, so that the first line's deletion removes the paragraph.
    for (;;) {
        TLine* last = GetLastLine(p);
        if (!last)
            break;
        const bool firstLine = last == p->Lines;
        DeleteLine(p, last);
        if (firstLine)
            break;
    }
}

// ---- the memory format ----------------------------------------------------------------------------------------

void TRtRTFText::SetMemoryFormat(int32_t Value)
{
    if (Value != 0 && Value != 1)
        return;
    const TRtMemoryFormat format = Value == 0 ? fmRichText : fmPlainText;
    if (format == memoryFormat_ || !FirstPar || Busy) {
        memoryFormat_ = format;
        header_->RichText = format == fmRichText ? 1 : 0;
        return;
    }
    if (format == fmRichText) {
        if (CurrentAttr.Size <= 0)
            CurrentAttr.Size = uint16_t(RtDefaultFontSize);
        for (TParagraph* p = FirstPar; p; p = p->Next) {
            for (TLine* l = p->Lines; l; l = l->Next) {
                if (!l->Chars)
                    continue;
                AllocLineAttrs(l, l->Capacity);
                if (!l->Attrs)
                    throw std::bad_alloc();
                for (int32_t i = 0; i < l->Capacity; ++i) {
                    TAttr& a = l->Attrs[i];
                    a = CurrentAttr;
                    uint8_t ch = l->Chars[i];
                    if (ch == 9)
                        ch = 32;
                    a.Width = CurrentWidthBlock ? CurrentWidthBlock->Widths[ch].Width : 0;
                }
                l->Height = CurrentAttr.Height;
                l->Base = CurrentAttr.Base;
            }
            p->Flags |= parfReformat;
        }
    } else {
        for (TParagraph* p = FirstPar; p; p = p->Next) {
            for (TLine* l = p->Lines; l; l = l->Next) {
                std::free(l->Attrs);
                l->Attrs = nullptr;
                l->Height = uint16_t(CacheDefaultHeight);
                l->Base = uint16_t(CacheDefaultBase);
            }
            p->Flags |= parfReformat;
        }
    }
    memoryFormat_ = format;
    header_->RichText = format == fmRichText ? 1 : 0;
    pageCountValid_ = false;
    UpdateAfterChange(true);
}

// ---- merging a detached chain ----------------------------------------------------------------------------------

namespace {

void AppendLines(TLine* After, TLine* Lines)
{
    if (!Lines)
        return;
    TLine* tail = After->Next;
    After->Next = Lines;
    Lines->Prior = After;
    TLine* last = Lines;
    while (last->Next)
        last = last->Next;
    last->Next = tail;
    if (tail)
        tail->Prior = last;
}

TLine* LastOf(TLine* L)
{
    while (L && L->Next)
        L = L->Next;
    return L;
}

void CopyLayoutProps(TParagraph& Dest, const TParagraph& Src)
{
    Dest.IndentLeft = Src.IndentLeft;
    Dest.IndentRight = Src.IndentRight;
    Dest.IndentFirst = Src.IndentFirst;
    Dest.SpaceBefore = Src.SpaceBefore;
    Dest.SpaceAfter = Src.SpaceAfter;
    Dest.SpaceBetween = Src.SpaceBetween;
    Dest.Tabs = Src.Tabs;
    Dest.Color = Src.Color;
    Dest.Shading = Src.Shading;
    Dest.PatColor = Src.PatColor;
}

}  // namespace

bool TRtRTFText::InsertParagraphs(TParagraph*& Par, TLine*& Line, int32_t& Pos, TParagraph* Chain)
{
    if (!Chain)
        return false;
    if (!Par) {
        if (!FirstPar) {
            FirstPar = Chain;
            Chain->Prior = nullptr;
            RenumberFrom(Chain);
        }
        Par = Chain;
        Line = Chain->Lines;
        Pos = 0;
        MarkChanged(Chain);
        return true;
    }
    if (!Line)
        Line = Par->Lines;
    if (!Line)
        return false;
    Pos = std::clamp<int32_t>(Pos, 0, Line->Length);
    TParagraph* P = Par;
    const bool pCell = (P->Flags & parfTableCell) != 0;
    const bool cCell = (Chain->Flags & parfTableCell) != 0;

    if (pCell && cCell) {
        ReplaceCellsByCells(P, Chain);
        FreeParChain(Chain);
        Line = Par->Lines;
        Pos = 0;
        return false;
    }
    const bool atTextEnd = !P->Next && !Line->Next && Pos == Line->Length;
    if (pCell) {
        InsertChainIntoCell(P, Line, Pos, Chain);
        return false;
    }

    if (cCell && !(P->Lines == Line && !Line->Next && Line->Length == 0)) {
        if (!SplitPar(P, Line, Pos)) {
            // A protected position takes no table.
            FreeParChain(Chain);
            return false;
        }
        P = P->Next;
        Line = P->Lines;
        Pos = 0;
    }
    SpliceChain(Par, P, Line, Pos, Chain, atTextEnd);
    return true;
}

// Chain's first paragraph joins P at Line/Pos (taking P's place at its start), its further
// paragraphs follow P, and the lines after Pos end the last of them; Chain's record is freed.
// Par, Line and Pos end behind the inserted text.
void TRtRTFText::SpliceChain(TParagraph*& Par, TParagraph* P, TLine*& Line, int32_t& Pos, TParagraph* Chain,
                             bool AtTextEnd)
{
    const bool atParStart = Pos == 0 && Line == P->Lines;
    TLine* rest = DetachLinesFrom(Line, Pos);
    TParagraph saved;
    bool replaced = false;
    if (Chain->Lines) {
        AppendLines(Line, Chain->Lines);
    }
    TLine* chainFirstEnd = Chain->Lines ? LastOf(Chain->Lines) : Line;
    Chain->Lines = nullptr;
    if (atParStart) {
        CopyLayoutProps(saved, *P);
        TakeChainHeadProps(P, Chain);
        replaced = true;
    }
    TLine* end = chainFirstEnd;
    TParagraph* endPar = P;
    if (Chain->Next) {
        endPar = LinkChainTail(P, Chain, replaced && !AtTextEnd ? &saved : nullptr);
        end = GetLastLine(endPar);
    }
    if (rest) {
        if (end)
            AppendLines(end, rest);
        else
            endPar->Lines = rest;
    }
    Chain->Next = nullptr;
    FreePar(Chain);
    if (endPar != P)
        positions_.LinesMove(P, endPar);
    RenumberFrom(P);
    Par = endPar;
    Line = end ? end : endPar->Lines;
    Pos = end ? end->Length : 0;
    MarkChanged(P);
    MarkChanged(endPar);
}

// Links the paragraphs after Chain's first behind P, the last of them with the layout
// Layout when given; returns that last paragraph.
TParagraph* TRtRTFText::LinkChainTail(TParagraph* P, TParagraph* Chain, const TParagraph* Layout)
{
    TParagraph* lastC = Chain;
    while (lastC->Next)
        lastC = lastC->Next;
    TParagraph* second = Chain->Next;
    lastC->Next = P->Next;
    if (P->Next)
        P->Next->Prior = lastC;
    P->Next = second;
    second->Prior = P;
    if (Layout)
        CopyLayoutProps(*lastC, *Layout);
    for (TParagraph* q = second; q != lastC->Next; q = q->Next)
        MarkChanged(q);
    return lastC;
}

// Cell by cell into the cells of the target rows from Target on; the chain's lines move.
void TRtRTFText::ReplaceCellsByCells(TParagraph* Target, TParagraph* Chain)
{
    int32_t before = 0;
    for (const TParagraph* q = Target; q->Prior && (q->Flags & parfNotFirstCell); q = q->Prior)
        ++before;
    TParagraph* t = Target;
    TParagraph* s = Chain;
    while (t && s) {
        // The target cell as it was, lines, properties and cell record, for undo.
        SaveUndo(t, ukParagraph, ulPaste);
        std::swap(t->Lines, s->Lines);
        MarkChanged(t);
        t->Tabs = s->Tabs;
        t->IndentLeft = s->IndentLeft;
        t->IndentRight = s->IndentRight;
        t->IndentFirst = s->IndentFirst;
        t->StyleFields[0] = s->StyleFields[0];
        t->Color = s->Color;
        t->Shading = s->Shading;
        t->PatColor = s->PatColor;
        if (t->Cell && s->Cell && (!s->Cell->Name.empty() || !s->Cell->Command.empty())) {
            t->Cell->Name = s->Cell->Name;
            t->Cell->Command = s->Cell->Command;
            t->Cell->Value = s->Cell->Value;
        }
        // The cell's old lines go with the chain: every position in it goes to the cell's start.
        positions_.ParagraphGoes(t, t);
        const bool sRowGoesOn = (s->Flags & parfNotLastCell) && s->Next && (s->Next->Flags & parfTableCell);
        const bool tRowGoesOn = (t->Flags & parfNotLastCell) && t->Next && (t->Next->Flags & parfTableCell);
        if (sRowGoesOn && tRowGoesOn) {
            s = s->Next;
            t = t->Next;
            continue;
        }
        // End of a row: both move on to their next rows.
        while (s && (s->Flags & parfNotLastCell) && s->Next)
            s = s->Next;
        s = s ? s->Next : nullptr;
        if (s && !(s->Flags & parfTableCell))
            s = nullptr;
        while ((t->Flags & parfNotLastCell) && t->Next)
            t = t->Next;
        t = t->Next;
        if (t && !(t->Flags & parfTableCell))
            t = nullptr;
        for (int32_t i = 0; t && i < before; ++i)
            t = (t->Flags & parfNotLastCell) && t->Next ? t->Next : nullptr;
    }
}

// Cuts the lines after Pos of Line off its paragraph; returns the first of them.
TLine* TRtRTFText::DetachLinesFrom(TLine* Line, int32_t Pos)
{
    // Split also at the line's end: the positions there go with the rest, behind what comes in.
    TLine* rest = SplitLineAt(Line, Pos);
    if (rest) {
        Line->Next = nullptr;
        rest->Prior = nullptr;
    }
    return rest;
}

// Into a cell the chain goes as lines of the cell, its paragraphs joined by line feeds;
// the chain is freed. Line and Pos end behind the inserted text.
void TRtRTFText::InsertChainIntoCell(TParagraph* P, TLine*& Line, int32_t& Pos, TParagraph* Chain)
{
    if (Pos == 0 && P->Lines == Line && !Line->Next && Line->Length == 0)
        CopyLayoutProps(*P, *Chain);
    TLine* rest = DetachLinesFrom(Line, Pos);
    TLine* cur = Line;
    for (TParagraph* c = Chain; c; c = c->Next) {
        if (c != Chain && GetParLength(c) > 0 && cur->Length > 0) {
            const TAttr* before = cur->Attrs ? &cur->Attrs[cur->Length - 1] : nullptr;
            const uint8_t lf = 10;
            ReplaceChars(P, cur, before, 1, &lf, 0, cur->Length);
        }
        if (c->Lines) {
            AppendLines(cur, c->Lines);
            cur = LastOf(c->Lines);
            c->Lines = nullptr;
        }
    }
    if (rest)
        AppendLines(cur, rest);
    while (Chain) {
        TParagraph* next = Chain->Next;
        FreePar(Chain);
        Chain = next;
    }
    Line = rest ? rest : cur;
    Pos = rest ? 0 : cur->Length;
    MarkChanged(P);
}

// P takes the properties and cell of the chain's first paragraph, keeping its own place,
// lines, objects and page break.
void TRtRTFText::TakeChainHeadProps(TParagraph* P, TParagraph* Chain)
{
    const uint32_t newPage = P->Flags & parfNewPage;
    TParagraph* next = P->Next;
    TParagraph* prior = P->Prior;
    TLine* lines = P->Lines;
    const uint32_t serial = P->Serial;
    const int32_t index = P->Index;
    TRtParObject* objects = P->Objects;
    TRtCell* cell = P->Cell;
    TRtCell* chainCell = Chain->Cell;
    Chain->Cell = nullptr;
    *P = *Chain;
    P->Next = next;
    P->Prior = prior;
    P->Lines = lines;
    P->Serial = serial;
    P->Index = index;
    P->Objects = objects;
    P->Flags |= newPage;
    if (chainCell) {
        delete cell;
        P->Cell = chainCell;
    } else {
        P->Cell = cell;
    }
    Chain->Objects = nullptr;
}
