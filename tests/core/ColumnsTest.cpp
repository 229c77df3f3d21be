// The one column mapping, and the modules that map positions to columns
// agreeing with it: the player's cursor and the frames' columns must never
// stand a column apart (the engine's frameColumn is pinned bit for bit in
// DftEngineTest).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/analysis/Framing.h"
#include "core/audio/AudioBlocks.h"
#include "core/base/Columns.h"

namespace {

// trunc(p / (total * q)) on the last column at most, written out independently.
int32_t literalColumn(uint32_t position, uint32_t total)
{
    if (total == 0) return 0;
    const double column = std::trunc(position / (total * 0.0018148820326678765));
    return column > 550 ? 550 : static_cast<int32_t>(column);
}

TEST(Columns, EveryModuleMapsAPositionToTheSameColumn)
{
    for (uint32_t total : {1u, 550u, 551u, 1140u, 35264u, 55100u, 88200u, 1000003u, 4294967295u}) {
        std::vector<uint32_t> positions{0, total / 2, total - 1, total};
        for (int32_t x = 0; x < columnCount; x += 7) {
            const double start = columnStart(x, total);
            positions.push_back(static_cast<uint32_t>(start));
            if (start >= 1.0) positions.push_back(static_cast<uint32_t>(start) - 1);
        }
        for (uint32_t p : positions) {
            SCOPED_TRACE(::testing::Message() << "position " << p << " of " << total);
            const int32_t expected = literalColumn(p, total);
            EXPECT_EQ(columnOfPosition(p, total), expected);
            EXPECT_EQ(static_cast<int32_t>(columnOfByte(p, total)), expected);
            EXPECT_EQ(waveformColumnOf(p, total), expected);
        }
    }
}

TEST(Columns, TheProductIsFormedFirst)
{
    // 35264 samples make exactly 64 to a column.
    EXPECT_EQ(positionsPerColumn(35264), 64.0);
    EXPECT_EQ(columnStart(550, 35264), 35200.0);
    // 1140 * q is a hair above 1140/551: column 29 starts a hair above sample
    // 60, and sample 60 itself lies in column 28.
    EXPECT_GT(columnStart(29, 1140), 60.0);
    EXPECT_EQ(columnOfPosition(60, 1140), 28);
    EXPECT_EQ(columnOfPosition(61, 1140), 29);
}

TEST(Columns, PositionsAtOrPastTheEndStayOnTheLastColumn)
{
    EXPECT_EQ(columnOfPosition(35264, 35264), lastColumn);
    EXPECT_EQ(columnOfPosition(4294967295u, 35264), lastColumn);
    EXPECT_EQ(columnOfPosition(4294967295u, 4294967295u), lastColumn);
    EXPECT_EQ(columnOfPosition(1000, 0), 0);
    EXPECT_EQ(columnOfPosition(0, 0), 0);
}

}  // namespace
