// A picture of a window's client area with everything on it, composed from
// the windows' own drawing (WM_PRINT, WM_PRINTCLIENT) rather than read off the
// screen, so a covered, off-screen or minimised window gives the same picture
// as an uncovered one.
#ifndef KELVARA_WINDOW_PICTURE_H
#define KELVARA_WINDOW_PICTURE_H

#include <windows.h>

#include <cstdint>
#include <vector>

struct WindowPicture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, row 0 at the top
    bool empty() const { return pixels.empty(); }
};

// The client area of `window` (a window of the calling thread) with its
// visible children at their places, bottom of the z order first. Children of
// other threads are asked with a sent message, so their threads must be
// pumping; one that does not answer within a few seconds makes the picture
// fail (empty).
WindowPicture composeClientPicture(HWND window);

#endif
