#include "uHSLUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(HSLUtil, RGBToHSLOfPrimariesAndGrey)
{
    struct Case {
        TColor c;
        double h, s, l;
    } cases[] = {
        {RGB(255, 0, 0), 0, 1, 0.5},
        {RGB(0, 255, 0), 1.0 / 3, 1, 0.5},
        {RGB(0, 0, 255), 2.0 / 3, 1, 0.5},
        {RGB(128, 128, 128), 0, 0, 128 / 255.0},
        {RGB(255, 0, 128), 1 - (128 / 255.0) / 6, 1, 0.5},  // negative hue wraps up
        {RGB(64, 32, 16), (32 - 16) / 48.0 / 6, 48 / 80.0, 40 / 255.0},
        {RGB(250, 200, 240), (6 - 0.8) / 6, 50 / 60.0, 225 / 255.0},  // L > 0.5 branch
    };
    for (const Case& c : cases) {
        double h, s, l;
        RGBToHSL(c.c, h, s, l);
        EXPECT_NEAR(h, c.h, 1e-12) << std::hex << c.c;
        EXPECT_NEAR(s, c.s, 1e-12) << std::hex << c.c;
        EXPECT_NEAR(l, c.l, 1e-12) << std::hex << c.c;
    }
}

TEST(HSLUtil, HSLToRGBRoundsHalfToEvenAndCoversAllSextants)
{
    EXPECT_EQ(HSLToRGB(0, 0, 0.5), RGB(128, 128, 128));  // Round(127.5) = 128
    EXPECT_EQ(HSLToRGB(0, 0, 0.5 / 255), RGB(0, 0, 0));  // Round(0.5) = 0
    EXPECT_EQ(HSLToRGB(0, 1, 0.5), RGB(255, 0, 0));
    EXPECT_EQ(HSLToRGB(1.0 / 3, 1, 0.5), RGB(0, 255, 0));
    EXPECT_EQ(HSLToRGB(2.0 / 3, 1, 0.5), RGB(0, 0, 255));
    EXPECT_EQ(HSLToRGB(1.0 / 12, 1, 0.5), RGB(255, 128, 0));  // 127.5 -> 128
    EXPECT_EQ(HSLToRGB(0.5, 0.5, 0.25), RGB(32, 96, 96));
    // Every byte colour survives a round trip.
    for (int r = 0; r < 256; r += 15)
        for (int g = 0; g < 256; g += 17)
            for (int b = 0; b < 256; b += 51) {
                double h, s, l;
                RGBToHSL(RGB(r, g, b), h, s, l);
                ASSERT_EQ(HSLToRGB(h, s, l), RGB(r, g, b)) << r << " " << g << " " << b;
            }
}

TEST(HSLUtil, ClampAndWrap)
{
    EXPECT_EQ(ClampSingle(-0.5f, 0, 1), 0.0f);
    EXPECT_EQ(ClampSingle(1.5f, 0, 1), 1.0f);
    EXPECT_EQ(ClampSingle(0.25f, 0, 1), 0.25f);
    EXPECT_EQ(ClampSingle(std::nanf(""), 0.5f, 1), 0.5f);
    EXPECT_FLOAT_EQ(WrapSingle(1.25f, 0, 1), 0.25f);
    EXPECT_FLOAT_EQ(WrapSingle(-0.25f, 0, 1), 0.75f);
    EXPECT_FLOAT_EQ(WrapSingle(-3.25f, 0, 1), 0.75f);
    EXPECT_EQ(WrapSingle(1.0f, 0, 1), 0.0f);  // upper bound is excluded
    EXPECT_EQ(WrapSingle(-1e-9f, 0, 1), 0.0f);
    EXPECT_FLOAT_EQ(WrapSingle(370, 0, 360), 10);
    // Values a loop could never step through end at once.
    EXPECT_GE(WrapSingle(1e30f, 0, 1), 0.0f);
    EXPECT_LT(WrapSingle(1e30f, 0, 1), 1.0f);
    EXPECT_EQ(WrapSingle(std::numeric_limits<float>::quiet_NaN(), 0, 1), 0.0f);
}

TEST(HSLUtil, AdjustPixelAndShiftColor)
{
    uint8_t r = 200, g = 100, b = 50;
    AdjustPixelHSL(r, g, b, 1, 0, 0);  // a full turn keeps the hue
    EXPECT_EQ(RGB(r, g, b), RGB(200, 100, 50));

    EXPECT_EQ(ShiftColorHSL(RGB(255, 0, 0), 1.0f / 3, 0, 0), RGB(0, 255, 0));
    EXPECT_EQ(ShiftColorHSL(RGB(255, 0, 0), -1.0f / 3, 0, 0), RGB(0, 0, 255));
    EXPECT_EQ(ShiftColorHSL(RGB(255, 0, 0), 0, -1, 0), RGB(128, 128, 128));
    EXPECT_EQ(ShiftColorHSL(RGB(255, 0, 0), 0, 0, 1), RGB(255, 255, 255));   // clamped to 1
    EXPECT_EQ(ShiftColorHSL(RGB(255, 0, 0), 0, 0, -0.75f), RGB(0, 0, 0));    // clamped to 0
    EXPECT_EQ(ShiftColorHSL(RGB(255, 0, 0), 0, 0, -0.25f), RGB(128, 0, 0));
}

TEST(HSLUtil, RGBHSLKeepsBothViewsInStep)
{
    TRGBHSL c(RGB(255, 0, 0));
    EXPECT_DOUBLE_EQ(c.GetHue(), 0);
    EXPECT_DOUBLE_EQ(c.GetSaturation(), 1);
    EXPECT_DOUBLE_EQ(c.GetLightness(), 0.5);

    c.SetLightness(0.75);
    EXPECT_EQ(c.GetColor(), RGB(255, 128, 128));
    EXPECT_DOUBLE_EQ(c.GetHue(), 0);  // hue and saturation stay as they were

    c.SetGreen(255);
    EXPECT_EQ(c.GetColor(), RGB(255, 255, 128));
    EXPECT_NEAR(c.GetHue(), 1.0 / 6, 1e-12);
    c.SetBlue(0);
    c.SetRed(0);
    EXPECT_NEAR(c.GetHue(), 1.0 / 3, 1e-12);

    c.SetColor(RGB(0, 0, 128));
    EXPECT_NEAR(c.GetHue(), 2.0 / 3, 1e-12);
    EXPECT_NEAR(c.GetLightness(), 64 / 255.0, 1e-12);
}
