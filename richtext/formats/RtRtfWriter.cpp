#include "RtRtfWriter.h"

#include "Charsets.h"
#include "RtExtraData.h"
#include "RtHeaderFooter.h"
#include "RtList.h"
#include "RtNumbering.h"
#include "RtObject.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

uint8_t Hi(uint8_t v) { return uint8_t(v >> 4); }
uint8_t Lo(uint8_t v) { return uint8_t(v & 15); }

} // namespace

void TRtRTFWriter::Reset()
{
    TRtTextWriter::Reset();
    Buf.clear();
    Groups.clear();
    HyperlinkOpen = SuppressHidden = PlainWritten = ListTableWritten = false;
    MergeFieldOpen = InsertPointPending = AutomaticOn = InHeaderFooter = RtfCodeOpen = false;
    LastTableId = 0;
    StyleNumbers.clear();
    StyleOrder.clear();
    PrevParStyled = false;
    TabSeen = LineLayout = PageBreakInfo = false;
    LastRowDef.clear();
}

void TRtRTFWriter::AddWord(const char* Word, int32_t Value)
{
    Buf += Word;
    Buf += std::to_string(Value);
}

void TRtRTFWriter::AddPatternColor(const char* Word, const TParagraph& P)
{
    if (P.PatColor)
        AddWord(Word, ColorMap[P.PatColor]);
}

int32_t TRtRTFWriter::Flush()
{
    const int32_t r = Put(Buf);
    Buf.clear();
    return r;
}

void TRtRTFWriter::AddEscapedChar(uint8_t C)
{
    if (C == '\\' || C == '{' || C == '}') {
        Buf += '\\';
        Buf += char(C);
    } else if (C >= 0x20 && C < 0x7F)
        Buf += char(C);
    else
        AddHexByte(C);
}

void TRtRTFWriter::AddHexByte(uint8_t C)
{
    char hex[5];
    snprintf(hex, sizeof hex, "\\'%02x", C);
    Buf += hex;
}

void TRtRTFWriter::AddEscaped(const AnsiString& S)
{
    for (char ch : S)
        AddEscapedChar(uint8_t(ch));
}

void TRtRTFWriter::AddEscaped(std::u32string_view S)
{
    for (const char32_t ch : S) {
        if (ch < 0x80) {
            AddEscapedChar(uint8_t(ch));
            continue;
        }
        for (const QChar unit : QString::fromUcs4(&ch, 1)) {
            AddWord("\\u", int16_t(unit.unicode()));
            Buf += '?';
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
    // Fonts that numbering styles name get a slot first.
    TRtRTFNumberingStyleCollection* numbering = Text->NumberingStyles();
    for (int32_t i = 0; i < numbering->Count(); ++i)
        if (!numbering->GetItem(i)->Font.empty())
            h->GetTextFontIndex(numbering->GetItem(i)->Font);
    AddFontTable();
    if (int32_t r = Flush())
        return r;
    AddColorTable();
    const bool formatted = Text->TextFormatted1;
    LineLayout = formatted || opt.Has(soWordwrapInformation);
    PageBreakInfo = formatted || opt.Has(soPagebreakInformation);
    if (LineLayout)
        Add("\\rtformatted1");
    if (!opt.Has(soNoPageFormatInRTF))
        AddPageFormat();
    Add("\r\n");
    if (Text->HasBackground && Text->Background && Text->Background->Size() > 0) {
        Add("{\\*\\rtbackbmp{");
        AddData(*Text->Background, false);
        Add("}}");
    }
    if (!opt.Has(soNoRTFVariables))
        AddInfo();
    AddListTable();
    AddStyleSheet();
    return Flush();
}

void TRtRTFWriter::AddFontTable()
{
    TTextHeader* h = Text->Header();
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
}

void TRtRTFWriter::AddColorTable()
{
    for (size_t i = 0; i < ColorMap.size(); ++i)
        ColorMap[i] = uint8_t(i);
    if (Options().Has(soNoColorTableInRTF))
        return;
    ColorMap.fill(0);
    Add("{\\colortbl");
    int32_t k = 0;
    for (size_t i = 0; i < 255; ++i) {
        const TRtColorEntry& c = Text->Header()->Colors[i];
        if (i >= 16 && !(Text->Use256Colors && c.Used))
            continue;
        ColorMap[i] = uint8_t(k++);
        AddWord("\\red", c.Red);
        AddWord("\\green", c.Green);
        AddWord("\\blue", c.Blue);
        Add(";");
    }
    Add("}");
}

void TRtRTFWriter::AddPageFormat()
{
    const TTextHeader* h = Text->Header();
    if (h->Landscape())
        Add("\\landscape");
    AddWord("\\rtprheadfoot", std::clamp<int32_t>(Text->PrintHeaderFooter, 0, 3));
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

TRtCustomStyleCollection* TRtRTFWriter::StyleCollection() const
{
    return Text->OwnerControl ? Text->OwnerControl->RtStyleCollection() : nullptr;
}

void TRtRTFWriter::UseStyle(int32_t Index)
{
    if (Index < 0 || size_t(Index) >= StyleNumbers.size() || StyleNumbers[size_t(Index)])
        return;
    StyleOrder.push_back(Index);
    StyleNumbers[size_t(Index)] = int32_t(StyleOrder.size());
}

void TRtRTFWriter::AddStyleSheet()
{
    StyleNumbers.clear();
    StyleOrder.clear();
    const TRtCustomStyleCollection* styles = StyleCollection();
    const TStoreOptions opt = Options();
    if (!styles || opt.Has(soNoStyleTable))
        return;
    // The styles in use, in the order of first use.
    StyleNumbers.assign(styles->Styles.size(), 0);
    auto useChain = [this](const TParagraph* P) {
        for (; P; P = P->Next)
            UseStyle(P->StyleIndex - 1);
    };
    useChain(Text->FirstPar);
    TRtHeaderFooterCollection* hf = Text->HeaderFooters();
    for (int32_t i = 0; i < hf->Count(); ++i)
        useChain(hf->GetItem(i)->Paragraphs());
    const bool all = opt.Has(soAllStylesInCollection);
    if (StyleOrder.empty() && !all)
        return;
    Add("{\\stylesheet");
    // Based-on and next styles join the list as their users are written;
    // with all styles, the others follow and continue the numbering.
    for (size_t k = 0;; ++k) {
        if (k == StyleOrder.size() && all)
            for (size_t i = 0; i < styles->Styles.size() && k == StyleOrder.size(); ++i)
                UseStyle(int32_t(i));
        if (k >= StyleOrder.size())
            break;
        AddStyleEntry(styles->Styles[size_t(StyleOrder[k])], int32_t(k + 1));
    }
    Add("}\r\n");
}

void TRtRTFWriter::AddStyleEntry(const TRtParStyle& Style, int32_t Number)
{
    const TRtCustomStyleCollection& styles = *StyleCollection();
    const TParagraph& p = Style.Par;
    const uint32_t m = Style.ParMask;
    AddWord("{\\s", Number);
    if (m & TRtParStyle::spIndentLeft)
        AddWord("\\li", p.IndentLeft);
    if (m & TRtParStyle::spIndentRight)
        AddWord("\\ri", p.IndentRight);
    if (m & TRtParStyle::spIndentFirst)
        AddWord("\\fi", p.IndentFirst);
    if (m & TRtParStyle::spSpaceBefore)
        AddWord("\\sb", p.SpaceBefore);
    if (m & TRtParStyle::spSpaceBetween) {
        AddWord("\\sl", p.SpaceBetween);
        if (p.Flags & parfMultSpaceBetween)
            Add("\\slmult1");
    }
    if (m & TRtParStyle::spSpaceAfter)
        AddWord("\\sa", p.SpaceAfter);
    if (m & TRtParStyle::spKeep) {
        if (p.Flags & parfKeepTogether)
            Add("\\keep");
        if (p.Flags & parfKeepWithNext)
            Add("\\keepn");
    }
    if (m & TRtParStyle::spTabs)
        Add(TabWords(p));
    if (m & TRtParStyle::spBorders)
        AddBorders(p.BrdLines, p.BrdWidth, p.BrdColor, p.BrdSpace, false);
    if (m & TRtParStyle::spAlign) {
        static const char* align[4] = {"\\ql", "\\qc", "\\qr", "\\qj"};
        Add(align[p.Align & 3]);
    }
    if (m & TRtParStyle::spShading) {
        AddWord("\\shading", (100 - p.Shading) * 100);
        AddPatternColor("\\cfpat", p);
        AddWord("\\cbpat", ColorMap[p.Color]);
    }
    if (p.Number > 0)
        AddNumbering(p, Text->NumberingStyles()->FindForPar(&p));
    if (p.ExtFlags & parxTableOfContents)
        Add("\\toc1");
    const TAttr& a = Style.Attr;
    static const std::pair<TOneWrtStyle, const char*> bits[3] = {
        {afsBold, "\\b"}, {afsItalic, "\\i"}, {afsUnderline, "\\ul"}};
    for (const auto& [bit, word] : bits)
        if (Style.StyleBits.Has(bit))
            AddWord(word, a.Style.Has(bit) ? 1 : 0);
    if (Style.CharMask & TRtParStyle::scFont)
        AddWord("\\f", FontMap[a.Font & 0xFF]);
    if (Style.CharMask & TRtParStyle::scSize)
        AddWord("\\fs", a.Size * 2);
    const bool use256 = Text->Use256Colors;
    if (Style.CharMask & TRtParStyle::scColor)
        AddWord("\\cf", ColorMap[use256 ? a.TextColor : Lo(a.TextColor)]);
    if (Style.CharMask & TRtParStyle::scBGColor)
        AddWord("\\cb", ColorMap[use256 ? a.BGColor : Hi(a.TextColor)]);
    // The related styles by their number in the written order.
    const std::pair<const AnsiString*, const char*> related[2] = {{&Style.BasedOn, "\\sbasedon"},
                                                                  {&Style.Next, "\\snext"}};
    for (const auto& [name, word] : related) {
        const int32_t i = name->empty() ? -1 : styles.IndexOfStyle(*name);
        UseStyle(i);
        if (i >= 0)
            AddWord(word, StyleNumbers[size_t(i)]);
    }
    Add(" ");
    AddEscaped(Style.Name.substr(0, 61));
    Add(";}");
}

int32_t TRtRTFWriter::StyleNumberOf(const TParagraph* P) const
{
    const int32_t i = P->StyleIndex - 1;
    return i >= 0 && size_t(i) < StyleNumbers.size() ? StyleNumbers[size_t(i)] : 0;
}

uint8_t TRtRTFWriter::FontNr(const AnsiString& Name)
{
    const TTextHeader* h = Text->Header();
    for (size_t i = 0; i < h->Fonts.size(); ++i)
        if (!h->Fonts[i].Name.empty() && SameText(h->Fonts[i].Name, Name))
            return FontMap[i];
    return 0;
}

void TRtRTFWriter::AddInfoValue(const AnsiString& S, int32_t Charset)
{
    const std::u32string chars = Charset > SYMBOL_CHARSET ? CharsetCharsPerByte(Charset, S) : std::u32string();
    for (size_t i = 0; i < S.size(); ++i) {
        const uint8_t c = uint8_t(S[i]);
        if (!chars.empty() && (c >= 0x80 || chars[i] == 0)) {
            // The trail byte of a double-byte character has no character of its own.
            if (chars[i] && chars[i] != U'\uFFFD')
                AddEscaped(std::u32string_view(&chars[i], 1));
            continue;
        }
        if (c == '\\' || c == '{' || c == '}') {
            Buf += '\\';
            Buf += char(c);
        } else if (c < 33)
            AddHexByte(c ? c : 0x20);
        else
            Buf += char(c);
    }
}

void TRtRTFWriter::AddInfo()
{
    const TRtRTFExtraDataCollection* data = Text->ExtraData();
    bool info = false, props = false;
    for (int pass = 0; pass < 2; ++pass) {
        for (int32_t i = 0; i < data->Count(); ++i) {
            const TRtRTFExtraDataItem* item = data->GetItem(i);
            if (item->HasOption(rtxInvisible) || !item->HasOption(rtxSaveToRTF) || item->Text.empty()
                || item->StorageKind != 0 || item->IsReservedName() != (pass == 0))
                continue;
            if (pass == 0) {
                if (!info)
                    Add("{\\info");
                info = true;
                const AnsiString name = LowerCase(item->Name);
                const bool starred = name == "manager" || name == "company" || name == "category" || name == "hlinkbase";
                Add(starred ? "{\\*\\" : "{\\");
                Add(name + " ");
                AddInfoValue(item->Text, item->Charset);
                Add("}\r\n");
            } else {
                if (!props)
                    Add("{\\*\\userprops ");
                props = true;
                Add("{\\propname ");
                AddInfoValue(item->Name);
                Add("}");
                // The default kind is written without a type, so that it reads back as such.
                static const int32_t types[5] = {0, 30, 3, 11, 64};
                if (item->SubType != rtxDefault && item->SubType <= rtxDate)
                    AddWord("\\proptype", types[item->SubType]);
                Add("{\\staticval ");
                AddInfoValue(item->Text, item->Charset);
                Add("}\r\n");
            }
        }
        if (pass == 0 && info)
            Add("}");
        if (pass == 1 && props)
            Add("}");
    }
}

void TRtRTFWriter::AddListTable()
{
    const TStoreOptions opt = Options();
    TRtRTFNumberingStyleCollection* numbering = Text->NumberingStyles();
    if (opt.Has(soNoOutlineStyleTable) || opt.Has(soOnlyNumberCompatibilityText) || Text->NoListTables
        || numbering->Count() == 0)
        return;
    int32_t groups = 0;
    for (int32_t i = 0; i < numbering->Count(); ++i)
        groups = std::max(groups, numbering->GetItem(i)->Group);
    if (groups <= 0 || opt.Has(soOldStyleOutlineStyleTable)) {
        // The outline levels as the section's numbering.
        Add("\\sectd\r\n");
        for (int32_t level = 1; level <= 9; ++level)
            if (const TRtRTFNumberingStyle* st = OutlineStyle(1, level)) {
                AddWord("{\\*\\pnseclvl", level);
                AddNumberingText(*st);
                Add("}\r\n");
            }
        return;
    }
    // Only the lists that paragraphs or styles use are written.
    const std::vector<bool> used = UsedLists(groups);
    if (std::find(used.begin(), used.end(), true) == used.end())
        return;
    std::string overrides;
    ListNumbers.assign(size_t(groups) + 1, 0);
    int32_t written = 0;
    Add("{\\*\\listtable");
    for (int32_t g = 1; g <= groups; ++g) {
        if (!used[size_t(g)])
            continue;
        bool any = false;
        for (int32_t level = 1; level <= 9; ++level) {
            const TRtRTFNumberingStyle* st = OutlineStyle(g, level);
            if (!st)
                continue;
            if (!any)
                Add("{\\list\\listtemplateid19690212");
            any = true;
            AddListLevel(*st, level);
        }
        if (any) {
            AddWord("\\listid", g);
            Add("}");
            // One override for each list, numbered in the order written.
            ListNumbers[size_t(g)] = ++written;
            overrides += "{\\listoverride\\listid" + std::to_string(g) + "\\listoverridecount0\\ls"
                + std::to_string(written) + "}";
        }
    }
    Add("}{\\*\\listoverridetable");
    Add(overrides);
    Add("}\r\n");
    ListTableWritten = true;
}

const TRtRTFNumberingStyle* TRtRTFWriter::OutlineStyle(int32_t Group, int32_t Level) const
{
    TRtRTFNumberingStyleCollection* numbering = Text->NumberingStyles();
    for (int32_t i = 0; i < numbering->Count(); ++i)
        if (numbering->GetItem(i)->Group == Group && numbering->GetItem(i)->LevelInGroup == Level)
            return numbering->GetItem(i);
    return nullptr;
}

std::vector<bool> TRtRTFWriter::UsedLists(int32_t GroupCount) const
{
    const TRtRTFNumberingStyleCollection* numbering = Text->NumberingStyles();
    std::vector<bool> used(size_t(GroupCount) + 1, false);
    auto use = [&](const TParagraph& P) {
        if (const TRtRTFNumberingStyle* st = P.Number > 0 ? numbering->FindForPar(&P) : nullptr)
            if (st->Group > 0)
                used[size_t(st->Group)] = true;
    };
    auto useChain = [&](const TParagraph* P) {
        for (; P; P = P->Next)
            use(*P);
    };
    useChain(Text->FirstPar);
    TRtHeaderFooterCollection* hf = Text->HeaderFooters();
    for (int32_t i = 0; i < hf->Count(); ++i) {
        useChain(hf->GetItem(i)->Paragraphs());
        useChain(hf->GetItem(i)->SavedFirstPar());
    }
    if (const TRtCustomStyleCollection* styles = StyleCollection())
        for (const TRtParStyle& style : styles->Styles)
            use(style.Par);
    return used;
}

void TRtRTFWriter::AddListLevel(const TRtRTFNumberingStyle& St, int32_t Level)
{
    static const char* const nfc[7] = {"\\levelnfc23", "\\levelnfc23", "\\levelnfc3", "\\levelnfc4",
                                       "\\levelnfc1", "\\levelnfc2", "\\levelnfc0"};
    AddWord("{\\listlevel\\leveljc0\\levelfollow0\\levelstartat1\\levelspace0\\levelindent", St.Indent);
    Add(nfc[St.Style <= rt_1 ? St.Style : rt_1]);
    if (St.IndentFirst || St.IndentLeft) {
        AddWord("\\fi", St.IndentFirst);
        AddWord("\\li", St.IndentLeft);
    }
    const bool bullet = St.Style == rt_bullet || St.Style == rt_none;
    const size_t length = std::min<size_t>(St.TextB.size() + (bullet ? 0 : 1 + St.TextA.size()), 99);
    Add("{\\leveltext");
    AddHexByte(uint8_t(length));
    AddEscaped(St.TextB);
    if (!bullet) {
        AddHexByte(uint8_t(Level - 1));
        AddEscaped(St.TextA);
    }
    Add(";}{\\levelnumbers");
    if (!bullet)
        AddHexByte(uint8_t(std::min<size_t>(St.TextB.size() + 1, 99)));
    Add(";}");
    if (!St.Font.empty())
        AddWord("\\f", FontNr(St.Font));
    if (St.Size)
        AddWord("\\fs", St.Size * 2);
    if (St.UsePrev)
        Add("\\levelprev1");
    Add("}\r\n");
}

uint8_t TRtRTFWriter::NumberFont(const TParagraph& P, const TRtRTFNumberingStyle* st)
{
    return st->Font.empty() ? FontMap[P.ParAttr.Font & 0xFF] : FontNr(st->Font);
}

void TRtRTFWriter::AddNumberText(const TParagraph& P, const TRtRTFNumberingStyle* st, const AnsiString& Number)
{
    const TStoreOptions opt = Options();
    if (!st || opt.Has(soNoNumberCompatibilityText))
        return;
    const bool simple = !(st->Group > 0 && ListTableWritten) && opt.Has(soSimpleNumberCompatibilityText);
    AddWord(st->Group > 0 && ListTableWritten ? "{\\listtext\\f" : simple ? "\\f" : "{\\pntext\\f",
            NumberFont(P, st));
    Add(" ");
    AddEscaped(Number);
    Add(simple ? "\\tab" : "\\tab}");
}

void TRtRTFWriter::AddNumbering(const TParagraph& P, const TRtRTFNumberingStyle* st)
{
    if (!st)
        return;
    const TStoreOptions opt = Options();
    if (st->Group > 0 && ListTableWritten) {
        AddWord("\\ls", size_t(st->Group) < ListNumbers.size() ? ListNumbers[size_t(st->Group)] : 0);
        AddWord("\\ilvl", std::clamp(P.NumLevel - 1, 0, 8));
        return;
    }
    if (opt.Has(soOnlyNumberCompatibilityText))
        return;
    if (P.NumLevel)
        AddWord("{\\*\\pn \\pnlvl", P.NumLevel);
    else
        Add("{\\*\\pn \\pnlvlbody");
    AddNumberingText(*st);
    Add("}");
}

void TRtRTFWriter::AddNumberingText(const TRtRTFNumberingStyle& Style)
{
    static const char* const styles[7] = {"\\pndec", "\\pnlvlblt", "\\pnucltr", "\\pnlcltr",
                                          "\\pnucrm", "\\pnlcrm", "\\pndec"};
    Add(styles[Style.Style <= rt_1 ? Style.Style : rt_1]);
    if (Style.Style != rt_bullet)
        Add("\\pnstart1");
    if (!Style.Font.empty())
        AddWord("\\pnf", FontNr(Style.Font));
    if (Style.Size)
        AddWord("\\pnfs", Style.Size);
    if (Style.UsePrev)
        Add("\\pnprev");
    AddWord("\\pnhang\\pnindent", Style.Indent);
    Add("{\\pntxtb ");
    AddEscaped(Style.TextB);
    Add("}{\\pntxta ");
    AddEscaped(Style.TextA);
    Add("}");
}

std::vector<TRtRTFWriter::THeaderFooterPlace> TRtRTFWriter::HeaderFooterPlaces()
{
    TRtRTFText& t = *Text;
    auto find = [&](TRtPagePropertyRange Range, TRtPagePropertyKind Kind) {
        return t.FindHeaderFooter(Range, Kind);
    };
    auto any = [&](TRtPagePropertyRange Range) { return find(Range, rtIsHeader) || find(Range, rtIsFooter); };
    const bool special = any(rtraOnLastPage) || any(rtraNotOnFirstAndLastPages);
    const TRtPagePropertyRange right = special ? rtraOnLastPage : rtraOnOddPages;
    const TRtPagePropertyRange left = special ? rtraNotOnFirstAndLastPages : rtraOnEvenPages;
    const bool title = any(rtraOnFirstPage);
    const bool facing = special || any(right) || any(left);
    if (special)
        Add("\\rtspecialhf");
    if (title)
        Add("\\titlepg");
    if (facing)
        Add("\\facingp");
    std::vector<THeaderFooterPlace> places;
    for (TRtPagePropertyKind kind : {rtIsHeader, rtIsFooter}) {
        const char* base = kind == rtIsHeader ? "\\header" : "\\footer";
        TRtSpecialTextProperty* all = find(rtraOnAllPages, kind);
        auto orAll = [&](TRtPagePropertyRange Range) {
            TRtSpecialTextProperty* item = find(Range, kind);
            return item ? item : all;
        };
        // The all-pages text comes first in its own place, so that a reader
        // finds it there; the lettered places after it carry it where the
        // text has no text of their own.
        places.push_back({base, all});
        if (title)
            places.push_back({kind == rtIsHeader ? "\\headerf" : "\\footerf", orAll(rtraOnFirstPage)});
        if (facing) {
            places.push_back({kind == rtIsHeader ? "\\headerr" : "\\footerr", orAll(right)});
            places.push_back({kind == rtIsHeader ? "\\headerl" : "\\footerl", orAll(left)});
        }
    }
    return places;
}

int32_t TRtRTFWriter::WriteHeadersAndFooters()
{
    const std::vector<THeaderFooterPlace> places = HeaderFooterPlaces();
    Add("\r\n");
    if (int32_t r = Flush())
        return r;
    // Each text through the same walk, then the body's range again.
    TParagraph* const first = FirstPar;
    TParagraph* const last = LastPar;
    TLine* const startLine = StartLine;
    TLine* const endLine = EndLine;
    const int32_t startPos = StartPos, endPos = EndPos;
    int32_t r = 0;
    for (const THeaderFooterPlace& place : places)
        if (place.Item && !place.Item->IsEmpty() && place.Item->Paragraphs()
            && (r = WriteHeaderFooter(place.Word, *place.Item)) != 0)
            break;
    FirstPar = first;
    LastPar = last;
    StartLine = startLine;
    EndLine = endLine;
    StartPos = startPos;
    EndPos = endPos;
    return r;
}

int32_t TRtRTFWriter::WriteHeaderFooter(const char* Word, TRtSpecialTextProperty& Item)
{
    Add("{");
    Add(Word);
    Add(" ");
    FirstPar = Item.Paragraphs();
    LastPar = nullptr;
    StartLine = EndLine = nullptr;
    StartPos = EndPos = 0;
    // The header's group serves as the paragraph group: "\pard" without a group of its own.
    std::vector<TGroupState> groups;
    std::swap(groups, Groups);
    Groups.push_back({gkParagraph, std::string(), false});
    InHeaderFooter = true;
    int32_t r = 0;
    if ((r = Flush()) != 0 || (r = TRtTextWriter::WriteDocument()) != 0)
        return r;
    CloseOpenCodes();
    InHeaderFooter = false;
    // A last row ends its paragraph with "\row" already.
    const TParagraph* end = FirstPar;
    while (end->Next)
        end = end->Next;
    if (!(end->Flags & parfTableCell))
        Add("\\par");
    PopGroups(1);
    Add("}\r\n");
    Groups = std::move(groups);
    return Flush();
}

int32_t TRtRTFWriter::WriteDocument()
{
    Add("\\endnhere\\sectdefaultcl");
    if (Text->Header()->MarginMirror())
        Add("\\margmirror");
    if (!Options().Has(soNoHeaderText) && (!LastPar || RangeWithHeaderFooter))
        if (int32_t r = WriteHeadersAndFooters())
            return r;
    Add("\r\n");
    if (int32_t r = Flush())
        return r;
    return TRtTextWriter::WriteDocument();
}

void TRtRTFWriter::AddBorders(uint16_t Lines, uint8_t Width, const std::array<uint8_t, 4>& Colors, uint8_t Space,
                              bool Cell)
{
    if (!(Lines & 0xFFFE))
        return;
    const char* kind = (Lines & 0x80) ? "\\brdrdb" : "\\brdrs";
    const bool use256 = Text->Use256Colors;
    // Colours: left, top, right, bottom.
    auto color = [&](int Side) -> uint8_t {
        if (use256)
            return ColorMap[Colors[size_t(Side)]];
        const uint8_t both = Side == 1 || Side == 3 ? Colors[0] : Colors[1];
        return ColorMap[(Side == 1 || Side == 0) ? (both & 15) : (both >> 4)];
    };
    if (!Cell && (Lines & 0x40)) {
        Add("\\brdrbtw\\box");
        Add(kind);
        if (color(1))
            AddWord("\\brdrcf", color(1));
    } else if (!Cell && (Lines & 0x3C) == 0x3C) {
        Add("\\box");
        Add(kind);
        if (color(1))
            AddWord("\\brdrcf", color(1));
    } else {
        struct TSide {
            uint16_t Bit;
            const char* Par;
            const char* Cell;
            int Color;
        };
        static const TSide sides[4] = {{0x04, "\\brdrt", "\\clbrdrt", 1}, {0x08, "\\brdrb", "\\clbrdrb", 3},
                                       {0x10, "\\brdrl", "\\clbrdrl", 0}, {0x20, "\\brdrr", "\\clbrdrr", 2}};
        for (const TSide& side : sides)
            if ((Lines & side.Bit) || (Lines & 0x40)) {
                Add(Cell ? side.Cell : side.Par);
                Add(kind);
                if (color(side.Color))
                    AddWord("\\brdrcf", color(side.Color));
            }
    }
    if (Lines & 0x4000)
        Add("\\brdrtablin");
    if ((Lines & 0x200))
        Add("\\brdrhair");
    if (Lines & 0x100)
        Add("\\brdrdot");
    if (Width)
        AddWord("\\brdrw", Width);
    if (Space)
        AddWord("\\brsp", Space * 20);
}

void TRtRTFWriter::AddData(const TMemoryStream& Data, bool Binary)
{
    const int32_t n = int32_t(Data.Bytes().size());
    if (Binary) {
        AddWord("\\bin", n);
        Add(" ");
        Buf.append(reinterpret_cast<const char*>(Data.Memory()), size_t(n));
        return;
    }
    static const char hex[] = "0123456789abcdef";
    const uint8_t* p = Data.Memory();
    for (int32_t i = 0; i < n; ++i) {
        Buf += hex[p[i] >> 4];
        Buf += hex[p[i] & 15];
        if (i % 64 == 63)
            Buf += "\r\n";
    }
}

int32_t TRtRTFWriter::WriteObject(TTextObj* Ref)
{
    auto* obj = dynamic_cast<TRtObject*>(Ref->Object);
    if (!obj)
        return 0;
    if (auto* field = dynamic_cast<TRtObjectField*>(obj); field && !Text->WriteFieldsAsObjects) {
        // A field: its name and mask as the instruction, its name as the result.
        Add("{\\field{\\*\\fldinst{");
        AddEscaped(field->FieldName);
        const AnsiString mask = Trim(field->FieldMask);
        if (!mask.empty()) {
            Add(" ");
            AddEscaped(mask);
        }
        Add("}}{\\*\\fldrslt{");
        AddEscaped(field->FieldName);
        Add("}}}");
        return Flush();
    }
    bool own, standard;
    switch (Text->ObjectWriteMode) {
    case wobStandard: own = false, standard = true; break;
    case wobRTF: own = true, standard = false; break;
    case wobStandardAndRTF: own = standard = true; break;
    default:
        own = obj->WriteRTFMode != wobOnlyStandard;
        standard = obj->WriteRTFMode != wobOnlyRTF;
        break;
    }
    // An object without a standard form goes in the own form.
    AnsiString pictureWords;
    QByteArray picture;
    if (standard && !obj->GetRTFPicture(pictureWords, picture)) {
        standard = false;
        own = true;
    }
    if (own) {
        Add("{\\*\\rtobject");
        if (Ref->Kind == 1) {
            AddWord("\\ppar\\relx", Ref->X);
            AddWord("\\rely", Ref->Y);
            AddWord("\\picwrap", Ref->WrapMode);
        } else if (Ref->Kind == 2) {
            AddWord("\\ppag\\relx", Ref->X);
            AddWord("\\rely", Ref->Y);
        }
        Add("{");
        TMemoryStream data;
        obj->WriteToStream(&data);
        AddData(data, Options().Has(soWriteObjectsAsRTFBinary) && !InHeaderFooter);
        Add("}}");
    }
    if (standard) {
        Add("{\\pict");
        Add(pictureWords);
        AddWord("\\picwgoal", obj->GetWidthTW());
        AddWord("\\pichgoal", obj->GetHeightTW());
        Add("\r\n");
        TMemoryStream data;
        data.WriteBuffer(picture.constData(), int32_t(picture.size()));
        AddData(data, false);
        Add("}");
    }
    return Flush();
}

int32_t TRtRTFWriter::WriteReference(int32_t Kind, TTextObj* Ref)
{
    if (Ref->Type == 3 && Kind == 1) {
        AnsiString page;
        Text->GetReferenceText(Ref, page);
        Add("{\\field{\\*\\fldinst{PAGEREF ");
        AddEscaped(Ref->RefName);
        Add(" \\\\h}{\\*\\rtfldfrm{");
        AddEscaped(Ref->FormatText);
        Add("}}}{\\fldrslt{");
        AddEscaped(page);
        Add("}}}");
        return Flush();
    }
    if (Ref->Type != 1)
        return 0;
    if (Kind == 1 || Kind == 2) {
        Add("{\\*\\bkmkstart ");
        AddEscaped(Ref->RefName);
        Add("}");
    }
    if (Kind == 1 || Kind == 3) {
        Add("{\\*\\bkmkend ");
        AddEscaped(Ref->RefName);
        Add("}");
    }
    return Flush();
}

int32_t TRtRTFWriter::WriteFootnote()
{
    auto* note = static_cast<TRtFootnoteItem*>(Text->FootnoteList()->FindItem(int32_t(CurAttr.Tag)));
    if (!note)
        return 0;
    // An automatic mark is the word processor's own footnote number.
    std::string mark;
    if (note->Kind == 1)
        mark = "\\chftn";
    else {
        const AnsiString c(reinterpret_cast<const char*>(CurLine->Chars + CurPos), size_t(FootnoteMarkLength));
        TCollect collect(Buf);
        Add(" ");
        AddEscaped(c);
        mark = collect.Take();
    }
    Add("{\\cs16\\super" + mark + "{\\*\\footnote");
    if (note->Value > 0)
        AddWord("\\rtfnnr", note->Value);
    Add(" \\pard\\plain\\s15\\widctlpar\\f4\\fs20\\lang1031{\\cs16\\super" + mark + "}\r\n");
    Add(note->Text);
    Add("}}");
    return Flush();
}

int32_t TRtRTFWriter::WriteTrailer()
{
    CloseOpenCodes();
    PopGroups(0);
    Add("\r\n}");
    return Flush();
}

int32_t TRtRTFWriter::CloseHyperlink()
{
    Add("}}}");
    HyperlinkOpen = false;
    return 0;
}

std::string TRtRTFWriter::RowDefinition(TParagraph* FirstCell)
{
    TTextHeader* h = Text->Header();
    const int32_t avail = h->PageWidth() - h->LeftMargin() - h->RightMargin();
    int32_t left = 0, right = 0;
    const TRtCell* first = FirstCell->Cell;
    if (first)
        Text->TableList()->GetTableLeftRight(first->TableId, left, right);
    const int32_t width = avail - left - right;
    TCollect collect(Buf);
    Add("\\trowd");
    AddWord("\\trgaph", first ? first->Gap : 0);
    // A row whose first cell starts inside its table starts there.
    AddWord("\\trleft", left + (first ? MulDiv(width, first->Left, 255) : 0));
    for (TParagraph* p = FirstCell; p; p = p->Next) {
        const TRtCell* c = p->Cell;
        if (c) {
            AddBorders(p->BrdLines, p->BrdWidth, p->BrdColor, p->BrdSpace, true);
            if (p->Shading && !Options().Has(soNoShadingInformation)) {
                AddWord("\\clshdng", (100 - p->Shading) * 100);
                AddPatternColor("\\clcfpat", *p);
                AddWord("\\clcbpat", ColorMap[p->Color]);
            }
            if (p->Flags & parfCellVCenter)
                Add("\\clvertalc");
            else if (p->Flags & parfCellVBottom)
                Add("\\clvertalb");
            int32_t share = c->Left + c->Width;
            if (share == 0)
                share = 1;
            AddWord("\\cellx", left + MulDiv(width, share, 255));
        }
        if (!(p->Flags & parfNotLastCell))
            break;
    }
    return collect.Take();
}

std::string TRtRTFWriter::TabWords(const TParagraph& P) const
{
    std::string words;
    const TTextHeader* h = Text->Header();
    for (int i = 0; i < 64; ++i) {
        const int idx = h->TabOrder[size_t(i)];
        if (idx < 0 || idx > 63 || !(P.Tabs & (uint64_t(1) << idx)))
            continue;
        const TRtTabEntry& t = h->Tabs[size_t(idx)];
        static const char* kinds[4] = {"", "\\tqr", "\\tqc", "\\tqdec"};
        words += kinds[t.Kind & 3];
        words += "\\tx" + std::to_string(t.Pos);
    }
    return words;
}

std::string TRtRTFWriter::ParagraphWords(const TParagraph& P, int32_t Style, const TRtRTFNumberingStyle* Numbering)
{
    TCollect collect(Buf);
    const bool cell = P.Flags & parfTableCell;
    // Properties that the style sets and the paragraph does not are cleared below.
    const TRtParStyle* ps = Style > 0 ? &StyleCollection()->Styles[size_t(P.StyleIndex - 1)] : nullptr;
    if (Style > 0 || PrevParStyled)
        AddWord("\\plain\\s", Style);
    PrevParStyled = Style > 0;
    if (cell)
        Add(TabWords(P));
    if (P.Shading && !cell && !Options().Has(soNoShadingInformation)) {
        // The reader turns "\shading" n into 100 - n / 100.
        AddWord("\\shading", (100 - P.Shading) * 100);
        AddPatternColor("\\cfpat", P);
        AddWord("\\cbpat", ColorMap[P.Color]);
    } else if (ps && (ps->ParMask & TRtParStyle::spShading) && !cell) {
        AddWord("\\cbpat", ColorMap[P.Color]);
        AddPatternColor("\\cfpat", P);
        Add("\\shading10000");
    }
    if (P.Flags & parfObjectPar)
        Add("\\rtmergestart");
    if (P.Flags & parfObjectPar2)
        Add("\\rtmergeend");
    if (P.Flags & parfKeepTogether)
        Add("\\keep");
    if (P.Flags & parfNoLines)
        Add("\\rtnoparlines");
    if (P.Flags & parfProtected)
        Add("\\rtparprot");
    AddNumbering(P, Numbering);
    if (cell && (P.Flags & parfKeepWithNext))
        Add("\\rtkeepn");
    if (P.ParId)
        AddWord("\\rtparid", int32_t(P.ParId));
    if (P.Flags & parfSkip1)
        Add("\\rtparhide");
    if (P.Flags & parfNoWrap)
        Add("\\rtparnowwrap");
    if (P.SpaceBetween) {
        AddWord("\\sl", P.SpaceBetween);
        if (P.Flags & parfMultSpaceBetween)
            Add("\\slmult1");
    } else if (ps && (ps->ParMask & TRtParStyle::spSpaceBetween))
        Add("\\sl0");
    if (P.ExtFlags & parxTableOfContents)
        Add("\\toc1");
    if (P.OutlineLevel)
        AddWord("\\rtlevel", P.OutlineLevel);
    return collect.Take();
}

std::string TRtRTFWriter::SpacingWords(const TParagraph& P)
{
    TCollect collect(Buf);
    static const char* align[4] = {"\\ql", "\\qc", "\\qr", "\\qj"};
    Add(align[P.Align & 3]);
    AddWord("\\li", P.IndentLeft);
    AddWord("\\fi", P.IndentFirst);
    AddWord("\\ri", P.IndentRight);
    AddWord("\\sb", P.SpaceBefore);
    AddWord("\\sa", P.SpaceAfter);
    return collect.Take();
}

void TRtRTFWriter::PushGroup(uint8_t Kind, const std::string& State)
{
    // A group of its own starts with its words known: no "\pard" is pending in it.
    Groups.push_back({Kind, State, false});
    ClearPardPending();
    Add("{");
}

void TRtRTFWriter::PopGroups(size_t Index)
{
    for (; Groups.size() > Index; Groups.pop_back())
        Add("}");
}

size_t TRtRTFWriter::FindGroup(uint8_t Kind) const
{
    for (size_t i = Groups.size(); i-- > 0;)
        if (Groups[i].Kind == Kind)
            return i;
    return std::string::npos;
}

int32_t TRtRTFWriter::WriteParStart()
{
    TParagraph* p = CurPar;
    // "\plain" follows again before the first characters: it clears the
    // character properties that the style sets.
    PlainWritten = false;
    TabSeen = false;
    TRtRTFNumberingStyle* numbering = nullptr;
    AnsiString number;
    Text->GetParNumberText(p, numbering, number);
    const std::string words = ParagraphWords(*p, StyleNumberOf(p), numbering);
    // A break before the text's first paragraph breaks nothing; read back it
    // would start the text with an empty page.
    const bool breakBefore = (p->Flags & parfNewPage) && p->Prior;
    bool broken = false;
    if (p->Flags & parfTableCell)
        broken = StartCellParagraph(p, words, breakBefore);
    else
        StartBodyParagraph(*p, words);
    if (breakBefore && !broken)
        Add("\\page");
    if (!p->TextField.empty()) {
        Add("{\\*\\rtmergepar{");
        AddEscaped(p->TextField);
        Add("}}");
    }
    AddNumberText(*p, numbering, number);
    if (!Buf.empty() && Buf.back() != '{' && Buf.back() != '}')
        Add(" ");
    return Flush();
}

// The paragraph words stand in the innermost paragraph or row group; they
// are written after a "\pard" only when they differ from those in force.
// Alignment, indents and spacing override those in force: they follow
// every paragraph start.
void TRtRTFWriter::AddParagraphWords(TGroupState& Group, const char* Before, const TParagraph& P,
                                     const std::string& Words, bool Fresh)
{
    if (Fresh || !Group.Known || Group.State != Words) {
        if (!Fresh)
            Add("\\pard");
        Add(Before);
        Add(Words);
        Group.State = Words;
        Group.Known = true;
    } else
        Add(Before);
    Add(SpacingWords(P));
}

bool TRtRTFWriter::StartCellParagraph(TParagraph* P, const std::string& Words, bool BreakBefore)
{
    const int32_t id = P->Cell ? P->Cell->TableId : 0;
    std::string def;
    if (!(P->Flags & parfNotFirstCell)) {
        if (id != LastTableId || !P->Prior || !(P->Prior->Flags & parfTableCell))
            LastRowDef.clear();
        def = RowDefinition(P);
        // A row of the same table with the same cells stays in the row's group.
        if (const size_t row = FindGroup(gkRow); row != std::string::npos && def != LastRowDef)
            PopGroups(row);
    }
    const bool fresh = FindGroup(gkRow) == std::string::npos;
    // A break before a table stands before its row, where word processors read it.
    const bool breakRow = BreakBefore && fresh && !(P->Flags & parfNotFirstCell);
    if (fresh)
        OpenRowGroup(id, def, breakRow);
    LastTableId = id;
    AddParagraphWords(Groups.back(), "\\intbl", *P, Words, fresh);
    return breakRow;
}

void TRtRTFWriter::OpenRowGroup(int32_t TableId, const std::string& RowDef, bool BreakBefore)
{
    // Tab, keep and border groups end before a table.
    PopGroups(std::min<size_t>(Groups.size(), 1));
    if (BreakBefore)
        Add("\\page");
    if (TableId && TableId != LastTableId) {
        int32_t left = 0, right = 0;
        Text->TableList()->GetTableLeftRight(TableId, left, right);
        Add("{\\*\\rttable");
        if (left)
            AddWord("\\tblleft", left);
        if (right)
            AddWord("\\tblright", right);
        Add(" }");
    }
    // The paragraph group holds the words in force after the row;
    // a "\pard" sets them there first.
    if (Groups.empty()) {
        PushGroup(gkParagraph, std::string());
        Groups.back().Known = false;
    }
    PushGroup(gkRow, std::string());
    Add("\\pard");
    Add(RowDef);
    LastRowDef = RowDef;
}

void TRtRTFWriter::StartBodyParagraph(const TParagraph& P, const std::string& Words)
{
    LastTableId = 0;
    LastRowDef.clear();
    if (const size_t row = FindGroup(gkRow); row != std::string::npos)
        PopGroups(row);
    const bool fresh = Groups.empty();
    if (fresh) {
        PushGroup(gkParagraph, std::string());
        Add("\\pard");
    }
    // Tab stops, keep-with-next and borders each stand in a group of
    // their own; a group whose words no longer apply closes, and with it
    // the groups opened after it.
    const std::string tabs = TabWords(P);
    TCollect collect(Buf);
    AddBorders(P.BrdLines, P.BrdWidth, P.BrdColor, P.BrdSpace, false);
    const std::string borders = collect.Take();
    const std::string keepNext = (P.Flags & parfKeepWithNext) ? "\\keepn" : "";
    auto wanted = [&](uint8_t Kind) -> const std::string& {
        return Kind == gkTabs ? tabs : Kind == gkBorders ? borders : keepNext;
    };
    size_t keep = 1;
    if (!fresh && Groups[0].Known && Groups[0].State == Words)
        while (keep < Groups.size() && !wanted(Groups[keep].Kind).empty()
               && wanted(Groups[keep].Kind) == Groups[keep].State)
            ++keep;
    PopGroups(keep);
    AddParagraphWords(Groups[0], "", P, Words, fresh);
    for (uint8_t kind : {gkTabs, gkKeepNext, gkBorders})
        if (!wanted(kind).empty() && FindGroup(kind) == std::string::npos) {
            PushGroup(kind, wanted(kind));
            Add(wanted(kind));
        }
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
    // Raw RTF code goes out unchanged between "\\rtrtf1" and "\\rtrtf0".
    const bool code = a.Style.Has(afsIsRTFCode);
    if (code && RtfCodeOpen)
        return 0;
    CloseRtfCode();
    const bool insertPoint = a.Style.Has(afsIsInsertpoint) && !InHeaderFooter;
    const bool automatic = a.Style.Has(afsAutomatic);
    if (!automatic || insertPoint)
        CloseMergeField();
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
    static const std::pair<TOneWrtStyle, const char*> styleWords[] = {
        {afsBold, "\\b"}, {afsItalic, "\\i"}, {afsUnderline, "\\ul"}, {afsSuper, "\\super"},
        {afsSub, "\\sub"}, {afsStrikeOut, "\\strike"}, {afsProtected, "\\shad"}};
    for (const auto& [bit, word] : styleWords)
        if (a.Style.Has(bit))
            Add(word);
    if (insertPoint)
        OpenInsertPoint(int32_t(a.Tag & 0xFFFF));
    else if (automatic && !AutomaticOn) {
        // Automatic text of an insert point by number, or free automatic text;
        // a merge field's automatic text is its result.
        if (!MergeFieldOpen)
            Add("\\inaut1");
        else if (InsertPointPending)
            Add("\\inaut");
        AutomaticOn = true;
    }
    if (code) {
        Add("\\rtrtf1");
        RtfCodeOpen = true;
    }
    if (!Buf.empty() && uint8_t(Buf.back()) > ' ' && Buf.back() != '{' && Buf.back() != '}')
        Add(" ");
    return Flush();
}

// Named insert points are merge fields; the others go by number.
void TRtRTFWriter::OpenInsertPoint(int32_t Id)
{
    const AnsiString name = Text->InsertpointList()->GetNameById(Id);
    if (name.empty()) {
        AddWord("\\inspnt", Id);
        InsertPointPending = true;
    } else {
        Add("{\\field{\\*\\fldinst{MERGEFIELD ");
        const bool quoted = name.find(' ') != AnsiString::npos;
        if (quoted)
            Add("\"");
        AddEscaped(name);
        Add(quoted ? "\" }}" : " }}");
    }
    MergeFieldOpen = true;
}

void TRtRTFWriter::CloseRtfCode()
{
    if (RtfCodeOpen)
        Add("\\rtrtf0");
    RtfCodeOpen = false;
}

void TRtRTFWriter::CloseOpenCodes()
{
    CloseRtfCode();
    if (HyperlinkOpen)
        CloseHyperlink();
    CloseMergeField();
}

void TRtRTFWriter::CloseMergeField()
{
    if (MergeFieldOpen)
        Add(InsertPointPending ? "\\inaut0 " : "}");
    else if (AutomaticOn)
        Add("\\inaut0 ");
    MergeFieldOpen = InsertPointPending = false;
    ClearAutomatic();
}

int32_t TRtRTFWriter::WriteLineEnd()
{
    if (!CurLine->Next && (CurPar == LastPar || !CurPar->Next))
        CloseMergeField();
    if (LineLayout) {
        const int32_t twips = MulDiv(CurLine->Width, 1440, std::max(Text->Header()->XRes, 1));
        AddWord("\\rtlin", CurLine->Next ? twips : -twips);
        Add(" ");
    }
    if (PageBreakInfo && (CurLine->Flags & linfPageBreakAfter))
        Add("\\rtnpage ");
    if (CurLine->Next && Options().Has(soHardLineBreaks))
        Add("\\par ");
    return Flush();
}

int32_t TRtRTFWriter::WriteChars(int32_t Count)
{
    if (SuppressHidden)
        return 0;
    const uint8_t* s = CurLine->Chars + CurPos;
    if (RtfCodeOpen) {
        Buf.append(reinterpret_cast<const char*>(s), size_t(Count));
        return Flush();
    }
    const bool cell = CurPar->Flags & parfTableCell;
    // Text of fonts of other charsets than the document's code page: each
    // character as "\u" with its bytes as the 8-bit fallback.
    const int32_t charset = CurLine->Attrs ? Text->Header()->FontCharset(CurAttr.Font) : ANSI_CHARSET;
    const bool unicode = charset > SYMBOL_CHARSET;
    const std::u32string chars =
        unicode ? CharsetCharsPerByte(charset, std::string_view(reinterpret_cast<const char*>(s), size_t(Count)))
                : std::u32string();
    for (int32_t i = 0; i < Count; ++i) {
        const uint8_t c = s[i];
        if (unicode && c >= 0x80) {
            int32_t n = 1;
            while (i + n < Count && chars[size_t(i + n)] == 0)
                ++n;
            const char32_t u = chars[size_t(i)];
            if (u > 0x7F && u <= 0xFFFF && u != U'\uFFFD') {
                if (n != 1)
                    AddWord("\\uc", n);
                AddWord("\\u", int16_t(u));
                for (int32_t k = 0; k < n; ++k)
                    AddHexByte(s[i + k]);
                if (n != 1)
                    Add("\\uc1 ");
            } else
                for (int32_t k = 0; k < n; ++k)
                    AddHexByte(s[i + k]);
            i += n - 1;
        } else if (c == 9) {
            // The first tab of a paragraph whose only tab stop is of the own kind.
            Buf += !TabSeen && Text->HasSingleKind3Tab(CurPar, CurLine) ? "\\rttab " : "\\tab ";
            TabSeen = true;
        } else if (c == 10) {
            if (cell && Options().Has(soNewParInTableCell))
                Buf += "\\par ";
            else if (!Options().Has(soHardLineBreaks))
                Buf += "\\line ";
        } else if (c <= 3)
            continue;
        else
            AddEscapedChar(c);
        if (Buf.size() > 90)
            if (int32_t r = Flush())
                return r;
    }
    return Flush();
}

int32_t TRtRTFWriter::WriteParEnd()
{
    CloseOpenCodes();
    if (CurPar->Flags & parfTableCell) {
        if (const TRtCell* c = CurPar->Cell) {
            if (!c->Name.empty()) {
                Add("{\\*\\rtcellname{");
                AddEscaped(c->Name);
                Add("}}");
            }
            if (!c->Command.empty()) {
                Add("{\\*\\rtcellcom{");
                AddEscaped(c->Command);
                Add("}}");
            }
            if (c->FrameValue)
                AddWord("\\rtcellfrm", c->FrameValue);
        }
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
