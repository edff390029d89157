#pragma once
// TRtRTFWriter: writes a text, or a range of it, as RTF.
#include "RtTextWriter.h"

#include <array>
#include <string>
#include <vector>

class TRtSpecialTextProperty;

class TRtRTFWriter : public TRtTextWriter {
public:
    LUMI_CLASSNAME(TRtRTFWriter)
    TRtRTFWriter() = default;

    void Reset() override;
    int32_t SetStream(TStream* S) override { return WriteHeader(S); }
    // The prolog: font and colour tables, page format.
    int32_t WriteHeader(TStream* S);
    int32_t WriteDocument() override;
    int32_t WriteTrailer() override;

protected:
    int32_t WriteAttr() override;
    int32_t WriteChars(int32_t Count) override;
    int32_t WriteLineEnd() override;
    int32_t WriteParEnd() override;
    int32_t WriteParStart() override;
    int32_t WriteReference(int32_t Kind, TTextObj* Ref) override;
    int32_t WriteFootnote() override;
    int32_t WriteObject(TTextObj* Ref) override;
    void ClearAutomatic() override { AutomaticOn = false; }
    // The paragraph words in force are taken as known: no "\pard" is put before the next ones.
    void ClearPardPending() override
    {
        if (!Groups.empty())
            Groups.back().Known = true;
    }

private:
    // Appends to the buffer; Flush writes it out.
    void Add(const char* S) { Buf += S; }
    void Add(const std::string& S) { Buf += S; }
    void AddWord(const char* Word, int32_t Value);
    // The colour of the shading pattern's lines, when the paragraph has one.
    void AddPatternColor(const char* Word, const TParagraph& P);
    int32_t Flush();
    // A byte as RTF text: braces and backslashes escaped, bytes outside
    // printable ASCII as "\'hh".
    void AddEscapedChar(uint8_t C);
    void AddHexByte(uint8_t C);  // "\'hh"
    void AddEscaped(const AnsiString& S);
    // Characters beyond ASCII as "\\u" with "?" for readers without it.
    void AddEscaped(std::u32string_view S);
    // The row definition starting at a row's first cell.
    std::string RowDefinition(TParagraph* FirstCell);
    // A paragraph's properties that "\pard" resets and no group of its own
    // holds, but for those of SpacingWords.
    std::string ParagraphWords(const TParagraph& P, int32_t Style, const TRtRTFNumberingStyle* Numbering);
    std::string TabWords(const TParagraph& P) const;
    // Alignment, indents and spacing before and after: the words that
    // override those in force.
    std::string SpacingWords(const TParagraph& P);
    void PushGroup(uint8_t Kind, const std::string& State);
    // Closes the groups from Index up, each with "}".
    void PopGroups(size_t Index);
    // The index of the topmost group of a kind; npos when none is open.
    size_t FindGroup(uint8_t Kind) const;
    // Border words of a border record; Cell selects the "\clbrdr" forms.
    void AddBorders(uint16_t Lines, uint8_t Width, const std::array<uint8_t, 4>& Colors, uint8_t Space, bool Cell);
    void AddInfo();
    // The parts of the prolog: font and colour tables (and the maps into them), page format.
    void AddFontTable();
    void AddColorTable();
    void AddPageFormat();
    // Bytes as "\\bin" and the raw bytes, or as lower-case hexadecimal.
    void AddData(const TMemoryStream& Data, bool Binary);
    void AddListTable();
    // The style of a level of an outline group; null when the group has none.
    const TRtRTFNumberingStyle* OutlineStyle(int32_t Group, int32_t Level) const;
    // A numbering style's kind, start, font, indent and texts, as "\\pn" groups take them.
    void AddNumberingText(const TRtRTFNumberingStyle& Style);
    // Whether a paragraph, header, footer or style uses a list, by numbering group.
    std::vector<bool> UsedLists(int32_t GroupCount) const;
    // A level of a list: the style of level Level (1 to 9) of its group.
    void AddListLevel(const TRtRTFNumberingStyle& St, int32_t Level);
    // The owner control's style collection; null when there is none.
    TRtCustomStyleCollection* StyleCollection() const;
    // Appends a style of the collection to the written order.
    void UseStyle(int32_t Index);
    void AddStyleSheet();
    void AddStyleEntry(const TRtParStyle& Style, int32_t Number);
    // The "\s" number of a paragraph's style; 0 none or not written.
    int32_t StyleNumberOf(const TParagraph* P) const;
    // The numbering words of a paragraph or style; Number, when given, is
    // written first as the compatibility text.
    void AddNumbering(const TParagraph& P, const TRtRTFNumberingStyle* st);
    void AddNumberText(const TParagraph& P, const TRtRTFNumberingStyle* st, const AnsiString& Number);
    // The font number that a paragraph's number text is written in.
    uint8_t NumberFont(const TParagraph& P, const TRtRTFNumberingStyle* st);
    int32_t WriteHeadersAndFooters();
    // A place of a header or footer ("\headerf" ...) and the text it holds.
    struct THeaderFooterPlace {
        const char* Word;
        TRtSpecialTextProperty* Item;
    };
    // Writes the words of the page ranges in use; the places to fill, in their order.
    std::vector<THeaderFooterPlace> HeaderFooterPlaces();
    // One header or footer in its group, through the text writer's walk.
    int32_t WriteHeaderFooter(const char* Word, TRtSpecialTextProperty& Item);
    // Information values: "\", "{" and "}" escaped, bytes below 33 as "\'hh".
    // Bytes of Charset; those of another charset than Western as "\\u".
    void AddInfoValue(const AnsiString& S, int32_t Charset = 0);
    uint8_t FontNr(const AnsiString& Name);
    int32_t CloseHyperlink();
    // Starts the insert point Id: a merge field, or "\inspnt" for one without a name.
    void OpenInsertPoint(int32_t Id);
    // Ends a merge field, an insert point's automatic text or free automatic text.
    void CloseMergeField();
    void CloseRtfCode();
    // Ends what a paragraph, header or document leaves open: RTF code, a link, a field.
    void CloseOpenCodes();

    // Sets the buffer aside while words are built in it; Take returns them and
    // puts the buffer back.
    class TCollect {
    public:
        explicit TCollect(std::string& Buffer) : Buf(Buffer) { std::swap(Buf, Outer); }
        ~TCollect() { Take(); }
        std::string Take()
        {
            if (Taken)
                return {};
            Taken = true;
            std::swap(Buf, Outer);
            return std::move(Outer);
        }

    private:
        std::string& Buf;
        std::string Outer;
        bool Taken = false;
    };
    std::string Buf;
    std::array<uint8_t, 256> FontMap{};
    std::array<uint8_t, 256> ColorMap{};
    // The groups the writer opened and closes itself, innermost last; each
    // holds the words it put in force (a paragraph or row group: the
    // paragraph words since its last "\pard").
    enum : uint8_t { gkParagraph = 0, gkTabs = 1, gkRow = 2, gkBorders = 3, gkKeepNext = 5 };
    struct TGroupState {
        uint8_t Kind;
        std::string State;
        bool Known; // the state is what the words say; false: "\pard" needed
    };
    std::vector<TGroupState> Groups;
    // A paragraph's start: in a cell, whose row may open a group first, or outside tables.
    // True when it wrote the break before the paragraph (BreakBefore) ahead of the row.
    bool StartCellParagraph(TParagraph* P, const std::string& Words, bool BreakBefore);
    void OpenRowGroup(int32_t TableId, const std::string& RowDef, bool BreakBefore);
    void StartBodyParagraph(const TParagraph& P, const std::string& Words);
    // The paragraph words in Group, after Before; Fresh: a "\pard" was just written.
    void AddParagraphWords(TGroupState& Group, const char* Before, const TParagraph& P, const std::string& Words,
                           bool Fresh);
    bool HyperlinkOpen = false;
    bool SuppressHidden = false;
    bool PlainWritten = false;
    bool ListTableWritten = false;
    // The override number ("\\ls") of each written list, by numbering group.
    std::vector<int32_t> ListNumbers;
    bool MergeFieldOpen = false;      // a merge field or numbered insert point is being written
    bool InsertPointPending = false;  // ... a numbered one ("\\inspnt")
    bool AutomaticOn = false;         // automatic text is being written
    bool InHeaderFooter = false;
    bool RtfCodeOpen = false;         // a run of raw RTF code is being written
    int32_t LastTableId = 0;
    std::string LastRowDef;  // the row definition in force; empty outside a table
    std::vector<int32_t> StyleNumbers;  // per style of the collection: its "\s" number, 0 not written
    std::vector<int32_t> StyleOrder;    // the written order
    bool PrevParStyled = false;
    bool TabSeen = false;        // the paragraph has had a tab character
    bool LineLayout = false;     // "\rtlin" after every line
    bool PageBreakInfo = false;  // "\rtnpage" after a line that ends a page
};
