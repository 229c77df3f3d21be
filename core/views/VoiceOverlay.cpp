#include "core/views/VoiceOverlay.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace {

constexpr int width = columnCount;
constexpr int height = voicePrintHeight;

// Digits 5 x 7, each row's bits from the left (bit 4) to the right (bit 0):
// the scale's labels are inked pixel by pixel like the rest of the overlay,
// whatever fonts the system has.
constexpr int glyphWidth = 5;
constexpr int glyphHeight = 7;
constexpr uint8_t digitGlyphs[10][glyphHeight] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},  // 0
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},  // 1
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},  // 2
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},  // 3
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},  // 4
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},  // 5
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},  // 6
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},  // 7
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},  // 8
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},  // 9
};

class Inker {
public:
    explicit Inker(VoiceOverlay& overlay) : overlay_(overlay) {}

    void ink(int x, int y, OverlayInk kind)
    {
        if (x < 0 || x >= width || y < 0 || y >= height) return;
        OverlayInk& pixel = overlay_.ink[static_cast<size_t>(y) * width + x];
        // Pitch is drawn over formants, whatever the order of the calls.
        if (pixel != OverlayInk::pitch) pixel = kind;
        overlay_.empty = false;
    }

    void column(int x, int top, int bottom, OverlayInk kind)
    {
        for (int y = top; y <= bottom; ++y) ink(x, y, kind);
    }

    // A label whose last pixel column is `right`, centred on row `row`.
    void label(int value, int right, int row)
    {
        const std::string digits = std::to_string(value);
        const int count = static_cast<int>(digits.size());
        int left = right + 1 - (count * (glyphWidth + 1) - 1);
        const int top = row - glyphHeight / 2;
        for (char digit : digits) {
            const uint8_t* glyph = digitGlyphs[digit - '0'];
            for (int gy = 0; gy < glyphHeight; ++gy)
                for (int gx = 0; gx < glyphWidth; ++gx)
                    if (glyph[gy] & (0x10 >> gx)) ink(left + gx, top + gy, OverlayInk::pitch);
            left += glyphWidth + 1;
        }
    }

    // Frames every inked pixel with the outline.
    void outline()
    {
        std::vector<OverlayInk>& ink = overlay_.ink;
        const auto inked = [&](int x, int y) {
            if (x < 0 || x >= width || y < 0 || y >= height) return false;
            const OverlayInk p = ink[static_cast<size_t>(y) * width + x];
            return p == OverlayInk::pitch || p == OverlayInk::formant;
        };
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                if (inked(x, y)) continue;
                bool beside = false;
                for (int dy = -1; dy <= 1 && !beside; ++dy)
                    for (int dx = -1; dx <= 1 && !beside; ++dx) beside = inked(x + dx, y + dy);
                if (beside) ink[static_cast<size_t>(y) * width + x] = OverlayInk::outline;
            }
    }

private:
    VoiceOverlay& overlay_;
};

void drawPitch(Inker& inker, const VoiceNumbers& voice)
{
    const auto rowOf = [&](int x) { return x >= 0 && x < voice.columns ? pitchRow(voice.column[x].f0Hz) : -1; };
    for (int x = 0; x < voice.columns && x < width; ++x) {
        const int y = rowOf(x);
        if (y < 0) continue;
        int top = y;
        int bottom = y + 1;
        // Halfway to each voiced neighbour, which reaches as far towards this
        // column: the two strokes share the middle row and the curve is whole.
        for (int neighbour : {x - 1, x + 1}) {
            const int other = rowOf(neighbour);
            if (other < 0) continue;
            const int middle = (y + other) / 2;
            top = std::min(top, middle);
            bottom = std::max(bottom, middle);
        }
        inker.column(x, top, std::min(bottom, height - 1), OverlayInk::pitch);
    }
    for (int hz : pitchScaleLabelHz) {
        const int row = pitchRow(hz);
        for (int x = width - pitchTickLength; x < width; ++x) inker.ink(x, row, OverlayInk::pitch);
        inker.label(hz, width - pitchTickLength - 3, row);
    }
}

void drawFormants(Inker& inker, const VoiceNumbers& voice, int maxFreqStep)
{
    for (int x = 0; x < voice.columns && x < width; ++x) {
        if (!formantsShownAt(voice, x)) continue;
        for (double hz : voice.column[x].formantHz) {
            const int y = formantRow(hz, maxFreqStep);
            if (y < 0) continue;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) inker.ink(x + dx, y + dy, OverlayInk::formant);
        }
    }
}

}  // namespace

ColorRef inkColor(OverlayInk ink)
{
    switch (ink) {
    case OverlayInk::pitch: return pitchInkColor;
    case OverlayInk::formant: return formantInkColor;
    default: return outlineInkColor;
    }
}

double pitchRowReal(double hz)
{
    if (!(hz >= pitchScaleFloorHz && hz <= pitchScaleCeilingHz)) return std::numeric_limits<double>::quiet_NaN();
    return voicePrintBottomRow * std::log(pitchScaleCeilingHz / hz) / std::log(pitchScaleCeilingHz / pitchScaleFloorHz);
}

int pitchRow(double hz)
{
    const double row = pitchRowReal(hz);
    return std::isnan(row) ? -1 : static_cast<int>(std::floor(row + 0.5));
}

int formantRow(double hz, int maxFreqStep)
{
    if (!(hz >= 0.0)) return -1;  // NaN too
    const double row = voicePrintBottomRow - hz * pixelsPerHertz(maxFreqStep);
    return row >= 0.0 ? truncToInt(row) : -1;
}

void drawVoiceOverlay(VoiceOverlay& overlay, const VoiceNumbers& voice, int maxFreqStep, bool showPitch,
                      bool showFormants)
{
    std::fill(overlay.ink.begin(), overlay.ink.end(), OverlayInk::none);
    overlay.empty = true;
    if (voice.columns <= 0) return;
    Inker inker(overlay);
    if (showFormants) drawFormants(inker, voice, maxFreqStep);
    if (showPitch) drawPitch(inker, voice);
    if (!overlay.empty) inker.outline();
}

std::vector<SpectrumTick> spectrumTicks(const VoiceColumn& column, bool showPitch, bool showFormants)
{
    std::vector<SpectrumTick> ticks;
    const auto add = [&](double hz, OverlayInk ink) {
        if (!(hz > 0.0)) return;
        const int x = spectrumXOfFrequency(hz);
        if (x >= 0 && x < columnCount) ticks.push_back(SpectrumTick{x, ink});
    };
    if (showPitch)
        for (int h = 1; h <= tickedHarmonics; ++h) add(h * column.f0Hz, OverlayInk::pitch);
    if (showFormants)
        for (double hz : column.formantHz) add(hz, OverlayInk::formant);
    return ticks;
}
