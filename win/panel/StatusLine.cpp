// The panel's status line: the program's only progress report ("Open A
// File...", "Voice-Print...Done." and the rest), written by every command.
#include "win/panel/PanelCommands.h"

#include "win/panel/ControlWrapper.h"

void setStatus(const wchar_t* text)
{
    panelControls::statusLine.setText(text);
}
