// The hand-over of frames between the user-interface thread, which analyses
// them, and the display thread, whose views draw them. The user-interface
// thread waits for a view's acknowledgement of one frame before it writes the
// engine that frame was drawn from; while it waits it must keep serving the
// messages other threads send it, or a view that sends to it and the wait
// for that view's acknowledgement would block each other.
#ifndef KELVARA_FRAME_HANDSHAKE_H
#define KELVARA_FRAME_HANDSHAKE_H

#include <windows.h>

// Waits for a manual-reset event (or a thread's end) while still serving
// messages that other threads send to this one (posted input stays queued).
// Returns at once for a null or invalid handle; false only when `timeoutMs`
// passed first.
bool waitServingSentMessages(HANDLE object, DWORD timeoutMs = INFINITE);

#endif
