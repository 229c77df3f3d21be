#include "win/base/FrameHandshake.h"

#include "core/base/CommandIds.h"

HANDLE voicePrintDoneEvent = nullptr;
HANDLE spectrumDoneEvent = nullptr;
HANDLE waveformDoneEvent = nullptr;

std::wstring processEventName(const wchar_t* baseName)
{
    return std::wstring(baseName) + L"." + std::to_wstring(GetCurrentProcessId());
}

void openFrameEvents()
{
    // Manual reset, signalled: nothing is pending before the first run.
    voicePrintDoneEvent = CreateEventW(nullptr, TRUE, TRUE, processEventName(voicePrintDoneEventName).c_str());
    spectrumDoneEvent = CreateEventW(nullptr, TRUE, TRUE, processEventName(spectrumDoneEventName).c_str());
    waveformDoneEvent = CreateEventW(nullptr, TRUE, TRUE, processEventName(waveformDoneEventName).c_str());
}

void closeFrameEvents()
{
    for (HANDLE* event : {&voicePrintDoneEvent, &spectrumDoneEvent, &waveformDoneEvent}) {
        if (*event) CloseHandle(*event);
        *event = nullptr;
    }
}

bool postFrame(HWND view, HANDLE taken, const DftEngine* engine)
{
    if (taken) ResetEvent(taken);
    const bool posted =
        PostMessageW(view, WM_COMMAND, MAKEWPARAM(CMD_FRAME, 0), reinterpret_cast<LPARAM>(engine)) != FALSE;
    // Nothing would ever acknowledge a frame that did not arrive.
    if (!posted && taken) SetEvent(taken);
    return posted;
}

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
