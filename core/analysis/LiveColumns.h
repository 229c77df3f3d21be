// The voice print of a recording drawn while it comes in. The planned length
// (the capacity) is the width, as after the recording: column k stands for
// the frame that starts at sample trunc(k * capacity / 551), and it can be
// painted as soon as every sample of that frame has been captured.
//
// Also the figures of how long a captured block takes to reach the screen,
// which the program keeps itself.
#ifndef KELVARA_LIVE_COLUMNS_H
#define KELVARA_LIVE_COLUMNS_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/base/Columns.h"

// First sample of live column k (0..550): trunc(k * capacity / 551), exact in
// 64-bit integers.
int64_t liveFrameStart(int32_t column, uint32_t capacity);

// How many columns, from 0 on, have their whole frame of `frameLength`
// samples among the first `captured` samples; a frame that reaches past the
// capacity never does. 0 for an unknown length or an empty capacity.
int32_t liveColumnsComplete(uint32_t captured, uint32_t capacity, int32_t frameLength);

// The columns a newly captured block completes: [first, end).
struct ColumnRange {
    int32_t first = 0;
    int32_t end = 0;
    bool empty() const { return end <= first; }
};
ColumnRange columnsCompletedBy(uint32_t capturedBefore, uint32_t capturedAfter, uint32_t capacity, int32_t frameLength);

// Latencies in microseconds; the median and the 95th percentile (nearest
// rank: the smallest value at or above 95 per cent of them).
class LatencyFigures {
public:
    void add(int64_t microseconds) { values_.push_back(microseconds); }
    void clear() { values_.clear(); }
    size_t count() const { return values_.size(); }
    // 0 when there is none. The median of an even count is the mean of the
    // two middle values, truncated.
    int64_t median() const;
    int64_t percentile95() const;

private:
    std::vector<int64_t> values_;
};

#endif
