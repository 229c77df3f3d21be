// The colour map from a colour index 0..255 to a screen colour: a hue ramp
// (dark blue to red, "ColorWidth" compresses it) or a grey ramp in Mono mode.
#ifndef KELVARA_COLOR_MAP_H
#define KELVARA_COLOR_MAP_H

#include <cstdint>

// Same encoding as the platform's COLORREF: red in the low byte.
using ColorRef = uint32_t;
constexpr ColorRef rgb(int r, int g, int b)
{
    return static_cast<ColorRef>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int redOf(ColorRef c) { return c & 0xFF; }
constexpr int greenOf(ColorRef c) { return (c >> 8) & 0xFF; }
constexpr int blueOf(ColorRef c) { return (c >> 16) & 0xFF; }

// H in whole degrees, S and V on a 0..200 scale; clamped as the map needs.
ColorRef HsvToRgb(int h, int s, int v);

struct ColorTable {
    ColorRef entries[256];
    // Builds the table for the given mode (nonzero = Mono) and width (1.0..2.0).
    ColorTable(int monoMode, double width);
    // Builds the table from the current printMonoMode and colorWidth.
    ColorTable();
    ColorRef operator[](int index) const { return entries[index & 0xFF]; }
};

// Colour index of a display bin value: low 8 bits of trunc(255 * value).
int colorIndexOf(double binValue);

#endif
