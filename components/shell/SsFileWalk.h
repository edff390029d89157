#pragma once
// What the file operations share: paths as the system's bytes, folder
// handles, and the steps that copies, moves, the trash and the sweep of
// leftovers take.
#include <QByteArray>

struct TSsOperationReport;

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace SsFiles {
inline QByteArray Join(const QByteArray& dir, const QByteArray& name)
{
    return dir.endsWith('/') ? dir + name : dir + '/' + name;
}

inline QByteArray DirOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

inline QByteArray NameOf(const QByteArray& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

inline bool IsDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

inline int Failure(int result) { return result == 0 ? 0 : errno; }

inline QByteArray WithoutTrailingSlash(const QByteArray& path)
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

inline int OpenFolder(int dirFd, const char* name)
{
    return ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

inline bool SameEntry(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens the folder that holds Path.
inline int OpenParent(const QByteArray& path)
{
    return ::open(DirOf(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Name + Insert before the name's extension + Suffix, in at most Max bytes: a
// name too long for that loses the end of its stem, never within a character,
// and keeps an extension of up to 16 bytes.
QByteArray NameWithin(const QByteArray& name, const QByteArray& insert, const QByteArray& suffix, qsizetype max);
// Renames From to To unless To exists (see SsRenameNoReplace), relative to
// the folders' handles.
int RenameNoReplaceAt(int fromDir, const QByteArray& from, int toDir, const QByteArray& to);
// Removes the entry Path, of the folder Dir, a folder with what it holds,
// walking by handles, never following a link nor leaving the mount Dir is on:
// a mount inside stays, with the folders that hold it, and Report's Mounted
// names it. Fd, when not -1, is the entry open already; that one goes, never
// another that takes its name meanwhile. Force makes own folders writable
// first. 0 or the first error met.
int RemoveTreeAt(int dir, const QByteArray& path, int fd, bool force, TSsOperationReport* report);
// Makes a paste's work folder in Dir, open in Folder, locked and marked as a
// temporary till it is gone: 0 or the system's error number.
int MakePartialCopy(int dir, QByteArray& name, TFd& folder);
// Removes the work folders that killed pastes left in Folder (see
// SweepTemporaries), never another's or one still in use; Report's Mounted
// names the mounts that keep one.
void SweepPartialCopies(const QByteArray& folder, TSsOperationReport* report);
}  // namespace SsFiles
