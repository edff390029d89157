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

    // Reads the record's data, at most BufferSize bytes, into Buffer; returns
    // the bytes read, -1 when there is no such record.
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

    // Block transforms: Encode runs on every block before it is written,
    // Scramble on every block after it is read. Both XOR with Key.
    virtual void Encode(uint8_t* Buffer, int32_t Count);
    virtual void Scramble(uint8_t* Buffer, int32_t Count);

    bool ReadOnly = false;
    TStream* Stream = nullptr;
    AnsiString Key;
    // The records present when the file was opened, in file order.
    std::vector<TDataFileCacheItem> Index;

protected:
    TCustomDataFile();
    // Writes the 20-byte file header at the stream's position.
    void WriteFileHeader();

private:
    // Reads and decodes the header at the stream's position; false when fewer
    // than 168 bytes are left.
    bool ReadHeader(TDataFileHeader& Header);
    // Decodes a 168-byte header block in place and parses it.
    void DecodeHeader(uint8_t* Buffer, TDataFileHeader& Header);
    // Raises "Invalid file format." unless the header is a record header whose
    // data, starting at DataStart, fits in a stream of StreamSize bytes.
    void CheckHeader(const TDataFileHeader& Header, int64_t DataStart, int64_t StreamSize);
    // Reads the data of the record found last, at most MaxCount bytes, decoded.
    std::vector<uint8_t> ReadData(const TDataFileHeader& Header, int64_t MaxCount);
    bool ReadRecord(const AnsiString& Section, const AnsiString& Key, int64_t MaxCount,
                    std::vector<uint8_t>& Data);

    // Open-addressing hash over Index: a slot names the first item of one
    // section (sections_) or of one section and key (entries_).
    struct TIndexSlot {
        uint32_t tag = 0;   // high half of the name's hash
        uint32_t item = 0;  // Index position + 1; 0: empty
    };
    struct TIndexTable {
        std::vector<TIndexSlot> cells;
        std::vector<uint64_t> hashes;  // of every Index item, for growing
        size_t used = 0;
    };
    // The Index position of the first record with that section and key, -1
    // when there is none.
    int64_t LookupIndex(const AnsiString& Section, const AnsiString& Key) const;
    size_t FindSlot(const TIndexTable& Table, uint64_t Hash, const AnsiString& Section,
                    const AnsiString* Key) const;
    // Enters the last Index item unless an earlier one has the same name.
    void AddToIndex(TIndexTable& Table, uint64_t Hash, const AnsiString* Key);

    TIndexTable entries_;   // section + key
    TIndexTable sections_;  // section alone, for "$$test"
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
