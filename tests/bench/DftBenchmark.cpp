// One voice-print frame through our engine beside the same frame done with
// FFTW: load and scale the samples with the frame peak, Hanning window,
// transform, magnitudes, Log normalisation with the energy factor, and the
// 280 display bins. The FFTW side gets the usual head start of a measured
// real-input plan and a precomputed window, made outside the timed loop.
// Our engine also runs held to two-lane butterflies, beside its AVX lanes.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/analysis/DftEngine.h"
#include "core/analysis/WindowFunction.h"
#include "core/audio/SoundBuffer.h"

namespace {

constexpr uint32_t benchRate = 22050;
constexpr uint32_t benchSamples = benchRate * 4;
constexpr uint32_t hop = 97;  // odd, so successive frames see different data

// Four seconds of a voice-like mix: two partials, a slow swell and some noise.
void fillSound(SoundBuffer& sound)
{
    sound.format = WaveFormat{WaveFormatPcm, 1, benchRate, benchRate * 2, 2, 16, 18};
    sound.samples = new double[benchSamples];
    sound.sampleCount = benchSamples;
    uint32_t noise = 12345;
    double peak = 0.0;
    for (uint32_t i = 0; i < benchSamples; ++i) {
        noise = noise * 1664525u + 1013904223u;
        const double t = static_cast<double>(i) / benchRate;
        const double swell = 0.5 + 0.5 * std::sin(6.2831853 * 0.7 * t);
        const double x = swell * (12000.0 * std::sin(6.2831853 * 220.0 * t) + 6000.0 * std::sin(6.2831853 * 1330.0 * t)) +
                         static_cast<double>(static_cast<int32_t>(noise >> 20) - 2048);
        sound.samples[i] = std::round(x);
        peak = std::fmax(peak, std::fabs(sound.samples[i]));
    }
    sound.peak = peak;
    sound.ready = 1;
}

const SoundBuffer& benchSound()
{
    static SoundBuffer sound;
    if (sound.sampleCount == 0) fillSound(sound);
    return sound;
}

// The panel's start-up settings, which the FFTW side below hard-codes too.
constexpr SpectrumSettings defaultSettings{1, 320, 1, -3};  // Log, S, R, k

void runEngineFrames(benchmark::State& state)
{
    const int log2Length = static_cast<int>(state.range(0));
    const SoundBuffer& sound = benchSound();
    DftEngine engine;
    engine.setUp(log2Length, sound.rate());
    const uint32_t span = sound.sampleCount - static_cast<uint32_t>(engine.length);
    uint32_t start = 0;
    for (auto _ : state) {
        engine.analyseFrame(sound, start, WindowHanning, defaultSettings);
        benchmark::DoNotOptimize(engine.displayBins);
        benchmark::ClobberMemory();
        start = (start + hop) % span;
    }
}

void BM_EngineFrame(benchmark::State& state) { runEngineFrames(state); }

// The same with the transform held to two lanes, where the processor would
// have given it four (AVX): what the wide lanes gain, in one run.
void BM_EngineFrameTwoLanes(benchmark::State& state)
{
    allowWideTransform(false);
    runEngineFrames(state);
    allowWideTransform(true);
}

struct FftwFrame {
    int n;
    double* input;
    fftw_complex* output;
    fftw_plan plan;
    std::vector<double> window;
    std::vector<double> magnitude;
    double displayBins[displayBinCount] = {};

    explicit FftwFrame(int log2Length)
        : n(1 << log2Length),
          input(fftw_alloc_real(static_cast<size_t>(n))),
          output(fftw_alloc_complex(static_cast<size_t>(n / 2 + 1))),
          plan(fftw_plan_dft_r2c_1d(n, input, output, FFTW_MEASURE)),
          window(static_cast<size_t>(n)),
          magnitude(static_cast<size_t>(n / 2 + 1))
    {
        for (int i = 0; i < n; ++i) window[i] = windowValue(WindowHanning, i, n);
    }
    ~FftwFrame()
    {
        fftw_destroy_plan(plan);
        fftw_free(output);
        fftw_free(input);
    }

    void analyse(const SoundBuffer& sound, uint32_t start)
    {
        double framePeak = 0.0;
        for (int l = 0; l < n; ++l) {
            const double x = sound.samples[start + l];
            framePeak = std::fmax(framePeak, std::fabs(x));
            input[l] = x / n * window[l];
        }
        fftw_execute(plan);
        const int half = n / 2;
        double strongest = 0.0;
        for (int i = 0; i < half; ++i) {
            magnitude[i] = std::sqrt(output[i][0] * output[i][0] + output[i][1] * output[i][1]);
            strongest = std::fmax(strongest, magnitude[i]);
        }
        const double s = defaultSettings.logScale;
        const double logS = std::log(s);
        double e = framePeak / sound.peak * 200.0;
        if (!(e >= 1.0)) e = 1.0;
        const double factor = std::log(e) / std::log(200.0);
        for (int i = 0; i < half; ++i) {
            const double v = magnitude[i] / strongest * s;
            magnitude[i] = (v >= 1.0 ? std::log(v) / logS : 0.0) * factor;
        }
        magnitude[half] = 0.0;
        const double step = (512.0 / half) * sound.rate() / ((1.0 + 0.05 * defaultSettings.maxFreqStep) * 22050.0);
        for (int i = 0; i < displayBinCount; ++i) {
            const double position = i / step;
            if (!(position < half)) break;
            displayBins[i] = magnitude[static_cast<int>(position)];
        }
    }
};

void BM_FftwFrame(benchmark::State& state)
{
    const SoundBuffer& sound = benchSound();
    FftwFrame frame(static_cast<int>(state.range(0)));
    const uint32_t span = sound.sampleCount - static_cast<uint32_t>(frame.n);
    uint32_t start = 0;
    for (auto _ : state) {
        frame.analyse(sound, start);
        benchmark::DoNotOptimize(frame.displayBins);
        benchmark::ClobberMemory();
        start = (start + hop) % span;
    }
}

// Besides the mean, median and spread Google Benchmark gives repeated runs:
// the fastest and the slowest, which is how the figures are quoted.
double fastest(const std::vector<double>& runs) { return *std::min_element(runs.begin(), runs.end()); }
double slowest(const std::vector<double>& runs) { return *std::max_element(runs.begin(), runs.end()); }

}  // namespace

BENCHMARK(BM_EngineFrame)->Arg(6)->Arg(10)->Arg(12)->ComputeStatistics("min", fastest)->ComputeStatistics("max", slowest);
BENCHMARK(BM_EngineFrameTwoLanes)->Arg(10)->Arg(12)->ComputeStatistics("min", fastest)->ComputeStatistics("max", slowest);
BENCHMARK(BM_FftwFrame)->Arg(6)->Arg(10)->Arg(12)->ComputeStatistics("min", fastest)->ComputeStatistics("max", slowest);

BENCHMARK_MAIN();
