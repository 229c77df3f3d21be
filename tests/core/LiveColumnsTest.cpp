#include <gtest/gtest.h>

#include "core/analysis/LiveColumns.h"

namespace {

// The closed form against counting column by column, over capacities that
// divide by 551 and ones that do not, and frame lengths from 2 to 4096.
TEST(LiveColumns, ColumnsCompleteExactlyWhenTheirFramesLastSampleIsCaptured)
{
    for (uint32_t capacity : {551u * 1600u, 882000u, 44100u * 2u, 22050u * 20u, 600u, 551u, 100u}) {
        for (int32_t length : {2, 256, 1024, 4096}) {
            for (uint32_t captured = 0; captured <= capacity + 5000; captured += 997) {
                int32_t expected = 0;
                while (expected < columnCount) {
                    const int64_t start = static_cast<int64_t>(expected) * capacity / 551;
                    if (start + length > captured || start + length > capacity) break;
                    ++expected;
                }
                ASSERT_EQ(liveColumnsComplete(captured, capacity, length), expected)
                    << capacity << " capacity, N " << length << ", " << captured << " captured";
            }
        }
    }
}

TEST(LiveColumns, ABlockCompletesTheColumnsBetweenItsEdges)
{
    // 20 s at 44100 Hz: column k starts at trunc(k * 1600.73); N = 1024.
    const uint32_t capacity = 882000;
    EXPECT_EQ(liveFrameStart(1, capacity), 1600);
    EXPECT_EQ(liveFrameStart(550, capacity), 880399);
    const ColumnRange first = columnsCompletedBy(0, 2048, capacity, 1024);  // the first 46 ms block
    EXPECT_EQ(first.first, 0);
    EXPECT_EQ(first.end, 1);  // column 1 needs samples up to 2624
    const ColumnRange none = columnsCompletedBy(2048, 2600, capacity, 1024);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(columnsCompletedBy(880000, capacity, capacity, 1024).end, columnCount);
    EXPECT_EQ(liveColumnsComplete(capacity, capacity, 0), 0);
    EXPECT_EQ(liveColumnsComplete(capacity, 0, 1024), 0);
    EXPECT_EQ(liveColumnsComplete(500, 1000, 1024), 0);  // a frame longer than the recording
}

TEST(LiveColumns, LatencyMedianAndNearestRankPercentile)
{
    LatencyFigures figures;
    EXPECT_EQ(figures.median(), 0);
    for (int64_t v = 100; v >= 1; --v) figures.add(v * 1000);  // 1..100 ms, in reverse
    EXPECT_EQ(figures.count(), 100u);
    EXPECT_EQ(figures.median(), 50500);
    EXPECT_EQ(figures.percentile95(), 95000);
    figures.add(200000);  // 101 values: the 51st, and rank ceil(95.95) = 96
    EXPECT_EQ(figures.median(), 51000);
    EXPECT_EQ(figures.percentile95(), 96000);
}

}  // namespace
