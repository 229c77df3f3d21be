// The pitch curve of a recording drawn while it comes in. Each live column
// (LiveColumns.h) is measured at its frame's centre, as a run measures its
// columns, once the pitch window around that centre is in: about half the
// window (20 ms at the standard floor) after its frame, so the curve follows
// the picture a column or so behind. The best path through the columns
// measured so far is drawn; its newest columns may still change as more
// comes in.
#ifndef KELVARA_LIVE_PITCH_H
#define KELVARA_LIVE_PITCH_H

#include <cstdint>
#include <vector>

#include "core/analysis/Pitch.h"
#include "core/analysis/VoiceNumbers.h"

class LivePitch {
public:
    // `samples`: the recording's buffer of `capacity` samples, filling from
    // its start; it must outlive this.
    LivePitch(const double* samples, uint32_t capacity, uint32_t rate, int32_t frameLength);

    // `captured` samples are in and columns [0, painted) are on the screen:
    // measures those of them whose pitch window is in too. True when any
    // column was measured.
    bool catchUp(uint32_t captured, int32_t painted);
    int32_t columnsMeasured() const { return static_cast<int32_t>(firstSamples_.size()); }

    // The columns measured so far as a run's numbers: F0 on the best path so
    // far and each frame's level; no formants (they are measured by the run
    // that follows the recording).
    void fill(VoiceNumbers& voice) const;

private:
    const double* samples_;
    uint32_t capacity_, rate_;
    int32_t frameLength_;
    PitchTracker tracker_;
    std::vector<uint32_t> firstSamples_;
    std::vector<double> levels_;
};

#endif
