#include <gtest/gtest.h>

#include <limits>

#include "core/panel/Parameters.h"
#include "core/views/ColorMap.h"

namespace {

TEST(ColorTable, TellingEntriesAtWidthsOneAndTwo)
{
    const struct {
        int index;
        ColorRef widthOne, widthTwo;
    } entries[] = {
        {0, rgb(2, 1, 12), rgb(2, 1, 12)},          {1, rgb(5, 2, 29), rgb(4, 2, 29)},
        {5, rgb(10, 9, 95), rgb(9, 15, 95)},         {9, rgb(16, 23, 161), rgb(16, 45, 161)},
        {10, rgb(22, 36, 229), rgb(22, 71, 229)},    {30, rgb(22, 105, 229), rgb(22, 208, 229)},
        {66, rgb(22, 229, 229), rgb(43, 229, 22)},   {126, rgb(22, 229, 22), rgb(229, 22, 22)},
        {186, rgb(229, 229, 22), rgb(229, 22, 22)},  {246, rgb(229, 22, 22), rgb(229, 22, 22)},
        {255, rgb(229, 22, 22), rgb(229, 22, 22)},
    };
    const ColorTable one(0, 1.0), two(0, 2.0);
    for (const auto& e : entries) {
        EXPECT_EQ(one[e.index], e.widthOne) << "width 1.0, index " << e.index;
        EXPECT_EQ(two[e.index], e.widthTwo) << "width 2.0, index " << e.index;
    }
    EXPECT_NE(two[122], rgb(229, 22, 22));
    for (int i = 123; i < 256; ++i) EXPECT_EQ(two[i], rgb(229, 22, 22)) << "width 2.0 is red from 123 up, index " << i;
}

TEST(ColorTable, MonoIsAGreyRampAndTheDefaultFollowsTheSettings)
{
    const ColorTable mono(1, 1.7);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(mono[i], rgb(i, i, i)) << i;

    resetParameters();
    printMonoMode = 1;
    EXPECT_EQ(ColorTable()[200], rgb(200, 200, 200));
    printMonoMode = 0;
    colorWidth = 2.0;
    EXPECT_EQ(ColorTable()[66], rgb(43, 229, 22));
    resetParameters();
    EXPECT_EQ(ColorTable()[66], rgb(22, 229, 229));
}

TEST(HsvToRgb, GreysAndClamps)
{
    // S = 0 is the grey trunc(1.275 V); 1.275 is a hair below itself, so 200 gives 254.
    for (const auto& [v, level] : {std::pair{0, 0}, {1, 1}, {4, 5}, {100, 127}, {199, 253}, {200, 254}})
        EXPECT_EQ(HsvToRgb(123, 0, v), rgb(level, level, level)) << "V " << v;

    const struct {
        int h, s, v, sameH, sameS, sameV;
    } clamps[] = {
        {360, 180, 150, 0, 180, 150}, {500, 180, 150, 0, 180, 150}, {-30, 180, 150, 0, 180, 150},
        {100, 300, 150, 100, 200, 150}, {100, 180, 250, 100, 180, 200}, {100, -5, 150, 100, 0, 150}, {100, 180, -5, 100, 180, 0},
    };
    for (const auto& c : clamps) EXPECT_EQ(HsvToRgb(c.h, c.s, c.v), HsvToRgb(c.sameH, c.sameS, c.sameV)) << c.h << ", " << c.s << ", " << c.v;
    EXPECT_EQ(HsvToRgb(120, 200, 200), rgb(0, 254, 0));
}

TEST(ColorIndex, IsTheLowByteOfTheTruncatedProduct)
{
    for (const auto& [value, index] :
         {std::pair{0.0, 0}, {1.0, 255}, {0.5, 127}, {0.999, 254}, {1.0 / 255, 1}, {1.01, 1}, {-0.001, 0}, {1e300, 0}})
        EXPECT_EQ(colorIndexOf(value), index) << value;
    EXPECT_EQ(colorIndexOf(std::numeric_limits<double>::quiet_NaN()), 0);
}

}  // namespace
