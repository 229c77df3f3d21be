#include "win/panel/WavFileDialog.h"

#include "win/base/WindowRegistry.h"

bool askForWavPath(WavDialog kind, wchar_t (&path)[wavPathCapacity], const wchar_t* title, DWORD flags,
                   const wchar_t* initialFolder)
{
    OPENFILENAMEW dialog{};
    // The full record rather than the old 76-byte one: that size only ever
    // existed for 32-bit builds, and the full one gets the current dialog.
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = mainWindow;
    dialog.lpstrFilter = L"WAVE ﾌｧｲﾙ(*.wav)\0*.wav\0All Files(*.*)\0*.*\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = wavPathCapacity;
    dialog.lpstrInitialDir = initialFolder;
    dialog.lpstrTitle = title;
    dialog.Flags = flags;
    dialog.lpstrDefExt = L"wav";
    const BOOL chosen = kind == WavDialog::Save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (chosen) return true;
    CommDlgExtendedError();  // cleared; a cancel and a failure end alike
    return false;
}
