// Sounds made of tones for the tests of levels, readouts and the export:
// samples straight into a SoundBuffer, on the 16-bit scale (full scale 32768).
#ifndef KELVARA_TESTS_CORE_TONE_SOUNDS_H
#define KELVARA_TESTS_CORE_TONE_SOUNDS_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/audio/SoundBuffer.h"

namespace tones {

constexpr double truePi = 3.14159265358979323846;

inline void setSound(SoundBuffer& sound, const std::vector<double>& samples, uint32_t rate)
{
    sound.release();
    sound.format = WaveFormat{WaveFormatPcm, 1, rate, rate * 2, 2, 16, 18};
    sound.samples = new double[samples.size()];
    double peak = 0.0;
    for (size_t i = 0; i < samples.size(); ++i) {
        sound.samples[i] = samples[i];
        peak = std::max(peak, std::fabs(samples[i]));
    }
    sound.sampleCount = static_cast<uint32_t>(samples.size());
    sound.peak = peak;
    sound.ready = 1;
}

// amplitude * sin(2 pi hz t) for `count` samples.
inline std::vector<double> sine(size_t count, double hz, double amplitude, uint32_t rate)
{
    std::vector<double> samples(count);
    for (size_t i = 0; i < count; ++i) samples[i] = amplitude * std::sin(2 * truePi * hz * static_cast<double>(i) / rate);
    return samples;
}

// Amplitude of a sine `db` below full scale.
inline double amplitudeAt(double db) { return 32768.0 * std::pow(10.0, db / 20.0); }

}  // namespace tones

#endif
