#include "LargeBlocks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

namespace {

struct TBlock {
    uint8_t* p;
    size_t size;
    uint8_t fill;
};

TBlock Make(size_t Size, uint8_t Fill)
{
    auto* p = static_cast<uint8_t*>(AllocateLargeBlock(Size));
    std::memset(p, Fill, Size);
    return {p, Size, Fill};
}

bool Intact(const TBlock& b)
{
    for (size_t i = 0; i < b.size; i += 4093)
        if (b.p[i] != b.fill)
            return false;
    return b.p[b.size - 1] == b.fill;
}

}  // namespace

// Blocks never overlap, stay intact while others come and go, and blocks far
// beyond a region's size get memory of their own.
TEST(LargeBlocks, BlocksStayApartAndIntact)
{
    std::vector<TBlock> blocks;
    for (int i = 0; i < 120; ++i)
        blocks.push_back(Make(LargeBlockSize + size_t(i) * 37 * 1024, uint8_t(i)));
    blocks.push_back(Make(size_t(100) << 20, 0xAB));
    for (const TBlock& b : blocks)
        EXPECT_EQ(reinterpret_cast<uintptr_t>(b.p) % alignof(std::max_align_t), 0u);
    for (size_t i = 0; i < blocks.size(); i += 2)
        FreeLargeBlock(blocks[i].p);
    for (int i = 0; i < 60; ++i)
        blocks.push_back(Make(LargeBlockSize * 2, uint8_t(200 + i % 50)));
    for (size_t i = 1; i < blocks.size(); i += (i < 121 ? 2 : 1))
        EXPECT_TRUE(Intact(blocks[i])) << i;
    for (size_t i = 1; i < blocks.size(); i += (i < 121 ? 2 : 1))
        FreeLargeBlock(blocks[i].p);
    FreeLargeBlock(nullptr);
}

TEST(LargeBlocks, ThreadsAllocateAndFreeAtOnce)
{
    std::vector<std::thread> threads;
    std::vector<int> bad(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &bad] {
            std::vector<TBlock> mine;
            for (int i = 0; i < 200; ++i) {
                mine.push_back(Make(LargeBlockSize + size_t(i % 7) * 4096, uint8_t(t * 50 + i % 50)));
                if (i % 3 == 2) {
                    bad[size_t(t)] += !Intact(mine.front());
                    FreeLargeBlock(mine.front().p);
                    mine.erase(mine.begin());
                }
            }
            for (const TBlock& b : mine) {
                bad[size_t(t)] += !Intact(b);
                FreeLargeBlock(b.p);
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(bad, std::vector<int>(4, 0));
}

// A byte vector grows without clearing, and large ones come from the blocks.
TEST(LargeBlocks, ByteVectorKeepsItsContents)
{
    TByteVector v(100, 5);
    v.resize(3 << 20);
    EXPECT_EQ(v[99], 5);
    std::memset(v.data() + 100, 9, v.size() - 100);
    TByteVector copy = v;
    v.clear();
    v.shrink_to_fit();
    ASSERT_EQ(copy.size(), size_t(3) << 20);
    EXPECT_EQ(copy[0], 5);
    EXPECT_EQ(copy.back(), 9);
}
