// One frame's transform: an iterative, in-place, radix-2 decimation-in-time
// FFT over doubles, then a normalised magnitude spectrum with the frame's
// energy factor, resampled into the 280 display bins of one voice-print column.
// Where frames lie and which column they show is Framing's arithmetic, how
// magnitudes become display bins is DisplayBins'; the engine only calls them.
//
// Transforms are scaled by 1/N (the samples are scaled as they are loaded).
// The engine owns its six arrays; a pointer that owns nothing holds the
// not-allocated marker. It has no lock: a run must not set up or analyse into
// an engine that a view still reads. setUp(log2Length 1..12) must come before
// any frame. The caller passes the spectrum settings with every frame.
#ifndef KELVARA_DFT_ENGINE_H
#define KELVARA_DFT_ENGINE_H

#include <cstdint>

#include "core/analysis/DisplayBins.h"
#include "core/analysis/SpectrumSettings.h"
#include "core/analysis/WindowFunction.h"

struct SoundBuffer;

// The window a frame really gets for `kind`: unknown kinds get none, which
// is the rectangular window.
inline int32_t appliedWindowKind(int32_t kind)
{
    const unsigned k = static_cast<unsigned>(kind);
    return k >= WindowHanning && k <= WindowBlackman ? kind : WindowRectangular;
}

struct DftEngine {
    int32_t log2Length = 0;
    int32_t length = 0;
    uint32_t sampleRate = 0;
    double* re;          // N; before the transform, scratch for bit-reversed indices
    double* im;          // N; the scaled, windowed frame, then the imaginary parts
    double* cosTable;    // N/2 + 1
    double* sinTable;    // N/2 + 1
    double* magnitude;   // N/2 + 1; entry N/2 is always 0
    // The same magnitudes before normalisation (N/2 + 1, entry N/2 always 0),
    // so a frame's true level survives the scaling of what the views draw.
    double* rawMagnitude;
    double displayBins[displayBinCount] = {};
    int32_t frameColumn = 0;
    double soundPeak = 0.0;
    double energy = 0.0;
    uint32_t frameStartSample = 0;       // first sample of the last frame loaded
    int32_t windowKind = WindowRectangular;  // the window the last frame got (appliedWindowKind)

    DftEngine();
    ~DftEngine();
    DftEngine(const DftEngine&) = delete;
    DftEngine& operator=(const DftEngine&) = delete;

    void release();
    void setUp(int32_t log2Length, uint32_t sampleRate);
    // Precondition: start + N <= sound.sampleCount (the runs check it).
    void loadFrame(const SoundBuffer& sound, uint32_t start);
    void applyWindow(int32_t kind);
    void bitReverse();
    void fillTwiddles();
    void transform();
    void butterfly(int32_t l, double groups, int32_t top, int32_t bottom);
    // Reads the energy-plot mode, the scale and the rejection of `settings`.
    void computeMagnitudes(const SpectrumSettings& settings);
    void resampleToDisplay(int maxFreqStep);
    void analyseFrame(const SoundBuffer& sound, uint32_t start, int32_t kind, const SpectrumSettings& settings);
};

// Whether transform() may use four-lane AVX butterflies where the processor
// has them (it may, unless told otherwise); the results are the same bits
// either way, which the tests check by running both. Answers whether the wide
// path was in use before the call.
bool allowWideTransform(bool allowed);

#endif
