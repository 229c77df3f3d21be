#include "win/panel/TopWindowCommands.h"

#include "core/base/CommandIds.h"
#include "win/base/WindowRegistry.h"
#include "win/panel/PanelCommands.h"

void closeTopWindow(HWND window, void (*afterWorkersStopped)())
{
    if (!mayLeaveTheSound(controlPanel.load())) return;
    stopWorkersForExit();
    if (afterWorkersStopped) afterWorkersStopped();
    PostMessageW(waveWindow.load(), WM_CLOSE, 0, 0);
    DestroyWindow(window);
}

bool onTopWindowCommand(HWND window, WORD command)
{
    switch (command) {
    case IDM_ABOUT:
        DialogBoxParamW(appInstance, MAKEINTRESOURCEW(IDD_ABOUT_BOX), window, AboutBoxProc, 0);
        return true;
    case IDM_EXIT:
        // No close request to WaveDraw: the quit message that the destroy
        // posts ends the program all the same.
        if (!mayLeaveTheSound(controlPanel.load())) return true;
        stopWorkersForExit();
        DestroyWindow(window);
        return true;
    case CMD_DISPLAY_THREAD_ENDED:
        // A recorder or player still running keeps the window open; the user
        // closes it later.
        if (busyThreadCount.load() == 0) DestroyWindow(window);
        return true;
    }
    return false;
}
