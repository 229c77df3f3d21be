// The fundamental frequency (F0) of a voice, by the autocorrelation method of
// Boersma (1993), "Accurate short-term analysis of the fundamental frequency
// and the harmonics-to-noise ratio of a sampled sound":
//  - the sound, low-passed and taken to about 7 kHz (a whole fraction of its
//    rate; F0 and its strongest harmonics lie far below), is cut into a
//    Hanning window three periods of the floor long around each centre, with
//    the local mean removed;
//  - the window's autocorrelation, by FFT, divided by the window's own, gives
//    the normalised autocorrelation r(lag); its maxima between the lags of the
//    ceiling and the floor, refined by windowed-sinc interpolation, are the
//    voiced candidates, with strength r - octaveCost * log2(floor * lag);
//  - every frame also has the unvoiced candidate, stronger where the frame is
//    quiet against the loudest point of the whole sound:
//    voicingThreshold + max(0, 2 - (local peak / global peak) /
//    (silenceThreshold / (1 + voicingThreshold)));
//  - one path through the candidates of all the centres maximises the summed
//    strengths less the costs of octave jumps (octaveJumpCost * |log2 ratio|)
//    and voicing changes (voicedUnvoicedCost), both times 0.01 s / the time
//    between the two centres, so the costs per second do not depend on how
//    densely the centres lie.
//
// No shared state: any thread may call it, several at once; it allocates its
// work buffers once per call, never per frame.
#ifndef KELVARA_PITCH_H
#define KELVARA_PITCH_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct PitchSettings {
    double floorHz = 75.0, ceilingHz = 600.0;
    int maxCandidates = 15;
    double silenceThreshold = 0.03, voicingThreshold = 0.45;
    double octaveCost = 0.01, octaveJumpCost = 0.35, voicedUnvoicedCost = 0.14;
};

// F0 in Hz at each of `centreCount` frame centres (sample positions into `samples`, ascending, may be fractional),
// 0 where unvoiced (or where the analysis window does not fit). Samples on any scale (the program uses the
// signed 16-bit scale, full scale 32768). The best path is found over the given centres together.
// Settings out of range (a floor not below the ceiling, a rate or floor of 0, NaN, maxCandidates outside
// 2..100) give all zeros.
std::vector<double> trackPitch(const double* samples, size_t sampleCount, double sampleRate,
                               const double* centres, size_t centreCount, const PitchSettings& settings = {});

// The same tracker frame by frame, for a sound that is still coming in (a
// recording drawn while it is made). The buffer has room for `capacity`
// samples and fills from its start; a frame is added once every sample it
// reads is in, and the best path through the frames added so far can be
// asked for at any time. Later frames can change the path's earlier
// columns, a few at most where the voice is clear. The unvoiced candidates
// weigh each frame's local peak against the loudest point of the sound so
// far, so quiet frames may change from voiced to unvoiced once a louder part
// comes in; once the buffer is full and every frame is added, the path is
// the one trackPitch gives for the same centres.
// The buffer must outlive the tracker; one thread at a time.
class PitchTracker {
public:
    PitchTracker(const double* samples, size_t capacity, double sampleRate, const PitchSettings& settings = {});
    ~PitchTracker();
    PitchTracker(const PitchTracker&) = delete;
    PitchTracker& operator=(const PitchTracker&) = delete;

    // Samples [0, count) are in; the count only grows (a smaller one is
    // ignored), up to the capacity.
    void samplesArrived(size_t count);
    // Adds the frame centred at `centre`, which must not lie before the last
    // one added. False, adding nothing, while a sample it reads is not in
    // yet. A frame whose window reaches outside the capacity (or whose
    // centre is not a number) is added at once, unvoiced.
    bool addFrame(double centre);
    size_t frameCount() const;
    // F0 at each frame added so far, 0 where unvoiced.
    std::vector<double> bestPath() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

#endif
