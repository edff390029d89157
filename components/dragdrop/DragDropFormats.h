#pragma once
// The concrete formats of the drag-and-drop library: clipboard formats that
// move bytes, strings, 32-bit values, class identifiers, file group
// descriptors and file contents, the data formats the program uses (text,
// streams, virtual files, drop feedback, a generic byte string under any
// format name), their containers, and their registration with the map.
#include "Classes.h"
#include "DragDrop.h"

#include <QString>
#include <functional>

// Layout of the shell's file descriptors (little-endian).
constexpr int FileDescriptorASize = 332;
constexpr int FileDescriptorWSize = 592;
constexpr int FileDescriptorNameOffset = 72;
constexpr int FileDescriptorMaxPath = 260;

// ---- containers -----------------------------------------------------------------

// Named streams that the list owns.
class TStreamList {
public:
    // Takes the stream.
    void AddNamed(std::unique_ptr<TStream> stream, const AnsiString& name);
    int Count() const { return int(items_.size()); }
    const AnsiString& Names(int index) const { return items_.at(size_t(index)).Name; }
    TStream* Streams(int index) const { return items_.at(size_t(index)).Stream.get(); }
    // Takes over the streams of source, which is left empty.
    void Assign(TStreamList& source);
    void Clear();

    TNotifyEvent OnChanging;  // fired before every change

private:
    void Changing();
    struct Item {
        AnsiString Name;
        std::unique_ptr<TStream> Stream;
    };
    std::vector<Item> items_;
};

// Owned memory blocks.
class TMemoryList {
public:
    int Add(std::vector<uint8_t> block);
    void Delete(int index);
    void Clear();
    std::vector<uint8_t>& Memory(int index) { return blocks_.at(size_t(index)); }
    const std::vector<uint8_t>& Memory(int index) const { return blocks_.at(size_t(index)); }
    int Count() const { return int(blocks_.size()); }

private:
    std::vector<std::vector<uint8_t>> blocks_;
};

// The file names of a list of ANSI file descriptors, as strings.
class TFileDescriptorToFilenameStrings {
public:
    explicit TFileDescriptorToFilenameStrings(TMemoryList& list) : list_(list) {}
    AnsiString Strings(int index) const;
    int Count() const { return list_.Count(); }
    // Appends a zeroed descriptor with that name.
    int Add(const AnsiString& s);
    // Only at the end (as Add); elsewhere nothing happens.
    void Insert(int index, const AnsiString& s);
    void Delete(int index) { list_.Delete(index); }
    void Clear() { list_.Clear(); }
    void Assign(const TStringList& source);

private:
    TMemoryList& list_;
};

// A stream handed out as a medium; it owns the stream it wraps.
class TFixedStreamAdapter : public IStream {
public:
    explicit TFixedStreamAdapter(std::unique_ptr<TStream> stream) : stream_(std::move(stream)) {}
    HRESULT Read(void* buffer, uint32_t count, uint32_t* read) override;
    HRESULT Write(const void* buffer, uint32_t count, uint32_t* written) override;
    HRESULT Seek(int64_t move, uint32_t origin, uint64_t* newPosition) override;
    HRESULT Stat(uint64_t& size) override;
    // In chunks of at most 1 MiB; a short write into dest ends with E_FAIL.
    HRESULT CopyTo(IStream& dest, int64_t count, int64_t* read, int64_t* written) override;
    TStream& Stream() { return *stream_; }

private:
    std::unique_ptr<TStream> stream_;
};

// Reads a stream from its start as far as size says, in chunks, so that a
// stated size larger than the contents costs no more memory than they do.
// True when all size bytes arrived.
bool ReadStreamBytes(IStream& stream, uint64_t size, std::vector<uint8_t>& bytes);

// ---- clipboard formats -------------------------------------------------------------

// Moves one block of bytes in global memory or a stream.
class TCustomSimpleClipboardFormat : public TClipboardFormat {
public:
    DD_DECLARE_CLASS(TCustomSimpleClipboardFormat)
    TCustomSimpleClipboardFormat() : TClipboardFormat(CreateFormat, Ole::TYMED_HGLOBAL | Ole::TYMED_ISTREAM) {}

protected:
    bool DoGetData(IDataObject* source, const STGMEDIUM& medium) override;
    bool DoSetData(const FORMATETC& format, STGMEDIUM& medium) override;
    virtual bool ReadDataInto(const STGMEDIUM& medium, int32_t size);
    virtual bool ReadData(const uint8_t* buffer, int32_t size) = 0;
    // Copies size bytes into the medium's block, or writes them into its
    // stream from the start until done or a write takes nothing.
    virtual bool WriteDataTo(STGMEDIUM& medium, int32_t size, const uint8_t* buffer);
    virtual bool WriteData(uint8_t* buffer, int32_t size) = 0;
    virtual int32_t GetSize() = 0;
};

class TCustomStringClipboardFormat : public TCustomSimpleClipboardFormat {
public:
    DD_DECLARE_CLASS(TCustomStringClipboardFormat)
    void Clear() override { Data.clear(); }
    bool HasData() override { return !Data.empty(); }

    AnsiString Data;
    bool TrimZeroes = false;  // cut what is read at its first NUL

protected:
    bool ReadData(const uint8_t* buffer, int32_t size) override;
    bool WriteData(uint8_t* buffer, int32_t size) override;
    int32_t GetSize() override { return int32_t(Data.size()); }
};

// A NUL-terminated text.
class TCustomTextClipboardFormat : public TCustomStringClipboardFormat {
public:
    DD_DECLARE_CLASS(TCustomTextClipboardFormat)
    TCustomTextClipboardFormat() { TrimZeroes = true; }

protected:
    int32_t GetSize() override;
};

class TTextClipboardFormat : public TCustomTextClipboardFormat {
public:
    DD_DECLARE_CLASS(TTextClipboardFormat)
    TClipFormat GetClipboardFormat() override { return Ole::CF_TEXT; }
};

// The contents of the first virtual file, as a byte string.
class TFileContentsClipboardFormat : public TCustomTextClipboardFormat {
public:
    DD_DECLARE_CLASS(TFileContentsClipboardFormat)
    TFileContentsClipboardFormat() { SetFormatIndex(0); }
    TClipFormat GetClipboardFormat() override;
};

class TCustomDWORDClipboardFormat : public TCustomSimpleClipboardFormat {
public:
    DD_DECLARE_CLASS(TCustomDWORDClipboardFormat)
    void Clear() override { Value = 0; }
    bool HasData() override { return Value != 0; }
    uint32_t Value = 0;

protected:
    bool ReadData(const uint8_t* buffer, int32_t size) override;
    bool WriteData(uint8_t* buffer, int32_t size) override;
    int32_t GetSize() override { return 4; }
};

class TPreferredDropEffectClipboardFormat : public TCustomDWORDClipboardFormat {
public:
    DD_DECLARE_CLASS(TPreferredDropEffectClipboardFormat)
    TClipFormat GetClipboardFormat() override;
    bool HasData() override { return true; }
};

class TPerformedDropEffectClipboardFormat : public TCustomDWORDClipboardFormat {
public:
    DD_DECLARE_CLASS(TPerformedDropEffectClipboardFormat)
    TClipFormat GetClipboardFormat() override;
};

class TLogicalPerformedDropEffectClipboardFormat : public TCustomDWORDClipboardFormat {
public:
    DD_DECLARE_CLASS(TLogicalPerformedDropEffectClipboardFormat)
    TClipFormat GetClipboardFormat() override;
};

class TPasteSuccededClipboardFormat : public TCustomDWORDClipboardFormat {
public:
    DD_DECLARE_CLASS(TPasteSuccededClipboardFormat)
    TClipFormat GetClipboardFormat() override;
};

class TInShellDragLoopClipboardFormat : public TCustomDWORDClipboardFormat {
public:
    DD_DECLARE_CLASS(TInShellDragLoopClipboardFormat)
    TClipFormat GetClipboardFormat() override;
    bool InShellDragLoop() const { return Value != 0; }
};

class TTargetCLSIDClipboardFormat : public TCustomSimpleClipboardFormat {
public:
    DD_DECLARE_CLASS(TTargetCLSIDClipboardFormat)
    TClipFormat GetClipboardFormat() override;
    void Clear() override { CLSID = TGUID{}; }
    bool HasData() override { return !CLSID.IsNull(); }
    TGUID CLSID;

protected:
    bool ReadData(const uint8_t* buffer, int32_t size) override;
    bool WriteData(uint8_t* buffer, int32_t size) override;
    int32_t GetSize() override { return 16; }
};

// A file group descriptor: a count and that many fixed-size descriptors.
class TCustomFileGroupDescritorClipboardFormat : public TCustomSimpleClipboardFormat {
public:
    DD_DECLARE_CLASS(TCustomFileGroupDescritorClipboardFormat)
    void Clear() override { block_.clear(); }
    bool HasData() override { return Count() > 0; }
    // The descriptors held (0 without a block).
    uint32_t Count() const;
    const std::vector<uint8_t>& Block() const { return block_; }
    // Takes a block of a count and its descriptors; false when the sizes disagree.
    bool SetBlock(const std::vector<uint8_t>& block);

protected:
    explicit TCustomFileGroupDescritorClipboardFormat(int descriptorSize)
        : descriptorSize_(descriptorSize) {}
    bool ReadData(const uint8_t* buffer, int32_t size) override;
    bool WriteData(uint8_t* buffer, int32_t size) override;
    int32_t GetSize() override;
    // The number of descriptors that a block of size bytes holds, -1 when too small.
    int64_t CountForSize(int64_t size) const;

    const int descriptorSize_;
    std::vector<uint8_t> block_;
};

class TFileGroupDescritorClipboardFormat : public TCustomFileGroupDescritorClipboardFormat {
public:
    DD_DECLARE_CLASS(TFileGroupDescritorClipboardFormat)
    TFileGroupDescritorClipboardFormat() : TCustomFileGroupDescritorClipboardFormat(FileDescriptorASize) {}
    TClipFormat GetClipboardFormat() override;
    // cFileName of descriptor index (at most 260 characters).
    AnsiString FileName(uint32_t index) const;
};

class TFileGroupDescritorWClipboardFormat : public TCustomFileGroupDescritorClipboardFormat {
public:
    DD_DECLARE_CLASS(TFileGroupDescritorWClipboardFormat)
    TFileGroupDescritorWClipboardFormat() : TCustomFileGroupDescritorClipboardFormat(FileDescriptorWSize) {}
    TClipFormat GetClipboardFormat() override;
    QString FileName(uint32_t index) const;
};

// The contents of every virtual file, read as streams named after the descriptors.
class TFileContentsStreamClipboardFormat : public TClipboardFormat {
public:
    DD_DECLARE_CLASS(TFileContentsStreamClipboardFormat)
    TFileContentsStreamClipboardFormat() : TClipboardFormat(CreateFormat, Ole::TYMED_ISTREAM) {}
    TClipFormat GetClipboardFormat() override;
    bool GetData(IDataObject& dataObject) override;
    bool AssignTo(TCustomDataFormat& dataFormat) override;
    void Clear() override { Streams.Clear(); }
    bool HasData() override { return Streams.Count() > 0; }
    TStreamList Streams;
};

using TGetStreamEvent = std::function<void(TObject* Sender, int32_t Index, std::shared_ptr<IStream>& Stream)>;

// The contents of virtual files, handed out one stream per item when asked.
class TFileContentsStreamOnDemandClipboardFormat : public TClipboardFormat {
public:
    DD_DECLARE_CLASS(TFileContentsStreamOnDemandClipboardFormat)
    TFileContentsStreamOnDemandClipboardFormat() : TClipboardFormat(CreateFormat, Ole::TYMED_ISTREAM) {}
    TClipFormat GetClipboardFormat() override;
    // Only notes that the data are there: the program fetches them later.
    bool GetData(IDataObject& dataObject) override;
    void Clear() override { GotData = DataRequested = false; }
    bool HasData() override { return GotData || DataRequested; }

    TGetStreamEvent OnGetStream;
    bool GotData = false;
    bool DataRequested = false;

protected:
    bool DoSetData(const FORMATETC& format, STGMEDIUM& medium) override;
};

// A byte string under any format name.
class TGenericClipboardFormat : public TCustomStringClipboardFormat {
public:
    DD_DECLARE_CLASS(TGenericClipboardFormat)
    TClipFormat GetClipboardFormat() override;
    AnsiString GetClipboardFormatName() override { return FormatName; }
    void SetClipboardFormatName(const AnsiString& name) override;
    bool Assign(TCustomDataFormat& dataFormat) override;
    bool AssignTo(TCustomDataFormat& dataFormat) override;
    AnsiString FormatName;
};

// ---- data formats ---------------------------------------------------------------------

class TTextDataFormat : public TCustomDataFormat {
public:
    DD_DECLARE_CLASS(TTextDataFormat)
    explicit TTextDataFormat(TDragDropComponent* AOwner = nullptr)
        : TCustomDataFormat(AOwner, StaticClass()) {}
    bool Assign(TClipboardFormat& clipboardFormat) override;
    bool AssignTo(TClipboardFormat& clipboardFormat) override;
    void Clear() override;
    bool HasData() override { return !text_.empty(); }
    const AnsiString& Text() const { return text_; }
    void SetText(const AnsiString& text);

private:
    AnsiString text_;
};

class TDataStreamDataFormat : public TCustomDataFormat {
public:
    DD_DECLARE_CLASS(TDataStreamDataFormat)
    explicit TDataStreamDataFormat(TDragDropComponent* AOwner = nullptr);
    void Clear() override;
    bool HasData() override { return Streams.Count() > 0; }
    TStreamList Streams;
};

class TVirtualFileStreamDataFormat : public TCustomDataFormat {
public:
    DD_DECLARE_CLASS(TVirtualFileStreamDataFormat)
    explicit TVirtualFileStreamDataFormat(TDragDropComponent* AOwner = nullptr);
    bool Assign(TClipboardFormat& clipboardFormat) override;
    bool AssignTo(TClipboardFormat& clipboardFormat) override;
    void Clear() override;
    bool HasData() override;
    bool NeedsData() override;

    TMemoryList FileDescriptors;  // ANSI file descriptors
    TFileDescriptorToFilenameStrings FileNames{FileDescriptors};
    bool HasContents = false;
    // Hands out the contents of item Index when a target asks for them.
    void SetOnGetStream(TGetStreamEvent handler) { onDemand_->OnGetStream = std::move(handler); }

private:
    TFileContentsStreamOnDemandClipboardFormat* onDemand_;
};

// The feedback of a drag or paste between source and target.
class TFeedbackDataFormat : public TCustomDataFormat {
public:
    DD_DECLARE_CLASS(TFeedbackDataFormat)
    explicit TFeedbackDataFormat(TDragDropComponent* AOwner = nullptr)
        : TCustomDataFormat(AOwner, StaticClass()) {}
    bool Assign(TClipboardFormat& clipboardFormat) override;
    bool AssignTo(TClipboardFormat& clipboardFormat) override;
    // Zeroes the preferred and performed effects and the drag-loop flags.
    void Clear() override;
    bool HasData() override;
    bool NeedsData() override;

    int32_t PreferredDropEffect() const { return preferred_; }
    void SetPreferredDropEffect(int32_t v);
    int32_t PerformedDropEffect() const { return performed_; }
    void SetPerformedDropEffect(int32_t v);
    bool InShellDragLoop() const { return inShellDragLoop_; }
    void SetInShellDragLoop(bool v);

    int32_t LogicalPerformedDropEffect = 0;
    int32_t PasteSucceeded = 0;
    bool GotInShellDragLoop = false;
    TGUID TargetCLSID;

private:
    int32_t preferred_ = 0;
    int32_t performed_ = 0;
    bool inShellDragLoop_ = false;
};

// A byte string under the format names added to it.
class TGenericDataFormat : public TCustomDataFormat {
public:
    DD_DECLARE_CLASS(TGenericDataFormat)
    explicit TGenericDataFormat(TDragDropComponent* AOwner = nullptr)
        : TCustomDataFormat(AOwner, StaticClass()) {}
    // Adds a clipboard format of that name (read direction).
    void AddFormat(const AnsiString& name);
    void SetData(const AnsiString& data);
    void SetDataHere(const void* buffer, int32_t size);
    int32_t GetSize() const { return int32_t(data_.size()); }
    // Copies at most size bytes; returns how many.
    int32_t GetDataHere(void* buffer, int32_t size) const;
    const AnsiString& Data() const { return data_; }
    void Clear() override;
    bool HasData() override { return !data_.empty(); }

private:
    AnsiString data_;
};
