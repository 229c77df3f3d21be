// Where the analysis runs put their frames, and how sample positions map to
// the columns of the waveform view and of the voice print. Pure arithmetic;
// the runs in AnalysisRuns.cpp and the parameter refresh call it.
//
// Sample positions are 64-bit throughout: a sound may hold up to 2^32 samples,
// past what a 32-bit int can name. The numbers keep the program's historical
// quirks otherwise: columns map as core/base/Columns.h says
// (so a start that lies exactly on a column boundary can land one column to
// the left), and the cursor's voice-print column truncates toward zero. What
// they never do is let a frame reach outside the sound or divide by zero.
#ifndef KELVARA_FRAMING_H
#define KELVARA_FRAMING_H

#include <cstdint>

#include "core/base/Columns.h"

// Truncation toward zero that saturates instead of overflowing (NaN gives 0).
int32_t truncSaturated(double value);
uint32_t truncSaturatedUnsigned(double value);

// First sample of waveform column `column`: trunc(column * q), where q is
// positionsPerColumn(sampleCount) (0 for NaN or a negative product).
int64_t sampleOfColumn(uint32_t column, double q);

// Frame length 2^frameOrder, or 0 when frameOrder is outside 1..12 (before the
// first full refresh it is 0, and no frame may be analysed then).
int32_t frameLengthOf(int32_t frameOrder);

// Whether a sound can be analysed at all: it has samples and a rate (the
// engine divides by the rate), and the frame length is known.
bool soundAnalysable(uint32_t sampleCount, uint32_t rate, int32_t frameOrder);

// Start of frame k: analysisStart + k * period, in 64 bits.
int64_t frameStart(int64_t analysisStart, int32_t k, int32_t period);

// Whether the frame [start, start + length) lies inside the sound (a negative
// start never does). When it does, start fits in 32 bits.
bool frameFits(int64_t start, int32_t length, uint32_t sampleCount);

// Frames of a voice-print run: k = 0, 1, ... up to 551 while frame k fits.
int32_t voicePrintFrameCount(int64_t analysisStart, int32_t period, int32_t length, uint32_t sampleCount);

// Waveform column of a frame that starts at `start` (columnOfPosition): the
// column the waveform view's cursor and the engine's frameColumn show.
int32_t waveformColumnOf(uint32_t start, uint32_t sampleCount);

// Voice-print column of the cursor: (cursorSample - analysisStart) / period,
// truncating toward zero (negative for a cursor before the analysed range).
// A period below 1 counts as 1.
int32_t cursorVoicePrintColumn(int64_t cursorSample, int64_t analysisStart, int32_t period);

#endif
