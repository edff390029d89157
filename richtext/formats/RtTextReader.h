#pragma once
// TRtTextReader: reads plain 8-bit text into a text store as paragraphs,
// lines and character attributes; the base of the RTF reader.
#include "RtReadBuffer.h"
#include "RtRtfTxtIo.h"

#include <array>
#include <string_view>

class TRtTextReader : public TRtCustomTextReader {
public:
    LUMI_CLASSNAME(TRtTextReader)
    TRtTextReader() { EscapeChar = '\\'; }

    // Takes the target text, its header, the attribute and the paragraph to
    // read into from the loader.
    void Setup(const TRtReaderSetup& S) override;
    bool HandleEscapeChar() override;
    bool ProcessChar(uint8_t Ch) override;
    bool AddTextChar(uint8_t Ch) override;
    bool AppendChar(uint8_t Ch) override;
    void SetStream(TStream* Stream) override;
    // Runs Parse on the stream.
    int32_t ReadStream(TStream* Stream) override;
    // Reads the whole stream; returns 0 and the first paragraph read into.
    virtual int32_t Parse(TStream* Stream, TParagraph*& firstParagraph);

    // The target (Text, Header), the paragraph read into (Par; none: a new
    // one is inserted first), the attribute of new characters (Attr) and the
    // paragraph event are the base's, set by the loader before Parse.
    bool Collapse = false;   // runs of white space become one blank
    int32_t LineCapacity = 60;
    TParagraph ParTemplate;  // properties every new paragraph starts with

protected:
    int ReadChar() { return In.ReadChar(); }
    void UnreadChar() { In.UnreadChar(); }
    int64_t StreamPosition() const { return In.StreamPosition(); }
    // Inserts the first paragraph when there is none and points the write
    // cursor at it; checks the target.
    TParagraph* StartParse(TStream* Stream, int32_t Capacity);
    void NewParagraph();
    void TrimLines();
    // Points the write cursor at the paragraph's first line.
    void BeginParagraph(TParagraph* P);
    // Adds one character with the attribute at the write cursor; a full line
    // continues in a new line of the same paragraph.
    void PutChar(uint8_t Ch, const TAttr& Attr);
    // Inserts a reference character (1 point, 2 start, 3 end) for a text code
    // of sub-kind SubKind (1 bookmark, 3 page reference); returns the reference id.
    int32_t InsertTextObject(uint8_t SubKind, uint32_t Tag, bool withEnd, bool isEnd,
                             const AnsiString& Name, const AnsiString& Command);
    void CountParagraph();
    // Adds the character Chars[0] in the attribute's font or, when its charset
    // cannot hold it, in the entry of the font's name with a charset that can
    // (the rest of Chars helps choose it); new text stays in that font. False
    // when no charset holds the character.
    bool AppendUnicode(std::u32string_view Chars);

    TRtReadBuffer In;
    TLine* CurLine = nullptr;
    uint8_t Pending = 0;
    bool Hyphen = false;
    bool AfterCR = false;  // the last character was a carriage return
    int32_t CharsAdded = 0;
    std::array<uint8_t, 255> ColorMap{};
};

// Copies the format of Source into Dest, keeping Dest's links, lines, cell
// record, objects and numbers.
void AssignParFormat(TParagraph& Dest, const TParagraph& Source);
