// Whole folders from the command line: `Kelvara.exe /png A /print B /csv C
// [options] FILE` must write what the window itself shows and saves after a
// person opens FILE, sets the same options in the panel, marks the same
// stretch and presses "描画": the window's picture as "画像を保存" writes it,
// the voice print as it is on the screen, and the numbers as "数値を保存"
// writes them. The pictures are compared by ImageMagick, pixel by pixel.
// Then the mistakes a script can make, each refused with a message on the
// standard error, a non-zero exit code and no file left behind; and the time
// a run takes per file.
#include "driver/Pictures.h"
#include "driver/SaveDialog.h"
#include "driver/UiDriver.h"
#include "driver/UserSteps.h"
#include "driver/ViewExpectations.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/base/CommandIds.h"

using namespace ui;

namespace {

constexpr int rate = 22050;
constexpr double soundSeconds = 3.0;

// 1.5 s of a 140 Hz buzz (ten harmonics, falling with their number: a pitch
// and formant-like peaks for the overlays), then a 2.5 kHz tone that swells
// for a second and a half second of silence: every column of the voice print
// has its own picture.
std::wstring testSound()
{
    std::vector<int16_t> buzz(static_cast<size_t>(1.5 * rate));
    for (size_t i = 0; i < buzz.size(); ++i) {
        double value = 0;
        for (int h = 1; h <= 10; ++h) value += 3000.0 / h * std::sin(2 * 3.14159265358979 * 140 * h * double(i) / rate);
        buzz[i] = static_cast<int16_t>(value);
    }
    return writeWav16(L"batch sound.wav", rate, 1, joined(buzz, risingTone(2500, rate, 1.0, 0.5, 12000)));
}

// The waveform column a time falls in: 551 columns share the sound evenly.
int columnAt(double seconds) { return static_cast<int>(std::floor(seconds / soundSeconds * 551)); }

// A drag from column `from` to `to`, and its end: the frame period the panel
// then shows, the selection's samples over 551. The views take the mouse on
// their own thread, so "描画" waits for the panel to show it.
void dragAndWait(const KelvaraWindows& w, int from, int to)
{
    const uint32_t count = static_cast<uint32_t>(soundSeconds * rate);
    const int period = (vpt::sampleOfColumn(to, count) - vpt::sampleOfColumn(from, count)) / 551;
    dragSelection(w.wave, from, to);
    EXPECT_TRUE(waitFor([&] { return controlText(w.panel, IDC_FRAME_PERIOD_ECHO) == std::to_wstring(period); }))
        << "the panel never showed the period " << period;
}

std::string quoted(const std::wstring& path) { return "'" + unixPath(path) + "'"; }
std::wstring argument(const std::wstring& path) { return L"\"" + path + L"\""; }

// ImageMagick's count of pixels that differ between two pictures ("" when it
// could not compare them, for example of different sizes).
std::string differingPixels(const std::wstring& a, const std::wstring& b)
{
    std::string said;
    runUnixCommand("compare -metric AE " + quoted(a) + " " + quoted(b) + " null: 2>&1", &said);
    said.erase(std::remove(said.begin(), said.end(), '\n'), said.end());
    return said;
}

std::string fileBytes(const std::wstring& path)
{
    std::string said;
    runUnixCommand("cat " + quoted(path), &said);
    return said;
}

// A copy of a file that failed a comparison beside the test program (the
// build folder), for a person to look at; says where.
std::string kept(const std::wstring& path)
{
    wchar_t self[MAX_PATH] = L"";
    std::wstring folder(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    folder = folder.substr(0, folder.find_last_of(L"\\/") + 1);
    const std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    const std::wstring copy = folder + L"BatchTest-" + name;
    runUnixCommand("cp " + quoted(path) + " " + quoted(copy));
    return " (kept as " + unixPath(copy) + ")";
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// What a person does in the panel for one case, and the options that say the same.
struct Case {
    const char* name;
    std::wstring options;
    std::function<void(const KelvaraWindows&)> inThePanel;
};

std::vector<Case> cases()
{
    return {
        {"defaults over the whole sound", L"",
         [](const KelvaraWindows& w) { dragAndWait(w, 0, 550); }},
        {"every setting changed, a stretch marked",
         L"/frame 512 /window blackman /scale 480 /rejection 3 /colorwidth 1.5 /maxfreq 6029.3 /sidegraduate "
         L"/graduateline /from 0.5 /to 2.5",
         [](const KelvaraWindows& w) {
             selectComboItem(w.panel, IDC_FRAME_LENGTH, 8);     // "512"
             selectComboItem(w.panel, IDC_WINDOW_FUNCTION, 3);  // "ブラックマン窓"
             setTrackBar(w.panel, IDC_SCALE, 12);               // 480
             setTrackBar(w.panel, IDC_REJECTION, 3);
             setTrackBar(w.panel, IDC_COLOR_WIDTH, 15);         // 1.5
             setTrackBar(w.panel, IDC_MAX_FREQ, 0);             // 6029.3 Hz
             clickButton(w.panel, IDC_SIDE_GRADUATE);
             clickButton(w.panel, IDC_GRADUATE_LINE);
             drainPostedMessages(control(w.panel, IDC_STATUS));
             dragAndWait(w, columnAt(0.5), columnAt(2.5));
         }},
        {"mono, linear, a frame period from a click", L"/mono /linear /period 96 /from 1",
         [](const KelvaraWindows& w) {
             clickButton(w.panel, IDC_MONO);
             clickButton(w.panel, IDC_LINEAR);
             setTrackBar(w.panel, IDC_FRAME_PERIOD, 3);  // 96 samples
             drainPostedMessages(control(w.panel, IDC_STATUS));
             // A drag first, so that the click's end shows: its period
             // goes back to the track bar's.
             dragAndWait(w, 10, 300);
             click(w.wave, columnAt(1.0), 64);
             EXPECT_TRUE(waitFor([&] { return controlText(w.panel, IDC_FRAME_PERIOD_ECHO) == L"96"; }));
         }},
        {"the pitch curve and the formant dots for a man's voice", L"/pitch /formants /speaker male",
         [](const KelvaraWindows& w) {
             postCommand(w.main, IDM_SHOW_PITCH);
             postCommand(w.main, IDM_SHOW_FORMANTS);
             postCommand(w.main, IDM_SPEAKER_MALE);
             drainPostedMessages(control(w.panel, IDC_STATUS));
             dragAndWait(w, 0, 550);
         }},
    };
}

// The window's client area once its paints have settled.
Image settledCapture(HWND main, HWND window)
{
    RedrawWindow(main, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Image last = captureClient(window);
    waitFor([&] {
        Sleep(100);
        const Image next = captureClient(window);
        const bool settled = next.pixels == last.pixels;
        last = next;
        return settled;
    });
    return last;
}

class BatchMatchesTheWindow : public ::testing::TestWithParam<int> {};

TEST_P(BatchMatchesTheWindow, PicturesAndNumbersAreThoseTheWindowShowsAndSaves)
{
    const Case c = cases()[GetParam()];
    SCOPED_TRACE(c.name);
    const std::wstring sound = testSound();
    const std::wstring tag = std::to_wstring(GetParam());
    const std::wstring windowPng = tempFolder() + L"window-" + tag + L".png";
    const std::wstring windowCsv = tempFolder() + L"window-" + tag + L".csv";
    const std::wstring screenPrint = tempFolder() + L"screen-" + tag + L".bmp";
    const std::wstring batchPng = tempFolder() + L"batch-" + tag + L".png";
    const std::wstring batchPrint = tempFolder() + L"batch print-" + tag + L".png";
    const std::wstring batchCsv = tempFolder() + L"batch-" + tag + L".csv";

    {
        // The person's way, with the pointer away from the window so the
        // readout line shows the settings' resolution as it does in a batch.
        SetCursorPos(1010, 760);
        KelvaraProcess app;
        ASSERT_TRUE(app.launch(L"", argument(sound)));
        ASSERT_TRUE(app.waitForWindows());
        const KelvaraWindows& w = app.windows();
        ASSERT_TRUE(waitForStatus(w.panel, L"Open A File...Done."));
        c.inThePanel(w);
        ASSERT_TRUE(drawVoicePrint(w.panel));
        ASSERT_TRUE(settledCapture(w.main, w.voicePrint).saveBmp(screenPrint));

        postCommand(w.main, IDM_SAVE_PICTURE);
        ASSERT_TRUE(chooseFileInSaveDialog(app.pid(), windowPng));
        ASSERT_TRUE(waitForStatus(w.panel, L"Save A Picture...Done."));
        postCommand(w.main, IDM_SAVE_NUMBERS);
        ASSERT_TRUE(chooseFileInSaveDialog(app.pid(), windowCsv));
        ASSERT_TRUE(waitForStatus(w.panel, L"Save Numbers...Done."));
        app.requestClose();
        DWORD code = 0;
        if (!app.waitForExit(code, 5000)) app.kill();
    }

    const FinishedRun run = runKelvaraToEnd(L"/png " + argument(batchPng) + L" /print " + argument(batchPrint) +
                                            L" /csv " + argument(batchCsv) + L" " + c.options + L" " + argument(sound));
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(run.err, "");

    EXPECT_EQ(differingPixels(batchPng, windowPng), "0") << kept(batchPng) << kept(windowPng);
    EXPECT_EQ(differingPixels(batchPrint, screenPrint), "0") << kept(batchPrint) << kept(screenPrint);
    std::string size;
    runUnixCommand("identify -format '%m %w %h' " + quoted(batchPrint), &size);
    EXPECT_EQ(size, "PNG 551 280");
    if (c.options.find(L"/pitch") != std::wstring::npos) {
        std::string cyan;
        runUnixCommand("convert " + quoted(batchPrint) + " -fill black +opaque 'rgb(0,255,255)' -fill white -opaque "
                       "'rgb(0,255,255)' -format '%[fx:round(mean*w*h)]' info:", &cyan);
        EXPECT_GT(std::atoi(cyan.c_str()), 100) << "the pitch curve is drawn" << kept(batchPrint);
    }
    const std::string batchNumbers = fileBytes(batchCsv);
    EXPECT_GT(batchNumbers.size(), 1000u);
    EXPECT_TRUE(batchNumbers == fileBytes(windowCsv)) << "the CSVs differ" << kept(batchCsv) << kept(windowCsv);
}

INSTANTIATE_TEST_SUITE_P(Cases, BatchMatchesTheWindow, ::testing::Values(0, 1, 2, 3));

// The standard error's one line, without the line end a Windows program writes.
std::string oneLine(const std::string& err)
{
    std::string line = err;
    line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
}

TEST(BatchMistakes, EachIsRefusedWithOneLineAndLeavesNoFile)
{
    const std::wstring sound = testSound();
    const std::wstring out = tempFolder() + L"never.png";
    const std::wstring notASound = writeTempFile(L"not a sound.wav", std::vector<uint8_t>(500, 'x'));
    const struct {
        std::wstring arguments;
        DWORD exitCode;
        std::string message;
    } mistakes[] = {
        {L"/png " + argument(out) + L" /frobnicate " + argument(sound), 2,
         "Kelvara: unknown option /frobnicate (Kelvara.exe /? lists them)"},
        {L"/png " + argument(out) + L" /scale 210 " + argument(sound), 2,
         "Kelvara: /scale must be a multiple of 40 from 200 to 1000, not 210"},
        {L"/png " + argument(out) + L" /from 3.5 " + argument(sound), 1,
         "Kelvara: /from 3.500 s lies beyond the end of the sound (3.000 s)"},
        {L"/png " + argument(out) + L" " + argument(tempFolder() + L"missing.wav"), 1,
         ("Kelvara: cannot open " + narrow(tempFolder()) + "missing.wav as a sound")},
        {L"/png " + argument(out) + L" " + argument(notASound), 1,
         ("Kelvara: cannot open " + narrow(notASound) + " as a sound")},
        {L"/png " + argument(out) + L" /csv " + argument(tempFolder() + L"no such folder\\n.csv") + L" " +
             argument(sound),
         1, ("Kelvara: cannot write " + narrow(tempFolder()) + "no such folder\\n.csv")},
    };
    for (const auto& mistake : mistakes) {
        const std::string& expected = mistake.message;
        SCOPED_TRACE(narrow(mistake.arguments));
        const FinishedRun run = runKelvaraToEnd(mistake.arguments);
        ASSERT_TRUE(run.ended);
        EXPECT_EQ(run.exitCode, mistake.exitCode);
        EXPECT_EQ(oneLine(run.err), expected);
        EXPECT_FALSE(exists(out)) << "a picture was written all the same";
    }
}

// A target another program holds open cannot be replaced: the run says so,
// and the old file and the folder are as they were.
TEST(BatchMistakes, AnOutputThatCannotBeReplacedKeepsItsOldContents)
{
    const std::wstring sound = testSound();
    const std::wstring held = writeTempFile(L"held.csv", std::vector<uint8_t>{'o', 'l', 'd'});
    HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const FinishedRun run = runKelvaraToEnd(L"/csv " + argument(held) + L" " + argument(sound));
    CloseHandle(holder);
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(oneLine(run.err), "Kelvara: cannot write " + narrow(held));
    EXPECT_EQ(fileBytes(held), "old");
    std::string listing;
    runUnixCommand("ls " + quoted(tempFolder()) + " | grep -c '\\.tmp$'", &listing);
    EXPECT_EQ(listing, "0\n") << "a temporary file was left behind";
}

TEST(BatchUsage, SlashQuestionMarkPrintsEveryOptionAndEndsWell)
{
    const FinishedRun run = runKelvaraToEnd(L"/?");
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.err, "");
    for (const char* option : {"/png PATH", "/print PATH", "/csv PATH", "/frame N", "/window NAME", "/period N",
                               "/from SECONDS", "/to SECONDS", "/scale N", "/rejection N", "/colorwidth X",
                               "/maxfreq HZ", "/mono", "/linear", "/sidegraduate", "/graduateline", "/pitch",
                               "/formants", "/speaker", "/remembered"})
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
}

// Start to exit for a 5-second sound with all three outputs, over 20
// different files, as a script's loop over a folder runs them.
TEST(BatchBenchmark, SecondsPerFiveSecondFile)
{
    std::vector<double> times;
    for (int i = 0; i < 20; ++i) {
        const std::wstring sound =
            writeWav16(L"bench-" + std::to_wstring(i) + L".wav", rate, 1, tone(300 + 150 * i, rate, 5.0));
        const std::wstring base = tempFolder() + L"bench-" + std::to_wstring(i);
        const FinishedRun run = runKelvaraToEnd(L"/png " + argument(base + L".png") + L" /print " +
                                                argument(base + L"-print.png") + L" /csv " +
                                                argument(base + L".csv") + L" " + argument(sound));
        ASSERT_TRUE(run.ended);
        ASSERT_EQ(run.exitCode, 0u) << run.err;
        ASSERT_TRUE(exists(base + L".png") && exists(base + L"-print.png") && exists(base + L".csv"));
        times.push_back(run.seconds);
    }
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    std::printf("BENCH batch run of a 5-second 22.05 kHz file (/png, /print, /csv), start to exit: %.2f s (median of "
                "%zu files; fastest %.2f s, slowest %.2f s)\n",
                sorted[sorted.size() / 2], sorted.size(), sorted.front(), sorted.back());
}

}  // namespace
