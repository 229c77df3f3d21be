#include "win/views/Readout.h"

#include "core/audio/SoundBuffer.h"
#include "core/base/CommandIds.h"
#include "core/base/ViewFrames.h"
#include "core/panel/Parameters.h"
#include "core/views/ReadoutText.h"
#include "win/base/SoundAndEngines.h"
#include "win/base/WindowPlaces.h"
#include "win/base/LiveView.h"
#include "win/base/WindowRegistry.h"

namespace {

// All on the display thread.
HWND line = nullptr;
HWND hovered = nullptr;  // the view under the mouse, if any
std::wstring shown;
bool levelShown = false;  // a recording's input level has the line

void show(const std::wstring& text)
{
    if (!line || text == shown || levelShown) return;
    shown = text;
    SetWindowTextW(line, text.c_str());
}

void showResolution()
{
    // The sound's rate is one aligned word that a load rewrites whole.
    show(resolutionText(theSound.rate(), frameOrder.load(), framePeriod.load(), maxFreqStep.load()));
}

// The line looks for the pointer leaving the view it speaks of: the
// system's leave notices get lost under Wine when the pointer jumps between
// windows, and a lost one would leave a stale readout for good.
constexpr UINT_PTR leaveCheckTimer = 1;
constexpr UINT leaveCheckMs = 100;

void checkPointerStillOver(HWND window)
{
    POINT pointer{};
    if (hovered && GetCursorPos(&pointer) && WindowFromPoint(pointer) == hovered) return;
    KillTimer(window, leaveCheckTimer);
    hovered = nullptr;
    showResolution();
}

// The panel's font, fitted to the system's metrics, once the panel has one:
// asking means a message to the user-interface thread, so it is asked only
// until it answers.
void takePanelFont()
{
    static bool taken = false;
    const HWND panel = controlPanel.load();
    const LRESULT font = !taken && panel ? SendMessageW(panel, WM_GETFONT, 0, 0) : 0;
    if (!font) return;
    SendMessageW(line, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    taken = true;
}

// While recording the line shows the input level, whatever lies under the
// mouse; afterwards the resolution again.
void showInputLevel(bool on)
{
    levelShown = false;
    if (!on) {
        showResolution();
        return;
    }
    LiveView& live = liveView();
    std::wstring text;
    {
        std::lock_guard<std::mutex> hold(live.lock);
        text = live.levelText;
    }
    show(text);
    levelShown = true;
}

LRESULT CALLBACK ReadoutProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CTLCOLORSTATIC: {
        // The window's own background, so the line reads as part of it.
        const HDC dc = reinterpret_cast<HDC>(wParam);
        SetBkColor(dc, windowBackground);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        return static_cast<LRESULT>(GetClassLongPtrW(window, GCLP_HBRBACKGROUND));
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == CMD_INPUT_LEVEL) showInputLevel(lParam != 0);
        if (LOWORD(wParam) == CMD_SETTINGS_CHANGED) {
            takePanelFont();
            if (!hovered) showResolution();
            else refreshReadoutUnderPointer();
        }
        return 0;
    case WM_TIMER:
        if (wParam == leaveCheckTimer) checkPointerStillOver(window);
        return 0;
    case WM_SIZE: {
        const viewFrames::Area& a = viewFrames::readoutArea;
        keepWindowAt(window, a.left, a.top, a.width, a.height);
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

HWND createReadout(HWND parent)
{
    registerKelvaraClass(L"KelvaraReadout", ReadoutProc);
    const viewFrames::Area& a = viewFrames::readoutArea;
    HWND window = CreateWindowExW(0, L"KelvaraReadout", L"", WS_CHILD | WS_VISIBLE, a.left, a.top, a.width, a.height,
                                  parent, nullptr, appInstance, nullptr);
    if (!window) return nullptr;
    line = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, 0, a.width,
                           a.height, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_READOUT)), appInstance,
                           nullptr);
    takePanelFont();
    showResolution();
    return window;
}

void refreshReadoutUnderPointer()
{
    POINT pointer{};
    if (!line || !GetCursorPos(&pointer)) return;
    const HWND under = WindowFromPoint(pointer);
    if (!under || (under != waveWindow.load() && under != spectrumWindow.load() && under != voicePrintWindow.load()))
        return;
    ScreenToClient(under, &pointer);
    // No button flags: a move with the button down would be taken for a drag.
    SendMessageW(under, WM_MOUSEMOVE, 0, MAKELPARAM(pointer.x, pointer.y));
}

void hoverReadout(HWND view, const std::wstring& text)
{
    if (hovered != view) {
        hovered = view;
        SetTimer(GetParent(line), leaveCheckTimer, leaveCheckMs, nullptr);
    }
    show(text);
}
