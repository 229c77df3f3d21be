#include "driver/UserSteps.h"

#include <shlobj.h>

#include <cstring>
#include <vector>

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

// ---- Dropping files ---------------------------------------------------------------

namespace {

// What the shell hands a window when files are dropped on it: a DROPFILES
// block in the receiving process's memory, its wide paths one after another
// and an empty one at the end. Returns the block's address there.
void* dropFilesInto(HANDLE process, const std::vector<std::wstring>& paths)
{
    std::vector<uint8_t> block(sizeof(DROPFILES));
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = TRUE;
    std::memcpy(block.data(), &header, sizeof header);
    for (const std::wstring& path : paths) {
        const auto* p = reinterpret_cast<const uint8_t*>(path.c_str());
        block.insert(block.end(), p, p + (path.size() + 1) * sizeof(wchar_t));
    }
    block.insert(block.end(), sizeof(wchar_t), 0);
    void* remote = VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) return nullptr;
    SIZE_T written = 0;
    if (!WriteProcessMemory(process, remote, block.data(), block.size(), &written) || written != block.size())
        return nullptr;
    return remote;
}

}  // namespace

// Drops `paths` on the middle of `over`, as the shell does: the drop goes to
// the window under the point or, when that one does not take files, to its
// nearest ancestor that does (WS_EX_ACCEPTFILES). False when none takes them.
bool dropFiles(HANDLE process, HWND over, const std::vector<std::wstring>& paths)
{
    RECT r = screenRect(over);
    const POINT point{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    HWND target = WindowFromPoint(point);
    while (target && !(GetWindowLongW(target, GWL_EXSTYLE) & WS_EX_ACCEPTFILES)) target = GetParent(target);
    if (!target) return false;
    void* drop = dropFilesInto(process, paths);
    return drop && PostMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
}

}  // namespace ui
