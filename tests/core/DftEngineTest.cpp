#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

#include "tests/core/ToneSounds.h"
#include "core/analysis/DftEngine.h"
#include "core/analysis/WindowFunction.h"
#include "core/audio/SoundBuffer.h"

namespace {

using tones::setSound;

// Deterministic 16-bit "speech": a few partials and noise.
std::vector<double> busySamples(size_t count)
{
    std::vector<double> samples(count);
    uint32_t state = 2463534242u;
    for (size_t i = 0; i < count; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        const double tone = 9000.0 * std::sin(0.05 * i) + 4000.0 * std::sin(0.31 * i);
        samples[i] = std::round(tone + static_cast<double>(static_cast<int32_t>(state >> 16) - 32768) / 4.0);
    }
    return samples;
}

// The per-frame algorithm written out literally, step by step, with the
// indices formed in floating point and the twiddles computed every time.
struct LiteralFrame {
    int log2Length;
    int n;
    uint32_t rate;
    std::vector<double> re, im, cosTable, sinTable, magnitude;
    double displayBins[displayBinCount];
    int frameColumn = 0;
    double soundPeak = 0.0;
    double energy = 0.0;

    LiteralFrame(int log2, uint32_t sampleRate, const double* previousBins)
        : log2Length(log2),
          n(static_cast<int>(std::pow(2.0, log2))),
          rate(sampleRate),
          re(n),
          im(n),
          cosTable(n / 2 + 1),
          sinTable(n / 2 + 1),
          magnitude(n / 2 + 1)
    {
        std::memcpy(displayBins, previousBins, sizeof displayBins);
    }

    static double weight(unsigned kind, int i, int n)
    {
        if (kind == 1) return 0.5 - 0.5 * std::cos(i * 6.2831853 / n);
        if (kind == 2) return 0.54 - 0.46 * std::cos(i * 6.2831853 / n);
        return 0.42 - 0.5 * std::cos(i * 6.2831853 / n) + 0.08 * std::cos(i * 12.5663706 / n);
    }

    void analyse(const SoundBuffer& sound, uint32_t start, int kind, int logMode, int s, int r, int k)
    {
        soundPeak = sound.peak;
        energy = 0.0;
        for (int l = 0; l < n; ++l) {
            const double x = sound.sampleAt(start + l);
            if (std::fabs(x) > energy) energy = std::fabs(x);
            im[l] = x / n;
            re[l] = 0.0;
        }
        frameColumn = static_cast<int>(start / (sound.sampleCount * 0.0018148820326678765));

        const unsigned windowKind = static_cast<unsigned>(kind);
        if (windowKind >= 1 && windowKind <= 3)
            for (int i = 0; i < n; ++i) im[i] *= weight(windowKind, i, n);

        for (int i = 0; i < n; ++i) {
            int w = n / 2;
            int a = i;
            for (int j = 0; j < log2Length; ++j) {
                re[i] += (a % 2) * w;
                a /= 2;
                w /= 2;
            }
        }
        for (int i = 0; i < n; ++i) re[i] = im[static_cast<int>(re[i])];
        for (int i = 0; i < n; ++i) im[i] = 0.0;

        for (int t = 0; t <= n / 2; ++t) {
            const double a = (-6.2831853 / n) * t;
            cosTable[t] = std::cos(a);
            sinTable[t] = std::sin(a);
        }

        for (int stage = 0; stage < log2Length; ++stage) {
            const double h = std::pow(2.0, stage);
            const double g = std::pow(2.0, log2Length - 1 - stage);
            for (double group = 0; group < g; ++group) {
                for (double l = 0; l < h; ++l) {
                    const int top = static_cast<int>(2 * h * group + l);
                    const int bottom = static_cast<int>(top + h);
                    const int t = static_cast<int>(l * g);
                    const double wr = cosTable[t], wi = sinTable[t];
                    const double yr = re[bottom], yi = im[bottom];
                    const double pr = wr * yr - wi * yi;
                    const double pi = wi * yr + wr * yi;
                    const double xr = re[top], xi = im[top];
                    re[top] = xr + pr;
                    im[top] = xi + pi;
                    re[bottom] = xr - pr;
                    im[bottom] = xi - pi;
                }
            }
        }

        const int half = n / 2;
        for (int i = 0; i < half; ++i) magnitude[i] = std::sqrt(re[i] * re[i] + im[i] * im[i]);
        double m = 0.0;
        for (int i = 0; i < half; ++i)
            if (magnitude[i] > m) m = magnitude[i];
        for (int i = 0; i < half; ++i) {
            if (logMode == 1) {
                const double v = magnitude[i] / m * s;
                magnitude[i] = (v < r || std::isnan(v)) ? 0.0 : std::log(v) / std::log(static_cast<double>(s));
            } else {
                magnitude[i] = magnitude[i] / m;
            }
        }
        double e = energy / soundPeak * 200.0;
        if (e < 1.0 || std::isnan(e)) e = 1.0;
        energy = std::log(e) / std::log(200.0);
        for (int i = 0; i < half; ++i) magnitude[i] *= energy;
        magnitude[half] = 0.0;

        const double step = (512.0 / half) * rate / ((1 + 0.05 * k) * 22050);
        for (int i = 0; i < displayBinCount; ++i) {
            const int d = static_cast<int>(i / step);
            displayBins[i] = d < half ? magnitude[d] : 0.0;  // beyond the spectrum: the background
        }
    }
};

bool sameBits(const double* a, const double* b, size_t count) { return std::memcmp(a, b, count * sizeof(double)) == 0; }

// The panel's start-up settings: Log, S 320, R 1, k -3.
constexpr SpectrumSettings startUpSettings{1, 320, 1, -3};

SpectrumSettings linearSettings() { return {0, 320, 1, -3}; }

// The transform four lanes wide (where the processor has AVX) or two wide,
// for as long as it lives; four, the default, afterwards.
struct TransformWidth {
    explicit TransformWidth(bool wide) { allowWideTransform(wide); }
    ~TransformWidth() { allowWideTransform(true); }
};

TEST(DftEngine, FramesMatchTheLiteralAlgorithmBitForBit)
{
    const SpectrumSettings settings[] = {{1, 320, 1, -3}, {0, 320, 1, 0}, {1, 1000, 10, 10}, {1, 200, 3, -10}};
    const uint32_t rates[] = {22050, 44100, 8000};
    const int kinds[] = {0, 1, 2, 3, 9, -1};
    const std::vector<double> samples = busySamples(20000);

    for (bool wide : {true, false}) {
        const TransformWidth width(wide);
        SCOPED_TRACE(wide ? "four lanes where there is AVX" : "two lanes");
        for (uint32_t rate : rates) {
            SoundBuffer sound;
            setSound(sound, samples, rate);
            for (int log2 = 1; log2 <= 12; ++log2) {
                DftEngine engine;
                engine.setUp(log2, rate);
                const uint32_t n = static_cast<uint32_t>(engine.length);
                const uint32_t starts[] = {0, 7777, sound.sampleCount - n};
                for (const SpectrumSettings& p : settings) {
                    for (int kind : kinds) {
                        for (uint32_t start : starts) {
                            LiteralFrame expected(log2, rate, engine.displayBins);
                            expected.analyse(sound, start, kind, p.energyLogMode, p.logScale, p.rejection,
                                             p.maxFreqStep);
                            engine.analyseFrame(sound, start, kind, p);
                            SCOPED_TRACE(::testing::Message() << "rate " << rate << ", N " << n << ", kind " << kind
                                                              << ", mode " << p.energyLogMode << ", start " << start);
                            ASSERT_TRUE(sameBits(engine.re, expected.re.data(), n));
                            ASSERT_TRUE(sameBits(engine.im, expected.im.data(), n));
                            ASSERT_TRUE(sameBits(engine.cosTable, expected.cosTable.data(), n / 2 + 1));
                            ASSERT_TRUE(sameBits(engine.sinTable, expected.sinTable.data(), n / 2 + 1));
                            ASSERT_TRUE(sameBits(engine.magnitude, expected.magnitude.data(), n / 2 + 1));
                            ASSERT_TRUE(sameBits(engine.displayBins, expected.displayBins, displayBinCount));
                            ASSERT_TRUE(sameBits(&engine.energy, &expected.energy, 1));
                            ASSERT_EQ(engine.soundPeak, expected.soundPeak);
                            ASSERT_EQ(engine.frameColumn, expected.frameColumn);
                        }
                    }
                }
            }
        }
    }
}

// Otherwise the four-lane runs above could be two-lane runs twice over.
TEST(DftEngine, FourLanesAreUsedWhereTheProcessorHasAvx)
{
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    allowWideTransform(true);
    EXPECT_EQ(allowWideTransform(true), __builtin_cpu_supports("avx") != 0);
    EXPECT_TRUE(allowWideTransform(false) || !__builtin_cpu_supports("avx"));
    EXPECT_FALSE(allowWideTransform(true));
#else
    EXPECT_FALSE(allowWideTransform(true));
#endif
}

TEST(DftEngine, TransformEqualsSingleButterfliesInStageOrder)
{
    for (bool wide : {true, false}) {
        for (int log2 = 1; log2 <= 12; ++log2) {
            const TransformWidth width(wide);
            DftEngine fast, single;
            fast.setUp(log2, 22050);
            single.setUp(log2, 22050);
            const int n = fast.length;
            const std::vector<double> values = busySamples(2 * static_cast<size_t>(n));
            for (int i = 0; i < n; ++i) {
                fast.re[i] = single.re[i] = values[i] / 7.0;
                fast.im[i] = single.im[i] = values[n + i] / 3.0;
            }
            fast.fillTwiddles();
            single.fillTwiddles();
            fast.transform();
            for (int stage = 0; stage < log2; ++stage) {
                const double h = std::pow(2.0, stage), g = std::pow(2.0, log2 - 1 - stage);
                for (double group = 0; group < g; ++group)
                    for (double l = 0; l < h; ++l) {
                        const int top = static_cast<int>(2 * h * group + l);
                        single.butterfly(static_cast<int>(l), g, top, static_cast<int>(top + h));
                    }
            }
            EXPECT_TRUE(sameBits(fast.re, single.re, n) && sameBits(fast.im, single.im, n))
                << "N " << n << (wide ? ", four lanes where there is AVX" : ", two lanes");
        }
    }
}

// Runs a frame up to the transform and returns the unnormalised magnitudes.
std::vector<double> rawMagnitudes(DftEngine& engine, const SoundBuffer& sound, uint32_t start, int kind)
{
    engine.loadFrame(sound, start);
    engine.applyWindow(kind);
    engine.bitReverse();
    engine.fillTwiddles();
    engine.transform();
    std::vector<double> magnitudes(engine.length / 2);
    for (size_t i = 0; i < magnitudes.size(); ++i) magnitudes[i] = std::hypot(engine.re[i], engine.im[i]);
    return magnitudes;
}

// (1/N) |sum over n of w(n) x(n) e^(-j 2 pi k n / N)|, in long double.
std::vector<long double> bruteForceMagnitudes(const std::vector<double>& frame, int kind)
{
    const long double twoPi = 6.2831853L;  // the program's 2*pi, so only rounding separates the two
    const size_t n = frame.size();
    std::vector<long double> result(n / 2);
    for (size_t k = 0; k < n / 2; ++k) {
        std::complex<long double> sum = 0;
        for (size_t i = 0; i < n; ++i) {
            const long double phase = twoPi * static_cast<long double>(i) / n;
            long double w = 1;
            if (kind == 1) w = 0.5L - 0.5L * std::cos(phase);
            if (kind == 2) w = 0.54L - 0.46L * std::cos(phase);
            if (kind == 3) w = 0.42L - 0.5L * std::cos(phase) + 0.08L * std::cos(2 * phase);
            sum += w * frame[i] * std::polar(1.0L, -twoPi * static_cast<long double>(k * i % n) / n);
        }
        result[k] = std::abs(sum) / n;
    }
    return result;
}

TEST(DftEngine, SineMagnitudesForEachWindow)
{
    const struct {
        int kind;
        std::vector<std::pair<int, double>> bins;  // offset from the sine's bin, fraction of the amplitude
    } expectations[] = {
        {WindowRectangular, {{0, 0.5}}},
        {WindowHanning, {{0, 0.25}, {-1, 0.125}, {1, 0.125}}},
        {WindowHamming, {{0, 0.27}, {-1, 0.115}, {1, 0.115}}},
        {WindowBlackman, {{0, 0.21}, {-1, 0.125}, {1, 0.125}, {-2, 0.02}, {2, 0.02}}},
    };
    const int n = 256, b = 37;
    const double a = 12000.0;
    std::vector<double> frame(n);
    for (int i = 0; i < n; ++i) frame[i] = a * std::sin(6.283185307179586 * b * i / n);
    SoundBuffer sound;
    setSound(sound, frame, 22050);

    for (const auto& e : expectations) {
        DftEngine engine;
        engine.setUp(8, 22050);
        const std::vector<double> magnitudes = rawMagnitudes(engine, sound, 0, e.kind);
        const std::vector<long double> reference = bruteForceMagnitudes(frame, e.kind);
        for (int k = 0; k < n / 2; ++k) {
            double stated = 0.0;
            for (const auto& bin : e.bins)
                if (k == b + bin.first) stated = bin.second * a;
            EXPECT_NEAR(magnitudes[k], static_cast<double>(reference[k]), 1e-9 * a) << "kind " << e.kind << ", bin " << k;
            // The sine uses true pi, the window and the transform 6.2831853.
            EXPECT_NEAR(magnitudes[k], stated, 1e-6 * a) << "kind " << e.kind << ", bin " << k;
        }
        if (e.kind != WindowRectangular) continue;
        // Normalised, the frame that holds the sound's peak has its sine at
        // exactly 1 and, in Log mode, everything else below R.
        engine.computeMagnitudes(startUpSettings);
        EXPECT_EQ(engine.energy, 1.0);
        for (int k = 0; k < n / 2; ++k) EXPECT_EQ(engine.magnitude[k], k == b ? 1.0 : 0.0) << "bin " << k;
    }
}

// An engine whose transform output is the given real parts, and whose frame
// peak equals the sound's, so that the energy factor is 1.
void setSpectrum(DftEngine& engine, const std::vector<double>& realParts)
{
    for (int i = 0; i < engine.length; ++i) {
        engine.re[i] = i < static_cast<int>(realParts.size()) ? realParts[i] : 0.0;
        engine.im[i] = 0.0;
    }
    engine.energy = engine.soundPeak = 1000.0;
}

TEST(DftEngine, NormalisationInLogAndLinearMode)
{
    DftEngine engine;
    engine.setUp(4, 22050);

    // S = 320, R = 5: 1/64 of the strongest gives v = 5 exactly and is kept;
    // one just below is dropped; half the strongest gives ln 160 / ln 320.
    setSpectrum(engine, {64.0, 1.0, std::nextafter(1.0, 0.0), 32.0, 3.0, 4.0});
    engine.im[4] = 4.0;  // |3 + 4j| = 5
    engine.computeMagnitudes({1, 320, 5, -3});
    EXPECT_EQ(engine.magnitude[0], 1.0);
    EXPECT_DOUBLE_EQ(engine.magnitude[1], std::log(5.0) / std::log(320.0));
    EXPECT_EQ(engine.magnitude[2], 0.0);
    EXPECT_NEAR(engine.magnitude[3], 0.8798, 1e-4);
    EXPECT_DOUBLE_EQ(engine.magnitude[4], std::log(25.0) / std::log(320.0));
    EXPECT_EQ(engine.magnitude[6], 0.0);

    // R = 1: exactly 1/S of the strongest maps to ln 1 = 0.
    setSpectrum(engine, {256.0, 1.0, 16.0});
    engine.computeMagnitudes({1, 256, 1, -3});
    EXPECT_EQ(engine.magnitude[1], 0.0);
    EXPECT_DOUBLE_EQ(engine.magnitude[2], 0.5);

    setSpectrum(engine, {3.0, 4.0, 8.0});
    engine.im[0] = 4.0;
    engine.computeMagnitudes(linearSettings());
    EXPECT_EQ(engine.magnitude[0], 5.0 / 8.0);
    EXPECT_EQ(engine.magnitude[1], 0.5);
    EXPECT_EQ(engine.magnitude[2], 1.0);
    EXPECT_EQ(engine.magnitude[8], 0.0) << "the Nyquist entry";

    // A silent frame of a silent sound: zeros in both modes, not NaN.
    for (int mode : {0, 1}) {
        setSpectrum(engine, {});
        engine.energy = engine.soundPeak = 0.0;
        engine.computeMagnitudes({mode, 320, 1, -3});
        engine.resampleToDisplay(-3);
        EXPECT_EQ(engine.energy, 0.0);
        for (int i = 0; i <= 8; ++i) EXPECT_EQ(engine.magnitude[i], 0.0) << "mode " << mode << ", bin " << i;
        for (double bin : engine.displayBins) EXPECT_EQ(bin, 0.0) << "mode " << mode;
    }
}

TEST(DftEngine, EnergyFactorFollowsTheFramePeak)
{
    const struct {
        double fraction, stated, exact;  // frame peak / sound peak, the design's figure, the formula
    } cases[] = {
        {1.0, 1.0, 1.0},
        {0.5, 0.8692, std::log(100.0) / std::log(200.0)},
        {0.05, 0.4346, std::log(10.0) / std::log(200.0)},
        {1.0 / 200, 0.0, 0.0},
        {1.0 / 1000, 0.0, 0.0},
    };
    for (const auto& c : cases) {
        // Frame 0 holds a square wave at the fraction; the sound's peak comes later.
        std::vector<double> samples(128, 0.0);
        for (int i = 0; i < 64; ++i) samples[i] = (i % 4 < 2 ? 1 : -1) * 32000.0 * c.fraction;
        samples[100] = 32000.0;
        SoundBuffer sound;
        setSound(sound, samples, 22050);
        DftEngine engine;
        engine.setUp(6, 22050);
        engine.analyseFrame(sound, 0, WindowRectangular, linearSettings());
        EXPECT_NEAR(engine.energy, c.exact, 1e-12) << c.fraction;
        EXPECT_NEAR(engine.energy, c.stated, 5e-5) << c.fraction;
        EXPECT_EQ(*std::max_element(engine.magnitude, engine.magnitude + 32), engine.energy) << c.fraction;
    }
}

TEST(DftEngine, NTwoShowsTheMeanOfTheWindowedPairEverywhere)
{
    SoundBuffer sound;
    setSound(sound, {300.0, -100.0, 500.0}, 22050);
    DftEngine engine;
    engine.setUp(1, 22050);
    EXPECT_EQ(rawMagnitudes(engine, sound, 0, WindowRectangular)[0], 100.0);  // |300 - 100| / 2
    EXPECT_EQ(rawMagnitudes(engine, sound, 0, WindowHanning)[0], 50.0);       // weights 0 and 1: |-100| / 2

    for (uint32_t rate : {22050u, 44100u}) {
        engine.setUp(1, rate);
        std::fill(engine.displayBins, engine.displayBins + displayBinCount, -1.0);
        engine.analyseFrame(sound, 1, WindowRectangular, linearSettings());  // mean 200, frame peak 500 = the sound's
        for (double bin : engine.displayBins) EXPECT_EQ(bin, 1.0) << "rate " << rate;
    }
}

// Display bins over magnitude entries marked with their own index; -1 where
// a bin shows the background (a magnitude of 0) rather than an entry.
std::vector<double> mappedEntries(int log2, uint32_t rate, int k)
{
    DftEngine engine;
    engine.setUp(log2, rate);
    for (int j = 0; j <= engine.length / 2; ++j) engine.magnitude[j] = j + 1;
    std::fill(engine.displayBins, engine.displayBins + displayBinCount, -7.0);
    engine.resampleToDisplay(k);
    std::vector<double> entries(engine.displayBins, engine.displayBins + displayBinCount);
    for (double& entry : entries) entry -= 1;
    return entries;
}

TEST(DftEngine, DisplayBinsShowTheEntryAtOrBelowTheirFrequency)
{
    const struct {
        int log2;
        uint32_t rate;
        int k;
        double (*entry)(int bin);  // -1: the background
    } cases[] = {
        {10, 22050, 0, [](int i) { return static_cast<double>(i); }},
        {10, 44100, 0, [](int i) { return static_cast<double>(i / 2); }},
        {12, 22050, 0, [](int i) { return 4.0 * i; }},
        {10, 22050, -3, [](int i) { return std::trunc(0.85 * i); }},
        {10, 8000, 0, [](int i) { return i < 186 ? std::trunc(i * 22050.0 / 8000.0) : -1.0; }},
    };
    for (const auto& c : cases) {
        const std::vector<double> bins = mappedEntries(c.log2, c.rate, c.k);
        for (int i = 0; i < displayBinCount; ++i)
            EXPECT_EQ(bins[i], c.entry(i)) << "N " << (1 << c.log2) << ", rate " << c.rate << ", k " << c.k << ", bin " << i;
    }
    EXPECT_EQ(mappedEntries(10, 22050, -3)[279], 237.0);
    EXPECT_EQ(mappedEntries(10, 8000, 0)[185], 509.0);

    for (uint32_t rate : {22050u, 44100u})
        for (int k = -10; k <= 10; ++k)
            for (int log2 = 1; log2 <= 12; ++log2)
                EXPECT_NE(mappedEntries(log2, rate, k)[279], -1.0) << "stopped early: rate " << rate << ", k " << k << ", log2 " << log2;
}

// An engine is set up again for each run and each sound; the rows a low rate
// cannot reach must not keep the bins of the sound analysed before it.
TEST(DftEngine, RowsAboveTheReachableFrequencyAreTheBackgroundAfterAnotherSound)
{
    SoundBuffer loud, low;
    setSound(loud, tones::sine(4096, 3000.0, 30000.0, 44100), 44100);
    std::vector<double> noise(4096);
    uint32_t seed = 1;
    for (double& sample : noise) sample = ((seed = seed * 1664525u + 1013904223u) >> 8) % 20001 - 10000.0;
    setSound(low, noise, 8000);
    for (int k : {-3, 10}) {
        DftEngine reused, fresh;
        reused.setUp(10, 44100);
        reused.analyseFrame(loud, 0, WindowHanning, SpectrumSettings{1, 320, 1, k});
        reused.setUp(10, 8000);
        reused.analyseFrame(low, 0, WindowHanning, SpectrumSettings{1, 320, 1, k});
        fresh.setUp(10, 8000);
        fresh.analyseFrame(low, 0, WindowHanning, SpectrumSettings{1, 320, 1, k});
        for (int i = 0; i < displayBinCount; ++i) ASSERT_EQ(reused.displayBins[i], fresh.displayBins[i]) << "k " << k << ", row " << i;
        EXPECT_EQ(fresh.displayBins[displayBinCount - 1], 0.0) << "k " << k;
    }
}

TEST(DftEngine, BitReverseIgnoresWhateverReHeld)
{
    DftEngine engine;
    engine.setUp(5, 22050);
    for (int i = 0; i < 32; ++i) {
        engine.im[i] = 100.0 + i;
        engine.re[i] = 1e9;  // stale values must not become indices
    }
    engine.bitReverse();
    for (int i = 0; i < 32; ++i) {
        const int reversed = ((i & 1) << 4) | ((i & 2) << 2) | (i & 4) | ((i & 8) >> 2) | ((i & 16) >> 4);
        EXPECT_EQ(engine.re[i], 100.0 + reversed) << i;
        EXPECT_EQ(engine.im[i], 0.0) << i;
    }
}

TEST(DftEngine, SetUpSizesTheFrameAndReleaseRestoresTheMarkers)
{
    DftEngine engine;
    SoundBuffer sound;
    setSound(sound, busySamples(64), 22050);
    engine.analyseFrame(sound, 0, WindowHanning, startUpSettings);  // before any set-up: nothing happens
    EXPECT_EQ(engine.displayBins[0], 0.0);

    for (int log2 : {1, 7, 12, 3}) {
        engine.setUp(log2, 44100);  // each set-up frees the last arrays (the leak checker watches)
        EXPECT_EQ(engine.length, 1 << log2);
        engine.magnitude[engine.length / 2] = 0.0;  // in bounds for the sanitizer build
        engine.re[engine.length - 1] = 0.0;
    }
    engine.setUp(20, 22050);
    EXPECT_EQ(engine.length, 4096) << "held at the largest frame the views know";
    engine.release();
    engine.release();
    for (double* block : {engine.re, engine.im, engine.cosTable, engine.sinTable, engine.magnitude})
        EXPECT_EQ(block, notAllocated<double>());
}

}  // namespace
