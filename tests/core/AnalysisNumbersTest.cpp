// The numbers kept for the readouts: each voice-print row must stand for the
// entry its bin shows, columns must hold what was painted and the level
// behind it, and the current frame must answer for any entry and frequency.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/analysis/AnalysisNumbers.h"
#include "core/analysis/DftEngine.h"
#include "core/analysis/Framing.h"
#include "tests/core/ToneSounds.h"

namespace {

constexpr SpectrumSettings startUp{1, 320, 1, -3};

std::vector<double> twoTones(size_t count, uint32_t rate)
{
    std::vector<double> samples = tones::sine(count, 700.0, 12000.0, rate);
    const std::vector<double> upper = tones::sine(count, 2345.0, 3000.0, rate);
    for (size_t i = 0; i < count; ++i) samples[i] += upper[i] + 50.0 * std::sin(0.9 * static_cast<double>(i * i % 977));
    return samples;
}

// Row j stands for j * maxFrequencyHz(k) / 280 Hz, and the entry behind it is
// the one whose band [d, d + 1) * rate / N holds that frequency; the painted
// value and the raw magnitude of the column are that entry's.
TEST(VoicePrintNumbers, EachRowHoldsTheEntryItsBinShows)
{
    auto numbers = std::make_unique<VoicePrintNumbers>();
    for (uint32_t rate : {8000u, 22050u, 44100u}) {
        SoundBuffer sound;
        tones::setSound(sound, twoTones(5000, rate), rate);
        for (int log2 : {1, 9, 10, 12}) {
            for (int k : {-10, -3, 0, 10}) {
                DftEngine engine;
                engine.setUp(log2, rate);
                const int n = engine.length;
                startVoicePrintRun(*numbers, rate, n, WindowHanning, k);
                std::fill(engine.displayBins, engine.displayBins + displayBinCount, -1.0);
                engine.analyseFrame(sound, 321, WindowHanning, {1, 320, 1, k});
                ASSERT_TRUE(takeVoicePrintColumn(*numbers, 0, engine));
                const VoicePrintColumn& column = numbers->columns[0];
                const long double hzPerEntry = static_cast<long double>(rate) / n;
                SCOPED_TRACE(::testing::Message() << "rate " << rate << ", N " << n << ", k " << k);
                // A row has an entry while its frequency lies below the spectrum's end.
                int written = 0;
                while (written < displayBinCount && binFrequencyHz(written, k) < (n / 2) * hzPerEntry * (1 - 1e-12L))
                    ++written;
                EXPECT_EQ(numbers->binsWithEntry, written) << "rows with an entry are the rows below the spectrum's end";
                for (int j = 0; j < displayBinCount; ++j) {
                    const int entry = numbers->binEntry[j];
                    if (j >= written) {
                        EXPECT_EQ(entry, -1) << "bin " << j;
                        EXPECT_EQ(column.painted[j], 0.0) << "bin " << j << " is painted as the background";
                        EXPECT_TRUE(std::isnan(voicePrintLevelDb(*numbers, 0, j)));
                        continue;
                    }
                    const long double hz = binFrequencyHz(j, k);
                    EXPECT_NEAR(static_cast<double>(hz), j * (1 + 0.05 * k) * 6029.296875 / 280, 1e-9);
                    ASSERT_LE(entry * hzPerEntry, hz * (1 + 1e-12L) + 1e-9L) << "bin " << j;
                    ASSERT_GT((entry + 1) * hzPerEntry, hz * (1 - 1e-12L)) << "bin " << j;
                    ASSERT_EQ(column.painted[j], engine.magnitude[entry]) << "bin " << j;
                    ASSERT_EQ(column.raw[j], engine.rawMagnitude[entry]) << "bin " << j;
                }
            }
        }
    }
}

// A run takes its columns in order and forgets the last run's on start.
TEST(VoicePrintNumbers, RunsCountTheirColumnsAndRejectForeignFrames)
{
    const uint32_t rate = 22050;
    SoundBuffer sound;
    tones::setSound(sound, twoTones(40000, rate), rate);
    auto numbers = std::make_unique<VoicePrintNumbers>();
    DftEngine engine;
    engine.setUp(10, rate);
    const int period = 64;
    startVoicePrintRun(*numbers, rate, 1024, WindowBlackman, -3);
    const int frames = voicePrintFrameCount(100, period, 1024, sound.sampleCount);
    ASSERT_EQ(frames, columnCount);
    for (int c = 0; c < frames; ++c) {
        engine.analyseFrame(sound, frameStart(100, c, period), WindowBlackman, startUp);
        ASSERT_TRUE(takeVoicePrintColumn(*numbers, c, engine));
    }
    EXPECT_EQ(numbers->columnsTaken, columnCount);
    EXPECT_EQ(numbers->columns[550].firstSample, 100u + 550 * period);
    EXPECT_DOUBLE_EQ(columnSeconds(*numbers, 550), (100.0 + 550 * period) / rate);
    EXPECT_FALSE(takeVoicePrintColumn(*numbers, columnCount, engine));
    EXPECT_FALSE(takeVoicePrintColumn(*numbers, -1, engine));

    startVoicePrintRun(*numbers, rate, 2048, WindowBlackman, -3);
    EXPECT_EQ(numbers->columnsTaken, 0);
    EXPECT_FALSE(hasVoicePrintLevel(*numbers, 0, 0));
    EXPECT_FALSE(takeVoicePrintColumn(*numbers, 0, engine)) << "a 1024-point frame in a 2048-point run";
    EXPECT_EQ(numbers->columnsTaken, 0);
}

TEST(FrameNumbers, EntriesFrequenciesAndTheNearestEntry)
{
    const uint32_t rate = 22050;
    SoundBuffer sound;
    tones::setSound(sound, twoTones(3000, rate), rate);
    DftEngine engine;
    engine.setUp(10, rate);
    engine.analyseFrame(sound, 777, WindowHamming, startUp);
    auto frame = std::make_unique<FrameNumbers>();
    EXPECT_EQ(nearestEntry(*frame, 100.0), -1) << "before any frame";
    takeFrame(*frame, engine);
    ASSERT_EQ(frameEntryCount(*frame), 513);
    EXPECT_EQ(frame->firstSample, 777u);
    EXPECT_EQ(frame->windowKind, WindowHamming);
    for (int i = 0; i <= 512; ++i) {
        ASSERT_EQ(frame->magnitude[i], engine.magnitude[i]);
        ASSERT_EQ(frame->rawMagnitude[i], engine.rawMagnitude[i]);
    }
    // 22050 / 1024 = 21.533203125 Hz an entry.
    EXPECT_EQ(entryFrequencyHz(*frame, 114), 2454.78515625);
    EXPECT_EQ(nearestEntry(*frame, 2460.0), 114);          // 114.24 entries
    EXPECT_EQ(nearestEntry(*frame, 2465.0), 114);          // 114.47
    EXPECT_EQ(nearestEntry(*frame, 2466.0), 115);          // 114.52
    EXPECT_EQ(nearestEntry(*frame, -30.0), 0);
    EXPECT_EQ(nearestEntry(*frame, 30000.0), 512);
    EXPECT_TRUE(std::isnan(entryLevelDb(*frame, 513)));
    EXPECT_EQ(entryLevelDb(*frame, 512), -HUGE_VAL) << "the Nyquist entry is always 0";
    // The 700 Hz tone, 12000 = -8.73 dB FS, at 32.51 entries: about the worst
    // place for the parabola. The Hamming response is -1.75 dB half an entry
    // off and -18.93 dB one and a half off, so p = 0.5 reads
    // -1.75 + 0.25 * 17.18 * 0.5 = +0.40 dB above the tone.
    const FramePeak peak = framePeak(*frame);
    EXPECT_NEAR(peak.frequencyHz, 700.0, 5.0);
    EXPECT_NEAR(peak.levelDb, 20 * std::log10(12000.0 / 32768), 0.41);
}

}  // namespace
