#include "SsShellTreeView.h"
#include "Application.h"

#include "SsContextMenu.h"
#include "SsNamespace.h"
#include "SsDataObject.h"
#include "SsShellListView.h"
#include "WaitCursor.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QStyledItemDelegate>
#include <QContextMenuEvent>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QScrollBar>
#include <QTreeWidgetItemIterator>

#include <algorithm>

using namespace Ole;

namespace {
constexpr int NodeDataRole = Qt::UserRole;
// Set once a node's children have been read.
constexpr int ReadRole = Qt::UserRole + 4;

// The list of the entry that Entry's list ends in, reached from the folder
// whose list is Parent: a node's children go on from the node's own list,
// which may reach the folder another way than a notice does.
PSsIdList ListUnder(const TSsIdList* parent, const TSsIdList* entry)
{
    PSsIdList rel = SsILFindLast(entry);
    return SsILCombine(parent, rel.get());
}

QByteArray DirOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

void GiveButton(QTreeWidgetItem* node)
{
    if (node && node->childIndicatorPolicy() != QTreeWidgetItem::ShowIndicator)
        node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
}
}  // namespace

// Keeps the view still while notices change the nodes: the node under the
// mouse (else the top node) stays where it is on the screen, and nothing
// scrolls to the selection.
class TSsViewKeeper {
public:
    explicit TSsViewKeeper(TSsCustomShellTreeView& tree) : tree_(tree), autoScroll_(tree.hasAutoScroll())
    {
        tree.setAutoScroll(false);
        const QRect area = tree.viewport()->rect();
        QPoint at = tree.viewport()->mapFromGlobal(QCursor::pos());
        if (!area.contains(at))
            at = area.topLeft() + QPoint(1, 1);
        if (QTreeWidgetItem* node = tree.itemAt(at)) {
            anchor_ = tree.indexFromItem(node);
            top_ = tree.visualRect(anchor_).top();
        }
    }
    ~TSsViewKeeper()
    {
        const QRect now = anchor_.isValid() ? tree_.visualRect(anchor_) : QRect();
        const int shift = now.top() - top_;
        if (now.height() > 0 && shift != 0) {
            const bool perItem = tree_.verticalScrollMode() == QAbstractItemView::ScrollPerItem;
            QScrollBar* bar = tree_.verticalScrollBar();
            bar->setValue(bar->value() + (perItem ? shift / now.height() : shift));
        }
        tree_.setAutoScroll(autoScroll_);
    }
    TSsViewKeeper(const TSsViewKeeper&) = delete;
    TSsViewKeeper& operator=(const TSsViewKeeper&) = delete;

private:
    TSsCustomShellTreeView& tree_;
    bool autoScroll_;
    QPersistentModelIndex anchor_;
    int top_ = 0;
};

// The node being read again, for AddFolderNode and KeepChild, and the
// controller's target node, while it is.
class TSsSyncScope {
public:
    TSsSyncScope(TSsCustomShellTreeView& tree, QTreeWidgetItem* target) : tree_(tree)
    {
        tree.syncNode_ = target;
        tree.syncChildren_.clear();
        tree.syncSeen_.clear();
        for (int i = 0; i < target->childCount(); ++i)
            if (TSsShellFolder* f = tree.FolderOf(target->child(i)))
                tree.syncChildren_.insert(f->NativePath(), target->child(i));
        tree.controller_->TargetNode = target;
    }
    ~TSsSyncScope()
    {
        tree_.controller_->TargetNode = nullptr;
        tree_.syncNode_ = nullptr;
        tree_.syncChildren_.clear();
        tree_.syncSeen_.clear();
    }
    TSsSyncScope(const TSsSyncScope&) = delete;
    TSsSyncScope& operator=(const TSsSyncScope&) = delete;

private:
    TSsCustomShellTreeView& tree_;
};

// Draws the nodes: their images asked of the tree at each drawing, then the
// tree's custom draw.
class TSsTreeItemDelegate : public QStyledItemDelegate {
public:
    explicit TSsTreeItemDelegate(TSsCustomShellTreeView& tree) : QStyledItemDelegate(&tree), tree_(tree) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QTreeWidgetItem* node = tree_.itemFromIndex(index);
        if (node) {
            tree_.GetImageIndex(node);
            tree_.GetSelectedIndex(node);
        }
        QStyleOptionViewItem state = option;
        initStyleOption(&state, index);
        bool defaultDraw = true;
        if (node)
            tree_.CustomDrawItem(&tree_, node, state, defaultDraw);
        if (!defaultDraw)
            return;
        const QWidget* widget = state.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &state, painter, widget);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QVariant image = index.data(TSsCustomShellTreeView::ImageIndexRole);
        if (!image.isValid())
            return;
        const bool selected = option->state & QStyle::State_Selected;
        const int shown = selected ? index.data(TSsCustomShellTreeView::SelectedIndexRole).toInt() : image.toInt();
        const int overlay = index.data(TSsCustomShellTreeView::OverlayIndexRole).toInt();
        option->icon = QIcon(TSsSystemImageList::Instance().Pixmap(shown, SsSmallIconSize, overlay));
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->decorationSize = QSize(SsSmallIconSize, SsSmallIconSize);
    }

private:
    TSsCustomShellTreeView& tree_;
};

TSsCustomShellTreeView::TSsCustomShellTreeView(QWidget* parent)
    : QTreeWidget(parent), shellVersion_(SsShellVersion())
{
    setHeaderHidden(true);
    setColumnCount(1);
    resize(180, 270);
    setSortingEnabled(false);
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setDragDropMode(QAbstractItemView::DragDrop);

    notification_ = std::make_unique<TSsShellNotification>();
    notification_->SetWatchSubFolders(true);
    notification_->SetWatchPidl(nullptr);
    notification_->QueueLimit = NotifyQueueLimit;
    notification_->OnShellChangeNotify = [this](TObject* s, TSsShellItem* o, TSsShellItem* n,
                                                TSsNotifyEventsSet e) { ShellChangeNotify(s, o, n, e); };
    notification_->OnNoticesLost = [this](TObject*, const QList<QByteArray>& folders) {
        const TSsViewKeeper keep(*this);
        for (const QByteArray& folder : folders)
            SyncFolder(folder);
    };
    notification_->SetActive(true);

    setItemDelegate(new TSsTreeItemDelegate(*this));
    connect(this, &QTreeWidget::itemExpanded, this, Guarded([this](QTreeWidgetItem* n) { NodeExpanding(n); }));
    connect(this, &QTreeWidget::itemCollapsed, this, Guarded([this](QTreeWidgetItem* n) { NodeCollapsed(n); }));
    connect(this, &QTreeWidget::currentItemChanged, this, Guarded([this](QTreeWidgetItem* n) {
        if (ChangeDelay > 0)
            changeTimer_.start(ChangeDelay);
        else
            Change(n);
    }));
    connect(this, &QTreeWidget::itemChanged, this, Guarded([this](QTreeWidgetItem* n, int c) { ItemEdited(n, c); }));
    changeTimer_.setSingleShot(true);
    connect(&changeTimer_, &QTimer::timeout, this, Guarded([this] { Change(currentItem()); }));
    scrollTimer_.setSingleShot(true);
    connect(&scrollTimer_, &QTimer::timeout, this, Guarded([this] { DragScrollStep(); }));
    expandTimer_.setSingleShot(true);
    connect(&expandTimer_, &QTimer::timeout, this, Guarded([this] {
        if (dropNode_ && !dropNode_->isExpanded() &&
            (dropNode_->childCount() > 0 ||
             dropNode_->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator))
            dropNode_->setExpanded(true);
    }));
    ApplyDropOptions();
}

TSsCustomShellTreeView::~TSsCustomShellTreeView()
{
    if (controller_ && controller_->TreeView == this)
        controller_->TreeView = nullptr;
    notification_.reset();
    blockSignals(true);
    clear();
}

TSsCustomShellListView* TSsCustomShellTreeView::ListView() const
{
    return listView_;
}

// ---- window and controller ------------------------------------------------------------------

void TSsCustomShellTreeView::BindController()
{
    if (!controller_)
        controller_ = listView_ && listView_->SharedController()
                          ? listView_->SharedController()
                          : std::make_shared<TSsCustomShellController>();
    controller_->TreeView = this;
}

void TSsCustomShellTreeView::HandleNeeded()
{
    if (created_)
        return;
    created_ = true;
    BindController();
    FillTree();
}

void TSsCustomShellTreeView::showEvent(QShowEvent* e)
{
    HandleNeeded();
    QTreeWidget::showEvent(e);
}

void TSsCustomShellTreeView::ApplyDropOptions()
{
    setDragEnabled(options_ & toAllowDrag);
    setAcceptDrops(options_ & toAllowDrop);
    viewport()->setAcceptDrops(options_ & toAllowDrop);
}

// ---- properties ----------------------------------------------------------------------------------

void TSsCustomShellTreeView::SetCompressedColor(TColor value)
{
    compressedColor_ = value;
    if (options_ & toColorCompressed)
        viewport()->update();
}

void TSsCustomShellTreeView::SetOptions(TSsTreeOptionsSet value)
{
    const bool repaint = (value ^ options_) & toColorCompressed;
    options_ = value;
    ApplyDropOptions();
    if (repaint)
        viewport()->update();
}

void TSsCustomShellTreeView::SetFiltered(bool value)
{
    filtered_ = value;
    if (!created_)
        return;
    FillTree();
    if (QTreeWidgetItem* top = itemAt(0, 0))
        Change(top);
}

void TSsCustomShellTreeView::SetListView(TSsCustomShellListView* value)
{
    listView_ = value;
    if (!controller_ && value && value->SharedController())
        controller_ = value->SharedController();
}

void TSsCustomShellTreeView::SetRootFolder(const QString& value)
{
    rootFolder_ = value;
    if (rootFolder_.isEmpty()) {
        ClearNodes();
        return;
    }
    rootFolder_ = SsFolderWithDriveRoot(rootFolder_);
    specialRoot_ = sfNone;
    if (!startFolder_.isEmpty() || specialStart_ != sfNone)
        initialSelectionDone_ = false;
    ClearNodes();
    FillTree();
}

void TSsCustomShellTreeView::SetSpecialRootFolder(TSsSpecialRootFolder value)
{
    SsCheckSpecialFolder(value, shellVersion_);
    if (value == specialRoot_)
        return;
    specialRoot_ = value;
    if (value == sfNone)
        return;
    rootFolder_.clear();
    if (!startFolder_.isEmpty() || specialStart_ != sfNone)
        initialSelectionDone_ = false;
    ClearNodes();
    FillTree();
}

void TSsCustomShellTreeView::SetStartInFolder(const QString& value)
{
    startFolder_ = value;
    if (startFolder_.isEmpty()) {
        ClearNodes();
        return;
    }
    startFolder_ = SsFolderWithDriveRoot(startFolder_);
    specialStart_ = sfNone;
}

void TSsCustomShellTreeView::SetSpecialStartInFolder(TSsSpecialRootFolder value)
{
    SsCheckSpecialFolder(value, shellVersion_);
    if (value == specialStart_)
        return;
    specialStart_ = value;
    if (value != sfNone)
        startFolder_.clear();
}

// ---- nodes ----------------------------------------------------------------------------------------

TSsShellFolder* TSsCustomShellTreeView::FolderOf(const QTreeWidgetItem* node) const
{
    if (!node)
        return nullptr;
    const QVariant v = node->data(0, NodeDataRole);
    return v.isValid() ? folders_.GetItem(v.toInt()) : nullptr;
}

void TSsCustomShellTreeView::ForEachNode(const std::function<bool(QTreeWidgetItem*)>& f) const
{
    for (QTreeWidgetItemIterator it(const_cast<TSsCustomShellTreeView*>(this)); *it; ++it)
        if (!f(*it))
            return;
}

void TSsCustomShellTreeView::changeEvent(QEvent* e)
{
    QTreeWidget::changeEvent(e);
    if (e->type() != QEvent::LanguageChange)
        return;
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (TSsShellFolder* f = FolderOf(topLevelItem(i)); f && f->IsDesktop) {
            f->DisplayName = SsMenuText("Desktop");
            topLevelItem(i)->setText(0, f->DisplayName);
        }
}

QTreeWidgetItem* TSsCustomShellTreeView::AddFolderNode(QTreeWidgetItem* parent,
                                                       std::unique_ptr<TSsShellFolder> folder,
                                                       bool hasButton)
{
    auto* node = new QTreeWidgetItem;
    node->setText(0, folder->DisplayName);
    node->setData(0, ImageIndexRole, folder->GetImageIndex());
    node->setData(0, SelectedIndexRole, folder->GetOpenImageIndex());
    node->setData(0, OverlayIndexRole, folder->GetOverlayIndex());
    node->setChildIndicatorPolicy(hasButton ? QTreeWidgetItem::ShowIndicator
                                            : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    node->setData(0, NodeDataRole, folders_.Add(std::move(folder)));
    const QSignalBlocker quiet(this);
    if (!parent) {
        addTopLevelItem(node);
        return node;
    }
    int at = parent->childCount();
    if (parent == syncNode_) {
        // Among children in order: after the last one that does not come later.
        int low = 0;
        while (low < at) {
            const int mid = (low + at) / 2;
            if (CompareTreeNodes(parent->child(mid), node) <= 0)
                low = mid + 1;
            else
                at = mid;
        }
        syncSeen_.insert(node);
    }
    parent->insertChild(at, node);
    return node;
}

bool TSsCustomShellTreeView::KeepChild(QTreeWidgetItem* parent, const QByteArray& path)
{
    if (!parent || parent != syncNode_ || path.isEmpty())
        return false;
    QTreeWidgetItem* child = syncChildren_.value(path);
    if (!child)
        return false;
    syncSeen_.insert(child);
    return true;
}

bool TSsCustomShellTreeView::IsRead(const QTreeWidgetItem* node)
{
    return node && node->data(0, ReadRole).toBool();
}

void TSsCustomShellTreeView::MarkRead(QTreeWidgetItem* node)
{
    node->setData(0, ReadRole, true);
}

QTreeWidgetItem* TSsCustomShellTreeView::InsertChild(QTreeWidgetItem* parent, const TSsShellItem& item)
{
    TSsShellFolder* parentFolder = FolderOf(parent);
    if (!controller_ || !parentFolder || !parentFolder->AbsoluteList || !item.AbsoluteList ||
        item.AbsoluteList->Count() == 0)
        return nullptr;
    const QByteArray path = item.NativePath();
    for (int i = 0; i < parent->childCount(); ++i)
        if (TSsShellFolder* f = FolderOf(parent->child(i)); f && !path.isEmpty() && f->NativePath() == path)
            return parent->child(i);
    PSsIdList list = ListUnder(parentFolder->AbsoluteList.get(), item.AbsoluteList.get());
    auto folder = std::make_unique<TSsShellFolder>(list.get(), controller_.get());
    if (!folder->ParentFolder || !folder->RelativeList)
        return nullptr;
    const PSsNamespaceFolder parentNamespace = folder->ParentFolder;
    const TSsIdList relative = *folder->RelativeList;
    const TSsSyncScope scope(*this, parent);
    controller_->AddTreeItem(parentNamespace, relative, std::move(folder));
    for (QTreeWidgetItem* added : std::as_const(syncSeen_))
        return added;
    return nullptr;
}

void TSsCustomShellTreeView::SyncFolder(const QByteArray& path)
{
    if (!controller_ || path.isEmpty())
        return;
    const bool gone = !SsEntryExists(path);
    std::vector<QPersistentModelIndex> nodes;
    for (QTreeWidgetItem* n : NodesOf(path, nullptr))
        nodes.emplace_back(indexFromItem(n));
    for (const QPersistentModelIndex& index : nodes) {
        QTreeWidgetItem* node = itemFromIndex(index);
        TSsShellFolder* folder = FolderOf(node);
        if (!folder)
            continue;
        if (gone) {
            if (node->parent())  // the root stays
                RemoveNode(node);
            continue;
        }
        if (!IsRead(node)) {
            if (folder->HasSubFolder()) {
                const QSignalBlocker quiet(this);
                GiveButton(node);
            }
            continue;
        }
        if (!folder->ParentFolder || !folder->ParentFolder->BindToObject(*folder->RelativeList))
            continue;  // what cannot be read now is not taken for gone
        std::vector<QTreeWidgetItem*> vanished;
        {
            const TSsSyncScope scope(*this, node);
            controller_->EnumerateFolder(folder->AbsoluteList.get(), emTree);
            for (int i = 0; i < node->childCount(); ++i)
                if (!syncSeen_.contains(node->child(i)))
                    vanished.push_back(node->child(i));
        }
        RemoveNodes(vanished);
        WatchChildren(node);
        if (node->childCount() > 0) {
            const QSignalBlocker quiet(this);
            GiveButton(node);
        }
    }
}

void TSsCustomShellTreeView::SetNodeImageIndexes(QTreeWidgetItem* node, int image, int selected, int overlay)
{
    const QSignalBlocker quiet(this);
    node->setData(0, ImageIndexRole, image);
    node->setData(0, SelectedIndexRole, selected);
    node->setData(0, OverlayIndexRole, overlay);
}

void TSsCustomShellTreeView::SetNodeImages(QTreeWidgetItem* node, const TSsIdList* idList, bool setText)
{
    const TSsShellItemInfo info = GetShellItemInfo(idList);
    SetNodeImageIndexes(node, info.ImageIndex, info.OpenImageIndex, -1);
    const QSignalBlocker quiet(this);
    if (setText)
        node->setText(0, info.DisplayName);
}

void TSsCustomShellTreeView::SortChildren(QTreeWidgetItem* node)
{
    if (!node || node->childCount() < 2)
        return;
    const QSignalBlocker quiet(this);
    QTreeWidgetItem* current = currentItem();
    // Taking children out loses the expanded state of the whole branch: note
    // the expanded nodes below, parents before their children.
    std::vector<QTreeWidgetItem*> expanded;
    std::function<void(QTreeWidgetItem*)> collect = [&](QTreeWidgetItem* n) {
        for (int i = 0; i < n->childCount(); ++i)
            if (QTreeWidgetItem* c = n->child(i); c->isExpanded()) {
                expanded.push_back(c);
                collect(c);
            }
    };
    collect(node);
    QList<QTreeWidgetItem*> children = node->takeChildren();
    std::stable_sort(children.begin(), children.end(), [this](QTreeWidgetItem* a, QTreeWidgetItem* b) {
        return CompareTreeNodes(a, b) < 0;
    });
    node->addChildren(children);
    for (QTreeWidgetItem* n : expanded)
        n->setExpanded(true);
    if (current) {
        // Put back where it was, without scrolling to it.
        const bool autoScroll = hasAutoScroll();
        setAutoScroll(false);
        setCurrentItem(current);
        setAutoScroll(autoScroll);
    }
}

int TSsCustomShellTreeView::CompareTreeNodes(const QTreeWidgetItem* Node1, const QTreeWidgetItem* Node2) const
{
    TSsShellFolder* f1 = FolderOf(Node1);
    TSsShellFolder* f2 = FolderOf(Node2);
    if (!f1 || !f2 || !f1->ParentFolder || !f1->RelativeList || !f2->RelativeList)
        return 0;
    return f1->ParentFolder->CompareIDs(*f1->RelativeList, *f2->RelativeList);
}

void TSsCustomShellTreeView::DeleteNode(QTreeWidgetItem* node)
{
    std::function<void(QTreeWidgetItem*)> forget = [&](QTreeWidgetItem* n) {
        for (int i = 0; i < n->childCount(); ++i)
            forget(n->child(i));
        if (OnDeletion)
            OnDeletion(this, n);
        if (n == dropNode_)
            dropNode_ = nullptr;
        if (n == editingNode_)
            editingNode_ = nullptr;
        TSsShellFolder* f = FolderOf(n);
        if (f && f == selectedFolder_)
            selectedFolder_ = nullptr;
        if (f)
            folders_.FreeSlot(n->data(0, NodeDataRole).toInt());
    };
    forget(node);
    delete node;
}

void TSsCustomShellTreeView::ClearNodes()
{
    if (OnDeletion)
        ForEachNode([this](QTreeWidgetItem* n) {
            OnDeletion(this, n);
            return true;
        });
    {
        const QSignalBlocker quiet(this);
        clear();
    }
    folders_.Clear();
    selectedFolder_ = nullptr;
    dropNode_ = editingNode_ = nullptr;
}

QTreeWidgetItem* TSsCustomShellTreeView::FindNodeByPidl(const TSsIdList* idList) const
{
    QTreeWidgetItem* found = nullptr;
    ForEachNode([&](QTreeWidgetItem* n) {
        TSsShellFolder* f = FolderOf(n);
        if (f && SsILIsEqual(f->AbsoluteList.get(), idList))
            found = n;
        return !found;
    });
    return found;
}

QTreeWidgetItem* TSsCustomShellTreeView::FindNodeByPath(const QString& path) const
{
    QTreeWidgetItem* found = nullptr;
    ForEachNode([&](QTreeWidgetItem* n) {
        TSsShellFolder* f = FolderOf(n);
        if (f && f->Path == path)
            found = n;
        return !found;
    });
    return found;
}

QTreeWidgetItem* TSsCustomShellTreeView::FindParentNode(TSsShellItem* item) const
{
    if (!item || !item->AbsoluteList || item->AbsoluteList->Count() == 0)
        return nullptr;
    PSsIdList parent = SsILClone(item->AbsoluteList.get());
    SsILRemoveLastID(parent.get());
    return FindNodeByPidl(parent.get());
}

// ---- filling and expanding --------------------------------------------------------------------

PSsIdList TSsCustomShellTreeView::StartFolderPidl() const
{
    if (!startFolder_.isEmpty())
        return TSsNamespaceFolder::Desktop()->ParseDisplayName(startFolder_);
    return SHGetSpecialFolderLocation(specialStart_);
}

void TSsCustomShellTreeView::ExpandPath(const TSsIdList* idList)
{
    std::vector<PSsIdList> chain;
    for (PSsIdList l = SsILClone(idList); l; ) {
        chain.push_back(SsILClone(l.get()));
        if (!SsILRemoveLastID(l.get()))
            break;
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        if (QTreeWidgetItem* n = FindNodeByPidl(it->get()); n && !n->isExpanded())
            n->setExpanded(true);
}

void TSsCustomShellTreeView::FillTree()
{
    ClearNodes();
    notification_->UnwatchAll();
    if (!controller_ || !created_ || (specialRoot_ == sfNone && rootFolder_.isEmpty())) {
        initialSelectionDone_ = true;
        return;
    }
    PSsIdList rootList;
    if (!rootFolder_.isEmpty()) {
        rootList = TSsNamespaceFolder::Desktop()->ParseDisplayName(rootFolder_);
        if (!rootList)
            RaiseSsError<ESsInvalidFolder>(SsscInvalidFolder);
    } else {
        rootList = SHGetSpecialFolderLocation(specialRoot_);
        if (!rootList)
            RaiseSsError<ESsShellError>(SsscShellVersionError);
    }
    auto root = std::make_unique<TSsShellFolder>(rootList.get(), controller_.get());
    root->OwnerList = &folders_;
    const QByteArray rootPath = root->NativePath();
    QTreeWidgetItem* node = AddFolderNode(nullptr, std::move(root), false);
    SetNodeImages(node, rootList.get(), true);
    filling_ = true;
    controller_->TargetNode = node;
    controller_->EnumerateFolder(rootList.get(), emTree);
    controller_->TargetNode = nullptr;
    {
        const QSignalBlocker quiet(this);
        MarkRead(node);
    }
    notification_->WatchAlso(rootPath);
    WatchChildren(node);
    SortChildren(node);
    if (options_ & toExpandTopNode)
        node->setExpanded(true);
    filling_ = false;
    if (PSsIdList start = StartFolderPidl()) {
        ExpandPath(start.get());
        initialSelectionDone_ = false;
    } else
        initialSelectionDone_ = true;
}

void TSsCustomShellTreeView::NodeExpanding(QTreeWidgetItem* node)
{
    bool allow = true;
    if (OnExpanding)
        OnExpanding(this, node, allow);
    if (!allow) {
        const QSignalBlocker quiet(this);
        node->setExpanded(false);
        return;
    }
    TSsShellFolder* folder = FolderOf(node);
    if (folder && controller_ && node->childCount() == 0) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        controller_->TargetNode = node;
        try {
            controller_->EnumerateFolder(folder->AbsoluteList.get(), emTree);
        } catch (...) {
            controller_->TargetNode = nullptr;
            QApplication::restoreOverrideCursor();
            throw;
        }
        controller_->TargetNode = nullptr;
        QApplication::restoreOverrideCursor();
        {
            const QSignalBlocker quiet(this);
            MarkRead(node);
        }
        notification_->WatchAlso(folder->NativePath());
        WatchChildren(node);
        if (node->childCount() == 0) {
            const QSignalBlocker quiet(this);
            node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
            node->setExpanded(false);
        }
    }
    if (folder && !filling_) {
        setUpdatesEnabled(false);
        SortChildren(node);
        setUpdatesEnabled(true);
    }
    if (node->isExpanded() && OnExpanded)
        OnExpanded(this, node);
}

void TSsCustomShellTreeView::NodeCollapsed(QTreeWidgetItem* node)
{
    bool allow = true;
    if (OnCollapsing)
        OnCollapsing(this, node, allow);
    if (!allow) {
        const QSignalBlocker quiet(this);
        node->setExpanded(true);
        return;
    }
    if (OnCollapsed)
        OnCollapsed(this, node);
}

void TSsCustomShellTreeView::WatchChildren(QTreeWidgetItem* node)
{
    // A shown folder is watched too, so that its first subfolder gives it
    // its expand button.
    for (int i = 0; i < node->childCount(); ++i)
        if (TSsShellFolder* f = FolderOf(node->child(i)); f && !f->IsDesktop)
            notification_->WatchAlso(f->NativePath());
}

void TSsCustomShellTreeView::RefreshNode(QTreeWidgetItem* node)
{
    if (!node)
        node = topLevelItem(0);
    if (!node)
        return;
    // Copies of the expanded descendants, to open them again afterwards.
    std::vector<std::unique_ptr<TSsShellFolder>> reopen;
    std::function<void(QTreeWidgetItem*)> collect = [&](QTreeWidgetItem* n) {
        for (int i = 0; i < n->childCount(); ++i) {
            QTreeWidgetItem* c = n->child(i);
            if (c->isExpanded())
                if (TSsShellFolder* f = FolderOf(c)) {
                    auto copy = TSsShellFolder::CreateForController(controller_.get());
                    copy->Assign(*f);
                    reopen.push_back(std::move(copy));
                }
            collect(c);
        }
    };
    collect(node);
    setUpdatesEnabled(false);
    while (node->childCount() > 0)
        DeleteNode(node->child(0));
    {
        const QSignalBlocker quiet(this);
        node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        node->setExpanded(false);
    }
    node->setExpanded(true);
    for (const auto& f : reopen)
        if (QTreeWidgetItem* n = FindNodeByPidl(f->AbsoluteList.get()))
            n->setExpanded(true);
    setUpdatesEnabled(true);
}

// ---- selection --------------------------------------------------------------------------------------

void TSsCustomShellTreeView::Change(QTreeWidgetItem* node)
{
    if (!initialSelectionDone_ || !node)
        return;
    if (TSsShellFolder* folder = FolderOf(node)) {
        if (folder->IsFileSystem && !folder->Exists()) {
            // Gone without a notice: no one is told of a folder that is not there.
            quietSelection_ = false;
            FolderVanished(folder->NativePath());
            return;
        }
        selectedFolder_ = folder;
        if (OnFolderSelected)
            OnFolderSelected(this, folder);
        if (!quietSelection_ && listView_ && (folder->IsFolder() || folder->IsDesktop))
            listView_->TreeFolderSelected(folder);
    }
    quietSelection_ = false;
}

void TSsCustomShellTreeView::FolderVanished(const QByteArray& path)
{
    // Not while the selection is being changed: once that has ended.
    QMetaObject::invokeMethod(
        this,
        [this, path] {
            if (SsEntryExists(path))
                return;
            // The outermost shown folder that went with it goes, and the user
            // is told once.
            QByteArray outer = path;
            for (;;) {
                const QByteArray up = DirOf(outer);
                if (up == outer || SsEntryExists(up) || NodesOf(up, nullptr).empty())
                    break;
                outer = up;
            }
            std::vector<QTreeWidgetItem*> nodes = NodesOf(outer, nullptr);
            nodes.erase(std::remove_if(nodes.begin(), nodes.end(), [](QTreeWidgetItem* n) { return !n->parent(); }),
                        nodes.end());  // the root stays
            if (nodes.empty())
                return;
            RemoveNodes(nodes);
            SsShowError(this, SsLocalizedMessage(SsscInvalidFolder), {DisplayFileName(DecodeFileName(path))});
        },
        Qt::QueuedConnection);
}

void TSsCustomShellTreeView::ShowNewFolder(QTreeWidgetItem* node, const QByteArray& path)
{
    TSsShellFolder* folder = FolderOf(node);
    if (!folder || !folder->AbsoluteList || path.isEmpty() || !SsIsFolderPath(path))
        return;
    if (IsRead(node))
        InsertChild(node, TSsShellItem(SsNativePathToIdList(path).get(), nullptr));
    {
        const QSignalBlocker quiet(this);
        GiveButton(node);
    }
    node->setExpanded(true);  // reads it when it was not read
    for (int i = 0; i < node->childCount(); ++i)
        if (TSsShellFolder* f = FolderOf(node->child(i)); f && f->NativePath() == path) {
            setCurrentItem(node->child(i));
            scrollToItem(node->child(i));
            return;
        }
}

void TSsCustomShellTreeView::SelectFolderByPidl(const TSsIdList* idList)
{
    HandleNeeded();
    if (!idList)
        RaiseSsError<ESsInvalidFolder>(SsscInvalidFolder);
    std::vector<PSsIdList> collected;
    PSsIdList l = SsILClone(idList);
    QTreeWidgetItem* node = FindNodeByPidl(l.get());
    while (!node && l->Count() > 0) {
        collected.push_back(SsILClone(l.get()));
        SsILRemoveLastID(l.get());
        node = FindNodeByPidl(l.get());
    }
    setUpdatesEnabled(false);
    if (node)
        node->setExpanded(true);
    QTreeWidgetItem* parent = node;
    for (auto it = collected.rbegin(); it != collected.rend(); ++it) {
        QTreeWidgetItem* n = FindNodeByPidl(it->get());
        // A folder made before its change notice arrived is not among the
        // children its parent read when it was expanded: read them again.
        if (!n && parent && SsIsFolderPath(SsIdListToNativePath(it->get()))) {
            RefreshNode(parent);
            setUpdatesEnabled(false);
            n = FindNodeByPidl(it->get());
        }
        if (n)
            n->setExpanded(true);
        parent = n;
    }
    QTreeWidgetItem* target = FindNodeByPidl(idList);
    if (!target) {
        setUpdatesEnabled(true);
        RaiseSsError<ESsInvalidFolder>(SsscInvalidFolder);
    }
    scrollToItem(target);
    setUpdatesEnabled(true);
    setCurrentItem(target);
    selectedFolder_ = FolderOf(target);
}

bool TSsCustomShellTreeView::SelectFolder(TSsShellItem* item, bool onlyIfPresent)
{
    if (!item || !item->AbsoluteList)
        return false;
    HandleNeeded();
    quietSelection_ = true;
    bool done = true;
    try {
        if (!onlyIfPresent)
            SelectFolderByPidl(item->AbsoluteList.get());
        else if (QTreeWidgetItem* n = FindNodeByPidl(item->AbsoluteList.get()))
            setCurrentItem(n);
        else
            done = false;
    } catch (...) {
        quietSelection_ = false;
        throw;
    }
    quietSelection_ = false;
    return done;
}

void TSsCustomShellTreeView::FirstPaint()
{
    initialSelectionDone_ = true;
    PSsIdList start = StartFolderPidl();
    QTreeWidgetItem* node = start ? FindNodeByPidl(start.get()) : nullptr;
    if (!start) {
        if (listView_ && listView_->RowCount() == 0 && folders_.GetItem(0))
            listView_->TreeFolderSelected(folders_.GetItem(0));
        return;
    }
    if (!node)
        node = topLevelItem(0);
    if (!node)
        return;
    {
        const QSignalBlocker quiet(this);
        setCurrentItem(node);
    }
    Change(node);
    scrollToItem(node);
}

bool TSsCustomShellTreeView::viewportEvent(QEvent* e)
{
    if (e->type() == QEvent::Paint && created_ && !initialSelectionDone_)
        FirstPaint();
    return QTreeWidget::viewportEvent(e);
}

void TSsCustomShellTreeView::mouseReleaseEvent(QMouseEvent* e)
{
    QTreeWidget::mouseReleaseEvent(e);
    if (HotTrack && !AutoExpand && currentItem())
        currentItem()->setExpanded(true);
}

void TSsCustomShellTreeView::contextMenuEvent(QContextMenuEvent* e)
{
    if (!(options_ & toShellMenu)) {
        QTreeWidget::contextMenuEvent(e);
        return;
    }
    e->accept();
    QTreeWidgetItem* node = currentItem();
    TSsShellFolder* folder = FolderOf(node);
    if (!folder || !folder->RelativeList)
        return;
    const QPoint at = e->reason() == QContextMenuEvent::Mouse
                          ? e->globalPos()
                          : viewport()->mapToGlobal(visualItemRect(node).center());
    const TSsIdList* lists[] = {folder->RelativeList.get()};
    QByteArray created;
    const QPersistentModelIndex menuNode = indexFromItem(node);
    const int command = ShowShellContextMenu(controller_.get(), this, folder->ParentFolder.get(), this,
                                             at.x(), at.y(), 1, lists, &created);
    if (command == cvRename + 1 && currentItem())
        editItem(currentItem());
    if (command == cvNewFolder + 1 && !created.isEmpty())
        if (QTreeWidgetItem* n = itemFromIndex(menuNode))
            ShowNewFolder(n, created);
}

void TSsCustomShellTreeView::keyReleaseEvent(QKeyEvent* e)
{
    int key = e->key();
    if (OnKeyUp)
        OnKeyUp(this, key, e->modifiers());
    if (key == 0)
        e->accept();
    else
        QTreeWidget::keyReleaseEvent(e);
}

// ---- drawing -------------------------------------------------------------------------------------------

void TSsCustomShellTreeView::GetImageIndex(QTreeWidgetItem* Node)
{
    if (OnGetImageIndex)
        OnGetImageIndex(this, Node);
}

void TSsCustomShellTreeView::GetSelectedIndex(QTreeWidgetItem* Node)
{
    if (OnGetSelectedIndex)
        OnGetSelectedIndex(this, Node);
}

void TSsCustomShellTreeView::CustomDrawItem(TObject*, QTreeWidgetItem* Node, QStyleOptionViewItem& State,
                                            bool&)
{
    // The node under a drop keeps its highlight.
    if (dragAccepted_ && Node == dropNode_)
        return;
    if (!(options_ & toColorCompressed) || (State.state & QStyle::State_Selected))
        return;
    // The attribute first: the drive type reads the mount table.
    TSsShellFolder* folder = FolderOf(Node);
    if (folder && folder->ParentFolder && folder->IsCompressed() &&
        SsGetDriveType(folder->Path) != DRIVE_REMOVABLE)
        State.palette.setColor(QPalette::Text, toQColor(compressedColor_));
}

// ---- renaming --------------------------------------------------------------------------------------------

bool TSsCustomShellTreeView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    if (trigger == QAbstractItemView::NoEditTriggers || !index.isValid())
        return QTreeWidget::edit(index, trigger, event);
    QTreeWidgetItem* node = itemFromIndex(index);
    TSsShellFolder* folder = FolderOf(node);
    if (!folder || !(options_ & toAllowRename) || !folder->CanRename())
        return false;
    bool allow = true;
    if (OnEditing)
        OnEditing(this, node, allow);
    if (!allow)
        return false;
    {
        const QSignalBlocker quiet(this);
        node->setFlags(node->flags() | Qt::ItemIsEditable);
    }
    editingNode_ = node;
    editingText_ = node->text(0);
    return QTreeWidget::edit(index, trigger, event);
}

void TSsCustomShellTreeView::ItemEdited(QTreeWidgetItem* node, int)
{
    if (!node || node != editingNode_)
        return;
    editingNode_ = nullptr;
    QString text = node->text(0);
    if (OnEdited) {
        OnEdited(this, node, text);
        const QSignalBlocker quiet(this);
        node->setText(0, text);
    }
    if (text == editingText_)
        return;
    const TSsShellFolder* edited = FolderOf(node);
    if (!edited || !edited->AbsoluteList)
        return;
    // The node goes away while the editor closes; rename once it has. The folder
    // is found again by its own id list: a change notice in between may have
    // given its node or slot to another folder.
    std::shared_ptr<const TSsIdList> list = SsILClone(edited->AbsoluteList.get());
    QMetaObject::invokeMethod(
        this,
        [this, list, text, old = editingText_] {
            QTreeWidgetItem* n = FindNodeByPidl(list.get());
            TSsShellFolder* folder = FolderOf(n);
            if (!folder || !folder->ParentFolder || !folder->CanRename())
                return;
            const TWaitCursor wait;
            int error = 0;
            PSsIdList rel = folder->ParentFolder->SetNameOf(*folder->RelativeList, text, &error);
            if (!rel) {
                {
                    const QSignalBlocker quiet(this);
                    n->setText(0, old);
                }
                SsShowRenameError(this, error, text);
                return;
            }
            PSsIdList parentList = SsILClone(folder->AbsoluteList.get());
            SsILRemoveLastID(parentList.get());
            PSsIdList renamed = SsILCombine(parentList.get(), rel.get());
            RefreshNode(n->parent() ? n->parent() : n);
            if (QTreeWidgetItem* again = FindNodeByPidl(renamed.get()))
                setCurrentItem(again);
        },
        Qt::QueuedConnection);
}

// ---- dragging out --------------------------------------------------------------------------------------

void TSsCustomShellTreeView::startDrag(Qt::DropActions)
{
    if (!(options_ & toAllowDrag) || !controller_)
        return;
    QTreeWidgetItem* node = currentItem();
    TSsShellFolder* folder = FolderOf(node);
    if (!folder || !folder->RelativeList || folder->IsDesktop)
        return;
    const int32_t effects = folder->DropEffects();
    if (!effects)
        return;
    controller_->DragSource = this;
    PSsIdList rel = SsILClone(folder->RelativeList.get());
    TSsDataObject data({rel.get()}, folder->AbsoluteList.get());
    auto* drag = new QDrag(this);
    drag->setMimeData(data.CreateMimeData().release());
    const QRect r = visualItemRect(node);
    drag->setPixmap(viewport()->grab(r));
    drag->setHotSpot(QPoint(0, 0));
    if (OnStartDrag)
        OnStartDrag(this, drag);
    const TSsDropSource source;
    SsDoDragDrop(*drag, source, effects);
    controller_->DragSource = nullptr;
    if (OnEndDrag) {
        const QPoint at = mapFromGlobal(QCursor::pos());
        OnEndDrag(this, drag->target(), at.x(), at.y());
    }
}

// ---- dropping in -------------------------------------------------------------------------------------------

std::unique_ptr<TSsFolderDropTarget> TSsCustomShellTreeView::DropTargetOf(QTreeWidgetItem* node) const
{
    TSsShellFolder* folder = FolderOf(node);
    return folder ? folder->DropTarget() : nullptr;
}

void TSsCustomShellTreeView::SetDropNode(QTreeWidgetItem* node)
{
    const QSignalBlocker quiet(this);
    if (dropNode_) {
        dropNode_->setData(0, Qt::BackgroundRole, QVariant());
        dropNode_->setData(0, Qt::ForegroundRole, QVariant());
    }
    dropNode_ = node;
    if (node) {
        node->setBackground(0, palette().highlight());
        node->setForeground(0, palette().highlightedText());
    }
}

void TSsCustomShellTreeView::dragEnterEvent(QDragEnterEvent* e)
{
    dragAccepted_ = !LocalFilesOf(e->mimeData()).isEmpty();
    if (!dragAccepted_) {
        e->ignore();
        return;
    }
    e->acceptProposedAction();
}

void TSsCustomShellTreeView::dragMoveEvent(QDragMoveEvent* e)
{
    if (!dragAccepted_) {
        e->ignore();
        return;
    }
    const QPoint pos = e->position().toPoint();
    QTreeWidgetItem* node = itemAt(pos);
    if (!node) {
        e->ignore();
        return;
    }
    // Near the top or bottom edge the tree scrolls one node every 30 ms
    // while the cursor stays there (no drag-over repeats while it rests).
    dragPos_ = pos;
    if (ScrollDirectionAt(pos) != 0 && !scrollTimer_.isActive())
        scrollTimer_.start(DragScrollPause);
    int32_t effect = DropEffectsOfActions(e->possibleActions());
    const int32_t keyState = KeyStateOf(e->modifiers(), e->buttons());
    if (auto target = DropTargetOf(node)) {
        target->DragEnter(e->mimeData(), keyState, effect);
        target->DragOver(keyState, effect);
    } else
        effect = DROPEFFECT_NONE;
    if (node != dropNode_) {
        SetDropNode(node);
        viewport()->update();
        if (ExpandInterval != 0)
            expandTimer_.start(ExpandInterval);
    }
    SsAnswerDrag(e, effect);
}

int TSsCustomShellTreeView::ScrollDirectionAt(const QPoint& pos) const
{
    QTreeWidgetItem* node = itemAt(pos);
    if (!node)
        return 0;
    if (pos.y() < 10 && node != topLevelItem(0) && itemAbove(node))
        return -1;
    if (pos.y() > viewport()->height() - 30 && itemBelow(node))
        return 1;
    return 0;
}

void TSsCustomShellTreeView::DragScrollStep()
{
    const int direction = dragAccepted_ ? ScrollDirectionAt(dragPos_) : 0;
    if (direction == 0)
        return;
    verticalScrollBar()->triggerAction(direction < 0 ? QAbstractSlider::SliderSingleStepSub
                                                     : QAbstractSlider::SliderSingleStepAdd);
    // Another node is now under the resting cursor.
    QTreeWidgetItem* node = itemAt(dragPos_);
    if (node && node != dropNode_) {
        SetDropNode(node);
        if (ExpandInterval != 0)
            expandTimer_.start(ExpandInterval);
    }
    viewport()->update();
    scrollTimer_.start(DragScrollPause);
}

void TSsCustomShellTreeView::dragLeaveEvent(QDragLeaveEvent* e)
{
    scrollTimer_.stop();
    expandTimer_.stop();
    dragAccepted_ = false;
    SetDropNode(nullptr);
    e->accept();
}

void TSsCustomShellTreeView::dropEvent(QDropEvent* e)
{
    scrollTimer_.stop();
    expandTimer_.stop();
    if (!dragAccepted_) {
        e->ignore();  // the drop fails
        return;
    }
    dragAccepted_ = false;
    SetDropNode(nullptr);
    const QPoint pos = e->position().toPoint();
    int32_t effect = DropEffectsOfActions(e->possibleActions());
    const int32_t keyState = KeyStateOf(e->modifiers(), e->buttons()) | MK_LBUTTON;
    auto target = DropTargetOf(itemAt(pos));
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
    if (OnDragDrop)
        OnDragDrop(this, e->source(), pos.x(), pos.y());
}

// ---- change notices -----------------------------------------------------------------------------------------

void TSsCustomShellTreeView::DoFilterItem(TSsShellItem* item, bool& accept)
{
    if (OnFilterItem && filtered_)
        OnFilterItem(this, item, accept);
}

void TSsCustomShellTreeView::DoShellChangeNotify(TSsShellItem* oldItem, TSsShellItem* newItem,
                                                 TSsNotifyEventsSet events)
{
    if (OnShellChangeNotify)
        OnShellChangeNotify(this, oldItem, newItem, events);
}

std::vector<QTreeWidgetItem*> TSsCustomShellTreeView::NodesOf(const QByteArray& path, const TSsIdList* idList) const
{
    std::vector<QTreeWidgetItem*> nodes;
    if (!path.isEmpty())
        ForEachNode([&](QTreeWidgetItem* n) {
            if (TSsShellFolder* f = FolderOf(n); f && f->NativePath() == path)
                nodes.push_back(n);
            return true;
        });
    if (nodes.empty() && idList)
        if (QTreeWidgetItem* n = FindNodeByPidl(idList))
            nodes.push_back(n);
    return nodes;
}

std::vector<QTreeWidgetItem*> TSsCustomShellTreeView::ParentNodesOf(TSsShellItem* item) const
{
    if (!item || !item->AbsoluteList || item->AbsoluteList->Count() == 0)
        return {};
    // A desktop root's parent is the desktop, which has no path.
    const QByteArray parentPath = item->AbsoluteList->Count() > 1 ? DirOf(item->NativePath()) : QByteArray();
    std::vector<QTreeWidgetItem*> nodes = NodesOf(parentPath, nullptr);
    if (nodes.empty())
        if (QTreeWidgetItem* n = FindParentNode(item))
            nodes.push_back(n);
    return nodes;
}

void TSsCustomShellTreeView::EntryCreated(TSsShellItem* item, bool drive)
{
    const std::vector<QTreeWidgetItem*> parents = ParentNodesOf(item);
    if (parents.empty())
        return;
    if (!(options_ & toShowHidden) && item->IsHidden())
        return;  // as the enumeration leaves it out
    auto folder = TSsShellFolder::CreateForController(controller_.get());
    folder->Assign(*item);
    if (!folder->ParentFolder)
        folder->ParentFolder = TSsNamespaceFolder::Desktop();
    bool accept = true;
    DoFilterItem(folder.get(), accept);
    if (!accept)
        return;
    // A node for it is watched before its sub-folders are looked at: one
    // made in the meantime is reported, one made before is found.
    if (std::any_of(parents.begin(), parents.end(), IsRead))
        notification_->WatchAlso(folder->NativePath());
    for (QTreeWidgetItem* parent : parents) {
        if (!IsRead(parent)) {
            // The node comes when the parent is expanded; its button shows
            // that there is one.
            const QSignalBlocker quiet(this);
            GiveButton(parent);
            continue;
        }
        QTreeWidgetItem* node = InsertChild(parent, *folder);
        const QSignalBlocker quiet(this);
        if (node && drive)
            GiveButton(node);
        if (node)
            GiveButton(parent);
    }
}

void TSsCustomShellTreeView::RemoveNode(QTreeWidgetItem* node)
{
    QTreeWidgetItem* current = currentItem();
    bool holdsCurrent = false;
    for (QTreeWidgetItem* n = current; n && !holdsCurrent; n = n->parent())
        holdsCurrent = n == node;
    if (holdsCurrent) {
        // The next node takes the selection: the next sibling, else the
        // previous one, else the parent.
        QTreeWidgetItem* parent = node->parent();
        const int i = parent ? parent->indexOfChild(node) : indexOfTopLevelItem(node);
        auto sibling = [&](int k) { return parent ? parent->child(k) : topLevelItem(k); };
        QTreeWidgetItem* next = sibling(i + 1);
        if (!next)
            next = i > 0 ? sibling(i - 1) : parent;
        setCurrentItem(next);
    }
    DeleteNode(node);
}

void TSsCustomShellTreeView::RemoveNodes(const std::vector<QTreeWidgetItem*>& nodes)
{
    // One may lie below another, and go with it.
    std::vector<QPersistentModelIndex> indexes;
    for (QTreeWidgetItem* n : nodes)
        indexes.emplace_back(indexFromItem(n));
    for (const QPersistentModelIndex& index : indexes)
        if (QTreeWidgetItem* n = itemFromIndex(index))
            RemoveNode(n);
}

void TSsCustomShellTreeView::EntryDeleted(TSsShellItem* item)
{
    RemoveNodes(NodesOf(item->NativePath(), item->AbsoluteList.get()));
}

void TSsCustomShellTreeView::ShellChangeNotify(TObject*, TSsShellItem* oldItem, TSsShellItem* newItem,
                                               TSsNotifyEventsSet events)
{
    DoShellChangeNotify(oldItem, newItem, events);
    if (!oldItem)
        return;
    const TSsViewKeeper keep(*this);
    const bool files = options_ & toShowFiles;
    if (events & (NE(neFolderCreate) | NE(neDriveAdd) | (files ? NE(neFileCreate) : 0))) {
        EntryCreated(oldItem, events & NE(neDriveAdd));
        return;
    }
    // A link to a folder that went away is told as a file: it no longer
    // points anywhere. Only the nodes of what was shown go.
    if (events & (NE(neFolderDelete) | NE(neDriveRemove) | NE(neFileDelete))) {
        EntryDeleted(oldItem);
        return;
    }
    if (newItem && (events & (NE(neFolderRename) | (files ? NE(neFileRename) : 0)))) {
        if (newItem->IsDesktop) {
            if (QTreeWidgetItem* node = FindNodeByPidl(oldItem->AbsoluteList.get()))
                DeleteNode(node);
            return;
        }
        // Moved into another folder: it leaves its old place and is new there.
        PSsIdList oldParent = SsILClone(oldItem->AbsoluteList.get());
        PSsIdList newParent = SsILClone(newItem->AbsoluteList.get());
        SsILRemoveLastID(oldParent.get());
        SsILRemoveLastID(newParent.get());
        const bool outOfSight = !(options_ & toShowHidden) && newItem->IsHidden();
        if (!SsILIsEqual(oldParent.get(), newParent.get()) || outOfSight) {
            EntryDeleted(oldItem);
            EntryCreated(newItem, false);
            return;
        }
        // Names compare as the file system compares them: exactly.
        std::vector<QPersistentModelIndex> renamed;
        for (QTreeWidgetItem* node : NodesOf(oldItem->NativePath(), oldItem->AbsoluteList.get())) {
            renamed.emplace_back(indexFromItem(node));
            if (TSsShellFolder* f = FolderOf(node)) {
                PSsIdList parentList = SsILClone(f->AbsoluteList.get());
                SsILRemoveLastID(parentList.get());
                f->Assign(TSsShellItem(ListUnder(parentList.get(), newItem->AbsoluteList.get()).get(), nullptr));
            }
        }
        // Not shown under its old name (a hidden work folder, say): it is new.
        if (renamed.empty()) {
            EntryCreated(newItem, false);
            return;
        }
        for (const QPersistentModelIndex& index : renamed) {
            QTreeWidgetItem* node = itemFromIndex(index);
            if (!node)
                continue;
            {
                const QSignalBlocker quiet(this);
                node->setText(0, newItem->DisplayName);
            }
            SortChildren(node->parent());
            // The children still carry the old path: read them again.
            if (node->childCount() > 0)
                RefreshNode(node);
        }
    }
}
