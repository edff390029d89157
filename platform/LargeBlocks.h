#pragma once
// Storage for large byte blocks (picture bytes, projects held in memory).
// Blocks from LargeBlockSize on are carved out of big regions that the system
// may back with huge pages, so that filling a fresh block costs one page fault
// per 2 MB instead of one per 4 KB; smaller blocks come from the heap.
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

constexpr size_t LargeBlockSize = size_t(1) << 20;

// A block of at least Size bytes (Size >= LargeBlockSize), aligned for any
// type, its contents undefined; std::bad_alloc when there is no memory.
void* AllocateLargeBlock(size_t Size);
// Gives back a block of AllocateLargeBlock; its pages return to the system.
void FreeLargeBlock(void* Block) noexcept;

// Allocator of byte vectors: large blocks as above, and elements a vector
// grows by left uninitialised (the owner fills or clears them).
template <typename T>
class TByteAllocator {
public:
    using value_type = T;
    TByteAllocator() noexcept = default;
    template <typename U>
    TByteAllocator(const TByteAllocator<U>&) noexcept
    {
    }

    T* allocate(size_t Count)
    {
        const size_t bytes = Count * sizeof(T);
        if (bytes >= LargeBlockSize)
            return static_cast<T*>(AllocateLargeBlock(bytes));
        return static_cast<T*>(::operator new(bytes));
    }
    void deallocate(T* Block, size_t Count) noexcept
    {
        if (Count * sizeof(T) >= LargeBlockSize)
            FreeLargeBlock(Block);
        else
            ::operator delete(Block);
    }
    template <typename U>
    void construct(U* Where) noexcept
    {
        ::new (static_cast<void*>(Where)) U;
    }
    template <typename U, typename... Args>
    void construct(U* Where, Args&&... Arguments)
    {
        ::new (static_cast<void*>(Where)) U(std::forward<Args>(Arguments)...);
    }
    friend bool operator==(const TByteAllocator&, const TByteAllocator&) noexcept { return true; }
};

using TByteVector = std::vector<uint8_t, TByteAllocator<uint8_t>>;
