#include "core/analysis/Framing.h"

#include <cmath>
#include <limits>

int32_t truncSaturated(double value)
{
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

uint32_t truncSaturatedUnsigned(double value)
{
    if (std::isnan(value) || value <= 0.0) return 0;
    if (value >= 4294967295.0) return std::numeric_limits<uint32_t>::max();
    return static_cast<uint32_t>(value);
}

int64_t sampleOfColumn(uint32_t column, double q)
{
    // Columns 0..551 of at most 2^32 positions: the product is far from the
    // 64-bit limits, so only NaN and a negative q need guarding.
    const double position = static_cast<double>(column) * q;
    return position > 0.0 ? static_cast<int64_t>(position) : 0;
}

int32_t frameLengthOf(int32_t frameOrder)
{
    if (frameOrder < 1 || frameOrder > 12) return 0;
    return int32_t{1} << frameOrder;
}

bool soundAnalysable(uint32_t sampleCount, uint32_t rate, int32_t frameOrder)
{
    return sampleCount > 0 && rate > 0 && frameLengthOf(frameOrder) > 0;
}

int64_t frameStart(int64_t analysisStart, int32_t k, int32_t period)
{
    return analysisStart + int64_t{k} * period;
}

bool frameFits(int64_t start, int32_t length, uint32_t sampleCount)
{
    if (length <= 0 || start < 0) return false;
    return start + length <= int64_t{sampleCount};
}

int32_t voicePrintFrameCount(int64_t analysisStart, int32_t period, int32_t length, uint32_t sampleCount)
{
    int32_t k = 0;
    while (k < columnCount && frameFits(frameStart(analysisStart, k, period), length, sampleCount)) ++k;
    return k;
}

int32_t waveformColumnOf(uint32_t start, uint32_t sampleCount)
{
    return columnOfPosition(start, sampleCount);
}

int32_t cursorVoicePrintColumn(int64_t cursorSample, int64_t analysisStart, int32_t period)
{
    // Positions lie within 0..2^32, so the difference cannot overflow; C++
    // division already truncates toward zero.
    int64_t difference = cursorSample - analysisStart;
    int64_t column = difference / (period < 1 ? 1 : period);
    if (column > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (column < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(column);
}
