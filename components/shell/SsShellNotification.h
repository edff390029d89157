#pragma once
// Change notification: reports changes in a watched part of the namespace
// as events carrying shell items. The file system reports through inotify,
// volumes through the mount table.
#include "SsContainer.h"
#include "SsShellController.h"

#include <QHash>
#include <QObject>
#include <functional>
#include <memory>
#include <sys/types.h>
#include <ctime>

class QSocketNotifier;
class QTimer;

enum TSsNotifyEvents {
    neAssociationChange, neAttributesChange, neFileChange, neFileCreate, neFileDelete,
    neFileRename, neDriveAdd, neDriveRemove, neShellDriveAdd, neDriveSpaceChange,
    neMediaInsert, neMediaRemove, neFolderCreate, neFolderDelete, neFolderRename,
    neFolderUpdate, neNetShare, neNetUnShare, neServerDisconnect, neImageListChange
};
using TSsNotifyEventsSet = uint32_t;  // bit n = event n
constexpr TSsNotifyEventsSet SsAllNotifyEvents = 0xFFFFF;
constexpr TSsNotifyEventsSet NE(TSsNotifyEvents e) { return TSsNotifyEventsSet(1) << e; }

// The system's event codes of a notice.
constexpr uint32_t SHCNE_RENAMEITEM = 0x1;
constexpr uint32_t SHCNE_CREATE = 0x2;
constexpr uint32_t SHCNE_DELETE = 0x4;
constexpr uint32_t SHCNE_MKDIR = 0x8;
constexpr uint32_t SHCNE_RMDIR = 0x10;
constexpr uint32_t SHCNE_MEDIAINSERTED = 0x20;
constexpr uint32_t SHCNE_MEDIAREMOVED = 0x40;
constexpr uint32_t SHCNE_DRIVEREMOVED = 0x80;
constexpr uint32_t SHCNE_DRIVEADD = 0x100;
constexpr uint32_t SHCNE_NETSHARE = 0x200;
constexpr uint32_t SHCNE_NETUNSHARE = 0x400;
constexpr uint32_t SHCNE_ATTRIBUTES = 0x800;
constexpr uint32_t SHCNE_UPDATEDIR = 0x1000;
constexpr uint32_t SHCNE_UPDATEITEM = 0x2000;
constexpr uint32_t SHCNE_SERVERDISCONNECT = 0x4000;
constexpr uint32_t SHCNE_UPDATEIMAGE = 0x8000;
constexpr uint32_t SHCNE_DRIVEADDGUI = 0x10000;
constexpr uint32_t SHCNE_RENAMEFOLDER = 0x20000;
constexpr uint32_t SHCNE_FREESPACE = 0x40000;
constexpr uint32_t SHCNE_ASSOCCHANGED = 0x08000000;

// The event mask a set of notify events registers for.
uint32_t SsNotifyEventMask(TSsNotifyEventsSet events);

using TSsShellNotifyEvent1 = std::function<void(TObject* Sender, TSsShellItem* ShellItem)>;
using TSsShellNotifyEvent2 =
    std::function<void(TObject* Sender, TSsShellItem* OldShellItem, TSsShellItem* NewShellItem)>;
using TSsShellNotifyEvent3 = std::function<void(TObject* Sender, TSsShellItem* OldShellItem,
                                                TSsShellItem* NewShellItem, TSsNotifyEventsSet Events)>;
using TSsShellNotifyEvent4 = std::function<void(TObject* Sender, uint32_t Drive)>;
// Folders as the system's bytes of their paths.
using TSsNoticesLostEvent = std::function<void(TObject* Sender, const QList<QByteArray>& Folders)>;

// One queued notice.
class TSsNotificationItem {
public:
    PSsIdList First;
    PSsIdList Second;
    uint32_t EventCode = 0;
};

class TSsCustomShellNotification;

// The hidden receiver of notices and of the posted dispatch request.
class TSsNotifyWindow : public QObject {
public:
    explicit TSsNotifyWindow(TSsCustomShellNotification& owner) : owner_(owner) {}
    bool event(QEvent* e) override;
private:
    TSsCustomShellNotification& owner_;
};

class TSsCustomShellNotification : public TSsComponent {
public:
    LUMI_CLASSNAME(TSsCustomShellNotification)
    TSsCustomShellNotification();
    ~TSsCustomShellNotification() override;

    bool Active() const { return active_; }
    void SetActive(bool value);
    // A notice arriving while more than this many wait is dropped (0: no limit).
    int32_t QueueLimit = 0;
    TSsNotifyEventsSet NotifyEvents() const { return events_; }
    void SetNotifyEvents(TSsNotifyEventsSet value);
    TSsSpecialRootFolder SpecialWatchFolder() const { return special_; }
    void SetSpecialWatchFolder(TSsSpecialRootFolder value);
    const QString& WatchFolder() const { return watchFolder_; }
    void SetWatchFolder(const QString& value);
    // Nil watches the whole namespace. A watched folder that another program
    // renames or moves is followed: the watch goes on at its new place, and a
    // folder rename notice (old and new place) comes ahead of the notices of
    // the changes made there since.
    const TSsIdList* WatchPidl() const { return watchList_.get(); }
    void SetWatchPidl(PSsIdList list);
    bool WatchSubFolders() const { return subFolders_; }
    void SetWatchSubFolders(bool value);
    // inotify cannot watch a whole tree of folders at once. A watch of the
    // whole namespace with sub-folders covers the desktop's folders and,
    // beyond them, the folders the owner names here (the tree: the folders
    // it has opened; the system's bytes of their paths); a folder watch with
    // sub-folders walks its sub-folders.
    void WatchAlso(const QByteArray& folder);
    void UnwatchAll();
    bool Registered() const { return registered_; }
    // A folder watch polls its folder where the system tells no changes
    // (network and FUSE file systems see none made elsewhere), and polls its
    // path while no folder is there, watching again whatever comes there; the
    // changes such a poll finds are reported as notices, a folder that came
    // back as lost notices (OnNoticesLost). The ms between polls, 0 when none.
    static constexpr int PollDelay = 1000;
    int PollInterval() const;
    int QueueCount() const { return queue_.Count(); }

    // A notice as the system delivers it.
    void Notify(PSsIdList first, PSsIdList second, uint32_t eventCode);

    TNotifyEvent OnAssociationChange;
    TSsShellNotifyEvent2 OnAttributeChange;
    TSsShellNotifyEvent1 OnDriveAdd;
    TSsShellNotifyEvent1 OnDriveRemove;
    TSsShellNotifyEvent4 OnDriveSpaceChange;
    TSsShellNotifyEvent1 OnFileChange;
    TSsShellNotifyEvent1 OnFileCreate;
    TSsShellNotifyEvent2 OnFileDelete;
    TSsShellNotifyEvent2 OnFileRename;
    TSsShellNotifyEvent1 OnFolderChange;
    TSsShellNotifyEvent1 OnFolderCreate;
    TSsShellNotifyEvent1 OnFolderDelete;
    TSsShellNotifyEvent2 OnFolderRename;
    TNotifyEvent OnImageListChange;
    TSsShellNotifyEvent1 OnMediaInsert;
    TSsShellNotifyEvent1 OnMediaRemove;
    TSsShellNotifyEvent1 OnNetShare;
    TSsShellNotifyEvent1 OnNetUnShare;
    TSsShellNotifyEvent1 OnServerDisconnect;
    TSsShellNotifyEvent3 OnShellChangeNotify;
    TSsShellNotifyEvent1 OnShellDriveAdd;
    // After the queue is worked off: the folders whose contents changed in
    // notices that were dropped (queue limit, or the system's own queue ran
    // over). Whoever follows them reads those folders again.
    TSsNoticesLostEvent OnNoticesLost;

protected:
    virtual void DoAssociationChange();
    virtual void DoAttributeChange(TSsShellItem* oldItem, TSsShellItem* newItem);
    virtual void DoDriveAdd(TSsShellItem* item);
    virtual void DoDriveRemove(TSsShellItem* item);
    virtual void DoDriveSpaceChange(uint32_t drive);
    virtual void DoFileChange(TSsShellItem* item);
    virtual void DoFileCreate(TSsShellItem* item);
    virtual void DoFileDelete(TSsShellItem* oldItem, TSsShellItem* newItem);
    virtual void DoFileRename(TSsShellItem* oldItem, TSsShellItem* newItem);
    virtual void DoFolderChange(TSsShellItem* item);
    virtual void DoFolderCreate(TSsShellItem* item);
    virtual void DoFolderDelete(TSsShellItem* item);
    virtual void DoFolderRename(TSsShellItem* oldItem, TSsShellItem* newItem);
    virtual void DoImageListChange();
    virtual void DoMediaInsert(TSsShellItem* item);
    virtual void DoMediaRemove(TSsShellItem* item);
    virtual void DoNetShare(TSsShellItem* item);
    virtual void DoNetUnShare(TSsShellItem* item);
    virtual void DoServerDisconnect(TSsShellItem* item);
    virtual void DoShellDriveAdd(TSsShellItem* item);
    virtual void DoShellChangeNotify(TSsShellItem* oldItem, TSsShellItem* newItem,
                                     TSsNotifyEventsSet events);

private:
    friend class TSsNotifyWindow;
    void Register();
    void Deregister();
    void Reregister();
    void Dispatch();
    void DispatchNotice(const TSsNotificationItem& item);
    int AddWatch(const QByteArray& dir);
    void AddSubFolderWatches(const QByteArray& dir);
    // Follows the watched folder when it moved (see OnNoticesLost).
    void FollowFolder();
    void ReadEvents();
    // The watched folder was removed: its path is polled until one is there.
    void FolderGone();
    void Poll();
    // Brings the polled record of one entry of the folder up to date.
    void NoteEntry(const QByteArray& name);
    void ReadMounts();
    void NoteLost(const TSsIdList* list);

    bool active_ = false;
    TSsNotifyEventsSet events_ = SsAllNotifyEvents;
    double shellVersion_;
    TSsSpecialRootFolder special_ = sfNone;
    QString watchFolder_;
    PSsIdList watchList_;
    bool subFolders_ = false;
    QList<QByteArray> extraFolders_;
    bool registered_ = false;
    TSsNotifyEventsSet currentEvents_ = 0;
    TSsDQue queue_;
    QList<QByteArray> lost_;
    std::unique_ptr<TSsNotifyWindow> window_;
    // inotify registration
    int fd_ = -1;
    QHash<int, QByteArray> watches_;
    // The watched folder of a folder watch: its handle, its path and its watch.
    int folderFd_ = -1;
    QByteArray folderPath_;
    int folderWd_ = -1;
    // The state of each entry of a polled folder, by name.
    struct TEntryState {
        ino_t Inode;
        off_t Size;
        timespec Modified;
        bool Folder;
        bool operator==(const TEntryState& o) const
        {
            return Inode == o.Inode && Size == o.Size && Modified.tv_sec == o.Modified.tv_sec &&
                   Modified.tv_nsec == o.Modified.tv_nsec && Folder == o.Folder;
        }
    };
    static bool StateOf(int dirFd, const char* name, TEntryState& state);
    static QHash<QByteArray, TEntryState> EntriesOf(int folderFd);
    bool pollEntries_ = false;
    QHash<QByteArray, TEntryState> entries_;
    std::unique_ptr<QTimer> pollTimer_;
    std::unique_ptr<QSocketNotifier> notifier_;
    int mountsFd_ = -1;
    std::unique_ptr<QSocketNotifier> mountsNotifier_;
    QList<QByteArray> mounts_;
};

class TSsShellNotification : public TSsCustomShellNotification {
public:
    LUMI_CLASSNAME(TSsShellNotification)
};
