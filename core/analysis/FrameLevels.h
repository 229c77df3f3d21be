// True levels behind a frame's magnitudes, in dB re full scale (32768 on the
// signed 16-bit scale the samples are on), and the interpolated peak of a frame.
//
// A raw magnitude is |X[i]| of the engine's 1/N-scaled transform, before any
// normalisation or energy factor, so a quiet frame keeps its true level. A
// sine of amplitude A at an entry's centre gives A/2 * g there, where g, the
// window's coherent gain, is the mean of its weights for that length (1 for
// the rectangular window). We correct for g: the level is that of the sine
// the entry stands for, 20 log10(A / 32768) with A = 2 |X[i]| / g, so a
// full-scale sine at an entry's centre reads 0.0 dB whichever window it went
// through. Entries 0 and N/2 have no mirror image and take |X[i]| / g. A
// magnitude of 0 reads -infinity. Noise reads lower than a sine of the same
// power would with a tapering window; the readout is meant for tones.
#ifndef KELVARA_FRAME_LEVELS_H
#define KELVARA_FRAME_LEVELS_H

#include <cstdint>

// 32768: the amplitude of a full-scale sine on the sample scale.
constexpr double fullScaleAmplitude = 32768.0;

// Mean of the weights of window `kind` over `length` samples, exactly as the
// engine applies them (appliedWindowKind: unknown kinds are rectangular, 1).
// Cached per power-of-two length up to 4096, so a readout may call it freely.
double coherentGain(int kind, int length);

// What 20 log10 of a raw magnitude at `entry` must be shifted by to give dB
// FS: 20 log10(mirror / (g * 32768)), mirror 2 except at entries 0 and N/2.
double levelOffsetDb(int entry, int length, int kind);

// Level in dB FS of raw magnitude `raw` at `entry` of a `length`-point frame
// windowed with `kind`; -infinity for 0.
double levelDbFs(double raw, int entry, int length, int kind);

// A frame's strongest entry, refined between entries.
struct FramePeak {
    int entry = -1;          // strongest raw entry of 0..N/2-1; -1 for no frame
    double frequencyHz = 0;  // (entry + p) * rate / N
    double levelDb = 0;      // dB FS, interpolated; -infinity for a silent frame
    bool interpolated = false;
};

// Strongest of raw[0..length/2-1] (the first of equals), refined by a
// parabola through the dB levels a, b, c of it and its neighbours:
// p = 0.5 (a - c) / (a - 2b + c), level b - 0.25 (a - c) p. No refinement at
// either edge, when a neighbour is 0 or when the three lie on a line. With a
// Hanning window a pure tone reads within a few hundredths of an entry.
FramePeak findFramePeak(const double* raw, int length, uint32_t rate, int kind);

#endif
