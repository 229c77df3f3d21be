// The pitch tracker against voices whose F0 is known: it must be within 1 %
// of the truth on every column whose window fits, never an octave off, and
// unvoiced where there is no voice.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/analysis/Pitch.h"
#include "tests/core/SyntheticVoice.h"

namespace {

// 551 centres over the sound, as a run's columns lie.
std::vector<double> runCentres(const std::vector<double>& sound) { return voice::centres(0.0, static_cast<double>(sound.size() - 1), 551); }

// The window of the standard floor is 3 / 75 s; its half either side of a
// centre must lie in the sound.
bool windowFits(double centre, size_t sampleCount, double rate)
{
    const double half = 1.5 / 75.0 * rate + 3.0;
    return centre >= half && centre + half <= static_cast<double>(sampleCount);
}

// Every column whose window fits is voiced and within 1 % of the contour;
// the others are 0.
void expectTracksContour(const voice::Recipe& recipe, const char* what)
{
    const std::vector<double> sound = voice::make(recipe);
    const std::vector<double> centres = runCentres(sound);
    const std::vector<double> f0 = trackPitch(sound.data(), sound.size(), recipe.rate, centres.data(), centres.size());
    ASSERT_EQ(f0.size(), centres.size());
    int checked = 0, wrong = 0;
    for (size_t c = 0; c < centres.size(); ++c) {
        if (!windowFits(centres[c], sound.size(), recipe.rate)) continue;
        const double truth = voice::f0At(recipe, centres[c] / recipe.rate);
        ++checked;
        if (!(std::fabs(f0[c] - truth) <= 0.01 * truth) && wrong++ < 5)
            ADD_FAILURE() << what << ": column " << c << " at " << centres[c] / recipe.rate << " s: " << f0[c] << " Hz, truth " << truth;
    }
    EXPECT_EQ(wrong, 0) << what << ": " << wrong << " of " << checked << " columns off by more than 1 %";
    EXPECT_GT(checked, 500) << what;
    EXPECT_EQ(f0.front(), 0.0) << what << ": the first window cannot fit";
    EXPECT_EQ(f0.back(), 0.0) << what << ": the last window cannot fit";
}

TEST(PitchTrack, SteadyVoicesOfMenWomenAndChildren)
{
    const struct {
        double f0;
        voice::Vowel vowel;
    } cases[] = {{80, voice::manU}, {110, voice::manA}, {130, voice::manI}, {210, voice::womanI},
                 {230, voice::womanA}, {300, voice::childA}, {380, voice::childI}, {450, voice::childA}};
    for (const auto& c : cases) {
        voice::Recipe recipe;
        recipe.f0Start = recipe.f0End = c.f0;
        recipe.vowel = c.vowel;
        expectTracksContour(recipe, c.vowel.name);
    }
}

TEST(PitchTrack, GlidesWithJitterAndNoise)
{
    voice::Recipe glide;
    glide.seconds = 3.0;
    glide.f0Start = 80.0;
    glide.f0End = 450.0;
    glide.vowel = voice::womanA;
    expectTracksContour(glide, "glide 80 to 450 Hz");

    voice::Recipe down = glide;
    down.f0Start = 450.0;
    down.f0End = 80.0;
    down.vowel = voice::manI;
    expectTracksContour(down, "glide 450 to 80 Hz");

    voice::Recipe jitter = glide;
    jitter.jitter = 0.01;
    jitter.seed = 3;
    expectTracksContour(jitter, "glide with 1 % jitter");

    voice::Recipe noisy = glide;
    noisy.snrDb = 20.0;
    noisy.seed = 5;
    expectTracksContour(noisy, "glide at 20 dB SNR");
}

TEST(PitchTrack, FindsTheMissingFundamental)
{
    const double rate = 22050.0;
    for (double f0 : {100.0, 160.0, 220.0}) {
        const std::vector<double> sound = voice::toneComplex(rate, 1.0, f0, 2, 8, 16000.0);
        const std::vector<double> centres = runCentres(sound);
        const std::vector<double> track = trackPitch(sound.data(), sound.size(), rate, centres.data(), centres.size());
        for (size_t c = 0; c < centres.size(); ++c)
            if (windowFits(centres[c], sound.size(), rate)) { ASSERT_NEAR(track[c], f0, 0.01 * f0) << "column " << c; }
    }
}

TEST(PitchTrack, UnvoicedOnSilenceNoiseAndTheQuietAfterAVoice)
{
    const double rate = 22050.0;
    const std::vector<double> silence(22050, 0.0);
    const std::vector<double> centres = runCentres(silence);
    for (double f : trackPitch(silence.data(), silence.size(), rate, centres.data(), centres.size())) ASSERT_EQ(f, 0.0);

    for (double amplitude : {32767.0, 3000.0}) {
        const std::vector<double> noise = voice::whiteNoise(rate, 1.0, amplitude, 11);
        for (double f : trackPitch(noise.data(), noise.size(), rate, centres.data(), centres.size()))
            ASSERT_EQ(f, 0.0) << "noise of amplitude " << amplitude;
    }

    // A voice, then its own faint echo 40 dB down: the echo is as periodic as
    // the voice, but quiet against the loudest point of the sound.
    voice::Recipe recipe;
    recipe.f0Start = recipe.f0End = 140.0;
    std::vector<double> sound = voice::make(recipe);
    const size_t half = sound.size() / 2;
    for (size_t i = half; i < sound.size(); ++i) sound[i] *= 0.01;
    const std::vector<double> f0 = trackPitch(sound.data(), sound.size(), rate, centres.data(), centres.size());
    for (size_t c = 0; c < centres.size(); ++c) {
        const double t = centres[c];
        if (!windowFits(t, sound.size(), rate)) continue;
        if (t + 0.03 * rate < static_cast<double>(half)) { EXPECT_NEAR(f0[c], 140.0, 1.4) << "column " << c; }
        if (t - 0.03 * rate > static_cast<double>(half)) { EXPECT_EQ(f0[c], 0.0) << "column " << c; }
    }
}

TEST(PitchTrack, ShortSelectionsAndShortSounds)
{
    voice::Recipe recipe;
    recipe.f0Start = recipe.f0End = 170.0;
    recipe.vowel = voice::womanA;
    const std::vector<double> sound = voice::make(recipe);
    // A selection of 8 ms, under two periods: its windows reach out into the
    // sound around it.
    const std::vector<double> narrow = voice::centres(11000.0, 11176.0, 551);
    for (double f : trackPitch(sound.data(), sound.size(), recipe.rate, narrow.data(), narrow.size()))
        ASSERT_NEAR(f, 170.0, 1.7);
    // A single centre.
    const double one = 5000.0;
    EXPECT_NEAR(trackPitch(sound.data(), sound.size(), recipe.rate, &one, 1)[0], 170.0, 1.7);
    // A sound shorter than one window: nothing fits.
    const std::vector<double> shortSound(sound.begin(), sound.begin() + 600);
    const std::vector<double> centres = voice::centres(0.0, 599.0, 551);
    for (double f : trackPitch(shortSound.data(), shortSound.size(), recipe.rate, centres.data(), centres.size())) ASSERT_EQ(f, 0.0);
    EXPECT_TRUE(trackPitch(sound.data(), sound.size(), recipe.rate, nullptr, 0).empty());
}

TEST(PitchTrack, EightKilohertzClippedSquareAndDcOffset)
{
    voice::Recipe recipe;
    recipe.rate = 8000.0;
    recipe.f0Start = recipe.f0End = 190.0;
    recipe.vowel = voice::womanI;
    expectTracksContour(recipe, "8 kHz voice");

    // A square wave of 200 Hz, clipped hard at full scale.
    const double rate = 22050.0;
    std::vector<double> square(22050);
    for (size_t i = 0; i < square.size(); ++i)
        square[i] = std::clamp(40000.0 * std::sin(voice::twoPi * 200.0 * static_cast<double>(i) / rate), -32768.0, 32767.0);
    const std::vector<double> centres = runCentres(square);
    const std::vector<double> f0 = trackPitch(square.data(), square.size(), rate, centres.data(), centres.size());
    for (size_t c = 0; c < centres.size(); ++c)
        if (windowFits(centres[c], square.size(), rate)) { ASSERT_NEAR(f0[c], 200.0, 2.0) << "column " << c; }

    // The same voice riding on a large offset reads the same.
    voice::Recipe man;
    man.f0Start = man.f0End = 120.0;
    std::vector<double> sound = voice::make(man);
    const std::vector<double> plain = trackPitch(sound.data(), sound.size(), rate, centres.data(), centres.size());
    for (double& v : sound) v += 12000.0;
    const std::vector<double> offset = trackPitch(sound.data(), sound.size(), rate, centres.data(), centres.size());
    for (size_t c = 0; c < centres.size(); ++c) EXPECT_NEAR(offset[c], plain[c], 1e-6 * plain[c]) << "column " << c;
}

TEST(PitchTrack, SettingsOutOfRangeGiveZerosNotNonsense)
{
    voice::Recipe recipe;
    const std::vector<double> sound = voice::make(recipe);
    const std::vector<double> centres = runCentres(sound);
    PitchSettings inverted;
    inverted.floorHz = 600.0;
    inverted.ceilingHz = 75.0;
    PitchSettings nanFloor;
    nanFloor.floorHz = std::nan("");
    PitchSettings tinyFloor;  // would ask for a window of days
    tinyFloor.floorHz = 1e-30;
    PitchSettings manyCandidates;
    manyCandidates.maxCandidates = 2000000000;
    for (const PitchSettings& s : {inverted, nanFloor, tinyFloor, manyCandidates})
        for (double f : trackPitch(sound.data(), sound.size(), recipe.rate, centres.data(), centres.size(), s)) ASSERT_EQ(f, 0.0);
    for (double f : trackPitch(sound.data(), sound.size(), 0.0, centres.data(), centres.size())) ASSERT_EQ(f, 0.0);
}

}  // namespace
