// What the panel hands the views while a recording is drawn as it comes in,
// beside the frames of the usual hand-over (FrameHandshake.h): the
// waveform's column extents, the level line's text, and when each voice-print
// column's samples came back from the device, so that the voice-print view
// can say how long they took to reach the screen.
//
// The panel (user-interface thread) writes a column's entries before it posts
// the message that names the column; the views (display thread) read them
// after. The words are atomics, so a late message of an earlier recording
// reads whole values, at worst of the newer one.
#ifndef KELVARA_LIVE_VIEW_H
#define KELVARA_LIVE_VIEW_H

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "core/analysis/LiveColumns.h"
#include "core/base/Columns.h"

struct LiveView {
    // The planned length, for the waveform's time labels.
    std::atomic<double> plannedSeconds{0.0};
    // Waveform rows of each column's smallest and largest sample.
    std::atomic<int> lowRow[columnCount] = {};
    std::atomic<int> highRow[columnCount] = {};
    std::atomic<bool> lowDrawn[columnCount] = {};   // the column has a sample below 0
    std::atomic<bool> highDrawn[columnCount] = {};  // ... and above 0
    // Steady-clock microseconds at which the block that completed each
    // voice-print column came back; 0 once the column has been shown.
    std::atomic<int64_t> columnArrived[columnCount] = {};

    std::mutex lock;           // guards what follows
    std::wstring levelText;    // the level line while recording
    LatencyFigures latency;    // block back to column on the screen
};

LiveView& liveView();

// Microseconds of the steady clock, the one both threads time with.
int64_t steadyMicroseconds();

// The voice-print view shows columns [first, end): each one a block brought
// adds its latency to the figures.
void noteLiveColumnsShown(int first, int end);

#endif
