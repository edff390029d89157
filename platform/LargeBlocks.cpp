#include "LargeBlocks.h"

#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define LUMI_HEAP_BLOCKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LUMI_HEAP_BLOCKS 1
#endif
#endif

#ifdef LUMI_HEAP_BLOCKS

// Under the address sanitizer every block comes from the heap, where
// overruns are caught.
void* AllocateLargeBlock(size_t Size)
{
    return ::operator new(Size);
}

void FreeLargeBlock(void* Block) noexcept
{
    ::operator delete(Block);
}

#else

namespace {

constexpr size_t kHugePage = size_t(2) << 20;
constexpr size_t kRegionSize = size_t(64) << 20;  // address space; only what is filled is backed
constexpr size_t kAlign = 64;

// A region starts with its header; every block in it has a prefix naming
// the region. A region is given back when its last block is.
struct TRegion {
    size_t size = 0;   // of the mapping
    size_t used = 0;   // bytes handed out from the start, header included
    size_t live = 0;   // blocks not yet given back
};

struct alignas(kAlign) TBlockPrefix {
    TRegion* region;
    size_t length;  // of the block, prefix included
};

constexpr size_t kHeaderSize = (sizeof(TRegion) + kAlign - 1) & ~(kAlign - 1);

size_t RoundUp(size_t n, size_t to)
{
    return (n + to - 1) & ~(to - 1);
}

std::mutex g_lock;
TRegion* g_current = nullptr;  // the region new blocks are carved from

// A mapping of Size bytes (a multiple of kHugePage) on a huge-page boundary,
// advised to be backed by huge pages.
TRegion* MapRegion(size_t Size)
{
    if (Size > SIZE_MAX - kHugePage)
        throw std::bad_alloc();
    void* raw = ::mmap(nullptr, Size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                       -1, 0);
    if (raw == MAP_FAILED)
        throw std::bad_alloc();
    auto* begin = static_cast<uint8_t*>(raw);
    auto* base = reinterpret_cast<uint8_t*>(RoundUp(reinterpret_cast<uintptr_t>(begin), kHugePage));
    if (base > begin)
        ::munmap(begin, size_t(base - begin));
    if (const size_t tail = size_t(begin + Size + kHugePage - (base + Size)); tail > 0)
        ::munmap(base + Size, tail);
#ifdef MADV_HUGEPAGE
    ::madvise(base, Size, MADV_HUGEPAGE);  // only advice
#endif
    auto* region = ::new (base) TRegion;
    region->size = Size;
    region->used = kHeaderSize;
    return region;
}

// The pages lying wholly inside [Begin, Begin + Length) go back to the system.
void ReleasePages(uint8_t* Begin, size_t Length)
{
    static const auto pageSize = size_t(::sysconf(_SC_PAGESIZE));
    const uintptr_t first = RoundUp(reinterpret_cast<uintptr_t>(Begin), pageSize);
    const uintptr_t last = (reinterpret_cast<uintptr_t>(Begin) + Length) & ~(pageSize - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

}  // namespace

void* AllocateLargeBlock(size_t Size)
{
    const size_t length = sizeof(TBlockPrefix) + RoundUp(Size, kAlign);
    if (length < Size)
        throw std::bad_alloc();
    std::lock_guard<std::mutex> guard(g_lock);
    TRegion* region = g_current;
    if (!region || region->size - region->used < length) {
        if (kHeaderSize + length > kRegionSize / 2) {
            // A block of this size gets a region of its own.
            const size_t size = RoundUp(kHeaderSize + length, kHugePage);
            if (size < length)
                throw std::bad_alloc();
            region = MapRegion(size);
        } else {
            // The full region is given back with its last block.
            region = MapRegion(kRegionSize);
            g_current = region;
        }
    }
    auto* prefix = ::new (reinterpret_cast<uint8_t*>(region) + region->used) TBlockPrefix{region, length};
    region->used += length;
    ++region->live;
    return prefix + 1;
}

void FreeLargeBlock(void* Block) noexcept
{
    if (!Block)
        return;
    auto* prefix = static_cast<TBlockPrefix*>(Block) - 1;
    TRegion* region = prefix->region;
    std::lock_guard<std::mutex> guard(g_lock);
    if (--region->live == 0 && region != g_current) {
        ::munmap(region, region->size);
        return;
    }
    ReleasePages(reinterpret_cast<uint8_t*>(prefix), prefix->length);
    if (region->live == 0)
        region->used = kHeaderSize;  // the current region starts afresh
}

#endif
