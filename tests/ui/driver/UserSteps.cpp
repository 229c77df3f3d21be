#include "driver/UserSteps.h"

#include "core/base/CommandIds.h"

namespace ui {

std::wstring status(HWND panel)
{
    return controlText(panel, IDC_STATUS);
}

void markStatus(HWND panel)
{
    static const wchar_t marker[] = L"(test is waiting)";
    DWORD_PTR result = 0;
    SendMessageTimeoutW(control(panel, IDC_STATUS), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(marker),
                        SMTO_ABORTIFHUNG, 5000, &result);
}

bool waitForStatus(HWND panel, const std::wstring& text, DWORD timeoutMs)
{
    return waitFor([&] { return status(panel) == text; }, timeoutMs);
}

bool chooseThroughDialog(DWORD pid, HWND panel, const std::wstring& path, double* openPressedAt)
{
    postCommand(panel, IDC_BROWSE);
    return chooseFileInOpenDialog(pid, path, defaultTimeoutMs, openPressedAt);
}

bool openFile(DWORD pid, HWND panel, const std::wstring& path, double* openPressedAt, DWORD loadTimeoutMs)
{
    return chooseThroughDialog(pid, panel, path, openPressedAt) &&
           waitForStatus(panel, L"Open A File...Done.", loadTimeoutMs);
}

bool openFromMenu(DWORD pid, HWND menuWindow, HWND panel, const std::wstring& path, DWORD loadTimeoutMs)
{
    postCommand(menuWindow, IDM_OPEN);
    return chooseFileInOpenDialog(pid, path) && waitForStatus(panel, L"Open A File...Done.", loadTimeoutMs);
}

std::wstring KelvaraSession::status()
{
    return ui::status(w.panel);
}

bool KelvaraSession::waitForStatus(const std::wstring& text, DWORD timeoutMs)
{
    return ui::waitForStatus(w.panel, text, timeoutMs);
}

void dragSelection(HWND wave, int from, int to, int steps)
{
    drag(wave, from, 64, to, 64, steps);
}

bool drawVoicePrint(HWND panel, DWORD timeoutMs)
{
    markStatus(panel);
    clickButton(panel, IDC_DRAW);
    return waitForStatus(panel, L"Voice-Print...Done.", timeoutMs);
}

bool drawVoicePrintIfAnyFrameFits(HWND panel, DWORD timeoutMs)
{
    markStatus(panel);
    clickButton(panel, IDC_DRAW);
    return waitFor([&] {
        const std::wstring now = status(panel);
        return now == L"Voice-Print...Done." || now == L"Voice-Print...No frame fits.";
    }, timeoutMs);
}

}  // namespace ui
