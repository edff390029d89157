// Table cells and rows, paragraph property records, flagging by character
// style, the tab clean-up hook and outline levels.
#include "RtRtfTxt.h"

#include "RtHeaderFooter.h"
#include "RtObjBase.h"

#include <algorithm>
#include <vector>

namespace {

bool IsCell(const TParagraph* P)
{
    return P && (P->Flags & parfTableCell);
}

void CopyBorders(TParagraph* Dest, const TParagraph* Src)
{
    Dest->BrdLines = Src->BrdLines;
    Dest->BrdWidth = Src->BrdWidth;
    Dest->BrdColor = Src->BrdColor;
    Dest->BrdSpace = Src->BrdSpace;
}

} // namespace

TRtCell* TRtRTFText::GetParCell(TParagraph* Par)
{
    if (!Par)
        return nullptr;
    if (!Par->Cell)
        Par->Cell = new TRtCell();
    return Par->Cell;
}

void TRtRTFText::ClearCellMarks()
{
    for (TParagraph* p = FirstPar; p; p = p->Next)
        p->Flags &= ~parfMarked;
    MarkedCells = 0;
}

bool TRtRTFText::MarkCellBlock(TParagraph* A, TParagraph* B)
{
    ClearCellMarks();
    if (!IsCell(A) || !IsCell(B))
        return false;
    auto reaches = [](TParagraph* from, TParagraph* to) {
        for (TParagraph* p = from; IsCell(p); p = p->Next)
            if (p == to)
                return true;
        return false;
    };
    TParagraph* start = A;
    TParagraph* end = B;
    if (!reaches(A, B)) {
        if (!reaches(B, A))
            return false;
        std::swap(start, end);
    }
    TRtCell* ca = GetParCell(A);
    TRtCell* cb = GetParCell(B);
    const int32_t left = std::min(ca->Left, cb->Left);
    const int32_t right = std::max(ca->Left + ca->Width, cb->Left + cb->Width);
    while (start->Prior && (start->Flags & parfNotFirstCell))
        start = start->Prior;
    while (end->Next && (end->Flags & parfNotLastCell))
        end = end->Next;
    for (TParagraph* p = start; p; p = p->Next) {
        TRtCell* c = GetParCell(p);
        if (c->Left >= left && c->Left < right && c->Left + c->Width <= right) {
            p->Flags |= parfMarked;
            ++MarkedCells;
        }
        if (p == end)
            break;
    }
    return true;
}

TParagraph* TRtRTFText::SplitCell(TParagraph* P, bool MoveText)
{
    if (!P)
        return nullptr;
    SaveUndo(P, MoveText ? ukParagraph : ukProperties, ulTable);
    if (!IsCell(P)) {
        P->Flags |= parfTableCell;
        P->BrdLines = brdPresent | brdBox;
        TRtCell* c = GetParCell(P);
        c->Width = 255;
        c->Left = 0;
        if (IsCell(P->Prior) && P->Prior->Cell)
            c->TableId = P->Prior->Cell->TableId;
        else if (IsCell(P->Next) && P->Next->Cell)
            c->TableId = P->Next->Cell->TableId;
        else
            c->TableId = AddTable("", "", 0, 0, 0);
    }
    TRtCell* c = GetParCell(P);
    const int32_t w = c->Width;
    const uint8_t left = c->Left;
    const int32_t table = c->TableId;
    c->Width = uint8_t(w / 2);
    if ((c->Combine & 0x0F) > 0)
        --c->Combine;
    TParagraph* n = P;
    InsertPar(n, 40);
    SaveUndo(n, ukInserted, ulTable);
    TRtCell* nc = GetParCell(n);
    nc->Width = uint8_t(w - w / 2);
    nc->Left = uint8_t(left + w / 2);
    nc->TableId = table;
    n->Flags |= parfNotFirstCell | parfTableCell | parfReformat;
    CopyBorders(n, P);
    if (P->Flags & parfNotLastCell)
        n->Flags |= parfNotLastCell;
    else
        P->Flags |= parfNotLastCell;
    P->Flags |= parfReformat;
    if (MoveText) {
        std::swap(P->Lines, n->Lines);
        // Positions go with their lines into the new cell.
        positions_.LinesMove(P, n);
    }
    RenumberFrom(FirstPar);
    return n;
}

void TRtRTFText::FreeParCell(TParagraph* Par)
{
    delete Par->Cell;
    Par->Cell = nullptr;
}

void TRtRTFText::CombineCell(TParagraph* C)
{
    if (!C)
        return;
    // The last cell of a row is combined into the cell before it; the cursor
    // then keeps its place in the lines that move.
    const bool intoPrior = (C->Flags & parfNotFirstCell) && !(C->Flags & parfNotLastCell) && C->Prior;
    if (intoPrior)
        C = C->Prior;
    TParagraph* n = C->Next;
    if ((C->Flags & parfNotLastCell) && IsCell(n)) {
        SaveUndo(C, ukParagraph, ulTable);
        SaveUndo(n, ukDeleted, ulTable);
        TRtCell* c = GetParCell(C);
        c->Width = uint8_t(std::min(255, c->Width + GetParCell(n)->Width));
        TLine* last = GetLastLine(C);
        if (last) {
            last->Next = n->Lines;
            if (n->Lines)
                n->Lines->Prior = last;
        } else {
            C->Lines = n->Lines;
        }
        n->Lines = nullptr;
        C->BrdLines = uint16_t((C->BrdLines & ~brdRight) | (n->BrdLines & brdRight));
        // The cursor and the selection in the next cell go to the combined cell's start (unless the
        // last cell is combined into the one before); every other position keeps its character.
        auto moveToStart = [&](TParagraph*& par, TLine*& line, int32_t& pos) {
            if (par != n || intoPrior)
                return;
            par = C;
            line = C->Lines;
            pos = 0;
        };
        moveToStart(CursorPar, CursorLine, CursorPos);
        moveToStart(SelStartPar, SelStartLine, SelStartPos);
        moveToStart(SelEndPar, SelEndLine, SelEndPos);
        positions_.ParagraphJoins(n, C);
        if (!(n->Flags & parfNotLastCell))
            C->Flags &= ~parfNotLastCell;
        DeletePar(n);
        if ((c->Combine & 0x0F) < 0x0F)
            ++c->Combine;
        C->Flags |= parfReformat;
        RenumberFrom(FirstPar);
        return;
    }
    SaveUndo(C, ukProperties, ulTable);
    C->BrdLines &= uint16_t(~brdPresent);
    if (!(C->Flags & (parfNotFirstCell | parfNotLastCell))) {
        C->Flags &= ~parfTableCell;
        FreeParCell(C);
    }
}

namespace {
// The first marked cell from P on; marked paragraphs outside tables are not cells.
TParagraph* FirstMarked(TParagraph* P)
{
    for (; P; P = P->Next)
        if ((P->Flags & parfMarked) && IsCell(P))
            return P;
    return nullptr;
}
} // namespace

void TRtRTFText::SplitMarkedCells()
{
    // One undo step for all the cells.
    BeginUndoGroup();
    if (TParagraph* p = FirstMarked(FirstPar)) {
        for (; p; p = FirstMarked(p)) {
            p->Flags &= ~parfMarked;
            p = SplitCell(p, false)->Next;
        }
        MarkedCells = 0;
    } else if (CursorPar) {
        TParagraph* n = SplitCell(CursorPar, false);
        CursorPar = n;
        CursorLine = n->Lines;
        CursorPos = 0;
    }
    EndUndoGroup();
    ReformatAll();
    UpdateAfterChange(true);
}

void TRtRTFText::CombineMarkedCells()
{
    BeginUndoGroup();
    if (TParagraph* p = FirstMarked(FirstPar)) {
        for (; p; p = FirstMarked(p->Next)) {
            p->Flags &= ~parfMarked;
            while ((p->Flags & parfNotLastCell) && IsCell(p->Next) && (p->Next->Flags & parfMarked))
                CombineCell(p);
        }
        MarkedCells = 0;
    } else if (CursorPar) {
        CombineCell(CursorPar);
    }
    EndUndoGroup();
    ReformatAll();
    UpdateAfterChange(true);
}

void TRtRTFText::EmptyParLines(TParagraph* P)
{
    ReleaseParRefs(P);
    if (!P->Lines)
        return;
    for (TLine* l = P->Lines->Next; l;) {
        TLine* next = l->Next;
        positions_.LineGoes(l, P->Lines, 0);
        FreeLine(l);
        l = next;
    }
    P->Lines->Next = nullptr;
    P->Lines->Length = 0;
    positions_.LineGoes(P->Lines, P->Lines, 0);
    if (P->Lines->Chars)
        P->Lines->Chars[0] = 0;
    if (CursorLine == P->Lines)
        CursorPos = 0;
    P->Flags |= parfReformat;
}

void TRtRTFText::DeleteMarkedCells()
{
    BeginUndoGroup();
    TParagraph* p = FirstMarked(FirstPar);
    if (!p) {
        if (IsCell(CursorPar)) {
            SaveUndo(CursorPar, ukLines, ulTable);
            EmptyParLines(CursorPar);
            CombineCell(CursorPar);
        }
    }
    while (p) {
        p->Flags &= ~parfMarked;
        SaveUndo(p, ukLines, ulTable);
        EmptyParLines(p);
        CombineCell(p);
        p = FirstMarked(FirstPar);
    }
    MarkedCells = 0;
    EndUndoGroup();
    ReformatAll();
    UpdateAfterChange(true);
}

void TRtRTFText::ApplyParPropsToPar(TParagraph* P, const TParProps& R)
{
    if (!P)
        return;
    auto has = [&R](int bit) { return (R.Mask & (1u << bit)) != 0; };
    if (has(1))
        P->IndentFirst = R.IndentFirst;
    if (has(2))
        P->IndentLeft = R.IndentLeft;
    if (has(3))
        P->IndentRight = R.IndentRight;
    if (has(4))
        P->SpaceBefore = R.SpaceBefore;
    if (has(5))
        P->SpaceAfter = R.SpaceAfter;
    if (has(6))
        P->SpaceBetween = R.SpaceBetween;
    P->Flags = has(7) ? P->Flags | parfMultSpaceBetween : P->Flags & ~parfMultSpaceBetween;
    if (has(8)) {
        P->BrdLines = R.BrdLines;
        P->BrdWidth = R.BrdWidth;
        P->BrdColor = R.BrdColor;
        P->BrdSpace = R.BrdSpace;
    }
    if (has(9))
        P->Tabs = R.Tabs;
    P->Flags = has(10) ? P->Flags | parfNewPage : P->Flags & ~parfNewPage;
    if (has(11))
        P->Color = R.Color;
    if (has(12))
        P->Shading = R.Shading;
    if (has(13))
        P->Align = R.Align;
    if (has(15)) {
        P->Tabs = 0;
        for (const TParProps::TTabStop& t : R.TabStops)
            if (t.Pos > 0) {
                const int32_t i = Header()->AddTab(t.Pos, t.Kind);
                if (i >= 0 && i < 64)
                    P->Tabs |= uint64_t(1) << i;
            }
    }
    if (has(16))
        P->Flags = R.Protected ? P->Flags | parfProtected : P->Flags & ~parfProtected;
    if (has(17))
        P->StyleFields[1] = R.StyleField2;
    if (has(18)) {
        P->Flags &= ~(parfCellVCenter | parfCellVBottom);
        if (R.VCenter)
            P->Flags |= parfCellVCenter;
        if (R.VBottom)
            P->Flags |= parfCellVBottom;
    }
}

void TRtRTFText::CopyParPropsWhole(TParagraph* P, const TParProps& R)
{
    P->IndentFirst = R.IndentFirst;
    P->IndentLeft = R.IndentLeft;
    P->IndentRight = R.IndentRight;
    P->SpaceBefore = R.SpaceBefore;
    P->SpaceAfter = R.SpaceAfter;
    P->SpaceBetween = R.SpaceBetween;
    P->Align = R.Align;
    P->BrdLines = R.BrdLines;
    P->BrdWidth = R.BrdWidth;
    P->BrdColor = R.BrdColor;
    P->BrdSpace = R.BrdSpace;
    P->Tabs = R.Tabs;
    P->Color = R.Color;
    P->Shading = R.Shading;
    P->StyleFields[1] = R.StyleField2;
    P->Flags &= ~(parfProtected | parfCellVCenter | parfCellVBottom);
    if (R.Protected)
        P->Flags |= parfProtected;
    if (R.VCenter)
        P->Flags |= parfCellVCenter;
    if (R.VBottom)
        P->Flags |= parfCellVBottom;
}

void TRtRTFText::ApplyParProps(TParagraph*& Par, int32_t Count, const TRtCellDescriptor* Cells)
{
    if (Count < 1 || !Cells)
        return;
    int32_t left = 0;
    for (int32_t i = 0; i < Count; ++i) {
        const TRtCellDescriptor& d = Cells[i];
        TParagraph* p = Par;
        const bool reuse = i == 0 && p && !IsCell(p) && p->Lines && !p->Lines->Next && p->Lines->Length == 0;
        if (reuse) {
            SaveUndo(p, ukParagraph, ulInput);
        } else {
            InsertPar(p, 40);
            SaveUndo(p, ukInserted, ulInput);
        }
        Par = p;
        p->Flags &= ~(parfNotFirstCell | parfNotLastCell);
        p->Flags |= parfTableCell | parfReformat;
        if (i < Count - 1)
            p->Flags |= parfNotLastCell;
        if (i > 0)
            p->Flags |= parfNotFirstCell;
        TRtCell* c = GetParCell(p);
        int32_t width = d.Width > 0 ? d.Width : 255 / Count + (i < 255 % Count ? 1 : 0);
        if (i == Count - 1 && left + width < 255 && !FixedCellWidths)
            width = 255 - left;
        c->Left = uint8_t(std::min(left, 255));
        c->Width = uint8_t(std::clamp(width, 0, 255 - c->Left));
        left += width;
        c->TableId = TableList()->CurrentId;
        c->Value = d.Value;
        c->Name = d.Str1;
        c->Command = d.Str2;
        if (d.Props.Mask & 1)
            ApplyParPropsToPar(p, d.Props);
        else
            CopyParPropsWhole(p, d.Props);

        TLine* line = p->Lines;
        if (d.Object) {
            TTextObj* ref = ObjRefList()->AddObject(d.Object);
            ref->Width = d.Object->GetNaturalWidth();
            ref->Height = d.Object->GetNaturalHeight();
            TAttr a = d.Attr ? *d.Attr : CurrentAttr;
            a.Style.Include(afsIsObject);
            a.Tag = uint32_t(ObjRefList()->CurrentId);
            const uint8_t code = 1;
            ReplaceChars(p, line, &a, 1, &code, line->Length, 0);
        } else {
            // The text keeps its length: the line grows to hold it.
            const int32_t n = std::min<int32_t>(int32_t(d.Text.size()), RtMaxLineCapacity - 8);
            const uint8_t blank = ' ';
            const uint8_t* chars = n > 0 ? reinterpret_cast<const uint8_t*>(d.Text.data()) : &blank;
            const int32_t count = n > 0 ? n : 1;
            TAttr a = d.Attr ? *d.Attr : CurrentAttr;
            ReplaceChars(p, line, &a, count, chars, line->Length, 0);
            if (d.Attrs && n > 0 && line->Attrs)
                for (int32_t k = 0; k < n; ++k)
                    line->Attrs[k] = d.Attrs[k];
        }
    }
}

int32_t TRtRTFText::AddTable(const AnsiString& Name, const AnsiString& Text, int32_t Value3, int32_t Right,
                             int32_t Left)
{
    return TableList()->AddTable(Name, Text, Value3, Right, Left);
}

void TRtRTFText::SetTable(int32_t Id, const AnsiString& Name, int32_t Left, int32_t Right, int32_t Value3,
                          const AnsiString& Text)
{
    if (TRtTableItem* t = TableList()->GetTable(Id)) {
        t->Name = Name;
        t->Text = Text;
        t->Left = Left;
        t->Right = Right;
        t->Value3 = Value3;
    }
}

bool TRtRTFText::MarkParsWithStyles(WrtStyle Mask)
{
    if (MemoryFormat() == fmPlainText || Busy)
        return false;
    const WrtStyle relevant =
        Mask & WrtStyle{afsIsInsertpoint, afsAutomatic, afsHyperLink, afsHidden, afsIsObject};
    if (relevant.Empty())
        return false;
    bool any = false;
    for (TParagraph* p = FirstPar; p; p = p->Next) {
        bool hit = false;
        for (TLine* l = p->Lines; l && !hit; l = l->Next) {
            if (!l->Attrs)
                continue;
            for (int32_t i = 0; i < l->Length && !hit; ++i) {
                const TAttr& a = l->Attrs[i];
                const WrtStyle match = a.Style & relevant;
                if (match.Empty())
                    continue;
                if (match == WrtStyle{afsIsObject} && ObjectIdFilter != 0 && a.Tag != uint32_t(ObjectIdFilter))
                    continue;
                hit = true;
            }
        }
        if (hit) {
            p->Flags |= parfReformat;
            any = true;
        }
    }
    return any;
}

bool TRtRTFText::HasSingleKind3Tab(const TParagraph* P, const TLine* Line) const
{
    if (!P || (Line && Line->Prior))
        return false;
    int32_t found = 0;
    bool kind3 = false;
    for (int32_t i = 0; i < 64; ++i) {
        if (!(P->Tabs & (uint64_t(1) << i)) || Header()->Tabs[size_t(i)].Pos == 0)
            continue;
        ++found;
        kind3 = Header()->Tabs[size_t(i)].Kind == 3;
    }
    return found == 1 && kind3;
}

void TRtRTFText::PurgeUnusedTabs() { PurgeUnusedTabsKeeping(0); }

void TRtRTFText::PurgeUnusedTabsKeeping(uint64_t Keep)
{
    if (ReadingTabs && TabsAllUsed)
        return;
    TTextHeader& h = *Header();
    uint64_t defined = 0;
    for (int32_t i = 0; i < 64; ++i)
        if (h.Tabs[size_t(i)].Pos != 0)
            defined |= uint64_t(1) << i;
    // Every chain of the text uses the table: the edited one, the body while a
    // header or footer is edited, and the header and footer texts.
    std::vector<TParagraph*> chains{FirstPar};
    if (Layer != 0)
        chains.push_back(BodyFirstPar);
    if (EditedSpecialText)
        chains.push_back(EditedSpecialText->SavedFirstPar());
    for (int32_t i = 0; i < HeaderFooterCount(); ++i)
        chains.push_back(GetHeaderFooter(i)->Paragraphs());
    uint64_t used = Keep & defined;
    auto allUsed = [&] {
        if (used != defined)
            return false;
        TabsAllUsed = ReadingTabs;
        if (OnHeaderChange)
            OnHeaderChange(this);
        return true;
    };
    if (allUsed())
        return;
    for (TParagraph* first : chains)
        for (TParagraph* p = first; p; p = p->Next) {
            used |= p->Tabs & defined;
            if (allUsed())
                return;
        }
    for (int32_t i = 0; i < 64; ++i)
        if ((defined & ~used) & (uint64_t(1) << i)) {
            h.Tabs[size_t(i)].Pos = 0;
            h.Tabs[size_t(i)].PixPos = 0;
            h.Tabs[size_t(i)].Kind = 0;
        }
}

void TRtRTFText::ChangeOutlineLevel(int32_t Delta)
{
    TParagraph* from = CursorPar;
    TParagraph* to = CursorPar;
    if (SelStartPar && SelEndPar) {
        from = SelStartPar;
        to = SelEndPar;
        if (from != to && CountParsTo(FirstPar, from) > CountParsTo(FirstPar, to))
            std::swap(from, to);
    }
    for (TParagraph* p = from; p; p = p->Next) {
        const int32_t depth = std::clamp(int32_t(p->OutlineLevel) - Delta, 0, 255);
        p->OutlineLevel = uint8_t(depth);
        p->Flags |= parfReformat;
        if (p == to)
            break;
    }
    UpdateOutlineVisibility();
    ReformatAll();
    ShowCursor();
    Refresh();
}

void TRtRTFText::UpdateOutlineVisibility()
{
    // Depth 0 is the top level; deeper paragraphs have smaller (negative) depths.
    int32_t threshold = 0;
    for (TParagraph* p = FirstPar; p; p = p->Next) {
        const int32_t depth = -int32_t(p->OutlineLevel);
        if (threshold >= 0 || depth > threshold) {
            p->Flags &= ~parfSkip2;
            threshold = (p->Flags & parfCollapsed) ? depth - 1 : 0;
        } else {
            p->Flags |= parfSkip2;
        }
    }
}
