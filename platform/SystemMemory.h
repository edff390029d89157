#pragma once
// Physical memory figures of the machine.
#include <cstdint>

// Total physical memory in bytes (physical pages times the page size).
uint64_t TotalPhysicalMemory();
// Memory available to new allocations in bytes ("MemAvailable" of /proc/meminfo).
uint64_t AvailablePhysicalMemory();
