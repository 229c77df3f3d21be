// Voices whose pitch and formants are known, made for the tests of the voice
// measurements: a glottal source of harmonics falling 12 dB per octave,
// through five formant resonators in cascade (two-pole filters of unit gain at
// 0 Hz), with an F0 that may glide (exponentially) and jitter from period to
// period, and white noise at a chosen signal-to-noise ratio. Also the tone
// complexes and noises the edge cases need. Samples on the 16-bit scale.
#ifndef KELVARA_TESTS_CORE_SYNTHETIC_VOICE_H
#define KELVARA_TESTS_CORE_SYNTHETIC_VOICE_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace voice {

constexpr double twoPi = 6.283185307179586476925;

struct Vowel {
    const char* name;
    double hz[5];           // F1..F4, and F5 standing for the formants above them
    double bandwidthHz[5];
};

// F1..F3 near the means Hillenbrand et al. (1995) measured for American
// English vowels, F4 and F5 typical of the speaker, with typical bandwidths.
// Real voices have a fifth formant below the ceiling of their speaker
// (5000, 5500, 8000 Hz), and linear prediction with five formants expects it.
inline const Vowel manA{"man /a/", {768, 1333, 2522, 3687, 4500}, {80, 90, 120, 175, 250}};
inline const Vowel manI{"man /i/", {342, 2322, 3000, 3657, 4500}, {60, 100, 150, 200, 250}};
inline const Vowel manU{"man /u/", {378, 997, 2343, 3357, 4500}, {60, 90, 120, 175, 250}};
inline const Vowel womanA{"woman /a/", {936, 1551, 2815, 4299, 4700}, {90, 100, 140, 200, 250}};
inline const Vowel womanI{"woman /i/", {437, 2761, 3372, 4352, 4800}, {60, 110, 160, 200, 250}};
inline const Vowel childA{"child /a/", {1002, 1688, 2950, 4307, 6500}, {100, 110, 160, 220, 300}};
inline const Vowel childI{"child /i/", {452, 3081, 3702, 4881, 6500}, {70, 120, 170, 220, 300}};

struct Recipe {
    double rate = 22050.0;
    double seconds = 1.0;
    double f0Start = 120.0, f0End = 120.0;  // exponential glide from start to end
    double jitter = 0.0;                    // each period's F0 drawn within +-jitter (relative) of the contour
    Vowel vowel = manA;
    double snrDb = std::numeric_limits<double>::infinity();
    double peak = 16000.0;                  // the loudest sample of the voice (before any noise)
    uint32_t seed = 1;
};

// The contour's F0 at time t seconds: the truth a tracker should find.
inline double f0At(const Recipe& recipe, double t)
{
    return recipe.f0Start * std::pow(recipe.f0End / recipe.f0Start, std::clamp(t / recipe.seconds, 0.0, 1.0));
}

// Uniform in [-1, 1), from a linear congruential generator: the same every run.
struct Noise {
    uint32_t state;
    explicit Noise(uint32_t seed) : state(seed * 2654435761u + 1u) {}
    double next()
    {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 8388608.0 - 1.0;
    }
};

inline void scaleToPeak(std::vector<double>& x, double peak)
{
    double loudest = 0.0;
    for (double v : x) loudest = std::max(loudest, std::fabs(v));
    if (loudest > 0.0)
        for (double& v : x) v *= peak / loudest;
}

inline void addNoise(std::vector<double>& x, double snrDb, uint32_t seed)
{
    if (!std::isfinite(snrDb)) return;
    double power = 0.0;
    for (double v : x) power += v * v;
    power /= static_cast<double>(x.size());
    // Uniform noise in [-a, a) has power a^2 / 3.
    const double amplitude = std::sqrt(3.0 * power / std::pow(10.0, snrDb / 10.0));
    Noise noise(seed);
    for (double& v : x) v += amplitude * noise.next();
}

inline std::vector<double> make(const Recipe& recipe)
{
    const size_t count = static_cast<size_t>(recipe.seconds * recipe.rate);
    std::vector<double> x(count);
    Noise jitter(recipe.seed + 7);
    double phase = 0.0, periodFactor = 1.0;
    for (size_t i = 0; i < count; ++i) {
        const double f0 = f0At(recipe, static_cast<double>(i) / recipe.rate) * periodFactor;
        // Harmonics up to 0.45 of the rate, falling 12 dB per octave above
        // 100 Hz: the spectrum of pulses through two real poles there.
        const int harmonics = std::max(1, static_cast<int>(0.45 * recipe.rate / f0));
        const double corner = f0 / 100.0;
        const double s1 = std::sin(phase), twoCos = 2.0 * std::cos(phase);
        double previous = 0.0, current = s1, sum = 0.0;
        for (int k = 1; k <= harmonics; ++k) {
            sum += current / (1.0 + corner * corner * k * k);
            const double next = twoCos * current - previous;  // sin((k + 1) phase)
            previous = current;
            current = next;
        }
        x[i] = sum;
        phase += twoPi * f0 / recipe.rate;
        if (phase >= twoPi) {
            phase -= twoPi;
            periodFactor = 1.0 + recipe.jitter * jitter.next();
        }
    }
    for (int f = 0; f < 5; ++f) {
        if (recipe.vowel.hz[f] >= 0.5 * recipe.rate) continue;
        const double t = 1.0 / recipe.rate;
        const double c = -std::exp(-twoPi * recipe.vowel.bandwidthHz[f] * t);
        const double b = 2.0 * std::exp(-0.5 * twoPi * recipe.vowel.bandwidthHz[f] * t) * std::cos(twoPi * recipe.vowel.hz[f] * t);
        const double a = 1.0 - b - c;
        double y1 = 0.0, y2 = 0.0;
        for (double& v : x) {
            const double y = a * v + b * y1 + c * y2;
            y2 = y1;
            y1 = y;
            v = y;
        }
    }
    scaleToPeak(x, recipe.peak);
    addNoise(x, recipe.snrDb, recipe.seed);
    return x;
}

// Equal sines at harmonics first..last of f0, none at f0 itself when first > 1.
inline std::vector<double> toneComplex(double rate, double seconds, double f0, int first, int last, double peak)
{
    std::vector<double> x(static_cast<size_t>(seconds * rate));
    for (size_t i = 0; i < x.size(); ++i)
        for (int k = first; k <= last; ++k) x[i] += std::sin(twoPi * k * f0 * static_cast<double>(i) / rate + 0.3 * k);
    scaleToPeak(x, peak);
    return x;
}

inline std::vector<double> whiteNoise(double rate, double seconds, double amplitude, uint32_t seed)
{
    std::vector<double> x(static_cast<size_t>(seconds * rate));
    Noise noise(seed);
    for (double& v : x) v = amplitude * noise.next();
    return x;
}

// `count` centres spread evenly from `first` to `last` (sample positions), as
// the columns of a run lie.
inline std::vector<double> centres(double first, double last, size_t count)
{
    std::vector<double> c(count);
    for (size_t i = 0; i < count; ++i)
        c[i] = count > 1 ? first + (last - first) * static_cast<double>(i) / static_cast<double>(count - 1) : first;
    return c;
}

}  // namespace voice

#endif
