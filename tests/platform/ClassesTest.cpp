#include "Classes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

TEST(MemoryStream, ReadWriteSeekAndSize)
{
    TMemoryStream s;
    s.WriteI32(0x01020304);
    s.WriteDouble(1.5);
    EXPECT_EQ(s.Size(), 12);
    EXPECT_EQ(s.Position(), 12);
    EXPECT_EQ(s.Bytes()[0], 0x04);
    EXPECT_EQ(s.Bytes()[3], 0x01);
    s.SetPosition(0);
    EXPECT_EQ(s.ReadI32(), 0x01020304);
    EXPECT_EQ(s.ReadDouble(), 1.5);
    uint8_t b;
    EXPECT_EQ(s.Read(&b, 1), 0);
    EXPECT_THROW(s.ReadBuffer(&b, 1), EReadError);
    // Writing past the end fills the gap with zeros.
    s.Seek(4, soEnd);
    s.WriteU8(9);
    EXPECT_EQ(s.Size(), 17);
    EXPECT_EQ(s.Bytes()[13], 0);
    s.SetSize(2);
    EXPECT_EQ(s.Position(), 2);
    EXPECT_EQ(s.Remaining(), 0);
}

// Growth stays geometric and the bytes a stream grows by are zero.
TEST(MemoryStream, LargeStreamGrownPieceByPiece)
{
    TMemoryStream s;
    std::vector<uint8_t> piece(1000);
    int moves = 0;
    const uint8_t* memory = s.Memory();
    for (int i = 0; i < 6000; ++i) {
        std::fill(piece.begin(), piece.end(), uint8_t(i));
        s.WriteBuffer(piece.data(), int32_t(piece.size()));
        if (s.Memory() != memory) {
            ++moves;
            memory = s.Memory();
        }
    }
    EXPECT_LE(moves, 40);
    ASSERT_EQ(s.Size(), 6000000);
    for (int i = 0; i < 6000; i += 599)
        EXPECT_EQ(s.Bytes()[size_t(i) * 1000 + 999], uint8_t(i)) << i;
    s.SetSize(9000000);
    EXPECT_EQ(s.Bytes()[5999999], uint8_t(5999));
    EXPECT_EQ(std::count(s.Bytes().begin() + 6000000, s.Bytes().end(), 0), 3000000);

    TMemoryStream fresh;
    fresh.SetSize(3 << 20);
    EXPECT_EQ(std::count(fresh.Bytes().begin(), fresh.Bytes().end(), 0), 3 << 20);
}

// One read from the source's position; a short source gives a shorter stream,
// never bytes that were not read.
TEST(MemoryStream, ReadFromStreamTakesWhatTheSourceHolds)
{
    QTemporaryDir dir;
    const QString name = dir.filePath("part.bin");
    std::vector<uint8_t> content(3 << 20);
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = uint8_t(i * 7 + i / 4096);
    {
        TFileStream f(name, fmCreate);
        f.WriteBuffer(content.data(), int32_t(content.size()));
    }
    TFileStream f(name, fmOpenRead);
    TMemoryStream s;
    s.WriteBuffer("old", 3);
    f.SetPosition(100);
    ASSERT_EQ(s.ReadFromStream(f, 2 << 20), 2 << 20);
    EXPECT_EQ(s.Size(), 2 << 20);
    EXPECT_EQ(s.Position(), 0);
    EXPECT_TRUE(std::equal(s.Bytes().begin(), s.Bytes().end(), content.begin() + 100));
    // Asked for more than is left: what is left.
    EXPECT_EQ(s.ReadFromStream(f, 2 << 20), (1 << 20) - 100);
    EXPECT_EQ(s.Size(), (1 << 20) - 100);
    EXPECT_TRUE(std::equal(s.Bytes().begin(), s.Bytes().end(), content.begin() + (2 << 20) + 100));
    EXPECT_EQ(s.ReadFromStream(f, 10), 0);
    EXPECT_EQ(s.Size(), 0);
    EXPECT_EQ(s.ReadFromStream(f, -5), 0);

    TMemoryStream whole;
    whole.LoadFromStream(f);
    EXPECT_TRUE(std::equal(whole.Bytes().begin(), whole.Bytes().end(), content.begin(), content.end()));
}

TEST(MemoryStream, CopyFromWholeSourceStartsAtZero)
{
    TMemoryStream a, b;
    a.WriteBuffer("hello", 5);
    EXPECT_EQ(b.CopyFrom(a, 0), 5);
    EXPECT_EQ(std::string(b.Bytes().begin(), b.Bytes().end()), "hello");
    a.SetPosition(1);
    TMemoryStream c;
    EXPECT_EQ(c.CopyFrom(a, 3), 3);
    EXPECT_EQ(std::string(c.Bytes().begin(), c.Bytes().end()), "ell");
    EXPECT_THROW(c.CopyFrom(a, 5), EReadError);
}

TEST(FileStream, CreatesOpensAndReportsErrors)
{
    QTemporaryDir dir;
    const QString name = dir.filePath("t.bin");
    {
        TFileStream f(name, fmCreate);
        f.WriteI32(7);
        f.WriteBuffer("ab", 2);
        EXPECT_EQ(f.Size(), 6);
    }
    {
        TFileStream f(name, fmOpenReadWrite | fmShareDenyNone);
        EXPECT_EQ(f.ReadI32(), 7);
        f.Seek(0, soEnd);
        f.WriteU8(1);
        f.SetSize(3);
        EXPECT_EQ(f.Size(), 3);
    }
    EXPECT_EQ(QFile(name).size(), 3);
    EXPECT_THROW(TFileStream(dir.filePath("missing"), fmOpenRead), EFOpenError);
    EXPECT_THROW(TFileStream(dir.path(), fmOpenRead), EFOpenError);
    EXPECT_THROW(TFileStream(dir.filePath("no/such/dir/x"), fmCreate), EFCreateError);
    try {
        TFileStream f(dir.filePath("missing"), fmOpenRead);
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"", 0), 0u);
    }
}

// A file whose name is no UTF-8, named as DecodeFileName gives it, is
// created and read by its own bytes.
TEST(FileStream, NameThatIsNoUtf8ReachesItsFile)
{
    QTemporaryDir dir;
    const QByteArray bytes = QFile::encodeName(dir.path()) + "/Gr\xfc\xdf" "e.bin";
    {
        TFileStream f(DecodeFileName(bytes), fmCreate);
        f.WriteI32(42);
    }
    struct stat st;
    ASSERT_EQ(::stat(bytes.constData(), &st), 0);
    EXPECT_EQ(st.st_size, 4);
    TMemoryStream m;
    m.LoadFromFile(DecodeFileName(bytes));
    EXPECT_EQ(m.ReadI32(), 42);
    ASSERT_EQ(::unlink(bytes.constData()), 0);
}

TEST(StringList, SortedListsFindAndRefuseDuplicates)
{
    TStringList l;
    l.SetSorted(true);
    l.Add("beta");
    l.Add("Alpha");
    l.Add("gamma");
    EXPECT_EQ(l.Add("BETA"), 1);  // ignored duplicate
    EXPECT_EQ(l.Count(), 3);
    EXPECT_EQ(l[0], "Alpha");
    EXPECT_EQ(l.IndexOf("GAMMA"), 2);
    l.Duplicates = dupError;
    EXPECT_THROW(l.Add("alpha"), EListError);
    EXPECT_THROW(l.Insert(0, "x"), EListError);
    EXPECT_THROW(l.Strings(3), EListError);
    try {
        l.Delete(-1);
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (-1)");
    }
}

TEST(StringList, TextNamesAndValues)
{
    TStringList l;
    l.SetText("a=1\r\nb=2\nc\r\rlast");
    ASSERT_EQ(l.Count(), 5);
    EXPECT_EQ(l[3], "");
    EXPECT_EQ(l.Values("B"), "2");
    EXPECT_EQ(l.Names(0), "a");
    l.SetValue("a", "");
    EXPECT_EQ(l.IndexOfName("a"), -1);
    l.SetValue("z", "9");
    EXPECT_EQ(l.Text(), "b=2\r\nc\r\n\r\nlast\r\nz=9\r\n");
    TStringList c;
    c.SetCommaText("one, \"two words\",\"q\"\"x\"");
    ASSERT_EQ(c.Count(), 3);
    EXPECT_EQ(c[1], "two words");
    EXPECT_EQ(c[2], "q\"x");
    EXPECT_EQ(c.CommaText(), "one,\"two words\",\"q\"\"x\"");
}
