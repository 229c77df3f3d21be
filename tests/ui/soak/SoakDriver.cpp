// The soak's run loop and its checks. Run by scripts/soak.sh (make soak,
// make test), not by CTest: KELVARA_SOAK_SECONDS (default 60) and
// KELVARA_SOAK_SEED (default 1) say how long and which sequence;
// KELVARA_SOAK_LABEL names the session in the totals and
// KELVARA_SOAK_ARTIFACTS, a folder, receives a screenshot of every fault.
//
// A fault (the program gone, a thread that does not answer, an activity that
// never ends, a refused file that changed the sound, a message nobody should
// see) is reported with the seed, the step and the last actions, and the
// soak goes on with a fresh Kelvara, so one run finds more than one fault.
#include "soak/Soak.h"


#include <cstdio>
#include <cstdlib>

#include "core/base/CommandIds.h"
#include "driver/SaveDialog.h"

using namespace ui;

namespace soak {

namespace {

constexpr DWORD answerTimeoutMs = 5000;
// An activity whose status says "in progress" this long without a change has
// hung: the longest recording is 20 s, the longest test sound 4 s.
constexpr unsigned long long stuckAfterMs = 90000;
constexpr size_t recentActionsKept = 25;
constexpr int stepsPerSpeed = 40;      // human and machine speed alternate in blocks
constexpr int stepsBetweenProbes = 150;

constexpr const wchar_t* openFailedText = L"ファイルオープンに失敗しました。";
constexpr const wchar_t* noOutputDeviceText = L"再生デバイスが見つかりませんでした。";
constexpr const wchar_t* inputInUseText = L"入力デバイスがすでに使用されている可能性があります!";
constexpr const wchar_t* openDialogTitle = L"ファイルを開く";
constexpr const wchar_t* aboutTitle = L"ﾊﾞｰｼﾞｮﾝ情報";

bool inProgress(const std::wstring& status)
{
    return status == L"Open A File..." || status == L"Playing..." || status == L"Recording..." ||
           status == L"Voice-Print...";
}

}  // namespace

std::vector<HWND> messageBoxesOf(DWORD pid)
{
    std::vector<HWND> boxes;
    for (HWND dialog : topWindows(pid, L"#32770")) {
        const std::wstring title = windowText(dialog);
        if (title == openDialogTitle || title == aboutTitle) continue;
        if (GetDlgItem(dialog, 0xFFFF)) boxes.push_back(dialog);
    }
    return boxes;
}

namespace {

std::string formatMs(unsigned long long ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02llu", ms / 60000, (ms / 1000) % 60);
    return text;
}

// A crash should end the process, not leave Wine's crash dialog on the
// display over the windows the next Kelvara needs; the backtrace still goes
// to the console.
void quietenCrashDialog()
{
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\WineDbg", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    const DWORD off = 0;
    RegSetValueExW(key, L"ShowCrashDialog", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof off);
    RegCloseKey(key);
}

}  // namespace

std::string describe(const std::wstring& text) { return "\"" + narrow(text) + "\""; }

Image settledCapture(HWND window)
{
    Image last = captureClient(window);
    waitFor([&] {
        Sleep(100);
        Image now = captureClient(window);
        const bool same = now.pixels == last.pixels;
        last = std::move(now);
        return same;
    }, 10000);
    return last;
}

Settings settingsFromEnvironment()
{
    Settings s;
    const std::string seconds = environment("KELVARA_SOAK_SECONDS");
    const std::string seed = environment("KELVARA_SOAK_SEED");
    if (!seconds.empty()) s.seconds = std::atoi(seconds.c_str());
    if (!seed.empty()) s.seed = std::strtoull(seed.c_str(), nullptr, 10);
    s.label = environment("KELVARA_SOAK_LABEL");
    if (s.label.empty()) s.label = environment("KELVARA_PULSE_CTL").empty() ? "without a sound server" : "with a sound server";
    const std::string artifacts = environment("KELVARA_SOAK_ARTIFACTS");
    if (!artifacts.empty()) {
        s.artifacts = windowsPath(artifacts);
        if (s.artifacts.back() != L'\\') s.artifacts += L'\\';
        CreateDirectoryW(s.artifacts.c_str(), nullptr);
    }
    return s;
}

Soak::Soak(Settings settings, std::vector<SoundFile> files) : settings_(std::move(settings)), files_(std::move(files)) {}

std::wstring Soak::status() { return controlText(w_.panel, IDC_STATUS); }

bool Soak::drainUi() { return drainPostedMessages(control(w_.panel, IDC_STATUS), 60000); }

bool Soak::answers(HWND window)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, answerTimeoutMs, &result) != 0;
}

bool Soak::alive() { return app_ && app_->running(); }

bool Soak::launch()
{
    app_ = std::make_unique<KelvaraProcess>();
    if (!app_->launch() || !app_->waitForWindows()) {
        std::printf("[ soak     ] Kelvara did not start (KELVARA_EXE=%s)\n", environment("KELVARA_EXE").c_str());
        return false;
    }
    w_ = app_->windows();
    minimised_ = false;
    minimisedSteps_ = 0;
    recordingMayRun_ = false;
    lastStatus_ = status();
    lastStatusChange_ = GetTickCount64();
    return true;
}

void Soak::note(const std::string& action)
{
    recent_.push_back("step " + std::to_string(step_) + (humanSpeed_ ? " (human)   " : " (machine) ") + action);
    if (recent_.size() > recentActionsKept) recent_.pop_front();
}

void Soak::fault(FaultKind kind, const std::string& what)
{
    if (failedThisStep_) return;
    failedThisStep_ = true;
    const char* name = kind == FaultKind::Hang ? "HANG" : kind == FaultKind::Crash ? "CRASH" : "FAULT";
    (kind == FaultKind::Hang ? totals_.hangs : kind == FaultKind::Crash ? totals_.crashes : totals_.otherFaults)++;
    std::printf("[ soak     ] %s %s at step %d (seed %llu): %s\n", settings_.label.c_str(), name, step_,
                static_cast<unsigned long long>(settings_.seed), what.c_str());
    std::printf("[ soak     ] replay: make soak SOAK_SEED=%llu SOAK_SECONDS=%d (the fault came at step %d)\n",
                static_cast<unsigned long long>(settings_.seed), settings_.seconds, step_);
    std::printf("[ soak     ] the last actions:\n");
    for (const std::string& action : recent_) std::printf("[ soak     ]   %s\n", action.c_str());
    if (!settings_.artifacts.empty()) {
        const std::wstring path = settings_.artifacts + L"fault-seed" + std::to_wstring(settings_.seed) + L"-step" +
                                  std::to_wstring(step_) + L".bmp";
        if (captureScreen(RECT{0, 0, 1024, 768}).saveBmp(path))
            std::printf("[ soak     ] screenshot: %s\n", unixPath(path).c_str());
    }
    std::fflush(stdout);

    // A fresh Kelvara, so the soak goes on.
    app_->kill();
    ++totals_.restarts;
    if (!launch()) {
        fault(FaultKind::Crash, "could not start Kelvara again");
    }
}

void Soak::dismissMessages(bool expectFileRefusal)
{
    for (HWND box : messageBoxesOf(app_->pid())) {
        if (!waitFor([&] { return !IsWindow(box) || IsWindowVisible(box); }, 10000)) continue;
        if (!IsWindow(box)) continue;
        const std::wstring text = messageBoxText(box);
        if (text == unsavedRecordingQuestion) {
            // The soak keeps none of its recordings: No, and what was asked for goes on.
            note("answer No to " + describe(text));
            ++totals_.messagesDismissed;
            if (!answerMessageBox(box, IDNO)) fault(FaultKind::Hang, "the unsaved-recording question would not go");
            continue;
        }
        const bool legitimate = text == noOutputDeviceText || text == inputInUseText ||
                                (expectFileRefusal && text == openFailedText);
        if (!legitimate) {
            fault(FaultKind::Other, "a message nobody should see: " + describe(text) + ", caption " +
                                        describe(windowText(box)));
            return;
        }
        note("dismiss " + describe(text));
        ++totals_.messagesDismissed;
        if (!dismissMessageBox(box)) {
            fault(FaultKind::Hang, "a message box would not go: " + describe(text));
            return;
        }
    }
}

void Soak::watchStatus()
{
    const std::wstring now = status();
    const unsigned long long tick = GetTickCount64();
    if (now != lastStatus_) {
        lastStatus_ = now;
        lastStatusChange_ = tick;
        return;
    }
    if (inProgress(now) && tick - lastStatusChange_ > stuckAfterMs)
        fault(FaultKind::Hang, "the status has said " + describe(now) + " for " + formatMs(tick - lastStatusChange_));
}

// After every action: the process is there, both GUI threads answer, the
// messages an action may raise are dismissed, and nothing is stuck.
void Soak::afterAction()
{
    if (failedThisStep_) return;
    if (!alive()) {
        DWORD exitCode = 0;
        app_->waitForExit(exitCode, 0);
        char detail[64];
        std::snprintf(detail, sizeof detail, "Kelvara is gone (exit code 0x%lx)", static_cast<unsigned long>(exitCode));
        fault(FaultKind::Crash, detail);
        return;
    }
    dismissMessages();
    if (failedThisStep_) return;
    if (!answers(w_.main)) return fault(FaultKind::Hang, "the user-interface thread did not answer within 5 s");
    if (!answers(w_.voicePrint)) return fault(FaultKind::Hang, "the display thread did not answer within 5 s");
    watchStatus();
}

void Soak::step(int number)
{
    step_ = number;
    failedThisStep_ = false;
    humanSpeed_ = (number / stepsPerSpeed) % 2 == 0;
    // Seeded by the seed and the step alone.
    std::mt19937_64 rng(settings_.seed * 0x9E3779B97F4A7C15ull ^ (static_cast<uint64_t>(number) + 1) * 0xBF58476D1CE4E5B9ull);
    doAction(rng);
    ++totals_.actions;
    (humanSpeed_ ? totals_.humanSpeedActions : totals_.machineSpeedActions)++;
    if (!failedThisStep_ && humanSpeed_) Sleep(std::uniform_int_distribution<DWORD>(100, 1200)(rng));
    afterAction();
}

// Everything stopped, the panel must be idle again within the longest
// recording: it takes a file and plays it.
void Soak::probeIdle(const char* when)
{
    note(std::string("idle probe (") + when + ")");
    if (minimised_) restore();
    clickButton(w_.panel, IDC_STOP);
    clickButton(w_.panel, IDC_STOP_RECORD);  // only if enabled, as for a person
    const SoundFile* good = nullptr;
    for (const SoundFile& file : files_)
        if (file.kind == FileKind::Good) {
            good = &file;
            break;
        }

    const unsigned long long deadline = GetTickCount64() + 60000;
    bool refused = false, busy = true;
    while (busy && GetTickCount64() < deadline && !failedThisStep_) {
        dismissMessages();
        if (failedThisStep_) return;
        if (!loadThroughDialog(good->path, true, refused, busy)) return;
        if (busy) Sleep(1000);
    }
    if (failedThisStep_) return;
    if (busy) return fault(FaultKind::Other, "the panel refused to open a file a minute after every activity was stopped");
    if (refused) return fault(FaultKind::Other, "a good file was refused: " + good->name);

    clickButton(w_.panel, IDC_PLAY_ALL);
    const bool taken = waitFor([&] { return !messageBoxesOf(app_->pid()).empty() || status() != L"Open A File...Done."; }, 15000);
    if (!taken) return fault(FaultKind::Other, "play all was not taken by an idle panel");
    clickButton(w_.panel, IDC_STOP);
    const bool ended = waitFor([&] {
        dismissMessages();
        const std::wstring s = status();
        return failedThisStep_ || s == L"Playing...Done." || s == L"Playing...Failed.";
    }, 15000);
    if (!ended && !failedThisStep_) fault(FaultKind::Other, "stop did not end the playback: " + describe(status()));
}

void Soak::closeAtTheEnd()
{
    if (!alive()) return;
    note("close the main window");
    if (minimised_) restore();
    app_->requestClose();
    // An unsaved recording asks first; the soak keeps none.
    waitFor([&] {
        dismissMessages();
        return !app_->running();
    }, 30000);
    DWORD exitCode = 0;
    if (!app_->waitForExit(exitCode, 1000)) fault(FaultKind::Hang, "Kelvara did not close within 30 s");
}

bool Soak::run()
{
    quietenCrashDialog();
    if (!launch()) return false;
    const unsigned long long start = GetTickCount64();
    const unsigned long long end = start + static_cast<unsigned long long>(settings_.seconds) * 1000;
    int number = 0;
    while (GetTickCount64() < end) {
        step(number);
        if (number % 50 == 0) {
            std::printf("[ soak     ] %s: step %d at %s, status %s\n", settings_.label.c_str(), number,
                        formatMs(GetTickCount64() - start).c_str(), describe(lastStatus_).c_str());
            std::fflush(stdout);
        }
        ++number;
        if (number % stepsBetweenProbes == 0) {
            step_ = number;
            failedThisStep_ = false;
            probeIdle("periodic");
            afterAction();
        }
    }
    step_ = number;
    failedThisStep_ = false;
    probeIdle("at the end");
    afterAction();
    failedThisStep_ = false;
    closeAtTheEnd();

    const double minutes = (GetTickCount64() - start) / 60000.0;
    std::printf("[ soak     ] %s, seed %llu: %.1f minutes, %d actions (%d at human speed, %d at machine speed), "
                "%d hangs, %d crashes, %d other faults\n",
                settings_.label.c_str(), static_cast<unsigned long long>(settings_.seed), minutes, totals_.actions,
                totals_.humanSpeedActions, totals_.machineSpeedActions, totals_.hangs, totals_.crashes,
                totals_.otherFaults);
    std::printf("[ soak     ] %s: files opened %d, refused with the message %d, refused while busy %d; "
                "%d messages dismissed; %d restarts\n",
                settings_.label.c_str(), totals_.opensLoaded, totals_.opensRefused, totals_.opensBusy,
                totals_.messagesDismissed, totals_.restarts);
    std::string counts;
    for (const auto& entry : actionCounts_) counts += (counts.empty() ? "" : ", ") + entry.first + " " + std::to_string(entry.second);
    std::printf("[ soak     ] %s: actions by kind: %s\n", settings_.label.c_str(), counts.c_str());
    std::fflush(stdout);
    return totals_.faults() == 0;
}

}  // namespace soak

TEST(Soak, RandomUserActionsNeitherHangNorCrashNorLoseTheSound)
{
    const soak::Settings settings = soak::settingsFromEnvironment();
    std::printf("[ soak     ] %s: %d s, seed %llu\n", settings.label.c_str(), settings.seconds,
                static_cast<unsigned long long>(settings.seed));
    soak::Soak run(settings, soak::writeSoundFiles());
    const bool clean = run.run();
    EXPECT_TRUE(clean) << "seed " << settings.seed << ": " << run.totals().hangs << " hangs, " << run.totals().crashes
                       << " crashes, " << run.totals().otherFaults << " other faults (details above)";
    EXPECT_GT(run.totals().actions, 0);
}
