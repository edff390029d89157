#pragma once
// Physical memory figures of the machine, and handing freed memory back.
#include <cstdint>
#include <cstddef>

// Total physical memory in bytes (physical pages times the page size).
uint64_t TotalPhysicalMemory();
// Memory available to new allocations in bytes ("MemAvailable" of /proc/meminfo).
uint64_t AvailablePhysicalMemory();
// Hands the heap's free memory back to the system: after a job whose large
// temporary blocks the allocator would otherwise keep for reuse.
void ReleaseFreeMemory();
// How often ReleaseFreeMemory has run in this process.
uint64_t FreeMemoryReleases();

// Blocks from this size on (decoded pictures, page bitmaps) get pages of
// their own, which return to the system as soon as they are freed.
constexpr size_t OwnPagesBlockSize = size_t(4) << 20;
// Makes the heap keep to OwnPagesBlockSize for good. Left alone, the allocator
// raises that bound to the size of each large block freed, up to 32 MB, and
// keeps the picture-sized blocks allocated afterwards in its heaps, where the
// gaps they leave stay resident. Called once at program start.
void KeepLargeBlocksOnOwnPages();
