#include "uDataFile.h"

#include "SysUtils.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <sys/stat.h>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes BytesOf(const TMemoryStream& s)
{
    return Bytes(s.Bytes().begin(), s.Bytes().end());
}

Bytes FileBytes(const QString& name)
{
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray a = f.readAll();
    return Bytes(a.begin(), a.end());
}

void WriteFileBytes(const QString& name, const Bytes& bytes)
{
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
}

void AppendI32(Bytes& b, int32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(uint32_t(v) >> (8 * i)));
}

void AppendField(Bytes& b, const AnsiString& text, size_t size)
{
    Bytes field(size, 0);
    std::memcpy(field.data(), text.data(), text.size());
    b.insert(b.end(), field.begin(), field.end());
}

Bytes FileHeader()
{
    Bytes b = {'Q', 'w', ' ', 'D', 'a', 't', 'a', 'F', 'i', 'l', 'e', 0, 0, 0, 0, 0};
    AppendI32(b, 1);
    return b;
}

// One record as it lies in the stream, built field by field.
Bytes Record(const AnsiString& section, const AnsiString& key, const Bytes& data,
             int32_t marker = 1, std::optional<int32_t> length = std::nullopt)
{
    Bytes b;
    AppendI32(b, marker);
    AppendField(b, section, 128);
    AppendField(b, key, 32);
    AppendI32(b, length.value_or(int32_t(data.size())));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes r;
    for (const auto& p : parts)
        r.insert(r.end(), p.begin(), p.end());
    return r;
}

class DataFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
};

// Writes a few records of every type.
void WriteSample(TCustomDataFile& f)
{
    f.WriteString("Doc", "Name", "Fotobuch \xE4\xF6\xFC");
    f.WriteString("Doc", "Empty", "");
    f.WriteInteger("Doc", "Width", -123456);
    f.WriteFloat("Doc", "Angle", 90.25);
    f.WriteDateTime("Doc", "Saved", 45000.75);
    f.WriteBool("Doc", "Shadow", true);
    TMemoryStream pic;
    pic.WriteBuffer("\x01\x02\x00\x03", 4);
    f.WriteStream("Doc/Pages/Page1/Piclist/Pic0", "Data", pic);
    EXPECT_EQ(pic.Position(), 4);
}

void CheckSample(TCustomDataFile& f)
{
    EXPECT_EQ(f.ReadString("Doc", "Name", "x"), "Fotobuch \xE4\xF6\xFC");
    EXPECT_EQ(f.ReadString("Doc", "Empty", "x"), "");
    EXPECT_EQ(f.ReadInteger("Doc", "Width", 0), -123456);
    EXPECT_EQ(f.ReadFloat("Doc", "Angle", 0), 90.25);
    EXPECT_EQ(f.ReadDateTime("Doc", "Saved", 0), 45000.75);
    EXPECT_TRUE(f.ReadBool("Doc", "Shadow", false));
    TMemoryStream pic;
    EXPECT_EQ(f.ReadStream("Doc/Pages/Page1/Piclist/Pic0", "Data", pic), 4);
    EXPECT_EQ(BytesOf(pic), (Bytes{1, 2, 0, 3}));
    // Missing records give the defaults.
    EXPECT_EQ(f.ReadString("Doc", "Nope", "def"), "def");
    EXPECT_EQ(f.ReadInteger("Nope", "Width", 7), 7);
    EXPECT_EQ(f.ReadFloat("Doc", "Nope", 1.5), 1.5);
    EXPECT_FALSE(f.ReadBool("Doc", "Nope", false));
    uint8_t buf[4];
    EXPECT_EQ(f.ReadBuffer("Doc", "Nope", buf, 4), -1);
}

}  // namespace

TEST_F(DataFile, NewFileAndEmptyMemoryContainerAreExactlyTheHeader)
{
    const QString name = Path("new.zpb");
    { TDataFile f(name); EXPECT_FALSE(f.ReadOnly); }
    EXPECT_EQ(FileBytes(name), FileHeader());

    TMemoryStream ms;
    { TMemoryDataFile f(ms); }
    EXPECT_EQ(BytesOf(ms), FileHeader());
    // A stream that already holds a container gets no second header.
    { TMemoryDataFile f(ms); }
    EXPECT_EQ(ms.Size(), 20);

    // An existing empty file gets the header before its first record, so the
    // record is where a reader looks for it.
    const QString empty = Path("empty.zpb");
    WriteFileBytes(empty, {});
    { TDataFile f(empty); }
    EXPECT_TRUE(FileBytes(empty).empty());  // opening alone changes nothing
    { TDataFile f(empty); f.WriteInteger("Doc", "Width", 7); }
    EXPECT_EQ(FileBytes(empty), Concat({FileHeader(), Record("Doc", "Width", {7, 0, 0, 0})}));
    TDataFile f(empty);
    EXPECT_EQ(f.ReadInteger("Doc", "Width", 0), 7);
}

TEST_F(DataFile, IntegerRecordBytes)
{
    const QString name = Path("int.zpb");
    { TDataFile f(name); f.WriteInteger("Doc", "Width", 0x12345678); }
    EXPECT_EQ(FileBytes(name),
              Concat({FileHeader(), Record("Doc", "Width", {0x78, 0x56, 0x34, 0x12})}));
}

TEST_F(DataFile, TypedRecordEncodings)
{
    TMemoryStream ms;
    TMemoryDataFile f(ms);
    f.WriteBool("S", "B", true);
    f.WriteString("S", "T", AnsiString("ab\0cd", 5));  // stored up to the NUL
    f.WriteString("S", "E", "");
    f.WriteFloat("S", "F", 1.0);
    const Bytes expected = Concat({FileHeader(), Record("S", "B", {1}),
                                   Record("S", "T", {'a', 'b', 0}), Record("S", "E", {0}),
                                   Record("S", "F", {0, 0, 0, 0, 0, 0, 0xF0, 0x3F})});
    EXPECT_EQ(BytesOf(ms), expected);
}

TEST_F(DataFile, FontRecordBytesAndReadBack)
{
    TFont font;
    font.SetCharset(ANSI_CHARSET);
    font.SetName("Arial");
    font.SetSize(12);
    font.SetStyle(fsBold | fsItalic);
    font.SetColor(clRed);
    TMemoryStream ms;
    TMemoryDataFile f(ms);
    f.WriteFont("Text", "Font", font);
    const Bytes data = {0, 0xFF, 0, 0, 0, 0, 12, 0, 3, 'A', 'r', 'i', 'a', 'l', 0};
    EXPECT_EQ(BytesOf(ms), Concat({FileHeader(), Record("Text", "Font", data)}));

    TFont back;
    int changes = 0;
    back.OnChange = [&](TObject* sender) { ++changes; EXPECT_EQ(sender, &back); };
    f.ReadFont("Text", "Font", back);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(back == font);
    EXPECT_EQ(back.Size(), 12);
    EXPECT_TRUE(bool(back.OnChange));

    // No record, or one of 9 bytes or fewer: font untouched, no notification.
    f.WriteBuffer("Text", "Short", data.data(), 9);
    TFont other;
    const TFont before = other;
    other.OnChange = [&](TObject*) { ++changes; };
    f.ReadFont("Text", "Short", other);
    f.ReadFont("Text", "Missing", other);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(other == before);
}

TEST_F(DataFile, RoundTripThroughScanAndIndex)
{
    const QString name = Path("sample.zpb");
    {
        TDataFile f(name);
        WriteSample(f);
        EXPECT_TRUE(f.Index.empty());
        CheckSample(f);  // a new file is scanned
    }
    {
        TDataFile f(name);
        EXPECT_EQ(f.Index.size(), 7u);
        EXPECT_EQ(f.Index[0].Position, 20);
        EXPECT_EQ(f.Index[6].Name, "Doc/Pages/Page1/Piclist/Pic0");
        CheckSample(f);  // a reopened file reads through its index
    }
    TMemoryStream ms;
    { TMemoryDataFile f(ms); WriteSample(f); CheckSample(f); }
    ms.Seek(0, soBeginning);
    TMemoryDataFile again(ms);
    CheckSample(again);
}

TEST_F(DataFile, FirstMatchWinsIgnoringCaseAndAnyKey)
{
    const QString name = Path("dup.zpb");
    auto check = [](TCustomDataFile& f) {
        EXPECT_EQ(f.ReadInteger("doc", "WIDTH", 0), 1);
        EXPECT_EQ(f.ReadInteger("\xC4nderung", "\xF6l", 0), 3);  // Windows-1252 letters
        EXPECT_EQ(f.ReadInteger("Doc", "$$test", 0), 1);
        EXPECT_EQ(f.ReadInteger("Page", "$$test", 0), 4);
        EXPECT_EQ(f.ReadInteger("Doc", "$$TEST", 0), 0);  // an ordinary key
        EXPECT_EQ(f.ReadInteger("Empty", "$$test", -1), -1);
    };
    {
        TDataFile f(name);
        f.WriteInteger("Doc", "Width", 1);
        f.WriteInteger("DOC", "width", 2);
        f.WriteInteger("\xE4NDERUNG", "\xD6L", 3);
        f.WriteInteger("Page", "B", 4);
        f.WriteInteger("Page", "A", 5);
        check(f);
    }
    TDataFile f(name);
    check(f);
    // The index lists what the file held when opened; later records are not found.
    f.WriteInteger("Late", "X", 9);
    EXPECT_EQ(f.ReadInteger("Late", "X", -1), -1);
    EXPECT_EQ(TDataFile(name).ReadInteger("Late", "X", -1), 9);
}

// Records of many sizes, some far larger than the stretch of file the index
// reads at once, so that headers fall across every kind of boundary.
TEST_F(DataFile, IndexesRecordsOfEverySize)
{
    const QString name = Path("sizes.zpb");
    auto payload = [](int i) {
        Bytes b(size_t(i % 3 == 0 ? i * 997 % 20000 : i * 13 % 300), 0);
        for (size_t j = 0; j < b.size(); ++j)
            b[j] = uint8_t(i + j);
        return b;
    };
    {
        TDataFile f(name);
        for (int i = 0; i < 200; ++i) {
            const Bytes b = payload(i);
            f.WriteBuffer("Sec" + IntToStr(i % 7), "K" + IntToStr(i), b.data(), int32_t(b.size()));
        }
    }
    TDataFile f(name);
    ASSERT_EQ(f.Index.size(), 200u);
    for (int i = 0; i < 200; ++i) {
        TMemoryStream ms;
        EXPECT_EQ(f.ReadStream("sec" + IntToStr(i % 7), "k" + IntToStr(i), ms),
                  int32_t(payload(i).size()));
        EXPECT_EQ(BytesOf(ms), payload(i)) << i;
    }
    EXPECT_EQ(f.ReadInteger("Sec3", "$$test", 0), f.ReadInteger("Sec3", "K3", 1));
}

// Every pair of single characters matches exactly when the locale-aware
// comparison ignoring case calls them equal, through the index and the scan.
TEST_F(DataFile, MatchingAgreesWithAnsiCompareText)
{
    const QString name = Path("fold.zpb");
    {
        TDataFile f(name);
        for (int c = 1; c < 256; ++c)
            f.WriteInteger(AnsiString("S") + char(c), "k", c);
    }
    TMemoryStream ms;
    ms.LoadFromFile(name);
    TDataFile indexed(name);
    TMemoryDataFile scanned(ms);
    for (int q = 1; q < 256; ++q) {
        const AnsiString section = AnsiString("S") + char(q);
        int expected = -1;
        for (int c = 1; c < 256 && expected < 0; ++c)
            if (AnsiCompareText(AnsiString("S") + char(c), section) == 0)
                expected = c;
        EXPECT_EQ(indexed.ReadInteger(section, "K", -1), expected) << q;
        EXPECT_EQ(scanned.ReadInteger(section, "K", -1), expected) << q;
    }
}

TEST_F(DataFile, ReadsBoundedByRecordTypeAndBuffer)
{
    TMemoryStream ms;
    TMemoryDataFile f(ms);
    f.WriteBuffer("S", "Two", "\x01\x02", 2);
    f.WriteString("S", "Nine", "ABCDEFGH");  // 9 bytes with the NUL
    f.WriteBuffer("S", "None", nullptr, 0);
    f.WriteInteger("S", "Four", 5);

    EXPECT_EQ(f.ReadInteger("S", "Two", -1), -1);
    EXPECT_EQ(f.ReadInteger("S", "Nine", -1), 0x44434241);
    EXPECT_EQ(f.ReadFloat("S", "Four", 2.5), 2.5);
    double first8;
    std::memcpy(&first8, "ABCDEFGH", 8);
    EXPECT_EQ(f.ReadFloat("S", "Nine", 2.5), first8);  // further bytes are ignored
    EXPECT_TRUE(f.ReadBool("S", "None", true));
    EXPECT_FALSE(f.ReadBool("S", "None", false));
    EXPECT_TRUE(f.ReadBool("S", "Four", false));
    EXPECT_EQ(f.ReadString("S", "Two", "def"), "\x01\x02");  // no NUL: all of it
    EXPECT_EQ(f.ReadString("S", "None", "def"), "");

    uint8_t buf[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_EQ(f.ReadBuffer("S", "Nine", buf, 4), 4);
    EXPECT_EQ(Bytes(buf, buf + 6), (Bytes{'A', 'B', 'C', 'D', 9, 9}));
}

TEST_F(DataFile, ReadStreamReplacesDestination)
{
    TMemoryStream ms;
    TMemoryDataFile f(ms);
    f.WriteBuffer("S", "K", "xyz", 3);
    TMemoryStream dest;
    dest.WriteBuffer("0123456789", 10);
    EXPECT_EQ(f.ReadStream("S", "Missing", dest), -1);
    EXPECT_EQ(dest.Size(), 10);
    EXPECT_EQ(dest.Position(), 10);
    EXPECT_EQ(f.ReadStream("S", "K", dest), 3);
    EXPECT_EQ(BytesOf(dest), (Bytes{'x', 'y', 'z'}));
    EXPECT_EQ(dest.Position(), 0);
}

TEST_F(DataFile, DamagedFiles)
{
    const Bytes good = Record("Doc", "A", {1, 0, 0, 0});
    const Bytes head = FileHeader();
    const Bytes second = Record("Doc", "B", {2, 0, 0, 0});
    const Bytes third = Record("Doc", "C", {3, 0, 0, 0});
    enum Outcome { Refused, Complete, Cut };
    struct Case {
        const char* what;
        Bytes file;
        Outcome outcome;
    };
    const Case cases[] = {
        {"marker 2", Concat({head, good, Record("Doc", "B", {2, 0, 0, 0}, 2)}), Refused},
        {"negative length", Concat({head, good, Record("Doc", "B", {}, 1, -168)}), Refused},
        {"complete", Concat({head, good}), Complete},
        {"length past the end", Concat({head, good, Record("Doc", "B", {1, 2}, 1, 0x7FFFFFFF)}),
         Cut},
        {"cut inside the data", Concat({head, good, Bytes(second.begin(), second.end() - 1)}),
         Cut},
        {"cut after the header", Concat({head, good, Bytes(second.begin(), second.begin() + 168)}),
         Cut},
        {"truncated header", Concat({head, good, Bytes(good.begin(), good.begin() + 100)}), Cut},
        {"cut record before a whole one",
         Concat({head, good, Record("Doc", "B", {2, 0, 0, 0}, 1, 200), third}), Cut},
        {"truncated file header", Bytes(head.begin(), head.begin() + 12), Complete},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString name = Path("damaged.zpb");
        WriteFileBytes(name, c.file);
        TMemoryStream ms;
        ms.LoadFromFile(name);
        TMemoryDataFile scanned(ms);
        if (c.outcome != Refused) {
            TDataFile f(name);
            const int expected = c.file.size() > 20 ? 1 : -1;
            for (TCustomDataFile* file : {static_cast<TCustomDataFile*>(&f),
                                          static_cast<TCustomDataFile*>(&scanned)}) {
                EXPECT_EQ(file->ReadInteger("Doc", "A", -1), expected);
                // The cut record and whatever its length covers are not offered.
                EXPECT_EQ(file->ReadInteger("Doc", "B", -1), -1);
                EXPECT_EQ(file->ReadInteger("Doc", "C", -1), -1);
                EXPECT_EQ(file->Incomplete, c.outcome == Cut);
                EXPECT_EQ(file->RecordCount(), expected == 1 ? 1 : 0);
            }
            continue;
        }
        try {
            TDataFile f(name);
            ADD_FAILURE() << "opened";
        } catch (const EInvalidOperation& e) {
            EXPECT_EQ(e.Message, "Invalid file format.");
        }
        // A scan meets the damage only behind the records before it.
        EXPECT_EQ(scanned.ReadInteger("Doc", "A", -1), 1);
        EXPECT_THROW(scanned.ReadInteger("Doc", "B", -1), EInvalidOperation);
    }
}

// A memory container decodes each header once however many lookups miss, and
// still finds records appended after a lookup.
TEST_F(DataFile, ScanVisitsEveryRecordOnce)
{
    class TCountingStream : public TMemoryStream {
    public:
        int32_t Read(void* buffer, int32_t count) override
        {
            ++reads;
            return TMemoryStream::Read(buffer, count);
        }
        int reads = 0;
    };
    TCountingStream ms;
    TMemoryDataFile f(ms);
    constexpr int kRecords = 2000;
    for (int i = 0; i < kRecords; ++i)
        f.WriteInteger("S" + IntToStr(i), "K", i);
    EXPECT_EQ(f.RecordCount(), kRecords);
    ms.reads = 0;
    for (int i = 0; i < kRecords; ++i) {
        EXPECT_EQ(f.ReadInteger("Missing" + IntToStr(i), "K", -1), -1);
        EXPECT_EQ(f.ReadInteger("s" + IntToStr(i), "k", -1), i);
    }
    EXPECT_LE(ms.reads, 3 * kRecords);  // a header and the data per hit, nothing per miss
    f.WriteInteger("Late", "K", 7);
    EXPECT_EQ(f.ReadInteger("Late", "$$test", -1), 7);
    EXPECT_EQ(f.RecordCount(), kRecords + 1);
}

TEST_F(DataFile, ReadOnlyFileReadsButRefusesWrites)
{
    const QString name = Path("ro.zpb");
    { TDataFile f(name); f.WriteInteger("Doc", "Width", 42); }
    EXPECT_FALSE(IsFileReadOnly(name));
    ASSERT_EQ(::chmod(QFile::encodeName(name).constData(), 0444), 0);
    EXPECT_TRUE(IsFileReadOnly(name));
    const Bytes before = FileBytes(name);
    {
        TDataFile f(name);
        EXPECT_TRUE(f.ReadOnly);
        EXPECT_EQ(f.ReadInteger("Doc", "Width", 0), 42);
        try {
            f.WriteInteger("Doc", "Height", 1);
            ADD_FAILURE() << "written";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, "Die Datei ist schreibgesch\xFCtzt");
        }
    }
    EXPECT_EQ(FileBytes(name), before);

    // Any write bit makes the file writable; a missing file is not read-only.
    ASSERT_EQ(::chmod(QFile::encodeName(name).constData(), 0404 | S_IWGRP), 0);
    EXPECT_FALSE(IsFileReadOnly(name));
    EXPECT_FALSE(IsFileReadOnly(Path("missing.zpb")));
}

TEST_F(DataFile, NamesTooLongForTheirFieldsAreRefused)
{
    TMemoryStream ms;
    TMemoryDataFile f(ms);
    const AnsiString section127(127, 's'), key31(31, 'k');
    f.WriteInteger(section127, key31, 5);
    EXPECT_EQ(f.ReadInteger(section127, key31, 0), 5);
    const int64_t size = ms.Size();
    EXPECT_THROW(f.WriteInteger(section127 + "s", "k", 1), EInvalidArgument);
    EXPECT_THROW(f.WriteInteger("s", key31 + "k", 1), EInvalidArgument);
    EXPECT_THROW(f.WriteInteger(AnsiString("a\0b", 3), "k", 1), EInvalidArgument);
    EXPECT_THROW(f.WriteBuffer("s", "k", "x", -1), EInvalidArgument);
    EXPECT_EQ(ms.Size(), size);
}

TEST_F(DataFile, KeyScramblesEveryBlockFromItsStart)
{
    TMemoryStream ms;
    TMemoryDataFile f(ms);
    f.Key = "ab";
    const char data[] = "xyz";
    f.WriteBuffer("S", "K", data, 3);
    EXPECT_STREQ(data, "xyz");  // the caller's buffer stays as it was

    Bytes expected = Concat({FileHeader(), Record("S", "K", {'x', 'y', 'z'})});
    for (size_t i = 20; i < 20 + 168; ++i)
        expected[i] ^= "ab"[(i - 20) % 2];
    for (size_t i = 188; i < 191; ++i)
        expected[i] ^= "ab"[(i - 188) % 2];
    EXPECT_EQ(BytesOf(ms), expected);

    uint8_t buf[3];
    EXPECT_EQ(f.ReadBuffer("S", "K", buf, 3), 3);
    EXPECT_EQ(Bytes(buf, buf + 3), (Bytes{'x', 'y', 'z'}));
    f.Key.clear();
    EXPECT_THROW(f.ReadBuffer("S", "K", buf, 3), EInvalidOperation);
}

// A key that leaves the marker but not the length decodable: the length
// read under it is checked against the stream like any other.
TEST_F(DataFile, ALengthReadUnderAnotherKeyStaysWithinTheStream)
{
    TMemoryStream ms;
    TMemoryDataFile f(ms);
    f.Key = "abcdefgh";
    const char data[] = "xyz";
    f.WriteBuffer("S", "K", data, 3);
    f.BuildIndex();
    f.Key = "abcdWXYZ";  // the length bytes (offset 164) meet key bytes 4 to 7
    TMemoryStream out;
    EXPECT_THROW(f.ReadStream("S", "K", out), EInvalidOperation);
    EXPECT_EQ(out.Size(), 0);
}

// The data of small records comes with the reads that build the index:
// reading them later reads nothing from the stream, and decodes under the key
// like any other record.
TEST_F(DataFile, SmallRecordsComeWithTheIndex)
{
    struct TCountingStream : TMemoryStream {
        int reads = 0;
        int32_t Read(void* buffer, int32_t count) override
        {
            ++reads;
            return TMemoryStream::Read(buffer, count);
        }
    };
    TCountingStream ms;
    TMemoryDataFile f(ms);
    f.Key = "k3y";
    Bytes big(20000);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = uint8_t(i * 31 + i / 256);
    f.WriteInteger("Doc", "Width", 0x01021234);
    f.WriteString("Doc", "Name", "Fotobuch");
    f.WriteBuffer("Doc", "Pic", big.data(), int32_t(big.size()));
    f.WriteBool("Doc", "After", true);
    f.BuildIndex();
    ms.reads = 0;
    EXPECT_EQ(f.ReadInteger("Doc", "Width", 0), 0x01021234);
    EXPECT_EQ(f.ReadString("Doc", "NAME", ""), "Fotobuch");
    EXPECT_TRUE(f.ReadBool("Doc", "After", false));
    uint8_t two[2];
    EXPECT_EQ(f.ReadBuffer("Doc", "Width", two, 2), 2);
    EXPECT_EQ(Bytes(two, two + 2), (Bytes{0x34, 0x12}));
    EXPECT_EQ(f.ReadInteger("Doc", "Missing", -1), -1);
    EXPECT_EQ(ms.reads, 0);
    TMemoryStream pic;
    EXPECT_EQ(f.ReadStream("Doc", "Pic", pic), 20000);
    EXPECT_EQ(BytesOf(pic), big);
    EXPECT_EQ(ms.reads, 1);
    // FindEntry still leaves the stream at a kept record's data.
    TDataFileHeader header;
    ASSERT_TRUE(f.FindEntry("Doc", "After", header));
    EXPECT_EQ(header.Length, 1);
    EXPECT_EQ(ms.Position(), ms.Size() - 1);
    // Under another key the headers are read again, and no longer decode.
    f.Key.clear();
    EXPECT_THROW(f.ReadInteger("Doc", "Width", 0), EInvalidOperation);
}

TEST_F(DataFile, StreamErrorsPassThrough)
{
    EXPECT_THROW(TDataFile(Path("no/such/dir.zpb")), EFCreateError);
}
