#include "SsFileOperations.h"
#include "SsNamespace.h"
#include "SsFileWalk.h"
#include "SysUtils.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

using namespace SsFiles;

std::function<void(int, const QByteArray&)> SsEntryHook;
int (*SsRenameAt2)(int fromDir, const char* from, int toDir, const char* to, unsigned flags) = ::renameat2;
int (*SsLinkAt)(int fromDir, const char* from, int toDir, const char* to, int flags) = ::linkat;
int (*SsFsync)(int fd) = ::fsync;

namespace {
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
    // Whether St is one of the folders of the chain.
    bool Holds(const struct stat& st) const
    {
        return std::any_of(levels_.begin(), levels_.end(), [&](const TLevel& l) { return SameEntry(l.St, st); });
    }

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
    QByteArray CopyName;  // the copy's name
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

// Opens the entry Path (names joined by '/') below the folder Dir one name
// at a time, so that no length of Path is too long; a link on the way is
// never followed.
int OpenBelow(int dir, const QByteArray& path, int flags)
{
    const QList<QByteArray> names = path.split('/');
    TFd at(::dup(dir));
    for (qsizetype i = 0; at.Get() >= 0 && i + 1 < names.size(); ++i)
        if (!names[i].isEmpty())
            at.Reset(::openat(at.Get(), names[i].constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return at.Get() < 0 ? -1 : ::openat(at.Get(), names.back().constData(), flags | O_NOFOLLOW | O_CLOEXEC);
}

// Whether the file Name of Dir, still the entry Copied, holds what the file
// CopyName of CopyDir holds.
bool SameContent(int dir, const QByteArray& name, const struct stat& copied, int copyDir, const QByteArray& copyName)
{
    TFd a(::openat(dir, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    TFd b(OpenBelow(copyDir, copyName, O_RDONLY | O_NONBLOCK));
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

// Writes an open file or folder through to its disk; one that the file
// system cannot sync (EINVAL) has nothing kept back.
int Sync(int fd)
{
    return SsFsync(fd) == 0 || errno == EINVAL ? 0 : errno;
}

int SetModeAndTimes(int fd, const struct stat& st)
{
    const timespec times[2] = {st.st_atim, st.st_mtim};
    return ::fchmod(fd, st.st_mode & 07777) == 0 && ::futimens(fd, times) == 0 ? 0 : errno;
}

// The folders from Dir up to the root.
std::vector<struct stat> FoldersUpFrom(int dir)
{
    std::vector<struct stat> folders;
    TFd at(::dup(dir));
    struct stat st;
    while (at.Get() >= 0 && ::fstat(at.Get(), &st) == 0 &&
           (folders.empty() || !SameEntry(st, folders.back()))) {
        folders.push_back(st);
        at.Reset(::openat(at.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    return folders;
}

// A copy of an entry under construction in a folder of its own. Folders
// are walked by their handles, never by paths, and links are copied as
// links, never followed. Each folder takes its mode once its entries are
// in, except the top one: a read-only folder could not be moved into its
// place, so that one takes its mode from Finish. With Sync, each file and
// folder is written through to its disk once whole.
class TTreeCopy {
public:
    TTreeCopy(const QByteArray& fromPath, bool sync, TSsOperationReport* report)
        : fromPath_(fromPath), report_(report), sync_(sync)
    {
        ::clock_gettime(CLOCK_REALTIME, &start_);
    }
    // Copies the entry Name of FromDir as ToName into ToDir. 0 also when the
    // entry is a pipe, socket or device and nothing was made.
    int Run(int fromDir, const QByteArray& name, int toDir, const QByteArray& toName);
    // Gives the top folder its mode, once it is in place.
    int Finish()
    {
        if (top_.Get() < 0)
            return 0;
        const int result = SetModeAndTimes(top_.Get(), Copied.St);
        return result ? result : Synced(top_.Get());
    }
    // Syncs the open file or folder Fd when the copy is synced.
    int Synced(int fd) const { return sync_ ? Sync(fd) : 0; }
    bool Made() const { return made_; }
    TCopied Copied;

private:
    // Makes an entry with Make under Name. Where the target takes only
    // Unicode names and refuses Name as no UTF-8 (EILSEQ, EINVAL), the entry
    // is made under the name the lists show it by instead, Name takes that
    // one and the entry's source Path is noted in the report.
    int MakeNamed(QByteArray& name, const QByteArray& path, const std::function<int(const QByteArray&)>& make);
    // Copies the entry Name of FromDir (in a folder being copied, or the top)
    // that is no folder into ToDir, under Node's CopyName; -1 for a pipe,
    // socket or device, which is skipped.
    int CopyOne(int fromDir, const QByteArray& name, int toDir, TCopied& node, const QByteArray& path);
    int CopyLink(int fromDir, const QByteArray& name, int toDir, TCopied& node, const QByteArray& path);
    // Copies a file's content, mode and times; Node gets the source as it
    // was before it was read, so that a write during the copy shows as a change.
    int CopyFile(int fromDir, const QByteArray& name, int toDir, TCopied& node, const QByteArray& path);
    int CopyFolder(int fromDir, const QByteArray& name, int toDir);
    QByteArray fromPath_;
    TSsOperationReport* report_;
    bool sync_;
    timespec start_{};
    TFd top_;
    bool made_ = false;
};

int TTreeCopy::MakeNamed(QByteArray& name, const QByteArray& path, const std::function<int(const QByteArray&)>& make)
{
    int result = make(name);
    if (result != EILSEQ && result != EINVAL)
        return result;
    const QByteArray shown = DisplayFileName(DecodeFileName(name)).toUtf8();
    if (shown == name || (result = make(shown)) != 0)
        return result;
    name = shown;
    if (report_)
        report_->Renamed << path;
    return 0;
}

int TTreeCopy::CopyOne(int fromDir, const QByteArray& name, int toDir, TCopied& node, const QByteArray& path)
{
    if (S_ISLNK(node.St.st_mode))
        return CopyLink(fromDir, name, toDir, node, path);
    if (S_ISREG(node.St.st_mode))
        return CopyFile(fromDir, name, toDir, node, path);
    // Pipes, sockets and devices have no content that a copy could carry.
    if (report_)
        report_->Skipped << path;
    return -1;
}

int TTreeCopy::CopyLink(int fromDir, const QByteArray& name, int toDir, TCopied& node, const QByteArray& path)
{
    QByteArray target(qsizetype(node.St.st_size) + 1, '\0');
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
    return MakeNamed(node.CopyName, path, [&](const QByteArray& toName) {
        return Failure(::symlinkat(target.constData(), toDir, toName.constData()));
    });
}

int TTreeCopy::CopyFile(int fromDir, const QByteArray& name, int toDir, TCopied& node, const QByteArray& path)
{
    // Not blocking: a pipe put in the file's place must not hold the copy.
    TFd in(::openat(fromDir, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (in.Get() < 0 || ::fstat(in.Get(), &node.St) != 0)
        return errno;
    node.Recent = !ClearlyOlder(node.St, start_);
    if (!S_ISREG(node.St.st_mode))
        return ESTALE;  // replaced meanwhile
    ::fcntl(in.Get(), F_SETFL, ::fcntl(in.Get(), F_GETFL) & ~O_NONBLOCK);
    TFd out;
    if (const int r = MakeNamed(node.CopyName, path, [&](const QByteArray& toName) {
            out.Reset(::openat(toDir, toName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                               0600));
            return out.Get() < 0 ? errno : 0;
        }))
        return r;
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
        result = SetModeAndTimes(out.Get(), node.St);
    if (!result)
        result = Synced(out.Get());
    if (::close(out.Release()) != 0 && !result)
        result = errno;
    return result;
}

int TTreeCopy::Run(int fromDir, const QByteArray& name, int toDir, const QByteArray& toName)
{
    Copied.Name = name;
    Copied.CopyName = toName;
    if (::fstatat(fromDir, name.constData(), &Copied.St, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    if (S_ISDIR(Copied.St.st_mode))
        return CopyFolder(fromDir, name, toDir);
    const int result = CopyOne(fromDir, name, toDir, Copied, fromPath_);
    if (result == -1)
        return 0;
    made_ = result == 0;
    return result;
}

int TTreeCopy::CopyFolder(int fromDir, const QByteArray& name, int toDir)
{
    THandleChain from, to;
    if (const int r = from.Start(OpenFolder(fromDir, name.constData())))
        return r;
    Copied.St = from.Stat();
    // Copied into itself or a folder inside it, the copy would hold itself
    // without end.
    const std::vector<struct stat> aboveTarget = FoldersUpFrom(toDir);
    if (std::any_of(aboveTarget.begin(), aboveTarget.end(),
                    [&](const struct stat& a) { return SameEntry(a, Copied.St); }))
        return EINVAL;
    const std::vector<struct stat> above = FoldersUpFrom(fromDir);
    auto makeFolder = [](int dir) {
        return [dir](const QByteArray& toName) { return Failure(::mkdirat(dir, toName.constData(), 0700)); };
    };
    if (const int r = MakeNamed(Copied.CopyName, fromPath_, makeFolder(toDir)))
        return r;
    made_ = true;
    if (const int r = to.Start(OpenFolder(toDir, Copied.CopyName.constData())))
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
    // An entry below the top that stops the copy is named in the report.
    auto failsAt = [this](const QByteArray& where, int error) {
        if (report_)
            report_->Failed.append({where, error});
        return error;
    };
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
            if (const int r = Synced(to.Fd()))
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
            return failsAt(path + '/' + child, errno);
        }
        // A folder that is one it lies in (a bind mount of a folder above)
        // would be copied without end.
        if (S_ISDIR(st.st_mode) &&
            (from.Holds(st) || std::any_of(above.begin(), above.end(), [&](const struct stat& a) {
                 return SameEntry(a, st);
             }))) {
            if (report_)
                report_->Repeated << path + '/' + child;
            frame.Node->Skipped = true;
            continue;
        }
        CallHook(from.Fd(), child);
        TCopied& node = frame.Node->Children.emplace_back();
        node.Name = node.CopyName = child;
        node.St = st;
        const QByteArray childPath = path + '/' + child;
        if (!S_ISDIR(st.st_mode)) {
            const int r = CopyOne(from.Fd(), child, to.Fd(), node, childPath);
            if (r == -1) {
                frame.Node->Children.pop_back();
                frame.Node->Skipped = true;
            }
            else if (r)
                return failsAt(childPath, r);
            continue;
        }
        if (const int r = from.Enter(child))
            return failsAt(childPath, r);
        node.St = from.Stat();
        if (const int r = MakeNamed(node.CopyName, childPath, makeFolder(to.Fd())))
            return failsAt(childPath, r);
        if (const int r = to.Enter(node.CopyName))
            return failsAt(childPath, r);
        path = childPath;
        frames.push_back({&node, {}, 0, path.size()});
        if (const int r = ReadNames(from.Fd(), frames.back().Names))
            return failsAt(childPath, r);
    }
    return 0;
}

// The mount an open entry is on: its file system, and the mount's id where
// the system tells it (a bind mount shares its file system with others).
struct TMount {
    dev_t Dev = 0;
    uint64_t Id = 0;
    bool operator==(const TMount&) const = default;
};

TMount MountOf(int fd)
{
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_MNT_ID, &sx) != 0)
        return {};
    return {makedev(sx.stx_dev_major, sx.stx_dev_minor), (sx.stx_mask & STATX_MNT_ID) ? sx.stx_mnt_id : 0};
}

// Removes the entry Name of Dir, only while the name still leads to the entry
// St that was looked at: 0 (also when it is gone), ESTALE or the error.
int UnlinkEntry(int dir, const QByteArray& name, const struct stat& st)
{
    struct stat now;
    if (::fstatat(dir, name.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? 0 : errno;
    if (!SameEntry(now, st))
        return ESTALE;
    return ::unlinkat(dir, name.constData(), S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0) == 0 || errno == ENOENT ? 0
                                                                                                                : errno;
}

// Removes the entry Name of folder Dir, a folder with what it holds, walking
// by handles and never following a link nor leaving the mount Dir is on (a
// mount inside stays, named in the report). With Copied, only the entries a
// copy (at CopyPath) carried over go, and only while they are as they were; what
// stays is noted in the report with its reason. Force makes own folders
// writable first (for a copy of read-only folders). 0 or the first error met.
class TTreeRemoval {
public:
    TTreeRemoval(const QByteArray& path, const TCopied* copied, const QByteArray& copyPath, bool force,
                 TSsOperationReport* report)
        : path_(path), copyPath_(copyPath), copied_(copied), force_(force), report_(report)
    {
        if (copied)
            copyDir_.Reset(SsOpenPath(DirOf(copyPath), O_PATH | O_DIRECTORY));
    }
    // Fd, when not -1, is the entry open already: that one goes, whatever
    // the name leads to meanwhile.
    int Run(int dir, const QByteArray& name, int fd = -1);
    // Notes that Path stays, for Error; answers Error.
    int Stays(const QByteArray& path, int error);
    // Notes that Path stays as another mount lies there; answers EBUSY.
    int Mounted(const QByteArray& path);

private:
    // Removes Name of Dir unless it is a folder; false when it is one.
    // CopyPath: the copy's path below the folder that holds the copy.
    bool RemoveNonFolder(int dir, const QByteArray& name, const struct stat& st, const TCopied* node,
                         const QByteArray& folderPath, const QByteArray& path, const QByteArray& copyPath,
                         int& result);
    int Unlink(int dir, const QByteArray& name, const struct stat& st, const QByteArray& folderPath,
               const QByteArray& path);
    // Notes why Path stays.
    int Refused(int error, const QByteArray& folderPath, const QByteArray& path);
    // Removes the emptied folder St; -1 when entries a copy skipped keep it.
    int RemoveFolder(int dir, const QByteArray& name, const struct stat& st, const TCopied* node,
                     const QByteArray& folderPath, const QByteArray& path);
    QByteArray path_;
    QByteArray copyPath_;
    TFd copyDir_;  // the folder that holds the copy
    const TCopied* copied_;
    bool force_;
    TSsOperationReport* report_;
    TMount mount_;  // the mount the removal started on
};

int TTreeRemoval::Stays(const QByteArray& path, int error)
{
    if (report_ && copied_ && (report_->Left.isEmpty() || report_->Left.back() != qMakePair(path, error)))
        report_->Left.append({path, error});
    return error;
}

int TTreeRemoval::Mounted(const QByteArray& path)
{
    // What a move leaves at its old place; else what stays of a leftover.
    if (report_ && !copied_)
        report_->Mounted << path;
    return Stays(path, EBUSY);
}

int TTreeRemoval::Unlink(int dir, const QByteArray& name, const struct stat& st, const QByteArray& folderPath,
                         const QByteArray& path)
{
    const int error = UnlinkEntry(dir, name, st);
    return error ? Refused(error, folderPath, path) : 0;
}

int TTreeRemoval::Refused(int error, const QByteArray& folderPath, const QByteArray& path)
{
    // A write-protected folder keeps its entries: the folder is the cause.
    const bool folderRefuses = error == EACCES || error == EPERM || error == EROFS;
    return Stays(folderRefuses ? folderPath : path, error);
}

int TTreeRemoval::RemoveFolder(int dir, const QByteArray& name, const struct stat& st, const TCopied* node,
                               const QByteArray& folderPath, const QByteArray& path)
{
    const int error = UnlinkEntry(dir, name, st);
    if (!error)
        return 0;
    // The entries a copy skipped keep their folder; the report names them.
    if (node && node->Skipped && error == ENOTEMPTY)
        return -1;
    return Refused(error, folderPath, path);
}

bool TTreeRemoval::RemoveNonFolder(int dir, const QByteArray& name, const struct stat& st, const TCopied* node,
                                   const QByteArray& folderPath, const QByteArray& path, const QByteArray& copyPath,
                                   int& result)
{
    if (node && (!Unchanged(st, node->St) ||
                 (node->Recent && !SameContent(dir, name, node->St, copyDir_.Get(), copyPath)))) {
        result = Stays(path, ESTALE);
        return true;
    }
    if (S_ISDIR(st.st_mode))
        return false;
    result = Unlink(dir, name, st, folderPath, path);
    return true;
}

int TTreeRemoval::Run(int dir, const QByteArray& name, int fd)
{
    // The entry is held from here on: only its own removal at the end goes
    // by its name, while that still leads to it.
    const TFd top(fd >= 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0)
                          : ::openat(dir, name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (top.Get() < 0 || ::fstat(top.Get(), &st) != 0)
        return errno == ENOENT && copied_ ? 0 : Stays(path_, errno);
    mount_ = MountOf(dir);
    if (MountOf(top.Get()) != mount_)
        return Mounted(path_);
    int result = 0;
    const QByteArray parentPath = DirOf(path_);
    QByteArray copyPath = NameOf(copyPath_);
    if (RemoveNonFolder(dir, name, st, copied_, parentPath, path_, copyPath, result))
        return result;
    THandleChain chain;
    if (const int r = chain.Start(::openat(top.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)))
        return Stays(path_, r);
    struct TFrame {
        const TCopied* Node;
        std::vector<QByteArray> Names;
        size_t Next = 0;
        qsizetype PathSize;
        qsizetype CopyPathSize;
        struct stat St;  // the folder
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
        frames.push_back({node, {}, 0, path.size(), copyPath.size(), chain.Stat()});
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
            const struct stat folderSt = frame.St;
            frames.pop_back();
            const QByteArray folder = path;
            const QByteArray folderName = NameOf(folder);
            if (frames.empty()) {
                if (!kept)
                    if (const int r = RemoveFolder(dir, name, folderSt, node, parentPath, folder); r > 0 && !result)
                        result = r;
                break;
            }
            path.truncate(frames.back().PathSize);
            copyPath.truncate(frames.back().CopyPathSize);
            if (const int r = chain.Leave()) {
                keep(Stays(folder, r));
                break;
            }
            if (kept)
                keep(0);
            else if (const int r = RemoveFolder(chain.Fd(), folderName, folderSt, node, path, folder))
                keep(std::max(r, 0));
            continue;
        }
        const size_t index = frame.Next++;
        const QByteArray child = frame.Names[index];
        const TCopied* node = frame.Node ? &frame.Node->Children[index] : nullptr;
        const QByteArray childPath = path + '/' + child;
        const QByteArray childCopyPath = node ? copyPath + '/' + node->CopyName : QByteArray();
        if (::fstatat(chain.Fd(), child.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                keep(Stays(childPath, errno));
            continue;
        }
        CallHook(chain.Fd(), child);
        int r = 0;
        if (RemoveNonFolder(chain.Fd(), child, st, node, path, childPath, childCopyPath, r)) {
            if (r)
                keep(r);
            continue;
        }
        if ((r = chain.Enter(child)) != 0) {
            // Replaced by a link or a file meanwhile: that goes, nothing it leads to.
            if ((r == ELOOP || r == ENOTDIR) && !node) {
                if (::fstatat(chain.Fd(), child.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
                    r = Unlink(chain.Fd(), child, st, path, childPath);
                else
                    r = errno == ENOENT ? 0 : Stays(childPath, errno);
            }
            else
                Stays(childPath, r);
            if (r)
                keep(r);
            continue;
        }
        // Another mount stays whole, and so do the folders that hold it.
        if (MountOf(chain.Fd()) != mount_) {
            if ((r = chain.Leave()) != 0) {
                keep(Stays(path, r));
                break;
            }
            keep(Mounted(childPath));
            continue;
        }
        path = childPath;
        copyPath = childCopyPath;
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

}  // namespace

namespace SsFiles {
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

int RemoveTreeAt(int dir, const QByteArray& path, int fd, bool force, TSsOperationReport* report)
{
    return TTreeRemoval(path, nullptr, QByteArray(), force, report).Run(dir, NameOf(path), fd);
}
}  // namespace SsFiles

namespace {
// Copies From to To (see SsCopyEntry); Copy keeps what was carried over and
// the name the copy took in To's folder.
int CopyEntry(const QByteArray& from, const QByteArray& to, TTreeCopy& copy, TSsOperationReport* report)
{
    // The copy grows in a hidden folder of its own beside its place, and
    // moves to its name only once it is whole. The folder stays locked till
    // it is gone, so that a paste sweeps only those of pastes that were killed.
    const TFd fromDir(OpenParent(from));
    const TFd toDir(OpenParent(to));
    if (fromDir.Get() < 0 || toDir.Get() < 0)
        return errno;
    QByteArray workName;
    TFd workDir;
    if (const int r = MakePartialCopy(toDir.Get(), workName, workDir))
        return r;
    int result = copy.Run(fromDir.Get(), NameOf(from), workDir.Get(), NameOf(to));
    const QByteArray& name = copy.Copied.CopyName;
    if (!result && copy.Made())
        result = RenameNoReplaceAt(workDir.Get(), name, toDir.Get(), name);
    if (!result)
        result = copy.Finish();
    if (!result && copy.Made())
        result = copy.Synced(toDir.Get());
    if (RemoveTreeAt(toDir.Get(), Join(DirOf(to), workName), workDir.Get(), true, report) == 0)
        ForgetTemporary(workName.constData());
    return result;
}
}  // namespace

int SsRenameNoReplace(const QByteArray& from, const QByteArray& to)
{
    return RenameNoReplaceAt(AT_FDCWD, from, AT_FDCWD, to);
}

int SsCopyEntry(const QByteArray& from, const QByteArray& to, TSsOperationReport* report)
{
    TTreeCopy copy(from, false, report);
    return CopyEntry(from, to, copy, report);
}

int SsMoveEntry(const QByteArray& from, const QByteArray& to, TSsOperationReport* report)
{
    int result = SsRenameNoReplace(from, to);
    if (result != EXDEV)
        return result;
    // Across file systems: a copy, on its disk before anything of the source
    // goes, then the source goes as far as it was copied and has not changed since.
    TTreeCopy copy(from, true, report);
    if ((result = CopyEntry(from, to, copy, report)) != 0 || !copy.Made())
        return result;
    TTreeRemoval removal(from, &copy.Copied, Join(DirOf(to), copy.Copied.CopyName), false, report);
    const TFd fromDir(OpenParent(from));
    return fromDir.Get() < 0 ? removal.Stays(from, errno) : removal.Run(fromDir.Get(), NameOf(from));
}

int SsRemoveEntry(const QByteArray& path)
{
    const TFd dir(OpenParent(path));
    return dir.Get() < 0 ? errno : RemoveTreeAt(dir.Get(), path, -1, false, nullptr);
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
