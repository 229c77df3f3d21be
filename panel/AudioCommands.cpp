// placeholder: filled by its owner
#include "panel/PanelCommands.h"
void onPlay(HWND) {}
void onPlayAll(HWND) {}
void onStopPlaying() {}
void onRecord(HWND) {}
void onStopRecording() {}
void onRecordingDone(HWND) {}
void onPlayingDone(HWND) {}
bool workerRunning() { return false; }
void stopWorkersForExit() {}
