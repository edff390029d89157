// Character attributes of the text store: the current attribute, storing an
// entry at a position, changing the entries of a paragraph range, the
// paragraph-style difference marks, colour entries and the width cache.
#include "RtRtfTxt.h"

void TRtRTFText::SetCurrentAttr(const TAttr& Attr) { CurrentAttr = Attr; }

void TRtRTFText::SetCharAttr(TLine* Line, int32_t Pos, const TAttr& Attr)
{
    if (!Line || !Line->Attrs || Pos < 0 || Pos >= Line->Capacity || ConstructionFlag)
        return;
    TAttr& a = Line->Attrs[Pos];
    a = Attr;
    uint8_t ch = Line->Chars[Pos];
    if (ch == 9)
        ch = 32;
    a.Width = CurrentWidthBlock ? CurrentWidthBlock->Widths[ch].Width : 0;
    a.Height = uint16_t(CacheDefaultHeight);
    a.Base = uint16_t(CacheDefaultBase);
}

void TRtRTFText::MarkParStyleAttrs(const TAttr& StyleAttr, uint32_t Mask, TParagraph* Par)
{
    if (!Par || Mask == 0)
        return;
    for (TLine* l = Par->Lines; l; l = l->Next) {
        if (!l->Attrs)
            continue;
        for (int32_t i = 0; i < l->Length; ++i) {
            TAttr& e = l->Attrs[i];
            if ((Mask & 1) && e.Style.Has(afsBold) != StyleAttr.Style.Has(afsBold))
                e.Style.Include(afsParStyleBold);
            if ((Mask & 2) && e.Style.Has(afsItalic) != StyleAttr.Style.Has(afsItalic))
                e.Style.Include(afsParStyleItalic);
            if ((Mask & 4) && e.Style.Has(afsUnderline) != StyleAttr.Style.Has(afsUnderline))
                e.Style.Include(afsParStyleUnderline);
            if ((Mask & 8) && e.Font != StyleAttr.Font)
                e.Style.Include(afsParStyleFont);
            if ((Mask & 16) && e.Size != StyleAttr.Size)
                e.Style.Include(afsParStyleSize);
            if ((Mask & 32) && e.TextColor != StyleAttr.TextColor)
                e.Style.Include(afsParStyleColor);
            if ((Mask & 64) && e.BGColor != StyleAttr.BGColor)
                e.Style.Include(afsParStyleBGColor);
        }
    }
}

void TRtRTFText::ChangeCharAttrs(TParagraph* First, TParagraph* Last, const std::function<void(TAttr& Attr)>& Change)
{
    for (TParagraph* p = First; p; p = p == Last ? nullptr : p->Next)
        for (TLine* l = p->Lines; l; l = l->Next) {
            if (!l->Attrs)
                continue;
            const int32_t n = std::min<int32_t>(l->Length + 1, l->Capacity);
            for (int32_t i = 0; i < n; ++i) {
                TAttr a = l->Attrs[i];
                Change(a);
                if (a == l->Attrs[i])
                    continue;
                // Stored here as well: the base SetCharAttr stores nothing while the
                // construction flag is set.
                l->Attrs[i] = a;
                SetCharAttr(l, i, a);
                l->Flags |= linfChanged;
                MarkChanged(p);
            }
        }
}

TColor TRtRTFText::GetColorEntry(int32_t Index) const { return header_->GetColor(Index); }

void TRtRTFText::SetWidthCacheCount(int32_t Count)
{
    widthBlocks_.assign(size_t(std::max(Count, 1)), TRtWidthBlock{});
    ResetWidthCache();
}

void TRtRTFText::ResetWidthCache()
{
    CurrentWidthBlock = &widthBlocks_.front();
    for (TRtWidthEntry& e : CurrentWidthBlock->Widths)
        e.Width = 16;
    CacheDefaultHeight = ScreenToDoc(16);
    CacheDefaultBase = ScreenToDoc(14);
}
