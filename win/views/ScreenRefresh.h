// How a view's back buffer reaches the screen. A voice-print run hands the
// views hundreds of frames a second; copying each one to the screen would
// pace the run by the screen (under Wine every copy is a trip to the X
// server) instead of by its arithmetic. So a view notes what each frame
// changed and shows it at most once a display refresh: at once when a
// refresh has passed since the last showing, otherwise a timer shows all it
// held back when that refresh comes, so the last frame is always seen.
// On a screen slow to paint the next showing waits longer still, several
// times as long as the last one took, so that painting never takes more than
// a part of the display thread's time and the run goes on between paints.
//
// Showing is InvalidateRect and UpdateWindow: the paint comes at once,
// between two frames, rather than when the display thread's queue happens to
// run dry, which during a run it may not do for a long while. A minimised or
// hidden view gets no paint and keeps its invalid area for the paint that
// comes when it is shown again.
#ifndef KELVARA_SCREEN_REFRESH_H
#define KELVARA_SCREEN_REFRESH_H

#include <windows.h>

#include <chrono>
#include <functional>

class ScreenRefresh {
public:
    // The view's timer for what a refresh held back; no view uses it for
    // anything else.
    static constexpr UINT_PTR timerId = 2;

    // `area` of the back buffer has changed and must reach the screen.
    void changed(HWND window, const RECT& area);
    void changedAll(HWND window);
    // The view's WM_TIMER with timerId.
    void onTimer(HWND window);

    // Called just before the changes are shown, with what is pending; brings
    // the back buffer up to date and answers the part of it that really
    // changed. A view whose frames only need their numbers kept draws them
    // here, at most once a refresh, rather than at every frame. Unset, the
    // back buffer is up to date and all that is pending is shown.
    std::function<RECT(HWND, const RECT& pending)> beforeShow;

private:
    void show(HWND window);

    RECT pending_{};
    bool hasPending_ = false;
    bool timerSet_ = false;
    std::chrono::steady_clock::time_point lastShown_{};  // when the last showing ended
    std::chrono::steady_clock::duration gap_{};          // the least time from there to the next
};

#endif
