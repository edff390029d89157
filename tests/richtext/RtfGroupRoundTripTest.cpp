// Paragraph properties that the RTF writer keeps in groups of their own come
// back alike, whatever mix of tables, tabs, borders and keeping surrounds them.
#include "RtfTestSupport.h"

#include <algorithm>
#include <random>

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

namespace {

const char* const StylesAndLists =
    "{\\stylesheet{\\s1\\qc\\keepn\\tx1440\\box\\brdrs Boxed;}{\\s2\\li360\\keep\\tqr\\tx2880 Kept;}}"
    "{\\*\\listtable{\\list{\\listlevel\\levelnfc0{\\leveltext\\'02\\'00.;}}"
    "{\\listlevel\\levelnfc4{\\leveltext\\'02\\'01);}}\\listid8}}"
    "{\\*\\listoverridetable{\\listoverride\\listid8\\ls1}}";

// A paragraph's RTF words drawn from those the writer keeps apart or together.
std::string RandomParWords(std::mt19937& Rng, bool Cell)
{
    auto pick = [&](int N) { return int(Rng() % unsigned(N)); };
    std::string w;
    static const char* styles[] = {"", "", "", "\\s1", "\\s2"};
    w += styles[pick(5)];
    static const char* lists[] = {"", "", "", "\\ls1", "\\ls1\\ilvl1"};
    w += lists[pick(5)];
    static const char* align[] = {"", "\\qc", "\\qr", "\\qj"};
    w += align[pick(4)];
    if (pick(3) == 0)
        w += "\\li" + std::to_string(pick(4) * 180) + "\\fi" + std::to_string(pick(3) * 90);
    if (pick(4) == 0)
        w += "\\sb" + std::to_string(pick(3) * 60) + "\\sa" + std::to_string(pick(3) * 60);
    if (pick(5) == 0)
        w += "\\sl" + std::to_string(240 + pick(3) * 120);
    static const char* tabs[] = {"", "", "\\tx720", "\\tx720\\tqr\\tx2880", "\\tqc\\tx1440"};
    w += tabs[pick(5)];
    if (pick(3) == 0)
        w += "\\keepn";
    if (pick(6) == 0)
        w += "\\keep";
    if (!Cell) {
        static const char* borders[] = {"", "", "\\box\\brdrs", "\\brdrb\\brdrs\\brdrcf1", "\\brdrt\\brdrs\\brdrl\\brdrs"};
        w += borders[pick(5)];
        if (pick(6) == 0)
            w += "\\shading2000\\cbpat2";
    }
    return w;
}

// A text of random paragraphs and table rows, some empty, some in groups of their own.
std::string RandomBody(std::mt19937& Rng, int Paragraphs)
{
    auto pick = [&](int N) { return int(Rng() % unsigned(N)); };
    std::string body;
    for (int i = 0; i < Paragraphs; ++i) {
        const std::string text = pick(4) == 0 ? "" : "p" + std::to_string(i) + (pick(3) == 0 ? "\\tab t" : "");
        if (pick(5) == 0) {
            const int cells = 1 + pick(3);
            body += "\\trowd";
            for (int c = 1; c <= cells; ++c)
                body += (pick(3) == 0 ? "\\clbrdrb\\brdrs" : "") + std::string("\\cellx") + std::to_string(c * 1500);
            for (int c = 0; c < cells; ++c)
                body += "\\pard\\intbl" + RandomParWords(Rng, true) + " c" + std::to_string(c) + "\\cell";
            body += "\\row";
            continue;
        }
        const std::string par = "\\pard" + RandomParWords(Rng, false) + " " + text;
        const bool last = i + 1 == Paragraphs;
        body += pick(4) == 0 ? "{" + par + (last ? "}" : "\\par}") : par + (last ? "" : "\\par");
    }
    return body;
}

} // namespace

// A store's dump with each paragraph's tab stops by position: the order in
// which the header's tab table took them does not count.
std::string SortedTabs(const std::string& Dump)
{
    std::string out;
    size_t start = 0;
    while (start < Dump.size()) {
        const size_t end = std::min(Dump.find('\n', start), Dump.size());
        std::string line = Dump.substr(start, end - start);
        std::vector<std::pair<int, std::string>> tabs;
        for (size_t at; (at = line.find(" tab")) != std::string::npos && at < line.find(" |");) {
            const size_t stop = line.find_first_of(" /", at + 1);
            const std::string tab = line.substr(at, stop - at);
            tabs.emplace_back(std::stoi(tab.substr(tab.find('@') + 1)), tab);
            line.erase(at, stop - at);
        }
        std::sort(tabs.begin(), tabs.end());
        std::string sorted;
        for (const auto& t : tabs)
            sorted += t.second;
        line.insert(std::min(line.find(" |"), line.size()), sorted);
        out += line + "\n";
        start = end + 1;
    }
    return out;
}

// Random texts written and read back give the same store; a writer used for
// a second text writes it as a fresh one would.
TEST(RtfGroupRoundTrip, RandomParagraphsComeBackAlike)
{
    std::mt19937 rng(20261210);
    TRtRTFWriter reused;
    for (int round = 0; round < 1000; ++round) {
        std::string source = std::string("{\\rtf1") + Tables + StylesAndLists;
        if (round % 5 == 0)
            source += "{\\header " + RandomBody(rng, 3) + "}";
        source += RandomBody(rng, 2 + int(rng() % 8)) + "}";
        SCOPED_TRACE(source);
        TRtRTFText first;
        ReadRtf(first, source);
        const std::string written = WriteRtf(first);
        ASSERT_TRUE(Balanced(written)) << written;
        TRtRTFText second;
        ReadRtf(second, written);
        ASSERT_EQ(SortedTabs(DumpStore(second)), SortedTabs(DumpStore(first))) << written;
        ASSERT_EQ(WriteRtf(first, &reused), written);

        // A selection of whole paragraphs outside tables, from and to random ones.
        std::vector<TParagraph*> outside;
        for (TParagraph* p = first.FirstPar; p; p = p->Next)
            if (!(p->Flags & parfTableCell))
                outside.push_back(p);
        if (outside.size() < 2)
            continue;
        const size_t from = rng() % (outside.size() - 1);
        const size_t to = from + 1 + rng() % (outside.size() - 1 - from);
        const std::string part = WriteRtf(first, nullptr, outside[from], outside[to]);
        ASSERT_TRUE(Balanced(part)) << part;
        std::string expected;
        for (TParagraph* p = outside[from];; p = p->Next) {
            expected += DumpPar(first, p) + "\n";
            if (p == outside[to])
                break;
        }
        TRtRTFText third;
        ReadRtf(third, part);
        ASSERT_EQ(SortedTabs(DumpText(third)), SortedTabs(expected)) << part;
    }
}
