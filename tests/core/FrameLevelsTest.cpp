// True levels of a frame: sines of known amplitude must read their level in
// dB re full scale whatever the window and length, quiet frames must keep
// theirs while the views darken them, and the interpolated peak must find
// tones between entries.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <vector>

#include "core/analysis/DftEngine.h"
#include "core/analysis/FrameLevels.h"
#include "core/analysis/WindowFunction.h"
#include "core/audio/SoundBuffer.h"
#include "tests/core/ToneSounds.h"

namespace {

constexpr uint32_t rate = 22050;
constexpr SpectrumSettings linear{0, 320, 1, 0};
constexpr SpectrumSettings startUp{1, 320, 1, -3};
const double minusInfinity = -std::numeric_limits<double>::infinity();

// The mean weight written out from the window formulas, in long double, with
// the program's 2*pi literal (the one the weights are made with).
double meanWeightByHand(int kind, int n)
{
    long double sum = 0;
    for (int i = 0; i < n; ++i) {
        const long double phase = 6.2831853L * i / n;
        if (kind == WindowHanning) sum += 0.5L - 0.5L * std::cos(phase);
        if (kind == WindowHamming) sum += 0.54L - 0.46L * std::cos(phase);
        if (kind == WindowBlackman) sum += 0.42L - 0.5L * std::cos(phase) + 0.08L * std::cos(2 * phase);
        if (kind == WindowRectangular) sum += 1;
    }
    return static_cast<double>(sum / n);
}

TEST(CoherentGain, IsTheMeanWeightOfEachWindow)
{
    for (int n : {2, 64, 1024, 4096}) {
        for (int kind : {WindowRectangular, WindowHanning, WindowHamming, WindowBlackman})
            EXPECT_NEAR(coherentGain(kind, n), meanWeightByHand(kind, n), 1e-12) << "kind " << kind << " N " << n;
        EXPECT_EQ(coherentGain(7, n), 1.0) << "an unknown kind gets no window";
    }
    // The periodic windows' textbook gains, which the literal 2*pi misses
    // only in the ninth digit.
    EXPECT_NEAR(coherentGain(WindowHanning, 1024), 0.5, 1e-7);
    EXPECT_NEAR(coherentGain(WindowHamming, 1024), 0.54, 1e-7);
    EXPECT_NEAR(coherentGain(WindowBlackman, 1024), 0.42, 1e-7);
}

// A sine at the centre of entry b reads 20 log10(A / 32768) dB FS with every
// window and length: 0.0 at full scale, -20.0 at a tenth of it.
TEST(FrameLevels, SineAtAnEntryCentreReadsItsAmplitude)
{
    const struct {
        int log2;
        int entry;
    } frames[] = {{6, 5}, {10, 100}, {12, 301}};
    for (const auto& f : frames) {
        const int n = 1 << f.log2;
        for (double db : {0.0, -20.0}) {
            SoundBuffer sound;
            tones::setSound(sound, tones::sine(n, f.entry * static_cast<double>(rate) / n, tones::amplitudeAt(db), rate), rate);
            for (int kind : {WindowRectangular, WindowHanning, WindowHamming, WindowBlackman}) {
                DftEngine engine;
                engine.setUp(f.log2, rate);
                engine.analyseFrame(sound, 0, kind, startUp);
                SCOPED_TRACE(::testing::Message() << "N " << n << ", kind " << kind << ", " << db << " dB");
                EXPECT_EQ(engine.windowKind, kind);
                EXPECT_NEAR(levelDbFs(engine.rawMagnitude[f.entry], f.entry, n, kind), db, 1e-4);
                // The peak finds it too, on the entry itself. Without a taper the
                // neighbours hold only rounding noise, unequal enough to move the
                // vertex by a few thousandths of an entry.
                const FramePeak peak = findFramePeak(engine.rawMagnitude, n, rate, kind);
                EXPECT_EQ(peak.entry, f.entry);
                EXPECT_NEAR(peak.levelDb, db, 1e-3);
                const double entryWidths = kind == WindowRectangular ? 0.01 : 1e-6;
                EXPECT_NEAR(peak.frequencyHz, f.entry * static_cast<double>(rate) / n, entryWidths * rate / n);
            }
        }
    }
}

// Entry 0 has no mirror image: a constant A is a "sine" of amplitude A there.
TEST(FrameLevels, ConstantReadsAtEntryZeroWithoutTheMirrorFactor)
{
    SoundBuffer sound;
    tones::setSound(sound, std::vector<double>(256, 16384.0), rate);
    for (int kind : {WindowRectangular, WindowHanning, WindowBlackman}) {
        DftEngine engine;
        engine.setUp(8, rate);
        engine.analyseFrame(sound, 0, kind, linear);
        EXPECT_NEAR(levelDbFs(engine.rawMagnitude[0], 0, 256, kind), 20 * std::log10(0.5), 1e-6) << "kind " << kind;
        const FramePeak peak = findFramePeak(engine.rawMagnitude, 256, rate, kind);
        EXPECT_EQ(peak.entry, 0);
        EXPECT_FALSE(peak.interpolated) << "no neighbour below entry 0";
        EXPECT_EQ(peak.frequencyHz, 0.0);
    }
    EXPECT_EQ(levelDbFs(0.0, 3, 256, WindowHanning), minusInfinity);
}

// Raw magnitudes are |X[i]| of the 1/N-scaled transform, before any
// normalisation: compared with a brute-force DFT in long double.
TEST(FrameLevels, RawMagnitudesAreTheUnnormalisedTransform)
{
    const int n = 128;
    std::vector<double> samples = tones::sine(n + 40, 1000.0, 9000.0, rate);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] += 3000.0 * std::cos(0.7 * static_cast<double>(i));
    SoundBuffer sound;
    tones::setSound(sound, samples, rate);
    DftEngine engine;
    engine.setUp(7, rate);
    const uint32_t start = 17;
    engine.analyseFrame(sound, start, WindowHamming, startUp);
    EXPECT_EQ(engine.frameStartSample, start);
    for (int k = 0; k < n / 2; ++k) {
        std::complex<long double> sum = 0;
        for (int i = 0; i < n; ++i) {
            const long double w = 0.54L - 0.46L * std::cos(6.2831853L * i / n);
            sum += w * samples[start + i] * std::polar(1.0L, -6.2831853L * ((k * i) % n) / n);
        }
        EXPECT_NEAR(engine.rawMagnitude[k], static_cast<double>(std::abs(sum) / n), 1e-9 * 9000) << "entry " << k;
    }
    EXPECT_EQ(engine.rawMagnitude[n / 2], 0.0);
    // An unknown kind is analysed, and recorded, as rectangular.
    engine.analyseFrame(sound, start, 9, startUp);
    EXPECT_EQ(engine.windowKind, WindowRectangular);
}

// The painted values carry the energy factor ln(e) / ln 200, e = 200 * frame
// peak / sound peak; the level does not. A -40 dB tone after a full-scale one:
// e = 2, so its strongest painted value is ln 2 / ln 200.
TEST(FrameLevels, QuietFrameKeepsItsTrueLevelWhileItsPaintIsDarkened)
{
    const int n = 1024;
    const double hz = 40 * static_cast<double>(rate) / n;
    std::vector<double> samples = tones::sine(n, hz, 32768.0, rate);
    const std::vector<double> quiet = tones::sine(n, hz, tones::amplitudeAt(-40.0), rate);
    samples.insert(samples.end(), quiet.begin(), quiet.end());
    SoundBuffer sound;
    tones::setSound(sound, samples, rate);

    DftEngine engine;
    engine.setUp(10, rate);
    engine.analyseFrame(sound, 0, WindowHanning, linear);
    EXPECT_NEAR(levelDbFs(engine.rawMagnitude[40], 40, n, WindowHanning), 0.0, 1e-4);
    EXPECT_NEAR(engine.displayBins[40], 1.0, 1e-12);

    engine.analyseFrame(sound, n, WindowHanning, linear);
    EXPECT_NEAR(levelDbFs(engine.rawMagnitude[40], 40, n, WindowHanning), -40.0, 1e-4);
    EXPECT_NEAR(engine.displayBins[40], std::log(2.0) / std::log(200.0), 1e-6);
}

// Tones between entries, Hanning window: within 1 Hz at N = 4096 and 5 Hz at
// N = 1024 (an entry is 5.4 and 21.5 Hz wide, so the nearest entry alone
// can be 2.7 and 10.8 Hz off). The level: the Hanning response
// |sinc d / (1 - d^2)| is -1.42 dB at d = 0.5 and -15.40 dB at 1.5, so a tone
// half-way between entries gives a = -15.40, b = c = -1.42, p = 0.5 and a
// level of -1.42 + 0.25 * 13.98 * 0.5 = +0.32 dB; that is the parabola's
// largest error, against the nearest entry's 1.42 dB.
TEST(FramePeak, InterpolatesTonesBetweenEntries)
{
    const struct {
        int log2;
        double toleranceHz;
    } frames[] = {{12, 1.0}, {10, 5.0}};
    for (const auto& f : frames) {
        const int n = 1 << f.log2;
        for (double hz : {1234.5, 440.0, 3000.3, 5012.7, 8765.4}) {
            for (double db : {0.0, -20.0}) {
                SoundBuffer sound;
                tones::setSound(sound, tones::sine(n, hz, tones::amplitudeAt(db), rate), rate);
                DftEngine engine;
                engine.setUp(f.log2, rate);
                engine.analyseFrame(sound, 0, WindowHanning, startUp);
                const FramePeak peak = findFramePeak(engine.rawMagnitude, n, rate, WindowHanning);
                SCOPED_TRACE(::testing::Message() << "N " << n << ", " << hz << " Hz, " << db << " dB");
                EXPECT_TRUE(peak.interpolated);
                EXPECT_EQ(peak.entry, static_cast<int>(std::lround(hz * n / rate)));
                EXPECT_NEAR(peak.frequencyHz, hz, f.toleranceHz);
                EXPECT_NEAR(peak.levelDb, db, 0.33);
            }
        }
    }
}

// Half-way between entries the nearest entry is a whole half entry off; the
// parabola must take the peak most of the way back.
TEST(FramePeak, HalfwayToneIsRefinedFarBeyondTheNearestEntry)
{
    const int n = 4096;
    const double hz = 229.5 * rate / n;  // entries 229 and 230 equally near
    SoundBuffer sound;
    tones::setSound(sound, tones::sine(n, hz, 32768.0, rate), rate);
    DftEngine engine;
    engine.setUp(12, rate);
    engine.analyseFrame(sound, 0, WindowHanning, startUp);
    const FramePeak peak = findFramePeak(engine.rawMagnitude, n, rate, WindowHanning);
    // p = 0.5 exactly by symmetry; the level is the worst case worked out above.
    EXPECT_NEAR(peak.frequencyHz, hz, 1e-3 * rate / n);
    EXPECT_NEAR(peak.levelDb, 0.3238, 2e-3);
    EXPECT_LT(levelDbFs(engine.rawMagnitude[peak.entry], peak.entry, n, WindowHanning), -1.3) << "the scalloping it undoes";
}

// The parabola on hand-made magnitudes 2, 8, 4 around entry 2: with
// a = 20 lg 2, b = 20 lg 8, c = 20 lg 4, a - c = 20 lg(1/2) and
// a - 2b + c = 20 lg(1/8), so p = 0.5 * 1/3 = 1/6.
TEST(FramePeak, ParabolaThroughThreeLevels)
{
    const double raw[9] = {1, 2, 8, 4, 1, 1, 1, 1, 0};
    const FramePeak peak = findFramePeak(raw, 16, 16000, WindowRectangular);
    ASSERT_TRUE(peak.interpolated);
    EXPECT_EQ(peak.entry, 2);
    EXPECT_NEAR(peak.frequencyHz, (2 + 1.0 / 6) * 1000.0, 1e-9);
    const double b = 20 * std::log10(2 * 8 / 32768.0);
    EXPECT_NEAR(peak.levelDb, b - 0.25 * (20 * std::log10(0.5)) / 6, 1e-9);
}

TEST(FramePeak, NoRefinementAtTheEdgesOrBesideSilence)
{
    const double besideZero[9] = {0, 0, 8, 4, 1, 1, 1, 1, 0};
    EXPECT_FALSE(findFramePeak(besideZero, 16, 16000, WindowRectangular).interpolated);
    EXPECT_EQ(findFramePeak(besideZero, 16, 16000, WindowRectangular).frequencyHz, 2000.0);

    const double atTop[9] = {1, 1, 1, 1, 1, 1, 2, 8, 0};  // entry 7 = N/2 - 1
    const FramePeak top = findFramePeak(atTop, 16, 16000, WindowRectangular);
    EXPECT_EQ(top.entry, 7);
    EXPECT_FALSE(top.interpolated);

    const double silent[9] = {};
    const FramePeak none = findFramePeak(silent, 16, 16000, WindowHanning);
    EXPECT_EQ(none.entry, 0);
    EXPECT_EQ(none.levelDb, minusInfinity);
    EXPECT_EQ(findFramePeak(silent, 0, 16000, WindowHanning).entry, -1) << "no frame at all";
}

}  // namespace
