// The command handlers that the control panel's procedure dispatches to, one
// file per concern. All run on the user-interface thread.
#ifndef KELVARA_PANEL_COMMANDS_H
#define KELVARA_PANEL_COMMANDS_H

#include <windows.h>

#include <cstdint>
#include <string>

#include "core/panel/UnsavedRecording.h"

// win/panel/FileLoading.cpp
void openSoundFile(HWND panel);            // 32771
void refreshViewsFromSound(HWND panel);    // 1002 to WaveDraw, refresh 4, wait for DFTBuffWait2
// The user-interface thread: has the panel open `path` (from the command line or a drop)
// as the dialog would, then, with `thenDraw`, draw its voice print.
void requestOpenPath(const std::wstring& path, bool thenDraw);
void openRequestedPath(HWND panel);        // CMD_OPEN_PATH
// Microseconds the last load spent reading (phase 0), decoding (1) and having
// the waveform drawn (2); 0 for another phase (MSG_LOAD_TIMES).
int64_t lastLoadMicroseconds(int phase);

// win/panel/FileSaving.cpp
SaveOutcome saveSoundFile(HWND panel);     // 32800
bool soundSavable();                       // a sound is there and nothing plays, records, draws or saves
void noteSoundFromFile(const wchar_t* path);  // the sound now is that file's (for the name proposed), saved
void noteSoundRecorded();                  // the sound now is a recording made just now, unsaved
// The name the save dialogs propose for an export of the sound: its file's
// name, or "Kelvara" for a recording or no sound, with `extension`.
std::wstring nameAfterTheSound(const wchar_t* extension);
// Before an action that drops the sound (record again, open, close, the end
// of the session): true when it may go on. With an unsaved recording it asks
// "録音は保存されていません。保存しますか?": Yes saves (and goes on only if
// the file was written), No goes on, Cancel stays.
bool mayLeaveTheSound(HWND panel);

// win/panel/NumbersSaving.cpp
void saveNumbers(HWND panel);              // 32803
bool numbersSavable();                     // some numbers are kept and no run is rewriting them

// win/panel/RefreshCommand.cpp
void parameterRefresh(HWND panel, int kind);  // 32789

// win/panel/AudioCommands.cpp
void onPlay(HWND panel);                   // 32774
void onPlayAll(HWND panel);                // 32775
void onStopPlaying();                      // 32776
void onRecord(HWND panel);                 // 32781
void onStopRecording();                    // 32782
void onRecordingDone(HWND panel);          // 1025
void onPlayingDone(HWND panel);            // 1026
bool workerRunning();                      // a player or recorder thread is alive
void stopWorkersForExit();                 // stop and join workers, release the devices

#endif
