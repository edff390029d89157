#include "AnsiString.h"

#include <gtest/gtest.h>

TEST(AnsiString, MapsTheHighControlRange)
{
    const struct { uint8_t byte; char16_t code; } cases[] = {
        {0x80, 0x20AC}, {0x82, 0x201A}, {0x8A, 0x0160}, {0x8C, 0x0152}, {0x91, 0x2018},
        {0x96, 0x2013}, {0x99, 0x2122}, {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xDF, 0x00DF},
        {0x81, 0x0081}, {0x8D, 0x008D}, {0x8F, 0x008F}, {0x90, 0x0090}, {0x9D, 0x009D},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AnsiCharToUnicode(c.byte), c.code) << int(c.byte);
        EXPECT_EQ(UnicodeToAnsiChar(c.code), int(c.byte)) << int(c.byte);
    }
}

TEST(AnsiString, EveryByteSurvivesARoundTrip)
{
    AnsiString all;
    for (int i = 1; i < 256; ++i)
        all.push_back(char(i));
    bool lossless = false;
    EXPECT_EQ(toAnsi(fromAnsi(all), &lossless), all);
    EXPECT_TRUE(lossless);
}

TEST(AnsiString, ReportsWhatItCannotHold)
{
    bool lossless = true;
    EXPECT_EQ(toAnsi(QString::fromUtf8("a\xE2\x82\xAC\xCE\xA9" "b\xF0\x9F\x98\x80"), &lossless),
              "a\x80?b?");
    EXPECT_FALSE(lossless);
    EXPECT_FALSE(IsAnsiRepresentable(QString::fromUtf8("\xCE\xA9")));
    EXPECT_TRUE(IsAnsiRepresentable(QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e \xE2\x80\x9E")));
}
