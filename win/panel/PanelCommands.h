// The command handlers that the control panel's procedure dispatches to, one
// file per concern. All run on the user-interface thread.
#ifndef KELVARA_PANEL_COMMANDS_H
#define KELVARA_PANEL_COMMANDS_H

#include <windows.h>

#include <cstdint>
#include <string>

#include "core/panel/UnsavedRecording.h"

struct PanelChoices;
struct SoundBuffer;


// win/panel/FileLoading.cpp
void openSoundFile(HWND panel);            // 32771
// A new sound first clears the voice print and the spectrum; then 1002 to
// WaveDraw, refresh 4, wait for DFTBuffWait2.
void refreshViewsFromSound(HWND panel, bool soundIsNew);
// The user-interface thread: has the panel open `path` (from the command line or a drop)
// as the dialog would, then, with `thenDraw`, draw its voice print.
void requestOpenPath(const std::wstring& path, bool thenDraw);
void openRequestedPath(HWND panel);        // CMD_OPEN_PATH
// Opens `path` over the sound at once, as a request from the command line
// does, but tells no one of a failure (a batch run reports it itself);
// true when the file was loaded and shown.
bool openPathQuietly(HWND panel, const std::wstring& path);
// Reads the sound file at `path` (a .wav, or anything the system decodes)
// into `target`, on this thread, without a dialog, a message or a view:
// true with the new sound there, false with `target` as it was.
bool readSoundFile(const wchar_t* path, SoundBuffer& target);
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
std::string numbersAsCsv();                // what 32803 writes, as it would write it now

// win/panel/PanelChoices.cpp
// Puts `choices` into the panel's controls as a person's hand would.
void applyPanelChoices(HWND panel, const PanelChoices& choices);

// win/panel/RefreshCommand.cpp
void parameterRefresh(HWND panel, int kind);  // 32789
// The analysis settings the panel's controls give a sound of this format and
// length selected whole, as a drag over all of it and a full refresh would
// set them; nothing is written back.
struct LiveSettings {
    int frameOrder = 0;
    int windowKind = 0;
    int framePeriod = 1;
    int logScale = 0;
    int rejection = 0;
    int maxFreqStep = 0;
};
LiveSettings settingsForWholeSound(uint32_t rate, uint32_t bits, uint32_t sampleCount);

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

// win/panel/ControlPanel.cpp
void echoTrackBars();                      // every track bar's echo box from its position
void applyControlEnabling();               // every control's enabled state from the settings

// win/panel/PanelSettings.cpp: the remembered settings (win/base/SettingsStore.h) in the panel
void showSettingsInPanel();                // at initialisation: the run's values into the controls, the recent files into the menu
void rememberPanelSettings();              // the controls' values into the run's settings, stored where they changed
void resetSettingsToDefaults(HWND panel);  // IDM_RESET_SETTINGS: every setting back to its default, as if set by hand
void openRecentFile(int index);            // IDM_RECENT_FIRST + index
void noteFileOpened(const std::wstring& path);  // a file was loaded: top of the recent files, its folder the open folder
void noteOpenFailed(const std::wstring& path);  // a file could not be loaded: out of the recent files if it is gone
void noteFileSaved(const std::wstring& path);   // the sound was saved: top of the recent files, its folder the save folder

#endif
