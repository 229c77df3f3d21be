#include "win/base/LiveView.h"

#include <algorithm>
#include <chrono>

LiveView& liveView()
{
    static LiveView view;
    return view;
}

int64_t steadyMicroseconds()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void noteLiveColumnsShown(int first, int end)
{
    LiveView& view = liveView();
    const int64_t now = steadyMicroseconds();
    std::lock_guard<std::mutex> hold(view.lock);
    for (int k = std::max(first, 0); k < end && k < columnCount; ++k) {
        const int64_t arrived = view.columnArrived[k].exchange(0);
        if (arrived != 0) view.latency.add(now - arrived);
    }
}
