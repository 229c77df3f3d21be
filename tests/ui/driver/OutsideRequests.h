// Requests that reach Kelvara from outside its own message queues, the way
// a window manager's do: ShowWindow on another process's window is delivered
// as a sent message, so the program serves it even while its thread waits
// inside a voice-print run (a posted system command waits until the run is
// over).
#ifndef KELVARA_UI_OUTSIDE_REQUESTS_H
#define KELVARA_UI_OUTSIDE_REQUESTS_H

#include <windows.h>

namespace ui {

// ShowWindow(window, command) from a thread of its own, so that a program
// that never serves it fails the caller instead of freezing it. True once
// the call has returned within `timeoutMs`.
bool showWindowFromOutside(HWND window, int command, DWORD timeoutMs = 60000);

}  // namespace ui

#endif
