// Painting one line: its areas, numbering, character runs with colours,
// underlines and selection, objects in the text, formatting marks, and the
// paragraph decorations (borders, shading, table cells, header and footer
// texts in the page gap).
#include "RtRtfTxtInput.h"

#include "RtHeaderFooter.h"
#include "RtNumbering.h"
#include "RtObject.h"
#include "RtPlatform.h"

#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>
#include <QScopedValueRollback>

#include <algorithm>
#include <cmath>

namespace {

constexpr int32_t MaxRun = 300;
constexpr TColor Grey = 0x808080;
constexpr uint32_t eoHideSelection = 1u << 12;

bool Empty(const TRect& R) { return R.Right <= R.Left || R.Bottom <= R.Top; }

QColor ToQColor(TColor C)
{
    const TColor rgb = C < 0 ? RtPlatform().SysColor(C) : C;
    return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

bool IsObjectChar(const TLine* L, int32_t I)
{
    const uint8_t c = L->Chars[I];
    return L->Attrs && L->Attrs[I].Style.Has(afsIsObject) && c >= 1 && c <= 3;
}

bool Numbered(const TParagraph* Par) { return Par->Number != 0 || Par->NumLevel != 0; }

// The line is the last of its page: the text ends after it or the next line starts a page.
bool EndsPage(const TParagraph* Par, const TLine* Line)
{
    if (Line->Next)
        return (Line->Next->Flags & linfPageStart) != 0;
    const TParagraph* next = Par->Next;
    return !next || !next->Lines || (next->Lines->Flags & linfPageStart) || (next->Flags & parfNewPage);
}

// Cuts a line into the runs painted in one go: characters of one look and one selection state,
// an object alone, at most MaxRun of them; a run ends after a tab that ends runs, and before a
// blank when blanks split. Characters of width 0 are left out.
class TRunSplitter {
public:
    TRunSplitter(const TRtLinePaintRecord& Rec, bool Screen, bool BlanksSplit, bool TabEndsRun)
        : rec_(Rec), line_(Rec.Line), attrs_(Rec.Attrs), blanksSplit_(BlanksSplit), tabEndsRun_(TabEndsRun),
          justified_(Rec.Line->JustifyExtra > 0 || Rec.Line->JustifyRest > 0)
    {
        if (!Screen) {
            ignored_.Include(afsMisSpelled);
            ignored_.Include(afsWasChecked);
        }
    }

    // Collects the next run into Start, Selected, Object, Chars and Dx; False at the line's end.
    bool Next()
    {
        while (i_ < line_->Length && attrs_[i_].Width == 0)
            ++i_;
        if (i_ >= line_->Length)
            return false;
        Start = i_;
        const TAttr& a = attrs_[Start];
        Selected = IsSelected(Start);
        Object = IsObjectChar(line_, Start);
        Chars.clear();
        Dx.clear();
        while (i_ < line_->Length) {
            if (i_ > Start) {
                const TAttr& b = attrs_[i_];
                if (b.Width == 0) {
                    ++i_;
                    continue;
                }
                if (!SameLook(a, b) || line_->Chars[i_] == 3 || Object || IsObjectChar(line_, i_) ||
                    IsSelected(i_) != Selected)
                    break;
                if (blanksSplit_ && line_->Chars[i_] == ' ')
                    break;
                if (int32_t(Chars.size()) >= MaxRun)
                    break;
            }
            // An insert point's markers are drawn as the characters they were measured as.
            const uint8_t ch =
                attrs_[i_].Style.Has(afsIsInsertpoint) ? RtInsertPointChar(line_->Chars[i_]) : line_->Chars[i_];
            Chars.push_back(ch);
            Dx.push_back(Advance(i_));
            ++i_;
            if (ch == 9 && tabEndsRun_)
                break;
        }
        return true;
    }

    int32_t Width() const
    {
        int32_t w = 0;
        for (int32_t d : Dx)
            w += d;
        return w;
    }

    int32_t Start = 0;
    bool Selected = false, Object = false;
    std::vector<uint8_t> Chars;
    std::vector<int32_t> Dx;

private:
    bool IsSelected(int32_t I) const
    {
        return rec_.WholeSelected || (rec_.PartSelected && I >= rec_.SelFrom && I < rec_.SelTo);
    }

    bool SameLook(const TAttr& A, const TAttr& B) const
    {
        return A.Font == B.Font && A.Size == B.Size && A.TextColor == B.TextColor && A.BGColor == B.BGColor &&
               A.Charset == B.Charset && A.StyleNr == B.StyleNr && (A.Style - ignored_) == (B.Style - ignored_);
    }

    // A character's advance: blanks of a justified line take the widened width.
    int32_t Advance(int32_t I)
    {
        const int32_t w = attrs_[I].Width;
        if (w == 0)
            return 0;
        if (line_->Chars[I] == 32 && justified_ && I >= line_->JustifyFrom) {
            const int32_t extra = blankIndex_ < line_->JustifyRest ? 1 : 0;
            ++blankIndex_;
            return int32_t(line_->JustifyExtra) + extra;
        }
        return w;
    }

    const TRtLinePaintRecord& rec_;
    const TLine* line_;
    const TAttr* attrs_;
    const bool blanksSplit_, tabEndsRun_, justified_;
    WrtStyle ignored_{afsHyphen, afsDBCSOne, afsDBCSTwo};
    int32_t i_ = 0;
    int32_t blankIndex_ = 0;
};

// The baseline of a run: subscript lowered, superscript raised to the ascent of the last normal run.
struct TRunBaseline {
    bool PrevNormal;
    int32_t PrevAscent;

    int32_t Of(int32_t Baseline, const TAttr& A, int32_t LineBase, bool Sub, bool Super)
    {
        if (Sub && LineBase > A.Base)
            Baseline += A.Height / 5;
        else if (Super)
            Baseline = PrevNormal && PrevAscent > A.Base ? Baseline - (PrevAscent - A.Base) : Baseline - A.Height / 3;
        PrevNormal = !Sub && !Super;
        if (PrevNormal)
            PrevAscent = A.Base;
        return Baseline;
    }
};

} // namespace

// ---- geometry ----------------------------------------------------------------------------------------------

void TRtRTFTextInput::CalcLineRects(TRtLinePaintRecord& Rec, TLine* Line, TParagraph* Par, int32_t Y)
{
    const int32_t offset = LeftX + CanvasLeft;
    Rec.LeftX = GetParLeftPix(Par, false) + offset;
    int32_t textLeft = Rec.LeftX + GetLineObjectIndent(Par, Line) + GetIndentLeftPix(Par, Line);
    if (Par->BrdLines & brdPresent)
        textLeft += TwipsToLayoutX(BorderDistance);
    Rec.RightX = GetParRightPix(Par, false) + offset;
    Rec.Text = TRect{textLeft, Y, Rec.RightX - GetIndentRightPix(Par), Y + Line->Height};
}

int32_t TRtRTFTextInput::GetNumberWidth(TParagraph* Par, TLine* Line)
{
    if (!Par || !Line || !Numbered(Par) || Line != Par->Lines || Measuring)
        return 0;
    if (Line->Length == 0 && Line != CursorLine)
        return 0;
    TRtRTFNumberingStyle* style = nullptr;
    AnsiString text;
    GetParNumberText(Par, style, text);
    if (!style)
        return 0;
    int32_t base = 0;
    if (Par->Align != paralCenter && Par->Align != paralRight) {
        int32_t twips = style->Indent;
        if (Par->IndentFirst < 0 && -Par->IndentFirst > twips)
            twips = -Par->IndentFirst;
        base = TwipsToLayoutX(twips);
    }
    if (Line->Attrs && !text.empty()) {
        const TRtWidthTable* before = CurrentWidths();
        TAttr key;
        if (before) {
            key.Font = before->Font;
            key.Size = before->Size;
            key.Style = WrtStyle::FromBits(before->Style);
        }
        TAttr a = Line->Attrs[0];
        const bool painting = PaintingNumber;
        PaintingNumber = true;
        base = std::max(base, TextWidth(&a, text));
        PaintingNumber = painting;
        // The measuring pass that asked goes on with its own font.
        if (before)
            UpdateCharWidths(&key);
    }
    return base;
}

void TRtRTFTextInput::GetParPlainText(TParagraph* Par, AnsiString& Text)
{
    Text.clear();
    if (!Par)
        return;
    if (Numbered(Par)) {
        TRtRTFNumberingStyle* style = nullptr;
        GetParNumberText(Par, style, Text);
    }
    for (const TLine* l = Par->Lines; l; l = l->Next)
        Text.append(reinterpret_cast<const char*>(l->Chars), l->Length);
    Text.erase(std::remove_if(Text.begin(), Text.end(), [](char c) { return uint8_t(c) < 32; }), Text.end());
}

// ---- the paint record ---------------------------------------------------------------------------------------

void TRtRTFTextInput::ComputeLineSelection(TRtLinePaintRecord& Rec)
{
    TLine* l = Rec.Line;
    Rec.WholeSelected = Rec.PartSelected = Rec.ExtendsPastEnd = false;
    Rec.SelFrom = Rec.SelTo = 0;
    if (EngineOptions & eoHideSelection)
        return;
    if (MarkedCells > 0) {
        if (Rec.Par->Flags & parfMarked) {
            Rec.WholeSelected = Rec.PartSelected = true;
            Rec.SelTo = l->Length;
        }
        return;
    }
    // Painted from the selection itself, whatever the lines' marks say after a layout.
    if (!SelStartPar || !SelEndPar || !LineInSelection(l))
        return;
    Rec.WholeSelected = Rec.PartSelected = Rec.ExtendsPastEnd = true;
    Rec.SelFrom = 0;
    Rec.SelTo = l->Length;
    TLine* firstLine = SelReversed ? SelEndLine : SelStartLine;
    const int32_t firstPos = SelReversed ? SelEndPos : SelStartPos;
    TLine* lastLine = SelReversed ? SelStartLine : SelEndLine;
    TParagraph* lastPar = SelReversed ? SelStartPar : SelEndPar;
    const int32_t lastPos = SelReversed ? SelStartPos : SelEndPos;
    if (l == firstLine) {
        Rec.SelFrom = std::min<int32_t>(firstPos, l->Length);
        if (firstPos > 0)
            Rec.WholeSelected = false;
    }
    if (l == lastLine) {
        Rec.SelTo = std::min<int32_t>(lastPos, l->Length);
        Rec.ExtendsPastEnd = false;
        if (lastPos == 0) {
            Rec.WholeSelected = Rec.PartSelected = false;
        } else {
            const bool cellEnd = (lastPar->Flags & parfTableCell) && !l->Next && lastPos >= l->Length;
            if (!cellEnd)
                Rec.WholeSelected = false;
        }
    }
    if (Rec.SelTo <= Rec.SelFrom && !Rec.ExtendsPastEnd)
        Rec.PartSelected = Rec.WholeSelected = false;
    if (Rec.WholeSelected)
        l->Flags |= linfSelected;
}

bool TRtRTFTextInput::LineInSelection(const TLine* Line) const
{
    const TLine* first = SelReversed ? SelEndLine : SelStartLine;
    const TLine* last = SelReversed ? SelStartLine : SelEndLine;
    bool inside = false;
    for (const TParagraph* p = FirstPar; p; p = p->Next)
        for (const TLine* l = p->Lines; l; l = l->Next) {
            inside = inside || l == first;
            if (l == Line)
                return inside;
            if (l == last)
                return false;
        }
    return false;
}

void TRtRTFTextInput::FindCellNeighbours(TRtLinePaintRecord& Rec)
{
    TParagraph* p = Rec.Par;
    Rec.CellAbove = Rec.CellBelow = nullptr;
    Rec.RowBelowNewPage = false;
    if (!(p->Flags & parfTableCell) || !p->Cell)
        return;
    auto agrees = [&](TParagraph* Other) {
        if (!Other || !Other->Cell)
            return false;
        const TRtCell& a = *p->Cell;
        const TRtCell& b = *Other->Cell;
        return std::abs(a.Width - b.Width) <= 5 && std::abs(a.Left - b.Left) <= 5 && a.BrdFlags == b.BrdFlags &&
               Other->BrdOptions == p->BrdOptions;
    };
    const int32_t index = GetCellIndex(p);
    if (Rec.Line == p->Lines)
        if (TParagraph* row = GetPrevRow(p)) {
            TParagraph* c = GetCellInRow(row, index);
            if (agrees(c) && c->Cell->BrdColor[1] <= p->Cell->BrdColor[0])
                Rec.CellAbove = c;
        }
    if (!Rec.Line->Next)
        if (TParagraph* row = GetNextRow(p)) {
            TParagraph* c = GetCellInRow(row, index);
            if (agrees(c) && c->Cell->BrdColor[0] == p->Cell->BrdColor[1])
                Rec.CellBelow = c;
            Rec.RowBelowNewPage = (row->Flags & parfNewPage) || (row->Lines && (row->Lines->Flags & linfPageStart));
        }
}

void TRtRTFTextInput::PaintLine(TLine* Line, TParagraph* Par)
{
    if (!Line || !Par || Suspended() || PaintLocked || SkipLinePaint || !PaintingCanvas)
        return;
    if (RepaintLocked && Displays())
        return;
    if ((Par->Flags & (parfSkip1 | parfSkip2)) && Line->SpaceBelow == 0 && Par != FirstPar)
        return;
    const bool screen = Displays() && !(EngineOptions & eoPaintAllLines);
    if (screen) {
        const int32_t top = Line->Top - Line->SpaceAbove - TopY;
        const int32_t bottom = Line->Top + Line->Height + Line->SpaceBelow - TopY;
        if (bottom <= 0 || top >= std::max(VisibleHeight, ScreenToDoc(Surface().height())))
            return;
    }
    TRtLinePaintRecord rec;
    rec.Par = Par;
    rec.Line = Line;
    CalcLineRects(rec, Line, Par, Line->Top - TopY + CanvasTop);
    rec.RunStart = LineStartX(Par, Line) + LeftX + CanvasLeft;
    if (Par->Align == paralRight || Par->Align == paralCenter)
        rec.AlignOffset = rec.RunStart - (rec.Text.Left + GetNumberWidth(Par, Line));
    rec.Baseline = rec.Text.Top + Line->Base;
    rec.PageNr = Line->PageNr;
    const int32_t top = rec.Text.Top, bottom = rec.Text.Bottom;
    rec.ParLeft = TRect{rec.LeftX, top, rec.Text.Left, bottom};
    rec.ParRight = TRect{rec.Text.Right, top, rec.RightX, bottom};
    // The page margins beside the paragraph; cells of a row leave their neighbours alone.
    const bool layoutView = (LayoutFlags & lfPageLayoutView) != 0;
    const int32_t pageLeft = LeftX + CanvasLeft;
    const int32_t pageWidth = layoutView ? Header()->PixPageWidth : std::max(Header()->PixPageWidth, VisibleWidth);
    const int32_t pageRight = pageLeft + pageWidth;
    const bool cellBefore = (Par->Flags & parfNotFirstCell) != 0;
    const bool cellAfter = (Par->Flags & parfNotLastCell) != 0;
    const int32_t areaLeft = cellBefore ? rec.LeftX : pageLeft;
    const int32_t areaRight = cellAfter ? rec.RightX : pageRight;
    if (rec.LeftX > pageLeft && !cellBefore) {
        rec.MarginLeft = TRect{pageLeft, top, rec.LeftX, bottom};
        rec.AreaFlags |= afMarginLeft;
    }
    if (rec.RightX < pageRight && !cellAfter) {
        rec.MarginRight = TRect{rec.RightX, top, pageRight, bottom};
        rec.AreaFlags |= afMarginRight;
    }
    if (Line->SpaceAbove > 0) {
        rec.SpaceBefore = TRect{areaLeft, top - Line->SpaceAbove, areaRight, top};
        rec.AreaFlags |= afSpaceBefore;
    }
    if (Line->SpaceBelow > 0) {
        rec.SpaceAfter = TRect{areaLeft, bottom, areaRight, bottom + Line->SpaceBelow};
        rec.AreaFlags |= afSpaceAfter;
        if (LayoutFlags & lfPageGap) {
            TParagraph* next = Par->Next;
            const TLine* nextLine = Line->Next ? Line->Next : next ? next->Lines : nullptr;
            if (nextLine && (nextLine->Flags & linfPageStart))
                rec.GapKind = 1;
            else if (next && (next->Flags & parfNewPage))
                rec.GapKind = 2;
            else if (!Line->Next && !next)
                rec.GapKind = ViewOptions.Has(rtNoEndOfDocumentLine) ? 5 : 3;
        }
    }
    if (layoutView && Displays())
        SetPageViewStrips(rec, pageLeft, pageRight);
    const bool ignoreShading = !Displays() && PrintOptions.Has(rtIgnoreShading);
    if (!(EngineOptions & eoNoShading) && !ignoreShading) {
        if (Par->ExtFlags & (parxMarker1 | parxMarker2)) {
            rec.Shading = RtPlatform().SysColor(clBtnFace);
            rec.AreaFlags |= afShading;
        } else if (Par->Shading > 0) {
            rec.Shading = GetShadedColor(Par->Color, Par->Shading);
            rec.AreaFlags |= afShading;
        }
    }
    ComputeLineSelection(rec);
    if (Line->Attrs) {
        rec.Attrs = Line->Attrs;
    } else {
        rec.TempAttrs.assign(size_t(Line->Length) + 1, CurrentAttr);
        UpdateCharWidths(&CurrentAttr);
        const TRtWidthTable* t = CurrentWidths();
        for (int32_t i = 0; i < Line->Length; ++i) {
            const uint8_t c = Line->Chars[i];
            rec.TempAttrs[size_t(i)].Width = uint16_t(t ? t->Widths[c] : 0);
        }
        rec.Attrs = rec.TempAttrs.data();
    }
    // The page being painted is the line's, for the line only: fields such as the page number show it.
    const QScopedValueRollback<int32_t> page(PaintingPage, Line->PageNr);
    if (!Displays()) {
        PaintContent(rec);
        return;
    }
    // The line paints its own band only: a glyph reaching beyond it would stay in a neighbour's
    // band when this line alone is painted again, and a whole repaint paints that over.
    TCanvas* c = PaintingCanvas;
    const bool clipped = c->HasClipRegion();
    const QRegion kept = c->ClipRegion();
    constexpr int32_t far = 1 << 24;
    QRegion band(QRect(-far, top - Line->SpaceAbove, 2 * far, bottom - top + Line->SpaceAbove + Line->SpaceBelow));
    if (clipped)
        band &= kept;
    c->SelectClipRegion(&band);
    PaintContent(rec);
    c->SelectClipRegion(clipped ? &kept : nullptr);
}

AnsiString TRtRTFTextInput::DefaultPageGapText(int32_t PageNr) const
{
    return NoPageNumber ? AnsiString() : " " + IntToStr(PageNr);
}

int32_t TRtRTFTextInput::PageViewPitch() const
{
    const TTextHeader* h = Header();
    return h->PixPageHeight + 2 * MulDiv(h->PageGap / 2, h->YRes, 1440);
}

// The page-layout view: the desktop beside the page and, above a page's first line and below
// its last, the gap between the pages.
void TRtRTFTextInput::SetPageViewStrips(TRtLinePaintRecord& Rec, int32_t PageLeft, int32_t PageRight)
{
    constexpr int32_t far = 32000;
    const TTextHeader* h = Header();
    TParagraph* par = Rec.Par;
    TLine* line = Rec.Line;
    const int32_t top = Rec.Text.Top - line->SpaceAbove, bottom = Rec.Text.Bottom + line->SpaceBelow;
    const int32_t halfGap = (PageViewPitch() - h->PixPageHeight) / 2;
    Rec.PageLeft = PageLeft;
    Rec.PageRight = PageRight;
    Rec.DeskLeft = TRect{PageLeft - far, top, PageLeft, bottom};
    Rec.DeskRight = TRect{PageRight, top, PageRight + far, bottom};
    Rec.AreaFlags |= afDeskLeft | afDeskRight;
    const bool firstOfPage =
        (line->Flags & linfPageStart) || (line == par->Lines && (!par->Prior || (par->Flags & parfNewPage)));
    const bool lastOfPage = EndsPage(par, line);
    if (firstOfPage && line->SpaceAbove > 0) {
        Rec.GapAbove = TRect{PageLeft - far, top, PageRight + far, top + std::min<int32_t>(halfGap, line->SpaceAbove)};
        Rec.AreaFlags |= afGapAbove;
    }
    if (lastOfPage && line->SpaceBelow > 0) {
        const int32_t gapTop = bottom - std::min<int32_t>(halfGap, line->SpaceBelow);
        Rec.GapBelow = TRect{PageLeft - far, gapTop, PageRight + far, bottom};
        Rec.AreaFlags |= afGapBelow;
    }
}

// ---- backgrounds ----------------------------------------------------------------------------------------------

void TRtRTFTextInput::SelectRunBackground(TRtLinePaintRecord& Rec, const TAttr* Attr, bool Selected)
{
    TCanvas* c = PaintingCanvas;
    TBrush& b = c->Brush();
    if (Selected && !ViewOptions.Has(rtHideSelection) && !Rec.Grey && Displays()) {
        b.SetStyle(bsSolid);
        b.SetColor(HighlightColor);
        c->Font().SetColor(HighlightTextColor);
        c->Pen().SetColor(HighlightTextColor);
        UnderlineColor = HighlightTextColor;
        return;
    }
    const TTextHeader* h = Header();
    const int32_t backIndex = !Attr ? 0 : h->Colors16 ? (Attr->TextColor >> 4) : Attr->BGColor;
    const bool ignoreShading = !Displays() && PrintOptions.Has(rtIgnoreShading);
    if (Attr && AttrBackgroundUsed)
        return;  // the attribute set's background stays
    if (backIndex != 0 && !(EngineOptions & eoNoShading) && !ignoreShading) {
        b.SetStyle(bsSolid);
        b.SetColor(GetColorEntry(backIndex));
    } else if (Rec.AreaFlags & afShading) {
        b.SetStyle(bsSolid);
        b.SetColor(Rec.Shading);
    } else if ((HasBackground() && Displays()) || !Displays() || (EngineOptions & (eoNoScrollDC | eoNoAreaFills))) {
        b.SetStyle(bsClear);
    } else {
        b.SetStyle(bsSolid);
        b.SetColor((EngineOptions & eoWhiteFills) ? clWhite : GetPaperColor());
    }
}

void TRtRTFTextInput::FillArea(TCanvas* C, const TRect& R)
{
    if (!C || Empty(R))
        return;
    if (C->Brush().Style() == bsClear) {
        if (HasBackground())
            PaintPageBackground(C, R);
        return;
    }
    C->FillRect(R);
}

void TRtRTFTextInput::DrawTextAt(TCanvas* C, int32_t X, const AnsiString& Text, const TRect& R, int32_t Baseline)
{
    if (!C || Text.empty())
        return;
    std::vector<int32_t> dx;
    TTextMetric tm = C->GetTextMetrics();
    for (char ch : Text)
        dx.push_back(C->TextWidth(AnsiString(1, ch)));
    QPainter* p = C->Painter();
    if (!p)
        return;
    p->save();
    p->setClipRect(QRect(R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top), Qt::IntersectClip);
    const bool clear = C->Brush().Style() == bsClear;
    if (clear && HasBackground()) {
        int32_t w = 0;
        for (int32_t d : dx)
            w += d;
        PaintPageBackground(C, TRect{X, Baseline - tm.tmAscent, X + w, Baseline + tm.tmDescent});
    }
    WriteRun(C, X, Baseline, reinterpret_cast<const uint8_t*>(Text.data()), dx.data(), int32_t(Text.size()), !clear,
             tm.tmHeight);
    p->restore();
}

// ---- text output ---------------------------------------------------------------------------------------------

void TRtRTFTextInput::WriteRun(TCanvas* C, int32_t X, int32_t Baseline, const uint8_t* Chars, const int32_t* Dx,
                               int32_t N, bool Opaque, int32_t Height)
{
    if (!C || N <= 0)
        return;
    QPainter* p = C->Painter();
    if (!p)
        return;
    // A symbol font has no face here: its marks come from a face that has them.
    const AnsiString fontName = C->Font().Name();
    int32_t charset = C->Font().Charset();
    const bool symbol = SameText(fontName, "WingDings") || SameText(fontName, "Symbol");
    if (symbol) {
        charset = SYMBOL_CHARSET;
        C->Font().SetName("DejaVu Sans");
    }
    const QRawFont face = C->RawFont();
    if (symbol)
        C->Font().SetName(fontName);
    // Simple output: the font's own advances, and no fill on a white or window-coloured brush.
    std::vector<int32_t> own;
    if (SimpleTextOutput) {
        own.resize(size_t(N));
        for (int32_t i = 0; i < N; ++i)
            own[size_t(i)] = C->TextWidth(AnsiString(1, char(Chars[i])));
        Dx = own.data();
        const TColor b = C->Brush().Color();
        Opaque = Opaque && b != clWhite && b != clWindow;
    }
    int32_t total = 0;
    for (int32_t i = 0; i < N; ++i)
        total += Dx[i];
    if (Opaque) {
        const double ascent = face.isValid() ? face.ascent() : Height * 0.8;
        p->fillRect(QRectF(X, Baseline - ascent, total, std::max<double>(Height, ascent)),
                    ToQColor(C->Brush().Color()));
    }
    if (!face.isValid())
        return;
    // Characters by the font's charset; those below 32 are drawn as blanks.
    std::string text(reinterpret_cast<const char*>(Chars), size_t(N));
    for (char& ch : text)
        if (uint8_t(ch) < 32)
            ch = ' ';
    QList<QGlyphRun> runs;
    if (symbol) {
        QString s;
        s.reserve(N);
        for (const char ch : text) {
            const char32_t u = RtCharToUnicode(uint8_t(ch), charset, fontName);
            s.append(QChar(char16_t(u ? u : U' ')));
        }
        const QList<quint32> glyphs = face.glyphIndexesForString(s);
        QList<QPointF> positions;
        double x = X;
        for (qsizetype i = 0; i < glyphs.size() && i < N; ++i) {
            positions.append(QPointF(x, Baseline));
            x += Dx[i];
        }
        QGlyphRun run;
        run.setRawFont(face);
        run.setGlyphIndexes(glyphs.mid(0, positions.size()));
        run.setPositions(positions);
        runs.append(run);
    } else {
        runs = CharsetGlyphRuns(face, charset, text, Dx, X, Baseline);
    }
    p->setPen(ToQColor(C->Font().Color()));
    for (const QGlyphRun& run : runs)
        p->drawGlyphRun(QPointF(0, 0), run);
    if (C->Font().Style() & fsStrikeOut) {
        const double t = std::max(1.0 / PaintScale(), face.lineThickness());
        p->fillRect(QRectF(X, Baseline - face.xHeight() / 2 - t / 2, total, t), ToQColor(C->Font().Color()));
    }
}

// ---- the content of one line -------------------------------------------------------------------------------------

void TRtRTFTextInput::PaintContent(TRtLinePaintRecord& Rec)
{
    TCanvas* c = PaintingCanvas;
    if (!c)
        return;
    TParagraph* par = Rec.Par;
    TLine* line = Rec.Line;
    const bool screen = Displays();
    c->Brush().SetStyle(bsSolid);
    c->Brush().SetColor(GetPaperColor());
    c->Pen().SetStyle(psSolid);
    FindCellNeighbours(Rec);

    // Areas.
    SelectRunBackground(Rec, nullptr, false);
    if (Rec.AreaFlags & afFooter) {
        if (screen)
            FillArea(c, Rec.SpaceAfter);
        return;
    }
    if (par->ExtFlags & parxLabel) {
        const int32_t lw = TwipsToLayoutX(par->LabelWidth);
        if (lw > 0 && line == par->Lines) {
            AnsiString name;
            GetParName(par, name);
            TAttr a = par->ParAttr;
            SelectCharFont(&a, nullptr, nullptr, 0);
            DrawTextAt(c, Rec.LeftX, name, TRect{Rec.LeftX, Rec.Text.Top, Rec.LeftX + lw, Rec.Text.Bottom},
                       Rec.Baseline);
            SelectRunBackground(Rec, nullptr, false);
        }
    }
    FillArea(c, Rec.ParLeft);
    FillArea(c, Rec.ParRight);
    if (screen)
        PaintMarginsAndGaps(Rec);

    // A paragraph object paints itself into the text area instead of the text.
    if (PaintParObjectInstead(Rec))
        return;

    // The text area before the first character, then the numbering in it.
    int32_t x = Rec.RunStart;
    SelectRunBackground(Rec, nullptr, false);
    FillArea(c, TRect{Rec.Text.Left, Rec.Text.Top, x, Rec.Text.Bottom});
    PaintParNumber(Rec);

    // An empty line only gets its text area filled.
    bool visible = false;
    for (int32_t i = 0; i < line->Length && !visible; ++i)
        visible = Rec.Attrs[i].Width > 0 && line->Chars[i] != 10;
    if (visible) {
        PaintRuns(Rec);
        // Advances are never negative: the line's end is its rightmost x.
        x = std::max(Rec.RunStart, GetCharX(par, line, line->Length) + LeftX + CanvasLeft);
    }

    // Line end marks, then the rest of the text area.
    if (screen && !Rec.Grey && !(par->ExtFlags & parxDrawnWhole))
        x = PaintLineEndMarks(Rec, x);
    SelectRunBackground(Rec, nullptr, Rec.ExtendsPastEnd && Rec.PartSelected);
    FillArea(c, TRect{x, Rec.Text.Top, Rec.Text.Right, Rec.Text.Bottom});
    PaintBorders(Rec);
}

// The margins, the space before and after the paragraph, the page gap with its line, and the
// desktop strips around the page.
void TRtRTFTextInput::PaintMarginsAndGaps(TRtLinePaintRecord& Rec)
{
    TCanvas* c = PaintingCanvas;
    TParagraph* par = Rec.Par;
    TLine* line = Rec.Line;
    c->Brush().SetStyle(bsSolid);
    c->Brush().SetColor((EngineOptions & eoWhiteFills) ? clWhite : GetPaperColor());
    if (HasBackground())
        c->Brush().SetStyle(bsClear);
    if (Rec.AreaFlags & afMarginLeft)
        FillArea(c, Rec.MarginLeft);
    if (Rec.AreaFlags & afMarginRight)
        FillArea(c, Rec.MarginRight);
    const bool firstLine = line == par->Lines;
    const bool lastLine = !line->Next;
    // Shading covers the space before and after the paragraph too.
    SelectRunBackground(Rec, nullptr, false);
    if (Rec.AreaFlags & afSpaceBefore) {
        TRect r = Rec.SpaceBefore;
        if ((Rec.AreaFlags & afShading) && firstLine) {
            TRect outside = r;
            FillArea(c, TRect{r.Left, r.Top, Rec.LeftX, r.Bottom});
            FillArea(c, TRect{Rec.RightX, r.Top, r.Right, r.Bottom});
            r = TRect{Rec.LeftX, outside.Top, Rec.RightX, outside.Bottom};
        }
        FillArea(c, r);
    }
    if ((Rec.AreaFlags & afSpaceAfter) && !(par->Flags & parfNotFirstCell)) {
        TRect r = Rec.SpaceAfter;
        if (!((Rec.AreaFlags & afShading) && lastLine)) {
            c->Brush().SetStyle(HasBackground() ? bsClear : bsSolid);
            c->Brush().SetColor(GetPaperColor());
        }
        FillArea(c, r);
    }
    PaintPageGapLine(Rec);
    // The space above a page's first line holds its header; in the page-layout view the space
    // below a page's last line holds its bottom margin with the footer.
    if (!Rec.Grey) {
        if (ShowsSpecialText(par, line, true))
            PaintHeaderFooter(line, Rec, true);
        if (ShowsSpecialText(par, line, false))
            PaintHeaderFooter(line, Rec, false);
    }
    // Desktop strips and page-gap strips, each with the page's edge along it.
    const uint16_t strips[] = {afDeskLeft, afDeskRight, afGapAbove, afGapBelow};
    const TRect* rects[] = {&Rec.DeskLeft, &Rec.DeskRight, &Rec.GapAbove, &Rec.GapBelow};
    const int32_t p1 = std::max(1, ScreenToDoc(1));
    for (int k = 0; k < 4; ++k) {
        if (!(Rec.AreaFlags & strips[k]) || (k == 3 && (Rec.GapKind != 0 || (par->Flags & parfNotFirstCell))))
            continue;
        const TRect& r = *rects[k];
        FillBrushRect(c, r, GapColor);
        std::vector<TRect> edges;
        if (k == 0)
            edges = {TRect{r.Right - p1, r.Top, r.Right, r.Bottom}, TRect{r.Left, r.Top, r.Left + p1, r.Bottom}};
        else if (k == 1)
            edges = {TRect{r.Left, r.Top, r.Left + p1, r.Bottom}, TRect{r.Right - p1, r.Top, r.Right, r.Bottom}};
        else if (k == 2)
            edges = {TRect{Rec.PageLeft, r.Bottom - p1, Rec.PageRight, r.Bottom}};
        else
            edges = {TRect{Rec.PageLeft, r.Top, Rec.PageRight, r.Top + p1}};
        for (const TRect& e : edges)
            FillBrushRect(c, e, DefaultTextColor);
    }
}

// The line across the page gap, with the page number in it when shown.
void TRtRTFTextInput::PaintPageGapLine(TRtLinePaintRecord& Rec)
{
    TCanvas* c = PaintingCanvas;
    TParagraph* par = Rec.Par;
    if (Rec.GapKind != 0 && !(par->Flags & parfNotFirstCell) && !Rec.Grey) {
        const TRect g = Rec.SpaceAfter;
        const int32_t mid = (g.Top + g.Bottom) / 2;
        int32_t right = g.Right;
        if (ViewOptions.Has(rtShowPageNRinGap) && Rec.GapKind != 5) {
            AnsiString label;
            if (OnGetPageGapText)
                OnGetPageGapText(OwnerControl, Rec.PageNr + 1, label);
            else
                label = DefaultPageGapText(Rec.PageNr + 1);
            if (!label.empty()) {
                c->Font().SetName("Arial");
                c->Font().SetCharset(DEFAULT_CHARSET);
                c->Font().SetStyle(0);
                c->Font().SetHeight(-std::min((g.Bottom - g.Top) * 2 / 3, ScreenToDoc(20)));
                c->Font().SetColor(DefaultTextColor);
                const int32_t w = c->TextWidth(label);
                right = g.Right - w;
                c->Brush().SetStyle(bsClear);
                DrawTextAt(c, right, label, g, mid + c->GetTextMetrics().tmAscent / 2);
            }
        }
        if (QPainter* p = c->Painter()) {
            const Qt::PenStyle style = Rec.GapKind == 1   ? Qt::DotLine
                                       : Rec.GapKind == 2 ? Qt::DashLine
                                       : Rec.GapKind == 5 ? Qt::NoPen
                                                          : Qt::SolidLine;
            p->setPen(QPen(ToQColor(DefaultTextColor), 1.0 / PaintScale(), style));
            p->drawLine(QPointF(g.Left, mid), QPointF(right, mid));
        }
    }
}

// Paints the paragraph's object over its text area; false when the paragraph has none.
bool TRtRTFTextInput::PaintParObjectInstead(TRtLinePaintRecord& Rec)
{
    TCanvas* c = PaintingCanvas;
    TParagraph* par = Rec.Par;
    if (TRtParObject* po = FindParObject(par)) {
        TTextObj* ref = ObjRefList()->GetTextObj(po->RefId);
        if (auto* obj = ref ? dynamic_cast<TRtObject*>(ref->Object) : nullptr) {
            c->Brush().SetStyle(bsSolid);
            c->Brush().SetColor(GetPaperColor());
            c->FillRect(Rec.Text);
            c->Brush().SetStyle(bsClear);
            c->Font().SetColor(DefaultTextColor);
            c->Font().SetStyle(0);
            int32_t height = MulDiv(RtDefaultFontSize, Header()->LayoutYRes, 72);
            if (Resizing != 100)
                height = MulDiv(height, Resizing, 100);
            c->Font().SetHeight(-height);
            obj->EnsureLoaded();
            obj->PaintTo(c, Rec.Text);
            SelectRunBackground(Rec, nullptr, false);
            if (Rec.AreaFlags & afSpaceBefore)
                FillArea(c, Rec.SpaceBefore);
            PaintBorders(Rec);
            return true;
        }
    }
    return false;
}

// The paragraph's number at the start of its first line.
void TRtRTFTextInput::PaintParNumber(TRtLinePaintRecord& Rec)
{
    TCanvas* c = PaintingCanvas;
    TParagraph* par = Rec.Par;
    TLine* line = Rec.Line;
    const bool numberLine = line == par->Lines && (Numbered(par) || (par == CursorPar && line->Length == 0 && Numbered(par)));
    if (numberLine) {
        TRtRTFNumberingStyle* style = nullptr;
        AnsiString text;
        GetParNumberText(par, style, text);
        Rec.NumberText = text.substr(0, 127);
        Rec.NumberFont = style ? style->Font.substr(0, 127) : AnsiString();
        if (!text.empty()) {
            TAttr first = line->Length > 0 && Rec.Attrs ? Rec.Attrs[0] : par->ParAttr;
            PaintingNumber = true;
            SelectCharFont(&first, nullptr, nullptr, 0);
            PaintingNumber = false;
            if (!Rec.NumberFont.empty()) {
                c->Font().SetName(Rec.NumberFont);
                c->Font().SetCharset(DEFAULT_CHARSET);
            }
            SelectRunBackground(Rec, nullptr, false);
            const int32_t at = Rec.Text.Left + (par->Align == paralCenter || par->Align == paralRight ? Rec.AlignOffset : 0);
            DrawTextAt(c, at, Rec.NumberText, Rec.Text, Rec.Baseline);
        }
    }
}

void TRtRTFTextInput::PaintRuns(TRtLinePaintRecord& Rec)
{
    TCanvas* c = PaintingCanvas;
    TLine* line = Rec.Line;
    const bool screen = Displays();
    TRunSplitter runs(Rec, screen, Rec.Par->Align == paralBlock || SplitAtBlanks,
                      !screen || ViewOptions.Has(rtShowTAB));
    TRunBaseline shift{true, line->Base};
    int32_t x = Rec.RunStart;
    while (runs.Next()) {
        const TAttr& a = Rec.Attrs[runs.Start];
        const int32_t runWidth = runs.Width();
        // A field's text takes the field-object look.
        PaintingField = runs.Object && FieldOf(a);
        SelectCharFont(&a, Rec.Par, line, runs.Start);
        SelectRunBackground(Rec, &a, runs.Selected);
        if (Rec.Grey && screen && !ViewOptions.Has(rtDontGrayHeaderFooterInLayout))
            c->Font().SetColor(Grey);
        const int32_t baseline = shift.Of(Rec.Baseline, a, line->Base, FontSub, FontSuper);
        if (c->Brush().Style() != bsClear)
            c->FillRect(TRect{x, Rec.Text.Top, x + runWidth, Rec.Text.Bottom});
        PaintRunText(Rec, a, runs.Object, x, baseline, runWidth, runs.Chars, runs.Dx);
        if (QPainter* p = c->Painter(); p && !Rec.Grey) {
            PaintRunStrokes(p, Rec, a, x, baseline, runWidth);
            if (screen)
                PaintFormattingMarks(p, Rec, x, baseline, runs.Chars, runs.Dx);
        }
        PaintingField = false;
        x += runWidth;
    }
}

TRtObjectField* TRtRTFTextInput::FieldOf(const TAttr& A)
{
    TTextObj* ref = ObjRefList()->GetTextObj(int32_t(A.Tag));
    return ref && ref->Kind != 1 && ref->Kind != 2 ? dynamic_cast<TRtObjectField*>(ref->Object) : nullptr;
}

// A field's text in its cell; a tag field shows its box: background and frame in its colours
// when its options say so, the corners it cuts off in the paper colour.
void TRtRTFTextInput::PaintFieldObject(TRtLinePaintRecord& Rec, TTextObj* Ref, TRtObjectField* Field, int32_t X,
                                       int32_t Baseline, int32_t RunWidth)
{
    TCanvas* c = PaintingCanvas;
    AnsiString text;
    Field->GetFieldText(false, text);
    const TRect cell{X, Rec.Text.Top, X + std::max(RunWidth, c->TextWidth(text)), Rec.Text.Bottom};
    // The field's place and size in layout units of the text.
    Ref->RectLeft = cell.Left - LeftX - CanvasLeft;
    Ref->RectTop = cell.Top + TopY - CanvasTop;
    Ref->RectWidth = cell.Right - cell.Left;
    Ref->RectHeight = cell.Bottom - cell.Top;
    auto* tag = dynamic_cast<TRtTagField*>(Field);
    if (tag && tag->ShowFrame && !Rec.Grey) {
        const TRtObjectFieldFrameOpt o = tag->BoxOpt;
        if (o.Has(rtfoBackColor)) {
            c->Brush().SetStyle(bsSolid);
            c->Brush().SetColor(tag->BackColor);
        }
        c->Pen().SetStyle(psSolid);
        c->Pen().SetWidth(std::max(1, ScreenToDoc(1)));
        c->Pen().SetColor(o.Has(rtfoFrameColor) ? tag->FrameColor : c->Font().Color());
        const int32_t l = cell.Left, t = cell.Top, r = cell.Right - 1, b = cell.Bottom - 1;
        if (o.Has(rtfoBox)) {
            c->Rectangle(cell.Left, cell.Top, cell.Right, cell.Bottom);
        } else {
            const int32_t d = ScreenToDoc(4);
            const int32_t dl = o.Has(rtfoCornersLeft) ? d : 0, dr = o.Has(rtfoCornersRight) ? d : 0;
            const TBrush brush = c->Brush();
            FillBrushRect(c, cell, (EngineOptions & eoWhiteFills) ? clWhite : GetPaperColor());
            c->Brush() = brush;
            c->Polygon({TPoint{l + dl, t}, TPoint{r - dr, t}, TPoint{r, t + dr}, TPoint{r, b - dr}, TPoint{r - dr, b},
                        TPoint{l + dl, b}, TPoint{l, b - dl}, TPoint{l, t + dl}});
        }
        c->Brush().SetStyle(bsClear);
    }
    DrawTextAt(c, X + (cell.Right - cell.Left - c->TextWidth(text)) / 2, text, cell, Baseline);
}

// Draws a run's characters (with the hot effect when it is on), or the object or field it holds.
void TRtRTFTextInput::PaintRunText(TRtLinePaintRecord& Rec, const TAttr& a, bool object, int32_t x, int32_t baseline,
                                   int32_t runWidth, const std::vector<uint8_t>& chars, const std::vector<int32_t>& dx)
{
    TCanvas* c = PaintingCanvas;
    TLine* line = Rec.Line;
    const bool screen = Displays();
    if (object) {
        TTextObj* ref = ObjRefList()->GetTextObj(int32_t(a.Tag));
        if (ref && ref->Kind != 1 && ref->Kind != 2) {
            if (auto* field = dynamic_cast<TRtObjectField*>(ref->Object)) {
                PaintFieldObject(Rec, ref, field, x, baseline, runWidth);
            } else {
                const int32_t top = a.Base <= line->Base ? baseline - a.Height : Rec.Text.Top;
                PaintObjectAt(ref, c, TRect{x, top, x + runWidth, top + a.Height}, runWidth, a.Height);
            }
        }
    } else {
        const bool drawText = !(!screen && PrintOptions.Has(rtIgnoreText)) &&
                              !(MinCharHeight > 0 && a.Height < MinCharHeight);
        if (drawText && HotStyleActive && HotEffect != rteffNone) {
            // The hot effect: a shadow one pixel right and down, then the text lifted or outlined.
            const TColor textColour = c->Font().Color();
            const int32_t p1 = std::max(1, ScreenToDoc(1));
            auto write = [&](int32_t Dx, int32_t Dy, TColor Colour) {
                c->Font().SetColor(Colour);
                WriteRun(c, x + Dx, baseline + Dy, chars.data(), dx.data(), int32_t(chars.size()), false,
                         line->Height);
            };
            write(p1, p1, HotEffectColor);
            if (HotEffect == rteffPopup) {
                write(-p1, -p1, textColour);
                write(0, -p1, textColour);
            } else {
                write(-p1, -p1, HotEffectColor);
                write(0, 0, textColour);
            }
        } else if (drawText) {
            WriteRun(c, x, baseline, chars.data(), dx.data(), int32_t(chars.size()), false, line->Height);
        }
    }
}

// Misspelling strokes, underlines and the debugging run box of a run.
void TRtRTFTextInput::PaintRunStrokes(QPainter* p, TRtLinePaintRecord& Rec, const TAttr& a, int32_t x,
                                      int32_t baseline, int32_t runWidth)
{
    TParagraph* par = Rec.Par;
    TLine* line = Rec.Line;
    const bool screen = Displays();
    const double px = 1.0 / PaintScale();
    // Misspelling strokes.
    if (FontMisSpelled && screen) {
        p->setPen(QPen(QColor(255, 0, 0), px));
        for (double sx = x; sx + 2 * px <= x + runWidth; sx += 3 * px)
            p->drawLine(QPointF(sx + 2 * px, baseline), QPointF(sx - px, baseline + 2 * px));
    }
    if (FontUnderline) {
        double penW = ViewOptions.Has(rtDrawFineUnderlines)
                          ? px
                          : std::abs(FontHeightPx) / (FontDoubleUnderline ? 20.0 : 10.0);
        penW = std::max(penW, px);
        double y = baseline + (screen || FixedResMode ? 2 * px : 2.0 * 15 * Header()->LayoutYRes / 1440);
        if (FontDoubleUnderline)
            y += ScreenToDoc(2) + penW;
        double limit = Rec.Text.Bottom - penW;
        if (!line->Next && (par->BrdLines & (brdBox | brdBottom)))
            limit -= penW;
        y = std::min(y, limit);
        const bool dotted = a.Style.Has(afsHyperLink) && a.Style.Has(afsUnderline);
        TColor colour = Rec.Grey && !ViewOptions.Has(rtDontGrayHeaderFooterInLayout) ? Grey : UnderlineColor;
        p->setPen(QPen(ToQColor(colour), penW, dotted ? Qt::DotLine : Qt::SolidLine, Qt::FlatCap));
        p->drawLine(QPointF(x, y), QPointF(x + runWidth, y));
        if (FontDoubleUnderline)
            p->drawLine(QPointF(x, y - 2 * penW), QPointF(x + runWidth, y - 2 * penW));
    }
    if (ShowRunBoxes) {
        p->setPen(QPen(Qt::black, px));
        p->setBrush(Qt::NoBrush);
        p->drawRect(QRectF(x, Rec.Text.Top, runWidth, Rec.Text.Bottom - Rec.Text.Top));
    }
}

// Formatting marks of tabs and blanks.
void TRtRTFTextInput::PaintFormattingMarks(QPainter* p, TRtLinePaintRecord& Rec, int32_t x, int32_t baseline,
                                           const std::vector<uint8_t>& chars, const std::vector<int32_t>& dx)
{
    if (!ViewOptions.Has(rtShowTAB) && !ViewOptions.Has(rtShowSPC) && !ViewOptions.Has(rtShowHardSPC))
        return;
    TCanvas* c = PaintingCanvas;
    TLine* line = Rec.Line;
    const double px = 1.0 / PaintScale();
    double cx = x;
    const double s = 2 * px;
    p->setPen(QPen(ToQColor(c->Font().Color()), px));
    for (size_t k = 0; k < chars.size(); ++k) {
        const uint8_t ch = chars[k];
        const double w = dx[k];
        if (ch == 9 && ViewOptions.Has(rtShowTAB) && w > 0) {
            const double mid = (Rec.Text.Top + Rec.Text.Bottom) / 2.0;
            const double tip = cx + w * 3 / 4;
            p->drawLine(QPointF(cx + w / 4, mid), QPointF(tip, mid));
            p->drawLine(QPointF(tip, mid), QPointF(tip - s, mid + s));
            p->drawLine(QPointF(tip - s, mid + s), QPointF(tip - s, mid - s));
            p->drawLine(QPointF(tip - s, mid - s), QPointF(tip, mid));
        } else if ((ch == 32 && ViewOptions.Has(rtShowSPC)) || (ch == 160 && ViewOptions.Has(rtShowHardSPC))) {
            const TRtWidthTable* t = CurrentWidths();
            const double normal = t ? t->Widths[32] : w;
            const double centre = w > normal ? cx + normal / 2 : cx + w / 2;
            const double y = baseline - (t ? t->Ascent : line->Base) / 2.0;
            p->fillRect(QRectF(centre, y, px, px), ToQColor(c->Font().Color()));
        }
        cx += w;
    }
}

int32_t TRtRTFTextInput::PaintLineEndMarks(TRtLinePaintRecord& Rec, int32_t X)
{
    TLine* line = Rec.Line;
    TParagraph* par = Rec.Par;
    const bool lastLine = !line->Next;
    const bool lineBreak = line->Length > 0 && line->Chars[line->Length - 1] == 10;
    AnsiString mark;
    AnsiString font;
    bool small = false;
    if (ViewOptions.Has(rtShowCR) && lastLine) {
        if (par->Flags & parfTableCell) {
            mark = "\xA4";
            font = "Arial";
        } else if (par->Next && (par->Next->Flags & parfNewPage)) {
            mark = "\xB6\xAC";
        } else {
            mark = "\xB6";
        }
    } else if (ViewOptions.Has(rtShowNL) && lineBreak) {
        mark = AnsiString(1, char(195));
        font = "WingDings";
        small = true;
    } else if ((line->Flags & linfHyphenated) && (ViewOptions.Has(rtShowCR) || ViewOptions.Has(rtShowNL))) {
        mark = "-";
    }
    if (mark.empty())
        return X;
    TAttr a = line->Length > 0 && Rec.Attrs ? Rec.Attrs[line->Length - 1] : par->ParAttr;
    SelectCharFont(&a, nullptr, nullptr, 0);
    TCanvas* c = PaintingCanvas;
    if (!font.empty()) {
        c->Font().SetName(font);
        c->Font().SetCharset(font == "WingDings" ? SYMBOL_CHARSET : DEFAULT_CHARSET);
    }
    if (small)
        c->Font().SetHeight(c->Font().Height() * 3 / 4);
    c->Font().SetColor(DefaultTextColor);
    c->Brush().SetStyle(bsSolid);
    c->Brush().SetColor(GetPaperColor());
    // After a line feed the mark takes its place.
    int32_t at = X;
    if (lineBreak && Rec.Attrs)
        at -= Rec.Attrs[line->Length - 1].Width;
    DrawTextAt(c, at, mark, Rec.Text, Rec.Baseline);
    return std::max(X, at + c->TextWidth(mark));
}

// ---- borders -------------------------------------------------------------------------------------------------------

TColor TRtRTFTextInput::BorderColour(const TParagraph* Par, int32_t Side) const
{
    // Side 0 left, 1 top, 2 right, 3 bottom; the colour slots are top, bottom, left, right.
    static constexpr int slotOf[4] = {2, 0, 3, 1};
    const int slot = slotOf[Side];
    const std::array<uint8_t, 4>& colours = (Par->Flags & parfTableCell) && Par->Cell ? Par->Cell->BrdColor
                                                                                       : Par->BrdColor;
    int32_t index = 0;
    if (Header()->Colors16) {
        const uint8_t b = colours[size_t(slot / 2)];
        index = slot % 2 == 0 ? (b & 0x0F) : (b >> 4);
    } else {
        index = colours[size_t(slot)];
    }
    if (index == 0)
        return PlainColorMode ? clBlack : DefaultTextColor;
    return GetColorEntry(index);
}

int32_t TRtRTFTextInput::BorderWidth(const TParagraph* Par, bool GreyMode) const
{
    const bool cell = (Par->Flags & parfTableCell) && Par->Cell;
    const uint8_t byte = cell ? Par->Cell->BrdWidth : Par->BrdWidth;
    const bool hairline = (Par->BrdOptions & 2) != 0;
    const int32_t res = Header()->LayoutYRes;
    int32_t w = hairline ? std::max(1, ScreenToDoc(1)) : byte * res / 1440 / 2;
    const bool grid = ViewOptions.Has(rtShowGridlines) && Displays() && !GreyMode && !hairline;
    if (byte == 0 || w < 1 || grid)
        w = std::max(1, DefaultBorderWidth * res / 1440);
    return w;
}

void TRtRTFTextInput::DrawBorderSide(TRtLinePaintRecord& Rec, int32_t Side, bool Draw, TColor Colour, bool Second)
{
    TCanvas* c = PaintingCanvas;
    QPainter* p = c ? c->Painter() : nullptr;
    if (!p)
        return;
    TParagraph* par = Rec.Par;
    TLine* line = Rec.Line;
    const bool firstLine = line == par->Lines;
    const bool lastLine = !line->Next;
    int32_t w = BorderWidth(par, Rec.Grey);
    const double px = 1.0 / PaintScale();
    if (FixedResMode && w > 0 && w < ScreenToDoc(1))
        w = ScreenToDoc(1) + 1;
    const int32_t inset = (Zooming >= 100 || FixedResMode) ? 0 : w;
    const int32_t top = Rec.Text.Top - (firstLine ? line->SpaceAbove : 0);
    const int32_t bottom = Rec.Text.Bottom + (lastLine ? line->SpaceBelow : 0);
    const int32_t left = Rec.LeftX, right = Rec.RightX;
    TColor colour = Colour;
    if (!Draw)
        colour = RtPlatform().SysColor(clBtnFace);
    else if (Rec.Grey && Displays())
        colour = Grey;
    else if (Border3D && Displays())
        colour = (Side == 0 || Side == 1) ? RtPlatform().SysColor(clBtnShadow) : clWhite;
    QRectF r;
    switch (Side) {
    case 0: r = QRectF(left, top, w, bottom - top); break;
    case 1: r = QRectF(left, top, right - left, w); break;
    case 2: r = QRectF(right - w - inset, top, w, bottom - top); break;
    default: r = QRectF(left, bottom - w - inset, right - left, w); break;
    }
    if (Second) {
        const double d = 2.0 * w;
        switch (Side) {
        case 0: r.translate(d, 0); break;
        case 1: r.translate(0, d); break;
        case 2: r.translate(-d, 0); break;
        default: r.translate(0, -d); break;
        }
        if (Side == 0 || Side == 2) {
            if (firstLine)
                r.setTop(r.top() + line->SpaceAbove + w);
            if (lastLine)
                r.setBottom(r.bottom() - line->SpaceBelow - w);
        }
    }
    const bool penLine = (par->BrdOptions & 1) || (Zooming < 100 && !FixedResMode) || Second;
    if (penLine) {
        p->setPen(QPen(ToQColor(colour), std::max<double>(w, px), Qt::SolidLine, Qt::FlatCap));
        if (Side == 0 || Side == 2)
            p->drawLine(QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.bottom()));
        else
            p->drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
    } else {
        p->fillRect(r, ToQColor(colour));
    }
}

void TRtRTFTextInput::PaintBorders(TRtLinePaintRecord& Rec)
{
    TParagraph* par = Rec.Par;
    TLine* line = Rec.Line;
    const bool cell = (par->Flags & parfTableCell) != 0;
    if (!Displays() && PrintOptions.Has(rtIgnoreBorders))
        return;
    const bool firstLine = line == par->Lines;
    const bool lastLine = !line->Next;
    bool sides[4] = {false, false, false, false};
    bool doubled = false;
    if (cell && par->Cell) {
        const uint8_t f = par->Cell->BrdFlags;
        const bool all = (f & celbAll) != 0;
        sides[0] = all || (f & celbLeft);
        sides[2] = all || (f & celbRight);
        sides[1] = firstLine && (all || (f & celbTop));
        sides[3] = lastLine && (all || (f & celbBottom));
        doubled = (f & celbDouble) != 0;
        // A cell below that draws its top takes over the shared edge.
        if (sides[3] && Rec.CellBelow && Rec.CellBelow->Cell && !Rec.RowBelowNewPage) {
            const uint8_t b = Rec.CellBelow->Cell->BrdFlags;
            if ((b & celbAll) || (b & celbTop))
                sides[3] = false;
        }
        if (firstLine && Rec.CellAbove && Rec.CellAbove->Cell) {
            const uint8_t a = Rec.CellAbove->Cell->BrdFlags;
            if ((a & celbAll) || (a & celbBottom))
                sides[1] = true;
        }
    } else if (par->BrdLines & brdPresent) {
        const uint16_t f = par->BrdLines;
        const bool all = (par->BrdOptions & 1) != 0;
        const bool box = (f & brdBox) != 0;
        sides[0] = box || all || (f & brdLeft);
        sides[2] = box || all || (f & brdRight);
        if (lastLine && (box || all || (f & brdBottom))) {
            TParagraph* n = par->Next;
            const bool merge = n && (n->BrdLines & brdPresent) && !(n->Flags & parfNewPage) && n->Lines &&
                               !(n->Lines->Flags & linfPageBreakAfter) && !(f & brdNoBetween) && !box;
            sides[3] = !merge;
        }
        if (firstLine && (box || all || (f & brdTop))) {
            TParagraph* prior = par->Prior;
            const bool merge = prior && (prior->BrdLines & brdPresent) && !(prior->BrdLines & brdNoBetween) &&
                               !box && !(par->Flags & parfNewPage);
            sides[1] = !merge;
        }
        doubled = (f & brdDouble) != 0;
    } else if (!cell) {
        return;
    }
    const bool grid = cell && ViewOptions.Has(rtShowGridlines) && Displays() && !Rec.Grey;
    for (int side = 0; side < 4; ++side) {
        const bool edgeHere = side == 0 || side == 2 || (side == 1 && firstLine) || (side == 3 && lastLine);
        if (sides[side]) {
            DrawBorderSide(Rec, side, true, BorderColour(par, side), false);
            if (doubled)
                DrawBorderSide(Rec, side, true, BorderColour(par, side), true);
        } else if (grid && edgeHere) {
            DrawBorderSide(Rec, side, false, 0, false);
        }
    }
    // Bar tabs.
    if (par->BrdOptions & 64) {
        QPainter* p = PaintingCanvas->Painter();
        if (!p)
            return;
        const int32_t bw = BorderWidth(par, Rec.Grey);
        p->setPen(QPen(Qt::black, 1.0 / PaintScale()));
        if (!sides[3])
            p->drawLine(QPointF(Rec.LeftX, Rec.Text.Bottom - 1), QPointF(Rec.RightX, Rec.Text.Bottom - 1));
        const TTextHeader* h = Header();
        for (int k = 0; k < 64; ++k) {
            if (!(par->BarTabs & (uint64_t(1) << k)))
                continue;
            const int32_t tx = h->Tabs[size_t(k)].PixPos + LeftX + CanvasLeft - h->LayoutXRes / 25;
            if (tx <= Rec.LeftX || tx >= Rec.RightX)
                continue;
            p->drawLine(QPointF(tx, Rec.Text.Top + (sides[1] ? bw : 0)),
                        QPointF(tx, Rec.Text.Bottom - (sides[3] ? bw : 0)));
        }
    }
}

// ---- header and footer in the page gap -----------------------------------------------------------------------------

bool TRtRTFTextInput::ShowsSpecialText(TParagraph* Par, TLine* Line, bool IsHeader) const
{
    if (CompactView)
        return false;
    if (IsHeader)
        return HeadersInGap && Line->SpaceAbove > 0;
    return FootersInGap && Line->SpaceBelow > 0 && (LayoutFlags & lfPageLayoutView) && EndsPage(Par, Line);
}

void TRtRTFTextInput::RepaintEditedSpecialCopies()
{
    const TRtSpecialTextProperty* item = EditedSpecialText;
    if (!item)
        return;
    for (TParagraph* p = FirstPar; p; p = p->Next)
        for (TLine* l = p->Lines; l; l = l->Next)
            if (ShowsSpecialText(p, l, item->Kind == rtIsHeader))
                RepaintLine(p, l);
}

void TRtRTFTextInput::PaintHeaderFooter(TLine* Line, TRtLinePaintRecord& Rec, bool IsHeader)
{
    const int32_t page = Line->PageNr;
    if (PrintHeaderFooter == rtrNever || (PrintHeaderFooter == rtrNotOnFirstPage && page == 0) ||
        (PrintHeaderFooter == rtrOnlyOnFirstPage && page != 0))
        return;
    TRtSpecialTextProperty* item =
        GetHeaderFooterForPage(page, IsHeader ? rtIsHeader : rtIsFooter, IsLastPage(page));
    if (!item || item->IsEmpty())
        return;
    const int32_t height = item->CalcHeight();
    TRtLinePaintRecord saved = Rec;
    Rec.Grey = true;
    Rec.AreaFlags = afText | afParLeft | afParRight;
    int32_t top = 0;
    const TTextHeader* h = Header();
    if (IsHeader) {
        top = Line->Top - TopY + CanvasTop - height;
    } else {
        const int32_t pageBottom = Line->Top + Line->Height + Line->SpaceBelow;
        const int32_t footer = TwipsToLayoutY(h->MarginFooter());
        const int32_t margin = TwipsToLayoutY(h->BottomMargin());
        top = pageBottom - footer - std::max(margin - footer, height) - TopY + CanvasTop;
        TRtLinePaintRecord gap = saved;
        gap.AreaFlags = afFooter;
        gap.SpaceAfter.Bottom = std::min(gap.SpaceAfter.Bottom, top);
        PaintContent(gap);
    }
    const int32_t savedLeft = CanvasLeft;
    PaintSpecialText(item, LeftX + CanvasLeft, top, page, true);
    CanvasLeft = savedLeft;
    Rec = saved;
    Rec.Grey = false;
    if (!IsHeader)
        Rec.SpaceAfter.Top = top + height;
}

void TRtRTFTextInput::PaintSpecialText(TRtSpecialTextProperty* Item, int32_t X, int32_t Y, int32_t Page, bool Grey)
{
    // What painting the item changes for its duration: the painting position and page, and the
    // page data of each line in turn.
    struct TRestore {
        TRtRTFTextInput& E;
        int32_t LeftX = E.LeftX, CanvasLeft = E.CanvasLeft, PaintingPage = E.PaintingPage;
        TLine* Line = nullptr;
        uint16_t SpaceAbove = 0, SpaceBelow = 0, PageNr = 0;
        void Take(TLine* L)
        {
            Put();
            Line = L;
            SpaceAbove = L->SpaceAbove;
            SpaceBelow = L->SpaceBelow;
            PageNr = L->PageNr;
        }
        void Put()
        {
            if (Line) {
                Line->SpaceAbove = SpaceAbove;
                Line->SpaceBelow = SpaceBelow;
                Line->PageNr = PageNr;
            }
            Line = nullptr;
        }
        ~TRestore()
        {
            Put();
            E.LeftX = LeftX;
            E.CanvasLeft = CanvasLeft;
            E.PaintingPage = PaintingPage;
        }
    } restore{*this};
    LeftX = 0;
    CanvasLeft = X;
    PaintingPage = Page;
    // An item edited in the body's place lends the text its chain, laid out as the body: that
    // layout is not the painter's to change.
    const bool ownChain = !Item->Editing();
    if (ownChain)
        ReformatText(Item->Paragraphs());
    int32_t y = Y;
    for (TParagraph* p = Item->Paragraphs(); p; p = p->Next) {
        for (TLine* l = p->Lines; l; l = l->Next) {
            TRtLinePaintRecord r;
            r.Par = p;
            r.Line = l;
            r.Grey = Grey;
            r.PageNr = Page;
            restore.Take(l);
            l->PageNr = uint16_t(std::clamp(Page, 0, 65535));
            l->SpaceAbove = l->SpaceBelow = 0;
            // Fields such as the page number take their text for this page.
            if (ownChain)
                UpdateFieldWidths(p, l);
            CalcLineRects(r, l, p, y);
            r.RunStart = LineStartX(p, l) + CanvasLeft;
            r.Baseline = y + l->Base;
            r.Attrs = l->Attrs;
            if (!r.Attrs) {
                r.TempAttrs.assign(size_t(l->Length) + 1, CurrentAttr);
                r.Attrs = r.TempAttrs.data();
            }
            PaintContent(r);
            y += l->Height;
        }
    }
}
