// What the load and voice-print UI tests expect to see, worked out without
// the program's drawing code: the waveform's pixels from the samples, the
// spectrum curve and the voice-print columns from a DftEngine run in this
// process on the same frames. The steps that bring those pictures about are
// the driver's (UserSteps.h).
//
// The models say exactly which pixels they know. Where a pixel depends on
// something they do not model (the glyphs of a label, the joins of the
// trace between neighbouring columns) they leave it out rather than guess.
#ifndef KELVARA_UI_VIEW_EXPECTATIONS_H
#define KELVARA_UI_VIEW_EXPECTATIONS_H

#include "driver/UiDriver.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/analysis/DftEngine.h"
#include "core/audio/SoundBuffer.h"
#include "core/views/ColorMap.h"
#include "core/views/VoiceOverlay.h"

namespace vpt {

using ui::Image;
using ui::Rgb;

// ---- Pixels --------------------------------------------------------------------

Rgb rgbOf(ColorRef color);
Rgb inverted(Rgb c);  // what a NOTSRCCOPY copy shows

constexpr Rgb black{0, 0, 0};
constexpr Rgb traceGreen{0, 255, 0};      // waveform trace and selection lines, spectrum curve
constexpr Rgb waveGrid{0, 159, 98};       // waveform and spectrum grid
constexpr Rgb waveCursorBlue{50, 50, 255};
constexpr Rgb voicePrintCursorRed{255, 0, 0};
constexpr Rgb kilohertzLineYellow{255, 255, 0};
constexpr Rgb axisGrey{128, 128, 128};

// Pixel-by-pixel comparison with a short account of what differed.
struct Comparison {
    int checked = 0;
    int mismatches = 0;
    std::string firstMismatches;  // up to a dozen, "(x,y) expected E got G"
    void expect(int x, int y, Rgb expected, Rgb got);
    // A pixel that must not have a colour.
    void expectNot(int x, int y, Rgb forbidden, Rgb got);
};
std::ostream& operator<<(std::ostream& out, const Comparison& c);

// ---- Waveform view (551 x 128) -----------------------------------------------

// Rows below the time labels; the model covers these only.
constexpr int waveformFirstModelRow = 20;

struct WaveformState {
    uint32_t selStartX = 0;
    uint32_t selEndX = 0;
    uint32_t cursorX = 0;
};

// Compares columns `columns` (all when empty) of a capture of the waveform
// with the trace of `samples` and the grid, inverted in the selected band.
// Columns next to the selection lines and the cursor are skipped; so are,
// in each column, the rows between its own stroke and its neighbours'
// strokes, where the joins run.
Comparison compareWaveform(const Image& image, const std::vector<double>& samples, const WaveformState& state,
                           const std::vector<int>& columns = {});

// The selection end that a refresh puts 551 frame periods after the start.
uint32_t selectionEndFromPeriod(uint32_t selStartX, int period, uint32_t sampleCount);
// First sample of column x: trunc(x * sampleCount * (1/551)).
int32_t sampleOfColumn(uint32_t column, uint32_t sampleCount);
// Column of a sample position: trunc(p / (sampleCount * (1/551))).
int columnOfSample(uint32_t position, uint32_t sampleCount);

// The 2-pixel cursor line at `column`: every row of `column` and of one of its
// neighbours has `color`.
bool hasCursorAt(const Image& image, int column, Rgb color, int firstRow = 0);

// ---- Spectrum view (551 x 128) ------------------------------------------------

// The curve of the engine's frame: every point drawn in green, and no green
// pixel away from the segments that join the points.
Comparison compareSpectrumCurve(const Image& image, const DftEngine& engine);

// ---- Voice print (551 x 280) --------------------------------------------------

using VoicePrintColumn = std::array<ColorRef, displayBinCount>;  // index = row

// Columns of a voice-print run over `sound`: frame k starts at
// analysisStart + k * period, at most 551 frames while they fit, analysed with
// the defaults of the analysis parameters in this process.
std::vector<VoicePrintColumn> expectedVoicePrint(const SoundBuffer& sound, int32_t analysisStart, int32_t period,
                                                 int frameOrder, int windowKind, const ColorTable& colors);

// Compares the columns of `expected` (columns beyond it must still be black)
// with a capture, except the columns in `skip` (cursor strips).
Comparison compareVoicePrint(const Image& image, const std::vector<VoicePrintColumn>& expected,
                             const std::vector<int>& skip);

// How many pixels of a capture of the voice print differ from `picture`
// (columns beyond it black) with `overlay` inked over it, except the columns
// in `skip` (cursor strips); the first few of them are added to `where`.
int overlaidDifferences(const Image& image, const std::vector<VoicePrintColumn>& picture, const VoiceOverlay& overlay,
                        std::string& where, const std::vector<int>& skip = {});

// The DftEngine's analysis of one frame, as the program's runs make it.
void analyse(DftEngine& engine, const SoundBuffer& sound, uint32_t start, int frameOrder, int windowKind);

// The test's own copy of a sound, decoded from the file's bytes.
bool loadSound(SoundBuffer& sound, const std::vector<uint8_t>& fileBytes);

}  // namespace vpt

#endif
