// What the five views do alike with their messages. A view's drawing state
// (its pens, fonts, canvases, its frame acknowledgement) is one object,
// made in WM_CREATE and destroyed in WM_DESTROY, so its owners go with it and
// in the reverse order of their declaration: a canvas declared after a font
// is deleted first, and gives the font up before the font is deleted.
//
// A State has
//  - a constructor State(HWND window) that makes its owners and draws what
//    the view shows first;
//  - void draw(HDC), which puts the view onto the window's DC in a paint, or
//    onto a picture's DC for WM_PRINTCLIENT (and may first bring its back
//    buffer up to date);
//  - void onCommand(HWND window, WPARAM, LPARAM) for WM_COMMAND;
//  - optionally a ScreenRefresh screen, through which it shows what frames
//    change, and whose timer this answers.
//
// Every view counts its paints, for the benchmark that asks (MSG_PAINT_COUNT).
#ifndef KELVARA_VIEW_WINDOW_H
#define KELVARA_VIEW_WINDOW_H

#include <windows.h>

#include <optional>
#include <type_traits>

#include "core/base/CommandIds.h"
#include "core/base/TestHooks.h"
#include "core/base/ViewFrames.h"
#include "win/base/ChildViews.h"
#include "win/base/FrameHandshake.h"
#include "win/base/WindowRegistry.h"
#include "win/base/ScopedWin.h"
#include "win/base/WindowPlaces.h"
#include "win/views/ScreenRefresh.h"

template <typename State, typename = void>
struct refreshesScreen : std::false_type {};
template <typename State>
struct refreshesScreen<State, std::void_t<decltype(std::declval<State&>().screen)>> : std::true_type {};

// The test hook's slow screen: every paint takes this long.
inline uint32_t paintDelayMs()
{
    static const uint32_t delay = testPaintDelayMs();
    return delay;
}

// Answers `message` for the view `place` whose drawing state is `view`; the
// view's procedure handles its mouse messages itself and hands the rest here.
template <typename State>
LRESULT answerViewMessage(std::optional<State>& view, viewFrames::View place, HWND window, UINT message,
                          WPARAM wParam, LPARAM lParam)
{
    // One count per view: each view has a State of its own. Read by other
    // threads only through the message, so a plain counter does.
    static LRESULT paints = 0;
    switch (message) {
    case WM_CREATE:
        view.emplace(window);
        showView(window);
        // The panel's views are seated over their frames once the panel
        // exists; a graph view looks again at its place once it is created.
        if (viewFrames::windowPlaces[place].frameId == 0) PostMessageW(window, WM_SIZE, 0, 0);
        return 0;
    case WM_SIZE:
        keepViewInPlace(window, place, controlPanel.load());
        return 0;
    case WM_COMMAND:
        if (view) view->onCommand(window, wParam, lParam);
        return 0;
    case WM_PAINT: {
        PaintScope paint(window);
        if (view) view->draw(paint);
        if (paintDelayMs() != 0) Sleep(paintDelayMs());
        ++paints;
        return 0;
    }
    case MSG_PAINT_COUNT:
        return paints;
    case MSG_QUEUE_MARK:
        SetEvent(reinterpret_cast<HANDLE>(lParam));
        return 0;
    case WM_PRINTCLIENT:
        if (view) view->draw(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_TIMER:
        if constexpr (refreshesScreen<State>::value) {
            if (view && wParam == ScreenRefresh::timerId) view->screen.onTimer(window);
            return 0;
        }
        break;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        view.reset();
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

#endif
