// Watching a recording as it comes in: a sound that paplay plays into the
// session's null sink is recorded while the test looks at the screen from
// outside every 50 ms. The voice print must grow from the left, column after
// column; at the end it must be exactly the voice print of what was recorded
// (worked out here from the saved recording, with the DftEngine and the
// selection a drag over the whole sound gives); the line under it shows the
// input level. The program's own latency figures are printed as a BENCH line.
#include "driver/Pictures.h"
#include "driver/SaveDialog.h"
#include "driver/UiDriver.h"
#include "driver/UserSteps.h"
#include "driver/ViewExpectations.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/analysis/VoiceNumbers.h"
#include "core/base/Columns.h"
#include "core/base/CommandIds.h"
#include "core/views/VoiceOverlay.h"
#include "tests/core/SyntheticVoice.h"

using namespace ui;

namespace {

constexpr int frameOrder = 10;  // N = 1024, the panel's default
constexpr int hanning = 1;
constexpr int defaultStep = -3;  // the maximum-frequency track bar's start
const Rgb pitchInk = vpt::rgbOf(pitchInkColor);

// paplay in the background, ended by its own pid.
class SinkPlayer {
public:
    bool play(const std::wstring& wav)
    {
        return paplay_.start("paplay -d " + shellQuote(sinkName()) + " " + shellQuote(unixPath(wav)));
    }
    void stop() { paplay_.stop(); }

private:
    BackgroundCommand paplay_{"live-paplay"};
};

// How many columns from the left are painted, and whether any column right
// of the first black one is painted (columns out of order). The pitch ink
// does not count: the pitch curve's scale stands at the right edge.
struct Growth {
    int painted = 0;
    bool gap = false;
};
Growth growthOf(const Image& image)
{
    Growth g;
    bool blackSeen = false;
    for (int x = 0; x < image.width; ++x) {
        bool any = false;
        for (int y = 0; y < image.height && !any; ++y) any = image.at(x, y) != vpt::black && image.at(x, y) != pitchInk;
        if (!any) blackSeen = true;
        else if (blackSeen) g.gap = true;
        else g.painted = x + 1;
    }
    return g;
}

class LiveRecordingTest : public KelvaraSession {
protected:
    void SetUp() override
    {
        if (environment("KELVARA_PULSE_CTL").empty()) GTEST_SKIP() << "needs the session sound server (scripts/headless.sh)";
        KelvaraSession::SetUp();
    }

    // Record mode: rate 22050 * (rate + 1), bits 8 * (bits + 1), seconds 2 * (seconds + 1).
    void chooseRecording(int rateIndex, int bitsIndex, int secondsIndex) { chooseRecordingIn(w.panel, rateIndex, bitsIndex, secondsIndex); }
    static void chooseRecordingIn(HWND panel, int rateIndex, int bitsIndex, int secondsIndex)
    {
        clickButton(panel, IDC_SOURCE_RECORD);
        ASSERT_TRUE(waitFor([&] { return isEnabled(panel, IDC_RECORD); }));
        selectComboItem(panel, IDC_RECORD_RATE, rateIndex);
        selectComboItem(panel, IDC_RECORD_BITS, bitsIndex);
        selectComboItem(panel, IDC_RECORD_SECONDS, secondsIndex);
        ASSERT_TRUE(drainPostedMessages(control(panel, IDC_STATUS)));
    }

    std::wstring readout() { return windowText(control(findChild(w.main, L"KelvaraReadout"), IDC_READOUT)); }

    // Presses "●REC" and looks at the voice print every 50 ms until
    // "Recording...Done." (or, with `stopAtColumns`, presses "■" once that
    // many columns are painted). Checks the columns only ever grow from the
    // left; returns how many looks saw a picture partly drawn. `look` is
    // shown each picture seen while recording, with its painted columns.
    int recordWatching(int stopAtColumns = 0, const std::function<void(const Image&, int)>& look = {})
    {
        clickButton(w.panel, IDC_RECORD);
        int partLooks = 0, last = 0;
        bool stopped = false;
        const bool done = waitFor([&] {
            const bool recording = status() == L"Recording...";
            const Image image = captureClient(w.voicePrint);
            const Growth g = growthOf(image);
            if (recording) {
                EXPECT_FALSE(g.gap) << "a column was painted before one to its left";
                EXPECT_GE(g.painted, last) << "the picture shrank while recording";
                last = g.painted;
                if (look) look(image, g.painted);
                partLooks += g.painted > 0 && g.painted < columnCount;
                if (stopAtColumns != 0 && !stopped && g.painted >= stopAtColumns) {
                    clickButton(w.panel, IDC_STOP_RECORD);
                    stopped = true;
                }
            }
            Sleep(50);
            return status() == L"Recording...Done.";
        }, 60000);
        EXPECT_TRUE(done) << narrow(status());
        return partLooks;
    }

    // The recording, as the program saves it.
    bool savedRecording(SoundBuffer& sound) { return savedRecordingOf(app, sound); }
    static bool savedRecordingOf(KelvaraProcess& program, SoundBuffer& sound)
    {
        const std::wstring path = tempFolder() + L"live.wav";
        postCommand(program.windows().main, IDM_SAVE_SOUND);
        if (!chooseFileInSaveDialog(program.pid(), path)) return false;
        if (!ui::waitForStatus(program.windows().panel, L"Save A File...Done.", 60000)) return false;
        std::vector<uint8_t> bytes;
        FILE* file = _wfopen(path.c_str(), L"rb");
        if (!file) return false;
        uint8_t chunk[65536];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
        std::fclose(file);
        return vpt::loadSound(sound, bytes);
    }

    // The final picture is the voice print of the whole recording selected
    // as a drag over all of it selects it: frames trunc(550 * n / 551) / 551 apart.
    // With `overlays`, that run's pitch curve and formants are over it, as
    // the core measures them here from the saved recording.
    void expectVoicePrintOfTheRecording(const char* name, bool overlays = false, int speaker = speakerFemale)
    {
        SoundBuffer sound;
        ASSERT_TRUE(savedRecording(sound));
        const int32_t period = std::max(1, vpt::sampleOfColumn(lastColumn, sound.sampleCount) / 551);
        const auto expected = vpt::expectedVoicePrint(sound, 0, period, frameOrder, hanning, ColorTable(0, 1.0));
        ASSERT_FALSE(expected.empty());
        // The red cursor stands two columns right of the last frame, as after "描画".
        const int last = static_cast<int>(expected.size()) - 1;
        const std::vector<int> cursor{last + 1, last + 2};
        if (overlays) {
            std::vector<uint32_t> firsts;
            for (uint32_t k = 0; k < expected.size(); ++k) firsts.push_back(k * static_cast<uint32_t>(period));
            auto voice = std::make_unique<VoiceNumbers>();
            measureVoice(*voice, sound.samples, sound.sampleCount, sound.rate(), firsts.data(), static_cast<int>(firsts.size()),
                         1 << frameOrder, speaker);
            VoiceOverlay overlay;
            drawVoiceOverlay(overlay, *voice, defaultStep, true, true);
            std::string where;
            int wrong = -1;
            const Image image = captureUntil(w.voicePrint, [&](const Image& i) {
                where.clear();
                return (wrong = vpt::overlaidDifferences(i, expected, overlay, where, cursor)) == 0;
            });
            EXPECT_EQ(wrong, 0) << where << " " << keepPicture(image, name);
            return;
        }
        const Image image = captureUntil(w.voicePrint, [&](const Image& i) {
            return vpt::compareVoicePrint(i, expected, cursor).mismatches == 0;
        });
        const vpt::Comparison c = vpt::compareVoicePrint(image, expected, cursor);
        if (c.mismatches) keepPicture(image, name);
        EXPECT_EQ(c.mismatches, 0) << c;
    }

    // Records the planned length and prints the program's latency figures.
    void recordAndPrintLatency(const char* what)
    {
        clickButton(w.panel, IDC_RECORD);
        ASSERT_TRUE(waitForStatus(L"Recording...Done.", 90000)) << narrow(status());
        auto ask = [&](int which) {
            DWORD_PTR answer = 0;
            SendMessageTimeoutW(w.panel, MSG_LIVE_TIMES, which, 0, SMTO_ABORTIFHUNG, 5000, &answer);
            return static_cast<long long>(answer);
        };
        const long long columns = ask(2);
        EXPECT_GT(columns, 400);  // nearly every column was timed on its way to the screen
        std::printf("BENCH live recording 20 s 44100 Hz 16-bit N=1024%s: block back to its columns on the screen "
                    "median %.1f ms, 95th percentile %.1f ms (%lld columns)\n",
                    what, ask(0) / 1000.0, ask(1) / 1000.0, columns);
    }

    // Samples of the level line while the tone plays: its dB figures.
    std::vector<double> levelReadings(int looks)
    {
        std::vector<double> readings;
        waitFor([&] {
            const std::wstring text = readout();
            if (text.rfind(L"Input ", 0) == 0) readings.push_back(std::wcstod(text.c_str() + 6, nullptr));
            Sleep(50);
            return static_cast<int>(readings.size()) >= looks;
        }, 30000);
        return readings;
    }
};

// A steady tone of `hz` recorded whole: no gap and no block twice, which
// would break the sine's recurrence x[n] + x[n-2] = 2 cos(w) x[n-1].
void expectNoGap(const SoundBuffer& sound, double hz)
{
    uint32_t first = 0, last = 0;
    for (uint32_t i = 0; i < sound.sampleCount; ++i)
        if (std::fabs(sound.samples[i]) > 2000) (first == 0 ? first : last) = i, last = i;
    ASSERT_GT(last, first + sound.rate() * 3) << "the tone did not come in for most of the recording";
    const double twoCos = 2 * std::cos(2 * 3.14159265358979 * hz / sound.rate());
    double worst = 0;
    std::string breaks;
    for (uint32_t n = first + 2; n <= last; ++n) {
        const double residual = std::fabs(sound.samples[n] + sound.samples[n - 2] - twoCos * sound.samples[n - 1]);
        if (residual >= 1000.0 && breaks.size() < 400) breaks += " " + std::to_string(n);
        worst = std::max(worst, residual);
    }
    EXPECT_LT(worst, 1000.0) << "a gap or a repeated block in the recording at samples" << breaks;
}

// A man's /a/ held at a steady F0, with the jitter and breath of a real voice.
constexpr double trueF0 = 120.0;
std::vector<int16_t> heldVowel(int rate, double seconds, double f0)
{
    voice::Recipe recipe;
    recipe.rate = rate;
    recipe.seconds = seconds;
    recipe.f0Start = recipe.f0End = f0;
    recipe.jitter = 0.01;
    recipe.snrDb = 30.0;
    std::vector<int16_t> samples;
    for (double x : voice::make(recipe)) samples.push_back(static_cast<int16_t>(std::lround(x)));
    return samples;
}

// Four tones one after the other, so that the columns differ along the picture.
std::vector<int16_t> steps(int rate, double seconds)
{
    std::vector<int16_t> sound;
    for (int i = 0; i < 4; ++i) sound = joined(sound, tone(500.0 * (i + 1), rate, seconds / 4));
    return sound;
}

}  // namespace

TEST_F(LiveRecordingTest, ColumnsGrowInOrderAndTheEndIsTheVoicePrintOfTheRecording)
{
    chooseRecording(0, 1, 2);  // 22050 Hz, 16 bits, 6 s
    SinkPlayer player;
    ASSERT_TRUE(player.play(writeWav16(L"steps.wav", 22050, 1, steps(22050, 40.0))));
    const int partLooks = recordWatching();
    player.stop();
    // 6 s watched every 50 ms: the picture was seen growing, not only whole.
    EXPECT_GT(partLooks, 10);
    expectVoicePrintOfTheRecording("live-whole");
}

TEST_F(LiveRecordingTest, StoppedHalfWayTheRecordingIsRedrawnAsDrawWould)
{
    chooseRecording(0, 1, 3);  // 22050 Hz, 16 bits, 8 s
    SinkPlayer player;
    ASSERT_TRUE(player.play(writeWav16(L"steps.wav", 22050, 1, steps(22050, 40.0))));
    recordWatching(275);
    player.stop();
    expectVoicePrintOfTheRecording("live-stopped");
}

TEST_F(LiveRecordingTest, TheLevelLineReadsTheToneAndClip)
{
    chooseRecording(0, 1, 1);  // 22050 Hz, 16 bits, 4 s
    {
        // -6 dB FS: amplitude 32768 / 2.
        SinkPlayer player;
        ASSERT_TRUE(player.play(writeWav16(L"half.wav", 22050, 1, tone(1000, 22050, 20.0, 16384.0))));
        clickButton(w.panel, IDC_RECORD);
        const std::vector<double> readings = levelReadings(20);
        ASSERT_GE(readings.size(), 20u) << narrow(readout());
        // The last look: the tone has been coming in for a while by then.
        EXPECT_NEAR(readings.back(), -6.0, 1.0) << narrow(readout());
        EXPECT_EQ(readout().find(L"CLIP"), std::wstring::npos) << narrow(readout());
        ASSERT_TRUE(waitForStatus(L"Recording...Done.", 30000)) << narrow(status());
    }
    // Afterwards the line speaks of the settings again.
    EXPECT_EQ(readout().rfind(L"Input ", 0), std::wstring::npos) << narrow(readout());

    // A full-scale square wave.
    std::vector<int16_t> square(22050 * 20);
    for (size_t i = 0; i < square.size(); ++i) square[i] = (i / 11) % 2 ? 32767 : -32768;
    SinkPlayer player;
    ASSERT_TRUE(player.play(writeWav16(L"square.wav", 22050, 1, square)));
    clickButton(w.panel, IDC_RECORD);
    // The tone's recording was never saved: let it go.
    HWND question = waitForUnsavedQuestion(app.pid());
    ASSERT_TRUE(question);
    ASSERT_TRUE(answerMessageBox(question, IDNO));
    EXPECT_TRUE(waitFor([&] { return readout().find(L"CLIP") != std::wstring::npos; }, 30000)) << narrow(readout());
    ASSERT_TRUE(waitForStatus(L"Recording...Done.", 30000)) << narrow(status());
}

// 20 s at 44100 Hz 16-bit with N = 1024: from each block the device hands
// back to its columns on the screen, as the program timed it. Drawing costs
// the recording nothing: a steady tone comes back with no gap and no block
// twice, which would break the sine's recurrence x[n] + x[n-2] = 2 cos(w) x[n-1].
TEST_F(LiveRecordingTest, LatencyBenchmarkAndNothingLost)
{
    chooseRecording(1, 1, 9);  // 44100 Hz, 16 bits, 20 s
    SinkPlayer player;
    ASSERT_TRUE(player.play(writeWav16(L"tone44.wav", 44100, 1, tone(1000, 44100, 40.0))));
    Sleep(1500);  // the tone is steady in the sink before the recording starts
    recordAndPrintLatency("");
    player.stop();

    SoundBuffer sound;
    ASSERT_TRUE(savedRecording(sound));
    ASSERT_EQ(sound.sampleCount, 44100u * 20);
    expectNoGap(sound, 1000);

    // The same with a voice and both overlays growing over it.
    ASSERT_TRUE(player.play(writeWav16(L"vowel44.wav", 44100, 1, heldVowel(44100, 40.0, trueF0))));
    Sleep(1500);
    postCommand(w.main, IDM_SHOW_PITCH);
    postCommand(w.main, IDM_SHOW_FORMANTS);
    recordAndPrintLatency(", pitch curve and formants shown");
    player.stop();
}

// Nothing is lost whatever the screen is doing: a Kelvara whose every paint
// is slow (the test hook) records a steady tone while it is on the screen,
// then minimised, then shown again.
TEST_F(LiveRecordingTest, NothingIsLostUnderASlowScreenOrMinimised)
{
    KelvaraProcess slow;
    ASSERT_TRUE(slow.launchWithHook(L"KELVARA_TEST_PAINT_DELAY_MS", L"30") && slow.waitForWindows());
    const KelvaraWindows& s = slow.windows();
    chooseRecordingIn(s.panel, 0, 1, 3);  // 22050 Hz, 16 bits, 8 s
    SinkPlayer player;
    ASSERT_TRUE(player.play(writeWav16(L"tone22.wav", 22050, 1, tone(1000, 22050, 40.0))));
    Sleep(1500);  // the tone is steady in the sink before the recording starts
    clickButton(s.panel, IDC_RECORD);
    ASSERT_TRUE(ui::waitForStatus(s.panel, L"Recording..."));
    Sleep(3000);
    PostMessageW(s.main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    Sleep(3000);
    PostMessageW(s.main, WM_SYSCOMMAND, SC_RESTORE, 0);
    ASSERT_TRUE(ui::waitForStatus(s.panel, L"Recording...Done.", 60000)) << narrow(ui::status(s.panel));
    player.stop();
    SoundBuffer sound;
    ASSERT_TRUE(savedRecordingOf(slow, sound));
    ASSERT_EQ(sound.sampleCount, 22050u * 8);
    expectNoGap(sound, 1000);
}

// A man's /a/ held at 120 Hz, the speaker set to a man (with a woman's
// ceiling, linear prediction often finds no F1 in a man's /a/, live or
// not). "ピッチ曲線" and "フォルマント" are switched on
// with Ctrl+P and Ctrl+F a quarter of the way in: from the next block the
// overlays cover what came before, and from then on the pitch curve stands
// on 120 Hz's row and follows the picture a few columns behind, and the
// formant dots lie on the vowel's F1 and F2. At the end, the picture and its
// overlays are what "描画" gives.
TEST_F(LiveRecordingTest, ThePitchCurveAndFormantsGrowWithTheVoice)
{
    postCommand(w.main, IDM_SPEAKER_MALE);
    chooseRecording(0, 1, 2);  // 22050 Hz, 16 bits, 6 s
    SinkPlayer player;
    ASSERT_TRUE(player.play(writeWav16(L"held-vowel.wav", 22050, 1, heldVowel(22050, 40.0, trueF0))));
    Sleep(500);  // the voice is there from the recording's start

    const int row = pitchRow(trueF0);
    const int f1Row = formantRow(voice::manA.hz[0], defaultStep), f2Row = formantRow(voice::manA.hz[1], defaultStep);
    const int curveEnd = 500;  // left of the pitch scale's labels and ticks
    const Rgb formantInk = vpt::rgbOf(formantInkColor);
    bool switchedOn = false;
    int curveLooks = 0, lastRight = -1, leftmost = columnCount, dotted = 0, onF1 = 0, onF2 = 0;
    recordWatching(0, [&](const Image& image, int painted) {
        if (!switchedOn) {
            if (painted < 140) return;
            SetForegroundWindow(w.main);
            press('P', {VK_CONTROL});
            press('F', {VK_CONTROL});
            switchedOn = true;
            return;
        }
        int right = -1, left = columnCount, offRow = 0;
        dotted = onF1 = onF2 = 0;
        // The red cursor stands two columns right of the newest one.
        for (int x = 0; x < std::min(curveEnd, painted - 1); ++x) {
            bool dot = false, nearF1 = false, nearF2 = false;
            for (int y = 0; y < image.height; ++y) {
                const Rgb p = image.at(x, y);
                if (p == pitchInk) {
                    right = x;
                    left = std::min(left, x);
                    // A 2-pixel stroke on the row; 1 % off is about a row.
                    offRow += y < row - 2 || y > row + 3;
                } else if (p == formantInk) {
                    dot = true;
                    nearF1 |= std::abs(y - f1Row) <= 3;
                    nearF2 |= std::abs(y - f2Row) <= 4;
                }
            }
            dotted += dot;
            onF1 += nearF1;
            onF2 += nearF2;
        }
        EXPECT_EQ(offRow, 0) << "pitch ink off " << trueF0 << " Hz's row " << row << " with " << painted << " columns painted";
        if (right < 0) return;
        ++curveLooks;
        leftmost = std::min(leftmost, left);
        EXPECT_LE(right, painted) << "the curve ran ahead of the picture";
        if (painted < curveEnd) EXPECT_GE(right, painted - 8) << "the curve fell behind the picture";
        EXPECT_GE(right, lastRight) << "the curve shrank";
        lastRight = right;
    });
    player.stop();
    ASSERT_TRUE(switchedOn);
    EXPECT_GT(curveLooks, 10) << "the curve was not seen growing";
    EXPECT_LT(leftmost, 10) << "switched on late, the curve did not cover what came before";
    // The last look while recording: the voiced columns carry F1 and F2.
    EXPECT_GT(dotted, 300) << "formant dots in few columns";
    EXPECT_GE(onF1, dotted * 9 / 10) << "columns with a dot on F1's row " << f1Row;
    EXPECT_GE(onF2, dotted * 9 / 10) << "columns with a dot on F2's row " << f2Row;
    expectVoicePrintOfTheRecording("live-overlays", true, speakerMale);
}
