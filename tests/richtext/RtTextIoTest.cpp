#include "RtTextIo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TMemoryStream StreamOf(const std::string& s)
{
    TMemoryStream m;
    m.WriteBuffer(s.data(), int32_t(s.size()));
    m.SetPosition(0);
    return m;
}

QByteArray ReadFile(const QString& name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString& name, const QByteArray& bytes)
{
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(RtTextIo, SniffsTheStreamsFirstBytes)
{
    struct Case {
        std::string bytes;
        const char* reader;
    };
    const std::string longTag = "<" + std::string(10, 'b') + ">";
    const Case cases[] = {
        {"  \t{\\rtf1 hello}", "TRtRTFReader"},
        {"\b\r\n{\\rtf", "TRtRTFReader"},
        {"{\\rt", "TRtTextReader"},
        {"{\\par <B>x</b>", "TRtHTMLReader"},
        {"text <body> more", "TRtHTMLReader"},
        {"<?xml?>", "TRtHTMLReader"},
        {"<table>", "TRtTextReader"},
        {longTag + " no tag", "TRtTextReader"},
        {"<bo\rdy>", "TRtTextReader"},
        {std::string("abc\0<b>", 7), "TRtTextReader"},
        {std::string(1995, 'x') + "<b>", "TRtHTMLReader"},
        {std::string(1998, 'x') + "<b>", "TRtTextReader"},
    };
    for (const Case& c : cases) {
        TMemoryStream m = StreamOf(c.bytes);
        m.SetPosition(0);
        EXPECT_EQ(RtSniffReaderClass(m), c.reader) << c.bytes.substr(0, 20);
        EXPECT_EQ(m.Position(), 0);
    }
}

TEST(RtTextIo, ChoosesReaderByExtensionFormatAndBytes)
{
    TMemoryStream rtf = StreamOf("{\\rtf1}");
    EXPECT_EQ(RtChooseReaderClass("", "ANSI", rtf), "TRtTextReader");
    EXPECT_EQ(RtChooseReaderClass("", "rtf", rtf), "TRtRTFReader");
    EXPECT_EQ(RtChooseReaderClass("", "TMyReader", rtf), "TMyReader");
    EXPECT_EQ(RtChooseReaderClass(".TXT", "AUTO", rtf), "TRtTextReader");
    // Automatic choices of classes that do not exist fall back to the text reader.
    TMemoryStream html = StreamOf("<html>");
    EXPECT_EQ(RtChooseReaderClass("", "AUTO", html), "TRtTextReader");
    EXPECT_EQ(RtChooseReaderClass(".HTM", "", html), "TRtTextReader");
    // An explicit name stays, so that the missing class is reported.
    EXPECT_EQ(RtChooseReaderClass("", "HTML", html), "TRtHTMLReader");
}

TEST(RtTextIo, ChoosesWriter)
{
    EXPECT_EQ(RtChooseWriterClass(".TXT", "AUTO", true, false), "TRtTextWriter");
    EXPECT_EQ(RtChooseWriterClass(".RTF", "ANSI", true, false), "TRtTextWriter");
    EXPECT_EQ(RtChooseWriterClass("", "AUTO", true, false), "TRtRTFWriter");
    EXPECT_EQ(RtChooseWriterClass("", "AUTO", false, false), "TRtTextWriter");
    EXPECT_EQ(RtChooseWriterClass("", "AUTO", false, true), "TRtRTFWriter");
    EXPECT_EQ(RtChooseWriterClass("", "html", false, false), "TRtHTMLWriter");
}

TEST(RtTextIo, SavesThroughATemporaryFileAndKeepsBackups)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("a.rtf");
    const QString bak = dir.filePath("a.BAK");
    auto writer = [](const char* text, int32_t result = 0) {
        return [=](TStream& s) {
            s.WriteBuffer(text, int32_t(strlen(text)));
            return result;
        };
    };
    WriteFile(file, "old");
    WriteFile(bak, "older");

    // A free backup name follows a.BAK.
    EXPECT_EQ(RtFreeBackupName(file), dir.filePath("a.BAK1"));
    WriteFile(dir.filePath("a.BAK1"), "x");
    EXPECT_EQ(RtFreeBackupName(file), dir.filePath("a.BAK2"));
    QFile::remove(dir.filePath("a.BAK1"));

    // Default options: the old file is replaced, a.BAK untouched, nothing left over.
    RtSaveFileWithBackup(file, TStoreOptions{}, writer("new"));
    EXPECT_EQ(ReadFile(file), "new");
    EXPECT_EQ(ReadFile(bak), "older");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    // Keeping backups replaces an existing a.BAK, again and again.
    for (const char* text : {"v2", "v3"}) {
        RtSaveFileWithBackup(file, TStoreOptions{soDontDeleteBAKFile}, writer(text));
        EXPECT_EQ(ReadFile(file), text);
    }
    EXPECT_EQ(ReadFile(bak), "v2");

    // A failed write, reported or raised, leaves the old file and no temporary file.
    EXPECT_THROW(RtSaveFileWithBackup(file, TStoreOptions{soDontDeleteBAKFile}, writer("bad", 5)), Exception);
    EXPECT_THROW(RtSaveFileWithBackup(file, TStoreOptions{},
                                      [](TStream&) -> int32_t { throw EWriteError("Stream write error"); }),
                 EWriteError);
    EXPECT_EQ(ReadFile(file), "v3");
    EXPECT_EQ(ReadFile(bak), "v2");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    try {
        RtSaveFileWithBackup(file, TStoreOptions{}, writer("bad", 5));
    } catch (const Exception& e) {
        EXPECT_EQ(AnsiString(e.what()), "Cannot write to file " + toAnsi(file) + "!");
    }
}

TEST(RtTextIo, AFailedFinalRenameKeepsTheOlderBackup)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("a.rtf");
    const QString bak = dir.filePath("a.BAK");
    WriteFile(file, "old");
    WriteFile(bak, "older");
    // The writer takes its temporary file away, so that it cannot be renamed into place.
    const QString temp = dir.filePath(".a.rtf.tmp0");
    EXPECT_THROW(RtSaveFileWithBackup(file, TStoreOptions{soDontDeleteBAKFile},
                                      [&](TStream&) -> int32_t { return QFile::remove(temp) ? 0 : 1; }),
                 Exception);
    EXPECT_EQ(ReadFile(file), "old");
    EXPECT_EQ(ReadFile(bak), "older");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}
