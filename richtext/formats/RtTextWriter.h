#pragma once
// TRtTextWriter: walks a range of a text paragraph by paragraph, line by line
// and run by run, calling a hook at each point; its own hooks write plain
// 8-bit text (the "ANSI" format).
#include "RtRtfTxtIo.h"

#include <string>
#include <vector>

class TRtTextWriter : public TRtCustomTextWriter {
public:
    LUMI_CLASSNAME(TRtTextWriter)
    TRtTextWriter() = default;

    // Takes the text, the range and the options from the store.
    void Setup(const TRtWriterSetup& S) override;
    // The store's steps: start (stream), body (walk), end (trailer).
    int32_t WriteStart() override { return SetStream(Stream); }
    int32_t WriteBody() override { return WriteDocument(); }
    int32_t WriteEnd() override { return WriteTrailer(); }

    virtual int32_t SetStream(TStream* S);
    virtual int32_t WriteDocument();
    virtual int32_t WriteTrailer();

    // The range; set by the store before writing.
    TRtRTFText* Text = nullptr;
    TParagraph* FirstPar = nullptr;
    TParagraph* LastPar = nullptr;  // none: to the end
    TLine* StartLine = nullptr;
    int32_t StartPos = 0;
    TLine* EndLine = nullptr;
    int32_t EndPos = 0;
    bool SkipInsertPointText = false;
    bool SkipAutomaticText = false;
    bool SkipHiddenText = false;
    bool NoTerminator = false;
    bool RangeWithHeaderFooter = false;  // the store asks for headers and footers with a range

protected:
    virtual int32_t WriteAttr() { return 0; }
    virtual int32_t WriteChars(int32_t Count);
    virtual int32_t WriteLine(int32_t EndPos, int32_t StartPos);
    virtual int32_t WriteLineEnd();
    virtual int32_t WriteParEnd();
    virtual int32_t WriteLineStart() { return 0; }
    virtual int32_t WriteParStart();
    // A reference marker: Kind 1 point, 2 start, 3 end.
    virtual int32_t WriteReference(int32_t Kind, TTextObj* Ref) { return 0; }
    virtual int32_t WriteObject(TTextObj* Ref) { return 0; }
    // The footnote mark at CurPos, FootnoteMarkLength characters long.
    virtual int32_t WriteFootnote() { return 0; }
    // Clear the automatic-text and the pending-"\pard" state (the RTF writer keeps them).
    virtual void ClearAutomatic() {}
    virtual void ClearPardPending() {}

    // Writes the bytes; 0, or 5 (and the status set) on a short write.
    int32_t Put(const void* Data, size_t Count);
    int32_t Put(const std::string& S) { return Put(S.data(), S.size()); }
    TStoreOptions Options() const;
    // The hyperlink's target: the hidden text after the link text from the
    // current position, or the link text itself; each character as its font's
    // charset has it.
    std::u32string HyperlinkTarget() const;

    TParagraph* CurPar = nullptr;
    TLine* CurLine = nullptr;
    int32_t CurPos = 0;       // index of the run's first character in CurLine
    TAttr CurAttr;
    bool NextParFollows = false;
    bool SingleCell = false;
    int64_t CharsWritten = 0;
    std::vector<int32_t> OpenBookmarks;  // bookmarks started and not yet ended
    int32_t FootnoteMarkLength = 0;

private:
    uint32_t MarkTag = 0;  // the footnote whose mark the last characters written were
    int32_t WriteMarker(uint8_t Ch);
};

// Plain text as UTF-8 (the "UTF8" format of the clipboard and text exchange):
// each run's bytes read by its font's charset.
class TRtUtf8TextWriter : public TRtTextWriter {
public:
    LUMI_CLASSNAME(TRtUtf8TextWriter)
    int32_t WriteChars(int32_t Count) override;
};
