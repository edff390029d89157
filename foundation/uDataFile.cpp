#include "uDataFile.h"

#include "SysUtils.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string_view>
#include <sys/stat.h>

namespace {

constexpr char kSignature[] = "Qw DataFile";
constexpr char kAnyKey[] = "$$test";
const AnsiString kNoKey;
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

// Sections and keys match ignoring case: equal after folding every byte to
// its upper case in the code page. The index hashes the same folded bytes.
using TFoldTable = std::array<char, 256>;

const TFoldTable& FoldTable()
{
    static const TFoldTable table = [] {
        TFoldTable t{};
        for (int b = 0; b < 256; ++b)
            t[size_t(b)] = AnsiUpperCase(AnsiString(1, char(b)))[0];
        return t;
    }();
    return table;
}

bool SameName(const AnsiString& a, const AnsiString& b)
{
    if (a.size() != b.size())
        return false;
    const TFoldTable& fold = FoldTable();
    for (size_t i = 0; i < a.size(); ++i)
        if (fold[uint8_t(a[i])] != fold[uint8_t(b[i])])
            return false;
    return true;
}

// Hashes of the folded section and of the folded section, a NUL and the
// folded key (names never hold a NUL). False when the names are longer than
// any stored name can be.
bool HashNames(const AnsiString& section, const AnsiString& key, uint64_t& sectionHash,
               uint64_t& entryHash)
{
    char buf[DataFileNameSize + 1 + DataFileKeySize];
    if (section.size() > size_t(DataFileNameSize) || key.size() > size_t(DataFileKeySize))
        return false;
    const TFoldTable& fold = FoldTable();
    size_t n = 0;
    for (char c : section)
        buf[n++] = fold[uint8_t(c)];
    sectionHash = std::hash<std::string_view>()(std::string_view(buf, n));
    buf[n++] = '\0';
    for (char c : key)
        buf[n++] = fold[uint8_t(c)];
    entryHash = std::hash<std::string_view>()(std::string_view(buf, n));
    return true;
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
    const int32_t got = Stream->Read(buf, DataFileRecordHeaderSize);
    if (got < DataFileRecordHeaderSize) {
        if (got > 0)
            Incomplete = true;
        return false;
    }
    DecodeHeader(buf, Header);
    return true;
}

void TCustomDataFile::DecodeHeader(uint8_t* Buffer, TDataFileHeader& Header)
{
    Scramble(Buffer, DataFileRecordHeaderSize);
    Header.Marker = GetI32(Buffer);
    Header.Name = FieldText(Buffer + kNameOffset, DataFileNameSize);
    Header.Key = FieldText(Buffer + kKeyOffset, DataFileKeySize);
    Header.Length = GetI32(Buffer + kLengthOffset);
}

bool TCustomDataFile::CheckHeader(const TDataFileHeader& Header, int64_t DataStart,
                                  int64_t StreamSize)
{
    // A negative length would send the scan backwards.
    if (Header.Marker != 1 || Header.Length < 0)
        InvalidFormat();
    if (Header.Length > StreamSize - DataStart) {
        Incomplete = true;
        return false;
    }
    return true;
}

// ---- index and lookup --------------------------------------------------------------------

size_t TCustomDataFile::FindSlot(const TLookup& Lookup, const TIndexTable& Table, uint64_t Hash,
                                 const AnsiString& Section, const AnsiString* Key)
{
    const size_t mask = Table.cells.size() - 1;
    const auto tag = uint32_t(Hash >> 32);
    for (size_t i = size_t(Hash) & mask;; i = (i + 1) & mask) {
        const TIndexSlot& slot = Table.cells[i];
        if (slot.item == 0)
            return i;
        if (slot.tag != tag)
            continue;
        const TDataFileCacheItem& item = (*Lookup.items)[slot.item - 1];
        if (SameName(item.Name, Section) && (!Key || SameName(item.Key, *Key)))
            return i;
    }
}

void TCustomDataFile::AddToTable(TLookup& Lookup, TIndexTable& Table, uint64_t Hash,
                                 const AnsiString* Key)
{
    Table.hashes.push_back(Hash);
    if ((Table.used + 1) * 2 > Table.cells.size()) {
        // At most half of the slots in use keeps the probes short.
        std::vector<TIndexSlot> old(std::max<size_t>(64, Table.cells.size() * 2));
        old.swap(Table.cells);
        const size_t mask = Table.cells.size() - 1;
        for (const TIndexSlot& slot : old) {
            if (slot.item == 0)
                continue;
            size_t i = size_t(Table.hashes[slot.item - 1]) & mask;
            while (Table.cells[i].item != 0)
                i = (i + 1) & mask;
            Table.cells[i] = slot;
        }
    }
    TIndexSlot& slot = Table.cells[FindSlot(Lookup, Table, Hash, Lookup.items->back().Name, Key)];
    if (slot.item != 0)
        return;  // the first record wins
    slot = {uint32_t(Hash >> 32), uint32_t(Lookup.items->size())};
    ++Table.used;
}

void TCustomDataFile::AddItem(TLookup& Lookup, int64_t Position, const TDataFileHeader& Header,
                              const uint8_t* Data)
{
    TDataFileCacheItem& item = Lookup.items->emplace_back();
    item.Position = Position;
    item.Name = Header.Name;
    item.Key = Header.Key;
    item.Length = Header.Length;
    if (Data) {
        item.DataKept = true;
        item.Data.assign(reinterpret_cast<const char*>(Data), size_t(Header.Length));
    }
    uint64_t sectionHash, entryHash;
    HashNames(item.Name, item.Key, sectionHash, entryHash);  // fields bound the lengths
    AddToTable(Lookup, Lookup.sections, sectionHash, nullptr);
    AddToTable(Lookup, Lookup.entries, entryHash, &item.Key);
}

void TCustomDataFile::BuildIndex()
{
    Index.clear();
    index_.entries = {};
    index_.sections = {};
    ResetScan();
    indexKey_ = Key;
    Incomplete = false;
    const int64_t size = Stream->Size();
    // Headers are copied out of a window read ahead, so that a run of small
    // records costs one read for many headers; the data of a small record
    // lying in the window is kept with its item, so that reading it later
    // costs no read at all.
    constexpr int32_t kWindow = 8192;
    constexpr int32_t kKeptData = 256;
    std::vector<uint8_t> window(kWindow);
    int64_t windowStart = 0;
    int32_t windowLength = 0;
    int64_t position = DataFileHeaderSize;
    TDataFileHeader header;
    for (;;) {
        if (position + DataFileRecordHeaderSize > windowStart + windowLength) {
            Stream->Seek(position, soBeginning);
            windowStart = position;
            windowLength = std::max(Stream->Read(window.data(), kWindow), 0);
            if (windowLength < DataFileRecordHeaderSize) {
                // A header cut short ends the records.
                Incomplete = Incomplete || windowLength > 0;
                break;
            }
        }
        uint8_t buf[DataFileRecordHeaderSize];
        std::memcpy(buf, window.data() + (position - windowStart), DataFileRecordHeaderSize);
        DecodeHeader(buf, header);
        const int64_t dataStart = position + DataFileRecordHeaderSize;
        if (!CheckHeader(header, dataStart, size))
            break;  // the data is cut short: the record is not offered
        const bool inWindow = header.Length <= kKeptData &&
                              dataStart + header.Length <= windowStart + windowLength;
        AddItem(index_, position, header,
                inWindow ? window.data() + (dataStart - windowStart) : nullptr);
        position = dataStart + header.Length;
    }
}

int64_t TCustomDataFile::RecordCount()
{
    if (!Index.empty())
        return int64_t(Index.size());
    PrepareScan();
    TDataFileHeader header;
    while (ScanFor(AnsiString(), AnsiString(), header)) {
        // Scans to the end; a record without names only pauses it.
    }
    return int64_t(scanned_.size());
}

int64_t TCustomDataFile::LookupItem(const TLookup& Lookup, const AnsiString& Section,
                                    const AnsiString& Key)
{
    if (Lookup.items->empty())
        return -1;
    const bool anyKey = Key == kAnyKey;
    uint64_t sectionHash, entryHash;
    if (!HashNames(Section, anyKey ? kNoKey : Key, sectionHash, entryHash))
        return -1;
    const TIndexTable& table = anyKey ? Lookup.sections : Lookup.entries;
    const TIndexSlot& slot = table.cells[FindSlot(Lookup, table, anyKey ? sectionHash : entryHash,
                                                  Section, anyKey ? nullptr : &Key)];
    return int64_t(slot.item) - 1;
}

bool TCustomDataFile::SeekRecord(const TDataFileCacheItem& Item, TDataFileHeader& Header)
{
    const int64_t dataStart = Item.Position + DataFileRecordHeaderSize;
    const AnsiString& decodedWith = Index.empty() ? scanKey_ : indexKey_;
    if (decodedWith == Key) {
        // The header was read and checked when the record was indexed or
        // scanned: only its data is read again, and a read never takes more
        // than the stream holds.
        Header.Marker = 1;
        Header.Name = Item.Name;
        Header.Key = Item.Key;
        Header.Length = Item.Length;
        return Stream->Seek(dataStart, soBeginning) == dataStart;
    }
    // Key changed: the header must read as one under the new key.
    Stream->Seek(Item.Position, soBeginning);
    if (!ReadHeader(Header))
        return false;
    if (Header.Marker != 1 || Header.Length < 0 || Header.Length > Stream->Size() - dataStart)
        InvalidFormat();
    return true;
}

void TCustomDataFile::ResetScan()
{
    scanned_.clear();
    scan_.entries = {};
    scan_.sections = {};
    scanEnd_ = DataFileHeaderSize;
    scanKey_ = Key;
}

void TCustomDataFile::PrepareScan()
{
    // What was scanned is forgotten when the stream shrank or the key changed.
    if (Stream->Size() < scanEnd_ || scanKey_ != Key)
        ResetScan();
}

bool TCustomDataFile::ScanFor(const AnsiString& Section, const AnsiString& Key,
                              TDataFileHeader& Header)
{
    const bool anyKey = Key == kAnyKey;
    const int64_t size = Stream->Size();
    for (;;) {
        const int64_t position = scanEnd_;
        Stream->Seek(position, soBeginning);
        if (!ReadHeader(Header))
            return false;
        const int64_t dataStart = position + DataFileRecordHeaderSize;
        if (!CheckHeader(Header, dataStart, size))
            return false;
        AddItem(scan_, position, Header);
        scanEnd_ = dataStart + Header.Length;
        if (SameName(Header.Name, Section) && (anyKey || SameName(Header.Key, Key)))
            return true;
    }
}

bool TCustomDataFile::LocateEntry(const AnsiString& Section, const AnsiString& Key,
                                  TDataFileHeader& Header, const TDataFileCacheItem*& Kept)
{
    Kept = nullptr;
    if (!Index.empty()) {
        const int64_t item = LookupItem(index_, Section, Key);
        if (item < 0)
            return false;
        const TDataFileCacheItem& found = Index[size_t(item)];
        if (found.DataKept && indexKey_ == this->Key) {
            Kept = &found;
            Header.Marker = 1;
            Header.Length = found.Length;
            return true;
        }
        return SeekRecord(found, Header);
    }

    // Without an index the stream is scanned, but every record only once: the
    // records passed are looked up in the scan tables, the scan goes on from
    // where it stopped, and so it also finds records appended meanwhile.
    PrepareScan();
    const int64_t item = LookupItem(scan_, Section, Key);
    if (item >= 0)
        return SeekRecord(scanned_[size_t(item)], Header);
    return ScanFor(Section, Key, Header);
}

bool TCustomDataFile::FindEntry(const AnsiString& Section, const AnsiString& Key,
                                TDataFileHeader& Header)
{
    const TDataFileCacheItem* kept = nullptr;
    if (!LocateEntry(Section, Key, Header, kept))
        return false;
    return !kept || SeekRecord(*kept, Header);
}

int32_t TCustomDataFile::ReadData(const TDataFileHeader& Header, const TDataFileCacheItem* Kept,
                                  uint8_t* Buffer, int64_t MaxCount)
{
    // The header was checked: its data lies within the stream.
    const auto wanted = int32_t(std::clamp<int64_t>(Header.Length, 0, MaxCount));
    int32_t got = 0;
    if (Kept) {
        got = wanted;
        if (got > 0)
            std::memcpy(Buffer, Kept->Data.data(), size_t(got));
    } else if (wanted > 0) {
        got = std::max(Stream->Read(Buffer, wanted), 0);
    }
    Scramble(Buffer, got);
    return got;
}

bool TCustomDataFile::ReadRecord(const AnsiString& Section, const AnsiString& Key,
                                 int64_t MaxCount, std::vector<uint8_t>& Data)
{
    TDataFileHeader header;
    const TDataFileCacheItem* kept = nullptr;
    if (!LocateEntry(Section, Key, header, kept))
        return false;
    Data.resize(size_t(std::clamp<int64_t>(header.Length, 0, MaxCount)));
    Data.resize(size_t(ReadData(header, kept, Data.data(), int64_t(Data.size()))));
    return true;
}

int32_t TCustomDataFile::ReadBuffer(const AnsiString& Section, const AnsiString& Key,
                                    void* Buffer, int32_t BufferSize)
{
    TDataFileHeader header;
    const TDataFileCacheItem* kept = nullptr;
    if (!LocateEntry(Section, Key, header, kept))
        return -1;
    return ReadData(header, kept, static_cast<uint8_t*>(Buffer), std::max(BufferSize, 0));
}

int32_t TCustomDataFile::ReadStream(const AnsiString& Section, const AnsiString& Key,
                                    TStream& Dest)
{
    TDataFileHeader header;
    if (!FindEntry(Section, Key, header))
        return -1;
    Dest.SetSize(0);
    Dest.Seek(0, soBeginning);
    if (auto* memory = dynamic_cast<TMemoryStream*>(&Dest)) {
        // One read straight into the destination's memory, decoded there.
        const int32_t got = memory->ReadFromStream(*Stream, header.Length);
        Scramble(memory->Memory(), got);
    } else {
        std::vector<uint8_t> data(size_t(header.Length));
        data.resize(size_t(ReadData(header, nullptr, data.data(), header.Length)));
        Dest.WriteBuffer(data.data(), int32_t(data.size()));
    }
    Dest.Seek(0, soBeginning);
    return int32_t(Dest.Size());
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
    if (Count < 0 || Count > std::numeric_limits<int32_t>::max() - DataFileRecordHeaderSize)
        throw EInvalidArgument(Format("Invalid record length %d", {Count}));

    uint8_t header[DataFileRecordHeaderSize] = {};
    PutI32(header, 1);
    std::memcpy(header + kNameOffset, Section.data(), Section.size());
    std::memcpy(header + kKeyOffset, Key.data(), Key.size());
    PutI32(header + kLengthOffset, Count);

    // Header and data are encoded as separate blocks and written in one go.
    std::vector<uint8_t> record(size_t(DataFileRecordHeaderSize) + size_t(Count));
    std::memcpy(record.data(), header, DataFileRecordHeaderSize);
    if (Count > 0)
        std::memcpy(record.data() + DataFileRecordHeaderSize, Buffer, size_t(Count));
    Encode(record.data(), DataFileRecordHeaderSize);
    Encode(record.data() + DataFileRecordHeaderSize, Count);

    Stream->Seek(0, soEnd);
    // An empty existing file has no header yet; a record written without one
    // would lie where no reader looks for it.
    if (Stream->Position() == 0)
        WriteFileHeader();
    Stream->WriteBuffer(record.data(), int32_t(record.size()));
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
    if (::stat(EncodeFileName(FileName).constData(), &st) != 0)
        return false;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}
