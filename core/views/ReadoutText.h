// The texts of the readouts: what lies under the mouse in the voice print,
// the spectrum and the waveform, the resolution the settings give, and the
// spectrum's peak. Numbers have a '.' decimal point whatever the locale and
// their unit after them; fields are three spaces apart.
//
// Levels are dB re full scale as FrameLevels.h defines them: "-12.3 dB FS",
// "-inf dB FS" for a silent entry, "no level" where a bin has no entry (the
// sound's rate puts it beyond half the rate).
#ifndef KELVARA_READOUT_TEXT_H
#define KELVARA_READOUT_TEXT_H

#include <cstdint>
#include <string>

#include "core/analysis/AnalysisNumbers.h"
#include "core/analysis/FrameLevels.h"
#include "core/analysis/VoiceNumbers.h"
#include "core/base/Columns.h"

struct SoundBuffer;

// "-12.3 dB FS", "-inf dB FS", or "no level" for NaN.
std::wstring levelText(double levelDb);

// Voice print at (column, bin), bin 0 at the bottom (voicePrintBinOfRow turns
// a pixel row into one): "1.234 s   1234 Hz   -12.3 dB FS   colour 200",
// the colour index being what that pixel was painted with. A column the last
// run did not reach, or a bin outside 0..279: "column 600: no frame".
std::wstring voicePrintReadout(const VoicePrintNumbers& numbers, int column, int bin);
// The same followed by the column's voice (voiceReadout) where the voice
// numbers have that column.
std::wstring voicePrintReadout(const VoicePrintNumbers& numbers, const VoiceNumbers& voice, int column, int bin);

// A column's pitch and formants: "F0 123.4 Hz   F1 512 F2 1480 F3 2510 F4 3600 Hz",
// "F0 –" where unvoiced and "–" for a missing formant; "" for a column the
// voice numbers do not have.
std::wstring voiceReadout(const VoiceNumbers& voice, int column);

// Spectrum at pixel column x (x * 30 Hz):
// "2460 Hz   nearest entry 114 (2454.8 Hz)   -23.4 dB FS"; "2460 Hz   no frame"
// before any frame.
std::wstring spectrumReadout(const FrameNumbers& frame, int x);

// What the waveform readout needs of a sound: its length, its rate and the
// sample under each column. The waveform view takes it when it draws a new
// sound, so the readout never reads samples that a later load may free.
struct WaveformColumns {
    uint32_t sampleCount = 0;
    uint32_t rate = 0;
    double value[columnCount] = {};  // the sample at sampleOfColumn(x)
};
WaveformColumns waveformColumnsOf(const SoundBuffer& sound);

// Waveform at pixel column x (held to 0..550), with the selection's columns:
// "1.234 s   sample 27210   0.1234   selection 0.500 s to 1.250 s (0.750 s)".
// Samples are found exactly as the waveform view and the analysis find them
// (sampleOfColumn over positionsPerColumn); the value is sample / 32768.
// "no sound" for a sound without samples or rate.
std::wstring waveformReadout(const WaveformColumns& sound, int x, uint32_t selStartX, uint32_t selEndX);

// "N 1024   21.53 Hz per bin   18.30 Hz per row   5.80 ms per column":
// rate / N, maxFrequencyHz(k) / 280, framePeriod / rate. "no frame length"
// or "no sample rate" when either is unknown.
std::wstring resolutionText(uint32_t rate, int frameOrder, int framePeriod, int maxFreqStep);

// The spectrum's corner: "1234.5 Hz   -6.0 dB FS"; "no frame" or "silent".
std::wstring peakText(const FramePeak& peak);

#endif
