#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "core/analysis/Framing.h"

namespace {

TEST(Framing, FrameLengthIsTwoToTheOrderOnlyForOrdersOneToTwelve)
{
    const struct { int32_t order; int32_t length; } cases[] = {
        {1, 2}, {10, 1024}, {12, 4096}, {0, 0}, {13, 0}, {-1, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(frameLengthOf(c.order), c.length) << "order " << c.order;
}

TEST(Framing, NothingIsAnalysableWithoutSamplesRateOrFrameLength)
{
    EXPECT_TRUE(soundAnalysable(1000, 22050, 10));
    EXPECT_FALSE(soundAnalysable(0, 22050, 10));
    EXPECT_FALSE(soundAnalysable(1000, 0, 10));
    EXPECT_FALSE(soundAnalysable(1000, 22050, 0));
}

// Sounds of up to 2^32 samples: starts past 2^31 must neither saturate nor
// wrap to a small or negative number.
TEST(Framing, FrameStartsStepByThePeriodInSixtyFourBits)
{
    const struct { int64_t analysisStart; int32_t k, period; int64_t start; } cases[] = {
        {0, 0, 64, 0},
        {0, 550, 64, 35200},  // the last frame of a default voice print
        {1000, 3, 160, 1480},
        {INT32_MAX, 1, 1, 0x80000000LL},
        {0, 2, INT32_MAX, 0xFFFFFFFELL},
        {0xC0000000LL, 550, 64, 0xC0000000LL + 35200},
    };
    for (const auto& c : cases)
        EXPECT_EQ(frameStart(c.analysisStart, c.k, c.period), c.start)
            << c.analysisStart << " + " << c.k << " * " << c.period;
    EXPECT_TRUE(frameFits(frameStart(0xC0000000LL, 550, 64), 1024, 0xFFFFFFFFu));
    EXPECT_EQ(voicePrintFrameCount(0xF0000000LL, 64, 1024, 0xF0000000u + 36224), 551);
    EXPECT_EQ(sampleOfColumn(550, 0xFFFFFFFFu / 551.0), 4287172436LL);  // not saturated at 2^31 - 1
    EXPECT_EQ(sampleOfColumn(3, -1.0), 0);
    EXPECT_EQ(cursorVoicePrintColumn(0xC0000000LL + 6400, 0xC0000000LL, 64), 100);
}

TEST(Framing, FrameFitsOnlyWhenItEndsWithinTheSound)
{
    const struct { int64_t start; int32_t length; uint32_t sampleCount; bool fits; } cases[] = {
        {0, 1024, 1024, true},
        {1, 1024, 1024, false},
        {0, 1024, 1023, false},
        {3072, 1024, 4096, true},
        {0, 2, 0, false},
        // A start near 2^32 plus the length wraps to 0x300 in 32 bits; it must
        // not be taken for a frame inside a 4096-sample sound.
        {0xFFFFFF00u, 1024, 4096, false},
        {0, 0, 4096, false},
        {-1, 2, 4096, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(frameFits(c.start, c.length, c.sampleCount), c.fits)
            << c.start << " + " << c.length << " vs " << c.sampleCount;
}

TEST(Framing, VoicePrintCountsFramesUntilTheSoundEndsOrFiveHundredFiftyOne)
{
    // Independent count: frame k fits while a + k*P + N <= S, and k < 551.
    const struct { int32_t a, period, length; uint32_t sampleCount; } cases[] = {
        {0, 64, 1024, 36224},   // exactly 551 frames: the last one ends at the last sample
        {0, 64, 1024, 36223},   // one sample short: 550
        {0, 64, 1024, 1000000}, // long sound: capped at 551
        {0, 64, 1024, 1023},    // shorter than one frame
        {5000, 160, 512, 20000},
        {30000, 1, 4096, 30000},// sound ends before analysisStart + N
        {0, 1, 2, 300},
    };
    for (const auto& c : cases) {
        int64_t expected = 0;
        if (int64_t{c.sampleCount} >= int64_t{c.a} + c.length)
            expected = (int64_t{c.sampleCount} - c.a - c.length) / c.period + 1;
        if (expected > 551) expected = 551;
        EXPECT_EQ(voicePrintFrameCount(c.a, c.period, c.length, c.sampleCount), expected)
            << "a " << c.a << " P " << c.period << " N " << c.length << " S " << c.sampleCount;
    }
}

TEST(Framing, WaveformColumnDividesByTheRoundedColumnWidth)
{
    // 35264 samples are exactly 64 per column.
    EXPECT_EQ(waveformColumnOf(35200, 35264), 550);
    EXPECT_EQ(waveformColumnOf(63, 35264), 0);
    EXPECT_EQ(waveformColumnOf(64, 35264), 1);
    // 1140 * (1/551 as a double) is a hair above 1140/551, so sample 60,
    // exactly the start of column 29, lands in column 28 (as frameColumn does).
    EXPECT_EQ(waveformColumnOf(60, 1140), 28);
    EXPECT_EQ(waveformColumnOf(0, 0), 0);
}

TEST(Framing, CursorColumnTruncatesTowardZero)
{
    const struct { int32_t cursor, start, period, column; } cases[] = {
        {100, 0, 64, 1},
        {1000 - 63, 1000, 64, 0},   // less than one period before the start
        {1000 - 64, 1000, 64, -1},
        {1000 - 65, 1000, 64, -1},
        {1000 - 129, 1000, 64, -2},
        {35200, 0, 64, 550},
        {10, 0, 0, 10},             // a period of 0 would divide by zero
        {INT32_MAX, INT32_MIN, 1, INT32_MAX},
        {INT32_MIN, INT32_MAX, 1, INT32_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cursorVoicePrintColumn(c.cursor, c.start, c.period), c.column)
            << "(" << c.cursor << " - " << c.start << ") / " << c.period;
}

TEST(Framing, TruncationSaturatesInsteadOfOverflowing)
{
    EXPECT_EQ(truncSaturated(-2.9), -2);
    EXPECT_EQ(truncSaturated(1e12), INT32_MAX);
    EXPECT_EQ(truncSaturated(-1e12), INT32_MIN);
    EXPECT_EQ(truncSaturatedUnsigned(-5.0), 0u);
    EXPECT_EQ(truncSaturatedUnsigned(5e9), UINT32_MAX);
    EXPECT_EQ(truncSaturatedUnsigned(4294967294.7), 4294967294u);
}

}  // namespace
