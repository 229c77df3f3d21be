// Keeping a view at its place of the one table (core/base/ViewFrames.h). The
// views call this from their WM_SIZE; the main window's frames are drawn from
// the same table.
#ifndef KELVARA_WINDOW_PLACES_H
#define KELVARA_WINDOW_PLACES_H

#include <windows.h>

#include "core/base/ViewFrames.h"

// Puts a child window at its place in the parent's client area, and on top of
// its siblings when `onTop`. Moves only when something differs: the move
// itself sends WM_SIZE, and the views answer WM_SIZE with this call.
inline void keepWindowAt(HWND window, int x, int y, int width, int height, bool onTop = false)
{
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
    const bool placed = r.left == x && r.top == y && r.right - r.left == width && r.bottom - r.top == height;
    const bool raised = !onTop || GetWindow(window, GW_HWNDPREV) == nullptr;
    if (placed && raised) return;
    SetWindowPos(window, HWND_TOP, x, y, width, height, SWP_NOACTIVATE | (onTop ? 0 : SWP_NOZORDER));
}

// Centres a small child window over the control `frameId` of `frameOwner`
// (the panel), whose place depends on the dialog font; falls back to the
// fixed place while there is no panel or frame yet. The window goes above its
// siblings, or the panel, created after it, would hide it.
inline void keepWindowInFrame(HWND window, HWND frameOwner, int frameId, const viewFrames::Area& fallback)
{
    const HWND frame = frameOwner ? GetDlgItem(frameOwner, frameId) : nullptr;
    if (!frame) {
        keepWindowAt(window, fallback.left, fallback.top, fallback.width, fallback.height);
        return;
    }
    RECT r{};
    GetWindowRect(frame, &r);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
    const int x = r.left + ((r.right - r.left) - fallback.width) / 2;
    const int y = r.top + ((r.bottom - r.top) - fallback.height) / 2;
    keepWindowAt(window, x, y, fallback.width, fallback.height, true);
}

// Keeps `window` at the place of `view`: over its frame of `panel` for a view
// that has one, else at its fixed place.
inline void keepViewInPlace(HWND window, viewFrames::View view, HWND panel)
{
    const viewFrames::Place& place = viewFrames::windowPlaces[view];
    if (place.frameId != 0) {
        keepWindowInFrame(window, panel, place.frameId, place.area);
        return;
    }
    keepWindowAt(window, place.area.left, place.area.top, place.area.width, place.area.height);
}

#endif
