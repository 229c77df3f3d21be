// What the voice measurements cost: the pitch and the formants of one run
// (551 centres over 3 s of speech at 22050 Hz), each alone and together, and
// the pitch of a minute of speech at a 10 ms step, and the pitch curve of a
// 20 s recording drawn live (at 44100 Hz, fed in the recorder's blocks of
// 2048 samples): the whole recording's work, and the path and numbers
// handed to the view after the last block. The speech is a synthetic
// voice gliding through the range of F0, with jitter and noise, from the
// tests' voice builder.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "core/analysis/Formants.h"
#include "core/analysis/LiveColumns.h"
#include "core/analysis/LiveVoice.h"
#include "core/analysis/Pitch.h"
#include "tests/core/SyntheticVoice.h"

namespace {

constexpr double rate = 22050.0;

const std::vector<double>& speech(double seconds, double soundRate = rate)
{
    static std::vector<double> sounds[3];
    std::vector<double>& sound = sounds[soundRate != rate ? 2 : seconds > 10.0 ? 1 : 0];
    if (sound.empty()) {
        voice::Recipe recipe;
        recipe.rate = soundRate;
        recipe.seconds = seconds;
        recipe.f0Start = 90.0;
        recipe.f0End = 320.0;
        recipe.jitter = 0.01;
        recipe.snrDb = 30.0;
        recipe.vowel = voice::womanA;
        sound = voice::make(recipe);
    }
    return sound;
}

std::vector<double> runCentres(const std::vector<double>& sound)
{
    return voice::centres(0.0, static_cast<double>(sound.size() - 1), 551);
}

void BM_PitchOfRun(benchmark::State& state)
{
    const std::vector<double>& sound = speech(3.0);
    const std::vector<double> centres = runCentres(sound);
    for (auto _ : state) benchmark::DoNotOptimize(trackPitch(sound.data(), sound.size(), rate, centres.data(), centres.size()));
}

void BM_FormantsOfRun(benchmark::State& state)
{
    const std::vector<double>& sound = speech(3.0);
    const std::vector<double> centres = runCentres(sound);
    for (auto _ : state) benchmark::DoNotOptimize(trackFormants(sound.data(), sound.size(), rate, centres.data(), centres.size()));
}

void BM_PitchAndFormantsOfRun(benchmark::State& state)
{
    const std::vector<double>& sound = speech(3.0);
    const std::vector<double> centres = runCentres(sound);
    for (auto _ : state) {
        benchmark::DoNotOptimize(trackPitch(sound.data(), sound.size(), rate, centres.data(), centres.size()));
        benchmark::DoNotOptimize(trackFormants(sound.data(), sound.size(), rate, centres.data(), centres.size()));
    }
}

void BM_PitchOfMinuteAt10ms(benchmark::State& state)
{
    const std::vector<double>& sound = speech(60.0);
    std::vector<double> centres;
    for (double c = 0.0; c < static_cast<double>(sound.size()); c += 0.01 * rate) centres.push_back(c);
    for (auto _ : state) benchmark::DoNotOptimize(trackPitch(sound.data(), sound.size(), rate, centres.data(), centres.size()));
}

constexpr uint32_t liveRate = 44100, liveBlock = 2048;
constexpr int32_t liveFrameLength = 1024;

// Feeds `live` the recording up to `end` samples, block by block, with the
// curve handed over after each block as the program does.
void feedLive(LiveVoice& live, VoiceNumbers& voice, uint32_t capacity, uint32_t end)
{
    for (uint32_t in = 0; in < end;) {
        in = std::min(end, in + liveBlock);
        if (live.catchUp(in, liveColumnsComplete(in, capacity, liveFrameLength))) live.fill(voice);
    }
}

void BM_LiveVoiceOfRecording(benchmark::State& state)
{
    const std::vector<double>& sound = speech(20.0, liveRate);
    const uint32_t capacity = static_cast<uint32_t>(sound.size());
    auto voice = std::make_unique<VoiceNumbers>();
    for (auto _ : state) {
        LiveVoice live(sound.data(), capacity, liveRate, liveFrameLength, speakerFemale);
        feedLive(live, *voice, capacity, capacity);
    }
}

void BM_LiveVoiceHandOverOf551Columns(benchmark::State& state)
{
    const std::vector<double>& sound = speech(20.0, liveRate);
    const uint32_t capacity = static_cast<uint32_t>(sound.size());
    auto voice = std::make_unique<VoiceNumbers>();
    LiveVoice live(sound.data(), capacity, liveRate, liveFrameLength, speakerFemale);
    feedLive(live, *voice, capacity, capacity);
    for (auto _ : state) live.fill(*voice);
}

double fastest(const std::vector<double>& runs) { return *std::min_element(runs.begin(), runs.end()); }
double slowest(const std::vector<double>& runs) { return *std::max_element(runs.begin(), runs.end()); }

}  // namespace

BENCHMARK(BM_PitchOfRun)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", fastest)->ComputeStatistics("max", slowest);
BENCHMARK(BM_FormantsOfRun)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", fastest)->ComputeStatistics("max", slowest);
BENCHMARK(BM_PitchAndFormantsOfRun)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", fastest)->ComputeStatistics("max", slowest);
BENCHMARK(BM_PitchOfMinuteAt10ms)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", fastest)->ComputeStatistics("max", slowest);
BENCHMARK(BM_LiveVoiceOfRecording)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", fastest)->ComputeStatistics("max", slowest);
BENCHMARK(BM_LiveVoiceHandOverOf551Columns)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", fastest)->ComputeStatistics("max", slowest);
