// The 280 display bins of one voice-print column and the frequency span they
// cover: display bin i shows the magnitude entry at or just below the
// frequency i * (1 + 0.05 k) * 22050 / 1024 Hz, without interpolation, so
// the bins span 0 to (1 + 0.05 k) * 6029.296875 Hz whatever the frame length
// and the sample rate. k is the panel's maximum-frequency setting (-10..10).
//
// The engine's mapping, the panel's maximum-frequency echo and the voice
// print's kilohertz scale are all worked out from frequencySpanScale, each in
// its own historical order of operations, so each keeps its exact bits.
#ifndef KELVARA_DISPLAY_BINS_H
#define KELVARA_DISPLAY_BINS_H

#include <cstdint>

constexpr int displayBinCount = 280;

// At k = 0 display bin i is magnitude entry i of a 1024-point frame at 22050 Hz.
constexpr double binReferenceRate = 22050.0;
constexpr double binReferenceLength = 1024.0;

// How much wider than at k = 0 the bins span: 1 + 0.05 k.
constexpr double frequencySpanScale(int maxFreqStep) { return 1 + 0.05 * maxFreqStep; }

// The frequency the bins reach at k = 0: 280 bins of 22050/1024 Hz.
constexpr double referenceSpanHz = displayBinCount * binReferenceRate / binReferenceLength;
static_assert(referenceSpanHz == 6029.296875, "the span is exact in doubles");

// Highest frequency the voice print shows, and the panel echoes.
constexpr double maxFrequencyHz(int maxFreqStep) { return frequencySpanScale(maxFreqStep) * referenceSpanHz; }

// Magnitude entries per display bin for a frame of 2 * half entries at
// `sampleRate`, formed once and in the order the voice prints have always been
// drawn with. Not finite or not positive for a rate of 0 or an absurd k.
inline double displayBinStep(int half, uint32_t sampleRate, int maxFreqStep)
{
    return (binReferenceLength / 2 / half) * sampleRate / (frequencySpanScale(maxFreqStep) * binReferenceRate);
}

// The entry that bin `bin` shows, given that step, or -1 when the bin lies at
// or beyond `half` (or the step is NaN or negative). The mapping below and
// every reader of "the entry behind a bin" go through this one function, so
// a readout can never name a different entry than the one painted.
inline int displayBinEntryAt(int bin, double step, int half)
{
    const double position = bin / step;
    return position >= 0.0 && position < half ? static_cast<int>(position) : -1;
}

// The entry behind each bin, -1 from the first bin that has none on. Returns
// how many bins have an entry (they are always bins 0..count-1).
int displayBinEntries(int half, uint32_t sampleRate, int maxFreqStep, int32_t entries[displayBinCount]);

// Fills bins[0..279] from magnitude[0..half-1] of a frame at `sampleRate`.
// From the first bin whose entry would lie at or beyond `half` on (an 8000 Hz
// sound does not reach the top), and for a rate of 0 everywhere, the bins
// are 0: the background, as for silence.
void mapToDisplayBins(const double* magnitude, int half, uint32_t sampleRate, int maxFreqStep,
                      double bins[displayBinCount]);

#endif
