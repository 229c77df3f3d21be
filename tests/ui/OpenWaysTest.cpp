// The other ways into Kelvara besides the open dialog, as a Windows user
// takes them: a file named on the command line (a shortcut, "Open with", a
// script), with /draw to see its voice print at once, and files dropped on
// the window. Each must end exactly as the dialog's open does.
#include "driver/Pictures.h"
#include "driver/UiDriver.h"
#include "driver/UserSteps.h"
#include "driver/ViewExpectations.h"

#include <cstdio>
#include <string>
#include <vector>

#include "core/base/CommandIds.h"
#include "tests/support/WavBytes.h"

using namespace ui;

namespace {

constexpr int rate = 22050;
constexpr int trackBarPeriod = 64;  // the frame period a load leaves
constexpr int frameOrder = 10;      // N = 1024
constexpr int hanning = 1;
constexpr DWORD runBoundMs = 60000;

std::wstring quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// A sound whose every waveform column differs, and its file.
struct TestSound {
    std::vector<int16_t> samples;
    std::vector<double> shown;
    SoundBuffer sound;
    std::wstring path;

    explicit TestSound(const std::wstring& name, double hz = 440)
    {
        samples = ui::risingTone(hz, rate, 3.0, 0.5, 20000);
        for (int16_t s : samples) shown.push_back(s);
        const std::vector<uint8_t> bytes = wavbytes::pcm16File(rate, 1, samples);
        vpt::loadSound(sound, bytes);
        path = writeTempFile(name, bytes);
    }
    vpt::WaveformState stateAfterLoad() const
    {
        return {0, vpt::selectionEndFromPeriod(0, trackBarPeriod, static_cast<uint32_t>(samples.size())), 0};
    }
};

// Waits until the waveform view shows `sound` as a load leaves it.
vpt::Comparison seeWaveformOf(HWND wave, const TestSound& sound, const char* name)
{
    const vpt::WaveformState state = sound.stateAfterLoad();
    const Image image = ui::captureUntil(wave, [&](const Image& i) {
        return vpt::compareWaveform(i, sound.shown, state).mismatches == 0;
    });
    const vpt::Comparison c = vpt::compareWaveform(image, sound.shown, state);
    if (c.mismatches) ui::keepPicture(image, name);
    return c;
}

// One Kelvara started with `arguments`; closed at the end of the test.
struct StartedKelvara {
    KelvaraProcess app;
    double startedAt = 0;

    explicit StartedKelvara(const std::wstring& arguments)
    {
        startedAt = ui::seconds();
        EXPECT_TRUE(app.launch(L"", arguments));
        EXPECT_TRUE(app.waitForWindows());
    }
    ~StartedKelvara()
    {
        app.requestClose();
        DWORD code = 0;
        if (!app.waitForExit(code, 10000)) app.kill();
    }
    const KelvaraWindows& w() const { return app.windows(); }
};

TEST(CommandLine, FileNamedOnTheCommandLineOpensAsFromTheDialog)
{
    // Spaces and letters outside any code page, as a user's folders have.
    const TestSound sound(L"声 の sample ñ.wav");
    StartedKelvara k(quoted(sound.path));
    ASSERT_TRUE(k.w().complete());
    EXPECT_TRUE(ui::waitForStatus(k.w().panel, L"Open A File...Done."));
    EXPECT_EQ(controlText(k.w().panel, IDC_FILE_NAME), sound.path);
    EXPECT_EQ(controlText(k.w().panel, IDC_SAMPLE_RATE), L"22.1");
    const vpt::Comparison wave = seeWaveformOf(k.w().wave, sound, "OpenWaysTest-command-line");
    EXPECT_EQ(wave.mismatches, 0) << wave;
}

TEST(CommandLine, DrawOptionShowsTheVoicePrintOfTheSelectionALoadLeaves)
{
    const TestSound sound(L"draw me.wav", 1500);
    StartedKelvara k(L"/draw " + quoted(sound.path));
    ASSERT_TRUE(k.w().complete());
    ASSERT_TRUE(ui::waitForStatus(k.w().panel, L"Voice-Print...Done.", runBoundMs)) << narrow(ui::status(k.w().panel));
    const double firstPicture = ui::seconds() - k.startedAt;

    // A load leaves the selection at column 0 with the track bar's period:
    // 551 frames from the first sample, 64 samples apart.
    const std::vector<vpt::VoicePrintColumn> expected =
        vpt::expectedVoicePrint(sound.sound, 0, trackBarPeriod, frameOrder, hanning, ColorTable(0, 1.0));
    ASSERT_EQ(expected.size(), 551u);
    const Image image = ui::captureUntil(k.w().voicePrint, [&](const Image& i) {
        return vpt::compareVoicePrint(i, expected, {}).mismatches == 0;
    });
    const vpt::Comparison picture = vpt::compareVoicePrint(image, expected, {});
    EXPECT_EQ(picture.mismatches, 0) << picture;
    if (picture.mismatches) ui::keepPicture(image, "OpenWaysTest-draw-option");
    std::printf("[ benchmark ] start to \"Voice-Print...Done.\" with /draw, 3.5 s sound: %.2f s\n", firstPicture);
}

TEST(CommandLine, UnreadableFileGetsTheOpenFailureAndNoDraw)
{
    const std::wstring broken = writeTempFile(L"broken.wav", {'R', 'I', 'F', 'F', 1, 2, 3});
    StartedKelvara k(L"/draw " + quoted(broken));
    HWND box = waitForMessageBox(k.app.pid());
    ASSERT_TRUE(box);
    EXPECT_EQ(messageBoxText(box), L"ファイルオープンに失敗しました。");
    ASSERT_TRUE(dismissMessageBox(box));
    EXPECT_TRUE(ui::waitForStatus(k.w().panel, L"Open A File...Done."));
    ASSERT_TRUE(drainPostedMessages(control(k.w().panel, IDC_STATUS)));
    EXPECT_EQ(ui::status(k.w().panel), L"Open A File...Done.") << "a draw followed the failed open";
    EXPECT_TRUE(ui::answers(k.w().main));
}

TEST(CommandLine, TheShippedSampleOpensAndDraws)
{
    // What `make run` shows a new user.
    const std::string source = environment("KELVARA_SOURCE_DIR");
    if (source.empty()) GTEST_SKIP() << "KELVARA_SOURCE_DIR names the tree with samples/";
    const std::wstring sample = windowsPath(source + "/samples/voice-print.wav");
    StartedKelvara k(L"/draw " + quoted(sample));
    ASSERT_TRUE(ui::waitForStatus(k.w().panel, L"Voice-Print...Done.", runBoundMs)) << narrow(ui::status(k.w().panel));
    const double firstPicture = ui::seconds() - k.startedAt;
    EXPECT_EQ(controlText(k.w().panel, IDC_SAMPLE_RATE), L"22.1");
    std::printf("[ benchmark ] start to the first voice print of samples/voice-print.wav (make run): %.2f s\n",
                firstPicture);
}

class DropTest : public KelvaraSession {};

TEST_F(DropTest, FileDroppedOnAViewOpensAndOfSeveralTheFirst)
{
    const TestSound first(L"dropped first.wav", 600);
    const TestSound second(L"dropped second.wav", 2500);
    ASSERT_TRUE(dropFiles(app.handle(), w.voicePrint, {first.path, second.path}));
    EXPECT_TRUE(ui::waitForStatus(w.panel, L"Open A File...Done."));
    EXPECT_EQ(controlText(w.panel, IDC_FILE_NAME), first.path);
    const vpt::Comparison wave = seeWaveformOf(w.wave, first, "OpenWaysTest-drop");
    EXPECT_EQ(wave.mismatches, 0) << wave;

    // A drop on the main window itself replaces it.
    ui::markStatus(w.panel);
    ASSERT_TRUE(dropFiles(app.handle(), w.main, {second.path}));
    EXPECT_TRUE(ui::waitForStatus(w.panel, L"Open A File...Done."));
    EXPECT_EQ(controlText(w.panel, IDC_FILE_NAME), second.path);
}

TEST_F(DropTest, DropWhilePlayingIsRefusedAndKeepsTheSound)
{
    if (environment("KELVARA_PULSE_CTL").empty()) GTEST_SKIP() << "needs the session sound server (scripts/headless.sh)";
    const TestSound playing(L"playing.wav", 800);
    const TestSound other(L"other.wav", 3000);
    ASSERT_TRUE(dropFiles(app.handle(), w.main, {playing.path}));
    ASSERT_TRUE(ui::waitForStatus(w.panel, L"Open A File...Done."));

    clickButton(w.panel, IDC_PLAY_ALL);
    ASSERT_TRUE(ui::waitForStatus(w.panel, L"Playing..."));
    ASSERT_TRUE(dropFiles(app.handle(), w.wave, {other.path}));
    EXPECT_TRUE(ui::waitForStatus(w.panel, L"Open A File...Busy."));
    EXPECT_EQ(controlText(w.panel, IDC_FILE_NAME), playing.path);
    clickButton(w.panel, IDC_STOP);
    ASSERT_TRUE(ui::waitForStatus(w.panel, L"Playing...Done.", 10000));
    // Idle again, the same drop is taken.
    ASSERT_TRUE(dropFiles(app.handle(), w.wave, {other.path}));
    EXPECT_TRUE(ui::waitForStatus(w.panel, L"Open A File...Done."));
    EXPECT_EQ(controlText(w.panel, IDC_FILE_NAME), other.path);
}

}  // namespace
