// The open and save dialogs, which differ only in their title, flags, file
// type and starting folder: all are owned by the main window, offer their own
// type's filter first and add its extension to a name typed without one.
// Titles are set rather than left to the system, so they read the same in
// every locale.
#ifndef KELVARA_FILE_DIALOG_H
#define KELVARA_FILE_DIALOG_H

#include <windows.h>
#include <commdlg.h>  // the OFN_ flags

#include <string>

// Characters the dialogs hand back a path in, its NUL included: the longest
// path Windows takes (in the "\\?\" form), so that no path a person can
// choose is ever cut or refused for length.
constexpr DWORD pathCapacity = 32768;

// How a dialog ended. A failure (the dialog could not be shown, or could not
// hand the path back) is not a cancel: the user chose something and is told.
enum class DialogEnd { Chosen, Cancelled, Failed };

struct FileType {
    const wchar_t* filter;     // the dialog's filter pairs, double-NUL ended
    const wchar_t* extension;  // without the dot
};
// What opens: every file the system's decoders read, .wav (read by Kelvara
// itself) among them; the file's first bytes decide which reader takes it.
inline constexpr FileType soundFiles{L"音声ファイル\0*.wav;*.mp3;*.m4a;*.aac;*.flac;*.wma;*.aif;*.aiff;*.aifc;*.ogg;*.oga;*.opus\0"
                                     L"WAV\0*.wav\0すべてのファイル\0*.*\0",
                                     L"wav"};
inline constexpr FileType wavFiles{L"WAVE ﾌｧｲﾙ(*.wav)\0*.wav\0All Files(*.*)\0*.*\0", L"wav"};
inline constexpr FileType pngFiles{L"PNG ﾌｧｲﾙ(*.png)\0*.png\0All Files(*.*)\0*.*\0", L"png"};
inline constexpr FileType bmpFiles{L"BMP ﾌｧｲﾙ(*.bmp)\0*.bmp\0All Files(*.*)\0*.*\0", L"bmp"};
inline constexpr FileType csvFiles{L"CSV ﾌｧｲﾙ(*.csv)\0*.csv\0All Files(*.*)\0*.*\0", L"csv"};

// The open dialog, in the folder last opened from (win/base/SettingsStore.h),
// which it notes; Chosen with the chosen path in `path`.
DialogEnd askForFileToOpen(const FileType& type, std::wstring& path, const wchar_t* title, DWORD flags);

// The save dialog ("名前を付けて保存", asking before it overwrites), proposing
// `proposedName` in `initialFolder` (null: the folder last saved to, or the
// dialog's own choice without one), noting the folder saved to. No
// OFN_PATHMUSTEXIST: a folder that is not there gets the save's own message.
// Chosen with the chosen path in `target`.
DialogEnd askForSaveTarget(const FileType& type, const std::wstring& proposedName, std::wstring& target,
                           const wchar_t* initialFolder = nullptr);

#endif
