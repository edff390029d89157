#include "SsFileWalk.h"
#include "SysUtils.h"

#include <algorithm>
#include <cstring>

using namespace SsFiles;

namespace {
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
    RemoveTreeAt(dir, name, true);
}
}  // namespace

namespace SsFiles {
// Removes the work folders that killed pastes left in Folder.
void SweepPartialCopies(const QByteArray& folder)
{
    const TFd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        SweepTemporaries(dir.Get(), IsPartialCopy, true, RemovePartialCopy);
}
}  // namespace SsFiles
