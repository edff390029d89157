#pragma once
// TRtRTFTextIo: the text store with loading and saving through format
// filters created by class name, the character interface the filters use,
// copying paragraphs between texts, page layout and line metrics, cursor
// positions and table navigation.
#include "RtRtfTxt.h"

#include <QString>
#include <functional>
#include <memory>

class TRtRTFTextIo;

// What a writer receives before it writes (TRtCustomTextWriter::Setup).
struct TRtWriterSetup {
    TRtRTFTextIo* Text = nullptr;
    TStoreOptions StoreOptions;
    AnsiString DocName;
    AnsiString BasePath;
    bool Saving = false;            // the text is being saved to a file
    bool Selection = false;         // a range, not the whole text
    bool HeaderFooter = false;      // headers and footers are written with a range too
    bool TextEmpty = false;         // TRtRTFText::IsEmpty of the text
    // The range: from FirstPar/FirstLine/FirstPos to LastPar/LastLine/LastPos;
    // the last values are the end of the text when the whole text is written.
    TParagraph* FirstPar = nullptr;
    TLine* FirstLine = nullptr;
    int32_t FirstPos = 0;
    TParagraph* LastPar = nullptr;
    TLine* LastLine = nullptr;
    int32_t LastPos = 0;
    // The most used font index, size and colour index (HasDefaults only).
    bool HasDefaults = false;
    int32_t DefaultFont = 0;
    int32_t DefaultSize = 0;
    int32_t DefaultColor = 0;
};

// What a reader receives before it reads (TRtCustomTextReader::Setup).
struct TRtReaderSetup {
    TRtRTFTextIo* Text = nullptr;   // the text read into
    TTextHeader* Header = nullptr;
    AnsiString DocName;
    TStoreOptions StoreOptions;
    TAttr CurrentAttr;
    const TParagraph* ParTemplate = nullptr;  // properties new paragraphs start with
    TParagraph* StartPar = nullptr;           // paragraph to read into first; nil: a new one
};

// Reader flags (TRtCustomTextReader::LoadFlags).
constexpr uint32_t rtlfKeepText = 1;    // the text is not cleared before a replacing read
constexpr uint32_t rtlfKeepCursor = 2;  // the cursor stays where the reader left it

using TBeforePasteEvent = std::function<void(TObject* Sender, bool& DoIt, TParagraph* Par)>;
using TMeasurePageEvent = std::function<void(TObject* Sender, int32_t PageNr, int32_t& PageH, int32_t& MargT,
                                             int32_t& MargB)>;
using TRtTextObjectSelectEvent = std::function<void(TObject* Sender, TRtObjectBase* Obj, bool Selected)>;
// Told before (Starting True) and after (False) the outermost layout pass.
using TRtReformatEvent = std::function<void(TObject* Sender, bool Starting)>;

// Layout-mode bits.
constexpr uint16_t rtlmPageView = 1 << 0;      // page starts get top spacing
constexpr uint16_t rtlmPageEnds = 1 << 1;      // page ends get bottom spacing
constexpr uint16_t rtlmGapOnly = 1 << 6;       // page ends get only the full page gap
constexpr uint16_t rtlmNoLineBreaks = 1 << 8;  // page-start marks of lines are not counted

class TRtRTFTextIo : public TRtRTFText {
public:
    LUMI_CLASSNAME(TRtRTFTextIo)
    TRtRTFTextIo();
    ~TRtRTFTextIo() override;

    // ---- input and output by format ------------------------------------------------------------
    void Clear() override;
    // Reads with the detected or configured reader; returns the format (class) name used.
    AnsiString LoadFromStream(TStream* Stream, const AnsiString& Format) override;
    void LoadFromStream(TStream* Stream) { LoadFromStream(Stream, TextLoadFormat); }
    void SaveToStream(TStream* Stream) override;
    void SaveSelectionToStream(TStream* Stream) override;
    void SelectObject(TRtObjectBase* Obj) override;
    int32_t ReadChar(uint8_t& Ch, TAttr& Attr) override;
    bool AppendChar(uint8_t Ch, const TAttr* Attr) override;
    // Sequential reading from the cursor for writers: False after the last paragraph.
    virtual bool ReadChar(TAttr& Attr, uint8_t& Ch, TParagraph& ParProps);
    // Appending at the end of the text for readers: 13 and 12 start paragraphs.
    virtual void AppendChar(const TAttr& Attr, uint8_t Ch, const TParagraph& ParProps);

    // The whole text as RTF for undo snapshots, and reloading it.
    void SaveSnapshot(TStream* Stream) override;
    void LoadSnapshot(TStream* Stream) override;

    virtual void Redraw() {}
    // The binary property "Data": RTF followed by four 0 bytes.
    virtual void ReadData(TStream* Stream);
    virtual void SaveRTFToStream(TStream* Stream);
    virtual int32_t GetLineStartOffset(TParagraph* Par, TLine* Line) { return 0; }
    virtual void SelectAttrFont(const TAttr& Attr) {}
    virtual void SetObjectMark(TLine* Line, int32_t Pos, bool On) {}
    virtual int32_t WriteWithWriter(TStream* Stream, TRtCustomTextWriter* Writer);
    virtual int32_t WriteSelection(TStream* Stream, TRtCustomTextWriter* Writer);
    virtual void LoadWithReader(TStream* Stream, TRtCustomTextReader* Reader);
    // Writes the paragraphs From..To (0-based indices) through a copy.
    virtual void SaveRangeToStream(int32_t From, int32_t To, TStream* Stream);
    // Reads Stream into a separate text and inserts it before paragraph Pos
    // (-1: at the cursor); Flag True inserts even into an empty text.
    virtual void InsertFromStream(int32_t Pos, bool Flag, TStream* Stream);
    virtual void SaveToFile(const QString& FileName);

    int32_t WriteWithFormat(const AnsiString& FormatName, TParagraph* FirstPar, TParagraph* LastPar,
                            TStream* Stream, TLine* FirstLine = nullptr, int32_t FirstPos = 0,
                            TLine* LastLine = nullptr, int32_t LastPos = 0);
    int32_t WriteRange(TParagraph* FirstPar, TParagraph* LastPar, TRtCustomTextWriter* Writer, TStream* Stream,
                       TLine* FirstLine = nullptr, int32_t FirstPos = 0, TLine* LastLine = nullptr,
                       int32_t LastPos = 0);
    int32_t ReadRTFWithReader(TStream* Stream, TRtCustomTextReader* Reader);
    void LoadFromStreamWithName(TStream* Stream, const QString& FileName);
    void LoadFromFile(const QString& FileName);
    // Copies the chain from SourceFirstPar (of SourceText, or of this text)
    // before Start (nil: to the end), mapping fonts, colours, tabs and list items.
    void CopyParagraphsFrom(TParagraph* SourceFirstPar, TParagraph* Start, TRtRTFText* SourceText = nullptr);
    void PrepareCopyMaps(TRtRTFText* Source);
    // A detached copy of First..Last (nil: to the end) of Source with the maps of
    // PrepareCopyMaps applied and the list items it refers to duplicated.
    TParagraph* DuplicateChain(TParagraph* First, TParagraph* Last, TRtRTFText* Source);
    // The header, numbering styles, header and footer texts and paragraphs of another text.
    void Assign(TRtRTFTextIo& Source);
    // The text of a header or footer item, with its text's page header.
    void Assign(TRtSpecialTextProperty& Item);

    // Public: the control, the component and the text dialog choose formats and read the results.
    AnsiString TextSaveFormat = "AUTO";
    AnsiString TextLoadFormat = "AUTO";
    AnsiString FileExt;          // upper case with its dot, during a file load or save
    QString SaveFileName;        // the file being written, during SaveToFile
    // A writer of a range (a selection, a copy) writes the headers and footers too.
    bool SelectionWithHeaderFooter = false;
    // Filters the owner assigns (not owned): used in place of a filter chosen by
    // format while the text is in rich-text memory format.
    TRtCustomTextWriter* CustomWriter = nullptr;
    TRtCustomTextReader* CustomReader = nullptr;
    uint8_t IOResult = 5;
    bool Loading = false;
    TBeforePasteEvent OnBeforePaste;
    // Loads Stream at the cursor, into an empty text too.
    void LoadInserting(TStream* Stream, const AnsiString& Format)
    {
        InsertRequested = true;
        try {
            LoadFromStream(Stream, Format);
        } catch (...) {
            InsertRequested = false;
            throw;
        }
        InsertRequested = false;
    }
    // Which paragraph formats a pasted text brings along.
    void SetPasteOptions(bool Borders, bool Shading, bool Indents)
    {
        PasteBorders = Borders;
        PasteShading = Shading;
        PasteIndents = Indents;
    }

    // ---- page layout and line metrics -------------------------------------------------------
    virtual int32_t ReformatText(TParagraph* StartPar);
    void AlignLines(TParagraph* Par);
    bool CalcLineHeight(TParagraph* Par, TLine* Line);
    // CalcLineHeight's steps: the height and base of the line's characters (true
    // when a font was selected for it), the paragraph's line spacing, and the
    // border distance above and below a bordered block.
    bool LineTextMetrics(TParagraph* Par, TLine* Line, int32_t& Height, int32_t& Base);
    void ApplyLineSpacing(TParagraph* Par, int32_t& Height, int32_t& Base);
    void AddBorderDistance(TParagraph* Par, TLine* Line, int32_t& Height, int32_t& Base);
    int32_t GetTabWidth(TParagraph* Par, TLine* Line, int32_t Pos, int32_t X);
    // The hanging indent's stop for a tab at Pos past X, or -1 when it does not apply.
    int32_t HangingTabStop(TParagraph* Par, TLine* Line, int32_t Pos, int32_t X);
    int32_t GetParLeftPix(TParagraph* Par, bool NoNumbering);
    int32_t GetParRightPix(TParagraph* Par, bool Raw);
    int32_t GetIndentLeftPix(TParagraph* Par, TLine* Line);
    int32_t GetIndentRightPix(TParagraph* Par);
    int32_t GetLineObjectIndent(TParagraph* Par, TLine* Line);
    bool GetObjectWrapSpace(TParagraph* Par, int32_t Y, int32_t& RightX, int32_t& LeftIndent, int32_t Height);
    void GetCellPosition(TParagraph* Par, int32_t& X, int32_t& W);
    // The x where the text area starts: the left page margin, none while wrapping at the window.
    int32_t TextLeftPix();
    int32_t GetTextHeight();
    int32_t FindPageStart(int32_t PageNr, TParagraph*& Par, int32_t& Pos, TLine*& Line);
    int32_t GetCursorPageNr();
    TColor GetShadedColor(int32_t ColorIndex, int32_t Percent);
    // The most used font index, size and colour index of the body and the header/footer texts.
    void CountUsedAttributes(int32_t& Font, int32_t& Size, int32_t& Color);
    // Metrics of the font selected for measuring (the painting layer sets them).
    virtual void GetFontMetrics(int32_t& Height, int32_t& Base)
    {
        Height = DefaultLineHeight;
        Base = DefaultLineHeight * 4 / 5;
    }

    // Public: layout settings of the owner; the edit control and the caret use the text offsets.
    int32_t PageCount = 1;
    uint16_t LayoutFlags = 0;          // the layout view (rtlm bits; the engine reads the view bits)
    bool FrozenPageBreaks = false;
    int32_t WidowLines = 0;
    // Page-breaking switches of the caller; they take effect with the next ReformatText.
    bool NoPageBreaks = false;          // a line that does not fit never breaks the page
    bool KeepTableRowsTogether = false; // a table's first overflowing row moves the whole table on once
    bool NoPages = false;               // no headers, no page spacing, new-page flags dropped
    bool SkipNumbering = false;         // no page numbering and no page spacing pass
    bool KeepCellLineHeights = false;   // a cell's last line is measured again only at height 0
    TMeasurePageEvent OnMeasurePage;
    TRtReformatEvent OnReformat;
    int32_t TextLeftOffset = 0;
    int32_t TextTopOffset = 0;
    bool InfiniteWidth = false;

    // ---- cursor positions and table navigation ------------------------------------------------
    void GetPositionCounts(int32_t& AbsPos, int32_t& LineCount, int32_t Column, TLine* Line, TParagraph* Par,
                           int32_t& PosInPar, int32_t& ParNr);
    virtual void GetCursorPositionCounts(int32_t& AbsPos, int32_t& LineCount, int32_t& PosInPar, int32_t& ParNr);
    bool FindAbsPos(int32_t AbsPos, int32_t LineNr, int32_t& Column, TLine*& Line, TParagraph*& Par,
                    int32_t Column0 = 0, int32_t ParNr = -1);
    virtual void SetCursorAbsPos(int32_t AbsPos, int32_t LineNr = 0, int32_t Column0 = 0, int32_t ParNr = -1);
    TParagraph* GetPrevRow(TParagraph* Cell);
    TParagraph* GetNextRow(TParagraph* Cell);
    TParagraph* GetCellInRow(TParagraph* Cell, int32_t Index);
    int32_t GetCellIndex(TParagraph* Cell);
    TParagraph* GetTableRow(TParagraph* Cell, int32_t Index);
    bool MoveToCellVert(bool Up);
    int32_t InsertRowCopy(TParagraph* Cell);
    bool HasSelection() const;
    bool UnmarkParagraphs();
    void ClearMarkedParagraphs();
    // 0 keeps, 1 sets, 2 clears the edge.
    void SetMarkedCellBorders(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t Inner);
    void MarkObjectChars(TTextObj* Ref, bool First, bool Second);
    // Mode bits: 1 font, 2/4/8 size set/add/subtract, 16/32 colours, 64/1024 set/clear
    // styles, 128/256/512 replace style groups. Ch < 0: no remeasuring.
    void ModifyAttr(TLine* Line, TAttr& Attr, uint32_t Mode, const TAttr& Source, int32_t Ch);
    // Remeasures an attribute entry for a character (the painting layer).
    virtual void MeasureAttr(TAttr& Attr, int32_t Ch) {}
    TRtTextObjectSelectEvent OnObjectSelect;

private:
    // The last paragraph found by GetTextHeight and the chain it ends (kept
    // with the positions: it moves off a paragraph that goes); the next call
    // walks on from it instead of from the text's start.
    TParagraph* lastParHint_ = nullptr;
    const TParagraph* lastParChain_ = nullptr;
    // The text's last paragraph, walked to from the cursor.
    TParagraph* LastParFromCursor() const;
    TRtCustomTextWriter* CreateWriter(const AnsiString& Name);
    TRtCustomTextReader* CreateReader(const AnsiString& Name);
    // Runs Reader into this text with layout held off until it ends.
    int32_t ReadIntoText(TRtCustomTextReader* Reader, TStream* Stream);
    TRtWriterSetup MakeWriterSetup(TRtCustomTextWriter* Writer);
    int32_t RunWriter(TStream* Stream, TRtCustomTextWriter* Writer, const TRtWriterSetup& Setup);
    AnsiString ChooseWriterName(const AnsiString& Format, bool UseExt, bool UseStyles);
    int32_t LineSpacingGrowth(TParagraph* Par, int32_t Height);
    // Replaces the paragraphs by a copy of the chain from First.
    void TakeChainCopy(TParagraph* First, TRtRTFText* Source);
    // The steps of LoadWithReader: inserting at the cursor or replacing the text.
    void InsertLoadedText(TStream* Stream, TRtCustomTextReader* Reader, TRtReaderSetup& Setup);
    void PasteLoadedChain(TParagraph* Chain);
    void ReplaceByLoadedText(TStream* Stream, TRtCustomTextReader* Reader, TRtReaderSetup& Setup);
    // The steps of DuplicateChain.
    struct TChainCopy;
    int32_t CopyListItem(TRtCustomList* Own, TRtCustomList* Theirs, int32_t Id, bool Foreign);
    void MapCopiedAttr(TAttr& Attr, TChainCopy& Copy);
    void TakeParProperties(TParagraph* Par, const TParagraph* From, TChainCopy& Copy);
    int32_t CopyTable(int32_t Id, TChainCopy& Copy);
    int32_t CopyNumberingStyle(int32_t Number, TChainCopy& Copy);
    void CopyNumberingGroup(int32_t Group, TChainCopy& Copy);
    void CopyParLines(TParagraph* Par, const TParagraph* From, TChainCopy& Copy);
    int32_t AvailableHeight(int32_t PageIndex);
    // The steps of ReformatText.
    int32_t LayOutText(TParagraph* StartPar);
    struct TPageFlow;
    void FindHeadersAndFooters();
    int32_t LayOutParagraphs(TParagraph* First, bool Body);
    void StartFlowParagraph(TPageFlow& F, TParagraph* p);
    int32_t LayOutParLines(TPageFlow& F, TParagraph* p, bool IsCellPar);
    void FinishTableRow(TPageFlow& F, TParagraph* p, int32_t h);
    void BreakPageBefore(TPageFlow& F, TLine* L);
    TLine* WidowBreakLine(const TPageFlow& F, TLine* Overflow, TParagraph* OverflowRow);
    void NumberPages();
    void NumberAndSpacePages(int32_t halfGap);
    void AlignCellsVertically();

    // Maps of CopyParagraphsFrom.
    std::array<int32_t, 256> fontMap_{};
    std::array<int32_t, 256> colorMap_{};
    std::array<int32_t, 64> tabMap_{};
    // Header and footer heights of the first, odd/last and even/middle pages.
    struct THFRecord {
        TRtSpecialTextProperty* Header = nullptr;
        TRtSpecialTextProperty* Footer = nullptr;
        int32_t HeaderHeight = 0;
        int32_t FooterHeight = 0;
    };
    std::array<THFRecord, 3> hf_{};
    QString BasePath;                  // folder of the file being loaded or saved
    bool InsertRequested = false;      // LoadWithReader inserts even into an empty text
    bool PasteBorders = false, PasteShading = false, PasteIndents = false;
    uint8_t Saving = 0;
    int32_t CellPadding = 25;          // twips
    int32_t FixedLineHeight = 240;     // twips, for paragraphs hosting a paragraph object

protected:
    // Working state and switches of the text's own operations.
    bool NoDeleteSelection = false;   // LoadWithReader keeps the selection when inserting
    bool KeepCursorOnLoad = false;
    bool LayoutLocked = false;
    bool InReformat = false;
    int32_t DefaultCellLineHeight = -1;
    int32_t WrapSearchDistance = 2000; // pixels
    bool IgnoreIndents = false;
    bool NoBorderDistance = false;
    bool NoHangingTabs = false;
    bool TablesWithoutMargin = false;
    int32_t TableIndent = 0;
    bool ShiftLeft = false;
    bool NoAttrFontSelect = false;
    uint8_t CurrentTabKind = 0;
    bool AlignedTab = false;
    bool LastPageHeader = false;        // set by ReformatText when a last-page text exists
    // Whether the header or footer edited in the body's place was empty when the pages were last
    // laid out: an empty one gets no room in the page gaps, so a change either way moves the pages.
    bool EditedSpecialTextWasEmpty = false;
    bool HotInsertMode = false;
    TAttr HotAttr;
    int32_t MarkedParCount = 0;
};

// The paragraphs of a text as a list of strings.
class TRtRtfStrings : public TObject {
public:
    LUMI_CLASSNAME(TRtRtfStrings)
    explicit TRtRtfStrings(TRtRTFTextIo* Text) : Text(Text) {}
    int32_t Count() const;
    AnsiString Get(int32_t Index) const;
    void Put(int32_t Index, const AnsiString& S);
    void Insert(int32_t Index, const AnsiString& S);
    void Add(const AnsiString& S) { Insert(Count(), S); }
    void Delete(int32_t Index);
    void Clear();
    void SetUpdateState(bool Updating);
    // Loads with the format detected from the bytes, after clearing the text.
    void LoadFromStream(TStream* Stream);
    // Always plain text.
    void SaveToStream(TStream* Stream);

    TRtRTFTextIo* Text;
};

// What a mail-merge handler supplies for an insert point (kept with its event type for hosts;
// the editor has no mail merge of its own yet).
class TRtMMInsertTextContents : public TObject {
public:
    LUMI_CLASSNAME(TRtMMInsertTextContents)
    virtual void Clear()
    {
        Text.clear();
        Value = 0;
        Stream.reset();
        List.reset();
        Value2 = Value3 = 0;
    }
    AnsiString Text;
    int32_t Value = 0;
    std::unique_ptr<TMemoryStream> Stream;
    std::unique_ptr<TStringList> List;
    int32_t Value2 = 0;
    int32_t Value3 = 0;
};
using TRtMailMergeGetTextEvent =
    std::function<void(TObject* Sender, const AnsiString& InsertPointName, TRtMMInsertTextContents& Contents)>;
