#include "core/analysis/RealFft.h"

#include <cmath>

namespace {
constexpr double twoPi = 6.283185307179586476925;
}

RealFft::RealFft(size_t n) : n_(n), half_(n / 2)
{
    reversed_.resize(half_);
    int bits = 0;
    while ((size_t{1} << bits) < half_) ++bits;
    for (size_t i = 0; i < half_; ++i) {
        size_t r = 0;
        for (int b = 0; b < bits; ++b)
            if (i & (size_t{1} << b)) r |= size_t{1} << (bits - 1 - b);
        reversed_[i] = r;
    }
    cosTable_.resize(half_ / 2 + 1);
    sinTable_.resize(half_ / 2 + 1);
    for (size_t k = 0; k <= half_ / 2; ++k) {
        cosTable_[k] = std::cos(twoPi * static_cast<double>(k) / static_cast<double>(half_));
        sinTable_[k] = std::sin(twoPi * static_cast<double>(k) / static_cast<double>(half_));
    }
    splitCos_.resize(half_ + 1);
    splitSin_.resize(half_ + 1);
    for (size_t k = 0; k <= half_; ++k) {
        splitCos_[k] = std::cos(twoPi * static_cast<double>(k) / static_cast<double>(n_));
        splitSin_[k] = std::sin(twoPi * static_cast<double>(k) / static_cast<double>(n_));
    }
}

// In place over half_ complex values; the forward sign is e^(-i...), no scaling.
void RealFft::complexTransform(double* zr, double* zi, bool inverse) const
{
    for (size_t i = 0; i < half_; ++i) {
        const size_t r = reversed_[i];
        if (r > i) {
            std::swap(zr[i], zr[r]);
            std::swap(zi[i], zi[r]);
        }
    }
    const double sign = inverse ? 1.0 : -1.0;
    size_t span = 1;
    if (half_ >= 4) {
        // The first two stages together: their twiddles are 1 and -+i, so
        // they need no multiplication.
        for (size_t i = 0; i < half_; i += 4) {
            const double ar = zr[i] + zr[i + 1], ai = zi[i] + zi[i + 1];
            const double br = zr[i] - zr[i + 1], bi = zi[i] - zi[i + 1];
            const double cr = zr[i + 2] + zr[i + 3], ci = zi[i + 2] + zi[i + 3];
            const double dr = zr[i + 2] - zr[i + 3], di = zi[i + 2] - zi[i + 3];
            // d times the twiddle sign * i
            const double tr = -sign * di, ti = sign * dr;
            zr[i] = ar + cr;
            zi[i] = ai + ci;
            zr[i + 2] = ar - cr;
            zi[i + 2] = ai - ci;
            zr[i + 1] = br + tr;
            zi[i + 1] = bi + ti;
            zr[i + 3] = br - tr;
            zi[i + 3] = bi - ti;
        }
        span = 4;
    }
    for (; span < half_; span *= 2) {
        const size_t stride = half_ / (2 * span);
        for (size_t k = 0; k < span; ++k) {
            const double wr = cosTable_[k * stride];
            const double wi = sign * sinTable_[k * stride];
            for (size_t i = k; i < half_; i += 2 * span) {
                const size_t j = i + span;
                const double tr = zr[j] * wr - zi[j] * wi;
                const double ti = zr[j] * wi + zi[j] * wr;
                zr[j] = zr[i] - tr;
                zi[j] = zi[i] - ti;
                zr[i] += tr;
                zi[i] += ti;
            }
        }
    }
}

// The n real samples as n/2 complex ones (even samples real, odd imaginary),
// transformed, then split into the spectra of the even and the odd samples.
void RealFft::forward(const double* samples, double* re, double* im, double* scratch) const
{
    double* zr = scratch;
    double* zi = scratch + half_;
    for (size_t i = 0; i < half_; ++i) {
        zr[i] = samples[2 * i];
        zi[i] = samples[2 * i + 1];
    }
    complexTransform(zr, zi, false);
    re[0] = zr[0] + zi[0];
    im[0] = 0.0;
    re[half_] = zr[0] - zi[0];
    im[half_] = 0.0;
    for (size_t k = 1; k < half_; ++k) {
        const size_t m = half_ - k;
        const double er = 0.5 * (zr[k] + zr[m]), ei = 0.5 * (zi[k] - zi[m]);
        const double or_ = 0.5 * (zi[k] + zi[m]), oi = -0.5 * (zr[k] - zr[m]);
        // X[k] = E[k] + e^(-2 pi i k / n) O[k]
        const double c = splitCos_[k], s = splitSin_[k];
        re[k] = er + c * or_ + s * oi;
        im[k] = ei + c * oi - s * or_;
    }
}

void RealFft::inverse(const double* re, const double* im, double* samples, double* scratch) const
{
    double* zr = scratch;
    double* zi = scratch + half_;
    for (size_t k = 0; k < half_; ++k) {
        const size_t m = half_ - k;
        const double er = 0.5 * (re[k] + re[m]), ei = 0.5 * (im[k] - im[m]);
        const double dr = 0.5 * (re[k] - re[m]), di = 0.5 * (im[k] + im[m]);
        // O[k] = (X[k] - conj X[n/2 - k]) e^(2 pi i k / n) / 2
        const double c = splitCos_[k], s = splitSin_[k];
        const double or_ = dr * c - di * s, oi = dr * s + di * c;
        zr[k] = er - oi;
        zi[k] = ei + or_;
    }
    if (half_ > 0) {  // bins 0 and n/2 carry no imaginary part
        zr[0] = 0.5 * (re[0] + re[half_]);
        zi[0] = 0.5 * (re[0] - re[half_]);
    }
    complexTransform(zr, zi, true);
    const double scale = 1.0 / static_cast<double>(n_);
    for (size_t i = 0; i < half_; ++i) {
        samples[2 * i] = zr[i] * scale * 2.0;
        samples[2 * i + 1] = zi[i] * scale * 2.0;
    }
}
