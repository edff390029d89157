#pragma once
// Definitions shared by every layer of the rich-text editor: the paragraph,
// line, attribute and cell records, the enumerations and their sets, the named
// flag bits, the unit conversions, the page header (TTextHeader), the message
// table, the display-attribute sets, the filter bases and the start-up tables.
//
// Flag bits are used only through their names below; no code relies on a
// bit number.
#include "AnsiString.h"
#include "Classes.h"
#include "Graphics.h"
#include "Object.h"
#include "SysUtils.h"
#include "Types.h"

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TCanvas;
class TRtRTFText;

// ---- sets -----------------------------------------------------------------------------

// A set over an enumeration: value i is bit i of the word.
template <class E, class W = uint32_t>
class TRtSet {
public:
    W Bits = 0;
    constexpr TRtSet() = default;
    constexpr TRtSet(std::initializer_list<E> values)
    {
        for (E v : values)
            Bits |= Mask(v);
    }
    static constexpr TRtSet FromBits(W bits)
    {
        TRtSet s;
        s.Bits = bits;
        return s;
    }
    static constexpr W Mask(E v) { return W(1) << unsigned(v); }
    constexpr bool Has(E v) const { return (Bits & Mask(v)) != 0; }
    constexpr void Include(E v) { Bits |= Mask(v); }
    constexpr void Exclude(E v) { Bits &= ~Mask(v); }
    constexpr void Set(E v, bool on) { on ? Include(v) : Exclude(v); }
    constexpr bool Empty() const { return Bits == 0; }
    constexpr TRtSet operator|(TRtSet o) const { return FromBits(Bits | o.Bits); }
    constexpr TRtSet operator&(TRtSet o) const { return FromBits(Bits & o.Bits); }
    constexpr TRtSet operator-(TRtSet o) const { return FromBits(Bits & ~o.Bits); }
    constexpr bool operator==(const TRtSet&) const = default;
};

// ---- unit conversions -------------------------------------------------------------------

int32_t CentimetersToTwips(double Value);
int32_t InchesToTwips(double Value);
double TwipsToCentimeters(int32_t Value);
inline int32_t IntMax(int32_t A, int32_t B) { return A > B ? A : B; }  // kept: public helper of the unit

// ---- enumerations -------------------------------------------------------------------

enum TRtPageSettings : uint8_t {
    rt_Custom, rt_Letter, rt_Legal, rt_Executive, rt_DinA3, rt_DinA4, rt_DinA5, rt_DinA6
};
enum TRtUnit : uint8_t { UnitCm, UnitIn, UnitPt, UnitPix };

enum TRtViewOption : uint8_t {
    rtUseDoubleBuffer, rtGrayTables, rtShowGridlines, rtShowCR, rtShowNL, rtShowSPC,
    rtShowHardSPC, rtShowTAB, rtHideObjectFrame, rtShowObjectAnchors, rtShowBookmarkCodes,
    rtShowEmbeddedCodes, rtShowReferenceObjects, rtShowInvisibleText, rtShowPageNRinGap,
    rtDrawFineUnderlines, rtCenterLinesVertically, rtUseAbsoluteFontHeight,
    rtDontGrayHeaderFooterInLayout, rtThinObjectFrames, rtNoTransparentFloatingObjects,
    rtNoEndOfDocumentLine, rtHideSelection, rtDontIgnoreTabsInRightMargin, rtUseWatermark
};
using TRtViewOptions = TRtSet<TRtViewOption>;

enum TRtPrintHeaderFooter : uint8_t { rtrNever, rtrOnAllPages, rtrNotOnFirstPage, rtrOnlyOnFirstPage };

enum TRtEditOption : uint8_t {
    rtTableResizing, rtTableOneCellResizing, rtTableColumnResizing, rtObjectMoving,
    rtObjectResizingWidth, rtObjectResizingHeight, rtObjectResizingKeepRatio, rtObjectSelecting,
    rtObjectDeletion, rtFieldObjectsAsGraphicObjects, rtSpreadsheetCursorMovement,
    rtAutoInsertRow, rtNoEditOutsideTable, rtActivateUndo, rtActivateUndoHotkey, rtActivateRedo,
    rtActivateRedoHotkey, rtAlwaysInsert, rtDeactivateCharsetSwitching, rtMoveCPOnPageUpDown,
    rtAutoDetectHyperlinks, rtNoHorzScrolling, rtNoVertScrolling,
    rtDontJoinParsWithDifferentStyles, rtNoAutomaticHangingBulletsAndNumbers, rtMDIDragAndDrop,
    rtDontDeleteExtraSpace, rtUseHyphenation, rtStreamUndoOperation
};
using TRtEditOptions = TRtSet<TRtEditOption>;

enum TRtPrintOption : uint8_t {
    rtIgnoreBorders, rtIgnoreShading, rtIgnoreText, rtIgnoreGraphics,
    rtDoNotChangePrinterDefaults, rtDontPrintWatermark, rtDontReadPapernamesFromPrinter
};
using TRtPrintOptions = TRtSet<TRtPrintOption, uint8_t>;

enum TRtEditBoxMode : uint8_t {
    rtemLimitTextHeight, rtemLimitTextWidth, rtemAutoSizeWidth, rtemAutoSizeHeight,
    rtemCheckCursorMovement, rtemCheckTextFlow
};
using TRtEditBoxModes = TRtSet<TRtEditBoxMode, uint8_t>;

enum TRtStatusItemCont : uint8_t {
    stGauge, stHelp, stIndex, stOutline, stStatus, stInsert, stCaps, stNum, stXPos, stYPos,
    stDate, stTime, stPage, stLine, stChanged, stFont, stStyle, stUnit, stTxtFmt, stName,
    stFileName, stPathName, stString
};
// Kept though nothing uses them: published types of the editor's interface (HTML output,
// spell-check start modes, bitmap writing) that hosts may name; no code path offers these yet.
enum TStoreHTMLComment : uint8_t { shcFootnote, shcHiddenFootnote, shcField, shcOFF };
enum TRtHTMLCreateImages : uint8_t { rtciDontCreateImages, rtciCreateImages, rtciCreateImageEvent };
enum TRtStartSpellcheckMode : uint8_t {
    rtStartSpellCheck, rtStartThesuarus, rtStartSpellAsYouGo, rtStopSpellAsYouGo
};
enum TRtWriteBitmapMode : uint8_t { wbmBMPFile, wbmWBitmap, wbmDIBBitmap };
enum TRtObjectWriteRTFModeGlobal : uint8_t {
    wobDependingOnObject, wobStandard, wobRTF, wobStandardAndRTF
};
enum TRtNumberStyle : uint8_t { rt_none, rt_bullet, rt_lg_a, rt_a, rt_lg_i, rt_i, rt_1 };

enum TProtectProps : uint8_t {
    ppProtected, ppHidden, ppIsInsertpoint, ppAutomatic, ppIsInvisible, ppParProtected,
    ppProtectSelectedTextToo, ppDontCopyProtectedAttribute, ppDontUseAttrOfProtected,
    ppNoEditAfterProtection, ppInsertBetweenProtectedPar, ppAllowEditAtTextEnd,
    ppAllExceptForEditFields
};
using TProtectProp = TRtSet<TProtectProps, uint16_t>;

enum TRtDBCSOneMode : uint8_t {
    rtdb_Enabled, rtdb_OnlyNotANSIChar, rtdb_CalcCharWidth, rtdb_NoWordWrapAtSpace,
    rtdb_PairsMaySplit, rtdb_Test
};
using TRtDBCSMode = TRtSet<TRtDBCSOneMode, uint8_t>;

// Kept though nothing uses it: published type of the editor's interface.
enum TRtLayoutMode : uint8_t {
    rtlayNormal, rtlayPageGap, rtlayLayout, rtlayFullLayout, rtlayShowManualPageBreaks
};
enum TRtAutoZoom : uint8_t { rtAutoZoomOff, rtAutoZoomWidth, rtAutoZoomFullPage };
enum TRtScreenResMode : uint8_t { rmNormal, rm1440 };

enum TOneStoreOption : uint8_t {
    soNoColorTableInRTF, soNoPageFormatInRTF, soHardLineBreaks, soNoNULLChar,
    soNoNumberCompatibilityText, soOnlyNumberCompatibilityText, soSimpleNumberCompatibilityText,
    soNoOutlineStyleTable, soOldStyleOutlineStyleTable, soNoHeaderText, soNoFooterText,
    soWordwrapInformation, soPagebreakInformation, soNewParInTableCell, soNoShadingInformation,
    soNoStyleTable, soAllStylesInCollection, soANSIFormfeedCode, soWordHyperLinkFormat,
    soNoRTFVariables, soDontRenameToBAKFile, soDontDeleteBAKFile, soWriteObjectsAsRTFBinary
};
using TStoreOptions = TRtSet<TOneStoreOption>;

enum TOneHTMLStoreOption : uint8_t {
    soOnlyHTMLBody, soNoBasefontTag, soAllFontInformation, soNoSPANBackgroundColor, soOnlyFieldTags
};
using THTMLStoreOptions = TRtSet<TOneHTMLStoreOption, uint8_t>;

enum TOneLoadOption : uint8_t {
    loIgnoreDefaultTabstop, loIgnorePageSize, loIgnoreHeaderFooter, loDontAddRTFVariables,
    loIgnorePageMargins, loIgnoreOutlineStyles, loIgnoreFonts, loIgnoreFontSize,
    soIgnoreWordwrapInformation, loIgnoreColorTable, loPrintHeaderFooterParameter,
    loApplyParagraphStylesAfterReading, loAddReadParagraphStyles, loDontAddReadParagraphStyleNames,
    loOverwriteParagraphStyleAttr, loDontLockAttrDifferentToStyle, loANSIFormfeedCode,
    loOnlyListText
};
using TLoadOptions = TRtSet<TOneLoadOption>;

enum TThreeState : uint8_t { tsIgnore, tsTRUE, tsFALSE };
enum TParAlign : uint8_t { paralLeft, paralCenter, paralRight, paralBlock };
enum TParVertAlign : uint8_t { paralVertTop, paralVertCenter, paralVertBottom };
enum TRtTextEffect : uint8_t { rteffNone, rteffPopup, rteffOutline };
enum TRtPagePropertyRange : uint8_t {
    rtraOnAllPages, rtraOnOddPages, rtraOnEvenPages, rtraOnFirstPage, rtraOnLastPage,
    rtraNotOnFirstAndLastPages, rtraNamed, rtraIgnored
};
enum TRtMemoryFormat : uint8_t { fmRichText, fmPlainText };
enum TRtObjectWriteRTFMode : uint8_t { wobOnlyStandard, wobOnlyRTF, wobBoth };
enum TRtOCurrState : uint8_t { wobLoading, wobChecking, wobPainting, wobClicking, wobDblClicking };
enum TRtOneObjectFieldFrameOpt : uint8_t {
    rtfoBox, rtfoCornersLeft, rtfoCornersRight, rtfoBackColor, rtfoFrameColor
};
using TRtObjectFieldFrameOpt = TRtSet<TRtOneObjectFieldFrameOpt, uint8_t>;

// Character style bits: the first word of every attribute entry.
enum TOneWrtStyle : uint8_t {
    afsBold, afsItalic, afsHyperLink, afsSuper, afsSub, afsProtected, afsIsFootnote,
    afsIsInsertpoint, afsAutomatic, afsUnderline, afsStrikeOut, afsHidden, afsIsRTFCode,
    afsDelete, afsUserdefined, afsBookmark, afsMisSpelled, afsIsObject, afsHyphen, afsWasChecked,
    afsHotStyle, afsParStyleBold, afsParStyleItalic, afsParStyleUnderline, afsParStyleFont,
    afsParStyleSize, afsParStyleColor, afsParStyleBGColor, afsDBCSOne, afsDBCSTwo
};
using WrtStyle = TRtSet<TOneWrtStyle>;

// ---- records --------------------------------------------------------------------------

// One character's attribute entry.
struct TAttr {
    WrtStyle Style;
    uint32_t Tag = 0;        // object reference id, or insert point id in the low 16 bits
    uint16_t Width = 0;      // measured width in pixels (0 for characters not shown)
    uint16_t Base = 0;       // ascent of the font in pixels
    uint16_t Height = 0;     // height of the font in pixels
    uint8_t TextColor = 0;   // colour index; in 16-colour mode text low, background high half
    uint8_t BGColor = 0;     // background colour index (256-colour mode)
    uint16_t Font = 0;       // index into the header's font table
    uint16_t Size = 0;       // font size in points
    uint8_t Charset = 0;     // charset of the character
    uint16_t StyleNr = 0;    // character style number
    bool operator==(const TAttr&) const = default;
};
using PTAttr = TAttr*;

// Line flags.
constexpr uint16_t linfChanged = 0x0001;          // a character was typed / needs repaint
constexpr uint16_t linfPageStart = 0x0002;        // a page starts with this line
constexpr uint16_t linfHyphenated = 0x0004;       // hyphenated; end offset reachable by Right
constexpr uint16_t linfHasObject = 0x0008;
constexpr uint16_t linfStoredLayout = 0x0020;
constexpr uint16_t linfSelected = 0x0040;         // inside the selection
constexpr uint16_t linfSelBoundary = 0x0080;      // selection boundary
constexpr uint16_t linfHotStyle = 0x0200;
constexpr uint16_t linfPageBreakAfter = 0x0400;

// Longest line buffer: lengths and capacities are 16-bit and keep room for the NUL.
constexpr int32_t RtMaxLineCapacity = 65534;

struct TLine {
    TLine* Next = nullptr;
    TLine* Prior = nullptr;
    TAttr* Attrs = nullptr;      // Capacity entries in rich-text format, else null
    uint8_t* Chars = nullptr;    // Capacity bytes, NUL at Length
    int32_t Top = 0;             // y within page or cell, layout units
    uint16_t Length = 0;
    uint16_t Height = 0;
    uint16_t Base = 0;
    uint16_t JustifyFrom = 0;
    uint16_t JustifyExtra = 0;
    uint16_t JustifyRest = 0;
    uint16_t Capacity = 0;
    uint16_t PageNr = 0;
    uint16_t SpaceAbove = 0;
    uint16_t SpaceBelow = 0;
    uint16_t Flags = 0;
    int32_t Width = 0;           // width in device units, set by layout
    int32_t PageStart = 0;       // page-start field of layout
};
using PTLine = TLine*;

// Cell record of a table-cell paragraph.
constexpr uint8_t celbAll = 0x40, celbTop = 0x04, celbBottom = 0x08, celbLeft = 0x10,
                  celbRight = 0x20, celbDouble = 0x80, celbHairline = 0x01, celbDotted = 0x02;
struct TRtCell {
    uint8_t Width = 0;        // 1/255 of the row width
    uint8_t Left = 0;         // same unit
    uint8_t Combine = 0;      // low half: cells combined; high half 15: locked
    uint8_t Extra = 0;
    int32_t Value = 0;        // given by the row builder's descriptor
    int32_t RightX = 0;       // layout: right edge x
    int32_t LeftX = 0;        // layout: left edge x
    int32_t Spacing = 0;      // layout: spacing value
    int32_t TableId = 0;      // id in the text's table list
    uint8_t BrdFlags = 0;
    std::array<uint8_t, 4> BrdColor{};
    uint8_t BrdWidth = 0;
    uint8_t BrdSpace = 0;
    uint8_t VertAlign = 0;
    int32_t Gap = 0;
    int32_t FrameValue = 0;
    int32_t FormatNr = 0;
    AnsiString Name;          // first string of the descriptor
    AnsiString Command;       // second string of the descriptor
    bool Locked() const { return (Combine >> 4) == 15; }
};

// An object anchored in a paragraph; the paragraph owns the chain. Layout
// gives it the Top of the paragraph's first line and the y below the paragraph.
struct TRtParObject {
    TRtParObject* Next = nullptr;
    int32_t RefId = 0;     // id in the text's object-reference list
    int32_t Top = 0;
    int32_t Bottom = 0;
};

// Paragraph flags (the 32-bit word).
constexpr uint32_t parfNewPage = 1u << 0;
constexpr uint32_t parfProtected = 1u << 1;
constexpr uint32_t parfReformat = 1u << 2;
constexpr uint32_t parfMultSpaceBetween = 1u << 3;
constexpr uint32_t parfJustifyLastLine = 1u << 4;
constexpr uint32_t parfMarked = 1u << 5;
constexpr uint32_t parfKeepTogether = 1u << 6;
constexpr uint32_t parfKeepWithNext = 1u << 7;
constexpr uint32_t parfNoWrap = 1u << 8;
constexpr uint32_t parfNotFirstCell = 1u << 9;
constexpr uint32_t parfNotLastCell = 1u << 10;
constexpr uint32_t parfTableCell = 1u << 11;
constexpr uint32_t parfIsOutline = 1u << 12;
constexpr uint32_t parfNoLines = 1u << 13;
constexpr uint32_t parfHasFields = 1u << 15;       // holds field objects or bookmarks
constexpr uint32_t parfObjectPar = 1u << 16;       // hosts a paragraph-level object
constexpr uint32_t parfObjectPar2 = 1u << 17;
constexpr uint32_t parfSkip1 = 1u << 18;           // first skip flag
constexpr uint32_t parfHasFloating = 1u << 23;     // holds positioned objects
constexpr uint32_t parfCellVCenter = 1u << 24;
constexpr uint32_t parfCellVBottom = 1u << 25;
constexpr uint32_t parfSkip2 = 1u << 28;           // second skip flag (hidden below outline)
constexpr uint32_t parfCollapsed = 1u << 29;
constexpr uint32_t parfOpensBookmark = 1u << 30;

// Further paragraph marks of layout and painting (their own word).
constexpr uint32_t parxKeepLineBreaks = 1u << 0;
constexpr uint32_t parxDrawnWhole = 1u << 1;
constexpr uint32_t parxNotMeasured = 1u << 2;
constexpr uint32_t parxOneAttr = 1u << 3;
constexpr uint32_t parxNotFormatted = 1u << 4;
constexpr uint32_t parxMarker1 = 1u << 5;
constexpr uint32_t parxMarker2 = 1u << 6;
constexpr uint32_t parxLabel = 1u << 7;
constexpr uint32_t parxTableOfContents = 1u << 9;

// Border-line bits of BrdLines.
constexpr uint16_t brdPresent = 1, brdNoBetween = 2, brdTop = 4, brdBottom = 8, brdLeft = 16,
                   brdRight = 32, brdBox = 64, brdDouble = 128;

struct TParagraph {
    int16_t IndentFirst = 0;
    int16_t IndentLeft = 0;
    int16_t IndentRight = 0;
    int16_t SpaceBefore = 0;
    int16_t SpaceAfter = 0;
    int16_t SpaceBetween = 0;
    int16_t Number = 0;          // numbering style; 0 none
    uint16_t NumberExtra = 0;
    uint8_t NumLevel = 0;
    uint8_t Color = 0;           // shading colour index
    uint8_t Shading = 0;         // percent
    uint8_t PatColor = 0;        // colour index of the shading pattern's lines
    uint8_t Align = paralLeft;   // TParAlign
    std::array<int32_t, 2> StyleFields{};
    uint64_t Tabs = 0;           // bit i = entry i of the header's tab table
    uint16_t BrdLines = 0;
    uint8_t BrdWidth = 0;
    std::array<uint8_t, 4> BrdColor{};
    uint8_t BrdSpace = 0;        // units of 72 twips
    uint32_t Flags = 0;
    TLine* Lines = nullptr;
    TParagraph* Next = nullptr;
    TParagraph* Prior = nullptr;
    // Store fields.
    uint32_t Serial = 0;         // the text's paragraph counter at allocation
    uint16_t RunNumber = 0;      // running number of a numbered paragraph
    int32_t Index = 0;           // 0-based position in the body chain
    int32_t LinesBefore = 0;     // lines before the paragraph (numbering pass of layout)
    TRtParObject* Objects = nullptr;  // objects anchored here (owned by the object layer)
    TObject* Owner = nullptr;    // header/footer or footnote text that holds the chain
    TAttr ParAttr;               // attribute of the paragraph mark and empty lines
    TRtCell* Cell = nullptr;     // allocated on demand; nil outside tables
    // Further fields of layout, painting and the readers.
    int16_t StyleIndex = 0;      // the reader stores index + 1
    uint8_t OutlineLevel = 0;
    uint8_t TableLevel = 0;
    uint32_t ParId = 0;
    uint8_t BrdOptions = 0;      // 1 all sides, 2 hairline, 64 bar tabs
    uint64_t BarTabs = 0;
    uint32_t ChangeMask = 0;     // 0x2000 tabs changed; 1, 2, 4 indents changed
    uint32_t ExtFlags = 0;       // parx... bits
    int32_t LabelWidth = 0;      // twips
    int32_t OpenBookmarks = 0;
    AnsiString TextField;        // attached text field
    // Layout of a table cell, in twips: the free space below its text in the
    // row, and of it the part that vertical alignment puts above the text.
    int16_t CellFree = 0;
    int16_t CellSpaceAbove = 0;
};
using PTParagraph = TParagraph*;

// The two ends of a text's selection, as a value.
struct TRtSelectionEnds {
    TParagraph* StartPar = nullptr;
    TLine* StartLine = nullptr;
    int32_t StartPos = 0;
    TParagraph* EndPar = nullptr;
    TLine* EndLine = nullptr;
    int32_t EndPos = 0;
    bool operator==(const TRtSelectionEnds&) const = default;
};

// Property indices of CopyParProps and CopyCharAttr masks.
enum TParPropIndex : uint8_t {
    ppiIndentLeft, ppiIndentRight, ppiIndentFirst, ppiSpaceBefore, ppiMultSpaceBetween,
    ppiSpaceBetween, ppiSpaceAfter, ppiBrdLines, ppiBrdWidth, ppiBrdColor, ppiAlign, ppiColor,
    ppiShading, ppiTabs, ppiNumber, ppiNumLevel, ppiIsOutline, ppiBrdSpace, ppiKeepTogther,
    ppiKeepWithNext
};
enum TCharPropIndex : uint8_t { cpiBold, cpiItalic, cpiUnderline, cpiFont, cpiSize, cpiFontColor, cpiFontBGColor };

// The name tables and TInfoBlock are kept as the unit's published tables; nothing reads
// RtCharPropNames, RtParPropNames or TInfoBlock yet.
extern const std::array<const char*, 7> RtCharPropNames;
extern const std::array<const char*, 20> RtParPropNames;
extern const std::array<const char*, 10> RtInfoFieldNames;
struct TInfoBlock {
    std::array<AnsiString, 10> Fields;
};

// Global switches (nothing in the store sets them).
extern bool RtIgnoreCharsets;   // font lookup ignores charsets
extern bool RtKeepBorders;      // clearing keeps border properties
extern TColor RtDefaultColor;   // the colour of index 0 (0 at start)
// Options of every text reader, a set of the bits below (0 at start).
extern uint32_t RtReaderOptions;
constexpr uint32_t rroExchangePaperSize = 1u << 2;  // page width read as height and height as width

void CopyParProps(TParagraph& Dest, uint32_t ExcludeMask, const TParagraph& Source,
                  bool ClearOthers, uint32_t CopyMask);
void CopyCharAttr(TAttr& Dest, WrtStyle ExcludeStyles, const TAttr& Source, bool ClearOthers,
                  uint32_t CopyMask);
bool VisibleParExists(const TParagraph* Par, bool Forward);

// ---- page definitions and named colours -------------------------------------------------

struct TRtPageDef {
    int32_t PaperCode;
    uint8_t Metric;  // 1 centimetres, 0 inches
    float Width;
    float Height;
    const char* Name;
};
extern const std::array<TRtPageDef, 8> RtPageDefs;
int32_t PageDefWidthTwips(TRtPageSettings Row);
int32_t PageDefHeightTwips(TRtPageSettings Row);

// Named colours, kept as a published table; nothing looks a colour up by name yet.
struct TRtStyleColors {
    const char* Name;
    TColor Color;
};
extern const std::array<TRtStyleColors, 16> RtStyleColors;

// Paper code and row of a page size in twips; replaceable so printing matches the same way.
int32_t DefaultFindPaperSize(int32_t Width, int32_t Height, int32_t& Index);
extern int32_t (*FindPaperSize)(int32_t Width, int32_t Height, int32_t& Index);

// Character of a font charset as Unicode: Windows-1252 through the platform's
// table, the symbol charset through a symbol-to-Unicode table (the WingDings
// bullets as marks of common fonts), other charsets through their code page.
// 0 when the byte has no character of its own there (also a lead byte).
char32_t RtCharToUnicode(uint8_t Ch, int32_t Charset, const AnsiString& FontName);
// Whether a font name is one of the symbol fonts, whose bytes are their own marks.
bool IsSymbolFontName(const AnsiString& Name);

// ---- the page header ------------------------------------------------------------------------

struct TRtFontEntry {
    AnsiString Name;         // empty = free
    int32_t Charset = -1;    // -1 = any
    uint16_t Extra = 0;
    uint8_t PitchAndFamily = 0;
};
struct TRtColorEntry {
    uint8_t Red = 0, Green = 0, Blue = 0, Used = 0;
};
struct TRtTabEntry {
    int32_t Pos = 0;        // twips, 0 = free
    int32_t PixPos = 0;
    uint8_t Kind = 0;       // 0 left, 1 right, 2 centre, 3 decimal
};

class TTextHeader : public TObject {
public:
    LUMI_CLASSNAME(TTextHeader)
    TTextHeader();
    virtual void Assign(const TObject& Source);

    void Init();
    int32_t GetFontIndex(const AnsiString& Name);
    int32_t GetFontIndexCharset(const AnsiString& Name, int32_t Charset);
    // The charset of font slot Index: a font of unknown charset is Western, one
    // named as a symbol font a symbol font.
    int32_t FontCharset(int32_t Index) const;
    // The slot with the name of font slot Index and exactly that charset, added
    // when missing; -1 when the table is full.
    int32_t GetFontIndexForCharset(int32_t Index, int32_t Charset);
    // The bytes of the character Text[0] in font slot Font. When the font's
    // charset cannot hold it and Switch is set, Font becomes the slot with the
    // font's name and a charset that can (Preferred first, then the one holding
    // most of Text). False when no charset holds it (or the table is full).
    bool UnicodeToFontChars(std::u32string_view Text, uint16_t& Font, std::string& Out, bool Switch = true,
                            int32_t Preferred = -1);
    // The slot of a font chosen for text. Slot 0 stays the text's default font:
    // without a name it is named as the default first, so that its text keeps its look.
    int32_t GetTextFontIndex(const AnsiString& Name, int32_t Charset = -1);
    AnsiString GetFontName(int32_t Index) const;
    bool GetColorIndex(TColor Color, bool Use256, int32_t& Index);
    TColor GetColor(int32_t Index) const;
    int32_t AddTab(int32_t Pos, int32_t Kind);
    int32_t AddTabTo(int32_t Pos, int32_t Kind);
    int32_t FindTab(int32_t& Pos, int32_t Kind);
    int32_t RoundTab(int32_t Pos) const;
    void SortTabs();
    void ClearTabs();
    void RescaleTabs();
    void UpdatePixelSizes();
    void BeginUpdate();
    void EndUpdate();
    void Changed();

    // Published properties.
    TStoreOptions StoreOptions{soAllStylesInCollection, soWordHyperLinkFormat, soWriteObjectsAsRTFBinary};
    THTMLStoreOptions HTMLStoreOptions;  // kept: published and copied by Assign; no HTML writer reads it
    TLoadOptions LoadOptions{loAddReadParagraphStyles, loOverwriteParagraphStyleAttr};
    TRtUnit UsedUnit = UnitCm;
    bool RoundTabs = true;
    int32_t RoundTabsDivForInch = 90;
    int32_t RoundTabsDivForCm = 144;
    char DecimalTabChar = 0;
    bool PrintHeaderFooterInPageMargins = true;
    int32_t DefaultPageWidth = 12240;
    int32_t DefaultPageHeight = 15840;
    int32_t DefaultTopMargin = 1440;
    int32_t DefaultBottomMargin = 1440;
    int32_t DefaultLeftMargin = 1880;
    int32_t DefaultRightMargin = 1880;
    int32_t DefaultMarginHeader = 720;
    int32_t DefaultMarginFooter = 720;
    bool DefaultLandscape = false;

    int32_t DefaultTabstop() const { return defaultTabstop_; }
    void SetDefaultTabstop(int32_t V);
    int32_t PageWidth() const { return landscape_ ? pageHeight_ : pageWidth_; }
    void SetPageWidth(int32_t V);
    int32_t PageHeight() const { return landscape_ ? pageWidth_ : pageHeight_; }
    void SetPageHeight(int32_t V);
    int32_t LeftMargin() const { return leftMargin_; }
    void SetLeftMargin(int32_t V);
    int32_t RightMargin() const { return rightMargin_; }
    void SetRightMargin(int32_t V);
    int32_t TopMargin() const { return topMargin_; }
    void SetTopMargin(int32_t V);
    int32_t BottomMargin() const { return bottomMargin_; }
    void SetBottomMargin(int32_t V);
    int32_t MarginHeader() const { return marginHeader_; }
    void SetMarginHeader(int32_t V) { marginHeader_ = V; }
    int32_t MarginFooter() const { return marginFooter_; }
    void SetMarginFooter(int32_t V) { marginFooter_ = V; }
    bool MarginMirror() const { return marginMirror_; }
    void SetMarginMirror(bool V);
    bool Landscape() const { return landscape_; }
    void SetLandscape(bool V);
    TRtPageSettings DefaultPageSize() const { return defaultPageSize_; }
    void SetDefaultPageSize(TRtPageSettings V);
    TRtPageSettings PageSize() const { return pageSize_; }
    void SetPageSize(TRtPageSettings V);

    // Reference resolution (dots per inch) of the device the text is laid out for.
    int32_t XRes = 96;
    int32_t YRes = 96;
    int32_t PageGap = 282;        // twips between pages in page view
    // Further resolutions of layout and painting.
    int32_t LayoutXRes = 96, LayoutYRes = 96;
    int32_t PaintXRes = 96, PaintYRes = 96;
    int32_t FontRes = 96;
    int32_t LayoutTextWidth = 0;
    int32_t ScreenXRes = 96, ScreenYRes = 96;

    // Pixel cache.
    int32_t PixPageWidth = 0, PixPageHeight = 0;
    int32_t PixLeftMargin = 0, PixRightMargin = 0, PixTopMargin = 0, PixBottomMargin = 0;
    int32_t PixMarginHeader = 0, PixMarginFooter = 0;
    int32_t PixTextWidth = 0, PixTextHeight = 0;
    int32_t PixDefaultTab = 0;

    std::array<TRtFontEntry, 256> Fonts{};
    std::array<TRtColorEntry, 256> Colors{};
    bool Colors16 = false;        // 16-colour mode
    std::array<TRtTabEntry, 64> Tabs{};
    std::array<uint8_t, 64> TabOrder{};
    uint64_t CurrentTabs = 0;

    uint8_t RichText = 1;         // 1 while lines keep attribute arrays
    uint8_t DefaultTabKind = 0;
    uint8_t DoNotRound = 0;
    uint8_t UpdateLock = 0;
    AnsiString FormatName = "AUTO";
    // Option bytes of the readers.
    uint8_t PageBreakOnFormFeed = 0, KeepFontsFixed = 0, KeepSizesFixed = 0,
            KeepNumberingText = 0, ForbidNewStyles = 0, RegisterReadStyles = 0,
            PreformattedTextAllowed = 0, HeaderFooterPrinting = 0,
            NoRtfHeaderWords = 0;
    // The right-tab flag: a read right tab stop lies within 58 twips of the text area's right edge.
    bool RightTabAtEdge = false;
    TRtRTFText* Owner = nullptr;
    std::function<void(bool)> OnChange;
    std::function<void(TTextHeader*)> OnTabsFull;

private:
    int32_t defaultTabstop_ = 720;
    int32_t pageWidth_ = 12240, pageHeight_ = 15840;  // stored oriented
    int32_t leftMargin_ = 1880, rightMargin_ = 1880, topMargin_ = 1440, bottomMargin_ = 1440;
    int32_t marginHeader_ = 720, marginFooter_ = 720;
    bool marginMirror_ = false;
    bool landscape_ = false;
    TRtPageSettings defaultPageSize_ = rt_Custom;
    TRtPageSettings pageSize_ = rt_Custom;
};

// ---- messages ----------------------------------------------------------------------------------

enum TRtUIString : uint8_t {
    meDefaultUnit_INCH_or_CM, meUnitInch, meUnitCm, meDecimalSeperator, meDefaultCharSet,
    meFilterRTF, meFilterHTML, meFilterTXT, meFilterXML, meFilterCSS, meFilterALL, meFilter,
    meUserCancel, meReady, meReading, meWriting, meFormatA, meFormatB, meClearMemory,
    meNoSelection, meRichText, mePlainText, meSysError, meClearTabs, meObjGraphicFilter,
    meObjGraphicFilterExt, meObjTextFilter, meObjNotSupported, meObjGraphicNotLinked, meObjDelete,
    meObjInsert, meSaveChangedText, meClearChangedText, meCannotRenameFile, meErrorWriteToFile,
    meErrorReadingFile, meRecursiveToolbarUsage, meWrongScreenmode, meTextNotFound,
    meUndefinedInsertpoint, meNotSupportedProperty, meUseOnlyBitmaps, meWrongUsageOfFastAppend,
    mePaletteCompletelyUsed, meWriterClassNotFound, meReaderClassNotFound, meWrongArgumentError,
    meIOClassError, meNotSupportedError, meutNone, meutAny, meutInput, meutDeleteText,
    meutChangeAttributes, meutChangeIndent, meutChangeSpacing, meutChangeAlignment,
    meutChangeTabs, meutChangeBorder, meutDeleteSelection, meutDragAndDrop, meutPaste,
    meutChangeTable, meutChangeGraphic, meutChangeCode, meutUpdateStyle, meutChangeTemplate,
    meutInsertBookmark, meutInsertHyperlink, meutInsertField, meDiaAlLeft, meDiaAlCenter,
    meDiaAlRight, meDiaAlJustified, meDiaYes, meDiaNo, meTkLeft, meTkCenter, meTkRight,
    meTkDecimal, meSpacingMultiple, meSpacingAtLeast, meSpacingExact, mePaperCustom,
    meWrongFormat, meReportTemplateErr, meLastUIString = meReportTemplateErr
};
constexpr int RtUIStringCount = int(meLastUIString) + 1;

const AnsiString& GetRtUIString(TRtUIString Id);
void SetRtUIString(TRtUIString Id, const AnsiString& Text);
// The value's name ("meReady").
const char* RtUIStringName(TRtUIString Id);
// Undo levels: the user action an undo step belongs to, which names the step.
enum TRtUndoLevel : int32_t {
    ulNone = 0,
    ulAny = 1,
    ulInput = 2,
    ulDeletion = 3,
    ulAttributes = 4,
    ulIndent = 5,
    ulSpacing = 6,
    ulAlignment = 7,
    ulTabs = 8,
    ulBorders = 9,
    ulSelection = 10, // deleting a selection
    ulDragAndDrop = 11,
    ulPaste = 12,
    ulGraphic = 13,   // 13 to 15
    ulGraphicLast = 15,
    ulTable = 16,
    ulStyle = 17,
};
// The name of an undo level (the low 7 bits of Kind); "Changes" for any other value.
const AnsiString& GetUndoKindText(int32_t Kind);

// Localisation hooks: save and load all texts (chained), write and read one text.
using TRtLocalizeProc = void (*)();
extern TRtLocalizeProc RtSaveTexts;
extern TRtLocalizeProc RtLoadTexts;
extern std::function<void(const AnsiString& Key, const AnsiString& Text)> RtWriteTextCallback;
extern std::function<bool(const AnsiString& Key, AnsiString& Text)> RtReadTextCallback;
extern int32_t RtDefaultUnitFlag;       // 2 at start; 1 inch, 2 cm after loading texts
extern TRtLocalizeProc RtLanguageChanged;

// One library's link in the localisation chain. Installed, its routines run
// first and then hand on to those installed before it, so that every library's
// texts are saved and loaded, not only the last one's. Counted: nested installs
// link once; the last Remove puts the previous routines back.
template <TRtLocalizeProc Save, TRtLocalizeProc Load, TRtLocalizeProc Changed = nullptr>
class TRtLocalizeLink {
public:
    static void Install()
    {
        if (count_++ > 0)
            return;
        prevSave_ = std::exchange(RtSaveTexts, &RunSave);
        prevLoad_ = std::exchange(RtLoadTexts, &RunLoad);
        if constexpr (Changed != nullptr)
            prevChanged_ = std::exchange(RtLanguageChanged, &RunChanged);
    }
    static void Remove()
    {
        if (count_ == 0 || --count_ > 0)
            return;
        RtSaveTexts = prevSave_;
        RtLoadTexts = prevLoad_;
        if constexpr (Changed != nullptr)
            RtLanguageChanged = prevChanged_;
    }
    // Installs the link for the life of a unit.
    struct TUnit {
        TUnit() { Install(); }
        ~TUnit() { Remove(); }
        TUnit(const TUnit&) = delete;
        TUnit& operator=(const TUnit&) = delete;
    };

private:
    static void Chain(TRtLocalizeProc Own, TRtLocalizeProc Prev)
    {
        Own();
        if (Prev)
            Prev();
    }
    static void RunSave() { Chain(Save, prevSave_); }
    static void RunLoad() { Chain(Load, prevLoad_); }
    static void RunChanged() { Chain(Changed, prevChanged_); }
    static inline int count_ = 0;
    static inline TRtLocalizeProc prevSave_ = nullptr, prevLoad_ = nullptr, prevChanged_ = nullptr;
};

// ---- exceptions ------------------------------------------------------------------------------

LUMI_EXCEPTION(ERtIOClassError, Exception)
LUMI_EXCEPTION(ERtEngineError, Exception)
LUMI_EXCEPTION(ERtEngineModeError, Exception)
// The class library's error for an operation a class leaves to its descendants.
LUMI_EXCEPTION(EAbstractError, Exception)

// ---- display-attribute sets ---------------------------------------------------------------------

class TCharacterAttr : public TObject {
public:
    LUMI_CLASSNAME(TCharacterAttr)
    explicit TCharacterAttr(TOneWrtStyle Decorates) : decorates_(Decorates) {}
    void Assign(const TCharacterAttr& Source);
    TOneWrtStyle Decorates() const { return decorates_; }

    TThreeState Bold() const { return bold_; }
    void SetBold(TThreeState V) { SetState(bold_, V, true); }
    TThreeState Italic() const { return italic_; }
    void SetItalic(TThreeState V) { SetState(italic_, V, true); }
    TThreeState Underline() const { return underline_; }
    void SetUnderline(TThreeState V) { SetState(underline_, V, false); }
    TThreeState StrikeOut() const { return strikeOut_; }
    void SetStrikeOut(TThreeState V) { SetState(strikeOut_, V, false); }
    TThreeState SuperScript() const { return superScript_; }
    void SetSuperScript(TThreeState V) { SetState(superScript_, V, true); }
    TThreeState SubScript() const { return subScript_; }
    void SetSubScript(TThreeState V) { SetState(subScript_, V, true); }
    bool DoubleUnderline() const { return doubleUnderline_; }
    void SetDoubleUnderline(bool V);
    bool Hidden() const { return hidden_; }
    void SetHidden(bool V) { SetState(hidden_, V, true); }
    TColor UnderlineColor() const { return underlineColor_; }
    void SetUnderlineColor(TColor V);
    TColor TextColor() const { return textColor_; }
    void SetTextColor(TColor V);
    TColor BackgroundColor() const { return backgroundColor_; }
    void SetBackgroundColor(TColor V);
    bool UseUnderlineColor() const { return useUnderlineColor_; }
    void SetUseUnderlineColor(bool V);
    bool UseTextColor() const { return useTextColor_; }
    void SetUseTextColor(bool V) { SetState(useTextColor_, V, false); }
    bool UseBackgroundColor() const { return useBackgroundColor_; }
    void SetUseBackgroundColor(bool V) { SetState(useBackgroundColor_, V, false); }
    TColor HotUnderlineColor() const { return hotUnderlineColor_; }
    void SetHotUnderlineColor(TColor V);
    bool UseHotUnderlineColor = false;
    TColor HotBackgroundColor() const { return hotBackgroundColor_; }
    void SetHotBackgroundColor(TColor V);
    bool UseHotBackgroundColor = false;
    TColor HotTextColor() const { return hotTextColor_; }
    void SetHotTextColor(TColor V);
    bool UseHotTextColor = false;
    TThreeState HotUnderline = tsIgnore;
    TRtTextEffect HotEffect() const { return hotEffect_; }
    void SetHotEffect(TRtTextEffect V);
    bool HotStyleIsActive = false;
    bool AlsoUseForPrintout = true;
    TColor HotEffectColor = 0;
    bool UseOnGetAttrColorEvent = false;

    // Called with the decorated style and whether the layout changes.
    std::function<void(WrtStyle Styles, bool LayoutChanges)> OnChange;

private:
    template <class T>
    void SetState(T& Field, T V, bool Layout)
    {
        if (Field == V)
            return;
        Field = V;
        Fire(Layout);
    }
    void Fire(bool Layout);

    TOneWrtStyle decorates_;
    TThreeState bold_ = tsIgnore, italic_ = tsIgnore, underline_ = tsIgnore,
                strikeOut_ = tsIgnore, superScript_ = tsIgnore, subScript_ = tsIgnore;
    bool doubleUnderline_ = false, hidden_ = false;
    TColor underlineColor_ = 0, textColor_ = 0, backgroundColor_ = 0;
    bool useUnderlineColor_ = false, useTextColor_ = false, useBackgroundColor_ = false;
    TColor hotUnderlineColor_ = 0, hotBackgroundColor_ = 0, hotTextColor_ = 0;
    TRtTextEffect hotEffect_ = rteffNone;
};

// ---- component bases -------------------------------------------------------------------------------

class TRtCustomStyleCollection;

// The edit control as the store and the tool controls see it. The edit control
// implements the abstract operations.
class TRtCustomRtfEditClass : public TObject {
public:
    LUMI_CLASSNAME(TRtCustomRtfEditClass)
    ~TRtCustomRtfEditClass() override;
    virtual void SetRtStyleCollection(TRtCustomStyleCollection* Collection);
    TRtCustomStyleCollection* RtStyleCollection() const { return styleCollection_; }
    // The component state: loading (no progress reports) and being destroyed
    // (no object-destroying event).
    virtual bool IsLoading() const = 0;
    virtual bool IsDestroying() const = 0;
    // Whether the control's window exists.
    virtual bool HasWindow() const = 0;
    // Options the store reads.
    virtual TProtectProp ProtectedProp() const = 0;
    virtual TRtEditOptions EditOptions() const = 0;
    virtual TRtViewOptions ViewOptions() const = 0;
    // A positioned object was resized: the control updates itself.
    virtual void ObjectResized() = 0;
    virtual void Invalidate() = 0;
    virtual bool Focused() const = 0;
    virtual AnsiString Name() const = 0;
    virtual void Hook() {}

private:
    TRtCustomStyleCollection* styleCollection_ = nullptr;
};

// A tool control linked to an edit control.
class TRtCustomToolCtrl : public TObject {
public:
    LUMI_CLASSNAME(TRtCustomToolCtrl)
    using TNotifyRTFEditChangedEvent = std::function<void(TObject* Sender, TRtCustomRtfEditClass* NewRTFEdit)>;
    virtual void RTFEditChanged(TRtCustomRtfEditClass* NewRTFEdit)
    {
        if (OnRTFEditChanged)
            OnRTFEditChanged(this, NewRTFEdit);
    }
    TNotifyRTFEditChangedEvent OnRTFEditChanged;
};

// A paragraph style: the paragraph and character properties it sets, each
// named by a bit of its mask.
struct TRtParStyle {
    // ParMask bits.
    static constexpr uint32_t spIndentLeft = 1, spIndentRight = 2, spIndentFirst = 4, spSpaceBefore = 8,
                              spSpaceAfter = 16, spSpaceBetween = 32, spAlign = 64, spShading = 128,
                              spTabs = 256, spKeep = 512, spBorders = 1024;
    // CharMask bits; the bold, italic and underline bits it sets are in StyleBits.
    static constexpr uint32_t scFont = 1, scSize = 2, scColor = 4, scBGColor = 8;
    AnsiString Name;
    AnsiString BasedOn;
    AnsiString Next;
    TParagraph Par;          // paragraph properties (no lines)
    uint32_t ParMask = 0;
    TAttr Attr;
    WrtStyle StyleBits;      // style bits it sets, on or off as in Attr
    uint32_t CharMask = 0;
};

// A style collection with the list of the edit controls linked to it.
class TRtCustomStyleCollection : public TObject {
public:
    LUMI_CLASSNAME(TRtCustomStyleCollection)
    ~TRtCustomStyleCollection() override;
    std::vector<TRtCustomRtfEditClass*> Editors;
    std::vector<TRtParStyle> Styles;
    // Index of the style of that name (compared without regard to case); -1 none.
    int32_t IndexOfStyle(const AnsiString& Name) const;
    // Adds the style, or gives its properties to the one of its name; its index.
    int32_t AddStyle(const TRtParStyle& Style);
};

// ---- filter bases -----------------------------------------------------------------------------------

struct TRtReaderSetup;
struct TRtWriterSetup;

class TRtCustomTextReader : public TObject {
public:
    LUMI_CLASSNAME(TRtCustomTextReader)
    // The target text, its header and options, given before reading (RtRtfTxtIo.h).
    virtual void Setup(const TRtReaderSetup& Setup) {}
    // rtlfKeepText, rtlfKeepCursor (RtRtfTxtIo.h).
    virtual uint32_t LoadFlags() const { return 0; }
    virtual bool HandleEscapeChar() = 0;
    virtual bool ProcessChar(uint8_t Ch) = 0;
    virtual bool AddTextChar(uint8_t Ch) = 0;
    virtual bool AppendChar(uint8_t Ch) = 0;
    virtual void SetStream(TStream* Stream) = 0;
    virtual int32_t ReadStream(TStream* Stream) = 0;
    virtual int32_t Query() { return 0; }

    // The state all readers share.
    TStream* Source = nullptr;
    std::function<void(TParagraph* Par)> OnParagraph;
    int32_t ParCount = 0;
    TAttr Attr;
    TTextHeader* Header = nullptr;
    TRtRTFText* Text = nullptr;
    TParagraph* Par = nullptr;
    int32_t ParNumber = 0;
    uint8_t EscapeChar = 0;
    bool Automatic = false;
    AnsiString Options;
};

class TRtCustomTextWriter : public TObject {
public:
    LUMI_CLASSNAME(TRtCustomTextWriter)
    // The text, range and options, given before writing (RtRtfTxtIo.h).
    virtual void Setup(const TRtWriterSetup& Setup) {}
    // Asks for the text's most used font, size and colour as defaults.
    virtual bool WantsUsedAttributes() const { return false; }
    virtual void Reset() { State = 0; }
    virtual int32_t WriteStart() { return 0; }
    virtual int32_t WriteBody() { return 0; }
    virtual int32_t WriteEnd() { return 0; }

    // Value (0..999999) as decimal digits at P without leading zeros; P advances.
    static void PutDecimal(char*& P, int32_t Value);
    // Two lower-case hex digits of the low byte; P advances by 2.
    static void PutHexByte(char*& P, int32_t Value);
    // Count bytes as lower-case hex to the stream: 0, or 5 on a short write.
    int32_t WriteHexData(const void* Data, int32_t Count);

    TStream* Stream = nullptr;
    uint16_t State = 0;
};

struct TDefaultReaderWriter {
    AnsiString TextWriter = "TRtTextWriter";
    AnsiString RTFWriter = "TRtRTFWriter";
    AnsiString HTMLWriter = "TRtHTMLWriter";
    AnsiString TextReader = "TRtTextReader";
    AnsiString RTFReader = "TRtRTFReader";
    AnsiString HTMLReader = "TRtHTMLReader";
};
extern TDefaultReaderWriter RtDefaultReaderWriter;

// Classes created by name.
using TRtClassFactory = std::function<TObject*()>;
struct TRtClassRef {
    const char* Name;
    TRtClassFactory Create;
};
void RegisterRtClass(const TRtClassRef& Class);
void RegisterRtClasses(std::initializer_list<TRtClassRef> Classes);
// The factory of a registered class, or none.
const TRtClassFactory* FindRtClass(const AnsiString& Name);

// ---- reference printer -------------------------------------------------------------------------

struct TRtReferencePrinter {
    bool HasContext = false;
    int32_t XRes = 0;
    int32_t YRes = 0;
    AnsiString DeviceName;
    bool NoPrinter = false;
};
extern TRtReferencePrinter RtRefPrinter;
void ReadPrinterInfo(const AnsiString& PrinterName);
void UpdatePrinterInfo();
void ReleasePrinterInfo();

// ---- start-up values ------------------------------------------------------------------------------

extern uint8_t RtFieldStart;            // 171
extern uint8_t RtFieldEnd;              // 187
extern char RtDefaultBulletChar;        // 'l'
extern AnsiString RtDefaultBulletFont;  // "WingDings"
extern int32_t RtDefaultFontSize;       // 10
// The font of a font slot without a name.
inline constexpr const char* RtDefaultFontName = "Arial";
extern int32_t RtDefaultWidthCacheCount;
// 0: the program's current decimal separator. Not read at start-up, so that
// linking the editor does not fix the format settings before the program's
// locale is set.
extern char RtDecimalSeparator;
// Kept: start-up values of the unit for painting layers; the editor's painting does not read them.
extern int32_t RtPaintDefault1;         // 50
extern int32_t RtPaintDefault2;         // 255
extern bool RtHideInsertPoints;
extern bool RtEditorBusy;
extern TColor RtObjectHandleColor;
extern const std::array<uint32_t, 32> RtBitMask;
extern const std::array<bool, 256> RtWordDelimiter;   // True below 65 except the digits
extern const std::array<uint8_t, 256> RtWordClass;    // 0 for letters and digits, 1 else
extern const std::array<uint8_t, 256> RtCharMap;      // identity; kept as a published table, unused here
extern const std::array<int8_t, 256> RtHexValue;      // value of a hex digit, -1 else
