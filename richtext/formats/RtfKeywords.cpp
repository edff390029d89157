#include "RtfKeywords.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

int32_t TRtfKeyword::Parameter(int32_t value, bool hasValue) const
{
    if (UseDefault)
        return Default;
    if (Kind == rtfkDestination)
        return hasValue ? value : 0;
    return hasValue ? value : Default;
}

namespace {

constexpr bool F = true;  // use-default ("fixed")
constexpr bool N = false;

struct TNameHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
};

struct TKeywordTable {
    std::vector<TRtfKeyword> Entries;
    std::unordered_map<std::string, int, TNameHash, std::equal_to<>> Index; // name -> first entry

    void Add(const char* name, int32_t def, bool useDefault, int32_t kind, int32_t code)
    {
        if (Entries.size() == Entries.capacity())
            Entries.reserve(Entries.capacity() + 20);
        TRtfKeyword k{};
        const size_t len = std::min<size_t>(std::strlen(name), 40);
        std::memcpy(k.Name, name, len);
        k.Default = def;
        k.UseDefault = useDefault ? 1 : 0;
        k.Kind = kind;
        k.Code = code;
        k.NameLength = int32_t(len);
        Index.emplace(std::string(k.Name, len), int(Entries.size()));
        Entries.push_back(k);
    }

    TKeywordTable()
    {
        Entries.reserve(100);
        const int32_t C = rtfkChar, D = rtfkDestination, P = rtfkProperty, S = rtfkSpecial;
        // Registration order matters only where a name repeats: the first wins.
        Add("plain", 0, N, P, 23);
        Add("f", 0, N, P, 26);
        Add("fs", 100, N, P, 27);
        Add("pard", 0, F, P, 22);
        Add("li", 0, N, P, 4);
        Add("ri", 0, N, P, 5);
        Add("fi", 0, N, P, 6);
        Add("sb", 0, N, P, 41);
        Add("sa", 0, N, P, 43);
        Add("sl", 0, N, P, 42);
        Add("par", 0, N, P, 25);
        Add("rtparid", 0, N, P, 113);
        Add("b", 1, N, P, 1);
        Add("v", 1, N, P, 52);
        Add("ul", 1, N, P, 3);
        Add("ulnone", 0, F, P, 3);
        Add("uldb", 1, N, P, 30);
        Add("cf", 0, N, P, 28);
        Add("cb", 0, N, P, 29);
        Add("highlight", 0, N, P, 29);
        Add("i", 1, N, P, 2);
        Add("'", 0, N, S, 2);
        Add("tab", 0, N, C, 9);
        Add("rttab", 0, N, C, 9);
        Add("line", 0, N, C, 1010);
        Add("qc", 2, F, P, 21);
        Add("ql", 0, F, P, 21);
        Add("qr", 1, F, P, 21);
        Add("qj", 3, F, P, 21);
        Add("bkmkstart", 0, N, D, 13);
        Add("bkmkend", 0, N, D, 14);
        Add("shad", 1, N, P, 31);
        Add("super", 1, N, P, 54);
        Add("up", 6, N, P, 159);
        Add("sub", 1, N, P, 55);
        Add("dn", 6, N, P, 160);
        Add("nosupersub", 1, N, P, 53);
        Add("strike", 1, N, P, 44);
        Add("slmult", 0, N, P, 92);
        Add("cols", 1, N, P, 7);
        Add("pgnx", 0, N, P, 8);
        Add("pgny", 0, N, P, 9);
        Add("pgndec", 1, F, P, 18);
        Add("pgnucrm", 2, F, P, 18);
        Add("pgnlcrm", 3, F, P, 18);
        Add("pgnucltr", 4, F, P, 18);
        Add("pgnlcltr", 5, F, P, 18);
        Add("page", 0, N, P, 33);
        Add("sect", 0, N, P, 33);
        Add("pgnstart", 1, F, P, 16);
        Add("facingp", 1, F, P, 19);
        Add("landscape", 1, F, P, 20);
        Add("lndscpsxn", 1, F, P, 20);
        Add("titlepg", 1, F, P, 144);
        Add("margmirror", 1, F, P, 145);
        // A backslash before a line end ends the paragraph, as Cocoa writes every paragraph.
        Add("\n", 0, N, P, 25);
        Add("\r", 0, N, P, 25);
        Add("ldblquote", 0, N, C, 0x93);
        Add("rdblquote", 0, N, C, 0x94);
        Add("*", 0, N, S, 3);
        Add("footnote", 0, N, D, 9);
        Add("field", 0, N, D, 10);
        Add("fldedit", 0, N, D, 1);
        Add("fldinst", 0, N, D, 17);
        Add("rtfldfrm", 0, N, D, 45);
        Add("pict", 0, N, D, 3);
        Add("picfile", 0, N, D, 11);
        Add("rtobject", 0, N, D, 12);
        Add("ppar", 1, F, P, 85);
        Add("ppag", 2, F, P, 85);
        Add("relx", 0, N, P, 86);
        Add("rely", 0, N, P, 87);
        Add("picwrap", 0, N, P, 115);
        Add("footer", 0, F, D, 16);
        Add("footerf", 102, F, D, 16);
        Add("footerl", 108, F, D, 16);
        Add("footerr", 114, F, D, 16);
        Add("rtfnnr", 0, N, P, 70);
        Add("sbknone", 0, F, P, 17);
        Add("sbkcol", 1, F, P, 17);
        Add("sbkeven", 2, F, P, 17);
        Add("sbkodd", 3, F, P, 17);
        Add("sbkpage", 4, F, P, 17);
        Add("printim", 0, N, D, 2);
        Add("rxe", 0, N, D, 2);
        Add("tc", 0, N, D, 2);
        Add("info", 0, F, D, 6);
        Add("title", 0, F, D, 7);
        Add("subject", 1, F, D, 7);
        Add("author", 2, F, D, 7);
        Add("keywords", 3, F, D, 7);
        Add("operator", 4, F, D, 7);
        Add("doccomm", 5, F, D, 7);
        Add("comment", 5, F, D, 7);
        Add("userprops", 1, F, D, 6);
        Add("propname", 0, N, D, 8);
        Add("staticval", 1000, F, D, 7);
        Add("proptype", 0, N, P, 142);
        Add("tx", 0, N, P, 32);
        Add("tqr", 1, N, P, 71);
        Add("tqc", 2, N, P, 71);
        Add("tqdec", 3, N, P, 71);
        Add("deftab", 720, N, P, 105);
        Add("trowd", 0, N, P, 45);
        Add("intbl", 0, N, P, 49);
        Add("cellx", 0, N, P, 46);
        Add("row", 0, N, P, 47);
        Add("cell", 0, N, P, 48);
        Add("clbrdrt", 1, F, P, 34);
        Add("clbrdrl", 2, F, P, 34);
        Add("clbrdrb", 3, F, P, 34);
        Add("clbrdrr", 4, F, P, 34);
        Add("clmrg", 0, N, P, 76);
        Add("keepn", 0, F, P, 78);
        Add("rtkeepn", 1, F, P, 78);
        Add("keep", 1, F, P, 77);
        Add("clcbpat", 0, N, P, 80);
        Add("clcfpat", 0, N, P, 81);
        Add("shading", 0, N, P, 79);
        Add("clshdng", 0, N, P, 79);
        Add("cbpat", 0, N, P, 80);
        Add("cfpat", 0, N, P, 81);
        Add("box", 0, F, P, 34);
        Add("brdrbtw", 0, F, P, 102);
        Add("brdrt", 1, F, P, 34);
        Add("brdrl", 2, F, P, 34);
        Add("brdrb", 3, F, P, 34);
        Add("brdrr", 4, F, P, 34);
        Add("brdrdb", 5, F, P, 34);
        Add("brdrdot", 6, F, P, 34);
        Add("brdrtablin", 9, F, P, 34);
        Add("brdrhair", 10, F, P, 34);
        Add("brdrnone", 11, F, P, 34);
        Add("clvertalc", 1, F, P, 130);
        Add("clvertalb", 2, F, P, 130);
        Add("brdrw", 0, N, P, 35);
        Add("brsp", 0, N, P, 36);
        Add("trgaph", 0, N, P, 72);
        Add("trleft", 0, N, P, 73);
        Add("brdrcf", 0, N, P, 37);
        Add("pntext", 0, N, D, 160);
        Add("pntxta", 0, N, D, 21);
        Add("pntxtb", 0, N, D, 22);
        Add("pn", 0, N, D, 19);
        Add("pnseclvl", 0, N, D, 23);
        Add("pnlvl", 0, N, P, 103);
        Add("pnlvlblt", 1, F, P, 104);
        Add("pndec", 2, F, P, 104);
        Add("pnucltr", 3, F, P, 104);
        Add("pnlcltr", 4, F, P, 104);
        Add("pnucrm", 5, F, P, 104);
        Add("pnlcrm", 6, F, P, 104);
        Add("pnindent", 0, N, P, 107);
        Add("pnf", 0, N, P, 108);
        Add("pnfs", 0, N, P, 148);
        Add("pnprev", 1, F, P, 149);
        Add("pnstart", 1, N, P, 150);
        Add("{", 0, N, C, 123);
        Add("}", 0, N, C, 125);
        Add("\\", 0, N, C, 92);
        Add("-", 0, N, P, 161);
        Add("rttable", 0, N, D, 24);
        Add("tblleft", 0, N, P, 109);
        Add("tblright", 0, N, P, 110);
        Add("colortbl", 0, N, D, 5);
        Add("red", 0, N, P, 38);
        Add("green", 0, N, P, 39);
        Add("blue", 0, N, P, 40);
        Add("paperw", 12240, N, P, 10);
        Add("paperh", 15480, N, P, 11);
        Add("margl", 1800, N, P, 12);
        Add("margr", 1800, N, P, 13);
        Add("margt", 1440, N, P, 14);
        Add("margb", 1440, N, P, 15);
        Add("margh", 254, N, P, 127);
        Add("margf", 254, N, P, 128);
        Add("pgwsxn", 12240, N, P, 10);
        Add("pghsxn", 15480, N, P, 11);
        Add("marglsxn", 1800, N, P, 12);
        Add("margrsxn", 1800, N, P, 13);
        Add("margtsxn", 1440, N, P, 14);
        Add("margbsxn", 1440, N, P, 15);
        Add("fonttbl", 0, N, D, 4);
        Add("wbitmap", 0, N, P, 56);
        Add("dibitmap", 0, F, P, 58);
        Add("pngblip", 1, F, P, 58);
        Add("jpegblip", 2, F, P, 58);
        Add("emfblip", 3, F, P, 58);
        Add("wmetafile", 0, N, P, 57);
        Add("picw", 0, N, P, 59);
        Add("pich", 0, N, P, 60);
        Add("picwgoal", 0, N, P, 61);
        Add("pichgoal", 0, N, P, 62);
        Add("picscalex", 100, N, P, 74);
        Add("picscaley", 100, N, P, 75);
        Add("wbmbitspixel", 0, N, P, 63);
        Add("wbmplanes", 1, F, P, 64);
        Add("wbmwidthbytes", 0, N, P, 65);
        Add("wbmpfile", 0, N, P, 84);
        Add("rtobjtag", 0, N, P, 66);
        Add("rtobjw", 0, N, P, 67);
        Add("rtobjh", 0, N, P, 68);
        Add("lquote", 3, F, P, 82);
        Add("rquote", 4, F, P, 82);
        Add("endash", 5, F, P, 82);
        Add("emdash", 7, F, P, 82);
        Add("_", 5, F, P, 82);
        Add("enspace", 6, F, P, 82);
        Add("emspace", 6, F, P, 82);
        Add("rtnr", 0, N, P, 88);
        Add("rtsnr", 0, N, P, 89);
        Add("s", 0, N, P, 90);
        Add("stylesheet", 0, N, D, 18);
        Add("additive", 0, N, P, 93);
        Add("sbasedon", 0, N, P, 94);
        Add("snext", 0, N, P, 95);
        Add("autoupd", 0, N, P, 96);
        Add("shidden", 0, N, P, 97);
        Add("cs", 0, N, P, 98);
        Add("ds", 0, N, P, 99);
        Add("fn", 0, N, P, 100);
        Add("fcharset", 0, N, P, 101);
        Add("outlinelevel", 0, N, P, 91);
        Add("buptim", 0, N, D, 2);
        Add("creatim", 0, N, D, 2);
        Add("private1", 0, N, D, 2);
        Add("revtim", 0, N, D, 2);
        Add("ftncn", 0, N, D, 2);
        Add("ftnsep", 0, N, D, 2);
        Add("ftnsepc", 0, N, D, 2);
        Add("header", 0, F, D, 15);
        Add("headerf", 102, F, D, 15);
        Add("headerl", 108, F, D, 15);
        Add("headerr", 114, F, D, 15);
        Add("inspnt", 0, N, P, 50);
        Add("inaut", 1, N, P, 51);
        Add("rtrtf", 1, N, P, 69);
        Add("rtformatted", 0, N, P, 111);
        Add("rtparhide", 1, F, P, 114);
        Add("rtparnowwrap", 1, F, P, 124);
        Add("rtnoparlines", 1, F, P, 106);
        Add("rtparprot", 2, F, P, 106);
        Add("rtmergestart", 3, F, P, 106);
        Add("rtmergeend", 4, F, P, 106);
        Add("rtmergepar", 0, N, D, 25);
        Add("rtbackbmp", 0, N, D, 28);
        Add("rtlin", 0, N, P, 112);
        Add("rtnpage", 0, N, P, 141);
        Add("rtcellname", 0, N, D, 33);
        Add("rtcellfrm", 0, N, P, 121);
        Add("rtcellcom", 0, N, D, 34);
        Add("listtable", 0, N, D, 36);
        Add("list", 0, N, D, 37);
        Add("listlevel", 0, N, D, 38);
        Add("levelnfc", 0, N, P, 151);
        Add("levelnfcn", 0, N, P, 151);
        Add("leveljc", 0, N, P, 152);
        Add("levelprev", 0, N, P, 152);
        Add("levelindent", 0, N, P, 156);
        Add("leveltext", 0, N, D, 40);
        Add("levelnumbers", 0, N, D, 41);
        Add("listoverridetable", 0, N, D, 39);
        Add("levelid", 0, N, P, 153);
        Add("listid", 0, N, P, 153);
        Add("listtext", 0, N, D, 160);
        Add("ls", 0, N, P, 157);
        Add("ilvl", 0, N, P, 158);
        Add("toc", 0, N, P, 125);
        Add("rtlevel", 0, N, P, 143);
        Add("rtspecialhf", 0, N, P, 126);
        Add("bin", 0, N, D, 35);
        Add("object", 0, N, P, 116);
        Add("result", 0, N, P, 117);
        Add("objupdate", 1, F, P, 120);
        Add("objdata", 0, N, D, 29);
        Add("objclass", 0, N, D, 30);
        Add("objname", 0, N, D, 31);
        Add("objtime", 0, N, D, 32);
        Add("objw", 0, N, P, 118);
        Add("objh", 0, N, P, 119);
        Add("shpinst", 0, N, D, 42);
        Add("shprslt", 0, N, D, 43);
        Add("do", 0, N, D, 44);
        Add("rtprheadfoot", 0, N, P, 129);
        Add("expndtw", 0, N, P, 140);
        Add("trqc", 1, N, P, 147);
        Add("trqr", 2, N, P, 147);
        Add("chdate", 1, F, P, 146);
        Add("chdpl", 2, F, P, 146);
        Add("chdpa", 3, F, P, 146);
        Add("chtime", 4, F, P, 146);
        Add("chpgn", 5, F, P, 146);
        // A field's result, also when written as an ignorable destination.
        Add("fldrslt", 0, N, D, rtfdFieldResult);
        // Unicode characters: "\u" with its fallback count "\uc".
        Add("u", 0, N, P, rtfpUnicode);
        Add("uc", 1, N, P, rtfpUnicodeSkip);
        // The code page of "\'" characters in fonts without a charset of their own.
        Add("ansicpg", 1252, N, P, rtfpCodePage);
        Add("ansi", 1252, F, P, rtfpCodePage);
        Add("mac", 10000, F, P, rtfpCodePage);
        Add("pc", 437, F, P, rtfpCodePage);
        Add("pca", 850, F, P, rtfpCodePage);
        // Nested tables are flattened: their cells become tabs, their rows line breaks.
        Add("nestcell", 0, N, C, 9);
        Add("nestrow", 0, N, C, 1010);
        // Typographic characters as Windows-1252 has them, a quarter em space as a space.
        Add("bullet", 0, N, C, 0x95);
        Add("qmspace", 0, N, C, 32);
        // A column break ends the paragraph in a text of one column.
        Add("column", 0, N, P, 25);
        // The automatic number of the footnote that follows.
        Add("chftn", 0, N, P, rtfpFootnoteNumber);
    }
};

const TKeywordTable& Table()
{
    static const TKeywordTable table;
    return table;
}

} // namespace

const TRtfKeyword* FindRtfKeyword(std::string_view name)
{
    const TKeywordTable& t = Table();
    if (name.size() > 40)
        return nullptr;
    const auto it = t.Index.find(name);
    return it == t.Index.end() ? nullptr : &t.Entries[size_t(it->second)];
}

int RtfKeywordCount() { return int(Table().Entries.size()); }

const TRtfKeyword& RtfKeywordAt(int index) { return Table().Entries.at(size_t(index)); }
