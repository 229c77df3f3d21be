// Pixel places of the graph views. Expected figures are either the ones the
// drawings are known to have (label texts, grid rows, the spectrum's x for
// N = 1024 and 16, the voice print's kilohertz rows) or recomputed here with
// integer arithmetic, independently of the code under test.
#include "core/views/ViewGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

// ---- Waveform ----

struct LabelCase {
    uint32_t count;
    uint32_t rate;
    const wchar_t* total;
    const wchar_t* half;
};

TEST(WaveformLabels, TotalAndHalfOfTheSoundLength)
{
    const LabelCase cases[] = {
        {176400, 22050, L"8.00 sec", L"4.00 sec"},   // 8 s at 22050 Hz
        {352800, 44100, L"8.00 sec", L"4.00 sec"},   // 8 s at 44100 Hz
        {33075, 22050, L"1.50 sec", L"0.75 sec"},
        {1, 22050, L"0.00 sec", L"0.00 sec"},
        {0, 22050, L"0.00 sec", L"0.00 sec"},        // empty sound
        {1000, 0, L"0.00 sec", L"0.00 sec"},         // a format without a rate
    };
    for (const LabelCase& c : cases) {
        const double total = soundSeconds(c.count, c.rate);
        EXPECT_EQ(secondsLabel(total), c.total) << c.count << " at " << c.rate;
        EXPECT_EQ(secondsLabel(total * 0.5), c.half) << c.count << " at " << c.rate;
    }
    EXPECT_EQ(secondsLabel(0.0), L"0.00 sec");
}

TEST(WaveformLabels, TotalRightAlignedToColumn549AndHalfCentred)
{
    EXPECT_EQ(totalLabelX(60), 489);
    EXPECT_EQ(halfLabelX(60), 245);
    EXPECT_EQ(totalLabelX(61), 488);
    EXPECT_EQ(halfLabelX(61), 245);  // (551 - 61) / 2 = 245 exactly
    EXPECT_EQ(halfLabelX(62), 244);  // 244.5 truncated
}

TEST(WaveformColumnScan, ShortSoundShowsOneSamplePerColumn)
{
    // 100 samples: each column's share is about 0.18 of a sample, so column j
    // shows the single sample j*100/551.
    std::vector<double> samples(100);
    for (int i = 0; i < 100; ++i) samples[i] = (i % 2 ? 1.0 : -1.0) * (100 * i + 7);
    for (int j = 0; j < columnCount; ++j) {
        const double expected = samples[j * 100 / 551];
        const ColumnExtent e = columnExtentOf(samples.data(), 100, j);
        ASSERT_EQ(e.low, expected) << "column " << j;
        ASSERT_EQ(e.high, expected) << "column " << j;
    }
}

TEST(WaveformColumnScan, ColumnCoversItsShareOfTheSamples)
{
    // 1000 samples: a share of 1.81 samples, so column j scans samples a and
    // a + 1 with a = j*1000/551.
    std::vector<double> samples(1000);
    for (int i = 0; i < 1000; ++i) samples[i] = (i % 3 == 0 ? -1.0 : 1.0) * (i * 31 % 997);
    for (int j = 0; j < columnCount; ++j) {
        const int a = j * 1000 / 551;
        const ColumnExtent e = columnExtentOf(samples.data(), 1000, j);
        ASSERT_EQ(e.low, std::min(samples[a], samples[a + 1])) << "column " << j;
        ASSERT_EQ(e.high, std::max(samples[a], samples[a + 1])) << "column " << j;
    }
}

TEST(WaveformColumnScan, NeverReadsAtOrPastTheSampleCount)
{
    // A sentinel sits just past the sound. With counts that are multiples of
    // 551 the last column's share ends exactly on the count, so a scan that
    // runs one step too far reads it.
    const double sentinel = 1e9;
    std::vector<uint32_t> counts;
    for (uint32_t m = 1; m <= 400; ++m) counts.push_back(551 * m);
    for (uint32_t n = 1; n <= 1200; n += 7) counts.push_back(n);
    for (uint32_t count : counts) {
        std::vector<double> samples(count + 1, -5.0);
        samples[count] = sentinel;
        for (int j = 0; j < columnCount; ++j) {
            const ColumnExtent e = columnExtentOf(samples.data(), count, j);
            ASSERT_EQ(e.high, -5.0) << "count " << count << " column " << j;
        }
    }
}

TEST(WaveformRows, SampleValueToRow)
{
    const struct {
        double sample;
        int row;
    } cases[] = {
        {0, 64}, {32767, 0}, {-32768, 128}, {16384, 31}, {-16384, 96}, {1, 63}, {-1, 64}, {511, 63}, {512, 62},
    };
    for (const auto& c : cases) EXPECT_EQ(waveformRow(c.sample), c.row) << c.sample;
}

TEST(WaveformTrace, SilenceDrawsNoLine)
{
    const std::vector<double> silence(5000, 0.0);
    const std::vector<PixelPoint> trace = waveformTrace(silence.data(), 5000);
    ASSERT_EQ(trace.size(), 1u);  // the pen's start only
    EXPECT_EQ(trace[0], (PixelPoint{0, 64}));
    EXPECT_TRUE(waveformTrace(nullptr, 0).empty());
}

TEST(WaveformTrace, StrokeFromMinimumToMaximumInEveryColumn)
{
    // 100 samples, one per column: negative samples give a point at their row
    // only, positive ones likewise, zero ones none.
    std::vector<double> samples(100);
    for (int i = 0; i < 100; ++i) samples[i] = (i % 4 == 3) ? 0.0 : (i % 2 ? 8192.0 : -8192.0);
    std::vector<PixelPoint> expected{{0, 64}};
    for (int j = 0; j < columnCount; ++j) {
        const double s = samples[j * 100 / 551];
        if (s < 0) expected.push_back({j, 80});  // 64 + 16.0002
        if (s > 0) expected.push_back({j, 47});  // 64 - 16.0002
    }
    EXPECT_EQ(waveformTrace(samples.data(), 100), expected);

    // A column holding both signs strokes down to its minimum, then up.
    // 1102 samples give two to a column; the rest is silent.
    std::vector<double> both(1102, 0.0);
    both[0] = -32768;
    both[1] = 32767;
    EXPECT_EQ(waveformTrace(both.data(), 1102), (std::vector<PixelPoint>{{0, 64}, {0, 128}, {0, 0}}));
}

TEST(WaveformGrid, RowsEveryEightPixelsAndDoubledQuarterLines)
{
    std::vector<int> rows;
    for (int y = 0; y <= 128; y += 8) rows.push_back(y);
    EXPECT_EQ(waveformGridRows(), rows);

    const std::vector<int> columns = waveformGridColumns();
    ASSERT_EQ(columns.size(), 48u);
    for (int i = 0; i < 44; ++i) EXPECT_EQ(columns[i], (i * 551) / 44);
    EXPECT_EQ(columns[1], 12);
    EXPECT_EQ(columns[2], 25);
    EXPECT_EQ(columns[3], 37);
    EXPECT_EQ(columns[43], 538);
    EXPECT_EQ(std::vector<int>(columns.begin() + 44, columns.end()), (std::vector<int>{1, 138, 276, 414}));
}

TEST(RepaintStrips, CursorStripCoversOldAndNewTwoPixelLines)
{
    EXPECT_EQ(cursorStrip(10, 12), (ColumnSpan{9, 14}));  // columns 9..13
    EXPECT_EQ(cursorStrip(12, 10), (ColumnSpan{9, 14}));
    EXPECT_EQ(cursorStrip(0, 0), (ColumnSpan{-1, 2}));
    EXPECT_EQ(cursorStrip(40, 42), (ColumnSpan{39, 44}));
    EXPECT_EQ(cursorStrip(0, 65535), (ColumnSpan{-1, 65537}));
}

TEST(RepaintStrips, DragIncludesTheNewEndReleaseStopsBeforeIt)
{
    EXPECT_EQ(dragStrip(5, 9), (ColumnSpan{5, 10}));
    EXPECT_EQ(dragStrip(9, 5), (ColumnSpan{5, 10}));
    EXPECT_EQ(releaseStrip(5, 9), (ColumnSpan{5, 9}));
    EXPECT_EQ(releaseStrip(9, 5), (ColumnSpan{5, 9}));
    EXPECT_EQ(releaseStrip(7, 7), (ColumnSpan{7, 7}));
}

struct BandCase {
    uint32_t start;
    uint32_t end;
    std::vector<std::pair<ColumnSpan, bool>> parts;
};

TEST(SelectionBand, CopiesTheSelectedColumnsInverted)
{
    const BandCase cases[] = {
        {10, 20, {{{0, 10}, false}, {{10, 20}, true}, {{20, 551}, false}}},
        {20, 10, {{{0, 10}, false}, {{10, 20}, true}, {{20, 551}, false}}},  // dragged leftwards
        {5, 5, {{{0, 5}, false}, {{5, 551}, false}}},                         // a click: no band
        {0, 551, {{{0, 551}, true}}},
        {100, 600, {{{0, 100}, false}, {{100, 551}, true}}},
        {600, 700, {{{0, 551}, false}}},
        {0, 0, {{{0, 551}, false}}},
    };
    for (const BandCase& c : cases) {
        const SelectionCopies copies = selectionCopies(c.start, c.end);
        ASSERT_EQ(copies.count, static_cast<int>(c.parts.size())) << c.start << ".." << c.end;
        for (int i = 0; i < copies.count; ++i) {
            EXPECT_EQ(copies.parts[i].span, c.parts[i].first) << c.start << ".." << c.end << " part " << i;
            EXPECT_EQ(copies.parts[i].inverted, c.parts[i].second) << c.start << ".." << c.end << " part " << i;
        }
    }
}

// ---- Spectrum ----

TEST(SpectrumGrid, RowsEveryTenthAndKilohertzColumns)
{
    EXPECT_EQ(spectrumGridRows(), (std::vector<int>{0, 12, 25, 38, 51, 64, 76, 89, 102, 115, 128}));
    const std::vector<int> columns = spectrumGridColumns();
    ASSERT_EQ(columns.size(), 45u);
    EXPECT_EQ(columns[1], 33);
    EXPECT_EQ(columns[16], 533);  // the last one inside the window
    EXPECT_GE(columns[17], 551);
    EXPECT_EQ(std::vector<int>(columns.begin() + 40, columns.end()), (std::vector<int>{1, 167, 334, 501, 667}));
}

TEST(SpectrumCurve, EntryAbscissaeAtKnownFrameLengths)
{
    // Entry i at i * rate / N Hz, 30 Hz a pixel, truncated:
    //   N 1024 at 22050: entry 1 at 21.53 Hz -> 0, entry 511 at 11003.50 Hz -> 366;
    //   N 16 at 22050: entry 1 at 1378.125 Hz -> 45, entry 7 at 9646.875 Hz -> 321;
    //   N 4096 at 44100: entry 1 at 10.77 Hz -> 0, entry 2047 at 22039.23 Hz -> 734;
    //   entry 0 is at 0 Hz -> 0 for any frame.
    const struct {
        int entry;
        int length;
        uint32_t rate;
        int x;
    } cases[] = {
        {1, 1024, 22050, 0}, {511, 1024, 22050, 366}, {1, 16, 22050, 45}, {7, 16, 22050, 321},
        {1, 4096, 44100, 0}, {2047, 4096, 44100, 734}, {0, 1024, 22050, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(spectrumEntryX(c.entry, c.length, c.rate), c.x) << c.entry << "/" << c.length;
}

TEST(SpectrumCurve, AbscissaMatchesIntegerFrequencyOverThirty)
{
    // i*rate/N/30 in whole-number division, for every entry drawn.
    for (uint32_t rate : {8000u, 22050u, 44100u, 48000u}) {
        for (int order = 1; order <= 12; ++order) {
            const int n = 1 << order;
            for (int i = 0; i <= n / 2 - 1; ++i) {
                const int64_t expected = (int64_t{i} * rate) / (int64_t{n} * 30);
                ASSERT_EQ(spectrumEntryX(i, n, rate), expected) << "rate " << rate << " N " << n << " entry " << i;
            }
        }
    }
}

TEST(SpectrumCurve, ClosingPointOnTheBottomEdge)
{
    // Under the last entry drawn, N/2 - 1, at (N/2 - 1) * rate / N Hz.
    EXPECT_EQ(spectrumClosingPoint(1024, 22050), (PixelPoint{366, 128}));  // 11003.50 Hz
    EXPECT_EQ(spectrumClosingPoint(16, 22050), (PixelPoint{321, 128}));    // 9646.875 Hz
    EXPECT_EQ(spectrumClosingPoint(4, 22050), (PixelPoint{183, 128}));     // 5512.5 Hz
    // Two-point frame: entry 0 is the last, so the line ends under the start.
    EXPECT_EQ(spectrumClosingPoint(2, 22050), (PixelPoint{0, 128}));
}

TEST(SpectrumCurve, FrequencyAndAbscissaThirtyHertzAPixel)
{
    EXPECT_EQ(spectrumFrequencyOfX(82), 2460.0);
    EXPECT_EQ(spectrumXOfFrequency(2460.0), 82) << "a whole multiple of 30 Hz is on its own column";
    EXPECT_EQ(spectrumXOfFrequency(2489.99), 82);
    EXPECT_EQ(spectrumXOfFrequency(29.99), 0);
    for (int x = 0; x < 551; ++x) ASSERT_EQ(spectrumXOfFrequency(spectrumFrequencyOfX(x)), x);
    EXPECT_EQ(voicePrintBinOfRow(voicePrintRowOfBin(57)), 57);
    EXPECT_EQ(voicePrintBinOfRow(0), 279);
}

TEST(SpectrumCurve, MagnitudeToRow)
{
    const struct {
        double m;
        int row;
    } cases[] = {{1.0, 0}, {0.0, 128}, {0.5, 64}, {0.999, 0}, {0.01, 126}, {0.1, 115}};
    for (const auto& c : cases) EXPECT_EQ(spectrumRow(c.m), c.row) << c.m;
}

// ---- Voice print ----

struct KilohertzCase {
    int step;
    std::vector<int> rows;  // rows of 0, 1, 2 ... kHz
};

TEST(VoicePrintScale, KilohertzRowsForTheMaximumFrequencySetting)
{
    const KilohertzCase cases[] = {
        {-3, {279, 224, 169, 115, 60, 5}},
        {0, {279, 232, 186, 139, 93, 46, 0}},
        {10, {279, 248, 217, 186, 155, 124, 93, 62, 31, 0}},
        {-10, {279, 186, 93, 0}},
    };
    for (const KilohertzCase& c : cases)
        for (size_t n = 0; n < c.rows.size(); ++n)
            EXPECT_EQ(kilohertzRow(static_cast<int>(n), c.step), c.rows[n]) << "p " << c.step << " " << n << " kHz";

    // Above the picture: 6 and 7 kHz at p = -3, 10 kHz at p = 10.
    EXPECT_LT(kilohertzRow(6, -3), 0);
    EXPECT_LT(kilohertzRow(7, -3), 0);
    EXPECT_LT(kilohertzRow(10, 10), 0);
}

TEST(VoicePrintScale, LabelsStandJustAboveTheirTicks)
{
    EXPECT_EQ(axisLabelTop(0, -3, 16), 263);
    EXPECT_EQ(axisLabelTop(1, -3, 16), 208);  // 224.36 - 16
    // 5.82 - 16 truncates toward zero, to -10, not down to -11.
    EXPECT_EQ(axisLabelTop(5, -3, 16), -10);
}

TEST(VoicePrintScale, PixelsPerHertzSpansTheMaximumFrequency)
{
    for (int p = -10; p <= 10; ++p) {
        const double fMax = 6029.296875 * (1 + 0.05 * p);
        EXPECT_NEAR(pixelsPerHertz(p) * fMax, 280.0, 1e-9) << p;
    }
}

TEST(VoicePrintPixels, BinRowAndColourIndex)
{
    const struct {
        int bin;
        double value;
        int row;
        int index;
    } cases[] = {
        {0, 0.0, 279, 0}, {279, 1.0, 0, 255}, {140, 0.5, 139, 127}, {1, 0.004, 278, 1}, {2, 0.0039, 277, 0},
    };
    for (const auto& c : cases) {
        const BinPixel p = voicePrintPixel(c.bin, c.value);
        EXPECT_EQ(p.row, c.row) << c.bin;
        EXPECT_EQ(p.colorIndex, c.index) << c.value;
    }
}

// ---- Window shape and colour sample ----

TEST(WindowShapeBars, BarTopsOfTheWindowKinds)
{
    int tops[windowShapeWidth];

    windowShapeBarTops(0, tops);  // rectangular: every bar reaches row 1
    for (int i = 0; i < windowShapeWidth; ++i) ASSERT_EQ(tops[i], 0) << i;

    windowShapeBarTops(1, tops);  // Hanning: weight 0 at the edge, no bar
    EXPECT_EQ(tops[0], 32);
    EXPECT_EQ(tops[46], 0);
    EXPECT_EQ(tops[47], 0);

    windowShapeBarTops(2, tops);  // Hamming: 0.08 at the edge, rows 30 and 31
    EXPECT_EQ(tops[0], 29);

    windowShapeBarTops(3, tops);  // Blackman: about 0 at the edge; a top of 31 still paints only row 32
    EXPECT_GE(tops[0], 31);
    EXPECT_EQ(tops[46], 0);

    int unknown[windowShapeWidth];
    windowShapeBarTops(7, unknown);
    for (int i = 0; i < windowShapeWidth; ++i) ASSERT_EQ(unknown[i], 0) << i;
}

TEST(WindowShapeBars, BarTopFromTheWindowedSample)
{
    EXPECT_EQ(windowBarTop(32767.0), 0);
    EXPECT_EQ(windowBarTop(0.0), 32);
    EXPECT_EQ(windowBarTop(32767.0 * 0.08), 29);
    EXPECT_EQ(windowBarTop(16000.0), 16);  // 32 - 15.63
}

TEST(ColorSampleRows, RowToColourIndex)
{
    const int rows[] = {147, 146, 145, 144, 143, 74, 1};
    const int indices[] = {1, 3, 5, 6, 8, 128, 254};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(colorSampleIndex(rows[i]), indices[i]) << "row " << rows[i];
}

TEST(Truncation, TowardZeroAndSafeForNonNumbers)
{
    EXPECT_EQ(truncToInt(2.9), 2);
    EXPECT_EQ(truncToInt(-2.9), -2);
    EXPECT_EQ(truncToInt(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_GT(truncToInt(1e300), 1000000);
    EXPECT_LT(truncToInt(-1e300), -1000000);
}

}  // namespace
