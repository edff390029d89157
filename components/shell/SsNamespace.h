#pragma once
// The shell namespace on this platform: a virtual desktop whose children are
// the desktop folder, the home folder, the root of the file system and the
// mounted volumes, with the file system below them. TSsNamespaceFolder
// stands in for the shell's folder objects: parsing, enumerating, binding,
// comparing, attributes, display names, renaming and dropping.
#include "SsBase.h"
#include "DateTime.h"
#include "SsFileOperations.h"
#include "SsTrash.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QPair>
#include <QPixmap>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QFileIconProvider;
class QMimeData;
class QUrl;

// Attributes of namespace entries.
constexpr uint32_t SFGAO_CANCOPY = 0x1;
constexpr uint32_t SFGAO_CANMOVE = 0x2;
constexpr uint32_t SFGAO_CANLINK = 0x4;
constexpr uint32_t SFGAO_CANRENAME = 0x10;
constexpr uint32_t SFGAO_CANDELETE = 0x20;
constexpr uint32_t SFGAO_DROPTARGET = 0x100;
constexpr uint32_t SFGAO_LINK = 0x10000;
constexpr uint32_t SFGAO_SHARE = 0x20000;
constexpr uint32_t SFGAO_READONLY = 0x40000;
constexpr uint32_t SFGAO_GHOSTED = 0x80000;
constexpr uint32_t SFGAO_REMOVABLE = 0x2000000;
constexpr uint32_t SFGAO_COMPRESSED = 0x4000000;
constexpr uint32_t SFGAO_FILESYSANCESTOR = 0x10000000;
constexpr uint32_t SFGAO_FOLDER = 0x20000000;
constexpr uint32_t SFGAO_FILESYSTEM = 0x40000000;
constexpr uint32_t SFGAO_HASSUBFOLDER = 0x80000000;

// Display name forms.
constexpr uint32_t SHGDN_NORMAL = 0;
constexpr uint32_t SHGDN_INFOLDER = 1;
constexpr uint32_t SHGDN_FORPARSING = 0x8000;

// Enumeration flags.
constexpr uint32_t SHCONTF_FOLDERS = 0x20;
constexpr uint32_t SHCONTF_NONFOLDERS = 0x40;
constexpr uint32_t SHCONTF_INCLUDEHIDDEN = 0x80;

// File attribute bits of the file data.
constexpr uint32_t FILE_ATTRIBUTE_READONLY = 0x1;
constexpr uint32_t FILE_ATTRIBUTE_HIDDEN = 0x2;
constexpr uint32_t FILE_ATTRIBUTE_SYSTEM = 0x4;
constexpr uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr uint32_t FILE_ATTRIBUTE_COMPRESSED = 0x800;

// Drive types.
constexpr int DRIVE_UNKNOWN = 0;
constexpr int DRIVE_NO_ROOT_DIR = 1;
constexpr int DRIVE_REMOVABLE = 2;
constexpr int DRIVE_FIXED = 3;
constexpr int DRIVE_REMOTE = 4;
constexpr int DRIVE_CDROM = 5;

// The find data of a file-system entry.
struct TSsFindData {
    int64_t Size = 0;
    TDateTime LastWrite = 0;  // local time
    uint32_t Attributes = 0;
};

// One entry below the desktop: its file-system path and name.
struct TSsDesktopRoot {
    QByteArray Path;
    QString Name;
};
// The desktop's children in their display order: the desktop folder (when
// it is not the home folder), the home folder, "/", then mounted volumes.
std::vector<TSsDesktopRoot> SsDesktopRoots();

// The absolute list of a path, whether or not the entry exists (nil for a
// path outside every desktop root, or a relative one).
PSsIdList SsPathToIdList(const QString& path);
// The same for the system's bytes of an absolute path: names that are no
// valid UTF-8 stay intact.
PSsIdList SsNativePathToIdList(const QByteArray& path);
// The file-system path of an absolute list (empty for the desktop), as
// DecodeFileName gives it, so that SsPathToIdList finds the same entry.
QString SsIdListToPath(const TSsIdList* list);
// The same as the system's bytes: names that are no valid UTF-8 stay intact.
QByteArray SsIdListToNativePath(const TSsIdList* list);
// The URL of a local file given by the system's bytes of its path, and the
// local files of the URI list that mime data carries, byte for byte.
QUrl SsNativePathToUrl(const QByteArray& path);
QList<QByteArray> SsNativePathsOf(const QMimeData* data);
// For the system's bytes of a path of any length (one longer than the system
// takes in one call is reached a piece at a time, through folder handles):
// opens it as open(2) does; whether an entry is there (a dangling link
// too); whether it is a folder (links followed).
int SsOpenPath(const QByteArray& path, int flags);
bool SsEntryExists(const QByteArray& path);
bool SsIsFolderPath(const QByteArray& path);
// The drive type of the volume that holds Path.
int SsGetDriveType(const QString& path);

class TSsFolderDropTarget;
class TSsContextMenu;

class TSsNamespaceFolder {
public:
    // The desktop folder, the root of the namespace.
    static std::shared_ptr<TSsNamespaceFolder> Desktop();

    const TSsIdList& AbsoluteList() const { return abs_; }
    bool IsDesktop() const { return abs_.Count() == 0; }
    // File-system path of this folder; empty for the desktop.
    const QString& Path() const { return path_; }

    // A path below this folder (an absolute path for the desktop) as a list
    // relative to it; nil when it does not exist.
    PSsIdList ParseDisplayName(const QString& path) const;
    // The children that the flags ask for; nothing when the folder cannot be
    // read.
    std::optional<std::vector<QByteArray>> EnumObjects(uint32_t flags) const;
    // The folder of a child list (nil when it is no folder or cannot be read).
    std::shared_ptr<TSsNamespaceFolder> BindToObject(const TSsIdList& rel) const;
    // Orders two child lists: folders first, then by name ignoring case.
    int CompareIDs(const TSsIdList& a, const TSsIdList& b) const;
    // The attributes of mask that hold for a child.
    uint32_t GetAttributesOf(const TSsIdList& rel, uint32_t mask) const;
    QString GetDisplayNameOf(const TSsIdList& rel, uint32_t flags) const;
    // Renames a child, never replacing another entry; the new child list, or
    // nil with the reason in error: EEXIST when the name is taken, EINVAL for
    // a name that no entry can have ("", ".", "..", one with "/"), else what
    // the file system answered.
    PSsIdList SetNameOf(const TSsIdList& rel, const QString& newName, int* error = nullptr) const;
    bool GetFileData(const TSsIdList& rel, TSsFindData& data) const;
    // The drop target of a child folder (nil for anything else).
    std::unique_ptr<TSsFolderDropTarget> GetDropTarget(const TSsIdList& rel) const;
    // The context menu of Count children (nil when there are none, or one of
    // them is no existing entry).
    std::unique_ptr<TSsContextMenu> GetUIObjectOf(int count, const TSsIdList* const* idLists) const;

    explicit TSsNamespaceFolder(const TSsIdList& abs);

    // The system's bytes of a child's path.
    QByteArray NativeChildPath(const TSsIdList& rel) const;

private:
    QString ChildPath(const TSsIdList& rel) const;
    bool IsDir(const QByteArray& id) const;
    TSsIdList abs_;
    QString path_;
    QByteArray nativePath_;
    // Whether the children seen by the last enumeration are folders.
    mutable QHash<QByteArray, bool> dirs_;
};
using PSsNamespaceFolder = std::shared_ptr<TSsNamespaceFolder>;


// The shell's drop target of a folder: dropped files are copied, moved or
// linked into it. An existing file is never overwritten; the dropped entry
// gets a free name "name (2).ext" instead. Folders are copied with what they
// hold, symbolic links as links; an entry that cannot be copied whole leaves
// nothing behind, and a move removes of its source only what a whole copy
// carried over.
class TSsFolderDropTarget {
public:
    // Folder: the system's bytes of its path.
    explicit TSsFolderDropTarget(const QByteArray& folder) : folder_(folder) {}
    HRESULT DragEnter(const QMimeData* data, int32_t keyState, int32_t& effect);
    HRESULT DragOver(int32_t keyState, int32_t& effect);
    void DragLeave() { data_ = nullptr; }
    // Answers S_OK, or E_FAIL when not all was done as asked (Report tells
    // what; it also names entries placed under other names); effect tells
    // what was done.
    HRESULT Drop(const QMimeData* data, int32_t keyState, int32_t& effect);
    // What the last drop did not do in full.
    const TSsOperationReport& Report() const { return report_; }
    // Whether one of the files is this folder or one of the folders it lies in.
    bool HoldsOwnAncestor(const QList<QByteArray>& files) const;

private:
    int32_t Choose(int32_t keyState, int32_t allowed) const;
    QByteArray folder_;
    const QMimeData* data_ = nullptr;
    TSsOperationReport report_;
};

// The system image lists: icons of namespace entries by index, shared by
// every controller.
class TSsSystemImageList {
public:
    static TSsSystemImageList& Instance();
    // Index of the icon of an entry; open asks for a folder's open icon.
    int IndexOf(const QString& path, bool isDir, bool isRoot, bool isDesktop, bool open);
    int Count() const { return int(icons_.size()); }
    const QIcon& Icon(int index) const;
    // The icon drawn at size, with the shortcut arrow for overlay 1; each is drawn once.
    QPixmap Pixmap(int index, int size, int overlay) const;

private:
    QPixmap DrawPixmap(int index, int size, int overlay) const;
    std::vector<QIcon> icons_;
    mutable QHash<quint64, QPixmap> pixmaps_;  // by index, size and overlay
    QHash<QString, int> keys_;
    std::unique_ptr<QFileIconProvider> provider_;
};
constexpr int SsSmallIconSize = 16;
constexpr int SsLargeIconSize = 32;
