// Windows font charsets to and from Unicode: one-byte code pages, double-byte
// pairs, Vietnamese tone marks, the choice of a charset for a character, and
// the code pages RTF names.
#include <gtest/gtest.h>

#include "Charsets.h"

namespace {

// The bytes of a text in a charset; empty when a character does not fit.
std::string Encode(int32_t Charset, const std::u32string& Text)
{
    std::string out;
    for (char32_t c : Text)
        if (!UnicodeToCharset(Charset, c, out))
            return {};
    return out;
}

}  // namespace

TEST(Charsets, SampleTextsSurviveTheirCharsets)
{
    const struct {
        int32_t Charset;
        std::u32string Text;
        size_t Bytes;
    } cases[] = {
        {0, U"Grüße € 5", 9},
        {EASTEUROPE_CHARSET, U"Zażółć gęślą jaźń Łódź Győr Plzeň", 33},
        {RUSSIAN_CHARSET, U"Съешь ещё Київ ґрунт", 20},
        {GREEK_CHARSET, U"Ξεσκεπάζω Αθήνα", 15},
        {TURKISH_CHARSET, U"Pijamalı yağız şoföre", 21},
        {BALTIC_CHARSET, U"Įlinkdama špaga arbūzą", 22},
        // Letters the code page lacks whole: the letter with some marks, then the tone mark.
        {VIETNAMESE_CHARSET, U"Tiếng Việt có dấu đẹp", 25},
        {SHIFTJIS_CHARSET, U"日本語のテキスト ｶﾅ", 19},
        {GB2312_CHARSET, U"我们一起学习中文", 16},
        {CHINESEBIG5_CHARSET, U"我們一起學習中文", 16},
        {HANGEUL_CHARSET, U"한국어 텍스트", 13},
    };
    for (const auto& c : cases) {
        const std::string bytes = Encode(c.Charset, c.Text);
        EXPECT_EQ(bytes.size(), c.Bytes) << c.Charset;
        EXPECT_EQ(CharsetToUnicode(c.Charset, bytes), QString::fromStdU32String(c.Text)) << c.Charset;
    }
    std::string out;
    EXPECT_FALSE(UnicodeToCharset(0, U'Ł', out));
    EXPECT_FALSE(UnicodeToCharset(RUSSIAN_CHARSET, U'日', out));
    EXPECT_FALSE(UnicodeToCharset(HANGEUL_CHARSET, U'😀', out));
    EXPECT_TRUE(out.empty());
}

TEST(Charsets, PairsAndToneMarksAreOneCharacter)
{
    EXPECT_TRUE(IsCharsetLeadByte(SHIFTJIS_CHARSET, 0x93));
    EXPECT_FALSE(IsCharsetLeadByte(SHIFTJIS_CHARSET, 'A'));
    EXPECT_FALSE(IsCharsetLeadByte(SHIFTJIS_CHARSET, 0xB6));  // a half-width kana
    EXPECT_FALSE(IsCharsetLeadByte(EASTEUROPE_CHARSET, 0x93));
    EXPECT_EQ(CharsetCharToUnicode(SHIFTJIS_CHARSET, 0x93, 0xFA), U'日');
    EXPECT_EQ(CharsetCharToUnicode(RUSSIAN_CHARSET, 0xC6), U'Ж');
    EXPECT_EQ(CharsetCharsPerByte(SHIFTJIS_CHARSET, "\x93\xfa" "A\xb6"), std::u32string({U'日', 0, U'A', U'ｶ'}));
    // "ê" and a dot below compose to one letter; a lone lead byte is no character.
    EXPECT_EQ(CharsetCharsPerByte(VIETNAMESE_CHARSET, "\xea\xf2x"), std::u32string({U'ệ', 0, U'x'}));
    EXPECT_EQ(CharsetCharsPerByte(SHIFTJIS_CHARSET, "a\x93"), std::u32string({U'a', U' '}));
}

TEST(Charsets, ChoosesACharsetThatHoldsTheCharacter)
{
    const struct {
        std::u32string Text;
        int32_t Current, Preferred, Expected;
    } cases[] = {
        {U"Łódź", 0, -1, EASTEUROPE_CHARSET},
        {U"ódź", EASTEUROPE_CHARSET, -1, EASTEUROPE_CHARSET},  // the current charset holds it
        {U"ó", 0, -1, 0},
        {U"Жук", 0, -1, RUSSIAN_CHARSET},
        {U"αβ", 0, -1, GREEK_CHARSET},
        {U"ığ", 0, -1, TURKISH_CHARSET},
        {U"ą", 0, BALTIC_CHARSET, BALTIC_CHARSET},              // the input language's charset first
        {U"ą", 0, -1, EASTEUROPE_CHARSET},
        {U"ệ", 0, -1, VIETNAMESE_CHARSET},
        {U"日本語の", 0, -1, SHIFTJIS_CHARSET},
        {U"我爱北京", 0, -1, GB2312_CHARSET},                    // Japanese holds only the first
        {U"爱", 0, CHINESEBIG5_CHARSET, GB2312_CHARSET},         // Big5 lacks it
        {U"한국", 0, -1, HANGEUL_CHARSET},
        {U"șțȘȚ", 0, -1, EASTEUROPE_CHARSET},                 // held as their cedilla twins
        {U"😀", 0, -1, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseCharset(c.Text, c.Current, c.Preferred), c.Expected) << QString::fromStdU32String(c.Text).toStdString();
}

TEST(Charsets, RomanianCommaLettersAreHeldAsTheirCedillaTwins)
{
    std::string bytes;
    EXPECT_TRUE(UnicodeToCharset(EASTEUROPE_CHARSET, U'ș', bytes));
    EXPECT_TRUE(UnicodeToCharset(EASTEUROPE_CHARSET, U'Ț', bytes));
    EXPECT_EQ(CharsetToUnicode(EASTEUROPE_CHARSET, bytes), QString::fromUtf8("şŢ"));
}

TEST(Charsets, CodePagesOfRtf)
{
    EXPECT_EQ(CodePageCharset(1251), RUSSIAN_CHARSET);
    EXPECT_EQ(CodePageCharset(1250), EASTEUROPE_CHARSET);
    EXPECT_EQ(CodePageCharset(932), SHIFTJIS_CHARSET);
    EXPECT_EQ(CodePageCharset(1252), 0);
    EXPECT_EQ(CodePageCharset(10000), -1);
    EXPECT_EQ(CharsetCodePage(1), 1252);
    EXPECT_EQ(CodePageToUnicode(10000, "K\x9aln"), QString::fromUtf8("Köln"));
    EXPECT_EQ(CodePageToUnicode(437, "M\x81nchen"), QString::fromUtf8("München"));
    EXPECT_EQ(CodePageToUnicode(850, "\x90t\x82"), QString::fromUtf8("Été"));
}

TEST(Charsets, OtherCodePagesKeepFewTables)
{
    EXPECT_EQ(CodePageToUnicode(866, "\x80\xe0"), QString::fromUtf8("Ар"));
    // Any number of code pages, most of which iconv lacks: a few tables are kept.
    for (int32_t page = 20000; page < 40000; ++page)
        CodePageToUnicode(page, "\x80");
    EXPECT_LE(CachedCodePageTables(), 16u);
    // A code page iconv lacks reads as Windows-1252; one it has is made again.
    EXPECT_EQ(CodePageToUnicode(39999, "\x80"), QString::fromUtf8("€"));
    EXPECT_EQ(CodePageToUnicode(866, "\x80\xe0"), QString::fromUtf8("Ар"));
    for (int32_t page : {737, 775, 852, 855, 857, 860, 861, 862, 863, 865, 869, 1125, 12712, 16804, 4909, 5347, 9448})
        CodePageToUnicode(page, "\x80");
    EXPECT_LE(CachedCodePageTables(), 16u);
    EXPECT_EQ(CodePageToUnicode(866, "\x80\xe0"), QString::fromUtf8("Ар"));
}
