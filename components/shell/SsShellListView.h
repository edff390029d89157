#pragma once
// File list of one shell folder in four view styles (large icons, small
// icons, list, report), with sortable columns, a name filter, renaming,
// opening, dragging out, dropping in and automatic refresh; and the folder
// combo box that shows the chain of folders above the current one.
#include "Graphics.h"
#include "SsContainer.h"
#include "SsRegEx.h"
#include "SsShellController.h"
#include "SsShellNotification.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QPointer>
#include <QWidget>
#include <memory>

class QAbstractItemView;
class QDragEnterEvent;
class QDragMoveEvent;
class QDragLeaveEvent;
class QDropEvent;
class QListView;
class QMenu;
class QStackedLayout;
class QTreeView;
class TSsCustomShellTreeView;
class TSsShellFolderComboBox;
class TSsShellListModel;
class TSsFolderDropTarget;

// Option bits of the list.
constexpr uint8_t loAllowRename = 1 << 0;
constexpr uint8_t loAllowDrag = 1 << 1;
constexpr uint8_t loAllowDrop = 1 << 2;
constexpr uint8_t loColorCompressed = 1 << 3;
constexpr uint8_t loShowHidden = 1 << 4;
constexpr uint8_t loOpenFoldersThroughShell = 1 << 5;
constexpr uint8_t loShellMenu = 1 << 6;

enum TViewStyle { vsIcon = 0, vsSmallIcon = 1, vsList = 2, vsReport = 3 };

// The caption of a drag of several items: "1 file, 2 folders", "3 objects".
AnsiString SsDragCaption(int files, int folders, int rows);
// The size column text: kilobytes with digit grouping and "KB".
AnsiString SsSizeText(int64_t bytes);

class TSsCustomShellListView : public QWidget, public TObject {
    Q_OBJECT
public:
    LUMI_CLASSNAME(TSsCustomShellListView)
    explicit TSsCustomShellListView(QWidget* parent = nullptr);
    ~TSsCustomShellListView() override;

    AnsiString Version() const { return "1.02"; }
    void SetVersion(const AnsiString&) {}

    uint8_t Options = loAllowRename | loAllowDrag | loAllowDrop | loShellMenu;
    // Kept for compressed items; no file system here reports compression.
    TColor CompressedColor = clBlue;
    const AnsiString& FilterText() const { return filterText_; }
    void SetFilterText(const AnsiString& masks);
    bool Filtered() const { return filtered_; }
    void SetFiltered(bool value);
    const QString& RootFolder() const { return rootFolder_; }
    void SetRootFolder(const QString& value);
    TSsSpecialRootFolder SpecialRootFolder() const { return specialRoot_; }
    void SetSpecialRootFolder(TSsSpecialRootFolder value);
    TViewStyle ViewStyle() const { return viewStyle_; }
    virtual void SetViewStyle(TViewStyle value);
    TSsCustomShellTreeView* TreeView() const;
    void SetTreeView(TSsCustomShellTreeView* tree);
    TSsShellFolderComboBox* ComboBox() const;
    void SetComboBox(TSsShellFolderComboBox* combo);
    TSsCustomShellController* Controller() const { return controller_.get(); }
    const std::shared_ptr<TSsCustomShellController>& SharedController() const { return controller_; }
    // Creates what the window needs (controller, folder) when not done yet.
    void HandleNeeded();

    std::function<void(TObject* sender, TSsShellItem* item, bool& accept)> OnFilterItem;
    std::function<void(TObject* sender, TSsShellItem* item, bool& useDefault)> OnItemDblClick;
    std::function<void(TObject* sender, TSsShellItem* item)> OnItemSelected;
    TNotifyEvent OnFolderLoaded;
    TSsShellNotifyEvent3 OnShellChangeNotify;

    // The folder shown (owned copy) and the items as the rows show them.
    TSsShellFolder* CurrentFolder() const { return currentFolder_.get(); }
    int RowCount() const;
    // The item of a row (the sort direction taken into account).
    TSsShellItem* RowItem(int row) const;
    int FocusedRow() const;
    void SetFocusedRow(int row);
    // Copies of the selected rows' items, in row order.
    const TSsShellItemList& SelectedItems() const { return selection_; }
    bool FullListUsed() const;
    TSsShellItemList& FullList();
    QAbstractItemView* ActiveView() const;
    QStringList ColumnCaptions() const;
    bool DetailsLoaded() const { return detailsLoaded_; }
    bool ColumnsBuilt() const { return columnsBuilt_; }
    // Whether the row may be edited in place (called by the views).
    bool CanEditRow(int row) const;
    void SetEditing(bool editing) { editing_ = editing; }
    TSsShellNotification* Notification() const { return notification_.get(); }
    // The popup menu with the four view styles.
    QMenu* ViewMenu() const { return menu_; }

    // Sort column (0 name, 1 size, 2 type, 3 modified, 4 attributes) and
    // direction, shared by all lists.
    static int SortColumn;
    static bool SortAscending;
    // A click on a column header: another column sorts ascending, the same
    // one flips the direction.
    void ColumnClick(int column);

    virtual void DoFilterItem(TSsShellItem* item, bool& accept);
    bool HasFilterHandler() const { return bool(OnFilterItem); }
    virtual void DoItemDblClick(TSsShellItem* item, bool& useDefault);
    virtual void DoItemSelected(TSsShellItem* item);
    virtual void DoFolderLoaded();
    virtual void DoShellChangeNotify(TSsShellItem* oldItem, TSsShellItem* newItem,
                                     TSsNotifyEventsSet events);
    // Shows a folder (nil: the root folder or special root folder).
    virtual void SetFolder(TSsShellFolder* folder);
    virtual void BuildColumns(TSsShellFolder* folder);
    virtual void LoadItemDetails(TSsShellItem* item);
    virtual void SortItems();
    // Called by the controller for each item it enumerates.
    void AddEnumeratedItem(std::unique_ptr<TSsShellItem> item);
    // Shows the folder the linked tree selected.
    void TreeFolderSelected(TSsShellFolder* folder);
    // Double click on a row.
    void RowDoubleClicked(int row);
    // The handler of the notification's change notices.
    void ShellChangeNotify(TObject* sender, TSsShellItem* oldItem, TSsShellItem* newItem,
                           TSsNotifyEventsSet events);

    // Drag and drop, called by the inner views.
    void BeginDrag(int row);
    void DragEnter(QDragEnterEvent* e);
    void DragMove(QDragMoveEvent* e);
    void DragLeave(QDragLeaveEvent* e);
    void Drop(QDropEvent* e);
    // Whether a row shows the drop highlight.
    bool IsDropHighlighted(int row) const;

protected:
    void showEvent(QShowEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    friend class TSsShellListModel;
    friend class TSsShellListDelegate;
    void Reload(bool enumerate);
    void ApplyFilter();
    void RebuildSelection();
    void RowsChanged();
    void ItemRenamed(int row, const QString& newName);
    void ConfigureView();
    // The shell's context menu of the focused row, or of all selected rows.
    void ShowShellMenu(int focused, QContextMenuEvent* e);
    // Keeps the focused and selected items across a change of row order.
    void Reorder(const std::function<void()>& change);
    std::unique_ptr<TSsFolderDropTarget> DropTargetOf(TSsShellItem* item) const;
    int RowAt(const QPoint& viewportPos) const;
    void FillTypeDictionary();
    QString TypeName(TSsShellItem* item);

    AnsiString filterText_;
    bool filtered_ = false;
    TSsShellItemList full_;
    std::vector<TSsShellItem*> filteredItems_;
    bool useFiltered_ = false;
    TSsShellItemList selection_;
    int32_t queueLimit_ = 5;
    TSsSpecialRootFolder specialRoot_ = sfNone;
    QString rootFolder_;
    std::unique_ptr<TSsShellFolder> currentFolder_;
    QPointer<TSsCustomShellTreeView> treeView_;
    QPointer<TSsShellFolderComboBox> comboBox_;
    double shellVersion_;
    TViewStyle viewStyle_ = vsIcon;
    bool columnsBuilt_ = false;
    bool detailsLoaded_ = false;
    std::shared_ptr<TSsCustomShellController> controller_;
    QMenu* menu_ = nullptr;
    std::unique_ptr<TSsShellNotification> notification_;
    QStringList captions_;
    std::vector<int> columnWidths_;
    TSsDictionary fileTypes_{250};
    std::vector<std::unique_ptr<QString>> typeTexts_;  // data of the dictionary
    bool created_ = false;
    bool editing_ = false;

    TSsShellListModel* model_ = nullptr;
    QStackedLayout* stack_ = nullptr;
    QListView* listView_ = nullptr;
    QTreeView* reportView_ = nullptr;

    bool dragAccepted_ = false;
    const QMimeData* dragData_ = nullptr;
    std::unique_ptr<TSsShellItem> hovered_;
    int dropRow_ = -1;
};

class TSsShellListView : public TSsCustomShellListView {
    Q_OBJECT
public:
    LUMI_CLASSNAME(TSsShellListView)
    using TSsCustomShellListView::TSsCustomShellListView;
};

// The model behind the list's views: one row per item of the active list.
class TSsShellListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TSsShellListModel(TSsCustomShellListView& list) : list_(list) {}
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    void Reset() { beginResetModel(); endResetModel(); }
    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }
    void RowChanged(int row);
private:
    TSsCustomShellListView& list_;
};

// A combo box of folders: fixed entries for the desktop and its folders,
// and temporary entries for the chain of folders above the one shown.
class TSsShellFolderComboBox : public QComboBox, public TObject {
    Q_OBJECT
public:
    LUMI_CLASSNAME(TSsShellFolderComboBox)
    explicit TSsShellFolderComboBox(QWidget* parent = nullptr);
    ~TSsShellFolderComboBox() override;

    TSsCustomShellController* Controller() const { return controller_.get(); }
    const std::shared_ptr<TSsCustomShellController>& SharedController() const { return controller_; }
    TSsShellFolder* SelectedFolder() const { return selectedFolder_; }
    TSsShellFolder* CurrentFolder() const { return currentFolder_.get(); }
    int CurrentIndex() const { return currentIndex_; }
    TSsShellFolderList& FolderList() { return folders_; }
    // The entry's level (identifiers in its list) for drawing its indent.
    int EntryLevel(int index) const;

    void ShowFolder(TSsShellItem* item);
    void InsertFolderChain(TSsShellItem* item);
    void SelectFolderByPath(TSsShellItem* item);

private:
    void AddFixedEntry(const TSsIdList* list, int level);
    TSsShellFolder* selectedFolder_ = nullptr;
    std::shared_ptr<TSsCustomShellController> controller_;
    std::unique_ptr<TSsShellFolder> currentFolder_;
    int currentIndex_ = -1;
    TSsShellFolderList folders_;
};
