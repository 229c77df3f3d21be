#include "driver/SaveDialog.h"

namespace ui {

namespace {

constexpr const wchar_t* saveDialogTitle = L"名前を付けて保存";

// The dialog's own push button `id`; its tool bar has id 1 as well.
HWND dialogButton(HWND dialog, int id)
{
    for (HWND child = FindWindowExW(dialog, nullptr, L"Button", nullptr); child;
         child = FindWindowExW(dialog, child, L"Button", nullptr)) {
        if (GetDlgCtrlID(child) == id) return child;
    }
    return nullptr;
}

HWND fileNameEdit(HWND dialog)
{
    HWND comboEx = GetDlgItem(dialog, 1148);
    return findChild(findChild(comboEx, L"ComboBox"), L"Edit");
}

// The overwrite question: a message box of the process owned by the dialog.
HWND overwriteQuestion(DWORD pid, HWND dialog)
{
    for (HWND box : topWindows(pid, L"#32770")) {
        if (box != dialog && IsWindowVisible(box) && GetWindow(box, GW_OWNER) == dialog && GetDlgItem(box, IDYES))
            return box;
    }
    return nullptr;
}

bool setText(HWND window, const std::wstring& text)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                               5000, &result) != 0;
}

}  // namespace

double clockMs()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return counter.QuadPart * 1000.0 / frequency.QuadPart;
}

HWND findSaveDialog(DWORD pid)
{
    HWND dialog = findTopWindow(pid, L"#32770", saveDialogTitle);
    return dialog && IsWindowVisible(dialog) ? dialog : nullptr;
}

HWND waitForSaveDialog(DWORD pid, DWORD timeoutMs)
{
    HWND dialog = nullptr;
    waitFor([&] { return (dialog = findSaveDialog(pid)) != nullptr; }, timeoutMs);
    return dialog;
}

bool chooseFileInSaveDialog(DWORD pid, const std::wstring& path, SaveChoice* choice, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    HWND dialog = waitForSaveDialog(pid, timeoutMs);
    if (!dialog) return false;
    // As the open dialog, it may reset the file-name box while it settles.
    Sleep(1000);
    SaveChoice local;
    SaveChoice& c = choice ? *choice : local;
    HWND edit = fileNameEdit(dialog);
    if (!edit) return false;
    c.proposed = windowText(edit);
    while (GetTickCount64() < deadline) {
        setText(edit, path);
        if (windowText(edit) == path) {
            c.pressedAtMs = clockMs();
            PostMessageW(dialogButton(dialog, IDOK), BM_CLICK, 0, 0);
            HWND question = nullptr;
            waitFor([&] { return !IsWindow(dialog) || (question = overwriteQuestion(pid, dialog)) != nullptr; }, 3000);
            if (question) {
                c.askedToOverwrite = true;
                c.pressedAtMs = clockMs();
                PostMessageW(GetDlgItem(question, IDYES), BM_CLICK, 0, 0);
            }
            if (waitFor([&] { return !IsWindow(dialog); }, 3000)) return true;
        }
        Sleep(200);
        if (!IsWindow(dialog)) return true;
        edit = fileNameEdit(dialog);
        if (!edit) return false;
    }
    return !IsWindow(dialog);
}

bool cancelSaveDialog(DWORD pid, DWORD timeoutMs)
{
    HWND dialog = waitForSaveDialog(pid, timeoutMs);
    if (!dialog) return false;
    PostMessageW(dialogButton(dialog, IDCANCEL), BM_CLICK, 0, 0);
    return waitFor([&] { return !IsWindow(dialog); }, timeoutMs);
}

bool proposedNameThenCancel(DWORD pid, std::wstring& proposed, DWORD timeoutMs)
{
    HWND dialog = waitForSaveDialog(pid, timeoutMs);
    if (!dialog) return false;
    // The box may be reset while the dialog settles, as in chooseFileInSaveDialog.
    Sleep(1000);
    HWND edit = fileNameEdit(dialog);
    if (!edit) return false;
    proposed = windowText(edit);
    PostMessageW(dialogButton(dialog, IDCANCEL), BM_CLICK, 0, 0);
    return waitFor([&] { return !IsWindow(dialog); }, timeoutMs);
}

HWND waitForUnsavedQuestion(DWORD pid, DWORD timeoutMs)
{
    HWND question = nullptr;
    waitFor([&] {
        HWND box = findMessageBox(pid);
        if (box && messageBoxText(box) == unsavedRecordingQuestion) question = box;
        return question != nullptr;
    }, timeoutMs);
    return question;
}

bool answerMessageBox(HWND box, int button, DWORD timeoutMs)
{
    HWND pressed = GetDlgItem(box, button);
    if (!pressed) return false;
    PostMessageW(pressed, BM_CLICK, 0, 0);
    return waitFor([&] { return !IsWindow(box); }, timeoutMs);
}

}  // namespace ui
