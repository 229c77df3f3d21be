#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "analysis/WindowFunction.h"

namespace {

struct WeightsCase {
    int kind;
    int n;
    std::vector<double> expected;
    double tolerance;
};

// The decimal 2*pi is 7e-9 short of the real one, which moves a weight by a
// few 1e-9 at the far end of the frame: tolerances are 1e-8.
TEST(WindowWeights, SmallFramesHaveTheKnownWeights)
{
    const WeightsCase cases[] = {
        {WindowHanning, 4, {0.0, 0.5, 1.0, 0.5}, 1e-8},
        {WindowHanning, 2, {0.0, 1.0}, 1e-8},
        {WindowHamming, 4, {0.08, 0.54, 1.0, 0.54}, 1e-8},
        {WindowBlackman, 4, {0.0, 0.34, 1.0, 0.34}, 1e-8},
        {WindowRectangular, 4, {1.0, 1.0, 1.0, 1.0}, 0.0},
    };
    for (const WeightsCase& c : cases) {
        for (int i = 0; i < c.n; ++i)
            EXPECT_NEAR(windowValue(c.kind, i, c.n), c.expected[i], c.tolerance) << "kind " << c.kind << ", n " << c.n << ", i " << i;
    }
}

TEST(WindowWeights, FirstWeights)
{
    EXPECT_EQ(windowValue(WindowHanning, 0, 512), 0.0);  // exactly: cos 0 is 1
    EXPECT_NEAR(windowValue(WindowHamming, 0, 512), 0.08, 1e-15);
    EXPECT_NEAR(windowValue(WindowBlackman, 0, 512), 0.0, 1e-16);
}

TEST(WindowWeights, ArePeriodicNotSymmetric)
{
    // Phase i/N: the last weight repeats w(1) instead of returning to w(0).
    for (int kind : {WindowHanning, WindowHamming, WindowBlackman}) {
        for (int n : {4, 16, 93, 1024}) {
            EXPECT_NEAR(windowValue(kind, n - 1, n), windowValue(kind, 1, n), 1e-8) << "kind " << kind << ", n " << n;
            EXPECT_GT(windowValue(kind, n - 1, n), windowValue(kind, 0, n) + 1e-6) << "kind " << kind << ", n " << n;
        }
    }
}

TEST(WindowWeights, FollowTheTextbookCurvesClosely)
{
    // Against the curves with true pi in long double: the decimal 2*pi
    // literal moves a weight by less than 1e-7.
    const long double pi = 3.141592653589793238462643383279502884L;
    const int n = 93;
    for (int i = 0; i < n; ++i) {
        const long double c1 = std::cos(2 * pi * i / n);
        const long double c2 = std::cos(4 * pi * i / n);
        EXPECT_NEAR(windowValue(WindowHanning, i, n), static_cast<double>(0.5L - 0.5L * c1), 1e-7) << i;
        EXPECT_NEAR(windowValue(WindowHamming, i, n), static_cast<double>(0.54L - 0.46L * c1), 1e-7) << i;
        EXPECT_NEAR(windowValue(WindowBlackman, i, n), static_cast<double>(0.42L - 0.5L * c1 + 0.08L * c2), 1e-7) << i;
    }
}

TEST(ApplyWindow, MultipliesEachValueByItsWeight)
{
    for (int kind : {WindowHanning, WindowHamming, WindowBlackman}) {
        std::vector<double> values = {3.0, -2.0, 5.0, 7.0, 1.5, -4.0};
        const std::vector<double> original = values;
        applyWindow(kind, values.data(), static_cast<int>(values.size()));
        for (size_t i = 0; i < values.size(); ++i)
            EXPECT_EQ(values[i], original[i] * windowValue(kind, static_cast<int>(i), static_cast<int>(values.size())));
    }
}

TEST(ApplyWindow, RectangularAndUnknownKindsLeaveTheFrameUnchanged)
{
    for (int kind : {0, 4, 17, -1, INT_MIN, INT_MAX}) {
        std::vector<double> values = {3.0, -2.0, 5.0, 7.0};
        applyWindow(kind, values.data(), 4);
        EXPECT_EQ(values, (std::vector<double>{3.0, -2.0, 5.0, 7.0})) << "kind " << kind;
        EXPECT_EQ(windowValue(kind, 0, 4), 1.0) << "kind " << kind;
    }
}

TEST(ApplyWindow, EmptyFrameIsHarmless)
{
    double value = 2.0;
    applyWindow(WindowHanning, &value, 0);
    EXPECT_EQ(value, 2.0);
    EXPECT_EQ(windowValue(WindowHanning, 0, 0), 1.0);
}

}  // namespace
