#include "DateTime.h"
#include "SysUtils.h"

#include <gtest/gtest.h>

TEST(DateTime, EncodesAndDecodesDays)
{
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
    EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_NO_THROW(EncodeDate(2024, 2, 29));
    int y, m, d;
    DecodeDate(45000.75, y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20230315);
    int h, mi, s, ms;
    DecodeTime(-1.25, h, mi, s, ms);  // 29 Dec 1899, 06:00
    EXPECT_EQ(h, 6);
    DecodeDate(-1.25, y, m, d);
    EXPECT_EQ(d, 29);
    EXPECT_DOUBLE_EQ(QDateTimeToDateTime(DateTimeToQDateTime(-1.25)), -1.25);
    EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
}

TEST(DateTime, WeekdaysAndLeapYears)
{
    EXPECT_EQ(DayOfWeek(0), 7);                         // Saturday
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 9)), 4);   // Wednesday
    EXPECT_EQ(DayOfWeek(-1), 6);
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_FALSE(IsLeapYear(1900));
    EXPECT_EQ(DaysInAMonth(2024, 2), 29);
    EXPECT_EQ(DaysInAMonth(2023, 13), 0);
}
