// Broken and hostile .wav files, opened one after another through the real
// open-file dialog over a loaded sound. A file that cannot be read as sound
// must be refused with "ファイルオープンに失敗しました。" and leave the loaded
// sound, its waveform and its voice print exactly as they were; a file that is
// still sound (however odd) must load and be shown, and must survive drawing
// and playing. After every file both GUI threads must answer.
//
// The whole sequence runs twice: with the session's sound server, and with
// Kelvara started while there is none (Wine looks for sound devices once per
// process), since playing a hostile sound fails differently in the two.
#include "driver/HostileWavs.h"
#include "driver/Pictures.h"
#include "driver/UiDriver.h"
#include "driver/UserSteps.h"

#include <cstdio>
#include <map>

#include "core/base/CommandIds.h"

using namespace ui;

namespace {

constexpr const wchar_t* openFailedText = L"ファイルオープンに失敗しました。";
constexpr const wchar_t* noOutputDeviceText = L"再生デバイスが見つかりませんでした。";
constexpr DWORD answerTimeoutMs = 5000;
constexpr DWORD voicePrintTimeoutMs = 120000;

const Rgb traceGreen{0, 255, 0};
const Rgb traceInverted{255, 0, 255};  // the trace inside the selected band

bool answers(HWND window)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, answerTimeoutMs, &result) != 0;
}

// Columns that carry a piece of trace: trace-coloured pixels, but not a
// full-height line (the two selection lines have the trace's colour).
int traceColumns(const Image& wave)
{
    int columns = 0;
    for (int x = 0; x < wave.width; ++x) {
        int trace = 0;
        for (int y = 0; y < wave.height; ++y) {
            const Rgb c = wave.at(x, y);
            trace += c == traceGreen || c == traceInverted;
        }
        columns += trace > 0 && trace < wave.height - 2;
    }
    return columns;
}

int pixelDifference(const Image& a, const Image& b)
{
    if (a.width != b.width || a.height != b.height) return a.width * a.height + 1;
    int differing = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) differing += a.pixels[i] != b.pixels[i];
    return differing;
}

// The view as it stands once its paints have caught up: two captures a
// tenth of a second apart that agree.
Image settledCapture(HWND window)
{
    Image last = captureClient(window);
    Image now;
    waitFor([&] {
        Sleep(100);
        now = captureClient(window);
        const bool same = now.pixels == last.pixels;
        last = now;
        return same;
    }, 10000);
    return last;
}

// Holds a file open for reading and writing, with the given share mode (0:
// nobody else may open it), for as long as it lives.
class ExclusiveHold {
public:
    explicit ExclusiveHold(const std::wstring& path, DWORD shareMode = 0)
        : handle_(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, shareMode, nullptr, OPEN_EXISTING, 0, nullptr))
    {
    }
    ~ExclusiveHold()
    {
        if (held()) CloseHandle(handle_);
    }
    ExclusiveHold(const ExclusiveHold&) = delete;
    ExclusiveHold& operator=(const ExclusiveHold&) = delete;
    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

const char* outcomeName(Outcome outcome) { return outcome == Outcome::Refused ? "refused" : "loads"; }

class HostileFileRun {
public:
    explicit HostileFileRun(const char* label) : label_(label) {}

    void run()
    {
        ASSERT_TRUE(app_.launch()) << "KELVARA_EXE=" << environment("KELVARA_EXE");
        ASSERT_TRUE(app_.waitForWindows());
        w_ = app_.windows();

        const wavbytes::Format good = wavbytes::packed(wavbytes::pcmTag, 1, 22050, 16);
        goodPath_ = writeTempFile(L"good-sweep.wav", wavbytes::encodedFile(good, sweep(300, 4000, 22050, 2.0)));
        ASSERT_NO_FATAL_FAILURE(openExpectingLoad(goodPath_, true));
        ASSERT_NO_FATAL_FAILURE(takeBaseline());

        const std::vector<HostileWav> files = hostileWavs();
        int index = 0;
        for (const HostileWav& file : files) {
            SCOPED_TRACE(file.name + " (" + file.why + ")");
            ASSERT_NO_FATAL_FAILURE(tryFile(file, index++ % 2 == 0));
            ASSERT_TRUE(app_.running()) << "Kelvara is gone";
        }

        int refusedCount = 0, loadedCount = 0;
        std::printf("[ hostile  ] %s: %zu files tried\n", label_, files.size());
        for (const HostileWav& file : files) {
            const std::string& seen = observed_[file.name];
            (seen == "refused" ? refusedCount : loadedCount)++;
            std::printf("[ hostile  ]   %-40s %-8s %s\n", file.name.c_str(), seen.c_str(), playNotes_[file.name].c_str());
        }
        std::printf("[ hostile  ] %s: %d refused with the message, %d loaded and shown\n", label_, refusedCount,
                    loadedCount);

        // It still closes as a person would close it.
        app_.requestClose();
        DWORD exitCode = 1;
        EXPECT_TRUE(app_.waitForExit(exitCode, 20000)) << "Kelvara did not close";
    }

private:
    std::wstring status() { return ui::status(w_.panel); }
    bool waitForStatus(const wchar_t* text, DWORD timeoutMs = defaultTimeoutMs)
    {
        return ui::waitForStatus(w_.panel, text, timeoutMs);
    }

    void expectAnswers()
    {
        DWORD exitCode = 0;
        if (!app_.running() && app_.waitForExit(exitCode, 0)) {
            ADD_FAILURE() << "Kelvara is gone, exit code 0x" << std::hex << exitCode;
            return;
        }
        EXPECT_TRUE(answers(w_.main)) << "the user-interface thread did not answer within 5 s";
        EXPECT_TRUE(answers(w_.voicePrint)) << "the display thread did not answer within 5 s";
    }

    // Through the menu item or the "..." button, as a person would.
    void askToOpen(bool byMenu)
    {
        if (byMenu)
            postCommand(w_.main, IDM_OPEN);
        else
            clickButton(w_.panel, IDC_BROWSE);
    }

    // Opens `path`; returns whether the program refused it, having checked
    // and dismissed its message box.
    bool openThroughDialog(const std::wstring& path, bool byMenu)
    {
        EXPECT_NE(status(), L"Open A File...Done.") << "the status must change for the wait below to mean anything";
        askToOpen(byMenu);
        if (!chooseFileInOpenDialog(app_.pid(), path)) {
            ADD_FAILURE() << "the open-file dialog did not take the file";
            return false;
        }
        HWND box = nullptr;
        const bool settled = waitFor([&] {
            box = findMessageBox(app_.pid());
            return box || status() == L"Open A File...Done.";
        }, 60000);
        EXPECT_TRUE(settled) << "neither a message nor \"Open A File...Done.\"; status " << narrow(status());
        if (!box) return false;
        EXPECT_EQ(messageBoxText(box), openFailedText);
        EXPECT_EQ(windowText(box), L"!");
        EXPECT_TRUE(dismissMessageBox(box));
        EXPECT_TRUE(waitForStatus(L"Open A File...Done.", 60000)) << narrow(status());
        return true;
    }

    void openExpectingLoad(const std::wstring& path, bool byMenu)
    {
        const bool refused = openThroughDialog(path, byMenu);
        ASSERT_FALSE(refused) << narrow(path) << " was refused";
        ASSERT_EQ(status(), L"Open A File...Done.");
    }

    void drawVoicePrint() { ASSERT_TRUE(ui::drawVoicePrint(w_.panel, voicePrintTimeoutMs)) << narrow(status()); }

    void takeBaseline()
    {
        rateText_ = controlText(w_.panel, IDC_SAMPLE_RATE);
        bitsText_ = controlText(w_.panel, IDC_BIT_RATE);
        ASSERT_EQ(rateText_, kilohertzText(22050));
        ASSERT_EQ(bitsText_, bitsText(16));
        waveBaseline_ = settledCapture(w_.wave);
        ASSERT_GT(traceColumns(waveBaseline_), 500) << "the sweep draws in nearly every column";
        ASSERT_NO_FATAL_FAILURE(drawVoicePrint());
        printBaseline_ = settledCapture(w_.voicePrint);
        int litColumns = 0;
        for (int x = 0; x < printBaseline_.width; ++x) {
            int lit = 0;
            for (int y = 0; y < printBaseline_.height; ++y) lit += printBaseline_.at(x, y) != Rgb{};
            litColumns += lit > 10;
        }
        ASSERT_GT(litColumns, 500) << "the baseline voice print is painted";
    }

    void expectLoadedSoundUnchanged()
    {
        EXPECT_EQ(controlText(w_.panel, IDC_SAMPLE_RATE), rateText_);
        EXPECT_EQ(controlText(w_.panel, IDC_BIT_RATE), bitsText_);
        Image wave;
        const bool same = waitFor([&] {
            wave = captureClient(w_.wave);
            return waveformDifference(wave, waveBaseline_) == 0;
        }, 10000);
        EXPECT_TRUE(same) << waveformDifference(wave, waveBaseline_) << " waveform pixels changed";
    }

    void expectSameVoicePrint()
    {
        ASSERT_NO_FATAL_FAILURE(drawVoicePrint());
        Image print;
        const bool same = waitFor([&] {
            print = captureClient(w_.voicePrint);
            return print.pixels == printBaseline_.pixels;
        }, 10000);
        EXPECT_TRUE(same) << pixelDifference(print, printBaseline_) << " voice-print pixels changed";
    }

    // Play all of whatever is loaded: it must end, by itself or with the
    // no-device message, and leave the panel idle.
    std::string playAllToTheEnd()
    {
        clickButton(w_.panel, IDC_PLAY_ALL);
        HWND box = nullptr;
        const bool ended = waitFor([&] {
            box = findMessageBox(app_.pid());
            const std::wstring s = status();
            return box || s == L"Playing...Done." || s == L"Playing...Failed." || !app_.running();
        }, 30000);
        if (!app_.running()) {
            ADD_FAILURE() << "Kelvara died while playing";
            return "crashed";
        }
        if (!ended) {
            ADD_FAILURE() << "play all of a half-second sound did not end in 30 s; status " << narrow(status());
            clickButton(w_.panel, IDC_STOP);
            waitFor([&] { return status() != L"Playing..."; }, 10000);
            return "play hung";
        }
        if (box) {
            const std::wstring text = messageBoxText(box);
            EXPECT_EQ(text, noOutputDeviceText);
            EXPECT_TRUE(dismissMessageBox(box));
            EXPECT_TRUE(waitForStatus(L"Playing...Failed."));
            return "play: \"" + narrow(text) + "\"";
        }
        return "play: " + narrow(status());
    }

    void tryFile(const HostileWav& file, bool byMenu)
    {
        const std::wstring path = writeTempFile(widen(file.name), file.bytes);
        bool refused = false;
        if (file.heldOpenWithoutSharing || file.heldOpenForWriting) {
            ExclusiveHold hold(path, file.heldOpenForWriting ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0);
            ASSERT_TRUE(hold.held()) << "could not hold the file open";
            refused = openThroughDialog(path, byMenu);
        } else {
            refused = openThroughDialog(path, byMenu);
        }
        ASSERT_FALSE(::testing::Test::HasFatalFailure());
        const Outcome seen = refused ? Outcome::Refused : Outcome::Loads;
        observed_[file.name] = outcomeName(seen);
        expectAnswers();
        EXPECT_EQ(outcomeName(seen), std::string(outcomeName(file.outcome)));
        // Loaded or not, the box names the file that was chosen.
        EXPECT_EQ(controlText(w_.panel, IDC_FILE_NAME), path);

        if (seen == Outcome::Refused) {
            expectLoadedSoundUnchanged();
            ASSERT_NO_FATAL_FAILURE(expectSameVoicePrint());
            expectAnswers();
            return;
        }

        // It loaded: the panel shows its format, the waveform its trace (or
        // the bare grid), and drawing and playing it come to an end.
        EXPECT_EQ(controlText(w_.panel, IDC_SAMPLE_RATE), kilohertzText(file.rate));
        EXPECT_EQ(controlText(w_.panel, IDC_BIT_RATE), bitsText(file.bits));
        const int columns = traceColumns(settledCapture(w_.wave));
        if (file.showsTrace)
            EXPECT_GT(columns, 0) << "no trace shown";
        else
            EXPECT_EQ(columns, 0) << "a sound without samples or rate shows a trace";
        ASSERT_TRUE(ui::drawVoicePrintIfAnyFrameFits(w_.panel, voicePrintTimeoutMs)) << narrow(status());
        expectAnswers();
        playNotes_[file.name] = playAllToTheEnd();
        expectAnswers();
        ASSERT_TRUE(app_.running());

        // The good sound again, looking and analysing exactly as it did.
        ASSERT_NO_FATAL_FAILURE(openExpectingLoad(goodPath_, !byMenu));
        expectLoadedSoundUnchanged();
        ASSERT_NO_FATAL_FAILURE(expectSameVoicePrint());
        expectAnswers();
    }

    const char* label_;
    KelvaraProcess app_;
    KelvaraWindows w_;
    std::wstring goodPath_;
    std::wstring rateText_, bitsText_;
    Image waveBaseline_, printBaseline_;
    std::map<std::string, std::string> observed_, playNotes_;
};

}  // namespace

TEST(MalformedFiles, EachIsRefusedOrShownWithASoundServer)
{
    if (environment("KELVARA_PULSE_CTL").empty()) GTEST_SKIP() << "no session sound server (scripts/headless.sh)";
    HostileFileRun("with a sound server").run();
}

TEST(MalformedFiles, EachIsRefusedOrShownWithoutASoundServer)
{
    // Under headless.sh --no-sound there is no server to stop.
    const bool serverToStop = !environment("KELVARA_PULSE_CTL").empty();
    if (serverToStop) ASSERT_EQ(soundServer("stop"), 0);
    struct ServerBack {
        bool restart;
        ~ServerBack()
        {
            if (restart) soundServer("start");
        }
    } serverBack{serverToStop};
    HostileFileRun("without a sound server").run();
}
