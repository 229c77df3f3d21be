#include "win/base/FrameHandshake.h"

bool waitServingSentMessages(HANDLE object, DWORD timeoutMs)
{
    // A plain wait would also block messages that another thread sends us
    // and waits for (the waveform view's 1018, a test's WM_GETTEXT); if that
    // thread is the one that must signal the object, neither would go on.
    // Only sent messages are delivered here: posted input stays queued.
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        DWORD left = INFINITE;
        if (timeoutMs != INFINITE) {
            const ULONGLONG spent = GetTickCount64() - start;
            if (spent >= timeoutMs) return false;
            left = static_cast<DWORD>(timeoutMs - spent);
        }
        const DWORD woken = MsgWaitForMultipleObjects(1, &object, FALSE, left, QS_SENDMESSAGE);
        if (woken == WAIT_OBJECT_0) return true;
        if (woken == WAIT_TIMEOUT) return false;
        if (woken != WAIT_OBJECT_0 + 1) return true;  // no such object: nothing to wait for
    }
}
