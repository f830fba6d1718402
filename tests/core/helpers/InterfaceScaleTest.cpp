#include "InterfaceScale.h"

#include <gtest/gtest.h>

TEST(InterfaceScale, ScreenWidthIsClamped)
{
    const struct {
        int width;
        double scale;
    } cases[] = {{1366, 1.0}, {1920, 1.0}, {2880, 1.5}, {3840, 2.0}, {5120, 2.0}, {0, 1.0}, {-5, 1.0}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(c.scale, ComputeInterfaceScale(c.width)) << c.width;

    SetInterfaceScale(7.0);
    EXPECT_DOUBLE_EQ(2.0, GetInterfaceScale());
    SetInterfaceScale(1.3);
    EXPECT_DOUBLE_EQ(1.3, GetInterfaceScale());
    EXPECT_EQ(15, ScaledPixels(12)) << "truncated, not rounded";
    SetInterfaceScale(1.0);
}

TEST(InterfaceScale, PixelsAndStyleNumbers)
{
    EXPECT_EQ(37, ScaledPixels(25, 1.5));
    EXPECT_EQ(-4, ScaledPixels(-3, 1.5)) << "toward zero";
    EXPECT_EQ(24, ScaledPixels(12, 2.0));
    EXPECT_EQ(QString("37.5"), ScaledStyleNumber(25, 1.5));
    EXPECT_EQ(QString("18"), ScaledStyleNumber(12, 1.5));
    EXPECT_EQ(QString("16.25"), ScaledStyleNumber(13, 1.25));
}

TEST(InterfaceScale, StyleSheetSizeTokens)
{
    const struct {
        double scale;
        const char* in;
        const char* out;
    } cases[] = {
        {1.5, "font-size: SIZE_12px;", "font-size: 18px;"},
        {1.5, "margin: SIZE_-3px;", "margin: -4.5px;"},
        {1.5, "SIZE_ 12 px", "18px"},
        {1.0, "SIZE_13px", "13px"},
        {1.25, "a{width:SIZE_13px;height:SIZE_2px}", "a{width:16.25px;height:2.5px}"},
        {1.5, "QLabel { color: red; }", "QLabel { color: red; }"},
        {1.5, "SIZE_px and SIZE_", "SIZE_px and SIZE_"},
        {2.0, "left: SIZE_4", "left: SIZE_4"},
        {2.0, "a: SIZE_abc; b: SIZE_3px; c: 12px", "a: SIZE_abc; b: 6px; c: 12px"},
        {2.0, "a: SIZE_x12px", "a: SIZE_x12px"},
        {2.0, "a: SIZE_- 3px", "a: -6px"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QString(c.out), ScaleStyleSheetSizes(c.in, c.scale)) << c.in;
}
