// The display bins against the frequency span they are said to cover.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/analysis/DisplayBins.h"

namespace {

TEST(DisplayBins, SpanTopsAreExact)
{
    EXPECT_EQ(maxFrequencyHz(0), 6029.296875);
    EXPECT_EQ(maxFrequencyHz(-3), 5124.90234375);  // the panel's start-up echo
    EXPECT_EQ(maxFrequencyHz(10), 9043.9453125);
    EXPECT_EQ(maxFrequencyHz(-10), 3014.6484375);
}

// Bin i stands at i / 280 of the span; it must show the entry whose band
// [d, d + 1) * rate / N holds that frequency, or the background (0) once the
// spectrum ends, whatever the bins held before.
TEST(DisplayBins, EachBinShowsTheEntryWhoseBandHoldsItsFrequency)
{
    for (uint32_t rate : {8000u, 22050u, 44100u, 48000u}) {
        for (int log2 : {1, 6, 10, 12}) {
            const int n = 1 << log2, half = n / 2;
            std::vector<double> entries(half + 1);
            for (int j = 0; j <= half; ++j) entries[j] = j + 1;
            for (int k : {-10, -3, 0, 7, 10}) {
                double bins[displayBinCount];
                std::fill(bins, bins + displayBinCount, -1.0);
                mapToDisplayBins(entries.data(), half, rate, k, bins);
                const long double hzPerEntry = static_cast<long double>(rate) / n;
                bool stopped = false;
                for (int i = 0; i < displayBinCount; ++i) {
                    SCOPED_TRACE(::testing::Message() << "rate " << rate << ", N " << n << ", k " << k << ", bin " << i);
                    const long double hz = i * static_cast<long double>(maxFrequencyHz(k)) / displayBinCount;
                    if (bins[i] == 0.0) {
                        stopped = true;
                        EXPECT_GE(hz, half * hzPerEntry * (1 - 1e-12L));
                        continue;
                    }
                    ASSERT_FALSE(stopped) << "an entry shown above the background";
                    ASSERT_GE(bins[i], 1.0) << "a bin left as it was";
                    const long double entry = bins[i] - 1;
                    EXPECT_LE(entry * hzPerEntry, hz * (1 + 1e-12L) + 1e-9L);
                    EXPECT_GT((entry + 1) * hzPerEntry, hz * (1 - 1e-12L));
                }
            }
        }
    }
}

// The entries the readouts name are the entries the mapping paints, and they
// stop where the mapping stops.
TEST(DisplayBins, EntriesBehindTheBinsAreThoseTheMappingShows)
{
    for (uint32_t rate : {0u, 8000u, 11025u, 44100u}) {
        for (int log2 : {1, 8, 12}) {
            const int half = (1 << log2) / 2;
            std::vector<double> entries(half + 1);
            for (int j = 0; j <= half; ++j) entries[j] = j + 1;
            for (int k : {-10, 0, 10}) {
                double bins[displayBinCount];
                std::fill(bins, bins + displayBinCount, -1.0);
                mapToDisplayBins(entries.data(), half, rate, k, bins);
                int32_t behind[displayBinCount];
                const int count = displayBinEntries(half, rate, k, behind);
                for (int i = 0; i < displayBinCount; ++i) {
                    ASSERT_EQ(behind[i], static_cast<int32_t>(bins[i]) - 1) << "rate " << rate << ", half " << half << ", k " << k << ", bin " << i;
                    ASSERT_EQ(i < count, bins[i] > 0) << "bin " << i;
                }
            }
        }
    }
}

TEST(DisplayBins, NoRateOrNoSpectrumLeavesTheBackground)
{
    const double entries[2] = {0.5, 0.25};
    double bins[displayBinCount];
    std::fill(bins, bins + displayBinCount, -1.0);
    mapToDisplayBins(entries, 1, 0, 0, bins);
    for (double bin : bins) EXPECT_EQ(bin, 0.0);
    std::fill(bins, bins + displayBinCount, -1.0);
    mapToDisplayBins(entries, 0, 22050, 0, bins);
    for (double bin : bins) EXPECT_EQ(bin, 0.0);
}

}  // namespace
