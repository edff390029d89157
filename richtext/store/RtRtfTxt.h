#pragma once
// The rich-text editor's text store: the whole document as a chain of
// paragraph records, each a chain of line records, each line one byte per
// character and (in rich-text memory format) one attribute entry per
// character. The format, layout and input classes derive from TRtRTFText and
// fill its empty virtual operations.
//
// The records form the text's own intrusive chains: only the text's
// allocation routines create them and only its freeing routines free them.
#include "RtDefs.h"
#include "RtList.h"
#include "RtLivePositions.h"

#include <QString>

#include <array>
#include <memory>
#include <vector>

class TRtUndoStack;
class TRtUndoObject;
struct TRtParObject;
class TRtRTFNumberingStyleCollection;
class TRtHeaderFooterCollection;
class TRtRTFExtraDataCollection;
class TRtObjectBase;
class TRtRTFNumberingStyle;
class TRtSpecialTextProperty;
enum TRtPagePropertyKind : uint8_t;

// A paragraph property record: the fields selected by Mask (bit n as below).
// What an undo step of the text saves and restores (TRtStoreUndoObject).
enum TRtUndoKind : int32_t {
    ukParagraph = 1,    // the paragraph's lines and properties
    ukLines = 2,        // its lines
    ukIndents = 3,
    ukSpacing = 4,
    ukStyle = 5,
    ukAlign = 6,
    ukBorders = 7,
    ukTabs = 8,
    ukInserted = 9,     // an inserted paragraph (restoring deletes it)
    ukDeleted = 10,     // a deleted paragraph (restoring inserts it again)
    ukProperties = 11,  // all property fields and the cell record
    ukCell = 12,
    ukTableCell = 13,   // the cell record and its table's values
    ukSnapshot = 14,    // the whole text
    ukObjectSize = 15,
    ukObjectRef = 16,
    ukObjectData = 17,
    ukPage = 18,        // page size and margins
    ukAttr = 19,        // the current attribute
};

struct TParProps {
    uint32_t Mask = 0;  // bit 0: apply by mask, else copy whole
    int16_t IndentFirst = 0, IndentLeft = 0, IndentRight = 0;      // bits 1, 2, 3
    int16_t SpaceBefore = 0, SpaceAfter = 0, SpaceBetween = 0;     // bits 4, 5, 6 (7: multiple)
    uint16_t BrdLines = 0;                                         // bit 8: borders
    uint8_t BrdWidth = 0;
    std::array<uint8_t, 4> BrdColor{};
    uint8_t BrdSpace = 0;
    uint64_t Tabs = 0;                                             // bit 9 (10: new page)
    uint8_t Color = 0, Shading = 0, Align = 0;                     // bits 11, 12, 13
    struct TTabStop {
        int32_t Pos = 0;
        int32_t Kind = 0;
    };
    std::array<TTabStop, 6> TabStops{};                            // bit 15
    bool Protected = false;                                        // bit 16
    int32_t StyleField2 = 0;                                       // bit 17
    bool VCenter = false, VBottom = false;                         // bit 18
};

// One cell of a row built by ApplyParProps.
struct TRtCellDescriptor {
    TParProps Props;
    AnsiString Text;
    const TAttr* Attrs = nullptr;   // one entry per character, or none
    const TAttr* Attr = nullptr;    // one entry for all characters, or none
    TRtObjectBase* Object = nullptr;  // the cell holds this object instead of text
    int32_t Width = 0;              // share of 255; 0 = an even share
    int32_t Value = 0;
    AnsiString Str1, Str2;
};

// The ten width blocks of the width cache: 257 entries each.
struct TRtWidthEntry {
    uint16_t Width = 0;
    uint16_t Extra = 0;
};
struct TRtWidthBlock {
    std::array<TRtWidthEntry, 257> Widths{};
};

// One level of nested progress reporting.
struct TRtProgressLevel {
    int32_t Start = 0;
    int32_t Current = 0;
    int32_t End = 100;
    int32_t Share = 100;
    int32_t LastPos = 0;
    double Factor = 0;
    int32_t Step = 0;
};

using TRtSetGaugeValueEvent = std::function<void(TObject* Sender, int32_t Percent)>;
using TRtSetStatusStringEvent = std::function<void(TObject* Sender, TRtStatusItemCont Index, const AnsiString& Text)>;
using TProtectedChangeEvent = std::function<void(TObject* Sender, const AnsiString& Text, int32_t Tag)>;
// Answers the protection test itself.
using TRtIsProtectedEvent = std::function<bool(TRtRTFText* Text, TParagraph* Par, TLine* Line, int32_t Pos)>;
// A field's text (Done: the handler answered) and its size in twips with its base line.
using TRtGetFieldTextEvent = std::function<AnsiString(TObject* Sender, TRtObjectBase* Field, bool& Done)>;
using TRtGetFieldBoundsEvent =
    std::function<void(TObject* Sender, TRtObjectBase* Field, int32_t& Width, int32_t& Height, int32_t& Base)>;
// The display text of a reference: name, format, reference, the text (in and out) and Done.
using TRtOnReferenceGetText = std::function<void(TObject* Sender, const AnsiString& Name, const AnsiString& Format,
                                                 TTextObj* Ref, AnsiString& Text, bool& Done)>;
using TRtTextObjectDestroyEvent = std::function<void(TObject* Sender, TRtObjectBase* Obj)>;

class TRtRTFText : public TObject {
public:
    LUMI_CLASSNAME(TRtRTFText)
    TRtRTFText();
    ~TRtRTFText() override;
    TRtRTFText(const TRtRTFText&) = delete;
    TRtRTFText& operator=(const TRtRTFText&) = delete;

    // ---- virtual operations the derived classes fill ----------------------------------------
    virtual void SetCharAttr(TLine* Line, int32_t Pos, const TAttr& Attr);
    virtual void GetAttrRunText(TParagraph* Par, TLine* Line, int32_t Pos, bool WholePar);
    virtual int32_t PaintObject(TCanvas* Canvas, const TRect& R, int32_t V1, int32_t V2) { return 0; }
    virtual int32_t ReadChar(uint8_t& Ch, TAttr& Attr);
    virtual bool AppendChar(uint8_t Ch, const TAttr* Attr);
    virtual void SetCurrentAttr(const TAttr& Attr);
    virtual void UpdateAfterChange(bool Full) {}
    virtual void UpdateLayout() {}
    virtual void Refresh() {}
    virtual void Clear();
    virtual AnsiString LoadFromStream(TStream* Stream, const AnsiString& Format) { return AnsiString(); }
    virtual void SaveToStream(TStream* Stream) {}
    virtual void SaveSelectionToStream(TStream* Stream) {}
    virtual int32_t DeleteSelection() { return 0; }
    virtual void AddParText(int32_t N, const uint8_t* Chars, const TAttr* Attr, int32_t Count);
    virtual int32_t InsertString(TParagraph* Par, TLine* Line, const AnsiString& S, int32_t OldCount, int32_t Pos);
    virtual bool CalcObjectScreenRect(TRtObjectBase* Obj) { return false; }
    virtual bool CalcObjectRect(TRtObjectBase* Obj) { return false; }
    virtual void RepaintObject(TRtObjectBase* Obj) {}
    virtual void SelectObject(TRtObjectBase* Obj) {}
    virtual void GetStatusText(TRtStatusItemCont Index);
    virtual void ShowCursor() {}
    virtual void ReformatAll() {}
    virtual void ResetView(int32_t Mode) {}
    virtual void UpdateCharWidths() {}

    // ---- records -----------------------------------------------------------------------------
    TParagraph* NewParagraph();
    static TLine* NewLineRecord();
    void AllocLineText(TLine* Line, int32_t Size);
    void AllocLineAttrs(TLine* Line, int32_t Count);
    void InsertLine(TLine*& Line, int32_t Size);
    bool ResizeLine(TLine* Line, int32_t Size);
    void ClearLine(TLine* Line);
    void DeleteLine(TParagraph* Par, TLine* Line);
    void InsertPar(TParagraph*& Par, int32_t LineSize);
    void DeletePar(TParagraph*& Par);
    void FreePar(TParagraph*& Par);
    void FreeParExtras(TParagraph* Par);
    void FreeParChain(TParagraph* First);
    static TLine* GetLastLine(const TParagraph* Par);
    static void FreeLine(TLine* Line);
    // Frees the line and every line after it.
    static void FreeLines(TLine* First);
    static void MoveAttrs(TAttr* Dest, int32_t DestIndex, const TAttr* Source, int32_t Count, int32_t SourceIndex);
    void RenumberFrom(TParagraph* Par);

    // ---- character edits ------------------------------------------------------------------------
    int32_t ReplaceChars(TParagraph* Par, TLine* Line, const TAttr* Attr, int32_t NewCount,
                         const uint8_t* NewChars, int32_t OldCount, int32_t Pos);
    bool InsertChar(TParagraph* Par, TLine* Line, const TAttr* Attr, uint8_t Ch, int32_t Pos);
    void InsertTextAt(TParagraph* Par, int32_t Pos, const TAttr* Attr, const char* Text);
    void InsertTextLine(const char* Text, const TAttr* Attr);
    void DeleteTextAt(TParagraph* Par, int32_t Pos, int32_t Count);
    bool DeleteChar(TParagraph* Par, TLine* Line, int32_t Pos);
    void DeleteTextRange(TParagraph* FromPar, TParagraph* ToPar, int32_t ToPos, int32_t FromPos,
                         TLine* FromLine, TLine* ToLine);
    void PurgeDeletedChars(TParagraph* Par);
    bool SplitPar(TParagraph* Par, TLine* Line, int32_t Pos);
    bool FindPairedMarker(TParagraph*& Par, TLine*& Line, int32_t& Pos);
    bool MarkPairedMarkerDeleted(TParagraph* Par, TLine* Line, int32_t Pos);
    int32_t FindNextObjectMarker(TParagraph*& Par, TLine*& Line, int32_t& Pos,
                                 const std::vector<int32_t>& Ids);
    int32_t ReleaseLineRefs(TLine* Line, int32_t FromPos, int32_t ToPos);
    int32_t ReleaseParRefs(TParagraph* Par);

    // ---- protection, positions, copying and merging ----------------------------------------------
    bool IsProtected(TParagraph* Par, TLine* Line, int32_t Pos);
    void InsertParText(int32_t N, const uint8_t* Chars, const TAttr* Attr, int32_t Count);
    void DeleteParIndex(int32_t N);
    bool InsertParagraphs(TParagraph*& Par, TLine*& Line, int32_t& Pos, TParagraph* Chain);
    bool IsEmpty() const;
    int32_t CountPars() const;
    static int32_t CountParsTo(const TParagraph* First, const TParagraph* Par);
    static int32_t GetParLength(const TParagraph* Par);
    int32_t GetParLengthByIndex(int32_t Index) const;
    TParagraph* GetParByIndex(int32_t Index) const;
    int32_t GetParText(int32_t Index, char* Buffer, int32_t Size) const;
    int32_t CopyParText(TParagraph* Par, int32_t Pos, char* Buffer, int32_t Count) const;
    int32_t CopyTextAndAttrs(char* Buffer, TAttr* Attrs, int32_t Count);
    bool GetWordAt(TLine* Line, int32_t Pos, AnsiString& Word) const;
    int32_t GetCursorCharPos() const;
    int32_t GetCursorAbsPos() const { return GetCursorCharPos(); }
    void SetCursorCharPos(int32_t Pos);
    int32_t CharPosOf(const TParagraph* Par, const TLine* Line, int32_t Pos) const;
    int32_t CountPages();
    bool IsLastPage(int32_t PageIndex);
    void InvalidatePageCount() { pageCountValid_ = false; }
    void SetMemoryFormat(int32_t Value);
    TRtMemoryFormat MemoryFormat() const { return memoryFormat_; }

    // ---- attributes and the width cache -----------------------------------------------------------
    void MarkParStyleAttrs(const TAttr& StyleAttr, uint32_t Mask, TParagraph* Par);
    // Lets Change edit the entry of every character of the paragraphs First to Last
    // (to the end of First's chain when Last is null), the entry past each line's last
    // character included; the paragraph mark's attribute is not visited. A changed
    // entry is stored, given its metrics by SetCharAttr, and its line and paragraph
    // are marked for repainting and reformatting.
    void ChangeCharAttrs(TParagraph* First, TParagraph* Last, const std::function<void(TAttr& Attr)>& Change);
    TColor GetColorEntry(int32_t Index) const;
    void SetWidthCacheCount(int32_t Count);
    void ResetWidthCache();
    TCharacterAttr* CharAttr(int32_t Index) const { return charAttrs_[size_t(Index)].get(); }
    TCharacterAttr* InsertPointAttr() const { return CharAttr(0); }
    TCharacterAttr* HiddenTextAttr() const { return CharAttr(1); }
    TCharacterAttr* AutomaticTextAttr() const { return CharAttr(2); }
    TCharacterAttr* HyperlinkTextAttr() const { return CharAttr(3); }
    TCharacterAttr* ProtectedTextAttr() const { return CharAttr(4); }
    TCharacterAttr* BookmarkTextAttr() const { return CharAttr(5); }
    TCharacterAttr* FieldObjectTextAttr() const { return CharAttr(6); }

    // ---- lifecycle, progress, names, zoom -----------------------------------------------------------
    void ClearParagraphs(bool CreateFirst);
    int32_t BeginProgress(int32_t Total);
    void StepProgress(int32_t Position);
    void EndProgress();
    void SetProgressShare(int32_t Percent);
    void ResetProgress();
    int32_t ScreenToDoc(int32_t Value) const;
    int32_t DocToScreen(int32_t Value) const;
    int32_t NameToIndex(const AnsiString& Name);
    void IndexToName(int32_t Index, AnsiString& Name) const;
    void CheckSelectionChanged();
    void FreeHelperObjects();  // kept: frees the auxiliary objects; nothing adds one yet
    void ClearHeaderFooters();

    // ---- owned objects ---------------------------------------------------------------------------
    TTextHeader* Header() const { return header_.get(); }
    TRtTableList* TableList() const { return tables_.get(); }
    TRtFootnoteList* FootnoteList() const { return footnotes_.get(); }
    TRtObjReferenceList* ObjRefList() const { return objRefs_.get(); }
    // The positions into this text kept across calls, moved or cleared by the
    // code that frees or moves paragraphs, lines and objects.
    TRtLivePositions& Positions() { return positions_; }
    TRtInsertpointList* InsertpointList() const { return insertpoints_.get(); }
    TRtRTFNumberingStyleCollection* NumberingStyles() const { return numbering_.get(); }
    TRtHeaderFooterCollection* HeaderFooters() const { return headerFooters_.get(); }
    TRtRTFExtraDataCollection* ExtraData() const { return extraData_.get(); }
    TStringList* NameList() const { return names_.get(); }
    std::vector<TRtObjectBase*>& Objects() { return objects_; }
    // The own undo stack, when one is created; the one in use (own or the control's).
    // Public: the edit control and the component hand in and use the stack.
    std::unique_ptr<TRtUndoStack> OwnUndoStack;
    TRtUndoStack* SnapshotStack = nullptr;  // another's stack whose snapshot hook is this text's
    TRtUndoStack* UndoStack = nullptr;
    const std::vector<TRtProgressLevel>& ProgressLevels() const { return progress_; }
    int32_t WidthCacheCount() const { return int32_t(widthBlocks_.size()); }
    int32_t CacheDefaultHeight = 0;
    int32_t CacheDefaultBase = 0;

    // ---- the chain, cursor and selection ---------------------------------------------------------
    // Public: the control, the readers and writers, the undo records and the object services
    // walk the chain and move the cursor and the selection.
    TParagraph* FirstPar = nullptr;
    TParagraph* CursorPar = nullptr;
    TLine* CursorLine = nullptr;
    int32_t CursorPos = 0;
    TParagraph* SelStartPar = nullptr;
    TLine* SelStartLine = nullptr;
    int32_t SelStartPos = 0;
    TParagraph* SelEndPar = nullptr;
    TLine* SelEndLine = nullptr;
    int32_t SelEndPos = 0;
    TRtSelectionEnds GetSelectionEnds() const
    {
        return {SelStartPar, SelStartLine, SelStartPos, SelEndPar, SelEndLine, SelEndPos};
    }
    void SetSelectionEnds(const TRtSelectionEnds& Ends);
    bool SelReversed = false;
    bool Selecting = false;
    int32_t MarkedCells = 0;
    bool SelectionChanged = false;
    bool InsertMode = true;
    TAttr CurrentAttr;
    // The font index and size a cleared text starts from (Clear sets them).
    int32_t DefaultFont = 0;
    int32_t DefaultSize = 0;
    bool ObjectsChanged = false;

    // ---- caret, view, resolution and zoom --------------------------------------------------------------
    // Public: the owner control's view state; the edit control, the printer and the object
    // frames read and set it.
    int32_t CaretX = 0, CaretY = 0, CaretWidth = 0, CaretHeight = 0;
    uint8_t Inserting = 1;
    TTextObj* SelectedObj = nullptr;
    int32_t SelectedObjId = 0;
    TRtObjectBase* SelectedObject = nullptr;
    TTextObj* FrameEntry = nullptr;
    TRtObjectBase* FrameObject = nullptr;
    int32_t TopY = 0;
    int32_t LeftX = 0;
    int32_t VisibleWidth = 0, VisibleHeight = 0;
    int32_t VisibleWidthPx = 0, VisibleHeightPx = 0;
    int32_t OnePixel = 1;
    TColor PaperColor = clWindow;
    int32_t CharHeight = 0;
    int32_t ScreenTextHeight = 0;
    int32_t Zooming = 100;
    int32_t Resizing = 100;
    int32_t ScreenResolution = 96;
    TRtScreenResMode ScreenResMode = rmNormal;
    int32_t FixedResolution = 0;
    int32_t ScaledFixedResolution = 0;
    bool ZoomByResolution = false;   // the zoom-off flag
    void SetZooming(int32_t Value);
    void SetScreenResMode(TRtScreenResMode Mode);

    // ---- options ------------------------------------------------------------------------------------
    // Public: settings of the owner control and the dialogs; the readers and writers read them.
    TRtEditOptions EditOptions;
    TRtViewOptions ViewOptions;
    TRtEditBoxModes EditBoxModes;
    TProtectProp ProtectOptions;
    TRtDBCSMode DBCSMode{rtdb_Enabled, rtdb_CalcCharWidth};  // pairs of the double-byte charsets
    uint32_t EngineOptions = 0;
    int32_t MaxParLength = 0;
    int32_t MaxTextLength = 0;
    bool Use256Colors = true;
    bool SectionMode = false;
    bool NoListTables = false;
    bool WriteFieldsAsObjects = false;
    TRtObjectWriteRTFModeGlobal ObjectWriteMode = wobDependingOnObject;
    TRtPrintHeaderFooter PrintHeaderFooter = rtrOnAllPages;
    bool HasBackground = false;
    bool NoPictures = false;      // readers drop the pictures they meet (pasting without graphics)
    std::unique_ptr<TMemoryStream> Background;
    bool TextFormatted1 = false;
    bool ProtectionOff = false;
    bool ParProtectionSuspended = false;
    TRtPagePropertyRange HeaderFooterRange = rtraOnAllPages;
    int32_t Layer = 0;            // 0 body, 1 header, 2 footer
    QString FileName;

    // ---- state flags ---------------------------------------------------------------------------------
    // Public: the edit control and the printer hold the layout off and ask about it through these.
    bool UpdatesLocked = false;
    bool LayoutBusy = false;
    bool InFormatting = false;
    bool WrapAtWindow = false;
    bool PlainNoWrap = false, DeferLayout = false;
    bool DeferPending = false;          // a layout waits that DeferLayout held off
    bool FormatLock2 = false;           // the second formatting lock: no layout update
    bool ChainFormatting = false;       // a header or footer chain is being formatted
    bool LayoutUpdating = false;        // set for the duration of a layout update
    // Line positions are set by the engine's passes, which stop a few windows below the view.
    bool ScreenLayout = false;
    // Line breaking keeps each line's character count; in the centre-measure mode a
    // character that reaches the limit with half its width ends the line.
    bool KeepStoredLineBreaks = false, CenterMeasure = false;
    // The engine never changes a canvas's mapping mode; own scale factors of the mapping mode.
    bool KeepMapMode = false;
    bool OwnScale = false;
    float ScaleX = 1.0f, ScaleY = 1.0f;
    // Fired by ChangeStyle when the cursor paragraph differs from the last one it fired for.
    std::function<void(TObject* Sender, TParagraph* Par)> OnParagraphStyle;
    bool SelChangePending = false;
    bool ConstructionFlag = false;
    // Set around whole-text operations: Clear, the memory-format switch and
    // MarkParsWithStyles leave the text alone meanwhile.
    bool Busy = false;

    // ---- links and events -----------------------------------------------------------------------------
    // Public: handed in by the owner control and the object services.
    TRtCustomRtfEditClass* OwnerControl = nullptr;
    TObject* OwnerComponent = nullptr;
    TNotifyEvent OnChangeSelection;
    TNotifyEvent OnTextChange;
    std::function<void(TRtObjectBase* Obj)> OnInsertObject;
    TRtSetGaugeValueEvent OnSetGaugeValue;
    TRtSetStatusStringEvent OnSetStatusString;
    TRtIsProtectedEvent OnIsProtected;
    TProtectedChangeEvent OnProtectedChange;
    TRtTextObjectDestroyEvent OnTextObjectDestroying;
    TNotifyEvent OnChangeUndoStack;
    TNotifyEvent OnHeaderChange, OnLayerChange;
    // Counts the paragraph numbers in place of UpdateNumbering's own count.
    TNotifyEvent OnNumbering;
    // Asked first for the text of a page reference; may change the text of the other references.
    TRtOnReferenceGetText OnReferenceGetText;

    // ---- embedded objects: the text's object services -------------------------------------------
    // Set when the owner paints objects itself (PaintObject is then asked).
    std::function<void(TRtRTFText* Text, TRtObjectBase* Obj, TCanvas* Canvas)> OnPaintObject;
    TRtParObject* FindParObject(TParagraph* Par) const;
    void ReleaseChainObjects(TLine* First);
    void AddRefChainObjects(TLine* First);
    void ResizeObject(TTextObj* Ref, int32_t Width, int32_t Height);
    void PrepareObjects();
    void GetReferenceText(TTextObj* Ref, AnsiString& Text);
    // The page number (1-based) of a line, by the layout's page marks.
    virtual int32_t GetLinePageNr(TParagraph* Par, TLine* Line) { return Line ? Line->PageNr + 1 : 1; }
    // Answers the object-load question: Obj may be replaced; True: loaded by the handler.
    std::function<void(TObject* Sender, TRtObjectBase*& Obj, bool& Answer)> OnObjectLoadQuery;
    // Field texts and field sizes asked by field objects.
    TRtGetFieldTextEvent OnGetFieldText;
    TRtGetFieldBoundsEvent OnGetFieldBounds;
    // Public: page state the printer sets and the page-number fields read.
    int32_t PageNumberOffset = 0;
    int32_t PaintingPage = 0;    // 0-based page being painted
    int32_t PrintingPage = 0;    // 0-based page being printed
    int32_t PrintedPageCount = 0;
    bool Printing = false;
    bool SuppressObjectActivation = false;

    // ---- undo recording ----------------------------------------------------------------------
    // Records a step of a paragraph kind (ukParagraph to ukSnapshot, ukPage, ukAttr) for Par.
    void SaveUndo(TParagraph* Par, int32_t Kind, TRtUndoLevel Level);
    // Records a step of an object kind (ukObjectSize to ukObjectData).
    void AddObjectUndo(TRtObjectBase* Obj, int32_t Kind, TRtUndoLevel Level);
    // Callbacks of the own undo stack.
    TRtUndoObject* CreateUndoObject();
    void UndoClearSelection();
    void UndoFinish();
    bool Undo();
    bool Redo();
    void NewUndoLevel();
    void ForceNewUndoLevel();
    void BeginUndoGroup();
    bool EndUndoGroup();
    TRtUndoStack* GetUndoStack();
    // Records into a stack of the owner (none: the text's own again); the
    // owner detaches its stack before freeing it.
    void SetUndoStack(TRtUndoStack* Stack);
    // The whole text as RTF, and loading it back (kind-14 steps; the format layer fills these).
    virtual void SaveSnapshot(TStream* Stream) {}
    virtual void LoadSnapshot(TStream* Stream) {}
    // Public: the undo records and the control set these around a step.
    int32_t UndoSuspended = 0;    // no recording while above 0
    bool UndoApplying = false;    // a step is being undone or redone
    bool PendingReformat = false;
    int32_t UndoMaxCount = 100;

    // ---- numbering, headers and footers --------------------------------------------------------
    void UpdateNumbering();
    void GetParNumberText(TParagraph* Par, TRtRTFNumberingStyle*& Style, AnsiString& Text);
    TRtSpecialTextProperty* GetHeaderFooter(int32_t Index) const;
    int32_t HeaderFooterCount() const;
    TRtSpecialTextProperty* FindHeaderFooter(TRtPagePropertyRange Range, TRtPagePropertyKind Kind) const;
    TRtSpecialTextProperty* GetOrAddHeaderFooter(TRtPagePropertyRange Range, TRtPagePropertyKind Kind);
    TRtSpecialTextProperty* GetHeaderFooterForPage(int32_t PageIndex, TRtPagePropertyKind Kind, bool IsLastPage);
    bool HasHeaderFooter() const;
    // Edits the body (0), the header (1) or the footer (2) of HeaderFooterRange.
    void SetLayer(int32_t NewLayer);
    // Only moves the chains and the cursor between the layers, for a moment's look at another.
    void MoveLayer(int32_t NewLayer);
    bool SelectHeaderFooterById(uint32_t Id);
    uint32_t EditedHeaderFooterId() const;
    // Public: the header and footer items switch the edited text through these.
    TParagraph* PendingInputPar = nullptr;  // an empty paragraph that counts for numbering
    TRtSpecialTextProperty* EditedSpecialText = nullptr;
    // The body while a header or footer is edited.
    TParagraph* BodyFirstPar = nullptr;
    TParagraph* BodyCursorPar = nullptr;
    TLine* BodyCursorLine = nullptr;
    int32_t BodyCursorPos = 0;

    // ---- table cells, rows, property records and outline levels ---------------------------------
    TRtCell* GetParCell(TParagraph* Par);
    void ClearCellMarks();
    bool MarkCellBlock(TParagraph* A, TParagraph* B);
    void SplitMarkedCells();
    void CombineMarkedCells();
    void DeleteMarkedCells();
    // Splits a cell in two halves; returns the new cell.
    TParagraph* SplitCell(TParagraph* Par, bool MoveText);
    void CombineCell(TParagraph* Par);
    // Frees a paragraph's cell record.
    void FreeParCell(TParagraph* Par);
    void ApplyParPropsToPar(TParagraph* Par, const TParProps& Props);
    void ApplyParProps(TParagraph*& Par, int32_t Count, const TRtCellDescriptor* Cells);
    int32_t AddTable(const AnsiString& Name, const AnsiString& Text, int32_t Value3, int32_t Right, int32_t Left);
    void SetTable(int32_t Id, const AnsiString& Name, int32_t Left, int32_t Right, int32_t Value3,
                  const AnsiString& Text);
    bool MarkParsWithStyles(WrtStyle Mask);
    bool HasSingleKind3Tab(const TParagraph* Par, const TLine* Line) const;
    void PurgeUnusedTabs();
    void IncOutlineLevel() { ChangeOutlineLevel(1); }
    void DecOutlineLevel() { ChangeOutlineLevel(-1); }
    void UpdateOutlineVisibility();

    // Flags a paragraph for reformatting (and forgets the page count).
    void MarkChanged(TParagraph* Par);
    bool RichText() const { return memoryFormat_ == fmRichText; }
    // The line that holds a paragraph position; Pos becomes the offset in it.
    static TLine* LineAtParPos(TParagraph* Par, int32_t& Pos);
    // Splits a line at Pos: a new line after it receives the rest. Returns it.
    TLine* SplitLineAt(TLine* Line, int32_t Pos);
    // New lines after After (or at the paragraph's start when nil) holding the
    // characters, each line at most as long as a line can be. Returns the last.
    TLine* InsertLinesWith(TParagraph* Par, TLine* After, const uint8_t* Chars, int32_t Count, const TAttr* Attr);
    // Replaces the text of a paragraph's only line by the characters, going on
    // in new lines when they do not fit one.
    void SetParChars(TParagraph* Par, const uint8_t* Chars, int32_t Count, const TAttr* Attr);
    // Leaves the paragraph one empty line, its object references released; a
    // caret on a dropped line moves to the start of the kept one.
    void EmptyParLines(TParagraph* Par);

private:
    // Every change of a line's characters goes through these two, which move the positions on
    // the line with the characters. Puts Count characters (with Attr) into Line at Pos; false
    // when the line cannot hold them.
    bool InsertLineChars(TLine* Line, int32_t Pos, const uint8_t* Chars, const TAttr& Attr, int32_t Count);
    // Removes the Count characters of Line from Pos.
    void DeleteLineChars(TLine* Line, int32_t Pos, int32_t Count);
    // Lets Stack take the text's snapshots and tell it around applying steps.
    void LinkUndoStack(TRtUndoStack* Stack);
    // PurgeUnusedTabs that also keeps the stops in Keep.
    void PurgeUnusedTabsKeeping(uint64_t Keep);
    void ChangeOutlineLevel(int32_t Delta);
    void CopyParPropsWhole(TParagraph* Par, const TParProps& Props);
    bool EntryProtected(TParagraph* Par, TLine* Line, int32_t Pos, bool FireEvent);
    void JoinNextPar(TParagraph* Par, TLine* Line, int32_t Pos);
    void MoveCursorOff(TParagraph* Par, TParagraph* To);
    // The steps of InsertParagraphs.
    void ReplaceCellsByCells(TParagraph* Target, TParagraph* Chain);
    TLine* DetachLinesFrom(TLine* Line, int32_t Pos);
    void InsertChainIntoCell(TParagraph* P, TLine*& Line, int32_t& Pos, TParagraph* Chain);
    void TakeChainHeadProps(TParagraph* P, TParagraph* Chain);
    void SpliceChain(TParagraph*& Par, TParagraph* P, TLine*& Line, int32_t& Pos, TParagraph* Chain, bool AtTextEnd);
    TParagraph* LinkChainTail(TParagraph* P, TParagraph* Chain, const TParagraph* Layout);
    void FirePercent(int32_t Percent);
    bool OwnerLoading() const;

    TRtLivePositions positions_;
    std::unique_ptr<TTextHeader> header_;
    std::unique_ptr<TRtTableList> tables_;
    std::unique_ptr<TRtFootnoteList> footnotes_;
    std::unique_ptr<TRtObjReferenceList> objRefs_;
    std::unique_ptr<TRtInsertpointList> insertpoints_;
    std::unique_ptr<TRtRTFNumberingStyleCollection> numbering_;
    std::unique_ptr<TRtHeaderFooterCollection> headerFooters_;
    std::unique_ptr<TRtRTFExtraDataCollection> extraData_;
    std::unique_ptr<TStringList> names_;
    std::vector<std::unique_ptr<TObject>> helperObjects_;
    std::vector<TRtObjectBase*> objects_;
    std::array<std::unique_ptr<TCharacterAttr>, 7> charAttrs_;
    std::vector<TRtProgressLevel> progress_;
    std::vector<TRtWidthBlock> widthBlocks_;
    TRtMemoryFormat memoryFormat_ = fmRichText;
    int32_t pageCount_ = 0;
    bool pageCountValid_ = false;
    // The selection as last seen by CheckSelectionChanged.
    TRtSelectionEnds savedSel_;

protected:
    // Working state and switches of the text's own operations.
    TRtWidthBlock* CurrentWidthBlock = nullptr;
    bool SharedWidthCache = false;
    bool SelectionLocked = false;
    uint32_t ParCounter = 0;      // paragraph serial counter
    bool PairedDeleteGuard = false;
    bool SplitAtEnd = false;
    int32_t XPos = 0, YPos = 0;   // position values of the status texts (input handling)
    bool KeepHeaders = false;     // Clear keeps header/footer texts and fonts
    bool KeepSettings = false;    // Clear keeps the undo stack and the page header
    bool SuppressProgress = false;
    bool ProtectionSuspended = false;
    bool EditingSkipPars = false;
    bool InputInsertPointFlag = false;
    bool SuppressProtectEvents = false;
    bool FormatLock = false;
    bool AttrChangesLocked = false;
    bool NoUndo = false;          // the text's no-undo state
    bool NoUndoCursor = false;    // steps do not keep the cursor
    uint32_t NumberingOptions = 0;          // bit 0: a paragraph without number keeps the count
    // While a reader fills the text its paragraphs only gain tab stops: once
    // every stop of the full table is in use, no purge can free one.
    bool ReadingTabs = false;
    bool TabsAllUsed = false;
    bool FixedCellWidths = false;   // rows keep the given widths short of 255
    int32_t ObjectIdFilter = 0;     // MarkParsWithStyles matches only this object id when set
    // Line metrics, resolution, mapping and layout switches the engine layers use.
    int32_t DefaultLineHeight = 16;
    bool FixedResMode = false;
    bool RepaintLocked = false;
    bool RebuildLock = false;
    bool PassRunning = false;
};

// While it lives, the text's chain is its body and each header and footer item holds its own
// chain, whatever is edited in place or as a layer: saving and printing take the whole text so.
// The edited chain comes back afterwards with its cursor and selection.
class TRtWholeTextScope {
public:
    explicit TRtWholeTextScope(TRtRTFText& Text);
    ~TRtWholeTextScope();
    TRtWholeTextScope(const TRtWholeTextScope&) = delete;
    TRtWholeTextScope& operator=(const TRtWholeTextScope&) = delete;

private:
    TRtRTFText& text_;
    TRtSpecialTextProperty* item_;
    int32_t layer_;
    TRtSelectionEnds selection_;
    TParagraph* cursorPar_;
    TLine* cursorLine_;
    int32_t cursorPos_;
    int32_t markedCells_;
};
