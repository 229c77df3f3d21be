// The control panel's three analysis runs, on the user-interface thread: the
// voice print (1023), the frame behind a voice-print column (1017) and the
// frame at the waveform cursor (1018). How they hand frames to the views is
// in win/analysis/AnalysisRuns.cpp and win/base/FrameHandshake.h.
#ifndef KELVARA_ANALYSIS_RUNS_H
#define KELVARA_ANALYSIS_RUNS_H

#include <windows.h>

#include <cstdint>

// Whether a run may start, and what a player or recorder running beside it
// leaves the panel doing, is the activity owner's (Activity.h); the second
// parameter is no longer asked.
void runVoicePrint(HWND panel, bool (*workerRunning)());  // 1023
void runFrameAtColumn(HWND panel, WPARAM wParam, LPARAM lParam);  // 1017 (ignores the echo edit's notifications)
void runCursor(HWND panel, int kind);                // 1018 from WaveDraw
// The speaker has changed: the last run's formants measured again with its
// ceiling, if the sound is still the one the run measured; a run under way
// takes the new ceiling at its end anyway.
void remeasureLastRunsFormants();
// Microseconds the last voice-print run spent in its frames' arithmetic
// (phase 0), waiting for the views to take them (1), posting them (2) and
// measuring the pitch and formants of its columns (3); 0 for another phase
// (MSG_RUN_TIMES).
int64_t lastRunMicroseconds(int phase);

#endif
