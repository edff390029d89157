#include "SystemMemory.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <cstdlib>
#include <cstring>

namespace {

// Free bytes the heap keeps for reuse.
size_t HeapFreeBytes()
{
    return mallinfo2().fordblks;
}

void* volatile kept = nullptr;

}  // namespace

// The program's application object keeps picture-sized blocks on pages of
// their own: a block freed again and again never settles in the heap, where
// its pages would stay resident as free memory.
TEST(SystemMemory, FreedPictureSizedBlocksDoNotStayInTheHeap)
{
    const size_t size = size_t(16) << 20;
    for (int round = 0; round < 3; ++round) {
        const size_t before = HeapFreeBytes();
        kept = std::malloc(size);
        ASSERT_NE(kept, nullptr);
        std::memset(kept, round, size);
        std::free(kept);
        kept = nullptr;
        EXPECT_LT(HeapFreeBytes(), before + size / 2) << round;
    }
}

TEST(SystemMemory, HandingMemoryBackIsCounted)
{
    const uint64_t before = FreeMemoryReleases();
    ReleaseFreeMemory();
    EXPECT_EQ(FreeMemoryReleases(), before + 1);
}
