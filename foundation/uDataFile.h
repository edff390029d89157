#pragma once
// The keyed data file: typed records addressed by section and key, appended to
// a stream that starts with a 20-byte file header. Project files, undo
// snapshots and clipboard copies are all stored this way.
#include "AnsiString.h"
#include "Classes.h"
#include "DateTime.h"
#include "Graphics.h"
#include "Object.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

// Sizes of the on-disk layout.
constexpr int32_t DataFileHeaderSize = 20;
constexpr int32_t DataFileRecordHeaderSize = 168;
constexpr int32_t DataFileNameSize = 128;  // section name field, NUL included
constexpr int32_t DataFileKeySize = 32;    // key field, NUL included

// The decoded 168-byte header in front of every record.
struct TDataFileHeader {
    int32_t Marker = 0;
    AnsiString Name;  // section, as stored up to its first NUL
    AnsiString Key;   // key, as stored up to its first NUL
    int32_t Length = 0;
};

// One entry of the record index.
class TDataFileCacheItem : public TObject {
public:
    LUMI_CLASSNAME(TDataFileCacheItem)
    TDataFileCacheItem() = default;
    TDataFileCacheItem(TDataFileCacheItem&&) noexcept = default;
    TDataFileCacheItem& operator=(TDataFileCacheItem&&) noexcept = default;
    int64_t Position = 0;  // stream offset of the record's header
    AnsiString Name;
    AnsiString Key;
    int32_t Length = 0;  // of the record's data
    // A small record's data as stored, read along with its header; empty
    // (and DataKept false) when it is read from the stream on demand.
    bool DataKept = false;
    AnsiString Data;
};

class TCustomDataFile : public TObject {
public:
    LUMI_CLASSNAME(TCustomDataFile)
    ~TCustomDataFile() override;
    TCustomDataFile(const TCustomDataFile&) = delete;
    TCustomDataFile& operator=(const TCustomDataFile&) = delete;

    // Finds the first record of that section and key ("$$test" matches any key
    // of the section); on success Header holds its header and the stream stands
    // at its first data byte.
    bool FindEntry(const AnsiString& Section, const AnsiString& Key, TDataFileHeader& Header);

    // Reads the record's data, at most BufferSize bytes, straight into Buffer;
    // returns the bytes read, -1 when there is no such record.
    int32_t ReadBuffer(const AnsiString& Section, const AnsiString& Key, void* Buffer,
                       int32_t BufferSize);
    // Replaces the destination's contents by the record's data and leaves it at
    // position 0; returns the data length, -1 (destination untouched) when the
    // record does not exist.
    int32_t ReadStream(const AnsiString& Section, const AnsiString& Key, TStream& Dest);
    AnsiString ReadString(const AnsiString& Section, const AnsiString& Key,
                          const AnsiString& Default);
    int32_t ReadInteger(const AnsiString& Section, const AnsiString& Key, int32_t Default);
    double ReadFloat(const AnsiString& Section, const AnsiString& Key, double Default);
    TDateTime ReadDateTime(const AnsiString& Section, const AnsiString& Key, TDateTime Default);
    bool ReadBool(const AnsiString& Section, const AnsiString& Key, bool Default);
    // Sets the font from a font record; without a usable record the font is
    // left alone.
    void ReadFont(const AnsiString& Section, const AnsiString& Key, TFont& Font);

    // Appends one record; returns the number of data bytes written. A section
    // over 127 or a key over 31 characters raises EInvalidArgument.
    int32_t WriteBuffer(const AnsiString& Section, const AnsiString& Key, const void* Buffer,
                        int32_t Count);
    // Appends the whole source stream; leaves the source at its end.
    int32_t WriteStream(const AnsiString& Section, const AnsiString& Key, TStream& Source);
    void WriteString(const AnsiString& Section, const AnsiString& Key, const AnsiString& Value);
    void WriteInteger(const AnsiString& Section, const AnsiString& Key, int32_t Value);
    void WriteFloat(const AnsiString& Section, const AnsiString& Key, double Value);
    void WriteDateTime(const AnsiString& Section, const AnsiString& Key, TDateTime Value);
    void WriteBool(const AnsiString& Section, const AnsiString& Key, bool Value);
    void WriteFont(const AnsiString& Section, const AnsiString& Key, const TFont& Font);

    // Rebuilds the index from the records in the stream.
    void BuildIndex();
    // The number of complete records, counting those a scan has not reached
    // yet; an upper bound for how many records a reader can ever find.
    int64_t RecordCount();

    // Block transforms: Encode runs on every block before it is written,
    // Scramble on every block after it is read. Both XOR with Key.
    virtual void Encode(uint8_t* Buffer, int32_t Count);
    virtual void Scramble(uint8_t* Buffer, int32_t Count);

    bool ReadOnly = false;
    TStream* Stream = nullptr;
    AnsiString Key;
    // The records present when the file was opened, in file order.
    std::vector<TDataFileCacheItem> Index;
    // Set once the stream is found to end inside a record (a header cut short
    // or data running past the end): every record before it is read, that one
    // and anything after it is not.
    bool Incomplete = false;

protected:
    TCustomDataFile();
    // Writes the 20-byte file header at the stream's position.
    void WriteFileHeader();

private:
    // Reads and decodes the header at the stream's position; false when fewer
    // than 168 bytes are left (Incomplete is set when some were).
    bool ReadHeader(TDataFileHeader& Header);
    // Decodes a 168-byte header block in place and parses it.
    void DecodeHeader(uint8_t* Buffer, TDataFileHeader& Header);
    // Raises "Invalid file format." unless the header is a record header.
    // False (and Incomplete set) when its data, starting at DataStart, runs
    // past the end of a stream of StreamSize bytes.
    bool CheckHeader(const TDataFileHeader& Header, int64_t DataStart, int64_t StreamSize);
    // Finds a record like FindEntry; when its data was kept with the index,
    // Kept names its item and the stream is not moved.
    bool LocateEntry(const AnsiString& Section, const AnsiString& Key, TDataFileHeader& Header,
                     const TDataFileCacheItem*& Kept);
    // Reads the data of the record located last (from Kept, else from the
    // stream), at most MaxCount bytes, into Buffer and decodes it there; the
    // bytes read.
    int32_t ReadData(const TDataFileHeader& Header, const TDataFileCacheItem* Kept, uint8_t* Buffer,
                     int64_t MaxCount);
    bool ReadRecord(const AnsiString& Section, const AnsiString& Key, int64_t MaxCount,
                    std::vector<uint8_t>& Data);
    // Scans on from scanEnd_, entering every record into the scan tables, up
    // to the first one with that section and key; true when it was found (the
    // stream then stands at its data).
    bool ScanFor(const AnsiString& Section, const AnsiString& Key, TDataFileHeader& Header);
    void ResetScan();
    // Forgets the scanned records when the stream shrank or Key changed.
    void PrepareScan();

    // Open-addressing hash over a list of items (Index, or the records a scan
    // has passed): a slot names the first item of one section (sections) or of
    // one section and key (entries).
    struct TIndexSlot {
        uint32_t tag = 0;   // high half of the name's hash
        uint32_t item = 0;  // Index position + 1; 0: empty
    };
    struct TIndexTable {
        std::vector<TIndexSlot> cells;
        std::vector<uint64_t> hashes;  // of every item, for growing
        size_t used = 0;
    };
    struct TLookup {
        std::vector<TDataFileCacheItem>* items = nullptr;
        TIndexTable entries;   // section + key
        TIndexTable sections;  // section alone, for "$$test"
    };
    // The item position of the first record with that section and key, -1
    // when there is none.
    static int64_t LookupItem(const TLookup& Lookup, const AnsiString& Section,
                              const AnsiString& Key);
    static size_t FindSlot(const TLookup& Lookup, const TIndexTable& Table, uint64_t Hash,
                           const AnsiString& Section, const AnsiString* Key);
    // Enters a record as the last item unless an earlier one has the same
    // names; Data, when given, is its whole data as stored.
    static void AddItem(TLookup& Lookup, int64_t Position, const TDataFileHeader& Header,
                        const uint8_t* Data = nullptr);
    static void AddToTable(TLookup& Lookup, TIndexTable& Table, uint64_t Hash,
                           const AnsiString* Key);
    // Positions the stream at the data of an indexed or scanned record and
    // gives its header; false when the header can no longer be read.
    bool SeekRecord(const TDataFileCacheItem& Item, TDataFileHeader& Header);

    TLookup index_{&Index, {}, {}};
    AnsiString indexKey_;  // the Key the index was built with
    // Without an index, the records a scan has passed so far, so that no
    // record is decoded twice however many lookups there are.
    std::vector<TDataFileCacheItem> scanned_;
    TLookup scan_{&scanned_, {}, {}};
    int64_t scanEnd_ = DataFileHeaderSize;  // where the next scan starts
    AnsiString scanKey_;                    // the Key the scanned names were decoded with
};

// A keyed data file on disk. A file whose write permission bits are all clear
// opens read-only.
class TDataFile : public TCustomDataFile {
public:
    LUMI_CLASSNAME(TDataFile)
    explicit TDataFile(const QString& FileName);
    ~TDataFile() override;

    QString FileName;

private:
    std::unique_ptr<TFileStream> fileStream_;
};

// A keyed data file on a stream that the caller owns. An empty stream gets the
// file header; no index is built, so lookups scan the stream.
class TMemoryDataFile : public TCustomDataFile {
public:
    LUMI_CLASSNAME(TMemoryDataFile)
    explicit TMemoryDataFile(TStream& AStream);
};

// True when the file exists and none of its write permission bits is set.
bool IsFileReadOnly(const QString& FileName);
