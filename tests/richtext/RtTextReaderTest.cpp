#include "RtfTestSupport.h"

TEST(RtTextReader, ParagraphsFormFeedsBlanksAndTheEnd)
{
    struct Case {
        std::string bytes;
        bool collapse;
        bool pageBreaks;
        std::vector<std::string> pars;
        int newPagePar;  // paragraph with the new-page flag, or -1
    };
    const Case cases[] = {
        {"", false, false, {""}, -1},
        // CR, LF and CR LF each end one paragraph.
        {"a\r\nb", false, false, {"a", "b"}, -1},
        {"a\nb\nc", false, false, {"a", "b", "c"}, -1},
        {"a\rb", false, false, {"a", "b"}, -1},
        {"a\n\nb\r\n\r\nc\r\rd", false, false, {"a", "", "b", "", "c", "", "d"}, -1},
        {"a\n\rb", false, false, {"a", "", "b"}, -1},
        {"a\r\n", false, false, {"a", ""}, -1},
        {"a\fb", false, false, {"ab"}, -1},
        {"a\fb", false, true, {"a", "b"}, 1},
        {"\fb", false, true, {"b"}, 0},
        {"a   \tb", true, false, {"a b"}, -1},
        {"a   \tb", false, false, {"a   \tb"}, -1},
        {std::string("ab\0cd", 5), false, false, {"ab"}, -1},
        {"x\\y", false, false, {"x\\y"}, -1},
    };
    for (const Case& c : cases) {
        TRtRTFText text;
        text.Header()->PageBreakOnFormFeed = c.pageBreaks;
        TRtTextReader reader;
        reader.Collapse = c.collapse;
        ReadRtf(text, c.bytes, &reader);
        EXPECT_EQ(Pars(text), c.pars) << c.bytes;
        for (int i = 0; i < int(c.pars.size()); ++i)
            EXPECT_EQ((ParAt(text, i)->Flags & parfNewPage) != 0, i == c.newPagePar) << c.bytes << " " << i;
    }
}

TEST(RtTextReader, LongTextGrowsLinesAndTheStreamStopsBehindTheLastByteRead)
{
    TRtRTFText text;
    TRtTextReader reader;
    const std::string big(30000, 'x');
    ReadRtf(text, big + "\r\n" + big, &reader);
    EXPECT_EQ(Pars(text), (std::vector<std::string>{big, big}));

    // RTF embedded in a larger stream: the stream is left behind the closing brace.
    TRtRTFText rtf;
    TRtRtfReader r;
    r.Text = &rtf;
    r.Header = rtf.Header();
    r.Par = rtf.FirstPar;
    TMemoryStream m = RtfStreamOf("{\\rtf1 in}after");
    r.ReadStream(&m);
    EXPECT_EQ(m.Position(), 10);
}

// UTF-8 text (with its byte-order mark, or holding multi-byte sequences and
// nothing else that is not UTF-8) puts each character in the font's entry of a
// charset that holds it; other text is Windows-1252.
TEST(RtTextReader, Utf8TextTakesTheCharsetsOfItsCharacters)
{
    const struct {
        std::string Bytes;
        std::string Text;
    } cases[] = {
        {"Gr\xc3\xbc\xc3\x9f" "e \xc5\x81\xc3\xb3" "d\xc5\xba \xd0\x96\r\n\xe6\x97\xa5\xe6\x9c\xac", "Grüße Łódź Ж\n日本"},
        {"\xef\xbb\xbf" "abc", "abc"},
        {"Gr\xfc\xdf" "e \x80", "Grüße €"},             // Windows-1252
        {"\xc3\xbc \xfc", "Ã¼ ü"},                       // not UTF-8 throughout: Windows-1252
        {"a\xf0\x9f\x98\x80" "b", "ab"},                  // no charset holds the emoji: left out
    };
    for (const auto& c : cases) {
        TRtRTFText text;
        TRtTextReader reader;
        ReadRtf(text, c.Bytes, &reader);
        std::string s;
        for (const TParagraph* p = text.FirstPar; p; p = p->Next)
            for (const TLine* l = p->Lines; l; l = l->Next)
                s += (p != text.FirstPar && l == p->Lines ? "\n" : "") + LineUtf8(text, l);
        EXPECT_EQ(s, c.Text) << c.Bytes;
    }
}
