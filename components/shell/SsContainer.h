#pragma once
// Thread-safe containers of the shell library: a string-keyed hash
// dictionary, a doubly linked list and a double-ended queue on it. The
// containers hold untyped data; what happens to a datum when its node goes
// is up to the container's dispose routine.
#include "Classes.h"
#include "SsBase.h"

#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

class TSsContainer;
class TStringList;

// Self-describing values of the container stream format: type-tagged
// integers and strings, and lists ended by a null marker.
class TSsValueWriter {
public:
    explicit TSsValueWriter(TStream& stream) : stream_(stream) {}
    void WriteInteger(int32_t v);
    void WriteString(const AnsiString& s);
    void WriteListBegin();
    void WriteListEnd();
private:
    TStream& stream_;
};

class TSsValueReader {
public:
    explicit TSsValueReader(TStream& stream) : stream_(stream) {}
    // EReadError "Invalid stream format" when the next value has another type.
    int32_t ReadInteger();
    AnsiString ReadString();
    void ReadListBegin();
    bool EndOfList();
    void ReadListEnd();
private:
    uint8_t ReadTag(uint8_t expected);
    TStream& stream_;
};

// ---- nodes ----------------------------------------------------------------------------

class TSsNode : public TObject {
public:
    LUMI_CLASSNAME(TSsNode)
    explicit TSsNode(void* data) : Data(data) {}
    void* Data;
};

class TSsDictNode : public TSsNode {
public:
    LUMI_CLASSNAME(TSsDictNode)
    TSsDictNode(const AnsiString& name, void* data) : TSsNode(data), Name(name) {}
    AnsiString Name;
};

class TSsListNode : public TSsNode {
public:
    LUMI_CLASSNAME(TSsListNode)
    using TSsNode::TSsNode;
};

// The class of the nodes a container makes: its name, its ancestor and a
// factory. Stream loading checks class names against the registry.
struct TSsNodeClass {
    const char* Name;
    const TSsNodeClass* Parent;
    std::function<std::unique_ptr<TSsNode>(void* data)> Create;
};
extern const TSsNodeClass SsListNodeClass;
extern const TSsNodeClass SsDictNodeClass;

// Registry of container and node class names with their ancestors.
void SsRegisterClassName(const AnsiString& name, const AnsiString& parent);
bool SsIsClassRegistered(const AnsiString& name);
bool SsInheritsFrom(const AnsiString& name, const AnsiString& ancestor);

// ---- container base ---------------------------------------------------------------

class TSsContainer : public TObject {
public:
    LUMI_CLASSNAME(TSsContainer)
    ~TSsContainer() override = default;

    std::function<int(void* data1, void* data2)> Compare;
    std::function<void(void* data)> DisposeData;
    std::function<void*(TSsValueReader& reader)> LoadData;
    std::function<void(TSsValueWriter& writer, void* data)> StoreData;

    std::function<void(TSsContainer* sender, void* data1, void* data2, int& result)> OnCompare;
    std::function<void(TSsContainer* sender, void* data)> OnDisposeData;
    std::function<void(TSsContainer* sender, TSsValueReader& reader, void*& data)> OnLoadData;
    std::function<void(TSsContainer* sender, TSsValueWriter& writer, void* data)> OnStoreData;

    int32_t Count() const
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        return count_;
    }
    const TSsNodeClass* NodeClass() const { return nodeClass_; }

    // Calls action for each datum until it answers false.
    virtual void IterateData(const std::function<bool(void* data, void* other)>& action, void* other) {}
    // Slots no container of the library fills.
    virtual void EmptyHookA() {}
    virtual void GetZeroSizes(int32_t& size1, int32_t& size2, int32_t& size3) const { size1 = size2 = size3 = 0; }
    virtual void EmptyHookB(void* arg1, void* arg2) {}
    virtual bool IsPlainDataList() const { return false; }
    virtual bool IsSecondFlagSet() const { return false; }
    virtual void Clear() = 0;
    virtual int DoCompare(void* data1, void* data2);
    virtual void DoDisposeData(void* data);
    virtual void* DoLoadData(TSsValueReader& reader);
    virtual void DoStoreData(TSsValueWriter& writer, void* data);

    // Passes the node's data to the dispose routine; the caller frees the node.
    void DestroyNode(TSsNode* node);

    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void StoreToStream(TStream& stream) = 0;
    void LoadFromFile(const QString& name);
    void StoreToFile(const QString& name);

    // Copies another container; what cannot be copied raises error 52.
    virtual void Assign(TSsContainer& source);

    // Locks the container for a sequence of calls (re-entrant).
    std::recursive_mutex& Lock() { return lock_; }

protected:
    explicit TSsContainer(const TSsNodeClass* nodeClass) : nodeClass_(nodeClass) {}
    // Reads and checks the class names at the start of a stream.
    void ReadHeader(TSsValueReader& r, bool exactClasses, const char* baseClass,
                    const char* baseNode);

    mutable std::recursive_mutex lock_;
    const TSsNodeClass* nodeClass_;
    int32_t count_ = 0;
};

using TSsGuard = std::lock_guard<std::recursive_mutex>;

// ---- dictionary ---------------------------------------------------------------------

class TSsDictionary : public TSsContainer {
public:
    LUMI_CLASSNAME(TSsDictionary)
    explicit TSsDictionary(int32_t hashSize);
    ~TSsDictionary() override;

    // 0 means equal; the default ignores case.
    std::function<int(const AnsiString& a, const AnsiString& b)> Equal;
    std::function<uint32_t(const AnsiString& name, int32_t size)> Hash;
    std::function<void(TSsContainer* sender, const AnsiString& a, const AnsiString& b, int& result)>
        OnEqual;

    int32_t HashSize() const { return hashSize_; }
    void SetHashSize(int32_t size);
    TSsDictNode* Add(const AnsiString& name, void* data);
    bool Find(const AnsiString& name, void*& data);
    void Delete(const AnsiString& name);
    // Visits bucket after bucket; returns the node where action answered false.
    TSsDictNode* Iterate(const std::function<bool(TSsContainer*, TSsDictNode*, void*)>& action,
                         void* other);
    void IterateData(const std::function<bool(void* data, void* other)>& action, void* other) override;
    void Clear() override;
    virtual int DoEqual(const AnsiString& a, const AnsiString& b);
    void Assign(TSsContainer& source) override;
    // Each line with its object as data.
    void AssignStrings(const TStringList& source);

    void LoadFromStream(TStream& stream) override;
    void StoreToStream(TStream& stream) override;

private:
    using Bucket = std::vector<std::unique_ptr<TSsDictNode>>;
    // Bucket and position of name; -1 position when absent.
    size_t FindNode(const AnsiString& name, size_t& bucket);
    std::vector<Bucket> table_;
    int32_t hashSize_ = 0;
};

// The default hash: the upper-cased name, each character rotated left by
// its position and XOR-ed in, modulo the size.
uint32_t SsDefaultHash(const AnsiString& name, int32_t size);

// ---- list and queue ------------------------------------------------------------------

class TSsList : public TSsContainer {
public:
    LUMI_CLASSNAME(TSsList)
    explicit TSsList(const TSsNodeClass* nodeClass = &SsListNodeClass);
    ~TSsList() override;

    TSsListNode* Append(void* data);
    // Error 52 for a node of another class; nil or an empty list do nothing.
    void Delete(TSsListNode* node);
    TSsListNode* Head() const;
    TSsListNode* Tail() const;
    TSsListNode* Next(TSsListNode* node) const;
    TSsListNode* Prev(TSsListNode* node) const;
    TSsListNode* Iterate(const std::function<bool(TSsContainer*, TSsListNode*, void*)>& action,
                         bool up, void* other);
    void IterateData(const std::function<bool(void* data, void* other)>& action, void* other) override;
    bool IsPlainDataList() const override { return true; }
    void Clear() override;
    // From a plain data list: its data appended in order.
    void Assign(TSsContainer& source) override;

    void LoadFromStream(TStream& stream) override;
    void StoreToStream(TStream& stream) override;

private:
    using Nodes = std::list<std::unique_ptr<TSsListNode>>;
    Nodes nodes_;
    std::unordered_map<const TSsListNode*, Nodes::iterator> where_;
};

class TSsDQue : public TSsList {
public:
    LUMI_CLASSNAME(TSsDQue)
    using TSsList::TSsList;
    // Data of the head node; nil when empty.
    void PeekHead(void*& data);
    // Deletes the head node, disposing its data; nothing when empty.
    void PopHead();
};
