// Text of every Windows charset through the RTF reader and writer: "\u"
// characters, the document's code page, fonts without a charset of their
// own, font numbers of any size, and what LibreOffice makes of the written RTF.
#include "RtfTestSupport.h"
#include "../common/LibreOffice.h"

#include <QFile>
#include <QTemporaryDir>

#include <map>

namespace {

// The text as UTF-8, paragraphs joined by "\n", without empty last paragraphs.
std::string TextOf(const TRtRTFText& Text)
{
    std::string s;
    for (const TParagraph* p = Text.FirstPar; p; p = p->Next) {
        if (p != Text.FirstPar)
            s += '\n';
        for (const TLine* l = p->Lines; l; l = l->Next)
            s += LineUtf8(Text, l);
    }
    while (!s.empty() && s.back() == '\n')
        s.pop_back();
    return s;
}

std::string Read(const std::string& Rtf)
{
    TRtRTFText text;
    ReadRtf(text, Rtf);
    return TextOf(text);
}

// What LibreOffice reads of the RTF texts, by name: each converted to UTF-8 text, trimmed and composed.
std::map<QString, std::string> LibreOfficeTexts(const std::map<QString, std::string>& Rtf)
{
    QTemporaryDir dir;
    QStringList files;
    for (const auto& [name, bytes] : Rtf) {
        QFile out(dir.filePath(name + ".rtf"));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes.data(), qint64(bytes.size()));
        files << out.fileName();
    }
    RunLibreOffice(dir.path(), QStringList{"--convert-to", "txt:Text (encoded):UTF8", "--outdir", dir.filePath("txt")}
                                   + files);
    std::map<QString, std::string> texts;
    for (const auto& [name, bytes] : Rtf) {
        QFile txt(dir.filePath("txt/" + name + ".txt"));
        EXPECT_TRUE(txt.open(QIODevice::ReadOnly)) << name.toStdString();
        QString got = QString::fromUtf8(txt.readAll()).trimmed();
        got.remove(QChar(0xFEFF));
        texts[name] = got.normalized(QString::NormalizationForm_C).toStdString();
    }
    return texts;
}

}  // namespace

TEST(RtfReader, UnicodeCharactersCodePagesAndFontNumbers)
{
    const struct {
        const char* What;
        std::string Rtf;
        std::string Text;
    } cases[] = {
        {"\\u in a Western font takes the font's entry of a charset that holds it",
         "{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0 Za\\u380\\'3f\\u243\\'3f\\u322\\'3f\\u263\\'3f}", "Zażółć"},
        {"\\uc2 drops two fallback characters, \\uc0 none",
         "{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0\\uc2\\u26085\\'3f\\'3f\\u26412??x\\uc0\\u1046 y}", "日本xЖy"},
        {"a group restores the fallback count", "{\\rtf1\\f0{\\uc3\\u1046 abc}\\u1046 d}", "ЖЖ"},
        {"a character no charset holds keeps its fallback", "{\\rtf1\\f0 a\\u-10179\\'3f\\u-8704\\'3fb}", "a?b"},
        {"\\ansicpg gives fonts without a charset of their own its charset",
         "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset0 Times New Roman;}}"
         "\\f0 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2 \\f1 \\'e9}",
         "Привет é"},
        {"the default charset is the document's", "{\\rtf1\\ansicpg1250{\\fonttbl{\\f0\\fcharset1 Arial;}}\\f0 \\'a3\\'f3d\\'9f}",
         "Łódź"},
        {"\\mac", "{\\rtf1\\mac{\\fonttbl{\\f0 Arial;}}\\f0 K\\'9aln}", "Köln"},
        {"\\pc", "{\\rtf1\\pc{\\fonttbl{\\f0 Arial;}}\\f0 M\\'81nchen}", "München"},
        {"\\pca", "{\\rtf1\\pca{\\fonttbl{\\f0 Arial;}}\\f0 \\'90t\\'82}", "Été"},
        {"font numbers of any size", "{\\rtf1{\\fonttbl{\\f663\\fcharset204 Arial;}{\\f31507\\fcharset161 Arial;}}"
                                     "\\f663 \\'c6 \\f31507\\'e1\\f663 \\'c6}",
         "Ж αЖ"},
        {"double-byte pairs of a font's charset",
         "{\\rtf1{\\fonttbl{\\f0\\fcharset128 MS Mincho;}{\\f1\\fcharset129 Gulim;}}\\f0 \\'93\\'fa\\'96\\'7b\\f1 \\'c7\\'d1}",
         "日本한"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Read(c.Rtf), c.Text) << c.What;

    // The entry a "\u" character takes has the font's name.
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1{\\fonttbl{\\f0 Verdana;}}\\f0 \\u321\\'3f}");
    const TAttr& a = AttrAt(text.FirstPar, 0);
    EXPECT_EQ(text.Header()->GetFontName(a.Font), "Verdana");
    EXPECT_EQ(text.Header()->FontCharset(a.Font), 238);
}

TEST(RtfWriter, CharsetsOfFontsAndUnicodeWithTheBytesAsFallback)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0 \\u321\\'3f\\u243\\'3fd\\u378\\'3f x \\u26085\\'3f\\u7879\\'3f}");
    const std::string rtf = WriteRtf(text);
    EXPECT_NE(rtf.find("\\fcharset238 Arial;"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\fcharset128 Arial;"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\u321\\'a3"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\u378\\'9f"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\uc2\\u26085\\'93\\'fa\\uc1 "), std::string::npos) << rtf;
    // Vietnamese: the letter and its tone mark as one "\u".
    EXPECT_NE(rtf.find("\\uc2\\u7879\\'ea\\'f2\\uc1 "), std::string::npos) << rtf;
    EXPECT_EQ(Read(rtf), "Łódź x 日ệ");
}

// LibreOffice reads the editor's RTF of the sample sentences (read from the
// RTF it wrote itself) back to the same text.
TEST(RtfLibreOffice, ReadsTheSampleSentencesBack)
{
    if (SofficeProgram().isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    QFile list(QStringLiteral(LUMI_TEST_DATA "/rtf/charsets/sentences.txt"));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    std::map<QString, std::string> expected, written;
    for (const QByteArray& line : list.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        const QString code = QString::fromLatin1(line.left(line.indexOf(' ')));
        const std::string sentence = line.mid(line.indexOf(' ') + 1).toStdString();
        QFile f(QStringLiteral(LUMI_TEST_DATA "/rtf/charsets/") + code + ".rtf");
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        TRtRTFText text;
        ReadRtf(text, f.readAll().toStdString());
        EXPECT_EQ(TextOf(text), sentence) << code.toStdString();
        written[code] = WriteRtf(text);
        EXPECT_EQ(Read(written[code]), sentence) << code.toStdString();
        expected[code] = sentence;
    }
    EXPECT_EQ(LibreOfficeTexts(written), expected);
}

// Quotes, dashes, bullets and fixed spaces are characters of their own in a
// font of any charset: in a double-byte font they neither swallow the byte
// after them nor become bytes the charset lacks.
TEST(RtfReader, TypographicWordsAreCharactersInEveryCharset)
{
    EXPECT_EQ(Read("{\\rtf1{\\fonttbl{\\f1\\fcharset128 MS Mincho;}}\\f1 \\'93\\'fa\\lquote \\'96\\'7b}"), "日‘本");
    const std::string words = "x\\lquote y\\rquote\\ldblquote\\rdblquote\\endash\\emdash\\bullet\\enspace\\emspace\\_ z";
    const std::string shown = "x‘y’“”–—•\u00A0\u00A0– z";
    for (const int charset : {0, 128, 129, 134, 136, 161, 204, 238}) {
        SCOPED_TRACE(charset);
        const std::string rtf = "{\\rtf1{\\fonttbl{\\f0\\fcharset" + std::to_string(charset) + " Arial;}}\\f0 " + words + "}";
        TRtRTFText text;
        ReadRtf(text, rtf);
        EXPECT_EQ(TextOf(text), shown);
        EXPECT_EQ(Read(WriteRtf(text)), shown);
    }
}

// LibreOffice reads the written RTF of Japanese text with quotes and dashes,
// from LibreOffice and as Word writes it (in a Japanese font), as it reads
// the RTF it came from.
TEST(RtfLibreOffice, ReadsJapaneseQuotesAndDashesBack)
{
    if (SofficeProgram().isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    std::map<QString, std::string> written, expected;
    for (const QString name : {"lo-japanese", "word-japanese"}) {
        QFile rtf(QStringLiteral(LUMI_TEST_DATA "/rtf/") + name + ".rtf");
        QFile txt(QStringLiteral(LUMI_TEST_DATA "/rtf/") + name + ".txt");
        ASSERT_TRUE(rtf.open(QIODevice::ReadOnly) && txt.open(QIODevice::ReadOnly));
        QString shown = QString::fromUtf8(txt.readAll()).trimmed();
        shown.remove(QChar(0xFEFF));
        expected[name] = shown.toStdString();
        TRtRTFText text;
        ReadRtf(text, rtf.readAll().toStdString());
        EXPECT_EQ(TextOf(text), expected[name]);
        written[name] = WriteRtf(text);
    }
    EXPECT_EQ(LibreOfficeTexts(written), expected);
}

// "\u" is read in footnotes, document information and field instructions;
// what is read there is written back so that reading it again gives the same
// characters.
TEST(RtfReader, UnicodeInFootnotesInformationAndFieldInstructions)
{
    TRtRTFText text;
    ReadRtf(text, "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\info{\\title \\u26085?\\u26412? Bericht}{\\author Jos\\u233?}}"
                  "\\f0 a{\\super 1}{\\*\\footnote{\\super 1} Fu\\u223?note \\u26085?}b "
                  "{\\field{\\*\\fldinst{HYPERLINK \"http://x.test/\\u1046?\"}}{\\fldrslt{Link}}}}");
    EXPECT_EQ(TextOf(text), "a1b Linkhttp://x.test/Ж");
    const TAttr& mark = AttrAt(text.FirstPar, 1);
    ASSERT_TRUE(mark.Style.Has(afsIsFootnote));
    const auto* note = static_cast<TRtFootnoteItem*>(text.FootnoteList()->FindItem(int32_t(mark.Tag)));
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->Text, "Fu\\u223?note \\u26085?");
    const std::string rtf = WriteRtf(text);
    EXPECT_NE(rtf.find("{\\title \\u26085?\\u26412?\\'20Bericht}"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("{\\author Jos\xe9}"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("HYPERLINK \"http://x.test/\\u1046?\""), std::string::npos) << rtf;
    TRtRTFText again;
    ReadRtf(again, rtf);
    EXPECT_EQ(TextOf(again), TextOf(text));
    EXPECT_EQ(WriteRtf(again), rtf);

    // Bytes of the information are in the document's code page.
    TRtRTFText japanese;
    ReadRtf(japanese, "{\\rtf1\\ansi\\ansicpg932{\\info{\\title \\'93\\'fa\\'96\\'7b}}x}");
    EXPECT_NE(WriteRtf(japanese).find("{\\title \\u26085?\\u26412?}"), std::string::npos);
}

// A font's "\cpg" gives the code page of its bytes, UTF-8 among them.
TEST(RtfReader, FontCodePages)
{
    const struct {
        const char* What;
        std::string Rtf;
        std::string Text;
    } cases[] = {
        {"UTF-8 as escapes", "{\\rtf1{\\fonttbl{\\f1\\fcharset128\\cpg65001 MS Gothic;}}\\f1 \\'e6\\'97\\'a5\\'e6\\'9c\\'ac!}",
         "日本!"},
        {"UTF-8 bytes", "{\\rtf1{\\fonttbl{\\f0\\fcharset0\\cpg65001 Arial;}}\\f0 Gr\xc3\xbc\xc3\x9f \xd0\x96}", "Grüß Ж"},
        {"a code page of another charset", "{\\rtf1{\\fonttbl{\\f0\\fcharset0\\cpg1251 Arial;}}\\f0 \\'c6}", "Ж"},
        {"a code page no charset has", "{\\rtf1{\\fonttbl{\\f0\\cpg10000 Arial;}}\\f0 K\\'9aln}", "Köln"},
        {"fonts without one keep theirs",
         "{\\rtf1{\\fonttbl{\\f0\\fcharset128\\cpg65001 MS Gothic;}{\\f1\\fcharset128 MS Mincho;}}"
         "\\f0 \\'e6\\'97\\'a5\\f1 \\'96\\'7b}",
         "日本"},
        {"one name with and without",
         "{\\rtf1{\\fonttbl{\\f0\\fcharset128 MS Gothic;}{\\f1\\fcharset128\\cpg65001 MS Gothic;}}"
         "\\f0 \\'93\\'fa{\\f1 \\'e6\\'9c\\'ac}\\'8c\\'ea}",
         "日本語"},
    };
    for (const auto& c : cases) {
        TRtRTFText text;
        ReadRtf(text, c.Rtf);
        EXPECT_EQ(TextOf(text), c.Text) << c.What;
        EXPECT_EQ(Read(WriteRtf(text)), c.Text) << c.What;
    }
}

TEST(RtfReader, FontsOfManyCodePagesKeepFewTables)
{
    // 20,000 fonts, each of a code page of its own (none of which iconv has), each with a letter.
    std::string rtf = "{\\rtf1{\\fonttbl";
    for (int32_t i = 1; i <= 20000; ++i)
        rtf += "{\\f" + std::to_string(i) + "\\cpg" + std::to_string(20000 + i) + " F;}";
    rtf += "{\\f20001\\cpg866 G;}}";
    for (int32_t i = 1; i <= 20000; ++i)
        rtf += "{\\f" + std::to_string(i) + "\\'e9}";
    rtf += "\\f20001 \\'80}";
    TRtRTFText text;
    ReadRtf(text, rtf);
    EXPECT_LE(CachedCodePageTables(), 16u);
    std::string expected;
    for (int32_t i = 0; i < 20000; ++i)
        expected += "\u00e9";
    EXPECT_EQ(TextOf(text), expected + "\u0410");
}
