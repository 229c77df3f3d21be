// placeholder: filled by its owner
#include "panel/PanelCommands.h"
void openSoundFile(HWND) {}
void refreshViewsFromSound(HWND) {}
