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

    void AddRtfKeyword(const char* name, int32_t def, bool useDefault, int32_t kind, int32_t code)
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

    // The kind of an entry follows from the type of its code.
    void Add(const char* name, int32_t def, bool useDefault, TRtfPropertyCode code)
    {
        AddRtfKeyword(name, def, useDefault, rtfkProperty, code);
    }
    void Add(const char* name, int32_t def, bool useDefault, TRtfDestinationCode code)
    {
        AddRtfKeyword(name, def, useDefault, rtfkDestination, code);
    }
    void Add(const char* name, TRtfSpecialCode code) { AddRtfKeyword(name, 0, false, rtfkSpecial, code); }
    void AddChar(const char* name, int32_t ch) { AddRtfKeyword(name, 0, false, rtfkChar, ch); }

    TKeywordTable() { InitRtfKeywords(); }
    ~TKeywordTable() { FreeRtfKeywords(); }

    void FreeRtfKeywords()
    {
        Index.clear();
        Entries.clear();
        Entries.shrink_to_fit();
    }

    // Registers every keyword, in the order that decides between repeated names.
    void InitRtfKeywords()
    {
        Entries.reserve(100);
        // Registration order matters only where a name repeats: the first wins.
        Add("plain", 0, N, rtfpPlain);
        Add("f", 0, N, rtfpFont);
        Add("fs", 100, N, rtfpFontSize);
        Add("pard", 0, F, rtfpParagraphDefaults);
        Add("li", 0, N, rtfpIndentLeft);
        Add("ri", 0, N, rtfpIndentRight);
        Add("fi", 0, N, rtfpIndentFirst);
        Add("sb", 0, N, rtfpSpaceBefore);
        Add("sa", 0, N, rtfpSpaceAfter);
        Add("sl", 0, N, rtfpSpaceBetween);
        Add("par", 0, N, rtfpParagraphEnd);
        Add("rtparid", 0, N, rtfpParagraphId);
        Add("b", 1, N, rtfpBold);
        Add("v", 1, N, rtfpHidden);
        Add("ul", 1, N, rtfpUnderline);
        Add("ulnone", 0, F, rtfpUnderline);
        Add("uldb", 1, N, rtfpHyperLink);
        Add("cf", 0, N, rtfpTextColor);
        Add("cb", 0, N, rtfpBackColor);
        Add("highlight", 0, N, rtfpBackColor);
        Add("i", 1, N, rtfpItalic);
        Add("'", rtfsHexChar);
        AddChar("tab", '\t');
        AddChar("rttab", '\t');
        AddChar("line", rtfcLineBreak);
        Add("qc", 2, F, rtfpAlignment);
        Add("ql", 0, F, rtfpAlignment);
        Add("qr", 1, F, rtfpAlignment);
        Add("qj", 3, F, rtfpAlignment);
        Add("bkmkstart", 0, N, rtfdBookmarkStart);
        Add("bkmkend", 0, N, rtfdBookmarkEnd);
        Add("shad", 1, N, rtfpProtected);
        Add("super", 1, N, rtfpSuper);
        Add("up", 6, N, rtfpRaise);
        Add("sub", 1, N, rtfpSub);
        Add("dn", 6, N, rtfpLower);
        Add("nosupersub", 1, N, rtfpNoSuperSub);
        Add("strike", 1, N, rtfpStrikeOut);
        Add("slmult", 0, N, rtfpMultSpaceBetween);
        Add("cols", 1, N, rtfpColumns);
        Add("pgnx", 0, N, rtfpPageNumberX);
        Add("pgny", 0, N, rtfpPageNumberY);
        Add("pgndec", 1, F, rtfpPageNumberFormat);
        Add("pgnucrm", 2, F, rtfpPageNumberFormat);
        Add("pgnlcrm", 3, F, rtfpPageNumberFormat);
        Add("pgnucltr", 4, F, rtfpPageNumberFormat);
        Add("pgnlcltr", 5, F, rtfpPageNumberFormat);
        Add("page", 0, N, rtfpPageBreak);
        Add("sect", 0, N, rtfpPageBreak);
        Add("pgnstart", 1, F, rtfpPageNumberStart);
        Add("facingp", 1, F, rtfpFacingPages);
        Add("landscape", 1, F, rtfpLandscape);
        Add("lndscpsxn", 1, F, rtfpLandscape);
        Add("titlepg", 1, F, rtfpTitlePage);
        Add("margmirror", 1, F, rtfpMarginMirror);
        // A backslash before a line end ends the paragraph, as Cocoa writes every paragraph.
        Add("\n", 0, N, rtfpParagraphEnd);
        Add("\r", 0, N, rtfpParagraphEnd);
        AddChar("ldblquote", 0x93);
        AddChar("rdblquote", 0x94);
        Add("*", rtfsIgnorable);
        Add("footnote", 0, N, rtfdFootnote);
        Add("field", 0, N, rtfdField);
        Add("fldedit", 0, N, rtfdFieldEdit);
        Add("fldinst", 0, N, rtfdFieldInst);
        Add("rtfldfrm", 0, N, rtfdFieldFrame);
        Add("pict", 0, N, rtfdPicture);
        Add("picfile", 0, N, rtfdPictureFile);
        Add("rtobject", 0, N, rtfdProgramObject);
        Add("ppar", 1, F, rtfpPicturePlacement);
        Add("ppag", 2, F, rtfpPicturePlacement);
        Add("relx", 0, N, rtfpPictureX);
        Add("rely", 0, N, rtfpPictureY);
        Add("picwrap", 0, N, rtfpPictureWrap);
        Add("footer", 0, F, rtfdFooter);
        Add("footerf", 102, F, rtfdFooter);
        Add("footerl", 108, F, rtfdFooter);
        Add("footerr", 114, F, rtfdFooter);
        Add("rtfnnr", 0, N, rtfpFootnoteNr);
        // The sbk words (section breaks) are read and have no effect.
        Add("sbknone", 0, F, rtfpSectionBreak);
        Add("sbkcol", 1, F, rtfpSectionBreak);
        Add("sbkeven", 2, F, rtfpSectionBreak);
        Add("sbkodd", 3, F, rtfpSectionBreak);
        Add("sbkpage", 4, F, rtfpSectionBreak);
        Add("printim", 0, N, rtfdDropped);
        Add("rxe", 0, N, rtfdDropped);
        Add("tc", 0, N, rtfdDropped);
        Add("info", 0, F, rtfdInfo);
        Add("title", 0, F, rtfdInfoItem);
        Add("subject", 1, F, rtfdInfoItem);
        Add("author", 2, F, rtfdInfoItem);
        Add("keywords", 3, F, rtfdInfoItem);
        Add("operator", 4, F, rtfdInfoItem);
        Add("doccomm", 5, F, rtfdInfoItem);
        Add("comment", 5, F, rtfdInfoItem);
        Add("userprops", 1, F, rtfdInfo);
        Add("propname", 0, N, rtfdPropName);
        Add("staticval", 1000, F, rtfdInfoItem);
        Add("proptype", 0, N, rtfpPropType);
        Add("tx", 0, N, rtfpTabStop);
        Add("tqr", 1, N, rtfpTabKind);
        Add("tqc", 2, N, rtfpTabKind);
        Add("tqdec", 3, N, rtfpTabKind);
        Add("deftab", 720, N, rtfpDefaultTab);
        Add("trowd", 0, N, rtfpRowDefaults);
        Add("intbl", 0, N, rtfpInTable);
        Add("cellx", 0, N, rtfpCellRight);
        Add("row", 0, N, rtfpRowEnd);
        Add("cell", 0, N, rtfpCellEnd);
        Add("clbrdrt", 1, F, rtfpBorder);
        Add("clbrdrl", 2, F, rtfpBorder);
        Add("clbrdrb", 3, F, rtfpBorder);
        Add("clbrdrr", 4, F, rtfpBorder);
        Add("clmrg", 0, N, rtfpCellMerged);
        Add("keepn", 0, F, rtfpKeepWithNext);
        Add("rtkeepn", 1, F, rtfpKeepWithNext);
        Add("keep", 1, F, rtfpKeepTogether);
        Add("clcbpat", 0, N, rtfpShadingColor);
        Add("clcfpat", 0, N, rtfpShadingForeColor);
        Add("shading", 0, N, rtfpShading);
        Add("clshdng", 0, N, rtfpShading);
        Add("cbpat", 0, N, rtfpShadingColor);
        Add("cfpat", 0, N, rtfpShadingForeColor);
        Add("box", 0, F, rtfpBorder);
        Add("brdrbtw", 0, F, rtfpBordersBetween);
        Add("brdrt", 1, F, rtfpBorder);
        Add("brdrl", 2, F, rtfpBorder);
        Add("brdrb", 3, F, rtfpBorder);
        Add("brdrr", 4, F, rtfpBorder);
        Add("brdrdb", 5, F, rtfpBorder);
        Add("brdrdot", 6, F, rtfpBorder);
        Add("brdrtablin", 9, F, rtfpBorder);
        Add("brdrhair", 10, F, rtfpBorder);
        Add("brdrnone", 11, F, rtfpBorder);
        Add("clvertalc", 1, F, rtfpCellVertAlign);
        Add("clvertalb", 2, F, rtfpCellVertAlign);
        Add("brdrw", 0, N, rtfpBorderWidth);
        Add("brsp", 0, N, rtfpBorderSpace);
        Add("trgaph", 0, N, rtfpRowGap);
        Add("trleft", 0, N, rtfpRowLeft);
        Add("brdrcf", 0, N, rtfpBorderColor);
        Add("pntext", 0, N, rtfdNumberText);
        Add("pntxta", 0, N, rtfdNumTextAfter);
        Add("pntxtb", 0, N, rtfdNumTextBefore);
        Add("pn", 0, N, rtfdNumbering);
        Add("pnseclvl", 0, N, rtfdNumberingSection);
        Add("pnlvl", 0, N, rtfpNumberLevel);
        Add("pnlvlblt", 1, F, rtfpNumberFormat);
        Add("pndec", 2, F, rtfpNumberFormat);
        Add("pnucltr", 3, F, rtfpNumberFormat);
        Add("pnlcltr", 4, F, rtfpNumberFormat);
        Add("pnucrm", 5, F, rtfpNumberFormat);
        Add("pnlcrm", 6, F, rtfpNumberFormat);
        Add("pnindent", 0, N, rtfpNumberIndent);
        Add("pnf", 0, N, rtfpNumberFont);
        Add("pnfs", 0, N, rtfpNumberFontSize);
        Add("pnprev", 1, F, rtfpNumberUsePrev);
        Add("pnstart", 1, N, rtfpNumberStart);
        AddChar("{", '{');
        AddChar("}", '}');
        AddChar("\\", '\\');
        Add("-", 0, N, rtfpOptionalHyphen);
        Add("rttable", 0, N, rtfdTableDef);
        Add("tblleft", 0, N, rtfpTableLeft);
        Add("tblright", 0, N, rtfpTableRight);
        Add("colortbl", 0, N, rtfdColorTable);
        Add("red", 0, N, rtfpRed);
        Add("green", 0, N, rtfpGreen);
        Add("blue", 0, N, rtfpBlue);
        Add("paperw", 12240, N, rtfpPaperWidth);
        Add("paperh", 15480, N, rtfpPaperHeight);
        Add("margl", 1800, N, rtfpMarginLeft);
        Add("margr", 1800, N, rtfpMarginRight);
        Add("margt", 1440, N, rtfpMarginTop);
        Add("margb", 1440, N, rtfpMarginBottom);
        Add("margh", 254, N, rtfpMarginHeader);
        Add("margf", 254, N, rtfpMarginFooter);
        Add("pgwsxn", 12240, N, rtfpPaperWidth);
        Add("pghsxn", 15480, N, rtfpPaperHeight);
        Add("marglsxn", 1800, N, rtfpMarginLeft);
        Add("margrsxn", 1800, N, rtfpMarginRight);
        Add("margtsxn", 1440, N, rtfpMarginTop);
        Add("margbsxn", 1440, N, rtfpMarginBottom);
        Add("fonttbl", 0, N, rtfdFontTable);
        Add("wbitmap", 0, N, rtfpPictureBitmap);
        Add("dibitmap", 0, F, rtfpPictureBlip);
        Add("pngblip", 1, F, rtfpPictureBlip);
        Add("jpegblip", 2, F, rtfpPictureBlip);
        Add("emfblip", 3, F, rtfpPictureBlip);
        Add("wmetafile", 0, N, rtfpPictureMetafile);
        Add("picw", 0, N, rtfpPictureWidth);
        Add("pich", 0, N, rtfpPictureHeight);
        Add("picwgoal", 0, N, rtfpPictureGoalWidth);
        Add("pichgoal", 0, N, rtfpPictureGoalHeight);
        Add("picscalex", 100, N, rtfpPictureScaleX);
        Add("picscaley", 100, N, rtfpPictureScaleY);
        Add("wbmbitspixel", 0, N, rtfpBitmapBitsPerPixel);
        Add("wbmplanes", 1, F, rtfpBitmapPlanes);
        Add("wbmwidthbytes", 0, N, rtfpBitmapWidthBytes);
        Add("wbmpfile", 0, N, rtfpPictureBitmapFile);
        Add("rtobjtag", 0, N, rtfpProgramObjectTag);
        Add("rtobjw", 0, N, rtfpProgramObjectWidth);
        Add("rtobjh", 0, N, rtfpProgramObjectHeight);
        Add("lquote", 3, F, rtfpTypographicChar);
        Add("rquote", 4, F, rtfpTypographicChar);
        Add("endash", 5, F, rtfpTypographicChar);
        Add("emdash", 7, F, rtfpTypographicChar);
        Add("_", 5, F, rtfpTypographicChar);
        Add("enspace", 6, F, rtfpTypographicChar);
        Add("emspace", 6, F, rtfpTypographicChar);
        Add("rtnr", 1, N, rtfpNumber);
        Add("rtsnr", 0, N, rtfpNumberingStyle);
        Add("s", 0, N, rtfpStyle);
        Add("stylesheet", 0, N, rtfdStylesheet);
        Add("additive", 0, N, rtfpStyleAdditive);
        Add("sbasedon", 0, N, rtfpStyleBasedOn);
        Add("snext", 0, N, rtfpStyleNext);
        Add("autoupd", 0, N, rtfpStyleAutoUpdate);
        Add("shidden", 0, N, rtfpStyleHidden);
        Add("cs", 0, N, rtfpCharStyle);
        Add("ds", 0, N, rtfpSectionStyle);
        Add("fn", 0, N, rtfpFontNumber);
        Add("fcharset", 0, N, rtfpFontCharset);
        Add("outlinelevel", 0, N, rtfpStandardOutlineLevel);
        Add("buptim", 0, N, rtfdDropped);
        Add("creatim", 0, N, rtfdDropped);
        Add("private1", 0, N, rtfdDropped);
        Add("revtim", 0, N, rtfdDropped);
        Add("ftncn", 0, N, rtfdDropped);
        Add("ftnsep", 0, N, rtfdDropped);
        Add("ftnsepc", 0, N, rtfdDropped);
        Add("header", 0, F, rtfdHeader);
        Add("headerf", 102, F, rtfdHeader);
        Add("headerl", 108, F, rtfdHeader);
        Add("headerr", 114, F, rtfdHeader);
        Add("inspnt", 0, N, rtfpInsertPoint);
        Add("inaut", 1, N, rtfpInsertPointAuto);
        Add("rtrtf", 1, N, rtfpRawCode);
        Add("rtformatted", 0, N, rtfpFormatted);
        Add("rtparhide", 1, F, rtfpParagraphHidden);
        Add("rtparnowwrap", 1, F, rtfpParagraphNoWrap);
        Add("rtnoparlines", 1, F, rtfpParagraphFlag);
        Add("rtparprot", 2, F, rtfpParagraphFlag);
        Add("rtmergestart", 3, F, rtfpParagraphFlag);
        Add("rtmergeend", 4, F, rtfpParagraphFlag);
        Add("rtmergepar", 0, N, rtfdMergePar);
        Add("rtbackbmp", 0, N, rtfdBackground);
        Add("rtlin", 0, N, rtfpLineWidth);
        Add("rtnpage", 0, N, rtfpNewPage);
        Add("rtcellname", 0, N, rtfdCellName);
        Add("rtcellfrm", 0, N, rtfpCellFrame);
        Add("rtcellcom", 0, N, rtfdCellCommand);
        Add("listtable", 0, N, rtfdListTable);
        Add("list", 0, N, rtfdList);
        Add("listlevel", 0, N, rtfdListLevel);
        Add("levelnfc", 0, N, rtfpLevelFormat);
        Add("levelnfcn", 0, N, rtfpLevelFormat);
        Add("leveljc", 0, N, rtfpLevelAlign);
        Add("levelprev", 0, N, rtfpLevelAlign);
        Add("levelindent", 0, N, rtfpLevelIndent);
        Add("leveltext", 0, N, rtfdLevelText);
        Add("levelnumbers", 0, N, rtfdLevelNumbers);
        Add("listoverridetable", 0, N, rtfdListOverrideTable);
        Add("levelid", 0, N, rtfpListId);
        Add("listid", 0, N, rtfpListId);
        Add("listtext", 0, N, rtfdNumberText);
        Add("ls", 0, N, rtfpListOverride);
        Add("ilvl", 0, N, rtfpListLevel);
        Add("toc", 0, N, rtfpTableOfContents);
        Add("rtlevel", 0, N, rtfpOutlineLevel);
        Add("rtspecialhf", 0, N, rtfpSpecialHeaderFooter);
        Add("bin", 0, N, rtfdBinary);
        Add("object", 0, N, rtfpObject);
        Add("result", 0, N, rtfpObjectResult);
        Add("objupdate", 1, F, rtfpObjectUpdate);
        Add("objdata", 0, N, rtfdObjectData);
        Add("objclass", 0, N, rtfdObjectClass);
        Add("objname", 0, N, rtfdObjectName);
        Add("objtime", 0, N, rtfdObjectTime);
        Add("objw", 0, N, rtfpObjectWidth);
        Add("objh", 0, N, rtfpObjectHeight);
        Add("shpinst", 0, N, rtfdShapeInst);
        Add("shprslt", 0, N, rtfdShapeResult);
        Add("do", 0, N, rtfdDrawingObject);
        Add("rtprheadfoot", 0, N, rtfpPrintHeaderFooter);
        Add("expndtw", 0, N, rtfpCharSpacing);
        Add("trqc", 1, N, rtfpRowAlign);
        Add("trqr", 2, N, rtfpRowAlign);
        Add("chdate", 1, F, rtfpFieldChar);
        Add("chdpl", 2, F, rtfpFieldChar);
        Add("chdpa", 3, F, rtfpFieldChar);
        Add("chtime", 4, F, rtfpFieldChar);
        Add("chpgn", 5, F, rtfpFieldChar);
        // A field's result, also when written as an ignorable destination.
        Add("fldrslt", 0, N, rtfdFieldResult);
        // Unicode characters: "\u" with its fallback count "\uc".
        Add("u", 0, N, rtfpUnicode);
        Add("uc", 1, N, rtfpUnicodeSkip);
        // The code page of "\'" characters in fonts without a charset of their own.
        Add("ansicpg", 1252, N, rtfpCodePage);
        Add("ansi", 1252, F, rtfpCodePage);
        Add("mac", 10000, F, rtfpCodePage);
        Add("pc", 437, F, rtfpCodePage);
        Add("pca", 850, F, rtfpCodePage);
        // Nested tables are flattened: their cells become tabs, their rows line breaks.
        AddChar("nestcell", '\t');
        AddChar("nestrow", rtfcLineBreak);
        // Typographic characters as Windows-1252 has them, a quarter em space as a space.
        AddChar("bullet", 0x95);
        AddChar("qmspace", ' ');
        // A column break ends the paragraph in a text of one column.
        Add("column", 0, N, rtfpParagraphEnd);
        // The automatic number of the footnote that follows.
        Add("chftn", 0, N, rtfpFootnoteNumber);
        Add("cpg", 0, N, rtfpFontCodePage);
        // Destinations of word processors that hold no text: skipped also
        // when their "\*" is missing.
        for (const char* name :
             {"themedata", "colorschememapping", "datastore", "xmlnstbl", "rsidtbl", "latentstyles", "mmathPr",
              "generator", "pgdsctbl", "listpicture", "revtbl", "filetbl", "protusertbl", "wgrffmtfilter", "defchp",
              "defpap", "docvar", "passwordhash", "panose", "falt", "fontemb", "fontfile", "blipuid", "picprop",
              "datafield", "formfield", "fchars", "lchars", "xmlattrname", "xmlattrvalue", "xmlopen", "xmlclose",
              "oldcprops", "oldpprops", "oldsprops", "oldtprops", "template"})
            Add(name, 0, N, rtfdDropped);
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
