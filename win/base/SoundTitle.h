// The main window's title names the one sound (core/panel/WindowTitle.h):
// the file it was loaded from or saved to, or a recording, marked with "*"
// while it is unsaved (core/panel/UnsavedRecording.h keeps that).
#ifndef KELVARA_SOUND_TITLE_H
#define KELVARA_SOUND_TITLE_H

#include <string>

// The sound now is the file at `path` (it was loaded from it or saved to it).
void titleForFile(const std::wstring& path);
// The sound now is a recording made just now, not saved yet.
void titleForRecording();

#endif
