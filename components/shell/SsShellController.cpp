#include "SsShellController.h"

#include "SsContextMenu.h"
#include "SsShellListView.h"
#include "SsShellTreeView.h"
#include "SysUtils.h"

#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
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

TSsCustomShellController::~TSsCustomShellController()
{
    StopAnimation();
}

void TSsCustomShellController::StopAnimation()
{
    delete Animation.data();
    Animation = nullptr;
}

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
        // A folder without a file-system path is read by the shell itself.
        if (folder->Path().isEmpty())
            ShowSearchAnimation(this);
    }
    // The animation goes with the first item, or with the end however the
    // enumeration ends.
    struct TAnimationEnd {
        TSsCustomShellController& c;
        ~TAnimationEnd() { c.StopAnimation(); }
    } animationEnd{*this};
    const auto children = folder->EnumObjects(flags);
    if (!children)
        return;
    for (const QByteArray& child : *children) {
        StopAnimation();
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
        AddTreeItem(folder, rel, std::make_unique<TSsShellFolder>(abs.get(), this, folder));
    }
}

void TSsCustomShellController::AddTreeItem(const PSsNamespaceFolder& folder, const TSsIdList& rel,
                                           std::unique_ptr<TSsShellFolder> item)
{
    bool accept = true;
    TreeView->DoFilterItem(item.get(), accept);
    if (!accept || TreeView->KeepChild(TargetNode, item->NativePath()))
        return;
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

// ---- search animation ------------------------------------------------------------------------

TSsAnimate::TSsAnimate(QWidget* parent) : QWidget(parent)
{
    resize(80, 60);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAutoFillBackground(true);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % FrameCount;
        update();
    });
}

void TSsAnimate::SetColor(const QColor& color)
{
    QPalette p = palette();
    p.setColor(QPalette::Window, color);
    setPalette(p);
}

void TSsAnimate::SetActive(bool value)
{
    if (value) {
        timer_.start(100);
        // The first frame shows even when no event is handled before the end.
        repaint();
    } else
        timer_.stop();
}

void TSsAnimate::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // The folder.
    const QRectF folder(width() / 2.0 - 22, height() / 2.0 - 12, 44, 28);
    p.setPen(QColor(150, 120, 30));
    p.setBrush(QColor(240, 200, 80));
    p.drawRect(QRectF(folder.left(), folder.top() - 5, 18, 6));
    p.drawRect(folder);
    // The glass sweeps to and fro across it.
    const int half = FrameCount / 2;
    const int step = frame_ < half ? frame_ : FrameCount - frame_;
    const QPointF centre(folder.left() + 6 + step * (folder.width() - 12) / half, folder.center().y() - 2);
    p.setPen(QPen(QColor(60, 60, 60), 3));
    p.drawLine(centre + QPointF(6, 6), centre + QPointF(13, 13));
    p.setPen(QPen(QColor(60, 60, 60), 2));
    p.setBrush(QColor(200, 230, 255, 160));
    p.drawEllipse(centre, 8, 8);
}

void ShowSearchAnimation(TSsCustomShellController* Controller)
{
    TSsCustomShellListView* list = Controller ? Controller->ListView : nullptr;
    if (!list || !list->isVisible())
        return;
    Controller->StopAnimation();
    auto* animation = new TSsAnimate(list);
    animation->move(list->width() / 2 - animation->width() / 2, list->height() / 2 - animation->height() / 2);
    animation->SetColor(list->palette().color(QPalette::Base));
    animation->show();
    animation->raise();
    animation->SetActive(true);
    Controller->Animation = animation;
}

// ---- context menu ----------------------------------------------------------------------------------

std::function<int(QMenu& Menu, const QPoint& ScreenPos)> SsTrackPopupMenuHook;

int SsTrackPopupMenu(QMenu& Menu, const QPoint& ScreenPos)
{
    if (SsTrackPopupMenuHook)
        return SsTrackPopupMenuHook(Menu, ScreenPos);
    const QAction* chosen = Menu.exec(ScreenPos);
    return chosen ? chosen->data().toInt() : 0;
}

int ShowShellContextMenu(TSsCustomShellController* Controller, QWidget* Control,
                         const TSsNamespaceFolder* Folder, QWidget* Window, int X, int Y, int Count,
                         const TSsIdList* const* IdLists, QByteArray* CreatedFolder)
{
    if (!Folder && Controller)
        Folder = Controller->DesktopFolder.get();
    std::unique_ptr<TSsContextMenu> contextMenu = Folder ? Folder->GetUIObjectOf(Count, IdLists) : nullptr;
    if (!contextMenu)
        return -1;
    bool canRename = false;
    bool extended = false;
    if (const auto* tree = qobject_cast<TSsCustomShellTreeView*>(Control)) {
        canRename = tree->Options() & toAllowRename;
        extended = tree->Options() & toExtendedMenu;
    } else if (const auto* list = qobject_cast<TSsCustomShellListView*>(Control))
        canRename = list->Options & loAllowRename;
    uint32_t flags = CMF_EXPLORE;
    if (canRename)
        flags |= CMF_CANRENAME;
    // Shift as the input handled so far left it, as the click that opened the menu saw it.
    if (extended && (QGuiApplication::keyboardModifiers() & Qt::ShiftModifier))
        flags |= CMF_EXTENDEDVERBS;
    QMenu menu(Window);
    if (contextMenu->QueryContextMenu(menu, 1, 0x7FFF, flags) <= 0)
        return -1;
    const int command = SsTrackPopupMenu(menu, QPoint(X, Y));
    if (command <= 0)
        return -1;
    TSsCMInvokeCommandInfo info;
    info.Window = Window;
    info.Verb = command - 1;
    info.Show = SW_SHOWNORMAL;
    contextMenu->InvokeCommand(info);
    if (CreatedFolder)
        *CreatedFolder = contextMenu->CreatedFolder();
    return command;
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

std::unique_ptr<TSsShellItem> TSsShellEnumerator::ItemOf(const QByteArray& name)
{
    if (!folder_ || !rootList_ || name.isEmpty() || (name.startsWith('.') && !(Options & eoIncludeHidden)))
        return nullptr;
    TSsIdList rel({name});
    PSsIdList abs = SsILCombine(rootList_.get(), &rel);
    const QByteArray path = SsIdListToNativePath(abs.get());
    if (!SsEntryExists(path))
        return nullptr;
    const bool isDir = SsIsFolderPath(path);
    if (!(Options & (isDir ? eoIncludeFolders : eoIncludeNonFolders)))
        return nullptr;
    auto item = std::make_unique<TSsShellItem>(abs.get(), this, folder_);
    item->OwnerList = &ItemList;
    bool accept = true;
    DoEnumItem(item.get(), accept);
    return accept ? std::move(item) : nullptr;
}

int TSsShellEnumerator::Insert(std::unique_ptr<TSsShellItem> item)
{
    int at = ItemList.GetCount();
    if (sorted_) {
        const auto compare = direction_ == sdDescending ? SsCompareByNameDesc : SsCompareByName;
        for (int low = 0; low < at;) {
            const int mid = (low + at) / 2;
            if (compare(ItemList.GetItem(mid), item.get()) <= 0)
                low = mid + 1;
            else
                at = mid;
        }
    }
    ItemList.Insert(at, std::move(item));
    return at;
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
    folder_.reset();
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
    folder_ = folder;
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
