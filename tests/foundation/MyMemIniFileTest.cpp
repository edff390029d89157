#include "MyMemIniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TMemoryStream StreamOf(const QByteArray& bytes)
{
    TMemoryStream s;
    s.WriteBuffer(bytes.constData(), int32_t(bytes.size()));
    s.SetPosition(0);
    return s;
}

QByteArray BytesOf(const TMemoryStream& s)
{
    return QByteArray(reinterpret_cast<const char*>(s.Memory()), qsizetype(s.Bytes().size()));
}

void Load(TMyMemIniFile& ini, const QByteArray& bytes)
{
    TMemoryStream s = StreamOf(bytes);
    ini.LoadFromStream(s);
}

const QByteArray cSample =
    "orphan=dropped\r\n"
    "[Main]\r\n"
    "; comment=no\r\n"
    "Formula=a=b=c\r\n"
    "key = spaced \r\n"
    "  [Indented]\r\n"
    "\r\n"
    "Dup=first\r\n"
    "Dup=second\r\n"
    "[other]\r\n"
    "Umlaut=\xE4\r\n";

}  // namespace

TEST(MyMemIniFile, ReadsTheFirstMatchingLineIgnoringCase)
{
    TMyMemIniFile ini;
    Load(ini, cSample);
    EXPECT_EQ(ini.ReadString("MAIN", "formula", "-"), QStringLiteral("a=b=c"));
    EXPECT_EQ(ini.ReadString("Main", "key ", "-"), QStringLiteral(" spaced "));
    EXPECT_EQ(ini.ReadString("Main", "key", "-"), QStringLiteral("-"));
    EXPECT_EQ(ini.ReadString("Main", "Dup", "-"), QStringLiteral("first"));
    EXPECT_EQ(ini.ReadString("Main", "; comment", "-"), QStringLiteral("-"));
    EXPECT_EQ(ini.ReadString("Other", "Umlaut", "-"), QStringLiteral("ä"));
    EXPECT_EQ(ini.ReadString("Missing", "x", "-"), QStringLiteral("-"));

    QStringList sections, keys, values;
    ini.ReadSections(sections);
    EXPECT_EQ(sections, (QStringList{"Main", "other"}));  // no "Indented", orphan dropped
    ini.ReadSection("main", keys);
    EXPECT_EQ(keys, (QStringList{"Formula", "key ", "Dup", "Dup"}));
    ini.ReadSectionValues("main", values);
    EXPECT_EQ(values.at(2), QStringLiteral("  [Indented]"));
}

TEST(MyMemIniFile, ReadsUtf16LanguageTextWithMark)
{
    TMyMemIniFile ini;
    const QString text = QStringLiteral("[TMaster]\r\nLabel1.Caption=\u0416 text\r\n");
    QByteArray bytes("\xFF\xFE", 2);
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    Load(ini, bytes);
    EXPECT_EQ(ini.ReadString("tmaster", "label1.caption", "-"), QStringLiteral("\u0416 text"));
}

TEST(MyMemIniFile, WriteReplacesInPlaceOrAppends)
{
    TMyMemIniFile ini;
    Load(ini, "[S]\r\na=1\r\nb=2\r\nc=3\r\n");
    ini.WriteString("s", "B", "two");
    ini.WriteString("S", "d", "4");
    ini.WriteString("New", "x", "y");
    QStringList values;
    ini.ReadSectionValues("S", values);
    EXPECT_EQ(values, (QStringList{"a=1", "B=two", "c=3", "d=4"}));

    ini.DeleteKey("S", "A");
    ini.EraseSection("NEW");
    TMemoryStream out;
    ini.SaveToStream(out);
    EXPECT_EQ(BytesOf(out), QByteArray("[S]\r\nB=two\r\nc=3\r\nd=4\r\n\r\n"));
}

TEST(MyMemIniFile, MergeExtendsSectionsAndKeepsEarlierKeys)
{
    TMyMemIniFile ini;
    Load(ini, "[A]\r\nk=old\r\n");
    TMemoryStream more = StreamOf("[a]\r\nk=new\r\nm=\xFC\r\n[B]\r\nx=1\r\n");
    ini.MergeFromAnsiStream(more);
    EXPECT_EQ(ini.ReadString("A", "k", "-"), QStringLiteral("old"));
    EXPECT_EQ(ini.ReadString("A", "m", "-"), QStringLiteral("ü"));
    EXPECT_EQ(ini.ReadString("B", "x", "-"), QStringLiteral("1"));
    QStringList lines;
    ini.GetStrings(lines);
    EXPECT_EQ(lines, (QStringList{"[A]", "k=old", "k=new", "m=ü", "", "[B]", "x=1", ""}));
}

TEST(MyMemIniFile, FilesRoundTripAndAMissingFileClears)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("texts.txt"));
    TMyMemIniFile ini;
    ini.WriteString("Sec", "Grüße", "Straße €");
    ini.SaveToFile(file);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("[Sec]\r\nGr\xFC\xDF" "e=Stra\xDF" "e \x80\r\n\r\n"));

    TMyMemIniFile back;
    back.LoadFromFile(file);
    EXPECT_EQ(back.ReadString("sec", "GRÜßE", "-"), QStringLiteral("Straße €"));
    back.LoadFromFile(dir.filePath(QStringLiteral("missing.txt")));
    QStringList sections;
    back.ReadSections(sections);
    EXPECT_TRUE(sections.isEmpty());
}
