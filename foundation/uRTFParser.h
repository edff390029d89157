#pragma once
// Tokenizer of the small RTF engine: reads RTF bytes from a stream and reports
// text runs, control words and group boundaries through three events. It keeps
// the group nesting, decodes escaped characters and drops the contents of the
// destinations of its skip list. What the words mean is up to the listener.
#include "AnsiString.h"
#include "Classes.h"
#include "Object.h"
#include "SysUtils.h"

#include <cstdint>
#include <functional>
#include <vector>

LUMI_EXCEPTION(RTFParseException, Exception)

using TRTFTextEvent = std::function<void(TObject* Sender, const AnsiString& Text)>;
using TRTFControlEvent =
    std::function<void(TObject* Sender, const AnsiString& Word, bool HasParam, int32_t Param)>;

class TRTFParser : public TObject {
public:
    LUMI_CLASSNAME(TRTFParser)
    TRTFParser();

    // Reads the stream from its position to its end, firing the events.
    // An unbalanced "}" raises RTFParseException "StackUnderflow"; a "\'"
    // escape with non-hexadecimal digits raises EConvertError.
    void Parse(TStream& Stream);

    // The current group nesting depth (valid inside the events).
    int32_t Depth() const { return Depth_; }

    TRTFTextEvent OnText;
    TRTFControlEvent OnControl;
    TNotifyEvent OnGroup;

private:
    struct TGroupSave {
        uint8_t State;
        bool Skipping;
    };

    void AddChar(char C);
    void Flush();
    void ReadControl(const std::vector<char>& Buf, size_t& Pos);
    void HandleControl(const AnsiString& Word, bool HasParam, int32_t Param);

    TStringList SkipList;
    int32_t Depth_ = 0;
    uint8_t State = 0;  // 0 normal, 2 after "\'" (two hexadecimal digits follow)
    bool Skipping = false;
    AnsiString Pending;
    std::vector<TGroupSave> GroupStack;
};
