#include "SysUtils.h"

#include "Charsets.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <ctime>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <limits>

void Abort()
{
    throw EAbort("Operation aborted");
}

// ---- numbers ------------------------------------------------------------------

namespace {

// An integral double as an integer of type T, saturated at T's limits; NaN is 0.
template <class T>
T SaturatedInteger(double integral)
{
    if (std::isnan(integral))
        return 0;
    // The limits as doubles: min is exact, max + 1 is a power of two.
    constexpr double kMin = double(std::numeric_limits<T>::min());
    constexpr double kEnd = -kMin;
    if (integral < kMin)
        return std::numeric_limits<T>::min();
    if (integral >= kEnd)
        return std::numeric_limits<T>::max();
    return T(integral);
}

} // namespace

int64_t Round(double x)
{
    // The default floating-point environment rounds to nearest, ties to even.
    return SaturatedInteger<int64_t>(std::nearbyint(x));
}

int64_t Trunc(double x)
{
    return SaturatedInteger<int64_t>(std::trunc(x));
}

int32_t Round32(double x)
{
    return SaturatedInteger<int32_t>(std::nearbyint(x));
}

int32_t Trunc32(double x)
{
    return SaturatedInteger<int32_t>(std::trunc(x));
}

int32_t MulDiv(int32_t a, int32_t b, int32_t c)
{
    if (c == 0)
        return -1;
    const int64_t p = int64_t(a) * int64_t(b);
    const bool negative = (p < 0) != (c < 0);
    const uint64_t up = uint64_t(p < 0 ? -p : p);
    const uint64_t uc = uint64_t(c < 0 ? -int64_t(c) : int64_t(c));
    const uint64_t q = (up + uc / 2) / uc;
    if (q > uint64_t(std::numeric_limits<int32_t>::max()) + (negative ? 1 : 0))
        return -1;
    return negative ? int32_t(-int64_t(q)) : int32_t(q);
}

// ---- format settings --------------------------------------------------------------

TFormatSettings FormatSettingsFor(const QLocale& locale)
{
    TFormatSettings s;
    const int d = UnicodeToAnsiChar(locale.decimalPoint().at(0).unicode());
    const int t = UnicodeToAnsiChar(locale.groupSeparator().at(0).unicode());
    s.DecimalSeparator = d > 0 ? char(d) : '.';
    s.ThousandSeparator = t > 0 ? char(t) : ',';
    // The first character of the short date format that is not a field letter.
    for (QChar c : locale.dateFormat(QLocale::ShortFormat)) {
        if (!c.isLetter() && c != QLatin1Char('\'')) {
            const int ds = UnicodeToAnsiChar(c.unicode());
            if (ds > 0)
                s.DateSeparator = char(ds);
            break;
        }
    }
    return s;
}

TFormatSettings& FormatSettings()
{
    static TFormatSettings settings = FormatSettingsFor(QLocale());
    return settings;
}

// ---- decimal digits ---------------------------------------------------------------

namespace {

// A finite value as 18 significant decimal digits (correctly rounded from the
// binary value) and the exponent e such that value = 0.d1d2... * 10^e.
struct Decimal {
    bool negative = false;
    std::string digits;  // no leading zeros; "0" for zero
    int exponent = 0;
};

Decimal ToDecimal(double v)
{
    Decimal d;
    d.negative = std::signbit(v) && v != 0.0;
    if (v == 0.0) {
        d.digits = "0";
        d.exponent = 0;
        return d;
    }
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, 17);
    std::string s(buf, res.ptr);
    const auto epos = s.find('e');
    const int e10 = std::atoi(s.c_str() + epos + 1);
    std::string mant = s.substr(0, epos);
    mant.erase(std::remove(mant.begin(), mant.end(), '.'), mant.end());
    d.digits = mant;
    d.exponent = e10 + 1;
    return d;
}

// Rounds the digits half away from zero so that only `keep` remain (keep may be
// <= 0: the value then rounds to zero or to one unit of the first kept place).
void RoundDigits(Decimal& d, int keep)
{
    if (d.digits == "0")
        return;
    if (keep >= int(d.digits.size()))
        return;
    if (keep < 0) {
        d.digits = "0";
        d.exponent = 0;
        return;
    }
    const bool up = d.digits[size_t(keep)] >= '5';
    d.digits.resize(size_t(keep));
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.digits[size_t(i)] == '9') {
            d.digits[size_t(i)] = '0';
            --i;
        }
        if (i < 0) {
            d.digits.insert(d.digits.begin(), '1');
            d.exponent += 1;
        } else {
            d.digits[size_t(i)] += 1;
        }
    }
    while (d.digits.size() > 1 && d.digits.back() == '0')
        d.digits.pop_back();
    if (d.digits.empty() || std::all_of(d.digits.begin(), d.digits.end(), [](char c) { return c == '0'; })) {
        d.digits = "0";
        d.exponent = 0;
    }
}

char DigitAt(const Decimal& d, int i)
{
    return (i >= 0 && i < int(d.digits.size())) ? d.digits[size_t(i)] : '0';
}

bool IsZero(const Decimal& d) { return d.digits == "0"; }

std::string FixedText(double v, int decimals, bool thousands, const TFormatSettings& fs)
{
    if (std::isnan(v))
        return "NAN";
    if (std::isinf(v))
        return v < 0 ? "-INF" : "INF";
    Decimal d = ToDecimal(v);
    RoundDigits(d, d.exponent + decimals);
    std::string intPart;
    if (IsZero(d) || d.exponent <= 0) {
        intPart = "0";
    } else {
        for (int i = 0; i < d.exponent; ++i)
            intPart.push_back(DigitAt(d, i));
    }
    if (thousands && intPart.size() > 3) {
        std::string g;
        const int n = int(intPart.size());
        for (int i = 0; i < n; ++i) {
            if (i > 0 && (n - i) % 3 == 0)
                g.push_back(fs.ThousandSeparator);
            g.push_back(intPart[size_t(i)]);
        }
        intPart = g;
    }
    std::string r;
    if (d.negative && !IsZero(d))
        r.push_back('-');
    r += intPart;
    if (decimals > 0) {
        r.push_back(fs.DecimalSeparator);
        for (int i = 0; i < decimals; ++i)
            r.push_back(IsZero(d) ? '0' : DigitAt(d, d.exponent + i));
    }
    return r;
}

std::string ExponentText(int e, bool forceSign, int minDigits)
{
    std::string r = "E";
    if (e < 0)
        r.push_back('-');
    else if (forceSign)
        r.push_back('+');
    std::string n = std::to_string(e < 0 ? -e : e);
    while (int(n.size()) < minDigits)
        n.insert(n.begin(), '0');
    return r + n;
}

std::string ScientificText(double v, int precision, const TFormatSettings& fs)
{
    if (std::isnan(v))
        return "NAN";
    if (std::isinf(v))
        return v < 0 ? "-INF" : "INF";
    precision = std::clamp(precision, 1, 18);
    Decimal d = ToDecimal(v);
    RoundDigits(d, precision);
    std::string r;
    if (d.negative && !IsZero(d))
        r.push_back('-');
    r.push_back(DigitAt(d, 0));
    if (precision > 1) {
        r.push_back(fs.DecimalSeparator);
        for (int i = 1; i < precision; ++i)
            r.push_back(DigitAt(d, i));
    }
    return r + ExponentText(IsZero(d) ? 0 : d.exponent - 1, true, 3);
}

std::string GeneralText(double v, int precision, const TFormatSettings& fs)
{
    if (std::isnan(v))
        return "NAN";
    if (std::isinf(v))
        return v < 0 ? "-INF" : "INF";
    precision = std::clamp(precision, 1, 18);
    Decimal d = ToDecimal(v);
    RoundDigits(d, precision);
    if (IsZero(d))
        return "0";
    std::string r;
    if (d.negative)
        r.push_back('-');
    const int nd = int(d.digits.size());
    if (d.exponent > precision || d.exponent < -3) {
        r.push_back(d.digits[0]);
        if (nd > 1) {
            r.push_back(fs.DecimalSeparator);
            r.append(d.digits, 1, std::string::npos);
        }
        return r + ExponentText(d.exponent - 1, false, 0);
    }
    if (d.exponent <= 0) {
        r += "0";
        r.push_back(fs.DecimalSeparator);
        r.append(size_t(-d.exponent), '0');
        r += d.digits;
        return r;
    }
    for (int i = 0; i < d.exponent; ++i)
        r.push_back(DigitAt(d, i));
    if (nd > d.exponent) {
        r.push_back(fs.DecimalSeparator);
        r.append(d.digits, size_t(d.exponent), std::string::npos);
    }
    return r;
}

[[noreturn]] void FormatError(const AnsiString& fmt)
{
    throw EConvertError("Format '" + fmt + "' invalid or incompatible with argument");
}

} // namespace

// ---- Format ---------------------------------------------------------------------

AnsiString Format(const AnsiString& fmt, std::initializer_list<TVarRec> args)
{
    return Format(fmt, args, FormatSettings());
}

AnsiString Format(const AnsiString& fmt, std::initializer_list<TVarRec> argList,
                  const TFormatSettings& fs)
{
    const std::vector<TVarRec> args(argList);
    AnsiString out;
    size_t i = 0;
    int next = 0;
    const size_t n = fmt.size();

    auto takeArg = [&](int index) -> const TVarRec& {
        if (index < 0 || index >= int(args.size()))
            throw EConvertError("No argument for format '" + fmt + "'");
        return args[size_t(index)];
    };
    auto readNumber = [&](int& value) -> bool {
        if (i < n && fmt[i] == '*') {
            const auto& a = takeArg(next++);
            if (!std::holds_alternative<int64_t>(a.value()))
                FormatError(fmt);
            value = int(std::get<int64_t>(a.value()));
            ++i;
            return true;
        }
        if (i < n && fmt[i] >= '0' && fmt[i] <= '9') {
            value = 0;
            while (i < n && fmt[i] >= '0' && fmt[i] <= '9') {
                value = std::min(value * 10 + (fmt[i] - '0'), 1 << 20);
                ++i;
            }
            return true;
        }
        return false;
    };

    while (i < n) {
        const char c = fmt[i];
        if (c != '%') {
            out.push_back(c);
            ++i;
            continue;
        }
        ++i;
        if (i < n && fmt[i] == '%') {
            out.push_back('%');
            ++i;
            continue;
        }
        int index = -1, width = -1, prec = -1;
        bool left = false;
        // [index ":"] ["-"] [width] ["." prec] type
        int num = 0;
        const size_t save = i;
        if (i < n && fmt[i] != '*' && readNumber(num) && i < n && fmt[i] == ':') {
            index = num;
            ++i;
        } else {
            i = save;
        }
        if (i < n && fmt[i] == '-') {
            left = true;
            ++i;
        }
        if (readNumber(num))
            width = num;
        if (i < n && fmt[i] == '.') {
            ++i;
            if (!readNumber(num))
                num = 0;
            prec = num;
        }
        if (i >= n)
            FormatError(fmt);
        const char type = char(std::tolower(uint8_t(fmt[i])));
        ++i;
        if (index >= 0)
            next = index;
        const TVarRec& arg = takeArg(next++);
        const auto& v = arg.value();
        std::string text;
        switch (type) {
        case 'd':
        case 'u': {
            if (!std::holds_alternative<int64_t>(v))
                FormatError(fmt);
            int64_t x = std::get<int64_t>(v);
            if (type == 'u' && x < 0)
                x = int64_t(uint32_t(x));
            const bool neg = x < 0;
            std::string digits = std::to_string(neg ? uint64_t(0) - uint64_t(x) : uint64_t(x));
            while (prec > 0 && int(digits.size()) < prec)
                digits.insert(digits.begin(), '0');
            text = (neg ? "-" : "") + digits;
            break;
        }
        case 'x': {
            if (!std::holds_alternative<int64_t>(v))
                FormatError(fmt);
            const int64_t x = std::get<int64_t>(v);
            const uint64_t ux = (x < 0 && x >= std::numeric_limits<int32_t>::min()) ? uint64_t(uint32_t(x)) : uint64_t(x);
            char buf[32];
            auto r = std::to_chars(buf, buf + sizeof buf, ux, 16);
            text.assign(buf, r.ptr);
            for (auto& ch : text)
                ch = char(std::toupper(uint8_t(ch)));
            while (prec > 0 && int(text.size()) < prec)
                text.insert(text.begin(), '0');
            break;
        }
        case 'e':
        case 'f':
        case 'g':
        case 'n':
        case 'm': {
            double x;
            if (std::holds_alternative<double>(v))
                x = std::get<double>(v);
            else
                FormatError(fmt);
            if (type == 'e')
                text = ScientificText(x, prec < 0 ? 15 : prec, fs);
            else if (type == 'g')
                text = GeneralText(x, prec < 0 ? 15 : prec, fs);
            else if (type == 'f')
                text = FixedText(x, prec < 0 ? 2 : std::min(prec, 18), false, fs);
            else if (type == 'n')
                text = FixedText(x, prec < 0 ? 2 : std::min(prec, 18), true, fs);
            else
                text = FixedText(x, prec < 0 ? 2 : std::min(prec, 18), true, fs) + " \x80";
            break;
        }
        case 's': {
            if (!std::holds_alternative<AnsiString>(v))
                FormatError(fmt);
            text = std::get<AnsiString>(v);
            if (prec >= 0 && int(text.size()) > prec)
                text.resize(size_t(prec));
            break;
        }
        case 'p': {
            uint64_t p;
            if (std::holds_alternative<const void*>(v))
                p = uint64_t(reinterpret_cast<uintptr_t>(std::get<const void*>(v)));
            else if (std::holds_alternative<int64_t>(v))
                p = uint64_t(std::get<int64_t>(v));
            else
                FormatError(fmt);
            char buf[32];
            auto r = std::to_chars(buf, buf + sizeof buf, p, 16);
            text.assign(buf, r.ptr);
            for (auto& ch : text)
                ch = char(std::toupper(uint8_t(ch)));
            const size_t minDigits = sizeof(void*) * 2;
            while (text.size() < minDigits)
                text.insert(text.begin(), '0');
            break;
        }
        default:
            FormatError(fmt);
        }
        if (width > int(text.size())) {
            const std::string pad(size_t(width) - text.size(), ' ');
            text = left ? text + pad : pad + text;
        }
        out += text;
    }
    return out;
}

// ---- conversions -----------------------------------------------------------------

AnsiString IntToStr(int64_t v)
{
    return std::to_string(v);
}

AnsiString IntToHex(int64_t v, int digits)
{
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, uint64_t(v), 16);
    std::string s(buf, r.ptr);
    for (auto& c : s)
        c = char(std::toupper(uint8_t(c)));
    while (int(s.size()) < digits)
        s.insert(s.begin(), '0');
    return s;
}

bool TryStrToInt64(const AnsiString& s, int64_t& v)
{
    size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        neg = s[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size())
        return false;
    uint64_t u = 0;
    auto r = std::from_chars(s.data() + i, s.data() + s.size(), u, base);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size())
        return false;
    if (base == 16 && !neg) {
        v = int64_t(u);
        return true;
    }
    const uint64_t limit = neg ? uint64_t(std::numeric_limits<int64_t>::max()) + 1
                               : uint64_t(std::numeric_limits<int64_t>::max());
    if (u > limit)
        return false;
    v = neg ? int64_t(0 - u) : int64_t(u);
    return true;
}

bool TryStrToInt(const AnsiString& s, int32_t& v)
{
    int64_t x;
    if (!TryStrToInt64(s, x))
        return false;
    const bool hex = s.find('$') != std::string::npos || s.find("0x") != std::string::npos
                     || s.find("0X") != std::string::npos;
    if (hex && x >= 0 && x <= int64_t(std::numeric_limits<uint32_t>::max())) {
        v = int32_t(uint32_t(x));
        return true;
    }
    if (x < std::numeric_limits<int32_t>::min() || x > std::numeric_limits<int32_t>::max())
        return false;
    v = int32_t(x);
    return true;
}

int32_t StrToInt(const AnsiString& s)
{
    int32_t v;
    if (!TryStrToInt(s, v))
        throw EConvertError("'" + s + "' is not a valid integer value");
    return v;
}

int32_t StrToIntDef(const AnsiString& s, int32_t def)
{
    int32_t v;
    return TryStrToInt(s, v) ? v : def;
}

int64_t StrToInt64(const AnsiString& s)
{
    int64_t v;
    if (!TryStrToInt64(s, v))
        throw EConvertError("'" + s + "' is not a valid integer value");
    return v;
}

int64_t StrToInt64Def(const AnsiString& s, int64_t def)
{
    int64_t v;
    return TryStrToInt64(s, v) ? v : def;
}

AnsiString FloatToStr(double v)
{
    return FloatToStr(v, FormatSettings());
}

AnsiString FloatToStr(double v, const TFormatSettings& settings)
{
    return GeneralText(v, 15, settings);
}

bool TryStrToFloat(const AnsiString& s, double& v)
{
    return TryStrToFloat(s, v, FormatSettings());
}

bool TryStrToFloat(const AnsiString& input, double& v, const TFormatSettings& fs)
{
    const AnsiString s = Trim(input);
    if (s.empty())
        return false;
    // Rewrite into the plain form from_chars reads: sign, digits, '.', exponent.
    std::string t;
    size_t i = 0;
    bool neg = false;
    if (s[i] == '+' || s[i] == '-') {
        neg = s[i] == '-';
        ++i;
    }
    bool digits = false, point = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            t.push_back(c);
            digits = true;
        } else if (c == fs.DecimalSeparator && !point) {
            t.push_back('.');
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        t.push_back('e');
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            t.push_back(s[i++]);
        bool expDigits = false;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            t.push_back(s[i++]);
            expDigits = true;
        }
        if (!expDigits)
            return false;
    }
    if (i != s.size())
        return false;
    double x = 0;
    auto r = std::from_chars(t.data(), t.data() + t.size(), x);
    if (r.ec != std::errc() || r.ptr != t.data() + t.size())
        return false;
    v = neg ? -x : x;
    return true;
}

double StrToFloat(const AnsiString& s)
{
    return StrToFloat(s, FormatSettings());
}

double StrToFloat(const AnsiString& s, const TFormatSettings& settings)
{
    double v;
    if (!TryStrToFloat(s, v, settings))
        throw EConvertError("'" + s + "' is not a valid floating point value");
    return v;
}

double StrToFloatDef(const AnsiString& s, double def)
{
    return StrToFloatDef(s, def, FormatSettings());
}

double StrToFloatDef(const AnsiString& s, double def, const TFormatSettings& settings)
{
    double v;
    return TryStrToFloat(s, v, settings) ? v : def;
}

// ---- text -----------------------------------------------------------------------------

AnsiString UpperCase(const AnsiString& s)
{
    AnsiString r = s;
    for (auto& c : r)
        if (c >= 'a' && c <= 'z')
            c = char(c - 32);
    return r;
}

AnsiString LowerCase(const AnsiString& s)
{
    AnsiString r = s;
    for (auto& c : r)
        if (c >= 'A' && c <= 'Z')
            c = char(c + 32);
    return r;
}

namespace {
// Maps each character through a Unicode case mapping; letters whose other
// case the code page cannot hold (the sharp s has no upper case) stay.
template <typename Map>
AnsiString MapAnsiCase(const AnsiString& s, Map map)
{
    AnsiString r = s;
    for (auto& c : r) {
        const int b = UnicodeToAnsiChar(map(QChar(AnsiCharToUnicode(uint8_t(c)))).unicode());
        if (b >= 0)
            c = char(b);
    }
    return r;
}
} // namespace

AnsiString AnsiUpperCase(const AnsiString& s)
{
    return MapAnsiCase(s, [](QChar c) { return c.toUpper(); });
}

AnsiString AnsiLowerCase(const AnsiString& s)
{
    return MapAnsiCase(s, [](QChar c) { return c.toLower(); });
}

int CompareText(const AnsiString& a, const AnsiString& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int ca = uint8_t(a[i]), cb = uint8_t(b[i]);
        if (ca >= 'a' && ca <= 'z') ca -= 32;
        if (cb >= 'a' && cb <= 'z') cb -= 32;
        if (ca != cb)
            return ca - cb;
    }
    return int(a.size()) - int(b.size());
}

bool SameText(const AnsiString& a, const AnsiString& b)
{
    return a.size() == b.size() && CompareText(a, b) == 0;
}

int CompareStr(const AnsiString& a, const AnsiString& b)
{
    const int r = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    return r != 0 ? r : int(a.size()) - int(b.size());
}

int AnsiCompareText(const AnsiString& a, const AnsiString& b)
{
    const QString qa = fromAnsi(a).toCaseFolded();
    const QString qb = fromAnsi(b).toCaseFolded();
    if (qa == qb)
        return 0;
    const int r = QString::localeAwareCompare(qa, qb);
    return r != 0 ? r : qa.compare(qb);
}

bool AnsiSameText(const AnsiString& a, const AnsiString& b)
{
    return a == b || fromAnsi(a).compare(fromAnsi(b), Qt::CaseInsensitive) == 0;
}

int AnsiCompareStr(const AnsiString& a, const AnsiString& b)
{
    if (a == b)
        return 0;
    const QString qa = fromAnsi(a), qb = fromAnsi(b);
    const int r = QString::localeAwareCompare(qa, qb);
    return r != 0 ? r : qa.compare(qb);
}

AnsiString Trim(const AnsiString& s)
{
    return TrimLeft(TrimRight(s));
}

AnsiString TrimLeft(const AnsiString& s)
{
    size_t i = 0;
    while (i < s.size() && uint8_t(s[i]) <= ' ')
        ++i;
    return s.substr(i);
}

AnsiString TrimRight(const AnsiString& s)
{
    size_t n = s.size();
    while (n > 0 && uint8_t(s[n - 1]) <= ' ')
        --n;
    return s.substr(0, n);
}

AnsiString StringReplace(const AnsiString& s, const AnsiString& oldPattern,
                         const AnsiString& newPattern, int flags)
{
    if (oldPattern.empty())
        return s;
    const bool ignoreCase = flags & rfIgnoreCase;
    const AnsiString hay = ignoreCase ? AnsiUpperCase(s) : s;
    const AnsiString pat = ignoreCase ? AnsiUpperCase(oldPattern) : oldPattern;
    AnsiString r;
    size_t pos = 0;
    while (true) {
        const size_t f = hay.find(pat, pos);
        if (f == std::string::npos) {
            r.append(s, pos, std::string::npos);
            break;
        }
        r.append(s, pos, f - pos);
        r += newPattern;
        pos = f + pat.size();
        if (!(flags & rfReplaceAll)) {
            r.append(s, pos, std::string::npos);
            break;
        }
    }
    return r;
}

AnsiString QuotedStr(const AnsiString& s)
{
    return "'" + StringReplace(s, "'", "''", rfReplaceAll) + "'";
}

int Pos(const AnsiString& sub, const AnsiString& s)
{
    if (sub.empty())
        return 0;
    const size_t f = s.find(sub);
    return f == std::string::npos ? 0 : int(f) + 1;
}

// ---- files --------------------------------------------------------------------------

// By the name's own bytes, so that a name that is no UTF-8 is found.
bool FileExists(const QString& fileName)
{
    struct stat st;
    return ::stat(EncodeFileName(fileName).constData(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const QString& dir)
{
    struct stat st;
    return ::stat(EncodeFileName(dir).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFile(const QString& fileName)
{
    return QFile::remove(fileName);
}

ssize_t (*ReplaceFileWrite)(int Fd, const void* Buffer, size_t Count) = ::write;
int (*ReplaceFileSync)(int Fd) = ::fsync;

namespace {

// The file Path stands for: the end of its chain of links, live or dangling
// (a relative target counts from the link's folder). 0, ELOOP for a chain
// that does not end, or the errno of a link that cannot be read.
int FollowLinks(QByteArray& Path)
{
    constexpr int MaxLinks = 40;  // as the system follows them
    for (int links = 0;; ++links) {
        struct stat st {};
        if (::lstat(Path.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return 0;
        if (links == MaxLinks)
            return ELOOP;
        char target[PATH_MAX + 1];
        const ssize_t n = ::readlink(Path.constData(), target, sizeof target);
        if (n < 0)
            return errno;
        if (size_t(n) == sizeof target)
            return ENAMETOOLONG;
        QByteArray next(target, n);
        if (!next.startsWith('/'))
            next.prepend(Path.left(Path.lastIndexOf('/') + 1));
        Path = next;
    }
}

} // namespace

namespace {

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether Name in DirFd is, without a link, the file that Fd has open.
bool NamesFile(int DirFd, const char* Name, int Fd)
{
    struct stat named {}, open {};
    return ::fstatat(DirFd, Name, &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(Fd, &open) == 0 &&
           SameFile(named, open);
}

const char SaveTemporaryPrefix[] = ".lumiseite-";

// The extended attribute that marks a temporary as the program's own; its
// value is the random part of the temporary's name.
const char TemporaryMark[] = "user.lumiseite.temporary";
constexpr size_t TemporaryRandomLength = 32;

// Where locks are not seen across machines, a temporary is a leftover only
// once it is this old (seconds).
constexpr time_t NetworkLeftoverAge = 24 * 60 * 60;

// The random part of Name when it has the form Prefix + 32 lower-case hex
// digits; empty otherwise.
QByteArray RandomPartOf(const char* Name, const char* Prefix)
{
    const size_t prefix = std::strlen(Prefix);
    if (std::strncmp(Name, Prefix, prefix) != 0)
        return QByteArray();
    const char* random = Name + prefix;
    const bool ok = std::strlen(random) == TemporaryRandomLength &&
                    std::all_of(random, random + TemporaryRandomLength,
                                [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
    return ok ? QByteArray(random) : QByteArray();
}

// Whether the file system of Fd is one whose locks other machines do not see.
bool OnNetworkFileSystem(int Fd)
{
    struct statfs fs {};
    if (TemporaryStatFs(Fd, &fs) != 0)
        return true;  // unknown: the careful answer
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x6969:      // NFS
    case 0x517B:      // SMB
    case 0xFF534D42:  // CIFS
    case 0xFE534D42:  // SMB2
    case 0x65735546:  // FUSE (sshfs and others)
    case 0x73757245:  // Coda
    case 0x5346414F:  // AFS
    case 0x00C36400:  // Ceph
    case 0x01021997:  // 9P
    case 0x47504653:  // GPFS
    case 0x0BD00BD0:  // Lustre
        return true;
    default: return false;
    }
}

// The last 32 bytes of a temporary's name: its random part.
const char* RandomTail(const char* Name)
{
    const size_t length = std::strlen(Name);
    return Name + length - std::min(length, TemporaryRandomLength);
}

// The folder of the program's records of its temporaries, one file for each,
// named by its random part and holding its path.
QByteArray TemporaryRecords()
{
    QByteArray state = qgetenv("XDG_STATE_HOME");
    if (!state.startsWith('/')) {  // a relative one counts as none
        const QByteArray home = qgetenv("HOME");
        if (home.isEmpty())
            return QByteArray();
        state = home + "/.local/state";
    }
    return state + "/lumiseite/temporaries";
}

// The path of the entry Name of the open folder DirFd, empty where it cannot
// be told.
QByteArray PathIn(int DirFd, const char* Name)
{
    char folder[PATH_MAX];
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(DirFd);
    const ssize_t n = ::readlink(self.constData(), folder, sizeof folder);
    if (n <= 0 || size_t(n) == sizeof folder || folder[0] != '/')
        return QByteArray();
    return (folder[n - 1] == '/' ? QByteArray(folder, n) : QByteArray(folder, n) + '/') + Name;
}

// Records that the temporary Name of DirFd is the program's own.
void RecordTemporary(int DirFd, const char* Name)
{
    const QByteArray records = TemporaryRecords(), path = PathIn(DirFd, Name);
    if (records.isEmpty() || path.isEmpty())
        return;
    for (qsizetype slash = records.indexOf('/', 1); slash >= 0; slash = records.indexOf('/', slash + 1))
        ::mkdir(records.left(slash).constData(), 0700);
    ::mkdir(records.constData(), 0700);
    const QByteArray record = records + '/' + RandomTail(Name);
    const int fd = ::open(record.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    if (::write(fd, path.constData(), size_t(path.size())) != path.size()) {
        ::close(fd);
        ::unlink(record.constData());
        return;
    }
    ::close(fd);
}

// Whether the program's record names Name of DirFd as its temporary.
bool Recorded(int DirFd, const char* Name)
{
    const QByteArray records = TemporaryRecords(), path = PathIn(DirFd, Name);
    if (records.isEmpty() || path.isEmpty())
        return false;
    QFile record(QFile::decodeName(records + '/' + RandomTail(Name)));
    return record.open(QIODevice::ReadOnly) && record.read(path.size() + 1) == path;
}

// Marks Fd as the temporary Name of DirFd; where the file system keeps no
// mark, the program's record names it.
void MarkTemporary(int DirFd, const char* Name, int Fd)
{
    const char* random = RandomTail(Name);
    if (::fsetxattr(Fd, TemporaryMark, random, std::strlen(random), 0) != 0)
        RecordTemporary(DirFd, Name);
}

// Gives Fd, a file made without a name, a temporary's name in DirFd, locked
// and marked before it shows: 0 or the errno.
int NameTemporary(int DirFd, int Fd, QByteArray& Name)
{
    ::flock(Fd, LOCK_EX | LOCK_NB);
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(Fd);
    for (;;) {
        Name = TemporaryName(SaveTemporaryPrefix);
        MarkTemporary(DirFd, Name.constData(), Fd);
        if (::linkat(AT_FDCWD, self.constData(), DirFd, Name.constData(), AT_SYMLINK_FOLLOW) == 0)
            return 0;
        const int err = errno;
        ForgetTemporary(Name.constData());
        Name.clear();
        if (err != EEXIST)
            return err;
    }
}

// Removes the leftover Name of DirFd while it is still the file Fd.
bool RemoveFile(int DirFd, const char* Name, int Fd)
{
    return NamesFile(DirFd, Name, Fd) && ::unlinkat(DirFd, Name, 0) == 0;
}

} // namespace

int (*TemporaryStatFs)(int Fd, struct statfs* Buffer) = ::fstatfs;

QByteArray TemporaryName(const char* Prefix)
{
    QByteArray random(TemporaryRandomLength / 2, '\0');
    QRandomGenerator::system()->generate(random.begin(), random.end());
    return Prefix + random.toHex();
}

int LockTemporary(int DirFd, const char* Name, int Fd)
{
    if (::flock(Fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK || errno == EINTR)
            return EAGAIN;
        return 0;  // no locks here: nothing is swept here either
    }
    // A sweep that took the temporary before the lock has removed it.
    if (!NamesFile(DirFd, Name, Fd))
        return EAGAIN;
    MarkTemporary(DirFd, Name, Fd);
    return 0;
}

void ForgetTemporary(const char* Name)
{
    const QByteArray records = TemporaryRecords();
    if (!records.isEmpty())
        ::unlink((records + '/' + RandomTail(Name)).constData());
}

int OpenLeftover(int DirFd, const char* Name, const char* Prefix, bool Folder)
{
    const QByteArray random = RandomPartOf(Name, Prefix);
    if (random.isEmpty())
        return -1;
    const auto ofKind = [Folder](const struct stat& st) { return Folder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode); };
    // Only the user's own files or folders are opened: no link, pipe or device.
    struct stat st {};
    if (::fstatat(DirFd, Name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !ofKind(st) || st.st_uid != ::geteuid())
        return -1;
    const int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (Folder ? O_DIRECTORY : 0);
    const int fd = ::openat(DirFd, Name, flags);
    if (fd < 0)
        return -1;
    char mark[TemporaryRandomLength + 1];
    const ssize_t markSize = ::fgetxattr(fd, TemporaryMark, mark, sizeof mark);
    struct stat open {};
    const bool marked = markSize == ssize_t(random.size()) && QByteArrayView(mark, markSize) == random;
    const bool own = ::fstat(fd, &open) == 0 && ofKind(open) && open.st_uid == ::geteuid() &&
                     (marked || (markSize < 0 && Recorded(DirFd, Name)));
    // Where other machines do not see the lock, only an old one is left over.
    const bool old = own && (!OnNetworkFileSystem(fd) || open.st_mtim.tv_sec < std::time(nullptr) - NetworkLeftoverAge);
    // Locked and still under that name: its maker has ended.
    if (old && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && NamesFile(DirFd, Name, fd))
        return fd;
    ::close(fd);
    return -1;
}

void SweepTemporaries(int DirFd, const char* Prefix, bool Folders,
                      const std::function<bool(int DirFd, const char* Name, int Fd)>& Remove)
{
    const int listFd = ::openat(DirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0)
        return;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return;
    }
    std::vector<QByteArray> names;
    while (const dirent* e = ::readdir(dir))
        if (!RandomPartOf(e->d_name, Prefix).isEmpty())
            names.emplace_back(e->d_name);
    ::closedir(dir);
    for (const QByteArray& name : names) {
        const int fd = OpenLeftover(DirFd, name.constData(), Prefix, Folders);
        if (fd >= 0) {
            if (Remove(DirFd, name.constData(), fd))
                ForgetTemporary(name.constData());
            ::close(fd);
        }
    }
}

int ReplaceFileContents(const QString& FileName, const void* Data, size_t Size)
{
    // Through a link, live or dangling, the file it names is written and the
    // link stays.
    QByteArray target = EncodeFileName(FileName);
    if (const int err = FollowLinks(target))
        return err;
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
    struct stat old {};
    const bool exists = ::stat(target.constData(), &old) == 0;
    if (exists && ::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0)
        return errno;
    // A folder that may be written but not read is neither swept nor synced.
    int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool readable = dir >= 0;
    if (!readable && errno == EACCES)
        dir = ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return errno;
    // What earlier saves that were killed left here goes first.
    if (readable)
        SweepTemporaries(dir, SaveTemporaryPrefix, false, RemoveFile);
    // A new file is made with the permissions the umask leaves; one that
    // replaces another keeps the other's. Where the file system allows, the
    // contents get no name until they are whole; elsewhere a named temporary
    // is made. Either stays locked until it has its final name.
    QByteArray temp;
    int fd = ::openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    while (fd < 0) {
        temp = TemporaryName(SaveTemporaryPrefix);
        fd = ::openat(dir, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            const int err = errno;
            ::close(dir);
            return err;
        }
        if (fd >= 0 && LockTemporary(dir, temp.constData(), fd) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    int err = !exists || ::fchmod(fd, old.st_mode & 07777) == 0 ? 0 : errno;
    const char* p = static_cast<const char*>(Data);
    for (size_t left = Size; err == 0 && left > 0;) {
        const ssize_t n = ReplaceFileWrite(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            err = n < 0 ? errno : EIO;
        else {
            p += n;
            left -= size_t(n);
        }
    }
    if (err == 0 && ReplaceFileSync(fd) != 0)
        err = errno;
    if (err == 0 && temp.isEmpty())
        err = NameTemporary(dir, fd, temp);
    // The saved file keeps no mark of a temporary.
    if (err == 0)
        ::fremovexattr(fd, TemporaryMark);
    if (err == 0 && ::renameat(dir, temp.constData(), AT_FDCWD, target.constData()) != 0)
        err = errno;
    if (!temp.isEmpty()) {
        if (err != 0)
            ::unlinkat(dir, temp.constData(), 0);
        ForgetTemporary(temp.constData());
    }
    ::close(fd);
    // The new name is on disk only once the folder is: a file system that
    // cannot sync a folder has nothing to sync.
    if (err == 0 && readable && ReplaceFileSync(dir) != 0 && errno != EINVAL)
        err = errno;
    ::close(dir);
    return err;
}

QString SysErrorMessage(int ErrorCode)
{
    const char* text = nullptr;
    switch (ErrorCode) {
    case ENAMETOOLONG: text = "The file name is too long."; break;
    case ENOENT: text = "The file or folder does not exist."; break;
    case ELOOP: text = "Too many links lead from one to the next."; break;
    case EROFS: text = "The disk is write-protected."; break;
    case EIO: text = "The disk could not be read or written."; break;
    case ENOSPC:
    case EDQUOT: text = "There is not enough free space on the disk."; break;
    case EACCES:
    case EPERM: text = "You do not have permission for this."; break;
    case EBUSY: text = "The file or folder is in use by the system (a mounted drive, for example)."; break;
    case EXDEV: text = "The file or folder lies on another drive and cannot be moved there in one step."; break;
    case EILSEQ: text = "The disk cannot store a character of this name."; break;
    case EINVAL:
        text = "The disk does not accept this name or request (names with : ? * \" < > on a FAT disk, for example).";
        break;
    case EFBIG: text = "The file is too large for the disk (a FAT32 disk holds files of up to 4 GB)."; break;
    case EOVERFLOW: text = "The file is too large to be handled."; break;
    case ENOTDIR: text = "A part of the path is not a folder."; break;
    case EISDIR: text = "This is a folder, not a file."; break;
    case EEXIST: text = "A file or folder of this name already exists."; break;
    case ENOTEMPTY: text = "The folder is not empty."; break;
    case EMLINK: text = "The file or folder has too many links."; break;
    case ETXTBSY: text = "The file is a running program and cannot be changed now."; break;
    case EMFILE:
    case ENFILE: text = "Too many files are open."; break;
    case ENOMEM: text = "There is not enough memory."; break;
    case ESTALE: text = "The file or folder was changed or removed elsewhere (on a network drive, for example)."; break;
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM: text = "The drive or device is not available."; break;
    case EAGAIN: text = "The file is busy at the moment. Please try again later."; break;
    case ENOLCK:
    case EDEADLK: text = "The file could not be locked."; break;
    case EINTR: text = "The operation was interrupted."; break;
    case ECANCELED: text = "The operation was cancelled."; break;
    case EOPNOTSUPP:
    case ENOSYS:
    case ENOTTY: text = "The disk or the system does not support this operation."; break;
    case EFAULT:
    case EBADF: text = "An internal error occurred while accessing the file."; break;
    case ETIMEDOUT:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH:
    case ENETRESET:
    case ECONNABORTED:
    case ECONNRESET:
    case ECONNREFUSED:
    case ENOTCONN:
    case ENOLINK:
    case ECOMM:
    case EREMOTEIO: text = "The network drive cannot be reached."; break;
    case EUCLEAN:
    case EBADMSG: text = "The file system of the disk is damaged. Please have it checked."; break;
    case ENOKEY: text = "The folder is encrypted and not unlocked."; break;
    default:
        // Any other cause, by its number.
        return QCoreApplication::translate("SysConst", "The operation failed (system error %d).")
            .replace(QLatin1String("%d"), QString::number(ErrorCode));
    }
    return QCoreApplication::translate("SysConst", text);
}

QString ExtractFileName(const QString& fileName)
{
    const qsizetype i = fileName.lastIndexOf(QLatin1Char('/'));
    return fileName.mid(i + 1);
}

QString ExtractFilePath(const QString& fileName)
{
    const qsizetype i = fileName.lastIndexOf(QLatin1Char('/'));
    return fileName.left(i + 1);
}

QString ExtractFileDir(const QString& fileName)
{
    const qsizetype i = fileName.lastIndexOf(QLatin1Char('/'));
    if (i <= 0)
        return i == 0 ? QStringLiteral("/") : QString();
    return fileName.left(i);
}

QString ExtractFileExt(const QString& fileName)
{
    const QString name = ExtractFileName(fileName);
    const qsizetype i = name.lastIndexOf(QLatin1Char('.'));
    return i < 0 ? QString() : name.mid(i);
}

QString ChangeFileExt(const QString& fileName, const QString& ext)
{
    const QString cur = ExtractFileExt(fileName);
    return fileName.left(fileName.size() - cur.size()) + ext;
}

QString IncludeTrailingPathDelimiter(const QString& dir)
{
    return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

QString ExcludeTrailingPathDelimiter(const QString& dir)
{
    QString r = dir;
    while (r.size() > 1 && r.endsWith(QLatin1Char('/')))
        r.chop(1);
    return r;
}

int Utf8SequenceAt(std::string_view Bytes, size_t At)
{
    const auto byte = [&](size_t i) { return uint8_t(Bytes[i]); };
    const uint8_t b = byte(At);
    int n;
    uint8_t low = 0x80, high = 0xBF;  // bounds of the second byte
    if (b < 0x80)
        return 1;
    if (b >= 0xC2 && b <= 0xDF)
        n = 2;
    else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        if (b == 0xE0)
            low = 0xA0;
        else if (b == 0xED)
            high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        if (b == 0xF0)
            low = 0x90;
        else if (b == 0xF4)
            high = 0x8F;
    } else
        return 0;
    if (At + n > Bytes.size() || byte(At + 1) < low || byte(At + 1) > high)
        return 0;
    for (int i = 2; i < n; ++i)
        if ((byte(At + i) & 0xC0) != 0x80)
            return 0;
    return n;
}

QString DecodeFileName(const QByteArray& bytes)
{
    // Decoded here: Qt's decoders drop a leading byte-order mark.
    static constexpr uint8_t leadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    QString name;
    name.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const int n = Utf8SequenceAt(std::string_view(bytes.constData(), size_t(bytes.size())), size_t(i));
        if (n == 0) {
            name += QChar(char16_t(0xDC00 + uint8_t(bytes[i++])));
            continue;
        }
        char32_t code = uint8_t(bytes[i]) & leadMask[n];
        for (int k = 1; k < n; ++k)
            code = (code << 6) | (uint8_t(bytes[i + k]) & 0x3F);
        if (QChar::requiresSurrogates(code)) {
            name += QChar(QChar::highSurrogate(code));
            name += QChar(QChar::lowSurrogate(code));
        } else {
            name += QChar(char16_t(code));
        }
        i += n;
    }
    return name;
}

QByteArray EncodeFileName(const QString& name)
{
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype i = 0;
    while (i < name.size()) {
        // A run without kept bytes is plain UTF-8.
        qsizetype end = i;
        while (end < name.size()) {
            const char16_t c = name[end].unicode();
            const bool paired = end > 0 && QChar::isHighSurrogate(name[end - 1].unicode());
            if (c >= 0xDC80 && c <= 0xDCFF && !paired)
                break;
            ++end;
        }
        bytes += QStringView(name).mid(i, end - i).toUtf8();
        if (end < name.size())
            bytes += char(name[end++].unicode() - 0xDC00);
        i = end;
    }
    return bytes;
}

namespace {
std::atomic<int32_t> TheFileNameCodePage{1252};

// Whether Name holds a byte kept by DecodeFileName (a lone U+DC80..U+DCFF).
bool HoldsKeptByte(QStringView Name)
{
    for (qsizetype i = 0; i < Name.size(); ++i) {
        const char16_t c = Name[i].unicode();
        if (c >= 0xDC80 && c <= 0xDCFF && !(i > 0 && QChar::isHighSurrogate(Name[i - 1].unicode())))
            return true;
    }
    return false;
}
}  // namespace

void SetFileNameCodePage(int32_t CodePage)
{
    TheFileNameCodePage.store(CodePage, std::memory_order_relaxed);
}

int32_t FileNameCodePage()
{
    return TheFileNameCodePage.load(std::memory_order_relaxed);
}

QString DisplayFileName(const QString& name)
{
    if (!HoldsKeptByte(name))
        return name;
    const int32_t codePage = FileNameCodePage();
    QString shown;
    shown.reserve(name.size());
    qsizetype start = 0;
    while (start <= name.size()) {
        qsizetype end = name.indexOf(QLatin1Char('/'), start);
        if (end < 0)
            end = name.size();
        const QStringView part = QStringView(name).mid(start, end - start);
        if (HoldsKeptByte(part)) {
            const QByteArray bytes = EncodeFileName(part.toString());
            QString text = CodePageToUnicode(codePage, std::string_view(bytes.constData(), size_t(bytes.size())));
            // A byte the code page leaves undefined would be an invisible
            // control character.
            for (QChar& c : text)
                if (c.unicode() >= 0x80 && c.unicode() <= 0x9F)
                    c = QChar::ReplacementCharacter;
            shown += text;
        } else {
            shown += part;
        }
        if (end < name.size())
            shown += QLatin1Char('/');
        start = end + 1;
    }
    return shown;
}

QString UserDocumentsFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

uint32_t GetTickCount()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint32_t(uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u);
}
