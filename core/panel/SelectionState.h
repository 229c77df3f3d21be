// The selection: the stretch of the sound the user has marked and the
// positions the analysis works from. What the program is doing, which decides
// which commands may run, has its own owner (Activity.h).
//
// The panel's refresh and the waveform view write the selection; the views,
// the workers and the analysis read it. Each is a std::atomic of its own, so
// a reader always sees a whole value; the activity owner makes sure every
// value has one writer at a time.
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

// Back to nothing selected (for tests; the program starts so).
void resetSelectionState();

#endif
