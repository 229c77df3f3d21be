// Where the remembered settings (core/panel/RememberedSettings.h) are kept:
// the values under HKEY_CURRENT_USER\Software\Kelvara, one registry value
// each (numbers as REG_DWORD, folders and recent files as REG_SZ). A key that
// is missing or cannot be written just means nothing is remembered; a value
// that is missing, of another type or out of range reads as its default.
//
// Everything here runs on the user-interface thread, or before it has windows.
#ifndef KELVARA_SETTINGS_STORE_H
#define KELVARA_SETTINGS_STORE_H

#include "core/panel/RememberedSettings.h"

// False for a clean start (`/defaults`): then nothing is read and nothing is
// written for the whole run. True unless set otherwise.
void setSettingsRemembered(bool remembered);
bool settingsRemembered();

// The stored settings, every value checked; defaults where nothing usable is
// stored, and all defaults when settings are not remembered.
RememberedSettings loadRememberedSettings();

// Writes what differs from what this run last read or wrote (everything, the
// first time), and takes away the recent-file values past the list's end.
// Does nothing when settings are not remembered or the key cannot be opened.
void saveRememberedSettings(const RememberedSettings& settings);

// This run's settings: loaded at start (loadSettingsForThisRun), then kept up
// to date by the panel (its values), the file dialogs (the folders) and the
// loads and saves (the recent files).
RememberedSettings& runSettings();
// Loads the run's settings and sets the parameters from them; before the
// windows are made, so that each view starts from them.
void loadSettingsForThisRun();

#endif
