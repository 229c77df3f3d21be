// The formant tracker against vowels made with known resonators, and the
// parts it stands on (the FFT, the root finder) against references of their
// own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "core/analysis/Formants.h"
#include "core/analysis/PolynomialRoots.h"
#include "core/analysis/RealFft.h"
#include "tests/core/SyntheticVoice.h"

namespace {

bool windowFits(double centre, size_t sampleCount, double rate)
{
    return centre >= 0.025 * rate && centre + 0.025 * rate <= static_cast<double>(sampleCount - 1);
}

// F1 within 5 % or 60 Hz, F2 and F3 within 5 %, on every column whose window
// fits; returns how many columns were checked.
int expectFormants(const voice::Recipe& recipe, double ceilingHz)
{
    const std::vector<double> sound = voice::make(recipe);
    const std::vector<double> centres = voice::centres(0.0, static_cast<double>(sound.size() - 1), 551);
    FormantSettings settings;
    settings.ceilingHz = ceilingHz;
    const std::vector<FormantSet> sets = trackFormants(sound.data(), sound.size(), recipe.rate, centres.data(), centres.size(), settings);
    EXPECT_EQ(sets.size(), centres.size());
    int checked = 0, wrong = 0;
    for (size_t c = 0; c < centres.size(); ++c) {
        if (!windowFits(centres[c], sound.size(), recipe.rate)) {
            EXPECT_TRUE(std::isnan(sets[c].hz[0])) << recipe.vowel.name << ": column " << c << " cannot be measured";
            continue;
        }
        ++checked;
        for (int f = 0; f < 3; ++f) {
            const double truth = recipe.vowel.hz[f];
            const double tolerance = f == 0 ? std::max(60.0, 0.05 * truth) : 0.05 * truth;
            if (!(std::fabs(sets[c].hz[f] - truth) <= tolerance) && wrong++ < 5)
                ADD_FAILURE() << recipe.vowel.name << " at " << recipe.f0Start << " Hz, ceiling " << ceilingHz << ": column " << c
                              << " F" << f + 1 << " " << sets[c].hz[f] << " Hz, truth " << truth;
        }
        for (int f = 0; f < formantCount; ++f)
            if (!std::isnan(sets[c].hz[f])) { EXPECT_GT(sets[c].bandwidthHz[f], 0.0); }
    }
    EXPECT_EQ(wrong, 0) << recipe.vowel.name;
    return checked;
}

TEST(FormantTrack, SteadyVowelsOfMenWomenAndChildren)
{
    const struct {
        voice::Vowel vowel;
        double f0, ceiling;
    } cases[] = {{voice::manA, 110, 5000}, {voice::manI, 120, 5000}, {voice::manU, 100, 5000},
                 {voice::womanA, 220, 5500}, {voice::womanI, 220, 5500},
                 {voice::childA, 260, 8000}, {voice::childI, 250, 8000}};
    for (const auto& c : cases) {
        voice::Recipe recipe;
        recipe.f0Start = recipe.f0End = c.f0;
        recipe.vowel = c.vowel;
        recipe.jitter = 0.01;
        EXPECT_GT(expectFormants(recipe, c.ceiling), 500);
    }
}

TEST(FormantTrack, VowelAtEightKilohertz)
{
    // At 8 kHz the ceiling of 5500 Hz lies above the Nyquist frequency: the
    // frames stay at 8 kHz and nothing above 3950 Hz comes out.
    voice::Recipe narrow;
    narrow.rate = 8000.0;
    narrow.vowel = voice::manA;
    narrow.vowel.hz[3] = 3400.0;
    narrow.vowel.hz[4] = 3900.0;
    expectFormants(narrow, 5500.0);
    const std::vector<double> sound = voice::make(narrow);
    const std::vector<double> centres = voice::centres(0.0, static_cast<double>(sound.size() - 1), 551);
    for (const FormantSet& set : trackFormants(sound.data(), sound.size(), 8000.0, centres.data(), centres.size()))
        for (double hz : set.hz)
            if (!std::isnan(hz)) { ASSERT_LE(hz, 3950.0); }
}

TEST(FormantTrack, SilenceNoiseOffsetAndBadSettings)
{
    const double rate = 22050.0;
    const std::vector<double> silence(22050, 0.0);
    const std::vector<double> centres = voice::centres(0.0, 22049.0, 551);
    for (const FormantSet& set : trackFormants(silence.data(), silence.size(), rate, centres.data(), centres.size()))
        for (int f = 0; f < formantCount; ++f) ASSERT_TRUE(std::isnan(set.hz[f]) && std::isnan(set.bandwidthHz[f]));

    // Full-scale noise: whatever is found is a real frequency in range with a
    // real, positive bandwidth, lowest first.
    const std::vector<double> noise = voice::whiteNoise(rate, 1.0, 32767.0, 5);
    for (const FormantSet& set : trackFormants(noise.data(), noise.size(), rate, centres.data(), centres.size()))
        for (int f = 0; f < formantCount; ++f) {
            if (std::isnan(set.hz[f])) continue;
            ASSERT_TRUE(set.hz[f] >= 50.0 && set.hz[f] <= 5450.0) << set.hz[f];
            ASSERT_TRUE(std::isfinite(set.bandwidthHz[f]) && set.bandwidthHz[f] > 0.0);
            if (f > 0) { ASSERT_GT(set.hz[f], set.hz[f - 1]); }
        }

    // An offset is no formant: pre-emphasis takes most of it away and the
    // 50 Hz floor the rest.
    voice::Recipe recipe;
    std::vector<double> sound = voice::make(recipe);
    const std::vector<double> plain = [&] {
        std::vector<double> f1;
        for (const FormantSet& s : trackFormants(sound.data(), sound.size(), rate, centres.data(), centres.size())) f1.push_back(s.hz[0]);
        return f1;
    }();
    for (double& v : sound) v += 12000.0;
    const std::vector<FormantSet> offset = trackFormants(sound.data(), sound.size(), rate, centres.data(), centres.size());
    for (size_t c = 0; c < centres.size(); ++c)
        if (!std::isnan(plain[c])) { EXPECT_NEAR(offset[c].hz[0], plain[c], 0.05 * plain[c]) << "column " << c; }

    FormantSettings negative, endless, manyFormants;
    negative.windowSeconds = -1.0;
    endless.windowSeconds = 1e30;
    manyFormants.maxFormants = 2000000000;
    for (const FormantSettings& bad : {negative, endless, manyFormants})
        for (const FormantSet& set : trackFormants(sound.data(), sound.size(), rate, centres.data(), centres.size(), bad))
            ASSERT_TRUE(std::isnan(set.hz[0]));
}

TEST(PolynomialRoots, FindsKnownRootsIncludingCloseAndRealOnes)
{
    using C = std::complex<double>;
    const std::vector<C> truths[] = {
        {C(0.9, 0.3), C(0.9, -0.3), C(-0.5, 0.0), C(0.2, 0.0)},
        {C(0.99, 0.05), C(0.99, -0.05), C(0.98, 0.06), C(0.98, -0.06), C(-0.97, 0.1), C(-0.97, -0.1), C(0.0, 0.95), C(0.0, -0.95),
         C(0.5, 0.5), C(0.5, -0.5)},
        {C(3.0, 0.0), C(-2.0, 0.0), C(1.0, 0.0)},
    };
    for (const auto& truth : truths) {
        std::vector<C> poly{1.0};
        for (C r : truth) {  // multiply by (z - r)
            poly.push_back(0.0);
            for (size_t j = poly.size() - 1; j > 0; --j) poly[j] -= r * poly[j - 1];
        }
        std::vector<double> coefficients;
        for (C c : poly) coefficients.push_back(c.real());
        const std::vector<C> roots = polynomialRoots(coefficients);
        ASSERT_EQ(roots.size(), truth.size());
        for (C r : truth) {
            double nearest = 1e9;
            for (C found : roots) nearest = std::min(nearest, std::abs(found - r));
            EXPECT_LT(nearest, 1e-7) << r;
        }
    }
    EXPECT_TRUE(polynomialRoots({0.0, 1.0}).empty());
}

// The FFT against a plain DFT in long double, both ways, at several lengths.
TEST(RealFftTransform, MatchesAPlainDftAndInvertsExactly)
{
    for (size_t n : {4u, 8u, 64u, 512u}) {
        RealFft fft(n);
        std::vector<double> x(n), re(n / 2 + 1), im(n / 2 + 1), scratch(n), back(n);
        voice::Noise noise(static_cast<uint32_t>(n));
        for (double& v : x) v = noise.next();
        fft.forward(x.data(), re.data(), im.data(), scratch.data());
        for (size_t k = 0; k <= n / 2; ++k) {
            long double sr = 0, si = 0;
            for (size_t i = 0; i < n; ++i) {
                const long double angle = -2.0L * 3.141592653589793238462643L * static_cast<long double>(k * i % n) / n;
                sr += x[i] * std::cos(angle);
                si += x[i] * std::sin(angle);
            }
            ASSERT_NEAR(re[k], static_cast<double>(sr), 1e-12 * n) << "n " << n << " bin " << k;
            ASSERT_NEAR(im[k], static_cast<double>(si), 1e-12 * n) << "n " << n << " bin " << k;
        }
        fft.inverse(re.data(), im.data(), back.data(), scratch.data());
        for (size_t i = 0; i < n; ++i) ASSERT_NEAR(back[i], x[i], 1e-13) << "n " << n << " sample " << i;
    }
}

}  // namespace
