// The numbers behind the voice print and the spectrum, as the two views took
// them from their frames: the readouts show them and the export writes them.
//
// The views write them on the display thread, each time they take a frame,
// and the readouts read them there too; the export reads them on the
// user-interface thread. The lock is held only while a view copies a frame
// in (a few kilobytes) and while the export formats them, so a run never
// waits for it longer than one export, and the export runs only when idle.
#ifndef KELVARA_SHOWN_NUMBERS_H
#define KELVARA_SHOWN_NUMBERS_H

#include <mutex>

#include "core/analysis/AnalysisNumbers.h"
#include "core/analysis/VoiceNumbers.h"

struct ShownNumbers {
    std::mutex lock;
    VoicePrintNumbers voicePrint;  // the last voice-print run
    FrameNumbers frame;            // the spectrum view's frame
    VoiceNumbers voice;            // pitch, formants and levels of the last run's columns
};

// In static storage: the voice print's numbers are megabytes.
ShownNumbers& shownNumbers();

#endif
