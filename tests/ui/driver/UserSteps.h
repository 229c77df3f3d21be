// The steps a person takes in Kelvara that many UI tests repeat: open a file
// through the open-file dialog, drag a selection in the waveform, press
// "描画" and wait for the status line to say the run is done.
#ifndef KELVARA_UI_USER_STEPS_H
#define KELVARA_UI_USER_STEPS_H

#include "driver/UiDriver.h"

#include <string>
#include <vector>

namespace ui {

// ---- The status line ------------------------------------------------------------

std::wstring status(HWND panel);
// Puts a text into the status line that the program never writes, so that
// the next status the program writes is seen even when it equals the last.
void markStatus(HWND panel);
bool waitForStatus(HWND panel, const std::wstring& text, DWORD timeoutMs = defaultTimeoutMs);

// ---- Opening a file ----------------------------------------------------------------

// "..." in the panel, then `path` chosen in the open-file dialog. True once
// the dialog has taken it and closed; the load itself may still run. With
// `openPressedAt`, the moment (seconds()) the dialog's Open button was pressed.
bool chooseThroughDialog(DWORD pid, HWND panel, const std::wstring& path, double* openPressedAt = nullptr);
// chooseThroughDialog, then the end of the load ("Open A File...Done.").
// A load of a long sound may take a while on a loaded machine.
bool openFile(DWORD pid, HWND panel, const std::wstring& path, double* openPressedAt = nullptr,
              DWORD loadTimeoutMs = 60000);
// The same through the menu's open command (IDM_OPEN) posted to `menuWindow`:
// the main window, or the panel, which takes it too.
bool openFromMenu(DWORD pid, HWND menuWindow, HWND panel, const std::wstring& path,
                  DWORD loadTimeoutMs = 60000);

// ---- Selecting and drawing -------------------------------------------------------

// A drag in the waveform view along its middle row, from column `from` to `to`.
void dragSelection(HWND wave, int from, int to, int steps = 8);
// "描画", and the run's end ("Voice-Print...Done.").
bool drawVoicePrint(HWND panel, DWORD timeoutMs = 60000);
// "描画", and the run's end whether it drew ("Voice-Print...Done.") or found
// no frame to draw ("Voice-Print...No frame fits.").
bool drawVoicePrintIfAnyFrameFits(HWND panel, DWORD timeoutMs = 60000);

// ---- Dropping files ----------------------------------------------------------------

// Drops `paths` on the middle of `over` of the program `process`, as the
// shell does: a DROPFILES block written into its memory, and WM_DROPFILES
// posted to the window under the point or, when that one does not take
// files, to its nearest ancestor that does (WS_EX_ACCEPTFILES). False when
// none takes them.
bool dropFiles(HANDLE process, HWND over, const std::vector<std::wstring>& paths);

}  // namespace ui

#endif
