#include "SsFileWalk.h"
#include "SysUtils.h"

using namespace SsFiles;

namespace {
// A paste's work folder: this and the random part of a temporary's name.
const char PartialCopyPrefix[] = ".partial-copy-";
}  // namespace

namespace SsFiles {
int MakePartialCopy(int dir, QByteArray& name, TFd& folder)
{
    for (;;) {
        name = TemporaryName(PartialCopyPrefix);
        if (::mkdirat(dir, name.constData(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        folder.Reset(OpenFolder(dir, name.constData()));
        if (folder.Get() < 0) {
            const int error = errno;
            ::unlinkat(dir, name.constData(), AT_REMOVEDIR);
            return error;
        }
        if (LockTemporary(dir, name.constData(), folder.Get()) == 0)
            return 0;
        folder.Reset();
    }
}

void SweepPartialCopies(const QByteArray& folder, TSsOperationReport* report)
{
    const TFd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        SweepTemporaries(dir.Get(), PartialCopyPrefix, true, [&](int dirFd, const char* name, int fd) {
            return RemoveTreeAt(dirFd, Join(folder, name), fd, true, report) == 0;
        });
}
}  // namespace SsFiles
