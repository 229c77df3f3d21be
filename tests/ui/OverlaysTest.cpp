// The voice behind the picture, as a phonetician uses it: a synthetic vowel
// (a pulse train through four formant resonators, so its pitch and formants
// are known), its voice print drawn, then the pitch curve and the formant
// dots switched on and off with Ctrl+P and Ctrl+F typed on the keyboard, the
// values read under the mouse, the spectrum's ticks, and the numbers saved.
//
// Which pixels the overlays own is the core's word (VoiceOverlay.h) on the
// numbers this test measures itself from the same sound; the readout is held
// to the vowel's truth; the export is read by Python's csv module.
#include "driver/Pictures.h"
#include "driver/SaveDialog.h"
#include "driver/UiDriver.h"
#include "driver/UserSteps.h"
#include "driver/ViewExpectations.h"

#include <cmath>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/analysis/VoiceNumbers.h"
#include "core/base/CommandIds.h"
#include "core/views/VoiceOverlay.h"
#include "tests/core/SyntheticVoice.h"
#include "tests/support/WavBytes.h"

using namespace ui;

namespace {

constexpr int rate = 22050;
constexpr int period = 64;  // the frame-period track bar's start
constexpr int frameLength = 1024;
constexpr int defaultStep = -3;

// A man's /a/ at 120 Hz (tests/core/SyntheticVoice.h).
constexpr double trueF0 = 120.0;
const double* const trueFormants = voice::manA.hz;

// 0.3 s of silence, 1 s of the vowel, 0.7 s of silence: the run's 1.6 s
// hold all three.
std::vector<int16_t> vowel()
{
    voice::Recipe recipe;
    recipe.rate = rate;
    recipe.f0Start = recipe.f0End = trueF0;
    recipe.vowel = voice::manA;
    std::vector<int16_t> samples(static_cast<size_t>(0.3 * rate), 0);
    for (double x : voice::make(recipe)) samples.push_back(static_cast<int16_t>(std::lround(x)));
    samples.resize(samples.size() + static_cast<size_t>(0.7 * rate), 0);
    return samples;
}


std::string shellQuote(const std::wstring& path) { return "'" + unixPath(path) + "'"; }

class OverlaysTest : public KelvaraSession {
protected:
    void SetUp() override
    {
        KelvaraSession::SetUp();
        if (HasFatalFailure()) return;
        const std::vector<uint8_t> bytes = wavbytes::pcm16File(rate, 1, vowel());
        ASSERT_TRUE(vpt::loadSound(sound, bytes));
        ASSERT_TRUE(openFile(app.pid(), w.panel, writeTempFile(L"vowel-a.wav", bytes))) << narrow(status());
    }

    // The numbers the core measures of the run's columns, here, from the same sound.
    std::unique_ptr<VoiceNumbers> measured(int speaker = speakerFemale) const
    {
        std::vector<uint32_t> firsts;
        for (uint32_t k = 0; k < 551 && k * period + frameLength <= sound.sampleCount; ++k) firsts.push_back(k * period);
        auto voice = std::make_unique<VoiceNumbers>();
        measureVoice(*voice, sound.samples, sound.sampleCount, rate, firsts.data(), static_cast<int>(firsts.size()),
                     frameLength, speaker);
        return voice;
    }

    std::wstring readout() const { return windowText(control(findChild(w.main, L"KelvaraReadout"), IDC_READOUT)); }

    void typeToKelvara(WORD key)
    {
        SetForegroundWindow(w.main);
        ASSERT_TRUE(waitFor([&] { return GetForegroundWindow() == w.main; }));
        press(key, {VK_CONTROL});
    }

    SoundBuffer sound;
};


}  // namespace

TEST_F(OverlaysTest, CtrlPAndCtrlFInkExactlyTheOverlaysPixels)
{
    ASSERT_TRUE(drawVoicePrint(w.panel));
    const std::vector<vpt::VoicePrintColumn> picture =
        vpt::expectedVoicePrint(sound, 0, period, 10, 1, ColorTable(0, 1.0));
    ASSERT_EQ(picture.size(), 551u);
    const std::unique_ptr<VoiceNumbers> voice = measured();

    // Off, on, both, the other alone, off again: each step one key stroke.
    struct Step {
        WORD key;
        bool pitch, formants;
    };
    VoiceOverlay overlay;
    for (const Step step : {Step{0, false, false}, Step{'P', true, false}, Step{'F', true, true},
                            Step{'P', false, true}, Step{'F', false, false}}) {
        SCOPED_TRACE(std::string("pitch ") + (step.pitch ? "on" : "off") + ", formants " +
                     (step.formants ? "on" : "off"));
        if (step.key) typeToKelvara(step.key);
        drawVoiceOverlay(overlay, *voice, defaultStep, step.pitch, step.formants);
        // What the switches show is there to see.
        if (step.pitch) EXPECT_FALSE(overlay.empty);
        std::string where;
        int wrong = -1;
        const Image image = captureUntil(w.voicePrint, [&](const Image& i) {
            where.clear();
            return (wrong = vpt::overlaidDifferences(i, picture, overlay, where)) == 0;
        });
        EXPECT_EQ(wrong, 0) << where << " " << keepPicture(image, "overlays");
    }
}

TEST_F(OverlaysTest, ReadoutAndSpectrumTellTheVowelsPitchAndFormants)
{
    ASSERT_TRUE(drawVoicePrint(w.panel));
    typeToKelvara('P');
    typeToKelvara('F');

    // Column 200 lies in the vowel (0.58 s to 0.63 s).
    double f0 = 0, formant[4] = {};
    const auto parse = [&](const std::wstring& text) {
        const size_t at = text.find(L"F0 ");
        return at != std::wstring::npos &&
               std::swscanf(text.c_str() + at, L"F0 %lf Hz F1 %lf F2 %lf F3 %lf F4 %lf Hz", &f0, &formant[0],
                            &formant[1], &formant[2], &formant[3]) == 5;
    };
    std::wstring text;
    double hovered = 0;
    waitFor([&] {
        if (seconds() - hovered > 0.2) {
            hover(w.voicePrint, 200, 140);
            hovered = seconds();
        }
        return parse(text = readout());
    });
    ASSERT_TRUE(parse(text)) << narrow(text);
    EXPECT_NEAR(f0, trueF0, trueF0 * 0.01) << narrow(text);
    EXPECT_NEAR(formant[0], trueFormants[0], 60) << narrow(text);
    for (int i = 1; i < 3; ++i) EXPECT_NEAR(formant[i], trueFormants[i], trueFormants[i] * 0.05) << narrow(text);

    // Column 20 is silence: unvoiced.
    waitFor([&] {
        if (seconds() - hovered > 0.2) {
            hover(w.voicePrint, 20, 140);
            hovered = seconds();
        }
        return (text = readout()).find(L"F0 \u2013") != std::wstring::npos;
    });
    EXPECT_NE(text.find(L"F0 \u2013   F1"), std::wstring::npos) << narrow(text);

    // A click on column 200 shows its frame in the spectrum, with ticks at
    // F0, its harmonics and the formants, as the core places them.
    click(w.voicePrint, 200, 140);
    const std::unique_ptr<VoiceNumbers> voice = measured();
    std::vector<SpectrumTick> ticks = spectrumTicks(voice->column[200], true, true);
    ASSERT_EQ(ticks.size(), 9u);
    const auto ticked = [&](const Image& image) {
        for (const SpectrumTick& tick : ticks)
            for (int y = 128 - spectrumTickLength; y < 128; ++y)
                if (image.at(tick.x, y) != vpt::rgbOf(inkColor(tick.ink))) return false;
        return true;
    };
    const Image spectrum = captureUntil(w.spectrum, ticked);
    EXPECT_TRUE(ticked(spectrum)) << keepPicture(spectrum, "spectrum-ticks");
    // Nowhere else.
    int cyan = 0;
    for (int x = 0; x < 551; ++x) cyan += spectrum.at(x, 127) == vpt::rgbOf(pitchInkColor);
    EXPECT_EQ(cyan, 5);

    // A click in the waveform shows the frame that starts at the cursor, not
    // one of the run's: its ticks are its own voice's.
    click(w.wave, 250, 64);
    const uint32_t cursor = static_cast<uint32_t>(vpt::sampleOfColumn(250, sound.sampleCount));
    auto own = std::make_unique<VoiceNumbers>();
    measureVoice(*own, sound.samples, sound.sampleCount, rate, &cursor, 1, frameLength, speakerFemale);
    ASSERT_GT(own->column[0].f0Hz, 0.0);
    ticks = spectrumTicks(own->column[0], true, true);
    const Image atCursor = captureUntil(w.spectrum, ticked);
    EXPECT_TRUE(ticked(atCursor)) << keepPicture(atCursor, "cursor-ticks");
}

TEST_F(OverlaysTest, ExportedVoiceIsTheRunsNumbersWithTheChosenSpeaker)
{
    // A child's ceiling, chosen after the run (by the menu item's id: the
    // menu of another process cannot be read under Wine): the dots move to
    // the formants under that ceiling without a new run.
    ASSERT_TRUE(drawVoicePrint(w.panel));
    typeToKelvara('F');
    postCommand(w.main, IDM_SPEAKER_CHILD);
    const std::vector<vpt::VoicePrintColumn> picture =
        vpt::expectedVoicePrint(sound, 0, period, 10, 1, ColorTable(0, 1.0));
    VoiceOverlay overlay;
    drawVoiceOverlay(overlay, *measured(speakerChild), defaultStep, false, true);
    std::string where;
    int wrong = -1;
    const Image image = captureUntil(w.voicePrint, [&](const Image& i) {
        where.clear();
        return (wrong = vpt::overlaidDifferences(i, picture, overlay, where)) == 0;
    });
    EXPECT_EQ(wrong, 0) << where << " " << keepPicture(image, "child-formants");

    const std::wstring path = tempFolder() + L"voice.csv";
    markStatus(w.panel);
    postCommand(w.main, IDM_SAVE_NUMBERS);
    ASSERT_TRUE(chooseFileInSaveDialog(app.pid(), path));
    ASSERT_TRUE(waitForStatus(L"Save Numbers...Done.")) << narrow(status());

    // Python prints the part after the header "centre_s,...", a line of
    // numbers per row, "nan" for an empty field.
    const std::wstring script = writeTempFile(L"voicepart.py", [] {
        const std::string s = "import csv, sys\n"
                              "rows = list(csv.reader(open(sys.argv[1], newline='', encoding='utf-8')))\n"
                              "at = rows.index(['centre_s','f0_hz','f1_hz','f2_hz','f3_hz','f4_hz','level_db'])\n"
                              "with open(sys.argv[2], 'w') as out:\n"
                              "    for row in rows[at + 1:]:\n"
                              "        out.write(' '.join(repr(float(v)) if v else 'nan' for v in row) + '\\n')\n";
        return std::vector<uint8_t>(s.begin(), s.end());
    }());
    const std::wstring plain = tempFolder() + L"voice.txt";
    std::string output;
    ASSERT_EQ(runUnixCommand("python3 " + shellQuote(script) + " " + shellQuote(path) + " " + shellQuote(plain), &output),
              0)
        << output;
    std::vector<std::vector<double>> lines;
    std::ifstream in(narrow(plain).c_str());
    for (std::string line; std::getline(in, line);) {
        std::vector<double> values;
        std::istringstream fields(line);
        for (std::string v; fields >> v;) values.push_back(std::strtod(v.c_str(), nullptr));
        lines.push_back(values);
    }

    const std::unique_ptr<VoiceNumbers> voice = measured(speakerChild);
    ASSERT_EQ(lines.size(), 551u);
    int voiced = 0;
    for (int k = 0; k < 551; ++k) {
        SCOPED_TRACE(k);
        const VoiceColumn& c = voice->column[k];
        const std::vector<double>& line = lines[k];
        ASSERT_EQ(line.size(), 7u);
        EXPECT_NEAR(line[0], (k * period + frameLength / 2) / double(rate), 5e-7);
        if (c.f0Hz > 0) {
            EXPECT_NEAR(line[1], c.f0Hz, 0.0005);
            ++voiced;
        } else {
            EXPECT_TRUE(std::isnan(line[1]));
        }
        for (int i = 0; i < 4; ++i) {
            if (std::isnan(c.formantHz[i]))
                EXPECT_TRUE(std::isnan(line[2 + i]));
            else
                EXPECT_NEAR(line[2 + i], c.formantHz[i], 0.05);
        }
        if (std::isinf(c.levelDb))
            EXPECT_EQ(line[6], c.levelDb);
        else
            EXPECT_NEAR(line[6], c.levelDb, 0.0005);
    }
    // The vowel's second (columns 81 to 420 or so) is voiced, the silence not.
    EXPECT_GT(voiced, 300);
    EXPECT_LT(voiced, 360);
    EXPECT_TRUE(std::isinf(lines[0][6]));

    // The default speaker's formants, which the run measured first, are
    // others: the export has the ceiling chosen last.
    const std::unique_ptr<VoiceNumbers> female = measured(speakerFemale);
    int differ = 0;
    for (int k = 0; k < 551; ++k) differ += std::fabs(female->column[k].formantHz[3] - voice->column[k].formantHz[3]) > 1;
    EXPECT_GT(differ, 100);
}

TEST_F(OverlaysTest, CopiedPictureCarriesTheOverlays)
{
    ASSERT_TRUE(drawVoicePrint(w.panel));
    typeToKelvara('P');
    const Image shown = captureUntil(w.voicePrint, [](const Image& i) { return i.count(vpt::rgbOf(pitchInkColor)) > 300; });
    ASSERT_GT(shown.count(vpt::rgbOf(pitchInkColor)), 300);
    if (!OpenClipboard(nullptr)) GTEST_SKIP() << "clipboard busy";
    EmptyClipboard();
    CloseClipboard();
    postCommand(w.main, IDM_COPY_PICTURE);
    ASSERT_TRUE(waitFor([] { return IsClipboardFormatAvailable(CF_DIB) != 0; }));
    // The voice print's place in the main window's client area.
    const RECT place = rectIn(w.voicePrint, w.main);
    int same = 0, cyan = 0;
    const Image copied = clipboardPicture();
    ASSERT_FALSE(copied.empty());
    for (int y = 0; y < 280; ++y)
        for (int x = 0; x < 551; ++x) {
            const Rgb c = copied.at(place.left + x, place.top + y);
            same += c == shown.at(x, y);
            cyan += c == vpt::rgbOf(pitchInkColor);
        }
    EXPECT_EQ(same, 551 * 280);
    EXPECT_EQ(cyan, shown.count(vpt::rgbOf(pitchInkColor)));
}
