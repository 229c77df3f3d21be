#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/audio/InputLevel.h"
#include "tests/core/ToneSounds.h"

namespace {

std::vector<double> sine(double amplitude, uint32_t rate, double seconds)
{
    std::vector<double> s(static_cast<size_t>(rate * seconds));
    for (size_t i = 0; i < s.size(); ++i) s[i] = std::round(amplitude * std::sin(2 * tones::truePi * 1000.0 * i / rate));
    return s;
}

TEST(InputLevel, ReadsThePeakOfTheLastTenthOfASecond)
{
    InputLevel level(44100, 16);
    EXPECT_TRUE(std::isinf(level.peakDb()));
    const std::vector<double> loud = sine(32768 * std::pow(10.0, -6.0 / 20), 44100, 0.5);  // -6 dB FS
    level.add(loud.data(), loud.size());
    EXPECT_NEAR(level.peakDb(), -6.0, 0.01);
    EXPECT_FALSE(level.clipping());
    // 99 ms of a quieter tone: the loud one is still in the window; at 100 ms it is gone.
    const std::vector<double> quiet = sine(32768 * std::pow(10.0, -20.0 / 20), 44100, 0.099);
    level.add(quiet.data(), quiet.size());
    EXPECT_NEAR(level.peakDb(), -6.0, 0.01);
    const std::vector<double> more = sine(32768 * std::pow(10.0, -20.0 / 20), 44100, 0.002);
    level.add(more.data(), more.size());
    EXPECT_NEAR(level.peakDb(), -20.0, 0.01);
}

TEST(InputLevel, ClipIsHeldForOneSecondAfterAFullScaleSample)
{
    for (int bits : {16, 8}) {
        InputLevel level(22050, bits);
        const double top = bits == 16 ? 32767.0 : 32512.0;
        const double justBelow[] = {top - 1, -32767.0};
        level.add(justBelow, 2);
        EXPECT_FALSE(level.clipping()) << bits;
        const double full = bits == 16 ? -32768.0 : top;
        level.add(&full, 1);
        EXPECT_TRUE(level.clipping()) << bits;
        const std::vector<double> silence(22049, 0.0);
        level.add(silence.data(), silence.size());
        EXPECT_TRUE(level.clipping()) << bits;  // 22049 samples after it
        level.add(silence.data(), 1);
        EXPECT_FALSE(level.clipping()) << bits;
        EXPECT_TRUE(std::isinf(level.peakDb()));
    }
}

TEST(InputLevel, TheLineShowsLevelBarAndClip)
{
    EXPECT_EQ(inputLevelText(-6.04, false), L"Input -6.0 dB FS   [#################---]");
    EXPECT_EQ(inputLevelText(0.0, true), L"Input 0.0 dB FS   [####################]   CLIP");
    EXPECT_EQ(inputLevelText(-std::numeric_limits<double>::infinity(), false), L"Input -inf dB FS   [--------------------]");
    EXPECT_EQ(inputLevelText(-75.0, false), L"Input -75.0 dB FS   [--------------------]");
}

}  // namespace
