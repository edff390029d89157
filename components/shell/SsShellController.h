#pragma once
// The engine shared by the shell controls (it enumerates one folder into the
// tree or the list) and the enumerator component built on it.
#include "SsShellItem.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

class QMenu;
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

// The find-folder animation played while a slow folder is read: a
// magnifying glass sweeping over a folder, on the colour of its control.
class TSsAnimate : public QWidget {
    Q_OBJECT
public:
    explicit TSsAnimate(QWidget* parent);
    void SetColor(const QColor& color);
    bool Active() const { return timer_.isActive(); }
    void SetActive(bool value);
    int Frame() const { return frame_; }
    static constexpr int FrameCount = 8;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QTimer timer_;
    int frame_ = 0;
};

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
    QPointer<TSsAnimate> Animation;                 // running search animation, or nil
    TSsShellItemList ItemList;
    // The system image lists (shared).
    TSsSystemImageList& Images() const { return TSsSystemImageList::Instance(); }

    // Enumerates a folder into the linked tree (under TargetNode) or list.
    // A folder of the list that is no file-system folder shows the search
    // animation until its first item arrives or the enumeration ends.
    void EnumerateFolder(const TSsIdList* idList, TSsEnumMode mode);
    // Frees the search animation, if any.
    void StopAnimation();
    // Adds a node for one folder of folder (rel its list there) under
    // TargetNode, with an expand button when it has something to show.
    void AddTreeItem(const PSsNamespaceFolder& folder, const TSsIdList& rel,
                     std::unique_ptr<TSsShellFolder> item);
};

// Shows the search animation centred on the linked list when it is showing.
void ShowSearchAnimation(TSsCustomShellController* Controller);

// The popup of a context menu at a screen point: the chosen command id, 0
// when the menu was dismissed. When set, the hook stands in for the user.
extern std::function<int(QMenu& Menu, const QPoint& ScreenPos)> SsTrackPopupMenuHook;
int SsTrackPopupMenu(QMenu& Menu, const QPoint& ScreenPos);

// Pops up the context menu of Count items of Folder (nil: the desktop) at
// the screen point (X, Y) and carries out the chosen command. Rename is
// offered when Control allows renaming, the extended verbs with Shift held
// when it asks for them. Answers the chosen command id (the rename command
// is cvRename + 1, 19), -1 when nothing was chosen. CreatedFolder, when
// given, receives the path of the folder New Folder made (the system's bytes).
int ShowShellContextMenu(TSsCustomShellController* Controller, QWidget* Control,
                         const TSsNamespaceFolder* Folder, QWidget* Window, int X, int Y, int Count,
                         const TSsIdList* const* IdLists, QByteArray* CreatedFolder = nullptr);

enum TSsEnumeratorOptions { eoIncludeFolders = 1, eoIncludeHidden = 2, eoIncludeNonFolders = 4 };
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
    // After Execute: the item it would list for one child of the root (the
    // system's bytes of its name) as it is now; nil when it would list none.
    std::unique_ptr<TSsShellItem> ItemOf(const QByteArray& name);
    // Puts an item into the item list at its place in the order (at the end
    // when unsorted); answers its index.
    int Insert(std::unique_ptr<TSsShellItem> item);

protected:
    virtual void DoEnumItem(TSsShellItem* item, bool& accept);

private:
    void Sort();
    std::unique_ptr<TSsShellFolder> rootItem_;
    PSsNamespaceFolder folder_;  // the root bound by Execute
    QString rootFolder_;
    PSsIdList rootList_;
    double shellVersion_;
    TSsSpecialRootFolder special_ = sfNone;
    bool sorted_ = true;
    TSsSortDirection direction_ = sdAscending;
};
