#pragma once
// Folder tree of the shell namespace: a root (a special folder or a path)
// filled lazily as nodes expand, kept in step with the file system, with
// renaming, dragging out and dropping in.
#include "Graphics.h"
#include "SsShellController.h"
#include "SsShellNotification.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

class QDrag;
class QStyleOptionViewItem;
class TSsCustomShellListView;
class TSsFolderDropTarget;
class TSsTreeItemDelegate;

enum TSsTreeOptions : uint16_t {
    toAllowRename = 1 << 0,
    toAllowDrag = 1 << 1,
    toAllowDrop = 1 << 2,
    toColorCompressed = 1 << 3,
    toExpandTopNode = 1 << 4,
    toExtendedMenu = 1 << 5,
    toShellMenu = 1 << 6,
    toShowFiles = 1 << 7,
    toShowHidden = 1 << 8,
};
using TSsTreeOptionsSet = uint16_t;
using TSsFolderSelectedEvent = std::function<void(TObject* sender, TSsShellFolder* folder)>;
// The tree control's own events.
using TTVExpandingEvent = std::function<void(TObject* Sender, QTreeWidgetItem* Node, bool& AllowExpansion)>;
using TTVCollapsingEvent = std::function<void(TObject* Sender, QTreeWidgetItem* Node, bool& AllowCollapse)>;
using TTVExpandedEvent = std::function<void(TObject* Sender, QTreeWidgetItem* Node)>;
using TTVEditingEvent = std::function<void(TObject* Sender, QTreeWidgetItem* Node, bool& AllowEdit)>;
using TTVEditedEvent = std::function<void(TObject* Sender, QTreeWidgetItem* Node, QString& S)>;
using TDragDropEvent = std::function<void(TObject* Sender, QObject* Source, int X, int Y)>;
using TEndDragEvent = std::function<void(TObject* Sender, QObject* Target, int X, int Y)>;
using TStartDragEvent = std::function<void(TObject* Sender, QDrag* DragObject)>;
using TKeyEvent = std::function<void(TObject* Sender, int& Key, Qt::KeyboardModifiers Shift)>;

class TSsCustomShellTreeView : public QTreeWidget, public TObject {
    Q_OBJECT
public:
    LUMI_CLASSNAME(TSsCustomShellTreeView)
    explicit TSsCustomShellTreeView(QWidget* parent = nullptr);
    ~TSsCustomShellTreeView() override;

    AnsiString Version() const { return "1.02"; }
    void SetVersion(const AnsiString&) {}

    // Text colour of compressed folders. No file system here reports
    // compression, so it shows only where one does.
    TColor CompressedColor() const { return compressedColor_; }
    void SetCompressedColor(TColor value);
    // Hover time in ms over a node during a drop before it expands; 0 never.
    int32_t ExpandInterval = 2000;
    // Delay in ms between a selection and its report.
    int32_t ChangeDelay = 0;
    bool HotTrack = false;
    bool AutoExpand = false;
    bool Filtered() const { return filtered_; }
    void SetFiltered(bool value);
    TSsCustomShellListView* ListView() const;
    void SetListView(TSsCustomShellListView* value);
    TSsTreeOptionsSet Options() const { return options_; }
    void SetOptions(TSsTreeOptionsSet value);
    const QString& RootFolder() const { return rootFolder_; }
    void SetRootFolder(const QString& value);
    TSsSpecialRootFolder SpecialRootFolder() const { return specialRoot_; }
    void SetSpecialRootFolder(TSsSpecialRootFolder value);
    const QString& StartInFolder() const { return startFolder_; }
    void SetStartInFolder(const QString& value);
    TSsSpecialRootFolder SpecialStartInFolder() const { return specialStart_; }
    void SetSpecialStartInFolder(TSsSpecialRootFolder value);

    TSsEnumItemEvent OnFilterItem;
    TSsFolderSelectedEvent OnFolderSelected;
    TSsShellNotifyEvent3 OnShellChangeNotify;
    TTVExpandingEvent OnExpanding;
    TTVExpandedEvent OnExpanded;
    TTVCollapsingEvent OnCollapsing;
    TTVExpandedEvent OnCollapsed;
    TTVEditingEvent OnEditing;
    TTVEditedEvent OnEdited;
    // Asked before a node is drawn; the handler may set the node's
    // ImageIndexRole or SelectedIndexRole.
    TTVExpandedEvent OnGetImageIndex;
    TTVExpandedEvent OnGetSelectedIndex;
    TTVExpandedEvent OnDeletion;
    TDragDropEvent OnDragDrop;
    TEndDragEvent OnEndDrag;
    TStartDragEvent OnStartDrag;
    TKeyEvent OnKeyUp;

    // The system image indexes of a node (column 0): image, selected
    // image, overlay (0 shared, 1 shortcut, -1 none).
    static constexpr int ImageIndexRole = Qt::UserRole + 1;
    static constexpr int SelectedIndexRole = Qt::UserRole + 2;
    static constexpr int OverlayIndexRole = Qt::UserRole + 3;

    TSsCustomShellController* Controller() const { return controller_.get(); }
    const std::shared_ptr<TSsCustomShellController>& SharedController() const { return controller_; }
    // Creates what the window needs (controller, nodes) when not done yet.
    void HandleNeeded();
    TSsShellFolderList& FolderList() { return folders_; }
    // The folder of the last reported node.
    TSsShellFolder* SelectedFolder() const { return selectedFolder_; }
    QString SelectedPath() const { return selectedFolder_ ? selectedFolder_->Path : QString(); }
    bool InitialSelectionDone() const { return initialSelectionDone_; }
    TSsShellNotification* Notification() const { return notification_.get(); }

    // Selects the node of an absolute list, expanding its ancestors; error
    // 240 when it cannot be reached.
    void SelectFolderByPidl(const TSsIdList* idList);
    // Selects without telling the linked list.
    bool SelectFolder(TSsShellItem* item, bool onlyIfPresent);
    QTreeWidgetItem* FindNodeByPidl(const TSsIdList* idList) const;
    QTreeWidgetItem* FindNodeByPath(const QString& path) const;
    QTreeWidgetItem* FindParentNode(TSsShellItem* item) const;
    // Reads a node's children again, keeping expanded descendants expanded.
    void RefreshNode(QTreeWidgetItem* node);
    void ClearNodes();
    void SetNodeImages(QTreeWidgetItem* node, const TSsIdList* idList, bool setText);
    TSsShellFolder* FolderOf(const QTreeWidgetItem* node) const;

    // Adds a child node for a folder under parent (a top node for nil); while
    // a node is read again, at its place in the order.
    QTreeWidgetItem* AddFolderNode(QTreeWidgetItem* parent, std::unique_ptr<TSsShellFolder> folder,
                                   bool hasButton);
    // While a node is read again: whether parent has a child for path
    // already, which is then kept as it is.
    bool KeepChild(QTreeWidgetItem* parent, const QByteArray& path);
    // Reads the nodes of a folder (the system's bytes of its path) again,
    // keeping the nodes that still have their folder: new sub-folders come in
    // their place, vanished ones go, and a folder that is gone loses its nodes.
    void SyncFolder(const QByteArray& path);
    void SortChildren(QTreeWidgetItem* node);
    // The order of two sibling nodes: their parent folder's comparison.
    int CompareTreeNodes(const QTreeWidgetItem* Node1, const QTreeWidgetItem* Node2) const;

    virtual void DoFilterItem(TSsShellItem* item, bool& accept);
    virtual void DoShellChangeNotify(TSsShellItem* oldItem, TSsShellItem* newItem,
                                     TSsNotifyEventsSet events);
    // Sets the text colour of a compressed folder's node with
    // toColorCompressed; State carries the drawing state and colours, and a
    // handler that draws the node itself clears DefaultDraw.
    virtual void CustomDrawItem(TObject* Sender, QTreeWidgetItem* Node, QStyleOptionViewItem& State,
                                bool& DefaultDraw);
    virtual void FillTree();
    // Fire OnGetImageIndex and OnGetSelectedIndex.
    virtual void GetImageIndex(QTreeWidgetItem* Node);
    virtual void GetSelectedIndex(QTreeWidgetItem* Node);
    // The handler of the notification's change notices.
    void ShellChangeNotify(TObject* sender, TSsShellItem* oldItem, TSsShellItem* newItem,
                           TSsNotifyEventsSet events);

protected:
    // The window comes into being at the first show: the controller is
    // bound and the tree filled.
    void showEvent(QShowEvent* e) override;
    // A new language renames the desktop root, whose name the library gives.
    void changeEvent(QEvent* e) override;
    bool viewportEvent(QEvent* e) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    // With toShellMenu: the shell's context menu of the selected node.
    void contextMenuEvent(QContextMenuEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dragLeaveEvent(QDragLeaveEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    friend class TSsTreeItemDelegate;
    friend class TSsViewKeeper;
    friend class TSsSyncScope;
    void BindController();
    void NodeCollapsed(QTreeWidgetItem* node);
    void SetNodeImageIndexes(QTreeWidgetItem* node, int image, int selected, int overlay);
    void Change(QTreeWidgetItem* node);
    void NodeExpanding(QTreeWidgetItem* node);
    // Watches the folders of the node's children.
    void WatchChildren(QTreeWidgetItem* node);
    void ItemEdited(QTreeWidgetItem* node, int column);
    void FirstPaint();
    PSsIdList StartFolderPidl() const;
    void ExpandPath(const TSsIdList* idList);
    void SetDropNode(QTreeWidgetItem* node);
    // -1 up, 1 down, 0 none: the auto-scroll of a drag resting at pos.
    int ScrollDirectionAt(const QPoint& pos) const;
    void DragScrollStep();
    // The shell drop target of a node's folder.
    std::unique_ptr<TSsFolderDropTarget> DropTargetOf(QTreeWidgetItem* node) const;
    void DeleteNode(QTreeWidgetItem* node);
    // Deletes a node, giving the selection to the next node first.
    void RemoveNode(QTreeWidgetItem* node);
    void RemoveNodes(const std::vector<QTreeWidgetItem*>& nodes);
    // A notice's entry that came into being, or went away.
    void EntryCreated(TSsShellItem* item, bool drive);
    void EntryDeleted(TSsShellItem* item);
    // The nodes of a folder: by the system's bytes of its path (the same
    // folder may be shown in more than one place), else by its list.
    std::vector<QTreeWidgetItem*> NodesOf(const QByteArray& path, const TSsIdList* idList) const;
    std::vector<QTreeWidgetItem*> ParentNodesOf(TSsShellItem* item) const;
    // A child node for folder under parent, at its place in the order, or
    // the child that shows it already.
    QTreeWidgetItem* InsertChild(QTreeWidgetItem* parent, const TSsShellItem& folder);
    // Whether a node's children have been read (its expansion or filling).
    static bool IsRead(const QTreeWidgetItem* node);
    static void MarkRead(QTreeWidgetItem* node);
    // A chosen node whose folder is gone: its nodes go, the user is told.
    void FolderVanished(const QByteArray& path);
    // Shows and selects the folder the menu's New Folder made in node's folder.
    void ShowNewFolder(QTreeWidgetItem* node, const QByteArray& path);
    void ForEachNode(const std::function<bool(QTreeWidgetItem*)>& f) const;
    void ApplyDropOptions();

    TColor compressedColor_ = RGB(0, 0, 255);
    bool filtered_ = false;
    QPointer<TSsCustomShellListView> listView_;
    TSsTreeOptionsSet options_ =
        toAllowRename | toAllowDrag | toAllowDrop | toExpandTopNode | toShellMenu;
    QString rootFolder_;
    TSsSpecialRootFolder specialRoot_ = sfDesktop;
    QString startFolder_;
    TSsSpecialRootFolder specialStart_ = sfNone;

    TSsShellFolderList folders_;
    static constexpr int32_t NotifyQueueLimit = 5;
    TSsShellFolder* selectedFolder_ = nullptr;
    double shellVersion_;
    std::shared_ptr<TSsCustomShellController> controller_;
    bool dragAccepted_ = false;
    QTreeWidgetItem* dropNode_ = nullptr;
    bool quietSelection_ = false;
    std::unique_ptr<TSsShellNotification> notification_;
    bool created_ = false;
    bool initialSelectionDone_ = false;
    bool filling_ = false;
    QTreeWidgetItem* editingNode_ = nullptr;
    QString editingText_;
    QTimer expandTimer_;
    QTimer scrollTimer_;
    QPoint dragPos_;
    static constexpr int DragScrollPause = 30;
    QTimer changeTimer_;
    // Children of the node being read again, by path, and those found again.
    QHash<QByteArray, QTreeWidgetItem*> syncChildren_;
    QTreeWidgetItem* syncNode_ = nullptr;
    QSet<QTreeWidgetItem*> syncSeen_;
};

class TSsShellTreeView : public TSsCustomShellTreeView {
    Q_OBJECT
public:
    LUMI_CLASSNAME(TSsShellTreeView)
    using TSsCustomShellTreeView::TSsCustomShellTreeView;
};
