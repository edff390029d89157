#include "RtfKeywords.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

struct TExpect {
    const char* Name;
    int32_t Kind;
    int32_t Code;
    int32_t Default;
    bool UseDefault;
};

} // namespace

TEST(RtfKeywords, HoldsTheKnownWordsOnceEach)
{
    std::set<std::string> names;
    for (int i = 0; i < RtfKeywordCount(); ++i)
        names.insert(RtfKeywordAt(i).Name);
    // 292 words of the program's vocabulary plus "fldrslt", "u", "uc", "nestcell", "nestrow",
    // "bullet", "qmspace", "column" and "chftn", the code pages "ansicpg", "ansi", "mac",
    // "pc", "pca" and "cpg", and 37 destinations of word processors that hold no text.
    EXPECT_EQ(RtfKeywordCount(), 344);
    EXPECT_EQ(names.size(), 344u);
    EXPECT_TRUE(names.count("fldrslt") && names.count("u") && names.count("uc") && names.count("nestcell")
                && names.count("nestrow") && names.count("ansicpg") && names.count("mac") && names.count("pc"));
}

TEST(RtfKeywords, KindsCodesAndDefaults)
{
    const TExpect cases[] = {
        {"tab", rtfkChar, 9, 0, false},
        {"rttab", rtfkChar, 9, 0, false},
        {"ldblquote", rtfkChar, 0x93, 0, false},
        {"rdblquote", rtfkChar, 0x94, 0, false},
        {"bullet", rtfkChar, 0x95, 0, false},
        {"qmspace", rtfkChar, 32, 0, false},
        {"line", rtfkChar, 1010, 0, false},
        {"\n", rtfkProperty, 25, 0, false},
        {"\r", rtfkProperty, 25, 0, false},
        {"column", rtfkProperty, 25, 0, false},
        {"chftn", rtfkProperty, rtfpFootnoteNumber, 0, false},
        {"\\", rtfkChar, 92, 0, false},
        {"'", rtfkSpecial, 2, 0, false},
        {"*", rtfkSpecial, 3, 0, false},
        {"pict", rtfkDestination, 3, 0, false},
        {"staticval", rtfkDestination, 7, 1000, true},
        {"headerl", rtfkDestination, 15, 108, true},
        {"footerr", rtfkDestination, 16, 114, true},
        {"listtext", rtfkDestination, 160, 0, false},
        {"paperh", rtfkProperty, 11, 15480, false},
        {"pghsxn", rtfkProperty, 11, 15480, false},
        {"fs", rtfkProperty, 27, 100, false},
        {"pard", rtfkProperty, 22, 0, true},
        {"qc", rtfkProperty, 21, 2, true},
        {"qr", rtfkProperty, 21, 1, true},
        {"ulnone", rtfkProperty, 3, 0, true},
        {"brdrhair", rtfkProperty, 34, 10, true},
        {"endash", rtfkProperty, 82, 5, true},
        {"emdash", rtfkProperty, 82, 7, true},
        {"chpgn", rtfkProperty, 146, 5, true},
        {"-", rtfkProperty, 161, 0, false},
        {"ilvl", rtfkProperty, 158, 0, false},
        {"up", rtfkProperty, 159, 6, false},
    };
    for (const TExpect& e : cases) {
        SCOPED_TRACE(e.Name);
        const TRtfKeyword* k = FindRtfKeyword(e.Name);
        ASSERT_NE(k, nullptr);
        EXPECT_EQ(k->Kind, e.Kind);
        EXPECT_EQ(k->Code, e.Code);
        EXPECT_EQ(k->Default, e.Default);
        EXPECT_EQ(k->UseDefault != 0, e.UseDefault);
    }
}

TEST(RtfKeywords, LookupIsExactAndCaseSensitive)
{
    EXPECT_EQ(FindRtfKeyword("B"), nullptr);
    EXPECT_EQ(FindRtfKeyword("Par"), nullptr);
    EXPECT_EQ(FindRtfKeyword("pa"), nullptr);
    EXPECT_EQ(FindRtfKeyword("pardd"), nullptr);
    EXPECT_EQ(FindRtfKeyword(""), nullptr);
    EXPECT_EQ(FindRtfKeyword(std::string(45, 'b')), nullptr);
}

TEST(RtfKeywords, ParameterResolution)
{
    const TRtfKeyword& b = *FindRtfKeyword("b");
    EXPECT_EQ(b.Parameter(0, false), 1); // "\b" switches on
    EXPECT_EQ(b.Parameter(0, true), 0);  // "\b0" switches off
    const TRtfKeyword& fs = *FindRtfKeyword("fs");
    EXPECT_EQ(fs.Parameter(0, false), 100);
    EXPECT_EQ(fs.Parameter(25, true), 25);
    const TRtfKeyword& pard = *FindRtfKeyword("pard");
    EXPECT_EQ(pard.Parameter(7, true), 0); // the number is ignored
    EXPECT_EQ(FindRtfKeyword("qc")->Parameter(9, true), 2);
    // A destination without a number passes 0, not its default.
    const TRtfKeyword& bin = *FindRtfKeyword("bin");
    EXPECT_EQ(bin.Parameter(0, false), 0);
    EXPECT_EQ(bin.Parameter(12, true), 12);
    EXPECT_EQ(FindRtfKeyword("headerf")->Parameter(5, true), 102);
}
