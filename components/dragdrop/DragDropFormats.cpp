#include "DragDropFormats.h"

#include <algorithm>
#include <cstring>
#include <limits>

using namespace Ole;

namespace {

uint32_t GetU32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutU32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

TClipFormat Registered(const char* name)
{
    return RegisterClipboardFormatA(name);
}

TClipFormat FileContentsFormat()
{
    static const TClipFormat id = Registered("FileContents");
    return id;
}

// A block of one zeroed descriptor whose name is text, for the A or W layout.
std::vector<uint8_t> OneDescriptorBlock(int descriptorSize, const QString& name)
{
    std::vector<uint8_t> block(size_t(4 + descriptorSize), 0);
    PutU32(block.data(), 1);
    uint8_t* fileName = block.data() + 4 + FileDescriptorNameOffset;
    const QString n = name.left(FileDescriptorMaxPath - 1);
    if (descriptorSize == FileDescriptorASize) {
        const AnsiString a = toAnsi(n);
        std::memcpy(fileName, a.data(), a.size());
    } else {
        for (int i = 0; i < n.size(); ++i) {
            fileName[2 * i] = uint8_t(n[i].unicode());
            fileName[2 * i + 1] = uint8_t(n[i].unicode() >> 8);
        }
    }
    return block;
}

}  // namespace

// ---- containers ---------------------------------------------------------------------

void TStreamList::Changing()
{
    if (OnChanging)
        OnChanging(nullptr);
}

void TStreamList::AddNamed(std::unique_ptr<TStream> stream, const AnsiString& name)
{
    Changing();
    items_.push_back(Item{name, std::move(stream)});
}

void TStreamList::Assign(TStreamList& source)
{
    Clear();
    items_ = std::move(source.items_);
    source.items_.clear();
}

void TStreamList::Clear()
{
    Changing();
    items_.clear();
}

int TMemoryList::Add(std::vector<uint8_t> block)
{
    blocks_.push_back(std::move(block));
    return Count() - 1;
}

void TMemoryList::Delete(int index)
{
    if (index < 0 || index >= Count())
        throw EListError(Format("List index out of bounds (%d)", {index}));
    blocks_.erase(blocks_.begin() + index);
}

void TMemoryList::Clear()
{
    while (!blocks_.empty())
        blocks_.pop_back();
}

AnsiString TFileDescriptorToFilenameStrings::Strings(int index) const
{
    const std::vector<uint8_t>& d = list_.Memory(index);
    if (d.size() < size_t(FileDescriptorASize))
        return {};
    const char* name = reinterpret_cast<const char*>(d.data() + FileDescriptorNameOffset);
    return AnsiString(name, strnlen(name, FileDescriptorMaxPath));
}

int TFileDescriptorToFilenameStrings::Add(const AnsiString& s)
{
    std::vector<uint8_t> d(size_t(FileDescriptorASize), 0);
    std::memcpy(d.data() + FileDescriptorNameOffset, s.data(),
                std::min(s.size(), size_t(FileDescriptorMaxPath - 1)));
    return list_.Add(std::move(d));
}

void TFileDescriptorToFilenameStrings::Insert(int index, const AnsiString& s)
{
    if (index == Count())
        Add(s);
}

void TFileDescriptorToFilenameStrings::Assign(const TStringList& source)
{
    Clear();
    for (int i = 0; i < source.Count(); ++i)
        Add(source[i]);
}

HRESULT TFixedStreamAdapter::Read(void* buffer, uint32_t count, uint32_t* read)
{
    const int32_t n = stream_->Read(buffer, int32_t(std::min<uint32_t>(count, INT32_MAX)));
    if (read)
        *read = uint32_t(n);
    return S_OK;
}

HRESULT TFixedStreamAdapter::Write(const void* buffer, uint32_t count, uint32_t* written)
{
    const int32_t n = stream_->Write(buffer, int32_t(std::min<uint32_t>(count, INT32_MAX)));
    if (written)
        *written = uint32_t(n);
    return S_OK;
}

HRESULT TFixedStreamAdapter::Seek(int64_t move, uint32_t origin, uint64_t* newPosition)
{
    if (origin > STREAM_SEEK_END)
        return E_FAIL;
    const int64_t p = stream_->Seek(move, TSeekOrigin(origin));
    if (newPosition)
        *newPosition = uint64_t(p);
    return S_OK;
}

HRESULT TFixedStreamAdapter::Stat(uint64_t& size)
{
    size = uint64_t(stream_->Size());
    return S_OK;
}

HRESULT TFixedStreamAdapter::CopyTo(IStream& dest, int64_t count, int64_t* read, int64_t* written)
{
    constexpr int64_t Chunk = 1048576;
    if (count < 0)
        count = std::max<int64_t>(0, stream_->Size() - stream_->Position());
    int64_t totalRead = 0;
    int64_t totalWritten = 0;
    HRESULT hr = S_OK;
    std::vector<uint8_t> buffer(size_t(std::min(count, Chunk)));
    while (count > 0) {
        const int32_t want = int32_t(std::min(count, Chunk));
        const int32_t got = stream_->Read(buffer.data(), want);
        if (got <= 0)
            break;
        totalRead += got;
        uint32_t put = 0;
        hr = dest.Write(buffer.data(), uint32_t(got), &put);
        totalWritten += put;
        if (!Succeeded(hr) || put < uint32_t(got)) {
            hr = E_FAIL;
            break;
        }
        count -= got;
    }
    if (read)
        *read = totalRead;
    if (written)
        *written = totalWritten;
    return hr;
}

bool ReadStreamBytes(IStream& stream, uint64_t size, std::vector<uint8_t>& bytes)
{
    constexpr uint64_t Chunk = 65536;
    bytes.clear();
    if (stream.Seek(0, STREAM_SEEK_SET, nullptr) != S_OK)
        return false;
    while (bytes.size() < size) {
        const size_t at = bytes.size();
        const uint32_t want = uint32_t(std::min<uint64_t>(Chunk, size - at));
        bytes.resize(at + want);
        uint32_t got = 0;
        if (stream.Read(bytes.data() + at, want, &got) != S_OK || got == 0) {
            bytes.resize(at);
            return false;
        }
        bytes.resize(at + std::min(got, want));
    }
    return true;
}

// ---- clipboard formats ---------------------------------------------------------------------

DD_IMPLEMENT_CLASS(TCustomSimpleClipboardFormat, TClipboardFormat::StaticClass(), nullptr)

bool TCustomSimpleClipboardFormat::DoGetData(IDataObject*, const STGMEDIUM& medium)
{
    int64_t size;
    if (medium.tymed == TYMED_HGLOBAL) {
        size = int64_t(medium.hGlobal.size());
    } else if (medium.tymed == TYMED_ISTREAM && medium.pstm) {
        uint64_t s = 0;
        if (medium.pstm->Stat(s) != S_OK)
            return false;
        size = int64_t(std::min<uint64_t>(s, uint64_t(std::numeric_limits<int64_t>::max())));
    } else {
        return false;
    }
    // Larger blocks than one read can take are refused.
    if (size < 1 || size > std::numeric_limits<int32_t>::max())
        return false;
    return ReadDataInto(medium, int32_t(size));
}

bool TCustomSimpleClipboardFormat::ReadDataInto(const STGMEDIUM& medium, int32_t size)
{
    if (medium.tymed == TYMED_HGLOBAL)
        return ReadData(medium.hGlobal.data(), size);
    // A stream shorter than its stated size is refused.
    std::vector<uint8_t> buffer;
    return ReadStreamBytes(*medium.pstm, uint64_t(size), buffer) && ReadData(buffer.data(), size);
}

bool TCustomSimpleClipboardFormat::DoSetData(const FORMATETC& format, STGMEDIUM& medium)
{
    const int32_t size = GetSize();
    if (size < 1)
        return false;
    std::vector<uint8_t> buffer(size_t(size), 0);
    if (!WriteData(buffer.data(), size))
        return false;
    // A stream is preferred; it is left at its end.
    STGMEDIUM filled;
    if (format.tymed & TYMED_ISTREAM) {
        filled.tymed = TYMED_ISTREAM;
        filled.pstm = std::make_shared<TFixedStreamAdapter>(std::make_unique<TMemoryStream>());
    } else if (format.tymed & TYMED_HGLOBAL) {
        filled.tymed = TYMED_HGLOBAL;
        filled.hGlobal.assign(size_t(size), 0);
    } else {
        return false;
    }
    if (!WriteDataTo(filled, size, buffer.data()))
        return false;
    medium = std::move(filled);
    return true;
}

bool TCustomSimpleClipboardFormat::WriteDataTo(STGMEDIUM& medium, int32_t size, const uint8_t* buffer)
{
    if (size < 0)
        return false;
    if (medium.tymed == TYMED_HGLOBAL) {
        if (medium.hGlobal.size() < size_t(size))
            return false;
        std::memcpy(medium.hGlobal.data(), buffer, size_t(size));
        return true;
    }
    if (medium.tymed != TYMED_ISTREAM || !medium.pstm || medium.pstm->Seek(0, STREAM_SEEK_SET, nullptr) != S_OK)
        return false;
    int32_t done = 0;
    while (done < size) {
        uint32_t written = 0;
        if (medium.pstm->Write(buffer + done, uint32_t(size - done), &written) != S_OK || written == 0)
            return false;
        done += int32_t(std::min<uint32_t>(written, uint32_t(size - done)));
    }
    return true;
}

DD_IMPLEMENT_CLASS(TCustomStringClipboardFormat, TCustomSimpleClipboardFormat::StaticClass(), nullptr)

bool TCustomStringClipboardFormat::ReadData(const uint8_t* buffer, int32_t size)
{
    Data.assign(reinterpret_cast<const char*>(buffer), size_t(size));
    if (TrimZeroes) {
        const size_t nul = Data.find('\0');
        if (nul != AnsiString::npos)
            Data.resize(nul);
    }
    return true;
}

bool TCustomStringClipboardFormat::WriteData(uint8_t* buffer, int32_t size)
{
    if (size_t(size) > Data.size() + 1)
        return false;
    std::memcpy(buffer, Data.c_str(), size_t(size));
    return true;
}

DD_IMPLEMENT_CLASS(TCustomTextClipboardFormat, TCustomStringClipboardFormat::StaticClass(), nullptr)

int32_t TCustomTextClipboardFormat::GetSize()
{
    if (Data.empty())
        return 0;
    return int32_t(Data.size()) + (Data.back() == '\0' ? 0 : 1);
}

DD_IMPLEMENT_CLASS(TTextClipboardFormat, TCustomTextClipboardFormat::StaticClass(),
                   &CreateClipboardFormat<TTextClipboardFormat>)

DD_IMPLEMENT_CLASS(TFileContentsClipboardFormat, TCustomTextClipboardFormat::StaticClass(),
                   &CreateClipboardFormat<TFileContentsClipboardFormat>)

TClipFormat TFileContentsClipboardFormat::GetClipboardFormat() { return FileContentsFormat(); }

DD_IMPLEMENT_CLASS(TCustomDWORDClipboardFormat, TCustomSimpleClipboardFormat::StaticClass(), nullptr)

bool TCustomDWORDClipboardFormat::ReadData(const uint8_t* buffer, int32_t size)
{
    if (size < 4)
        return false;
    Value = GetU32(buffer);
    return true;
}

bool TCustomDWORDClipboardFormat::WriteData(uint8_t* buffer, int32_t size)
{
    if (size != 4)
        return false;
    PutU32(buffer, Value);
    return true;
}

#define DD_DWORD_FORMAT(Name, Text) \
    DD_IMPLEMENT_CLASS(Name, TCustomDWORDClipboardFormat::StaticClass(), &CreateClipboardFormat<Name>) \
    TClipFormat Name::GetClipboardFormat() \
    { \
        static const TClipFormat id = Registered(Text); \
        return id; \
    }

DD_DWORD_FORMAT(TPreferredDropEffectClipboardFormat, "Preferred DropEffect")
DD_DWORD_FORMAT(TPerformedDropEffectClipboardFormat, "Performed DropEffect")
DD_DWORD_FORMAT(TLogicalPerformedDropEffectClipboardFormat, "Logical Performed DropEffect")
DD_DWORD_FORMAT(TPasteSuccededClipboardFormat, "Paste Succeeded")
DD_DWORD_FORMAT(TInShellDragLoopClipboardFormat, "InShellDragLoop")

DD_IMPLEMENT_CLASS(TTargetCLSIDClipboardFormat, TCustomSimpleClipboardFormat::StaticClass(),
                   &CreateClipboardFormat<TTargetCLSIDClipboardFormat>)

TClipFormat TTargetCLSIDClipboardFormat::GetClipboardFormat()
{
    static const TClipFormat id = Registered("TargetCLSID");
    return id;
}

bool TTargetCLSIDClipboardFormat::ReadData(const uint8_t* buffer, int32_t size)
{
    if (size != 16)
        return false;
    std::memcpy(CLSID.Bytes, buffer, 16);
    return true;
}

bool TTargetCLSIDClipboardFormat::WriteData(uint8_t* buffer, int32_t size)
{
    if (size != 16)
        return false;
    std::memcpy(buffer, CLSID.Bytes, 16);
    return true;
}

DD_IMPLEMENT_CLASS(TCustomFileGroupDescritorClipboardFormat, TCustomSimpleClipboardFormat::StaticClass(),
                   nullptr)

uint32_t TCustomFileGroupDescritorClipboardFormat::Count() const
{
    return block_.size() >= 4 ? GetU32(block_.data()) : 0;
}

int64_t TCustomFileGroupDescritorClipboardFormat::CountForSize(int64_t size) const
{
    return size < 4 ? -1 : (size - 4) / descriptorSize_;
}

bool TCustomFileGroupDescritorClipboardFormat::SetBlock(const std::vector<uint8_t>& block)
{
    if (block.size() < 4 || CountForSize(int64_t(block.size())) != int64_t(GetU32(block.data())))
        return false;
    block_.assign(block.begin(), block.begin() + 4 + int64_t(GetU32(block.data())) * descriptorSize_);
    return true;
}

bool TCustomFileGroupDescritorClipboardFormat::ReadData(const uint8_t* buffer, int32_t size)
{
    // The count must agree with the size actually there.
    if (size < 4 || CountForSize(size) != int64_t(GetU32(buffer)))
        return false;
    block_.assign(buffer, buffer + 4 + int64_t(GetU32(buffer)) * descriptorSize_);
    return true;
}

bool TCustomFileGroupDescritorClipboardFormat::WriteData(uint8_t* buffer, int32_t size)
{
    if (block_.empty() || CountForSize(size) != int64_t(Count()))
        return false;
    std::memcpy(buffer, block_.data(), block_.size());
    return true;
}

int32_t TCustomFileGroupDescritorClipboardFormat::GetSize()
{
    return block_.empty() ? 0 : int32_t(4 + int64_t(Count()) * descriptorSize_);
}

DD_IMPLEMENT_CLASS(TFileGroupDescritorClipboardFormat, TCustomFileGroupDescritorClipboardFormat::StaticClass(),
                   &CreateClipboardFormat<TFileGroupDescritorClipboardFormat>)

TClipFormat TFileGroupDescritorClipboardFormat::GetClipboardFormat()
{
    static const TClipFormat id = Registered("FileGroupDescriptor");
    return id;
}

AnsiString TFileGroupDescritorClipboardFormat::FileName(uint32_t index) const
{
    if (index >= Count())
        return {};
    const char* name = reinterpret_cast<const char*>(block_.data() + 4 + size_t(index) * FileDescriptorASize +
                                                     FileDescriptorNameOffset);
    return AnsiString(name, strnlen(name, FileDescriptorMaxPath));
}

DD_IMPLEMENT_CLASS(TFileGroupDescritorWClipboardFormat, TCustomFileGroupDescritorClipboardFormat::StaticClass(),
                   &CreateClipboardFormat<TFileGroupDescritorWClipboardFormat>)

TClipFormat TFileGroupDescritorWClipboardFormat::GetClipboardFormat()
{
    static const TClipFormat id = Registered("FileGroupDescriptorW");
    return id;
}

QString TFileGroupDescritorWClipboardFormat::FileName(uint32_t index) const
{
    if (index >= Count())
        return {};
    const uint8_t* p = block_.data() + 4 + size_t(index) * FileDescriptorWSize + FileDescriptorNameOffset;
    QString name;
    for (int i = 0; i < FileDescriptorMaxPath; ++i) {
        const char16_t c = char16_t(p[2 * i] | p[2 * i + 1] << 8);
        if (c == 0)
            break;
        name.append(QChar(c));
    }
    return name;
}

DD_IMPLEMENT_CLASS(TFileContentsStreamClipboardFormat, TClipboardFormat::StaticClass(),
                   &CreateClipboardFormat<TFileContentsStreamClipboardFormat>)

TClipFormat TFileContentsStreamClipboardFormat::GetClipboardFormat() { return FileContentsFormat(); }

bool TFileContentsStreamClipboardFormat::GetData(IDataObject& dataObject)
{
    Clear();
    TFileGroupDescritorClipboardFormat descriptors;
    int64_t count = 0;
    int32_t index = -1;
    if (descriptors.GetData(dataObject)) {
        count = descriptors.Count();
        index = 0;
    }
    FORMATETC request = FormatEtc();
    bool ran = false;
    while (index < count) {
        ran = true;
        request.lindex = index;
        STGMEDIUM medium;
        if (dataObject.GetData(request, medium) != S_OK)
            break;
        const AnsiString name = index >= 0 ? descriptors.FileName(uint32_t(index)) : AnsiString();
        ++index;
        if (medium.tymed == TYMED_ISTREAM && medium.pstm) {
            uint64_t size = 0;
            auto copy = std::make_shared<TFixedStreamAdapter>(std::make_unique<TMemoryStream>());
            if (medium.pstm->Stat(size) == S_OK &&
                medium.pstm->Seek(0, STREAM_SEEK_SET, nullptr) == S_OK &&
                Succeeded(medium.pstm->CopyTo(*copy, int64_t(std::min<uint64_t>(size, INT64_MAX)), nullptr,
                                              nullptr))) {
                auto stream = std::make_unique<TMemoryStream>();
                stream->CopyFrom(copy->Stream(), 0);
                stream->SetPosition(0);
                Streams.AddNamed(std::move(stream), name);
            }
        }
        ReleaseStgMedium(medium);
    }
    return ran;
}

bool TFileContentsStreamClipboardFormat::AssignTo(TCustomDataFormat& dataFormat)
{
    auto* target = dynamic_cast<TDataStreamDataFormat*>(&dataFormat);
    if (!target)
        return false;
    target->Streams.Assign(Streams);
    return true;
}

DD_IMPLEMENT_CLASS(TFileContentsStreamOnDemandClipboardFormat, TClipboardFormat::StaticClass(),
                   &CreateClipboardFormat<TFileContentsStreamOnDemandClipboardFormat>)

TClipFormat TFileContentsStreamOnDemandClipboardFormat::GetClipboardFormat() { return FileContentsFormat(); }

bool TFileContentsStreamOnDemandClipboardFormat::GetData(IDataObject&)
{
    GotData = true;
    return true;
}

bool TFileContentsStreamOnDemandClipboardFormat::DoSetData(const FORMATETC& format, STGMEDIUM& medium)
{
    if (!OnGetStream || !(format.tymed & TYMED_ISTREAM) || format.lindex == -1)
        return false;
    std::shared_ptr<IStream> stream;
    OnGetStream(this, format.lindex, stream);
    if (!stream)
        return false;
    medium.tymed = TYMED_ISTREAM;
    medium.pstm = std::move(stream);
    return true;
}

DD_IMPLEMENT_CLASS(TGenericClipboardFormat, TCustomStringClipboardFormat::StaticClass(),
                   &CreateClipboardFormat<TGenericClipboardFormat>)

TClipFormat TGenericClipboardFormat::GetClipboardFormat()
{
    if (formatEtc_.cfFormat == 0)
        formatEtc_.cfFormat = RegisterClipboardFormatA(FormatName);
    return formatEtc_.cfFormat;
}

void TGenericClipboardFormat::SetClipboardFormatName(const AnsiString& name)
{
    FormatName = name;
    if (!name.empty())
        SetClipboardFormat(RegisterClipboardFormatA(name));
}

bool TGenericClipboardFormat::Assign(TCustomDataFormat& dataFormat)
{
    auto* source = dynamic_cast<TGenericDataFormat*>(&dataFormat);
    if (!source)
        return false;
    Data = source->Data();
    return true;
}

bool TGenericClipboardFormat::AssignTo(TCustomDataFormat& dataFormat)
{
    auto* target = dynamic_cast<TGenericDataFormat*>(&dataFormat);
    if (!target)
        return false;
    target->SetData(Data);
    return true;
}

// ---- data formats --------------------------------------------------------------------------------

DD_IMPLEMENT_CLASS(TTextDataFormat, TCustomDataFormat::StaticClass(), nullptr)

bool TTextDataFormat::Assign(TClipboardFormat& clipboardFormat)
{
    if (auto* text = dynamic_cast<TCustomTextClipboardFormat*>(&clipboardFormat)) {
        SetText(text->Data);
        return true;
    }
    return TCustomDataFormat::Assign(clipboardFormat);
}

bool TTextDataFormat::AssignTo(TClipboardFormat& clipboardFormat)
{
    if (auto* text = dynamic_cast<TCustomTextClipboardFormat*>(&clipboardFormat)) {
        text->Data = text_;
        return true;
    }
    if (dynamic_cast<TFileGroupDescritorClipboardFormat*>(&clipboardFormat) ||
        dynamic_cast<TFileGroupDescritorWClipboardFormat*>(&clipboardFormat)) {
        const int size = dynamic_cast<TFileGroupDescritorClipboardFormat*>(&clipboardFormat)
                             ? FileDescriptorASize
                             : FileDescriptorWSize;
        return static_cast<TCustomFileGroupDescritorClipboardFormat&>(clipboardFormat)
            .SetBlock(OneDescriptorBlock(size, QStringLiteral("Text scrap.txt")));
    }
    return TCustomDataFormat::AssignTo(clipboardFormat);
}

void TTextDataFormat::Clear()
{
    Changing();
    text_.clear();
}

void TTextDataFormat::SetText(const AnsiString& text)
{
    Changing();
    text_ = text;
}

DD_IMPLEMENT_CLASS(TDataStreamDataFormat, TCustomDataFormat::StaticClass(), nullptr)

TDataStreamDataFormat::TDataStreamDataFormat(TDragDropComponent* AOwner)
    : TCustomDataFormat(AOwner, StaticClass())
{
    Streams.OnChanging = [this](TObject*) { Changing(); };
}

void TDataStreamDataFormat::Clear()
{
    Changing();
    Streams.Clear();
}

DD_IMPLEMENT_CLASS(TVirtualFileStreamDataFormat, TCustomDataFormat::StaticClass(), nullptr)

TVirtualFileStreamDataFormat::TVirtualFileStreamDataFormat(TDragDropComponent* AOwner)
    : TCustomDataFormat(AOwner, StaticClass())
{
    onDemand_ = static_cast<TFileContentsStreamOnDemandClipboardFormat*>(
        CompatibleFormats->Add(std::make_unique<TFileContentsStreamOnDemandClipboardFormat>()));
    CompatibleFormats->Add(std::make_unique<TFileGroupDescritorClipboardFormat>());
}

bool TVirtualFileStreamDataFormat::Assign(TClipboardFormat& clipboardFormat)
{
    if (auto* onDemand = dynamic_cast<TFileContentsStreamOnDemandClipboardFormat*>(&clipboardFormat)) {
        HasContents = onDemand->HasData();
        return true;
    }
    if (auto* group = dynamic_cast<TFileGroupDescritorClipboardFormat*>(&clipboardFormat)) {
        FileDescriptors.Clear();
        const std::vector<uint8_t>& block = group->Block();
        for (uint32_t i = 0; i < group->Count(); ++i) {
            const auto* d = block.data() + 4 + size_t(i) * FileDescriptorASize;
            FileDescriptors.Add(std::vector<uint8_t>(d, d + FileDescriptorASize));
        }
        return true;
    }
    return TCustomDataFormat::Assign(clipboardFormat);
}

bool TVirtualFileStreamDataFormat::AssignTo(TClipboardFormat& clipboardFormat)
{
    if (auto* onDemand = dynamic_cast<TFileContentsStreamOnDemandClipboardFormat*>(&clipboardFormat)) {
        onDemand->DataRequested = true;
        return true;
    }
    if (auto* group = dynamic_cast<TFileGroupDescritorClipboardFormat*>(&clipboardFormat)) {
        if (FileDescriptors.Count() == 0)
            return false;
        std::vector<uint8_t> block(4, 0);
        PutU32(block.data(), uint32_t(FileDescriptors.Count()));
        for (int i = 0; i < FileDescriptors.Count(); ++i) {
            std::vector<uint8_t> d = FileDescriptors.Memory(i);
            d.resize(size_t(FileDescriptorASize), 0);
            block.insert(block.end(), d.begin(), d.end());
        }
        return group->SetBlock(block);
    }
    return TCustomDataFormat::AssignTo(clipboardFormat);
}

void TVirtualFileStreamDataFormat::Clear()
{
    FileDescriptors.Clear();
    HasContents = false;
}

bool TVirtualFileStreamDataFormat::HasData()
{
    return FileDescriptors.Count() > 0 && (HasContents || onDemand_->OnGetStream);
}

bool TVirtualFileStreamDataFormat::NeedsData()
{
    return FileDescriptors.Count() == 0 || !HasContents;
}

DD_IMPLEMENT_CLASS(TFeedbackDataFormat, TCustomDataFormat::StaticClass(), nullptr)

bool TFeedbackDataFormat::Assign(TClipboardFormat& f)
{
    if (dynamic_cast<TPreferredDropEffectClipboardFormat*>(&f))
        preferred_ = int32_t(static_cast<TCustomDWORDClipboardFormat&>(f).Value);
    else if (dynamic_cast<TPerformedDropEffectClipboardFormat*>(&f))
        performed_ = int32_t(static_cast<TCustomDWORDClipboardFormat&>(f).Value);
    else if (dynamic_cast<TLogicalPerformedDropEffectClipboardFormat*>(&f))
        LogicalPerformedDropEffect = int32_t(static_cast<TCustomDWORDClipboardFormat&>(f).Value);
    else if (dynamic_cast<TPasteSuccededClipboardFormat*>(&f))
        PasteSucceeded = int32_t(static_cast<TCustomDWORDClipboardFormat&>(f).Value);
    else if (auto* loop = dynamic_cast<TInShellDragLoopClipboardFormat*>(&f)) {
        inShellDragLoop_ = loop->InShellDragLoop();
        GotInShellDragLoop = true;
    } else if (auto* clsid = dynamic_cast<TTargetCLSIDClipboardFormat*>(&f))
        TargetCLSID = clsid->CLSID;
    else
        return TCustomDataFormat::Assign(f);
    return true;
}

bool TFeedbackDataFormat::AssignTo(TClipboardFormat& f)
{
    if (dynamic_cast<TPreferredDropEffectClipboardFormat*>(&f))
        static_cast<TCustomDWORDClipboardFormat&>(f).Value = uint32_t(preferred_);
    else if (dynamic_cast<TPerformedDropEffectClipboardFormat*>(&f))
        static_cast<TCustomDWORDClipboardFormat&>(f).Value = uint32_t(performed_);
    else if (dynamic_cast<TLogicalPerformedDropEffectClipboardFormat*>(&f))
        static_cast<TCustomDWORDClipboardFormat&>(f).Value = uint32_t(LogicalPerformedDropEffect);
    else if (dynamic_cast<TPasteSuccededClipboardFormat*>(&f))
        static_cast<TCustomDWORDClipboardFormat&>(f).Value = uint32_t(PasteSucceeded);
    else if (dynamic_cast<TInShellDragLoopClipboardFormat*>(&f))
        static_cast<TCustomDWORDClipboardFormat&>(f).Value = inShellDragLoop_ ? 1 : 0;
    else if (auto* clsid = dynamic_cast<TTargetCLSIDClipboardFormat*>(&f))
        clsid->CLSID = TargetCLSID;
    else
        return TCustomDataFormat::AssignTo(f);
    return true;
}

void TFeedbackDataFormat::Clear()
{
    Changing();
    preferred_ = 0;
    performed_ = 0;
    inShellDragLoop_ = false;
    GotInShellDragLoop = false;
}

bool TFeedbackDataFormat::HasData()
{
    return preferred_ != 0 || performed_ != 0 || PasteSucceeded != 0 || GotInShellDragLoop;
}

bool TFeedbackDataFormat::NeedsData()
{
    return preferred_ == 0 || performed_ == 0 || PasteSucceeded == 0 || !GotInShellDragLoop;
}

void TFeedbackDataFormat::SetPreferredDropEffect(int32_t v)
{
    Changing();
    preferred_ = v;
}

void TFeedbackDataFormat::SetPerformedDropEffect(int32_t v)
{
    Changing();
    performed_ = v;
}

void TFeedbackDataFormat::SetInShellDragLoop(bool v)
{
    Changing();
    inShellDragLoop_ = v;
}

DD_IMPLEMENT_CLASS(TGenericDataFormat, TCustomDataFormat::StaticClass(), nullptr)

void TGenericDataFormat::AddFormat(const AnsiString& name)
{
    auto f = std::make_unique<TGenericClipboardFormat>();
    f->SetClipboardFormatName(name);
    f->DataDirections = ddRead;
    CompatibleFormats->Add(std::move(f));
}

void TGenericDataFormat::SetData(const AnsiString& data)
{
    Changing();
    data_ = data;
}

void TGenericDataFormat::SetDataHere(const void* buffer, int32_t size)
{
    Changing();
    data_.assign(static_cast<const char*>(buffer), size_t(std::max(size, 0)));
}

int32_t TGenericDataFormat::GetDataHere(void* buffer, int32_t size) const
{
    const int32_t n = std::clamp(size, 0, GetSize());
    std::memcpy(buffer, data_.data(), size_t(n));
    return n;
}

void TGenericDataFormat::Clear()
{
    Changing();
    data_.clear();
}

// ---- registration -----------------------------------------------------------------------------------

namespace {

struct TFormatRegistration {
    TFormatRegistration()
    {
        RegisterDataFormat(TTextDataFormat::StaticClass());
        RegisterDataFormat(TDataStreamDataFormat::StaticClass());
        RegisterDataFormat(TVirtualFileStreamDataFormat::StaticClass());
        const TDataUsage both = duSource | duTarget;
        auto text = TTextDataFormat::StaticClass();
        RegisterDataConversion(text, TTextClipboardFormat::StaticClass(), 0, both, ddRead);
        RegisterDataConversion(text, TFileContentsClipboardFormat::StaticClass(), 1, both, ddRead);
        RegisterDataConversion(text, TFileGroupDescritorClipboardFormat::StaticClass(), 1, duSource, ddRead);
        RegisterDataConversion(text, TFileGroupDescritorWClipboardFormat::StaticClass(), 1, duSource, ddRead);
        auto feedback = TFeedbackDataFormat::StaticClass();
        RegisterDataConversion(feedback, TPreferredDropEffectClipboardFormat::StaticClass(), 0, both, ddRead);
        RegisterDataConversion(feedback, TPerformedDropEffectClipboardFormat::StaticClass(), 0, both, ddWrite);
        RegisterDataConversion(feedback, TPasteSuccededClipboardFormat::StaticClass(), 0, both, ddWrite);
        RegisterDataConversion(feedback, TInShellDragLoopClipboardFormat::StaticClass(), 0, both, ddRead);
        RegisterDataConversion(feedback, TTargetCLSIDClipboardFormat::StaticClass(), 0, both, ddWrite);
        RegisterDataConversion(feedback, TLogicalPerformedDropEffectClipboardFormat::StaticClass(), 0, both,
                               ddWrite);
        RegisterDataConversion(TDataStreamDataFormat::StaticClass(),
                               TFileContentsStreamClipboardFormat::StaticClass(), 0, duTarget, ddRead);
    }

    ~TFormatRegistration()
    {
        UnregisterDataFormat(TTextDataFormat::StaticClass());
        UnregisterDataFormat(TDataStreamDataFormat::StaticClass());
        UnregisterDataFormat(TFeedbackDataFormat::StaticClass());
        UnregisterDataFormat(TVirtualFileStreamDataFormat::StaticClass());
        for (TClipboardFormatClass c :
             {TTextClipboardFormat::StaticClass(), TFileContentsClipboardFormat::StaticClass(),
              TFileGroupDescritorClipboardFormat::StaticClass(), TFileGroupDescritorWClipboardFormat::StaticClass(),
              TPreferredDropEffectClipboardFormat::StaticClass(), TPerformedDropEffectClipboardFormat::StaticClass(),
              TPasteSuccededClipboardFormat::StaticClass(), TInShellDragLoopClipboardFormat::StaticClass(),
              TTargetCLSIDClipboardFormat::StaticClass(), TLogicalPerformedDropEffectClipboardFormat::StaticClass(),
              TFileContentsStreamClipboardFormat::StaticClass()})
            UnregisterClipboardFormat(c);
    }
};

const TFormatRegistration registration;

}  // namespace
