#include "RtfLexer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Tokens of an input as one readable line: {, }, \name[value], 'c' and #hh
// for escaped characters.
std::string Lex(const std::string& rtf)
{
    TMemoryStream s;
    s.Write(rtf.data(), int32_t(rtf.size()));
    s.SetPosition(0);
    TRtReadBuffer in;
    in.Attach(&s);
    TRtfLexer lex(in);
    TRtfToken t;
    std::string out;
    int guard = 0;
    while (lex.Next(t) != rttEnd && ++guard < 10000) {
        if (!out.empty())
            out += ' ';
        switch (t.Kind) {
        case rttGroupOpen: out += '{'; break;
        case rttGroupClose: out += '}'; break;
        case rttWord:
            out += '\\' + std::string(t.WordName());
            if (t.HasValue)
                out += std::to_string(t.Value);
            break;
        case rttChar:
            if (t.Escaped) {
                char hex[4];
                snprintf(hex, sizeof hex, "#%02x", t.Char);
                out += hex;
            } else {
                out += '\'';
                out += char(t.Char);
                out += '\'';
            }
            break;
        case rttEnd: break;
        }
    }
    return out;
}

} // namespace

TEST(RtfLexer, SplitsWordsSymbolsAndText)
{
    using namespace std::string_literals;
    struct {
        std::string In;
        const char* Out;
    } cases[] = {
        {"{\\rtf1 a}", "{ \\rtf1 'a' }"},
        {"\\b0\\i x", "\\b0 \\i 'x'"},
        {"\\li-100 y", "\\li-100 'y'"},
        {"\\fs24  z", "\\fs24 ' ' 'z'"},                   // only one blank is the delimiter
        {"\\par\r\n\tq", "\\par '\t' 'q'"},                // line ends are dropped, a tab is text
        {"\\{\\}\\\\\\~", "\\{ \\} \\\\ \\~"},
        {"\\*\\foo", "\\* \\foo"},
        {"\\'e4\\'C4", "#e4 #c4"},
        {"\\'zxy", "'y'"},                                  // a bad escape takes its two bytes along
        {"\\'4xy", "'y'"},
        {"\\'z\\b", "\\b"},                               // but no backslash
        {"\\'{}", "{ }"},                                 // nor brace
        {"\\'4}", "}"},                                    // a brace after one digit still closes
        {"\\'", ""},
        {"a\0b"s, "'a'"},                                   // a zero byte ends the input
        {"\\", ""},
        {"\\b-x", "\\b 'x'"},                              // "-" without digits is dropped
    };
    for (const auto& c : cases)
        EXPECT_EQ(Lex(c.In), c.Out) << c.In;
}

TEST(RtfLexer, KeepsTwentyNineLettersOfALongWord)
{
    const std::string word(35, 'k');
    EXPECT_EQ(Lex("\\" + word + "12 a"), "\\" + std::string(29, 'k') + "12 'a'");
}

TEST(RtfLexer, NumbersSaturateAtThirtyTwoBits)
{
    EXPECT_EQ(Lex("\\bin99999999999999999999 "), "\\bin2147483647");
    EXPECT_EQ(Lex("\\li-99999999999999999999"), "\\li-2147483648");
    EXPECT_EQ(Lex("\\li-2147483648"), "\\li-2147483648");
    EXPECT_EQ(Lex("\\li2147483647"), "\\li2147483647");
}

TEST(RtfLexer, ReadsAcrossBufferBoundaries)
{
    // Words, escapes and the one-byte step back straddling the 8192-byte blocks.
    std::string rtf;
    std::string expect;
    while (rtf.size() < 3 * TRtReadBuffer::BufferSize) {
        rtf += "\\fs24 x\\'e4";
        expect += std::string(expect.empty() ? "" : " ") + "\\fs24 'x' #e4";
    }
    for (size_t cut : {size_t(1), size_t(5), size_t(7)}) {
        const std::string head(cut, 'a');
        std::string e;
        for (size_t i = 0; i < cut; ++i)
            e += std::string(i ? " " : "") + "'a'";
        EXPECT_EQ(Lex(head + rtf), e + " " + expect) << cut;
    }
}

TEST(RtReadBuffer, PassesCountedBytesAndSyncsTheStream)
{
    TMemoryStream s;
    std::string data(20000, 'x');
    data[0] = 'a';
    data[9000] = 'b';
    s.Write(data.data(), int32_t(data.size()));
    s.SetPosition(0);
    TRtReadBuffer in;
    in.Attach(&s);
    EXPECT_EQ(in.ReadChar(), 'a');
    TMemoryStream sink;
    EXPECT_EQ(in.Pass(9000, &sink), 9000);
    EXPECT_EQ(sink.Size(), 9000);
    EXPECT_EQ(sink.Memory()[8999], 'b');
    EXPECT_EQ(in.Pass(1000000, nullptr), 20000 - 9001); // clamped at the end
    EXPECT_EQ(in.ReadChar(), -1);

    s.SetPosition(0);
    in.Attach(&s);
    in.ReadChar();
    in.ReadChar();
    in.UnreadChar();
    in.SyncStream();
    EXPECT_EQ(s.Position(), 1);
}
