#include "RtRtfTxtIo.h"

#include "RtHeaderFooter.h"
#include "RtList.h"

#include <algorithm>
#include <map>
#include <vector>

namespace {

bool IsCell(const TParagraph* P) { return P && (P->Flags & parfTableCell); }
bool IsSkipped(const TParagraph* P) { return P->Flags & (parfSkip1 | parfSkip2); }
bool IsKWN(const TParagraph* P) { return P && (P->Flags & parfKeepWithNext); }
bool VAligned(const TParagraph* P) { return P->Flags & (parfCellVCenter | parfCellVBottom); }
// A cell that is neither continued nor continuing: a row of its own.
bool AloneInRow(const TParagraph* P) { return !(P->Flags & (parfNotFirstCell | parfNotLastCell)); }
int32_t Clamp16(int32_t V) { return std::clamp(V, 0, 65535); }
// The spaces a paragraph's lines take: a table cell's come from the row's layout,
// the stored ones of a vertically aligned cell give way to its alignment.
int16_t SpaceBeforeOf(const TParagraph* P) { return IsCell(P) && VAligned(P) ? P->CellSpaceAbove : P->SpaceBefore; }
int16_t SpaceAfterOf(const TParagraph* P) { return IsCell(P) ? P->CellFree : P->SpaceAfter; }

} // namespace

// ---- geometry -----------------------------------------------------------------------------------

int32_t TRtRTFTextIo::GetIndentLeftPix(TParagraph* Par, TLine* Line)
{
    if (IgnoreIndents || InfiniteWidth || !Par)
        return 0;
    int32_t tw = Par->IndentLeft;
    if (Line == Par->Lines && Par->Number == 0)
        tw += Par->IndentFirst;
    return MulDiv(tw, Header()->XRes, 1440);
}

int32_t TRtRTFTextIo::GetIndentRightPix(TParagraph* Par)
{
    if (!Par)
        return 0;
    if (Par->IndentRight < 0)
        Par->IndentRight = 0;
    return MulDiv(Par->IndentRight, Header()->XRes, 1440);
}

int32_t TRtRTFTextIo::TextLeftPix()
{
    // Wrapped at the window, the window is the text's width: the page margins stay off screen.
    return TextLeftOffset + (WrapAtWindow ? 0 : Header()->PixLeftMargin);
}

void TRtRTFTextIo::GetCellPosition(TParagraph* Par, int32_t& X, int32_t& W)
{
    TTextHeader* h = Header();
    const int32_t pageLeft = TextLeftPix();
    if (!IsCell(Par) || !Par->Cell) {
        X = pageLeft;
        W = h->PixTextWidth;
        return;
    }
    int32_t l = 0, r = 0;
    TableList()->GetTableLeftRight(Par->Cell->TableId, l, r);
    const int64_t avail = int64_t(h->PageWidth() - h->LeftMargin() - h->RightMargin()) - l - r;
    const int32_t xTw = int32_t(avail * Par->Cell->Left / 255) + l;
    const int32_t rTw = int32_t(avail * (Par->Cell->Left + Par->Cell->Width) / 255) + l;
    const int32_t indent = TablesWithoutMargin ? 0 : TableIndent;
    X = MulDiv(xTw, h->XRes, 1440) + pageLeft + indent;
    W = MulDiv(rTw, h->XRes, 1440) - MulDiv(xTw, h->XRes, 1440);
}

int32_t TRtRTFTextIo::GetParLeftPix(TParagraph* Par, bool NoNumbering)
{
    if (InfiniteWidth)
        return 0;
    TTextHeader* h = Header();
    int32_t x = TextLeftPix();
    if (IsCell(Par) && Par->Cell) {
        int32_t w = 0;
        GetCellPosition(Par, x, w);
    }
    if (Par && Par->BrdSpace && ((Par->BrdLines & brdPresent) || IsCell(Par)) && !NoBorderDistance && !NoNumbering)
        x += MulDiv(Par->BrdSpace * 72, h->XRes, 1440);
    x = std::max(x, 0);
    if (ShiftLeft)
        x -= 5000;
    return x;
}

int32_t TRtRTFTextIo::GetParRightPix(TParagraph* Par, bool Raw)
{
    if (InfiniteWidth)
        return 2147483647;
    TTextHeader* h = Header();
    int32_t x = TextLeftPix() + h->PixTextWidth;
    if (IsCell(Par) && Par->Cell) {
        int32_t left = 0, w = 0;
        GetCellPosition(Par, left, w);
        x = left + w - (Raw ? 0 : MulDiv(CellPadding, h->XRes, 1440));
    }
    // The border distance keeps the text inside the border on this side too.
    if (Par && Par->BrdSpace && ((Par->BrdLines & brdPresent) || IsCell(Par)) && !NoBorderDistance && !Raw)
        x -= MulDiv(Par->BrdSpace * 72, h->XRes, 1440);
    return std::max(x, 0);
}

bool TRtRTFTextIo::GetObjectWrapSpace(TParagraph* Par, int32_t Y, int32_t& RightX, int32_t& LeftIndent,
                                      int32_t Height)
{
    LeftIndent = 0;
    bool any = false;
    TTextHeader* h = Header();
    int32_t budget = WrapSearchDistance;
    for (TParagraph* p = Par; p && budget > 0; p = p->Prior) {
        for (TLine* l = p->Lines; l; l = l->Next)
            budget -= l->Height + l->SpaceAbove + l->SpaceBelow;
        if (!(p->Flags & parfHasFloating) || !p->Lines || !p->Lines->Attrs)
            continue;
        for (TLine* l = p->Lines; l; l = l->Next) {
            for (int32_t i = 0; l->Attrs && i <= l->Length; ++i) {
                TAttr& a = l->Attrs[i];
                if (!a.Style.Has(afsIsObject))
                    continue;
                TTextObj* ref = ObjRefList()->GetTextObj(int32_t(a.Tag));
                if (!ref) {
                    a.Style.Exclude(afsIsObject);
                    continue;
                }
                if (ref->Kind != 1 || ref->WrapMode == 3 || !ref->Object)
                    continue;
                any = true;
                const int32_t top = MulDiv(ref->Y, h->YRes, 1440) + p->Lines->Top;
                const int32_t height = MulDiv(ref->Height, h->YRes, 1440);
                if (!(top <= Y + Height && Y <= top + height))
                    continue;
                const int32_t textW = h->PageWidth() - h->LeftMargin() - h->RightMargin();
                if (ref->WrapMode == 1 || (ref->WrapMode == 0 && ref->X < textW - (ref->X + ref->Width))) {
                    const int32_t indent = MulDiv(ref->X + ref->Width - Par->IndentLeft + 50, h->XRes, 1440);
                    if (indent > 0)
                        LeftIndent = std::max(LeftIndent, indent);
                } else if (RightX > 0) {
                    RightX = std::min(RightX, GetParLeftPix(Par, false) + MulDiv(ref->X - 50, h->XRes, 1440));
                }
            }
        }
    }
    return any;
}

int32_t TRtRTFTextIo::GetLineObjectIndent(TParagraph* Par, TLine* Line)
{
    if (!Par || !Line || IsCell(Par) || Par->Align == paralCenter || Par->Align == paralRight)
        return 0;
    int32_t right = 0, left = 0;
    GetObjectWrapSpace(Par, Line->Top, right, left, Line->Height);
    return left;
}

// ---- tabs and justification ---------------------------------------------------------------------

namespace {
// The width of the text after the tab at Pos, summed until a tab, a line end
// (unless Centre), the Decimal character or a closing one (when DecimalStop) or
// Limit is passed.
int32_t WidthAfterTab(TLine* Line, int32_t Pos, bool DecimalStop, char Decimal, bool Centre, int32_t Limit)
{
    int32_t sum = 0;
    TLine* l = Line;
    int32_t i = Pos + 1;
    while (l) {
        if (i >= l->Length) {
            l = l->Next;
            i = 0;
            continue;
        }
        const uint8_t ch = l->Chars[i];
        if (ch == 0 || ch == 9 || (!Centre && ch == 10))
            break;
        if (DecimalStop && (ch == uint8_t(Decimal) || ch == ')' || ch == ']' || ch == '}' || ch == '>'))
            break;
        sum += l->Attrs ? l->Attrs[i].Width : 0;
        if (Centre ? sum >= Limit : sum > Limit)
            break;
        ++i;
    }
    return sum;
}
} // namespace

int32_t TRtRTFTextIo::HangingTabStop(TParagraph* Par, TLine* Line, int32_t Pos, int32_t X)
{
    if (Line != Par->Lines || Par->IndentFirst >= 0 || NoHangingTabs)
        return -1;
    const int32_t hang = Par->IndentLeft ? MulDiv(Par->IndentLeft, Header()->XRes, 1440) : 0;
    for (int32_t i = 0; i < Pos && i < Line->Length; ++i)
        if (Line->Chars[i] == 9)
            return -1;
    return hang < X ? -1 : hang;
}

int32_t TRtRTFTextIo::GetTabWidth(TParagraph* Par, TLine* Line, int32_t Pos, int32_t X)
{
    CurrentTabKind = 0;
    AlignedTab = false;
    TTextHeader* h = Header();
    // A hanging indent is an extra stop for the first tab of the first line.
    const int32_t hang = HangingTabStop(Par, Line, Pos, X);
    const int32_t rightEdge = GetParRightPix(Par, false) - GetIndentRightPix(Par) - GetParLeftPix(Par, false);
    const char decimal = h->DecimalTabChar ? h->DecimalTabChar
                       : RtDecimalSeparator                  ? RtDecimalSeparator
                                                             : FormatSettings().DecimalSeparator;

    int32_t result = -1;
    for (int k = 0; k < 64 && result < 0; ++k) {
        const int index = h->TabOrder[size_t(k)];
        const TRtTabEntry& e = h->Tabs[size_t(index)];
        if (e.PixPos == 0 || !(Par->Tabs & (uint64_t(1) << index)) || e.PixPos <= X)
            continue;
        const int32_t s = e.PixPos;
        if (hang >= 0 && hang <= s) {
            if (hang > X) {
                result = hang;
                break;
            }
        }
        if (s > rightEdge) {
            // The stop is unusable: the default grid applies.
            if (ViewOptions.Has(rtDontIgnoreTabsInRightMargin))
                break;
            result = X;
            break;
        }
        int32_t r = s;
        switch (e.Kind) {
        case 1:
        case 3: {
            AlignedTab = true;
            const int32_t room = s - X;
            const int32_t sum = WidthAfterTab(Line, Pos, e.Kind == 3, decimal, false, room);
            // Text wider than the room leaves the tab without width.
            r = sum > room ? X : s - sum;
            break;
        }
        case 2: {
            const int32_t sum = WidthAfterTab(Line, Pos, false, decimal, true, 2 * (s - X));
            r = std::max(s - sum / 2, X);
            break;
        }
        default:
            break;
        }
        CurrentTabKind = e.Kind == 4 ? 0 : e.Kind;
        // Right, centre and decimal text that does not fit starts where the tab starts.
        if (r > X)
            result = r;
        else if (e.Kind >= 1 && e.Kind <= 3)
            result = X;
    }
    if (result >= 0)
        return result;
    if (hang >= 0 && hang > X) {
        CurrentTabKind = 0;
        return hang;
    }
    const int32_t d = h->PixDefaultTab;
    if (d != 0)
        return (X + d) / d * d;
    return X;
}

void TRtRTFTextIo::AlignLines(TParagraph* Par)
{
    if (!Par || !Par->Lines || !Par->Lines->Attrs)
        return;
    const int32_t parLeft = GetParLeftPix(Par, false);
    const int32_t right = GetParRightPix(Par, false) - GetIndentRightPix(Par);
    const bool tabsAlign = Par->Align != paralCenter && Par->Align != paralRight;
    const bool noWrap = Par->Flags & parfNoWrap;
    for (TLine* line = Par->Lines; line; line = line->Next) {
        if (!line->Attrs)
            continue;
        const int32_t l = parLeft + GetLineStartOffset(Par, line) + GetIndentLeftPix(Par, line)
            + GetLineObjectIndent(Par, line);
        const int32_t avail = right - l;
        int32_t x = 0, blanks = 0, blankW = 0, n = 0, w = 0, from = 0;
        bool beyond = false;
        for (int32_t i = 0; i < line->Length; ++i) {
            TAttr& a = line->Attrs[i];
            if (noWrap && (beyond || x > avail)) {
                beyond = true;
                a.Width = 0;
                continue;
            }
            const uint8_t ch = line->Chars[i];
            if (ch == 9 && tabsAlign) {
                const int32_t start = l - parLeft + x;
                a.Width = uint16_t(Clamp16(GetTabWidth(Par, line, i, start) - start));
                blanks = blankW = n = w = 0;
                from = i + 1;
            } else if (ch == 10) {
                a.Width = 0;
                blanks = blankW = n = w = 0;
                from = 0;
            } else if (ch == 32) {
                ++blanks;
                blankW += a.Width;
            } else if (blanks > 0) {
                n = blanks;
                w = blankW;
            }
            x += a.Width;
        }
        if (Par->Align == paralBlock && (line->Next || (Par->Flags & parfJustifyLastLine)) && n >= 2) {
            const int32_t s = std::max(w + avail - x, 0);
            line->JustifyFrom = uint16_t(from);
            line->JustifyExtra = uint16_t(Clamp16(s / n));
            line->JustifyRest = uint16_t(s % n);
        } else {
            line->JustifyFrom = 0;
            line->JustifyExtra = 0;
            line->JustifyRest = 0;
        }
    }
}

// ---- line metrics -------------------------------------------------------------------------------

int32_t TRtRTFTextIo::LineSpacingGrowth(TParagraph* Par, int32_t Height)
{
    if (Par->SpaceBetween == 0)
        return 0;
    if (Par->Flags & parfMultSpaceBetween)
        return std::max(MulDiv(std::max<int32_t>(Par->SpaceBetween, 240), Height, 240) - Height, 0);
    const int32_t sb = MulDiv(std::abs(Par->SpaceBetween), Header()->YRes, 1440);
    return Par->SpaceBetween > 0 ? std::max(sb - Height, 0) : sb - Height;
}

bool TRtRTFTextIo::LineTextMetrics(TParagraph* Par, TLine* Line, int32_t& Height, int32_t& Base)
{
    TTextHeader* hd = Header();
    bool selected = false;
    if (Par->Flags & (parfObjectPar | parfObjectPar2)) {
        Height = Base = MulDiv(FixedLineHeight, hd->YRes, 1440);
    } else if (hd->RichText == 0 || !Line->Attrs) {
        GetFontMetrics(Height, Base);
    } else if (Line->Length == 0) {
        if (Par->ParAttr.Font != 0 && Par->ParAttr.TextColor != 255) {
            if (!NoAttrFontSelect) {
                SelectAttrFont(Par->ParAttr);
                selected = true;
            }
            GetFontMetrics(Height, Base);
        } else if (IsCell(Par)) {
            Height = Base = DefaultCellLineHeight < 0 ? 16 : DefaultCellLineHeight;
        } else {
            GetFontMetrics(Height, Base);
        }
    } else {
        int32_t descent = 0;
        for (int32_t i = 0; i < Line->Length; ++i) {
            const TAttr& a = Line->Attrs[i];
            if (Line->Chars[i] == 32 || a.Style.Has(afsHidden))
                continue;
            Height = std::max<int32_t>(Height, a.Height);
            descent = std::max<int32_t>(descent, a.Height - a.Base);
        }
        if (Height < 1)
            GetFontMetrics(Height, Base);
        else
            Base = Height - descent;
    }
    return selected;
}

void TRtRTFTextIo::ApplyLineSpacing(TParagraph* Par, int32_t& Height, int32_t& Base)
{
    TTextHeader* hd = Header();
    if (Par->Flags & parfMultSpaceBetween) {
        if (Par->SpaceBetween < 240)
            Par->SpaceBetween = 240;
        const int32_t nh = MulDiv(Par->SpaceBetween, Height, 240);
        if (nh > Height) {
            if (ViewOptions.Has(rtCenterLinesVertically))
                Base += (nh - Height) / 2;
            Height = nh;
        }
    } else if (Par->SpaceBetween != 0) {
        const int32_t sb = MulDiv(std::abs(Par->SpaceBetween), hd->YRes, 1440);
        if (Par->SpaceBetween < 0 || sb > Height) {
            if (ViewOptions.Has(rtCenterLinesVertically))
                Base += (sb - Height) / 2;
            Height = sb;
            Height = std::max(Height, 0);
            Base = std::clamp(Base, 0, std::max(Height, 0));
        }
    }
}

void TRtRTFTextIo::AddBorderDistance(TParagraph* Par, TLine* Line, int32_t& Height, int32_t& Base)
{
    TTextHeader* hd = Header();
    const bool singleEmpty = !IsCell(Par) && !Line->Prior && !Line->Next && Line->Length == 0;
    if ((Par->BrdLines & brdPresent) && Par->BrdSpace > 0 && !NoBorderDistance && !singleEmpty) {
        const int32_t d = MulDiv(Par->BrdSpace * 72, hd->YRes, 1440);
        const uint16_t bits = uint16_t(Par->BrdLines & ~brdNoBetween);
        if (!Line->Prior && (Par->BrdLines & (brdTop | brdBox))) {
            const TParagraph* prev = Par->Prior;
            const bool joined = prev && !IsCell(Par) && !(prev->BrdLines & brdNoBetween)
                && uint16_t(prev->BrdLines & ~brdNoBetween) == bits;
            if (!joined) {
                Height += d;
                Base += d;
            }
        }
        if (!Line->Next && (Par->BrdLines & (brdBottom | brdBox))) {
            const TParagraph* next = Par->Next;
            const bool joined = next && !IsCell(Par) && !(Par->BrdLines & brdNoBetween)
                && uint16_t(next->BrdLines & ~brdNoBetween) == bits;
            if (!joined)
                Height += d;
        }
    }
}

bool TRtRTFTextIo::CalcLineHeight(TParagraph* Par, TLine* Line)
{
    const uint16_t oldHeight = Line->Height;
    if (IsSkipped(Par)) {
        Line->Height = 0;
        return true;
    }
    TTextHeader* hd = Header();
    int32_t h = 0, b = 0;
    const bool selected = LineTextMetrics(Par, Line, h, b);
    ApplyLineSpacing(Par, h, b);
    if (!Line->Prior) {
        const int32_t before = MulDiv(SpaceBeforeOf(Par), hd->YRes, 1440);
        h = std::max(h + before, 0);
        b = std::max(b + before, 0);
    }
    if (!Line->Next) {
        const int16_t after = IsCell(Par) && AloneInRow(Par) && Par->CellFree == 0 ? SpaceBeforeOf(Par) : SpaceAfterOf(Par);
        h = std::max(h + MulDiv(after, hd->YRes, 1440), 0);
    }
    // Border distance: a run of equally bordered paragraphs is framed as one block.
    AddBorderDistance(Par, Line, h, b);
    Line->Height = uint16_t(Clamp16(h));
    Line->Base = uint16_t(Clamp16(b));
    return Line->Height != oldHeight || selected;
}

// ---- page layout ---------------------------------------------------------------------------------

int32_t TRtRTFTextIo::AvailableHeight(int32_t PageIndex)
{
    TTextHeader* h = Header();
    int32_t pageH = h->PageHeight(), margT = h->TopMargin(), margB = h->BottomMargin();
    if (OnMeasurePage)
        OnMeasurePage(this, PageIndex, pageH, margT, margB);
    const int32_t r = h->Landscape() ? h->XRes : h->YRes;
    const THFRecord& rec = PageIndex == 0 ? hf_[0] : (!LastPageHeader && PageIndex % 2 == 0 ? hf_[1] : hf_[2]);
    return MulDiv(pageH - margT - margB, r, 1440) - rec.HeaderHeight - rec.FooterHeight;
}

// What the first layout pass carries from paragraph to paragraph.
struct TRtRTFTextIo::TPageFlow {
    bool Body = false;
    bool Breaks = false;    // page breaks are placed
    int32_t Y = 0, PageTop = 0, Page = 0;
    int32_t Avail = 0;
    TParagraph* Chain = nullptr;    // the open keep-with-next chain
    TParagraph* RowFirst = nullptr;
    int32_t RowHeight = 0;
    TParagraph* KeptTable = nullptr;
    bool Released = false;
};

int32_t TRtRTFTextIo::ReformatText(TParagraph* StartPar)
{
    // The owner hears of the outermost pass, its end also when an exception passes.
    const bool outermost = !InReformat;
    if (outermost && OnReformat)
        OnReformat(this, true);
    InReformat = true;
    int32_t y = 0;
    try {
        y = LayOutText(StartPar);
    } catch (...) {
        InReformat = !outermost;
        if (outermost && OnReformat)
            OnReformat(this, false);
        throw;
    }
    InReformat = !outermost;
    if (outermost && OnReformat)
        OnReformat(this, false);
    return y;
}

int32_t TRtRTFTextIo::LayOutText(TParagraph* StartPar)
{
    if (LayoutLocked || Loading)
        return 0;

    TTextHeader* hd = Header();
    const bool body = StartPar == nullptr;
    // Header and footer records of the first, odd (or last) and even (or middle) pages;
    // a separate chain is laid out without them and leaves the body's records alone.
    struct TKeepRecords {
        TRtRTFTextIo* T;
        std::array<THFRecord, 3> Records;
        bool LastPage;
        bool Active;
        ~TKeepRecords()
        {
            if (Active) {
                T->hf_ = Records;
                T->LastPageHeader = LastPage;
            }
        }
    } keep{this, hf_, LastPageHeader, !body};
    hf_ = {};
    LastPageHeader = false;
    if (body)
        EditedSpecialTextWasEmpty = EditedSpecialText && EditedSpecialText->IsEmpty();
    if (body && PrintHeaderFooter != rtrNever && !NoPages)
        FindHeadersAndFooters();
    const int32_t halfGap = (LayoutFlags & (rtlmPageView | rtlmPageEnds)) ? MulDiv(hd->PageGap / 2, hd->YRes, 1440) : 0;
    TParagraph* first = body ? FirstPar : StartPar;
    if (body && first)
        first->Flags &= ~parfNewPage;

    const int32_t y = LayOutParagraphs(first, body);
    if (!body || SkipNumbering)
        return y;
    if (LayoutFlags == 0)
        NumberPages();
    else
        NumberAndSpacePages(halfGap);
    AlignCellsVertically();
    return y;
}

// The header and footer records of the body's pages, with the heights of their texts.
void TRtRTFTextIo::FindHeadersAndFooters()
{
    TTextHeader* hd = Header();
    auto find = [&](TRtPagePropertyRange R, TRtPagePropertyKind K) { return FindHeaderFooter(R, K); };
    for (THFRecord& r : hf_) {
        r.Header = find(rtraOnAllPages, rtIsHeader);
        r.Footer = find(rtraOnAllPages, rtIsFooter);
    }
    if (PrintHeaderFooter == rtrNotOnFirstPage) {
        hf_[0].Header = hf_[0].Footer = nullptr;
    } else {
        if (auto* t = find(rtraOnFirstPage, rtIsHeader))
            hf_[0].Header = t;
        if (auto* t = find(rtraOnFirstPage, rtIsFooter))
            hf_[0].Footer = t;
    }
    if (PrintHeaderFooter == rtrOnlyOnFirstPage) {
        hf_[1].Header = hf_[1].Footer = hf_[2].Header = hf_[2].Footer = nullptr;
    } else if (find(rtraOnLastPage, rtIsHeader) || find(rtraOnLastPage, rtIsFooter)) {
        LastPageHeader = true;
        auto take = [](TRtSpecialTextProperty*& Slot, TRtSpecialTextProperty* T) {
            if (T)
                Slot = T;
        };
        take(hf_[1].Header, find(rtraOnLastPage, rtIsHeader));
        take(hf_[1].Footer, find(rtraOnLastPage, rtIsFooter));
        take(hf_[2].Header, find(rtraNotOnFirstAndLastPages, rtIsHeader));
        take(hf_[2].Footer, find(rtraNotOnFirstAndLastPages, rtIsFooter));
    } else {
        if (auto* t = find(rtraOnOddPages, rtIsHeader))
            hf_[1].Header = t;
        if (auto* t = find(rtraOnOddPages, rtIsFooter))
            hf_[1].Footer = t;
        if (auto* t = find(rtraOnEvenPages, rtIsHeader))
            hf_[2].Header = t;
        if (auto* t = find(rtraOnEvenPages, rtIsFooter))
            hf_[2].Footer = t;
    }
    std::map<TRtSpecialTextProperty*, int32_t> heights;
    auto textHeight = [&](TRtSpecialTextProperty* T) {
        auto it = heights.find(T);
        if (it != heights.end())
            return it->second;
        const int32_t v = T->Paragraphs() ? ReformatText(T->Paragraphs()) : 0;
        heights.emplace(T, v);
        return v;
    };
    for (THFRecord& r : hf_) {
        if (r.Header && !r.Header->IsEmpty()) {
            r.HeaderHeight = MulDiv(hd->MarginHeader(), hd->YRes, 1440) + textHeight(r.Header);
            if (hd->PrintHeaderFooterInPageMargins)
                r.HeaderHeight = std::max(r.HeaderHeight - hd->PixTopMargin, 0);
        }
        if (r.Footer && !r.Footer->IsEmpty()) {
            r.FooterHeight = MulDiv(hd->MarginFooter(), hd->YRes, 1440) + textHeight(r.Footer);
            if (hd->PrintHeaderFooterInPageMargins)
                r.FooterHeight = std::max(r.FooterHeight - hd->PixBottomMargin, 0);
        }
    }
}

// First pass: the lines' positions and the page breaks; returns the chain's height.
int32_t TRtRTFTextIo::LayOutParagraphs(TParagraph* First, bool Body)
{
    TPageFlow f;
    f.Body = Body;
    f.Breaks = !NoPageBreaks && Body;
    f.Avail = AvailableHeight(0);
    for (TParagraph* p = First; p; p = p->Next) {
        StartFlowParagraph(f, p);
        const bool isCell = IsCell(p);
        const int32_t h = LayOutParLines(f, p, isCell);
        if (!isCell) {
            f.Y += h;
        } else if (!(p->Flags & parfNotLastCell)) {
            FinishTableRow(f, p, h);
        } else {
            f.RowHeight = std::max(f.RowHeight, h);
            p->CellFree = int16_t(std::min(h, 32767));
        }
        for (TRtParObject* o = p->Objects; o; o = o->Next) {
            o->Top = p->Lines ? p->Lines->Top : f.Y;
            o->Bottom = f.Y;
        }
    }
    return f.Y;
}

// Opens a forced page, follows keep-with-next chains and table rows, and mends cell flags
// that have no row around them.
void TRtRTFTextIo::StartFlowParagraph(TPageFlow& F, TParagraph* p)
{
    const bool cell = IsCell(p);
    if ((p->Flags & parfNewPage) && p->Prior && F.Body && !NoPages) {
        ++F.Page;
        F.PageTop = F.Y;
        F.Avail = AvailableHeight(F.Page);
        F.Chain = nullptr;
    }
    if (!cell) {
        if (IsKWN(p) && (!p->Prior || !IsKWN(p->Prior) || !F.Chain))
            F.Chain = p;
        else if (!IsKWN(p) && !(p->Prior && IsKWN(p->Prior)))
            F.Chain = nullptr;
    } else {
        if ((p->Flags & parfNotLastCell) && (!p->Next || !(p->Next->Flags & parfNotFirstCell))) {
            p->Flags &= ~(parfNotLastCell | parfTableCell);
        }
        if ((p->Flags & parfNotFirstCell) && (!p->Prior || !(p->Prior->Flags & parfNotLastCell)))
            p->Flags &= ~parfNotFirstCell;
        if (!(p->Flags & parfNotFirstCell) && (p->Flags & parfNotLastCell)) {
            F.RowHeight = 0;
            F.RowFirst = p;
            if (IsKWN(p) && !F.Chain)
                F.Chain = p;
        }
        p->CellFree = 0;
    }
    if (!IsCell(p) && (p->Flags & (parfNotFirstCell | parfNotLastCell)))
        p->Flags &= ~(parfNotFirstCell | parfNotLastCell);
    if (KeepTableRowsTogether) {
        if (!IsCell(p)) {
            F.KeptTable = nullptr;
            F.Released = false;
        } else if (!F.KeptTable && !F.Released) {
            F.KeptTable = p;
            if (!p->Prior)
                F.Released = true;
        }
    }
}

// Places the paragraph's lines from F.Y and breaks the page before a line that does not fit;
// returns the paragraph's height.
int32_t TRtRTFTextIo::LayOutParLines(TPageFlow& F, TParagraph* p, bool IsCellPar)
{
    int32_t h = 0;
    for (TLine* line = p->Lines; line; line = line->Next) {
        line->Top = F.Y + h;
        line->SpaceAbove = line->SpaceBelow = 0;
        if (!FrozenPageBreaks)
            line->Flags &= uint16_t(~linfPageStart);
        if (IsSkipped(p)) {
            line->Height = 0;
            continue;
        }
        if (!IsCellPar) {
            if (F.Breaks && line->Top + line->Height - F.PageTop > F.Avail) {
                int32_t extra = 0;
                if (p->SpaceBetween != 0 && line->Attrs) {
                    int32_t maxH = 0;
                    for (int32_t i = 0; i < line->Length; ++i)
                        maxH = std::max<int32_t>(maxH, line->Attrs[i].Height);
                    extra = LineSpacingGrowth(p, maxH);
                }
                if (line->Top + line->Height - F.PageTop - extra > F.Avail) {
                    const bool chainOpen = F.Chain && F.Chain != p;
                    TLine* at = line;
                    if (!chainOpen) {
                        const bool keep = p->Flags & (parfKeepTogether | parfKeepWithNext);
                        if (keep && !(p->Lines->Flags & linfPageStart) && p->Lines->Top > F.PageTop)
                            at = p->Lines;
                    } else {
                        at = WidowBreakLine(F, line, nullptr);
                    }
                    if (at->Top <= F.PageTop)
                        at = line;
                    BreakPageBefore(F, at);
                }
            }
        } else {
            if (VAligned(p))
                p->CellSpaceAbove = 0;
            if (!line->Next && !(KeepCellLineHeights && line->Height != 0))
                CalcLineHeight(p, line);
            if (F.Breaks && AloneInRow(p) && line->Top + line->Height - F.PageTop > F.Avail && p->Lines->Top > F.PageTop)
                BreakPageBefore(F, p->Lines);
        }
        h += line->Height;
    }
    return h;
}

// Ends a table row at its last cell p: the row's height, a page break before the row when it
// does not fit, and the cells' free space below their text.
void TRtRTFTextIo::FinishTableRow(TPageFlow& F, TParagraph* p, int32_t h)
{
    TTextHeader* hd = Header();
    F.RowHeight = std::max(F.RowHeight, h);
    if (!VAligned(p) && !IsSkipped(p) && p->SpaceBefore > 0 && p != F.RowFirst)
        F.RowHeight += MulDiv(p->SpaceBefore, hd->YRes, 1440);
    p->CellFree = int16_t(std::min(h, 32767));
    TParagraph* r = F.RowFirst ? F.RowFirst : p;
    if (F.Breaks && r->Lines && r->Lines->Top + F.RowHeight - F.PageTop > F.Avail && r->Lines->Top > F.PageTop) {
        if (F.KeptTable && !F.Released && F.KeptTable->Lines->Top > F.PageTop) {
            BreakPageBefore(F, F.KeptTable->Lines);
            F.Released = true;
        } else if (!F.Chain || F.Chain == r) {
            BreakPageBefore(F, r->Lines);
        } else {
            TLine* at = WidowBreakLine(F, nullptr, r);
            BreakPageBefore(F, at && at->Top > F.PageTop ? at : r->Lines);
        }
    }
    F.Y += F.RowHeight;
    if (hd->YRes == 0)
        hd->YRes = 96;
    for (TParagraph* c = r; c; c = c->Next) {
        const int32_t content = c->CellFree;
        c->CellFree = int16_t(std::clamp(MulDiv(std::max(F.RowHeight - content, 0), 1440, hd->YRes), 0, 32767));
        if (TLine* last = GetLastLine(c))
            CalcLineHeight(c, last);
        for (TRtParObject* o = c->Objects; o && c != p; o = o->Next) {
            o->Top = c->Lines ? c->Lines->Top : F.Y;
            o->Bottom = F.Y;
        }
        if (c == p)
            break;
    }
    F.RowHeight = 0;
    F.RowFirst = nullptr;
}

void TRtRTFTextIo::BreakPageBefore(TPageFlow& F, TLine* L)
{
    F.PageTop = L->Top;
    if (!FrozenPageBreaks)
        L->Flags |= linfPageStart;
    ++F.Page;
    F.Avail = AvailableHeight(F.Page);
    F.Chain = nullptr;
}

// The line a keep-with-next chain breaks before when Overflow (or the row OverflowRow) does not fit.
TLine* TRtRTFTextIo::WidowBreakLine(const TPageFlow& F, TLine* Overflow, TParagraph* OverflowRow)
{
    if (WidowLines > 0 && F.Chain) {
        std::vector<TLine*> units;
        int32_t before = -1;
        for (TParagraph* p = F.Chain; p; p = p->Next) {
            if (IsCell(p)) {
                if (!(p->Flags & parfNotFirstCell)) {
                    units.push_back(p->Lines);
                }
                if (OverflowRow && p == OverflowRow)
                    before = int32_t(units.size());
            } else {
                for (TLine* l = p->Lines; l; l = l->Next) {
                    units.push_back(l);
                    if (l == Overflow)
                        before = int32_t(units.size());
                }
            }
            // The chain ends after the first paragraph that neither keeps with the next nor
            // follows one that does; a row is walked to its last cell.
            if (!IsKWN(p) && !(p->Prior && IsKWN(p->Prior)) && !(IsCell(p) && (p->Flags & parfNotLastCell)))
                break;
        }
        const int32_t n = int32_t(units.size());
        const int32_t w = WidowLines;
        if (before > w && n >= 2 * w) {
            if (n - before < w)
                return units[size_t(n - w)];
            return Overflow;
        }
    }
    return F.Chain ? F.Chain->Lines : Overflow;
}

// Second pass without page spacing: page numbers and paragraph indices.
void TRtRTFTextIo::NumberPages()
{
    int32_t index = 0, linesBefore = 0;
    int32_t c = 0;
    for (TParagraph* p = FirstPar; p; p = p->Next) {
        if (p->Flags & parfNewPage) {
            if (NoPages)
                p->Flags &= ~parfNewPage;
            else
                ++c;
        }
        int32_t lines = 0;
        for (TLine* l = p->Lines; l; l = l->Next, ++lines) {
            if (l->Flags & linfPageStart)
                ++c;
            l->PageNr = uint16_t(std::min(c, 65535));
        }
        p->Index = index++;
        p->LinesBefore = linesBefore;
        linesBefore += lines;
    }
    PageCount = c + 1;
}

// Second pass with page spacing: page numbers, the space above and below each page's
// lines, and paragraph indices.
void TRtRTFTextIo::NumberAndSpacePages(int32_t halfGap)
{
    TTextHeader* hd = Header();
    int32_t index = 0, linesBefore = 0;
    const int32_t fullGap = MulDiv(hd->PageGap, hd->YRes, 1440);
    int32_t c = 0, shift = 0, used = 0;
    int32_t avail = AvailableHeight(0);
    TLine* lastLine = nullptr;
    TParagraph* lastPar = nullptr;
    auto pageEnd = [&](bool LastPage) {
        if (!lastLine)
            return;
        int32_t space = 0;
        if (LayoutFlags & rtlmPageEnds) {
            const THFRecord& rec = c == 0 ? hf_[0]
                : LastPageHeader            ? (LastPage ? hf_[1] : hf_[2])
                                            : (c % 2 == 0 ? hf_[1] : hf_[2]);
            space = std::max(avail - used, 0) + halfGap + MulDiv(hd->BottomMargin(), hd->YRes, 1440)
                + rec.FooterHeight;
        } else if (LayoutFlags & rtlmGapOnly) {
            space = fullGap;
        }
        lastLine->SpaceBelow = uint16_t(Clamp16(space));
        if (IsCell(lastPar))
            for (TParagraph* q = lastPar; q && (q->Flags & parfNotLastCell) && q->Next; q = q->Next)
                if (TLine* l = GetLastLine(q->Next))
                    l->SpaceBelow = uint16_t(Clamp16(space));
        shift += space;
    };
    auto startPage = [&](TLine* L) {
        pageEnd(false);
        ++c;
        avail = AvailableHeight(c);
        used = 0;
        if (LayoutFlags & rtlmPageView) {
            const int32_t hh = (c % 2 == 0 || LastPageHeader) ? hf_[1].HeaderHeight : hf_[2].HeaderHeight;
            L->SpaceAbove = uint16_t(Clamp16(halfGap + hd->PixTopMargin + hh));
            shift += L->SpaceAbove;
        }
    };
    if ((LayoutFlags & rtlmPageView) && FirstPar && FirstPar->Lines && !NoPages) {
        FirstPar->Lines->SpaceAbove = uint16_t(Clamp16(halfGap + hd->PixTopMargin + hf_[0].HeaderHeight));
        shift += FirstPar->Lines->SpaceAbove;
    }
    for (TParagraph* p = FirstPar; p; p = p->Next) {
        bool started = false;
        if ((p->Flags & parfNewPage) && p->Prior) {
            if (NoPages) {
                p->Flags &= ~parfNewPage;
            } else if (p->Lines) {
                startPage(p->Lines);
                started = true;
            }
        }
        int32_t lines = 0;
        for (TLine* l = p->Lines; l; l = l->Next, ++lines) {
            if ((l->Flags & linfPageStart) && !(LayoutFlags & rtlmNoLineBreaks) && !(started && l == p->Lines))
                startPage(l);
            l->PageNr = uint16_t(std::min(c, 65535));
            l->Top += shift;
            if (!(IsCell(p) && (p->Flags & parfNotFirstCell)))
                used += l->Height;
            lastLine = l;
            lastPar = p;
        }
        p->Index = index++;
        p->LinesBefore = linesBefore;
        linesBefore += lines;
    }
    pageEnd(true);
    PageCount = c + 1;
}

// Moves the text of centred and bottom-aligned cells down into their free space.
void TRtRTFTextIo::AlignCellsVertically()
{
    TTextHeader* hd = Header();
    for (TParagraph* p = FirstPar; p; p = p->Next) {
        if (!IsCell(p) || p->CellFree == 0)
            continue;
        if (IsSkipped(p)) {
            for (TLine* l = p->Lines; l; l = l->Next)
                l->Height = 0;
            break;
        }
        const int32_t free = MulDiv(p->CellFree, hd->YRes, 1440);
        const int32_t offset = (p->Flags & parfCellVCenter) ? free / 2 : (p->Flags & parfCellVBottom) ? free : 0;
        if (offset == 0 || !p->Lines)
            continue;
        int32_t total = 0;
        for (TLine* l = p->Lines; l; l = l->Next)
            total += l->Height;
        TLine* firstLine = p->Lines;
        CalcLineHeight(p, firstLine);
        if (firstLine->Next)
            firstLine->Height = uint16_t(Clamp16(firstLine->Height + offset));
        firstLine->Base = uint16_t(Clamp16(firstLine->Base + offset));
        int32_t sum = firstLine->Height;
        for (TLine* l = firstLine->Next; l; l = l->Next) {
            l->Top = l->Prior->Top + l->Prior->Height;
            if (!l->Next)
                l->Height = uint16_t(Clamp16(total - sum));
            sum += l->Height;
        }
        const int32_t s = p->CellFree + p->CellSpaceAbove;
        if (p->Flags & parfCellVCenter) {
            p->CellFree = int16_t(s / 2);
            p->CellSpaceAbove = int16_t(s - p->CellFree);
        } else {
            p->CellFree = int16_t(std::min(s, 32767));
            p->CellSpaceAbove = 0;
        }
    }
}

// ---- page lookups -------------------------------------------------------------------------------

int32_t TRtRTFTextIo::GetTextHeight()
{
    TParagraph* p = lastParHint_ && lastParChain_ == FirstPar ? lastParHint_ : FirstPar;
    while (p && p->Next)
        p = p->Next;
    lastParHint_ = p;
    lastParChain_ = FirstPar;
    TLine* l = p ? GetLastLine(p) : nullptr;
    return (l ? l->Top + l->Height : 0) + TextTopOffset;
}

int32_t TRtRTFTextIo::FindPageStart(int32_t PageNr, TParagraph*& Par, int32_t& Pos, TLine*& Line)
{
    Par = FirstPar;
    Line = Par ? Par->Lines : nullptr;
    Pos = 0;
    int32_t page = 0, lines = 0, abs = 0;
    for (TParagraph* p = FirstPar; p; p = p->Next) {
        for (TLine* l = p->Lines; l; l = l->Next) {
            const bool starts = (l == p->Lines && (p->Flags & parfNewPage) && p->Prior) || (l->Flags & linfPageStart);
            if (starts && ++page == PageNr) {
                Par = p;
                Line = l;
                Pos = abs;
                return lines;
            }
            if (PageNr <= 0)
                return 0;
            abs += l->Length;
            ++lines;
        }
        abs += 1;
    }
    return lines;
}

int32_t TRtRTFTextIo::GetCursorPageNr()
{
    int32_t page = 0;
    for (TParagraph* p = FirstPar; p; p = p->Next)
        for (TLine* l = p->Lines; l; l = l->Next) {
            if ((l == p->Lines && (p->Flags & parfNewPage) && p->Prior) || (l->Flags & linfPageStart))
                ++page;
            if (l == CursorLine)
                return page;
        }
    return page;
}

TColor TRtRTFTextIo::GetShadedColor(int32_t ColorIndex, int32_t Percent)
{
    const TRtColorEntry& e = Header()->Colors[size_t(std::clamp(ColorIndex, 0, 255))];
    auto shade = [&](int32_t c) { return 255 - MulDiv(255 - c, Percent, 100); };
    return TColor(shade(e.Red) | (shade(e.Green) << 8) | (shade(e.Blue) << 16));
}

void TRtRTFTextIo::CountUsedAttributes(int32_t& Font, int32_t& Size, int32_t& Color)
{
    std::map<int32_t, int64_t> fonts, sizes, colors;
    auto count = [&](TParagraph* First) {
        for (TParagraph* p = First; p; p = p->Next)
            for (TLine* l = p->Lines; l; l = l->Next)
                for (int32_t i = 0; l->Attrs && i < l->Length; ++i) {
                    ++fonts[l->Attrs[i].Font];
                    ++sizes[l->Attrs[i].Size];
                    ++colors[l->Attrs[i].TextColor];
                }
    };
    count(FirstPar);
    for (int32_t i = 0; i < HeaderFooterCount(); ++i)
        if (TRtSpecialTextProperty* t = GetHeaderFooter(i))
            count(t->Paragraphs());
    auto most = [](const std::map<int32_t, int64_t>& m, int32_t Default) {
        int32_t best = Default;
        int64_t n = 0;
        for (const auto& [key, count] : m)
            if (count > n) {
                best = key;
                n = count;
            }
        return best;
    };
    Font = most(fonts, CurrentAttr.Font);
    Size = most(sizes, CurrentAttr.Size);
    Color = most(colors, 0);
}
