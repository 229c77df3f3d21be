#include "win/views/ScreenRefresh.h"

#include <algorithm>

namespace {

using Clock = std::chrono::steady_clock;

// One refresh of the display the program started on. Wine and some drivers
// answer 0 or 1 ("the hardware's default"), which means no number: 60 Hz
// is then the likeliest.
Clock::duration refreshPeriod()
{
    static const Clock::duration period = [] {
        HDC screen = GetDC(nullptr);
        const int hertz = screen ? GetDeviceCaps(screen, VREFRESH) : 0;
        if (screen) ReleaseDC(nullptr, screen);
        const int rate = hertz > 1 ? hertz : 60;
        return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate));
    }();
    return period;
}

// How many times as long as its last showing a view waits on a slow screen.
constexpr int slowScreenFactor = 4;

}  // namespace

void ScreenRefresh::changed(HWND window, const RECT& area)
{
    if (area.left >= area.right || area.top >= area.bottom) return;
    if (hasPending_) {
        RECT both;
        UnionRect(&both, &pending_, &area);
        pending_ = both;
    } else {
        pending_ = area;
        hasPending_ = true;
    }

    const Clock::duration since = Clock::now() - lastShown_;
    if (since >= gap_) {
        show(window);
    } else if (!timerSet_) {
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(gap_ - since);
        timerSet_ = SetTimer(window, timerId, static_cast<UINT>(std::max<long long>(wait.count(), 1)), nullptr) != 0;
        // Without a timer the change is shown now rather than never.
        if (!timerSet_) show(window);
    }
}

void ScreenRefresh::changedAll(HWND window)
{
    RECT all{};
    GetClientRect(window, &all);
    changed(window, all);
}

void ScreenRefresh::onTimer(HWND window)
{
    if (timerSet_) KillTimer(window, timerId);
    timerSet_ = false;
    if (hasPending_) show(window);
}

void ScreenRefresh::show(HWND window)
{
    if (timerSet_) KillTimer(window, timerId);
    timerSet_ = false;
    const Clock::time_point start = Clock::now();
    hasPending_ = false;
    const RECT area = beforeShow ? beforeShow(window, pending_) : pending_;
    InvalidateRect(window, &area, FALSE);
    UpdateWindow(window);
    lastShown_ = Clock::now();
    gap_ = std::max(refreshPeriod(), slowScreenFactor * (lastShown_ - start));
}
