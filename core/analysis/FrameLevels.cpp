#include "core/analysis/FrameLevels.h"

#include <cmath>
#include <limits>
#include <mutex>

#include "core/analysis/DftEngine.h"
#include "core/analysis/WindowFunction.h"

namespace {

constexpr int maxCachedLog2 = 12;

double meanWeight(int kind, int length)
{
    // Summed in long double so that the mean does not depend on rounding
    // 4096 terms in turn; the weights themselves are the engine's doubles.
    long double sum = 0;
    for (int i = 0; i < length; ++i) sum += windowValue(kind, i, length);
    return static_cast<double>(sum / length);
}

int log2OfPowerOfTwo(int length)
{
    if (length <= 0 || (length & (length - 1)) != 0) return -1;
    int log2 = 0;
    while ((1 << log2) < length) ++log2;
    return log2;
}

}  // namespace

double coherentGain(int kind, int length)
{
    kind = appliedWindowKind(kind);
    if (kind == WindowRectangular || length <= 0) return 1.0;
    const int log2 = log2OfPowerOfTwo(length);
    if (log2 < 0 || log2 > maxCachedLog2) return meanWeight(kind, length);

    static double gains[WindowBlackman + 1][maxCachedLog2 + 1];
    static std::once_flag computed;
    std::call_once(computed, [] {
        for (int k = WindowHanning; k <= WindowBlackman; ++k)
            for (int l = 0; l <= maxCachedLog2; ++l) gains[k][l] = meanWeight(k, 1 << l);
    });
    return gains[kind][log2];
}

double levelOffsetDb(int entry, int length, int kind)
{
    const double mirror = entry == 0 || entry == length / 2 ? 1.0 : 2.0;
    return 20.0 * std::log10(mirror / (coherentGain(kind, length) * fullScaleAmplitude));
}

double levelDbFs(double raw, int entry, int length, int kind)
{
    if (!(raw > 0.0)) return -std::numeric_limits<double>::infinity();
    return 20.0 * std::log10(raw) + levelOffsetDb(entry, length, kind);
}

FramePeak findFramePeak(const double* raw, int length, uint32_t rate, int kind)
{
    FramePeak peak;
    const int half = length / 2;
    if (half < 1 || raw == nullptr) return peak;
    int strongest = 0;
    for (int i = 1; i < half; ++i)
        if (raw[i] > raw[strongest]) strongest = i;

    const double hzPerEntry = static_cast<double>(rate) / length;
    peak.entry = strongest;
    peak.frequencyHz = strongest * hzPerEntry;
    peak.levelDb = levelDbFs(raw[strongest], strongest, length, kind);
    if (strongest == 0 || strongest == half - 1) return peak;
    if (!(raw[strongest - 1] > 0.0 && raw[strongest + 1] > 0.0)) return peak;

    // Entries 1..N/2-1 share one offset, so the parabola may be fitted to
    // 20 log10 of the raw values and shifted afterwards.
    const double a = 20.0 * std::log10(raw[strongest - 1]);
    const double b = 20.0 * std::log10(raw[strongest]);
    const double c = 20.0 * std::log10(raw[strongest + 1]);
    const double curvature = a - 2.0 * b + c;
    if (!(curvature < 0.0)) return peak;  // a flat top: no vertex to find
    const double p = 0.5 * (a - c) / curvature;
    peak.frequencyHz = (strongest + p) * hzPerEntry;
    peak.levelDb = b - 0.25 * (a - c) * p + levelOffsetDb(strongest, length, kind);
    peak.interpolated = true;
    return peak;
}
