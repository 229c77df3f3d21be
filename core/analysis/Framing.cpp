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

int32_t sampleOfColumn(uint32_t column, double q)
{
    return truncSaturated(static_cast<double>(column) * q);
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

uint32_t frameStart(int32_t analysisStart, int32_t k, int32_t period)
{
    return static_cast<uint32_t>(analysisStart) + static_cast<uint32_t>(k) * static_cast<uint32_t>(period);
}

bool frameFits(uint32_t start, int32_t length, uint32_t sampleCount)
{
    if (length <= 0) return false;
    return uint64_t{start} + static_cast<uint64_t>(length) <= uint64_t{sampleCount};
}

int32_t voicePrintFrameCount(int32_t analysisStart, int32_t period, int32_t length, uint32_t sampleCount)
{
    int32_t k = 0;
    while (k < columnCount && frameFits(frameStart(analysisStart, k, period), length, sampleCount)) ++k;
    return k;
}

int32_t waveformColumnOf(uint32_t start, uint32_t sampleCount)
{
    return columnOfPosition(start, sampleCount);
}

int32_t cursorVoicePrintColumn(int32_t cursorSample, int32_t analysisStart, int32_t period)
{
    // 64-bit so that neither the difference nor INT_MIN / -1 can overflow;
    // C++ division already truncates toward zero.
    int64_t difference = int64_t{cursorSample} - int64_t{analysisStart};
    int64_t column = difference / (period < 1 ? 1 : period);
    if (column > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (column < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(column);
}
