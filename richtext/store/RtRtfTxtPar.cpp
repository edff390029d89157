// The text store's records and character edits: creating, linking and freeing
// paragraphs and lines, growing line buffers, inserting, replacing and
// deleting characters, splitting and joining lines and paragraphs.
#include "RtObjBase.h"
#include "RtPlatform.h"
#include "RtRtfTxt.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace {

void* CheckedAlloc(void* p)
{
    if (!p)
        throw std::bad_alloc();
    return p;
}

// The capacity a buffer of Size gets: even, within the 16-bit limit.
int32_t BufferSize(int32_t Size)
{
    Size = std::clamp(Size, 2, RtMaxLineCapacity);
    return Size + (Size & 1);
}

void SetLength(TLine* Line, int32_t Length)
{
    Line->Length = uint16_t(Length);
    Line->Chars[Length] = 0;
}

}  // namespace

// ---- records ------------------------------------------------------------------------------------

TParagraph* TRtRTFText::NewParagraph()
{
    auto* p = new TParagraph;
    p->Serial = ++ParCounter;
    return p;
}

TLine* TRtRTFText::NewLineRecord() { return new TLine; }

void TRtRTFText::AllocLineText(TLine* Line, int32_t Size)
{
    Size = std::clamp(Size, 1, RtMaxLineCapacity);
    Line->Chars = static_cast<uint8_t*>(CheckedAlloc(std::calloc(size_t(Size), 1)));
    Line->Capacity = uint16_t(Size);
}

void TRtRTFText::AllocLineAttrs(TLine* Line, int32_t Count)
{
    Count = std::clamp(Count, 1, RtMaxLineCapacity);
    Line->Attrs = static_cast<TAttr*>(std::calloc(size_t(Count), sizeof(TAttr)));
    Line->Capacity = Line->Attrs ? uint16_t(Count) : 0;
}

void TRtRTFText::FreeLine(TLine* Line)
{
    if (!Line)
        return;
    std::free(Line->Chars);
    std::free(Line->Attrs);
    delete Line;
}

void TRtRTFText::FreeLines(TLine* First)
{
    while (First) {
        TLine* next = First->Next;
        FreeLine(First);
        First = next;
    }
}

void TRtRTFText::InsertLine(TLine*& Line, int32_t Size)
{
    const int32_t capacity = Size < 8 ? 8 : std::min(Size + 4, RtMaxLineCapacity);
    TLine* l = NewLineRecord();
    AllocLineText(l, capacity);
    if (RichText()) {
        AllocLineAttrs(l, capacity);
        if (!l->Attrs) {
            FreeLine(l);
            throw std::bad_alloc();
        }
        l->Attrs[0] = CurrentAttr;
    }
    l->Height = uint16_t(DefaultLineHeight);
    if (Line) {
        l->Next = Line->Next;
        if (l->Next)
            l->Next->Prior = l;
        l->Prior = Line;
        Line->Next = l;
    }
    Line = l;
}

bool TRtRTFText::ResizeLine(TLine* Line, int32_t Size)
{
    if (!Line)
        return false;
    const int32_t capacity = BufferSize(Size);
    auto* chars = static_cast<uint8_t*>(CheckedAlloc(std::realloc(Line->Chars, size_t(capacity))));
    if (capacity > Line->Capacity)
        std::memset(chars + Line->Capacity, 0, size_t(capacity - Line->Capacity));
    Line->Chars = chars;
    if (RichText()) {
        auto* attrs = static_cast<TAttr*>(CheckedAlloc(std::realloc(Line->Attrs, size_t(capacity) * sizeof(TAttr))));
        const int32_t had = Line->Attrs ? Line->Capacity : 0;
        if (capacity > had)
            std::memset(static_cast<void*>(attrs + had), 0, size_t(capacity - had) * sizeof(TAttr));
        Line->Attrs = attrs;
    } else {
        std::free(Line->Attrs);
        Line->Attrs = nullptr;
    }
    Line->Capacity = uint16_t(capacity);
    // The terminating NUL always keeps its place.
    if (Line->Length >= capacity)
        SetLength(Line, capacity - 1);
    return true;
}

void TRtRTFText::ClearLine(TLine* Line)
{
    if (!Line)
        return;
    std::free(Line->Chars);
    std::free(Line->Attrs);
    Line->Chars = nullptr;
    Line->Attrs = nullptr;
    Line->Capacity = 0;
    Line->Length = 0;
}

TLine* TRtRTFText::GetLastLine(const TParagraph* Par)
{
    TLine* l = Par ? Par->Lines : nullptr;
    while (l && l->Next)
        l = l->Next;
    return l;
}

void TRtRTFText::MoveAttrs(TAttr* Dest, int32_t DestIndex, const TAttr* Source, int32_t Count, int32_t SourceIndex)
{
    if (!Dest || !Source || Count <= 0)
        return;
    std::memmove(static_cast<void*>(Dest + DestIndex), Source + SourceIndex, size_t(Count) * sizeof(TAttr));
}

void TRtRTFText::MarkChanged(TParagraph* Par)
{
    if (Par)
        Par->Flags |= parfReformat;
    pageCountValid_ = false;
}

void TRtRTFText::RenumberFrom(TParagraph* Par)
{
    for (TParagraph* p = Par; p; p = p->Next)
        p->Index = p->Prior ? p->Prior->Index + 1 : 0;
}

void TRtRTFText::DeleteLine(TParagraph* Par, TLine* Line)
{
    if (!Par || !Line)
        return;
    if (Line->Prior) {
        Line->Prior->Next = Line->Next;
        if (Line->Next)
            Line->Next->Prior = Line->Prior;
        positions_.LineGoes(Line, Line->Prior, Line->Prior->Length);
        FreeLine(Line);
    } else if (Par->Prior) {
        // The paragraph joins its predecessor.
        TParagraph* prev = Par->Prior;
        TLine* rest = Line->Next;
        TLine* last = GetLastLine(prev);
        if (rest) {
            rest->Prior = last;
            (last ? last->Next : prev->Lines) = rest;
        }
        // Positions keep the characters that stay; those on Line go to where it was.
        positions_.LineGoes(Line, last ? last : rest, last ? last->Length : 0);
        positions_.ParagraphJoins(Par, prev);
        FreeLine(Line);
        Par->Lines = nullptr;
        prev->Next = Par->Next;
        if (Par->Next)
            Par->Next->Prior = prev;
        MarkChanged(prev);
        FreePar(Par);
    } else if (Line->Next) {
        Par->Lines = Line->Next;
        Par->Lines->Prior = nullptr;
        positions_.LineGoes(Line, Par->Lines, 0);
        FreeLine(Line);
    } else if (!Par->Next) {
        if (Line->Chars)
            DeleteLineChars(Line, 0, Line->Length);
    } else {
        TParagraph* next = Par->Next;
        if (FirstPar == Par)
            FirstPar = next;
        next->Prior = nullptr;
        MoveCursorOff(Par, next);
        TParagraph* p = Par;
        p->Next = nullptr;
        FreeParChain(p);
    }
    MarkChanged(nullptr);
}

void TRtRTFText::InsertPar(TParagraph*& Par, int32_t LineSize)
{
    TParagraph* n = NewParagraph();
    TParagraph* p = Par;
    if (p) {
        n->Next = p->Next;
        if (n->Next)
            n->Next->Prior = n;
        p->Next = n;
        n->IndentFirst = p->IndentFirst;
        n->IndentLeft = p->IndentLeft;
        n->IndentRight = p->IndentRight;
        n->SpaceBefore = p->SpaceBefore;
        n->SpaceAfter = p->SpaceAfter;
        n->SpaceBetween = p->SpaceBetween;
        n->Number = p->Number;
        n->NumberExtra = p->NumberExtra;
        n->NumLevel = p->NumLevel;
        n->Color = p->Color;
        n->Shading = p->Shading;
        n->PatColor = p->PatColor;
        n->Align = p->Align;
        n->StyleFields = p->StyleFields;
        n->StyleIndex = p->StyleIndex;
        n->OutlineLevel = p->OutlineLevel;
        n->Owner = p->Owner;
        if (!(p->Flags & parfTableCell))
            n->Tabs = p->Tabs;
        n->Flags = p->Flags & ~(parfNoWrap | parfNotFirstCell | parfNotLastCell | parfTableCell | parfIsOutline);
        if (n->Flags & (parfObjectPar | parfObjectPar2)) {
            n->Flags &= ~(parfObjectPar | parfObjectPar2);
            n->Color = 0;
        }
        if (p->Number)
            n->RunNumber = uint16_t(p->RunNumber + 1);
        if (RichText()) {
            const TLine* last = GetLastLine(p);
            n->ParAttr = last && last->Length > 0 && last->Attrs ? last->Attrs[last->Length - 1] : p->ParAttr;
        }
        if ((p->BrdLines & brdPresent) && !SplitAtEnd) {
            n->BrdLines = p->BrdLines;
            n->BrdWidth = p->BrdWidth;
            n->BrdColor = p->BrdColor;
            n->BrdSpace = p->BrdSpace;
            p->BrdLines &= uint16_t(~brdNoBetween);
        }
        SplitAtEnd = false;
    } else if (!FirstPar) {
        FirstPar = n;
    }
    n->Prior = p;
    n->Flags |= parfReformat;
    TLine* line = nullptr;
    try {
        InsertLine(line, LineSize);
    } catch (...) {
        if (p)
            p->Next = n->Next;
        if (n->Next)
            n->Next->Prior = p;
        if (FirstPar == n)
            FirstPar = nullptr;
        delete n;
        throw;
    }
    n->Lines = line;
    RenumberFrom(n);
    MarkChanged(n);
    Par = n;
}

void TRtRTFText::FreeParExtras(TParagraph* Par)
{
    if (!Par)
        return;
    for (TRtParObject* o = Par->Objects; o;) {
        TRtParObject* next = o->Next;
        delete o;
        o = next;
    }
    Par->Objects = nullptr;
    FreeParCell(Par);
}

void TRtRTFText::FreePar(TParagraph*& Par)
{
    if (!Par)
        return;
    positions_.ParagraphGoes(Par, nullptr);
    FreeParExtras(Par);
    delete Par;
    Par = nullptr;
}

void TRtRTFText::DeletePar(TParagraph*& Par)
{
    if (!Par)
        return;
    TParagraph* p = Par;
    TParagraph* next = p->Next;
    FreeLines(p->Lines);
    p->Lines = nullptr;
    if (p->Prior)
        p->Prior->Next = next;
    if (next)
        next->Prior = p->Prior;
    if (FirstPar == p)
        FirstPar = next;
    FreePar(p);
    MarkChanged(nullptr);
    Par = next;
}

void TRtRTFText::FreeParChain(TParagraph* First)
{
    // One walk of the positions for the whole chain, not one a paragraph.
    positions_.ChainGoes(First);
    while (First) {
        TParagraph* next = First->Next;
        FreeLines(First->Lines);
        First->Lines = nullptr;
        FreeParExtras(First);
        delete First;
        First = next;
    }
}

// Positions in a paragraph that goes away move to the start of another one.
void TRtRTFText::MoveCursorOff(TParagraph* Par, TParagraph* To) { positions_.ParagraphGoes(Par, To); }

// ---- helpers of the edits ---------------------------------------------------------------------------

TLine* TRtRTFText::LineAtParPos(TParagraph* Par, int32_t& Pos)
{
    TLine* l = Par ? Par->Lines : nullptr;
    if (!l)
        return nullptr;
    if (Pos < 0)
        Pos = 0;
    while (Pos > l->Length && l->Next) {
        Pos -= l->Length;
        l = l->Next;
    }
    Pos = std::min<int32_t>(Pos, l->Length);
    return l;
}

TLine* TRtRTFText::SplitLineAt(TLine* Line, int32_t Pos)
{
    Pos = std::clamp<int32_t>(Pos, 0, Line->Length);
    const int32_t rest = Line->Length - Pos;
    TLine* n = Line;
    InsertLine(n, rest);
    std::memcpy(n->Chars, Line->Chars + Pos, size_t(rest));
    if (n->Attrs && Line->Attrs)
        MoveAttrs(n->Attrs, 0, Line->Attrs, rest + 1, Pos);
    SetLength(n, rest);
    SetLength(Line, Pos);
    // Positions follow their characters into the new line.
    positions_.LineSplits(Line, Pos, n);
    return n;
}

TLine* TRtRTFText::InsertLinesWith(TParagraph* Par, TLine* After, const uint8_t* Chars, int32_t Count,
                                   const TAttr* Attr)
{
    const TAttr attr = Attr ? *Attr : CurrentAttr;
    TLine* last = After;
    int32_t done = 0;
    do {
        const int32_t chunk = std::min(Count - done, RtMaxLineCapacity - 5);
        TLine* l = last;
        InsertLine(l, chunk + 4);
        if (!last) {
            // The first line of the paragraph.
            l->Next = Par->Lines;
            if (l->Next)
                l->Next->Prior = l;
            Par->Lines = l;
        }
        std::memcpy(l->Chars, Chars + done, size_t(chunk));
        if (l->Attrs)
            for (int32_t i = 0; i <= chunk; ++i)
                l->Attrs[i] = attr;
        SetLength(l, chunk);
        done += chunk;
        last = l;
    } while (done < Count);
    return last;
}

void TRtRTFText::SetParChars(TParagraph* Par, const uint8_t* Chars, int32_t Count, const TAttr* Attr)
{
    TLine* line = Par->Lines;
    while (line->Next)
        DeleteLine(Par, line->Next);
    if (line->Attrs)
        line->Attrs[0] = CurrentAttr;
    const int32_t first = std::min(Count, RtMaxLineCapacity - 5);
    ReplaceChars(Par, line, Attr, first, Chars, line->Length, 0);
    if (Count > first)
        InsertLinesWith(Par, line, Chars + first, Count - first, Attr ? Attr : line->Attrs ? &line->Attrs[0] : nullptr);
    MarkChanged(Par);
}

// ---- character edits ----------------------------------------------------------------------------------

bool TRtRTFText::InsertLineChars(TLine* Line, int32_t Pos, const uint8_t* Chars, const TAttr& Attr, int32_t Count)
{
    const int32_t length = Line->Length;
    // A line never outgrows its 16-bit capacity: such an insert is refused.
    if (length + Count > RtMaxLineCapacity - 1)
        return false;
    if (length + Count + 3 > Line->Capacity)
        ResizeLine(Line, length + Count + 10);
    positions_.CharsInserted(Line, Pos, Count);
    std::memmove(Line->Chars + Pos + Count, Line->Chars + Pos, size_t(length - Pos + 1));
    std::memcpy(Line->Chars + Pos, Chars, size_t(Count));
    if (Line->Attrs) {
        MoveAttrs(Line->Attrs, Pos + Count, Line->Attrs, length - Pos + 1, Pos);
        std::fill_n(Line->Attrs + Pos, Count, Attr);
    }
    Line->Length = uint16_t(length + Count);
    return true;
}

void TRtRTFText::DeleteLineChars(TLine* Line, int32_t Pos, int32_t Count)
{
    const int32_t length = Line->Length;
    Count = std::min(Count, length - Pos);
    if (Count <= 0)
        return;
    positions_.CharsDeleted(Line, Pos, Count);
    const int32_t tail = length - Pos - Count;
    // Cut at the end, the line's end keeps the entry of the first character that went.
    std::memmove(Line->Chars + Pos, Line->Chars + Pos + Count, size_t(tail + 1));
    if (Line->Attrs && tail > 0)
        MoveAttrs(Line->Attrs, Pos, Line->Attrs, tail + 1, Pos + Count);
    Line->Length = uint16_t(length - Count);
}

int32_t TRtRTFText::ReplaceChars(TParagraph* Par, TLine* Line, const TAttr* Attr, int32_t NewCount,
                                 const uint8_t* NewChars, int32_t OldCount, int32_t Pos)
{
    if (!Line || (OldCount < 1 && NewCount < 1))
        return 0;
    Pos = std::clamp<int32_t>(Pos, 0, Line->Length);
    OldCount = std::clamp(OldCount, 0, Line->Length - Pos);
    NewCount = std::max(NewCount, 0);
    const TAttr attr = Attr ? *Attr : Line->Attrs ? Line->Attrs[Pos] : CurrentAttr;
    // The old characters are overwritten in place; the rest goes in or out behind them.
    const int32_t kept = std::min(NewCount, OldCount);
    if (NewCount > OldCount &&
        !InsertLineChars(Line, Pos + kept, NewChars + kept, attr, NewCount - OldCount))
        return 0;
    if (NewCount < OldCount)
        DeleteLineChars(Line, Pos + kept, OldCount - NewCount);
    if (kept > 0) {
        std::memcpy(Line->Chars + Pos, NewChars, size_t(kept));
        if (Line->Attrs)
            std::fill_n(Line->Attrs + Pos, kept, attr);
    }
    MarkChanged(Par);
    // A cut to the line's end counts as no change of length.
    return NewCount == 0 && Pos == Line->Length ? 0 : NewCount - OldCount;
}

int32_t TRtRTFText::InsertString(TParagraph* Par, TLine* Line, const AnsiString& S, int32_t OldCount, int32_t Pos)
{
    return ReplaceChars(Par, Line, nullptr, int32_t(S.size()), reinterpret_cast<const uint8_t*>(S.data()),
                        OldCount, Pos);
}

bool TRtRTFText::InsertChar(TParagraph* Par, TLine* Line, const TAttr* Attr, uint8_t Ch, int32_t Pos)
{
    if (!Par)
        return false;
    if (!Line)
        Line = LineAtParPos(Par, Pos);
    if (!Line)
        return false;
    if (IsProtected(Par, Line, Pos))
        return false;
    if ((Par->Flags & parfTableCell) && Par->Cell && Par->Cell->Locked()) {
        RtPlatform().Beep();
        return false;
    }
    const TAttr attr = Attr ? *Attr : CurrentAttr;
    Pos = std::clamp<int32_t>(Pos, 0, Line->Length);
    if (Pos < Line->Length && !InsertMode) {
        Line->Chars[Pos] = Ch;
        if (Line->Attrs)
            Line->Attrs[Pos] = attr;
    } else if (!InsertLineChars(Line, Pos, &Ch, attr, 1)) {
        return false;  // the line is full: the character is refused rather than overrun the buffer
    }
    Line->Flags |= linfChanged;
    MarkChanged(Par);
    return true;
}

void TRtRTFText::InsertTextAt(TParagraph* Par, int32_t Pos, const TAttr* Attr, const char* Text)
{
    if (!Par || !Text || !*Text)
        return;
    TLine* after = nullptr;
    if (Pos > 0) {
        after = LineAtParPos(Par, Pos);
        if (after && Pos < after->Length)
            SplitLineAt(after, Pos);
    }
    InsertLinesWith(Par, after, reinterpret_cast<const uint8_t*>(Text), int32_t(std::strlen(Text)), Attr);
    MarkChanged(Par);
}

void TRtRTFText::InsertTextLine(const char* Text, const TAttr* Attr)
{
    if (!CursorPar || !CursorLine || !Text || !*Text)
        return;
    const bool atEnd = !CursorLine->Next && CursorPos >= CursorLine->Length;
    if (!atEnd)
        SplitLineAt(CursorLine, CursorPos);
    TLine* last = InsertLinesWith(CursorPar, CursorLine, reinterpret_cast<const uint8_t*>(Text),
                                  int32_t(std::strlen(Text)), Attr);
    CursorLine = last;
    CursorPos = last->Length;
    MarkChanged(CursorPar);
}

void TRtRTFText::DeleteTextAt(TParagraph* Par, int32_t Pos, int32_t Count)
{
    if (!Par || Count <= 0)
        return;
    TLine* l = Par->Lines;
    Pos = std::max(Pos, 0);
    while (l && Pos >= l->Length) {
        Pos -= l->Length;
        l = l->Next;
    }
    if (!l)
        return;
    MarkChanged(Par);
    if (Pos > 0)
        l = SplitLineAt(l, Pos);
    for (int32_t rest = Count; l && rest > 0; l = l->Next) {
        if (rest < l->Length)
            SplitLineAt(l, rest);
        rest -= l->Length;
        objRefs_->ReleaseLineRefs(l, 0, afsIsObject, l->Length);
        DeleteLineChars(l, 0, l->Length);
    }
}

bool TRtRTFText::DeleteChar(TParagraph* Par, TLine* Line, int32_t Pos)
{
    if (!Par || !Line)
        return true;
    // Insert points always count as protected when deleting.
    const bool insertMode = InsertMode;
    InsertMode = false;
    const bool prot = IsProtected(Par, Line, Pos);
    InsertMode = insertMode;
    if (prot)
        return true;
    Pos = std::clamp<int32_t>(Pos, 0, Line->Length);

    // An empty paragraph between two others goes away.
    if (Pos == 0 && Par->Lines == Line && !Line->Next && Line->Length == 0 && Par->Prior && Par->Next &&
        !(Par->Flags & parfTableCell)) {
        MarkChanged(Par->Next);
        MoveCursorOff(Par, Par->Next);
        TParagraph* p = Par;
        DeletePar(p);
        return true;
    }

    if (Pos < Line->Length) {
        bool alsoNext = false;
        if (Line->Attrs && Line->Attrs[Pos].Style.Has(afsIsObject)) {
            TAttr& a = Line->Attrs[Pos];
            const uint8_t ch = Line->Chars[Pos];
            if (TTextObj* ref = objRefs_->GetTextObj(int32_t(a.Tag))) {
                ref->Placed = 0;
                if (ref->Object)
                    ref->Object->RemovedFromText(this);
                if (ref->Kind == 3 && ref->SubKind == 1)
                    objRefs_->BookmarksChanged = true;
            }
            if (ch == 1) {
                objRefs_->Release(int32_t(a.Tag));
                a.Style.Exclude(afsIsObject);
                a.Tag = 0;
            } else if (ch == 2 || ch == 3) {
                MarkPairedMarkerDeleted(Par, Line, Pos);
            }
            alsoNext = a.Style.Has(afsDBCSOne) && !PairedDeleteGuard;
        }
        DeleteLineChars(Line, Pos, 1);
        MarkChanged(Par);
        if (alsoNext && Pos < Line->Length)
            DeleteChar(Par, Line, Pos);
        return true;
    }

    if (TLine* next = Line->Next) {
        const int32_t sum = Line->Length + next->Length;
        if (sum + 6 > Line->Capacity)
            ResizeLine(Line, std::min(sum + 30, RtMaxLineCapacity));
        if (sum >= Line->Capacity)
            return true;
        const int32_t skip = IsProtected(Par, next, 0) || next->Length == 0 ? 0 : 1;
        const int32_t count = next->Length - skip;
        std::memcpy(Line->Chars + Line->Length, next->Chars + skip, size_t(count));
        if (Line->Attrs && next->Attrs)
            MoveAttrs(Line->Attrs, Line->Length, next->Attrs, count + 1, skip);
        positions_.LineJoins(next, Line, Line->Length, skip);
        SetLength(Line, Line->Length + count);
        DeleteLine(Par, next);
        MarkChanged(Par);
        return true;
    }

    if (!Par->Next || (Par->Flags & parfTableCell))
        return true;
    JoinNextPar(Par, Line, Pos);
    MarkChanged(Par);
    return true;
}

void TRtRTFText::JoinNextPar(TParagraph* Par, TLine* Line, int32_t Pos)
{
    TParagraph* n = Par->Next;
    TLine* last = GetLastLine(Par);
    if (n->Lines) {
        n->Lines->Prior = last;
        (last ? last->Next : Par->Lines) = n->Lines;
        n->Lines = nullptr;
    }
    if ((n->Flags & parfTableCell) && !(Par->Flags & parfTableCell)) {
        FreeParCell(Par);
        Par->Cell = n->Cell;
        n->Cell = nullptr;
        Par->Number = n->Number;
        Par->StyleFields = n->StyleFields;
        Par->Align = n->Align;
        Par->Flags = n->Flags;
        Par->Shading = n->Shading;
        Par->Color = n->Color;
        Par->PatColor = n->PatColor;
        Par->BrdLines = n->BrdLines;
        Par->BrdWidth = n->BrdWidth;
        Par->BrdColor = n->BrdColor;
        Par->BrdSpace = n->BrdSpace;
        Par->Tabs = n->Tabs;
        Par->IndentRight = n->IndentRight;
        Par->SpaceAfter = n->SpaceAfter;
        Par->SpaceBefore = n->SpaceBefore;
    } else if (Pos == 0 && !Line->Prior) {
        // An empty paragraph takes all properties of the one that joins it.
        Par->IndentFirst = n->IndentFirst;
        Par->IndentLeft = n->IndentLeft;
        Par->IndentRight = n->IndentRight;
        Par->SpaceBefore = n->SpaceBefore;
        Par->SpaceAfter = n->SpaceAfter;
        Par->SpaceBetween = n->SpaceBetween;
        Par->Number = n->Number;
        Par->NumberExtra = n->NumberExtra;
        Par->NumLevel = n->NumLevel;
        Par->Color = n->Color;
        Par->Shading = n->Shading;
        Par->PatColor = n->PatColor;
        Par->Align = n->Align;
        Par->StyleFields = n->StyleFields;
        Par->Tabs = n->Tabs;
        Par->BrdLines = n->BrdLines;
        Par->BrdWidth = n->BrdWidth;
        Par->BrdColor = n->BrdColor;
        Par->BrdSpace = n->BrdSpace;
        Par->Flags = n->Flags;
        Par->ParAttr = n->ParAttr;
        Par->RunNumber = n->RunNumber;
    }
    if (!Par->Objects) {
        Par->Objects = n->Objects;
        n->Objects = nullptr;
    }
    Par->Next = n->Next;
    if (n->Next)
        n->Next->Prior = Par;
    positions_.ParagraphJoins(n, Par);
    FreePar(n);
}

void TRtRTFText::DeleteTextRange(TParagraph* FromPar, TParagraph* ToPar, int32_t ToPos, int32_t FromPos,
                                 TLine* FromLine, TLine* ToLine)
{
    if (!FirstPar)
        return;
    if (!FromPar) {
        FromPar = FirstPar;
        FromLine = FirstPar->Lines;
        FromPos = 0;
    }
    if (!ToPar) {
        ToPar = FirstPar;
        while (ToPar->Next)
            ToPar = ToPar->Next;
        ToLine = GetLastLine(ToPar);
        ToPos = ToLine ? ToLine->Length : 0;
    }
    if (!FromLine)
        FromLine = FromPar->Lines;
    if (!ToLine)
        ToLine = ToPar->Lines;
    if (!FromLine || !ToLine)
        return;
    // The end must follow the start in the chain.
    {
        TParagraph* p = FromPar;
        while (p && p != ToPar)
            p = p->Next;
        if (!p)
            return;
    }
    FromPos = std::clamp<int32_t>(FromPos, 0, FromLine->Length);
    ToPos = std::clamp<int32_t>(ToPos, 0, ToLine->Length);
    const int32_t cursor = GetCursorCharPos();
    if (FromPar != ToPar) {
        for (TParagraph* p = FromPar->Next; p && p != ToPar;) {
            objRefs_->ReleaseParRefs(p, afsIsObject);
            MoveCursorOff(p, ToPar);   // into the range, whose start they take below
            DeletePar(p);
        }
        TLine* last = GetLastLine(FromPar);
        if (ToPar->Lines) {
            ToPar->Lines->Prior = last;
            (last ? last->Next : FromPar->Lines) = ToPar->Lines;
            ToPar->Lines = nullptr;
        }
        FromPar->Next = ToPar->Next;
        if (ToPar->Next)
            ToPar->Next->Prior = FromPar;
        positions_.ParagraphJoins(ToPar, FromPar);
        FreePar(ToPar);
    }
    // Positions keep their characters (those in the range go to its start); the cursor keeps its place.
    if (FromLine != ToLine) {
        objRefs_->ReleaseLineRefs(FromLine, FromPos, afsIsObject, FromLine->Length);
        DeleteLineChars(FromLine, FromPos, FromLine->Length - FromPos);
        for (TLine* l = FromLine->Next; l && l != ToLine; l = l->Next) {
            objRefs_->ReleaseLineRefs(l, 0, afsIsObject, l->Length);
            DeleteLineChars(l, 0, l->Length);
        }
        PairedDeleteGuard = true;
        for (int32_t i = 0; i < ToPos; ++i)
            DeleteChar(FromPar, ToLine, 0);
        PairedDeleteGuard = false;
    } else {
        PairedDeleteGuard = true;
        for (int32_t i = FromPos; i < ToPos; ++i)
            DeleteChar(FromPar, FromLine, FromPos);
        PairedDeleteGuard = false;
    }
    MarkChanged(FromPar);
    SetCursorCharPos(cursor);
    MarkChanged(CursorPar);
}

void TRtRTFText::PurgeDeletedChars(TParagraph* Par)
{
    if (!Par || !RichText())
        return;
    if (!NoUndo) {
        // The paragraph goes into the undo step as it was, marked characters included.
        bool marked = false;
        for (const TLine* l = Par->Lines; l && !marked; l = l->Next)
            for (int32_t i = 0; l->Attrs && i < l->Length && !marked; ++i)
                marked = l->Attrs[i].Style.Has(afsDelete);
        if (!marked)
            return;
        SaveUndo(Par, ukLines, ulDeletion);
    }
    bool dropped = false;
    for (TLine* l = Par->Lines; l; l = l->Next) {
        if (!l->Attrs)
            continue;
        // One pass; the positions learn of each run of marked characters where the kept ones end.
        int32_t to = 0;
        for (int32_t from = 0; from < l->Length;) {
            if (!l->Attrs[from].Style.Has(afsDelete)) {
                l->Chars[to] = l->Chars[from];
                l->Attrs[to++] = l->Attrs[from++];
                continue;
            }
            const int32_t start = from;
            for (; from < l->Length && l->Attrs[from].Style.Has(afsDelete); ++from) {
                TAttr& a = l->Attrs[from];
                if (l->Chars[from] == 1 && a.Style.Has(afsIsObject)) {
                    objRefs_->Release(int32_t(a.Tag));
                    a.Style.Exclude(afsIsObject);
                }
            }
            positions_.CharsDeleted(l, to, from - start);
        }
        if (to != l->Length) {
            l->Attrs[to] = l->Attrs[l->Length];
            SetLength(l, to);
            dropped = true;
        }
    }
    if (dropped)
        MarkChanged(Par);
}

bool TRtRTFText::SplitPar(TParagraph* Par, TLine* Line, int32_t Pos)
{
    if (!Par || !Line)
        return false;
    if (IsProtected(Par, Line, Pos))
        return false;
    Pos = std::clamp<int32_t>(Pos, 0, Line->Length);
    if (Line->Attrs)
        for (int32_t i = 0; i <= Pos && i < Line->Capacity; ++i)
            Line->Attrs[i].Style.Exclude(afsWasChecked);
    MarkChanged(Par);
    const bool atEnd = !Line->Next && Pos == Line->Length;
    SplitAtEnd = atEnd && (!Par->Next || !(Par->Next->BrdLines & brdPresent));
    TParagraph* n = Par;
    InsertPar(n, Line->Length - Pos + 30);
    if (atEnd && n->Next && n->Next->Objects)
        n->Flags &= ~parfProtected;
    TLine* first = n->Lines;
    const int32_t rest = Line->Length - Pos;
    std::memcpy(first->Chars, Line->Chars + Pos, size_t(rest));
    if (first->Attrs && Line->Attrs)
        MoveAttrs(first->Attrs, 0, Line->Attrs, rest + 1, Pos);
    SetLength(first, rest);
    SetLength(Line, Pos);
    if (TLine* moved = Line->Next) {
        Line->Next = nullptr;
        moved->Prior = first;
        first->Next = moved;
    }
    // Positions follow their characters into the new paragraph.
    positions_.LineSplits(Line, Pos, first);
    positions_.LinesMove(Par, n);
    return true;
}

// ---- paired markers ---------------------------------------------------------------------------------------

namespace {

// One step forward or backward over the characters of a paragraph chain.
bool StepPos(TParagraph*& Par, TLine*& Line, int32_t& Pos, bool Forward)
{
    if (Forward) {
        if (Pos + 1 < Line->Length) {
            ++Pos;
            return true;
        }
        for (;;) {
            if (Line->Next)
                Line = Line->Next;
            else if (Par->Next) {
                Par = Par->Next;
                Line = Par->Lines;
                if (!Line)
                    return false;
            } else
                return false;
            if (Line->Length > 0) {
                Pos = 0;
                return true;
            }
        }
    }
    if (Pos > 0) {
        --Pos;
        return true;
    }
    for (;;) {
        if (Line->Prior)
            Line = Line->Prior;
        else if (Par->Prior) {
            Par = Par->Prior;
            Line = TRtRTFText::GetLastLine(Par);
            if (!Line)
                return false;
        } else
            return false;
        if (Line->Length > 0) {
            Pos = Line->Length - 1;
            return true;
        }
    }
}

bool IsMarker(const TLine* Line, int32_t Pos, uint8_t Code, uint32_t Id)
{
    return Line->Chars[Pos] == Code && Line->Attrs && Line->Attrs[Pos].Style.Has(afsIsObject) &&
           Line->Attrs[Pos].Tag == Id;
}

}  // namespace

bool TRtRTFText::FindPairedMarker(TParagraph*& Par, TLine*& Line, int32_t& Pos)
{
    if (!Par || !Line || !Line->Attrs || Pos < 0 || Pos >= Line->Length)
        return false;
    const uint8_t code = Line->Chars[Pos];
    if ((code != 2 && code != 3) || !Line->Attrs[Pos].Style.Has(afsIsObject))
        return false;
    const uint32_t id = Line->Attrs[Pos].Tag;
    const bool forward = code == 2;
    const uint8_t same = code, partner = forward ? 3 : 2;
    TParagraph* p = Par;
    TLine* l = Line;
    int32_t i = Pos;
    int32_t depth = 0;
    while (StepPos(p, l, i, forward)) {
        if (IsMarker(l, i, same, id))
            ++depth;
        else if (IsMarker(l, i, partner, id)) {
            if (depth == 0) {
                Par = p;
                Line = l;
                Pos = i;
                return true;
            }
            --depth;
        }
    }
    return false;
}

bool TRtRTFText::MarkPairedMarkerDeleted(TParagraph* Par, TLine* Line, int32_t Pos)
{
    TParagraph* p = Par;
    TLine* l = Line;
    int32_t i = Pos;
    if (!FindPairedMarker(p, l, i))
        return false;
    l->Attrs[i].Style.Include(afsDelete);
    MarkChanged(p);
    ObjectsChanged = true;
    if (p != Par)
        PurgeDeletedChars(p);
    return true;
}

int32_t TRtRTFText::FindNextObjectMarker(TParagraph*& Par, TLine*& Line, int32_t& Pos, const std::vector<int32_t>& Ids)
{
    TParagraph* p = Par;
    TLine* l = Line;
    int32_t i = Pos;
    bool ok;
    if (!p) {
        p = FirstPar;
        l = p ? p->Lines : nullptr;
        i = -1;
    }
    ok = p && l;
    while (ok && StepPos(p, l, i, true)) {
        const uint8_t ch = l->Chars[i];
        if ((ch == 1 || ch == 2) && l->Attrs && l->Attrs[i].Style.Has(afsIsObject) &&
            std::find(Ids.begin(), Ids.end(), int32_t(l->Attrs[i].Tag)) != Ids.end()) {
            Par = p;
            Line = l;
            Pos = i;
            return int32_t(l->Attrs[i].Tag);
        }
    }
    return 0;
}

int32_t TRtRTFText::ReleaseLineRefs(TLine* Line, int32_t FromPos, int32_t ToPos)
{
    return objRefs_->ReleaseLineRefs(Line, FromPos, afsIsObject, ToPos);
}

int32_t TRtRTFText::ReleaseParRefs(TParagraph* Par) { return objRefs_->ReleaseParRefs(Par, afsIsObject); }
