// A plain radix-2 FFT for the voice measurements, apart from the voice
// print's engine (whose results are pinned bit for bit and whose arrays
// belong to one frame of the picture).
//
// A plan holds the read-only tables of one length n (a power of two, 4 or
// more): twiddles and the bit-reversal order. It is built once per length and
// may be shared between threads; the caller owns the buffers it transforms.
//
// forward(): n real samples in, the n/2 + 1 bins of the half spectrum out
// (unscaled, X[k] = sum x[i] e^(-2 pi i k / n)); re[0..n/2] and im[0..n/2].
// inverse(): the same layout back to n real samples, scaled by 1/n, so
// inverse(forward(x)) == x. The imaginary parts of bins 0 and n/2 are ignored.
// Both use `scratch` of n doubles that the caller provides, so no call
// allocates.
#ifndef KELVARA_REAL_FFT_H
#define KELVARA_REAL_FFT_H

#include <cstddef>
#include <vector>

class RealFft {
public:
    explicit RealFft(size_t n);
    size_t size() const { return n_; }

    // samples: n values. re, im: n/2 + 1 values each. scratch: n values.
    void forward(const double* samples, double* re, double* im, double* scratch) const;
    // re, im: n/2 + 1 values each (left unchanged). samples: n values out.
    void inverse(const double* re, const double* im, double* samples, double* scratch) const;

private:
    void complexTransform(double* zr, double* zi, bool inverse) const;

    size_t n_;
    size_t half_;                     // the complex transform's length
    std::vector<size_t> reversed_;    // bit-reversed index for half_
    std::vector<double> cosTable_;    // cos(2 pi k / half_), k < half_/2
    std::vector<double> sinTable_;
    std::vector<double> splitCos_;    // cos(2 pi k / n), k <= half_
    std::vector<double> splitSin_;
};

#endif
