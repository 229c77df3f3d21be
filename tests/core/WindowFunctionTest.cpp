#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "core/analysis/WindowFunction.h"

namespace {

// The decimal 2*pi is 7e-9 short of the real one, which moves a weight by a
// few 1e-9 at the far end of a frame: tolerances are 1e-8.
TEST(WindowWeights, SmallFramesHaveTheKnownWeights)
{
    const struct {
        int kind, n;
        std::vector<double> expected;
    } cases[] = {
        {WindowHanning, 4, {0.0, 0.5, 1.0, 0.5}},   {WindowHanning, 2, {0.0, 1.0}},
        {WindowHamming, 4, {0.08, 0.54, 1.0, 0.54}}, {WindowBlackman, 4, {0.0, 0.34, 1.0, 0.34}},
        {WindowRectangular, 4, {1.0, 1.0, 1.0, 1.0}},
    };
    for (const auto& c : cases)
        for (int i = 0; i < c.n; ++i)
            EXPECT_NEAR(windowValue(c.kind, i, c.n), c.expected[i], 1e-8) << "kind " << c.kind << ", n " << c.n << ", i " << i;
    EXPECT_EQ(windowValue(WindowHanning, 0, 512), 0.0);  // exactly: cos 0 is 1
    EXPECT_NEAR(windowValue(WindowHamming, 0, 512), 0.08, 1e-15);
    EXPECT_NEAR(windowValue(WindowBlackman, 0, 512), 0.0, 1e-16);
}

TEST(WindowWeights, ArePeriodicTextbookCurves)
{
    const long double pi = 3.141592653589793238462643383279502884L;
    for (int n : {4, 16, 93, 1024}) {
        for (int i = 0; i < n; ++i) {
            // Phase i/N, not i/(N-1): the last weight repeats w(1), it does not return to w(0).
            const long double c1 = std::cos(2 * pi * i / n), c2 = std::cos(4 * pi * i / n);
            EXPECT_NEAR(windowValue(WindowHanning, i, n), static_cast<double>(0.5L - 0.5L * c1), 1e-8) << n << ", " << i;
            EXPECT_NEAR(windowValue(WindowHamming, i, n), static_cast<double>(0.54L - 0.46L * c1), 1e-8) << n << ", " << i;
            EXPECT_NEAR(windowValue(WindowBlackman, i, n), static_cast<double>(0.42L - 0.5L * c1 + 0.08L * c2), 1e-8) << n << ", " << i;
        }
    }
}

TEST(ApplyWindow, MultipliesByTheWeightsOrLeavesTheFrameAlone)
{
    const std::vector<double> original = {3.0, -2.0, 5.0, 7.0, 1.5, -4.0};
    for (int kind : {0, 1, 2, 3, 4, 17, -1, INT_MIN, INT_MAX}) {
        std::vector<double> values = original;
        applyWindow(kind, values.data(), 6);
        const bool windowed = kind >= 1 && kind <= 3;
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(values[i], windowed ? original[i] * windowValue(kind, i, 6) : original[i]) << "kind " << kind << ", i " << i;
        if (!windowed) EXPECT_EQ(windowValue(kind, 2, 6), 1.0) << "kind " << kind;
    }
    double lone = 2.0;
    applyWindow(WindowHanning, &lone, 0);
    EXPECT_EQ(lone, 2.0);
    EXPECT_EQ(windowValue(WindowHanning, 0, 0), 1.0) << "no frame, no division by its length";
}

}  // namespace
