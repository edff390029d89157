// A text written as RTF and read back gives the same store.
#include "RtfTestSupport.h"

namespace {

// Reads Rtf, writes it, reads the result: both stores must dump alike.
void ExpectRoundTrip(const std::string& Rtf)
{
    TRtRTFText first;
    ReadRtf(first, Rtf);
    const std::string written = WriteRtf(first);
    TRtRTFText second;
    ReadRtf(second, written);
    EXPECT_EQ(DumpText(second), DumpText(first)) << written;
}

} // namespace

const char* const Tables = "{\\fonttbl{\\f0 Arial;}{\\f1 Courier New;}{\\f2 Symbol;}}"
                          "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;\\red18\\green52\\blue86;}";

TEST(RtfRoundTrip, CharacterAttributes)
{
    ExpectRoundTrip(std::string("{\\rtf1") + Tables
                    + "{\\b bold}{\\i italic}{\\ul under}{\\strike gone}{\\super up}{\\sub down}{\\shad prot}"
                      "{\\f1\\fs31 mono}{\\cf1 red}{\\cb2 on blue}{\\cf3\\highlight1 both}{\\fs0 default}"
                      "{\\v hidden} braces \\{ \\} \\\\ and \\'e4\\'80\\'ff\\tab tab\\line break}");
}

TEST(RtfRoundTrip, ParagraphProperties)
{
    ExpectRoundTrip(std::string("{\\rtf1") + Tables
                    + "\\pard\\qc\\li100\\ri200\\fi-50\\sb10\\sa20\\sl300\\slmult1 centred\\par"
                      "\\pard\\qr\\sl-240 right exact\\par"
                      "\\pard\\qj\\keep\\rtparprot\\rtparid77\\rtlevel2\\toc justified\\par"
                      "\\pard\\tx1000\\tqr\\tx2000\\tqc\\tx3000\\tqdec\\tx4000 a\\tab b\\tab c\\tab d\\par"
                      "\\pard\\shading2500\\cbpat3 shaded\\par"
                      "\\pard\\page after a break\\par"
                      "\\pard\\rtnoparlines\\rtparhide\\rtparnowwrap flags\\par"
                      "\\pard last}");
}

TEST(RtfRoundTrip, TablesAndLinks)
{
    ExpectRoundTrip(std::string("{\\rtf1") + Tables
                    + "\\trowd\\trgaph108\\clvertalc\\cellx2000\\clvertalb\\cellx6000\\intbl a1\\cell b1\\line more\\cell\\row"
                      "\\trowd\\trgaph108\\cellx3000\\cellx4000\\cellx6000\\intbl a2\\cell b2\\cell c2\\cell\\row"
                      "\\pard before {\\field{\\*\\fldinst HYPERLINK \"http://x.org/a\"}{\\fldrslt link}} after\\par"
                      "\\pard{\\uldb old link}{\\v http://y.org}\\par"
                      "\\pard end}");
}

TEST(RtfRoundTrip, PageLayout)
{
    TRtRTFText first;
    ReadRtf(first, "{\\rtf1\\paperw11906\\paperh16838\\margl1000\\margr1100\\margt1200\\margb1300\\margh500"
                   "\\margf600\\landscape\\deftab500 x}");
    TRtRTFText second;
    ReadRtf(second, WriteRtf(first));
    const TTextHeader& a = *first.Header();
    const TTextHeader& b = *second.Header();
    EXPECT_EQ(a.PageWidth(), 11906);
    EXPECT_EQ(a.LeftMargin(), 1000);
    EXPECT_TRUE(a.Landscape());
    EXPECT_EQ(b.PageWidth(), a.PageWidth());
    EXPECT_EQ(b.PageHeight(), a.PageHeight());
    EXPECT_EQ(b.LeftMargin(), a.LeftMargin());
    EXPECT_EQ(b.RightMargin(), a.RightMargin());
    EXPECT_EQ(b.TopMargin(), a.TopMargin());
    EXPECT_EQ(b.BottomMargin(), a.BottomMargin());
    EXPECT_EQ(b.MarginHeader(), a.MarginHeader());
    EXPECT_EQ(b.MarginFooter(), a.MarginFooter());
    EXPECT_EQ(b.Landscape(), a.Landscape());
    EXPECT_EQ(b.DefaultTabstop(), a.DefaultTabstop());
}
