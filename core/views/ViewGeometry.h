// The arithmetic of the graph views: which pixels the waveform, spectrum,
// voice-print, window-function and colour-sample windows paint, and which
// strips they invalidate. Kept apart from the window procedures so that the
// pixel places can be checked without a screen, and so that tests that read
// pixels back from the screen compute their expectations from the same rules.
//
// Every real-to-integer conversion truncates toward zero, as the drawings have
// always been made; truncToInt also keeps NaN and absurd values from turning
// into undefined behaviour (GDI clips anything that far out anyway).
#ifndef KELVARA_VIEW_GEOMETRY_H
#define KELVARA_VIEW_GEOMETRY_H

#include <cstdint>
#include <string>
#include <vector>

#include "core/analysis/DisplayBins.h"
#include "core/audio/SoundBuffer.h"
#include "core/base/Columns.h"

struct PixelPoint {
    int x;
    int y;
    bool operator==(const PixelPoint& o) const { return x == o.x && y == o.y; }
};

// A run of columns [left, right), full height.
struct ColumnSpan {
    int left;
    int right;
    bool operator==(const ColumnSpan& o) const { return left == o.left && right == o.right; }
};

int truncToInt(double value);

// ---- Waveform view (WaveDraw), 551 x 128 ----

constexpr int waveformHeight = 128;
constexpr int waveformZeroRow = 64;

// Row of a sample value: 0 is row 64, 32767 row 0, -32768 row 128.
int waveformRow(double sample);

// The trace as one polyline: the first point is the pen's start (0, 64), each
// later point a line end. Empty for a sound without samples.
std::vector<PixelPoint> waveformTrace(const double* samples, uint32_t count);
// The same trace of a sound's samples, from the column extents its decoding
// found when it has them, without reading the samples again.
std::vector<PixelPoint> waveformTrace(const SoundBuffer& sound);

// Length of the sound in seconds; 0 when the rate is 0.
double soundSeconds(uint32_t sampleCount, uint32_t rate);

// "%.2lf sec"
std::wstring secondsLabel(double seconds);

constexpr int timeLabelTop = 2;
constexpr int startLabelX = 2;
// Places of the right-aligned total and the centred half, given each text's
// measured width.
int totalLabelX(int width);
int halfLabelX(int width);

std::vector<int> waveformGridRows();     // 0, 8, ... 128
std::vector<int> waveformGridColumns();  // 44 at trunc(i*551/44), then 1, 138, 276, 414

// Strip repainted when a 2-pixel cursor line moves from `from` to `to`
// (waveform cursor and voice-print cursor alike).
ColumnSpan cursorStrip(int64_t from, int64_t to);
// Strips repainted when the selection end moves during a drag step and on release.
ColumnSpan dragStrip(uint32_t oldEnd, uint32_t newEnd);
ColumnSpan releaseStrip(uint32_t oldEnd, uint32_t newEnd);

// How a paint copies the back buffer: up to three spans, the selected band
// inverted. lo = min(start, end), hi = max(start, end); equal ends invert nothing.
struct BandCopy {
    ColumnSpan span;
    bool inverted;
};
struct SelectionCopies {
    int count;
    BandCopy parts[3];
};
SelectionCopies selectionCopies(uint32_t selStart, uint32_t selEnd);

// ---- Spectrum view (SPECTRAMDraw), 551 x 128, 30 Hz per pixel ----

constexpr int spectrumHeight = 128;

std::vector<int> spectrumGridRows();     // trunc(12.8 i), i = 0..10
std::vector<int> spectrumGridColumns();  // f/30 for f = 0..39 kHz, then the doubled 0..20 kHz lines

struct TextPlace {
    const wchar_t* text;
    int x;
    int y;
};
constexpr int spectrumLabelCount = 5;
extern const TextPlace spectrumLabels[spectrumLabelCount];

// Row of a normalised magnitude: 1 on row 0, 0 on row 128.
int spectrumRow(double magnitude);

constexpr double spectrumHertzPerPixel = 30.0;

// Frequency at the left edge of pixel column x: x * 30 Hz.
double spectrumFrequencyOfX(int x);
// Pixel column of a frequency: trunc(hz / 30). Divided rather than
// multiplied by 1/30, so that a whole multiple of 30 Hz lands on its own
// column and not one to the left.
int spectrumXOfFrequency(double hz);

// Abscissa of magnitude entry i (0 .. N/2-1) of an N-point frame: the entry
// stands at its own frequency i * rate / N (exact in doubles, N being a power
// of two), which is where the readout and the peak say it is.
int spectrumEntryX(int entry, int length, uint32_t rate);

// The curve ends with a line down to the bottom edge under the last entry it
// draws, N/2 - 1, at (N/2 - 1) * rate / N; for N = 2 that is entry 0, x = 0.
PixelPoint spectrumClosingPoint(int length, uint32_t rate);

// ---- Voice-print view (SPECTDraw), 551 x 280 ----

// One row per display bin.
constexpr int voicePrintHeight = displayBinCount;
constexpr int voicePrintBottomRow = voicePrintHeight - 1;

// Pixels per hertz for the maximum-frequency setting p (-10..10):
// (1024/22050) / frequencySpanScale(p), so that the rows span maxFrequencyHz(p).
double pixelsPerHertz(int maxFreqStep);

int voicePrintRowOfBin(int bin);
// The bin shown on pixel row `row` (the mapping is its own inverse).
int voicePrintBinOfRow(int row);

struct BinPixel {
    int row;
    int colorIndex;
};
BinPixel voicePrintPixel(int bin, double binValue);

// Row 279 - f*k of a whole kilohertz, as a real; the kilohertz lines, the
// side scale's ticks and its labels are all placed from it.
double kilohertzRowReal(int kilohertz, int maxFreqStep);
int kilohertzRow(int kilohertz, int maxFreqStep);
// Top of the side-scale label of that kilohertz, for a text `textHeight` high:
// the label stands just above its tick.
int axisLabelTop(int kilohertz, int maxFreqStep, int textHeight);

constexpr int kilohertzLineCount = 8;   // 0..7 kHz, whatever the maximum frequency
constexpr int axisLabelCount = 13;      // 0..12 kHz
constexpr int axisWidth = 35;
constexpr int axisTickLength = 15;

// ---- Window-function view (WinFunc), 93 x 32 ----

constexpr int windowShapeWidth = 93;
constexpr int windowShapeHeight = 32;

// Top of the bar of a windowed full-scale sample v (32767 * weight); the bar
// fills the rows below it, so a top of 32 is no bar at all.
int windowBarTop(double windowedSample);

// Bar tops of the 93 columns for window kind `kind` (unknown kinds: rectangular).
void windowShapeBarTops(int kind, int tops[windowShapeWidth]);

// ---- Colour sample (ColorSample), 20 x 148 ----

constexpr int colorSampleWidth = 20;
constexpr int colorSampleHeight = 148;

// Colour index shown on row n (1..147) of the sample: ((148 - n) * 256) / 148.
int colorSampleIndex(int row);

#endif
