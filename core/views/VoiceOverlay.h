// The two overlays over the voice print, pixel by pixel: the pitch curve
// with its own scale at the right edge, and the formants as dots. Worked out
// here, whole, so that the view only copies them over its picture and a test
// can tell exactly which pixels they own.
//
// Pitch lives far below the picture's frequency span, so its curve has a
// scale of its own: from the pitch floor (bottom row) to the pitch ceiling
// (top row), logarithmic in frequency, so that an octave is the same height
// everywhere. Formants sit on the picture's own frequency axis, as the rows
// of the run that painted it. Both are drawn in colours that no colour map
// or grey ramp holds (every channel of the maps stays below 230 or the three
// are equal), each inked stroke framed by a dark outline so that it shows on
// any part of the picture.
#ifndef KELVARA_VOICE_OVERLAY_H
#define KELVARA_VOICE_OVERLAY_H

#include <cstdint>
#include <vector>

#include "core/analysis/VoiceNumbers.h"
#include "core/views/ColorMap.h"
#include "core/views/ViewGeometry.h"

enum class OverlayInk : uint8_t { none = 0, outline, pitch, formant };

constexpr ColorRef pitchInkColor = rgb(0, 255, 255);
constexpr ColorRef formantInkColor = rgb(255, 0, 0);
constexpr ColorRef outlineInkColor = rgb(0, 0, 0);
ColorRef inkColor(OverlayInk ink);

// The pitch scale's ends: the tracker's standard floor and ceiling.
constexpr double pitchScaleFloorHz = 75.0;
constexpr double pitchScaleCeilingHz = 600.0;
// The values labelled at the right edge.
constexpr int pitchScaleLabelCount = 3;
constexpr int pitchScaleLabelHz[pitchScaleLabelCount] = {100, 200, 400};
constexpr int pitchTickLength = 4;  // ticks end at the right edge

// Row of an F0 on the pitch scale, the floor on the bottom row and the
// ceiling on row 0, as a real; NaN for a frequency outside floor..ceiling
// (or unvoiced, 0).
double pitchRowReal(double hz);
// The same, rounded to the nearest row; -1 outside.
int pitchRow(double hz);

// Row of a formant on the picture's axis, 279 - trunc(hz * k) as the
// kilohertz lines; -1 for a missing one or one above the top of the picture.
int formantRow(double hz, int maxFreqStep);

// Every pixel of the overlays, row by row (voicePrintHeight x columnCount).
struct VoiceOverlay {
    std::vector<OverlayInk> ink = std::vector<OverlayInk>(static_cast<size_t>(voicePrintHeight) * columnCount);
    bool empty = true;  // no pixel inked
    OverlayInk at(int x, int y) const { return ink[static_cast<size_t>(y) * columnCount + x]; }
};

// Draws the overlays that are switched on for the run's columns into
// `overlay`, replacing what it held. `maxFreqStep` is the one the picture
// was painted with.
//  - Pitch: in each voiced column a 2-pixel-high stroke at its row, stretched
//    to meet its voiced neighbours halfway, so the curve is unbroken while
//    voiced and broken where a column is unvoiced; the scale's labels and
//    ticks at the right edge.
//  - Formants: a 2 x 2 dot per formant, its top-left pixel on the formant's
//    row and column, in columns that formantsShownAt.
// The outline is every pixel beside an inked one (eight neighbours) that is
// not inked itself; pitch is inked over formants.
void drawVoiceOverlay(VoiceOverlay& overlay, const VoiceNumbers& voice, int maxFreqStep, bool showPitch,
                      bool showFormants);

// ---- Ticks on the spectrum's frequency axis ----

// The harmonics of F0 that are ticked, the fundamental included.
constexpr int tickedHarmonics = 5;
constexpr int spectrumTickLength = 8;  // rows up from the bottom edge

struct SpectrumTick {
    int x;
    OverlayInk ink;
    bool operator==(const SpectrumTick& o) const { return x == o.x && ink == o.ink; }
};

// Ticks at F0 and its first harmonics (pitch) and at F1..F4 (formants) of a
// column, at 30 Hz a pixel; those beyond the view are left out.
std::vector<SpectrumTick> spectrumTicks(const VoiceColumn& column, bool showPitch, bool showFormants);

#endif
