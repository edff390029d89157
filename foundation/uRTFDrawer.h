#pragma once
// The small rich-text engine of text elements: turns a subset of RTF (font and
// colour tables, bold, italic, underline, strike-out, font, size and colour,
// hidden text, paragraphs and line breaks, alignments, fields, list labels and
// table cells as tab-separated lines) into runs measured in millimetres from the
// font cache's design widths, word-wraps them for a box width and draws them
// on a draw context.
#include "AnsiString.h"
#include "Graphics.h"
#include "Object.h"

#include <cstdint>
#include <memory>
#include <vector>

class TDrawContext;
class TRTFParser;

// Kinds of runs.
constexpr uint8_t rtkWord = 0;
constexpr uint8_t rtkSpace = 1;      // a space or a break opportunity
constexpr uint8_t rtkParagraph = 2;  // paragraph end
constexpr uint8_t rtkAlignment = 4;  // alignment change
constexpr uint8_t rtkField = 5;

// Alignments: horizontal 0 left, 1 centre, 2 right, 3 justify; vertical 0 top,
// 1 centre, 2 bottom.
class TRTFToken : public TObject {
public:
    LUMI_CLASSNAME(TRTFToken)
    float Width = 0;   // mm
    float Height = 0;  // mm, line height of its font
    float Ascent = 0;  // mm
    int32_t DeviceHeight = 0;  // device pixels, filled while drawing
    int32_t DeviceAscent = 0;
    uint8_t Kind = rtkWord;
    AnsiString Text;
    AnsiString FieldCode;
    AnsiString FontName;
    int32_t Size = 0;  // points
    TFontStyles Style = 0;
    TColor Color = clBlack;
    TFontCharset Charset = DEFAULT_CHARSET;
    uint8_t Alignment = 0;
    std::vector<float> CharRight;  // right edge of each character in mm, cumulative

    void SetFont(const TFont& Font);
    // Gives Font the run's format ("Default" becomes "Arial"); a font that
    // already has it is left untouched.
    void AssignToFont(TFont& Font) const;
};

class TRTFLine : public TObject {
public:
    LUMI_CLASSNAME(TRTFLine)
    float Height = 0;  // mm, the tallest run
    float Ascent = 0;  // mm, the largest run ascent
    int32_t DeviceAscent = 0;
    float Width = 0;  // mm, sum of the run widths
    int32_t SpaceCount = 0;  // spaces, widened when the line is justified
    bool ParagraphEnd = false;
    int32_t First = 0;  // run indexes, inclusive
    int32_t Last = 0;
    uint8_t Alignment = 0;
};

// One font table entry: its name and character set under its font number.
struct TRTFFontEntry {
    AnsiString Name;
    int32_t Number = 0;
    TFontCharset Charset = DEFAULT_CHARSET;
};

// One colour table entry: "red green blue" and the colour.
struct TRTFColorEntry {
    AnsiString Text;
    TColor Color = clBlack;
};

class TRTFBasicDrawer : public TObject {
public:
    LUMI_CLASSNAME(TRTFBasicDrawer)
    TRTFBasicDrawer();
    ~TRTFBasicDrawer() override;

    // Replaces the text: parses it into measured runs and fires OnChange.
    // Malformed RTF raises the parser's exceptions and leaves no runs behind.
    virtual void SetRTFText(const AnsiString& Text);
    virtual void Clear();
    virtual void MeasureTokens(int PixelsPerInch);

    const AnsiString& RTFText() const { return RTFText_; }
    int TokenCount() const { return int(Tokens.size()); }
    TRTFToken* GetToken(int Index) const;
    const std::vector<TRTFFontEntry>& FontTable() const { return FontTable_; }
    const std::vector<TRTFColorEntry>& ColorTable() const { return ColorTable_; }

    TNotifyEvent OnChange;
    // Every character becomes a run of its own.
    bool PerCharacter = false;

protected:
    std::vector<std::unique_ptr<TRTFToken>> Tokens;

private:
    struct TRTFSave {
        AnsiString FontName;
        int32_t Size;
        TFontStyles Style;
        TColor Color;
        TFontCharset Charset;
        bool Hidden;
    };

    void ResetParseState();
    void DoText(TObject* Sender, const AnsiString& Text);
    void DoControl(TObject* Sender, const AnsiString& Word, bool HasParam, int32_t Param);
    void DoGroup(TObject* Sender);
    void AddToken(uint8_t Kind, const AnsiString& Text);
    void AddWord(const AnsiString& Word);
    void AddText(const AnsiString& Text);
    void SelectFont(int32_t Number);
    TColor TableColor(int32_t Index) const;
    void ResetCharacterFormat();
    void EndCell();
    void EndRow();
    void EndLabel();

    AnsiString RTFText_;
    std::vector<TRTFFontEntry> FontTable_;
    std::vector<TRTFColorEntry> ColorTable_;
    TFont Font;  // the current character format
    bool Hidden = false;  // hidden text ("\\v") is not drawn
    int32_t LastDepth = 0;
    int32_t Red = 0, Green = 0, Blue = 0, FontNumber = 0;
    int32_t Charset = 0;
    int32_t DefaultFont = 0;
    int32_t Destination = 0;  // 0 text, 1 font table, 2 colour table, 3 field
    int32_t SkipDepth = 0;
    bool Skipping = false;
    bool InFieldInstruction = false;
    int32_t DestinationDepth = 0;
    // A list label ("listtext", "pntext" group): the depth of the open one; the runs of the
    // last one, which take the format of the first characters of their paragraph.
    int32_t LabelDepth = 0;
    size_t LabelFirst = 0, LabelEnd = 0;
    // The run that ends the last table cell, -1 when none.
    int32_t CellEnd = -1;
    std::vector<TRTFSave> SaveStack;
    TRTFParser* Parser = nullptr;  // during a parse
};

class TRTFDrawer : public TRTFBasicDrawer {
public:
    LUMI_CLASSNAME(TRTFDrawer)
    void SetRTFText(const AnsiString& Text) override;
    void Clear() override;

    void LayoutLines(float Width);
    // Draws into the box W x H centred on (CX, CY), in page units.
    void Draw(TDrawContext& DC, uint8_t HorzAlign, float CX, float CY, float W, float H,
              uint8_t VertAlign);

    int LineCount() const { return int(Lines.size()); }
    TRTFLine* GetLine(int Index) const;
    double LayoutWidth() const { return LayoutWidth_; }
    float TotalHeight() const { return TotalHeight_; }

private:
    void AddLine(int First, int Last, uint8_t Alignment);

    std::vector<std::unique_ptr<TRTFLine>> Lines;
    double LayoutWidth_ = -1;
    float TotalHeight_ = 0;
};
