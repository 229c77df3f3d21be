#include "core/analysis/SincResampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr double pi = 3.14159265358979323846;
constexpr int phases = 512;
}

SincResampler::SincResampler(const double* samples, size_t sampleCount, double step, int zeroCrossings, double cutoff)
    : samples_(samples), sampleCount_(static_cast<int64_t>(sampleCount)), step_(step < 1.0 ? 1.0 : step)
{
    cutoff = step_ == 1.0 ? 0.5 : cutoff / step_;  // cycles per input sample
    halfWidth_ = static_cast<int>(std::ceil(zeroCrossings * step_));
    const int taps = 2 * halfWidth_;
    table_.assign(static_cast<size_t>(phases + 1) * taps, 0.0);
    for (int p = 0; p <= phases; ++p) {
        double* row = &table_[static_cast<size_t>(p) * taps];
        const double frac = static_cast<double>(p) / phases;
        // Tap m reads input sample floor(position) - halfWidth_ + 1 + m, at
        // distance d = m - halfWidth_ + 1 - frac. sin(2 pi cutoff d) and
        // cos(pi d / halfWidth_) step along the taps by rotation.
        const double d0 = static_cast<double>(1 - halfWidth_) - frac;
        const double a = 2.0 * pi * cutoff, b = pi / halfWidth_;
        double sinA = std::sin(a * d0), cosA = std::cos(a * d0);
        double sinB = std::sin(b * d0), cosB = std::cos(b * d0);
        const double stepSinA = std::sin(a), stepCosA = std::cos(a), stepSinB = std::sin(b), stepCosB = std::cos(b);
        double sum = 0.0;
        for (int m = 0; m < taps; ++m) {
            const double d = d0 + m;
            if (std::fabs(d) < halfWidth_) {
                const double sinc = std::fabs(d) < 1e-12 ? 1.0 : sinA / (a * d);
                row[m] = sinc * (0.5 + 0.5 * cosB);
                sum += row[m];
            }
            const double nextSinA = sinA * stepCosA + cosA * stepSinA;
            cosA = cosA * stepCosA - sinA * stepSinA;
            sinA = nextSinA;
            const double nextSinB = sinB * stepCosB + cosB * stepSinB;
            cosB = cosB * stepCosB - sinB * stepSinB;
            sinB = nextSinB;
        }
        for (int m = 0; m < taps; ++m) row[m] /= sum;
    }
}

// The nearest of 512 phases: a position off by 1/1024 of an input sample at
// most, far below what a formant or F0 can tell.
double SincResampler::value(int64_t j) const
{
    const double position = static_cast<double>(j) * step_;
    const double whole = std::floor(position);
    const int p = static_cast<int>((position - whole) * phases + 0.5);
    const int taps = 2 * halfWidth_;
    const double* k = &table_[static_cast<size_t>(p) * taps];
    const int64_t first = static_cast<int64_t>(whole) - halfWidth_ + 1;
    int m0 = 0, m1 = taps;
    if (first < 0) m0 = static_cast<int>(std::min<int64_t>(-first, taps));
    if (first + taps > sampleCount_) m1 = static_cast<int>(std::max<int64_t>(sampleCount_ - first, m0));
    const double* x = samples_ + first;
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    int m = m0;
    for (; m + 3 < m1; m += 4) {
        s0 += k[m] * x[m];
        s1 += k[m + 1] * x[m + 1];
        s2 += k[m + 2] * x[m + 2];
        s3 += k[m + 3] * x[m + 3];
    }
    for (; m < m1; ++m) s0 += k[m] * x[m];
    return (s0 + s1) + (s2 + s3);
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
