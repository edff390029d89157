#include "RtCaret.h"
#include "RtList.h"
#include "RtObject.h"
#include "RtRtfTxtIo.h"

#include <QGuiApplication>
#include <QStyleHints>
#include <QTimer>
#include <algorithm>
#include <vector>

namespace {

bool IsCell(const TParagraph* P) { return P && (P->Flags & parfTableCell); }

TParagraph* RowStart(TParagraph* P)
{
    while (P && (P->Flags & parfNotFirstCell) && P->Prior)
        P = P->Prior;
    return P;
}

TParagraph* RowEnd(TParagraph* P)
{
    while (P && (P->Flags & parfNotLastCell) && P->Next)
        P = P->Next;
    return P;
}

} // namespace

// ---- TCaret ---------------------------------------------------------------------------------------

TCaret::TCaret(TRtCustomRtfEditClass* Owner, TRtRTFTextIo* Text) : Owner(Owner), Text(Text) {}

TCaret::~TCaret() = default;

void TCaret::SetActive(bool Value) { Active = Value; }

void TCaret::SetDisabled(bool Value)
{
    Disabled = Value;
    if (Value) {
        timer_.reset();
        Created = false;
        Shown = false;
    }
}

void TCaret::Blink()
{
    blinkOn_ = !blinkOn_;
    if (Owner)
        Owner->Invalidate();
}

void TCaret::SetVisible(bool Show)
{
    if (!Active || !Owner || !Owner->HasWindow())
        return;
    if (!Show) {
        Created = false;
        timer_.reset();
        Shown = false;
        Owner->Invalidate();
        return;
    }
    if (Disabled || !Owner->Focused())
        return;
    Created = true;
    Shown = true;
    blinkOn_ = true;
    const int flash = qGuiApp ? QGuiApplication::styleHints()->cursorFlashTime() : 1000;
    if (flash > 0) {
        if (!timer_) {
            timer_ = std::make_unique<QTimer>();
            QObject::connect(timer_.get(), &QTimer::timeout, [this] { Blink(); });
        }
        timer_->start(flash / 2);
    }
    Owner->Invalidate();
}

void TCaret::UpdatePosition()
{
    if (!Text)
        return;
    const int32_t x = Text->CaretX + Text->LeftX + Text->TextLeftOffset;
    const int32_t y = Text->CaretY - Text->TopY + Text->TextTopOffset;
    int32_t h = Text->CaretHeight;
    const int32_t w = std::max(Text->CaretWidth, 1);
    bool hidden = false;
    if (Shown && h != Height) {
        h = std::max(h, 4);
        SetVisible(false);
        hidden = true;
    }
    if (Shown && w != Width) {
        SetVisible(false);
        hidden = true;
    }
    X = x;
    Y = y;
    Height = h;
    Width = w;
    if (Created && Active && Owner && Owner->Focused()) {
        blinkOn_ = true;
        Owner->Invalidate();
    }
    if (hidden)
        SetVisible(true);
}

// ---- absolute positions ----------------------------------------------------------------------------

void TRtRTFTextIo::GetPositionCounts(int32_t& AbsPos, int32_t& LineCount, int32_t Column, TLine* Line,
                                     TParagraph* Par, int32_t& PosInPar, int32_t& ParNr)
{
    AbsPos = LineCount = PosInPar = ParNr = 0;
    TParagraph* p = FirstPar;
    for (; p && p != Par; p = p->Next) {
        for (TLine* l = p->Lines; l; l = l->Next) {
            AbsPos += l->Length;
            ++LineCount;
        }
        ++AbsPos;
        ++ParNr;
    }
    if (!p)
        return;
    bool found = false;
    for (TLine* l = p->Lines; l; l = l->Next) {
        if (l == Line) {
            found = true;
            break;
        }
        AbsPos += l->Length;
        PosInPar += l->Length;
        ++LineCount;
    }
    AbsPos += Column;
    if (found)
        PosInPar += Column;
}

void TRtRTFTextIo::GetCursorPositionCounts(int32_t& AbsPos, int32_t& LineCount, int32_t& PosInPar, int32_t& ParNr)
{
    GetPositionCounts(AbsPos, LineCount, CursorPos, CursorLine, CursorPar, PosInPar, ParNr);
}

bool TRtRTFTextIo::FindAbsPos(int32_t AbsPos, int32_t LineNr, int32_t& Column, TLine*& Line, TParagraph*& Par,
                              int32_t Column0, int32_t ParNr)
{
    Column = 0;
    Line = nullptr;
    Par = nullptr;
    if (AbsPos > 0) {
        int32_t before = 0;
        TParagraph* lastPar = nullptr;
        TLine* lastLine = nullptr;
        for (TParagraph* p = FirstPar; p; p = p->Next) {
            if (p != FirstPar)
                ++before;
            for (TLine* l = p->Lines; l; l = l->Next) {
                lastPar = p;
                lastLine = l;
                if (before + l->Length >= AbsPos) {
                    Par = p;
                    Line = l;
                    Column = std::max(AbsPos - before, 0);
                    return true;
                }
                before += l->Length;
            }
        }
        Par = lastPar;
        Line = lastLine;
        Column = lastLine ? lastLine->Length : 0;
        return false;
    }
    if (ParNr >= 0) {
        Par = GetParByIndex(ParNr);
        if (!Par)
            return false;
        int32_t col = std::max(Column0, 0);
        for (TLine* l = Par->Lines; l; l = l->Next) {
            Line = l;
            if (col <= l->Length || !l->Next)
                break;
            col -= l->Length;
        }
        Column = Line ? std::clamp(col, 0, int32_t(Line->Length)) : 0;
        return Line != nullptr;
    }
    int32_t n = 0;
    for (TParagraph* p = FirstPar; p; p = p->Next)
        for (TLine* l = p->Lines; l; l = l->Next, ++n)
            if (n == LineNr) {
                Par = p;
                Line = l;
                return true;
            }
    return false;
}

void TRtRTFTextIo::SetCursorAbsPos(int32_t AbsPos, int32_t LineNr, int32_t Column0, int32_t ParNr)
{
    int32_t column = 0;
    TLine* line = nullptr;
    TParagraph* par = nullptr;
    FindAbsPos(AbsPos, LineNr, column, line, par, Column0, ParNr);
    if (!par || !line)
        return;
    CursorPar = par;
    CursorLine = line;
    CursorPos = column;
}

// ---- table navigation ---------------------------------------------------------------------------------

TParagraph* TRtRTFTextIo::GetPrevRow(TParagraph* Cell)
{
    if (!IsCell(Cell))
        return nullptr;
    TParagraph* start = RowStart(Cell);
    TParagraph* prev = start->Prior;
    return IsCell(prev) ? RowStart(prev) : nullptr;
}

TParagraph* TRtRTFTextIo::GetNextRow(TParagraph* Cell)
{
    if (!IsCell(Cell))
        return nullptr;
    TParagraph* next = RowEnd(Cell)->Next;
    return IsCell(next) ? next : nullptr;
}

TParagraph* TRtRTFTextIo::GetCellInRow(TParagraph* Cell, int32_t Index)
{
    if (!IsCell(Cell) || Index < 0)
        return nullptr;
    TParagraph* p = RowStart(Cell);
    for (int32_t i = 0; i < Index; ++i) {
        if (!(p->Flags & parfNotLastCell) || !IsCell(p->Next))
            return nullptr;
        p = p->Next;
    }
    return p;
}

int32_t TRtRTFTextIo::GetCellIndex(TParagraph* Cell)
{
    if (!IsCell(Cell))
        return -1;
    int32_t n = 0;
    for (TParagraph* p = Cell->Prior; p && (p->Flags & parfNotLastCell); p = p->Prior)
        ++n;
    return n;
}

TParagraph* TRtRTFTextIo::GetTableRow(TParagraph* Cell, int32_t Index)
{
    if (!IsCell(Cell) || Index < 0)
        return nullptr;
    TParagraph* row = RowStart(Cell);
    while (TParagraph* prev = GetPrevRow(row))
        row = prev;
    for (int32_t i = 0; row && i < Index; ++i)
        row = GetNextRow(row);
    return row;
}

bool TRtRTFTextIo::MoveToCellVert(bool Up)
{
    TParagraph* target = nullptr;
    if (IsCell(CursorPar)) {
        const int32_t left = CursorPar->Cell ? CursorPar->Cell->Left : 0;
        TParagraph* beyond = Up ? RowStart(CursorPar)->Prior : RowEnd(CursorPar)->Next;
        if (!beyond)
            return false;
        if (!IsCell(beyond)) {
            target = beyond;
        } else {
            for (TParagraph* c = RowStart(beyond); c; c = (c->Flags & parfNotLastCell) ? c->Next : nullptr) {
                const int32_t l = c->Cell ? c->Cell->Left : 0;
                const int32_t w = c->Cell ? c->Cell->Width : 255;
                if (left >= l && left < l + std::max(w, 1)) {
                    target = c;
                    break;
                }
            }
        }
    } else if (Up && CursorPar && IsCell(CursorPar->Prior)) {
        target = RowStart(CursorPar->Prior);
    }
    if (!target || !target->Lines)
        return false;
    TLine* line = target->Lines;
    if (Up)
        line = GetLastLine(target);
    CursorPar = target;
    CursorLine = line;
    CursorPos = std::clamp(CursorPos, 0, int32_t(line->Length));
    return true;
}

int32_t TRtRTFTextIo::InsertRowCopy(TParagraph* Cell)
{
    if (!IsCell(Cell))
        return 0;
    TParagraph* first = RowStart(Cell);
    TParagraph* last = RowEnd(Cell);
    std::vector<TRtCellDescriptor> cells;
    for (TParagraph* c = first;; c = c->Next) {
        if (cells.size() >= 101)
            return 0;
        TRtCellDescriptor d;
        TParProps& pp = d.Props;
        pp.Mask = 490255;
        pp.IndentFirst = c->IndentFirst;
        pp.IndentLeft = c->IndentLeft;
        pp.IndentRight = c->IndentRight;
        pp.BrdLines = c->BrdLines;
        pp.BrdWidth = c->BrdWidth;
        pp.BrdColor = c->BrdColor;
        pp.BrdSpace = c->BrdSpace;
        pp.Tabs = c->Tabs;
        pp.Color = c->Color;
        pp.Shading = c->Shading;
        pp.Align = c->Align;
        pp.Protected = c->Flags & parfProtected;
        pp.StyleField2 = c->StyleFields[1];
        pp.VCenter = c->Flags & parfCellVCenter;
        pp.VBottom = c->Flags & parfCellVBottom;
        if (c->Cell) {
            d.Width = c->Cell->Width;
            d.Value = c->Cell->Value;
            d.Str1 = c->Cell->Name;
            d.Str2 = c->Cell->Command;
        }
        d.Attr = &c->ParAttr;
        cells.push_back(d);
        if (c == last)
            break;
    }
    const bool cursorInRow = [&] {
        for (TParagraph* c = first; c; c = c->Next) {
            if (c == CursorPar)
                return true;
            if (c == last)
                break;
        }
        return false;
    }();
    if (first->Cell)
        TableList()->SetCurrentId(first->Cell->TableId);
    BeginUndoGroup();
    TParagraph* at = last;
    const bool oldFixed = FixedCellWidths;
    FixedCellWidths = true;
    ApplyParProps(at, int32_t(cells.size()), cells.data());
    FixedCellWidths = oldFixed;
    EndUndoGroup();
    if (cursorInRow && last->Next) {
        CursorPar = last->Next;
        CursorLine = CursorPar->Lines;
        CursorPos = 0;
    }
    UpdateAfterChange(true);
    Refresh();
    return int32_t(cells.size());
}

// ---- selection and marks --------------------------------------------------------------------------

bool TRtRTFTextIo::HasSelection() const { return (SelStartPar && SelEndPar) || SelectedObject; }

bool TRtRTFTextIo::UnmarkParagraphs()
{
    bool any = false;
    for (TParagraph* p = FirstPar; p; p = p->Next)
        if (p->Flags & parfMarked) {
            p->Flags &= ~parfMarked;
            any = true;
        }
    if (any)
        Redraw();
    MarkedParCount = 0;
    Refresh();
    return any;
}

void TRtRTFTextIo::ClearMarkedParagraphs()
{
    const WrtStyle cleared{afsHyperLink, afsProtected, afsIsInsertpoint, afsAutomatic, afsHidden, afsBookmark};
    const bool keepProtected = ProtectOptions.Has(ppParProtected) && !ProtectionOff;
    BeginUndoGroup();
    for (TParagraph* p = FirstPar; p; p = p->Next) {
        if (!(p->Flags & parfMarked) || (keepProtected && (p->Flags & parfProtected)))
            continue;
        SaveUndo(p, ukLines, ulDeletion);
        EmptyParLines(p);
        TLine* first = p->Lines;
        p->ParAttr.Style = p->ParAttr.Style - cleared;
        if (first->Attrs)
            first->Attrs[0].Style = first->Attrs[0].Style - cleared;
        if (p == CursorPar) {
            CursorLine = first;
            CursorPos = 0;
            CurrentAttr.Style = CurrentAttr.Style - cleared;
        }
    }
    EndUndoGroup();
    MarkedParCount = 0;
    MarkedCells = 0;
}

void TRtRTFTextIo::SetMarkedCellBorders(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t Inner)
{
    auto apply = [](uint16_t& Lines, uint16_t Bit, int32_t Mode) {
        if (Mode == 1)
            Lines |= Bit;
        else if (Mode == 2)
            Lines &= uint16_t(~Bit);
    };
    // Rows with marked cells, in text order.
    std::vector<std::vector<TParagraph*>> rows;
    for (TParagraph* p = FirstPar; p; p = p->Next) {
        if (!IsCell(p) || !(p->Flags & parfMarked))
            continue;
        if (rows.empty() || RowStart(rows.back().front()) != RowStart(p))
            rows.emplace_back();
        rows.back().push_back(p);
    }
    BeginUndoGroup();
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t i = 0; i < rows[r].size(); ++i) {
            TParagraph* p = rows[r][i];
            SaveUndo(p, ukBorders, ulBorders);
            uint16_t lines = p->BrdLines;
            if (lines & brdBox)
                lines = uint16_t((lines & ~brdBox) | brdTop | brdBottom | brdLeft | brdRight);
            apply(lines, brdLeft, i == 0 ? Left : Inner);
            apply(lines, brdRight, i + 1 == rows[r].size() ? Right : Inner);
            apply(lines, brdTop, r == 0 ? Top : Inner);
            apply(lines, brdBottom, r + 1 == rows.size() ? Bottom : Inner);
            lines |= brdPresent;
            if (lines == 1 || lines == 3)
                lines = 0;
            p->BrdLines = lines;
            p->Flags |= parfReformat;
        }
    EndUndoGroup();
}

void TRtRTFTextIo::MarkObjectChars(TTextObj* Ref, bool First, bool Second)
{
    const int32_t id = ObjRefList()->IndexOfObject(Ref);
    if (id < 1)
        return;
    for (TParagraph* p = FirstPar; p; p = p->Next)
        for (TLine* l = p->Lines; l; l = l->Next)
            for (int32_t i = 0; l->Attrs && i < l->Length; ++i)
                if (l->Attrs[i].Style.Has(afsIsObject) && int32_t(l->Attrs[i].Tag) == id) {
                    SetObjectMark(l, i, First);
                    SetObjectMark(l, i + 1, Second);
                }
}

void TRtRTFTextIo::SelectObject(TRtObjectBase* Obj)
{
    if (SelectedObject) {
        TRtObjectBase* old = SelectedObject;
        if (SelectedObj)
            MarkObjectChars(SelectedObj, false, false);
        SelectedObject = nullptr;
        SelectedObj = nullptr;
        SelectedObjId = 0;
        if (OnObjectSelect)
            OnObjectSelect(this, old, false);
    }
    if (!Obj)
        return;
    TTextObj* ref = ObjRefList()->FindObject(Obj);
    if (!ref) {
        // A field without a reference of its own: mark the characters of its owner reference, if any.
        if (dynamic_cast<TRtObjectField*>(Obj) && Obj->SelectedRef)
            MarkObjectChars(Obj->SelectedRef, true, true);
        return;
    }
    SelectedObject = Obj;
    SelectedObj = ref;
    SelectedObjId = ObjRefList()->IndexOfObject(ref);
    MarkObjectChars(ref, true, true);
    if (OnObjectSelect)
        OnObjectSelect(this, Obj, true);
}

// ---- attribute changes -------------------------------------------------------------------------------

void TRtRTFTextIo::ModifyAttr(TLine* Line, TAttr& Attr, uint32_t Mode, const TAttr& Source, int32_t Ch)
{
    WrtStyle& st = Attr.Style;
    if (Mode & 1) {
        // A character keeps its charset: it takes the font's entry of that charset, so that its
        // bytes stay the same letters. Symbol fonts are taken and left as they are.
        const int32_t was = Header()->FontCharset(Attr.Font), now = Header()->FontCharset(Source.Font);
        Attr.Font = Source.Font;
        if (Line && was != now && was != SYMBOL_CHARSET && now != SYMBOL_CHARSET)
            if (const int32_t font = Header()->GetFontIndexForCharset(Source.Font, was); font >= 0)
                Attr.Font = uint16_t(font);
        st.Include(afsParStyleFont);
    }
    if (Mode & 2) {
        Attr.Size = Source.Size;
        st.Include(afsParStyleSize);
    } else if (Mode & 4) {
        Attr.Size = uint16_t(std::min(Attr.Size + Source.Size, 65535));
        st.Include(afsParStyleSize);
    } else if (Mode & 8) {
        Attr.Size = Source.Size >= Attr.Size ? 1 : uint16_t(Attr.Size - Source.Size);
        st.Include(afsParStyleSize);
    }
    if (Mode & 16) {
        if (Use256Colors) {
            Attr.TextColor = Source.TextColor;
            st.Include(afsParStyleColor);
        } else {
            Attr.TextColor = uint8_t((Attr.TextColor & 0xF0) | (Source.TextColor & 0x0F));
        }
    }
    if (Mode & 32) {
        if (Use256Colors) {
            Attr.BGColor = Source.BGColor;
            st.Include(afsParStyleBGColor);
        } else {
            Attr.TextColor = uint8_t((Attr.TextColor & 0x0F) | (Source.TextColor & 0xF0));
        }
    }
    if (Mode & (64 | 1024)) {
        if (Mode & 64)
            st = st | Source.Style;
        else
            st = st - Source.Style;
        if (Source.Style.Has(afsBold))
            st.Include(afsParStyleBold);
        if (Source.Style.Has(afsItalic))
            st.Include(afsParStyleItalic);
        if (Source.Style.Has(afsUnderline))
            st.Include(afsParStyleUnderline);
    }
    const WrtStyle group = WrtStyle::FromBits(0x9E1F);
    if (Mode & 128)
        st = (st - group) | (Source.Style & group);
    if (Mode & 256) {
        const WrtStyle keep = st & WrtStyle{afsHidden, afsIsRTFCode};
        st = (st - group) | (Source.Style & group) | keep;
    }
    if (Mode & 512)
        st = (st - WrtStyle{afsBold, afsItalic, afsUnderline, afsStrikeOut}) | Source.Style;
    if (st.Has(afsSuper) || st.Has(afsIsFootnote))
        st.Exclude(afsSub);
    if (st.Has(afsSub))
        st.Exclude(afsSuper);
    const bool object = st.Has(afsIsObject);
    if (HotInsertMode) {
        Attr.Tag = HotAttr.Tag;
        Attr.Width = HotAttr.Width;
        Attr.Height = HotAttr.Height;
        Attr.Base = HotAttr.Base;
    } else {
        if (Ch >= 0 && !object) {
            MeasureAttr(Attr, Ch);
            if (st.Has(afsHidden) && !ViewOptions.Has(rtShowInvisibleText))
                Attr.Width = 0;
            if (Line) {
                Line->Height = std::max(Line->Height, Attr.Height);
                Line->Base = std::max(Line->Base, Attr.Base);
            }
        }
        if (Source.Tag && !object && !st.Has(afsIsFootnote) && !st.Has(afsHyperLink) && !st.Has(afsProtected))
            Attr.Tag = Source.Tag;
    }
}
