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

#include <array>
#include <memory>
#include <vector>

class TRtUndoStack;
class TRtRTFNumberingStyleCollection;
class TRtHeaderFooterCollection;
class TRtRTFExtraDataCollection;
class TRtObjectBase;

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
    virtual void Hook1() {}
    virtual void Hook2() {}
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
    void FreeHelperObjects();
    void ClearHeaderFooters();
    bool IsBusy() const { return Busy; }

    // ---- owned objects ---------------------------------------------------------------------------
    TTextHeader* Header() const { return header_.get(); }
    TRtTableList* TableList() const { return tables_.get(); }
    TRtFootnoteList* FootnoteList() const { return footnotes_.get(); }
    TRtObjReferenceList* ObjRefList() const { return objRefs_.get(); }
    TRtInsertpointList* InsertpointList() const { return insertpoints_.get(); }
    TRtRTFNumberingStyleCollection* NumberingStyles() const { return numbering_.get(); }
    TRtHeaderFooterCollection* HeaderFooters() const { return headerFooters_.get(); }
    TRtRTFExtraDataCollection* ExtraData() const { return extraData_.get(); }
    TStringList* NameList() const { return names_.get(); }
    std::vector<std::unique_ptr<TObject>>& HelperObjects() { return helperObjects_; }
    std::vector<TRtObjectBase*>& Objects() { return objects_; }
    // The own undo stack, when one is created; the one in use (own or the control's).
    std::unique_ptr<TRtUndoStack> OwnUndoStack;
    TRtUndoStack* UndoStack = nullptr;
    const std::vector<TRtProgressLevel>& ProgressLevels() const { return progress_; }
    const std::vector<TRtWidthBlock>& WidthCache() const { return widthBlocks_; }
    int32_t WidthCacheCount() const { return int32_t(widthBlocks_.size()); }
    TRtWidthBlock* CurrentWidthBlock = nullptr;
    bool WidthCacheValid = false;
    int32_t WidthCacheCounter1 = 0;
    int32_t WidthCacheCounter2 = 0;
    int32_t CacheDefaultHeight = 0;
    int32_t CacheDefaultBase = 0;
    bool SharedWidthCache = false;

    // ---- the chain, cursor and selection ---------------------------------------------------------
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
    bool SelReversed = false;
    bool Selecting = false;
    int32_t MarkedCells = 0;
    bool SelectionLocked = false;
    bool SelectionChanged = false;
    uint32_t ParCounter = 0;      // paragraph serial counter
    bool InsertMode = true;
    TAttr CurrentAttr;
    bool PairedDeleteGuard = false;
    bool SplitAtEnd = false;
    int32_t DefaultLineHeight = 16;
    int32_t DefaultFont = 0;
    int32_t DefaultSize = 0;
    bool ObjectsChanged = false;

    // ---- caret, view, resolution and zoom --------------------------------------------------------------
    int32_t CaretX = 0, CaretY = 0, CaretWidth = 0, CaretHeight = 0;
    uint8_t Inserting = 1;
    TTextObj* SelectedObjEntry = nullptr;
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
    int32_t XPos = 0, YPos = 0;   // position values of the status texts (input handling)
    int32_t Zooming = 100;
    int32_t Resizing = 100;
    int32_t ScreenResolution = 96;
    TRtScreenResMode ScreenResMode = rmNormal;
    bool FixedResMode = false;
    int32_t FixedResolution = 0;
    int32_t ScaledFixedResolution = 0;
    bool ZoomByResolution = false;   // the zoom-off flag
    bool KeepMapMode = false;
    bool OwnScale = false;
    float ScaleX = 1.0f, ScaleY = 1.0f;
    void SetZooming(int32_t Value);
    void SetScreenResMode(TRtScreenResMode Mode);

    // ---- options ------------------------------------------------------------------------------------
    TRtEditOptions EditOptions;
    TRtViewOptions ViewOptions;
    TRtEditBoxModes EditBoxModes;
    TProtectProp ProtectOptions;
    TRtDBCSMode DBCSMode;
    uint32_t EngineOptions = 0;
    int32_t MaxParLength = 0;
    int32_t MaxTextLength = 0;
    int32_t PlainDefaultFont = 0;
    bool Use256Colors = true;
    bool SectionMode = false;
    bool WriteHeaderFooterWithSelection = false;
    bool NoListTables = false;
    bool WriteFieldsAsObjects = false;
    TRtObjectWriteRTFModeGlobal ObjectWriteMode = wobDependingOnObject;
    TRtPrintHeaderFooter PrintHeaderFooter = rtrOnAllPages;
    bool HasBackground = false;
    uint8_t BackgroundKind = 0;
    std::unique_ptr<TMemoryStream> Background;
    int32_t CellFrameNr = 0;
    bool TextFormatted1 = false, TextFormatted2 = false;
    bool KeepHeaders = false;     // Clear keeps header/footer texts and fonts
    bool KeepSettings = false;    // Clear keeps the undo stack and the page header
    bool SuppressProgress = false;
    bool ProtectionOff = false;
    bool ProtectionSuspended = false;
    bool ParProtectionSuspended = false;
    bool EditingSkipPars = false;
    bool InputInsertPointFlag = false;
    bool SuppressProtectEvents = false;
    int32_t DefaultNumberIndent = -360;
    TRtPagePropertyRange HeaderFooterRange = rtraOnAllPages;
    int32_t Layer = 0;            // 0 body, 1 header, 2 footer
    AnsiString FileName;

    // ---- state flags ---------------------------------------------------------------------------------
    bool Busy = false;
    bool UpdatesLocked = false;
    bool RepaintLocked = false;
    bool LayoutBusy = false;
    bool LayoutUpdating = false;
    bool RebuildLock = false;
    bool FormatLock = false, FormatLock2 = false;
    bool PassRunning = false, InFormatting = false, ChainFormatting = false;
    bool AttrChangesLocked = false;
    bool WrapAtWindow = false, ScreenLayout = false, KeepStoredLineBreaks = false;
    bool PlainNoWrap = false, CenterMeasure = false, DeferLayout = false, DeferPending = false;
    bool ShowHiddenInsertPoints = false, ShowAutomaticText = false, SelChangePending = false;
    bool ConstructionFlag = false;

    // ---- links and events -----------------------------------------------------------------------------
    TRtCustomRtfEditClass* OwnerControl = nullptr;
    TObject* OwnerComponent = nullptr;
    TNotifyEvent OnChangeSelection;
    TNotifyEvent OnTextChange;
    std::function<void(TParagraph* Par)> OnParagraphStyle;
    std::function<void(TRtObjectBase* Obj)> OnInsertObject;
    TRtSetGaugeValueEvent OnSetGaugeValue;
    TRtSetStatusStringEvent OnSetStatusString;
    TRtIsProtectedEvent OnIsProtected;
    TProtectedChangeEvent OnProtectedChange;
    TRtTextObjectDestroyEvent OnTextObjectDestroying;
    TNotifyEvent OnChangeUndoStack;
    TNotifyEvent OnNumbering, OnObjectLoad, OnHeaderChange, OnLayerChange;

private:
    TAttr ProtectEntryAt(TLine* Line, int32_t Pos) const;
    bool EntryProtected(TParagraph* Par, TLine* Line, int32_t Pos);
    TLine* LineAtParPos(TParagraph* Par, int32_t& Pos) const;
    void FillLine(TLine* Line, const TAttr* Attr, const uint8_t* Chars, int32_t Count);
    void CopyParPropsFrom(TParagraph* Dest, const TParagraph* Src);
    void JoinNextPar(TParagraph* Par, TLine* Line, int32_t Pos);
    void FirePercent(int32_t Percent);
    bool OwnerLoading() const;

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
    struct TSavedSel {
        TParagraph* StartPar = nullptr;
        TLine* StartLine = nullptr;
        int32_t StartPos = 0;
        TParagraph* EndPar = nullptr;
        TLine* EndLine = nullptr;
        int32_t EndPos = 0;
        bool operator==(const TSavedSel&) const = default;
    } savedSel_;
};
