#pragma once
// Shell items: one object per namespace entry (a file, a folder, a volume or
// the desktop), with lazily loaded file data, icons and attributes, and the
// lists that own them.
#include "Classes.h"
#include "SsNamespace.h"

#include <QIcon>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class TSsCustomShellController;

class TSsShellItem : public TObject {
public:
    LUMI_CLASSNAME(TSsShellItem)
    // An empty item. Without a controller the item makes one of its own.
    explicit TSsShellItem(TSsCustomShellController* controller);
    static std::unique_ptr<TSsShellItem> CreateForController(TSsCustomShellController* controller)
    {
        return std::make_unique<TSsShellItem>(controller);
    }
    // The item of an absolute list. Parent is the folder that holds it when
    // the caller has it at hand (else it is bound from the desktop).
    TSsShellItem(const TSsIdList* idList, TSsCustomShellController* controller,
                 PSsNamespaceFolder parent = nullptr);
    ~TSsShellItem() override;
    TSsShellItem(const TSsShellItem&) = delete;
    TSsShellItem& operator=(const TSsShellItem&) = delete;

    // Copies everything but the column texts (emptied); the controller too,
    // unless it is the source's own.
    virtual void Assign(const TSsShellItem& source);

    // Sub-item texts of the file list: size, type, modified, attributes.
    QStringList ColumnTexts;
    TSsCustomShellController* Controller = nullptr;
    QString DisplayName;
    QString Path;
    uint32_t FileAttributes = 0;
    QString AttributeText;
    bool IsDesktop = false;
    bool IsFile = false;
    bool IsFileFolder = false;
    bool IsFileSystem = false;
    PSsNamespaceFolder ParentFolder;
    PSsIdList AbsoluteList;
    PSsIdList RelativeList;
    TObject* OwnerList = nullptr;  // the list the item was put in (not owned)
    // The system's bytes of the item's path (Path is for showing): a name
    // that is no valid UTF-8 stays intact. Empty for the desktop.
    QByteArray NativePath() const { return SsIdListToNativePath(AbsoluteList.get()); }
    // Whether the entry is still there (a dangling link too).
    bool Exists() const;

    // File data, loaded on first use for file-system items.
    int64_t GetSize();
    TDateTime GetDate();
    bool FileDataLoaded() const { return size_ != -1; }
    void LoadFileData();
    // Icons, loaded on first use.
    int GetImageIndex();
    int GetOpenImageIndex();
    int GetOverlayIndex();
    void SetImages(int image, int openImage, int overlay);
    const QIcon& GetLargeIcon();

    // Attributes asked of the parent folder each time; false for the desktop.
    bool CanRename() const;
    bool HasSubFolder() const;
    bool IsCompressed() const;
    bool IsFileSystemAncestor() const;
    bool IsHidden() const;
    bool IsLink() const;
    bool IsShared() const;
    bool IsFolder() const;
    // The drop effects (copy, move, link) the parent folder allows.
    int32_t DropEffects() const;
    // The drop target of the item when it is a folder (nil otherwise); an
    // item without parent folder is a child of the desktop.
    std::unique_ptr<TSsFolderDropTarget> DropTarget() const;

    // Runs the default action of the item (opens it with its program).
    bool Open();

protected:
    bool Attribute(uint32_t bit, bool falseForDesktop) const;
    void CopyData(const TSsShellItem& source);

    TDateTime date_ = 0;
    int64_t size_ = -1;
    int imageIndex_ = -1;
    int openImageIndex_ = -1;
    int overlayIndex_ = -1;
    std::unique_ptr<QIcon> largeIcon_;
    std::unique_ptr<TSsCustomShellController> ownController_;
};

class TSsShellFolder : public TSsShellItem {
public:
    LUMI_CLASSNAME(TSsShellFolder)
    explicit TSsShellFolder(TSsCustomShellController* controller);
    static std::unique_ptr<TSsShellFolder> CreateForController(TSsCustomShellController* controller)
    {
        return std::make_unique<TSsShellFolder>(controller);
    }
    TSsShellFolder(const TSsIdList* idList, TSsCustomShellController* controller,
                   PSsNamespaceFolder parent = nullptr);
    // Keeps its own controller, level and temporary flag.
    void Assign(const TSsShellItem& source) override;
    int32_t Level = -1;       // entry level in the folder combo box
    bool Temporary = false;   // temporary entry of the folder combo box
};

// Items owned in order.
class TSsShellItemList : public TObject {
public:
    LUMI_CLASSNAME(TSsShellItemList)
    TSsShellItem* Add(std::unique_ptr<TSsShellItem> item);
    TSsShellItem* Insert(int index, std::unique_ptr<TSsShellItem> item);
    void Delete(int index);
    void Clear() { items_.clear(); }
    int GetCount() const { return int(items_.size()); }
    // Nil when Index is out of range.
    TSsShellItem* GetItem(int index) const;
    void Sort(const std::function<int(TSsShellItem*, TSsShellItem*)>& compare);
private:
    std::vector<std::unique_ptr<TSsShellItem>> items_;
};

// Folders owned by slot; a freed slot stays as nil so indices keep.
class TSsShellFolderList : public TObject {
public:
    LUMI_CLASSNAME(TSsShellFolderList)
    int Add(std::unique_ptr<TSsShellFolder> folder);
    void Clear() { items_.clear(); }
    int GetCount() const { return int(items_.size()); }
    TSsShellFolder* GetItem(int index) const;
    // Frees the folder of a slot and leaves the slot nil.
    void FreeSlot(int index);
    // Puts a folder into a slot (freeing what was there).
    void SetSlot(int index, std::unique_ptr<TSsShellFolder> folder);
    // Takes the folder out of a slot, leaving nil.
    std::unique_ptr<TSsShellFolder> TakeSlot(int index);
    void Insert(int index, std::unique_ptr<TSsShellFolder> folder);
    void Delete(int index);
private:
    std::vector<std::unique_ptr<TSsShellFolder>> items_;
};

// ---- shell routines -------------------------------------------------------------------

PSsIdList ShellParseDisplayName(const QString& path, const TSsNamespaceFolder& folder);
// The folder that holds IdList; nil for the desktop and its direct children.
PSsNamespaceFolder GetParentFolder(const TSsIdList* idList);
PSsNamespaceFolder BindToFolder(const TSsNamespaceFolder& folder, const TSsIdList& idList);
QString GetItemDisplayName(const TSsNamespaceFolder& folder, const TSsIdList& idList, uint32_t flags);

struct TSsShellItemInfo {
    QString DisplayName;
    uint32_t Attributes = 0;
    int ImageIndex = -1;
    int OpenImageIndex = -1;
};
TSsShellItemInfo GetShellItemInfo(const TSsIdList* idList);
// Image index, open image index and overlay (0 shared, 1 shortcut, -1 none).
void GetShellItemImages(const TSsIdList* idList, int& image, int& openImage, int& overlay,
                        QString* displayName = nullptr);

// ---- orderings --------------------------------------------------------------------------

int SsCompareByName(TSsShellItem* a, TSsShellItem* b);
int SsCompareByNameDesc(TSsShellItem* a, TSsShellItem* b);
int SsCompareBySize(TSsShellItem* a, TSsShellItem* b);
// Type column text; column is the type's index in the column texts.
int SsCompareByType(TSsShellItem* a, TSsShellItem* b, int column);
int SsCompareByExtension(TSsShellItem* a, TSsShellItem* b);
int SsCompareByDate(TSsShellItem* a, TSsShellItem* b);
int SsCompareByAttributes(TSsShellItem* a, TSsShellItem* b, int column);
int SsCompareByColumn(TSsShellItem* a, TSsShellItem* b, int column);
