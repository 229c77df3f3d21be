// Start-up: the window set, the display thread and the user-interface message
// loop. The order matters: the panel's initialisation creates the named events
// that the views open when the display thread creates them.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "core/base/CommandIds.h"
#include "core/panel/CommandLine.h"
#include "win/app/BatchRun.h"
#include "win/base/ChildViews.h"
#include "win/base/SettingsStore.h"
#include "win/base/WindowRegistry.h"
#include "win/panel/PanelCommands.h"

namespace {

// WinFunc and ColorSample sit inside the panel's two sunken frames. They were
// created before the panel, so they placed themselves without knowing where
// the frames ended up; a size message lets them look again now that the panel
// and its frames exist (the frames move with the dialog font's metrics).
// They must also stay above the panel, which clips its painting against them.
void seatViewOverPanel(HWND view)
{
    RECT client{};
    GetClientRect(view, &client);
    SendMessageW(view, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    SetWindowPos(view, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool inPanel(HWND window)
{
    HWND panel = controlPanel.load();
    return panel && window && (window == panel || IsChild(panel, window));
}

// An accelerator's command goes to the window the key was meant for, which
// may be a panel control that has no use for it: Alt+? there opens nothing.
// The Ctrl keys stand for menu commands, though, and the focus is often in
// the panel now that it can be worked from the keyboard, so with the focus
// there those go to the main window.
HWND acceleratorTarget(const MSG& message)
{
    if (message.message == WM_KEYDOWN && (GetKeyState(VK_CONTROL) & 0x8000) && inPanel(message.hwnd))
        return mainWindow.load();
    return message.hwnd;
}

bool isUsableTabStop(HWND control)
{
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    return (style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED);
}

// The main window has no controls of its own, so Tab there moves into the
// panel: to its first control, or with Shift to its last. True if it did.
bool tabIntoPanel(const MSG& message)
{
    if (message.message != WM_KEYDOWN || message.wParam != VK_TAB || message.hwnd != mainWindow.load()) return false;
    HWND panel = controlPanel.load();
    if (!panel) return false;
    HWND first = GetWindow(panel, GW_CHILD);
    while (first && !isUsableTabStop(first)) first = GetWindow(first, GW_HWNDNEXT);
    if (!first) return false;
    const bool backwards = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    HWND target = backwards ? GetNextDlgTabItem(panel, first, TRUE) : first;
    // Through the dialog manager, which also moves the default push button
    // and selects an edit's text, as a Tab inside the panel does.
    SendMessageW(panel, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target ? target : first), TRUE);
    return true;
}

int runMessageLoop(HACCEL accelerators)
{
    MSG message;
    // GetMessage returns -1 on failure; treating that as a message would spin.
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorW(acceleratorTarget(message), accelerators, &message)) continue;
        if (tabIntoPanel(message)) continue;
        // Tab, Shift+Tab, arrows and Space for the panel's controls. After
        // the accelerators, so they still work with the focus in the panel.
        // It takes only messages for the panel and its controls; the graph
        // views belong to the display thread and never pass through here.
        if (inPanel(message.hwnd) && IsDialogMessageW(controlPanel.load(), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

// `Kelvara.exe [/draw] [file.wav]`: the file opens at start as from the open
// dialog, and with /draw its voice print is drawn right after. Without a
// path nothing is opened.
void openFromCommandLine(const CommandLine& line)
{
    if (!line.path.empty()) requestOpenPath(absolutePath(line.path), line.draw);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    const CommandLine line = commandLineOfThisProcess();
    if (line.mode == LaunchMode::Usage) {
        printForCaller(usageText(), false);
        return 0;
    }
    if (line.mode == LaunchMode::Error) {
        printForCaller(L"Kelvara: " + line.error + L"\n", true);
        return usageExitCode;
    }
    // A batch run works the same window set, off the screen.
    const bool batch = line.mode == LaunchMode::Batch;

    // Before any dialog that holds track bars is created.
    INITCOMMONCONTROLSEX commonControls{sizeof(commonControls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&commonControls);

    appInstance = instance;
    // Before any window: each starts from the settings this person left,
    // unless asked for a clean start. A batch run reads them only when asked
    // to (a script should draw alike on every machine) and never writes them:
    // its options are not a person's choices.
    setSettingsRemembered(batch ? line.remembered : !line.defaults);
    loadSettingsForThisRun();
    if (batch) setSettingsRemembered(false);

    registerKelvaraClass(L"MainWindow", MainWindowProc);
    HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MAIN_MENU));
    HWND main = CreateWindowExW(0, L"MainWindow", L"SPECTDraw", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu, instance, nullptr);
    if (!batch) {
        ShowWindow(main, SW_SHOWNORMAL);
        UpdateWindow(main);
    }

    winFuncWindow = createChildView(L"WinFunc", WindowFunctionViewProc, main);
    colorSampleWindow = createChildView(L"ColorSample", ColorSampleViewProc, main);
    mainWindow = main;

    controlPanel = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_CONTROL_PANEL), main, ControlPanelProc, 0);
    seatViewOverPanel(winFuncWindow);
    seatViewOverPanel(colorSampleWindow);
    // The main window sized itself before the panel existed; now it can make
    // room for the panel's controls as they were really placed.
    SendMessageW(main, WM_SIZE, SIZE_RESTORED, 0);
    if (batch) {
        // Shown, because a combo box draws its text only while it can be
        // seen, but far off the screen and not activated. One call that
        // moves and shows: ShowWindow would send the first WM_SIZE, and the
        // main window answers that by moving to the screen's corner.
        SetWindowPos(main, nullptr, -20000, -20000, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }

    if (!batch) openFromCommandLine(line);
    startDisplayThread();
    // The batch run's window set then closes as the close box closes it.
    int batchExitCode = 0;
    if (batch) {
        batchExitCode = runBatch(line);
        PostMessageW(main, WM_CLOSE, 0, 0);
    }

    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_MAIN_MENU));
    int exitCode = runMessageLoop(accelerators);

    // When only the panel was closed, the main window and the display thread's
    // views still exist. Destroy them now, while the sound and the engines are
    // still alive, so no view draws from them during the static teardown.
    if (IsWindow(main)) DestroyWindow(main);
    return batch ? batchExitCode : exitCode;
}
