#include "win/base/FileDialog.h"

#include "core/base/CommandIds.h"
#include "win/base/SettingsStore.h"
#include "win/base/WindowRegistry.h"

namespace {

bool askForPath(bool save, const FileType& type, wchar_t (&path)[pathCapacity], const wchar_t* title, DWORD flags,
                const wchar_t* initialFolder)
{
    OPENFILENAMEW dialog{};
    // The full record rather than the old 76-byte one: that size only ever
    // existed for 32-bit builds, and the full one gets the current dialog.
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = mainWindow;
    dialog.lpstrFilter = type.filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = pathCapacity;
    dialog.lpstrInitialDir = initialFolder;
    dialog.lpstrTitle = title;
    dialog.Flags = flags;
    dialog.lpstrDefExt = type.extension;
    const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (chosen) return true;
    CommDlgExtendedError();  // cleared; a cancel and a failure end alike
    return false;
}

}  // namespace

// A remembered folder as a dialog's starting place; null (the dialog's own
// choice) for none.
const wchar_t* startingFolder(const std::wstring& folder) { return folder.empty() ? nullptr : folder.c_str(); }

bool askForFileToOpen(const FileType& type, wchar_t (&path)[pathCapacity], const wchar_t* title, DWORD flags)
{
    RememberedSettings& remembered = runSettings();
    if (!askForPath(false, type, path, title, flags, startingFolder(remembered.openFolder))) return false;
    remembered.openFolder = folderOfPath(path);
    return true;
}

bool askForSaveTarget(const FileType& type, const std::wstring& proposedName, std::wstring& target,
                      const wchar_t* initialFolder)
{
    wchar_t path[pathCapacity] = L"";
    if (proposedName.size() < pathCapacity) lstrcpynW(path, proposedName.c_str(), pathCapacity);
    RememberedSettings& remembered = runSettings();
    if (!initialFolder) initialFolder = startingFolder(remembered.saveFolder);
    if (!askForPath(true, type, path, L"名前を付けて保存", OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOREADONLYRETURN,
                    initialFolder))
        return false;
    target = path;
    remembered.saveFolder = folderOfPath(target);
    return true;
}

std::wstring nameAfterTheSound(const wchar_t* extension)
{
    wchar_t shown[pathCapacity] = L"";
    GetDlgItemTextW(controlPanel.load(), IDC_FILE_NAME, shown, pathCapacity);
    std::wstring name = shown;
    const size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos) name = name.substr(slash + 1);
    const size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos) name.resize(dot);
    if (name.empty()) name = L"Kelvara";
    return name + L"." + extension;
}
