// What a phonetician reads off a voice print, column by column: the pitch
// (F0), the first four formants and the level of each column's frame, all
// measured at the frame's centre (its first sample + N/2). A voice-print run
// measures them for every column it painted, whether the overlays show them
// or not, so the readout and the export always have them.
//
// A plain record of fixed size (about 50 KB), kept beside VoicePrintNumbers
// and under the same rules: no lock of its own, never written while read.
#ifndef KELVARA_VOICE_NUMBERS_H
#define KELVARA_VOICE_NUMBERS_H

#include <cstdint>

#include "core/analysis/Formants.h"
#include "core/analysis/Pitch.h"
#include "core/base/Columns.h"

// The speaker the formant ceiling is chosen for (the "表示" menu's radio items).
enum SpeakerKind : int { speakerMale = 0, speakerFemale = 1, speakerChild = 2 };
constexpr int defaultSpeakerKind = speakerFemale;

// 5000, 5500 or 8000 Hz; an unknown kind counts as the default.
double formantCeilingHz(int speakerKind);

// Formants are shown only in columns whose level lies within this many dB
// of the loudest column of the run: below it they are the tracker's guesses
// in noise and silence.
constexpr double formantLevelSpanDb = 30.0;

struct VoiceColumn {
    uint32_t firstSample = 0;
    double centreSeconds = 0.0;
    double f0Hz = 0.0;                      // 0 where unvoiced
    double formantHz[formantCount] = {};    // NaN where missing
    double levelDb = 0.0;                   // dB re full scale; -infinity for a silent frame
};

struct VoiceNumbers {
    uint32_t rate = 0;
    int32_t frameLength = 0;
    int32_t columns = 0;  // columns 0..columns-1 belong to the last run
    double loudestDb = 0.0;
    VoiceColumn column[columnCount];
};

// Measures the `frames` frames of `frameLength` samples that start at
// firstSamples[0..frames-1] (ascending, each inside the sound) with the whole
// sound as context: pitch with the standard settings, formants with the
// speaker's ceiling. `frames` is held to 0..551. Allocates while it works,
// and tracks the pitch and the formants on two threads at once.
void measureVoice(VoiceNumbers& voice, const double* samples, uint32_t sampleCount, uint32_t rate,
                  const uint32_t* firstSamples, int frames, int32_t frameLength, int speakerKind);

// Measures the formants of `voice`'s columns again with another speaker's
// ceiling, F0 and levels kept: the speaker can be changed after a run.
// Only if `samples` are still the sound the run measured: every column's
// frame lies inside it and has the level it had. False, changing nothing,
// otherwise (or without columns).
bool remeasureFormants(VoiceNumbers& voice, const double* samples, uint32_t sampleCount, int speakerKind);

// Forgets the last run: no columns.
void clearVoice(VoiceNumbers& voice);

// Adds the next column to `voice`, whose rate and frame length are set: its
// frame's first sample, F0 (0 or below: unvoiced), the formants (NaN where
// missing; none without `formantHz`) and the frame's level; the loudest
// column follows. Nothing past the 551st.
void appendVoiceColumn(VoiceNumbers& voice, uint32_t firstSample, double f0Hz, const double* formantHz, double levelDb);

// RMS level of samples [first, first + length) in dB re full scale, where a
// full-scale sine reads 0 dB (as the voice print's levels do); -infinity for
// silence.
double stretchLevelDb(const double* samples, uint32_t first, int32_t length);

// Whether column's formants are to be drawn: a column of the run whose level
// lies within formantLevelSpanDb of the loudest.
bool formantsShownAt(const VoiceNumbers& voice, int column);

// The run's column whose frame is the one that starts at `firstSample` and is
// `length` long (the spectrum view's frame), or nullptr.
const VoiceColumn* voiceColumnOfFrame(const VoiceNumbers& voice, uint32_t firstSample, int32_t length);

#endif
