#include "SsShellItem.h"
#include "SsShellController.h"


#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>

// ---- routines -------------------------------------------------------------------------

PSsIdList ShellParseDisplayName(const QString& path, const TSsNamespaceFolder& folder)
{
    return folder.ParseDisplayName(path);
}

PSsNamespaceFolder GetParentFolder(const TSsIdList* idList)
{
    if (!idList || idList->Count() < 2)
        return nullptr;
    PSsIdList parent = SsILClone(idList);
    SsILRemoveLastID(parent.get());
    return TSsNamespaceFolder::Desktop()->BindToObject(*parent);
}

PSsNamespaceFolder BindToFolder(const TSsNamespaceFolder& folder, const TSsIdList& idList)
{
    return folder.BindToObject(idList);
}

QString GetItemDisplayName(const TSsNamespaceFolder& folder, const TSsIdList& idList, uint32_t flags)
{
    return folder.GetDisplayNameOf(idList, flags);
}

namespace {
// The parent folder and the last identifier of an absolute list.
PSsNamespaceFolder ParentOf(const TSsIdList* idList, PSsIdList& rel)
{
    rel = idList ? SsILFindLast(idList) : nullptr;
    if (!rel)
        rel = std::make_unique<TSsIdList>();
    PSsNamespaceFolder parent = GetParentFolder(idList);
    return parent ? parent : TSsNamespaceFolder::Desktop();
}
}  // namespace

TSsShellItemInfo GetShellItemInfo(const TSsIdList* idList)
{
    TSsShellItemInfo info;
    if (!idList)
        return info;
    PSsIdList rel;
    PSsNamespaceFolder parent = ParentOf(idList, rel);
    info.DisplayName = parent->GetDisplayNameOf(*rel, SHGDN_NORMAL);
    const bool desktop = idList->Count() == 0;
    info.Attributes = desktop ? SFGAO_FOLDER : parent->GetAttributesOf(*rel, SFGAO_FOLDER | SFGAO_SHARE | SFGAO_LINK);
    const QString path = parent->GetDisplayNameOf(*rel, SHGDN_FORPARSING);
    const bool folder = info.Attributes & SFGAO_FOLDER;
    const bool root = idList->Count() == 1;
    TSsSystemImageList& images = TSsSystemImageList::Instance();
    info.ImageIndex = images.IndexOf(path, folder, root, desktop, false);
    info.OpenImageIndex = folder ? images.IndexOf(path, folder, root, desktop, true) : info.ImageIndex;
    return info;
}

void GetShellItemImages(const TSsIdList* idList, int& image, int& openImage, int& overlay,
                        QString* displayName)
{
    const TSsShellItemInfo info = GetShellItemInfo(idList);
    image = info.ImageIndex;
    openImage = info.OpenImageIndex;
    overlay = (info.Attributes & SFGAO_SHARE) ? 0 : (info.Attributes & SFGAO_LINK) ? 1 : -1;
    if (displayName)
        *displayName = info.DisplayName;
}

// ---- items ------------------------------------------------------------------------------

TSsShellItem::TSsShellItem(TSsCustomShellController* controller) : Controller(controller)
{
    if (!Controller) {
        ownController_ = std::make_unique<TSsCustomShellController>();
        Controller = ownController_.get();
    }
}

TSsShellItem::TSsShellItem(const TSsIdList* idList, TSsCustomShellController* controller,
                           PSsNamespaceFolder parent)
    : TSsShellItem(controller)
{
    if (!idList)
        return;
    AbsoluteList = SsILClone(idList);
    RelativeList = SsILFindLast(idList);
    if (!RelativeList)
        RelativeList = std::make_unique<TSsIdList>();
    ParentFolder = parent ? parent : GetParentFolder(idList);
    if (!ParentFolder)
        ParentFolder = TSsNamespaceFolder::Desktop();
    Path = ParentFolder->GetDisplayNameOf(*RelativeList, SHGDN_FORPARSING);
    DisplayName = ParentFolder->GetDisplayNameOf(*RelativeList, SHGDN_NORMAL);
    IsDesktop = idList->Count() == 0;
    const uint32_t a =
        IsDesktop ? 0 : ParentFolder->GetAttributesOf(*RelativeList, SFGAO_FILESYSTEM | SFGAO_FOLDER);
    IsFileSystem = a & SFGAO_FILESYSTEM;
    IsFileFolder = IsFileSystem && (a & SFGAO_FOLDER);
    IsFile = IsFileSystem && !(a & SFGAO_FOLDER);
}

TSsShellItem::~TSsShellItem() = default;

void TSsShellItem::CopyData(const TSsShellItem& source)
{
    date_ = source.date_;
    size_ = source.size_;
    DisplayName = source.DisplayName;
    FileAttributes = source.FileAttributes;
    AttributeText = source.AttributeText;
    imageIndex_ = source.imageIndex_;
    openImageIndex_ = source.openImageIndex_;
    overlayIndex_ = source.overlayIndex_;
    IsDesktop = source.IsDesktop;
    IsFile = source.IsFile;
    IsFileFolder = source.IsFileFolder;
    IsFileSystem = source.IsFileSystem;
    Path = source.Path;
    OwnerList = source.OwnerList;
    AbsoluteList = SsILClone(source.AbsoluteList.get());
    ColumnTexts.clear();
    ParentFolder = GetParentFolder(AbsoluteList.get());
    if (!ParentFolder)
        ParentFolder = TSsNamespaceFolder::Desktop();
}

void TSsShellItem::Assign(const TSsShellItem& source)
{
    CopyData(source);
    RelativeList = SsILClone(source.RelativeList.get());
    if (!source.ownController_)
        Controller = source.Controller;
}

bool TSsShellItem::Exists() const
{
    return IsDesktop || SsEntryExists(NativePath());
}

int64_t TSsShellItem::GetSize()
{
    if (size_ == -1)
        LoadFileData();
    return size_;
}

TDateTime TSsShellItem::GetDate()
{
    if (size_ == -1)
        LoadFileData();
    return date_;
}

void TSsShellItem::LoadFileData()
{
    if (!IsFileSystem || !ParentFolder || !RelativeList)
        return;
    TSsFindData data;
    if (!ParentFolder->GetFileData(*RelativeList, data)) {
        size_ = 0;
        return;
    }
    size_ = data.Size;
    date_ = data.LastWrite;
    FileAttributes = data.Attributes;
    if (FileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        IsFileFolder = true;
    AttributeText.clear();
    const std::pair<uint32_t, char> letters[] = {{FILE_ATTRIBUTE_HIDDEN, 'H'},
                                                 {FILE_ATTRIBUTE_SYSTEM, 'S'},
                                                 {FILE_ATTRIBUTE_READONLY, 'R'},
                                                 {FILE_ATTRIBUTE_COMPRESSED, 'C'},
                                                 {FILE_ATTRIBUTE_ARCHIVE, 'A'}};
    for (auto [bit, letter] : letters)
        if (FileAttributes & bit)
            AttributeText += QLatin1Char(letter);
}

int TSsShellItem::GetImageIndex()
{
    if (imageIndex_ == -1)
        GetShellItemImages(AbsoluteList.get(), imageIndex_, openImageIndex_, overlayIndex_);
    return imageIndex_;
}

int TSsShellItem::GetOpenImageIndex()
{
    GetImageIndex();
    return openImageIndex_;
}

int TSsShellItem::GetOverlayIndex()
{
    GetImageIndex();
    return overlayIndex_;
}

void TSsShellItem::SetImages(int image, int openImage, int overlay)
{
    imageIndex_ = image;
    openImageIndex_ = openImage;
    overlayIndex_ = overlay;
}

const QIcon& TSsShellItem::GetLargeIcon()
{
    if (!largeIcon_) {
        const int index = GetImageIndex();
        TSsSystemImageList& images = TSsSystemImageList::Instance();
        largeIcon_ = std::make_unique<QIcon>(
            GetOverlayIndex() == 1 ? QIcon(images.Pixmap(index, SsLargeIconSize, 1)) : images.Icon(index));
    }
    return *largeIcon_;
}

bool TSsShellItem::Attribute(uint32_t bit, bool falseForDesktop) const
{
    if ((falseForDesktop && IsDesktop) || !ParentFolder || !RelativeList)
        return false;
    return ParentFolder->GetAttributesOf(*RelativeList, bit) & bit;
}

bool TSsShellItem::CanRename() const { return Attribute(SFGAO_CANRENAME, true); }
bool TSsShellItem::HasSubFolder() const { return Attribute(SFGAO_HASSUBFOLDER, true); }
bool TSsShellItem::IsCompressed() const { return Attribute(SFGAO_COMPRESSED, true); }
bool TSsShellItem::IsFileSystemAncestor() const { return Attribute(SFGAO_FILESYSANCESTOR, true); }
bool TSsShellItem::IsHidden() const { return Attribute(SFGAO_GHOSTED, true); }
bool TSsShellItem::IsLink() const { return Attribute(SFGAO_LINK, true); }
bool TSsShellItem::IsShared() const { return Attribute(SFGAO_SHARE, false); }
bool TSsShellItem::IsFolder() const { return Attribute(SFGAO_FOLDER, false); }

int32_t TSsShellItem::DropEffects() const
{
    if (!ParentFolder || !RelativeList)
        return 0;
    return int32_t(ParentFolder->GetAttributesOf(*RelativeList, SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK));
}

std::unique_ptr<TSsFolderDropTarget> TSsShellItem::DropTarget() const
{
    if (!RelativeList)
        return nullptr;
    const PSsNamespaceFolder parent = ParentFolder ? ParentFolder : TSsNamespaceFolder::Desktop();
    return parent->GetDropTarget(*RelativeList);
}

bool TSsShellItem::Open()
{
    const QByteArray path = SsIdListToNativePath(AbsoluteList.get());
    if (path.isEmpty())
        return false;
    return QDesktopServices::openUrl(SsNativePathToUrl(path));
}

TSsShellFolder::TSsShellFolder(TSsCustomShellController* controller) : TSsShellItem(controller) {}

TSsShellFolder::TSsShellFolder(const TSsIdList* idList, TSsCustomShellController* controller,
                               PSsNamespaceFolder parent)
    : TSsShellItem(idList, controller, std::move(parent))
{
}

void TSsShellFolder::Assign(const TSsShellItem& source)
{
    CopyData(source);
    if (source.RelativeList)
        RelativeList = SsILClone(source.RelativeList.get());
}

// ---- lists ----------------------------------------------------------------------------------

TSsShellItem* TSsShellItemList::Add(std::unique_ptr<TSsShellItem> item)
{
    items_.push_back(std::move(item));
    return items_.back().get();
}

TSsShellItem* TSsShellItemList::Insert(int index, std::unique_ptr<TSsShellItem> item)
{
    return items_.insert(items_.begin() + index, std::move(item))->get();
}

void TSsShellItemList::Delete(int index)
{
    items_.erase(items_.begin() + index);
}

TSsShellItem* TSsShellItemList::GetItem(int index) const
{
    return index >= 0 && index < int(items_.size()) ? items_[size_t(index)].get() : nullptr;
}

void TSsShellItemList::Sort(const std::function<int(TSsShellItem*, TSsShellItem*)>& compare)
{
    std::stable_sort(items_.begin(), items_.end(),
                     [&](const auto& a, const auto& b) { return compare(a.get(), b.get()) < 0; });
}

int TSsShellFolderList::Add(std::unique_ptr<TSsShellFolder> folder)
{
    items_.push_back(std::move(folder));
    return int(items_.size()) - 1;
}

TSsShellFolder* TSsShellFolderList::GetItem(int index) const
{
    return index >= 0 && index < int(items_.size()) ? items_[size_t(index)].get() : nullptr;
}

void TSsShellFolderList::FreeSlot(int index)
{
    if (index >= 0 && index < int(items_.size()))
        items_[size_t(index)].reset();
}

void TSsShellFolderList::SetSlot(int index, std::unique_ptr<TSsShellFolder> folder)
{
    if (index >= 0 && index < int(items_.size()))
        items_[size_t(index)] = std::move(folder);
}

std::unique_ptr<TSsShellFolder> TSsShellFolderList::TakeSlot(int index)
{
    if (index < 0 || index >= int(items_.size()))
        return nullptr;
    return std::move(items_[size_t(index)]);
}

void TSsShellFolderList::Insert(int index, std::unique_ptr<TSsShellFolder> folder)
{
    index = std::clamp(index, 0, int(items_.size()));
    items_.insert(items_.begin() + index, std::move(folder));
}

void TSsShellFolderList::Delete(int index)
{
    if (index >= 0 && index < int(items_.size()))
        items_.erase(items_.begin() + index);
}

// ---- orderings -----------------------------------------------------------------------------

namespace {
int Sign(int v)
{
    return v < 0 ? -1 : v > 0 ? 1 : 0;
}

// Folders come first; 0 when both are of the same kind.
int FoldersFirst(TSsShellItem* a, TSsShellItem* b)
{
    if (a->IsFileFolder == b->IsFileFolder)
        return 0;
    return a->IsFileFolder ? -1 : 1;
}

QString Column(TSsShellItem* item, int column)
{
    return column >= 0 && column < item->ColumnTexts.size() ? item->ColumnTexts[column] : QString();
}

QString Extension(const QString& path)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix();
    return suffix.isEmpty() ? QString() : '.' + suffix;
}
}  // namespace

int SsCompareByName(TSsShellItem* a, TSsShellItem* b)
{
    if (!a->ParentFolder || !a->RelativeList || !b->RelativeList)
        return 0;
    return int(int16_t(a->ParentFolder->CompareIDs(*a->RelativeList, *b->RelativeList)));
}

int SsCompareByNameDesc(TSsShellItem* a, TSsShellItem* b)
{
    return SsCompareByName(b, a);
}

int SsCompareBySize(TSsShellItem* a, TSsShellItem* b)
{
    if (int f = FoldersFirst(a, b))
        return f;
    const int64_t x = a->GetSize(), y = b->GetSize();
    if (x != y)
        return x < y ? -1 : 1;
    return Sign(a->Path.compare(b->Path, Qt::CaseInsensitive));
}

int SsCompareByType(TSsShellItem* a, TSsShellItem* b, int column)
{
    if (int f = FoldersFirst(a, b))
        return f;
    if (a->IsFileFolder)
        return Sign(a->DisplayName.compare(b->DisplayName, Qt::CaseInsensitive));
    return Sign(QString::localeAwareCompare(Column(a, column).toLower(), Column(b, column).toLower()));
}

int SsCompareByExtension(TSsShellItem* a, TSsShellItem* b)
{
    if (int f = FoldersFirst(a, b))
        return f;
    if (a->IsFileFolder)
        return Sign(a->DisplayName.compare(b->DisplayName, Qt::CaseInsensitive));
    return Sign(QString::localeAwareCompare(Extension(a->Path), Extension(b->Path)));
}

int SsCompareByDate(TSsShellItem* a, TSsShellItem* b)
{
    if (int f = FoldersFirst(a, b))
        return f;
    const TDateTime x = a->GetDate(), y = b->GetDate();
    return x > y ? -1 : x < y ? 1 : 0;
}

int SsCompareByAttributes(TSsShellItem* a, TSsShellItem* b, int column)
{
    if (int f = FoldersFirst(a, b))
        return f;
    return Sign(Column(a, column).compare(Column(b, column), Qt::CaseInsensitive));
}

int SsCompareByColumn(TSsShellItem* a, TSsShellItem* b, int column)
{
    return Sign(Column(a, column).compare(Column(b, column), Qt::CaseInsensitive));
}
