#include "Classes.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// ---- TStream ----------------------------------------------------------------------

int64_t TStream::GetSize()
{
    const int64_t pos = Seek(0, soCurrent);
    const int64_t size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, int32_t count)
{
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int32_t count)
{
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    const int64_t result = count;
    std::vector<uint8_t> buf(size_t(std::min<int64_t>(std::max<int64_t>(count, 1), 0xF000)));
    while (count > 0) {
        const int32_t n = int32_t(std::min<int64_t>(count, int64_t(buf.size())));
        source.ReadBuffer(buf.data(), n);
        WriteBuffer(buf.data(), n);
        count -= n;
    }
    return result;
}

int64_t TStream::Remaining()
{
    const int64_t pos = GetPosition();
    const int64_t size = Size();
    return pos < size ? size - pos : 0;
}

namespace {
template <typename T>
void PutLE(TStream& s, T v)
{
    uint8_t b[sizeof(T)];
    using U = std::make_unsigned_t<T>;
    U u = U(v);
    for (size_t i = 0; i < sizeof(T); ++i)
        b[i] = uint8_t(u >> (8 * i));
    s.WriteBuffer(b, int32_t(sizeof(T)));
}
template <typename T>
T GetLE(TStream& s)
{
    uint8_t b[sizeof(T)];
    s.ReadBuffer(b, int32_t(sizeof(T)));
    using U = std::make_unsigned_t<T>;
    U u = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        u = U(u | (U(b[i]) << (8 * i)));
    return T(u);
}
} // namespace

void TStream::WriteI16(int16_t v) { PutLE(*this, v); }
void TStream::WriteU16(uint16_t v) { PutLE(*this, v); }
void TStream::WriteI32(int32_t v) { PutLE(*this, v); }
void TStream::WriteU32(uint32_t v) { PutLE(*this, v); }
void TStream::WriteI64(int64_t v) { PutLE(*this, v); }
void TStream::WriteSingle(float v)
{
    uint32_t u;
    std::memcpy(&u, &v, 4);
    PutLE(*this, u);
}
void TStream::WriteDouble(double v)
{
    uint64_t u;
    std::memcpy(&u, &v, 8);
    PutLE(*this, u);
}
uint8_t TStream::ReadU8() { return GetLE<uint8_t>(*this); }
int16_t TStream::ReadI16() { return GetLE<int16_t>(*this); }
uint16_t TStream::ReadU16() { return GetLE<uint16_t>(*this); }
int32_t TStream::ReadI32() { return GetLE<int32_t>(*this); }
uint32_t TStream::ReadU32() { return GetLE<uint32_t>(*this); }
int64_t TStream::ReadI64() { return GetLE<int64_t>(*this); }
float TStream::ReadSingle()
{
    const uint32_t u = GetLE<uint32_t>(*this);
    float v;
    std::memcpy(&v, &u, 4);
    return v;
}
double TStream::ReadDouble()
{
    const uint64_t u = GetLE<uint64_t>(*this);
    double v;
    std::memcpy(&v, &u, 8);
    return v;
}

// ---- TMemoryStream --------------------------------------------------------------

int32_t TMemoryStream::Read(void* buffer, int32_t count)
{
    if (pos_ < 0 || count <= 0)
        return 0;
    const int64_t avail = int64_t(data_.size()) - pos_;
    if (avail <= 0)
        return 0;
    const int32_t n = int32_t(std::min<int64_t>(avail, count));
    std::memcpy(buffer, data_.data() + pos_, size_t(n));
    pos_ += n;
    return n;
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count)
{
    if (pos_ < 0 || count <= 0)
        return 0;
    const int64_t end = pos_ + count;
    if (end > int64_t(data_.size())) {
        // Only a gap between the old end and the position is cleared.
        const int64_t old = int64_t(data_.size());
        Resize(end);
        if (pos_ > old)
            std::memset(data_.data() + old, 0, size_t(pos_ - old));
    }
    std::memcpy(data_.data() + pos_, buffer, size_t(count));
    pos_ = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin)
{
    switch (origin) {
    case soBeginning: pos_ = offset; break;
    case soCurrent: pos_ += offset; break;
    case soEnd: pos_ = int64_t(data_.size()) + offset; break;
    }
    return pos_;
}

void TMemoryStream::Resize(int64_t newSize)
{
    newSize = std::max<int64_t>(newSize, 0);
    try {
        // Grown geometrically, so that a stream written piece by piece still
        // copies each byte a bounded number of times.
        if (size_t(newSize) > data_.capacity() && size_t(newSize) >= LargeBlockSize)
            data_.reserve(std::max(size_t(newSize), 2 * data_.capacity()));
        data_.resize(size_t(newSize));
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory("Out of memory while expanding memory stream");
    } catch (const std::length_error&) {
        throw EOutOfMemory("Out of memory while expanding memory stream");
    }
    if (pos_ > newSize)
        pos_ = newSize;
}

void TMemoryStream::SetSize(int64_t newSize)
{
    const size_t old = data_.size();
    Resize(newSize);
    if (data_.size() > old)
        std::memset(data_.data() + old, 0, data_.size() - old);
}

int32_t TMemoryStream::ReadFromStream(TStream& source, int32_t count)
{
    data_.clear();
    pos_ = 0;
    if (count > 0 && size_t(count) > data_.capacity()) {
        try {
            data_.reserve(size_t(count));
        } catch (const std::bad_alloc&) {
            throw EOutOfMemory("Out of memory while expanding memory stream");
        }
    }
    Resize(count);
    int32_t got = 0;
    try {
        got = count > 0 ? std::max(source.Read(data_.data(), count), 0) : 0;
    } catch (...) {
        data_.clear();  // never bytes that were not read
        throw;
    }
    Resize(got);
    return got;
}

void TMemoryStream::Clear()
{
    data_.clear();
    data_.shrink_to_fit();
    pos_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& source)
{
    source.SetPosition(0);
    const int64_t count = source.Size();
    if (count > std::numeric_limits<int32_t>::max())
        throw EOutOfMemory("Out of memory while expanding memory stream");
    if (ReadFromStream(source, int32_t(count)) != count)
        throw EReadError("Stream read error");
}

void TMemoryStream::SaveToStream(TStream& dest)
{
    if (!data_.empty())
        dest.WriteBuffer(data_.data(), int32_t(data_.size()));
}

void TMemoryStream::LoadFromFile(const QString& fileName)
{
    TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(f);
}

void TMemoryStream::SaveToFile(const QString& fileName)
{
    TFileStream f(fileName, fmCreate);
    SaveToStream(f);
}

// ---- TFileStream ------------------------------------------------------------------

namespace {
AnsiString SystemErrorText(int err)
{
    return toAnsi(SysErrorMessage(err));
}
} // namespace

TFileStream::TFileStream(const QString& fileName, uint16_t mode)
    : fileName_(fileName)
{
    const QByteArray native = EncodeFileName(fileName);
    if (mode == fmCreate || (mode & 0xFF00) == fmCreate) {
        fd_ = ::open(native.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0)
            throw EFCreateError(Format("Cannot create file \"%s\". %s",
                                       {toAnsi(DisplayFileName(fileName)), SystemErrorText(errno)}));
    } else {
        int flags = O_RDONLY;
        if ((mode & 3) == fmOpenWrite)
            flags = O_WRONLY;
        else if ((mode & 3) == fmOpenReadWrite)
            flags = O_RDWR;
        fd_ = ::open(native.constData(), flags | O_CLOEXEC);
        int err = errno;
        if (fd_ >= 0) {
            struct stat st;
            if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
                ::close(fd_);
                fd_ = -1;
                err = EISDIR;
            }
        }
        if (fd_ < 0)
            throw EFOpenError(Format("Cannot open file \"%s\". %s",
                                     {toAnsi(DisplayFileName(fileName)), SystemErrorText(err)}));
    }
}

TFileStream::~TFileStream()
{
    if (fd_ >= 0)
        ::close(fd_);
}

int32_t TFileStream::Read(void* buffer, int32_t count)
{
    if (count <= 0)
        return 0;
    int32_t done = 0;
    auto* p = static_cast<uint8_t*>(buffer);
    while (done < count) {
        const ssize_t n = ::read(fd_, p + done, size_t(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += int32_t(n);
    }
    return done;
}

int32_t TFileStream::Write(const void* buffer, int32_t count)
{
    if (count <= 0)
        return 0;
    int32_t done = 0;
    const auto* p = static_cast<const uint8_t*>(buffer);
    while (done < count) {
        const ssize_t n = ::write(fd_, p + done, size_t(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += int32_t(n);
    }
    return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin)
{
    const int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
    return int64_t(::lseek(fd_, off_t(offset), whence));
}

void TFileStream::SetSize(int64_t newSize)
{
    Seek(newSize, soBeginning);
    if (::ftruncate(fd_, off_t(newSize)) != 0)
        throw EStreamError(SystemErrorText(errno));
}

// ---- TStringList ------------------------------------------------------------------

namespace {
[[noreturn]] void IndexError(int index)
{
    throw EListError(Format("List index out of bounds (%d)", {index}));
}
} // namespace

int TStringList::Compare(const AnsiString& a, const AnsiString& b) const
{
    return caseSensitive_ ? AnsiCompareStr(a, b) : AnsiCompareText(a, b);
}

void TStringList::Changed()
{
    if (OnChange)
        OnChange(this);
}

const AnsiString& TStringList::Strings(int index) const
{
    if (index < 0 || index >= Count())
        IndexError(index);
    return items_[size_t(index)].s;
}

void TStringList::SetString(int index, const AnsiString& s)
{
    if (sorted_)
        throw EListError("Operation not allowed on sorted list");
    if (index < 0 || index >= Count())
        IndexError(index);
    items_[size_t(index)].s = s;
    Changed();
}

void* TStringList::Objects(int index) const
{
    if (index < 0 || index >= Count())
        IndexError(index);
    return items_[size_t(index)].obj;
}

void TStringList::SetObject(int index, void* obj)
{
    if (index < 0 || index >= Count())
        IndexError(index);
    items_[size_t(index)].obj = obj;
    Changed();
}

int TStringList::Add(const AnsiString& s)
{
    return AddObject(s, nullptr);
}

int TStringList::AddObject(const AnsiString& s, void* obj)
{
    int index = Count();
    if (sorted_) {
        if (Find(s, index)) {
            if (Duplicates == dupIgnore)
                return index;
            if (Duplicates == dupError)
                throw EListError("String list does not allow duplicates");
        }
    }
    items_.insert(items_.begin() + index, Item{s, obj});
    Changed();
    return index;
}

void TStringList::Insert(int index, const AnsiString& s)
{
    if (sorted_)
        throw EListError("Operation not allowed on sorted list");
    if (index < 0 || index > Count())
        IndexError(index);
    items_.insert(items_.begin() + index, Item{s, nullptr});
    Changed();
}

void TStringList::Delete(int index)
{
    if (index < 0 || index >= Count())
        IndexError(index);
    items_.erase(items_.begin() + index);
    Changed();
}

void TStringList::Clear()
{
    if (items_.empty())
        return;
    items_.clear();
    Changed();
}

void TStringList::Exchange(int a, int b)
{
    if (a < 0 || a >= Count())
        IndexError(a);
    if (b < 0 || b >= Count())
        IndexError(b);
    std::swap(items_[size_t(a)], items_[size_t(b)]);
    Changed();
}

void TStringList::Move(int from, int to)
{
    if (from == to)
        return;
    if (from < 0 || from >= Count())
        IndexError(from);
    if (to < 0 || to >= Count())
        IndexError(to);
    Item it = items_[size_t(from)];
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, it);
    Changed();
}

int TStringList::IndexOf(const AnsiString& s) const
{
    if (sorted_) {
        int i;
        return Find(s, i) ? i : -1;
    }
    for (int i = 0; i < Count(); ++i)
        if (Compare(items_[size_t(i)].s, s) == 0)
            return i;
    return -1;
}

int TStringList::IndexOfObject(const void* obj) const
{
    for (int i = 0; i < Count(); ++i)
        if (items_[size_t(i)].obj == obj)
            return i;
    return -1;
}

bool TStringList::Find(const AnsiString& s, int& index) const
{
    int lo = 0, hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        const int c = Compare(items_[size_t(mid)].s, s);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                if (Duplicates != dupAccept)
                    lo = mid;
            }
        }
    }
    index = lo;
    return found;
}

void TStringList::SortItems()
{
    std::stable_sort(items_.begin(), items_.end(),
                     [this](const Item& a, const Item& b) { return Compare(a.s, b.s) < 0; });
}

void TStringList::Sort()
{
    SortItems();
    Changed();
}

void TStringList::Assign(const TStringList& other)
{
    if (&other == this)
        return;
    items_ = other.items_;
    if (sorted_)
        SortItems();
    Changed();
}

void TStringList::SetSorted(bool v)
{
    if (v == sorted_)
        return;
    sorted_ = v;
    if (v)
        Sort();
}

void TStringList::SetCaseSensitive(bool v)
{
    if (v == caseSensitive_)
        return;
    caseSensitive_ = v;
    if (sorted_)
        Sort();
}

AnsiString TStringList::Names(int index) const
{
    const AnsiString& s = Strings(index);
    const size_t p = s.find('=');
    return p == std::string::npos ? AnsiString() : s.substr(0, p);
}

AnsiString TStringList::ValueFromIndex(int index) const
{
    const AnsiString& s = Strings(index);
    const size_t p = s.find('=');
    return p == std::string::npos ? AnsiString() : s.substr(p + 1);
}

int TStringList::IndexOfName(const AnsiString& name) const
{
    for (int i = 0; i < Count(); ++i) {
        const AnsiString& s = items_[size_t(i)].s;
        const size_t p = s.find('=');
        if (p != std::string::npos && Compare(s.substr(0, p), name) == 0)
            return i;
    }
    return -1;
}

AnsiString TStringList::Values(const AnsiString& name) const
{
    const int i = IndexOfName(name);
    return i < 0 ? AnsiString() : ValueFromIndex(i);
}

void TStringList::SetValue(const AnsiString& name, const AnsiString& value)
{
    int i = IndexOfName(name);
    if (!value.empty()) {
        if (i < 0) {
            Add(name + "=" + value);
        } else {
            items_[size_t(i)].s = name + "=" + value;
            Changed();
        }
    } else if (i >= 0) {
        Delete(i);
    }
}

AnsiString TStringList::Text() const
{
    AnsiString r;
    for (const auto& it : items_) {
        r += it.s;
        r += "\r\n";
    }
    return r;
}

void TStringList::SetText(const AnsiString& text)
{
    items_.clear();
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        size_t j = i;
        while (j < n && text[j] != '\r' && text[j] != '\n')
            ++j;
        AnsiString line = text.substr(i, j - i);
        items_.push_back(Item{line, nullptr});
        if (j < n && text[j] == '\r')
            ++j;
        if (j < n && text[j] == '\n')
            ++j;
        i = j;
    }
    if (sorted_)
        SortItems();
    Changed();
}

AnsiString TStringList::CommaText() const
{
    AnsiString r;
    for (size_t k = 0; k < items_.size(); ++k) {
        const AnsiString& s = items_[k].s;
        const bool quote = s.empty() || s.find_first_of(" ,\"") != std::string::npos
                           || std::any_of(s.begin(), s.end(), [](char c) { return uint8_t(c) < ' '; });
        if (k > 0)
            r.push_back(',');
        if (quote)
            r += "\"" + StringReplace(s, "\"", "\"\"", rfReplaceAll) + "\"";
        else
            r += s;
    }
    return r;
}

void TStringList::SetCommaText(const AnsiString& text)
{
    items_.clear();
    size_t i = 0;
    const size_t n = text.size();
    auto skipBlanks = [&] { while (i < n && uint8_t(text[i]) <= ' ') ++i; };
    skipBlanks();
    while (i < n) {
        AnsiString item;
        if (text[i] == '"') {
            ++i;
            while (i < n) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        item.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item.push_back(text[i++]);
            }
        } else {
            while (i < n && uint8_t(text[i]) > ' ' && text[i] != ',')
                item.push_back(text[i++]);
        }
        items_.push_back(Item{item, nullptr});
        skipBlanks();
        if (i < n && text[i] == ',') {
            ++i;
            skipBlanks();
            if (i >= n)
                items_.push_back(Item{AnsiString(), nullptr});
        }
    }
    Changed();
}

void TStringList::LoadFromStream(TStream& stream)
{
    const int64_t left = stream.Remaining();
    AnsiString s(size_t(left), '\0');
    if (left > 0)
        s.resize(size_t(stream.Read(s.data(), int32_t(left))));
    SetText(s);
}

void TStringList::SaveToStream(TStream& stream) const
{
    const AnsiString s = Text();
    stream.WriteBuffer(s.data(), int32_t(s.size()));
}

void TStringList::LoadFromFile(const QString& fileName)
{
    TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(f);
}

void TStringList::SaveToFile(const QString& fileName) const
{
    TFileStream f(fileName, fmCreate);
    SaveToStream(f);
}
