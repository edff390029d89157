// RTF written by other programs (tests/data/rtf, made by make-fixtures.sh or
// written by hand after Word, WordPad and TextEdit) reads as LibreOffice reads
// it, and what is read comes back alike after writing and reading again.
#include "RtfTestSupport.h"

#include "Rtwrite2.h"

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

// The plain text writer with what the editor shows beside the characters:
// the number text of numbered paragraphs and the footnote marks.
class TShownTextWriter : public TRtTextWriter {
protected:
    int32_t WriteParStart() override
    {
        const int32_t r = TRtTextWriter::WriteParStart();
        TRtRTFNumberingStyle* style = nullptr;
        AnsiString number;
        Text->GetParNumberText(CurPar, style, number);
        if (r || number.empty())
            return r;
        return Put(number + " ");
    }
    int32_t WriteFootnote() override { return Put(CurLine->Chars + CurPos, 1); }
};

// The text's shown characters, every run of blanks (line and paragraph ends,
// tabs, non-breaking spaces) one space.
QString ShownText(TRtRTFText& Text)
{
    TShownTextWriter w;
    w.SkipHiddenText = true;
    w.NoTerminator = true;
    const std::string plain = WriteRtf(Text, &w);
    return fromAnsi(AnsiString(plain));
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
    static const std::map<QString, const char*> known = {};
    return known;
}

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
