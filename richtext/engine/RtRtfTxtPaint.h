#pragma once
// TRtRTFTextPaint: the editor engine's layer that turns the text store into
// lines and pages that can be seen: resolution and zoom, the mapping of layout
// units to device pixels, character fonts and width tables, measuring and line
// breaking, the formatting passes, position geometry, scrolling, the caret,
// the selection by position and the change notification to the owner.
//
// Layout units are pixels of the reference canvas at zoom 100, or twips in the
// fixed-resolution mode. The engine paints through the platform canvas into
// its own surface image; the owner control copies the surface in its paint
// event and draws the caret on top.
#include "Canvas.h"
#include "RtRtfTxtIo.h"

#include <QImage>
#include <QRegion>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <tuple>
#include <utility>
#include <unordered_map>
#include <vector>

// Engine option bits (EngineOptions).
constexpr uint32_t eoNoDisplay = 1u << 1;         // printing or measuring only
constexpr uint32_t eoKeepHorzOffset = 1u << 2;    // a wrap-mode change keeps LeftX
constexpr uint32_t eoNoZoomScaling = 1u << 3;     // resolutions are not scaled by the zoom
constexpr uint32_t eoNoCursorMoves = 1u << 4;
constexpr uint32_t eoNoScrolling = 1u << 5;
constexpr uint32_t eoNoScrollDC = 1u << 6;        // scrolling always repaints
constexpr uint32_t eoHiddenShown = 1u << 9;       // hidden text counts as shown
constexpr uint32_t eoSuspended = 1u << 10;        // formatting suspended
constexpr uint32_t eoPaintAllLines = 1u << 14;
constexpr uint32_t eoWhiteFills = 1u << 15;
constexpr uint32_t eoNoAreaFills = 1u << 16;
constexpr uint32_t eoNoLengthCheck = 1u << 20;
constexpr uint32_t eoNoBackground = 1u << 24;
constexpr uint32_t eoNoShading = 1u << 25;

// Change kinds of the change notification (ChangeFlags).
constexpr uint32_t rtchCharAttr = 1, rtchParAttr = 2, rtchCursor = 4, rtchHorzScroll = 8, rtchAll = 255;
// The message the change notification posts to the owner control.
constexpr int32_t WM_RTCHANGE = 1024 + 5;

// Scroll-bar codes of VScroll and HScroll.
constexpr int32_t SB_LINEUP = 0, SB_LINEDOWN = 1, SB_PAGEUP = 2, SB_PAGEDOWN = 3, SB_THUMBPOSITION = 4,
                  SB_THUMBTRACK = 5, SB_TOP = 6, SB_BOTTOM = 7;
constexpr int32_t SB_LINELEFT = 0, SB_LINERIGHT = 1, SB_PAGELEFT = 2, SB_PAGERIGHT = 3, SB_LEFT = 6,
                  SB_RIGHT = 7;

// Device technology of a canvas.
constexpr int32_t DT_RASDISPLAY = 1, DT_RASPRINTER = 2;
// Mapping modes.
constexpr int32_t MM_TEXT = 1, MM_ANISOTROPIC = 7;

// Globals of the engine unit, set up once when the unit starts (a use counter
// lets every module that uses the unit start and end it).
extern std::unique_ptr<TBitmap> RtEngineIcons;   // the anchor and object icons, each 10 x 16
extern int32_t RtAnchorIconWidth;                // pixels at 96 dpi
extern int32_t RtAnchorIconHeight;
extern AnsiString RtEngineVersion;               // "4.09"
extern int32_t RtEngineVersionNr;                // 307
// The characters drawn and measured for the field start and end markers (RtFieldStart,
// RtFieldEnd) in insert points; 0 keeps the marker itself.
extern std::array<uint8_t, 2> RtInsertPointDisplay;
uint8_t RtInsertPointChar(uint8_t Ch);
void RtEngineUnitStart();
void RtEngineUnitEnd();
int32_t RtEngineUnitUses();

// The lead bytes of a double-byte charset; RtLeadTableOf gives null for a single-byte one.
using TRtLeadTable = std::array<bool, 256>;
const TRtLeadTable* RtLeadTableOf(int32_t Charset);

// The widths and metrics of one font look at one layout resolution.
struct TRtWidthTable {
    std::array<int32_t, 256> Widths{};
    int32_t LineHeight = 0;   // height plus external leading
    int32_t Ascent = 0;       // ascent plus external leading
    int32_t FontHeight = 0;   // em height the font was made with
    int32_t Charset = -1;
    int32_t Resolution = 0;
    int32_t RefResolution = 0;  // resolution of the reference printer measured at, 0 = none
    // Key.
    uint8_t Font = 0;
    uint8_t Size = 0;
    uint32_t Style = 0;       // WrtStyle bits masked with RtWidthStyleMask
    AnsiString FontName;      // the slot's name when the table was made
    uint32_t Stamp = 0;       // lookup counter at the last use
    bool Dirty = false;
    bool Measuring = false;   // being built: the measure hook may look up others meanwhile
    // How the widths were measured, for the pairs of double-byte charsets measured on first use.
    QRawFont Face;            // the font's face at its em square
    double Scale = 0;         // device pixels per unit of the face
    int32_t RefX = 0;         // the reference printer's x resolution, 0 = measured on the layout
    int32_t LayoutX = 0;
    double WidthFactor = 1;   // of an attached font mapper
    std::unordered_map<uint16_t, int32_t> PairWidths;   // lead << 8 | trail: width of the pair
    // The layout width of an advance in units of the face.
    int32_t LayoutWidth(double Advance) const;
};
// The style bits that change a font look's widths.
constexpr uint32_t RtWidthStyleMask = 0xCFF081FF;

// One cached page background.
class TRtPageBackgroundBuffer : public TObject {
public:
    LUMI_CLASSNAME(TRtPageBackgroundBuffer)
    std::unique_ptr<TBitmap> Bitmap;
    int32_t LastUse = 0;
    int32_t FirstPage = 0;    // page index + 1; 0 = free
    int32_t LastPage = 0;
    bool NeedsPaint = false;
    // The bitmap holds black and white only (reduced after each painting).
    bool Monochrome = false;
};

// The mapping a canvas gets for zoomed or fixed-resolution painting: layout
// units in the window extent cover the viewport extent in device pixels.
struct TRtMapMode {
    int32_t Mode = MM_TEXT;
    TSize WindowExt;
    TSize ViewportExt;
};

class TRtRTFTextPaint;
class TRtFont;
class TRtObjectField;

using TRtMeasureCharEvent = std::function<void(TRtRTFTextPaint* Sender, const TAttr& Attr, int32_t& Charset,
                                               int32_t& LineHeight, int32_t& Ascent,
                                               std::array<int32_t, 256>& Widths)>;
// Fills the offsets of the hyphenation points of Word (after which it may break).
using TRtHyphenateEvent = std::function<void(TObject* Sender, const AnsiString& Word, std::vector<int32_t>& Positions)>;
using TRtPaintPageEvent = std::function<void(TObject* Sender, TCanvas* Canvas, const TRect& R, int32_t XRes,
                                             int32_t YRes, int32_t PageIndex, TParagraph* Par, TLine* Line,
                                             TRtPageBackgroundBuffer* Buffer)>;
using TRtGetAttrColorEvent = std::function<void(TObject* Sender, WrtStyle CharStyle, TCanvas* Canvas, bool& Underline,
                                                bool& DoubleUnderline, bool& Background, bool HotStyleIsActive,
                                                TParagraph* Par, TLine* Line, int32_t Pos)>;
using TRtIsLeadByteEvent = std::function<bool(TObject* Sender, uint8_t Ch)>;
using TRtEngineEvent = std::function<void(TObject* Sender)>;
// Returns True when the window's text width changed.
using TRtVertScrolledEvent = std::function<bool(TObject* Sender)>;

class TRtRTFTextPaint : public TRtRTFTextIo {
public:
    LUMI_CLASSNAME(TRtRTFTextPaint)
    // AllocFlag: the work bitmap is made at once (else on first use).
    explicit TRtRTFTextPaint(bool AllocFlag = false);
    ~TRtRTFTextPaint() override;

    // ---- set-up, resolution and mapping ---------------------------------------------------
    void SetReferenceCanvas(TCanvas* Canvas);
    TCanvas* ReferenceCanvas() const { return referenceCanvas_; }
    void UpdateDeviceMetrics();
    void UpdateResolution();
    void SetResolution(int32_t ResX, int32_t ResY);
    void SelectMapMode(bool Force);
    void ApplyMapMode(TCanvas* Canvas);
    void ResetMapMode(TCanvas* Canvas);
    // The mapping last applied to a canvas (MM_TEXT when none).
    TRtMapMode MapModeOf(const TCanvas* Canvas) const;
    TColor GetPaperColor() const;
    virtual void UpdatePageMetrics(bool Repaint);
    void UpdateScreenMargins();
    // Twips to pixels of the layout resolution.
    int32_t TwipsToLayoutX(int32_t Twips) const { return MulDiv(Twips, Header()->LayoutXRes, 1440); }
    int32_t TwipsToLayoutY(int32_t Twips) const { return MulDiv(Twips, Header()->LayoutYRes, 1440); }
    void Clear() override;
    bool Suspended() const { return (EngineOptions & eoSuspended) != 0; }
    bool Displays() const { return (EngineOptions & eoNoDisplay) == 0; }

    // ---- page-background cache ---------------------------------------------------------------
    TRtPageBackgroundBuffer* GetPageBuffer(int32_t PageIndex);
    bool IsPageBufferValid(int32_t PageIndex) const;
    void InvalidatePageBuffer(int32_t PageIndex);
    void FreePageBuffers();
    void RenderPageBuffer(bool Force, int32_t PageIndex);
    const std::vector<std::unique_ptr<TRtPageBackgroundBuffer>>* PageBuffers() const { return pageBuffers_.get(); }
    // Paints the page background (picture) into R of Canvas; painting layer.
    virtual void PaintBackground(TCanvas* Canvas, const TRect& R) {}

    // ---- character fonts and width tables ------------------------------------------------------
    void SelectCharFont(const TAttr* Attr, TParagraph* Par, TLine* Line, int32_t Pos);
    TCharacterAttr* PickCharAttr(const TAttr& Attr) const;
    void UpdateCharWidths(const TAttr* Attr);
    void UpdateCharWidths() override { UpdateCharWidths(&CurrentAttr); }
    void SelectAttrFont(const TAttr& Attr) override { UpdateCharWidths(&Attr); }
    void GetFontMetrics(int32_t& Height, int32_t& Base) override;
    void MeasureAttr(TAttr& Attr, int32_t Ch) override;
    const TRtWidthTable* CurrentWidths() const { return currentTable_; }
    int32_t WidthTableCount() const { return int32_t(widthTables_.size()); }
    // Marks every cached table for rebuilding (fonts or resolution changed).
    void InvalidateWidthTables();
    // Public: measuring settings of the owner; the width-table tests read the counts.
    // How many tables were built from the font (not found in the cache).
    int32_t WidthTablesBuilt = 0;
    // The cache's size (tables of about 1 kB): a text's looks are measured once.
    int32_t MaxWidthTables = 4096;
    // Widths and line metrics come from the reference printer (RtRefPrinter) when it
    // has a context, measured at its resolution and scaled to the layout's.
    bool UseReferencePrinter = false;
    // An attached font mapper (the owner's): widths are measured on the canvas and
    // multiplied by WidthFactor when that is above 0 and not 1.
    TObject* FontMapper = nullptr;
    float WidthFactor = 1.0f;
    // Line heights and ascents scaled by LineHeightFactor.
    bool ScaleLineHeights = false;
    float LineHeightFactor = 1.0f;
    // Changes of the five settings above take effect after InvalidateWidthTables.
    // Text colours of DBCS lead and trail bytes while embedded or bookmark codes are shown.
    TColor DBCSLeadColor = clRed, DBCSTrailColor = clBlue;

    // Font state left by SelectCharFont for the painter (public: the width-table tests check it).
    bool FontUnderline = false, FontSub = false, FontSuper = false;
    int32_t FontHeightPx = 0;
    TColor DefaultTextColor = clWindowText;
    int32_t HighlightedStyleNr = -1;
    TParagraph* HotParagraph = nullptr;
    // The canvas fonts are selected into (the reference canvas when not set).
    TCanvas* Canvas = nullptr;
    TCanvas* PaintCanvas() const { return Canvas ? Canvas : referenceCanvas_; }
    TRtGetAttrColorEvent OnGetAttrColor;

    // ---- measuring and line breaking ------------------------------------------------------------
    void ComputeHiddenStyleMask();
    int32_t MeasureParagraph(TParagraph* Par);
    // Result: 0 unchanged, 1 lines changed (flagged), 2 a line's height changed, 3 the paragraph's height.
    int32_t BreakParagraph(TParagraph* Par, bool FullWrap);
    void WrapParagraph(TParagraph* Par) { BreakParagraph(Par, true); }
    // The DBCS lead-byte test: the test mode, the owner's OnIsLeadByte, the lead-byte table
    // of the font's charset (none for single-byte charsets).
    void IsLeadByte(uint8_t Ch, const TAttr* Attr, const TRtLeadTable* LeadTable, bool& IsLead);
    bool IsLeadByte(uint8_t Ch, const TAttr* Attr);
    // The lead and trail marks of Line's double-byte pairs, from each character's font charset.
    void MarkDBCSPairs(TLine* Line);
    int32_t TextWidth(const TAttr* Attr, const AnsiString& Text);
    int32_t MarkBookmarkRanges(TParagraph* Par, int32_t Count);
    // Every object character of Par (of every paragraph when null) records its
    // paragraph, line, index and x from its line's start in its reference; lines
    // holding one get linfHasObject.
    void UpdateObjectPositions(TParagraph* Par = nullptr);
    // Set by a caller that places the cursor and the selection itself: line breaking
    // then puts the marks of the broken paragraph at its start and reports no changes.
    bool CursorTrackingOff = false;
    // Measures the field objects of a paragraph again (of Line only when given).
    void UpdateFieldWidths(TParagraph* Par, TLine* Line);
    // The width of a paragraph's numbering on its first line (painting layer).
    virtual int32_t GetNumberWidth(TParagraph* Par, TLine* Line) { return 0; }

    // ---- formatting passes ----------------------------------------------------------------------------
    void UpdateAfterChange(bool Remeasure) override;
    void UpdateLayout() override;
    void FormatAll(bool Remeasure);
    void ReformatAll() override;
    int32_t ReformatText(TParagraph* Chain) override;
    void FormatHeadersFooters();
    int32_t FormatParagraphChain(TParagraph* FirstPar);
    void InvalidateVisibleParagraphs();
    bool CheckMaxLength(int32_t Key, int32_t Count);
    // Checks the edit-box modes after formatting (edit-box layer).
    virtual void CheckEditBox() {}
    // Spell checks a paragraph's words as they are typed (input layer); True
    // when a misspelling mark changed.
    virtual bool SpellCheckParagraph(TParagraph* /*Par*/, bool /*Force*/) { return false; }

    // ---- position geometry and table columns ----------------------------------------------------------
    bool FindLineAtPosition(TParagraph*& Par, TLine*& Line, int32_t X, int32_t Y);
    // GetLineTop and GetCharScreenX are kept for hosts of the editor; nothing here calls them.
    static int32_t GetLineTop(const TLine* Line) { return Line ? Line->Top : 0; }
    int32_t GetCharX(TParagraph* Par, TLine* Line, int32_t Pos);
    int32_t GetCharScreenX(TParagraph* Par, TLine* Line, int32_t Pos) { return DocToScreen(GetCharX(Par, Line, Pos)); }
    int32_t GetCharIndexAtX(TParagraph* Par, TLine* Line, int32_t X);
    int32_t GetLineFreeSpace(TParagraph* Par, TLine* Line);
    int32_t GetLineTextWidth(TParagraph* Par, TLine* Line);
    int32_t GetHeightToPageStart(TParagraph* Par, TLine* Line, bool WithOffset);
    void SelectTableColumn(TParagraph* Par);
    void SelectTableRows(TParagraph* Par, int32_t Count);
    int32_t MoveCellBorder(TParagraph* Par, int32_t NewX, bool AllRows);
    bool BalanceCellBorder(TParagraph* Par, int32_t Delta);

    // ---- scrolling, caret, selection and change notification ------------------------------------------
    void NotifyChange(uint32_t Flags);
    void NotifySelectionChange() { NotifyChange(rtchCursor); }
    void VScroll(int32_t Code, int32_t Pos);
    void HScroll(int32_t Code, int32_t Pos);
    void ScrollDown(int32_t Dy);
    void ScrollUp(int32_t Dy);
    void ScrollRight(int32_t Dx);
    void ScrollLeft(int32_t Dx);
    void ShowCursor() override;
    void UpdateCaretMetrics();
    void UpdateCaret();
    // Fires OnYPosChanged and OnXPosChanged when the caret's y or x differs from the last reported.
    void ReportCaretPosition();
    virtual bool MoveCursorToPoint(int32_t X, int32_t Y, bool KeepVisible, bool DeselectObject);
    void SetCaretRect(TParagraph* Par, TLine* Line, int32_t Kind, int32_t Pos);
    void SkipHiddenAtCursor();
    bool GetSelection(int32_t& Start, int32_t& Length);
    void SetSelStart(int32_t Start);
    void SetSelLength(int32_t Length);
    void SetSelection(int32_t Start, int32_t Length);
    void SetCurrentAttr(const TAttr& Attr) override { SetCurrentAttr(Attr, 0x01 | 0x02 | 0x10 | 0x20 | 0x80); }
    // Mask: 1 font, 2 size, 16 text colour, 32 background colour, 64 add styles, 128 set styles, 0x400 remove styles.
    void SetCurrentAttr(const TAttr& Attr, uint32_t Mask);
    void ChangeStyle(WrtStyle Style, int32_t Mode);
    void SetCharAttr(TLine* Line, int32_t Pos, const TAttr& Attr) override;
    // Moves the object frame with a scroll (input layer).
    virtual void ScrollObjectFrame(int32_t Dx, int32_t Dy) {}
    // Places the visible window controls of embedded objects over their objects again.
    void UpdateEmbeddedControls();
    // Repaints a rectangle of the text area, window pixels (painting layer).
    virtual void PaintRect(const TRect& R) {}

    // The surface the engine paints into: window pixels of the text area.
    QImage& Surface() { return surface_; }
    void SetSurfaceSize(int32_t Width, int32_t Height);
    // Shifts the surface's pixels inside Clip by (Dx, Dy); the uncovered band keeps its old pixels.
    void ScrollSurface(int32_t Dx, int32_t Dy, const TRect& Clip);
    // The surface pixels painted since the last call: what the window must copy again.
    QRegion TakeSurfaceDirty() { return std::exchange(surfaceDirty_, QRegion()); }
    void MarkSurfaceDirty(const QRect& R) { surfaceDirty_ += R & surface_.rect(); }

    // ---- fields ------------------------------------------------------------------------------------------
    // Public: the edit control wires the caret, scroll and change hooks and reads ChangeFlags
    // and TextHeight; the others are display settings of the owner.
    TParagraph* LastStyleParagraph = nullptr;
    uint8_t HeaderFooterPass = 0;
    bool CursorWordPending = false;
    bool PageBuffersActive = false;
    bool MonochromePageBuffers = false;
    TRtPaintPageEvent OnPaintPage;
    bool CursorLineToTop = false;
    TColor GapColor = clBtnShadow;
    bool NoVertScroll = false;
    bool PostEveryChange = false;
    bool TextFlowPending = false;
    TColor HighlightColor = clHighlight, HighlightTextColor = clHighlightText;
    TRtMeasureCharEvent OnMeasureChar;
    TRtEngineEvent OnHideCaret, OnShowCaret, OnCaretMoved, OnHorzScrolled;
    TRtVertScrolledEvent OnVertScrolled;
    TRtHyphenateEvent OnHyphenate;
    int32_t TextHeight = 0;
    bool EditBoxCheckRequested = false;
    bool MarginsChanging = false;
    uint32_t ChangeFlags = 0;
    // Posts the change message (WM_RTCHANGE) to the owner control's window.
    std::function<void()> OnPostChange;
    // Further view state of the owner, set by the edit control.
    bool PageView = false;              // the page-view flag
    bool ShowLeftMargin = false;
    int32_t GapWidth = 0;               // gap left of the text, window pixels
    int32_t LeftScreenOffset = 0, RightScreenOffset = 0;
    int32_t WrapWidth = 0;
    std::function<void()> OnLayoutChanged;  // the owner control's layout-changed operation
    std::unique_ptr<TRtFont> CurrentFont;   // bound to this engine
    // SelectMapMode leaves the mapping alone: for the zoom and the fixed-resolution mode,
    // or for the zoom only.
    bool SuppressMapMode = false, SuppressZoomMapMode = false;
    bool ShowRightMargin = false;
    int32_t GapWidth2 = 0;              // gap right of the text, window pixels
    // The owner's text rectangle in layout units (UpdateScreenMargins); set when it has a left or top margin.
    TRect ScreenMargins;
    bool HasScreenMargins = false;
    // The owner's test whether a byte is a DBCS lead byte (instead of the font's charset).
    TRtIsLeadByteEvent OnIsLeadByte;
    // Told of every font selection (SelectCharFont).
    TNotifyEvent OnFontChanged;
    // Caret width in window pixels; 0 or less: 1.
    int32_t CaretWidthSetting = 0;
    // In the fixed-resolution mode the text is formatted at zoom 100.
    bool FormatAtZoom100 = false;
    // The caret position last reported through OnYPosChanged and OnXPosChanged (Sender: the owner control).
    int32_t LastYPos = 0, LastXPos = 0;
    TNotifyEvent OnYPosChanged, OnXPosChanged;
    // GetDeviceCaps(TECHNOLOGY) of the reference canvas, and its resolution at the zoom.
    int32_t DeviceTechnology = DT_RASDISPLAY;
    int32_t EffectiveResolution = 96;
    // A caret rectangle for an object drop (layout units of the window).
    TRect CaretRect;
    bool CaretRectValid = false;
    int32_t CaretRectKind = 0;
    // Set while a scroll runs, and while a vertical one does.
    bool ScrollingVertically = false;
    bool ScrollBusy = false;
    // Set by the vertical scroll operations, cleared by Refresh.
    bool RefreshPending = false;
    // Set while Refresh runs and while a vertical scroll does: no first object pass meanwhile.
    bool InRefresh = false;
    // The text the window was last painted from (EditedHeaderFooterId: 0 the body, else the
    // header or footer edited in the body's place).
    uint32_t PaintedTextId = 0;
    // The attribute of the embedded object being measured (null otherwise).
    TAttr* ObjectAttr = nullptr;
    // The background tile is scaled by the zoom (set whenever a page buffer is used).
    bool ScaleBackground = false;
    // The engine's bitmap for painting, made on first use.
    TBitmap& WorkBitmap();
    bool HasWorkBitmap() const { return workBitmap_ != nullptr; }

protected:
    // The x where a line's first character starts: indents, numbering, border and alignment.
    int32_t LineStartX(TParagraph* Par, TLine* Line);

private:
    int32_t CharWidth(uint8_t Ch) const { return currentTable_ ? currentTable_->Widths[Ch] : 0; }
    void MeasureObject(TParagraph* Par, TLine* Line, int32_t Index, int32_t& OpenBookmarks, bool& EndCodeSeen);
    void MeasureDBCSPair(TAttr& Lead, TAttr& Trail, uint8_t LeadCh, uint8_t TrailCh);
    // The width of a lead and a trail byte drawn together, from the current width table.
    int32_t PairWidth(uint8_t LeadCh, uint8_t TrailCh);
    // A field's width: its natural width, or its text's when that is negative.
    int32_t FieldWidth(TRtObjectField* Field, const TAttr& Attr);
    void BuildWidthTable(TRtWidthTable& Table, const TAttr& Attr);
    // The steps of SelectCharFont. SelectAttrColours sets the brush and returns the text colour;
    // SelectFontEffects sets the underline, sub/superscript and misspelling state, the size
    // measured into Sized, and returns the font style.
    TColor SelectAttrColours(const TAttr& Attr, TCharacterAttr* Set);
    void SelectFontFace(const TAttr& Attr);
    TFontStyles SelectFontEffects(const TAttr& Attr, const TParagraph* Par, TCharacterAttr* Set, TAttr& Sized);
    // The steps of MeasureParagraph. MeasureLineRuns measures a line run by run (one font, size
    // and style), MeasureRun the characters of one with its table current (False at a line end).
    struct TMeasureState;
    void MeasureLineRuns(TMeasureState& S, TLine* Line, bool OneAttr);
    bool MeasureRun(TMeasureState& S, TLine* Line, int32_t From, int32_t To);
    void MarkBookmarkAndDBCS(TMeasureState& S, TLine* Line, int32_t Index);
    // The line's height and base from its characters' (an empty line's from its font).
    void SetMeasuredLineHeight(TParagraph* Par, TLine* Line, int32_t Height, int32_t Base);
    // The em height in pixels at Resolution (the layout's when 0).
    int32_t FontPixelHeight(const TAttr& Attr, bool ForSubSuper, int32_t Resolution = 0) const;
    // The y resolution widths are measured at on the reference printer; 0 = on the layout itself.
    int32_t ReferenceResolutionY() const;
    void ApplyAttrToLine(TLine* Line, int32_t From, int32_t To, const TAttr& Attr, uint32_t Mask);
    int32_t ScreenHeightOf(int32_t Height) const;
    // UpdateLayout's work once the locks let it run (LayoutUpdating is set).
    void UpdateLayoutUnlocked();
    bool ScrollDCAllowed() const;
    void ShowVertScroll(int32_t Dy, bool Down);
    // The steps of BreakParagraph.
    struct TBreakContext;
    struct TLineFit;
    void FlattenParagraph(TBreakContext& C);
    void BreakIntoLines(TBreakContext& C);
    TLineFit FitLine(TBreakContext& C, int32_t Pos, int32_t Start, int64_t Limit, int32_t KeepCount);
    int32_t ChooseLineBreak(const TBreakContext& C, int32_t Pos, const TLineFit& Fit, bool& Hyphenated);
    TLine* BuildLineRecords(const TBreakContext& C, TLine* OldFirst);
    void PlaceMarksOnNewLines(const TBreakContext& C, TLine* OldFirst, TLine* NewFirst);
    void StackNewLines(TParagraph* Par, int32_t Top);

    TCanvas* referenceCanvas_ = nullptr;
    std::unique_ptr<std::vector<std::unique_ptr<TRtPageBackgroundBuffer>>> pageBuffers_;
    // The width tables by font look, the least recently used replaced when full.
    using TWidthKey = std::tuple<uint8_t, uint8_t, uint32_t, int32_t, int32_t, AnsiString>;
    std::map<TWidthKey, TRtWidthTable> widthTables_;
    TRtWidthTable* currentTable_ = nullptr;
    std::vector<std::pair<const TCanvas*, TRtMapMode>> mapModes_;
    QImage surface_;
    QRegion surfaceDirty_;
    WrtStyle HiddenStyleMask;
    int32_t PageBufferClock = 0;
    int32_t MaxPageBuffers = 3;
    bool NoHorzScroll = false;
    // A selection by absolute position waiting for its start or its length.
    bool SelStartGiven = false, SelLengthGiven = false;
    int32_t SelStartValue = 0, SelLengthValue = 0;
    int32_t WrapWidthScreen = 0;
    std::unique_ptr<TBitmap> workBitmap_;

protected:
    // Working state and switches of the text's own operations.
    bool KeepEuroWidth = false;     // code 128 keeps its own width instead of that of "C"
    bool FontMisSpelled = false, AttrBackgroundUsed = false, HotStyleActive = false;
    TColor FillColor = clNone;          // fixed fill colour of solid backgrounds, clNone: paper
    bool PaintingNumber = false;
    bool PaintingField = false;         // a field's text: FieldObjectTextAttr is its attribute set
    bool PlainColorMode = false;
    bool ForceFontReset = false;
    bool PostPending = false;
    TCanvas* TargetCanvas = nullptr;    // alternative target of the mapping mode
    TRect TextRectPx;                   // the owner's text rectangle (margins), window pixels
    int32_t MaxLineChars = 0;           // characters per line, 0 = no limit
    bool InsertPointsHidden = false;    // the text hides insert points
    bool AutomaticTextHidden = false;
    bool FormatAllRunning = false;
    // Font state left by SelectCharFont for the painter.
    bool FontDoubleUnderline = false;
    TRtTextEffect HotEffect = rteffNone;
    TColor HotEffectColor = 0;
    TColor UnderlineColor = 0;
    int32_t LastLayoutWidth = 0;
    bool SkipWordAtCursor = false;
    bool EditBoxResizing = false;
    bool RenderingPageBuffer = false;
    bool PaintLocked = false;
    bool CheckHyperlinkWords = false;
    bool SpellCheckPaused = false;
    bool Measuring = false;
};
