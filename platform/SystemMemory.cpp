#include "SystemMemory.h"

#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

std::atomic<uint64_t> releases{0};

}  // namespace

uint64_t TotalPhysicalMemory()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long size = sysconf(_SC_PAGESIZE);
    return pages > 0 && size > 0 ? uint64_t(pages) * uint64_t(size) : 0;
}

uint64_t AvailablePhysicalMemory()
{
    FILE* f = std::fopen("/proc/meminfo", "r");
    if (!f)
        return TotalPhysicalMemory();
    char line[256];
    uint64_t kb = 0;
    bool found = false;
    while (std::fgets(line, sizeof line, f)) {
        unsigned long long v;
        if (std::sscanf(line, "MemAvailable: %llu kB", &v) == 1) {
            kb = v;
            found = true;
            break;
        }
    }
    std::fclose(f);
    return found ? kb * 1024 : TotalPhysicalMemory();
}

void ReleaseFreeMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
    ++releases;
}

uint64_t FreeMemoryReleases()
{
    return releases.load();
}

void KeepLargeBlocksOnOwnPages()
{
#ifdef __GLIBC__
    // Setting the bound also ends its automatic raising.
    mallopt(M_MMAP_THRESHOLD, int(OwnPagesBlockSize));
#endif
}
