// placeholder: filled by its owner
#include "panel/PanelCommands.h"
void runVoicePrint(HWND) {}
void runFrameAtColumn(HWND, WPARAM, LPARAM) {}
void runCursor(HWND, int) {}
