#pragma once
// What the RTF reader and writer tests share: loading bytes into a text by
// format name and saving a text as RTF.
#include "RtExtraData.h"
#include "RtHeaderFooter.h"
#include "RtList.h"
#include "RtNumbering.h"
#include "RtObjBase.h"
#include "RtRtfReader.h"
#include "RtRtfWriter.h"
#include "RtTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <string>

inline TMemoryStream RtfStreamOf(const std::string& Bytes)
{
    TMemoryStream m;
    if (!Bytes.empty())
        m.WriteBuffer(Bytes.data(), int32_t(Bytes.size()));
    m.SetPosition(0);
    return m;
}

// Reads Bytes into Text as the store's loader does for a whole text: the
// text is cleared and the reader starts in its first paragraph.
inline void ReadRtf(TRtRTFText& Text, const std::string& Bytes, TRtTextReader* Reader = nullptr)
{
    TestPlatform();
    TRtRtfReader rtf;
    TRtTextReader& r = Reader ? *Reader : rtf;
    Text.Clear();
    r.Text = &Text;
    r.Header = Text.Header();
    r.Par = Text.FirstPar;
    TMemoryStream m = RtfStreamOf(Bytes);
    r.ReadStream(&m);
}

// The whole text written by Writer (RTF by default) as the store drives it;
// with From and To only the paragraphs From to To, whole.
inline std::string WriteRtf(TRtRTFText& Text, TRtTextWriter* Writer = nullptr, TParagraph* From = nullptr,
                            TParagraph* To = nullptr)
{
    TRtRTFWriter rtf;
    TRtTextWriter& w = Writer ? *Writer : rtf;
    TMemoryStream m;
    w.Text = &Text;
    w.FirstPar = From ? From : Text.FirstPar;
    if (To) {
        w.LastPar = To;
        w.EndLine = To->Lines;
        while (w.EndLine->Next)
            w.EndLine = w.EndLine->Next;
        w.EndPos = w.EndLine->Length;
    }
    w.Reset();
    w.Stream = &m;
    EXPECT_EQ(w.WriteStart(), 0);
    EXPECT_EQ(w.WriteBody(), 0);
    EXPECT_EQ(w.WriteEnd(), 0);
    return std::string(reinterpret_cast<const char*>(m.Memory()), size_t(m.Size()));
}

// The attribute of the character at Pos of a paragraph's first line.
inline const TAttr& AttrAt(const TParagraph* Par, int32_t Pos) { return Par->Lines->Attrs[Pos]; }

inline const TParagraph* ParAt(const TRtRTFText& Text, int Index)
{
    const TParagraph* p = Text.FirstPar;
    for (int i = 0; p && i < Index; ++i)
        p = p->Next;
    return p;
}

// A text as canonical lines, fonts by name and colours by value, so that two
// stores can be compared whatever their table indices: one line per
// paragraph with its properties, then its runs of equal attributes.
inline std::string ColorName(const TRtRTFText& Text, int32_t Index)
{
    if (Index <= 0 || Index > 255)
        return "auto";
    const TRtColorEntry& c = Text.Header()->Colors[size_t(Index)];
    char buf[8];
    snprintf(buf, sizeof buf, "%02x%02x%02x", c.Red, c.Green, c.Blue);
    return buf;
}

inline std::string RunName(const TRtRTFText& Text, const TAttr& A)
{
    std::string s = "[";
    static const char* bits[] = {"b", "i", "link", "sup", "sub", "prot", "fn", "ins", "auto", "u", "s", "v",
                                 "code", "del", "user", "bm", "", "obj", "hy"};
    for (int i = 0; i < int(std::size(bits)); ++i)
        if (bits[i][0] && A.Style.Has(TOneWrtStyle(i)))
            s += std::string(bits[i]) + ",";
    if ((A.Style.Has(afsIsInsertpoint) || A.Style.Has(afsAutomatic)) && (A.Tag & 0xFFFF)) {
        const AnsiString name = Text.InsertpointList()->GetNameById(int32_t(A.Tag & 0xFFFF));
        s += "ip=" + (name.empty() ? std::string("#") : name) + ",";
    }
    const TRtFontEntry& f = Text.Header()->Fonts[A.Font & 0xFF];
    s += f.Name + "," + std::to_string(A.Size);
    const bool use256 = Text.Use256Colors;
    s += ",c=" + ColorName(Text, use256 ? A.TextColor : A.TextColor & 15);
    const int32_t bg = use256 ? A.BGColor : A.TextColor >> 4;
    if (bg)
        s += ",bg=" + ColorName(Text, bg);
    return s + "]";
}

inline std::string DumpPar(const TRtRTFText& Text, const TParagraph* P)
{
    constexpr uint32_t kept = parfNewPage | parfProtected | parfMultSpaceBetween | parfKeepTogether
        | parfKeepWithNext | parfNoWrap | parfNotFirstCell | parfNotLastCell | parfTableCell | parfNoLines
        | parfObjectPar | parfObjectPar2 | parfSkip1 | parfCellVCenter | parfCellVBottom;
    char buf[256];
    snprintf(buf, sizeof buf, "fl=%x al=%d li=%d ri=%d fi=%d sb=%d sa=%d sl=%d sh=%d/%s/%s ol=%d id=%u brd=%x/%d/%d",
             P->Flags & kept, P->Align, P->IndentLeft, P->IndentRight, P->IndentFirst, P->SpaceBefore,
             P->SpaceAfter, P->SpaceBetween, P->Shading, ColorName(Text, P->Color).c_str(),
             ColorName(Text, P->PatColor).c_str(), P->OutlineLevel, P->ParId, P->BrdLines, P->BrdWidth, P->BrdSpace);
    std::string s = buf;
    if (const TRtRTFNumberingStyle* n = Text.NumberingStyles()->FindForPar(P))
        s += " num=" + std::to_string(n->Style) + ":" + n->TextB + "#" + n->TextA + "/" + std::to_string(P->NumLevel);
    for (int i = 0; i < 64; ++i)
        if (P->Tabs & (uint64_t(1) << i)) {
            const TRtTabEntry& t = Text.Header()->Tabs[size_t(i)];
            s += " tab" + std::to_string(t.Kind) + "@" + std::to_string(t.Pos);
        }
    if (P->BrdLines)
        for (uint8_t c : P->BrdColor)
            s += "/" + ColorName(Text, c);
    if (P->Cell)
        s += " cell=" + std::to_string(P->Cell->Left) + "+" + std::to_string(P->Cell->Width) + ":" + P->Cell->Name
            + ":" + P->Cell->Command + ":" + std::to_string(P->Cell->FrameValue);
    if (!P->TextField.empty())
        s += " field=" + P->TextField;
    s += " |";
    std::string runs;
    const TAttr* last = nullptr;
    for (const TLine* l = P->Lines; l; l = l->Next)
        for (int32_t i = 0; i < l->Length; ++i) {
            const TAttr& a = l->Attrs ? l->Attrs[i] : Text.CurrentAttr;
            if (!last || RunName(Text, a) != RunName(Text, *last))
                runs += RunName(Text, a);
            last = &a;
            runs += char(l->Chars[i]);
            if (a.Style.Has(afsIsObject) && l->Chars[i] <= 3)
                if (TTextObj* ref = Text.ObjRefList()->GetTextObj(int32_t(a.Tag))) {
                    runs += "<" + ref->RefName + ":" + std::to_string(ref->Type) + ":" + ref->FormatText;
                    if (ref->Object)
                        runs += std::string(":") + ref->Object->ClassName() + ":" + std::to_string(ref->Width) + "x"
                            + std::to_string(ref->Height) + ":" + std::to_string(ref->Kind) + "@"
                            + std::to_string(ref->X) + "," + std::to_string(ref->Y) + "/" + std::to_string(ref->WrapMode);
                    runs += ">";
                }
            if (a.Style.Has(afsIsFootnote))
                if (auto* note = static_cast<TRtFootnoteItem*>(Text.FootnoteList()->FindItem(int32_t(a.Tag))))
                    runs += "<" + note->Text + ":" + std::to_string(note->Kind) + ":" + std::to_string(note->Value) + ">";
        }
    return s + runs;
}

inline std::string DumpText(const TRtRTFText& Text)
{
    std::string s;
    for (const TParagraph* p = Text.FirstPar; p; p = p->Next)
        s += DumpPar(Text, p) + "\n";
    return s;
}

// The text with its headers and footers and its information items.
inline std::string DumpStore(const TRtRTFText& Text)
{
    std::string s = DumpText(Text);
    // Headers and footers by kind and page range, in whatever order they were added.
    std::vector<std::string> hfs;
    for (int32_t i = 0; i < Text.HeaderFooters()->Count(); ++i) {
        const TRtSpecialTextProperty* hf = Text.HeaderFooters()->GetItem(i);
        std::string h = "hf kind=" + std::to_string(hf->Kind) + " range=" + std::to_string(hf->Range) + "\n";
        for (const TParagraph* p = hf->Paragraphs(); p; p = p->Next)
            h += "  " + DumpPar(Text, p) + "\n";
        hfs.push_back(h);
    }
    std::sort(hfs.begin(), hfs.end());
    for (const std::string& h : hfs)
        s += h;
    for (int32_t i = 0; i < Text.ExtraData()->Count(); ++i) {
        const TRtRTFExtraDataItem* d = Text.ExtraData()->GetItem(i);
        s += "data " + LowerCase(d->Name) + "=" + d->Text + " type=" + std::to_string(d->SubType) + "\n";
    }
    return s;
}

// The table rows of a text where they stand on the page, one string a row:
// "left: text|right text|right ..." in twips from the text's left edge, each
// to the nearest 50 (the cells' shares of tables up to 12,000 twips wide are
// that close to what was read), a line break in a cell as "/".
inline std::string Near50(int64_t Twips)
{
    return std::to_string((Twips >= 0 ? Twips + 25 : Twips - 25) / 50 * 50);
}

inline std::vector<std::string> RowEdges(TRtRTFText& Text)
{
    const TTextHeader* h = Text.Header();
    std::vector<std::string> rows;
    for (const TParagraph* p = Text.FirstPar; p; p = p->Next) {
        if (!(p->Flags & parfTableCell) || !p->Cell)
            continue;
        int32_t left = 0, right = 0;
        Text.TableList()->GetTableLeftRight(p->Cell->TableId, left, right);
        const int64_t width = int64_t(h->PageWidth()) - h->LeftMargin() - h->RightMargin() - left - right;
        if (!(p->Flags & parfNotFirstCell) || rows.empty())
            rows.push_back(Near50(left + width * p->Cell->Left / 255) + ":");
        std::string text = ParString(p);
        std::replace(text.begin(), text.end(), '\n', '/');
        rows.back() += " " + text + "|" + Near50(left + width * (p->Cell->Left + p->Cell->Width) / 255);
    }
    return rows;
}
