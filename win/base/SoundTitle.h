// The main window's title names the one sound (core/panel/WindowTitle.h),
// and this is the one place that knows whether the sound is a recording not
// yet saved: a new recording is unsaved until "名前を付けて保存" writes it,
// and a sound loaded from a file never is. Whatever must ask before a
// recording is lost asks recordingUnsaved().
#ifndef KELVARA_SOUND_TITLE_H
#define KELVARA_SOUND_TITLE_H

#include <string>

// The sound now is the file at `path` (it was loaded from it or saved to it).
void titleForFile(const std::wstring& path);
// The sound now is a recording made just now, not saved yet.
void titleForRecording();
bool recordingUnsaved();

#endif
