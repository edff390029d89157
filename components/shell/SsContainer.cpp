#include "SsContainer.h"

#include <QMutex>
#include <QString>
#include <map>

// ---- value stream ---------------------------------------------------------------------

namespace {
enum : uint8_t { vaNull = 0, vaList = 1, vaInt32 = 4, vaLString = 20 };
}

void TSsValueWriter::WriteInteger(int32_t v)
{
    stream_.WriteU8(vaInt32);
    stream_.WriteI32(v);
}

void TSsValueWriter::WriteString(const AnsiString& s)
{
    stream_.WriteU8(vaLString);
    stream_.WriteI32(int32_t(s.size()));
    if (!s.empty())
        stream_.WriteBuffer(s.data(), int32_t(s.size()));
}

void TSsValueWriter::WriteListBegin()
{
    stream_.WriteU8(vaList);
}

void TSsValueWriter::WriteListEnd()
{
    stream_.WriteU8(vaNull);
}

uint8_t TSsValueReader::ReadTag(uint8_t expected)
{
    const uint8_t tag = stream_.ReadU8();
    if (tag != expected)
        throw EReadError("Invalid stream format");
    return tag;
}

int32_t TSsValueReader::ReadInteger()
{
    ReadTag(vaInt32);
    return stream_.ReadI32();
}

AnsiString TSsValueReader::ReadString()
{
    ReadTag(vaLString);
    const int32_t n = stream_.ReadI32();
    if (n < 0 || n > stream_.Remaining())
        throw EReadError("Invalid stream format");
    AnsiString s(size_t(n), '\0');
    if (n > 0)
        stream_.ReadBuffer(s.data(), n);
    return s;
}

void TSsValueReader::ReadListBegin()
{
    ReadTag(vaList);
}

bool TSsValueReader::EndOfList()
{
    const int64_t pos = stream_.Position();
    const uint8_t tag = stream_.ReadU8();
    stream_.SetPosition(pos);
    return tag == vaNull;
}

void TSsValueReader::ReadListEnd()
{
    ReadTag(vaNull);
}

// ---- class registry ------------------------------------------------------------------

namespace {
struct ClassRegistry {
    QMutex lock;
    std::map<AnsiString, AnsiString> parents;
    ClassRegistry()
    {
        parents = {{"TSsContainer", ""},       {"TSsDictionary", "TSsContainer"},
                   {"TSsList", "TSsContainer"}, {"TSsDQue", "TSsList"},
                   {"TSsNode", ""},             {"TSsDictNode", "TSsNode"},
                   {"TSsListNode", "TSsNode"}};
    }
};
ClassRegistry& Classes()
{
    static ClassRegistry r;
    return r;
}
}  // namespace

void SsRegisterClassName(const AnsiString& name, const AnsiString& parent)
{
    ClassRegistry& r = Classes();
    QMutexLocker guard(&r.lock);
    r.parents[name] = parent;
}

bool SsIsClassRegistered(const AnsiString& name)
{
    ClassRegistry& r = Classes();
    QMutexLocker guard(&r.lock);
    return r.parents.count(name) != 0;
}

bool SsInheritsFrom(const AnsiString& name, const AnsiString& ancestor)
{
    ClassRegistry& r = Classes();
    QMutexLocker guard(&r.lock);
    for (AnsiString n = name; !n.empty();) {
        if (n == ancestor)
            return true;
        auto it = r.parents.find(n);
        if (it == r.parents.end())
            return false;
        n = it->second;
    }
    return false;
}

const TSsNodeClass SsListNodeClass{"TSsListNode", nullptr, [](void* data) {
                                       return std::unique_ptr<TSsNode>(new TSsListNode(data));
                                   }};
const TSsNodeClass SsDictNodeClass{"TSsDictNode", nullptr, [](void* data) {
                                       return std::unique_ptr<TSsNode>(new TSsDictNode("", data));
                                   }};

// ---- container base ------------------------------------------------------------------

int TSsContainer::DoCompare(void* data1, void* data2)
{
    TSsGuard guard(lock_);
    if (OnCompare) {
        int result = 0;
        OnCompare(this, data1, data2, result);
        return result;
    }
    if (!Compare)
        RaiseContainerError(SsscNoCompare);
    return Compare(data1, data2);
}

void TSsContainer::DoDisposeData(void* data)
{
    if (OnDisposeData)
        OnDisposeData(this, data);
    else if (DisposeData)
        DisposeData(data);
}

void* TSsContainer::DoLoadData(TSsValueReader& reader)
{
    void* data = nullptr;
    if (OnLoadData)
        OnLoadData(this, reader, data);
    else if (LoadData)
        data = LoadData(reader);
    else
        RaiseContainerError(SsscNoLoadData);
    return data;
}

void TSsContainer::DoStoreData(TSsValueWriter& writer, void* data)
{
    if (OnStoreData)
        OnStoreData(this, writer, data);
    else if (StoreData)
        StoreData(writer, data);
    else
        RaiseContainerError(SsscNoStoreData);
}

void TSsContainer::DestroyNode(TSsNode* node)
{
    TSsGuard guard(lock_);
    if (node)
        DoDisposeData(node->Data);
}

void TSsContainer::LoadFromFile(const QString& name)
{
    TFileStream f(name, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(f);
}

void TSsContainer::StoreToFile(const QString& name)
{
    TFileStream f(name, fmCreate);
    StoreToStream(f);
}

void TSsContainer::Assign(TSsContainer&)
{
    RaiseContainerError(SsscBadClass);
}

void TSsContainer::ReadHeader(TSsValueReader& r, bool exactClasses, const char* baseClass,
                              const char* baseNode)
{
    const AnsiString cls = r.ReadString();
    const AnsiString node = r.ReadString();
    if (!SsIsClassRegistered(cls))
        RaiseContainerErrorFmt(SsscUnknownClass, {cls});
    if (!SsIsClassRegistered(node))
        RaiseContainerErrorFmt(SsscUnknownNodeClass, {node});
    const AnsiString own = ClassName();
    const AnsiString ownNode = nodeClass_->Name;
    if (exactClasses) {
        if (cls != own)
            RaiseContainerError(SsscBadClassName);
        if (node != ownNode)
            RaiseContainerError(SsscBadNodeClassName);
    } else {
        if (!SsInheritsFrom(cls, baseClass) || !SsInheritsFrom(own, cls))
            RaiseContainerError(SsscBadClassName);
        if (!SsInheritsFrom(node, baseNode) || !SsInheritsFrom(ownNode, node))
            RaiseContainerError(SsscBadNodeClassName);
    }
}

// ---- dictionary ------------------------------------------------------------------------

uint32_t SsDefaultHash(const AnsiString& name, int32_t size)
{
    const AnsiString upper = AnsiUpperCase(name);
    uint32_t h = 0;
    for (size_t i = 0; i < upper.size(); ++i) {
        const uint32_t c = uint8_t(upper[i]);
        const unsigned r = unsigned(i % 32);
        h ^= r == 0 ? c : (c << r) | (c >> (32 - r));
    }
    return h % uint32_t(size);
}

TSsDictionary::TSsDictionary(int32_t hashSize) : TSsContainer(&SsDictNodeClass)
{
    Equal = [](const AnsiString& a, const AnsiString& b) { return AnsiCompareText(a, b); };
    Hash = SsDefaultHash;
    SetHashSize(hashSize);
}

TSsDictionary::~TSsDictionary()
{
    try {
        Clear();
    } catch (...) {
        // A dispose routine that fails must not escape the destructor.
    }
}

void TSsDictionary::SetHashSize(int32_t size)
{
    TSsGuard guard(lock_);
    if (size < 1)
        RaiseContainerError(SsscBadSize);
    if (size == hashSize_)
        return;
    std::vector<Bucket> old = std::move(table_);
    table_.clear();
    table_.resize(size_t(size));
    hashSize_ = size;
    count_ = 0;
    // Re-adding moves the data; the old nodes go without disposing it.
    for (Bucket& b : old)
        for (auto& n : b)
            Add(n->Name, n->Data);
}

int TSsDictionary::DoEqual(const AnsiString& a, const AnsiString& b)
{
    if (OnEqual) {
        int result = 0;
        OnEqual(this, a, b, result);
        return result;
    }
    return Equal(a, b);
}

size_t TSsDictionary::FindNode(const AnsiString& name, size_t& bucket)
{
    bucket = Hash(name, hashSize_);
    const Bucket& b = table_[bucket];
    for (size_t i = 0; i < b.size(); ++i)
        if (DoEqual(b[i]->Name, name) == 0)
            return i;
    return size_t(-1);
}

TSsDictNode* TSsDictionary::Add(const AnsiString& name, void* data)
{
    TSsGuard guard(lock_);
    size_t bucket = 0;
    if (FindNode(name, bucket) != size_t(-1))
        RaiseContainerError(SsscDupNode);
    Bucket& b = table_[bucket];
    b.insert(b.begin(), std::make_unique<TSsDictNode>(name, data));
    ++count_;
    return b.front().get();
}

bool TSsDictionary::Find(const AnsiString& name, void*& data)
{
    TSsGuard guard(lock_);
    size_t bucket = 0;
    const size_t i = FindNode(name, bucket);
    if (i == size_t(-1)) {
        data = nullptr;
        return false;
    }
    Bucket& b = table_[bucket];
    if (i > 0)  // most recently found first
        std::rotate(b.begin(), b.begin() + ptrdiff_t(i), b.begin() + ptrdiff_t(i) + 1);
    data = b.front()->Data;
    return true;
}

void TSsDictionary::Delete(const AnsiString& name)
{
    TSsGuard guard(lock_);
    size_t bucket = 0;
    const size_t i = FindNode(name, bucket);
    if (i == size_t(-1))
        return;
    Bucket& b = table_[bucket];
    std::unique_ptr<TSsDictNode> node = std::move(b[i]);
    b.erase(b.begin() + ptrdiff_t(i));
    --count_;
    DestroyNode(node.get());
}

TSsDictNode* TSsDictionary::Iterate(
    const std::function<bool(TSsContainer*, TSsDictNode*, void*)>& action, void* other)
{
    TSsGuard guard(lock_);
    if (count_ == 0)
        return nullptr;
    for (Bucket& b : table_)
        for (auto& n : b)
            if (!action(this, n.get(), other))
                return n.get();
    return nullptr;
}

void TSsDictionary::IterateData(const std::function<bool(void*, void*)>& action, void* other)
{
    Iterate([&](TSsContainer*, TSsDictNode* n, void* o) { return action(n->Data, o); }, other);
}

void TSsDictionary::Clear()
{
    TSsGuard guard(lock_);
    std::vector<Bucket> old = std::move(table_);
    table_.clear();
    table_.resize(size_t(hashSize_));
    count_ = 0;
    for (Bucket& b : old)
        for (auto& n : b)
            DestroyNode(n.get());
}

void TSsDictionary::Assign(TSsContainer& source)
{
    auto* dict = dynamic_cast<TSsDictionary*>(&source);
    if (!dict) {
        TSsContainer::Assign(source);
        return;
    }
    TSsGuard guard(lock_);
    TSsGuard sourceGuard(dict->Lock());
    Clear();
    dict->Iterate(
        [this](TSsContainer*, TSsDictNode* n, void*) {
            Add(n->Name, n->Data);
            return true;
        },
        nullptr);
}

void TSsDictionary::AssignStrings(const TStringList& source)
{
    TSsGuard guard(lock_);
    Clear();
    for (int i = 0; i < source.Count(); ++i)
        Add(source.Strings(i), source.Objects(i));
}

void TSsDictionary::StoreToStream(TStream& stream)
{
    TSsGuard guard(lock_);
    TMemoryStream buffer;
    TSsValueWriter w(buffer);
    w.WriteString(ClassName());
    w.WriteString(nodeClass_->Name);
    w.WriteInteger(hashSize_);
    w.WriteListBegin();
    Iterate(
        [&](TSsContainer*, TSsDictNode* n, void*) {
            w.WriteString(n->Name);
            DoStoreData(w, n->Data);
            return true;
        },
        nullptr);
    w.WriteListEnd();
    buffer.SetPosition(0);
    stream.CopyFrom(buffer, buffer.Size());
}

void TSsDictionary::LoadFromStream(TStream& stream)
{
    TSsGuard guard(lock_);
    Clear();
    TSsValueReader r(stream);
    ReadHeader(r, true, "TSsDictionary", "TSsDictNode");
    SetHashSize(r.ReadInteger());
    r.ReadListBegin();
    while (!r.EndOfList()) {
        const AnsiString name = r.ReadString();
        Add(name, DoLoadData(r));
    }
    r.ReadListEnd();
}

// ---- list and queue ----------------------------------------------------------------------

TSsList::TSsList(const TSsNodeClass* nodeClass) : TSsContainer(nodeClass)
{
    Clear();
}

TSsList::~TSsList()
{
    try {
        Clear();
    } catch (...) {
        // A dispose routine that fails must not escape the destructor.
    }
}

TSsListNode* TSsList::Append(void* data)
{
    TSsGuard guard(lock_);
    std::unique_ptr<TSsNode> made = nodeClass_->Create(data);
    auto* node = static_cast<TSsListNode*>(made.release());
    nodes_.push_back(std::unique_ptr<TSsListNode>(node));
    where_[node] = std::prev(nodes_.end());
    ++count_;
    return node;
}

void TSsList::Delete(TSsListNode* node)
{
    TSsGuard guard(lock_);
    if (!node || nodes_.empty())
        return;
    if (AnsiString(node->ClassName()) != nodeClass_->Name)
        RaiseContainerError(SsscBadClass);
    auto it = where_.find(node);
    if (it == where_.end())
        return;
    std::unique_ptr<TSsListNode> owned = std::move(*it->second);
    nodes_.erase(it->second);
    where_.erase(it);
    --count_;
    DestroyNode(owned.get());
}

TSsListNode* TSsList::Head() const
{
    TSsGuard guard(lock_);
    return nodes_.empty() ? nullptr : nodes_.front().get();
}

TSsListNode* TSsList::Tail() const
{
    TSsGuard guard(lock_);
    return nodes_.empty() ? nullptr : nodes_.back().get();
}

TSsListNode* TSsList::Next(TSsListNode* node) const
{
    TSsGuard guard(lock_);
    auto it = where_.find(node);
    if (it == where_.end())
        return nullptr;
    auto n = std::next(it->second);
    return n == nodes_.end() ? nullptr : n->get();
}

TSsListNode* TSsList::Prev(TSsListNode* node) const
{
    TSsGuard guard(lock_);
    auto it = where_.find(node);
    if (it == where_.end() || it->second == nodes_.begin())
        return nullptr;
    return std::prev(it->second)->get();
}

TSsListNode* TSsList::Iterate(const std::function<bool(TSsContainer*, TSsListNode*, void*)>& action,
                              bool up, void* other)
{
    TSsGuard guard(lock_);
    if (up) {
        for (auto& n : nodes_)
            if (!action(this, n.get(), other))
                return n.get();
    } else {
        for (auto it = nodes_.rbegin(); it != nodes_.rend(); ++it)
            if (!action(this, it->get(), other))
                return it->get();
    }
    return nullptr;
}

void TSsList::IterateData(const std::function<bool(void*, void*)>& action, void* other)
{
    Iterate([&](TSsContainer*, TSsListNode* n, void* o) { return action(n->Data, o); }, true, other);
}

void TSsList::Clear()
{
    TSsGuard guard(lock_);
    Nodes old = std::move(nodes_);
    nodes_.clear();
    where_.clear();
    count_ = 0;
    for (auto& n : old)
        DestroyNode(n.get());
}

void TSsList::Assign(TSsContainer& source)
{
    if (!source.IsPlainDataList()) {
        TSsContainer::Assign(source);
        return;
    }
    TSsGuard guard(lock_);
    TSsGuard sourceGuard(source.Lock());
    Clear();
    source.IterateData(
        [this](void* data, void*) {
            Append(data);
            return true;
        },
        nullptr);
}

void TSsList::StoreToStream(TStream& stream)
{
    TSsGuard guard(lock_);
    TMemoryStream buffer;
    TSsValueWriter w(buffer);
    w.WriteString(ClassName());
    w.WriteString(nodeClass_->Name);
    w.WriteListBegin();
    for (auto& n : nodes_)
        DoStoreData(w, n->Data);
    w.WriteListEnd();
    buffer.SetPosition(0);
    stream.CopyFrom(buffer, buffer.Size());
}

void TSsList::LoadFromStream(TStream& stream)
{
    TSsGuard guard(lock_);
    Clear();
    TSsValueReader r(stream);
    ReadHeader(r, false, "TSsList", "TSsListNode");
    r.ReadListBegin();
    while (!r.EndOfList())
        Append(DoLoadData(r));
    r.ReadListEnd();
}

void TSsDQue::PeekHead(void*& data)
{
    TSsGuard guard(lock_);
    TSsListNode* head = Head();
    data = head ? head->Data : nullptr;
}

void TSsDQue::PopHead()
{
    TSsGuard guard(lock_);
    Delete(Head());
}
