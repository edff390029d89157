#pragma once
// TRtTextFinder: searches a text store for a pattern, forwards or backwards,
// paragraph by paragraph, with options for case, whole words, a wildcard,
// skipped styles and character attributes, and replaces matches. Positions
// are absolute character positions (every paragraph end counts 1).
#include "RtRtfTxt.h"

#include <atomic>
#include <functional>
#include <vector>

// AttrMask bits: which attribute properties must match.
constexpr uint16_t fmSameFont = 0x0001, fmSameSize = 0x0002, fmBold = 0x0004, fmUnderline = 0x0008,
                   fmHidden = 0x0010, fmItalic = 0x0020, fmHyperlink = 0x0040, fmBookmark = 0x0080,
                   fmSameColor = 0x0100, fmSameBGColor = 0x0200, fmObject = 0x0400, fmInsertpoint = 0x0800,
                   fmFootnote = 0x1000;

class TRtTextFinder : public TObject {
public:
    LUMI_CLASSNAME(TRtTextFinder)
    TRtTextFinder() = default;
    ~TRtTextFinder() override;
    TRtTextFinder(const TRtTextFinder&) = delete;
    TRtTextFinder& operator=(const TRtTextFinder&) = delete;

    int32_t FoundPosition = 0;
    int32_t FoundLength = 0;
    int32_t ParStartPosition = 0;
    bool Found = false;
    bool Backwards = false;
    AnsiString Pattern;
    AnsiString LastReplaceText;
    TAttr FoundAttr;
    uint16_t AttrMask = 0;
    TAttr CompareAttr;
    int32_t CompareObjectId = 0;
    bool MatchCase = false;
    char Wildcard = 0;
    char WordEnd = 0;
    bool WordMode = false;
    bool BlankDelimiters = false;
    bool StopAtHiddenAndObjects = false;
    bool WholeWord = false;
    WrtStyle SkipStyles;
    TTextHeader* Header = nullptr;
    TRtRTFText* Text = nullptr;
    TParagraph* FirstPar = nullptr;
    TParagraph* CurrentPar = nullptr;
    int32_t CurrentIndex = 0;
    int32_t ReplaceCount = 0;
    bool NoReposition = false;

    // Replace-all runs in the user interface thread: every 30 replacements it
    // calls OnPollEvents (the owner lets its event loop run there) and stops
    // when CancelRequested has been set meanwhile, e.g. by an Escape key handler.
    std::function<void()> OnPollEvents;
    std::atomic<bool> CancelRequested{false};

    // Binds the finder to a text and resets it.
    void SetText(TRtRTFText* Value);

    virtual int32_t SetStartPosition(int32_t Pos);
    virtual bool ScanForward(const AnsiString& APattern);
    virtual bool ScanBackward(const AnsiString& APattern);
    virtual bool CharMatches(uint8_t PatternChar, uint8_t TextChar, const TAttr* PatternAttr, const TAttr* TextAttr);
    virtual bool IsDelimiter(uint8_t Ch);
    virtual bool FindNext(const AnsiString& APattern);
    virtual int32_t ReplaceAll(const AnsiString& APattern, const AnsiString& NewText);
    virtual bool FindPrior(const AnsiString& APattern);
    virtual void Clear();

    void Reset();
    void SetPosition(int32_t Pos) { SetStartPosition(Pos); }
    int32_t GetFoundPosition() const { return Found ? FoundPosition : 0; }
    int32_t GetFoundLength() const { return Found ? FoundLength : 0; }
    void GetFoundText(AnsiString& S) const;
    // False when nothing is found or the match holds protected characters.
    bool ReplaceFound(const AnsiString& NewText);

private:
    // One character of the paragraph being scanned (skipped styles left out).
    struct TScanChar {
        uint8_t Ch;
        const TAttr* Attr;
        int32_t Offset;   // offset in the paragraph
    };
    struct TRange {
        int32_t From = 0;   // index into chars_
        int32_t To = 0;     // one past the last
    };
    void LoadParagraph(TParagraph* Par);
    int32_t IndexAtOffset(int32_t Offset) const;
    // The start of a scan for APattern: no result yet; the pattern split at its wildcard.
    void BeginScan(const AnsiString& APattern, AnsiString& Head, AnsiString& Tail);
    bool SegmentAt(const AnsiString& Segment, int32_t Start, int32_t& End);
    bool WordAt(int32_t Start, TRange& R);
    bool MatchIn(const AnsiString& Head, const AnsiString& Tail, int32_t From, bool Forward, TRange& R);
    void Accept(const TRange& R);

    std::vector<TScanChar> chars_;
};
