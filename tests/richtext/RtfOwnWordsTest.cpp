// The program's own RTF words: written where the store asks for them and read
// back into the same store.
#include "RtfTestSupport.h"

namespace {

size_t CountOf(const std::string& S, const std::string& Word)
{
    size_t n = 0;
    for (size_t at = S.find(Word); at != std::string::npos; at = S.find(Word, at + Word.size()))
        ++n;
    return n;
}

} // namespace

TEST(RtfOwnWords, OwnKindTabIsWrittenOnceAndReadBack)
{
    struct Case {
        const char* Par;
        size_t OwnTabs, PlainTabs;
    };
    const Case cases[] = {
        // The only tab stop is of the own kind: its first tab is marked.
        {"\\pard\\tqdec\\tx2000 a\\tab b\\tab c\\par", 1, 1},
        // Another kind, or more than one stop: plain tabs.
        {"\\pard\\tqr\\tx2000 a\\tab b\\par", 0, 1},
        {"\\pard\\tqdec\\tx2000\\tx4000 a\\tab b\\par", 0, 1},
        {"\\pard a\\tab b\\par", 0, 1},
    };
    for (const Case& c : cases) {
        TRtRTFText first;
        ReadRtf(first, std::string("{\\rtf1 ") + c.Par + "\\pard end}");
        const std::string written = WriteRtf(first);
        EXPECT_EQ(CountOf(written, "\\rttab "), c.OwnTabs) << written;
        EXPECT_EQ(CountOf(written, "\\tab "), c.PlainTabs) << written;
        TRtRTFText second;
        ReadRtf(second, written);
        EXPECT_EQ(DumpStore(second), DumpStore(first)) << written;
    }
    // Read, the word is a tab like any other.
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1 a\\rttab b}");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(text.FirstPar->Lines->Chars), text.FirstPar->Lines->Length),
              "a\tb");
}

TEST(RtfOwnWords, NumberingStyleNumberSelectsAnExistingStyle)
{
    const std::string list = "{\\rtf1\\pard{\\*\\pn\\pnlvlblt{\\pntxtb\\'b7}}first\\par";
    TRtRTFText probe;
    ReadRtf(probe, list + "}");
    const int32_t nr = ParAt(probe, 0)->Number;
    ASSERT_GT(nr, 0);
    const std::string doc = list + "\\pard\\rtsnr" + std::to_string(nr) + " second\\par\\pard\\rtsnr999 third\\par"
        + "\\pard\\rtsnr-1 fourth\\par\\pard\\rtsnr4294967295 fifth}";
    TRtRTFText text;
    ReadRtf(text, doc);
    EXPECT_EQ(ParAt(text, 1)->Number, nr);
    for (int i : {2, 3, 4})
        EXPECT_EQ(ParAt(text, i)->Number, 0) << i;
    text.Header()->LoadOptions.Include(loIgnoreOutlineStyles);
    ReadRtf(text, doc);
    EXPECT_EQ(ParAt(text, 1)->Number, 0);
}

namespace {

// A paragraph's lines as "text/width/page-break" items.
std::string LayoutOf(const TParagraph* P)
{
    std::string s;
    for (const TLine* l = P->Lines; l; l = l->Next)
        s += std::string(reinterpret_cast<const char*>(l->Chars), l->Length) + "/" + std::to_string(l->Width)
            + ((l->Flags & linfPageBreakAfter) ? "/p " : " ");
    return s;
}

} // namespace

TEST(RtfOwnWords, StoredLineLayoutSurvivesARoundTrip)
{
    const std::string doc = "{\\rtf1\\rtformatted1 abc\\rtlin150 def\\rtlin-300 \\rtnpage \\par next\\rtlin-2147483648 }";
    TRtRTFText text;
    text.Header()->PreformattedTextAllowed = 1;
    ReadRtf(text, doc);
    EXPECT_TRUE(text.TextFormatted1);
    EXPECT_EQ(LayoutOf(ParAt(text, 0)), "abc/10 def/20/p ");
    const std::string written = WriteRtf(text);
    EXPECT_NE(written.find("\\rtformatted1"), std::string::npos) << written;
    EXPECT_NE(written.find("abc\\rtlin150 "), std::string::npos) << written;
    EXPECT_NE(written.find("def\\rtlin-300 \\rtnpage "), std::string::npos) << written;
    TRtRTFText back;
    back.Header()->PreformattedTextAllowed = 1;
    ReadRtf(back, written);
    EXPECT_EQ(LayoutOf(ParAt(back, 0)), LayoutOf(ParAt(text, 0)));
    EXPECT_EQ(DumpStore(back), DumpStore(text));

    // Not allowed by the header, or ignored by the load options: one line.
    TRtRTFText plain;
    ReadRtf(plain, doc);
    EXPECT_FALSE(plain.TextFormatted1);
    EXPECT_EQ(LayoutOf(ParAt(plain, 0)), "abcdef/0 ");
    EXPECT_EQ(WriteRtf(plain).find("\\rtlin"), std::string::npos);
    plain.Header()->PreformattedTextAllowed = 1;
    plain.Header()->LoadOptions.Include(soIgnoreWordwrapInformation);
    ReadRtf(plain, doc);
    EXPECT_EQ(LayoutOf(ParAt(plain, 0)), "abcdef/0 ");

    // The store options ask for the layout of any text.
    plain.Header()->StoreOptions.Include(soWordwrapInformation);
    const std::string asked = WriteRtf(plain);
    EXPECT_NE(asked.find("\\rtformatted1"), std::string::npos) << asked;
    EXPECT_NE(asked.find("abcdef\\rtlin0 "), std::string::npos) << asked;
}

TEST(RtfOwnWords, UnchangedRowDefinitionIsNotRepeated)
{
    TRtRTFText first;
    ReadRtf(first, "{\\rtf1\\trowd\\cellx2000\\cellx6000\\intbl a1\\cell b1\\cell\\row"
                   "\\trowd\\cellx2000\\cellx6000\\intbl a2\\cell b2\\cell\\row"
                   "\\trowd\\cellx3000\\cellx6000\\intbl a3\\cell b3\\cell\\row"
                   "\\pard between\\par"
                   "\\trowd\\cellx3000\\cellx6000\\intbl a4\\cell b4\\cell\\row\\pard end}");
    const std::string written = WriteRtf(first);
    EXPECT_EQ(CountOf(written, "\\trowd"), 3u) << written;
    TRtRTFText second;
    ReadRtf(second, written);
    EXPECT_EQ(DumpStore(second), DumpStore(first)) << written;
    // The second row of the first table takes the definition in force.
    ASSERT_TRUE(ParAt(second, 3) && ParAt(second, 3)->Cell);
    EXPECT_EQ(ParAt(second, 2)->Cell->TableId, ParAt(second, 0)->Cell->TableId);
    EXPECT_EQ(ParAt(second, 3)->Cell->Width, ParAt(second, 1)->Cell->Width);
}

// A merge field at the end of the text closes before the last line's width.
TEST(RtfOwnWords, AMergeFieldClosesOnTheLastLine)
{
    TRtRTFText text;
    text.Header()->PreformattedTextAllowed = 1;
    ReadRtf(text, "{\\rtf1\\rtformatted1 x {\\field{\\*\\fldinst MERGEFIELD Name}{\\fldrslt Name}}\\rtlin-300 }");
    const std::string written = WriteRtf(text);
    EXPECT_NE(written.find("}\\rtlin-300 "), std::string::npos) << written;
    TRtRTFText back;
    back.Header()->PreformattedTextAllowed = 1;
    ReadRtf(back, written);
    EXPECT_EQ(LayoutOf(ParAt(back, 0)), LayoutOf(ParAt(text, 0))) << written;
    EXPECT_EQ(DumpStore(back), DumpStore(text)) << written;
}

TEST(RtfOwnWords, ParagraphFlagsAndDefaultTabSurviveARoundTrip)
{
    TRtRTFText first;
    ReadRtf(first, "{\\rtf1 a\\par b\\par c\\par d\\par e}");
    first.Header()->SetDefaultTabstop(1134);
    const uint32_t flags[] = {parfProtected, parfNoLines, parfObjectPar, parfObjectPar2};
    TParagraph* par = first.FirstPar;
    for (const uint32_t flag : flags) {
        par->Flags |= flag;
        par = par->Next;
    }
    const std::string written = WriteRtf(first);
    TRtRTFText second;
    ReadRtf(second, written);
    EXPECT_EQ(second.Header()->DefaultTabstop(), 1134) << written;
    for (size_t i = 0; i < std::size(flags); ++i)
        EXPECT_EQ(ParAt(second, int(i))->Flags & flags[i], flags[i]) << i << written;
    EXPECT_EQ(ParAt(second, 4)->Flags & (parfProtected | parfNoLines | parfObjectPar | parfObjectPar2), 0u);
    // A load option keeps the program's own default tab.
    TRtRTFText kept;
    kept.Header()->LoadOptions.Include(loIgnoreDefaultTabstop);
    const int32_t own = kept.Header()->DefaultTabstop();
    ReadRtf(kept, "{\\rtf1\\deftab2000 a}");
    EXPECT_EQ(kept.Header()->DefaultTabstop(), own);
}
