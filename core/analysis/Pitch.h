// Fundamental frequency by autocorrelation. Stand-in until the tracker lands:
// same contract, every centre unvoiced.
#ifndef KELVARA_PITCH_H
#define KELVARA_PITCH_H

#include <cstddef>
#include <vector>

struct PitchSettings {
    double floorHz = 75.0, ceilingHz = 600.0;
    int maxCandidates = 15;
    double silenceThreshold = 0.03, voicingThreshold = 0.45;
    double octaveCost = 0.01, octaveJumpCost = 0.35, voicedUnvoicedCost = 0.14;
};

// F0 Hz at each centre (sample positions, ascending, may be fractional), 0 where unvoiced.
std::vector<double> trackPitch(const double* samples, size_t sampleCount, double sampleRate, const double* centres,
                               size_t centreCount, const PitchSettings& settings = {});

#endif
