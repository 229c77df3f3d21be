// The standard save dialog of the program, worked as a person works it: read
// the name it proposes, type a path, press Save, say yes to the overwrite
// question. Kelvara titles its save dialog "名前を付けて保存".
//
// Under Wine the save dialog is the same template as the open dialog: the
// file-name box is control 1148 (a ComboBoxEx32 holding a ComboBox holding an
// Edit), Save is push button 1, and the overwrite question is a message box
// owned by the dialog with Yes (6) and No (7).
#ifndef KELVARA_UI_SAVE_DIALOG_H
#define KELVARA_UI_SAVE_DIALOG_H

#include <windows.h>

#include <string>

#include "driver/UiDriver.h"

namespace ui {

// The visible save dialog of `pid`, once it has appeared (nullptr if not).
HWND waitForSaveDialog(DWORD pid, DWORD timeoutMs = defaultTimeoutMs);
// A save dialog of `pid` now, without waiting.
HWND findSaveDialog(DWORD pid);

struct SaveChoice {
    std::wstring proposed;   // what the file-name box held when the dialog had settled
    bool askedToOverwrite = false;
    double pressedAtMs = 0;  // when Save was last pressed (QueryPerformanceCounter, ms)
};

// Waits for the save dialog, notes the name it proposes, types `path`,
// presses Save and answers Yes if asked to overwrite. True once the dialog
// is gone.
bool chooseFileInSaveDialog(DWORD pid, const std::wstring& path, SaveChoice* choice = nullptr,
                            DWORD timeoutMs = defaultTimeoutMs);
// Waits for the save dialog and cancels it.
bool cancelSaveDialog(DWORD pid, DWORD timeoutMs = defaultTimeoutMs);

// Milliseconds on the clock that SaveChoice::pressedAtMs uses.
double clockMs();

}  // namespace ui

#endif
