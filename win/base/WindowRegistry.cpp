// The process-wide handles, the busy thread count, and the class
// registration every Kelvara window shares.
#include "win/base/WindowRegistry.h"

#include "core/base/CommandIds.h"

HINSTANCE appInstance = nullptr;
std::atomic<HWND> mainWindow{nullptr};
std::atomic<HWND> controlPanel{nullptr};
std::atomic<HWND> winFuncWindow{nullptr};
std::atomic<HWND> colorSampleWindow{nullptr};
std::atomic<HWND> waveWindow{nullptr};
std::atomic<HWND> spectrumWindow{nullptr};
std::atomic<HWND> voicePrintWindow{nullptr};
std::atomic<HWND> readoutWindow{nullptr};

std::atomic<LONG> busyThreadCount{0};

ATOM registerKelvaraClass(const wchar_t* className, WNDPROC procedure)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = appInstance;
    windowClass.hIcon = LoadIconW(appInstance, MAKEINTRESOURCEW(IDI_KELVARA));
    // The small icon from the same resource, at the small size, rather than
    // letting the system shrink the large image.
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(appInstance, MAKEINTRESOURCEW(IDI_KELVARA), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    // One brush per class: the system deletes a class's brush when the class
    // goes, so a shared one would be deleted several times.
    windowClass.hbrBackground = CreateSolidBrush(windowBackground);
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = className;
    return RegisterClassExW(&windowClass);
}
