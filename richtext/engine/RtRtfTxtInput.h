#pragma once
// TRtRTFTextInput: the last class of the editor engine. It adds what a user
// needs to work on the text with keys and mouse: the cursor commands, the
// selection, editing at the cursor, the edit-box modes, spell checking as
// you type, the painting of the visible area and the embedded-object
// environment.
#include "RtRtfTxtPaint.h"
#include "RtSpellCheck.h"

#include <QImage>
#include <QRegion>

#include <functional>
#include <memory>
#include <vector>

class QPainter;

class TRtObjectEnv;
class TRtRTFTextInput;

// Cursor-command codes of MoveCursor.
enum TRtCursorCommand : uint8_t {
    ccLineStart, ccLineEnd, ccPageUp, ccPageDown, ccTextStart, ccTextEnd, ccLeft, ccRight, ccUp, ccDown,
    ccWordLeft, ccWordRight, ccWindowTop, ccWindowBottom, ccSelectionEnd, ccSelectionStart, ccFieldStart,
    ccFieldEnd
};

// Edit results of InsertCharsAtCursor: what the control repaints.
enum TRtEditResult : uint8_t { erNothing, erLines, erParagraph, erLayout };

// Caret x values that put the cursor at the end of the target line.
constexpr int32_t RtCaretXEnd = 0x7FFFFFFF;

// Mask bits of ChangeSelParAttr.
constexpr uint32_t pamIndentLeft = 0x1, pamIndentRight = 0x2, pamIndentFirst = 0x4, pamSpaceBefore = 0x8,
                   pamMultSpaceBetween = 0x10, pamSpaceBetween = 0x20, pamSpaceAfter = 0x40,
                   pamTabStops = 0x400, pamAlignment = 0x800, pamVertAlignment = 0x1000, pamParColor = 0x2000,
                   pamParShading = 0x4000, pamNumberStyle = 0x10000, pamNumberLevel = 0x20000,
                   pamNextLevel = 0x40000, pamPriorLevel = 0x80000, pamOutlineUp = 0x100000,
                   pamOutlineDown = 0x200000, pamParId = 0x400000, pamParKeep = 0x4000000,
                   pamParKeepNext = 0x8000000, pamParProtect = 0x10000000, pamStyleName = 0x20000000;

// The values of ChangeSelParAttr, selected by the mask.
struct TRtParAttrValues {
    int32_t IndentLeft = 0, IndentRight = 0, IndentFirst = 0;
    int32_t SpaceBefore = 0, SpaceBetween = 0, SpaceAfter = 0;
    bool MultSpaceBetween = false;
    uint8_t Alignment = paralLeft;
    uint8_t VertAlignment = paralVertTop;
    uint8_t ParColor = 0;
    uint8_t ParShading = 0;
    int32_t NumberStyle = 0;
    int32_t NumberLevel = 0;
    uint32_t ParId = 0;
    bool ParKeep = false, ParKeepNext = false, ParProtect = false;
    int32_t StyleIndex = 0;   // the paragraph style (index + 1); 0 none
};

// The values of SetCellProperties, selected by the mask (1 name, 2 command, 4 format number).
struct TRtCellValues {
    AnsiString Name;
    AnsiString Command;
    int32_t FormatNr = 0;
};

// Where a move in edit-field mode returns to when it leaves every field.
struct TRtFieldReturn {
    TParagraph* Par = nullptr;
    TLine* Line = nullptr;
    int32_t Pos = 0;
    bool Forward = false;
    bool SearchOnFail = false;
};

using TRtParagraphEvent = std::function<void(TObject* Sender, TParagraph* Par)>;
// The cursor went beyond the box: NextBox names the box to continue in.
using TRtCursorLeavesBoxEvent =
    std::function<void(TObject* Sender, bool Up, TRtRTFTextInput*& NextBox, uint8_t Ch)>;
using TRtChangeBoxEvent =
    std::function<void(TObject* Sender, int32_t& NewWidth, int32_t& NewHeight, bool& Change)>;
using TRtFlowTextOutOfBox = std::function<void(TObject* Sender, TStream* Stream)>;
using TRtFlowTextIntoBox = std::function<void(TObject* Sender, TRtRTFTextInput*& Source)>;
using TRtHotStyleEvent = std::function<void(TObject* Sender, TParagraph* Par, int32_t HotIndex)>;
using TRtObjectMoveEvent = std::function<void(TObject* Sender, TTextObj* Entry, int32_t X, int32_t Y)>;
using TRtObjectDropEvent = std::function<void(TObject* Sender, TTextObj* Entry)>;
using TRtObjectEditEvent = std::function<void(TObject* Sender, TTextObj* Entry, bool Changed)>;
using TRtGetPageGapTextEvent = std::function<void(TObject* Sender, int32_t PageNr, AnsiString& Text)>;

// Layout view flags (LayoutFlags): the words of the layout modes rtlayNormal, rtlayPageGap,
// rtlayLayout, rtlayFullLayout and rtlayShowManualPageBreaks, and the bits painting reads.
constexpr uint16_t RtLayoutModeFlags[] = {0, 64, 143, 191, 320};
constexpr uint16_t lfPageGap = 64, lfPageLayoutView = 2;

// Area flags of a line paint record.
constexpr uint16_t afText = 1, afParLeft = 2, afParRight = 4, afMarginLeft = 8, afMarginRight = 16,
                   afSpaceBefore = 32, afSpaceAfter = 64, afDeskLeft = 128, afDeskRight = 256, afGapAbove = 512,
                   afGapBelow = 1024, afShading = 2048, afFooter = 8192;

// What the line painter paints of one line (layout units after scroll).
struct TRtLinePaintRecord {
    TParagraph* Par = nullptr;
    TLine* Line = nullptr;
    int32_t LeftX = 0, RightX = 0;     // the paragraph's outer edges
    int32_t PageLeft = 0, PageRight = 0;  // the page's edges in the page-layout view
    TRect Text;                         // text area after indents
    int32_t AlignOffset = 0;
    int32_t RunStart = 0;               // x of the first character
    int32_t Baseline = 0;
    TRect ParLeft, ParRight, MarginLeft, MarginRight, SpaceBefore, SpaceAfter, GapAbove, GapBelow, DeskLeft,
        DeskRight;
    uint16_t AreaFlags = afText | afParLeft | afParRight;
    uint8_t GapKind = 0;
    TColor Shading = 0;
    bool WholeSelected = false, PartSelected = false, ExtendsPastEnd = false;
    int32_t SelFrom = 0, SelTo = 0;
    bool Grey = false;
    TParagraph* CellAbove = nullptr;
    TParagraph* CellBelow = nullptr;
    bool RowBelowNewPage = false;
    TAttr* Attrs = nullptr;
    std::vector<TAttr> TempAttrs;
    AnsiString NumberText, NumberFont;
    int32_t PageNr = 0;
};

class TRtRTFTextInput : public TRtRTFTextPaint {
public:
    LUMI_CLASSNAME(TRtRTFTextInput)
    // AllocFlag: the work bitmap (the double buffer of floating objects) is made at once.
    explicit TRtRTFTextInput(bool AllocFlag = false);
    ~TRtRTFTextInput() override;

    // ---- overridden operations of the lower classes ------------------------------------------
    void Assign(TRtRTFTextIo& Source);
    void Clear() override;
    int32_t DeleteSelection() override { return DeleteSelection(false) ? 1 : 0; }
    void LoadWithReader(TStream* Stream, TRtCustomTextReader* Reader) override;
    void SetCursorAbsPos(int32_t AbsPos, int32_t LineNr = 0, int32_t Column0 = 0, int32_t ParNr = -1) override;
    // Places the cursor at a window point; Select extends the selection.
    bool MoveCursorToPoint(int32_t X, int32_t Y, bool Select, bool Repaint) override;
    void ScrollObjectFrame(int32_t Dx, int32_t Dy) override;
    void CheckEditBox() override;
    void ShowObjectFrame(TTextObj* Entry);

    // ---- cursor commands ------------------------------------------------------------------------
    void MoveCursor(uint8_t Code, bool Select);
    void MoveUp(int32_t Count, bool Select, bool Repaint, bool CellMove);
    void MoveDown(int32_t Count, bool Select, bool Repaint, bool CellMove);
    void MoveLeft(int32_t Count, bool Select, bool Repaint);
    void MoveRight(int32_t Count, bool Select, bool Repaint);
    void MoveWordLeft(int32_t Count, bool Select, bool Repaint);
    void MoveWordRight(int32_t Count, bool Select, bool Repaint);
    void SetSelectionPoint(TParagraph* Par, TLine* Line, int32_t Pos, bool Extend, bool Repaint);
    // Sets the selection flags of the lines from the selection ends.
    void MarkSelectedLines(bool Repaint);
    // Drops the selection (line marks and marked cells).
    void ClearSelection(bool Repaint);
    bool HasCompleteSelection() const { return SelStartPar && SelEndPar; }
    void NotifyCursorMove();
    int32_t GetMarkerStateAt(TParagraph* Par, TLine* Line, int32_t Pos);
    bool IsInEditField();
    void UpdateHotStyle(TParagraph* Par, TLine* Line, int32_t Pos);
    // Activates this engine as the next box of a chain, the cursor at its start.
    void ActivateAsNextBox(TRtRTFTextInput* From, int32_t Mode);

    // ---- engine properties --------------------------------------------------------------------
    void SetVisibleHeightUnits(int32_t Value);
    int32_t SetVisibleHeight(int32_t Pixels);
    void SetVisibleWidthUnits(int32_t Value);
    void SetVisibleWidth(int32_t Pixels);
    void SetResizing(int32_t Value);
    void SetWordWrap(bool Value);
    void SetZooming(int32_t Value);
    void SetScreenResMode(TRtScreenResMode Mode);
    void SetEngineOptions(uint32_t Value);

    // ---- editing at the cursor ---------------------------------------------------------------------
    void InsertText(const AnsiString& Text);
    void InsertTextAndPaint(const AnsiString& Text, bool Repaint);
    TRtEditResult InsertCharsAtCursor(const AnsiString& Text);
    bool DeleteSelection(bool DeleteExtraSpace);
    bool DeleteChars(int32_t Count);
    void ApplyFontToAttr(const TRtFont& Font);
    bool ChangeSelCharAttr(const TAttr& Attr, uint32_t Mask);
    bool ChangeSelParAttr(const TRtParAttrValues& Values, const uint64_t* Tabs, uint32_t Mask);
    void SetCellProperties(const TRtCellValues& Values, uint32_t Mask);
    // Gives the selected paragraphs (or the cursor's) the properties and the
    // character attributes the style sets, with an undo record.
    void ApplyParStyle(const TRtParStyle& Style);
    // The number the cursor paragraph's numbering starts at (0: continues), with an undo record.
    void SetNumberStart(int32_t Value);
    void ChangeParTabMask(uint64_t Mask, bool ClearTabs);
    void SetPageLayout(int32_t LeftMargin, int32_t RightMargin, int32_t TopMargin, int32_t BottomMargin,
                       int32_t PageWidth, int32_t PageHeight);
    int32_t InsertInsertpoint(uint8_t MarkerChar, const AnsiString& Text, const AnsiString& Name, int32_t Kind,
                              const AnsiString& Str1, const AnsiString& Str2);

    // ---- spell checking as you type ---------------------------------------------------------------
    bool SpellCheckParagraph(TParagraph* Par, bool Force) override;
    void RecheckCursorWord(bool Force);

    // ---- painting the visible area and the object layer -----------------------------------------------
    void PaintRect(const TRect& R) override;
    void PaintRect(TCanvas* Canvas, int32_t X, int32_t Y, int32_t W, int32_t H);
    void PaintArea(TCanvas* Canvas, int32_t X, int32_t Y, int32_t W, int32_t H);
    void PaintBackground(TCanvas* Canvas, const TRect& R) override { PaintPageBackground(Canvas, R); }
    bool PaintBackground(TCanvas* Canvas, const TRect& R, TLine* PageLine, int32_t Page, int32_t DX, int32_t DY);
    // The background of the page being painted (PaintPageLine) into R.
    bool PaintPageBackground(TCanvas* Canvas, const TRect& R);
    bool HasBackground() const;
    void PaintObjects(QRegion* Region, int32_t Pass) { PaintObjectLayer(Region, Pass); }
    void PaintObjectLayer(QRegion* Region, int32_t Pass);
    void PaintObjectAt(TTextObj* Ref, TCanvas* Canvas, const TRect& R, int32_t W, int32_t H);
    void PaintObjectBuffered(TTextObj* Ref, const TRect& R);
    bool CalcObjectScreenRect(TRtObjectBase* Obj) override;
    bool CalcObjectRect(TRtObjectBase* Obj) override;
    void RepaintObject(TRtObjectBase* Obj) override;
    void PaintWindow();
    void Refresh() override;
    void ResetView(int32_t Mode) override;
    void GetParName(TParagraph* Par, AnsiString& Text) const { Text = Par ? Par->TextField : AnsiString(); }
    // Paints one line now (window pixels), when it is visible.
    void RepaintLine(TParagraph* Par, TLine* Line);

    // ---- painting one line ------------------------------------------------------------------------------
    void PaintLine(TLine* Line, TParagraph* Par);
    void PaintContent(TRtLinePaintRecord& Rec);
    void CalcLineRects(TRtLinePaintRecord& Rec, TLine* Line, TParagraph* Par, int32_t Y);
    void GetParPlainText(TParagraph* Par, AnsiString& Text);
    int32_t GetNumberWidth(TParagraph* Par, TLine* Line) override;

    // ---- borders, shading, cells, header and footer ------------------------------------------------------
    void DrawBorderSide(TRtLinePaintRecord& Rec, int32_t Side, bool Draw, TColor Colour, bool Second);
    void SelectRunBackground(TRtLinePaintRecord& Rec, const TAttr* Attr, bool Selected);
    void FillArea(TCanvas* Canvas, const TRect& R);
    void DrawTextAt(TCanvas* Canvas, int32_t X, const AnsiString& Text, const TRect& R, int32_t Baseline);
    void PaintHeaderFooter(TLine* Line, TRtLinePaintRecord& Rec, bool IsHeader);
    // True when the gap beside Line shows the page's header (IsHeader) or footer.
    bool ShowsSpecialText(TParagraph* Par, TLine* Line, bool IsHeader) const;
    // Paints again the lines whose gaps show the header or footer edited in the body's place.
    void RepaintEditedSpecialCopies();
    // Paints the lines of a header or footer text from (X, Y) down; Grey as in the page gap.
    void PaintSpecialText(TRtSpecialTextProperty* Item, int32_t X, int32_t Y, int32_t Page, bool Grey);

    // The label of a page gap without the owner's OnGetPageGapText: " " and the page number (from 1),
    // nothing when page numbers are off.
    AnsiString DefaultPageGapText(int32_t PageNr) const;
    // The height of one page with its gap in the page-layout view, layout units.
    int32_t PageViewPitch() const;

    // ---- edit-box modes ------------------------------------------------------------------------------
    void UpdateEditBoxMode();
    // Hands over the first whole paragraphs of the text that fit into Free
    // window pixels as plain text, and removes them. Result: bytes written.
    int32_t HandOverText(int32_t Free, TStream* Stream);

    // ---- painting state ------------------------------------------------------------------------------
    // Public: the edit control and the printer set the painting target and options.
    bool BackgroundScrolling = true;
    bool Transparent = false;
    QImage BackgroundPicture;                 // tiled behind the text; null: none
    bool ObjectsPainted = false;
    bool NeedsObjectPass = true;
    std::vector<TTextObj*> ObjectsToPlace;
    TRtPrintOptions PrintOptions;
    // The page-layout view shows the header texts above each page's first line and the footer
    // texts at each page's end; the compact view shows neither. Each takes effect with the next paint.
    bool HeadersInGap = true, FootersInGap = true;
    bool CompactView = false;
    // PaintArea ends by filling its whole rectangle with the current brush.
    bool BlankAreaMark = false;
    // PaintLine paints nothing (set around one key operation of the control).
    bool SkipLinePaint = false;
    // Runs are written in the font's own advances (set while printing page ranges).
    bool SimpleTextOutput = false;
    TNotifyEvent OnRefresh;                   // the owner's refresh hook
    // The owner's client area, window pixels.
    void SetClientSize(int32_t Width, int32_t Height)
    {
        ClientWidthPx = Width;
        ClientHeightPx = Height;
        TextRectPx = TRect{0, 0, Width, Height};
    }
    TCanvas* PaintingCanvas = nullptr;        // the canvas a paint runs on
    int32_t CanvasLeft = 0, CanvasTop = 0;    // layout offset of the canvas origin

    // ---- fields -------------------------------------------------------------------------------------------
    // Public: the edit control and the object frames wire these hooks and read the object state.
    TRtObjectEnv* ObjectEnv = nullptr;        // created by the edit control
    TTextObj* DropEntry = nullptr;
    TRtObjectMoveEvent OnObjectMove;
    TRtObjectDropEvent OnObjectDrop;
    TRtObjectEditEvent OnObjectEdit;
    TRtFieldReturn FieldReturn;
    bool SkipLineFeedAfterCR = true;          // CR LF gives one paragraph break
    bool SelectionPointSet = false;           // raised by SetSelectionPoint, cleared by the control
    TParagraph* LastCursorParagraph = nullptr;  // of the last typed character (OnCursorParagraph)
    TParagraph* HotPar = nullptr;             // paragraph of the hot span

    // Spell checking.
    TSpellCheckWordEvent OnSpellCheckWord;
    TSpellCheckParEvent OnSpellCheckPar;

    // Owner events.
    TNotifyEvent OnCursorMove;
    TNotifyEvent OnBeforeChange;
    TRtParagraphEvent OnParagraphChanged;
    TNotifyEvent OnPageBreak;
    TRtHotStyleEvent OnHotStyle;
    // The cursor or the caret moved: by a command, a click or an absolute position.
    TNotifyEvent OnPositionChanged;
    // The caret moved without being scrolled into view, or a deletion placed it.
    TNotifyEvent OnCaretPosition;
    // After typed or inserted text was laid out and painted.
    TNotifyEvent OnAfterChange;
    // Typing goes on in another paragraph, or a paragraph is about to be broken.
    TRtParagraphEvent OnCursorParagraph;
    // Delete or Backspace with marked table cells: the owner deletes them.
    TNotifyEvent OnMarkedCellsDelete;
    // The page label of a page gap (pages counted from 1).
    TRtGetPageGapTextEvent OnGetPageGapText;
    TRtCursorLeavesBoxEvent OnEditBoxCursorLeaves;
    TRtChangeBoxEvent OnEditBoxChangeWidth;
    TRtChangeBoxEvent OnEditBoxChangeHeight;
    TRtFlowTextOutOfBox OnEditBoxTextFlowsOut;
    TRtFlowTextIntoBox OnEditBoxTextFlowsIn;
    // The control takes the focus as the next box.
    TNotifyEvent OnActivate;
    // The owner control's size in window pixels, and its resizing.
    int32_t BoxWidth = 0, BoxHeight = 0;
    std::function<void(int32_t Width, int32_t Height)> OnSetBoxSize;

    // Keeps the text as it is before an edit, for taking the edit back.
    void SaveEditBoxState();

private:
    // Cursor helpers.
    void MoveCursorCommand(uint8_t Code, bool Select);
    bool AtTextStart() const;
    bool AtTextEnd() const;
    TLine* LastTextLine() const;
    static bool ParHidden(const TParagraph* Par);
    void PrepareSelection(bool Select);
    // MoveUp or MoveDown.
    void MoveVert(bool Up, int32_t Count, bool Select, bool Repaint, bool CellMove);
    void FinishMove(bool Select);
    // The start of a left, right or word move: False when the cursor may not move.
    bool BeginStep();
    // Its end. With CheckField a cursor outside the edit fields is put back into one,
    // which ends the move there.
    void EndStep(bool Select, bool Repaint, bool CheckField);
    void StepDownToLineStart(bool Select, bool Repaint);
    void FlushPendingReformat();
    // On to the start of the next line, in the next paragraph after the last; null at the text's end.
    static void StepToNextLineStart(TParagraph*& Par, TLine*& Line, int32_t& Pos);
    bool StepToPriorLine();
    bool StepToNextLine();
    void PageMove(bool Up, bool Select);
    void WindowEdgeMove(bool Top, bool Select);
    void SaveFieldReturn(bool Forward, bool SearchOnFail);
    bool CheckFieldPosition();
    bool FieldRangeIsOne();
    void FieldMove(bool ToStart, bool Select);
    bool AskNextBox(bool Up, uint8_t Ch);
    bool IsDBCSTwo(const TLine* Line, int32_t Pos) const;
    bool PositionBefore(TParagraph* PA, TLine* LA, int32_t A, TParagraph* PB, TLine* LB, int32_t B) const;

    // Editing helpers.
    TRtEditResult InsertOneChar(uint8_t Ch, bool LastOfRun);
    // InsertCharsAtCursor's steps: before the characters (ObjectChar: an
    // object's reference character comes), one character in a field of a
    // protected text, one character or control code, and after the characters.
    void PrepareCharsAtCursor(bool ObjectChar);
    TRtEditResult InsertFieldChar(uint8_t Ch, bool LastOfRun);
    TRtEditResult InsertCharOrControl(uint8_t Ch, bool LastOfRun, bool& PageBreakMade);
    TRtEditResult FinishCharsAtCursor(bool PageBreakMade);
    void ApplyParLayoutValues(TParagraph* Par, const TRtParAttrValues& V, const uint64_t* Tabs, uint32_t Mask);
    void ApplyParNumberValues(TParagraph* Par, const TRtParAttrValues& V, uint32_t Mask);
    // A run whose last character was refused: lays out what went in before it.
    TRtEditResult EndRefusedRun();
    TRtEditResult Backspace();
    TRtEditResult DeleteAtCursor();
    TRtEditResult BreakParagraphAt(bool PageBreak);
    TRtEditResult PageBreak();
    TRtEditResult Rebreak(TParagraph* Par, bool Reformat);
    int32_t ParHeight(const TParagraph* Par) const;
    void RemoveNumbering(TParagraph* Par);
    void ResetLastParagraph();
    void RepaintCursorLines(TRtEditResult Result);
    bool FieldAllowsChar();
    void ForEachSelectedPar(const std::function<void(TParagraph*)>& Fn);
    void ApplyNumberIndent(TParagraph* Par);

    // The steps of DeleteSelection.
    bool SelectionProtected(TParagraph* fromPar, TLine* fromLine, int32_t fromPos, TParagraph* toPar, TLine* toLine,
                            int32_t toPos);
    void DeleteTextOfCells(TParagraph* fromPar, TLine* fromLine, int32_t fromPos, TParagraph* toPar, TLine* toLine,
                           int32_t toPos);
    void DeleteParagraphRange(TParagraph* fromPar, TLine* fromLine, int32_t fromPos, TParagraph* toPar, TLine* toLine,
                              int32_t toPos);

    // Painting helpers.
    double PaintScale() const;
    void BeginPaint(TCanvas* Canvas);
    void FillBrushRect(TCanvas* Canvas, const TRect& R, TColor Colour);
    // The steps of PaintContent.
    void PaintMarginsAndGaps(TRtLinePaintRecord& Rec);
    void SetPageViewStrips(TRtLinePaintRecord& Rec, int32_t PageLeft, int32_t PageRight);
    void PaintPageGapLine(TRtLinePaintRecord& Rec);
    bool PaintParObjectInstead(TRtLinePaintRecord& Rec);
    void PaintParNumber(TRtLinePaintRecord& Rec);
    void PaintRuns(TRtLinePaintRecord& Rec);
    // The steps of PaintRuns, for one run.
    void PaintRunText(TRtLinePaintRecord& Rec, const TAttr& a, bool object, int32_t x, int32_t baseline,
                      int32_t runWidth, const std::vector<uint8_t>& chars, const std::vector<int32_t>& dx);
    TRtObjectField* FieldOf(const TAttr& A);
    void PaintFieldObject(TRtLinePaintRecord& Rec, TTextObj* Ref, TRtObjectField* Field, int32_t X, int32_t Baseline,
                          int32_t RunWidth);
    void PaintRunStrokes(QPainter* p, TRtLinePaintRecord& Rec, const TAttr& a, int32_t x, int32_t baseline,
                         int32_t runWidth);
    void PaintFormattingMarks(QPainter* p, TRtLinePaintRecord& Rec, int32_t x, int32_t baseline,
                              const std::vector<uint8_t>& chars, const std::vector<int32_t>& dx);
    void WriteRun(TCanvas* Canvas, int32_t X, int32_t Baseline, const uint8_t* Chars, const int32_t* Dx, int32_t N,
                  bool Opaque, int32_t Height);
    int32_t PaintLineEndMarks(TRtLinePaintRecord& Rec, int32_t X);
    void PaintBorders(TRtLinePaintRecord& Rec);
    void ComputeLineSelection(TRtLinePaintRecord& Rec);
    // True for a line of the text's chain from the selection's first line to its last.
    bool LineInSelection(const TLine* Line) const;
    void FindCellNeighbours(TRtLinePaintRecord& Rec);
    TColor BorderColour(const TParagraph* Par, int32_t Side) const;
    int32_t BorderWidth(const TParagraph* Par, bool Grey) const;
    QRegion ObjectRegion(const TTextObj& Ref) const;
    // A floating object's rectangle in layout units of the window, from its anchor line and twips offset.
    TRect FloatingObjectRect(const TTextObj& Ref) const;

    // Edit-box helpers.
    bool EditBoxTooBig();
    int32_t CountFittingChars();
    void TakeEditBack();
    // The steps of CheckEditBox. AutoSizeEditBox: True when the box was resized or the edit
    // taken back, which ends the check; PassTextOnFrom hands the text from AbsPos on to the next box.
    bool AutoSizeEditBox();
    void ResizeEditBox(int32_t Width, int32_t Height);
    TRtRTFTextInput* TakeTextFlowingIn(bool& TooBig);
    void FlowTextOut(bool Updates);
    void PassTextOnFrom(int32_t AbsPos);
    void UpdateAfterChangeUnlocked();

    bool editBoxChecking_ = false;
    int32_t ClientWidthPx = 0, ClientHeightPx = 0;
    bool Moving = false;
    // Edit-box state.
    std::unique_ptr<TRtRTFTextIo> EditBoxStore;
    TAttr EditBoxAttr;
    bool EditBoxStoreActive = false;

protected:
    // Working state and switches of the text's own operations.
    int32_t PaintedBottom = 0;
    // While an area is painted: the first line of the page of the line being painted.
    TLine* PaintPageLine = nullptr;
    bool FirstObjectPass = false;
    int32_t MinCharHeight = 0;
    bool SplitAtBlanks = false;
    bool ShowRunBoxes = false;
    int32_t DefaultBorderWidth = 15;          // twips
    int32_t BorderDistance = 0;               // twips
    bool Border3D = false;
    bool NoPageNumber = false;
    bool ColumnResizing = false;
    int32_t ResizeGuideX = 0;                 // window pixels
    TColor ResizeGuideColor = clBlack;
    std::unique_ptr<TRtFont> PlainFont;       // a standalone font description
    uint32_t CurrentFieldTag = 0;
    int32_t HotStyleIndex = -1;
    bool InsertBusy = false;
    bool RenumberPending = false;
    bool SkipLineFeeds = false;               // line feeds are never inserted
    bool InsertHidden = false;                // hidden text is inserted and counts for moves
    bool PendingScroll = false;
    bool FullRepaintRequested = false;
    bool DeletionRunning = false;
    bool SuppressCellEvent = false;
    bool SpellChecking = false;
    int32_t HotFrom = 0, HotTo = 0;           // the hot span (paragraph offsets)
    uint32_t HotTag = 0;
    TRect ClipRectPx;                         // clip of line repaints; empty: none
    bool BoxDesigning = false;
};

// A text flow between edit boxes is running (shared by all engines).
extern bool RtTextFlowInProgress;
