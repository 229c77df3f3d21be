// The main window's title, as Windows programs name what they hold:
// "voice-print.wav - SPECTDraw" for a sound from a file, "録音 - SPECTDraw"
// for a recording, with a leading "*" while that recording has not been
// saved, and "SPECTDraw" alone before there is any sound.
#ifndef KELVARA_WINDOW_TITLE_H
#define KELVARA_WINDOW_TITLE_H

#include <string>

enum class SoundOrigin { none, file, recording };

// `path` is the file's (only its name is shown); `unsaved` counts only for a recording.
std::wstring windowTitle(SoundOrigin origin, const std::wstring& path, bool unsaved);

#endif
