// The voice numbers of a run and what the overlays, the readout, the
// spectrum's ticks and the export make of them. The expectations come from
// the scales' definitions (an octave is the same height, the floor is the
// bottom row), from a sine's known level and from runs of columns built by
// hand, not from the tracker's output.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/analysis/NumbersCsv.h"
#include "core/analysis/VoiceNumbers.h"
#include "core/views/ColorMap.h"
#include "core/views/ReadoutText.h"
#include "core/views/VoiceOverlay.h"
#include "tests/core/SyntheticVoice.h"
#include "tests/core/ToneSounds.h"

namespace {

constexpr double missing = std::numeric_limits<double>::quiet_NaN();
constexpr int step = -3;  // the panel's default span, 5124.9 Hz

// A run of `columns` columns, 64 samples apart, N = 1024 at 22050 Hz, every
// column voiced at `f0`, with the given formants and at -10 dB.
std::unique_ptr<VoiceNumbers> run(int columns, double f0, std::vector<double> formants = {500, 1500, 2500, 3500})
{
    auto voice = std::make_unique<VoiceNumbers>();
    clearVoice(*voice);
    voice->rate = 22050;
    voice->frameLength = 1024;
    voice->columns = columns;
    voice->loudestDb = -10;
    for (int k = 0; k < columns; ++k) {
        VoiceColumn& c = voice->column[k];
        c.firstSample = 64u * k;
        c.centreSeconds = (64.0 * k + 512) / 22050;
        c.f0Hz = f0;
        for (int i = 0; i < formantCount; ++i) c.formantHz[i] = formants[i];
        c.levelDb = -10;
    }
    return voice;
}

std::set<int> inkedRows(const VoiceOverlay& overlay, int x, OverlayInk ink)
{
    std::set<int> rows;
    for (int y = 0; y < voicePrintHeight; ++y)
        if (overlay.at(x, y) == ink) rows.insert(y);
    return rows;
}

}  // namespace

TEST(VoiceNumbers, LevelsCentresAndTheThirtyDecibelRule)
{
    const uint32_t rate = 22050;
    // A full-scale sine, then the same 40 dB down, then silence.
    std::vector<double> samples = tones::sine(8192, 1000, 32768, rate);
    const std::vector<double> quiet = tones::sine(8192, 1000, 327.68, rate);
    samples.insert(samples.end(), quiet.begin(), quiet.end());
    samples.resize(samples.size() + 8192, 0.0);
    const uint32_t firsts[3] = {1000, 9000, 17000};
    auto voice = std::make_unique<VoiceNumbers>();
    measureVoice(*voice, samples.data(), static_cast<uint32_t>(samples.size()), rate, firsts, 3, 1024, speakerFemale);
    ASSERT_EQ(voice->columns, 3);
    EXPECT_NEAR(voice->column[0].levelDb, 0.0, 0.01);
    EXPECT_NEAR(voice->column[1].levelDb, -40.0, 0.01);
    EXPECT_EQ(voice->column[2].levelDb, -std::numeric_limits<double>::infinity());
    EXPECT_NEAR(voice->loudestDb, 0.0, 0.01);
    EXPECT_DOUBLE_EQ(voice->column[1].centreSeconds, (9000 + 512) / 22050.0);
    // Silence and the sound 40 dB down are out of reach; the loud column is in.
    EXPECT_TRUE(formantsShownAt(*voice, 0));
    EXPECT_FALSE(formantsShownAt(*voice, 1));
    EXPECT_FALSE(formantsShownAt(*voice, 2));
    EXPECT_FALSE(formantsShownAt(*voice, 3));
    EXPECT_EQ(voiceColumnOfFrame(*voice, 9000, 1024), &voice->column[1]);
    EXPECT_EQ(voiceColumnOfFrame(*voice, 9001, 1024), nullptr);
    EXPECT_EQ(voiceColumnOfFrame(*voice, 9000, 512), nullptr);

    EXPECT_EQ(formantCeilingHz(speakerMale), 5000.0);
    EXPECT_EQ(formantCeilingHz(speakerFemale), 5500.0);
    EXPECT_EQ(formantCeilingHz(speakerChild), 8000.0);
    EXPECT_EQ(formantCeilingHz(7), 5500.0);
}

TEST(VoiceNumbers, ARunOverAVowelBetweenSilencesReadsTheVowelsTruth)
{
    // 0.2 s of silence, 0.6 s of a man's /a/ at 120 Hz, 0.2 s of silence;
    // the columns of a run at the panel's defaults, 64 samples apart.
    const uint32_t rate = 22050;
    voice::Recipe recipe;
    recipe.seconds = 0.6;
    std::vector<double> samples(rate / 5, 0.0);
    const std::vector<double> vowel = voice::make(recipe);
    samples.insert(samples.end(), vowel.begin(), vowel.end());
    samples.resize(samples.size() + rate / 5, 0.0);
    std::vector<uint32_t> firsts;
    for (uint32_t k = 0; k < 551 && 64 * k + 1024 <= samples.size(); ++k) firsts.push_back(64 * k);
    auto run = std::make_unique<VoiceNumbers>();
    measureVoice(*run, samples.data(), static_cast<uint32_t>(samples.size()), rate, firsts.data(),
                 static_cast<int>(firsts.size()), 1024, speakerMale);
    ASSERT_EQ(run->columns, static_cast<int>(firsts.size()));
    int inside = 0, outside = 0;
    for (int k = 0; k < run->columns; ++k) {
        SCOPED_TRACE(k);
        const VoiceColumn& c = run->column[k];
        const double t = c.centreSeconds;
        if (t > 0.25 && t < 0.75) {
            ++inside;
            EXPECT_NEAR(c.f0Hz, 120.0, 1.2);
            EXPECT_NEAR(c.formantHz[0], voice::manA.hz[0], 60.0);
            for (int i = 1; i < 3; ++i) EXPECT_NEAR(c.formantHz[i], voice::manA.hz[i], 0.05 * voice::manA.hz[i]);
            EXPECT_TRUE(formantsShownAt(*run, k));
        } else if (t < 0.15 || t > 0.85) {
            ++outside;
            EXPECT_EQ(c.f0Hz, 0.0);
            EXPECT_FALSE(formantsShownAt(*run, k));
        }
    }
    EXPECT_GT(inside, 150);
    EXPECT_GT(outside, 40);

    // A child's ceiling after the run: F0 and the levels stay, the formants
    // are the tracker's under the new ceiling.
    auto child = std::make_unique<VoiceNumbers>(*run);
    ASSERT_TRUE(remeasureFormants(*child, samples.data(), static_cast<uint32_t>(samples.size()), speakerChild));
    auto direct = std::make_unique<VoiceNumbers>();
    measureVoice(*direct, samples.data(), static_cast<uint32_t>(samples.size()), rate, firsts.data(),
                 static_cast<int>(firsts.size()), 1024, speakerChild);
    int moved = 0;
    for (int k = 0; k < run->columns; ++k) {
        EXPECT_EQ(child->column[k].f0Hz, run->column[k].f0Hz);
        for (int i = 0; i < formantCount; ++i) {
            const double a = child->column[k].formantHz[i], b = direct->column[k].formantHz[i];
            EXPECT_TRUE(a == b || (std::isnan(a) && std::isnan(b))) << k;
            moved += !(a == run->column[k].formantHz[i]);
        }
    }
    EXPECT_GT(moved, 100);
    // Another sound in its place (a sample changed, or shorter): refused, kept.
    samples[8000] += 1.0;
    auto before = std::make_unique<VoiceNumbers>(*child);
    EXPECT_FALSE(remeasureFormants(*child, samples.data(), static_cast<uint32_t>(samples.size()), speakerMale));
    EXPECT_FALSE(remeasureFormants(*child, samples.data(), 20000, speakerMale));
    for (int k = 0; k < run->columns; ++k)
        for (int i = 0; i < formantCount; ++i)
            EXPECT_EQ(std::isnan(before->column[k].formantHz[i]) ? -1.0 : before->column[k].formantHz[i],
                      std::isnan(child->column[k].formantHz[i]) ? -1.0 : child->column[k].formantHz[i]);
}

TEST(VoiceOverlay, PitchScaleIsLogarithmicFromFloorToCeiling)
{
    EXPECT_EQ(pitchRow(75), voicePrintBottomRow);
    EXPECT_EQ(pitchRow(600), 0);
    // 75 to 600 Hz is three octaves: each one a third of the height.
    EXPECT_NEAR(pitchRowReal(75) - pitchRowReal(150), 93.0, 1e-9);
    EXPECT_NEAR(pitchRowReal(150) - pitchRowReal(300), 93.0, 1e-9);
    EXPECT_NEAR(pitchRowReal(300) - pitchRowReal(600), 93.0, 1e-9);
    EXPECT_EQ(pitchRow(0), -1);
    EXPECT_EQ(pitchRow(74.9), -1);
    EXPECT_EQ(pitchRow(601), -1);
    EXPECT_EQ(pitchRow(missing), -1);
    // Formants on the picture's own axis, where its kilohertz lines are.
    for (int khz = 0; khz <= 5; ++khz) EXPECT_EQ(formantRow(1000.0 * khz, step), kilohertzRow(khz, step));
    EXPECT_EQ(formantRow(5200, step), -1);  // above the top of a 5124.9 Hz picture
    EXPECT_EQ(formantRow(missing, step), -1);
}

TEST(VoiceOverlay, InksStandApartFromEveryColourOfTheMaps)
{
    std::set<ColorRef> maps;
    for (int mono : {0, 1})
        for (int tenth = 10; tenth <= 20; ++tenth) {
            const ColorTable table(mono, tenth / 10.0);
            maps.insert(std::begin(table.entries), std::end(table.entries));
        }
    EXPECT_EQ(maps.count(pitchInkColor), 0u);
    EXPECT_EQ(maps.count(formantInkColor), 0u);
}

TEST(VoiceOverlay, PitchCurveIsWholeWhileVoicedAndBrokenWhereNot)
{
    auto voice = run(300, 150);
    for (int k = 100; k < 110; ++k) voice->column[k].f0Hz = 0;  // a pause
    for (int k = 110; k < 300; ++k) voice->column[k].f0Hz = 100 * std::pow(2.0, (k - 110) / 95.0);  // 2 octaves up
    VoiceOverlay overlay;
    drawVoiceOverlay(overlay, *voice, step, true, false);
    ASSERT_FALSE(overlay.empty);

    int previousTop = -1, previousBottom = -1;
    for (int x = 0; x < 300; ++x) {
        const std::set<int> rows = inkedRows(overlay, x, OverlayInk::pitch);
        const bool voiced = voice->column[x].f0Hz > 0;
        if (!voiced) {
            EXPECT_TRUE(rows.empty()) << x;
            previousTop = -1;
            continue;
        }
        const int row = pitchRow(voice->column[x].f0Hz);
        ASSERT_FALSE(rows.empty()) << x;
        EXPECT_EQ(rows.count(row), 1u) << x;
        EXPECT_GE(rows.size(), 2u) << x;
        // One stroke, touching the previous column's.
        EXPECT_EQ(*rows.rbegin() - *rows.begin() + 1, static_cast<int>(rows.size())) << x;
        if (previousTop >= 0) EXPECT_TRUE(*rows.begin() <= previousBottom + 1 && *rows.rbegin() >= previousTop - 1) << x;
        previousTop = *rows.begin();
        previousBottom = *rows.rbegin();
        // Framed: the pixels just above and below are the outline.
        EXPECT_EQ(overlay.at(x, *rows.begin() - 1), OverlayInk::outline) << x;
    }
    // Nothing right of the run but the scale at the right edge.
    for (int x = 300; x < columnCount - 30; ++x) EXPECT_TRUE(inkedRows(overlay, x, OverlayInk::pitch).empty()) << x;
    // The scale: a tick at the right edge on each labelled row, and a label
    // to its left, in the curve's ink.
    for (int hz : pitchScaleLabelHz) {
        const int row = pitchRow(hz);
        for (int x = columnCount - pitchTickLength; x < columnCount; ++x) EXPECT_EQ(overlay.at(x, row), OverlayInk::pitch);
        int label = 0;
        for (int y = row - 3; y <= row + 3; ++y)
            for (int x = columnCount - 30; x < columnCount - pitchTickLength - 2; ++x)
                label += overlay.at(x, y) == OverlayInk::pitch;
        EXPECT_GT(label, 20) << hz;
    }
    // Off, nothing at all.
    drawVoiceOverlay(overlay, *voice, step, false, false);
    EXPECT_TRUE(overlay.empty);
    for (OverlayInk ink : overlay.ink) ASSERT_EQ(ink, OverlayInk::none);
}

TEST(VoiceOverlay, FormantDotsOnlyInLoudColumnsAndInsideThePicture)
{
    auto voice = run(200, 0, {700, 1200, 2600, 5300});  // F4 above a 5124.9 Hz picture
    for (int k = 50; k < 60; ++k) voice->column[k].levelDb = -40.5;  // 30.5 dB below the loudest
    for (int k = 60; k < 70; ++k) voice->column[k].levelDb = -39.5;  // 29.5 dB below
    voice->column[70].formantHz[1] = missing;
    VoiceOverlay overlay;
    drawVoiceOverlay(overlay, *voice, step, false, true);
    const auto loud = [](int k) { return k >= 0 && k < 200 && !(k >= 50 && k < 60); };
    for (int x = 0; x <= 200; ++x) {
        // Each dot is 2 x 2: its own column and the next, its row and the one below.
        std::set<int> expected;
        for (int from : {x - 1, x})
            for (int i = 0; loud(from) && i < formantCount; ++i) {
                const double hz = voice->column[from].formantHz[i];
                if (std::isnan(hz) || hz > 5124) continue;
                expected.insert(formantRow(hz, step));
                expected.insert(formantRow(hz, step) + 1);
            }
        EXPECT_EQ(inkedRows(overlay, x, OverlayInk::formant), expected) << x;
    }
    EXPECT_TRUE(inkedRows(overlay, 60, OverlayInk::formant).size() == 6u);
    for (int x = 0; x < columnCount; ++x) EXPECT_TRUE(inkedRows(overlay, x, OverlayInk::pitch).empty());
}

TEST(VoiceOverlay, SpectrumTicksAtHarmonicsAndFormants)
{
    auto voice = run(1, 200, {700, missing, 2600, 20000});
    const std::vector<SpectrumTick> pitch = spectrumTicks(voice->column[0], true, false);
    const std::vector<SpectrumTick> expectedPitch = {{6, OverlayInk::pitch},
                                                     {13, OverlayInk::pitch},
                                                     {20, OverlayInk::pitch},
                                                     {26, OverlayInk::pitch},
                                                     {33, OverlayInk::pitch}};
    EXPECT_EQ(pitch, expectedPitch);
    const std::vector<SpectrumTick> formants = spectrumTicks(voice->column[0], false, true);
    const std::vector<SpectrumTick> expectedFormants = {{23, OverlayInk::formant}, {86, OverlayInk::formant}};
    EXPECT_EQ(formants, expectedFormants);
    voice->column[0].f0Hz = 0;
    EXPECT_TRUE(spectrumTicks(voice->column[0], true, false).empty());
}

TEST(VoiceOverlay, ReadoutAndExportCarryTheColumnsVoice)
{
    auto voice = run(3, 123.44, {512.3, 1480, 2510.4, 3600});
    voice->column[1].f0Hz = 0;
    voice->column[1].formantHz[2] = missing;
    voice->column[2].levelDb = -std::numeric_limits<double>::infinity();
    EXPECT_EQ(voiceReadout(*voice, 0), L"F0 123.4 Hz   F1 512 F2 1480 F3 2510 F4 3600 Hz");
    EXPECT_EQ(voiceReadout(*voice, 1), L"F0 \u2013   F1 512 F2 1480 F3 \u2013 F4 3600 Hz");
    EXPECT_EQ(voiceReadout(*voice, 3), L"");

    auto numbers = std::make_unique<VoicePrintNumbers>();
    startVoicePrintRun(*numbers, 22050, 1024, 1, step);
    numbers->columnsTaken = 3;
    EXPECT_EQ(voicePrintReadout(*numbers, *voice, 1, 10),
              voicePrintReadout(*numbers, 1, 10) + L"   F0 \u2013   F1 512 F2 1480 F3 \u2013 F4 3600 Hz");
    EXPECT_EQ(voicePrintReadout(*numbers, *voice, 5, 10), L"column 5: no frame");

    auto frame = std::make_unique<FrameNumbers>();
    const std::string csv = numbersCsv(*numbers, *frame, voice.get());
    const std::string section = csv.substr(csv.find("\r\n\r\ncentre_s") + 4);
    EXPECT_EQ(section,
              "centre_s,f0_hz,f1_hz,f2_hz,f3_hz,f4_hz,level_db\r\n"
              "0.023220,123.440,512.3,1480.0,2510.4,3600.0,-10.000\r\n"
              "0.026122,,512.3,1480.0,,3600.0,-10.000\r\n"
              "0.029025,123.440,512.3,1480.0,2510.4,3600.0,-inf\r\n");
    // Without the voice numbers the export keeps its two parts.
    EXPECT_EQ(numbersCsv(*numbers, *frame).find("centre_s"), std::string::npos);
}
