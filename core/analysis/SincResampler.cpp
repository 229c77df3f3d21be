#include "core/analysis/SincResampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr double pi = 3.14159265358979323846;
constexpr int phases = 64;
constexpr int zeroCrossings = 8;  // output samples of kernel either side
}

SincResampler::SincResampler(const double* samples, size_t sampleCount, double step)
    : samples_(samples), sampleCount_(static_cast<int64_t>(sampleCount)), step_(step < 1.0 ? 1.0 : step)
{
    // Cut off a little below the new Nyquist frequency, so that the Hann
    // taper's transition band lies mostly below it.
    const double cutoff = (step_ == 1.0 ? 0.5 : 0.47 / step_);  // cycles per input sample
    halfWidth_ = static_cast<int>(std::ceil(zeroCrossings * step_));
    const int taps = 2 * halfWidth_;
    table_.assign(static_cast<size_t>(phases + 1) * taps, 0.0);
    for (int p = 0; p <= phases; ++p) {
        double* row = &table_[static_cast<size_t>(p) * taps];
        const double frac = static_cast<double>(p) / phases;
        double sum = 0.0;
        for (int m = 0; m < taps; ++m) {
            // Tap m reads input sample floor(position) - halfWidth_ + 1 + m.
            const double d = static_cast<double>(m - halfWidth_ + 1) - frac;
            if (std::fabs(d) >= halfWidth_) continue;
            const double x = 2.0 * cutoff * d;
            const double sinc = d == 0.0 ? 1.0 : std::sin(pi * x) / (pi * x);
            const double taper = 0.5 + 0.5 * std::cos(pi * d / halfWidth_);
            row[m] = sinc * taper;
            sum += row[m];
        }
        for (int m = 0; m < taps; ++m) row[m] /= sum;
    }
}

double SincResampler::value(int64_t j) const
{
    const double position = static_cast<double>(j) * step_;
    const double whole = std::floor(position);
    const double where = (position - whole) * phases;
    const int p = std::min(static_cast<int>(where), phases - 1);
    const double w = where - p;
    const int taps = 2 * halfWidth_;
    const double* a = &table_[static_cast<size_t>(p) * taps];
    const double* b = a + taps;
    const int64_t first = static_cast<int64_t>(whole) - halfWidth_ + 1;
    int m0 = 0, m1 = taps;
    if (first < 0) m0 = static_cast<int>(std::min<int64_t>(-first, taps));
    if (first + taps > sampleCount_) m1 = static_cast<int>(std::max<int64_t>(sampleCount_ - first, m0));
    double s0 = 0.0, s1 = 0.0;
    if (w == 0.0) {
        int m = m0;
        for (; m + 1 < m1; m += 2) {
            s0 += a[m] * samples_[first + m];
            s1 += a[m + 1] * samples_[first + m + 1];
        }
        if (m < m1) s0 += a[m] * samples_[first + m];
        return s0 + s1;
    }
    int m = m0;
    for (; m + 1 < m1; m += 2) {
        s0 += (a[m] + w * (b[m] - a[m])) * samples_[first + m];
        s1 += (a[m + 1] + w * (b[m + 1] - a[m + 1])) * samples_[first + m + 1];
    }
    if (m < m1) s0 += (a[m] + w * (b[m] - a[m])) * samples_[first + m];
    return s0 + s1;
}

const double* SincResampler::stretch(int64_t first, size_t count)
{
    if (kept_.size() < count) kept_.resize(count);
    size_t reused = 0;
    const int64_t keptEnd = keptFirst_ + static_cast<int64_t>(keptCount_);
    if (keptCount_ > 0 && first >= keptFirst_ && first < keptEnd) {
        reused = static_cast<size_t>(std::min<int64_t>(keptEnd - first, static_cast<int64_t>(count)));
        std::memmove(kept_.data(), kept_.data() + (first - keptFirst_), reused * sizeof(double));
    }
    for (size_t i = reused; i < count; ++i) kept_[i] = value(first + static_cast<int64_t>(i));
    keptFirst_ = first;
    keptCount_ = count;
    return kept_.data();
}
