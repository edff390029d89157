#pragma once
// Physical memory figures of the machine, and handing freed memory back.
#include <cstdint>

// Total physical memory in bytes (physical pages times the page size).
uint64_t TotalPhysicalMemory();
// Memory available to new allocations in bytes ("MemAvailable" of /proc/meminfo).
uint64_t AvailablePhysicalMemory();
// Hands the heap's free memory back to the system: after a job whose large
// temporary blocks the allocator would otherwise keep for reuse.
void ReleaseFreeMemory();
