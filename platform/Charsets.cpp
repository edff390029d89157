#include "Charsets.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <atomic>
#include <iconv.h>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "AnsiString.h"

namespace {

// The conversion tables of one code page, made once through iconv.
struct TCodePageTable {
    bool DoubleByte = false;
    std::array<char32_t, 256> Single{};       // 0 = no character (or a lead byte)
    std::array<bool, 256> Lead{};
    std::vector<char32_t> Pairs;              // (lead - 0x80) << 8 | trail; 0 = no character
    std::unordered_map<char32_t, uint16_t> Encode; // one byte, or lead << 8 | trail

    // The character of a lead and a trail byte; 0 when the pair has none.
    char32_t Pair(uint8_t Lead, uint8_t Trail) const
    {
        return Lead >= 0x80 && !Pairs.empty() ? Pairs[size_t(Lead - 0x80) << 8 | Trail] : 0;
    }
};

// One character of a byte sequence through iconv, 0 when it is none.
char32_t Convert(iconv_t Cd, const char* Bytes, size_t N)
{
    char in[2] = {Bytes[0], N > 1 ? Bytes[1] : char(0)};
    char out[16] = {};
    char* pin = in;
    char* pout = out;
    size_t inLeft = N, outLeft = sizeof(out);
    iconv(Cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(Cd, &pin, &inLeft, &pout, &outLeft) == size_t(-1) || inLeft != 0)
        return 0;
    // Converters that wait for a following tone mark give their character on the flush.
    if (iconv(Cd, nullptr, nullptr, &pout, &outLeft) == size_t(-1))
        return 0;
    if (sizeof(out) - outLeft != 4)
        return 0;
    return char32_t(uint8_t(out[0]) | uint8_t(out[1]) << 8 | uint8_t(out[2]) << 16 | uint32_t(uint8_t(out[3])) << 24);
}

// The tables of a code page; null when iconv does not know it.
std::unique_ptr<TCodePageTable> BuildTable(int32_t CodePage)
{
    auto t = std::make_unique<TCodePageTable>();
    if (CodePage == 1252) {
        for (int c = 0; c < 256; ++c)
            t->Single[size_t(c)] = AnsiCharToUnicode(uint8_t(c));
    } else {
        const std::string name = CodePage == 10000 ? "MACINTOSH" : "CP" + std::to_string(CodePage);
        iconv_t cd = iconv_open("UTF-32LE", name.c_str());
        if (cd == iconv_t(-1))
            return nullptr;
        t->DoubleByte = CodePage == 932 || CodePage == 936 || CodePage == 949 || CodePage == 950;
        for (int c = 0; c < 256; ++c) {
            const char b = char(c);
            t->Single[size_t(c)] = Convert(cd, &b, 1);
        }
        if (t->DoubleByte)
            t->Pairs.assign(0x80 << 8, 0);
        if (t->DoubleByte)
            for (int lead = 0x81; lead <= 0xFE; ++lead) {
                if (t->Single[size_t(lead)] != 0)
                    continue;
                for (int trail = 0x40; trail <= 0xFE; ++trail) {
                    const char pair[2] = {char(lead), char(trail)};
                    if (const char32_t u = Convert(cd, pair, 2)) {
                        t->Lead[size_t(lead)] = true;
                        t->Pairs[size_t(lead - 0x80) << 8 | size_t(trail)] = u;
                    }
                }
            }
        iconv_close(cd);
    }
    // Control bytes are themselves in every code page.
    for (int c = 0; c < 32; ++c)
        t->Single[size_t(c)] = char32_t(c);
    for (int c = 255; c >= 0; --c)
        if (t->Single[size_t(c)] != 0 && !t->Lead[size_t(c)])
            t->Encode[t->Single[size_t(c)]] = uint16_t(c);
    // A character of several pairs is written as its single byte, else as its first pair.
    for (size_t i = t->Pairs.size(); i-- > 0;)
        if (const char32_t u = t->Pairs[i]) {
            const uint16_t code = uint16_t((i + (0x80 << 8)) & 0xFFFF);
            if (auto it = t->Encode.find(u); it == t->Encode.end() || it->second > 0xFF)
                t->Encode[u] = code;
        }
    return t;
}

// The code pages of the font charsets and the other 8-bit ones read: each has
// a slot of its own, read without a lock once its table is made.
int KnownCodePageSlot(int32_t CodePage)
{
    switch (CodePage) {
    case 1252: return 0;
    case 932: return 1;
    case 936: return 2;
    case 949: return 3;
    case 950: return 4;
    case 874: return 5;
    case 437: return 6;
    case 850: return 7;
    case 10000: return 8;
    default: return CodePage >= 1250 && CodePage <= 1258 ? 9 + (CodePage - 1250) : -1;
    }
}
constexpr size_t KnownCodePages = 18;

// The table of a font charset's code page (or of another known one): made
// once and kept for the process.
const TCodePageTable& Table(int32_t CodePage)
{
    static std::array<std::atomic<const TCodePageTable*>, KnownCodePages> known{};
    const int slot = KnownCodePageSlot(CodePage);
    if (slot < 0)
        return Table(1252);
    if (const TCodePageTable* t = known[size_t(slot)].load(std::memory_order_acquire))
        return *t;
    static std::mutex lock;
    static std::array<std::unique_ptr<const TCodePageTable>, KnownCodePages> tables;
    const std::lock_guard<std::mutex> guard(lock);
    auto& t = tables[size_t(slot)];
    if (!t) {
        t = BuildTable(CodePage);
        // A code page this system's iconv lacks reads as Windows-1252.
        if (!t)
            t = BuildTable(1252);
        known[size_t(slot)].store(t.get(), std::memory_order_release);
    }
    return *t;
}

// Tables of the other code pages that documents name, the most recently used
// first: a document may name any number of them.
struct TCodePageCache {
    static constexpr size_t Size = 16;
    std::mutex Lock;
    std::vector<std::pair<int32_t, std::shared_ptr<const TCodePageTable>>> Entries;
};

TCodePageCache& CodePageCache()
{
    static TCodePageCache cache;
    return cache;
}

// The table of any code page; one iconv does not know reads as Windows-1252.
std::shared_ptr<const TCodePageTable> AnyTable(int32_t CodePage)
{
    if (KnownCodePageSlot(CodePage) >= 0)
        return std::shared_ptr<const TCodePageTable>(std::shared_ptr<void>(), &Table(CodePage));
    TCodePageCache& cache = CodePageCache();
    auto find = [&]() -> std::shared_ptr<const TCodePageTable> {
        const auto it = std::find_if(cache.Entries.begin(), cache.Entries.end(),
                                     [&](const auto& Entry) { return Entry.first == CodePage; });
        if (it == cache.Entries.end())
            return nullptr;
        std::rotate(cache.Entries.begin(), it, it + 1);
        return cache.Entries.front().second;
    };
    {
        const std::lock_guard<std::mutex> guard(cache.Lock);
        if (auto t = find())
            return t;
    }
    std::shared_ptr<const TCodePageTable> built = BuildTable(CodePage);
    if (!built)
        built = std::shared_ptr<const TCodePageTable>(std::shared_ptr<void>(), &Table(1252));
    const std::lock_guard<std::mutex> guard(cache.Lock);
    if (auto t = find())
        return t;
    cache.Entries.emplace(cache.Entries.begin(), CodePage, built);
    if (cache.Entries.size() > TCodePageCache::Size)
        cache.Entries.pop_back();
    return built;
}

QString Ucs4(char32_t U) { return QString::fromUcs4(&U, 1); }

// Characters of a table for a byte string; pairs read as one character.
QString Decode(const TCodePageTable& T, std::string_view Bytes)
{
    QString s;
    s.reserve(qsizetype(Bytes.size()));
    for (size_t i = 0; i < Bytes.size(); ++i) {
        const uint8_t c = uint8_t(Bytes[i]);
        char32_t u = T.Single[c];
        if (T.DoubleByte && T.Lead[c] && i + 1 < Bytes.size()) {
            if (const char32_t pair = T.Pair(c, uint8_t(Bytes[i + 1]))) {
                u = pair;
                ++i;
            }
        }
        s += Ucs4(u ? u : U'\uFFFD');
    }
    return s.normalized(QString::NormalizationForm_C);
}

bool Encode(const TCodePageTable& T, char32_t Ch, std::string& Out)
{
    auto put = [&](uint16_t code) {
        if (code > 0xFF)
            Out.push_back(char(code >> 8));
        Out.push_back(char(code & 0xFF));
    };
    if (auto it = T.Encode.find(Ch); it != T.Encode.end()) {
        put(it->second);
        return true;
    }
    // A letter the code page lacks as one character: the letter composed with
    // some of its marks, followed by the others (Vietnamese tones).
    const QList<uint> parts = Ucs4(Ch).normalized(QString::NormalizationForm_D).toUcs4();
    const qsizetype marks = parts.size() - 1;
    if (marks < 1 || marks > 4)
        return false;
    for (int mask = (1 << marks) - 1; mask >= 0; --mask) {
        QString composed = Ucs4(char32_t(parts[0]));
        for (qsizetype m = 0; m < marks; ++m)
            if (mask & (1 << m))
                composed += Ucs4(char32_t(parts[m + 1]));
        const QList<uint> base = composed.normalized(QString::NormalizationForm_C).toUcs4();
        auto it = base.size() == 1 ? T.Encode.find(char32_t(base[0])) : T.Encode.end();
        if (it == T.Encode.end())
            continue;
        std::string bytes;
        auto add = [&](uint16_t Code) {
            if (Code > 0xFF)
                bytes.push_back(char(Code >> 8));
            bytes.push_back(char(Code & 0xFF));
        };
        add(it->second);
        bool ok = true;
        for (qsizetype m = 0; ok && m < marks; ++m) {
            if (mask & (1 << m))
                continue;
            auto mark = T.Encode.find(char32_t(parts[m + 1]));
            ok = mark != T.Encode.end();
            if (ok)
                add(mark->second);
        }
        if (ok) {
            Out += bytes;
            return true;
        }
    }
    return false;
}

// Order in which charsets are tried for a character the current one cannot hold.
constexpr int32_t kCandidates[] = {
    0, EASTEUROPE_CHARSET, RUSSIAN_CHARSET, GREEK_CHARSET, TURKISH_CHARSET, BALTIC_CHARSET, VIETNAMESE_CHARSET,
    HEBREW_CHARSET, ARABIC_CHARSET, THAI_CHARSET, SHIFTJIS_CHARSET, GB2312_CHARSET, CHINESEBIG5_CHARSET,
    HANGEUL_CHARSET};

}  // namespace

int32_t CharsetCodePage(int32_t Charset)
{
    switch (Charset) {
    case SHIFTJIS_CHARSET: return 932;
    case HANGEUL_CHARSET: return 949;
    case GB2312_CHARSET: return 936;
    case CHINESEBIG5_CHARSET: return 950;
    case GREEK_CHARSET: return 1253;
    case TURKISH_CHARSET: return 1254;
    case VIETNAMESE_CHARSET: return 1258;
    case HEBREW_CHARSET: return 1255;
    case ARABIC_CHARSET: return 1256;
    case BALTIC_CHARSET: return 1257;
    case RUSSIAN_CHARSET: return 1251;
    case THAI_CHARSET: return 874;
    case EASTEUROPE_CHARSET: return 1250;
    default: return 1252;
    }
}

int32_t CodePageCharset(int32_t CodePage)
{
    if (CodePage == 1252)
        return 0;
    for (int32_t cs : kCandidates)
        if (cs != 0 && CharsetCodePage(cs) == CodePage)
            return cs;
    return -1;
}

bool IsDBCSCharset(int32_t Charset)
{
    return Charset == SHIFTJIS_CHARSET || Charset == HANGEUL_CHARSET || Charset == GB2312_CHARSET ||
           Charset == CHINESEBIG5_CHARSET;
}

bool IsCharsetLeadByte(int32_t Charset, uint8_t Ch)
{
    return IsDBCSCharset(Charset) && Table(CharsetCodePage(Charset)).Lead[Ch];
}

const std::array<bool, 256>* CharsetLeadBytes(int32_t Charset)
{
    return IsDBCSCharset(Charset) ? &Table(CharsetCodePage(Charset)).Lead : nullptr;
}

char32_t CharsetCharToUnicode(int32_t Charset, uint8_t Ch, uint8_t Trail)
{
    const TCodePageTable& t = Table(CharsetCodePage(Charset));
    if (t.DoubleByte && t.Lead[Ch])
        return t.Pair(Ch, Trail);
    return t.Single[Ch];
}

QString CharsetToUnicode(int32_t Charset, std::string_view Bytes)
{
    return Decode(Table(CharsetCodePage(Charset)), Bytes);
}

std::u32string CharsetCharsPerByte(int32_t Charset, std::string_view Text)
{
    std::u32string chars(Text.size(), 0);
    const bool dbcs = IsDBCSCharset(Charset);
    size_t last = std::u32string::npos;
    for (size_t i = 0; i < Text.size(); ++i) {
        const uint8_t c = uint8_t(Text[i]);
        char32_t u;
        if (dbcs && IsCharsetLeadByte(Charset, c) && i + 1 < Text.size()) {
            u = CharsetCharToUnicode(Charset, c, uint8_t(Text[i + 1]));
            chars[i] = u ? u : U'\uFFFD';
            last = i++;
            continue;
        }
        u = c < 32 ? char32_t(c) : CharsetCharToUnicode(Charset, c);
        if (u == 0)
            u = U' ';
        // Combining marks start at U+0300.
        if (last != std::u32string::npos && u >= 0x300 && QChar::category(u) == QChar::Mark_NonSpacing) {
            const char32_t pair[2] = {chars[last], u};
            const QList<uint> composed =
                QString::fromUcs4(pair, 2).normalized(QString::NormalizationForm_C).toUcs4();
            if (composed.size() == 1) {
                chars[last] = char32_t(composed[0]);
                continue;
            }
        }
        chars[i] = u;
        last = i;
    }
    return chars;
}

// The Romanian letters with comma below, which no Windows code page has, are
// held as their twins with cedilla (as Windows' own best fit does): keyboards
// and other programs write the comma forms.
static char32_t CedillaTwin(char32_t Ch)
{
    switch (Ch) {
    case U'\u0218': return U'\u015E';  // S with comma below
    case U'\u0219': return U'\u015F';
    case U'\u021A': return U'\u0162';  // T with comma below
    case U'\u021B': return U'\u0163';
    default: return 0;
    }
}

bool UnicodeToCharset(int32_t Charset, char32_t Ch, std::string& Out)
{
    const auto& table = Table(CharsetCodePage(Charset));
    if (Encode(table, Ch, Out))
        return true;
    const char32_t twin = CedillaTwin(Ch);
    return twin && Encode(table, twin, Out);
}

int32_t ChooseCharset(std::u32string_view Text, int32_t Current, int32_t Preferred)
{
    if (Text.empty())
        return Current;
    std::string bytes;
    auto holds = [&](int32_t Charset, char32_t Ch) {
        bytes.clear();
        return Charset >= 0 && Charset != 2 && UnicodeToCharset(Charset, Ch, bytes);
    };
    if (holds(Current, Text[0]))
        return Current;
    if (holds(Preferred, Text[0]))
        return Preferred;
    int32_t best = -1;
    size_t bestLength = 0;
    for (int32_t cs : kCandidates) {
        // A run of up to 32 characters decides, so that choosing stays cheap in long text.
        size_t n = 0;
        while (n < Text.size() && n < 32 && holds(cs, Text[n]))
            ++n;
        if (n > bestLength) {
            best = cs;
            bestLength = n;
        }
    }
    return best;
}

int32_t LanguageCharset(int Language, int Territory)
{
    switch (QLocale::Language(Language)) {
    case QLocale::Polish: case QLocale::Czech: case QLocale::Slovak: case QLocale::Hungarian:
    case QLocale::Romanian: case QLocale::Croatian: case QLocale::Slovenian: case QLocale::Albanian:
    case QLocale::Bosnian:
        return EASTEUROPE_CHARSET;
    case QLocale::Russian: case QLocale::Ukrainian: case QLocale::Belarusian: case QLocale::Bulgarian:
    case QLocale::Serbian: case QLocale::Macedonian: case QLocale::Kazakh: case QLocale::Mongolian:
        return RUSSIAN_CHARSET;
    case QLocale::Greek: return GREEK_CHARSET;
    case QLocale::Turkish: case QLocale::Azerbaijani: return TURKISH_CHARSET;
    case QLocale::Lithuanian: case QLocale::Latvian: case QLocale::Estonian: return BALTIC_CHARSET;
    case QLocale::Vietnamese: return VIETNAMESE_CHARSET;
    case QLocale::Hebrew: return HEBREW_CHARSET;
    case QLocale::Arabic: case QLocale::Persian: case QLocale::Urdu: return ARABIC_CHARSET;
    case QLocale::Thai: return THAI_CHARSET;
    case QLocale::Japanese: return SHIFTJIS_CHARSET;
    case QLocale::Korean: return HANGEUL_CHARSET;
    case QLocale::Chinese:
        return Territory == QLocale::Taiwan || Territory == QLocale::HongKong || Territory == QLocale::Macau
                   ? CHINESEBIG5_CHARSET
                   : GB2312_CHARSET;
    default: return -1;
    }
}

QString CodePageToUnicode(int32_t CodePage, std::string_view Bytes)
{
    return Decode(*AnyTable(CodePage), Bytes);
}

size_t CachedCodePageTables()
{
    TCodePageCache& cache = CodePageCache();
    const std::lock_guard<std::mutex> guard(cache.Lock);
    return cache.Entries.size();
}
