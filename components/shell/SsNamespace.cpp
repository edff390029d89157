#include "SsNamespace.h"
#include "SsContextMenu.h"
#include "SsFileWalk.h"
#include "Application.h"


#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeData>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QDateTime>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <functional>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Ole;
using namespace SsFiles;

namespace {

// A path longer than the system takes in one call is opened a piece at a
// time, each piece relative to the handle of the folder before it.
int OpenLong(const QByteArray& path, int flags)
{
    int dir = AT_FDCWD;
    qsizetype from = 0;
    for (;;) {
        int fd;
        qsizetype cut = -1;
        if (path.size() - from < PATH_MAX)
            fd = ::openat(dir, path.constData() + from, flags | O_CLOEXEC);
        else {
            cut = path.lastIndexOf('/', from + PATH_MAX - 1);
            const QByteArray piece = cut == 0 ? QByteArray("/") : path.mid(from, cut - from);
            fd = cut < from ? -1 : ::openat(dir, piece.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            if (cut < from)
                errno = ENAMETOOLONG;
        }
        const int error = errno;
        if (dir != AT_FDCWD)
            ::close(dir);
        errno = error;
        if (cut < 0 || fd < 0)
            return fd;
        dir = fd;
        from = cut + 1;
    }
}

// The folder and name of an entry for the calls relative to a folder: the
// path itself when the system takes it in one call.
struct TAt {
    int Dir = AT_FDCWD;
    QByteArray Name;
    explicit TAt(const QByteArray& path)
    {
        if (path.size() < PATH_MAX)
            Name = path;
        else {
            Dir = OpenLong(DirOf(path), O_PATH | O_DIRECTORY);
            Name = NameOf(path);
        }
    }
    ~TAt()
    {
        if (Dir >= 0)
            ::close(Dir);
    }
    TAt(const TAt&) = delete;
    TAt& operator=(const TAt&) = delete;
    bool Valid() const { return Dir != -1; }
};

bool StatOf(const QByteArray& path, struct stat& st, bool follow)
{
    const TAt at(path);
    return at.Valid() && ::fstatat(at.Dir, at.Name.constData(), &st, follow ? 0 : AT_SYMLINK_NOFOLLOW) == 0;
}

bool CanAccess(const QByteArray& path, int mode)
{
    const TAt at(path);
    return at.Valid() && ::faccessat(at.Dir, at.Name.constData(), mode, 0) == 0;
}

DIR* OpenDir(const QByteArray& path)
{
    const int fd = OpenLong(path, O_RDONLY | O_DIRECTORY);
    DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!dir && fd >= 0)
        ::close(fd);
    return dir;
}

bool StatPath(const QByteArray& path, struct stat& st)
{
    return StatOf(path, st, true) || StatOf(path, st, false);  // a dangling link
}

bool IsDirEntry(const QByteArray& dir, const dirent* e)
{
    if (e->d_type == DT_DIR)
        return true;
    if (e->d_type != DT_LNK && e->d_type != DT_UNKNOWN)
        return false;
    struct stat st;
    return StatPath(Join(dir, QByteArray(e->d_name)), st) && S_ISDIR(st.st_mode);
}

bool HasSubFolder(const QByteArray& path)
{
    DIR* dir = OpenDir(path);
    if (!dir)
        return false;
    bool found = false;
    while (const dirent* e = ::readdir(dir))
        if (!IsDotOrDotDot(e->d_name) && IsDirEntry(path, e)) {
            found = true;
            break;
        }
    ::closedir(dir);
    return found;
}

bool IsUserVolume(const QString& root)
{
    return root.startsWith(QLatin1String("/media/")) || root.startsWith(QLatin1String("/run/media/")) ||
           root.startsWith(QLatin1String("/mnt/"));
}
}  // namespace

// ---- desktop roots and paths ---------------------------------------------------------

std::vector<TSsDesktopRoot> SsDesktopRoots()
{
    std::vector<TSsDesktopRoot> roots;
    const QString home = QDir::cleanPath(QDir::homePath());
    const QString desktop =
        QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    if (!desktop.isEmpty() && desktop != home && QFileInfo(desktop).isDir())
        roots.push_back({QFile::encodeName(desktop), QFileInfo(desktop).fileName()});
    roots.push_back({QFile::encodeName(home), QFileInfo(home).fileName()});
    roots.push_back({"/", QStringLiteral("/")});
    std::vector<TSsDesktopRoot> volumes;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes())
        if (v.isValid() && v.isReady() && IsUserVolume(v.rootPath()))
            volumes.push_back({QFile::encodeName(v.rootPath()),
                               v.displayName().isEmpty() ? v.rootPath() : v.displayName()});
    std::sort(volumes.begin(), volumes.end(),
              [](const TSsDesktopRoot& a, const TSsDesktopRoot& b) { return a.Path < b.Path; });
    roots.insert(roots.end(), volumes.begin(), volumes.end());
    return roots;
}

PSsIdList SsPathToIdList(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    if (path.isEmpty() || !QDir::isAbsolutePath(clean))
        return nullptr;
    return SsNativePathToIdList(EncodeFileName(clean));
}

PSsIdList SsNativePathToIdList(const QByteArray& bytes)
{
    if (!bytes.startsWith('/'))
        return nullptr;
    const std::vector<TSsDesktopRoot> roots = SsDesktopRoots();
    const TSsDesktopRoot* best = nullptr;
    for (const TSsDesktopRoot& r : roots) {
        const QByteArray prefix = r.Path.endsWith('/') ? r.Path : r.Path + '/';
        const bool under = bytes == r.Path || bytes.startsWith(prefix);
        if (under && (!best || r.Path.size() > best->Path.size()))
            best = &r;
    }
    if (!best)
        return nullptr;
    auto result = std::make_unique<TSsIdList>();
    result->Append(best->Path);
    for (const QByteArray& part : bytes.mid(best->Path.size()).split('/'))
        if (!part.isEmpty())
            result->Append(part);
    return result;
}

QByteArray SsIdListToNativePath(const TSsIdList* list)
{
    if (!list || list->Count() == 0)
        return QByteArray();
    QByteArray path = list->Id(0);
    for (int i = 1; i < list->Count(); ++i)
        path = Join(path, list->Id(i));
    return path;
}

QString SsIdListToPath(const TSsIdList* list)
{
    return DecodeFileName(SsIdListToNativePath(list));
}

QUrl SsNativePathToUrl(const QByteArray& path)
{
    return LocalFileUrlOf(path);
}

QList<QByteArray> SsNativePathsOf(const QMimeData* data)
{
    return LocalFilePathsOf(data);
}

int SsGetDriveType(const QString& path)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return DRIVE_NO_ROOT_DIR;
    const QStorageInfo info(path);
    if (!info.isValid())
        return DRIVE_UNKNOWN;
    const QByteArray fs = info.fileSystemType();
    static const QByteArrayList remote = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "sshfs",
                                          "fuse.sshfs", "davfs", "afs"};
    if (remote.contains(fs))
        return DRIVE_REMOTE;
    if (fs == "iso9660" || fs == "udf")
        return DRIVE_CDROM;
    if (IsUserVolume(info.rootPath()))
        return DRIVE_REMOVABLE;
    return DRIVE_FIXED;
}

int SsOpenPath(const QByteArray& path, int flags)
{
    return OpenLong(path, flags);
}

bool SsEntryExists(const QByteArray& path)
{
    struct stat st;
    return !path.isEmpty() && StatOf(path, st, false);
}

bool SsIsFolderPath(const QByteArray& path)
{
    struct stat st;
    return !path.isEmpty() && StatOf(path, st, true) && S_ISDIR(st.st_mode);
}

// ---- folders -------------------------------------------------------------------------------

std::shared_ptr<TSsNamespaceFolder> TSsNamespaceFolder::Desktop()
{
    static const auto desktop = std::make_shared<TSsNamespaceFolder>(TSsIdList());
    return desktop;
}

TSsNamespaceFolder::TSsNamespaceFolder(const TSsIdList& abs)
    : abs_(abs), path_(SsIdListToPath(&abs)), nativePath_(SsIdListToNativePath(&abs))
{
}

QByteArray TSsNamespaceFolder::NativeChildPath(const TSsIdList& rel) const
{
    if (rel.Count() == 0)
        return nativePath_;
    QByteArray p = IsDesktop() ? rel.Id(0) : Join(nativePath_, rel.Id(0));
    for (int i = 1; i < rel.Count(); ++i)
        p = Join(p, rel.Id(i));
    return p;
}

QString TSsNamespaceFolder::ChildPath(const TSsIdList& rel) const
{
    return DecodeFileName(NativeChildPath(rel));
}

PSsIdList TSsNamespaceFolder::ParseDisplayName(const QString& path) const
{
    if (path.isEmpty())
        return nullptr;
    if (IsDesktop()) {
        PSsIdList result = SsPathToIdList(path);
        if (!result)
            return nullptr;
        if (!SsEntryExists(SsIdListToNativePath(result.get())))
            return nullptr;
        return result;
    }
    QString clean = QDir::cleanPath(path);
    auto result = std::make_unique<TSsIdList>();
    if (QDir::isAbsolutePath(clean)) {
        const QString prefix = path_.endsWith('/') ? path_ : path_ + '/';
        if (!clean.startsWith(prefix))
            return nullptr;
        clean = clean.mid(prefix.size());
    }
    for (const QString& part : clean.split('/', Qt::SkipEmptyParts))
        result->Append(EncodeFileName(part));
    if (!SsEntryExists(NativeChildPath(*result)))
        return nullptr;
    return result;
}

std::optional<std::vector<QByteArray>> TSsNamespaceFolder::EnumObjects(uint32_t flags) const
{
    std::vector<QByteArray> out;
    if (IsDesktop()) {
        if (flags & SHCONTF_FOLDERS)
            for (const TSsDesktopRoot& r : SsDesktopRoots()) {
                out.push_back(r.Path);
                dirs_.insert(r.Path, true);
            }
        return out;
    }
    const QByteArray& dirPath = nativePath_;
    DIR* dir = OpenDir(dirPath);
    if (!dir)
        return std::nullopt;
    while (dirent* e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name == "." || name == "..")
            continue;
        if (name.startsWith('.') && !(flags & SHCONTF_INCLUDEHIDDEN))
            continue;
        const bool isDir = IsDirEntry(dirPath, e);
        if (isDir ? !(flags & SHCONTF_FOLDERS) : !(flags & SHCONTF_NONFOLDERS))
            continue;
        dirs_.insert(name, isDir);
        out.push_back(name);
    }
    ::closedir(dir);
    return out;
}

bool TSsNamespaceFolder::IsDir(const QByteArray& id) const
{
    auto it = dirs_.constFind(id);
    if (it != dirs_.constEnd())
        return *it;
    struct stat st;
    const bool dir = StatPath(NativeChildPath(TSsIdList({id})), st) && S_ISDIR(st.st_mode);
    dirs_.insert(id, dir);
    return dir;
}

std::shared_ptr<TSsNamespaceFolder> TSsNamespaceFolder::BindToObject(const TSsIdList& rel) const
{
    if (rel.Count() == 0)
        return nullptr;
    const QByteArray path = NativeChildPath(rel);
    struct stat st;
    if (!StatOf(path, st, true) || !S_ISDIR(st.st_mode) || !CanAccess(path, R_OK | X_OK))
        return nullptr;
    PSsIdList abs = SsILCombine(&abs_, &rel);
    return std::make_shared<TSsNamespaceFolder>(*abs);
}

int TSsNamespaceFolder::CompareIDs(const TSsIdList& a, const TSsIdList& b) const
{
    const int n = std::min(a.Count(), b.Count());
    for (int i = 0; i < n; ++i) {
        const QByteArray& x = a.Id(i);
        const QByteArray& y = b.Id(i);
        if (x == y)
            continue;
        if (i == 0 && IsDesktop()) {
            const std::vector<TSsDesktopRoot> roots = SsDesktopRoots();
            auto rank = [&](const QByteArray& id) {
                for (size_t k = 0; k < roots.size(); ++k)
                    if (roots[k].Path == id)
                        return int(k);
                return int(roots.size());
            };
            const int rx = rank(x), ry = rank(y);
            if (rx != ry)
                return rx < ry ? -1 : 1;
        } else if (i == 0) {
            const bool dx = IsDir(x), dy = IsDir(y);
            if (dx != dy)
                return dx ? -1 : 1;
        }
        auto ascii = [](const QByteArray& b) {
            return std::all_of(b.begin(), b.end(), [](char ch) { return uchar(ch) < 0x80; });
        };
        int c = ascii(x) && ascii(y)
                    ? qstricmp(x.constData(), y.constData())
                    : DisplayFileName(DecodeFileName(x)).compare(DisplayFileName(DecodeFileName(y)),
                                                                 Qt::CaseInsensitive);
        if (c == 0)
            c = x < y ? -1 : 1;
        return c < 0 ? -1 : 1;
    }
    return a.Count() == b.Count() ? 0 : (a.Count() < b.Count() ? -1 : 1);
}

uint32_t TSsNamespaceFolder::GetAttributesOf(const TSsIdList& rel, uint32_t mask) const
{
    if (rel.Count() == 0)
        return 0;
    // Kind questions about an enumerated child need no file-system call.
    constexpr uint32_t kind = SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_FILESYSANCESTOR;
    if (!(mask & ~kind) && rel.Count() == 1) {
        auto it = dirs_.constFind(rel.Id(0));
        if (it != dirs_.constEnd())
            return (*it ? kind : SFGAO_FILESYSTEM) & mask;
    }
    const QByteArray path = NativeChildPath(rel);
    struct stat st;
    if (!StatOf(path, st, false))
        return 0;
    const bool link = S_ISLNK(st.st_mode);
    if (link && !StatOf(path, st, true))
        st.st_mode = S_IFLNK;  // a dangling link
    const bool dir = S_ISDIR(st.st_mode);
    const bool root = IsDesktop() && rel.Count() == 1;
    uint32_t a = SFGAO_FILESYSTEM;
    if (dir)
        a |= SFGAO_FOLDER | SFGAO_FILESYSANCESTOR;
    if (link)
        a |= SFGAO_LINK;
    if (!root && NameOf(path).startsWith('.'))
        a |= SFGAO_GHOSTED;
    // A link is copied as a link, whether or not its target can be read.
    if ((mask & (SFGAO_CANCOPY | SFGAO_CANLINK)) && (link || CanAccess(path, R_OK)))
        a |= SFGAO_CANCOPY | SFGAO_CANLINK;
    if ((mask & (SFGAO_CANMOVE | SFGAO_CANRENAME | SFGAO_CANDELETE)) && !root &&
        CanAccess(DirOf(path), W_OK))
        a |= SFGAO_CANMOVE | SFGAO_CANRENAME | SFGAO_CANDELETE;
    if (mask & (SFGAO_READONLY | SFGAO_DROPTARGET)) {
        if (!CanAccess(path, W_OK))
            a |= SFGAO_READONLY;
        else if (dir)
            a |= SFGAO_DROPTARGET;
    }
    if ((mask & SFGAO_REMOVABLE) && root && SsGetDriveType(QFile::decodeName(path)) == DRIVE_REMOVABLE)
        a |= SFGAO_REMOVABLE;
    if ((mask & SFGAO_HASSUBFOLDER) && dir && HasSubFolder(path))
        a |= SFGAO_HASSUBFOLDER;
    return a & mask;
}

QString TSsNamespaceFolder::GetDisplayNameOf(const TSsIdList& rel, uint32_t flags) const
{
    if (flags & SHGDN_FORPARSING)
        return ChildPath(rel);
    if (rel.Count() == 0)
        return IsDesktop() ? SsMenuText("Desktop") : DisplayFileName(QFileInfo(path_).fileName());
    if (IsDesktop() && rel.Count() == 1) {
        for (const TSsDesktopRoot& r : SsDesktopRoots())
            if (r.Path == rel.Id(0))
                return r.Name;
        return DisplayFileName(DecodeFileName(rel.Id(0)));
    }
    return DisplayFileName(DecodeFileName(rel.Id(rel.Count() - 1)));
}

PSsIdList TSsNamespaceFolder::SetNameOf(const TSsIdList& rel, const QString& newName, int* error) const
{
    int failure = 0;
    if (rel.Count() == 0 || (IsDesktop() && rel.Count() == 1))
        failure = EPERM;
    else if (newName.isEmpty() || newName.contains('/') || newName == "." || newName == "..")
        failure = EINVAL;
    const QByteArray oldPath = failure ? QByteArray() : NativeChildPath(rel);
    const QByteArray name = QFile::encodeName(newName);
    if (!failure)
        failure = SsRenameNoReplace(oldPath, Join(DirOf(oldPath), name));
    if (error)
        *error = failure;
    if (failure)
        return nullptr;
    PSsIdList result = SsILClone(&rel);
    SsILRemoveLastID(result.get());
    result->Append(name);
    dirs_.remove(rel.Id(rel.Count() - 1));
    return result;
}

bool TSsNamespaceFolder::GetFileData(const TSsIdList& rel, TSsFindData& data) const
{
    if (rel.Count() == 0)
        return false;
    const QByteArray path = NativeChildPath(rel);
    struct stat st;
    if (!StatPath(path, st))
        return false;
    const bool dir = S_ISDIR(st.st_mode);
    data.Size = dir ? 0 : int64_t(st.st_size);
    data.LastWrite = QDateTimeToDateTime(QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec));
    // The file systems here keep no archive or compression bit.
    data.Attributes = 0;
    if (dir)
        data.Attributes |= FILE_ATTRIBUTE_DIRECTORY;
    else if (!S_ISREG(st.st_mode))
        data.Attributes |= FILE_ATTRIBUTE_SYSTEM;
    if (!CanAccess(path, W_OK))
        data.Attributes |= FILE_ATTRIBUTE_READONLY;
    if (rel.Id(rel.Count() - 1).startsWith('.'))
        data.Attributes |= FILE_ATTRIBUTE_HIDDEN;
    return true;
}

std::unique_ptr<TSsFolderDropTarget> TSsNamespaceFolder::GetDropTarget(const TSsIdList& rel) const
{
    const QByteArray path = NativeChildPath(rel);
    struct stat st;
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return nullptr;
    return std::make_unique<TSsFolderDropTarget>(path);
}

// ---- dropping into a folder --------------------------------------------------------------

std::unique_ptr<TSsContextMenu> TSsNamespaceFolder::GetUIObjectOf(int count,
                                                                   const TSsIdList* const* idLists) const
{
    if (count <= 0 || !idLists)
        return nullptr;
    constexpr uint32_t asked = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANRENAME | SFGAO_CANDELETE |
                               SFGAO_DROPTARGET | SFGAO_FOLDER | SFGAO_FILESYSTEM;
    QList<QByteArray> paths;
    std::vector<uint32_t> attributes;
    for (int i = 0; i < count; ++i) {
        const TSsIdList* rel = idLists[i];
        if (!rel || rel->Count() == 0)
            return nullptr;
        const uint32_t a = GetAttributesOf(*rel, asked);
        if (!(a & SFGAO_FILESYSTEM))
            return nullptr;
        paths << NativeChildPath(*rel);
        attributes.push_back(a);
    }
    return std::make_unique<TSsContextMenu>(paths, attributes);
}

// ---- dropping into a folder --------------------------------------------------------------

bool TSsFolderDropTarget::HoldsOwnAncestor(const QList<QByteArray>& files) const
{
    // A folder may have more than one path (a link on the way, a bind mount):
    // folders are told by device and inode, on the way up from this one.
    std::vector<struct stat> folders;
    for (const QByteArray& f : files) {
        struct stat st;
        if (::lstat(f.constData(), &st) == 0 && S_ISDIR(st.st_mode))
            folders.push_back(st);
    }
    if (folders.empty())
        return false;
    TFd at(::open(folder_.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat here;
    if (at.Get() < 0 || ::fstat(at.Get(), &here) != 0)
        return false;
    for (;;) {
        if (std::any_of(folders.begin(), folders.end(), [&](const struct stat& f) { return SameEntry(f, here); }))
            return true;
        TFd up(::openat(at.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct stat above;
        if (up.Get() < 0 || ::fstat(up.Get(), &above) != 0 || SameEntry(above, here))
            return false;  // the root
        at.Reset(up.Release());
        here = above;
    }
}

int32_t TSsFolderDropTarget::Choose(int32_t keyState, int32_t allowed) const
{
    const QList<QByteArray> files = SsNativePathsOf(data_);
    if (files.isEmpty() || HoldsOwnAncestor(files))
        return DROPEFFECT_NONE;
    int32_t wanted;
    if ((keyState & MK_CONTROL) && (keyState & MK_SHIFT))
        wanted = DROPEFFECT_LINK;
    else if (keyState & MK_CONTROL)
        wanted = DROPEFFECT_COPY;
    else if (keyState & MK_SHIFT)
        wanted = DROPEFFECT_MOVE;
    else if (keyState & MK_ALT)
        wanted = DROPEFFECT_LINK;
    else {
        // Within one file system a drop moves, across file systems it copies.
        struct stat a, b;
        const bool same = ::stat(folder_.constData(), &a) == 0 && ::stat(files.first().constData(), &b) == 0 &&
                          a.st_dev == b.st_dev;
        wanted = same ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
    }
    // Moving entries into the folder they are in does nothing.
    if (wanted == DROPEFFECT_MOVE) {
        const QByteArray here = WithoutTrailingSlash(folder_);
        if (std::all_of(files.begin(), files.end(), [&](const QByteArray& f) { return DirOf(f) == here; }))
            return DROPEFFECT_NONE;
    }
    if (allowed & wanted)
        return wanted;
    for (int32_t e : {DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_LINK})
        if (allowed & e)
            return e;
    return DROPEFFECT_NONE;
}

HRESULT TSsFolderDropTarget::DragEnter(const QMimeData* data, int32_t keyState, int32_t& effect)
{
    data_ = data;
    effect = Choose(keyState, effect);
    return S_OK;
}

HRESULT TSsFolderDropTarget::DragOver(int32_t keyState, int32_t& effect)
{
    effect = Choose(keyState, effect);
    return S_OK;
}

HRESULT TSsFolderDropTarget::Drop(const QMimeData* data, int32_t keyState, int32_t& effect)
{
    data_ = data;
    effect = Choose(keyState, effect);
    const QList<QByteArray> files = SsNativePathsOf(data);
    data_ = nullptr;
    report_ = TSsOperationReport();
    if (effect == DROPEFFECT_NONE)
        return S_OK;
    const QByteArray here = WithoutTrailingSlash(folder_);
    SweepPartialCopies(here, &report_);
    for (const QByteArray& file : files) {
        const QByteArray from = WithoutTrailingSlash(file);
        if (effect == DROPEFFECT_MOVE && DirOf(from) == here)
            continue;
        const QByteArray to = Join(here, SsFreeFileName(here, NameOf(from)));
        const qsizetype left = report_.Left.size(), failed = report_.Failed.size();
        int result;
        if (effect == DROPEFFECT_LINK)
            result = Failure(::symlink(from.constData(), to.constData()));
        else if (effect == DROPEFFECT_COPY)
            result = SsCopyEntry(from, to, &report_);
        else
            result = SsMoveEntry(from, to, &report_);
        // What a move left at its old place, or an entry inside that stopped
        // the copy, is reported as such.
        if (result && report_.Left.size() == left && report_.Failed.size() == failed)
            report_.Failed.append({from, result});
    }
    return report_.AllPlaced() ? S_OK : E_FAIL;
}

// ---- system image list --------------------------------------------------------------------

TSsSystemImageList& TSsSystemImageList::Instance()
{
    static TSsSystemImageList list;
    static const TStaticCleanup cleanup([] {
        list.icons_.clear();
        list.pixmaps_.clear();
        list.keys_.clear();
        list.provider_.reset();
    });
    return list;
}

int TSsSystemImageList::IndexOf(const QString& path, bool isDir, bool isRoot, bool isDesktop, bool open)
{
    if (!provider_)
        provider_ = std::make_unique<QFileIconProvider>();
    const QFileIconProvider& provider = *provider_;
    QString key;
    QIcon icon;
    if (isDesktop) {
        key = QStringLiteral("desktop");
        if (!keys_.contains(key))
            icon = QIcon::fromTheme("user-desktop", provider.icon(QAbstractFileIconProvider::Desktop));
    } else if (isRoot && path != QDir::homePath()) {
        key = QStringLiteral("drive");
        if (!keys_.contains(key))
            icon = QIcon::fromTheme("drive-harddisk", provider.icon(QAbstractFileIconProvider::Drive));
    } else if (isDir || isRoot) {
        key = open ? QStringLiteral("folder-open") : QStringLiteral("folder");
        if (!keys_.contains(key)) {
            const QIcon folder = QIcon::fromTheme("folder", provider.icon(QAbstractFileIconProvider::Folder));
            icon = open ? QIcon::fromTheme("folder-open", folder) : folder;
        }
    } else {
        static const QMimeDatabase db;
        const QMimeType mime = db.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
        key = QStringLiteral("mime:") + mime.name();
        if (!keys_.contains(key))
            icon = QIcon::fromTheme(mime.iconName(),
                                    QIcon::fromTheme(mime.genericIconName(),
                                                     provider.icon(QAbstractFileIconProvider::File)));
    }
    auto it = keys_.constFind(key);
    if (it != keys_.constEnd())
        return *it;
    icons_.push_back(icon);
    const int index = int(icons_.size()) - 1;
    keys_.insert(key, index);
    return index;
}

const QIcon& TSsSystemImageList::Icon(int index) const
{
    static const QIcon none;
    return index >= 0 && index < int(icons_.size()) ? icons_[size_t(index)] : none;
}

QPixmap TSsSystemImageList::Pixmap(int index, int size, int overlay) const
{
    const quint64 key = quint64(uint32_t(index)) << 32 | quint64(uint16_t(size)) << 16 | quint16(int16_t(overlay));
    auto it = pixmaps_.find(key);
    if (it == pixmaps_.end())
        it = pixmaps_.insert(key, DrawPixmap(index, size, overlay));
    return *it;
}

QPixmap TSsSystemImageList::DrawPixmap(int index, int size, int overlay) const
{
    QPixmap pm = Icon(index).pixmap(size, size);
    if (pm.isNull()) {
        pm = QPixmap(size, size);
        pm.fill(Qt::transparent);
    }
    if (overlay == 1) {
        // The shortcut arrow in the lower left corner.
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal s = size / 2.5;
        const QRectF box(0, size - s, s, s);
        p.fillRect(box, Qt::white);
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(box.adjusted(0, 0, -1, -1));
        QPainterPath arrow;
        arrow.moveTo(box.left() + s * 0.25, box.bottom() - s * 0.2);
        arrow.quadTo(box.left() + s * 0.3, box.top() + s * 0.35, box.right() - s * 0.25, box.top() + s * 0.3);
        p.drawPath(arrow);
        p.drawLine(QPointF(box.right() - s * 0.25, box.top() + s * 0.3),
                   QPointF(box.right() - s * 0.45, box.top() + s * 0.15));
        p.drawLine(QPointF(box.right() - s * 0.25, box.top() + s * 0.3),
                   QPointF(box.right() - s * 0.4, box.top() + s * 0.5));
    }
    return pm;
}
