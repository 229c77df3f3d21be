#include "core/analysis/DisplayBins.h"

void mapToDisplayBins(const double* magnitude, int half, uint32_t sampleRate, int maxFreqStep,
                      double bins[displayBinCount])
{
    int i = 0;
    if (half >= 1) {
        const double step = displayBinStep(half, sampleRate, maxFreqStep);
        for (; i < displayBinCount; ++i) {
            const int entry = displayBinEntryAt(i, step, half);
            if (entry < 0) break;
            bins[i] = magnitude[entry];
        }
    }
    // The bins are the engine's, kept from frame to frame and from sound to
    // sound: what the spectrum does not reach must not show an earlier one.
    for (; i < displayBinCount; ++i) bins[i] = 0.0;
}

int displayBinEntries(int half, uint32_t sampleRate, int maxFreqStep, int32_t entries[displayBinCount])
{
    int count = 0;
    if (half >= 1) {
        const double step = displayBinStep(half, sampleRate, maxFreqStep);
        // Stop at the first bin without an entry, as the mapping does: a NaN
        // step has no entry at bin 0 either, so a rate of 0 gives none.
        for (; count < displayBinCount; ++count) {
            const int entry = displayBinEntryAt(count, step, half);
            if (entry < 0) break;
            entries[count] = entry;
        }
    }
    for (int i = count; i < displayBinCount; ++i) entries[i] = -1;
    return count;
}
