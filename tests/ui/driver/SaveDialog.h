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

// Waits for the save dialog, reads the name it proposes and cancels it.
bool proposedNameThenCancel(DWORD pid, std::wstring& proposed, DWORD timeoutMs = defaultTimeoutMs);

// The question that a recording never saved asks before it is dropped, with
// Yes, No and Cancel.
constexpr const wchar_t* unsavedRecordingQuestion = L"録音は保存されていません。保存しますか?";
// That question of `pid`, once it is on the screen (nullptr if it does not come).
HWND waitForUnsavedQuestion(DWORD pid, DWORD timeoutMs = defaultTimeoutMs);
// Presses `button` (IDYES, IDNO or IDCANCEL) in a message box; true once it is gone.
bool answerMessageBox(HWND box, int button, DWORD timeoutMs = defaultTimeoutMs);

// Milliseconds on the clock that SaveChoice::pressedAtMs uses.
double clockMs();

}  // namespace ui

#endif
