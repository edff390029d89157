#pragma once
// The RTF control words the reader knows: one process-wide table, filled once,
// read-only afterwards. Names are case-sensitive; the first registration of a
// name wins.
#include <cstddef>
#include <cstdint>
#include <string_view>

// Kinds of a keyword.
enum TRtfKeywordKind : int32_t {
    rtfkChar = 1,        // the code is the character passed on, or rtfcLineBreak
    rtfkDestination = 2, // TRtfDestinationCode
    rtfkProperty = 3,    // TRtfPropertyCode
    rtfkSpecial = 4,     // TRtfSpecialCode
};

// Special words.
enum TRtfSpecialCode : int32_t {
    rtfsHexChar = 2,   // '
    rtfsIgnorable = 3, // *
};

// The code of a character word that breaks the line; other character words pass their character.
constexpr int32_t rtfcLineBreak = 1010; // line, nestrow

// What a destination word opens; the comment lists the words of each code.
enum TRtfDestinationCode : int32_t {
    rtfdFieldEdit = 1, // fldedit
    rtfdDropped = 2, // printim, rxe, tc, buptim, creatim, private1, revtim, ftncn, ftnsep, ftnsepc
    rtfdPicture = 3, // pict
    rtfdFontTable = 4, // fonttbl
    rtfdColorTable = 5, // colortbl
    rtfdInfo = 6, // info, userprops
    rtfdInfoItem = 7, // title, subject, author, keywords, operator, doccomm, comment, staticval
    rtfdPropName = 8, // propname
    rtfdFootnote = 9, // footnote
    rtfdField = 10, // field
    rtfdPictureFile = 11, // picfile
    rtfdProgramObject = 12, // rtobject
    rtfdBookmarkStart = 13, // bkmkstart
    rtfdBookmarkEnd = 14, // bkmkend
    rtfdHeader = 15, // header, headerf, headerl, headerr
    rtfdFooter = 16, // footer, footerf, footerl, footerr
    rtfdFieldInst = 17, // fldinst
    rtfdStylesheet = 18, // stylesheet
    rtfdNumbering = 19, // pn
    rtfdNumTextAfter = 21, // pntxta
    rtfdNumTextBefore = 22, // pntxtb
    rtfdNumberingSection = 23, // pnseclvl
    rtfdTableDef = 24, // rttable
    rtfdMergePar = 25, // rtmergepar
    rtfdBackground = 28, // rtbackbmp
    rtfdObjectData = 29, // objdata
    rtfdObjectClass = 30, // objclass
    rtfdObjectName = 31, // objname
    rtfdObjectTime = 32, // objtime
    rtfdCellName = 33, // rtcellname
    rtfdCellCommand = 34, // rtcellcom
    rtfdBinary = 35, // bin
    rtfdListTable = 36, // listtable
    rtfdList = 37, // list
    rtfdListLevel = 38, // listlevel
    rtfdListOverrideTable = 39, // listoverridetable
    rtfdLevelText = 40, // leveltext
    rtfdLevelNumbers = 41, // levelnumbers
    rtfdShapeInst = 42, // shpinst
    rtfdShapeResult = 43, // shprslt
    rtfdDrawingObject = 44, // do
    rtfdFieldFrame = 45, // rtfldfrm
    rtfdFieldResult = 46, // fldrslt
    rtfdNumberText = 160, // pntext, listtext
};

// The property a property word sets; the comment lists the words of each code.
// Words the reader does not handle keep a code of their own, so that the
// writer's vocabulary is read without effect.
enum TRtfPropertyCode : int32_t {
    rtfpBold = 1, // b
    rtfpItalic = 2, // i
    rtfpUnderline = 3, // ul, ulnone
    rtfpIndentLeft = 4, // li
    rtfpIndentRight = 5, // ri
    rtfpIndentFirst = 6, // fi
    rtfpColumns = 7, // cols
    rtfpPageNumberX = 8, // pgnx
    rtfpPageNumberY = 9, // pgny
    rtfpPaperWidth = 10, // paperw, pgwsxn
    rtfpPaperHeight = 11, // paperh, pghsxn
    rtfpMarginLeft = 12, // margl, marglsxn
    rtfpMarginRight = 13, // margr, margrsxn
    rtfpMarginTop = 14, // margt, margtsxn
    rtfpMarginBottom = 15, // margb, margbsxn
    rtfpPageNumberStart = 16, // pgnstart
    rtfpSectionBreak = 17, // sbknone, sbkcol, sbkeven, sbkodd, sbkpage
    rtfpPageNumberFormat = 18, // pgndec, pgnucrm, pgnlcrm, pgnucltr, pgnlcltr
    rtfpFacingPages = 19, // facingp
    rtfpLandscape = 20, // landscape, lndscpsxn
    rtfpAlignment = 21, // qc, ql, qr, qj
    rtfpParagraphDefaults = 22, // pard
    rtfpPlain = 23, // plain
    rtfpParagraphEnd = 25, // par, a backslash before a line end, column
    rtfpFont = 26, // f
    rtfpFontSize = 27, // fs
    rtfpTextColor = 28, // cf
    rtfpBackColor = 29, // cb, highlight
    rtfpHyperLink = 30, // uldb
    rtfpProtected = 31, // shad
    rtfpTabStop = 32, // tx
    rtfpPageBreak = 33, // page, sect
    rtfpBorder = 34, // clbrdrt, clbrdrl, clbrdrb, clbrdrr, box, brdrt, brdrl, brdrb, brdrr, brdrdb, brdrdot, brdrtablin, brdrhair, brdrnone
    rtfpBorderWidth = 35, // brdrw
    rtfpBorderSpace = 36, // brsp
    rtfpBorderColor = 37, // brdrcf
    rtfpRed = 38, // red
    rtfpGreen = 39, // green
    rtfpBlue = 40, // blue
    rtfpSpaceBefore = 41, // sb
    rtfpSpaceBetween = 42, // sl
    rtfpSpaceAfter = 43, // sa
    rtfpStrikeOut = 44, // strike
    rtfpRowDefaults = 45, // trowd
    rtfpCellRight = 46, // cellx
    rtfpRowEnd = 47, // row
    rtfpCellEnd = 48, // cell
    rtfpInTable = 49, // intbl
    rtfpInsertPoint = 50, // inspnt
    rtfpInsertPointAuto = 51, // inaut
    rtfpHidden = 52, // v
    rtfpNoSuperSub = 53, // nosupersub
    rtfpSuper = 54, // super
    rtfpSub = 55, // sub
    rtfpPictureBitmap = 56, // wbitmap
    rtfpPictureMetafile = 57, // wmetafile
    rtfpPictureBlip = 58, // dibitmap, pngblip, jpegblip, emfblip
    rtfpPictureWidth = 59, // picw
    rtfpPictureHeight = 60, // pich
    rtfpPictureGoalWidth = 61, // picwgoal
    rtfpPictureGoalHeight = 62, // pichgoal
    rtfpBitmapBitsPerPixel = 63, // wbmbitspixel
    rtfpBitmapPlanes = 64, // wbmplanes
    rtfpBitmapWidthBytes = 65, // wbmwidthbytes
    rtfpProgramObjectTag = 66, // rtobjtag
    rtfpProgramObjectWidth = 67, // rtobjw
    rtfpProgramObjectHeight = 68, // rtobjh
    rtfpRawCode = 69, // rtrtf
    rtfpFootnoteNr = 70, // rtfnnr
    rtfpTabKind = 71, // tqr, tqc, tqdec
    rtfpRowGap = 72, // trgaph
    rtfpRowLeft = 73, // trleft
    rtfpPictureScaleX = 74, // picscalex
    rtfpPictureScaleY = 75, // picscaley
    rtfpCellMerged = 76, // clmrg
    rtfpKeepTogether = 77, // keep
    rtfpKeepWithNext = 78, // keepn, rtkeepn
    rtfpShading = 79, // shading, clshdng
    rtfpShadingColor = 80, // clcbpat, cbpat
    rtfpShadingForeColor = 81, // clcfpat, cfpat
    rtfpTypographicChar = 82, // lquote, rquote, endash, emdash, _, enspace, emspace
    rtfpPictureBitmapFile = 84, // wbmpfile
    rtfpPicturePlacement = 85, // ppar, ppag
    rtfpPictureX = 86, // relx
    rtfpPictureY = 87, // rely
    rtfpNumber = 88, // rtnr
    rtfpNumberingStyle = 89, // rtsnr
    rtfpStyle = 90, // s
    rtfpStandardOutlineLevel = 91, // outlinelevel
    rtfpMultSpaceBetween = 92, // slmult
    rtfpStyleAdditive = 93, // additive
    rtfpStyleBasedOn = 94, // sbasedon
    rtfpStyleNext = 95, // snext
    rtfpStyleAutoUpdate = 96, // autoupd
    rtfpStyleHidden = 97, // shidden
    rtfpCharStyle = 98, // cs
    rtfpSectionStyle = 99, // ds
    rtfpFontNumber = 100, // fn
    rtfpFontCharset = 101, // fcharset
    rtfpBordersBetween = 102, // brdrbtw
    rtfpNumberLevel = 103, // pnlvl
    rtfpNumberFormat = 104, // pnlvlblt, pndec, pnucltr, pnlcltr, pnucrm, pnlcrm
    rtfpDefaultTab = 105, // deftab
    rtfpParagraphFlag = 106, // rtnoparlines, rtparprot, rtmergestart, rtmergeend
    rtfpNumberIndent = 107, // pnindent
    rtfpNumberFont = 108, // pnf
    rtfpTableLeft = 109, // tblleft
    rtfpTableRight = 110, // tblright
    rtfpFormatted = 111, // rtformatted
    rtfpLineWidth = 112, // rtlin
    rtfpParagraphId = 113, // rtparid
    rtfpParagraphHidden = 114, // rtparhide
    rtfpPictureWrap = 115, // picwrap
    rtfpObject = 116, // object
    rtfpObjectResult = 117, // result
    rtfpObjectWidth = 118, // objw
    rtfpObjectHeight = 119, // objh
    rtfpObjectUpdate = 120, // objupdate
    rtfpCellFrame = 121, // rtcellfrm
    rtfpParagraphNoWrap = 124, // rtparnowwrap
    rtfpTableOfContents = 125, // toc
    rtfpSpecialHeaderFooter = 126, // rtspecialhf
    rtfpMarginHeader = 127, // margh
    rtfpMarginFooter = 128, // margf
    rtfpPrintHeaderFooter = 129, // rtprheadfoot
    rtfpCellVertAlign = 130, // clvertalc, clvertalb
    rtfpCharSpacing = 140, // expndtw
    rtfpNewPage = 141, // rtnpage
    rtfpPropType = 142, // proptype
    rtfpOutlineLevel = 143, // rtlevel
    rtfpTitlePage = 144, // titlepg
    rtfpMarginMirror = 145, // margmirror
    rtfpFieldChar = 146, // chdate, chdpl, chdpa, chtime, chpgn
    rtfpRowAlign = 147, // trqc, trqr
    rtfpNumberFontSize = 148, // pnfs
    rtfpNumberUsePrev = 149, // pnprev
    rtfpNumberStart = 150, // pnstart
    rtfpLevelFormat = 151, // levelnfc, levelnfcn
    rtfpLevelAlign = 152, // leveljc, levelprev
    rtfpListId = 153, // levelid, listid
    rtfpLevelIndent = 156, // levelindent
    rtfpListOverride = 157, // ls
    rtfpListLevel = 158, // ilvl
    rtfpRaise = 159, // up
    rtfpLower = 160, // dn
    rtfpOptionalHyphen = 161, // -

    rtfpUnicode = 200,         // u: one UTF-16 unit, then fallback characters
    rtfpUnicodeSkip = 201,     // uc: fallback characters after each "\u"
    rtfpCodePage = 202,        // ansicpg, ansi, mac, pc, pca: the document's code page
    rtfpFontCodePage = 203,    // cpg: the code page of a font's bytes
    rtfpFootnoteNumber = 210,  // chftn: the automatic footnote number
};

struct TRtfKeyword {
    char Name[41];        // without the backslash, cut at 40 characters
    int32_t Default;      // parameter used without a number (always when UseDefault)
    uint8_t UseDefault;   // 1: the default replaces any number written
    int32_t Kind;         // TRtfKeywordKind
    int32_t Code;         // handler code within the kind
    int32_t NameLength;

    // The parameter a word of this entry passes on, given what was written.
    int32_t Parameter(int32_t value, bool hasValue) const;
};

// The first entry registered under the name, or null. The table is filled on
// first use (thread-safe), before any reader consults it.
const TRtfKeyword* FindRtfKeyword(std::string_view name);
int RtfKeywordCount();
const TRtfKeyword& RtfKeywordAt(int index);
