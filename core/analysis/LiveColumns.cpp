#include "core/analysis/LiveColumns.h"

#include <algorithm>

int64_t liveFrameStart(int32_t column, uint32_t capacity)
{
    return static_cast<int64_t>(column) * capacity / columnCount;
}

int32_t liveColumnsComplete(uint32_t captured, uint32_t capacity, int32_t frameLength)
{
    if (frameLength <= 0 || capacity == 0) return 0;
    const int64_t last = static_cast<int64_t>(std::min(captured, capacity)) - frameLength;  // last start that fits
    if (last < 0) return 0;
    // trunc(k * c / 551) <= last  <=>  k * c < (last + 1) * 551, so the
    // count is ceil((last + 1) * 551 / c).
    const int64_t bound = (last + 1) * columnCount;
    const int64_t count = (bound + capacity - 1) / capacity;
    return static_cast<int32_t>(std::min<int64_t>(count, columnCount));
}

ColumnRange columnsCompletedBy(uint32_t capturedBefore, uint32_t capturedAfter, uint32_t capacity, int32_t frameLength)
{
    return {liveColumnsComplete(capturedBefore, capacity, frameLength),
            liveColumnsComplete(capturedAfter, capacity, frameLength)};
}

int64_t LatencyFigures::median() const
{
    if (values_.empty()) return 0;
    std::vector<int64_t> sorted = values_;
    std::sort(sorted.begin(), sorted.end());
    const size_t n = sorted.size();
    return n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

int64_t LatencyFigures::percentile95() const
{
    if (values_.empty()) return 0;
    std::vector<int64_t> sorted = values_;
    std::sort(sorted.begin(), sorted.end());
    // Nearest rank: ceil(0.95 n), counted from 1.
    const size_t rank = (sorted.size() * 95 + 99) / 100;
    return sorted[rank - 1];
}
