#pragma once
// A small line-oriented regular-expression engine. Its main use is the file
// list's name filter: file masks separated by ";" become one pattern that
// every name is tested against.
#include "Classes.h"
#include "SsBase.h"

#include <memory>
#include <vector>

enum TSsTokenKind : uint8_t {
    tkStart = 0,      // start of every list, matches empty
    tkLiteral = 1,
    tkClass = 2,      // [..]
    tkNegClass = 3,   // [^..], never CR or LF
    tkClosure = 4,    // * (and the second half of +)
    tkOptional = 5,   // ?
    tkAnyChar = 6,    // ., never CR or LF
    tkBegOfLine = 7,  // ^
    tkEndOfLine = 8,  // $ before CR LF
    tkGroup = 9,      // ( .. )
    tkBegTag = 10,    // {
    tkEndTag = 11,    // }, also matches at the end of the text
};

// One pattern token. Closures stand before their operand.
struct TSsToken {
    std::unique_ptr<AnsiString> ClassText;  // characters of a class, or nil
    TSsToken* Nested = nullptr;             // first token of a group's list
    TSsToken* Next = nullptr;
    TSsTokenKind Kind = tkStart;
    uint8_t Ch = 0;
    bool Alternative = false;               // an alternative follows
};

// Hands out tokens and takes them back for reuse; it owns every token it made.
class TSsNodeHeap {
public:
    TSsToken* New();
    // Back to the free list (with the tokens that hang off it).
    void FreeList(TSsToken* first);
    // Releases the blocks on the free list.
    void Clear();
    // Deep copy of a token with what hangs off it.
    TSsToken* Copy(const TSsToken* token);
    size_t Allocated() const { return blocks_.size(); }
    size_t FreeCount() const { return free_.size(); }
private:
    void Release(TSsToken* t);
    std::vector<std::unique_ptr<TSsToken>> blocks_;
    std::vector<TSsToken*> free_;
};

// Position of a match: 1-based start, end and length.
struct TSsMatchPosition {
    int32_t StartPos = 0;
    int32_t EndPos = 0;
    int32_t Length = 0;
};

// Output option bits.
constexpr uint8_t ooUnselected = 1;  // write the lines that are not selected
constexpr uint8_t ooCountOnly = 4;   // count only, write nothing

// Line terminators of the output: 0 fixed-length lines, 1 CR, 2 LF,
// 3 CR LF, 4 the configured character.
enum TSsLineTerminator : uint8_t { ltNone = 0, ltCR = 1, ltLF = 2, ltCRLF = 3, ltOther = 4 };

class TSsStreamRegEx : public TObject {
public:
    LUMI_CLASSNAME(TSsStreamRegEx)
    TSsStreamRegEx();
    ~TSsStreamRegEx() override;

    bool Avoid = false;
    bool IgnoreCase = false;
    bool LineNumbers = false;
    uint8_t OutputOptions = 0;
    int32_t MaxLineLength = 1024;
    char OutLineTermChar = '\n';
    TSsLineTerminator OutLineTerminator = ltCRLF;
    int32_t OutFixedLineLength = 80;
    TStringList MatchPattern;
    TStringList SelAvoidPattern;
    TStream* OutputStream = nullptr;  // not owned
    int32_t LinesMatched = 0;
    int32_t LinesSelected = 0;

    bool SetFileMasks(const AnsiString& masks);
    bool CheckString(const AnsiString& text, TSsMatchPosition& position);
    // Selects, tests and (outside check-only mode) writes one line; the
    // line holds its CR LF.
    bool ProcessLine(const AnsiString& line, TSsMatchPosition& position, bool checkOnly,
                     int32_t lineNumber);
    bool HasMatchPattern() const { return matchList_ != nullptr; }

private:
    // Compiles a pattern text; raises the pattern's error and leaves nil.
    TSsToken* Compile(const AnsiString& text);
    TSsToken* MakePattern(const AnsiString& p, size_t& i, bool inGroup, bool& inTag);
    void ParseClass(const AnsiString& p, size_t& i, TSsToken* t);
    void SetClassText(TSsToken* t, const AnsiString& chars);
    bool Find(TSsToken* list, const AnsiString& text, TSsMatchPosition& pos) const;
    int MatchList(const TSsToken* t, const AnsiString& s, int pos) const;
    int MatchToken(const TSsToken* t, const AnsiString& s, int pos) const;
    void WriteLine(const AnsiString& text);
    void ReleasePatterns();

    TSsNodeHeap heap_;
    TSsToken* matchList_ = nullptr;
    TSsToken* avoidList_ = nullptr;
};

// Converts one file mask into a pattern: "*.jpg" -> "(.*\.jpg\n)".
AnsiString MaskToPattern(const AnsiString& mask);

// The caller's front: its settings are copied to the engine before each use.
class TSsRegEx : public TObject {
public:
    LUMI_CLASSNAME(TSsRegEx)
    TSsRegEx();
    bool Avoid = false;
    bool IgnoreCase = false;
    bool LineNumbers = false;
    uint8_t OutputOptions = 0;
    TStringList MatchPattern;
    TStringList SelAvoidPattern;

    bool SetFileMasks(const AnsiString& masks);
    bool CheckString(const AnsiString& text, TSsMatchPosition& position);

private:
    void CopySettings();
    std::unique_ptr<TSsStreamRegEx> engine_;
};
