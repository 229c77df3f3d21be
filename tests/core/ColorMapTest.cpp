#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "panel/Parameters.h"
#include "views/ColorMap.h"

namespace {

struct TellingEntry {
    int index;
    int r, g, b;
};

void expectEntries(const ColorTable& table, std::initializer_list<TellingEntry> entries, const char* what)
{
    for (const TellingEntry& e : entries) {
        const ColorRef c = table[e.index];
        EXPECT_EQ(redOf(c), e.r) << what << ", index " << e.index;
        EXPECT_EQ(greenOf(c), e.g) << what << ", index " << e.index;
        EXPECT_EQ(blueOf(c), e.b) << what << ", index " << e.index;
    }
}

TEST(ColorTable, HueRampAtWidthOne)
{
    expectEntries(ColorTable(0, 1.0),
                  {{0, 2, 1, 12},
                   {1, 5, 2, 29},
                   {5, 10, 9, 95},
                   {9, 16, 23, 161},
                   {10, 22, 36, 229},
                   {30, 22, 105, 229},
                   {66, 22, 229, 229},
                   {126, 22, 229, 22},
                   {186, 229, 229, 22},
                   {246, 229, 22, 22},
                   {255, 229, 22, 22}},
                  "width 1.0");
}

TEST(ColorTable, HueRampAtWidthTwo)
{
    expectEntries(ColorTable(0, 2.0),
                  {{0, 2, 1, 12},
                   {1, 4, 2, 29},
                   {5, 9, 15, 95},
                   {9, 16, 45, 161},
                   {10, 22, 71, 229},
                   {30, 22, 208, 229},
                   {66, 43, 229, 22},
                   {126, 229, 22, 22},
                   {186, 229, 22, 22},
                   {246, 229, 22, 22},
                   {255, 229, 22, 22}},
                  "width 2.0");
}

TEST(ColorTable, WidthTwoIsRedFromIndex123Up)
{
    const ColorTable table(0, 2.0);
    EXPECT_NE(table[122], rgb(229, 22, 22));
    for (int i = 123; i < 256; ++i) EXPECT_EQ(table[i], rgb(229, 22, 22)) << i;
}

TEST(ColorTable, MonoIsAGreyRamp)
{
    for (double width : {1.0, 1.7}) {
        const ColorTable table(1, width);
        for (int i = 0; i < 256; ++i) EXPECT_EQ(table[i], rgb(i, i, i)) << i;
    }
}

TEST(ColorTable, DefaultTableFollowsTheCurrentSettings)
{
    resetParameters();
    printMonoMode = 1;
    EXPECT_EQ(ColorTable()[200], rgb(200, 200, 200));
    printMonoMode = 0;
    colorWidth = 2.0;
    EXPECT_EQ(ColorTable()[66], rgb(43, 229, 22));
    colorWidth = 1.0;
    EXPECT_EQ(ColorTable()[66], rgb(22, 229, 229));
    resetParameters();
}

TEST(HsvToRgb, ZeroSaturationIsAGreyOfTruncatedValue)
{
    const struct {
        int v, level;
    } cases[] = {{0, 0}, {1, 1}, {3, 3}, {4, 5}, {100, 127}, {199, 253}, {200, 254}};  // 1.275 is a hair below itself
    for (const auto& c : cases) EXPECT_EQ(HsvToRgb(123, 0, c.v), rgb(c.level, c.level, c.level)) << "V " << c.v;
}

TEST(HsvToRgb, ClampsItsArguments)
{
    const struct {
        int h, s, v;
        int sameAsH, sameAsS, sameAsV;
    } cases[] = {
        {360, 180, 150, 0, 180, 150},   // a full turn is 0
        {500, 180, 150, 0, 180, 150},   // above 360 clamps to 360, which is 0
        {-30, 180, 150, 0, 180, 150},   // below 0 is 0
        {100, 300, 150, 100, 200, 150}, // saturation above 200
        {100, 180, 250, 100, 180, 200}, // value above 200
        {100, -5, 150, 100, 0, 150},
        {100, 180, -5, 100, 180, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HsvToRgb(c.h, c.s, c.v), HsvToRgb(c.sameAsH, c.sameAsS, c.sameAsV)) << c.h << ", " << c.s << ", " << c.v;
    EXPECT_EQ(HsvToRgb(0, 200, 200), rgb(254, 0, 0));
    EXPECT_EQ(HsvToRgb(120, 200, 200), rgb(0, 254, 0));
    EXPECT_EQ(HsvToRgb(240, 200, 200), rgb(0, 0, 254));
    EXPECT_EQ(HsvToRgb(50, 50, 0), rgb(0, 0, 0));
}

TEST(ColorIndex, IsTheLowByteOfTheTruncatedProduct)
{
    const struct {
        double value;
        int index;
    } cases[] = {{0.0, 0}, {1.0, 255}, {0.5, 127}, {0.999, 254}, {1.0 / 255, 1}, {1.01, 1}, {-0.001, 0}};
    for (const auto& c : cases) EXPECT_EQ(colorIndexOf(c.value), c.index) << c.value;
    EXPECT_EQ(colorIndexOf(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(colorIndexOf(1e300), 0);
}

}  // namespace
