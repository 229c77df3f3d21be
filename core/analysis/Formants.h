// The formants of a voice by linear prediction (Burg's method), frame by
// frame: the stretch around each centre taken to twice the ceiling (or left
// at the sound's own rate where that is lower, the ceiling then being its
// Nyquist frequency), pre-emphasised from preEmphasisFromHz
// (y[i] = x[i] - exp(-2 pi F / rate) x[i-1]), weighted by a Gaussian window
// (exp(-12 v^2) - e^-12) / (1 - e^-12), v = (t - centre) / windowSeconds from
// -1 to 1 (so it is 2 * windowSeconds long and falls to 0 at its ends, with
// side lobes below -120 dB), and fitted with 2 * maxFormants prediction
// coefficients. The prediction polynomial's roots in the upper half plane,
// z = |z| e^(i theta), give the frequency theta * rate / (2 pi) and the
// bandwidth -ln|z| * rate / pi; those below 50 Hz or above the ceiling less
// 50 Hz are dropped and the lowest four kept.
//
// No shared state: any thread may call it, several at once; it allocates its
// work buffers once per call, never per frame.
#ifndef KELVARA_FORMANTS_H
#define KELVARA_FORMANTS_H

#include <cstddef>
#include <vector>

constexpr int formantCount = 4;

struct FormantSettings {
    double ceilingHz = 5500.0;      // 5000 men, 5500 women, 8000 children
    int maxFormants = 5;            // 10 LPC coefficients
    double windowSeconds = 0.025;   // effective length; the Gaussian window is twice as long
    double preEmphasisFromHz = 50.0;
};

struct FormantSet { double hz[formantCount]; double bandwidthHz[formantCount]; };  // NaN where missing

// One set per centre (sample positions into `samples`, ascending, may be fractional); all NaN where the
// window does not fit in the sound, where the frame is silent, or where the settings are out of range.
std::vector<FormantSet> trackFormants(const double* samples, size_t sampleCount, double sampleRate,
                                      const double* centres, size_t centreCount, const FormantSettings& settings = {});

// How many samples from the start the formants of the frame centred at
// `centre` read (its window and the resampler's reach): a sound that is
// still coming in holds its frame exactly as the finished sound will once it
// has that many, if trackFormants is given the finished length as its
// sampleCount. 0 where nothing is read.
size_t formantSamplesNeeded(double centre, double sampleRate, const FormantSettings& settings = {});

#endif
