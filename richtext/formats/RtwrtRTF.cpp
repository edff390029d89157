#include "RtwrtRTF.h"

#include <cstdio>

namespace {

uint8_t Hi(uint8_t v) { return uint8_t(v >> 4); }
uint8_t Lo(uint8_t v) { return uint8_t(v & 15); }

} // namespace

void TRtRTFWriter::Reset()
{
    TRtTextWriter::Reset();
    Buf.clear();
    OpenGroups = 0;
    HyperlinkOpen = SuppressHidden = PlainWritten = false;
}

void TRtRTFWriter::AddWord(const char* Word, int32_t Value)
{
    Buf += Word;
    Buf += std::to_string(Value);
}

int32_t TRtRTFWriter::Flush()
{
    const int32_t r = Put(Buf);
    Buf.clear();
    return r;
}

void TRtRTFWriter::AddEscaped(const AnsiString& S)
{
    for (char ch : S) {
        const uint8_t c = uint8_t(ch);
        if (c == '\\' || c == '{' || c == '}') {
            Buf += '\\';
            Buf += char(c);
        } else if (c >= 0x20 && c < 0x7F)
            Buf += char(c);
        else {
            char hex[5];
            snprintf(hex, sizeof hex, "\\'%02x", c);
            Buf += hex;
        }
    }
}

int32_t TRtRTFWriter::WriteHeader(TStream* S)
{
    Stream = S;
    TTextHeader* h = Text->Header();
    const TStoreOptions opt = Options();
    Buf = "{";
    if (!h->NoRtfHeaderWords)
        AddWord("\\rtf1\\ansi\\deff0\\deftab", h->DefaultTabstop());
    Add("{\\fonttbl");
    FontMap.fill(0);
    int32_t n = 0;
    for (size_t i = 0; i < h->Fonts.size(); ++i) {
        const TRtFontEntry& f = h->Fonts[i];
        if (f.Name.empty())
            continue;
        FontMap[i] = uint8_t(n);
        AddWord("{\\f", n++);
        switch (f.PitchAndFamily & 0xF0) {
        case 0x10: Add("\\froman"); break;
        case 0x20: Add("\\fswiss"); break;
        case 0x30: Add("\\fmodern"); break;
        case 0x40: Add("\\fscript"); break;
        case 0x50: Add("\\fdecor"); break;
        default: Add("\\fnil"); break;
        }
        AddWord("\\fcharset", f.Charset > 0 ? f.Charset : 0);
        Add(" ");
        AddEscaped(f.Name);
        Add(";}");
    }
    Add("}");
    if (int32_t r = Flush())
        return r;
    for (size_t i = 0; i < ColorMap.size(); ++i)
        ColorMap[i] = uint8_t(i);
    if (!opt.Has(soNoColorTableInRTF)) {
        ColorMap.fill(0);
        Add("{\\colortbl");
        int32_t k = 0;
        for (size_t i = 0; i < 255; ++i) {
            const TRtColorEntry& c = h->Colors[i];
            if (i >= 16 && !(Text->Use256Colors && c.Used))
                continue;
            ColorMap[i] = uint8_t(k++);
            if (i == 0) {
                Add(";"); // the automatic colour
                continue;
            }
            AddWord("\\red", c.Red);
            AddWord("\\green", c.Green);
            AddWord("\\blue", c.Blue);
            Add(";");
        }
        Add("}");
    }
    if (!opt.Has(soNoPageFormatInRTF)) {
        if (h->Landscape())
            Add("\\landscape");
        const bool sxn = Text->SectionMode;
        AddWord(sxn ? "\\pgwsxn" : "\\paperw", h->PageWidth());
        AddWord(sxn ? "\\pghsxn" : "\\paperh", h->PageHeight());
        AddWord(sxn ? "\\marglsxn" : "\\margl", h->LeftMargin());
        AddWord(sxn ? "\\margrsxn" : "\\margr", h->RightMargin());
        AddWord(sxn ? "\\margtsxn" : "\\margt", h->TopMargin());
        AddWord(sxn ? "\\margbsxn" : "\\margb", h->BottomMargin());
        AddWord(sxn ? "\\marghsxn" : "\\margh", h->MarginHeader());
        AddWord(sxn ? "\\margfsxn" : "\\margf", h->MarginFooter());
    }
    Add("\r\n");
    return Flush();
}

int32_t TRtRTFWriter::WriteDocument()
{
    Add("\\endnhere\\sectdefaultcl");
    if (Text->Header()->MarginMirror())
        Add("\\margmirror");
    Add("\r\n");
    if (int32_t r = Flush())
        return r;
    return TRtTextWriter::WriteDocument();
}

int32_t TRtRTFWriter::WriteTrailer()
{
    if (HyperlinkOpen)
        CloseHyperlink();
    for (; OpenGroups > 0; --OpenGroups)
        Add("}");
    Add("\r\n}");
    return Flush();
}

int32_t TRtRTFWriter::CloseHyperlink()
{
    Add("}}}");
    HyperlinkOpen = false;
    return 0;
}

void TRtRTFWriter::WriteRowDefinition(TParagraph* FirstCell)
{
    TTextHeader* h = Text->Header();
    const int32_t avail = h->PageWidth() - h->LeftMargin() - h->RightMargin();
    int32_t left = 0, right = 0;
    const TRtCell* first = FirstCell->Cell;
    if (first)
        Text->TableList()->GetTableLeftRight(first->TableId, left, right);
    Add("\\trowd");
    AddWord("\\trgaph", first ? first->Gap : 0);
    AddWord("\\trleft", left);
    for (TParagraph* p = FirstCell; p; p = p->Next) {
        const TRtCell* c = p->Cell;
        if (c) {
            if (p->Flags & parfCellVCenter)
                Add("\\clvertalc");
            else if (p->Flags & parfCellVBottom)
                Add("\\clvertalb");
            int32_t share = c->Left + c->Width;
            if (share == 0)
                share = 1;
            AddWord("\\cellx", left + MulDiv(avail - left - right, share, 255));
        }
        if (!(p->Flags & parfNotLastCell))
            break;
    }
}

int32_t TRtRTFWriter::WriteParStart()
{
    TParagraph* p = CurPar;
    if (OpenGroups == 0) {
        Add("{\\pard");
        ++OpenGroups;
    } else
        Add("\\pard");
    PlainWritten = false;
    if (p->Flags & parfNewPage)
        Add("\\page");
    if (p->Flags & parfTableCell) {
        if (!(p->Flags & parfNotFirstCell))
            WriteRowDefinition(p);
        Add("\\intbl");
    }
    TTextHeader* h = Text->Header();
    for (int i = 0; i < 64; ++i) {
        const int idx = h->TabOrder[size_t(i)];
        if (idx < 0 || idx > 63 || !(p->Tabs & (uint64_t(1) << idx)))
            continue;
        const TRtTabEntry& t = h->Tabs[size_t(idx)];
        static const char* kinds[4] = {"", "\\tqr", "\\tqc", "\\tqdec"};
        Add(kinds[t.Kind & 3]);
        AddWord("\\tx", t.Pos);
    }
    if (p->Shading && !Options().Has(soNoShadingInformation)) {
        // The reader turns "\shading" n into 100 - n / 100.
        AddWord("\\shading", (100 - p->Shading) * 100);
        AddWord("\\cbpat", ColorMap[p->Color]);
    }
    if (p->Flags & parfKeepTogether)
        Add("\\keep");
    if (p->Flags & parfNoLines)
        Add("\\rtnoparlines");
    if (p->Flags & parfProtected)
        Add("\\rtparprot");
    static const char* align[4] = {"\\ql", "\\qc", "\\qr", "\\qj"};
    Add(align[p->Align & 3]);
    if (p->ParId)
        AddWord("\\rtparid", int32_t(p->ParId));
    if (p->Flags & parfSkip1)
        Add("\\rtparhide");
    if (p->Flags & parfNoWrap)
        Add("\\rtparnowwrap");
    AddWord("\\li", p->IndentLeft);
    AddWord("\\fi", p->IndentFirst);
    AddWord("\\ri", p->IndentRight);
    AddWord("\\sb", p->SpaceBefore);
    if (p->SpaceBetween) {
        AddWord("\\sl", p->SpaceBetween);
        if (p->Flags & parfMultSpaceBetween)
            Add("\\slmult1");
    }
    AddWord("\\sa", p->SpaceAfter);
    if (p->ExtFlags & parxTableOfContents)
        Add("\\toc1");
    if (p->OutlineLevel)
        AddWord("\\rtlevel", p->OutlineLevel);
    if (!Buf.empty() && Buf.back() != '{' && Buf.back() != '}')
        Add(" ");
    return Flush();
}

int32_t TRtRTFWriter::WriteAttr()
{
    const TAttr& a = CurAttr;
    const bool link = a.Style.Has(afsHyperLink);
    const bool hidden = a.Style.Has(afsHidden);
    if (!link && !hidden && HyperlinkOpen)
        CloseHyperlink();
    if (!hidden)
        SuppressHidden = false;
    if (!PlainWritten)
        Add("\\plain");
    PlainWritten = false;
    if (a.Style.Has(afsHyphen))
        Add("\\-");
    AddWord("\\f", FontMap[a.Font & 0xFF]);
    // Size 0 is the default size: no "\fs", so that it reads back as 0.
    if (a.Size)
        AddWord("\\fs", a.Size * 2);
    const bool use256 = Text->Use256Colors;
    const uint8_t fg = use256 ? a.TextColor : Lo(a.TextColor);
    const uint8_t bg = use256 ? a.BGColor : Hi(a.TextColor);
    AddWord("\\cf", ColorMap[fg]);
    if (bg)
        AddWord("\\cb", ColorMap[bg]);
    if (link) {
        if (Options().Has(soWordHyperLinkFormat)) {
            if (!HyperlinkOpen) {
                Add("{\\field{\\*\\fldinst { HYPERLINK \"");
                AddEscaped(HyperlinkTarget());
                Add("\"}}{\\fldrslt{");
                HyperlinkOpen = true;
            }
        } else
            Add("\\uldb");
    }
    if (hidden) {
        if (HyperlinkOpen) {
            CloseHyperlink();
            SuppressHidden = true;
        } else
            Add("\\v");
    }
    if (a.Style.Has(afsBold))
        Add("\\b");
    if (a.Style.Has(afsItalic))
        Add("\\i");
    if (a.Style.Has(afsUnderline))
        Add("\\ul");
    if (a.Style.Has(afsSuper))
        Add("\\super");
    if (a.Style.Has(afsSub))
        Add("\\sub");
    if (a.Style.Has(afsStrikeOut))
        Add("\\strike");
    if (a.Style.Has(afsProtected))
        Add("\\shad");
    if (!Buf.empty() && uint8_t(Buf.back()) > ' ' && Buf.back() != '{' && Buf.back() != '}')
        Add(" ");
    return Flush();
}

int32_t TRtRTFWriter::WriteChars(int32_t Count)
{
    if (SuppressHidden)
        return 0;
    const uint8_t* s = CurLine->Chars + CurPos;
    const bool cell = CurPar->Flags & parfTableCell;
    for (int32_t i = 0; i < Count; ++i) {
        const uint8_t c = s[i];
        if (c == '\\' || c == '{' || c == '}') {
            Buf += '\\';
            Buf += char(c);
        } else if (c == 9)
            Buf += "\\tab ";
        else if (c >= 0x20 && c < 0x7F)
            Buf += char(c);
        else if (c == 10) {
            if (cell && Options().Has(soNewParInTableCell))
                Buf += "\\par ";
            else if (!Options().Has(soHardLineBreaks))
                Buf += "\\line ";
        } else if (c <= 3)
            continue;
        else {
            char hex[5];
            snprintf(hex, sizeof hex, "\\'%02x", c);
            Buf += hex;
        }
        if (Buf.size() > 90)
            if (int32_t r = Flush())
                return r;
    }
    return Flush();
}

int32_t TRtRTFWriter::WriteParEnd()
{
    if (HyperlinkOpen)
        CloseHyperlink();
    if (CurPar->Flags & parfTableCell) {
        Add("\\cell");
        if (!(CurPar->Flags & parfNotLastCell))
            Add("\\row");
        Add("\r\n");
        return Flush();
    }
    if (NextParFollows)
        Add("\\par\r\n");
    return Flush();
}
