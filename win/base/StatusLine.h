// The program's one progress report ("Open A File...", "Voice-Print...Done."
// and the rest): the panel's status box. The panel attaches the box when it
// is initialised and detaches it when it goes, so that everything that
// reports, the panel's commands and the analysis runs alike, writes here
// without knowing the panel. User-interface thread only.
#ifndef KELVARA_STATUS_LINE_H
#define KELVARA_STATUS_LINE_H

#include <windows.h>

// Null detaches: later texts go nowhere.
void attachStatusLine(HWND edit);
void setStatus(const wchar_t* text);

#endif
