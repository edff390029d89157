#pragma once
// TRtRtfReader: reads RTF into a text store.
#include "RtTextReader.h"
#include "RtfLexer.h"

#include <QByteArray>

#include <array>
#include <memory>
#include <unordered_map>
#include <map>
#include <optional>
#include <vector>

class TRtObject;
class TRtSpecialTextProperty;
struct TTextObj;

// Where characters go.
enum TRtfDestination : uint8_t {
    rdText = 0, rdSkip = 1, rdFontTable = 2, rdColorTable = 3, rdPicture = 4, rdPictureFile = 5,
    rdInfo = 6, rdInfoItem = 7, rdPropName = 8, rdUserProps = 9, rdFootnote = 10, rdField = 12,
    rdFieldInst = 13, rdFieldFrame = 14, rdBookmark = 15, rdHeader = 17, rdFooter = 18,
    rdStylesheet = 19, rdNumTextBefore = 20, rdNumTextAfter = 21, rdTableDef = 22,
    rdMergePar = 23, rdObjectData = 24, rdObjName = 25, rdObjClass = 26, rdObjTime = 27,
    rdCellName = 28, rdCellCommand = 29, rdListTable = 30, rdList = 31, rdListLevel = 32,
    rdListOverrideTable = 33, rdLevelText = 34, rdLevelNumbers = 35, rdShapeInst = 36,
    rdShapeResult = 37, rdShapePicture = 38,
};

class TRtRtfReader : public TRtTextReader {
public:
    LUMI_CLASSNAME(TRtRtfReader)
    TRtRtfReader();
    ~TRtRtfReader() override;

    int32_t Parse(TStream* Stream, TParagraph*& firstParagraph) override;

    // Groups nested deeper than this are skipped with their content.
    static constexpr int32_t MaxGroupDepth = 2000;

protected:
    virtual void HandleProperty(std::string_view Name, int32_t Code, int32_t Value);
    virtual void OpenGroup();
    virtual void CloseGroup();
    virtual void HandleCharacter(int32_t Ch);
    virtual void HandleControlWord(const TRtfToken& Word);
    virtual void AddChar(int32_t Ch);
    virtual void EndDestination(TRtfDestination Dest);
    virtual void HandleDestination(int32_t Code, int32_t Value);
    virtual void HandleSpecial(int32_t Code);
    // Completes a picture, program object or background picture; IntoText:
    // its group lies in the text, which gets the object's character.
    virtual void ReadPictureData(bool IntoText);
    virtual void ParseFieldInstruction();

private:
    void BeginField();
    void EndField(bool Nested);
    // The destination words by concern; each is false for a word not its own.
    bool BeginFieldDestination(int32_t Code);
    bool BeginListDestination(int32_t Code, int32_t Value);
    bool BeginInfoDestination(int32_t Code, int32_t Value);
    void BeginPicture(int32_t Code);
    // The bytes of the picture being read as the file of its kind.
    QByteArray PictureFile() const;
    // A character of a field's visible result.
    void AddFieldResultChar(int32_t Ch);
    // A character of a destination that collects a name or text (font and style names ...).
    void AddDestinationText(int32_t Ch);
    // A character word of Windows-1252 (quotes, dashes, bullet, fixed space):
    // the character itself where text keeps characters, its byte elsewhere.
    void AddWindowsChar(uint8_t Byte);

private:
    // Bytes of a character still to come: the lead byte of a double-byte
    // charset, the first bytes of UTF-8.
    struct TPendingBytes {
        std::array<uint8_t, 4> Bytes{};
        uint8_t Count = 0;
    };
    // The character Byte completes in code page CodePage; 0 while it waits for more.
    char32_t DecodeByte(TPendingBytes& Pending, int32_t CodePage, uint8_t Byte);
    struct TGroup {
        TAttr Attr;
        TParagraph Template;
        TRtfDestination Dest = rdText;
        uint8_t UnicodeSkip = 1;
        int32_t FontPage = 0;
        bool InRow = false;
        bool FieldResult = false;
        bool NumberingDef = false;  // the group holds a "\pn" definition
        bool NumberText = false;
        uint8_t Field = 0;          // the group holds a field: 1, inside another's result: 2
    };
    // The state of the field being read; kept aside while a field inside its result is read.
    struct TFieldState {
        std::u32string Inst;
        TPendingBytes InstBytes;
        TAttr Attr;
        bool Hyperlink = false;
        std::u32string Target, Result;
        TPendingBytes ResultBytes;
        TAttr ResultAttr;         // of the link text's last character
        AnsiString Frame;         // "\\rtfldfrm" of the field instruction
        bool DropResult = false;  // the field's result is not added (page references)
        int32_t MergeId = 0;      // insert point of a merge field being read
        bool MergeFirst = false;  // its next character is the insert point itself
        // Forgets what the instruction said about the result.
        void ClearResult()
        {
            Hyperlink = false;
            Target.clear();
            Result.clear();
            ResultBytes = TPendingBytes();
            MergeId = 0;
            DropResult = false;
        }
    };
    // A level of a list or a "\pn" definition being read.
    struct TLevelDef {
        TRtNumberStyle Style = rt_1;
        int32_t Level = 1;
        int32_t Indent = 0;
        int32_t IndentLeft = 0, IndentFirst = 0;
        int32_t Font = -1;  // index in the text's fonts
        int32_t Size = 0;
        bool UsePrev = false;
        AnsiString Text;     // leveltext, or pntxtb
        AnsiString TextA;    // pntxta
        bool Section = false;  // "\pnseclvl": a level of the section's outline
    };
    struct TCellDef {
        int32_t Right = 0; // twips
        uint8_t Borders = 0;
        uint8_t BorderWidth = 0;
        uint8_t VertAlign = 0;
        uint8_t Shading = 0;
        uint8_t BGColor = 0;
        uint8_t PatColor = 0;
        int32_t Skip = 0;  // merged cells that follow
        uint16_t BrdLines = 0;
        std::array<uint8_t, 4> BrdColor{};
        uint8_t BrdSpace = 0;
        bool Merged = false;  // "\clmrg": joins the cell before
    };
    // The borders being read: of the paragraph template, or of the next cell
    // while a row is defined.
    struct TBorderTarget {
        uint16_t* Lines;
        uint8_t* Width;
        std::array<uint8_t, 4>* Color;
        uint8_t* Space;
    };
    TBorderTarget Borders();
    void SetBorder(int32_t Code, int32_t Value);
    void ClearBorder(const TBorderTarget& B) const;

    // A style of the stylesheet: the properties it sets, over those of the
    // style it is based on once the stylesheet is resolved.
    struct TRtReadStyleDef {
        int32_t Number = 0;
        bool CharStyle = false;
        AnsiString Name;
        bool NameDone = false;
        int32_t BasedOn = -1;
        int32_t Next = -1;
        TAttr Attr;
        int32_t FontPage = 0;   // of its font's bytes, as FontPage
        TParagraph Template;
        WrtStyle StyleBits;     // style bits it sets (on or off)
        uint32_t CharMask = 0;  // scFont, scSize, scColor, scBGColor
        uint32_t ParMask = 0;   // spIndentLeft ...
    };
    static constexpr uint32_t scFont = TRtParStyle::scFont, scSize = TRtParStyle::scSize,
                              scColor = TRtParStyle::scColor, scBGColor = TRtParStyle::scBGColor;
    static constexpr uint32_t spIndentLeft = TRtParStyle::spIndentLeft, spIndentRight = TRtParStyle::spIndentRight,
                              spIndentFirst = TRtParStyle::spIndentFirst, spSpaceBefore = TRtParStyle::spSpaceBefore,
                              spSpaceAfter = TRtParStyle::spSpaceAfter, spSpaceBetween = TRtParStyle::spSpaceBetween,
                              spAlign = TRtParStyle::spAlign, spShading = TRtParStyle::spShading,
                              spTabs = TRtParStyle::spTabs, spKeep = TRtParStyle::spKeep,
                              spBorders = TRtParStyle::spBorders;
    static uint32_t ParMaskOf(const TParagraph& Par);
    void BeginStyle();
    void EndStyle();
    void ResolveStyles();
    void ApplyStyle(int32_t Number);
    // Adds an object to the text and its mark character with attribute A; the reference, or null.
    TTextObj* AddObjectChar(std::unique_ptr<TRtObject> Obj, const TAttr& A);
    // Inserts a field object of the class registered for Name; false when there is none.
    bool InsertField(const AnsiString& Name, const AnsiString& Parameter, const TAttr& A);
    // The owner control's style collection; null when there is none.
    TRtCustomStyleCollection* StyleCollection() const;
    // Adds a paragraph style read to the collection; its index, -1 for a style without name.
    int32_t AddToCollection(TRtCustomStyleCollection& Collection, const TRtReadStyleDef& Def) const;
    // Marks the overrides of a paragraph read and maps its style to the collection.
    void MapParStyle(TParagraph& P);
    // A paragraph whose lines came with their stored widths keeps those line breaks.
    void KeepStoredBreaks(TParagraph& P) const;
    // The current paragraph has no characters yet.
    bool ParEmpty() const;
    void TakeParFormat(const TParagraph& Source);
    bool AtParStart() const;

    void BeginHeaderFooter(bool Footer, int32_t Letter);
    void EndHeaderFooter();
    void DropHeaderFooterCopies();
    void DeleteHeaderFooter(TRtSpecialTextProperty* Item);
    void EndInfoItem();
    void AddInfoChar(char32_t Ch);
    void BeginFootnote();
    void EndFootnote();
    void AddFootnoteChar(int32_t Ch);
    // A character beyond ASCII: kept as "\\u", whatever font the note shows.
    void AddFootnoteUnicode(char32_t Ch);
    void AddFootnoteNumber();
    void AddBookmarkMark();
    // The handlers of property words by concern; each is false for a word not its own.
    bool SetPictureProperty(int32_t Code, int32_t Value);
    void EndListLevel();
    AnsiString TextBetweenLevels(const AnsiString& Before) const;
    void CompleteNumbering();
    void SelectList(int32_t Override, int32_t Level);
    void SetListProperty(int32_t Code, int32_t Value);
    AnsiString FontNameOf(int32_t Index) const;

    // Reads the tokens, reporting progress every Step bytes from Start.
    void Run(int64_t Start, int32_t Step);
    void ReadRawCode(TRtfLexer& Lex);
    void FinishRead();
    void FinishLastParagraph();
    void HandleToken(const TRtfToken& t);
    void EndParagraph(int32_t Code);
    void FinishCell();
    void PlaceRow();
    int32_t RowShare(int64_t Boundary) const;
    void FinishRow();
    void BeginRowDef();
    void SetStyleBit(TOneWrtStyle Bit, bool On);
    bool SetCharProperty(int32_t Code, int32_t Value);
    // The character words by concern; each is false for a word not its own.
    bool SetCharStyleProperty(int32_t Code, int32_t Value);
    // Raw RTF code, insert points and their automatic text, numbering text.
    bool SetTextKindProperty(int32_t Code, int32_t Value);
    // "\plain", font, size and colours.
    bool SetFontProperty(int32_t Code, int32_t Value);
    bool SetParProperty(int32_t Code, int32_t Value);
    // The paragraph words by concern; each is false for a word not its own.
    bool SetParFormatProperty(int32_t Code, int32_t Value);
    // Of the paragraph template, or of the next cell while a row is defined.
    bool SetBorderOrShading(int32_t Code, int32_t Value);
    bool SetStyleProperty(int32_t Code, int32_t Value);
    // The stored line layout: line widths and page breaks.
    bool SetStoredLayoutProperty(int32_t Code, int32_t Value);
    // Paragraph ends, field characters and typographic characters.
    bool AddTextWord(int32_t Code, int32_t Value);
    bool SetTableProperty(int32_t Code, int32_t Value);
    void SetPageProperty(int32_t Code, int32_t Value);
    void EndFontEntry();
    void EndColorEntry();
    void AddUnicode(int32_t Value);
    // Adds S as hidden text with the attribute Like has otherwise.
    void AddHiddenText(const std::u32string& S, const TAttr& Like);
    // Adds a character where the destination keeps it: in the text in the
    // current font (see AddInFont), in a field instruction, the document
    // information or a footnote as the character; false when it cannot be kept.
    bool AddUnicodeChar(char32_t Ch);
    // Adds a character in the current font or, when its charset cannot hold
    // it, in the font's entry of a charset that can; its bytes go to the text
    // (ToText) or to the destination. False when no charset holds it.
    bool AddInFont(char32_t Ch, bool ToText);
    void AddInstructionChar(char32_t Ch);
    // The store slot of an RTF font number, -1 when the table has none.
    int32_t MapFont(int32_t Value) const;
    TRtCell* CellOf(TParagraph* P);
    int64_t TextWidth() const;
    uint8_t MapColor(int32_t Value) const;
    uint8_t FontCharset(int32_t FontIndex) const;

    TRtfDestination Dest = rdText;
    bool Ignorable = false;
    int32_t Depth = 0;
    int32_t SkippedDepth = 0; // groups beyond MaxGroupDepth still open
    int32_t NumberingDefs = 0; // open groups holding a "\pn" definition
    bool Started = false;
    bool Stop = false;
    bool LastParDone = false;
    TParagraph* FormatTakenBy = nullptr;  // the paragraph that took its format at a group end
    // An empty paragraph and the format in force when a group it began in closed.
    const TParagraph* EmptyFormatFor = nullptr;
    TParagraph EmptyFormat;
    std::vector<TGroup> Groups;
    uint8_t UnicodeSkip = 1;  // fallback characters after "\u"
    int32_t SkipChars = 0;    // fallback characters still to drop
    char16_t HighSurrogate = 0;  // first half of a surrogate pair
    int32_t UnicodeCharset = -1; // charset the last "\u" character switched to
    int32_t CodePage = 1252;     // the document's code page
    // Fonts whose bytes are in a code page no font charset has (Mac, DOS,
    // UTF-8): the RTF font number and the code page; the code page of the
    // current font (0: its charset's).
    std::unordered_map<int32_t, int32_t> FontPages;
    int32_t FontPage = 0;
    int32_t FontPageOf(int32_t Number) const;
    TPendingBytes FontBytes;
    // The characters of the bytes 0x80 to 0xFF in the code page CodePageCharsOf.
    std::array<char32_t, 128> CodePageChars{};
    std::optional<int32_t> CodePageCharsOf;
    char32_t CodePageChar(int32_t Page, uint8_t Byte);
    // A "*" that opens a group, and whether the token before opened one: a
    // "\\*" that lost its backslash when a destination word follows.
    bool StarPending = false;
    bool GroupStart = false;

    // Font table.
    std::unordered_map<int32_t, int16_t> FontMap;  // RTF font number -> store slot
    int32_t FontNr = -1;
    int32_t FontCharsetValue = -1;  // -1: the entry names no charset
    int32_t FontCodePageValue = 0;  // "\\cpg"; 0: none
    AnsiString FontName;
    // Colour table.
    int32_t Red = 0, Green = 0, Blue = 0;
    bool ColorSet = false;
    int32_t ColorCount = 0;

    // Pictures and binary data.
    std::unique_ptr<TMemoryStream> Picture;
    int32_t PicNibble = -1;
    struct TPictureDef {
        uint8_t Kind = 0;       // 0 WMF, 1 EMF, 2 DIB, 3 bitmap, 4 bitmap file, 5 PNG, 6 JPEG
        bool Program = false;   // "\\rtobject": the program's own object format
        bool Background = false;
        int32_t Width = 0, Height = 0, GoalWidth = 0, GoalHeight = 0;
        int32_t ScaleX = 100, ScaleY = 100;
        uint8_t Placement = 0;  // 0 in the text, 1 at the paragraph, 2 on the page
        int32_t X = 0, Y = 0;
        uint8_t Wrap = 0;
    };
    TPictureDef Pic;
    bool SkipNextPicture = false;
    // Fields.
    TFieldState Field;
    std::vector<TFieldState> OuterFields;  // fields whose result holds the one being read
    bool RawCode = false;         // raw RTF code is being read
    bool NumberText = false;      // "\rtnr": a paragraph's number follows, up to its tab
    bool Preformatted = false;    // the stored line layout is honoured
    bool LineBreakPending = false; // the next character starts a new line of the stored layout
    uint32_t LastInsertPoint = 0; // the insert point that automatic text belongs to

    // Row definition.
    std::vector<TCellDef> Cells;
    TCellDef PendingCell;  // properties for the next "\cellx"
    bool RowDefined = false;
    bool InRow = false;
    int32_t CellIndex = 0;
    int32_t SharesUsed = 0;
    int64_t RowZero = 0;   // the boundary at the left edge of the row's table
    int64_t RowScale = 0;  // the boundaries that its shares divide
    int32_t RowLeft = 0;
    int32_t RowGap = 0;
    int32_t RowAlign = 0;
    int32_t TableId = 0;
    TParagraph* LastCellPar = nullptr;

    // Lists: each list of the list table becomes a numbering group.
    std::unordered_map<int32_t, int32_t> GroupOfList;  // list id -> group
    std::vector<int32_t> Overrides;                     // list ids in the order of their overrides
    std::map<int32_t, int32_t> OverrideNumbers;         // list ids by the "\ls" number an override declares
    int32_t ListGroup = 0;        // group of the list being read
    int32_t ListLevel = 0;        // levels read in that list
    TLevelDef Level;              // the list level or "\pn" definition being read
    int32_t ParOverride = 0;      // "\ls" of the paragraph template
    int32_t ParListLevel = 1;     // "\ilvl" + 1
    bool SectionOutline = false;  // "\pnseclvl" levels were read

    // Headers and footers: the main text's write position while one is read.
    struct TSavedPosition {
        TParagraph* Paragraph = nullptr;
        TLine* Line = nullptr;
        int32_t CharsAdded = 0;
        int32_t ParNumber = 0;
        // Paragraphs the body's groups and rows refer to: a header's are freed with it.
        TParagraph* FormatTakenBy = nullptr;
        const TParagraph* EmptyFormatFor = nullptr;
        TParagraph EmptyFormat;  // a header's groups overwrite the reader's own
        TParagraph* LastCellPar = nullptr;
    };
    TSavedPosition MainPosition;
    TParagraph* HFChain = nullptr;     // first paragraph of the header or footer being read
    uint8_t HFKind = 0;                // page range of it
    bool HFFooter = false;
    uint8_t HFFallbackRead = 0;  // bit 1 header, 2 footer: all pages' one came from a lettered word
    std::vector<TRtSpecialTextProperty*> HFRead;  // the headers and footers this read added
    bool FacingPages = false, TitlePage = false, SpecialHF = false;
    // Document information and user properties.
    int32_t InfoIndex = 0;
    AnsiString InfoName, PropName;
    std::u32string InfoText;
    TPendingBytes InfoBytes;  // in the document's code page
    int32_t PropType = 0;
    // Bookmarks and footnotes.
    AnsiString BookmarkName;
    bool BookmarkEnd = false;
    // Bookmarks started and not yet ended: the name read, the name kept.
    std::vector<std::pair<AnsiString, AnsiString>> OpenBookmarks;
    int32_t FootnoteId = 0;
    int32_t FootnoteNr = 0;
    int32_t FootnoteCount = 0;  // automatic footnote numbers given so far
    const TLine* NumberLine = nullptr;  // the line and length right after the last of them
    int32_t NumberStart = 0;            // where the last of them starts in that line
    int32_t NumberEnd = 0;
    AnsiString FootnoteText;
    uint8_t FootnoteMark = 0;
    bool FootnoteStarted = false;
    // Program table definitions.
    AnsiString TableDefText;
    int32_t TableDefLeft = 0, TableDefRight = 0;
    bool TableFromDef = false;
    bool RowDefining = false;  // between "\trowd" and "\intbl": border words are the cell's
    bool BordersBetween = false;
    int32_t BorderSide = -1;   // side of the last border word: 0 left, 1 top, 2 right, 3 bottom, -1 all

    // Stylesheet.
    std::vector<TRtReadStyleDef> Styles;
    std::unordered_map<int32_t, size_t> StyleByNumber;  // paragraph styles
    TRtReadStyleDef NewStyle;
    int32_t StylesheetDepth = -1;  // group depth of the stylesheet; -1 outside
    int32_t PendingTabKind = 0;
};
