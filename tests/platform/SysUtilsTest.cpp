#include "SysUtils.h"

#include <QFile>
#include <gtest/gtest.h>

#include <cmath>
#include <iconv.h>
#include <limits>

TEST(SysUtils, RoundTiesToEven)
{
    const struct { double in; int64_t out; } cases[] = {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2},
        {2.4999, 2}, {2.5001, 3}, {1e12 + 0.5, 1000000000000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Round(c.in), c.out) << c.in;
    EXPECT_EQ(Trunc(-2.7), -2);
    EXPECT_EQ(Trunc(2.7), 2);
}

TEST(SysUtils, RoundAndTruncAreDefinedForEveryDouble)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr int64_t max64 = std::numeric_limits<int64_t>::max();
    constexpr int64_t min64 = std::numeric_limits<int64_t>::min();
    constexpr int32_t max32 = std::numeric_limits<int32_t>::max();
    constexpr int32_t min32 = std::numeric_limits<int32_t>::min();
    const struct { double in; int64_t round, trunc; int32_t round32, trunc32; } cases[] = {
        {nan, 0, 0, 0, 0},
        {-nan, 0, 0, 0, 0},
        {inf, max64, max64, max32, max32},
        {-inf, min64, min64, min32, min32},
        {1e20, max64, max64, max32, max32},
        {-3e38, min64, min64, min32, min32},
        {9223372036854775808.0, max64, max64, max32, max32},
        {-9223372036854775808.0, min64, min64, min32, min32},
        {2147483647.4, 2147483647, 2147483647, max32, max32},
        {2147483647.5, 2147483648, 2147483647, max32, max32},
        {-2147483648.5, -2147483648, -2147483648, min32, min32},
        {-2147483649.0, -2147483649, -2147483649, min32, min32},
        {-7.5, -8, -7, -8, -7},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Round(c.in), c.round) << c.in;
        EXPECT_EQ(Trunc(c.in), c.trunc) << c.in;
        EXPECT_EQ(Round32(c.in), c.round32) << c.in;
        EXPECT_EQ(Trunc32(c.in), c.trunc32) << c.in;
    }
}

TEST(SysUtils, MulDivRoundsHalfAwayFromZeroAndRefusesZeroDivisor)
{
    EXPECT_EQ(MulDiv(10, 96, 72), 13);      // 13.33
    EXPECT_EQ(MulDiv(3, 1, 2), 2);          // 1.5 -> 2
    EXPECT_EQ(MulDiv(-3, 1, 2), -2);        // -1.5 -> -2
    EXPECT_EQ(MulDiv(5, 1, -2), -3);        // -2.5 -> -3
    EXPECT_EQ(MulDiv(1 << 30, 8, 4), -1);   // does not fit
    EXPECT_EQ(MulDiv(100000, 100000, 100000), 100000);  // 64-bit intermediate
    EXPECT_EQ(MulDiv(7, 8, 0), -1);
    EXPECT_EQ(MulDiv(12, 96, 72), 16);
}

TEST(SysUtils, FormatFollowsTheClassLibrary)
{
    TFormatSettings de;  // ',' and '.'
    TFormatSettings en{'.', ','};
    const struct { const char* fmt; std::initializer_list<TVarRec> args; const char* de; const char* en; } cases[] = {
        {"%d", {42}, "42", "42"},
        {"%5d|%-5d|", {7, 7}, "    7|7    |", "    7|7    |"},
        {"%.4d %s", {12, "ab"}, "0012 ab", "0012 ab"},
        {"%x %x %.4x", {255, -1, 10}, "FF FFFFFFFF 000A", "FF FFFFFFFF 000A"},
        {"%f", {3.14159}, "3,14", "3.14"},
        {"%.1f %.0f", {0.25, 2.5}, "0,3 3", "0.3 3"},
        {"%.2f", {0.125}, "0,13", "0.13"},
        {"%.2f", {-0.001}, "0,00", "0.00"},
        {"%n", {1234567.891}, "1.234.567,89", "1,234,567.89"},
        {"%e", {1000.0}, "1,00000000000000E+003", "1.00000000000000E+003"},
        {"%.3e", {-0.000123456}, "-1,23E-004", "-1.23E-004"},
        {"%g", {0.5}, "0,5", "0.5"},
        {"%g", {1e20}, "1E20", "1E20"},
        {"%1:s-%0:s-%s", {"a", "b"}, "b-a-b", "b-a-b"},
        {"%*d|%.*f", {4, 3, 1, 2.25}, "   3|2,3", "   3|2.3"},
        {"100%%", {}, "100%", "100%"},
        {"%.2s", {"abcdef"}, "ab", "ab"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Format(c.fmt, c.args, de), c.de) << c.fmt;
        EXPECT_EQ(Format(c.fmt, c.args, en), c.en) << c.fmt;
    }
}

TEST(SysUtils, FormatRejectsMismatchedArguments)
{
    EXPECT_THROW(Format("%d", {1.5}), EConvertError);
    EXPECT_THROW(Format("%s", {3}), EConvertError);
    EXPECT_THROW(Format("%d %d", {3}), EConvertError);
    EXPECT_THROW(Format("%q", {3}), EConvertError);
    EXPECT_THROW(Format("%", {3}), EConvertError);
    try {
        Format("%f", {"x"});
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Format '%f' invalid or incompatible with argument");
    }
}

TEST(SysUtils, FloatTextUsesTheGivenSeparator)
{
    TFormatSettings de;
    TFormatSettings en{'.', ','};
    EXPECT_EQ(FloatToStr(0.1, de), "0,1");
    EXPECT_EQ(FloatToStr(-12.5, en), "-12.5");
    EXPECT_EQ(FloatToStr(0.0001, de), "0,0001");
    EXPECT_EQ(FloatToStr(0.00001, de), "1E-5");
    EXPECT_EQ(FloatToStr(1e15, de), "1E15");
    EXPECT_EQ(FloatToStr(123456789012345.0, de), "123456789012345");
    EXPECT_EQ(FloatToStr(1.0 / 3.0, de), "0,333333333333333");
    EXPECT_DOUBLE_EQ(StrToFloat("1,5", de), 1.5);
    EXPECT_DOUBLE_EQ(StrToFloat(" -2,5E2 ", de), -250.0);
    EXPECT_THROW(StrToFloat("1.5", de), EConvertError);
    EXPECT_THROW(StrToFloat("", de), EConvertError);
    EXPECT_THROW(StrToFloat("1,5x", de), EConvertError);
    EXPECT_DOUBLE_EQ(StrToFloatDef("abc", 7.0, de), 7.0);
    for (double v : {0.1, 1.0 / 3.0, 2.675, -1e-300, 6.02e23}) {
        double back = 0;
        ASSERT_TRUE(TryStrToFloat(FloatToStr(v, de), back, de));
        EXPECT_NEAR(back, v, std::fabs(v) * 1e-14);
    }
}

TEST(SysUtils, IntegerConversions)
{
    EXPECT_EQ(StrToInt("  -17"), -17);
    EXPECT_EQ(StrToInt("$FF"), 255);
    EXPECT_EQ(StrToInt("0x10"), 16);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_THROW(StrToInt("2147483648"), EConvertError);
    EXPECT_THROW(StrToInt("12 "), EConvertError);
    EXPECT_THROW(StrToInt(""), EConvertError);
    EXPECT_EQ(StrToIntDef("x", 5), 5);
    EXPECT_EQ(IntToHex(255, 4), "00FF");
    try {
        StrToInt("abc");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
    }
}

TEST(SysUtils, TextHelpers)
{
    EXPECT_EQ(AnsiUpperCase("stra\xDF" "e \xE4\xF6\xFC"), "STRA\xDF" "E \xC4\xD6\xDC");
    EXPECT_EQ(UpperCase("\xE4" "a"), "\xE4" "A");
    EXPECT_TRUE(AnsiSameText("\xC4rger", "\xE4RGER"));
    EXPECT_EQ(AnsiCompareText("abc", "ABC"), 0);
    EXPECT_LT(AnsiCompareText("abc", "abd"), 0);
    EXPECT_EQ(Trim("\t a b \r\n"), "a b");
    EXPECT_EQ(StringReplace("aXbxc", "x", "-", rfReplaceAll | rfIgnoreCase), "a-b-c");
    EXPECT_EQ(StringReplace("aXbxc", "x", "-", 0), "aXb-c");
    EXPECT_EQ(Pos("lo", "hello"), 4);
    EXPECT_EQ(Pos("z", "hello"), 0);
}

TEST(SysUtils, FileNameParts)
{
    EXPECT_EQ(ExtractFileName("/a/b/c.zpb"), "c.zpb");
    EXPECT_EQ(ExtractFilePath("/a/b/c.zpb"), "/a/b/");
    EXPECT_EQ(ExtractFileDir("/a/b/c.zpb"), "/a/b");
    EXPECT_EQ(ExtractFileExt("/a.d/b"), "");
    EXPECT_EQ(ExtractFileExt("/a/b.tar.gz"), ".gz");
    EXPECT_EQ(ChangeFileExt("/a/b.exe", ".txt"), "/a/b.txt");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/a"), "/a/");
}

// A file name's bytes and its text convert both ways without loss: bytes
// that are no UTF-8 come back as they were, and UTF-8 reads as QFile does.
TEST(SysUtils, FileNamesKeepTheirBytesThroughText)
{
    const QByteArray cases[] = {
        "/bilder/a.png",
        "/Gr\xc3\xbc\xc3\x9f" "e/\xf0\x9f\x93\xb7.jpg",  // UTF-8, a four-byte letter too
        "\xef\xbb\xbf" "bom",                          // UTF-8 with a byte-order mark
        "/Gr\xfc\xdf" "e/b.png",                       // Latin-1
        "\xc0\xaf",                                    // overlong slash
        "\xed\xb2\x80",                                // an encoded surrogate
        "\xe2\x82",                                    // cut short
        "\xf4\x90\x80\x80",                            // above U+10FFFF
        "\xc3\xbc\xfc\xc3\xbc",                        // mixed
        "\x80\xff",
    };
    for (const QByteArray& bytes : cases) {
        SCOPED_TRACE(bytes.toHex().toStdString());
        const QString name = DecodeFileName(bytes);
        EXPECT_EQ(EncodeFileName(name), bytes);
        if (QString::fromUtf8(bytes).toUtf8() == bytes)
            EXPECT_EQ(name, QFile::decodeName(bytes));
        else
            EXPECT_NE(name, QFile::decodeName(bytes));
    }
    // Each byte that is no UTF-8 is one character of its own.
    EXPECT_EQ(DecodeFileName("Gr\xfc\xdf" "e"),
              QStringLiteral("Gr") + QChar(0xDCFC) + QChar(0xDCDF) + QStringLiteral("e"));
    // A letter beyond the first plane is no kept byte.
    EXPECT_EQ(EncodeFileName(QString::fromUtf8("\xf0\x9f\x93\xb7")), QByteArray("\xf0\x9f\x93\xb7"));
}

namespace {
// Bytes of a code page as the system's converter reads them; U+FFFD for a
// byte the code page leaves undefined.
QString SystemDecode(int CodePage, const QByteArray& Bytes)
{
    const QByteArray name = "CP" + QByteArray::number(CodePage);
    iconv_t cd = iconv_open("UTF-16LE", name.constData());
    if (cd == iconv_t(-1))
        return QString();
    QString out;
    for (const char c : Bytes) {
        char in[1] = {c};
        char16_t units[4] = {};
        char* inp = in;
        char* outp = reinterpret_cast<char*>(units);
        size_t inLeft = 1, outLeft = sizeof(units);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        // Converters that compose letters with marks hold a letter back until flushed.
        if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == size_t(-1) ||
            iconv(cd, nullptr, nullptr, &outp, &outLeft) == size_t(-1) || outLeft == sizeof(units))
            out += QChar(0xFFFD);
        else
            out += QString::fromUtf16(units, qsizetype((sizeof(units) - outLeft) / 2));
    }
    iconv_close(cd);
    return out.normalized(QString::NormalizationForm_C);
}

struct TFileNameCodePageScope {
    const int32_t Saved = FileNameCodePage();
    ~TFileNameCodePageScope() { SetFileNameCodePage(Saved); }
};
}  // namespace

// Every byte that is no UTF-8, in every Windows code page of a script, is
// shown as that code page's character; the name itself keeps its bytes.
TEST(SysUtils, NamesThatAreNoUtf8AreShownInTheCodePage)
{
    const TFileNameCodePageScope scope;
    for (int codePage = 1250; codePage <= 1258; ++codePage) {
        SCOPED_TRACE(codePage);
        SetFileNameCodePage(codePage);
        for (int b = 0x80; b <= 0xFF; ++b) {
            const QByteArray bytes = QByteArray("a") + char(b) + "z";
            const QString name = DecodeFileName(bytes);
            const QString expected = SystemDecode(codePage, bytes);
            ASSERT_FALSE(expected.isEmpty());
            EXPECT_EQ(DisplayFileName(name), expected) << "byte " << b;
            EXPECT_EQ(EncodeFileName(name), bytes);
        }
    }
}

TEST(SysUtils, DisplayFileNameReadsEachPartOfAPathByItself)
{
    const TFileNameCodePageScope scope;
    SetFileNameCodePage(1252);
    const QString gruesse = QString::fromUtf8("Grüße");
    struct {
        QByteArray Bytes;
        QString Shown;
    } const cases[] = {
        {"Gr\xfc\xdf" "e", gruesse},
        {"No\xebl 1998", QString::fromUtf8("Noël 1998")},
        {"\xc9t\xe9 Ferien", QString::fromUtf8("Été Ferien")},
        // Valid UTF-8 stays as it is, beside a part that is none.
        {"/home/J\xc3\xbcrgen/Gr\xfc\xdf" "e/x.jpg", QString::fromUtf8("/home/Jürgen/Grüße/x.jpg")},
        // A part that is no UTF-8 as a whole is read whole in the code page.
        {"\xc3\xbc\xfc", QString::fromUtf8("Ã¼ü")},
        {"/", QStringLiteral("/")},
        {"", QString()},
        // A letter beyond the first plane is UTF-8, not a kept byte.
        {"\xf0\x9f\x93\xb7/\xfc", QString::fromUtf8("\xf0\x9f\x93\xb7/ü")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Bytes.toHex().toStdString());
        EXPECT_EQ(DisplayFileName(DecodeFileName(c.Bytes)), c.Shown);
    }
    SetFileNameCodePage(1250);
    EXPECT_EQ(DisplayFileName(DecodeFileName("\x8a\xe8")), QString::fromUtf8("Šč"));
    SetFileNameCodePage(1251);
    EXPECT_EQ(DisplayFileName(DecodeFileName("\xc4\xe0")), QString::fromUtf8("Да"));
}
