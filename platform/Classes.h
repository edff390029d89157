#pragma once
// Streams and the string list with the class library's semantics.
#include "AnsiString.h"
#include "LargeBlocks.h"
#include "Object.h"
#include "SysUtils.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream : public TObject {
public:
    LUMI_CLASSNAME(TStream)
    // Reads up to count bytes; returns how many arrived (0 at the end).
    virtual int32_t Read(void* buffer, int32_t count) = 0;
    // Writes up to count bytes; returns how many were written.
    virtual int32_t Write(const void* buffer, int32_t count) = 0;
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    virtual int64_t GetSize();
    virtual void SetSize(int64_t newSize) = 0;

    int64_t GetPosition() { return Seek(0, soCurrent); }
    void SetPosition(int64_t pos) { Seek(pos, soBeginning); }
    int64_t Size() { return GetSize(); }
    int64_t Position() { return GetPosition(); }

    // Exactly count bytes or EReadError "Stream read error".
    void ReadBuffer(void* buffer, int32_t count);
    // Exactly count bytes or EWriteError "Stream write error".
    void WriteBuffer(const void* buffer, int32_t count);
    // Copies count bytes from source's position; count 0 copies the whole
    // source from its start. Returns the bytes copied.
    int64_t CopyFrom(TStream& source, int64_t count);

    // Little-endian helpers for byte-exact layouts.
    void WriteU8(uint8_t v) { WriteBuffer(&v, 1); }
    void WriteI16(int16_t v);
    void WriteU16(uint16_t v);
    void WriteI32(int32_t v);
    void WriteU32(uint32_t v);
    void WriteI64(int64_t v);
    void WriteSingle(float v);
    void WriteDouble(double v);
    uint8_t ReadU8();
    int16_t ReadI16();
    uint16_t ReadU16();
    int32_t ReadI32();
    uint32_t ReadU32();
    int64_t ReadI64();
    float ReadSingle();
    double ReadDouble();
    // Bytes left between the position and the end (0 when past the end).
    int64_t Remaining();
};

// A stream over a block of memory that it owns and grows.
class TMemoryStream : public TStream {
public:
    LUMI_CLASSNAME(TMemoryStream)
    TMemoryStream() = default;
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t GetSize() override { return int64_t(data_.size()); }
    void SetSize(int64_t newSize) override;

    void Clear();
    uint8_t* Memory() { return data_.data(); }
    const uint8_t* Memory() const { return data_.data(); }
    const TByteVector& Bytes() const { return data_; }
    // Replaces the contents by up to count bytes read from the source's
    // position straight into the stream's memory; returns the bytes read and
    // leaves the position at 0.
    int32_t ReadFromStream(TStream& source, int32_t count);
    void LoadFromStream(TStream& source);
    void SaveToStream(TStream& dest);
    void LoadFromFile(const QString& fileName);
    void SaveToFile(const QString& fileName);

private:
    // Sets the size; bytes added are left for the caller to fill.
    void Resize(int64_t newSize);

    TByteVector data_;
    int64_t pos_ = 0;
};

// Open modes and share modes of TFileStream.
constexpr uint16_t fmCreate = 0xFF00;
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;

// A stream over a file. fmCreate creates or truncates; the open modes raise
// EFOpenError when the file cannot be opened, fmCreate EFCreateError. Share
// modes have no meaning on this platform and are accepted as given.
class TFileStream : public TStream {
public:
    LUMI_CLASSNAME(TFileStream)
    TFileStream(const QString& fileName, uint16_t mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t newSize) override;
    const QString& FileName() const { return fileName_; }

private:
    QString fileName_;
    int fd_ = -1;
};

// ---- string list ------------------------------------------------------------------

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList : public TObject {
public:
    LUMI_CLASSNAME(TStringList)
    int Count() const { return int(items_.size()); }
    // EListError "List index out of bounds (%d)" outside 0..Count-1.
    const AnsiString& Strings(int index) const;
    void SetString(int index, const AnsiString& s);
    void* Objects(int index) const;
    void SetObject(int index, void* obj);
    const AnsiString& operator[](int index) const { return Strings(index); }

    int Add(const AnsiString& s);
    int AddObject(const AnsiString& s, void* obj);
    void Insert(int index, const AnsiString& s);
    void Delete(int index);
    void Clear();
    void Exchange(int a, int b);
    void Move(int from, int to);
    int IndexOf(const AnsiString& s) const;
    int IndexOfObject(const void* obj) const;
    // Binary search in a sorted list: true and the index when found, else
    // false and the insert position.
    bool Find(const AnsiString& s, int& index) const;
    void Sort();
    void Assign(const TStringList& other);

    bool Sorted() const { return sorted_; }
    void SetSorted(bool v);
    bool CaseSensitive() const { return caseSensitive_; }
    void SetCaseSensitive(bool v);
    TDuplicates Duplicates = dupIgnore;

    // "Name=Value" access.
    AnsiString Names(int index) const;
    AnsiString ValueFromIndex(int index) const;
    int IndexOfName(const AnsiString& name) const;
    AnsiString Values(const AnsiString& name) const;
    // An empty value removes the entry.
    void SetValue(const AnsiString& name, const AnsiString& value);

    // Lines joined by CR LF (each line ends with one); setting splits at CR, LF or CR LF.
    AnsiString Text() const;
    void SetText(const AnsiString& text);
    AnsiString CommaText() const;
    void SetCommaText(const AnsiString& text);
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream) const;
    void LoadFromFile(const QString& fileName);
    void SaveToFile(const QString& fileName) const;

    TNotifyEvent OnChange;

private:
    int Compare(const AnsiString& a, const AnsiString& b) const;
    void SortItems();
    void Changed();
    struct Item {
        AnsiString s;
        void* obj = nullptr;
    };
    std::vector<Item> items_;
    bool sorted_ = false;
    bool caseSensitive_ = false;
};
