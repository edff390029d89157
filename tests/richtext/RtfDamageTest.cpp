// Damaged RTF ends with a defined result: truncated at every byte, bytes
// changed at random (fixed seed), deep nesting and unbalanced braces.
#include "RtfTestSupport.h"

#include <QFile>
#include <random>

namespace {

std::string LibreOfficeFixture()
{
    QFile f(QString(LUMI_TEST_DATA) + "/rtf/libreoffice.rtf");
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray b = f.readAll();
    return std::string(b.constData(), size_t(b.size()));
}

size_t CharCount(const TRtRTFText& Text)
{
    size_t n = 0;
    for (const std::string& p : Pars(Text))
        n += p.size();
    return n;
}

// Reads Bytes; the text holds at least one paragraph, each with a line.
size_t ReadDamaged(const std::string& Bytes)
{
    TRtRTFText text;
    ReadRtf(text, Bytes);
    EXPECT_NE(text.FirstPar, nullptr);
    for (const TParagraph* p = text.FirstPar; p; p = p->Next)
        EXPECT_NE(p->Lines, nullptr);
    return CharCount(text);
}

} // namespace

TEST(RtfDamage, TruncatedAtEveryByteReadsAPrefix)
{
    const std::string full = LibreOfficeFixture();
    const size_t whole = ReadDamaged(full);
    ASSERT_GT(whole, 100u);
    for (size_t n = 0; n < full.size(); ++n) {
        const size_t chars = ReadDamaged(full.substr(0, n));
        ASSERT_LE(chars, whole) << "cut at " << n;
    }
}

TEST(RtfDamage, RandomlyChangedBytes)
{
    const std::string full = LibreOfficeFixture();
    std::mt19937 random(1234);
    const char special[] = "{}\\'*0123456789-;\"";
    for (int round = 0; round < 1500; ++round) {
        std::string s = full;
        const int changes = 1 + int(random() % 8);
        for (int i = 0; i < changes; ++i) {
            const size_t at = random() % s.size();
            switch (random() % 4) {
            case 0: s[at] = char(random() % 256); break;
            case 1: s[at] = special[random() % (sizeof special - 1)]; break;
            case 2: s.erase(at, random() % 20); break;
            default: s.insert(at, s.substr(random() % s.size(), random() % 40)); break;
            }
        }
        ReadDamaged(s);
    }
}

TEST(RtfDamage, DeepNestingHugeNumbersAndStrayBraces)
{
    const std::string deep = "{\\rtf1 a" + std::string(100000, '{') + "x" + std::string(100000, '}') + "b}";
    TRtRTFText text;
    ReadRtf(text, deep);
    EXPECT_EQ(Pars(text), (std::vector<std::string>{"ab"}));

    const std::string cases[] = {
        std::string(100000, '{'),
        std::string(100000, '}'),
        "{\\rtf1 \\fs99999999999999999999 \\cf-99999999999 \\f-1 \\u99999999999 \\uc-5 \\u-99999999 x}",
        "{\\rtf1 {\\pict\\pngblip " + std::string(50000, 'f') + "{\\pict 00}} y}",
        "{\\rtf1 {\\fonttbl{\\f99999 A;}{\\f-3 B;}{\\f254\\fcharset999 C;}} \\f254 z}",
        "{\\rtf1 {\\colortbl" + std::string(600, ';') + "}\\cf300\\cf254 c}",
        "{\\rtf1 {\\stylesheet{\\s1\\sbasedon1 A;}{\\s1 B;}" + std::string(3000, '{') + "}\\s1 s}",
        "{\\rtf1 \\ls99999\\ilvl-4{\\*\\listoverridetable{\\listoverride\\listid1\\ls1}}\\ls1 l}",
        "{\\rtf1 \\trowd\\cell\\cell\\row\\intbl\\cellx-5\\cell\\row\\clmrg\\cell t}",
    };
    for (const std::string& c : cases)
        ReadDamaged(c);
}

TEST(RtfDamage, ARowLeftOpenInAHeaderEndsWithTheHeader)
{
    // The first header stands for all pages until "\\header" replaces it; its
    // open row must not reach past it (nor a body row into a header).
    const std::string cases[] = {
        "{\\rtf1{\\headerf\\intbl a\\cell}{\\header b} x}",
        "{\\rtf1{\\headerf\\trowd\\cellx900\\intbl a\\cell}{\\header\\intbl b\\cell}\\intbl x\\cell}",
        "{\\rtf1\\intbl x\\cell{\\headerf\\intbl a\\cell}{\\header b}\\intbl y\\cell\\row z}",
        "{\\rtf1{\\headerl\\trowd\\cellx100 a\\cell\\row}{\\header x}\\trowd\\cellx100\\intbl b\\cell\\row}",
    };
    for (const std::string& c : cases) {
        TRtRTFText text;
        ReadRtf(text, c);
        EXPECT_EQ(text.HeaderFooterCount(), 1) << c;
    }
}
