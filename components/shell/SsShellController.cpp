#include "SsShellController.h"

#include "SsShellListView.h"
#include "SsShellTreeView.h"
#include "SysUtils.h"

#include <QDir>
#include <QStandardPaths>

// ---- special folders -------------------------------------------------------------------

int SsSpecialFolderCSIDL(TSsSpecialRootFolder folder)
{
    static const int numbers[] = {29, 26, 10, 30, 25, 31, 23, 22, 24, 49, 3, 33, 0, 16, 17, 6,
                                  20, 34, 1, 32, 19, 18, 0, 5, 4, 27, 2, 8, 9, 11, 7, 21};
    return numbers[folder];
}

bool SsNeedsShell47(TSsSpecialRootFolder folder)
{
    const int n = SsSpecialFolderCSIDL(folder);
    return n == 1 || (n >= 29 && n <= 34);
}

void SsCheckSpecialFolder(TSsSpecialRootFolder folder, double shellVersion)
{
    if (SsNeedsShell47(folder) && shellVersion < 4.7)
        RaiseSsError<ESsShellError>(SsscShellVersionError);
}

QString SsFolderWithDriveRoot(const QString& folder)
{
    if (folder.size() == 2 && folder.contains(':'))
        return folder + '\\';
    return folder;
}

PSsIdList SHGetSpecialFolderLocation(TSsSpecialRootFolder folder)
{
    QString path;
    switch (folder) {
    case sfDesktop:
    case sfNone: return std::make_unique<TSsIdList>();
    case sfDesktopDir: path = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation); break;
    case sfPersonal: path = UserDocumentsFolder(); break;
    case sfDrives: path = QDir::rootPath(); break;
    case sfAppData: path = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation); break;
    case sfFonts: path = QStandardPaths::writableLocation(QStandardPaths::FontsLocation); break;
    case sfInternetCache: path = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation); break;
    case sfPrograms:
    case sfStartMenu: path = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation); break;
    case sfStartup:
        path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/autostart";
        break;
    default:
        // The recycle bin, control panel, printers, network places, the
        // browser's folders, "Send To", templates, recent files and the
        // all-users folders have no counterpart here.
        return nullptr;
    }
    return TSsNamespaceFolder::Desktop()->ParseDisplayName(path);
}

// ---- controller ---------------------------------------------------------------------------

TSsCustomShellController::TSsCustomShellController() : DesktopFolder(TSsNamespaceFolder::Desktop()) {}

TSsCustomShellController::~TSsCustomShellController() = default;

void TSsCustomShellController::EnumerateFolder(const TSsIdList* idList, TSsEnumMode mode)
{
    if (!idList)
        return;
    PSsNamespaceFolder folder;
    if (idList->Count() == 0)
        folder = DesktopFolder;
    else {
        PSsIdList rel = SsILFindLast(idList);
        PSsNamespaceFolder parent = GetParentFolder(idList);
        folder = (parent ? parent : DesktopFolder)->BindToObject(parent ? *rel : *idList);
    }
    if (!folder)
        return;

    uint32_t flags;
    if (mode == emTree) {
        const TSsTreeOptionsSet options = TreeView ? TreeView->Options() : 0;
        flags = SHCONTF_FOLDERS;
        if (options & toShowFiles)
            flags |= SHCONTF_NONFOLDERS;
        if (options & toShowHidden)
            flags |= SHCONTF_INCLUDEHIDDEN;
    } else {
        flags = SHCONTF_NONFOLDERS | SHCONTF_FOLDERS;
        if (ListView && (ListView->Options & loShowHidden))
            flags |= SHCONTF_INCLUDEHIDDEN;
    }
    const auto children = folder->EnumObjects(flags);
    if (!children)
        return;
    for (const QByteArray& child : *children) {
        TSsIdList rel({child});
        PSsIdList abs = SsILCombine(idList, &rel);
        if (mode == emList) {
            if (!ListView)
                return;
            auto item = std::make_unique<TSsShellItem>(abs.get(), this, folder);
            item->OwnerList = &ListView->FullList();
            ListView->AddEnumeratedItem(std::move(item));
            continue;
        }
        if (!TreeView)
            return;
        auto item = std::make_unique<TSsShellFolder>(abs.get(), this, folder);
        bool accept = true;
        TreeView->DoFilterItem(item.get(), accept);
        if (!accept)
            continue;
        const bool showFiles = TreeView->Options() & toShowFiles;
        const bool isFolder = item->IsFolder();
        bool button = false;
        if (item->HasSubFolder() || (showFiles && isFolder)) {
            const int type = SsGetDriveType(item->Path);
            button = type == DRIVE_REMOVABLE || type == DRIVE_NO_ROOT_DIR || type == DRIVE_CDROM ||
                     type == DRIVE_REMOTE;
            if (!button) {
                PSsNamespaceFolder sub = folder->BindToObject(rel);
                button = sub && sub->EnumObjects(SHCONTF_FOLDERS).has_value();
            }
        }
        item->OwnerList = &TreeView->FolderList();
        TreeView->AddFolderNode(TargetNode, std::move(item), button);
    }
}

// ---- enumerator --------------------------------------------------------------------------------

TSsShellEnumerator::TSsShellEnumerator() : shellVersion_(SsShellVersion()) {}

TSsShellEnumerator::~TSsShellEnumerator() = default;

void TSsShellEnumerator::SetRootFolder(const QString& folder)
{
    rootFolder_ = SsFolderWithDriveRoot(folder);
    if (!rootFolder_.isEmpty()) {
        special_ = sfNone;
        rootList_.reset();
    }
}

void TSsShellEnumerator::SetRootPidl(PSsIdList idList)
{
    rootList_ = std::move(idList);
    special_ = sfNone;
    rootFolder_.clear();
}

void TSsShellEnumerator::SetSpecialRootFolder(TSsSpecialRootFolder value)
{
    SsCheckSpecialFolder(value, shellVersion_);
    if (value != special_) {
        special_ = value;
        if (value != sfNone)
            rootFolder_.clear();
    }
    rootList_.reset();
}

void TSsShellEnumerator::SetSorted(bool value)
{
    sorted_ = value;
    if (value && ItemList.GetCount() > 0)
        Sort();
}

void TSsShellEnumerator::SetSortDirection(TSsSortDirection value)
{
    if (value == sdToggle)
        RaiseSsError<ESsInvalidSortDir>(SsscInvalidSortDir);
    const bool resort = sorted_ && ItemList.GetCount() > 0 && value != direction_;
    direction_ = value;
    if (resort)
        Sort();
}

void TSsShellEnumerator::Sort()
{
    ItemList.Sort(direction_ == sdDescending ? SsCompareByNameDesc : SsCompareByName);
}

void TSsShellEnumerator::DoEnumItem(TSsShellItem* item, bool& accept)
{
    if (OnEnumItem)
        OnEnumItem(this, item, accept);
}

void TSsShellEnumerator::Execute()
{
    if (special_ == sfNone && rootFolder_.isEmpty() && !rootList_)
        return;
    rootItem_.reset();
    ItemList.Clear();
    if (!rootFolder_.isEmpty()) {
        rootList_ = DesktopFolder->ParseDisplayName(rootFolder_);
        if (!rootList_)
            RaiseSsError<ESsInvalidFolder>(SsscInvalidFolder);
    } else if (!rootList_) {
        rootList_ = SHGetSpecialFolderLocation(special_);
        if (!rootList_)
            RaiseSsError<ESsShellError>(SsscShellVersionError);
    }
    rootItem_ = std::make_unique<TSsShellFolder>(rootList_.get(), this);

    uint32_t flags = 0;
    if (Options & eoIncludeFolders)
        flags |= SHCONTF_FOLDERS;
    if (Options & eoIncludeNonFolders)
        flags |= SHCONTF_NONFOLDERS;
    if (Options & eoIncludeHidden)
        flags |= SHCONTF_INCLUDEHIDDEN;

    // A folder that cannot be opened is an error, not the desktop.
    PSsNamespaceFolder folder =
        rootList_->Count() == 0
            ? DesktopFolder
            : rootItem_->ParentFolder->BindToObject(*rootItem_->RelativeList);
    if (!folder)
        RaiseSsError<ESsInvalidFolder>(SsscInvalidFolder);
    const auto children = folder->EnumObjects(flags);
    if (!children)
        RaiseSsError<ESsInvalidFolder>(SsscInvalidFolder);
    for (const QByteArray& child : *children) {
        TSsIdList rel({child});
        PSsIdList abs = SsILCombine(rootList_.get(), &rel);
        auto item = std::make_unique<TSsShellItem>(abs.get(), this, folder);
        item->OwnerList = &ItemList;
        bool accept = true;
        DoEnumItem(item.get(), accept);
        if (accept)
            ItemList.Add(std::move(item));
    }
    if (sorted_ && ItemList.GetCount() > 0)
        Sort();
}
