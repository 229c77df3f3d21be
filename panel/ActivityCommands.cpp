// placeholder: filled by its owner
#include "panel/PanelCommands.h"
void setStatus(const wchar_t*) {}
void parameterRefresh(HWND, int) {}
void onSourceMode(HWND) {}
void applySourceEnabling() {}
