// Start-up: the window set, the display thread and the user-interface message
// loop. The order matters: the panel's initialisation creates the named events
// that the views open when the display thread creates them.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "core/base/CommandIds.h"
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

bool isSwitch(const wchar_t* argument, const wchar_t* name)
{
    return (argument[0] == L'/' || argument[0] == L'-') && lstrcmpiW(argument + 1, name) == 0;
}

// `/defaults`: a clean start, from the defaults, that leaves the remembered
// settings as they are (the UI tests start this way, so each starts alike).
bool cleanStartAsked()
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments) return false;
    bool clean = false;
    for (int i = 1; i < count; ++i) clean = clean || isSwitch(arguments[i], L"defaults");
    LocalFree(arguments);
    return clean;
}

// `Kelvara.exe [/defaults] [/draw] [file.wav]`: the file opens at start as
// from the open dialog, and with /draw its voice print is drawn right after.
// Without an argument nothing is opened. The path is made absolute, so the
// file name box shows where the file really is.
void openFromCommandLine()
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments) return;
    bool draw = false;
    std::wstring path;
    for (int i = 1; i < count; ++i) {
        const std::wstring argument = arguments[i];
        if (isSwitch(argument.c_str(), L"draw"))
            draw = true;
        else if (isSwitch(argument.c_str(), L"defaults"))
            continue;
        else if (path.empty())
            path = argument;
    }
    LocalFree(arguments);
    if (path.empty()) return;
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length > 0) {
        std::wstring full(length, L'\0');
        const DWORD written = GetFullPathNameW(path.c_str(), length, &full[0], nullptr);
        if (written > 0 && written < length) path = full.substr(0, written);
    }
    requestOpenPath(path, draw);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // Before any dialog that holds track bars is created.
    INITCOMMONCONTROLSEX commonControls{sizeof(commonControls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&commonControls);

    appInstance = instance;
    // Before any window: each starts from the settings this person left.
    setSettingsRemembered(!cleanStartAsked());
    loadSettingsForThisRun();

    registerKelvaraClass(L"MainWindow", MainWindowProc);
    HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MAIN_MENU));
    HWND main = CreateWindowExW(0, L"MainWindow", L"SPECTDraw", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu, instance, nullptr);
    ShowWindow(main, SW_SHOWNORMAL);
    UpdateWindow(main);

    winFuncWindow = createChildView(L"WinFunc", WindowFunctionViewProc, main);
    colorSampleWindow = createChildView(L"ColorSample", ColorSampleViewProc, main);
    mainWindow = main;

    controlPanel = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_CONTROL_PANEL), main, ControlPanelProc, 0);
    seatViewOverPanel(winFuncWindow);
    seatViewOverPanel(colorSampleWindow);
    // The main window sized itself before the panel existed; now it can make
    // room for the panel's controls as they were really placed.
    SendMessageW(main, WM_SIZE, SIZE_RESTORED, 0);

    openFromCommandLine();
    startDisplayThread();

    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_MAIN_MENU));
    int exitCode = runMessageLoop(accelerators);

    // When only the panel was closed, the main window and the display thread's
    // views still exist. Destroy them now, while the sound and the engines are
    // still alive, so no view draws from them during the static teardown.
    if (IsWindow(main)) DestroyWindow(main);
    return exitCode;
}
