// The voice behind a recording drawn while it comes in: the pitch and the
// formants of each live column (LiveColumns.h), measured at its frame's
// centre as a run measures its columns, once every sample they read is in.
// The formant window reaches 25 ms past the centre and the pitch window
// 20 ms, against half a frame for the picture, so they follow it a column
// or so behind. The pitch is the best path through the columns measured so
// far, so its newest columns may still change as more comes in; the
// formants are drawn where a column lies within reach of the loudest so far.
#ifndef KELVARA_LIVE_VOICE_H
#define KELVARA_LIVE_VOICE_H

#include <cstdint>
#include <vector>

#include "core/analysis/Formants.h"
#include "core/analysis/Pitch.h"
#include "core/analysis/VoiceNumbers.h"

class LiveVoice {
public:
    // `samples`: the recording's buffer of `capacity` samples, filling from
    // its start; it must outlive this. The formants are measured with the
    // ceiling of `speakerKind`.
    LiveVoice(const double* samples, uint32_t capacity, uint32_t rate, int32_t frameLength, int speakerKind);

    // `captured` samples are in and columns [0, painted) are on the screen:
    // measures those of them whose windows are in too. True when any column
    // was measured.
    bool catchUp(uint32_t captured, int32_t painted);
    int32_t columnsMeasured() const { return static_cast<int32_t>(firstSamples_.size()); }

    // The columns measured so far as a run's numbers, F0 on the best path so
    // far. Allocates nothing beyond the path.
    void fill(VoiceNumbers& voice) const;

private:
    const double* samples_;
    uint32_t capacity_, rate_;
    int32_t frameLength_;
    FormantSettings formantSettings_;
    PitchTracker tracker_;
    std::vector<uint32_t> firstSamples_;
    std::vector<double> levels_;
    std::vector<FormantSet> formants_;
    std::vector<double> newCentres_;
};

#endif
