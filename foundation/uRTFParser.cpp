#include "uRTFParser.h"

#include <limits>

namespace {

const char* const SkippedDestinations[] = {
    "bin",      "author",   "buptim",   "comment",  "creatim",  "doccomm",  "footer",
    "footerf",  "footerl",  "footerr",  "footnote", "ftncn",    "ftnsep",   "ftnspec",
    "header",   "headerf",  "headerl",  "headerr",  "info",     "keywords", "operator",
    "pict",     "printim",  "private1", "revtim",   "rxe",      "stylesheet", "subject",
    "tc",       "title",    "txe",      "xe"};

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

TRTFParser::TRTFParser()
{
    for (const char* w : SkippedDestinations)
        SkipList.Add(w);
}

void TRTFParser::AddChar(char C)
{
    if (!Skipping)
        Pending += C;
}

void TRTFParser::Flush()
{
    if (!Pending.empty() && OnText) {
        // The handler may parse again or throw; hand it a copy and empty first.
        AnsiString text;
        text.swap(Pending);
        OnText(this, text);
    }
    Pending.clear();
}

void TRTFParser::Parse(TStream& Stream)
{
    // The stream is walked byte by byte; reading it into memory once lets a
    // control step back by one byte without seeking.
    const int64_t remaining = Stream.Remaining();
    std::vector<char> buf(size_t(remaining > 0 ? remaining : 0));
    if (!buf.empty())
        Stream.ReadBuffer(buf.data(), int32_t(buf.size()));

    size_t pos = 0;
    while (pos < buf.size()) {
        const char c = buf[pos++];
        switch (c) {
        case '{':
            Flush();
            GroupStack.push_back({State, Skipping});
            State = 0;
            ++Depth_;
            if (OnGroup) OnGroup(this);
            break;
        case '}':
            Flush();
            if (GroupStack.empty())
                throw RTFParseException(AnsiString("StackUnderflow"));
            State = GroupStack.back().State;
            Skipping = GroupStack.back().Skipping;
            GroupStack.pop_back();
            --Depth_;
            if (OnGroup) OnGroup(this);
            break;
        case '\\':
            ReadControl(buf, pos);
            break;
        case '\n':
        case '\r':
            break;
        default:
            if (State == 2) {
                State = 0;
                // An escape cut off at the end of the text is dropped.
                if (pos >= buf.size())
                    break;
                const char d = buf[pos++];
                const int hi = HexValue(c);
                const int lo = HexValue(d);
                if (hi < 0 || lo < 0) {
                    const AnsiString s = AnsiString("$") + c + d;
                    throw EConvertError(Format("'%s' is not a valid integer value", {s}));
                }
                AddChar(char(hi * 16 + lo));
            } else {
                AddChar(c);
            }
        }
    }
}

void TRTFParser::ReadControl(const std::vector<char>& Buf, size_t& Pos)
{
    if (Pos >= Buf.size())
        return;
    const char c = Buf[Pos++];
    if (!IsLetter(c)) {
        HandleControl(AnsiString(1, c), false, 0);
        return;
    }
    const size_t start = Pos - 1;
    while (Pos < Buf.size() && IsLetter(Buf[Pos]))
        ++Pos;
    const AnsiString word(Buf.data() + start, Pos - start);

    bool negative = false;
    if (Pos < Buf.size() && Buf[Pos] == '-') {
        negative = true;
        ++Pos;
    }
    bool hasParam = false;
    // Digits beyond the 32-bit range saturate instead of wrapping around.
    constexpr int64_t limit = int64_t(std::numeric_limits<int32_t>::max()) + 1;
    int64_t value = 0;
    while (Pos < Buf.size() && IsDigit(Buf[Pos])) {
        hasParam = true;
        if (value < limit)
            value = value * 10 + (Buf[Pos] - '0');
        ++Pos;
    }
    if (value > limit)
        value = limit;
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int32_t>::max())
        value = std::numeric_limits<int32_t>::max();

    if (Pos < Buf.size() && Buf[Pos] == ' ')
        ++Pos;
    HandleControl(word, hasParam, int32_t(value));
}

void TRTFParser::HandleControl(const AnsiString& Word, bool HasParam, int32_t Param)
{
    if (Word == "'") {
        State = 2;
        return;
    }
    struct Symbol {
        const char* word;
        unsigned char code;
    };
    static const Symbol symbols[] = {{"lquote", 145}, {"rquote", 146}, {"bullet", 149},
                                     {"endash", 150}, {"emdash", 151}, {"{", 123},
                                     {"}", 125},      {"\\", 92}};
    for (const Symbol& s : symbols)
        if (Word == s.word) {
            AddChar(char(s.code));
            return;
        }
    if (SameText(Word, "ldblquote")) {
        AddChar(char(147));
        return;
    }
    if (SameText(Word, "rdblquote")) {
        AddChar(char(148));
        return;
    }

    Flush();
    const AnsiString lower = LowerCase(Word);
    if (SkipList.IndexOf(lower) >= 0)
        Skipping = true;
    else if (!Skipping && OnControl)
        OnControl(this, lower, HasParam, Param);
}
