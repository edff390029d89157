#include "AnsiString.h"

namespace {

// 0x80..0x9F; the undefined bytes map to the C1 control of the same value.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

char16_t AnsiCharToUnicode(uint8_t c)
{
    if (c >= 0x80 && c <= 0x9F)
        return kHigh[c - 0x80];
    return char16_t(c);
}

int UnicodeToAnsiChar(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return int(c);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c)
            return 0x80 + i;
    return -1;
}

QString fromAnsi(const AnsiString& s)
{
    QString r;
    r.resize(qsizetype(s.size()));
    for (size_t i = 0; i < s.size(); ++i)
        r[qsizetype(i)] = QChar(AnsiCharToUnicode(uint8_t(s[i])));
    return r;
}

QString fromAnsi(const char* s)
{
    return fromAnsi(AnsiString(s ? s : ""));
}

AnsiString toAnsi(const QString& s, bool* lossless)
{
    AnsiString r;
    r.reserve(size_t(s.size()));
    bool ok = true;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t u = s[i].unicode();
        const int c = UnicodeToAnsiChar(u);
        if (c < 0) {
            ok = false;
            // A surrogate pair is one character: one '?' for both halves.
            if (QChar::isHighSurrogate(u) && i + 1 < s.size() && s[i + 1].isLowSurrogate())
                ++i;
            r.push_back('?');
        } else {
            r.push_back(char(c));
        }
    }
    if (lossless)
        *lossless = ok;
    return r;
}

bool IsAnsiRepresentable(const QString& s)
{
    for (QChar c : s)
        if (UnicodeToAnsiChar(c.unicode()) < 0)
            return false;
    return true;
}
