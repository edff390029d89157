#pragma once
// Splits RTF bytes into group braces, control words and characters.
#include "RtReadBuffer.h"

#include <cstdint>
#include <string_view>

enum TRtfTokenKind : uint8_t {
    rttEnd,        // end of input or a zero byte
    rttGroupOpen,  // "{"
    rttGroupClose, // "}"
    rttWord,       // a control word or control symbol (Name, Value, HasValue)
    rttChar,       // a text byte, or the value of a "\'" escape (Escaped set)
};

struct TRtfToken {
    static constexpr int MaxName = 29; // letters kept of a control word

    TRtfTokenKind Kind = rttEnd;
    char Name[MaxName + 1] = {};
    int NameLength = 0;
    int32_t Value = 0;
    bool HasValue = false;
    uint8_t Char = 0;
    bool Escaped = false;

    std::string_view WordName() const { return {Name, size_t(NameLength)}; }
};

class TRtfLexer {
public:
    explicit TRtfLexer(TRtReadBuffer& in) : in_(in) {}

    // The next token. Line feed and carriage return between tokens are
    // dropped, a tab is a character; numbers saturate at the 32-bit range; a
    // "\'" without two hexadecimal digits is dropped with the two characters
    // after it, braces and backslashes excepted.
    TRtfTokenKind Next(TRtfToken& t);

    // Unprocessed access for verbatim runs (raw RTF code, quoted file names).
    int ReadRaw() { return in_.ReadChar(); }
    TRtReadBuffer& Input() { return in_; }

private:
    bool ReadControlWord(TRtfToken& t);
    bool ReadHexEscape(TRtfToken& t);

    TRtReadBuffer& in_;
};

// Value of a hexadecimal digit, or -1.
inline int RtfHexDigit(int c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
