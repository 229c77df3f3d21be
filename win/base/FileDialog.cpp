#include "win/base/FileDialog.h"

#include <vector>

#include "core/base/TestHooks.h"
#include "win/base/SettingsStore.h"
#include "win/base/WindowRegistry.h"

namespace {

// What the dialog's return and CommDlgExtendedError say together: no error
// code is a cancel; anything else, FNERR_BUFFERTOOSMALL included, a failure.
DialogEnd dialogEnd(BOOL chosen)
{
    if (chosen) return DialogEnd::Chosen;
    return CommDlgExtendedError() == 0 ? DialogEnd::Cancelled : DialogEnd::Failed;
}

// The path buffer's capacity; a test may ask for a smaller one to see how a
// path that does not fit is reported.
DWORD bufferCapacity()
{
    const uint32_t asked = testDialogPathCapacity();
    return asked > 0 && asked < pathCapacity ? asked : pathCapacity;
}

// A test may name the save target itself (KELVARA_TEST_SAVE_TARGET) in place
// of the dialog: Wine's dialog cannot take a path longer than MAX_PATH, which
// the saves themselves must write to.
bool testSaveTarget(std::wstring& target)
{
    const wchar_t* const variable = L"KELVARA_TEST_SAVE_TARGET";
    const DWORD size = GetEnvironmentVariableW(variable, nullptr, 0);
    if (size <= 1) return false;
    std::vector<wchar_t> value(size, L'\0');
    if (GetEnvironmentVariableW(variable, value.data(), size) + 1 != size) return false;
    target = value.data();
    return true;
}

DialogEnd askForPath(bool save, const FileType& type, std::wstring& path, const wchar_t* title, DWORD flags,
                     const wchar_t* initialFolder)
{
    std::vector<wchar_t> buffer(bufferCapacity(), L'\0');
    if (path.size() < buffer.size()) path.copy(buffer.data(), path.size());
    OPENFILENAMEW dialog{};
    // The full record rather than the old 76-byte one: that size only ever
    // existed for 32-bit builds, and the full one gets the current dialog.
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = mainWindow;
    dialog.lpstrFilter = type.filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrInitialDir = initialFolder;
    dialog.lpstrTitle = title;
    dialog.Flags = flags;
    dialog.lpstrDefExt = type.extension;
    const DialogEnd end = dialogEnd(save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog));
    if (end == DialogEnd::Chosen) path = buffer.data();
    return end;
}

// A remembered folder as a dialog's starting place; null (the dialog's own
// choice) for none, and for one longer than MAX_PATH, which Wine's dialog
// cannot start in.
const wchar_t* startingFolder(const std::wstring& folder)
{
    return folder.empty() || folder.size() >= MAX_PATH ? nullptr : folder.c_str();
}

}  // namespace

DialogEnd askForFileToOpen(const FileType& type, std::wstring& path, const wchar_t* title, DWORD flags)
{
    RememberedSettings& remembered = runSettings();
    const DialogEnd end = askForPath(false, type, path, title, flags, startingFolder(remembered.openFolder));
    if (end == DialogEnd::Chosen) remembered.openFolder = folderOfPath(path);
    return end;
}

DialogEnd askForSaveTarget(const FileType& type, const std::wstring& proposedName, std::wstring& target,
                           const wchar_t* initialFolder)
{
    if (testSaveTarget(target)) return DialogEnd::Chosen;
    RememberedSettings& remembered = runSettings();
    if (!initialFolder) initialFolder = startingFolder(remembered.saveFolder);
    std::wstring path = proposedName;
    const DialogEnd end = askForPath(true, type, path, L"名前を付けて保存",
                                     OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOREADONLYRETURN, initialFolder);
    if (end == DialogEnd::Chosen) {
        target = path;
        remembered.saveFolder = folderOfPath(target);
    }
    return end;
}
