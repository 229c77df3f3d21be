// The selection and what the program is doing now: the stretch of the sound
// the user has marked, the positions the analysis works from, and the
// activity state that decides which commands may run.
//
// The panel's refresh and the waveform view write the selection, the panel
// the activity state; the views, the workers and the analysis read them.
// Each is a std::atomic of its own, so a reader always sees a whole value;
// the activity state makes sure every value has one writer at a time.
#ifndef KELVARA_SELECTION_STATE_H
#define KELVARA_SELECTION_STATE_H

#include <atomic>
#include <cstdint>

// Selection, in columns of the 551-column waveform view, and analysis positions
extern std::atomic<uint32_t> selStartX;
extern std::atomic<uint32_t> selEndX;
extern std::atomic<uint32_t> cursorX;
extern std::atomic<int> selectionLocked;     // 1 while selEndX comes from a drag
extern std::atomic<int64_t> analysisStart;   // first sample of the analysed range
extern std::atomic<int64_t> cursorSample;    // sample of a single-frame analysis

enum ActivityState : int { ActivityIdle = 0, ActivityPlaying = 1, ActivityRecording = 2, ActivityDrawing = 3 };
extern std::atomic<int> activityState;

// Back to nothing selected and idle (for tests; the program starts so).
void resetSelectionState();

#endif
