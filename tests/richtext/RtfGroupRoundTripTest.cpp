// Paragraph properties that the RTF writer keeps in groups of their own come
// back alike, whatever mix of tables, tabs, borders and keeping surrounds them.
#include "RtfTestSupport.h"

namespace {

const char* const Tables = "{\\fonttbl{\\f0 Arial;}{\\f1 Courier New;}}"
                           "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}";

// The braces of RTF close in order and all close at the end; escaped ones do not count.
bool Balanced(const std::string& Rtf)
{
    int depth = 0;
    for (size_t i = 0; i < Rtf.size(); ++i) {
        if (Rtf[i] == '\\') {
            ++i;
            continue;
        }
        if (Rtf[i] == '{')
            ++depth;
        else if (Rtf[i] == '}' && --depth < 0)
            return false;
    }
    return depth == 0;
}

void ExpectRoundTrip(const std::string& Body)
{
    TRtRTFText first;
    ReadRtf(first, std::string("{\\rtf1") + Tables + Body + "}");
    const std::string written = WriteRtf(first);
    EXPECT_TRUE(Balanced(written)) << written;
    TRtRTFText second;
    ReadRtf(second, written);
    EXPECT_EQ(DumpStore(second), DumpStore(first)) << written;
}

} // namespace

TEST(RtfGroupRoundTrip, TablesTabsBordersAndKeepingMixed)
{
    const char* cases[] = {
        // a table first: its paragraph group opens with it
        "\\trowd\\cellx2000\\cellx4000\\intbl a\\cell b\\cell\\row\\pard\\tx720 c\\par\\pard\\tx720 d",
        // tabbed para, table, tabbed para
        "\\pard\\tx720 x\\par\\trowd\\cellx2000\\intbl a\\cell\\row\\pard\\tx720 c\\par\\pard d",
        // bordered cells then bordered paragraphs
        "\\trowd\\clbrdrt\\brdrs\\clbrdrb\\brdrs\\cellx2000\\intbl a\\cell\\row\\pard\\box\\brdrs c\\par\\pard\\box\\brdrs d\\par\\pard e",
        // keepn inside tables
        "\\pard\\keepn k\\par\\trowd\\cellx2000\\cellx4000\\intbl\\keepn a\\cell\\pard\\intbl b\\cell\\row\\pard\\keepn c\\par\\pard d",
        // empty paragraphs between bordered ones
        "\\pard\\box\\brdrs a\\par\\pard\\par\\pard\\box\\brdrs b\\par\\pard\\par\\pard\\box\\brdrs\\par\\pard c",
        // last paragraph in a group
        "\\pard\\tx720\\keepn\\box\\brdrs a\\par{\\pard\\tx1440 b\\par}",
        "\\pard\\tx720 a\\par\\pard\\tx1440\\box\\brdrs b",
        // an empty last paragraph with its words in groups opened in it
        "\\pard a\\par\\pard\\tx720\\keepn\\box\\brdrs ",
        "\\trowd\\cellx1500\\pard\\intbl\\tx720 c0\\cell\\row\\pard\\tx720\\keepn ",
        // table ending the document
        "\\pard a\\par\\trowd\\cellx2000\\intbl a\\cell\\row",
        "\\trowd\\cellx2000\\intbl a\\cell\\row",
        // tabs in cells, then tabbed paragraph
        "\\trowd\\cellx2000\\intbl\\tx300 a\\cell\\row\\pard\\tx300 b\\par\\pard\\tx600 c",
        // two tables in a row with different definitions
        "\\trowd\\cellx2000\\intbl a\\cell\\row\\trowd\\cellx3000\\cellx5000\\intbl b\\cell c\\cell\\row\\pard\\keepn\\tx100 z",
        // headers and footers with tabs and borders
        "{\\header\\pard\\tx720\\box\\brdrs h1\\tab x\\par\\pard\\keepn h2\\par}{\\footer\\pard\\qc\\tx500 f\\par}\\pard\\tx720 body\\par\\pard\\box\\brdrs b2",
        "{\\header\\trowd\\cellx2000\\intbl h\\cell\\row\\pard\\tx720 t}\\pard body",
        "{\\header\\pard\\tx720 h\\par\\trowd\\cellx2000\\intbl\\tx720 c\\cell\\row}\\pard body",
        // numbering inside cells
        "{\\*\\listtable{\\list{\\listlevel\\levelnfc0{\\leveltext\\'02\\'00.;}}\\listid8}}"
        "{\\*\\listoverridetable{\\listoverride\\listid8\\ls1}}"
        "\\trowd\\cellx2000\\cellx4000\\intbl\\ls1 a\\cell\\pard\\intbl\\ls1 b\\cell\\row\\pard\\ls1 c\\par\\pard d",
        // shading and keep
        "\\pard\\keep\\tx720 a\\par\\pard\\tx720 b\\par\\pard\\shading2000\\cbpat1\\box\\brdrs c\\par\\pard\\box\\brdrs d",
    };
    for (const char* c : cases) {
        SCOPED_TRACE(c);
        ExpectRoundTrip(c);
    }
}
