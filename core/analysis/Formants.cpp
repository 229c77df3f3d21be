#include "core/analysis/Formants.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>

#include "core/analysis/PolynomialRoots.h"
#include "core/analysis/SincResampler.h"

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double marginHz = 50.0;
// exp(-12 v^2) with v = 2u, u running from -1/2 to 1/2 over the window.
constexpr double sharpness = 48.0;
// The band up to the ceiling must keep its level: linear prediction puts
// its fifth pole pair where the upper formants are, and where they have
// been filtered away it puts it where no formant is, often near F0. So the
// resampler's kernel is long.
constexpr int kernelZeroCrossings = 16;

FormantSet missingSet()
{
    FormantSet set;
    for (int i = 0; i < formantCount; ++i) set.hz[i] = set.bandwidthHz[i] = std::numeric_limits<double>::quiet_NaN();
    return set;
}

// Burg's method: the prediction coefficients a[1..order] of x[0..n-1]
// (a[0] = 1), for A(z) = 1 + a1 z^-1 + ... ; f and b are work arrays of n,
// g and h two more. False where the frame has no energy to fit.
//
// Each order is one pass: the new forward and backward errors go to the
// other pair of arrays, and the numerator of the next order's reflection
// coefficient is summed as they are made; its denominator follows from the
// last one (Andersen's recursion).
bool burg(const double* x, size_t n, int order, double* a, double* f, double* b, double* g, double* h)
{
    std::fill(a, a + order + 1, 0.0);
    a[0] = 1.0;
    double energy = 0.0;
    for (size_t i = 0; i < n; ++i) energy += x[i] * x[i];
    if (!(energy > 0.0) || !std::isfinite(energy) || n < 2) return false;
    std::copy(x, x + n, f);
    std::copy(x, x + n, b);
    double num = 0.0;
    for (size_t i = 1; i < n; ++i) num += f[i] * b[i - 1];
    double den = 2.0 * energy - x[0] * x[0] - x[n - 1] * x[n - 1];
    for (int m = 1; m <= order; ++m) {
        if (!(den > 0.0)) break;  // the fit is already exact
        const double k = -2.0 * num / den;
        for (int j = 1; j <= m / 2; ++j) {
            const double low = a[j], high = a[m - j];
            a[j] = low + k * high;
            a[m - j] = high + k * low;
        }
        a[m] = k;
        // g[t] = f[t] + k b[t-1], h[t] = b[t-1] + k f[t] for t = m .. n-1;
        // the next numerator sums g[t] h[t-1] for t = m+1 .. n-1.
        const size_t first = static_cast<size_t>(m);
        g[first] = f[first] + k * b[first - 1];
        h[first] = b[first - 1] + k * f[first];
        double num0 = 0.0, num1 = 0.0;
        size_t t = first + 1;
        for (; t + 1 < n; t += 2) {
            g[t] = f[t] + k * b[t - 1];
            h[t] = b[t - 1] + k * f[t];
            num0 += g[t] * h[t - 1];
            g[t + 1] = f[t + 1] + k * b[t];
            h[t + 1] = b[t] + k * f[t + 1];
            num1 += g[t + 1] * h[t];
        }
        for (; t < n; ++t) {
            g[t] = f[t] + k * b[t - 1];
            h[t] = b[t - 1] + k * f[t];
            num0 += g[t] * h[t - 1];
        }
        num = num0 + num1;
        // Next order's terms run from m + 1: drop g[m]^2 and h[n - 1]^2.
        den = (1.0 - k * k) * den - g[first] * g[first] - h[n - 1] * h[n - 1];
        std::swap(f, g);
        std::swap(b, h);
    }
    return true;
}

bool settingsUsable(double rate, const FormantSettings& s)
{
    return std::isfinite(rate) && rate > 0.0 && std::isfinite(s.ceilingHz) && s.ceilingHz > 2.0 * marginHz &&
           s.maxFormants >= 1 && s.maxFormants <= 20 && std::isfinite(s.windowSeconds) && s.windowSeconds > 0.0 &&
           std::isfinite(s.preEmphasisFromHz) && s.preEmphasisFromHz >= 0.0;
}

}  // namespace

std::vector<FormantSet> trackFormants(const double* samples, size_t sampleCount, double sampleRate,
                                      const double* centres, size_t centreCount, const FormantSettings& settings)
{
    std::vector<FormantSet> sets(centreCount, missingSet());
    if (samples == nullptr || centres == nullptr || sampleCount == 0 || !settingsUsable(sampleRate, settings)) return sets;

    const double rate = std::min(2.0 * settings.ceilingHz, sampleRate);
    const double step = sampleRate / rate;                       // input samples per output sample
    const double halfSpan = settings.windowSeconds * sampleRate;  // half the physical window, input samples
    const double span = 2.0 * halfSpan;
    if (span > static_cast<double>(sampleCount)) return sets;  // fits nowhere
    const int order = 2 * settings.maxFormants;
    const double emphasis = std::exp(-2.0 * pi * settings.preEmphasisFromHz / rate);
    const double edge = std::exp(-12.0);
    const double delta = step / span;  // u per output sample
    const double maxHz = 0.5 * rate - marginHz;

    const size_t capacity = static_cast<size_t>(std::ceil(span / step)) + 3;
    std::vector<double> frame(capacity), f(capacity), b(capacity), g(capacity), h(capacity), a(static_cast<size_t>(order) + 1);
    std::vector<double> polynomial(static_cast<size_t>(order) + 1);
    SincResampler resampler(samples, sampleCount, step, kernelZeroCrossings, 0.5);

    for (size_t c = 0; c < centreCount; ++c) {
        const double centre = centres[c];
        if (!std::isfinite(centre) || centre - halfSpan < 0.0 || centre + halfSpan > static_cast<double>(sampleCount - 1))
            continue;
        const int64_t first = static_cast<int64_t>(std::ceil((centre - halfSpan) / step));
        const int64_t last = static_cast<int64_t>(std::floor((centre + halfSpan) / step));
        const size_t n = static_cast<size_t>(last - first + 1);
        if (n <= static_cast<size_t>(order) + 1 || n > capacity) continue;
        const double* x = resampler.stretch(first - 1, n + 1);  // one before, for the pre-emphasis

        // exp(-48 u^2) by a running product: two multiplications a sample.
        const double u0 = (static_cast<double>(first) * step - centre) / span;
        double gauss = std::exp(-sharpness * u0 * u0);
        double ratio = std::exp(-sharpness * (2.0 * u0 * delta + delta * delta));
        const double ratioStep = std::exp(-2.0 * sharpness * delta * delta);
        for (size_t i = 0; i < n; ++i) {
            frame[i] = (x[i + 1] - emphasis * x[i]) * (gauss - edge) / (1.0 - edge);
            gauss *= ratio;
            ratio *= ratioStep;
        }
        if (!burg(frame.data(), n, order, a.data(), f.data(), b.data(), g.data(), h.data())) continue;
        std::copy(a.begin(), a.end(), polynomial.begin());
        const std::vector<std::complex<double>> roots = polynomialRoots(polynomial);

        double hz[32], bandwidth[32];
        int found = 0;
        for (std::complex<double> z : roots) {
            if (z.imag() <= 0.0) continue;
            if (std::abs(z) > 1.0) z = 1.0 / std::conj(z);  // keep it stable: same frequency, inside the circle
            const double frequency = std::arg(z) * rate / (2.0 * pi);
            if (frequency < marginHz || frequency > maxHz || found >= 32) continue;
            hz[found] = frequency;
            bandwidth[found] = -std::log(std::abs(z)) * rate / pi;
            ++found;
        }
        // Lowest first; a handful of values, so a plain insertion sort.
        for (int i = 1; i < found; ++i)
            for (int j = i; j > 0 && hz[j] < hz[j - 1]; --j) {
                std::swap(hz[j], hz[j - 1]);
                std::swap(bandwidth[j], bandwidth[j - 1]);
            }
        for (int i = 0; i < std::min(found, formantCount); ++i) {
            sets[c].hz[i] = hz[i];
            sets[c].bandwidthHz[i] = bandwidth[i];
        }
    }
    return sets;
}

size_t formantSamplesNeeded(double centre, double sampleRate, const FormantSettings& settings)
{
    if (!std::isfinite(centre) || !settingsUsable(sampleRate, settings)) return 0;
    const double step = sampleRate / std::min(2.0 * settings.ceilingHz, sampleRate);
    const double last = std::floor((centre + settings.windowSeconds * sampleRate) / step);  // as trackFormants places it
    const double reach = std::ceil(kernelZeroCrossings * step);                             // as the resampler reads
    return static_cast<size_t>(std::max(0.0, std::floor(last * step) + reach + 1.0));
}
