#include "core/analysis/WindowFunction.h"

#include <cmath>

namespace {

// Each weight is formed exactly as written: the angle as (i * constant) / n,
// products before the sums, left to right. Reordering would move the last
// bit, and the voice prints are compared bit for bit.
double hanning(int i, int n) { return 0.5 - 0.5 * std::cos(static_cast<double>(i) * 6.2831853 / n); }

double hamming(int i, int n) { return 0.54 - 0.46 * std::cos(static_cast<double>(i) * 6.2831853 / n); }

double blackman(int i, int n)
{
    return 0.42 - 0.5 * std::cos(static_cast<double>(i) * 6.2831853 / n) + 0.08 * std::cos(static_cast<double>(i) * 12.5663706 / n);
}

}  // namespace

double windowValue(int kind, int i, int n)
{
    if (n <= 0) return 1.0;  // no frame to taper; never divide by it
    switch (static_cast<unsigned>(kind)) {
    case WindowHanning: return hanning(i, n);
    case WindowHamming: return hamming(i, n);
    case WindowBlackman: return blackman(i, n);
    default: return 1.0;
    }
}

void applyWindow(int kind, double* values, int n)
{
    const unsigned k = static_cast<unsigned>(kind);
    if (k < WindowHanning || k > WindowBlackman) return;
    for (int i = 0; i < n; ++i) values[i] *= windowValue(kind, i, n);
}
