// The panel's parameters: what the user has chosen for recording, analysis,
// display and source. The selection and what the program is doing now are
// in core/panel/SelectionState.h.
//
// The control panel writes these on the user-interface thread; the views read
// several of them on the display thread, the workers and the analysis read
// others. Each is a std::atomic of its own width, so a reader always sees a
// whole value; nothing here needs a lock because the panel is the one writer.
#ifndef KELVARA_PARAMETERS_H
#define KELVARA_PARAMETERS_H

#include <atomic>
#include "core/analysis/SpectrumSettings.h"

// Recording (taken from the combos when a recording starts)
extern std::atomic<int> recordRate;      // 22050 or 44100
extern std::atomic<int> recordBits;      // 8 or 16
extern std::atomic<int> recordSeconds;   // 2..20

// Analysis
extern std::atomic<int> windowKind;          // WindowKind 0..3
extern std::atomic<int> frameOrder;          // log2 of the frame length; 0 until the first full refresh
extern std::atomic<int> framePeriod;         // samples, >= 1
extern std::atomic<int> appliedFramePeriod;  // framePeriod as of the last full refresh
extern std::atomic<int> logScale;            // 200..1000
extern std::atomic<int> rejection;           // 1..10
extern std::atomic<int> maxFreqStep;         // -10..10
extern std::atomic<int> energyLogMode;       // 0 Linear, 1 Log, -1 neither checked

// energyLogMode, logScale, rejection and maxFreqStep as they stand now, for
// the engine; the runs take them afresh for every frame, so a setting changed
// during a run shows from the next frame on.
SpectrumSettings currentSpectrumSettings();

// Display
extern std::atomic<double> colorWidth;       // 1.0..2.0
extern std::atomic<int> printMonoMode;       // 0 Color, 1 Mono, -1 neither
extern std::atomic<int> sideGraduate;        // 0 or 1
extern std::atomic<int> graduateLine;        // 0 or 1

// Overlays over the voice print, from the "表示" menu; plain values, so that
// whatever keeps the user's settings can store and restore them.
extern std::atomic<int> showPitch;           // 0 or 1: the pitch curve
extern std::atomic<int> showFormants;        // 0 or 1: the formant dots
extern std::atomic<int> speakerKind;         // SpeakerKind: the formant ceiling of the next run

// Source
extern std::atomic<int> sourceMode;          // 0 open file, 1 record, -1 neither

// Restores every value above to its start-up default (for tests; the program
// starts with these values anyway).
void resetParameters();

#endif
