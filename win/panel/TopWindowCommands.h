// What the main window and the control panel do alike, each for itself: the
// close request, the about box (104), the exit (105) and the display thread's
// end (1001). Here, beside the workers, because ending the program means
// stopping them first: they read the sound and hold the wave devices, and
// must be gone before the process tears its static objects down.
#ifndef KELVARA_TOP_WINDOW_COMMANDS_H
#define KELVARA_TOP_WINDOW_COMMANDS_H

#include <windows.h>

// A close request to `window`: with a recording that was never saved, the
// user is asked first and may stay; then the workers are stopped and waited for, then
// `afterWorkersStopped` runs when given, then WaveDraw is asked to close and
// `window` is destroyed.
void closeTopWindow(HWND window, void (*afterWorkersStopped)() = nullptr);

// Commands 104, 105 and 1001 as `window` takes them; false for any other.
bool onTopWindowCommand(HWND window, WORD command);

#endif
