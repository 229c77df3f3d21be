// What the readouts' numbers cost: taking a column from an engine after each
// frame, and formatting the CSV of a full 551 x 280 run with its frame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>

#include "core/analysis/AnalysisNumbers.h"
#include "core/analysis/DftEngine.h"
#include "core/analysis/NumbersCsv.h"
#include "core/audio/SoundBuffer.h"

namespace {

constexpr uint32_t rate = 22050;
constexpr uint32_t sampleTotal = rate * 4;
constexpr SpectrumSettings settings{1, 320, 1, -3};

void fill(SoundBuffer& sound)
{
    sound.format = WaveFormat{WaveFormatPcm, 1, rate, rate * 2, 2, 16, 18};
    sound.samples = new double[sampleTotal];
    sound.sampleCount = sampleTotal;
    double peak = 0.0;
    for (uint32_t i = 0; i < sampleTotal; ++i) {
        sound.samples[i] = std::round(12000.0 * std::sin(0.063 * i) + 5000.0 * std::sin(0.41 * i));
        peak = std::fmax(peak, std::fabs(sound.samples[i]));
    }
    sound.peak = peak;
    sound.ready = 1;
}

void BM_TakeColumn(benchmark::State& state)
{
    SoundBuffer sound;
    fill(sound);
    DftEngine engine;
    engine.setUp(static_cast<int>(state.range(0)), rate);
    engine.analyseFrame(sound, 0, WindowHanning, settings);
    auto numbers = std::make_unique<VoicePrintNumbers>();
    startVoicePrintRun(*numbers, rate, engine.length, WindowHanning, settings.maxFreqStep);
    int column = 0;
    for (auto _ : state) {
        takeVoicePrintColumn(*numbers, column, engine);
        benchmark::ClobberMemory();
        column = (column + 1) % columnCount;
    }
}

void BM_NumbersCsv(benchmark::State& state)
{
    SoundBuffer sound;
    fill(sound);
    DftEngine engine;
    engine.setUp(10, rate);
    auto numbers = std::make_unique<VoicePrintNumbers>();
    auto frame = std::make_unique<FrameNumbers>();
    startVoicePrintRun(*numbers, rate, engine.length, WindowHanning, settings.maxFreqStep);
    for (int c = 0; c < columnCount; ++c) {
        engine.analyseFrame(sound, static_cast<uint32_t>(c) * 128, WindowHanning, settings);
        takeVoicePrintColumn(*numbers, c, engine);
    }
    takeFrame(*frame, engine);
    size_t bytes = 0;
    for (auto _ : state) {
        const std::string csv = numbersCsv(*numbers, *frame);
        bytes = csv.size();
        benchmark::DoNotOptimize(csv.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}

}  // namespace

BENCHMARK(BM_TakeColumn)->Arg(10)->Arg(12);
BENCHMARK(BM_NumbersCsv)->Unit(benchmark::kMillisecond);
