#include "RtfLexer.h"

#include <algorithm>
#include <limits>

namespace {

bool IsLetter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(int c) { return c >= '0' && c <= '9'; }

} // namespace

TRtfTokenKind TRtfLexer::Next(TRtfToken& t)
{
    t.Escaped = false;
    for (;;) {
        const int c = in_.ReadChar();
        switch (c) {
        case -1:
        case 0:
            return t.Kind = rttEnd;
        case 10:
        case 13:
            continue;
        case '{':
            return t.Kind = rttGroupOpen;
        case '}':
            return t.Kind = rttGroupClose;
        case '\\':
            if (ReadControlWord(t)) // false: a bad "\'" escape, dropped
                return t.Kind;
            continue;
        default:
            t.Char = uint8_t(c);
            return t.Kind = rttChar;
        }
    }
}

// After a backslash: false when nothing was produced.
bool TRtfLexer::ReadControlWord(TRtfToken& t)
{
    int c = in_.ReadChar();
    if (c < 0) {
        t.Kind = rttEnd;
        return true;
    }
    t.Value = 0;
    t.HasValue = false;
    if (!IsLetter(c)) {
        if (c == '\'')
            return ReadHexEscape(t);
        t.Name[0] = char(c);
        t.Name[1] = 0;
        t.NameLength = 1;
        t.Kind = rttWord;
        return true;
    }
    int len = 0;
    while (IsLetter(c)) {
        if (len < TRtfToken::MaxName)
            t.Name[len++] = char(c);
        c = in_.ReadChar();
    }
    t.Name[len] = 0;
    t.NameLength = len;
    bool negative = false;
    if (c == '-') {
        negative = true;
        c = in_.ReadChar();
    }
    if (IsDigit(c)) {
        // Saturate instead of overflowing: the limit is 2^31 so that the
        // negated value still fits.
        constexpr int64_t limit = int64_t(std::numeric_limits<int32_t>::max()) + 1;
        int64_t v = 0;
        while (IsDigit(c)) {
            v = std::min<int64_t>(limit, v * 10 + (c - '0'));
            c = in_.ReadChar();
        }
        if (negative)
            v = -v;
        t.Value = int32_t(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                              std::numeric_limits<int32_t>::max()));
        t.HasValue = true;
    }
    if (c >= 0 && c != ' ')
        in_.UnreadChar();
    t.Kind = rttWord;
    return true;
}

bool TRtfLexer::ReadHexEscape(TRtfToken& t)
{
    int value = 0;
    for (int i = 0; i < 2; ++i) {
        const int c = in_.ReadChar();
        if (c < 0) {
            t.Kind = rttEnd;
            return true;
        }
        const int d = RtfHexDigit(c);
        if (d < 0) {
            // No character: the escape takes its two characters along,
            // short of a brace or backslash, which keep the groups.
            auto keeps = [](int b) { return b == '{' || b == '}' || b == '\\' || b == 0; };
            if (keeps(c))
                in_.UnreadChar();
            else if (i == 0) {
                const int next = in_.ReadChar();
                if (next >= 0 && keeps(next))
                    in_.UnreadChar();
            }
            return false;
        }
        value = value * 16 + d;
    }
    t.Char = uint8_t(value);
    t.Escaped = true;
    t.Kind = rttChar;
    return true;
}
