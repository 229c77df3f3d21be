// The display thread: it owns the three graph views and the readout line
// under them, so that their drawing goes on while the user-interface thread
// waits inside an analysis run.
#include "core/base/CommandIds.h"
#include "win/base/ChildViews.h"
#include "win/base/WindowRegistry.h"
#include "win/views/Readout.h"

namespace {

// Kept, but never waited on or closed: the thread lives as long as its views.
HANDLE displayThread = INVALID_HANDLE_VALUE;
DWORD displayThreadId = 0;

DWORD WINAPI displayThreadMain(LPVOID)
{
    ++busyThreadCount;

    waveWindow = createChildView(L"WaveDraw", WaveformViewProc, mainWindow.load());
    spectrumWindow = createChildView(L"SPECTRAMDraw", SpectrumViewProc, mainWindow.load());
    voicePrintWindow = createChildView(L"SPECTDraw", VoicePrintViewProc, mainWindow.load());
    readoutWindow = createReadout(mainWindow.load());
    // A file named on the command line waits for the views to show it.
    PostMessageW(controlPanel.load(), WM_COMMAND, CMD_OPEN_PATH, 0);

    // The views post this thread's quit message when they are destroyed.
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    --busyThreadCount;
    // The main window closes on this only when no recorder or player is left.
    PostMessageW(mainWindow.load(), WM_COMMAND, CMD_DISPLAY_THREAD_ENDED, 0);
    return 0;
}

}  // namespace

void startDisplayThread()
{
    displayThread = CreateThread(nullptr, 0, displayThreadMain, mainWindow.load(), 0, &displayThreadId);
}
