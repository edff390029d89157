#pragma once
// The engine shared by the shell controls (it enumerates one folder into the
// tree or the list) and the enumerator component built on it.
#include "SsShellItem.h"

#include <functional>
#include <memory>

class QWidget;
class QTreeWidgetItem;
class TSsCustomShellTreeView;
class TSsCustomShellListView;

// Special folders, in this order; each has the shell's special-folder number.
enum TSsSpecialRootFolder : uint8_t {
    sfAltStartup, sfAppData, sfBitBucket, sfCommonAltStartup, sfCommonDesktopDir,
    sfCommonFavorites, sfCommonPrograms, sfCommonStartMenu, sfCommonStartup, sfConnections,
    sfControls, sfCookies, sfDesktop, sfDesktopDir, sfDrives, sfFavorites, sfFonts, sfHistory,
    sfInternet, sfInternetCache, sfNetHood, sfNetwork, sfNone, sfPersonal, sfPrinters,
    sfPrintHood, sfPrograms, sfRecentFiles, sfSendTo, sfStartMenu, sfStartup, sfTemplates
};
// The special-folder number (sfNone shares the desktop's 0).
int SsSpecialFolderCSIDL(TSsSpecialRootFolder folder);
// Numbers 1 and 29 to 34 need a shell of version 4.7 or newer.
bool SsNeedsShell47(TSsSpecialRootFolder folder);
// Raises error 110 when the shell is too old for the folder.
void SsCheckSpecialFolder(TSsSpecialRootFolder folder, double shellVersion);
// A folder name as the controls keep it: a bare drive ("C:") gets its
// backslash ("C:\").
QString SsFolderWithDriveRoot(const QString& folder);
// The absolute list of a special folder; nil for the folders that have no
// counterpart here.
PSsIdList SHGetSpecialFolderLocation(TSsSpecialRootFolder folder);

enum TSsEnumMode { emTree = 0, emList = 1 };

class TSsCustomShellController : public TSsComponent {
public:
    LUMI_CLASSNAME(TSsCustomShellController)
    TSsCustomShellController();
    ~TSsCustomShellController() override;

    PSsNamespaceFolder DesktopFolder;
    QWidget* DragSource = nullptr;                  // control that started the drag
    TSsCustomShellListView* ListView = nullptr;     // linked list (not owned)
    TSsCustomShellTreeView* TreeView = nullptr;     // linked tree (not owned)
    QTreeWidgetItem* TargetNode = nullptr;          // node the next tree enumeration fills
    TSsShellItemList ItemList;
    // The system image lists (shared).
    TSsSystemImageList& Images() const { return TSsSystemImageList::Instance(); }

    // Enumerates a folder into the linked tree (under TargetNode) or list.
    void EnumerateFolder(const TSsIdList* idList, TSsEnumMode mode);
};

enum TSsEnumeratorOption { eoIncludeFolders = 1, eoIncludeHidden = 2, eoIncludeNonFolders = 4 };
using TSsEnumeratorOptionsSet = uint8_t;
enum TSsSortDirection { sdAscending, sdDescending, sdToggle };
using TSsEnumItemEvent = std::function<void(TObject* sender, TSsShellItem* item, bool& accept)>;

class TSsShellEnumerator : public TSsCustomShellController {
public:
    LUMI_CLASSNAME(TSsShellEnumerator)
    TSsShellEnumerator();
    ~TSsShellEnumerator() override;

    TSsEnumeratorOptionsSet Options = eoIncludeFolders | eoIncludeNonFolders;
    TSsEnumItemEvent OnEnumItem;

    const QString& RootFolder() const { return rootFolder_; }
    void SetRootFolder(const QString& folder);
    // Takes the list over; the caller then calls Execute.
    void SetRootPidl(PSsIdList idList);
    const TSsIdList* RootPidl() const { return rootList_.get(); }
    TSsSpecialRootFolder SpecialRootFolder() const { return special_; }
    void SetSpecialRootFolder(TSsSpecialRootFolder value);
    bool Sorted() const { return sorted_; }
    void SetSorted(bool value);
    TSsSortDirection SortDirection() const { return direction_; }
    void SetSortDirection(TSsSortDirection value);
    TSsShellFolder* RootItem() const { return rootItem_.get(); }

    // Fills the item list with the root's children.
    void Execute();

protected:
    virtual void DoEnumItem(TSsShellItem* item, bool& accept);

private:
    void Sort();
    std::unique_ptr<TSsShellFolder> rootItem_;
    QString rootFolder_;
    PSsIdList rootList_;
    double shellVersion_;
    TSsSpecialRootFolder special_ = sfNone;
    bool sorted_ = true;
    TSsSortDirection direction_ = sdAscending;
};
