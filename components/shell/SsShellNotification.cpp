#include "SsShellNotification.h"
#include "Application.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <QTimer>

#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <map>
#include <utility>

namespace {
// The posted request to work off the queue.
const QEvent::Type DispatchEventType = QEvent::Type(QEvent::User + 1026);
// A sub-folder watch walks at most this many folders.
constexpr int MaxSubFolderWatches = 4096;

struct EventBit {
    uint32_t code;
    TSsNotifyEvents event;
};
// The event codes in the order in which a notice is dispatched.
constexpr EventBit DispatchOrder[] = {
    {SHCNE_ASSOCCHANGED, neAssociationChange}, {SHCNE_UPDATEITEM, neFileChange},
    {SHCNE_CREATE, neFileCreate},              {SHCNE_DELETE, neFileDelete},
    {SHCNE_RENAMEITEM, neFileRename},          {SHCNE_DRIVEADD, neDriveAdd},
    {SHCNE_DRIVEREMOVED, neDriveRemove},       {SHCNE_DRIVEADDGUI, neShellDriveAdd},
    {SHCNE_MEDIAINSERTED, neMediaInsert},      {SHCNE_MEDIAREMOVED, neMediaRemove},
    {SHCNE_MKDIR, neFolderCreate},             {SHCNE_RMDIR, neFolderDelete},
    {SHCNE_RENAMEFOLDER, neFolderRename},      {SHCNE_UPDATEDIR, neFolderUpdate},
    {SHCNE_NETSHARE, neNetShare},              {SHCNE_NETUNSHARE, neNetUnShare},
    {SHCNE_SERVERDISCONNECT, neServerDisconnect}, {SHCNE_UPDATEIMAGE, neImageListChange},
    {SHCNE_FREESPACE, neDriveSpaceChange},
};

std::unique_ptr<TSsShellItem> ItemOf(const PSsIdList& list)
{
    return list ? std::make_unique<TSsShellItem>(list.get(), nullptr) : nullptr;
}

QList<QByteArray> VolumePaths()
{
    QList<QByteArray> paths;
    for (const TSsDesktopRoot& r : SsDesktopRoots())
        paths << r.Path;
    return paths;
}

QByteArray Join(const QByteArray& dir, const QByteArray& name)
{
    return dir.endsWith('/') ? dir + name : dir + '/' + name;
}

QByteArray DirOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

// The path Path has when the folder From now lies at To.
QByteArray Moved(const QByteArray& path, const QByteArray& from, const QByteArray& to)
{
    if (path == from)
        return to;
    return path.startsWith(from + '/') ? to + path.mid(from.size()) : path;
}

// The path an open handle has now; empty when it cannot be told or the
// entry is gone.
QByteArray PathOfHandle(int fd)
{
    QByteArray path(PATH_MAX, Qt::Uninitialized);
    const ssize_t n = ::readlink(("/proc/self/fd/" + QByteArray::number(fd)).constData(), path.data(), size_t(path.size()));
    if (n <= 0 || n >= path.size() || path[0] != '/')
        return QByteArray();
    path.truncate(n);
    struct stat now, open;
    if (::stat(path.constData(), &now) != 0 || ::fstat(fd, &open) != 0 || now.st_dev != open.st_dev ||
        now.st_ino != open.st_ino)
        return QByteArray();  // removed (" (deleted)"), or another entry took the name
    return path;
}

// Whether the file system of an open folder tells of the changes made in it
// elsewhere: network file systems know nothing of other clients' changes, a
// FUSE one nothing of those made below it.
bool SeesChanges(int fd)
{
    struct statfs fs;
    if (::fstatfs(fd, &fs) != 0)
        return true;
    switch (uint32_t(fs.f_type)) {
    case FUSE_SUPER_MAGIC:
    case NFS_SUPER_MAGIC:
    case SMB_SUPER_MAGIC:
    case CIFS_SUPER_MAGIC:
    case SMB2_SUPER_MAGIC:
    case V9FS_MAGIC:
    case CEPH_SUPER_MAGIC:
    case AFS_SUPER_MAGIC:
    case AFS_FS_MAGIC:
    case CODA_SUPER_MAGIC: return false;
    default: return true;
    }
}
}  // namespace

uint32_t SsNotifyEventMask(TSsNotifyEventsSet events)
{
    static const std::pair<TSsNotifyEvents, uint32_t> codes[] = {
        {neAssociationChange, SHCNE_ASSOCCHANGED}, {neAttributesChange, SHCNE_ATTRIBUTES},
        {neFileChange, SHCNE_UPDATEITEM},          {neFileCreate, SHCNE_CREATE},
        {neFileDelete, SHCNE_DELETE},              {neFileRename, SHCNE_RENAMEITEM},
        {neDriveAdd, SHCNE_DRIVEADD},              {neDriveRemove, SHCNE_DRIVEREMOVED},
        {neShellDriveAdd, SHCNE_DRIVEADDGUI},      {neDriveSpaceChange, SHCNE_FREESPACE},
        {neMediaInsert, SHCNE_MEDIAINSERTED},      {neMediaRemove, SHCNE_MEDIAREMOVED},
        {neFolderCreate, SHCNE_MKDIR},             {neFolderDelete, SHCNE_RMDIR},
        {neFolderRename, SHCNE_RENAMEFOLDER},      {neFolderUpdate, SHCNE_UPDATEDIR},
        {neNetShare, SHCNE_NETSHARE},              {neNetUnShare, SHCNE_NETUNSHARE},
        {neServerDisconnect, SHCNE_SERVERDISCONNECT}, {neImageListChange, SHCNE_UPDATEIMAGE}};
    uint32_t mask = 0;
    for (auto [e, code] : codes)
        if (events & NE(e))
            mask |= code;
    return mask;
}

bool TSsNotifyWindow::event(QEvent* e)
{
    if (e->type() == DispatchEventType) {
        owner_.Dispatch();
        return true;
    }
    return QObject::event(e);
}

TSsCustomShellNotification::TSsCustomShellNotification()
    : shellVersion_(SsShellVersion()), window_(std::make_unique<TSsNotifyWindow>(*this)),
      pollTimer_(std::make_unique<QTimer>())
{
    queue_.DisposeData = [](void* d) { delete static_cast<TSsNotificationItem*>(d); };
    pollTimer_->setInterval(PollDelay);
    QObject::connect(pollTimer_.get(), &QTimer::timeout, window_.get(), Guarded([this] { Poll(); }));
}

int TSsCustomShellNotification::PollInterval() const
{
    return pollTimer_->isActive() && (pollEntries_ || folderFd_ < 0) ? pollTimer_->interval() : 0;
}

TSsCustomShellNotification::~TSsCustomShellNotification()
{
    try {
        Deregister();
        queue_.Clear();
    } catch (...) {
        // Nothing may leave a destructor.
    }
}

void TSsCustomShellNotification::SetActive(bool value)
{
    active_ = value;
    if (value && !registered_)
        Register();
    else if (!value && registered_)
        Deregister();
}

void TSsCustomShellNotification::Reregister()
{
    if (active_)
        Register();
}

void TSsCustomShellNotification::SetNotifyEvents(TSsNotifyEventsSet value)
{
    events_ = value & SsAllNotifyEvents;
    Reregister();
}

void TSsCustomShellNotification::SetWatchSubFolders(bool value)
{
    subFolders_ = value;
    Reregister();
}

void TSsCustomShellNotification::SetWatchFolder(const QString& value)
{
    watchFolder_ = SsFolderWithDriveRoot(value);
    if (watchFolder_.isEmpty())
        return;
    special_ = sfNone;
    PSsIdList list = TSsNamespaceFolder::Desktop()->ParseDisplayName(watchFolder_);
    if (!list)
        RaiseSsError<ESsInvalidFolder>(SsscInvalidFolder);
    watchList_ = std::move(list);
    Reregister();
}

void TSsCustomShellNotification::SetSpecialWatchFolder(TSsSpecialRootFolder value)
{
    SsCheckSpecialFolder(value, shellVersion_);
    if (value == special_)
        return;
    PSsIdList list;
    if (value != sfNone && value != sfDesktop) {
        list = SHGetSpecialFolderLocation(value);
        if (!list)  // a special folder without counterpart here
            RaiseSsError<ESsShellError>(SsscShellVersionError);
    }
    special_ = value;
    if (value == sfNone)
        return;
    watchFolder_.clear();
    watchList_ = std::move(list);
    Reregister();
}

void TSsCustomShellNotification::SetWatchPidl(PSsIdList list)
{
    watchList_ = std::move(list);
    Reregister();
}

void TSsCustomShellNotification::WatchAlso(const QByteArray& folder)
{
    if (folder.isEmpty() || extraFolders_.contains(folder))
        return;
    extraFolders_ << folder;
    if (registered_ && subFolders_)
        AddWatch(folder);
}

void TSsCustomShellNotification::UnwatchAll()
{
    extraFolders_.clear();
    Reregister();
}

// ---- registration ------------------------------------------------------------------------

int TSsCustomShellNotification::AddWatch(const QByteArray& dir)
{
    if (fd_ < 0 || dir.isEmpty())
        return -1;
    const uint32_t mask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                          IN_CLOSE_WRITE | IN_MOVE_SELF | IN_ONLYDIR;
    int wd = inotify_add_watch(fd_, dir.constData(), mask);
    if (wd < 0 && errno == ENAMETOOLONG) {
        // Too long for one call: watched through a handle of the folder.
        const int folder = SsOpenPath(dir, O_PATH | O_DIRECTORY);
        if (folder >= 0) {
            wd = inotify_add_watch(fd_, ("/proc/self/fd/" + QByteArray::number(folder)).constData(), mask);
            ::close(folder);
        }
    }
    if (wd >= 0)
        watches_.insert(wd, dir);
    return wd;
}

void TSsCustomShellNotification::AddSubFolderWatches(const QByteArray& root)
{
    QList<QByteArray> pending{root};
    for (int n = 0; !pending.isEmpty() && n < MaxSubFolderWatches;) {
        const QByteArray dir = pending.takeFirst();
        const int fd = SsOpenPath(dir, O_RDONLY | O_DIRECTORY);
        DIR* d = fd < 0 ? nullptr : ::fdopendir(fd);
        if (!d) {
            if (fd >= 0)
                ::close(fd);
            continue;
        }
        while (const dirent* e = ::readdir(d)) {
            const QByteArray name(e->d_name);
            struct stat st;
            const bool folder = e->d_type == DT_DIR ||
                                (e->d_type == DT_UNKNOWN && ::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                                 S_ISDIR(st.st_mode));
            if (name == "." || name == ".." || !folder || n >= MaxSubFolderWatches)
                continue;
            const QByteArray sub = Join(dir, name);
            AddWatch(sub);
            pending << sub;
            ++n;
        }
        ::closedir(d);
    }
}

void TSsCustomShellNotification::Register()
{
    if (registered_)
        Deregister();
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0)
        return;  // a failed registration stays silent
    const bool wholeNamespace = !watchList_ || watchList_->Count() == 0;
    if (wholeNamespace) {
        for (const QByteArray& root : VolumePaths())
            AddWatch(root);
        mountsFd_ = ::open("/proc/self/mounts", O_RDONLY | O_CLOEXEC);
        if (mountsFd_ >= 0) {
            mounts_ = VolumePaths();
            mountsNotifier_ = std::make_unique<QSocketNotifier>(mountsFd_, QSocketNotifier::Exception);
            QObject::connect(mountsNotifier_.get(), &QSocketNotifier::activated, window_.get(),
                             Guarded([this] { ReadMounts(); }));
        }
    } else {
        folderPath_ = SsIdListToNativePath(watchList_.get());
        folderFd_ = SsOpenPath(folderPath_, O_PATH | O_DIRECTORY);
        folderWd_ = AddWatch(folderPath_);
        if (subFolders_)
            AddSubFolderWatches(folderPath_);
        // A folder whose file system tells no changes, or that cannot be watched, is polled.
        pollEntries_ = folderFd_ >= 0 && (folderWd_ < 0 || !SeesChanges(folderFd_));
        if (pollEntries_)
            entries_ = EntriesOf(folderFd_);
        // Also tells when the folder is removed: the handle keeps its watch
        // from saying so.
        pollTimer_->start();
    }
    if (subFolders_)
        for (const QByteArray& extra : std::as_const(extraFolders_))
            AddWatch(extra);
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, window_.get(), Guarded([this] { ReadEvents(); }));
    registered_ = true;
}

void TSsCustomShellNotification::Deregister()
{
    notifier_.reset();
    mountsNotifier_.reset();
    if (fd_ >= 0)
        ::close(fd_);
    if (mountsFd_ >= 0)
        ::close(mountsFd_);
    if (folderFd_ >= 0)
        ::close(folderFd_);
    fd_ = mountsFd_ = folderFd_ = folderWd_ = -1;
    folderPath_.clear();
    watches_.clear();
    pollTimer_->stop();
    pollEntries_ = false;
    entries_.clear();
    registered_ = false;
}

// ---- reports of the system -----------------------------------------------------------------

void TSsCustomShellNotification::FollowFolder()
{
    if (folderFd_ < 0)
        return;
    const QByteArray now = PathOfHandle(folderFd_);
    PSsIdList moved = SsNativePathToIdList(now);
    if (now.isEmpty() || now == folderPath_ || !moved)
        return;
    const QByteArray was = std::exchange(folderPath_, now);
    for (QByteArray& dir : watches_)
        dir = Moved(dir, was, now);
    PSsIdList old = std::exchange(watchList_, SsILClone(moved.get()));
    if (SsNotifyEventMask(events_) & SHCNE_RENAMEFOLDER)
        Notify(std::move(old), std::move(moved), SHCNE_RENAMEFOLDER);
}

void TSsCustomShellNotification::ReadEvents()
{
    FollowFolder();
    const uint32_t wanted = SsNotifyEventMask(events_);
    const bool folderWatch = watchList_ && watchList_->Count() > 0;
    std::map<uint32_t, std::pair<QByteArray, bool>> movedFrom;
    auto report = [&](const QByteArray& first, const QByteArray& second, uint32_t code) {
        if (code & wanted)
            Notify(SsNativePathToIdList(first), second.isEmpty() ? nullptr : SsNativePathToIdList(second), code);
    };
    // A link to a folder counts as a folder, as a reading of its folder shows it.
    auto isFolder = [](const inotify_event* e, const QByteArray& path) {
        return (e->mask & IN_ISDIR) || SsIsFolderPath(path);
    };
    alignas(inotify_event) char buffer[64 * 1024];
    while (fd_ >= 0) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t pos = 0; pos < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + pos);
            pos += ssize_t(sizeof(inotify_event) + e->len);
            if (e->mask & IN_IGNORED) {
                watches_.remove(e->wd);
                if (e->wd == folderWd_)
                    FolderGone();
                continue;
            }
            if (e->mask & IN_Q_OVERFLOW) {
                // The system dropped reports: every watched folder may have changed.
                for (const QByteArray& dir : std::as_const(watches_))
                    if (!lost_.contains(dir))
                        lost_ << dir;
                if (queue_.Count() == 0)
                    QCoreApplication::postEvent(window_.get(), new QEvent(DispatchEventType));
                continue;
            }
            const QByteArray dir = watches_.value(e->wd);
            if (dir.isEmpty() || e->len == 0)
                continue;
            const QByteArray path = Join(dir, QByteArray(e->name));
            if (pollEntries_ && e->wd == folderWd_)
                NoteEntry(QByteArray(e->name));
            const bool isDir = (e->mask & (IN_CREATE | IN_MOVED_TO)) ? isFolder(e, path) : bool(e->mask & IN_ISDIR);
            if (e->mask & IN_CREATE) {
                report(path, QByteArray(), isDir ? SHCNE_MKDIR : SHCNE_CREATE);
                if (isDir && subFolders_ && folderWatch)
                    AddWatch(path);
            } else if (e->mask & IN_DELETE)
                report(path, QByteArray(), isDir ? SHCNE_RMDIR : SHCNE_DELETE);
            else if (e->mask & IN_MOVED_FROM)
                movedFrom[e->cookie] = {path, isDir};
            else if (e->mask & IN_MOVED_TO) {
                auto it = movedFrom.find(e->cookie);
                if (it != movedFrom.end()) {
                    report(it->second.first, path, isDir || it->second.second ? SHCNE_RENAMEFOLDER : SHCNE_RENAMEITEM);
                    // The watches inside a moved folder go with it.
                    if (it->second.second) {
                        for (QByteArray& watched : watches_)
                            watched = Moved(watched, it->second.first, path);
                        for (QByteArray& extra : extraFolders_)
                            extra = Moved(extra, it->second.first, path);
                    }
                    movedFrom.erase(it);
                } else
                    report(path, QByteArray(), isDir ? SHCNE_MKDIR : SHCNE_CREATE);
            } else if (e->mask & IN_ATTRIB)
                report(path, QByteArray(), SHCNE_ATTRIBUTES);
            else if (e->mask & IN_CLOSE_WRITE)
                report(path, QByteArray(), SHCNE_UPDATEITEM);
        }
    }
    // Entries moved out of sight are gone.
    for (const auto& [cookie, entry] : movedFrom)
        report(entry.first, QByteArray(), entry.second ? SHCNE_RMDIR : SHCNE_DELETE);
}

bool TSsCustomShellNotification::StateOf(int dirFd, const char* name, TEntryState& state)
{
    struct stat st;
    // A link counts as what it leads to; a dangling one as itself.
    if (::fstatat(dirFd, name, &st, 0) != 0 && ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    state = {st.st_ino, st.st_size, st.st_mtim, S_ISDIR(st.st_mode)};
    return true;
}

QHash<QByteArray, TSsCustomShellNotification::TEntryState> TSsCustomShellNotification::EntriesOf(int folderFd)
{
    QHash<QByteArray, TEntryState> entries;
    const int fd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* d = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!d) {
        if (fd >= 0)
            ::close(fd);
        return entries;
    }
    while (const dirent* e = ::readdir(d)) {
        TEntryState state;
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0 &&
            StateOf(::dirfd(d), e->d_name, state))
            entries.insert(QByteArray(e->d_name), state);
    }
    ::closedir(d);
    return entries;
}

void TSsCustomShellNotification::FolderGone()
{
    if (folderFd_ >= 0)
        ::close(folderFd_);
    folderFd_ = folderWd_ = -1;
    pollEntries_ = false;
    entries_.clear();
    pollTimer_->start();
}

void TSsCustomShellNotification::NoteEntry(const QByteArray& name)
{
    TEntryState state;
    if (StateOf(folderFd_, name.constData(), state))
        entries_.insert(name, state);
    else
        entries_.remove(name);
}

void TSsCustomShellNotification::Poll()
{
    if (folderFd_ < 0) {
        const QByteArray folder = folderPath_;
        if (!SsIsFolderPath(folder))
            return;
        // A folder came at the path: watched now, and read again by whoever follows it.
        Register();
        if (!lost_.contains(folder))
            lost_ << folder;
        if (queue_.Count() == 0)
            QCoreApplication::postEvent(window_.get(), new QEvent(DispatchEventType));
        return;
    }
    struct stat st;
    if (::fstat(folderFd_, &st) != 0 || st.st_nlink == 0) {
        FolderGone();
        return;
    }
    if (!pollEntries_)
        return;
    const QByteArray dir = PathOfHandle(folderFd_);
    if (dir.isEmpty())
        return;
    const uint32_t wanted = SsNotifyEventMask(events_);
    auto report = [&](const QByteArray& name, uint32_t code) {
        if (code & wanted)
            Notify(SsNativePathToIdList(Join(dir, name)), nullptr, code);
    };
    const QHash<QByteArray, TEntryState> now = EntriesOf(folderFd_);
    for (auto it = entries_.cbegin(); it != entries_.cend(); ++it)
        if (!now.contains(it.key()))
            report(it.key(), it->Folder ? SHCNE_RMDIR : SHCNE_DELETE);
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        const auto was = entries_.constFind(it.key());
        if (was == entries_.cend())
            report(it.key(), it->Folder ? SHCNE_MKDIR : SHCNE_CREATE);
        else if (!(*was == *it) && !it->Folder)
            report(it.key(), SHCNE_UPDATEITEM);
    }
    entries_ = now;
}

void TSsCustomShellNotification::ReadMounts()
{
    // Reading the table again clears the pending change.
    char buffer[4096];
    ::lseek(mountsFd_, 0, SEEK_SET);
    while (::read(mountsFd_, buffer, sizeof buffer) > 0) {
    }
    const QList<QByteArray> now = VolumePaths();
    const uint32_t wanted = SsNotifyEventMask(events_);
    for (const QByteArray& p : now)
        if (!mounts_.contains(p)) {
            AddWatch(p);
            if (wanted & SHCNE_DRIVEADD)
                Notify(SsNativePathToIdList(p), nullptr, SHCNE_DRIVEADD);
        }
    for (const QByteArray& p : std::as_const(mounts_))
        if (!now.contains(p) && (wanted & SHCNE_DRIVEREMOVED)) {
            auto list = std::make_unique<TSsIdList>();
            list->Append(p);
            Notify(std::move(list), nullptr, SHCNE_DRIVEREMOVED);
        }
    mounts_ = now;
}

// ---- queue and dispatch ---------------------------------------------------------------------

void TSsCustomShellNotification::NoteLost(const TSsIdList* list)
{
    if (!list || list->Count() == 0)
        return;
    const QByteArray path = SsIdListToNativePath(list);
    const QByteArray folder = list->Count() > 1 ? DirOf(path) : path;
    if (!folder.isEmpty() && !lost_.contains(folder))
        lost_ << folder;
}

void TSsCustomShellNotification::Notify(PSsIdList first, PSsIdList second, uint32_t eventCode)
{
    if (QueueLimit != 0 && queue_.Count() > QueueLimit) {
        // A dispatch is pending: it tells which folders the dropped notice touched.
        NoteLost(first.get());
        NoteLost(second.get());
        return;
    }
    if (eventCode & SHCNE_ATTRIBUTES) {
        currentEvents_ = NE(neAttributesChange);
        auto a = ItemOf(first);
        auto b = ItemOf(second);
        DoAttributeChange(a.get(), b.get());
        DoShellChangeNotify(a.get(), b.get(), currentEvents_);
        return;
    }
    auto* item = new TSsNotificationItem;
    item->First = std::move(first);
    item->Second = std::move(second);
    item->EventCode = eventCode;
    queue_.Append(item);
    if (queue_.Count() == 1)
        QCoreApplication::postEvent(window_.get(), new QEvent(DispatchEventType));
}

void TSsCustomShellNotification::Dispatch()
{
    while (true) {
        void* data = nullptr;
        queue_.PeekHead(data);
        if (!data)
            break;
        try {
            DispatchNotice(*static_cast<TSsNotificationItem*>(data));
        } catch (...) {
            // A failing handler ends this notice only: the ones behind it
            // are still worked off, and later notices post again.
            queue_.PopHead();
            if (queue_.Count() > 0)
                QCoreApplication::postEvent(window_.get(), new QEvent(DispatchEventType));
            throw;
        }
        queue_.PopHead();
    }
    if (!lost_.isEmpty()) {
        const QList<QByteArray> folders = std::exchange(lost_, {});
        if (OnNoticesLost)
            OnNoticesLost(this, folders);
    }
}

void TSsCustomShellNotification::DispatchNotice(const TSsNotificationItem& item)
{
    const TSsNotificationItem* notice = &item;
    currentEvents_ = 0;
    auto first = ItemOf(notice->First);
    auto second = ItemOf(notice->Second);
    TSsShellItem* a = first.get();
    TSsShellItem* b = second.get();
    for (const EventBit& bit : DispatchOrder) {
        if (!(notice->EventCode & bit.code))
            continue;
        currentEvents_ |= NE(bit.event);
        switch (bit.event) {
        case neAssociationChange: DoAssociationChange(); break;
        case neFileChange: DoFileChange(a); break;
        case neFileCreate: DoFileCreate(a); break;
        case neFileDelete: DoFileDelete(a, b); break;
        case neFileRename: DoFileRename(a, b); break;
        case neDriveAdd: DoDriveAdd(a); break;
        case neDriveRemove: DoDriveRemove(a); break;
        case neShellDriveAdd: DoShellDriveAdd(a); break;
        case neMediaInsert: DoMediaInsert(a); break;
        case neMediaRemove: DoMediaRemove(a); break;
        case neFolderCreate: DoFolderCreate(a); break;
        case neFolderDelete: DoFolderDelete(a); break;
        case neFolderRename: DoFolderRename(a, b); break;
        case neFolderUpdate: DoFolderChange(a); break;
        case neNetShare: DoNetShare(a); break;
        case neNetUnShare: DoNetUnShare(a); break;
        case neServerDisconnect: DoServerDisconnect(a); break;
        case neImageListChange: DoImageListChange(); break;
        case neDriveSpaceChange: {
            // The drive mask follows the first identifier's size field.
            uint32_t drives = 0;
            if (notice->First && notice->First->Count() > 0 && notice->First->Id(0).size() >= 4) {
                const QByteArray& id = notice->First->Id(0);
                for (int i = 3; i >= 0; --i)
                    drives = (drives << 8) | uint8_t(id[i]);
            }
            DoDriveSpaceChange(drives);
            break;
        }
        default: break;
        }
    }
    DoShellChangeNotify(a, b, currentEvents_);
}

void TSsCustomShellNotification::DoAssociationChange() { if (OnAssociationChange) OnAssociationChange(this); }
void TSsCustomShellNotification::DoAttributeChange(TSsShellItem* o, TSsShellItem* n) { if (OnAttributeChange) OnAttributeChange(this, o, n); }
void TSsCustomShellNotification::DoDriveAdd(TSsShellItem* i) { if (OnDriveAdd) OnDriveAdd(this, i); }
void TSsCustomShellNotification::DoDriveRemove(TSsShellItem* i) { if (OnDriveRemove) OnDriveRemove(this, i); }
void TSsCustomShellNotification::DoDriveSpaceChange(uint32_t d) { if (OnDriveSpaceChange) OnDriveSpaceChange(this, d); }
void TSsCustomShellNotification::DoFileChange(TSsShellItem* i) { if (OnFileChange) OnFileChange(this, i); }
void TSsCustomShellNotification::DoFileCreate(TSsShellItem* i) { if (OnFileCreate) OnFileCreate(this, i); }
void TSsCustomShellNotification::DoFileDelete(TSsShellItem* o, TSsShellItem* n) { if (OnFileDelete) OnFileDelete(this, o, n); }
void TSsCustomShellNotification::DoFileRename(TSsShellItem* o, TSsShellItem* n) { if (OnFileRename) OnFileRename(this, o, n); }
void TSsCustomShellNotification::DoFolderChange(TSsShellItem* i) { if (OnFolderChange) OnFolderChange(this, i); }
void TSsCustomShellNotification::DoFolderCreate(TSsShellItem* i) { if (OnFolderCreate) OnFolderCreate(this, i); }
void TSsCustomShellNotification::DoFolderDelete(TSsShellItem* i) { if (OnFolderDelete) OnFolderDelete(this, i); }
void TSsCustomShellNotification::DoFolderRename(TSsShellItem* o, TSsShellItem* n) { if (OnFolderRename) OnFolderRename(this, o, n); }
void TSsCustomShellNotification::DoImageListChange() { if (OnImageListChange) OnImageListChange(this); }
void TSsCustomShellNotification::DoMediaInsert(TSsShellItem* i) { if (OnMediaInsert) OnMediaInsert(this, i); }
void TSsCustomShellNotification::DoMediaRemove(TSsShellItem* i) { if (OnMediaRemove) OnMediaRemove(this, i); }
void TSsCustomShellNotification::DoNetShare(TSsShellItem* i) { if (OnNetShare) OnNetShare(this, i); }
void TSsCustomShellNotification::DoNetUnShare(TSsShellItem* i) { if (OnNetUnShare) OnNetUnShare(this, i); }
void TSsCustomShellNotification::DoServerDisconnect(TSsShellItem* i) { if (OnServerDisconnect) OnServerDisconnect(this, i); }
void TSsCustomShellNotification::DoShellDriveAdd(TSsShellItem* i) { if (OnShellDriveAdd) OnShellDriveAdd(this, i); }
void TSsCustomShellNotification::DoShellChangeNotify(TSsShellItem* o, TSsShellItem* n, TSsNotifyEventsSet e)
{
    if (OnShellChangeNotify)
        OnShellChangeNotify(this, o, n, e);
}
