#include "SsTrash.h"
#include "SsFileWalk.h"

#include <QDateTime>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace SsFiles;

namespace {
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

// The trash folders made while a trash is prepared, removed again (when
// still empty) unless the trash is ready for use.
class TMadeFolders {
public:
    TMadeFolders() = default;
    TMadeFolders(const TMadeFolders&) = delete;
    TMadeFolders& operator=(const TMadeFolders&) = delete;
    ~TMadeFolders()
    {
        for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
            if (!kept_)
                ::unlinkat(it->first, it->second.constData(), AT_REMOVEDIR);
            ::close(it->first);
        }
    }
    void Add(int dir, const QByteArray& name)
    {
        const int fd = ::dup(dir);
        if (fd >= 0)
            made_.emplace_back(fd, name);
    }
    void Keep() { kept_ = true; }

private:
    std::vector<std::pair<int, QByteArray>> made_;  // folder, name
    bool kept_ = false;
};

// Opens the folder Name of Dir, made when missing. In a trash that others can
// reach (Shared) it must be a real folder, never a link, and the user's own;
// else the trash is not used: SsTrashNotOwn.
int OpenTrashFolder(int dir, const QByteArray& name, bool shared, TFd& folder, TMadeFolders& made)
{
    auto open = [&] {
        return ::openat(dir, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (shared ? O_NOFOLLOW : 0));
    };
    folder.Reset(open());
    if (folder.Get() < 0 && errno == ENOENT) {
        if (::mkdirat(dir, name.constData(), 0700) == 0)
            made.Add(dir, name);
        else if (errno != EEXIST)
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
int OpenVolumeTrash(const QByteArray& topDir, TFd& trash, TMadeFolders& made)
{
    const TFd top(::open(topDir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (top.Get() < 0)
        return errno;
    const QByteArray uid = QByteArray::number(uint(::geteuid()));
    const TFd shared(OpenFolder(top.Get(), ".Trash"));
    struct stat st;
    if (shared.Get() >= 0 && ::fstat(shared.Get(), &st) == 0 && (st.st_mode & S_ISVTX) &&
        OpenTrashFolder(shared.Get(), uid, true, trash, made) == 0)
        return 0;
    if (const int r = OpenTrashFolder(top.Get(), ".Trash-" + uid, true, trash, made))
        return r;
    if (::fstat(trash.Get(), &st) != 0)
        return errno;
    return (st.st_mode & 07777) == 0700 || ::fchmod(trash.Get(), 0700) == 0 ? 0 : errno;
}

// The mount that holds Path (links followed), or its device where the
// system does not tell mounts apart.
struct TMount {
    uint64_t Id = 0;
    bool operator==(const TMount&) const = default;
};

bool MountOf(const QByteArray& path, TMount& mount)
{
    struct statx sx {};
    if (::statx(AT_FDCWD, path.constData(), AT_NO_AUTOMOUNT, STATX_MNT_ID, &sx) != 0)
        return false;
    mount.Id = (sx.stx_mask & STATX_MNT_ID) ? sx.stx_mnt_id : (uint64_t(sx.stx_dev_major) << 32 | sx.stx_dev_minor);
    return true;
}

// The trash that takes the entry Path: the home trash when its folder is on
// the same mount, else the trash at the top of that mount (a rename never
// crosses mounts, bind mounts of one file system neither).
int OpenTrash(const QByteArray& path, TTrash& trash)
{
    TMount mount, there;
    if (!MountOf(DirOf(path), mount))
        return errno;
    const QByteArray home =
        QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) + "/Trash";
    QByteArray existing = home;
    while (!MountOf(existing, there) && existing != "/")
        existing = DirOf(existing);
    TFd folder;
    TMadeFolders made;
    const bool shared = !(there == mount);
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
            if (!MountOf(up, there) || !(there == mount))
                break;
            topDir = up;
        }
        if (const int r = OpenVolumeTrash(topDir, folder, made))
            return r;
    }
    if (const int r = OpenTrashFolder(folder.Get(), "files", shared, trash.Files, made))
        return r;
    if (const int r = OpenTrashFolder(folder.Get(), "info", shared, trash.Info, made))
        return r;
    made.Keep();
    return 0;
}

// Path with its folder's real path, free of links: whatever path reaches an
// entry, it lies on the mount, and goes to the trash, of that folder. Empty
// (errno set) when the folder cannot be resolved.
QByteArray RealPath(const QByteArray& path)
{
    char* real = ::realpath(DirOf(path).constData(), nullptr);
    if (!real)
        return QByteArray();
    const QByteArray result = Join(real, NameOf(path));
    std::free(real);
    return result;
}
}  // namespace

int SsMoveToTrash(const QByteArray& given)
{
    struct stat st;
    if (::lstat(given.constData(), &st) != 0)
        return errno;
    const QByteArray path = RealPath(given);
    if (path.isEmpty())
        return errno;
    TTrash trash;
    if (const int r = OpenTrash(path, trash))
        // A volume whose top the user may not write, or that refuses to
        // close the trash to others, has no trash for the user.
        return r == EACCES || r == EPERM ? SsTrashNoUsable : r;
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
        if (result == EXDEV)
            result = SsTrashNoUsable;
        if (result)
            ::unlinkat(trash.Info.Get(), note.constData(), 0);
        return result;
    }
}
