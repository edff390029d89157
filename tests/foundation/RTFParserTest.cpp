#include "uRTFParser.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

// Runs the parser over Rtf and logs every event as one line:
// "{n" / "}n" for groups with the new depth, "\word" or "\word=param" for
// controls, and the text of text events in quotes.
AnsiString ParseLog(const AnsiString& Rtf)
{
    AnsiString log;
    TRTFParser parser;
    parser.OnText = [&](TObject*, const AnsiString& text) { log.append("'").append(text).append("' "); };
    parser.OnControl = [&](TObject*, const AnsiString& word, bool hasParam, int32_t param) {
        log.append("\\").append(word);
        if (hasParam)
            log.append("=").append(IntToStr(param));
        log.append(" ");
    };
    int lastDepth = 0;
    parser.OnGroup = [&](TObject* sender) {
        const int depth = static_cast<TRTFParser*>(sender)->Depth();
        log.append(depth > lastDepth ? "{" : "}").append(IntToStr(depth)).append(" ");
        lastDepth = depth;
    };
    TMemoryStream stream;
    stream.WriteBuffer(Rtf.data(), int32_t(Rtf.size()));
    stream.SetPosition(0);
    parser.Parse(stream);
    EXPECT_EQ(stream.Position(), stream.Size());
    return log;
}

}  // namespace

TEST(RTFParser, NestedDocumentWithEscapesAndSkippedDestination)
{
    const AnsiString rtf =
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\r\n"
        "{\\info{\\title Geheim}{\\author Wer}}"
        "\\pard\\plain\\f0\\fs24 Gr\\'fc\\'DFe {\\b fett}\\par\r\n"
        "Ende}";
    EXPECT_EQ(ParseLog(rtf),
              "{1 \\rtf=1 \\ansi \\deff=0 {2 \\fonttbl {3 \\f=0 \\fswiss 'Arial;' }2 }1 "
              "{2 {3 }2 {3 }2 }1 "
              "\\pard \\plain \\f=0 \\fs=24 'Gr\xFC\xDF" "e ' {2 \\b 'fett' }1 \\par 'Ende' }0 ");
}

TEST(RTFParser, ControlWordsSymbolsAndParameters)
{
    struct Case {
        const char* rtf;
        const char* log;
    };
    const Case cases[] = {
        // a word alone in a group is reported once
        {"{\\b}", "{1 \\b }0 "},
        // the space ending a control is consumed, any other byte is read again
        {"{\\fs24 x}", "{1 \\fs=24 'x' }0 "},
        {"{\\fs24x}", "{1 \\fs=24 'x' }0 "},
        {"{\\b\\i a}", "{1 \\b \\i 'a' }0 "},
        // negative parameters; a hyphen without digits gives no parameter
        {"{\\li-20 a}", "{1 \\li=-20 'a' }0 "},
        {"{\\foo-bar}", "{1 \\foo 'bar' }0 "},
        // words are reported in lower case
        {"{\\PAR}", "{1 \\par }0 "},
        // non-letters are one-character control words
        {"{a\\-b\\~c}", "{1 'a' \\- 'b' \\~ 'c' }0 "},
        {"{\\*\\foo bar}", "{1 \\* \\foo 'bar' }0 "},
        // quotes and symbols become characters of the code page
        {"{\\lquote\\rquote\\LDBLQUOTE\\rdblquote\\bullet\\endash\\emdash\\{\\}\\\\}",
         "{1 '\x91\x92\x93\x94\x95\x96\x97{}\\' }0 "},
        // only the double quotes ignore the letter case
        {"{\\Lquote}", "{1 \\lquote }0 "},
        // line ends are ignored
        {"{a\r\nb\\'e4\r\n}", "{1 'ab\xE4' }0 "},
        // skipped destinations are dropped with everything nested in them
        {"{a{\\stylesheet{\\s0 Normal;}}b}", "{1 'a' {2 {3 }2 }1 'b' }0 "},
        {"{{\\*\\Comment x}y}", "{1 {2 \\* }1 'y' }0 "},
        // text after the last group is not reported
        {"{a}b", "{1 'a' }0 "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseLog(c.rtf), c.log) << c.rtf;
}

TEST(RTFParser, UntrustedInputGivesDefinedResults)
{
    const int32_t maxInt = std::numeric_limits<int32_t>::max();
    const int32_t minInt = std::numeric_limits<int32_t>::min();
    // overflowing parameters saturate
    EXPECT_EQ(ParseLog("{\\fs99999999999999999999 x}"), "{1 \\fs=" + IntToStr(maxInt) + " 'x' }0 ");
    EXPECT_EQ(ParseLog("{\\cf-2147483649}"), "{1 \\cf=" + IntToStr(minInt) + " }0 ");
    EXPECT_EQ(ParseLog("{\\cf2147483647}"), "{1 \\cf=" + IntToStr(maxInt) + " }0 ");
    // an escape or a control cut off at the end is dropped
    EXPECT_EQ(ParseLog("{a}\\'e"), "{1 'a' }0 ");
    EXPECT_EQ(ParseLog("{a}\\'"), "{1 'a' }0 ");
    EXPECT_EQ(ParseLog("{a}\\"), "{1 'a' }0 ");
    // groups left open at the end are no error
    EXPECT_EQ(ParseLog("{{{\\b a"), "{1 {2 {3 \\b ");
    EXPECT_EQ(ParseLog(""), "");
}

TEST(RTFParser, RaisesOnUnbalancedBracesAndBadEscapes)
{
    for (const char* rtf : {"}", "{a}}", "{\\*\\info}}"}) {
        try {
            ParseLog(rtf);
            ADD_FAILURE() << rtf;
        } catch (const RTFParseException& e) {
            EXPECT_EQ(e.Message, "StackUnderflow");
        }
    }
    try {
        ParseLog("{\\'zq}");
        ADD_FAILURE();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "'$zq' is not a valid integer value");
    }
}

TEST(RTFParser, DeepNestingNeitherCrashesNorRecurses)
{
    TRTFParser parser;
    int groups = 0;
    parser.OnGroup = [&](TObject*) { ++groups; };
    const AnsiString rtf = AnsiString(200000, '{') + AnsiString(200000, '}');
    TMemoryStream stream;
    stream.WriteBuffer(rtf.data(), int32_t(rtf.size()));
    stream.SetPosition(0);
    parser.Parse(stream);
    EXPECT_EQ(groups, 400000);
    EXPECT_EQ(parser.Depth(), 0);
}
