#include "RtPageRanges.h"

#include <gtest/gtest.h>

TEST(PageRanges, SplitsPagesAndPairsUpToTheRoomGiven)
{
    struct Case {
        const char* Text;
        int32_t Max;
        std::vector<TRtPageRange> Entries;
    };
    const Case cases[] = {
        {"1,3-5", 4, {{1, 0}, {3, 5}, {}, {}}},
        {"1,2,3,4,5", 4, {{1, 0}, {2, 0}, {3, 0}, {4, 0}}},
        {"2-3, 4 - 5,6", 4, {{2, 3}, {4, 5}, {}, {}}},
        {" 7 ,,", 2, {{7, 0}, {}}},
        {"", 2, {{}, {}}},
    };
    for (const Case& c : cases) {
        std::vector<TRtPageRange> n;
        AnsiString error;
        EXPECT_TRUE(ParsePageRanges(c.Text, n, c.Max, error)) << c.Text;
        EXPECT_EQ(n, c.Entries) << c.Text;
        EXPECT_TRUE(error.empty());
    }
}

TEST(PageRanges, ItemsThatAreNoNumbersAreRefusedWithAMessage)
{
    for (const char* text : {"3-", "x", "1,a-2", "-"}) {
        std::vector<TRtPageRange> n;
        AnsiString error;
        EXPECT_FALSE(ParsePageRanges(text, n, 4, error)) << text;
        EXPECT_NE(error.find("is not a valid integer value"), AnsiString::npos) << text;
    }
}
