#include "core/analysis/VoiceNumbers.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "core/analysis/FrameLevels.h"
#include "core/base/TwoHalves.h"

double formantCeilingHz(int speakerKind)
{
    switch (speakerKind) {
    case speakerMale: return 5000.0;
    case speakerChild: return 8000.0;
    default: return 5500.0;
    }
}

void clearVoice(VoiceNumbers& voice)
{
    voice.columns = 0;
    voice.loudestDb = -std::numeric_limits<double>::infinity();
}

double stretchLevelDb(const double* samples, uint32_t first, int32_t length)
{
    if (length <= 0) return -std::numeric_limits<double>::infinity();
    double sum = 0.0;
    for (int32_t i = 0; i < length; ++i) sum += samples[first + i] * samples[first + i];
    const double rms = std::sqrt(sum / length);
    // A full-scale sine has an RMS of 32768 / sqrt(2).
    return rms > 0.0 ? 20.0 * std::log10(rms * std::sqrt(2.0) / fullScaleAmplitude)
                     : -std::numeric_limits<double>::infinity();
}

void measureVoice(VoiceNumbers& voice, const double* samples, uint32_t sampleCount, uint32_t rate,
                  const uint32_t* firstSamples, int frames, int32_t frameLength, int speakerKind)
{
    clearVoice(voice);
    voice.rate = rate;
    voice.frameLength = frameLength;
    frames = std::clamp(frames, 0, static_cast<int>(columnCount));
    if (frames == 0 || rate == 0 || frameLength <= 0) return;

    std::vector<double> centres(static_cast<size_t>(frames));
    for (int k = 0; k < frames; ++k) centres[k] = static_cast<double>(firstSamples[k]) + frameLength / 2;
    FormantSettings formantSettings;
    formantSettings.ceilingHz = formantCeilingHz(speakerKind);
    std::vector<double> f0;
    std::vector<FormantSet> formants;
    // The two trackers share nothing but the sound they read: on two cores
    // the run waits for the slower one rather than for both.
    inTwoHalves(2, 2, [&](int, size_t from, size_t to) {
        for (size_t tracker = from; tracker < to; ++tracker) {
            if (tracker == 0)
                f0 = trackPitch(samples, sampleCount, rate, centres.data(), centres.size());
            else
                formants = trackFormants(samples, sampleCount, rate, centres.data(), centres.size(), formantSettings);
        }
    });

    for (int k = 0; k < frames; ++k)
        appendVoiceColumn(voice, firstSamples[k], k < static_cast<int>(f0.size()) ? f0[k] : 0.0,
                          k < static_cast<int>(formants.size()) ? formants[k].hz : nullptr,
                          stretchLevelDb(samples, firstSamples[k], frameLength));
}

void appendVoiceColumn(VoiceNumbers& voice, uint32_t firstSample, double f0Hz, const double* formantHz, double levelDb)
{
    if (voice.columns < 0 || voice.columns >= columnCount || voice.rate == 0) return;
    VoiceColumn& c = voice.column[voice.columns++];
    c.firstSample = firstSample;
    c.centreSeconds = (static_cast<double>(firstSample) + voice.frameLength / 2) / voice.rate;
    c.f0Hz = f0Hz > 0.0 ? f0Hz : 0.0;
    for (int i = 0; i < formantCount; ++i)
        c.formantHz[i] = formantHz ? formantHz[i] : std::numeric_limits<double>::quiet_NaN();
    c.levelDb = levelDb;
    voice.loudestDb = std::max(voice.loudestDb, levelDb);
}

bool remeasureFormants(VoiceNumbers& voice, const double* samples, uint32_t sampleCount, int speakerKind)
{
    if (voice.columns <= 0 || voice.rate == 0 || voice.frameLength <= 0) return false;
    std::vector<double> centres(static_cast<size_t>(voice.columns));
    for (int k = 0; k < voice.columns; ++k) {
        const VoiceColumn& c = voice.column[k];
        if (uint64_t{c.firstSample} + static_cast<uint64_t>(voice.frameLength) > sampleCount) return false;
        // Bit for bit: the same samples give the same sum in the same order.
        const double level = stretchLevelDb(samples, c.firstSample, voice.frameLength);
        if (!(level == c.levelDb)) return false;
        centres[k] = static_cast<double>(c.firstSample) + voice.frameLength / 2;
    }
    FormantSettings settings;
    settings.ceilingHz = formantCeilingHz(speakerKind);
    const std::vector<FormantSet> formants =
        trackFormants(samples, sampleCount, voice.rate, centres.data(), centres.size(), settings);
    for (int k = 0; k < voice.columns && k < static_cast<int>(formants.size()); ++k)
        for (int i = 0; i < formantCount; ++i) voice.column[k].formantHz[i] = formants[k].hz[i];
    return true;
}

bool formantsShownAt(const VoiceNumbers& voice, int column)
{
    if (column < 0 || column >= voice.columns) return false;
    const double level = voice.column[column].levelDb;
    // Silence is never within reach, even of a run that is silent throughout.
    return std::isfinite(level) && level >= voice.loudestDb - formantLevelSpanDb;
}

const VoiceColumn* voiceColumnOfFrame(const VoiceNumbers& voice, uint32_t firstSample, int32_t length)
{
    if (length != voice.frameLength || voice.columns == 0) return nullptr;
    // First samples rise with the column, so a binary search finds it.
    const VoiceColumn* begin = voice.column;
    const VoiceColumn* end = voice.column + voice.columns;
    const VoiceColumn* found = std::lower_bound(
        begin, end, firstSample, [](const VoiceColumn& c, uint32_t sample) { return c.firstSample < sample; });
    return found != end && found->firstSample == firstSample ? found : nullptr;
}
