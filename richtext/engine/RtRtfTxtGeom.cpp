// Position geometry: the line under a point, the x of a character and the
// character under an x, the free space and text width of a line, the height
// back to a page start, and the table operations on columns and rows.
#include "RtRtfTxtPaint.h"

#include "RtList.h"
#include "SysUtils.h"

#include <algorithm>
#include <cmath>

namespace {

// Walks the characters of a line with their painted advances: justification
// spreads the widened blanks, lines without attributes use the width table.
class TLineWalker {
public:
    TLineWalker(TRtRTFTextPaint& Engine, TParagraph* Par, TLine* Line, const TRtWidthTable* Table)
        : engine_(Engine), par_(Par), line_(Line), table_(Table),
          justified_(Line->JustifyExtra > 0 || Line->JustifyRest > 0),
          tabsAdvance_(Par->Align == paralLeft || Par->Align == paralBlock)
    {
    }
    // The advance of character I at x (relative to the paragraph's left x when a tab is asked).
    int32_t Advance(int32_t I, int32_t X, int32_t FromLeft)
    {
        const uint8_t c = line_->Chars[I];
        if (line_->Attrs) {
            const int32_t w = line_->Attrs[I].Width;
            if (w == 0)
                return 0;
            if (c == 32 && justified_ && I >= line_->JustifyFrom) {
                const int32_t extra = blankIndex_ < line_->JustifyRest ? 1 : 0;
                ++blankIndex_;
                return line_->JustifyExtra + extra;
            }
            return w;
        }
        if (c == 9 && tabsAdvance_) {
            const int32_t from = FromLeft + X;
            return std::max(0, engine_.GetTabWidth(par_, line_, I, from) - from);
        }
        return table_ ? table_->Widths[c == 9 ? 32 : c] : 0;
    }

private:
    TRtRTFTextPaint& engine_;
    TParagraph* par_;
    TLine* line_;
    const TRtWidthTable* table_;
    bool justified_;
    bool tabsAdvance_;
    int32_t blankIndex_ = 0;
};

TLine* PrevLine(TParagraph*& Par, TLine* Line)
{
    if (Line->Prior)
        return Line->Prior;
    Par = Par ? Par->Prior : nullptr;
    return Par ? TRtRTFText::GetLastLine(Par) : nullptr;
}

}  // namespace

bool TRtRTFTextPaint::FindLineAtPosition(TParagraph*& Par, TLine*& Line, int32_t X, int32_t Y)
{
    Par = FirstPar;
    Line = Par ? Par->Lines : nullptr;
    if (!Line)
        return false;
    if (Line->Top > Y)
        return true;
    TParagraph* found = nullptr;
    TParagraph* last = Par;
    for (TParagraph* p = FirstPar; p; p = p->Next) {
        last = p;
        if (!p->Lines || (p->Flags & parfNotFirstCell))
            continue;
        const int32_t top = p->Lines->Top - p->Lines->SpaceAbove;
        int32_t height = 0;
        for (TLine* l = p->Lines; l; l = l->Next)
            height += l->Height + l->SpaceAbove + l->SpaceBelow;
        if (Y >= top && Y < top + height) {
            found = p;
            break;
        }
    }
    if (!found) {
        Par = last;
        Line = GetLastLine(last);
        return false;
    }
    Par = found;
    if (X > 0 && (Par->Flags & parfNotLastCell)) {
        TParagraph* c = Par;
        for (;;) {
            int32_t l = 0, w = 0;
            GetCellPosition(c, l, w);
            l += GetLineObjectIndent(c, c->Lines);
            if (l <= X && X < l + w)
                break;
            if (!(c->Flags & parfNotLastCell) || !c->Next)
                break;
            c = c->Next;
        }
        Par = c;
    }
    const bool continued = (Par->Flags & parfNotFirstCell) != 0;
    Line = GetLastLine(Par);
    for (TLine* l = Par->Lines; l; l = l->Next) {
        const int32_t top = continued ? l->Top : l->Top - l->SpaceAbove;
        const int32_t bottom = continued ? l->Top + l->Height : l->Top + l->Height + l->SpaceBelow;
        if (Y >= top && Y < bottom) {
            Line = l;
            break;
        }
    }
    return true;
}

int32_t TRtRTFTextPaint::LineStartX(TParagraph* Par, TLine* Line)
{
    int32_t x = GetNumberWidth(Par, Line) + GetIndentLeftPix(Par, Line) + GetParLeftPix(Par, false) +
                GetLineObjectIndent(Par, Line);
    if (Par->BrdLines & brdPresent)
        x += ScreenToDoc((Par->Flags & parfTableCell) ? 2 : 1);
    switch (Par->Align) {
    case paralRight: {
        const int32_t free = GetLineFreeSpace(Par, Line);
        if (free > 0)
            x += free;
        break;
    }
    case paralCenter: {
        const int32_t free = GetLineFreeSpace(Par, Line);
        if (free > 1)
            x += free / 2;
        break;
    }
    default:
        x = std::max(x, OnePixel);
        break;
    }
    return x;
}

int32_t TRtRTFTextPaint::GetCharX(TParagraph* Par, TLine* Line, int32_t Pos)
{
    if (!Par || !Line || (Par->ExtFlags & (parxNotMeasured | parxNotFormatted)))
        return 0;
    const int32_t start = LineStartX(Par, Line);
    if (Pos < 1)
        return start;
    Pos = std::min<int32_t>(Pos, Line->Length);
    if (!Line->Attrs)
        UpdateCharWidths(&CurrentAttr);
    TLineWalker walk(*this, Par, Line, currentTable_);
    const int32_t fromLeft = start - GetParLeftPix(Par, false);
    int32_t x = 0;
    for (int32_t i = 0; i < Pos; ++i)
        x += walk.Advance(i, x, fromLeft);
    return start + x;
}

int32_t TRtRTFTextPaint::GetCharIndexAtX(TParagraph* Par, TLine* Line, int32_t X)
{
    if (!Par || !Line)
        return 0;
    const int32_t start = LineStartX(Par, Line);
    if (!Line->Attrs)
        UpdateCharWidths(&CurrentAttr);
    TLineWalker walk(*this, Par, Line, currentTable_);
    const int32_t fromLeft = start - GetParLeftPix(Par, false);
    const bool pairsSplit = DBCSMode.Has(rtdb_PairsMaySplit);
    int32_t x = start;
    int32_t i = 0;
    for (; i < Line->Length; ++i) {
        const int32_t w = walk.Advance(i, x - start, fromLeft);
        const bool lead = Line->Attrs && Line->Attrs[i].Style.Has(afsDBCSOne) && !pairsSplit;
        if (x + w / 2 > X && !lead)
            break;
        x += w;
    }
    while (i < Line->Length && Line->Attrs && Line->Attrs[i].Style.Has(afsDBCSTwo))
        ++i;
    if (i >= Line->Length) {
        if (Line->Next && !(Line->Flags & linfHyphenated))
            return std::max(0, Line->Length - 1);
        return Line->Length;
    }
    return std::max(0, i);
}

int32_t TRtRTFTextPaint::GetLineFreeSpace(TParagraph* Par, TLine* Line)
{
    int32_t free = GetParRightPix(Par, false) - GetParLeftPix(Par, false) - GetLineTextWidth(Par, Line) -
                   GetIndentRightPix(Par) - GetIndentLeftPix(Par, Line) - GetNumberWidth(Par, Line);
    const bool cell = (Par->Flags & parfTableCell) != 0;
    const int32_t cellBorder = cell && Par->Cell ? Par->Cell->BrdWidth : 0;
    if (Par->BrdLines & brdPresent)
        free -= TwipsToLayoutX(Par->BrdWidth * 72);
    else if (cellBorder > 0)
        free -= TwipsToLayoutX(cellBorder * 72);
    else if (cell && Par->Align == paralRight)
        free -= TwipsToLayoutX(72);
    return free;
}

int32_t TRtRTFTextPaint::GetLineTextWidth(TParagraph* Par, TLine* Line)
{
    if (!Line)
        return 0;
    int32_t width = 0, held = 0;
    bool visible = false;
    if (Line->Attrs) {
        const bool hiddenSkipped = !(EngineOptions & eoHiddenShown);
        for (int32_t i = 0; i < Line->Length; ++i) {
            const uint8_t c = Line->Chars[i];
            const TAttr& a = Line->Attrs[i];
            if (c == 32 || c == 9) {
                held += a.Width;
            } else if (c == 10) {
                held = 0;
            } else if (a.Width < 2 && a.Style.Has(afsHidden) && hiddenSkipped) {
                continue;
            } else {
                width += held + a.Width;
                held = 0;
                visible = true;
            }
        }
        const bool cursorCell = Par && Par == CursorPar && Line == CursorLine && (Par->Flags & parfTableCell) &&
                                (Par->Align == paralLeft || Par->Align == paralBlock) && CursorPos >= Line->Length;
        if (!visible || cursorCell)
            width += held;
        return width;
    }
    UpdateCharWidths(&CurrentAttr);
    for (int32_t i = 0; i < Line->Length; ++i) {
        const uint8_t c = Line->Chars[i];
        if (c == 32 || c == 9)
            held += CharWidth(32);
        else if (c == 10)
            held = 0;
        else {
            width += held + CharWidth(c);
            held = 0;
        }
    }
    return width;
}

int32_t TRtRTFTextPaint::GetHeightToPageStart(TParagraph* Par, TLine* Line, bool WithOffset)
{
    if (!Line)
        return 0;
    int32_t sum = 0;
    TLine* reached = Line;
    TParagraph* p = Par;
    while (!(reached->Flags & linfPageStart)) {
        TLine* prev = PrevLine(p, reached);
        if (!prev)
            break;
        sum += prev->Height;
        reached = prev;
    }
    return WithOffset ? sum + reached->PageStart : sum;
}

// ---- table columns and rows ----------------------------------------------------------------------

namespace {

TParagraph* RowFirstCell(TParagraph* Cell)
{
    while (Cell && (Cell->Flags & parfNotFirstCell) && Cell->Prior)
        Cell = Cell->Prior;
    return Cell;
}

bool IsCell(const TParagraph* P) { return P && (P->Flags & parfTableCell) && P->Cell; }

}  // namespace

void TRtRTFTextPaint::SelectTableColumn(TParagraph* Par)
{
    if (MarkedCells > 0)
        ClearCellMarks();
    if (IsCell(Par)) {
        SelReversed = false;
        const uint8_t left = Par->Cell->Left, width = Par->Cell->Width;
        auto sameColumn = [&](TParagraph* Row) -> TParagraph* {
            for (TParagraph* c = Row; IsCell(c); c = c->Next) {
                if (c->Cell->Left == left && c->Cell->Width == width)
                    return c;
                if (!(c->Flags & parfNotLastCell))
                    break;
            }
            return nullptr;
        };
        auto mark = [&](TParagraph* C) {
            if (!(C->Flags & parfMarked)) {
                C->Flags |= parfMarked;
                ++MarkedCells;
            }
        };
        SelStartPar = SelEndPar = Par;
        SelStartLine = Par->Lines;
        SelStartPos = 0;
        SelEndLine = GetLastLine(Par);
        SelEndPos = SelEndLine ? SelEndLine->Length : 0;
        for (TParagraph* row = GetPrevRow(Par); row; row = GetPrevRow(row)) {
            TParagraph* c = sameColumn(row);
            if (!c)
                break;
            mark(c);
            SelStartPar = c;
            SelStartLine = c->Lines;
            SelStartPos = 0;
        }
        for (TParagraph* row = GetNextRow(Par); row; row = GetNextRow(row)) {
            TParagraph* c = sameColumn(row);
            if (!c)
                break;
            mark(c);
            SelEndPar = c;
            SelEndLine = c->Lines;
            SelEndPos = 0;
        }
        mark(Par);
    }
    Refresh();
    NotifyChange(rtchCursor);
    CheckSelectionChanged();
}

void TRtRTFTextPaint::SelectTableRows(TParagraph* Par, int32_t Count)
{
    if (MarkedCells > 0)
        ClearCellMarks();
    TParagraph* row = IsCell(Par) ? RowFirstCell(Par) : nullptr;
    for (int32_t r = 0; r < Count && IsCell(row); ++r) {
        TParagraph* c = row;
        if (r == 0) {
            SelReversed = false;
            SelStartPar = c;
            SelStartLine = c->Lines;
            SelStartPos = 0;
        }
        for (;;) {
            if (!(c->Flags & parfMarked)) {
                c->Flags |= parfMarked;
                ++MarkedCells;
            }
            SelEndPar = c;
            SelEndLine = GetLastLine(c);
            SelEndPos = SelEndLine ? SelEndLine->Length : 0;
            if (!(c->Flags & parfNotLastCell) || !IsCell(c->Next))
                break;
            c = c->Next;
        }
        row = c->Next;
    }
    Refresh();
    NotifyChange(rtchCursor);
    CheckSelectionChanged();
}

bool TRtRTFTextPaint::BalanceCellBorder(TParagraph* Par, int32_t Delta)
{
    if (!IsCell(Par) || !(Par->Flags & parfNotLastCell) || !IsCell(Par->Next))
        return false;
    TRtCell* cell = Par->Cell;
    TRtCell* next = Par->Next->Cell;
    int32_t tableLeft = 0, tableRight = 0;
    TableList()->GetTableLeftRight(cell->TableId, tableLeft, tableRight);
    const TTextHeader* h = Header();
    const int32_t tableWidth =
        TwipsToLayoutX(h->PageWidth() - h->LeftMargin() - h->RightMargin() - tableLeft - tableRight);
    const int32_t unit = std::max(1, tableWidth / 255);
    // Positive steps widen the cell, negative ones narrow it; neither cell may vanish.
    const int32_t steps = Delta < 0 ? -Round32(double(-Delta) / unit) : Delta / unit;
    if (steps == 0 || (steps < 0 ? cell->Width : next->Width) <= std::abs(steps))
        return false;
    SaveUndo(Par, ukTableCell, ulTable);
    SaveUndo(Par->Next, ukTableCell, ulTable);
    cell->Width = uint8_t(cell->Width + steps);
    next->Width = uint8_t(next->Width - steps);
    next->Left = uint8_t(next->Left + steps);
    Par->Flags |= parfReformat;
    Par->Next->Flags |= parfReformat;
    if ((Par->Flags & parfNotFirstCell) && Par->Prior)
        Par->Prior->Flags |= parfReformat;
    return true;
}

int32_t TRtRTFTextPaint::MoveCellBorder(TParagraph* Par, int32_t NewX, bool AllRows)
{
    if (!IsCell(Par))
        return 0;
    const bool oldV = NoVertScroll, oldH = NoHorzScroll;
    NoVertScroll = NoHorzScroll = true;
    int32_t x = 0, w = 0;
    GetCellPosition(Par, x, w);
    const int32_t delta = NewX - (x + w);
    const int32_t before = Par->Cell->Width;
    bool moved = false;
    // The moves in every row are one undo step.
    BeginUndoGroup();
    if (!AllRows || !(Par->Flags & parfNotLastCell)) {
        moved = BalanceCellBorder(Par, delta);
    } else {
        const uint8_t left = Par->Cell->Left, width = Par->Cell->Width;
        const int32_t table = Par->Cell->TableId;
        int32_t tableLeft = 0, tableRight = 0;
        TableList()->GetTableLeftRight(table, tableLeft, tableRight);
        auto column = [&](TParagraph* Row) -> TParagraph* {
            for (TParagraph* c = Row; IsCell(c); c = c->Next) {
                if (c->Cell->Left == left && c->Cell->Width == width) {
                    if (c->Cell->TableId == table)
                        return c;
                    int32_t l = 0, r = 0;
                    TableList()->GetTableLeftRight(c->Cell->TableId, l, r);
                    return l == tableLeft && r == tableRight ? c : nullptr;
                }
                if (!(c->Flags & parfNotLastCell))
                    break;
            }
            return nullptr;
        };
        for (TParagraph* row = GetPrevRow(Par); row; row = GetPrevRow(row)) {
            TParagraph* c = column(row);
            if (!c)
                break;
            BalanceCellBorder(c, delta);
        }
        for (TParagraph* row = GetNextRow(Par); row; row = GetNextRow(row)) {
            TParagraph* c = column(row);
            if (!c)
                break;
            BalanceCellBorder(c, delta);
        }
        moved = BalanceCellBorder(Par, delta);
    }
    EndUndoGroup();
    if (moved)
        FormatAll(false);
    NoVertScroll = oldV;
    NoHorzScroll = oldH;
    if (moved)
        Refresh();
    return moved ? Par->Cell->Width - before : 0;
}
