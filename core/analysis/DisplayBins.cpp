#include "core/analysis/DisplayBins.h"

void mapToDisplayBins(const double* magnitude, int half, uint32_t sampleRate, int maxFreqStep,
                      double bins[displayBinCount])
{
    if (half < 1) return;
    // Entries per bin, formed once and in this order: the voice prints have
    // always been drawn from these roundings.
    const double step = (binReferenceLength / 2 / half) * sampleRate / (frequencySpanScale(maxFreqStep) * binReferenceRate);
    for (int i = 0; i < displayBinCount; ++i) {
        const double position = i / step;
        // Written so that a NaN or negative position (no sample rate, an
        // absurd k) stops the loop like one beyond the spectrum does.
        if (!(position >= 0.0 && position < half)) break;
        bins[i] = magnitude[static_cast<int>(position)];
    }
}
