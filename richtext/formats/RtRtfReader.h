#pragma once
// TRtRtfReader: reads RTF into a text store.
#include "RtTextReader.h"
#include "RtfLexer.h"

#include <array>
#include <memory>
#include <vector>

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

    int32_t Parse(TStream* Stream, TParagraph*& FirstPar) override;

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
    virtual void ReadPictureData();
    virtual void ParseFieldInstruction();

private:
    struct TGroup {
        TAttr Attr;
        TParagraph Template;
        TRtfDestination Dest = rdText;
        uint8_t UnicodeSkip = 1;
        bool InRow = false;
        bool FieldResult = false;
    };
    struct TCellDef {
        int32_t Right = 0; // twips
        uint8_t Borders = 0;
        uint8_t BorderWidth = 0;
        uint8_t VertAlign = 0;
        uint8_t Shading = 0;
        uint8_t PatColor = 0;
        uint8_t BGColor = 0;
        int32_t Skip = 0;  // merged cells that follow
    };

    void Run();
    void FinishRead();
    void HandleToken(const TRtfToken& t);
    void EndParagraph(int32_t Code);
    void FinishCell();
    void FinishRow();
    void BeginRowDef();
    void SetStyleBit(TOneWrtStyle Bit, bool On);
    void SetCharProperty(int32_t Code, int32_t Value);
    void SetParProperty(int32_t Code, int32_t Value);
    void EndFontEntry();
    void EndColorEntry();
    void AddUnicode(int32_t Value);
    void AddHiddenText(const AnsiString& S);
    TRtCell* CellOf(TParagraph* Par);
    int32_t TextWidth() const;
    uint8_t MapColor(int32_t Value) const;
    uint8_t FontCharset(int32_t FontIndex) const;

    TRtfDestination Dest = rdText;
    bool Ignorable = false;
    int32_t Depth = 0;
    int32_t SkippedDepth = 0; // groups beyond MaxGroupDepth still open
    bool Started = false;
    bool Stop = false;
    std::vector<TGroup> Groups;
    uint8_t UnicodeSkip = 1;  // fallback characters after "\u"
    int32_t SkipChars = 0;    // fallback characters still to drop
    bool HighSurrogate = false;
    int32_t PageCount = 0;

    // Font table.
    std::array<int16_t, 255> FontMap{};
    std::array<bool, 255> FontSymbol{};
    int32_t FontNr = -1;
    int32_t FontCharsetValue = 0;
    AnsiString FontName;
    // Colour table.
    int32_t Red = 0, Green = 0, Blue = 0;
    bool ColorSet = false;
    int32_t ColorCount = 0;

    // Pictures and binary data.
    std::unique_ptr<TMemoryStream> Picture;
    int32_t PicNibble = -1;
    // Fields.
    AnsiString FieldInst;
    TAttr FieldAttr;
    bool FieldHyperlink = false;
    AnsiString FieldTarget;
    AnsiString FieldResult;

    // Row definition.
    std::vector<TCellDef> Cells;
    bool RowDefined = false;
    bool InRow = false;
    int32_t CellIndex = 0;
    int32_t SharesUsed = 0;
    int32_t RowLeft = 0;
    int32_t RowGap = 0;
    int32_t RowAlign = 0;
    int32_t TableId = 0;
    TParagraph* LastCellPar = nullptr;
    int32_t PendingTabKind = 0;
};
