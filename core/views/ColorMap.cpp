#include "core/views/ColorMap.h"

#include "core/panel/Parameters.h"

namespace {

// 1/255 and 1/60 as the doubles the colours were always computed with; the
// products are truncated, so even the order of the multiplications shows in
// the last unit of a channel.
constexpr double inverse255 = 0.00392156862745098;
constexpr double inverse60 = 0.016666666666666666;

int clampInt(int value, int low, int high) { return value < low ? low : (value > high ? high : value); }

}  // namespace

ColorRef HsvToRgb(int h, int s, int v)
{
    h = clampInt(h, 0, 360);
    s = clampInt(s, 0, 200);
    v = clampInt(v, 0, 200);
    if (h == 360) h = 0;

    const double sat = s * 1.275;  // 200 -> 255
    const double val = v * 1.275;
    if (sat == 0.0) {
        const int grey = static_cast<int>(val);
        return rgb(grey, grey, grey);
    }

    const int f = h % 60;
    const int p = static_cast<int>(((255.0 - sat) * val) * inverse255);
    const int q = static_cast<int>(((255.0 - (f * sat) * inverse60) * val) * inverse255);
    const int t = static_cast<int>(((255.0 - ((60 - f) * sat) * inverse60) * val) * inverse255);
    const int u = static_cast<int>(val);

    switch (h / 60) {
    case 0: return rgb(u, t, p);
    case 1: return rgb(q, u, p);
    case 2: return rgb(p, u, t);
    case 3: return rgb(p, q, u);
    case 4: return rgb(t, p, u);
    default: return rgb(u, p, q);
    }
}

ColorTable::ColorTable(int monoMode, double width)
{
    for (int i = 0; i < 256; ++i) {
        if (monoMode != 0) {
            entries[i] = rgb(i, i, i);
            continue;
        }
        // A hue below 0 is red, as HsvToRgb would clamp it; converting only
        // in-range reals keeps an absurd width from overflowing the cast.
        const double hueReal = 246.0 - i * width;
        const int hue = hueReal > 0.0 ? (hueReal < 360.0 ? static_cast<int>(hueReal) : 360) : 0;
        // The lowest ten indices fade towards black so that silence reads as dark.
        const int value = i < 10 ? 13 * i + 10 : 180;
        entries[i] = HsvToRgb(hue, 180, value);
    }
}

ColorTable::ColorTable() : ColorTable(printMonoMode.load(), colorWidth.load()) {}

int colorIndexOf(double binValue)
{
    const double scaled = 255.0 * binValue;
    // Values outside 0..1 (or NaN) cannot come from the engine; keep the
    // conversion defined rather than trust that.
    if (!(scaled > -2147483648.0 && scaled < 2147483648.0)) return 0;
    return static_cast<int>(scaled) & 0xFF;
}
