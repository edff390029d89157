#include "SsShellListView.h"
#include "Application.h"

#include "SsContextMenu.h"
#include "SsDataObject.h"
#include "SsShellTreeView.h"

#include <QActionGroup>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QMimeDatabase>
#include <QPainter>
#include <QStackedLayout>
#include <QStyledItemDelegate>
#include <QThread>
#include <QTreeView>

#include <algorithm>

int TSsCustomShellListView::SortColumn = 0;
bool TSsCustomShellListView::SortAscending = true;

// ---- texts -----------------------------------------------------------------------------------

AnsiString SsDragCaption(int files, int folders, int rows)
{
    AnsiString s;
    if (files > 0)
        s = IntToStr(files) + (files == 1 ? SsFileText : SsFilesText);
    if (folders > 0) {
        if (files > 0)
            s += ", ";
        s += IntToStr(folders) + (folders == 1 ? SsFolderText : SsFoldersText);
    }
    if (files == 0 && folders == 0)
        s = IntToStr(rows) + SsObjectsText;
    return s;
}

AnsiString SsSizeText(int64_t bytes)
{
    int64_t kb = bytes / 1024;
    if (bytes > 0 && kb == 0)
        kb = 1;
    return GroupDigits(kb) + "KB";
}

using namespace Ole;

namespace {
// Captions and type names in the program's language.
QString Message(int32_t id)
{
    return SsLocalizedMessage(id);
}

// The two views over the list's rows hand drags, drops and editing to it.
template <class View>
class TSsInnerView : public View {
public:
    explicit TSsInnerView(TSsCustomShellListView& owner) : View(&owner), owner_(owner) {}

protected:
    void startDrag(Qt::DropActions) override
    {
        const QModelIndex i = this->currentIndex();
        owner_.BeginDrag(i.isValid() ? i.row() : -1);
    }
    void dragEnterEvent(QDragEnterEvent* e) override { owner_.DragEnter(e); }
    void dragMoveEvent(QDragMoveEvent* e) override { owner_.DragMove(e); }
    void dragLeaveEvent(QDragLeaveEvent* e) override { owner_.DragLeave(e); }
    void dropEvent(QDropEvent* e) override { owner_.Drop(e); }
    bool edit(const QModelIndex& index, QAbstractItemView::EditTrigger trigger, QEvent* event) override
    {
        if (trigger != QAbstractItemView::NoEditTriggers && index.isValid() && !owner_.CanEditRow(index.row()))
            return false;
        const bool started = View::edit(index, trigger, event);
        if (started && trigger != QAbstractItemView::NoEditTriggers)
            owner_.SetEditing(true);
        return started;
    }
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override
    {
        owner_.SetEditing(false);
        View::closeEditor(editor, hint);
    }

private:
    TSsCustomShellListView& owner_;
};
}  // namespace

// ---- model -------------------------------------------------------------------------------------

int TSsShellListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : list_.RowCount();
}

int TSsShellListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : std::max<int>(1, int(list_.captions_.size()));
}

QVariant TSsShellListModel::data(const QModelIndex& index, int role) const
{
    TSsShellItem* item = list_.RowItem(index.row());
    if (!item)
        return QVariant();
    const int col = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        if (col == 0)
            return item->DisplayName;
        if (item->ColumnTexts.isEmpty())
            list_.LoadItemDetails(item);
        return col - 1 < item->ColumnTexts.size() ? item->ColumnTexts[col - 1] : QString();
    case Qt::DecorationRole:
        if (col != 0)
            return QVariant();
        return TSsSystemImageList::Instance().Pixmap(
            item->GetImageIndex(), list_.viewStyle_ == vsIcon ? SsLargeIconSize : SsSmallIconSize,
            item->GetOverlayIndex());
    case Qt::TextAlignmentRole:
        if (col == 1 && list_.currentFolder_ && list_.currentFolder_->IsFileSystem)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    case Qt::BackgroundRole:
        return list_.IsDropHighlighted(index.row()) ? QVariant(list_.palette().highlight()) : QVariant();
    case Qt::ForegroundRole:
        return list_.IsDropHighlighted(index.row()) ? QVariant(list_.palette().highlightedText())
                                                    : QVariant();
    default:
        return QVariant();
    }
}

QVariant TSsShellListModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    return section < list_.captions_.size() ? list_.captions_[section] : QVariant();
}

Qt::ItemFlags TSsShellListModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    if (list_.Options & loAllowDrag)
        f |= Qt::ItemIsDragEnabled;
    if ((list_.Options & loAllowRename) && index.column() == 0)
        f |= Qt::ItemIsEditable;
    return f;
}

bool TSsShellListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || index.column() != 0)
        return false;
    list_.ItemRenamed(index.row(), value.toString());
    return true;
}

void TSsShellListModel::RowChanged(int row)
{
    if (row >= 0 && row < rowCount())
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

// ---- construction ------------------------------------------------------------------------------

TSsCustomShellListView::TSsCustomShellListView(QWidget* parent)
    : QWidget(parent), shellVersion_(SsShellVersion())
{
    resize(270, 180);
    model_ = new TSsShellListModel(*this);
    model_->setParent(this);
    stack_ = new QStackedLayout(this);
    stack_->setContentsMargins(0, 0, 0, 0);
    listView_ = new TSsInnerView<QListView>(*this);
    reportView_ = new TSsInnerView<QTreeView>(*this);
    listView_->setModel(model_);
    reportView_->setModel(model_);
    reportView_->setSelectionModel(listView_->selectionModel());
    reportView_->setRootIsDecorated(false);
    reportView_->setItemsExpandable(false);
    reportView_->setUniformRowHeights(true);
    reportView_->header()->setSectionsClickable(true);
    reportView_->header()->setSortIndicatorShown(false);
    connect(reportView_->header(), &QHeaderView::sectionClicked, this, Guarded([this](int c) { ColumnClick(c); }));
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(listView_), static_cast<QAbstractItemView*>(reportView_)}) {
        v->setSelectionMode(QAbstractItemView::ExtendedSelection);
        v->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
        v->setDragDropMode(QAbstractItemView::DragDrop);
        stack_->addWidget(v);
        connect(v, &QAbstractItemView::doubleClicked, this, Guarded([this](const QModelIndex& i) { RowDoubleClicked(i.row()); }));
        connect(v, &QAbstractItemView::clicked, this, Guarded([this](const QModelIndex&) {
            RebuildSelection();
            if (OnItemSelected)
                DoItemSelected(RowItem(FocusedRow()));
        }));
    }
    connect(listView_->selectionModel(), &QItemSelectionModel::selectionChanged, this, Guarded([this] {
        RebuildSelection();
        const int row = FocusedRow();
        if (row >= 0 && listView_->selectionModel()->isRowSelected(row, QModelIndex()) && OnItemSelected)
            DoItemSelected(RowItem(row));
    }));

    menu_ = new QMenu(this);
    auto* group = new QActionGroup(menu_);
    const char* const texts[] = {SsLargeIconsText, SsSmallIconsText, SsListText, SsDetailsText};
    for (int style = vsIcon; style <= vsReport; ++style) {
        QAction* a = menu_->addAction(fromAnsi(texts[style]));
        a->setCheckable(true);
        a->setChecked(style == vsIcon);
        group->addAction(a);
        connect(a, &QAction::triggered, this, Guarded([this, style] { SetViewStyle(TViewStyle(style)); }));
    }
    captions_ << Message(SsscName);
    FillTypeDictionary();

    notification_ = std::make_unique<TSsShellNotification>();
    notification_->SetWatchSubFolders(false);
    notification_->QueueLimit = queueLimit_;
    notification_->OnShellChangeNotify = [this](TObject* s, TSsShellItem* o, TSsShellItem* n,
                                                TSsNotifyEventsSet e) { ShellChangeNotify(s, o, n, e); };
    // Notices were dropped, or a folder came again at the shown path: read it again.
    notification_->OnNoticesLost = [this](TObject*, const QList<QByteArray>&) {
        if (!editing_)
            Reload(true);
    };
    ConfigureView();
}

TSsCustomShellListView::~TSsCustomShellListView()
{
    if (controller_ && controller_->ListView == this)
        controller_->ListView = nullptr;
    notification_.reset();
    // The views (the report header above all) ask this list for captions and
    // rows while they go: they go while it is whole.
    delete reportView_;
    delete listView_;
    reportView_ = nullptr;
    listView_ = nullptr;
}

TSsCustomShellTreeView* TSsCustomShellListView::TreeView() const { return treeView_; }
TSsShellFolderComboBox* TSsCustomShellListView::ComboBox() const { return comboBox_; }

void TSsCustomShellListView::FillTypeDictionary()
{
    // Extension -> description, from the MIME database.
    fileTypes_.DisposeData = nullptr;
    const QMimeDatabase db;
    for (const QMimeType& mime : db.allMimeTypes()) {
        const QString comment = mime.comment();
        if (comment.isEmpty())
            continue;
        for (const QString& suffix : mime.suffixes()) {
            void* existing = nullptr;
            const AnsiString key = toAnsi('.' + suffix);
            if (fileTypes_.Find(key, existing))
                continue;
            typeTexts_.push_back(std::make_unique<QString>(comment));
            fileTypes_.Add(key, typeTexts_.back().get());
        }
    }
}

void TSsCustomShellListView::HandleNeeded()
{
    if (created_)
        return;
    created_ = true;
    if (!controller_) {
        if (treeView_ && treeView_->SharedController())
            controller_ = treeView_->SharedController();
        else if (comboBox_ && comboBox_->SharedController())
            controller_ = comboBox_->SharedController();
        else
            controller_ = std::make_shared<TSsCustomShellController>();
    }
    controller_->ListView = this;
    if (treeView_ && treeView_->SelectedFolder())
        SetFolder(treeView_->SelectedFolder());
    else if (treeView_ && treeView_->FolderList().GetItem(0))
        SetFolder(treeView_->FolderList().GetItem(0));
    else
        SetFolder(nullptr);
}

void TSsCustomShellListView::showEvent(QShowEvent* e)
{
    HandleNeeded();
    QWidget::showEvent(e);
}

void TSsCustomShellListView::contextMenuEvent(QContextMenuEvent* e)
{
    // The view menu shows where no item menu does: one menu at a time.
    const int focused = FocusedRow();
    if ((Options & loShellMenu) && RowItem(focused))
        ShowShellMenu(focused, e);
    else
        menu_->popup(e->globalPos());
}

void TSsCustomShellListView::ShowShellMenu(int focused, QContextMenuEvent* e)
{
    std::vector<int> rows;
    for (const QModelIndex& i : listView_->selectionModel()->selectedRows())
        rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    if (rows.size() < 2)
        rows = {focused};
    std::vector<const TSsIdList*> lists;
    for (int row : rows)
        if (TSsShellItem* item = RowItem(row); item && item->RelativeList)
            lists.push_back(item->RelativeList.get());
    TSsShellItem* item = RowItem(focused);
    QAbstractItemView* view = ActiveView();
    const QPoint at = e->reason() == QContextMenuEvent::Mouse
                          ? e->globalPos()
                          : view->viewport()->mapToGlobal(view->visualRect(model_->index(focused, 0)).center());
    const int command = ShowShellContextMenu(controller_.get(), this, item->ParentFolder.get(), this, at.x(),
                                             at.y(), int(lists.size()), lists.data());
    if (command == cvRename + 1 && FocusedRow() >= 0)
        view->edit(model_->index(FocusedRow(), 0));
}

// ---- properties ------------------------------------------------------------------------------------

void TSsCustomShellListView::ConfigureView()
{
    switch (viewStyle_) {
    case vsIcon:
        listView_->setViewMode(QListView::IconMode);
        listView_->setIconSize(QSize(SsLargeIconSize, SsLargeIconSize));
        listView_->setGridSize(QSize(80, 64));
        listView_->setMovement(QListView::Static);
        break;
    case vsSmallIcon:
        listView_->setViewMode(QListView::ListMode);
        listView_->setFlow(QListView::LeftToRight);
        listView_->setGridSize(QSize());
        listView_->setIconSize(QSize(SsSmallIconSize, SsSmallIconSize));
        break;
    case vsList:
        listView_->setViewMode(QListView::ListMode);
        listView_->setFlow(QListView::TopToBottom);
        listView_->setGridSize(QSize());
        listView_->setIconSize(QSize(SsSmallIconSize, SsSmallIconSize));
        break;
    case vsReport:
        reportView_->setIconSize(QSize(SsSmallIconSize, SsSmallIconSize));
        break;
    }
    listView_->setWrapping(viewStyle_ != vsReport);
    listView_->setResizeMode(QListView::Adjust);
    // After the modes: a static icon view switches dragging off.
    const bool drag = Options & loAllowDrag;
    const bool drop = Options & loAllowDrop;
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(listView_), static_cast<QAbstractItemView*>(reportView_)}) {
        v->setDragEnabled(drag);
        v->setAcceptDrops(drop);
        v->viewport()->setAcceptDrops(drop);
    }
    stack_->setCurrentWidget(viewStyle_ == vsReport ? static_cast<QWidget*>(reportView_) : listView_);
    const QList<QAction*> actions = menu_->actions();
    if (viewStyle_ < actions.size())
        actions[viewStyle_]->setChecked(true);
}

QAbstractItemView* TSsCustomShellListView::ActiveView() const
{
    return viewStyle_ == vsReport ? static_cast<QAbstractItemView*>(reportView_) : listView_;
}

void TSsCustomShellListView::SetViewStyle(TViewStyle value)
{
    if (value == vsReport && viewStyle_ != vsReport && currentFolder_) {
        if (!columnsBuilt_)
            BuildColumns(currentFolder_.get());
        detailsLoaded_ = true;
    }
    viewStyle_ = value;
    model_->Reset();
    ConfigureView();
}

void TSsCustomShellListView::SetFilterText(const AnsiString& masks)
{
    filterText_ = masks;
    if (currentFolder_)
        Reload(false);
}

void TSsCustomShellListView::SetFiltered(bool value)
{
    filtered_ = value;
    if (currentFolder_)
        Reload(false);
}

void TSsCustomShellListView::SetRootFolder(const QString& value)
{
    rootFolder_ = SsFolderWithDriveRoot(value);
    if (rootFolder_.isEmpty()) {
        full_.Clear();
        filteredItems_.clear();
        model_->Reset();
        return;
    }
    specialRoot_ = sfNone;
    if (!created_)
        return;
    SetFolder(nullptr);
    if (treeView_ && currentFolder_)
        treeView_->SelectFolder(currentFolder_.get(), false);
    if (comboBox_ && currentFolder_)
        comboBox_->ShowFolder(currentFolder_.get());
}

void TSsCustomShellListView::SetSpecialRootFolder(TSsSpecialRootFolder value)
{
    SsCheckSpecialFolder(value, shellVersion_);
    if (value == specialRoot_)
        return;
    specialRoot_ = value;
    if (value == sfNone || !created_)
        return;
    rootFolder_.clear();
    SetFolder(nullptr);
    if (treeView_ && currentFolder_)
        treeView_->SelectFolder(currentFolder_.get(), false);
    if (comboBox_ && currentFolder_)
        comboBox_->ShowFolder(currentFolder_.get());
}

void TSsCustomShellListView::SetTreeView(TSsCustomShellTreeView* tree)
{
    treeView_ = tree;
    if (!tree)
        return;
    rootFolder_.clear();
    specialRoot_ = sfNone;
    if (tree->SharedController()) {
        controller_ = tree->SharedController();
        controller_->ListView = this;
    }
    tree->SetListView(this);
    if (!created_)
        return;
    if (TSsShellFolder* f = tree->SelectedFolder())
        SetFolder(f);
    else if (TSsShellFolder* root = tree->FolderList().GetItem(0))
        SetFolder(root);
}

void TSsCustomShellListView::SetComboBox(TSsShellFolderComboBox* combo)
{
    comboBox_ = combo;
}

// ---- rows -----------------------------------------------------------------------------------------

bool TSsCustomShellListView::FullListUsed() const
{
    return !useFiltered_;
}

TSsShellItemList& TSsCustomShellListView::FullList()
{
    return full_;
}

int TSsCustomShellListView::RowCount() const
{
    return useFiltered_ ? int(filteredItems_.size()) : full_.GetCount();
}

TSsShellItem* TSsCustomShellListView::RowItem(int row) const
{
    const int n = RowCount();
    if (row < 0 || row >= n)
        return nullptr;
    const int i = SortAscending ? row : n - 1 - row;
    return useFiltered_ ? filteredItems_[size_t(i)] : full_.GetItem(i);
}

int TSsCustomShellListView::FocusedRow() const
{
    const QModelIndex i = listView_->selectionModel()->currentIndex();
    return i.isValid() ? i.row() : -1;
}

void TSsCustomShellListView::SetFocusedRow(int row)
{
    if (row >= 0 && row < RowCount())
        listView_->selectionModel()->setCurrentIndex(model_->index(row, 0), QItemSelectionModel::NoUpdate);
}

QStringList TSsCustomShellListView::ColumnCaptions() const
{
    return captions_;
}

bool TSsCustomShellListView::CanEditRow(int row) const
{
    TSsShellItem* item = RowItem(row);
    return (Options & loAllowRename) && item && item->CanRename();
}

void TSsCustomShellListView::RebuildSelection()
{
    selection_.Clear();
    QModelIndexList rows = listView_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& i : rows)
        if (TSsShellItem* item = RowItem(i.row())) {
            auto copy = TSsShellItem::CreateForController(controller_.get());
            copy->Assign(*item);
            selection_.Add(std::move(copy));
        }
}

bool TSsCustomShellListView::IsDropHighlighted(int row) const
{
    return row >= 0 && row == dropRow_;
}

// ---- showing a folder ---------------------------------------------------------------------------------

void TSsCustomShellListView::AddEnumeratedItem(std::unique_ptr<TSsShellItem> item)
{
    bool accept = true;
    DoFilterItem(item.get(), accept);
    if (accept)
        full_.Add(std::move(item));
}

void TSsCustomShellListView::SetFolder(TSsShellFolder* folder)
{
    if (treeView_ && !treeView_->InitialSelectionDone())
        return;
    if (!controller_)
        HandleNeeded();
    PSsIdList list;
    if (folder)
        list = SsILClone(folder->AbsoluteList.get());
    else if (specialRoot_ == sfNone) {
        if (!rootFolder_.isEmpty()) {
            list = TSsNamespaceFolder::Desktop()->ParseDisplayName(rootFolder_);
            if (!list) {
                rootFolder_.clear();
                RaiseSsError<ESsInvalidFolder>(SsscInvalidFolder);
            }
        }
    } else {
        list = SHGetSpecialFolderLocation(specialRoot_);
        if (!list)
            RaiseSsError<ESsShellError>(SsscShellVersionError);
    }
    selection_.Clear();
    columnsBuilt_ = detailsLoaded_ = false;
    SortColumn = 0;
    model_->BeginReset();
    full_.Clear();
    filteredItems_.clear();
    useFiltered_ = false;
    dropRow_ = -1;
    hovered_.reset();
    if (!list) {
        currentFolder_.reset();
        model_->EndReset();
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        controller_->EnumerateFolder(list.get(), emList);
    } catch (...) {
        QApplication::restoreOverrideCursor();
        model_->EndReset();
        throw;
    }
    QApplication::restoreOverrideCursor();
    currentFolder_ = std::make_unique<TSsShellFolder>(list.get(), controller_.get());
    if (viewStyle_ == vsReport) {
        BuildColumns(currentFolder_.get());
        detailsLoaded_ = true;
    }
    SortItems();
    if (filtered_ && !filterText_.empty())
        ApplyFilter();
    model_->EndReset();
    SetFocusedRow(0);
    DoFolderLoaded();
    notification_->SetActive(false);
    notification_->SetWatchPidl(SsILClone(list.get()));
    notification_->QueueLimit = queueLimit_;
    notification_->SetActive(true);
    if (comboBox_) {
        if (comboBox_->currentIndex() == -1)
            comboBox_->ShowFolder(currentFolder_.get());
        comboBox_->SelectFolderByPath(currentFolder_.get());
    }
}

void TSsCustomShellListView::TreeFolderSelected(TSsShellFolder* folder)
{
    if (comboBox_)
        comboBox_->ShowFolder(folder);
    SetFolder(folder);
}

void TSsCustomShellListView::BuildColumns(TSsShellFolder* folder)
{
    captions_.clear();
    columnWidths_.clear();
    if (folder && folder->IsFileSystem) {
        for (auto [id, width] : {std::pair{SsscName, 175}, {SsscSize, 75}, {SsscType, 125},
                                 {SsscModified, 125}, {SsscAttributes, 60}}) {
            captions_ << Message(id);
            columnWidths_.push_back(width);
        }
    } else {
        // The desktop and the folders outside the file system.
        captions_ << Message(SsscName);
        columnWidths_.push_back(175);
    }
    model_->Reset();
    // At least as wide as its caption in the language.
    for (size_t c = 0; c < columnWidths_.size(); ++c)
        reportView_->setColumnWidth(int(c), std::max(columnWidths_[c], reportView_->header()->sectionSizeHint(int(c))));
    columnsBuilt_ = true;
}

QString TSsCustomShellListView::TypeName(TSsShellItem* item)
{
    if (item->IsFileFolder)
        return Message(SsscFileFolder);
    if (item->IsFolder())
        return Message(SsscSystemFolder);
    const QString suffix = QFileInfo(item->Path).suffix();
    if (suffix.isEmpty())
        return Message(SsscFile);
    const QString ext = '.' + suffix;
    if (ext.toUpper() == QLatin1String(".LNK"))
        return QStringLiteral("Shortcut");
    void* description = nullptr;
    if (fileTypes_.Find(toAnsi(ext), description))
        return *static_cast<QString*>(description);
    return suffix.toUpper() + ' ' + Message(SsscFile);
}

void TSsCustomShellListView::LoadItemDetails(TSsShellItem* item)
{
    item->ColumnTexts.clear();
    const bool folder = item->IsFileFolder || item->IsFolder();
    item->ColumnTexts << (folder ? QString() : fromAnsi(SsSizeText(item->GetSize())));
    item->ColumnTexts << TypeName(item);
    item->ColumnTexts << (item->IsFileSystem
                              ? QLocale().toString(DateTimeToQDateTime(item->GetDate()), QLocale::ShortFormat)
                              : QString());
    item->ColumnTexts << item->AttributeText;
}

void TSsCustomShellListView::Reorder(const std::function<void()>& change)
{
    // Remember the focused and selected items by path (by list when they
    // have none) and find them again after the change.
    auto key = [](TSsShellItem* i) { return QString::fromLatin1(i->AbsoluteList->Bytes().toHex()); };
    QString focused;
    if (TSsShellItem* f = RowItem(FocusedRow()))
        focused = key(f);
    QSet<QString> selected;
    for (const QModelIndex& i : listView_->selectionModel()->selectedRows())
        if (TSsShellItem* s = RowItem(i.row()))
            selected.insert(key(s));
    change();
    model_->Reset();
    QItemSelection sel;
    for (int r = 0; r < RowCount(); ++r) {
        const QString k = key(RowItem(r));
        if (selected.contains(k))
            sel.select(model_->index(r, 0), model_->index(r, model_->columnCount() - 1));
        if (k == focused)
            SetFocusedRow(r);
    }
    listView_->selectionModel()->select(sel, QItemSelectionModel::Select);
}

void TSsCustomShellListView::SortItems()
{
    if (RowCount() < 2)
        return;
    std::function<int(TSsShellItem*, TSsShellItem*)> compare;
    auto details = [this](TSsShellItem* i) {
        if (i->ColumnTexts.isEmpty())
            LoadItemDetails(i);
    };
    switch (SortColumn) {
    case 1: compare = SsCompareBySize; break;
    case 2: compare = [&](TSsShellItem* a, TSsShellItem* b) { details(a); details(b); return SsCompareByType(a, b, 1); }; break;
    case 3: compare = SsCompareByDate; break;
    case 4: compare = [&](TSsShellItem* a, TSsShellItem* b) { details(a); details(b); return SsCompareByAttributes(a, b, 3); }; break;
    default: compare = SsCompareByName;
    }
    if (useFiltered_)
        std::stable_sort(filteredItems_.begin(), filteredItems_.end(),
                         [&](TSsShellItem* a, TSsShellItem* b) { return compare(a, b) < 0; });
    else
        full_.Sort(compare);
}

void TSsCustomShellListView::ColumnClick(int column)
{
    Reorder([&] {
        if (column != SortColumn) {
            SortColumn = column;
            SortAscending = true;
            SortItems();
        } else
            SortAscending = !SortAscending;  // the rows show the list from its end
    });
}

void TSsCustomShellListView::ApplyFilter()
{
    filteredItems_.clear();
    useFiltered_ = false;
    if (!filtered_ || filterText_.empty() || OnFilterItem)
        return;
    TSsRegEx regex;
    regex.IgnoreCase = true;
    if (!regex.SetFileMasks(filterText_))
        return;
    for (int i = 0; i < full_.GetCount(); ++i) {
        TSsShellItem* item = full_.GetItem(i);
        TSsMatchPosition pos;
        if (item->IsFileFolder || item->IsFolder() || regex.CheckString(toAnsi(item->DisplayName), pos))
            filteredItems_.push_back(item);
    }
    useFiltered_ = true;
}

void TSsCustomShellListView::Reload(bool enumerate)
{
    const int row = FocusedRow();
    const QString caption = RowItem(row) ? RowItem(row)->DisplayName : QString();
    setUpdatesEnabled(false);
    model_->BeginReset();
    try {
        if (enumerate && currentFolder_) {
            filteredItems_.clear();
            useFiltered_ = false;
            full_.Clear();
            controller_->EnumerateFolder(currentFolder_->AbsoluteList.get(), emList);
        }
        useFiltered_ = false;
        SortItems();
        ApplyFilter();
    } catch (...) {
        model_->EndReset();
        setUpdatesEnabled(true);
        throw;
    }
    model_->EndReset();
    int focus = -1;
    for (int r = 0; r < RowCount() && focus < 0; ++r)
        if (RowItem(r)->DisplayName == caption)
            focus = r;
    SetFocusedRow(focus >= 0 ? focus : std::min(row, RowCount() - 1));
    RebuildSelection();
    setUpdatesEnabled(true);
}

// ---- events ---------------------------------------------------------------------------------------------

void TSsCustomShellListView::DoFilterItem(TSsShellItem* item, bool& accept)
{
    if (OnFilterItem)
        OnFilterItem(this, item, accept);
}

void TSsCustomShellListView::DoItemDblClick(TSsShellItem* item, bool& useDefault)
{
    if (OnItemDblClick)
        OnItemDblClick(this, item, useDefault);
}

void TSsCustomShellListView::DoItemSelected(TSsShellItem* item)
{
    if (OnItemSelected)
        OnItemSelected(this, item);
}

void TSsCustomShellListView::DoFolderLoaded()
{
    if (OnFolderLoaded)
        OnFolderLoaded(this);
}

void TSsCustomShellListView::DoShellChangeNotify(TSsShellItem* oldItem, TSsShellItem* newItem,
                                                 TSsNotifyEventsSet events)
{
    if (OnShellChangeNotify)
        OnShellChangeNotify(this, oldItem, newItem, events);
}

void TSsCustomShellListView::ShellChangeNotify(TObject*, TSsShellItem* oldItem, TSsShellItem* newItem,
                                               TSsNotifyEventsSet events)
{
    if (editing_)
        return;
    // The folder shown was renamed or moved: the list goes with it.
    if ((events & NE(neFolderRename)) && oldItem && newItem && newItem->AbsoluteList && currentFolder_ &&
        oldItem->NativePath() == currentFolder_->NativePath())
        currentFolder_ = std::make_unique<TSsShellFolder>(newItem->AbsoluteList.get(), controller_.get());
    if (!(events & NE(neAttributesChange)))
        Reload(true);
    else if (viewStyle_ == vsReport && oldItem) {
        for (int r = 0; r < RowCount(); ++r) {
            TSsShellItem* item = RowItem(r);
            if (item->NativePath() != oldItem->NativePath())
                continue;
            item->LoadFileData();
            LoadItemDetails(item);
            model_->RowChanged(r);
            break;
        }
    }
    DoShellChangeNotify(oldItem, newItem, events);
}

void TSsCustomShellListView::RowDoubleClicked(int row)
{
    TSsShellItem* item = RowItem(row);
    if (!item)
        return;
    bool useDefault = true;
    DoItemDblClick(item, useDefault);
    if (!useDefault)
        return;
    if (item->IsFolder() && !(Options & loOpenFoldersThroughShell)) {
        // The item goes with the old rows: show a folder object of its own.
        auto folder = std::make_unique<TSsShellFolder>(item->AbsoluteList.get(), controller_.get());
        if (treeView_)
            treeView_->SelectFolder(folder.get(), false);
        if (comboBox_)
            comboBox_->ShowFolder(folder.get());
        SetFolder(folder.get());
    } else
        item->Open();
}

void TSsCustomShellListView::ItemRenamed(int row, const QString& newName)
{
    editing_ = false;
    TSsShellItem* item = RowItem(row);
    if (!item || newName.isEmpty() || newName == item->DisplayName || !item->ParentFolder)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    int error = 0;
    PSsIdList rel = item->ParentFolder->SetNameOf(*item->RelativeList, newName, &error);
    if (!rel)
        SsShowRenameError(this, error, newName);
    else {
        PSsIdList parent = SsILClone(item->AbsoluteList.get());
        SsILRemoveLastID(parent.get());
        item->AbsoluteList = SsILCombine(parent.get(), rel.get());
        item->RelativeList = std::move(rel);
        item->Path = item->ParentFolder->GetDisplayNameOf(*item->RelativeList, SHGDN_FORPARSING);
        item->DisplayName = item->ParentFolder->GetDisplayNameOf(*item->RelativeList, SHGDN_NORMAL);
        model_->RowChanged(row);
    }
    QApplication::restoreOverrideCursor();
}

// ---- dragging out ------------------------------------------------------------------------------------------

void TSsCustomShellListView::BeginDrag(int row)
{
    if (!(Options & loAllowDrag) || !controller_ || !RowItem(row))
        return;
    controller_->DragSource = this;
    QModelIndexList selected = listView_->selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<TSsShellItem*> items;
    if (selected.size() <= 1)
        items.push_back(RowItem(row));
    else
        for (const QModelIndex& i : selected)
            items.push_back(RowItem(i.row()));
    int32_t effects = 0;
    int files = 0, folders = 0;
    std::vector<PSsIdList> rels;
    std::vector<const TSsIdList*> refs;
    for (TSsShellItem* item : items) {
        effects |= item->DropEffects();
        files += item->IsFile;
        folders += item->IsFileFolder;
        rels.push_back(SsILClone(item->RelativeList.get()));
        refs.push_back(rels.back().get());
    }
    TSsDataObject data(refs, items.front()->AbsoluteList.get());
    auto* drag = new QDrag(this);
    drag->setMimeData(data.CreateMimeData().release());
    QAbstractItemView* view = ActiveView();
    if (items.size() == 1) {
        drag->setPixmap(view->viewport()->grab(view->visualRect(model_->index(row, 0))));
    } else {
        const QString caption = fromAnsi(SsDragCaption(files, folders, int(items.size())));
        const int h = viewStyle_ == vsIcon ? SsLargeIconSize : SsSmallIconSize;
        const int w = h + 4 + fontMetrics().horizontalAdvance(caption);
        QPixmap pm(w, h);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setFont(font());
        // A stack of two file icons stands for several items.
        TSsSystemImageList& images = TSsSystemImageList::Instance();
        const int fileIcon = images.IndexOf(QStringLiteral("x"), false, false, false, false);
        p.drawPixmap(QRect(h / 6, 0, h - h / 6, h - h / 6), images.Pixmap(fileIcon, h, -1));
        p.drawPixmap(QRect(0, h / 6, h - h / 6, h - h / 6), images.Pixmap(fileIcon, h, -1));
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(QRect(h, 0, w - h, h), Qt::AlignCenter | Qt::TextSingleLine, caption);
        p.end();
        drag->setPixmap(pm);
    }
    drag->setHotSpot(QPoint(0, 0));
    const TSsDropSource source;
    SsDoDragDrop(*drag, source, effects);
    if (controller_)
        controller_->DragSource = nullptr;
}

// ---- dropping in ---------------------------------------------------------------------------------------------

std::unique_ptr<TSsFolderDropTarget> TSsCustomShellListView::DropTargetOf(TSsShellItem* item) const
{
    return item ? item->DropTarget() : nullptr;
}

int TSsCustomShellListView::RowAt(const QPoint& pos) const
{
    const QModelIndex i = ActiveView()->indexAt(pos);
    return i.isValid() ? i.row() : -1;
}

void TSsCustomShellListView::DragEnter(QDragEnterEvent* e)
{
    dragData_ = nullptr;
    const QMimeData* data = e->mimeData();
    dragAccepted_ = !LocalFilesOf(data).isEmpty();
    if (!dragAccepted_) {
        e->ignore();
        return;
    }
    dragData_ = data;
    e->acceptProposedAction();
}

void TSsCustomShellListView::DragMove(QDragMoveEvent* e)
{
    if (!dragAccepted_) {
        e->ignore();
        return;
    }
    QAbstractItemView* view = ActiveView();
    const QPoint pos = e->position().toPoint();
    const int row = RowAt(pos);
    if (row >= 0) {
        // Bring the neighbour at the edge into view, then pause.
        const QRect r = view->visualRect(model_->index(row, 0));
        const QSize area = view->viewport()->size();
        auto at = [&](QPoint p) { return view->indexAt(p); };
        QModelIndex next;
        unsigned long pause = 30;
        if (viewStyle_ == vsList) {
            pause = 400;
            if (pos.x() < 10)
                next = at(r.center() - QPoint(r.width(), 0));
            else if (pos.x() > area.width() - 30) {
                next = at(r.center() + QPoint(r.width(), 0));
                if (!next.isValid())
                    next = model_->index(row + 1, 0);
            }
        } else {
            if (viewStyle_ == vsIcon)
                pause = 100;
            if (pos.y() < 30)
                next = at(r.center() - QPoint(0, r.height()));
            else if (pos.y() > area.height() - 30) {
                next = at(r.center() + QPoint(0, r.height()));
                if (!next.isValid() && viewStyle_ == vsIcon)
                    next = model_->index(row + 1, 0);
            }
        }
        if (next.isValid()) {
            view->scrollTo(next, QAbstractItemView::EnsureVisible);
            QThread::msleep(pause);
        }
    }
    int32_t effect = DropEffectsOfActions(e->possibleActions());
    const int32_t keyState = KeyStateOf(e->modifiers(), e->buttons());
    std::unique_ptr<TSsFolderDropTarget> target;
    if (row >= 0)
        target = DropTargetOf(RowItem(row));
    else if (controller_ && controller_->DragSource == this)
        effect = DROPEFFECT_NONE;  // back over its own folder
    else if (currentFolder_)
        target = DropTargetOf(currentFolder_.get());
    if (target) {
        target->DragEnter(dragData_, keyState, effect);
        target->DragOver(keyState, effect);
    } else if (row >= 0)
        effect = DROPEFFECT_NONE;
    TSsShellItem* item = RowItem(row);
    if (item && (!hovered_ || !SsILIsEqual(hovered_->AbsoluteList.get(), item->AbsoluteList.get()))) {
        const int old = dropRow_;
        hovered_ = TSsShellItem::CreateForController(controller_.get());
        hovered_->Assign(*item);
        dropRow_ = row;
        model_->RowChanged(old);
        model_->RowChanged(row);
    }
    SsAnswerDrag(e, effect);
}

void TSsCustomShellListView::DragLeave(QDragLeaveEvent* e)
{
    dragData_ = nullptr;
    dragAccepted_ = false;
    if (hovered_) {
        const int old = dropRow_;
        dropRow_ = -1;
        model_->RowChanged(old);
        hovered_.reset();
    }
    if (e)
        e->accept();
}

void TSsCustomShellListView::Drop(QDropEvent* e)
{
    if (!dragAccepted_) {
        e->ignore();  // the drop fails
        return;
    }
    DragLeave(nullptr);
    int32_t keyState = KeyStateOf(e->modifiers(), e->buttons()) | MK_LBUTTON;
    int32_t effect = DropEffectsOfActions(e->possibleActions());
    if (keyState & MK_CONTROL)
        effect = DROPEFFECT_COPY;
    const int row = RowAt(e->position().toPoint());
    std::unique_ptr<TSsFolderDropTarget> target =
        row >= 0 ? DropTargetOf(RowItem(row)) : DropTargetOf(currentFolder_.get());
    if (!target) {
        e->ignore();
        return;
    }
    target->DragEnter(e->mimeData(), keyState, effect);
    const HRESULT result = target->Drop(e->mimeData(), keyState, effect);
    SsAnswerDrag(e, result == S_OK ? effect : DROPEFFECT_NONE);
    // What was not done, or done only in part, is told as after a paste.
    if (!target->Report().IsEmpty())
        SsShowReport(this, target->Report());
}

// ---- folder combo box ------------------------------------------------------------------------------------------

namespace {
// Draws each entry indented by its level.
class TSsLevelDelegate : public QStyledItemDelegate {
public:
    TSsLevelDelegate(TSsShellFolderComboBox& combo) : QStyledItemDelegate(&combo), combo_(combo) {}
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem o(option);
        o.rect.adjust(10 * std::max(0, combo_.EntryLevel(index.row())), 0, 0, 0);
        QStyledItemDelegate::paint(p, o, index);
    }
private:
    TSsShellFolderComboBox& combo_;
};
}  // namespace

TSsShellFolderComboBox::TSsShellFolderComboBox(QWidget* parent)
    : QComboBox(parent), controller_(std::make_shared<TSsCustomShellController>())
{
    setItemDelegate(new TSsLevelDelegate(*this));
    // Fixed entries: the desktop and the folders on it.
    TSsIdList desktop;
    AddFixedEntry(&desktop, 0);
    for (const TSsDesktopRoot& r : SsDesktopRoots()) {
        TSsIdList list({r.Path});
        AddFixedEntry(&list, 1);
    }
    setCurrentIndex(-1);
}

TSsShellFolderComboBox::~TSsShellFolderComboBox() = default;

void TSsShellFolderComboBox::AddFixedEntry(const TSsIdList* list, int level)
{
    auto folder = std::make_unique<TSsShellFolder>(list, controller_.get());
    folder->Level = level;
    const QIcon icon(TSsSystemImageList::Instance().Pixmap(folder->GetImageIndex(), SsSmallIconSize, -1));
    addItem(icon, folder->DisplayName);
    folders_.Add(std::move(folder));
}

int TSsShellFolderComboBox::EntryLevel(int index) const
{
    TSsShellFolder* f = folders_.GetItem(index);
    return f ? f->Level : 0;
}

void TSsShellFolderComboBox::ShowFolder(TSsShellItem* item)
{
    if (!item)
        return;
    currentFolder_ = std::make_unique<TSsShellFolder>(nullptr);
    currentFolder_->Assign(*item);
    InsertFolderChain(item);
    const int index = currentIndex() != -1 ? currentIndex() : findText(item->DisplayName, Qt::MatchFixedString);
    selectedFolder_ = folders_.GetItem(index);
}

namespace {
// The name of a list's last identifier in its parent folder, else of the
// whole list.
QString EntryName(const TSsIdList& list)
{
    const PSsNamespaceFolder desktop = TSsNamespaceFolder::Desktop();
    if (list.Count() == 0)
        return desktop->GetDisplayNameOf(list, SHGDN_NORMAL);
    PSsNamespaceFolder parent = GetParentFolder(&list);
    if (!parent)
        parent = desktop;
    PSsIdList last = SsILFindLast(&list);
    QString name = parent->GetDisplayNameOf(*last, SHGDN_NORMAL);
    if (name.isEmpty())
        name = parent->GetDisplayNameOf(list, SHGDN_NORMAL);
    return name;
}
}  // namespace

void TSsShellFolderComboBox::InsertFolderChain(TSsShellItem* item)
{
    if (!item || !item->AbsoluteList)
        return;
    // Temporary entries go; a fixed entry of the folder itself ends here.
    for (int i = count() - 1; i >= 0; --i) {
        TSsShellFolder* f = folders_.GetItem(i);
        if (!f)
            continue;
        if (!f->Temporary && f->Path == item->Path) {
            SelectFolderByPath(item);
            return;
        }
        if (f->Temporary) {
            folders_.Delete(i);
            removeItem(i);
        }
    }
    int level = item->AbsoluteList->Count();
    // The nearest ancestor with an entry is the anchor.
    PSsIdList l = SsILClone(item->AbsoluteList.get());
    int anchor = -1;
    QString anchorText;
    while (anchor < 0 && SsILRemoveLastID(l.get())) {
        const QString name = EntryName(*l);
        for (int i = 0; i < count() && anchor < 0; ++i)
            if (itemText(i) == name) {
                anchor = i;
                anchorText = name;
            }
    }
    const QString desktopName = TSsNamespaceFolder::Desktop()->GetDisplayNameOf(TSsIdList(), SHGDN_NORMAL);
    if (anchor < 0 || anchorText == desktopName)
        return;
    const int insertAt = anchor + 1;
    l = SsILClone(item->AbsoluteList.get());
    while (true) {
        const QString name = EntryName(*l);
        if (name.isEmpty() || name == anchorText)
            break;
        auto folder = std::make_unique<TSsShellFolder>(l.get(), controller_.get());
        folder->Level = level;
        folder->Temporary = true;
        const QIcon icon(TSsSystemImageList::Instance().Pixmap(folder->GetImageIndex(), SsSmallIconSize, -1));
        folders_.Insert(insertAt, std::move(folder));
        insertItem(insertAt, icon, name);
        if (!SsILRemoveLastID(l.get()))
            break;
        --level;
    }
    SelectFolderByPath(item);
    update();
}

void TSsShellFolderComboBox::SelectFolderByPath(TSsShellItem* item)
{
    if (!item)
        return;
    for (int i = 0; i < count(); ++i) {
        TSsShellFolder* f = folders_.GetItem(i);
        if (f && f->Path == item->Path) {
            currentIndex_ = i;
            setCurrentIndex(i);
            selectedFolder_ = f;
            return;
        }
    }
}
