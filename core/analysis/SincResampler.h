// The sound on a coarser grid for the voice measurements: output sample j is
// the sound low-passed below the new Nyquist frequency and read at input
// position j * step (step = input rate / output rate, 1 or more). The kernel
// is a Hann-tapered sinc reaching `zeroCrossings` output samples either side
// and cutting off at `cutoff` times the output rate (0.5 at most), tabulated
// at 1/512 of an input sample (the nearest phase is used); its gain at 0 Hz
// is 1. The longer the kernel, the narrower its transition band: the
// band below the cutoff keeps its level up to about cutoff - 0.6 /
// zeroCrossings of the output rate. At step 1 it passes the samples through.
// Samples outside the sound count as zero.
//
// A window of the grid is kept: stretch(first, count) gives output samples
// first .. first + count - 1, reusing what the previous call computed where
// the two overlap, so frames that walk forward through the sound cost only
// their new samples. The pointer holds until the next call. Not thread-safe;
// one per analysis.
#ifndef KELVARA_SINC_RESAMPLER_H
#define KELVARA_SINC_RESAMPLER_H

#include <cstddef>
#include <cstdint>
#include <vector>

class SincResampler {
public:
    SincResampler(const double* samples, size_t sampleCount, double step, int zeroCrossings, double cutoff);
    double step() const { return step_; }
    // Output sample j reads input samples up to floor(j * step) + reach().
    int reach() const { return halfWidth_; }
    const double* stretch(int64_t first, size_t count);

private:
    double value(int64_t j) const;

    const double* samples_;
    int64_t sampleCount_;
    double step_;
    int halfWidth_;              // kernel taps either side, in input samples
    std::vector<double> table_;  // 513 phases of 2 * halfWidth_ taps
    std::vector<double> kept_;
    int64_t keptFirst_ = 0;
    size_t keptCount_ = 0;
};

#endif
