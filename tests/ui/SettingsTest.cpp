// What Kelvara remembers from one run to the next, as a person meets it:
// the panel as they left it, "設定を既定に戻す", the recent files at the end
// of the file menu, the folder the open dialog starts in, and the title bar
// naming the sound. The remembered settings live under
// HKEY_CURRENT_USER\Software\Kelvara of the test's Wine prefix; these tests
// clear that key before and after themselves, and every other UI test starts
// Kelvara with /defaults, which neither reads nor writes it.
//
// Under Wine another process cannot read a menu, so the recent files are
// worked by their fixed command ids, as a click on the menu item sends them.
#include "driver/UiDriver.h"
#include "driver/SaveDialog.h"
#include "driver/UserSteps.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "core/base/CommandIds.h"

using namespace ui;

namespace {

const wchar_t* const keyPath = L"Software\\Kelvara";

void clearStoredSettings()
{
    RegDeleteKeyW(HKEY_CURRENT_USER, keyPath);
}

// A value planted as anything may have left it: any type, any bytes.
void plant(const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS) << narrow(name);
    RegCloseKey(key);
}
void plantNumber(const wchar_t* name, DWORD value) { plant(name, REG_DWORD, &value, sizeof value); }
void plantText(const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ)
{
    plant(name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// The stored number, or `missing` when there is none of the right type.
long long storedNumber(const wchar_t* name, long long missing = -1000)
{
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, keyPath, name, RRF_RT_REG_DWORD, &type, &value, &size) != ERROR_SUCCESS)
        return missing;
    return static_cast<int32_t>(value);
}

// Every remembered panel setting as its control shows it, in one order:
// window, frame length, frame period, energy plot (0 Linear, 1 Log),
// voice print (0 Color, 1 Mono), scale, rejection, colour width, maximum
// frequency, SideGraduate, GraduateLine, record rate, bits, length.
using Settings = std::array<int, 14>;
const Settings defaults{1, 9, 2, 1, 0, 8, 1, 10, -3, 0, 0, 0, 0, 3};
const Settings changed{3, 11, 5, 0, 1, 20, 7, 15, 6, 1, 1, 1, 1, 9};

int radioIndex(HWND panel, int first, int second)
{
    if (isChecked(panel, first)) return isChecked(panel, second) ? -2 : 0;
    return isChecked(panel, second) ? 1 : -1;
}

Settings shownSettings(HWND panel)
{
    return {comboSelection(panel, IDC_WINDOW_FUNCTION),
            comboSelection(panel, IDC_FRAME_LENGTH),
            trackBarPosition(panel, IDC_FRAME_PERIOD),
            radioIndex(panel, IDC_LINEAR, IDC_LOG),
            radioIndex(panel, IDC_COLOR, IDC_MONO),
            trackBarPosition(panel, IDC_SCALE),
            trackBarPosition(panel, IDC_REJECTION),
            trackBarPosition(panel, IDC_COLOR_WIDTH),
            trackBarPosition(panel, IDC_MAX_FREQ),
            isChecked(panel, IDC_SIDE_GRADUATE) ? 1 : 0,
            isChecked(panel, IDC_GRADUATE_LINE) ? 1 : 0,
            comboSelection(panel, IDC_RECORD_RATE),
            comboSelection(panel, IDC_RECORD_BITS),
            comboSelection(panel, IDC_RECORD_SECONDS)};
}

std::string text(const Settings& s)
{
    std::string out;
    for (int v : s) out += std::to_string(v) + " ";
    return out;
}

// The echo boxes and enabled states that go with `s`: what a person reads.
void expectPanelShows(HWND panel, const Settings& s)
{
    EXPECT_EQ(text(shownSettings(panel)), text(s));
    EXPECT_EQ(controlText(panel, IDC_FRAME_PERIOD_ECHO), std::to_wstring(s[2] * 32));
    EXPECT_EQ(controlText(panel, IDC_SCALE_ECHO), std::to_wstring(s[5] * 40));
    EXPECT_EQ(controlText(panel, IDC_REJECTION_ECHO), std::to_wstring(s[6]));
    EXPECT_EQ(controlText(panel, IDC_COLOR_WIDTH_ECHO), oneDecimal(s[7] / 10.0));
    EXPECT_EQ(controlText(panel, IDC_MAX_FREQ_ECHO), oneDecimal((1 + 0.05 * s[8]) * 6029.296875));
    EXPECT_EQ(isEnabled(panel, IDC_SCALE), s[3] == 1);       // Linear has no scale
    EXPECT_EQ(isEnabled(panel, IDC_REJECTION), s[3] == 1);
    EXPECT_EQ(isEnabled(panel, IDC_COLOR_WIDTH), s[4] == 0);  // Mono has no colour width
    // The source is not remembered: every start is in open-file mode.
    EXPECT_TRUE(isChecked(panel, IDC_SOURCE_FILE));
    EXPECT_FALSE(isEnabled(panel, IDC_RECORD_RATE));
}

// Sets every control to `s` as a person would, the recording ones in
// record mode, and goes back to open-file mode.
void setByHand(HWND panel, const Settings& s)
{
    selectComboItem(panel, IDC_WINDOW_FUNCTION, s[0]);
    selectComboItem(panel, IDC_FRAME_LENGTH, s[1]);
    setTrackBar(panel, IDC_FRAME_PERIOD, s[2]);
    setTrackBar(panel, IDC_SCALE, s[5]);
    setTrackBar(panel, IDC_REJECTION, s[6]);
    setTrackBar(panel, IDC_COLOR_WIDTH, s[7]);
    setTrackBar(panel, IDC_MAX_FREQ, s[8]);
    clickButton(panel, s[3] == 0 ? IDC_LINEAR : IDC_LOG);
    clickButton(panel, s[4] == 0 ? IDC_COLOR : IDC_MONO);
    if (isChecked(panel, IDC_SIDE_GRADUATE) != (s[9] == 1)) clickButton(panel, IDC_SIDE_GRADUATE);
    if (isChecked(panel, IDC_GRADUATE_LINE) != (s[10] == 1)) clickButton(panel, IDC_GRADUATE_LINE);
    clickButton(panel, IDC_SOURCE_RECORD);
    ASSERT_TRUE(waitFor([&] { return isEnabled(panel, IDC_RECORD_RATE); }));
    selectComboItem(panel, IDC_RECORD_RATE, s[11]);
    selectComboItem(panel, IDC_RECORD_BITS, s[12]);
    selectComboItem(panel, IDC_RECORD_SECONDS, s[13]);
    clickButton(panel, IDC_SOURCE_FILE);
    ASSERT_TRUE(drainPostedMessages(control(panel, IDC_STATUS)));
}

// One Kelvara, started remembering (or clean), closed as a person closes it.
class Kelvara {
public:
    explicit Kelvara(bool remembering = true, const std::wstring& arguments = L"")
    {
        started_ = remembering ? app.launchRemembering(arguments) : app.launch(L"", arguments);
        started_ = started_ && app.waitForWindows();
    }
    ~Kelvara() { close(); }
    bool started() const { return started_; }
    const KelvaraWindows& w() const { return app.windows(); }
    // Closes the main window; true when the program ended with exit code 0.
    bool close()
    {
        if (!app.running()) return closedWell_;
        app.requestClose();
        DWORD code = 1;
        closedWell_ = app.waitForExit(code, 10000) && code == 0;
        if (!closedWell_) app.kill();
        return closedWell_;
    }
    KelvaraProcess app;

private:
    bool started_ = false;
    bool closedWell_ = false;
};

class Remembering : public ::testing::Test {
protected:
    void SetUp() override { clearStoredSettings(); }
    void TearDown() override { clearStoredSettings(); }
};

TEST_F(Remembering, SettingsMadeByHandAreThereAfterARestartUntilPutBackToTheDefaults)
{
    {
        Kelvara first;
        ASSERT_TRUE(first.started());
        expectPanelShows(first.w().panel, defaults);
        setByHand(first.w().panel, changed);
        ASSERT_TRUE(first.close());
    }
    {
        Kelvara second;
        ASSERT_TRUE(second.started());
        expectPanelShows(second.w().panel, changed);
        // "設定を既定に戻す", from the file menu.
        postCommand(second.w().main, IDM_RESET_SETTINGS);
        EXPECT_TRUE(waitFor([&] { return shownSettings(second.w().panel) == defaults; })) << text(shownSettings(second.w().panel));
        ASSERT_TRUE(drainPostedMessages(control(second.w().panel, IDC_STATUS)));
        expectPanelShows(second.w().panel, defaults);
        // The reset is remembered at once, not only at the exit.
        EXPECT_EQ(storedNumber(L"WindowFunction"), 1);
        EXPECT_EQ(storedNumber(L"MaxFrequency"), -3);
        ASSERT_TRUE(second.close());
    }
    Kelvara third;
    ASSERT_TRUE(third.started());
    expectPanelShows(third.w().panel, defaults);
}

// The "表示" menu's choices stay too: the pitch curve shown at the last exit
// is over the next start's first voice print, until the reset takes it away.
TEST_F(Remembering, OverlaysAndTheSpeakerAreThereAfterARestart)
{
    std::vector<int16_t> buzz(22050);
    for (size_t i = 0; i < buzz.size(); ++i) {
        double value = 0;
        for (int h = 1; h <= 10; ++h) value += 3000.0 / h * std::sin(2 * 3.14159265358979 * 140 * h * double(i) / 22050);
        buzz[i] = static_cast<int16_t>(value);
    }
    const std::wstring sound = writeWav16(L"buzz.wav", 22050, 1, buzz);
    const auto pitchPixels = [](HWND view) { return captureClient(view).count(Rgb{0, 255, 255}); };
    {
        Kelvara first;
        ASSERT_TRUE(first.started());
        postCommand(first.w().main, IDM_SHOW_PITCH);
        postCommand(first.w().main, IDM_SPEAKER_CHILD);
        ASSERT_TRUE(first.close());
    }
    EXPECT_EQ(storedNumber(L"PitchCurve"), 1);
    EXPECT_EQ(storedNumber(L"Formants"), 0);
    EXPECT_EQ(storedNumber(L"Speaker"), 2);

    Kelvara second;
    ASSERT_TRUE(second.started());
    const HWND panel = second.w().panel;
    ASSERT_TRUE(openFile(second.app.pid(), panel, sound));
    ASSERT_TRUE(drawVoicePrint(panel));
    EXPECT_TRUE(waitFor([&] { return pitchPixels(second.w().voicePrint) > 100; })) << "no pitch curve over the picture";
    postCommand(second.w().main, IDM_RESET_SETTINGS);
    EXPECT_TRUE(waitFor([&] { return pitchPixels(second.w().voicePrint) == 0; })) << "the reset left the curve";
    EXPECT_TRUE(waitFor([&] { return storedNumber(L"PitchCurve") == 0 && storedNumber(L"Speaker") == 1; }));
}

TEST_F(Remembering, ResetWithASoundAppliesTheDefaultsAsTheControlsWould)
{
    const std::wstring sound = writeWav16(L"reset-tone.wav", 22050, 1, tone(440, 22050, 2.0));
    {
        Kelvara first;
        ASSERT_TRUE(first.started());
        setByHand(first.w().panel, changed);
        ASSERT_TRUE(first.close());
    }
    Kelvara second;
    ASSERT_TRUE(second.started());
    HWND panel = second.w().panel;
    markStatus(panel);
    ASSERT_TRUE(openFile(second.app.pid(), panel, sound));
    // A load's refresh takes the remembered frame length: 4096 samples.
    EXPECT_EQ(controlText(panel, IDC_FRAME_LENGTH_MS), oneDecimal(4096.0 / 22050 * 1000));
    postCommand(second.w().main, IDM_RESET_SETTINGS);
    // The frame-length combo's own refresh, as after a person's choice: 1024 samples.
    EXPECT_TRUE(waitFor([&] { return controlText(panel, IDC_FRAME_LENGTH_MS) == oneDecimal(1024.0 / 22050 * 1000); }))
        << narrow(controlText(panel, IDC_FRAME_LENGTH_MS));
    EXPECT_EQ(controlText(panel, IDC_FRAME_PERIOD_MS), oneDecimal(64.0 / 22050 * 1000));
    markStatus(panel);
    ASSERT_TRUE(drawVoicePrint(panel));
}

TEST_F(Remembering, ACleanStartNeitherReadsNorWritesWhatIsRemembered)
{
    plantNumber(L"WindowFunction", 3);
    plantNumber(L"MaxFrequency", static_cast<DWORD>(-10));
    {
        Kelvara clean(false);
        ASSERT_TRUE(clean.started());
        expectPanelShows(clean.w().panel, defaults);
        setByHand(clean.w().panel, changed);
        ASSERT_TRUE(clean.close());
    }
    EXPECT_EQ(storedNumber(L"WindowFunction"), 3);
    EXPECT_EQ(storedNumber(L"MaxFrequency"), -10);
    EXPECT_EQ(storedNumber(L"FrameLength"), -1000) << "the clean start wrote a value";
    Kelvara remembering;
    ASSERT_TRUE(remembering.started());
    Settings expected = defaults;
    expected[0] = 3;
    expected[8] = -10;
    expectPanelShows(remembering.w().panel, expected);
}

TEST_F(Remembering, GarbageInTheRegistryGivesTheDefaults)
{
    const std::wstring good = writeWav16(L"planted.wav", 22050, 1, tone(300, 22050, 1.0));
    // Of each kind: the wrong type, too large, negative, just past the
    // range, a short DWORD, a QWORD, and texts no path can be.
    plantText(L"WindowFunction", L"3");
    plantNumber(L"FrameLength", 0x7FFFFFFF);
    plantNumber(L"FramePeriod", 0);
    plantNumber(L"EnergyPlot", 2);
    const unsigned long long wide = 1;
    plant(L"VoicePrint", REG_QWORD, &wide, sizeof wide);
    plantNumber(L"Scale", 0xFFFFFFFF);
    const uint16_t half = 5;
    plant(L"Rejection", REG_DWORD, &half, sizeof half);
    plantNumber(L"ColorWidth", 21);
    plantNumber(L"MaxFrequency", static_cast<DWORD>(-11));
    plantNumber(L"SideGraduate", 0x80000000);
    plant(L"GraduateLine", REG_BINARY, "\x01\x00\x00\x00", 4);
    plantNumber(L"RecordRate", 2);
    plantText(L"RecordBits", L"16Bit");
    plantNumber(L"RecordLength", 4000000000u);
    plantNumber(L"OpenFolder", 5);
    plantText(L"SaveFolder", L"C:\\a\nb");
    plantText(L"Recent1", L"C:\\" + std::wstring(10000, L'x') + L".wav");
    plantText(L"Recent2", good, REG_MULTI_SZ);
    plantText(L"Recent3", L"C:\\what?.wav");
    plant(L"Recent4", REG_SZ, good.c_str(), static_cast<DWORD>(good.size() * sizeof(wchar_t)));  // no terminator
    plant(L"Recent5", REG_SZ, "\x41", 1);  // half a character

    Kelvara run;
    ASSERT_TRUE(run.started());
    expectPanelShows(run.w().panel, defaults);
    EXPECT_TRUE(answers(run.w().panel));
    // The one usable recent file, first in the list though stored fourth.
    markStatus(run.w().panel);
    postCommand(run.w().main, IDM_RECENT_FIRST);
    EXPECT_TRUE(waitForStatus(run.w().panel, L"Open A File...Done."));
    EXPECT_EQ(controlText(run.w().panel, IDC_FILE_NAME), good);
    markStatus(run.w().panel);
    postCommand(run.w().main, IDM_RECENT_FIRST + 1);
    ASSERT_TRUE(drainPostedMessages(control(run.w().panel, IDC_STATUS)));
    EXPECT_EQ(status(run.w().panel), L"(test is waiting)") << "a second recent file was taken from the garbage";
    EXPECT_EQ(findMessageBox(run.app.pid()), nullptr);
    EXPECT_TRUE(run.close());
    // What the exit wrote over the garbage reads back as the defaults.
    EXPECT_EQ(storedNumber(L"FrameLength"), 9);
    EXPECT_EQ(storedNumber(L"MaxFrequency"), -3);
}

TEST_F(Remembering, RecentFilesOpenByNumberMostRecentFirstAndAGoneOneLeavesTheList)
{
    const std::wstring a = writeWav16(L"recent-a.wav", 22050, 1, tone(200, 22050, 1.0));
    const std::wstring b = writeWav16(L"recent-b & more.wav", 11025, 1, tone(300, 11025, 1.0));
    const std::wstring c = writeWav16(L"recent-c.wav", 44100, 1, tone(400, 44100, 1.0));
    {
        Kelvara run;
        ASSERT_TRUE(run.started());
        const DWORD pid = run.app.pid();
        HWND panel = run.w().panel;
        for (const std::wstring& path : {a, b, c}) {
            markStatus(panel);
            ASSERT_TRUE(openFile(pid, panel, path));
        }
        // The list is c, b, a: the third entry is a.
        const auto openRecent = [&](int number) {
            markStatus(panel);
            postCommand(run.w().main, IDM_RECENT_FIRST + number - 1);
            return waitForStatus(panel, L"Open A File...Done.");
        };
        ASSERT_TRUE(openRecent(3));
        EXPECT_EQ(controlText(panel, IDC_FILE_NAME), a);
        EXPECT_EQ(controlText(panel, IDC_SAMPLE_RATE), L"22.1");
        // Now a, c, b: b is third.
        ASSERT_TRUE(openRecent(3));
        EXPECT_EQ(controlText(panel, IDC_FILE_NAME), b);
        EXPECT_EQ(controlText(panel, IDC_SAMPLE_RATE), L"11.0");
        // Now b, a, c. b goes away; asked for, it gets the open failure
        // message, the loaded sound stays, and it leaves the list.
        ASSERT_TRUE(DeleteFileW(b.c_str()));
        postCommand(run.w().main, IDM_RECENT_FIRST);
        HWND box = waitForMessageBox(pid);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(messageBoxText(box), L"ファイルオープンに失敗しました。");
        ASSERT_TRUE(dismissMessageBox(box));
        ASSERT_TRUE(waitForStatus(panel, L"Open A File...Done."));
        EXPECT_EQ(controlText(panel, IDC_SAMPLE_RATE), L"11.0");
        // a, c: there is no third entry any more.
        markStatus(panel);
        postCommand(run.w().main, IDM_RECENT_FIRST + 2);
        ASSERT_TRUE(drainPostedMessages(control(panel, IDC_STATUS)));
        EXPECT_EQ(status(panel), L"(test is waiting)");
        ASSERT_TRUE(run.close());
    }
    Kelvara again;
    ASSERT_TRUE(again.started());
    HWND panel = again.w().panel;
    markStatus(panel);
    postCommand(again.w().main, IDM_RECENT_FIRST + 1);
    ASSERT_TRUE(waitForStatus(panel, L"Open A File...Done."));
    EXPECT_EQ(controlText(panel, IDC_FILE_NAME), c);
    // The open dialog starts in the folder last opened from: a bare name is found there.
    markStatus(panel);
    ASSERT_TRUE(openFile(again.app.pid(), panel, L"recent-a.wav"));
    EXPECT_EQ(controlText(panel, IDC_FILE_NAME), a);
    EXPECT_EQ(findMessageBox(again.app.pid()), nullptr);
}

TEST(TitleBar, NamesTheSoundAndMarksARecordingUntilItIsSaved)
{
    const std::wstring voice = writeWav16(L"voice-print.wav", 22050, 1, tone(500, 22050, 1.0));
    Kelvara run(false);
    ASSERT_TRUE(run.started());
    HWND main = run.w().main;
    HWND panel = run.w().panel;
    EXPECT_EQ(windowText(main), L"SPECTDraw");
    markStatus(panel);
    ASSERT_TRUE(openFile(run.app.pid(), panel, voice));
    EXPECT_EQ(windowText(main), L"voice-print.wav - SPECTDraw");

    clickButton(panel, IDC_SOURCE_RECORD);
    ASSERT_TRUE(waitFor([&] { return isEnabled(panel, IDC_RECORD); }));
    selectComboItem(panel, IDC_RECORD_SECONDS, 0);  // 2 s
    clickButton(panel, IDC_RECORD);
    ASSERT_TRUE(waitForStatus(panel, L"Recording...Done.", 30000)) << narrow(status(panel));
    EXPECT_EQ(windowText(main), L"*録音 - SPECTDraw");

    const std::wstring saved = tempFolder() + L"take one.wav";
    postCommand(main, IDM_SAVE_SOUND);
    ASSERT_TRUE(chooseFileInSaveDialog(run.app.pid(), saved));
    ASSERT_TRUE(waitForStatus(panel, L"Save A File...Done."));
    EXPECT_EQ(windowText(main), L"take one.wav - SPECTDraw");
}

// Start-up to every window shown, with eight recent files and every setting
// remembered, beside a clean start; printed, not asserted.
TEST_F(Remembering, StartupTimeWithRememberedSettingsBenchmark)
{
    {
        Kelvara first;
        ASSERT_TRUE(first.started());
        setByHand(first.w().panel, changed);
        for (int i = 0; i < 8; ++i) {
            const std::wstring path = writeWav16(L"bench-" + std::to_wstring(i) + L".wav", 22050, 1, tone(440, 22050, 0.2));
            markStatus(first.w().panel);
            postCommand(first.w().main, IDM_OPEN);
            ASSERT_TRUE(chooseFileInOpenDialog(first.app.pid(), path));
            ASSERT_TRUE(waitForStatus(first.w().panel, L"Open A File...Done."));
        }
        ASSERT_TRUE(first.close());
    }
    constexpr int runs = 5;
    std::vector<double> remembered, clean;
    for (int i = 0; i < runs; ++i) {
        for (bool remembering : {true, false}) {
            const double start = seconds();
            Kelvara run(remembering);
            ASSERT_TRUE(run.started());
            (remembering ? remembered : clean).push_back(seconds() - start);
            if (remembering) EXPECT_EQ(shownSettings(run.w().panel), changed);
        }
    }
    std::sort(remembered.begin(), remembered.end());
    std::sort(clean.begin(), clean.end());
    std::printf("BENCH start-up to all windows shown, remembered settings and 8 recent files: median %.3f s, min %.3f, "
                "max %.3f, %d runs; clean start (/defaults): median %.3f s, min %.3f, max %.3f\n",
                remembered[runs / 2], remembered.front(), remembered.back(), runs, clean[runs / 2], clean.front(),
                clean.back());
}

}  // namespace
