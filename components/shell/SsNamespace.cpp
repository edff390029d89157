#include "SsNamespace.h"
#include "SsContextMenu.h"
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

namespace {

QByteArray Join(const QByteArray& dir, const QByteArray& name)
{
    return dir.endsWith('/') ? dir + name : dir + '/' + name;
}

QByteArray DirOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

QByteArray NameOf(const QByteArray& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

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

bool IsDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
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

// ---- copying, moving and removing entries ------------------------------------------------

std::function<void(int, const QByteArray&)> SsEntryHook;
int (*SsRenameAt2)(int fromDir, const char* from, int toDir, const char* to, unsigned flags) = ::renameat2;
int (*SsLinkAt)(int fromDir, const char* from, int toDir, const char* to, int flags) = ::linkat;

namespace {
int Failure(int result) { return result == 0 ? 0 : errno; }

QByteArray WithoutTrailingSlash(const QByteArray& path)
{
    return path.size() > 1 && path.endsWith('/') ? path.chopped(1) : path;
}

// A file descriptor closed with its owner.
class TFd {
public:
    explicit TFd(int fd = -1) : fd_(fd) {}
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    ~TFd() { Reset(); }
    int Get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }
    void Reset(int fd = -1)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

int OpenFolder(int dirFd, const char* name)
{
    return ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool SameEntry(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Tells the hook that the entry Name of an open folder is about to be opened or removed.
void CallHook(int dirFd, const QByteArray& name)
{
    if (SsEntryHook)
        SsEntryHook(dirFd, name);
}

// Folders opened one inside the other, from a root to the folder a walk is
// in. Only the innermost ones stay open, so that no depth runs out of
// handles; an outer one is opened again through ".." of the folder inside
// it, and must still be the folder it was.
class THandleChain {
public:
    ~THandleChain()
    {
        for (const TLevel& l : levels_)
            if (l.Fd >= 0)
                ::close(l.Fd);
    }
    // Takes Fd, an open folder, as the root.
    int Start(int fd)
    {
        TFd owned(fd);
        TLevel level{fd, {}};
        if (fd < 0 || ::fstat(fd, &level.St) != 0)
            return errno;
        owned.Release();
        levels_.push_back(level);
        return 0;
    }
    // Opens the folder Name inside the innermost one; a link is never followed.
    int Enter(const QByteArray& name)
    {
        TFd fd(OpenFolder(Fd(), name.constData()));
        TLevel level{fd.Get(), {}};
        if (fd.Get() < 0 || ::fstat(fd.Get(), &level.St) != 0)
            return errno;
        fd.Release();
        levels_.push_back(level);
        if (levels_.size() - firstOpen_ > KeptOpen) {
            ::close(levels_[firstOpen_].Fd);
            levels_[firstOpen_++].Fd = -1;
        }
        return 0;
    }
    // Back to the folder around the innermost one.
    int Leave()
    {
        const size_t outer = levels_.size() - 2;
        if (levels_[outer].Fd < 0) {
            TFd fd(OpenFolder(Fd(), ".."));
            struct stat st;
            if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0)
                return errno;
            if (!SameEntry(st, levels_[outer].St))
                return ESTALE;  // moved away meanwhile
            levels_[outer].Fd = fd.Release();
            firstOpen_ = outer;
        }
        ::close(levels_.back().Fd);
        levels_.pop_back();
        return 0;
    }
    int Fd() const { return levels_.back().Fd; }
    const struct stat& Stat() const { return levels_.back().St; }
    size_t Depth() const { return levels_.size(); }

private:
    static constexpr size_t KeptOpen = 16;
    struct TLevel {
        int Fd;
        struct stat St;
    };
    std::vector<TLevel> levels_;
    size_t firstOpen_ = 0;
};

// The names in an open folder.
int ReadNames(int dirFd, std::vector<QByteArray>& names)
{
    names.clear();
    const int fd = ::dup(dirFd);
    DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!dir) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        return error;
    }
    ::rewinddir(dir);
    int result = 0;
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(dir);
        if (!e) {
            result = errno;
            break;
        }
        if (!IsDotOrDotDot(e->d_name))
            names.emplace_back(e->d_name);
    }
    ::closedir(dir);
    return result;
}

// What a copy carried over: an entry as it was when copied, and a folder's
// copied entries. A move removes only these, and only while they are as
// they were.
struct TCopied {
    QByteArray Name;
    struct stat St {};
    std::vector<TCopied> Children;
    bool Skipped = false;  // holds entries the copy skipped, which stay
    // A file whose times are not clearly older than the copy: a write in the
    // same clock tick may have kept them, so its content is compared.
    bool Recent = false;
};

bool SameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// A write changes the change time, which no program can set back.
bool Unchanged(const struct stat& now, const struct stat& copied)
{
    if (!SameEntry(now, copied) || (now.st_mode & S_IFMT) != (copied.st_mode & S_IFMT))
        return false;
    return S_ISDIR(now.st_mode) || (now.st_size == copied.st_size && SameTime(now.st_mtim, copied.st_mtim) &&
                                    SameTime(now.st_ctim, copied.st_ctim));
}

// Whether both times of an entry lie so far before Start that a write after
// Start changes its change time on any file system: some keep times in steps
// of up to two seconds, taken from a clock that lags by a tick.
bool ClearlyOlder(const struct stat& st, const timespec& start)
{
    constexpr int64_t Margin = 3'000'000'000;
    auto ns = [](const timespec& t) { return int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec; };
    const int64_t limit = ns(start) - Margin;
    return ns(st.st_ctim) < limit && ns(st.st_mtim) < limit;
}

// Whether the file Name of Dir, still the entry Copied, holds what the file
// at CopyPath holds.
bool SameContent(int dir, const QByteArray& name, const struct stat& copied, const QByteArray& copyPath)
{
    TFd a(::openat(dir, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    TFd b(::open(copyPath.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat sa, sb;
    if (a.Get() < 0 || b.Get() < 0 || ::fstat(a.Get(), &sa) != 0 || ::fstat(b.Get(), &sb) != 0 ||
        !SameEntry(sa, copied) || !S_ISREG(sa.st_mode) || !S_ISREG(sb.st_mode) || sa.st_size != sb.st_size)
        return false;
    std::vector<char> x(64 * 1024), y(x.size());
    for (;;) {
        const ssize_t n = ::read(a.Get(), x.data(), x.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0 && ::read(b.Get(), y.data(), 1) == 0;
        for (ssize_t done = 0; done < n;) {
            const ssize_t m = ::read(b.Get(), y.data() + done, size_t(n - done));
            if (m < 0 && errno == EINTR)
                continue;
            if (m <= 0)
                return false;
            done += m;
        }
        if (std::memcmp(x.data(), y.data(), size_t(n)) != 0)
            return false;
    }
}

int CopyLink(int fromDir, const QByteArray& name, int toDir, const QByteArray& toName, const struct stat& st)
{
    QByteArray target(qsizetype(st.st_size) + 1, '\0');
    for (;;) {
        const ssize_t n = ::readlinkat(fromDir, name.constData(), target.data(), size_t(target.size()));
        if (n < 0)
            return errno;
        if (n < target.size()) {
            target.truncate(n);
            break;
        }
        target.resize(target.size() * 2);  // the link changed meanwhile
    }
    return Failure(::symlinkat(target.constData(), toDir, toName.constData()));
}

// Copies a file's content, mode and times; Copied gets the source as it was
// before it was read, so that a write during the copy shows as a change.
int CopyFile(int fromDir, const QByteArray& name, int toDir, const QByteArray& toName, struct stat& copied)
{
    // Not blocking: a pipe put in the file's place must not hold the copy.
    TFd in(::openat(fromDir, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (in.Get() < 0 || ::fstat(in.Get(), &copied) != 0)
        return errno;
    if (!S_ISREG(copied.st_mode))
        return ESTALE;  // replaced meanwhile
    ::fcntl(in.Get(), F_SETFL, ::fcntl(in.Get(), F_GETFL) & ~O_NONBLOCK);
    TFd out(::openat(toDir, toName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.Get() < 0)
        return errno;
    int result = 0;
    std::vector<char> buffer(256 * 1024);
    while (!result) {
        const ssize_t n = ::read(in.Get(), buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n < 0) {
            if (errno != EINTR)
                result = errno;
            continue;
        }
        for (ssize_t done = 0; done < n && !result;) {
            const ssize_t written = ::write(out.Get(), buffer.data() + done, size_t(n - done));
            if (written >= 0)
                done += written;
            else if (errno != EINTR)
                result = errno;
        }
    }
    if (!result)
        result = Failure(::fchmod(out.Get(), copied.st_mode & 07777));
    if (!result) {
        const timespec times[2] = {copied.st_atim, copied.st_mtim};
        result = Failure(::futimens(out.Get(), times));
    }
    if (::close(out.Release()) != 0 && !result)
        result = errno;
    return result;
}

int SetModeAndTimes(int fd, const struct stat& st)
{
    const timespec times[2] = {st.st_atim, st.st_mtim};
    return ::fchmod(fd, st.st_mode & 07777) == 0 && ::futimens(fd, times) == 0 ? 0 : errno;
}

// A copy of an entry under construction in a folder of its own. Folders
// are walked by their handles, never by paths, and links are copied as
// links, never followed. Each folder takes its mode once its entries are
// in, except the top one: a read-only folder could not be moved into its
// place, so that one takes its mode from Finish.
class TTreeCopy {
public:
    TTreeCopy(const QByteArray& fromPath, TSsOperationReport* report) : fromPath_(fromPath), report_(report)
    {
        ::clock_gettime(CLOCK_REALTIME, &start_);
    }
    // Copies the entry Name of FromDir as ToName into ToDir. 0 also when the
    // entry is a pipe, socket or device and nothing was made.
    int Run(int fromDir, const QByteArray& name, int toDir, const QByteArray& toName);
    // Gives the top folder its mode, once it is in place.
    int Finish() { return top_.Get() < 0 ? 0 : SetModeAndTimes(top_.Get(), Copied.St); }
    bool Made() const { return made_; }
    TCopied Copied;

private:
    // The entry Name (of a folder being copied, or the top) at St.
    int CopyOne(int fromDir, int toDir, const QByteArray& name, const struct stat& st, TCopied& node,
                const QByteArray& path);
    int CopyFolder(int fromDir, const QByteArray& name, int toDir, const QByteArray& toName);
    int CopyRegular(int fromDir, const QByteArray& name, int toDir, const QByteArray& toName, TCopied& node);
    QByteArray fromPath_;
    TSsOperationReport* report_;
    timespec start_{};
    TFd top_;
    bool made_ = false;
};

int TTreeCopy::CopyOne(int fromDir, int toDir, const QByteArray& name, const struct stat& st, TCopied& node,
                       const QByteArray& path)
{
    node.St = st;
    if (S_ISLNK(st.st_mode))
        return CopyLink(fromDir, name, toDir, name, st);
    if (S_ISREG(st.st_mode))
        return CopyRegular(fromDir, name, toDir, name, node);
    // Pipes, sockets and devices have no content that a copy could carry.
    if (report_)
        report_->Skipped << path;
    return -1;
}

int TTreeCopy::CopyRegular(int fromDir, const QByteArray& name, int toDir, const QByteArray& toName,
                           TCopied& node)
{
    const int result = CopyFile(fromDir, name, toDir, toName, node.St);
    node.Recent = !ClearlyOlder(node.St, start_);
    return result;
}

int TTreeCopy::Run(int fromDir, const QByteArray& name, int toDir, const QByteArray& toName)
{
    Copied.Name = name;
    if (::fstatat(fromDir, name.constData(), &Copied.St, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    if (S_ISDIR(Copied.St.st_mode))
        return CopyFolder(fromDir, name, toDir, toName);
    int result;
    if (S_ISLNK(Copied.St.st_mode))
        result = CopyLink(fromDir, name, toDir, toName, Copied.St);
    else if (S_ISREG(Copied.St.st_mode))
        result = CopyRegular(fromDir, name, toDir, toName, Copied);
    else {
        if (report_)
            report_->Skipped << fromPath_;
        return 0;
    }
    made_ = result == 0;
    return result;
}

int TTreeCopy::CopyFolder(int fromDir, const QByteArray& name, int toDir, const QByteArray& toName)
{
    THandleChain from, to;
    if (const int r = from.Start(OpenFolder(fromDir, name.constData())))
        return r;
    Copied.St = from.Stat();
    if (::mkdirat(toDir, toName.constData(), 0700) != 0)
        return errno;
    made_ = true;
    if (const int r = to.Start(OpenFolder(toDir, toName.constData())))
        return r;
    top_.Reset(::dup(to.Fd()));
    struct TFrame {
        TCopied* Node;
        std::vector<QByteArray> Names;
        size_t Next = 0;
        qsizetype PathSize;
    };
    std::vector<TFrame> frames;
    QByteArray path = fromPath_;
    frames.push_back({&Copied, {}, 0, path.size()});
    if (const int r = ReadNames(from.Fd(), frames.back().Names))
        return r;
    while (!frames.empty()) {
        TFrame& frame = frames.back();
        if (frame.Next == frame.Names.size()) {
            frames.pop_back();
            if (frames.empty())
                break;  // the top takes its mode in Finish
            if (const int r = SetModeAndTimes(to.Fd(), from.Stat()))
                return r;
            if (const int r = from.Leave())
                return r;
            if (const int r = to.Leave())
                return r;
            path.truncate(frames.back().PathSize);
            continue;
        }
        const QByteArray child = frame.Names[frame.Next++];
        struct stat st;
        if (::fstatat(from.Fd(), child.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT)
                continue;  // removed meanwhile: nothing to carry
            return errno;
        }
        CallHook(from.Fd(), child);
        TCopied& node = frame.Node->Children.emplace_back();
        node.Name = child;
        const QByteArray childPath = path + '/' + child;
        if (!S_ISDIR(st.st_mode)) {
            const int r = CopyOne(from.Fd(), to.Fd(), child, st, node, childPath);
            if (r == -1) {
                frame.Node->Children.pop_back();
                frame.Node->Skipped = true;
            }
            else if (r)
                return r;
            continue;
        }
        if (const int r = from.Enter(child))
            return r;
        node.St = from.Stat();
        if (::mkdirat(to.Fd(), child.constData(), 0700) != 0)
            return errno;
        if (const int r = to.Enter(child))
            return r;
        path = childPath;
        frames.push_back({&node, {}, 0, path.size()});
        if (const int r = ReadNames(from.Fd(), frames.back().Names))
            return r;
    }
    return 0;
}

// Removes the entry Name of folder Dir, a folder with what it holds, walking
// by handles and never following a link. With Copied, only the entries a copy
// (at CopyPath) carried over go, and only while they are as they were; what
// stays is noted in the report with its reason. Force makes own folders
// writable first (for a copy of read-only folders). 0 or the first error met.
class TTreeRemoval {
public:
    TTreeRemoval(const QByteArray& path, const TCopied* copied, const QByteArray& copyPath, bool force,
                 TSsOperationReport* report)
        : path_(path), copyPath_(copyPath), copied_(copied), force_(force), report_(report)
    {
    }
    int Run(int dir, const QByteArray& name);
    // Notes that Path stays, for Error; answers Error.
    int Stays(const QByteArray& path, int error);

private:
    // Removes Name of Dir unless it is a folder; false when it is one.
    bool RemoveNonFolder(int dir, const QByteArray& name, const struct stat& st, const TCopied* node,
                         const QByteArray& folderPath, const QByteArray& path, int& result);
    int Unlink(int dir, const QByteArray& name, int flags, const QByteArray& folderPath, const QByteArray& path);
    // Removes an emptied folder; -1 when entries a copy skipped keep it.
    int RemoveFolder(int dir, const QByteArray& name, const TCopied* node, const QByteArray& folderPath,
                     const QByteArray& path);
    QByteArray path_;
    QByteArray copyPath_;
    const TCopied* copied_;
    bool force_;
    TSsOperationReport* report_;
};

int TTreeRemoval::Stays(const QByteArray& path, int error)
{
    if (report_ && (report_->Left.isEmpty() || report_->Left.back() != qMakePair(path, error)))
        report_->Left.append({path, error});
    return error;
}

int TTreeRemoval::Unlink(int dir, const QByteArray& name, int flags, const QByteArray& folderPath,
                         const QByteArray& path)
{
    if (::unlinkat(dir, name.constData(), flags) == 0 || errno == ENOENT)
        return 0;
    const int error = errno;
    // A write-protected folder keeps its entries: the folder is the cause.
    const bool folderRefuses = error == EACCES || error == EPERM || error == EROFS;
    return Stays(folderRefuses ? folderPath : path, error);
}

int TTreeRemoval::RemoveFolder(int dir, const QByteArray& name, const TCopied* node, const QByteArray& folderPath,
                               const QByteArray& path)
{
    // The entries a copy skipped keep their folder; the report names them.
    if (node && node->Skipped && ::unlinkat(dir, name.constData(), AT_REMOVEDIR) != 0 && errno == ENOTEMPTY)
        return -1;
    return Unlink(dir, name, AT_REMOVEDIR, folderPath, path);
}

bool TTreeRemoval::RemoveNonFolder(int dir, const QByteArray& name, const struct stat& st, const TCopied* node,
                                   const QByteArray& folderPath, const QByteArray& path, int& result)
{
    if (node && (!Unchanged(st, node->St) ||
                 (node->Recent && !SameContent(dir, name, node->St, copyPath_ + path.mid(path_.size()))))) {
        result = Stays(path, ESTALE);
        return true;
    }
    if (S_ISDIR(st.st_mode))
        return false;
    result = Unlink(dir, name, 0, folderPath, path);
    return true;
}

int TTreeRemoval::Run(int dir, const QByteArray& name)
{
    struct stat st;
    if (::fstatat(dir, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT && copied_ ? 0 : Stays(path_, errno);
    int result = 0;
    const QByteArray parentPath = DirOf(path_);
    if (RemoveNonFolder(dir, name, st, copied_, parentPath, path_, result))
        return result;
    THandleChain chain;
    if (const int r = chain.Start(OpenFolder(dir, name.constData())))
        return Stays(path_, r);
    struct TFrame {
        const TCopied* Node;
        std::vector<QByteArray> Names;
        size_t Next = 0;
        qsizetype PathSize;
        bool Kept = false;  // something below stays
    };
    std::vector<TFrame> frames;
    QByteArray path = path_;
    // Something in the innermost folder stays, for error (0: noted already).
    auto keep = [&](int error) {
        frames.back().Kept = true;
        if (!result)
            result = error;
    };
    auto enter = [&](const TCopied* node) {
        if (force_ && chain.Stat().st_uid == ::geteuid() && (chain.Stat().st_mode & S_IRWXU) != S_IRWXU)
            ::fchmod(chain.Fd(), (chain.Stat().st_mode & 07777) | S_IRWXU);
        frames.push_back({node, {}, 0, path.size()});
        TFrame& frame = frames.back();
        if (node) {
            if (!SameEntry(chain.Stat(), node->St))
                return Stays(path, ESTALE);
            for (const TCopied& c : node->Children)
                frame.Names.push_back(c.Name);
            return 0;
        }
        if (const int r = ReadNames(chain.Fd(), frame.Names))
            return Stays(path, r);
        return 0;
    };
    if (const int r = enter(copied_)) {
        frames.back().Names.clear();
        keep(r);
    }
    while (!frames.empty()) {
        TFrame& frame = frames.back();
        if (frame.Next == frame.Names.size()) {
            const bool kept = frame.Kept;
            const TCopied* node = frame.Node;
            frames.pop_back();
            const QByteArray folder = path;
            const QByteArray folderName = NameOf(folder);
            if (frames.empty()) {
                if (!kept)
                    if (const int r = RemoveFolder(dir, name, node, parentPath, folder); r > 0 && !result)
                        result = r;
                break;
            }
            path.truncate(frames.back().PathSize);
            if (const int r = chain.Leave()) {
                keep(Stays(folder, r));
                break;
            }
            if (kept)
                keep(0);
            else if (const int r = RemoveFolder(chain.Fd(), folderName, node, path, folder))
                keep(std::max(r, 0));
            continue;
        }
        const size_t index = frame.Next++;
        const QByteArray child = frame.Names[index];
        const TCopied* node = frame.Node ? &frame.Node->Children[index] : nullptr;
        const QByteArray childPath = path + '/' + child;
        if (::fstatat(chain.Fd(), child.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                keep(Stays(childPath, errno));
            continue;
        }
        CallHook(chain.Fd(), child);
        int r = 0;
        if (RemoveNonFolder(chain.Fd(), child, st, node, path, childPath, r)) {
            if (r)
                keep(r);
            continue;
        }
        if ((r = chain.Enter(child)) != 0) {
            // Replaced by a link or a file meanwhile: that goes, nothing it leads to.
            if ((r == ELOOP || r == ENOTDIR) && !node)
                r = Unlink(chain.Fd(), child, 0, path, childPath);
            else
                Stays(childPath, r);
            if (r)
                keep(r);
            continue;
        }
        path = childPath;
        if ((r = enter(node)) != 0) {
            frames.back().Names.clear();
            keep(r);
        }
    }
    return result;
}

// Takes the name To with an empty entry of its own (a folder for a folder,
// which only an empty folder may replace) and moves From over it, unless
// another program took the name meanwhile.
int RenameOverPlaceholder(int fromDir, const QByteArray& from, int toDir, const QByteArray& to, bool folder)
{
    if (folder && ::mkdirat(toDir, to.constData(), 0700) != 0)
        return errno;
    TFd made(folder ? OpenFolder(toDir, to.constData())
                    : ::openat(toDir, to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    struct stat placeholder;
    if (made.Get() < 0 || ::fstat(made.Get(), &placeholder) != 0) {
        const int error = errno;
        if (folder)
            ::unlinkat(toDir, to.constData(), AT_REMOVEDIR);
        return error;
    }
    made.Reset();
    auto ours = [&] {
        struct stat now;
        return ::fstatat(toDir, to.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 && SameEntry(now, placeholder);
    };
    if (!ours())
        return EEXIST;
    if (::renameat(fromDir, from.constData(), toDir, to.constData()) == 0)
        return 0;
    const int error = errno;
    if (ours())
        ::unlinkat(toDir, to.constData(), folder ? AT_REMOVEDIR : 0);
    return error;
}

// Renames From to To unless To exists (see SsRenameNoReplace), relative to
// the folders' handles.
int RenameNoReplaceAt(int fromDir, const QByteArray& from, int toDir, const QByteArray& to)
{
    if (SsRenameAt2(fromDir, from.constData(), toDir, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    // The file system cannot refuse to replace: take the name first, then move in.
    struct stat st;
    if (::fstatat(fromDir, from.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    if (!S_ISDIR(st.st_mode)) {
        if (SsLinkAt(fromDir, from.constData(), toDir, to.constData(), 0) == 0) {
            if (::unlinkat(fromDir, from.constData(), 0) != 0) {
                const int error = errno;
                ::unlinkat(toDir, to.constData(), 0);
                return error;
            }
            return 0;
        }
        // Nor hard links (FUSE file systems, some network shares).
        if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS && errno != EMLINK)
            return errno;
    }
    return RenameOverPlaceholder(fromDir, from, toDir, to, S_ISDIR(st.st_mode));
}

// Opens the folder that holds Path.
int OpenParent(const QByteArray& path)
{
    return ::open(DirOf(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// A copy's work folder: ".partial-copy-" and six letters or digits.
bool IsPartialCopy(const char* name)
{
    const char prefix[] = ".partial-copy-";
    const size_t n = sizeof prefix - 1;
    return std::strncmp(name, prefix, n) == 0 && std::strlen(name) == n + 6 &&
           std::all_of(name + n, name + n + 6, [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
           });
}

void RemovePartialCopy(int dir, const char* name)
{
    TTreeRemoval(name, nullptr, QByteArray(), true, nullptr).Run(dir, name);
}

// Removes the work folders that killed pastes left in Folder.
void SweepPartialCopies(const QByteArray& folder)
{
    const TFd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        SweepTemporaries(dir.Get(), IsPartialCopy, true, RemovePartialCopy);
}

// Copies From to To (see SsCopyEntry); Copy keeps what was carried over.
int CopyEntry(const QByteArray& from, const QByteArray& to, TTreeCopy& copy)
{
    // The copy grows in a hidden folder of its own beside its place, and
    // moves to its name only once it is whole. The folder stays locked till
    // it is gone, so that a paste sweeps only those of pastes that were killed.
    const TFd fromDir(OpenParent(from));
    const TFd toDir(OpenParent(to));
    if (fromDir.Get() < 0 || toDir.Get() < 0)
        return errno;
    QByteArray work, workName;
    TFd workDir;
    while (workDir.Get() < 0) {
        work = Join(DirOf(to), ".partial-copy-XXXXXX");
        if (!::mkdtemp(work.data()))
            return errno;
        workName = NameOf(work);
        workDir.Reset(OpenFolder(toDir.Get(), workName.constData()));
        if (workDir.Get() < 0) {
            const int error = errno;
            ::unlinkat(toDir.Get(), workName.constData(), AT_REMOVEDIR);
            return error;
        }
        if (LockTemporary(toDir.Get(), workName.constData(), workDir.Get()) != 0)
            workDir.Reset();
    }
    int result = copy.Run(fromDir.Get(), NameOf(from), workDir.Get(), NameOf(to));
    if (!result && copy.Made())
        result = SsRenameNoReplace(Join(work, NameOf(to)), to);
    if (!result)
        result = copy.Finish();
    TTreeRemoval(work, nullptr, QByteArray(), true, nullptr).Run(toDir.Get(), workName);
    return result;
}
}  // namespace

int SsRenameNoReplace(const QByteArray& from, const QByteArray& to)
{
    return RenameNoReplaceAt(AT_FDCWD, from, AT_FDCWD, to);
}

int SsCopyEntry(const QByteArray& from, const QByteArray& to, TSsOperationReport* report)
{
    TTreeCopy copy(from, report);
    return CopyEntry(from, to, copy);
}

int SsMoveEntry(const QByteArray& from, const QByteArray& to, TSsOperationReport* report)
{
    int result = SsRenameNoReplace(from, to);
    if (result != EXDEV)
        return result;
    // Across file systems: a copy, then the source goes as far as it was
    // copied and has not changed since.
    TTreeCopy copy(from, report);
    if ((result = CopyEntry(from, to, copy)) != 0 || !copy.Made())
        return result;
    TTreeRemoval removal(from, &copy.Copied, to, false, report);
    const TFd fromDir(OpenParent(from));
    return fromDir.Get() < 0 ? removal.Stays(from, errno) : removal.Run(fromDir.Get(), NameOf(from));
}

int SsRemoveEntry(const QByteArray& path)
{
    const TFd dir(OpenParent(path));
    if (dir.Get() < 0)
        return errno;
    return TTreeRemoval(path, nullptr, QByteArray(), false, nullptr).Run(dir.Get(), NameOf(path));
}

namespace {
// Name + Insert before the name's extension + Suffix, in at most Max bytes: a
// name too long for that loses the end of its stem, never within a character,
// and keeps an extension of up to 16 bytes.
QByteArray NameWithin(const QByteArray& name, const QByteArray& insert, const QByteArray& suffix, qsizetype max)
{
    const qsizetype dot = name.lastIndexOf('.');
    if (name.size() + insert.size() + suffix.size() <= max)
        return dot > 0 ? name.left(dot) + insert + name.mid(dot) + suffix : name + insert + suffix;
    const QByteArray ext = dot > 0 && name.size() - dot <= 16 ? name.mid(dot) : QByteArray();
    const QByteArray stem = name.left(name.size() - ext.size());
    qsizetype keep = std::max<qsizetype>(max - insert.size() - suffix.size() - ext.size(), 0);
    // Not within a character: back to its first byte, at most 3 bytes before
    // (bytes that are no UTF-8 are cut where they are).
    auto follows = [&](qsizetype i) { return i < stem.size() && (uint8_t(stem[i]) & 0xC0) == 0x80; };
    qsizetype start = keep;
    while (start > 0 && keep - start < 3 && follows(start))
        --start;
    if (start < keep && (uint8_t(stem[start]) & 0xC0) == 0xC0)
        keep = start;
    return stem.left(keep) + insert + ext + suffix;
}

// The name an entry takes in the trash, with Suffix, short enough that its
// note's name (the name and ".trashinfo") fits the file system: a long name
// is cut before its extension, never within a UTF-8 character. The note keeps
// the original path.
QByteArray TrashedName(const QByteArray& name, const QByteArray& suffix)
{
    return NameWithin(name, QByteArray(), suffix, NAME_MAX - qsizetype(sizeof ".trashinfo" - 1));
}

int MakeFolder(const QByteArray& path)
{
    if (::mkdir(path.constData(), 0700) == 0 || errno == EEXIST)
        return 0;
    if (errno != ENOENT || path == "/")
        return errno;
    if (const int r = MakeFolder(DirOf(path)))
        return r;
    return ::mkdir(path.constData(), 0700) == 0 || errno == EEXIST ? 0 : errno;
}

// The folders of the trash that takes an entry, open: its entries, their
// notes, and the folder that the notes' paths are relative to (empty: none).
struct TTrash {
    TFd Files, Info;
    QByteArray TopDir;
};

// Opens the folder Name of Dir, made when missing. In a trash that others can
// reach (Shared) it must be a real folder, never a link, and the user's own;
// else the trash is not used: SsTrashNotOwn.
int OpenTrashFolder(int dir, const QByteArray& name, bool shared, TFd& folder)
{
    auto open = [&] {
        return ::openat(dir, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (shared ? O_NOFOLLOW : 0));
    };
    folder.Reset(open());
    if (folder.Get() < 0 && errno == ENOENT) {
        if (::mkdirat(dir, name.constData(), 0700) != 0 && errno != EEXIST)
            return errno;
        folder.Reset(open());
    }
    if (folder.Get() < 0)
        return shared && (errno == ELOOP || errno == ENOTDIR || errno == EACCES) ? SsTrashNotOwn : errno;
    struct stat st;
    if (::fstat(folder.Get(), &st) != 0)
        return errno;
    return shared && st.st_uid != ::geteuid() ? SsTrashNotOwn : 0;
}

// The trash at the top of a volume: ".Trash/<uid>" when ".Trash" is a real
// folder with the sticky bit (so that none can take another's folder there)
// and "<uid>" is the user's; else ".Trash-<uid>", the user's and closed to
// everyone else. Folders are opened without following links and checked by
// their handles.
int OpenVolumeTrash(const QByteArray& topDir, TFd& trash)
{
    const TFd top(::open(topDir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (top.Get() < 0)
        return errno;
    const QByteArray uid = QByteArray::number(uint(::geteuid()));
    const TFd shared(OpenFolder(top.Get(), ".Trash"));
    struct stat st;
    if (shared.Get() >= 0 && ::fstat(shared.Get(), &st) == 0 && (st.st_mode & S_ISVTX) &&
        OpenTrashFolder(shared.Get(), uid, true, trash) == 0)
        return 0;
    if (const int r = OpenTrashFolder(top.Get(), ".Trash-" + uid, true, trash))
        return r;
    if (::fstat(trash.Get(), &st) != 0)
        return errno;
    return (st.st_mode & 07777) == 0700 || ::fchmod(trash.Get(), 0700) == 0 ? 0 : errno;
}

// The trash that takes entries of the device dev: the home trash when it
// lies there, else the trash at the top of the volume.
int OpenTrash(const QByteArray& path, dev_t dev, TTrash& trash)
{
    const QByteArray home =
        QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) + "/Trash";
    struct stat st;
    QByteArray existing = home;
    while (::stat(existing.constData(), &st) != 0 && existing != "/")
        existing = DirOf(existing);
    TFd folder;
    const bool shared = st.st_dev != dev;
    if (!shared) {
        trash.TopDir.clear();
        if (const int r = MakeFolder(home))
            return r;
        folder.Reset(::open(home.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder.Get() < 0)
            return errno;
    } else {
        QByteArray& topDir = trash.TopDir;
        topDir = DirOf(path);
        for (QByteArray up = DirOf(topDir); topDir != "/"; up = DirOf(topDir)) {
            if (::stat(up.constData(), &st) != 0 || st.st_dev != dev)
                break;
            topDir = up;
        }
        if (const int r = OpenVolumeTrash(topDir, folder))
            return r;
    }
    if (const int r = OpenTrashFolder(folder.Get(), "files", shared, trash.Files))
        return r;
    return OpenTrashFolder(folder.Get(), "info", shared, trash.Info);
}
}  // namespace

int SsMoveToTrash(const QByteArray& path)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0)
        return errno;
    TTrash trash;
    if (const int r = OpenTrash(path, st.st_dev, trash))
        return r;
    // The note is made first, under a name of its own; the entry follows it.
    const QByteArray name = NameOf(path);
    for (int n = 1;; ++n) {
        const QByteArray trashed = TrashedName(name, n == 1 ? QByteArray() : '.' + QByteArray::number(n));
        const QByteArray note = trashed + ".trashinfo";
        const int fd =
            ::openat(trash.Info.Get(), note.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        struct stat other;
        if (::fstatat(trash.Files.Get(), trashed.constData(), &other, AT_SYMLINK_NOFOLLOW) == 0) {
            ::close(fd);
            ::unlinkat(trash.Info.Get(), note.constData(), 0);
            continue;
        }
        const QByteArray& topDir = trash.TopDir;
        const QByteArray place = topDir.isEmpty() ? path : path.mid(topDir.size() + (topDir.endsWith('/') ? 0 : 1));
        const QByteArray text = "[Trash Info]\nPath=" + place.toPercentEncoding("/") + "\nDeletionDate=" +
                                QDateTime::currentDateTime().toString(Qt::ISODate).toLatin1() + '\n';
        int result = ::write(fd, text.constData(), size_t(text.size())) == text.size() ? 0 : (errno ? errno : EIO);
        if (::close(fd) != 0 && !result)
            result = errno;
        if (!result)
            result = RenameNoReplaceAt(AT_FDCWD, path, trash.Files.Get(), trashed);
        if (result)
            ::unlinkat(trash.Info.Get(), note.constData(), 0);
        return result;
    }
}

QByteArray SsFreeFileName(const QByteArray& folder, const QByteArray& name)
{
    auto taken = [&](const QByteArray& n) {
        struct stat st;
        return ::lstat(Join(folder, n).constData(), &st) == 0;
    };
    if (!taken(name))
        return name;
    for (int n = 2;; ++n) {
        const QByteArray candidate = NameWithin(name, " (" + QByteArray::number(n) + ')', QByteArray(), NAME_MAX);
        if (!taken(candidate))
            return candidate;
    }
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
    SweepPartialCopies(here);
    for (const QByteArray& file : files) {
        const QByteArray from = WithoutTrailingSlash(file);
        if (effect == DROPEFFECT_MOVE && DirOf(from) == here)
            continue;
        const QByteArray to = Join(here, SsFreeFileName(here, NameOf(from)));
        const qsizetype left = report_.Left.size();
        int result;
        if (effect == DROPEFFECT_LINK)
            result = Failure(::symlink(from.constData(), to.constData()));
        else if (effect == DROPEFFECT_COPY)
            result = SsCopyEntry(from, to, &report_);
        else
            result = SsMoveEntry(from, to, &report_);
        // What a move left at its old place is reported as such.
        if (result && report_.Left.size() == left)
            report_.Failed.append({from, result});
    }
    return report_.IsEmpty() ? S_OK : E_FAIL;
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
