// The open and save dialogs for a .wav file, which differ only in their title,
// flags and starting folder: both are owned by the main window, offer the
// WAVE filter first and add ".wav" to a name typed without an extension.
#ifndef KELVARA_WAV_FILE_DIALOG_H
#define KELVARA_WAV_FILE_DIALOG_H

#include <windows.h>
#include <commdlg.h>  // the OFN_ flags

constexpr DWORD wavPathCapacity = 260;

enum class WavDialog { Open, Save };

// Shows the dialog, with `flags` of OFN_, over `path`, which holds the proposed name ("" for none);
// `initialFolder` null lets the dialog choose. True with the chosen path in
// `path`; a cancel and a failure both give false.
bool askForWavPath(WavDialog kind, wchar_t (&path)[wavPathCapacity], const wchar_t* title, DWORD flags,
                   const wchar_t* initialFolder = nullptr);

#endif
