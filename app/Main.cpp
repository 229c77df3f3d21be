// Start-up: the window set, the display thread and the user-interface message
// loop. The order matters: the panel's initialisation creates the named events
// that the views open when the display thread creates them.
#include <windows.h>
#include <commctrl.h>

#include "app/CommandIds.h"
#include "app/Globals.h"

namespace {

HWND createPanelView(const wchar_t* className, WNDPROC procedure, HWND parent)
{
    registerKelvaraClass(className, procedure);
    HWND view = CreateWindowExW(0, className, L"SPECTDraw", WS_CHILD, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, parent, nullptr, appInstance, nullptr);
    ShowWindow(view, SW_SHOWNORMAL);
    UpdateWindow(view);
    return view;
}

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

int runMessageLoop(HACCEL accelerators)
{
    MSG message;
    // GetMessage returns -1 on failure; treating that as a message would spin.
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // The accelerator command goes to the window the key was meant for,
        // which may be a panel control rather than the main window.
        if (TranslateAcceleratorW(message.hwnd, accelerators, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // Before any dialog that holds track bars is created.
    INITCOMMONCONTROLSEX commonControls{sizeof(commonControls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&commonControls);

    appInstance = instance;

    registerKelvaraClass(L"MainWindow", MainWindowProc);
    HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MAIN_MENU));
    HWND main = CreateWindowExW(0, L"MainWindow", L"SPECTDraw", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu, instance, nullptr);
    ShowWindow(main, SW_SHOWNORMAL);
    UpdateWindow(main);

    winFuncWindow = createPanelView(L"WinFunc", WindowFunctionViewProc, main);
    colorSampleWindow = createPanelView(L"ColorSample", ColorSampleViewProc, main);
    mainWindow = main;

    controlPanel = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_CONTROL_PANEL), main, ControlPanelProc, 0);
    seatViewOverPanel(winFuncWindow);
    seatViewOverPanel(colorSampleWindow);

    startDisplayThread();

    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_MAIN_MENU));
    int exitCode = runMessageLoop(accelerators);

    // When only the panel was closed, the main window and the display thread's
    // views still exist. Destroy them now, while the sound and the engines are
    // still alive, so no view draws from them during the static teardown.
    if (IsWindow(main)) DestroyWindow(main);
    return exitCode;
}
