#include "uDataFile.h"

#include "SysUtils.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <limits>
#include <sys/stat.h>

namespace {

constexpr char kSignature[] = "Qw DataFile";
constexpr char kAnyKey[] = "$$test";
constexpr int32_t kNameOffset = 4;
constexpr int32_t kKeyOffset = kNameOffset + DataFileNameSize;
constexpr int32_t kLengthOffset = kKeyOffset + DataFileKeySize;

void PutI32(uint8_t* p, int32_t v)
{
    const uint32_t u = uint32_t(v);
    p[0] = uint8_t(u);
    p[1] = uint8_t(u >> 8);
    p[2] = uint8_t(u >> 16);
    p[3] = uint8_t(u >> 24);
}

int32_t GetI32(const uint8_t* p)
{
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                   uint32_t(p[3]) << 24);
}

void PutU16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

// Text of a fixed field up to its first NUL.
AnsiString FieldText(const uint8_t* p, int32_t size)
{
    const auto* end = std::find(p, p + size, uint8_t(0));
    return AnsiString(reinterpret_cast<const char*>(p), size_t(end - p));
}

// A text up to its first NUL.
AnsiString UpToNul(const AnsiString& s)
{
    return s.substr(0, std::min(s.size(), s.find('\0')));
}

// Sections and keys match ignoring case: equal after folding to upper case
// with the code page's letters. The index hashes the same folded form.
AnsiString Fold(const AnsiString& s)
{
    return AnsiUpperCase(s);
}

AnsiString EntryLookupKey(const AnsiString& foldedSection, const AnsiString& foldedKey)
{
    AnsiString k = foldedSection;
    k.push_back('\0');  // names never hold a NUL, so the pair is unambiguous
    k += foldedKey;
    return k;
}

void CheckName(const AnsiString& name, int32_t fieldSize, const char* what)
{
    if (name.find('\0') != AnsiString::npos)
        throw EInvalidArgument(Format("%s contains a NUL character", {what}));
    if (int64_t(name.size()) > fieldSize - 1)
        throw EInvalidArgument(Format("%s longer than %d characters: %s",
                                      {what, fieldSize - 1, name}));
}

[[noreturn]] void InvalidFormat()
{
    throw EInvalidOperation(AnsiString("Invalid file format."));
}

}  // namespace

// ---- TCustomDataFile ---------------------------------------------------------------

TCustomDataFile::TCustomDataFile() = default;

TCustomDataFile::~TCustomDataFile() = default;

void TCustomDataFile::WriteFileHeader()
{
    uint8_t header[DataFileHeaderSize] = {};
    std::memcpy(header, kSignature, sizeof(kSignature) - 1);
    PutI32(header + 16, 1);
    Stream->WriteBuffer(header, DataFileHeaderSize);
}

void TCustomDataFile::Encode(uint8_t* Buffer, int32_t Count)
{
    Scramble(Buffer, Count);
}

void TCustomDataFile::Scramble(uint8_t* Buffer, int32_t Count)
{
    if (Key.empty())
        return;
    const size_t len = Key.size();
    for (int32_t n = 0; n < Count; ++n)
        Buffer[n] ^= uint8_t(Key[size_t(n) % len]);
}

bool TCustomDataFile::ReadHeader(TDataFileHeader& Header)
{
    uint8_t buf[DataFileRecordHeaderSize];
    if (Stream->Read(buf, DataFileRecordHeaderSize) < DataFileRecordHeaderSize)
        return false;
    Scramble(buf, DataFileRecordHeaderSize);
    Header.Marker = GetI32(buf);
    Header.Name = FieldText(buf + kNameOffset, DataFileNameSize);
    Header.Key = FieldText(buf + kKeyOffset, DataFileKeySize);
    Header.Length = GetI32(buf + kLengthOffset);
    return true;
}

void TCustomDataFile::CheckHeader(const TDataFileHeader& Header, int64_t StreamSize)
{
    // A length that is negative or runs past the end would send the scan
    // backwards or have a reader allocate more than the file holds.
    if (Header.Marker != 1 || Header.Length < 0 ||
        Header.Length > StreamSize - Stream->Position())
        InvalidFormat();
}

void TCustomDataFile::BuildIndex()
{
    Index.clear();
    entryLookup_.clear();
    sectionLookup_.clear();
    const int64_t size = Stream->Size();
    Stream->Seek(DataFileHeaderSize, soBeginning);
    TDataFileHeader header;
    for (;;) {
        const int64_t position = Stream->Position();
        if (!ReadHeader(header))
            break;
        CheckHeader(header, size);
        auto item = std::make_unique<TDataFileCacheItem>();
        item->Position = position;
        item->Name = header.Name;
        item->Key = header.Key;
        const AnsiString section = Fold(header.Name);
        // emplace keeps an existing entry: the first record wins.
        entryLookup_.emplace(EntryLookupKey(section, Fold(header.Key)), Index.size());
        sectionLookup_.emplace(section, Index.size());
        Index.push_back(std::move(item));
        Stream->Seek(header.Length, soCurrent);
    }
}

bool TCustomDataFile::FindEntry(const AnsiString& Section, const AnsiString& Key,
                                TDataFileHeader& Header)
{
    const bool anyKey = Key == kAnyKey;
    const AnsiString section = Fold(Section);
    const AnsiString key = anyKey ? AnsiString() : Fold(Key);

    if (!Index.empty()) {
        const auto& lookup = anyKey ? sectionLookup_ : entryLookup_;
        const auto it = lookup.find(anyKey ? section : EntryLookupKey(section, key));
        if (it == lookup.end())
            return false;
        Stream->Seek(Index[it->second]->Position, soBeginning);
        return ReadHeader(Header);
    }

    const int64_t size = Stream->Size();
    Stream->Seek(DataFileHeaderSize, soBeginning);
    while (ReadHeader(Header)) {
        CheckHeader(Header, size);
        if (Fold(Header.Name) == section && (anyKey || Fold(Header.Key) == key))
            return true;
        Stream->Seek(Header.Length, soCurrent);
    }
    return false;
}

std::vector<uint8_t> TCustomDataFile::ReadData(const TDataFileHeader& Header, int64_t MaxCount)
{
    // Bounded by the record, the caller's limit and what the stream still holds.
    const int64_t count = std::max<int64_t>(
        0, std::min({int64_t(Header.Length), MaxCount, Stream->Size() - Stream->Position()}));
    std::vector<uint8_t> data(static_cast<size_t>(count));
    const int32_t got = count > 0 ? Stream->Read(data.data(), int32_t(count)) : 0;
    data.resize(size_t(std::max(got, 0)));
    Scramble(data.data(), int32_t(data.size()));
    return data;
}

bool TCustomDataFile::ReadRecord(const AnsiString& Section, const AnsiString& Key,
                                 int64_t MaxCount, std::vector<uint8_t>& Data)
{
    TDataFileHeader header;
    if (!FindEntry(Section, Key, header))
        return false;
    Data = ReadData(header, MaxCount);
    return true;
}

int32_t TCustomDataFile::ReadBuffer(const AnsiString& Section, const AnsiString& Key,
                                    void* Buffer, int32_t BufferSize)
{
    std::vector<uint8_t> data;
    if (!ReadRecord(Section, Key, std::max(BufferSize, 0), data))
        return -1;
    if (!data.empty())
        std::memcpy(Buffer, data.data(), data.size());
    return int32_t(data.size());
}

int32_t TCustomDataFile::ReadStream(const AnsiString& Section, const AnsiString& Key,
                                    TStream& Dest)
{
    std::vector<uint8_t> data;
    if (!ReadRecord(Section, Key, std::numeric_limits<int64_t>::max(), data))
        return -1;
    Dest.SetSize(0);
    Dest.Seek(0, soBeginning);
    Dest.WriteBuffer(data.data(), int32_t(data.size()));
    Dest.Seek(0, soBeginning);
    return int32_t(data.size());
}

AnsiString TCustomDataFile::ReadString(const AnsiString& Section, const AnsiString& Key,
                                       const AnsiString& Default)
{
    std::vector<uint8_t> data;
    if (!ReadRecord(Section, Key, std::numeric_limits<int64_t>::max(), data))
        return Default;
    return FieldText(data.data(), int32_t(data.size()));
}

int32_t TCustomDataFile::ReadInteger(const AnsiString& Section, const AnsiString& Key,
                                     int32_t Default)
{
    uint8_t buf[4];
    if (ReadBuffer(Section, Key, buf, 4) < 4)
        return Default;
    return GetI32(buf);
}

double TCustomDataFile::ReadFloat(const AnsiString& Section, const AnsiString& Key,
                                  double Default)
{
    uint8_t buf[8];
    if (ReadBuffer(Section, Key, buf, 8) < 8)
        return Default;
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = bits << 8 | buf[i];
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

TDateTime TCustomDataFile::ReadDateTime(const AnsiString& Section, const AnsiString& Key,
                                        TDateTime Default)
{
    return ReadFloat(Section, Key, Default);
}

bool TCustomDataFile::ReadBool(const AnsiString& Section, const AnsiString& Key, bool Default)
{
    uint8_t b;
    if (ReadBuffer(Section, Key, &b, 1) < 1)
        return Default;
    return b != 0;
}

void TCustomDataFile::ReadFont(const AnsiString& Section, const AnsiString& Key, TFont& Font)
{
    std::vector<uint8_t> data;
    if (!ReadRecord(Section, Key, std::numeric_limits<int64_t>::max(), data) ||
        data.size() <= 9)
        return;
    // Set every property without a notification each, then notify once.
    struct Detach {
        TFont& font;
        TNotifyEvent saved;
        explicit Detach(TFont& f) : font(f), saved(std::move(f.OnChange)) { f.OnChange = nullptr; }
        ~Detach() { font.OnChange = std::move(saved); }
    };
    {
        Detach detach(Font);
        Font.SetCharset(data[0]);
        Font.SetColor(GetI32(&data[1]));
        Font.SetPitch(TFontPitch(data[5]));
        Font.SetSize(int(uint16_t(data[6] | data[7] << 8)));
        Font.SetStyle(TFontStyles(data[8]));
        Font.SetName(FieldText(&data[9], int32_t(data.size()) - 9));
    }
    if (Font.OnChange)
        Font.OnChange(&Font);
}

int32_t TCustomDataFile::WriteBuffer(const AnsiString& Section, const AnsiString& Key,
                                     const void* Buffer, int32_t Count)
{
    if (ReadOnly)
        throw Exception(AnsiString("Die Datei ist schreibgesch\xFCtzt"));
    CheckName(Section, DataFileNameSize, "Section name");
    CheckName(Key, DataFileKeySize, "Key");
    if (Count < 0)
        throw EInvalidArgument(Format("Invalid record length %d", {Count}));

    uint8_t header[DataFileRecordHeaderSize] = {};
    PutI32(header, 1);
    std::memcpy(header + kNameOffset, Section.data(), Section.size());
    std::memcpy(header + kKeyOffset, Key.data(), Key.size());
    PutI32(header + kLengthOffset, Count);
    Encode(header, DataFileRecordHeaderSize);

    Stream->Seek(0, soEnd);
    Stream->WriteBuffer(header, DataFileRecordHeaderSize);
    if (Count > 0) {
        const auto* src = static_cast<const uint8_t*>(Buffer);
        std::vector<uint8_t> copy(src, src + Count);
        Encode(copy.data(), Count);
        Stream->WriteBuffer(copy.data(), Count);
    }
    return Count;
}

int32_t TCustomDataFile::WriteStream(const AnsiString& Section, const AnsiString& Key,
                                     TStream& Source)
{
    const int64_t size = Source.Size();
    if (size > std::numeric_limits<int32_t>::max())
        throw EInvalidArgument(Format("Invalid record length %d", {size}));
    std::vector<uint8_t> data(static_cast<size_t>(size));
    Source.Seek(0, soBeginning);
    Source.ReadBuffer(data.data(), int32_t(size));
    return WriteBuffer(Section, Key, data.data(), int32_t(size));
}

void TCustomDataFile::WriteString(const AnsiString& Section, const AnsiString& Key,
                                  const AnsiString& Value)
{
    const AnsiString text = UpToNul(Value);
    WriteBuffer(Section, Key, text.c_str(), int32_t(text.size()) + 1);
}

void TCustomDataFile::WriteInteger(const AnsiString& Section, const AnsiString& Key,
                                   int32_t Value)
{
    uint8_t buf[4];
    PutI32(buf, Value);
    WriteBuffer(Section, Key, buf, 4);
}

void TCustomDataFile::WriteFloat(const AnsiString& Section, const AnsiString& Key, double Value)
{
    uint64_t bits;
    std::memcpy(&bits, &Value, 8);
    uint8_t buf[8];
    for (int i = 0; i < 8; ++i)
        buf[i] = uint8_t(bits >> (8 * i));
    WriteBuffer(Section, Key, buf, 8);
}

void TCustomDataFile::WriteDateTime(const AnsiString& Section, const AnsiString& Key,
                                    TDateTime Value)
{
    WriteFloat(Section, Key, Value);
}

void TCustomDataFile::WriteBool(const AnsiString& Section, const AnsiString& Key, bool Value)
{
    const uint8_t b = Value ? 1 : 0;
    WriteBuffer(Section, Key, &b, 1);
}

void TCustomDataFile::WriteFont(const AnsiString& Section, const AnsiString& Key,
                                const TFont& Font)
{
    const AnsiString name = UpToNul(Font.Name());
    std::vector<uint8_t> data(10 + name.size(), 0);
    data[0] = Font.Charset();
    PutI32(&data[1], Font.Color());
    data[5] = uint8_t(Font.Pitch());
    PutU16(&data[6], uint16_t(Font.Size() & 0xFFFF));
    data[8] = Font.Style();
    std::memcpy(&data[9], name.data(), name.size());
    WriteBuffer(Section, Key, data.data(), int32_t(data.size()));
}

// ---- TDataFile ----------------------------------------------------------------------

TDataFile::TDataFile(const QString& AFileName) : FileName(AFileName)
{
    if (FileExists(FileName)) {
        ReadOnly = IsFileReadOnly(FileName);
        fileStream_ = std::make_unique<TFileStream>(
            FileName, uint16_t((ReadOnly ? fmOpenRead : fmOpenReadWrite) | fmShareDenyNone));
        Stream = fileStream_.get();
        BuildIndex();
    } else {
        fileStream_ = std::make_unique<TFileStream>(FileName, fmCreate);
        Stream = fileStream_.get();
        WriteFileHeader();
    }
}

TDataFile::~TDataFile() = default;

// ---- TMemoryDataFile ------------------------------------------------------------------

TMemoryDataFile::TMemoryDataFile(TStream& AStream)
{
    Stream = &AStream;
    if (Stream->Size() == 0)
        WriteFileHeader();
}

// ---- helpers ----------------------------------------------------------------------------

bool IsFileReadOnly(const QString& FileName)
{
    struct stat st;
    if (::stat(QFile::encodeName(FileName).constData(), &st) != 0)
        return false;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}
