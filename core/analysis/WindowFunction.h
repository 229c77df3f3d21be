// The four tapering windows, periodic (phase i/N), with 2*pi and 4*pi as the
// decimal literals 6.2831853 and 12.5663706 so that the weights are exactly
// those the voice prints were always drawn with.
#ifndef KELVARA_WINDOW_FUNCTION_H
#define KELVARA_WINDOW_FUNCTION_H

#include <cstdint>

// 0 rectangular, 1 Hanning, 2 Hamming, 3 Blackman. Any other value, negative
// ones taken as unsigned, is no window at all, like 0.
enum WindowKind : int { WindowRectangular = 0, WindowHanning = 1, WindowHamming = 2, WindowBlackman = 3 };

// Weight of sample i (0 <= i < n) in a frame of n samples.
double windowValue(int kind, int i, int n);

// values[i] *= windowValue(kind, i, n) for i = 0..n-1; kind 0 and unknown
// kinds leave the values untouched.
void applyWindow(int kind, double* values, int n);

#endif
