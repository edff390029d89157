// RTF written by other programs (tests/data/rtf, made by make-fixtures.sh or
// written by hand after Word, WordPad and TextEdit) reads as LibreOffice reads
// it, and what is read comes back alike after writing and reading again.
#include "RtfTestSupport.h"

#include "RtTextWriter.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <map>

namespace {

QString CorpusDir() { return QString(LUMI_TEST_DATA) + "/rtf"; }

std::string ReadFile(const QString& Path)
{
    QFile f(Path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << Path.toStdString();
    const QByteArray b = f.readAll();
    return std::string(b.constData(), size_t(b.size()));
}

std::vector<QString> CorpusFiles()
{
    std::vector<QString> names;
    for (const QString& n : QDir(CorpusDir()).entryList({"*.rtf"}, QDir::Files, QDir::Name))
        names.push_back(n);
    return names;
}

// The UTF-8 text writer with what the editor shows beside the characters:
// the number text of numbered paragraphs and the footnote marks.
class TShownTextWriter : public TRtUtf8TextWriter {
protected:
    int32_t WriteParStart() override
    {
        const int32_t r = TRtUtf8TextWriter::WriteParStart();
        TRtRTFNumberingStyle* style = nullptr;
        AnsiString number;
        Text->GetParNumberText(CurPar, style, number);
        if (r || number.empty())
            return r;
        // The number text is in the style's font: a symbol font shows its own marks.
        const int32_t charset = style && IsSymbolFontName(style->Font) ? SYMBOL_CHARSET : ANSI_CHARSET;
        std::u32string shown;
        for (const char c : number)
            shown.push_back(RtCharToUnicode(uint8_t(c), charset, style ? style->Font : AnsiString()));
        return Put((QString::fromStdU32String(shown) + " ").toStdString());
    }
    int32_t WriteFootnote() override { return Put(CurLine->Chars + CurPos, size_t(FootnoteMarkLength)); }
};

// The text's shown characters, every run of blanks (line and paragraph ends,
// tabs, non-breaking spaces) one space.
QString ShownText(TRtRTFText& Text)
{
    TShownTextWriter w;
    w.SkipHiddenText = true;
    w.NoTerminator = true;
    const std::string plain = WriteRtf(Text, &w);
    return QString::fromUtf8(plain.data(), qsizetype(plain.size()));
}

QString Normalised(QString S)
{
    S.remove(QChar(0xFEFF));
    static const QRegularExpression blanks("\\s+", QRegularExpression::UseUnicodePropertiesOption);
    return S.replace(blanks, " ").trimmed();
}

// Where the two texts part, with some context.
std::string FirstDifference(const QString& A, const QString& B)
{
    qsizetype i = 0;
    while (i < A.size() && i < B.size() && A[i] == B[i])
        ++i;
    const qsizetype from = std::max<qsizetype>(0, i - 30);
    return "\n  read:        ..." + A.mid(from, 80).toStdString() + "\n  LibreOffice: ..."
        + B.mid(from, 80).toStdString();
}

// Files whose text differs from LibreOffice's reading, and why.
const std::map<QString, const char*>& KnownDifferences()
{
    static const char* const emoji = "an emoji, which no Windows character set holds, is read as the writer's fallback \"?\"";
    static const char* const bullets = "bullets of deeper levels outside Windows-1252 show as the store's one bullet";
    static const std::map<QString, const char*> known = {
        {"abi-mixed.rtf", emoji},
        {"abiword.rtf", emoji},
        {"libreoffice.rtf", emoji},
        {"lo-mixed.rtf", emoji},
        {"wordpad-cp1250.rtf", "hidden text is left out of the shown text; LibreOffice's plain text keeps it"},
        {"abi-lists.rtf", bullets},
        {"lo-lists.rtf", bullets},
        {"lo-md-mixedlist.rtf", bullets},
        {"lo-fields.rtf", "DATE, PAGE and NUMPAGES become field objects; LibreOffice shows its own values"},
        {"word-fields.rtf", "DATE, TIME, PAGE and NUMPAGES become field objects; LibreOffice shows today's date"},
        {"lo-md-readme.rtf", "the empty paragraph after the last \\par keeps the list's bullet"},
        {"lo-outline.rtf", "the number of the level above shows with its own texts: \"(a).i\" for \"a.i\""},
        {"lo-quotes.rtf", "a soft hyphen is a property of the character after it, not a character"},
        {"word-symbols.rtf", "LibreOffice drops em, en and quarter em spaces and keeps soft hyphens as characters"},
        {"word-footnotes.rtf", "LibreOffice shows a footnote's own mark twice"},
        {"word-multilevel.rtf", "LibreOffice shows the \";\" that ends a level text"},
        {"word-picture.rtf", "LibreOffice makes the shape a drawing object and leaves its text out"},
    };
    return known;
}

// Files whose store changes when written and read again, and why.
} // namespace

TEST(RtfReaderCorpus, HoldsFilesOfManyWriters)
{
    const std::vector<QString> files = CorpusFiles();
    EXPECT_GE(files.size(), 60u);
    for (const QString& f : files)
        EXPECT_TRUE(QFile::exists(CorpusDir() + "/" + QString(f).replace(".rtf", ".txt"))) << f.toStdString();
}

TEST(RtfReaderCorpus, TextIsLibreOfficesText)
{
    for (const QString& f : CorpusFiles()) {
        TRtRTFText text;
        ReadRtf(text, ReadFile(CorpusDir() + "/" + f));
        const QString read = Normalised(ShownText(text));
        const std::string expectedBytes = ReadFile(CorpusDir() + "/" + QString(f).replace(".rtf", ".txt"));
        const QString expected = Normalised(QString::fromUtf8(expectedBytes.data(), qsizetype(expectedBytes.size())));
        const auto known = KnownDifferences().find(f);
        if (known == KnownDifferences().end())
            EXPECT_EQ(read, expected) << f.toStdString() << FirstDifference(read, expected);
        else
            EXPECT_NE(read, expected) << f.toStdString() << " reads as LibreOffice reads it now: " << known->second;
    }
}

TEST(RtfReaderCorpus, WritingAndReadingAgainKeepsTextAndFormatting)
{
    for (const QString& f : CorpusFiles()) {
        TRtRTFText first;
        ReadRtf(first, ReadFile(CorpusDir() + "/" + f));
        const std::string written = WriteRtf(first);
        TRtRTFText second;
        ReadRtf(second, written);
        EXPECT_EQ(DumpStore(second), DumpStore(first)) << f.toStdString();
    }
}
