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

int32_t TRtRTFTextIo::GetTabWidth(TParagraph* Par, TLine* Line, int32_t Pos, int32_t X)
{
    CurrentTabKind = 0;
    AlignedTab = false;
    TTextHeader* h = Header();
    // A hanging indent is an extra stop for the first tab of the first line.
    int32_t hang = -1;
    if (Line == Par->Lines && Par->IndentFirst < 0 && !NoHangingTabs) {
        hang = Par->IndentLeft ? MulDiv(Par->IndentLeft, h->XRes, 1440) : 0;
        bool tabBefore = false;
        for (int32_t i = 0; i < Pos && i < Line->Length; ++i)
            tabBefore = tabBefore || Line->Chars[i] == 9;
        if (hang < X || tabBefore)
            hang = -1;
    }
    const int32_t rightEdge = GetParRightPix(Par, false) - GetIndentRightPix(Par) - GetParLeftPix(Par, false);
    const char decimal = h->DecimalTabChar ? h->DecimalTabChar
                       : RtDecimalSeparator                  ? RtDecimalSeparator
                                                             : FormatSettings().DecimalSeparator;

    // Sums the widths after the tab until a stop character or Limit is passed.
    auto sumAfter = [&](bool decimalStop, bool centre, int32_t Limit) {
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
            if (ch == 0 || ch == 9 || (!centre && ch == 10))
                break;
            if (decimalStop && (ch == uint8_t(decimal) || ch == ')' || ch == ']' || ch == '}' || ch == '>'))
                break;
            sum += l->Attrs ? l->Attrs[i].Width : 0;
            if (centre ? sum >= Limit : sum > Limit)
                break;
            ++i;
        }
        return sum;
    };

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
            const int32_t sum = sumAfter(e.Kind == 3, false, room);
            // Text wider than the room leaves the tab without width.
            r = sum > room ? X : s - sum;
            break;
        }
        case 2: {
            const int32_t sum = sumAfter(false, true, 2 * (s - X));
            r = std::max(s - sum / 2, X);
            break;
        }
        default:
            break;
        }
        CurrentTabKind = e.Kind == 4 ? 0 : e.Kind;
        if (r > X)
            result = r;
        else if (e.Kind == 1 || e.Kind == 3)
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

bool TRtRTFTextIo::CalcLineHeight(TParagraph* Par, TLine* Line)
{
    const uint16_t oldHeight = Line->Height;
    if (IsSkipped(Par)) {
        Line->Height = 0;
        return true;
    }
    TTextHeader* hd = Header();
    bool selected = false;
    int32_t h = 0, b = 0;
    if (Par->Flags & (parfObjectPar | parfObjectPar2)) {
        h = b = MulDiv(FixedLineHeight, hd->YRes, 1440);
    } else if (hd->RichText == 0 || !Line->Attrs) {
        GetFontMetrics(h, b);
    } else if (Line->Length == 0) {
        if (Par->ParAttr.Font != 0 && Par->ParAttr.TextColor != 255) {
            if (!NoAttrFontSelect) {
                SelectAttrFont(Par->ParAttr);
                selected = true;
            }
            GetFontMetrics(h, b);
        } else if (IsCell(Par)) {
            h = b = DefaultCellLineHeight < 0 ? 16 : DefaultCellLineHeight;
        } else {
            GetFontMetrics(h, b);
        }
    } else {
        int32_t descent = 0;
        for (int32_t i = 0; i < Line->Length; ++i) {
            const TAttr& a = Line->Attrs[i];
            if (Line->Chars[i] == 32 || a.Style.Has(afsHidden))
                continue;
            h = std::max<int32_t>(h, a.Height);
            descent = std::max<int32_t>(descent, a.Height - a.Base);
        }
        if (h < 1)
            GetFontMetrics(h, b);
        else
            b = h - descent;
    }
    // Line spacing.
    if (Par->Flags & parfMultSpaceBetween) {
        if (Par->SpaceBetween < 240)
            Par->SpaceBetween = 240;
        const int32_t nh = MulDiv(Par->SpaceBetween, h, 240);
        if (nh > h) {
            if (ViewOptions.Has(rtCenterLinesVertically))
                b += (nh - h) / 2;
            h = nh;
        }
    } else if (Par->SpaceBetween != 0) {
        const int32_t sb = MulDiv(std::abs(Par->SpaceBetween), hd->YRes, 1440);
        if (Par->SpaceBetween < 0 || sb > h) {
            if (ViewOptions.Has(rtCenterLinesVertically))
                b += (sb - h) / 2;
            h = sb;
            h = std::max(h, 0);
            b = std::clamp(b, 0, std::max(h, 0));
        }
    }
    if (!Line->Prior) {
        const int32_t before = MulDiv(Par->SpaceBefore, hd->YRes, 1440);
        h = std::max(h + before, 0);
        b = std::max(b + before, 0);
    }
    if (!Line->Next) {
        const int16_t after = IsCell(Par) && AloneInRow(Par) && Par->SpaceAfter == 0 ? Par->SpaceBefore : Par->SpaceAfter;
        h = std::max(h + MulDiv(after, hd->YRes, 1440), 0);
    }
    // Border distance: a run of equally bordered paragraphs is framed as one block.
    const bool singleEmpty = !IsCell(Par) && !Line->Prior && !Line->Next && Line->Length == 0;
    if ((Par->BrdLines & brdPresent) && Par->BrdSpace > 0 && !NoBorderDistance && !singleEmpty) {
        const int32_t d = MulDiv(Par->BrdSpace * 72, hd->YRes, 1440);
        const uint16_t bits = uint16_t(Par->BrdLines & ~brdNoBetween);
        if (!Line->Prior && (Par->BrdLines & (brdTop | brdBox))) {
            const TParagraph* prev = Par->Prior;
            const bool joined = prev && !IsCell(Par) && !(prev->BrdLines & brdNoBetween)
                && uint16_t(prev->BrdLines & ~brdNoBetween) == bits;
            if (!joined) {
                h += d;
                b += d;
            }
        }
        if (!Line->Next && (Par->BrdLines & (brdBottom | brdBox))) {
            const TParagraph* next = Par->Next;
            const bool joined = next && !IsCell(Par) && !(Par->BrdLines & brdNoBetween)
                && uint16_t(next->BrdLines & ~brdNoBetween) == bits;
            if (!joined)
                h += d;
        }
    }
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

int32_t TRtRTFTextIo::ReformatText(TParagraph* StartPar)
{
    const bool outer = !InReformat;
    if (OnReformat && outer)
        OnReformat(this, true);
    const bool oldFlag = InReformat;
    InReformat = true;
    struct TFrame {
        TRtRTFTextIo* T;
        bool Old;
        bool Outer;
        ~TFrame()
        {
            T->InReformat = Old;
            if (Outer && T->OnReformat)
                T->OnReformat(T, false);
        }
    } frame{this, oldFlag, outer};
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
    if (body && PrintHeaderFooter != rtrNever && !NoPages) {
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
    const int32_t halfGap = (LayoutMode & (rtlmPageView | rtlmPageEnds)) ? MulDiv(hd->PageGap / 2, hd->YRes, 1440) : 0;
    TParagraph* first = body ? FirstPar : StartPar;
    if (body && first)
        first->Flags &= ~parfNewPage;

    // ---- first pass: lines and page breaks ----
    int32_t y = 0, pageTop = 0, page = 0;
    int32_t avail = AvailableHeight(0);
    TParagraph* chain = nullptr;
    TParagraph* rowFirst = nullptr;
    int32_t rowHeight = 0;
    TParagraph* keptTable = nullptr;
    bool released = false;
    const bool breaks = !NoPageBreaks && body;

    auto breakBefore = [&](TLine* L) {
        pageTop = L->Top;
        if (!FrozenPageBreaks)
            L->Flags |= linfPageStart;
        ++page;
        avail = AvailableHeight(page);
        chain = nullptr;
    };
    // The line a keep-with-next chain breaks before when Overflow does not fit.
    auto widowBreak = [&](TLine* Overflow, TParagraph* OverflowRow) -> TLine* {
        if (WidowLines > 0 && chain) {
            std::vector<TLine*> units;
            int32_t before = -1;
            for (TParagraph* p = chain; p; p = p->Next) {
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
                if (!IsKWN(p) && !(IsCell(p) && (p->Flags & parfNotLastCell)))
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
        return chain ? chain->Lines : Overflow;
    };

    for (TParagraph* p = first; p; p = p->Next) {
        const bool cell = IsCell(p);
        if ((p->Flags & parfNewPage) && p->Prior && body && !NoPages) {
            ++page;
            pageTop = y;
            avail = AvailableHeight(page);
            chain = nullptr;
        }
        if (!cell) {
            if (IsKWN(p) && (!p->Prior || !IsKWN(p->Prior) || !chain))
                chain = p;
            else if (!IsKWN(p) && !(p->Prior && IsKWN(p->Prior)))
                chain = nullptr;
        } else {
            if ((p->Flags & parfNotLastCell) && (!p->Next || !(p->Next->Flags & parfNotFirstCell))) {
                p->Flags &= ~(parfNotLastCell | parfTableCell);
                p->SpaceAfter = 0;
            }
            if ((p->Flags & parfNotFirstCell) && (!p->Prior || !(p->Prior->Flags & parfNotLastCell)))
                p->Flags &= ~parfNotFirstCell;
            if (!(p->Flags & parfNotFirstCell) && (p->Flags & parfNotLastCell)) {
                rowHeight = 0;
                rowFirst = p;
                if (IsKWN(p) && !chain)
                    chain = p;
            }
            p->SpaceAfter = 0;
        }
        if (!IsCell(p) && (p->Flags & (parfNotFirstCell | parfNotLastCell))) {
            p->Flags &= ~(parfNotFirstCell | parfNotLastCell);
            p->SpaceAfter = 0;
        }
        const bool isCell = IsCell(p);
        if (KeepTableRowsTogether) {
            if (!isCell) {
                keptTable = nullptr;
                released = false;
            } else if (!keptTable && !released) {
                keptTable = p;
                if (!p->Prior)
                    released = true;
            }
        }
        int32_t h = 0;
        for (TLine* line = p->Lines; line; line = line->Next) {
            line->Top = y + h;
            line->SpaceAbove = line->SpaceBelow = 0;
            if (!FrozenPageBreaks)
                line->Flags &= uint16_t(~linfPageStart);
            if (IsSkipped(p)) {
                line->Height = 0;
                continue;
            }
            if (!isCell) {
                if (breaks && line->Top + line->Height - pageTop > avail) {
                    int32_t extra = 0;
                    if (p->SpaceBetween != 0 && line->Attrs) {
                        int32_t maxH = 0;
                        for (int32_t i = 0; i < line->Length; ++i)
                            maxH = std::max<int32_t>(maxH, line->Attrs[i].Height);
                        extra = LineSpacingGrowth(p, maxH);
                    }
                    if (line->Top + line->Height - pageTop - extra > avail) {
                        const bool chainOpen = chain && chain != p;
                        TLine* at = line;
                        if (!chainOpen) {
                            const bool keep = p->Flags & (parfKeepTogether | parfKeepWithNext);
                            if (keep && !(p->Lines->Flags & linfPageStart) && p->Lines->Top > pageTop)
                                at = p->Lines;
                        } else {
                            at = widowBreak(line, nullptr);
                        }
                        if (at->Top <= pageTop)
                            at = line;
                        breakBefore(at);
                    }
                }
            } else {
                if (VAligned(p))
                    p->SpaceBefore = 0;
                if (!line->Next && !(KeepCellLineHeights && line->Height != 0))
                    CalcLineHeight(p, line);
                if (breaks && AloneInRow(p) && line->Top + line->Height - pageTop > avail && p->Lines->Top > pageTop)
                    breakBefore(p->Lines);
            }
            h += line->Height;
        }
        if (!isCell) {
            y += h;
        } else if (!(p->Flags & parfNotLastCell)) {
            rowHeight = std::max(rowHeight, h);
            if (!VAligned(p) && !IsSkipped(p) && p->SpaceBefore > 0 && p != rowFirst)
                rowHeight += MulDiv(p->SpaceBefore, hd->YRes, 1440);
            p->SpaceAfter = int16_t(std::min(h, 32767));
            TParagraph* r = rowFirst ? rowFirst : p;
            if (breaks && r->Lines && r->Lines->Top + rowHeight - pageTop > avail && r->Lines->Top > pageTop) {
                if (keptTable && !released && keptTable->Lines->Top > pageTop) {
                    breakBefore(keptTable->Lines);
                    released = true;
                } else if (!chain || chain == r) {
                    breakBefore(r->Lines);
                } else {
                    TLine* at = widowBreak(nullptr, r);
                    breakBefore(at && at->Top > pageTop ? at : r->Lines);
                }
            }
            y += rowHeight;
            if (hd->YRes == 0)
                hd->YRes = 96;
            for (TParagraph* c = r; c; c = c->Next) {
                const int32_t content = c->SpaceAfter;
                c->SpaceAfter = int16_t(std::clamp(MulDiv(std::max(rowHeight - content, 0), 1440, hd->YRes), 0, 32767));
                if (TLine* last = GetLastLine(c))
                    CalcLineHeight(c, last);
                for (TRtParObject* o = c->Objects; o && c != p; o = o->Next) {
                    o->Top = c->Lines ? c->Lines->Top : y;
                    o->Bottom = y;
                }
                if (c == p)
                    break;
            }
            rowHeight = 0;
            rowFirst = nullptr;
        } else {
            rowHeight = std::max(rowHeight, h);
            p->SpaceAfter = int16_t(std::min(h, 32767));
        }
        for (TRtParObject* o = p->Objects; o; o = o->Next) {
            o->Top = p->Lines ? p->Lines->Top : y;
            o->Bottom = y;
        }
    }
    if (!body || SkipNumbering)
        return y;

    // ---- second pass: page numbers, page spacing, paragraph indices ----
    int32_t index = 0, linesBefore = 0;
    if (LayoutMode == 0) {
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
    } else {
        const int32_t fullGap = MulDiv(hd->PageGap, hd->YRes, 1440);
        int32_t c = 0, shift = 0, used = 0;
        avail = AvailableHeight(0);
        TLine* lastLine = nullptr;
        TParagraph* lastPar = nullptr;
        auto pageEnd = [&](bool LastPage) {
            if (!lastLine)
                return;
            int32_t space = 0;
            if (LayoutMode & rtlmPageEnds) {
                const THFRecord& rec = c == 0 ? hf_[0]
                    : LastPageHeader            ? (LastPage ? hf_[1] : hf_[2])
                                                : (c % 2 == 0 ? hf_[1] : hf_[2]);
                space = std::max(avail - used, 0) + halfGap + MulDiv(hd->BottomMargin(), hd->YRes, 1440)
                    + rec.FooterHeight;
            } else if (LayoutMode & rtlmGapOnly) {
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
            if (LayoutMode & rtlmPageView) {
                const int32_t hh = (c % 2 == 0 || LastPageHeader) ? hf_[1].HeaderHeight : hf_[2].HeaderHeight;
                L->SpaceAbove = uint16_t(Clamp16(halfGap + hd->PixTopMargin + hh));
                shift += L->SpaceAbove;
            }
        };
        if ((LayoutMode & rtlmPageView) && FirstPar && FirstPar->Lines && !NoPages) {
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
                if ((l->Flags & linfPageStart) && !(LayoutMode & rtlmNoLineBreaks) && !(started && l == p->Lines))
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

    // ---- vertical alignment of cells ----
    for (TParagraph* p = FirstPar; p; p = p->Next) {
        if (!IsCell(p) || p->SpaceAfter == 0)
            continue;
        if (IsSkipped(p)) {
            for (TLine* l = p->Lines; l; l = l->Next)
                l->Height = 0;
            break;
        }
        const int32_t free = MulDiv(p->SpaceAfter, hd->YRes, 1440);
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
        const int32_t s = p->SpaceAfter + p->SpaceBefore;
        if (p->Flags & parfCellVCenter) {
            p->SpaceAfter = int16_t(s / 2);
            p->SpaceBefore = int16_t(s - p->SpaceAfter);
        } else {
            p->SpaceAfter = int16_t(std::min(s, 32767));
            p->SpaceBefore = 0;
        }
    }
    return y;
}

// ---- page lookups -------------------------------------------------------------------------------

int32_t TRtRTFTextIo::GetTextHeight()
{
    TParagraph* p = FirstPar;
    while (p && p->Next)
        p = p->Next;
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
